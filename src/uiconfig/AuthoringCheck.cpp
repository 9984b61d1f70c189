// The authoring checks of the window.
#include "uiconfig/AuthoringCheck.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "hardware/ParameterList.h"
#include "uiconfig/ImageSizes.h"
#include "uiconfig/ImageTable.h"

namespace uiconfig {

namespace {

constexpr int kWindowW = 1500, kWindowH = 757;
constexpr size_t kMaxGroupLabel = 54;
constexpr double kScales[] = {0.75, 1.0, 1.25};

// Layers that the editor looks up by name: the pages and overlays it
// switches, the panels it shows by shape and clock, the step columns.
std::vector<std::string> requiredLayers() {
  std::vector<std::string> names = {
      "root", "blankPage", "patchLibrarian", "soundPage", "modArpPage", "miniMixer", "releaseAllLocksLayer",
      "multiModeMixer", "parameterRanges", "patchRename", "midiFilterSettings", "aboutWindow",
      "firstRunNotification", "arpTempoKnob", "arpTempoClock", "lfo1ClockedLayer", "saveChangesLayer",
      "discardChangesLayerRight", "categoryLimit", "searchField", "osc1KeytrackBtn", "osc1UnisonKnob",
      "osc1AmpEnvFade", "osc2KeytrackBtn", "osc2AmpEnvFade", "oscillator2Parameters", "oscillator3Parameters",
      "arpeggiator", "arpSteps"};
  for (int n = 1; n <= 16; ++n) {
    char step[16];
    std::snprintf(step, sizeof step, "%02d", n);
    names.push_back(std::string("arpStep") + step);
    if (n >= 2) names.push_back(std::string("pattStepOverlayer") + step);
  }
  return names;
}

// The top level in order, and the ids the tab switch and panels rely on.
std::vector<std::string> topLevel() {
  std::vector<std::string> names = {"root", "miniMixer", "releaseAllLocksLayer", "multiModeMixer",
                                    "parameterRanges"};
  for (int n = 2; n <= 16; ++n) names.push_back("pattStepOverlayer" + std::string(n < 10 ? "0" : "") +
                                                std::to_string(n));
  for (const char* n : {"patchRename", "midiFilterSettings", "aboutWindow", "firstRunNotification"})
    names.push_back(n);
  return names;
}

const std::map<std::string, int>& layerIds() {
  static const std::map<std::string, int> ids = {
      {"blankPage", 0}, {"patchLibrarian", 1}, {"soundPage", 2}, {"modArpPage", 3}, {"categoryLimit", 2},
      {"searchField", 3}, {"saveChangesLayer", 4}, {"discardChangesLayerRight", 5},
      {"oscillator2Parameters", 1}, {"oscillator3Parameters", 2}, {"osc1KeytrackBtn", 3}, {"osc1UnisonKnob", 4},
      {"osc1AmpEnvFade", 5}, {"osc2KeytrackBtn", 6}, {"osc2AmpEnvFade", 7}, {"lfo1ClockedLayer", 8},
      {"arpTempoKnob", 1}, {"arpTempoClock", 2}, {"arpeggiator", 0}, {"arpSteps", 0}};
  return ids;
}

const std::set<std::string>& mixerLayers() {
  static const std::set<std::string> names = {
      "miniMixer", "multiModeMixer", "miniMixer2", "multiModeMixer2", "multiModeSettingsPage1",
      "additionalSettingsPart1", "additionalSettingsPart2", "additionalSettingsPart3", "additionalSettingsPart4",
      "additionalSettingsPart5", "additionalSettingsPart6", "additionalSettingsPart7", "additionalSettingsPart8"};
  return names;
}

// The lists the editor reads by name, with the parameter whose values they
// name (the clocked LFO timing names every fourth value of the speed).
struct ListUse {
  const char* list;
  int param, divisor;
};
constexpr ListUse kListUses[] = {
    {"osc1Shape", kOscillator1Shape, 1}, {"osc2Shape", kOscillator2Shape, 1}, {"osc3Shape", kOscillator3Shape, 1},
    {"lfo1Shape", kLFO1Shape, 1}, {"loopingModes", kEnvelope1Loop, 1}, {"triggerModes", kEnvelope1Trigger, 1},
    {"osc3Routing", kOscillator3Routing, 1}, {"filterType", kFilterType, 1}, {"glideMode", kPortamentoMode, 1},
    {"arpActiveMode", kArpOnOff, 1}, {"arpOctaveRange", kArpRange, 1}, {"arpTempoValues", kArpTempo, 1},
    {"tempoValues", kArpTempo, 1}, {"arpClock", kArpClock, 1}, {"arpModeList", kArpMode, 1},
    {"vcaDriveCurve", kVolumeDriveCurve, 1}, {"modulationSources", kModUnit1Source, 1},
    {"modulationDestinations", kModUnit1Destination, 1}, {"stepDuration", kStepDuration, 1},
    {"omniToSixteen", kGlobalMidiChannel, 1}, {"patternEventType", kPatternStep01Event, 1},
    {"midiClockSource", kGlobalClock, 1}, {"lfoClockTiming", kLFO1Speed, 4}};

// Ranges that other parts of the editor set or read: parameter, lowest
// maximum, highest maximum.
struct RangeRule {
  int first, last, maxLow, maxHigh;
};
constexpr RangeRule kRanges[] = {
    {0, 2, 96, 96}, {6, 6, 9, 9}, {7, 8, 4, 4}, {29, 29, 4, 4}, {39, 39, 3, 3}, {45, 45, 3, 3}, {58, 58, 3, 3},
    {56, 56, 6, 6}, {240, 240, 9, 9}, {89, 89, 15, 15}, {55, 55, 1, 126}, {238, 238, 99, 99}, {289, 289, 4, 4},
    {239, 239, 20, 20}, {302, 302, 3, 3}, {93, 93, 16, 16}, {219, 219, 48, 48}, {216, 216, 20, 20},
    {218, 218, 126, 126}, {87, 88, 127, 127}, {54, 54, 127, 127}, {103, 118, 127, 127}, {95, 95, 4, 4},
    {96, 96, 99, 99}};

// Controls the editor keeps by parameter: each needs an element that gives
// its parameter a record.
constexpr int kRemembered[] = {272, 268, 297, 298, 273, 274, 182, 281, 282, 283, 97, 247, 292, 280, 286};

bool isBound(const std::string& type) {
  return type.rfind("cc", 0) == 0 || type.rfind("msbLsb", 0) == 0 || type.rfind("se", 0) == 0;
}

std::set<int> allowedCCs() {
  std::set<int> ccs = {70, 36, 42, 34, 38, 44, 25, 104, 105, 122, 1, 2, 7, 64};
  for (auto [a, b] : {std::pair{3, 5}, {8, 31}, {33, 37}, {39, 63}, {65, 97}, {102, 119}})
    for (int n = a; n <= b; ++n) ccs.insert(n);
  return ccs;
}

std::string paramName(int p) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n(307);
#define TAVRIN_NAME_SLOT(name, i) \
  if (n[i].empty()) n[i] = #name;
    TAVRIN_PARAMETER_LIST(TAVRIN_NAME_SLOT)
#undef TAVRIN_NAME_SLOT
    return n;
  }();
  if (p >= 0 && static_cast<size_t>(p) < names.size() && !names[static_cast<size_t>(p)].empty())
    return names[static_cast<size_t>(p)];
  return "parameter " + std::to_string(p);
}

