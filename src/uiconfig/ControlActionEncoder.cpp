// The messages of one value change of a bound parameter.
#include "uiconfig/ControlActionEncoder.h"

#include "framework/IParam.h"
#include "hardware/ParameterList.h"

namespace {

void controlChange(EncodedMessages& out, int cc, double data, int channel) {
  out.channel[out.channelCount++].MakeControlChangeMsg(cc, data / 127.0, channel);
}

// The control-change data of type 1: the value with its parameter's offset.
double typeOneData(int paramIdx, double value) {
  switch (paramIdx) {
    case kOscillator1Semitone:
    case kOscillator2Semitone:
    case kOscillator3Semitone:
      return value + kSemitoneCCOffset;
    case kArpSwing:
    case kArpDelay:
      return value + kArpTimingCCOffset;
    case kArpClock:
      return value + kArpClockCCOffset < 127.0 ? value + kArpClockCCOffset : 127.0;
    default:
      return value;
  }
}

// Appends one message with the device ID in element 2.
void appendSysex(EncodedMessages& out, const SysexMessageInts& message, int deviceId) {
  const size_t at = out.sysexInts.size();
  out.sysexInts.insert(out.sysexInts.end(), message.begin(), message.end());
  if (deviceId >= 0 && deviceId <= 127 && message.size() >= 3) out.sysexInts[at + 2] = deviceId;
  out.sysexEnds.push_back(out.sysexInts.size());
}

// A value message whose elements 3-6 read 41 43|53 00|01 10 sends 7F 7F in
// elements 6 and 7.
void rewriteValueAddress(int* m, size_t size) {
  if (size < 8) return;
  if (m[3] == 0x41 && (m[4] == 0x43 || m[4] == 0x53) && (m[5] == 0 || m[5] == 1) && m[6] == 0x10) m[6] = m[7] = 0x7F;
}

}  // namespace

bool encodeControlAction(const ControlAction& action, int paramIdx, double value, double paramMin, int channel,
                         int deviceId, EncodedMessages& out) {
  out.clear();
  const int whole = IParam::WholeValue(value);
  switch (action.type) {
    case 1:
      controlChange(out, action.ccNumber, typeOneData(paramIdx, value), channel);
      return true;
    case 2:
      controlChange(out, action.ccNumber, value == 0.0 ? action.minValue : action.maxValue, channel);
      return true;
    case 3:
      controlChange(out, 99, action.msbValue, channel);
      controlChange(out, 98, action.lsbControl, channel);
      controlChange(out, action.ccNumber, (double)whole + action.lsbValue, channel);
      return true;
    case 5:
    case 6: {
      const ControlActionSysExMessage& m = action.sysExMessage;
      const long long index = (long long)whole - IParam::WholeValue(paramMin);
      if (action.type == 6 && m.multiMessage) {
        if (index < 0 || (size_t)index >= m.messageLists.size()) return false;
        for (const SysexMessageInts& one : m.messageLists[(size_t)index]) appendSysex(out, one, deviceId);
        return !out.empty();
      }
      if (index < 0 || (size_t)index >= m.messages.size()) return false;
      appendSysex(out, m.messages[(size_t)index], deviceId);
      if (action.type == 6) rewriteValueAddress(out.sysexInts.data(), out.sysexInts.size());
      return true;
    }
    default:
      return false;
  }
}
