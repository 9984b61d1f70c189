#pragma once
// A simulated Sorrel synthesizer: the instrument's side of the protocol
// over any MIDI backend (the loopback in unit tests, JACK in
// integration tests and by hand).
//
// It offers a destination port that the editor sends to and a source port
// that the editor listens to. It answers the global request (device-ID
// enquiry) with the 39-byte global dump and sound and edit-buffer requests
// with 137-byte dumps from its own store (5 banks of 100 sounds and the
// edit buffer), only when a request carries its own device ID. It stores
// the sound dumps it receives, records MIDI clock bytes with their arrival
// times, and sends control changes, program changes and single-parameter
// messages on request. Fault modes make it misbehave in the ways a real
// connection can.
//
// Incoming messages are recorded on the library's input thread, with the
// time the port says they arrived (MidiBackend.h), and handled in arrival
// order on a worker thread of the simulator, so a slow answer never holds
// up the library. Pauses go through platform::sleepMicros and
// times through platform::monotonicMicros, so a test with a manual clock
// runs delays without waiting.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hardware/MidiBackend.h"
#include "hardware/SoundDump.h"
#include "hardware/SysexProtocol.h"

namespace synthsim {

using Bytes = std::vector<uint8_t>;
using Dump = sounddump::Dump;

enum class Fault {
  None,
  Silent,     // answers nothing
  Delay,      // answers delayMicros after the request arrived
  Echo,       // sends the request back instead of answering
  Truncated,  // the answer cut to truncatedLength bytes, F7 last
  Oversized,  // the answer padded to oversizedLength bytes, F7 last
  Garbage,    // a dump-sized message of the family with a scrambled body
};

// "none", "silent", "delay", "echo", "truncated", "oversized", "garbage".
const char* faultName(Fault f);
// False when the name is unknown.
bool parseFault(const std::string& name, Fault& out);

struct ClockEvent {
  uint8_t byte;     // FA, F8 or FC
  uint64_t micros;  // arrival, on platform::monotonicMicros's clock
  bool operator==(const ClockEvent&) const = default;
};

struct Received {
  Bytes bytes;
  uint64_t micros;
};

class SynthSimulator {
 public:
  static constexpr int kBanks = sysex::kStoredBanks;
  static constexpr int kSlots = sysex::kSlotsPerBank;

  struct Options {
    // Clients are "<name> In" and "<name> Out"; their ports are inPort (the
    // editor sends to it) and outPort (the editor listens to it).
    std::string name = "Sorrel Synth";
    std::string inPort = "MIDI In";
    std::string outPort = "MIDI Out";
    uint8_t deviceId = 0;
  };

  SynthSimulator(MidiBackend& backend, Options options);
  explicit SynthSimulator(MidiBackend& backend) : SynthSimulator(backend, Options{}) {}
  // Closes the ports first, then stops the worker.
  ~SynthSimulator();
  SynthSimulator(const SynthSimulator&) = delete;
  SynthSimulator& operator=(const SynthSimulator&) = delete;

  // Both ports are open.
  bool ready() const { return m_ready; }
  const Options& options() const { return m_options; }

  // ---- settings
  void setDeviceId(uint8_t id);
  uint8_t deviceId() const;
  void setFault(Fault fault);
  Fault fault() const;
  void setDelayMicros(uint64_t us);
  void setTruncatedLength(size_t n);  // at least 2
  void setOversizedLength(size_t n);
  // Requests for this location (7F 00: the edit buffer) go unanswered.
  void setUnanswered(sysex::Location where, bool unanswered);

  // ---- the store
  // The sound of a stored location as the simulator starts: the INIT sound
  // with a name, a category and a few sound bytes of its own, device 0,
  // its location, a correct check byte.
  static Dump factorySound(int bank, int slot);
  // The answer the simulator gives for a stored sound: the stored dump with
  // the requesting device ID and location, check byte recomputed.
  static Dump answerFor(const Dump& stored, uint8_t device, sysex::Location where);
  Dump sound(int bank, int slot) const;
  void setSound(int bank, int slot, const Dump& dump);
  Dump editBuffer() const;
  void setEditBuffer(const Dump& dump);
  std::array<uint8_t, sysex::kGlobalSettingsCount> globalSettings() const;
  void setGlobalSettings(const std::array<uint8_t, sysex::kGlobalSettingsCount>& settings);
  // The global dump as it answers now (byte 9 carries its device ID).
  Bytes globalDump() const;

  // ---- sending on request
  bool sendControlChange(int channel, int controller, int value);  // channel 1..16
  bool sendProgramChange(int channel, int program);
  bool sendSingleParameter(uint8_t address1, uint8_t address2, uint8_t value, uint8_t extra = 0);
  bool sendRaw(const Bytes& bytes);

  // ---- what happened
  std::vector<Received> received() const;
  std::vector<ClockEvent> clockEvents() const;
  std::vector<Bytes> sent() const;
  // Sound dumps taken into the store, and dumps refused for a wrong check byte.
  size_t storedDumps() const;
  size_t rejectedDumps() const;
  // Requests not answered because they carried another device ID.
  size_t ignoredRequests() const;
  // System-exclusive messages received with a byte of 80 or above between
  // F0 and the last byte.
  size_t highBitMessages() const;
  // Messages the worker has finished with.
  size_t handled() const;
  void clearRecords();

  // Blocks until every message received so far has been handled, or the
  // one in hand waits for a delay that has not passed yet. True when it had
  // to wait.
  bool waitIdle();
  // Blocks until at least n messages have been handled or the limit
  // passes; true when they were. For real ports, where arrival is not
  // under the test's control.
  bool waitHandled(size_t n, int limitMs);

  // Handles one message at once on the calling thread, as if it had
  // arrived (for tests that drive the simulator without ports).
  void handle(const uint8_t* bytes, size_t size);

 private:
  void onInput(const uint8_t* bytes, size_t size, uint64_t arrival);
  void workerLoop();
  void handleArrived(const uint8_t* bytes, size_t size, uint64_t arrival);
  void answer(const Bytes& request, Bytes reply, uint64_t arrival);
  bool sendLocked(const Bytes& bytes);
  Bytes applyFault(Fault f, const Bytes& request, Bytes reply, size_t truncated, size_t oversized);

  Options m_options;
  std::unique_ptr<MidiInClient> m_in;
  std::unique_ptr<MidiOutClient> m_out;
  bool m_ready = false;
  bool m_outOpen = false;

  mutable std::mutex m_mutex;  // everything below
  std::condition_variable m_cv;
  Fault m_fault = Fault::None;
  uint64_t m_delayMicros = 200'000;
  size_t m_truncatedLength = 70;
  size_t m_oversizedLength = 200;
  uint32_t m_noise = 0x2545F491;
  std::vector<Dump> m_store;  // bank * 100 + slot
  Dump m_editBuffer{};
  std::array<uint8_t, sysex::kGlobalSettingsCount> m_settings{};
  std::vector<Received> m_received;
  std::vector<ClockEvent> m_clock;
  std::vector<Bytes> m_sent;
  size_t m_stored = 0;
  size_t m_rejected = 0;
  size_t m_ignored = 0;
  size_t m_handled = 0;
  size_t m_queued = 0;
  std::deque<Received> m_queue;
  std::vector<int> m_unanswered;  // location numbers, high * 128 + low
  size_t m_highBit = 0;
  bool m_parked = false;          // the worker waits for a delayed answer's time
  uint64_t m_parkedUntil = 0;
  bool m_stop = false;

  std::mutex m_sendMutex;  // the output port's lock
  std::thread m_worker;
};

}  // namespace synthsim
