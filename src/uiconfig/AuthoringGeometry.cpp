// The geometry rules of the authoring checks: what the window shows at each
// of its scales must be readable.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>

#include "uiconfig/AuthoringCheck.h"
#include "uiconfig/ImageSizes.h"
#include "uiconfig/WindowLayout.h"

namespace uiconfig {

namespace {

// One thing the window shows at a scale: a control, a text or a picture
// that other things lie on.
struct Item {
  enum Kind { kControl, kText, kBackdrop } kind = kControl;
  Box box;
  int element = -1;    // the element it belongs to (a caption's control)
  int layer = -1;      // the layer whose showing shows it
  int placement = 0;   // the picture it lies on (index in the art's placements)
  bool own = false;    // a text its control draws itself
  Box anchor;          // where its panel is looked for (its control's rectangle)
  const Caption* caption = nullptr;  // a text drawn into a picture
};

constexpr size_t kMaxOffences = 500;

std::string scaleText(double s) {
  char b[16];
  std::snprintf(b, sizeof b, "%.2f", s);
  return b;
}

class Geometry {
 public:
  explicit Geometry(const InstrumentMap& map) : m(map), art(layoutArt(map)), views(windowViews(map)) {
    for (const MapElement& e : m.elements) {
      Box b;
      rect1.push_back(elementRect(e, 1.0, b) ? b : Box{});
    }
    // Per view and layer (shifted by one, so that the top level is 0): the
    // layer and all above it are shown.
    for (const WindowView& v : views) {
      std::vector<char>& chain = shownChain.emplace_back(m.layers.size() + 1, 0);
      chain[0] = 1;
      for (size_t l = 0; l < m.layers.size(); ++l) chain[l + 1] = elementShown(m, v, static_cast<int>(l));
    }
    firstOfLayer.assign(m.layers.size(), -1);
    for (size_t i = m.elements.size(); i-- > 0;)
      if (m.elements[i].layer >= 0) firstOfLayer[static_cast<size_t>(m.elements[i].layer)] = static_cast<int>(i);
    // The control of each place that asks for each caption drawn there, else
    // the one of the picture's first place that does.
    owners.resize(art.placements.size());
    for (size_t p = 0; p < art.placements.size(); ++p)
      for (const Caption& c : art.placements[p].art) {
        int owner = c.element;
        for (size_t i = 0; i < m.elements.size() && c.kind != CaptionKind::kTitle; ++i)
          if (art.elementPlacement[i] == static_cast<int>(p) &&
              std::count(art.wanted[i].begin(), art.wanted[i].end(), c)) {
            owner = static_cast<int>(i);
            break;
          }
        owners[p].push_back(owner);
      }
  }

  std::vector<Violation> run() {
    for (size_t i = 0; i < m.elements.size(); ++i)
      if (art.visible[i] && actsOnClick(m, i) && !art.labelled[i])
        for (double s : kWindowScales) add("unlabelled", m.elements[i].label(), "", s);
    imageWordsFit();
    for (double s : kWindowScales) {
      std::vector<Item> items = itemsAt(s);
      membership(items, s);
      overlaps(items, s);
    }
    std::vector<Violation> out;
    for (const auto& [key, scales] : offences) {
      std::string where;
      for (double s : kWindowScales)
        if (scales.count(s)) where += (where.empty() ? "" : ", ") + scaleText(s);
      const auto& [rule, a, b] = key;
      out.push_back({rule, a + (b.empty() ? "" : " / " + b) + " at " + where});
    }
    return out;
  }

 private:
  void add(const std::string& rule, const std::string& a, const std::string& b, double s) {
    auto key = std::make_tuple(rule, std::min(a, b.empty() ? a : b), b.empty() ? std::string() : std::max(a, b));
    if (offences.size() < kMaxOffences || offences.count(key)) offences[key].insert(s);
  }
  bool full() const { return offences.size() >= kMaxOffences; }

  // A rectangle drawn into a picture at scale 1, where the picture shows it
  // at a scale: the picture is placed at its scaled corner and stretched
  // (edges to the nearest pixel, so rectangles that touch still touch).
  Box drawnAt(int placement, const Box& b, double s) const {
    const Box& p = art.placements[static_cast<size_t>(placement)].box;
    const int ox = static_cast<int>(p.l * s), oy = static_cast<int>(p.t * s);
    auto at = [s](int from, int v) { return static_cast<int>(std::lround((v - from) * s)); };
    return {ox + at(p.l, b.l), oy + at(p.t, b.t), ox + at(p.l, b.r), oy + at(p.t, b.b)};
  }

  int placementLayer(int placement) const {
    const int el = art.placements[static_cast<size_t>(placement)].element;
    return el < 0 ? -1 : m.elements[static_cast<size_t>(el)].layer;
  }

