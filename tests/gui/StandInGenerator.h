#pragma once

#include <string>
#include <vector>

// The stand-in generator of the tests (StandInGenerator.cpp says what it
// does and how it is told).

// Copies the stand-in into `directory` as `Vignetor`, ready to run.
void InstallStandInGenerator(const std::string& directory);

// Path of the stand-in as the build made it.
std::string StandInGeneratorPath();

// What the stand-in recorded about its start.
struct StandInRecord {
  std::vector<std::string> arguments;
  std::string workingDirectory;
  std::string valuesFile;  // "present", "missing" or empty without /x
};
bool ReadStandInRecord(const std::string& path, StandInRecord& record);

// Sets the stand-in's environment variables and removes them again.
class StandInEnvironment {
 public:
  StandInEnvironment() = default;
  ~StandInEnvironment();
  void Set(const char* name, const std::string& value);

 private:
  std::vector<std::string> m_names;
};
