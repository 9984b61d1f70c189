// The cases of the parameter dispatch for the librarian's buttons, fields and
// menus (bank and program steps, rename, search, category view, refresh,
// discard, overwrite, push and requests) and for the sound panels (cycling
// buttons, indicators, the arpeggiator's sync, section locks, pattern steps,
// tabs and overlays, the window size and first-run notice, the randomizer).
// Everything here runs inside OnParamChange, holding the editor lock.
#include <algorithm>

#include "editor/LayerTools.h"
#include "editor/TabSwitchFunctions.h"
#include "editor/Tavrin.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "librarian/FolderMenus.h"
#include "librarian/LibrarianMenus.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "uiconfig/ControlAction.h"
#include "uiconfig/ProgressIndicator.h"

namespace {

constexpr const char* kUnsavedRefused = "Save bank or Discard changes!";
constexpr const char* kSearchPlaceholder = "search...";
constexpr const char* kReleaseLocksLayer = "releaseAllLocksLayer";
constexpr int kSlots = LibrarianViewControl::kSlots;
constexpr int kArpTempoCC = 104;
constexpr int kArpClockCC = 105;
constexpr int kRenamePauseMs = 50;
constexpr size_t kNameBytes = sounddump::kNameLength;

// A button that advances another parameter by one, back to 0 past a limit.
struct Cycle {
  int button, target, limit;
};
constexpr Cycle kCycles[] = {
    {kVCADriveCurveTrigger, kVolumeDriveCurve, 2},        {kFilterTypeTrigger, kFilterType, 2},
    {kOscillator3RoutingTrigger, kOscillator3Routing, 2}, {kOscillator1WaveTrigger, kOscillator1Shape, 8},
    {kOscillator2WaveTrigger, kOscillator2Shape, 3},      {kOscillator3WaveTrigger, kOscillator3Shape, 3},
    {kOscillator1KeytrackTrigger, kOscillator1Keytrack, 0}, {kOscillator2KeytrackTrigger, kOscillator2Keytrack, 0},
    {kArpModeTrigger, kArpMode, 5},
};

// Whether every index the first stage takes past the semitones and the
// arpeggiator switch comes at or after the bank steps.
constexpr bool allFromBankSteps() {
  for (const Cycle& c : kCycles)
    if (c.button < kLibUpperNextBank) return false;
  for (int idx : {kUserInterfaceSize, kFirstRunExit, kOscillator2SyncTrigger, kLFO1ShapeTrigger, kArpSyncTrigger})
    if (idx < kLibUpperNextBank) return false;
  return true;
}

const Cycle* cycleOf(int button) {
  for (const Cycle& c : kCycles)
    if (c.button == button) return &c;
  return nullptr;
}

bool isOctave(int semitone) { return semitone >= 0 && semitone <= 96 && semitone % 12 == 0; }

// Characters of a UTF-8 text: its bytes that do not continue a sequence.
size_t characterCount(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A byte for a dump's name field: a-z upper-cased, bytes outside 7 bits blank.
uint8_t nameByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 0x80) return ' ';
  return (b >= 'a' && b <= 'z') ? static_cast<uint8_t>(b - 'a' + 'A') : b;
}

}  // namespace

// ---- helpers

void Tavrin::showProgress(bool show) {
  if (mProgress) mProgress->Hide(!show);
  if (mProgressLayer) mProgressLayer->Hide(!show);
}

void Tavrin::tabRefresh(int tab, int subPage) {
  showProgress(true);
  TabSwitchFunctions::mainTabSwitch(this, kMainTab, tab, subPage);
  showProgress(false);
}

IControl* Tavrin::layerControl(const std::string& layerName) const {
  return layertools::firstControl(namedLayer(layerName));
}

namespace {

// A plain value through the graphics context (the controls follow, no
// change call), or on the parameter alone without one.
void setFromPlug(Tavrin& plug, int idx, double value) {
  if (IGraphics* graphics = plug.GetGUI()) {
    graphics->SetParameterFromPlug(idx, value, false);
  } else if (IParam* param = plug.GetParam(idx)) {
    param->SetClamped(value);
  }
}

double valueOf(const Tavrin& plug, int idx) {
  const IParam* param = plug.GetParam(idx);
  return param ? param->Value() : 0.0;
}

// A text field's text (a text parameter's display text 0); its controls
// are redrawn.
void setFieldText(Tavrin& plug, int idx, const char* text) {
  IParam* param = plug.GetParam(idx);
  if (!param) return;
  param->SetDisplayText(0, text);
  if (ControlAction* action = param->GetControlAction()) {
    for (IControl* control : action->controls)
      if (control) control->SetDirty(false);
  }
}

std::string fieldText(const Tavrin& plug, int idx) {
  const IParam* param = plug.GetParam(idx);
  return param ? param->GetDisplayText(0) : "";
}

}  // namespace

