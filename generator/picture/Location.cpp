#include "generator/picture/Location.h"

#include "common/FileRead.h"
#include "generator/compat/VipsErrors.h"

#include <expat.h>
#include <libexif/exif-data.h>
#include <vips/vips8>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// No picture the generator reads is larger.
constexpr std::uint64_t kMaxPicture = std::uint64_t(1) << 32;

constexpr char kExifNs[] = "http://ns.adobe.com/exif/1.0/";
constexpr char kExifHeader[] = "Exif\0\0";  // before the TIFF structure in JPEG and libvips
constexpr char kXmpHeader[] = "http://ns.adobe.com/xap/1.0/";  // and its NUL
constexpr char kXmpExtension[] = "http://ns.adobe.com/xmp/extension/";

std::uint32_t getBe(const std::string& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

std::uint32_t getLe(const std::string& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

bool startsWith(const std::string& b, std::size_t at, std::size_t size, const char* text,
                std::size_t n) {
  return size >= n && b.compare(at, n, text, n) == 0;
}

// A piece of the picture's bytes: a TIFF structure (EXIF) or an XMP packet;
// `chunk`, where it lies in a PNG chunk, is where that chunk begins.
struct Block {
  std::size_t at = 0, size = 0;
  std::size_t chunk = std::string::npos;
};

struct Layout {
  std::vector<Block> exif, xmp;
};

enum class Found { Read, NotHandled, Damaged };

// --- TIFF -------------------------------------------------------------------

// The TIFF structure of `block`: reads and writes inside it alone, its
// offsets counted from its start.
struct Tiff {
  std::string& b;
  std::size_t base, size;
  bool little = true;

  bool fits(std::uint64_t at, std::uint64_t n) const { return at <= size && n <= size - at; }
  std::uint32_t get(std::size_t at, int n) const {
    return little ? getLe(b, base + at, n) : getBe(b, base + at, n);
  }
  void put(std::size_t at, int n, std::uint32_t v) {
    for (int i = 0; i < n; ++i) {
      const int shift = little ? 8 * i : 8 * (n - 1 - i);
      b[base + at + i] = static_cast<char>(v >> shift & 0xff);
    }
  }

  // The byte order and the first IFD's entry count; false when it is no
  // TIFF structure or its first IFD lies outside it.
  bool open(std::size_t& ifd0, std::uint32_t& count) {
    if (size < 8) return false;
    if (b.compare(base, 4, "II*\0", 4) == 0)
      little = true;
    else if (b.compare(base, 4, "MM\0*", 4) == 0)
      little = false;
    else
      return false;
    ifd0 = get(4, 4);
    if (!fits(ifd0, 2)) return false;
    count = get(ifd0, 2);
    return fits(ifd0 + 2, std::uint64_t(count) * 12);
  }
};

std::uint64_t unitSize(std::uint32_t type) {
  static const unsigned kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < sizeof kSizes / sizeof kSizes[0] ? kSizes[type] : 0;
}

// Where the value of the entry at `entry` lies, inside the entry or out of
// it; false when it lies outside the structure.
bool valueOf(const Tiff& t, std::size_t entry, std::size_t& at, std::uint64_t& size) {
  size = unitSize(t.get(entry + 2, 2)) * t.get(entry + 4, 4);
  at = entry + 8;
  if (size <= 4) return true;
  at = t.get(entry + 8, 4);
  return t.fits(at, size);
}

bool overlap(std::uint64_t a, std::uint64_t an, std::uint64_t b, std::uint64_t bn) {
  return a < b + bn && b < a + an;
}

// The XMP packet of a TIFF file (tag 700 of its first IFD).
Found tiffXmp(std::string& bytes, Layout& layout) {
  Tiff t{bytes, 0, bytes.size()};
  std::size_t ifd0 = 0;
  std::uint32_t count = 0;
  if (!t.open(ifd0, count)) return Found::Damaged;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd0 + 2 + 12 * std::size_t(i);
    if (t.get(entry, 2) != 700) continue;
    Block xmp;
    std::uint64_t size = 0;
    if (!valueOf(t, entry, xmp.at, size)) return Found::Damaged;
    xmp.size = size;
    layout.xmp.push_back(xmp);
  }
  return Found::Read;
}

// Takes the GPS IFD out of the TIFF structure of `block`: the first IFD's
// pointer to it removed (the entries after it moved up, the freed bytes
// zeroed), its entries and their values zeroed. `had` tells whether there
// was one. False with `error` set when the structure is damaged.
bool removeGps(std::string& bytes, const Block& block, bool& had, std::string& error) {
  Tiff t{bytes, block.at, block.size};
  std::size_t ifd0 = 0;
  std::uint32_t count = 0;
  if (!t.open(ifd0, count)) {
    error = "its EXIF block is damaged";
    return false;
  }
  std::uint32_t pointer = count;
  for (std::uint32_t i = 0; i < count && pointer == count; ++i)
    if (t.get(ifd0 + 2 + 12 * std::size_t(i), 2) == 0x8825) pointer = i;
  if (pointer == count) return true;
  had = true;
  const std::size_t entry = ifd0 + 2 + 12 * std::size_t(pointer);
  const std::uint32_t type = t.get(entry + 2, 2);
  const std::size_t gps = t.get(entry + 8, 4);
  const std::uint64_t ifd0Size = 2 + 12 * std::uint64_t(count) + 4;
  if ((type != 4 && type != 13) || t.get(entry + 4, 4) != 1 || !t.fits(gps, 2)) {
    error = "its GPS block is damaged";
    return false;
  }
  const std::uint32_t gpsCount = t.get(gps, 2);
  const std::uint64_t gpsSize = 2 + 12 * std::uint64_t(gpsCount);
  if (!t.fits(gps, gpsSize) || overlap(gps, gpsSize + 4, ifd0, ifd0Size) ||
      overlap(gps, gpsSize + 4, 0, 8)) {
    error = "its GPS block is damaged";
    return false;
  }
  // Every value checked before anything is written.
  std::vector<std::pair<std::size_t, std::uint64_t>> values;
  for (std::uint32_t i = 0; i < gpsCount; ++i) {
    std::size_t at = 0;
    std::uint64_t size = 0;
    const std::size_t gpsEntry = gps + 2 + 12 * std::size_t(i);
    if (!valueOf(t, gpsEntry, at, size) ||
        (at != gpsEntry + 8 && (overlap(at, size, ifd0, ifd0Size) || overlap(at, size, 0, 8)))) {
      error = "its GPS block is damaged";
      return false;
    }
    if (at != gpsEntry + 8) values.emplace_back(at, size);
  }
  // The pointer out of the first IFD.
  const std::size_t end = ifd0 + 2 + 12 * std::size_t(count);
  const std::uint32_t next = t.fits(end, 4) ? t.get(end, 4) : 0;
  std::memmove(&bytes[block.at + entry], &bytes[block.at + entry + 12], end - entry - 12);
  t.put(ifd0, 2, count - 1);
  t.put(end - 12, 4, next);
  std::fill_n(&bytes[block.at + end - 8], std::min<std::size_t>(12, block.size - (end - 8)), '\0');
  // The GPS entries and their values.
  for (const auto& v : values) std::fill_n(&bytes[block.at + v.first], v.second, '\0');
  std::fill_n(&bytes[block.at + gps], gpsSize + (t.fits(gps + gpsSize, 4) ? 4 : 0), '\0');
  return true;
}

struct ExifFree {
  void operator()(ExifData* d) const { exif_data_unref(d); }
};

// The EXIF of a TIFF structure, or of a block that begins with "Exif\0\0",
// as libexif reads it.
std::unique_ptr<ExifData, ExifFree> loadExif(const std::string& blob) {
  std::unique_ptr<ExifData, ExifFree> data(exif_data_new());
  if (!data) return data;
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
  const std::string tiff =
      blob.compare(0, 6, kExifHeader, 6) == 0 ? blob : std::string(kExifHeader, 6) + blob;
  exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(tiff.data()),
                      static_cast<unsigned int>(tiff.size()));
  return data;
}

