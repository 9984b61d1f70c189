#include "shim/wingdi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/surface.h"
#include "platform/textengine.h"
#include "testsupport.h"

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/";
const std::string kSans = kDejaVu + "DejaVuSans.ttf", kMono = kDejaVu + "DejaVuSansMono.ttf";

HFONT font(int height, const char* face, int weight = FW_NORMAL, char italic = 0, char quality = 0, int width = 0) {
  return CreateFont(height, width, 0, 0, weight, italic, 0, 0, 0, 0, 0, quality, 0, face);
}
std::string pathOf(HFONT f) { return platform::fontGetFilePath(f->ct_FontRef); }
int pooledContexts() {
  int n = 0;
  SHIM_GetPoolSizes(&n, nullptr);
  return n;
}
int pooledObjects() {
  int n = 0;
  SHIM_GetPoolSizes(nullptr, &n);
  return n;
}

TEST(MemContext, LayoutSurfaceRecordAndRefusedSizes) {
  HDC dc = SHIM_CreateMemContext(nullptr, 7, 3);
  ASSERT_NE(dc, nullptr);
  void* bits = SHIM_GetCtxFrameBuffer(dc);
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bits) % 64, 0u);
  platform::Surface* s = SHIM_GetCtxGC(dc);
  ASSERT_EQ(s, dc->context);  // the first field is the surface
  EXPECT_EQ(static_cast<void*>(s->pixels), bits);
  EXPECT_EQ(s->width, 7);
  EXPECT_EQ(s->height, 3);
  EXPECT_EQ(s->span, 28);  // rows of exactly w pixels
  const uint8_t* p = static_cast<uint8_t*>(bits);
  for (int i = 0; i < 7 * 3 * 4; ++i) ASSERT_EQ(p[i], 0) << i;  // zero-filled
  EXPECT_EQ(GetTextColor(dc), 0);
  EXPECT_NE(dc->curtextcolobj, nullptr);
  SHIM_DeleteGfxContext(dc);
  // two negatives make no positive size; 40000 x 40000 x 4 bytes is beyond int
  for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-4, -4}, {0x7fffffff, 2}, {40000, 40000}})
    EXPECT_EQ(SHIM_CreateMemContext(nullptr, w, h), nullptr) << w << "x" << h;
}

TEST(MemContext, InvalidContextsDoNothing) {
  EXPECT_EQ(SHIM_GetCtxFrameBuffer(nullptr), nullptr);
  EXPECT_EQ(SHIM_GetCtxGC(nullptr), nullptr);
  EXPECT_EQ(GetTextColor(nullptr), -1);
  EXPECT_EQ(SelectObject(nullptr, reinterpret_cast<HGDIOBJ>(3)), nullptr);
  SHIM_DeleteGfxContext(nullptr);
  // A context over a foreign surface owns no pixels.
  std::vector<uint8_t> px(16 * 4);
  platform::Surface* s = platform::surfaceCreate(px.data(), 4, 4, 16);
  HDC dc = SHIM_CreateGfxContext(s);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SHIM_GetCtxFrameBuffer(dc), nullptr);
  EXPECT_EQ(SHIM_GetCtxGC(dc), s);
  // A released record lies in the free list and is refused everywhere.
  ASSERT_LT(pooledContexts(), 100);
  SHIM_DeleteGfxContext(dc);
  EXPECT_EQ(dc->_infreelist, 1);
  EXPECT_EQ(GetTextColor(dc), -1);
  EXPECT_EQ(SHIM_GetCtxGC(dc), nullptr);
  EXPECT_EQ(SetBkMode(dc, 1), 0);
  RECT r = {0, 0, 10, 10};
  EXPECT_EQ(SHIM_DrawText(dc, "x", -1, &r, 0), 0);
  platform::surfaceRelease(s);  // the surface stays with its owner
}

TEST(Pool, ListsAreCappedAt100ContextsAnd200Objects) {
  std::vector<HDC> dcs;
  for (int i = 0; i < 130; ++i) dcs.push_back(SHIM_CreateMemContext(nullptr, 2, 2));
  for (HDC d : dcs) SHIM_DeleteGfxContext(d);
  EXPECT_EQ(pooledContexts(), 100);
  // Taking one out and putting it back keeps the cap.
  HDC one = SHIM_CreateMemContext(nullptr, 1, 1);
  EXPECT_EQ(pooledContexts(), 99);
  SHIM_DeleteGfxContext(one);
  EXPECT_EQ(pooledContexts(), 100);
  std::vector<HGDIOBJ> pens;
  for (int i = 0; i < 230; ++i) pens.push_back(CreatePen(0, 1, 0xFF0000));
  for (HGDIOBJ p : pens) DeleteObject(p);
  EXPECT_EQ(pooledObjects(), 200);
}

