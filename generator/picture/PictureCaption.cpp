#include "generator/picture/PictureCaption.h"

#include "common/Utf8.h"

#include <expat.h>
#include <iconv.h>
#include <libexif/exif-data.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

std::string cutCaptionField(std::string text) {
  // Not in the middle of a UTF-8 sequence; a run of bytes of none (Latin-1
  // on the page) is cut at the bound, not to nothing.
  if (text.size() > kMaxCaptionField) text = utf8Prefix(text, kMaxCaptionField);
  return text;
}

std::string captionText(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t c = 0;
    const std::size_t n = utf8Sequence(text, at, &c);
    // A byte of no sequence stands for its Latin-1 character, as on the page.
    if (n == 0) c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
      out += ' ';
    else
      out.append(text, at, n == 0 ? 1 : n);
    at += n == 0 ? 1 : n;
  }
  out = cutCaptionField(std::move(out));
  const std::size_t b = out.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return out.substr(b, out.find_last_not_of(' ') - b + 1);
}

namespace {

// Text as the EXIF and IPTC blocks hold it: what comes after a NUL is
// padding, not text.
std::string clean(std::string text) {
  std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return captionText(std::move(text));
}

bool isRealDay(int year, int month, int day) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1800 || year > 2200 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// "2024:06:01 14:03:05" (EXIF) or "2024-06-01T14:03:05..." (XMP) as
// "2024-06-01 14:03:05"; a date without a time gets none. Empty when it is
// no date, or no real day and time (2024-02-30, 25:61, a year before 1800 or
// after 2200).
std::string normalDate(const std::string& text) {
  // The number of `n` digits at `at`; -1 when there are none.
  auto digits = [&](std::size_t at, std::size_t n) {
    if (at + n > text.size()) return -1;
    int value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (text[i] < '0' || text[i] > '9') return -1;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  if (!isRealDay(digits(0, 4), digits(5, 2), digits(8, 2))) return {};
  const std::string date = text.substr(0, 4) + "-" + text.substr(5, 2) + "-" + text.substr(8, 2);
  const int hour = digits(11, 2), minute = digits(14, 2), second = digits(17, 2);
  if (hour < 0 || minute < 0) return date;
  if (hour > 23 || minute > 59 || second > 59) return {};
  return date + " " + text.substr(11, 2) + ":" + text.substr(14, 2) + ":" +
         (second < 0 ? "00" : text.substr(17, 2));
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

// The XMP properties a caption takes, by namespace and local name: whatever
// prefix the packet binds to the namespace.
enum XmpField { kXmpDescription, kXmpTitle, kXmpDateOriginal, kXmpDateCreated, kXmpFields };

constexpr char kRdf[] = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr char kXmlLang[] = "http://www.w3.org/XML/1998/namespace\x01lang";
// Between a namespace and a local name in the names expat hands over; no
// namespace name may hold it.
constexpr char kNameSeparator = '\x01';

struct XmpName {
  const char* space;
  const char* local;
};
constexpr XmpName kXmpNames[kXmpFields] = {
    {"http://purl.org/dc/elements/1.1/", "description"},
    {"http://purl.org/dc/elements/1.1/", "title"},
    {"http://ns.adobe.com/exif/1.0/", "DateTimeOriginal"},
    {"http://ns.adobe.com/photoshop/1.0/", "DateCreated"},
};

bool isName(const char* expanded, const char* space, const char* local) {
  const std::size_t n = std::strlen(space);
  return std::strncmp(expanded, space, n) == 0 && expanded[n] == kNameSeparator &&
         std::strcmp(expanded + n + 1, local) == 0;
}

int xmpField(const char* expanded) {
  for (int f = 0; f < kXmpFields; ++f)
    if (isName(expanded, kXmpNames[f].space, kXmpNames[f].local)) return f;
  return -1;
}

bool isDefaultLanguage(const std::string& lang) {
  static const char kDefault[] = "x-default";
  if (lang.size() != sizeof kDefault - 1) return false;
  for (std::size_t i = 0; i < lang.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(lang[i])) != kDefault[i]) return false;
  return true;
}

// The properties of the picture itself: those of an rdf:Description right
// inside rdf:RDF (not those of the descriptions nested in them, such as the
// pictures a picture was made of), as an attribute, as element text or as a
// language alternative (its `x-default` entry, else its first). The first
// non-empty value of each wins. Read with expat: comments, CDATA, the five
// standard entities and character references as XML has them; a packet with
// a document type declaration is not read at all, so no entity of its own is
// ever expanded and nothing outside is fetched. Linear in the packet's size;
// elements below kMaxDepth are passed over without being kept.
class XmpReader {
 public:
  std::string values[kXmpFields];

  explicit XmpReader(const std::string& xmp) {
    if (xmp.empty()) return;
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(
        XML_ParserCreateNS(nullptr, kNameSeparator));
    if (!parser) return;
    parser_ = parser.get();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmpReader::start, &XmpReader::end);
    XML_SetCharacterDataHandler(parser_, &XmpReader::characters);
    XML_SetStartDoctypeDeclHandler(parser_, &XmpReader::doctype);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    // What comes before an error (a cut packet, padding of NULs) still counts.
    constexpr std::size_t kPiece = 1 << 20;
    for (std::size_t at = 0; at < xmp.size(); at += kPiece) {
      const std::size_t n = std::min(kPiece, xmp.size() - at);
      if (XML_Parse(parser_, xmp.data() + at, static_cast<int>(n), at + n == xmp.size()) !=
          XML_STATUS_OK)
        break;
    }
  }

 private:
  // Deeper than any property read here lies (x:xmpmeta, rdf:RDF,
  // rdf:Description, the property, rdf:Alt, rdf:li).
  static constexpr std::size_t kMaxDepth = 32;

  enum class Role { Other, Rdf, Description, Property, Container, Item };
  struct Frame {
    Role role;
    std::string lang;
  };
  struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
  };

