#include "generator/compat/VipsErrors.h"

#include <gtest/gtest.h>

TEST(VipsErrors, TheBufferBecomesOneShortLineOfDistinctMessages) {
  EXPECT_EQ(vipsErrorLine(""), "not a readable picture");
  EXPECT_EQ(vipsErrorLine("\n \n"), "not a readable picture");
  EXPECT_EQ(vipsErrorLine("VipsJpeg: Premature end of input file\n"
                          "VipsJpeg: Premature end of input file\n"
                          "jpegload: out of order read\n"
                          "VipsJpeg: Premature end of input file \n"),
            "VipsJpeg: Premature end of input file jpegload: out of order read");
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "VipsForeignLoad: message " + std::to_string(i) + "\n";
  std::string line = vipsErrorLine(many, 100);
  EXPECT_EQ(line.size(), 103u);
  EXPECT_EQ(line.substr(0, 54), "VipsForeignLoad: message 0 VipsForeignLoad: message 1 ");
  EXPECT_EQ(line.substr(100), "...");
  // Never cut inside a character.
  EXPECT_EQ(vipsErrorLine("ab\xc3\xa9", 3), "ab...");
}
