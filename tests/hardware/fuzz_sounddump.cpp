// Arbitrary bytes through the sound-dump reader and the message recogniser,
// and, read as parameter values and a name, through the dump writer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hardware/SoundDump.h"
#include "hardware/SysexProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte, when there is one, picks the locks.
  sounddump::Locks locks;
  if (size > 0)
    for (int i = 0; i < kSectionLockCount; ++i) locks.values[static_cast<size_t>(i)] = (data[0] >> (i % 8)) & 1;
  const auto parsed = sounddump::parse(data, size, locks);
  if (parsed) {
    if (parsed->name.size() > sounddump::kNameLength) std::abort();
    for (const auto& w : parsed->writes)
      if (!isPluginParameter(w.param)) std::abort();
  }
  const auto info = sysex::classify(data, size);
  if (info.kind != sysex::MessageKind::Unknown && size < sysex::kGlobalRequestLength) std::abort();
  if (size >= 2) (void)sysex::decodeLocation(data[0], data[1]);
  (void)sysex::calculateCheckSum(data, size);

  // Any bit pattern as a parameter value (NaN and infinities included) and
  // any bytes as a name still give a dump with 7-bit data.
  if (size >= sizeof(double)) {
    sounddump::Snapshot snap;
    const size_t n = size / sizeof(double);
    for (size_t i = 0; i < snap.values.size(); ++i)
      std::memcpy(&snap.values[i], data + (i % n) * sizeof(double), sizeof(double));
    snap.name.assign(reinterpret_cast<const char*>(data), size < 40 ? size : 40);
    const auto d = sounddump::build(snap);
    if (d.front() != sysex::kStart || d.back() != sysex::kEnd) std::abort();
    for (size_t i = 1; i + 1 < d.size(); ++i)
      if (d[i] >= 0x80) std::abort();
  }
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.emplace_back(sounddump::initSinglePatch.begin(), sounddump::initSinglePatch.end());
  const auto slot = sounddump::buildInitSlot(5, 42);
  seeds.emplace_back(slot.begin(), slot.end());
  seeds.push_back(sysex::frameSysex(sysex::soundRequest(1, sysex::encodeLocation(2, 3))));
  seeds.push_back(sysex::singleParameterChange(1, 2, 3));
}
