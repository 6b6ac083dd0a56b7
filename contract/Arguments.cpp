#include "contract/Arguments.h"

#include "contract/CommandLine.h"
#include "contract/Protocol.h"

#include <cstddef>

const char kUsageText[] =
    "usage: Vignetor [switches] \"/pPREFIX\" INPUT_DIR OUTPUT_DIR\n"
    "  /hN      thumbnails N pixels high (width follows)\n"
    "  /wN      thumbnails N pixels wide (height follows)\n"
    "           both: exactly N x M, centre-cropped\n"
    "  /scale   with /h and /w: fit into the box, keeping the aspect\n"
    "  /n       make no thumbnails, only the page from those that exist\n"
    "  /s       include subdirectories\n"
    "  /t       pictures whose name begins with the prefix are thumbnails\n"
    "  /r       only pictures whose thumbnail does not exist yet\n"
    "  /c       CPU-friendly: low priority, one worker\n"
    "  /o       overwrite existing thumbnails\n"
    "  /g       give new thumbnails a free name instead (default)\n"
    "  /pPREFIX prefix of the thumbnail file names (may be empty: \"/p\")\n"
    "  /iNAME   make index.html from the template file NAME (listed by --help)\n"
    "  /xFILE   values for the template\n"
    "exit codes: 0 done, 1 some pictures failed, 2 usage, 3 input directory,\n"
    "            4 template or values file, 5 output not writable\n";

namespace {

bool parseSize(const std::string& digits, int& value) {
  if (digits.empty() || digits.size() > 5) return false;
  int v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < 1 || v > 10000) return false;
  value = v;
  return true;
}

bool startsWith(const std::string& s, const char* head) {
  return s.compare(0, std::char_traits<char>::length(head), head) == 0;
}

}  // namespace

std::string checkPrefix(const std::string& prefix) {
  if (prefix.find('/') != std::string::npos) return "the prefix must not hold \"/\"";
  if (prefix.find("..") != std::string::npos) return "the prefix must not hold \"..\"";
  for (unsigned char c : prefix) {
    if (c < 0x20 || c == 0x7f) return "the prefix must not hold control characters";
  }
  return {};
}

ParsedArguments parseArguments(const std::vector<std::string>& argv) {
  ParsedArguments result;
  Arguments& a = result.args;
  auto fail = [&result](const std::string& why) {
    result.error = why;
    return result;
  };

  std::size_t first = 1;
  // A marker pasted in front of copied parameters is no switch either.
  if (argv.size() > 1 && argv[1] == kMarkerToken) first = 2;
  if (argv.size() < first + 2) return fail("the input and the output directory are missing");
  const std::size_t dirs = argv.size() - 2;

  bool havePrefix = false, haveExisting = false, haveTemplate = false, haveValues = false;
  for (std::size_t i = first; i < dirs; ++i) {
    const std::string& s = argv[i];
    auto once = [&](bool& seen) {
      if (seen) return false;
      seen = true;
      return true;
    };
    bool fresh = true;
    if (s == "/scale") {
      fresh = once(a.scale);
    } else if (s == "/n") {
      fresh = once(a.skipCreation);
    } else if (s == "/s") {
      fresh = once(a.subdirectories);
    } else if (s == "/t") {
      fresh = once(a.noThumbsOfThumbs);
    } else if (s == "/r") {
      fresh = once(a.onlyMissing);
    } else if (s == "/c") {
      fresh = once(a.cpuFriendly);
    } else if (s == "/o" || s == "/g") {
      fresh = once(haveExisting);
      a.uniqueNames = s == "/g";
    } else if (startsWith(s, "/h")) {
      fresh = once(a.fixedHeight);
      if (fresh && !parseSize(s.substr(2), a.height))
        return fail("malformed switch " + s + ": the height must be 1 to 10000");
    } else if (startsWith(s, "/w")) {
      fresh = once(a.fixedWidth);
      if (fresh && !parseSize(s.substr(2), a.width))
        return fail("malformed switch " + s + ": the width must be 1 to 10000");
    } else if (startsWith(s, "/p")) {
      fresh = once(havePrefix);
      a.prefix = s.substr(2);
    } else if (startsWith(s, "/i")) {
      fresh = once(haveTemplate);
      a.templateName = s.substr(2);
      if (a.templateName.empty() || a.templateName.find('/') != std::string::npos ||
          a.templateName == "." || a.templateName == "..")
        return fail("malformed switch " + s + ": name a template file beside the program");
    } else if (startsWith(s, "/x")) {
      fresh = once(haveValues);
      a.valuesFile = s.substr(2);
      if (a.valuesFile.empty()) return fail("malformed switch /x: the values file is missing");
    } else if (startsWith(s, "/")) {
      return fail("unknown switch " + s);
    } else {
      return fail("unexpected argument " + s);
    }
    if (!fresh && (s == "/o" || s == "/g")) return fail("give either /o or /g, once");
    if (!fresh) return fail("switch " + (s == "/scale" ? s : s.substr(0, 2)) + " given twice");
  }
  // Unless told to overwrite, nothing is overwritten.
  if (!haveExisting) a.uniqueNames = true;
  a.inDir = argv[dirs];
  a.outDir = argv[dirs + 1];

  if (!havePrefix) return fail("the prefix switch /p is missing");
  std::string bad = checkPrefix(a.prefix);
  if (!bad.empty()) return fail(bad);
  if (a.inDir.empty() || a.outDir.empty()) return fail("empty input and/or output directory");
  if (!a.fixedHeight && !a.fixedWidth) return fail("give a height (/h), a width (/w) or both");
  if (a.scale && !(a.fixedHeight && a.fixedWidth))
    return fail("/scale needs both a height (/h) and a width (/w)");
  if (a.skipCreation && a.templateName.empty())
    return fail("/n without /i: there is nothing to do");
  if (haveValues && !haveTemplate) return fail("/x without /i: values need a template");
  return result;
}

std::string ComposeCommandLine(const Arguments& args) {
  std::string line = kMarkerToken;
  if (args.fixedHeight) line += " /h" + std::to_string(args.height);
  if (args.fixedWidth) line += " /w" + std::to_string(args.width);
  if (args.scale) line += " /scale";
  if (args.skipCreation) line += " /n";
  if (args.subdirectories) line += " /s";
  if (args.noThumbsOfThumbs) line += " /t";
  if (args.onlyMissing) line += " /r";
  if (args.cpuFriendly) line += " /c";
  line += args.uniqueNames ? " /g" : " /o";
  line += " " + QuoteArgumentAlways("/p" + args.prefix);
  if (!args.templateName.empty()) {
    line += " " + QuoteArgument("/i" + args.templateName);
    if (!args.valuesFile.empty()) line += " " + QuoteArgument("/x" + args.valuesFile);
  }
  line += " " + QuoteArgumentAlways(args.inDir);
  line += " " + QuoteArgumentAlways(args.outDir);
  return line;
}
