#pragma once
// The editor and librarian plug-in of the synthesizer. This is its start:
// the identity it hands the framework, the MIDI-I/O guard and the guarded
// send path of every request and every sound dump the editor builds.
#include <atomic>
#include <cstdint>
#include <string>

#include "hardware/EditorLink.h"
#include "host/IPluginVST.h"

class Tavrin : public IPluginVST {
 public:
  static constexpr const char* kMidiIONotSetText = "Set MIDI I/O First!";

  // info carries the host's callback (null: every host query answers 0).
  explicit Tavrin(IPluginInstanceInfo info);
  // Marks MIDI I/O as unset first, so that no thread sends anything more.
  ~Tavrin() override;

  // Sends a request or a sound dump to the synthesizer, given framed (F0 ..
  // F7) or unframed (from 3E on). Without MIDI I/O nothing is sent and the
  // status shows "Set MIDI I/O First!". A framed message of 71 bytes or more
  // gets its checksum written at length - 2. An outgoing message of the
  // synthesizer's family lights the activity light while the light shows
  // outgoing MIDI. The bytes are written to the debug log when it is on.
  void checksumCheckAndSend(unsigned char* message, int length);

  // Set once a hardware output port is open, cleared when none is.
  void setMidiIOSet(bool set) { mFlags.midiIOSet.store(set); }
  bool isMidiIOSet() const { return mFlags.midiIOSet.load(); }

  // The last status text shown to the user.
  std::string statusText() const;

  // The activity light shows incoming MIDI (true, the start value) or
  // outgoing MIDI (false).
  void setLightTracksInput(bool tracksInput) { mFlags.lightTracksInput.store(tracksInput); }
  bool isMidiLedOn() const { return mFlags.lightOn.load(); }
  uint32_t midiLedTick() const { return mFlags.lightTick.load(); }

  // The flags shared with the message hub.
  SharedFlags& sharedFlags() { return mFlags; }

  bool isDebugLogOn() const { return mDebugLogOn; }
  // The framework's debug lines (preset dumps) go to the debug log when it
  // is on.
  void DebugLogText(const std::string& text) override;
  const std::string& debugLogPath() const { return mDebugLogPath; }

 protected:
  void setStatusText(const std::string& text);

 private:
  SharedFlags mFlags;

  bool mDebugLogOn = false;
  std::string mDebugLogPath;

  mutable KIT_Mutex mStatusLock;
  std::string mStatusText;
};
