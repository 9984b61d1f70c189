// The bitmap controls' mouse behaviour, layouts and frame choice.
#include "framework/IBitmapControls.h"

#include <climits>
#include <cmath>
#include <tuple>

#include "support_window.h"

class BitmapControls : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Make(300, 200);
    PutImage("two.png", 20, 40, 2);
    PutImage("four.png", 20, 160, 4);
    PutImage("handle.png", 20, 10, 1);
    two = Load(1, "two.png", 2);
    four = Load(3, "four.png", 4);
    handle = Load(4, "handle.png", 1);
  }
  // Clicks n times at (x, 5) and returns the control's value after each click.
  std::vector<double> clicks(IControl* c, int x, int n) {
    std::vector<double> seen;
    for (int i = 0; i < n; ++i) {
      g->press(x, 5);
      g->release(x, 5);
      seen.push_back(c->GetValue());
    }
    return seen;
  }
  IBitmap two, four, handle;
};

TEST(FrameChoice, ValuesSelectFramesAndCountsBelowTwoGiveFrameOne) {
  // {value, frame count, frame}; values far outside the range, and NaN, still
  // select the end frames.
  const std::tuple<double, int, int> cases[] = {
      {0.0, 4, 1},  {1.0 / 6 - 1e-9, 4, 1}, {1.0 / 6 + 1e-9, 4, 2}, {0.5 - 1e-9, 4, 2}, {0.5, 4, 3},
      {5.0 / 6 + 1e-9, 4, 4}, {7.0, 4, 4}, {-3.0, 4, 1}, {0.9, 1, 1}, {0.9, 0, 1}, {1e300, 4, 4},
      {-1e300, 4, 1}, {std::nan(""), 4, 1}};
  for (auto [value, n, frame] : cases) EXPECT_EQ(FrameForValue(value, n), frame) << value << " of " << n;
}

TEST_F(BitmapControls, SwitchesStepAndWrapContactsSpringBack) {
  PutImage("three.png", 20, 60, 3);
  IBitmap three = Load(2, "three.png", 3);
  auto* sw2 = Add<ISwitchControl>(0, 0, 0, &two);
  auto* sw3 = Add<ISwitchControl>(30, 0, 1, &three);
  auto* contact = Add<IContactControl>(60, 0, 2, &two);
  AttachAndOpen();
  EXPECT_EQ(clicks(sw2, 5, 3), std::vector<double>({1.0, 0.0, 1.0}));
  EXPECT_EQ(clicks(sw3, 35, 4), std::vector<double>({0.5, 1.0, 0.0, 0.5}));
  plug->ClearCounts();
  g->press(65, 5);
  EXPECT_EQ(contact->GetValue(), 1.0);
  EXPECT_EQ(plug->GetParam(2)->Value(), 10.0);
  g->release(200, 150);  // released elsewhere: still the pressed control's
  EXPECT_EQ(contact->GetValue(), 0.0);
  EXPECT_EQ(plug->changeValues, std::vector<double>({10.0, 0.0}));
  // Grayed switches ignore presses.
  sw2->GrayOut(true);
  EXPECT_EQ(sw2->GetBlend()->mWeight, 0.5f);
  const double v = sw2->GetValue();
  sw2->OnMouseDown(5, 5, nullptr);
  EXPECT_EQ(sw2->GetValue(), v);
}

TEST_F(BitmapControls, OverlayShowsFromHalfAndMovesItsMouseArea) {
  auto* overlay = Add<IBitmapOverlayControl>(100, 100, 0, &two, IRECT(0, 150, 10, 160));
  AttachAndOpen();
  g->SetParameterFromPlug(0, 0.49, true);
  g->tick();
  EXPECT_EQ(*overlay->GetTargetRECT(), IRECT(0, 150, 10, 160));
  EXPECT_EQ(g->screenPixel(105, 105), kPanelColor.Pack());
  g->SetParameterFromPlug(0, 0.5, true);
  g->tick();
  EXPECT_EQ(*overlay->GetTargetRECT(), *overlay->GetRECT());
  EXPECT_EQ(g->screenPixel(105, 105), windowtest::FrameColor(1));
}

