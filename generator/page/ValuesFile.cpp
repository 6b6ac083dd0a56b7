#include "generator/page/ValuesFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The whole file, read only when it is a regular file and no larger than
// the bound: a FIFO or a device given by mistake neither hangs the run nor
// fills the memory.
bool readWhole(const std::string& path, std::string& data, std::string& error) {
  // O_NONBLOCK: opening a FIFO without a writer would wait for one.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = "cannot read the values file " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    error = "the values file " + path + " is not a regular file";
    return false;
  }
  data.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read the values file " + path + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    if (data.size() + static_cast<std::size_t>(n) > kValuesFileMaxBytes) {
      close(fd);
      error = "the values file " + path + " is larger than " +
              std::to_string(kValuesFileMaxBytes / (1024 * 1024)) + " MiB";
      return false;
    }
    data.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
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
