// The RtMidi backend with no MIDI service but a private JACK server that
// offers no ports: choosing the library interface, falling back when one
// cannot start, trying each interface once, touching none for "none", and
// failing quietly. JACK clients reach only the server this suite started.
//
// This program takes libjack's client opening and the ALSA sequencer's
// opening (its own definitions come before the libraries'), to count how
// often the port layer tries each interface.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiPorts.h"
#include "jackserver/JackServer.h"
#include "support_jack.h"

namespace {

// Clients the port layer tries to make carry these names.
std::atomic<int> g_jackOpens{0};
std::atomic<int> g_alsaOpens{0};

template <class F>
F real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" jack_client_t* jack_client_open(const char* name, jack_options_t options, jack_status_t* status, ...) {
  using Open = jack_client_t* (*)(const char*, jack_options_t, jack_status_t*, ...);
  static const auto next = real<Open>("jack_client_open");
  if (name && std::strncmp(name, "RtMidi ", 7) == 0) ++g_jackOpens;
  if (!(options & JackServerName)) return next(name, options, status);
  va_list args;
  va_start(args, status);
  const char* server = va_arg(args, const char*);
  va_end(args);
  return next(name, options, status, server);
}

// The sequencer's handle is opaque here.
extern "C" int snd_seq_open(void** handle, const char* name, int streams, int mode) {
  static const auto next = real<int (*)(void**, const char*, int, int)>("snd_seq_open");
  ++g_alsaOpens;
  return next ? next(handle, name, streams, mode) : -ENOENT;
}

namespace {

bool compiled(const std::string& api) {
  auto apis = rtMidiCompiledApis();
  return std::find(apis.begin(), apis.end(), api) != apis.end();
}

struct RtMidiBackendTest : jacktest::OnPrivateServer {
  void SetUp() override {
    unsetenv(kMidiApiEnv);
    if (!compiled("jack")) GTEST_SKIP() << "RtMidi has no JACK interface here";
    ASSERT_NO_FATAL_FAILURE(OnPrivateServer::SetUp());
    server->exportToEnvironment();
  }
  void TearDown() override {
    unsetenv(kMidiApiEnv);
    server->exportToEnvironment();
  }
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

// "none" touches no MIDI library, by name or through the environment, even
// where a server offers a port: the lists hold "OFF" alone and nothing
// opens.
TEST_F(RtMidiBackendTest, NoneTouchesNoMidiLibrary) {
  auto offering = makeRtMidiBackend("jack");
  const std::string offered = "Offer " + std::to_string(getpid());
  auto offer = offering->makeIn(offered, 100);
  ASSERT_TRUE(offer && offer->openVirtualPort("in"));
  const int jackBefore = g_jackOpens, alsaBefore = g_alsaOpens;
  for (bool fromEnvironment : {false, true}) {
    SCOPED_TRACE(fromEnvironment);
    if (fromEnvironment) setenv(kMidiApiEnv, "NONE", 1);
    MidiPorts ports(fromEnvironment ? makeRtMidiBackend() : makeRtMidiBackend("none"));
    EXPECT_EQ(ports.outNames(), std::vector<std::string>{"OFF"});
    EXPECT_EQ(ports.inNames(), std::vector<std::string>{"OFF"});
    EXPECT_EQ(ports.apiName(), "none");
    int index = 1;
    EXPECT_EQ(ports.openOut(index, (offered + ":in").c_str()), 0);
    EXPECT_FALSE(ports.initializeVirtualOutput("Nowhere"));
  }
  EXPECT_EQ(g_jackOpens, jackBefore);
  EXPECT_EQ(g_alsaOpens, alsaBefore);
}

// Where no MIDI service runs, building both lists tries each interface once:
// the answer of the first try holds for the other direction.
TEST_F(RtMidiBackendTest, EachInterfaceIsTriedOnceForBothLists) {
  if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "needs a machine without the ALSA sequencer";
  setenv("JACK_DEFAULT_SERVER", ("tavrin-absent-" + std::to_string(getpid())).c_str(), 1);
  const int jackBefore = g_jackOpens, alsaBefore = g_alsaOpens;
  MidiPorts ports(makeRtMidiBackend());
  EXPECT_EQ(ports.outNames(), std::vector<std::string>{"OFF"});
  EXPECT_EQ(ports.inNames(), std::vector<std::string>{"OFF"});
  int index = 1;
  EXPECT_EQ(ports.openIn(index, "Anything"), 0);
  EXPECT_FALSE(ports.initializeVirtualOutput("Nowhere"));
  EXPECT_EQ(g_jackOpens - jackBefore, 1);
  EXPECT_EQ(g_alsaOpens - alsaBefore, compiled("alsa") ? 1 : 0);
}

}  // namespace
