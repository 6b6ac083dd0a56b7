#pragma once

#include <memory>
#include <string>
#include <vector>

#include <wx/string.h>

#include "options/TemplateInfo.h"

class wxItemContainerImmutable;

// One *.tpl file of the program directory or of the user's template folder,
// as the template list shows it.
struct CatalogueEntry {
  std::string fileName;                // as found, with its extension
  wxString title;                      // the name without its last extension
  std::unique_ptr<TemplateInfo> info;  // null when the template did not load
};

// Description and needsInput of one template; null when it cannot be loaded
// (no message: such a template is listed without a record).
std::unique_ptr<TemplateInfo> ReadTemplateInfo(const std::string& directory,
                                               const std::string& fileName);

// Every *.tpl of `directory` in the order the directory lists them, each
// read with ReadTemplateInfo. Directories are not filtered out: they fail to
// load like any other unusable template. Needs no window.
std::vector<CatalogueEntry> ScanTemplates(const std::string& directory);

// The same for the user's own template folder, less every file name that the
// program directory already holds: a title is listed once, the program's own
// template first.
std::vector<CatalogueEntry> ScanUserTemplates(const std::string& programDirectory,
                                              const std::string& userDirectory);

// Where `title` goes in a list held in case-insensitive alphabetical order:
// behind every item that does not sort after it.
unsigned SortedPosition(const wxItemContainerImmutable& list, const wxString& title);

// The first item, in list order, that begins with `prefix`, ignoring case;
// wxNOT_FOUND when none does.
int FindPrefix(const wxItemContainerImmutable& list, const wxString& prefix);