  // How an offence names a thing.
  std::string name(const Item& it) const {
    if (it.caption && it.caption->kind == CaptionKind::kTitle)
      return "title of " + m.panels[static_cast<size_t>(it.caption->panel)].label();
    const std::string element = m.elements[static_cast<size_t>(it.element)].label();
    if (it.caption)
      return (it.caption->kind == CaptionKind::kEntry ? "entry \"" : "label \"") + it.caption->text + "\" of " +
             element;
    return it.own ? "text of " + element : element;
  }
  std::string placementName(int p) const {
    const int el = art.placements[static_cast<size_t>(p)].element;
    return el < 0 ? "the window" : m.elements[static_cast<size_t>(el)].label();
  }

  std::vector<Item> itemsAt(double s) {
    rects.assign(m.elements.size(), Box{});
    hasRect.assign(m.elements.size(), 0);
    for (size_t i = 0; i < m.elements.size(); ++i) hasRect[i] = elementRect(m.elements[i], s, rects[i]);
    std::vector<Item> items;
    for (size_t i = 0; i < m.elements.size(); ++i) {
      const MapElement& e = m.elements[i];
      const Box r = rects[i];
      if (!art.visible[i] || !hasRect[i]) continue;
      Item it;
      it.box = it.anchor = r;
      it.element = static_cast<int>(i);
      it.layer = e.layer;
      it.placement = std::max(art.elementPlacement[i], 0);
      it.kind = e.tag == "background" ? Item::kBackdrop : Item::kControl;
      items.push_back(it);
      Box text;
      if (e.tag != "background" && ownText(e, r, s, text)) {
        it.kind = Item::kText;
        it.own = true;
        it.box = text;
        items.push_back(it);
      }
    }
    for (size_t p = 0; p < art.placements.size(); ++p) {
      if (!placementShown(static_cast<int>(p))) continue;
      for (size_t k = 0; k < art.placements[p].art.size(); ++k) {
        const Caption& c = art.placements[p].art[k];
        Item it;
        it.kind = Item::kText;
        it.caption = &c;
        it.box = drawnAt(static_cast<int>(p), c.box, s);
        it.layer = placementLayer(static_cast<int>(p));
        it.placement = static_cast<int>(p);
        if (c.kind != CaptionKind::kTitle) {  // a title belongs to its panel; a caption to its control's
          it.element = owners[p][k];
          it.anchor = hasRect[static_cast<size_t>(it.element)] ? rects[static_cast<size_t>(it.element)] : it.box;
        }
        items.push_back(it);
      }
    }
    return items;
  }

  bool placementShown(int p) const {
    const int el = art.placements[static_cast<size_t>(p)].element;
    return el < 0 || art.visible[static_cast<size_t>(el)];
  }

  // The text a menu or display draws: its widest entry centred in it, the
  // rectangle itself for texts not known before the editor runs, a name's
  // longest text for a name field. False for controls without text.
  bool ownText(const MapElement& e, const Box& r, double s, Box& out) const {
    const bool menu = e.type == "ccMenu" || e.type == "msbLsbMenu" || e.type == "seMenu" ||
                      (e.tag == "multiFx" && e.type == "Menu") || e.type == "dropSelection";
    if (e.tag == "display" || e.type == "textSelection" || e.type == "deviceSelection") {
      out = r;
      return true;
    }
    int width = 0;
    const int size = static_cast<int>((e.tag == "dropMenu" ? (e.bounds.size() > 3 ? e.bounds[3] : 0)
                                       : e.tag == "multiFx" ? (e.position.size() > 3 ? e.position[3] : 0)
                                                            : 13) *
                                      s);
    if (e.type == "nameSelection") {
      width = menuExtent(std::string(static_cast<size_t>(std::clamp(e.nameLen, 0, 256)), 'M'), size).w;
    } else if (menu && (e.tag != "multiFx" || e.visible == 1)) {
      for (const std::string& t : menuTexts(m, e)) width = std::max(width, menuExtent(t, size).w);
    }
    if (width <= 0) return false;
    const int l = (r.l + r.r) / 2 - width / 2;
    out = {l, r.t, l + width, r.b};
    return true;
  }

  // The innermost layer group with a picture of its own that holds the
  // element (the element's own picture does not count for itself).
  int groupBackdrop(int element) const {
    const MapElement& e = m.elements[static_cast<size_t>(element)];
    for (int l = e.layer, guard = 0; l >= 0 && guard < 64; l = m.layers[static_cast<size_t>(l)].parent, ++guard) {
      const int first = firstOfLayer[static_cast<size_t>(l)];
      if (first >= 0 && first != element && m.elements[static_cast<size_t>(first)].tag == "background" &&
          !isProtector(m.elements[static_cast<size_t>(first)]))
        return first;
    }
    return -1;
  }

