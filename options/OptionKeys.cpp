#include "options/OptionKeys.h"

#include <cstring>

#include "platform/Profile.h"

const char kOptionsSection[] = "wVignetor";
const char kTemplateKey[] = "template";
const char kTemplateDefault[] = "Filmstrip2";

namespace {
using D = OptionValues;
constexpr wxString D::*kNoText = nullptr;
constexpr int D::*kNoInt = nullptr;
}  // namespace

const OptionKey kLoadedOptions[] = {
    {"check.height", &D::m_bFixedHeight, IntForm::Value, 1, kNoText, nullptr},
    {"check.width", &D::m_bFixedWidth, IntForm::Value, 0, kNoText, nullptr},
    {"check.scale", &D::m_bScale, IntForm::Value, 0, kNoText, nullptr},
    {"existing", &D::m_nExisting, IntForm::Value, 1, kNoText, nullptr},
    {"incsub", &D::m_bIncSub, IntForm::Flag, 0, kNoText, nullptr},
    {"indir", kNoInt, IntForm::Value, 0, &D::m_strInDir, ""},
    {"outdir", kNoInt, IntForm::Value, 0, &D::m_strOutDir, ""},
    {"height", &D::m_nHeight, IntForm::Size, 100, kNoText, nullptr},
    {"width", &D::m_nWidth, IntForm::Size, 100, kNoText, nullptr},
    {"pref", kNoInt, IntForm::Value, 0, &D::m_strPrefix, "Thumb"},
    {"index", &D::m_bIndex, IntForm::Value, 1, kNoText, nullptr},
    {"nodupth", &D::m_bNoDupThumbs, IntForm::Flag, 1, kNoText, nullptr},
    {"checkexist", &D::m_bCheckExist, IntForm::Flag, 0, kNoText, nullptr},
    {"cpufriend", &D::m_bCpuFriend, IntForm::Flag, 0, kNoText, nullptr},
};
const std::size_t kLoadedOptionCount = sizeof kLoadedOptions / sizeof kLoadedOptions[0];

const char* const kSavedOrder[] = {
    "indir",        "outdir",      "pref",        "incsub", "nodupth", "checkexist", "cpufriend",
    "check.height", "check.width", "check.scale", "height", "width",   "existing",   "index",
};
const std::size_t kSavedOrderCount = sizeof kSavedOrder / sizeof kSavedOrder[0];

void LoadOptionValues(OptionValues& values) {
  Profile profile;
  for (std::size_t i = 0; i < kLoadedOptionCount; ++i) {
    const OptionKey& option = kLoadedOptions[i];
    if (option.textField) {
      values.*option.textField =
          profile.GetString(kOptionsSection, option.key, wxString::FromUTF8(option.textDefault));
    } else {
      const int stored = profile.GetInt(kOptionsSection, option.key, option.intDefault);
      switch (option.form) {
        case IntForm::Value: values.*option.intField = stored; break;
        case IntForm::Flag: values.*option.intField = stored == 1 ? 1 : 0; break;
        case IntForm::Size:
          // A size no up-down can give (a damaged or hand-edited file) would
          // reach the generator's command line and be refused there.
          values.*option.intField =
              stored >= kSizeLower && stored <= kSizeUpper ? stored : option.intDefault;
          break;
      }
    }
  }
}

bool SaveOptionValues(const OptionValues& values) {
  Profile profile;
  for (std::size_t i = 0; i < kSavedOrderCount; ++i) {
    for (std::size_t j = 0; j < kLoadedOptionCount; ++j) {
      const OptionKey& option = kLoadedOptions[j];
      if (std::strcmp(option.key, kSavedOrder[i]) != 0) continue;
      if (option.textField) {
        profile.WriteString(kOptionsSection, option.key, values.*option.textField);
      } else {
        const int value = values.*option.intField;
        profile.WriteInt(kOptionsSection, option.key,
                         option.form == IntForm::Flag ? (value != 0 ? 1 : 0) : value);
      }
    }
  }
  return profile.Save();
}
