#include "standin_editor.h"

#include <algorithm>
#include <cmath>

#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"

namespace hwtest {

namespace {

struct Range {
  int param, min, max;
};
constexpr Range kRanges[] = {
    {kGlobalMasterTune, -54, 73}, {kGlobalTranspose, -40, 87}, {kCategoryName, 0, 20},
    {kCurrentBank, 0, 4},         {kCurrentPatch, 0, 100},     {kLibSyncTimer, -1, 7},
};

}  // namespace

StandInEditor::StandInEditor(std::unique_ptr<IHardwarePorts> ports, std::vector<std::string> tempoValues)
    : IPluginBase(kParameterCount, "2-2", 0, "Stand-in", "", "", 1, 1, 1, 0, true, true, true) {
  initialize(0, kParameterCount, "2-2", 0, "Stand-in", "", "", 1, 1, 1, 0, true, true, true);
  for (int i = 0; i < kParameterCount; ++i) {
    const std::string name = "p" + std::to_string(i);
    int lo = 0, hi = 127;
    if (const auto r = sounddump::codableRange(i)) lo = r->min, hi = r->max;
    for (const Range& r : kRanges)
      if (r.param == i) lo = r.min, hi = r.max;
    GetParam(i)->InitInt(name.c_str(), 0, lo, hi);
  }
  GetParam(kMIDIFilterHWSEPassThrough)->Set(1.0);
  GetParam(kMIDIFilterDAWSEPassThrough)->Set(1.0);
  mUpper.emplace();
  mHub = std::make_unique<MIDIMessageManager>(*this, *this, *this, mFlags, sysexControls, ccControls,
                                              std::move(tempoValues));
  if (ports) SetHardwarePorts(std::move(ports));
}

StandInEditor::~StandInEditor() { tearDownHub(); }

void StandInEditor::tearDownHub() {
  if (!mHub) return;
  mHub->stop();
  mFlags.midiIOSet.store(false);
  if (GetHardwarePorts()) GetHardwarePorts()->shutdown();
  // The hub joins its threads before the pointer they read is cleared.
  delete mHub.get();
  mHub.release();
}

// The parameters and the control maps are the editor lock's: the hub's jobs
// and the delivery of input write and read them under it.
IControl* StandInEditor::bindSingleParameter(int idx, uint8_t a1, uint8_t a2) {
  KIT_MutexLock lock(GetMutex());
  auto c = std::make_unique<PlainControl>(this, IRECT{0, 0, 1, 1}, idx);
  c->SetValueFromPlug(GetParam(idx)->GetNormalized());
  const unsigned char keys[] = {sysex::kSingleParameterTag1, sysex::kSingleParameterTag2, a1, a2};
  sysexControls.addToControlMap(keys, 0, c.get());
  mControls.push_back(std::move(c));
  return mControls.back().get();
}

IControl* StandInEditor::bindControlChange(int idx, int cc, int channel, int mixerFlag) {
  KIT_MutexLock lock(GetMutex());
  auto c = std::make_unique<PlainControl>(this, IRECT{0, 0, 1, 1}, idx);
  c->SetValueFromPlug(GetParam(idx)->GetNormalized());
  ccControls.addToControlMap(channel, cc, mixerFlag, c.get());
  mControls.push_back(std::move(c));
  return mControls.back().get();
}

namespace {

class PlainGraphics : public IGraphicsBase {
 public:
  explicit PlainGraphics(IPluginBase& plug) : mPlug(plug) {}
  void SetParameterFromPlug(int idx, double value, bool normalized) override {
    IParam* p = mPlug.GetParam(idx);
    if (p == nullptr || normalized) return;
    p->SetClamped(p->GetStep() > 0.0 ? p->GetStep() * std::floor(value / p->GetStep() + 0.5) : value);
  }
  void PrepDraw() override {}

