// The name and value lines: every value rule, the value lists, the lines
// through the dispatch and the hardware value path, the parameters that
// never show.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "editor/ControlDisplay.h"
#include "framework/ControlLayer.h"
#include "framework/IParam.h"
#include "framework/ITextControl.h"
#include "hardware/ParameterList.h"
#include "support_tavrin.h"
#include "uiconfig/ControlAction.h"
#include "uiconfig/UIConfigManager.h"

namespace {

using edtest::Harness;

constexpr const char* kPlain = "<plain>";

class TavrinValueDisplay : public ::testing::Test {
 protected:
  std::string text(int idx) {
    KIT_MutexLock lock(p.GetMutex());
    auto* display = dynamic_cast<ITextControl*>(p.rememberedControl(idx));
    return display ? display->GetTextForPlug() : "<none>";
  }
  std::string valueText(int idx, int v) {
    std::string t;
    return ControlDisplay::valueText(p, idx, v, v, t) ? t : kPlain;
  }
  void fromInstrument(int idx, double v) {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(idx)->Set(v);
    p.OnParamChange2(idx);
  }

  Harness h{edtest::projectRoot(), nullptr, false, {}, false};
  Tavrin& p = h.tavrin();
};

TEST_F(TavrinValueDisplay, ValueRules) {
  const struct {
    int idx, v;
    const char* text;
  } rows[] = {
      {kOscillator1Semitone, 48, "0"}, {kOscillator2Semitone, 60, "+12"}, {kOscillator3Semitone, 36, "-12"},
      {kOscillator1Semitone, 98, ""}, {kPitchBendScaleUp, 5, "+5"}, {kPitchBendScaleDown, 5, "-5"},
      {kGlobalTranspose, 24, "0"}, {kGlobalTranspose, 0, "-24"}, {kGlobalTranspose, 30, "+6"},
      {kGlobalTranspose, -1, ""}, {kPatternStep01Time, 0, "25 %"}, {kPatternStep01Time + 15, 3, "100 %"},
      {kPatternStep01Time, 4, ""}, {kPanning, 0, "LEFT 100%"}, {kPanning, 1, "LEFT 97%"}, {kPanning, 4, "LEFT 93%"},
      {kPanning, 32, "LEFT 49%"}, {kPanning, 63, "LEFT 1%"}, {kPanning, 64, "< CENTER >"},
      {kPanning, 65, "RIGHT 1%"}, {kPanning, 96, "RIGHT 49%"}, {kPanning, 124, "RIGHT 93%"},
      {kPanning, 126, "RIGHT 96%"}, {kPanning, 127, "RIGHT 100%"}, {kPanning, 128, ""},
      {kFilterCutoffKeytrack, 64, "0"}, {kVolumeVeloSense, 0, "-64"}, {kModUnit1Amount + 21, 127, "+63"},
      {kModUnit1Amount, 128, ""}, {kArpSwing, 0, "0 %"}, {kArpSwing, 50, "50 %"}, {kArpSwing, 100, "100%"},
      {kArpSwing, 33, "33%"}, {kArpDelay, 0, "-50%"}, {kArpDelay, 50, "0 %"}, {kArpDelay, 100, "50%"},
      {kArpDelay, 75, "25%"}, {kArpDelay, 101, ""}, {kPartLock, 1, "ON"}, {kSectionLockOsc1 + 12, 0, "OFF"},
      {kOverrideTempo, 2, ""}, {kPatternStep01Glide, 1, "ON"}, {kGlobalMidiThru, 0, "OFF"},
      {kGlobalLocalControl, 1, "ALLOWED"}, {kGlobalLocalControl, 0, "DISABLED"}, {kLFO1Speed, 64, "64"},
      {kOscillator1Tune, 70, kPlain}, {kFilterCutoff, 3, kPlain},
  };
  for (const auto& r : rows) EXPECT_EQ(valueText(r.idx, r.v), r.text) << r.idx << " at " << r.v;
  // List entries by the current value; outside the list, the empty text.
  const std::vector<std::string> shapes = p.uiConfig()->valueList("osc1Shape");
  ASSERT_FALSE(shapes.empty());
  EXPECT_EQ(valueText(kOscillator1Shape, 0), shapes[0]);
  EXPECT_EQ(valueText(kOscillator1Shape, static_cast<int>(shapes.size())), "");
  EXPECT_EQ(valueText(kOscillator1Shape, -1), "");
  const std::vector<std::string> timing = p.uiConfig()->valueList("lfoClockTiming");
  ASSERT_GT(timing.size(), 16u);
  p.GetParam(kLFO1ShapeClock)->Set(5);
  EXPECT_EQ(valueText(kLFO1Speed, 64), timing[16]);
  EXPECT_EQ(ControlDisplay::getValueString(63.7), "64");
}

// The name and CC lines are skipped while they show their texts; a line
// another writer changed (the host's reset, a status message) is written
// again by the next edit, though the edit's texts are the same as before.
TEST_F(TavrinValueDisplay, LinesAnotherWriterChangedAreWrittenAgain) {
  p.setMidiIOSet(true);
  int idx = -1;
  for (int i = 3; i < 80 && idx < 0; ++i) {
    const ControlAction* a = p.GetParam(i)->GetControlAction();
    if (a && a->type == 1 && a->ccNumber >= 0 && i != kLFO1Shape && p.GetParam(i)->GetMin() == 0.0) idx = i;
  }
  ASSERT_GE(idx, 0);
  const std::string label = "CC|" + std::to_string(p.GetParam(idx)->GetControlAction()->ccNumber);
  const std::string name = p.GetParam(idx)->GetNameForHost();
  const std::function<void()> writers[] = {
      [&] { p.Reset(); },
      [&] { p.setStatusText("elsewhere"); },
      [&] {
        KIT_MutexLock lock(p.GetMutex());
        dynamic_cast<ITextControl*>(p.rememberedControl(kControlDisplayCC))->SetTextFromPlug("---");
      },
  };
  int value = 10;
  for (const auto& writer : writers) {
    SCOPED_TRACE(value);
    h.set(idx, ++value);
    h.set(idx, ++value);  // the same name and label as the edit before
    writer();
    EXPECT_NE(text(kControlDisplayName) + text(kControlDisplayCC), name + label);
    h.set(idx, ++value);
    EXPECT_EQ(text(kControlDisplayName), name);
    EXPECT_EQ(p.statusText(), name);
    EXPECT_EQ(text(kControlDisplayCC), label);
    EXPECT_EQ(text(kControlDisplayValue), std::to_string(value));
  }
  // A list whose name is longer than a short text.
  const std::vector<std::string> destinations = p.uiConfig()->valueList("modulationDestinations");
  ASSERT_GT(destinations.size(), 1u);
  EXPECT_EQ(valueText(kModUnit1Destination, 1), destinations[1]);
}

TEST_F(TavrinValueDisplay, LinesThroughTheDispatchAndFromTheInstrument) {
  p.setMidiIOSet(true);  // no "Set MIDI I/O First!" over the name line
  h.set(kOscillator1Semitone, 60);
  EXPECT_EQ(text(kControlDisplayName), p.GetParam(kOscillator1Semitone)->GetNameForHost());
  EXPECT_EQ(text(kControlDisplayValue), "+12 [60]");
  h.set(kOscillator1Tune, 70);
  EXPECT_EQ(text(kControlDisplayValue), "70");
  // The instrument's swing is shown raw.
  fromInstrument(kArpSwing, 100);
  EXPECT_EQ(text(kControlDisplayValue), "100% [100]");
  // Releasing the locks changes only the name line.
  h.set(kReleaseAllLocks, 1);
  EXPECT_EQ(text(kControlDisplayName), "All Section Locks Released");
  EXPECT_EQ(text(kControlDisplayValue), "100% [100]");
  // Parameters that never show leave both lines.
  fromInstrument(kMainTab, 3);
  fromInstrument(kPatchUp, 1);
  EXPECT_EQ(text(kControlDisplayName), "All Section Locks Released");
  EXPECT_EQ(text(kControlDisplayValue), "100% [100]");
  // A layer group follows a value from the instrument as it follows an edit.
  {
    KIT_MutexLock lock(p.GetMutex());
    ControlLayer group(9, "group");
    for (int id = 0; id < 3; ++id) group.AttachLayer(new ControlLayer(id, "sub"));
    IParam* param = p.GetParam(30);
    ControlAction* before = param->GetControlAction();
    ControlAction action;
    action.layerGroup = &group;
    param->SetControlAction(&action);
    fromInstrument(30, 2);
    EXPECT_EQ(group.GetSelectedSubLayer(), 2);
    for (int id = 0; id < 3; ++id) EXPECT_EQ(group.GetSubLayer(id)->IsVisible(), id == 2) << id;
    param->SetControlAction(before);
  }
  // A nameless parameter changes nothing while the transport runs.
  int nameless = -1;
  for (int idx = 0; idx < 97 && nameless < 0; ++idx) {
    const char* name = p.GetParam(idx)->GetNameForHost();
    if (!name || !*name) nameless = idx;
  }
  const std::string nameLine = text(kControlDisplayName);
  if (nameless >= 0) {
    KIT_MutexLock lock(p.GetMutex());
    ControlDisplay::controlDisplay(&p, nameless, 1, true);
  }
  EXPECT_EQ(text(kControlDisplayName), nameLine);
}

}  // namespace
