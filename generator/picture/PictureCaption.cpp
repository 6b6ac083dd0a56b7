#include "generator/picture/PictureCaption.h"

#include "common/Utf8.h"

#include <libexif/exif-data.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

std::string cutCaptionField(std::string text) {
  if (text.size() > kMaxCaptionField) {
    std::size_t cut = kMaxCaptionField;
    // Not in the middle of a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;
    text.resize(cut);
  }
  return text;
}

namespace {

std::string clean(std::string text) {
  std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  text = cutCaptionField(std::move(text));
  std::size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  std::size_t e = text.find_last_not_of(" \t\r\n");
  return text.substr(b, e - b + 1);
}

// "2024:06:01 14:03:05" (EXIF) or "2024-06-01T14:03:05..." (XMP) as
// "2024-06-01 14:03:05"; a date without a time gets none. Empty when it is
// no date.
std::string normalDate(const std::string& text) {
  auto digits = [&](std::size_t at, std::size_t n) {
    if (at + n > text.size()) return false;
    for (std::size_t i = at; i < at + n; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
  };
  if (!digits(0, 4) || text.size() < 10 || !digits(5, 2) || !digits(8, 2)) return {};
  std::string date = text.substr(0, 4) + "-" + text.substr(5, 2) + "-" + text.substr(8, 2);
  if (date == "0000-00-00" || text.substr(5, 2) == "00" || text.substr(8, 2) == "00") return {};
  if (text.size() >= 19 && digits(11, 2) && digits(14, 2) && digits(17, 2))
    return date + " " + text.substr(11, 2) + ":" + text.substr(14, 2) + ":" + text.substr(17, 2);
  if (text.size() >= 16 && digits(11, 2) && digits(14, 2))
    return date + " " + text.substr(11, 2) + ":" + text.substr(14, 2) + ":00";
  return date;
}

std::string number(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

// --- EXIF -------------------------------------------------------------------

struct ExifFree {
  void operator()(ExifData* d) const { exif_data_unref(d); }
};

struct Exif {
  ExifData* data;
  ExifByteOrder order;

  ExifEntry* entry(ExifIfd ifd, ExifTag tag) const {
    return data->ifd[ifd] ? exif_content_get_entry(data->ifd[ifd], tag) : nullptr;
  }

  std::string text(ExifIfd ifd, ExifTag tag) const {
    ExifEntry* e = entry(ifd, tag);
    if (!e || !e->data || (e->format != EXIF_FORMAT_ASCII && e->format != EXIF_FORMAT_UNDEFINED))
      return {};
    return clean(std::string(reinterpret_cast<const char*>(e->data), e->size));
  }

  // The first value of a rational or integer entry; false when there is none.
  bool value(ExifIfd ifd, ExifTag tag, double& out) const {
    ExifEntry* e = entry(ifd, tag);
    if (!e || !e->data || e->components < 1) return false;
    const std::size_t unit = exif_format_get_size(e->format);
    if (unit == 0 || e->size < unit) return false;
    switch (e->format) {
      case EXIF_FORMAT_RATIONAL: {
        ExifRational r = exif_get_rational(e->data, order);
        if (r.denominator == 0) return false;
        out = static_cast<double>(r.numerator) / r.denominator;
        return true;
      }
      case EXIF_FORMAT_SRATIONAL: {
        ExifSRational r = exif_get_srational(e->data, order);
        if (r.denominator == 0) return false;
        out = static_cast<double>(r.numerator) / r.denominator;
        return true;
      }
      case EXIF_FORMAT_SHORT: out = exif_get_short(e->data, order); return true;
      case EXIF_FORMAT_LONG: out = exif_get_long(e->data, order); return true;
      default: return false;
    }
  }
};

void readExif(const std::string& blob, PictureCaption& c, std::string& description) {
  if (blob.empty()) return;
  std::unique_ptr<ExifData, ExifFree> data(exif_data_new());
  if (!data) return;
  // Only what the file says; nothing made up or changed.
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
  exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(blob.data()),
                      static_cast<unsigned int>(blob.size()));
  Exif exif{data.get(), exif_data_get_byte_order(data.get())};

  c.dateTaken = normalDate(exif.text(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL));
  if (c.dateTaken.empty())
    c.dateTaken = normalDate(exif.text(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_DIGITIZED));
  description = exif.text(EXIF_IFD_0, EXIF_TAG_IMAGE_DESCRIPTION);

  const std::string make = exif.text(EXIF_IFD_0, EXIF_TAG_MAKE);
  const std::string model = exif.text(EXIF_IFD_0, EXIF_TAG_MODEL);
  // Models often begin with the maker's name already.
  if (!make.empty() && model.compare(0, make.size(), make) != 0)
    c.camera = model.empty() ? make : make + " " + model;
  else
    c.camera = model;
  c.lens = exif.text(EXIF_IFD_EXIF, EXIF_TAG_LENS_MODEL);

  std::string exposure;
  auto add = [&exposure](const std::string& part) {
    if (!exposure.empty()) exposure += ", ";
    exposure += part;
  };
  double v;
  if (exif.value(EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME, v) && v > 0 && v < 1e5) {
    if (v < 0.5)
      add("1/" + number(std::round(1 / v), 0) + " s");
    else
      add(number(v, 1) + " s");
  }
  if (exif.value(EXIF_IFD_EXIF, EXIF_TAG_FNUMBER, v) && v > 0 && v < 1e4) add("f/" + number(v, 1));
  if (exif.value(EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS, v) && v > 0) add("ISO " + number(v, 0));
  if (exif.value(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, v) && v > 0 && v < 1e5)
    add(number(v, 1) + " mm");
  c.exposure = exposure;
}

// --- XMP --------------------------------------------------------------------

std::string xmlText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    std::size_t semi = text.find(';', i);
    if (semi == std::string::npos || semi - i > 10) {
      out += text[i++];
      continue;
    }
    const std::string name = text.substr(i + 1, semi - i - 1);
    unsigned long code = 0;
    bool ok = true;
    if (name == "amp")
      code = '&';
    else if (name == "lt")
      code = '<';
    else if (name == "gt")
      code = '>';
    else if (name == "quot")
      code = '"';
    else if (name == "apos")
      code = '\'';
    else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const std::string digits = name.substr(hex ? 2 : 1);
      ok = !digits.empty() && digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                           : "0123456789") == std::string::npos;
      if (ok) code = std::stoul(digits, nullptr, hex ? 16 : 10);
      ok = ok && code > 0 && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
    } else {
      ok = false;
    }
    if (!ok) {
      out += text[i++];
      continue;
    }
    appendUtf8(out, static_cast<char32_t>(code));
    i = semi + 1;
  }
  return out;
}

