#pragma once
// Win32-style value types of the emulation layer.
#include <cstdint>

typedef int BOOL;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint32_t COLORREF;  // 0x00RRGGBB in this layer (not the Win32 order)

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct RECT {
  int left;
  int top;
  int right;
  int bottom;
};

struct POINT {
  int x;
  int y;
};

// 100-nanosecond intervals since 1 January 1601 UTC, in two 32-bit halves.
struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};

typedef void* HGLOBAL;
