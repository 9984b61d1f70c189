#pragma once
// The optional debug log: one time-stamped line per event, written only when
// the user has put the log file into the data folder before the start.
#include <string>
#include <vector>

class DebuggerOutput {
 public:
  // True when the file exists as a regular file and can be read; it is then
  // emptied. A missing file is not created; a pipe, device or folder of that
  // name counts as missing and is not waited for.
  static bool openDebugFile(std::string path);
  // Appends "<local time>\t <message>\n", opening and closing the file on
  // every call. Callers test the enabled flag first: this creates a missing
  // file. Only a regular file is written, without waiting; failures are
  // silent.
  static void printDebugInfo(std::string path, std::string message);
  // Appends one line "SYSEX OUT: " followed by the bytes of a sent message
  // as two-digit upper-case hexadecimal values separated by blanks.
  static void logSysExOutMessageByte(std::string path, const unsigned char* data, int length);
  // The same line for a message given as ints, of which the first length
  // (at most all of them) are written as the low 8 bits that go out.
  static void logSysExOutMessageByteInt(std::string path, const std::vector<int>& data, int length);
  // The time stamp of a line, "%Y-%m-%d.%X" in local time, at most 79 bytes.
  static std::string timeStamp();
};

// The debug log file's name inside the data folder.
inline constexpr const char* kDebugLogFileName = "Tavrin Editor LOG.txt";