// ---- first stage

bool Tavrin::panelFirstStage(int idx, int whole) {
  // Every case below is a semitone, the arpeggiator switch or an index from
  // the bank steps on: the sound's other parameters pass at once.
  static_assert(kOscillator1Semitone == 0 && kOscillator3Semitone == 2 && allFromBankSteps());
  if (idx > kOscillator3Semitone && idx != kArpOnOff && idx < kLibUpperNextBank) return false;
  if (idx >= kLibUpperNextBank && idx <= kLibLowerPreviousBank) {
    if (whole != 1) return false;
    bankStep(idx);
    return true;
  }
  if (idx >= kOscillator1Semitone && idx <= kOscillator3Semitone) {
    const int indicator = kOscillator1OctaveIndicator + (idx - kOscillator1Semitone);
    if (isOctave(whole)) {
      setFromPlug(*this, indicator, 1.0);
    } else if (valueOf(*this, indicator) == 1.0) {
      setFromPlug(*this, indicator, 0.0);
    }
    return false;
  }
  if (idx == kArpOnOff) {
    setFromPlug(*this, kArpOnOffIndicator, whole != 0 ? 1.0 : 0.0);
    return false;
  }
  if (idx == kUserInterfaceSize || idx == kFirstRunExit) {
    settingsCase(idx, whole);
    return true;
  }
  const Cycle* cycle = cycleOf(idx);
  const bool cycling = cycle || idx == kOscillator2SyncTrigger || idx == kLFO1ShapeTrigger || idx == kArpSyncTrigger;
  if (!cycling) return false;
  // A cycling button never reaches the tail; at 0 it does nothing at all.
  if (whole == 0) return true;
  if (cycle) {
    const int t = wholeValue(cycle->target);
    setFromPlug(*this, cycle->target, t > cycle->limit ? 0 : t + 1);
    OnParamChange(cycle->target);
  } else if (idx == kOscillator2SyncTrigger) {
    const int next = wholeValue(kOscillator2Sync) == 0 ? 1 : 0;
    if (next == 0) {
      if (IParam* sync = GetParam(kOscillator2Sync)) sync->Set(0.0);
      TabSwitchFunctions::mainTabSwitch(this, kMainTab, kSoundTab, 0);
    }
    setFromPlug(*this, kOscillator2Sync, next);
    OnParamChange(kOscillator2Sync);
  } else if (idx == kLFO1ShapeTrigger) {
    lfoShapeStep();
  } else {
    arpSyncStep();
  }
  return true;
}

void Tavrin::lfoShapeStep() {
  showProgress(true);
  const int c = wholeValue(kLFO1ShapeClock);
  int position = 0, shape = 0;
  if (c < 4) {
    position = c + 1;
    shape = wholeValue(kLFO1Shape) + 1;
  } else if (c <= 8) {
    hideLayer("lfo1ClockedLayer", false);
    position = c + 1;
    shape = c - 4;
  } else {
    hideLayer("lfo1ClockedLayer", false);
    hideLayer("lfo1ClockedLayer", true);
  }
  showProgress(false);
  setFromPlug(*this, kLFO1ShapeClock, position);
  setFromPlug(*this, kLFO1Shape, shape);
  OnParamChange(kLFO1Shape);
}

void Tavrin::arpSyncStep() {
  const bool clocked = wholeValue(kArpSyncIndicator) == 0;
  hideLayer(clocked ? "arpTempoKnob" : "arpTempoClock", true);
  hideLayer(clocked ? "arpTempoClock" : "arpTempoKnob", false);
  const int data = clocked ? wholeValue(kArpTempo) : wholeValue(kArpClock) + 1;
  const int cc = clocked ? kArpTempoCC : kArpClockCC;
  setFromPlug(*this, kArpSyncIndicator, clocked ? 1.0 : 0.0);
  IMidiMsg msg;
  msg.MakeControlChangeMsg(cc, data / 127.0, globalChannel());
  showText(kControlDisplayCC, ("CC|" + std::to_string(cc)).c_str());
  if (mHardwareChange.load() || !sendPermitted()) return;
  MIDIOutRoutingSwitch(&msg);
}

