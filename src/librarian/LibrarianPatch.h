#pragma once
// One patch as the librarian keeps it, the category table and the init patch.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hardware/SoundDump.h"

// One complete system-exclusive message, F0 first and F7 last. A value:
// copying it copies the bytes.
using PatchSysexMessage = std::vector<uint8_t>;

class ByteChunk;

// Layout of the 137-byte sound dump as far as the librarian touches it.
inline constexpr int kSoundDumpSize = static_cast<int>(sounddump::kLength);
inline constexpr int kDumpNameOffset = static_cast<int>(sounddump::kNameFirst);
inline constexpr int kDumpNameLength = static_cast<int>(sounddump::kNameLength);
inline constexpr int kDumpCategoryOffset = static_cast<int>(sounddump::kCategoryByte);
inline constexpr int kDumpCheckOffset = static_cast<int>(sounddump::kCheckByte);

// The number of category codes with a name of their own (0..20); every code
// from 21 to 255 names "INIT" as 20 does.
inline constexpr int kCategoryCount = 21;

// The four-character category name of a category byte (short words padded
// with blanks on the right).
const char* categoryName(int code);

// The content of a new or empty slot: the INIT sound, with header device 00,
// command 10, bank 7F, program 00. Its stored check byte (2A) is kept as it
// stands; writers recompute check bytes of whatever they write.
inline const std::array<uint8_t, kSoundDumpSize>& initSinglePatch = sounddump::initSinglePatch;

// The check byte of an F0-framed message: the sum of the bytes from offset 1
// up to the byte before the check byte (offset size - 3), modulo 128.
// Messages of fewer than 4 bytes give 0.
uint8_t dumpCheckByte(std::span<const uint8_t> message);

// True for a message that is a framed sound dump: 137 bytes, F0 ... F7.
bool isFramedSoundDump(std::span<const uint8_t> message);

class LibrarianPatch {
 public:
  std::string name;
  std::string category;
  std::vector<PatchSysexMessage> messages;

  LibrarianPatch() = default;
  LibrarianPatch(const LibrarianPatch&) = default;
  LibrarianPatch& operator=(const LibrarianPatch&) = default;
  LibrarianPatch(LibrarianPatch&&) noexcept = default;
  LibrarianPatch& operator=(LibrarianPatch&&) noexcept = default;

  // A patch holding one message, a copy of the given dump; name and category
  // empty.
  static LibrarianPatch fromDump(std::span<const uint8_t> dump);
  // A patch holding a copy of the init patch, its name and category taken.
  static LibrarianPatch initPatch();

  // Sets the category from byte 134 of message 0. A patch without message or
  // with a message too short to hold the byte gets an empty category.
  void parseCategory();

  // Takes name and category from message 0: bytes 120..133, a-z upper-cased,
  // every other byte kept, nothing trimmed; then the category. Messages of
  // fewer than 135 bytes hold neither: both stay empty.
  void takeNameAndCategory();
  // True when takeNameAndCategory would leave name and category as they are.
  bool namedFromDump() const;

  // Appends the patch's bytes to a bank being written. Raw form (midi false):
  // every message as it is. Standard MIDI File form: one system-exclusive
  // event per message of 2 bytes or more (delta time, F0, variable-length
  // size, the message from its byte 1); the very first event of the track
  // (slot 0, message 0) has delta 0, every other one 500 ticks. A framed
  // sound dump is written with its check byte recomputed. A patch without
  // messages writes a copy of the init patch, so that every slot keeps its
  // place.
  void save(std::vector<uint8_t>& out, bool midi, int index) const;
  // The same, appended to a chunk. False when the chunk could not grow.
  bool save(ByteChunk* buffer, bool midi, int index) const;

  bool operator==(const LibrarianPatch&) const = default;
};
