// The RtMidi backend with no MIDI service but a private JACK server that
// offers no ports: choosing the library interface, falling back when one
// cannot start, and failing quietly. JACK clients reach only the server this
// suite started.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiPorts.h"
#include "jackserver/JackServer.h"

namespace {

bool compiled(const std::string& api) {
  auto apis = rtMidiCompiledApis();
  return std::find(apis.begin(), apis.end(), api) != apis.end();
}

struct RtMidiBackendTest : ::testing::Test {
  static void SetUpTestSuite() { server = std::make_unique<JackServer>(); }
  static void TearDownTestSuite() { server.reset(); }
  void SetUp() override {
    unsetenv(kMidiApiEnv);
    if (!compiled("jack")) GTEST_SKIP() << "RtMidi has no JACK interface here";
    ASSERT_TRUE(server->running()) << server->error();
    server->exportToEnvironment();
  }
  void TearDown() override { unsetenv(kMidiApiEnv); }
  static inline std::unique_ptr<JackServer> server;
};

TEST_F(RtMidiBackendTest, AnInterfaceThatCannotStartGivesWayToTheNext) {
  if (!compiled("alsa") || access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "needs ALSA compiled but absent";
  // The default and an explicit "alsa" both fail to make a client here and
  // end on JACK, whose server offers no MIDI ports.
  for (const char* api : {"", "alsa", "ALSA", "no-such-interface"}) {
    MidiPorts ports(makeRtMidiBackend(api));
    EXPECT_EQ(ports.outNames(), std::vector<std::string>{"OFF"}) << api;
    EXPECT_EQ(ports.inNames(), std::vector<std::string>{"OFF"}) << api;
    EXPECT_EQ(ports.apiName(), "jack") << api;
  }
}

// The environment picks the interface; without ports nothing opens and
// nothing is sent, and no library error escapes.
TEST_F(RtMidiBackendTest, EnvironmentChoosesTheInterfaceAndNothingOpensWithoutPorts) {
  setenv(kMidiApiEnv, "jack", 1);
  MidiPorts ports(makeRtMidiBackend());
  EXPECT_EQ(ports.outNames(), std::vector<std::string>{"OFF"});
  EXPECT_EQ(ports.apiName(), "jack");
  int index = 1;
  EXPECT_EQ(ports.openOut(index, "Sorrel"), 0);
  EXPECT_EQ(index, 0);
  index = 1;
  EXPECT_EQ(ports.openIn(index, "Sorrel"), 0);
  const uint8_t clock = 0xF8;
  EXPECT_FALSE(ports.send(&clock, 1));
  auto factoryMade = makeRtMidiHardwarePorts("jack");
  EXPECT_FALSE(factoryMade->send(&clock, 1));
  factoryMade->shutdown();
}

}  // namespace
