// The editor's state in the host's project: the writer of both forms of the
// state body, and the reader that recalls a project (the values, the
// settings flags, the ports by their stored names, the device ID and names,
// the sound sent to the instrument).
#include <algorithm>
#include <climits>
#include <optional>

#include "editor/TabSwitchFunctions.h"
#include "editor/Tavrin.h"
#include "framework/IControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"

namespace {

constexpr const char* kRecallPrefix = "PROJECT RECALL: ";
constexpr const char* kUnnamedPort = "Set Name";
// Parameters 240 and up are not stored.
constexpr int kUnstoredParams = 66;
constexpr int kInName = 3;
constexpr int kOutName = 4;
constexpr int kLoadPauseMs = 50;

// A name as text: the stored names 0-2 are filled up with zero characters.
std::string shown(const std::string& name) { return std::string(name.c_str()); }

}  // namespace

bool Tavrin::SerializeState(ByteChunk* chunk) { return SerializeState2(chunk, true); }

int Tavrin::UnserializeState(const ByteChunk* chunk, int startPos) { return UnserializeState2(chunk, startPos, true); }

std::string Tavrin::selectionText(int paramIdx) const {
  const IParam* param = GetParam(paramIdx);
  const char* text = param ? param->GetDisplayText(param->Int()) : nullptr;
  return text ? text : "";
}

bool Tavrin::SerializeState2(ByteChunk* chunk, bool full) {
  if (chunk == nullptr) return true;
  KIT_MutexLock lock(GetMutex());
  chunk->PutInt(kStateMarker);
  SerializeParams(chunk);
  if (full && mPatchManager) {
    for (const auto& [idx, name] : {std::pair{kDeviceInSelection, kInName}, std::pair{kDeviceOutSelection, kOutName}}) {
      // While a host load runs, the ports it read are not open yet: a state
      // written meanwhile (a bank's presets, or a save while the load opens
      // them) names those.
      const std::optional<StoredPorts>& chosen =
          (mBeforeLoad && mRecall && mRecall->ports) ? mRecall->ports : mPortsOpening;
      const std::string text = chosen ? (name == kInName ? chosen->inName : chosen->outName) : selectionText(idx);
      mPatchManager->names[static_cast<size_t>(name)] = text.empty() ? kUnnamedPort : text;
      setLibrarianViewDirty();
    }
    mPatchManager->saveAllToChunk(chunk);
    for (int idx : {kDeviceInSelection, kDeviceOutSelection, kBankSelection, kPatchSelection}) {
      chunk->PutDouble(GetParam(idx) ? GetParam(idx)->GetNormalized() : 0.0);
    }
  }
  SerializeNonAutomatedParams(chunk, NNonAutomatedParams() - kUnstoredParams);
  return true;
}

