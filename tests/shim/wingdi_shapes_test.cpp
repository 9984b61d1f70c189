#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "kit/ptrlist.h"
#include "platform/image.h"
#include "platform/pngwrite.h"
#include "platform/surface.h"
#include "shim/wingdi.h"
#include "support_windows.h"
#include "testsupport.h"

namespace {

// A memory context of w x h, white, antialiasing as asked.
struct Canvas {
  Canvas(int w, int h, bool aa = true) : dc(SHIM_CreateMemContext(nullptr, w, h)) {
    s = SHIM_GetCtxGC(dc);
    platform::surfaceSetAntialias(s, aa);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) std::memset(px(x, y) + 1, 0xFF, 3);
  }
  ~Canvas() { SHIM_DeleteGfxContext(dc); }
  uint8_t* px(int x, int y) { return s->pixels + y * s->span + x * 4; }
  uint32_t rgb(int x, int y) { return (px(x, y)[1] << 16) | (px(x, y)[2] << 8) | px(x, y)[3]; }
  HDC dc;
  platform::Surface* s;
};

TEST(Shapes, LinesPixelsAndCutCorners) {
  for (bool aa : {false, true}) {
    Canvas c(16, 12, aa);
    HPEN pen = CreatePen(0, 1, 0x000000);
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    MoveToEx(c.dc, 2, 5, nullptr);
    EXPECT_EQ(SHIM_LineTo(c.dc, 9, 5), FALSE);  // the null pen: no line, no move
    POINT old{};
    MoveToEx(c.dc, 2, 5, &old);
    EXPECT_EQ(old.x, 2);
    SelectObject(c.dc, pen);
    EXPECT_EQ(SHIM_LineTo(c.dc, 9, 5), TRUE);
    for (int x = 0; x < 16; ++x)
      for (int y = 0; y < 12; ++y) {
        const bool on = y == 5 && x >= 2 && x <= 8, edge = aa && y == 5 && (x == 2 || x == 9);
        if (!edge) {
          EXPECT_EQ(c.rgb(x, y), on ? 0u : 0xFFFFFFu) << aa << " " << x << "," << y;
        }
      }
    SHIM_SetPixel(c.dc, 12, 9, 0x123456);
    EXPECT_EQ(c.rgb(12, 9), 0x123456u);
    EXPECT_EQ(c.rgb(11, 8), 0xFFFFFFu);
    EXPECT_EQ(c.rgb(13, 10), 0xFFFFFFu);
    EXPECT_EQ(c.px(12, 9)[0], 0);  // byte 0 is never written
    DeleteObject(pen);
  }
  Canvas c(32, 32, false);
  HBRUSH brush = CreateSolidBrush(0xFF0000);
  SelectObject(c.dc, brush);
  SelectObject(c.dc, GetStockObject(NULL_PEN));
  RoundRect(c.dc, 0, 0, 30, 30, 9, 9);
  EXPECT_EQ(c.rgb(0, 0), 0xFFFFFFu);
  EXPECT_EQ(c.rgb(0, 1), 0xFFFFFFu);
  EXPECT_EQ(c.rgb(1, 1), 0xFF0000u);    // its centre lies on the cut: a left edge counts
  EXPECT_EQ(c.rgb(28, 28), 0xFFFFFFu);  // on the far cut: a right edge does not
  EXPECT_EQ(c.rgb(27, 27), 0xFF0000u);
  EXPECT_EQ(c.rgb(15, 0), 0xFF0000u);
  Ellipse(c.dc, 0, 0, 30, 30);
  EXPECT_EQ(GetSysColor(10), 0);
  EXPECT_EQ(GetSysColor(8), 0xFFF0C8);
  DeleteObject(brush);
}

