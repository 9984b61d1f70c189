#include "kit/utf8.h"

#include <cstring>

size_t KIT_Utf8CutLength(const char* s, size_t maxBytes) {
  if (!s) return 0;
  size_t n = strnlen(s, maxBytes);
  if (n < maxBytes || s[n] == '\0') return n;
  // Cut inside the text: step back over continuation bytes to the lead byte
  // of the last character, and keep that character only if it is complete.
  size_t lead = n;
  while (lead > 0 && (static_cast<unsigned char>(s[lead]) & 0xC0) == 0x80) --lead;
  // s[n] is the first byte that does not fit. If it is a continuation byte
  // the character starting at 'lead' is cut, so drop it.
  if ((static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) return lead;
  return n;
}

char* KIT_CopyField(char* dst, size_t capacity, const char* src) {
  if (!dst || capacity == 0) return dst;
  const size_t n = KIT_Utf8CutLength(src, capacity - 1);
  if (n) std::memcpy(dst, src, n);
  dst[n] = '\0';
  return dst;
}
