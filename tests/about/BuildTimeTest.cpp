#include <gtest/gtest.h>

#include "about/BuildTime.h"

namespace {
TEST(BuildTime, WeekdayAndLayoutOfTheCompilerStamp) {
  EXPECT_EQ("Wed Sep 24 11:40:05 2003", BuildTimeText("Sep 24 2003", "11:40:05"));
  // Single-digit days keep the compiler's blank: the text always has 24 characters.
  EXPECT_EQ("Thu Feb  4 00:00:00 2027", BuildTimeText("Feb  4 2027", "00:00:00"));
  EXPECT_EQ("Thu Feb 29 23:59:59 2024", BuildTimeText("Feb 29 2024", "23:59:59"));
  EXPECT_EQ("Sat Jan  1 12:00:00 2000", BuildTimeText("Jan  1 2000", "12:00:00"));
  EXPECT_EQ("Thu Dec 31 08:15:00 2099", BuildTimeText("Dec 31 2099", "08:15:00"));
}

TEST(BuildTime, ThisBuildHasAStamp) {
  const std::string text = ProgramBuildTime();
  EXPECT_EQ(24u, text.size()) << text;
}

TEST(BuildTime, MalformedDatesGiveNoText) {
  EXPECT_EQ("", BuildTimeText("Foo 24 2003", "11:40:05"));
  EXPECT_EQ("", BuildTimeText("eb 24 2003", "11:40:05")) << "month names start on a boundary";
  EXPECT_EQ("", BuildTimeText("Sep", "11:40:05"));
  EXPECT_EQ("", BuildTimeText("", ""));
}
}  // namespace
