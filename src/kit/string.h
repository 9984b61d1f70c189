#pragma once
// A growable NUL-terminated string in a KIT_HeapBuf; its used size counts
// the terminating NUL (0 for a string never set).
#include <cstdarg>

#include "kit/heapbuf.h"

class KIT_String {
 public:
  KIT_String() : m_hb(KIT_GRAN_STRING) {}
  explicit KIT_String(const char* s) : m_hb(KIT_GRAN_STRING) { Set(s); }
  KIT_String(const KIT_String& o) : m_hb(KIT_GRAN_STRING) { Set(o.Get()); }
  KIT_String& operator=(const KIT_String& o) {
    if (this != &o) Set(o.Get());
    return *this;
  }

  const char* Get() const { return m_hb.GetSize() ? static_cast<const char*>(m_hb.Get()) : ""; }
  int GetLength() const { return m_hb.GetSize() ? m_hb.GetSize() - 1 : 0; }
  int GetUsedSize() const { return m_hb.GetSize(); }
  // Sets the text, or at most maxlen bytes of it (cut whole at a UTF-8
  // character boundary) when maxlen >= 0. Returns false when memory ran out.
  bool Set(const char* s, int maxlen = -1);
  bool Append(const char* s, int maxlen = -1);
  // Formats into at most maxlen bytes. A negative maxlen counts as 0.
  void SetFormatted(int maxlen, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  void SetFormattedV(int maxlen, const char* fmt, va_list ap);

 private:
  // Where s lies inside this string's used storage, or -1.
  long OffsetInside(const char* s) const;

  KIT_HeapBuf m_hb;
};
