// The window as the description lays it out: rectangles, the texts drawn
// into the backgrounds, and the sets of layers shown together.
#include "uiconfig/WindowLayout.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

#include "raster/cachedfont.h"
#include "uiconfig/ImageSizes.h"
#include "uiconfig/ImageTable.h"

namespace uiconfig {

namespace {

// ---- Text ----

// Measured texts are kept with their fonts for the life of the process: the
// checks and the image tool ask for the same few hundred again and again.
struct TextCache {
  std::mutex lock;
  std::map<int, std::unique_ptr<RAST_CachedFont>> captionFonts, menuFonts;
  std::map<std::pair<int, std::string>, TextExtent> caption, menu;
};

TextCache& textCache() {
  static TextCache* cache = new TextCache;  // kept to the end: fonts outlive every caller
  return *cache;
}

constexpr size_t kMaxMeasured = 256;     // longer texts are measured by their first bytes
constexpr size_t kMaxRemembered = 1 << 16;  // measured texts kept before the cache starts again

RAST_CachedFont& captionFontLocked(TextCache& c, int px) {
  std::unique_ptr<RAST_CachedFont>& f = c.captionFonts[px];
  if (!f) {
    f = std::make_unique<RAST_CachedFont>();
    f->SetFromHFont(CreateFont(-px, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, kCaptionFace),
                    RAST_FONT_FLAG_OWNS_HFONT);
  }
  return *f;
}

// The menu face as the window's font cache makes it for an IText size: the
// size asked as cell height, corrected once so that the line height comes
// out as asked, bound for native drawing.
RAST_CachedFont& menuFontLocked(TextCache& c, int size) {
  std::unique_ptr<RAST_CachedFont>& f = c.menuFonts[size];
  if (!f) {
    constexpr int kBind = RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_FORCE_NATIVE;
    const int h = size < 2 ? 2 : size;
    auto make = [](int height) {
      return CreateFont(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, ANTIALIASED_QUALITY, 0, "Panel Mono");
    };
    f = std::make_unique<RAST_CachedFont>();
    f->SetFromHFont(make(h), kBind);
    const int line = f->GetLineHeight();
    if (line > 0 && line != h) f->SetFromHFont(make(std::max(static_cast<int>(double(h) * h / line + 0.5), 2)), kBind);
  }
  return *f;
}

TextExtent measure(RAST_CachedFont& f, const std::string& text) {
  RECT r = {0, 0, 0, 0};
  f.DrawText(nullptr, text.c_str(), -1, &r, DT_CALCRECT | DT_NOCLIP);
  return {r.right - r.left, r.bottom - r.top};
}

// ---- Images ----

const ImageRow* imageRow(std::string_view id) {
  for (const ImageRow& r : kImageTable)
    if (id == r.idString) return &r;
  return nullptr;
}

// An image as loaded at a scale: the whole picture scaled and truncated
// (w, h), and one of its frames (fw, fh).
struct Scaled {
  int w = 0, h = 0, fw = 0, fh = 0, frames = 1;
  bool sideBySide = false;
};
bool scaledImage(std::string_view id, double s, Scaled& out) {
  const FrameSize* fs = frameSize(id);
  const ImageRow* row = imageRow(id);
  if (!fs || !row || row->frames < 1) return false;
  const int n = row->frames;
  out.frames = n;
  out.sideBySide = row->sideBySide;
  out.w = static_cast<int>((row->sideBySide ? fs->w * n : fs->w) * s);
  out.h = static_cast<int>((row->sideBySide ? fs->h : fs->h * n) * s);
  out.fw = row->sideBySide ? out.w / n : out.w;
  out.fh = row->sideBySide ? out.h : out.h / n;
  return true;
}

int valueAt(const std::vector<int>& v, size_t i) { return i < v.size() ? v[i] : 0; }

// The coordinate rule of the factories: scaled and cut toward zero.
int cut(double v) { return static_cast<int>(v); }

Box boundsBox(int x, int y, int w, int h, double s) {
  const int l = cut(x * s), t = cut(y * s);
  return {l, t, cut(l + w * s), cut(t + h * s)};
}

enum class Shape { kNone, kBitmap, kRadio, kSlider, kMenu, kPositionMenu, kBounds };

Shape shapeOf(const MapElement& e) {
  const std::string& t = e.type;
  if (e.tag == "switch" || e.tag == "autooff" || e.tag == "background") return Shape::kBitmap;
  if (e.tag == "radio") return Shape::kRadio;
  if (e.tag == "display" || e.tag == "dropMenu" || e.tag == "patchBrowser") return Shape::kBounds;
  if (e.tag == "multiFx") return t == "Menu" ? Shape::kPositionMenu : t == "Knob" || t == "Switch" ? Shape::kBitmap
                                                                                                   : Shape::kNone;
  if (t == "ccMenu" || t == "msbLsbMenu" || t == "seMenu") return Shape::kMenu;
  if (t.find("Slider") != std::string::npos) return Shape::kSlider;
  if (t == "ccKnob" || t == "msbLsbKnob" || t == "seKnob" || t == "seKnob2" || t == "ccButton" ||
      t == "msbLsbButton" || t == "seButton")
    return Shape::kBitmap;
  return Shape::kNone;
}

bool isLedStrip(const MapElement& e) {
  return e.img.rfind("LED_", 0) == 0 && e.img.find("PROT") == std::string::npos;
}

// The layer holds a protector at the element's position, later in the
// document: the picture takes the element's clicks.
bool isShielded(const InstrumentMap& m, size_t i) {
  const MapElement& e = m.elements[i];
  for (size_t j = i + 1; j < m.elements.size(); ++j) {
    const MapElement& p = m.elements[j];
    if (p.layer == e.layer && isProtector(p) && p.position.size() >= 2 && e.position.size() >= 2 &&
        p.position[0] == e.position[0] && p.position[1] == e.position[1])
      return true;
  }
  return false;
}

// ---- Layers ----

bool ancestorOrSelf(const InstrumentMap& m, int ancestor, int layer) {
  for (int l = layer, guard = 0; guard < 64; l = m.layers[static_cast<size_t>(l)].parent, ++guard) {
    if (l == ancestor) return true;
    if (l < 0) return false;
  }
  return false;
}

// The first element of a layer when it is a background that is no
// protector: the picture the layer's controls lie on.
int layerBackdrop(const InstrumentMap& m, int layer) {
  for (size_t i = 0; i < m.elements.size(); ++i)
    if (m.elements[i].layer == layer)
      return m.elements[i].tag == "background" && !isProtector(m.elements[i]) ? static_cast<int>(i) : -1;
  return -1;
}

// Top-level layers that the editor never shows, the strip below the pages
// (miniMixer on every page but the blank one), and the pages an overlay
// opens over (by name prefix; every page when not listed).
constexpr const char* kNeverShown[] = {"parameterRanges", "multiModeMixer"};
struct OverlayPages {
  const char* prefix;
  unsigned pages;
};
constexpr OverlayPages kOverlayPages[] = {
    {"patchRename", 1u << 1}, {"firstRunNotification", 1u << 2}, {"pattStepOverlayer", 1u << 3}};
constexpr int kMaxCombinations = 64;
constexpr size_t kMaxViews = 512;  // a description beyond it is checked in its first views

bool named(const MapLayer& l, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (l.name == n) return true;
  return false;
}

}  // namespace

// ---- Text ----

namespace {

// A text's extent in the font a size gives, remembered.
template <class Font>
TextExtent remembered(std::map<std::pair<int, std::string>, TextExtent>& extents, std::string_view text, int size,
                      Font font) {
  auto key = std::make_pair(size, std::string(text.substr(0, kMaxMeasured)));
  auto it = extents.find(key);
  if (it != extents.end()) return it->second;
  if (extents.size() >= kMaxRemembered) extents.clear();
  return extents[key] = measure(font(std::clamp(size, 2, 200)), key.second);
}

}  // namespace

TextExtent captionExtent(std::string_view text, int px) {
  TextCache& c = textCache();
  std::lock_guard<std::mutex> hold(c.lock);
  return remembered(c.caption, text, px, [&c](int size) -> RAST_CachedFont& { return captionFontLocked(c, size); });
}

TextExtent menuExtent(std::string_view text, int size) {
  TextCache& c = textCache();
  std::lock_guard<std::mutex> hold(c.lock);
  return remembered(c.menu, text, size, [&c](int n) -> RAST_CachedFont& { return menuFontLocked(c, n); });
}

void drawCaptionText(RAST_IBitmap* bm, std::string_view text, int px, RAST_pixel colour, int x, int y) {
  TextCache& c = textCache();
  std::lock_guard<std::mutex> hold(c.lock);
  RAST_CachedFont& f = captionFontLocked(c, std::clamp(px, 2, 200));
  f.SetTextColor(colour);
  const std::string t(text);
  RECT r = {x, y, x + 4096, y + 4096};
  f.DrawText(bm, t.c_str(), -1, &r, DT_NOCLIP);
}

// ---- Rectangles and kinds ----

bool elementRect(const MapElement& e, double s, Box& out) {
  const std::vector<int>& p = e.position;
  switch (shapeOf(e)) {
    case Shape::kNone:
      return false;
    case Shape::kBitmap:
    case Shape::kRadio:
    case Shape::kSlider: {
      Scaled im;
      if (p.size() < 2 || !scaledImage(e.img, s, im)) return false;
      const int l = cut(p[0] * s), t = cut(p[1] * s);
      if (shapeOf(e) == Shape::kRadio) {
        // The strip's two frames: side by side halve the width, else the height.
        out = im.sideBySide ? Box{l, t, l + im.w / 2, t + im.h} : Box{l, t, l + im.w, t + im.h / 2};
      } else if (shapeOf(e) == Shape::kSlider) {
        // A fader runs its length along its direction, a handle across it.
        const bool horizontal = e.type.find("Hor") != std::string::npos;
        out = horizontal ? Box{l, t, l + cut(e.length * s), t + im.fh} : Box{l, t, l + im.fw, t + cut(e.length * s)};
      } else {
        out = {l, t, l + im.fw, t + im.fh};
      }
      return true;
    }
    case Shape::kMenu:
      if (p.size() < 3) return false;
      out = boundsBox(p[0], p[1], p[2], 13, s);
      return true;
    case Shape::kPositionMenu:
      if (p.size() < 4) return false;
      out = boundsBox(p[0], p[1], p[2], p[3], s);
      return true;
    case Shape::kBounds:
      if (e.bounds.size() < 4) return false;
      out = boundsBox(e.bounds[0], e.bounds[1], e.bounds[2], e.bounds[3], s);
      return true;
  }
  return false;
}

bool isProtector(const MapElement& e) { return e.tag == "background" && e.img.find("PROT") != std::string::npos; }

bool actsOnClick(const InstrumentMap& m, size_t i) {
  const MapElement& e = m.elements[i];
  if (e.tag == "display" || e.tag == "background" || e.tag == "patchBrowser" || shapeOf(e) == Shape::kNone)
    return false;
  return !isShielded(m, i);
}

std::vector<std::string> menuTexts(const InstrumentMap& m, const MapElement& e) {
  std::vector<std::string> out;
  const Shape shape = shapeOf(e);
  const bool drop = e.tag == "dropMenu" && e.type == "dropSelection";
  if (shape != Shape::kMenu && shape != Shape::kPositionMenu && !drop) return out;
  const int n = valueAt(e.valueBounds, 2) - valueAt(e.valueBounds, 1);
  if (n <= 0 || n > 4096) return out;
  auto list = m.lists.find(e.list);
  if (list != m.lists.end() && list->second.size() == static_cast<size_t>(n)) return list->second;
  if (drop) return out;
  int first = -1, last = -1;
  const size_t colon = e.valueDisplay.find(':');
  if (colon != std::string::npos && e.valueDisplay.find(':', colon + 1) == std::string::npos) {
    first = std::atoi(e.valueDisplay.substr(0, colon).c_str());
    last = std::atoi(e.valueDisplay.substr(colon + 1).c_str());
  }
  if (first == last) return out;
  for (int v = 0; v < n; ++v) {
    const long long k = static_cast<long long>(first) + v;
    std::string text = std::to_string(k);
    if (shape == Shape::kPositionMenu && k >= 0 && k < 10) text = (e.param == 238 ? "0" : " ") + text;
    out.push_back(text);
  }
  return out;
}

// ---- Art ----

namespace {

// The caption a control asks for: its "label", else its name without the
// group it is shown in ("Osc 1 Tune" in group "Osc 1" reads "Tune"). Only
// controls that act get one unasked; a picture with words needs none.
std::string captionText(const InstrumentMap& m, size_t i) {
  const MapElement& e = m.elements[i];
  if (e.hasCaption) return e.caption;
  if (!actsOnClick(m, i) || !imageWords(m, e.img).empty()) return "";
  if (!e.grp.empty() && e.name.size() > e.grp.size() && e.name.compare(0, e.grp.size(), e.grp) == 0 &&
      e.name[e.grp.size()] == ' ')
    return e.name.substr(e.grp.size() + 1);
  return e.name;
}

std::vector<Caption> wantedCaptions(const InstrumentMap& m, size_t i) {
  std::vector<Caption> out;
  const MapElement& e = m.elements[i];
  Box r;
  if (!elementRect(e, 1.0, r)) return out;
  const std::string text = captionText(m, i);
  if (!text.empty()) {
    const TextExtent x = captionExtent(text, kCaptionPx);
    const std::string side = !e.captionAt.empty() ? e.captionAt : r.b - r.t <= 18 ? "right" : "below";
    const int cx = (r.l + r.r) / 2, cy = (r.t + r.b) / 2;
    Box b;
    if (side == "left") b = {r.l - 4 - x.w, cy - x.h / 2, r.l - 4, cy - x.h / 2 + x.h};
    else if (side == "above") b = {cx - x.w / 2, r.t - 2 - x.h, cx - x.w / 2 + x.w, r.t - 2};
    else if (side == "below") b = {cx - x.w / 2, r.b + 2, cx - x.w / 2 + x.w, r.b + 2 + x.h};
    else b = {r.r + 4, cy - x.h / 2, r.r + 4 + x.w, cy - x.h / 2 + x.h};
    out.push_back({CaptionKind::kLabel, text, b, kCaptionPx, static_cast<int>(i), -1});
  }
  // An LED selector lists its entries beside its dots, one dot per frame.
  const ImageRow* row = imageRow(e.img);
  auto list = m.lists.find(e.list);
  if (isLedStrip(e) && row && row->frames > 1 && list != m.lists.end() &&
      list->second.size() == static_cast<size_t>(row->frames))
    for (size_t k = 0; k < list->second.size(); ++k) {
      const TextExtent x = captionExtent(list->second[k], kEntryPx);
      const int top = r.t + 12 * static_cast<int>(k) + (12 - x.h) / 2;
      out.push_back({CaptionKind::kEntry, list->second[k], {r.l + 16, top, r.l + 16 + x.w, top + x.h}, kEntryPx,
                     static_cast<int>(i), -1});
    }
  return out;
}

Box panelBox(const MapPanel& p) {
  return {valueAt(p.bounds, 0), valueAt(p.bounds, 1), valueAt(p.bounds, 0) + valueAt(p.bounds, 2), valueAt(p.bounds, 1) + valueAt(p.bounds, 3)};
}

Caption titleOf(const InstrumentMap& m, size_t p) {
  const Box b = panelBox(m.panels[p]);
  const TextExtent x = captionExtent(m.panels[p].title, kTitlePx);
  return {CaptionKind::kTitle, m.panels[p].title, {b.l + 8, b.t + 3, b.l + 8 + x.w, b.t + 3 + x.h}, kTitlePx, -1,
          static_cast<int>(p)};
}

Caption moved(Caption c, int dx, int dy) {
  c.box = {c.box.l + dx, c.box.t + dy, c.box.r + dx, c.box.b + dy};
  return c;
}

}  // namespace

std::vector<std::string> imageWords(const InstrumentMap& m, const std::string& imageId) {
  const ImageText* t = imageText(imageId);
  if (!t) return {};
  if (t->text) return {t->text};
  for (const MapElement& e : m.elements) {
    auto list = m.lists.find(e.list);
    if (e.img == imageId && e.tag == "radio" && list != m.lists.end() &&
        list->second.size() == static_cast<size_t>(e.buttons))
      return list->second;
  }
  return {};
}

const Placement* WindowArt::placementOfImage(std::string_view imageId) const {
  for (const Placement& p : placements)
    if (p.imageId == imageId) return &p;
  return nullptr;
}

WindowArt layoutArt(const InstrumentMap& m) {
  WindowArt a;
  const size_t n = m.elements.size();
  a.elementPlacement.assign(n, -1);
  a.panelPlacement.assign(m.panels.size(), -1);
  a.wanted.resize(n);
  a.labelled.assign(n, 0);
  a.visible.assign(n, 0);

  std::vector<char> layerShown(m.layers.size(), 0);
  for (const WindowView& v : windowViews(m))
    for (size_t l = 0; l < m.layers.size(); ++l) layerShown[l] |= v.shown[l];
  auto shownLayer = [&](int layer) {
    for (int l = layer, guard = 0; l >= 0 && guard < 64; l = m.layers[static_cast<size_t>(l)].parent, ++guard)
      if (!layerShown[static_cast<size_t>(l)]) return false;
    return true;
  };

  a.placements.push_back({-1, "BG_ID_PLAIN", {0, 0, kWindowWidth, kWindowHeight}, {}, {}});
  std::vector<int> placementLayer = {-1};
  for (size_t i = 0; i < n; ++i) {
    const MapElement& e = m.elements[i];
    Box b;
    if (e.tag == "background" && !isProtector(e) && elementRect(e, 1.0, b)) {
      a.placements.push_back({static_cast<int>(i), e.img, b, {}, {}});
      placementLayer.push_back(e.layer);
    }
  }
  // The latest picture before a thing, in its own layer or one above, that
  // holds it whole; the window's own background otherwise.
  auto placementFor = [&](const Box& b, size_t before, int layer) {
    int best = 0;
    for (size_t p = 1; p < a.placements.size(); ++p) {
      const size_t el = static_cast<size_t>(a.placements[p].element);
      if (el < before && ancestorOrSelf(m, placementLayer[p], layer) && a.placements[p].box.contains(b))
        best = static_cast<int>(p);
    }
    return best;
  };

  std::vector<std::vector<Caption>> own(a.placements.size());
  std::vector<std::vector<DrawnPanel>> ownPanels(a.placements.size());
  for (size_t i = 0; i < n; ++i) {
    const MapElement& e = m.elements[i];
    Box r;
    if (isProtector(e) || !elementRect(e, 1.0, r)) continue;
    a.visible[i] = shownLayer(e.layer);
    a.elementPlacement[i] = placementFor(r, i, e.layer);
    if (!a.visible[i]) continue;
    a.wanted[i] = wantedCaptions(m, i);
    for (const Caption& c : a.wanted[i]) own[static_cast<size_t>(a.elementPlacement[i])].push_back(c);
  }
  for (size_t p = 0; p < m.panels.size(); ++p) {
    const Box b = panelBox(m.panels[p]);
    a.panelPlacement[p] = placementFor(b, static_cast<size_t>(m.panels[p].order), m.panels[p].layer);
    if (!shownLayer(m.panels[p].layer)) continue;
    const size_t at = static_cast<size_t>(a.panelPlacement[p]);
    ownPanels[at].push_back({static_cast<int>(p), b});
    own[at].push_back(titleOf(m, p));
  }
  // Each picture carries what its first placement asks for, moved to every
  // other place it is put.
  for (size_t p = 0; p < a.placements.size(); ++p) {
    Placement& here = a.placements[p];
    size_t first = p;
    for (size_t q = 0; q < p; ++q)
      if (a.placements[q].imageId == here.imageId) {
        first = q;
        break;
      }
    const Placement& there = a.placements[first];
    const int dx = here.box.l - there.box.l, dy = here.box.t - there.box.t;
    for (const Caption& c : own[first]) here.art.push_back(moved(c, dx, dy));
    for (DrawnPanel d : ownPanels[first]) {
      d.box = {d.box.l + dx, d.box.t + dy, d.box.r + dx, d.box.b + dy};
      here.panels.push_back(d);
    }
  }
  for (size_t i = 0; i < n; ++i) {
    if (!a.visible[i] || a.elementPlacement[i] < 0) continue;
    const Placement& p = a.placements[static_cast<size_t>(a.elementPlacement[i])];
    bool drawn = !imageWords(m, m.elements[i].img).empty();
    for (const Caption& c : a.wanted[i]) {
      if (c.kind != CaptionKind::kLabel) continue;
      for (const Caption& d : p.art)
        drawn |= d.kind == c.kind && d.text == c.text && d.box == c.box;
    }
    a.labelled[i] = drawn;
  }
  return a;
}

// ---- Views ----

bool elementShown(const InstrumentMap& m, const WindowView& v, int layer) {
  for (int l = layer, guard = 0; l >= 0 && guard < 64; l = m.layers[static_cast<size_t>(l)].parent, ++guard)
    if (!v.shown[static_cast<size_t>(l)]) return false;
  return true;
}

std::vector<WindowView> windowViews(const InstrumentMap& m) {
  const int nl = static_cast<int>(m.layers.size());
  std::vector<std::vector<int>> children(static_cast<size_t>(nl));
  std::vector<int> top;
  for (int l = 0; l < nl; ++l) {
    const int parent = m.layers[static_cast<size_t>(l)].parent;
    if (parent >= 0 && parent < nl) children[static_cast<size_t>(parent)].push_back(l);
    else if (parent < 0) top.push_back(l);
  }
  int root = -1;
  for (int l : top)
    if (m.layers[static_cast<size_t>(l)].name == "root" && root < 0) root = l;

  // The groups of sub-layers that share a spot: siblings with an id other
  // than 0 whose pictures lie on the same rectangle. One of each is shown.
  auto groupsBelow = [&](int page) {
    std::vector<std::vector<int>> groups;
    std::vector<int> stack = {page};
    for (size_t guard = 0; !stack.empty() && guard < 4096; ++guard) {
      const int l = stack.back();
      stack.pop_back();
      std::map<std::vector<int>, std::vector<int>> bySpot;
      for (int c : children[static_cast<size_t>(l)]) {
        stack.push_back(c);
        const int backdrop = layerBackdrop(m, c);
        Box b;
        if (m.layers[static_cast<size_t>(c)].id == 0 || backdrop < 0 ||
            !elementRect(m.elements[static_cast<size_t>(backdrop)], 1.0, b))
          continue;
        bySpot[{b.l, b.t, b.r, b.b}].push_back(c);
      }
      for (auto& [spot, layers] : bySpot)
        if (layers.size() > 1) groups.push_back(layers);
    }
    return groups;
  };

  std::vector<WindowView> views;
  auto pageView = [&](int pageLayer, const std::vector<std::vector<int>>& groups, const std::vector<size_t>& pick) {
    WindowView v;
    v.shown.assign(static_cast<size_t>(nl), 0);
    std::vector<char> left(static_cast<size_t>(nl), 0);  // alternatives not picked
    std::string alternatives;
    for (size_t g = 0; g < groups.size(); ++g)
      for (size_t k = 0; k < groups[g].size(); ++k) {
        if (k != pick[g]) left[static_cast<size_t>(groups[g][k])] = 1;
        else if (k != 0) alternatives += "-" + m.layers[static_cast<size_t>(groups[g][k])].name;
      }
    if (pageLayer >= 0) {
      const int tab = m.layers[static_cast<size_t>(pageLayer)].id;
      v.page = tab;
      v.name = "page" + std::to_string(tab) + alternatives;
      v.shown[static_cast<size_t>(root)] = 1;
      std::vector<int> stack = {pageLayer};
      for (size_t guard = 0; !stack.empty() && guard < 4096; ++guard) {
        const int l = stack.back();
        stack.pop_back();
        if (left[static_cast<size_t>(l)]) continue;
        v.shown[static_cast<size_t>(l)] = 1;
        for (int c : children[static_cast<size_t>(l)]) stack.push_back(c);
      }
      for (int l : top) {
        const MapLayer& layer = m.layers[static_cast<size_t>(l)];
        if (named(layer, {"releaseAllLocksLayer"}) || (named(layer, {"miniMixer"}) && tab != 0)) {
          v.shown[static_cast<size_t>(l)] = 1;
          for (int c : children[static_cast<size_t>(l)]) v.shown[static_cast<size_t>(c)] = 1;
        }
      }
    } else {
      v.name = "window";
    }
    v.picture = true;
    v.pictureName = v.name;
    return v;
  };

  // Every choice of the groups of a page, or one group changed at a time
  // when the choices are too many.
  auto choices = [&](const std::vector<std::vector<int>>& groups) {
    std::vector<std::vector<size_t>> out;
    size_t product = 1;
    for (const auto& g : groups) product = std::min<size_t>(product * g.size(), kMaxCombinations + 1);
    std::vector<size_t> pick(groups.size(), 0);
    if (product <= static_cast<size_t>(kMaxCombinations)) {
      for (size_t k = 0; k < product; ++k) {
        size_t rest = k;
        for (size_t g = 0; g < groups.size(); ++g) pick[g] = rest % groups[g].size(), rest /= groups[g].size();
        out.push_back(pick);
      }
    } else {
      out.push_back(pick);
      for (size_t g = 0; g < groups.size(); ++g)
        for (size_t k = 1; k < groups[g].size() && out.size() < static_cast<size_t>(kMaxCombinations); ++k) {
          std::vector<size_t> one(groups.size(), 0);
          one[g] = k;
          out.push_back(one);
        }
    }
    return out;
  };

  std::vector<int> pages = root >= 0 ? children[static_cast<size_t>(root)] : std::vector<int>{-1};
  std::vector<std::vector<WindowView>> byPage;
  for (int page : pages) {
    const std::vector<std::vector<int>> groups = page >= 0 ? groupsBelow(page) : std::vector<std::vector<int>>{};
    byPage.emplace_back();
    for (const std::vector<size_t>& pick : choices(groups))
      if (views.size() < kMaxViews) {
        byPage.back().push_back(pageView(page, groups, pick));
        views.push_back(byPage.back().back());
      }
  }

  for (int l : top) {
    const MapLayer& layer = m.layers[static_cast<size_t>(l)];
    if (l == root || named(layer, {"miniMixer", "releaseAllLocksLayer"})) continue;
    bool never = false;
    for (const char* name : kNeverShown) never |= layer.name == name;
    if (never) continue;
    unsigned mask = ~0u;
    for (const OverlayPages& o : kOverlayPages)
      if (layer.name.rfind(o.prefix, 0) == 0) mask = o.pages;
    bool controls = false;
    for (const MapElement& e : m.elements) controls |= e.tag != "background" && ancestorOrSelf(m, l, e.layer);
    int preferred = -1;
    for (size_t p = 0; p < pages.size(); ++p) {
      const int tab = pages[p] >= 0 ? m.layers[static_cast<size_t>(pages[p])].id : 0;
      if (tab >= 0 && tab < 32 && !(mask & (1u << tab))) continue;
      if (preferred < 0 || tab == 2) preferred = static_cast<int>(p);
    }
    for (size_t p = 0; p < pages.size(); ++p)
      for (size_t k = 0; k < byPage[p].size(); ++k) {
        WindowView v = byPage[p][k];
        if (v.page >= 0 && v.page < 32 && !(mask & (1u << v.page))) continue;
        std::vector<int> stack = {l};
        for (size_t guard = 0; !stack.empty() && guard < 4096; ++guard) {
          const int s = stack.back();
          stack.pop_back();
          v.shown[static_cast<size_t>(s)] = 1;
          for (int c : children[static_cast<size_t>(s)]) stack.push_back(c);
        }
        v.overlay = l;
        v.name = layer.name + "-" + v.name;
        v.picture = controls && static_cast<int>(p) == preferred && k == 0;
        v.pictureName = layer.name;
        if (views.size() < kMaxViews) views.push_back(v);
      }
  }
  return views;
}

}  // namespace uiconfig