class Checks {
 public:
  explicit Checks(const InstrumentMap& map) : m(map) {}
  std::vector<Violation> out;

  void binding() {
    std::vector<int> sound;
    for (int p = 0; p <= 90; ++p) sound.push_back(p);
    sound.push_back(kArpPattern);
    for (int p : sound) {
      int bound = 0;
      for (const MapElement& e : m.elements) {
        if (e.param != p || e.tag == "background") continue;
        if (isBound(e.type) && ++bound > 1) add("duplicate-binding", e.label());
        if (!isBound(e.type)) add("unbound-element", e.label());
      }
      if (bound == 0) add("unbound-sound-parameter", paramName(p));
    }
    for (int p : kRemembered) {
      bool record = false;
      for (const MapElement& e : m.elements) record |= e.param == p && e.tag != "multiFx" && e.tag != "background";
      if (!record) add("no-record", paramName(p));
    }
    for (int p = kMIDIFilterDAWCCPassThrough; p <= kSendMIDIClockInfo; ++p) {
      bool record = false;
      for (const MapElement& e : m.elements) record |= e.param == p && e.tag != "multiFx";
      if (!record) add("no-record", paramName(p));
    }
    for (const RangeRule& r : kRanges)
      for (int p = r.first; p <= r.last; ++p) {
        bool seen = false;
        for (const MapElement& e : m.elements) {
          int lo = 0, hi = 0;
          if (e.param != p || !range(e, lo, hi)) continue;
          seen = true;
          if (lo != 0 || hi < r.maxLow || hi > r.maxHigh) add("range", e.label());
        }
        if (!seen) add("range", paramName(p));
      }
    std::set<int> placed;
    for (const MapElement& e : m.elements) {
      if (!e.paramId.empty() && (!e.paramKnown || e.param < 0 || e.param > 305 || paramName(e.param)[0] != 'k'))
        add("unknown-parameter", e.label());
      if (e.param >= 0) placed.insert(e.param);
      if (e.tag == "patchBrowser") placed.insert(kLibrarianArea);
      const std::string missing = missingAttribute(e);
      if (!missing.empty()) add("missing-attribute", e.label() + " " + missing);
      if (!e.img.empty() && !imageKnown(e.img)) add("unknown-image", e.label());
    }
    for (const Exemption& x : exemptParameters()) placed.insert(x.param);
    for (int p = 0; p <= 305; ++p)
      if (!placed.count(p) && paramName(p)[0] == 'k') add("unplaced-parameter", paramName(p));
  }

