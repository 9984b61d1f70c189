// Heap and system bitmaps: row spans, alignment, growth, empty and
// impossible sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <tuple>

#include "platform/surface.h"
#include "raster/bitmap.h"
#include "raster/rectops.h"
#include "shim/wingdi.h"

namespace {
bool aligned64(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 63) == 0; }

// Width, height and row span of a bitmap.
std::tuple<int, int, int> dims(RAST_IBitmap& b) { return {b.getWidth(), b.getHeight(), b.getRowSpan()}; }

// An empty bitmap: no size and no pixels.
void expectEmpty(RAST_IBitmap& b, int line) {
  SCOPED_TRACE(line);
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_EQ(b.getHeight(), 0);
  EXPECT_EQ(b.getBits(), nullptr);
}
}  // namespace

TEST(MemBitmap, SpanAlignmentAndSize) {
  RAST_MemBitmap b(10, 5, 4);
  EXPECT_EQ(dims(b), std::make_tuple(10, 5, 12));
  EXPECT_EQ(b.allocatedBytes(), 240);
  ASSERT_NE(b.getBits(), nullptr);
  EXPECT_TRUE(aligned64(b.getBits()));
  EXPECT_FALSE(b.isFlipped());
  EXPECT_EQ(b.getDC(), nullptr);
  EXPECT_EQ(b.Extended(1, nullptr), 0);
  // every pixel of every row is writable (the sanitizer checks)
  for (int i = 0; i < 5 * 12; ++i) b.getBits()[i] = 1;

  // Only the lowest set bit of the alignment counts; large ones are honoured.
  const struct {
    int w;
    unsigned align;
    int span;
  } cases[] = {{10, 0, 10}, {10, 1, 10}, {10, 6, 10}, {10, 12, 12}, {10, 64, 64}, {1, 1u << 20, 1 << 20}};
  for (const auto& c : cases) EXPECT_EQ(RAST_MemBitmap(c.w, 2, c.align).getRowSpan(), c.span) << c.align;
  // an alignment that no row can satisfy leaves an empty bitmap
  RAST_MemBitmap impossible(1, 1, 1u << 31);
  expectEmpty(impossible, __LINE__);
}

TEST(MemBitmap, GrowsByAQuarterAndNeverShrinks) {
  RAST_MemBitmap b(100, 100, 4);
  EXPECT_EQ(b.allocatedBytes(), 40000);
  EXPECT_TRUE(b.resize(50, 50));
  EXPECT_EQ(b.allocatedBytes(), 40000);
  EXPECT_EQ(b.getRowSpan(), 52);
  EXPECT_TRUE(b.resize(110, 100));
  EXPECT_EQ(b.getRowSpan(), 112);
  EXPECT_EQ(b.allocatedBytes(), 56000);
  EXPECT_TRUE(aligned64(b.getBits()));
  EXPECT_FALSE(b.resize(110, 100));  // same size: nothing changes
}

TEST(MemBitmap, EmptyAndImpossibleSizes) {
  RAST_MemBitmap b(20, 20, 4);
  EXPECT_TRUE(b.resize(0, 7));
  expectEmpty(b, __LINE__);
  EXPECT_EQ(b.allocatedBytes(), 0);

  // Two negative dimensions make no positive size.
  RAST_MemBitmap n(-100, -100, 4), m(100, -3, 4);
  expectEmpty(n, __LINE__);
  expectEmpty(m, __LINE__);

  // A byte size beyond the int range is refused, not wrapped to a small
  // buffer; resize still reports a change. Both dimensions at the top of the
  // int range, also under the widest alignment: the byte count itself must
  // not overflow.
  RAST_MemBitmap o(10, 10, 4);
  for (auto [w, h] : {std::pair{70000, 70000}, std::pair{INT_MAX, 1}, std::pair{INT_MAX, INT_MAX}}) {
    EXPECT_TRUE(o.resize(w, h));
    expectEmpty(o, __LINE__);
  }
  RAST_MemBitmap wide(INT_MAX, INT_MAX, 1u << 30);
  expectEmpty(wide, __LINE__);
  // and it works again afterwards
  EXPECT_TRUE(o.resize(3, 3));
  EXPECT_NE(o.getBits(), nullptr);
  EXPECT_EQ(o.getRowSpan(), 4);

  RAST_MemBitmap z;
  EXPECT_EQ(z.getBits(), nullptr);
  EXPECT_EQ(z.getRowSpan(), 0);
}

