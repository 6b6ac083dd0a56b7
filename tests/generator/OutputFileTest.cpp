#include "generator/files/OutputFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
  // The usual umask; the generator reads it once, with its first file.
  const mode_t before = umask(022);
  put("a.jpg", "old");
  OutputResult r = writeReplacing(dir, "a.jpg", "new data");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.name, "a.jpg");
  EXPECT_EQ(read("a.jpg"), "new data");
  EXPECT_EQ(names(), std::vector<std::string>{"a.jpg"});

  // Readable as any file the user makes, 0666 less the umask: a web server
  // reads the gallery as another user.
  ASSERT_TRUE(writeUnique(dir, "b.jpg", "new").ok);
  for (const char* name : {"a.jpg", "b.jpg"}) {
    struct stat st;
    ASSERT_EQ(stat((dir + "/" + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << name;
  }
  umask(before);
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

// A folder below the output folder is reached only through folders, never
// through a symbolic link; missing ones are made when asked.
TEST_F(OutputFileTest, FoldersBelowAreReachedThroughNoLink) {
  fs::create_directories(dir + "/real/deep");
  fs::create_directories(dir + "/elsewhere");
  fs::create_directory_symlink(dir + "/elsewhere", dir + "/real/link");
  put("file", "x");
  std::string error;
  const OutputFolder root = OutputFolder::open(dir, error);
  ASSERT_TRUE(root.isOpen()) << error;
  struct Case {
    const char* rel;
    bool create;
    OutputFolder::Stop stop;
  };
  const Case cases[] = {
      {"", false, OutputFolder::Stop::None},
      {"real/deep", false, OutputFolder::Stop::None},
      {"real/new/newer", true, OutputFolder::Stop::None},
      {"real/missing", false, OutputFolder::Stop::Missing},
      {"real/link", true, OutputFolder::Stop::Link},
      {"real/link/x", true, OutputFolder::Stop::Link},
      {"file/x", true, OutputFolder::Stop::NotFolder},
      {"real/../elsewhere", false, OutputFolder::Stop::Failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rel);
    OutputFolder::Stop stop;
    const OutputFolder folder = OutputFolder::below(root, c.rel, c.create, error, &stop);
    EXPECT_EQ(stop, c.stop) << error;
    EXPECT_EQ(folder.isOpen(), c.stop == OutputFolder::Stop::None) << error;
    if (c.stop == OutputFolder::Stop::Link) {
      EXPECT_EQ(error, "the output subfolder " + dir +
                           "/real/link is a symbolic link; nothing is written through it");
    }
  }
  EXPECT_TRUE(fs::is_directory(dir + "/real/new/newer"));
  EXPECT_TRUE(fs::is_empty(dir + "/elsewhere"));
}

TEST_F(OutputFileTest, RemovesOnlyTheTemporaryFilesOfEndedRuns) {
  put(".vgn-Ab12Cd", "half a thumbnail");  // its run was killed
  put(".vgn-Old001", "");                  // killed before the first byte, long ago
  const auto longAgo = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  fs::last_write_time(dir + "/.vgn-Old001", longAgo);
  put(".vgn-Held01", "being written");  // a live run holds it
  int held = open((dir + "/.vgn-Held01").c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  put(".vgn-Fresh1", "");  // just made, not locked yet
  for (const char* other : {".vgn-short", ".vgn-toolong1", "x.vgn-abcdef", ".vgn-ab_cd!", "a.jpg"})
    put(other, "not ours");
  fs::create_directory(dir + "/.vgn-Dir001");
  fs::create_symlink(dir + "/a.jpg", dir + "/.vgn-Link01");

  EXPECT_EQ(removeStaleTempFiles(dir), 2);
  EXPECT_EQ(names(), (std::vector<std::string>{".vgn-Dir001", ".vgn-Fresh1", ".vgn-Held01",
                                               ".vgn-Link01", ".vgn-ab_cd!", ".vgn-short",
                                               ".vgn-toolong1", "a.jpg", "x.vgn-abcdef"}));
  EXPECT_EQ(read("a.jpg"), "not ours");
  close(held);
  EXPECT_EQ(removeStaleTempFiles(dir), 1);
  EXPECT_EQ(removeStaleTempFiles(dir + "/missing"), 0);
}

TEST_F(OutputFileTest, StagedFilesAppearTogetherOrNotAtAll) {
  put("index.html", "old page");
  auto stage = [](StagedFiles& staged, const std::string& name, const std::string& text) {
    StreamedFile file(staged.folder());
    file.write(text);
    return file.commit(name).ok;
  };
  {
    StagedFiles staged(dir);
    ASSERT_TRUE(staged.folder().isOpen()) << staged.error();
    ASSERT_TRUE(stage(staged, "index-2.html", "two"));
    ASSERT_TRUE(stage(staged, "index.html", "one"));
    EXPECT_EQ(read("index.html"), "old page");
    // Dropped unpublished: nothing changed, nothing left.
  }
  EXPECT_EQ(names(), std::vector<std::string>{"index.html"});
  {
    StagedFiles staged(dir);
    ASSERT_TRUE(stage(staged, "index-2.html", "two"));
    ASSERT_TRUE(stage(staged, "index.html", "one"));
    // A run of ours that looks for leftovers meanwhile leaves them alone.
    EXPECT_EQ(removeStaleTempFiles(dir), 0);
    ASSERT_TRUE(staged.publish({"index-2.html", "index.html"}).ok);
  }
  EXPECT_EQ(names(), (std::vector<std::string>{"index-2.html", "index.html"}));
  EXPECT_EQ(read("index.html"), "one");

  // The folder of a run that was killed goes with its files; one holding a
  // folder, which we never make there, stays, and so does one named otherwise.
  fs::create_directory(dir + "/.vgn-pages-Ab12Cd");
  put(".vgn-pages-Ab12Cd/index.html", "half");
  fs::create_directories(dir + "/.vgn-pages-Ab12Ce/sub");
  fs::create_directory(dir + "/.vgn-pages-mine");
  put(".vgn-pages-mine/notes.txt", "a user's");
  EXPECT_EQ(removeStaleTempFiles(dir), 1);
  EXPECT_EQ(names(), (std::vector<std::string>{".vgn-pages-Ab12Ce", ".vgn-pages-mine",
                                               "index-2.html", "index.html"}));
  EXPECT_EQ(read(".vgn-pages-mine/notes.txt"), "a user's");
}

TEST_F(OutputFileTest, AFileBeingWrittenIsNeverTakenForALeftover) {
  // Writers and a cleaner side by side, as two runs on one folder.
  std::atomic<int> running{2}, failures{0};
  std::vector<std::thread> writers;
  const std::string data(200000, 'x');
  for (int t = 0; t < 2; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) {
        OutputResult r = writeReplacing(dir, "w" + std::to_string(t), data);
        if (!r.ok) ++failures;
      }
      --running;
    });
  }
  int removed = 0;
  while (running > 0) removed += removeStaleTempFiles(dir);
  for (auto& w : writers) w.join();
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(names(), (std::vector<std::string>{"w0", "w1"}));
}

TEST_F(OutputFileTest, AnInterruptRemovesTheFilesOfEveryThread) {
  std::mt19937 random(3);
  for (int round = 0; round < 200; ++round) {
    pid_t pid = fork();
    if (pid == 0) {
      installInterruptCleanup();
      auto writeForever = [this](const char* name) {
        for (;;) writeReplacing(dir, name, "x");
      };
      std::thread(writeForever, "a").detach();
      std::thread(writeForever, "b").detach();
      // Pages staged in a folder of their own.
      std::thread([this] {
        for (;;) {
          StagedFiles staged(dir);
          StreamedFile file(staged.folder());
          file.write("x");
          if (file.commit("d").ok) staged.publish({"d"});
        }
      }).detach();
      writeForever("c");
    }
    usleep(std::uniform_int_distribution<useconds_t>(500, 5000)(random));
    kill(pid, round % 2 ? SIGTERM : SIGHUP);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    for (const auto& name : names()) ASSERT_EQ(name.size(), 1u) << name << " in round " << round;
  }
}

}  // namespace
