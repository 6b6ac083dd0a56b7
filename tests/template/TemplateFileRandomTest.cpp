#include "template/TemplateFile.h"
#include "tests/template/ReferenceReader.h"
#include "tests/template/TemplateDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {
// Random templates made of the lines that matter to the rules: headers of
// every shape, comments, blanks, content with odd bytes, directives near and
// far, and long lines whose later pieces are headers or comments.
class RandomTemplate {
 public:
  explicit RandomTemplate(unsigned seed) : m_rng(seed) {}

  std::string file(int lines, bool emptyNames) {
    std::string text = pick(8) ? "[" + name(false) + "]\n" : "";
    for (int i = 0; i < lines; ++i)
      text += line(emptyNames) + (pick(5) ? "\r\n" : i + 1 == lines && pick(2) ? "" : "\n");
    return text;
  }

 private:
  bool pick(int outOf) { return std::uniform_int_distribution<int>(0, outOf - 1)(m_rng) != 0; }
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

  std::string name(bool emptyNames) {
    static const char* names[] = {"a", "b", "c", "desc", "askvalues", " a ", "A", "\xe9", ""};
    return names[below(emptyNames ? 9 : 8)];
  }

  std::string blanks() {
    static const char set[] = " \t\r";
    std::string text;
    for (int n = below(3); n > 0; --n) text += set[below(3)];
    return text;
  }

  std::string text() {
    static const char set[] = "xy ;[]$\t\v\f\r\0\xe9";
    std::string text(1, 'x');
    for (int n = below(6); n > 0; --n) text += set[below(sizeof set - 1)];
    return text;
  }

  std::string line(bool emptyNames) {
    switch (below(9)) {
      case 0:
        return blanks() + "[" + name(emptyNames) + (pick(3) ? "]" : "]]") +
               (pick(4) ? "" : " ; x") + blanks();
      case 1: return blanks() + ";" + text();
      case 2: return blanks();
      case 3:
      case 4: return blanks() + text() + blanks();
      case 5:
      case 6:
        return (pick(8) ? "" : " ") + std::string("$PROCESS$") + blanks() + name(emptyNames) +
               blanks();
      case 7:
        return std::string(1023 - below(3), 'l') + blanks() +
               (pick(2) ? "[" + name(emptyNames) + "]" : ";") + text();
      default: return std::string(1000 + below(1200), 'l');
    }
  }

  std::mt19937 m_rng;
};

class TemplateFileRandomTest : public TemplateDir {
 protected:
  // Loads the bytes with the reader and with the plain rules; true when both
  // loaded and agree, false when both refused with the same message.
  bool agrees(const std::string& bytes, bool& compared) {
    const reference::Result expected = reference::load(bytes, "t.tpl", 200000);
    compared = expected.outcome != reference::Result::TooBig;
    if (!compared) return true;
    write("t.tpl", bytes);
    TemplateFile reader(m_strDir, "t.tpl");
    try {
      reader.load();
    } catch (const TemplateError& error) {
      EXPECT_EQ(error.message(), expected.message);
      return false;
    }
    EXPECT_EQ(expected.outcome, reference::Result::Loaded);
    EXPECT_EQ(reader.getSectionNames().size(), expected.sections.size());
    for (const auto& section : expected.sections)
      EXPECT_EQ(reader.getSection(section.first), section.second) << section.first;
    return true;
  }
};

// Against the rules written the plain way, on a few thousand small files.
TEST_F(TemplateFileRandomTest, AgreesWithPlainRules) {
  RandomTemplate random(20240611);
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    bool compared = false;
    const std::string bytes = random.file(1 + round % 30, round % 4 == 0);
    const bool ok = agrees(bytes, compared);
    ASSERT_FALSE(HasFailure()) << "round " << round;
    loaded += compared && ok;
  }
  // The mix must reach expansion often enough to mean something.
  EXPECT_GT(loaded, 300);
}

// Files larger than one read block, so that pieces straddle the blocks.
TEST_F(TemplateFileRandomTest, AgreesAcrossReadBlocks) {
  RandomTemplate random(99);
  int compared = 0;
  for (int round = 0; round < 20; ++round) {
    bool done = false;
    agrees(random.file(1500, false), done);
    ASSERT_FALSE(HasFailure()) << "round " << round;
    compared += done;
  }
  EXPECT_GT(compared, 10);
}

// Large files of the same mix: whatever the outcome, the reader holds up.
TEST_F(TemplateFileRandomTest, LargeMixHoldsUp) {
  RandomTemplate random(7);
  for (int round = 0; round < 4; ++round) {
    write("t.tpl", random.file(50000, round % 2 == 0));
    TemplateFile reader(m_strDir, "t.tpl");
    try {
      reader.load();
    } catch (const TemplateError& error) {
      const std::string& message = error.message();
      EXPECT_EQ(message.compare(0, 15, "Template Error\n"), 0);
      EXPECT_EQ(message.compare(message.size() - 1, 1, "\n"), 0);
    }
    for (const auto& name : reader.getSectionNames()) {
      ASSERT_TRUE(reader.hasSection(name));
      const auto& lines = reader.getSection(name);
      ASSERT_FALSE(lines.empty()) << name;
      for (const auto& line : lines) {
        ASSERT_LE(line.size(), 1023u);
        const std::size_t first = line.find_first_not_of(" \t\r\n");
        ASSERT_NE(first, std::string::npos);
        ASSERT_NE(line[first], ';');
        ASSERT_NE(line[first], '[');
        ASSERT_NE(line.back(), '\r');
        ASSERT_EQ(line.find('\n'), std::string::npos);
      }
    }
  }
}
}  // namespace
