// Arbitrary bytes as a host's calls into the test plug-in: every 8 bytes
// one dispatcher call (any opcode up to 80 but close), parameter call or
// block. Pointers are null or a zeroed 4096-byte buffer; a chunk handed in
// is at most that long.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "testhost/TestHost.h"
#include "testplug.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t> buffer(4096);
  testhost::Effect fx(&testplug::makeEffect);
  if (!fx.ok()) std::abort();
  for (size_t at = 0; at + 8 <= size; at += 8) {
    const uint8_t* c = data + at;
    const int32_t index = static_cast<int16_t>(c[2] | (c[3] << 8));
    intptr_t value = static_cast<int16_t>(c[4] | (c[5] << 8));
    const float opt = c[7] / 255.0f;
    std::memset(buffer.data(), 0, buffer.size());
    void* ptr = (c[6] & 1) ? buffer.data() : nullptr;
    switch (c[0] % 4) {
      case 0: {
        const int32_t op = c[1] % 81;
        if (op == effClose) break;
        if (op == effSetChunk) {
          value = value > 4096 ? 4096 : value;
        } else if ((op == effSetSpeakerArrangement || op == effGetSpeakerArrangement) && (c[6] & 2)) {
          value = reinterpret_cast<intptr_t>(buffer.data());
        } else if (op == effSetSpeakerArrangement || op == effGetSpeakerArrangement) {
          value = 0;
        }
        fx.dispatch(op, index, value, ptr, opt);
        break;
      }
      case 1:
        fx.setParameter(index, opt);
        break;
      case 2:
        (void)fx.getParameter(index);
        break;
      default:
        fx.process(static_cast<testhost::Effect::Kind>(c[1] % 3), c[2], opt);
        break;
    }
  }
  return 0;
}