// ---- the settings file

void Tavrin::settingsCase(int idx, int whole) {
  if (idx == kFirstRunExit && whole == 0) return;
  auto missing = [this] {
    setStatusText(kSettingsMissingText);
    showText(kControlDisplayValue, "Contact support");
  };
  // Asked without waiting: a pipe of that name counts as missing.
  if (!UISettingsFile::exists(mSettingsPath)) {
    missing();
    return;
  }
  const auto before = mSettingsLines;
  if (idx == kUserInterfaceSize) {
    // The new size takes effect at the next start.
    static constexpr const char* kSizes[] = {"small", "normal", "large"};
    if (whole >= 0 && whole <= 2) mSettingsLines[1] = kSizes[whole];
    setStatusText("Size changes applied...");
    showText(kControlDisplayValue, "Reload project!");
  } else {
    if (whole == 1) mSettingsLines[2] = "yes";
    setStatusText("Set MIDI In and MIDI Out");
  }
  // The file is replaced only once the new lines are written; a failed write
  // leaves it, and the lines, as they were.
  if (!UISettingsFile::write(mSettingsPath, mSettingsLines)) {
    mSettingsLines = before;
    missing();
  }
  if (idx == kFirstRunExit) {
    hideLayer("firstRunNotification", true);
    DisplayProcessingIndicator(true);
    DisplayProcessingIndicator(false);
  }
}

// ---- section locks and pattern steps

void Tavrin::lockOrPatternCase(int idx, int whole) {
  if (idx >= kSectionLockOsc1 && idx <= kSectionLockArp) {
    if (whole == 1) {
      mSectionLock.store(true);
      grayOutLayer(kReleaseLocksLayer, false);
      return;
    }
    // The arpeggiator's lock stays out of the recompute.
    bool any = false;
    for (int lock = kSectionLockOsc1; lock < kSectionLockArp; ++lock) any = any || valueOf(*this, lock) == 1.0;
    mSectionLock.store(any);
    if (!any) grayOutLayer(kReleaseLocksLayer, true);
    return;
  }
  sendSoundOnly();
}

// ---- second stage: the tab and panel cases

Tavrin::CaseEnd Tavrin::tabCase(int idx, int& whole) {
  switch (idx) {
    case kOscillator1Shape:
    case kOscillator2Shape:
    case kOscillator3Shape:
      tabRefresh(wholeValue(kMainTab), 0);
      return CaseEnd::Tail;
    case kPatternLength:
      showProgress(true);
      if (valueOf(*this, kMainTab) == static_cast<double>(kModArpTab)) {
        TabSwitchFunctions::mainTabSwitch(this, kMainTab, kModArpTab, 0);
      }
      showProgress(false);
      return CaseEnd::Tail;
    case kMainTab:
      if (whole == kLibrarianTab) {
        if (auto* menu = dynamic_cast<BankEditPopupMenu*>(layerControl("BANKEDITMENU"))) menu->AddMenuItemsIn(this);
      }
      TabSwitchFunctions::mainTabSwitch(this, kMainTab, whole, 0);
      updateBankAndProgramMenuNames(false);
      return CaseEnd::Tail;
    case kShowLibrarian:
    case kShowModMatrix: {
      const int tab = idx == kShowLibrarian ? (whole == 0 ? kSoundTab : kLibrarianTab)
                                            : (whole != 0 ? kModArpTab : kSoundTab);
      if (IParam* mainTab = GetParam(kMainTab)) mainTab->SetClamped(tab);
      tabRefresh(tab, 0);
      whole = tab;
      return CaseEnd::Tail;
    }
    default:
      return CaseEnd::None;
  }
}

Tavrin::CaseEnd Tavrin::panelCase(int idx, int whole) {
  switch (idx) {
    case kArpTempo:
      if (valueOf(*this, kOverrideTempo) == 0.0) mArpTempoIndex.store(whole);
      return CaseEnd::Tail;
    case kViewMIDIFilterSettings:
      if (whole == 1) {
        hideLayer("midiFilterSettings", false);
      } else {
        hideLayer("midiFilterSettings", true);
        showProgress(true);
        showProgress(false);
      }
      return CaseEnd::Tail;
    case kDisplayAboutWindow:
      if (whole != 0) hideLayer("aboutWindow", false);
      return CaseEnd::Tail;
    case kExitAboutWindow:
      if (whole != 0) {
        hideLayer("aboutWindow", true);
        showProgress(true);
        showProgress(false);
      }
      return CaseEnd::Tail;
    case kReleaseAllLocks:
      if (whole == 1) {
        for (int lock = kSectionLockOsc1; lock < kSectionLockArp; ++lock) setFromPlug(*this, lock, 0.0);
        setFromPlug(*this, kReleaseAllLocks, 0.0);
        grayOutLayer(kReleaseLocksLayer, true);
        mSectionLock.store(false);
      }
      return CaseEnd::Tail;
    case kRandomize:
      if (mHub) mHub->randomizeCommand(valueOf(*this, kRandomize));
      return CaseEnd::Return;
    default:
      return CaseEnd::None;
  }
}

