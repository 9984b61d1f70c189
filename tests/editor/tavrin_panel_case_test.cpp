// The sound-panel cases: cycling buttons, the LFO shape button, indicators,
// tabs and overlays, section locks, the settings file, the arpeggiator's
// sync and the randomizer.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <tuple>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "support_cases.h"

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
};

// Each row: presses in order, then parameter values and shown layers.
TEST_F(PanelCases, ButtonsIndicatorsTabsAndOverlays) {
  struct Row {
    std::vector<std::pair<int, double>> presses, values;
    std::vector<std::pair<const char*, bool>> layers = {};
  };
  const std::vector<Row> rows = {
      {{{kOscillator1Shape, 9}, {kOscillator1WaveTrigger, 0}}, {{kOscillator1Shape, 9}}},  // 0 does nothing
      {{{kOscillator1WaveTrigger, 1}}, {{kOscillator1Shape, 0}}},
      {{{kOscillator1Shape, 8}, {kOscillator1WaveTrigger, 1}}, {{kOscillator1Shape, 9}}},
      {{{kOscillator2Shape, 4}, {kOscillator2WaveTrigger, 1}}, {{kOscillator2Shape, 0}}},
      {{{kOscillator1Keytrack, 1}, {kOscillator1KeytrackTrigger, 1}}, {{kOscillator1Keytrack, 0}}},
      {{{kVolumeDriveCurve, 3}, {kVCADriveCurveTrigger, 1}}, {{kVolumeDriveCurve, 0}}},
      {{{kArpMode, 5}, {kArpModeTrigger, 1}}, {{kArpMode, 6}}},
      {{{kLFO1Shape, 1}, {kLFO1ShapeClock, 2}, {kLFO1ShapeTrigger, 1}}, {{kLFO1ShapeClock, 3}, {kLFO1Shape, 2}}},
      {{{kLFO1ShapeClock, 4}, {kLFO1ShapeTrigger, 1}}, {{kLFO1ShapeClock, 5}, {kLFO1Shape, 0}}, {{"lfo1ClockedLayer", true}}},
      {{{kLFO1ShapeClock, 9}, {kLFO1ShapeTrigger, 1}}, {{kLFO1ShapeClock, 0}, {kLFO1Shape, 0}}, {{"lfo1ClockedLayer", false}}},
      {{{kOscillator2Semitone, 24}}, {{kOscillator2OctaveIndicator, 1}}},
      {{{kOscillator2Semitone, 25}}, {{kOscillator2OctaveIndicator, 0}}},
      {{{kOscillator1Semitone, 96}, {kOscillator1Semitone, 100}}, {{kOscillator1OctaveIndicator, 0}}},
      {{{kOscillator3Semitone, 0}, {kOscillator3Semitone, -12}}, {{kOscillator3OctaveIndicator, 0}}},
      {{{kArpOnOff, 1}}, {{kArpOnOffIndicator, 1}}},
      {{{kShowLibrarian, 1}}, {{kMainTab, 1}}},
      {{{kOscillator2Sync, 0}, {kOscillator2SyncTrigger, 1}}, {{kOscillator2Sync, 1}, {kMainTab, 1}}},
      {{{kShowModMatrix, 1}}, {{kMainTab, 3}}},
      {{{kPatternLength, 5}}, {}, {{"pattStepOverlayer06", false}, {"pattStepOverlayer07", true}}},
      {{{kShowModMatrix, 0}, {kOscillator1Shape, 5}}, {{kMainTab, 2}}, {{"osc1UnisonKnob", true}}},
      {{{kViewMIDIFilterSettings, 1}}, {}, {{"midiFilterSettings", true}}},
      {{{kViewMIDIFilterSettings, 0}, {kDisplayAboutWindow, 1}}, {}, {{"midiFilterSettings", false}, {"aboutWindow", true}}},
      {{{kExitAboutWindow, 1}}, {}, {{"aboutWindow", false}}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    for (auto [idx, value] : rows[i].presses) press(p, idx, value);
    for (auto [idx, value] : rows[i].values) EXPECT_EQ(h.value(idx), value) << "row " << i << ", parameter " << idx;
    for (auto [name, shown] : rows[i].layers) EXPECT_EQ(edtest::layerShown(p, name), shown) << "row " << i << ", " << name;
  }
  // Switching oscillator 2's sync off brings the sound page back first.
  press(p, kMainTab, 1);
  press(p, kOscillator2SyncTrigger, 1);
  EXPECT_EQ(p.namedLayer("root")->GetSelectedSubLayer(), 2);
  // The tempo list's position follows the knob unless the host's tempo
  // is taken over.
  for (auto [hostTempo, tempo, index] : {std::tuple{0, 12, 12}, {1, 20, 12}}) {
    press(p, kOverrideTempo, hostTempo);
    press(p, kArpTempo, tempo);
    EXPECT_EQ(p.arpTempoIndex(), index);
  }
}

TEST_F(PanelCases, SectionLocksAndTheirRelease) {
  press(p, kSectionLockFilter, 1);
  EXPECT_FALSE(edtest::layerGrayed(p, "releaseAllLocksLayer"));
  press(p, kSectionLockOsc1, 1);
  press(p, kSectionLockOsc1, 0);  // another lock holds the flag
  EXPECT_TRUE(p.sectionLockOn());
  press(p, kSectionLockArp, 1);
  press(p, kReleaseAllLocks, 1);
  // Twelve are released; the arpeggiator's stays on, yet counts for nothing.
  for (int lock = kSectionLockOsc1; lock <= kReleaseAllLocks; ++lock) EXPECT_EQ(h.value(lock), lock == kSectionLockArp) << lock;
  EXPECT_FALSE(p.sectionLockOn());
  EXPECT_TRUE(edtest::layerGrayed(p, "releaseAllLocksLayer"));
  press(p, kSectionLockLFO1, 0);
  EXPECT_FALSE(p.sectionLockOn());
}

TEST_F(PanelCases, WindowSizeAndFirstRunNoticeRewriteTheSettingsFile) {
  const std::tuple<int, double, const char*, const char*> rows[] = {
      {kUserInterfaceSize, 0, "black\nsmall\nno\nline 4\nline 5", "Size changes applied..."},
      {kUserInterfaceSize, 3, "black\nsmall\nno\nline 4\nline 5", "Size changes applied..."},
      {kUserInterfaceSize, 2, "black\nlarge\nno\nline 4\nline 5", "Size changes applied..."},
      {kFirstRunExit, 2, "black\nlarge\nno\nline 4\nline 5", "Set MIDI In and MIDI Out"},
      {kFirstRunExit, 1, "black\nlarge\nyes\nline 4\nline 5", "Set MIDI In and MIDI Out"},
  };
  for (auto [idx, value, file, status] : rows) {
    press(p, idx, value);
    EXPECT_EQ(settingsFile(), file) << idx << " at " << value;
    EXPECT_EQ(p.statusText(), status);
  }
  EXPECT_FALSE(edtest::layerShown(p, "firstRunNotification"));
  press(p, kUserInterfaceSize, 1);
  EXPECT_EQ(edtest::shownText(p, kControlDisplayValue), "Reload project!");

  // A write that fails (here: past the process's file size limit) leaves
  // the file and the lines as they were, and says so.
  const std::string before = settingsFile();
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto* handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = old;
  tiny.rlim_cur = 4;
  setrlimit(RLIMIT_FSIZE, &tiny);
  press(p, kUserInterfaceSize, 0);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, handler);
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
    EXPECT_FALSE(testsupport::fileExists(platform::dataFolder() + "Tavrin Editor UI.txt"));
  }
}

