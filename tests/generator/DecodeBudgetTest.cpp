#include "generator/picture/DecodeBudget.h"

#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <vips/vips8>

#include <atomic>
#include <chrono>
#include <thread>

using vips::VImage;

namespace {

const std::uint64_t kMiB = 1 << 20;

// Starts `acquire(bytes)` on a thread of its own; `started()` tells whether
// it has returned yet.
class Waiter {
 public:
  Waiter(DecodeBudget& budget, std::uint64_t bytes)
      : thread_([this, &budget, bytes] {
          DecodeBudget::Ticket ticket = budget.acquire(bytes);
          started_ = true;
          while (!done_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }) {}
  ~Waiter() { finish(); }
  bool started() const { return started_; }
  void waitStarted() const {
    while (!started_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void finish() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> started_{false}, done_{false};
  std::thread thread_;
};

void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

TEST(DecodeBudget, LightDecodesNeverWaitAndHeavyOnesShareTheBudget) {
  DecodeBudget budget(16 * kMiB, 96 * kMiB);
  DecodeBudget::Ticket a = budget.acquire(40 * kMiB);
  DecodeBudget::Ticket b = budget.acquire(40 * kMiB);  // 80 of 96: both at once
  EXPECT_EQ(budget.heavyInFlight(), 80 * kMiB);
  // The budget is spent, yet light ones start (in this thread, or the test hangs).
  DecodeBudget::Ticket light = budget.acquire(16 * kMiB);
  DecodeBudget::Ticket none = budget.acquire(0);
  EXPECT_EQ(budget.heavyInFlight(), 80 * kMiB);
  a.release();
  a.release();  // a second release gives nothing back twice
  EXPECT_EQ(budget.heavyInFlight(), 40 * kMiB);
  {
    DecodeBudget::Ticket moved = std::move(b);
    EXPECT_EQ(budget.heavyInFlight(), 40 * kMiB);
  }
  EXPECT_EQ(budget.heavyInFlight(), 0u);
  // Assigned over a ticket it holds, as a worker does for its next picture:
  // the memory of the first counts no longer.
  a = budget.acquire(40 * kMiB);
  a = budget.acquire(30 * kMiB);
  EXPECT_EQ(budget.heavyInFlight(), 30 * kMiB);
}

TEST(DecodeBudget, AHeavyDecodeWaitsForRoomAndALargerOneRunsAlone) {
  DecodeBudget budget(16 * kMiB, 96 * kMiB);
  DecodeBudget::Ticket first = budget.acquire(60 * kMiB);
  {
    Waiter second(budget, 60 * kMiB);  // 120 of 96: waits
    settle();
    EXPECT_FALSE(second.started());
    first.release();
    second.waitStarted();
    EXPECT_EQ(budget.heavyInFlight(), 60 * kMiB);
  }
  EXPECT_EQ(budget.heavyInFlight(), 0u);

  // Larger than the whole budget: starts once no other heavy decode runs,
  // and others wait for it in turn.
  DecodeBudget::Ticket small = budget.acquire(20 * kMiB);
  Waiter huge(budget, 300 * kMiB);
  settle();
  EXPECT_FALSE(huge.started());
  small.release();
  huge.waitStarted();
  Waiter after(budget, 20 * kMiB);
  settle();
  EXPECT_FALSE(after.started());
  huge.finish();
  after.waitStarted();
}

TEST(DecodeBudget, AWaitingDecodeDoesOtherWorkMeanwhile) {
  DecodeBudget budget(16 * kMiB, 96 * kMiB);
  DecodeBudget::Ticket first = budget.acquire(60 * kMiB);
  int calls = 0;
  budget.setMeanwhile([&] {
    // Light work goes on inside; the room comes with the second piece of work.
    DecodeBudget::Ticket light = budget.acquire(1 * kMiB);
    if (++calls == 2) first.release();
    return true;
  });
  DecodeBudget::Ticket second = budget.acquire(60 * kMiB);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(budget.heavyInFlight(), 60 * kMiB);

  // With nothing left to do meanwhile, it waits for the room.
  budget.setMeanwhile([&] {
    ++calls;
    return false;
  });
  std::thread other([&] {
    settle();
    second.release();
  });
  DecodeBudget::Ticket third = budget.acquire(60 * kMiB);
  EXPECT_EQ(calls, 3);
  other.join();
  EXPECT_EQ(budget.heavyInFlight(), 60 * kMiB);
}

// What a decode holds for the whole picture, from real files' headers.
TEST(DecodeBudget, WholePictureBytesFollowTheDecoder) {
  TempDir dir;
  VImage rgb = (VImage::black(400, 300, VImage::option()->set("bands", 3)) + 90)
                   .cast(VIPS_FORMAT_UCHAR)
                   .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  auto bytes = [&](const std::string& name, VImage image, vips::VOption* options) {
    const std::string path = dir / name;
    image.write_to_file(path.c_str(), options);
    return DecodeBudget::wholePictureBytes(VImage::new_from_file(path.c_str()).get_image());
  };
  const std::uint64_t pixels = 400 * 300;
  // Line by line.
  EXPECT_EQ(bytes("baseline.jpg", rgb, VImage::option()), 0u);
  EXPECT_EQ(bytes("plain.png", rgb, VImage::option()), 0u);
  EXPECT_EQ(bytes("plain.tif", rgb, VImage::option()), 0u);
  // Progressive JPEG: two bytes a coefficient, chroma as subsampled.
  EXPECT_EQ(bytes("progressive.jpg", rgb,
                  VImage::option()
                      ->set("interlace", true)
                      ->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON)),
            pixels * 3);
  EXPECT_EQ(bytes("progressive444.jpg", rgb,
                  VImage::option()
                      ->set("interlace", true)
                      ->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_OFF)),
            pixels * 6);
  EXPECT_EQ(bytes("progressive-grey.jpg", rgb[0], VImage::option()->set("interlace", true)),
            pixels * 2);
  // Interlaced PNG and WebP: the whole picture.
  EXPECT_EQ(bytes("interlaced.png", rgb.bandjoin(rgb[0]), VImage::option()->set("interlace", true)),
            pixels * 4);
  EXPECT_EQ(bytes("picture.webp", rgb, VImage::option()), pixels * 3);
}

// A transparent picture whose decode holds it whole (an interlaced PNG, 64 MB)
// and whose web-sized WebP holds about as much again while it is coded: the
// two together pass the budget, so the decode's room must be given back
// before the coding's is asked for, or the run waits for itself for ever.
class DecodeBudgetRun : public GeneratorFolders {};

TEST_F(DecodeBudgetRun, ALargeTransparentPictureGetsItsWebPicture) {
  writeFile(program + "/Web.tpl", "[gallery]\nwebsize=1600\n[picture]\n{{web}}\n");
  // Plain colours, half of it see-through: quick to write, read and code.
  const VImage left = VImage::xyz(4000, 4000)[0] < 2000;
  (VImage::black(4000, 4000, VImage::option()->set("bands", 3)) + std::vector<double>{40, 90, 200})
      .bandjoin((left & 127) + 128)
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .write_to_file((in + "/clear.png").c_str(),
                     VImage::option()->set("interlace", true)->set("compression", 1));
  RunResult r = runProgram(program + "/Vignetor",
                           {"VGN", "/h100", "/g", "/pT", "/iWeb.tpl", in, out}, nullptr, 30);
  ASSERT_NE(r.exitCode, -1) << "the run never ended (waiting for memory it holds itself?): "
                            << r.err;
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const VImage web = VImage::new_from_file((out + "/Tclear@web.webp").c_str());
  EXPECT_EQ(web.width(), 1600);
  EXPECT_EQ(web.bands(), 4);
}

}  // namespace
