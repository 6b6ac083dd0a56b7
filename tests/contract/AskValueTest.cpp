#include <gtest/gtest.h>

#include "contract/AskValue.h"

namespace {

TEST(AskValueLine, SplitsIntoFourUntrimmedFields) {
  const AskValue entry = ParseAskValue(" a ;N; Columns ;4 ");
  ASSERT_TRUE(entry.valid);
  EXPECT_EQ(" a ", entry.name);
  EXPECT_EQ(AskValue::Numeric, entry.kind);
  EXPECT_EQ(" Columns ", entry.prompt);
  EXPECT_EQ("4 ", entry.value);

  const AskValue odd = ParseAskValue("\tkey\xff;t;Pr\xe9mpt;a=b c");
  ASSERT_TRUE(odd.valid);
  EXPECT_EQ("\tkey\xff", odd.name) << "leading white space belongs to the name";
  EXPECT_EQ("Pr\xe9mpt", odd.prompt);
  EXPECT_EQ("a=b c", odd.value);
}

// No value may add a line to the values file: each line break is one blank,
// every other byte stays.
TEST(OneLine, LineBreaksBecomeBlanksAndNothingElseChanges) {
  EXPECT_EQ("x columns=9", OneLine("x\ncolumns=9"));
  EXPECT_EQ("a b c d", OneLine("a\r\nb\rc\nd"));
  EXPECT_EQ("  ", OneLine("\n\n"));
  EXPECT_EQ(" ", OneLine("\r\n"));
  EXPECT_EQ("a  b", OneLine("a\n\r\nb"));
  const std::string other("\t\v\f\0\xff\x1b= ;", 9);
  EXPECT_EQ(other, OneLine(other));
  EXPECT_EQ("default with a cr", ParseAskValue("a;T;b;default with\ra cr").value);
}

TEST(AskValueLine, KindComesFromTheFirstCharacterOnly) {
  EXPECT_EQ(AskValue::Numeric, ParseAskValue("a;n;b;1").kind);
  EXPECT_EQ(AskValue::Numeric, ParseAskValue("a;Number;b;1").kind);
  EXPECT_EQ(AskValue::Numeric, ParseAskValue("a;numeric;b;12").kind);
  EXPECT_EQ(AskValue::Text, ParseAskValue("a;T;b;1").kind);
  EXPECT_EQ(AskValue::Text, ParseAskValue("a;x;b;1").kind);
  EXPECT_EQ(AskValue::Text, ParseAskValue("a; N;b;1").kind) << "a blank first is not N";
  const AskValue empty = ParseAskValue("a;;b;");
  ASSERT_TRUE(empty.valid);
  EXPECT_EQ(AskValue::Text, empty.kind);
  EXPECT_EQ("", empty.value);
}

TEST(AskValueLine, OnlyExactlyThreeSeparatorsMakeAnEntry) {
  EXPECT_FALSE(ParseAskValue("").valid);
  EXPECT_FALSE(ParseAskValue(" \t\v\f\r\n").valid);
  EXPECT_FALSE(ParseAskValue("a;N;b").valid);
  EXPECT_FALSE(ParseAskValue("a;N;b;c;d").valid);
  EXPECT_FALSE(ParseAskValue("\v;a;b;c").valid) << "';' first after white space";
  EXPECT_FALSE(ParseAskValue(";;;").valid);
  EXPECT_TRUE(ParseAskValue("a;;;").valid);
  EXPECT_TRUE(ParseAskValue(std::string("a\0b;T;p;v", 9)).valid);
}

TEST(AskValueLine, VeryLongFieldsAreKeptWhole) {
  const std::string prompt(5000, 'p');
  const std::string value(3000, 'v');
  const AskValue entry = ParseAskValue("name;T;" + prompt + ";" + value);
  ASSERT_TRUE(entry.valid);
  EXPECT_EQ(prompt, entry.prompt);
  EXPECT_EQ(value, entry.value);
}

TEST(NumericTest, AcceptsExactlyThePlainDecimalForm) {
  for (const char* good : {"0", "42", "-7", "2147483647", "-2147483648", "1000000"}) {
    EXPECT_TRUE(IsNumericValue(good)) << good;
  }
  for (const char* bad : {"", "+5", "007", "-0", "4.5", " 5", "5 ", "2147483648", "-2147483649",
                          "99999999999999999999", "12a", "-", "0x10", "\t1"}) {
    EXPECT_FALSE(IsNumericValue(bad)) << "'" << bad << "'";
  }
  EXPECT_FALSE(IsNumericValue(std::string("1\0", 2)));
}
}  // namespace
