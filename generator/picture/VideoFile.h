// Video files as gallery items (FFmpeg's libraries): the frame their poster
// is made from, whether a browser plays them as they are, and the copy made
// for the browser where it does not.
#ifndef WV_GENERATOR_VIDEOFILE_H
#define WV_GENERATOR_VIDEOFILE_H

#include <string>

struct VideoFrame {
  int width = 0, height = 0;  // as shown (non-square pixels made square), before `turn`
  int turn = 0;               // degrees clockwise that make it upright: 0, 90, 180 or 270
  std::string rgb;            // 8-bit RGB, rows of width * 3 bytes
  bool located = false;       // its metadata names where it was taken
};

// The frame about a second into the video at `path` (half-way into a
// shorter one), and whether a browser plays the file as it is: an MP4
// (.mp4, .m4v) of H.264 in 4:2:0 with AAC or MP3 sound or none, or a WebM
// of VP8 or VP9 with Vorbis or Opus sound or none. False with `error` set
// for a file that is no video or cannot be decoded.
bool readVideoPoster(const std::string& path, VideoFrame& frame, bool& browserPlays,
                     std::string& error);

// The video at `path` as an MP4 of H.264 (4:2:0) and AAC into `out`, its
// long edge at most `longEdge` (0: its own size) and never enlarged, turned
// as the original is. False with `error` set.
bool makeWebVideo(const std::string& path, int longEdge, std::string& out, std::string& error);

// What shapes the copy besides the video, for the record.
std::string webVideoSettings(int longEdge);

#endif
