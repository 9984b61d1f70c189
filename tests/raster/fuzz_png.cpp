// Fuzz target of the PNG loader: any bytes give a whole bitmap or null,
// into a new bitmap and into a caller's flipped one, with and without the
// checksums, without reading or writing outside the input and the bitmap;
// the header's size is the decoded one.
#include <cstdint>
#include <vector>

#include "pngwriter.h"
#include "raster/png.h"
#include "rastertest.h"

namespace {

// Mutations nearly always break a chunk checksum; a repaired copy lets them
// reach the decoder proper.
std::vector<uint8_t> withFixedChecksums(const uint8_t* data, size_t size) {
  std::vector<uint8_t> v(data, data + size);
  size_t at = 8;
  while (at + 12 <= v.size()) {
    const size_t len = (size_t(v[at]) << 24) | (size_t(v[at + 1]) << 16) | (size_t(v[at + 2]) << 8) | size_t(v[at + 3]);
    if (len > v.size() - at - 12) break;
    pngtest::fixChunkCrc(v, at + 4);
    at += 12 + len;
  }
  return v;
}

void loadBoth(const uint8_t* data, size_t size) {
  const int len = static_cast<int>(size);
  int w = 0, h = 0;
  const bool sized = RAST_PNGSize(data, size, &w, &h);
  delete RAST_LoadPNGFromMemory(data, len, nullptr, false);
  RAST_IBitmap* bm = RAST_LoadPNGFromMemory(data, len, nullptr);
  // a decoded image has the size its header states
  if (bm && (!sized || w != bm->getWidth() || h != bm->getHeight())) __builtin_trap();
  if (bm) {
    // every row of the result is readable
    volatile RAST_pixel sink = 0;
    for (int y = 0; y < bm->getHeight(); ++y) sink = sink + bm->getBits()[y * bm->getRowSpan() + bm->getWidth() - 1];
    // the same image into a caller's bitmap of its exact size, flipped
    rastertest::TestBitmap flipped(bm->getWidth(), bm->getHeight(), bm->getWidth() + 1, true);
    RAST_LoadPNGFromMemory(data, len, &flipped);
    delete bm;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  loadBoth(data, size);
  const std::vector<uint8_t> fixed = withFixedChecksums(data, size);
  // an exact-size heap copy, so that reads past the end are caught
  std::vector<uint8_t> copy(fixed);
  copy.shrink_to_fit();
  loadBoth(copy.data(), copy.size());
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  int n = 0;
  for (const pngtest::Kind& k : pngtest::allKinds()) {
    const bool interlaced = (n++ % 2) == 1;
    seeds.push_back(pngtest::encode(pngtest::make(k.colorType, k.bitDepth, 9, 5, interlaced, k.transparency)));
  }
}
