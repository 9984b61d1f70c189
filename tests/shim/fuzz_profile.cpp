// Arbitrary bytes read as a profile file, laid out as the writer writes
// them, then read again: the second reading must give the same layout.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "shim/winprofile.h"

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  const char* texts[] = {"[Sec]\nKey = value \n\n[other]\na=1\nb='q'\n", "x=1\n[ s ]junk\r\nk=v\r\n[s]\nk=w\n",
                         "[a]\n[]\nz=1\n[A]\ny=\"2'\n"};
  for (const char* t : texts) seeds.emplace_back(t, t + std::string(t).size());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string once = SHIM_ProfileLayout(std::span<const uint8_t>(data, size));
  const std::string twice =
      SHIM_ProfileLayout(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(once.data()), once.size()));
  if (once != twice) std::abort();
  return 0;
}
