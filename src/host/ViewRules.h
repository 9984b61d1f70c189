#pragma once
// The two rule sets of the editor view, as pure functions. A host that asks
// for its own view configuration gets the host-view rules (a view whose
// coordinates start at the bottom); every other host gets the default rules
// (coordinates from the top, the default view of the plug-in). On this
// platform both are one view: these functions are where the two differ.
//
// Modifier flags of view events are one set for both rule sets: the bits
// of kShift, kControl, kOption and kCommand.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/IGraphicsStructs.h"

namespace viewrules {

enum class Mode { Default, HostView };

// Modifier bits of a view event.
enum : uint32_t { kCommand = 0x100, kShift = 0x200, kOption = 0x800, kControl = 0x1000 };
// Virtual key codes of the keys that are read by code, not by character.
enum : int { kVKSpace = 49, kVKLeft = 123, kVKRight = 124, kVKDown = 125, kVKUp = 126 };

// A rectangle in the view's own coordinates (x, y, width, height).
struct ViewRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const ViewRect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// What a redraw tick marks as needing display for the framework's dirty
// rectangle: the default view takes it as it is (top origin); the host view
// reads it as inclusive, one pixel wider and taller, in its bottom-origin
// coordinates of a view height pixels high.
ViewRect defaultInvalidRect(const IRECT& dirty);
ViewRect hostViewInvalidRect(const IRECT& dirty, int height);
// The framework area the host view draws for a rectangle it was asked to
// display (bottom origin; each part truncated to an integer first).
IRECT hostViewDrawArea(double x, double y, double w, double h, int height);
// The framework area a tick repaints: the mode's rectangle for the dirty
// area, back in framework coordinates and clipped to a w x h window. Empty
// when nothing is left.
IRECT repaintArea(Mode mode, const IRECT& dirty, int w, int h);

// A mouse position in the framework's terms: 2 pixels left of and 3 above
// the view's point. The default view's point is top-origin; the host view's
// is bottom-origin in a view height pixels high.
struct Point {
  int x = 0, y = 0;
  bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};
Point defaultMousePoint(double vx, double vy);
Point hostViewMousePoint(double vx, double vy, int height);
// The same point for an event that carries a top-origin integer position,
// which both rule sets map alike.
Point mousePoint(Mode mode, int vx, int vy, int height);

// Mouse flags of a button event (secondary: the right button). The default
// view sets the left flag always and the right flag for the secondary button
// or the primary one with the command key; the host view sets left for
// primary-button and wheel events with right meaning command, and only the
// right flag for the secondary button.
IMouseMod mouseMod(Mode mode, bool secondary, uint32_t flags);
// The wheel step a vertical delta gives (truncated toward zero).
int wheelStep(double deltaY);

// The framework key code of a key given by its characters (one character)
// or its virtual key code, or -1 when the key has none: space 0, arrows up,
// down, left, right 1-4, "0"-"9" 5-14, letters of either case 15-40.
int keyCode(const char* chars, int virtualKey);

// Characters a text entry takes for a parameter of the given type (an
// empty set for a type without one).
const char* entryCharacters(int paramType);
// Whether a text entry takes character c: any character without a
// parameter (paramType < 0), else only those of its type.
bool entryAccepts(int paramType, const char* utf8Char, size_t len);
// Length in bytes of the UTF-8 character whose first byte is lead.
size_t utf8Length(unsigned char lead);
// Text cut to at most maxBytes bytes at a character boundary.
std::string cutAtCharacter(const std::string& text, size_t maxBytes);
// A typed text filtered for a parameter type (refused characters dropped)
// and cut to maxChars characters (no limit when maxChars <= 0).
std::string filterEntryText(const std::string& text, int paramType, int maxChars);
// The default view commits at most this many bytes of a text entry.
inline constexpr size_t kDefaultCommitBytes = 63;

// The host view's typing check: with a character set, every character of
// the partial text must be in it; with a maximum length (> 0), the text
// must not be longer; with a maximum value (> 0), its integer value must
// not exceed it.
bool hostViewAccepts(const std::string& partial, int paramType, int maxLength, int maxValue);

// Where a text entry lies, in top-origin view pixels, for a framework area.
// The host view widens it by one pixel each way as it does redraws.
ViewRect entryRect(Mode mode, const IRECT& area, int height);
// The top-left corner of a popup menu for a framework area: five pixels
// below the area's bottom edge, at its left edge, in top-origin view pixels.
Point menuCorner(Mode mode, const IRECT& area, int height);

}  // namespace viewrules
