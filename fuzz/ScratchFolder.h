// A folder of a harness's own under TMPDIR for the files it must write,
// made once before the first input and removed when the harness ends.
#ifndef WV_FUZZ_SCRATCHFOLDER_H
#define WV_FUZZ_SCRATCHFOLDER_H

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// The folder; empty before makeScratchFolder.
inline std::string& scratchFolder() {
  static std::string folder;
  return folder;
}

// Makes the folder, TMPDIR/TAG-XXXXXX; aborts when it cannot.
inline void makeScratchFolder(const char* tag) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + tag + "-XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  scratchFolder() = pattern;
  std::atexit([] {
    std::error_code error;
    std::filesystem::remove_all(scratchFolder(), error);
  });
}

#endif
