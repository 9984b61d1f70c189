// A fuzz target with a planted fault: it reads the byte after an empty input.
// Built with the address checker, the driver must stop on it; the test that
// runs it passes only on that report.
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    volatile uint8_t past = data[size];
    (void)past;
  }
  return 0;
}
