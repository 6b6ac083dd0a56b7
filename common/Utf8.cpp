#include "common/Utf8.h"

std::size_t utf8Sequence(const std::string& text, std::size_t at, char32_t* codePoint,
                         bool* truncated) {
  if (truncated) *truncated = false;
  const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    if (codePoint) *codePoint = lead;
    return 1;
  }
  std::size_t length;
  unsigned lo = 0x80, hi = 0xbf;  // bounds of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) lo = 0xa0;  // no overlong forms
    if (lead == 0xed) hi = 0x9f;  // no surrogates
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) lo = 0x90;
    if (lead == 0xf4) hi = 0x8f;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  char32_t cp = lead & (0x7f >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if (at + k >= text.size()) {
      if (truncated) *truncated = true;
      return 0;
    }
    const unsigned char c = byte(at + k);
    if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xbf)) return 0;
    cp = cp << 6 | (c & 0x3f);
  }
  if (codePoint) *codePoint = cp;
  return length;
}

std::string toUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = utf8Sequence(bytes, i);
    if (n) {
      out.append(bytes, i, n);
      i += n;
    } else {
      const unsigned char c = static_cast<unsigned char>(bytes[i++]);
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
  return out;
}

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xc0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xe0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  }
}

std::string utf8Prefix(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  // Back to the start of a sequence that runs past the limit, if one does:
  // it began at most three bytes before. Bytes of no sequence are each a
  // character of their own, and are cut anywhere.
  std::size_t cut = limit;
  for (std::size_t back = 1; back <= 3 && back <= limit; ++back) {
    if ((static_cast<unsigned char>(text[limit - back]) & 0xc0) == 0x80) continue;
    if (utf8Sequence(text, limit - back) > back) cut = limit - back;
    break;
  }
  return text.substr(0, cut);
}
