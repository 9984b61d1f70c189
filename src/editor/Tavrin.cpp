// The plug-in class: identity, start-up and tear-down, the folders and the
// guarded send path.
#include "editor/Tavrin.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>

#include "editor/DebuggerOutput.h"
#include "editor/LayerTools.h"
#include "editor/LibrarianSlots.h"
#include "editor/TabSwitchFunctions.h"
#include "editor/TavrinDialogs.h"
#include "editor/UISettingsFile.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "framework/ITextControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "hardware/SysexProtocol.h"
#include "kit/utf8.h"
#include "librarian/FolderMenus.h"
#include "librarian/HeaderMenus.h"
#include "librarian/LibrarianMenus.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "platform/folders.h"
#include "shim/winbase.h"
#include "uiconfig/ControlAction.h"
#include "uiconfig/ProgressIndicator.h"
#include "uiconfig/UIConfigManager.h"

namespace {

constexpr int32_t fourCharCode(const char (&c)[5]) {
  return static_cast<int32_t>((static_cast<uint32_t>(c[0]) << 24) | (static_cast<uint32_t>(c[1]) << 16) |
                              (static_cast<uint32_t>(c[2]) << 8) | static_cast<uint32_t>(c[3]));
}

constexpr const char* kEffectName = "Tavrin Editor";
constexpr const char* kProductName = "";
constexpr const char* kVendor = "Quillfen";
constexpr int32_t kVendorVersion = 0x10100;
constexpr int32_t kUniqueId = fourCharCode("bbnt");
constexpr int32_t kVendorId = fourCharCode("Qlf1");
constexpr const char* kChannelIO = "2-2";
constexpr int kLatency = 128;

std::atomic<HardwarePortsFactory> sPortsFactory{nullptr};

// Every named layer the editor keeps, in the order they are looked up.
constexpr const char* kNamedLayers[] = {
    "root", "multiModeMixer", "patchLibrarian", "arpTempoKnob", "arpTempoClock", "lfo1ClockedLayer",
    "saveChangesLayer", "discardChangesLayerRight", "aboutWindow", "firstRunNotification", "midiFilterSettings",
    "categoryLimit", "osc1KeytrackBtn", "osc1UnisonKnob", "osc1AmpEnvFade", "osc2KeytrackBtn", "osc2AmpEnvFade",
    "oscillator2Parameters", "oscillator3Parameters", "arpeggiator", "patchRename", "miniMixer", "searchField",
    "releaseAllLocksLayer"};
// Hidden at start (the fifteen pattern step overlays follow).
constexpr const char* kHiddenAtStart[] = {
    "lfo1ClockedLayer", "saveChangesLayer", "discardChangesLayerRight", "aboutWindow", "firstRunNotification",
    "midiFilterSettings", "categoryLimit", "osc1KeytrackBtn", "osc1UnisonKnob", "osc1AmpEnvFade", "osc2KeytrackBtn",
    "osc2AmpEnvFade", "oscillator2Parameters", "oscillator3Parameters"};

// Controls remembered by their parameter.
constexpr int kRememberedParams[] = {
    kRandomize, kPatchSearch, kPatchSelectionListUpper, kPatchSelectionListLower, kDeviceOutSelection,
    kDeviceInSelection, kPatchRename, kControlDisplayName, kControlDisplayValue, kControlDisplayCC, kPatchName,
    kControlDisplayCategory, kControlDisplayMIDIOutDelay, kControlLibrary, kShowLibrarian};

// The nineteen setting switches of the start and their start values.
struct StartSwitch {
  int idx;
  double value;
};
constexpr StartSwitch kStartSwitches[] = {
    {kMIDIFilterDAWCCPassThrough, 1},   {kMIDIFilterDAWPCPassThrough, 1},  {kMIDIFilterDAWNotePassThrough, 1},
    {kMIDIFilterDAWPPPassThrough, 1},   {kMIDIFilterDAWPAPassThrough, 1},  {kMIDIFilterDAWCAPassThrough, 1},
    {kMIDIFilterDAWSEPassThrough, 0},   {kMIDIFilterHWCCPassThrough, 1},   {kMIDIFilterHWPCPassThrough, 1},
    {kMIDIFilterHWNotePassThrough, 1},  {kMIDIFilterHWPPPassThrough, 1},   {kMIDIFilterHWPAPassThrough, 1},
    {kMIDIFilterHWCAPassThrough, 1},    {kMIDIFilterHWSEPassThrough, 1},   {kMIDIFilterTrackIncomingMIDI, 1},
    {kMIDIFilterDirectToHardware, 1},   {kMIDIFilterToDAWBuffer, 0},       {kSendMIDIClockPointer, 0},
    {kSendMIDIClockInfo, 0}};
static_assert(std::size(kStartSwitches) == 19, "nineteen setting switches");

template <class Menu>
IControl* makeMenu(Tavrin* plug, PatchLibrarian* librarian, IRECT rect) {
  return new Menu(plug, librarian, rect, plug);
}

struct MenuLayer {
  int id;
  const char* name;
  IControl* (*make)(Tavrin*, PatchLibrarian*, IRECT);
  IRECT rect;
  bool hidden;
};
const MenuLayer kMenuLayers[] = {
    {70, "LeftPatchPopupMenu", &makeMenu<LeftPatchPopupMenu>, IRECT(110, 213, 530, 237), true},
    {71, "RightPatchPopupMenu", &makeMenu<RightPatchPopupMenu>, IRECT(800, 213, 1220, 237), true},
    {74, "BANKEDITMENU", &makeMenu<BankEditPopupMenu>, IRECT(560, 213, 640, 237), true},
    {75, "RightCategoryPopupMenu", &makeMenu<RightCategoryPopupMenu>, IRECT(800, 213, 1220, 237), true},
    {76, "PROGRAMNUMBERMENU", &makeMenu<ProgramNumberPopupMenu>, IRECT(482, 58, 532, 84), false},
    {77, "BANKNUMBERMENUPROGRAMS", &makeMenu<BankNumberPopupMenu>, IRECT(456, 58, 482, 84), false},
    {78, "RightSearchPopupMenu", &makeMenu<RightSearchPopupMenu>, IRECT(800, 213, 1220, 237), true},
    {80, "PROGBANKNAMEMENUPROGRAMS", &makeMenu<ProgBankNamePopupMenu>, IRECT(456, 58, 482, 84), true},
};

constexpr const char* kDataFolderNotMadeText = "Data folder cannot be made!";
constexpr const char* kDataFolderReadOnlyText = "Data folder is read-only!";

int scaled(int v, double scale) { return static_cast<int>(v * scale); }

}  // namespace

