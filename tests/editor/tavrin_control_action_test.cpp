// Edits leaving for the instrument: each action type's bytes and label on
// the loopback, the whole-value memory, the missing-port text, the send
// permission, the queue routing and the light; values from the instrument
// shown without an echo; the input hooks' drops.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/IParam.h"
#include "framework/ITextControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "support_midi.h"
#include "support_tavrin.h"
#include "uiconfig/ControlAction.h"

namespace {

using Bytes = std::vector<uint8_t>;
using edtest::Harness;

constexpr int kLevel = kOscillator2Level;  // a plain parameter, minimum 0

Bytes framed(Bytes body) {
  body.insert(body.begin(), 0xF0);
  body.push_back(0xF7);
  return body;
}

ControlAction action(int type, int cc = -1) {
  ControlAction a;
  a.type = type;
  a.ccNumber = cc;
  return a;
}

class TavrinControlAction : public ::testing::Test {
 protected:
  void SetUp() override {
    h.sim.setDeviceId(5);
    ASSERT_TRUE(h.choosePortsAndWait());
    ASSERT_EQ(p.sharedFlags().deviceId.load(), 5);
    h.sim.clearRecords();
  }
  // What one send of the action leaves at the simulator.
  std::vector<Bytes> send(ControlAction& a, int idx, double value) {
    h.sim.clearRecords();
    p.processControlAction(&a, idx, value);
    return h.receivedBytes();
  }
  std::vector<Bytes> userEdit(int idx, double value) {
    h.sim.clearRecords();
    h.set(idx, value);
    return h.receivedBytes();
  }
  std::string text(int idx) {
    KIT_MutexLock lock(p.GetMutex());
    auto* display = dynamic_cast<ITextControl*>(p.rememberedControl(idx));
    return display ? display->GetTextForPlug() : "";
  }
  // The first parameter above 2 whose description binds a plain CC action.
  int ccParameter() {
    for (int idx = 3; idx < 80; ++idx) {
      const ControlAction* a = p.GetParam(idx)->GetControlAction();
      if (a && a->type == 1 && a->ccNumber >= 0 && p.GetParam(idx)->GetMin() == 0.0 && idx != kLFO1Shape) return idx;
    }
    return -1;
  }

