// Keeps the memory of the decodes that run at once within a budget.
#ifndef WV_GENERATOR_DECODEBUDGET_H
#define WV_GENERATOR_DECODEBUDGET_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include <vips/vips.h>

// Most pictures decode line by line in a few MiB. A few hold the whole
// picture in memory while they decode: progressive JPEG (every DCT
// coefficient of the picture), interlaced PNG, and formats whose decoder
// only gives the whole picture. Two of those at once set the peak of the run;
// one at a time, the largest single picture does.
class DecodeBudget {
 public:
  // Decodes of at most `light` bytes always start: their memory is part of
  // what each worker needs anyway. Heavier ones start while the heavy
  // decodes in flight, with theirs, stay within `heavy` bytes; one larger
  // than that starts when no other heavy decode runs.
  DecodeBudget(std::uint64_t light, std::uint64_t heavy) : light_(light), heavy_(heavy) {}

  class Ticket {
   public:
    Ticket() = default;
    Ticket(Ticket&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) {
      other.budget_ = nullptr;
    }
    Ticket& operator=(Ticket&& other) noexcept;
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;
    ~Ticket() { release(); }
    void release();

   private:
    friend class DecodeBudget;
    Ticket(DecodeBudget* budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {}
    DecodeBudget* budget_ = nullptr;
    std::uint64_t bytes_ = 0;
  };

  // Waits until a decode of `bytes` may start; the memory counts until the
  // ticket is released or destroyed.
  Ticket acquire(std::uint64_t bytes);

  // Instead of idling while a decode waits for room, the waiting thread
  // calls `meanwhile` (other work, such as a smaller picture) for as long
  // as it returns true and the decode cannot start. Not called again from
  // within `meanwhile`: work done there waits like any other.
  void setMeanwhile(std::function<bool()> meanwhile) { meanwhile_ = std::move(meanwhile); }

  std::uint64_t heavyInFlight() const;

  // What the decode of the picture behind `header` holds for the whole
  // picture, in bytes; 0 for pictures decoded line by line.
  static std::uint64_t wholePictureBytes(VipsImage* header);

 private:
  void give(std::uint64_t bytes);
  bool fits(std::uint64_t bytes) const { return inFlight_ == 0 || inFlight_ + bytes <= heavy_; }

  const std::uint64_t light_, heavy_;
  mutable std::mutex mutex_;
  std::condition_variable freed_;
  std::uint64_t inFlight_ = 0;
  std::function<bool()> meanwhile_;
};

#endif