bool exifHasGps(const std::string& blob) {
  auto data = loadExif(blob);
  return data && data->ifd[EXIF_IFD_GPS] && data->ifd[EXIF_IFD_GPS]->count > 0;
}

// Degrees, minutes and seconds as up to three rationals, south and west
// negative.
bool exifDegrees(ExifData* data, ExifTag tag, ExifTag refTag, double& out) {
  ExifContent* gps = data->ifd[EXIF_IFD_GPS];
  ExifEntry* e = gps ? exif_content_get_entry(gps, tag) : nullptr;
  if (!e || !e->data || e->format != EXIF_FORMAT_RATIONAL || e->components < 1) return false;
  const ExifByteOrder order = exif_data_get_byte_order(data);
  double value = 0, unit = 1;
  for (unsigned long i = 0; i < e->components && i < 3 && (i + 1) * 8 <= e->size; ++i) {
    const ExifRational r = exif_get_rational(e->data + i * 8, order);
    if (r.denominator == 0) return false;
    value += static_cast<double>(r.numerator) / r.denominator / unit;
    unit *= 60;
  }
  ExifEntry* ref = exif_content_get_entry(gps, refTag);
  const char side = ref && ref->data && ref->size > 0 ? static_cast<char>(ref->data[0]) : 0;
  if (side == 'S' || side == 'W') value = -value;
  out = value;
  return true;
}