  // Each thing lies inside the window, inside the picture it is drawn on or
  // its group's picture, and inside its panel; panels keep apart.
  void membership(const std::vector<Item>& items, double s) {
    const Box window{0, 0, static_cast<int>(kWindowWidth * s), static_cast<int>(kWindowHeight * s)};
    for (const Item& it : items) {
      if (full()) return;
      if (it.kind != Item::kControl && !window.contains(it.box)) add("outside-window", name(it), "", s);
      const Placement& p = art.placements[static_cast<size_t>(it.placement)];
      if (it.placement > 0 && !it.own && it.kind != Item::kBackdrop &&
          !drawnAt(it.placement, p.box, s).contains(it.box))
        add("outside-panel", name(it), placementName(it.placement), s);
      if (it.element >= 0 && it.kind != Item::kText) {
        const int g = groupBackdrop(it.element);
        if (g >= 0 && hasRect[static_cast<size_t>(g)] && !rects[static_cast<size_t>(g)].contains(it.box))
          add("outside-panel", name(it), m.elements[static_cast<size_t>(g)].label(), s);
      }
      if (it.anchor.empty()) continue;
      const int cx = (it.anchor.l + it.anchor.r) / 2, cy = (it.anchor.t + it.anchor.b) / 2;
      const DrawnPanel* home = nullptr;
      Box homeBox;
      for (const DrawnPanel& d : p.panels) {
        const Box b = drawnAt(it.placement, d.box, s);
        if (cx >= b.l && cx < b.r && cy >= b.t && cy < b.b && (!home || homeBox.contains(b))) home = &d, homeBox = b;
      }
      if (home && !homeBox.contains(it.box))
        add("outside-panel", name(it), m.panels[static_cast<size_t>(home->panel)].label(), s);
      if (home) continue;
      for (const DrawnPanel& d : p.panels)
        if (drawnAt(it.placement, d.box, s).overlaps(it.box) && !it.box.contains(drawnAt(it.placement, d.box, s)))
          add("outside-panel", name(it), m.panels[static_cast<size_t>(d.panel)].label(), s);
    }
    for (size_t p = 0; p < art.placements.size(); ++p) {
      const Placement& pl = art.placements[p];
      if (!placementShown(static_cast<int>(p))) continue;
      for (size_t a = 0; a < pl.panels.size(); ++a) {
        const Box ba = drawnAt(static_cast<int>(p), pl.panels[a].box, s);
        const std::string na = m.panels[static_cast<size_t>(pl.panels[a].panel)].label();
        if (!drawnAt(static_cast<int>(p), pl.box, s).contains(ba))
          add("outside-panel", na, placementName(static_cast<int>(p)), s);
        for (size_t b = a + 1; b < pl.panels.size(); ++b) {
          const Box bb = drawnAt(static_cast<int>(p), pl.panels[b].box, s);
          if (ba.overlaps(bb) && !ba.contains(bb) && !bb.contains(ba))
            add("overlap", na, m.panels[static_cast<size_t>(pl.panels[b].panel)].label(), s);
        }
      }
    }
  }

  // True when the item lies on the background element, directly or on a
  // picture placed on it.
  bool liesOn(const Item& it, int background) const {
    int p = it.placement;
    for (int guard = 0; p > 0 && guard < 64; ++guard) {
      const int el = art.placements[static_cast<size_t>(p)].element;
      if (el == background) return true;
      p = std::max(art.elementPlacement[static_cast<size_t>(el)], 0);
    }
    return false;
  }

  bool allowed(const Item& a, const Item& b) const {
    if (a.element >= 0 && a.element == b.element &&
        ((a.own && b.kind == Item::kControl) || (b.own && a.kind == Item::kControl)))
      return true;  // a menu and the text it draws
    // Controls stacked on one rectangle by design (a clear menu on a display).
    if (a.element >= 0 && b.element >= 0 && a.kind != Item::kBackdrop && b.kind != Item::kBackdrop &&
        (a.kind == Item::kControl || a.own) && (b.kind == Item::kControl || b.own) &&
        rect1[static_cast<size_t>(a.element)] == rect1[static_cast<size_t>(b.element)])
      return true;
    if (a.kind == Item::kBackdrop && liesOn(b, a.element)) return true;
    if (b.kind == Item::kBackdrop && liesOn(a, b.element)) return true;
    return a.kind == Item::kBackdrop && b.kind == Item::kBackdrop && a.element == b.element;
  }

