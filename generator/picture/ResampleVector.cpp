// Compiled once for every target (Highway's foreach_target includes this
// file again for each); the part after HWY_ONCE once.
#include "generator/picture/ResampleVector.h"

// Scalable vectors (SVE) cannot be held in the fixed layouts used here, and
// arm64 processors all have NEON.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128)
#endif

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "generator/picture/ResampleVector.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace resample {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Bytes widened to 16 bits, two rows' values side by side, each pair
// multiplied by its two weights and added in one step (pmaddwd on x86,
// smlal pairs on NEON); the 32-bit sums stay in registers over all rows.
// The pairs are interleaved within 128-bit blocks and the sums narrowed
// within blocks again, which puts every byte back in its place. The plain
// target (a lane at a time: HWY_SCALAR, which this compiler gets instead of
// HWY_EMU128) runs the loop at the end alone.
void WeighRows(const std::uint8_t* const* from, const std::int32_t* weights, int count,
               std::size_t line, std::uint8_t* out) {
  const std::int32_t half = 1 << (kWeightBits - 1);
  std::size_t i = 0;
#if HWY_TARGET != HWY_SCALAR
  const hn::ScalableTag<std::int16_t> d16;
  const hn::Rebind<std::uint8_t, decltype(d16)> d8;
  const hn::Repartition<std::int32_t, decltype(d16)> d32;
  const std::size_t n = hn::Lanes(d16);
  for (; i + n <= line; i += n) {
    auto lower = hn::Set(d32, half), upper = hn::Set(d32, half);
    auto lower1 = hn::Zero(d32), upper1 = hn::Zero(d32);
    for (int k = 0; k < count; k += 2) {
      const bool pair = k + 1 < count;
      const auto a = hn::PromoteTo(d16, hn::LoadU(d8, from[k] + i));
      const auto b = pair ? hn::PromoteTo(d16, hn::LoadU(d8, from[k + 1] + i)) : hn::Zero(d16);
      const auto w =
          hn::InterleaveLower(d16, hn::Set(d16, static_cast<std::int16_t>(weights[k])),
                              hn::Set(d16, static_cast<std::int16_t>(pair ? weights[k + 1] : 0)));
      lower = hn::ReorderWidenMulAccumulate(d32, hn::InterleaveLower(d16, a, b), w, lower, lower1);
      upper = hn::ReorderWidenMulAccumulate(d32, hn::InterleaveUpper(d16, a, b), w, upper, upper1);
    }
    lower = hn::RearrangeToOddPlusEven(lower, lower1);
    upper = hn::RearrangeToOddPlusEven(upper, upper1);
    // Narrowed with saturation: below 0 is 0, above 255 is 255.
    const auto words = hn::ReorderDemote2To(d16, hn::ShiftRight<kWeightBits>(lower),
                                            hn::ShiftRight<kWeightBits>(upper));
    hn::StoreU(hn::DemoteTo(d8, words), d8, out + i);
  }
#endif
  for (; i < line; ++i) {
    std::int32_t sum = half;
    for (int k = 0; k < count; ++k) sum += weights[k] * from[k][i];
    sum >>= kWeightBits;
    out[i] = static_cast<std::uint8_t>(sum < 0 ? 0 : sum > 255 ? 255 : sum);
  }
}

