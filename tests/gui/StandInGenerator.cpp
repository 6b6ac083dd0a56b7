// A stand-in for the thumbnail generator in tests: it records how it was
// started, prints what it is told to and ends with the exit code it is told
// to. It is told through the environment, which the program under test
// passes on unchanged.
//
//   WV_STANDIN_RECORD  file to write: the number of arguments, then every
//                      argument, then the working directory, each followed
//                      by a NUL, then
//                      "values:present" or "values:missing" for the file
//                      after /x (nothing without /x)
//   WV_STANDIN_STARTS  file to which every start adds one line
//   WV_STANDIN_PAGE    write index.html into the output directory (the last
//                      argument)
//   WV_STANDIN_FDS     file to write the numbers of its open descriptors to,
//                      one a line
//   WV_STANDIN_IGNORE_TERM  ignore SIGTERM
//   WV_STANDIN_LINES   lines to print, alternately to stdout and stderr
//   WV_STANDIN_BYTES   bytes of output to print in lines of 100
//   WV_STANDIN_RAW     bytes to print as they are (with \n, \xff escapes)
//   WV_STANDIN_PICTURES  N: print what the generator prints for a run of N
//                      pictures ("N pictures found", a line a picture, the
//                      page line and the summary), as fast as it can
//   WV_STANDIN_WAIT    wait until this file exists before ending
//   WV_STANDIN_RAW_END bytes to print after that wait, as WV_STANDIN_RAW
//   WV_STANDIN_PID     file to write its process id to
//   WV_STANDIN_CHILD   file to write the process id of a child to that it
//                      starts (a helper, without our output) and that runs
//                      until a signal ends it
//   WV_STANDIN_FOREVER run until a signal ends it
//   WV_STANDIN_EXIT    exit code (0 when unset)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <csignal>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

std::string Unescape(const char* text) {
  std::string bytes;
  for (const char* p = text; *p; ++p) {
    if (p[0] == '\\' && p[1] == 'n') {
      bytes += '\n';
      ++p;
    } else if (p[0] == '\\' && p[1] == 'x' && p[2] && p[3]) {
      bytes += static_cast<char>(std::strtol(std::string(p + 2, 2).c_str(), nullptr, 16));
      p += 3;
    } else {
      bytes += *p;
    }
  }
  return bytes;
}
}  // namespace

int main(int argc, char** argv) {
  if (const char* record = Env("WV_STANDIN_RECORD")) {
    std::string text = std::to_string(argc);
    text += '\0';
    std::string valuesFile;
    bool hasValues = false;
    for (int i = 0; i < argc; ++i) {
      text.append(argv[i], std::strlen(argv[i]) + 1);
      if (i > 0 && std::strncmp(argv[i], "/x", 2) == 0) {
        hasValues = true;
        valuesFile = argv[i] + 2;
      }
    }
    char cwd[4096];
    text += ::getcwd(cwd, sizeof cwd) ? cwd : "?";
    text += '\0';
    if (hasValues) text += Exists(valuesFile) ? "values:present" : "values:missing";
    // Written under another name and renamed, so that a test never sees half.
    const std::string partial = std::string(record) + ".partial";
    if (FILE* out = std::fopen(partial.c_str(), "wb")) {
      std::fwrite(text.data(), 1, text.size(), out);
      std::fclose(out);
      std::rename(partial.c_str(), record);
    }
  }
  if (Env("WV_STANDIN_IGNORE_TERM")) std::signal(SIGTERM, SIG_IGN);
  if (const char* pid = Env("WV_STANDIN_PID")) {
    const std::string partial = std::string(pid) + ".partial";
    if (FILE* out = std::fopen(partial.c_str(), "wb")) {
      std::fprintf(out, "%ld\n", static_cast<long>(::getpid()));
      std::fclose(out);
      std::rename(partial.c_str(), pid);
    }
  }
  if (const char* child = Env("WV_STANDIN_CHILD")) {
    const pid_t helper = ::fork();
    if (helper == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      for (;;) ::pause();
    }
    const std::string partial = std::string(child) + ".partial";
    if (FILE* out = std::fopen(partial.c_str(), "wb")) {
      std::fprintf(out, "%ld\n", static_cast<long>(helper));
      std::fclose(out);
      std::rename(partial.c_str(), child);
    }
  }
  if (const char* fds = Env("WV_STANDIN_FDS")) {
    std::string list;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
      const int own = ::dirfd(dir);
      while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own) continue;
        list += entry->d_name;
        list += '\n';
      }
      ::closedir(dir);
    }
    if (FILE* out = std::fopen(fds, "wb")) {
      std::fputs(list.c_str(), out);
      std::fclose(out);
    }
  }
  if (const char* starts = Env("WV_STANDIN_STARTS")) {
    if (FILE* out = std::fopen(starts, "ab")) {
      std::fputs("started\n", out);
      std::fclose(out);
    }
  }
  if (Env("WV_STANDIN_PAGE") && argc > 1) {
    const std::string page = std::string(argv[argc - 1]) + "/index.html";
    if (FILE* out = std::fopen(page.c_str(), "wb")) {
      std::fputs("<html></html>\n", out);
      std::fclose(out);
    }
  }
  if (const char* lines = Env("WV_STANDIN_LINES")) {
    for (long i = 1, n = std::atol(lines); i <= n; ++i) {
      std::fprintf(i % 2 ? stdout : stderr, "line %ld\n", i);
      std::fflush(i % 2 ? stdout : stderr);
    }
  }
  if (const char* bytes = Env("WV_STANDIN_BYTES")) {
    std::string line(99, 'x');
    line += '\n';
    for (long long left = std::atoll(bytes); left > 0; left -= 100)
      std::fwrite(line.data(), 1, left < 100 ? static_cast<std::size_t>(left) : 100, stdout);
    std::fflush(stdout);
  }
  if (const char* raw = Env("WV_STANDIN_RAW")) {
    const std::string bytes = Unescape(raw);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
  }
  if (const char* pictures = Env("WV_STANDIN_PICTURES")) {
    const long n = std::atol(pictures);
    std::printf("%ld pictures found\n", n);
    for (long k = 1; k <= n; ++k) {
      std::printf("[%ld/%ld] pic%05ld.jpg -> Thumbpic%05ld.jpg 136x100\n", k, n, k, k);
      std::fflush(stdout);
    }
    std::printf(
        "/pics/index.html with %ld pictures\n%ld made, 0 kept, 0 remade, 0 skipped, 0 "
        "failed in 1.0 s\n",
        n, n);
    std::fflush(stdout);
  }
  if (const char* wait = Env("WV_STANDIN_WAIT")) {
    while (!Exists(wait)) ::usleep(10000);
  }
  if (const char* raw = Env("WV_STANDIN_RAW_END")) {
    const std::string bytes = Unescape(raw);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
  }
  if (Env("WV_STANDIN_FOREVER")) {
    for (;;) ::pause();
  }
  const char* code = Env("WV_STANDIN_EXIT");
  return code ? std::atoi(code) : 0;
}