int Tavrin::UnserializeState2(const ByteChunk* chunk, int startPos, bool full) {
  KIT_MutexLock lock(GetMutex());
  const int64_t size = chunk ? chunk->Size() : 0;
  // The marker is skipped unchecked.
  int pos = (chunk && startPos >= 0 && static_cast<int64_t>(startPos) + 4 <= size) ? startPos + 4 : -1;
  IHardwarePorts* ports = GetHardwarePorts();
  const bool outputOpen = ports && ports->openOutIndex() > 0;
  // The flag of unsaved bank edits travels among the values, but the edits
  // do not: it stays as the librarian's bank has it. Taken from a project,
  // it would let a refresh drop edits still held, or lock a bank that has
  // none behind "Save bank or Discard changes!".
  IParam* unsaved = GetParam(kBankEditUnsaved);
  const double unsavedNow = unsaved ? unsaved->Value() : 0.0;
  pos = UnserializeParams(chunk, pos);
  std::optional<StoredPorts> stored;
  if (full) stored = readPorts(chunk, pos);
  pos = UnserializeNonAutomatedParams(chunk, pos, NNonAutomatedParams() - kUnstoredParams);
  if (unsaved) unsaved->Set(unsavedNow);

  // The settings the body sets are gathered here and put in force only when
  // the body is taken: the audio, clock and input threads read them without
  // the lock, and a refused load must not move them even for its length.
  LoadedSettings taken = currentSettings();
  taken.midiIOSet = outputOpen;
  if (full) readSettingFlags(taken);
  taken.deviceId = wholeValue(kGlobalDeviceID);
  log(std::string(kRecallPrefix) + "hardware DeviceID " + std::to_string(taken.deviceId));
  // The category's texts name the categories and stay; its value came with
  // the parameters.
  const std::string patchName = mPatchManager ? shown(mPatchManager->names[0]) : std::string();
  const std::string categoryName = mPatchManager ? shown(mPatchManager->names[1]) : std::string();
  if (IParam* name = GetParam(kPatchName)) name->SetDisplayText(0, patchName.c_str());
  taken.patchNameText = patchName;
  log(std::string(kRecallPrefix) + "Patch name " + patchName + " | Category name " + categoryName);
  taken.globalsSent = false;
  const int64_t offset = 2 * static_cast<int64_t>(wholeValue(kAdjustDAWOffset)) + GetBlockSize();
  taken.outputOffset = static_cast<int>(std::clamp<int64_t>(offset, INT_MIN, INT_MAX));
  taken.localControl = GetParam(kGlobalLocalControl) && GetParam(kGlobalLocalControl)->Value() != 0.0;

  // Only a body read whole acts on the outside: a body cut anywhere, or one
  // with a value that is not a number, opens, closes and sends nothing.
  // Within a host load even a whole body waits for the load as a whole (a
  // bank's later records may still fail it): the load's end takes the last
  // body read, its settings and the window's sound page with it.
  if (mBeforeLoad) {
    if (pos < 0) {
      mRecall.reset();
    } else {
      mRecall = Recall{stored, std::move(taken)};
    }
    return pos;
  }
  takeSettings(taken);
  if (pos >= 0) recall(stored);
  return pos;
}

std::optional<Tavrin::StoredPorts> Tavrin::readPorts(const ByteChunk* chunk, int& pos) {
  bool namesRead = false;
  if (mPatchManager) {
    pos = mPatchManager->loadAllFromChunk(chunk, pos);
    namesRead = pos >= 0;
  } else {
    pos = -1;
  }
  // The two port selections are skipped: the ports come back by name.
  double unused = 0.0;
  for (int i = 0; i < 2; ++i) pos = chunk ? chunk->GetDouble(&unused, pos) : -1;

  // Bank and patch are taken only when both were read.
  double bank = 0.0, patch = 0.0;
  int after = chunk ? chunk->GetDouble(&bank, pos) : -1;
  after = chunk ? chunk->GetDouble(&patch, after) : -1;
  pos = after;
  if (after >= 0) {
    IParam* bankParam = GetParam(kBankSelection);
    IParam* patchParam = GetParam(kPatchSelection);
    if (bankParam) bankParam->SetNormalized(bank);
    if (patchParam) patchParam->SetNormalized(patch);
    if (mPatchManager) {
      mPatchManager->bankIndex = wholeValue(kBankSelection);
      mPatchManager->patchIndex = wholeValue(kPatchSelection);
    }
  }
  if (!namesRead) return std::nullopt;
  return StoredPorts{mPatchManager->names[kInName], mPatchManager->names[kOutName]};
}

