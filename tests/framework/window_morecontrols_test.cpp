// The controls the editor itself never builds, the drawing wrappers over the
// raster library, and preset files chosen through the file prompt.
#include <cmath>
#include <functional>
#include <string>

#include "framework/IBitmapControls.h"
#include "raster/bitmap.h"
#include "raster/blit.h"
#include "raster/circles.h"
#include "raster/deltablit.h"
#include "raster/fills.h"
#include "raster/lines.h"
#include "raster/rectops.h"
#include "support_window.h"

class MoreControls : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Make(120, 60);
  }
  void click(int x, int y) {
    g->press(x, y);
    g->release(x, y);
  }
};

TEST_F(MoreControls, SwitchesPressAndPrompt) {
  auto* invisible = Add<IInvisibleSwitchControl>(IRECT(0, 0, 10, 10), 0);
  PutImage("two.png", 10, 20, 2);
  IBitmap two = Load(1, "two.png", 2);
  InitEnum(4, {"a", "b", "c"});
  auto* popup = Add<ISwitchPopUpControl>(20, 0, 4, &two);
  popup->DisablePrompt(false);
  AttachAndOpen();
  const std::vector<uint32_t> before = g->screenImage();
  for (int i = 0; i < 3; ++i) click(5, 5);
  EXPECT_EQ(plug->changeValues, std::vector<double>({10, 0, 10}));
  g->tick();
  ExpectSameOutside(before, IRECT());  // it draws nothing
  EXPECT_EQ(invisible->GetValue(), 1.0);

  g->answerMenuByIndex({2});
  click(25, 5);
  ASSERT_EQ(g->menus().size(), 1u);
  EXPECT_EQ(plug->GetParam(4)->Int(), 2);
  EXPECT_EQ(popup->GetValue(), 1.0);
}

TEST_F(MoreControls, BitmapTextDrawsCharacterCFromFrameCMinus31) {
  PutImage("font.png", 6, 12 * 8, 8);  // frames for ' ' to '\''
  IBitmap font = Load(2, "font.png", 8);
  auto* centred = Add<IBitmapTextControl>(IRECT(10, 10, 40, 30), &font, "!#");
  IText left;
  left.mAlign = IText::kAlignNear;
  Add<IBitmapTextControl>(IRECT(50, 10, 80, 30), &font, "' ~", &left);
  AttachAndOpen();
  // Centred: two cells from x 19, y 14; left-aligned: one cell in, from x 56.
  const std::vector<std::pair<int, int>> cells = {{19, 1}, {25, 3}, {56, 7}, {62, 0}, {68, -1}};
  for (auto [x, colour] : cells)
    EXPECT_EQ(g->screenPixel(x + 2, 16), colour < 0 ? kPanelColor.Pack() : windowtest::FrameColor(colour)) << x;
  centred->SetTextFromPlug("!#");
  EXPECT_TRUE(g->tick().Empty());
  centred->SetTextFromPlug("$");
  g->tick();
  EXPECT_EQ(g->screenPixel(24, 16), windowtest::FrameColor(4));

  // Multi-line: a text wider than the rectangle goes on below.
  IRECT all(0, 0, 120, 60), r(0, 40, 14, 60);
  g->Draw(&all);  // blits are clipped to the area being drawn
  g->DrawBitmapedText(&font, &r, &left, nullptr, "!\"#", false, true, 6, 12);
  EXPECT_EQ(std::vector<uint32_t>({g->GetPoint(8, 41).Pack(), g->GetPoint(14, 41).Pack(), g->GetPoint(8, 53).Pack()}),
            std::vector<uint32_t>({windowtest::FrameColor(1), windowtest::FrameColor(2), windowtest::FrameColor(3)}));
}