TEST(Images, StretchBltClipsScalesAndBlends) {
  Canvas src(100, 100), dst(200, 10);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) src.px(x, y)[0] = 0x80, src.px(x, y)[1] = static_cast<uint8_t>(x);
  dst.px(0, 0)[0] = 0x5A;
  BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 7, 0, SRCCOPY);
  EXPECT_EQ(dst.px(0, 0)[0], 0x5A);  // opaque copies keep byte 0
  EXPECT_EQ(dst.rgb(0, 0) >> 16, 7u);
  StretchBlt(dst.dc, 0, 0, 50, 1, src.dc, -10, 0, 50, 1, SRCCOPY);
  EXPECT_EQ(dst.rgb(9, 0) >> 16, 0xFFu);  // untouched left of x + 10
  EXPECT_EQ(dst.rgb(10, 0) >> 16, 0u);
  EXPECT_EQ(dst.rgb(49, 0) >> 16, 39u);
  EXPECT_EQ(dst.rgb(50, 0) >> 16, 0xFFu);
  StretchBlt(dst.dc, 0, 1, 100, 1, src.dc, -10, 0, 50, 1, SRCCOPY);
  EXPECT_EQ(dst.rgb(19, 1) >> 16, 0xFFu);
  EXPECT_EQ(dst.rgb(20, 1) >> 16, 0u);
  EXPECT_EQ(dst.rgb(21, 1) >> 16, 0u);
  EXPECT_EQ(dst.rgb(99, 1) >> 16, 39u);
  EXPECT_EQ(dst.rgb(100, 1) >> 16, 0xFFu);
  StretchBlt(dst.dc, 0, 2, 1, 1, src.dc, 0, 0, 1, 1, SHIM_ROP_ALPHA);  // half of 0 over 255
  EXPECT_EQ(dst.rgb(0, 2) >> 16, 127u);
  EXPECT_EQ(StretchBlt(dst.dc, INT_MAX, 0, INT_MAX, 1, src.dc, -50, 0, 2, 1, SRCCOPY), FALSE);  // past int
  EXPECT_EQ(StretchBlt(dst.dc, 0, 0, 5, 5, dst.dc, 0, 0, 0, 5, SRCCOPY), FALSE);
}

TEST(Images, BitmapsObjectsAndLists) {
  const uint8_t rgb[6] = {1, 2, 3, 4, 5, 6};  // exactly 2 x 1 at 24 bits
  HBITMAP b = CreateBitmap(2, 1, 1, 24, rgb);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(GetNSImageFromHICON(b)->pixel(1, 0)[2], 6);
  const uint8_t planar[8] = {0xFF, 0x80, 10, 20, 30, 40, 50, 60};  // A A R R G G B B
  HBITMAP p = CreateBitmap(2, 1, 4, 32, planar);
  const uint8_t* q = GetNSImageFromHICON(p)->pixel(1, 0);
  EXPECT_EQ((std::vector<int>{q[0], q[1], q[2], q[3]}), (std::vector<int>{20, 40, 60, 0x80}));
  for (int bpp : {8, 16}) EXPECT_EQ(CreateBitmap(2, 1, 1, bpp, rgb), nullptr);
  EXPECT_EQ(CreateBitmap(0, 1, 1, 32, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(1 << 30, 4, 1, 32, nullptr), nullptr);
  HBITMAP z = CreateBitmap(3, 3, 1, 32, nullptr);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(GetNSImageFromHICON(z)->pixel(2, 2)[3], 0);

  unsigned char buf[16];
  std::memset(buf, 7, sizeof buf);
  EXPECT_EQ(GetObject(b, 16, buf), 0);
  EXPECT_EQ(buf[15], 0);
  EXPECT_EQ(GetObject(b, 8, buf), 1);
  EXPECT_EQ(reinterpret_cast<BITMAP*>(buf)->bmWidth, 2);
  EXPECT_EQ(GetObject(b, -1, buf), 0);
  EXPECT_EQ(GetObject(b, 8, nullptr), 0);

  // 1:1 drawing is exact, and alpha blends over what is there
  Canvas c(4, 2);
  const RECT r{1, 0, 3, 1};
  DrawImageInRect(c.dc, p, &r);
  EXPECT_EQ(c.rgb(1, 0), 0x0A1E32u);
  EXPECT_EQ(c.rgb(2, 0), platform::blendChannel(255, 20, 0x80) * 0x10000u + platform::blendChannel(255, 40, 0x80) * 0x100u +
                             platform::blendChannel(255, 60, 0x80));
  EXPECT_EQ(c.rgb(0, 0), 0xFFFFFFu);

  ICONINFO info{1, 0, 0, nullptr, b};
  HBITMAP icon = CreateIconIndirect(&info);
  EXPECT_EQ(GetNSImageFromHICON(icon), GetNSImageFromHICON(b));  // shared
  info.fIcon = 0;
  EXPECT_EQ(CreateIconIndirect(&info), nullptr);

  HIMAGELIST list = ImageList_CreateEx();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ImageList_ReplaceIcon(list, -1, icon), i);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 1, b), 1);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 0, nullptr), -1);
  EXPECT_EQ(ImageList_Remove(list, 0), TRUE);
  EXPECT_EQ(list->GetSize(), 3);
  EXPECT_EQ(list->Get(0), nullptr);
  EXPECT_EQ(ImageList_Remove(list, 3), FALSE);
  EXPECT_EQ(ImageList_Remove(list, -1), TRUE);
  EXPECT_EQ(list->GetSize(), 0);
  ImageList_Destroy(list);
  for (HGDIOBJ o : {b, p, z, icon}) DeleteObject(o);
}