// The value of the XMP property `name` ("dc:title"): the default language
// of a language alternative, else its first entry, else simple element text
// or an attribute of that name.
std::string xmpProperty(const std::string& xmp, const std::string& name) {
  const std::string open = "<" + name;
  for (std::size_t at = xmp.find(open); at != std::string::npos; at = xmp.find(open, at + 1)) {
    const std::size_t after = at + open.size();
    if (after >= xmp.size()) break;
    const char next = xmp[after];
    if (next != '>' && next != ' ' && next != '\t' && next != '\r' && next != '\n') continue;
    const std::size_t tagEnd = xmp.find('>', after);
    if (tagEnd == std::string::npos) break;
    if (xmp[tagEnd - 1] == '/') continue;
    const std::size_t close = xmp.find("</" + name, tagEnd);
    if (close == std::string::npos) break;
    const std::string inner = xmp.substr(tagEnd + 1, close - tagEnd - 1);
    if (inner.find('<') == std::string::npos) return clean(xmlText(inner));
    std::string first, fallback;
    for (std::size_t li = inner.find("<rdf:li"); li != std::string::npos;
         li = inner.find("<rdf:li", li + 1)) {
      const std::size_t liEnd = inner.find('>', li);
      if (liEnd == std::string::npos) break;
      if (inner[liEnd - 1] == '/') continue;
      const std::size_t liClose = inner.find("</rdf:li>", liEnd);
      if (liClose == std::string::npos) break;
      const std::string value = clean(xmlText(inner.substr(liEnd + 1, liClose - liEnd - 1)));
      const std::string tag = inner.substr(li, liEnd - li);
      if (tag.find("x-default") != std::string::npos && !value.empty()) return value;
      if (fallback.empty()) fallback = value;
    }
    return fallback;
  }
  // The short form: name="value" on the description element.
  const std::string attribute = name + "=\"";
  std::size_t at = xmp.find(attribute);
  if (at != std::string::npos) {
    const std::size_t begin = at + attribute.size();
    const std::size_t end = xmp.find('"', begin);
    if (end != std::string::npos) return clean(xmlText(xmp.substr(begin, end - begin)));
  }
  return {};
}