// --- XMP --------------------------------------------------------------------

// The EXIF namespace's GPS properties of an XMP packet, as attributes or
// elements, whatever prefix the packet binds to the namespace. Read with
// expat; a packet with a document type declaration is not read.
class XmpGps {
 public:
  bool any = false;      // any GPS property
  bool whole = false;    // the packet read to its end
  std::string lat, lon;  // their text

  explicit XmpGps(const std::string& packet) {
    std::size_t n = packet.size();
    // Padding after the packet.
    while (n > 0 &&
           (packet[n - 1] == '\0' || std::isspace(static_cast<unsigned char>(packet[n - 1]))))
      --n;
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreateNS(nullptr, '\x01'));
    if (!parser) return;
    parser_ = parser.get();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmpGps::start, &XmpGps::end);
    XML_SetCharacterDataHandler(parser_, &XmpGps::characters);
    XML_SetStartDoctypeDeclHandler(parser_, &XmpGps::doctype);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    whole = n <= static_cast<std::size_t>(INT32_MAX) &&
            XML_Parse(parser_, packet.data(), static_cast<int>(n), 1) == XML_STATUS_OK;
  }

 private:
  struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
  };
  XML_Parser parser_ = nullptr;
  std::string* text_ = nullptr;  // the property whose element is open
  std::size_t depth_ = 0, textDepth_ = 0;

  // The GPS property `name` is; "" for none.
  std::string* property(const char* name) {
    const std::size_t n = sizeof kExifNs - 1;
    if (std::strncmp(name, kExifNs, n) != 0 || name[n] != '\x01') return nullptr;
    if (std::strncmp(name + n + 1, "GPS", 3) != 0) return nullptr;
    any = true;
    if (std::strcmp(name + n + 1, "GPSLatitude") == 0) return &lat;
    if (std::strcmp(name + n + 1, "GPSLongitude") == 0) return &lon;
    return &ignored_;
  }
  std::string ignored_;

  static void XMLCALL doctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    XML_StopParser(static_cast<XmpGps*>(self)->parser_, XML_FALSE);
  }
  static void XMLCALL start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<XmpGps*>(data);
    ++self->depth_;
    for (const XML_Char** a = attributes; a[0]; a += 2)
      if (std::string* p = self->property(a[0])) *p = a[1];
    if (std::string* p = self->property(name)) {
      self->text_ = p;
      self->textDepth_ = self->depth_;
      p->clear();
    }
  }
  static void XMLCALL characters(void* data, const XML_Char* text, int length) {
    auto* self = static_cast<XmpGps*>(data);
    if (self->text_ && self->depth_ == self->textDepth_ && self->text_->size() < 256)
      self->text_->append(text, static_cast<std::size_t>(length));
  }
  static void XMLCALL end(void* data, const XML_Char*) {
    auto* self = static_cast<XmpGps*>(data);
    if (self->depth_ == self->textDepth_) self->text_ = nullptr;
    --self->depth_;
  }
};

