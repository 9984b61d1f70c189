// The project's window with its real controls: every bound control edited
// with the mouse at every scale, its messages from the encoder held to the
// instrument map byte for byte, found again by its echo, and sent over the
// plug-in's ports to the simulated instrument on the loopback.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IParam.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "support_uiconfig.h"
#include "synthsim/SynthSimulator.h"
#include "uiconfig/ControlActionEncoder.h"
#include "uiconfig/InstrumentMap.h"

namespace {

using Bytes = std::vector<uint8_t>;
using uitest::projectMap;

// The project's window at a scale, built as the plug-in builds it.
struct ProjectWindow : uitest::Window {
  explicit ProjectWindow(double scale, std::unique_ptr<uitest::Plug> p = nullptr)
      : Window(static_cast<int>(1500 * scale), static_cast<int>(757 * scale), std::move(p)) {
    uitest::linkProjectResources(res());
    build(0, scale);
  }
  IParam* param(int i) { return plug->GetParam(i); }
  ControlAction* action(int i) { return param(i)->GetControlAction(); }

  // Shows the layers that hold the control and hides their siblings.
  void showOnly(IControl* c) {
    std::vector<ControlLayer*> chain;
    std::function<bool(ControlLayer*)> holds = [&](ControlLayer* l) {
      for (int i = 0; i < l->NControls(); ++i)
        if (l->GetControl(i) == c) return chain.push_back(l), true;
      for (int i = 0; i < l->NSubLayers(); ++i)
        if (holds(l->GetSubLayer(i))) return chain.push_back(l), true;
      return false;
    };
    for (int i = 0; i < g->NLayers(); ++i) holds(g->GetLayer(i));
    std::function<void(ControlLayer*)> hideAll = [&](ControlLayer* l) {
      l->Hide(true);
      for (int i = 0; i < l->NSubLayers(); ++i) hideAll(l->GetSubLayer(i));
    };
    for (int i = 0; i < g->NLayers(); ++i) hideAll(g->GetLayer(i));
    for (ControlLayer* l : chain) l->Hide(false);
  }
};

// The parameters whose control lies under its protector.
bool protectedSelector(int p) {
  for (int s : {6, 7, 8, 29, 39, 45, 56, 58})
    if (s == p) return true;
  return false;
}

// A drag (knobs) or a click (switches; menus answered) at the centre of each
// bound control changes its parameter once, and no other; the LED selectors
// leave the click to their protector.
TEST(ProjectControls, EachBoundControlMovesItsParameterOnce) {
  for (double scale : {0.75, 1.0, 1.25}) {
    ProjectWindow w(scale);
    ASSERT_EQ(w.extraLines(), std::vector<std::string>());
    w.g->OpenWindow(nullptr);
    w.plug->RedrawParamControls();  // the initial values, as the editor pushes them
    int edited = 0;
    for (const uiconfig::MapEntry& e : projectMap().entries) {
      ControlAction* a = w.action(e.param);
      ASSERT_NE(a, nullptr) << e.param;
      IControl* c = a->controls.back();
      w.showOnly(c);
      const IRECT r = *c->GetRECT();
      const int x = (r.L + r.R) / 2, y = (r.T + r.B) / 2;
      const std::string type = projectMap().elements[static_cast<size_t>(e.element)].type;
      IParam* p = w.param(e.param);
      const double before = p->Value();
      w.plug->changes.clear();
      if (type.find("Menu") != std::string::npos) w.g->answerMenuByIndex({p->Int() == 1 ? 0 : 1});
      w.g->press(x, y);
      if (type.find("Knob") != std::string::npos) w.g->drag(x, p->GetNormalized() > 0.5 ? y + 12 : y - 12);
      w.g->release(x, y);
      if (protectedSelector(e.param)) {
        EXPECT_EQ(w.plug->changes, std::vector<int>()) << e.param << " at " << scale;
        continue;
      }
      EXPECT_EQ(w.plug->changes, std::vector<int>{e.param}) << e.param << " at " << scale;
      EXPECT_NE(p->Value(), before) << e.param << " at " << scale;
      ++edited;
    }
    EXPECT_TRUE(w.g->scriptErrors().empty());
    EXPECT_EQ(edited, static_cast<int>(projectMap().entries.size()) - 8);
  }
}

// The value the editor hands the encoder: swing and delay divided by 1.27,
// the LFO 1 shape's control change carrying the clocked shape.
double handed(const uiconfig::MapEntry& e, int v) {
  return e.param == 87 || e.param == 88 ? v / 1.27 : v;
}

Bytes wire(const EncodedMessages& out, size_t i) {
  if (static_cast<int>(i) < out.channelCount)
    return {out.channel[i].mStatus, out.channel[i].mData1, out.channel[i].mData2};
  Bytes b{0xF0};
  const size_t s = i - static_cast<size_t>(out.channelCount);
  b.insert(b.end(), out.sysexData(s), out.sysexData(s) + out.sysexSize(s));
  b.push_back(0xF7);
  return b;
}

// For every bound control and value the encoder gives exactly the map's
// bytes, and the echo of the entry finds the same control.
TEST(ProjectControls, EncoderYieldsTheMapsBytesAndEchoesFindTheControls) {
  ProjectWindow w(1.0);
  EncodedMessages out;
  size_t values = 0;
  for (const uiconfig::MapEntry& e : projectMap().entries) {
    ControlAction* a = w.action(e.param);
    const int lo = e.carrier >= 0 ? e.carrierMin : e.minValue, hi = e.carrier >= 0 ? e.carrierMax : e.maxValue;
    for (int v = lo; v <= hi; ++v, ++values) {
      ASSERT_TRUE(encodeControlAction(*a, e.param, handed(e, v), w.param(e.param)->GetMin(), 3, 5, out)) << e.param;
      const std::vector<Bytes> want = uiconfig::mapMessages(e, v, 3, 5);
      ASSERT_EQ(static_cast<size_t>(out.channelCount) + out.sysexCount(), want.size()) << e.param;
      for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(wire(out, i), want[i]) << e.param << " value " << v;
      if (e.coding == uiconfig::Coding::kSysEx) {
        // The instrument's echo: F0 3E 16 58 41 hh ll vv 00 F7, looked up by bytes 3-6.
        const Bytes echo{0xF0, 0x3E, 0x16, 0x58, 0x41, want[0][5], want[0][6], static_cast<uint8_t>(v), 0, 0xF7};
        EXPECT_EQ(w.ui->sysExControls().findControl(echo[3], echo[4], echo[5], echo[6], 0), a->controls.back());
      }
    }
    if (e.coding == uiconfig::Coding::kCC || e.coding == uiconfig::Coding::kCCSwitch)
      EXPECT_EQ(w.ui->ccMap().findControl(0, e.cc, 0), a->controls.back()) << e.param;
    if (e.coding == uiconfig::Coding::kNRPN)
      EXPECT_EQ(w.ui->nrpnControls().findControl(0, e.msb, e.lsb, e.lsbControl, 0), a->controls.back());
  }
  EXPECT_GT(values, 3000u);
}

// Each bound control's messages at its lowest and highest value reach the
// simulated instrument byte for byte over the plug-in's ports.
TEST(ProjectControls, LowestAndHighestValuesReachTheInstrument) {
  LoopbackHub hub;
  std::unique_ptr<MidiBackend> simBackend = hub.makeBackend();
  synthsim::SynthSimulator sim{*simBackend};
  ProjectWindow w(1.0);
  w.plug->SetHardwarePorts(std::make_unique<MidiPorts>(hub.makeBackend()));
  int index = 1;
  ASSERT_GT(w.plug->setExternalMIDIOut(index, "MIDI In"), 0);

  std::vector<Bytes> expected;
  EncodedMessages out;
  for (const uiconfig::MapEntry& e : projectMap().entries) {
    const int lo = e.carrier >= 0 ? e.carrierMin : e.minValue, hi = e.carrier >= 0 ? e.carrierMax : e.maxValue;
    for (int v : {lo, hi}) {
      ASSERT_TRUE(encodeControlAction(*w.action(e.param), e.param, handed(e, v), 0.0, 0, 0, out));
      for (int m = 0; m < out.channelCount; ++m) ASSERT_TRUE(w.plug->SendMidiMsg(&out.channel[m]));
      for (size_t m = 0; m < out.sysexCount(); ++m) {
        const Bytes bytes(out.sysexData(m), out.sysexData(m) + out.sysexSize(m));
        ASSERT_TRUE(w.plug->SendMidiSysex(bytes.data(), static_cast<int>(bytes.size())));
      }
      for (const Bytes& b : uiconfig::mapMessages(e, v, 0, 0)) expected.push_back(b);
    }
  }
  hub.drain();
  sim.waitIdle();
  std::vector<Bytes> received;
  for (const auto& r : sim.received()) received.push_back(r.bytes);
  EXPECT_EQ(received, expected);
  w.plug->SetHardwarePorts(nullptr);
}

}  // namespace
