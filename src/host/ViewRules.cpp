#include "host/ViewRules.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/IParam.h"
#include "kit/saturate.h"

namespace viewrules {

namespace {

// Truncation toward zero that stays inside the int range.
int truncInt(double v) {
  if (!(v == v)) return 0;  // NaN
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

// A sum worked out in 64 bits, brought back into the int range: points and
// rectangles at the far ends of the range (a window system or a control may
// hand them over) saturate instead of wrapping.
int clampInt(int64_t v) { return kit::clampToInt(v); }

}  // namespace

ViewRect defaultInvalidRect(const IRECT& d) {
  return ViewRect{d.L, d.T, clampInt(int64_t{d.R} - d.L), clampInt(int64_t{d.B} - d.T)};
}

namespace {

// The host view's inclusive, bottom-origin reading of an area, in 64 bits.
struct Wide {
  int64_t x, y, w, h;
};
Wide hostInvalid(const IRECT& d, int height) {
  return Wide{d.L, int64_t{height} - 1 - d.B, int64_t{d.R} - d.L + 1, int64_t{d.B} - d.T + 1};
}
ViewRect narrow(const Wide& v) { return ViewRect{clampInt(v.x), clampInt(v.y), clampInt(v.w), clampInt(v.h)}; }

}  // namespace

ViewRect hostViewInvalidRect(const IRECT& d, int height) { return narrow(hostInvalid(d, height)); }

IRECT hostViewDrawArea(double x, double y, double w, double h, int height) {
  const int64_t ix = truncInt(x), iy = truncInt(y), iw = truncInt(w), ih = truncInt(h);
  return IRECT(clampInt(ix), clampInt(height - (iy + ih)), clampInt(ix + iw), clampInt(height - iy));
}

IRECT repaintArea(Mode mode, const IRECT& dirty, int w, int h) {
  // The mode's rectangle and back, in 64 bits so that far areas keep their
  // extent, then clipped to the window.
  int64_t l = dirty.L, t = dirty.T, r = dirty.R, b = dirty.B;
  if (mode == Mode::HostView) {
    const Wide v = hostInvalid(dirty, h);
    l = v.x;
    t = h - (v.y + v.h);
    r = v.x + v.w;
    b = h - v.y;
  }
  auto clip = [](int64_t v, int hi) { return static_cast<int>(v < 0 ? 0 : v > hi ? hi : v); };
  const int cl = clip(l, w), ct = clip(t, h), cr = clip(r, w), cb = clip(b, h);
  if (cr <= cl || cb <= ct) return IRECT();
  return IRECT(cl, ct, cr, cb);
}

Point defaultMousePoint(double vx, double vy) {
  return Point{clampInt(int64_t{truncInt(vx)} - 2), clampInt(int64_t{truncInt(vy)} - 3)};
}

Point hostViewMousePoint(double vx, double vy, int height) {
  return Point{clampInt(int64_t{truncInt(vx)} - 2), clampInt(int64_t{height} - 3 - truncInt(vy))};
}

Point mousePoint(Mode mode, int vx, int vy, int height) {
  if (mode == Mode::Default) return defaultMousePoint(vx, vy);
  // A top-origin position seen by the host view is height - vy from the
  // bottom; both rules then give the same point. Worked out in 64 bits: the
  // bottom-origin position of a far point does not fit an int.
  const int64_t fromBottom = int64_t{height} - vy;
  return Point{clampInt(int64_t{vx} - 2), clampInt(int64_t{height} - 3 - fromBottom)};
}

IMouseMod mouseMod(Mode mode, bool secondary, uint32_t flags) {
  const bool shift = (flags & kShift) != 0, control = (flags & kControl) != 0, option = (flags & kOption) != 0;
  const bool command = (flags & kCommand) != 0;
  if (mode == Mode::Default) return IMouseMod(true, secondary || command, shift, control, option);
  if (secondary) return IMouseMod(false, true, shift, control, option);
  return IMouseMod(true, command, shift, control, option);
}

int wheelStep(double deltaY) { return truncInt(deltaY); }

int keyCode(const char* chars, int virtualKey) {
  switch (virtualKey) {
    case kVKSpace: return 0;
    case kVKUp: return 1;
    case kVKDown: return 2;
    case kVKLeft: return 3;
    case kVKRight: return 4;
    default: break;
  }
  if (!chars || !chars[0] || chars[1]) return -1;  // exactly one character
  const char c = chars[0];
  if (c == ' ') return 0;
  if (c >= '0' && c <= '9') return 5 + (c - '0');
  if (c >= 'A' && c <= 'Z') return 15 + (c - 'A');
  if (c >= 'a' && c <= 'z') return 15 + (c - 'a');
  return -1;
}

const char* entryCharacters(int paramType) {
  switch (paramType) {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum: return "0123456789-+";
    case IParam::kTypeDouble: return "0123456789.-+";
    case IParam::kTypeText:
      return "abcdefbgihjklmonpqrstuvwxyzABCDEFGHIJKOLMNOPQRSTUVWXYZ !\"#$%&/'+-*()[],.0123456789-+";
    default: return "";
  }
}

bool entryAccepts(int paramType, const char* c, size_t len) {
  if (paramType < 0) return len > 0;
  return len == 1 && c[0] != '\0' && std::strchr(entryCharacters(paramType), c[0]) != nullptr;
}

size_t utf8Length(unsigned char c) {
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) return 2;
  if ((c & 0xF0) == 0xE0) return 3;
  if ((c & 0xF8) == 0xF0) return 4;
  return 1;
}

std::string cutAtCharacter(const std::string& text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    size_t n = utf8Length(static_cast<unsigned char>(text[end]));
    if (end + n > text.size()) n = text.size() - end;
    if (end + n > maxBytes) break;
    end += n;
  }
  return text.substr(0, end);
}

std::string filterEntryText(const std::string& text, int paramType, int maxChars) {
  std::string out;
  int chars = 0;
  for (size_t i = 0; i < text.size();) {
    size_t n = utf8Length(static_cast<unsigned char>(text[i]));
    if (i + n > text.size()) n = text.size() - i;
    const char* ch = text.data() + i;
    i += n;
    if (!entryAccepts(paramType, ch, n)) continue;
    if (maxChars > 0 && chars >= maxChars) break;
    out.append(ch, n);
    ++chars;
  }
  return out;
}

bool hostViewAccepts(const std::string& partial, int paramType, int maxLength, int maxValue) {
  int chars = 0;
  for (size_t i = 0; i < partial.size();) {
    size_t n = utf8Length(static_cast<unsigned char>(partial[i]));
    if (i + n > partial.size()) n = partial.size() - i;
    if (paramType >= 0 && !entryAccepts(paramType, partial.data() + i, n)) return false;
    i += n;
    ++chars;
  }
  if (maxLength > 0 && chars > maxLength) return false;
  if (maxValue > 0 && std::strtoll(partial.c_str(), nullptr, 10) > maxValue) return false;
  return true;
}

ViewRect entryRect(Mode mode, const IRECT& a, int height) {
  if (mode == Mode::Default) return defaultInvalidRect(a);
  const Wide v = hostInvalid(a, height);
  return narrow(Wide{v.x, height - (v.y + v.h), v.w, v.h});
}

Point menuCorner(Mode mode, const IRECT& area, int height) {
  if (mode == Mode::Default) return Point{area.L, clampInt(int64_t{area.B} + 5)};
  // The host view pops the menu up at (x, y - 4) of the area's
  // bottom-origin rectangle.
  const Wide v = hostInvalid(area, height);
  return Point{clampInt(v.x), clampInt(height - (v.y - 4))};
}

}  // namespace viewrules