// XMP's "DDD,MM.mmk" or "DDD,MM,SSk" (k: N, S, E or W).
bool xmpDegrees(std::string text, double& out) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  if (text.empty()) return false;
  const char side = text.back();
  double parts[3] = {0, 0, 0};
  int n = 0;
  const char* at = text.c_str();
  while (n < 3 && *at) {
    char* end = nullptr;
    errno = 0;
    parts[n++] = std::strtod(at, &end);
    if (end == at || errno != 0) return false;
    at = *end == ',' ? end + 1 : end;
    if (*end != ',') break;
  }
  double value = parts[0] + parts[1] / 60 + parts[2] / 3600;
  if (side == 'S' || side == 'W' || side == 's' || side == 'w') value = -value;
  out = value;
  return true;
}

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
         (c & 0x80);
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Every GPS property of the EXIF namespace in the packet at `block`
// (attributes `exif:GPSLatitude="..."`, elements
// `<exif:GPSLatitude>...</exif:GPSLatitude>`, whatever prefix the packet
// binds to the namespace) made blanks of the same length: still XML, and
// the packet keeps its size. False where one is left that way cannot reach.
bool blankGps(std::string& bytes, const Block& block, std::string& error) {
  std::string packet = bytes.substr(block.at, block.size);
  std::vector<std::string> prefixes;
  for (std::size_t at = packet.find("xmlns:"); at != std::string::npos;
       at = packet.find("xmlns:", at + 1)) {
    std::size_t p = at + 6, name = p;
    while (p < packet.size() && isNameChar(packet[p])) ++p;
    const std::string prefix = packet.substr(name, p - name);
    while (p < packet.size() && isSpace(packet[p])) ++p;
    if (p >= packet.size() || packet[p] != '=') continue;
    ++p;
    while (p < packet.size() && isSpace(packet[p])) ++p;
    if (p >= packet.size() || (packet[p] != '"' && packet[p] != '\'')) continue;
    const std::size_t close = packet.find(packet[p], p + 1);
    if (close != std::string::npos && packet.compare(p + 1, close - p - 1, kExifNs) == 0 &&
        !prefix.empty())
      prefixes.push_back(prefix);
  }
  auto blank = [&packet](std::size_t from, std::size_t to) {
    std::fill(packet.begin() + from, packet.begin() + to, ' ');
  };
  for (const std::string& prefix : prefixes) {
    const std::string gps = prefix + ":GPS";
    for (std::size_t at = packet.find(gps); at != std::string::npos;
         at = packet.find(gps, at + 1)) {
      if (at == 0) continue;
      std::size_t p = at + gps.size();
      while (p < packet.size() && isNameChar(packet[p])) ++p;
      const std::string name = packet.substr(at, p - at);
      if (isSpace(packet[at - 1])) {  // an attribute
        while (p < packet.size() && isSpace(packet[p])) ++p;
        if (p >= packet.size() || packet[p] != '=') continue;
        ++p;
        while (p < packet.size() && isSpace(packet[p])) ++p;
        if (p >= packet.size() || (packet[p] != '"' && packet[p] != '\'')) continue;
        const std::size_t close = packet.find(packet[p], p + 1);
        if (close == std::string::npos) continue;
        blank(at, close + 1);
      } else if (packet[at - 1] == '<') {  // an element
        // The end of its start tag, past any '>' in its attributes' values.
        char quote = 0;
        while (p < packet.size() && (quote || packet[p] != '>')) {
          if (quote && packet[p] == quote)
            quote = 0;
          else if (!quote && (packet[p] == '"' || packet[p] == '\''))
            quote = packet[p];
          ++p;
        }
        if (p >= packet.size()) continue;
        std::size_t end = p + 1;
        if (packet[p - 1] != '/') {
          const std::size_t close = packet.find("</" + name, p);
          if (close == std::string::npos) continue;
          end = close + 2 + name.size();
          while (end < packet.size() && isSpace(packet[end])) ++end;
          if (end >= packet.size() || packet[end] != '>') continue;
          ++end;
        }
        blank(at - 1, end);
      }
    }
  }
  const XmpGps left(packet);
  if (!left.whole || left.any) {
    error = "its XMP location cannot be removed";
    return false;
  }
  bytes.replace(block.at, block.size, packet);
  return true;
}

