#include "about/BuildTime.h"

#include <cstdio>
#include <cstring>

namespace {
const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// Day of the week of a Gregorian date, 0 = Sunday (Sakamoto's method).
int Weekday(int year, int month, int day) {
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
}
}  // namespace

std::string BuildTimeText(const char* date, const char* time) {
  char month[4] = {};
  int day = 0;
  int year = 0;
  if (std::sscanf(date, "%3s %d %d", month, &day, &year) != 3 || std::strlen(month) != 3) {
    return std::string();
  }
  const char* found = std::strstr(kMonths, month);
  if (!found || (found - kMonths) % 3 != 0 || day < 1 || day > 31 || year < 1) {
    return std::string();
  }
  const int monthNumber = static_cast<int>(found - kMonths) / 3 + 1;
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %2d %.8s %d", kWeekdays[Weekday(year, monthNumber, day)],
                month, day, time, year);
  return text;
}

std::string ProgramBuildTime() { return BuildTimeText(__DATE__, __TIME__); }
