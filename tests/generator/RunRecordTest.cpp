#include "generator/record/RecordCheck.h"
#include "generator/record/RecordKey.h"
#include "generator/record/RecordUpdate.h"
#include "generator/record/RunPlan.h"
#include "generator/record/RunRecord.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

RunRecord sample() {
  RunRecord r;
  r.inputDir = "/home/me/my pictures";
  RecordEntry e;
  e.picture = "sub dir/100%\tsure\n.jpg";
  e.source = {123456, 1700000000123456789};
  e.width = 4000;
  e.height = 3000;
  RecordedFile thumb;
  thumb.role = FileRole::Thumb;
  thumb.name = "sub dir/T100%\tsure\n.jpg";
  thumb.settings = "x100,q85,r1,jpg";
  thumb.width = 133;
  thumb.height = 100;
  thumb.stamp = {5000, -5};
  thumb.sha256 = std::string(64, 'a');
  e.files.push_back(thumb);
  RecordedFile web = thumb;
  web.role = FileRole::Web;
  web.name = "";  // none needed
  e.files.push_back(web);
  RecordedFile planned;
  planned.role = FileRole::Thumb2x;
  planned.name = "-";
  planned.planned = true;
  e.files.push_back(planned);
  e.info["caption"] = "Two  words\nand a line";
  r.entries.push_back(e);
  RecordEntry other;
  other.picture = "-";
  r.entries.push_back(other);
  return r;
}

TEST(RunRecord, ReadsBackWhatItWritesWhateverTheNames) {
  TempDir settings;
  const RecordKey key = RecordKey::fromFile(settings / "key");
  RunRecord written = sample();
  written.key = &key;
  std::string text = written.text();
  // One line per fact: no name can break a line or a field.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 12) << text;
  RunRecord read;
  read.key = &key;
  std::string problem;
  ASSERT_EQ(read.parse(text, written.inputDir, problem), RunRecord::Trusted) << problem;
  EXPECT_TRUE(read.verified);
  EXPECT_EQ(read.text(), text);

  // Without the key that signed it (another user's, or none), or changed in
  // one byte, it is read the same, but none of its files is vouched for.
  TempDir elsewhere;
  const RecordKey other = RecordKey::fromFile(elsewhere / "key");
  std::string changed = text;
  changed[changed.find("4000")] = '5';
  for (const auto& [reader, what] : {std::make_pair(&other, text), std::make_pair(&key, changed),
                                     std::make_pair<const RecordKey*>(nullptr, text)}) {
    RunRecord hint;
    hint.key = reader;
    ASSERT_EQ(hint.parse(what, written.inputDir, problem), RunRecord::Trusted) << problem;
    EXPECT_FALSE(hint.verified);
    EXPECT_TRUE(hint.entries[1].files[0].found);
  }
  ASSERT_EQ(read.entries.size(), 2u);
  const RecordEntry* e = read.find("sub dir/100%\tsure\n.jpg");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->source, (FileStamp{123456, 1700000000123456789}));
  EXPECT_EQ(e->file(FileRole::Thumb)->stamp.mtimeNs, -5);
  EXPECT_EQ(e->file(FileRole::Web)->name, "");
  EXPECT_TRUE(e->file(FileRole::Thumb2x)->planned);
  EXPECT_EQ(e->info.at("caption"), "Two  words\nand a line");
  EXPECT_EQ(read.ownerOf("sub dir/T100%\tsure\n.jpg"), e);
  EXPECT_EQ(read.ownerOf("-"), e);
  EXPECT_NE(read.find("-"), nullptr);
}

