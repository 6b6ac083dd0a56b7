#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// A fresh folder under the temporary directory for template files,
// removed again after the test.
class TemplateDir : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tpltest-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_strDir = pattern;
  }

  void TearDown() override { std::filesystem::remove_all(m_strDir); }

  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(m_strDir + "/" + name, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good());
  }

  // Open descriptors of this process, to see that no template file stays open.
  static std::size_t openFiles() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
      ++count;
    return count;
  }

  std::string m_strDir;
};
