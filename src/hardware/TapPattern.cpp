// Packing and unpacking of the 16-step tap pattern.
#include "hardware/TapPattern.h"

#include <algorithm>

namespace tappattern {

namespace {

constexpr int kStepsPerGroup = 5;
constexpr int kGroups = 3;
constexpr int kBase = 24;

int low(const int8_t (&in)[kUnpackedCount], int step) { return std::clamp<int>(in[2 * step], 0, 7); }
int high(const int8_t (&in)[kUnpackedCount], int step) { return std::clamp<int>(in[2 * step + 1], 0, 2); }

}  // namespace

void pack(const int8_t (&in)[kUnpackedCount], uint8_t (&out)[kPackedCount]) {
  uint32_t g[kGroups] = {};
  for (int group = 0; group < kGroups; ++group) {
    for (int i = 0; i < kStepsPerGroup; ++i) {
      const int step = group * kStepsPerGroup + i;
      g[group] = g[group] * kBase + static_cast<uint32_t>(low(in, step) + 8 * high(in, step));
    }
  }
  out[0] = g[0] & 0x7F;
  out[1] = (g[0] >> 7) & 0x7F;
  out[2] = (g[0] >> 14) & 0x7F;
  out[3] = (((g[0] >> 21) & 3) + (g[1] << 2)) & 0x7F;
  out[4] = (g[1] >> 5) & 0x7F;
  out[5] = (g[1] >> 12) & 0x7F;
  out[6] = ((g[2] << 4) | ((g[1] >> 19) & 0x0F)) & 0x7F;
  out[7] = (g[2] >> 3) & 0x7F;
  out[8] = (g[2] >> 10) & 0x7F;
  out[9] = (g[2] >> 17) & 0x3F;
  const uint32_t x = static_cast<uint8_t>(in[32]);
  out[10] = static_cast<uint8_t>(((high(in, 15) << 3 | low(in, 15)) & 0x7F) | ((x << 2) & 0x60));
}

void unpack(const uint8_t (&in)[kPackedCount], int8_t (&out)[kUnpackedCount]) {
  const uint32_t b[kPackedCount] = {in[0], in[1], in[2], in[3], in[4], in[5], in[6], in[7], in[8], in[9], in[10]};
  uint32_t g[kGroups];
  g[0] = b[0] | b[1] << 7 | b[2] << 14 | (b[3] & 3) << 21;
  g[1] = b[3] >> 2 | b[4] << 5 | b[5] << 12 | (b[6] & 0x0F) << 19;
  g[2] = b[6] >> 4 | b[7] << 3 | b[8] << 10 | b[9] << 17;
  for (int group = 0; group < kGroups; ++group) {
    uint32_t rest = g[group];
    for (int i = kStepsPerGroup - 1; i >= 0; --i) {
      const int d = static_cast<int>(rest % kBase);
      rest /= kBase;
      const int step = group * kStepsPerGroup + i;
      out[2 * step] = static_cast<int8_t>(d & 7);
      out[2 * step + 1] = static_cast<int8_t>(d >> 3);
    }
  }
  const int high15 = (b[10] >> 3) & 3;
  out[30] = static_cast<int8_t>(b[10] & 7);
  out[31] = static_cast<int8_t>(high15 == 3 ? 0 : high15);
  out[32] = static_cast<int8_t>((b[10] >> 2) & 0x18);
}

}  // namespace tappattern