  void structure() {
    std::map<std::string, int> count;
    for (const MapLayer& l : m.layers) ++count[l.name];
    for (const std::string& n : requiredLayers()) {
      if (count[n] == 0) add("missing-layer", n);
      if (count[n] > 1) add("duplicate-layer", n);
    }
    std::vector<std::string> top;
    for (const MapLayer& l : m.layers)
      if (l.parent < 0) top.push_back(l.name);
    if (top != topLevel()) add("layer-order", "top level");
    for (const MapLayer& l : m.layers) {
      auto it = layerIds().find(l.name);
      const bool step = l.name.rfind("arpStep", 0) == 0 && l.name.size() == 9;
      const int want = it != layerIds().end() ? it->second : step ? 199 + std::atoi(l.name.c_str() + 7) : 0;
      if (l.id != want) add("layer-id", l.name);
    }
    for (const MapElement& e : m.elements) {
      if (!isBound(e.type)) continue;
      bool mixer = e.inCopy;
      for (int l = e.layer; l >= 0 && l < static_cast<int>(m.layers.size()); l = m.layers[l].parent)
        mixer |= mixerLayers().count(m.layers[l].name) > 0;
      if (mixer) add("mixer-binding", e.label());
    }
  }

  void lists() {
    for (const ListUse& u : kListUses) {
      auto it = m.lists.find(u.list);
      if (it == m.lists.end()) {
        add("missing-list", u.list);
        continue;
      }
      int hi = -1, lo = 0;
      for (const MapElement& e : m.elements)
        if (e.param == u.param) range(e, lo, hi);
      if (hi < 0 || static_cast<int>(it->second.size()) != (hi + 1) / u.divisor) add("list-count", u.list);
    }
    for (const MapElement& e : m.elements) {
      if (e.list.empty()) continue;
      auto it = m.lists.find(e.list);
      int lo = 0, hi = -1;
      range(e, lo, hi);
      if (it == m.lists.end() || static_cast<int>(it->second.size()) != hi - lo + 1) add("list-count", e.label());
    }
    for (const auto& [name, entries] : m.lists)
      for (const std::string& s : entries) {
        bool upper = !s.empty() && s.size() <= 16 && s.front() != ' ' && s.back() != ' ';
        for (char c : s) upper &= !(c >= 'a' && c <= 'z');
        if (!upper) add("list-entry", name + ": " + s);
      }
    auto a = m.lists.find("tempoValues"), b = m.lists.find("arpTempoValues");
    if (a == m.lists.end() || b == m.lists.end() || a->second != b->second || a->second.empty() ||
        std::atoi(a->second.front().c_str()) < 2)
      add("tempo-list", "tempoValues");
  }

