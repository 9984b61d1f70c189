// The value display step of the dispatch, and the hardware value path: a
// value the instrument reported updates the displays, the tab and the layer
// group of its parameter, and is remembered as sent, without anything going
// back.
#include "editor/ControlDisplay.h"
#include "editor/TabSwitchFunctions.h"
#include "editor/Tavrin.h"
#include "framework/IParam.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"

void Tavrin::controlDisplay(int paramIdx, double value) {
  ControlDisplay::controlDisplay(this, paramIdx, value, mTransportPlaying.load());
}

void Tavrin::OnParamChange2(int paramIdx) {
  EditorScope lock(GetMutex());
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  const bool outer = mHardwareChange.exchange(true);
  const double value = param->Value();
  const int whole = IParam::WholeValue(value);
  if (GetGUI()) ControlDisplay::controlDisplay(this, paramIdx, value, false);
  if (paramIdx == kMainTab) TabSwitchFunctions::mainTabSwitch(this, kMainTab, whole, 0);
  if (ControlAction* action = param->GetControlAction()) {
    runLayerGroup(action, whole);
    processControlAction(action, paramIdx, value);
  }
  if (mHub) mHub->setRequestPending(false);
  mHardwareChange.store(outer);
}
