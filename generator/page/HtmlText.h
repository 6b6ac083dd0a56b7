// Putting file names and values into a page safely.
#ifndef WV_GENERATOR_HTMLTEXT_H
#define WV_GENERATOR_HTMLTEXT_H

#include "common/Utf8.h"

#include <string>

// Text for HTML content and attribute values: UTF-8 with & < > " ' escaped.
std::string htmlEscape(const std::string& bytes);

// One path segment of a URL: everything but letters, digits and -._~ as %XX.
std::string percentEncodeSegment(const std::string& segment);

// A relative path with '/' separators as a URL, each segment encoded.
std::string pathToUrl(const std::string& relativePath);

// A picture's link as a page writes it: pathToUrl(), and no link stays none.
std::string linkUrl(const std::string& link);

#endif
