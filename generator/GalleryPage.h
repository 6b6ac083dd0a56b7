// Fills a template's sections into index.html.
//
// Sections used: [picture] (required) once per picture, [head] before and
// [foot] after them, [empty] instead of them when there are none, and
// [rowbreak] between rows of N pictures, N being the first line of
// [perrow]. Placeholders are written {{name}}; every value is HTML-escaped
// and every link percent-encoded when it is put in.
#ifndef WV_GENERATOR_GALLERYPAGE_H
#define WV_GENERATOR_GALLERYPAGE_H

#include "generator/ValuesFile.h"

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using TemplateSections = std::map<std::string, std::vector<std::string>>;

struct GalleryPicture {
  std::string name;         // file name of the picture
  std::string subfolder;    // its subdirectory under the input directory, "" at the top
  std::string pictureLink;  // relative to the output directory, '/' separated, not encoded
  std::string thumbLink;    // likewise
  int width = 0, height = 0;
  int thumbWidth = 0, thumbHeight = 0;
  std::uint64_t bytes = 0;
};

struct GalleryInfo {
  std::string folder;  // name of the input directory
  std::string date;    // when the page was made
};

class PageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class GalleryPage {
 public:
  // `values` (from the values file) override the defaults the template's
  // [askvalues] declares. Throws PageError for a template the generator
  // cannot use: no [picture], an unknown placeholder, a bad [perrow].
  GalleryPage(TemplateSections sections, const TemplateValues& values, GalleryInfo info);

  std::string render(const std::vector<GalleryPicture>& pictures) const;

 private:
  using Fields = std::map<std::string, std::string>;
  std::string fill(const std::string& section, const Fields& fields) const;
  void check(const std::string& section, const Fields& known) const;

  TemplateSections sections_;
  Fields gallery_;
  int perRow_ = 0;
};

// "1.4 MB" and the like.
std::string humanSize(std::uint64_t bytes);

#endif
