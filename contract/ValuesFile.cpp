#include "contract/ValuesFile.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include <unistd.h>

#include "common/FileRead.h"
#include "common/TemporaryFile.h"
#include "contract/AskValue.h"

std::string ValuesFileText(const TemplateValues& entries) {
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

namespace {

// The whole file, read only when it is a regular file and no larger than
// the bound: a FIFO or a device given by mistake neither hangs the run nor
// fills the memory.
bool readWhole(const std::string& path, std::string& data, std::string& error) {
  int err = 0;
  switch (readCappedFile(path, kValuesFileMaxBytes, data, err)) {
    case FileRead::Ok: return true;
    case FileRead::Failed:
      error = "cannot read the values file " + path + ": " + std::strerror(err);
      return false;
    case FileRead::NotRegular:
      error = "the values file " + path + " is not a regular file";
      return false;
    case FileRead::TooLarge:
      error = "the values file " + path + " is larger than " +
              std::to_string(kValuesFileMaxBytes / (1024 * 1024)) + " MiB";
      return false;
  }
  return false;
}

}  // namespace

bool readValuesFile(const std::string& path, TemplateValues& values, std::string& error) {
  std::string data;
  if (!readWhole(path, data, error)) return false;
  std::istringstream in(data);
  values.clear();
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    // A file written on Windows ends its lines with CR LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = "values file " + path + ", line " + std::to_string(number) + ": no \"=\"";
      return false;
    }
    std::string name = line.substr(0, eq);
    std::string value = line.substr(eq + 1);
    bool replaced = false;
    for (auto& nv : values) {
      if (nv.first == name) {
        nv.second = value;
        replaced = true;
      }
    }
    if (!replaced) values.emplace_back(std::move(name), std::move(value));
  }
  return true;
}
