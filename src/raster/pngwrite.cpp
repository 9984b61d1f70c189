#include "raster/pngwrite.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int kCompressionLevel = 6;

bool writeRows(FILE* fp, const RAST_pixel* pixels, int w, int h, int rowSpan, bool withAlpha,
               std::vector<png_byte>& row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  const size_t channels = withAlpha ? 4 : 3;
  png_init_io(png, fp);
  png_set_compression_level(png, kCompressionLevel);
  png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) {
    const RAST_pixel* p = pixels + (ptrdiff_t)y * rowSpan;
    for (size_t x = 0; x < (size_t)w; ++x) {
      png_byte* d = &row[x * channels];
      d[0] = (png_byte)RAST_GETR(p[x]);
      d[1] = (png_byte)RAST_GETG(p[x]);
      d[2] = (png_byte)RAST_GETB(p[x]);
      if (withAlpha) d[3] = (png_byte)RAST_GETA(p[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool RAST_WritePNG(const char* path, const RAST_pixel* pixels, int w, int h, int rowSpan, bool withAlpha) {
  if (!path || !pixels || w <= 0 || h <= 0 || rowSpan < w) return false;
  FILE* fp = std::fopen(path, "wb");
  if (!fp) return false;
  std::vector<png_byte> row((size_t)w * (withAlpha ? 4 : 3));
  const bool written = writeRows(fp, pixels, w, h, rowSpan, withAlpha, row);
  const bool closed = std::fclose(fp) == 0;
  if (written && closed) return true;
  std::remove(path);
  return false;
}

bool RAST_WritePNG(const char* path, RAST_IBitmap* bitmap, bool withAlpha) {
  if (!bitmap || !bitmap->getBits()) return false;
  if (!bitmap->isFlipped())
    return RAST_WritePNG(path, bitmap->getBits(), bitmap->getWidth(), bitmap->getHeight(), bitmap->getRowSpan(),
                         withAlpha);
  // A flipped bitmap keeps row 0 last in memory.
  const int w = bitmap->getWidth(), h = bitmap->getHeight(), span = bitmap->getRowSpan();
  std::vector<RAST_pixel> rows((size_t)w * (size_t)h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rows[(size_t)y * w + x] = bitmap->getBits()[(ptrdiff_t)(h - 1 - y) * span + x];
  return RAST_WritePNG(path, rows.data(), w, h, w, withAlpha);
}
