#include "template/TemplateFolders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (m_old) {
      setenv(m_name, m_old->c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

void Touch(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << "[head]\nx\n";
}

class TemplateFolders : public ::testing::Test {
 protected:
  std::string Program() const { return m_root / "program"; }
  std::string UserData() const { return m_root / "data"; }
  std::string User() const { return UserData() + "/wVignetor/templates"; }

  void SetUp() override { fs::create_directories(Program()); }

  TempDir m_root;
  ScopedEnv m_data{"XDG_DATA_HOME", UserData().c_str()};
};

TEST_F(TemplateFolders, UserFolderFollowsXdgDataHomeElseHome) {
  EXPECT_EQ(UserTemplateDirectory(), User());
  {
    ScopedEnv trailing("XDG_DATA_HOME", (UserData() + "/").c_str());
    EXPECT_EQ(UserTemplateDirectory(), User());
  }
  ScopedEnv home("HOME", "/home/someone");
  for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/data"}) {
    // A relative or empty XDG_DATA_HOME is to be ignored.
    ScopedEnv data("XDG_DATA_HOME", unusable);
    EXPECT_EQ(UserTemplateDirectory(), "/home/someone/.local/share/wVignetor/templates");
  }
}

TEST_F(TemplateFolders, ProgramDirectoryComesFirstThenTheUsersFolder) {
  Touch(Program() + "/Grid.tpl");
  Touch(User() + "/Grid.tpl");
  Touch(User() + "/Mine.tpl");
  EXPECT_EQ(TemplateDirectory(Program(), "Grid.tpl"), Program());
  EXPECT_EQ(TemplateDirectory(Program(), "Mine.tpl"), User());
  // Names differ by case on this file system.
  EXPECT_EQ(TemplateDirectory(Program(), "mine.tpl"), Program());
  // Found nowhere: the error is reported against the program directory.
  EXPECT_EQ(TemplateDirectory(Program(), "Missing.tpl"), Program());
}

TEST_F(TemplateFolders, AnEntryTheProgramDirectoryListsHidesTheUsersOne) {
  // The form lists a dangling link or a folder named *.tpl too (it fails to
  // load there), so the generator must not take the user's file instead.
  fs::create_symlink(m_root / "nowhere", Program() + "/Broken.tpl");
  fs::create_directory(Program() + "/Folder.tpl");
  Touch(User() + "/Broken.tpl");
  Touch(User() + "/Folder.tpl");
  EXPECT_EQ(TemplateDirectory(Program(), "Broken.tpl"), Program());
  EXPECT_EQ(TemplateDirectory(Program(), "Folder.tpl"), Program());
  EXPECT_TRUE(UserOnlyTemplateNames(Program(), User()).empty());
}

TEST_F(TemplateFolders, UserTemplatesAreListedOnceByFileName) {
  Touch(Program() + "/Grid.tpl");
  Touch(Program() + "/Table.tpl");
  Touch(User() + "/Grid.tpl");
  Touch(User() + "/grid.tpl");
  Touch(User() + "/Mine.tpl");
  Touch(User() + "/notes.txt");
  auto names = UserOnlyTemplateNames(Program(), User());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Mine.tpl", "grid.tpl"}));
}

TEST_F(TemplateFolders, MissingOrEmptyFoldersListNothing) {
  EXPECT_TRUE(TemplateFileNames(m_root / "missing").empty());
  EXPECT_TRUE(UserOnlyTemplateNames(Program(), User()).empty());
  fs::create_directories(User());
  EXPECT_TRUE(UserOnlyTemplateNames(Program(), User()).empty());
  EXPECT_TRUE(UserOnlyTemplateNames(m_root / "missing", User()).empty());
}

TEST_F(TemplateFolders, HelpTextNamesBothFoldersAndTheHelpPage) {
  Touch(Program() + "/table.tpl");
  Touch(Program() + "/Grid.tpl");
  Touch(User() + "/Grid.tpl");
  EXPECT_EQ(TemplateFoldersText(Program()),
            "templates, by file name:\n"
            "  " +
                Program() +
                ": Grid.tpl, table.tpl\n"
                "  " +
                User() +
                ": (none)\n"
                "help page: " +
                Program() + "/Vignetor.html\n");
}

TEST(ExecutableDirectory, IsTheFolderOfThisTestProgram) {
  const fs::path self = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(ExecutableDirectory(), self.parent_path().string());
}

}  // namespace
