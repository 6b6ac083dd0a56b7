#include "tests/gui/StandInGenerator.h"

#include <cstdlib>

#include <sys/stat.h>

#include "tests/gui/GuiTest.h"

std::string StandInGeneratorPath() { return WV_STAND_IN_GENERATOR; }

void InstallStandInGenerator(const std::string& directory) {
  const std::string target = directory + "/Vignetor";
  WriteFile(target, ReadFile(StandInGeneratorPath()));
  ::chmod(target.c_str(), 0700);
}

bool ReadStandInRecord(const std::string& path, StandInRecord& record) {
  if (!FileExists(path)) return false;
  const std::string text = ReadFile(path);
  record = StandInRecord();
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
    fields.push_back(text.substr(start, end - start));
  const std::string rest = text.substr(start);
  if (fields.empty()) return false;
  const std::size_t count = std::strtoul(fields[0].c_str(), nullptr, 10);
  if (fields.size() != count + 2) return false;
  record.arguments.assign(fields.begin() + 1, fields.end() - 1);
  record.workingDirectory = fields.back();
  if (rest.rfind("values:", 0) == 0) record.valuesFile = rest.substr(7);
  return true;
}

StandInEnvironment::~StandInEnvironment() {
  for (const std::string& name : m_names) ::unsetenv(name.c_str());
}

void StandInEnvironment::Set(const char* name, const std::string& value) {
  ::setenv(name, value.c_str(), 1);
  m_names.push_back(name);
}
