#include <algorithm>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <gtest/gtest.h>

#include "platform/Profile.h"
#include "platform/QuietAssert.h"
#include "platform/Text.h"
#include "tests/gui/GuiTest.h"

namespace {
class ProfileTest : public IsolatedTest {};

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  return names;
}

TEST_F(ProfileTest, LivesInTheUsersConfigFolder) {
  EXPECT_EQ(m_dir / "config/Korvel Software/wVignetor.conf", SettingsFile());
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_TRUE(Profile::ProfilePath().EndsWith("/.config/Korvel Software/wVignetor.conf"));
}

TEST_F(ProfileTest, MissingFileAndKeysReadAsDefaults) {
  Profile profile;
  EXPECT_EQ(7, profile.GetInt("wVignetor", "height", 7));
  EXPECT_EQ("x", profile.GetString("wVignetor", "indir", "x"));
  EXPECT_FALSE(FileExists(SettingsFile())) << "reading creates no file";
}

TEST_F(ProfileTest, AwkwardNamesAndValuesComeBackByteForByte) {
  const std::vector<std::string> names = {" lead",          "trail ", "a=b",         "a/b/c",
                                          "[group]",        "#hash",  ";semi",       "x\xc3\xa9y",
                                          "Filmstrip2.tpl", "%41",    "back\\slash", "q\"uote"};
  const std::vector<std::string> values = {
      "",   " lead",     "trail ", "a;b=c", "\"quoted\"",  "'single'",  "#not a comment",
      "\\", "tab\there", "$HOME",  "%41",   "caf\xc3\xa9", "new\nline", "[x]"};
  {
    Profile profile;
    for (const auto& name : names) {
      for (std::size_t i = 0; i < values.size(); ++i) {
        profile.WriteString(FromBytes(name), FromBytes(name + std::to_string(i)),
                            FromBytes(values[i]));
      }
    }
    ASSERT_TRUE(profile.Save());
  }
  Profile reread;
  for (const auto& name : names) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      const wxString key = FromBytes(name + std::to_string(i));
      ASSERT_TRUE(reread.HasEntry(FromBytes(name), key)) << name << " " << i;
      EXPECT_EQ(values[i], ToBytes(reread.GetString(FromBytes(name), key, "default")))
          << "section " << name << " value " << i;
    }
  }
}

TEST_F(ProfileTest, IntegersAndUnparsableValues) {
  {
    Profile profile;
    profile.WriteInt("s", "neg", -5);
    profile.WriteInt("s", "big", 2147483647);
    profile.WriteString("s", "text", "12abc");
    profile.WriteString("s", "huge", "99999999999");
    profile.WriteString("s", "empty", "");
    ASSERT_TRUE(profile.Save());
  }
  Profile profile;
  EXPECT_EQ(-5, profile.GetInt("s", "neg", 0));
  EXPECT_EQ(2147483647, profile.GetInt("s", "big", 0));
  EXPECT_EQ(3, profile.GetInt("s", "text", 3));
  EXPECT_EQ(3, profile.GetInt("s", "huge", 3));
  EXPECT_EQ(3, profile.GetInt("s", "empty", 3));
}

TEST_F(ProfileTest, GarbageFileReadsAsDefaultsAndKeepsWhatItCan) {
  const std::string dir = m_dir / "config/Korvel Software";
  ASSERT_EQ(0, system(("mkdir -p '" + dir + "'").c_str()));
  std::string garbage = "[wVignetor]\nheight=250\n\x01\x02\xff\xfe]]]===\n[[[\nwidth=abc\n";
  garbage += std::string(1000, '\0');
  garbage += "\n[other\npref=ok\n";
  WriteFile(SettingsFile(), garbage);
  Profile profile;
  EXPECT_EQ(250, profile.GetInt("wVignetor", "height", 100));
  EXPECT_EQ(100, profile.GetInt("wVignetor", "width", 100));
  EXPECT_EQ("Thumb", profile.GetString("wVignetor", "nokey", "Thumb"));
}

TEST_F(ProfileTest, TruncatedAndEmptyFilesReadAsDefaults) {
  ASSERT_EQ(0, system(("mkdir -p '" + m_dir / "config/Korvel Software" + "'").c_str()));
  for (const std::string text : {"", "[wVig", "[wVignetor]\nheight=2", "[wVignetor]\nindir=\"/a"}) {
    WriteFile(SettingsFile(), text);
    Profile profile;
    EXPECT_EQ(100, profile.GetInt("wVignetor", "width", 100)) << text;
  }
}

TEST_F(ProfileTest, SaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
  {
    Profile profile;
    profile.WriteString("wVignetor", "indir", "/first");
    ASSERT_TRUE(profile.Save());
  }
  {
    Profile profile;
    profile.WriteString("wVignetor", "outdir", "/second");
    ASSERT_TRUE(profile.Save());
  }
  EXPECT_EQ(std::vector<std::string>{"wVignetor.conf"}, FilesIn(m_dir / "config/Korvel Software"));
  struct stat info;
  ASSERT_EQ(0, stat(SettingsFile().c_str(), &info));
  EXPECT_EQ(0u, info.st_mode & 077) << "settings are the user's own";
  Profile profile;
  EXPECT_EQ("/first", profile.GetString("wVignetor", "indir", ""));
  EXPECT_EQ("/second", profile.GetString("wVignetor", "outdir", ""));
}