void SetHardwarePortsFactory(HardwarePortsFactory factory) { sPortsFactory.store(factory); }

Tavrin::Tavrin(IPluginInstanceInfo info)
    : IPluginVST(info, kNumAutomatedParams, kChannelIO, 0, kEffectName, kProductName, kVendor, kVendorVersion, kUniqueId,
                 kVendorId, kLatency, true, true, true) {
  // The dialog resources are linked into the list with this file.
  (void)patchSaveDialogResource();
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  mSampleRate = GetSampleRate();
  // The data folder is first needed now: the scan below reads its Patches
  // folder, and the settings and the log live in it.
  const platform::FolderState dataFolder = platform::makeDataFolder();
  mDebugLogPath = getDataFolder() + kDebugLogFileName;
  mDebugLogOn = DebuggerOutput::openDebugFile(mDebugLogPath);
  mSettingsPath = getDataFolder() + "Tavrin Editor UI.txt";
  const UISettingsFile::Contents settings = UISettingsFile::read(mSettingsPath);
  mSettingsLines = settings.lines;
  mUIScale = settings.scale;
  mTheme = settings.theme;
  log("INITIALIZATION STARTED!");
  SetLatency(kLatency);
  log("Data folder located at " + getDataFolder());
  // Every parameter exists, none of them shown to the host.
  initialize(info, 0, kParameterCount, kChannelIO, 0, kEffectName, kProductName, kVendor, kVendorVersion, kUniqueId,
             kVendorId, kLatency, true, true, true);
  addNonAutomateParamCount(kParameterCount);
  // The port menus list the ports, so the ports come before the window.
  const HardwarePortsFactory makePorts = sPortsFactory.load();
  SetHardwarePorts(makePorts ? makePorts() : makeRtMidiHardwarePorts());
  buildWindow(info);
  // Without its folder the plug-in still runs (nothing to scan, nothing
  // saved there). The user is told once, when the window first shows: the
  // host's resets during its start write the status line before that.
  if (dataFolder == platform::FolderState::NotMade) mDataFolderNotice = kDataFolderNotMadeText;
  if (dataFolder == platform::FolderState::NotWritable) mDataFolderNotice = kDataFolderReadOnlyText;
}

