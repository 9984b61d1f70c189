// imagegen <uiconfig.xml> <output folder>
//
// Draws the window's 57 images in both colour themes: "<file>" for theme 0
// (slate) and "<stem>.black.png" for theme 1 (near black), flat in the
// output folder. Each background carries what the window's layout puts on
// its first placement (the panels, their titles, the caption of each control
// that acts and the entries beside each LED selector), and each button
// picture with words carries them in every frame, so the window says in
// words what each control does. The output depends only on the
// description, so two runs give identical files. Every
// file is written under a temporary name and renamed once all are written;
// a description that cannot be read stops the tool with a message and a
// non-zero status.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "raster/bitmap.h"
#include "raster/circles.h"
#include "raster/pngwrite.h"
#include "raster/rectops.h"
#include "uiconfig/ImageSizes.h"
#include "uiconfig/ImageTable.h"
#include "uiconfig/InstrumentMap.h"
#include "uiconfig/WindowLayout.h"

namespace {

using uiconfig::FrameSize;
using uiconfig::frameSize;

// The colours of one theme.
struct Theme {
  RAST_pixel window, panel, panelEdge, display, knob, led, ledOff, button, white, orange, blue, dark;
};
const Theme kThemes[2] = {
    {RAST_RGBA(52, 60, 72, 255), RAST_RGBA(38, 44, 54, 255), RAST_RGBA(78, 88, 104, 255),
     RAST_RGBA(200, 214, 204, 255), RAST_RGBA(70, 80, 96, 255), RAST_RGBA(235, 60, 40, 255),
     RAST_RGBA(60, 30, 30, 255), RAST_RGBA(86, 96, 112, 255), RAST_RGBA(255, 255, 255, 255),
     RAST_RGBA(255, 173, 0, 255), RAST_RGBA(0, 174, 255, 255), RAST_RGBA(10, 10, 10, 255)},
    {RAST_RGBA(16, 16, 18, 255), RAST_RGBA(26, 26, 28, 255), RAST_RGBA(56, 56, 60, 255),
     RAST_RGBA(186, 190, 180, 255), RAST_RGBA(44, 44, 48, 255), RAST_RGBA(255, 40, 30, 255),
     RAST_RGBA(48, 20, 20, 255), RAST_RGBA(60, 60, 66, 255), RAST_RGBA(255, 255, 255, 255),
     RAST_RGBA(255, 173, 0, 255), RAST_RGBA(0, 174, 255, 255), RAST_RGBA(10, 10, 10, 255)},
};

constexpr float kPi = 3.14159265358979f;

// The patch display is light under its fixed dark texts; every other picture
// stays dark under the light ones (the search and rename fields write in
// light grey).
bool isDisplay(const std::string& id) { return id == "BG_ID_DISPLAY"; }

std::string readText(const char* path, bool& ok) {
  std::string text;
  ok = false;
  if (FILE* f = std::fopen(path, "rb")) {
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    ok = !std::ferror(f);
    std::fclose(f);
  }
  return text;
}

class Generator {
 public:
  bool read(const char* path) {
    bool ok = false;
    const std::string text = readText(path, ok);
    if (!ok) {
      std::fprintf(stderr, "imagegen: %s cannot be read\n", path);
      return false;
    }
    m_map = uiconfig::readInstrumentMap(text, "<sysexlist/>");
    if (!m_map.ok) {
      std::fprintf(stderr, "imagegen: %s: %s\n", path, m_map.error.c_str());
      return false;
    }
    m_art = uiconfig::layoutArt(m_map);
    return true;
  }

  // Draws one image of one theme: its frames, the words a button carries,
  // and the panels and texts of the description's first placement of it.
  void draw(const uiconfig::ImageRow& row, const FrameSize& fs, int theme, RAST_SysBitmap& bm) {
    const Theme& t = kThemes[theme];
    const std::string id = row.idString;
    RAST_Clear(&bm, 0);
    const std::vector<std::string> words = uiconfig::imageWords(m_map, id);
    const uiconfig::ImageText* wordsAt = uiconfig::imageText(id);
    for (int f = 0; f < row.frames; ++f) {
      const int fx = row.sideBySide ? f * fs.w : 0, fy = row.sideBySide ? 0 : f * fs.h;
      const float on = row.frames > 1 ? static_cast<float>(f) / static_cast<float>(row.frames - 1) : 0.f;
      drawFrame(id, row.frames, f, on, fx, fy, fs.w, fs.h, t, bm);
      // Words centred in the frame, or one per cell down a cell strip.
      const int cells = static_cast<int>(words.size()), cellH = cells > 0 ? fs.h / cells : 0;
      for (int c = 0; c < cells; ++c) {
        const uiconfig::TextExtent x = uiconfig::captionExtent(words[static_cast<size_t>(c)], wordsAt->px);
        const bool lit = cells > 1 && f == 1;
        uiconfig::drawCaptionText(&bm, words[static_cast<size_t>(c)], wordsAt->px, lit ? t.dark : t.white,
                                  fx + (fs.w - x.w) / 2, fy + c * cellH + (cellH - x.h) / 2);
      }
    }
    if (const uiconfig::Placement* p = m_art.placementOfImage(id)) drawArt(*p, id, t, bm);
  }

