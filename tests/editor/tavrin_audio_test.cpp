// The audio callback on the scripted host: silence, the queue's drain, the
// clock jobs at transport edges, the all-sounds-off, the activity light, the
// host tempo, the output delay text and the deferred edit-buffer request;
// then end to end with the simulator, and blocks racing the other threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>

#include "editor/DebuggerOutput.h"
#include "framework/ITextControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "open_ports.h"
#include "platform/folders.h"
#include "support_host.h"
#include "support_midi.h"
#include "support_tavrin.h"
#include "uiconfig/ControlAction.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Block = edtest::HostScript::Block;

// A plug-in on the scripted host whose output port is always open. What it
// sends is recorded; a message that starts with the gate byte waits while
// the gate is closed, and the pauses of other threads wait while they are
// held, which keeps such a thread busy. (Only sends made without the editor
// lock may be held at the gate.)
class Rig {
 public:
  explicit Rig(bool debugLog = false) {
    platform::setResourceFolder(edtest::projectRoot());
    if (debugLog) testsupport::writeFile(platform::dataFolder() + kDebugLogFileName, std::string("old\n"));
    clock.setSleepObserver([this](uint64_t) {
      if (std::this_thread::get_id() == testThread) {
        if (inBlock.load()) ++blockSleeps;
        return;
      }
      std::unique_lock<std::mutex> lock(mSent);
      mOpened.wait(lock, [&] { return !mHoldPauses; });
    });
    sRig = this;
    SetHardwarePortsFactory(&ports);
    IPluginInstanceInfo info;
    info.mVSTHostCallback = edtest::HostScript::callback();
    plug = std::make_unique<Tavrin>(info);
    SetHardwarePortsFactory(nullptr);
    plug->setMidiIOSet(true);
    host = std::make_unique<edtest::HostScript>(*plug);
  }
  ~Rig() {
    gate(0);
    holdPauses(false);
    host.reset();
    plug.reset();
    clock.setSleepObserver({});
    // No pause was ever taken on the audio thread.
    EXPECT_EQ(blockSleeps.load(), 0);
  }

  unsigned run(Block b) {
    inBlock = true;
    host->run(b);
    inBlock = false;
    return plug->blockJobs();
  }
  // The user's path with a plain value.
  void set(int idx, double v) { plug->SetParameterFromGUI(idx, plug->GetParam(idx)->GetNormalized(v)); }
  double value(int idx) { return plug->GetParam(idx)->Value(); }
  // Closes the gate for messages starting with byte; 0 opens it.
  void gate(uint8_t byte) {
    {
      std::lock_guard<std::mutex> lock(mSent);
      mGate = byte;
    }
    mOpened.notify_all();
  }
  // While held, the pauses of the other threads wait (they hold no lock).
  void holdPauses(bool hold) {
    {
      std::lock_guard<std::mutex> lock(mSent);
      mHoldPauses = hold;
    }
    mOpened.notify_all();
  }
  std::vector<Bytes> take() {
    std::lock_guard<std::mutex> lock(mSent);
    return std::exchange(mMessages, {});
  }
  std::vector<int> queued() {
    KIT_MutexLock lock(plug->GetMutex());
    std::vector<int> offsets;
    for (int i = 0; i < plug->midiQueue().ToDo(); ++i) offsets.push_back(plug->midiQueue().At(i)->mOffset);
    return offsets;
  }
  bool idle(MIDIMessageManager::Thread t) {
    return hwtest::spinUntil([&] { return !plug->hub()->threadRunning(t); });
  }
  std::string logText() {
    const auto b = testsupport::readFile(platform::dataFolder() + kDebugLogFileName);
    return std::string(b.begin(), b.end());
  }

