// Runs that must end, whatever mix of pictures fails and however many
// workers share the decode budget: the hang of two large progressive JPEGs
// beside an unreadable file, and a randomized soak of folders mixing heavy,
// transparent, broken and slow pictures. VIGNETOR_SOAK_ROUNDS sets the
// soak's length (a few rounds by default; hundreds for a long soak).
#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <vips/vips8>

#include <cstdlib>
#include <filesystem>
#include <random>

using vips::VImage;

namespace {

// The counts of the run's last line.
struct Counts {
  int made = -1, failed = -1;
};

Counts countsOf(const std::string& out) {
  Counts c;
  const std::size_t at = out.rfind(" made, ");
  if (at == std::string::npos) return c;
  const std::size_t line = out.rfind('\n', at);
  int kept = 0, remade = 0, skipped = 0;
  std::sscanf(out.c_str() + (line == std::string::npos ? 0 : line + 1),
              "%d made, %d kept, %d remade, %d skipped, %d failed", &c.made, &kept, &remade,
              &skipped, &c.failed);
  return c;
}

void withWorkers(int n) { setenv("VIGNETOR_WORKERS", std::to_string(n).c_str(), 1); }

// A picture of the soak, and whether the generator can read it.
struct Kind {
  const char* name;
  bool readable;
};

// Every kind, made once in `dir`.
class PicturePool {
 public:
  explicit PicturePool(const std::string& dir) : dir_(dir) {
    // Whole-picture decodes of 72 and 54 MB: two never fit the budget at once.
    VImage black = VImage::black(6000, 4000, VImage::option()->set("bands", 3));
    black.jpegsave(path("big.jpg").c_str(), VImage::option()->set("interlace", true));
    VImage wide = VImage::xyz(4500, 4000)[0].cast(VIPS_FORMAT_UCHAR);
    wide.bandjoin(wide).bandjoin(wide).jpegsave(path("wide.jpg").c_str(),
                                                VImage::option()->set("interlace", true));
    // An interlaced PNG held whole while it decodes, and a GIF decoded whole.
    VImage ramp = VImage::xyz(3000, 2000)[1].cast(VIPS_FORMAT_UCHAR);
    ramp.bandjoin(ramp).bandjoin(ramp).pngsave(path("laced.png").c_str(),
                                               VImage::option()->set("interlace", true));
    ramp.gifsave(path("slow.gif").c_str());
    VImage alpha = (VImage::xyz(800, 600)[0] / 4).cast(VIPS_FORMAT_UCHAR);
    ramp.extract_area(0, 0, 800, 600)
        .bandjoin(ramp.extract_area(0, 0, 800, 600))
        .bandjoin(ramp.extract_area(0, 0, 800, 600))
        .bandjoin(alpha)
        .pngsave(path("cutout.png").c_str());
    makePicture(path("small.jpg"), 640, 480);
    writeFile(path("empty.jpg"), "");
    writeFile(path("text.png"), "not a picture at all\n");
    const std::string png = readFile(path("laced.png"));
    writeFile(path("cut.png"), png.substr(0, png.size() / 2));
  }

  static const std::vector<Kind>& kinds() {
    static const std::vector<Kind> all = {
        {"big.jpg", true},    {"wide.jpg", true},   {"laced.png", true},
        {"slow.gif", true},   {"cutout.png", true}, {"small.jpg", true},
        {"empty.jpg", false}, {"text.png", false},  {"cut.png", false},
    };
    return all;
  }

  // A link to the pool's file, so that a folder costs nothing to make.
  void put(const std::string& kind, const std::string& to) const {
    std::filesystem::create_hard_link(path(kind), to);
  }

 private:
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_;
};

TEST(GeneratorEnds, TwoHeavyDecodesBesideAnUnreadablePicture) {
  TempDir root;
  PicturePool pool(root.path());
  const std::string in = root / "in", out = root / "out";
  std::filesystem::create_directory(in);
  pool.put("big.jpg", in + "/big1.jpg");
  pool.put("big.jpg", in + "/big2.jpg");
  pool.put("empty.jpg", in + "/empty.jpg");
  for (int workers : {2, 3}) {
    std::filesystem::remove_all(out);
    withWorkers(workers);
    RunResult run = runGenerator({"/h100", "/t", "/g", "/pThumb", "/iFilmstrip2.tpl", in, out});
    const Counts c = countsOf(run.out);
    EXPECT_EQ(run.exitCode, 1) << workers << " workers\n" << run.out << run.err;
    EXPECT_EQ(c.made, 2) << run.out;
    EXPECT_EQ(c.failed, 1) << run.out;
  }
  unsetenv("VIGNETOR_WORKERS");
}

TEST(GeneratorEnds, RandomFoldersWithOneToFourWorkers) {
  const char* asked = std::getenv("VIGNETOR_SOAK_ROUNDS");
  const int rounds = asked ? std::max(1, std::atoi(asked)) : 4;
  const unsigned seed = std::random_device()();
  std::mt19937 random(seed);
  TempDir root;
  PicturePool pool(root.path());
  const auto& kinds = PicturePool::kinds();
  for (int round = 0; round < rounds; ++round) {
    const std::string in = root / ("in" + std::to_string(round));
    const std::string out = root / ("out" + std::to_string(round));
    std::filesystem::create_directory(in);
    const int count = std::uniform_int_distribution<int>(2, 8)(random);
    int readable = 0;
    std::string mix;
    for (int i = 0; i < count; ++i) {
      const Kind& kind =
          kinds[std::uniform_int_distribution<std::size_t>(0, kinds.size() - 1)(random)];
      pool.put(kind.name, in + "/p" + std::to_string(i) + "_" + kind.name);
      readable += kind.readable;
      mix += std::string(" ") + kind.name;
    }
    const int workers = std::uniform_int_distribution<int>(1, 4)(random);
    const bool page = random() % 2 == 0;
    withWorkers(workers);
    std::vector<std::string> args{"/h100", "/pth_"};
    if (page) args.push_back("/iFilmstrip2.tpl");
    args.push_back(in);
    args.push_back(out);
    RunResult run = runGenerator(args);
    const Counts c = countsOf(run.out);
    const std::string context = "seed " + std::to_string(seed) + ", round " +
                                std::to_string(round) + ", " + std::to_string(workers) +
                                " workers, " + (page ? "with" : "without") + " a page:" + mix;
    EXPECT_EQ(run.exitCode, readable == count ? 0 : 1) << context << "\n" << run.out << run.err;
    EXPECT_EQ(c.made, readable) << context << "\n" << run.out << run.err;
    EXPECT_EQ(c.failed, count - readable) << context << "\n" << run.out << run.err;
    std::filesystem::remove_all(in);
    std::filesystem::remove_all(out);
  }
  unsetenv("VIGNETOR_WORKERS");
}

}  // namespace
