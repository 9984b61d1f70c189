#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MIDIMessageSender.h"
#include "hardware/TapPattern.h"

namespace {

using Unpacked = int8_t[tappattern::kUnpackedCount];
using Packed = uint8_t[tappattern::kPackedCount];

std::vector<uint8_t> packed(const Unpacked& in) {
  Packed out;
  tappattern::pack(in, out);
  return {out, out + tappattern::kPackedCount};
}

std::vector<int8_t> unpacked(const std::vector<uint8_t>& bytes) {
  Packed in;
  std::copy(bytes.begin(), bytes.end(), in);
  Unpacked out;
  tappattern::unpack(in, out);
  return {out, out + tappattern::kUnpackedCount};
}

TEST(TapPattern, FirstDigitIsTheMostSignificantAndTheLastByteIsShared) {
  Unpacked in = {};
  in[0] = 1;  // step 0: low 1 -> G1 = 24^4 = 0x51000
  EXPECT_EQ(packed(in), (std::vector<uint8_t>{0x00, 0x20, 0x14, 0x00, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(unpacked(packed(in)), std::vector<int8_t>(in, in + tappattern::kUnpackedCount));

  // The last step and the extra value share the last byte.
  Unpacked last = {};
  last[30] = 5, last[31] = 2, last[32] = 24;
  EXPECT_EQ(packed(last), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, (2 << 3 | 5) | 0x60}));
  // A high part of 3 in the last step reads as 0.
  const auto back = unpacked({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1F});
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
    const auto out = packed(in);
    for (uint8_t b : out) ASSERT_LT(b, 0x80);
    ASSERT_EQ(unpacked(out), std::vector<int8_t>(in, in + tappattern::kUnpackedCount)) << "round " << round;
  }
}

TEST(TapPattern, OutOfRangeInputIsHeldAndAnyBytesUnpackInRange) {
  Unpacked in;
  for (auto& v : in) v = -5;
  in[0] = 100, in[1] = 9;
  const auto out = packed(in);
  for (uint8_t b : out) EXPECT_LT(b, 0x80);
  const auto back = unpacked(out);
  EXPECT_EQ(back[0], 7);
  EXPECT_EQ(back[1], 2);
  EXPECT_EQ(back[2], 0);

  const auto any = unpacked(std::vector<uint8_t>(tappattern::kPackedCount, 0xFF));
  for (int s = 0; s < 16; ++s) {
    EXPECT_TRUE(any[2 * s] >= 0 && any[2 * s] <= 7) << s;
    EXPECT_TRUE(any[2 * s + 1] >= 0 && any[2 * s + 1] <= 2) << s;
  }
  EXPECT_EQ(any[32] % 8, 0);
}

// The job runner's and the hub's names for the packing: the same bytes and
// values through plain character buffers; null buffers are left alone.
TEST(TapPattern, TheSendersAndTheHubsNamesPackAndUnpack) {
  char values[tappattern::kUnpackedCount];
  for (int i = 0; i < 32; ++i) values[i] = static_cast<char>(i % 2 ? i % 3 : i % 8);
  values[32] = 16;
  Unpacked in;
  std::copy(values, values + tappattern::kUnpackedCount, in);
  char out[tappattern::kPackedCount] = {};
  MIDIMessageSender::GenTapPatternCode(out, values);
  EXPECT_EQ(std::vector<uint8_t>(out, out + tappattern::kPackedCount), packed(in));
  unsigned char raw[tappattern::kPackedCount];
  std::copy(out, out + tappattern::kPackedCount, raw);
  char back[tappattern::kUnpackedCount] = {};
  MIDIMessageManager::decodeTapPatternCode(raw, back);
  EXPECT_TRUE(std::equal(values, values + tappattern::kUnpackedCount, back));
  MIDIMessageSender::GenTapPatternCode(out, nullptr);
  MIDIMessageSender::GenTapPatternCode(nullptr, values);
  MIDIMessageManager::decodeTapPatternCode(nullptr, back);
  EXPECT_EQ(std::vector<uint8_t>(out, out + tappattern::kPackedCount), packed(in));
}

}  // namespace
