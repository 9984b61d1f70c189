// The patch randomizer on the stand-in with the manual clock: the mapping
// into a parameter's range, the section locks, the command's steps and the
// edit-buffer request it leaves for the next audio block.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "standin_editor.h"
#include "support_midi.h"

using Hub = MIDIMessageManager;

namespace {

TEST(RandomizedValue, EdgeCases) {
  struct Case {
    int v;
    double min, max;
    std::optional<int> out;
  } cases[] = {
      {0, 0, 127, 0},     {255, 0, 127, 1},       {127, 0, 127, 127},   {128, 0, 127, 1},
      {255, 0, 1, 1},     {254, 0, 1, 0},         {200, -64, 63, 74},   {100, -64, 63, 100},
      {255, 0, 0, {}},    {3, -10, -3, {}},       {9, 0, 0.9, {}},      {9, 0, NAN, {}},
      {9, -INFINITY, 5, {}}, {255, 0, 1e300, 255}, {255, -1e300, 3, 255},
  };
  for (const Case& c : cases) EXPECT_EQ(Hub::randomizedValue(c.v, c.min, c.max), c.out) << c.v << " " << c.min << " " << c.max;
}

// Random finite ranges and every table value: the call returns, equals the
// closed forms for a minimum of 0 and a whole maximum, and otherwise lies
// whole steps below the value, within one step under the span.
TEST(RandomizedValue, ClosedFormsOverRandomRanges) {
  std::mt19937 gen(7);
  auto pick = [&] {
    const double x = static_cast<int>(gen() % 400) - 100;
    return gen() % 4 ? (gen() % 2 ? x : x / 7) : std::ldexp(x, static_cast<int>(gen() % 1000));
  };
  for (int i = 0; i < 4000; ++i) {
    const double a = pick(), b = pick(), min = i % 3 ? std::min(a, b) : 0.0, max = std::max(a, b);
    for (int v = 0; v < 256; ++v) {
      const auto out = Hub::randomizedValue(v, min, max);
      ASSERT_EQ(out.has_value(), std::trunc(max) >= 1.0) << max;
      if (!out || max > 1e9 || max - min > 1e9) continue;
      const int64_t m = static_cast<int64_t>(max), range = static_cast<int64_t>(max - min), take = m == 1 ? 2 : m;
      if (min == 0.0 && max == m) {
        EXPECT_EQ(*out, m == 1 ? v % 2 : (v <= m ? v : (v - 1) % m + 1)) << m << " " << v;
      }
      EXPECT_TRUE(v <= range ? *out == v : (*out <= range && *out > range - take && (v - *out) % take == 0))
          << min << " " << max << " " << v;
    }
  }
}

struct RandomizerTest : ::testing::Test, hwtest::LoopbackRig {
  std::function<void()> onSleep;
  // Pauses taken on one thread: the manual clock also moves for the pauses
  // of the dump job the command starts.
  std::thread::id watched;
  std::atomic<uint64_t> watchedMicros{0};

