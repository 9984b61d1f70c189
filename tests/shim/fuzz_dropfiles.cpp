// Dropped-file blocks as arbitrary bytes: every query stays inside the
// block, and the count matches the paths that can be read.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shim/winbase.h"
#include "shim/wincommon.h"

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  std::vector<uint8_t> b = {16, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
  for (const char* p : {"/a/b", "/c"}) b.insert(b.end(), p, p + std::strlen(p) + 1);
  b.push_back(0);
  seeds.push_back(b);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HGLOBAL h = GlobalAlloc(0, static_cast<int>(size));
  if (!h) return 0;
  if (size) std::memcpy(GlobalLock(h), data, size);
  GlobalUnlock(h);
  POINT pt;
  DragQueryPoint(h, &pt);
  const UINT n = DragQueryFile(h, 0xFFFFFFFFu, nullptr, 0);
  char buf[8];
  for (UINT i = 0; i <= n; ++i) {
    const UINT whole = DragQueryFile(h, i, nullptr, 0);
    const UINT cut = DragQueryFile(h, i, buf, sizeof buf);
    if ((i == n && (whole || cut)) || cut >= sizeof buf || (whole < sizeof buf && cut != whole)) std::abort();
  }
  GlobalFree(h);
  return 0;
}
