// Fuzz target of the shapes, glyph masks and delta blits: any bytes become
// calls with arbitrary geometry, and nothing may be written outside the
// bitmaps (their padding is checked after every input).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "shapefuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static shapefuzz::Bitmaps* bms = new shapefuzz::Bitmaps;
  shapefuzz::Reader in(data, size);
  for (int calls = 0; calls < 8 && !in.empty(); ++calls) shapefuzz::callOne(in, *bms);
  if (!bms->intact()) std::abort();
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  // one short call of every kind, on each bitmap
  for (uint8_t op = 0; op < 28; ++op)
    seeds.push_back({op, static_cast<uint8_t>(op % 4), 0, 3, 4, 20, 9, 140, 141, 5, 7, 0, 0xff, 0xff, 0xff, 0xff, 1,
                     2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
}
