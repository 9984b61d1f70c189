// Incoming channel messages from the simulated synthesizer (over the
// loopback and the port layer) and from the host: filters, bound controls
// with the instrument's codings, program changes, the activity light and
// forwarding.
#include <gtest/gtest.h>

#include <algorithm>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "standin_editor.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

using hwtest::Bytes;

namespace {

struct ChannelTest : ::testing::Test, hwtest::LoopbackRig {
  void SetUp() override {
    ASSERT_TRUE(makeEditor());
    clock.setSleepObserver(
        [this](uint64_t) { EXPECT_FALSE(ed->GetMutex().IsLockedByCaller()) << "a pause under the plug-in mutex"; });
  }
  MIDIMessageManager& hub() { return ed->hub(); }
  void settle() {
    lb.drain();
    ports->waitIdle();
    ASSERT_TRUE(hwtest::spinUntil([&] { return !hub().threadRunning(MIDIMessageManager::kJobThread); }));
    lb.drain();
    sim.waitIdle();
  }
  void fromSynth(const Bytes& m) {
    sim.sendRaw(m);
    settle();
  }
  void fromHost(const Bytes& m) {
    IMidiMsg msg(0, m[0], m.size() > 1 ? m[1] : 0, m.size() > 2 ? m[2] : 0);
    ed->ProcessMidiMsg(&msg, false);
    settle();
  }
  std::vector<Bytes> received() {
    std::vector<Bytes> out;
    for (const auto& r : sim.received()) out.push_back(r.bytes);
    return out;
  }
  void clear() {
    sim.clearRecords();
    ed->clearRecords();
  }
};

// The instrument's codings of control changes, with values that leave the
// range held to it.
TEST_F(ChannelTest, ControlChangesMoveTheirControls) {
  ed->flags().localControl = true;
  const struct {
    int cc, param, value;
    double applied;
  } cases[] = {
      {36, kFilterCutoff, 28, 12}, {36, kFilterCutoff, 29, 13}, {70, kFilterCutoff, 3, 0},
      {25, kFilterCutoff, 7, 2},   {25, kFilterCutoff, 3, 3},   {105, kFilterCutoff, 10, 9},
      {105, kFilterCutoff, 0, 0},  {34, kFilterCutoff, 90, 90}, {60, kArpSwing, 14, 0},
      {61, kArpSwing, 64, 64},     {62, kArpDelay, 127, 127},   {63, kArpDelay, 114, 127},
      {95, kFilterResonance, 80, 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "CC " << c.cc << " = " << c.value);
    clear();
    ed->setParam(c.param, 50);  // no case applies 50, so every control moves
    IControl* control = ed->bindControlChange(c.param, c.cc);
    fromSynth({0xB0, static_cast<uint8_t>(c.cc), static_cast<uint8_t>(c.value)});
    EXPECT_EQ(ed->param(c.param), c.applied);
    EXPECT_DOUBLE_EQ(control->GetValue(), c.applied / 127);
    EXPECT_EQ(ed->count("applying"), 1);
    EXPECT_EQ(ed->count("mainTab"), (c.cc == 95 || (c.cc >= 60 && c.cc <= 63) || c.cc == 105) ? 0 : 1);
    if (c.cc == 25) {
      EXPECT_EQ(ed->param(kLFO1ShapeClock), c.value);
    }
    EXPECT_TRUE(received().empty());  // local control on
  }

  // The octave indicators follow the semitone controls.
  ed->bindControlChange(kOscillator2Semitone, 36);
  fromSynth({0xB0, 36, 28});
  EXPECT_EQ(ed->param(kOscillator2OctaveIndicator), 1);
  fromSynth({0xB0, 36, 29});
  EXPECT_EQ(ed->param(kOscillator2OctaveIndicator), 0);

  // Local control follows its control from the instrument only.
  ed->bindControlChange(kGlobalLocalControl, 122);
  fromSynth({0xB0, 122, 0});
  EXPECT_FALSE(ed->flags().localControl);
  fromHost({0xB0, 122, 1});
  EXPECT_EQ(ed->param(kGlobalLocalControl), 1);
  EXPECT_FALSE(ed->flags().localControl);

  // A control whose range is one value moves nothing.
  ed->GetParam(kFilterCutoffKeytrack)->InitDouble("zero", 5, 5, 5, 0);
  ed->bindControlChange(kFilterCutoffKeytrack, 50);
  fromSynth({0xB0, 50, 64});
  EXPECT_EQ(ed->param(kFilterCutoffKeytrack), 5);
}

// Filters, forwarding and the activity light, from both sources.
TEST_F(ChannelTest, FiltersForwardingAndLight) {
  ed->attachGraphics();
  ed->setParam(kGlobalMidiChannel, 1);
  const Bytes note{0x90, 60, 100}, otherChannel{0x91, 60, 100}, bend{0xE0, 0, 64};
  fromSynth(note);
  fromSynth(otherChannel);
  EXPECT_EQ(received(), (std::vector<Bytes>{note, otherChannel}));
  EXPECT_EQ(ed->param(kMIDILed), 1);
  EXPECT_TRUE(ed->flags().lightOn);

  clear();
  ed->flags().localControl = true;
  ed->flags().blocked[kMIDIFilterDAWPPPassThrough - kMIDIFilterDAWCCPassThrough] = true;
  fromSynth(note);
  fromSynth(bend);
  fromHost(note);
  fromHost(bend);
  EXPECT_EQ(received(), std::vector<Bytes>{note});
  EXPECT_TRUE(hub().fromDAW());
  fromSynth(note);
  EXPECT_FALSE(hub().fromDAW());

  // Dropped while a transfer runs or a request is pending; the host is not
  // heard before an output port is chosen.
  clear();
  ed->flags().localControl = false;
  ed->flags().transferInProgress = true;
  fromSynth(note);
  ed->flags().transferInProgress = false;
  hub().setRequestPending(true);
  fromHost(note);
  hub().setRequestPending(false);
  ed->flags().midiIOSet = false;
  fromHost(note);
  EXPECT_TRUE(received().empty());
}

// Program changes: the current patch, a part request with kGlobalDeviceID,
// the slot selection, and from the host the instrument hears it twice.
TEST_F(ChannelTest, ProgramChanges) {
  ed->setParam(kGlobalDeviceID, 4);
  sim.setDeviceId(4);
  ed->setParam(kGlobalMidiChannel, 2);
  fromSynth({0xC0, 120});
  EXPECT_EQ(ed->param(kCurrentPatch), 100);
  EXPECT_EQ(ed->targetSlot(), 99);
  EXPECT_EQ(received().at(0), sysex::frameSysex(sysex::editBufferRequest(4)));
  EXPECT_EQ(received().size(), 1u);
  EXPECT_NE(hub().lastProgramChangeTick(), 0u);

  clear();
  ed->setTargetSlot(0);
  fromHost({0xC1, 5});
  EXPECT_EQ(ed->targetSlot(), 5);
  EXPECT_EQ(ed->count("program"), 1);
  const auto got = received();
  EXPECT_EQ(std::count(got.begin(), got.end(), Bytes{0xC1, 5}), 2);
  EXPECT_EQ(std::count(got.begin(), got.end(), sysex::frameSysex(sysex::editBufferRequest(4))), 1);

  // Part lock or the filter: the program is taken, nothing else happens.
  for (bool lock : {true, false}) {
    clear();
    ed->setParam(kPartLock, lock ? 1 : 0);
    ed->flags().blocked[kMIDIFilterHWPCPassThrough - kMIDIFilterDAWCCPassThrough] = !lock;
    fromSynth({0xC0, 17});
    EXPECT_EQ(ed->param(kCurrentPatch), 17);
    EXPECT_EQ(ed->targetSlot(), 5);
    EXPECT_TRUE(received().empty());
  }
}

// With the input port alone (no output port), the instrument's program change
// selects its slot but starts no request: one could only run into its
// time-out and hold the job thread, dropping what comes in meanwhile.
TEST_F(ChannelTest, AProgramChangeWithoutAnOutputPortAsksNothing) {
  ed->flags().midiIOSet = false;
  clear();
  fromSynth({0xC0, 12});
  EXPECT_EQ(ed->param(kCurrentPatch), 12);
  EXPECT_EQ(ed->targetSlot(), 12);
  EXPECT_FALSE(hub().requestPending());
  // No job ran: it would have shown the processing indicator and its end.
  EXPECT_TRUE(ed->indicator().empty());
  EXPECT_TRUE(ed->texts().empty());
  EXPECT_TRUE(received().empty());
}

}  // namespace
