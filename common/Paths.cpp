#include "common/Paths.h"

#include <filesystem>

namespace fs = std::filesystem;

std::string joinPath(const std::string& dir, const std::string& name) {
  if (name.empty()) return dir;
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string normalPath(const std::string& path) {
  fs::path p(path);
  if (p.is_relative()) {
    std::error_code ec;
    p = fs::current_path(ec) / p;
  }
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string relativePath(const std::string& target, const std::string& base) {
  std::string rel = fs::path(target).lexically_relative(base).generic_string();
  return rel.empty() ? "." : rel;
}
