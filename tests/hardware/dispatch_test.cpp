// The incoming system-exclusive dispatch, message by message, on the editor
// stand-in without ports or threads.
#include <gtest/gtest.h>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "standin_editor.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

using hwtest::Bytes;

namespace {

struct DispatchTest : ::testing::Test {
  hwtest::StandInEditor ed;
  MIDIMessageManager& hub = ed.hub();

  void in(const Bytes& m, bool fromHardware = true) {
    ISysEx s(0, m.data(), static_cast<int>(m.size()));
    ed.ProcessSysEx(&s, fromHardware);
  }
  static Bytes dump(int bank, int slot, uint8_t device = 0, uint8_t model = 0x16) {
    Bytes d = hwtest::storedAnswer(bank, slot, device);
    d[2] = model;
    return d;
  }
  static Bytes global(uint8_t device, uint8_t clock) {
    uint8_t s[sysex::kGlobalSettingsCount] = {54, 40, 0, 1, device, 0, clock};
    return sysex::globalDump(device, s, 0);
  }
};

// Short, six-byte, foreign, top-bit device and host messages change nothing
// in any request state; an echoed eight-byte request is collected while the
// collector is armed and otherwise only teaches its device byte when no
// request is pending.
TEST_F(DispatchTest, IgnoredAndEchoedMessages) {
  const Bytes cases[] = {{0xF0, 0x3E, 0xF7},
                         {0xF0, 0x3E, 0x16, 0x05, 0x04, 0xF7},
                         sysex::frameSysex(sysex::soundRequest(5, sysex::kEditBuffer)),
                         Bytes{0xF0, 0x3F, 0x16, 0x05, 0x10, 0xF7},
                         Bytes{0xF0, 0x3E, 0x17, 0x05, 0x10, 0xF7},
                         Bytes{0xF0, 0x3E, 0x16, 0x85, 0x10, 0x00, 0xF7}};
  for (int state = 0; state < 3; ++state) {
    hub.setRequestPending(state == 1);
    if (state == 2) hub.armLibraryRequest();
    for (const Bytes& m : cases) {
      in(m);
      in(dump(0, 1, 7), false);
    }
    EXPECT_EQ(ed.flags().deviceId, state == 2 ? 0 : (state == 0 ? 5 : 0)) << state;
    ed.flags().deviceId = 0;
    EXPECT_EQ(hub.libraryRequest().patch.messages.size(), state == 2 ? 1u : 0u);
    EXPECT_FALSE(hub.replyArrived());
  }
}

// The collector takes everything until a sound dump completes it; the name
// and category are the completing dump's; it keeps at most 64 messages but
// a dump always completes it; two requests give two names.
TEST_F(DispatchTest, CollectorCompletesOnlyWithASoundDump) {
  IControl* c = ed.bindSingleParameter(kFilterCutoff, 0x10, 0x00);
  ed.SetLibrarianRequestActive(true);
  for (int i = 0; i < 70; ++i) in(sysex::singleParameterChange(0x10, 0x00, 99));
  EXPECT_EQ(c->GetValue(), 0.0);
  EXPECT_EQ(hub.libraryRequest().patch.messages.size(), 64u);
  in(dump(0, 4, 3, 0x0B));
  EXPECT_EQ(hub.libraryRequest().patch.messages.size(), 65u);
  EXPECT_FALSE(hub.libraryRequest().active);
  EXPECT_TRUE(ed.flags().replyReceived);
  EXPECT_EQ(ed.flags().deviceId, 3);
  EXPECT_EQ(ed.slot(0)->name, "SIM 0-04      ");
  EXPECT_EQ(ed.slot(0)->category, 4);
  ed.SetLibrarianRequestActive(true);
  in(dump(0, 5));
  EXPECT_EQ(ed.slot(0)->name, "SIM 0-05      ");
  EXPECT_EQ(ed.slot(0)->messages.size(), 1u);
  EXPECT_EQ(ed.count("view"), 2);
}

// Sound dumps go to the parser only while a request is pending, global
// dumps only while one is awaited; the older model's dumps never.
TEST_F(DispatchTest, DumpsNeedTheirRequest) {
  ed.setParam(kFilterCutoff, 11);
  in(dump(0, 9));
  in(global(4, 0));
  EXPECT_EQ(ed.param(kFilterCutoff), 11);
  EXPECT_EQ(ed.flags().deviceId, 0);
  hub.setRequestPending(true);
  ed.flags().awaitingGlobalDump = true;
  in(dump(0, 9, 2, 0x0B));
  Bytes older = global(4, 1);
  older[2] = 0x0B;
  in(older);
  EXPECT_EQ(ed.param(kFilterCutoff), 11);
  EXPECT_FALSE(hub.replyArrived());
  EXPECT_EQ(ed.count("ui"), 2);  // refused dumps still refresh the menus
  in(dump(0, 9));
  EXPECT_EQ(ed.param(kFilterCutoff), 9);

  // A global dump from another device: learnt first, then byte 9 sets the
  // parameter again.
  in(global(6, 0));
  EXPECT_EQ(ed.flags().deviceId, 6);
  EXPECT_EQ(ed.param(kGlobalDeviceID), 6);
  EXPECT_EQ(ed.param(kGlobalMasterTune), 0);
  EXPECT_EQ(ed.arpLayersExternal(), false);
  EXPECT_FALSE(ed.flags().awaitingGlobalDump);
  EXPECT_FALSE(hub.requestPending());
}

// Single-parameter messages move their control as the address says, teach
// no device ID and skip a parameter without a span.
TEST_F(DispatchTest, SingleParameterAddresses) {
  const struct {
    uint8_t a1, a2;
    int applying, mainTab;
  } cases[] = {{0x10, 0x00, 1, 0}, {0x7B, 0x01, 1, 1}, {0x7B, 0x00, 0, 0}, {0x29, 0x00, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.a1) * 256 + c.a2);
    ed.clearRecords();
    IControl* control = ed.bindSingleParameter(kFilterResonance, c.a1, c.a2);
    in(sysex::singleParameterChange(c.a1, c.a2, 127));
    EXPECT_EQ(control->GetValue(), 1.0);
    EXPECT_EQ(ed.param(kFilterResonance), 127);
    EXPECT_EQ(ed.count("applying"), c.applying);
    EXPECT_EQ(ed.count("mainTab"), c.mainTab);
    ed.setParam(kFilterResonance, 0);
  }
  EXPECT_EQ(ed.flags().deviceId, 0);
  EXPECT_FALSE(hub.applyingIncoming());
  ed.GetParam(kFilterType)->InitDouble("flat", 3, 3, 3, 0.0);
  IControl* flat = ed.bindSingleParameter(kFilterType, 0x20, 0x00);
  const double before = flat->GetValue();
  in(sysex::singleParameterChange(0x20, 0x00, 90));
  EXPECT_EQ(flat->GetValue(), before);
}

