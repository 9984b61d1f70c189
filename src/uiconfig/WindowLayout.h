#pragma once
// The window as the description lays it out: each control's rectangle at a
// scale, as its factory makes it; the texts that the image tool draws into
// the backgrounds (the caption beside a control, the title of a panel, the
// entries beside an LED selector); the texts that the menus and displays
// draw themselves; and the sets of layers that the editor shows together.
// The image tool draws the backgrounds from it, the render tool shows each
// set, and the authoring checks hold all of it to the rules that keep the
// window legible at 0.75, 1.0 and 1.25.
//
// Texts are measured with the project's text engine as they are drawn:
// captions in the sans face at their pixel size (drawn once at scale 1 and
// scaled with their background), menu texts in the menu face at the scaled
// size. The engine's fonts belong to one thread at a time: the measuring
// functions take a lock of their own, and must not run while a window draws
// text on another thread (tools and tests call them).
#include <string>
#include <string_view>
#include <vector>

#include "raster/pixel.h"
#include "uiconfig/InstrumentMap.h"

class RAST_IBitmap;

namespace uiconfig {

inline constexpr const char* kCaptionFace = "Panel Sans";
inline constexpr int kCaptionPx = 10;  // captions, pixels at scale 1
inline constexpr int kTitlePx = 12;    // panel titles
inline constexpr int kEntryPx = 9;     // the entries beside an LED selector's 12-pixel dots
inline constexpr int kWindowWidth = 1500, kWindowHeight = 757;
inline constexpr double kWindowScales[] = {0.75, 1.0, 1.25};

// A rectangle, right and bottom edges excluded.
struct Box {
  int l = 0, t = 0, r = 0, b = 0;
  bool empty() const { return r <= l || b <= t; }
  bool overlaps(const Box& o) const { return !empty() && !o.empty() && l < o.r && o.l < r && t < o.b && o.t < b; }
  bool contains(const Box& o) const { return o.l >= l && o.t >= t && o.r <= r && o.b <= b; }
  bool operator==(const Box&) const = default;
};

// Width and height of one line of text: a caption in the sans face at a
// pixel size (the size the image tool asks for), or a text of the menus and
// displays in the menu face at an IText size (the line height the window's
// font cache makes of it).
struct TextExtent {
  int w = 0, h = 0;
};
TextExtent captionExtent(std::string_view text, int px);
TextExtent menuExtent(std::string_view text, int size);
// Draws a caption with its top-left corner at x, y, as captionExtent
// measures it.
void drawCaptionText(RAST_IBitmap* bm, std::string_view text, int px, RAST_pixel colour, int x, int y);

// The rectangle of an element's control at a scale (a background's picture,
// a browser's area), as the factories compute it from the image table and
// the frame sizes. False for an element that makes no rectangle (an unknown
// image or type, a missing attribute).
bool elementRect(const MapElement& e, double scale, Box& out);

// True for a "background" that shields an LED selector from the mouse (an
// image whose id holds "PROT"); such a picture neither holds texts nor
// covers any.
bool isProtector(const MapElement& e);
// True for a control that the user acts on: everything but displays,
// backgrounds, the patch-list view and LED selectors and indicators under a
// protector.
bool actsOnClick(const InstrumentMap& map, size_t element);
// The texts a menu can show, one per value, for measuring; empty for
// controls whose texts come from elsewhere (ports, bank files, displays).
std::vector<std::string> menuTexts(const InstrumentMap& map, const MapElement& e);

enum class CaptionKind {
  kLabel,  // the text that says what a control does
  kTitle,  // a panel's title
  kEntry,  // one entry of an LED selector, beside its dot
};

// A text drawn into a background, in window coordinates at scale 1.
struct Caption {
  CaptionKind kind = CaptionKind::kLabel;
  std::string text;
  Box box;
  int px = kCaptionPx;
  int element = -1;  // the control it names or lists
  int panel = -1;    // the panel it titles
  bool operator==(const Caption&) const = default;
};

// A panel as drawn into a placement: the panel of the description and its
// rectangle where it is drawn (a background placed again carries the same
// panels, moved with it).
struct DrawnPanel {
  int panel = -1;  // index in InstrumentMap::panels
  Box box;
  bool operator==(const DrawnPanel&) const = default;
};

// One picture that texts and panels are drawn into: a "background" element
// (its index) or, for -1, the window's own background that the editor
// attaches below everything ("BG_ID_PLAIN" at 0, 0). An image placed more
// than once carries the art of its first placement at every place.
struct Placement {
  int element = -1;
  std::string imageId;
  Box box;  // at scale 1
  std::vector<Caption> art;
  std::vector<DrawnPanel> panels;
};

struct WindowArt {
  std::vector<Placement> placements;  // the window's own first, then each background in document order
  // Per element: the placement (index in placements) its control or picture
  // lies on, -1 when it has none; per panel likewise.
  std::vector<int> elementPlacement, panelPlacement;
  // Per element: the texts it asks to have drawn beside it (its caption,
  // its entries), wherever they end up.
  std::vector<std::vector<Caption>> wanted;
  // Per element: its caption is drawn where it lies, or its image carries
  // its words.
  std::vector<char> labelled;
  // Per element: one of its layers is shown by some view.
  std::vector<char> visible;

  // The placement whose art an image carries (its first), or null.
  const Placement* placementOfImage(std::string_view imageId) const;
};
WindowArt layoutArt(const InstrumentMap& map);

// The words an image carries in every frame: its own text (ImageSizes.h) or,
// for the step event cells, the entries of the list the radios using it
// name (one per cell). Empty when it carries none.
std::vector<std::string> imageWords(const InstrumentMap& map, const std::string& imageId);

// A set of layers that the editor shows together: one page of the main tab
// (with its panels, one choice of each group of sub-layers that share a
// spot), the header and the strip below it, and at most one overlay over it.
struct WindowView {
  std::string name;      // "page2", "page2-osc1UnisonKnob", "aboutWindow-page2"
  int page = -1;         // the tab shown, -1 for a description without pages
  int overlay = -1;      // the overlay layer (index in layers), -1 for none
  std::vector<char> shown;  // per layer of the map
  bool picture = false;  // one of the pictures the render tool draws
  std::string pictureName;
};
std::vector<WindowView> windowViews(const InstrumentMap& map);
// True when the element's layers are all shown in the view (top-level
// elements always are).
bool elementShown(const InstrumentMap& map, const WindowView& v, int layer);

}  // namespace uiconfig
