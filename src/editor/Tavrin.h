#pragma once
// The editor and librarian plug-in of the synthesizer: one object per
// plug-in instance. Its constructor is the whole start-up of the editor (the
// settings file, the parameters, the librarian and its scan, the window from
// the user-interface description, the progress overlay, the message hub, the
// bank lists and librarian menus, the start values); its destructor stops
// every thread before it frees anything.
//
// Threads and locks:
// - The plug-in's recursive mutex (GetMutex) is the editor lock. The
//   dispatch (OnParamChange), Reset, the audio callback, the state writer
//   and reader and the services below run under it; the services take it
//   themselves, so the hub's job threads and the audio thread may call
//   them. The hub's threads take it by timed attempts and give up once the
//   hub stops.
// - Pauses taken under the lock (sendSysExInitialization) release it fully
//   for their length and take it back at the same depth. So do the port
//   opens (selectPort, and openStoredPort when a state is taken), which
//   wait for the MIDI library's server, and the window's file prompts and
//   link opener: a dispatch case or state read that opens a port may find
//   state changed by other threads after it, and holds no pointer into the
//   lists across it.
// - Settings and state flags are atomics (SharedFlags and the members
//   below): written under the lock, read from any thread without it.
// - The constructor and destructor run on the host's thread. The destructor
//   takes no lock of its own and may run while its thread holds the mutex.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/UISettingsFile.h"
#include "framework/IHardwarePorts.h"
#include "framework/IPluginStructs.h"
#include "hardware/EditorLink.h"
#include "hardware/ParameterList.h"
#include "hardware/SenderJob.h"
#include "host/IPluginVST.h"
#include "librarian/ILibrarianEditor.h"
#include "librarian/PatchManager.h"

class ByteChunk;
class ControlAction;
class ControlLayer;
class FileCopyPopupMenu;
class FileEditPopupMenu;
class IControl;
class ITextControl;
class LibrarianSlots;
class LibrarianViewControl;
class MIDIMessageManager;
class PatchLibrarian;
class ProgressIndicator;
class UIConfigManager;

// Makes the hardware ports object a new plug-in installs before its window
// is built. The default opens ports through the system's MIDI library.
using HardwarePortsFactory = std::unique_ptr<IHardwarePorts> (*)();
// Null restores the default. Set it before any plug-in is made.
void SetHardwarePortsFactory(HardwarePortsFactory factory);

// The parameter of the progress display's cancel buttons; the table gives it
// no name.
constexpr int kCancelDataRequest = 296;

class Tavrin : public IPluginVST, public IEditorServices, public ILibrarianEditor, public IEditorStateSource {
 public:
  static constexpr const char* kMidiIONotSetText = "Set MIDI I/O First!";
  static constexpr const char* kSettingsMissingText = "Tavrin Editor UI.txt MISSING!";
  static constexpr const char* kConfigReaderPrefix = "CONFIG READER: ";
  static constexpr int kWidth = 1500;
  static constexpr int kHeight = 757;
  static constexpr int kBankLabelLimit = 50;  // labels of 50 bytes or more are shortened
  static constexpr int kShortStateSize = 4 + 240 * 8;
  static constexpr int kStateMarker = 0x01000000;

  // info carries the host's callback (null: every host query answers 0).
  explicit Tavrin(IPluginInstanceInfo info);
  // Stops the hub and the ports, joins the hub's threads, then frees the
  // patch manager, the librarian adapter, the librarian and the reader.
  ~Tavrin() override;

  // ---- settings (data folder, settings file)
  std::string getDataFolder() const;
  std::string getPatchesFolderStr() const;
  int getPatchesFolderLength() const { return static_cast<int>(getPatchesFolderStr().size()); }
  const std::string& settingsPath() const { return mSettingsPath; }
  const UISettingsFile::Lines& settingsLines() const { return mSettingsLines; }
  double uiScale() const override { return mUIScale; }
  int theme() const { return mTheme; }
  // The label a bank list shows for a file name (byte count; a cut never
  // splits a UTF-8 character).
  static std::string bankLabel(const std::string& fileName);

