// A test window holding every control kind the system builds, written as a
// PNG (into the test's temporary folder, and also into the folder named by
// TAVRIN_TEST_OUTPUT_DIR when that is set), and a two-thread run in which
// one thread pushes values and texts while the other ticks.
#include <cstdlib>
#include <string>
#include <thread>

#include "framework/IBitmapControls.h"
#include "framework/IParam.h"
#include "framework/ITextControl.h"
#include "raster/bitmap.h"
#include "support_window.h"

class Picture : public WindowTest {};

TEST_F(Picture, EveryControlKindDrawsItsSelectedFrames) {
  Make(320, 200, 12, false);
  PutImage("bg.png", 320, 200, 1, 7);
  PutImage("bitmap.png", 20, 20, 1, 4);
  PutImage("switch.png", 20, 40, 2);
  PutImage("overlay.png", 30, 30, 1, 5);
  PutImage("radio.png", 16, 32, 2);
  PutImage("handle.png", 20, 10, 1);
  PutImage("knob.png", 24, 96, 4);
  PutImage("layer.png", 60, 40, 1, 6);
  g->AttachBackground(100, "bg.png");
  IBitmap bitmap = Load(1, "bitmap.png"), sw = Load(2, "switch.png", 2), ov = Load(3, "overlay.png"),
          radio = Load(4, "radio.png", 2), handle = Load(5, "handle.png"), knob = Load(6, "knob.png", 4),
          lay = Load(7, "layer.png");
  Add<IBitmapControl>(10, 10, -1, &bitmap);
  Add<ISwitchControl>(40, 10, 0, &sw);
  Add<IContactControl>(70, 10, 1, &sw);
  Add<IBitmapOverlayControl>(100, 10, 2, &ov, IRECT());  // shown
  Add<IBitmapOverlayControl>(140, 10, 3, &ov, IRECT());  // hidden
  Add<IRadioButtonsControl>(IRECT(10, 60, 26, 150), 4, 3, &radio);
  auto* fader = Add<IFaderControl>(40, 60, 90, 5, &handle);
  Add<IKnobMultiControl>(70, 60, 6, &knob);
  style = IText(14, &COLOR_WHITE, "Consolas", IText::kStyleBold);
  Add<ITextControl>(IRECT(110, 60, 310, 80), &style, "Sorrel 2 Editor");
  plug->GetParam(8)->InitInt("Cutoff", 64, 0, 127, "Hz");
  auto* caption = Add<ICaptionControl>(IRECT(110, 90, 310, 110), 8, &style, true);
  Add<IKnobMultiControl>(110, 120, 7, &knob)->GrayOut(true);
  auto* layer = new ControlLayer(1, "POPUP");
  layer->AttachControl(new IBitmapControl(plug.get(), 240, 130, -1, &lay));
  g->AttachLayer(layer);
  layer->Hide(false);

  for (int i = 4; i < 8; ++i) plug->GetParam(i)->InitInt("p", 0, 0, 10);
  plug->GetParam(0)->Set(10);  // switch on: frame 2
  plug->GetParam(7)->Set(10);  // grayed knob: frame 4 at half weight
  plug->GetParam(2)->Set(10);  // overlay shown
  plug->GetParam(4)->Set(5);   // radio button 2 of 3
  plug->GetParam(5)->Set(5);   // fader half way
  plug->GetParam(6)->Set(7);   // knob 0.7: frame 3
  AttachAndOpen();

  using windowtest::FrameColor;
  EXPECT_EQ(g->screenPixel(15, 15), FrameColor(4));  // bitmap
  EXPECT_EQ(g->screenPixel(45, 15), FrameColor(1));  // switch on
  EXPECT_EQ(g->screenPixel(75, 15), FrameColor(0));  // contact at rest
  EXPECT_EQ(g->screenPixel(105, 15), FrameColor(5));  // overlay shown
  EXPECT_EQ(g->screenPixel(145, 15), FrameColor(7));  // hidden overlay: the background
  EXPECT_EQ(g->screenPixel(250, 140), FrameColor(6));  // the layer over everything
  EXPECT_EQ(g->screenPixel(15, 60 + 37 + 5), FrameColor(1));  // the selected radio button
  EXPECT_EQ(g->screenPixel(15, 60 + 5), FrameColor(0));
  EXPECT_EQ(fader->GetHandleRECT(), IRECT(40, 100, 60, 110));
  EXPECT_EQ(g->screenPixel(45, 105), FrameColor(0));
  EXPECT_EQ(g->screenPixel(75, 70), FrameColor(2));  // knob frame 3
  // A grayed control is drawn at half weight over the background.
  EXPECT_NE(g->screenPixel(115, 125), g->screenPixel(140, 125));
  EXPECT_NE(g->screenPixel(115, 125), FrameColor(3));
  // The caption shows the display text and the label.
  EXPECT_STREQ(caption->GetTextForPlug(), "64 Hz");

  // The dump reads back as the screen image (written as RGB: alpha comes back opaque).
  ASSERT_TRUE(windowtest::WritePNG(folders->resources() + "window.png", g->screenImage().data(), g->Width(),
                                   g->Height(), g->Width(), false));
  std::unique_ptr<RAST_IBitmap> dump(g->OSLoadBitmap(0, "window.png"));
  ASSERT_TRUE(dump);
  EXPECT_EQ(std::make_pair(dump->getWidth(), dump->getHeight()), std::make_pair(320, 200));
  EXPECT_EQ(dump->getBits()[15 * 320 + 45], FrameColor(1));
  if (const char* dir = getenv("TAVRIN_TEST_OUTPUT_DIR"))
    windowtest::WritePNG(std::string(dir) + "/window.png", g->screenImage().data(), g->Width(), g->Height(),
                         g->Width(), false);
}

