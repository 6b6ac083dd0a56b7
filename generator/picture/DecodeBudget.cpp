#include "generator/picture/DecodeBudget.h"

#include "generator/compat/VipsErrors.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#ifdef __GLIBC__
#include <malloc.h>
#endif

DecodeBudget::Ticket& DecodeBudget::Ticket::operator=(Ticket&& other) noexcept {
  if (this != &other) {
    release();
    budget_ = other.budget_;
    bytes_ = other.bytes_;
    other.budget_ = nullptr;
  }
  return *this;
}

void DecodeBudget::Ticket::release() {
  if (budget_) budget_->give(bytes_);
  budget_ = nullptr;
}

namespace {
thread_local bool inMeanwhile = false;
}

DecodeBudget::Ticket DecodeBudget::acquire(std::uint64_t bytes) {
  if (bytes <= light_) return Ticket();
  // A wait here inside an attempt could wait for a retry that waits for
  // this very attempt (see Generator.h).
  if (insideVipsAttempt())
    throw std::logic_error("waiting for decode memory inside a libvips attempt");
  std::unique_lock<std::mutex> lock(mutex_);
  while (!fits(bytes) && meanwhile_ && !inMeanwhile) {
    lock.unlock();
    inMeanwhile = true;
    bool worked = false;
    try {
      worked = meanwhile_();
    } catch (...) {
      inMeanwhile = false;
      throw;
    }
    inMeanwhile = false;
    lock.lock();
    if (!worked) break;
  }
  freed_.wait(lock, [&] { return fits(bytes); });
  inFlight_ += bytes;
  lock.unlock();
#ifdef __GLIBC__
  // The memory the arenas keep for the next pictures goes back before a
  // heavy decode, which sets the run's peak.
  malloc_trim(0);
#endif
  return Ticket(this, bytes);
}

std::uint64_t DecodeBudget::heavyInFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inFlight_;
}

void DecodeBudget::give(std::uint64_t bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_ -= bytes;
  }
  freed_.notify_all();
}

std::uint64_t DecodeBudget::wholePictureBytes(VipsImage* header) {
  const char* loader = nullptr;
  if (vips_image_get_string(header, VIPS_META_LOADER, &loader) != 0) {
    vips_error_clear();
    loader = "";
  }
  auto flag = [header](const char* name) {
    int value = 0;
    return vips_image_get_typeof(header, name) != 0 &&
           vips_image_get_int(header, name, &value) == 0 && value != 0;
  };
  const std::uint64_t pixels = static_cast<std::uint64_t>(vips_image_get_width(header)) *
                               static_cast<std::uint64_t>(vips_image_get_height(header));
  const std::uint64_t bands = static_cast<std::uint64_t>(vips_image_get_bands(header));
  const std::uint64_t sampleBytes = vips_format_sizeof(vips_image_get_format(header));

  if (std::strncmp(loader, "jpegload", 8) == 0) {
    if (!flag("jpeg-multiscan")) return 0;
    // A progressive JPEG keeps every coefficient (two bytes) of every
    // component, whatever the shrink on load; chroma is often subsampled.
    const char* subsample = nullptr;
    if (vips_image_get_typeof(header, "jpeg-chroma-subsample") == 0 ||
        vips_image_get_string(header, "jpeg-chroma-subsample", &subsample) != 0)
      subsample = "";
    std::uint64_t halfSamples = 2 * bands;  // samples per pixel, doubled
    if (bands == 3 && std::strcmp(subsample, "4:2:0") == 0) halfSamples = 3;
    if (bands == 3 &&
        (std::strcmp(subsample, "4:2:2") == 0 || std::strcmp(subsample, "4:4:0") == 0))
      halfSamples = 4;
    return pixels * halfSamples;  // * 2 bytes / 2
  }
  if (std::strncmp(loader, "pngload", 7) == 0)
    return flag("interlaced") ? pixels * bands * sampleBytes : 0;
  // Strips and tiles.
  if (std::strncmp(loader, "tiffload", 8) == 0) return 0;
  // libheif decodes the whole picture into its own planes first, then
  // into the RGB picture libvips reads from: both at once.
  if (std::strncmp(loader, "heifload", 8) == 0)
    return 2 * pixels * std::max<std::uint64_t>(bands, 3) * sampleBytes;
  // GIF, WebP and the rest give the whole picture (at most) at once.
  return pixels * std::max<std::uint64_t>(bands, 3) * sampleBytes;
}
