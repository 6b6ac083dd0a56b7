#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <wx/app.h>
#include <wx/textctrl.h>

#include "platform/ConsoleWindow.h"
#include "platform/Text.h"
#include "tests/gui/GuiTest.h"
#include "tests/gui/StandInGenerator.h"

namespace {
std::string Decode(std::string& pending, bool final = false) {
  return ToBytes(DecodeConsoleOutput(pending, final));
}

TEST(DecodeConsoleOutput, Utf8AsItIsOtherBytesAsLatin1) {
  std::string bytes = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82 \xff\xfe \xc0\xaf \xed\xa0\x80!";
  EXPECT_EQ(
      "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82 \xc3\xbf\xc3\xbe \xc3\x80\xc2\xaf "
      "\xc3\xad\xc2\xa0\xc2\x80!",
      Decode(bytes));
  EXPECT_EQ("", bytes);
}

TEST(DecodeConsoleOutput, ACharacterCutInTwoWaitsForItsRest) {
  std::string pending = "ab\xe2\x82";
  EXPECT_EQ("ab", Decode(pending));
  EXPECT_EQ("\xe2\x82", pending);
  pending += "\xac.";
  EXPECT_EQ("\xe2\x82\xac.", Decode(pending));
  // At the end nothing more comes: what is left shows as Latin-1.
  pending = "\xf0\x9f";
  EXPECT_EQ("\xc3\xb0\xc2\x9f", Decode(pending, true));
  EXPECT_EQ("", pending);
}

TEST(DecodeConsoleOutput, LineEndsAndControlCharacters) {
  std::string pending = std::string("a\r\nb\rc\x1b[0m\0d\te\r", 15);
  EXPECT_EQ(
      "a\nb\nc\xef\xbf\xbd[0m\xef\xbf\xbd"
      "d\te",
      Decode(pending));
  EXPECT_EQ("\r", pending);  // maybe half of a CR LF
  pending += "\nf";
  EXPECT_EQ("\nf", Decode(pending));
}

class Console : public ::testing::Test {
 protected:
  // The console of the run in progress, if one is on screen.
  static ConsoleWindow* Shown() {
    for (wxWindow* window : wxTopLevelWindows) {
      auto* console = dynamic_cast<ConsoleWindow*>(window);
      if (console && !console->IsBeingDeleted() && console->IsShown()) return console;
    }
    return nullptr;
  }
  static std::string Text(ConsoleWindow* console) {
    return ToBytes(console->TextView()->GetValue());
  }
  // Runs the stand-in in a console; `during` runs inside the run's event loop.
  ConsoleRun Run(std::function<void()> during = {}) {
    if (during) wxTheApp->CallAfter(during);
    return ConsoleWindow::Run("Vignetor", StandInGeneratorPath(), {"VGN"});
  }
  TempDir m_dir;
  StandInEnvironment m_env;
};

TEST_F(Console, ShowsTheOutputLiveAndClosesItselfAfterSuccess) {
  m_env.Set("WV_STANDIN_LINES", "3");
  m_env.Set("WV_STANDIN_WAIT", m_dir / "go");
  bool sawOutput = false;
  const ConsoleRun run = Run([&] {
    ASSERT_TRUE(WaitFor([] { return Shown() != nullptr; }));
    ConsoleWindow* console = Shown();
    EXPECT_EQ("Vignetor", ToBytes(console->GetTitle()));
    sawOutput = WaitFor([&] { return Text(console) == "line 1\nline 2\nline 3\n"; });
    WriteFile(m_dir / "go", "");
  });
  EXPECT_TRUE(sawOutput);
  EXPECT_TRUE(run.started);
  EXPECT_EQ(0, run.exitCode);
  EXPECT_TRUE(run.Succeeded());
  EXPECT_EQ(nullptr, Shown());
  EXPECT_FALSE(ConsoleWindow::Busy());
}

TEST_F(Console, StaysWithTheOutputAfterAFailureUntilClosed) {
  m_env.Set("WV_STANDIN_LINES", "2");
  m_env.Set("WV_STANDIN_EXIT", "3");
  std::string shownAfterEnd;
  const ConsoleRun run = Run([&] {
    ASSERT_TRUE(WaitFor([] { return Shown() != nullptr; }));
    ConsoleWindow* console = Shown();
    // Still there well after the end.
    ASSERT_TRUE(WaitFor([&] { return Text(console) == "line 1\nline 2\n"; }));
    YieldFor(300);
    ASSERT_EQ(console, Shown());
    shownAfterEnd = Text(console);
    console->Close();
  });
  EXPECT_EQ("line 1\nline 2\n", shownAfterEnd);
  EXPECT_TRUE(run.started);
  EXPECT_EQ(3, run.exitCode);
  EXPECT_FALSE(run.Succeeded());
  EXPECT_EQ(nullptr, Shown());
}

TEST_F(Console, ClosingItEndsTheProgram) {
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_LINES", "1");
  const ConsoleRun run = Run([&] {
    ASSERT_TRUE(WaitFor([] { return Shown() && Text(Shown()) == "line 1\n"; }));
    Shown()->Close();
  });
  EXPECT_TRUE(run.stoppedByUser);
  EXPECT_EQ(128 + SIGTERM, run.exitCode);
  EXPECT_FALSE(run.Succeeded());
  EXPECT_EQ(nullptr, Shown());
}

TEST_F(Console, AProgramThatIgnoresTheRequestIsKilled) {
  m_env.Set("WV_STANDIN_IGNORE_TERM", "1");
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_LINES", "1");
  const ConsoleRun run = Run([&] {
    ASSERT_TRUE(WaitFor([] { return Shown() && Text(Shown()) == "line 1\n"; }));
    Shown()->Close();
  });
  EXPECT_TRUE(run.stoppedByUser);
  EXPECT_EQ(128 + SIGKILL, run.exitCode);
}

TEST_F(Console, OneRunAtATime) {
  m_env.Set("WV_STANDIN_WAIT", m_dir / "go");
  ConsoleRun second;
  int errorOfSecond = 0;
  const ConsoleRun first = Run([&] {
    ASSERT_TRUE(WaitFor([] { return Shown() != nullptr; }));
    EXPECT_TRUE(ConsoleWindow::Busy());
    second = ConsoleWindow::Run("Vignetor", StandInGeneratorPath(), {"VGN"});
    errorOfSecond = errno;
    WriteFile(m_dir / "go", "");
  });
  EXPECT_TRUE(first.Succeeded());
  EXPECT_FALSE(second.started);
  EXPECT_EQ(EBUSY, second.error);
  EXPECT_EQ(EBUSY, errorOfSecond);
}

TEST_F(Console, AFailedStartShowsNoConsole) {
  const ConsoleRun run = ConsoleWindow::Run("Vignetor", m_dir / "Vignetor", {"VGN"});
  EXPECT_FALSE(run.started);
  EXPECT_EQ(ENOENT, run.error);
  EXPECT_EQ(nullptr, Shown());
}

// Megabytes of output: the console keeps only the end of it.
TEST_F(Console, KeepsABoundedTail) {
  m_env.Set("WV_STANDIN_BYTES", "20000000");
  m_env.Set("WV_STANDIN_RAW", "\\xff the end\\n");
  m_env.Set("WV_STANDIN_EXIT", "1");
  std::string text;
  const ConsoleRun run = Run([&] {
    ASSERT_TRUE(WaitFor([] { return Shown() != nullptr; }));
    ConsoleWindow* console = Shown();
    ASSERT_TRUE(WaitFor([&] { return Text(console).find("the end") != std::string::npos; }, 60000));
    text = Text(console);
    console->Close();
  });
  EXPECT_EQ(1, run.exitCode);
  const std::size_t length = wxString::FromUTF8(text).length();
  EXPECT_GE(length,
            static_cast<std::size_t>(ConsoleWindow::kTailLength - ConsoleWindow::kLineLength));
  EXPECT_LE(length, static_cast<std::size_t>(ConsoleWindow::kTailLength * 5 / 4));
  // Cut at a line start, and the end is all there.
  EXPECT_EQ(std::string(99, 'x') + "\n", text.substr(0, 100));
  EXPECT_EQ(std::string(99, 'x') + "\n\xc3\xbf the end\n", text.substr(text.size() - 111));
}

TEST_F(Console, OutputWithoutLineEndsIsBrokenIntoLines) {
  const std::string longLine(ConsoleWindow::kLineLength * 2 + 10, 'y');
  m_env.Set("WV_STANDIN_RAW", longLine);
  m_env.Set("WV_STANDIN_EXIT", "1");
  std::string text;
  Run([&] {
    ASSERT_TRUE(WaitFor([] { return Shown() != nullptr; }));
    ConsoleWindow* console = Shown();
    ASSERT_TRUE(WaitFor([&] { return Text(console).size() == longLine.size() + 2; }));
    text = Text(console);
    console->Close();
  });
  const std::string row(ConsoleWindow::kLineLength, 'y');
  EXPECT_EQ(row + "\n" + row + "\n" + std::string(10, 'y'), text);
}
}  // namespace
