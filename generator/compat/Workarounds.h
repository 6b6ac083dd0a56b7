// Faults of the libraries in Debian 12 that this program works around,
// each with the version it was found in. CompatTest holds them against the
// libraries in use: a new version fails it until someone has looked again
// at each fault, and kept, changed or dropped its workaround.
#ifndef WV_GENERATOR_WORKAROUNDS_H
#define WV_GENERATOR_WORKAROUNDS_H

#include <string>
#include <vector>

struct Workaround {
  const char* library;  // "libvips", "liborc"
  const char* foundIn;  // the version the fault was found in
  const char* fault;    // in a few words
  const char* where;    // the code that works around it
};

const std::vector<Workaround>& workarounds();

// The version of `library` ("libvips", "liborc") this process runs with,
// "major.minor.micro"; empty when it cannot be told (liborc not loaded).
std::string libraryVersion(const std::string& library);

#endif
