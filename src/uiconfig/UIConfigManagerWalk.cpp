// The walk over the user-interface description: layers, layer copies,
// backgrounds, the patch-list view, and the argument record of every
// control element.
#include <tinyxml2.h>

#include <climits>
#include <cstring>

#include "framework/ControlLayer.h"
#include "framework/IBitmapControls.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"
#include "uiconfig/UIConfigManager.h"

namespace {

using tinyxml2::XMLElement;
using tinyxml2::XMLNode;

std::string textAttribute(const XMLElement& e, const char* name) {
  const char* v = e.Attribute(name);
  return v ? std::string(v) : std::string();
}

int intAttribute(const XMLElement& e, const char* name) {
  int v = 0;
  if (e.QueryIntAttribute(name, &v) != tinyxml2::XML_SUCCESS) v = 0;
  return v;
}

// Reads a decimal integer the way stream extraction does: leading white
// space skipped, an optional sign, then digits up to the first character
// that cannot continue the number. False when no digit comes, or when the
// number does not fit an int. *end is set past the last digit.
bool readLeadingInt(const std::string& text, int* out, size_t* end = nullptr) {
  size_t i = 0;
  while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) && text[i] != '\0') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t digits = i;
  long long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > (long long)INT_MAX + 1) return false;
  }
  if (i == digits) return false;
  if (negative) v = -v;
  if (v < INT_MIN || v > INT_MAX) return false;
  *out = (int)v;
  if (end) *end = i;
  return true;
}

// A whole token as an integer, nothing before or after it but white space
// before.
bool readWholeInt(const std::string& text, int* out) {
  size_t end = 0;
  return readLeadingInt(text, out, &end) && end == text.size();
}

bool isLayerElement(const char* name) {
  static const char* const kLayers[] = {"layer",     "fxlayer",         "eg2layer",     "lfo1layer",
                                        "lfo2layer", "voicelayer",      "osccontrollayer", "modseq1layer",
                                        "modseq2layer", "modseq3layer"};
  for (const char* l : kLayers)
    if (std::strcmp(name, l) == 0) return true;
  return false;
}

bool isBoundControlElement(const char* name) {
  return !std::strcmp(name, "knobcontrol") || !std::strcmp(name, "buttoncontrol") ||
         !std::strcmp(name, "menucontrol") || !std::strcmp(name, "slidercontrol");
}

bool isControlElement(const char* name) {
  static const char* const kControls[] = {"switch", "autooff", "radio", "display", "dropMenu", "multiFx"};
  for (const char* c : kControls)
    if (std::strcmp(name, c) == 0) return true;
  return isBoundControlElement(name);
}

struct TypeChoice {
  const char* type;
  ControlFactory factory;
};

ControlFactory choose(const std::string& type, std::initializer_list<TypeChoice> choices) {
  for (const TypeChoice& c : choices)
    if (type == c.type) return c.factory;
  return ControlFactory::kNone;
}

}  // namespace

// ---- Small parsers ----

void UIConfigManager::getCSValues(const std::string& text, int* values, int count) {
  for (int i = 0; i < count; ++i) values[i] = 0;
  std::vector<std::string> tokens;
  Tokenize(text, tokens, ",");
  for (int i = 0; i < count && (size_t)i < tokens.size(); ++i) {
    int v;
    if (readLeadingInt(tokens[(size_t)i], &v)) values[i] = v;
  }
}

void UIConfigManager::getBiDirectLinkValues(const std::string& text, int* link, int offset) {
  link[0] = link[1] = link[2] = -1;
  std::vector<std::string> tokens;
  Tokenize(text, tokens, ",");
  if (tokens.size() < 2) return;
  for (int i = 0; i < 2; ++i) {
    const int idx = getParamByName(tokens[(size_t)i]);
    link[i] = idx < 0 ? -1 : idx + (offset > 0 ? offset : 0);
  }
  int value;
  if (tokens.size() == 3 && readLeadingInt(tokens[2], &value)) link[2] = value;
}