void Tavrin::OnGUIOpen() {
  KIT_MutexLock lock(GetMutex());
  if (mDataFolderNotice.empty()) return;
  setStatusText(mDataFolderNotice);
  mDataFolderNotice.clear();
}

void Tavrin::buildWindow(IPluginInstanceInfo) {
  mPatchManager = std::make_unique<PatchManager>(this);
  log("PATCH MANAGER INITIALIZED...");
  LibrarianHooks hooks;
  hooks.logLine = [this](const std::string& line) { log(line); };
  hooks.setUpperFileName = [this](const std::string& name) { upperFileName = name; };
  hooks.setUpperFolderName = [this](const std::string& name) { upperFolderName = name; };
  // Save As asks through the window's own file prompt; without a window it
  // is answered as cancelled.
  hooks.promptForSaveFile = [this](const std::string& fileName, const std::string& folder,
                                   const std::string& extension) {
    IGraphics* graphics = GetGUI();
    if (!graphics) return std::string();
    KIT_String chosen(fileName.c_str());
    KIT_String dir(folder.c_str());
    graphics->PromptForFile(&chosen, kFileSave, &dir, extension.c_str());
    return std::string(chosen.Get());
  };
  hooks.statusText = [this](const std::string& text) { setStatusText(text); };
  mLibrarian = std::make_unique<PatchLibrarian>(std::move(hooks));
  log("PATCH LIBRARIAN INITIALIZED...");
  mLibrarian->loadPatchesFromFilesystem(getPatchesFolderStr());
  log("PATCH LIBRARIAN COMPLETED LOADING SINGLES...");

  const int width = scaled(kWidth, mUIScale);
  const int height = scaled(kHeight, mUIScale);
  IGraphics* graphics = MakeGraphics(this, width, height, 0);
  log("STARTING USER INTERFACE CONFIGURATION...");
  mUIConfig = std::make_unique<UIConfigManager>([this](const std::string& line) { log(line); });
  UIConfigServices services;
  services.makePatchBrowser = [this](IPluginBase* plug, int x, int y, int idx, IBitmap* bitmap, IRECT rect,
                                     double scale) -> IControl* {
    return new LibrarianViewControl(plug, this, x, y, idx, bitmap, rect, mLibrarian.get(), scale);
  };
  mUIConfig->readUIConfig(graphics, this, services, mTheme, mUIScale);
  log("USER INTERFACE CONFIGURATION COMPLETED... BUILDING UI");

  lookUpLayers();
  rememberControls();
  if (IControl* randomize = rememberedControl(kRandomize)) randomize->GrayOut(true);
  hideLayer("patchRename", true);
  hideLayer("searchField", true);
  graphics->AttachBackground(102, "resources/img/main-frame-bg.png", mUIScale);
  AttachGraphics(graphics);
  log("Layers attached...");

  buildProgressOverlay(width, height);
  buildHub();
  mPatchManager->init();
  log("Control set 1 attached");
  fillBankList(kPatchSelectionListUpper, "Bank Selection List 1", 0);
  fillBankList(kPatchSelectionListLower, "Bank Selection List 2", 1);
  buildLibrarianMenus();
  log("Librarian menus attached");
  applyStartValues();
}

