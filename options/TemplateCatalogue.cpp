#include "options/TemplateCatalogue.h"

#include <exception>

#include <wx/choice.h>

#include "options/OptionKeys.h"
#include "options/OptionsDialog.h"
#include "platform/ProgramDirectory.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "template/TemplateFile.h"
#include "template/TemplateFolders.h"

namespace {
const char kExtension[] = ".tpl";
constexpr std::size_t kExtensionLength = sizeof kExtension - 1;

std::vector<CatalogueEntry> ReadEntries(const std::string& directory,
                                        std::vector<std::string> names) {
  std::vector<CatalogueEntry> entries;
  entries.reserve(names.size());
  for (std::string& name : names) {
    CatalogueEntry entry;
    entry.title = FromBytes(name.substr(0, name.size() - kExtensionLength));
    entry.info = ReadTemplateInfo(directory, name);
    entry.fileName = std::move(name);
    entries.push_back(std::move(entry));
  }
  return entries;
}
}  // namespace

std::unique_ptr<TemplateInfo> ReadTemplateInfo(const std::string& directory,
                                               const std::string& fileName) {
  try {
    TemplateFile reader(directory, fileName);
    reader.load();
    auto info = std::make_unique<TemplateInfo>();
    if (reader.hasSection("desc")) {
      // Line by line, so that one line that is not UTF-8 does not change how
      // the others are shown.
      for (const std::string& line : reader.getSection("desc")) {
        info->description += FromBytes(line);
        info->description += "\r\n";
      }
    }
    info->needsInput = reader.hasSection("askvalues");
    return info;
  } catch (const TemplateError&) {
  } catch (const std::exception&) {
    // Whatever keeps one template from loading must not stop the listing.
  }
  return nullptr;
}

std::vector<CatalogueEntry> ScanTemplates(const std::string& directory) {
  return ReadEntries(directory, TemplateFileNames(directory));
}

std::vector<CatalogueEntry> ScanUserTemplates(const std::string& programDirectory,
                                              const std::string& userDirectory) {
  return ReadEntries(userDirectory, UserOnlyTemplateNames(programDirectory, userDirectory));
}

unsigned SortedPosition(const wxItemContainerImmutable& list, const wxString& title) {
  // Binary search for the first item that sorts after the title.
  unsigned low = 0;
  unsigned high = list.GetCount();
  while (low < high) {
    const unsigned middle = low + (high - low) / 2;
    if (list.GetString(middle).CmpNoCase(title) <= 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

int FindPrefix(const wxItemContainerImmutable& list, const wxString& prefix) {
  const unsigned count = list.GetCount();
  for (unsigned i = 0; i < count; ++i) {
    const wxString item = list.GetString(i);
    if (item.length() >= prefix.length() && item.Left(prefix.length()).CmpNoCase(prefix) == 0) {
      return static_cast<int>(i);
    }
  }
  return wxNOT_FOUND;
}

void OptionsDialog::FillTemplateList() {
  const std::string programDirectory = ToBytes(ProgramDirectory());
  std::vector<CatalogueEntry> entries = ScanTemplates(programDirectory);
  for (CatalogueEntry& entry : ScanUserTemplates(programDirectory, UserTemplateDirectory())) {
    entries.push_back(std::move(entry));
  }
  for (CatalogueEntry& entry : entries) {
    // The list is kept sorted by hand, so the record goes to the position
    // where its title went, not to the count of templates so far.
    const unsigned position = SortedPosition(*m_comboTemplate, entry.title);
    m_comboTemplate->Insert(entry.title, position, entry.info.release());
  }
  const wxString saved =
      Profile::ReadString(kOptionsSection, kTemplateKey, wxString::FromUTF8(kTemplateDefault));
  m_comboTemplate->SetSelection(FindPrefix(*m_comboTemplate, saved));
  ShowTemplateDescription();
}

void OptionsDialog::ShowTemplateDescription() {
  UpdateData(true);
  const TemplateInfo* info = SelectedTemplateInfo();
  m_strDescription = info ? info->description : wxString();
  UpdateData(false);
}

void OptionsDialog::ShowTemplateDescription(wxCommandEvent&) { ShowTemplateDescription(); }

const TemplateInfo* OptionsDialog::SelectedTemplateInfo() const {
  const int selected = m_comboTemplate->GetSelection();
  if (selected == wxNOT_FOUND) return nullptr;
  return static_cast<const TemplateInfo*>(m_comboTemplate->GetClientData(selected));
}

void OptionsDialog::ReleaseTemplateList() {
  if (!m_comboTemplate) return;
  const unsigned count = m_comboTemplate->GetCount();
  for (unsigned i = 0; i < count; ++i) {
    delete static_cast<TemplateInfo*>(m_comboTemplate->GetClientData(i));
    // Released records are forgotten, so that releasing again is harmless.
    m_comboTemplate->SetClientData(i, nullptr);
  }
}
