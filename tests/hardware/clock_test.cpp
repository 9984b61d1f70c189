// MIDI clock output over the loopback with the simulator on its own ports,
// the stand-in and the manual clock (no spin margin): the tempo rule, the
// timing-clock loop and the per-block duties of the audio callback.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "standin_editor.h"
#include "support_midi.h"

using Hub = MIDIMessageManager;

namespace {

// The tempo list of the user-interface description: "(65 + i) BPM".
std::vector<std::string> tempoList() {
  std::vector<std::string> list;
  for (int i = 0; i < 128; ++i) list.push_back(std::to_string(65 + i) + " BPM");
  return list;
}

constexpr unsigned bit(int mode) { return 1u << mode; }

TEST(ClockTempo, RuleAndInterval) {
  const auto list = tempoList();
  const std::vector<std::string> odd{" -70 BPM", "abc", "+80x", "99999999999"};
  struct Case {
    double override_, host, arp;
    const std::vector<std::string>* values;
    int tempo;
    int64_t interval;  // -1: the clock does not run
  } cases[] = {
      {1.0, 120.0, 0, &list, 120, 20'833'333}, {1.0, 60.9, 0, &list, 60, 41'666'666},
      {0.0, 120.0, 3, &list, 68, 36'764'705},  {0.5, 120.0, 3, &list, 68, 36'764'705},
      {1.0, 0.0, 0, &list, 0, -1},             {1.0, 1.0, 0, &list, 1, -1},
      {1.0, 1000.0, 0, &list, 1000, -1},       {1.0, 999.0, 0, &list, 999, 2'502'502},
      {1.0, 2.0, 0, &list, 2, 1'250'000'000},  {1.0, NAN, 0, &list, 0, -1},
      {1.0, 1e300, 0, &list, 0, -1},           {0.0, 0, 128, &list, 0, -1},
      {0.0, 0, -1, &list, 0, -1},              {0.0, 0, 0, &odd, -70, -1},
      {0.0, 0, 1, &odd, 0, -1},                {0.0, 0, 2, &odd, 80, 31'250'000},
      {0.0, 0, 3, &odd, 1'000'000, -1},        {0.0, 0, 0, nullptr, 0, -1},
  };
  const std::vector<std::string> none;
  for (const Case& c : cases) {
    const int tempo = Hub::clockTempo(c.override_, c.host, c.arp, c.values ? *c.values : none);
    EXPECT_EQ(tempo, c.tempo) << c.override_ << " " << c.host << " " << c.arp;
    EXPECT_EQ(Hub::clockIntervalNanos(tempo).value_or(-1), c.interval) << tempo;
  }
}

struct ClockTest : ::testing::Test, hwtest::LoopbackRig {
  std::function<void(int)> onSleep;
  std::atomic<int> sleeps{0};

  void SetUp() override {
    ASSERT_TRUE(makeEditor(tempoList()));
    hub().setClockSpinMarginNanos(0);
    ed->flags().timingClockEnabled = true;
    sim.clearRecords();
    sleeps = 0;
    clock.setSleepObserver([this](uint64_t) {
      const int n = ++sleeps;
      if (onSleep) onSleep(n);
    });
  }
  void TearDown() override {
    ed.reset();
    EXPECT_EQ(sim.highBitMessages(), 0u);
  }
  Hub& hub() { return ed->hub(); }
  void idle(Hub::Thread t) {
    EXPECT_TRUE(hwtest::spinUntil([&] { return !hub().threadRunning(t); }, std::chrono::seconds(30)));
    lb.drain();
    sim.waitIdle();
  }
  // Runs the timing-clock loop at a host tempo until it ends; onSleep ends it.
  void runClock(double hostTempo) {
    ed->setParam(kOverrideTempo, 1.0);
    ed->hostTempo = hostTempo;
    hub().resetContinuousClock(false);
    SenderJob job;
    job.mode = SenderJob::kContinuousClock;
    ASSERT_TRUE(hub().startJob(job));
    idle(Hub::kContinuousClockThread);
  }
  std::vector<synthsim::ClockEvent> events(uint8_t byte) {
    std::vector<synthsim::ClockEvent> out;
    for (const auto& e : sim.clockEvents())
      if (e.byte == byte) out.push_back(e);
    return out;
  }
  std::vector<uint8_t> bytes() {
    std::vector<uint8_t> out;
    for (const auto& e : sim.clockEvents()) out.push_back(e.byte);
    return out;
  }
};

// The first F8 leaves at once, each next one a whole interval after the
// previous send (the clock counts microseconds, so 120 bpm's 20,833,333 ns
// become the next whole microsecond), and a reset ends the loop within the
// turn that sees it. A disabled clock, or a tempo the rule refuses, sends
// nothing and waits for nothing.
TEST_F(ClockTest, TimingClocksLeaveOneIntervalAfterThePreviousSend) {
  struct Case {
    double tempo;
    uint64_t micros;
    bool enabled;
    size_t sent;
  } cases[] = {{100, 25'000, true, 5}, {120, 20'834, true, 5}, {60, 41'667, true, 5}, {120, 0, false, 0}, {1, 0, true, 0}};
  for (const Case& c : cases) {
    SetUp();
    ed->flags().timingClockEnabled = c.enabled;
    const uint64_t start = clock.monotonicMicros();
    onSleep = [&](int n) {
      if (n == 5) hub().resetContinuousClock(true);
    };
    runClock(c.tempo);
    const auto f8 = events(0xF8);
    ASSERT_EQ(f8.size(), c.sent) << c.tempo;
    EXPECT_EQ(sleeps, static_cast<int>(c.sent));
    for (size_t i = 0; i < f8.size(); ++i) EXPECT_EQ(f8[i].micros, start + i * c.micros) << c.tempo;
  }
}

// MIDI I/O unset, or a closed port, ends the loop; the clock stays off after
// the port opens again until 202's off-and-on is replayed.
TEST_F(ClockTest, LostOutputEndsTheClockUntilItIsSwitchedOffAndOn) {
  for (bool closePort : {false, true}) {
    SetUp();
    onSleep = [&](int n) {
      if (n != 3) return;
      if (closePort) {
        int index = 0;
        ed->setExternalMIDIOut(index, "OFF");
      } else {
        ed->flags().midiIOSet = false;
      }
    };
    ed->setParam(kOverrideTempo, 1.0);
    ed->hostTempo = 120.0;
    EXPECT_EQ(hub().onBlockStart(false, false), bit(SenderJob::kContinuousClock));
    idle(Hub::kContinuousClockThread);
    EXPECT_EQ(events(0xF8).size(), 3u);
    EXPECT_FALSE(hub().clockRunning());

    onSleep = [&](int n) {
      if (n == 6) hub().resetContinuousClock(true);
    };
    int index = 1;
    ASSERT_GT(ed->setExternalMIDIOut(index, "MIDI In"), 0);
    ed->flags().midiIOSet = true;
    EXPECT_EQ(hub().onBlockStart(false, false), 0u);
    EXPECT_EQ(events(0xF8).size(), 3u);
    // 202 switched off and on.
    ed->flags().clockLaunched = false;
    hub().resetContinuousClock(false);
    EXPECT_EQ(hub().onBlockStart(false, false), bit(SenderJob::kContinuousClock));
    idle(Hub::kContinuousClockThread);
    EXPECT_EQ(events(0xF8).size(), 6u) << closePort;
  }
}

// Switching the timing clock off ends the loop even when the next block has
// let the clock run again before the loop saw the reset.
TEST_F(ClockTest, DisablingEndsTheLoopThatABlockLetRunAgain) {
  onSleep = [&](int n) {
    if (n != 2) return;
    ed->flags().timingClockEnabled = false;
    ed->flags().clockLaunched = false;
    hub().resetContinuousClock(true);
    EXPECT_EQ(hub().onBlockStart(false, false), 0u);  // the thread is busy
    EXPECT_TRUE(hub().clockRunning());
  };
  runClock(120.0);
  EXPECT_EQ(events(0xF8).size(), 2u);
}

// Transport edges by enables and routing; the timing clock is launched once
// per clearing of clock-launched.
TEST_F(ClockTest, TransportEdgesStartAndStopTheClock) {
  struct Case {
    bool startStop, routing;
    unsigned startJobs, stopJobs;
    std::vector<uint8_t> wire;
  } cases[] = {
      {true, false, bit(SenderJob::kClockStart), bit(SenderJob::kClockStop), {0xFA, 0xFC}},
      {false, false, bit(SenderJob::kClockStart), bit(SenderJob::kClockStop), {}},
      {true, true, 0, 0, {}},
  };
  for (const Case& c : cases) {
    SetUp();
    ed->flags().timingClockEnabled = false;
    ed->flags().clockStartStopEnabled = c.startStop;
    EXPECT_EQ(hub().onBlockStart(false, c.routing), bit(SenderJob::kContinuousClock));
    EXPECT_EQ(hub().onBlockStart(false, c.routing), 0u);
    EXPECT_EQ(hub().onBlockStart(true, c.routing), c.startJobs);
    idle(Hub::kClockThread);
    EXPECT_EQ(hub().onBlockStart(true, c.routing), 0u);
    EXPECT_EQ(hub().onBlockStart(false, c.routing), c.stopJobs);
    idle(Hub::kClockThread);
    EXPECT_EQ(bytes(), c.wire) << c.startStop << c.routing;
    idle(Hub::kContinuousClockThread);
    ed->flags().clockLaunched = false;
    EXPECT_EQ(hub().onBlockStart(false, c.routing), bit(SenderJob::kContinuousClock));
  }
  // A start seen under routing is still recorded: the stop after it, with
  // routing off, sends nothing, and the next start does.
  SetUp();
  ed->flags().timingClockEnabled = false;
  ed->flags().clockStartStopEnabled = true;
  hub().onBlockStart(true, true);
  EXPECT_EQ(hub().onBlockStart(false, false), 0u);
  EXPECT_EQ(hub().onBlockStart(true, false), bit(SenderJob::kClockStart));
  idle(Hub::kClockThread);
  EXPECT_EQ(bytes(), std::vector<uint8_t>{0xFA});
  // Without MIDI I/O nothing happens.
  ed->flags().midiIOSet = false;
  EXPECT_EQ(hub().onBlockStart(false, false), 0u);
}

// A start while the clock thread is busy sends no Start; the stop after it
// still launches job 13.
TEST_F(ClockTest, StartOnABusyClockThreadIsDroppedAndTheStopStillRuns) {
  ed->flags().timingClockEnabled = false;
  ed->flags().clockStartStopEnabled = true;
  std::atomic<bool> hold{false}, held{false};
  ed->sendHook = [&](const uint8_t* data, int) {
    held = hold && data[0] == 0xFC;
    while (hold && data[0] == 0xFC) std::this_thread::yield();
  };
  hub().onBlockStart(true, false);
  idle(Hub::kClockThread);
  hold = true;
  EXPECT_EQ(hub().onBlockStart(false, false), bit(SenderJob::kClockStop));
  ASSERT_TRUE(hwtest::spinUntil([&] { return held.load(); }));
  EXPECT_EQ(hub().onBlockStart(true, false), 0u);  // dropped, yet marked sent
  hold = false;
  idle(Hub::kClockThread);
  EXPECT_EQ(hub().onBlockStart(false, false), bit(SenderJob::kClockStop));
  idle(Hub::kClockThread);
  EXPECT_EQ(bytes(), (std::vector<uint8_t>{0xFA, 0xFC, 0xFC}));
}

// Each hub has its own clock state.
TEST_F(ClockTest, StoppingOneHubLeavesAnotherHubsClockRunning) {
  hwtest::StandInEditor other;
  other.hub().resetContinuousClock(false);
  onSleep = [&](int n) {
    if (n == 2) other.hub().stop();
    if (n == 4) hub().resetContinuousClock(true);
  };
  runClock(120.0);
  EXPECT_EQ(events(0xF8).size(), 4u);
  EXPECT_FALSE(other.hub().clockRunning());
}

}  // namespace
