#pragma once
// The authoring checks of the window description, the system-exclusive list
// and the images: the rules the other parts of the editor rely on (each
// sound parameter bound once, the layers they switch, lists as long as
// their parameters' ranges, bytes that fit MIDI, controls inside the window,
// images of the sizes the window is drawn for, texts that can be read).
// Each violation names its rule and the element it concerns. Reads the texts
// through the instrument map only; the geometry measures text with the text
// engine (see WindowLayout.h for the thread it may run on).
#include <string>
#include <string_view>
#include <vector>

#include "uiconfig/InstrumentMap.h"

namespace uiconfig {

struct Violation {
  std::string rule;     // such as "duplicate-cc"
  std::string element;  // the element, layer, list, address or file
  bool operator==(const Violation& o) const { return rule == o.rule && element == o.element; }
};

// Parameters that no control places, each with the reason.
struct Exemption {
  int param;
  const char* reason;
};
const std::vector<Exemption>& exemptParameters();

// Every rule, the geometry's included.
std::vector<Violation> checkAuthoring(const InstrumentMap& map);
// The window's geometry at 0.75, 1.0 and 1.25, with the fonts' real text
// extents, over every set of layers shown together (a page with its header
// and strip and each choice of its switched sub-layers; each overlay over the
// pages it opens on): no text overlaps another text, a control or a picture
// ("overlap"); texts and controls lie inside their panel, the picture they
// are drawn on and their group's picture ("outside-panel"), and texts inside
// the window ("outside-window"); every control that acts carries a caption
// or a picture with words ("unlabelled"). Each offence names the elements
// and the scales where it happens, once.
std::vector<Violation> checkGeometry(const InstrumentMap& map);
// The 57 images and their ".black" copies in a folder: present, PNG, and of
// the size the frame table and frame counts give.
std::vector<Violation> checkImages(const std::string& folder);

}  // namespace uiconfig