// --- Containers -------------------------------------------------------------

Found jpegLayout(const std::string& b, Layout& layout) {
  std::size_t at = 2;
  for (;;) {
    while (at + 1 < b.size() && b[at] == '\xff' && b[at + 1] == '\xff') ++at;
    if (at + 2 > b.size() || b[at] != '\xff') return Found::Damaged;
    const unsigned char marker = static_cast<unsigned char>(b[at + 1]);
    if (marker == 0xda || marker == 0xd9) return Found::Read;  // the scan, or the end
    if ((marker >= 0xd0 && marker <= 0xd7) || marker == 0x01) {
      at += 2;
      continue;
    }
    if (at + 4 > b.size()) return Found::Damaged;
    const std::size_t length = getBe(b, at + 2, 2);
    if (length < 2 || length > b.size() - at - 2) return Found::Damaged;
    const std::size_t data = at + 4, size = length - 2;
    if (marker == 0xe1) {
      if (startsWith(b, data, size, kExifHeader, 6))
        layout.exif.push_back({data + 6, size - 6});
      else if (startsWith(b, data, size, kXmpHeader, sizeof kXmpHeader))
        layout.xmp.push_back({data + sizeof kXmpHeader, size - sizeof kXmpHeader});
      else if (startsWith(b, data, size, kXmpExtension, sizeof kXmpExtension) &&
               b.substr(data, size).find("GPS") != std::string::npos)
        return Found::NotHandled;  // a packet split over segments
    }
    at = data + size;
  }
}

Found pngLayout(const std::string& b, Layout& layout) {
  for (std::size_t at = 8;;) {
    if (at + 12 > b.size()) return Found::Damaged;
    const std::size_t length = getBe(b, at, 4);
    if (length > b.size() - at - 12) return Found::Damaged;
    const std::string type = b.substr(at + 4, 4);
    const std::size_t data = at + 8;
    if (type == "eXIf") {
      Block exif{data, length, at};
      // Some writers keep the JPEG header.
      if (startsWith(b, data, length, kExifHeader, 6)) exif = {data + 6, length - 6, at};
      layout.exif.push_back(exif);
    } else if (type == "iTXt" || type == "tEXt" || type == "zTXt") {
      const std::size_t nul = b.find('\0', data);
      const std::string keyword = b.substr(data, std::min(nul, data + length) - data);
      if (keyword.compare(0, 17, "Raw profile type ") == 0) return Found::NotHandled;
      if (type == "iTXt" && keyword == "XML:com.adobe.xmp" && nul < data + length &&
          nul + 3 <= data + length) {
        if (b[nul + 1] != '\0') return Found::NotHandled;  // compressed
        const std::size_t language = b.find('\0', nul + 3);
        const std::size_t translated =
            language < data + length ? b.find('\0', language + 1) : std::string::npos;
        if (translated >= data + length) return Found::Damaged;
        layout.xmp.push_back({translated + 1, data + length - translated - 1, at});
      }
    } else if (type == "IEND") {
      return Found::Read;
    }
    at = data + length + 4;
  }
}

Found webpLayout(const std::string& b, Layout& layout) {
  for (std::size_t at = 12; at < b.size();) {
    if (at + 8 > b.size()) return Found::Damaged;
    const std::size_t length = getLe(b, at + 4, 4);
    if (length > b.size() - at - 8) return Found::Damaged;
    const std::size_t data = at + 8;
    if (b.compare(at, 4, "EXIF") == 0) {
      if (startsWith(b, data, length, kExifHeader, 6))
        layout.exif.push_back({data + 6, length - 6});
      else
        layout.exif.push_back({data, length});
    } else if (b.compare(at, 4, "XMP ") == 0) {
      layout.xmp.push_back({data, length});
    }
    at = data + length + (length & 1);
  }
  return Found::Read;
}

