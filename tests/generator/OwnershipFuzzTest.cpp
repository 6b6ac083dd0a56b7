// Random folders, run records and runs: whatever a record says (real, edited,
// or forged with the true size, time and hash of a user's file), whatever
// symbolic links lie in the folders and whatever the switches, a run removes
// or replaces no file the generator did not write itself, and writes nothing
// through a link. A user's page or asset that a run replaces stays beside it,
// byte for byte, under a name holding ".before-".
//
// The short form runs with the other tests. Each failure names its round's
// seed; that round alone runs again with
//   VIGNETOR_OWNERSHIP_SEED=<seed> VIGNETOR_OWNERSHIP_ROUNDS=1
//     build/test-bin/generator_run_tests --gtest_filter='OwnershipFuzz.Long*'
// The long form runs only when VIGNETOR_OWNERSHIP_ROUNDS is set, e.g. 2000.
#include "GeneratorTestSupport.h"

#include "generator/record/RecordCheck.h"
#include "generator/record/RunRecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// What lies at `path`, no link followed: a file's SHA-256, a link's target,
// "folder", or "" when nothing is there.
std::string stateOf(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return "";
  if (S_ISLNK(st.st_mode)) return "link to " + fs::read_symlink(path).string();
  if (S_ISDIR(st.st_mode)) return "folder";
  return S_ISREG(st.st_mode) ? "file " + sha256OfFile(path) : "special";
}

std::map<std::string, std::string> statesUnder(const std::string& dir) {
  std::map<std::string, std::string> states;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    states[e.path().string()] = stateOf(e.path().string());
  return states;
}

// A page or an asset, which a run may replace when the user's bytes stay
// beside it under a ".before-" name.
bool isPageOrAsset(const std::string& name) {
  return (name.rfind("index", 0) == 0 && endsWith(name, ".html")) || endsWith(name, ".css") ||
         endsWith(name, ".js") || name == "photoswipe-LICENSE.txt";
}

class Round {
 public:
  Round(unsigned seed, const std::string& root) : seed_(seed), random_(seed), root_(root) {}
  void play();
  std::vector<std::string> failures;

 private:
  int pick(std::size_t n) { return std::uniform_int_distribution<int>(0, int(n) - 1)(random_); }
  bool chance(int percent) { return pick(100) < percent; }
  std::string anyOf(const std::vector<std::string>& v) { return v[pick(v.size())]; }
  std::string shown(const std::string& path) const { return path.substr(root_.size() + 1); }

  void picture(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    makePicture(path, 20 + pick(40), 16 + pick(30));
    planted_[path];
  }
  void userFile(const std::string& path, const std::string& text) {
    writeFile(path, text);
    planted_[path];
  }
  void link(const std::string& target, const std::string& path) {
    fs::create_symlink(target, path);
    planted_[path];
  }
  void buildTree();
  void tamperRecord();
  RecordedFile recorded(const std::string& path, FileRole role, bool planned);
  std::vector<std::string> switches();
  void check(const std::vector<std::string>& args, const RunResult& r);

  const unsigned seed_;
  std::mt19937 random_;
  const std::string root_;
  std::string in_, out_, outside_, prefix_, otherPrefix_;
  std::vector<std::string> pictures_;           // under in_
  std::map<std::string, std::string> planted_;  // the test's files: path -> state
  std::set<std::string> edited_;                // files of a run the user wrote over
  std::map<std::string, std::string> outsideStates_;
  std::string story_;  // what the round did, for a failure's message
};