void Tavrin::lookUpLayers() {
  auto add = [this](const std::string& name) {
    ControlLayer* layer = mUIConfig->layer(name);
    if (!layer) {
      reportMissing("layer " + name);
      return;
    }
    mLayers[name] = layer;
  };
  for (const char* name : kNamedLayers) add(name);
  layertools::forEachPatternOverlay(layertools::kFirstPatternOverlay, add);
  hideLayer("root", false);
  // No id of the mixer's sub-layers is -1: all of them start hidden.
  layertools::showOnlySubLayer(namedLayer("multiModeMixer"), -1);
  for (const char* name : kHiddenAtStart) hideLayer(name, true);
  layertools::forEachPatternOverlay(layertools::kFirstPatternOverlay,
                                    [this](const std::string& name) { hideLayer(name, true); });
}

void Tavrin::rememberControls() {
  for (int idx : kRememberedParams) {
    IParam* param = GetParam(idx);
    ControlAction* action = param ? param->GetControlAction() : nullptr;
    if (!action || action->controls.empty()) {
      reportMissing("control of parameter " + std::to_string(idx));
      continue;
    }
    mRemembered[idx] = action->controls.front();
  }
  for (const StartSwitch& s : kStartSwitches) {
    IParam* param = GetParam(s.idx);
    ControlAction* action = param ? param->GetControlAction() : nullptr;
    if (action && !action->controls.empty()) mRemembered[s.idx] = action->controls.front();
    else reportMissing("control of parameter " + std::to_string(s.idx));
  }
}

void Tavrin::buildProgressOverlay(int width, int height) {
  IGraphics* graphics = GetGUI();
  mProgressLayer = new ControlLayer(0, "PROGRESS");
  IBitmap picture = graphics->LoadIBitmap(118, "resources/img/overlayer.png", 1.0, 1);
  mProgress = new ProgressIndicator(mProgressLayer, this, 0, 0, width, height, -1, &picture,
                                    IRECT(0, 0, width, height));
  // The factory scales the position once.
  mCancelA = mUIConfig->createAutoOffSwitchControl("Cancel Data Request", kCancelDataRequest, 580, 140,
                                                   "BUTTON_LIB_CANCEL_ID", 0, mProgressLayer, "Global");
  mCancelB = mUIConfig->createAutoOffSwitchControl("Cancel Data Request", kCancelDataRequest, 580, 140,
                                                   "BUTTON_LIB_CANCEL_ID", 0, mProgressLayer, "Global");
  mProgress->Hide(true);
  mProgressLayer->Hide(true);
}

void Tavrin::buildHub() {
  mSlots = std::make_unique<LibrarianSlots>(*mLibrarian, *mPatchManager, [this] { return mLibrarianView; });
  mHub = new MIDIMessageManager(*this, *this, *mSlots, mFlags, mUIConfig->sysExControls(), mUIConfig->ccMap(),
                                mUIConfig->valueList("tempoValues"));
}

std::string Tavrin::bankLabel(const std::string& fileName) {
  if (fileName.size() < static_cast<size_t>(kBankLabelLimit)) return fileName;
  const size_t dot = fileName.rfind('.');
  std::string extension = dot == std::string::npos ? fileName : fileName.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  std::string label = fileName.substr(0, KIT_Utf8CutLength(fileName.c_str(), 44)) + "~." + extension;
  // The display holds at most 55 bytes.
  label.resize(KIT_Utf8CutLength(label.c_str(), 55));
  return label;
}

void Tavrin::fillBankList(int paramIdx, const char* name, int list) {
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  const PatchFileList& files = mLibrarian->patchFiles;
  param->InitEnum(name, 0, static_cast<int>(files.size()), "", "", -1, -1);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& fileName = files[i]->fileName;
    const std::string label = bankLabel(fileName);
    const char* stored = param->SetDisplayText(static_cast<int>(i), label.c_str());
    if (label != fileName) {
      log("PATCH LIBRARIAN: Filename " + fileName + " RENAMED TO " + (stored ? stored : label.c_str()) +
          " Because the filename was too long to fit in plug-in display!");
    }
  }
  const char* first = param->GetDisplayText(0);
  (list == 0 ? upperFileName : lowerFileName) = first ? first : "";
  if (!files.empty()) {
    const PatchFile* file = PatchLibrarian::fileAt(files, param->Int());
    if (file) (list == 0 ? upperFolderName : lowerFolderName) = file->folderName;
  }
}

