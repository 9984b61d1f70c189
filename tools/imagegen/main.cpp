// imagegen <uiconfig.xml> <output folder>
//
// Draws the window's 57 images in both colour themes: "<file>" for theme 0
// (slate) and "<stem>.black.png" for theme 1 (near black), flat in the
// output folder. Backgrounds placed once in the description carry the
// captions of the controls over them (their "name" attributes, the group
// labels of "paramGroup" and the entries of their value lists). The output
// depends only on the description, so two runs give identical files. Every
// file is written under a temporary name and renamed once all are written;
// a description that cannot be read stops the tool with a message and a
// non-zero status.
#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "raster/bitmap.h"
#include "raster/cachedfont.h"
#include "raster/circles.h"
#include "raster/pngwrite.h"
#include "raster/rectops.h"
#include "uiconfig/ImageSizes.h"
#include "uiconfig/ImageTable.h"

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

// A caption to draw onto a background, in the background's own pixels.
struct Caption {
  int x, y, w, h;
  std::string text;
  bool title;  // a group label (orange) rather than a control's name
};

// What the description says about one background: where it is placed and
// the captions over it. Backgrounds placed more than once get no captions.
struct Placement {
  int count = 0;
  int x = 0, y = 0;
  std::vector<Caption> captions;
  std::map<std::string, std::vector<int>> groups;  // label -> l, t, r, b of its controls
};

class Generator {
 public:
  bool read(const char* path) {
    if (m_doc.LoadFile(path) != tinyxml2::XML_SUCCESS) {
      std::fprintf(stderr, "imagegen: %s cannot be read: %s\n", path, m_doc.ErrorStr());
      return false;
    }
    const tinyxml2::XMLElement* root = m_doc.FirstChildElement("uiconfig");
    if (!root) {
      std::fprintf(stderr, "imagegen: %s has no uiconfig element\n", path);
      return false;
    }
    if (const tinyxml2::XMLElement* lists = root->FirstChildElement("valueLists"))
      for (const tinyxml2::XMLElement* l = lists->FirstChildElement("list"); l; l = l->NextSiblingElement("list"))
        for (const tinyxml2::XMLElement* v = l->FirstChildElement("value"); v; v = v->NextSiblingElement("value"))
          m_lists[attr(l, "name")].push_back(v->GetText() ? v->GetText() : "");
    countBackgrounds(root);
    walk(root, std::string());
    return true;
  }

  // Draws one image of one theme.
  void draw(const uiconfig::ImageRow& row, const FrameSize& fs, int theme, RAST_SysBitmap& bm) {
    const Theme& t = kThemes[theme];
    const std::string id = row.idString;
    RAST_Clear(&bm, 0);
    for (int f = 0; f < row.frames; ++f) {
      const int fx = row.sideBySide ? f * fs.w : 0, fy = row.sideBySide ? 0 : f * fs.h;
      const float on = row.frames > 1 ? static_cast<float>(f) / static_cast<float>(row.frames - 1) : 0.f;
      drawFrame(id, row.frames, f, on, fx, fy, fs.w, fs.h, t, bm);
    }
    auto it = m_places.find(id);
    if (it != m_places.end() && it->second.count == 1) drawCaptions(it->second, t, bm);
  }

 private:
  static std::string attr(const tinyxml2::XMLElement* e, const char* name) {
    const char* v = e->Attribute(name);
    return v ? v : "";
  }
  static std::vector<int> numbers(const std::string& text) {
    std::vector<int> out;
    size_t p = 0;
    while (p < text.size()) {
      size_t q = text.find(',', p);
      if (q == std::string::npos) q = text.size();
      out.push_back(std::atoi(text.substr(p, q - p).c_str()));
      p = q + 1;
    }
    return out;
  }

  void countBackgrounds(const tinyxml2::XMLElement* e) {
    for (const tinyxml2::XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
      if (std::string(c->Name()) == "background") {
        Placement& p = m_places[attr(c, "imageId")];
        std::vector<int> pos = numbers(attr(c, "position"));
        if (pos.size() >= 2 && ++p.count == 1) p.x = pos[0], p.y = pos[1];
      }
      countBackgrounds(c);
    }
  }

  // The rectangle a control element covers, at scale 1.
  bool controlRect(const tinyxml2::XMLElement* c, int& l, int& t, int& w, int& h) {
    std::vector<int> pos = numbers(attr(c, "position"));
    std::vector<int> b = numbers(attr(c, "bounds"));
    if (pos.size() >= 4 && pos[2] > 0) {  // menus: x, y, width
      l = pos[0], t = pos[1], w = pos[2], h = pos[3] > 0 ? pos[3] : 13;
    } else if (pos.size() >= 3) {
      l = pos[0], t = pos[1], w = pos[2], h = 13;
    } else if (pos.size() >= 2) {
      const FrameSize* fs = frameSize(attr(c, "imageId"));
      if (!fs) return false;
      l = pos[0], t = pos[1], w = fs->w, h = fs->h;
    } else if (b.size() >= 4) {
      l = b[0], t = b[1], w = b[2], h = b[3];
    } else {
      return false;
    }
    return true;
  }