TEST(RunRecord, RefusesWhatItCannotVouchFor) {
  const std::string good = sample().text();
  std::string problem;
  RunRecord r;
  EXPECT_EQ(r.parse(good, "/home/me/other", problem), RunRecord::OtherInput);
  EXPECT_TRUE(r.entries.empty());
  std::string newer = good;
  newer.replace(newer.find("vignetor-record 2"), 17, "vignetor-record 3");
  EXPECT_EQ(r.parse(newer, "/home/me/my pictures", problem), RunRecord::Newer);

  const std::string head = "vignetor-record 1\ninput /in\n";
  const std::string hash(64, '0');
  const char* damaged[] = {
      "picture a.jpg 1 2 3\n",                           // a field short
      "picture a.jpg x 2 3 4\n",                         // not a number
      "picture ../a.jpg 1 2 3 4\n",                      // outside the folder
      "picture /etc/a.jpg 1 2 3 4\n",                    // absolute
      "picture a.jpg 1 2 3 4\npicture a.jpg 1 2 3 4\n",  // twice
      "picture a%2.jpg 1 2 3 4\n",                       // bad escape
      " file thumb Ta.jpg s 1 1 1 1 h\n",                // no picture before
      "picture a.jpg 1 2 3 4\n file thumb sub/../../x s 1 1 1 1 h\n",
      "picture a.jpg 1 2 3 4\n file thumb a//b s 1 1 1 1 h\n",
      "picture a.jpg 1 2 3 4\n file thumb Ta.jpg s 1 1 1 1 nothash\n",
      "picture a.jpg 1 2 3 4\n frobnicate\n",
      "picture a.jpg 1 -9223372036854775808 3 4\n",  // a time beyond int64_t
      "picture a.jpg 1 9223372036854775808 3 4\n",
  };
  for (const char* tail : damaged) {
    std::string text = head + tail;
    for (auto pos = text.find(" h\n"); pos != std::string::npos; pos = text.find(" h\n"))
      text.replace(pos + 1, 1, hash);
    problem.clear();
    EXPECT_EQ(r.parse(text, "/in", problem), RunRecord::Damaged) << tail;
    EXPECT_FALSE(problem.empty()) << tail;
    EXPECT_TRUE(r.entries.empty()) << tail;
  }
  // Two pictures claiming one file.
  std::string twice = head + "picture a.jpg 1 2 3 4\n file thumb T.jpg s 1 1 1 1 " + hash +
                      "\npicture b.jpg 1 2 3 4\n file thumb T.jpg s 1 1 1 1 " + hash + "\n";
  EXPECT_EQ(r.parse(twice, "/in", problem), RunRecord::Damaged);
  EXPECT_EQ(r.parse(head + "# a comment\n\n", "/in", problem), RunRecord::Trusted);
}

// Facts are cut as captions are, a long run of bytes that are no UTF-8 (as
// IPTC text without its character set has them) too: to 2,000 bytes, not to
// nothing, so that what was written reads back.
TEST(RunRecord, LongFactsAreCutAndReadBack) {
  RunRecord written;
  written.inputDir = "/in";
  RecordEntry e;
  e.picture = "a.jpg";
  e.info[std::string(2500, '\x80')] = std::string(2500, '\xa0');
  written.entries.push_back(e);
  std::string problem;
  RunRecord read;
  ASSERT_EQ(read.parse(written.text(), "/in", problem), RunRecord::Trusted) << problem;
  ASSERT_EQ(read.entries.size(), 1u);
  const std::map<std::string, std::string> cut = {
      {std::string(2000, '\x80'), std::string(2000, '\xa0')}};
  EXPECT_EQ(read.entries[0].info, cut);
  RunRecord again;
  ASSERT_EQ(again.parse(read.text(), "/in", problem), RunRecord::Trusted) << problem;
  EXPECT_EQ(again.entries[0].info, cut);
}

