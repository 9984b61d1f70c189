#pragma once
// Whole-rectangle comparison and printing for the emulation layer's tests.
#include <ostream>

#include "shim/wintypes.h"

inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& o, const RECT& r) {
  return o << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
