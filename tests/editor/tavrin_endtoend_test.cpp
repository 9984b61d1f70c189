// End to end on the loopback with the project's description and the
// simulated instrument at device ID 5, its ports chosen in the window's port
// menus: the enquiry and the global dump, the clock source's sound push,
// the header's program menu in hardware mode and a bank request from the
// librarian's command menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IParam.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "hardware/SysexProtocol.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "support_midi.h"
#include "support_tavrin.h"
#include "uiconfig/ControlAction.h"

namespace {

using Bytes = std::vector<uint8_t>;
using edtest::Harness;

constexpr uint8_t kDevice = 5;

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

Bytes endToEndFramed(Bytes body) {
  body.insert(body.begin(), 0xF0);
  body.push_back(0xF7);
  return body;
}

class TavrinEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { h.sim.setDeviceId(kDevice); }
  void choosePorts() {
    ASSERT_TRUE(h.choosePortsAndWait());
    h.sim.clearRecords();
  }
  // Presses the middle of the only control of a layer, as a click there
  // does, with the menu answer given.
  void pressMenu(const char* layer, std::vector<std::string> answer) {
    IControl* menu = nullptr;
    {
      KIT_MutexLock lock(p.GetMutex());
      ControlLayer* l = p.namedLayer(layer);
      ASSERT_NE(l, nullptr) << layer;
      ASSERT_TRUE(l->IsVisible()) << layer;
      menu = l->GetControl(0);
    }
    const IRECT r = *menu->GetRECT();
    h.gui().answerMenuByText(std::move(answer));
    h.gui().press((r.L + r.R) / 2, (r.T + r.B) / 2);
    h.gui().release((r.L + r.R) / 2, (r.T + r.B) / 2);
    EXPECT_TRUE(h.gui().unusedAnswers().empty()) << layer;
  }
  // The pauses of one kind of thread since mark, in ms; none held the mutex.
  std::vector<uint64_t> pauses(size_t mark, bool testThread) {
    std::vector<uint64_t> ms;
    const std::vector<edtest::Sleep> sleeps = h.sleeps();
    for (size_t i = mark; i < sleeps.size(); ++i) {
      EXPECT_FALSE(sleeps[i].heldPluginMutex);
      if (sleeps[i].testThread == testThread) ms.push_back(sleeps[i].micros / 1000);
    }
    return ms;
  }
  void waitForJob() {
    ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
    h.settle();
  }

  Harness h{edtest::projectRoot(), nullptr, false, {"Bank A.syx"}, false};
  Tavrin& p = h.tavrin();
};

