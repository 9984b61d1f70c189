#pragma once
// Small text and time utilities, and tracing hooks that log nothing.
#include <cstddef>
#include <cstdint>

// The local time as "%Y%m%d %H:%M " and the offset from UTC as a sign and
// "%02d%02d". The text lives in a per-thread buffer that the next call on
// the same thread overwrites.
const char* CurrentTime();

// A stopwatch on the monotonic clock, started at construction.
class Timer {
 public:
  Timer();
  // True, restarting the watch, once more than seconds have passed.
  bool Every(double seconds);

 private:
  uint64_t mStart;
};

// "[" + the build date's first six characters without the fourth + " " +
// the build time, cut to 12 characters, + "]": "Dec  5 2024" and "14:45:19"
// give "[Dec 5 14:45]".
void CompileTimestamp(const char* date, const char* time, char* out, size_t outSize);
// text + " " + the stamp, in a per-thread buffer.
const char* AppendTimestamp(const char* date, const char* time, const char* text);

// Tab, line feed, carriage return and space.
bool IsWhitespace(char ch);
// A lower-case copy of in, cut to fit outSize bytes with its terminator.
void ToLower(char* out, const char* in, size_t outSize);

// Tracing hooks: they do nothing.
inline void Trace(const char* /*funcName*/, int /*line*/, const char* /*fmt*/, ...) {}
const char* VSTOpcodeStr(int opcode);
const char* AUSelectStr(int select);
const char* AUPropertyStr(int propID);
const char* AUScopeStr(int scope);
