// The system-exclusive messages of the control actions, on their way to the
// instrument.
#include <cstdio>
#include <exception>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"

namespace {

// Whether byte i of the message, already cut to its low 8 bits, is one the
// instrument reads as data; only a leading F0 and a final F7 may stand
// outside 0..7F, as anything else is a status byte on the wire (FF resets
// the instrument).
bool sendable(const std::vector<uint8_t>& bytes, size_t i) {
  const uint8_t b = bytes[i];
  return b <= 0x7F || (i == 0 && b == sysex::kStart) || (i + 1 == bytes.size() && b == sysex::kEnd);
}

}  // namespace

void MIDIMessageManager::sendSysexMessage(const std::vector<int>& message) {
  try {
    EditorLock lock(*this);
    if (!lock.held()) return;
    if (paramValue(kDeviceOutSelection) == 0.0) {
      m_editor.setStatusText(kMidiIONotSetText);
      return;
    }
    if (message.empty()) return;
    std::vector<uint8_t> bytes(message.size());
    for (size_t i = 0; i < message.size(); ++i) bytes[i] = static_cast<uint8_t>(message[i] & 0xFF);
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (!sendable(bytes, i)) {
        std::fprintf(stderr, "system-exclusive message not sent: byte %zu is %d\n", i, message[i]);
        return;
      }
    }
    m_plugin.SendMidiSysex(bytes.data(), static_cast<int>(bytes.size()));
    m_editor.logSysExOut(message);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "system-exclusive message not sent: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "system-exclusive message not sent\n");
  }
}
