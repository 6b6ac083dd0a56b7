#include "generator/page/HtmlText.h"

#include <gtest/gtest.h>

TEST(HtmlText, EscapesEveryCharacterThatEndsTextOrAnAttribute) {
  EXPECT_EQ(htmlEscape("<b>&\"'#?% x.jpg"), "&lt;b&gt;&amp;&quot;&#39;#?% x.jpg");
  EXPECT_EQ(htmlEscape("plain"), "plain");
  EXPECT_EQ(htmlEscape(""), "");
}

TEST(HtmlText, KeepsValidUtf8AndReadsStrayBytesAsLatin1) {
  EXPECT_EQ(toUtf8("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7"),
            "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7");
  EXPECT_EQ(toUtf8("caf\xe9"), "caf\xc3\xa9");                    // Latin-1 e acute
  EXPECT_EQ(toUtf8("\xc3"), "\xc3\x83");                          // cut sequence
  EXPECT_EQ(toUtf8("\xc0\xaf"), "\xc3\x80\xc2\xaf");              // overlong "/"
  EXPECT_EQ(toUtf8("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80");  // surrogate
  EXPECT_EQ(htmlEscape("\xff<"), "\xc3\xbf&lt;");
}

TEST(HtmlText, PercentEncodesEachSegment) {
  EXPECT_EQ(percentEncodeSegment("<b>&\"'#?% x.jpg"), "%3Cb%3E%26%22%27%23%3F%25%20x.jpg");
  EXPECT_EQ(percentEncodeSegment("a-b_c.d~e"), "a-b_c.d~e");
  // A colon would otherwise read as a scheme at the start of a link.
  EXPECT_EQ(percentEncodeSegment("javascript:x"), "javascript%3Ax");
  EXPECT_EQ(percentEncodeSegment("\xc3\xa9"), "%C3%A9");
  EXPECT_EQ(pathToUrl("../in/sub dir/a#1.jpg"), "../in/sub%20dir/a%231.jpg");
  EXPECT_EQ(pathToUrl("a.jpg"), "a.jpg");
}
