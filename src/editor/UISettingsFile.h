#pragma once
// The UI settings file in the data folder: up to five text lines, the colour
// theme, the window size word and the first-run flag, and two lines kept as
// they are. The plug-in reads it once at start and rewrites it whole when the
// user changes the size or dismisses the first-run notice.
//
// Every function opens the file only as a regular file and never waits: a
// pipe, device or folder put under the file's name counts as missing, so a
// reader that never comes cannot stall the thread that asked. Plain static
// functions without shared state; any thread may call them.
#include <array>
#include <cstdint>
#include <span>
#include <string>

class UISettingsFile {
 public:
  static constexpr int kLines = 5;
  using Lines = std::array<std::string, kLines>;

  // What the file says: its lines, and the scale and theme they give.
  struct Contents {
    Lines lines;
    double scale = 1.0;  // line 2: "small" 0.75, "large" 1.25, else 1.0
    int theme = 0;       // line 1: "black" 1, else 0
    bool opened = false;
  };

  // Up to five lines of bytes; trailing blanks, tabs and line ends are cut.
  // The scale and theme follow lines 2 and 1 (exact, case-sensitive words).
  static Contents parse(std::span<const uint8_t> bytes);
  // The file at path parsed; the defaults, not opened, when it is missing or
  // no regular file. Only its start is read: five lines need no more.
  static Contents read(const std::string& path);
  // Whether path names a regular file that can be opened for reading.
  static bool exists(const std::string& path);
  // Replaces the file with the lines joined by "\n", no line end after the
  // fifth. False leaves the file as it was; a pipe or other non-regular
  // file of that name is never written.
  static bool write(const std::string& path, const Lines& lines);
};
