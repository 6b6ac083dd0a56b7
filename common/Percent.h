// Percent-encoding: a byte as %XX (upper-case hex).
#ifndef WV_COMMON_PERCENT_H
#define WV_COMMON_PERCENT_H

#include <string>

// `bytes` with every byte for which `plain` is false written as %XX.
std::string percentEncode(const std::string& bytes, bool (*plain)(unsigned char));

// Letters, digits and -._~, which a URL never needs to encode.
bool isUnreservedInUrl(unsigned char c);

// Decodes %XX (either case of hex); false for a '%' not followed by two hex digits.
bool percentDecode(const std::string& text, std::string& bytes);

#endif
