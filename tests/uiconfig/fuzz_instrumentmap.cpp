// Arbitrary bytes as the plain description and system-exclusive list of the
// instrument map, split at the first zero byte, and the authoring checks
// over whatever map comes out. Nothing may crash or read out of bounds.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "uiconfig/AuthoringCheck.h"
#include "uiconfig/InstrumentMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 17)) return 0;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const size_t cut = all.find('\0');
  const std::string_view ui = all.substr(0, cut), sx = cut == std::string_view::npos ? "" : all.substr(cut + 1);
  const uiconfig::InstrumentMap map = uiconfig::readInstrumentMap(ui, sx);
  uiconfig::checkAuthoring(map);
  for (const uiconfig::MapEntry& e : map.entries)
    for (int v : {e.minValue, e.maxValue, -1, 1 << 30}) uiconfig::mapMessages(e, v, 15, 127);
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  std::vector<uint8_t> both;
  for (const char* name : {"uiconfig.xml", "sysex.xml"}) {
    std::ifstream in(std::string(TAVRIN_PROJECT_SOURCES) + name, std::ios::binary);
    both.insert(both.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    both.push_back(0);
  }
  seeds.push_back(both);
  const std::string odd = std::string("<uiconfig><layer name=\"a\"><multilayer><knobcontrol type=\"seKnob\" "
                                      "sysexIndex=\"0\" changingByte=\"99\" valueBounds=\",,,,\" paramId=\"+\"/>"
                                      "</multilayer></layer></uiconfig>") +
                          '\0' + "<sysexlist><sysex><values><value>F0</value></values></sysex></sysexlist>";
  seeds.emplace_back(odd.begin(), odd.end());
}
