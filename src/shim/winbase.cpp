#include "shim/winbase.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "shim/winregistry.h"

void Sleep(int ms) {
  const uint64_t us = ms <= 0 ? 100u : static_cast<uint64_t>(ms) * 1000u;
  platform::sleepMicros(us);
}

DWORD GetTickCount() {
  const uint64_t us = platform::wallMicros();
  const uint64_t sec = us / 1000000u;
  const uint64_t usec = us % 1000000u;
  return static_cast<DWORD>(sec * 1000u + usec / 1000u);
}

FILETIME SHIM_UnixSecondsToFileTime(int64_t seconds) {
  // 11644473600 seconds lie between 1601-01-01 and 1970-01-01.
  const uint64_t t = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ull;
  return FILETIME{static_cast<uint32_t>(t), static_cast<uint32_t>(t >> 32)};
}

BOOL GetFileTime(int fd, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
  if (fd < 0) return 0;
  struct stat st;
  if (fstat(fd, &st) != 0) return 0;
  if (creation) *creation = SHIM_UnixSecondsToFileTime(st.st_ctime);
  if (lastAccess) *lastAccess = SHIM_UnixSecondsToFileTime(st.st_atime);
  if (lastWrite) *lastWrite = SHIM_UnixSecondsToFileTime(st.st_mtime);
  return 1;
}

BOOL WinSetRect(RECT* r, int l, int t, int rt, int b) {
  if (!r) return 0;
  *r = RECT{l, t, rt, b};
  return 1;
}

// Coordinates wrap around like the 32-bit registers they model instead of
// overflowing.
static int wrapAdd(int a, int b) { return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b)); }

BOOL WinOffsetRect(RECT* r, int dx, int dy) {
  if (!r) return 0;
  r->left = wrapAdd(r->left, dx);
  r->right = wrapAdd(r->right, dx);
  r->top = wrapAdd(r->top, dy);
  r->bottom = wrapAdd(r->bottom, dy);
  return 1;
}

static bool rectEmpty(const RECT* r) { return r->right <= r->left || r->bottom <= r->top; }

BOOL WinIntersectRect(RECT* dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return 0;
  const RECT ra = *a, rb = *b;  // dst may be a or b
  *dst = RECT{0, 0, 0, 0};
  if (rectEmpty(&ra) || rectEmpty(&rb)) return 0;
  *dst = RECT{std::max(ra.left, rb.left), std::max(ra.top, rb.top), std::min(ra.right, rb.right),
              std::min(ra.bottom, rb.bottom)};
  return rectEmpty(dst) ? 0 : 1;
}

BOOL WinUnionRect(RECT* dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return 0;
  const RECT ra = *a, rb = *b;
  *dst = RECT{std::min(ra.left, rb.left), std::min(ra.top, rb.top), std::max(ra.right, rb.right),
              std::max(ra.bottom, rb.bottom)};
  return 1;
}

BOOL SHIM_PtInRect(const RECT* r, POINT p) {
  if (!r) return 0;
  const int top = std::min(r->top, r->bottom), bottom = std::max(r->top, r->bottom);
  return (p.x >= r->left && p.x < r->right && p.y >= top && p.y < bottom) ? 1 : 0;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  const double v = std::trunc((static_cast<double>(b) * static_cast<double>(a)) / c);
  if (!(v >= static_cast<double>(INT_MIN) && v <= static_cast<double>(INT_MAX))) return -1;
  return static_cast<int>(v);
}

unsigned int _controlfp(unsigned int value, unsigned int mask) {
#if defined(__i386__) || defined(__x86_64__)
  unsigned short cw;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
  if ((mask & 0x300u) == 0x300u) {
    cw = static_cast<unsigned short>((cw & ~0xC00u) | ((value & 0x300u) << 2));
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
  }
  return static_cast<unsigned int>(cw) >> 2;
#else
  (void)value;
  (void)mask;
  // No x87 unit: report round-to-nearest and change nothing.
  return 0;
#endif
}

namespace {
struct GlobalHeader {
  int size;
  int lockCount;
};
GlobalHeader* headerOf(HGLOBAL h) { return reinterpret_cast<GlobalHeader*>(static_cast<char*>(h) - sizeof(GlobalHeader)); }
// The header of a live block; an unknown or freed handle is not read.
GlobalHeader* liveHeader(HGLOBAL h) {
  return shim::isLiveHandle(h, shim::HandleKind::GlobalMemory) ? headerOf(h) : nullptr;
}
}  // namespace

HGLOBAL GlobalAlloc(int flags, int size) {
  (void)flags;
  if (size < 0) size = 0;
  if (size > INT_MAX - static_cast<int>(sizeof(GlobalHeader))) return nullptr;
  auto* h = static_cast<GlobalHeader*>(std::malloc(static_cast<size_t>(size) + sizeof(GlobalHeader)));
  if (!h) return nullptr;
  h->size = size;
  h->lockCount = 0;
  // The block's bytes are not cleared: the handle is registered by value.
  if (!shim::registerHandleValue(reinterpret_cast<uintptr_t>(h + 1), shim::HandleKind::GlobalMemory)) {
    std::free(h);
    return nullptr;
  }
  return h + 1;
}

void* GlobalLock(HGLOBAL h) {
  GlobalHeader* g = liveHeader(h);
  if (!g) return nullptr;
  g->lockCount++;
  return h;
}

BOOL GlobalUnlock(HGLOBAL h) {
  GlobalHeader* g = liveHeader(h);
  if (!g) return 0;
  if (g->lockCount > 0) g->lockCount--;
  return g->lockCount > 0 ? 1 : 0;
}

int GlobalSize(HGLOBAL h) {
  const GlobalHeader* g = liveHeader(h);
  return g ? g->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL h) {
  if (shim::unregisterHandle(h, shim::HandleKind::GlobalMemory)) std::free(headerOf(h));
  return nullptr;
}

char* lstrcpyn(char* dst, const char* src, int n) {
  // A null source, like a null destination, leaves dst untouched.
  if (!dst || !src || n < 1) return dst;
  const size_t len = strnlen(src, static_cast<size_t>(n - 1));
  std::memcpy(dst, src, len);
  dst[len] = '\0';
  return dst;
}
