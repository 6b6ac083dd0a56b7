// The generator's --help and --version, and templates of the user's own
// folder, with the real program.
#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "Version.h"

namespace fs = std::filesystem;

namespace {

class UserTemplates : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old) m_oldData = old;
    m_hadData = old != nullptr;
    setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
    fs::create_directories(m_user);
    fs::create_directories(m_in);
    makePicture(m_in + "/a.jpg", 40, 30);
  }
  void TearDown() override {
    if (m_hadData) {
      setenv("XDG_DATA_HOME", m_oldData.c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
  }

  TempDir m_root;
  const std::string m_user = m_root / "data/wVignetor/templates";
  const std::string m_in = m_root / "in";
  const std::string m_out = m_root / "out";
  bool m_hadData = false;
  std::string m_oldData;
};

const char kUserTemplate[] =
    "[desc]\nMine\n"
    "[askvalues]\nmotto;T;Motto;from the user folder\n"
    "[head]\n<h1>{{motto}}</h1>\n"
    "[picture]\n<img src=\"{{thumb}}\">\n"
    "[foot]\n</body>\n";

TEST_F(UserTemplates, APageIsMadeFromATemplateOfTheUsersFolder) {
  writeFile(m_user + "/Mine.tpl", kUserTemplate);
  RunResult run = runGenerator({"/h20", "/iMine.tpl", "/pt_", m_in, m_out});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string page = readFile(m_out + "/index.html");
  EXPECT_NE(page.find("<h1>from the user folder</h1>"), std::string::npos) << page;
  EXPECT_NE(page.find("<img src=\"t_a.jpg\">"), std::string::npos) << page;
}

TEST_F(UserTemplates, TheProgramsOwnTemplateWinsOverOneOfTheSameName) {
  writeFile(m_user + "/Table.tpl", kUserTemplate);
  RunResult run = runGenerator({"/h20", "/iTable.tpl", "/pt_", m_in, m_out});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFile(m_out + "/index.html").find("from the user"), std::string::npos);
}

TEST_F(UserTemplates, ATemplateFoundNowhereIsReportedBesideTheProgram) {
  RunResult run = runGenerator({"/h20", "/iNowhere.tpl", "/pt_", m_in, m_out});
  EXPECT_EQ(run.exitCode, 4);
  // The error's lines on one console line, with nothing to escape.
  const std::string path = std::string(SHIPPED_DIR) + "/Nowhere.tpl";
  EXPECT_NE(run.err.find("template " + path + ": Template Error File not found " + path + "\n"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(exists(m_out + "/index.html"));
}

TEST_F(UserTemplates, HelpListsBothFoldersOnStandardOutput) {
  writeFile(m_user + "/Mine.tpl", kUserTemplate);
  writeFile(m_user + "/Grid.tpl", kUserTemplate);
  for (const char* request : {"--help", "-h"}) {
    RunResult run = runProgram(VIGNETOR_PATH, {VIGNETOR_PATH, request});
    EXPECT_EQ(run.exitCode, 0) << request;
    EXPECT_EQ(run.err, "") << request;
    EXPECT_EQ(run.out.rfind("usage: Vignetor", 0), 0u) << run.out;
    const std::size_t own = run.out.find("  " + std::string(SHIPPED_DIR) + ": ");
    ASSERT_NE(own, std::string::npos) << run.out;
    const std::string ownLine = run.out.substr(own, run.out.find('\n', own) - own);
    for (const char* shipped :
         {"Albums.tpl", "Filmstrip2.tpl", "Grid.tpl", "Justified.tpl", "Table.tpl"})
      EXPECT_NE(ownLine.find(shipped), std::string::npos) << run.out;
    // The user's Grid.tpl is hidden by the program's own.
    EXPECT_NE(run.out.find("  " + m_user + ": Mine.tpl\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("help page: " + std::string(SHIPPED_DIR) + "/Vignetor.html\n"),
              std::string::npos)
        << run.out;
  }
}

TEST_F(UserTemplates, VersionOnStandardOutputAndUsageErrorsAsBefore) {
  RunResult version = runProgram(VIGNETOR_PATH, {VIGNETOR_PATH, "--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("Vignetor ") + WV_VERSION + "\n");
  EXPECT_EQ(std::string(WV_VERSION), "1.5.2");

  RunResult none = runProgram(VIGNETOR_PATH, {VIGNETOR_PATH});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err.rfind("Vignetor: the input and the output directory are missing\n", 0), 0u);
  // Only in first place is it a request; elsewhere it is a bad argument.
  RunResult late = runGenerator({"/h20", "--help", "/pt_", m_in, m_out});
  EXPECT_EQ(late.exitCode, 2);
  EXPECT_FALSE(exists(m_out));
}

}  // namespace
