// Load time of large templates, and `wc -l` over the same ordinary file for
// comparison. Run: build/bin/template_bench (with -DWV_BENCH=ON).

#include "template/TemplateFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {
// The generated templates, made once per size and removed at the end.
class Files {
 public:
  Files() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tplbench-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    m_strDir = pattern;
  }
  ~Files() { std::filesystem::remove_all(m_strDir); }

  const std::string& dir() const { return m_strDir; }

  // The file's name; `make` fills it the first time, returning its line count.
  template <typename Make>
  std::string get(const std::string& name, Make make) {
    if (!m_lines.count(name)) {
      std::ofstream out(m_strDir + "/" + name, std::ios::binary);
      m_lines[name] = make(out);
    }
    return name;
  }
  std::size_t lines(const std::string& name) const { return m_lines.at(name); }
  std::size_t bytes(const std::string& name) const {
    return std::filesystem::file_size(m_strDir + "/" + name);
  }

 private:
  std::string m_strDir;
  std::map<std::string, std::size_t> m_lines;
};

Files& files() {
  static Files instance;
  return instance;
}

void loadOnce(const std::string& name) {
  TemplateFile reader(files().dir(), name);
  reader.load();
  benchmark::DoNotOptimize(reader.getSection("body").size());
}

// Ordinary lines of a gallery page, some indented, some comments, of
// varying length, in a few sections.
std::string ordinary(std::size_t megabytes) {
  return files().get("ordinary-" + std::to_string(megabytes) + ".tpl", [&](std::ofstream& out) {
    const std::size_t target = megabytes << 20;
    std::size_t written = 0, lines = 0;
    for (std::size_t i = 0; written < target; ++i) {
      std::string line;
      if (i % 50000 == 0)
        line = "[body" + std::string(i ? std::to_string(i) : "") + "]";
      else if (i % 17 == 0)
        line = "; thumbnail row " + std::to_string(i);
      else
        line = std::string(i % 5, '\t') + "<td><a href=\"$IMAGE$\"><img src=\"$THUMB$\" alt=\"" +
               std::string(i % 40, 'x') + "\"></a></td>";
      out << line << "\r\n";
      written += line.size() + 2;
      ++lines;
    }
    return lines;
  });
}

void ordinaryLines(benchmark::State& state) {
  const std::string name = ordinary(state.range(0));
  for (auto _ : state) loadOnce(name);
  state.SetBytesProcessed(state.iterations() * files().bytes(name));
  state.counters["lines"] = benchmark::Counter(double(state.iterations() * files().lines(name)),
                                               benchmark::Counter::kIsRate);
}

void wcLines(benchmark::State& state) {
  const std::string name = ordinary(state.range(0));
  const std::string command = "wc -l '" + files().dir() + "/" + name + "' >/dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("wc failed");
  state.SetBytesProcessed(state.iterations() * files().bytes(name));
}

// One section of N directives, each bringing in a one-line footer.
void manyDirectives(benchmark::State& state) {
  const std::size_t n = state.range(0);
  const std::string name =
      files().get("directives-" + std::to_string(n) + ".tpl", [&](std::ofstream& out) {
        out << "[a]\n<hr><p>made with wVignetor</p>\n[body]\n";
        for (std::size_t i = 0; i < n; ++i) out << "$PROCESS$a\n";
        return n + 1;
      });
  for (auto _ : state) loadOnce(name);
  state.SetItemsProcessed(state.iterations() * n);
}

// One directive bringing in a section of N lines.
void bigInclude(benchmark::State& state) {
  const std::size_t n = state.range(0);
  const std::string name =
      files().get("include-" + std::to_string(n) + ".tpl", [&](std::ofstream& out) {
        out << "[a]\n";
        for (std::size_t i = 0; i < n; ++i) out << "<tr><td>row " << i << "</td></tr>\n";
        out << "[body]\n<table>\n$PROCESS$a\n</table>\n";
        return n + 3;
      });
  for (auto _ : state) loadOnce(name);
  state.SetItemsProcessed(state.iterations() * n);
}
}  // namespace

// Wall time throughout: `wc -l` runs as a child, whose time is not ours.
BENCHMARK(ordinaryLines)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(wcLines)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(manyDirectives)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(bigInclude)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
