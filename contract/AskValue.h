#pragma once

#include <string>

// One value that a template asks for: one line of its "askvalues" section,
// "name;kind;prompt;default". All texts are the template's bytes.
struct AskValue {
  enum Kind { Text, Numeric };

  std::string name;  // key in the settings and in the values file
  Kind kind = Text;
  std::string prompt;  // shown in the list and above the edit box
  std::string value;   // the stored value, else the default; replaced by Set
  bool valid = false;  // the line had the entry syntax
};

// Splits one line. Not valid unless, after leading white space, it starts
// with something other than ';' and holds exactly three ';'. Fields are not
// trimmed; `value` is the line's default. The form lists the valid lines;
// the generator takes their defaults for the values the values file lacks.
AskValue ParseAskValue(const std::string& line);

// `text` as one line: every line break (CR LF, a lone CR, a lone LF)
// becomes one blank, every other byte stays. Values are taken this way
// wherever they come from (template, settings file, edit box), so that none
// can add a line to the values file.
std::string OneLine(const std::string& text);

// The numeric test: the text reads as a 32-bit number the way atol reads it
// and prints back ("%ld") as exactly the same text. So only the plain decimal
// form passes: no '+', no leading zeros, no blanks, "-0" fails.
bool IsNumericValue(const std::string& text);
