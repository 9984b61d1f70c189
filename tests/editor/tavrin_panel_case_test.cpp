// The sound-panel cases of the dispatch: cycling buttons, the LFO shape and
// arpeggiator sync buttons, the octave and arpeggiator indicators, section
// locks, the window size and first-run notice in the settings file, and the
// randomizer's command.
#include <gtest/gtest.h>

#include <csignal>
#include <tuple>
#include <sys/resource.h>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "platform/folders.h"
#include "support_cases.h"
#include "support_midi.h"
#include "support_tavrin.h"

namespace {

using edtest::Harness;
using edtest::press;

constexpr const char* kSettings = "black\nnormal\nno\nline 4\nline 5";

std::string settingsFile() {
  const auto b = testsupport::readFile(platform::dataFolder() + "Tavrin Editor UI.txt");
  return std::string(b.begin(), b.end());
}

struct PanelCases : ::testing::Test {
  Harness h{edtest::projectRoot(), kSettings};
  Tavrin& p = h.tavrin();
  edtest::ObservedTavrin& o = h.plug();
  double v(int idx) { return h.value(idx); }
};

TEST_F(PanelCases, CyclingButtonsStepTheirTargetAndSendIt) {
  struct Row {
    int button, target;
    double from, to;
  };
  const Row rows[] = {{kOscillator1WaveTrigger, kOscillator1Shape, 9, 0}, {kOscillator1WaveTrigger, kOscillator1Shape, 8, 9},
                      {kOscillator2WaveTrigger, kOscillator2Shape, 4, 0}, {kOscillator2WaveTrigger, kOscillator2Shape, 3, 4},
                      {kOscillator1KeytrackTrigger, kOscillator1Keytrack, 1, 0}, {kVCADriveCurveTrigger, kVolumeDriveCurve, 3, 0},
                      {kArpModeTrigger, kArpMode, 5, 6}, {kArpModeTrigger, kArpMode, 6, 0}};
  for (const Row& r : rows) {
    press(p, r.target, r.from);
    o.sent.clear();
    press(p, r.button, 0);  // 0 does nothing
    EXPECT_EQ(v(r.target), r.from);
    press(p, r.button, 1);
    EXPECT_EQ(v(r.target), r.to) << r.button << " from " << r.from;
    ASSERT_EQ(o.sent.size(), 1u);  // the target's own dispatch, never the button's
    EXPECT_EQ(o.sent[0].idx, r.target);
  }
  // Oscillator 2's sync: switching off first brings the sound page back.
  press(p, kMainTab, 1);
  press(p, kOscillator2Sync, 0);
  press(p, kOscillator2SyncTrigger, 1);
  EXPECT_EQ(v(kOscillator2Sync), 1);
  EXPECT_EQ(p.namedLayer("root")->GetSelectedSubLayer(), 1);
  press(p, kOscillator2SyncTrigger, 1);
  EXPECT_EQ(v(kOscillator2Sync), 0);
  EXPECT_EQ(p.namedLayer("root")->GetSelectedSubLayer(), 2);
}

TEST_F(PanelCases, LfoShapeStepsThroughItsClockedPositions) {
  struct Row {
    double clock, shape;
    double position, newShape;
    bool clockedLayer;
  };
  for (const Row r : {Row{2, 1, 3, 2, false}, {4, 3, 5, 0, true}, {8, 0, 9, 4, true}, {9, 5, 0, 0, false}}) {
    press(p, kMainTab, 2);
    press(p, kLFO1Shape, r.shape);
    press(p, kLFO1ShapeClock, r.clock);
    press(p, kLFO1ShapeTrigger, 1);
    EXPECT_EQ(v(kLFO1ShapeClock), r.position) << r.clock;
    EXPECT_EQ(v(kLFO1Shape), r.newShape) << r.clock;
    EXPECT_EQ(edtest::layerShown(p, "lfo1ClockedLayer"), r.clockedLayer) << r.clock;
  }
}

TEST_F(PanelCases, IndicatorsFollowTheirParameters) {
  struct Row {
    int idx;
    double value;
    int indicator;
    double shown;
  };
  const Row rows[] = {{kOscillator2Semitone, 24, kOscillator2OctaveIndicator, 1}, {kOscillator2Semitone, 25, kOscillator2OctaveIndicator, 0},
                      {kOscillator1Semitone, 96, kOscillator1OctaveIndicator, 1}, {kOscillator1Semitone, 100, kOscillator1OctaveIndicator, 0},
                      {kOscillator3Semitone, 0, kOscillator3OctaveIndicator, 1},  {kOscillator3Semitone, -12, kOscillator3OctaveIndicator, 0},
                      {kArpOnOff, 1, kArpOnOffIndicator, 1},                      {kArpOnOff, 0, kArpOnOffIndicator, 0}};
  for (const Row& r : rows) {
    press(p, r.idx, r.value);
    EXPECT_EQ(v(r.indicator), r.shown) << r.idx << " at " << r.value;
  }
}

TEST_F(PanelCases, TabsOverlaysAndTheArpeggiatorTempo) {
  struct Row {
    int idx;
    double value;
    int tab;  // kMainTab afterwards, -1: unchanged
  };
  for (const Row r : {Row{kShowLibrarian, 1, 1}, {kShowLibrarian, 0, 2}, {kShowModMatrix, 1, 3}, {kShowModMatrix, 0, 2}}) {
    press(p, r.idx, r.value);
    EXPECT_EQ(v(kMainTab), r.tab) << r.idx << " at " << r.value;
    EXPECT_EQ(p.namedLayer("root")->GetSelectedSubLayer(), r.tab);
  }
  // A shape change redraws the sound page; the pattern length its overlays.
  press(p, kOscillator1Shape, 5);
  EXPECT_TRUE(edtest::layerShown(p, "osc1UnisonKnob"));
  press(p, kShowModMatrix, 1);
  press(p, kPatternLength, 5);
  EXPECT_FALSE(edtest::layerShown(p, "pattStepOverlayer06"));
  EXPECT_TRUE(edtest::layerShown(p, "pattStepOverlayer07"));
  for (auto [idx, value, layer, shown] : {std::tuple{kViewMIDIFilterSettings, 1, "midiFilterSettings", true},
                                          {kViewMIDIFilterSettings, 0, "midiFilterSettings", false},
                                          {kDisplayAboutWindow, 1, "aboutWindow", true},
                                          {kExitAboutWindow, 1, "aboutWindow", false}}) {
    press(p, idx, value);
    EXPECT_EQ(edtest::layerShown(p, layer), shown) << idx;
  }
  // The tempo list's position follows the knob while the host's tempo is
  // not taken over.
  press(p, kOverrideTempo, 0);
  press(p, kArpTempo, 12);
  EXPECT_EQ(p.arpTempoIndex(), 12);
  press(p, kOverrideTempo, 1);
  press(p, kArpTempo, 20);
  EXPECT_EQ(p.arpTempoIndex(), 12);
}

TEST_F(PanelCases, SectionLocksAndTheirRelease) {
  press(p, kSectionLockFilter, 1);
  EXPECT_TRUE(p.sectionLockOn());
  EXPECT_FALSE(edtest::layerGrayed(p, "releaseAllLocksLayer"));
  press(p, kSectionLockOsc1, 1);
  press(p, kSectionLockOsc1, 0);  // another lock holds the flag
  EXPECT_TRUE(p.sectionLockOn());
  press(p, kSectionLockArp, 1);
  press(p, kReleaseAllLocks, 1);
  // Twelve locks are released; the arpeggiator's stays on, yet the flag
  // and the layer say none is.
  for (int lock = kSectionLockOsc1; lock < kSectionLockArp; ++lock) EXPECT_EQ(v(lock), 0) << lock;
  EXPECT_EQ(v(kSectionLockArp), 1);
  EXPECT_EQ(v(kReleaseAllLocks), 0);
  EXPECT_FALSE(p.sectionLockOn());
  EXPECT_TRUE(edtest::layerGrayed(p, "releaseAllLocksLayer"));
  // The arpeggiator's lock is not counted when another one is switched off.
  press(p, kSectionLockLFO1, 0);
  EXPECT_FALSE(p.sectionLockOn());
}

TEST_F(PanelCases, WindowSizeAndFirstRunNoticeRewriteTheSettingsFile) {
  struct Row {
    int idx;
    double value;
    const char* file;
    const char* status;
  };
  const Row rows[] = {
      {kUserInterfaceSize, 0, "black\nsmall\nno\nline 4\nline 5", "Size changes applied..."},
      {kUserInterfaceSize, 2, "black\nlarge\nno\nline 4\nline 5", "Size changes applied..."},
      {kUserInterfaceSize, 3, "black\nlarge\nno\nline 4\nline 5", "Size changes applied..."},
      {kFirstRunExit, 2, "black\nlarge\nno\nline 4\nline 5", "Set MIDI In and MIDI Out"},
      {kFirstRunExit, 1, "black\nlarge\nyes\nline 4\nline 5", "Set MIDI In and MIDI Out"},
  };
  for (const Row& r : rows) {
    press(p, r.idx, r.value);
    EXPECT_EQ(settingsFile(), r.file) << r.idx << " at " << r.value;
    EXPECT_EQ(p.statusText(), r.status);
  }
  EXPECT_FALSE(edtest::layerShown(p, "firstRunNotification"));
  press(p, kUserInterfaceSize, 1);
  EXPECT_EQ(edtest::shownText(p, kControlDisplayValue), "Reload project!");

  // A write that fails leaves the file as it was and says so.
  const std::string before = settingsFile();
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = old;
  tiny.rlim_cur = 4;
  setrlimit(RLIMIT_FSIZE, &tiny);
  press(p, kUserInterfaceSize, 0);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(settingsFile(), before);
  EXPECT_EQ(p.statusText(), Tavrin::kSettingsMissingText);
  EXPECT_EQ(edtest::shownText(p, kControlDisplayValue), "Contact support");
  EXPECT_EQ(p.settingsLines()[1], "normal");
}

TEST(TavrinPanelSettings, AMissingSettingsFileChangesNothing) {
  Harness h(edtest::projectRoot());
  for (int idx : {kUserInterfaceSize, kFirstRunExit}) {
    press(h.tavrin(), idx, 1);
    EXPECT_EQ(h.tavrin().statusText(), Tavrin::kSettingsMissingText);
    EXPECT_EQ(edtest::shownText(h.tavrin(), kControlDisplayValue), "Contact support");
  }
}

// With the simulator on the loopback: the sync button's control change and
// the randomizer's dump.
struct PanelSends : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(h.choosePortsAndWait()); }
  void waitForJob() {
    ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
    h.settle();
  }
  Harness h{edtest::projectRoot(), kSettings, false, {}, false};
  Tavrin& p = h.tavrin();
};