TEST_F(MoreControls, URLAndFileSelectorPrompts) {
  Add<IURLControl>(IRECT(0, 0, 10, 10), "http://quillfen.example/help", "file:///help.html", "no browser");
  PutImage("open.png", 10, 10, 1);
  IBitmap open = Load(3, "open.png", 1);
  auto* files = Add<IFileSelectorControl>(IRECT(20, 0, 30, 10), 2, &open, kFileOpen, "/banks", "fxp fxb");
  AttachAndOpen();
  g->answerOpenURL(false);
  click(5, 5);
  g->answerOpenURL(true);
  click(5, 5);
  ASSERT_EQ(g->urls().size(), 3u);
  EXPECT_EQ(g->urls()[1].url, "file:///help.html");  // only after the first failed
  EXPECT_EQ(g->urls()[2].url, "http://quillfen.example/help");

  EXPECT_EQ(g->screenPixel(25, 5), windowtest::FrameColor(0));
  g->answerFilePrompt("/banks/a.fxp");
  click(25, 5);
  ASSERT_EQ(g->filePrompts().size(), 1u);
  EXPECT_EQ(g->filePrompts()[0].startFolder, "/banks");
  EXPECT_EQ(g->filePrompts()[0].types, std::vector<std::string>({"fxp", "fxb"}));
  KIT_String chosen;
  files->GetLastSelectedFileForPlug(&chosen);
  EXPECT_STREQ(chosen.Get(), "/banks/a.fxp");
  EXPECT_EQ(plug->GetParam(2)->Value(), 10.0);
  EXPECT_EQ(files->GetState(), IFileSelectorControl::kFSDone);
  g->tick();
  EXPECT_TRUE(files->IsDirty());  // once more after the selection
  EXPECT_EQ(files->GetState(), IFileSelectorControl::kFSNone);
}

TEST_F(MoreControls, PresetFilesComeFromTheFilePrompt) {
  AttachAndOpen();
  const std::string path = folders->data() + "p.fxp";
  g->answerFilePrompt(path);
  EXPECT_TRUE(plug->SaveProgramAsFXP());
  g->answerFilePromptCancel();
  EXPECT_FALSE(plug->LoadProgramFromFXP());
  g->answerFilePrompt(path);
  EXPECT_TRUE(plug->LoadProgramFromFXP());
  EXPECT_EQ(g->filePrompts().back().types, std::vector<std::string>({"fxp"}));
  EXPECT_EQ(g->filePrompts()[0].action, (int)kFileSave);
}

