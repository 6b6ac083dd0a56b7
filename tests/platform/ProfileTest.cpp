#include <sys/stat.h>

#include <dirent.h>

#include <gtest/gtest.h>

#include "platform/Profile.h"
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
}  // namespace
