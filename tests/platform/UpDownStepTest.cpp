#include <climits>

#include <gtest/gtest.h>

#include "platform/UpDownStep.h"

namespace {
constexpr UpDownAccel kTable[] = {{0, 1}, {1, 5}, {2, 10}, {3, 25}};

TEST(UpDownStep, AcceleratesByHoldingTime) {
  EXPECT_EQ(1, AcceleratedStep(kTable, 4, 0.0));
  EXPECT_EQ(1, AcceleratedStep(kTable, 4, 0.99));
  EXPECT_EQ(5, AcceleratedStep(kTable, 4, 1.0));
  EXPECT_EQ(10, AcceleratedStep(kTable, 4, 2.5));
  EXPECT_EQ(25, AcceleratedStep(kTable, 4, 3.0));
  EXPECT_EQ(25, AcceleratedStep(kTable, 4, 60.0));
  EXPECT_EQ(1, AcceleratedStep(nullptr, 0, 10.0));
}

TEST(UpDownStep, WrapsAtBothEnds) {
  EXPECT_EQ(51, StepValue(50, 1, 50, 1000, true));
  EXPECT_EQ(1000, StepValue(999, 1, 50, 1000, true));
  EXPECT_EQ(50, StepValue(1000, 1, 50, 1000, true));
  EXPECT_EQ(50, StepValue(990, 25, 50, 1000, true));
  EXPECT_EQ(1000, StepValue(50, -1, 50, 1000, true));
  EXPECT_EQ(1000, StepValue(60, -25, 50, 1000, true));
  EXPECT_EQ(75, StepValue(50, 25, 50, 1000, true));
}

TEST(UpDownStep, StopsAtTheBoundsWithoutWrap) {
  EXPECT_EQ(1000, StepValue(1000, 1, 50, 1000, false));
  EXPECT_EQ(50, StepValue(55, -10, 50, 1000, false));
}

TEST(UpDownStep, BringsAValueFromOutsideIntoTheRange) {
  EXPECT_EQ(50, StepValue(5000, 1, 50, 1000, true));  // 1000 + 1 wraps
  EXPECT_EQ(999, StepValue(5000, -1, 50, 1000, true));
  EXPECT_EQ(51, StepValue(-7, 1, 50, 1000, true));
  EXPECT_EQ(1000, StepValue(INT_MAX, 25, 50, 1000, false));  // no overflow
}
}  // namespace