// Each wrapper against its raster function called on a copy of the surface.
TEST_F(MoreControls, WrappersDrawWhatTheirRasterFunctionsDraw) {
  PutImage("src.png", 16, 16, 2);
  IBitmap src = Load(4, "src.png", 2);
  PutImage("top.png", 6, 4, 1, 3);
  IBitmap top = Load(5, "top.png");
  AttachAndOpen();
  RAST_IBitmap* surface = g->GetDrawBitmap();
  const IColor colour(128, 10, 200, 30);
  const IChannelBlend add(IChannelBlend::kBlendAdd, 0.5f);
  const int mode = RasterBlendMode(nullptr), addMode = RasterBlendMode(&add);
  const RAST_pixel c = colour.Pack();
  IRECT crop(2, 6, 12, 12), box(30, 5, 50, 25);
  const int px[] = {60, 90, 100, 70}, py[] = {5, 10, 40, 30};
  IBitmap made;
  const struct {
    const char* name;
    std::function<void()> wrapper;
    std::function<void(RAST_IBitmap*)> raster;
  } cases[] = {
      {"DrawPoint", [&] { g->DrawPoint(&colour, 3, 4, &add); },
       [&](RAST_IBitmap* b) { RAST_PutPixel(b, 3, 4, colour.Pack(), 0.5f, RasterBlendMode(&add)); }},
      {"DrawPoint outside", [&] { g->DrawPoint(&colour, -1, 500); },
       [&](RAST_IBitmap* b) { RAST_PutPixel(b, -1, 500, colour.Pack(), 1.0f, RasterBlendMode(nullptr)); }},
      {"ForcePixel", [&] { g->ForcePixel(&colour, 7, 8); },
       [&](RAST_IBitmap* b) { RAST_PutPixel(b, 7, 8, colour.Pack(), 1.0f, 0); }},
      {"ScaleBitmap", [&] { made = g->ScaleBitmap(&src, 40, 8); },
       [&](RAST_IBitmap* b) {
         RAST_MemBitmap want(40, 8, 4);
         RAST_ScaledBlit(&want, src.mData, 0, 0, 40, 8, 0, 0, 16, 16, 1.0f, kRasterFilterBilinear);
         RAST_Blit(b, &want, 0, 20, 0, 0, 40, 8, 1.0f, 0);
       }},
      {"CropBitmap", [&] { made = g->CropBitmap(&src, &crop); },
       [&](RAST_IBitmap* b) { RAST_Blit(b, src.mData, 0, 20, 2, 6, 10, 6, 1.0f, 0); }},
      {"DrawLine", [&] { g->DrawLine(&colour, 3, 50, 110, 7, &add, true); },
       [&](RAST_IBitmap* b) { RAST_Line(b, 3, 50, 110, 7, c, 0.5f, addMode, true); }},
      {"DrawHorizontalLine", [&] { g->DrawHorizontalLine(&colour, 9, 130, -4); },
       [&](RAST_IBitmap* b) { RAST_Line(b, 130, 9, -4, 9, c, 1.0f, mode, false); }},
      {"DrawVerticalLine", [&] { g->DrawVerticalLine(&colour, 11, 2, 40, &add); },
       [&](RAST_IBitmap* b) { RAST_Line(b, 11, 2, 11, 40, c, 0.5f, addMode, false); }},
      {"DrawRadialLine", [&] { g->DrawRadialLine(&colour, 60.5f, 30.f, 2.0f, 5.f, 40.f, nullptr, true); },
       [&](RAST_IBitmap* b) {
         const float s = std::sin(2.0f), k = std::cos(2.0f);
         RAST_FLine(b, 60.5f + 5 * s, 30 - 5 * k, 60.5f + 40 * s, 30 - 40 * k, c, 1.0f, mode, true);
       }},
      {"DrawArc", [&] { g->DrawArc(&colour, 60, 30, 25.5f, -1.0f, 2.5f, &add, true); },
       [&](RAST_IBitmap* b) { RAST_Arc(b, 60, 30, 25.5f, -1.0f, 2.5f, c, 0.5f, addMode, true); }},
      {"DrawCircle", [&] { g->DrawCircle(&colour, 100.5f, 50, 19); },
       [&](RAST_IBitmap* b) { RAST_Circle(b, 100.5f, 50, 19, c, 1.0f, mode, false); }},
      {"FillCircle", [&] { g->FillCircle(&colour, 20, 40, 12.5f, &add, true); },
       [&](RAST_IBitmap* b) { RAST_FillCircle(b, 20, 40, 12.5f, c, 0.5f, addMode, true); }},
      {"DrawRect", [&] { g->DrawRect(&colour, &box, &add); },
       [&](RAST_IBitmap* b) { RAST_DrawRect(b, 30, 5, 19, 19, c, 0.5f, addMode); }},
      {"RoundRect", [&] { g->RoundRect(&colour, &box, nullptr, 6, true); },
       [&](RAST_IBitmap* b) { RAST_RoundRect(b, 30, 5, 19, 19, 6, c, 1.0f, mode, true); }},
      {"FillRoundRect square", [&] { g->FillRoundRect(&colour, &box, &add, 0); },
       [&](RAST_IBitmap* b) { RAST_FillRect(b, 30, 5, 20, 20, c, 0.5f, addMode); }},
      {"FillTriangle", [&] { g->FillTriangle(&colour, 20, 45, 118, 30, 60, 59, &add); },
       [&](RAST_IBitmap* b) { RAST_FillTriangle(b, 20, 45, 118, 30, 60, 59, c, 0.5f, addMode); }},
      {"FillIConvexPolygon", [&] { g->FillIConvexPolygon(&colour, px, py, 4); },
       [&](RAST_IBitmap* b) { RAST_FillConvexPolygon(b, px, py, 4, c, 1.0f, mode); }},
      {"DrawRotatedBitmap", [&] { g->DrawRotatedBitmap(&src, 70, 30, 0.7, 3, &add); },
       [&](RAST_IBitmap* b) {
         RAST_RotatedBlit(b, src.mData, 62, 22, 16, 16, 0, 0, 16, 16, 0.7f, true, 0.5f, addMode | 0x100, 0, 3);
       }},
      {"DrawRotatedMask", [&] { g->DrawRotatedMask(&src, &top, &top, 100, 40, -1.2); },
       [&](RAST_IBitmap* b) {
         RAST_Blit(b, src.mData, 100, 40, 0, 0, 16, 16, 1.0f, mode);
         RAST_RotatedBlit(b, top.mData, 100, 40, 16, 16, -5, -6, 16, 16, -1.2f, true, 1.0f, mode | 0x100, 0, 0);
         RAST_Blit(b, top.mData, 105, 46, 0, 0, 6, 4, 1.0f, mode);
       }},
  };
  for (const auto& c : cases) {
    RAST_MemBitmap want(surface->getWidth(), surface->getHeight(), 4);
    RAST_Blit(&want, surface, 0, 0, 0, 0, surface->getWidth(), surface->getHeight(), 1.0f, 0);
    made = IBitmap();
    c.wrapper();
    bool drew = false;  // every row but the one outside draws something
    for (int y = 0; y < surface->getHeight(); ++y)
      for (int x = 0; x < surface->getWidth(); ++x) drew |= RAST_GetPixel(surface, x, y) != RAST_GetPixel(&want, x, y);
    EXPECT_TRUE(drew || made.mData || std::string(c.name) == "DrawPoint outside") << c.name;
    c.raster(&want);
    if (made.mData) {  // a new bitmap: shown at (0, 20) of the surface to compare
      EXPECT_EQ(made.N, std::string(c.name) == "ScaleBitmap" ? 2 : 1) << c.name;
      RAST_Blit(surface, made.mData, 0, 20, 0, 0, made.W, made.H, 1.0f, 0);
      g->ReleaseBitmap(&made);
    }
    for (int y = 0; y < surface->getHeight(); ++y)
      for (int x = 0; x < surface->getWidth(); ++x)
        ASSERT_EQ(RAST_GetPixel(surface, x, y), RAST_GetPixel(&want, x, y)) << c.name << " " << x << "," << y;
  }
  EXPECT_EQ(g->GetPoint(7, 8), colour);  // forced as it is, alpha included
  const IColor got = g->GetPoint(3, 4);
  EXPECT_EQ(got.Pack(), RAST_GetPixel(surface, 3, 4));
  EXPECT_EQ(g->GetPoint(-1, 0), IColor(0, 0, 0, 0));
  EXPECT_EQ(g->GetBits(), (void*)surface->getBits());
  EXPECT_EQ(g->CropBitmap(&src, nullptr).mData, nullptr);
  EXPECT_FALSE(g->DrawLine(nullptr, 0, 0, 5, 5) || g->DrawRotatedBitmap(nullptr, 0, 0, 0.0));
}

