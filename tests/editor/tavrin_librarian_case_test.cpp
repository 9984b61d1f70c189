// The librarian cases of the dispatch over a scanned temporary "Patches"
// folder: bank steps, rename, search and category views, refresh, discard,
// overwrite; with the simulator on the loopback: program steps, push, the
// sound-only sends and the edit-buffer request.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "framework/IGraphics.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "platform/folders.h"
#include "support_banks.h"
#include "support_cases.h"
#include "support_midi.h"
#include "support_tavrin.h"

namespace {

using edtest::Harness;
using edtest::LibrarianCases;
using edtest::name14;
using edtest::press;
using edtest::writeBank;
using Side = ILibrarianEditor::Side;
using Bytes = std::vector<uint8_t>;

TEST_F(LibrarianCases, BankStepsWrapOverTheListsRealSize) {
  ASSERT_EQ(lib().patchFiles.size(), 3u);
  press(p(), kLibUpperPreviousBank, 1);
  EXPECT_EQ(lib().upperFileIndex, 2);
  EXPECT_EQ(h.value(kPatchSelectionListUpper), 2);
  EXPECT_EQ(p().rememberedFileName(Side::Upper), "Bank C.mid");
  EXPECT_EQ(upperText(7), name14("C07"));
  press(p(), kLibUpperNextBank, 1);
  EXPECT_EQ(lib().upperFileIndex, 0);
  EXPECT_EQ(upperText(7), name14("A07"));
  // The selection's range may be longer than the list: the list decides.
  p().GetParam(kPatchSelectionListUpper)->SetDisplayText(9, "gone");
  p().GetParam(kPatchSelectionListUpper)->Set(2);
  press(p(), kLibUpperNextBank, 1);
  EXPECT_EQ(lib().upperFileIndex, 0);
  press(p(), kLibUpperNextBank, 0);  // only the display and tail
  EXPECT_EQ(lib().upperFileIndex, 0);

  // Unsaved edits hold the upper list; the lower one steps freely.
  p().GetParam(kBankEditUnsaved)->Set(1);
  press(p(), kLibUpperNextBank, 1);
  EXPECT_EQ(lib().upperFileIndex, 0);
  EXPECT_EQ(p().statusText(), "Save bank or Discard changes!");
  press(p(), kLibLowerNextBank, 1);
  EXPECT_EQ(lib().lowerFileIndex, 1);
  EXPECT_EQ(p().rememberedFileName(Side::Lower), "Bank B.syx");
  EXPECT_EQ(lowerText(3), name14("B03"));
  press(p(), kLibLowerPreviousBank, 1);
  press(p(), kLibLowerPreviousBank, 1);
  EXPECT_EQ(lib().lowerFileIndex, 2);
  // An empty list does nothing.
  p().setLowerListMode(false, true);
  press(p(), kLibLowerNextBank, 1);
  EXPECT_EQ(lib().lowerFileIndex, 2);
}

TEST_F(LibrarianCases, RenameStoresNameAndDumpTogether) {
  PatchFile* upper = lib().upperFile();
  ASSERT_NE(upper, nullptr);
  auto rename = [&](int slot, const std::string& text) {
    lib().targetSlot = slot;
    p().setRenameClosed(false);
    p().GetParam(kPatchRename)->SetDisplayText(0, text.c_str());
    press(p(), kPatchRename, 0);
  };
  upper->patches.resize(98);
  rename(5, "abcdefghijklmnopqr");
  ASSERT_EQ(upper->patches.size(), 100u);
  const Bytes& five = upper->patches[5].messages[0];
  EXPECT_EQ(upper->patches[5].name, "ABCDEFGHIJKLMN");
  EXPECT_EQ(std::string(five.begin() + 120, five.begin() + 134), "ABCDEFGHIJKLMN");
  EXPECT_EQ(h.value(kBankEditUnsaved), 1);
  EXPECT_TRUE(p().renameClosed());
  EXPECT_FALSE(edtest::layerShown(p(), "patchRename"));

  // Through the text entry (two dispatches), with the instrument's
  // system-exclusive pass-through off: still stored, only the name changes.
  press(p(), kMIDIFilterHWSEPassThrough, 0);
  upper->patches.resize(103);
  const Bytes before = upper->patches[6].messages[0];
  lib().targetSlot = 6;
  p().setRenameClosed(false);
  {
    KIT_MutexLock lock(p().GetMutex());
    IControl* field = p().GetParam(kPatchRename)->GetControlAction()->controls.front();
    p().GetGUI()->SetFromStringAfterPrompt(field, p().GetParam(kPatchRename), "ab");
  }
  EXPECT_EQ(upper->patches.size(), 100u);
  const Bytes& six = upper->patches[6].messages[0];
  EXPECT_EQ(upper->patches[6].name, name14("AB"));
  EXPECT_EQ(std::string(six.begin() + 120, six.begin() + 134), name14("AB"));
  EXPECT_TRUE(std::equal(six.begin(), six.begin() + 120, before.begin()));
  EXPECT_TRUE(std::equal(six.begin() + 134, six.end(), before.begin() + 134));

  // No target slot, a short dump or a closed rename change nothing.
  p().GetParam(kBankEditUnsaved)->Set(0);
  upper->patches[7].messages[0].resize(136);
  const std::string seven = upper->patches[7].name;
  rename(-1, "xy");
  rename(7, "xy");
  lib().targetSlot = 8;
  p().setRenameClosed(true);
  press(p(), kPatchRename, 0);
  EXPECT_EQ(upper->patches[7].name, seven);
  EXPECT_EQ(upper->patches[8].name, name14("A08"));
  EXPECT_EQ(h.value(kBankEditUnsaved), 0);
  EXPECT_TRUE(p().renameClosed());
}

TEST_F(LibrarianCases, SearchAndCategoryViews) {
  IControl* field = p().GetParam(kPatchSearchString)->GetControlAction()->controls.front();
  auto enter = [&](const char* text) {
    KIT_MutexLock lock(p().GetMutex());
    p().GetGUI()->SetFromStringAfterPrompt(field, p().GetParam(kPatchSearchString), text);
  };
  auto fieldText = [&] { return label(kPatchSearchString, 0); };
  press(p(), kPatchSearch, 1);
  EXPECT_TRUE(p().searchMode());
  EXPECT_TRUE(edtest::layerShown(p(), "searchField"));
  EXPECT_FALSE(edtest::layerShown(p(), "categoryLimit"));
  enter("a");
  EXPECT_EQ(p().statusText(), "Enter 2 digits or more!");
  EXPECT_EQ(fieldText(), "search...");
  enter("ZZZ");
  EXPECT_EQ(p().statusText(), "No results - Try another keyword!");
  EXPECT_EQ(edtest::shownText(p(), kControlDisplayValue), "Tip: Letter size matters..");
  EXPECT_EQ(fieldText(), "search...");
  enter("B07");
  ASSERT_EQ(lib().searchFiles.size(), 1u);
  EXPECT_EQ(lowerText(0), name14("B07"));
  EXPECT_EQ(label(kPatchSelectionListLower, 0), "Search Results 1");
  EXPECT_EQ(label(kPatchSelectionListLower, 1), "");  // the bank names are gone
  EXPECT_TRUE(edtest::layerShown(p(), "RightSearchPopupMenu"));
  EXPECT_FALSE(edtest::layerShown(p(), "RightPatchPopupMenu"));
  EXPECT_EQ(lib().droppedFileCount(), 0u);
  enter("");
  EXPECT_FALSE(p().searchMode());
  EXPECT_EQ(fieldText(), "search...");
  EXPECT_TRUE(edtest::layerShown(p(), "RightPatchPopupMenu"));

  press(p(), kPatchSearch, 1);
  press(p(), kPatchSearch, 0);
  EXPECT_FALSE(p().searchMode());
  EXPECT_TRUE(edtest::layerShown(p(), "categoryLimit"));
  EXPECT_FALSE(edtest::layerShown(p(), "searchField"));
  EXPECT_EQ(label(kPatchSelectionListLower, 2), "Bank C.mid");

  IControl* search = p().GetParam(kPatchSearch)->GetControlAction()->controls.front();
  press(p(), kCategorySelection, 1);
  EXPECT_TRUE(p().categoryMode());
  EXPECT_TRUE(edtest::layerShown(p(), "RightCategoryPopupMenu"));
  EXPECT_TRUE(search->IsGrayed());
  EXPECT_EQ(label(kPatchSelectionListLower, 0), lib().categoryFiles[0]->fileName);
  EXPECT_EQ(lowerText(0), lib().categoryFiles[0]->patches[0].name);
  press(p(), kCategorySelection, 0);
  EXPECT_FALSE(p().categoryMode());
  EXPECT_TRUE(edtest::layerShown(p(), "RightPatchPopupMenu"));
  EXPECT_FALSE(edtest::layerShown(p(), "RightCategoryPopupMenu"));
  EXPECT_FALSE(search->IsGrayed());
  EXPECT_EQ(lowerText(0), name14("A00"));
}

TEST_F(LibrarianCases, RefreshIsRefusedOverUnsavedEditsAndDiscardRereads) {
  writeBank("Bank D.syx", 'D');
  p().GetParam(kBankEditUnsaved)->Set(1);
  press(p(), kRefreshFolders, 1);
  EXPECT_EQ(p().statusText(), "Save bank or Discard changes!");
  EXPECT_EQ(lib().patchFiles.size(), 3u);
  p().GetParam(kBankEditUnsaved)->Set(0);
  press(p(), kRefreshFolders, 1);
  ASSERT_EQ(lib().patchFiles.size(), 4u);
  EXPECT_EQ(label(kPatchSelectionListUpper, 3), "Bank D.syx");
  EXPECT_EQ(lib().droppedFileCount(), 0u);

  // Edits of bank B, then a discard: B is read again and stays shown.
  press(p(), kLibUpperNextBank, 1);
  lib().upperFile()->patches[0].name = "EDITED";
  p().SetLibrarianStatusUnsaved(true);
  EXPECT_TRUE(edtest::layerShown(p(), "discardChangesLayerRight"));
  press(p(), kDiscardBankData, 1);
  EXPECT_EQ(h.value(kBankEditUnsaved), 0);
  EXPECT_EQ(lib().upperFileIndex, 1);
  EXPECT_EQ(p().rememberedFileName(Side::Upper), "Bank B.syx");
  EXPECT_EQ(lib().upperFile()->patches[0].name, name14("B00"));
  EXPECT_EQ(upperText(0), name14("B00"));
  EXPECT_FALSE(edtest::layerShown(p(), "discardChangesLayerRight"));
  EXPECT_EQ(lib().droppedFileCount(), 0u);
}

TEST_F(LibrarianCases, OverwriteStoresTheSoundOnlyWithTheUpperListSelected) {
  IMouseMod left(true);
  const IRECT lower = view().slotRect(true, 9), upper = view().slotRect(false, 3);
  {
    KIT_MutexLock lock(p().GetMutex());
    view().OnMouseDown(lower.L + 2, lower.T + 2, &left);
  }
  lib().targetSlot = 4;
  press(p(), kOverwriteBank, 1);
  EXPECT_FALSE(p().jobRunning());
  EXPECT_EQ(lib().upperFile()->patches[4].name, name14("A04"));
  {
    KIT_MutexLock lock(p().GetMutex());
    view().OnMouseDown(upper.L + 2, upper.T + 2, &left);
  }
  ASSERT_EQ(lib().targetSlot.load(), 3);
  press(p(), kOverwriteBank, 1);
  waitForJob();
  KIT_MutexLock lock(p().GetMutex());  // the job stored under it
  EXPECT_EQ(lib().upperFile()->patches[3].name, name14("-- INIT --"));
}

// With the simulator answering on the loopback.
struct LibrarianSends : LibrarianCases {
  LibrarianSends() : LibrarianCases(false) {}
  void SetUp() override { ASSERT_TRUE(h.choosePortsAndWait()); }
  // Runs a case whose job talks to the simulator, letting it answer within
  // each of the job's pauses, and waits for the job's end.
  void run(int idx, double value) {
    h.holdJobSleeps([this] {
      h.settle();
      return true;
    });
    h.settle();  // what earlier presses sent has arrived
    h.sim.clearRecords();
    press(p(), idx, value);
    waitForJob();
    h.settle();
    h.holdJobSleeps({});
  }
  // The edit buffer of the simulator holds a sound whose oscillator 1 shape
  // is shape.
  void editBufferShape(uint8_t shape) {
    sounddump::Dump d = synthsim::SynthSimulator::factorySound(0, 1);
    d[7] = shape;
    sounddump::refreshCheckByte(d);
    h.sim.setEditBuffer(d);
  }
  static bool isEditBufferRequest(const Bytes& m) { return m.size() >= 8 && m[0] == 0xF0 && m[5] == 0x7F && m[6] == 0x00; }
  static bool isDump(const Bytes& m) { return m.size() == 137 && m[4] == 0x10; }
  const SenderJob lastJob() { return p().hub()->lastJob(MIDIMessageManager::kJobThread); }
};

TEST_F(LibrarianSends, ProgramStepsChangeProgramAndRequestTheSound) {
  p().GetParam(kCurrentPatch)->Set(99);
  editBufferShape(5);
  run(kPatchUp, 1);
  EXPECT_EQ(h.value(kCurrentPatch), 0);
  EXPECT_EQ(lib().targetSlot.load(), 0);
  const auto got = h.receivedBytes();
  const auto change = std::find(got.begin(), got.end(), Bytes{0xC0, 0x00});
  const auto request = std::find_if(got.begin(), got.end(), isEditBufferRequest);
  EXPECT_NE(std::find(got.begin(), got.end(), Bytes{0xB0, 0x00, 0x00}), got.end());
  ASSERT_NE(change, got.end());
  ASSERT_NE(request, got.end());
  EXPECT_LT(change - got.begin(), request - got.begin());
  EXPECT_EQ(h.value(kOscillator1Shape), 5);

  editBufferShape(2);
  run(kPatchDown, 1);
  EXPECT_EQ(h.value(kCurrentPatch), 99);
  EXPECT_EQ(h.value(kOscillator1Shape), 2);

  // The part lock, and a value of 2, send nothing and change nothing.
  press(p(), kPartLock, 1);
  run(kPatchUp, 1);
  EXPECT_EQ(h.value(kCurrentPatch), 99);
  EXPECT_TRUE(h.receivedBytes().empty());
  press(p(), kPartLock, 0);
  run(kPatchUp, 2);
  EXPECT_EQ(h.value(kCurrentPatch), 99);
  EXPECT_TRUE(h.receivedBytes().empty());

  // Library mode: the upper list's next slot goes to the edit buffer.
  press(p(), kControlLibrary, 1);
  view().selectUpperSlot(10);
  run(kPatchUp, 1);
  EXPECT_EQ(lib().targetSlot.load(), 11);
  EXPECT_EQ(h.value(kCurrentPatch), 11);
  const sounddump::Dump buffer = h.sim.editBuffer();
  const Bytes& stored = lib().upperFile()->patches[11].messages[0];
  EXPECT_TRUE(std::equal(buffer.begin() + 7, buffer.begin() + 135, stored.begin() + 7));
}

TEST_F(LibrarianSends, PushNameAndPatternSendsAndTheEditBufferRequest) {
  p().sharedFlags().globalsSent = true;
  run(kPushArrangement, 1);
  EXPECT_TRUE(lastJob().globalStep);
  EXPECT_TRUE(p().sharedFlags().push.load());
  EXPECT_TRUE(p().sharedFlags().globalsSent.load());  // set by the global step
  const auto pushed = h.receivedBytes();
  EXPECT_EQ(std::count_if(pushed.begin(), pushed.end(), isDump), 1);

  for (int idx : {kPatchName, kCategoryName, kPatternStep01Event}) {
    p().sharedFlags().globalsSent = true;
    run(idx, 1);
    EXPECT_EQ(lastJob().mode, SenderJob::kSendSound) << idx;
    EXPECT_FALSE(lastJob().globalStep) << idx;
    EXPECT_FALSE(lastJob().toLibrarian) << idx;
    EXPECT_FALSE(p().sharedFlags().globalsSent.load()) << idx;
    const auto got = h.receivedBytes();
    EXPECT_EQ(std::count_if(got.begin(), got.end(), isDump), 1) << idx;
  }

  editBufferShape(7);
  run(kRequestTempData, 1);
  EXPECT_EQ(lastJob().mode, SenderJob::kEditBufferRequest);
  EXPECT_EQ(h.value(kOscillator1Shape), 7);
  EXPECT_FALSE(p().hub()->requestPending());
}

}  // namespace