void Tavrin::recall(const std::optional<StoredPorts>& stored) {
  // Edits still waiting for a block go out now, on the port they were made
  // for, as when the switch itself turns direct: the next block would drop
  // them. Only here, once the body is taken: a refused one sends nothing,
  // and the routing it read is put back.
  if (!mFlags.queueRouting.load()) sendQueuedNow();
  if (stored) {
    // The opens let go of the lock: until both ports are in place a save
    // names these, and a sound dump of the job thread meanwhile leaves the
    // sound to the one this load sends.
    mPortsOpening = stored;
    mFlags.loadSwitchingPorts.store(true);
    log(std::string(kRecallPrefix) + "MIDI In device stored " + stored->inName);
    openStoredPort(false, stored->inName);
    log(std::string(kRecallPrefix) + "MIDI Out device stored " + stored->outName);
    openStoredPort(true, stored->outName);
    IHardwarePorts* ports = GetHardwarePorts();
    const int in = ports ? ports->openInIndex() : 0;
    const int out = ports ? ports->openOutIndex() : 0;
    // Sends are permitted exactly while the output port is open.
    mFlags.midiIOSet.store(out > 0);
    for (const auto& [idx, index] : {std::pair{kDeviceInSelection, in}, std::pair{kDeviceOutSelection, out}}) {
      if (IParam* param = GetParam(idx)) param->SetClamped(index);
      log(std::string(kRecallPrefix) + (idx == kDeviceInSelection ? "MIDI In" : "MIDI Out") +
          " device after checking devices " + selectionText(idx));
    }
    mPortsOpening.reset();
    mFlags.loadSwitchingPorts.store(false);
    // A project that names an instrument whose port is not there cannot
    // send it its sound.
    const IParam* outParam = GetParam(kDeviceOutSelection);
    const char* noPort = outParam ? outParam->GetDisplayText(0) : nullptr;
    const std::string& named = stored->outName;
    if (out == 0 && !named.empty() && named != kUnnamedPort && !(noPort && named == noPort)) {
      setStatusText(kMidiIONotSetText);
    }
  }
  startSoundAfterLoad();
  log(std::string(kRecallPrefix) + "MIDI In device after nonautomated params " + selectionText(kDeviceInSelection));
  log(std::string(kRecallPrefix) + "MIDI Out device after nonautomated params " + selectionText(kDeviceOutSelection));
}

void Tavrin::openStoredPort(bool output, const std::string& name) {
  int index = 1;
  if (output) {
    setExternalMIDIOut(index, name.c_str());
  } else {
    setExternalMIDIIn(index, name.c_str());
  }
  IParam* param = GetParam(output ? kDeviceOutSelection : kDeviceInSelection);
  if (!param) return;
  param->SetClamped(index);
  if (IControl* menu = output ? nullptr : rememberedControl(kDeviceInSelection)) {
    menu->SetValueFromPlug(param->GetNormalized());
  }
}

void Tavrin::readSettingFlags(LoadedSettings& s) {
  // Exactly 1.0 is on. A value between off and on (only a damaged state
  // holds one) is set off with its flag: the window's next redraw would
  // otherwise round it up to on while the flag stays off.
  auto on = [this](int idx) {
    IParam* param = GetParam(idx);
    if (!param) return false;
    if (param->Value() == 1.0) return true;
    if (param->Value() != 0.0) param->SetClamped(0.0);
    return false;
  };
  for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) s.blocked[i] = !on(kMIDIFilterDAWCCPassThrough + i);
  s.lightTracksInput = on(kMIDIFilterTrackIncomingMIDI);
  s.queueRouting = on(kMIDIFilterToDAWBuffer);
  s.clockStartStop = on(kSendMIDIClockPointer);
  s.timingClock = on(kSendMIDIClockInfo);
}

void Tavrin::takeSettings(const LoadedSettings& s) {
  applySettings(s);
  // The window shows the sound page as at start, laid out from the values
  // taken.
  TabSwitchFunctions::mainTabSwitch(this, kMainTab, kSoundTab, wholeValue(kMainTab));
}

void Tavrin::setTimingClock(bool on) {
  // A switch of the timing clock lets the next block launch the loop again,
  // as the setting's own change does.
  if (mFlags.timingClockEnabled.exchange(on) == on) return;
  mFlags.clockLaunched.store(false);
  if (mHub) mHub->resetContinuousClock(!on);
}

