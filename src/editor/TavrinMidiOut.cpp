// The door for outgoing channel messages: the routing switch between the
// output port and the audio blocks' queue, the guarded send with the
// activity light, the program and bank changes, the push of the sound back
// to the instrument, and the look-ups of controls by their MIDI addresses.
#include <algorithm>
#include <vector>

#include "editor/Tavrin.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "shim/winbase.h"
#include "uiconfig/UIConfigManager.h"

namespace {

constexpr int kAllNotesOffCC = 123;
constexpr int kBankSelectCC = 0;
constexpr int kBankSelectLsbCC = 32;
constexpr int kHighestProgram = 100;
constexpr int kBankChangePauseMs = 25;
constexpr int kProgramChangePauseMs = 50;
constexpr int kPartDataPauseMs = 200;
// The longest a request job runs, in pacing times: its passes, the search
// of every device ID and a final pause.
constexpr int kLongestRequestPacings = 150;

}  // namespace

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
  routeLocked(msg, globalChannel());
}

void Tavrin::routeLocked(IMidiMsg* msg, int channel) {
  if (mFlags.queueRouting.load()) {
    mMidiQueue.Add(msg);
  } else {
    sendMidiMsgLocked(msg, channel);
  }
}

void Tavrin::sendQueuedNow() {
  // Edits that waited for a block would otherwise be dropped by the next
  // one, and the instrument would lack what the window shows. Every
  // routing decision is made under the editor lock, so nothing joins the
  // queue meanwhile and later edits go out behind these.
  std::vector<IMidiMsg> waiting;
  waiting.reserve(static_cast<size_t>(mMidiQueue.ToDo()));
  while (const IMidiMsg* next = mMidiQueue.Peek()) {
    waiting.push_back(*next);
    mMidiQueue.Remove();
  }
  mMidiQueue.Clear();
  const int channel = globalChannel();
  for (IMidiMsg& msg : waiting) sendMidiMsgLocked(&msg, channel);
}

void Tavrin::sendMidiMsgAndLog(IMidiMsg* msg) {
  if (msg == nullptr) return;
  KIT_MutexLock lock(GetMutex());
  sendMidiMsgLocked(msg);
}

void Tavrin::sendMidiMsgLocked(IMidiMsg* msg, int channel) {
  if (!mFlags.midiIOSet.load()) {
    showStatus(kMidiIONotSetText);
    return;
  }
  if (msg->Channel() == channel) lightActivity(false);
  SendMidiMsg(msg);
}

int Tavrin::requestPacing() const {
  const IParam* timer = GetParam(kLibSyncTimer);
  return MIDIMessageManager::requestPacingMs(timer ? timer->Value() : 0.0);
}

int Tavrin::wholeValue(int paramIdx) const {
  const IParam* param = GetParam(paramIdx);
  return param ? IParam::WholeValue(param->Value()) : 0;
}

void Tavrin::sendControlChange(int cc, int data, bool routed) {
  IMidiMsg msg;
  msg.MakeControlChangeMsg(cc, data / 127.0, globalChannel());
  if (routed) {
    MIDIOutRoutingSwitch(&msg);
  } else {
    sendMidiMsgAndLog(&msg);
  }
}

void Tavrin::AllSoundsOff() {
  KIT_MutexLock lock(GetMutex());
  if (!mFlags.midiIOSet.load() || !mEditorReady.load() || mFlags.awaitingGlobalDump.load()) return;
  sendControlChange(kAllNotesOffCC, 0, true);
}

void Tavrin::SendProgramChangeCommand(int program, int) {
  KIT_MutexLock lock(GetMutex());
  if (!mFlags.midiIOSet.load()) return;
  IMidiMsg msg;
  msg.MakeProgramChangeMsg(std::clamp(program, 0, kHighestProgram) / 127.0, globalChannel());
  sendMidiMsgAndLog(&msg);
  pauseUnlocked(requestPacing());
}

bool Tavrin::BankChangeMessage() {
  KIT_MutexLock lock(GetMutex());
  const int bank = wholeValue(kCurrentBank);
  const int program = wholeValue(kCurrentPatch);
  mCurrentProgram.store(program);
  AllSoundsOff();
  sendControlChange(kBankSelectCC, 0, false);
  pauseUnlocked(kBankChangePauseMs);
  sendControlChange(kBankSelectLsbCC, bank, false);
  pauseUnlocked(kBankChangePauseMs);
  IMidiMsg change;
  change.MakeProgramChangeMsg(program / 127.0, globalChannel());
  sendMidiMsgAndLog(&change);
  pauseUnlocked(kProgramChangePauseMs);
  return true;
}

void Tavrin::sendPartDataBackToHardware(int) {
  KIT_MutexLock lock(GetMutex());
  if (!mFlags.midiIOSet.load() || !mSectionLock.load() || mHub == nullptr) return;
  if (!mFlags.transferInProgress.load()) pauseUnlocked(kPartDataPauseMs);
  // A request job clears request-pending at its end at the latest; without
  // one running nobody will, so the wait ends.
  const long long limit = static_cast<long long>(kLongestRequestPacings) * requestPacing();
  long long waited = 0;
  do {
    pauseUnlocked(kPartDataPauseMs);
    waited += kPartDataPauseMs;
  } while (mHub->requestPending() && mHub->threadRunning(MIDIMessageManager::kJobThread) && waited < limit);
  if (!mSectionLock.load() || mHub->threadRunning(MIDIMessageManager::kJobThread)) return;
  startJob(SenderJob::sendSound(false, false, mFlags));
}

IControl* Tavrin::getSysexControl(int key1, int key2, int key3, int key4, int key5) const {
  return mUIConfig ? mUIConfig->sysExControls().findControl(key1, key2, key3, key4, key5) : nullptr;
}

IControl* Tavrin::getMsbLsbControl(int key1, int key2, int key3, int key4, int key5) const {
  return mUIConfig ? mUIConfig->nrpnControls().findControl(key1, key2, key3, key4, key5) : nullptr;
}

IControl* Tavrin::getCCControls(int key1, int key2, int key3) const {
  return mUIConfig ? mUIConfig->ccMap().findControl(key1, key2, key3) : nullptr;
}
