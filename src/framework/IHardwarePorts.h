#pragma once
// The plug-in's own hardware MIDI ports, beside whatever MIDI the host
// routes. The plug-in base holds one IHardwarePorts and calls it for the
// device lists, for opening ports by name and for sending; the hardware
// messaging subsystem implements it over a MIDI library, and tests use an
// in-process loopback.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Receives what arrives at the open input port, on the MIDI library's thread.
class IHardwareInputSink {
 public:
  virtual ~IHardwareInputSink() = default;
  // One message as it came from the port (a channel message of 1-3 bytes or a
  // system-exclusive message of 4 or more).
  virtual void processMIDIInput(const uint8_t* bytes, size_t size) = 0;
};

class IHardwarePorts {
 public:
  virtual ~IHardwarePorts() = default;

  // "OFF" followed by the port names in the library's order; built on the
  // first call (which also makes the client) and not refreshed afterwards,
  // except that a port opened by name that the list lacks is appended. The
  // reference stays valid until the next open of that direction.
  virtual const std::vector<std::string>& outNames() = 0;
  virtual const std::vector<std::string>& inNames() = 0;

  // Closes the open port of that direction and, unless portIndex is 0,
  // opens the port called name. portIndex becomes the list position of the
  // opened port (appended to the list when it was not there), 0 when
  // nothing is open; the same value is returned. May wait for the MIDI
  // library's server: the caller holds no lock that a send or an audio
  // callback may wait for (the plug-in base lets go of its mutex), and a
  // send while the output port is switched fails at once.
  virtual int openOut(int& portIndex, const char* name) = 0;
  virtual int openIn(int& portIndex, const char* name) = 0;

  // List position of name (0 .. count), -1 when absent.
  virtual int findOut(const char* name) = 0;
  virtual int findIn(const char* name) = 0;

  // Makes the output client and opens a virtual port "From " + name.
  virtual bool initializeVirtualOutput(const std::string& name) = 0;

  // True while an output port is open.
  virtual bool outOpen() const = 0;
  virtual int openOutIndex() const = 0;
  virtual int openInIndex() const = 0;

  // Hands the bytes to the open output port as one message, under the
  // port's own lock so that messages from several threads never interleave.
  // False, sending nothing, without an open port or for zero bytes.
  virtual bool send(const uint8_t* bytes, size_t size) = 0;

  // Where input goes; null stops delivery.
  virtual void setInputSink(IHardwareInputSink* sink) = 0;

  // Cancels the input callback and closes the input port, then the output
  // port. Called first by the plug-in's destructor.
  virtual void shutdown() = 0;
};
