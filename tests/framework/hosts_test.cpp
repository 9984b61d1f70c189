#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "framework/Hosts.h"
#include "framework/Log.h"
#include "framework_fakes.h"
#include "platform/clock.h"

namespace {

TEST(Hosts, LookUpIsCaseInsensitiveAndOrdered) {
  EXPECT_EQ(LookUpHost("REAPER"), kHostReaper);
  EXPECT_EQ(LookUpHost("Reaper64"), kHostReaper);
  EXPECT_EQ(LookUpHost("Steinberg Nuendo"), kHostNuendo);
  EXPECT_EQ(LookUpHost("Digital Performer"), kHostDigitalPerformer);
  EXPECT_EQ(LookUpHost("cubase live edition"), kHostCubase);  // earlier row wins
  EXPECT_EQ(LookUpHost("Ableton Live 11"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("Melodyne"), kHostMelodyneStudio);
  EXPECT_EQ(LookUpHost("Standalone logic"), kHostLogic);  // logic comes before standalone
  EXPECT_EQ(LookUpHost("PreSonus Studio One"), kHostStudioOne);
  EXPECT_EQ(LookUpHost("Ardour"), kHostArdour);
  EXPECT_EQ(LookUpHost(""), kHostUnknown);
  EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
  EXPECT_EQ(LookUpHost("Bitwig"), kHostUnknown);
  // Only the first 255 bytes are looked at.
  EXPECT_EQ(LookUpHost((std::string(250, 'x') + "reaper").c_str()), kHostUnknown);
  EXPECT_EQ(LookUpHost((std::string(249, 'x') + "reaper").c_str()), kHostReaper);
}

TEST(Hosts, DisplayNames) {
  char out[32];
  GetHostNameStr(12, out, sizeof out);
  EXPECT_STREQ(out, "Unknown");
  GetHostNameStr(6, out, sizeof out);
  EXPECT_STREQ(out, "Vegas");
  for (int id : {-1, 0, 10, 11, 19, 29}) EXPECT_STREQ(GetHostName(id), "Unknown") << id;
  EXPECT_STREQ(GetHostName(kHostVST3TestHost), "VST3PluginTestHost");
  EXPECT_STREQ(GetAPIName(5), "Standalone");
  EXPECT_STREQ(GetAPIName(6), "");
}

TEST(Versions, PartsDecimalAndText) {
  int ma, mi, pa;
  GetVersionParts(0x10203, &ma, &mi, &pa);
  EXPECT_EQ(ma, 1);
  EXPECT_EQ(mi, 2);
  EXPECT_EQ(pa, 3);
  EXPECT_EQ(GetDecimalVersion(0x10100), 10100);
  EXPECT_EQ(PackDecimalVersion(10100), 0x10100);
  EXPECT_EQ(PackDecimalVersion(123456), (12 << 16) | (34 << 8) | 56);
  char out[32];
  GetVersionStr(0x10203, out, sizeof out);
  EXPECT_STREQ(out, "v1.2.3");
  GetVersionStr(0x20000, out, sizeof out);
  EXPECT_STREQ(out, "v2");
  GetVersionStr(0x10100, out, sizeof out);
  EXPECT_STREQ(out, "v1.1");
  GetVersionStr(static_cast<int32_t>(0xFFFFFFFF), out, 8);  // cut, terminated
  EXPECT_STREQ(out, "v65535.");

  fwtest::TestPlug plug;
  EXPECT_EQ(plug.GetEffectVersion(false), 0x10100);
  EXPECT_EQ(plug.GetEffectVersion(true), 10100);
  plug.GetEffectVersionStr(out, sizeof out);
  EXPECT_STREQ(out, "v1.1");
  plug.SetHost("Cockos REAPER", PackDecimalVersion(60512));
  EXPECT_EQ(plug.GetHost(), kHostReaper);
  EXPECT_EQ(plug.GetHostVersion(true), 60512);
  plug.GetHostVersionStr(out, sizeof out);
  EXPECT_STREQ(out, "v6.5.12");
  plug.SetHost("", 0);
  EXPECT_EQ(plug.GetHost(), kHostUnknown);
}

struct ScopedTZ {
  std::string old;
  bool had;
  explicit ScopedTZ(const char* tz) {
    const char* o = std::getenv("TZ");
    had = o != nullptr;
    if (had) old = o;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTZ() {
    if (had)
      setenv("TZ", old.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
};

TEST(TimeUtilities, CurrentTimeCarriesTheUtcOffset) {
  // 2023-12-31 23:30:00 UTC.
  platform::ManualClock clock(1704065400ull * 1000000ull);
  platform::ScopedClock scoped(clock);
  {
    ScopedTZ tz("XXX-1");  // one hour east: already next year locally
    EXPECT_STREQ(CurrentTime(), "20240101 00:30 +0100");
  }
  {
    ScopedTZ tz("XXX+5:30");  // five and a half hours west
    EXPECT_STREQ(CurrentTime(), "20231231 18:00 -0530");
  }
  {
    ScopedTZ tz("UTC0");
    EXPECT_STREQ(CurrentTime(), "20231231 23:30 +0000");
  }
}

TEST(TimeUtilities, TimerUsesTheMonotonicClock) {
  platform::ManualClock clock;
  platform::ScopedClock scoped(clock);
  Timer t;
  EXPECT_FALSE(t.Every(1.0));
  clock.advance(1000000);
  EXPECT_FALSE(t.Every(1.0));  // exactly one second is not more
  clock.advance(1);
  EXPECT_TRUE(t.Every(1.0));
  EXPECT_FALSE(t.Every(1.0));  // restarted
}

TEST(TimeUtilities, CompileTimestampAndText) {
  char out[32];
  CompileTimestamp("Dec  5 2024", "14:45:19", out, sizeof out);
  EXPECT_STREQ(out, "[Dec 5 14:45]");
  CompileTimestamp("Dec 15 2024", "14:45:19", out, sizeof out);
  EXPECT_STREQ(out, "[Dec15 14:45]");
  CompileTimestamp("", "", out, sizeof out);
  EXPECT_STREQ(out, "[ ]");
  EXPECT_STREQ(AppendTimestamp("Dec 15 2024", "14:45:19", "Tavrin"), "Tavrin [Dec15 14:45]");

  for (char c : std::string("\t\n\r ")) EXPECT_TRUE(IsWhitespace(c));
  EXPECT_FALSE(IsWhitespace('\v'));
  EXPECT_FALSE(IsWhitespace('a'));
  char lower[6];
  ToLower(lower, "ABCdefGH", sizeof lower);
  EXPECT_STREQ(lower, "abcde");
}

}  // namespace
