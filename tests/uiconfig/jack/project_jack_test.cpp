// The project's window on real MIDI ports: one message of each kind (a
// control change, an NRPN triple, a system-exclusive message), worked out
// by the encoder from the window's records, sent over the port layer's JACK
// interface on a private JACK server to the simulator program, which lists
// what it received.
//
// JACK carries MIDI once per period; a client that misses its cycle on a
// loaded machine loses what passed in it, so a message that does not show
// up is sent again (a bounded number of times). Waiting for the program's
// answers is bounded as well.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "framework/IParam.h"
#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiPorts.h"
#include "jackserver/JackServer.h"
#include "support_uiconfig.h"
#include "synthsim_program.h"
#include "uiconfig/ControlActionEncoder.h"

namespace {

// Runs before main, while this is the only thread: the JACK server and
// clients of this program share a private /dev/shm where the machine allows
// it (the CTest resource lock "jack" holds either way).
const bool g_isolated = [] {
  std::fprintf(stderr, "%s\n", isolateJackSharedMemory().c_str());
  std::fprintf(stderr, "%s\n", jackRealtimeScheduling().line.c_str());
  return true;
}();

using Bytes = std::vector<uint8_t>;
using testsupport::Program;

TEST(ProjectOnJack, OneMessageOfEachKindReachesTheSimulatorProgram) {
  JackServer server;
  ASSERT_TRUE(server.running()) << server.error();
  server.exportToEnvironment();
  Program program({SYNTHSIM_PROGRAM, "--api", "jack", "--name", "Map Sim"});
  ASSERT_GT(program.pid, 0);
  std::string ready;
  ASSERT_TRUE(program.line(ready, 30000)) << "the program did not start";

  // The program's ports are there once it is ready; a busy server may still
  // refuse a connection now and then. The wait is bounded.
  std::unique_ptr<MidiPorts> ports;
  for (int attempt = 0; attempt < 100 && !ports; ++attempt) {
    auto p = std::make_unique<MidiPorts>(makeRtMidiBackend("jack"));
    int index = 1;
    if (p->findOut("Map Sim In:MIDI In") > 0 && p->openOut(index, "Map Sim In:MIDI In") > 0)
      ports = std::move(p);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(ports) << "the program's ports did not appear";

  uitest::Window w(1500, 757);
  uitest::linkProjectResources(w.res());
  w.build();
  ASSERT_EQ(w.extraLines(), std::vector<std::string>());
  struct Edit {
    int param, value;
  } edits[] = {{40, 100}, {60, 70}, {219, 30}};  // CC, NRPN, system-exclusive
  EncodedMessages out;
  for (const Edit& e : edits) {
    const ControlAction* a = w.plug->GetParam(e.param)->GetControlAction();
    ASSERT_TRUE(encodeControlAction(*a, e.param, e.value, 0.0, 0, 0, out));
    std::vector<Bytes> wire;
    for (int m = 0; m < out.channelCount; ++m)
      wire.push_back({out.channel[m].mStatus, out.channel[m].mData1, out.channel[m].mData2});
    for (size_t m = 0; m < out.sysexCount(); ++m) {
      wire.push_back({0xF0});
      wire.back().insert(wire.back().end(), out.sysexData(m), out.sysexData(m) + out.sysexSize(m));
      wire.back().push_back(0xF7);
    }
    // Each attempt is given longer to arrive.
    bool arrived = false;
    for (int attempt = 0, looks = 12; attempt < 8 && !arrived; ++attempt, looks = std::min(2 * looks, 200)) {
      for (const Bytes& b : wire) ASSERT_TRUE(ports->send(b.data(), b.size()));
      for (int look = 0; look < looks && !arrived; ++look) {
        const std::vector<Bytes> got = program.received();
        arrived = got.size() >= wire.size() && std::equal(wire.begin(), wire.end(), got.end() - wire.size());
        if (!arrived) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a JACK period
      }
    }
    EXPECT_TRUE(arrived) << e.param;
  }
  ports->shutdown();
}

}  // namespace
