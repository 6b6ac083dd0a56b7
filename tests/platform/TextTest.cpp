#include <gtest/gtest.h>

#include "platform/Text.h"

TEST(Text, Utf8RoundTripsAndOtherBytesShowAsLatin1) {
  EXPECT_EQ("caf\xc3\xa9", ToBytes(FromBytes("caf\xc3\xa9")));
  const wxString latin = FromBytes("caf\xe9 \xff");
  EXPECT_EQ(6u, latin.length()) << "no byte is dropped";
  EXPECT_EQ(wxString(L"caf\u00e9 \u00ff"), latin);
  EXPECT_TRUE(FromBytes("").empty());
}
