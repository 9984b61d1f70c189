#include "platform/pngwrite.h"

#include <png.h>

#include <vector>

namespace platform {

bool writePNG(const std::string& path, const uint8_t* pixels, int w, int h, int span, bool withAlpha) {
  if (!pixels || w <= 0 || h <= 0 || span / 4 < w) return false;
  const size_t channels = withAlpha ? 4 : 3;
  std::vector<png_byte> bytes(static_cast<size_t>(w) * static_cast<size_t>(h) * channels);
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(span);
    png_byte* d = &bytes[static_cast<size_t>(y) * static_cast<size_t>(w) * channels];
    for (int x = 0; x < w; ++x, src += 4, d += channels) {
      d[0] = src[1];
      d[1] = src[2];
      d[2] = src[3];
      if (withAlpha) d[3] = src[0];
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  const bool ok = png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

}  // namespace platform
