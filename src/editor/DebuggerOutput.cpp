#include "editor/DebuggerOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <span>
#include <utility>

#include "platform/clock.h"
#include "platform/files.h"

bool DebuggerOutput::openDebugFile(std::string path) {
  // Only a regular file switches the log on; a pipe or device of that name
  // counts as missing and is never waited for.
  const int reading = platform::openRegularFile(path, O_RDONLY);
  if (reading < 0) return false;
  ::close(reading);
  const int emptying = platform::openRegularFile(path, O_WRONLY | O_TRUNC);
  if (emptying >= 0) ::close(emptying);
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
  const std::string line = timeStamp() + "\t " + message + "\n";
  platform::appendToFile(path, std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
}

namespace {

void appendHexByte(std::string& line, unsigned byte) {
  static const char kHex[] = "0123456789ABCDEF";
  line += ' ';
  line += kHex[(byte >> 4) & 0x0F];
  line += kHex[byte & 0x0F];
}

}  // namespace

void DebuggerOutput::logSysExOutMessageByte(std::string path, const unsigned char* data, int length) {
  std::string line = "SYSEX OUT:";
  for (int i = 0; data && i < length; ++i) appendHexByte(line, data[i]);
  printDebugInfo(std::move(path), line);
}

void DebuggerOutput::logSysExOutMessageByteInt(std::string path, const std::vector<int>& data, int length) {
  std::string line = "SYSEX OUT:";
  for (size_t i = 0; i < data.size() && static_cast<long long>(i) < length; ++i)
    appendHexByte(line, static_cast<unsigned>(data[i]) & 0xFFu);
  printDebugInfo(std::move(path), line);
}
