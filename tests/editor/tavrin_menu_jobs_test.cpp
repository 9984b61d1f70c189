// The job starts behind the librarian's menus, on the plug-in with the
// simulated synthesizer on the loopback: the edit buffer into the editor or a
// slot, a program into a slot, the INIT sound and the editor's sound into a
// slot, and the push of the editor's sound to the instrument.
#include <gtest/gtest.h>

#include <algorithm>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "librarian/PatchLibrarian.h"
#include "support_midi.h"
#include "support_tavrin.h"
#include "synthsim/SynthSimulator.h"

namespace {

using edtest::Harness;

struct MenuJobs : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(h.choosePortsAndWait());
    ASSERT_NE(p.librarian()->upperFile(), nullptr);
    h.holdJobSleeps([this] {
      h.settle();
      return true;
    });
  }
  void TearDown() override { h.holdJobSleeps({}); }

  void waitForJob() {
    ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }, std::chrono::seconds(120)));
    h.settle();
  }
  void target(int slot) {
    KIT_MutexLock lock(p.GetMutex());
    p.librarian()->targetSlot.store(slot);
  }
  // The name stored in an upper slot, blanks kept.
  std::string slotName(int slot) {
    KIT_MutexLock lock(p.GetMutex());
    const auto& messages = p.librarian()->upperFile()->patches[static_cast<size_t>(slot)].messages;
    if (messages.empty() || messages[0].size() != sounddump::kLength) return std::string();
    return std::string(messages[0].begin() + 120, messages[0].begin() + 134);
  }
  bool unsaved() { return h.value(kBankEditUnsaved) == 1.0; }

  Harness h{edtest::projectRoot(), nullptr, false, {"Bank A.syx"}, false};
  Tavrin& p = h.tavrin();
};

TEST_F(MenuJobs, RequestsLandInTheEditorOrTheTargetSlot) {
  auto edit = synthsim::SynthSimulator::factorySound(3, 33);
  std::copy_n("EDIT BUFFER   ", 14, edit.begin() + 120);
  sounddump::refreshCheckByte(edit);
  h.sim.setEditBuffer(edit);

  // The edit buffer into the editor's parameters.
  ASSERT_TRUE(p.sendActiveArrangementRequestSysex(true));
  waitForJob();
  {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_EQ(std::string(p.GetParam(kPatchName)->GetDisplayText(0)), "EDIT BUFFER   ");
  }

  // The edit buffer into a slot; then the program of the current bank
  // numbered as the selected slot into that slot.
  target(4);
  ASSERT_TRUE(p.sendSinglePatchRequestSysexFromLibrarian(true));
  waitForJob();
  EXPECT_EQ(slotName(4), "EDIT BUFFER   ");
  target(5);
  ASSERT_TRUE(p.sendSinglePatchRequestSysexFromLibrarian(false));
  waitForJob();
  const auto want = h.sim.sound(static_cast<int>(h.value(kCurrentBank)), 5);
  EXPECT_EQ(slotName(5), std::string(want.begin() + 120, want.begin() + 134));
}

TEST_F(MenuJobs, InitAndTheEditorsSoundGoIntoTheTargetSlot) {
  target(9);
  ASSERT_TRUE(p.initClassicPatch());
  waitForJob();
  EXPECT_EQ(slotName(9), "INIT          ");
  EXPECT_TRUE(unsaved());

  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(kPatchName)->SetDisplayText(0, "MY SOUND");
  }
  target(10);
  ASSERT_TRUE(p.startSendArrangement(true, false));
  waitForJob();
  EXPECT_EQ(slotName(10).substr(0, 8), "MY SOUND");
  // Nothing of it went to the instrument.
  EXPECT_EQ(h.sim.storedDumps(), 0u);
}

// A project carries the flag of unsaved bank edits among its values but not
// the edits: loading one saved before an edit leaves the edit guarded (a
// refresh would drop it), and one saved with edits does not lock a bank
// that has none.
TEST_F(MenuJobs, AProjectLoadLeavesTheUnsavedFlagAsTheBankHasIt) {
  ByteChunk clean, edited;
  ASSERT_TRUE(p.SerializeChunkForHost(&clean, false));
  target(9);
  ASSERT_TRUE(p.initClassicPatch());
  waitForJob();
  ASSERT_TRUE(unsaved());
  ASSERT_TRUE(p.SerializeChunkForHost(&edited, false));
  ASSERT_TRUE(p.UnserializeChunkFromHost(&clean, false));
  EXPECT_TRUE(unsaved());
  EXPECT_EQ(slotName(9), "INIT          ");
  edtest::press(p, kDiscardBankData, 1);
  ASSERT_FALSE(unsaved());
  ASSERT_TRUE(p.UnserializeChunkFromHost(&edited, false));
  EXPECT_FALSE(unsaved());
}

