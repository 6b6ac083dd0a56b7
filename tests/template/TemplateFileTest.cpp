#include "template/TemplateFile.h"
#include "tests/template/TemplateDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {
using Lines = std::vector<std::string>;

const std::string kNotFound = "Template Error\n$PROCESS$ directive - Section not found\n";
const std::string kOutside = "Template Error\nFound instructions outside section\n";
const std::string kTooLarge = "Template Error\n$PROCESS$ directive - Expanded template too large\n";

class TemplateFileTest : public TemplateDir {
 protected:
  // Loads the bytes as t.tpl.
  std::unique_ptr<TemplateFile> loaded(const std::string& bytes) {
    write("t.tpl", bytes);
    auto reader = std::make_unique<TemplateFile>(m_strDir, "t.tpl");
    reader->load();
    return reader;
  }

  // The message that loading the bytes throws, empty when they load; every
  // failure must leave the file closed.
  std::string failure(const std::string& bytes) {
    write("t.tpl", bytes);
    TemplateFile reader(m_strDir, "t.tpl");
    const std::size_t before = openFiles();
    try {
      reader.load();
    } catch (const TemplateError& error) {
      EXPECT_EQ(openFiles(), before) << "the template file stayed open";
      return error.message();
    }
    return {};
  }
};

// --- headers --------------------------------------------------------------

TEST_F(TemplateFileTest, HeaderNamesLoseOnlyOuterBrackets) {
  const struct {
    const char* header;
    const char* name;
  } cases[] = {
      {"[desc]", "desc"},       {"   [desc]   ", "desc"},
      {"\t[desc]\t\r", "desc"}, {"[[desc]]", "desc"},
      {"[desc", "desc"},        {"[ desc ]", " desc "},
      {"[Desc]", "Desc"},       {"[desc] ; note", "desc] ; note"},
      {"[a[b]c]", "a[b]c"},
  };
  for (const auto& c : cases) {
    auto reader = loaded(std::string(c.header) + "\nline\n");
    EXPECT_EQ(reader->getSectionNames(), Lines{c.name}) << c.header;
  }
}

TEST_F(TemplateFileTest, NameIsCaseAndBlankSensitive) {
  auto reader = loaded("[ desc ]\nx\n[Intro]\ny\n");
  EXPECT_FALSE(reader->hasSection("desc"));
  EXPECT_TRUE(reader->hasSection(" desc "));
  EXPECT_FALSE(reader->hasSection("intro"));
  EXPECT_TRUE(reader->hasSection("Intro"));
}

TEST_F(TemplateFileTest, EmptyHeaderClosesTheSection) {
  EXPECT_EQ(failure("[a]\nx\n[]\ny\n"), kOutside + "y\nt.tpl\n");
  EXPECT_EQ(failure("[[]]\ny\n"), kOutside + "y\nt.tpl\n");
  EXPECT_EQ(failure("[\ny\n"), kOutside + "y\nt.tpl\n");
  // Nothing stored under an empty name, and what came before stays.
  auto reader = loaded("[a]\nx\n[]\n; only a comment\n");
  EXPECT_EQ(reader->getSectionNames(), Lines{"a"});
}

TEST_F(TemplateFileTest, HeaderWithoutLinesDefinesNothing) {
  auto reader = loaded("[desc]\n; a comment\n\n[intro]\n[body]\nx\n[tail]\n");
  EXPECT_FALSE(reader->hasSection("desc"));
  EXPECT_FALSE(reader->hasSection("intro"));
  EXPECT_FALSE(reader->hasSection("tail"));
  EXPECT_EQ(reader->getSectionNames(), Lines{"body"});
  EXPECT_TRUE(reader->getSection("desc").empty());
}

TEST_F(TemplateFileTest, SectionsSortByUnsignedBytes) {
  auto reader = loaded("[b]\n1\n[\xe9t\xe9]\n2\n[ab]\n3\n[a]\n4\n[B]\n5\n[ b]\n6\n");
  EXPECT_EQ(reader->getSectionNames(), (Lines{" b", "B", "a", "ab", "b", "\xe9t\xe9"}));
}

// --- blank and comment lines ----------------------------------------------

TEST_F(TemplateFileTest, OnlyCommentsAndBlanksLoadEmpty) {
  TemplateFile never(m_strDir, "t.tpl");
  EXPECT_TRUE(never.getSectionNames().empty());

  auto reader = loaded("; one\n\n   \t\r\n  ; two\r\n;[x]\n\t;\n");
  EXPECT_TRUE(reader->getSectionNames().empty());
  EXPECT_TRUE(loaded("")->getSectionNames().empty());
}

