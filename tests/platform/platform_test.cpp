#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/clock.h"
#include "platform/folders.h"

namespace {

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

TEST(Folders, ResourcesOfAModuleInABundle) {
  const std::pair<const char*, const char*> cases[] = {
      {"/b/X.vst/Contents/x86_64-linux/", "/b/X.vst/Contents/Resources/"},
      {"/b/X.vst/Contents/MacOS", "/b/X.vst/Contents/Resources/"},
      {"/Contents/MacOS/", "/Contents/Resources/"},
      {"/b/Contents/", "/b/Contents/Contents/Resources/"},
      {"/b/MyContents/lib/", "/b/MyContents/lib/Contents/Resources/"},
      {"/b/Contents/x/y/", "/b/Contents/x/y/Contents/Resources/"},
      {"/", "/Contents/Resources/"},
  };
  for (auto [mod, res] : cases) EXPECT_EQ(platform::resourceFolderOfModule(mod), res) << mod;
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
