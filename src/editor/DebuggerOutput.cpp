#include "editor/DebuggerOutput.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/clock.h"

bool DebuggerOutput::openDebugFile(std::string path) {
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return false;
  std::fclose(f);
  f = std::fopen(path.c_str(), "w");
  if (f) std::fclose(f);
  return true;
}

std::string DebuggerOutput::timeStamp() {
  const time_t now = static_cast<time_t>(platform::wallMicros() / 1000000u);
  tm local{};
  localtime_r(&now, &local);
  char buf[80];
  const size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d.%X", &local);
  return std::string(buf, n);
}

void DebuggerOutput::printDebugInfo(std::string path, std::string message) {
  FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return;
  const std::string line = timeStamp() + "\t " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
}

void DebuggerOutput::logSysExOutMessageByte(std::string path, const unsigned char* data, int length) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string line = "SYSEX OUT:";
  for (int i = 0; data && i < length; ++i) {
    line += ' ';
    line += kHex[data[i] >> 4];
    line += kHex[data[i] & 0x0F];
  }
  printDebugInfo(std::move(path), line);
}