// ---- librarian cases of the second stage

Tavrin::CaseEnd Tavrin::librarianCase(int idx, int whole) {
  switch (idx) {
    case kPatchUp:
    case kPatchDown:
      programStep(idx, whole);
      return CaseEnd::Return;
    case kControlLibrary:
      mControlLibrary.store(whole == 1);
      updateBankAndProgramMenuNames(false);
      return CaseEnd::Tail;
    case kPatchRename:
      renamePatch();
      return CaseEnd::Tail;
    case kPatchSearchString:
      return searchText();
    case kPatchSearch:
      searchSwitch(whole);
      return CaseEnd::Tail;
    case kCategorySelection:
      categorySwitch(whole);
      return CaseEnd::Tail;
    case kRefreshFolders:
      refreshFolders();
      return CaseEnd::Tail;
    case kDiscardBankData:
      if (whole == 1) discardBankEdits();
      return CaseEnd::Tail;
    default:
      return CaseEnd::None;
  }
}

Tavrin::CaseEnd Tavrin::sendCase(int idx, int whole) {
  switch (idx) {
    case kOverwriteBank:
      // The current sound into the upper slot at targetSlot.
      if (whole == 1 && !(mLibrarianView && mLibrarianView->lowerListActive())) {
        mFlags.push.store(false);
        startJob(SenderJob::sendSound(true, false, mFlags));
      }
      return CaseEnd::Tail;
    case kPatchName:
    case kCategoryName:
      if (mHub) mHub->disarmLibraryRequest();
      sendSoundOnly();
      return CaseEnd::Tail;
    case kPushArrangement:
      if (whole == 0) return CaseEnd::Return;
      mFlags.globalsSent.store(false);
      mFlags.push.store(true);
      if (mHub) mHub->disarmLibraryRequest();
      if (mFlags.midiIOSet.load()) startJob(SenderJob::sendSound(false, false, mFlags));
      return CaseEnd::Tail;
    case kRequestTempData:
      if (whole == 0) return CaseEnd::Return;
      if (mHub) mHub->setRequestPending(whole == 1);
      if (mHub && mFlags.midiIOSet.load() && !jobRunning()) mHub->startEditBufferRequest();
      return CaseEnd::Tail;
    default:
      return CaseEnd::None;
  }
}

// ---- librarian cases

void Tavrin::bankStep(int idx) {
  const bool upper = idx == kLibUpperNextBank || idx == kLibUpperPreviousBank;
  const bool next = idx == kLibUpperNextBank || idx == kLibLowerNextBank;
  if (upper && valueOf(*this, kBankEditUnsaved) == 1.0) {
    setStatusText(kUnsavedRefused);
    return;
  }
  if (!mLibrarian) return;
  const LowerListSource source = upper ? LowerListSource::BankFiles : lowerListSource();
  const PatchFileList& files = mLibrarian->lowerList(source);
  const int count = static_cast<int>(files.size());
  if (count == 0) return;
  // The list's real size bounds the step, whatever range the selection has.
  const int selection = upper ? kPatchSelectionListUpper : kPatchSelectionListLower;
  const int w = wholeValue(selection);
  const int i = next ? (w >= 0 && w + 1 < count ? w + 1 : 0) : (w > 0 ? std::min(w - 1, count - 1) : count - 1);
  const PatchFile* file = PatchLibrarian::fileAt(files, i);
  if (!file) return;

  IParam* param = GetParam(selection);
  if (param) param->SetClamped(i);
  if (IControl* list = rememberedControl(selection); list && param) list->SetValueFromPlug(param->GetNormalized());
  (upper ? mLibrarian->upperFileIndex : mLibrarian->lowerFileIndex) = i;
  if (IParam* open = GetParam(upper ? kCurrentOpenPatchBankL : kCurrentOpenPatchBankR)) open->SetClamped(i);
  std::string& folderName = upper ? upperFolderName : lowerFolderName;
  std::string& fileName = upper ? upperFileName : lowerFileName;
  folderName = file->folderName;
  fileName = file->fileName;

  const char* menuLayer = upper ? "LeftPatchPopupMenu" : lowerMenuLayerName(source);
  if (auto* menu = dynamic_cast<FolderPopupMenu*>(layerControl(menuLayer))) {
    menu->refreshFolderStructure(mLibrarian.get(), this, i, fileName, folderName);
  }
  if (upper) {
    updatePatchLibrarianView(0);
    updateBankAndProgramMenuNames(false);
  } else {
    updatePatchLibrarianView(1);
  }
}

