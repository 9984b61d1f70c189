// Arbitrary bytes as program and bank files, for a plug-in with state chunks
// and one without: nothing may crash or read out of bounds, a load that
// fails changes nothing, and one that succeeds leaves every value in range.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "framework/IPluginBase.h"
#include "framework_fakes.h"

namespace {

class FilePlug : public IPluginBase {
 public:
  explicit FilePlug(bool chunks)
      : IPluginBase(5, "2-2", 2, "F", "F", "F", 0x10000, 0x46757A7A, 1, 0, false, chunks, false) {
    initialize(4, 5, "2-2", 2, "F", "F", "F", 0x10000, 0x46757A7A, 1, 0, false, chunks, false);
    GetParam(0)->InitBool("b", false);
    GetParam(1)->InitInt("i", 3, -5, 5);
    GetParam(2)->InitDouble("d", 0.5, 0.0, 1.0, 0.01);
    GetParam(3)->InitEnum("e", 1, 4);
    GetParam(4)->InitDouble("h", 0, -10, 10, 0.5);
    MakeDefaultPreset("one", 1);
  }
  void load(std::span<const uint8_t> bytes, bool bank) {
    const fwtest::PlugState before = fwtest::StateOf(*this);
    const bool ok = bank ? LoadBankFXB(bytes) : LoadProgramFXP(bytes);
    if (!ok && !(fwtest::StateOf(*this) == before)) std::abort();
    if (!fwtest::ValuesInRange(*this)) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  for (bool chunks : {false, true}) {
    FilePlug plug(chunks);
    plug.load(bytes, false);
    plug.load(bytes, true);
  }
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (bool chunks : {false, true}) {
    FilePlug plug(chunks);
    plug.GetParam(2)->Set(0.25);
    std::vector<uint8_t> program, bank;
    plug.MakeProgramFXP(&program);
    plug.MakeBankFXB(&bank);
    seeds.push_back(program);
    seeds.push_back(bank);
  }
}