void Round::buildTree() {
  in_ = root_ + "/in";
  outside_ = root_ + "/outside";
  fs::create_directories(outside_ + "/folder");
  makePicture(outside_ + "/pic.jpg", 30, 20);
  makePicture(outside_ + "/folder/Thumbx.jpg", 30, 20);
  writeFile(outside_ + "/folder/notes.txt", "outside");
  prefix_ = anyOf({"Thumb", "T", "I", "tn_", ""});
  do otherPrefix_ = anyOf({"Thumb", "T", "I", "M", ""});
  while (otherPrefix_ == prefix_);
  const int where = pick(3);
  out_ = where == 0 ? in_ : where == 1 ? in_ + "/thumbs" : root_ + "/out";
  fs::create_directories(in_ + "/sub");
  fs::create_directories(out_);
  story_ =
      "output " + shown(out_) + ", prefix '" + prefix_ + "', other prefix '" + otherPrefix_ + "'";

  // Originals, a few named like another's thumbnail under some prefix.
  for (const std::string rel :
       {"MG_1.jpg", "a.png", "b c.jpg", "X.JPG", "sub/p.png", "sub/MG_2.jpg"}) {
    if (!chance(65)) continue;
    picture(in_ + "/" + rel);
    pictures_.push_back(rel);
    const fs::path p(rel);
    const std::string dir = p.parent_path().empty() ? "" : p.parent_path().string() + "/";
    if (chance(45))
      picture(in_ + "/" + dir + anyOf({"I", prefix_, otherPrefix_}) + p.filename().string());
  }
  if (chance(40)) picture(in_ + "/.hidden.jpg");
  if (chance(40)) userFile(in_ + "/.notes", "hidden notes");
  if (chance(50)) userFile(in_ + "/notes.txt", "my notes");
  if (chance(30)) userFile(in_ + "/sub/readme.md", "my readme");
  if (chance(30)) link(outside_ + "/folder", in_ + "/linked");
  if (chance(30)) link(outside_ + "/pic.jpg", in_ + "/link.jpg");
  if (chance(20)) link(root_ + "/nowhere.jpg", in_ + "/dangling.jpg");

  // The user's own files under the names of thumbnails and of their
  // companions, and a folder of the output that is a link.
  const bool subLinked = out_ != in_ && chance(15);
  for (const auto& rel : pictures_) {
    if (!chance(50) || (subLinked && rel.rfind("sub/", 0) == 0)) continue;
    const fs::path p(rel);
    const std::string dir = out_ + "/" + (p.parent_path().empty() ? "" : "sub/");
    const std::string stem = anyOf({prefix_, otherPrefix_}) + p.stem().string();
    const std::string name = dir + anyOf({stem + p.extension().string(), stem + "@2x.jpg",
                                          stem + "@2x.webp", stem + "@web.jpg", stem + "@web.webp",
                                          stem + "@3x.jpg", stem + "_1" + p.extension().string()});
    fs::create_directories(dir);
    if (exists(name)) continue;
    const int kind = pick(10);
    if (kind < 6 && !endsWith(name, "@2x.webp") && !endsWith(name, "@web.webp"))
      picture(name);
    else if (kind < 8)
      userFile(name, "my own " + name);
    else
      link(kind == 8 ? outside_ + "/pic.jpg" : in_ + "/" + pictures_[0], name);
  }
  if (subLinked) {
    link(outside_ + "/folder", out_ + "/sub");
    story_ += "; " + shown(out_) + "/sub is a link";
  }
  if (chance(50)) userFile(out_ + "/index.html", "<p>my own page</p>");
  if (chance(15)) userFile(out_ + "/index-2.html", "<p>my second page</p>");
  if (chance(40)) userFile(out_ + "/photoswipe.css", "p { color: red }");
  if (chance(20)) userFile(out_ + "/vignetor-viewer.js", "alert('mine')");
}

// A file line naming `path` with its true size, time and hash (or planned).
RecordedFile Round::recorded(const std::string& path, FileRole role, bool planned) {
  RecordedFile f;
  f.role = role;
  f.name = fs::path(path).lexically_relative(out_).string();
  f.settings = anyOf({"x20,q85,r4,jpg", "x20,q85,r4,png", "x20,q85,r4,2x,light,q75,jpg",
                      "web1600,q85,r3,jpg", "x16,q85,r4,jpg"});
  f.width = 20 + pick(20);
  f.height = 20;
  struct stat st;
  f.planned = planned || lstat(path.c_str(), &st) != 0;
  if (f.planned) return f;
  f.stamp = stampOf(st);
  f.sha256 = sha256OfFile(path);
  if (f.sha256.empty()) f.sha256 = std::string(64, '0');  // a link that leads nowhere
  return f;
}

