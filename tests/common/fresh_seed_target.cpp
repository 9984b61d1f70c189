// A fuzz target whose state carries from one input to the next: its second
// seed fails unless the first one ran before it in the same process. The
// driver test runs it to see each seed also run first on a fresh target,
// as libFuzzer, which runs the smaller one first, would run it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back({'m', 'a', 'k', 'e', ' ', 's', 't', 'a', 't', 'e'});
  seeds.push_back({'u', 's', 'e'});
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool made = false;
  if (size == 10 && std::memcmp(data, "make state", 10) == 0) made = true;
  if (size == 3 && std::memcmp(data, "use", 3) == 0 && !made) std::abort();
  return 0;
}
