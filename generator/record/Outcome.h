// What a run did with one picture: what the record keeps of it and what
// the page shows.
#ifndef WV_GENERATOR_OUTCOME_H
#define WV_GENERATOR_OUTCOME_H

#include "generator/picture/Location.h"
#include "generator/picture/PictureCaption.h"
#include "generator/picture/Thumbnailer.h"
#include "generator/record/RunRecord.h"

#include <string>
#include <vector>

struct Outcome {
  enum State { Pending, Made, Remade, Kept, Skipped, Failed };
  State state = Pending;
  bool onPage = false;
  std::string thumbName;  // under the output folder
  int thumbWidth = 0, thumbHeight = 0;
  PictureSize size;
  // Made, Remade: the files written, for the record: the thumbnail first,
  // then those of the plan's extras that were written (a web-sized picture
  // the original stands for is recorded with an empty name).
  std::vector<RecordedFile> made;
  // For the page: the 2x and 3x thumbnails and the web-sized picture
  // (empty: none; the web-sized picture is then the picture itself), and
  // the caption.
  std::string thumb2xName, thumb3xName, webName;
  int webWidth = 0, webHeight = 0;
  // The display files for DPR 1, 2, 3 (empty: none) and their sizes.
  std::string displayName[3];
  int displayWidth[3] = {}, displayHeight[3] = {};
  PictureCaption caption;
  // A video's copy the browser plays (empty: the video itself).
  std::string videoName;
  // The copy of the picture without its location the pages offer in its
  // place (empty: the picture holds none, or none was asked for);
  // locationHidden: the picture holds one but no copy could be made, so
  // that the pages offer none of the picture itself.
  std::string downloadName;
  bool locationHidden = false;
  // With a map: where the picture was taken (positionRead: looked for).
  Position position;
  bool positionRead = false;
};

#endif