 private:
  IPluginBase& mPlug;
};

}  // namespace

void StandInEditor::attachGraphics() { AttachGraphics(new PlainGraphics(*this)); }

void StandInEditor::setParam(int idx, double value) {
  KIT_MutexLock lock(GetMutex());
  GetParam(idx)->SetClamped(value);
}

double StandInEditor::param(int idx) {
  KIT_MutexLock lock(GetMutex());
  return GetParam(idx)->Value();
}

void StandInEditor::note(const std::string& what) {
  std::lock_guard<std::mutex> lock(mRecordLock);
  mNotes.push_back(what);
}

int StandInEditor::count(const std::string& what) const {
  std::lock_guard<std::mutex> lock(mRecordLock);
  return static_cast<int>(std::count(mNotes.begin(), mNotes.end(), what));
}

void StandInEditor::clearRecords() {
  std::lock_guard<std::mutex> lock(mRecordLock);
  mTexts.clear();
  mIndicator.clear();
  mCategories.clear();
  mNotes.clear();
  mSelections.clear();
  mSysexLog.clear();
}

void StandInEditor::setUpperBank(bool present) {
  std::lock_guard<std::mutex> lock(mRecordLock);
  if (present) {
    mUpper.emplace();
  } else {
    mUpper.reset();
  }
}

std::optional<CollectedPatch> StandInEditor::slot(int i) const {
  std::lock_guard<std::mutex> lock(mRecordLock);
  if (!mUpper || i < 0 || i >= kSlots) return std::nullopt;
  return (*mUpper)[static_cast<size_t>(i)];
}

// ---- incoming

void StandInEditor::ProcessSysEx(ISysEx* msg, bool fromHardware) {
  if (fromHardware) ++mSysexFromPorts;
  if (mFlags.transferInProgress.load()) return;
  MIDIMessageManager::EditorLock lock(*mHub);
  if (!lock.held()) return;
  const int pass = fromHardware ? kMIDIFilterHWSEPassThrough : kMIDIFilterDAWSEPassThrough;
  if (GetParam(pass)->Value() == 0.0) return;
  dispatch(msg, fromHardware, false);
}

void StandInEditor::feedSysEx(const uint8_t* data, int size) {
  if (mFlags.transferInProgress.load()) return;
  MIDIMessageManager::EditorLock lock(*mHub);
  if (!lock.held()) return;
  const ISysEx msg(0, data, size);
  dispatch(&msg, true, true);
}

void StandInEditor::dispatch(const ISysEx* msg, bool fromDevice, bool internal) {
  mHub->ProcessSysEx(msg, fromDevice, internal);
  if (mHub->replyArrived()) mFlags.replyReceived.store(true);
}

void StandInEditor::ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) {
  if (msg == nullptr || mFlags.transferInProgress.load() || mHub->requestPending() || msg->mStatus == 0) return;
  if (fromHardware) {
    mHub->ProcessMidiMsgFromDevice(msg);
  } else {
    mHub->ProcessMidiMsgFromDAW(msg, 0);
  }
}

void StandInEditor::OnParamChange(int idx) {
  note("change");
  if (idx == kMainTab) note("mainTab");
}

bool StandInEditor::SendMidiSysex2(const uint8_t* data, int size) {
  if (sendHook) sendHook(data, size);
  return IPluginBase::SendMidiSysex2(data, size);
}

void StandInEditor::OnParamChange2(int idx) {
  if (idx == kMainTab) {
    note("mainTab");
  } else {
    note(mHub->applyingIncoming() ? "applying" : "plain");
  }
}

// ---- services

bool StandInEditor::checksumCheckAndSend(unsigned char* message, int length) {
  if (!mFlags.midiIOSet.load()) {
    setStatusText(kMidiIONotSetText);
    return false;
  }
  if (message == nullptr || length <= 0) return false;
  sysex::applySendCheckSum(message, static_cast<size_t>(length));
  return SendMidiSysex(message, length);
}

void StandInEditor::setStatusText(const std::string& text) {
  std::lock_guard<std::mutex> lock(mRecordLock);
  mTexts.push_back(text);
}