  void bytes() {
    const std::set<int> ccs = allowedCCs();
    std::map<int, int> ccUsed;
    std::map<std::pair<int, int>, int> nrpnUsed;
    for (const MapEntry& en : m.entries) {
      const MapElement& e = m.elements[static_cast<size_t>(en.element)];
      if (en.minValue != 0) add("minimum", e.label());
      const int lo = en.carrier >= 0 ? en.carrierMin : en.minValue, hi = en.carrier >= 0 ? en.carrierMax : en.maxValue;
      for (int v : {lo, hi})
        for (const std::vector<uint8_t>& msg : mapMessages(en, v, 0, 0))
          for (size_t i = 0; i < msg.size(); ++i) {
            const bool status = i == 0 || (msg[0] == 0xF0 && i + 1 == msg.size());
            if (!status && msg[i] > 0x7F) {
              add("byte-range", e.label());
              break;
            }
          }
      if (en.coding == Coding::kCC && en.carrier < 0 && (ccData(en.param, hi) > 127 || ccData(en.param, lo) < 0))
        add("byte-range", e.label());
      if ((en.coding == Coding::kSysEx && hi > 127) ||
          (en.coding == Coding::kNRPN && (static_cast<long long>(hi) + en.lsb > 127 || lo + en.lsb < 0)))
        add("byte-range", e.label());
      if (en.coding == Coding::kCCSwitch && (en.onValue > 127 || en.offValue < 0 || en.offValue > 127))
        add("byte-range", e.label());
      if (en.coding == Coding::kCC || en.coding == Coding::kCCSwitch) {
        if (!ccs.count(en.cc)) add("cc-number", e.label());
        if (ccUsed[en.cc]++) add("duplicate-cc", e.label());
      } else if (en.coding == Coding::kNRPN) {
        if (en.msb < 0 || en.msb > 127 || en.lsbControl < 0 || en.lsbControl > 127 || en.cc < 0 || en.cc > 127)
          add("byte-range", e.label());
        if (nrpnUsed[{en.msb, en.lsbControl}]++) add("duplicate-nrpn", e.label());
      } else {
        if (en.changingByte != 7) add("changing-byte", e.label());
        if (e.sysexIndex < 0 || static_cast<size_t>(e.sysexIndex) >= m.templates.size())
          add("missing-attribute", e.label() + " sysexIndex");
        if (en.templ.size() == 8) {
          const int hh = en.templ[4], ll = en.templ[5];
          const bool refresh = (hh == 0x7B && ll == 1) || (hh == 0x70 && ll == 0) || (hh == 0x6B && ll == 0) ||
                               (hh == 0 && ll == 2) || (hh == 0x29 && ll == 0);
          const bool mayRefresh = e.param == kGlobalClock || e.param == kPatternLength;
          if (refresh != mayRefresh || (hh == 0x10 && ll == 0) || hh == 0x43 || hh == 0x53 ||
              (hh == 0x7B && ll == 1))
            add("address", e.label());
        }
      }
    }
    std::set<std::pair<int, int>> addresses;
    for (size_t i = 0; i < m.templates.size(); ++i) {
      const std::string& t = m.templates[i];
      const std::vector<int> b = hex(t);
      bool ok = b.size() == 8 && t.size() == 23;
      for (size_t k = 0; ok && k < 8; ++k) ok = b[k] >= 0 && b[k] <= 0x7F && (k == 7 || t[3 * k + 2] == ' ');
      if (!ok) add("template", "entry " + std::to_string(i) + ": " + t);
      if (b.size() >= 6 && !addresses.insert({b[4], b[5]}).second)
        add("duplicate-address", "entry " + std::to_string(i) + ": " + t);
    }
  }