  void SetUp() override {
    TearDown();  // a test that starts afresh first lets the last editor's jobs end
    ASSERT_TRUE(makeEditor());
    sim.clearRecords();
    ed->setParam(kMainTab, 1.0);
    clock.setSleepObserver([this](uint64_t us) {
      EXPECT_FALSE(ed->GetMutex().IsLockedByCaller()) << "a pause under the plug-in mutex";
      if (std::this_thread::get_id() == watched) watchedMicros += us;
      if (onSleep) onSleep();
    });
  }
  // Jobs started by a test (the randomize command's dump) may still pause on
  // the job thread: let them end before the observer and the editor go.
  void TearDown() override {
    if (ed) waitJobs();
    clock.setSleepObserver({});
    ed.reset();
  }
  Hub& hub() { return ed->hub(); }
  void randomize(double value = 1.0) {
    KIT_MutexLock lock(ed->GetMutex());
    ed->setParam(kRandomize, value);
    hub().randomizeCommand(value);
  }
  std::vector<double> params(int from, int to) {
    std::vector<double> v;
    for (int i = from; i <= to; ++i) v.push_back(ed->param(i));
    return v;
  }
  std::vector<double> sound() { return params(0, kLFO1ShapeClock); }
  void waitJobs() {
    EXPECT_TRUE(hwtest::spinUntil([&] { return !hub().threadRunning(Hub::kJobThread); }, std::chrono::seconds(30)));
    lb.drain();
    sim.waitIdle();
  }
};

TEST_F(RandomizerTest, CommandRandomizesStartsTheDumpAndSpringsBack) {
  const auto before = sound();
  watched = std::this_thread::get_id();
  const uint64_t wall = clock.wallMicros();
  randomize();
  const auto after = sound();
  int changed = 0;
  for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
  EXPECT_GT(changed, 100);
  EXPECT_EQ(watchedMicros.load(), 500'000u);
  EXPECT_EQ(ed->texts(), std::vector<std::string>{Hub::kRandomizedText});
  EXPECT_EQ(ed->param(kRandomize), 0.0);
  EXPECT_EQ(ed->count("change"), 0);
  EXPECT_TRUE(ed->flags().editBufferRequestPending);
  const SenderJob job = hub().lastJob(Hub::kJobThread);
  EXPECT_EQ(job.mode, SenderJob::kSendSound);
  EXPECT_FALSE(job.toLibrarian);
  // Parameters the randomizer never sets.
  for (int p : {kMainVolume, kArpClock, kExternalSignalLevel, kPatternStep01, kPatternStep16})
    EXPECT_EQ(ed->param(p), before[static_cast<size_t>(p)]) << p;

  // Within the same second the same sound; a second later another. (The
  // dump job's global step has moved the clock on meanwhile.)
  waitJobs();
  for (int i = 0; i <= kLFO1ShapeClock; ++i) ed->setParam(i, before[static_cast<size_t>(i)]);
  clock.setWall(wall);
  randomize();
  EXPECT_EQ(sound(), after);
  clock.setWall(clock.wallMicros() + 1'000'000);
  randomize();
  EXPECT_NE(sound(), after);
}

// With the globals not sent and push clear, the dump follows the global
// step (1,000 ms and 400 ms after it), which marks the globals sent; the
// next randomize sends at once.
TEST_F(RandomizerTest, TheDumpTakesTheGlobalStepWhenItIsDue) {
  auto& flags = ed->flags();
  ASSERT_FALSE(flags.globalsSent || flags.push);
  for (bool due : {true, false}) {
    SCOPED_TRACE(due);
    sim.clearRecords();
    const uint64_t start = clock.monotonicMicros();
    randomize();
    waitJobs();
    EXPECT_EQ(hub().lastJob(Hub::kJobThread).globalStep, due);
    EXPECT_TRUE(flags.globalsSent);
    const auto got = sim.received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes.size(), sounddump::kLength);
    EXPECT_EQ(got[0].micros - start >= 1'400'000, due) << got[0].micros - start;
    clock.setWall(clock.wallMicros() + 1'000'000);
  }
}

TEST_F(RandomizerTest, NothingWithoutTheMainTabOrAWholeOne) {
  for (auto [tab, value] : {std::pair{0.0, 1.0}, {1.0, 0.0}, {1.0, 2.0}}) {
    ed->setParam(kMainTab, tab);
    const auto before = sound();
    randomize(value);
    EXPECT_EQ(sound(), before);
    EXPECT_EQ(ed->param(kRandomize), value);
    EXPECT_TRUE(ed->texts().empty());
    EXPECT_FALSE(ed->flags().editBufferRequestPending);
  }
}

// Locks at exactly 1.0 keep their sections; the arpeggiator's lock keeps the
// 48 step parameters too; 0.5 locks nothing.
TEST_F(RandomizerTest, SectionLocks) {
  const std::vector<int> arp{kArpOnOff, kArpRange, kArpTempo, kArpPattern, kArpMode, kStepDuration,
                             kArpSwing, kArpDelay, kPatternLength, kAccentControl};
  auto arpValues = [&] {
    std::vector<double> v;
    for (int p : arp) v.push_back(ed->param(p));
    const auto steps = params(kPatternStep01Event, kPatternStep16Glide);
    v.insert(v.end(), steps.begin(), steps.end());
    return v;
  };
  struct Case {
    double all, arpLock;
    bool soundKept, arpKept;
  } cases[] = {{1.0, 1.0, true, true}, {0.0, 1.0, false, true}, {0.5, 0.5, false, false}};
  for (const Case& c : cases) {
    SetUp();
    for (int l = kFirstSectionLock; l <= kLastSectionLock; ++l) ed->setParam(l, c.all);
    ed->setParam(kSectionLockArp, c.arpLock);
    const auto sound0 = sound();
    const auto arp0 = arpValues();
    randomize();
    EXPECT_EQ(arpValues() == arp0, c.arpKept) << c.all;
    EXPECT_EQ(sound() == sound0, c.soundKept) << c.all;
    EXPECT_EQ(ed->texts().back(), Hub::kRandomizedText);
  }
}

// A maximum that truncates to 0 or less keeps the value; kLFO1ShapeClock
// follows the new shape, so the dump carries it.
TEST_F(RandomizerTest, UnusableRangesKeepTheirValueAndTheClockedShapeFollows) {
  {
    KIT_MutexLock lock(ed->GetMutex());
    ed->GetParam(kFilterCutoff)->InitInt("cutoff", -2, -5, 0);
    ed->GetParam(kFilterResonance)->InitDouble("resonance", -4, -10, -3, 1);
  }
  for (double clocked : {7.0, 2.0}) {
    ed->setParam(kLFO1ShapeClock, clocked);
    randomize();
    EXPECT_EQ(ed->param(kFilterCutoff), -2);
    EXPECT_EQ(ed->param(kFilterResonance), -4);
    const double shape = ed->param(kLFO1Shape);
    EXPECT_EQ(ed->param(kLFO1ShapeClock), clocked >= 5 ? shape + 5 : shape);
    sounddump::Snapshot snap;
    for (int i = 0; i < kParameterCount; ++i) snap.values[static_cast<size_t>(i)] = ed->param(i);
    EXPECT_EQ(sounddump::build(snap)[26], ed->param(kLFO1ShapeClock));
    waitJobs();
    clock.setWall(clock.wallMicros() + 1'000'000);
  }
}

// During the pause another thread takes the editor lock; afterwards the
// caller holds it again at its former depth.
TEST_F(RandomizerTest, PauseLetsGoOfTheEditorLockAtEveryLevel) {
  std::atomic<bool> taken{false};
  const auto caller = std::this_thread::get_id();
  onSleep = [&, caller] {
    if (std::this_thread::get_id() != caller) return;  // the dump job's own pauses
    std::thread other([&] {
      taken = ed->GetMutex().TryLockFor(1000);
      if (taken) ed->GetMutex().Unlock();
    });
    other.join();
  };
  KIT_Mutex& m = ed->GetMutex();
  m.Lock();
  m.Lock();
  const int depth = m.GetDepth();
  hub().randomizeCommand(1.0);
  EXPECT_TRUE(taken);
  EXPECT_TRUE(m.IsLockedByCaller());
  EXPECT_EQ(m.GetDepth(), depth);
  m.Unlock();
  m.Unlock();
}

// The next block with an idle job thread starts the edit-buffer request and
// clears the mark; a busy thread or unset MIDI I/O leaves the mark.
TEST_F(RandomizerTest, NextBlockRequestsTheEditBuffer) {
  randomize();
  waitJobs();
  ed->flags().midiIOSet = false;
  EXPECT_FALSE(hub().onBlockEnd());
  ed->flags().midiIOSet = true;
  {
    KIT_MutexLock lock(ed->GetMutex());
    SenderJob busy;
    busy.mode = SenderJob::kEditBufferRequest;
    ASSERT_TRUE(hub().startJob(busy));  // waits for the lock held here
    EXPECT_FALSE(hub().onBlockEnd());
    EXPECT_TRUE(ed->flags().editBufferRequestPending);
  }
  waitJobs();
  sim.clearRecords();
  {
    // The job marks the request on its own thread, and the answer clears
    // the mark: the lock held here keeps the request from going out until
    // the mark has been seen.
    KIT_MutexLock lock(ed->GetMutex());
    EXPECT_TRUE(hub().onBlockEnd());
    EXPECT_FALSE(ed->flags().editBufferRequestPending);
    EXPECT_TRUE(hwtest::spinUntil([&] { return hub().requestPending(); }));
  }
  waitJobs();
  ASSERT_FALSE(sim.received().empty());
  EXPECT_EQ(sim.received().front().bytes, sysex::frameSysex(sysex::editBufferRequest(0)));
  EXPECT_EQ(ed->texts().back(), MIDIMessageSender::kCompletedText);
  EXPECT_FALSE(hub().onBlockEnd());
}

}  // namespace
