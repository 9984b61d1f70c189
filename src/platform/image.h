#pragma once
// Counted RGBA images: 8 bits per sample, not premultiplied, top row first,
// with a flipped mark that drawing ignores. PNG is decoded by libpng; icon
// and cursor files (".ico", ".cur") in memory, with PNG entries or DIB
// entries of 1, 4, 8, 24 or 32 bits and their AND mask.
//
// Threads: any thread; an image is not locked, so one image is changed by
// one thread at a time. Counts change atomically.
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes, R G B A
  bool flipped = false;
  std::atomic<int> refs{1};

  uint8_t* pixel(int x, int y) { return &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 4]; }
  const uint8_t* pixel(int x, int y) const {
    return &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 4];
  }
};

// The largest image made here, in pixels.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 24;

// A transparent image of w x h with one reference; null for a size of 0 or
// less or beyond kMaxImagePixels.
Image* imageCreate(int w, int h);
Image* imageRetain(Image* img);  // null-tolerant, returns img
void imageRelease(Image* img);   // null-tolerant; frees on the last reference

// Decoders: null for anything that is not a whole image of their kind.
Image* imageDecodePNG(std::span<const uint8_t> bytes);
// An icon (type 1) or cursor (type 2) file: its largest entry. For a cursor
// *hotX and *hotY receive the entry's hot spot (0, 0 for an icon).
Image* imageDecodeIcon(std::span<const uint8_t> bytes, int* hotX = nullptr, int* hotY = nullptr);
// A PNG, icon or cursor file by its content.
Image* imageDecode(std::span<const uint8_t> bytes);
Image* imageLoadFile(const std::string& path);

}  // namespace platform
