// Arbitrary bytes as the UI settings file: read from memory and (every
// eighth input) from a file, both give the same five lines, none longer than the input and none ending
// in a blank; the scale and theme are one of their few values.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/UISettingsFile.h"
#include "testsupport.h"

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (const char* text : {"black\r\nlarge\r\nno\r\n", "normal\nsmall\nyes\nkept\nkept", "\n\n\n\n\n\n",
                           "normal\nlarge", " \t\r\n\tsmall \n"}) {
    const std::string s = text;
    seeds.emplace_back(s.begin(), s.end());
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static testsupport::TempDir dir;
  static const std::string path = dir.path() + "settings.txt";
  const UISettingsFile::Contents s = UISettingsFile::parse({data, size});
  // The file round trip on every eighth input keeps the run short.
  if (size % 8 == 0) {
    if (!testsupport::writeFile(path, std::vector<uint8_t>(data, data + size))) std::abort();
    const UISettingsFile::Contents f = UISettingsFile::read(path);
    if (f.lines != s.lines || f.scale != s.scale || f.theme != s.theme) std::abort();
  }
  if (s.scale != 0.75 && s.scale != 1.0 && s.scale != 1.25) std::abort();
  if (s.theme != 0 && s.theme != 1) std::abort();
  for (const std::string& line : s.lines) {
    if (line.size() > size) std::abort();
    if (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) std::abort();
    if (line.find('\n') != std::string::npos) std::abort();
  }
  return 0;
}
