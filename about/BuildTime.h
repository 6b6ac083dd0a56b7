#pragma once

#include <string>

// "Www Mmm dd hh:mm:ss yyyy" (the C library's asctime form, day padded with a
// blank) from the compiler's __DATE__ ("Mmm dd yyyy") and __TIME__
// ("hh:mm:ss"). Empty if `date` is not in that form.
std::string BuildTimeText(const char* date, const char* time);

// The time this program was built.
std::string ProgramBuildTime();
