#pragma once

#include <cstddef>

// One row of an up-down control's acceleration table: from `seconds` of
// holding on, each step changes the value by `increment`.
struct UpDownAccel {
  int seconds;
  int increment;
};

// The step for a button or key held for `secondsHeld` (the last row whose time
// has come; 1 when the table is empty).
int AcceleratedStep(const UpDownAccel* table, std::size_t count, double secondsHeld);

// `value` moved by `delta` within [lower, upper]. With `wrap`, going past the
// upper bound lands on the lower one and the other way round; without, the
// value stops at the bound. A value outside the range is first brought into it.
int StepValue(int value, int delta, int lower, int upper, bool wrap);
