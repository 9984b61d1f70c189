// The instrument map, read from the plain description and system-exclusive
// list.
#include "uiconfig/InstrumentMap.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>

#include "hardware/ParameterList.h"

namespace uiconfig {

namespace {

const std::set<std::string>& layerTags() {
  static const std::set<std::string> tags = {"layer",       "fxlayer",         "eg2layer",     "lfo1layer",
                                             "lfo2layer",   "voicelayer",      "osccontrollayer",
                                             "modseq1layer", "modseq2layer",   "modseq3layer"};
  return tags;
}

const std::set<std::string>& controlTags() {
  static const std::set<std::string> tags = {"display",       "switch",        "autooff",       "radio",
                                             "dropMenu",      "multiFx",       "knobcontrol",   "buttoncontrol",
                                             "menucontrol",   "slidercontrol", "background",    "patchBrowser"};
  return tags;
}

// The largest number the description gives (coordinates, counts, bytes);
// anything beyond reads as absent, so no sum of them overflows.
constexpr long long kMaxNumber = 1 << 20;

// A decimal integer of at most kMaxNumber, else the fallback.
int toInt(std::string_view text, int fallback) {
  std::string s(text);
  const char* b = s.c_str();
  while (*b == ' ') ++b;
  if (!*b) return fallback;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(b, &end, 10);
  if (end == b || errno == ERANGE || v < -kMaxNumber || v > kMaxNumber) return fallback;
  while (*end == ' ') ++end;
  return *end ? fallback : static_cast<int>(v);
}

int intAttr(const tinyxml2::XMLElement& e, const char* name, int fallback) {
  const char* v = e.Attribute(name);
  return v ? toInt(v, fallback) : fallback;
}

std::string textAttr(const tinyxml2::XMLElement& e, const char* name) {
  const char* v = e.Attribute(name);
  return v ? v : "";
}

std::vector<int> numberList(const std::string& text) {
  std::vector<int> out;
  size_t p = 0;
  while (p < text.size()) {
    size_t q = text.find(',', p);
    if (q == std::string::npos) q = text.size();
    out.push_back(toInt(std::string_view(text).substr(p, q - p), 0));
    p = q + 1;
  }
  return out;
}

int at(const std::vector<int>& v, size_t i) { return i < v.size() ? v[i] : 0; }

class Reader {
 public:
  explicit Reader(InstrumentMap& map) : m(map) {}

  void walk(const tinyxml2::XMLElement* first, int layer, bool inCopy, int depth) {
    if (depth > kMaxDepth) return;
    for (const tinyxml2::XMLElement* e = first; e; e = e->NextSiblingElement()) {
      const std::string tag = e->Name();
      if (layerTags().count(tag) || tag == "multilayer") {
        MapLayer l;
        l.name = textAttr(*e, "name");
        l.id = intAttr(*e, "id", 0);
        l.parent = layer;
        l.line = e->GetLineNum();
        l.copies = tag == "multilayer";
        m.layers.push_back(l);
        walk(e->FirstChildElement(), static_cast<int>(m.layers.size()) - 1, inCopy || l.copies, depth + 1);
      } else if (controlTags().count(tag)) {
        element(*e, tag, layer, inCopy);
      } else if (tag == "panel") {
        MapPanel p;
        p.title = textAttr(*e, "title");
        p.bounds = numberList(textAttr(*e, "bounds"));
        p.layer = layer;
        p.line = e->GetLineNum();
        p.order = static_cast<int>(m.elements.size());
        m.panels.push_back(p);
      }
    }
  }

  void lists(const tinyxml2::XMLElement* root) {
    const tinyxml2::XMLElement* lists = root->FirstChildElement("valueLists");
    if (!lists) return;
    for (const tinyxml2::XMLElement* l = lists->FirstChildElement("list"); l; l = l->NextSiblingElement("list")) {
      std::vector<std::string>& entries = m.lists[textAttr(*l, "name")];
      entries.clear();
      for (const tinyxml2::XMLElement* v = l->FirstChildElement("value"); v; v = v->NextSiblingElement("value"))
        entries.push_back(v->GetText() ? v->GetText() : "");
    }
  }

