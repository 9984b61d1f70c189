#pragma once
// The MIDI library as the port layer sees it: clients that enumerate the
// ports of one direction, open one of them (or a virtual port of their own)
// and send or receive whole messages. Two implementations exist: one for
// real ports (RtMidi's clients, and clients of our own for JACK), and an
// in-process loopback for tests.
//
// No operation throws. Failures are printed to standard error by the
// implementation and reported by the result.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/clock.h"

// Receives one complete message, on the library's input thread.
using MidiInputCallback = std::function<void(const uint8_t* bytes, size_t size)>;
// The same, with the time the message arrived at the port, in microseconds
// on the clock of platform::monotonicMicros.
using MidiTimedInputCallback = std::function<void(const uint8_t* bytes, size_t size, uint64_t arrivalMicros)>;

class MidiClient {
 public:
  virtual ~MidiClient() = default;
  // The ports this client can open, counted live on every call.
  virtual unsigned portCount() = 0;
  // The name of port number i; empty when it cannot be read.
  virtual std::string portName(unsigned i) = 0;
  // Connects to port number i through a port of our own called localName.
  // False when the port did not open.
  virtual bool openPort(unsigned i, const std::string& localName) = 0;
  // Makes a port of our own that others can connect to.
  virtual bool openVirtualPort(const std::string& name) = 0;
  virtual void closePort() = 0;
  virtual bool isPortOpen() const = 0;
};

class MidiOutClient : public MidiClient {
 public:
  // Hands one message to the open port. False when the library reported an
  // error. Not safe for concurrent use: the caller serialises sends.
  virtual bool send(const uint8_t* bytes, size_t size) = 0;
};

class MidiInClient : public MidiClient {
 public:
  // Installs the receiver; it replaces any earlier one.
  virtual void setCallback(MidiInputCallback callback) = 0;
  // Installs a receiver that is told when each message arrived; it replaces
  // any earlier one. A client that cannot tell stamps each message as it
  // delivers it.
  virtual void setTimedCallback(MidiTimedInputCallback callback) {
    setCallback([callback = std::move(callback)](const uint8_t* bytes, size_t size) {
      callback(bytes, size, platform::monotonicMicros());
    });
  }
  // Stops delivery. When it returns, no call of the old callback is running
  // on another thread and none will start.
  virtual void cancelCallback() = 0;
  // Which kinds the library drops before delivery: system exclusive, timing
  // (F1 with its data byte, F8) and active sensing (FE).
  virtual void ignoreTypes(bool sysex, bool time, bool sense) = 0;
};

class MidiBackend {
 public:
  virtual ~MidiBackend() = default;
  // A short name of the library in use ("jack", "alsa", "loopback", ...).
  virtual std::string apiName() const = 0;
  // Null when the client cannot be made (the reason is printed).
  virtual std::unique_ptr<MidiOutClient> makeOut(const std::string& clientName) = 0;
  virtual std::unique_ptr<MidiInClient> makeIn(const std::string& clientName, unsigned queueLimit) = 0;
};

// Whether a message is dropped under the given ignore flags.
inline bool midiIgnored(const uint8_t* bytes, size_t size, bool sysex, bool time, bool sense) {
  if (size == 0) return true;
  const uint8_t status = bytes[0];
  if (sysex && status == 0xF0) return true;
  if (time && (status == 0xF1 || status == 0xF8)) return true;
  if (sense && status == 0xFE) return true;
  return false;
}
