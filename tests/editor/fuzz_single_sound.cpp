// Arbitrary bytes as a file of single sounds, read for both models the way
// the import reads them: every call moves the position on or ends the scan,
// and every sound found is framed, at most as long as the data allow, and a
// model 1 sound is a whole dump.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/SingleSoundReader.h"
#include "support_banks.h"

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  std::vector<banks::Bytes> dumps = banks::namedDumps(3);
  for (banks::Bytes& d : dumps) d.erase(d.end() - 2);
  seeds.push_back(banks::rawBank(dumps));
  seeds.push_back(banks::midiBank(dumps));
  seeds.push_back(banks::rawBank({banks::model1Dump(75, 1), banks::model1Dump(76, 2), banks::model1Dump(90, 3)}));
  // Sounds saved whole, of both models, one of them in a Standard MIDI File.
  banks::Bytes whole = banks::model2Dump(5, "WHOLE", 3, 0x02, 1, 7);
  seeds.push_back(whole);
  seeds.push_back(banks::midiBank({whole}));
  whole[2] = 0x0B;
  seeds.push_back(whole);
  seeds.push_back({0x3E, 0x16, 0x00, 0xF7});
  seeds.push_back({0x00, 0x3E});
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  static const std::string name = singlesound::nameFor("/fuzz/Imported Sound.syx");
  for (const bool older : {false, true}) {
    int pos = 0;
    std::vector<uint8_t> message;
    for (size_t calls = 0;; ++calls) {
      const int before = pos;
      const int next = singlesound::readNext(bytes, pos, name, older, message);
      if (next != pos || calls > size + 1) std::abort();
      if (!message.empty()) {
        if (message.size() < 4 || message[0] != 0xF0 || message.back() != 0xF7) std::abort();
        if (older && message.size() != 137) std::abort();
        if (!older && message.size() > size + 17) std::abort();
      }
      if (next <= 0) break;
      if (next <= before) std::abort();
    }
  }
  return 0;
}
