#pragma once
// Small helpers shared by the shape sources (lines, circles, fills, curves,
// glyphs and the delta blits): checks of caller values and saturating
// conversions.
#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace rast_detail {

// True when every value is finite (not NaN, not infinite).
inline bool allFinite(std::initializer_list<double> vs) {
  for (double v : vs)
    if (!std::isfinite(v)) return false;
  return true;
}

// Truncation toward zero, saturated at the int range; NaN gives 0.
inline int satInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

inline int satInt(int64_t v) {
  return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
}

// Truncation toward zero, saturated at +-2^62; NaN gives 0.
inline int64_t satInt64(double v) {
  if (!(v == v)) return 0;
  if (v >= 4611686018427387904.0) return INT64_C(4611686018427387904);
  if (v <= -4611686018427387904.0) return -INT64_C(4611686018427387904);
  return static_cast<int64_t>(v);
}

inline int64_t min64(int64_t a, int64_t b) { return a < b ? a : b; }
inline int64_t max64(int64_t a, int64_t b) { return a > b ? a : b; }

// The colour's channels as the combiners take them.
struct Channels {
  int r, g, b, a;
  explicit Channels(uint32_t c)
      : r(static_cast<int>((c >> 8) & 255)), g(static_cast<int>((c >> 16) & 255)), b(static_cast<int>(c >> 24)),
        a(static_cast<int>(c & 255)) {}
};

// A weight times a coverage or fraction over 256, formed in 64 bits.
inline int scaleWeight(int64_t v, int ia) { return static_cast<int>((v * ia) / 256); }

}  // namespace rast_detail
