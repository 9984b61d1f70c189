#pragma once
// Bounded text copies that never split a UTF-8 character.
#include <cstddef>

// The number of bytes of s (at most maxBytes, and never past its NUL) that
// end on a character boundary.
size_t KIT_Utf8CutLength(const char* s, size_t maxBytes);

// Copies src into a fixed field of capacity bytes (NUL included): at most
// capacity - 1 bytes, cut before a character that would not fit. A null src
// gives an empty text; a capacity of 0 writes nothing. Returns dst.
char* KIT_CopyField(char* dst, size_t capacity, const char* src);

template <size_t N>
inline char* KIT_CopyField(char (&dst)[N], const char* src) {
  return KIT_CopyField(dst, N, src);
}
