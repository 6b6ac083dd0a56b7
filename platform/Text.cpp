#include "platform/Text.h"

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
