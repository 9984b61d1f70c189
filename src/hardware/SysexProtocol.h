#pragma once
// The system-exclusive protocol of the synthesizer: the family bytes, the
// catalogue of messages the program builds or reads, the location numbering
// of stored sounds, the device-ID rules and the checksum.
//
// Everything here is a pure function over bytes. Requests are built
// unframed (without F0 and F7), as the request jobs hand them to the send
// path, which frames them; frameSysex gives the bytes as they go on the wire.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sysex {

inline constexpr uint8_t kStart = 0xF0;
inline constexpr uint8_t kEnd = 0xF7;
inline constexpr uint8_t kManufacturer = 0x3E;
inline constexpr uint8_t kModel = 0x16;
inline constexpr uint8_t kModelPrevious = 0x0B;  // accepted on input only

// Command bytes (offset 4).
inline constexpr uint8_t kCmdSoundRequest = 0x00;
inline constexpr uint8_t kCmdGlobalRequest = 0x04;
inline constexpr uint8_t kCmdSoundDump = 0x10;
inline constexpr uint8_t kCmdGlobalDump = 0x14;

// The single-parameter change carries 58 41 where other messages carry the
// device and the command.
inline constexpr uint8_t kSingleParameterTag1 = 0x58;
inline constexpr uint8_t kSingleParameterTag2 = 0x41;

// Lengths on the wire, F0 and F7 included.
inline constexpr size_t kSoundRequestLength = 8;
inline constexpr size_t kGlobalRequestLength = 6;
inline constexpr size_t kSoundDumpLength = 137;
inline constexpr size_t kGlobalDumpLength = 39;
inline constexpr size_t kGlobalSettingsCount = 32;  // offsets 5..36
inline constexpr size_t kSingleParameterLength = 10;

// MIDI clock bytes, sent alone and unframed.
inline constexpr uint8_t kClockStart = 0xFA;
inline constexpr uint8_t kClockTick = 0xF8;
inline constexpr uint8_t kClockStop = 0xFC;

// Only framed messages at least this long get a checksum on the send path.
inline constexpr size_t kChecksumMinLength = 71;

// ---- Location numbering -------------------------------------------------

inline constexpr int kSlotsPerBank = 100;
inline constexpr int kStoredBanks = 5;  // banks 0..4 on the instrument
inline constexpr uint8_t kEditBufferHigh = 0x7F;
inline constexpr uint8_t kEditBufferLow = 0x00;

// The two 7-bit bytes that address a sound.
struct Location {
  uint8_t high = kEditBufferHigh;
  uint8_t low = kEditBufferLow;
  bool operator==(const Location&) const = default;
};

inline constexpr Location kEditBuffer{kEditBufferHigh, kEditBufferLow};

// n = bank * 100 + slot, as n / 128 and n % 128. A negative bank counts as
// bank 0 and the slot is held to 0..99, so both bytes stay 7-bit; numbers
// beyond 14 bits are held to 7F 7F.
Location encodeLocation(int bank, int slot);

// What a pair of location bytes names.
struct DecodedLocation {
  bool editBuffer = false;  // high byte 7F
  int number = 0;           // high * 128 + low
  bool stored = false;      // a sound of banks 0..4: bank and program are valid
  int bank = 0;
  int program = 0;
};

// 7F xx is the edit buffer; otherwise n = high * 128 + low, a stored sound
// when n < 500.
DecodedLocation decodeLocation(uint8_t high, uint8_t low);

// ---- Device ID ------------------------------------------------------------

// Device IDs tried one after another when a request goes unanswered: 0..126.
inline constexpr int kDeviceScanCount = 127;
// The sound-dump parser of the editor takes dumps from these devices only.
inline constexpr int kHighestParsedDevice = 15;

// The device byte from the value of the device-ID parameter: its integer
// part, 0 when it is not above 0, at most 127.
uint8_t deviceIdFromParameter(double value);
// An incoming device byte is taken when its top bit is clear.
inline constexpr bool isValidDeviceByte(uint8_t b) { return b < 0x80; }

// ---- Checksum ---------------------------------------------------------------

// Sum of the bytes at offsets 1 .. length-3 of a framed message, modulo 128;
// 0 for fewer than 4 bytes.
int calculateCheckSum(const uint8_t* message, size_t length);
int calculateCheckSum(const std::vector<unsigned char>& message);

// Writes the checksum at offset length-2 of a framed message when it is due
// on the send path: length of 71 or more and first byte F0. True when
// written.
bool applySendCheckSum(uint8_t* message, size_t length);

// ---- Catalogue ----------------------------------------------------------------

// Unframed requests, as the request jobs pass them to the send path.
std::vector<uint8_t> globalRequest(uint8_t device);                  // 3E 16 dd 04
std::vector<uint8_t> soundRequest(uint8_t device, Location where);   // 3E 16 dd 00 hh ll
std::vector<uint8_t> editBufferRequest(uint8_t device);              // 3E 16 dd 00 7F 00

// The bytes on the wire: F0 + bytes + F7 unless the first byte is already
// F0, in which case the bytes go unchanged.
std::vector<uint8_t> frameSysex(const uint8_t* bytes, size_t length);
std::vector<uint8_t> frameSysex(const std::vector<uint8_t>& bytes);

// A 39-byte global dump around 32 settings bytes and the further byte at
// offset 37. Values are held to 0..127.
std::vector<uint8_t> globalDump(uint8_t device, const uint8_t (&settings)[kGlobalSettingsCount], uint8_t extra);

// What a global dump sets: the plain value of one parameter.
struct GlobalSetting {
  int param;
  double value;
  bool operator==(const GlobalSetting&) const = default;
};
struct GlobalDumpValues {
  // Bytes 5..24, 35 and 36 in ascending order (25..34 and 37 are not read;
  // the two polyphony settings are not in the dump).
  std::vector<GlobalSetting> settings;
  // Byte 11, the global clock setting, is nonzero.
  bool externalClock = false;
};
// Reads a global dump: exactly 39 bytes with 3E 16 in bytes 1 and 2 and 14
// in byte 4; anything else gives nothing.
std::optional<GlobalDumpValues> readGlobalDump(const uint8_t* bytes, size_t length);

// A 10-byte single-parameter change: F0 3E 16 58 41 a1 a2 value b8 F7.
std::vector<uint8_t> singleParameterChange(uint8_t address1, uint8_t address2, uint8_t value, uint8_t extra = 0);

// ---- Recognising messages -----------------------------------------------------

enum class MessageKind {
  Unknown,
  SoundRequest,       // 8 bytes, location != 7F 00
  EditBufferRequest,  // 8 bytes, 7F 00
  GlobalRequest,      // 6 bytes
  SoundDump,          // 137 bytes
  GlobalDump,         // 39 bytes
  SingleParameter,    // 10 bytes
};

struct MessageInfo {
  MessageKind kind = MessageKind::Unknown;
  uint8_t device = 0;  // the device byte (requests and dumps)
  Location location;   // requests and sound dumps
};

// Sorts a framed message (F0 .. F7) of the family into the catalogue by its
// length, command and framing; any other byte string is Unknown. The model
// byte may be 16 or 0B and the device byte must be 7-bit.
MessageInfo classify(const uint8_t* bytes, size_t length);

}  // namespace sysex

// The checksum by its program-wide name.
inline int calculateCheckSum(const std::vector<unsigned char>& message) { return sysex::calculateCheckSum(message); }