TEST_F(MenuJobs, APushSendsTheSoundAfterTheGlobalStepWithInputDropped) {
  h.sim.clearRecords();
  // The job's first step shows the progress display, which ends the
  // transfer window; holding the editor lock keeps the job from it while
  // the flags are looked at.
  {
    KIT_MutexLock lock(p.GetMutex());
    ASSERT_TRUE(p.startSendArrangement(false, true));
    EXPECT_TRUE(p.sharedFlags().push.load() || p.sharedFlags().globalsSent.load());
    EXPECT_TRUE(p.sharedFlags().transferInProgress.load());
  }
  waitForJob();
  EXPECT_TRUE(p.sharedFlags().globalsSent.load());
  const auto got = h.receivedBytes();
  const auto dumps = std::count_if(got.begin(), got.end(), [](const auto& m) {
    return m.size() == sounddump::kLength && m[4] == 0x10;
  });
  EXPECT_EQ(dumps, 1);

  // With the job thread busy nothing starts and the transfer flag stays as it was.
  p.sharedFlags().transferInProgress.store(false);
  h.holdJobSleeps({});
  h.holdJobSleeps([] { return false; });
  ASSERT_TRUE(p.sendActiveArrangementRequestSysex(true));
  EXPECT_FALSE(p.startSendArrangement(false, true));
  EXPECT_FALSE(p.initClassicPatch());
  EXPECT_FALSE(p.sendSinglePatchRequestSysexFromLibrarian(true));
  EXPECT_FALSE(p.sharedFlags().transferInProgress.load());
  h.holdJobSleeps([] { return true; });
  waitForJob();
}

// A request the hub refuses answers false and raises no flag: without an
// upper bank to fill, and while the job thread is busy.
TEST_F(MenuJobs, ARefusedRequestAnswersFalseAndRaisesNoFlag) {
  auto noFlagRaised = [&] {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_FALSE(p.hub()->requestPending());
    EXPECT_FALSE(p.hub()->libraryRequest().active);
    EXPECT_FALSE(p.sharedFlags().transferInProgress.load());
  };
  {
    KIT_MutexLock lock(p.GetMutex());
    p.librarian()->noUpperFile = 1;
  }
  noFlagRaised();
  EXPECT_FALSE(p.sendAllPatchRequestSysexFromLibrarian(0));
  EXPECT_FALSE(p.sendSinglePatchRequestSysexFromLibrarian(true));
  EXPECT_FALSE(p.jobRunning());
  noFlagRaised();
  {
    KIT_MutexLock lock(p.GetMutex());
    p.librarian()->noUpperFile = 0;
  }

  // The editor's sound to the instrument waits in its pause meanwhile.
  h.holdJobSleeps({});
  h.holdJobSleeps([] { return false; });
  ASSERT_TRUE(p.startSendArrangement(false, false));
  EXPECT_FALSE(p.sendActiveArrangementRequestSysex(true));
  EXPECT_FALSE(p.sendSinglePatchRequestSysexFromLibrarian(false));
  EXPECT_FALSE(p.sendAllPatchRequestSysexFromLibrarian(1));
  EXPECT_FALSE(p.startPartRequest());
  noFlagRaised();
  h.holdJobSleeps([] { return true; });
  waitForJob();
}

}  // namespace

namespace {

// Before an output port is chosen, a request could only run into its
// time-out (a bank's hundred of them) while holding the job thread: the
// librarian's requests answer false, start nothing and ask for the ports.
// Once the ports are chosen the same request runs.
TEST(MenuJobsWithoutPorts, RequestsAnswerFalseAndAskForThePorts) {
  Harness h{edtest::projectRoot(), nullptr, false, {"Bank A.syx"}, false};
  Tavrin& p = h.tavrin();
  ASSERT_NE(p.librarian()->upperFile(), nullptr);
  EXPECT_FALSE(p.sendActiveArrangementRequestSysex(true));
  EXPECT_FALSE(p.sendSinglePatchRequestSysexFromLibrarian(true));
  EXPECT_FALSE(p.sendAllPatchRequestSysexFromLibrarian(0));
  EXPECT_FALSE(p.jobRunning());
  EXPECT_EQ(p.statusText(), Tavrin::kMidiIONotSetText);
  {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_FALSE(p.hub()->requestPending());
    EXPECT_FALSE(p.hub()->libraryRequest().active);
  }

  ASSERT_TRUE(h.choosePortsAndWait());
  h.holdJobSleeps([&] {
    h.settle();
    return true;
  });
  EXPECT_TRUE(p.sendSinglePatchRequestSysexFromLibrarian(true));
  EXPECT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }, std::chrono::seconds(120)));
  h.holdJobSleeps({});
}

}  // namespace