void Tavrin::programStep(int idx, int whole) {
  const bool up = idx == kPatchUp;
  if (!up && whole == 0) return;
  if (!up || whole == 1) {
    if (valueOf(*this, kPartLock) == 1.0) return;
    if (mHub) mHub->setInterfaceUpdate(false);
    if (!mControlLibrary.load()) {
      const int c = wholeValue(kCurrentPatch);
      const int program = up ? (c >= kSlots - 1 ? 0 : c + 1) : (c <= 0 ? kSlots - 1 : std::min(c - 1, kSlots - 1));
      setFromPlug(*this, kCurrentPatch, program);
      if (mLibrarianView) mLibrarianView->selectUpperSlot(program);
      if (mLibrarian) mLibrarian->targetSlot.store(program);
      // Without an output port the bank change has shown "Set MIDI I/O
      // First!"; a request could only time out, holding the job thread.
      if (BankChangeMessage() && mFlags.midiIOSet.load()) {
        SetLibrarianRequestActive(false);
        if (mHub) mHub->startPartRequest(mCurrentProgram.load());
        pauseUnlocked(requestPacing());
        sendPartDataBackToHardware(0);
      }
    } else {
      // The selected list steps; the upper list's patch at that slot goes out.
      const bool lower = mLibrarianView && mLibrarianView->lowerListActive();
      const int c = mLibrarianView ? mLibrarianView->currentSlot() : 0;
      const int slot = up ? (c >= kSlots - 1 ? 0 : c + 1) : (c <= 0 ? kSlots - 1 : c - 1);
      if (mLibrarianView) {
        if (lower) {
          mLibrarianView->selectLowerSlot(slot);
        } else {
          mLibrarianView->selectUpperSlot(slot);
        }
      }
      if (!lower && mLibrarian) mLibrarian->targetSlot.store(slot);
      if (IParam* current = GetParam(kCurrentPatch)) current->SetClamped(slot);
      setFromPlug(*this, kCurrentPatch, slot);
      if (BankChangeMessage()) sendPatchToDeviceFromLibrarian(slot, false);
    }
  }
  if (mLibrarianView) mLibrarianView->setCurrentSlot(mCurrentProgram.load());
  updateUserInterfaceAndMenus();
}

bool Tavrin::feedToLibrarian(const std::vector<uint8_t>& message) {
  if (!mLibrarian || message.empty()) return false;
  SetLibrarianRequestActive(true);
  const uint64_t before = mLibrarian->storedPatchCount();
  feedSysEx(message.data(), static_cast<int>(message.size()));
  if (mHub) {
    mHub->setRequestPending(false);
    mHub->disarmLibraryRequest();
  }
  return mLibrarian->storedPatchCount() != before;
}

void Tavrin::renamePatch() {
  if (mRenameClosed.load()) return;
  PatchFile* file = mLibrarian ? mLibrarian->upperFile() : nullptr;
  if (file) {
    file->patches.resize(kSlots);
    const int slot = mLibrarian->targetSlot.load();
    const LibrarianPatch* patch = slot >= 0 && slot < kSlots ? &file->patches[static_cast<size_t>(slot)] : nullptr;
    if (patch && !patch->messages.empty() && patch->messages[0].size() >= sounddump::kLength) {
      // The field's text: the entry leaves it at display text 0.
      const std::string name = fieldText(*this, kPatchRename);
      const std::vector<uint8_t>& source = patch->messages[0];
      std::vector<uint8_t> dump(source.begin(), source.begin() + sounddump::kLength);
      for (size_t i = 0; i < kNameBytes; ++i) dump[sounddump::kNameFirst + i] = i < name.size() ? nameByte(name[i]) : ' ';
      DisplayProcessingIndicator(true);
      // The collector stores name and dump together, or neither.
      const bool stored = feedToLibrarian(dump);
      pauseUnlocked(kRenamePauseMs);
      if (stored) SetLibrarianStatusUnsaved(true);
      DisplayProcessingIndicator(false);
    }
  }
  hideLayer("patchRename", true);
  mRenameClosed.store(true);
}

