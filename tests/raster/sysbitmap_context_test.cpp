// The system bitmap stands on a memory device context: its pixels are the
// context's frame buffer, so text drawn into the context shows in the bitmap.
#include <gtest/gtest.h>

#include "platform/surface.h"
#include "raster/bitmap.h"
#include "raster/rectops.h"
#include "shim/wingdi.h"

namespace {

TEST(SysBitmapContext, PixelsAreTheContextsFrameBuffer) {
  RAST_SysBitmap bm(5, 3);
  HDC dc = bm.getDC();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(static_cast<void*>(bm.getBits()), SHIM_GetCtxFrameBuffer(dc));
  platform::Surface* s = SHIM_GetCtxGC(dc);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->width, bm.getRowSpan());  // rows of exactly the allocated width
  EXPECT_EQ(s->height, 3);

  // Growing past the allocation makes a new context; shrinking keeps it.
  EXPECT_TRUE(bm.resize(4, 2));
  EXPECT_EQ(bm.getDC(), dc);
  EXPECT_TRUE(bm.resize(40, 20));
  ASSERT_NE(bm.getDC(), nullptr);
  EXPECT_EQ(static_cast<void*>(bm.getBits()), SHIM_GetCtxFrameBuffer(bm.getDC()));

  // Text drawn through the context lands in the bitmap's red, green and blue
  // bytes; the alpha byte stays as the raster library left it.
  RAST_Clear(&bm, RAST_RGBA(0, 0, 0, 77));
  HFONT f = CreateFont(-14, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  SelectObject(bm.getDC(), f);
  SetTextColor(bm.getDC(), 0xFFFFFF);
  RECT r = {0, 0, 40, 20};
  EXPECT_GT(SHIM_DrawText(bm.getDC(), "Hi", -1, &r, 0), 0);
  bool ink = false;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const RAST_pixel p = bm.getBits()[y * bm.getRowSpan() + x];
      ASSERT_EQ(RAST_GETA(p), 77);
      ink |= RAST_GETR(p) > 0;
    }
  EXPECT_TRUE(ink);
  SelectObject(bm.getDC(), reinterpret_cast<HGDIOBJ>(3));
  DeleteObject(f);

  RAST_SysBitmap empty(0, 0);
  EXPECT_EQ(empty.getDC(), nullptr);
}

}  // namespace
