// Arbitrary text, rectangles and flags through the cached font (both paths)
// and the emulation layer's text drawing: every write must stay inside the
// bitmaps, whatever the input.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "raster/bitmap.h"
#include "raster/cachedfont.h"

namespace {

struct Fixture {
  RAST_SysBitmap surface{37, 23};
  RAST_MemBitmap heap{29, 17, 4};
  std::unique_ptr<RAST_CachedFont> fonts[4];
  Fixture() {
    const int flags[4] = {RAST_FONT_FLAG_FORCE_NATIVE, RAST_FONT_FLAG_SHADOW | RAST_FONT_FLAG_BLUR,
                          RAST_FONT_FLAG_VERTICAL | RAST_FONT_FLAG_BOTTOMUP | RAST_FONT_FLAG_MONO,
                          RAST_FONT_FLAG_VERTICAL | RAST_FONT_FLAG_OUTLINE | RAST_FONT_FLAG_INVERT};
    for (int i = 0; i < 4; ++i) {
      fonts[i] = std::make_unique<RAST_CachedFont>();
      fonts[i]->SetFromHFont(CreateFont(-(9 + 3 * i), 0, 0, 0, i == 1 ? 700 : 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans"),
                             RAST_FONT_FLAG_OWNS_HFONT | flags[i]);
    }
  }
};

int16_t take16(const uint8_t*& p, size_t& n) {
  if (n < 2) return 0;
  int16_t v;
  std::memcpy(&v, p, 2);
  p += 2;
  n -= 2;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture* fx = new Fixture;
  if (size < 12) return 0;
  const uint8_t sel = data[0];
  const uint32_t flagBits = data[1] | (static_cast<uint32_t>(data[2]) << 8) | (static_cast<uint32_t>(data[3]) << 24);
  const float opacity = static_cast<float>(data[4]) / 100.f;
  data += 5;
  size -= 5;
  RECT r;
  r.left = take16(data, size) % 80;
  r.top = take16(data, size) % 60;
  r.right = r.left + take16(data, size) % 90;
  const int count = static_cast<int8_t>(data[0]);
  ++data;
  --size;
  r.bottom = r.top + 30;
  std::vector<char> text(reinterpret_cast<const char*>(data), reinterpret_cast<const char*>(data) + size);
  text.push_back(0);

  RAST_CachedFont& f = *fx->fonts[sel & 3];
  f.SetCombineMode(sel >> 4, opacity);
  f.SetBkMode((sel >> 2) & 1);
  f.SetTextColor(RAST_RGBA(255, 200, 100, sel));
  RAST_IBitmap* bm = (sel & 8) ? static_cast<RAST_IBitmap*>(&fx->heap) : &fx->surface;
  RECT a = r, b = r;
  f.DrawText(bm, text.data(), count, &a, static_cast<int>(flagBits));
  f.DrawText(nullptr, text.data(), count, &b, static_cast<int>(flagBits | DT_CALCRECT));
  RECT c = r;
  SHIM_DrawText(fx->surface.getDC(), text.data(), count, &c, static_cast<int>(flagBits & 0x1FF));
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  const char* texts[] = {"Hello &World", "two\nlines\r\n", "\xE2\x82\xAC \xC3\xA9 \xF0\x9F\x98\x80", "&&&"};
  for (int i = 0; i < 4; ++i) {
    std::vector<uint8_t> s = {static_cast<uint8_t>(i * 5), static_cast<uint8_t>(i * 0x25), 1, 0, 100,
                              2, 0, 3, 0, 40, 0, 0xFF};
    s.insert(s.end(), texts[i], texts[i] + std::strlen(texts[i]));
    seeds.push_back(s);
  }
}
