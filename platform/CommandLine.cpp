#include "platform/CommandLine.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  const std::size_t size = commandLine.size();
  std::size_t i = 0;

  // The program name knows no escapes.
  while (i < size && IsBlank(commandLine[i])) ++i;
  if (i == size) return arguments;
  std::string program;
  if (commandLine[i] == '"') {
    ++i;
    while (i < size && commandLine[i] != '"') program += commandLine[i++];
    if (i < size) ++i;
  } else {
    while (i < size && !IsBlank(commandLine[i])) program += commandLine[i++];
  }
  arguments.push_back(program);

  for (;;) {
    while (i < size && IsBlank(commandLine[i])) ++i;
    if (i == size) break;
    std::string argument;
    bool quoted = false;
    while (i < size && (quoted || !IsBlank(commandLine[i]))) {
      const char c = commandLine[i];
      if (c == '\\') {
        std::size_t backslashes = 0;
        while (i < size && commandLine[i] == '\\') {
          ++backslashes;
          ++i;
        }
        if (i < size && commandLine[i] == '"') {
          argument.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(backslashes, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < size && commandLine[i + 1] == '"') {
          argument += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        argument += c;
        ++i;
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

std::string QuoteArgumentAlways(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // The backslashes before a quote are doubled, and one more escapes it.
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // Backslashes before the closing quote would escape it.
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
    return argument;
  return QuoteArgumentAlways(argument);
}
