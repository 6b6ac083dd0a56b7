// Run records made by hand, as a folder from someone else may carry them,
// and runs on a full disk: the generator removes and replaces only files it
// made, and leaves none that the next run does not know for its own.
#include "GeneratorTestSupport.h"

#include "generator/record/RecordKey.h"
#include "generator/record/RecordCheck.h"
#include "generator/record/RunRecord.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class RecordSafety : public GeneratorFolders {
 protected:
  // " file <role> <name> ..." with the true size, time and hash of `path`
  // (or of `bytes` instead, for a file that only looks the same).
  static std::string fileLine(const std::string& name, const std::string& path,
                              const std::string* bytes = nullptr,
                              const std::string& role = "thumb") {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) std::memset(&st, 0, sizeof st);
    const FileStamp stamp = stampOf(st);
    const std::string hash = bytes ? sha256Of(*bytes) : sha256OfFile(path);
    return " file " + role + " " + escapeField(name) + " x20,q85,r4,jpg 40 20 " +
           std::to_string(stamp.bytes) + " " + std::to_string(stamp.mtimeNs) + " " +
           (hash.empty() ? std::string(64, '0') : hash) + "\n";
  }
};

// Each case plants a record (and the files it names) in a folder that is
// both the input and the output, the setting in which a record could once
// delete an original. Whatever the record says, no original, no file of the
// user's and nothing outside the folder changes, and the run ends at once.
TEST_F(RecordSafety, HandMadeRecordsTouchNothingThatIsNotOurs) {
  struct Folder {
    std::string in, outside, elsewhere, record;
  };
  struct Case {
    const char* what;
    std::function<void(const Folder&)> plant;
    std::string said;  // on standard output
  };
  auto head = [](const Folder& f) {
    return "vignetor-record 1\ninput " + escapeField(f.in) + "\n";
  };
  // As the user's own runs write it: version 2 and their digest.
  auto signedRecord = [](std::string text) {
    text.replace(0, 17, "vignetor-record 2");
    const RecordKey key = RecordKey::forUser();
    return text + "mac " + key.digestOf(text) + "\n";
  };
  auto gone = [](const std::string& pic) { return "picture " + pic + " 1 1 80 40\n"; };
  const Case cases[] = {
      {"a name leaving the folder",
       [&](const Folder& f) {
         writeFile(f.record, head(f) + gone("gone.jpg") + fileLine("../outside.jpg", f.outside));
       },
       "cannot be used (line 4: bad file line)"},
      {"an absolute name",
       [&](const Folder& f) {
         writeFile(f.record, head(f) + gone("gone.jpg") + fileLine(f.outside, f.outside));
       },
       "cannot be used (line 4: bad file line)"},
      {"an original as the thumbnail of a picture that is gone",
       [&](const Folder& f) {
         writeFile(f.record, head(f) + gone("gone.jpg") + fileLine("orig.jpg", f.in + "/orig.jpg"));
       },
       "names orig.jpg as made from gone.jpg, but it is not named like a file made from it"},
      {"an original as the thumbnail of a picture to make again",
       [&](const Folder& f) {
         writeFile(f.record, head(f) + gone("a.jpg") + fileLine("orig.jpg", f.in + "/orig.jpg"));
       },
       "names orig.jpg as made from a.jpg, but"},
      {"a user's notes with their true size, time and hash",
       [&](const Folder& f) {
         writeFile(f.record,
                   head(f) + gone("gone.jpg") + fileLine("notes.txt", f.in + "/notes.txt"));
       },
       "names notes.txt as made from gone.jpg, but"},
      {"a link named like a thumbnail",
       [&](const Folder& f) {
         fs::create_symlink(f.outside, f.in + "/Tgone.jpg");
         writeFile(f.record, head(f) + gone("gone.jpg") + fileLine("Tgone.jpg", f.outside));
       },
       "names Tgone.jpg as made from gone.jpg, but it is a symbolic link"},
      {"a folder on the way that is a link",
       [&](const Folder& f) {
         fs::create_directory_symlink(f.elsewhere, f.in + "/sub");
         writeFile(f.record, head(f) + gone("sub/gone.jpg") +
                                 fileLine("sub/Tgone.jpg", f.elsewhere + "/Tgone.jpg"));
       },
       "names sub/Tgone.jpg as made from sub/gone.jpg, but it lies behind a symbolic link"},
      {"another run's file: same size and time, other bytes",
       [&](const Folder& f) {
         writeFile(f.in + "/Tgone.png", "made by someone else");
         const std::string ours = "made by Vignetor ...";
         writeFile(f.record,
                   head(f) + gone("gone.png") + fileLine("Tgone.png", f.in + "/Tgone.png", &ours));
       },
       "left Tgone.png as it is (its picture gone.png is gone, but no run record of yours says"},
      {"an original under another prefix, with its true size, time and hash",
       [&](const Folder& f) {
         makePicture(f.in + "/IMG_1.jpg", 80, 40);
         writeFile(f.record,
                   head(f) + gone("MG_1.jpg") + fileLine("IMG_1.jpg", f.in + "/IMG_1.jpg"));
       },
       "left IMG_1.jpg as it is (its picture MG_1.jpg is gone, but no run record of yours"},
      {"an original in a subfolder the run does not scan, and a hidden one",
       [&](const Folder& f) {
         fs::create_directories(f.in + "/sub");
         makePicture(f.in + "/sub/Tgone.jpg", 80, 40);
         makePicture(f.in + "/.Tgone.jpg", 80, 40);
         writeFile(f.record, head(f) + gone("sub/gone.jpg") +
                                 fileLine("sub/Tgone.jpg", f.in + "/sub/Tgone.jpg") +
                                 gone(".gone.jpg") + fileLine(".Tgone.jpg", f.in + "/.Tgone.jpg"));
       },
       "left sub/Tgone.jpg as it is"},
      {"a photo under a name a killed run only planned, in a record signed with the user's key",
       [&](const Folder& f) {
         makePicture(f.in + "/Ta.jpg", 80, 40);
         writeFile(f.record,
                   signedRecord(head(f) + "picture a.jpg 1 1 80 40\n"
                                          " file thumb Ta.jpg x20,q85,r4,jpg 0 0 - - - made\n"));
       },
       "names Ta.jpg as made from a.jpg, but it is a picture of the input folder"},
      {"an original as the display file of a picture that is gone, in a record signed with the "
       "user's key",
       [&](const Folder& f) {
         std::string line = fileLine("orig.jpg", f.in + "/orig.jpg", nullptr, "display");
         writeFile(f.record, signedRecord(head(f) + gone("gone.jpg") +
                                          line.insert(line.size() - 1, " made")));
       },
       "names orig.jpg as made from gone.jpg, but it is not named like a file made from it"},
      {"a FIFO named like a thumbnail",
       [&](const Folder& f) {
         ASSERT_EQ(mkfifo((f.in + "/Tgone.jpg").c_str(), 0600), 0);
         writeFile(f.record,
                   head(f) + gone("gone.jpg") + fileLine("Tgone.jpg", f.in + "/Tgone.jpg"));
       },
       "names Tgone.jpg as made from gone.jpg, but it is not a regular file"},
      {"a record that is a FIFO",
       [&](const Folder& f) { ASSERT_EQ(mkfifo(f.record.c_str(), 0600), 0); },
       "cannot be used (not a regular file)"},
      {"a huge sparse record",
       [&](const Folder& f) {
         writeFile(f.record, "vignetor-record 1\n");
         ASSERT_EQ(truncate(f.record.c_str(), off_t(2) << 30), 0);
       },
       "cannot be used (larger than 256 MiB)"},
      {"a record that is a link to /dev/zero",
       [&](const Folder& f) { fs::create_symlink("/dev/zero", f.record); },
       "cannot be used (not a regular file)"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = root / ("case" + std::to_string(n++));
    Folder f{dir + "/in", dir + "/outside.jpg", dir + "/elsewhere", dir + "/in/.vignetor-record"};
    fs::create_directories(f.in);
    fs::create_directories(f.elsewhere);
    makePicture(f.in + "/a.jpg", 80, 40);
    makePicture(f.in + "/orig.jpg", 80, 40);
    makePicture(f.outside, 80, 40);
    makePicture(f.elsewhere + "/Tgone.jpg", 40, 20);
    writeFile(f.in + "/notes.txt", "my notes");
    c.plant(f);
    // Everything there but the record, which may be a FIFO or huge.
    const std::string aside = root / "record aside";
    if (fs::is_symlink(f.record) || fs::exists(f.record)) fs::rename(f.record, aside);
    const auto theirs = snapshot(dir);
    if (fs::is_symlink(aside) || fs::exists(aside)) fs::rename(aside, f.record);

    const auto started = std::chrono::steady_clock::now();
    RunResult r = run({"/h20", "/o", "/pT", f.in, f.in});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.exitCode << r.out << r.err;
    EXPECT_TRUE(has(r.out, c.said)) << r.out;
    EXPECT_FALSE(has(r.out, "removed ")) << r.out;
    // Every file that was there is there as it was; only ours were added.
    auto now = snapshot(dir);
    for (const auto& [rel, bytes] : theirs) {
      ASSERT_TRUE(now.count(rel)) << rel << " is gone\n" << r.out;
      EXPECT_EQ(now[rel], bytes) << rel << " was changed";
    }
    // The original the record named is a picture of the gallery again.
    EXPECT_TRUE(has(r.out, "] orig.jpg -> Torig.jpg")) << r.out;
  }
}

// A subfolder of the output folder that is a symbolic link to a folder
// elsewhere: nothing goes through it, with or without /o, and the pictures
// of the other folders are made.
TEST_F(RecordSafety, NothingIsWrittenThroughALinkedOutputSubfolder) {
  struct Case {
    const char* what;
    std::vector<std::string> switches;
  };
  const Case cases[] = {
      {"with /s", {"/h20", "/s", "/pT"}},
      {"with /s and /o, a file of that name there", {"/h20", "/s", "/o", "/pT"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = root / ("linked" + std::to_string(n++));
    const std::string from = dir + "/in", to = dir + "/out", elsewhere = dir + "/elsewhere";
    fs::create_directories(from + "/sub");
    makePicture(from + "/a.jpg", 80, 40);
    makePicture(from + "/sub/b.jpg", 80, 40);
    fs::create_directories(from + "/other");
    makePicture(from + "/other/c.jpg", 80, 40);
    fs::create_directories(to);
    fs::create_directories(elsewhere);
    writeFile(elsewhere + "/Tb.jpg", "a file of the user's");
    fs::create_directory_symlink(elsewhere, to + "/sub");
    const auto theirs = snapshot(elsewhere);

    std::vector<std::string> args = c.switches;
    args.insert(args.end(), {from, to});
    RunResult r = run(args);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_TRUE(has(r.err, "sub/b.jpg: not made: the output subfolder " + to +
                               "/sub is a symbolic link; nothing is written through it"))
        << r.err;
    EXPECT_EQ(snapshot(elsewhere), theirs);
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 1);
    EXPECT_TRUE(exists(to + "/Ta.jpg")) << r.out;
    EXPECT_TRUE(exists(to + "/other/Tc.jpg")) << r.out;
  }
}

// While a run writes into a subfolder of its output folder, another process
// swaps that subfolder for a symbolic link to a folder elsewhere and back,
// again and again. Whichever way each write meets it, nothing of the run
// ever lands elsewhere. (What the run makes or fails is not asserted.)
TEST_F(RecordSafety, ASubfolderSwappedForALinkMidRunLeadsNothingOutside) {
  for (int i = 0; i < 60; ++i) picture("sub/p" + std::to_string(i) + ".png", 40, 20);
  const std::string elsewhere = root / "elsewhere";
  fs::create_directories(elsewhere);
  const auto started = std::chrono::steady_clock::now();
  int runs = 0;
  long swaps = 0;
  do {
    const std::string to = root / ("out" + std::to_string(runs));
    fs::create_directories(to + "/sub");
    fs::create_directory_symlink(elsewhere, to + "/link");
    std::atomic<bool> done{false};
    std::thread swapper([&] {
      const std::string a = to + "/sub", b = to + "/link";
      // At least one round, whatever the run's speed.
      for (int k = 0; k < 2 || !done; ++k) {
        ASSERT_EQ(renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE), 0)
            << std::strerror(errno);
        ++swaps;
      }
    });
    RunResult r = run({"/h10", "/s", "/o", "/pT", in, to});
    done = true;
    swapper.join();
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.exitCode << r.out << r.err;
    ++runs;
  } while (std::chrono::steady_clock::now() - started < std::chrono::seconds(3) && runs < 6);
  EXPECT_GT(swaps, 0);
  std::vector<std::string> there;
  for (const auto& e : fs::directory_iterator(elsewhere)) there.push_back(e.path().string());
  EXPECT_TRUE(there.empty()) << there.size() << " entries, the first " << there[0];
}

rlim_t g_fileLimit = RLIM_INFINITY;

// A disk that fills at a given size: every file the run writes stops there.
void limitFileSize() {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{g_fileLimit, g_fileLimit};
  setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(RecordSafety, AFullDiskLeavesNoFileTheNextRunDoesNotKnow) {
  const int count = 20;
  for (int i = 0; i < count; ++i) picture("p" + std::to_string(i) + ".png", 40, 20);
  const std::vector<std::string> args{"/h10", "/g", "/pT", in};
  auto runInto = [&](const std::string& dir, bool full) {
    std::vector<std::string> argv{"VGN"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(dir);
    return runProgram(program + "/Vignetor", argv, full ? limitFileSize : nullptr);
  };
  // What a whole run writes: its record is the largest file.
  ASSERT_EQ(runInto(root / "measure", false).exitCode, 0);
  const std::size_t recordBytes = readFile(root / "measure/.vignetor-record").size();
  std::size_t largestThumb = 0;
  for (const auto& [name, bytes] : snapshot(root / "measure")) {
    if (name[0] != '.') largestThumb = std::max(largestThumb, bytes.size());
  }
  ASSERT_LT(largestThumb, 512u);
  ASSERT_GT(recordBytes, 2048u);

  struct Case {
    const char* what;
    rlim_t limit;
    std::size_t madeThen;  // files there after the full run
  };
  const Case cases[] = {
      // Not even the names can be recorded: nothing is made.
      {"the record cannot name the files", 512, 0},
      // The names are recorded, but the journal cannot have the room for
      // what is about to be written: nothing is made either.
      {"the journal cannot be made room for", recordBytes - 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = root / ("full" + std::to_string(c.limit));
    g_fileLimit = c.limit;
    EXPECT_EQ(runInto(dir, true).exitCode, 5);
    EXPECT_EQ(snapshot(dir).size(), c.madeThen);
    // With room again: every thumbnail under its own name, none numbered,
    // none left over.
    RunResult r = runInto(dir, false);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    auto files = snapshot(dir);
    EXPECT_EQ(files.size(), std::size_t(count) + 1) << r.out;
    for (const auto& [name, bytes] : files) EXPECT_FALSE(has(name, "_1.")) << name;
    EXPECT_EQ(files[".vignetor-record"].size(), recordBytes);
  }
}

}  // namespace
