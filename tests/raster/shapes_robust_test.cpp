// Every shape, glyph and delta-blit entry point called at random with
// extreme values: nothing is written outside the bitmaps.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "shapefuzz.h"

TEST(ShapeRobustness, RandomCallsKeepThePadding) {
  shapefuzz::Bitmaps bms;
  std::mt19937 rng(23);
  std::vector<uint8_t> bytes(96);
  for (int it = 0; it < 6000; ++it) {
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    bytes[0] = static_cast<uint8_t>(it % 28);  // every entry point in turn
    shapefuzz::Reader in(bytes.data(), bytes.size());
    shapefuzz::callOne(in, bms);
    ASSERT_TRUE(bms.intact()) << "call " << it << " op " << it % 28;
  }
}