  XML_Parser parser_ = nullptr;
  std::vector<Frame> frames_;  // the open elements down to kMaxDepth
  std::size_t depth_ = 0;      // all open elements
  // The property being read.
  int field_ = -1;
  std::string text_;  // of the property or of its current entry, bounded
  bool hasEntries_ = false;
  std::string first_, default_;

  static bool isRdf(const char* name, const char* local) { return isName(name, kRdf, local); }

  void take(int field, const std::string& value) {
    if (field >= 0 && values[field].empty()) values[field] = clean(value);
  }

  static void XMLCALL doctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    XML_StopParser(static_cast<XmpReader*>(self)->parser_, XML_FALSE);
  }

  static void XMLCALL start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<XmpReader*>(data);
    ++self->depth_;
    if (self->depth_ > kMaxDepth || self->frames_.size() + 1 != self->depth_) return;
    const Role parent = self->frames_.empty() ? Role::Other : self->frames_.back().role;
    Frame frame{Role::Other, self->frames_.empty() ? std::string() : self->frames_.back().lang};
    for (const XML_Char** a = attributes; a[0]; a += 2)
      if (std::strcmp(a[0], kXmlLang) == 0) frame.lang = a[1];

    if (parent == Role::Other && isRdf(name, "RDF")) {
      frame.role = Role::Rdf;
    } else if (parent == Role::Rdf && isRdf(name, "Description")) {
      frame.role = Role::Description;
      for (const XML_Char** a = attributes; a[0]; a += 2) self->take(xmpField(a[0]), a[1]);
    } else if (parent == Role::Description) {
      self->field_ = xmpField(name);
      if (self->field_ >= 0) {
        frame.role = Role::Property;
        self->text_.clear();
        self->hasEntries_ = false;
        self->first_.clear();
        self->default_.clear();
      }
    } else if (parent == Role::Property &&
               (isRdf(name, "Alt") || isRdf(name, "Bag") || isRdf(name, "Seq"))) {
      frame.role = Role::Container;
      self->hasEntries_ = true;
    } else if (parent == Role::Container && isRdf(name, "li")) {
      frame.role = Role::Item;
      self->text_.clear();
    }
    self->frames_.push_back(std::move(frame));
  }

  static void XMLCALL characters(void* data, const XML_Char* text, int length) {
    auto* self = static_cast<XmpReader*>(data);
    if (self->frames_.size() != self->depth_ || self->frames_.empty()) return;
    const Role role = self->frames_.back().role;
    if (role != Role::Property && role != Role::Item) return;
    // Enough to cut at a whole character as clean() does.
    const std::size_t room =
        kMaxCaptionField + 4 - std::min(self->text_.size(), kMaxCaptionField + 4);
    self->text_.append(text, std::min(room, static_cast<std::size_t>(length)));
  }

  static void XMLCALL end(void* data, const XML_Char*) {
    auto* self = static_cast<XmpReader*>(data);
    if (self->frames_.size() == self->depth_ && !self->frames_.empty()) {
      const Frame frame = std::move(self->frames_.back());
      self->frames_.pop_back();
      if (frame.role == Role::Item) {
        std::string value = clean(self->text_);
        if (isDefaultLanguage(frame.lang) && self->default_.empty()) self->default_ = value;
        if (self->first_.empty()) self->first_ = std::move(value);
        self->text_.clear();
      } else if (frame.role == Role::Property) {
        self->take(self->field_, !self->hasEntries_       ? self->text_
                                 : self->default_.empty() ? self->first_
                                                          : self->default_);
        self->field_ = -1;
      }
    }
    --self->depth_;
  }
};

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

