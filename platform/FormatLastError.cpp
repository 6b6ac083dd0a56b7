#include "platform/FormatLastError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
char g_errorText[4096];
}

const char* FormatLastError() {
  const int code = errno;  // first, before anything can change it
  char description[1024];
  // The GNU strerror_r may return its own static text instead of filling ours.
  const char* text = strerror_r(code, description, sizeof description);
  std::memset(g_errorText, 0, sizeof g_errorText);
  std::snprintf(g_errorText, sizeof g_errorText, "Error Code: %d\nDescription: %s", code,
                text ? text : "Unknown error");
  return g_errorText;
}