  void window() {
    for (const MapElement& e : m.elements) {
      if (e.grp.size() > kMaxGroupLabel) add("group-label", e.label());
      int x, y, w, h;
      if (!rect(e, x, y, w, h)) continue;
      for (double s : kScales) {
        const int l = static_cast<int>(x * s), t = static_cast<int>(y * s);
        if (l < 0 || t < 0 || l + static_cast<int>(w * s) > static_cast<int>(kWindowW * s) ||
            t + static_cast<int>(h * s) > static_cast<int>(kWindowH * s)) {
          add("outside-window", e.label());
          break;
        }
      }
    }
  }

 private:
  void add(const std::string& rule, const std::string& element) { out.push_back({rule, element}); }

  static std::vector<int> hex(const std::string& t) {
    std::vector<int> out;
    for (size_t p = 0; p < t.size();) {
      size_t q = t.find(' ', p);
      if (q == std::string::npos) q = t.size();
      const std::string tok = t.substr(p, q - p);
      char* end = nullptr;
      const long v = tok.size() == 2 ? std::strtol(tok.c_str(), &end, 16) : -1;
      out.push_back(end && !*end ? static_cast<int>(v) : -1);
      p = q + 1;
    }
    return out;
  }

  static bool imageKnown(const std::string& id) {
    for (const ImageRow& r : kImageTable)
      if (id == r.idString) return true;
    return false;
  }

  // The plain range an element gives its parameter.
  static bool range(const MapElement& e, int& lo, int& hi) {
    const std::vector<int>& vb = e.valueBounds;
    auto at = [&vb](size_t i) { return i < vb.size() ? vb[i] : 0; };
    const bool menu = e.type == "ccMenu" || e.type == "msbLsbMenu" || e.type == "seMenu" || e.type == "Menu" ||
                      e.type == "dropSelection";
    const bool knob = e.type == "ccKnob" || e.type == "msbLsbKnob" || e.type == "seKnob" || e.type == "seKnob2" ||
                      e.type == "Knob" || e.type.find("Slider") != std::string::npos;
    if (menu) {
      lo = 0, hi = at(2) - at(1) - 1;
    } else if (knob) {
      lo = at(1), hi = at(2);
    } else if (e.tag == "radio") {
      lo = 0, hi = e.buttons - 1;
    } else if (e.tag == "switch" || e.tag == "autooff" || e.type == "Switch" || e.type.find("Button") !=
                                                                                std::string::npos) {
      lo = 0, hi = 1;
    } else {
      return false;
    }
    return true;
  }

  static std::string missingAttribute(const MapElement& e) {
    const bool bound = isBound(e.type);
    const bool menu = e.type.find("Menu") != std::string::npos;
    if (e.tag == "background" || e.tag == "patchBrowser")
      return e.img.empty() ? "imageId" : (e.tag == "background" ? e.position.size() < 2 : e.bounds.size() < 4)
                                             ? "position"
                                             : "";
    if (e.paramId.empty()) return "paramId";
    if (e.tag == "display" || e.tag == "dropMenu") {
      if (e.bounds.size() < 4) return "bounds";
      if (e.type == "nameSelection" && e.nameLen <= 0) return "nameLen";
      if (e.type == "dropSelection" && (e.valueBounds.size() < 3 || e.list.empty())) return "valueList";
      return "";
    }
    if (e.position.size() < (menu || e.type == "Menu" ? 3u : 2u)) return "position";
    if (!menu && e.type != "Menu" && e.img.empty()) return "imageId";
    if ((bound || e.tag == "multiFx" || e.tag == "switch") && e.valueBounds.empty()) return "valueBounds";
    if (e.tag == "radio" && e.buttons <= 0) return "buttons";
    if (e.type.rfind("cc", 0) == 0 && e.cc < 0) return "ccNumber";
    if (e.type.rfind("msbLsb", 0) == 0 && (e.cc < 0 || e.msb < 0 || e.lsb < 0 || e.lsbControl < 0))
      return "msbValue";
    if (e.type.rfind("se", 0) == 0 && (e.sysexIndex < 0 || e.changingByte < 0)) return "sysexIndex";
    return "";
  }

