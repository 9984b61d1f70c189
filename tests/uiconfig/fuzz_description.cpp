// Arbitrary text as the user-interface description: deciphered, parsed,
// its value lists read and walked into a headless window, every control
// factory included. Nothing may crash, read out of bounds or run away on
// deep or repeated layers.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "uiconfig/UIConfigManager.h"
#include "uiconfig_fakes.h"

namespace {

// A system-exclusive list with a template of each kind the factories meet:
// whole, short, empty, and an entry without one.
const char kSysexList[] = R"(<sysexlist><sysex><values><value>3E 16 58 41 00 00 00 00</value></values></sysex>
  <sysex><values><value>3E 16 58 41 43 00</value></values></sysex><sysex><values><value/></values></sysex>
  <sysex><values><multivalue><value>01</value></multivalue></values></sysex>
  <sysex><values><value>3E 16 58 41 53 01 7F 00 10 7F</value></values></sysex></sysexlist>)";

// One element of every control kind.
const char kEveryControl[] = R"(<uiconfig><valueLists><list name="v"><value>a</value><value>b</value></list></valueLists>
  <layer name="miniMixer"><multilayer name="m" create="2">
  <knobcontrol type="ccKnob" paramId="kVolume" ccNumber="7" channel="3" imageId="KNOB_ID127" position="1,2" valueBounds="0,0,127,1" biDirectLink="kVolume,kPanning"/>
  <slidercontrol type="ccSliderVer" paramId="kPanning" ccNumber="8" imageId="KNOB_ID127" length="30" valueBounds="0,0,127"/>
  <buttoncontrol type="ccButton" paramId="kSustainSwitch" ccNumber="64" imageId="BUTTON_SML_LED_ID" valueBounds="0,0,127"/>
  <menucontrol type="ccMenu" paramId="kFilterType" position="1,2,30" valueBounds="0,0,2" valueList="v" ccNumber="9"/>
  <knobcontrol type="msbLsbKnob" paramId="kArpTempo" ccNumber="6" msbValue="1" lsbControl="2" valueBounds="0,0,127"/>
  <buttoncontrol type="msbLsbButton" paramId="kArpOnOff" ccNumber="6" msbValue="1" lsbControl="3" valueBounds="0,0,1"/>
  <menucontrol type="msbLsbMenu" paramId="kArpRange" ccNumber="6" msbValue="1" lsbControl="4" valueBounds="0,0,3" valueDisplay="1:3"/>
  <buttoncontrol type="seButton" paramId="kGlobalMidiThru" sysexIndex="0" changingByte="7"/>
  <knobcontrol type="seKnob" paramId="kGlobalMasterTune" valueBounds="64,-1,127" sysexIndex="4" changingByte="8"/>
  <knobcontrol type="seKnob2" paramId="kGlobalVolume" valueBounds="0,0,127" sysexIndex="1" changingByte="6"/>
  <slidercontrol type="seSliderHor" paramId="kGlobalTranspose" valueBounds="24,0,48" msgZeroVal="100" sysexIndex="0" changingByte="7"/>
  <menucontrol type="seMenu" paramId="kGlobalVelCurv" valueBounds="0,0,2" valueList="v" sysexIndex="2" changingByte="7"/>
  </multilayer></layer>
  <switch paramId="kShowLibrarian" valueBounds="1"/><autooff paramId="kPatchUp"/><radio paramId="kMainTab" buttons="4"/>
  <display paramId="kControlDisplayName" bounds="1,2,3,4" displaySize="2"/>
  <dropMenu type="textSelection" paramId="kBankSelection" bounds="1,2,3,4"/>
  <dropMenu type="deviceSelection" paramId="kDeviceOutSelection" bounds="1,2,3,4" inputDev="0"/>
  <dropMenu type="nameSelection" paramId="kPatchName" bounds="1,2,3,4" nameLen="13"/>
  <dropMenu type="dropSelection" paramId="kUserInterfaceSize" bounds="1,2,3,4" valueBounds="0,0,2" valueList="v"/>
  <multiFx type="Knob" paramId="kCurrentPatch" valueBounds="0,0,99,1"/><multiFx type="Switch" paramId="kArpSyncIndicator"/>
  <multiFx type="Menu" paramId="kCurrentBank" position="1,2,3,4" valueBounds="0,0,5" valueDisplay="1:5" visible="1"/></uiconfig>)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  uitest::Plug plug;
  auto* g = new uitest::MemoryGraphics(&plug, 200, 120);
  plug.AttachGraphics(g);
  g->files["uiconfig.tea"] = uiconfig::encipherDescription(std::string_view((const char*)data, size));
  // Odd sizes: the same bytes, not enciphered, as the system-exclusive list
  // (the reader must cope with any content); even sizes: a list whose
  // templates the factories use.
  if (size % 2)
    g->files["sysex.tea"].assign(data, data + size);
  else
    g->files["sysex.tea"] = uiconfig::encipherDescription(kSysexList);
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
  const std::string every = kEveryControl;
  seeds.emplace_back(every.begin(), every.end());
}
