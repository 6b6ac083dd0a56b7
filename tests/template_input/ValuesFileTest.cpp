#include <cerrno>
#include <csignal>
#include <regex>
#include <string>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/TemporaryFile.h"
#include "contract/ValuesFile.h"
#include "tests/gui/GuiTest.h"

namespace {
const char kHeader[] =
    "; - file created by wVignetor.exe -\n"
    "; This file is normaly automatically removed after\n"
    "; a succesfull run of Vignetor\n";

int FilesIn(const std::string& directory) {
  int count = 0;
  if (DIR* dir = opendir(directory.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
  }
  return count;
}

TEST(ValuesFileText, HeaderThenOneLinePerEntryWithNothingEscaped) {
  EXPECT_EQ(kHeader, ValuesFileText({}));
  EXPECT_EQ(std::string(kHeader) + "cols=4\ntitle=My pictures\n empty =\nx=a=b;c \"d\" \n",
            ValuesFileText(
                {{"cols", "4"}, {"title", "My pictures"}, {" empty ", ""}, {"x", "a=b;c \"d\" "}}));
}

TEST(ValuesFileText, NoTextAddsALine) {
  EXPECT_EQ(std::string(kHeader) + "title=x columns=9\nna me=a  b\n",
            ValuesFileText({{"title", "x\ncolumns=9"}, {"na\r\nme", "a\r\n\nb"}}));
}

TEST(ValuesFileWriter, NewOwnerOnlyFileEachTime) {
  TempDir dir;
  std::string first;
  std::string second;
  ASSERT_TRUE(WriteValuesFile(dir.path(), "one\n", first));
  ASSERT_TRUE(WriteValuesFile(dir.path(), "two\n", second));
  EXPECT_NE(first, second);
  const std::regex name(dir.path() + "/itu[0-9A-F]{1,4}\\.TMP");
  EXPECT_TRUE(std::regex_match(first, name)) << first;
  EXPECT_TRUE(std::regex_match(second, name)) << second;
  EXPECT_EQ("one\n", ReadFile(first));
  EXPECT_EQ("two\n", ReadFile(second));
  struct stat info;
  ASSERT_EQ(0, stat(first.c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 0777);
}

TEST(ValuesFileWriter, NeverFollowsALinkPlantedUnderAName) {
  TempDir dir;
  // Every name of the pattern taken by a link to a file elsewhere: the
  // writer must fail rather than write through any of them.
  TempDir elsewhere;
  const std::string target = elsewhere / "victim";
  WriteFile(target, "precious");
  for (unsigned n = 1; n <= 0xFFFF; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "itu%X.TMP", n);
    ASSERT_EQ(0, symlink(target.c_str(), (dir / name).c_str()));
  }
  std::string path;
  EXPECT_FALSE(WriteValuesFile(dir.path(), "values\n", path));
  EXPECT_EQ(EEXIST, errno);
  EXPECT_EQ("precious", ReadFile(target));
}

TEST(ValuesFileWriter, MissingDirectoryFailsWithItsError) {
  TempDir dir;
  std::string path;
  EXPECT_FALSE(WriteValuesFile(dir / "missing", "x\n", path));
  EXPECT_EQ(ENOENT, errno);
  EXPECT_EQ(dir / "missing", path);
}

TEST(ValuesFileWriter, FileThatCannotBeWrittenWholeIsRemoved) {
  TempDir dir;
  // A file size limit makes the write fail part of the way, as a full disk would.
  struct sigaction ignore {};
  struct sigaction old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 16;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string path;
  const bool written = WriteValuesFile(dir.path(), std::string(kHeader) + "title=x\n", path);
  const int error = errno;
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_FALSE(written);
  EXPECT_EQ(EFBIG, error);
  EXPECT_FALSE(FileExists(path)) << path;
  EXPECT_EQ(0, FilesIn(dir.path()));
}

TEST(TemporaryDirectoryTest, TmpdirElseTmpWithoutTrailingSlash) {
  const char* saved = std::getenv("TMPDIR");
  const std::string keep = saved ? saved : "";
  setenv("TMPDIR", "/some/where//", 1);
  EXPECT_EQ("/some/where", TemporaryDirectory());
  setenv("TMPDIR", "", 1);
  EXPECT_EQ("/tmp", TemporaryDirectory());
  unsetenv("TMPDIR");
  EXPECT_EQ("/tmp", TemporaryDirectory());
  setenv("TMPDIR", "/", 1);
  EXPECT_EQ("/", TemporaryDirectory());
  if (saved) setenv("TMPDIR", keep.c_str(), 1);
}
}  // namespace
