#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <thread>

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
  EXPECT_EQ(platform::dataFolder(), platform::defaultDataFolder());
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

// Pauses that can be cut short, a wait for a deadline that another thread's
// sleep passes, and the hooks that settle what an advance set going.
TEST(Clock, ManualWaitsObserverAndSettleHooks) {
  platform::ManualClock mc(0);
  platform::ScopedClock scope(mc);
  std::vector<uint64_t> seen;
  mc.setSleepObserver([&](uint64_t us) { seen.push_back(us); });
  EXPECT_TRUE(platform::sleepMicrosUnless(1000, [] { return true; }));
  EXPECT_EQ(platform::monotonicMicros(), 0u);
  bool wake = false;
  EXPECT_FALSE(platform::sleepMicrosUnless(1000, [&] { return wake; }));
  EXPECT_EQ(platform::monotonicMicros(), 1000u);
  EXPECT_EQ(seen, std::vector<uint64_t>{1000});

  std::atomic<bool> woke{false};
  int rounds = 0;
  mc.addSettleHook([&] { return ++rounds < 3; });
  std::thread waiter([&] {
    platform::waitUntilMicros(5000);
    woke = true;
  });
  platform::sleepMicros(3000);
  EXPECT_FALSE(woke.load());
  EXPECT_EQ(rounds, 4);  // two busy rounds and a quiet one before the advance, a quiet one after
  platform::sleepMicros(3000);  // the waiter has left its wait when this returns
  waiter.join();
  EXPECT_TRUE(woke.load());
  EXPECT_EQ(platform::monotonicNanos(), 7'000'000u);
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
  EXPECT_TRUE(platform::sleepMicrosUnless(10'000'000, [] { return true; }));
}

}  // namespace
