// Arbitrary text as the user-interface description: deciphered, parsed,
// its value lists read and walked into a headless window. Nothing may
// crash, read out of bounds or run away on deep or repeated layers.
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
  auto* g = new uitest::MemoryGraphics(&plug, 200, 120);
  plug.AttachGraphics(g);
  g->files["uiconfig.tea"] = uiconfig::encipherDescription(std::string_view((const char*)data, size));
  // The same bytes, not enciphered: the reader must cope with any content.
  g->files["sysex.tea"].assign(data, data + size);
  UIConfigManager ui;
  ui.readUIConfig(g, &plug, UIConfigServices(), size % 2, size % 3 ? 1.25 : 0.75);
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (const std::string& folder : {std::string(TAVRIN_UICONFIG_TEST_DATA), std::string(TAVRIN_PROJECT_SOURCES)}) {
    std::ifstream in(folder + "uiconfig.xml", std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string deep = "<uiconfig>", tail;
  for (int i = 0; i < 8; ++i) {
    deep += "<multilayer name=\"m\" create=\"64\"><layer name=\"l\" overlay=\"true\">";
    tail += "</layer></multilayer>";
  }
  deep += "<knobcontrol type=\"ccKnob\" paramId=\"kVolume+1\" biDirectLink=\"kVolume,kPanning,3\"/>" + tail +
          "<valueLists><list name=\"v\"><value>a</value></list></valueLists></uiconfig>";
  seeds.emplace_back(deep.begin(), deep.end());
}
