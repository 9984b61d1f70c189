// The dispatch frame: which stages run per row, layer groups, the MIDI and
// clock setting cases, the cancel button, the tab switch and the progress
// display.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/ITextControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "editor/TavrinDialogs.h"
#include "support_midi.h"
#include "support_tavrin.h"
#include "uiconfig/ControlAction.h"

namespace {

using edtest::Harness;

struct Dispatch : ::testing::Test {
  Harness h{edtest::projectRoot()};
  Tavrin& p = h.plug();
  edtest::ObservedTavrin& o = h.plug();
  // Runs the dispatch for idx at value with an action of its own.
  // Under the editor lock, as jobs the cases start read the parameters.
  void run(int idx, double value) {
    KIT_MutexLock lock(p.GetMutex());
    o.displayed.clear();
    o.sent.clear();
    IParam* param = p.GetParam(idx);
    ControlAction* before = param->GetControlAction();
    ControlAction action;
    param->SetControlAction(&action);
    param->Set(value);
    p.OnParamChange(idx);
    param->SetControlAction(before);
  }
  // The dispatch of kMainTab, also for the tab already shown.
  void tab(int t) {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(kMainTab)->Set(t);
    p.OnParamChange(kMainTab);
  }
};

TEST_F(Dispatch, StagesPerRow) {
  struct Row {
    int idx;
    double value;
    bool display, tail;
  };
  const Row rows[] = {
      {0, 12, true, true},     {52, 1, true, true},     {94, 1, true, true},     {184, 1, true, true},
      {203, 1, false, false},  {203, 0, true, true},    {221, 1, true, true},    {241, 1, false, false},
      {266, 1, false, false},  {271, 1, false, false},  {272, 1, true, false},   {278, 1, true, false},
      {288, 0, true, false},   {288, 1, true, true},    {296, 1, true, false},   {296, 0, true, false},
      {300, 0, true, false},   {302, 3, true, true},    {305, 1, true, true},
  };
  // A case may change other parameters through the dispatch (a cycling
  // button sends its target): only the row's own steps are counted.
  auto own = [](const std::vector<edtest::ObservedTavrin::Step>& steps, int idx) {
    return std::count_if(steps.begin(), steps.end(), [idx](const auto& s) { return s.idx == idx; });
  };
  // No row starts a job, which would call the derived editor while the
  // fixture tears it down: no tab for the randomizer, the part lock on for
  // the program step.
  tab(0);
  p.GetParam(kPartLock)->Set(1);
  for (const Row& r : rows) {
    run(r.idx, r.value);
    EXPECT_EQ(own(o.displayed, r.idx), r.display ? 1 : 0) << r.idx << " at " << r.value;
    EXPECT_EQ(own(o.sent, r.idx), r.tail ? 1 : 0) << r.idx << " at " << r.value;
  }
  // The arpeggiator's swing and delay hand on the value / 1.27.
  for (int idx : {kArpSwing, kArpDelay}) {
    run(idx, 127);
    ASSERT_EQ(o.sent.size(), 1u);
    EXPECT_DOUBLE_EQ(o.sent[0].value, 100.0);
    EXPECT_DOUBLE_EQ(o.displayed[0].value, 100.0);
  }
  // The cancel button at whole value 1 asks the running job to stop.
  p.hub()->setCancelRequested(false);
  run(kCancelDataRequest, 0.5);
  EXPECT_FALSE(p.hub()->cancelRequested());
  run(kCancelDataRequest, 1);
  EXPECT_TRUE(p.hub()->cancelRequested());
}

TEST_F(Dispatch, LayerGroupShowsTheSubLayerOfTheWholeValue) {
  ControlLayer group(9, "group");
  ControlLayer* subs[3];
  for (int id = 0; id < 3; ++id) group.AttachLayer(subs[id] = new ControlLayer(id, "sub"));
  IParam* param = p.GetParam(30);
  ControlAction* before = param->GetControlAction();
  ControlAction action;
  action.layerGroup = &group;
  param->SetControlAction(&action);
  for (double v : {1.0, 5.0}) {
    param->Set(v);
    p.OnParamChange(30);
    EXPECT_EQ(group.GetSelectedSubLayer(), static_cast<int>(v));
    for (int id = 0; id < 3; ++id) EXPECT_EQ(subs[id]->IsVisible(), id == static_cast<int>(v)) << v << " " << id;
  }
  param->SetControlAction(before);
}

TEST_F(Dispatch, MidiSettingCases) {
  SharedFlags& f = p.sharedFlags();
  // The fourteen block flags: on clears, anything else (0.5 too) sets.
  for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) {
    for (double v : {1.0, 0.5, 0.0, 1.0}) {
      h.plug().GetParam(184 + i)->Set(v);
      p.OnParamChange(184 + i);
      EXPECT_EQ(f.blocked[i].load(), v != 1.0) << 184 + i << " at " << v;
    }
  }
  h.set(kMIDIFilterTrackIncomingMIDI, 0);
  EXPECT_FALSE(f.lightTracksInput.load());
  // 199 and 200 are a pair: one on turns the other off, unsent.
  h.set(kMIDIFilterDirectToHardware, 1);
  o.sent.clear();
  h.set(kMIDIFilterToDAWBuffer, 1);
  EXPECT_TRUE(f.queueRouting.load());
  EXPECT_EQ(h.value(kMIDIFilterDirectToHardware), 0.0);
  ASSERT_EQ(o.sent.size(), 1u);
  EXPECT_EQ(o.sent[0].idx, kMIDIFilterToDAWBuffer);
  h.set(kMIDIFilterToDAWBuffer, 0);
  EXPECT_TRUE(f.queueRouting.load());
  h.set(kMIDIFilterDirectToHardware, 1);
  EXPECT_FALSE(f.queueRouting.load());
  EXPECT_EQ(h.value(kMIDIFilterToDAWBuffer), 0.0);
  // Clock switches.
  h.set(kSendMIDIClockPointer, 1);
  EXPECT_TRUE(f.clockStartStopEnabled.load());
  h.set(kSendMIDIClockInfo, 1);
  EXPECT_TRUE(f.timingClockEnabled.load());
  h.set(kSendMIDIClockInfo, 0);
  EXPECT_FALSE(f.timingClockEnabled.load() || f.clockLaunched.load());
  // The output offset: twice the whole value plus the block size.
  p.SetBlockSize(512);
  h.set(kAdjustDAWOffset, 10);
  EXPECT_EQ(p.outputOffset(), 532);
  h.set(kGlobalLocalControl, 1);
  EXPECT_TRUE(f.localControl.load());
  h.set(kGlobalLocalControl, 0);
  EXPECT_FALSE(f.localControl.load());
  // The clock source greys one of the arpeggiator's two tempo layers; no
  // port, no job.
  for (int v : {1, 0}) {
    h.set(kGlobalClock, v);
    EXPECT_EQ(p.namedLayer("arpTempoKnob")->GetControl(0)->IsGrayed(), v == 1);
    EXPECT_EQ(p.namedLayer("arpTempoClock")->GetControl(0)->IsGrayed(), v == 0);
  }
  EXPECT_FALSE(p.hub()->threadRunning(MIDIMessageManager::kJobThread));
}

