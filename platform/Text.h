#pragma once

#include <string>

#include <wx/string.h>

// Text is bytes: template files, stored names and paths are taken as they are.
// The user interface shows them as UTF-8; bytes that are not valid UTF-8 are
// shown as Latin-1 rather than dropped.
wxString FromBytes(const std::string& bytes);

// The bytes of a user-interface text (UTF-8).
std::string ToBytes(const wxString& text);

// A decimal integer of 32 bits: an optional sign and digits, nothing else.
bool ParseInt32(const std::string& text, int* value);
