#include "testplug.h"

#include <stdexcept>

#include "hardware/MidiPorts.h"

namespace testplug {

ThrowSwitches& throwSwitches() {
  static ThrowSwitches s;
  return s;
}

void* RecordingGraphics::OpenWindow(void* parentView) {
  if (throwSwitches().openWindow) throw std::runtime_error("OpenWindow");
  opened.push_back("view");
  return IGraphicsHeadless::OpenWindow(parentView);
}

void* RecordingGraphics::OpenWindow(void* window, void* parentControl, short leftOffset, short topOffset) {
  if (throwSwitches().openWindow) throw std::runtime_error("OpenWindow");
  opened.push_back("window");
  return IGraphicsHeadless::OpenWindow(window);
}

namespace {
constexpr const char* kIO = "1-1 2-2 4-4";
IGraphics* makeRecording(IPluginVST* plug, int w, int h, int fps) { return new RecordingGraphics(plug, w, h, fps); }
}  // namespace

TestPlug::TestPlug(IPluginInstanceInfo info)
    : IPluginVST(info, kHostParams, kIO, 2, "Binding Test", "Binding Test Product", "Quillfen", 0x10203, 0x74737431,
                 0x74737432, 0, true, false, false) {
  if (throwSwitches().construction) throw std::runtime_error("construction");
  initialize(info, kHostParams, kNumParams, kIO, 2, "Binding Test", "Binding Test Product", "Quillfen", 0x10203,
             0x74737431, 0x74737432, 0, true, false, false);
  GetParam(kGain)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.01, "amp");
  GetParam(kMode)->InitEnum("Mode", 0, 3);
  GetParam(kMode)->SetDisplayText(0, "Soft");
  GetParam(kMode)->SetDisplayText(1, "Hard");
  GetParam(kMode)->SetDisplayText(2, "Fold");
  GetParam(kOffset)->InitInt("Offset", 0, -10, 10, "st");
  GetParam(kOffset)->SetNegateDisplay(true);
  GetParam(kHidden)->InitBool("Hidden", false);
  MakeDefaultPreset("First", 1);
  SetGraphicsFactory(&makeRecording);
  AttachGraphics(MakeGraphics(this, kWidth, kHeight, 0));
}

void TestPlug::OnParamChange(int idx) {
  if (throwSwitches().paramChange) throw std::runtime_error("OnParamChange");
  changes.push_back(idx);
}

void TestPlug::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
  if (throwSwitches().process) throw std::runtime_error("ProcessDoubleReplacing");
  for (int c = 0; c < NOutChannels(); ++c)
    for (int i = 0; i < nFrames; ++i) outputs[c][i] = c < NInChannels() ? inputs[c][i] * 0.5 : 0.0;
}

void TestPlug::ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) {
  midi.push_back(*msg);
  if (!fromHardware) SendMidiMsg(msg);
}

bool TestPlug::openMidiOut(const char* name) {
  if (!GetHardwarePorts()) SetHardwarePorts(makeRtMidiHardwarePorts());
  int index = 1;
  return setExternalMIDIOut(index, name) > 0;
}

namespace {
IPluginVST* make(IPluginInstanceInfo info) { return new TestPlug(info); }
}  // namespace

AEffect* makeEffect(audioMasterCallback host) { return IPluginVST::MakeEffect(host, &make); }

}  // namespace testplug
