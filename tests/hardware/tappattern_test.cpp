#include <gtest/gtest.h>

#include <random>

#include "hardware/TapPattern.h"

namespace {

using Unpacked = int8_t[tappattern::kUnpackedCount];
using Packed = uint8_t[tappattern::kPackedCount];

TEST(TapPattern, FirstDigitIsTheMostSignificant) {
  Unpacked in = {};
  in[0] = 1;  // step 0: low 1 -> G1 = 24^4 = 0x51000
  Packed out;
  tappattern::pack(in, out);
  const uint8_t expected[11] = {0x00, 0x20, 0x14, 0x00, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(out[i], expected[i]) << i;

  Unpacked back;
  tappattern::unpack(out, back);
  for (size_t i = 0; i < tappattern::kUnpackedCount; ++i) EXPECT_EQ(back[i], in[i]) << i;
}

TEST(TapPattern, LastStepAndExtraValueShareTheLastByte) {
  Unpacked in = {};
  in[30] = 5;
  in[31] = 2;
  in[32] = 24;
  Packed out;
  tappattern::pack(in, out);
  EXPECT_EQ(out[10], (2 << 3 | 5) | 0x60);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(out[i], 0) << i;

  // A high part of 3 in the last step reads as 0.
  Packed crafted = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1F};
  Unpacked back;
  tappattern::unpack(crafted, back);
  EXPECT_EQ(back[30], 7);
  EXPECT_EQ(back[31], 0);
  EXPECT_EQ(back[32], 0);
}

TEST(TapPattern, EveryValidPatternRoundTripsInSevenBitBytes) {
  std::mt19937 rng(11);
  const int8_t extras[4] = {0, 8, 16, 24};
  for (int round = 0; round < 2000; ++round) {
    Unpacked in;
    for (int s = 0; s < 16; ++s) {
      in[2 * s] = static_cast<int8_t>(round == 0 ? 7 : rng() % 8);
      in[2 * s + 1] = static_cast<int8_t>(round == 0 ? 2 : rng() % 3);
    }
    in[32] = extras[round == 0 ? 3 : rng() % 4];
    Packed out;
    tappattern::pack(in, out);
    for (uint8_t b : out) ASSERT_LT(b, 0x80);
    Unpacked back;
    tappattern::unpack(out, back);
    for (size_t i = 0; i < tappattern::kUnpackedCount; ++i) ASSERT_EQ(back[i], in[i]) << "round " << round << " at " << i;
  }
}

TEST(TapPattern, OutOfRangeInputIsHeldAndAnyBytesUnpackInRange) {
  Unpacked in;
  for (auto& v : in) v = -5;
  in[0] = 100;
  in[1] = 9;
  Packed out;
  tappattern::pack(in, out);
  for (uint8_t b : out) EXPECT_LT(b, 0x80);
  Unpacked back;
  tappattern::unpack(out, back);
  EXPECT_EQ(back[0], 7);
  EXPECT_EQ(back[1], 2);
  EXPECT_EQ(back[2], 0);

  Packed all = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  tappattern::unpack(all, back);
  for (int s = 0; s < 16; ++s) {
    EXPECT_GE(back[2 * s], 0);
    EXPECT_LE(back[2 * s], 7);
    EXPECT_GE(back[2 * s + 1], 0);
    EXPECT_LE(back[2 * s + 1], 2);
  }
  EXPECT_EQ(back[32] % 8, 0);
}

}  // namespace
