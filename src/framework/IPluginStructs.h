#pragma once
// MIDI records and the time-ordered queue of outgoing short messages, and
// the host's transport record.
#include <cstddef>
#include <cstdint>

#include "kit/heapbuf.h"

// One short MIDI message.
struct IMidiMsg {
  enum EStatusMsg {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14
  };

  // Controller numbers as in MIDI 1.0.
  enum EControlChangeMsg {
    kModWheel = 1,
    kBreathController = 2,
    kFootController = 4,
    kPortamentoTime = 5,
    kDataEntryMsb = 6,
    kChannelVolume = 7,
    kBalance = 8,
    kPan = 10,
    kExpressionController = 11,
    kEffectControl1 = 12,
    kEffectControl2 = 13,
    kBankSelectLsb = 32,
    kDataEntryLsb = 38,
    kSustainOnOff = 64,
    kPortamentoOnOff = 65,
    kSustenutoOnOff = 66,
    kSoftPedalOnOff = 67,
    kLegatoOnOff = 68,
    kHold2OnOff = 69,
    kSoundVariation = 70,
    kResonance = 71,
    kReleaseTime = 72,
    kAttackTime = 73,
    kCutoffFrequency = 74,
    kDecayTime = 75,
    kVibratoRate = 76,
    kVibratoDepth = 77,
    kVibratoDelay = 78,
    kSoundControllerUndefined = 79,
    kTremoloDepth = 92,
    kChorusDepth = 93,
    kPhaserDepth = 95,
    kDataIncrement = 96,
    kDataDecrement = 97,
    kNonRegisteredParameterNumberLsb = 98,
    kNonRegisteredParameterNumberMsb = 99,
    kRegisteredParameterNumberLsb = 100,
    kRegisteredParameterNumberMsb = 101,
    kAllSoundOff = 120,
    kResetAllControllers = 121,
    kLocalControl = 122,
    kAllNotesOff = 123,
    kOmniModeOff = 124,
    kOmniModeOn = 125,
    kMonoModeOn = 126,
    kPolyModeOn = 127
  };

  int32_t mOffset = 0;  // sample offset within the current block, 0 = at once
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  IMidiMsg() = default;
  IMidiMsg(int offset, uint8_t status, uint8_t data1, uint8_t data2)
      : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

  // Builders. Data bytes are limited to 0..127 and the channel is masked to
  // its four bits; normalised values are 0..1 (value / 127.0).
  void MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel = 0);
  void MakeNoteOffMsg(int noteNumber, int offset, int channel = 0);  // velocity 0
  void MakeControlChangeMsg(int controller, double normalizedValue, int channel = 0);
  // Data 2 is 0xFF; the message goes out as two bytes.
  void MakeProgramChangeMsg(double normalizedProgram, int channel = 0);
  // value -1..1; 0 is the centre (E0 00 40).
  void MakePitchWheelMsg(double value, int channel = 0);
  void Clear();

  // Readers.
  int Channel() const { return mStatus & 0x0F; }
  EStatusMsg StatusMsg() const;
  int NoteNumber() const;
  int Velocity() const;
  int Program() const;
  double PitchWheel() const;
  int ControlChangeIdx() const { return mData1; }
  double ControlChange(int controller) const;
  int MidiChannelIdx() const { return mStatus; }
  void LogMsg() const {}

  static const char* StatusMsgStr(int kind);
};
static_assert(sizeof(IMidiMsg) == 8, "queue sizes count 8-byte records");

// One system-exclusive message. The bytes are not owned.
struct ISysEx {
  int32_t mOffset = 0;
  int32_t mSize = 0;
  const uint8_t* mData = nullptr;

  ISysEx() = default;
  ISysEx(int offset, const uint8_t* data, int size) : mOffset(offset), mSize(size), mData(data) {}
  void Clear();
  // Formats the first 32 bytes for a log this system does not write.
  void LogMsg() const;
};

// Hex dump of bytes into out: each byte as "%02X" and a space, as many as
// fit in outLength / 3, the final space replaced by the terminator. Null or
// empty input, or an outLength of 1 or 2, give ""; 0 writes nothing.
char* SysExStr(char* out, int outLength, const uint8_t* bytes, int size);

// Outgoing short messages ordered by sample offset, equal offsets in the
// order of adding. The queue has no lock: its owner guards it.
class IMidiQueue {
 public:
  static constexpr int kDefaultSize = 1024;

  explicit IMidiQueue(int size = kDefaultSize);
  IMidiQueue(const IMidiQueue&) = delete;
  IMidiQueue& operator=(const IMidiQueue&) = delete;

  // Stores a copy in offset order. Returns false when the message was
  // dropped because the queue could not grow.
  bool Add(const IMidiMsg& msg);
  bool Add(const IMidiMsg* msg) { return msg && Add(*msg); }

  // Fits the queue to a block size: consumed records are dropped, the size
  // (below 1 counts as 1) is rounded up to whole 512-record steps and becomes
  // the growth block, and the capacity becomes that, or the held messages
  // rounded the same way when more are held. A failed reallocation keeps
  // the old capacity.
  void Resize(int blockSize);

  bool Empty() const { return mFront == mBack; }
  int ToDo() const { return mBack - mFront; }
  // The next message (null when empty); Remove takes it off.
  IMidiMsg* Peek() const { return Empty() ? nullptr : mBuf.Get() + mFront; }
  void Remove() {
    if (!Empty()) ++mFront;
  }
  // After a block of nFrames: drops consumed records and moves every message
  // left nFrames earlier, so messages timed beyond the block keep their
  // distance into the next one.
  void Flush(int nFrames);
  void Clear() { mFront = mBack = 0; }

  int GetCapacity() const { return mCapacity; }
  int GetGrowBlock() const { return mGrow; }
  int GetFront() const { return mFront; }
  const IMidiMsg* At(int i) const { return (i >= 0 && i < ToDo()) ? mBuf.Get() + mFront + i : nullptr; }

  // Records in whole steps of 4096 bytes.
  static int RoundToStep(int64_t records);

 private:
  bool Reallocate(int capacity);
  void Compact();

  KIT_TypedBuf<IMidiMsg> mBuf;
  int mCapacity = 0;
  int mGrow = 0;
  int mFront = 0;
  int mBack = 0;
};

// The host's transport, filled by the host binding; fields it cannot fill
// keep what the caller put there.
struct ITimeInfo {
  double mTempo = 120.0;
  double mSamplePos = -1.0;
  double mPPQPos = -1.0;
  double mLastBar = -1.0;
  double mCycleStart = -1.0;
  double mCycleEnd = -1.0;
  int32_t mNumerator = 4;
  int32_t mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};
