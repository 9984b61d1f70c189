// The controls bound to a control change or an NRPN address, and the steps
// every factory shares: the parameter, the record, the link, names, texts
// and rectangles.
#include <climits>
#include <cstring>

#include "framework/ControlLayer.h"
#include "framework/IBitmapControls.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "framework/ITextControl.h"
#include "hardware/ParameterList.h"
#include "uiconfig/UIConfigManager.h"

namespace {

bool nameIn(const ControlLayer* layer, std::initializer_list<const char*> names) {
  if (!layer) return false;
  for (const char* n : names)
    if (layer->GetName() == n) return true;
  return false;
}

const IColor kCCMenuColour(255, 250, 250, 250);
const IColor kNRPNMenuColour(254, 255, 173, 0);

}  // namespace

// ---- Shared steps ----

bool UIConfigManager::isMixerLayer(const ControlLayer* layer) {
  return nameIn(layer, {"miniMixer", "multiModeMixer", "miniMixer2", "multiModeMixer2", "multiModeSettingsPage1"});
}

bool UIConfigManager::isMixerOrSettingsLayer(const ControlLayer* layer) {
  return isMixerLayer(layer) ||
         nameIn(layer, {"additionalSettingsPart1", "additionalSettingsPart2", "additionalSettingsPart3",
                        "additionalSettingsPart4", "additionalSettingsPart5", "additionalSettingsPart6",
                        "additionalSettingsPart7", "additionalSettingsPart8"});
}

void UIConfigManager::skip(const char* factory, const std::string& name, int idx, const std::string& reason) const {
  logSkipped(m_element.empty() ? factory : m_element, name.empty() ? std::to_string(idx) : name, reason);
}

IParam* UIConfigManager::factoryParam(const char* factory, const std::string& name, int idx) const {
  IParam* p = isPluginParameter(idx) && m_plug ? m_plug->GetParam(idx) : nullptr;
  if (!p) skip(factory, name, idx, "parameter " + std::to_string(idx) + " outside the plug-in");
  return p;
}

ControlAction* UIConfigManager::bindAction(int idx, int type) {
  IParam* p = m_plug ? m_plug->GetParam(idx) : nullptr;
  if (!p) return nullptr;
  ControlAction* action = p->GetControlAction();
  if (!action) action = adoptControlAction(idx, std::make_unique<ControlAction>());
  if (action) action->type = type;
  return action;
}

void UIConfigManager::linkStep(ControlAction* action, int idx, const LinkInfo& link) {
  if (!action || link.first < 0 || link.second < 0) return;
  if (!isPluginParameter(link.first) || !m_plug->GetParam(link.first)) {
    log("CONFIG READER: link of parameter " + std::to_string(idx) + " to " + std::to_string(link.first) +
        " IGNORED!");
    return;
  }
  action->link = link;
  ControlAction* linked = m_plug->GetParam(link.first)->GetControlAction();
  if (!linked) linked = bindAction(link.first, 6);
  if (linked) linked->link = LinkInfo{idx, link.second, -1};
}

std::string UIConfigManager::displayName(int timbre, const std::string& name) {
  if (timbre < 0) return name;
  return "[" + std::to_string((long long)timbre + 1) + "] " + name;
}

IRECT UIConfigManager::boundsRect(int b1, int b2, int b3, int b4) const {
  const int left = scaled(b1), top = scaled(b2);
  return IRECT(left, top, clampCoordinate(left + b3 * m_uiScale), clampCoordinate(top + b4 * m_uiScale));
}

IText UIConfigManager::menuText(int size, const IColor& color) const { return IText(scaled(size), &color, kMenuFont); }

bool UIConfigManager::setMenuTexts(IParam* param, int n, const std::vector<std::string>& values, int first, int last,
                                   const char* prefix) {
  if (n >= 0 && values.size() == (size_t)n) {
    for (int i = 0; i < n; ++i) param->SetDisplayText(i, values[(size_t)i].c_str());
    return true;
  }
  if (first == last) return false;
  for (int i = 0; i < n; ++i) {
    const long long v = (long long)first + i;
    const std::string text = (v < 10 ? prefix : "") + std::to_string(v);
    param->SetDisplayText(i, text.c_str());
  }
  return true;
}

