// Feeds arbitrary pictures to the copy without their location, and checks
// what must always hold of it: no read or write outside the picture, a
// copy of the picture's own size, and nothing of a location left in it.
#include "generator/picture/Location.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vips/vips.h>

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

std::string write(const std::string& bytes) {
  static const std::string path = [] {
    char name[] = "/tmp/location_fuzzer.XXXXXX";
    const int fd = mkstemp(name);
    check(fd >= 0);
    close(fd);
    return std::string(name);
  }();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  check(f != nullptr);
  check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  std::fclose(f);
  return path;
}

}  // namespace

// The generator runs with libvips started: pictures of a kind whose bytes
// are not rewritten here are looked at through it.
extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  check(VIPS_INIT((*argv)[0]) == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  bool had = false;
  std::string copy, error;
  // Pictures of a kind whose bytes are not rewritten get no copy: the pages
  // offer another file in their place.
  if (!copyWithoutLocation(write(input), had, copy, error) || !had || copy.empty()) return 0;
  check(copy.size() == input.size());
  readPosition(write(copy));
  std::string again;
  check(copyWithoutLocation(write(copy), had, again, error));
  check(!had);
  return 0;
}
