#include "generator/record/RecordKey.h"

#include "common/Paths.h"

#include <glib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kSecretBytes = 32;

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}

bool isHex(const std::string& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// The folder and its parents, private to the user where made here.
bool makeFolders(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0 && !makeFolders(dir.substr(0, slash))) return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

// Reads a key file; empty with `problem` set unless it is a regular file of
// this user's, private to them, holding a key.
std::string readKey(const std::string& path, std::string& problem) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    problem = errno == ENOENT ? "missing" : std::strerror(errno);
    return {};
  }
  struct stat st;
  char text[2 * kSecretBytes + 2] = {};
  ssize_t n = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n < 0) {
    problem = "not a regular file";
    return {};
  }
  if (st.st_uid != geteuid()) {
    problem = "it belongs to another user";
    return {};
  }
  if ((st.st_mode & 077) != 0) {
    problem = "others may read or change it; make it private with chmod 600";
    return {};
  }
  std::string key(text, static_cast<std::size_t>(n));
  while (!key.empty() && key.back() == '\n') key.pop_back();
  if (key.size() != 2 * kSecretBytes || !isHex(key)) {
    problem = "it holds no key";
    return {};
  }
  return key;
}

// A new key under `path`; written whole under a temporary name and linked
// into place, so that of two runs making it at once both use the one that
// got there first.
void makeKey(const std::string& path) {
  unsigned char raw[kSecretBytes];
  std::size_t got = 0;
  while (got < sizeof raw) {
    const ssize_t n = getrandom(raw + got, sizeof raw - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    got += static_cast<std::size_t>(n);
  }
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : raw) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  text += '\n';
  const std::string temp = path + "." + std::to_string(getpid()) + ".new";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const bool written =
      write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
  close(fd);
  if (written && link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    // A file system without hard links: the file is whole, move it.
    if (access(path.c_str(), F_OK) != 0) rename(temp.c_str(), path.c_str());
  }
  unlink(temp.c_str());
}

}  // namespace

std::string userRecordKeyPath() {
  std::string base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
    base = config;
  } else {
    const std::string home = homeFolder();
    if (home.empty()) return {};
    base = joinPath(home, ".config");
  }
  return joinPath(joinPath(base, "Korvel Software"), "vignetor-record.key");
}

RecordKey RecordKey::forUser() {
  const std::string path = userRecordKeyPath();
  if (path.empty()) {
    RecordKey key;
    key.problem_ = "no home folder to keep it in";
    return key;
  }
  return fromFile(path);
}

RecordKey RecordKey::fromFile(const std::string& path) {
  RecordKey key;
  key.path_ = path;
  std::string problem;
  key.secret_ = readKey(path, problem);
  if (key.secret_.empty() && problem == "missing") {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) makeFolders(path.substr(0, slash));
    makeKey(path);
    key.secret_ = readKey(path, problem);
    if (key.secret_.empty() && problem == "missing") problem = "it cannot be made";
  }
  if (key.secret_.empty()) key.problem_ = problem;
  return key;
}

RecordKey::Digest::Digest(const RecordKey& key) {
  if (key.usable())
    hmac_ = g_hmac_new(G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(key.secret_.data()),
                       key.secret_.size());
}

RecordKey::Digest::~Digest() {
  if (hmac_) g_hmac_unref(static_cast<GHmac*>(hmac_));
}

void RecordKey::Digest::add(const std::string& text) {
  if (hmac_)
    g_hmac_update(static_cast<GHmac*>(hmac_), reinterpret_cast<const guchar*>(text.data()),
                  static_cast<gssize>(text.size()));
}

std::string RecordKey::Digest::hex() {
  return hmac_ ? std::string(g_hmac_get_string(static_cast<GHmac*>(hmac_))) : std::string();
}

std::string RecordKey::digestOf(const std::string& text) const {
  Digest d(*this);
  d.add(text);
  return d.hex();
}

bool RecordKey::verifies(const std::string& text, const std::string& hex) const {
  const std::string want = digestOf(text);
  if (want.empty() || want.size() != hex.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < want.size(); ++i)
    diff |= static_cast<unsigned char>(want[i] ^ hex[i]);
  return diff == 0;
}
