// The librarian's sends on the loopback: one patch into the edit buffer, a
// whole bank into a bank of the simulator, the slot checks, the padding and
// the work done without MIDI I/O.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

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

using edtest::Harness;

class TavrinLibrarianSend : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(h.choosePortsAndWait());
    KIT_MutexLock lock(p.GetMutex());
    file = p.librarian()->upperFile();
    ASSERT_NE(file, nullptr);
    // Every slot's sound differs from the simulator's.
    for (size_t s = 0; s < file->patches.size(); ++s) file->patches[s].messages[0][20] = static_cast<uint8_t>(s);
  }
  void waitForJob() {
    ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
    h.settle();
  }
  static bool sameSound(const sounddump::Dump& d, const std::vector<uint8_t>& m) {
    return std::equal(d.begin() + 7, d.begin() + 135, m.begin() + 7) &&
           d[sounddump::kCheckByte] == sysex::calculateCheckSum(d.data(), d.size());
  }

  Harness h{edtest::projectRoot(), nullptr, false, {"Bank A.syx"}, false};
  Tavrin& p = h.tavrin();
  PatchFile* file = nullptr;
};

TEST_F(TavrinLibrarianSend, APatchReachesTheEditBufferAndABankIsStored) {
  ASSERT_TRUE(p.sendPatchToDeviceFromLibrarian(7, false));
  waitForJob();
  EXPECT_TRUE(sameSound(h.sim.editBuffer(), file->patches[7].messages[0]));
  EXPECT_EQ(h.value(kCurrentPatch), 7.0);
  EXPECT_EQ(p.librarianView()->currentSlot(), 7);

  {
    KIT_MutexLock lock(p.GetMutex());
    p.librarianView()->selectUpperSlot(3);
  }
  h.sim.clearRecords();
  ASSERT_TRUE(p.SendAllProgramsFromLibrarian(2));
  waitForJob();
  EXPECT_EQ(p.librarian()->targetSlot.load(), 0);
  EXPECT_EQ(h.sim.storedDumps(), 100u);
  EXPECT_EQ(h.sim.rejectedDumps(), 0u);
  for (int s = 0; s < 100; ++s) EXPECT_TRUE(sameSound(h.sim.sound(2, s), file->patches[s].messages[0])) << s;
}

TEST_F(TavrinLibrarianSend, SlotChecksPaddingAndTheMissingPort) {
  {
    KIT_MutexLock lock(p.GetMutex());
    file->patches.resize(37);
  }
  h.sim.clearRecords();
  EXPECT_FALSE(p.sendPatchToDeviceFromLibrarian(50, false));  // a default record: no message
  EXPECT_EQ(file->patches.size(), 100u);
  EXPECT_TRUE(file->patches[50].messages.empty());
  EXPECT_FALSE(p.sendPatchToDeviceFromLibrarian(-1, false));
  EXPECT_FALSE(p.sendPatchToDeviceFromLibrarian(100, false));
  p.librarian()->targetSlot.store(-1);
  EXPECT_FALSE(p.SendSingleProgramFromLibrarian(false));
  EXPECT_TRUE(h.receivedBytes().empty());

  // Without MIDI I/O no job starts, yet the current patch follows.
  p.setMidiIOSet(false);
  EXPECT_FALSE(p.sendPatchToDeviceFromLibrarian(12, false));
  EXPECT_FALSE(p.storeAllPatchesToDeviceFromLibrarian(1, 0));
  EXPECT_EQ(h.value(kCurrentPatch), 12.0);
  EXPECT_FALSE(p.jobRunning());
  p.setMidiIOSet(true);

  // A busy job thread drops the send.
  std::atomic<bool> release{false};
  h.holdJobSleeps([&] { return release.load(); });
  ASSERT_TRUE(p.sendPatchToDeviceFromLibrarian(3, false));
  EXPECT_FALSE(p.sendPatchToDeviceFromLibrarian(4, false));
  release = true;
  waitForJob();
  h.holdJobSleeps({});
}

