#include "generator/page/HtmlText.h"

#include "common/Percent.h"
#include "common/Utf8.h"

std::string htmlEscape(const std::string& bytes) {
  std::string text = toUtf8(bytes);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string percentEncodeSegment(const std::string& segment) {
  return percentEncode(segment, isUnreservedInUrl);
}

std::string pathToUrl(const std::string& relativePath) {
  std::string out;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = relativePath.find('/', start);
    out += percentEncodeSegment(relativePath.substr(start, slash - start));
    if (slash == std::string::npos) break;
    out += '/';
    start = slash + 1;
  }
  return out;
}

std::string linkUrl(const std::string& link) { return link.empty() ? "" : pathToUrl(link); }
