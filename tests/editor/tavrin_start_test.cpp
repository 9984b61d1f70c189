// Start-up and tear-down of the plug-in over the project's description and
// over descriptions that lack what the editor looks for.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "support_tavrin.h"
#include "uiconfig/UIConfigManager.h"

namespace {

using edtest::Harness;

TEST(TavrinSettings, LinesScaleAndTheme) {
  struct Row {
    const char* text;
    double scale;
    int theme;
    const char* line3;
  };
  const Row rows[] = {
      {"black\r\nlarge\r\nno\r\n", 1.25, 1, "no"},
      {"normal\nSmall\n", 1.0, 0, ""},
      {"black \t\nsmall", 0.75, 1, ""},
      {"x\n\n\n\n\nextra line\n", 1.0, 0, ""},
      {"", 1.0, 0, ""},
  };
  for (const Row& r : rows) {
    const std::string text = r.text;
    const auto s = UISettingsFile::parse({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    EXPECT_EQ(s.scale, r.scale) << r.text;
    EXPECT_EQ(s.theme, r.theme) << r.text;
    EXPECT_EQ(s.lines[2], r.line3) << r.text;
    EXPECT_EQ(s.lines[4], "") << r.text;
  }
}

TEST(TavrinSettings, BankLabelsCountBytesAndNeverSplitACharacter) {
  const std::string n49(45, 'a'), n50(46, 'b');
  EXPECT_EQ(Tavrin::bankLabel(n49 + ".syx"), n49 + ".syx");
  EXPECT_EQ(Tavrin::bankLabel(n50 + ".SYX"), std::string(44, 'b') + "~.syx");
  // A two-byte character at bytes 43-44 does not fit whole into 44 bytes.
  const std::string wide = std::string(43, 'c') + "\xC3\xA9" + std::string(10, 'd') + ".Mid";
  EXPECT_EQ(Tavrin::bankLabel(wide), std::string(43, 'c') + "~.mid");
  EXPECT_EQ(Tavrin::bankLabel(std::string(60, 'e')), std::string(44, 'e') + "~." + std::string(9, 'e'));
}

struct SizeRow {
  const char* settings;
  int width, height;
  double uiSize;  // -1: untouched
  int theme;
  bool firstRun;
};

TEST(TavrinStart, ProjectWindowAtEachSize) {
  const SizeRow rows[] = {
      {"normal\nsmall\nno\n", 1125, 567, 0, 0, true},
      {"black\nnormal\nyes\n", 1500, 757, 1, 1, false},
      {nullptr, 1500, 757, -1, 0, false},
      {"normal\nlarge\n", 1875, 946, 2, 0, false},
  };
  for (const SizeRow& r : rows) {
    SCOPED_TRACE(r.settings ? r.settings : "(no file)");
    Harness h(edtest::projectRoot(), r.settings, true, {std::string(45, 'x') + ".syx", std::string(46, 'y') + ".syx"});
    Tavrin& p = h.plug();
    EXPECT_EQ(p.GetGUI()->Width(), r.width);
    EXPECT_EQ(p.GetGUI()->Height(), r.height);
    EXPECT_EQ(p.theme(), r.theme);
    if (r.uiSize >= 0) {
      EXPECT_EQ(h.value(kUserInterfaceSize), r.uiSize);
    }
    ASSERT_TRUE(p.namedLayer("firstRunNotification"));
    EXPECT_EQ(p.namedLayer("firstRunNotification")->IsVisible(), r.firstRun);
    EXPECT_TRUE(p.editorReady());
    // Start values and the tab-2 state.
    EXPECT_EQ(std::vector<double>({h.value(kMainTab), h.value(kOverrideTempo), h.value(kGlobalMidiChannel),
                                   h.value(kLibSyncTimer)}),
              std::vector<double>({2, 1, 1, 1}));
    ControlLayer* root = p.namedLayer("root");
    ASSERT_TRUE(root);
    for (int i = 0; i < root->NSubLayers(); ++i)
      EXPECT_EQ(root->GetSubLayer(i)->IsVisible(), root->GetSubLayer(i)->GetId() == 2) << i;
    EXPECT_FALSE(p.progressLayer()->IsVisible());
    ASSERT_TRUE(p.rememberedControl(kRandomize));
    EXPECT_FALSE(p.rememberedControl(kRandomize)->IsGrayed());
    // Every flag matches its switch: host filters open but system-exclusive,
    // hardware filters open, the light follows the input, no queue, no clock.
    SharedFlags& f = p.sharedFlags();
    for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) EXPECT_EQ(f.blocked[i].load(), i == 6) << i;
    EXPECT_TRUE(f.lightTracksInput.load());
    EXPECT_FALSE(f.queueRouting.load() || f.clockStartStopEnabled.load() || f.timingClockEnabled.load());
    EXPECT_FALSE(p.isMidiIOSet());
    // The snapshot is the short form.
    EXPECT_EQ(p.patchManager()->state.Size(), Tavrin::kShortStateSize);
    EXPECT_EQ(Tavrin::kShortStateSize, 1924);
    // The two bank files: the long name shortened, one log line.
    EXPECT_EQ(p.GetParam(kPatchSelectionListUpper)->GetNDisplayTexts(), 2);
    const std::string log = h.logText();
    EXPECT_EQ(log.find("RENAMED TO " + std::string(45, 'x')), std::string::npos);
    EXPECT_NE(log.find("RENAMED TO " + std::string(44, 'y') + "~.syx Because"), std::string::npos);
    EXPECT_EQ(log.find("old\n"), std::string::npos);
    size_t at = 0;
    for (const char* line : {"INITIALIZATION STARTED!", "Data folder located at", "PATCH MANAGER INITIALIZED...",
                             "PATCH LIBRARIAN INITIALIZED...", "PATCH LIBRARIAN COMPLETED LOADING SINGLES...",
                             "STARTING USER INTERFACE CONFIGURATION...",
                             "USER INTERFACE CONFIGURATION COMPLETED... BUILDING UI", "Layers attached...",
                             "Control set 1 attached", "Librarian menus attached", "Control set 2 attached... Resetting",
                             "RESET: Host sample rate 44100Hz", "Plug-in is ready to load!"}) {
      at = log.find(line, at);
      EXPECT_NE(at, std::string::npos) << line;
    }
    EXPECT_EQ(log.find(" MISSING!"), std::string::npos) << log;
    h.settle();
    EXPECT_TRUE(h.sim.received().empty());
    h.destroy();
  }
}

TEST(TavrinStart, StartValuesAreWholeAboveOne) {
  Harness h(edtest::projectRoot());
  // No parameter keeps a fraction above 1 after the start.
  for (int i = 0; i < kParameterCount; ++i) {
    const double v = h.value(i);
    if (v >= 1.0) {
      EXPECT_EQ(v, static_cast<int>(v)) << i;
    }
  }
}

// A pipe or a folder in the place of the settings file or the log counts as
// missing: the start neither waits on it nor takes it for a file.
TEST(TavrinStart, PipesAndFoldersNamedLikeTheSettingsAndLogFilesCountAsMissing) {
  Harness h(edtest::projectRoot(), "black\nlarge\nno\n", true, {}, false);
  ASSERT_TRUE(h.tavrin().isDebugLogOn());
  ASSERT_EQ(h.tavrin().uiScale(), 1.25);
  const std::string settings = h.tavrin().settingsPath(), log = h.tavrin().debugLogPath();
  for (bool pipes : {true, false}) {
    SCOPED_TRACE(pipes ? "pipes" : "folders");
    for (const std::string& path : {settings, log}) {
      std::filesystem::remove_all(path);
      ASSERT_EQ(pipes ? ::mkfifo(path.c_str(), 0644) : ::mkdir(path.c_str(), 0755), 0) << path;
    }
    h.destroy();
    std::vector<std::string> waitedOn;
    if (pipes) waitedOn = {settings, log};
    EXPECT_TRUE(testsupport::endsWithoutWaitingOnPipes([&] { h.make(); }, waitedOn, std::chrono::seconds(120)));
    EXPECT_FALSE(h.tavrin().isDebugLogOn());
    EXPECT_EQ(h.tavrin().uiScale(), 1.0);
    EXPECT_EQ(h.tavrin().theme(), 0);
    for (const std::string& line : h.tavrin().settingsLines()) EXPECT_EQ(line, "");
    for (const std::string& path : {settings, log}) {
      struct stat st {};
      ASSERT_EQ(::lstat(path.c_str(), &st), 0);
      EXPECT_TRUE(pipes ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode)) << path;
    }
    h.destroy();
  }
}

TEST(TavrinStart, ADescriptionLackingLayersAndControlsStillStartsSwitchesTabsAndStops) {
  Harness h(edtest::testRoot(), nullptr, true);
  const std::string log = h.logText();
  // One line per missing item, each named once.
  for (const char* item : {"layer miniMixer", "layer pattStepOverlayer16", "control of parameter 272",
                           "control of parameter 202"}) {
    const std::string line = std::string("CONFIG READER: ") + item + " MISSING!";
    const size_t first = log.find(line);
    EXPECT_NE(first, std::string::npos) << item;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << item;
  }
  for (int tab : {0, 1, 2, 3, 7}) h.set(kMainTab, tab);
  h.plug().DisplayProcessingIndicator(true);
  h.plug().DisplayProcessingIndicator(false);
  h.plug().updateUserInterfaceAndMenus();
  EXPECT_EQ(h.logText().size(), log.size());
}

}  // namespace