int UIConfigManager::resolveParamId(const std::string& text, int offset) {
  if (text.empty()) return -1;
  std::vector<std::string> parts;
  Tokenize(text, parts, "+");
  const int idx = getParamByName(parts.empty() ? std::string() : parts[0]);
  if (idx < 0) return -1;
  long long sum = (long long)idx + (offset > 0 ? offset : 0);
  if (parts.size() >= 2) {
    int k;
    if (!readWholeInt(parts[1], &k)) {
      log("CONFIG READER: paramId " + text + " HAS NO NUMBER AFTER +!");
      return -1;
    }
    sum += k;
  }
  return sum < 0 || sum > INT_MAX ? -1 : (int)sum;
}

// ---- The argument record ----

ControlArguments UIConfigManager::readControlArgs(const XMLElement& e, int offset, ControlLayer* parent) {
  ControlArguments a;
  a.element = e.Name();
  a.type = textAttribute(e, "type");
  a.name = textAttribute(e, "name");
  a.img = textAttribute(e, "imageId");
  a.grp = textAttribute(e, "paramGroup");
  a.idx = resolveParamId(textAttribute(e, "paramId"), offset);
  a.ch = intAttribute(e, "channel");
  a.off = offset;
  a.par = parent;

  auto position = [&](int slots) {
    int v[4];
    getCSValues(textAttribute(e, "position"), v, slots);
    a.x = v[0];
    a.y = slots > 1 ? v[1] : 0;
    a.p3 = slots > 2 ? v[2] : 0;
    a.p4 = slots > 3 ? v[3] : 0;
  };
  auto valueBounds = [&](int slots) { getCSValues(textAttribute(e, "valueBounds"), a.vb, slots); };
  auto bounds = [&]() { getCSValues(textAttribute(e, "bounds"), a.b, 4); };
  auto firstOfTwo = [&](const char* attribute) {
    int v[2];
    getCSValues(textAttribute(e, attribute), v, 2);
    return v[0];
  };
  auto link = [&]() {
    int l[3];
    getBiDirectLinkValues(textAttribute(e, "biDirectLink"), l, offset);
    a.link = LinkInfo{l[0], l[1], l[2]};
  };
  auto valueDisplay = [&]() {
    std::vector<std::string> parts;
    Tokenize(textAttribute(e, "valueDisplay"), parts, ":");
    int da, db;
    if (parts.size() == 2 && readLeadingInt(parts[0], &da) && readLeadingInt(parts[1], &db)) {
      a.da = da;
      a.db = db;
    }
  };
  auto list = [&]() { a.list = valueList(textAttribute(e, "valueList")); };

  const std::string& el = a.element;
  if (el == "switch") {
    position(2);
    valueBounds(3);
    a.factory = ControlFactory::kBool;
  } else if (el == "autooff") {
    position(2);
    a.factory = ControlFactory::kSwitch;
  } else if (el == "radio") {
    position(2);
    a.buttons = intAttribute(e, "buttons");
    a.factory = ControlFactory::kRadio;
  } else if (el == "display") {
    bounds();
    a.displaySize = firstOfTwo("displaySize");
    a.factory = ControlFactory::kDisplay;
  } else if (el == "dropMenu") {
    bounds();
    a.inputDev = firstOfTwo("inputDev");
    valueBounds(3);
    list();
    a.nameLen = intAttribute(e, "nameLen");
    a.factory = choose(a.type, {{"textSelection", ControlFactory::kDropDownMenu},
                                {"deviceSelection", ControlFactory::kMIDIDeviceSelection},
                                {"nameSelection", ControlFactory::kNameDisplay},
                                {"dropSelection", ControlFactory::kDropDownMenu2}});
  } else if (el == "multiFx") {
    const bool menu = a.type == "Menu";
    position(menu ? 4 : 2);
    link();
    valueBounds(a.type == "Knob" ? 4 : menu ? 3 : 1);
    if (menu) {
      valueDisplay();
      a.visible = intAttribute(e, "visible");
      list();
      a.white = intAttribute(e, "white");
    }
    a.factory = choose(a.type, {{"Knob", ControlFactory::kNoValKnob},
                                {"Menu", ControlFactory::kNoValDropDown},
                                {"Switch", ControlFactory::kNoValBool}});
  } else if (isBoundControlElement(el.c_str())) {
    position(4);
    a.len = intAttribute(e, "length");
    valueBounds(4);
    a.chb = intAttribute(e, "changingByte");
    link();
    valueDisplay();
    list();
    a.cc = intAttribute(e, "ccNumber");
    a.msb = intAttribute(e, "msbValue");
    a.lsb = intAttribute(e, "lsbValue");
    a.lsbc = intAttribute(e, "lsbControl");
    a.sx = intAttribute(e, "sysexIndex");
    a.zero = intAttribute(e, "msgZeroVal");
    a.col = intAttribute(e, "color");
    a.horizontal = a.type == "ccSliderHor" || a.type == "seSliderHor";
    a.factory = choose(a.type, {{"ccKnob", ControlFactory::kCCKnob},
                                {"ccSliderVer", ControlFactory::kCCSlider},
                                {"ccSliderHor", ControlFactory::kCCSlider},
                                {"ccButton", ControlFactory::kCCBool},
                                {"ccMenu", ControlFactory::kMultiSelectionCC},
                                {"msbLsbKnob", ControlFactory::kMsbLsbKnob},
                                {"msbLsbButton", ControlFactory::kMsbLsbBool},
                                {"msbLsbMenu", ControlFactory::kMsbLsbSelectionCC},
                                {"seKnob", ControlFactory::kSysExKnob},
                                {"seKnob2", ControlFactory::kSysExKnob2},
                                {"seSliderVer", ControlFactory::kSysExSlider},
                                {"seSliderHor", ControlFactory::kSysExSlider},
                                {"seButton", ControlFactory::kSysExBool},
                                {"seMenu", ControlFactory::kMultiSelectionSysEx}});
  }
  return a;
}

