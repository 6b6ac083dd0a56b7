// Short videos for the tests and the benchmark, coded with this system's
// libavcodec (no ffmpeg program): moving colour bars, optionally with a
// noise that codes like a phone's picture, and a tone.
#ifndef WV_TESTS_SUPPORT_TESTVIDEO_H
#define WV_TESTS_SUPPORT_TESTVIDEO_H

#include <string>

struct TestVideo {
  std::string encoder = "libx264";  // "libx264", "libx265", "libvpx-vp9"
  int width = 160, height = 90;
  double seconds = 1.5;
  int fps = 25;
  bool sound = true;     // an AAC tone (Opus in WebM)
  bool noisy = false;    // grain over the bars, as a camera's
  int turn = 0;          // degrees clockwise a player turns it (a phone held upright: 90)
  std::string location;  // where a phone says it was taken (ISO 6709), empty: none
};

// Writes `video` to `path`, its container by the extension (.mp4, .mov,
// .webm). False with `error` set, e.g. where the encoder is missing.
bool makeTestVideo(const std::string& path, const TestVideo& video, std::string& error);

#endif