  Harness h{edtest::projectRoot(), nullptr, false, {}, false};
  Tavrin& p = h.tavrin();
};

TEST_F(TavrinControlAction, EachTypeSendsItsBytesOnceWithItsLabel) {
  ASSERT_EQ(p.GetParam(kLevel)->GetMin(), 0.0);
  ControlAction onOff = action(2, 80);
  onOff.minValue = 10, onOff.maxValue = 120;
  ControlAction nrpn = action(3, 6);
  nrpn.msbValue = 1, nrpn.lsbControl = 20, nrpn.lsbValue = 64;
  ControlAction sysexOnOff = action(5);
  sysexOnOff.sysExMessage.messages = {{0x3E, 0x16, 0, 0x20, 0}, {0x3E, 0x16, 0, 0x20, 1}};
  ControlAction group = action(6);
  group.sysExMessage.multiMessage = true;
  group.sysExMessage.messageLists = {{}, {{0x3E, 0x16, 0, 1}, {0x3E, 0x16, 0, 2}}};
  ControlAction byValue = action(6);
  byValue.sysExMessage.messages = {{}, {}, {0x3E, 0x16, 0, 0x41, 0x43, 1, 0x10, 9, 2}};
  ControlAction cc74 = action(1, 74), semitone = action(1, 21), none = action(4, 5);
  struct Row {
    const char* what;
    ControlAction* a;
    int idx;
    double value;
    std::vector<Bytes> bytes;
    const char* label;
  } rows[] = {
      {"CC with the value", &cc74, kLevel, 63.7, {{0xB0, 74, 63}}, "CC|74"},
      {"semitone offset", &semitone, kOscillator1Semitone, 5, {{0xB0, 21, 21}}, "CC|21"},
      {"on/off at 0", &onOff, kLevel, 0, {{0xB0, 80, 10}}, "CC|80"},
      {"on/off above 0", &onOff, kLevel, 1, {{0xB0, 80, 120}}, "CC|80"},
      {"NRPN triple", &nrpn, kLevel, 10, {{0xB0, 0x63, 1}, {0xB0, 0x62, 0x14}, {0xB0, 6, 0x4A}}, "MSB/LSB"},
      {"system-exclusive on/off", &sysexOnOff, kLevel, 1, {framed({0x3E, 0x16, 5, 0x20, 1})}, "SysEx"},
      {"group", &group, kLevel, 1, {framed({0x3E, 0x16, 5, 1}), framed({0x3E, 0x16, 5, 2})}, "SysEx"},
      {"value address", &byValue, kLevel, 2, {framed({0x3E, 0x16, 5, 0x41, 0x43, 1, 0x7F, 0x7F, 2})}, "SysEx"},
      // An index outside the list and a type that sends nothing keep the label.
      {"outside the list", &sysexOnOff, kLevel, 2, {}, "SysEx"},
      {"nothing type", &none, kLevel, 3, {}, "SysEx"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(send(*row.a, row.idx, row.value), row.bytes);
    EXPECT_EQ(text(kControlDisplayCC), row.label);
  }
  // The same whole value again sends nothing and keeps the label.
  EXPECT_TRUE(send(cc74, kLevel, 63.2).empty());
  EXPECT_EQ(text(kControlDisplayCC), "SysEx");
  EXPECT_EQ(cc74.lastValue, 63.0);
}

// Two control changes whose data is not the plain value: the LFO shape's
// carries the clocked shape's position, the arpeggiator clock's its value
// plus 1.
TEST_F(TavrinControlAction, TheLfoShapeAndTheArpClockCodings) {
  const ControlAction* lfo = p.GetParam(kLFO1Shape)->GetControlAction();
  const ControlAction* clock = p.GetParam(kArpClock)->GetControlAction();
  ASSERT_TRUE(lfo && lfo->type == 1 && clock && clock->type == 1);
  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(kLFO1ShapeClock)->Set(7);
  }
  EXPECT_EQ(userEdit(kLFO1Shape, 2), std::vector<Bytes>({{0xB0, static_cast<uint8_t>(lfo->ccNumber), 7}}));
  EXPECT_EQ(userEdit(kArpClock, 3), std::vector<Bytes>({{0xB0, static_cast<uint8_t>(clock->ccNumber), 4}}));
  EXPECT_EQ(text(kControlDisplayCC), "CC|" + std::to_string(clock->ccNumber));
}

TEST_F(TavrinControlAction, ChannelPermissionAndRouting) {
  ControlAction cc = action(1, 74);
  const struct {
    double channel;
    uint8_t status;
  } channels[] = {{0, 0xB0}, {1, 0xB0}, {16, 0xBF}};
  uint8_t v = 1;
  for (const auto& c : channels) {
    p.GetParam(kGlobalMidiChannel)->Set(c.channel);
    ++v;
    EXPECT_EQ(send(cc, kLevel, v), std::vector<Bytes>({{c.status, 74, v}}));
  }
  p.GetParam(kGlobalMidiChannel)->Set(1);

  // Refused only while the hub applies a value from the port with local
  // control on; a value from the host passes.
  MIDIMessageManager& hub = *p.hub();
  hub.setApplyingIncoming(true);
  p.sharedFlags().localControl.store(true);
  EXPECT_TRUE(send(cc, kLevel, 20).empty());
  EXPECT_EQ(cc.lastValue, 20.0);
  hub.setFromDAW(true);
  EXPECT_EQ(send(cc, kLevel, 21).size(), 1u);
  hub.setFromDAW(false);
  p.sharedFlags().localControl.store(false);
  EXPECT_EQ(send(cc, kLevel, 22).size(), 1u);
  hub.setApplyingIncoming(false);

  // Queued, the message waits at offset 0 and nothing reaches the port.
  p.sharedFlags().queueRouting.store(true);
  EXPECT_TRUE(send(cc, kLevel, 23).empty());
  {
    KIT_MutexLock lock(p.GetMutex());
    ASSERT_EQ(p.midiQueue().ToDo(), 1);
    EXPECT_EQ(p.midiQueue().At(0)->mOffset, 0);
    EXPECT_EQ(p.midiQueue().At(0)->mData2, 23);
  }
  p.sharedFlags().queueRouting.store(false);

  // While the light shows output, only the global channel lights it.
  p.setLightTracksInput(false);
  p.sharedFlags().lightOn.store(false);
  IMidiMsg other;
  other.MakeControlChangeMsg(7, 0.5, 3);
  p.sendMidiMsgAndLog(&other);
  EXPECT_FALSE(p.isMidiLedOn());
  send(cc, kLevel, 24);
  EXPECT_TRUE(p.isMidiLedOn());
  EXPECT_EQ(h.value(kMIDILed), 1.0);
}

TEST_F(TavrinControlAction, ValuesFromTheInstrumentAreShownAndNotEchoed) {
  const int idx = ccParameter();
  ASSERT_GE(idx, 0);
  const int cc = p.GetParam(idx)->GetControlAction()->ccNumber;
  ASSERT_TRUE(h.sim.sendControlChange(1, cc, 33));
  ASSERT_TRUE(hwtest::spinUntil([&] { return h.value(idx) == 33.0; }));
  EXPECT_TRUE(h.receivedBytes().empty());
  EXPECT_FALSE(p.hardwareChange());
  EXPECT_EQ(text(kControlDisplayName), p.GetParam(idx)->GetNameForHost());
  EXPECT_EQ(text(kControlDisplayValue), "33");
  // The same value from the user is not sent again; another value is.
  EXPECT_TRUE(userEdit(idx, 33).empty());
  EXPECT_EQ(userEdit(idx, 34), std::vector<Bytes>({{0xB0, static_cast<uint8_t>(cc), 34}}));

  // A single-parameter message at the MIDI thru switch's address moves it
  // and both lines, and sends nothing back; the user's equal value neither.
  const std::vector<int>& thru = p.GetParam(kGlobalMidiThru)->GetControlAction()->sysExMessage.messages.at(1);
  ASSERT_EQ(h.value(kGlobalMidiThru), 0.0);
  h.sim.clearRecords();
  ASSERT_TRUE(h.sim.sendSingleParameter(static_cast<uint8_t>(thru[4]), static_cast<uint8_t>(thru[5]), 1));
  ASSERT_TRUE(hwtest::spinUntil([&] { return h.value(kGlobalMidiThru) == 1.0; }));
  EXPECT_TRUE(h.receivedBytes().empty());
  EXPECT_EQ(text(kControlDisplayName), p.GetParam(kGlobalMidiThru)->GetNameForHost());
  EXPECT_EQ(text(kControlDisplayValue), "ON [1]");
  EXPECT_TRUE(userEdit(kGlobalMidiThru, 1).empty());
  const std::vector<Bytes> off = userEdit(kGlobalMidiThru, 0);
  ASSERT_EQ(off.size(), 1u);
  EXPECT_EQ(off[0][0], 0xF0);

  // A system-exclusive message from the port forgets every value sent, so
  // after a dump's write the edit back to 34 goes out.
  ASSERT_TRUE(h.sim.sendRaw({0xF0, 0x3E, 0x16, 5, 0x7F, 0xF7}));
  ASSERT_TRUE(hwtest::spinUntil([&] {
    KIT_MutexLock lock(p.GetMutex());
    return p.GetParam(idx)->GetControlAction()->lastValue == -1.0;
  }));
  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(idx)->Set(50);
  }
  EXPECT_EQ(userEdit(idx, 34).size(), 1u);

