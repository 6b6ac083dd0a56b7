// One run of the generator: find the pictures, make their thumbnails with a
// pool of workers and write index.html.
//
// Every lock and wait of a run, in the order they may be taken:
//
// 1. The output folder's lock (OutputLock): taken by the main thread before
//    the workers start, held to the end of the run.
// 2. The decode budget (DecodeBudget): a worker waits for room for one
//    picture's decode (or its transparent WebP coding) holding no ticket and
//    being inside no libvips attempt. While it waits it may make smaller
//    pictures meanwhile; their own waits for room hold nothing of the
//    waiting picture. A worker never holds two tickets.
// 3. The libvips error gate (withOwnVipsErrors): attempts run side by side;
//    one that failed is retried alone once the others have ended. An
//    attempt waits for nothing but libvips: no attempt inside an attempt,
//    no wait for the budget inside one (both throw std::logic_error). So a
//    retry waits only for attempts that end by themselves, and those wait
//    only for a retry, which holds no other thread up.
// 4. Short locks: the work queue, the console, the tidied folders, the first
//    failure, and the inner locks of the budget and the gate. Each is held
//    for a few statements and never while waiting for anything else.
//
// Taken in the order 1, 2, 3 and never the other way, no worker can wait
// for itself or for a worker that waits for it, whatever fails.
#ifndef WV_GENERATOR_GENERATOR_H
#define WV_GENERATOR_GENERATOR_H

#include "contract/Arguments.h"
#include "contract/ExitCode.h"
#include "contract/Progress.h"
#include "generator/page/GalleryPage.h"
#include "generator/record/Outcome.h"
#include "generator/run/Scan.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One run, phase by phase (see run()).
class Generator {
 public:
  // `programDir` is where the templates lie.
  Generator(Arguments args, std::string programDir);
  ~Generator();

  ExitCode run();

 private:
  struct State;
  struct Tally : RunCounts {
    std::size_t decoded = 0, headersRead = 0;
  };

  // The phases, in the order run() takes them.
  ExitCode checkInputFolder() const;
  ExitCode openTemplate();      // the page and its assets, when a template is named
  ExitCode makeOutputFolder();  // and opens it for the run
  void readRecord();
  bool scan();         // false when a folder could not be read
  void checkRecord();  // drops what the record may not claim, said on the console
  void prepareThumbnails();
  void plan();
  std::vector<Outcome> makeAll(Tally& tally);
  // The pages (PageWriter), timed for VIGNETOR_STATS.
  ExitCode writePage(const std::vector<Outcome>& outcomes);
  // Writes the run record: before the work (`outcomes` null) with the
  // names about to be written, after it with what was made.
  // After the work, also the pages written (with /k only those).
  bool recordRun(const std::vector<Outcome>* outcomes);
  bool recordPages();
  bool saveRecord(const RunRecord& next);

  Arguments args_;
  std::string programDir_;
  std::string templateDir_;  // where the template was found
  std::string inDir_, outDir_;
  std::vector<Picture> pictures_;
  std::unique_ptr<GalleryPage> page_;
  std::unique_ptr<State> state_;
};

#endif
