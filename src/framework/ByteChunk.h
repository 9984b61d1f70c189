#pragma once
// The growable byte buffer in which all state and presets travel, and the
// preset record.
//
// Values are stored in the machine's native byte order (little-endian on
// every target). Reads take the position to read at and return the position
// after the value, or -1 when the value does not lie wholly inside the
// chunk; a position of -1 makes every later read fail too, so a caller can
// read a whole record and test once at the end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "kit/heapbuf.h"

class KIT_String;

class ByteChunk {
 public:
  ByteChunk() : mBytes(KIT_GRAN_DEFAULT) {}
  ByteChunk(const ByteChunk&) = delete;
  ByteChunk& operator=(const ByteChunk&) = delete;

  // Appends size bytes. Returns the new size, or 0 when the chunk could not
  // grow (it is then unchanged).
  int Put(const void* data, int size);
  int PutInt(int32_t v) { return Put(&v, sizeof v); }
  int PutDouble(double v) { return Put(&v, sizeof v); }
  int PutBool(bool v) {
    const uint8_t b = v ? 1 : 0;
    return Put(&b, 1);
  }
  // A 32-bit length (no terminator counted), then the characters.
  int PutStr(const char* s);
  // The other chunk's bytes, with no length before them.
  int PutChunk(const ByteChunk* other);

  // Reads size bytes at pos into out.
  int Get(void* out, int size, int pos) const;
  int GetInt(int32_t* v, int pos) const { return Get(v, sizeof *v, pos); }
  int GetDouble(double* v, int pos) const { return Get(v, sizeof *v, pos); }
  // Any non-zero byte is true.
  int GetBool(bool* v, int pos) const;
  // A length L and L characters. L < 0, or characters beyond the end, fail
  // with -1 leaving s unchanged; L = 0 leaves s unchanged and returns pos + 4;
  // otherwise s becomes the characters, cut at an embedded zero byte.
  int GetStr(std::string* s, int pos) const;
  int GetStr(KIT_String* s, int pos) const;

  int Size() const { return mBytes.GetSize(); }
  uint8_t* GetBytes() const { return static_cast<uint8_t*>(mBytes.Get()); }
  // Sets the size; new bytes are zero. Returns the new size (the old one
  // when the chunk could not grow).
  int Resize(int newSize);
  void Clear() { mBytes.Resize(0, false); }
  bool IsEqual(const ByteChunk* other) const;
  // Exchanges the contents of two chunks; allocates nothing.
  void Swap(ByteChunk& other) { std::swap(mBytes, other.mBytes); }

 private:
  KIT_HeapBuf mBytes;
};

// A preset: an initialised flag, a name and the state it restores.
struct IPreset {
  static constexpr size_t kNameLen = 256;  // terminator included

  bool mInitialized = false;
  char mName[kNameLen] = {};
  ByteChunk mChunk;

  IPreset();
  void SetName(const char* name);
};
