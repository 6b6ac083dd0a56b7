#include <vips/vips8>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0])) return 1;
  // Runs replace files under the same name; a cached load would show the
  // file as it was when first read.
  vips_cache_set_max(0);
  ::testing::InitGoogleTest(&argc, argv);
  int code = RUN_ALL_TESTS();
  vips_shutdown();
  return code;
}
