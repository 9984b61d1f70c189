#pragma once
// The authoring checks of the window description, the system-exclusive list
// and the images: the rules the other parts of the editor rely on (each
// sound parameter bound once, the layers they switch, lists as long as
// their parameters' ranges, bytes that fit MIDI, controls inside the window,
// images of the sizes the window is drawn for). Each violation names its
// rule and the element it concerns. Reads the texts through the instrument
// map only; any thread.
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

std::vector<Violation> checkAuthoring(const InstrumentMap& map);
// The 57 images and their ".black" copies in a folder: present, PNG, and of
// the size the frame table and frame counts give.
std::vector<Violation> checkImages(const std::string& folder);

}  // namespace uiconfig
