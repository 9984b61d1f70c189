#include "framework/Log.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "kit/utf8.h"
#include "platform/clock.h"

const char* CurrentTime() {
  thread_local char text[64];
  const time_t t = static_cast<time_t>(platform::wallMicros() / 1000000);
  struct tm local {}, utc {};
  localtime_r(&t, &local);
  gmtime_r(&t, &utc);
  int offset = (local.tm_hour * 60 + local.tm_min) - (utc.tm_hour * 60 + utc.tm_min);
  if (local.tm_year != utc.tm_year || local.tm_yday != utc.tm_yday) {
    const bool localLater = local.tm_year > utc.tm_year || (local.tm_year == utc.tm_year && local.tm_yday > utc.tm_yday);
    offset += localLater ? 1440 : -1440;
  }
  const size_t n = std::strftime(text, sizeof text, "%Y%m%d %H:%M ", &local);
  const char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  std::snprintf(text + n, sizeof text - n, "%c%02d%02d", sign, offset / 60, offset % 60);
  return text;
}

Timer::Timer() : mStart(platform::monotonicMicros()) {}

bool Timer::Every(double seconds) {
  const uint64_t now = platform::monotonicMicros();
  if (static_cast<double>(now - mStart) > seconds * 1000000.0) {
    mStart = now;
    return true;
  }
  return false;
}

void CompileTimestamp(const char* date, const char* time, char* out, size_t outSize) {
  std::string day(date ? date : "");
  day = day.substr(0, 6);
  if (day.size() > 3) day.erase(3, 1);
  std::string stamp = "[" + day + " " + (time ? time : "");
  if (stamp.size() > 12) stamp.resize(12);
  stamp += "]";
  KIT_CopyField(out, outSize, stamp.c_str());
}

const char* AppendTimestamp(const char* date, const char* time, const char* text) {
  thread_local std::string result;
  char stamp[32];
  CompileTimestamp(date, time, stamp, sizeof stamp);
  result = std::string(text ? text : "") + " " + stamp;
  return result.c_str();
}

bool IsWhitespace(char ch) { return ch == '\t' || ch == '\n' || ch == '\r' || ch == ' '; }

void ToLower(char* out, const char* in, size_t outSize) {
  if (!out || outSize == 0) return;
  size_t i = 0;
  if (in)
    for (; in[i] && i + 1 < outSize; ++i) out[i] = (in[i] >= 'A' && in[i] <= 'Z') ? static_cast<char>(in[i] - 'A' + 'a') : in[i];
  out[i] = '\0';
}

const char* VSTOpcodeStr(int) { return ""; }
const char* AUSelectStr(int) { return ""; }
const char* AUPropertyStr(int) { return ""; }
const char* AUScopeStr(int) { return ""; }