// Forges, edits or plants entries in the record of the output folder.
void Round::tamperRecord() {
  const std::string path = out_ + "/" + kRecordName;
  RunRecord record;
  std::string problem;
  if (!exists(path) || record.parse(readFile(path), in_, problem) != RunRecord::Trusted) {
    record = RunRecord();
    record.inputDir = chance(20) ? in_ + "/." : in_;
  }
  std::vector<std::string> targets;  // the user's files in the output folder
  for (const auto& [p, state] : planted_) {
    const std::string rel = fs::path(p).lexically_relative(out_).string();
    if (rel.rfind("..", 0) != 0 && p != out_ + "/sub") targets.push_back(p);
  }
  if (targets.empty()) return;
  for (int n = 1 + pick(4); n > 0; --n) {
    const std::string target = targets[pick(targets.size())];
    const bool planned = chance(35);
    const int how = record.entries.empty() ? 0 : pick(3);
    const std::string rel = fs::path(target).lexically_relative(out_).string();
    if (record.ownerOf(rel)) continue;
    if (how == 0) {
      // An entry whose picture would have made a file of that name.
      const fs::path t(rel);
      std::string base = t.filename().string(), ext = t.extension().string();
      FileRole role = FileRole::Thumb;
      for (const auto& [tag, r] : {std::pair<std::string, FileRole>{"@2x.", FileRole::Thumb2x},
                                   {"@3x.", FileRole::Thumb3x},
                                   {"@web.", FileRole::Web}}) {
        if (base.find(tag) != std::string::npos) {
          role = r;
          base = base.substr(0, base.find(tag));
          ext = anyOf({".jpg", ".png"});
        }
      }
      if (role == FileRole::Thumb) base = t.stem().string();
      // Mostly a prefix the name does begin with: another picture's thumbnail.
      std::vector<std::string> cuts;
      for (const std::string& cut : {prefix_, otherPrefix_, std::string("I")})
        if (!cut.empty() && base.rfind(cut, 0) == 0 && base.size() > cut.size())
          cuts.push_back(cut);
      if (!cuts.empty() && chance(85)) base = base.substr(anyOf(cuts).size());
      RecordEntry e;
      e.picture =
          chance(25) && !pictures_.empty()
              ? pictures_[pick(pictures_.size())]
              : (t.parent_path().empty() ? "" : t.parent_path().string() + "/") + base + ext;
      if (record.find(e.picture)) continue;
      struct stat st;
      if (lstat((in_ + "/" + e.picture).c_str(), &st) == 0 && chance(70))
        e.source = stampOf(st);
      else
        e.source = {std::uint64_t(1 + pick(5000)), 1700000000000000000};
      e.width = 40;
      e.height = 30;
      e.files.push_back(recorded(target, role, planned));
      story_ += "; forged " + e.picture + " -> " + rel + (planned ? " (planned)" : "");
      record.entries.push_back(e);
    } else if (how == 1) {
      RecordEntry& e = record.entries[pick(record.entries.size())];
      if (e.files.empty()) continue;
      RecordedFile& f = e.files[pick(e.files.size())];
      f = recorded(target, f.role, planned);
      story_ += "; edited " + e.picture + " -> " + rel + (planned ? " (planned)" : "");
    } else {
      RecordEntry& e = record.entries[pick(record.entries.size())];
      const std::string gone = "gone" + std::to_string(pick(1000)) + ".jpg";
      if (record.find(gone)) continue;
      story_ += "; " + e.picture + " renamed to " + gone;
      e.picture = gone;
    }
    record.reindex();
  }
  writeFile(path, record.text());
}

std::vector<std::string> Round::switches() {
  std::vector<std::string> a;
  const std::string size = std::to_string(16 + 4 * pick(2));
  switch (pick(3)) {
    case 0: a = {"/h" + size}; break;
    case 1: a = {"/w" + size}; break;
    default:
      a = {"/h" + size, "/w24"};
      if (chance(50)) a.push_back("/scale");
  }
  for (const auto& [s, percent] : {std::pair<std::string, int>{"/s", 40}, {"/t", 15}, {"/r", 15}})
    if (chance(percent)) a.push_back(s);
  const int overwrite = pick(3);
  if (overwrite < 2) a.push_back(overwrite ? "/g" : "/o");
  a.push_back("/p" + (chance(80) ? prefix_ : otherPrefix_));
  if (chance(60)) {
    a.push_back("/i" + anyOf({"Grid.tpl", "Albums.tpl", "Filmstrip2.tpl", "Table.tpl"}));
    if (chance(15)) a.push_back("/n");
  }
  a.push_back(in_);
  a.push_back(out_);
  return a;
}

