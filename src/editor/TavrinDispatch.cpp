// The parameter dispatch: its frame (lock, stages, common tail), the start
// rule of hub jobs, the MIDI and clock setting cases and the cancel button.
#include "editor/LayerTools.h"
#include "editor/Tavrin.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "uiconfig/ControlAction.h"

namespace {

constexpr int kFirstHostBlock = kMIDIFilterDAWCCPassThrough;  // 184 .. 197: the fourteen block flags
constexpr double kArpTimeScale = 1.27;

// The section locks and the pattern steps (event, time and glide of the
// sixteen steps) have their cases beside the sound panels.
constexpr bool isSectionLock(int idx) { return idx >= kFirstSectionLock && idx <= kLastSectionLock; }
constexpr bool isPatternStep(int idx) { return idx >= kPatternStep01Event && idx <= kPatternStep16Glide; }
// The parameters a second-stage case may serve: from the first oscillator's
// shape, the lowest with a case, to the main tab, the highest.
constexpr bool mayHaveSecondStageCase(int idx) { return idx >= kOscillator1Shape && idx <= kMainTab; }

}  // namespace

bool Tavrin::startJob(const SenderJob& job, const std::function<void()>& prepare) {
  return mHub != nullptr && mHub->startJob(job, prepare);
}

void Tavrin::sendSoundOnly() {
  if (mHub && mFlags.midiIOSet.load()) mHub->startJobAfterRunning(SenderJob::sendSound(false, true, mFlags));
  mFlags.globalsSent.store(false);
}

void Tavrin::OnParamChange(int paramIdx) {
  EditorScope lock(GetMutex());
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  const double value = param->Value();
  int whole = static_cast<int>(value);
  ControlAction* action = param->GetControlAction();
  double sent = value;

  if (firstStage(paramIdx, whole, sent)) return;
  if (GetGUI()) controlDisplay(paramIdx, sent);
  // Section locks and pattern steps have their cases with the sound panels;
  // every other index may have a second-stage case.
  if (isSectionLock(paramIdx) || isPatternStep(paramIdx)) {
    lockOrPatternCase(paramIdx, whole);
  } else if (mayHaveSecondStageCase(paramIdx) && secondStage(paramIdx, whole)) {
    return;
  }
  if (!action) return;
  runLayerGroup(action, whole);
  processControlAction(action, paramIdx, sent);
}

bool Tavrin::firstStage(int idx, int whole, double& sent) {
  if (idx == kArpSwing || idx == kArpDelay) {
    sent = GetParam(idx)->Value() / kArpTimeScale;
    return false;
  }
  if (idx == kGlobalClock) {
    setArpTempoLayers(whole > 0);
    if (mFlags.midiIOSet.load()) {
      mFlags.globalsSent.store(false);
      SenderJob job;
      job.mode = SenderJob::kSendSound;
      job.toLibrarian = false;
      job.globalStep = true;
      startJob(job);
    }
    return false;
  }
  // The bank steps at 1, the indicators, the cycling buttons, the window
  // size and the first-run exit.
  return panelFirstStage(idx, whole);
}

bool Tavrin::secondStage(int idx, int& whole) {
  if (idx == kCancelDataRequest) {
    if (whole == 1 && mHub) mHub->setCancelRequested(true);
    return true;
  }
  CaseEnd end = tabCase(idx, whole);
  if (end == CaseEnd::None) end = panelCase(idx, whole);
  if (end == CaseEnd::None) end = librarianCase(idx, whole);
  if (end == CaseEnd::None) end = sendCase(idx, whole);
  switch (end) {
    case CaseEnd::Return: return true;
    case CaseEnd::Tail: return false;
    case CaseEnd::None: break;
  }
  return midiSettingCase(idx, whole);
}

bool Tavrin::midiSettingCase(int idx, int whole) {
  const bool on = whole == 1;
  if (idx >= kFirstHostBlock && idx < kFirstHostBlock + SharedFlags::kPassThroughCount) {
    mFlags.blocked[idx - kFirstHostBlock].store(!on);
    return false;
  }
  IGraphics* graphics = GetGUI();
  switch (idx) {
    case kDeviceOutSelection:
      selectPort(true, whole);
      break;
    case kDeviceInSelection:
      selectPort(false, whole);
      break;
    case kMIDIFilterTrackIncomingMIDI:
      mFlags.lightTracksInput.store(on);
      break;
    case kMIDIFilterDirectToHardware:
      if (on) {
        if (graphics) graphics->SetParameterFromPlug(kMIDIFilterToDAWBuffer, 0.0, false);
        mFlags.queueRouting.store(false);
        sendQueuedNow();
      }
      break;
    case kMIDIFilterToDAWBuffer:
      if (on) {
        if (graphics) graphics->SetParameterFromPlug(kMIDIFilterDirectToHardware, 0.0, false);
        mFlags.queueRouting.store(true);
      }
      break;
    case kSendMIDIClockPointer:
      mFlags.clockStartStopEnabled.store(on);
      break;
    case kSendMIDIClockInfo:
      // Either way the next audio block launches the timing-clock job again:
      // on, with the tempo of that moment; off, a job that returns at once.
      mFlags.timingClockEnabled.store(on);
      if (on) {
        if (mHub) mHub->resetContinuousClock(false);
        mFlags.clockLaunched.store(false);
      } else {
        mFlags.clockLaunched.store(false);
        if (mHub) mHub->resetContinuousClock(true);
      }
      break;
    case kAdjustDAWOffset:
      mOutputOffset.store(2 * whole + GetBlockSize());
      break;
    case kGlobalLocalControl:
      mFlags.localControl.store(on);
      break;
    default:
      break;
  }
  return false;
}

void Tavrin::selectPort(bool output, int whole) {
  IParam* param = GetParam(output ? kDeviceOutSelection : kDeviceInSelection);
  const char* text = param ? param->GetDisplayText(whole) : nullptr;
  const std::string name = text ? text : "";
  int index = whole;
  if (!output) {
    setExternalMIDIIn(index, name.c_str());
    return;
  }
  setExternalMIDIOut(index, name.c_str());
  if (index > 0) {
    mFlags.midiIOSet.store(true);
    sendSysExInitialization();
  } else {
    if (mHub) mHub->resetContinuousClock(true);
    mFlags.midiIOSet.store(false);
  }
}

void Tavrin::runLayerGroup(ControlAction* action, int whole) {
  layertools::showOnlySubLayer(action->layerGroup, whole);
}

void Tavrin::sendSysExInitialization() {
  KIT_MutexLock lock(GetMutex());
  if (!mFlags.midiIOSet.load() || mFlags.transferInProgress.load()) return;
  SenderJob job;
  job.mode = SenderJob::kDeviceEnquiry;
  // Reply-arrived is cleared only for a job that starts; the job itself
  // marks the enquiry as waiting for the global dump.
  startJob(job, [this] {
    if (mHub) mHub->setReplyArrived(false);
  });
  pauseUnlocked(100);
}

void Tavrin::pauseUnlocked(int ms) {
  KIT_MutexLetGo unlocked(GetMutex());
  platform::sleepMicros(static_cast<uint64_t>(ms) * 1000);
}
