// The controls that send nothing to the instrument: the editor's switches,
// radio groups, menus, port selectors and displays.
#include "framework/ControlLayer.h"
#include "framework/IBitmapControls.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "framework/ITextControl.h"
#include "hardware/ParameterList.h"
#include "uiconfig/ICustomRadioButtonsControl.h"
#include "uiconfig/UIConfigManager.h"

namespace {

const IColor kDropDownColour(255, 255, 173, 0);
const IColor kListMenuColour(254, 255, 173, 0);
const IColor kBlueText(255, 0, 174, 255);
const IColor kDarkText(255, 10, 10, 10);
const IColor kLightText(255, 225, 225, 225);

}  // namespace

void UIConfigManager::unboundRecord(int idx, IControl* control) {
  if (ControlAction* action = bindAction(idx, 0)) action->controls.push_back(control);
}

// A switch that stays where it is put, or a momentary one.
IControl* UIConfigManager::switchControl(const char* factory, bool momentary, const std::string& name, int idx,
                                         int def, int x, int y, const std::string& img, int timbre,
                                         ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam(factory, name, idx);
  if (!p) return nullptr;
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitBool(name.c_str(), def != 0, "", getParamGroup(timbre, grp).c_str(), -1, -1);
  IControl* control = momentary ? new IContactControl(m_plug, scaled(x), scaled(y), idx, &bitmap)
                                : new ISwitchControl(m_plug, scaled(x), scaled(y), idx, &bitmap);
  place(control, layer);
  unboundRecord(idx, control);
  return control;
}

void UIConfigManager::createBoolControl(const std::string& name, int idx, int def, int x, int y,
                                        const std::string& img, int timbre, ControlLayer* layer,
                                        const std::string& grp) {
  switchControl("switch", false, name, idx, def, x, y, img, timbre, layer, grp);
}

void UIConfigManager::createSwitchControl(const std::string& name, int idx, int def, int x, int y,
                                          const std::string& img, int timbre, ControlLayer* layer,
                                          const std::string& grp) {
  switchControl("autooff", true, name, idx, def, x, y, img, timbre, layer, grp);
}

IControl* UIConfigManager::createAutoOffSwitchControl(const std::string& name, int idx, int x, int y,
                                                      const std::string& img, int timbre, ControlLayer* layer,
                                                      const std::string& grp) {
  return switchControl("autooff", true, name, idx, 0, x, y, img, timbre, layer, grp);
}

void UIConfigManager::createRadioControl(const std::string& name, int idx, int x, int y, const std::string& img,
                                         int buttons, int timbre, ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("radio", name, idx);
  if (!p) return;
  if (buttons < 1 || buttons > kMaxCopies) {
    skip("radio", name, idx, std::to_string(buttons) + " buttons");
    return;
  }
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitEnum(name.c_str(), 0, buttons, "", getParamGroup(timbre, grp).c_str(), -1, -1);
  // The strip's two frames, top to bottom (buttons in a row) or side by side
  // (buttons in a column).
  const bool column = bitmap.mFramesAreHorizontal;
  const int left = scaled(x), top = scaled(y);
  const IRECT rect(left, top, left + (column ? bitmap.W / 2 : bitmap.W), top + (column ? bitmap.H : bitmap.H / 2));
  IControl* control =
      new ICustomRadioButtonsControl(m_plug, rect, idx, buttons, &bitmap, column ? kVertical : kHorizontal);
  place(control, layer);
  unboundRecord(idx, control);
}

void UIConfigManager::createNoValKnobControl(const std::string& name, int idx, int x, int y, const std::string& img,
                                             double def, double min, double max, double, int timbre,
                                             ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("multiFx", name, idx);
  if (!p) return;
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitDouble(name.c_str(), def, min, max, 1.0, "", getParamGroup(timbre, grp).c_str(), -1, -1);
  place(new IKnobMultiControl(m_plug, scaled(x), scaled(y), idx, &bitmap), layer);
}

void UIConfigManager::createNoValBoolControl(const std::string& name, int idx, int x, int y, const std::string& img,
                                             double def, int timbre, ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("multiFx", name, idx);
  if (!p) return;
  IBitmap bitmap = getImageByName(m_graphics, img);
  p->InitBool(name.c_str(), def != 0.0, "", getParamGroup(timbre, grp).c_str(), -1, -1);
  place(new ISwitchControl(m_plug, scaled(x), scaled(y), idx, &bitmap), layer);
}