void Tavrin::buildLibrarianMenus() {
  IGraphics* graphics = GetGUI();
  for (const MenuLayer& row : kMenuLayers) {
    auto* layer = new ControlLayer(row.id, row.name);
    const IRECT rect(scaled(row.rect.L, mUIScale), scaled(row.rect.T, mUIScale), scaled(row.rect.R, mUIScale),
                     scaled(row.rect.B, mUIScale));
    layer->AttachControl(row.make(this, mLibrarian.get(), rect));
    graphics->AttachLayer(layer);
    layer->Hide(row.hidden);
    mLayers[row.name] = layer;
  }
}

void Tavrin::applyStartValues() {
  IGraphics* graphics = GetGUI();
  for (int idx : {kControlLibrary, kShowLibrarian, kControlLibrary}) {
    if (IControl* control = rememberedControl(idx)) control->SetValueFromUserInput(0.0);
  }
  if (IParam* show = GetParam(kShowLibrarian)) show->Set(std::clamp(0.0, show->GetMin(), show->GetMax()));
  mLibrarianView = dynamic_cast<LibrarianViewControl*>(mUIConfig->patchBrowser());
  graphics->SetParameterFromPlug(kGlobalMidiChannel, 1, false);
  mFlags.deviceId.store(0);
  log("Control set 2 attached... Resetting");
  Reset();
  for (int idx : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
    if (IControl* list = rememberedControl(idx)) list->SetValueFromPlug(0.0);
  }
  graphics->SetParameterFromPlug(kOverrideTempo, 1, false);
  graphics->SetParameterFromPlug(kLibSyncTimer, 1, false);
  graphics->SetParameterFromPlug(kMainTab, kSoundTab, false);
  TabSwitchFunctions::mainTabSwitch(this, kMainTab, kSoundTab, 0);
  graphics->AttachLayer(mProgressLayer);

  const std::string& size = mSettingsLines[1];
  const int sizeValue = size == "small" ? 0 : size == "normal" ? 1 : size == "large" ? 2 : -1;
  if (sizeValue >= 0) graphics->SetParameterFromPlug(kUserInterfaceSize, sizeValue, false);
  if (mSettingsLines[2] == "no") hideLayer("firstRunNotification", false);

  // Each switch takes the user's path. A control that already holds the
  // value would ignore it, so its case runs directly: every flag then
  // matches its parameter.
  for (const StartSwitch& s : kStartSwitches) {
    IControl* control = rememberedControl(s.idx);
    IParam* param = GetParam(s.idx);
    if (control && control->GetValue() != s.value) {
      control->SetValueFromUserInput(s.value);
    } else if (param) {
      param->Set(s.value);
      OnParamChange(s.idx);
    }
  }
  mFlags.timingClockEnabled.store(false);

  for (int idx = 0; idx < kParameterCount; ++idx) {
    IParam* param = GetParam(idx);
    if (!param) continue;
    const int whole = static_cast<int>(param->Value());
    if (whole > 0) graphics->SetParameterFromPlug(idx, whole, false);
  }
  const char* name = GetParam(kPatchName) ? GetParam(kPatchName)->GetDisplayText(0) : nullptr;
  mPatchManager->names[0] = name && *name ? name : "Set Name";
  if (mLibrarianView) mLibrarianView->SetDirty(false);
  mFlags.localControl.store(GetParam(kGlobalLocalControl) && GetParam(kGlobalLocalControl)->Value() != 0.0);
  log("Plug-in is ready to load!");
  TabSwitchFunctions::mainTabSwitch(this, kMainTab, kSoundTab, 0);
  mEditorReady.store(true);
}

