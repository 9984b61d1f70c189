// Arbitrary bytes as one message from the MIDI library through the input
// split: every piece is whole and nothing is invented.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hardware/MidiInputSplit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t out = 0;
  const bool sysexFirst = size > 0 && data[0] == 0xF0;
  const size_t dropped = splitMidiInput(data, size, [&](const uint8_t* b, size_t n) {
    if (n == 0) std::abort();
    out += n;
    if (!sysexFirst) return;
    // Taken apart: a status byte only at the start, or as the final F7.
    for (size_t i = 1; i < n; ++i)
      if (b[i] >= 0x80 && !(b[0] == 0xF0 && b[i] == 0xF7 && i + 1 == n)) std::abort();
    if (b[0] != 0xF0 && n > 3) std::abort();
  });
  if (out + dropped > size) std::abort();
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back({0xF0, 0x3E, 0x16, 0x00, 0xB0, 74, 99, 0xF0, 0x01, 0xF7});
  seeds.push_back({0xF0, 0x01, 0xF8, 0x02, 0xF7, 0x05});
  seeds.push_back({0x90, 0x3C, 0x64, 0x3D});
}
