// Vignetor: makes thumbnails of a folder of pictures and, from a template,
// an index.html gallery of them.
#include "common/Paths.h"
#include "contract/Arguments.h"
#include "contract/ExitCode.h"
#include "generator/cli/ConsoleText.h"
#include "generator/files/OutputFile.h"
#include "generator/run/Generator.h"
#include "template/TemplateFolders.h"

#include "Version.h"

#include <vips/vips8>

#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

std::string programDirectory(const char* argv0) {
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  std::string path =
      n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : normalPath(argv0);
  std::size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Before any thread starts, so that every worker inherits it.
void beFriendly() {
  if (setpriority(PRIO_PROCESS, 0, 19) != 0) std::perror("cannot lower the priority");
#ifdef SYS_ioprio_set
  const int whoProcess = 1, classIdle = 3, classShift = 13;
  syscall(SYS_ioprio_set, whoProcess, 0, classIdle << classShift);
#endif
}

// Memory stays flat however many pictures a run has; both settings before
// any thread starts. Without them a folder with a few 48-megapixel
// progressive JPEGs among others peaked at 276 MiB instead of 199 MiB:
// - glibc gives threads arenas of their own (up to eight per core), and each
//   arena keeps what its pictures freed. Two arenas serve the two workers and
//   the libvips threads that help them.
// - Blocks of 1 MiB and more are mapped and go back to the system when freed.
//   glibc's own threshold rises with every large block freed (up to 32 MiB),
//   after which the buffers of a large picture stay in an arena for good.
// - Each arena keeps up to 8 MiB freed at its top instead of 128 KiB: about
//   what one picture's pipeline allocates and frees again, which the next
//   picture then reuses instead of faulting in fresh pages (with the extra
//   sizes of a gallery, half of the run's page faults and 0.7 s of system
//   time on the benchmark's mix). The slack goes back when a heavy decode
//   is admitted (DecodeBudget), so it never adds to the run's peak.
void boundAllocator() {
  mallopt(M_ARENA_MAX, 2);
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_TRIM_THRESHOLD, 8 << 20);
}

void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {
  // Each failed picture is reported once, by name, with its error.
}

int runGenerator(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (args.size() > 1 && (args[1] == "--help" || args[1] == "-h")) {
    std::printf(
        "%s  --help, -h  this text, with the templates found\n  --version   the version\n\n%s",
        kUsageText, escapeLines(TemplateFoldersText(programDirectory(argv[0]))).c_str());
    return std::fflush(stdout) == 0 ? kExitOk : kExitOutput;
  }
  if (args.size() > 1 && args[1] == "--version") {
    std::printf("Vignetor %s\n", WV_VERSION);
    return std::fflush(stdout) == 0 ? kExitOk : kExitOutput;
  }
  ParsedArguments parsed = parseArguments(args);
  if (!parsed.ok()) {
    printLine(stderr, "Vignetor: " + parsed.error);
    std::fprintf(stderr, "\n%s", kUsageText);
    return kExitUsage;
  }
  // Before libvips starts any thread.
  installInterruptCleanup();
  if (parsed.args.cpuFriendly) beFriendly();
  boundAllocator();

  if (VIPS_INIT(argv[0]) != 0) {
    std::fprintf(stderr, "Vignetor: cannot start libvips\n");
    return kExitOutput;
  }
  // The workers run one picture each; more threads per picture would only
  // compete for the same cores.
  vips_concurrency_set(1);
  vips_cache_set_max(0);
  g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, quiet, nullptr);

  Generator generator(parsed.args, programDirectory(argv[0]));
  int code = generator.run();
  vips_shutdown();
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  // No exception ends the program unreported. Out of memory anywhere, in a
  // worker too, stops the run with a message; the files in flight are
  // removed on the way out, so the thumbnails made so far stay whole.
  try {
    return runGenerator(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("Vignetor: out of memory; the run was stopped\n", stderr);
  } catch (const std::length_error&) {
    std::fputs("Vignetor: out of memory; the run was stopped\n", stderr);
  } catch (const std::exception& e) {
    try {
      printLine(stderr, std::string("Vignetor: the run was stopped: ") + e.what());
    } catch (...) {
      std::fputs("Vignetor: the run was stopped\n", stderr);
    }
  } catch (...) {
    std::fputs("Vignetor: the run was stopped\n", stderr);
  }
  return kExitStopped;
}