// The device-ID enquiry that choosing the output starts learns 5, and the
// global dump that answers it sets every global parameter by its byte.
TEST_F(TavrinEndToEnd, TheEnquiryLearnsTheDeviceIdAndTheGlobalDumpLands) {
  std::array<uint8_t, sysex::kGlobalSettingsCount> settings{};
  for (size_t i = 0; i < settings.size(); ++i) settings[i] = static_cast<uint8_t>(i % 3 + 1);
  settings[0] = 60;    // byte 5: master tune +6
  settings[1] = 45;    // byte 6: transpose +5
  settings[3] = 2;     // byte 8: MIDI channel 2
  settings[6] = 1;     // byte 11: the clock from outside
  settings[30] = 90;   // byte 35: volume
  settings[31] = 70;   // byte 36: panning
  h.sim.setGlobalSettings(settings);
  const double polyId = h.value(kGlobalPolyId), polyOf = h.value(kGlobalPolyOf);
  choosePorts();

  EXPECT_EQ(p.sharedFlags().deviceId.load(), kDevice);
  EXPECT_FALSE(p.sharedFlags().awaitingGlobalDump.load());
  EXPECT_FALSE(p.hub()->requestPending());
  const struct {
    int byte, param, minus;
  } fields[] = {{5, kGlobalMasterTune, 54},   {6, kGlobalTranspose, 40},  {7, kGlobalInputGain, 0},
                {8, kGlobalMidiChannel, 0},   {9, kGlobalDeviceID, 0},    {10, kGlobalControlX, 0},
                {11, kGlobalClock, 0},        {12, kGlobalLocalControl, 0}, {13, kGlobalTxArpClock, 0},
                {14, kGlobalTxArpNotes, 0},   {15, kGlobalTxParameter, 0}, {16, kGlobalMidiThru, 0},
                {17, kGlobalLCDContrast, 0},  {18, kGlobalVelCurv, 0},    {19, kGlobalS1Legacy, 0},
                {20, kGlobalCVMode, 0},       {21, kGlobalCVAmp, 0},      {22, kGlobalCVTune, 0},
                {23, kGlobalCVAdjust, 0},     {24, kGlobalGateMode, 0},   {35, kGlobalVolume, 0},
                {36, kGlobalPanning, 0}};
  const Bytes dump = h.sim.globalDump();
  ASSERT_EQ(dump.size(), sysex::kGlobalDumpLength);
  for (const auto& f : fields) {
    const IParam* param = p.GetParam(f.param);
    const double expected = std::clamp(static_cast<double>(dump[static_cast<size_t>(f.byte)] - f.minus),
                                       param->GetMin(), param->GetMax());
    EXPECT_EQ(h.value(f.param), expected) << "byte " << f.byte;
  }
  EXPECT_EQ(h.value(kGlobalDeviceID), kDevice);
  EXPECT_EQ(h.value(kGlobalMasterTune), 6.0);
  EXPECT_EQ(h.value(kGlobalTranspose), 5.0);
  EXPECT_EQ(h.value(kGlobalMidiChannel), 2.0);
  // Bytes 25-34 and the poly settings are not the dump's.
  EXPECT_EQ(h.value(kGlobalPolyId), polyId);
  EXPECT_EQ(h.value(kGlobalPolyOf), polyOf);
  {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_TRUE(p.namedLayer("arpTempoKnob")->GetControl(0)->IsGrayed());
    EXPECT_FALSE(p.namedLayer("arpTempoClock")->GetControl(0)->IsGrayed());
  }
  EXPECT_EQ(p.statusText(), "Plug-in is ready to go!");

  // An edit now goes out on the channel the instrument reported.
  int idx = -1;
  for (int i = 3; i < 80 && idx < 0; ++i) {
    const ControlAction* a = p.GetParam(i)->GetControlAction();
    if (a && a->type == 1 && i != kLFO1Shape && p.GetParam(i)->GetMin() == 0.0) idx = i;
  }
  ASSERT_GE(idx, 0);
  h.set(idx, 17);
  const std::vector<Bytes> sent = h.receivedBytes();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][0], 0xB1);
}

// Changing the clock source with the port open sends the editor's sound
// once the global step has run: the step's pauses first, then the dump.
TEST_F(TavrinEndToEnd, TheClockSourceSendsTheSoundAfterTheGlobalStep) {
  choosePorts();
  p.sharedFlags().globalsSent.store(true);
  // At each of the job's pauses: the sound dumps the simulator holds.
  std::vector<std::pair<uint64_t, size_t>> atPause;
  h.holdJobSleeps([&] {
    h.settle();
    atPause.emplace_back(h.sleeps().back().micros / 1000, h.sim.storedDumps());
    return true;
  });
  const size_t mark = h.sleeps().size();
  h.set(kGlobalClock, 1);
  waitForJob();
  h.holdJobSleeps({});

  EXPECT_EQ(atPause, (std::vector<std::pair<uint64_t, size_t>>{{1000, 0}, {400, 0}, {200, 1}}));
  EXPECT_TRUE(pauses(mark, true).empty());
  EXPECT_TRUE(p.sharedFlags().globalsSent.load());
  // The dump is the editor's sound for the edit buffer, from device 5.
  sounddump::Snapshot now;
  {
    KIT_MutexLock lock(p.GetMutex());
    for (int i = 0; i < kParameterCount; ++i) now.values[static_cast<size_t>(i)] = p.GetParam(i)->Value();
    now.name = p.GetParam(kPatchName)->GetDisplayText(0);
  }
  const sounddump::Dump expected = sounddump::build(now);
  EXPECT_EQ(h.sim.editBuffer(), expected);
  EXPECT_EQ(expected[3], kDevice);
  // Before the dump, the clock setting's own message.
  const std::vector<Bytes> sent = h.receivedBytes();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].size(), 10u);
  EXPECT_EQ(Bytes(sent[1].begin(), sent[1].end()), Bytes(expected.begin(), expected.end()));
}