  testsupport::ScopedFolders folders;
  platform::ManualClock clock{1'700'000'000'000'000ull};
  platform::ScopedClock scopedClock{clock};
  std::unique_ptr<Tavrin> plug;
  std::unique_ptr<edtest::HostScript> host;

 private:
  static std::unique_ptr<IHardwarePorts> ports() {
    Rig* rig = sRig;
    return std::make_unique<edtest::OpenPorts>([rig](const uint8_t* bytes, size_t size) { rig->record(bytes, size); });
  }
  void record(const uint8_t* bytes, size_t size) {
    std::unique_lock<std::mutex> lock(mSent);
    mOpened.wait(lock, [&] { return mGate == 0 || size == 0 || bytes[0] != mGate; });
    mMessages.emplace_back(bytes, bytes + size);
  }
  static inline Rig* sRig = nullptr;
  std::mutex mSent;
  std::condition_variable mOpened;
  uint8_t mGate = 0;
  bool mHoldPauses = false;
  std::vector<Bytes> mMessages;
  std::thread::id testThread = std::this_thread::get_id();
  std::atomic<bool> inBlock{false};
  std::atomic<int> blockSleeps{0};
};

const Bytes kAllSoundsOff{0xB0, 0x7B, 0x00};

TEST(TavrinAudio, OutputsAreSilentInEveryProcessKindAndNothingRunsWithoutMidiIO) {
  Rig r;
  r.run({});
  EXPECT_TRUE(r.host->silent());
  EXPECT_TRUE(r.host->inputsKept());
  // The float paths: replacing gives silence, accumulating adds nothing.
  AEffect* effect = r.plug->GetAEffect();
  for (bool accumulating : {false, true}) {
    std::vector<float> in(64, 0.5f), out0(64, 3.0f), out1(64, 3.0f);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    (accumulating ? effect->process : effect->processReplacing)(effect, ins, outs, 64);
    for (float v : out0) EXPECT_EQ(v, accumulating ? 3.0f : 0.0f);
    for (float v : out1) EXPECT_EQ(v, accumulating ? 3.0f : 0.0f);
  }
  // Without MIDI I/O a block only writes silence: the armed all-sounds-off
  // waits, and so does the queue.
  r.take();
  r.host->reset();
  r.plug->setMidiIOSet(false);
  EXPECT_EQ(r.run({}), 0u);
  EXPECT_TRUE(r.host->silent());
  EXPECT_TRUE(r.plug->allSoundsOffArmed());
  EXPECT_TRUE(r.take().empty());
}

TEST(TavrinAudio, TheQueueDrainsOverTheOutputOffsetWhileRoutedAndLeavesAtOnceWhenRoutingTurnsDirect) {
  Rig r;
  r.run({.frames = 512, .blockSize = 512});  // the host's first reset stores 512
  EXPECT_EQ(r.plug->outputOffset(), 512);
  r.run({.frames = 512, .blockSize = 256});  // later resets keep it
  EXPECT_EQ(r.plug->outputOffset(), 512);
  r.set(kMIDIFilterToDAWBuffer, 1);
  r.take();
  int cc = 20;
  for (int offset : {0, 100, 511, 512, 600, 1000}) {
    IMidiMsg msg;
    msg.MakeControlChangeMsg(cc++, 10 / 127.0, 0);
    msg.mOffset = offset;
    r.plug->MIDIOutRoutingSwitch(&msg);
  }
  EXPECT_TRUE(r.take().empty());
  // A block of 64 drains 512 positions.
  r.run({.frames = 64, .blockSize = 256});
  EXPECT_EQ(r.take(), (std::vector<Bytes>{{0xB0, 20, 10}, {0xB0, 21, 10}, {0xB0, 22, 10}}));
  EXPECT_EQ(r.queued(), (std::vector<int>{0, 88, 488}));
  // Routing turned direct: everything waiting leaves at once, in order, and
  // the next block has nothing left to drop.
  r.set(kMIDIFilterDirectToHardware, 1);
  EXPECT_EQ(r.take(), (std::vector<Bytes>{{0xB0, 23, 10}, {0xB0, 24, 10}, {0xB0, 25, 10}}));
  EXPECT_TRUE(r.queued().empty());
  r.run({.frames = 64, .blockSize = 256});
  EXPECT_TRUE(r.take().empty());
  // Without a port they wait as they are.
  r.set(kMIDIFilterToDAWBuffer, 1);
  for (int offset : {24, 424}) {
    IMidiMsg msg;
    msg.MakeControlChangeMsg(cc++, 10 / 127.0, 0);
    msg.mOffset = offset;
    r.plug->MIDIOutRoutingSwitch(&msg);
  }
  r.plug->setMidiIOSet(false);
  r.run({.frames = 64, .blockSize = 256});
  EXPECT_EQ(r.queued(), (std::vector<int>{24, 424}));
  EXPECT_TRUE(r.take().empty());
}

TEST(TavrinAudio, TransportEdgesStartTheClockJobsOnlyWhileRoutingIsOff) {
  Rig r;
  constexpr unsigned kStart = 1u << SenderJob::kClockStart, kStop = 1u << SenderJob::kClockStop,
                     kTiming = 1u << SenderJob::kContinuousClock;
  // No host tempo: a launched timing clock ends at once.
  auto block = [&](bool playing) { return r.run({.playing = playing, .tempo = 0.0}); };
  r.set(kSendMIDIClockPointer, 1);
  EXPECT_EQ(block(false), kTiming);  // the first block launches the timing clock
  // The start waits in its send: the clock thread stays busy.
  r.gate(0xFA);
  EXPECT_EQ(block(true), kStart);
  EXPECT_EQ(block(false), 0u);  // the stop is dropped, the clock marked stopped
  EXPECT_EQ(block(true), 0u);   // the start is dropped, the clock marked started
  r.gate(0);
  ASSERT_TRUE(r.idle(MIDIMessageManager::kClockThread));
  EXPECT_EQ(block(false), kStop);
  ASSERT_TRUE(r.idle(MIDIMessageManager::kClockThread));
  EXPECT_EQ(block(false), 0u);
  // With queue routing on the edges start nothing.
  r.set(kMIDIFilterToDAWBuffer, 1);
  EXPECT_EQ(block(true), 0u);
  EXPECT_EQ(block(false), 0u);
  r.set(kMIDIFilterDirectToHardware, 1);
  EXPECT_EQ(block(true), kStart);
  // Each change of the timing-clock setting launches the loop once. The
  // setting's case clears the launched flag; so does this test, as the
  // case does.
  for (double setting : {1.0, 0.0}) {
    ASSERT_TRUE(r.idle(MIDIMessageManager::kContinuousClockThread));
    r.set(kSendMIDIClockInfo, setting);
    r.plug->sharedFlags().clockLaunched.store(false);
    EXPECT_EQ(block(true) & kTiming, kTiming);
    EXPECT_EQ(block(true), 0u);
  }
  ASSERT_TRUE(r.idle(MIDIMessageManager::kClockThread));
  std::vector<Bytes> clockBytes;
  for (const Bytes& b : r.take()) {
    if (b.size() == 1) clockBytes.push_back(b);
  }
  EXPECT_EQ(clockBytes, (std::vector<Bytes>{{0xFA}, {0xFC}, {0xFA}}));
}

TEST(TavrinAudio, AllSoundsOffGoesOutOnceAfterEachResetOnceTheTransportStands) {
  Rig r;
  r.run({});
  EXPECT_EQ(r.take(), std::vector<Bytes>{kAllSoundsOff});  // MIDI channel 1
  r.set(kGlobalMidiChannel, 3);
  r.take();
  const Bytes onChannel3{0xB2, 0x7B, 0x00};
  r.host->reset();
  r.run({});
  EXPECT_EQ(r.take(), std::vector<Bytes>{onChannel3});
  r.run({});
  EXPECT_TRUE(r.take().empty());
  // A reset while playing waits for the stop.
  r.host->reset();
  r.run({.playing = true});
  r.run({.playing = true});
  EXPECT_TRUE(r.take().empty());
  r.run({});
  r.run({});
  EXPECT_EQ(r.take(), std::vector<Bytes>{onChannel3});
  // The host's reset through a new block size arms it too.
  r.run({.blockSize = 128});
  EXPECT_EQ(r.take(), std::vector<Bytes>{onChannel3});
}

TEST(TavrinAudio, TheLightGoesOutInTheFirstBlockMoreThan100msAfterItWasLit) {
  // The second start lies 40 ms before the 32-bit tick count wraps.
  for (uint64_t startMs : {1'700'000'000'000ull, 396ull * (1ull << 32) - 40}) {
    SCOPED_TRACE(startMs);
    Rig r;
    r.clock.setWall(startMs * 1000);
    r.run({});  // the all-sounds-off goes while the light is off
    r.plug->setLightTracksInput(false);
    IMidiMsg msg;
    msg.MakeControlChangeMsg(7, 0.5, 0);
    r.plug->sendMidiMsgAndLog(&msg);
    ASSERT_TRUE(r.plug->isMidiLedOn());
    r.clock.advance(100'000);
    r.run({});
    EXPECT_TRUE(r.plug->isMidiLedOn());
    // While no block runs it stays lit.
    r.clock.advance(500'000);
    EXPECT_TRUE(r.plug->isMidiLedOn());
    EXPECT_EQ(r.value(kMIDILed), 1.0);
    r.run({});
    EXPECT_FALSE(r.plug->isMidiLedOn());
    EXPECT_EQ(r.value(kMIDILed), 0.0);
    // Relit during a block by a routed send, it stays lit through it.
    r.set(kMIDIFilterToDAWBuffer, 1);
    r.plug->MIDIOutRoutingSwitch(&msg);
    r.run({});
    EXPECT_TRUE(r.plug->isMidiLedOn());
  }
}

TEST(TavrinAudio, HostTempoIndex) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Row {
    double bpm;
    std::optional<int> index;
  };
  const Row rows[] = {{120.7, 55},  {65.9, 0},         {0.0, -65},          {-0.5, -65},          {nan, std::nullopt},
                      {inf, std::nullopt}, {-inf, std::nullopt}, {3e9, std::nullopt}, {-2147483648.0, std::nullopt},
                      {2147483647.0, 2147483582}};
  for (const Row& r : rows) EXPECT_EQ(Tavrin::hostTempoIndex(r.bpm), r.index) << r.bpm;
}

TEST(TavrinAudio, TheHostTempoSetsTheArpeggiatorTempoOncePerChange) {
  Rig r(true);
  ASSERT_EQ(r.value(kOverrideTempo), 1.0);
  r.run({.tempo = 120.7});
  r.take();
  EXPECT_EQ(r.value(kArpTempo), 55.0);
  const std::string log = r.logText();
  const size_t outOfSync = log.find("PROCESSOR: Host tempo is out of sync!");
  ASSERT_NE(outOfSync, std::string::npos) << log;
  EXPECT_NE(log.find("PROCESSOR: Host tempo synced to 120BPM\n", outOfSync), std::string::npos) << log;
  // The same index again changes nothing, even after the user moved it.
  r.plug->GetParam(kArpTempo)->Set(10);
  r.run({.tempo = 120.2});
  EXPECT_EQ(r.value(kArpTempo), 10.0);
  // A tempo that cannot be truncated, or whose index leaves the int range,
  // is not taken.
  for (double bpm : {std::numeric_limits<double>::infinity(), 1e12}) {
    r.run({.tempo = bpm});
    EXPECT_EQ(r.value(kArpTempo), 10.0) << bpm;
  }
  EXPECT_EQ(r.logText(), log);
  // 0 gives -65, which the parameter's range limits.
  r.run({.tempo = 0.0});
  EXPECT_EQ(r.value(kArpTempo), r.plug->GetParam(kArpTempo)->GetMin());
  // Nothing went to the instrument for it; with the override off nothing
  // follows the host.
  EXPECT_TRUE(r.take().empty());
  r.plug->GetParam(kOverrideTempo)->Set(0.0);
  r.run({.tempo = 150.0});
  EXPECT_EQ(r.value(kArpTempo), r.plug->GetParam(kArpTempo)->GetMin());
}

TEST(TavrinAudio, OutputDelayText) {
  struct Row {
    double rate;
    int drain, host;
    const char* text;
  };
  const Row rows[] = {{44100, 512, 512, "11ms|512bfr"}, {48000, 532, 256, "11ms|256bfr"}, {44100, 1024, 512, "23ms|512bfr"},
                      {0, 512, 512, ""},               {-1, 512, 512, ""},              {44100, 0, 512, ""},
                      {1e-300, 512, 512, ""},          {std::nan(""), 512, 512, ""}};
  for (const Row& row : rows) {
    char text[40];
    EXPECT_EQ(Tavrin::outputDelayText(text, sizeof text, row.rate, row.drain, row.host), row.text[0] != '\0');
    EXPECT_STREQ(text, row.text) << row.rate << " " << row.drain;
  }
  // Shown while queue routing is on; not while the rate or the stored size
  // is 0, and a stored size of 0 drains nothing.
  struct Case {
    Block first;
    const char* shown;
  };
  const Case cases[] = {{{.frames = 64, .blockSize = 512}, "11ms|512bfr"},
                        {{.frames = 64, .sampleRate = 0.0, .blockSize = 512}, ""},
                        {{.frames = 64, .blockSize = 0}, ""}};
  for (const Case& c : cases) {
    Rig r;
    r.set(kMIDIFilterToDAWBuffer, 1);
    auto* display = dynamic_cast<ITextControl*>(r.plug->rememberedControl(kControlDisplayMIDIOutDelay));
    ASSERT_NE(display, nullptr);
    const std::string before = display->GetTextForPlug();
    r.run(c.first);
    r.take();
    IMidiMsg msg;
    msg.MakeControlChangeMsg(7, 0.5, 0);
    r.plug->MIDIOutRoutingSwitch(&msg);
    r.run(c.first);
    EXPECT_EQ(display->GetTextForPlug(), std::string(c.shown[0] ? c.shown : before.c_str()));
    EXPECT_EQ(r.take().size(), r.plug->outputOffset() > 0 ? 1u : 0u);
  }
}

TEST(TavrinAudio, TheDeferredEditBufferRequestWaitsForAnIdleJobThread) {
  Rig r;
  r.run({});
  // A sound dump waits in its first pause.
  r.holdPauses(true);
  ASSERT_TRUE(r.plug->startJob(SenderJob::sendSound(false, false, r.plug->sharedFlags())));
  r.plug->sharedFlags().editBufferRequestPending.store(true);
  EXPECT_EQ(r.run({}), 0u);
  EXPECT_TRUE(r.plug->sharedFlags().editBufferRequestPending.load());
  r.holdPauses(false);
  ASSERT_TRUE(r.idle(MIDIMessageManager::kJobThread));
  EXPECT_EQ(r.run({}), 1u << SenderJob::kEditBufferRequest);
  EXPECT_FALSE(r.plug->sharedFlags().editBufferRequestPending.load());
  const SenderJob job = r.plug->hub()->lastJob(MIDIMessageManager::kJobThread);
  EXPECT_EQ(job.mode, SenderJob::kEditBufferRequest);
  EXPECT_TRUE(job.partFlag);
  EXPECT_EQ(r.run({}), 0u);
}

// ---- end to end with the simulator on the loopback

TEST(TavrinAudioEndToEnd, ClockBytesFollowTheTransportAndRoutedEditsWaitForABlock) {
  // Read by the clock's held pauses until the plug-in goes: made before the
  // harness, it goes after it.
  std::atomic<int> passes{0};
  edtest::Harness h(edtest::projectRoot(), nullptr, false, {}, false, edtest::HostScript::callback());
  edtest::HostScript host(h.tavrin());
  ASSERT_TRUE(h.choosePortsAndWait());
  MIDIMessageManager* hub = h.tavrin().hub();
  hub->setClockSpinMarginNanos(0);
  h.set(kSendMIDIClockPointer, 1);
  h.set(kSendMIDIClockInfo, 1);
  // Each of the timing clock's pauses waits to be let through.
  h.holdJobSleeps([&passes, hub] {
    int n = passes.load();
    while (n > 0 && !passes.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0 || hub->stopping();
  });
  auto clockBytes = [&] {
    Bytes out;
    for (const synthsim::ClockEvent& e : h.sim.clockEvents()) out.push_back(e.byte);
    return out;
  };
  auto arrived = [&](const Bytes& want) { return hwtest::spinUntil([&] { h.settle(); return clockBytes() == want; }); };
  host.run({});
  ASSERT_TRUE(arrived({0xF8}));
  host.run({.playing = true});
  ASSERT_TRUE(arrived({0xF8, 0xFA}));
  passes = 1;
  ASSERT_TRUE(arrived({0xF8, 0xFA, 0xF8}));
  host.run({});
  EXPECT_TRUE(arrived({0xF8, 0xFA, 0xF8, 0xFC}));

  // Routed edits leave with the next block.
  h.set(kMIDIFilterToDAWBuffer, 1);
  const size_t before = h.receivedBytes().size();
  int idx = -1;
  for (int i = 3; i < 80 && idx < 0; ++i) {
    const ControlAction* a = h.tavrin().GetParam(i)->GetControlAction();
    if (a && a->type == 1 && i != kLFO1Shape) idx = i;
  }
  ASSERT_GE(idx, 0);
  h.set(idx, 21);
  EXPECT_EQ(h.receivedBytes().size(), before);
  host.run({});
  EXPECT_TRUE(hwtest::spinUntil([&] { return h.receivedBytes().size() == before + 1; }));
  EXPECT_EQ(h.receivedBytes().back().back(), 21);
}

// The first n sound parameters sent as a plain control change whose range
// holds the values 0 to 30.
std::vector<int> plainControlChanges(Tavrin& p, size_t n) {
  std::vector<int> params;
  for (int i = 3; i < 80 && params.size() < n; ++i) {
    const ControlAction* a = p.GetParam(i)->GetControlAction();
    const IParam* q = p.GetParam(i);
    if (a && a->type == 1 && i != kLFO1Shape && q->GetMin() == 0.0 && q->GetMax() >= 30.0) params.push_back(i);
  }
  return params;
}

// The values of the control changes among the messages from index from on.
std::vector<int> controlChangeValues(const std::vector<Bytes>& got, size_t from) {
  std::vector<int> out;
  for (size_t i = from; i < got.size(); ++i)
    if (got[i].size() == 3 && (got[i][0] & 0xF0) == 0xB0) out.push_back(got[i].back());
  return out;
}

// Edits waiting in the queue when routing turns direct before a block
// reach the instrument at once, each once and in order, ahead of the next
// edit; the block after them sends nothing more.
TEST(TavrinAudioEndToEnd, QueuedEditsArriveOnceInOrderWhenRoutingTurnsDirect) {
  edtest::Harness h(edtest::projectRoot(), nullptr, false, {}, false, edtest::HostScript::callback());
  edtest::HostScript host(h.tavrin());
  ASSERT_TRUE(h.choosePortsAndWait());
  host.run({});  // the all-sounds-off the first block sends
  const std::vector<int> params = plainControlChanges(h.tavrin(), 3);
  ASSERT_EQ(params.size(), 3u);
  h.set(kMIDIFilterToDAWBuffer, 1);
  const size_t before = h.receivedBytes().size();
  h.set(params[0], 21);
  h.set(params[1], 22);
  h.set(params[2], 23);
  h.set(params[0], 24);
  EXPECT_EQ(h.receivedBytes().size(), before);
  h.set(kMIDIFilterDirectToHardware, 1);
  h.set(params[1], 25);
  auto values = [&] {
    std::vector<int> out;
    const std::vector<Bytes> got = h.receivedBytes();
    for (size_t i = before; i < got.size(); ++i) out.push_back(got[i].back());
    return out;
  };
  EXPECT_TRUE(hwtest::spinUntil([&] { return values().size() >= 5; }));
  EXPECT_EQ(values(), (std::vector<int>{21, 22, 23, 24, 25}));
  host.run({});
  EXPECT_EQ(values(), (std::vector<int>{21, 22, 23, 24, 25}));
}

// The same when a loaded project turns routing direct: the edits that wait
// for a block reach the instrument, once and in order, before the project's
// sound.
TEST(TavrinAudioEndToEnd, QueuedEditsArriveOnceInOrderWhenALoadedProjectRoutesDirect) {
  edtest::Harness h(edtest::projectRoot(), nullptr, false, {}, false, edtest::HostScript::callback());
  edtest::HostScript host(h.tavrin());
  ASSERT_TRUE(h.choosePortsAndWait());
  host.run({});
  ByteChunk direct;
  ASSERT_TRUE(h.tavrin().SerializeChunkForHost(&direct, false));
  const std::vector<int> found = plainControlChanges(h.tavrin(), 1);
  ASSERT_EQ(found.size(), 1u);
  const int param = found[0];
  h.set(kMIDIFilterToDAWBuffer, 1);
  const size_t before = h.receivedBytes().size();
  h.set(param, 21);
  h.set(param, 22);
  EXPECT_EQ(h.receivedBytes().size(), before);
  ASSERT_TRUE(h.tavrin().UnserializeChunkFromHost(&direct, false));
  auto edits = [&] { return controlChangeValues(h.receivedBytes(), before); };
  EXPECT_TRUE(hwtest::spinUntil([&] { return edits().size() >= 2; }));
  host.run({});
  EXPECT_EQ(edits(), (std::vector<int>{21, 22}));
  EXPECT_EQ(h.tavrin().midiQueue().ToDo(), 0);
}

// A project that would turn routing direct but is refused sends nothing:
// the edits keep waiting in the queue, with routing queued as before, and
// leave with the blocks, once and in order.
TEST(TavrinAudioEndToEnd, QueuedEditsStayQueuedWhenARefusedProjectRoutesDirect) {
  edtest::Harness h(edtest::projectRoot(), nullptr, false, {}, false, edtest::HostScript::callback());
  edtest::HostScript host(h.tavrin());
  ASSERT_TRUE(h.choosePortsAndWait());
  host.run({});
  ByteChunk direct;
  ASSERT_TRUE(h.tavrin().SerializeChunkForHost(&direct, false));
  ByteChunk cut;
  cut.Put(direct.GetBytes(), direct.Size() - 1);
  const std::vector<int> found = plainControlChanges(h.tavrin(), 1);
  ASSERT_EQ(found.size(), 1u);
  const int param = found[0];
  h.set(kMIDIFilterToDAWBuffer, 1);
  const size_t before = h.receivedBytes().size();
  h.set(param, 21);
  h.set(param, 22);
  ASSERT_EQ(h.tavrin().midiQueue().ToDo(), 2);
  EXPECT_FALSE(h.tavrin().UnserializeChunkFromHost(&cut, false));
  EXPECT_EQ(h.tavrin().midiQueue().ToDo(), 2) << "a refused project sent the queued edits";
  EXPECT_EQ(h.tavrin().GetParam(kMIDIFilterToDAWBuffer)->Value(), 1.0);
  auto edits = [&] { return controlChangeValues(h.receivedBytes(), before); };
  for (int block = 0; block < 8 && h.tavrin().midiQueue().ToDo() > 0; ++block) host.run({});
  EXPECT_TRUE(hwtest::spinUntil([&] { return edits().size() >= 2; }));
  EXPECT_EQ(edits(), (std::vector<int>{21, 22}));
}

// A randomize sends the new sound as one dump; the block after it asks for
// the edit buffer, and the instrument's answer leaves every randomized
// value as it was set.
TEST(TavrinAudioEndToEnd, ARandomizedSoundComesBackUnchangedAfterTheNextBlock) {
  edtest::Harness h(edtest::projectRoot(), nullptr, false, {}, false, edtest::HostScript::callback());
  edtest::HostScript host(h.tavrin());
  ASSERT_TRUE(h.choosePortsAndWait());
  Tavrin& p = h.tavrin();
  // Every pause of a job lets what is on its way arrive.
  h.holdJobSleeps([&] {
    h.settle();
    return true;
  });
  auto idle = [&] { return hwtest::spinUntil([&] { return !p.jobRunning(); }); };
  auto sound = [&] {
    KIT_MutexLock lock(p.GetMutex());
    std::vector<double> v;
    for (int i = 0; i <= kPatternStep16Glide; ++i) v.push_back(p.GetParam(i)->Value());
    // The name comes back in the dump's 14 characters, blanks added.
    std::string name = p.GetParam(kPatchName)->GetDisplayText(0);
    name.erase(name.find_last_not_of(' ') + 1);
    return std::make_pair(v, name);
  };
  h.set(kMainTab, 2);
  ASSERT_TRUE(idle());
  h.settle();
  h.sim.clearRecords();
  const auto before = sound();
  h.set(kRandomize, 1);
  ASSERT_TRUE(idle());
  h.settle();
  const auto randomized = sound();
  EXPECT_NE(randomized.first, before.first);
  const auto got = h.receivedBytes();
  EXPECT_EQ(std::count_if(got.begin(), got.end(), [](const Bytes& m) { return m.size() == 137 && m[4] == 0x10; }), 1);
  EXPECT_TRUE(p.deferredEditBufferRequest());

  host.run({});
  EXPECT_EQ(p.blockJobs() & (1u << SenderJob::kEditBufferRequest), 1u << SenderJob::kEditBufferRequest);
  EXPECT_FALSE(p.deferredEditBufferRequest());
  ASSERT_TRUE(idle());
  h.settle();
  const auto requests = h.receivedBytes();
  EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const Bytes& m) {
    return m.size() == 8 && m[4] == 0x00 && m[5] == 0x7F && m[6] == 0x00;
  }));
  EXPECT_EQ(p.statusText(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(sound(), randomized);
  h.holdJobSleeps({});
}

// Blocks on their own thread race edits, input from the simulator and a
// running job; the thread checker sees no race.
TEST(TavrinAudioEndToEnd, BlocksRaceEditsInputAndAJob) {
  edtest::Harness h(edtest::projectRoot(), nullptr, false, {}, false, edtest::HostScript::callback());
  edtest::HostScript host(h.tavrin());
  ASSERT_TRUE(h.choosePortsAndWait());
  Tavrin& p = h.tavrin();
  MIDIMessageManager* hub = p.hub();
  h.holdJobSleeps([hub] { return hub->stopping(); });
  p.setLightTracksInput(false);
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    for (int i = 0; !stop.load(); ++i) host.run({.frames = 128, .playing = (i / 8) % 2 == 1, .blockSize = 128});
  });
  std::thread input([&] {
    for (int i = 0; !stop.load() && i < 400; ++i) h.sim.sendControlChange(1, 74, i % 128);
  });
  // A sound dump holds the job thread in its pauses meanwhile.
  p.startJob(SenderJob::sendSound(false, false, p.sharedFlags()));
  for (int i = 0; i < 60; ++i) {
    h.set(kMIDIFilterToDAWBuffer, i % 3 == 0 ? 1 : 0);
    h.set(kMIDIFilterDirectToHardware, i % 3 == 0 ? 0 : 1);
    h.set(kSendMIDIClockPointer, i % 2);
    h.set(kGlobalMidiChannel, 1 + i % 2);
  }
  stop = true;
  input.join();
  audio.join();
  h.destroy();
}

}  // namespace
