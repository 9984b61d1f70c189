// The control-action send: one parameter change of a bound control becomes
// the control changes or system-exclusive messages the instrument expects,
// once per whole value, with the send permission asked for each message.
#include <vector>

#include "editor/Tavrin.h"
#include "framework/IControl.h"
#include "framework/IParam.h"
#include "framework/ITextControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "uiconfig/ControlAction.h"
#include "uiconfig/ControlActionEncoder.h"

namespace {

constexpr const char* kNrpnLabel = "MSB/LSB";
constexpr const char* kSysexLabel = "SysEx";

}  // namespace

ITextControl* Tavrin::textDisplay(int paramIdx) {
  const int slot = paramIdx - kControlDisplayName;
  if (slot < 0 || slot >= static_cast<int>(mTextDisplays.size()) || !mEditorReady.load()) {
    return dynamic_cast<ITextControl*>(rememberedControl(paramIdx));
  }
  if (!mTextDisplaysFound) {
    for (size_t i = 0; i < mTextDisplays.size(); ++i) {
      mTextDisplays[i] = dynamic_cast<ITextControl*>(rememberedControl(kControlDisplayName + static_cast<int>(i)));
    }
    mTextDisplaysFound = true;
  }
  return mTextDisplays[static_cast<size_t>(slot)];
}

void Tavrin::showText(int paramIdx, const char* text) {
  if (ITextControl* display = textDisplay(paramIdx)) display->SetTextFromPlug(text);
}

bool Tavrin::sendPermitted() const {
  if (mHardwareChange.load()) return false;
  if (mHub == nullptr || !mHub->applyingIncoming()) return true;
  return !mFlags.localControl.load() || mHub->fromDAW();
}

void Tavrin::processControlAction(ControlAction* action, int paramIdx, double value) {
  if (action == nullptr) return;
  KIT_MutexLock lock(GetMutex());
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  const int whole = IParam::WholeValue(value);
  if (action->lastValue == whole) return;
  if (!mFlags.midiIOSet.load()) {
    if (paramIdx != kDeviceOutSelection && paramIdx != kDeviceInSelection && paramIdx != kGlobalMidiChannel) {
      setStatusText(kMidiIONotSetText);
    }
    return;
  }
  if (!mEditorReady.load()) return;
  action->lastValue = whole;

  // By index: a control that changes the list cannot invalidate the walk.
  const double normalized = param->GetNormalized();
  for (size_t i = 0; i < action->controls.size(); ++i) {
    if (IControl* control = action->controls[i]) control->SetValueFromPlug(normalized);
  }

  // The LFO's control change carries its position with the clocked shapes,
  // which the clocked-shape parameter holds.
  double encoded = value;
  if (paramIdx == kLFO1Shape && GetParam(kLFO1ShapeClock)) encoded = GetParam(kLFO1ShapeClock)->Value();
  EncodedMessages out;
  if (!encodeControlAction(*action, paramIdx, encoded, param->GetMin(), globalChannel(), mFlags.deviceId.load(),
                           out)) {
    return;
  }
  if (out.channelCount > 0) {
    const std::string label = action->type == 3 ? kNrpnLabel : "CC|" + std::to_string(action->ccNumber);
    showText(kControlDisplayCC, label.c_str());
  } else {
    showText(kControlDisplayCC, kSysexLabel);
  }
  for (int i = 0; i < out.channelCount; ++i) {
    if (sendPermitted()) MIDIOutRoutingSwitch(&out.channel[i]);
  }
  for (size_t i = 0; i < out.sysexCount(); ++i) {
    if (sendPermitted() && mHub) mHub->sendSysexMessage(out.sysex(i));
  }
}
