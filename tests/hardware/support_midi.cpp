#include "support_midi.h"

#include <algorithm>
#include <thread>

#include "synthsim/SynthSimulator.h"

namespace hwtest {

bool Recorder::waitForMessage(size_t from, const Bytes& wanted, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cv.wait_for(lock, limit, [&] {
    return m_messages.size() > from && std::find(m_messages.begin() + static_cast<std::ptrdiff_t>(from),
                                                 m_messages.end(), wanted) != m_messages.end();
  });
}

LoopbackDevice::LoopbackDevice(LoopbackHub& hub, const std::string& inName, const std::string& outName)
    : m_backend(hub.makeBackend()) {
  m_in = m_backend->makeIn("device in", 100);
  m_in->ignoreTypes(false, false, false);
  m_in->setCallback([this](const uint8_t* b, size_t n) { m_received.processMIDIInput(b, n); });
  m_in->openVirtualPort(inName);
  m_out = m_backend->makeOut("device out");
  m_out->openVirtualPort(outName);
}

Bytes taggedDump(uint8_t tag) {
  Bytes b(137, static_cast<uint8_t>(tag & 0x7F));
  b.front() = 0xF0;
  b.back() = 0xF7;
  return b;
}

Bytes storedAnswer(int bank, int slot, uint8_t device) {
  using synthsim::SynthSimulator;
  return toBytes(
      SynthSimulator::answerFor(SynthSimulator::factorySound(bank, slot), device, sysex::encodeLocation(bank, slot)));
}

bool loggedInOrder(const LoopbackHub& hub, const std::string& first, const std::string& second) {
  const auto log = hub.log();
  const auto a = std::find(log.begin(), log.end(), first);
  const auto b = std::find(log.begin(), log.end(), second);
  return a < b && b != log.end();
}

}  // namespace hwtest