  // ---- the send path
  // Sends a request or a sound dump to the synthesizer, given framed (F0 ..
  // F7) or unframed (from 3E on). Without MIDI I/O nothing is sent and the
  // status shows "Set MIDI I/O First!". A framed message of 71 bytes or more
  // gets its checksum written at length - 2. An outgoing message of the
  // synthesizer's family lights the activity light while the light shows
  // outgoing MIDI. The bytes are written to the debug log when it is on.
  // A sound dump to the edit buffer that went out forgets every last sent
  // value (the instrument now holds the dump's values). True when the output
  // port took the message.
  bool checksumCheckAndSend(unsigned char* message, int length) override;

  // Outgoing channel messages (editor lock taken inside; any thread). The
  // routing switch queues the message for the audio blocks while queue
  // routing is on, else sends it at once; when routing turns direct, what
  // waits in the queue goes out at once, in order. sendMidiMsgAndLog sends
  // it to the output port: without MIDI I/O it shows "Set MIDI I/O First!"
  // instead; a message on the global channel lights the activity light
  // while the light shows outgoing MIDI.
  void sendMidiMsgAndLog(IMidiMsg* msg);
  // The global MIDI channel, 0-15 (the values 0 and 1 both give 0).
  int globalChannel() const;
  // All notes off on the global channel through the routing switch, once
  // MIDI I/O is set and the editor ready, unless the enquiry waits for the
  // global dump.
  void AllSoundsOff();
  // Sends the section-locked sound back to the instrument (job 0) once a
  // pending request has ended, waiting at most as long as a request job
  // runs. The argument is not read. Pauses release the editor lock.
  void sendPartDataBackToHardware(int unused);
  // The control bound to a system-exclusive address, an NRPN address or a
  // control change (channel, number, mixer flag); null when none is.
  IControl* getSysexControl(int key1, int key2, int key3, int key4, int key5) const;
  IControl* getMsbLsbControl(int key1, int key2, int key3, int key4, int key5) const;
  IControl* getCCControls(int key1, int key2, int key3) const;
  // Messages waiting for the audio blocks; read under the editor lock.
  const IMidiQueue& midiQueue() const { return mMidiQueue; }

  void setMidiIOSet(bool set) { mFlags.midiIOSet.store(set); }
  bool isMidiIOSet() const { return mFlags.midiIOSet.load(); }
  bool editorReady() const { return mEditorReady.load(); }
  std::string statusText() const;
  void setLightTracksInput(bool tracksInput) { mFlags.lightTracksInput.store(tracksInput); }
  bool isMidiLedOn() const { return mFlags.lightOn.load(); }
  uint32_t midiLedTick() const { return mFlags.lightTick.load(); }
  SharedFlags& sharedFlags() { return mFlags; }
  bool isDebugLogOn() const { return mDebugLogOn; }
  void DebugLogText(const std::string& text) override;
  const std::string& debugLogPath() const { return mDebugLogPath; }
  // One line to the debug log when it is on.
  void log(const std::string& line);

  // ---- framework hooks
  void OnParamChange(int paramIdx) override;
  // A value the instrument reported (the thread applying it; editor lock
  // taken): displays, the main tab and the layer group follow, the action
  // remembers the value and nothing is sent; a pending request ends.
  void OnParamChange2(int paramIdx) override;
  bool hardwareChange() const { return mHardwareChange.load(); }
  // Fits the queue to the host's block size and arms the all-sounds-off;
  // the first reset after the host told its block size also stores that
  // size as the output offset. Takes the editor lock.
  void Reset() override;
  // The window's first opening (the dispatcher's thread, editor lock held):
  // a data folder that could not be made or written at start is named on
  // the status line, this once.
  void OnGUIOpen() override;
  // The host's block size (the binding's own first size is no host's).
  void SetBlockSize(int n) override;
  // The audio block (the host's audio thread, under the editor lock), in
  // its steps below: silenceOutputs (every output sample set to 0; the
  // inputs are not read); then, with MIDI I/O set only, followTransport
  // (the transport's edges and the timing clock: the hub's per-block
  // duties), followHostTempo (the host's tempo into kArpTempo while the
  // override is on), drainLength (how far the queue drains, and the output
  // delay text), drainQueueAndLight (the queue drained over that length,
  // sent while queue routing is on, else dropped; the armed all-sounds-off
  // once the transport stands; the activity light's time-out) and
  // startDeferredRequest (the edit-buffer request a randomize left). Takes
  // no pause, joins nothing, writes the log only when the tempo index
  // changes.
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
  // The arpeggiator tempo index of a host tempo (its whole BPM less 65);
  // none for a tempo that is not a number or whose whole value or index
  // leaves the int range.
  static std::optional<int> hostTempoIndex(double bpm);
  // The output delay text, "11ms|512bfr" for 44100 Hz, a drain length of
  // 512 and a host block of 512; false (out empty) while the rate or the
  // drain length is not positive, or the milliseconds leave the int range.
  static bool outputDelayText(char* out, size_t size, double sampleRate, int drainLength, int hostBlockSize);
  bool allSoundsOffArmed() const { return mAllSoundsOffArmed.load(); }
  // The hub jobs the last block started, as bits 1 << mode.
  unsigned blockJobs() const { return mBlockJobs.load(); }

