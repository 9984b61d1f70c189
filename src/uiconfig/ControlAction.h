#pragma once
// Plain records of the UI configuration: how a parameter's value goes out to
// the instrument (ControlAction with its precomputed system-exclusive
// messages), the entries of the system-exclusive list, and the link data of
// a "biDirectLink" attribute.
//
// Built once while the window is made, on the constructing thread; read
// afterwards by the editor under the plug-in's mutex. No locks of their own.
#include <string>
#include <vector>

class IControl;
class ControlLayer;

// A message: one int per byte, in wire order.
typedef std::vector<int> SysexMessageInts;

// One list of strings of the system-exclusive list, in document order.
typedef std::vector<std::string> Values;

// One "sysex" entry of the system-exclusive list.
struct SysExContainer {
  std::vector<Values> values;                   // one per "values" with "value" children
  std::vector<std::vector<Values>> multiValues;  // one group per "values" without
  bool multiValue = false;                       // set once a group was read
};

// The messages a system-exclusive control sends: messages[v] for the value
// v, or, with multiMessage set, every message of messageLists[v].
struct ControlActionSysExMessage {
  bool multiMessage = false;
  std::vector<SysexMessageInts> messages;
  std::vector<std::vector<SysexMessageInts>> messageLists;
};

// Three ints from "biDirectLink": the first and the second linked parameter
// index and a value, each -1 when absent.
struct LinkInfo {
  int first = -1, second = -1, value = -1;
};

// How a bound parameter's value travels to the instrument. Types: 0 none,
// 1 CC value, 2 CC on/off, 3 NRPN, 4 nothing, 5 system-exclusive on/off,
// 6 system-exclusive value. channel and mixerFlag are look-up keys for
// incoming changes only.
class ControlAction {
 public:
  double lastValue = -1.0;
  int part = -1;
  int type = 0;
  int ccNumber = -1;
  int msbValue = -1;
  int lsbValue = -1;
  int lsbControl = -1;
  int channel = -1;
  int mixerFlag = -1;
  std::vector<IControl*> controls;  // every control bound to the parameter, in creation order
  LinkInfo link;
  ControlLayer* layerGroup = nullptr;
  ControlActionSysExMessage sysExMessage;
  int minValue = -1;
  int maxValue = -1;
};
