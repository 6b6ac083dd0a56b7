// The resampler's inner loops, written once with Highway and compiled for
// each instruction set the processor may have (SSSE3, SSE4, AVX2, AVX-512 on
// x86-64; NEON on arm64), plus Highway's plain target: C++ a lane at a
// time, without any vector instructions. The best one the processor has is
// picked when the program starts; VIGNETOR_VECTOR picks another ("off" for
// the plain one, or a name that vectorTargets() lists). Every target gives
// the same bytes: the arithmetic is integer and exact.
#ifndef WV_GENERATOR_RESAMPLE_VECTOR_H
#define WV_GENERATOR_RESAMPLE_VECTOR_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace resample {

// Weights of the kernel: fixed point, 1 << kWeightBits is 1.
constexpr int kWeightBits = 14;

// One row of `line` bytes from `count` rows `from[0..count)`, each byte the
// sum of the same byte of every row times its weight, rounded half up and
// held to 0..255.
void weighRows(const std::uint8_t* const* from, const std::int32_t* weights, int count,
               std::size_t line, std::uint8_t* out);

// sums[i] += row[i] for i < n: the rows of a box summed into its columns.
void addRow(const std::uint8_t* row, std::uint16_t* sums, std::size_t n);

// The targets this build has and this processor runs, best first; the plain
// one ("EMU128" or "SCALAR") last. A target whose results differ from the
// plain one's on a check made once is left out.
std::vector<std::string> vectorTargets();

// Uses the target named (as vectorTargets() lists it, any letter case),
// "off" for the plain one, or "" for the best. False, and nothing changed,
// for a name that is not listed. Not while another thread resamples.
bool useVectorTarget(const std::string& name);

// The target in use: VIGNETOR_VECTOR's at the first use, else the best.
std::string vectorTarget();

}  // namespace resample

#endif
