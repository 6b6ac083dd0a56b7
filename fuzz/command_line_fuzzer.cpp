// The quoting of the command line as a property. For any list of values:
// the line the form quotes them into splits back into them, and what the
// form copies for a shell, split as a POSIX shell splits it, gives them
// too. For any switches the form composes, the generator's parser reads
// the same switches back, or refuses exactly those the rules refuse.
#include "contract/Arguments.h"
#include "contract/CommandLine.h"
#include "contract/Protocol.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool oneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// The words a POSIX shell (sh, an interactive bash) makes of `text` pasted
// after a command's name. Aborts at anything the shell would not hand over
// as it stands: an expansion, an operator, a glob, a comment, a tilde, a
// history mark, or an unquoted line break (which ends the command).
std::vector<std::string> shellWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      ++i;
      continue;
    }
    const bool wordStart = !inWord;
    inWord = true;
    if (c == '\'') {
      const std::size_t end = text.find('\'', i + 1);
      check(end != std::string::npos);
      word += text.substr(i + 1, end - i - 1);
      i = end + 1;
    } else if (c == '"') {
      ++i;
      for (;;) {
        check(i < text.size());
        const char d = text[i];
        if (d == '"') {
          ++i;
          break;
        }
        check(d != '$' && d != '`' && d != '!');
        if (d == '\\' && i + 1 < text.size() && oneOf(text[i + 1], "$`\"\\\n")) {
          if (text[i + 1] != '\n') word += text[i + 1];
          i += 2;
          continue;
        }
        word += d;
        ++i;
      }
    } else if (c == '\\') {
      check(i + 1 < text.size() && text[i + 1] != '\n');
      word += text[i + 1];
      i += 2;
    } else {
      check(!oneOf(c, "$`!|&;<>()*?[{\n\r"));
      check(!wordStart || c != '#');
      // bash takes "~" for the home folder also after "=" or ":".
      check(c != '~' ||
            (!wordStart && (word.empty() || (word.back() != '=' && word.back() != ':'))));
      word += c;
      ++i;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

std::vector<std::string> splitAt(const std::string& input, char separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (;;) {
    const std::size_t end = input.find(separator, at);
    parts.push_back(input.substr(at, end == std::string::npos ? end : end - at));
    if (end == std::string::npos) return parts;
    at = end + 1;
  }
}

void checkValues(const std::vector<std::string>& values, bool always) {
  std::string line = kMarkerToken;
  for (const auto& v : values) line += " " + (always ? QuoteArgumentAlways(v) : QuoteArgument(v));
  std::vector<std::string> split = SplitCommandLine(line);
  check(!split.empty() && split[0] == kMarkerToken);
  split.erase(split.begin());
  check(split == values);
  check(shellWords(ShellParameters(line)) == values);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The values, separated by NULs (no command line holds one).
  const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::vector<std::string> values = splitAt(input, '\0');
  checkValues(values, false);
  checkValues(values, true);

  // Switches from the first two bytes, the texts from the values.
  const unsigned bits = data[0] | data[1] << 8;
  Arguments a;
  a.fixedHeight = bits & 1;
  a.fixedWidth = bits & 2;
  a.height = a.fixedHeight ? 1 + static_cast<int>((bits >> 8) * 39 % 10000) : 0;
  a.width = a.fixedWidth ? 10000 - static_cast<int>((bits >> 8) * 41 % 10000) : 0;
  a.scale = bits & 4;
  a.skipCreation = bits & 8;
  a.subdirectories = bits & 16;
  a.noThumbsOfThumbs = bits & 32;
  a.onlyMissing = bits & 64;
  a.cpuFriendly = bits & 128;
  a.uniqueNames = bits & 0x100;
  auto text = [&values](std::size_t n) { return n < values.size() ? values[n] : std::string(); };
  a.prefix = text(0);
  a.templateName = text(1);
  a.valuesFile = a.templateName.empty() ? std::string() : text(2);
  a.inDir = text(3);
  a.outDir = text(4);

  const std::string line = ComposeCommandLine(a);
  const ParsedArguments parsed = parseArguments(SplitCommandLine(line));
  const bool valid = checkPrefix(a.prefix).empty() && !a.inDir.empty() && !a.outDir.empty() &&
                     (a.fixedHeight || a.fixedWidth) &&
                     (!a.scale || (a.fixedHeight && a.fixedWidth)) &&
                     (!a.skipCreation || !a.templateName.empty()) &&
                     a.templateName.find('/') == std::string::npos && a.templateName != "." &&
                     a.templateName != "..";
  check(parsed.ok() == valid);
  if (parsed.ok()) {
    const Arguments& b = parsed.args;
    check(b.fixedHeight == a.fixedHeight && b.height == a.height && b.fixedWidth == a.fixedWidth &&
          b.width == a.width && b.scale == a.scale && b.skipCreation == a.skipCreation &&
          b.subdirectories == a.subdirectories && b.noThumbsOfThumbs == a.noThumbsOfThumbs &&
          b.onlyMissing == a.onlyMissing && b.cpuFriendly == a.cpuFriendly &&
          b.uniqueNames == a.uniqueNames && b.prefix == a.prefix &&
          b.templateName == a.templateName && b.valuesFile == a.valuesFile && b.inDir == a.inDir &&
          b.outDir == a.outDir);
  }
  // What the form copies of it reads in a shell as the generator reads it.
  std::vector<std::string> argv = SplitCommandLine(line);
  argv.erase(argv.begin());
  check(shellWords(ShellParameters(line)) == argv);
  return 0;
}
