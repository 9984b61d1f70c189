#pragma once
// The plug-in's hardware MIDI ports over a MIDI backend: the device lists,
// opening and closing by name, the input callback and the guarded send.
//
// Lists are built once, on first use, together with the client of that
// direction, and keep the ports found then; opening always looks the name
// up in the live enumeration, so a port that moved or appeared later is
// still found; a port opened that way that is not in the list is appended
// to the list of that direction, so the position returned names that port
// and no other. Each send runs under the output port's own lock, so messages
// from several threads never interleave. Errors are printed to standard
// error only.
//
// Input is delivered on a thread of the port layer, started with the input
// client: the library's callback only copies each message into a queue of
// kInputQueueDepth slots (a message that finds it full is dropped) and takes
// no lock, so a sink that waits for the editor's lock never holds up the
// library, and opening or closing a port never waits for a delivery. The
// delivery thread splits each queued message as MidiInputSplit.h says and
// hands each piece to the sink. shutdown() cancels the callback, then joins
// the delivery thread; messages still queued then are dropped.
//
// The library's calls that open and close ports wait for its server (JACK),
// and the server may meanwhile wait for any client of its, a host's audio
// callback among them, which sends through here. So the send lock is held
// only to stop and to start the sends, never across those calls: the output
// port is closed and opened with sends refused, and a send meanwhile fails
// at once. No thread of the library (a process cycle, a notification) runs
// code of the port layer that takes a lock: the input callback only queues.
//
// Threads: the lists, opening and closing from the GUI and host threads;
// send from any thread; the sink is called on the delivery thread only.
#include <array>
#include <atomic>
#include <condition_variable>
#include <semaphore>
#include <thread>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/IHardwarePorts.h"
#include "hardware/MidiBackend.h"

class MidiPorts : public IHardwarePorts {
 public:
  static constexpr const char* kOffName = "OFF";
  static constexpr const char* kOutClientName = "RtMidi Output Client";
  static constexpr const char* kInClientName = "RtMidi Input Client";
  static constexpr const char* kOutPortName = "RtMidi Output";
  static constexpr const char* kInPortName = "RtMidi Input";
  static constexpr unsigned kInputQueueLimit = 100;
  static constexpr unsigned kInputQueueDepth = 128;  // at least kInputQueueLimit

  explicit MidiPorts(std::unique_ptr<MidiBackend> backend);
  // Shuts down, then closes the input client before the output client.
  ~MidiPorts() override;
  MidiPorts(const MidiPorts&) = delete;
  MidiPorts& operator=(const MidiPorts&) = delete;

  const std::vector<std::string>& outNames() override;
  const std::vector<std::string>& inNames() override;
  int openOut(int& portIndex, const char* name) override;
  int openIn(int& portIndex, const char* name) override;
  int findOut(const char* name) override;
  int findIn(const char* name) override;
  bool initializeVirtualOutput(const std::string& name) override;
  bool outOpen() const override;
  int openOutIndex() const override;
  int openInIndex() const override;
  bool send(const uint8_t* bytes, size_t size) override;
  void setInputSink(IHardwareInputSink* sink) override;
  void shutdown() override;

  // Blocks until no input is waiting for delivery or being delivered. True
  // when it had to wait.
  bool waitIdle();

  // The backend's name of the library interface in use.
  std::string apiName() const;

  // Position of name in names: the first exact match; failing that, when
  // name is 29-32 or 52-55 bytes long (a name cut by a fixed-width field),
  // the first entry that begins with it; -1 when there is none.
  static int matchName(const std::vector<std::string>& names, const std::string& name);

  // How port i of a client is listed: its name, or "Port " and the number
  // when the name cannot be read.
  static std::string listedName(MidiClient& client, unsigned i);

 private:
  struct Side {
    std::vector<std::string> names;
    bool built = false;
    std::atomic<int> openIndex{0};
  };

  void buildList(Side& side, MidiClient* client);
  // Build the list of that direction, and its client, on first use.
  void ensureOutList();
  void ensureInList();
  bool ensureOutClient();
  bool ensureInClient();
  // The shared part of openOut and openIn: nothing opens for a portIndex of
  // 0, after shutdown, without a client or for "OFF". Called with m_state
  // held and the port of that side closed (for output, with sends stopped).
  int openByName(Side& side, MidiClient* client, int& portIndex, const char* name, const char* localName);
  int find(Side& side, const char* name);
  // The library's callback: queues a copy.
  void onInput(const uint8_t* bytes, size_t size);
  void deliveryLoop();
  void stopDelivery();
  // Refuses sends from now on: a send running holds the send lock, so when
  // this returns none touches the output client until sends start again.
  void stopSends();
  // Stops the sends, then closes the output port (m_state held).
  void closeOut();

  std::unique_ptr<MidiBackend> m_backend;
  std::unique_ptr<MidiOutClient> m_out;
  std::unique_ptr<MidiInClient> m_in;
  Side m_outSide;
  Side m_inSide;
  bool m_shutDown = false;

  // Lists, opening and closing (GUI and host threads).
  std::mutex m_state;
  // The output port's lock: every send, and the switch that lets sends
  // through (m_outOpen); never held across a call into the library that
  // opens or closes a port.
  std::mutex m_send;
  std::atomic<bool> m_outOpen{false};
  // Delivery to the sink; recursive so that the sink may replace itself.
  std::recursive_mutex m_sinkMutex;
  IHardwareInputSink* m_sink = nullptr;

  // The input queue: a ring written by the callback (one producer) and read
  // by the delivery thread; the counters only grow.
  std::array<std::vector<uint8_t>, kInputQueueDepth> m_ring;
  std::atomic<uint64_t> m_ringHead{0};  // next to deliver
  std::atomic<uint64_t> m_ringTail{0};  // next to fill
  std::counting_semaphore<> m_ringReady{0};
  std::atomic<bool> m_deliveryStop{false};
  std::atomic<bool> m_deliveryStarted{false};
  std::thread m_delivery;
  // Idle tracking for waitIdle.
  std::mutex m_idleMutex;
  std::condition_variable m_idleCv;
  bool m_delivering = false;
};

// The ports over RtMidi (see MidiBackendRtMidi.h for how the library
// interface is chosen; an empty apiName means the default).
std::unique_ptr<IHardwarePorts> makeRtMidiHardwarePorts(const std::string& apiName = std::string());
