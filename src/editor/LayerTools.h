#pragma once
// Small steps on the window's layers and controls that several parts of the
// editor take: a text into a display, one sub-layer shown among its
// siblings, the first control of a layer, the pattern's step overlays.
//
// Threads: the caller holds the editor lock, as for every change of the
// window.
#include <functional>
#include <string>

class ControlLayer;
class IControl;

namespace layertools {

// Sets the text of a text display; any other control, or none, is left.
void setText(IControl* control, const char* text);
inline void setText(IControl* control, const std::string& text) { setText(control, text.c_str()); }

// Shows the sub-layer whose id is id, hides every other one, and records id
// as the selected one (an id no sub-layer has hides them all).
void showOnlySubLayer(ControlLayer* layer, int id);

// The layer's first control; null for no layer or an empty one.
IControl* firstControl(const ControlLayer* layer);

// The overlays that grey the steps past the pattern's length: step 2 to
// step 16 ("pattStepOverlayer02" ... "pattStepOverlayer16"); step 1 is
// always played.
constexpr int kFirstPatternOverlay = 2;
constexpr int kLastPatternOverlay = 16;
// Calls each with the names of the overlays from step first to the last.
void forEachPatternOverlay(int first, const std::function<void(const std::string&)>& each);

}  // namespace layertools
