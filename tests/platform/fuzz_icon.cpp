// Icon and cursor files as arbitrary bytes: the decoder must stay inside
// the input, and an image it gives must be whole.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/image.h"

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  // A cursor of one 2 x 2 entry at 4 bits, hot spot (1, 1), with its mask.
  std::vector<uint8_t> cur = {0, 0, 2, 0, 1, 0, 2, 2, 16, 0, 1, 0, 1, 0, 0, 0, 0, 0, 22, 0, 0, 0};
  const uint8_t header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 4, 0};
  std::vector<uint8_t> dib(header, header + 40);
  for (int i = 0; i < 16; ++i) dib.insert(dib.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), 0, 0});
  dib.insert(dib.end(), {0x12, 0, 0, 0, 0x34, 0, 0, 0, 0x40, 0, 0, 0, 0x80, 0, 0, 0});
  cur[14] = static_cast<uint8_t>(dib.size());
  cur.insert(cur.end(), dib.begin(), dib.end());
  seeds.push_back(cur);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int hx = -1, hy = -1;
  platform::Image* img = platform::imageDecodeIcon(std::span<const uint8_t>(data, size), &hx, &hy);
  if (img) {
    if (img->width <= 0 || img->height <= 0 ||
        img->rgba.size() != static_cast<size_t>(img->width) * static_cast<size_t>(img->height) * 4)
      std::abort();
    platform::imageRelease(img);
  }
  if (hx < 0 || hy < 0) std::abort();
  return 0;
}