  // The main tab follows the instrument; request-pending ends with the call.
  p.hub()->setRequestPending(true);
  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(kMainTab)->Set(3);
    p.OnParamChange2(kMainTab);
  }
  EXPECT_FALSE(p.hub()->requestPending());
  EXPECT_EQ(h.value(kMainTab), 3.0);
}

TEST_F(TavrinControlAction, InputDropsDuringATransferAndWhileAPassThroughIsOff) {
  const int idx = ccParameter();
  ASSERT_GE(idx, 0);
  const int cc = p.GetParam(idx)->GetControlAction()->ccNumber;
  const double before = h.value(idx);
  p.sharedFlags().transferInProgress.store(true);
  ASSERT_TRUE(h.sim.sendControlChange(1, cc, 77));
  h.settle();
  EXPECT_EQ(h.value(idx), before);
  p.sharedFlags().transferInProgress.store(false);
  // So does a pending request; a message without a status goes nowhere.
  p.hub()->setRequestPending(true);
  ASSERT_TRUE(h.sim.sendControlChange(1, cc, 78));
  h.settle();
  EXPECT_EQ(h.value(idx), before);
  p.hub()->setRequestPending(false);
  ASSERT_TRUE(h.sim.sendRaw({0x05, 0x06}));
  h.settle();
  EXPECT_EQ(h.value(idx), before);

  // With the instrument's system-exclusive pass-through off, its messages
  // are dropped: no reset of the values sent. The editor's own feed passes.
  ControlAction* a = p.GetParam(idx)->GetControlAction();
  userEdit(idx, 40);
  h.set(kMIDIFilterHWSEPassThrough, 0);
  const Bytes message = {0xF0, 0x3E, 0x16, 5, 0x7F, 0xF7};
  ASSERT_TRUE(h.sim.sendRaw(message));
  h.settle();
  {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_EQ(a->lastValue, 40.0);
  }
  p.setLightTracksInput(true);
  p.sharedFlags().lightOn.store(false);
  p.feedSysEx(message.data(), static_cast<int>(message.size()));
  EXPECT_TRUE(p.isMidiLedOn());
  // Too short to name the instrument: no light.
  p.sharedFlags().lightOn.store(false);
  p.feedSysEx(message.data(), 2);
  EXPECT_FALSE(p.isMidiLedOn());
  // The host's messages follow the host's setting.
  std::vector<uint8_t> copy = message;
  ISysEx fromHost(0, copy.data(), static_cast<int>(copy.size()));
  h.set(kMIDIFilterDAWSEPassThrough, 0);
  p.ProcessSysEx(&fromHost, false);
  EXPECT_FALSE(p.isMidiLedOn());
  h.set(kMIDIFilterDAWSEPassThrough, 1);
  p.ProcessSysEx(&fromHost, false);
  EXPECT_TRUE(p.isMidiLedOn());
}

