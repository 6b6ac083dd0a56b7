// One picture of a run, as the scan found it: the one record of it that
// every phase after the scan reads (the plan, the record, the page), none
// of them copying it.
#ifndef WV_GENERATOR_PICTUREFILE_H
#define WV_GENERATOR_PICTUREFILE_H

#include "generator/record/RunRecord.h"

#include <cstdint>
#include <string>

struct Picture {
  std::string subfolder;  // under the input directory, '/' separated, "" at the top
  std::string name;
  std::string path;
  std::uint64_t device = 0, inode = 0, bytes = 0;
  std::string error;  // why it cannot be read at all (a link to nowhere, a FIFO), else empty
  std::int64_t mtimeNs = 0;
  bool video = false;  // a video file ([gallery] video=yes), shown by its poster

  // The picture's path under the input folder.
  std::string relative() const { return subfolder.empty() ? name : subfolder + "/" + name; }
  // Its size and time, as the record keeps them.
  FileStamp stamp() const { return FileStamp{bytes, mtimeNs}; }
};

#endif
