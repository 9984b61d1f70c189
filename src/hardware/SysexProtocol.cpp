// The synthesizer's system-exclusive catalogue, location numbering and
// checksum.
#include "hardware/SysexProtocol.h"

#include <algorithm>
#include <cmath>

#include "hardware/ParameterList.h"

namespace sysex {

namespace {

uint8_t data7(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 0x7F)); }

}  // namespace

Location encodeLocation(int bank, int slot) {
  const long long b = std::max(bank, 0);
  const long long s = std::clamp(slot, 0, kSlotsPerBank - 1);
  const long long n = std::min(b * kSlotsPerBank + s, 0x3FFFLL);
  return Location{static_cast<uint8_t>(n / 128), static_cast<uint8_t>(n % 128)};
}

DecodedLocation decodeLocation(uint8_t high, uint8_t low) {
  DecodedLocation d;
  d.number = high * 128 + low;
  if (high == kEditBufferHigh) {
    d.editBuffer = true;
    return d;
  }
  if (d.number < kStoredBanks * kSlotsPerBank) {
    d.stored = true;
    d.bank = d.number / kSlotsPerBank;
    d.program = d.number % kSlotsPerBank;
  }
  return d;
}

uint8_t deviceIdFromParameter(double value) {
  if (!(value > 0.0)) return 0;  // also NaN
  if (value >= 127.0) return 127;
  return static_cast<uint8_t>(value);
}

int calculateCheckSum(const uint8_t* message, size_t length) {
  if (message == nullptr || length < 4) return 0;
  unsigned sum = 0;
  for (size_t i = 1; i + 2 < length; ++i) sum += message[i];
  return static_cast<int>(sum % 128);
}

int calculateCheckSum(const std::vector<unsigned char>& message) {
  return calculateCheckSum(message.data(), message.size());
}

bool applySendCheckSum(uint8_t* message, size_t length) {
  if (message == nullptr || length < kChecksumMinLength || message[0] != kStart) return false;
  message[length - 2] = static_cast<uint8_t>(calculateCheckSum(message, length));
  return true;
}

std::vector<uint8_t> globalRequest(uint8_t device) {
  return {kManufacturer, kModel, data7(device), kCmdGlobalRequest};
}

std::vector<uint8_t> soundRequest(uint8_t device, Location where) {
  return {kManufacturer, kModel, data7(device), kCmdSoundRequest, data7(where.high), data7(where.low)};
}

std::vector<uint8_t> editBufferRequest(uint8_t device) { return soundRequest(device, kEditBuffer); }

std::vector<uint8_t> frameSysex(const uint8_t* bytes, size_t length) {
  std::vector<uint8_t> out;
  if (bytes == nullptr) length = 0;
  if (length > 0 && bytes[0] == kStart) return std::vector<uint8_t>(bytes, bytes + length);
  out.reserve(length + 2);
  out.push_back(kStart);
  out.insert(out.end(), bytes, bytes + length);
  out.push_back(kEnd);
  return out;
}

std::vector<uint8_t> frameSysex(const std::vector<uint8_t>& bytes) { return frameSysex(bytes.data(), bytes.size()); }

std::vector<uint8_t> globalDump(uint8_t device, const uint8_t (&settings)[kGlobalSettingsCount], uint8_t extra) {
  std::vector<uint8_t> m = {kStart, kManufacturer, kModel, data7(device), kCmdGlobalDump};
  for (uint8_t s : settings) m.push_back(data7(s));
  m.push_back(data7(extra));
  m.push_back(kEnd);
  return m;
}

namespace {

// The settings bytes of the global dump: offset, parameter, value offset.
struct GlobalField {
  uint8_t offset;
  int param;
  int minus;
};
constexpr GlobalField kGlobalFields[] = {
    {5, kGlobalMasterTune, 54},  {6, kGlobalTranspose, 40},   {7, kGlobalInputGain, 0},
    {8, kGlobalMidiChannel, 0},  {9, kGlobalDeviceID, 0},     {10, kGlobalControlX, 0},
    {11, kGlobalClock, 0},       {12, kGlobalLocalControl, 0}, {13, kGlobalTxArpClock, 0},
    {14, kGlobalTxArpNotes, 0},  {15, kGlobalTxParameter, 0}, {16, kGlobalMidiThru, 0},
    {17, kGlobalLCDContrast, 0}, {18, kGlobalVelCurv, 0},     {19, kGlobalS1Legacy, 0},
    {20, kGlobalCVMode, 0},      {21, kGlobalCVAmp, 0},       {22, kGlobalCVTune, 0},
    {23, kGlobalCVAdjust, 0},    {24, kGlobalGateMode, 0},    {35, kGlobalVolume, 0},
    {36, kGlobalPanning, 0},
};
constexpr size_t kGlobalClockByte = 11;

}  // namespace

std::optional<GlobalDumpValues> readGlobalDump(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr || length != kGlobalDumpLength || bytes[1] != kManufacturer || bytes[2] != kModel ||
      bytes[4] != kCmdGlobalDump)
    return std::nullopt;
  GlobalDumpValues v;
  for (const GlobalField& f : kGlobalFields)
    v.settings.push_back({f.param, static_cast<double>(bytes[f.offset]) - f.minus});
  v.externalClock = bytes[kGlobalClockByte] != 0;
  return v;
}

std::vector<uint8_t> singleParameterChange(uint8_t address1, uint8_t address2, uint8_t value, uint8_t extra) {
  return {kStart, kManufacturer, kModel, kSingleParameterTag1, kSingleParameterTag2,
          data7(address1), data7(address2), data7(value), data7(extra), kEnd};
}

MessageInfo classify(const uint8_t* bytes, size_t length) {
  MessageInfo info;
  if (bytes == nullptr || length < kGlobalRequestLength) return info;
  if (bytes[0] != kStart || bytes[length - 1] != kEnd || bytes[1] != kManufacturer) return info;
  if (bytes[2] != kModel && bytes[2] != kModelPrevious) return info;
  if (length == kSingleParameterLength) {
    if (bytes[3] == kSingleParameterTag1 && bytes[4] == kSingleParameterTag2) info.kind = MessageKind::SingleParameter;
    return info;
  }
  if (!isValidDeviceByte(bytes[3])) return info;
  const uint8_t command = bytes[4];
  if (length == kGlobalRequestLength && command == kCmdGlobalRequest) {
    info.kind = MessageKind::GlobalRequest;
  } else if (length == kSoundRequestLength && command == kCmdSoundRequest) {
    info.location = Location{bytes[5], bytes[6]};
    info.kind = info.location == kEditBuffer ? MessageKind::EditBufferRequest : MessageKind::SoundRequest;
  } else if (length == kSoundDumpLength && command == kCmdSoundDump) {
    info.location = Location{bytes[5], bytes[6]};
    info.kind = MessageKind::SoundDump;
  } else if (length == kGlobalDumpLength && command == kCmdGlobalDump) {
    info.kind = MessageKind::GlobalDump;
  } else {
    return info;
  }
  info.device = bytes[3];
  return info;
}

}  // namespace sysex
