// Video files as gallery items ([gallery] video=yes), with videos coded by
// the system's libavcodec and the real generator.
#include "GeneratorTestSupport.h"

#include "generator/picture/VideoFile.h"
#include "tests/support/TestVideo.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class VideoRun : public GeneratorFolders {
 protected:
  void video(const std::string& name, const TestVideo& v) {
    std::string error;
    ASSERT_TRUE(makeTestVideo(in + "/" + name, v, error)) << error;
  }
  void tpl(const std::string& name, const std::string& gallery) {
    writeFile(program + "/" + name, "[gallery]\n" + gallery +
                                        "\n[picture]\n{{name}} {{isvideo}} {{video}}\n"
                                        "[foot]\n{{galleryscript}}\n");
  }
  static std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(VideoRun, PostersCopiesWhereNeededAndABrokenVideoFails) {
  TestVideo mp4;  // H.264 and AAC: browsers play it as it is
  video("a.mp4", mp4);
  TestVideo mov;  // HEVC in MOV: copied for the browser
  mov.encoder = "libx265";
  mov.width = 640;
  mov.height = 360;
  video("b.mov", mov);
  TestVideo upright;  // a phone held upright
  upright.turn = 90;
  video("c.mp4", upright);
  writeFile(in + "/d.mp4", "not a video at all");
  picture("p.jpg", 80, 60);
  tpl("V.tpl", "video=yes\nthumb2x=yes\nwebsize=320");

  // The gallery beside the videos, so that the pages may link them.
  RunResult r = run({"/h60", "/pT_", "/iV.tpl", in, in});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;  // as for a picture that fails
  EXPECT_NE(r.out.find("5 pictures found"), std::string::npos) << r.out;
  EXPECT_EQ(count(r.err, "\n"), 1u) << r.err;
  EXPECT_NE(r.err.find("d.mp4: cannot be read: "), std::string::npos) << r.err;

  // Posters named as a TIFF's thumbnail is, sized as a picture's.
  PictureInfo a = inspect(in + "/T_a.mp4.jpg");
  EXPECT_EQ(a.loader, "jpegload");
  EXPECT_EQ(a.height, 60);
  EXPECT_EQ(a.width, 107);
  EXPECT_EQ(inspect(in + "/T_a.mp4@2x.jpg").height, 120);
  EXPECT_EQ(inspect(in + "/T_b.mov.jpg").width, 107);
  PictureInfo c = inspect(in + "/T_c.mp4.jpg");
  EXPECT_EQ(c.height, 60);
  EXPECT_EQ(c.width, 34);  // upright, as a player shows it
  EXPECT_FALSE(exists(in + "/T_d.mp4.jpg"));

  // The MP4 plays as it is; the HEVC one gets an H.264 copy at the web size.
  EXPECT_FALSE(exists(in + "/T_a.mp4@web.mp4"));
  VideoFrame frame;
  bool plays = false;
  std::string error;
  ASSERT_TRUE(readVideoPoster(in + "/T_b.mov@web.mp4", frame, plays, error)) << error;
  EXPECT_TRUE(plays);
  EXPECT_EQ(frame.width, 320);
  EXPECT_EQ(frame.height, 180);
  const std::string page = readFile(in + "/index.html");
  EXPECT_NE(page.find("a.mp4 yes a.mp4\n"), std::string::npos) << page;
  EXPECT_NE(page.find("b.mov yes T_b.mov%40web.mp4\n"), std::string::npos) << page;
  EXPECT_NE(page.find("p.jpg  \n"), std::string::npos) << page;
  const std::string data = readFile(in + "/vignetor-viewer-data.js");
  EXPECT_NE(data.find("\"video\":\"a.mp4\",\"type\":\"video/mp4\""), std::string::npos) << data;
  EXPECT_EQ(count(data, "\"video\":"), 3u) << data;

  // Nothing changed: nothing made again, the broken one failed again.
  const auto before = snapshot(in);
  r = run({"/h60", "/pT_", "/iV.tpl", in, in});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.out.find("0 made, 4 kept, 0 remade"), std::string::npos) << r.out;
  EXPECT_EQ(snapshot(in), before);

  // Without video=yes the videos are no gallery items, as before.
  tpl("P.tpl", "thumb2x=yes\nwebsize=320");
  r = run({"/h60", "/t", "/pT_", "/iP.tpl", in, root / "plain"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("1 picture found"), std::string::npos) << r.out;
}

TEST_F(VideoRun, AVideoOutsideTheGalleryIsCopiedAndItsCopyKeptAsOurs) {
  video("a.mp4", TestVideo());
  tpl("V.tpl", "video=yes");
  RunResult r = run({"/h60", "/pT_", "/iV.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The pages link nothing outside their folder.
  ASSERT_TRUE(exists(out + "/T_a.mp4@web.mp4"));
  const std::string data = readFile(out + "/vignetor-viewer-data.js");
  EXPECT_NE(data.find("\"picture\":\"T_a.mp4%40web.mp4\""), std::string::npos) << data;

  // A user's file under the copy's name is never written over.
  writeFile(out + "/T_a.mp4@web.mp4", "mine");
  r = run({"/h60", "/pT_", "/iV.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(out + "/T_a.mp4@web.mp4"), "mine");
  EXPECT_TRUE(exists(out + "/T_a.mp4@web_1.mp4"));
}

TEST_F(VideoRun, AVideoThatNamesWhereItWasTakenIsOfferedAsItsCopy) {
  TestVideo phone;  // plays as it is, but names a place
  phone.location = "+48.8584+002.2945/";
  video("a.mp4", phone);
  tpl("V.tpl", "video=yes");
  RunResult r = run({"/h60", "/pT_", "/iV.tpl", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(exists(in + "/T_a.mp4@web.mp4"));
  const std::string data = readFile(in + "/vignetor-viewer-data.js");
  EXPECT_NE(data.find("\"picture\":\"T_a.mp4%40web.mp4\""), std::string::npos) << data;
  EXPECT_NE(data.find("\"video\":\"T_a.mp4%40web.mp4\""), std::string::npos) << data;
  VideoFrame frame;
  bool plays = false;
  std::string error;
  ASSERT_TRUE(readVideoPoster(in + "/T_a.mp4@web.mp4", frame, plays, error)) << error;
  EXPECT_FALSE(frame.located);

  // With download=original the video itself, as it is.
  tpl("V.tpl", "video=yes\ndownload=original");
  r = run({"/h60", "/pT_", "/iV.tpl", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(readFile(in + "/vignetor-viewer-data.js").find("\"picture\":\"a.mp4\""),
            std::string::npos);
}

}  // namespace
