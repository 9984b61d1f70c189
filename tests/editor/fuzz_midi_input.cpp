// Arbitrary bytes as MIDI input of one plug-in over the project's
// description: each message is a length byte and that many bytes, handed to
// the port layer's entry as the instrument's port would (channel messages up
// to 3 bytes, system-exclusive above), so they pass the hooks, the hub and
// the hardware value path. Sends go to a port that keeps nothing; the clock
// does not wait, so jobs the input starts end at once.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "editor/Tavrin.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "fuzz_plugin.h"
#include "testsupport.h"

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back({3, 0xB0, 74, 10, 3, 0xC0, 5, 0});
  seeds.push_back({6, 0xF0, 0x3E, 0x16, 0, 0x7F, 0xF7, 3, 0xB0, 25, 3});
  seeds.push_back({10, 0xF0, 0x3E, 0x16, 0, 0x41, 0x43, 0, 0x10, 5, 0xF7});
  std::vector<uint8_t> dump(138, 0);
  dump[0] = 137, dump[1] = 0xF0, dump[2] = 0x3E, dump[3] = 0x16, dump[5] = 0x10, dump[137] = 0xF7;
  seeds.push_back(dump);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static edtest::FuzzPlugin rig;
  Tavrin& plug = *rig.plug;
  size_t at = 0;
  while (at < size) {
    const size_t length = std::min<size_t>(data[at], size - at - 1);
    plug.processMIDIInput(data + at + 1, length);
    at += 1 + length;
  }
  // The value path leaves no flag behind.
  if (plug.hardwareChange()) std::abort();
  return 0;
}