TEST_F(BitmapControls, RadioButtonsLayOutPressAndDraw) {
  // Three vertical buttons of 20 x 20 in 100 pixels: 20 pixels apart.
  auto* radio = Add<IRadioButtonsControl>(IRECT(200, 0, 220, 100), 0, 3, &two);
  auto* reversed = Add<IRadioButtonsControl>(IRECT(230, 0, 250, 100), 1, 3, &two, kVertical, true);
  auto* single = Add<IRadioButtonsControl>(IRECT(260, 50, 280, 100), 2, 1, &two);
  auto* none = Add<IRadioButtonsControl>(IRECT(260, 0, 280, 40), 3, 0, &two);
  AttachAndOpen();
  EXPECT_EQ(radio->GetButtonRECTs()[1], IRECT(200, 40, 220, 60));
  EXPECT_EQ(radio->GetButtonRECTs()[2], IRECT(200, 80, 220, 100));
  EXPECT_EQ(reversed->GetButtonRECTs()[0], IRECT(230, 80, 250, 100));
  EXPECT_EQ(single->GetButtonRECTs()[0], IRECT(260, 50, 280, 70));
  EXPECT_TRUE(none->GetButtonRECTs().empty());

  g->press(205, 85);
  EXPECT_EQ(radio->GetValue(), 1.0);
  g->tick();
  EXPECT_EQ(g->screenPixel(205, 85), windowtest::FrameColor(1));
  EXPECT_EQ(g->screenPixel(205, 5), windowtest::FrameColor(0));
  plug->ClearCounts();
  g->press(205, 30);  // between two buttons: the unchanged value is pushed again
  EXPECT_EQ(radio->GetValue(), 1.0);
  ASSERT_EQ(plug->informs.size(), 1u);
  EXPECT_EQ(plug->informs[0].idx, 0);
  EXPECT_TRUE(plug->changes.empty());
  g->press(265, 55);
  EXPECT_EQ(single->GetValue(), 0.0);
  none->SetValue(0.5);
  none->OnMouseDown(265, 5, nullptr);
  EXPECT_EQ(none->GetValue(), 0.5);
}

TEST_F(BitmapControls, FadersSnapAndKnobsFollowDrags) {
  // Vertical fader of length 100 with a 10-pixel handle: travel 90.
  auto* fader = Add<IFaderControl>(0, 50, 100, 0, &handle);
  auto* stuck = Add<IFaderControl>(30, 50, 8, 1, &handle);  // shorter than its handle
  auto* knob = Add<IKnobMultiControl>(100, 0, 2, &four);    // 20 x 40
  auto* flat = Add<IKnobControl>(IRECT(150, 10, 170, 10), 3);
  AttachAndOpen();
  g->press(5, 50 + 5);
  EXPECT_EQ(fader->GetValue(), 1.0);
  // {drag to y, value}: half way, then clamped at both ends.
  for (auto [y, value] : {std::pair{50 + 5 + 45, 0.5}, {400, 0.0}, {-400, 1.0}}) {
    g->drag(5, y);
    EXPECT_EQ(fader->GetValue(), value) << y;
  }
  // Points at the far ends of the int range: the ends, no overflow.
  for (auto [y, value] : {std::pair{INT_MAX, 0.0}, {INT_MIN, 1.0}}) {
    g->drag(INT_MIN, y);
    EXPECT_EQ(fader->GetValue(), value) << y;
  }
  g->release(5, -400);
  EXPECT_EQ(fader->GetHandleRECT(0.0), IRECT(0, 140, 20, 150));
  EXPECT_EQ(fader->GetHandleRECT(1.0), IRECT(0, 50, 20, 60));
  stuck->SetValue(0.25);
  g->press(35, 52);
  EXPECT_EQ(stuck->GetValue(), 0.25);

  g->press(105, 20);
  g->drag(105, 20 - 160);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
  g->drag(105, 20 - 160 + 800, IMouseMod(true, false, true));  // shift: ten times finer
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);
  g->release(105, 0);
  g->tick();
  EXPECT_EQ(g->screenPixel(110, 10), windowtest::FrameColor(2));
  flat->SetValue(0.3);
  flat->OnMouseDrag(150, 10, 0, -50, nullptr);
  EXPECT_EQ(flat->GetValue(), 0.3);
}