TEST_F(TemplateFileTest, BlankAndCommentLinesAreLeftOut) {
  auto reader = loaded("[s]\none\n\n   ; note\n\t\r\n two\r\n;three\n");
  EXPECT_EQ(reader->getSection("s"), (Lines{"one", " two"}));
}

TEST_F(TemplateFileTest, OnlySpaceTabCrLfCountAsBlank) {
  // A vertical tab or form feed is text: the line is content.
  auto reader = loaded("[s]\n\v; kept\n\f\n\v\n");
  EXPECT_EQ(reader->getSection("s"), (Lines{"\v; kept", "\f", "\v"}));
  EXPECT_EQ(failure("\v\n"), kOutside + "\v\nt.tpl\n");
}

// --- content lines ----------------------------------------------------------

TEST_F(TemplateFileTest, ContentKeptAsReadLessLineEnd) {
  auto reader = loaded("[s]\n\t lead\ntrail \t\ncrlf\r\ncrs\r\r\n  inner ; [x] \r\nlast");
  EXPECT_EQ(reader->getSection("s"),
            (Lines{"\t lead", "trail \t", "crlf", "crs", "  inner ; [x] ", "last"}));
}

TEST_F(TemplateFileTest, BytesKeptWhole) {
  // A lone CR inside a line, a NUL and bytes above 127 are content.
  const char bytes[] = "[s]\na\rb\nc\0d\n\xff\x80\n";
  auto reader = loaded(std::string(bytes, sizeof bytes - 1));
  EXPECT_EQ(reader->getSection("s"), (Lines{"a\rb", std::string("c\0d", 3), "\xff\x80"}));
}

TEST_F(TemplateFileTest, ContentBeforeFirstHeaderFails) {
  EXPECT_EQ(failure("; intro\n\n  hello world  \r\n[s]\nx\n"), kOutside + "hello world\nt.tpl\n");
}

// --- long lines ---------------------------------------------------------------

TEST_F(TemplateFileTest, LongLineTakenInPiecesOf1023) {
  const std::string line = std::string(1023, 'a') + std::string(477, 'b');
  auto reader = loaded("[s]\n" + line + "\nnext\n");
  EXPECT_EQ(reader->getSection("s"),
            (Lines{std::string(1023, 'a'), std::string(477, 'b'), "next"}));

  const std::string three = std::string(1023, 'a') + std::string(1023, 'b') + "c";
  EXPECT_EQ(loaded("[s]\n" + three)->getSection("s"),
            (Lines{std::string(1023, 'a'), std::string(1023, 'b'), "c"}));
}

TEST_F(TemplateFileTest, LineOf1023TakenWhole) {
  const std::string full(1023, 'x');
  EXPECT_EQ(loaded("[s]\n" + full + "\nn\n")->getSection("s"), (Lines{full, "n"}));
  EXPECT_EQ(loaded("[s]\n" + full + "\r\nn\n")->getSection("s"), (Lines{full, "n"}));
  const std::string shorter(1022, 'x');
  EXPECT_EQ(loaded("[s]\n" + shorter + "\r\nn\n")->getSection("s"), (Lines{shorter, "n"}));
  EXPECT_EQ(loaded("[s]\n" + full)->getSection("s"), (Lines{full}));
}

TEST_F(TemplateFileTest, EachPieceClassifiedOnItsOwn) {
  const std::string head(1023, 'a');
  auto reader = loaded("[s]\n" + head + "  ; a comment\n" + head + " [other] \n" + head +
                       "  kept \n" + head + std::string(300, ' ') + "\n");
  EXPECT_EQ(reader->getSection("s"), (Lines{head, head}));
  EXPECT_EQ(reader->getSection("other"), (Lines{head, "  kept ", head}));
}

TEST_F(TemplateFileTest, PieceAfterTheFirstCanBeOutsideASection) {
  // "[]" at the end of a long line closes the section; its next piece fails.
  const std::string line = std::string(1021, ' ') + "[]" + "tail";
  EXPECT_EQ(failure("[s]\n" + line + "\n"), kOutside + "tail\nt.tpl\n");
}