  // What an overlay's picture covers in a view at a scale (empty without
  // one), and its name.
  struct Cover {
    Box box;
    std::string name;
  };
  std::vector<Cover> coversAt(double s) const {
    std::vector<Cover> covers(views.size());
    for (size_t k = 0; k < views.size(); ++k) {
      if (views[k].overlay < 0) continue;
      const int first = firstOfLayer[static_cast<size_t>(views[k].overlay)];
      if (first >= 0 && m.elements[static_cast<size_t>(first)].tag == "background" &&
          elementRect(m.elements[static_cast<size_t>(first)], s, covers[k].box))
        covers[k].name = m.elements[static_cast<size_t>(first)].label();
    }
    return covers;
  }

  // The item is shown in the view and not hidden under its overlay.
  bool seen(const Item& it, size_t view, const std::vector<Cover>& covers) const {
    const WindowView& v = views[view];
    if (!shownIn(view, it.layer)) return false;
    const bool onTop = v.overlay >= 0 && it.layer >= 0 && elementShownUnder(it.layer, v.overlay);
    return onTop || !covers[view].box.overlaps(it.box);
  }

  // No two texts overlap, no text overlaps a control or a picture, no two
  // controls overlap, in any view that shows both; an overlay hides what
  // lies wholly under its picture and may not cut a text. The things that
  // overlap at all are found once, then held to the views.
  void overlaps(const std::vector<Item>& items, double s) {
    const std::vector<Cover> covers = coversAt(s);
    for (size_t k = 0; k < views.size() && !full(); ++k) {
      if (covers[k].box.empty()) continue;
      for (const Item& it : items)
        if (it.kind == Item::kText && shownIn(k, it.layer) && covers[k].box.overlaps(it.box) &&
            !covers[k].box.contains(it.box) && !elementShownUnder(it.layer, views[k].overlay))
          add("overlap", name(it), covers[k].name, s);
    }
    // The views each item is seen in, as bits.
    const size_t words = (views.size() + 63) / 64;
    std::vector<uint64_t> seenBits(items.size() * words, 0);
    for (size_t i = 0; i < items.size(); ++i)
      for (size_t k = 0; k < views.size(); ++k)
        if (seen(items[i], k, covers)) seenBits[i * words + k / 64] |= uint64_t{1} << (k % 64);
    auto together = [&](size_t a, size_t b) {
      for (size_t w = 0; w < words; ++w)
        if (seenBits[a * words + w] & seenBits[b * words + w]) return true;
      return false;
    };
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return items[a].box.l < items[b].box.l; });
    for (size_t i = 0; i < order.size() && !full(); ++i)
      for (size_t j = i + 1; j < order.size() && items[order[j]].box.l < items[order[i]].box.r; ++j) {
        const Item& a = items[order[i]];
        const Item& b = items[order[j]];
        if (a.box.overlaps(b.box) && together(order[i], order[j]) && !allowed(a, b))
          add("overlap", name(a), name(b), s);
      }
  }

  bool shownIn(size_t view, int layer) const { return shownChain[view][static_cast<size_t>(layer + 1)]; }

  bool elementShownUnder(int layer, int overlay) const {
    for (int l = layer, guard = 0; l >= 0 && guard < 64; l = m.layers[static_cast<size_t>(l)].parent, ++guard)
      if (l == overlay) return true;
    return false;
  }

  // The words of each picture that carries them fit its frame (or, for the
  // step event cells, each cell) inside the face drawn around them.
  void imageWordsFit() {
    for (const ImageText& t : kImageTexts) {
      const FrameSize* fs = frameSize(t.id);
      const std::vector<std::string> words = imageWords(m, t.id);
      if (!fs || words.empty()) continue;
      const int cellH = words.size() > 1 ? fs->h / static_cast<int>(words.size()) : fs->h;
      for (const std::string& w : words) {
        const TextExtent x = captionExtent(w, t.px);
        if (x.w > fs->w - 8 || x.h > cellH)
          for (double s : kWindowScales) add("outside-panel", "text \"" + w + "\" of image " + t.id, "", s);
      }
    }
  }

  const InstrumentMap& m;
  WindowArt art;
  std::vector<WindowView> views;
  std::vector<Box> rect1;
  std::vector<int> firstOfLayer;           // per layer: its first element, -1 for none
  std::vector<std::vector<char>> shownChain;
  std::vector<Box> rects;      // per element at the scale being checked
  std::vector<char> hasRect;
  std::vector<std::vector<int>> owners;    // per placement and caption: the element it belongs to
  std::map<std::tuple<std::string, std::string, std::string>, std::set<double>> offences;
};

}  // namespace

std::vector<Violation> checkGeometry(const InstrumentMap& map) {
  if (!map.ok) return {};
  return Geometry(map).run();
}

}  // namespace uiconfig