// Outlines stay on the rectangle's own pixels; a rounded fill combines each
// pixel once (so an add shows no seams), leaves the corners and is the same
// mirrored both ways.
TEST_F(MoreControls, OutlinesStayInsideAndRoundedFillsCombineEachPixelOnce) {
  AttachAndOpen();
  const IColor ink(255, 20, 20, 20);
  const IChannelBlend add(IChannelBlend::kBlendAdd, 1.0f);
  const uint32_t panel = kPanelColor.Pack(), once = IColor(255, 110, 110, 110).Pack();
  IRECT r(10, 10, 40, 30), outline(50, 10, 60, 20), empty(70, 10, 70, 30);
  for (bool aa : {false, true}) {
    int shaded = 0;
    g->FillIRect(&kPanelColor, &r);
    g->FillRoundRect(&ink, &r, &add, 8, aa);
    for (int y = 8; y < 32; ++y)
      for (int x = 8; x < 42; ++x) {
        const uint32_t p = RAST_GetPixel(g->GetDrawBitmap(), x, y);
        ASSERT_EQ(p, RAST_GetPixel(g->GetDrawBitmap(), 49 - x, y)) << x << "," << y;
        ASSERT_EQ(p, RAST_GetPixel(g->GetDrawBitmap(), x, 39 - y)) << x << "," << y;
        // Red alone tells how much ink a pixel took: none to once.
        const uint32_t red = p & 0xFF00u;
        const bool outside = !r.Contains(x, y) || (x == 10 && y == 10);
        ASSERT_TRUE(outside ? p == panel
                            : aa ? red >= (panel & 0xFF00u) && red <= (once & 0xFF00u) : p == panel || p == once)
            << x << "," << y;
        shaded += p != panel && p != once;
      }
    EXPECT_EQ(shaded > 0, aa);
    EXPECT_EQ(g->GetPoint(25, 10).Pack(), once);
    EXPECT_EQ(g->GetPoint(10, 20).Pack(), once);
  }
  g->DrawRect(&ink, &outline);
  g->DrawRect(&ink, &empty);
  EXPECT_EQ(std::vector<uint32_t>({g->GetPoint(59, 19).Pack(), g->GetPoint(60, 19).Pack(), g->GetPoint(59, 20).Pack(),
                                   g->GetPoint(70, 15).Pack()}),
            std::vector<uint32_t>({ink.Pack(), panel, panel, panel}));
}

