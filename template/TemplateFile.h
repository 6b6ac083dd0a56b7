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

  // A line longer than the line length comes as several pieces, each a line
  // of its section. This gives the section with the pieces of every such
  // line put back together.
  Lines getJoinedSection(const std::string& name) const;
  // The number (from 1) of the first line of the file that was longer than
  // the line length and had a piece read as something else than a content
  // line (a comment, a section header, a directive), or whose first piece
  // was one; such a line cannot be put back together. 0 when there is none.
  std::size_t getBrokenLongLine() const noexcept { return brokenLongLine; }

 protected:
  virtual void parse(std::FILE* file);
  virtual void processDirectives();

  std::string directory;
  std::string fileName;
  // std::string compares bytes as unsigned, a prefix first.
  std::map<std::string, Lines> sections;
  // Beside each section's lines: whether the line goes on in the next one.
  // A derived parser may leave it empty.
  std::map<std::string, std::vector<bool>> continued;
  std::size_t brokenLongLine = 0;
};
