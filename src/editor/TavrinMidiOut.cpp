// The door for outgoing channel messages: the routing switch between the
// output port and the audio blocks' queue, and the guarded send with the
// activity light.
#include "editor/Tavrin.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "hardware/ParameterList.h"
#include "shim/winbase.h"

int Tavrin::globalChannel() const {
  const IParam* channel = GetParam(kGlobalMidiChannel);
  const int whole = channel ? IParam::WholeValue(channel->Value()) : 0;
  return whole > 0 ? (whole - 1) & 0x0F : 0;
}

void Tavrin::lightActivity(bool input) {
  IGraphicsBase* graphics = GetGraphicsBase();
  if (mFlags.lightTracksInput.load() != input || graphics == nullptr || mFlags.lightOn.load()) return;
  graphics->SetParameterFromPlug(kMIDILed, 1.0, false);
  mFlags.lightOn.store(true);
  mFlags.lightTick.store(GetTickCount());
}

void Tavrin::MIDIOutRoutingSwitch(IMidiMsg* msg) {
  if (msg == nullptr) return;
  KIT_MutexLock lock(GetMutex());
  if (mFlags.queueRouting.load()) {
    mMidiQueue.Add(msg);
  } else {
    sendMidiMsgAndLog(msg);
  }
}

void Tavrin::sendMidiMsgAndLog(IMidiMsg* msg) {
  if (msg == nullptr) return;
  KIT_MutexLock lock(GetMutex());
  if (!mFlags.midiIOSet.load()) {
    setStatusText(kMidiIONotSetText);
    return;
  }
  if (msg->Channel() == globalChannel()) lightActivity(false);
  SendMidiMsg(msg);
}
