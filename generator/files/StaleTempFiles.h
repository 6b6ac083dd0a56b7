// What a killed run left: its temporary files, found and removed by a later
// run.
#ifndef WV_GENERATOR_STALETEMPFILES_H
#define WV_GENERATOR_STALETEMPFILES_H

#include "generator/files/OutputFolder.h"

#include <mutex>
#include <set>
#include <string>

// An empty temporary file whose lock is free is taken for a leftover only
// when it is older than this: its creator may not have locked it yet.
constexpr long kStaleEmptySeconds = 60;

// Removes the temporary files in `dir` that a run of ours left when it was
// killed: named like ours, and no process holds their lock. Returns how many.
// The hidden folder of a StagedFiles left so goes with the files in it.
int removeStaleTempFiles(const OutputFolder& dir);
int removeStaleTempFiles(const std::string& dir);

// removeStaleTempFiles once for each folder a run writes to (known by its
// path), whichever of its threads gets there first.
class StaleTempSweep {
 public:
  void sweep(const OutputFolder& dir);

 private:
  std::mutex mutex_;
  std::set<std::string> swept_;
};

#endif
