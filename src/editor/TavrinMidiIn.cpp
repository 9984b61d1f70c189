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

// A channel message with a data byte of 128 or more (of the one a program
// change or channel pressure carries, or of the two of the others) is no
// MIDI: sent on, that byte would read as a status byte at the instrument's
// input and garble what follows it there.
bool dataBytesValid(const IMidiMsg& msg) {
  const IMidiMsg::EStatusMsg status = msg.StatusMsg();
  const bool oneByte = status == IMidiMsg::kProgramChange || status == IMidiMsg::kChannelAftertouch;
  return msg.mData1 < 0x80 && (oneByte || msg.mData2 < 0x80);
}

}  // namespace

// The hooks take the editor lock by the hub's timed attempts, so that the
// delivery thread gives up once tear-down has stopped the hub instead of
// waiting for a lock the destroying thread may hold.

void Tavrin::ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) {
  if (msg == nullptr || mHub == nullptr) return;
  MIDIMessageManager::EditorLock lock(*mHub);
  if (!lock.held() || mFlags.transferInProgress.load() || mHub->requestPending()) return;
  if (msg->StatusMsg() == IMidiMsg::kNone || !dataBytesValid(*msg)) return;
  if (fromHardware) {
    mHub->ProcessMidiMsgFromDevice(msg);
  } else {
    mHub->ProcessMidiMsgFromDAW(msg, 0);
  }
}

void Tavrin::ProcessSysEx(ISysEx* sysex, bool fromHardware) {
  if (sysex == nullptr || mHub == nullptr) return;
  MIDIMessageManager::EditorLock lock(*mHub);
  if (!lock.held()) return;
  // The pass-through setting of the message's source, read under the lock.
  const IParam* pass = GetParam(fromHardware ? kMIDIFilterHWSEPassThrough : kMIDIFilterDAWSEPassThrough);
  if (pass && pass->Value() != 1.0) return;
  sysexIn(sysex->mData, sysex->mSize, fromHardware, false);
}

void Tavrin::forgetSentValues() {
  for (int idx = 0; idx < NParams(); ++idx) {
    if (ControlAction* action = GetParam(idx)->GetControlAction()) action->lastValue = -1.0;
  }
}

void Tavrin::feedSysEx(const uint8_t* data, int size) { sysexIn(data, size, true, true); }

void Tavrin::sysexIn(const uint8_t* data, int size, bool fromDevice, bool internal) {
  if (data == nullptr || size <= 0 || mHub == nullptr) return;
  MIDIMessageManager::EditorLock lock(*mHub);
  if (!lock.held() || mFlags.transferInProgress.load()) return;
  if (size >= 3 && data[1] == sysex::kManufacturer && data[2] == sysex::kModel) lightActivity(true);
  // A dump from the instrument sets values without sending them, so no
  // remembered value may hold back the next edit. So does a librarian sound
  // that went to the instrument's edit buffer and is fed in as its answer.
  // Forgotten before the hub applies the message, so that a single value
  // shown through the hardware value path is remembered again.
  if (fromDevice) forgetSentValues();
  const ISysEx message(0, data, size);
  mHub->ProcessSysEx(&message, fromDevice, internal);
  if (IGraphics* graphics = GetGUI()) graphics->SetAllControlsDirty();
  if (mHub->replyArrived()) mFlags.replyReceived.store(true);
}