// A host's channel message with a data byte of 128 or more is no MIDI: it
// neither moves a control nor reaches the instrument; a valid one does both.
TEST_F(TavrinControlAction, HostMessagesWithAHighDataByteAreDropped) {
  const int idx = ccParameter();
  ASSERT_GE(idx, 0);
  const auto cc = static_cast<uint8_t>(p.GetParam(idx)->GetControlAction()->ccNumber);
  const double before = h.value(idx);
  const auto fromHost = [&](uint8_t status, uint8_t data1, uint8_t data2) {
    h.sim.clearRecords();
    IMidiMsg msg(0, status, data1, data2);
    p.ProcessMidiMsg(&msg, false);
    return h.receivedBytes();
  };
  EXPECT_TRUE(fromHost(0xB0, cc, 0xC8).empty());
  EXPECT_TRUE(fromHost(0x90, 0xBC, 0x40).empty());
  EXPECT_TRUE(fromHost(0xE0, 0x00, 0x80).empty());
  EXPECT_EQ(h.value(idx), before);
  EXPECT_EQ(fromHost(0xD0, 0x40, 0x90), (std::vector<Bytes>{{0xD0, 0x40}}));
  EXPECT_EQ(fromHost(0xB0, cc, 0x48), (std::vector<Bytes>{{0xB0, cc, 0x48}}));
  EXPECT_EQ(h.value(idx), 0x48);
}

// The test thread's pauses taken since mark, in ms; none held the mutex.
std::vector<uint64_t> testPauses(Harness& h, size_t mark) {
  std::vector<uint64_t> ms;
  const std::vector<edtest::Sleep> sleeps = h.sleeps();
  for (size_t i = mark; i < sleeps.size(); ++i) {
    EXPECT_FALSE(sleeps[i].heldPluginMutex);
    if (sleeps[i].testThread) ms.push_back(sleeps[i].micros / 1000);
  }
  return ms;
}

TEST_F(TavrinControlAction, BankAndProgramChangesWithTheirPauses) {
  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(kCurrentBank)->Set(2);
    p.GetParam(kCurrentPatch)->Set(4);
  }
  size_t mark = h.sleeps().size();
  h.sim.clearRecords();
  EXPECT_TRUE(p.BankChangeMessage());
  EXPECT_EQ(h.receivedBytes(), std::vector<Bytes>({{0xB0, 0x7B, 0}, {0xB0, 0, 0}, {0xB0, 0x20, 2}, {0xC0, 4}}));
  EXPECT_EQ(testPauses(h, mark), std::vector<uint64_t>({25, 25, 50}));
  // While the enquiry waits for the global dump, no all-notes-off.
  p.sharedFlags().awaitingGlobalDump.store(true);
  h.sim.clearRecords();
  p.BankChangeMessage();
  EXPECT_EQ(h.receivedBytes().size(), 3u);
  p.sharedFlags().awaitingGlobalDump.store(false);

  // Programs are limited to 0..100, each followed by the request pacing.
  const struct {
    int program;
    double timer;
    uint8_t sent;
    uint64_t pause;
  } rows[] = {{127, 0, 100, 200}, {-5, 3, 0, 500}, {7, 9, 7, 100}};
  for (const auto& r : rows) {
    p.GetParam(kLibSyncTimer)->Set(r.timer);
    mark = h.sleeps().size();
    h.sim.clearRecords();
    p.SendProgramChangeCommand(r.program, 0);
    EXPECT_EQ(h.receivedBytes(), std::vector<Bytes>({{0xC0, r.sent}}));
    EXPECT_EQ(testPauses(h, mark), std::vector<uint64_t>({r.pause}));
  }
}

