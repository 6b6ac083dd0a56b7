// Real folders, real pictures and the real generator process for the tests.
#ifndef WV_TESTS_GENERATOR_SUPPORT_H
#define WV_TESTS_GENERATOR_SUPPORT_H

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs `program` with exactly `argv` (argv[0] included), no shell; `inChild`,
// when given, runs in the new process before the program starts. A program
// still running after `seconds` is killed: exit code -1, and `err` says so.
RunResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                     void (*inChild)() = nullptr, int seconds = 120);

// For `inChild`: root reads every file; without these two capabilities it is
// held to the modes like anyone else, also after the program starts. Exits
// with 99 where it cannot give them up.
void dropFileReadingPrivileges();

// The generator as the front end starts it: the marker first.
RunResult runGenerator(const std::vector<std::string>& switchesAndDirs);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);
bool exists(const std::string& path);

// Every regular file under `dir`, relative path to contents.
std::map<std::string, std::string> snapshot(const std::string& dir);

// A picture `width` x `height` whose format follows the extension; with an
// EXIF orientation when `orientation` is not 0.
void makePicture(const std::string& path, int width, int height, int orientation = 0);

struct PictureInfo {
  int width = 0, height = 0;
  std::string loader;  // "jpegload", "pngload", ...
  bool hasExif = false;
  int orientation = 1;
};
PictureInfo inspect(const std::string& path);

// A test's own program folder holding a copy of the generator (and the
// templates the test writes there), an input folder in/ and an output
// folder out/ beside it.
class GeneratorFolders : public ::testing::Test {
 protected:
  void SetUp() override;
  // Makes the picture in/`rel`, with its folders.
  void picture(const std::string& rel, int w, int h);
  // The generator of the program folder with "VGN" and `args`.
  RunResult run(const std::vector<std::string>& args);

  TempDir root;
  std::string in, out, program;
};

#endif
