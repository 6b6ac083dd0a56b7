#include "GeneratorTestSupport.h"

#include <vips/vips8>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <vector>
#include <unistd.h>

namespace fs = std::filesystem;
using vips::VImage;

RunResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                     void (*inChild)(), int seconds) {
  RunResult result;
  TempDir io;
  std::string outPath = io / "out", errPath = io / "err";
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    if (inChild) inChild();
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(program.c_str(), args.data());
    _exit(127);
  }
  int status = 0;
  bool hung = true;
  for (int waited = 0; waited < seconds * 1000; waited += 5) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      hung = false;
      break;
    }
    usleep(5000);
  }
  if (hung) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  result.exitCode = hung ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  if (hung)
    result.err += "\n(killed: still running after " + std::to_string(seconds) + " seconds)\n";
  return result;
}

void dropFileReadingPrivileges() {
  if (geteuid() != 0) return;
  if (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE) != 0 ||
      prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH) != 0)
    _exit(99);
}

RunResult runGenerator(const std::vector<std::string>& switchesAndDirs) {
  std::vector<std::string> argv{"VGN"};
  argv.insert(argv.end(), switchesAndDirs.begin(), switchesAndDirs.end());
  return runProgram(VIGNETOR_PATH, argv);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

bool exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }

std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file())
      files[fs::relative(e.path(), dir).string()] = readFile(e.path().string());
  }
  return files;
}

void makePicture(const std::string& path, int width, int height, int orientation) {
  // A left-to-right ramp in three bands, so crops and turns show.
  VImage x = VImage::xyz(width, height)[0];
  VImage ramp = (x * (255.0 / width)).cast(VIPS_FORMAT_UCHAR);
  VImage rgb =
      ramp.bandjoin(VImage::black(width, height) + 80).bandjoin(255 - ramp).cast(VIPS_FORMAT_UCHAR);
  rgb = rgb.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  if (orientation) rgb.set("orientation", orientation);
  rgb.write_to_file(path.c_str());
}

PictureInfo inspect(const std::string& path) {
  PictureInfo info;
  VImage image = VImage::new_from_file(path.c_str());
  info.width = image.width();
  info.height = image.height();
  info.loader = image.get_string("vips-loader");
  info.hasExif = image.get_typeof("exif-data") != 0;
  if (image.get_typeof("orientation")) info.orientation = image.get_int("orientation");
  return info;
}

void GeneratorFolders::SetUp() {
  in = root / "in";
  out = root / "out";
  program = root / "program";
  std::filesystem::create_directory(in);
  std::filesystem::create_directory(program);
  std::filesystem::copy_file(VIGNETOR_PATH, program + "/Vignetor");
}

void GeneratorFolders::picture(const std::string& rel, int w, int h) {
  std::filesystem::create_directories(std::filesystem::path(in + "/" + rel).parent_path());
  makePicture(in + "/" + rel, w, h);
}

RunResult GeneratorFolders::run(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"VGN"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(program + "/Vignetor", argv);
}
