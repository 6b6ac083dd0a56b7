// A folder of the output tree, held open. The output folder is opened by
// the path the user named (which may be a symbolic link: the user chose
// it); every folder below it is opened from its parent's descriptor and
// never through a symbolic link, and the files in it are made, moved,
// removed and looked at relative to that descriptor. So a folder of the
// tree that someone turns into a link, even while a run writes there,
// never leads a file of ours outside the tree.
#ifndef WV_GENERATOR_OUTPUTFOLDER_H
#define WV_GENERATOR_OUTPUTFOLDER_H

#include <string>
#include <sys/stat.h>
#include <utility>

class OutputFolder {
 public:
  OutputFolder() = default;
  ~OutputFolder();
  OutputFolder(OutputFolder&& other) noexcept;
  OutputFolder& operator=(OutputFolder&& other) noexcept;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // The output folder itself, by its path. Not open, with `error` set, when
  // it is missing or no folder.
  static OutputFolder open(const std::string& path, std::string& error);

  // What stopped below(): the first folder on the way that is missing (and
  // not to be made), a symbolic link, something else than a folder, or
  // that could not be opened or made.
  enum class Stop { None, Missing, Link, NotFolder, Failed };

  // `rel` ('/' separated, inside `root`; empty for `root` itself) below
  // `root`, one folder at a time, none followed if it is a symbolic link.
  // With `create`, a missing folder is made. Not open, with `error` set
  // (and `stop`, when given), when a folder on the way is a link or no
  // folder, or cannot be opened or made.
  static OutputFolder below(const OutputFolder& root, const std::string& rel, bool create,
                            std::string& error, Stop* stop = nullptr);

  // A second descriptor of the same folder (for a file that outlives this).
  OutputFolder duplicate() const;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // For messages: the path the folder was reached by.
  const std::string& path() const { return path_; }

  // lstat of `name` in the folder: a link is not followed.
  bool statAt(const std::string& name, struct stat& st) const;
  // Removes the file `name` from the folder (not a folder, not followed).
  bool removeAt(const std::string& name) const;

 private:
  OutputFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_ = -1;
  std::string path_;
};

// Removes the file `rel` (a path inside `root`) reached through no symbolic
// link. False when it is not there, or a folder on the way is a link.
bool removeBelow(const OutputFolder& root, const std::string& rel);

#endif