// Where the EXIF and XMP of the picture in `bytes` lie (JPEG, PNG, WebP or
// TIFF).
Found findLayout(std::string& bytes, Layout& layout) {
  const std::string& b = bytes;
  if (b.size() >= 3 && b.compare(0, 3, "\xff\xd8\xff") == 0) return jpegLayout(b, layout);
  if (b.size() >= 8 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) return pngLayout(b, layout);
  if (b.size() >= 12 && b.compare(0, 4, "RIFF") == 0 && b.compare(8, 4, "WEBP") == 0)
    return webpLayout(b, layout);
  if (b.size() >= 8 && (b.compare(0, 4, "II*\0", 4) == 0 || b.compare(0, 4, "MM\0*", 4) == 0)) {
    layout.exif.push_back({0, b.size()});
    return tiffXmp(bytes, layout);
  }
  // GIF holds no EXIF; its XMP (an application extension) is written as
  // its own sub-blocks, so that no byte of it can be changed alone.
  if (b.size() >= 6 && (b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0)) {
    const std::size_t xmp = b.find("XMP DataXMP");
    return xmp == std::string::npos || b.find("GPS", xmp) == std::string::npos ? Found::Read
                                                                               : Found::NotHandled;
  }
  return Found::NotHandled;
}

std::uint32_t crc32(const std::string& b, std::size_t at, std::size_t n) {
  static const auto table = [] {
    std::vector<std::uint32_t> t(256);
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xffffffffu;
  for (std::size_t i = at; i < at + n; ++i)
    c = table[(c ^ static_cast<unsigned char>(b[i])) & 0xff] ^ (c >> 8);
  return c ^ 0xffffffffu;
}

// Whether any location is left in the picture's metadata.
bool holdsLocation(std::string& bytes, const Layout& layout) {
  for (const Block& e : layout.exif)
    if (exifHasGps(bytes.substr(e.at, e.size))) return true;
  for (const Block& x : layout.xmp) {
    const std::string packet = bytes.substr(x.at, x.size);
    const XmpGps gps(packet);
    if (gps.any || (!gps.whole && packet.find("GPS") != std::string::npos)) return true;
  }
  return false;
}

void positionFrom(const std::string& exif, const std::string& xmp, Position& p) {
  if (!p.known && !exif.empty()) {
    auto data = loadExif(exif);
    // libexif names the GPS tags as plain numbers.
    if (data &&
        exifDegrees(data.get(), ExifTag(EXIF_TAG_GPS_LATITUDE), ExifTag(EXIF_TAG_GPS_LATITUDE_REF),
                    p.lat) &&
        exifDegrees(data.get(), ExifTag(EXIF_TAG_GPS_LONGITUDE),
                    ExifTag(EXIF_TAG_GPS_LONGITUDE_REF), p.lon))
      p.known = true;
  }
  if (!p.known && !xmp.empty()) {
    const XmpGps gps(xmp);
    p.known = xmpDegrees(gps.lat, p.lat) && xmpDegrees(gps.lon, p.lon);
  }
}

bool plausible(const Position& p) {
  return std::isfinite(p.lat) && std::isfinite(p.lon) && std::fabs(p.lat) <= 90 &&
         std::fabs(p.lon) <= 180;
}

}  // namespace

std::string positionText(const Position& position) {
  if (!position.known) return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f,%.6f", position.lat, position.lon);
  return buf;
}

Position parsePosition(const std::string& text) {
  Position p;
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) return p;
  char* end = nullptr;
  p.lat = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + comma) return Position();
  const char* lon = text.c_str() + comma + 1;
  p.lon = std::strtod(lon, &end);
  if (end == lon || *end) return Position();
  p.known = plausible(p);
  return p;
}

