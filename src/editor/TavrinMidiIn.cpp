// Incoming MIDI: the drops of the plug-in's two hooks before the hub, and
// the feed of editor-made dumps into the same dispatch.
#include "editor/Tavrin.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SysexProtocol.h"
#include "uiconfig/ControlAction.h"

namespace {

bool sourceBlocked(const SharedFlags& flags, bool fromHardware) {
  const int param = fromHardware ? kMIDIFilterHWSEPassThrough : kMIDIFilterDAWSEPassThrough;
  return flags.blocked[param - kMIDIFilterDAWCCPassThrough].load();
}

}  // namespace

void Tavrin::ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) {
  if (msg == nullptr) return;
  KIT_MutexLock lock(GetMutex());
  if (mHub == nullptr || mFlags.transferInProgress.load() || mHub->requestPending()) return;
  if (msg->StatusMsg() == IMidiMsg::kNone) return;
  if (fromHardware) {
    mHub->ProcessMidiMsgFromDevice(msg);
  } else {
    mHub->ProcessMidiMsgFromDAW(msg, 0);
  }
}

void Tavrin::ProcessSysEx(ISysEx* sysex, bool fromHardware) {
  if (sysex == nullptr || sourceBlocked(mFlags, fromHardware)) return;
  sysexIn(sysex->mData, sysex->mSize, fromHardware, false);
}

void Tavrin::feedSysEx(const uint8_t* data, int size) { sysexIn(data, size, true, true); }

void Tavrin::sysexIn(const uint8_t* data, int size, bool fromDevice, bool internal) {
  if (data == nullptr || size <= 0) return;
  KIT_MutexLock lock(GetMutex());
  if (mHub == nullptr || mFlags.transferInProgress.load()) return;
  if (size >= 3 && data[1] == sysex::kManufacturer && data[2] == sysex::kModel) lightActivity(true);
  // A dump from the instrument sets values without sending them, so no
  // remembered value may hold back the next edit. Forgotten before the hub
  // applies the message, so that a single value shown through the hardware
  // value path is remembered again.
  if (fromDevice && !internal) {
    for (int idx = 0; idx < NParams(); ++idx) {
      if (ControlAction* action = GetParam(idx)->GetControlAction()) action->lastValue = -1.0;
    }
  }
  const ISysEx message(0, data, size);
  mHub->ProcessSysEx(&message, fromDevice, internal);
  if (IGraphics* graphics = GetGUI()) graphics->SetAllControlsDirty();
  if (mHub->replyArrived()) mFlags.replyReceived.store(true);
}