TEST_F(TavrinControlAction, PartDataWaitsNoLongerThanARequestJobRuns) {
  p.setSectionLock(true);
  p.GetParam(kLibSyncTimer)->Set(1);  // 300 ms
  std::atomic<bool> release{false};
  h.holdJobSleeps([&] { return release.load(); });
  SenderJob request;
  request.mode = SenderJob::kEditBufferRequest;
  ASSERT_TRUE(p.startJob(request));
  p.hub()->setRequestPending(true);
  const size_t mark = h.sleeps().size();
  p.sendPartDataBackToHardware(0);
  uint64_t waited = 0;
  for (uint64_t ms : testPauses(h, mark)) waited += ms;
  EXPECT_EQ(waited, 200u + 150u * 300u);
  release = true;
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.hub()->threadRunning(MIDIMessageManager::kJobThread); }));
  h.holdJobSleeps({});

  // With no request pending, the sound goes back to the instrument.
  p.hub()->setRequestPending(false);
  h.sim.clearRecords();
  p.sendPartDataBackToHardware(0);
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.hub()->threadRunning(MIDIMessageManager::kJobThread); }));
  bool dump = false;
  for (const Bytes& b : h.receivedBytes()) dump = dump || b.size() == sounddump::kLength;
  EXPECT_TRUE(dump);
}

TEST(TavrinControlActionNoPort, SetMidiIOFirstExceptForThePortsAndTheChannel) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  Tavrin& p = h.tavrin();
  ControlAction cc = action(1, 74);
  for (int idx : {kDeviceOutSelection, kDeviceInSelection, kGlobalMidiChannel}) {
    p.setStatusText("x");
    p.processControlAction(&cc, idx, 1);
    EXPECT_EQ(p.statusText(), "x");
  }
  p.processControlAction(&cc, kLevel, 9);
  EXPECT_EQ(p.statusText(), Tavrin::kMidiIONotSetText);
  EXPECT_EQ(cc.lastValue, -1.0);
  // Once the ports are chosen, the same value is sent.
  ASSERT_TRUE(h.choosePortsAndWait());
  h.sim.clearRecords();
  p.processControlAction(&cc, kLevel, 9);
  EXPECT_EQ(h.receivedBytes(), std::vector<Bytes>({{0xB0, 74, 9}}));
}

}  // namespace

namespace {

// A system-exclusive edit of the project's description, made by the user
// with the debug log on: the message that went out is in the log.
TEST(TavrinControlActionLog, SystemExclusiveEditsReachTheDebugLog) {
  edtest::Harness h{edtest::projectRoot(), nullptr, true, {}, false};
  Tavrin& p = h.tavrin();
  ASSERT_TRUE(h.choosePortsAndWait());
  // A global setting: its edits travel as system-exclusive values.
  const int idx = kGlobalInputGain;
  const ControlAction* a = p.GetParam(idx)->GetControlAction();
  ASSERT_TRUE(a && a->type == 6 && !a->sysExMessage.multiMessage && a->sysExMessage.messages.size() > 64);
  h.sim.clearRecords();
  h.set(idx, 64);
  const std::vector<Bytes> sent = h.receivedBytes();
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_GE(sent[0].size(), 2u);
  std::string line = "\t SYSEX OUT:";
  for (size_t i = 1; i + 1 < sent[0].size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", sent[0][i]);
    line += hex;
  }
  const std::string log = h.logText();
  EXPECT_NE(log.find(line + "\n"), std::string::npos) << line << "\n" << log;
}

}  // namespace