// Whether the coded character set record (1:90) names UTF-8: ESC % G, or
// ESC % / G, H or I (UTF-8 at one of its implementation levels).
bool namesUtf8(const std::string& charset) {
  if (charset.size() < 3 || charset[0] != '\x1b' || charset[1] != '%') return false;
  if (charset[2] == 'G') return true;
  return charset.size() >= 4 && charset[2] == '/' && charset[3] >= 'G' && charset[3] <= 'I';
}

std::string latin1ToUtf8(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) appendUtf8(out, c);
  return out;
}

// Whether `text` holds an ISO 2022 escape sequence that designates a
// character set: ESC, then one of `$ ( ) * + - . /` (`%` leaves ISO 2022,
// as ESC % G into UTF-8 does).
bool designatesSet(const std::string& text) {
  for (std::size_t at = text.find('\x1b'); at != std::string::npos && at + 1 < text.size();
       at = text.find('\x1b', at + 1)) {
    if (text[at + 1] >= '$' && text[at + 1] <= '/' && text[at + 1] != '%') return true;
  }
  return false;
}

// The form of ISO 2022 the escape sequences in `text` belong to: Korean or
// Chinese where they put those sets beside ASCII (shifted in and out), else
// ISO-2022-JP-2, which also reads the Chinese and Korean sets designated
// as Japanese text has them.
const char* iso2022Form(const std::string& text) {
  if (text.find("\x1b$)C") != std::string::npos) return "ISO-2022-KR";
  for (const char* chinese : {"\x1b$)A", "\x1b$)G", "\x1b$)E", "\x1b$*H", "\x1b$+"})
    if (text.find(chinese) != std::string::npos) return "ISO-2022-CN-EXT";
  return "ISO-2022-JP-2";
}

// `text` in ISO 2022 as UTF-8; empty when it is none that iconv reads (a
// byte beyond seven bits, a character cut off).
std::string fromIso2022(const char* form, const std::string& text) {
  const iconv_t cd = iconv_open("UTF-8", form);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out;
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  bool ok = true;
  while (ok && inLeft > 0) {
    char buffer[4096];
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    ok = iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1) || errno == E2BIG;
    out.append(buffer, static_cast<std::size_t>(to - buffer));
  }
  iconv_close(cd);
  return ok ? out : std::string();
}

