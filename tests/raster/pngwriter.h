#pragma once
// Test images: PNG files written with libpng's write side in every colour
// type, bit depth, transparency and interlace, together with the alpha,
// red, green, blue pixels a loader must give for them.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/pixel.h"

namespace pngtest {

struct Image {
  int width = 0, height = 0, bitDepth = 8, colorType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  bool transparency = false;  // a tRNS chunk
  std::vector<std::vector<uint8_t>> rows;  // raw rows as stored (packed, 16-bit big-endian)
  std::vector<png_color> palette;
  std::vector<uint8_t> paletteAlpha;
  png_color_16 trnsColour{};
  std::vector<RAST_pixel> expected;  // row by row
};

namespace detail {

inline void append(png_structp png, png_bytep data, png_size_t len) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + len);
}
inline void flush(png_structp) {}

inline void putSample(std::vector<uint8_t>& row, int index, int depth, int v) {
  if (depth == 16) {
    row[static_cast<size_t>(index) * 2] = static_cast<uint8_t>(v >> 8);
    row[static_cast<size_t>(index) * 2 + 1] = static_cast<uint8_t>(v);
  } else if (depth == 8) {
    row[static_cast<size_t>(index)] = static_cast<uint8_t>(v);
  } else {
    const int perByte = 8 / depth;
    const int shift = 8 - depth * (index % perByte + 1);
    row[static_cast<size_t>(index / perByte)] |= static_cast<uint8_t>(v << shift);
  }
}

// The 8-bit value of a sample as the loader delivers it.
inline int to8(int v, int depth) {
  if (depth == 16) return v >> 8;
  return v * 255 / ((1 << depth) - 1);
}

}  // namespace detail

// A deterministic image of the given type with its expected pixels.
inline Image make(int colorType, int bitDepth, int w, int h, bool interlaced, bool transparency) {
  Image im;
  im.width = w, im.height = h, im.bitDepth = bitDepth, im.colorType = colorType;
  im.interlaced = interlaced, im.transparency = transparency;
  const int maxv = (1 << bitDepth) - 1;
  const bool grey = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
  const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
  const int channels = (colorType == PNG_COLOR_TYPE_PALETTE || grey ? 1 : 3) + (alpha ? 1 : 0);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i <= maxv; ++i) {
      im.palette.push_back(png_color{static_cast<png_byte>(i * 7 + 3), static_cast<png_byte>(255 - i),
                                     static_cast<png_byte>(i * 3)});
      if (transparency && i < (maxv + 1) / 2 + 1) im.paletteAlpha.push_back(static_cast<uint8_t>(i * 29 + 1));
    }
  }
  auto sample = [&](int x, int y, int k) { return (x * 37 + y * 91 + k * 53 + x * y * 5) % (maxv + 1); };
  // the transparent colour is the one of pixel (1, 0)
  im.trnsColour.gray = im.trnsColour.red = static_cast<png_uint_16>(sample(1, 0, 0));
  im.trnsColour.green = static_cast<png_uint_16>(sample(1, 0, 1));
  im.trnsColour.blue = static_cast<png_uint_16>(sample(1, 0, 2));
  const size_t rowBytes = (static_cast<size_t>(w) * channels * bitDepth + 7) / 8;
  for (int y = 0; y < h; ++y) {
    std::vector<uint8_t> row(rowBytes, 0);
    for (int x = 0; x < w; ++x) {
      int s[4], v[4];
      bool isTrns = transparency;
      for (int k = 0; k < channels; ++k) {
        s[k] = sample(x, y, k);
        v[k] = detail::to8(s[k], bitDepth);
        isTrns = isTrns && s[k] == sample(1, 0, k);
        detail::putSample(row, x * channels + k, bitDepth, s[k]);
      }
      int r, g, b, a = 255;
      if (colorType == PNG_COLOR_TYPE_PALETTE) {
        const png_color& c = im.palette[static_cast<size_t>(s[0])];
        r = c.red, g = c.green, b = c.blue;
        if (static_cast<size_t>(s[0]) < im.paletteAlpha.size()) a = im.paletteAlpha[static_cast<size_t>(s[0])];
      } else {
        r = v[0], g = grey ? v[0] : v[1], b = grey ? v[0] : v[2];
        if (alpha) a = v[channels - 1];
        if (isTrns) a = 0;  // a tRNS chunk only comes with the types without alpha
      }
      im.expected.push_back(RAST_RGBA(r, g, b, a));
    }
    im.rows.push_back(std::move(row));
  }
  return im;
}

// The PNG file of an image; empty on failure.
inline std::vector<uint8_t> encode(const Image& im) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rowPtrs;
  for (const auto& r : im.rows) rowPtrs.push_back(const_cast<png_bytep>(r.data()));
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    out.clear();
    return out;
  }
  png_set_write_fn(png, &out, detail::append, detail::flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(im.width), static_cast<png_uint_32>(im.height), im.bitDepth,
               im.colorType, im.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!im.palette.empty()) png_set_PLTE(png, info, im.palette.data(), static_cast<int>(im.palette.size()));
  if (im.transparency) {
    if (im.colorType == PNG_COLOR_TYPE_PALETTE)
      png_set_tRNS(png, info, im.paletteAlpha.data(), static_cast<int>(im.paletteAlpha.size()), nullptr);
    else
      png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16p>(&im.trnsColour));
  }
  png_write_info(png, info);
  png_write_image(png, rowPtrs.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Every kind the tests and the fuzz seeds cover.
struct Kind {
  int colorType, bitDepth;
  bool transparency;
};
inline std::vector<Kind> allKinds() {
  std::vector<Kind> k;
  for (int d : {1, 2, 4, 8, 16}) k.push_back({PNG_COLOR_TYPE_GRAY, d, false});
  for (int d : {2, 8, 16}) k.push_back({PNG_COLOR_TYPE_GRAY, d, true});
  for (int d : {8, 16}) {
    k.push_back({PNG_COLOR_TYPE_RGB, d, false});
    k.push_back({PNG_COLOR_TYPE_RGB, d, true});
    k.push_back({PNG_COLOR_TYPE_GRAY_ALPHA, d, false});
    k.push_back({PNG_COLOR_TYPE_RGB_ALPHA, d, false});
  }
  for (int d : {1, 2, 4, 8}) {
    k.push_back({PNG_COLOR_TYPE_PALETTE, d, false});
    k.push_back({PNG_COLOR_TYPE_PALETTE, d, true});
  }
  return k;
}

// Recomputes the CRC of the chunk whose type starts at offset typeAt.
inline void fixChunkCrc(std::vector<uint8_t>& png, size_t typeAt) {
  const size_t len = (size_t(png[typeAt - 4]) << 24) | (size_t(png[typeAt - 3]) << 16) | (size_t(png[typeAt - 2]) << 8) |
                     size_t(png[typeAt - 1]);
  const uLong crc = crc32(0L, png.data() + typeAt, static_cast<uInt>(len + 4));
  const size_t at = typeAt + 4 + len;
  png[at] = static_cast<uint8_t>(crc >> 24);
  png[at + 1] = static_cast<uint8_t>(crc >> 16);
  png[at + 2] = static_cast<uint8_t>(crc >> 8);
  png[at + 3] = static_cast<uint8_t>(crc);
}

}  // namespace pngtest
