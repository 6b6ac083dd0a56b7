#include "template_input/ValuesFile.h"

#include <cerrno>

#include <unistd.h>

#include "platform/TemporaryFile.h"
#include "template_input/AskValue.h"

std::string ValuesFileText(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string text =
      "; - file created by wVignetor.exe -\n"
      "; This file is normaly automatically removed after\n"
      "; a succesfull run of Vignetor\n";
  // One line per entry, whatever the texts hold.
  for (const auto& [name, value] : entries) {
    text += OneLine(name);
    text += '=';
    text += OneLine(value);
    text += '\n';
  }
  return text;
}

bool WriteValuesFile(const std::string& directory, const std::string& text, std::string& path) {
  path = directory;
  const int fd = CreateTemporaryFile(directory, "itu", path);
  if (fd < 0) return false;
  // A file the generator would read only in part is worse than none.
  const bool written = WriteAll(fd, text);
  int error = errno;
  const bool closed = ::close(fd) == 0;
  if (written && closed) return true;
  if (written) error = errno;
  ::unlink(path.c_str());
  errno = error;
  return false;
}
