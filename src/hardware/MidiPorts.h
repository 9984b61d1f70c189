#pragma once
// The plug-in's hardware MIDI ports over a MIDI backend: the device lists,
// opening and closing by name, the input callback and the guarded send.
//
// Lists are built once, on first use, together with the client of that
// direction, and keep the ports found then; opening always looks the name
// up in the live enumeration, so a port that moved or appeared later is
// still found; a port opened that way that is not in the list is appended
// to it, so the position returned names that port and no other. Each send runs under the output port's own lock, so messages
// from several threads never interleave. Input is split as MidiInputSplit.h
// says before it reaches the sink. Errors are printed to standard error only.
#include <atomic>
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
  // held and the port of that side closed.
  int openByName(Side& side, MidiClient* client, int& portIndex, const char* name, const char* localName,
                 std::mutex* portLock);
  int find(Side& side, const char* name);
  void onInput(const uint8_t* bytes, size_t size);
  void closeOutLocked();

  std::unique_ptr<MidiBackend> m_backend;
  std::unique_ptr<MidiOutClient> m_out;
  std::unique_ptr<MidiInClient> m_in;
  Side m_outSide;
  Side m_inSide;
  bool m_shutDown = false;

  // Lists, opening and closing (GUI and host threads).
  std::mutex m_state;
  // The output port's lock: every send, and the port's opening and closing.
  std::mutex m_send;
  std::atomic<bool> m_outOpen{false};
  // Delivery to the sink; recursive so that the sink may replace itself.
  std::recursive_mutex m_sinkMutex;
  IHardwareInputSink* m_sink = nullptr;
};

// The ports over RtMidi (see MidiBackendRtMidi.h for how the library
// interface is chosen; an empty apiName means the default).
std::unique_ptr<IHardwarePorts> makeRtMidiHardwarePorts(const std::string& apiName = std::string());
