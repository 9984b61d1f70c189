#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "framework/Hosts.h"
#include "framework/Log.h"
#include "framework_fakes.h"
#include "platform/clock.h"

namespace {

TEST(Hosts, LookUpIsCaseInsensitiveOrderedAndNamesHaveAFallback) {
  // "cubase live" takes the earlier row; "logic" comes before "standalone"; only
  // the first 255 bytes are looked at.
  const std::pair<std::string, int> cases[] = {
      {"REAPER", kHostReaper}, {"Reaper64", kHostReaper}, {"Nuendo 12", kHostNuendo},
      {"Digital Performer", kHostDigitalPerformer}, {"cubase live edition", kHostCubase},
      {"Live 11", kHostAbletonLive}, {"Melodyne", kHostMelodyneStudio}, {"Standalone logic", kHostLogic},
      {"Ardour", kHostArdour}, {"", kHostUnknown}, {"Unlisted Host", kHostUnknown},
      {std::string(250, 'x') + "reaper", kHostUnknown}, {std::string(249, 'x') + "reaper", kHostReaper}};
  for (const auto& [name, host] : cases) EXPECT_EQ(LookUpHost(name.c_str()), host) << name;
  EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);

  char out[32];
  GetHostNameStr(6, out, sizeof out);
  EXPECT_STREQ(out, "Vegas");
  for (int id : {-1, 0, 10, 11, 12, 19, 29}) EXPECT_STREQ(GetHostName(id), "Unknown") << id;
  EXPECT_STREQ(GetHostName(kHostVST3TestHost), "VST3PluginTestHost");
  EXPECT_STREQ(GetAPIName(5), "Standalone");
  EXPECT_STREQ(GetAPIName(6), "");
}

std::string versionStr(int32_t v, size_t size = 32) {
  char out[32];
  GetVersionStr(v, out, size);
  return out;
}

TEST(Versions, PartsDecimalAndText) {
  int ma, mi, pa;
  GetVersionParts(0x10203, &ma, &mi, &pa);
  EXPECT_EQ(std::vector<int>({ma, mi, pa}), std::vector<int>({1, 2, 3}));
  EXPECT_EQ(GetDecimalVersion(0x10100), 10100);
  EXPECT_EQ(PackDecimalVersion(123456), (12 << 16) | (34 << 8) | 56);
  for (auto [v, text] : {std::pair{0x10203, "v1.2.3"}, {0x20000, "v2"}, {0x10100, "v1.1"}})
    EXPECT_EQ(versionStr(v), text);
  EXPECT_EQ(versionStr(static_cast<int32_t>(0xFFFFFFFF), 8), "v65535.");  // cut, terminated

  fwtest::TestPlug plug;
  EXPECT_EQ(plug.GetEffectVersion(true), 10100);
  plug.SetHost("REAPER", PackDecimalVersion(60512));
  EXPECT_EQ(plug.GetHost(), kHostReaper);
  char out[32];
  plug.GetHostVersionStr(out, sizeof out);
  EXPECT_STREQ(out, "v6.5.12");
  plug.SetHost("", 0);
  EXPECT_EQ(plug.GetHost(), kHostUnknown);
}

TEST(TimeUtilities, CurrentTimeCarriesTheUtcOffset) {
  // 2023-12-31 23:30:00 UTC.
  platform::ManualClock clock(1704065400ull * 1000000ull);
  platform::ScopedClock scoped(clock);
  const char* oldTz = std::getenv("TZ");
  const std::string saved = oldTz ? oldTz : "";
  const std::pair<const char*, const char*> cases[] = {
      {"XXX-1", "20240101 00:30 +0100"},     // one hour east: already next year locally
      {"XXX+5:30", "20231231 18:00 -0530"},  // five and a half hours west
      {"UTC0", "20231231 23:30 +0000"}};
  for (const auto& [tz, expected] : cases) {
    setenv("TZ", tz, 1);
    tzset();
    EXPECT_STREQ(CurrentTime(), expected) << tz;
  }
  oldTz ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
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

TEST(TimeUtilities, CompileTimestampWhitespaceAndLowerCase) {
  char out[32];
  const char* cases[][3] = {{"Dec  5 2024", "14:45:19", "[Dec 5 14:45]"},
                            {"Dec 15 2024", "14:45:19", "[Dec15 14:45]"},
                            {"", "", "[ ]"}};
  for (const auto& c : cases) {
    CompileTimestamp(c[0], c[1], out, sizeof out);
    EXPECT_STREQ(out, c[2]);
  }
  EXPECT_STREQ(AppendTimestamp("Dec 15 2024", "14:45:19", "Tavrin"), "Tavrin [Dec15 14:45]");

  for (char c : std::string("\t\n\r ")) EXPECT_TRUE(IsWhitespace(c));
  EXPECT_FALSE(IsWhitespace('\v') || IsWhitespace('a'));
  char lower[6];
  ToLower(lower, "ABCdefGH", sizeof lower);
  EXPECT_STREQ(lower, "abcde");
}

}  // namespace
