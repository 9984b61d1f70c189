#pragma once
// The messages in a stream of MIDI events as a port hands them over. Most
// events are one whole message each; a system-exclusive message may come in
// pieces. An event that begins with F0 and does not end with F7 opens a
// message; the events after it that begin with a data byte or F7 continue
// it, until one ends with F7. A real-time event (F8-FF) inside it goes on at
// once, on its own; an event that begins with any other status byte ends the
// open message as it is, cut short, and then goes on itself. A message
// longer than the joiner holds is dropped whole.
//
// Allocates only when it is made and takes no lock: one thread at a time (a
// process cycle) may use it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class MidiEventJoiner {
 public:
  explicit MidiEventJoiner(size_t capacity) : m_held(capacity) {}

  // Takes one event; emit(bytes, size) receives every message it completes,
  // in order.
  template <class Emit>
  void take(const uint8_t* bytes, size_t size, Emit&& emit) {
    if (!bytes || size == 0) return;
    if (m_length > 0) {
      if (bytes[0] >= 0xF8) {
        emit(bytes, size);
        return;
      }
      if (bytes[0] < 0x80 || bytes[0] == 0xF7) {
        hold(bytes, size);
        if (bytes[size - 1] == 0xF7) release(emit);
        return;
      }
      release(emit);
    }
    if (bytes[0] == 0xF0 && bytes[size - 1] != 0xF7) {
      hold(bytes, size);
      return;
    }
    emit(bytes, size);
  }

  // Forgets a message begun.
  void reset() {
    m_length = 0;
    m_overflow = false;
  }

 private:
  void hold(const uint8_t* bytes, size_t size) {
    if (m_length + size > m_held.size()) {
      m_overflow = true;
    } else {
      std::memcpy(m_held.data() + m_length, bytes, size);
    }
    m_length += size;
  }

  template <class Emit>
  void release(Emit& emit) {
    if (!m_overflow) emit(m_held.data(), m_length);
    reset();
  }

  std::vector<uint8_t> m_held;
  size_t m_length = 0;  // bytes of the open message; 0 when none is open
  bool m_overflow = false;
};
