#include "contract/CommandLine.h"

#include <utility>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

namespace {
// One argument of a command line: its value and where its text stands.
struct Argument {
  std::string value;
  std::size_t begin;
  std::size_t end;
};

std::vector<Argument> SplitArguments(const std::string& commandLine) {
  std::vector<Argument> arguments;
  const std::size_t size = commandLine.size();
  std::size_t i = 0;

  // The program name knows no escapes.
  while (i < size && IsBlank(commandLine[i])) ++i;
  if (i == size) return arguments;
  Argument program{std::string(), i, i};
  if (commandLine[i] == '"') {
    ++i;
    while (i < size && commandLine[i] != '"') program.value += commandLine[i++];
    if (i < size) ++i;
  } else {
    while (i < size && !IsBlank(commandLine[i])) program.value += commandLine[i++];
  }
  program.end = i;
  arguments.push_back(program);

  for (;;) {
    while (i < size && IsBlank(commandLine[i])) ++i;
    if (i == size) break;
    Argument argument{std::string(), i, i};
    std::string& value = argument.value;
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
          value.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            value += '"';
            ++i;
          }
        } else {
          value.append(backslashes, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < size && commandLine[i + 1] == '"') {
          value += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        value += c;
        ++i;
      }
    }
    argument.end = i;
    arguments.push_back(argument);
  }
  return arguments;
}

// What a POSIX shell reads specially inside double quotes ("!" in an
// interactive bash), and line breaks, which a terminal may take for Enter.
bool NeedsShellQuotes(const std::string& value) {
  return value.find_first_of("$`\\\"!\n\r") != std::string::npos;
}

// What a shell reads specially in a word outside quotes, beyond the blanks
// and the characters above: "#" begins a comment at the start of a word,
// "~" is the home folder there or after "=" or ":" (bash, in an argument
// that looks like an assignment); either is quoted wherever it stands.
bool HasShellSyntax(const std::string& value) {
  return value.find_first_of("'&;|<>()*?[{#~") != std::string::npos;
}

std::string SingleQuoted(const std::string& value) {
  std::string quoted = "'";
  for (char c : value) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> values;
  for (Argument& argument : SplitArguments(commandLine))
    values.push_back(std::move(argument.value));
  return values;
}

std::string ShellParameters(const std::string& commandLine) {
  const std::vector<Argument> arguments = SplitArguments(commandLine);
  if (arguments.size() < 2) return std::string();
  // From the first argument after the program name, separators as they are.
  std::string parameters;
  std::size_t copied = arguments[1].begin;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const Argument& argument = arguments[i];
    const std::string text = commandLine.substr(argument.begin, argument.end - argument.begin);
    parameters += commandLine.substr(copied, argument.begin - copied);
    copied = argument.end;
    // In double quotes, a value without "$`\!" and line breaks reads the
    // same to both splitters; a bare one must hold no shell syntax either.
    const bool bare = text.find('"') == std::string::npos;
    if (NeedsShellQuotes(argument.value) || (bare && HasShellSyntax(argument.value))) {
      parameters += SingleQuoted(argument.value);
    } else {
      parameters += text;
    }
  }
  return parameters;
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
