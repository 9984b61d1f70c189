#include "platform/image.h"

#include <png.h>

#include <cstring>

#include "platform/files.h"

namespace platform {

namespace {

constexpr size_t kMaxFileBytes = size_t{1} << 28;

uint32_t le16(std::span<const uint8_t> b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t le32(std::span<const uint8_t> b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

bool isPNG(std::span<const uint8_t> b) {
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return b.size() >= 8 && std::memcmp(b.data(), sig, 8) == 0;
}

// A DIB entry of an icon: the header, the colour rows, then the AND mask.
Image* decodeDIB(std::span<const uint8_t> b) {
  if (b.size() < 40) return nullptr;
  const uint32_t headerSize = le32(b, 0);
  const int32_t w = static_cast<int32_t>(le32(b, 4));
  const int32_t h2 = static_cast<int32_t>(le32(b, 8));
  const uint32_t bpp = le16(b, 14);
  const uint32_t compression = le32(b, 16);
  uint32_t colours = le32(b, 32);
  if (headerSize < 40 || headerSize > b.size() || w <= 0 || h2 <= 1 || compression != 0) return nullptr;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
  const int h = h2 / 2;
  if (int64_t{w} * h > kMaxImagePixels) return nullptr;
  if (bpp <= 8) {
    if (colours == 0 || colours > (1u << bpp)) colours = 1u << bpp;
  } else {
    colours = 0;
  }
  const size_t palette = headerSize;
  const size_t rows = palette + size_t{colours} * 4;
  const size_t stride = (static_cast<size_t>(w) * bpp + 31) / 32 * 4;
  const size_t maskStride = (static_cast<size_t>(w) + 31) / 32 * 4;
  const size_t mask = rows + stride * static_cast<size_t>(h);
  const bool hasMask = mask + maskStride * static_cast<size_t>(h) <= b.size();
  if (mask > b.size()) return nullptr;
  Image* img = imageCreate(w, h);
  if (!img) return nullptr;
  bool anyAlpha = false;
  for (int y = 0; y < h; ++y) {
    const size_t row = rows + stride * static_cast<size_t>(h - 1 - y);  // rows are stored bottom up
    for (int x = 0; x < w; ++x) {
      uint8_t* p = img->pixel(x, y);
      if (bpp >= 24) {
        const size_t at = row + static_cast<size_t>(x) * (bpp / 8);
        p[0] = b[at + 2];
        p[1] = b[at + 1];
        p[2] = b[at];
        p[3] = bpp == 32 ? b[at + 3] : 255;
        anyAlpha = anyAlpha || (bpp == 32 && p[3] != 0);
      } else {
        const size_t bit = static_cast<size_t>(x) * bpp;
        const unsigned idx = (b[row + bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        const size_t at = palette + (idx < colours ? idx : 0) * 4;
        p[0] = b[at + 2];
        p[1] = b[at + 1];
        p[2] = b[at];
        p[3] = 255;
      }
    }
  }
  // 32-bit entries carry their own alpha unless it is all zero; the others
  // take the AND mask (a set bit is transparent).
  if (bpp != 32 || !anyAlpha) {
    for (int y = 0; y < h; ++y) {
      const size_t row = mask + maskStride * static_cast<size_t>(h - 1 - y);
      for (int x = 0; x < w; ++x)
        img->pixel(x, y)[3] = hasMask && ((b[row + x / 8] >> (7 - x % 8)) & 1) ? 0 : 255;
    }
  }
  return img;
}

}  // namespace

Image* imageCreate(int w, int h) {
  if (w <= 0 || h <= 0 || int64_t{w} * h > kMaxImagePixels) return nullptr;
  Image* img = new Image;
  img->width = w;
  img->height = h;
  img->rgba.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);
  return img;
}

Image* imageRetain(Image* img) {
  if (img) img->refs.fetch_add(1);
  return img;
}

void imageRelease(Image* img) {
  if (img && img->refs.fetch_sub(1) == 1) delete img;
}

Image* imageDecodePNG(std::span<const uint8_t> bytes) {
  if (!isPNG(bytes)) return nullptr;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return nullptr;
  png.format = PNG_FORMAT_RGBA;
  Image* img = png.width <= INT32_MAX && png.height <= INT32_MAX
                   ? imageCreate(static_cast<int>(png.width), static_cast<int>(png.height))
                   : nullptr;
  if (!img || !png_image_finish_read(&png, nullptr, img->rgba.data(), 0, nullptr)) {
    png_image_free(&png);
    imageRelease(img);
    return nullptr;
  }
  return img;
}

Image* imageDecodeIcon(std::span<const uint8_t> b, int* hotX, int* hotY) {
  if (hotX) *hotX = 0;
  if (hotY) *hotY = 0;
  if (b.size() < 6 || le16(b, 0) != 0) return nullptr;
  const uint32_t type = le16(b, 2), count = le16(b, 4);
  if ((type != 1 && type != 2) || count == 0 || 6 + size_t{count} * 16 > b.size()) return nullptr;
  Image* best = nullptr;
  int bestX = 0, bestY = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = 6 + size_t{i} * 16;
    const uint32_t size = le32(b, e + 8), offset = le32(b, e + 12);
    if (offset > b.size() || size > b.size() - offset) continue;
    const std::span<const uint8_t> data = b.subspan(offset, size);
    Image* img = isPNG(data) ? imageDecodePNG(data) : decodeDIB(data);
    if (!img) continue;
    if (best && int64_t{img->width} * img->height <= int64_t{best->width} * best->height) {
      imageRelease(img);
      continue;
    }
    imageRelease(best);
    best = img;
    bestX = static_cast<int>(le16(b, e + 4));
    bestY = static_cast<int>(le16(b, e + 6));
  }
  if (best && type == 2) {
    if (hotX) *hotX = bestX;
    if (hotY) *hotY = bestY;
  }
  return best;
}

Image* imageDecode(std::span<const uint8_t> bytes) {
  return isPNG(bytes) ? imageDecodePNG(bytes) : imageDecodeIcon(bytes);
}

Image* imageLoadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, &bytes, kMaxFileBytes)) return nullptr;
  return imageDecode(bytes);
}

}  // namespace platform