TEST_F(TemplateFileTest, JoinedSectionPutsLongLinesBackTogether) {
  const std::string a(1023, 'a'), b(1023, 'b');
  // Cut inside a placeholder, at a CR LF, after a line of exactly 1023, with
  // blanks that end the line, and at the end of the file.
  auto reader = loaded("[s]\n" + a + "{{ti" + "tle}}\r\n" + "short\n" + b + "\n" + "x\n" + a + b +
                       "c" + std::string(300, ' ') + "\n" + "  kept \n" + a + "{{end}}");
  EXPECT_EQ(reader->getSection("s").size(), 11u);
  const Lines joined = reader->getJoinedSection("s");
  EXPECT_TRUE(joined == (Lines{a + "{{title}}", "short", b, "x",
                               a + b + "c" + std::string(300, ' '), "  kept ", a + "{{end}}"}));
  EXPECT_EQ(reader->getBrokenLongLine(), 0u);

  // Directives bring in joined lines whole, and the lines around them stay apart.
  reader = loaded("[a]\n" + a + "tail\n[b]\nbefore\n$PROCESS$a\nafter\n[c]\n$PROCESS$b\n" +
                  "$PROCESS$d\n[d]\n" + b + "!\n");
  EXPECT_TRUE(reader->getJoinedSection("b") == (Lines{"before", a + "tail", "after"}));
  EXPECT_TRUE(reader->getSection("b") == (Lines{"before", a, "tail", "after"}));
  EXPECT_TRUE(reader->getJoinedSection("c") == (Lines{"before", a + "tail", "after", b + "!"}));
}

TEST_F(TemplateFileTest, LongLineWithPiecesOfAnotherKindIsBroken) {
  const std::string a(1023, 'a');
  const std::string comment = ";" + std::string(1022, 'c');
  const struct {
    std::string text;
    std::size_t broken;
  } cases[] = {
      {"[s]\nx\n" + a + "; not a comment\n", 3},
      {"[s]\nx\n" + a + " [t] \ny\n", 3},
      {"[s]\n" + comment + "rest of the comment\n", 2},
      {"[s]\nx\n" + a + "$PROCESS$s\n", 3},
      {"[s]\n" + a + "\n" + a + std::string(500, ' ') + "\n" + comment + "\n", 0},
      {"[s]\n" + comment + "\nx\n", 0},
  };
  for (const auto& c : cases) {
    write("t.tpl", c.text);
    TemplateFile reader(m_strDir, "t.tpl");
    reader.load();
    EXPECT_EQ(reader.getBrokenLongLine(), c.broken) << c.text.substr(0, 40);
  }
}

// --- repeated sections ------------------------------------------------------

TEST_F(TemplateFileTest, RepeatedSectionReplacesWhole) {
  auto reader = loaded("[desc]\none\ntwo\n[b]\ny\n[desc]\nthree\n");
  EXPECT_EQ(reader->getSection("desc"), (Lines{"three"}));
  EXPECT_EQ(reader->getSection("b"), (Lines{"y"}));
}

TEST_F(TemplateFileTest, RepeatedSectionWithoutLinesKeepsTheFirst) {
  auto reader = loaded("[desc]\none\ntwo\n[b]\ny\n[desc]\n; nothing\n[c]\nz\n[desc]\n");
  EXPECT_EQ(reader->getSection("desc"), (Lines{"one", "two"}));
}

// --- directives -------------------------------------------------------------

TEST_F(TemplateFileTest, DirectiveReplacedByTargetLines) {
  auto reader = loaded(
      "[intro]\n<body>\n$PROCESS$footer\n</body>\n"
      "[footer]\n<hr>\n<p>end</p>\n");
  EXPECT_EQ(reader->getSection("intro"), (Lines{"<body>", "<hr>", "<p>end</p>", "</body>"}));
  EXPECT_EQ(reader->getSection("footer"), (Lines{"<hr>", "<p>end</p>"}));
}

TEST_F(TemplateFileTest, TargetNameTrimmedWithoutSeparator) {
  auto reader = loaded("[f]\nF\n[s]\n$PROCESS$f\n$PROCESS$ f\n$PROCESS$\t f \t\r\n$PROCESS$f");
  EXPECT_EQ(reader->getSection("s"), (Lines{"F", "F", "F", "F"}));
}

TEST_F(TemplateFileTest, KeywordOnlyAtLineStartAndInItsCase) {
  auto reader =
      loaded("[f]\nF\n[s]\n $PROCESS$f\n\t$PROCESS$f\n$process$f\n$PROCESS f\nx $PROCESS$f\n");
  EXPECT_EQ(reader->getSection("s"),
            (Lines{" $PROCESS$f", "\t$PROCESS$f", "$process$f", "$PROCESS f", "x $PROCESS$f"}));
}