TEST(SysBitmap, SurfaceLayoutAndGrowth) {
  RAST_SysBitmap b(5, 3);
  EXPECT_EQ(dims(b), std::make_tuple(5, 3, 8));
  ASSERT_NE(b.getBits(), nullptr);
  EXPECT_TRUE(aligned64(b.getBits()));
  for (int i = 0; i < 8 * 3; ++i) b.getBits()[i] = 0;  // the whole surface is usable
  RAST_pixel* first = b.getBits();

  // The pixels are the frame buffer of a memory context whose rows are
  // exactly the allocated width.
  HDC dc = b.getDC();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(static_cast<void*>(first), SHIM_GetCtxFrameBuffer(dc));
  ASSERT_NE(SHIM_GetCtxGC(dc), nullptr);
  EXPECT_EQ(SHIM_GetCtxGC(dc)->width, 8);
  EXPECT_EQ(SHIM_GetCtxGC(dc)->height, 3);

  EXPECT_TRUE(b.resize(7, 2));  // fits: same surface, same span, same context
  EXPECT_EQ(dims(b), std::make_tuple(7, 2, 8));
  EXPECT_EQ(b.getBits(), first);
  EXPECT_EQ(b.getDC(), dc);

  EXPECT_TRUE(b.resize(9, 2));  // wider: a new surface 12 wide
  EXPECT_EQ(b.getRowSpan(), 12);
  ASSERT_NE(b.getBits(), nullptr);
  ASSERT_NE(b.getDC(), nullptr);
  EXPECT_EQ(static_cast<void*>(b.getBits()), SHIM_GetCtxFrameBuffer(b.getDC()));
  EXPECT_FALSE(b.resize(9, 2));
}

TEST(SysBitmap, TextThroughTheContextLeavesTheAlphaByte) {
  // Text drawn through the context lands in the bitmap's red, green and blue
  // bytes; the alpha byte stays as the raster library left it.
  RAST_SysBitmap bm(40, 20);
  RAST_Clear(&bm, RAST_RGBA(0, 0, 0, 77));
  HFONT f = CreateFont(-14, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  SelectObject(bm.getDC(), f);
  SetTextColor(bm.getDC(), 0xFFFFFF);
  RECT r = {0, 0, 40, 20};
  EXPECT_GT(SHIM_DrawText(bm.getDC(), "Hi", -1, &r, 0), 0);
  bool ink = false;
  for (int i = 0; i < bm.getRowSpan() * 20; ++i) {
    ASSERT_EQ(RAST_GETA(bm.getBits()[i]), 77);
    ink |= RAST_GETR(bm.getBits()[i]) > 0;
  }
  EXPECT_TRUE(ink);
  SelectObject(bm.getDC(), reinterpret_cast<HGDIOBJ>(3));
  DeleteObject(f);
}

namespace {
class FlippedSys : public RAST_SysBitmap {
 public:
  FlippedSys(int w, int h) : RAST_SysBitmap(w, h) {}
  bool isFlipped() override { return true; }
};
}  // namespace

TEST(SysBitmap, EmptyNegativeAndHugeSizes) {
  // Zero and negative sizes are empty sizes: no surface, no pixels.
  for (auto [w, h] : {std::pair{0, 0}, std::pair{-5, -7}}) {
    RAST_SysBitmap z(w, h);
    expectEmpty(z, __LINE__);
    EXPECT_EQ(z.getDC(), nullptr);
  }
  RAST_SysBitmap b(10, 10);
  EXPECT_FALSE(b.resize(10, 0));  // a size without pixels
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_EQ(b.getWidth(), 10);
  EXPECT_EQ(b.getHeight(), 0);

  RAST_SysBitmap m(8, 8);
  EXPECT_FALSE(m.resize(-1, 8));  // a negative size counts as 0
  EXPECT_EQ(m.getBits(), nullptr);
  EXPECT_EQ(m.getWidth(), 0);

  // A surface too large for the int range fails like an allocation.
  RAST_SysBitmap huge(4, 4);
  EXPECT_TRUE(huge.resize(INT_MAX, 2));
  expectEmpty(huge, __LINE__);

  // A flipped bitmap that shrinks shows its last rows.
  FlippedSys f(4, 6);
  RAST_pixel* first = f.getBits();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(f.resize(4, 2));
  EXPECT_EQ(f.getBits(), first + 4 * 4);
}