// --- IPTC -------------------------------------------------------------------

std::uint32_t be(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The IPTC records inside a block of image resources, or the block itself
// when it holds the records straight.
std::string iptcRecords(const std::string& blob) {
  if (!blob.empty() && blob[0] == 0x1c) return blob;
  std::size_t at = blob.find("8BIM");
  while (at != std::string::npos && at + 12 <= blob.size()) {
    if (blob.compare(at, 4, "8BIM") != 0) break;
    const std::uint32_t id = be(blob, at + 4, 2);
    std::size_t p = at + 6;
    const std::size_t nameLength = static_cast<unsigned char>(blob[p]);
    p += 1 + nameLength;
    if (p % 2) ++p;  // the name is padded to an even length, its length byte included
    if (p + 4 > blob.size()) break;
    const std::uint32_t size = be(blob, p, 4);
    p += 4;
    if (size > blob.size() - p) break;
    if (id == 0x0404) return blob.substr(p, size);
    at = p + size + (size % 2);
  }
  return {};
}

void readIptc(const std::string& blob, std::string& caption, std::string& title) {
  const std::string records = iptcRecords(blob);
  for (std::size_t at = 0; at + 5 <= records.size();) {
    if (records[at] != 0x1c) break;
    const unsigned record = static_cast<unsigned char>(records[at + 1]);
    const unsigned dataset = static_cast<unsigned char>(records[at + 2]);
    std::size_t size = be(records, at + 3, 2);
    std::size_t p = at + 5;
    if (size & 0x8000) break;  // the extended form is for data far larger than text
    if (size > records.size() - p) break;
    const std::string value = clean(records.substr(p, size));
    if (record == 2 && dataset == 120 && caption.empty()) caption = value;
    if (record == 2 && dataset == 5 && title.empty()) title = value;
    at = p + size;
  }
}

}  // namespace

PictureCaption readCaption(const std::string& exif, const std::string& xmp,
                           const std::string& iptc) {
  PictureCaption c;
  std::string exifDescription;
  readExif(exif, c, exifDescription);
  std::string iptcCaption, iptcTitle;
  readIptc(iptc, iptcCaption, iptcTitle);
  const std::string xmpDescription = xmp.empty() ? "" : xmpProperty(xmp, "dc:description");
  const std::string xmpTitle = xmp.empty() ? "" : xmpProperty(xmp, "dc:title");
  // A written description first: the EXIF one is often a camera's default.
  for (const std::string* d : std::initializer_list<const std::string*>{
           &xmpDescription, &iptcCaption, &exifDescription, &xmpTitle, &iptcTitle}) {
    if (!d->empty()) {
      c.description = *d;
      break;
    }
  }
  if (c.dateTaken.empty() && !xmp.empty()) {
    c.dateTaken = normalDate(xmpProperty(xmp, "exif:DateTimeOriginal"));
    if (c.dateTaken.empty()) c.dateTaken = normalDate(xmpProperty(xmp, "photoshop:DateCreated"));
  }
  return c;
}