TEST(Images, NamedImagesByPathAndFromTheResourceFolder) {
  testsupport::ScopedFolders folders;
  const uint8_t px[8] = {0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x10, 0x20, 0x30};  // magenta, then a colour
  ASSERT_TRUE(platform::writePNG(folders.resources() + "knob.png", px, 2, 1, 8, true));
  HBITMAP byPath = LoadNamedImage((folders.resources() + "knob.png").c_str(), false);
  HBITMAP byName = LoadNamedImage("knob", true);
  ASSERT_TRUE(byPath && byName);
  EXPECT_TRUE(GetNSImageFromHICON(byName)->flipped);
  EXPECT_EQ(GetNSImageFromHICON(byPath)->pixel(0, 0)[3], 255);
  EXPECT_EQ(GetNSImageFromHICON(byName)->pixel(0, 0)[3], 0);
  EXPECT_EQ(GetNSImageFromHICON(byName)->pixel(1, 0)[3], 255);
  EXPECT_EQ(LoadNamedImage("missing", false), nullptr);
  EXPECT_EQ(LoadNamedImage(nullptr, false), nullptr);
  DeleteObject(byPath);
  DeleteObject(byName);
}

using WindowContexts = WindowTest;

TEST_F(WindowContexts, PaintContextStaysAndPoolRecordsAreReleased) {
  HWND w = TopLevel(0, 0, 100, 100);
  int before = 0, after = 0, objects = 0;
  HDC dc = GetDC(w);
  ASSERT_NE(dc, nullptr);
  SHIM_GetPoolSizes(&before, &objects);
  EXPECT_EQ(ReleaseDC(w, dc), 1);
  SHIM_GetPoolSizes(&after, &objects);
  EXPECT_EQ(after, before + 1);
  HDC painted = nullptr, got = nullptr;
  rec.hook = [&](const Msg& m, LRESULT* r) {
    if (m.msg != WM_PAINT) return false;
    PAINTSTRUCT ps;
    painted = BeginPaint(m.w, &ps);
    got = GetDC(m.w);
    ReleaseDC(m.w, got);
    EXPECT_TRUE(SHIM_IsValidContext(got));
    EndPaint(m.w, &ps);
    *r = 0;
    return true;
  };
  InvalidateRect(w, nullptr, 0);
  View(w)->window()->displayIfNeeded();
  ASSERT_NE(painted, nullptr);
  EXPECT_EQ(got, painted);
  EXPECT_EQ(GetDC(nullptr), nullptr);
}

}  // namespace
