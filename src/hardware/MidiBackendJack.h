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
// Output: send() queues the message in a ring that the client's process
// cycle empties into its port, in order, every message at the cycle's first
// frame; a message the port cannot take this cycle waits for the next.
// Input: the process cycle copies every complete message (a system-exclusive
// message spread over several events is joined first, MidiEventJoin.h) into
// a ring, dropping what does not fit, and a delivery thread of the client
// hands them to the receiver.
//
// Tear-down frees nothing that a process cycle may be reading: a port is
// taken away from the cycle, and the closer waits until a cycle that may
// have seen it has ended, before the port is unregistered; the client is
// deactivated and closed (after which its process thread is gone) before
// the rings are freed. Closing an output port first lets the cycles take
// what was queued.
//
// Threads: making, opening and closing from the GUI and host threads (they
// change the JACK graph one at a time under a lock of the process, paced
// a few tens of milliseconds apart, and may wait for a process cycle); send
// from one thread at a time; the receiver on the client's delivery thread.
// The process cycle takes no lock and allocates nothing.
#include <memory>
#include <string>

#include "hardware/MidiBackend.h"

// Null when no client could be made (no server reachable; the reason is
// printed).
std::unique_ptr<MidiOutClient> makeJackMidiOut(const std::string& clientName);
std::unique_ptr<MidiInClient> makeJackMidiIn(const std::string& clientName, unsigned queueLimit);
