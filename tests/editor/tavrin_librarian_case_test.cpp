// The librarian cases of the dispatch over a scanned temporary "Patches"
// folder: bank steps, rename, search and category views, refresh, discard,
// overwrite; with the simulator on the loopback: program steps, push, the
// sound-only sends and the edit-buffer request.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <tuple>

#include "framework/IGraphics.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "support_cases.h"
#include "support_midi.h"

namespace {

using edtest::Harness;
using edtest::LibrarianCases;
using edtest::name14;
using edtest::press;
using edtest::writeBank;
using Side = ILibrarianEditor::Side;
using Bytes = std::vector<uint8_t>;

TEST_F(LibrarianCases, BankStepsWrapOverTheListsRealSize) {
  const char* files[] = {"Bank A.syx", "Bank B.syx", "Bank C.mid"};
  // button, unsaved, then the upper and lower file shown
  const std::tuple<int, int, int, int> rows[] = {
      {kLibUpperPreviousBank, 0, 2, 0}, {kLibUpperNextBank, 0, 0, 0}, {kLibUpperNextBank, 1, 0, 0},
      {kLibLowerNextBank, 1, 0, 1},     {kLibLowerPreviousBank, 1, 0, 0}, {kLibLowerPreviousBank, 1, 0, 2}};
  for (auto [button, unsaved, upper, lower] : rows) {
    p().GetParam(kBankEditUnsaved)->Set(unsaved);
    press(p(), button, 1);
    EXPECT_EQ(lib().upperFileIndex, upper) << button;
    EXPECT_EQ(lib().lowerFileIndex, lower) << button;
    EXPECT_EQ(h.value(kPatchSelectionListUpper), upper);
    EXPECT_EQ(p().rememberedFileName(Side::Upper), files[upper]);
    EXPECT_EQ(p().rememberedFileName(Side::Lower), files[lower]);
    EXPECT_EQ(upperText(7), name14(std::string(1, char('A' + upper)) + "07"));
    EXPECT_EQ(lowerText(3), name14(std::string(1, char('A' + lower)) + "03"));
  }
  EXPECT_EQ(p().statusText(), "Save bank or Discard changes!");  // the upper list held
  // The list decides, not the selection's range; other values only display.
  p().GetParam(kBankEditUnsaved)->Set(0);
  p().GetParam(kPatchSelectionListUpper)->SetDisplayText(9, "gone");
  p().GetParam(kPatchSelectionListUpper)->Set(2);
  press(p(), kLibUpperNextBank, 1);
  press(p(), kLibUpperNextBank, 0);
  EXPECT_EQ(lib().upperFileIndex, 0);
  // An empty list does nothing.
  p().setLowerListMode(false, true);
  press(p(), kLibLowerNextBank, 1);
  EXPECT_EQ(lib().lowerFileIndex, 2);
}

TEST_F(LibrarianCases, RenameStoresNameAndDumpTogether) {
  PatchFile* upper = lib().upperFile();
  upper->patches[7].messages[0].resize(136);
  press(p(), kMIDIFilterHWSEPassThrough, 0);  // the editor's own feed passes anyway
  // bank size, slot, text entered, the name stored ("" for none)
  const std::tuple<size_t, int, const char*, std::string> rows[] = {
      {98, 5, "abcdefghijklmnopqr", "ABCDEFGHIJKLMN"}, {103, 6, "ab", name14("AB")}, {100, -1, "xy", ""}, {100, 7, "xy", ""}};
  for (auto [size, slot, text, name] : rows) {
    upper->patches.resize(size);
    p().GetParam(kBankEditUnsaved)->Set(0);
    const LibrarianPatch before = slot >= 0 ? upper->patches[slot] : LibrarianPatch();
    lib().targetSlot = slot;
    p().setRenameClosed(false);
    {
      KIT_MutexLock lock(p().GetMutex());  // as a text entry: two dispatches
      IControl* field = p().GetParam(kPatchRename)->GetControlAction()->controls.front();
      p().GetGUI()->SetFromStringAfterPrompt(field, p().GetParam(kPatchRename), text);
    }
    EXPECT_EQ(upper->patches.size(), 100u) << text;
    EXPECT_TRUE(p().renameClosed());
    EXPECT_FALSE(edtest::layerShown(p(), "patchRename"));
    EXPECT_EQ(h.value(kBankEditUnsaved), name.empty() ? 0 : 1) << text;
    if (slot < 0) continue;
    Bytes expected = before.messages[0];
    if (!name.empty()) std::copy(name.begin(), name.end(), expected.begin() + 120);
    EXPECT_EQ(upper->patches[slot].messages[0], expected) << text;
    EXPECT_EQ(upper->patches[slot].name, name.empty() ? before.name : name) << text;
  }
  lib().targetSlot = 8;  // a closed rename does nothing
  p().setRenameClosed(true);
  press(p(), kPatchRename, 0);
  EXPECT_EQ(upper->patches[8].name, name14("A08"));
}

TEST_F(LibrarianCases, SearchAndCategoryViews) {
  IControl* field = p().GetParam(kPatchSearchString)->GetControlAction()->controls.front();
  press(p(), kPatchSearch, 1);
  EXPECT_TRUE(edtest::layerShown(p(), "searchField"));
  EXPECT_FALSE(edtest::layerShown(p(), "categoryLimit"));
  // Text entries (each two dispatches): what the field, the two status
  // lines and the lower list show after each.
  const std::tuple<const char*, const char*, const char*, const char*, const char*> rows[] = {
      {"a", "search...", "Enter 2 digits or more!", nullptr, "A00"},
      {"ZZZ", "search...", "No results - Try another keyword!", "Tip: Letter size matters..", "A00"},
      {"B07", "B07", nullptr, nullptr, "B07"},
      {"", "search...", nullptr, nullptr, "B07"},
  };
  for (auto [text, shown, status, second, lower] : rows) {
    {
      KIT_MutexLock lock(p().GetMutex());
      p().GetGUI()->SetFromStringAfterPrompt(field, p().GetParam(kPatchSearchString), text);
    }
    EXPECT_EQ(label(kPatchSearchString, 0), shown) << text;
    if (status) {
      EXPECT_EQ(p().statusText(), status) << text;
    }
    if (second) {
      EXPECT_EQ(edtest::shownText(p(), kControlDisplayValue), second) << text;
    }
    EXPECT_EQ(lowerText(0), name14(lower)) << text;
    if (std::string(text) == "B07") {
      EXPECT_EQ(label(kPatchSelectionListLower, 0), "Search Results 1");
      EXPECT_EQ(label(kPatchSelectionListLower, 1), "");  // the bank names are gone
      EXPECT_TRUE(edtest::layerShown(p(), "RightSearchPopupMenu"));
      EXPECT_FALSE(edtest::layerShown(p(), "RightPatchPopupMenu"));
      EXPECT_EQ(lib().droppedFileCount(), 0u);
    }
  }
  EXPECT_FALSE(p().searchMode());
  EXPECT_TRUE(edtest::layerShown(p(), "RightPatchPopupMenu"));
  press(p(), kPatchSearch, 1);
  press(p(), kPatchSearch, 0);
  EXPECT_FALSE(p().searchMode());
  EXPECT_TRUE(edtest::layerShown(p(), "categoryLimit"));
  EXPECT_FALSE(edtest::layerShown(p(), "searchField"));
  EXPECT_EQ(label(kPatchSelectionListLower, 2), "Bank C.mid");

  IControl* search = p().GetParam(kPatchSearch)->GetControlAction()->controls.front();
  for (const int on : {1, 0}) {
    press(p(), kCategorySelection, on);
    EXPECT_EQ(p().categoryMode(), on == 1);
    EXPECT_EQ(search->IsGrayed(), on == 1);
    EXPECT_EQ(edtest::layerShown(p(), "RightCategoryPopupMenu"), on == 1);
    EXPECT_EQ(edtest::layerShown(p(), "RightPatchPopupMenu"), on == 0);
    EXPECT_EQ(lowerText(0), on ? lib().categoryFiles[0]->patches[0].name : name14("A00"));
    EXPECT_EQ(label(kPatchSelectionListLower, 0), on ? lib().categoryFiles[0]->fileName : "Bank A.syx");
  }
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

// With the simulator answering on the loopback.
struct LibrarianSends : LibrarianCases {
  LibrarianSends() : LibrarianCases(false, false) {}
  void SetUp() override { ASSERT_TRUE(h.choosePortsAndWait()); }
  // Runs a case whose job talks to the simulator, letting it answer within
  // each of the job's pauses; returns what the simulator received.
  std::vector<Bytes> run(int idx, double value) {
    h.holdJobSleeps([this] {
      h.settle();
      return true;
    });
    h.settle();  // what earlier presses sent has arrived
    h.sim.clearRecords();
    press(p(), idx, value);
    waitForJob();
    h.holdJobSleeps({});
    return h.receivedBytes();
  }
  // The simulator's edit buffer, with oscillator 1's shape at shape.
  void editBufferShape(uint8_t shape) {
    sounddump::Dump d = synthsim::SynthSimulator::factorySound(0, 1);
    d[7] = shape;
    sounddump::refreshCheckByte(d);
    h.sim.setEditBuffer(d);
  }
  static long dumps(const std::vector<Bytes>& got) {
    return std::count_if(got.begin(), got.end(), [](const Bytes& m) { return m.size() == 137 && m[4] == 0x10; });
  }
  SenderJob lastJob() { return p().hub()->lastJob(MIDIMessageManager::kJobThread); }
};

TEST_F(LibrarianSends, ProgramStepsChangeProgramAndRequestTheSound) {
  p().GetParam(kCurrentPatch)->Set(99);
  // button, value, program afterwards, whether the program and request go out
  const std::tuple<int, double, int, bool> rows[] = {
      {kPatchUp, 1, 0, true}, {kPatchDown, 1, 99, true}, {kPartLock, 1, 99, false}, {kPatchUp, 1, 99, false},
      {kPartLock, 0, 99, false}, {kPatchUp, 2, 99, false}};
  uint8_t shape = 1;
  for (auto [button, value, program, sends] : rows) {
    editBufferShape(++shape);
    const auto got = run(button, value);
    EXPECT_EQ(h.value(kCurrentPatch), program);
    if (button == kPartLock) continue;
    const auto change = std::find(got.begin(), got.end(), Bytes{0xC0, static_cast<uint8_t>(program)});
    const auto request = std::find_if(got.begin(), got.end(), [](const Bytes& m) {
      return m.size() >= 8 && m[0] == 0xF0 && m[5] == 0x7F && m[6] == 0x00;  // the edit buffer
    });
    EXPECT_EQ(change != got.end() && request != got.end() && change < request, sends) << button;
    EXPECT_EQ(h.value(kOscillator1Shape) == shape, sends) << button;  // the answer lands
    if (sends) {
      EXPECT_EQ(lib().targetSlot.load(), program);
    }
  }
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
  // Push: the global step first, which marks the globals sent.
  p().sharedFlags().globalsSent = true;
  EXPECT_EQ(dumps(run(kPushArrangement, 1)), 1);
  EXPECT_TRUE(lastJob().globalStep);
  EXPECT_TRUE(p().sharedFlags().push.load() && p().sharedFlags().globalsSent.load());
  // Name, category and pattern changes: the sound alone; the next send
  // takes the global step.
  for (int idx : {kPatchName, kCategoryName, kPatternStep01Event}) {
    p().sharedFlags().globalsSent = true;
    EXPECT_EQ(dumps(run(idx, 1)), 1) << idx;
    EXPECT_EQ(lastJob().mode, SenderJob::kSendSound) << idx;
    EXPECT_FALSE(lastJob().globalStep || lastJob().toLibrarian) << idx;
    EXPECT_FALSE(p().sharedFlags().globalsSent.load()) << idx;
  }
  editBufferShape(7);
  run(kRequestTempData, 1);
  EXPECT_EQ(lastJob().mode, SenderJob::kEditBufferRequest);
  EXPECT_EQ(h.value(kOscillator1Shape), 7);
  EXPECT_FALSE(p().hub()->requestPending());
}

// Pattern steps travel only in the sound dump: an edit made while the dump
// of the one before is on its way follows it, and so does a name change.
TEST_F(LibrarianSends, EditsMadeWhileTheLastDumpRunsFollowIt) {
  std::atomic<bool> release{false};
  h.holdJobSleeps([&] { return release.load(); });
  h.settle();
  h.sim.clearRecords();
  const size_t mark = h.sleeps().size();
  press(p(), kPatternStep01Glide, 1);
  // The first dump has gone out: its job pauses 200 ms after it.
  ASSERT_TRUE(hwtest::spinUntil([&] {
    const auto sleeps = h.sleeps();
    return std::any_of(sleeps.begin() + static_cast<long>(mark), sleeps.end(),
                       [](const edtest::Sleep& z) { return !z.testThread && z.micros == 200'000; });
  }));
  press(p(), kPatternStep02Glide, 1);
  press(p(), kPatternStep03Time, 2);
  p().sharedFlags().globalsSent = true;
  press(p(), kCategoryName, 4);
  EXPECT_FALSE(p().sharedFlags().globalsSent.load());
  release = true;
  waitForJob();
  h.holdJobSleeps({});
  EXPECT_EQ(dumps(h.receivedBytes()), 2);
  EXPECT_FALSE(lastJob().globalStep);
  const sounddump::Dump buffer = h.sim.editBuffer();
  const auto parsed = sounddump::parse(buffer.data(), buffer.size(), {});
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->category, 4);
  int steps = 0;
  for (const sounddump::ParameterWrite& w : parsed->writes) {
    if (w.param < kPatternStep01Event || w.param > kPatternStep16Glide) continue;
    ++steps;
    EXPECT_EQ(w.value, h.value(w.param)) << w.param;
  }
  EXPECT_EQ(steps, 48);
}

TEST_F(LibrarianSends, OverwriteStoresTheSoundOnlyWithTheUpperListSelected) {
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

}  // namespace
