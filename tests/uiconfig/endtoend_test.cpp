// One control of every bound kind, from the description to the simulated
// instrument and back: edited in a headless window, its messages worked
// out by the encoder and sent over the plug-in's ports on the loopback; the
// instrument's own control changes and single-parameter messages arriving
// through the input split, finding their controls in the containers and
// moving them.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "framework/IControl.h"
#include "framework/IParam.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "hardware/SysexProtocol.h"
#include "support_uiconfig.h"
#include "synthsim/SynthSimulator.h"
#include "uiconfig/ControlActionEncoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kSysex = R"(<sysexlist>
  <sysex><values><value>3E 16 58 41 00 00 00 00</value></values></sysex>
  <sysex><values><value>3E 16 58 41 00 01 00 00</value></values></sysex>
  <sysex><values><value>3E 16 58 41 00 03 00 00</value></values></sysex>
  <sysex><values><value>3E 16 58 41 00 04 00 00</value></values></sysex></sysexlist>)";

const std::string kWindow = R"(<valueLists><list name="four"><value>A</value><value>B</value><value>C</value><value>D</value></list></valueLists>
  <knobcontrol type="ccKnob" name="A" paramId="kFilterCutoff" ccNumber="74" imageId="KNOB_ID127" position="10,10" valueBounds="0,0,127,1"/>
  <buttoncontrol type="ccButton" name="B" paramId="kSustainSwitch" ccNumber="64" imageId="BUTTON_SML_LED_ID" position="30,10" valueBounds="0,0,127"/>
  <slidercontrol type="ccSliderVer" name="C" paramId="kFilterResonance" ccNumber="71" imageId="KNOB_ID127" position="50,10" length="40" valueBounds="0,0,127"/>
  <menucontrol type="ccMenu" name="D" paramId="kFilterType" ccNumber="30" position="70,10,40" valueBounds="0,0,4" valueList="four"/>
  <knobcontrol type="msbLsbKnob" name="E" paramId="kVolume" ccNumber="6" msbValue="1" lsbControl="5" imageId="KNOB_ID127" position="120,10" valueBounds="0,0,127"/>
  <buttoncontrol type="msbLsbButton" name="F" paramId="kArpOnOff" ccNumber="6" msbValue="1" lsbControl="6" imageId="BUTTON_SML_LED_ID" position="140,10" valueBounds="0,0,1"/>
  <menucontrol type="msbLsbMenu" name="G" paramId="kPortamentoMode" ccNumber="6" msbValue="1" lsbControl="7" position="160,10,40" valueBounds="0,0,4" valueList="four"/>
  <buttoncontrol type="seButton" name="H" paramId="kGlobalMidiThru" imageId="BUTTON_SML_LED_ID" position="10,60" sysexIndex="2" changingByte="7"/>
  <knobcontrol type="seKnob" name="I" paramId="kGlobalMasterTune" imageId="KNOB_ID127" position="30,60" valueBounds="64,0,127" sysexIndex="0" changingByte="7"/>
  <slidercontrol type="seSliderHor" name="J" paramId="kGlobalTranspose" imageId="KNOB_ID127" position="50,60" length="40" valueBounds="24,0,48" sysexIndex="1" changingByte="7"/>
  <menucontrol type="seMenu" name="K" paramId="kGlobalVelCurv" position="100,60,40" valueBounds="0,0,4" valueList="four" sysexIndex="3" changingByte="7"/>)";

// Records what arrives from the ports, on the delivery thread.
struct PortPlug : uitest::Plug {
  ~PortPlug() override { SetHardwarePorts(nullptr); }
  void ProcessMidiMsg(IMidiMsg* msg, bool) override {
    std::lock_guard<std::mutex> lock(mutex);
    arrived.push_back({msg->mStatus, msg->mData1, msg->mData2});
  }
  void ProcessSysEx(ISysEx* s, bool) override {
    std::lock_guard<std::mutex> lock(mutex);
    arrived.emplace_back(s->mData, s->mData + s->mSize);
  }
  std::mutex mutex;
  std::vector<Bytes> arrived;
};

enum Input { kDrag, kClick, kFader, kMenu };
struct Edit {
  int idx;
  Input input;
};
const Edit kEdits[] = {{40, kDrag}, {51, kClick}, {44, kFader}, {45, kMenu}, {46, kDrag}, {52, kClick},
                       {48, kMenu}, {225, kClick}, {216, kDrag}, {219, kFader}, {237, kMenu}};

struct EndToEnd : ::testing::Test {
  EndToEnd() : w(kWindow, 1.0, 240, 120, kSysex, std::make_unique<PortPlug>()) {
    plug().SetHardwarePorts(std::make_unique<MidiPorts>(hub.makeBackend()));
  }
  PortPlug& plug() { return static_cast<PortPlug&>(*w.plug); }
  IParam* param(int i) { return w.plug->GetParam(i); }
  IControl* control(int i) { return param(i)->GetControlAction()->controls.at(0); }
  // Everything sent so far has been handled by the simulator and delivered
  // to the plug-in by the ports' delivery thread.
  void settle() {
    hub.drain();
    sim.waitIdle();
    hub.drain();
    static_cast<MidiPorts*>(w.plug->GetHardwarePorts())->waitIdle();
  }

  LoopbackHub hub;
  std::unique_ptr<MidiBackend> simBackend = hub.makeBackend();
  synthsim::SynthSimulator sim{*simBackend};
  uitest::Built w;
};

