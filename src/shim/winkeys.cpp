#include "shim/winkeys.h"

#include <locale.h>
#include <strings.h>
#include <wctype.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "platform/files.h"
#include "platform/folders.h"
#include "shim/winseam.h"
#include "shim/wintimer.h"
#include "shim/winwindow.h"

SHIM_CursorResource* SHIM_curmodule_cursorresource_head = nullptr;

namespace {

int virtualKeyOf(int code) {
  static const struct {
    int code, vk;
  } table[] = {
      {51, 8},    {65, 110},  {67, 106},  {69, 107},  {71, 144},  {75, 111},  {76, 0x800D}, {78, 109},
      {81, 108},  {91, 104},  {92, 105},  {96, 116},  {97, 117},  {98, 118},  {99, 114},    {100, 119},
      {101, 120}, {103, 122}, {105, 44},  {109, 121}, {111, 123}, {114, 45},  {115, 36},    {116, 33},
      {117, 46},  {118, 115}, {119, 35},  {120, 113}, {121, 34},  {122, 112}, {123, 37},    {124, 39},
      {125, 40},  {126, 38},
  };
  if (code >= 82 && code <= 89) return 96 + code - 82;
  for (const auto& t : table)
    if (t.code == code) return t.vk;
  return 0;
}

// The first character of UTF-8 text, 0 for none or a broken sequence.
uint32_t firstChar(const std::string& s) {
  if (s.empty()) return 0;
  const unsigned char c = static_cast<unsigned char>(s[0]);
  const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (!len || s.size() < len) return 0;
  uint32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
  for (size_t i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  return cp;
}

// Letters and digits beyond ASCII are classed in a C.UTF-8 locale of our
// own, whatever the process locale is.
bool isLetterOrDigit(uint32_t c) {
  if (c < 128) return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return utf8 && (iswalpha_l(static_cast<wint_t>(c), utf8) || iswdigit_l(static_cast<wint_t>(c), utf8));
}

int modifierFlags(unsigned mods) {
  int f = 0;
  if (mods & winsys::kShiftKey) f |= FSHIFT;
  if (mods & winsys::kCommandKey) f |= FCONTROL;
  if (mods & winsys::kOptionKey) f |= FALT;
  if ((mods & winsys::kControlKey) && !IsRightClickEmulateEnabled()) f |= FLWIN;
  return f;
}

// ---- Cursors ----

struct CursorState {
  std::set<HCURSOR> live;
  HCURSOR current = nullptr;  // null: the arrow
  HCURSOR lastSet = nullptr;
  int visible = 0;
  bool relative = false;
  POINT virtualPos{0, 0};
};

CursorState& cursors() {
  static CursorState* s = new CursorState;
  return *s;
}

HCURSOR makeCursor(int kind, platform::Image* img, int hx, int hy) {
  HCURSOR c = new SHIM_Cursor;
  c->kind = kind;
  c->image = img;
  c->hotX = hx;
  c->hotY = hy;
  cursors().live.insert(c);
  return c;
}

// The drawn cursors: 16 x 16 grey-and-opacity pixels (a nibble each, times
// 17), hot spot (8, 8): black shapes with a white rim.
platform::Image* drawnCursor(int id) {
  std::vector<uint8_t> shape(256, 0);
  auto on = [&](int x, int y) {
    if (x >= 0 && x < 16 && y >= 0 && y < 16) shape[y * 16 + x] = 1;
  };
  if (id == -1002) {  // four-way arrows
    for (int i = 2; i <= 13; ++i) on(i, 8), on(8, i);
    for (int k = 1; k <= 3; ++k)
      for (int j = -k + 1; j <= k - 1; ++j) on(1 + k, 8 + j), on(14 - k, 8 + j), on(8 + j, 1 + k), on(8 + j, 14 - k);
  } else if (id == -1006 || id == -1007) {  // a double arrow along the diagonal
    for (int i = 2; i <= 13; ++i) on(i, i);
    for (int k = 0; k < 4; ++k) on(2 + k, 2), on(2, 2 + k), on(13 - k, 13), on(13, 13 - k);
  } else {  // a circle with a diagonal bar
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const double d = std::hypot(x - 7.5, y - 7.5);
        if ((d >= 5 && d <= 6.5) || (std::abs(x - y) <= 0 && d < 6)) on(x, y);
      }
  }
  if (id == -1007)
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) std::swap(shape[y * 16 + x], shape[y * 16 + 15 - x]);
  platform::Image* img = platform::imageCreate(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      bool rim = false;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          rim = rim || (nx >= 0 && nx < 16 && ny >= 0 && ny < 16 && shape[ny * 16 + nx]);
        }
      const uint8_t nibbles = shape[y * 16 + x] ? 0x0F : rim ? 0xFF : 0x00;  // grey high, opacity low
      uint8_t* p = img->pixel(x, y);
      p[0] = p[1] = p[2] = static_cast<uint8_t>((nibbles >> 4) * 17);
      p[3] = static_cast<uint8_t>((nibbles & 15) * 17);
    }
  return img;
}

