#include "platform/Text.h"

#include <cerrno>
#include <climits>
#include <cctype>
#include <cstdlib>

#include <wx/strconv.h>

wxString FromBytes(const std::string& bytes) {
  if (bytes.empty()) return wxString();
  wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
  if (text.empty()) text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
  return text;
}

std::string ToBytes(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return std::string(utf8.data(), utf8.length());
}

bool ParseInt32(const std::string& text, int* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) return false;
  *value = static_cast<int>(parsed);
  return true;
}
