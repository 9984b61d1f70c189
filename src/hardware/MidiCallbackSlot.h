#pragma once
// The receiver of an input client, swappable while messages arrive. A call
// of the receiver runs under the slot's lock, so replacing or cancelling it
// waits for a call in flight on another thread; from inside the receiver
// itself (same thread) it takes effect for the next message. Whatever a
// client tells about a message beside its bytes (Extra) goes along.
#include <atomic>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "hardware/MidiBackend.h"

template <class... Extra>
class BasicMidiCallbackSlot {
 public:
  using Callback = std::function<void(const uint8_t* bytes, size_t size, Extra... extra)>;

  void set(Callback callback) { replace(std::move(callback)); }
  void cancel() { replace(nullptr); }

  void setIgnore(bool sysex, bool time, bool sense) {
    m_sysex = sysex;
    m_time = time;
    m_sense = sense;
  }

  // Hands one message to the receiver unless its kind is ignored. Nothing
  // the receiver throws leaves this call.
  void deliver(const uint8_t* bytes, size_t size, Extra... extra) {
    if (midiIgnored(bytes, size, m_sysex, m_time, m_sense)) return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_callback) return;
    m_delivering = std::this_thread::get_id();
    try {
      m_callback(bytes, size, extra...);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "MIDI input callback: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "MIDI input callback: unknown exception\n");
    }
    m_delivering = std::thread::id();
    m_retired = nullptr;
  }

 private:
  void replace(Callback callback) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_delivering == std::this_thread::get_id()) {
      // Called from inside the receiver: keep the running one alive until it
      // returns.
      m_retired = std::move(m_callback);
    }
    m_callback = std::move(callback);
  }

  std::recursive_mutex m_mutex;
  Callback m_callback;
  Callback m_retired;
  std::thread::id m_delivering;
  std::atomic<bool> m_sysex{true};
  std::atomic<bool> m_time{true};
  std::atomic<bool> m_sense{true};
};

using MidiCallbackSlot = BasicMidiCallbackSlot<>;