TEST(Objects, PensBrushesStockAndReferences) {
  HPEN pen = CreatePen(0, -3, 0x00336699);
  ASSERT_NE(pen, nullptr);
  EXPECT_EQ(pen->type, SHIM_OBJ_PEN);
  EXPECT_EQ(pen->wid, 0);
  ASSERT_NE(pen->color, nullptr);
  EXPECT_FLOAT_EQ(pen->color->r, 0x33 / 255.f);  // 0x00RRGGBB
  EXPECT_FLOAT_EQ(pen->color->g, 0x66 / 255.f);
  EXPECT_FLOAT_EQ(pen->color->b, 0x99 / 255.f);
  HBRUSH brush = CreateSolidBrushAlpha(0xFFFFFF, 0.25f);
  EXPECT_EQ(brush->type, SHIM_OBJ_BRUSH);
  EXPECT_FLOAT_EQ(brush->color->a, 0.25f);
  // Stock objects survive every delete and never reach the pool, nor do the
  // pseudo handles 0-4.
  const int objs0 = pooledObjects();
  for (auto [stock, type] : {std::pair{NULL_PEN, SHIM_OBJ_PEN}, {NULL_BRUSH, SHIM_OBJ_BRUSH}}) {
    HGDIOBJ o = GetStockObject(stock);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->type, type);
    DeleteObject(o);
    EXPECT_EQ(GetStockObject(stock)->wid, -1);
  }
  EXPECT_EQ(GetStockObject(3), nullptr);
  for (uintptr_t h = 0; h <= 4; ++h) DeleteObject(reinterpret_cast<HGDIOBJ>(h));
  // A clone needs one more delete.
  EXPECT_EQ(SHIM_CloneGDIObject(pen), pen);
  EXPECT_EQ(SHIM_CloneGDIObject(reinterpret_cast<HGDIOBJ>(4)), nullptr);
  DeleteObject(pen);
  EXPECT_EQ(pen->_infreelist, 0);
  EXPECT_EQ(pen->type, SHIM_OBJ_PEN);
  DeleteObject(pen);
  DeleteObject(brush);
  const int objs1 = pooledObjects();
  if (objs0 < 199) {
    EXPECT_EQ(objs1, objs0 + 2);
    EXPECT_EQ(pen->_infreelist, 1);
    DeleteObject(pen);  // already free-listed: ignored
    EXPECT_EQ(pooledObjects(), objs1);
    EXPECT_EQ(SHIM_CloneGDIObject(pen), nullptr);
  }
}

TEST(Objects, SelectObjectSlotsAndPseudoHandles) {
  HDC dc = SHIM_CreateMemContext(nullptr, 4, 4);
  HFONT f1 = font(12, "DejaVu Sans"), f2 = font(14, "DejaVu Sans");
  HPEN pen = CreatePen(0, 1, 0);
  const HGDIOBJ pseudoFont = reinterpret_cast<HGDIOBJ>(3);
  EXPECT_EQ(SelectObject(dc, pseudoFont), pseudoFont);  // empty slot
  EXPECT_EQ(SelectObject(dc, f1), pseudoFont);          // into an empty slot: the type number
  EXPECT_EQ(SelectObject(dc, f1), f1);                  // already selected: itself
  EXPECT_EQ(SelectObject(dc, f2), f1);
  EXPECT_EQ(dc->curfont, f2);
  EXPECT_EQ(SelectObject(dc, pen), reinterpret_cast<HGDIOBJ>(1));
  EXPECT_EQ(dc->curpen, pen);
  EXPECT_EQ(SelectObject(dc, pseudoFont), f2);  // empties the slot, hands back the font
  EXPECT_EQ(dc->curfont, nullptr);
  EXPECT_EQ(dc->curpen, pen);
  // Bitmaps, pseudo handle 4 and free-listed records are refused.
  HGDIOBJ__ bitmap = {}, listed = {};
  bitmap.type = SHIM_OBJ_BITMAP;
  listed.type = SHIM_OBJ_FONT;
  listed._infreelist = 1;
  for (HGDIOBJ o : {&bitmap, reinterpret_cast<HGDIOBJ>(4), &listed}) EXPECT_EQ(SelectObject(dc, o), nullptr);
  for (HGDIOBJ o : {HGDIOBJ(f1), HGDIOBJ(f2), HGDIOBJ(pen)}) DeleteObject(o);
  SHIM_DeleteGfxContext(dc);
}

