#pragma once
// The test plug-in: a small effect on the host binding that the host tests
// drive in process and, built as a module, through the test host. Four
// parameters (three shown to the host), two presets, channels "1-1 2-2 4-4",
// no chunks, a headless graphics context that records which window opening
// ran. MIDI from the host goes to its hardware output port; its audio is the
// input at half level. Switches make it throw where the binding must catch.
//
// Threads: the binding's mutex guards everything; the switches are atomic.
#include <atomic>
#include <string>
#include <vector>

#include "host/IGraphicsHeadless.h"
#include "host/IPluginVST.h"

namespace testplug {

struct ThrowSwitches {
  std::atomic<bool> construction{false}, paramChange{false}, process{false}, openWindow{false};
};
ThrowSwitches& throwSwitches();

class RecordingGraphics : public IGraphicsHeadless {
 public:
  using IGraphicsHeadless::IGraphicsHeadless;
  void* OpenWindow(void* parentView) override;
  void* OpenWindow(void* window, void* parentControl, short leftOffset = 0, short topOffset = 0) override;
  // "view" or "window" for each opening, in order.
  std::vector<std::string> opened;
};

class TestPlug : public IPluginVST {
 public:
  static constexpr int kWidth = 300, kHeight = 200;
  enum { kGain, kMode, kOffset, kHidden, kNumParams };
  static constexpr int kHostParams = 3;

  explicit TestPlug(IPluginInstanceInfo info);

  void OnParamChange(int idx) override;
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
  void ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) override;

  RecordingGraphics* graphics() const { return static_cast<RecordingGraphics*>(GetGUI()); }
  // The messages handed to ProcessMidiMsg, with their offsets.
  std::vector<IMidiMsg> midi;
  std::vector<int> changes;  // OnParamChange indices
  // Opens the hardware output port called name; true when open.
  bool openMidiOut(const char* name);
};

// The entry of the test plug-in: null when construction throws.
AEffect* makeEffect(audioMasterCallback host);

}  // namespace testplug