void Round::check(const std::vector<std::string>& args, const RunResult& r) {
  std::string run;
  for (const auto& a : args) run += " " + (a.rfind(root_, 0) == 0 ? shown(a) : a);
  const std::string context = "seed " + std::to_string(seed_) + ", run" + run + "\n  " + story_;
  auto fail = [&](const std::string& what) {
    failures.push_back(context + "\n  " + what + "\n" + r.out + r.err);
  };
  if (r.exitCode < 0 || r.exitCode > 6) fail("exit code " + std::to_string(r.exitCode));
  const bool overwrite = std::find(args.begin(), args.end(), "/o") != args.end();
  const bool subfolders = std::find(args.begin(), args.end(), "/s") != args.end();
  const std::string prefix = std::find_if(args.begin(), args.end(), [](const std::string& a) {
                               return a.rfind("/p", 0) == 0;
                             })->substr(2);
  for (auto it = planted_.begin(); it != planted_.end();) {
    const std::string path = it->first, was = it->second, now = stateOf(path);
    ++it;
    if (now == was) continue;
    const fs::path p(path);
    const std::string dir = p.parent_path().string(), name = p.filename().string();
    std::string keptAs;
    if (dir == out_ && isPageOrAsset(name))
      for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find(".before-") != std::string::npos &&
            stateOf(e.path().string()) == was)
          keptAs = e.path().string();
    // With /o a file that is not ours at a thumbnail's own name, or a
    // thumbnail the user wrote over, may go, unless it is a picture of the
    // input.
    bool mayGo = overwrite && out_ != in_ && edited_.count(path) && !isPageOrAsset(name) &&
                 name.find('@') == std::string::npos && name.rfind(prefix, 0) == 0;
    for (const auto& pic : pictures_) {
      const fs::path q(pic);
      if (!q.parent_path().empty() && !subfolders) continue;
      const std::string thumb =
          out_ + "/" + (q.parent_path().empty() ? "" : "sub/") + prefix + q.filename().string();
      mayGo = mayGo || (overwrite && out_ != in_ && path == thumb);
    }
    planted_.erase(path);
    if (!keptAs.empty())
      planted_[keptAs] = was;
    else if (!mayGo)
      fail(shown(path) + (now.empty() ? " is gone" : " was replaced"));
  }
  const auto outside = statesUnder(outside_);
  if (outside != outsideStates_) {
    std::string changed;
    for (const auto& [path, state] : outside)
      if (outsideStates_[path] != state) changed += " " + shown(path);
    fail("outside changed:" + changed);
    outsideStates_ = outside;
  }
}

void Round::play() {
  buildTree();
  for (auto& [path, state] : planted_) state = stateOf(path);
  outsideStates_ = statesUnder(outside_);
  const bool earlier = chance(50);
  if (earlier) {
    const auto args = switches();
    check(args, runGenerator(args));
    story_ += "; earlier run";
    // The user edits a file the run made.
    std::vector<std::string> made;
    for (const auto& e : fs::directory_iterator(out_))
      if (e.is_regular_file() && !planted_.count(e.path().string()) &&
          e.path().filename().string()[0] != '.')
        made.push_back(e.path().string());
    if (!made.empty() && chance(30)) {
      const std::string edited = made[pick(made.size())];
      userFile(edited, "edited by the user");
      planted_[edited] = stateOf(edited);
      edited_.insert(edited);
      story_ += "; user edited " + shown(edited);
    }
  }
  if (!earlier || chance(70)) tamperRecord();
  for (int runs = 1 + pick(3); runs > 0; --runs) {
    const auto args = switches();
    check(args, runGenerator(args));
    if (!pictures_.empty() && chance(30)) {
      const std::size_t i = pick(pictures_.size());
      fs::remove(in_ + "/" + pictures_[i]);
      planted_.erase(in_ + "/" + pictures_[i]);
      story_ += "; deleted " + pictures_[i];
      pictures_.erase(pictures_.begin() + i);
    }
  }
}

unsigned envNumber(const char* name, unsigned otherwise) {
  const char* v = std::getenv(name);
  return v && *v ? unsigned(std::strtoul(v, nullptr, 10)) : otherwise;
}

// The short form plays the same rounds every time (a failure in the test
// command is one to mend, not luck); the long one new ones unless told.
void playRounds(unsigned rounds, unsigned seed) {
  const unsigned first = envNumber("VIGNETOR_OWNERSHIP_SEED", seed);
  int failed = 0;
  for (unsigned i = 0; i < rounds; ++i) {
    TempDir root;
    Round round(first + i, root.path());
    round.play();
    failed += !round.failures.empty();
    for (const auto& f : round.failures) ADD_FAILURE() << f;
  }
  std::cout << rounds << " rounds from seed " << first << ", " << failed << " failed\n";
}

TEST(OwnershipFuzz, RunsChangeOnlyTheirOwnFiles) { playRounds(25, 5000); }

TEST(OwnershipFuzz, LongRunsChangeOnlyTheirOwnFiles) {
  const unsigned rounds = envNumber("VIGNETOR_OWNERSHIP_ROUNDS", 0);
  if (rounds == 0) GTEST_SKIP() << "set VIGNETOR_OWNERSHIP_ROUNDS to run it";
  playRounds(rounds, std::random_device()());
}

}  // namespace
