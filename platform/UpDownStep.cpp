#include "platform/UpDownStep.h"

int AcceleratedStep(const UpDownAccel* table, std::size_t count, double secondsHeld) {
  int step = 1;
  for (std::size_t i = 0; i < count; ++i) {
    if (secondsHeld >= table[i].seconds) step = table[i].increment;
  }
  return step;
}

int StepValue(int value, int delta, int lower, int upper, bool wrap) {
  if (value < lower) value = lower;
  if (value > upper) value = upper;
  const long long next = static_cast<long long>(value) + delta;
  if (next > upper) return wrap ? lower : upper;
  if (next < lower) return wrap ? upper : lower;
  return static_cast<int>(next);
}
