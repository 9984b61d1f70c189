#pragma once
// The line clippers behind RAST_ClipLine and RAST_ClipFLine, for the shape
// sources: windows anchored at 0,0, coordinates in 64 bits for the integer
// form. Both return false for a line that misses the window.
#include <cstdint>

namespace rast_detail {

bool clipLine(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int64_t w, int64_t h);
bool clipFLine(float& x1, float& y1, float& x2, float& y2, int w, int h);

}  // namespace rast_detail