Tavrin::CaseEnd Tavrin::searchText() {
  const std::string text = fieldText(*this, kPatchSearchString);
  const size_t characters = characterCount(text);
  if (characters == 0) {
    mSearchMode.store(false);
    setFieldText(*this, kPatchSearchString, kSearchPlaceholder);
    hideLayer("RightPatchPopupMenu", false);
    return CaseEnd::Tail;
  }
  if (characters == 1) {
    setFieldText(*this, kPatchSearchString, kSearchPlaceholder);
    setStatusText("Enter 2 digits or more!");
    return CaseEnd::Tail;
  }
  // The field's own prompt is no search: an entry calls the dispatch twice,
  // and the second call finds the prompt the first one put back.
  if (!mSearchMode.load() || text == kSearchPlaceholder || !mLibrarian) return CaseEnd::Tail;
  mLibrarian->clearDataStructures(PatchLibrarian::kSearchTree);
  mLibrarian->createNewSearchPatchFiles(text);
  if (mLibrarian->searchFiles.empty()) {
    setStatusText("No results - Try another keyword!");
    showText(kControlDisplayValue, "Tip: Letter size matters..");
    setFieldText(*this, kPatchSearchString, kSearchPlaceholder);
    mLibrarian->releaseDroppedFiles();
    return CaseEnd::Return;
  }
  hideLayer("RightPatchPopupMenu", true);
  patchTypeChanged(0, browseKind(LowerListSource::SearchResults), false);
  hideLayer("RightSearchPopupMenu", false);
  return CaseEnd::Return;
}

void Tavrin::searchSwitch(int whole) {
  showProgress(true);
  if (whole == 1) {
    hideLayer("categoryLimit", true);
    hideLayer("searchField", false);
    mSearchMode.store(true);
  } else {
    hideLayer("categoryLimit", false);
    mSearchMode.store(false);
    setFieldText(*this, kPatchSearchString, kSearchPlaceholder);
    hideLayer("searchField", true);
    patchTypeChanged(0, browseKind(LowerListSource::BankFiles), false);
    hideLayer("RightPatchPopupMenu", false);
  }
  showProgress(false);
}

void Tavrin::categorySwitch(int whole) {
  for (const char* layer : {"RightSearchPopupMenu", "RightCategoryPopupMenu", "RightPatchPopupMenu"}) {
    hideLayer(layer, true);
  }
  IControl* search = rememberedControl(kPatchSearch);
  if (whole > 0) {
    mCategoryMode.store(true);
    patchTypeChanged(0, browseKind(LowerListSource::Categories), false);
    hideLayer("RightCategoryPopupMenu", false);
    if (search) search->GrayOut(true);
  } else {
    mCategoryMode.store(false);
    patchTypeChanged(0, browseKind(LowerListSource::BankFiles), false);
    hideLayer("RightPatchPopupMenu", false);
    if (search) search->GrayOut(false);
    hideLayer("RightSearchPopupMenu", true);
  }
}

void Tavrin::refreshFolders() {
  // A rescan would drop the upper bank's unsaved edits.
  if (valueOf(*this, kBankEditUnsaved) == 1.0) {
    setStatusText(kUnsavedRefused);
    return;
  }
  patchTypeChanged(0, browseKind(lowerListSource()), true);
}

void Tavrin::discardBankEdits() {
  DisplayProcessingIndicator(true);
  hideLayer("discardChangesLayerRight", true);
  hideLayer("saveChangesLayer", false);
  hideLayer("patchRename", true);
  setFromPlug(*this, kBankEditUnsaved, 0.0);
  hideLayer("LeftPatchPopupMenu", false);
  // Each list keeps the file its selection names; the folder names stay.
  if (mLibrarian) {
    if (const PatchFile* upper = PatchLibrarian::fileAt(mLibrarian->patchFiles, wholeValue(kPatchSelectionListUpper))) {
      upperFileName = upper->fileName;
    }
    const PatchFileList& lowerList = mLibrarian->lowerList(lowerListSource());
    if (const PatchFile* lower = PatchLibrarian::fileAt(lowerList, wholeValue(kPatchSelectionListLower))) {
      lowerFileName = lower->fileName;
    }
  }
  OnParamChange(kRefreshFolders);
  DisplayProcessingIndicator(false);
}
