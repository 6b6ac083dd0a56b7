// vignetor-test-video PATH ENCODER WIDTH HEIGHT SECONDS [noisy] [silent] [30fps] [upright]:
// a test video (TestVideo.h), for the page tests and the benchmark.
#include "tests/support/TestVideo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s PATH ENCODER WIDTH HEIGHT SECONDS [noisy] [silent]\n", argv[0]);
    return 2;
  }
  TestVideo v;
  v.encoder = argv[2];
  v.width = std::atoi(argv[3]);
  v.height = std::atoi(argv[4]);
  v.seconds = std::atof(argv[5]);
  for (int i = 6; i < argc; ++i) {
    if (std::strcmp(argv[i], "noisy") == 0) v.noisy = true;
    if (std::strcmp(argv[i], "silent") == 0) v.sound = false;
    if (std::strcmp(argv[i], "30fps") == 0) v.fps = 30;
    if (std::strcmp(argv[i], "upright") == 0) v.turn = 90;
  }
  std::string error;
  if (!makeTestVideo(argv[1], v, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
