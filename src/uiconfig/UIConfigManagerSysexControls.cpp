// The controls bound to system-exclusive messages: each value's message is
// built here, once, from the template of its entry in the system-exclusive
// list, and the control is registered under the message's address bytes.
#include <climits>
#include <cstdint>

#include "framework/ControlLayer.h"
#include "framework/IBitmapControls.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "framework/ITextControl.h"
#include "hardware/ParameterList.h"
#include "uiconfig/UIConfigManager.h"

namespace {

const IColor kSysExMenuColour(254, 255, 173, 0);

// The shortest message 0 the address key can be read from.
constexpr size_t kMinKeyedMessage = 7;

}  // namespace

bool UIConfigManager::sysexKeyBytes(const SysexMessageInts& message, int changingByte, unsigned char key[4]) {
  const size_t from = changingByte == 7 ? 2 : 3;
  if (message.size() < from + 4) return false;
  for (size_t i = 0; i < 4; ++i) key[i] = (unsigned char)(message[from + i] & 0xFF);
  return true;
}

void UIConfigManager::sysexControl(const char* factory, const std::string& name, int idx, int sx, int chb, int off,
                                   const LinkInfo& link, ControlLayer* par, const SysexPlan& plan,
                                   const std::function<IControl*()>& make) {
  if (!factoryParam(factory, name, idx)) return;
  if (sx < 0 || (size_t)sx >= m_sysexContainers.size()) {
    skip(factory, name, idx, "no system-exclusive entry " + std::to_string(sx));
    return;
  }
  const SysExContainer& entry = m_sysexContainers[(size_t)sx];
  if (entry.values.empty() || entry.values[0].empty()) {
    skip(factory, name, idx, "system-exclusive entry " + std::to_string(sx) + " has no template");
    return;
  }
  if (plan.count > kMaxMessages) {
    skip(factory, name, idx, std::to_string(plan.count) + " messages, more than " + std::to_string(kMaxMessages));
    return;
  }
  ControlActionSysExMessage messages;
  calculateSysexWithChangingByte(entry.values[0][0], chb, plan.count, &messages, plan.start, off);
  unsigned char key[4];
  if (messages.messages.empty() || messages.messages[0].size() < kMinKeyedMessage ||
      !sysexKeyBytes(messages.messages[0], chb, key)) {
    skip(factory, name, idx, "no message of 7 bytes or more from entry " + std::to_string(sx));
    return;
  }
  IControl* control = make();
  if (!control) return;  // make has said why
  place(control, par);
  ControlAction* action = bindAction(idx, plan.type);
  action->controls.push_back(control);
  if (plan.link) linkStep(action, idx, link);
  action->sysExMessage = std::move(messages);
  m_sysExControls.addToControlMap(key, 0, control);
}

void UIConfigManager::createSysExBoolControl(const std::string& name, int idx, int x, int y, const std::string& img,
                                             double def, int zero, int sx, int chb, int off, LinkInfo link,
                                             ControlLayer* par, const std::string& grp) {
  sysexControl("seButton", name, idx, sx, chb, off, link, par, {5, 2, 0, true}, [&]() -> IControl* {
    IBitmap bitmap = getImageByName(m_graphics, img);
    m_plug->GetParam(idx)->InitBool(displayName(off, name).c_str(), def != 0.0, "", getParamGroup(off, grp).c_str(),
                                    -1, -1);
    return new ISwitchControl(m_plug, scaled(x), scaled(y), idx, &bitmap);
  });
}

namespace {

// Messages from the minimum to the maximum, as (int) truncates each.
int valueCount(double min, double max) {
  const long long n = (long long)IParam::WholeValue(max) - IParam::WholeValue(min) + 1;
  return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : (int)n;
}

}  // namespace

void UIConfigManager::createSysExKnobControl(const std::string& name, int idx, int x, int y, const std::string& img,
                                             double def, double min, double max, double, int zero, int sx, int chb,
                                             int off, LinkInfo link, ControlLayer* par, const std::string& grp) {
  sysexControl("seKnob", name, idx, sx, chb, off, link, par, {6, valueCount(min, max), IParam::WholeValue(min), true},
               [&]() -> IControl* {
                 IBitmap bitmap = getImageByName(m_graphics, img);
                 m_plug->GetParam(idx)->InitDouble(displayName(off, name).c_str(), def, min, max, 1.0, "",
                                                   getParamGroup(off, grp).c_str(), -1, -1);
                 return new IKnobMultiControl(m_plug, scaled(x), scaled(y), idx, &bitmap);
               });
}

void UIConfigManager::createSysExKnobControl2(const std::string& name, int idx, int x, int y, const std::string& img,
                                              double def, double min, double max, double unused, int zero, int sx,
                                              int chb, int off, LinkInfo link, ControlLayer* par,
                                              const std::string& grp) {
  createSysExKnobControl(name, idx, x, y, img, def, min, max, unused, zero, sx, chb, off, link, par, grp);
}

// The value written into each message is shifted by zero ("msgZeroVal").
void UIConfigManager::createSysExSliderControl(const std::string& name, int idx, int x, int y, int len,
                                               const std::string& img, double def, double min, double max, double,
                                               int zero, int sx, int chb, int off, LinkInfo link, ControlLayer* par,
                                               const std::string& grp, EDirection direction, bool) {
  const long long start = (long long)IParam::WholeValue(min) + zero;
  sysexControl("seSlider", name, idx, sx, chb, off, link, par,
               {6, valueCount(min, max), start > INT32_MAX ? INT32_MAX : start < INT32_MIN ? INT32_MIN : (int)start,
                true},
               [&]() -> IControl* {
                 IBitmap bitmap = getImageByName(m_graphics, img);
                 m_plug->GetParam(idx)->InitDouble(displayName(off, name).c_str(), def, min, max, 1.0, "",
                                                   getParamGroup(off, grp).c_str(), -1, -1);
                 return new IFaderControl(m_plug, scaled(x), scaled(y), scaled(len), idx, &bitmap, direction, false);
               });
}

// n = max - min entries and n + 1 messages; the last message is never sent.
void UIConfigManager::createMultiSelectionSysExControl(const std::string& name, int idx, int x, int y, int width,
                                                       int height, int def, int min, int max, int da, int db,
                                                       const std::vector<std::string>& values, int zero, int col,
                                                       int sx, int chb, int off, ControlLayer* par,
                                                       const std::string& grp) {
  const long long n = (long long)max - min;
  sysexControl("seMenu", name, idx, sx, chb, off, LinkInfo(), par,
               {6, n + 1 > INT32_MAX ? INT32_MAX : n + 1 < INT32_MIN ? INT32_MIN : (int)(n + 1), min, false},
               [&]() -> IControl* {
                 if (!initMenu("seMenu", m_plug->GetParam(idx), displayName(off, name), idx, def, n, values, da, db,
                               getParamGroup(off, grp)))
                   return nullptr;
                 const IText text = menuText(height, kSysExMenuColour);
                 auto* control = new ICaptionControl(m_plug, boundsRect(x, y, width, height), idx, &text, true);
                 control->DisablePrompt(false);
                 return control;
               });
}