TEST_F(Dispatch, TabsAndPatternOverlays) {
  auto visible = [&](const char* name) { return p.namedLayer(name)->IsVisible(); };
  auto overlays = [&] {
    std::string shown;
    for (int step = 2; step <= 16; ++step) {
      char name[32];
      std::snprintf(name, sizeof name, "pattStepOverlayer%02d", step);
      shown += visible(name) ? '1' : '0';
    }
    return shown;
  };
  const std::pair<int, const char*> draws[] = {
      {0, "111111111111111"}, {14, "000000000000001"}, {15, "000000000000000"}, {-1, "000000000000000"}};
  for (const auto& [n, want] : draws) {
    tab(2);
    p.DrawPatternOverlayer(n);
    EXPECT_EQ(overlays(), want) << n;
  }
  // Tab 0 hides the mini mixer; the others show it.
  for (int t : {0, 1, 2, 3}) {
    tab(t);
    EXPECT_EQ(visible("miniMixer"), t != 0) << t;
    EXPECT_TRUE(visible("releaseAllLocksLayer"));
  }
  // Tab 2 by oscillator 1's shape.
  struct Shape {
    int shape;
    bool unison, fade1, keytrack2, gray2, gray3;
  };
  for (const Shape& s : {Shape{5, true, false, true, true, true}, Shape{9, false, true, false, false, true},
                         Shape{12, false, true, true, false, false}}) {
    p.GetParam(kOscillator1Shape)->Set(s.shape);
    tab(2);
    EXPECT_EQ(visible("osc1UnisonKnob"), s.unison) << s.shape;
    EXPECT_EQ(visible("osc1AmpEnvFade"), s.fade1) << s.shape;
    EXPECT_EQ(visible("osc2KeytrackBtn"), s.keytrack2) << s.shape;
    EXPECT_EQ(p.namedLayer("oscillator2Parameters")->GetControl(0)->IsGrayed(), s.gray2) << s.shape;
    EXPECT_EQ(p.namedLayer("oscillator3Parameters")->GetControl(0)->IsGrayed(), s.gray3) << s.shape;
  }
  // The octave indicators follow the semitones.
  p.GetParam(kOscillator1Semitone)->Set(36);
  p.GetParam(kOscillator2Semitone)->Set(37);
  tab(2);
  EXPECT_EQ(h.value(kOscillator1OctaveIndicator), 1.0);
  EXPECT_EQ(h.value(kOscillator2OctaveIndicator), 0.0);
}

