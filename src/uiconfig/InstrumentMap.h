#pragma once
// The instrument map: what the plain window description and system-exclusive
// list say about every parameter that a control binds to a message (its CC
// and coding, its NRPN numbers or its system-exclusive address, its range
// and its list), with the description's layers, elements and value lists as
// read. A pure function of the two texts: nothing is built, loaded or
// logged, and any thread may call it.
//
// Both texts are outside input: they are read from byte spans, every number
// and index is checked, and a text that does not parse gives a map with
// ok false and the parser's error.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace uiconfig {

// One element of the description, with the attributes the factories read.
struct MapElement {
  std::string tag, type, name, paramId, img, grp, list, valueDisplay;
  // "label" and "labelAt": the text shown beside the control and its side
  // ("right", "left", "above", "below"; empty for the default side);
  // hasCaption tells an empty "label" (no text) from an absent one (the
  // name is shown).
  std::string caption, captionAt;
  bool hasCaption = false;
  int param = -1;        // the resolved "paramId", -1 when absent or unknown
  bool paramKnown = true;  // false when "paramId" names no parameter
  int line = 0;          // line of the element in the description
  int layer = -1;        // index of the enclosing layer in MapLayers, -1 at the top
  std::vector<int> position, bounds, valueBounds;
  int cc = -1, msb = -1, lsb = -1, lsbControl = -1, sysexIndex = -1, changingByte = -1, zero = 0;
  int nameLen = 0, buttons = 0, displaySize = 0, length = 0;
  int visible = 0;       // "multiFx" menus: 1 shows the text, else it is drawn clear
  bool inCopy = false;   // below a "multilayer"
  // "knobcontrol kFilterCutoff (line 12)": how checks name the element.
  std::string label() const;
};

// A framed group of controls drawn into the background below it: its
// title and rectangle at scale 1.
struct MapPanel {
  std::string title;
  std::vector<int> bounds;
  int layer = -1;   // index of the enclosing layer, -1 at the top
  int line = 0;
  int order = 0;    // the number of elements before it in the document
  // "panel "OSC 1" (line 40)": how checks name the panel.
  std::string label() const;
};

struct MapLayer {
  std::string name;
  int id = 0, parent = -1, line = 0;
  bool copies = false;  // a "multilayer"
};

enum class Coding {
  kCC,         // a control change carrying the value (plus the parameter's offset)
  kCCSwitch,   // a control change carrying offValue or onValue
  kNRPN,       // CC 99 msb, CC 98 lsbControl, CC cc with value + lsb
  kSysEx,      // the address's message with the value at the changing byte
};

// One bound control: how its parameter's values go out.
struct MapEntry {
  int param = -1;
  int element = -1;  // index in InstrumentMap::elements
  Coding coding = Coding::kCC;
  int cc = -1, msb = -1, lsb = 0, lsbControl = -1;
  int minValue = 0, maxValue = 0;  // the parameter's plain range
  int offValue = 0, onValue = 1;   // switches
  std::string list;                // value list, empty for none
  std::vector<int> templ;          // system-exclusive template, unframed
  int changingByte = -1;
  // The parameter whose value the control change carries when it is not
  // the entry's own (the LFO 1 shape carries the clocked shape's value),
  // with that parameter's range; else -1.
  int carrier = -1, carrierMin = 0, carrierMax = 0;
};

struct InstrumentMap {
  bool ok = false;
  std::string error;  // why a text did not parse
  std::vector<MapElement> elements;
  std::vector<MapLayer> layers;
  std::vector<MapPanel> panels;
  std::map<std::string, std::vector<std::string>> lists;
  std::vector<std::string> templates;  // first value of each system-exclusive entry
  std::vector<MapEntry> entries;       // bound controls in document order

  // The entries of a parameter.
  std::vector<const MapEntry*> entriesOf(int param) const;
};

InstrumentMap readInstrumentMap(std::string_view description, std::string_view sysexList);

// The parameter index of a name of the parameter table, or -1.
int parameterIndex(std::string_view name);

// The data byte of a control change for a plain value: the semitones add
// 16, the arpeggiator clock adds 1 (at most 127), swing and delay send the
// value divided by 1.27 plus 14.
int ccData(int param, int value);

// The bytes the map says one value sends on the channel (0-15) with the
// device ID: three or one control changes (3 bytes each) or one framed
// system-exclusive message (F0 ... F7).
std::vector<std::vector<uint8_t>> mapMessages(const MapEntry& entry, int value, int channel, int deviceId);

}  // namespace uiconfig
