#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/sanitizer.h"

#if TAVRIN_ADDRESS_SANITIZER
extern "C" const char* __lsan_default_suppressions();
#endif

namespace {

// Under either compiler, a sanitizer build knows it is one, and then tells
// the leak checker to ignore fontconfig's one-time allocations.
TEST(Sanitizer, LeakSuppressionFollowsTheAddressChecker) {
  EXPECT_EQ(TAVRIN_ADDRESS_SANITIZER, TAVRIN_ASAN_BUILD);
#if TAVRIN_ADDRESS_SANITIZER
  EXPECT_NE(std::strstr(__lsan_default_suppressions(), "leak:libfontconfig.so"), nullptr);
#endif
}

TEST(Folders, DefaultsEnvironmentAndOverride) {
  unsetenv(platform::kDataFolderEnv);
  platform::setDataFolder("");
  EXPECT_EQ(platform::dataFolder(), "/Library/Audio/Presets/Quillfen/Brannick Tavrin Editor/");
  setenv(platform::kDataFolderEnv, "/tmp/somewhere", 1);
  EXPECT_EQ(platform::dataFolder(), "/tmp/somewhere/");
  platform::setDataFolder("/tmp/override/");
  EXPECT_EQ(platform::dataFolder(), "/tmp/override/");
  platform::setDataFolder("");
  unsetenv(platform::kDataFolderEnv);

  unsetenv(platform::kResourceFolderEnv);
  const std::string mod = platform::moduleFolder();
  ASSERT_FALSE(mod.empty());
  EXPECT_EQ(mod.back(), '/');
  EXPECT_EQ(platform::resourceFolder(), mod + "Contents/Resources/");
  setenv(platform::kResourceFolderEnv, "/res", 1);
  EXPECT_EQ(platform::resourceFolder(), "/res/");
  unsetenv(platform::kResourceFolderEnv);
}

TEST(Clock, ManualClockAdvancesOnSleep) {
  platform::ManualClock mc(5'000'000);
  platform::ScopedClock scope(mc);
  EXPECT_EQ(platform::wallMicros(), 5'000'000u);
  platform::sleepMicros(2500);
  EXPECT_EQ(platform::wallMicros(), 5'002'500u);
  EXPECT_EQ(platform::monotonicMicros(), 2500u);
  EXPECT_EQ(mc.sleepCount(), 1u);
  mc.advance(100);
  EXPECT_EQ(platform::monotonicMicros(), 2600u);
}

TEST(Clock, SystemClockIsRestored) {
  {
    platform::ManualClock mc(0);
    platform::ScopedClock scope(mc);
    EXPECT_EQ(platform::wallMicros(), 0u);
  }
  EXPECT_GT(platform::wallMicros(), 1'600'000'000'000'000ull);
  const uint64_t a = platform::monotonicMicros();
  EXPECT_GE(platform::monotonicMicros(), a);
}

}  // namespace
