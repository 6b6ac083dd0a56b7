#include "generator/ValuesFile.h"

#include <fstream>

bool readValuesFile(const std::string& path, TemplateValues& values, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the values file " + path;
    return false;
  }
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
  if (in.bad()) {
    error = "cannot read the values file " + path;
    return false;
  }
  return true;
}