// "Program 05" in the header's program menu, hardware mode: the bank
// change with its pauses on the window's thread, then the part request,
// which the instrument answers with the sound the editor then shows.
TEST_F(TavrinEndToEnd, ProgramFiveFromTheProgramMenuSelectsAndFetchesTheSound) {
  choosePorts();
  h.sim.setEditBuffer(synthsim::SynthSimulator::factorySound(2, 4));
  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(kCurrentBank)->Set(2);
  }
  h.holdJobSleeps([&] {
    h.settle();
    return true;
  });
  const size_t mark = h.sleeps().size();
  pressMenu("PROGRAMNUMBERMENU", {"01-10", "Program 05"});
  waitForJob();
  h.holdJobSleeps({});

  EXPECT_EQ(pauses(mark, true), (std::vector<uint64_t>{25, 25, 50}));
  EXPECT_EQ(h.value(kCurrentPatch), 4.0);
  const std::vector<Bytes> sent = h.receivedBytes();
  ASSERT_GE(sent.size(), 5u);
  EXPECT_EQ(std::vector<Bytes>(sent.begin(), sent.begin() + 5),
            (std::vector<Bytes>{{0xB0, 0x7B, 0}, {0xB0, 0, 0}, {0xB0, 0x20, 2}, {0xC0, 4},
                                endToEndFramed({0x3E, 0x16, kDevice, 0x00, 0x7F, 0x00})}));
  // The answer is applied: its name, and a sound byte of its own.
  EXPECT_EQ(trimmed(p.GetParam(kPatchName)->GetDisplayText(0)), "SIM 2-04");
  EXPECT_EQ(p.statusText(), "Data request completed!");
  EXPECT_FALSE(p.hub()->requestPending());
}

// Before an output port is chosen the program buttons and the header's bank
// and program menus change the selection and show "Set MIDI I/O First!",
// and start no request; the port chosen right after gets its enquiry,
// which learns the device ID.
TEST_F(TavrinEndToEnd, WithoutAnOutputPortProgramStepsAndHeaderMenusStartNoRequest) {
  auto press = [&](int idx) {
    {
      KIT_MutexLock lock(p.GetMutex());
      p.GetParam(idx)->Set(1);
    }
    p.OnParamChange(idx);
  };
  // A request started now would stay in its first pause, as it does for
  // its 45 s on a real clock.
  h.holdJobSleeps([] { return false; });
  press(kPatchUp);
  EXPECT_EQ(h.value(kCurrentPatch), 1.0);
  EXPECT_EQ(p.statusText(), Tavrin::kMidiIONotSetText);
  press(kPatchDown);
  press(kPatchDown);
  EXPECT_EQ(h.value(kCurrentPatch), 99.0);
  pressMenu("PROGRAMNUMBERMENU", {"01-10", "Program 05"});
  EXPECT_EQ(h.value(kCurrentPatch), 4.0);
  pressMenu("BANKNUMBERMENUPROGRAMS", {"Bank P301-400"});
  EXPECT_EQ(h.value(kCurrentBank), 3.0);
  EXPECT_EQ(p.statusText(), Tavrin::kMidiIONotSetText);
  EXPECT_FALSE(p.jobRunning());
  EXPECT_EQ(p.hub()->lastJob(MIDIMessageManager::kJobThread).mode, SenderJob::kNothing);
  EXPECT_FALSE(p.hub()->requestPending());

  ASSERT_TRUE(h.choosePortsAndWait());
  const std::vector<Bytes> sent = h.receivedBytes();
  EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [](const Bytes& m) {
    return m.size() > 4 && m == endToEndFramed(sysex::globalRequest(m[3]));
  }));
  EXPECT_EQ(p.sharedFlags().deviceId.load(), kDevice);
  EXPECT_EQ(p.statusText(), "Plug-in is ready to go!");
  EXPECT_EQ(p.hub()->lastJob(MIDIMessageManager::kJobThread).mode, SenderJob::kDeviceEnquiry);
}

// "Patches from 201-300" in the librarian's command menu fills the upper
// list with the instrument's bank 2, slot by slot.
TEST_F(TavrinEndToEnd, PatchesFrom201To300FillTheUpperListWithBankTwo) {
  choosePorts();
  h.set(kMainTab, 1);
  h.holdJobSleeps([&] {
    h.settle();
    return true;
  });
  pressMenu("BANKEDITMENU", {"Request Patch Data", "Patches from 201-300"});
  waitForJob();
  h.holdJobSleeps({});

  size_t requests = 0;
  for (const Bytes& b : h.receivedBytes()) requests += b.size() == 8 && b[4] == 0x00;
  EXPECT_EQ(requests, 100u);
  KIT_MutexLock lock(p.GetMutex());
  for (int s = 0; s < 100; ++s) {
    char name[16];
    std::snprintf(name, sizeof name, "SIM 2-%02d", s);
    EXPECT_EQ(trimmed(p.librarianView()->slotText(false, s)), name) << s;
  }
  EXPECT_EQ(h.value(kBankEditUnsaved), 1.0);
}

}  // namespace
