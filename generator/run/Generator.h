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

#include "generator/cli/Arguments.h"
#include "generator/cli/ExitCode.h"
#include "generator/page/GalleryPage.h"
#include "generator/picture/Thumbnailer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct Picture {
  std::string subfolder;  // under the input directory, '/' separated, "" at the top
  std::string name;
  std::string path;
  std::uint64_t device = 0, inode = 0, bytes = 0;
  std::string error;  // why it cannot be read at all (a link to nowhere, a FIFO), else empty
  std::int64_t mtimeNs = 0;
};

class Generator {
 public:
  // `programDir` is where the templates lie.
  Generator(Arguments args, std::string programDir);
  ~Generator();

  ExitCode run();

 private:
  struct Outcome;

  bool scan();
  void scanFolder(const std::string& subfolder);
  void work(std::vector<Outcome>& outcomes);
  // The next picture to make: the largest left, or the smallest.
  bool take(bool largest, std::size_t& index);
  void process(std::size_t index, Outcome& outcome);
  bool writeExtras(std::size_t index, const MadePicture& picture, Outcome& outcome,
                   std::string& error);
  void keptExtras(std::size_t index, Outcome& outcome);
  void plan();
  // Writes the run record: before the work (`outcomes` null) with the
  // names about to be written, after it with what was made.
  bool recordRun(const std::vector<Outcome>* outcomes);
  ExitCode writePage(const std::vector<Outcome>& outcomes);
  ExitCode copyAssets();
  std::string assetPath(const std::string& name) const;

  Arguments args_;
  std::string programDir_;
  std::string templateDir_;  // where the template was found
  std::string inDir_, outDir_;
  bool haveOutId_ = false;
  std::uint64_t outDevice_ = 0, outInode_ = 0;  // the output folder, to leave it out of the scan
  std::vector<Picture> pictures_;
  std::unique_ptr<GalleryPage> page_;
  struct Shared;
  std::unique_ptr<Shared> shared_;
};

#endif