// The three drawn knobs turn by dragging as any knob and draw at
// min + (max - min) x value: straight up at 0, to the right at 0.5.
TEST_F(MoreControls, DrawnKnobsFollowTheirAngle) {
  const IColor ink(255, 250, 250, 250);
  const double pi = std::acos(-1.0);
  // Its outer radius of 100 is kept inside the rectangle.
  Add<IKnobLineControl>(IRECT(0, 0, 21, 21), 0, &ink, 2.0, 100.0, 0.0, pi);
  PutImage("bar.png", 21, 42, 2);  // top half colour 0, bottom half colour 1
  IBitmap bar = Load(6, "bar.png");
  Add<IKnobRotaterControl>(30, 0, 1, &bar, 0.0, pi);
  PutImage("base.png", 21, 21, 1, 2);
  PutImage("mask.png", 7, 21, 1, 3);
  PutImage("cap.png", 5, 5, 1, 4);
  IBitmap base = Load(7, "base.png"), mask = Load(8, "mask.png"), cap = Load(9, "cap.png");
  Add<IKnobRotatingMaskControl>(60, 0, 2, &base, &mask, &cap, 0.0, pi);
  AttachAndOpen();
  const uint32_t panel = kPanelColor.Pack(), white = ink.Pack();
  using windowtest::FrameColor;
  // {x, y, colour at value 0, colour at value 0.5}
  const std::tuple<int, int, uint32_t, uint32_t> points[] = {
      {10, 1, white, panel},  {10, 9, panel, panel},  {12, 10, panel, white},  {19, 10, panel, white},
      {11, 10, panel, panel}, {40, 5, FrameColor(0), panel}, {48, 21, FrameColor(1), FrameColor(0)},
      {40, 35, FrameColor(1), panel}, {33, 21, FrameColor(1), FrameColor(1)}, {70, 2, FrameColor(3), FrameColor(2)},
      {78, 10, FrameColor(2), FrameColor(3)}, {70, 10, FrameColor(4), FrameColor(4)}};
  for (auto [x, y, at0, at5] : points) EXPECT_EQ(g->screenPixel(x, y), at0) << x << "," << y;
  const std::vector<uint32_t> before = g->screenImage();
  // Four times the height in pixels is the whole range.
  for (auto [x, height] : {std::pair{10, 21}, {40, 42}, {70, 21}}) {
    g->press(x, 10);
    g->drag(x, 10 - 2 * height);
    g->release(x, 10 - 2 * height);
  }
  EXPECT_EQ(plug->changeValues, std::vector<double>({5, 5, 5}));
  g->tick();
  for (auto [x, y, at0, at5] : points) EXPECT_EQ(g->screenPixel(x, y), at5) << x << "," << y;
  ExpectSameOutside(before, IRECT(0, 0, 81, 42));  // nothing drawn beyond the knobs
}