TEST(RunRecord, FilesAreUnchangedByContentsNotByTime) {
  TempDir dir;
  const std::string path = dir / "T.jpg";
  std::ofstream(path) << "thumbnail bytes";
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  RecordedFile f;
  f.stamp = stampOf(st);
  f.sha256 = sha256Of("thumbnail bytes");
  EXPECT_EQ(checkFile(path, f), FileState::Unchanged);

  // Copied back with another time: still ours, and the new time is taken.
  RecordedFile touched = f;
  touched.stamp.mtimeNs -= 1000000000;
  EXPECT_EQ(checkFile(path, touched), FileState::Unchanged);
  EXPECT_EQ(touched.stamp, f.stamp);
  // Same size, other bytes.
  RecordedFile other = f;
  other.stamp.mtimeNs -= 1;
  other.sha256 = sha256Of("thumbnail BYTES");
  EXPECT_EQ(checkFile(path, other), FileState::Changed);
  RecordedFile longer = f;
  longer.stamp.bytes += 1;
  EXPECT_EQ(checkFile(path, longer), FileState::Changed);
  RecordedFile planned;
  planned.planned = true;
  EXPECT_EQ(checkFile(path, planned), FileState::Unverified);
  EXPECT_EQ(checkFile(dir / "none.jpg", f), FileState::Missing);
}

TEST(RunRecord, SavesOnlyWhatChanged) {
  TempDir dir, settings;
  const RecordKey key = RecordKey::fromFile(settings / "key");
  RunRecord r = sample();
  r.key = &key;
  std::string last, error;
  ASSERT_TRUE(r.save(dir.path(), last, error)) << error;
  const std::string path = dir / kRecordName;
  struct stat first;
  ASSERT_EQ(stat(path.c_str(), &first), 0);
  ASSERT_TRUE(r.save(dir.path(), last, error));
  struct stat second;
  ASSERT_EQ(stat(path.c_str(), &second), 0);
  EXPECT_EQ(first.st_ino, second.st_ino);  // not written again

  RunRecord loaded;
  loaded.key = &key;
  std::string problem;
  EXPECT_EQ(loaded.load(dir.path(), r.inputDir, problem), RunRecord::Trusted) << problem;
  EXPECT_EQ(loaded.loadedDigest, last);
  EXPECT_EQ(loaded.load(dir / "nowhere", r.inputDir, problem), RunRecord::Missing);
}

TEST(RunPlan, KnowsItsNumberedNames) {
  EXPECT_TRUE(isNameFor("Ta.jpg", "Ta.jpg"));
  EXPECT_TRUE(isNameFor("Ta_1.jpg", "Ta.jpg"));
  EXPECT_TRUE(isNameFor("sub/Ta_12.jpg", "sub/Ta.jpg"));
  EXPECT_TRUE(isNameFor("Ta.tif_3.jpg", "Ta.tif.jpg"));
  EXPECT_TRUE(isNameFor("README_2", "README"));
  for (const char* other : {"Ta_.jpg", "Ta_01.jpg", "Ta_x.jpg", "Tb_1.jpg", "Ta_1.png",
                            "other/Ta_1.jpg", "Ta_1_1.jpg", "Ta.jpg_1"})
    EXPECT_FALSE(isNameFor(other, "Ta.jpg")) << other;
  EXPECT_FALSE(isNameFor("Ta_1.jpg", "sub/Ta.jpg"));
}

TEST(RunRecord, PathsStayInsideTheirFolder) {
  for (const char* good : {"a.jpg", "sub/a.jpg", "..a", "a..", "sub/.hidden"})
    EXPECT_TRUE(isInsidePath(good)) << good;
  for (const char* bad : {"", "/a.jpg", "../a.jpg", "sub/../../a", "a/./b", "a//b", "a/", "."})
    EXPECT_FALSE(isInsidePath(bad)) << bad;
  std::string text;
  for (const char* field : {"%", "%4", "%G0", "a%zz"}) EXPECT_FALSE(unescapeField(field, text));

  // A file of ours is removed through real folders only: a folder replaced
  // by a link to another place leads out of the output folder.
  TempDir out, elsewhere;
  ASSERT_EQ(mkdir((out / "real").c_str(), 0755), 0);
  ASSERT_EQ(symlink(elsewhere.path().c_str(), (out / "linked").c_str()), 0);
  for (const std::string& dir : {out / "real", elsewhere.path()})
    std::ofstream(dir + "/Ta.jpg") << "thumbnail";
  EXPECT_FALSE(removeOwnFile(out.path(), "linked/Ta.jpg"));
  EXPECT_EQ(access((elsewhere / "Ta.jpg").c_str(), F_OK), 0);
  EXPECT_TRUE(removeOwnFile(out.path(), "real/Ta.jpg"));
  EXPECT_NE(access((out / "real/Ta.jpg").c_str(), F_OK), 0);
}

}  // namespace