  void bind() {
    for (size_t i = 0; i < m.elements.size(); ++i) {
      const MapElement& e = m.elements[i];
      MapEntry entry;
      entry.param = e.param;
      entry.element = static_cast<int>(i);
      entry.list = e.list;
      const int vb0 = at(e.valueBounds, 0), vb1 = at(e.valueBounds, 1), vb2 = at(e.valueBounds, 2);
      const bool menu = e.type == "ccMenu" || e.type == "msbLsbMenu" || e.type == "seMenu";
      const bool button = e.type == "ccButton" || e.type == "msbLsbButton" || e.type == "seButton";
      if (e.type.rfind("cc", 0) == 0) {
        entry.coding = e.type == "ccButton" ? Coding::kCCSwitch : Coding::kCC;
        entry.cc = e.cc;
      } else if (e.type.rfind("msbLsb", 0) == 0) {
        entry.coding = Coding::kNRPN;
        entry.cc = e.cc, entry.msb = e.msb, entry.lsb = e.lsb, entry.lsbControl = e.lsbControl;
      } else if (e.type.rfind("se", 0) == 0) {
        entry.coding = Coding::kSysEx;
        entry.changingByte = e.changingByte;
        if (e.sysexIndex >= 0 && static_cast<size_t>(e.sysexIndex) < m.templates.size())
          entry.templ = hexBytes(m.templates[static_cast<size_t>(e.sysexIndex)]);
      } else {
        continue;
      }
      if (menu) {
        entry.minValue = 0, entry.maxValue = vb2 - vb1 - 1;
      } else if (button) {
        entry.minValue = 0, entry.maxValue = 1;
        if (e.type != "seButton") entry.offValue = vb1, entry.onValue = vb2;
      } else {
        entry.minValue = vb1, entry.maxValue = vb2;
      }
      (void)vb0;
      if (entry.param == kLFO1Shape && entry.coding == Coding::kCC)
        entry.carrier = kLFO1ShapeClock, entry.carrierMin = 0, entry.carrierMax = 9;
      m.entries.push_back(entry);
    }
  }

  // Blank-separated hexadecimal bytes; a token that is no byte gives -1.
  static std::vector<int> hexBytes(const std::string& text) {
    std::vector<int> out;
    size_t p = 0;
    while (p < text.size()) {
      while (p < text.size() && text[p] == ' ') ++p;
      size_t q = p;
      while (q < text.size() && text[q] != ' ') ++q;
      if (q == p) break;
      const std::string token = text.substr(p, q - p);
      char* end = nullptr;
      const long v = token.size() <= 2 ? std::strtol(token.c_str(), &end, 16) : -1;
      out.push_back(end && *end == 0 && v >= 0 && v <= 0xFF ? static_cast<int>(v) : -1);
      p = q;
    }
    return out;
  }

  static constexpr int kMaxDepth = 32;

 private:
  void element(const tinyxml2::XMLElement& x, const std::string& tag, int layer, bool inCopy) {
    MapElement e;
    e.tag = tag;
    e.type = textAttr(x, "type");
    e.name = textAttr(x, "name");
    e.paramId = textAttr(x, "paramId");
    e.img = textAttr(x, "imageId");
    e.grp = textAttr(x, "paramGroup");
    e.list = textAttr(x, "valueList");
    e.valueDisplay = textAttr(x, "valueDisplay");
    e.hasCaption = x.Attribute("label") != nullptr;
    e.caption = textAttr(x, "label");
    e.captionAt = textAttr(x, "labelAt");
    e.visible = intAttr(x, "visible", 0);
    e.line = x.GetLineNum();
    e.layer = layer;
    e.inCopy = inCopy;
    e.position = numberList(textAttr(x, "position"));
    e.bounds = numberList(textAttr(x, "bounds"));
    e.valueBounds = numberList(textAttr(x, "valueBounds"));
    e.cc = intAttr(x, "ccNumber", -1);
    e.msb = intAttr(x, "msbValue", -1);
    e.lsb = intAttr(x, "lsbValue", -1);
    e.lsbControl = intAttr(x, "lsbControl", -1);
    e.sysexIndex = intAttr(x, "sysexIndex", -1);
    e.changingByte = intAttr(x, "changingByte", -1);
    e.zero = intAttr(x, "msgZeroVal", 0);
    e.nameLen = intAttr(x, "nameLen", 0);
    e.buttons = intAttr(x, "buttons", 0);
    e.length = intAttr(x, "length", 0);
    e.displaySize = at(numberList(textAttr(x, "displaySize")), 0);
    if (!e.paramId.empty()) {
      const size_t plus = e.paramId.find('+');
      const int base = parameterIndex(std::string_view(e.paramId).substr(0, plus));
      e.paramKnown = base >= 0;
      const int k = plus == std::string::npos ? 0 : toInt(std::string_view(e.paramId).substr(plus + 1), INT_MIN);
      e.param = base >= 0 && k != INT_MIN ? base + k : -1;
    }
    m.elements.push_back(e);
  }