bool UIConfigManager::initMenu(const char* factory, IParam* p, const std::string& label, int idx, int def,
                               long long n, const std::vector<std::string>& values, int first, int last,
                               const std::string& group, const char* prefix) {
  if (n > kMaxMessages) {
    skip(factory, label, idx, std::to_string(n) + " entries, more than " + std::to_string(kMaxMessages));
    return false;
  }
  p->InitEnum(label.c_str(), def, (int)n, "", group.c_str(), -1, -1);
  if (setMenuTexts(p, (int)n, values, first, last, prefix)) return true;
  skip(factory, label, idx, "no texts for its " + std::to_string(n) + " entries");
  return false;
}

void UIConfigManager::bindControl(IControl* control, ControlLayer* layer, int idx, const BoundKeys& k,
                                  const LinkInfo& link) {
  place(control, layer);
  ControlAction* action = bindAction(idx, k.type);
  if (k.link) linkStep(action, idx, link);
  action->mixerFlag = k.mixerFlag;
  action->ccNumber = k.cc;
  if (k.type == 3) {
    action->msbValue = k.msbValue;
    action->lsbValue = k.lsbValue;
    action->lsbControl = k.lsbControl;
  }
  action->channel = k.channel;
  if (k.range) {
    action->minValue = IParam::WholeValue(k.min);
    action->maxValue = IParam::WholeValue(k.max);
  }
  action->controls.push_back(control);
  if (k.type == 3)
    m_nrpnControls.addToControlMap(action, control);
  else
    m_ccMap.addToControlMap(action->channel, action->ccNumber, action->mixerFlag, control);
}

// ---- The family ----
// Channel rule: in a mixer layer the element's channel (and the mixer flag 1
// for knobs and menus), elsewhere the copy number + 1.

void UIConfigManager::createCCKnobControl(int cc, int ch, const std::string& name, int idx, int x, int y,
                                          const std::string& img, double def, double min, double max, double step,
                                          LinkInfo link, int timbre, ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("ccKnob", name, idx);
  if (!p) return;
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitDouble(displayName(timbre, name).c_str(), def, min, max, (double)IParam::WholeValue(step), "",
                getParamGroup(timbre, grp).c_str(), -1, -1);
  const bool mixer = isMixerLayer(layer);
  bindControl(new IKnobMultiControl(m_plug, scaled(x), scaled(y), idx, &bitmap), layer, idx,
              {1, cc, -1, -1, -1, mixer ? ch : timbre + 1, mixer ? 1 : 0, true}, link);
}

void UIConfigManager::createCCBoolControl(int cc, int ch, const std::string& name, int idx, int x, int y,
                                          const std::string& img, double def, double min, double max, LinkInfo link,
                                          int timbre, ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("ccButton", name, idx);
  if (!p) return;
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitBool(displayName(timbre, name).c_str(), def != 0.0, "", getParamGroup(timbre, grp).c_str(), -1, -1);
  bindControl(new ISwitchControl(m_plug, scaled(x), scaled(y), idx, &bitmap), layer, idx,
              {2, cc, -1, -1, -1, isMixerLayer(layer) ? ch : timbre + 1, 0, false, true, min, max}, link);
}

void UIConfigManager::createCCSliderControl(int cc, int ch, const std::string& name, int idx, int x, int y,
                                            int length, const std::string& img, double def, double min, double max,
                                            LinkInfo link, int timbre, ControlLayer* layer, const std::string& grp,
                                            EDirection direction, bool) {
  IParam* p = factoryParam("ccSlider", name, idx);
  if (!p) return;
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitDouble(displayName(timbre, name).c_str(), def, min, max, 1.0, "", getParamGroup(timbre, grp).c_str(), -1,
                -1);
  bindControl(new IFaderControl(m_plug, scaled(x), scaled(y), scaled(length), idx, &bitmap, direction, false), layer,
              idx, {1, cc, -1, -1, -1, isMixerLayer(layer) ? ch : timbre + 1, 0, true}, link);
}

