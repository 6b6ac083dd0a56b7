#include <climits>

#include <gtest/gtest.h>

#include "platform/Text.h"

TEST(Text, Utf8RoundTripsAndOtherBytesShowAsLatin1) {
  EXPECT_EQ("caf\xc3\xa9", ToBytes(FromBytes("caf\xc3\xa9")));
  const wxString latin = FromBytes("caf\xe9 \xff");
  EXPECT_EQ(6u, latin.length()) << "no byte is dropped";
  EXPECT_EQ(wxString(L"caf\u00e9 \u00ff"), latin);
  EXPECT_TRUE(FromBytes("").empty());
}

TEST(Text, ParsesOnlyWhole32BitIntegers) {
  int value = 7;
  EXPECT_TRUE(ParseInt32("-2147483648", &value));
  EXPECT_EQ(INT_MIN, value);
  EXPECT_TRUE(ParseInt32("+15", &value));
  EXPECT_EQ(15, value);
  for (const char* bad : {"", " 1", "1 ", "2147483648", "12abc", "0x10", "--1"}) {
    value = 7;
    EXPECT_FALSE(ParseInt32(bad, &value)) << bad;
    EXPECT_EQ(7, value) << bad;
  }
}
