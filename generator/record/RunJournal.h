// Every file a run writes is recorded as it lands, whatever becomes of the
// run: a line in `.vignetor-journal` beside the record, signed with the
// user's RecordKey. The room for every line is taken before the first file
// is written, so that a disk that fills during the run cannot keep a file
// out of it; a run that cannot take the room writes nothing. The next run
// folds the lines into the record it reads (a run killed before it wrote
// its record loses no file to "someone else's"); a run that wrote its
// record removes the journal.
//
//   written <picture> <role> <name> <settings> <width> <height> <bytes>
//           <mtime ns> <sha256> <mac>                   (one line)
//   page <name> <bytes> <mtime ns> <sha256> <mac>
#ifndef WV_GENERATOR_RUNJOURNAL_H
#define WV_GENERATOR_RUNJOURNAL_H

#include "generator/record/RecordKey.h"
#include "generator/record/RunRecord.h"

#include <cstdint>
#include <mutex>
#include <string>

constexpr char kJournalName[] = ".vignetor-journal";

class RunJournal {
 public:
  RunJournal() = default;
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // The journal of `outDir`, emptied, with `room` bytes taken for its
  // lines. False with `error` set when the room cannot be had. Without a
  // usable key there is no journal (nothing would verify) and this is true.
  bool open(const std::string& outDir, const RecordKey& key, std::uint64_t room,
            std::string& error);

  // The bytes a line for this file takes at the most.
  static std::uint64_t roomFor(const std::string& picture, const std::string& name,
                               const std::string& settings);

  // One file just written from `picture` (empty for a page or an asset).
  void add(const std::string& picture, const RecordedFile& file);

  // After the record that holds every line was written.
  void remove();

  // Folds the journal of `outDir` into `record`, which must have verified;
  // lines that do not verify are passed over. Returns how many were taken.
  static std::size_t foldInto(const std::string& outDir, const RecordKey& key, RunRecord& record);

 private:
  std::mutex mutex_;
  const RecordKey* key_ = nullptr;
  std::string path_;
  int fd_ = -1;
  std::uint64_t at_ = 0;
};

#endif
