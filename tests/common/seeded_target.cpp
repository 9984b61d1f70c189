// A fuzz target that accepts every input and offers three seeds, one of them
// empty: the driver tests run it to see the time cap end a run and the seeds
// reach the libFuzzer form's corpus folder.
#include <cstddef>
#include <cstdint>
#include <vector>

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back({});
  seeds.push_back({0xF0, 0x00, 0xF7});
  seeds.push_back({'s', 'e', 'e', 'd'});
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  (void)data;
  (void)size;
  return 0;
}
