#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Process.h"
#include "tests/gui/GuiTest.h"
#include "tests/gui/StandInGenerator.h"

namespace {
// Waits for the end, reading the output meanwhile.
std::string RunToEnd(Process& process) {
  std::string output;
  while (!process.HasEnded()) {
    process.ReadOutput(output, 1 << 20);
    ::usleep(2000);
  }
  while (process.ReadOutput(output, 1 << 20) && output.size() < (64u << 20)) ::usleep(1000);
  return output;
}

TEST(Process, AMissingProgramIsNoStart) {
  TempDir dir;
  Process process;
  errno = 0;
  const ProcessStart start = process.Start(dir / "Vignetor", {"VGN"});
  EXPECT_FALSE(start.started);
  EXPECT_EQ(ENOENT, start.error);
  EXPECT_EQ(ENOENT, errno);
  EXPECT_FALSE(process.Running());

  WriteFile(dir / "plain", "not a program");
  const ProcessStart notExecutable = process.Start(dir / "plain", {"VGN"});
  EXPECT_FALSE(notExecutable.started);
  EXPECT_EQ(EACCES, notExecutable.error);
}

TEST(Process, GetsExactlyItsArgumentVectorAndOurDirectory) {
  TempDir dir;
  StandInEnvironment env;
  env.Set("WV_STANDIN_RECORD", dir / "record");
  env.Set("WV_STANDIN_EXIT", "7");
  const std::vector<std::string> arguments = {"VGN", "", "a b", "$HOME", "*", "\"q\" \\", "\xff"};
  Process process;
  ASSERT_TRUE(process.Start(StandInGeneratorPath(), arguments).started);
  RunToEnd(process);
  EXPECT_EQ(7, process.ExitCode());
  StandInRecord record;
  ASSERT_TRUE(ReadStandInRecord(dir / "record", record));
  EXPECT_EQ(arguments, record.arguments);
  char cwd[4096];
  ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
  EXPECT_EQ(cwd, record.workingDirectory);
}

// Only standard input, output and error: nothing of ours leaks into it.
TEST(Process, InheritsNoOtherDescriptors) {
  TempDir dir;
  StandInEnvironment env;
  env.Set("WV_STANDIN_FDS", dir / "fds");
  const int stray = ::open(dir.path().c_str(), O_RDONLY);  // not close-on-exec
  ASSERT_GE(stray, 3);
  Process process;
  ASSERT_TRUE(process.Start(StandInGeneratorPath(), {"VGN"}).started);
  RunToEnd(process);
  ::close(stray);
  EXPECT_EQ("0\n1\n2\n", ReadFile(dir / "fds"));
}

TEST(Process, OutputAndErrorComeThroughOnePipe) {
  StandInEnvironment env;
  env.Set("WV_STANDIN_LINES", "4");
  Process process;
  ASSERT_TRUE(process.Start(StandInGeneratorPath(), {"VGN"}).started);
  EXPECT_EQ("line 1\nline 2\nline 3\nline 4\n", RunToEnd(process));
  EXPECT_EQ(0, process.ExitCode());
}

TEST(Process, LargeOutputDoesNotBlockTheChild) {
  StandInEnvironment env;
  env.Set("WV_STANDIN_BYTES", "3000000");
  Process process;
  ASSERT_TRUE(process.Start(StandInGeneratorPath(), {"VGN"}).started);
  EXPECT_EQ(3000000u, RunToEnd(process).size());
}

// Gone, or ended and waiting to be reaped by whoever inherited it.
bool Ended(pid_t pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t paren = stat.rfind(')');
  return stat.empty() || (paren != std::string::npos && stat.compare(paren, 4, ") Z ") == 0);
}

TEST(Process, TerminateEndsAProgramThatWouldRunForeverAndItsHelpers) {
  TempDir dir;
  StandInEnvironment env;
  env.Set("WV_STANDIN_FOREVER", "1");
  env.Set("WV_STANDIN_CHILD", dir / "child");
  env.Set("WV_STANDIN_LINES", "1");
  Process process;
  ASSERT_TRUE(process.Start(StandInGeneratorPath(), {"VGN"}).started);
  std::string output;
  while (output.empty()) {
    process.ReadOutput(output, 100);
    ::usleep(2000);
  }
  EXPECT_FALSE(process.HasEnded());
  const pid_t helper = static_cast<pid_t>(std::stol(ReadFile(dir / "child")));
  EXPECT_FALSE(Ended(helper));
  process.Terminate();
  RunToEnd(process);
  EXPECT_EQ(128 + SIGTERM, process.ExitCode());
  for (int waited = 0; waited < 2000 && !Ended(helper); waited += 10) ::usleep(10000);
  EXPECT_TRUE(Ended(helper));
  ::kill(helper, SIGKILL);  // left running: not beyond this test
}

TEST(Process, DestroyingItEndsAChildStillRunning) {
  StandInEnvironment env;
  env.Set("WV_STANDIN_FOREVER", "1");
  pid_t pid;
  {
    Process process;
    ASSERT_TRUE(process.Start(StandInGeneratorPath(), {"VGN"}).started);
    pid = process.Id();
  }
  // Killed and reaped: the id names no process any more.
  EXPECT_NE(0, ::kill(pid, 0));
}
}  // namespace