TEST_F(Dispatch, ProgressDisplayOnTheLibrarianAndTheSoundTab) {
  IControl* search = p.rememberedControl(kPatchSearch);
  for (int t : {1, 2}) {
    tab(t);
    p.DisplayProcessingIndicator(true);
    EXPECT_TRUE(p.progressLayer()->IsVisible());
    EXPECT_EQ(p.cancelButton(0)->IsHidden(), t != 1);
    EXPECT_EQ(p.cancelButton(1)->IsHidden(), t == 1);
    EXPECT_EQ(search->IsGrayed(), t == 1);
    p.DisplayProcessingIndicator(false);
    EXPECT_FALSE(p.progressLayer()->IsVisible());
    EXPECT_TRUE(p.cancelButton(0)->IsHidden() && p.cancelButton(1)->IsHidden());
    EXPECT_FALSE(search->IsGrayed());
    if (t == 1) {
      EXPECT_TRUE(p.namedLayer("categoryLimit")->IsVisible());
    }
  }
  // A hide when nothing shows still clears both flags.
  p.sharedFlags().transferInProgress.store(true);
  p.hub()->setRequestPending(true);
  p.DisplayProcessingIndicator(false);
  EXPECT_FALSE(p.sharedFlags().transferInProgress.load() || p.hub()->requestPending());
}

TEST_F(Dispatch, CategoryShownIsThatOfTheCurrentValue) {
  IParam* category = p.GetParam(kCategoryName);
  ASSERT_GT(category->GetNDisplayTexts(), 3);
  category->Set(3);
  tab(2);
  auto* display = dynamic_cast<ITextControl*>(p.rememberedControl(kControlDisplayCategory));
  ASSERT_TRUE(display);
  EXPECT_STREQ(display->GetTextForPlug(), category->GetDisplayText(3));
}

TEST_F(Dispatch, HelpPagesAndDataFolderOpenThroughTheContext) {
  for (int topic : {0, 1, 2, 3}) p.OpenHelpTopics(topic);
  p.OpenDataDirectory(false);
  p.OpenDataDirectory(true);
  const auto& urls = h.gui().urls();
  ASSERT_EQ(urls.size(), 5u);
  EXPECT_NE(urls[0].url.find("/my-tickets/"), std::string::npos);
  EXPECT_NE(urls[1].url.find("/downloads/"), std::string::npos);
  EXPECT_NE(urls[2].url.find("/kb/articles/"), std::string::npos);
  EXPECT_EQ(urls[3].url, p.getDataFolder());
  EXPECT_EQ(urls[4].url, p.getDataFolder() + "Brannick-Tavrin-User-Manual-v101.pdf");
}

}  // namespace

