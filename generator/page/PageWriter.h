// The page phase of a run: every picture's Outcome becomes a
// GalleryPicture; the pages and the viewer's data are written into a
// hidden folder and moved into place one after the other, with the
// template's assets. A page or asset that is not ours is first kept aside
// (index.before-DATE.html), and each one written is recorded as ours.
#ifndef WV_GENERATOR_PAGEWRITER_H
#define WV_GENERATOR_PAGEWRITER_H

#include "contract/ExitCode.h"
#include "generator/files/OutputFile.h"
#include "generator/files/OutputFolder.h"
#include "generator/page/GalleryPage.h"
#include "generator/record/Outcome.h"
#include "generator/record/PictureFile.h"
#include "generator/record/RunJournal.h"
#include "generator/record/RunPlan.h"
#include "generator/record/RunRecord.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

// The files [gallery] assets names: name, bytes as read at the start.
using PageAssets = std::vector<std::pair<std::string, std::string>>;

// Reads the files `settings` names in [gallery] assets, before any work is
// done: beside the template (`templateDir`), or else beside the program
// (`programDir`), where the viewer's files lie. False with `error` set
// when one cannot be read.
bool readPageAssets(const GallerySettings& settings, const std::string& templateDir,
                    const std::string& programDir, PageAssets& assets, std::string& error);

class PageWriter {
 public:
  struct Setup {
    const OutputFolder& out;  // the output folder, open: all is written below it
    const std::string& outDir;
    const std::string& templateName;  // for what is said of it
    bool subfolders;                  // /s
    const PageAssets& assets;
    // The pictures of the input tree: never replaced by an asset.
    const std::set<RunPlanner::Identity>& inputPictures;
    RunJournal& journal;
    // The pages and assets that are ours, as the record has them; each
    // page or asset this run writes or finds as it would write it is
    // added.
    std::vector<RecordedFile>& pages;
  };

  PageWriter(const Setup& setup, GalleryPage& page) : setup_(setup), page_(page) {}

  // `pictures`: every picture of the run as the scan found it; `outcomes`
  // what the run did with each. Those on the page are arranged, and the
  // pages written.
  ExitCode write(const std::vector<Picture>& pictures, const std::vector<Outcome>& outcomes);

 private:
  // Writes the data script and the pages into `staged`; their names, in
  // the order they are to take their places, go to `names`.
  ExitCode stage(const StagedFiles& staged, std::vector<std::string>& names);
  // The albums' ZIPs ([gallery] zip=yes), each made again only when what
  // it holds changed, before the pages that link them; their names go to
  // `names`. A ZIP that cannot be made is said, and its link left empty.
  ExitCode writeZips(std::vector<std::string>& names);
  // `pages`: the files of the pages this run writes.
  ExitCode copyAssets(const std::vector<Outcome>& outcomes, const std::vector<std::string>& pages);
  // A page or asset about to be written over `name`: what stands there is
  // moved aside unless it is ours (as the record has it) or the same bytes
  // as the file `newFile`; false with a line said when it cannot be.
  bool makeWayFor(const std::string& name, const std::string& newFile);
  void ownPage(const std::string& name);

  Setup setup_;
  GalleryPage& page_;
};

#endif