void AddRow(const std::uint8_t* row, std::uint16_t* sums, std::size_t count) {
  const hn::ScalableTag<std::uint16_t> d16;
  const hn::Rebind<std::uint8_t, decltype(d16)> d8;
  const std::size_t n = hn::Lanes(d16);
  std::size_t i = 0;
  for (; i + n <= count; i += n)
    hn::StoreU(hn::Add(hn::LoadU(d16, sums + i), hn::PromoteTo(d16, hn::LoadU(d8, row + i))), d16,
               sums + i);
  for (; i < count; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + row[i]);
}

}  // namespace HWY_NAMESPACE
}  // namespace resample
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace resample {

HWY_EXPORT(WeighRows);
HWY_EXPORT(AddRow);

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Whether `target` sums like plain C++: a few rows of pseudo-random bytes,
// lines long enough for every vector width and a tail, weights of both signs
// and sums beyond 0..255 at both ends.
bool agreesWithPlain(std::int64_t target) {
  hwy::SetSupportedTargetsForTest(target);
  const int rows = 5;
  const std::size_t line = 517;
  std::vector<std::uint8_t> bytes(rows * line);
  std::uint32_t seed = 12345;
  for (std::uint8_t& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 23);
  }
  const std::int32_t weights[rows] = {-2100, 9000, 16000, -9000, 2484};
  const std::uint8_t* from[rows];
  for (int r = 0; r < rows; ++r) from[r] = &bytes[static_cast<std::size_t>(r) * line];
  for (int count : {1, 2, 5}) {
    std::vector<std::uint8_t> made(line);
    HWY_DYNAMIC_DISPATCH(WeighRows)(from, weights, count, line, made.data());
    for (std::size_t i = 0; i < line; ++i) {
      std::int32_t sum = 1 << (kWeightBits - 1);
      for (int k = 0; k < count; ++k) sum += weights[k] * from[k][i];
      sum >>= kWeightBits;
      if (made[i] != std::clamp(sum, 0, 255)) return false;
    }
  }
  std::vector<std::uint16_t> sums(line, 65000);
  HWY_DYNAMIC_DISPATCH(AddRow)(from[0], sums.data(), line);
  for (std::size_t i = 0; i < line; ++i)
    if (sums[i] != 65000 + from[0][i]) return false;
  return true;
}

struct Targets {
  std::vector<std::int64_t> usable;  // best first
  std::int64_t all = 0;
  std::string current;
  std::mutex lock;
};

Targets& targets() {
  static Targets* t = [] {
    auto* made = new Targets;
    std::vector<std::int64_t> found = hwy::SupportedAndGeneratedTargets();
    // Highway lists the lowest bit first, which is the best target.
    for (std::int64_t target : found)
      if (agreesWithPlain(target)) {
        made->usable.push_back(target);
        made->all |= target;
      }
    if (made->usable.empty()) {
      // Not even the plain target agrees: nothing better to fall back on.
      made->usable = found;
      for (std::int64_t target : found) made->all |= target;
    }
    hwy::SetSupportedTargetsForTest(made->all);
    made->current = hwy::TargetName(made->usable.front());
    const char* wanted = std::getenv("VIGNETOR_VECTOR");
    if (wanted && *wanted) {
      const std::string name = upper(wanted);
      std::int64_t pick = 0;
      for (std::int64_t target : made->usable)
        if (name == hwy::TargetName(target) || (name == "OFF" && target == made->usable.back()))
          pick = target;
      if (pick) {
        hwy::SetSupportedTargetsForTest(pick);
        made->current = hwy::TargetName(pick);
      } else {
        std::fprintf(stderr, "VIGNETOR_VECTOR=%s: no such vector code here; using %s\n", wanted,
                     made->current.c_str());
      }
    }
    return made;
  }();
  return *t;
}

}  // namespace

void weighRows(const std::uint8_t* const* from, const std::int32_t* weights, int count,
               std::size_t line, std::uint8_t* out) {
  if (count == 1 && weights[0] == 1 << kWeightBits) {
    std::memcpy(out, from[0], line);
    return;
  }
  targets();
  HWY_DYNAMIC_DISPATCH(WeighRows)(from, weights, count, line, out);
}

void addRow(const std::uint8_t* row, std::uint16_t* sums, std::size_t n) {
  targets();
  HWY_DYNAMIC_DISPATCH(AddRow)(row, sums, n);
}

std::vector<std::string> vectorTargets() {
  std::vector<std::string> names;
  for (std::int64_t target : targets().usable) names.emplace_back(hwy::TargetName(target));
  return names;
}

bool useVectorTarget(const std::string& name) {
  Targets& t = targets();
  std::lock_guard<std::mutex> hold(t.lock);
  const std::string wanted = upper(name);
  if (wanted.empty()) {
    hwy::SetSupportedTargetsForTest(t.all);
    t.current = hwy::TargetName(t.usable.front());
    return true;
  }
  for (std::int64_t target : t.usable)
    if (wanted == hwy::TargetName(target) || (wanted == "OFF" && target == t.usable.back())) {
      hwy::SetSupportedTargetsForTest(target);
      t.current = hwy::TargetName(target);
      return true;
    }
  return false;
}

std::string vectorTarget() {
  Targets& t = targets();
  std::lock_guard<std::mutex> hold(t.lock);
  return t.current;
}

}  // namespace resample

#endif  // HWY_ONCE
