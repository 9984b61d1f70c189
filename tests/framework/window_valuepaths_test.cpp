// The three value paths of a control, through real controls and the plug-in
// double: from the plug-in (redraw only), from the user (OnParamChange) and
// from the synthesizer (OnParamChange2).
#include "framework/IBitmapControls.h"
#include "framework/IParam.h"
#include "framework/ITextControl.h"
#include "support_window.h"

using Doubles = std::vector<double>;
using fwtest::Ints;

class ControlValuePaths : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Make(200, 120);
    PutImage("knob.png", 20, 160, 4);  // four frames of 20 x 40
    knobBmp = Load(1, "knob.png", 4);
    knob = Add<IKnobMultiControl>(10, 10, 0, &knobBmp);
  }
  IBitmap knobBmp;
  IKnobMultiControl* knob = nullptr;
};

TEST_F(ControlValuePaths, PlugValueRedrawsWithoutChangeCallAndTheFirstSetsTheDefault) {
  AttachAndOpen();
  EXPECT_EQ(knob->GetDefaultValue(), 0.0);  // the first value set value and default only
  g->SetParameterFromPlug(0, 5.0, false);
  EXPECT_EQ(plug->GetParam(0)->Value(), 5.0);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);
  EXPECT_EQ(g->tick(), *knob->GetRECT());
  EXPECT_TRUE(plug->changes.empty() && plug->changes2.empty() && plug->informs.empty());
  // Out-of-range indices do nothing on either path.
  g->tick();
  g->SetParameterFromPlug(99, 3.0, false);
  g->SetParameterFromPlug(-1, 0.3, true);
  EXPECT_TRUE(g->tick().Empty());

  // The first plug-in value is stored unclamped, later ones clamped; an
  // equal value changes nothing.
  auto* fresh = Add<IKnobMultiControl>(60, 10, 1, &knobBmp);
  fresh->Clamp(0.2, 0.8);
  fresh->SetValueFromPlug(0.1);
  EXPECT_EQ(Doubles({fresh->GetValue(), fresh->GetDefaultValue()}), Doubles({0.1, 0.1}));
  fresh->SetValueFromPlug(0.95);
  EXPECT_EQ(fresh->GetValue(), 0.8);
  fresh->SetClean();
  fresh->SetClean();
  fresh->SetValueFromPlug(0.8);
  EXPECT_FALSE(fresh->IsDirty());
}

TEST_F(ControlValuePaths, UserEditsReachOnParamChangeOnceClamped) {
  AttachAndOpen();
  // Drag: 40 pixels high, gearing 4: 160 pixels up is the full range.
  g->press(15, 30);
  g->drag(15, 30 - 80);
  EXPECT_EQ(plug->changeValues, Doubles({5.0}));
  g->drag(15, 30 - 400);  // far beyond the top: clamped
  g->release(15, 30 - 400);
  EXPECT_EQ(plug->changes, Ints({0, 0}));
  EXPECT_EQ(plug->changeValues, Doubles({5.0, 10.0}));
  EXPECT_EQ(knob->GetValue(), 1.0);
  EXPECT_EQ(plug->begins, Ints({0}));
  EXPECT_EQ(plug->ends, Ints({0}));

  // Wheel: each step is 0.01 (0.001 with shift), pushed at once.
  plug->ClearCounts();
  g->wheel(15, 30, -10);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.9);
  EXPECT_EQ(plug->changeValues, Doubles({9.0}));
  g->wheel(15, 30, 1, IMouseMod(false, false, true));
  EXPECT_NEAR(knob->GetValue(), 0.901, 1e-12);
  EXPECT_EQ(plug->changeValues.size(), 1u);  // the whole value stayed 9: no change call
  EXPECT_EQ(plug->informs.size(), 2u);
  g->wheel(15, 30, 500);
  EXPECT_EQ(knob->GetValue(), 1.0);
  EXPECT_EQ(plug->changeValues, Doubles({9.0, 10.0}));
}

TEST_F(ControlValuePaths, MenuChoiceAndTypedTextReachOnParamChange) {
  IParam* mode = InitEnum(4, {"Low", "Mid", "High"});
  AddPromptingCaption(IRECT(100, 10, 180, 30), 4);
  AddPromptingCaption(IRECT(100, 40, 180, 60), 2);
  AttachAndOpen();

  g->answerMenuByText({"High"});
  g->press(110, 20);
  EXPECT_EQ(plug->changes, Ints({4}));
  EXPECT_EQ(mode->Value(), 2.0);
  ASSERT_EQ(g->menus().size(), 1u);
  EXPECT_EQ(g->menus()[0].lines, std::vector<std::string>({"[x] Low", "[ ] Mid", "[ ] High"}));
  EXPECT_EQ(g->menus()[0].rect, IRECT(100, 10, 180, 30));  // the menu opens at the control

  g->answerTextEntry("  42");
  g->press(110, 50);
  ASSERT_EQ(g->textEntries().size(), 1u);
  EXPECT_EQ(g->textEntries()[0].rect, IRECT(125, 42, 155, 58));  // 30 x 16 around the centre
  EXPECT_EQ(g->textEntries()[0].initial, "0");
  EXPECT_EQ(plug->changes, Ints({4, 2}));
  EXPECT_EQ(plug->GetParam(2)->Value(), 10.0);  // typed 42, clamped to the range

  g->answerTextEntry("abc");  // no number: nothing changes, nothing is pushed
  g->press(110, 50);
  EXPECT_EQ(plug->changes.size(), 2u);
}

