// The scan and load of the templates beside the program, as the form does it
// at start-up, with 0, 100 and 1,000 templates of typical size (copies of
// the shipped Grid.tpl). Run: build/bin/catalogue_bench (with -DWV_BENCH=ON).
// bench/catalogue/run.sh times the whole program up to the form on screen.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "options/TemplateCatalogue.h"

namespace {
namespace fs = std::filesystem;

// Folders of templates, made once per count and removed at the end.
class Folders {
 public:
  Folders() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/catbench-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    m_root = pattern;
  }
  ~Folders() { fs::remove_all(m_root); }

  std::string get(int count) const {
    const std::string folder = m_root + "/" + std::to_string(count);
    if (!fs::exists(folder)) {
      fs::create_directory(folder);
      for (int i = 0; i < count; ++i) {
        fs::copy_file(WV_TYPICAL_TEMPLATE, folder + "/Template" + std::to_string(i) + ".tpl");
      }
    }
    return folder;
  }

 private:
  std::string m_root;
};

Folders* g_folders = nullptr;

void ScanAndLoad(benchmark::State& state) {
  const std::string folder = g_folders->get(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto entries = ScanTemplates(folder);
    benchmark::DoNotOptimize(entries.data());
  }
  state.counters["templates"] = static_cast<double>(state.range(0));
}
BENCHMARK(ScanAndLoad)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
  Folders folders;
  g_folders = &folders;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
