// The generator's command line: switches first, then the input and the
// output directory.
#ifndef WV_GENERATOR_ARGUMENTS_H
#define WV_GENERATOR_ARGUMENTS_H

#include <string>
#include <vector>

struct Arguments {
  bool fixedHeight = false;
  int height = 0;
  bool fixedWidth = false;
  int width = 0;
  bool scale = false;
  bool skipCreation = false;      // /n
  bool subdirectories = false;    // /s
  bool noThumbsOfThumbs = false;  // /t
  bool onlyMissing = false;       // /r
  bool cpuFriendly = false;       // /c
  bool uniqueNames = false;       // /g; /o overwrites
  std::string prefix;
  std::string templateName;  // /i, empty: no page
  std::string valuesFile;    // /x
  std::string inDir;
  std::string outDir;
};

// Outcome of parsing; `error` is empty when `args` holds a valid request.
struct ParsedArguments {
  Arguments args;
  std::string error;
  bool ok() const { return error.empty(); }
};

// `argv` is the whole vector as the program got it: argv[0] is either the
// marker token (started by the front end) or the program path (started by
// hand), and is never a switch.
ParsedArguments parseArguments(const std::vector<std::string>& argv);

// Why a thumbnail prefix is unsafe, or empty when it is fine.
std::string checkPrefix(const std::string& prefix);

extern const char kUsageText[];

#endif