TEST_F(TemplateFileTest, MissingTargetFails) {
  EXPECT_EQ(failure("[s]\n$PROCESS$nothing \n"), kNotFound + "nothing\n");
  EXPECT_EQ(failure("[f]\nF\n[s]\n$PROCESS$F\n"), kNotFound + "F\n");
  EXPECT_EQ(failure("[f]\n[g]\nG\n[s]\n$PROCESS$f\n"), kNotFound + "f\n");
  // The keyword alone names the empty section; the detail is an empty line.
  EXPECT_EQ(failure("[s]\n$PROCESS$   \n"), kNotFound + "\n");
}

TEST_F(TemplateFileTest, EarlierTargetsArriveExpanded) {
  auto reader = loaded(
      "[intro]\ni\n$PROCESS$footer\n"
      "[footer]\nf\n$PROCESS$desc\n"
      "[desc]\nd1\nd2\n");
  EXPECT_EQ(reader->getSection("desc"), (Lines{"d1", "d2"}));
  EXPECT_EQ(reader->getSection("footer"), (Lines{"f", "d1", "d2"}));
  EXPECT_EQ(reader->getSection("intro"), (Lines{"i", "f", "d1", "d2"}));
}

TEST_F(TemplateFileTest, LaterTargetsArriveAsWritten) {
  auto reader = loaded("[a]\n$PROCESS$b\n[b]\nx\n$PROCESS$c\n[c]\ny\n");
  EXPECT_EQ(reader->getSection("a"), (Lines{"x", "$PROCESS$c"}));
  EXPECT_EQ(reader->getSection("b"), (Lines{"x", "y"}));
}

TEST_F(TemplateFileTest, SelfReferenceEnds) {
  // The section as it stands: expanded so far, the directive, the rest as written.
  auto reader = loaded("[a]\nx\n$PROCESS$a\ny\n");
  EXPECT_EQ(reader->getSection("a"), (Lines{"x", "x", "$PROCESS$a", "y", "y"}));
}

TEST_F(TemplateFileTest, CycleEnds) {
  auto reader = loaded("[a]\n1\n$PROCESS$b\n[b]\n2\n$PROCESS$a\n");
  EXPECT_EQ(reader->getSection("a"), (Lines{"1", "2", "$PROCESS$a"}));
  EXPECT_EQ(reader->getSection("b"), (Lines{"2", "1", "2", "$PROCESS$a"}));
}

TEST_F(TemplateFileTest, DescAndAskvaluesExpandedToo) {
  auto reader =
      loaded("[shared]\nw;N;Width;4\n[askvalues]\n$PROCESS$shared\n[desc]\n$PROCESS$shared\n");
  EXPECT_EQ(reader->getSection("askvalues"), (Lines{"w;N;Width;4"}));
  EXPECT_EQ(reader->getSection("desc"), (Lines{"w;N;Width;4"}));
}

TEST_F(TemplateFileTest, ManyDirectivesToOneTarget) {
  std::string text = "[a]\none\ntwo\n[b]\n";
  Lines expected;
  for (int i = 0; i < 10000; ++i) {
    text += "$PROCESS$a\n-\n";
    expected.insert(expected.end(), {"one", "two", "-"});
  }
  EXPECT_EQ(loaded(text)->getSection("b"), expected);
}

TEST_F(TemplateFileTest, DoublingChainRefused) {
  // Sixty sections, each bringing in the one before twice: 2^59 lines.
  const auto name = [](int i) { return "s" + std::string(i < 10 ? "0" : "") + std::to_string(i); };
  std::string text = "[s00]\nx\n";
  for (int i = 1; i < 60; ++i)
    text += "[" + name(i) + "]\n$PROCESS$" + name(i - 1) + "\n$PROCESS$" + name(i - 1) + "\n";
  const std::string message = failure(text);
  ASSERT_EQ(message.compare(0, kTooLarge.size(), kTooLarge), 0) << message;
  // The detail names the section where the bound was reached.
  const std::string detail = message.substr(kTooLarge.size());
  ASSERT_EQ(detail.size(), 4u) << detail;
  EXPECT_EQ(detail[0], 's');
  EXPECT_EQ(detail.substr(3), "\n");
}

TEST_F(TemplateFileTest, DoublingSelfReferenceRefused) {
  std::string text = "[a]\nx\n";
  for (int i = 0; i < 60; ++i) text += "$PROCESS$a\n";
  EXPECT_EQ(failure(text), kTooLarge + "a\n");
}

TEST_F(TemplateFileTest, ManyModestCopiesPassTheBoundTogether) {
  // A section of about 1 MB brought in 140 times: no copy comes near the
  // bound alone, all of them together pass it.
  std::string text = "[a]\n";
  const std::string line(1000, 'x');
  for (int i = 0; i < 1000; ++i) text += line + "\n";
  text += "[b]\n";
  for (int i = 0; i < 140; ++i) text += "$PROCESS$a\n";
  EXPECT_EQ(failure(text), kTooLarge + "b\n");
}

