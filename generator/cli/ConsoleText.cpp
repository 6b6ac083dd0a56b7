#include "generator/cli/ConsoleText.h"

#include "common/Utf8.h"

namespace {

void appendHex(std::string& out, const char* prefix, unsigned value, int digits) {
  static const char kDigits[] = "0123456789abcdef";
  out += prefix;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xf];
}

// Code points that change how a terminal or a text view shows what follows.
bool isInvisibleControl(unsigned cp) {
  return (cp >= 0x80 && cp <= 0x9f) || cp == 0x061c || cp == 0x200e || cp == 0x200f ||
         (cp >= 0x2028 && cp <= 0x202e) || (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string escapeControls(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7f)
        appendHex(out, "\\x", c, 2);
      else
        out += static_cast<char>(c);
      ++at;
      continue;
    }
    char32_t cp = 0;
    std::size_t length = utf8Sequence(text, at, &cp);
    if (length == 0) {
      appendHex(out, "\\x", c, 2);
      ++at;
    } else {
      if (isInvisibleControl(cp))
        appendHex(out, "\\u", cp, 4);
      else
        out.append(text, at, length);
      at += length;
    }
  }
  return out;
}

std::string escapeLines(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    out += escapeControls(text.substr(start, end - start)) + '\n';
  return out + escapeControls(text.substr(start));
}

void printLine(std::FILE* stream, const std::string& text) {
  std::string line = escapeControls(text);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}
