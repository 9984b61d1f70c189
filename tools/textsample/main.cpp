// Draws a few lines of text through the cached font and the native path, in
// several alignments and effects, and saves the picture as
// <folder>/text_sample.png.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/pngwrite.h"
#include "raster/blit.h"
#include "raster/cachedfont.h"
#include "raster/gradblur.h"
#include "raster/rectops.h"

namespace {

bool writePng(const std::string& path, RAST_IBitmap& bm) {
  return platform::writePNG(path, reinterpret_cast<const uint8_t*>(bm.getBits()), bm.getWidth(), bm.getHeight(),
                            bm.getRowSpan() * 4, false);
}

HFONT makeFont(int px, const char* face, int weight = 400, int quality = 0) {
  return CreateFont(-px, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, static_cast<char>(quality), 0, face);
}

// One labelled band: a caption on the left, the sample in the band.
void caption(RAST_CachedFont& f, RAST_IBitmap& bm, int y, const char* text) {
  RECT r = {8, y, 150, y + 30};
  f.DrawText(&bm, text, -1, &r, DT_VCENTER);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  std::string out = argv[1];
  if (!out.empty() && out.back() != '/') out += '/';

  const int W = 640, H = 420;
  RAST_SysBitmap bm(W, H);
  if (!bm.getBits()) return 1;
  // A dark gradient background.
  RAST_GradRect(&bm, 0, 0, W, H, 0.10f, 0.12f, 0.16f, 1.f, 0.0002f, 0.0002f, 0.0003f, 0, 0.0006f, 0.0004f, 0.0002f, 0,
                0);

  RAST_CachedFont small;
  small.SetFromHFont(makeFont(11, "Consolas"), RAST_FONT_FLAG_OWNS_HFONT);
  small.SetTextColor(RAST_RGBA(160, 170, 190, 255));

  const char* kLine = "Brannick Tavrin: Filter 1 Cutoff 64";
  const RECT band = {160, 0, W - 40, 0};
  struct Sample {
    const char* label;
    int flags;       // font flags
    unsigned align;  // DrawText flags
    RAST_pixel fg;
    int bgmode;
    const char* face;
    int px;
  } samples[] = {
      {"native, left", RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_FORCE_NATIVE, DT_NOCLIP,
       RAST_RGBA(255, 255, 255, 255), 0, "Consolas", 14},
      {"native, centre, opaque", RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_FORCE_NATIVE, DT_CENTER,
       RAST_RGBA(20, 20, 30, 255), 1, "NK57 Monospace", 14},
      {"cached, right, 50%", RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_FORCE_NATIVE,
       DT_RIGHT | RAST_DT_USEFGALPHA, RAST_RGBA(255, 173, 0, 128), 0, "Consolas", 16},
      {"cached, shadow", RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_SHADOW, 0, RAST_RGBA(255, 255, 255, 255), 0,
       "DejaVu Sans", 18},
      {"cached, outline, centre", RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_OUTLINE, DT_CENTER,
       RAST_RGBA(20, 20, 20, 255), 0, "DejaVu Sans", 18},
      {"cached, mono, bold", RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_MONO, DT_RIGHT,
       RAST_RGBA(120, 230, 120, 255), 0, "NK57 Monospace Bold", 15},
      {"cached, blur glow", RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_BLUR, 0, RAST_RGBA(120, 200, 255, 255), 0,
       "DejaVu Sans", 16},
      {"cached, add mode", RAST_FONT_FLAG_OWNS_HFONT, DT_CENTER, RAST_RGBA(200, 60, 60, 255), 0, "DejaVu Sans", 20},
      {"two lines, bottom", RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_FORCE_NATIVE, DT_BOTTOM | DT_RIGHT,
       RAST_RGBA(230, 230, 160, 255), 0, "DejaVu Sans", 12},
  };
  int y = 10;
  for (const Sample& s : samples) {
    caption(small, bm, y, s.label);
    RAST_CachedFont f;
    f.SetFromHFont(makeFont(s.px, s.face), s.flags);
    f.SetTextColor(s.fg);
    f.SetEffectColor(RAST_RGBA(0, 0, 0, 255));
    f.SetBkMode(s.bgmode);
    f.SetBkColor(RAST_RGBA(230, 230, 210, 255));
    if (std::string(s.label) == "cached, add mode") f.SetCombineMode(RAST_BLIT_MODE_ADD, 1.f);
    if (std::string(s.label) == "cached, outline, centre") f.SetEffectColor(RAST_RGBA(255, 255, 255, 255));
    if (std::string(s.label) == "cached, shadow") f.SetEffectColor(RAST_RGBA(150, 60, 200, 255));
    RECT r = {band.left, y, band.right, y + (s.align & DT_BOTTOM ? 40 : 30)};
    RAST_FillRect(&bm, r.left, r.top, r.right - r.left, r.bottom - r.top, RAST_RGBA(255, 255, 255, 255), 0.06f, 0);
    const char* text = std::string(s.label) == "two lines, bottom" ? "First line of two\nSecond line, right" : kLine;
    f.DrawText(&bm, text, -1, &r, static_cast<int>(s.align));
    y += (s.align & DT_BOTTOM) ? 50 : 38;
  }
  // Vertical text down the right edge.
  RAST_CachedFont vert;
  vert.SetFromHFont(makeFont(14, "DejaVu Sans"), RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_VERTICAL);
  vert.SetTextColor(RAST_RGBA(255, 200, 200, 255));
  RECT vr = {W - 32, 10, W - 4, H - 10};
  vert.DrawText(&bm, "Vertical text, centred", -1, &vr, DT_VCENTER | DT_CENTER);

  const std::string path = out + "text_sample.png";
  if (!writePng(path, bm)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}