Tavrin::~Tavrin() {
  // (1) Nothing more is sent and every hub thread ends at its next pause,
  // lock attempt or send.
  if (mHub) mHub->stop();
  mFlags.midiIOSet.store(false);
  // (2) The ports stay, but deliver nothing more.
  if (IHardwarePorts* ports = GetHardwarePorts()) ports->shutdown();
  // (3) The hub's threads read the pointer until they are joined.
  delete mHub;
  mHub = nullptr;
  // (4) What the threads used goes after them.
  mPatchManager.reset();
  mSlots.reset();
  mLibrarian.reset();
  mUIConfig.reset();
}

void Tavrin::reportMissing(const std::string& what) { log(kConfigReaderPrefix + what + " MISSING!"); }

ControlLayer* Tavrin::namedLayer(const std::string& name) const {
  auto it = mLayers.find(name);
  return it == mLayers.end() ? nullptr : it->second;
}

IControl* Tavrin::rememberedControl(int paramIdx) const {
  auto it = mRemembered.find(paramIdx);
  return it == mRemembered.end() ? nullptr : it->second;
}

void Tavrin::hideLayer(const std::string& name, bool hide) {
  if (ControlLayer* layer = namedLayer(name)) layer->Hide(hide);
}

void Tavrin::grayOutLayer(const std::string& name, bool gray) {
  if (ControlLayer* layer = namedLayer(name)) layer->GrayOut(gray);
}

// ---- folders

std::string Tavrin::getDataFolder() const { return platform::dataFolder(); }

std::string Tavrin::getPatchesFolderStr() const { return getDataFolder() + "Patches"; }

void Tavrin::log(const std::string& line) {
  if (mDebugLogOn) DebuggerOutput::printDebugInfo(mDebugLogPath, line);
}

void Tavrin::DebugLogText(const std::string& text) { log(text); }

void Tavrin::logSysExOut(const std::vector<int>& message) {
  if (mDebugLogOn) DebuggerOutput::logSysExOutMessageByteInt(mDebugLogPath, message, static_cast<int>(message.size()));
}

// ---- status and send path

void Tavrin::setStatusText(const std::string& text) {
  KIT_MutexLock lock(GetMutex());
  showStatus(text.data(), text.size());
}

void Tavrin::showStatus(const char* text, size_t length) {
  // Every writer holds the editor lock, so the comparison needs no more;
  // the status lock guards the readers that do not hold it.
  const bool same = mStatusText.compare(0, std::string::npos, text, length) == 0;
  if (!same) {
    KIT_MutexLock lock(mStatusLock);
    mStatusText.assign(text, length);
  }
  showKnownLine(mStatusLine, kControlDisplayName, text, same);
}

std::string Tavrin::statusText() const {
  KIT_MutexLock lock(mStatusLock);
  return mStatusText;
}

bool Tavrin::checksumCheckAndSend(unsigned char* message, int length) {
  if (!mFlags.midiIOSet.load()) {
    setStatusText(kMidiIONotSetText);
    return false;
  }
  if (message == nullptr || length <= 0) return false;
  const size_t size = static_cast<size_t>(length);

  sysex::applySendCheckSum(message, size);

  // Only messages passed with their leading F0 have the family bytes at 1
  // and 2, so only they light the light; a lit light is not restarted.
  if (size >= 3 && message[1] == sysex::kManufacturer && message[2] == sysex::kModel) lightActivity(false);

  const bool sent = SendMidiSysex(message, length);
  // The instrument's edit buffer now holds the editor's sound as a whole (a
  // loaded project, a randomized or renamed sound): a value remembered as
  // sent before may differ from it, and must not hold back the next edit.
  if (sent) {
    const sysex::MessageInfo info = sysex::classify(message, size);
    if (info.kind == sysex::MessageKind::SoundDump && info.location == sysex::kEditBuffer) forgetSentValues();
  }

  if (mDebugLogOn) DebuggerOutput::logSysExOutMessageByte(mDebugLogPath, message, length);
  return sent;
}