// A pipe put where the settings file belongs is no settings file: each case
// treats it as missing at once and writes nothing into it. A case that
// waited on the pipe would never end, so it runs on a thread of its own and
// a writer that opens the pipe frees it once the wait is given up.
TEST(TavrinPanelSettings, APipeNamedLikeTheSettingsFileCountsAsMissing) {
  Harness h(edtest::projectRoot());
  const std::string path = platform::dataFolder() + "Tavrin Editor UI.txt";
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  const auto before = h.tavrin().settingsLines();
  for (int idx : {kUserInterfaceSize, kFirstRunExit}) {
    auto done = std::async(std::launch::async, [&] { press(h.tavrin(), idx, 1); });
    const bool ended = done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) {
      const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
      done.wait();
      if (writer >= 0) ::close(writer);
    }
    ASSERT_TRUE(ended) << idx << " waited on the pipe";
    EXPECT_EQ(h.tavrin().statusText(), Tavrin::kSettingsMissingText) << idx;
    EXPECT_EQ(edtest::shownText(h.tavrin(), kControlDisplayValue), "Contact support") << idx;
    EXPECT_EQ(h.tavrin().settingsLines(), before) << idx;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << idx;
  }
}

// With the simulator on the loopback.
struct PanelSends : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(h.choosePortsAndWait()); }
  Harness h{edtest::projectRoot(), kSettings, false, {}, false};
  Tavrin& p = h.tavrin();
};

TEST_F(PanelSends, ArpSyncSendsTheTempoOrTheClock) {
  for (auto [idx, value] : {std::pair{kArpTempo, 7}, {kArpClock, 3}, {kArpSyncIndicator, 0}}) press(p, idx, value);
  h.settle();  // what the presses sent has arrived
  h.sim.clearRecords();
  press(p, kArpSyncTrigger, 1);
  EXPECT_EQ(edtest::shownText(p, kControlDisplayCC), "CC|104");
  EXPECT_TRUE(edtest::layerShown(p, "arpTempoClock"));
  press(p, kArpSyncTrigger, 1);
  EXPECT_EQ(edtest::shownText(p, kControlDisplayCC), "CC|105");
  EXPECT_TRUE(edtest::layerShown(p, "arpTempoKnob"));
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
  std::atomic<bool> release{false};  // the dump job waits for the text
  h.holdJobSleeps([&] { return release.load(); });
  press(p, kRandomize, 1);
  EXPECT_EQ(p.statusText(), MIDIMessageManager::kRandomizedText);
  EXPECT_TRUE(p.deferredEditBufferRequest());
  EXPECT_EQ(h.value(kRandomize), 0);
  EXPECT_EQ(p.hub()->lastJob(MIDIMessageManager::kJobThread).mode, SenderJob::kSendSound);
  release = true;
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
  h.holdJobSleeps({});
  const auto got = h.receivedBytes();
  EXPECT_EQ(std::count_if(got.begin(), got.end(), [](const auto& m) { return m.size() == 137 && m[4] == 0x10; }), 1);
}

}  // namespace