void StandInEditor::displayCategoryName(const std::string& text) {
  std::lock_guard<std::mutex> lock(mRecordLock);
  mCategories.push_back(text);
}

void StandInEditor::DisplayProcessingIndicator(bool on) {
  mFlags.transferInProgress.store(false);
  if (!on) mHub->setRequestPending(false);
  std::lock_guard<std::mutex> lock(mRecordLock);
  mIndicator.push_back(on);
}

void StandInEditor::SetLibrarianRequestActive(bool active) { mHub->setLibrarianRequestActive(active); }

void StandInEditor::SetLibrarianStatusUnsaved(bool unsaved) {
  if (!unsaved) return;
  mHub->setRequestPending(false);
  mHub->disarmLibraryRequest();
  GetParam(kBankEditUnsaved)->SetClamped(1.0);
  GetParam(kDiscardBankData)->SetClamped(0.0);
  note("unsaved");
}

void StandInEditor::SendProgramChangeCommand(int program, int) {
  if (!mFlags.midiIOSet.load()) return;
  KIT_Mutex& mutex = GetMutex();
  const int channel = static_cast<int>(GetParam(kGlobalMidiChannel)->Value());
  const IMidiMsg msg(0, static_cast<uint8_t>(0xC0 | ((channel > 0 ? channel - 1 : 0) & 0x0F)),
                     static_cast<uint8_t>(std::clamp(program, 0, 100)), 0);
  SendMidiMsg(&msg);
  const int pacing = MIDIMessageManager::requestPacingMs(GetParam(kLibSyncTimer)->Value());
  note("program");
  // No pause holds the editor lock.
  const int levels = mutex.ReleaseAll();
  platform::sleepMicros(static_cast<uint64_t>(pacing) * 1000u);
  mutex.ReacquireAll(levels);
}

void StandInEditor::setArpTempoLayers(bool externalClock) {
  std::lock_guard<std::mutex> lock(mRecordLock);
  mArpExternal = externalClock;
}

void StandInEditor::logSysExOut(const std::vector<int>& message) {
  std::lock_guard<std::mutex> lock(mRecordLock);
  mSysexLog.push_back(message);
}

// ---- librarian

bool StandInEditor::hasUpperBank() const {
  std::lock_guard<std::mutex> lock(mRecordLock);
  return mUpper.has_value();
}

void StandInEditor::selectSlot(bool lower, int slot) {
  if (!lower) mTarget.store(slot);
  std::lock_guard<std::mutex> lock(mRecordLock);
  mSelections.emplace_back(lower, slot);
}

void StandInEditor::selectProgram(int program) { mTarget.store(program); }

bool StandInEditor::storeCollected(const CollectedPatch& patch) {
  const int target = mTarget.load();
  std::lock_guard<std::mutex> lock(mRecordLock);
  if (!mUpper || target < 0 || target >= kSlots) return false;
  (*mUpper)[static_cast<size_t>(target)] = patch;
  return true;
}

void StandInEditor::setCurrentPatchRecord(const std::string& name, const std::string& category) {
  std::lock_guard<std::mutex> lock(mRecordLock);
  mRecord = {name, category};
}

bool LoopbackRig::makeEditor(std::vector<std::string> tempoValues) {
  ed.reset();
  clock.clearSettleHooks();
  auto owned = std::make_unique<MidiPorts>(lb.makeBackend());
  ports = owned.get();
  ed = std::make_unique<StandInEditor>(std::move(owned), std::move(tempoValues));
  int out = 1, in = 1;
  if (ed->setExternalMIDIOut(out, "MIDI In") <= 0 || ed->setExternalMIDIIn(in, "MIDI Out") <= 0) return false;
  ed->flags().midiIOSet = true;
  clock.addSettleHook([this] { return sim.waitIdle(); });
  clock.addSettleHook([this] { return lb.drain(); });
  clock.addSettleHook([this] { return ports->waitIdle(); });
  return true;
}

}  // namespace hwtest
