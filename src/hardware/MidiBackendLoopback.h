#pragma once
// An in-process MIDI world for tests. Every backend made by one hub sees the
// same ports: the virtual ports that its clients open. An output client
// lists the virtual input ports (destinations) and an input client the
// virtual output ports (sources), in the order they were made. Messages are
// delivered whole and in order by one delivery thread of the hub, as a MIDI
// library delivers on its own thread.
//
// The hub can also be told to fail: clients that cannot be made, ports that
// do not open, sends that report an error, names that cannot be read.
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hardware/MidiBackend.h"

class LoopbackHub {
 public:
  LoopbackHub();
  // Stops delivery. Clients may outlive the hub; they then deliver nothing.
  ~LoopbackHub();
  LoopbackHub(const LoopbackHub&) = delete;
  LoopbackHub& operator=(const LoopbackHub&) = delete;

  std::unique_ptr<MidiBackend> makeBackend();

  // Blocks until every message sent so far, and every message sent while
  // delivering them, has been delivered. True when it had to wait.
  bool drain();

  void setFailClients(bool fail);
  void setFailOpen(bool fail);
  void setFailSend(bool fail);
  // Makes the name of every port called portName unreadable.
  void setUnreadable(const std::string& portName, bool unreadable);

  // What the clients did, one line each: "client out <client name>",
  // "client in <client name>", "open out <port> as <local name>",
  // "open in <port> as <local name>", "virtual out <name>",
  // "virtual in <name>", "close out", "close in".
  std::vector<std::string> log() const;
  // Messages sent through every client, counted whole.
  size_t sentCount() const;

  struct State;

 private:
  std::shared_ptr<State> m_state;
  std::thread m_thread;
};