 private:
  void drawArt(const uiconfig::Placement& p, const std::string& id, const Theme& t, RAST_SysBitmap& bm) {
    const int ox = p.box.l, oy = p.box.t;
    for (const uiconfig::DrawnPanel& d : p.panels) {
      const int l = d.box.l - ox, top = d.box.t - oy, w = d.box.r - d.box.l, h = d.box.b - d.box.t;
      RAST_FillRect(&bm, l, top, w, h, t.panel, 1.f, RAST_BLIT_MODE_COPY);
      RAST_RoundRect(&bm, l, top, w - 1, h - 1, 4, t.panelEdge, 1.f, RAST_BLIT_MODE_COPY, false);
    }
    const bool light = isDisplay(id);
    for (const uiconfig::Caption& c : p.art) {
      const RAST_pixel colour = c.kind == uiconfig::CaptionKind::kTitle ? t.orange : light ? t.dark : t.white;
      uiconfig::drawCaptionText(&bm, c.text, c.px, colour, c.box.l - ox, c.box.t - oy);
    }
  }

  static void drawFrame(const std::string& id, int frames, int f, float on, int x, int y, int w, int h,
                        const Theme& t, RAST_SysBitmap& bm) {
    const bool knob = id.rfind("KNOB_ID", 0) == 0;
    const bool ledStrip = id.rfind("LED_", 0) == 0 && id.find("PROT") == std::string::npos;
    const bool protector = id.find("PROT") != std::string::npos;
    if (id.rfind("BG_", 0) == 0 || id == "MANAGER_BG_ID2" || id == "PROGRESS_INDICATOR_ID") {
      drawBackground(id, x, y, w, h, t, bm);
    } else if (knob) {
      const float cx = x + w / 2.f, cy = y + h / 2.f, r = w / 2.f - 4.f;
      RAST_FillCircle(&bm, cx, cy, r, t.knob, 1.f, RAST_BLIT_MODE_COPY, true);
      RAST_Arc(&bm, cx, cy, r - 1.f, -0.75f * kPi, 0.75f * kPi, t.panelEdge, 1.f, RAST_BLIT_MODE_COPY, true);
      const float a = -0.75f * kPi + 1.5f * kPi * on;
      const RAST_pixel arc = id == "KNOB_ID127_FC" ? t.blue : t.orange;
      for (float d = 0.f; d < 2.5f; d += 1.f)
        RAST_Arc(&bm, cx, cy, r - d, -0.75f * kPi, a, arc, 1.f, RAST_BLIT_MODE_COPY, true);
      RAST_FillCircle(&bm, cx + std::sin(a) * (r - 8.f), cy - std::cos(a) * (r - 8.f), 2.5f, t.white, 1.f,
                      RAST_BLIT_MODE_COPY, true);
    } else if (ledStrip) {
      const bool green = id == "LED_SINGLE_G_ID";
      const int dots = h / 12;
      for (int d = 0; d < dots; ++d) {
        const bool lit = dots == 1 ? f == 1 : d == f;
        const RAST_pixel c = lit ? (green ? RAST_RGBA(60, 230, 90, 255) : t.led) : t.ledOff;
        RAST_FillCircle(&bm, x + 6.f, y + 12.f * d + 6.f, 3.5f, c, 1.f, RAST_BLIT_MODE_COPY, true);
      }
    } else if (protector) {
      RAST_RoundRect(&bm, x + 1.f, y + 1.f, w - 2.f, h - 2.f, 3, t.panelEdge, 0.5f, RAST_BLIT_MODE_COPY, false);
    } else if (id == "BTN_RADIO_ARP_ID") {
      // 16 cells; frame 1 lit, frame 0 dark: the group draws the chosen cell.
      for (int c = 0; c < 16; ++c)
        RAST_FillRect(&bm, x + 2, y + c * 16 + 2, w - 4, 12, frames > 1 && f == 1 ? t.orange : t.button, 1.f,
                      RAST_BLIT_MODE_COPY);
    } else {
      // Buttons, switches, locks, checkboxes: a face, lit or marked when on.
      const int m = w >= 8 && h >= 8 ? 2 : 0;
      RAST_FillRect(&bm, x + m, y + m, w - 2 * m, h - 2 * m, t.button, 1.f, RAST_BLIT_MODE_COPY);
      if (frames > 1 && f > 0) {
        const int lw = std::max((w - 2 * m) * f / (frames - 1), 4);
        RAST_FillRect(&bm, x + m + 2, y + h - m - 4, lw - 4, 2, id.find("LOCK") != std::string::npos ? t.led
                                                                                                      : t.orange,
                      1.f, RAST_BLIT_MODE_COPY);
      }
      RAST_RoundRect(&bm, x + m, y + m, w - 2 * m, h - 2 * m, 3, t.panelEdge, 1.f, RAST_BLIT_MODE_COPY, false);
    }
  }

