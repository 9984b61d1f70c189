#pragma once
// The editor-state block of the host's state chunk: a stored copy of the
// editor's short state form and five short names (patch name, category name,
// a spare name, MIDI In port name, MIDI Out port name).
//
// Block layout (no padding):
//   00 00 00 01, 00 00 00 01         two words, written and never checked
//   N (big-endian int32)             length of the stored state
//   N bytes                          the stored state
//   5 x { L (little-endian int32), L bytes }   the names, no terminator
// Names 0-2 are written with at most 13 bytes, names 3 and 4 with at most 32,
// each cut before its first zero byte and at a UTF-8 character boundary.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/ByteChunk.h"

// What the state holder asks of the plug-in class: its state in the short
// form (full == false). The plug-in class implements it.
class IEditorStateSource {
 public:
  virtual ~IEditorStateSource() = default;
  virtual bool SerializeState2(ByteChunk* chunk, bool full) = 0;
};

class Patch {
 public:
  static constexpr int kNumNames = 5;
  static constexpr const char* kInitName = "- INIT -";

  Patch();

  ByteChunk state;                              // stored editor state
  std::array<std::string, kNumNames> names;     // see the header comment
};

class PatchManager : public Patch {
 public:
  // Byte limits of the names inside the block.
  static constexpr int kShortNameLimit = 13;    // names 0, 1, 2
  static constexpr int kPortNameLimit = 32;     // names 3, 4
  static constexpr int kHeaderSize = 12;

  explicit PatchManager(IEditorStateSource* owner = nullptr) : owner(owner) {}

  // Replaces the stored state by the owner's short state form (empty
  // without an owner).
  void init();

  // Appends one block to the end of chunk.
  void saveAllToChunk(ByteChunk* chunk) const;

  // Reads one block starting at byte pos of chunk, replaces the stored state
  // and the five names, and returns the position just after the block, or -1
  // when the block does not fit (then the state is empty and every name from
  // the first one that did not fit on is empty; names 0-2 always come back
  // as exactly 13 characters, filled up with zero characters).
  int loadAllFromChunk(const ByteChunk* chunk, int pos);

  // The same over a plain byte range (what the chunk reader uses).
  int loadAllFromBytes(const uint8_t* data, size_t size, int pos);

  // Appends one name in the block's form: its length L (little-endian int32)
  // and L bytes, L being the bytes before the first zero byte, at most
  // maxLen and never splitting a UTF-8 character.
  static void putStringToChunk(ByteChunk* chunk, const std::string& text, int maxLen);

  // The block as bytes (what saveAllToChunk appends).
  std::vector<uint8_t> blockBytes() const;

  // Bank and patch index of the last loaded state: kept by the plug-in
  // class, not part of the block.
  int bankIndex = 0;
  int patchIndex = 0;

  IEditorStateSource* owner;
};
