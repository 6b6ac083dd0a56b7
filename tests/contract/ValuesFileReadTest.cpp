#include "contract/ValuesFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string writeTemp(const std::string& content) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vgn-values-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  EXPECT_GE(fd, 0);
  EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  close(fd);
  return name.data();
}

TEST(ValuesFile, ReadsTheFrontEndFormatWithoutTrimming) {
  std::string path = writeTemp(
      "; - file created by wVignetor.exe -\n"
      "; This file is normaly automatically removed after\n"
      "; a succesfull run of Vignetor\n"
      "columns=4\n"
      "title= My <pictures> ; a=b \n"
      " spaced =\r\n"
      "columns=5\n");
  TemplateValues values;
  std::string error;
  ASSERT_TRUE(readValuesFile(path, values, error)) << error;
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0], (std::pair<std::string, std::string>("columns", "5")));
  EXPECT_EQ(values[1].second, " My <pictures> ; a=b ");
  EXPECT_EQ(values[2], (std::pair<std::string, std::string>(" spaced ", "")));
  unlink(path.c_str());
}

TEST(ValuesFile, ReportsMissingFilesAndLinesWithoutEquals) {
  TemplateValues values;
  std::string error;
  EXPECT_FALSE(readValuesFile("/nonexistent/itu0.TMP", values, error));
  EXPECT_NE(error.find("/nonexistent/itu0.TMP"), std::string::npos);

  std::string path = writeTemp("; header\ntitle=x\njust text\n");
  error.clear();
  EXPECT_FALSE(readValuesFile(path, values, error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  unlink(path.c_str());
}

TEST(ValuesFile, ReadsOnlyRegularFilesOfABoundedSize) {
  TemplateValues values;
  std::string error;
  // Neither waits for a writer nor reads on and on.
  std::string fifo = writeTemp("");
  unlink(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(readValuesFile(fifo, values, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  unlink(fifo.c_str());
  for (const char* device : {"/dev/zero", "/dev/null", "/tmp"}) {
    error.clear();
    EXPECT_FALSE(readValuesFile(device, values, error)) << device;
    EXPECT_NE(error.find(device), std::string::npos) << error;
  }

  std::string line = "v=" + std::string(1000, 'x') + "\n";
  std::string big;
  while (big.size() + line.size() <= kValuesFileMaxBytes) big += line;
  std::string path = writeTemp(big);
  EXPECT_TRUE(readValuesFile(path, values, error)) << error;
  unlink(path.c_str());
  path = writeTemp(big + line);
  EXPECT_FALSE(readValuesFile(path, values, error));
  EXPECT_NE(error.find("larger than 1 MiB"), std::string::npos) << error;
  unlink(path.c_str());
}

}  // namespace