namespace {

// A folder with a picture's thumbnail and web-sized picture as an earlier
// run left them, and the record of it.
class Planning : public ::testing::Test {
 protected:
  void SetUp() override {
    args.uniqueNames = true;
    args.prefix = "T";
    record.inputDir = "/in";
    RecordEntry e;
    e.picture = "a.jpg";
    e.source = {100, 7};
    e.files.push_back(write(FileRole::Thumb, "Ta.jpg", "thumb bytes"));
    e.files.push_back(write(FileRole::Web, "Ta.web.jpg", "web bytes"));
    record.entries.push_back(e);
    record.key = &key;
    std::string problem;
    ASSERT_EQ(record.parse(record.text(), "/in", problem), RunRecord::Trusted) << problem;
    ASSERT_TRUE(record.verified);
    picture.name = "a.jpg";
    picture.bytes = 100;
    picture.mtimeNs = 7;
    picture.device = 1;
    picture.inode = 1;
  }
  RecordedFile write(FileRole role, const std::string& name, const std::string& data) {
    std::ofstream(out / name) << data;
    return writtenFile(out.path(), role, name, "s", data, 1, 1);
  }
  PicturePlan plan(std::vector<WantedFile> extras = {web()}) {
    RunPlanner planner(args, out.path(), record, true, {}, {});
    return planner.plan(picture, "s", extras);
  }
  static WantedFile web() { return {FileRole::Web, "web-sized picture", "Ta.web.jpg", "s"}; }

