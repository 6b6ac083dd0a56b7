// The generator's switches: composed by the form into its command line,
// parsed by the generator. Switches first, then the input and the output
// directory.
#ifndef WV_CONTRACT_ARGUMENTS_H
#define WV_CONTRACT_ARGUMENTS_H

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
  bool uniqueNames = true;        // /g (the default); /o overwrites
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

// The form's command line for `args`: the marker token, then the switches
// and the two directories. Every value that could split into more arguments
// (or merge with the next) is quoted so that it arrives whole; everything
// else stands as it is. /x is written only with /i. The text is as long as
// its values make it: the system's limit on arguments is the only one.
std::string ComposeCommandLine(const Arguments& args);

extern const char kUsageText[];

#endif
