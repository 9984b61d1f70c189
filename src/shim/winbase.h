#pragma once
// Time, rectangles, arithmetic, movable global memory and bounded strings.
#include "shim/wintypes.h"

// Suspends the calling thread for ms milliseconds; 0 or less sleeps 100 µs.
void Sleep(int ms);
// Wall-clock milliseconds (seconds * 1000 + microseconds / 1000 of the time
// of day) as a 32-bit count that wraps: compare only by unsigned difference.
DWORD GetTickCount();
// Creation (status change), access and modification times of a descriptor.
BOOL GetFileTime(int fd, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
// Seconds since 1970 as a FILETIME.
FILETIME SHIM_UnixSecondsToFileTime(int64_t seconds);

BOOL WinSetRect(RECT* r, int l, int t, int rt, int b);
BOOL WinOffsetRect(RECT* r, int dx, int dy);
BOOL WinIntersectRect(RECT* dst, const RECT* a, const RECT* b);
BOOL WinUnionRect(RECT* dst, const RECT* a, const RECT* b);
BOOL SHIM_PtInRect(const RECT* r, POINT p);

// (b * a) / c truncated toward zero, in double; 0 when c is 0 and -1 when
// the result does not fit an int.
int MulDiv(int a, int b, int c);

// Rounding-control field of the x87 control word (mask 0x300).
unsigned int _controlfp(unsigned int value, unsigned int mask);

// Movable memory. A handle is looked up before it is read: a freed or
// foreign one gives null, 0 or FALSE and changes nothing; freeing it again
// does nothing.
HGLOBAL GlobalAlloc(int flags, int size);
void* GlobalLock(HGLOBAL h);
BOOL GlobalUnlock(HGLOBAL h);
int GlobalSize(HGLOBAL h);
HGLOBAL GlobalFree(HGLOBAL h);

// Copies at most n - 1 characters and always ends with a NUL; n < 1 or a
// null source leaves dst untouched.
char* lstrcpyn(char* dst, const char* src, int n);
