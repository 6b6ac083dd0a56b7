// What the run record becomes: before the work, with the names about to be
// written, and after it, with what was made, kept and left behind.
#ifndef WV_GENERATOR_RECORDUPDATE_H
#define WV_GENERATOR_RECORDUPDATE_H

#include "generator/record/Outcome.h"
#include "generator/record/RecordCheck.h"
#include "generator/record/RunPlan.h"
#include "generator/record/RunRecord.h"

#include <set>
#include <string>
#include <vector>

// A file of ours that the new record no longer names, and why.
struct Leftover {
  RecordedFile file;
  std::string why;
};

// The record after the work when `outcomes` (one per picture) is given;
// before it otherwise, naming the files about to be written, so that they
// are ours even if the run does not get to the end. `old` is the record the
// run started from; its entries of pictures this run did not look at stay,
// those of pictures gone from `inDir` are dropped. After the work, the
// files dropped or replaced under another name go to `leftovers`. With
// `captions`, what the page shows of each picture is kept for the next run.
// `plans` go with `pictures`, one each.
RunRecord updatedRecord(const RunRecord& old, const std::vector<Picture>& pictures,
                        const std::vector<PicturePlan>& plans, const std::vector<Outcome>* outcomes,
                        bool captions, const std::string& inDir, std::vector<Leftover>& leftovers);

// Removes each leftover still as it was made, its bytes compared (and
// tells so on the console); one changed since, or a picture of the input
// (`inputPictures`), is left where it is, with a line saying why.
void removeLeftovers(const std::string& outDir, const std::vector<Leftover>& leftovers,
                     const std::set<FileIdentity>& inputPictures = {});

#endif