void UIConfigManager::createNoValDropDown(const std::string& name, int idx, int x, int y, int width, int height,
                                          int def, int min, int max, int first, int last, int visible,
                                          const std::vector<std::string>& values, int timbre, ControlLayer* layer,
                                          const std::string& grp, bool white) {
  IParam* p = factoryParam("multiFx", name, idx);
  if (!p) return;
  if (!initMenu("multiFx", p, name, idx, def, (long long)max - min, values, first, last, getParamGroup(timbre, grp),
                idx == kCurrentPatch ? "0" : " "))
    return;
  IColor color(0, 255, 173, 0);  // not shown, still opens its list
  if (visible == 1) {
    color = white ? kLightText : kDropDownColour;
    if (idx == kCurrentPatch || idx == kCategoryName || idx == kCurrentBank) color = kDarkText;
  }
  const IText text = menuText(height, color);
  auto* control = new ICaptionControl(m_plug, boundsRect(x, y, width, height), idx, &text, true);
  control->DisablePrompt(idx == kCurrentBank);
  place(control, layer);
}

void UIConfigManager::createDropDownMenu(const std::string& name, int idx, int b1, int b2, int b3, int b4,
                                         int timbre, ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("dropMenu", name, idx);
  if (!p) return;
  p->InitEnum(name.c_str(), 0, 1, "", getParamGroup(timbre, grp).c_str(), -1, -1);
  p->SetDisplayText(0, "----");
  const IText text = menuText(b4, kDropDownColour);
  IControl* control = new ICaptionControl(m_plug, boundsRect(b1, b2, b3, b4), idx, &text, true);
  place(control, layer);
  unboundRecord(idx, control);
}

void UIConfigManager::createDropDownMenu2(const std::string& name, int idx, int b1, int b2, int b3, int b4, int def,
                                          int min, int max, const std::vector<std::string>& values, int timbre,
                                          ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("dropMenu", name, idx);
  if (!p) return;
  if (!initMenu("dropMenu", p, name, idx, def, (long long)max - min, values, 0, 0, getParamGroup(timbre, grp)))
    return;
  const IText text = menuText(b4, kListMenuColour);
  auto* control = new ICaptionControl(m_plug, boundsRect(b1, b2, b3, b4), idx, &text, true);
  control->DisablePrompt(false);
  place(control, layer);
  unboundRecord(idx, control);
}

// The port names, "OFF" first; always at the top of the window.
void UIConfigManager::createMIDIDeviceSelectionControl(const std::string& name, int idx, int b1, int b2, int b3,
                                                       int b4, int input, int timbre, ControlLayer* layer,
                                                       const std::string& grp) {
  IParam* p = factoryParam("dropMenu", name, idx);
  if (!p) return;
  const std::vector<std::string>& names = input == 1 ? m_plug->getExternalMIDIInNames() : m_plug->getExternalMIDIOutNames();
  const int count = names.size() > (size_t)kMaxMessages ? kMaxMessages : (int)names.size();
  p->InitEnum("Device Selection", 0, count, "", "", -1, -1);
  for (int i = 0; i < count; ++i) p->SetDisplayText(i, names[(size_t)i].c_str());
  const IText text = menuText(b4, kBlueText);
  auto* control = new ICaptionControl(m_plug, boundsRect(b1, b2, b3, b4), idx, &text, true);
  control->DisablePrompt(false);
  place(control, nullptr);
  unboundRecord(idx, control);
}

// The editor writes its text; the parameter is left as it is.
void UIConfigManager::createControlDisplay(const std::string& name, int idx, int b1, int b2, int b3, int b4,
                                           int timbre, ControlLayer* layer, const std::string& grp, int size) {
  if (!factoryParam("display", name, idx)) return;
  const IText text = menuText(b4, size == 2 ? kBlueText : kDarkText);
  IControl* control = new ITextControl(m_plug, boundsRect(b1, b2, b3, b4), &text, "");
  place(control, layer);
  unboundRecord(idx, control);
}

void UIConfigManager::createNameDisplay(const std::string& name, int idx, int b1, int b2, int b3, int b4,
                                        int nameLen, int timbre, ControlLayer* layer, const std::string& grp) {
  IParam* p = factoryParam("dropMenu", name, idx);
  if (!p) return;
  p->InitEnum(name.c_str(), 0, 1, "", getParamGroup(timbre, grp).c_str(), -1, -1);
  p->InitText();
  IColor color = kDarkText;
  if (idx == kPatchName) {
    p->SetDisplayText(0, "-- INIT --");
  } else if (idx == kPatchRename || idx == kPatchSearchString) {
    p->SetDisplayText(0, idx == kPatchRename ? "New Name" : "search...");
    color = kLightText;
  }
  const IText text = menuText(b4, color);
  auto* control = new ICaptionControl(m_plug, boundsRect(b1, b2, b3, b4), idx, &text, true);
  control->SetTextEntryLength(nameLen);
  control->DisablePrompt(false);
  place(control, layer);
  unboundRecord(idx, control);
}