bool endsWithCur(const std::string& s) { return s.size() >= 5 && strcasecmp(s.c_str() + s.size() - 4, ".cur") == 0; }

// A single-image cursor file read as the icon it would be with its hot spot
// taken out; null when the bytes are not one.
platform::Image* decodeCursorFile(std::vector<uint8_t> b, POINT* hot) {
  static const uint8_t header[6] = {0, 0, 2, 0, 1, 0};
  if (b.size() < 22 || std::memcmp(b.data(), header, 6) != 0 || b[9] != 0) return nullptr;
  const int hx = b[10] | (b[11] << 8), hy = b[12] | (b[13] << 8);
  b[2] = 1;
  const uint8_t planes[4] = {1, 0, 0, 0};
  std::memcpy(&b[10], planes, 4);
  platform::Image* img = platform::imageDecodeIcon(b);
  if (img && hot) *hot = POINT{hx, hy};
  return img;
}

}  // namespace

// ---- Keyboard ----

int SHIM_MacKeyToWindowsKeyEx(const winsys::Event* e, int* flagsOut, int mode) {
  if (!e) e = winsys::app::currentEvent();
  int flags = e ? modifierFlags(e->modifiers) : 0;
  int key = 0;
  if (!e) {
  } else if (const int vk = virtualKeyOf(e->keyCode)) {
    key = vk;
    flags |= FVIRTKEY;
  } else if (uint32_t c = firstChar(e->characters)) {
    if (c >= 'a' && c <= 'z') c -= 32;
    if ((flags & FSHIFT) && c == 25) c = 9;
    if (isLetterOrDigit(c) || c == 9 || c == 10 || c == 13 || c == 27 || c == 32) {
      flags |= FVIRTKEY;
    } else {
      flags &= ~FSHIFT;
    }
    key = static_cast<int>(c);
  } else {
    // mode 1 would ask the keyboard layout for the key's character; there is none here
    key = e->keyCode + 1024;
    flags |= FVIRTKEY;
  }
  (void)mode;
  if (flagsOut) *flagsOut = flags;
  return key;
}

int SHIM_MacKeyToWindowsKey(const winsys::Event* e, int* flags) {
  if (!e) return 0;
  return SHIM_MacKeyToWindowsKeyEx(e, flags, 0);
}

void SHIM_MacKeyToWindowsKey(const winsys::Event& e, int* key, int* flags) {
  const int k = SHIM_MacKeyToWindowsKey(&e, flags);
  if (key) *key = k;
}

int SHIM_KeyToASCII(int key, int flags, int* newFlags) {
  static const char shifted[] = ")!@#$%^&*(";
  if (key < '0' || key > '9' || flags != (FVIRTKEY | FSHIFT)) return 0;
  if (newFlags) *newFlags = 0;
  return shifted[key - '0'];
}

short GetAsyncKeyState(int key) {
  const unsigned mods = winsys::app::modifierFlags(), buttons = winsys::app::pressedButtons();
  bool down = false;
  switch (key) {
    case 1: down = buttons & 1; break;
    case 2: down = buttons & 2; break;
    case 4: down = buttons & 4; break;
    case 16: down = mods & winsys::kShiftKey; break;
    case 17: down = mods & winsys::kCommandKey; break;
    case 18: down = mods & winsys::kOptionKey; break;
    case 91: down = (mods & winsys::kControlKey) && !IsRightClickEmulateEnabled(); break;
    default: break;
  }
  return down ? static_cast<short>(0x8000) : 0;
}

// ---- Cursors ----

HCURSOR SHIM_LoadCursor(int id) {
  static const int systemKinds[] = {-999, -1000, -1001, -1004, -1005, 32649};
  static const int drawnKinds[] = {-1002, -1003, -1006, -1007};
  static std::vector<HCURSOR> made;
  for (HCURSOR c : made)
    if (c->kind == id) return c;
  for (int k : systemKinds)
    if (k == id) return made.emplace_back(makeCursor(id, nullptr, 0, 0));
  for (int k : drawnKinds)
    if (k == id) return made.emplace_back(makeCursor(id, drawnCursor(id), 8, 8));
  if (id >= -1007 && id <= -999) return nullptr;
  for (SHIM_CursorResource* r = SHIM_curmodule_cursorresource_head; r; r = r->next) {
    if (r->id != id) continue;
    if (r->cursor) return r->cursor;
    POINT hot{0, 0};
    platform::Image* img = shim_imageFromCursorString(r->name, &hot);
    if (!img) continue;
    r->hotX = hot.x;
    r->hotY = hot.y;
    r->cursor = makeCursor(0, img, hot.x, hot.y);
    return r->cursor;
  }
  return nullptr;
}

