#pragma once

#include <string>
#include <vector>

// The generator gets one command-line text, split into its arguments by the
// rules of the Windows C runtime, so that the text the user copies and the
// arguments the generator receives stay one and the same thing.
//
// Blanks and tabs separate arguments; double quotes group; 2n backslashes
// before a quote give n backslashes and the quote groups, 2n+1 give n
// backslashes and a literal quote; other backslashes are literal; "" inside
// quotes is a literal quote. The first argument (the program name) ends at
// the first blank, or, when it starts with a quote, at the next quote, and
// takes backslashes literally.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The arguments of `commandLine` after the program name, for pasting after a
// program's name in a POSIX shell (sh, bash): the text as it stands, except
// that an argument holding "$", "`", "\", a double quote, "!" or a line break,
// or a bare one holding shell syntax ("'", "&", ";", "|", "<", ">", "(", ")",
// "*", "?", "[", "{", "#", "~"), is written in single quotes ("'" as '\''), so that the
// shell hands over each value exactly as SplitCommandLine gives it.
std::string ShellParameters(const std::string& commandLine);

// `argument` as it must stand in a command line to come back whole from
// SplitCommandLine. Unchanged when it needs no quoting.
std::string QuoteArgument(const std::string& argument);

// `argument` always enclosed in double quotes, with what is inside escaped
// as the rules require (for tokens that are quoted whatever they hold).
std::string QuoteArgumentAlways(const std::string& argument);
