#include "generator/OutputFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vgn-out-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    dir = name.data();
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string read(const std::string& name) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void put(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name, std::ios::binary) << text;
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  std::string dir;
};

TEST_F(OutputFileTest, ReplacingWritesWholeFilesAndLeavesNoTemporaryOnes) {
  put("a.jpg", "old");
  OutputResult r = writeReplacing(dir, "a.jpg", "new data");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.name, "a.jpg");
  EXPECT_EQ(read("a.jpg"), "new data");
  EXPECT_EQ(names(), std::vector<std::string>{"a.jpg"});

  struct stat st;
  ASSERT_EQ(stat((dir + "/a.jpg").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IRUSR, 0u);
}

TEST_F(OutputFileTest, UniqueNeverReplacesAndCountsUp) {
  put("T.jpg", "one");
  put("T_1.jpg", "two");
  OutputResult r = writeUnique(dir, "T.jpg", "three");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.name, "T_2.jpg");
  EXPECT_EQ(read("T.jpg"), "one");
  EXPECT_EQ(read("T_1.jpg"), "two");
  EXPECT_EQ(read("T_2.jpg"), "three");

  r = writeUnique(dir, "U.png", "four");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.name, "U.png");
  EXPECT_EQ(names(), (std::vector<std::string>{"T.jpg", "T_1.jpg", "T_2.jpg", "U.png"}));
}

TEST_F(OutputFileTest, ReportsAFolderItCannotWriteIn) {
  OutputResult r = writeReplacing(dir + "/missing", "a.jpg", "x");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("missing"), std::string::npos);
  // A directory in the way is not replaced.
  fs::create_directory(dir + "/a.jpg");
  r = writeReplacing(dir, "a.jpg", "x");
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(fs::is_directory(dir + "/a.jpg"));
  EXPECT_EQ(names(), std::vector<std::string>{"a.jpg"});
}

}  // namespace