// The caption (2:120) and object name (2:05). Text with ISO 2022 escape
// sequences, or in a block whose character set record (1:90) names an ISO
// 2022 set of more than one byte, is read as ISO 2022 (left out when it does
// not read so); the Korean and Chinese sets the record designates hold from
// the start of each text. Otherwise text in a block whose record names UTF-8
// is UTF-8; one that names another set is Latin-1; without the record, text
// that reads as UTF-8 is taken as such (as many programs write it), the rest
// as Latin-1 when the page is made.
void readIptc(const std::string& blob, std::string& caption, std::string& title) {
  const std::string records = iptcRecords(blob);
  std::string charset;
  bool hasCharset = false;
  for (std::size_t at = 0; at + 5 <= records.size();) {
    if (records[at] != 0x1c) break;
    const unsigned record = static_cast<unsigned char>(records[at + 1]);
    const unsigned dataset = static_cast<unsigned char>(records[at + 2]);
    std::size_t size = be(records, at + 3, 2);
    std::size_t p = at + 5;
    if (size & 0x8000) break;  // the extended form is for data far larger than text
    if (size > records.size() - p) break;
    if (record == 1 && dataset == 90 && !hasCharset) {
      charset = records.substr(p, std::min<std::size_t>(size, 32));
      hasCharset = true;
    }
    const std::string value = records.substr(p, size);
    if (record == 2 && dataset == 120 && caption.empty() && !clean(value).empty()) caption = value;
    if (record == 2 && dataset == 5 && title.empty() && !clean(value).empty()) title = value;
    at = p + size;
  }
  const bool iso2022Set = charset.find("\x1b$") != std::string::npos;
  for (std::string* text : {&caption, &title}) {
    if (designatesSet(*text) || iso2022Set) {
      const char* form = iso2022Form(charset + *text);
      // The sets the record designates to shift in (G1 to G3), where the
      // text designates none itself.
      std::string shifted;
      for (std::size_t at = charset.find("\x1b$");
           at != std::string::npos && at + 4 <= charset.size() && !designatesSet(*text);
           at = charset.find("\x1b$", at + 1)) {
        const char g = charset[at + 2];
        if (g == ')' || g == '*' || g == '+') shifted += charset.substr(at, 4);
      }
      *text = fromIso2022(form, shifted + *text);
    } else if (hasCharset && !namesUtf8(charset)) {
      *text = latin1ToUtf8(*text);
    }
    *text = clean(*text);
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
  const XmpReader fromXmp(xmp);
  const std::string& xmpDescription = fromXmp.values[kXmpDescription];
  const std::string& xmpTitle = fromXmp.values[kXmpTitle];
  // A written description first: the EXIF one is often a camera's default.
  for (const std::string* d : std::initializer_list<const std::string*>{
           &xmpDescription, &iptcCaption, &exifDescription, &xmpTitle, &iptcTitle}) {
    if (!d->empty()) {
      c.description = *d;
      break;
    }
  }
  c.title = xmpTitle.empty() ? iptcTitle : xmpTitle;
  if (c.dateTaken.empty()) c.dateTaken = normalDate(fromXmp.values[kXmpDateOriginal]);
  if (c.dateTaken.empty()) c.dateTaken = normalDate(fromXmp.values[kXmpDateCreated]);
  return tidyCaption(std::move(c));
}

PictureCaption tidyCaption(PictureCaption c) {
  for (std::string* field : {&c.description, &c.title, &c.camera, &c.lens, &c.exposure})
    *field = captionText(std::move(*field));
  c.dateTaken = normalDate(captionText(std::move(c.dateTaken)));
  return c;
}
