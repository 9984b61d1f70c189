#pragma once
// Test helpers for the MIDI port tests: a recording input sink and a device
// on the loopback hub.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/IHardwarePorts.h"
#include "hardware/MidiBackend.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/SoundDump.h"
#include "testsupport.h"

namespace hwtest {

using Bytes = std::vector<uint8_t>;

// Records every message it is handed; safe to read from another thread.
class Recorder : public IHardwareInputSink {
 public:
  void processMIDIInput(const uint8_t* bytes, size_t size) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_messages.emplace_back(bytes, bytes + size);
    }
    m_cv.notify_all();
  }
  std::vector<Bytes> messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
  }
  size_t count() const { return messages().size(); }
  void clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
  }
  // Waits until a message from position from on equals wanted; the limit
  // only guards against a message that never comes.
  bool waitForMessage(size_t from, const Bytes& wanted, std::chrono::milliseconds limit);

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<Bytes> m_messages;
};

// A device on a loopback hub: a destination port that records what reaches
// it and a source port that emits. The input goes first on destruction.
class LoopbackDevice {
 public:
  LoopbackDevice(LoopbackHub& hub, const std::string& inName, const std::string& outName);
  bool emit(const Bytes& message) { return m_out->send(message.data(), message.size()); }
  Recorder& received() { return m_received; }

 private:
  Recorder m_received;
  std::unique_ptr<MidiBackend> m_backend;
  std::unique_ptr<MidiOutClient> m_out;
  std::unique_ptr<MidiInClient> m_in;
};

// A 137-byte system-exclusive message whose body bytes all carry tag.
Bytes taggedDump(uint8_t tag);
inline Bytes toBytes(const sounddump::Dump& d) { return Bytes(d.begin(), d.end()); }
// The simulated synthesizer's answer to a request for its stored sound.
Bytes storedAnswer(int bank, int slot, uint8_t device = 0);

using testsupport::spinUntil;

// True when the hub's log holds second, and first before its first occurrence.
bool loggedInOrder(const LoopbackHub& hub, const std::string& first, const std::string& second);

}  // namespace hwtest
