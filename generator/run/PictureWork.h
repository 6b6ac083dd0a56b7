// The work on one picture, as its plan says: its files made from one
// decode, kept or skipped, and one line on the console for it.
#ifndef WV_GENERATOR_PICTUREWORK_H
#define WV_GENERATOR_PICTUREWORK_H

#include "generator/files/OutputFile.h"
#include "generator/page/GalleryPage.h"
#include "generator/picture/Thumbnailer.h"
#include "generator/record/Outcome.h"
#include "generator/record/RunJournal.h"
#include "generator/record/RunPlan.h"
#include "generator/run/Scan.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// The display files the page's `settings` ask for.
DisplaySize displaySizeOf(const GallerySettings& settings);

class PictureWork {
 public:
  struct Setup {
    std::string outDir;
    const OutputFolder& outFolder;  // outDir, open: every file is written below it
    const Thumbnailer& thumbnailer;
    const GallerySettings* page;  // the page's wishes (2x, web, display sizes); null: no page
    std::string thumbSettings;    // what shapes a thumbnail besides the picture and format
    bool skipCreation;            // /n
    RunJournal* journal;          // told of every file as it lands
  };
  // Pictures and plans are those of the whole run, in the same order.
  PictureWork(const Setup& setup, const std::vector<Picture>& pictures,
              const std::vector<PicturePlan>& plans, StaleTempSweep& sweep);

  // Any thread, for any picture once.
  void process(std::size_t index, Outcome& outcome);

  // For measuring: pictures decoded, headers read.
  std::size_t decoded() const { return decoded_; }
  std::size_t headersRead() const { return headersRead_; }

 private:
  // `thumbFolder`: where the thumbnail went (the extras go beside it).
  // `webVideo`: a video's copy for the browser; null where it plays the video.
  bool writeExtras(std::size_t index, const MadePicture& picture, const Thumbnail* webVideo,
                   const OutputFolder& thumbFolder, Outcome& outcome, std::string& error);
  bool writeDownload(std::size_t index, const PlannedFile& f, const OutputFolder& thumbFolder,
                     Outcome& outcome, std::string& error);
  void keptExtras(std::size_t index, Outcome& outcome);
  void journalAhead(std::size_t index, FileRole role, const std::string& name,
                    const std::string& settings, const Thumbnail& file);

  const std::string outDir_;
  const OutputFolder& outFolder_;
  const Thumbnailer& thumbnailer_;
  const GallerySettings* page_;
  const std::string thumbSettings_;
  const bool skipCreation_;
  RunJournal* journal_;
  const std::vector<Picture>& pictures_;
  const std::vector<PicturePlan>& plans_;
  StaleTempSweep& sweep_;
  std::mutex console_;
  std::atomic<std::size_t> done_{0}, decoded_{0}, headersRead_{0};
};

#endif
