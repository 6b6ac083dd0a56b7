// Feeds arbitrary templates, values, names and command lines to the parts
// of the generator that read text, and checks what must always hold of
// their output: valid UTF-8, nothing that can end an HTML text or attribute,
// links of plain characters only.
#include "contract/Arguments.h"
#include "generator/page/GalleryPage.h"
#include "generator/page/HtmlText.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool isSafeHtml(const std::string& s) { return s.find_first_of("<>\"'") == std::string::npos; }

bool isPlainUrl(const std::string& s) {
  for (unsigned char c : s) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~' || c == '%' || c == '/';
    if (!plain) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start <= input.size();) {
    std::size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    lines.push_back(input.substr(start, end - start));
    start = end + 1;
  }

  // Text helpers.
  for (const auto& line : lines) {
    std::string utf8 = toUtf8(line);
    check(toUtf8(utf8) == utf8);
    check(isSafeHtml(htmlEscape(line)));
    check(isPlainUrl(pathToUrl(line)));
  }

  // The command line: any vector parses or is refused, never more.
  ParsedArguments parsed = parseArguments(lines);
  if (parsed.ok()) check(checkPrefix(parsed.args.prefix).empty());

  // A template: "[name]" opens a section, "name=value" lines before the
  // first section are values, names of pictures follow "#" (a folder before
  // the last "/").
  TemplateSections sections;
  TemplateValues values;
  std::vector<GalleryPicture> pictures;
  std::string open;
  for (const auto& line : lines) {
    if (!line.empty() && line[0] == '[') {
      open = line.substr(
          1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1);
    } else if (!line.empty() && line[0] == '#') {
      GalleryPicture p;
      // As a scan gives it: no empty folder name (a leading "/", "//").
      std::string path;
      for (char c : line.substr(1))
        if (c != '/' || (!path.empty() && path.back() != '/')) path += c;
      const std::size_t slash = path.rfind('/');
      p.name = slash == std::string::npos ? path : path.substr(slash + 1);
      p.subfolder = slash == std::string::npos ? "" : path.substr(0, slash);
      p.pictureLink = "../in/" + path;
      p.thumbLink = "T" + path;
      p.caption.dateTaken = p.name;
      p.modified = static_cast<std::int64_t>(path.size()) * 86400;
      pictures.push_back(p);
    } else if (open.empty()) {
      std::size_t eq = line.find('=');
      if (eq != std::string::npos) values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    } else {
      sections[open].push_back(line);
    }
  }
  try {
    GalleryPage page(sections, values, GalleryInfo{"in", "2026-01-01 00:00"});
    std::string html = page.render(pictures);
    check(toUtf8(html) == html);
    // With folders: sections, or an album index and pages of their own.
    struct Text : PageSink {
      std::string text;
      void write(const std::string& t) override { text += t; }
    };
    page.arrange(pictures, true);
    for (std::size_t n = 0; n < page.pageCount(); ++n) {
      Text out;
      page.render(n, out);
      check(toUtf8(out.text) == out.text);
    }
  } catch (const PageError&) {
  }
  return 0;
}
