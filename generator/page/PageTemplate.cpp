#include "generator/page/PageTemplate.h"

#include "contract/AskValue.h"
#include "generator/page/HtmlText.h"
#include "generator/page/PictureFields.h"

#include <set>

namespace {

const char* const kPictureFields[] = {
    "index",        "name",        "subfolder", "picture", "thumb",     "width",    "height",
    "thumbwidth",   "thumbheight", "size",      "bytes",   "web",       "webwidth", "webheight",
    "thumb2x",      "thumb3x",     "srcset",    "imgsrc",  "imgsrcset", "id",       "caption",
    "alt",          "datetaken",   "camera",    "lens",    "exposure",  "section",  "sectionid",
    "sectioncount", "isvideo",     "video"};
// Of the display files ([gallery] rowheight, cellsize), beside kPictureFields.
const char* const kDisplayFields[] = {"displaywidth",  "displayheight",   "displaysrc",
                                      "displaysrcset", "displaymaxwidth", "displaymaxheight"};
const char* const kPageFields[] = {"page",      "pages",         "prevpage",      "nextpage",
                                   "firstpage", "lastpage",      "maxthumbwidth", "maxthumbheight",
                                   "albumzip",  "albumzipbytes", "albumzipsize"};
const char* const kSectionFields[] = {"section",     "sectionid",  "sectioncount", "albumname",
                                      "albumparent", "albumlink",  "albumfrom",    "albumto",
                                      "albumdates",  "albumcount", "subalbumcount"};
// Everywhere, beside kPageFields.
const char* const kAlbumPageFields[] = {"albumindex", "albums", "map"};
const char* const kCrumbFields[] = {"crumbname", "crumblink"};

// Throws PageError for a placeholder of `section` that is not `known`.
void check(const TemplateSections& sections, const std::string& section, const PageFields& known) {
  auto it = sections.find(section);
  if (it == sections.end()) return;
  for (const auto& line : it->second) {
    scanPlaceholders(
        line, [](const std::string&) {},
        [&](const std::string& name) {
          if (known.find(name) == known.end())
            throw PageError("unknown placeholder {{" + name + "}} in section [" + section + "]");
        });
  }
}

}  // namespace

void BoundedWriter::write(const std::string& text) {
  written_ += text.size();
  if (written_ > limit_)
    throw PageError(std::string(what_) + " would be larger than " + humanSize(limit_) +
                    "; the template makes too much text");
  sink_.write(text);
}

PageTemplate::PageTemplate(const TemplateSections& sections, const TemplateValues& values,
                           const GalleryInfo& info) {
  auto ask = sections.find("askvalues");
  if (ask != sections.end()) {
    for (const auto& line : ask->second) {
      const AskValue entry = ParseAskValue(line);
      if (entry.valid) values_[entry.name] = entry.value;
    }
  }
  for (const auto& nv : values) values_[nv.first] = nv.second;
  if (values_.find("title") == values_.end()) values_["title"] = info.folder;
  values_["folder"] = info.folder;
  values_["date"] = info.date;
  values_["count"] = "0";

  if (sections.find("picture") == sections.end())
    throw PageError("the template has no [picture] section");
  PageFields perPage = values_;
  for (const char* f : kPageFields) perPage[f] = "0";
  for (const char* f : kAlbumPageFields) perPage[f] = "0";
  PageFields headFoot = perPage;
  headFoot["gallerydata"] = "0";
  headFoot["galleryscript"] = "0";
  headFoot["previewtags"] = "0";
  PageFields perSection = perPage;
  for (const char* f : kSectionFields) perSection[f] = "0";
  PageFields perPicture = perSection;
  for (const char* f : kPictureFields) perPicture[f] = "0";
  for (const char* f : kDisplayFields) perPicture[f] = "0";
  perSection["crumbs"] = "0";
  perSection["subalbums"] = "0";
  PageFields perCrumb = perPage;
  for (const char* f : kCrumbFields) perCrumb[f] = "0";
  for (const char* s : {"head", "foot"}) check(sections, s, headFoot);
  for (const char* s : {"empty", "rowbreak", "pagenav"}) check(sections, s, perPage);
  for (const char* s : {"perrow", "gallery"}) check(sections, s, values_);
  check(sections, "section", perSection);
  check(sections, "picture", perPicture);
  check(sections, "album", perPicture);
  check(sections, "crumb", perCrumb);

  for (const char* s : {"head", "foot"}) {
    auto it = sections.find(s);
    if (it == sections.end()) continue;
    for (const auto& line : it->second) {
      scanPlaceholders(
          line, [](const std::string&) {},
          [this](const std::string& name) {
            if (name == "galleryscript") usesDataScript_ = true;
            if (name == "gallerydata") usesGalleryData_ = true;
          });
    }
  }

  auto section = sections.find("section");
  for (std::size_t n = 0; section != sections.end() && n < section->second.size(); ++n) {
    scanPlaceholders(
        section->second[n], [](const std::string&) {},
        [this](const std::string& name) {
          usesSubalbums_ = usesSubalbums_ || name == "subalbums";
        });
  }

  for (const auto& section : sections) {
    static const std::set<std::string> kOnPage = {
        "head", "foot", "picture", "empty", "rowbreak", "section", "pagenav", "album", "crumb"};
    if (!kOnPage.count(section.first)) continue;
    Section& pieces = parsed_[section.first];
    for (const auto& line : section.second) {
      scanPlaceholders(
          line,
          [&pieces](const std::string& text) {
            if (text.empty()) return;
            if (!pieces.empty() && !pieces.back().field)
              pieces.back().text += toUtf8(text);
            else
              pieces.push_back({false, toUtf8(text)});
          },
          [&pieces](const std::string& name) {
            pieces.push_back({true, name});
          });
      if (!pieces.empty() && !pieces.back().field)
        pieces.back().text += '\n';
      else
        pieces.push_back({false, "\n"});
    }
  }

  auto perrow = sections.find("perrow");
  if (perrow != sections.end()) {
    std::string text;
    for (const auto& line : perrow->second) {
      scanPlaceholders(
          line, [&text](const std::string& t) { text += toUtf8(t); },
          [&](const std::string& name) { text += htmlEscape(values_[name]); });
      text += '\n';
    }
    // Values are escaped, so only digits pass as they are.
    std::size_t b = text.find_first_not_of(" \t\r\n");
    std::size_t e = text.find_first_of(" \t\r\n", b);
    std::string digits = b == std::string::npos ? "" : text.substr(b, e - b);
    bool ok = !digits.empty() && digits.size() <= 4 &&
              digits.find_first_not_of("0123456789") == std::string::npos;
    if (!ok || std::stoi(digits) < 1)
      throw PageError("[perrow] must give a number of pictures of at least 1, not \"" + text +
                      "\"");
    perRow_ = std::stoi(digits);
  }
}

void PageTemplate::fill(const std::string& section, const PageFields& fields, BoundedWriter& out,
                        const std::function<void(const std::string&)>& writeOther) const {
  auto it = parsed_.find(section);
  if (it == parsed_.end()) return;
  for (const Piece& piece : it->second) {
    if (!piece.field) {
      out.write(piece.text);
      continue;
    }
    auto f = fields.find(piece.text);
    if (f != fields.end())
      out.write(f->second);
    else if (writeOther)
      writeOther(piece.text);
  }
}