// Each factory with the arguments its element passes, in its order.
void UIConfigManager::createControl(const ControlArguments& a) {
  using F = ControlFactory;
  m_element = a.element;
  const int* b = a.b;
  const int* vb = a.vb;
  const EDirection dir = a.horizontal ? kHorizontal : kVertical;
  switch (a.factory) {
    case F::kNone: break;
    case F::kBool: createBoolControl(a.name, a.idx, vb[0], a.x, a.y, a.img, a.off, a.par, a.grp); break;
    case F::kSwitch: createSwitchControl(a.name, a.idx, 0, a.x, a.y, a.img, a.off, a.par, a.grp); break;
    case F::kRadio: createRadioControl(a.name, a.idx, a.x, a.y, a.img, a.buttons, a.off, a.par, a.grp); break;
    case F::kDisplay:
      createControlDisplay("Display", a.idx, b[0], b[1], b[2], b[3], a.off, a.par, a.grp, a.displaySize);
      break;
    case F::kDropDownMenu: createDropDownMenu(a.name, a.idx, b[0], b[1], b[2], b[3], a.off, a.par, a.grp); break;
    case F::kMIDIDeviceSelection:
      createMIDIDeviceSelectionControl("MIDI Setup", a.idx, b[0], b[1], b[2], b[3], a.inputDev, a.off, a.par, a.grp);
      break;
    case F::kNameDisplay:
      createNameDisplay(a.name, a.idx, b[0], b[1], b[2], b[3], a.nameLen, a.off, a.par, a.grp);
      break;
    case F::kDropDownMenu2:
      createDropDownMenu2(a.name, a.idx, b[0], b[1], b[2], b[3], vb[0], vb[1], vb[2], a.list, a.off, a.par, a.grp);
      break;
    case F::kNoValKnob:
      createNoValKnobControl(a.name, a.idx, a.x, a.y, a.img, vb[0], vb[1], vb[2], vb[3], a.off, a.par, a.grp);
      break;
    case F::kNoValDropDown:
      createNoValDropDown(a.name, a.idx, a.x, a.y, a.p3, a.p4, vb[0], vb[1], vb[2], a.da, a.db, a.visible, a.list,
                          a.off, a.par, a.grp, a.white != 0);
      break;
    case F::kNoValBool: createNoValBoolControl(a.name, a.idx, a.x, a.y, a.img, vb[0], a.off, a.par, a.grp); break;
    case F::kCCKnob:
      createCCKnobControl(a.cc, a.ch, a.name, a.idx, a.x, a.y, a.img, vb[0], vb[1], vb[2], vb[3], a.link, a.off,
                          a.par, a.grp);
      break;
    case F::kCCSlider:
      createCCSliderControl(a.cc, a.ch, a.name, a.idx, a.x, a.y, a.len, a.img, vb[0], vb[1], vb[2], a.link, a.off,
                            a.par, a.grp, dir, false);
      break;
    case F::kCCBool:
      createCCBoolControl(a.cc, a.ch, a.name, a.idx, a.x, a.y, a.img, vb[0], vb[1], vb[2], a.link, a.off, a.par,
                          a.grp);
      break;
    case F::kMultiSelectionCC:
      createMultiSelectionCCControl(a.cc, a.ch, a.name, a.idx, a.x, a.y, a.p3, 13, vb[0], vb[1], vb[2], a.da, a.db,
                                    a.list, a.off, a.par, a.grp);
      break;
    case F::kMsbLsbKnob:
      createMsbLsbKnobControl(a.cc, a.msb, a.lsb, a.lsbc, a.ch, a.name, a.idx, a.x, a.y, a.img, vb[0], vb[1], vb[2],
                              vb[3], a.link, a.off, a.par, a.grp);
      break;
    case F::kMsbLsbBool:
      createMsbLsbBoolControl(a.cc, a.msb, a.lsb, a.lsbc, a.ch, a.name, a.idx, a.x, a.y, a.img, vb[0], vb[1], vb[2],
                              a.link, a.off, a.par, a.grp);
      break;
    case F::kMsbLsbSelectionCC:
      createMsbLsbSelectionCCControl(a.cc, a.msb, a.lsb, a.lsbc, a.ch, a.name, a.idx, a.x, a.y, a.p3, 13, vb[0],
                                     vb[1], vb[2], a.da, a.db, a.list, a.off, a.par, a.grp);
      break;
    case F::kSysExKnob:
      createSysExKnobControl(a.name, a.idx, a.x, a.y, a.img, vb[0], vb[1], vb[2], vb[3], a.zero, a.sx, a.chb, a.off,
                             a.link, a.par, a.grp);
      break;
    case F::kSysExKnob2:
      createSysExKnobControl2(a.name, a.idx, a.x, a.y, a.img, vb[0], vb[1], vb[2], vb[3], a.zero, a.sx, a.chb, a.off,
                              a.link, a.par, a.grp);
      break;
    case F::kSysExSlider:
      createSysExSliderControl(a.name, a.idx, a.x, a.y, a.len, a.img, vb[0], vb[1], vb[2], vb[3], a.zero, a.sx, a.chb,
                               a.off, a.link, a.par, a.grp, dir, false);
      break;
    case F::kSysExBool:
      createSysExBoolControl(a.name, a.idx, a.x, a.y, a.img, vb[0], a.zero, a.sx, a.chb, a.off, a.link, a.par, a.grp);
      break;
    case F::kMultiSelectionSysEx:
      createMultiSelectionSysExControl(a.name, a.idx, a.x, a.y, a.p3, 13, vb[0], vb[1], vb[2], a.da, a.db, a.list,
                                       a.zero, a.col, a.sx, a.chb, a.off, a.par, a.grp);
      break;
  }
  m_element.clear();
}