// The EXIF and XMP blocks libvips reads of the picture at `path`, for the
// formats whose bytes are not walked here (HEIF, AVIF, GIF).
bool vipsMetadata(const std::string& path, std::string& exif, std::string& xmp) {
  std::string error;
  return withOwnVipsErrors(
      [&](std::string& e) {
        try {
          vips::VImage image = vips::VImage::new_from_file(
              path.c_str(), vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
          auto blob = [&image](const char* name) {
            if (image.get_typeof(name) == 0) return std::string();
            size_t length = 0;
            const void* data = image.get_blob(name, &length);
            return std::string(static_cast<const char*>(data), length);
          };
          exif = blob("exif-data");
          xmp = blob("xmp-data");
          return true;
        } catch (const vips::VError& v) {
          e = v.what();
          return false;
        }
      },
      error);
}

Position readPosition(const std::string& path) {
  Position p;
  std::string bytes;
  int err = 0;
  if (readCappedFile(path, kMaxPicture, bytes, err) != FileRead::Ok) return p;
  Layout layout;
  const Found found = findLayout(bytes, layout);
  if (found == Found::Read) {
    for (const Block& e : layout.exif) positionFrom(bytes.substr(e.at, e.size), {}, p);
    for (const Block& x : layout.xmp) positionFrom({}, bytes.substr(x.at, x.size), p);
  } else if (found == Found::NotHandled) {
    // Other formats: what libvips reads of them.
    std::string exif, xmp;
    if (vipsMetadata(path, exif, xmp)) positionFrom(exif, xmp, p);
  }
  if (p.known) p.known = plausible(p);
  if (!p.known) p = Position();
  return p;
}

bool copyWithoutLocation(const std::string& path, bool& hadLocation, std::string& copy,
                         std::string& error) {
  hadLocation = false;
  copy.clear();
  std::string bytes;
  int err = 0;
  if (readCappedFile(path, kMaxPicture, bytes, err) != FileRead::Ok) {
    error = std::string("cannot be read: ") + (err ? std::strerror(err) : "too large");
    return false;
  }
  Layout layout;
  const Found found = findLayout(bytes, layout);
  if (found == Found::NotHandled) {
    // A kind whose bytes are not rewritten here: no copy. One that holds a
    // location (or whose metadata cannot be read) is offered through its
    // web-sized picture instead (`copy` stays empty).
    std::string exif, xmp;
    hadLocation =
        !vipsMetadata(path, exif, xmp) || exifHasGps(exif) || xmp.find("GPS") != std::string::npos;
    return true;
  }
  if (found != Found::Read) {
    error = "its location cannot be removed: its metadata is damaged";
    return false;
  }
  hadLocation = holdsLocation(bytes, layout);
  for (const Block& e : layout.exif) {
    bool had = false;
    if (!removeGps(bytes, e, had, error)) {
      error = "its location cannot be removed: " + error;
      return false;
    }
    hadLocation = hadLocation || had;
  }
  if (!hadLocation) return true;
  for (const Block& x : layout.xmp) {
    const std::string packet = bytes.substr(x.at, x.size);
    const XmpGps gps(packet);
    if (!gps.any && (gps.whole || packet.find("GPS") == std::string::npos)) continue;
    if (!blankGps(bytes, x, error)) {
      error = "its location cannot be removed: " + error;
      return false;
    }
  }
  // The CRCs of the PNG chunks that changed.
  for (const std::vector<Block>* blocks : {&layout.exif, &layout.xmp})
    for (const Block& b : *blocks) {
      if (b.chunk == std::string::npos) continue;
      const std::size_t length = getBe(bytes, b.chunk, 4);
      const std::uint32_t crc = crc32(bytes, b.chunk + 4, length + 4);
      for (int i = 0; i < 4; ++i)
        bytes[b.chunk + 8 + length + i] = static_cast<char>(crc >> (24 - 8 * i) & 0xff);
    }
  Layout after;
  if (findLayout(bytes, after) != Found::Read || holdsLocation(bytes, after)) {
    error = "its location cannot be removed";
    return false;
  }
  copy = std::move(bytes);
  return true;
}
