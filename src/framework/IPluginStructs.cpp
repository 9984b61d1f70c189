#include "framework/IPluginStructs.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

uint8_t dataByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 127)); }

// value x 127 truncated toward zero, limited to 0..127.
uint8_t scaledDataByte(double normalized) {
  if (std::isnan(normalized)) return 0;
  const double v = std::clamp(normalized * 127.0, 0.0, 127.0);
  return static_cast<uint8_t>(v);
}

uint8_t statusByte(int kind, int channel) { return static_cast<uint8_t>((kind << 4) | (channel & 0x0F)); }

}  // namespace

void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel) {
  mStatus = statusByte(kNoteOn, channel);
  mData1 = dataByte(noteNumber);
  mData2 = dataByte(velocity);
  mOffset = offset;
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int offset, int channel) {
  mStatus = statusByte(kNoteOff, channel);
  mData1 = dataByte(noteNumber);
  mData2 = 0;
  mOffset = offset;
}

void IMidiMsg::MakeControlChangeMsg(int controller, double normalizedValue, int channel) {
  mStatus = statusByte(kControlChange, channel);
  mData1 = dataByte(controller);
  mData2 = scaledDataByte(normalizedValue);
  mOffset = 0;
}

void IMidiMsg::MakeProgramChangeMsg(double normalizedProgram, int channel) {
  mStatus = statusByte(kProgramChange, channel);
  mData1 = scaledDataByte(normalizedProgram);
  mData2 = 0xFF;
  mOffset = 0;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel) {
  mStatus = statusByte(kPitchWheel, channel);
  if (std::isnan(value)) value = 0.0;
  const int i = static_cast<int>(std::clamp(value, -2.0, 2.0) * 8192.0) + 8192;
  if (i < 0) {
    mData1 = mData2 = 0;
  } else if (i >= 16384) {
    mData1 = mData2 = 127;
  } else {
    mData1 = static_cast<uint8_t>(i & 127);
    mData2 = static_cast<uint8_t>(i >> 7);
  }
  mOffset = 0;
}

void IMidiMsg::Clear() { mOffset = mStatus = mData1 = mData2 = 0; }

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const {
  if (mStatus < 0x80 || mStatus >= 0xF0) return kNone;
  return static_cast<EStatusMsg>(mStatus >> 4);
}

int IMidiMsg::NoteNumber() const {
  const EStatusMsg s = StatusMsg();
  return (s == kNoteOff || s == kNoteOn || s == kPolyAftertouch) ? mData1 : -1;
}

int IMidiMsg::Velocity() const {
  const EStatusMsg s = StatusMsg();
  return (s == kNoteOff || s == kNoteOn) ? mData2 : -1;
}

int IMidiMsg::Program() const { return StatusMsg() == kProgramChange ? mData1 : -1; }

double IMidiMsg::PitchWheel() const {
  if (StatusMsg() != kPitchWheel) return 0.0;
  return ((mData2 << 7) + mData1 - 8192) / 8192.0;
}

double IMidiMsg::ControlChange(int controller) const {
  if (StatusMsg() == kControlChange && mData1 == controller) return mData2 / 127.0;
  return -1.0;
}

const char* IMidiMsg::StatusMsgStr(int kind) {
  switch (kind) {
    case kNone: return "none";
    case kNoteOff: return "noteoff";
    case kNoteOn: return "noteon ";
    case kPolyAftertouch: return "aftertouch";
    case kControlChange: return "controlchange";
    case kProgramChange: return "programchange";
    case kChannelAftertouch: return "channelaftertouch";
    case kPitchWheel: return "pitchwheel";
    default: return "unknown";
  }
}

void ISysEx::Clear() {
  mOffset = mSize = 0;
  mData = nullptr;
}

void ISysEx::LogMsg() const {
  char text[32 * 3 + 1];
  SysExStr(text, sizeof text, mData, std::min(mSize, 32));
}

char* SysExStr(char* out, int outLength, const uint8_t* bytes, int size) {
  if (!out || outLength <= 0) return out;
  out[0] = '\0';
  if (!bytes || size <= 0 || outLength < 3) return out;
  const int n = std::min(outLength / 3, size);
  for (int i = 0; i < n; ++i) {
    static const char kHex[] = "0123456789ABCDEF";
    out[i * 3] = kHex[bytes[i] >> 4];
    out[i * 3 + 1] = kHex[bytes[i] & 15];
    out[i * 3 + 2] = ' ';
  }
  out[n * 3 - 1] = '\0';
  return out;
}

// ---------------------------------------------------------------------------

IMidiQueue::IMidiQueue(int size) {
  if (size < 0) size = 0;
  if (size > 0 && Reallocate(size)) mGrow = size;
}

int IMidiQueue::RoundToStep(int64_t records) {
  constexpr int64_t kStep = 4096 / sizeof(IMidiMsg);  // 512 records
  constexpr int64_t kMost = (INT_MAX / static_cast<int64_t>(sizeof(IMidiMsg))) / kStep * kStep;
  if (records < 1) records = 1;
  const int64_t r = (records + kStep - 1) / kStep * kStep;
  return static_cast<int>(std::min(r, kMost));
}

bool IMidiQueue::Reallocate(int capacity) {
  mBuf.Resize(capacity, true);
  if (mBuf.GetSize() != capacity) return false;
  mCapacity = capacity;
  return true;
}

void IMidiQueue::Compact() {
  if (mFront <= 0) return;
  const int n = mBack - mFront;
  if (n > 0) std::memmove(mBuf.Get(), mBuf.Get() + mFront, static_cast<size_t>(n) * sizeof(IMidiMsg));
  mBack = n;
  mFront = 0;
}

bool IMidiQueue::Add(const IMidiMsg& msg) {
  if (mBack >= mCapacity) {
    if (mFront > 0) {
      Compact();
    } else {
      if (mGrow <= 0) return false;
      const int64_t want = (static_cast<int64_t>(mCapacity) / mGrow + 1) * mGrow;
      if (want > INT_MAX / static_cast<int64_t>(sizeof(IMidiMsg))) return false;
      if (!Reallocate(static_cast<int>(want))) return false;
    }
  }
  IMidiMsg* buf = mBuf.Get();
  if (mBack > mFront && msg.mOffset < buf[mBack - 1].mOffset) {
    // Goes after the last message whose offset is equal or smaller.
    int i = mBack - 2;
    while (i >= mFront && msg.mOffset < buf[i].mOffset) --i;
    const int at = i + 1;
    std::memmove(buf + at + 1, buf + at, static_cast<size_t>(mBack - at) * sizeof(IMidiMsg));
    buf[at] = msg;
  } else {
    buf[mBack] = msg;
  }
  ++mBack;
  return true;
}

void IMidiQueue::Resize(int blockSize) {
  Compact();
  int size = RoundToStep(blockSize);
  mGrow = size;
  if (size < mBack) size = RoundToStep(mBack);
  if (size != mCapacity) Reallocate(size);
}

void IMidiQueue::Flush(int nFrames) {
  Compact();
  IMidiMsg* buf = mBuf.Get();
  for (int i = 0; i < mBack; ++i) {
    const int64_t o = static_cast<int64_t>(buf[i].mOffset) - nFrames;
    buf[i].mOffset = static_cast<int32_t>(std::clamp<int64_t>(o, INT32_MIN, INT32_MAX));
  }
}
