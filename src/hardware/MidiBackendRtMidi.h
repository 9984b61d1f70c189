#pragma once
// The MIDI backend over RtMidi.
//
// The library interface is chosen by name ("alsa", "jack", "core", ...):
// the name given here, else the environment variable TAVRIN_MIDI_API, else
// RtMidi's own default. When a client cannot be made with that interface,
// every other compiled interface is tried in the library's order, starting
// after the chosen one.
//
// Threads: with the JACK interface, making and closing a client and opening
// and closing a port take one lock of the process and wait until the last
// such change is a few tens of milliseconds old, and closing a client that
// had a port waits until a process cycle that may have begun before the
// port closed has ended. Call them from the GUI or host threads, never from
// a real-time callback; sending takes no lock of its own.
#include <memory>
#include <string>
#include <vector>

#include "hardware/MidiBackend.h"

inline constexpr const char* kMidiApiEnv = "TAVRIN_MIDI_API";

std::unique_ptr<MidiBackend> makeRtMidiBackend(const std::string& apiName = std::string());

// The names of the interfaces compiled into RtMidi, in its order.
std::vector<std::string> rtMidiCompiledApis();
