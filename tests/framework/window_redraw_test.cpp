// Dirty-area redraw: what a tick draws, and what reaches the screen image.
#include "framework/IBitmapControls.h"
#include "raster/bitmap.h"
#include "support_window.h"

using fwtest::Ints;

class Redraw : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Make(200, 120);
    PutImage("btn.png", 20, 40, 2);  // two frames of 20 x 20
    bmp = Load(1, "btn.png", 2);
    for (int i = 0; i < 4; ++i) ctl[i] = Add<Counted<IBitmapControl>>(10 + 40 * i, 10, i, &bmp);
    over = Add<Counted<IBitmapControl>>(60, 20, -1, &bmp);  // overlaps control 1 by its right half
    // Touches control 2's rectangle (90..110) from the right and the left.
    right = Add<Counted<IBitmapControl>>(110, 40, -1, &bmp);
    left = Add<Counted<IBitmapControl>>(70, 40, -1, &bmp);
  }
  void ResetDraws() {
    ctl[0]->draws = ctl[1]->draws = ctl[2]->draws = ctl[3]->draws = over->draws = right->draws = left->draws = 0;
  }
  IBitmap bmp;
  Counted<IBitmapControl>* ctl[4] = {};
  Counted<IBitmapControl>*over = nullptr, *right = nullptr, *left = nullptr;
};

TEST_F(Redraw, OneChangedControlRedrawsOnlyWhatMeetsItsArea) {
  AttachAndOpen();
  EXPECT_EQ(ctl[0]->draws, 1);  // the first display paints everything
  ResetDraws();
  EXPECT_TRUE(g->tick().Empty());  // the first frame's changes are settled
  EXPECT_TRUE(g->tick().Empty());
  EXPECT_EQ(ctl[0]->draws + ctl[1]->draws + over->draws, 0);

  std::vector<uint32_t> before = g->screenImage();
  g->SetParameterFromPlug(1, 10.0, false);
  IRECT drawn = g->tick();
  EXPECT_EQ(drawn, IRECT(50, 10, 70, 30));
  // The control and the one overlapping the area, nothing else.
  EXPECT_EQ(Ints({ctl[0]->draws, ctl[1]->draws, ctl[2]->draws, ctl[3]->draws, over->draws, right->draws, left->draws}),
            Ints({0, 1, 0, 0, 1, 0, 0}));
  ExpectSameOutside(before, drawn);
  EXPECT_EQ(g->screenPixel(55, 15), windowtest::FrameColor(1));  // frame 2 now shows
  EXPECT_EQ(g->tick(), drawn);  // changed since drawn: a second frame
  EXPECT_TRUE(g->tick().Empty());
}

TEST_F(Redraw, EdgesHiddenControlsAndTheBackground) {
  AttachAndOpen();
  g->tick();
  ResetDraws();
  // A control whose left edge lies on the area's right edge is drawn; one
  // whose right edge lies on the area's left edge is not.
  g->SetParameterFromPlug(2, 10.0, false);
  EXPECT_EQ(g->tick(), IRECT(90, 10, 110, 30));
  EXPECT_EQ(right->draws, 0);  // top 40 is below the area's bottom 30
  ResetDraws();
  ctl[2]->GetRECT()->B = 40;  // now the area reaches down to 40
  ctl[2]->SetDirty(false);
  g->tick();
  EXPECT_EQ(right->draws, 1);
  EXPECT_EQ(left->draws, 0);
  g->tick();

  // A dirty background alone is never asked.
  g->GetControl(0)->SetDirty(false);
  EXPECT_TRUE(g->tick().Empty());

  // Hidden: not drawn, and its rectangle is not collected...
  ResetDraws();
  ctl[3]->Hide(true);
  EXPECT_TRUE(g->tick().Empty());
  ctl[3]->SetValueFromPlug(0.9);
  EXPECT_TRUE(g->tick().Empty());
  EXPECT_EQ(ctl[3]->draws, 0);
  // ...unless it redraws while hidden: then the area under it is repainted
  // (the background shows through) while the control itself is not drawn.
  ctl[3]->SetRedrawWhileHidden(true);
  ctl[3]->SetDirty(false);
  std::vector<uint32_t> before = g->screenImage();
  EXPECT_EQ(g->tick(), IRECT(130, 10, 150, 30));
  EXPECT_EQ(ctl[3]->draws, 0);
  EXPECT_EQ(g->screenPixel(135, 15), kPanelColor.Pack());
  ExpectSameOutside(before, IRECT(130, 10, 150, 30));

  // Shown again: drawn on the next two frames.
  ctl[3]->SetRedrawWhileHidden(false);
  g->tick();
  ctl[3]->Hide(false);
  g->tick();
  g->tick();
  EXPECT_EQ(ctl[3]->draws, 2);
  EXPECT_TRUE(g->tick().Empty());
}

TEST_F(Redraw, ClosedWindowShowsNothingAndDrawWithoutControlsIsANoOp) {
  plug->AttachGraphics(g);
  attached = true;
  EXPECT_TRUE(g->tick().Empty());  // closed: no tick
  IRECT all(0, 0, 200, 120);
  EXPECT_FALSE(g->Draw(&all));  // drawn into the surface, but the screen is closed
  for (uint32_t p : g->screenImage()) ASSERT_EQ(p, 0u);
  g->OpenWindow(nullptr);
  EXPECT_EQ(g->screenPixel(0, 0), kPanelColor.Pack());
  EXPECT_EQ(g->screenPixel(15, 15), windowtest::FrameColor(0));
  g->CloseWindow();
  EXPECT_FALSE(g->WindowIsOpen());

  TestPlug other;
  IGraphicsHeadless empty(&other, 10, 10);
  empty.PrepDraw();
  IRECT r(0, 0, 10, 10);
  EXPECT_TRUE(empty.Draw(&r));  // nothing attached: skips even the screen
}

TEST_F(Redraw, ResizeToTheSameSizeDoesNothingAnotherRemakesSurfaceAndScreen) {
  AttachAndOpen();
  g->press(15, 15);
  g->Resize(200, 120);
  EXPECT_TRUE(plug->resizes.empty());
  EXPECT_NE(g->GetCapturedControl(), nullptr);
  g->Resize(300, 150);
  EXPECT_EQ(plug->resizes, (std::vector<std::pair<int, int>>{{300, 150}}));
  EXPECT_EQ(g->GetCapturedControl(), nullptr);
  EXPECT_EQ(g->GetDrawBitmap()->getWidth(), 300);
  EXPECT_EQ(g->screenImage().size(), 300u * 150u);
  IRECT all(0, 0, 300, 150);
  EXPECT_TRUE(g->Draw(&all));
  EXPECT_EQ(g->screenPixel(15, 15), windowtest::FrameColor(0));
}