TEST_F(PanelSends, ArpSyncSendsTheTempoOrTheClock) {
  press(p, kArpTempo, 7);
  press(p, kArpClock, 3);
  press(p, kArpSyncIndicator, 0);
  h.settle();  // what the presses sent has arrived
  h.sim.clearRecords();
  press(p, kArpSyncTrigger, 1);
  EXPECT_EQ(h.value(kArpSyncIndicator), 1);
  EXPECT_EQ(edtest::shownText(p, kControlDisplayCC), "CC|104");
  EXPECT_TRUE(edtest::layerShown(p, "arpTempoClock"));
  EXPECT_FALSE(edtest::layerShown(p, "arpTempoKnob"));
  press(p, kArpSyncTrigger, 1);
  EXPECT_EQ(edtest::shownText(p, kControlDisplayCC), "CC|105");
  EXPECT_EQ(h.receivedBytes(), (std::vector<std::vector<uint8_t>>{{0xB0, 104, 7}, {0xB0, 105, 4}}));
}

TEST_F(PanelSends, RandomizeNeedsATabAndSendsTheNewSound) {
  press(p, kMainTab, 0);
  press(p, kRandomize, 1);
  EXPECT_FALSE(p.deferredEditBufferRequest());
  EXPECT_NE(p.statusText(), MIDIMessageManager::kRandomizedText);
  EXPECT_EQ(h.value(kRandomize), 1);  // not even set back

  press(p, kMainTab, 2);
  h.settle();
  h.sim.clearRecords();
  // The dump job waits until the command has shown its text.
  std::atomic<bool> release{false};
  h.holdJobSleeps([&] { return release.load(); });
  press(p, kRandomize, 1);
  EXPECT_EQ(p.statusText(), MIDIMessageManager::kRandomizedText);
  EXPECT_TRUE(p.deferredEditBufferRequest());
  EXPECT_EQ(h.value(kRandomize), 0);
  EXPECT_EQ(p.hub()->lastJob(MIDIMessageManager::kJobThread).mode, SenderJob::kSendSound);
  release = true;
  waitForJob();
  h.holdJobSleeps({});
  size_t dumps = 0;
  for (const auto& m : h.receivedBytes()) dumps += m.size() == 137 && m[4] == 0x10;
  EXPECT_EQ(dumps, 1u);
}

}  // namespace
