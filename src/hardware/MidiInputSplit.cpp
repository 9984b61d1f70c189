#include "hardware/MidiInputSplit.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

namespace {

constexpr uint8_t kSysexStart = 0xF0;
constexpr uint8_t kSysexEnd = 0xF7;
constexpr uint8_t kFirstRealTime = 0xF8;

bool isStatus(uint8_t b) { return b >= 0x80; }
bool isRealTime(uint8_t b) { return b >= kFirstRealTime; }

// Bytes of a channel or system-common message, its status byte included.
size_t messageLength(uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 2;
    case 0xF0:
      if (status == 0xF1 || status == 0xF3) return 2;
      if (status == 0xF2) return 3;
      return 1;
    default:
      return 3;
  }
}

// A system-exclusive message that needs no splitting: no status byte after
// the F0 except an F7 at its very end.
bool plainSysex(const uint8_t* bytes, size_t size) {
  for (size_t i = 1; i < size; ++i) {
    if (isStatus(bytes[i]) && !(bytes[i] == kSysexEnd && i + 1 == size)) return false;
  }
  return true;
}

void logCut(size_t dropped) {
  char line[120];
  const int n = std::snprintf(line, sizeof line,
                              "MIDI input: dropped %zu bytes of a system-exclusive message cut short by a status byte\n",
                              dropped);
  if (n > 0) (void)!write(2, line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

}  // namespace

size_t splitMidiInput(const uint8_t* bytes, size_t size, const MidiPieceSink& emit) {
  if (!bytes || size == 0) return 0;
  if (bytes[0] != kSysexStart || plainSysex(bytes, size)) {
    emit(bytes, size);
    return 0;
  }
  size_t dropped = 0;
  std::vector<uint8_t> msg;
  msg.reserve(size);
  size_t i = 0;
  while (i < size) {
    const uint8_t status = bytes[i++];
    if (isRealTime(status)) continue;
    if (!isStatus(status) || status == kSysexEnd) {
      ++dropped;  // a data byte without a status, or a lone end
      continue;
    }
    msg.assign(1, status);
    if (status == kSysexStart) {
      bool ended = false;
      while (i < size && !ended) {
        const uint8_t b = bytes[i];
        if (isRealTime(b)) {
          ++i;
        } else if (isStatus(b) && b != kSysexEnd) {
          break;  // the status byte starts the next message
        } else {
          msg.push_back(b);
          ++i;
          ended = b == kSysexEnd;
        }
      }
      if (!ended && i < size) {
        dropped += msg.size();
        logCut(msg.size());
        continue;
      }
    } else {
      const size_t length = messageLength(status);
      while (i < size && msg.size() < length && (!isStatus(bytes[i]) || isRealTime(bytes[i]))) {
        if (!isRealTime(bytes[i])) msg.push_back(bytes[i]);
        ++i;
      }
    }
    emit(msg.data(), msg.size());
  }
  return dropped;
}
