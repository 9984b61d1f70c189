// Arbitrary text as the system-exclusive list, then every template read
// into messages with changing bytes, counts, starts and copy numbers taken
// from the input. Nothing may crash, overflow or read out of bounds.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "uiconfig/UIConfigManager.h"
#include "uiconfig_fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  uitest::Plug plug;
  auto* g = new uitest::MemoryGraphics(&plug, 16, 16);
  plug.AttachGraphics(g);
  const std::string text((const char*)data, size);
  g->files["sysex.tea"] = uiconfig::encipherDescription(text);
  UIConfigManager ui;
  ui.readUIConfig(g, &plug, UIConfigServices(), 0, 1.0);

  auto at = [&](size_t i) { return size ? (int)(int8_t)data[i % size] : 0; };
  std::vector<std::string> templates = {text};
  for (const SysExContainer& c : ui.sysexContainers())
    for (const Values& v : c.values) templates.insert(templates.end(), v.begin(), v.end());
  int k = 0;
  for (const std::string& t : templates) {
    ControlActionSysExMessage m;
    const int chb = at(k++), count = at(k++) * 9, start = at(k++) * 3, copy = at(k++) % 3;
    ui.calculateSysexWithChangingByte(t, chb, count, &m, start == 3 ? -1 : start, copy);
    ui.calculateSysexWithChangingByte(t, chb, UIConfigManager::kMaxMessages, &m, 0x7FFFFFF0, 1);
    if (k > 4000) break;
  }
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (const std::string& folder : {std::string(TAVRIN_UICONFIG_TEST_DATA), std::string(TAVRIN_PROJECT_SOURCES)}) {
    std::ifstream in(folder + "sysex.xml", std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string odd = "<sysexlist><sysex><values><value>7FFFFFFF -80000000 0x 123456789 7F 7F 7F</value>"
                          "</values><values><multivalue><value/></multivalue></values></sysex><x/></sysexlist>";
  seeds.emplace_back(odd.begin(), odd.end());
}
