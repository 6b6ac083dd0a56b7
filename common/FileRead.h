// Whole small files (a values file, a run record, a viewer's script), read
// so that no name can hang the program or fill its memory.
#ifndef WV_COMMON_FILEREAD_H
#define WV_COMMON_FILEREAD_H

#include <cstdint>
#include <string>

enum class FileRead {
  Ok,
  Failed,      // cannot be opened or read; `err` holds the errno
  NotRegular,  // a folder, a FIFO, a device, or a link when links are refused
  TooLarge,    // more than the bound
};

// Reads the whole file at `path` into `data` when it is a regular file of
// at most `maxBytes`. It is opened without blocking (a FIFO without a
// writer would wait for ever) and, with `noFollow`, a symbolic link as its
// last step is refused rather than followed.
FileRead readCappedFile(const std::string& path, std::uint64_t maxBytes, std::string& data,
                        int& err, bool noFollow = false);

#endif
