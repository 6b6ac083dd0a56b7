// The workarounds of library faults: each for the library version in use,
// and the one that must reach into libvips really in the shipped program.
#include "generator/compat/Workarounds.h"

#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

TEST(Compat, EachWorkaroundIsForTheLibraryInUse) {
  for (const Workaround& w : workarounds()) {
    EXPECT_EQ(libraryVersion(w.library), w.foundIn)
        << w.library << " is not the version " << w.where << " was written for: check whether it "
        << w.fault << ", then keep, change or drop the workaround and its entry in "
        << "generator/compat/Workarounds.cpp";
  }
}

TEST(Compat, TheShippedGeneratorCarriesTheVectorCodeLock) {
  // libvips' calls reach the lock only when the executable itself exports
  // liborc's two functions.
  RunResult symbols = runProgram("/usr/bin/nm", {"nm", "-D", "--defined-only", VIGNETOR_PATH});
  ASSERT_EQ(symbols.exitCode, 0) << symbols.err;
  for (const char* name : {" T orc_program_compile\n", " T orc_program_free\n"})
    EXPECT_NE(symbols.out.find(name), std::string::npos) << name << symbols.out;
}