  InstrumentMap& m;
};

}  // namespace

std::string MapElement::label() const {
  std::string s = tag;
  if (!type.empty()) s += " " + type;
  if (!paramId.empty()) s += " " + paramId;
  else if (!img.empty()) s += " " + img;
  return s + " (line " + std::to_string(line) + ")";
}

std::string MapPanel::label() const { return "panel \"" + title + "\" (line " + std::to_string(line) + ")"; }

std::vector<const MapEntry*> InstrumentMap::entriesOf(int param) const {
  std::vector<const MapEntry*> out;
  for (const MapEntry& e : entries)
    if (e.param == param) out.push_back(&e);
  return out;
}

int parameterIndex(std::string_view name) {
  static const std::map<std::string, int, std::less<>> table = {
#define TAVRIN_NAME_INDEX(n, i) {#n, i},
      TAVRIN_PARAMETER_LIST(TAVRIN_NAME_INDEX)
#undef TAVRIN_NAME_INDEX
  };
  auto it = table.find(name);
  return it == table.end() ? -1 : it->second;
}

InstrumentMap readInstrumentMap(std::string_view description, std::string_view sysexList) {
  InstrumentMap map;
  tinyxml2::XMLDocument sx(true, tinyxml2::PRESERVE_WHITESPACE);
  if (sx.Parse(sysexList.data(), sysexList.size()) != tinyxml2::XML_SUCCESS) {
    map.error = std::string("system-exclusive list: ") + sx.ErrorStr();
    return map;
  }
  if (const tinyxml2::XMLElement* list = sx.FirstChildElement("sysexlist"))
    for (const tinyxml2::XMLElement* e = list->FirstChildElement("sysex"); e; e = e->NextSiblingElement()) {
      const tinyxml2::XMLElement* values = e->FirstChildElement("values");
      const tinyxml2::XMLElement* value = values ? values->FirstChildElement("value") : nullptr;
      map.templates.push_back(value && value->GetText() ? value->GetText() : "");
    }
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  if (doc.Parse(description.data(), description.size()) != tinyxml2::XML_SUCCESS) {
    map.error = std::string("description: ") + doc.ErrorStr();
    return map;
  }
  const tinyxml2::XMLElement* root = doc.FirstChildElement("uiconfig");
  if (!root) {
    map.error = "description: no uiconfig element";
    return map;
  }
  Reader reader(map);
  reader.lists(root);
  reader.walk(root->FirstChildElement(), -1, false, 0);
  reader.bind();
  map.ok = true;
  return map;
}

int ccData(int param, int value) {
  if (value > kMaxNumber || value < -kMaxNumber) return value;
  switch (param) {
    case kOscillator1Semitone:
    case kOscillator2Semitone:
    case kOscillator3Semitone:
      return value + 16;
    case kArpClock:
      return value + 1 < 127 ? value + 1 : 127;
    case kArpSwing:
    case kArpDelay:
      return static_cast<int>(value / 1.27) + 14;
    default:
      return value;
  }
}

std::vector<std::vector<uint8_t>> mapMessages(const MapEntry& entry, int value, int channel, int deviceId) {
  const uint8_t status = static_cast<uint8_t>(0xB0 | (channel & 0x0F));
  auto cc = [status](int number, int data) {
    return std::vector<uint8_t>{status, static_cast<uint8_t>(number & 0x7F), static_cast<uint8_t>(data & 0xFF)};
  };
  switch (entry.coding) {
    case Coding::kCC:
      return {cc(entry.cc, ccData(entry.param, value))};
    case Coding::kCCSwitch:
      return {cc(entry.cc, value ? entry.onValue : entry.offValue)};
    case Coding::kNRPN:
      return {cc(99, entry.msb), cc(98, entry.lsbControl), cc(entry.cc, static_cast<int>(std::clamp<long long>(
                                                                          static_cast<long long>(value) + entry.lsb,
                                                                          INT_MIN, INT_MAX)))};
    case Coding::kSysEx: {
      std::vector<uint8_t> m{0xF0};
      for (int b : entry.templ) m.push_back(static_cast<uint8_t>(b & 0xFF));
      if (m.size() > 3 && deviceId >= 0) m[3] = static_cast<uint8_t>(deviceId);
      if (entry.changingByte >= 1 && static_cast<size_t>(entry.changingByte) < m.size())
        m[static_cast<size_t>(entry.changingByte)] = static_cast<uint8_t>(value & 0xFF);
      m.push_back(0xF7);
      return {m};
    }
  }
  return {};
}

}  // namespace uiconfig
