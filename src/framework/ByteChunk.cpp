#include "framework/ByteChunk.h"

#include <cstring>

#include "kit/string.h"
#include "kit/utf8.h"

namespace {

// True when [pos, pos + width) lies inside a chunk of size bytes.
bool fits(int pos, int64_t width, int size) {
  return pos >= 0 && width >= 0 && static_cast<int64_t>(pos) + width <= size;
}

}  // namespace

int ByteChunk::Put(const void* data, int size) {
  const int n = Size();
  if (size <= 0) return n;
  if (!data || static_cast<int64_t>(n) + size > INT32_MAX) return 0;
  uint8_t* p = static_cast<uint8_t*>(mBytes.Resize(n + size, false));
  if (mBytes.GetSize() != n + size) return 0;
  std::memcpy(p + n, data, static_cast<size_t>(size));
  return n + size;
}

int ByteChunk::PutStr(const char* s) {
  if (!s) s = "";
  const size_t len = std::strlen(s);
  if (len > static_cast<size_t>(INT32_MAX) - 4 - Size()) return 0;
  const int n = Size();
  const int32_t L = static_cast<int32_t>(len);
  if (!PutInt(L)) return 0;
  if (L == 0) return Size();
  if (!Put(s, L)) {
    mBytes.Resize(n, false);  // no half-written record
    return 0;
  }
  return Size();
}

int ByteChunk::PutChunk(const ByteChunk* other) {
  if (!other) return Size();
  if (other == this) {
    // Appending to itself: copy first, the buffer may move.
    const int n = Size();
    if (n == 0) return 0;
    if (Resize(2 * n) != 2 * n) return 0;
    std::memcpy(GetBytes() + n, GetBytes(), static_cast<size_t>(n));
    return Size();
  }
  if (other->Size() == 0) return Size();
  return Put(other->GetBytes(), other->Size());
}

int ByteChunk::Get(void* out, int size, int pos) const {
  if (!fits(pos, size, Size())) return -1;
  if (size > 0) std::memcpy(out, GetBytes() + pos, static_cast<size_t>(size));
  return pos + size;
}

int ByteChunk::GetBool(bool* v, int pos) const {
  uint8_t b = 0;
  pos = Get(&b, 1, pos);
  if (pos >= 0) *v = b != 0;
  return pos;
}

int ByteChunk::GetStr(std::string* s, int pos) const {
  int32_t L = 0;
  pos = GetInt(&L, pos);
  if (pos < 0 || L < 0 || !fits(pos, L, Size())) return -1;
  if (L == 0) return pos;
  const char* p = reinterpret_cast<const char*>(GetBytes() + pos);
  s->assign(p, strnlen(p, static_cast<size_t>(L)));
  return pos + L;
}

int ByteChunk::GetStr(KIT_String* s, int pos) const {
  std::string t;
  const int before = pos;
  pos = GetStr(&t, pos);
  if (pos >= 0 && pos - before > 4) s->Set(t.c_str());
  return pos;
}

int ByteChunk::Resize(int newSize) {
  if (newSize < 0) return Size();
  const int n = Size();
  uint8_t* p = static_cast<uint8_t*>(mBytes.Resize(newSize, false));
  if (mBytes.GetSize() != newSize) return n;
  if (newSize > n) std::memset(p + n, 0, static_cast<size_t>(newSize - n));
  return newSize;
}

bool ByteChunk::IsEqual(const ByteChunk* other) const {
  if (!other || other->Size() != Size()) return false;
  return Size() == 0 || std::memcmp(GetBytes(), other->GetBytes(), static_cast<size_t>(Size())) == 0;
}

IPreset::IPreset() { SetName("empty"); }

void IPreset::SetName(const char* name) { KIT_CopyField(mName, name); }
