#pragma once
// The 137-byte sound dump: one sound of the synthesizer in one
// system-exclusive message, written from and read into the editor's
// parameters.
//
// Both directions are pure functions. Writing takes a snapshot of the
// parameter values and the sound name; reading takes the bytes and a
// snapshot of the section locks and returns the parameter writes in the
// order they are to be applied, with the name, the category and the
// location. The caller applies the writes as plain values, which each
// parameter limits to its range and step.
//
//   0      F0
//   1..4   3E 16 device 10
//   5, 6   location (7F 00: the edit buffer)
//   7..114 sound data, one byte per field; 97..112 one step code each
//   115..119 constant 00 00 00 00 01
//   120..133 name, 14 characters, blank-padded
//   134    category 0..20
//   135    check byte: the sum of bytes 1..134, low 7 bits
//   136    F7
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hardware/SysexProtocol.h"
#include "hardware/ParameterList.h"

namespace sounddump {

inline constexpr size_t kLength = sysex::kSoundDumpLength;
using Dump = std::array<uint8_t, kLength>;

inline constexpr size_t kDataFirst = 7;
inline constexpr size_t kDataLast = 114;
inline constexpr size_t kFieldCount = kDataLast - kDataFirst + 1;  // 108
inline constexpr size_t kStepFirst = 97;                           // step 1; step s at 96 + s
inline constexpr size_t kStepCount = 16;
inline constexpr size_t kNameFirst = 120;
inline constexpr size_t kNameLength = 14;
inline constexpr size_t kNameWritten = 13;  // the writer's last position stays a blank
inline constexpr size_t kCategoryByte = 134;
inline constexpr size_t kCheckByte = 135;
// The parser needs the bytes up to the category; the check byte and F7 are
// not read.
inline constexpr size_t kMinParsedLength = 135;

// The INIT sound: the editor's default sound and the template of every dump
// it builds. Device 00, edit buffer, name "INIT" and ten blanks, category 0.
// Its stored check byte (2A) does not match its sum; writers recompute it.
extern const Dump initSinglePatch;

// How a sound-data byte carries its value.
enum class Coding : uint8_t {
  Value,          // the integer part of the value
  Semitone,       // value + 16
  LfoShapeClock,  // kLFO1ShapeClock; reading also sets kLFO1Shape
  ArpOnOff,       // kArpOnOff; reading also sets kArpOnOffIndicator
  ArpClock,       // value + 1; read as byte - 1 (0 stays 0)
  StepCode,       // glide << 6 | time << 4 | event of one arpeggiator step
  Constant,       // kept as in the template, never read
};

struct Field {
  uint8_t offset;  // byte position in the dump
  int16_t param;   // parameter written and read (the step's event for a step code), -1 for constants
  Coding coding;
  int16_t lock;    // the section lock that guards the byte when reading, -1 for none
};

// The 108 fields of bytes 7..114, in byte order.
const std::array<Field, kFieldCount>& fields();
// The field of a byte position 7..114, or null.
const Field* fieldAt(size_t offset);

// The values a parameter can carry through a dump unchanged (both ends
// included). A parameter's range must stay inside them.
struct ValueRange {
  int min;
  int max;
};
std::optional<ValueRange> codableRange(int param);

// ---- Step codes -----------------------------------------------------------

// glide * 64 + time * 16 + event, each field's integer part held to its bits
// (event 0..15, time 0..3, glide 0..1).
uint8_t stepCode(double event, double time, double glide);
struct Step {
  int event;
  int time;
  int glide;
};
Step decodeStepCode(uint8_t code);

// ---- Category texts ---------------------------------------------------------

inline constexpr int kHighestCategory = 20;
// Shown after writing: "INIT" for 0 and 20, "None" above 20.
std::string categoryTextWritten(int code);
// Shown after reading: "NONE" for 0 and above 20, "INIT" for 20.
std::string categoryTextRead(int code);

// The current-patch record keeps "Set Name" in place of an empty text.
std::string recordText(const std::string& text);

// ---- Writing ------------------------------------------------------------------

// What the writer reads: the plain value of every parameter (only the sound
// data, kGlobalDeviceID and kCategoryName are used) and the text of
// kPatchName.
struct Snapshot {
  std::array<double, kParameterCount> values{};
  std::string name;

  // A snapshot holding the values that reading the INIT sound gives.
  static Snapshot fromInitSound();
};

// The sound as a dump for the edit buffer: the template with bytes 7..114
// from the parameters, the device byte from kGlobalDeviceID, the name
// upper-cased (first 13 characters, ASCII a-z only; bytes of 0x80 and above
// become blanks) and blank-padded, the category from kCategoryName, and the
// check byte. Every byte between F0 and F7 is below 0x80 whatever the
// values.
Dump build(const Snapshot& snapshot);

// The INIT sound for a librarian slot: device byte, location 00 and the
// slot's low byte (held to 7 bits), check byte.
Dump buildInitSlot(uint8_t device, int slot);

// Puts device and location into a dump and recomputes its check byte.
void address(Dump& dump, uint8_t device, sysex::Location where);
// Recomputes byte 135 from bytes 1..134.
void refreshCheckByte(Dump& dump);

// ---- Stored sounds sent to the instrument ------------------------------------

// A librarian message that can go out as a sound dump: F0 first, at least
// 137 bytes, bytes 1..134 all below 80. It comes back cut to 137 bytes with
// the sound-dump command in byte 4, its check byte and F7 written; anything
// else gives nothing.
std::optional<Dump> storedDump(const std::vector<uint8_t>& message);
// The first of a patch's messages that storedDump takes, framed so.
std::optional<Dump> pickStoredDump(const std::vector<std::vector<uint8_t>>& messages);

// ---- Reading --------------------------------------------------------------------

// The values of the thirteen section locks, kSectionLockOsc1 first. A
// section is locked when its value is exactly 1.0.
struct Locks {
  std::array<double, kSectionLockCount> values{};
  bool locked(int lockParam) const;
};

struct ParameterWrite {
  int param;
  double value;
  bool operator==(const ParameterWrite&) const = default;
};

struct Parsed {
  // Bytes 120..133 that are not 00, in order, case and blanks kept.
  std::string name;
  int category = 0;          // byte 134 as it stands
  std::string categoryText;  // the reading text of that code
  sysex::DecodedLocation location;
  // In the order they are to be applied: kCategoryName; kCurrentBank and
  // kCurrentPatch when the location names a stored sound and the first
  // oscillator's section is open; then the sound data in byte order,
  // skipping locked sections.
  std::vector<ParameterWrite> writes;
};

// Reads a dump of at least 135 bytes whose bytes 1 and 2 are 3E 16 and whose
// device byte is 0..15; anything else gives nothing. Neither the command nor
// the check byte is tested.
std::optional<Parsed> parse(const uint8_t* bytes, size_t size, const Locks& locks);

}  // namespace sounddump