  static void drawBackground(const std::string& id, int x, int y, int w, int h, const Theme& t,
                             RAST_SysBitmap& bm) {
    if (id == "PROGRESS_INDICATOR_ID" || id == "BG_EVENT_OVERLAYER") {
      RAST_FillRect(&bm, x, y, w, h, (t.window & ~RAST_RGBA(0, 0, 0, 255)) | RAST_RGBA(0, 0, 0, 160), 1.f,
                    RAST_BLIT_MODE_COPY);
      return;
    }
    const bool display = isDisplay(id);
    const bool window = id == "BG_ID_PLAIN" || id == "BG_ID_MAIN" || (w >= 1480 && h >= 588);
    RAST_FillRect(&bm, x, y, w, h, display ? t.display : window ? t.window : t.panel, 1.f, RAST_BLIT_MODE_COPY);
    if (id == "BG_ID_PLAIN" || id == "BG_ID_MAIN") {
      RAST_FillRect(&bm, x, y, w, 110, t.panel, 1.f, RAST_BLIT_MODE_COPY);  // header
      RAST_FillRect(&bm, x, y + 704, w, 48, t.panel, 1.f, RAST_BLIT_MODE_COPY);  // bottom strip
    }
    RAST_RoundRect(&bm, x, y, w - 1, h - 1, 6, t.panelEdge, 1.f, RAST_BLIT_MODE_COPY, false);
  }

  uiconfig::InstrumentMap m_map;
  uiconfig::WindowArt m_art;
};

std::string blackName(const std::string& file) {
  return file.substr(0, file.rfind('.')) + ".black" + file.substr(file.rfind('.'));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: imagegen <uiconfig.xml> <output folder>\n");
    return 2;
  }
  Generator gen;
  if (!gen.read(argv[1])) return 1;
  std::string out = argv[2];
  if (!out.empty() && out.back() != '/') out += '/';
  std::vector<std::string> written;
  for (const uiconfig::ImageRow& row : uiconfig::kImageTable) {
    const FrameSize* fs = frameSize(row.idString);
    if (!fs) {
      std::fprintf(stderr, "imagegen: no frame size for %s\n", row.idString);
      return 1;
    }
    const int w = row.sideBySide ? fs->w * row.frames : fs->w, h = row.sideBySide ? fs->h : fs->h * row.frames;
    for (int theme = 0; theme < 2; ++theme) {
      RAST_SysBitmap bm(w, h);
      gen.draw(row, *fs, theme, bm);
      const std::string name = out + (theme ? blackName(row.file) : std::string(row.file));
      if (!RAST_WritePNG((name + ".tmp").c_str(), &bm, true)) {
        std::fprintf(stderr, "imagegen: %s cannot be written\n", name.c_str());
        for (const std::string& n : written) std::remove((n + ".tmp").c_str());
        return 1;
      }
      written.push_back(name);
    }
  }
  for (const std::string& n : written)
    if (std::rename((n + ".tmp").c_str(), n.c_str()) != 0) {
      std::fprintf(stderr, "imagegen: %s cannot be renamed\n", n.c_str());
      return 1;
    }
  return 0;
}
