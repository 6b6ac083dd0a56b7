#include "generator/picture/Location.h"

#include "common/FileRead.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <mutex>

namespace {

// Exiv2's XMP parser must be set up once, before any thread uses it; its
// warnings about odd metadata are no business of the console's.
void setUp() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::XmpParser::initialize();
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
  });
}

bool isGpsExif(const Exiv2::Exifdatum& d) {
  return d.groupName() == "GPSInfo" || d.key() == "Exif.Image.GPSTag";
}

bool isGpsXmp(const Exiv2::Xmpdatum& d) {
  return d.groupName() == "exif" && d.tagName().compare(0, 3, "GPS") == 0;
}

// Degrees, minutes and seconds as three EXIF rationals.
bool exifDegrees(const Exiv2::ExifData& exif, const char* key, const char* refKey, double& out) {
  auto it = exif.findKey(Exiv2::ExifKey(key));
  if (it == exif.end() || it->count() < 1) return false;
  double value = 0, unit = 1;
  for (long i = 0; i < it->count() && i < 3; ++i) {
    const Exiv2::Rational r = it->toRational(i);
    if (r.second == 0) return false;
    value += static_cast<double>(r.first) / r.second / unit;
    unit *= 60;
  }
  auto ref = exif.findKey(Exiv2::ExifKey(refKey));
  const std::string side = ref == exif.end() ? std::string() : ref->toString();
  if (side == "S" || side == "W") value = -value;
  out = value;
  return true;
}

// XMP's "DDD,MM.mmk" or "DDD,MM,SSk" (k: N, S, E or W).
bool xmpDegrees(const Exiv2::XmpData& xmp, const char* key, double& out) {
  auto it = xmp.findKey(Exiv2::XmpKey(key));
  if (it == xmp.end()) return false;
  const std::string text = it->toString();
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

Position readPosition(const std::string& path) {
  setUp();
  Position p;
  try {
    auto image = Exiv2::ImageFactory::open(path);
    if (!image.get()) return p;
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    if (exifDegrees(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", p.lat) &&
        exifDegrees(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", p.lon)) {
      p.known = plausible(p);
      return p;
    }
    const Exiv2::XmpData& xmp = image->xmpData();
    if (xmpDegrees(xmp, "Xmp.exif.GPSLatitude", p.lat) &&
        xmpDegrees(xmp, "Xmp.exif.GPSLongitude", p.lon))
      p.known = plausible(p);
  } catch (const Exiv2::AnyError&) {
    return Position();
  } catch (const std::exception&) {
    return Position();
  }
  return p;
}

bool copyWithoutLocation(const std::string& path, bool& hadLocation, std::string& copy,
                         std::string& error) {
  setUp();
  hadLocation = false;
  copy.clear();
  try {
    // A look at the metadata first: most pictures hold no location, and
    // need not be read whole.
    {
      auto image = Exiv2::ImageFactory::open(path);
      if (!image.get()) return true;
      image->readMetadata();
      for (const auto& d : image->exifData()) hadLocation = hadLocation || isGpsExif(d);
      for (const auto& d : image->xmpData()) hadLocation = hadLocation || isGpsXmp(d);
      if (!hadLocation) return true;
    }
    std::string bytes;
    int err = 0;
    if (readCappedFile(path, std::uint64_t(1) << 32, bytes, err) != FileRead::Ok) {
      error = std::string("cannot be read: ") + (err ? std::strerror(err) : "too large");
      return false;
    }
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                           static_cast<long>(bytes.size()));
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    for (auto it = exif.begin(); it != exif.end();) it = isGpsExif(*it) ? exif.erase(it) : ++it;
    Exiv2::XmpData& xmp = image->xmpData();
    for (auto it = xmp.begin(); it != xmp.end();) it = isGpsXmp(*it) ? xmp.erase(it) : ++it;
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    if (io.open() != 0) {
      error = "its copy without the location cannot be made";
      return false;
    }
    io.seek(0, Exiv2::BasicIo::beg);
    const long size = static_cast<long>(io.size());
    Exiv2::DataBuf buf = io.read(size);
    io.close();
    if (buf.size_ != size) {
      error = "its copy without the location cannot be made";
      return false;
    }
    copy.assign(reinterpret_cast<const char*>(buf.pData_), static_cast<std::size_t>(buf.size_));
    return true;
  } catch (const Exiv2::AnyError& e) {
    error = std::string("its location cannot be removed: ") + e.what();
  } catch (const std::exception& e) {
    error = std::string("its location cannot be removed: ") + e.what();
  }
  return false;
}
