#include "librarian/PatchManager.h"

#include <algorithm>
#include <cstring>

#include "kit/utf8.h"

namespace {

void putBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void putLittleEndian32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 24));
}

int32_t bigEndian32(const uint8_t* p) {
  return static_cast<int32_t>((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]));
}

int32_t littleEndian32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
}

// One name in the block's form, appended to out.
void putName(std::vector<uint8_t>& out, const std::string& text, int maxLen) {
  const size_t len = KIT_Utf8CutLength(text.c_str(), maxLen > 0 ? static_cast<size_t>(maxLen) : 0);
  putLittleEndian32(out, static_cast<uint32_t>(len));
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(len));
}

// Names 0-2 come back as exactly `width` bytes: cut at a character boundary,
// then filled up with zero characters.
void fixWidth(std::string& name, size_t width) {
  name.resize(KIT_Utf8CutLength(name.c_str(), width));
  name.resize(width, '\0');
}

void copyInto(ByteChunk& chunk, const uint8_t* data, size_t n) {
  chunk.Clear();
  if (n) chunk.Put(data, static_cast<int>(n));
}

}  // namespace

Patch::Patch() {
  names.fill(kInitName);
}

void PatchManager::init() {
  ByteChunk shortForm;
  if (owner) owner->SerializeState2(&shortForm, false);
  copyInto(state, shortForm.GetBytes(), static_cast<size_t>(std::max(shortForm.Size(), 0)));
}

std::vector<uint8_t> PatchManager::blockBytes() const {
  const int n = std::max(state.Size(), 0);
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(kHeaderSize + n + 5 * 4 + 3 * kShortNameLimit + 2 * kPortNameLimit));
  putBigEndian32(out, 1);
  putBigEndian32(out, 1);
  putBigEndian32(out, static_cast<uint32_t>(n));
  if (n) out.insert(out.end(), state.GetBytes(), state.GetBytes() + n);
  for (int i = 0; i < kNumNames; ++i) putName(out, names[i], i < 3 ? kShortNameLimit : kPortNameLimit);
  return out;
}

void PatchManager::saveAllToChunk(ByteChunk* chunk) const {
  if (!chunk) return;
  const std::vector<uint8_t> block = blockBytes();
  chunk->Put(block.data(), static_cast<int>(block.size()));
}

void PatchManager::putStringToChunk(ByteChunk* chunk, const std::string& text, int maxLen) {
  if (!chunk) return;
  std::vector<uint8_t> out;
  putName(out, text, maxLen);
  chunk->Put(out.data(), static_cast<int>(out.size()));
}

int PatchManager::loadAllFromChunk(const ByteChunk* chunk, int pos) {
  if (!chunk) return loadAllFromBytes(nullptr, 0, pos);
  return loadAllFromBytes(chunk->GetBytes(), static_cast<size_t>(std::max(chunk->Size(), 0)), pos);
}

int PatchManager::loadAllFromBytes(const uint8_t* data, size_t size, int pos) {
  // Every length is compared with the bytes that remain, in 64 bits, before
  // anything is read or allocated: a hostile length can neither wrap the
  // position nor reach outside the data.
  const int64_t end = data ? static_cast<int64_t>(size) : 0;
  int64_t p = pos;

  if (p < 0 || end - p < kHeaderSize) {
    state.Clear();
    p = -1;
  } else {
    const int64_t n = bigEndian32(data + p + 8);
    p += kHeaderSize;
    if (n < 0 || n > end - p) {
      state.Clear();
      p = -1;
    } else {
      copyInto(state, data + p, static_cast<size_t>(n));
      p += n;
    }
  }

  for (int i = 0; i < kNumNames; ++i) {
    std::string& name = names[i];
    name.clear();
    if (p >= 0 && end - p >= 4) {
      const int64_t len = littleEndian32(data + p);
      p += 4;
      if (len < 0 || len > end - p) {
        // A length that points backwards or past the end: this name and
        // every later one stay empty.
        p = -1;
      } else if (len > 0) {
        const char* text = reinterpret_cast<const char*>(data + p);
        name.assign(text, strnlen(text, static_cast<size_t>(len)));
        p += len;
      }
    } else {
      p = -1;
    }
    if (i < 3) fixWidth(name, kShortNameLimit);
  }
  return static_cast<int>(p);
}
