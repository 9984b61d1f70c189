#pragma once
// The messages that one value of a bound parameter sends to the instrument,
// worked out from the parameter's ControlAction alone: control changes for
// the CC and NRPN types, ready system-exclusive messages (unframed, one int
// per byte, as the message hub sends them) for the system-exclusive types.
//
// A pure function: it reads no plug-in state, sends nothing and keeps
// nothing. Whether a value is sent at all (the last value sent, the send
// permission, a chosen port) and where it goes are the editor's business.
// Any thread may call it; it takes no lock, and the caller keeps the record
// from changing meanwhile (the plug-in's mutex). Into a reused
// EncodedMessages it allocates nothing once the buffers have grown.
#include <cstddef>
#include <vector>

#include "framework/IPluginStructs.h"
#include "uiconfig/ControlAction.h"

// The messages of one value change, in sending order: up to three control
// changes, or system-exclusive messages laid back to back in one buffer.
struct EncodedMessages {
  static constexpr int kMaxChannelMessages = 3;

  IMidiMsg channel[kMaxChannelMessages];
  int channelCount = 0;
  std::vector<int> sysexInts;     // every system-exclusive message, unframed
  std::vector<size_t> sysexEnds;  // where message i ends in sysexInts

  // Empties the record; the buffers keep their room.
  void clear() {
    channelCount = 0;
    sysexInts.clear();
    sysexEnds.clear();
  }
  bool empty() const { return channelCount == 0 && sysexEnds.empty(); }
  size_t sysexCount() const { return sysexEnds.size(); }
  const int* sysexData(size_t i) const { return sysexInts.data() + (i ? sysexEnds[i - 1] : 0); }
  size_t sysexSize(size_t i) const { return sysexEnds[i] - (i ? sysexEnds[i - 1] : 0); }
  // A copy of message i.
  std::vector<int> sysex(size_t i) const { return std::vector<int>(sysexData(i), sysexData(i) + sysexSize(i)); }
};

// The parameters whose control change carries an offset.
inline constexpr int kSemitoneCCOffset = 16;  // parameters 0, 1 and 2
inline constexpr int kArpTimingCCOffset = 14;  // parameters 87 and 88
inline constexpr int kArpClockCCOffset = 1;   // parameter 55, capped at 127

// Fills out (emptied first) with what the action sends for the parameter's
// plain value on the MIDI channel (0-15):
//   1: CC ccNumber with the value, plus the offset of the parameter;
//   2: CC ccNumber with minValue for 0, maxValue for any other value;
//   3: CC 99 msbValue, CC 98 lsbControl, CC ccNumber whole value + lsbValue;
//   5, 6: the message (or, for 6 with multiMessage, every message of the
//      group) numbered whole value - whole parameter minimum, with the device
//      ID in element 2 when it is 0-127 and the message has one; for 6
//      without multiMessage the pattern 41 43|53 00|01 10 at elements 3-6
//      has elements 6 and 7 rewritten to 7F 7F.
// Control-change data outside 0..127 is limited to it. Returns false, out
// empty, when nothing is to be sent: types 0 and 4, unknown types, or a
// message number outside the list.
bool encodeControlAction(const ControlAction& action, int paramIdx, double value, double paramMin, int channel,
                         int deviceId, EncodedMessages& out);
