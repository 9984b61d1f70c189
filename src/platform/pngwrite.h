#pragma once
// The one PNG writer of tests and tools: 8-bit RGB or RGBA through libpng's
// simplified write API (default compression, no time chunk). Any thread.
#include <cstdint>
#include <string>

namespace platform {

// Writes w x h pixels of four bytes each (byte 0 alpha, then red, green,
// blue: the surface layout), span bytes per row, top row first. With
// withAlpha false the alpha byte is dropped. False on any failure.
bool writePNG(const std::string& path, const uint8_t* pixels, int w, int h, int span, bool withAlpha);

}  // namespace platform