TEST_F(TemplateFileTest, GrowthAsLargeAsTheFileAllowed) {
  // Far past the fixed allowance in lines brought in, but no more than the
  // file itself holds: a 160 MB section brought in once.
  std::string text = "[a]\n";
  const std::string line(1000, 'x');
  for (int i = 0; i < 160000; ++i) text += line + "\n";
  text += "[b]\n$PROCESS$a\n";
  auto reader = loaded(text);
  EXPECT_EQ(reader->getSection("b").size(), 160000u);
}

TEST_F(TemplateFileTest, FailedExpansionLeavesAQueryableReader) {
  write("t.tpl", "[a]\nx\n[b]\n$PROCESS$a\n[c]\n$PROCESS$zz\n");
  TemplateFile reader(m_strDir, "t.tpl");
  EXPECT_THROW(reader.load(), TemplateError);
  EXPECT_EQ(reader.getSection("b"), (Lines{"x"}));
  EXPECT_EQ(reader.getSection("c"), (Lines{"$PROCESS$zz"}));
}

// A derived reader can take over the expansion.
class UnexpandedReader : public TemplateFile {
 public:
  using TemplateFile::TemplateFile;

 protected:
  void processDirectives() override {}
};

TEST_F(TemplateFileTest, LoadDispatchesToOverrides) {
  write("t.tpl", "[s]\n$PROCESS$missing\n");
  UnexpandedReader reader(m_strDir, "t.tpl");
  reader.load();
  EXPECT_EQ(reader.getSection("s"), (Lines{"$PROCESS$missing"}));
}

// --- opening, messages, reload ---------------------------------------------

TEST_F(TemplateFileTest, MissingFileMessage) {
  TemplateFile reader(m_strDir, "missing.tpl");
  try {
    reader.load();
    FAIL() << "loaded a missing file";
  } catch (const TemplateError& error) {
    EXPECT_EQ(error.message(), "Template Error\nFile not found\n" + m_strDir + "/missing.tpl\n");
    const TemplateError copy = error;
    EXPECT_EQ(copy.message(), error.message());
  }
}

TEST_F(TemplateFileTest, OnlyRegularFilesOpen) {
  std::filesystem::create_directory(m_strDir + "/dir.tpl");
  ASSERT_EQ(mkfifo((m_strDir + "/pipe.tpl").c_str(), 0600), 0);
  for (const char* name : {"dir.tpl", "pipe.tpl"}) {
    TemplateFile reader(m_strDir, name);
    const std::size_t before = openFiles();
    try {
      reader.load();
      ADD_FAILURE() << name << " loaded";
    } catch (const TemplateError& error) {
      EXPECT_EQ(error.message(), "Template Error\nFile not found\n" + m_strDir + "/" + name + "\n");
    }
    EXPECT_EQ(openFiles(), before);
  }
}

TEST_F(TemplateFileTest, SeparatorAlwaysInserted) {
  TemplateFile reader("", "no-such-template.tpl");
  try {
    reader.load();
    FAIL();
  } catch (const TemplateError& error) {
    EXPECT_EQ(error.message(), "Template Error\nFile not found\n/no-such-template.tpl\n");
  }
}

TEST_F(TemplateFileTest, FileClosedOnEveryWayOut) {
  // failure() checks the descriptors for each error that reading can raise.
  EXPECT_EQ(failure("x\n"), kOutside + "x\nt.tpl\n");
  EXPECT_EQ(failure("[s]\n$PROCESS$t\n"), kNotFound + "t\n");
  const std::size_t before = openFiles();
  loaded("[s]\nx\n");
  EXPECT_EQ(openFiles(), before);
}

TEST_F(TemplateFileTest, ReloadStartsAfresh) {
  write("t.tpl", "[a]\nx\n[b]\n$PROCESS$a\n");
  TemplateFile reader(m_strDir, "t.tpl");
  reader.load();
  const Lines names = reader.getSectionNames();
  const Lines b = reader.getSection("b");
  reader.load();
  EXPECT_EQ(reader.getSectionNames(), names);
  EXPECT_EQ(reader.getSection("b"), b);

  write("t.tpl", "[c]\ny\n");
  reader.load();
  EXPECT_EQ(reader.getSectionNames(), Lines{"c"});

  std::filesystem::remove(m_strDir + "/t.tpl");
  EXPECT_THROW(reader.load(), TemplateError);
  EXPECT_TRUE(reader.getSectionNames().empty());
}
}  // namespace
