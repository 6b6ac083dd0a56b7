#include "template/TemplateFolders.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <strings.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
const char kExtension[] = ".tpl";
constexpr std::size_t kExtensionLength = sizeof kExtension - 1;

bool IsTemplateName(const std::string& name) {
  return name.size() >= kExtensionLength &&
         name.compare(name.size() - kExtensionLength, kExtensionLength, kExtension) == 0;
}

bool HasEntry(const std::string& directory, const std::string& name) {
  std::error_code error;
  // The entry itself, as the listing sees it: a dangling link still counts.
  return fs::exists(fs::symlink_status(fs::path(directory) / name, error));
}

// Case-insensitive, as the form's list is sorted.
std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  });
  return names;
}

std::string ListLine(const std::string& directory, const std::vector<std::string>& names) {
  std::string text = "  " + directory + ":";
  if (names.empty()) return text + " (none)\n";
  for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", " : " ") + names[i];
  return text + "\n";
}
}  // namespace

std::string ExecutableDirectory() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error || !exe.has_parent_path()) return ".";
  return exe.parent_path().string();
}

std::string UserTemplateDirectory() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data && data[0] == '/') {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && home[0] ? home : "") + "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return (base == "/" ? "" : base) + "/wVignetor/templates";
}

std::string TemplateDirectory(const std::string& programDirectory, const std::string& fileName) {
  if (HasEntry(programDirectory, fileName)) return programDirectory;
  const std::string user = UserTemplateDirectory();
  if (HasEntry(user, fileName)) return user;
  return programDirectory;
}

std::vector<std::string> TemplateFileNames(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  // A folder that fails midway keeps what was found so far.
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (IsTemplateName(name)) names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::string> UserOnlyTemplateNames(const std::string& programDirectory,
                                               const std::string& userDirectory) {
  std::vector<std::string> names = TemplateFileNames(userDirectory);
  if (names.empty()) return names;
  const std::vector<std::string> own = TemplateFileNames(programDirectory);
  const std::set<std::string> listed(own.begin(), own.end());
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&listed](const std::string& name) { return listed.count(name) > 0; }),
              names.end());
  return names;
}

std::string TemplateFoldersText(const std::string& programDirectory) {
  const std::string user = UserTemplateDirectory();
  std::string text = "templates, by file name:\n";
  text += ListLine(programDirectory, Sorted(TemplateFileNames(programDirectory)));
  text += ListLine(user, Sorted(UserOnlyTemplateNames(programDirectory, user)));
  text += "help page: " + programDirectory + "/Vignetor.html\n";
  return text;
}
