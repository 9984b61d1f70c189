// The plug-in's requests into the librarian, on the loopback with the
// simulated synthesizer answering late: program changes from both sources
// while a bank or a single sound is on its way, and the target slot and the
// view's selection moving together.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "support_midi.h"
#include "support_tavrin.h"
#include "synthsim/SynthSimulator.h"

namespace {

using edtest::Harness;
using synthsim::SynthSimulator;

struct TavrinRequest : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(h.choosePortsAndWait());
    h.set(kMIDIFilterHWPCPassThrough, 1);
    h.set(kMIDIFilterDAWPCPassThrough, 1);
    ASSERT_NE(p.librarian()->upperFile(), nullptr);
    ASSERT_NE(p.librarianView(), nullptr);
    // Every answer comes 50 ms after its request.
    h.sim.setFault(synthsim::Fault::Delay);
    h.sim.setDelayMicros(50'000);
  }
  void TearDown() override { h.holdJobSleeps({}); }

  // Every pause of a job lets what is on its way arrive; with program
  // changes, the instrument and the host each send one first.
  void pausesDeliver(bool programChanges) {
    h.holdJobSleeps([this, programChanges] {
      thread_local bool inside = false;  // a pause taken while handling one
      if (inside) return true;
      inside = true;
      if (programChanges) {
        const int program = 60 + static_cast<int>(changes++ % 30);
        h.sim.sendProgramChange(1, program);
        IMidiMsg fromHost(0, 0xC0, program + 1, 0);
        p.ProcessMidiMsg(&fromHost, false);
      }
      h.settle();
      inside = false;
      return true;
    });
  }
  // Runs a request of the librarian's menus to its end.
  void start(int mode, const std::function<void()>& request) {
    request();
    EXPECT_EQ(p.hub()->lastJob(MIDIMessageManager::kJobThread).mode, mode);
    waitForJob();
  }
  void waitForJob() {
    ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }, std::chrono::seconds(120)));
    h.settle();
  }
  // The panel's sound: its parameters, the program and the name.
  std::pair<std::vector<double>, std::string> panel() {
    KIT_MutexLock lock(p.GetMutex());
    std::vector<double> v;
    for (int i = 0; i <= kPatternStep16Glide; ++i) v.push_back(p.GetParam(i)->Value());
    for (int i : {kCurrentPatch, kCategoryName, kLFO1ShapeClock}) v.push_back(p.GetParam(i)->Value());
    return {v, p.GetParam(kPatchName)->GetDisplayText(0)};
  }
  // The stored slot holds the simulator's sound of that location.
  bool holds(int slot, int bank, int location) {
    KIT_MutexLock lock(p.GetMutex());
    const PatchFile* file = p.librarian()->upperFile();
    const auto& messages = file->patches[static_cast<size_t>(slot)].messages;
    if (messages.empty() || messages[0].size() != sounddump::kLength) return false;
    const sounddump::Dump want = h.sim.sound(bank, location);
    return std::equal(want.begin() + 7, want.begin() + sounddump::kCheckByte, messages[0].begin() + 7);
  }
  void select(int slot) {
    KIT_MutexLock lock(p.GetMutex());
    p.librarianView()->selectUpperSlot(slot);
    p.librarian()->targetSlot.store(slot);
  }
  int target() { return p.librarian()->targetSlot.load(); }
  int selected() { return p.librarianView()->selectedUpperSlot(); }

  Harness h{edtest::projectRoot(), nullptr, false, {"Bank A.syx"}, false};
  Tavrin& p = h.tavrin();
  std::atomic<int> changes{0};
};

// Program changes from the instrument and the host during every pause of a
// bank request are dropped: all 100 locations land in slots 0..99 and the
// panel keeps its sound.
TEST_F(TavrinRequest, ProgramChangesDuringABankRequestAreDropped) {
  const auto before = panel();
  pausesDeliver(true);
  start(SenderJob::kBankRequest, [&] { p.hub()->sendAllPatchRequestSysexFromLibrarian(1); });
  EXPECT_GE(changes.load(), 100);  // at least one pause for each location
  for (int s = 0; s < 100; ++s) EXPECT_TRUE(holds(s, 1, s)) << s;
  EXPECT_EQ(panel(), before);
  EXPECT_EQ(p.statusText(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(target(), 0);
  EXPECT_EQ(selected(), 0);

  // Once the request has ended, a program change is taken again.
  h.holdJobSleeps({});
  pausesDeliver(false);
  h.sim.sendProgramChange(1, 12);
  h.settle();
  waitForJob();
  EXPECT_EQ(h.value(kCurrentPatch), 12.0);
}

// The same for one sound: it lands in the selected slot, which stays
// selected.
TEST_F(TavrinRequest, ProgramChangesDuringASingleRequestAreDropped) {
  select(17);
  const auto before = panel();
  pausesDeliver(true);
  start(SenderJob::kSingleRequest, [&] { p.hub()->sendSinglePatchRequestSysexFromLibrarian(false); });
  EXPECT_GT(changes.load(), 0);
  EXPECT_TRUE(holds(17, 0, 17));
  EXPECT_EQ(panel(), before);
  EXPECT_EQ(p.statusText(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(target(), 17);
  EXPECT_EQ(selected(), 17);
}

// The slot stores go to and the view's selection move together while a bank
// request steps through the slots, when it sets them back, and when a
// program change from either source selects a program.
TEST_F(TavrinRequest, TargetSlotAndSelectionMoveTogether) {
  select(5);
  std::atomic<int> apart{0}, seen{0};
  h.holdJobSleeps([&] {
    ++seen;
    if (target() != selected()) ++apart;
    h.settle();
    return true;
  });
  start(SenderJob::kBankRequest, [&] { p.hub()->sendAllPatchRequestSysexFromLibrarian(2); });
  EXPECT_GT(seen.load(), 100);
  EXPECT_EQ(apart.load(), 0);
  EXPECT_EQ(target(), 0);
  EXPECT_EQ(selected(), 0);
  EXPECT_EQ(p.librarianView()->currentSlot(), 0);

  h.sim.setFault(synthsim::Fault::None);
  h.sim.sendProgramChange(1, 42);
  h.settle();
  waitForJob();
  EXPECT_EQ(target(), 42);
  EXPECT_EQ(selected(), 42);
  IMidiMsg fromHost(0, 0xC0, 120, 0);
  p.ProcessMidiMsg(&fromHost, false);
  waitForJob();
  EXPECT_EQ(target(), 99);
  EXPECT_EQ(selected(), 99);
}

}  // namespace
