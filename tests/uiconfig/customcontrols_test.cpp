// The custom radio buttons and the progress indicator in a headless window:
// injected clicks, and the frames they draw probed in the screen image.
#include <gtest/gtest.h>

#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IParam.h"
#include "raster/pngwrite.h"
#include "support_uiconfig.h"
#include "uiconfig/ICustomRadioButtonsControl.h"
#include "uiconfig/ProgressIndicator.h"

namespace {

// Slice i of frame f of the strips below.
uint32_t slice(int i, int f) { return 0xFFu | (uint32_t)(30 + 50 * i) << 8 | (uint32_t)(40 + 150 * f) << 16; }

struct Controls : uitest::Window {
  Controls() {
    static const IColor grey(255, 90, 90, 90);
    g->AttachPanelBackground(&grey);  // control 0, under everything
  }
  // A strip of w x h in two frames, top to bottom (side by side: in
  // columns), its slices along the other axis every step pixels.
  IBitmap strip(int id, int w, int h, bool sideBySide, int step) {
    std::vector<uint32_t> px((size_t)w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        px[(size_t)y * w + x] = sideBySide ? slice(y / step, x / (w / 2)) : slice(x / step, y / (h / 2));
    const std::string name = "strip" + std::to_string(id) + ".png";
    EXPECT_TRUE(RAST_WritePNG((res() + name).c_str(), px.data(), w, h, w, false));
    return g->LoadIBitmap(id, name.c_str(), 1.0, 2, sideBySide);
  }
  ICustomRadioButtonsControl* group(IRECT r, int buttons, IBitmap bm, EDirection dir = kHorizontal) {
    plug->GetParam(0)->InitEnum("group", 0, buttons > 1 ? buttons : 2);
    auto* c = new ICustomRadioButtonsControl(plug.get(), r, 0, buttons, &bm, dir);
    g->AttachControl(c);
    return c;
  }
  void open() {
    g->OpenWindow(nullptr);
    g->tick();
  }
};

TEST(CustomRadioButtons, LayoutClicksAndFrames) {
  Controls w;
  auto* c = w.group(IRECT(10, 10, 170, 40), 4, w.strip(900, 160, 40, false, 40));
  w.open();
  EXPECT_EQ(c->ButtonWidth(), 40);
  EXPECT_EQ(c->ButtonHeight(), 20);
  ASSERT_EQ(c->GetButtonRECTs().size(), 4u);
  EXPECT_EQ(c->GetButtonRECTs()[3], IRECT(130, 10, 170, 30));

  w.g->press(95, 15);  // the third button
  w.g->release(95, 15);
  w.g->tick();
  EXPECT_DOUBLE_EQ(c->GetValue(), 2.0 / 3.0);
  EXPECT_EQ(w.plug->changes, std::vector<int>{0});
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w.g->screenPixel(30 + 40 * i, 20), slice(i, i == 2 ? 1 : 0)) << i;

  // Below the buttons, and a right click: the value stays.
  for (IMouseMod mod : {IMouseMod(true), IMouseMod(false, true)}) {
    w.g->press(mod.R ? 20 : 95, mod.R ? 15 : 35, mod);
    w.g->release(20, 15, mod);
  }
  EXPECT_DOUBLE_EQ(c->GetValue(), 2.0 / 3.0);
  EXPECT_EQ(w.plug->changes.size(), 1u);

  // Grayed out: drawn at full strength, and a click still chooses.
  c->GrayOut(true);
  IMouseMod left(true);
  c->OnMouseDown(15, 15, &left);
  w.g->tick();
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.0);
  EXPECT_EQ(w.g->screenPixel(30, 20), slice(0, 1));
  EXPECT_EQ(w.g->screenPixel(70, 20), slice(1, 0));
}

TEST(CustomRadioButtons, SelectionRoundsAndOneButtonGivesZero) {
  Controls w;
  auto* two = w.group(IRECT(0, 0, 40, 40), 2, w.strip(901, 40, 40, true, 20), kVertical);
  w.open();
  EXPECT_EQ(two->GetButtonRECTs()[1], IRECT(0, 20, 20, 40));
  for (auto [value, selected] : {std::pair{0.49, 0}, std::pair{0.5, 1}}) {
    two->SetValueFromPlug(value);
    w.g->tick();
    EXPECT_EQ(w.g->screenPixel(10, 10), slice(0, selected == 0)) << value;
    EXPECT_EQ(w.g->screenPixel(10, 30), slice(1, selected == 1)) << value;
  }

  IBitmap bm = w.g->getImageById(901, 0, true);  // a frame count below 1 counts as 1
  ICustomRadioButtonsControl one(w.plug.get(), IRECT(50, 0, 90, 40), 1, 1, &bm, kHorizontal);
  IMouseMod left(true);
  one.SetValue(1.0);
  one.OnMouseDown(55, 5, &left);
  EXPECT_EQ(one.GetValue(), 0.0);
  ICustomRadioButtonsControl none(w.plug.get(), IRECT(50, 0, 90, 40), 1, 0, &bm, kHorizontal);
  none.OnMouseDown(55, 5, &left);
  EXPECT_TRUE(none.GetButtonRECTs().empty());
}

TEST(ProgressIndicator, DrawsOnePictureAndIgnoresTheMouse) {
  Controls w;
  IBitmap bm = w.strip(902, 40, 40, false, 40);
  bm.N = 1;
  auto* layer = new ControlLayer(0, "PROGRESS");
  w.g->AttachLayer(layer);
  auto* p = new ProgressIndicator(layer, w.plug.get(), 10, 10, 30, 60, 0, &bm, IRECT(0, 0, 200, 120));
  EXPECT_EQ(layer->GetControl(0), p);
  EXPECT_TRUE(layer->GetIgnoreHidden());
  EXPECT_EQ(*p->GetRECT(), IRECT(10, 10, 50, 50));
  layer->Hide(false);
  w.open();
  const std::vector<uint32_t> shown = w.g->screenImage();
  EXPECT_EQ(w.g->screenPixel(20, 20), slice(0, 0));
  EXPECT_EQ(w.g->screenPixel(20, 40), slice(0, 1));
  EXPECT_NE(w.g->screenPixel(45, 20), slice(0, 0));  // the drawing rectangle bounds the picture
  p->SetValueFromPlug(1.0);
  w.g->press(20, 20);
  w.g->release(20, 20);
  w.g->tick();
  EXPECT_EQ(w.g->screenImage(), shown);
  EXPECT_TRUE(w.plug->changes.empty());
}

}  // namespace