// The single-parameter message of every value of every system-exclusive
// control finds it by bytes 3-6; every CC control sits at (0, cc, 0).
TEST_F(EndToEnd, EchoKeysFindTheirControls) {
  ASSERT_EQ(w.extra, std::vector<std::string>());
  int sysexControls = 0, ccControls = 0;
  for (int i = 0; i < w.plug->NParams(); ++i) {
    const ControlAction* a = param(i)->GetControlAction();
    if (!a) continue;
    if (a->type == 1 || a->type == 2) {
      ++ccControls;
      EXPECT_EQ(w.ui->ccMap().findControl(0, a->ccNumber, 0), a->controls.back()) << i;
    }
    if (a->type != 5 && a->type != 6) continue;
    ++sysexControls;
    for (const SysexMessageInts& m : a->sysExMessage.messages) {
      const Bytes in = sysex::singleParameterChange((uint8_t)m[4], (uint8_t)m[5], (uint8_t)m[6]);
      EXPECT_EQ(w.ui->sysExControls().findControl(in[3], in[4], in[5], in[6], 0), a->controls.back()) << i;
    }
  }
  EXPECT_EQ(sysexControls, 4);
  EXPECT_EQ(ccControls, 4);
}

TEST_F(EndToEnd, EditsReachTheInstrumentAndItsMessagesComeBack) {
  ASSERT_EQ(w.extra, std::vector<std::string>());
  int index = 1;
  ASSERT_GT(w.plug->setExternalMIDIOut(index, "MIDI In"), 0);
  ASSERT_GT(w.plug->setExternalMIDIIn(index, "MIDI Out"), 0);
  w.g->OpenWindow(nullptr);
  w.plug->RedrawParamControls();  // the initial values, as the editor pushes them

  std::vector<Bytes> expected;
  EncodedMessages out;
  for (const Edit& e : kEdits) {
    const IRECT r = *control(e.idx)->GetRECT();
    const int x = (r.L + r.R) / 2, y = (r.T + r.B) / 2;
    w.plug->changes.clear();
    if (e.input == kMenu) w.g->answerMenuByIndex({2});
    // A fader's top-left corner is far from its value (0 going up, 24 going left).
    if (e.input == kFader)
      w.g->press(r.L + 1, r.T + 1);
    else
      w.g->press(x, y);
    if (e.input == kDrag) w.g->drag(x, y - 12);
    w.g->release(x, y);
    EXPECT_EQ(w.plug->changes, std::vector<int>{e.idx}) << e.idx;

    IParam* p = param(e.idx);
    ASSERT_TRUE(encodeControlAction(*p->GetControlAction(), e.idx, p->Value(), p->GetMin(), 0, 0, out)) << e.idx;
    for (int m = 0; m < out.channelCount; ++m) {
      ASSERT_TRUE(w.plug->SendMidiMsg(&out.channel[m]));
      expected.push_back({out.channel[m].mStatus, out.channel[m].mData1, out.channel[m].mData2});
    }
    for (size_t m = 0; m < out.sysexCount(); ++m) {
      const Bytes bytes(out.sysexData(m), out.sysexData(m) + out.sysexSize(m));
      ASSERT_TRUE(w.plug->SendMidiSysex(bytes.data(), (int)bytes.size()));
      expected.push_back(Bytes{0xF0});
      expected.back().insert(expected.back().end(), bytes.begin(), bytes.end());
      expected.back().push_back(0xF7);
    }
  }
  EXPECT_TRUE(w.g->scriptErrors().empty());
  settle();
  std::vector<Bytes> wire;
  for (const auto& r : sim.received()) wire.push_back(r.bytes);
  EXPECT_EQ(wire, expected);
  EXPECT_EQ(wire.size(), 4u + 9u + 4u);
  EXPECT_EQ(wire[4], (Bytes{0xB0, 99, 1}));                                              // the NRPN triple
  EXPECT_EQ(wire.back(), (Bytes{0xF0, 0x3E, 0x16, 0, 0x41, 0, 4, 2, 0, 0xF7}));  // menu entry 2, device 0

  // The instrument's own changes, through the input split to their controls.
  struct Echo {
    int idx, cc, value;  // cc -1: a single-parameter message of the control's address
  };
  const Echo echoes[] = {{40, 74, 100}, {51, 64, 0}, {44, 71, 5}, {45, 30, 3},
                         {225, -1, 0},  {216, -1, 127}, {219, -1, 48}, {237, -1, 1}};
  for (const Echo& e : echoes) {
    if (e.cc >= 0) {
      ASSERT_TRUE(sim.sendControlChange(1, e.cc, e.value));
    } else {
      const SysexMessageInts& m = param(e.idx)->GetControlAction()->sysExMessage.messages.at(0);
      ASSERT_TRUE(sim.sendSingleParameter((uint8_t)m[4], (uint8_t)m[5], (uint8_t)e.value));
    }
  }
  settle();
  std::vector<Bytes> arrived;
  {
    std::lock_guard<std::mutex> lock(plug().mutex);
    arrived = plug().arrived;
  }
  ASSERT_EQ(arrived.size(), std::size(echoes));
  for (size_t i = 0; i < arrived.size(); ++i) {
    const Bytes& b = arrived[i];
    const Echo& e = echoes[i];
    const bool channel = b.size() == 3;
    ASSERT_EQ(channel, e.cc >= 0) << i;
    IControl* found = channel ? w.ui->ccMap().findControl(b[0] & 0x0F, b[1], 0)
                              : w.ui->sysExControls().findControl(b[3], b[4], b[5], b[6], 0);
    ASSERT_EQ(found, control(e.idx)) << e.idx;
    IParam* p = param(e.idx);
    const std::optional<double> n = incomingNormalised(channel ? b[2] : b[7], p->GetMin(), p->GetMax());
    ASSERT_TRUE(n);
    found->SetValueFromHardware(*n);
    EXPECT_EQ(p->Value(), e.value) << e.idx;
  }
}

}  // namespace