TEST_F(Picture, ValuesAndTextsFromAnotherThreadWhileTicking) {
  Make(200, 100, 8);
  PutImage("knob.png", 20, 80, 4);
  IBitmap knob = Load(1, "knob.png", 4);
  auto* text = Add<ITextControl>(IRECT(100, 10, 190, 30), &style, "start");
  for (int i = 0; i < 4; ++i) Add<IKnobMultiControl>(10 + 22 * i, 10, i, &knob);
  AttachAndOpen();
  std::thread pusher([&] {
    for (int n = 0; n < 2000; ++n) {
      KIT_MutexLock lock(plug->GetMutex());
      g->SetParameterFromPlug(n % 4, (double)(n % 11), false);
      g->GetControl(1 + (n % 4))->SetValueFromHardware((n % 7) / 6.0);
      text->SetTextFromPlug(n % 2 ? "odd" : "even");
    }
  });
  for (int n = 0; n < 300; ++n) g->tick();
  pusher.join();
  g->tick();
  g->tick();
  EXPECT_TRUE(g->tick().Empty());
  EXPECT_STREQ(text->GetTextForPlug(), "odd");
  // Nothing was cleaned without being drawn: repainting the whole window
  // changes no pixel of what the ticks left on the screen.
  const std::vector<uint32_t> shown = g->screenImage();
  IRECT all(0, 0, g->Width(), g->Height());
  g->Draw(&all);
  EXPECT_TRUE(shown == g->screenImage());
}

// A text control's revision moves with every change of its text and only
// then; a caption's moves whenever it is drawn from its parameter.
TEST_F(Picture, TextRevisionCountsChangesOnly) {
  Make(200, 100, 9);
  auto* text = Add<ITextControl>(IRECT(10, 10, 190, 30), &style, "start");
  plug->GetParam(8)->InitInt("Cutoff", 64, 0, 127, "Hz");
  auto* caption = Add<ICaptionControl>(IRECT(10, 40, 190, 60), 8, &style, false);
  AttachAndOpen();
  const uint32_t start = text->TextRevision();
  const std::pair<const char*, uint32_t> sets[] = {{"start", 0}, {"next", 1}, {"next", 1}, {nullptr, 2}, {"", 2}};
  for (const auto& [set, moved] : sets) {
    text->SetTextFromPlug(set);
    EXPECT_EQ(text->TextRevision() - start, moved) << (set ? set : "null");
  }
  // A text taken from the control's own text, and texts longer than before.
  const std::string longer(300, 'x');
  text->SetTextFromPlug(longer.c_str());
  text->SetTextFromPlug(text->GetTextForPlug() + 290);
  EXPECT_STREQ(text->GetTextForPlug(), "xxxxxxxxxx");
  text->SetTextFromPlug("a longer text than the room of a short one");
  EXPECT_STREQ(text->GetTextForPlug(), "a longer text than the room of a short one");
  EXPECT_EQ(text->TextRevision() - start, 5u);
  const uint32_t drawn = caption->TextRevision();
  caption->SetDirty(false);
  g->tick();
  EXPECT_NE(caption->TextRevision(), drawn);
  EXPECT_STREQ(caption->GetTextForPlug(), "64");
}
