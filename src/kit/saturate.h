#pragma once
// Coordinate arithmetic that saturates instead of wrapping: points at the far
// ends of the int range (a window system or a host may hand them over) give
// the nearest int the sum or difference has, never an overflow. Pure
// functions, any thread.
#include <cstdint>

namespace kit {

inline int clampToInt(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int>(v);
}

inline int saturatingAdd(int a, int b) { return clampToInt(int64_t{a} + b); }
inline int saturatingSub(int a, int b) { return clampToInt(int64_t{a} - b); }

}  // namespace kit