// ---- The walk ----

void UIConfigManager::processXMLElement(XMLNode* node, ControlLayer* parent, int offset) {
  walkLevel(node, parent, offset, 0);
}

void UIConfigManager::walkLevel(XMLNode* node, ControlLayer* parent, int offset, int depth) {
  // Siblings in a loop; only children recurse.
  for (; node; node = node->NextSibling())
    if (XMLElement* e = node->ToElement()) walkElement(e, parent, offset, depth);
}

void UIConfigManager::place(IControl* control, ControlLayer* parent) {
  if (!control) return;
  if (parent)
    parent->AttachControl(control);
  else if (m_graphics)
    m_graphics->AttachControl(control);
  else
    delete control;
}

void UIConfigManager::placeLayer(ControlLayer* layer, ControlLayer* parent) {
  if (parent)
    parent->AttachLayer(layer);
  else if (m_graphics)
    m_graphics->AttachLayer(layer);
  else
    delete layer;
}

void UIConfigManager::walkElement(XMLElement* e, ControlLayer* parent, int offset, int depth) {
  const char* el = e->Name();
  const std::string name = textAttribute(*e, "name");
  const std::string what = name.empty() ? textAttribute(*e, "paramId") : name;
  if (depth >= kMaxDepth) {
    logSkipped(el, what, "deeper than " + std::to_string(kMaxDepth) + " levels");
    return;
  }
  if (++m_walked > kMaxElements) {
    if (m_walked == kMaxElements + 1)
      logSkipped(el, what, "more than " + std::to_string(kMaxElements) + " elements in the description");
    m_walked = kMaxElements + 1;
    return;
  }

  int idx = -1;
  const int ch = intAttribute(*e, "channel");
  if (isControlElement(el)) {
    const ControlArguments args = readControlArgs(*e, offset, parent);
    idx = args.idx;
    if (args.factory == ControlFactory::kNone) {
      logSkipped(el, what, "unknown type \"" + args.type + "\"");
      return;
    }
    if (args.factory == ControlFactory::kRadio && args.buttons > kMaxCopies) {
      logSkipped(el, what, "more than " + std::to_string(kMaxCopies) + " buttons");
      return;
    }
    createControl(args);
  } else {
    idx = resolveParamId(textAttribute(*e, "paramId"), offset);
    if (isLayerElement(el)) {
      auto* layer = new ControlLayer(intAttribute(*e, "id"), name);
      placeLayer(layer, parent);
      if (e->Attribute("name"))
        m_layers[name] = layer;
      else
        log(std::string("CONFIG READER: ") + el + " without name kept out of the layer map");
      walkLevel(e->FirstChild(), layer, offset, depth + 1);
      layer->setIgnoreHiddenWhenUpdatingScreen(textAttribute(*e, "overlay") == "true");
    } else if (!std::strcmp(el, "multilayer")) {
      const int copies = intAttribute(*e, "create");
      if (copies > kMaxCopies) {
        logSkipped(el, what, "create above " + std::to_string(kMaxCopies));
        return;
      }
      for (int i = 0; i < copies; ++i) {
        auto* layer = new ControlLayer(i, name + std::to_string(i));
        walkLevel(e->FirstChild(), layer, i, depth + 1);
        m_layers[layer->GetName()] = layer;
        placeLayer(layer, parent);
      }
    } else if (!std::strcmp(el, "background")) {
      int pos[2];
      getCSValues(textAttribute(*e, "position"), pos, 2);
      IBitmap bitmap = getImageByName(m_graphics, textAttribute(*e, "imageId"));
      place(new IBitmapControl(m_plug, scaled(pos[0]), scaled(pos[1]), -1, &bitmap), parent);
    } else if (!std::strcmp(el, "patchBrowser")) {
      int b[4];
      getCSValues(textAttribute(*e, "bounds"), b, 4);
      IBitmap bitmap = getImageByName(m_graphics, textAttribute(*e, "imageId"));
      const int left = scaled(b[0]), top = scaled(b[1]);
      const IRECT rect(left, top, clampCoordinate(left + b[2] * m_uiScale), clampCoordinate(top + b[3] * m_uiScale));
      IControl* view = m_services.makePatchBrowser
                           ? m_services.makePatchBrowser(m_plug, left, top, kLibrarianArea, &bitmap, rect, m_uiScale)
                           : new IBitmapOverlayControl(m_plug, left, top, kLibrarianArea, &bitmap, rect);
      if (view) m_patchBrowser = view;
      place(view, parent);
    }
  }

  // Tail: the bound parameter's record learns its part.
  if (isPluginParameter(idx) && m_plug) {
    IParam* p = m_plug->GetParam(idx);
    if (ControlAction* action = p ? p->GetControlAction() : nullptr)
      action->part = offset >= 0 ? offset : (ch > INT_MIN ? ch - 1 : INT_MIN);
  }
}