  TempDir out, settings;
  RecordKey key = RecordKey::fromFile(settings / "key");
  Arguments args;
  RunRecord record;
  Picture picture;
};

TEST_F(Planning, KeepsOnlyWhenEveryFileIsUpToDate) {
  PicturePlan p = plan();
  EXPECT_EQ(p.action, PicturePlan::Keep);
  EXPECT_EQ(p.thumb, "Ta.jpg");
  ASSERT_EQ(p.extras.size(), 1u);
  EXPECT_EQ(p.extras[0].name, "Ta.web.jpg");

  WantedFile larger = web();
  larger.settings = "other";
  p = plan({larger});
  EXPECT_EQ(p.action, PicturePlan::Make);
  EXPECT_EQ(p.why, "settings changed");
  EXPECT_TRUE(p.replace);
  ASSERT_EQ(p.extras.size(), 1u);
  EXPECT_EQ(p.extras[0].name, "Ta.web.jpg");
  EXPECT_TRUE(p.extras[0].replace);

  p = plan({web(), {FileRole::Thumb2x, "2x thumbnail", "Ta@2x.jpg", "s"}});
  EXPECT_EQ(p.action, PicturePlan::Make);
  EXPECT_EQ(p.why, "2x thumbnail missing");
  ASSERT_EQ(p.extras.size(), 2u);
  EXPECT_EQ(p.extras[1].name, "Ta@2x.jpg");
}

TEST_F(Planning, EachFileKeepsItsNameOrFindsAFreeOne) {
  std::remove((out / "Ta.web.jpg").c_str());
  PicturePlan p = plan();
  EXPECT_EQ(p.action, PicturePlan::Make);
  EXPECT_EQ(p.why, "web-sized picture deleted");
  EXPECT_EQ(p.thumb, "Ta.jpg");
  ASSERT_EQ(p.extras.size(), 1u);
  EXPECT_EQ(p.extras[0].name, "Ta.web.jpg");
  EXPECT_FALSE(p.extras[0].replace);

  // Someone else's file where it goes: with /g the next free name.
  std::ofstream(out / "Ta.web.jpg") << "theirs";
  p = plan();
  EXPECT_EQ(p.why, "web-sized picture changed since it was made");
  ASSERT_EQ(p.extras.size(), 1u);
  EXPECT_EQ(p.extras[0].name, "Ta.web_1.jpg");
  EXPECT_EQ(p.leftBehind, "Ta.web.jpg");
}

// What stands under a name only planned, or named by a record this user's
// runs did not write, is never replaced: the new file takes a free name.
TEST_F(Planning, NamesOnlyPlannedOrFoundAreNeverReplaced) {
  const RunRecord verified = record;
  record.entries[0].files[0].planned = true;
  std::string problem;
  ASSERT_EQ(record.parse(record.text(), "/in", problem), RunRecord::Trusted) << problem;
  PicturePlan p = plan();
  EXPECT_EQ(p.action, PicturePlan::Make);
  EXPECT_EQ(p.thumb, "Ta_1.jpg");
  EXPECT_FALSE(p.replace);

  // A record without this user's digest: kept while its bytes are as it
  // says, but a file to be made again goes beside what stands there.
  record = verified;
  record.key = nullptr;
  ASSERT_EQ(record.parse(verified.text(), "/in", problem), RunRecord::Trusted) << problem;
  ASSERT_FALSE(record.verified);
  EXPECT_EQ(plan().action, PicturePlan::Keep);
  WantedFile larger = web();
  larger.settings = "other";
  p = plan({larger});
  EXPECT_EQ(p.action, PicturePlan::Make);
  EXPECT_EQ(p.extras[0].name, "Ta.web_1.jpg");
  EXPECT_FALSE(p.extras[0].replace);
  std::ofstream(out / "Ta.jpg") << "thumb BYTES";  // same size and, once touched back, time
  EXPECT_EQ(plan().action, PicturePlan::Make);

  record.entries[0].files[0].planned = true;
  std::remove((out / "Ta.jpg").c_str());
  p = plan();
  EXPECT_EQ(p.action, PicturePlan::Make);
  EXPECT_EQ(p.thumb, "Ta.jpg");
  EXPECT_FALSE(p.replace);
}

TEST_F(Planning, NoFileNeededStaysSoWhileNothingChanged) {
  record.entries[0].files[1].name.clear();
  std::string problem;
  ASSERT_EQ(record.parse(record.text(), "/in", problem), RunRecord::Trusted) << problem;
  std::remove((out / "Ta.web.jpg").c_str());
  PicturePlan p = plan();
  EXPECT_EQ(p.action, PicturePlan::Keep);
  ASSERT_EQ(p.extras.size(), 1u);
  EXPECT_EQ(p.extras[0].name, "");
  picture.mtimeNs = 8;
  p = plan();
  EXPECT_EQ(p.action, PicturePlan::Make);
  EXPECT_EQ(p.why, "picture changed");
  ASSERT_EQ(p.extras.size(), 1u);
  EXPECT_EQ(p.extras[0].name, "Ta.web.jpg");
  EXPECT_FALSE(p.extras[0].replace);
}

}  // namespace

namespace {

TEST_F(Planning, OverwriteConcernsTheThumbnailAlone) {
  args.uniqueNames = false;
  std::string problem;
  record.entries.clear();
  ASSERT_EQ(record.parse(record.text(), "/in", problem), RunRecord::Trusted) << problem;
  // Both files stand there, neither is ours.
  PicturePlan p = plan();
  EXPECT_EQ(p.action, PicturePlan::Make);
  EXPECT_EQ(p.thumb, "Ta.jpg");
  EXPECT_TRUE(p.replace);
  ASSERT_EQ(p.extras.size(), 1u);
  EXPECT_EQ(p.extras[0].name, "Ta.web_1.jpg");
  EXPECT_FALSE(p.extras[0].replace);
}

}  // namespace

