#pragma once
// A stand-in for the editor around the message hub: a plug-in base with the
// editor's parameters, the editor services and the librarian's upper list,
// recording what the hub asks of them.
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/IControl.h"
#include "framework/IPluginBase.h"
#include "hardware/EditorLink.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "platform/clock.h"
#include "synthsim/SynthSimulator.h"

namespace hwtest {

// A control that draws nothing.
class PlainControl : public IControl {
 public:
  using IControl::IControl;
  bool Draw(IGraphics*) override { return false; }
};

class StandInEditor : public IPluginBase, public IEditorServices, public ILibrarianSlots {
 public:
  static constexpr const char* kMidiIONotSetText = "Set MIDI I/O First!";

  // Every parameter an int of 0..127 unless the sound dump or the global
  // dump needs another range; the system-exclusive pass-through on. With
  // ports, the plug-in listens to them.
  explicit StandInEditor(std::unique_ptr<IHardwarePorts> ports = nullptr,
                         std::vector<std::string> tempoValues = {});
  // Tears the hub down unless a test did.
  ~StandInEditor() override;
  // The editor's tear-down order: stops the hub, clears MIDI-I/O-set, shuts
  // the ports down, deletes the hub (joining its threads).
  void tearDownHub();

  MIDIMessageManager& hub() { return *mHub; }
  SharedFlags& flags() { return mFlags; }
  SysExControlContainer sysexControls;
  CCControlMap ccControls;

  // Binds a new control of parameter idx under a single-parameter address,
  // or under a control change's keys. Takes the editor lock.
  IControl* bindSingleParameter(int idx, uint8_t a1, uint8_t a2);
  IControl* bindControlChange(int idx, int cc, int channel = 0, int mixerFlag = 0);
  // A graphics context that only stores plain values, so that what needs
  // one (the activity light) runs.
  void attachGraphics();
  void setParam(int idx, double value);
  double param(int idx);

  // ---- what happened (any thread)
  std::vector<std::string> texts() const { return copy(mTexts); }
  std::vector<bool> indicator() const { return copy(mIndicator); }
  std::vector<std::string> categoryTexts() const { return copy(mCategories); }
  std::optional<bool> arpLayersExternal() const { return copy(mArpExternal); }
  std::pair<std::string, std::string> record() const { return copy(mRecord); }
  // selectSlot's calls, (lower, slot).
  std::vector<std::pair<bool, int>> selections() const { return copy(mSelections); }
  // The control actions' messages handed to the debug log, in order.
  std::vector<std::vector<int>> sysexLog() const { return copy(mSysexLog); }
  // "ui", "unsaved", "view", "dirty", "mainTab", "program", and "applying" or "plain"
  // for a value from the instrument with and without the applying flag.
  int count(const std::string& what) const;
  void clearRecords();

  // ---- librarian
  void setUpperBank(bool present);
  std::optional<CollectedPatch> slot(int i) const;

  // System-exclusive messages from the ports that reached ProcessSysEx, counted
  // before it takes the editor lock.
  int sysexFromPorts() const { return mSysexFromPorts.load(); }

  // ---- IPluginBase
  void ProcessSysEx(ISysEx* msg, bool fromHardware) override;
  // Drops channel messages while a transfer runs or a request is pending.
  void ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) override;
  void OnParamChange(int idx) override;
  void OnParamChange2(int idx) override;
  double GetTempo() override { return hostTempo.load(); }
  // Clock bytes and other unframed sends: the hook sees them first, on the
  // sending thread (set it while no job runs).
  bool SendMidiSysex2(const uint8_t* data, int size) override;
  std::atomic<double> hostTempo{0.0};
  std::function<void(const uint8_t* data, int size)> sendHook;

  // ---- IEditorServices
  bool checksumCheckAndSend(unsigned char* message, int length) override;
  void setStatusText(const std::string& text) override;
  void displayCategoryName(const std::string& text) override;
  void DisplayProcessingIndicator(bool on) override;
  void SetLibrarianRequestActive(bool active) override;
  void SetLibrarianStatusUnsaved(bool unsaved) override;
  void setLibrarianViewDirty() override { note("dirty"); }
  void updatePatchLibrarianView(int) override { note("view"); }
  void updateUserInterfaceAndMenus() override { note("ui"); }
  void MIDIOutRoutingSwitch(IMidiMsg* msg) override { SendMidiMsg(msg); }
  // Sends at once, then paces with the editor lock let go.
  void SendProgramChangeCommand(int program, int channel) override;
  void feedSysEx(const uint8_t* data, int size) override;
  void setArpTempoLayers(bool externalClock) override;
  void logSysExOut(const std::vector<int>& message) override;

  // ---- ILibrarianSlots
  bool hasUpperBank() const override;
  int targetSlot() const override { return mTarget.load(); }
  void setTargetSlot(int slot) override { mTarget.store(slot); }
  void selectSlot(bool lower, int slot) override;
  void selectProgram(int program) override;
  bool storeCollected(const CollectedPatch& patch) override;
  void setCurrentPatchRecord(const std::string& name, const std::string& category) override;

 private:
  void dispatch(const ISysEx* msg, bool fromDevice, bool internal);
  void note(const std::string& what);
  template <class T>
  T copy(const T& record) const {
    std::lock_guard<std::mutex> lock(mRecordLock);
    return record;
  }

  SharedFlags mFlags;
  std::unique_ptr<MIDIMessageManager> mHub;
  std::vector<std::unique_ptr<IControl>> mControls;
  std::atomic<int> mTarget{0};
  std::atomic<int> mSysexFromPorts{0};

  mutable std::mutex mRecordLock;  // records and the upper bank
  std::vector<std::string> mTexts;
  std::vector<bool> mIndicator;
  std::vector<std::string> mCategories;
  std::optional<bool> mArpExternal;
  std::pair<std::string, std::string> mRecord;
  std::vector<std::pair<bool, int>> mSelections;
  std::vector<std::string> mNotes;
  std::vector<std::vector<int>> mSysexLog;
  std::optional<std::array<std::optional<CollectedPatch>, kSlots>> mUpper;
};

// The stand-in on the loopback with the simulator on its own ports and the
// manual clock, whose every advance first settles the simulator, the
// loopback and the port layer.
struct LoopbackRig {
  platform::ManualClock clock;
  platform::ScopedClock clockScope{clock};
  LoopbackHub lb;
  std::unique_ptr<MidiBackend> simBackend = lb.makeBackend();
  synthsim::SynthSimulator sim{*simBackend};
  MidiPorts* ports = nullptr;
  std::unique_ptr<StandInEditor> ed;

  // A new stand-in with the simulator's ports open and MIDI I/O set; false
  // when a port did not open.
  bool makeEditor(std::vector<std::string> tempoValues = {});
};

}  // namespace hwtest
