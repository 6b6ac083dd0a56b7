#include "generator/cli/ConsoleText.h"

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

// Length of the valid UTF-8 sequence at `at` with its code point, or 0.
std::size_t utf8Sequence(const std::string& s, std::size_t at, unsigned& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = byte(at);
  std::size_t length;
  unsigned min;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2, min = 0x80, cp = lead & 0x1f;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3, min = 0x800, cp = lead & 0x0f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4, min = 0x10000, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xc0) != 0x80) return 0;
    cp = cp << 6 | (byte(at + i) & 0x3f);
  }
  if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return length;
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
    unsigned cp = 0;
    std::size_t length = utf8Sequence(text, at, cp);
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
