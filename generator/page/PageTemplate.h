// A template's sections as the pages use them: read once, each checked for
// the placeholders it may hold, then filled as often as a page needs.
//
// Sections used: [picture] (required) once per picture, [head] before and
// [foot] after them, [empty] instead of them when there are none,
// [rowbreak] between rows of N pictures, N being the first line of
// [perrow], [section] before the pictures of each folder, [pagenav] after
// the pictures when there is more than one page, [album] once per folder
// on an album index (albums=yes) and once per album inside an album (put
// into [section] by {{subalbums}}), [crumb] once per level above a folder
// (put into [section] by {{crumbs}}), and [gallery], lines `key=value`
// that shape the gallery (GallerySettings). Placeholders are written
// {{name}}; every value is HTML-escaped and every link percent-encoded
// when it is put in.
#ifndef WV_GENERATOR_PAGETEMPLATE_H
#define WV_GENERATOR_PAGETEMPLATE_H

#include "contract/ValuesFile.h"

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using TemplateSections = std::map<std::string, std::vector<std::string>>;
// A placeholder's name and what it is filled with.
using PageFields = std::map<std::string, std::string>;

struct GalleryInfo {
  std::string folder;  // name of the input directory
  std::string date;    // when the page was made
};

class PageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a page goes, piece by piece.
class PageSink {
 public:
  virtual ~PageSink() = default;
  virtual void write(const std::string& text) = 0;
};

// Counts what goes to the sink and stops a page that outgrows its bound.
class BoundedWriter {
 public:
  BoundedWriter(PageSink& sink, std::uint64_t limit, const char* what = "the page")
      : sink_(sink), limit_(limit), what_(what) {}
  // Throws PageError once more than the limit would have been written.
  void write(const std::string& text);

 private:
  PageSink& sink_;
  std::uint64_t limit_;
  const char* what_;
  std::uint64_t written_ = 0;
};

// Calls `onText` for literal text and `onField` for each {{name}}, with
// blanks inside the braces ignored. An unclosed "{{" is literal text.
template <class Text, class Field>
void scanPlaceholders(const std::string& line, Text onText, Field onField) {
  std::size_t pos = 0;
  for (;;) {
    std::size_t open = line.find("{{", pos);
    std::size_t close = open == std::string::npos ? open : line.find("}}", open + 2);
    if (close == std::string::npos) {
      onText(line.substr(pos));
      return;
    }
    onText(line.substr(pos, open - pos));
    std::string name = line.substr(open + 2, close - open - 2);
    std::size_t b = name.find_first_not_of(" \t");
    std::size_t e = name.find_last_not_of(" \t");
    onField(b == std::string::npos ? std::string() : name.substr(b, e - b + 1));
    pos = close + 2;
  }
}

class PageTemplate {
 public:
  // `values` (from the values file) override the defaults the template's
  // [askvalues] declares. Throws PageError for a template the generator
  // cannot use: no [picture], an unknown placeholder, a bad [perrow].
  PageTemplate(const TemplateSections& sections, const TemplateValues& values,
               const GalleryInfo& info);

  // The gallery's own values, as given: the template's and the user's,
  // title, folder, date and count.
  const PageFields& values() const { return values_; }
  // Pictures in a row; 0: no [perrow].
  int perRow() const { return perRow_; }
  bool has(const std::string& section) const { return parsed_.count(section) > 0; }
  // Whether [head] or [foot] hold {{galleryscript}} or {{gallerydata}}.
  bool usesDataScript() const { return usesDataScript_; }
  bool usesGalleryData() const { return usesGalleryData_; }
  // Whether [section] holds {{subalbums}}: albums shown inside their album.
  bool usesSubalbums() const { return usesSubalbums_; }

  // Writes `section`, if the template has it, with its placeholders
  // filled from `fields`; one that `fields` lacks is left to `writeOther`
  // (given its name), where given, which writes it to `out` itself.
  void fill(const std::string& section, const PageFields& fields, BoundedWriter& out,
            const std::function<void(const std::string&)>& writeOther = {}) const;

 private:
  struct Piece {
    bool field;
    std::string text;  // literal text (UTF-8), or the placeholder's name
  };
  using Section = std::vector<Piece>;

  std::map<std::string, Section> parsed_;
  PageFields values_;
  int perRow_ = 0;
  bool usesDataScript_ = false, usesGalleryData_ = false, usesSubalbums_ = false;
};

#endif
