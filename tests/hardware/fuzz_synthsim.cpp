// Arbitrary bytes arriving at the simulated synthesizer, and arbitrary port
// names looked up the way the port layer looks them up.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "hardware/SysexProtocol.h"
#include "synthsim/SynthSimulator.h"

namespace {

struct Rig {
  LoopbackHub hub;
  std::unique_ptr<MidiBackend> backend = hub.makeBackend();
  synthsim::SynthSimulator sim{*backend};
};

Rig& rig() {
  static Rig r;
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Rig& r = rig();
  if (size > 0) {
    // The first byte picks the fault mode, so every answer path is taken
    // (a delay of 0: the fuzzer does not wait).
    r.sim.setFault(static_cast<synthsim::Fault>(data[0] % 7));
    r.sim.setDelayMicros(0);
    r.sim.setTruncatedLength(data[0]);
    r.sim.setOversizedLength(static_cast<size_t>(data[0]) * 2);
    r.sim.setDeviceId(static_cast<uint8_t>(size > 3 ? data[3] : 0));
    r.sim.handle(data + 1, size - 1);
  }
  const std::string name(reinterpret_cast<const char*>(data), size);
  MidiPorts::matchName({"OFF", "Sorrel Synth In:MIDI In", std::string(name.size() / 2, 'x')}, name);
  r.hub.drain();
  return 0;
}

// Well-formed messages of every kind the simulator answers or stores.
void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  auto add = [&](uint8_t mode, const std::vector<uint8_t>& m) {
    std::vector<uint8_t> s{mode};
    s.insert(s.end(), m.begin(), m.end());
    seeds.push_back(s);
  };
  add(0, sysex::frameSysex(sysex::globalRequest(0)));
  add(0, sysex::frameSysex(sysex::soundRequest(0, sysex::encodeLocation(4, 99))));
  add(4, sysex::frameSysex(sysex::editBufferRequest(0)));
  const auto dump = synthsim::SynthSimulator::factorySound(2, 50);
  add(0, std::vector<uint8_t>(dump.begin(), dump.end()));
  add(6, sysex::frameSysex(sysex::soundRequest(0, sysex::encodeLocation(1, 1))));
}
