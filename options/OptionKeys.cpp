#include "options/OptionKeys.h"

#include "options/OptionsDialog.h"

const char kOptionsSection[] = "wVignetor";
const char kTemplateKey[] = "template";
const char kTemplateDefault[] = "Filmstrip2";

namespace {
using D = OptionsDialog;
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
