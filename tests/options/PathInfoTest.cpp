#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "options/PathInfo.h"
#include "platform/Text.h"
#include "tests/gui/GuiTest.h"

namespace {
TEST(FullPathName, RelativePathsJoinTheCurrentDirectory) {
  EXPECT_EQ("/home/u/pics", FullPathName("pics", "/home/u"));
  EXPECT_EQ("/home/u/my pics", FullPathName("my pics", "/home/u"));
  EXPECT_EQ("/home/u/  ", FullPathName("  ", "/home/u"));
  EXPECT_EQ("/pics", FullPathName("pics", "/"));
  EXPECT_EQ("/abs", FullPathName("/abs", "/home/u"));
}

TEST(FullPathName, DotsAndDoubledSeparatorsGoByTheTextAlone) {
  EXPECT_EQ("/home/pics", FullPathName("../pics", "/home/u"));
  EXPECT_EQ("/a/c", FullPathName("/a/./b/../c", "/x"));
  EXPECT_EQ("/a/b", FullPathName("//a///b", "/x"));
  EXPECT_EQ("/", FullPathName("/../..", "/x"));
  EXPECT_EQ("/home/u", FullPathName(".", "/home/u"));
  EXPECT_EQ("/home", FullPathName("pics/../..", "/home/u"));
  EXPECT_EQ("/a/...", FullPathName("/a/...", "/x"));
}

TEST(FullPathName, KeepsOneTrailingSeparator) {
  EXPECT_EQ("/pics/", FullPathName("/pics/", "/x"));
  EXPECT_EQ("/pics/", FullPathName("/pics//", "/x"));
  EXPECT_EQ("/x/pics/", FullPathName("pics/", "/x"));
  EXPECT_EQ("/", FullPathName("/", "/x"));
  EXPECT_EQ("/", FullPathName("//", "/x"));
  EXPECT_EQ("/pics", FullPathName("/pics/.", "/x"));
}

TEST(PathInfo, AsksTheFileSystem) {
  TempDir dir;
  WriteFile(dir / "file.txt", "x");
  const PathInfo directory(wxString::FromUTF8(dir.path()));
  EXPECT_TRUE(directory.Exists());
  EXPECT_TRUE(directory.IsDirectory());
  EXPECT_EQ(dir.path(), ToBytes(directory.FullPath()));

  const PathInfo file(wxString::FromUTF8(dir / "file.txt"));
  EXPECT_TRUE(file.Exists());
  EXPECT_FALSE(file.IsDirectory());
  // With a trailing separator it is still a file that is no directory.
  const PathInfo fileSlash(wxString::FromUTF8(dir / "file.txt/"));
  EXPECT_TRUE(fileSlash.Exists());
  EXPECT_FALSE(fileSlash.IsDirectory());

  const PathInfo missing(wxString::FromUTF8(dir / "missing/deeper"));
  EXPECT_FALSE(missing.Exists());
  EXPECT_FALSE(missing.IsDirectory());
  EXPECT_EQ(dir / "missing/deeper", ToBytes(missing.FullPath()));

  const PathInfo root("/");
  EXPECT_TRUE(root.IsDirectory());
  EXPECT_EQ("/", ToBytes(root.FullPath()));
}

TEST(PathInfo, ResolvesAgainstTheCurrentDirectoryWithoutFollowingLinks) {
  TempDir dir;
  ASSERT_EQ(0, ::mkdir((dir / "real").c_str(), 0700));
  ASSERT_EQ(0, ::mkdir((dir / "real/inner").c_str(), 0700));
  ASSERT_EQ(0, ::symlink((dir / "real/inner").c_str(), (dir / "link").c_str()));
  char old[4096];
  ASSERT_TRUE(::getcwd(old, sizeof old));
  ASSERT_EQ(0, ::chdir(dir.path().c_str()));
  const PathInfo relative("link/../real/");
  const PathInfo link("link");
  ASSERT_EQ(0, ::chdir(old));
  EXPECT_EQ(dir / "real/", ToBytes(relative.FullPath()));
  EXPECT_TRUE(relative.IsDirectory());
  EXPECT_EQ(dir / "link", ToBytes(link.FullPath()));
  EXPECT_TRUE(link.IsDirectory());
}
}  // namespace
