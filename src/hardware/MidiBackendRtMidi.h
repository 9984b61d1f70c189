#pragma once
// The MIDI backend of real ports: RtMidi's clients for the system's MIDI
// interfaces, and clients of our own for JACK (MidiBackendJack.h).
//
// The library interface is chosen by name ("alsa", "jack", "core", ...):
// the name given here, else the environment variable TAVRIN_MIDI_API, else
// the first one compiled into RtMidi. When a client cannot be made with that
// interface, every other one is tried in the library's order, starting after
// the chosen one (JACK is always among them). A backend tries each interface
// at most once: the first that makes a client makes every later client of
// that backend, for both directions, and one that failed is not tried again
// (a port layer makes one backend, so each interface prints its failure once).
//
// The name "none" touches no MIDI library at all: no client is ever made and
// every list holds "OFF" alone. Programs and tests that are not about the
// ports run with it.
//
// Threads: see MidiBackendJack.h for the JACK clients; RtMidi's clients are
// made, opened and closed from the GUI or host threads, never from a
// real-time callback.
#include <memory>
#include <string>
#include <vector>

#include "hardware/MidiBackend.h"

inline constexpr const char* kMidiApiEnv = "TAVRIN_MIDI_API";
inline constexpr const char* kNoMidiApi = "none";

std::unique_ptr<MidiBackend> makeRtMidiBackend(const std::string& apiName = std::string());

// The names of the interfaces compiled into RtMidi, in its order.
std::vector<std::string> rtMidiCompiledApis();