HCURSOR SHIM_LoadCursorFromFile(const char* path) {
  POINT hot{0, 0};
  platform::Image* img = shim_imageFromCursorString(path, &hot);
  return img ? makeCursor(0, img, hot.x, hot.y) : nullptr;
}

void SHIM_DestroyCursor(HCURSOR c) {
  CursorState& s = cursors();
  if (!c || c->kind != 0 || !s.live.count(c)) return;
  for (SHIM_CursorResource* r = SHIM_curmodule_cursorresource_head; r; r = r->next)
    if (r->cursor == c) return;  // shared resource cursors stay
  if (s.current == c) s.current = nullptr;
  if (s.lastSet == c) s.lastSet = nullptr;
  s.live.erase(c);
  platform::imageRelease(c->image);
  delete c;
}

platform::Image* shim_imageFromCursorString(const char* name, POINT* hotSpot) {
  if (hotSpot) *hotSpot = POINT{0, 0};
  if (!name || !*name) return nullptr;
  const std::string n(name);
  const bool resource = n.find('/') == std::string::npos && n.size() < 1024;
  std::string path;
  if (resource)
    path = platform::resourceFolder() + n + ".cur";
  else if (endsWithCur(n))
    path = n;
  else
    return platform::imageLoadFile(n);
  std::vector<uint8_t> bytes;
  if (platform::readWholeFile(path, &bytes, size_t{1} << 24))
    if (platform::Image* img = decodeCursorFile(std::move(bytes), hotSpot)) return img;
  return resource ? platform::imageLoadFile(platform::resourceFolder() + n) : platform::imageLoadFile(path);
}

void SHIM_SetCursor(HCURSOR c) {
  CursorState& s = cursors();
  s.current = c && s.live.count(c) ? c : nullptr;
  s.lastSet = s.current;
}

HCURSOR SHIM_GetCursor() { return cursors().current ? cursors().current : SHIM_LoadCursor(-999); }
HCURSOR SHIM_GetLastSetCursor() { return cursors().lastSet; }

void SHIM_SetArrowCursor() {
  if (cursors().current) cursors().current = nullptr;
}

void SHIM_RestoreProgramCursor() {
  CursorState& s = cursors();
  if (s.lastSet && s.current != s.lastSet) s.current = s.lastSet;
}

int SHIM_ShowCursor(bool show) {
  CursorState& s = cursors();
  s.visible += show ? 1 : -1;
  if (!show && s.visible == -1) {
    if (!s.relative) {
      const winsys::Point p = winsys::app::pointerLocation();
      s.virtualPos = POINT{static_cast<int>(std::floor(p.x)), static_cast<int>(std::ceil(p.y))};
    }
    s.relative = true;
  } else if (show && s.visible == 0) {
    s.relative = false;
    winsys::app::warpPointer(winsys::Point{static_cast<double>(s.virtualPos.x), static_cast<double>(s.virtualPos.y)});
  }
  return s.visible;
}

bool SHIM_IsCursorVisible() { return cursors().visible >= 0; }
bool SHIM_IsRelativeMouseMode() { return cursors().relative; }

BOOL SHIM_SetCursorPos(int x, int y) {
  CursorState& s = cursors();
  if (s.relative)
    s.virtualPos = POINT{x, y};
  else
    winsys::app::warpPointer(winsys::Point{static_cast<double>(x), static_cast<double>(y)});
  return TRUE;
}

BOOL GetCursorPos(POINT* p) {
  if (!p) return FALSE;
  CursorState& s = cursors();
  if (s.relative) {
    *p = s.virtualPos;
    return TRUE;
  }
  const winsys::Point at = winsys::app::pointerLocation();
  *p = POINT{static_cast<int>(at.x), static_cast<int>(at.y)};
  return TRUE;
}

DWORD GetMessagePos() {
  POINT p{};
  GetCursorPos(&p);
  return static_cast<DWORD>(SHIM_PackPoint(p.x, p.y));
}

POINT shimProcessMouseEvent(UINT msg, HWND view, const winsys::Event& e) {
  CursorState& s = cursors();
  if (s.relative) {
    if (msg == WM_MOUSEMOVE) {
      s.virtualPos.x += static_cast<int>(e.deltaX);
      s.virtualPos.y -= static_cast<int>(e.deltaY);
    }
    POINT p = s.virtualPos;
    ScreenToClient(view, &p);
    return p;
  }
  auto* v = SHIM_As<winsys::View>(view);
  if (!v) return POINT{0, 0};
  const winsys::Point local = v->convertFromWindow(e.location);
  return POINT{static_cast<int>(std::floor(local.x)), static_cast<int>(std::floor(local.y))};
}

void SHIM_ResetCursorState() {
  CursorState& s = cursors();
  s.current = s.lastSet = nullptr;
  s.visible = 0;
  s.relative = false;
  s.virtualPos = POINT{0, 0};
}