  // The rectangle of a control at scale 1.
  static bool rect(const MapElement& e, int& x, int& y, int& w, int& h) {
    if (e.tag == "display" || e.tag == "dropMenu" || e.tag == "patchBrowser") {
      if (e.bounds.size() < 4) return false;
      x = e.bounds[0], y = e.bounds[1], w = e.bounds[2], h = e.bounds[3];
      return true;
    }
    if (e.position.size() >= 3) {
      x = e.position[0], y = e.position[1], w = e.position[2], h = e.position.size() >= 4 ? e.position[3] : 13;
      return true;
    }
    const FrameSize* fs = frameSize(e.img);
    if (e.position.size() < 2 || !fs) return false;
    x = e.position[0], y = e.position[1], w = fs->w, h = fs->h;
    return true;
  }

  const InstrumentMap& m;
};

}  // namespace

const std::vector<Exemption>& exemptParameters() {
  static const std::vector<Exemption> list = {
      {kPatchFileDialog, "the file dialog opens from the librarian's menus"},
      {kPatchNameView, "no part of the editor reads it"},
      {kExternalSignalLevel, "no part of the editor reads it"},
      {kCurrentOpenPatternBankL, "no part of the editor reads it"},
      {kCurrentOpenPatchBankL, "no part of the editor reads it"},
      {kCurrentOpenPerfBankL, "no part of the editor reads it"},
      {kCurrentOpenPatternBankR, "no part of the editor reads it"},
      {kCurrentOpenPatchBankR, "no part of the editor reads it"},
      {kCurrentOpenPerfBankR, "no part of the editor reads it"},
      {kTempoInformation, "no part of the editor reads it"},
      {kOscillator1KeytrackTrigger, "the keytracks are switched by their own buttons"},
      {kOscillator2KeytrackTrigger, "the keytracks are switched by their own buttons"},
      {kOscillator2SyncTrigger, "the sync is switched by its own button"},
      {kEditPage2Switch, "no part of the editor reads it"},
      {kDataType, "no part of the editor gives it a case"},
      {kKeepSelectedBank, "no part of the editor gives it a case"},
      {kStorePatchToLib, "no part of the editor gives it a case"},
      {kControlDisplayPatch, "no part of the editor reads it"},
      {kImportSorrelData, "no part of the editor gives it a case"},
      {kRequestFromBank, "no part of the editor gives it a case"},
      {kControlDisplayBuild, "no part of the editor reads it"},
      {kDataSlider, "no part of the editor reads it"},
      {kQuickTab, "no part of the editor reads it"},
      {kGlobalSettings, "no part of the editor reads it"},
  };
  return list;
}

std::vector<Violation> checkAuthoring(const InstrumentMap& map) {
  if (!map.ok) return {{"parse", map.error}};
  Checks c(map);
  c.binding();
  c.structure();
  c.lists();
  c.bytes();
  c.window();
  for (Violation& v : checkGeometry(map)) c.out.push_back(std::move(v));
  return c.out;
}

std::vector<Violation> checkImages(const std::string& folder) {
  std::vector<Violation> out;
  const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (const ImageRow& r : kImageTable) {
    const FrameSize* fs = frameSize(r.idString);
    const std::string plain = r.file, stem = plain.substr(0, plain.rfind('.'));
    for (const std::string& name : {plain, stem + ".black.png"}) {
      std::ifstream in(base + name, std::ios::binary);
      unsigned char head[24] = {};
      if (!in || !in.read(reinterpret_cast<char*>(head), sizeof head) || head[1] != 'P' || head[2] != 'N' ||
          head[3] != 'G') {
        out.push_back({"missing-image", name});
        continue;
      }
      auto be32 = [&head](int o) {
        return static_cast<int>((head[o] << 24) | (head[o + 1] << 16) | (head[o + 2] << 8) | head[o + 3]);
      };
      const int w = fs ? (r.sideBySide ? fs->w * r.frames : fs->w) : -1;
      const int h = fs ? (r.sideBySide ? fs->h : fs->h * r.frames) : -1;
      if (be32(16) != w || be32(20) != h) out.push_back({"image-size", name});
    }
  }
  return out;
}

}  // namespace uiconfig