// A control found by its address and moved to a raw value as a
// single-parameter message moves it: the applying flag only as asked, no
// refresh of the main tab even for an address whose message refreshes it.
// An address without a control changes nothing.
TEST_F(DispatchTest, NormalControlByItsAddress) {
  IControl* control = ed.bindSingleParameter(kFilterResonance, 0x7B, 0x01);
  KIT_MutexLock lock(ed.GetMutex());
  for (bool mark : {true, false}) {
    SCOPED_TRACE(mark);
    ed.clearRecords();
    hub.setRequestPending(true);
    EXPECT_EQ(hub.getNormalControl(sysex::kSingleParameterTag1, sysex::kSingleParameterTag2, 0x7B, 0x01,
                                   mark ? 127 : 0, mark),
              control);
    EXPECT_EQ(control->GetValue(), mark ? 1.0 : 0.0);
    EXPECT_EQ(ed.param(kFilterResonance), mark ? 127 : 0);
    EXPECT_EQ(ed.count("applying"), mark ? 1 : 0);
    EXPECT_EQ(ed.count("plain"), mark ? 0 : 1);
    EXPECT_EQ(ed.count("mainTab"), 0);
    EXPECT_FALSE(hub.requestPending());
    EXPECT_FALSE(hub.applyingIncoming());
  }
  ed.clearRecords();
  hub.setRequestPending(true);
  EXPECT_EQ(hub.getNormalControl(sysex::kSingleParameterTag1, sysex::kSingleParameterTag2, 0x7B, 0x02, 5, true),
            nullptr);
  EXPECT_TRUE(hub.requestPending());
  EXPECT_EQ(ed.count("applying") + ed.count("plain"), 0);
  EXPECT_EQ(ed.param(kFilterResonance), 0);
}

// An editor-made dump handed over internally is stored with the port's
// pass-through off and teaches no device ID; from the port it is dropped.
TEST_F(DispatchTest, InternalHandOverIsStoredAndTeachesNothing) {
  ed.setParam(kMIDIFilterHWSEPassThrough, 0);
  ed.setTargetSlot(12);
  const Bytes d = dump(1, 12, 9);
  ed.SetLibrarianRequestActive(true);
  in(d);
  EXPECT_FALSE(ed.slot(12).has_value());
  ed.feedSysEx(d.data(), static_cast<int>(d.size()));
  ASSERT_TRUE(ed.slot(12).has_value());
  EXPECT_EQ(ed.slot(12)->messages[0], d);
  EXPECT_EQ(ed.flags().deviceId, 0);
  ed.flags().transferInProgress = true;
  ed.SetLibrarianRequestActive(true);
  ed.feedSysEx(d.data(), static_cast<int>(d.size()));
  EXPECT_TRUE(hub.libraryRequest().active);
}

}  // namespace
