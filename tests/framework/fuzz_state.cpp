// Arbitrary bytes as a state chunk from the host: program and bank chunks
// with and without the framework header, presets, parameter values and
// every ByteChunk read at every position. Nothing may crash, read out of
// bounds or leave a parameter outside its range; short input fails with -1;
// a host load that fails changes nothing at all.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/IPluginBase.h"
#include "framework_fakes.h"
#include "kit/string.h"

namespace {

class FuzzPlug : public IPluginBase {
 public:
  FuzzPlug() : IPluginBase(8, "2-2", 3, "Fuzz", "Fuzz", "Fuzz", 0x10100, 1, 2, 0, true, true, false) {
    initialize(6, 8, "2-2", 3, "Fuzz", "Fuzz", "Fuzz", 0x10100, 1, 2, 0, true, true, false);
    GetParam(0)->InitBool("b", false);
    GetParam(1)->InitInt("i", 3, -5, 5);
    GetParam(2)->InitEnum("e", 1, 4);
    GetParam(3)->InitDouble("d", 0.5, 0.0, 1.0, 0.01);
    GetParam(4)->InitDouble("z", 1.0, 1.0, 1.0, 0.0);
    GetParam(5)->InitText();
    GetParam(6)->InitInt("h1", 0, 0, 127);
    GetParam(7)->InitDouble("h2", 0, -10, 10, 0.5);
  }
  // The plug-in's own state: an int marker, parameter values and two
  // hidden ones.
  bool SerializeState(ByteChunk* c) override {
    return c->PutInt(0x5441) && SerializeParams(c) && SerializeNonAutomatedParams(c, 2);
  }
  int UnserializeState(const ByteChunk* c, int pos) override {
    int32_t marker = 0;
    pos = c->GetInt(&marker, pos);
    pos = UnserializeParams(c, pos);
    return UnserializeNonAutomatedParams(c, pos, 2);
  }

  void check() const {
    if (!fwtest::ValuesInRange(*this)) std::abort();
  }
  // A host load: all or nothing.
  bool load(const ByteChunk* c, bool bank) {
    const fwtest::PlugState before = fwtest::StateOf(*this);
    const bool ok = UnserializeChunkFromHost(c, bank);
    if (!ok && !(fwtest::StateOf(*this) == before)) std::abort();
    check();
    return ok;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  ByteChunk chunk;
  chunk.Put(data, static_cast<int>(size));

  FuzzPlug plug;
  plug.MakeDefaultPreset("kept", 1);
  plug.load(&chunk, false);
  plug.load(&chunk, true);

  // Every reader at a few positions, including hostile ones.
  const int positions[] = {-1, 0, 1, 3, 4, 8, static_cast<int>(size) - 4, static_cast<int>(size), INT32_MAX - 2};
  for (int pos : positions) {
    int32_t i;
    double d;
    bool b;
    std::string s;
    KIT_String ks;
    const int r1 = chunk.GetInt(&i, pos);
    const int r2 = chunk.GetDouble(&d, pos);
    const int r3 = chunk.GetBool(&b, pos);
    const int r4 = chunk.GetStr(&s, pos);
    chunk.GetStr(&ks, pos);
    for (int r : {r1, r2, r3, r4})
      if (r > static_cast<int>(size) || r < -1) std::abort();
    int p = pos;
    IPluginBase::GetIPluginVerFromChunk(&chunk, &p);
    plug.UnserializePresets(&chunk, pos);
    plug.check();
  }
  plug.CompareState(data, static_cast<int>(size / sizeof(double)), size > 0 ? data[0] % 4 : 0);
  for (int i = 0; i < plug.NPresets(); ++i) plug.RestorePreset(i);
  plug.check();

  // Whatever was read must write back and read again identically.
  ByteChunk again;
  if (!plug.SerializeChunkForHost(&again, true)) std::abort();
  FuzzPlug copy;
  if (!copy.load(&again, true)) std::abort();
  for (int i = 0; i < plug.NParams(); ++i)
    if (copy.GetParam(i)->Value() != plug.GetParam(i)->Value()) std::abort();
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  FuzzPlug plug;
  plug.GetParam(1)->Set(-2);
  plug.GetParam(3)->Set(0.75);
  plug.MakeDefaultPreset("first", 1);
  plug.GetPreset(1)->SetName("a longer preset name");
  for (bool bank : {false, true}) {
    ByteChunk c;
    plug.SerializeChunkForHost(&c, bank);
    std::vector<uint8_t> seed(c.GetBytes(), c.GetBytes() + c.Size());
    seeds.push_back(seed);
    std::vector<uint8_t> bare(seed.begin() + 8, seed.end());
    seeds.push_back(bare);
  }
}
