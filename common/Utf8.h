// UTF-8 as the programs read it: strict (no overlong forms, no surrogates,
// nothing above U+10FFFF), and every other byte taken as Latin-1, so that
// no name is ever dropped or mangled.
#ifndef WV_COMMON_UTF8_H
#define WV_COMMON_UTF8_H

#include <cstddef>
#include <string>

// Length (1 to 4) of the valid sequence that starts at `at`, with its code
// point in `codePoint`; 0 when the bytes there start none. A sequence that
// is right so far but cut off by the end of `text` also gives 0, and sets
// `truncated` (for text that arrives in pieces).
std::size_t utf8Sequence(const std::string& text, std::size_t at, char32_t* codePoint = nullptr,
                         bool* truncated = nullptr);

// Valid UTF-8 stays as it is; every byte that is not part of a valid
// sequence becomes the Latin-1 character of that value.
std::string toUtf8(const std::string& bytes);

// Appends the UTF-8 form of `codePoint` (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t codePoint);

// The longest start of `text` of at most `limit` bytes that does not end
// inside a sequence.
std::string utf8Prefix(const std::string& text, std::size_t limit);

#endif
