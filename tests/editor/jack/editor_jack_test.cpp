// The plug-in on real MIDI ports: its ports chosen in the menus on a private
// JACK server, the simulator program at device ID 5 on the other end. The
// device-ID enquiry learns 5 and an edit of a CC-bound control arrives; a
// saved state reopens its ports by name in a new plug-in. With two
// simulators, a refused state of the other one's ports leaves the ports as
// they were and sends it nothing, and states that switch between the two
// pairs of ports, loaded one after the other beside busy threads, each
// answer in time.
//
// JACK carries MIDI once per period and a client that misses its cycle
// loses what passed in it, so an edit that does not show up is followed by
// an edit to the next value, and an enquiry that goes unanswered by another
// enquiry (each a bounded number of times).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editor/Tavrin.h"
#include "framework/IParam.h"
#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "jackserver/JackServer.h"
#include "platform/folders.h"
#include "synthsim_program.h"
#include "paramtext.h"
#include "testsupport.h"
#include "uiconfig/ControlAction.h"

namespace {

// Runs before main, while this is the only thread: the JACK server and
// clients of this program share a private /dev/shm where the machine allows
// it (the CTest resource lock "jack" holds either way).
const bool g_isolated = [] {
  std::fprintf(stderr, "%s\n", isolateJackSharedMemory().c_str());
  return true;
}();

std::unique_ptr<IHardwarePorts> jackPorts() { return std::make_unique<MidiPorts>(makeRtMidiBackend("jack")); }

void userEdit(Tavrin& plug, int idx, double value) {
  plug.SetParameterFromGUI(idx, plug.GetParam(idx)->GetNormalized(value));
}

// Real time throughout: the enquiry's pauses pace a real instrument.
bool waitFor(const std::function<bool()>& done, int limitMs) {
  for (int waited = 0; waited < limitMs; waited += 20) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

// Edits of a CC-bound control until one arrives at the program (JACK may
// lose one in a missed cycle).
bool editArrives(Tavrin& plug, testsupport::Program& program) {
  int idx = -1;
  for (int i = 3; i < 80 && idx < 0; ++i) {
    const ControlAction* a = plug.GetParam(i)->GetControlAction();
    if (a && a->type == 1 && i != kLFO1Shape) idx = i;
  }
  if (idx < 0) return false;
  const uint8_t cc = static_cast<uint8_t>(plug.GetParam(idx)->GetControlAction()->ccNumber);
  // Each edit that does not show up is followed by one to the next value,
  // given longer to arrive each time.
  int limitMs = 250;
  for (uint8_t v = 20; v < 28; ++v, limitMs = std::min(2 * limitMs, 4000)) {
    userEdit(plug, idx, v);
    const std::vector<uint8_t> wanted = {0xB0, cc, v};
    if (waitFor([&] {
          const auto got = program.received();
          return !got.empty() && got.back() == wanted;
        }, limitMs))
      return true;
  }
  return false;
}

// A private JACK server with the simulator program on it; plug-ins made
// meanwhile open their ports over JACK.
class OnJack : public ::testing::Test {
 protected:
  void start(const char* name, const char* device) {
    ASSERT_TRUE(server.running()) << server.error();
    server.exportToEnvironment();
    // A busy server now and then refuses the program's clients (it tries a
    // few times itself, then ends): it is started again, as the plug-in's
    // own ports are opened again, within a bound.
    bool ready = false;
    for (int attempt = 0; attempt < 6 && !ready; ++attempt) {
      program = std::make_unique<testsupport::Program>(
          std::vector<std::string>{SYNTHSIM_PROGRAM, "--api", "jack", "--name", name, "--device", device});
      ASSERT_GT(program->pid, 0);
      std::string line;
      ready = program->line(line, 30000) && line.rfind("synthsim ready", 0) == 0;
    }
    ASSERT_TRUE(ready) << "the program did not start";
    platform::setResourceFolder(TAVRIN_STAGED_ROOT);
    SetHardwarePortsFactory(&jackPorts);
  }
  void TearDown() override { SetHardwarePortsFactory(nullptr); }
  // Chooses the program's ports in the menus (100 ms request pacing).
  void choosePorts(Tavrin& plug, const std::string& name, int& in, int& out) {
    in = testsupport::listedValue(plug, kDeviceInSelection, name + " Out");
    out = testsupport::listedValue(plug, kDeviceOutSelection, name + " In");
    ASSERT_GT(in, 0);
    ASSERT_GT(out, 0);
    userEdit(plug, kLibSyncTimer, 9);
    userEdit(plug, kDeviceInSelection, in);
    userEdit(plug, kDeviceOutSelection, out);
  }

  JackServer server;
  std::unique_ptr<testsupport::Program> program;
  testsupport::ScopedFolders folders;
};

TEST_F(OnJack, TheEnquiryLearnsTheDeviceIdAndAnEditArrives) {
  ASSERT_NO_FATAL_FAILURE(start("Edit Sim", "5"));
  Tavrin plug{IPluginInstanceInfo{}};
  int in = 0, out = 0;
  ASSERT_NO_FATAL_FAILURE(choosePorts(plug, "Edit Sim", in, out));
  // Choosing the output starts the enquiry job, which ends on its own,
  // answered or after its time-out (21 pauses and 127 search steps of
  // 100 ms). An enquiry or answer that JACK lost is asked for again by
  // choosing the output again.
  bool learnt = false;
  for (int attempt = 0; attempt < 4 && !learnt; ++attempt) {
    if (attempt > 0) {
      userEdit(plug, kDeviceOutSelection, 0);
      userEdit(plug, kDeviceOutSelection, out);
    }
    ASSERT_TRUE(waitFor([&] { return !plug.jobRunning(); }, 60000)) << "the enquiry job did not end";
    learnt = plug.sharedFlags().deviceId.load() == 5;
  }
  ASSERT_TRUE(learnt) << "no enquiry was answered";
  EXPECT_TRUE(editArrives(plug, *program));
}

TEST_F(OnJack, AStateThatNamesItsPortsReopensThemOnLoad) {
  ASSERT_NO_FATAL_FAILURE(start("Recall Sim", "0"));
  ByteChunk saved;
  int in = 0, out = 0;
  {
    Tavrin plug{IPluginInstanceInfo{}};
    ASSERT_NO_FATAL_FAILURE(choosePorts(plug, "Recall Sim", in, out));
    ASSERT_TRUE(waitFor([&] { return !plug.jobRunning(); }, 60000));
    ASSERT_TRUE(plug.SerializeChunkForHost(&saved, false));
  }
  Tavrin plug{IPluginInstanceInfo{}};
  ASSERT_FALSE(plug.isMidiIOSet());
  ASSERT_TRUE(plug.UnserializeChunkFromHost(&saved, false));
  EXPECT_TRUE(plug.isMidiIOSet());
  EXPECT_EQ(plug.GetHardwarePorts()->openInIndex(), in);
  EXPECT_EQ(plug.GetHardwarePorts()->openOutIndex(), out);
  // The sound the load sends goes first, then an edit.
  ASSERT_TRUE(waitFor([&] { return !plug.jobRunning(); }, 60000));
  EXPECT_TRUE(editArrives(plug, *program));
}

// Two simulator programs, A and B; a plug-in made once both are up lists
// the ports of both.
class TwoOnJack : public OnJack {
 protected:
  void startBoth() {
    ASSERT_NO_FATAL_FAILURE(start("Sim A", "0"));
    second = std::make_unique<testsupport::Program>(
        std::vector<std::string>{SYNTHSIM_PROGRAM, "--api", "jack", "--name", "Sim B", "--device", "0"});
    ASSERT_GT(second->pid, 0);
    std::string line;
    ASSERT_TRUE(second->line(line, 30000)) << "the second program did not start";
  }
  // The state of the plug-in with the program's ports chosen in the menus.
  void project(Tavrin& plug, const std::string& name, ByteChunk& saved, int& in, int& out) {
    ASSERT_NO_FATAL_FAILURE(choosePorts(plug, name, in, out));
    ASSERT_TRUE(waitFor([&] { return !plug.jobRunning(); }, 60000)) << "the enquiry job did not end";
    saved.Clear();
    ASSERT_TRUE(plug.SerializeChunkForHost(&saved, false));
  }

  std::unique_ptr<testsupport::Program> second;
};

std::vector<uint8_t> bytesOf(const ByteChunk& c) { return {c.GetBytes(), c.GetBytes() + c.Size()}; }

TEST_F(TwoOnJack, ARefusedStateLeavesThePortsAndSendsNothing) {
  ASSERT_NO_FATAL_FAILURE(startBoth());
  Tavrin plug{IPluginInstanceInfo{}};
  ByteChunk a, b;
  int inA = 0, outA = 0, inB = 0, outB = 0;
  ASSERT_NO_FATAL_FAILURE(project(plug, "Sim B", b, inB, outB));
  ASSERT_NO_FATAL_FAILURE(project(plug, "Sim A", a, inA, outA));
  // B cut in its values, and B with a value that is not a number.
  const std::vector<uint8_t> whole = bytesOf(b);
  std::vector<uint8_t> cut(whole.begin(), whole.end() - 800);
  std::vector<uint8_t> odd = whole;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::memcpy(&odd[odd.size() - 8 * 50], &nan, 8);
  for (const auto& bytes : {cut, odd}) {
    ByteChunk before, after, chunk;
    ASSERT_TRUE(plug.SerializeChunkForHost(&before, false));
    chunk.Put(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_FALSE(plug.UnserializeChunkFromHost(&chunk, false));
    EXPECT_FALSE(plug.jobRunning());
    EXPECT_EQ(plug.GetHardwarePorts()->openInIndex(), inA);
    EXPECT_EQ(plug.GetHardwarePorts()->openOutIndex(), outA);
    ASSERT_TRUE(plug.SerializeChunkForHost(&after, false));
    EXPECT_TRUE(bytesOf(after) == bytesOf(before)) << "the next saved state changed";
  }
  // Edits still reach A, and B never got a sound.
  EXPECT_TRUE(editArrives(plug, *program));
  for (const auto& message : second->received()) EXPECT_NE(message.size(), 137u);
}

// How many loads the switching test makes: TAVRIN_PORT_SWITCH_LOADS, or a
// count that keeps the program's run short.
int switchLoads() {
  const char* knob = std::getenv("TAVRIN_PORT_SWITCH_LOADS");
  const int n = knob ? std::atoi(knob) : 0;
  return n > 0 ? n : 60;
}

// Each load that reopens ports answers within this many seconds:
// TAVRIN_PORT_SWITCH_ANSWER_S, or 30. A hung load is the fault and never
// answers; an idle machine answers well under a second, but a sanitizer
// build on two loaded cores can starve the server's cycles for seconds.
std::chrono::seconds loadAnswer() {
  const char* knob = std::getenv("TAVRIN_PORT_SWITCH_ANSWER_S");
  const int n = knob ? std::atoi(knob) : 0;
  return std::chrono::seconds(n > 0 ? n : 30);
}

TEST_F(TwoOnJack, LoadsThatSwitchBetweenTwoPairsOfPortsEachAnswerInTime) {
  ASSERT_NO_FATAL_FAILURE(startBoth());
  Tavrin plug{IPluginInstanceInfo{}};
  ByteChunk a, b;
  int inA = 0, outA = 0, inB = 0, outB = 0;
  ASSERT_NO_FATAL_FAILURE(project(plug, "Sim B", b, inB, outB));
  ASSERT_NO_FATAL_FAILURE(project(plug, "Sim A", a, inA, outA));

  // Busy threads beside the loads, as a loaded machine has.
  std::atomic<bool> busy{true};
  std::vector<std::thread> loops;
  for (int i = 0; i < 2; ++i) {
    loops.emplace_back([&] {
      // At the lowest priority, as a machine's other work: the loads and
      // the server come first, but every spare moment is taken.
      setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
      volatile unsigned long spin = 0;
      while (busy.load(std::memory_order_relaxed)) spin = spin + 1;
    });
  }
  struct StopBusy {
    std::atomic<bool>& busy;
    std::vector<std::thread>& loops;
    ~StopBusy() {
      busy = false;
      for (auto& t : loops) t.join();
    }
  } stopBusy{busy, loops};

  const int loads = switchLoads();
  const auto limit = loadAnswer();
  int wrongPorts = 0;
  auto longest = std::chrono::steady_clock::duration::zero();
  for (int i = 0; i < loads; ++i) {
    const auto began = std::chrono::steady_clock::now();
    const bool toB = i % 2 == 0;
    ByteChunk& chunk = toB ? b : a;
    // The load runs on a thread of its own, as a host's would: a load that
    // hangs ends the program with its number instead of hanging it.
    auto answered = std::async(std::launch::async, [&] { return plug.UnserializeChunkFromHost(&chunk, false); });
    if (answered.wait_for(limit) != std::future_status::ready) {
      std::fprintf(stderr, "load %d of %d did not answer within %lld s\n", i + 1, loads,
                   static_cast<long long>(limit.count()));
      std::fflush(stderr);
      std::abort();
    }
    longest = std::max(longest, std::chrono::steady_clock::now() - began);
    ASSERT_TRUE(answered.get()) << "load " << i + 1;
    const int in = plug.GetHardwarePorts()->openInIndex(), out = plug.GetHardwarePorts()->openOutIndex();
    if (in != (toB ? inB : inA) || out != (toB ? outB : outA)) ++wrongPorts;
    if ((i + 1) % 100 == 0 || i + 1 == loads) {
      std::fprintf(stderr, "%d of %d loads, the longest %lld ms\n", i + 1, loads,
                   static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()));
    }
  }
  EXPECT_EQ(wrongPorts, 0) << "of " << loads << " loads";
}

}  // namespace
