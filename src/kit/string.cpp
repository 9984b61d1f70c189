#include "kit/string.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "kit/utf8.h"

long KIT_String::OffsetInside(const char* s) const {
  const auto a = reinterpret_cast<uintptr_t>(s);
  const auto base = reinterpret_cast<uintptr_t>(m_hb.Get());
  return (base && a >= base && a < base + static_cast<uintptr_t>(m_hb.GetSize())) ? static_cast<long>(a - base) : -1;
}

bool KIT_String::Set(const char* s, int maxlen) {
  if (!s) s = "";
  const size_t n = maxlen >= 0 ? KIT_Utf8CutLength(s, static_cast<size_t>(maxlen)) : std::strlen(s);
  if (n >= static_cast<size_t>(INT32_MAX)) return false;
  if (OffsetInside(s) >= 0) {
    // Part of this very string: bring it to the front before the storage
    // may move, then cut the size.
    char* p = static_cast<char*>(m_hb.Get());
    std::memmove(p, s, n);
    p[n] = '\0';
    m_hb.Resize(static_cast<int>(n) + 1, true);
    return true;
  }
  char* p = static_cast<char*>(m_hb.Resize(static_cast<int>(n) + 1, true));
  if (m_hb.GetSize() != static_cast<int>(n) + 1) return false;
  std::memcpy(p, s, n);
  p[n] = '\0';
  return true;
}

bool KIT_String::Append(const char* s, int maxlen) {
  if (!s) return true;
  const int old = GetLength();
  const size_t n = maxlen >= 0 ? KIT_Utf8CutLength(s, static_cast<size_t>(maxlen)) : std::strlen(s);
  if (n + old + 1 >= static_cast<size_t>(INT32_MAX)) return false;
  const int want = old + static_cast<int>(n) + 1;
  const long inside = OffsetInside(s);  // the storage may move under s
  char* p = static_cast<char*>(m_hb.Resize(want, false));
  if (m_hb.GetSize() != want) return false;
  std::memcpy(p + old, inside >= 0 ? p + inside : s, n);
  p[old + n] = '\0';
  return true;
}

void KIT_String::SetFormatted(int maxlen, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  SetFormattedV(maxlen, fmt, ap);
  va_end(ap);
}

void KIT_String::SetFormattedV(int maxlen, const char* fmt, va_list ap) {
  if (maxlen < 0) maxlen = 0;
  if (maxlen == INT32_MAX) --maxlen;
  // Formats into a fresh buffer that is then swapped in: an argument may
  // point into this string's own text, which must stay where it is, unchanged,
  // until formatting is done. The storage never shrinks.
  const int want = m_hb.GetAlloc() > maxlen + 1 ? m_hb.GetAlloc() : maxlen + 1;
  KIT_HeapBuf out(m_hb.GetGranularity(), m_hb.GetMinAlloc());
  char* p = static_cast<char*>(out.Resize(want, false));
  if (out.GetSize() != want) return;
  const int len = vsnprintf(p, static_cast<size_t>(maxlen) + 1, fmt, ap);
  if (len < 0) {
    p[0] = '\0';
    out.Resize(0, false);
  } else {
    out.Resize((len < maxlen ? len : maxlen) + 1, false);
  }
  m_hb = std::move(out);
}
