#include <vips/vips8>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0])) return 1;
  ::testing::InitGoogleTest(&argc, argv);
  int code = RUN_ALL_TESTS();
  vips_shutdown();
  return code;
}