  // ---- the state chunk (the host's thread; editor lock taken)
  // The full form: the marker, the patch manager's block with the port
  // names, the four selections' normalised values, parameters 0-239. The
  // short form (full false): the marker and parameters 0-239. Always true.
  bool SerializeState(ByteChunk* chunk) override;
  bool SerializeState2(ByteChunk* chunk, bool full) override;
  // Reads a body of either form from startPos: the values, the settings
  // flags, the ports by their stored names, the device ID and names, and
  // (with an output port open) the sound to the instrument. The position
  // after the body, or -1 once a read did not fit.
  int UnserializeState(const ByteChunk* chunk, int startPos) override;
  int UnserializeState2(const ByteChunk* chunk, int startPos, bool full);
  // A host load is read whole before anything outside moves: the settings
  // flags of its last body are put in force, the window switched to the
  // sound page, the ports that body names opened and the sound sent only
  // when the load as a whole succeeded (OnStateLoadEnded(true)). A failed
  // host load changes no setting and nothing in the window, opens, closes
  // and sends nothing, and puts back the names and snapshot the reader
  // changed. Outside a host load, a body's settings and the page are taken
  // at once, and only a body read whole opens its ports and sends.
  void OnStateLoadStarted() override;
  void OnStateLoadEnded(bool ok) override;
  // Incoming MIDI from the instrument's port (its delivery thread) or the
  // host; each takes the editor lock. Channel messages are dropped during a
  // transfer, while a librarian request is pending, without a status and
  // with a data byte of 128 or more, program changes also while the hub
  // requests a sound or a bank for the librarian;
  // system-exclusive messages during a transfer and when their source's
  // pass-through setting is off.
  void ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) override;
  void ProcessSysEx(ISysEx* sysex, bool fromHardware) override;

  // ---- the dispatch's helpers
  // Starts a job of the hub (false: dropped, the thread is busy or there is
  // no hub). prepare runs only when the job starts, once its thread has
  // started and before the job begins.
  bool startJob(const SenderJob& job, const std::function<void()>& prepare = {});
  // A name, category or pattern change, whose only way to the instrument is
  // the sound dump: once MIDI I/O is set, job 0 as a sound-only job, which a
  // busy thread runs after its running job instead of dropping it (the dump
  // reads the sound when it goes, so it carries every value shown); then the
  // next job 0 takes the global step first. Editor lock held.
  void sendSoundOnly();
  // The device-ID enquiry that follows a newly opened output port.
  void sendSysExInitialization();
  // The value display step of the dispatch (editor lock held) and the
  // control-action send: the bound
  // controls follow the value and its messages leave through the routing
  // switch or the hub, once per whole value (the editor lock is taken
  // inside; any thread that changes parameters).
  virtual void controlDisplay(int paramIdx, double value);
  virtual void processControlAction(ControlAction* action, int paramIdx, double value);
  // Whether one message of a control action may leave now: never while a
  // value from the instrument is being shown, else unless the hub applies a
  // value from the instrument's port with local control on.
  bool sendPermitted() const;

  // Shows text on the first control of a display parameter, if any (editor
  // lock held).
  void showText(int paramIdx, const char* text);
  // setStatusText with the editor lock held: a text equal to the one shown
  // takes no further lock and copies nothing.
  void showStatus(const char* text, size_t length);
  void showStatus(const char* text) { showStatus(text, std::strlen(text)); }

  // ---- layers and remembered controls (null when the description lacks them)
  ControlLayer* namedLayer(const std::string& name) const;
  IControl* rememberedControl(int paramIdx) const;
  IControl* cancelButton(int which) const { return which == 0 ? mCancelA : mCancelB; }
  ProgressIndicator* progressIndicator() const { return mProgress; }
  ControlLayer* progressLayer() const { return mProgressLayer; }
  UIConfigManager* uiConfig() const { return mUIConfig.get(); }
  PatchLibrarian* librarian() const { return mLibrarian.get(); }
  PatchManager* patchManager() const { return mPatchManager.get(); }
  MIDIMessageManager* hub() const { return mHub; }
  // Hides or greys a named layer; nothing when it is missing.
  void hideLayer(const std::string& name, bool hide) override;
  void grayOutLayer(const std::string& name, bool gray) override;

  // ---- state flags of the dispatch
  int outputOffset() const { return mOutputOffset.load(); }
  bool sectionLockOn() const { return mSectionLock.load(); }
  void setSectionLock(bool on) { mSectionLock.store(on); }
  bool categoryMode() const { return mCategoryMode.load(); }
  bool searchMode() const { return mSearchMode.load(); }
  void setLowerListMode(bool category, bool search) {
    mCategoryMode.store(category);
    mSearchMode.store(search);
  }

  // ---- help, folder and dialogs
  void OpenDataDirectory(bool manual) override;
  void OpenHelpTopics(int topic) override;

  // ---- IEditorServices (each takes the editor lock)
  void setStatusText(const std::string& text) override;
  void displayCategoryName(const std::string& text) override;
  void DisplayProcessingIndicator(bool show) override;
  void SetLibrarianRequestActive(bool active) override;
  void SetLibrarianStatusUnsaved(bool unsaved) override;
  void setLibrarianViewDirty() override;
  void updatePatchLibrarianView(int which) override;
  void updateUserInterfaceAndMenus() override;
  void MIDIOutRoutingSwitch(IMidiMsg* msg) override;
  void SendProgramChangeCommand(int program, int channel) override;
  void feedSysEx(const uint8_t* data, int size) override;
  void setArpTempoLayers(bool externalClock) override;
  // Takes no lock: the log's every line is its own open, append and close.
  void logSysExOut(const std::vector<int>& message) override;

  // ---- display setters of the librarian glue
  void displayPatchName(const std::string& text);
  void DrawPatternOverlayer(int length);
  // The name, value and CC displays, in this order.
  void displayText(const std::string& name, const std::string& value, const std::string& midi);
  // A value as "%.0f" formats it.
  static std::string getValueString(double value);
  // "Timbre <number> <text>".
  static std::string getPanelString(int number, const std::string& text);
  // The category text of a slot of the upper list (lower false) or of the
  // lower list's current file: the patch's category, or "category unset!"
  // for one of fewer than 4 characters, a negative slot or a slot past the
  // file's patches. The file is filled up to 100 patches first (records
  // without a message). Empty when the list has no file (editor lock taken).
  std::string librarianPatchCategory(int slot, bool lower);

  // ---- bank and patch selection menus (GUI thread; editor lock taken)
  // Switches the lower list to a browse kind (0 bank files, 1 category
  // results, 4 search results), after a rescan of the Patches folder when
  // asked: both file indices become 0, the lists are refilled and relabelled
  // and the menus rebuilt. Another kind only resets the indices and refills
  // the lists. Files a rescan dropped are released once views and menus
  // are rebuilt. The first argument is not read.
  void patchTypeChanged(int unused, int kind, bool rescan);
  // The browse kind of patchTypeChanged that shows a source in the lower list.
  static constexpr int browseKind(LowerListSource source) {
    return source == LowerListSource::Categories ? 1 : source == LowerListSource::SearchResults ? 4 : 0;
  }
  // Relabels both lists' parameters from all bank files and refills the
  // lists, without switching the browse kind.
  void ResetPatchSelectionMenus();
  // Rebuilds the upper folder menu, the lower list's menu of the current
  // browse kind and the bank-name menu, then refills both lists.
  void refreshPopUpMenus();
  // The names one labelling pass offers the files of a list under: a file
  // name of 53 bytes or more becomes its first 47 bytes, "~", a counter
  // (counting on while consecutive shortened names share those 47 bytes),
  // "." and its lower-cased extension, at most 55 bytes in all.
  class ShownNames {
   public:
    static constexpr size_t kShortenedFrom = 53;
    static constexpr size_t kKeptBytes = 47;
    static constexpr size_t kDisplayLimit = 55;
    // The name the next file of the list is shown under.
    std::string next(const std::string& fileName);

   private:
    std::string mPrefix;
    int mCounter = 0;
  };

  // ---- patch import (GUI thread; editor lock taken)
  // Reads the next single sound of an import file from pos, completes it
  // and hands it to the librarian's target slot. Returns the new position:
  // above 0 while the file goes on, 0 or -1 at its end.
  int ReadSysExDataFromPackage(ByteChunk* data, int& pos, const std::string& path, bool older);
  // The last slot menu of a right click on an upper slot (copy false) or
  // elsewhere, kept until the next one of its kind; null before the first.
  IControl* lastSlotMenu(bool copy) const;
  // The folder the import prompts start in: empty until a file was chosen
  // (GUI thread).
  std::string importFolder() const;

  // ---- state of the panel and librarian cases
  // The edit-buffer request a randomize leaves for the next audio block.
  bool deferredEditBufferRequest() const { return mFlags.editBufferRequestPending.load(); }
  int arpTempoIndex() const { return mArpTempoIndex.load(); }

  // ---- ILibrarianEditor
  bool renameClosed() const override { return mRenameClosed.load(); }
  void setRenameClosed(bool closed) override { mRenameClosed.store(closed); }
  LowerListSource lowerListSource() const override;
  bool midiIOSet() const override { return isMidiIOSet(); }
  bool libraryControlMode() const override { return mControlLibrary.load(); }
  bool jobRunning() const override;
  void DisplayLibrarianPatchCategory(int slot, bool lower) override;
  IControl* listLinkedControl(int paramIdx) override;
  LibrarianViewControl* librarianView() override { return mLibrarianView; }
  std::string rememberedFolderName(Side side) const override;
  std::string rememberedFileName(Side side) const override;
  void setRememberedNames(Side side, const std::string& folderName, const std::string& fileName) override;
  // Sends of the librarian (editor lock taken; the GUI thread, or the hub's
  // program-change handlers). A slot must be 0..patch count - 1 and hold a
  // message; the file is filled up to 100 patches; the view's current slot
  // and kCurrentPatch follow even without MIDI I/O, when no job starts.
  // True when the job started.
  bool sendPatchToDeviceFromLibrarian(int slot, bool lower) override;
  bool sendPatchToDeviceLocation(int slot, int location) override;
  bool storeAllPatchesToDeviceFromLibrarian(int bank, int list) override;
  // The librarian's selected slot, from the lower list when no upper slot
  // is selected; the argument is not read.
  bool SendSingleProgramFromLibrarian(bool unused);
  // The whole bank of the list in use into the instrument's bank, from the
  // selected slot 0.
  bool SendAllProgramsFromLibrarian(int bank);
  bool BankChangeMessage() override;
  bool startSendArrangement(bool toLibrarian, bool markTransfer) override;
  bool sendActiveArrangementRequestSysex(bool toEditor) override;
  bool startPartRequest() override;
  bool sendSinglePatchRequestSysexFromLibrarian(bool editBuffer) override;
  bool sendAllPatchRequestSysexFromLibrarian(int bank) override;
  bool initClassicPatch() override;
  void SetCategoryForLibrarianPatch(int category) override;
  void saveImportedFile(bool midi) override;
  void ImportSingleSorrelPatches(bool model1) override;
  void showFileEditMenu(int x, int y) override;
  void showFileCopyMenu(int x, int y) override;
  void updateBankAndProgramMenuNames(bool spareBankMenu) override;

 private:
  void buildWindow(IPluginInstanceInfo info);
  void lookUpLayers();
  void rememberControls();
  void buildProgressOverlay(int width, int height);
  void buildHub();
  void fillBankList(int paramIdx, const char* name, int list);
  void buildLibrarianMenus();
  void applyStartValues();
  // One "CONFIG READER: " line for a missing layer or control.
  void reportMissing(const std::string& what);
  // The first-stage and second-stage cases: true when the call returns
  // without the common tail.
  bool firstStage(int idx, int whole, double& sent);
  bool secondStage(int idx, int& whole);
  bool midiSettingCase(int idx, int whole);
  void selectPort(bool output, int whole);
  void runLayerGroup(ControlAction* action, int whole);
  // The upper or lower list's file, filled up to 100 patches; null when
  // there is none (editor lock held).
  PatchFile* paddedFile(bool lower);
  // Job 2 for a patch of a list, to the edit buffer or to location.
  bool sendLibrarianPatch(int slot, bool lower, std::optional<int> location);
  // A pause that releases the editor lock for its length.
  void pauseUnlocked(int ms);
  // sendMidiMsgAndLog and the routing switch with the editor lock held and
  // the global channel known.
  void sendMidiMsgLocked(IMidiMsg* msg, int channel);
  void sendMidiMsgLocked(IMidiMsg* msg) { sendMidiMsgLocked(msg, globalChannel()); }
  void routeLocked(IMidiMsg* msg, int channel);
  // Sends every message waiting in the queue at once, in queue order, and
  // empties it (editor lock held): routing has turned direct.
  void sendQueuedNow();
  // Holds the editor lock for a scope, taking it only when the calling
  // thread does not hold it yet (the dispatch's own calls run under it).
  class EditorScope {
   public:
    explicit EditorScope(KIT_Mutex& mutex) : mMutex(mutex.IsLockedByCaller() ? nullptr : &mutex) {
      if (mMutex) mMutex->Lock();
    }
    ~EditorScope() {
      if (mMutex) mMutex->Unlock();
    }
    EditorScope(const EditorScope&) = delete;
    EditorScope& operator=(const EditorScope&) = delete;

   private:
    KIT_Mutex* mMutex;
  };
  // kLibSyncTimer's request pacing in ms, and a parameter's whole value.
  int requestPacing() const;
  int wholeValue(int paramIdx) const;
  // A control change on the global channel, through the routing switch or
  // straight to the port.
  void sendControlChange(int cc, int data, bool routed);
  // Lights the activity light for an incoming (input) or outgoing message,
  // unless it is lit or shows the other direction (any thread; the light's
  // state is atomic).
  void lightActivity(bool input);
  // Incoming system-exclusive bytes after the pass-through test: the
  // transfer test, the light, the hub (internal: an editor-made dump), and
  // for the instrument's messages and the editor-made dumps taken as its,
  // the reset of every last sent value.
  void sysexIn(const uint8_t* data, int size, bool fromDevice, bool internal);
  // Forgets the last sent value of every control action, so that the next
  // edit of any value goes out (editor lock held).
  void forgetSentValues();

  // ---- the librarian and sound-panel cases (editor lock held)
  enum class CaseEnd { None, Tail, Return };
  // First stage: the bank steps, the octave and arpeggiator indicators, the
  // cycling buttons, the window size and the first-run notice. True when the
  // call returns.
  bool panelFirstStage(int idx, int whole);
  // Second stage, tried in this order: the tabs (whole may change for the
  // tail's layer group), the panels and overlays, the librarian's lists
  // and program steps, the sends of the sound and the requests.
  CaseEnd tabCase(int idx, int& whole);
  CaseEnd panelCase(int idx, int whole);
  CaseEnd librarianCase(int idx, int whole);
  CaseEnd sendCase(int idx, int whole);
  // The section locks and pattern steps, after the display step.
  void lockOrPatternCase(int idx, int whole);
  void bankStep(int idx);
  void programStep(int idx, int whole);
  void lfoShapeStep();
  void arpSyncStep();
  void renamePatch();
  CaseEnd searchText();
  void searchSwitch(int whole);
  void categorySwitch(int whole);
  void refreshFolders();
  void discardBankEdits();
  // kUserInterfaceSize and kFirstRunExit: the settings file's five lines.
  void settingsCase(int idx, int whole);
  // Shows or hides the progress indicator and its layer, nothing more.
  void showProgress(bool show);
  // The progress indicator around a tab switch.
  void tabRefresh(int tab, int subPage);
  // The first control of a named layer, or null.
  IControl* layerControl(const std::string& layerName) const;
  // The layer of the lower list's menu for a source.
  static const char* lowerMenuLayerName(LowerListSource source);
  // Hands one editor-made message to the librarian collector, armed for
  // it; true when a patch was stored into the upper bank.
  bool feedToLibrarian(const std::vector<uint8_t>& message);
  // Labels a list's files into the given parameters' display texts.
  void labelFiles(const PatchFileList& files, std::initializer_list<int> params);
  // Runs a new slot menu at (x, y) as the last one of its kind.
  template <class Menu>
  void runSlotMenu(std::unique_ptr<Menu>& last, int& depth, int x, int y);

  std::unique_ptr<FileEditPopupMenu> mEditMenu;
  std::unique_ptr<FileCopyPopupMenu> mCopyMenu;
  // Menus replaced while one of their kind still ran; freed once none runs.
  std::vector<std::unique_ptr<IControl>> mRetiredMenus;
  int mEditMenuDepth = 0, mCopyMenuDepth = 0;
  std::string mImportFolder;


  SharedFlags mFlags;
  std::atomic<bool> mEditorReady{false};
  std::atomic<bool> mHardwareChange{false};
  std::atomic<bool> mTransportPlaying{false};
  std::atomic<bool> mSectionLock{false};
  std::atomic<bool> mControlLibrary{false};
  std::atomic<bool> mCategoryMode{false};
  std::atomic<bool> mSearchMode{false};
  std::atomic<bool> mRenameClosed{false};
  std::atomic<int> mOutputOffset{0};
  std::atomic<int> mCurrentProgram{0};
  std::atomic<int> mArpTempoIndex{0};

  IMidiQueue mMidiQueue{1024};
  ITimeInfo mTimeInfo;
  double mSampleRate = 0.0;

  bool mDebugLogOn = false;
  std::string mDebugLogPath;
  std::string mSettingsPath;
  std::string mDataFolderNotice;  // shown at the window's first opening; editor lock
  UISettingsFile::Lines mSettingsLines;
  double mUIScale = 1.0;
  int mTheme = 0;

  std::unique_ptr<PatchManager> mPatchManager;
  std::unique_ptr<PatchLibrarian> mLibrarian;
  std::unique_ptr<UIConfigManager> mUIConfig;
  std::unique_ptr<LibrarianSlots> mSlots;
  MIDIMessageManager* mHub = nullptr;  // deleted before the pointer is cleared

  std::map<std::string, ControlLayer*> mLayers;
  std::map<int, IControl*> mRemembered;
  ProgressIndicator* mProgress = nullptr;
  ControlLayer* mProgressLayer = nullptr;
  IControl* mCancelA = nullptr;
  IControl* mCancelB = nullptr;
  LibrarianViewControl* mLibrarianView = nullptr;

  std::string upperFolderName, upperFileName, lowerFolderName, lowerFileName;

  // The three text displays of the last change (name, value, CC), looked
  // up once the editor is ready (editor lock held).
  ITextControl* textDisplay(int paramIdx) {
    const auto slot = static_cast<size_t>(static_cast<unsigned>(paramIdx - kControlDisplayName));
    return slot < mTextDisplays.size() && mTextDisplaysFound ? mTextDisplays[slot] : findTextDisplay(paramIdx);
  }
  ITextControl* findTextDisplay(int paramIdx);
  std::array<ITextControl*, 3> mTextDisplays{};
  bool mTextDisplaysFound = false;
  // A display line known to show the text last given to it: the control and
  // its text revision before the last set. same: the text equals that text.
  struct KnownLine {
    ITextControl* display = nullptr;
    uint32_t revision = 0;
    // Whether the line, shown on now, still shows that text.
    bool shows(const ITextControl* now) const;
  };
  void showKnownLine(KnownLine& known, int paramIdx, const char* text, bool same);
  // The CC display's label for the action's messages ("CC|n", "MSB/LSB" or
  // "SysEx"), unless it shows it already.
  void showCCLabel(const ControlAction& action, int channelCount);
  struct CCLabel {
    enum Kind { kNone, kCC, kNrpn, kSysex } kind = kNone;
    int cc = 0;  // kCC's control number
  };
  KnownLine mStatusLine, mCCLine;
  CCLabel mCCLabel;

  mutable KIT_Mutex mStatusLock;
  std::string mStatusText;

  // ---- the audio callback's own state (audio thread, editor lock held;
  // the arming is also written by Reset)
  std::atomic<bool> mAllSoundsOffArmed{false};
  std::atomic<bool> mHostBlockSizeKnown{false};
  std::atomic<unsigned> mBlockJobs{0};
  bool mHostTempoSynced = false;
  char mDelayText[40] = {};
  // Turns the activity light off (graphics context attached).
  void lightOff();
  // The audio block's steps, in the order it takes them.
  void silenceOutputs(double** outputs, int nFrames);
  // The jobs the hub started, as blockJobs counts them.
  unsigned followTransport(bool running, bool routed);
  void followHostTempo();
  int drainLength(bool routed, int nFrames);
  void drainQueueAndLight(int drain, bool running, bool routed);
  // The queued messages due at a sample position, sent or dropped.
  void sendDueMessages(int position, bool routed);
  // True when the deferred edit-buffer request started now.
  bool startDeferredRequest();

  // ---- the state reader's steps (editor lock held)
  // The port names a body stores.
  struct StoredPorts {
    std::string inName, outName;
  };
  // Reads the patch manager's block and the four doubles; the stored port
  // names when the block was read.
  std::optional<StoredPorts> readPorts(const ByteChunk* chunk, int& pos);
  // What a body read whole does outside: sends the edits waiting in the
  // queue when the body routes direct, reopens the stored ports (when
  // given) and sends the sound when an output port is open; when the named
  // output port does not open, the status says that the sound did not go.
  // While the ports are switched (the lock let go), mPortsOpening names
  // them for a save, and no sound dump goes out (loadSwitchingPorts).
  void recall(const std::optional<StoredPorts>& stored);
  void openStoredPort(bool output, const std::string& name);
  // Sets the timing-clock flag; a change lets the next block launch the
  // loop again.
  void setTimingClock(bool on);
  void startSoundAfterLoad();
  std::string selectionText(int paramIdx) const;
  // What a load changes beside the parameters and presets, kept while a
  // host load runs and put back when it fails.
  struct LoadedSettings {
    bool blocked[SharedFlags::kPassThroughCount];
    bool lightTracksInput, queueRouting, clockStartStop, timingClock, globalsSent, push, localControl;
    int deviceId, outputOffset;
    bool midiIOSet;
    std::vector<uint8_t> patchState;
    std::array<std::string, Patch::kNumNames> patchNames;
    int bankIndex, patchIndex;
    std::string patchNameText;
  };
  LoadedSettings currentSettings() const;
  void applySettings(const LoadedSettings& settings);
  // The settings flags a full body's values set, into s.
  void readSettingFlags(LoadedSettings& s);
  // Puts a body's settings in force and shows the sound page laid out from
  // the values.
  void takeSettings(const LoadedSettings& s);
  std::optional<LoadedSettings> mBeforeLoad;
  // What the last body read whole during a host load asks for (its ports,
  // when it names them, and its settings); acted on at the load's end.
  struct Recall {
    std::optional<StoredPorts> ports;
    LoadedSettings settings;
  };
  std::optional<Recall> mRecall;
  std::optional<StoredPorts> mPortsOpening;
};