namespace {

RecordedFile made(FileRole role, const std::string& name) {
  RecordedFile f;
  f.role = role;
  f.name = name;
  f.settings = "s";
  f.sha256 = std::string(64, 'b');
  return f;
}

}  // namespace

// The record after a run, alone: which entries stay, what is left behind.
TEST(RecordUpdate, KeepsWhatTheRunDidNotSeeAndLetsGoOfWhatIsGone) {
  TempDir in;
  std::fclose(std::fopen((in / "kept.jpg").c_str(), "w"));  // not looked at, still there
  RunRecord old;
  old.inputDir = in.path();
  for (const char* picture : {"kept.jpg", "gone.jpg", "made.jpg"}) {
    RecordEntry e;
    e.picture = picture;
    e.source = {1, 1};
    e.files.push_back(made(FileRole::Thumb, std::string("T") + picture));
    old.entries.push_back(e);
  }
  PicturePlan remake;
  remake.action = PicturePlan::Make;
  remake.thumb = "T_new.jpg";
  remake.entry = &old.entries[2];
  Picture madeAgain;
  madeAgain.name = "made.jpg";
  madeAgain.bytes = madeAgain.mtimeNs = 2;
  const std::vector<Picture> pictures{madeAgain};
  const std::vector<PicturePlan> plans{remake};

  std::vector<Leftover> leftovers;
  // Each record as the next run reads it.
  auto stored = [&in](const RunRecord& record) {
    RunRecord read;
    std::string problem;
    EXPECT_EQ(read.parse(record.text(), in.path(), problem), RunRecord::Trusted) << problem;
    return read;
  };
  RunRecord before =
      stored(updatedRecord(old, pictures, plans, nullptr, false, in.path(), leftovers));
  // Before the work: the new name is ours already, the gone picture's
  // files are not yet given up.
  ASSERT_NE(before.find("made.jpg"), nullptr);
  EXPECT_EQ(before.find("made.jpg")->file(FileRole::Thumb)->name, "T_new.jpg");
  EXPECT_TRUE(before.find("made.jpg")->file(FileRole::Thumb)->planned);
  EXPECT_NE(before.find("kept.jpg"), nullptr);
  EXPECT_EQ(before.find("gone.jpg"), nullptr);
  EXPECT_TRUE(leftovers.empty());

  std::vector<Outcome> outcomes(1);
  outcomes[0].state = Outcome::Remade;
  outcomes[0].made.push_back(made(FileRole::Thumb, "T_new.jpg"));
  // A picture that failed after its thumbnail was written (its web-sized
  // file found the disk full) keeps that thumbnail in the record.
  outcomes[0].state = Outcome::Failed;
  std::vector<Leftover> ignored;
  RunRecord failed =
      stored(updatedRecord(old, pictures, plans, &outcomes, false, in.path(), ignored));
  ASSERT_NE(failed.find("made.jpg"), nullptr);
  EXPECT_EQ(failed.find("made.jpg")->file(FileRole::Thumb)->name, "T_new.jpg");
  outcomes[0].state = Outcome::Remade;
  RunRecord after =
      stored(updatedRecord(old, pictures, plans, &outcomes, false, in.path(), leftovers));
  ASSERT_NE(after.find("made.jpg"), nullptr);
  EXPECT_EQ(after.find("made.jpg")->source, (FileStamp{2, 2}));
  EXPECT_FALSE(after.find("made.jpg")->file(FileRole::Thumb)->planned);
  EXPECT_NE(after.find("kept.jpg"), nullptr);
  EXPECT_EQ(after.find("gone.jpg"), nullptr);
  ASSERT_EQ(leftovers.size(), 2u);
  EXPECT_EQ(leftovers[0].file.name, "Tmade.jpg");
  EXPECT_EQ(leftovers[0].why, "replaced by T_new.jpg");
  EXPECT_EQ(leftovers[1].file.name, "Tgone.jpg");
  EXPECT_EQ(leftovers[1].why, "its picture gone.jpg is gone");
}
