#pragma once
// What the message hub needs of the editor and of the librarian, as small
// interfaces, so that hardware messaging never sees the editor's or the
// librarian's classes. The plug-in class implements IEditorServices and owns
// the SharedFlags; a librarian adapter implements ILibrarianSlots.
//
// Threads and locks: the flags are atomics, read and written from any thread
// without a lock. Every call of IEditorServices and ILibrarianSlots is made
// with the editor lock held (the plug-in's recursive mutex), from the GUI,
// audio, MIDI-input or job threads; none of them sleeps or waits for a
// thread.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct IMidiMsg;

// The flags the plug-in and the hub share.
struct SharedFlags {
  static constexpr int kPassThroughCount = 14;  // parameters 184 .. 197

  std::atomic<bool> midiIOSet{false};            // an output port is open; sends are refused without it
  std::atomic<bool> transferInProgress{false};   // incoming MIDI is dropped while set
  std::atomic<bool> replyReceived{false};        // what the request jobs wait for
  std::atomic<bool> awaitingGlobalDump{false};   // the device-ID enquiry waits for a global dump
  std::atomic<bool> localControl{false};         // the instrument's local control is on
  std::atomic<bool> globalsSent{false};
  std::atomic<bool> push{false};
  std::atomic<bool> blocked[kPassThroughCount] = {};  // pass-through parameter off
  std::atomic<bool> lightTracksInput{true};      // the activity light shows incoming MIDI
  std::atomic<bool> lightOn{false};
  std::atomic<uint32_t> lightTick{0};            // tick count when the light went on
  std::atomic<bool> clockStartStopEnabled{false};
  std::atomic<bool> timingClockEnabled{false};
  std::atomic<bool> queueRouting{false};         // channel messages go out with the audio blocks
  std::atomic<bool> clockLaunched{false};
  std::atomic<bool> editBufferRequestPending{false};
  // A loaded project is reopening its ports (set and cleared under the
  // editor lock, which the opens let go of): a sound dump meanwhile would
  // meet a port half switched, and the load sends its own once they are open.
  std::atomic<bool> loadSwitchingPorts{false};
  std::atomic<int> deviceId{0};                  // learnt from the instrument's answers
};

// A sound collected for a librarian slot: the name and category code of the
// dump that completed it, and every message collected.
struct CollectedPatch {
  std::string name;
  int category = 0;
  std::vector<std::vector<uint8_t>> messages;
};

// The editor's status and progress display and its hand-over paths.
class IEditorServices {
 public:
  virtual ~IEditorServices() = default;
  // The guarded send path of requests and editor-made dumps; true when the
  // message went to the output port.
  virtual bool checksumCheckAndSend(unsigned char* message, int length) = 0;
  virtual void setStatusText(const std::string& text) = 0;
  virtual void displayCategoryName(const std::string& text) = 0;
  // Clears transfer-in-progress; hiding also clears the hub's
  // request-pending flag.
  virtual void DisplayProcessingIndicator(bool on) = 0;
  // false: request pending, collector inactive, both reply flags clear;
  // true: request not pending, collector emptied and armed, both reply
  // flags clear.
  virtual void SetLibrarianRequestActive(bool active) = 0;
  // true: request not pending, collector inactive, the bank marked unsaved.
  virtual void SetLibrarianStatusUnsaved(bool unsaved) = 0;
  virtual void setLibrarianViewDirty() = 0;
  virtual void updatePatchLibrarianView(int which) = 0;
  virtual void updateUserInterfaceAndMenus() = 0;
  virtual void MIDIOutRoutingSwitch(IMidiMsg* msg) = 0;
  virtual void SendProgramChangeCommand(int program, int channel) = 0;
  // An editor-made dump handed to the incoming dispatch as if the instrument
  // had sent it: only the system-exclusive pass-through test is skipped.
  virtual void feedSysEx(const uint8_t* data, int size) = 0;
  // A nonzero global clock byte greys the arpeggiator tempo knob out and the
  // clock choice in, zero the reverse.
  virtual void setArpTempoLayers(bool externalClock) = 0;
  // A control action's system-exclusive message, as the hub was given it,
  // once it went out: a line of the debug log (nothing while the log is
  // off).
  virtual void logSysExOut(const std::vector<int>& message) = 0;
};

// The librarian's upper list, where requested and stored sounds go.
class ILibrarianSlots {
 public:
  static constexpr int kSlots = 100;

  virtual ~ILibrarianSlots() = default;
  virtual bool hasUpperBank() const = 0;
  // The slot stores go to: 0..99, or -1 for none.
  virtual int targetSlot() const = 0;
  // Each of these moves the target slot and the upper list's selection
  // together (a lower-list slot moves neither).
  virtual void setTargetSlot(int slot) = 0;
  virtual void selectSlot(bool lower, int slot) = 0;
  virtual void selectProgram(int program) = 0;
  // Stores into the upper bank at targetSlot; false (nothing stored) without
  // an upper bank or outside 0..99.
  virtual bool storeCollected(const CollectedPatch& patch) = 0;
  // The current-patch record's sound name and category text.
  virtual void setCurrentPatchRecord(const std::string& name, const std::string& category) = 0;
};
