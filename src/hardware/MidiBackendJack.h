#pragma once
// MIDI clients of our own on a JACK server, through libjack itself. The
// backend of MidiBackendRtMidi.h uses them for its JACK interface.
//
// Each client is one JACK client ("clientName", made unique by the server
// when taken) with at most one MIDI port of its own. An output client lists
// the server's MIDI input ports and an input client its MIDI output ports,
// as "client:port", in the server's order, counted live on every call.
// Opening port i registers our port under the local name and connects it
// with port i; a virtual port is our port alone. Opening closes the port
// that was open before.
//
// Output: send() stamps the message with the server's frame time and
// queues it in a ring that the client's process cycle empties into its
// port, in order. A message sent during the cycle that began at frame S goes
// out in the next cycle at offset (stamp - S), kept within the cycle and
// never before the event written ahead of it: it reaches the port one period
// after it was sent, whenever in the period that was. A message that waited
// longer (the port could not take it, or the cycle ran late) goes at the
// cycle's first frame. A message the port cannot take this cycle waits for
// the next.
// A port opened on another counts as connected only once the server's graph
// carries the connection: jack_connect changes the graph the server puts in
// force at the start of a later cycle, and what a port writes before then
// reaches no one. Until a process cycle of the client finds the connection
// in force, the cycles write nothing and every message sent waits in the
// ring, in order, to go out in the first cycle that carries it. Nobody else
// waits for it: opening returns once jack_connect has, and send only queues.
// After two seconds of the server's frames without the connection (its
// peer went meanwhile, or someone broke it at once) the messages go as on
// any other port. While the server runs no cycle at all they stay queued,
// as every message does then.
// Input: the process cycle copies every complete message (a system-exclusive
// message spread over several events is joined first, MidiEventJoin.h) into
// a ring with the frame it arrived at, dropping what does not fit, and a
// delivery thread of the client hands them to the receiver. A timed receiver
// is given that frame as a time of platform::monotonicMicros's clock
// (converted through JACK's own clock, which runs with the system's; while a
// test's clock is in force, messages are stamped as they are delivered);
// arrival times never go back.
//
// Tear-down frees nothing that a process cycle may be reading: a port is
// taken away from the cycle, and the closer waits until a cycle that may
// have seen it has ended, before the port is unregistered; the client is
// deactivated and closed (after which its process thread is gone) before
// the rings are freed. Closing an output port first lets the cycles take
// what was queued, then waits for a cycle to empty the port's buffer: a peer
// still connected on the graph of before would read its last messages again
// in every cycle until the server drops the connection.
//
// Threads: making, opening and closing from the GUI and host threads (they
// change the JACK graph one at a time under a lock of the process, paced
// a few tens of milliseconds apart, and may wait for a process cycle); send
// and sendStamped from one thread at a time, frameTime from any; the
// receiver on the client's delivery thread.
// The process cycle takes no lock, allocates nothing and waits for nothing:
// it only reads whether the graph in force carries a fresh connection.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "hardware/MidiBackend.h"

// Where a message arrived in the server's time.
struct JackArrival {
  uint32_t cycleStart;  // the first frame of the cycle that brought it
  uint32_t offset;      // its frame within that cycle
};

// What the JACK clients tell beyond the port layer's interface: the frames
// their messages are stamped with and arrive at.
class JackMidiOut : public MidiOutClient {
 public:
  // The server's frame time now (0 without a server): the stamp send()
  // gives a message.
  virtual uint32_t frameTime() = 0;
  // send() with the stamp given instead of the frame time now.
  virtual bool sendStamped(const uint8_t* bytes, size_t size, uint32_t stamp) = 0;
};

class JackMidiIn : public MidiInClient {
 public:
  using FrameCallback = std::function<void(const uint8_t* bytes, size_t size, JackArrival at)>;
  // Installs a receiver that is told where each message arrived; it
  // replaces any earlier receiver.
  virtual void setFrameCallback(FrameCallback callback) = 0;
};

// The offset in a cycle of `frames` frames at which the output client writes
// a message stamped `stamp`, the cycle before having begun at frame
// `previousStart` (before the order of the cycle's events is kept). Frame
// times wrap around.
uint32_t jackEventOffset(uint32_t stamp, uint32_t previousStart, uint32_t frames);

// The time jackAt of JACK's clock (microseconds) on another clock, the two
// having read jackNow and otherNow at the same moment; 0 for a time before
// the other clock's start.
uint64_t jackTimeOnClock(uint64_t jackAt, uint64_t jackNow, uint64_t otherNow);

// Null when no client could be made (no server reachable; the reason is
// printed).
std::unique_ptr<JackMidiOut> makeJackMidiOut(const std::string& clientName);
std::unique_ptr<JackMidiIn> makeJackMidiIn(const std::string& clientName, unsigned queueLimit);
