// Arbitrary bytes as a state chunk from the host, loaded into one plug-in
// over the project's description (its first byte picks a program or a bank
// chunk). Whatever the bytes, and in whatever order they come: every value
// stays in its range, a failed load leaves every value and every setting
// flag as it was, the pass-through flags follow their parameters, and MIDI
// I/O is set exactly while the output port is open. Sends go to a port
// that keeps nothing; the clock does not wait, so the sound a load sends
// ends at once.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "editor/Tavrin.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "fuzz_plugin.h"
#include "testsupport.h"

namespace {

using Rig = edtest::FuzzPlugin;

Rig& rig() {
  static Rig r;
  return r;
}

std::vector<uint8_t> bytesOf(const ByteChunk& c) { return std::vector<uint8_t>(c.GetBytes(), c.GetBytes() + c.Size()); }

// The settings flags a load sets.
std::vector<int> settingFlags(const SharedFlags& f, const Tavrin& plug) {
  std::vector<int> s;
  for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) s.push_back(f.blocked[i].load());
  for (const std::atomic<bool>* b : {&f.lightTracksInput, &f.queueRouting, &f.clockStartStopEnabled,
                                     &f.timingClockEnabled, &f.localControl, &f.midiIOSet}) {
    s.push_back(b->load());
  }
  s.push_back(f.deviceId.load());
  s.push_back(plug.outputOffset());
  return s;
}

}  // namespace

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  Tavrin& plug = *rig().plug;
  ByteChunk full;
  plug.SerializeChunkForHost(&full, false);
  std::vector<uint8_t> program = bytesOf(full);
  program.insert(program.begin(), 0);
  seeds.push_back(program);
  ByteChunk bank;
  plug.SerializeChunkForHost(&bank, true);
  std::vector<uint8_t> bankBytes = bytesOf(bank);
  bankBytes.insert(bankBytes.begin(), 1);
  seeds.push_back(bankBytes);
  // Without the framework's header, and cut inside the names.
  seeds.emplace_back(program.begin() + 8, program.end());
  seeds.emplace_back(program.begin(), program.begin() + 1960);
}

namespace {

[[noreturn]] void fail(const char* what, int index) {
  std::fprintf(stderr, "state chunk: %s (%d)\n", what, index);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Tavrin& plug = *rig().plug;
  if (size == 0) return 0;
  std::vector<double> before;
  for (int i = 0; i < plug.NParams(); ++i) before.push_back(plug.GetParam(i)->Value());
  const std::vector<int> flagsBefore = settingFlags(plug.sharedFlags(), plug);
  ByteChunk chunk;
  if (size > 1) chunk.Put(data + 1, static_cast<int>(size - 1));
  const bool loaded = plug.UnserializeChunkFromHost(&chunk, (data[0] & 1) != 0);

  KIT_MutexLock lock(plug.GetMutex());
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParam* p = plug.GetParam(i);
    const double v = p->Value();
    const double old = before[static_cast<size_t>(i)];
    // The port menus name the open ports; the light follows the sound a
    // load sends.
    const bool followsOthers = i == kDeviceInSelection || i == kDeviceOutSelection || i == kMIDILed;
    if (!loaded && !(v == old) && !followsOthers) fail("a failed load changed", i);
    if (!(v >= p->GetMin() && v <= p->GetMax()) && !(v == old)) fail("out of range", i);
  }
  const SharedFlags& f = plug.sharedFlags();
  if (!loaded && settingFlags(f, plug) != flagsBefore) fail("a failed load changed a setting", 0);
  for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) {
    if (f.blocked[i].load() != (plug.GetParam(kMIDIFilterDAWCCPassThrough + i)->Value() != 1.0))
      fail("a pass-through flag differs from its parameter", i);
  }
  if (plug.isMidiIOSet() != (plug.GetHardwarePorts()->openOutIndex() > 0)) fail("MIDI I/O differs from the port", 0);
  if (plug.hardwareChange()) fail("hardware change left set", 0);
  return 0;
}