void UIConfigManager::boundMenu(const char* factory, int type, int cc, int msbValue, int lsbValue, int lsbControl,
                                int ch, const std::string& name, int idx, int x, int y, int width, int height,
                                int def, int min, int max, int first, int last,
                                const std::vector<std::string>& values, int timbre, ControlLayer* layer,
                                const std::string& grp, const IColor& color) {
  IParam* p = factoryParam(factory, name, idx);
  if (!p) return;
  if (!initMenu(factory, p, displayName(timbre, name), idx, def, (long long)max - min, values, first, last,
                getParamGroup(timbre, grp)))
    return;
  const IText text = menuText(height, color);
  auto* control = new ICaptionControl(m_plug, boundsRect(x, y, width, height), idx, &text, true);
  control->DisablePrompt(false);
  const bool mixer = isMixerLayer(layer);
  bindControl(control, layer, idx, {type, cc, msbValue, lsbValue, lsbControl, mixer ? ch : timbre + 1, mixer ? 1 : 0, false},
              LinkInfo());
}

void UIConfigManager::createMultiSelectionCCControl(int cc, int ch, const std::string& name, int idx, int x, int y,
                                                    int width, int height, int def, int min, int max, int first,
                                                    int last, const std::vector<std::string>& values, int timbre,
                                                    ControlLayer* layer, const std::string& grp) {
  boundMenu("ccMenu", 1, cc, -1, -1, -1, ch, name, idx, x, y, width, height, def, min, max, first, last, values,
            timbre, layer, grp, kCCMenuColour);
}

void UIConfigManager::createMsbLsbSelectionCCControl(int cc, int msbValue, int lsbValue, int lsbControl, int ch,
                                                     const std::string& name, int idx, int x, int y, int width,
                                                     int height, int def, int min, int max, int first, int last,
                                                     const std::vector<std::string>& values, int timbre,
                                                     ControlLayer* layer, const std::string& grp) {
  boundMenu("msbLsbMenu", 3, cc, msbValue, lsbValue, lsbControl, ch, name, idx, x, y, width, height, def, min, max,
            first, last, values, timbre, layer, grp, kNRPNMenuColour);
}

void UIConfigManager::createMsbLsbKnobControl(int cc, int msbValue, int lsbValue, int lsbControl, int ch,
                                              const std::string& name, int idx, int x, int y, const std::string& img,
                                              double def, double min, double max, double, LinkInfo link, int timbre,
                                              ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("msbLsbKnob", name, idx);
  if (!p) return;
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitDouble(displayName(timbre, name).c_str(), def, min, max, 1.0, "", getParamGroup(timbre, grp).c_str(), -1,
                -1);
  const bool mixer = isMixerLayer(layer);
  bindControl(new IKnobMultiControl(m_plug, scaled(x), scaled(y), idx, &bitmap), layer, idx,
              {3, cc, msbValue, lsbValue, lsbControl, mixer ? ch : timbre + 1, mixer ? 1 : 0, true}, link);
}

// The NRPN switch also keys by the element's channel on the additional
// settings pages; its mixer flag is always 0.
void UIConfigManager::createMsbLsbBoolControl(int cc, int msbValue, int lsbValue, int lsbControl, int ch,
                                              const std::string& name, int idx, int x, int y, const std::string& img,
                                              double def, double min, double max, LinkInfo link, int timbre,
                                              ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("msbLsbButton", name, idx);
  if (!p) return;
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitBool(displayName(timbre, name).c_str(), def != 0.0, "", getParamGroup(timbre, grp).c_str(), -1, -1);
  bindControl(new ISwitchControl(m_plug, scaled(x), scaled(y), idx, &bitmap), layer, idx,
              {3, cc, msbValue, lsbValue, lsbControl, isMixerOrSettingsLayer(layer) ? ch : timbre + 1, 0, true, true,
               min, max},
              link);
}