namespace {

TEST(TavrinDialogs, BankNameDialogAndMessageDialogs) {
  Harness h(edtest::projectRoot());
  const SHIM_DialogResourceIndex& res = patchSaveDialogResource();
  EXPECT_EQ(std::vector<int>({res.windowTypeFlags, res.width, res.height}), std::vector<int>({12, 396, 144}));
  EXPECT_STREQ(res.title, "Enter Bank Name");
  // OK ends with 1; the confirm button and the name are not this
  // procedure's, so it ends unanswered.
  h.gui().answerDialog(IDOK);
  EXPECT_EQ(showMessageBox(nullptr, &h.plug(), IDD_PATCH_SAVE, nullptr), 1);
  h.gui().answerDialog(IDC_PATCH_SAVE_OK, {{IDC_PATCH_NAME, "Strings"}});
  EXPECT_EQ(showMessageBox(nullptr, &h.plug(), IDD_PATCH_SAVE, nullptr), IDCANCEL);
  ASSERT_EQ(h.gui().dialogs().size(), 2u);
  EXPECT_EQ(h.gui().dialogs()[0].id, IDD_PATCH_SAVE);
  EXPECT_EQ(MessageBoxProg(nullptr, WM_TIMER, 0, 0), 0);
  // Centring: a 396 x 144 dialog on a 396 x 144 parent at (100, 50) lands
  // on it; on one at (0, 0) it goes back.
  HWND parent = SHIM_CreateDialog(SHIM_curmodule_dialogresource_head, MAKEINTRESOURCE(IDD_PATCH_SAVE), nullptr,
                                  &MessageBoxProg, 0);
  HWND dialog = SHIM_CreateDialog(SHIM_curmodule_dialogresource_head, MAKEINTRESOURCE(IDD_PATCH_SAVE), nullptr,
                                  &MessageBoxProg, 0);
  ASSERT_TRUE(parent && dialog);
  SetWindowPos(parent, nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  centerDialog(parent, dialog);
  RECT p{}, d{};
  GetWindowRect(parent, &p);
  GetWindowRect(dialog, &d);
  EXPECT_EQ(std::vector<int>({d.left - p.left, d.top - p.top, d.right - d.left}), std::vector<int>({0, 0, 396}));
  DestroyWindow(parent);
  DestroyWindow(dialog);
}

// A block launches the timing clock; switching it off and on makes the next
// block launch it again.
TEST(DispatchClock, TheTimingClockIsLaunchedAgainAfterOffAndOn) {
  Harness h(edtest::projectRoot());
  ASSERT_TRUE(h.choosePortsAndWait());
  MIDIMessageManager& hub = *h.tavrin().hub();
  constexpr unsigned kLaunched = 1u << SenderJob::kContinuousClock;
  // The loop waits in its first pause after the first tick.
  std::atomic<bool> release{false};
  h.holdJobSleeps([&] { return release.load(); });
  const std::shared_ptr<void> letGo(nullptr, [&](void*) {
    release = true;
    h.holdJobSleeps({});
  });
  auto ticked = [&](size_t n) {
    return hwtest::spinUntil([&] {
      h.settle();
      size_t ticks = 0;
      for (const auto& e : h.sim.clockEvents()) ticks += e.byte == 0xF8;
      return ticks == n;
    });
  };
  auto endClock = [&] {
    h.set(kSendMIDIClockInfo, 0);
    release = true;
    ASSERT_TRUE(hwtest::spinUntil([&] { return !hub.threadRunning(MIDIMessageManager::kContinuousClockThread); }));
    release = false;
  };
  h.set(kOverrideTempo, 0);  // the arpeggiator's tempo: the host gives none
  h.set(kSendMIDIClockInfo, 1);
  EXPECT_EQ(hub.onBlockStart(false, false), kLaunched);
  EXPECT_TRUE(ticked(1));
  EXPECT_EQ(hub.onBlockStart(false, false), 0u);
  endClock();
  h.set(kSendMIDIClockInfo, 1);
  EXPECT_EQ(hub.onBlockStart(false, false), kLaunched);
  EXPECT_TRUE(ticked(2));
  endClock();
}

}  // namespace