TEST_F(ProfileTest, AFailedSaveLeavesTheOldFileWhole) {
  {
    Profile profile;
    profile.WriteString("wVignetor", "indir", "/kept");
    ASSERT_TRUE(profile.Save());
  }
  const std::string before = ReadFile(SettingsFile());
  Profile profile;
  profile.WriteString("wVignetor", "indir", "/lost");
  // The folder is replaced by a file: nothing can be written there now.
  const std::string folder = m_dir / "config/Korvel Software";
  ASSERT_EQ(0, rename(folder.c_str(), (m_dir / "moved").c_str()));
  WriteFile(folder, "not a folder");
  EXPECT_FALSE(profile.Save());
  ASSERT_EQ(0, unlink(folder.c_str()));
  ASSERT_EQ(0, rename((m_dir / "moved").c_str(), folder.c_str()));
  EXPECT_EQ(before, ReadFile(SettingsFile()));
}

// The settings library asserts on an entry without a name; such lines are
// skipped and everything around them is read, and saved again.
TEST_F(ProfileTest, LinesWithoutANameAreSkipped) {
  ASSERT_EQ(0, system(("mkdir -p '" + m_dir / "config/Korvel Software" + "'").c_str()));
  WriteFile(SettingsFile(),
            "=value\n[wVignetor]\n=value\nheight=250\n=\n  = x\n\t=\r\nwidth=300\n"
            "[T.tpl]\n=\ntitle=a\n\\=x\n");
  {
    Profile profile;
    EXPECT_EQ(250, profile.GetInt("wVignetor", "height", 100));
    EXPECT_EQ(300, profile.GetInt("wVignetor", "width", 100));
    EXPECT_EQ("a", ToBytes(profile.GetString("T.tpl", "title", "")));
    profile.WriteString("wVignetor", "pref", "p");
    ASSERT_TRUE(profile.Save());
  }
  Profile profile;
  EXPECT_EQ(250, profile.GetInt("wVignetor", "height", 100));
  EXPECT_EQ("p", ToBytes(profile.GetString("wVignetor", "pref", "")));
}

// A save killed half-way leaves its temporary file; the next save removes
// it, and only what is ours by name, kind and age.
TEST_F(ProfileTest, SavesRemoveWhatKilledSavesLeft) {
  const std::string dir = m_dir / "config/Korvel Software";
  ASSERT_EQ(0, system(("mkdir -p '" + dir + "'").c_str()));
  const auto age = [](const std::string& path, time_t seconds) {
    const timespec times[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW)) << path;
  };
  const std::vector<std::string> stale = {"wVignetor.conf.saving-Ab12Cd",
                                          "wVignetor.conf.saving-zzzzzz"};
  const std::vector<std::string> kept = {
      "wVignetor.conf.saving-Young1",    // a save under way elsewhere
      "wVignetor.conf.saving-toolong7",  // not our pattern
      "wVignetor.confAb12Cd",           "other.conf.saving-Ab12Cd",
      "wVignetor.conf.saving-Link12",   "wVignetor.conf.saving-Dir123"};
  for (const std::string& name : stale) {
    WriteFile(dir + "/" + name, "[wVignetor]\n");
    age(dir + "/" + name, 3600);
  }
  for (const std::string& name : kept) {
    if (name.find("Link") != std::string::npos) {
      ASSERT_EQ(0, symlink("wVignetor.conf.saving-Ab12Cd", (dir + "/" + name).c_str()));
    } else if (name.find("Dir") != std::string::npos) {
      ASSERT_EQ(0, mkdir((dir + "/" + name).c_str(), 0700));
    } else {
      WriteFile(dir + "/" + name, "x");
    }
    if (name.find("Young") == std::string::npos) age(dir + "/" + name, 3600);
  }
  ASSERT_TRUE(Profile::StoreString("wVignetor", "indir", "/pics"));
  std::vector<std::string> expected = kept;
  expected.push_back("wVignetor.conf");
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> files = FilesIn(dir);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(expected, files);
  EXPECT_EQ("/pics", ToBytes(Profile::ReadString("wVignetor", "indir", "")));
}

TEST(QuietAssert, AnAssertionIsNotedOnStandardErrorAndTheProgramGoesOn) {
  TempDir dir;
  const std::string log = dir / "stderr";
  const int saved = ::dup(2);
  const int file = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  ::dup2(file, 2);
  const wxAssertHandler_t previous = InstallQuietAssertHandler();
  bool wentOn = false;
  wxFAIL_MSG("a test of the handler");
  wentOn = true;
  wxSetAssertHandler(previous);
  ::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  ::close(file);
  EXPECT_TRUE(wentOn);
  const std::string text = ReadFile(log);
  EXPECT_NE(std::string::npos, text.find("toolkit assertion")) << text;
  EXPECT_NE(std::string::npos, text.find("a test of the handler")) << text;
}
}  // namespace