void Tavrin::startSoundAfterLoad() {
  if (!mFlags.midiIOSet.load()) return;
  pauseUnlocked(kLoadPauseMs);
  if (!mFlags.midiIOSet.load()) return;
  mFlags.push.store(true);
  // A job still running (an earlier load's sound, a request) does not drop
  // the load's sound: it goes once that job has ended. Incoming MIDI is
  // held back only from the start of the sound's job.
  if (mHub) {
    mHub->startJobAfterRunning(SenderJob::sendSound(false, false, mFlags),
                               [this] { mFlags.transferInProgress.store(true); });
  }
}

// ---- a failed host load

Tavrin::LoadedSettings Tavrin::currentSettings() const {
  LoadedSettings s{};
  for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) s.blocked[i] = mFlags.blocked[i].load();
  s.lightTracksInput = mFlags.lightTracksInput.load();
  s.queueRouting = mFlags.queueRouting.load();
  s.clockStartStop = mFlags.clockStartStopEnabled.load();
  s.timingClock = mFlags.timingClockEnabled.load();
  s.globalsSent = mFlags.globalsSent.load();
  s.push = mFlags.push.load();
  s.localControl = mFlags.localControl.load();
  s.deviceId = mFlags.deviceId.load();
  s.outputOffset = mOutputOffset.load();
  s.midiIOSet = mFlags.midiIOSet.load();
  if (mPatchManager) {
    const ByteChunk& state = mPatchManager->state;
    s.patchState.assign(state.GetBytes(), state.GetBytes() + std::max(state.Size(), 0));
    s.patchNames = mPatchManager->names;
    s.bankIndex = mPatchManager->bankIndex;
    s.patchIndex = mPatchManager->patchIndex;
  }
  const IParam* name = GetParam(kPatchName);
  s.patchNameText = name ? name->GetDisplayText(0) : "";
  return s;
}

void Tavrin::applySettings(const LoadedSettings& s) {
  for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) mFlags.blocked[i].store(s.blocked[i]);
  mFlags.lightTracksInput.store(s.lightTracksInput);
  mFlags.queueRouting.store(s.queueRouting);
  mFlags.clockStartStopEnabled.store(s.clockStartStop);
  setTimingClock(s.timingClock);
  mFlags.globalsSent.store(s.globalsSent);
  mFlags.push.store(s.push);
  mFlags.localControl.store(s.localControl);
  mFlags.deviceId.store(s.deviceId);
  mOutputOffset.store(s.outputOffset);
  mFlags.midiIOSet.store(s.midiIOSet);
  if (mPatchManager) {
    mPatchManager->state.Clear();
    if (!s.patchState.empty()) mPatchManager->state.Put(s.patchState.data(), static_cast<int>(s.patchState.size()));
    mPatchManager->names = s.patchNames;
    mPatchManager->bankIndex = s.bankIndex;
    mPatchManager->patchIndex = s.patchIndex;
  }
  if (IParam* name = GetParam(kPatchName)) name->SetDisplayText(0, s.patchNameText.c_str());
}

void Tavrin::OnStateLoadStarted() {
  KIT_MutexLock lock(GetMutex());
  mBeforeLoad = currentSettings();
  mRecall.reset();
}

void Tavrin::OnStateLoadEnded(bool ok) {
  KIT_MutexLock lock(GetMutex());
  const std::optional<Recall> due = std::move(mRecall);
  mRecall.reset();
  const bool wasLoading = mBeforeLoad.has_value();
  if (!ok && mBeforeLoad) {
    // Nothing outside was touched: the ports are those of before, and so
    // are the settings once they are put back.
    applySettings(*mBeforeLoad);
  }
  mBeforeLoad.reset();
  // The load is whole: now its last body's settings and page are taken,
  // and it reopens its ports and sends the sound.
  if (ok && wasLoading && due) {
    takeSettings(due->settings);
    recall(due->ports);
  }
}