// After a whole sound reached the instrument (a librarian patch, the
// editor's own dump) the knob turned back to the value last sent goes out.
TEST_F(TavrinLibrarianSend, AnEditAfterAWholeSoundGoesOutWithTheValueLastSent) {
  const auto cutoffTo10 = [&] {
    h.sim.clearRecords();
    h.set(kFilterCutoff, 10);
    const std::vector<std::vector<uint8_t>> got = h.receivedBytes();
    return std::count(got.begin(), got.end(), std::vector<uint8_t>{0xB0, 45, 10});
  };
  ASSERT_EQ(cutoffTo10(), 1);
  ASSERT_TRUE(p.sendPatchToDeviceFromLibrarian(7, false));
  waitForJob();
  ASSERT_NE(h.value(kFilterCutoff), 10.0);
  EXPECT_EQ(cutoffTo10(), 1);
  // A value set without a send, as a loaded project sets it, then its dump.
  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(kFilterCutoff)->Set(90);
  }
  h.set(kPushArrangement, 1);
  waitForJob();
  ASSERT_EQ(h.sim.editBuffer()[49], 90);  // the cutoff byte
  EXPECT_EQ(cutoffTo10(), 1);
}

}  // namespace

namespace {

// Edits race control changes from the simulator while a bank is stored.
TEST_F(TavrinLibrarianSend, EditsRaceInputAndABankStore) {
  int idx = -1;
  for (int i = 3; i < 80 && idx < 0; ++i) {
    const ControlAction* a = p.GetParam(i)->GetControlAction();
    if (a && a->type == 1 && i != kLFO1Shape) idx = i;
  }
  ASSERT_GE(idx, 0);
  const int cc = p.GetParam(idx)->GetControlAction()->ccNumber;
  ASSERT_TRUE(p.storeAllPatchesToDeviceFromLibrarian(1, 0));
  std::atomic<bool> stop{false};
  std::thread sender([&] {
    for (int v = 0; !stop.load(); v = (v + 1) % 128) h.sim.sendControlChange(1, cc, v);
  });
  for (int i = 0; i < 300; ++i) h.set(idx, i % 100);
  stop = true;
  sender.join();
  waitForJob();
  EXPECT_EQ(h.sim.storedDumps(), 100u);
}

}  // namespace

namespace {

// A drop from the lower list stores the patch through the editor's own feed,
// which the instrument's pass-through setting does not stop; Save writes it.
TEST(TavrinLibrarianDrop, ADropStoresThePatchAndSaveWritesIt) {
  Harness h(edtest::projectRoot(), nullptr, false, {"Bank A.syx", "Bank B.syx"}, false);
  Tavrin& p = h.tavrin();
  h.set(kMIDIFilterHWSEPassThrough, 0);
  PatchLibrarian& lib = *p.librarian();
  LibrarianViewControl& view = *p.librarianView();
  lib.lowerFileIndex = lib.upperFileIndex == 0 ? 1 : 0;
  PatchFile* upper = lib.upperFile();
  PatchFile* lower = lib.lowerFile(p.lowerListSource());
  ASSERT_TRUE(upper && lower);
  ASSERT_NE(upper, lower);
  lower->patches[3].messages[0][20] = 0x33;
  view.setDragEnabled(true);
  IMouseMod left(true);
  const IRECT from = view.slotRect(true, 3), to = view.slotRect(false, 20);
  {
    KIT_MutexLock lock(p.GetMutex());  // as the window's events run
    view.OnMouseDrag(from.L + 2, from.T + 2, 0, 0, &left);
    view.OnMouseUp(to.L + 2, to.T + 2, &left);
  }
  ASSERT_FALSE(upper->patches[20].messages.empty());
  EXPECT_EQ(upper->patches[20].messages[0][20], 0x33);
  EXPECT_EQ(h.value(kBankEditUnsaved), 1.0);

  ASSERT_TRUE(lib.saveUpperBank());
  // The bank is written in the librarian's own form, beside the original.
  const std::vector<uint8_t> saved = testsupport::readFile(upper->folderPath + "/Bank A.sr2");
  ASSERT_GE(saved.size(), 21u * sounddump::kLength);
  EXPECT_EQ(saved[20 * sounddump::kLength + 20], 0x33);
}

}  // namespace
