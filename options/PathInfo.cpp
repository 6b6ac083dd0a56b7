#include "options/PathInfo.h"

#include <cerrno>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Text.h"

std::string FullPathName(const std::string& path, const std::string& currentDirectory) {
  const std::string joined = !path.empty() && path[0] == '/' ? path : currentDirectory + "/" + path;
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    const std::string segment = joined.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();  // above the root is the root
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string full;
  for (const std::string& segment : segments) full += "/" + segment;
  if (full.empty()) return "/";
  // "dir/" names the directory as "dir" does but reads differently; ".", ".."
  // at the end leave no separator.
  if (path.size() > 0 && path.back() == '/') full += '/';
  return full;
}

PathInfo::PathInfo(const wxString& path) {
  std::string currentDirectory;
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size())) {
      currentDirectory = buffer.data();
      break;
    }
    if (errno != ERANGE) break;  // a removed current directory: resolve against the root
    buffer.resize(buffer.size() * 2);
  }
  m_strFullPath = FullPathName(ToBytes(path), currentDirectory);
  // "file/" is a file that is no directory, not a path that does not exist.
  std::string queried = m_strFullPath;
  if (queried.size() > 1 && queried.back() == '/') queried.pop_back();
  struct stat info;
  if (::stat(queried.c_str(), &info) == 0) {
    m_bExists = true;
    m_bIsDirectory = S_ISDIR(info.st_mode);
  }
}

PathInfo::~PathInfo() = default;

wxString PathInfo::FullPath() const { return FromBytes(m_strFullPath); }