TEST(Fonts, SizesAndQuality) {
  const struct {
    int height, width;
    float size;
  } cases[] = {{0, 0, 10.f},    {1, 0, 10.f}, {-1, 0, 10.f},  {-12, 0, 12.f},   {12, 0, 12.f},
               {9000, 0, 10.f}, {0, 14, 14.f}, {0, -20, 20.f}, {8192, 0, 8192.f}, {2, 0, 2.f}};
  for (const auto& c : cases) {
    HFONT f = font(c.height, "DejaVu Sans", FW_NORMAL, 0, 0, c.width);
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->ct_FontRef, nullptr);
    EXPECT_EQ(f->type, SHIM_OBJ_FONT);
    EXPECT_FLOAT_EQ(platform::fontGetSize(f->ct_FontRef), c.size) << c.height << " " << c.width;
    DeleteObject(f);
  }
  const char quality[][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 3}, {4, 4}, {5, 0}, {-1, 0}, {static_cast<char>(0x83), 0}};
  for (auto [in, out] : quality) {
    HFONT f = font(10, "DejaVu Sans", FW_NORMAL, 0, in);
    EXPECT_EQ(f->font_quality, out) << int(in);
    DeleteObject(f);
  }
}

TEST(Fonts, NamesResolveToInstalledOrPinnedFaces) {
  ASSERT_TRUE(testsupport::fileExists(kSans) && testsupport::fileExists(kMono)) << "fonts-dejavu-core is needed";
  const std::string longName(3000, 'x');  // longer than the 899-byte field: cut, not overrun
  const struct {
    const char* face;
    int weight;
    char italic;
    std::string file;
  } cases[] = {
      {"Consolas", 400, 0, "DejaVuSans.ttf"},  // the framework's default face is not installed: sans
      {"NK57 Monospace", 400, 0, "DejaVuSansMono.ttf"},
      {"", 400, 0, "DejaVuSans.ttf"},
      {nullptr, 400, 0, "DejaVuSans.ttf"},
      {"DejaVu Sans Mono", 400, 0, "DejaVuSansMono.ttf"},  // installed
      {"dejavu sans", 400, 0, "DejaVuSans.ttf"},           // family names match in any case
      {"Consolas", 700, 0, "DejaVuSans-Bold.ttf"},
      {"NK57 Monospace", 700, 1, "DejaVuSansMono-BoldOblique.ttf"},
      {"Helvetica", 400, 1, "DejaVuSans-Oblique.ttf"},
      {longName.c_str(), 700, 1, "DejaVuSans-BoldOblique.ttf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.face ? std::string(c.face).substr(0, 20) : "(null)");
    HFONT f = font(12, c.face, c.weight, c.italic);
    ASSERT_NE(f->ct_FontRef, nullptr);
    EXPECT_EQ(pathOf(f), kDejaVu + c.file);
    EXPECT_EQ(platform::fontIsBold(f->ct_FontRef), c.weight >= 700);
    EXPECT_EQ(platform::fontIsItalic(f->ct_FontRef), c.italic != 0);
    DeleteObject(f);
  }
}

TEST(Fonts, ResolvedNamesAreCachedAndUnloadableFacesFallBack) {
  HFONT a = font(12, "Cache Probe Face");
  EXPECT_EQ(pathOf(a), kSans);
  // Once resolved, a name keeps its face even when the fallback changes.
  platform::setFallbackFacePaths(kMono.c_str(), kMono.c_str());
  HFONT b = font(16, "Cache Probe Face"), c = font(12, "Cache Probe Other");
  // A fallback face that cannot be loaded gives the label font.
  platform::setFallbackFacePaths(nullptr, "/nonexistent/NoSuchMono.ttf");
  HFONT d = font(-15, "Missing Mono Face For Fallback");
  platform::setFallbackFacePaths(nullptr, nullptr);
  EXPECT_EQ(pathOf(b), kSans);
  EXPECT_EQ(pathOf(c), kMono);
  ASSERT_NE(d, nullptr);  // never null but for exhausted memory
  ASSERT_NE(d->ct_FontRef, nullptr);
  EXPECT_EQ(pathOf(d), kSans);
  EXPECT_FLOAT_EQ(platform::fontGetSize(d->ct_FontRef), 15.f);
  for (HFONT f : {a, b, c, d}) DeleteObject(f);
}

TEST(Fonts, IndirectCopiesAFaceNameWithoutTerminator) {
  LOGFONT lf = {};
  lf.lfHeight = -11;
  lf.lfWeight = 700;
  lf.lfQuality = 3;
  std::memset(lf.lfFaceName, 'Q', sizeof(lf.lfFaceName));  // no NUL inside the record
  HFONT f = CreateFontIndirect(&lf);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->font_quality, 3);
  EXPECT_FLOAT_EQ(platform::fontGetSize(f->ct_FontRef), 11.f);
  EXPECT_TRUE(platform::fontIsBold(f->ct_FontRef));
  DeleteObject(f);
  EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
}

TEST(Fonts, CreatedFromSeveralThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &ok] {
      for (int i = 0; i < 20; ++i) {
        HFONT f = font(10 + t, ("Thread Face " + std::to_string(i % 5)).c_str());
        HDC dc = SHIM_CreateMemContext(nullptr, 8, 8);
        if (f && f->ct_FontRef && dc) ++ok[t];
        DeleteObject(f);
        SHIM_DeleteGfxContext(dc);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(ok, std::vector<int>(4, 20));
}

}  // namespace
