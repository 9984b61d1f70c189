#pragma once
// The split of what the MIDI library hands over as one message into the
// messages the plug-in's input takes.
//
// A message that does not begin with F0, and a system-exclusive message
// whose body holds no status byte, pass unchanged. A MIDI library may glue
// a system-exclusive message that lacks its F7 to everything that arrives
// after it, until a message ends in F7; such a message is cut at
// the first status byte (80-F6) before its end. The cut part is dropped with
// one line on standard error, and the rest is split again into channel and
// system-common messages (the status byte and at most its data bytes) and
// system-exclusive messages (F0 to F7, cut again the same way). Real-time
// bytes (F8-FF) inside are removed, data bytes without a status and a lone
// F7 are dropped.
//
// Pure: any thread may call it. It takes no lock and allocates only for a
// message that has to be taken apart; the log line is one write(2).
#include <cstddef>
#include <cstdint>
#include <functional>

using MidiPieceSink = std::function<void(const uint8_t* bytes, size_t size)>;

// Hands each message of bytes[0, size) to emit, in order. Returns the number
// of bytes dropped.
size_t splitMidiInput(const uint8_t* bytes, size_t size, const MidiPieceSink& emit);
