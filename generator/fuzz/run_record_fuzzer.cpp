// The run record reader over any text, and a round trip: a record it reads,
// written again (as read, and as this user's runs would sign it), reads back
// the same and writes the same text again.
#include "fuzz/ScratchFolder.h"
#include "generator/record/RecordKey.h"
#include "generator/record/RunRecord.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const char kInput[] = "/in";

void check(bool ok) {
  if (!ok) std::abort();
}

const RecordKey& key() {
  static const RecordKey k = RecordKey::fromFile(scratchFolder() + "/record.key");
  return k;
}

bool sameFile(const RecordedFile& a, const RecordedFile& b) {
  return a.role == b.role && a.name == b.name && a.settings == b.settings && a.width == b.width &&
         a.height == b.height && a.planned == b.planned && a.found == b.found &&
         a.stamp == b.stamp && a.sha256 == b.sha256;
}

bool sameEntry(const RecordEntry& a, const RecordEntry& b) {
  return a.picture == b.picture && a.source == b.source && a.width == b.width &&
         a.height == b.height && a.info == b.info && a.files.size() == b.files.size() &&
         std::equal(a.files.begin(), a.files.end(), b.files.begin(), sameFile);
}

// `record` written and read back: the same record, and the same text.
void roundTrip(const RunRecord& record) {
  const std::string text = record.text();
  RunRecord again;
  again.key = &key();
  std::string problem;
  check(again.parse(text, kInput, problem) == RunRecord::Trusted);
  check(again.verified);
  check(again.text() == text);

  std::vector<const RecordEntry*> sorted;
  for (const auto& e : record.entries) sorted.push_back(&e);
  std::sort(sorted.begin(), sorted.end(),
            [](const RecordEntry* a, const RecordEntry* b) { return a->picture < b->picture; });
  check(again.entries.size() == sorted.size());
  for (std::size_t i = 0; i < sorted.size(); ++i) check(sameEntry(*sorted[i], again.entries[i]));
  // Pages of someone else's are not written.
  std::size_t kept = 0;
  for (const auto& p : record.pages) {
    if (p.found) continue;
    check(kept < again.pages.size() && sameFile(p, again.pages[kept]));
    ++kept;
  }
  check(kept == again.pages.size());
  for (const auto& e : again.entries) check(again.find(e.picture) == &e);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  makeScratchFolder("recfuzz");
  if (!key().usable()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  RunRecord record;
  record.key = &key();
  std::string problem;
  const RunRecord::Trust trust = record.parse(text, kInput, problem);
  if (trust != RunRecord::Trusted) {
    check(record.entries.empty() && !problem.empty());
    return 0;
  }
  // Forged text never verifies.
  check(!record.verified);
  for (const auto& e : record.entries) {
    check(isInsidePath(e.picture));
    for (const auto& f : e.files) check(f.found && (f.name.empty() || isInsidePath(f.name)));
  }
  roundTrip(record);

  // As this user's run would write it, once it made every file itself.
  for (auto& p : record.pages) p.found = false;
  for (auto& e : record.entries)
    for (auto& f : e.files) f.found = false;
  roundTrip(record);
  return 0;
}