  // Collects captions: each named control under the nearest background of
  // its layers that contains it.
  void walk(const tinyxml2::XMLElement* e, std::string background) {
    for (const tinyxml2::XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
      const std::string name = c->Name();
      if (name == "background") {
        if (attr(c, "imageId").find("PROT") == std::string::npos) background = attr(c, "imageId");
        continue;
      }
      if (name == "valueLists") continue;
      if (!c->FirstChildElement()) {
        caption(c, background);
        continue;
      }
      walk(c, background);
    }
  }

  void caption(const tinyxml2::XMLElement* c, const std::string& background) {
    auto it = m_places.find(background);
    const FrameSize* bs = frameSize(background);
    if (it == m_places.end() || it->second.count != 1 || !bs) return;
    Placement& p = it->second;
    int l, t, w, h;
    if (!controlRect(c, l, t, w, h)) return;
    l -= p.x, t -= p.y;
    if (l < 0 || t < 0 || l + w > bs->w || t + h > bs->h) return;
    const std::string label = attr(c, "name"), list = attr(c, "valueList"), type = attr(c, "type");
    const std::string img = attr(c, "imageId");
    if (type == "ccKnob" && img.rfind("LED_", 0) == 0 && m_lists.count(list)) {
      // An LED strip: one entry beside each dot; its stepping button names it.
      const std::vector<std::string>& entries = m_lists[list];
      for (size_t i = 0; i < entries.size(); ++i)
        p.captions.push_back({l + 14, t + 12 * static_cast<int>(i), 90, 12, entries[i], false});
    } else if (!label.empty() && c->Attribute("position") && std::string(c->Name()) != "multiFx") {
      if (h <= 18)  // small buttons: the name to the right
        p.captions.push_back({l + w + 4, t + (h - 12) / 2, 96, 12, label, false});
      else
        p.captions.push_back({l - 12, t + h + 1, w + 24, 12, label, false});
    }
    const std::string grp = attr(c, "paramGroup");
    if (!grp.empty() && grp != "Pattern") {
      std::vector<int>& g = p.groups[grp];
      if (g.empty()) g = {l, t, l + w, t + h};
      g[0] = std::min(g[0], l), g[1] = std::min(g[1], t), g[2] = std::max(g[2], l + w), g[3] = std::max(g[3], t + h);
    }
  }

  static HFONT font(int px) { return CreateFont(-px, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Panel Sans"); }

  void drawCaptions(const Placement& p, const Theme& t, RAST_SysBitmap& bm) {
    for (const auto& [label, g] : p.groups) {
      if (p.groups.size() < 2) break;  // one group: the background itself is the panel
      const int l = std::max(g[0] - 8, 0), top = std::max(g[1] - 22, 0);
      RAST_FillRect(&bm, l, top, g[2] + 8 - l, g[3] + 22 - top, t.panel, 1.f, RAST_BLIT_MODE_COPY);
      RAST_RoundRect(&bm, l, top, g[2] + 8 - l, g[3] + 22 - top, 4, t.panelEdge, 1.f, RAST_BLIT_MODE_COPY, false);
      std::string upper = label;
      for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      RAST_CachedFont f;
      f.SetFromHFont(font(12), RAST_FONT_FLAG_OWNS_HFONT);
      f.SetTextColor(t.orange);
      RECT r = {l + 6, top + 3, g[2], top + 17};
      f.DrawText(&bm, upper.c_str(), -1, &r, 0);
    }
    RAST_CachedFont f;
    f.SetFromHFont(font(9), RAST_FONT_FLAG_OWNS_HFONT);
    for (const Caption& c : p.captions) {
      f.SetTextColor(c.title ? t.orange : t.white);
      RECT r = {c.x, c.y, c.x + c.w, c.y + c.h};
      f.DrawText(&bm, c.text.c_str(), -1, &r, c.w == 96 || c.w == 90 ? 0 : DT_CENTER);
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
        RAST_FillRect(&bm, x + 4, y + c * 16 + 2, w - 8, 12, frames > 1 && f == 1 ? t.orange : t.button, 1.f,
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
    const bool display = id == "BG_ID_DISPLAY" || id == "BG_SEARCH_FIELD_ID" || id == "BG_RENAME_ID";
    const bool window = id == "BG_ID_PLAIN" || id == "BG_ID_MAIN" || (w >= 1480 && h >= 588);
    RAST_FillRect(&bm, x, y, w, h, display ? t.display : window ? t.window : t.panel, 1.f, RAST_BLIT_MODE_COPY);
    if (id == "BG_ID_PLAIN" || id == "BG_ID_MAIN") {
      RAST_FillRect(&bm, x, y, w, 110, t.panel, 1.f, RAST_BLIT_MODE_COPY);  // header
      RAST_FillRect(&bm, x, y + 704, w, 48, t.panel, 1.f, RAST_BLIT_MODE_COPY);  // bottom strip
    }
    RAST_RoundRect(&bm, x, y, w, h, 6, t.panelEdge, 1.f, RAST_BLIT_MODE_COPY, false);
  }

  tinyxml2::XMLDocument m_doc;
  std::map<std::string, std::vector<std::string>> m_lists;
  std::map<std::string, Placement> m_places;
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