TEST_F(ControlValuePaths, HardwareValueReachesOnlyOnParamChange2) {
  AttachAndOpen();
  knob->SetValueFromHardware(0.7);
  knob->SetValueFromHardware(0.7);  // equal: nothing
  EXPECT_TRUE(plug->changes.empty());
  EXPECT_EQ(plug->changes2, Ints({0}));
  EXPECT_EQ(plug->change2Values, Doubles({7.0}));
  EXPECT_FALSE(g->tick().Empty());
}

// Whole values must come back exactly on every path: a hair below would be
// shown and sent as one less.
TEST_F(ControlValuePaths, IntegerValuesSurviveAllThreePathsExactly) {
  IParam *cont = plug->GetParam(5), *wide = plug->GetParam(6);
  cont->InitDouble("cont", 0.0, -50.0, 50.0, 1.0);  // 7 would come back as 6.999999999999993
  wide->InitInt("wide", 0, 0, 16383);
  auto* c3 = AddPromptingCaption(IRECT(0, 0, 10, 10), 5, true);
  auto* c4 = AddPromptingCaption(IRECT(0, 20, 10, 30), 6, true);
  AttachAndOpen();
  for (auto [p, c, idx] : {std::tuple{cont, c3, 5}, {wide, c4, 6}}) {
    double lo, hi;
    p->GetBounds(&lo, &hi);
    for (int v = (int)lo; v <= (int)hi; v += hi - lo > 200 ? 61 : 1) {
      g->SetParameterFromPlug(idx, (double)v, false);
      ASSERT_EQ(p->Value(), (double)v) << "plug path " << v;
      p->Set(lo);
      c->SetValue(-1.0);
      c->SetValueFromHardware(((double)v - lo) / (hi - lo));
      ASSERT_EQ(p->Value(), (double)v) << "hardware path " << v;
      p->Set(lo);
      c->SetValue(-1.0);  // so that the typed value always differs
      g->SetFromStringAfterPrompt(c, p, std::to_string(v).c_str());
      ASSERT_EQ(p->Value(), (double)v) << "typed path " << v;
    }
  }
  // A plain value is stored clamped, and rounded unless continuous.
  g->SetParameterFromPlug(6, 20000.4, false);
  EXPECT_EQ(wide->Value(), 16383.0);
  g->SetParameterFromPlug(6, 7.6, false);
  EXPECT_EQ(wide->Value(), 8.0);
  EXPECT_DOUBLE_EQ(c4->GetValue(), wide->GetNormalized());
}

TEST_F(ControlValuePaths, DefaultsLinkedTextsAndAuxIndices) {
  auto* valueText = Add<ITextControl>(IRECT(100, 80, 190, 100), &style, "");
  auto* nameText = Add<ITextControl>(IRECT(100, 100, 190, 118), &style, "");
  knob->SetValueDisplayControl(valueText);
  knob->SetNameDisplayControl(nameText);
  auto* unbound = Add<IKnobMultiControl>(60, 10, 5, &knobBmp);
  auto* ghost = Add<IKnobMultiControl>(60, 60, 99, &knobBmp);  // no such parameter
  ghost->SetValueDisplayControl(valueText);
  AttachAndOpen();

  // A double click before any default exists does nothing.
  unbound->SetDefaultValue(-1.0);
  unbound->SetValue(0.3);
  g->doubleClick(65, 20);
  EXPECT_EQ(unbound->GetValue(), 0.3);
  EXPECT_TRUE(plug->changes.empty());

  // The knob's default came from the first plug-in value (0.0): restore it.
  g->SetParameterFromPlug(0, 8.0, false);
  g->doubleClick(15, 20);
  EXPECT_EQ(knob->GetValue(), 0.0);
  EXPECT_EQ(plug->changeValues, Doubles({0.0}));
  EXPECT_STREQ(valueText->GetTextForPlug(), "0");
  EXPECT_STREQ(nameText->GetTextForPlug(), "p");

  // The linked text is marked for redraw only when its text changes.
  g->tick();
  g->tick();
  g->wheel(15, 20, 2);  // 0.02: whole value 0, same text
  EXPECT_FALSE(valueText->IsDirty());
  g->wheel(15, 20, 20);  // 0.22: whole value 2
  EXPECT_TRUE(valueText->IsDirty());
  EXPECT_STREQ(valueText->GetTextForPlug(), "2");

  // Without a parameter behind the index the linked texts stay as they are.
  ghost->SetValue(0.9);
  ghost->SetDirty(true);
  EXPECT_STREQ(valueText->GetTextForPlug(), "2");

  // Aux indices outside the array do nothing.
  g->tick();
  g->tick();
  knob->SetAuxParamValueFromPlug(3, 1.0);
  knob->SetAuxParamValueFromPlug(-1, 1.0);
  EXPECT_FALSE(knob->IsDirty());
  EXPECT_EQ(knob->GetAuxParam(0), nullptr);
  knob->AddAuxParam(3);
  g->SetParameterFromPlug(3, 0.4, true);
  EXPECT_EQ(knob->GetAuxParam(0)->mValue, 0.4);
  EXPECT_TRUE(knob->IsDirty());
}
