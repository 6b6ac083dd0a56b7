#pragma once

#include "template/TemplateError.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Reads one *.tpl file into named sections of lines and expands its
// $PROCESS$ directives. Short-lived: construct, load, ask, destroy.
class TemplateFile {
 public:
  using Lines = std::vector<std::string>;

  TemplateFile(const std::string& directory, const std::string& fileName);
  virtual ~TemplateFile();

  // Reads the file and expands the directives; throws TemplateError.
  // Starts from no sections, so a reader can be loaded again.
  void load();

  bool hasSection(const std::string& name) const noexcept;
  // An unknown name gives an empty sequence. The reference stays valid
  // until the next load or the reader's end.
  const Lines& getSection(const std::string& name) const noexcept;
  std::vector<std::string> getSectionNames() const;

 protected:
  virtual void parse(std::FILE* file);
  virtual void processDirectives();

  std::string directory;
  std::string fileName;
  // std::string compares bytes as unsigned, a prefix first.
  std::map<std::string, Lines> sections;
};
