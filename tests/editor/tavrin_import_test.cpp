// Imports: single sounds of both models from raw and Standard MIDI files
// into the target slot, bank files copied into "Patches", and a new
// category for the target slot's patch.
#include <gtest/gtest.h>

#include <filesystem>

#include "hardware/ParameterList.h"
#include "librarian/LibrarianMenus.h"
#include "support_cases.h"

namespace {

using Bytes = std::vector<uint8_t>;
using edtest::name14;
using edtest::press;

// A model 2 sound as a single-sound file holds it: no check byte.
Bytes single(int seed, const std::string& name) {
  Bytes d = banks::model2Dump(seed, name, 4);
  d.erase(d.end() - 2);
  return d;
}

struct Import : edtest::LibrarianCases {
  Import() : LibrarianCases(true) {
    p().GetGUI()->OpenWindow(nullptr);
    lib().targetSlot = 20;
  }
  std::string write(const std::string& name, const Bytes& bytes) {
    testsupport::writeFile(dir.file(name), bytes);
    return dir.file(name);
  }
  void singles(const std::string& path, bool older) {
    h.gui().answerFilePrompt(path);
    p().ImportSingleSorrelPatches(older);
  }
  std::string slotName() { return lib().upperFile()->patches[20].name; }
  bool unsaved() { return h.value(kBankEditUnsaved) == 1.0; }
  void markSaved() { p().GetParam(kBankEditUnsaved)->Set(0); }
  std::string patches() { return p().getPatchesFolderStr() + "/"; }

  testsupport::TempDir dir;
};

TEST_F(Import, SingleSoundsOfBothModelsLandInTheTargetSlot) {
  const Bytes model2 = banks::rawBank({single(1, "FIRST"), single(2, "SECOND")});
  const Bytes model1 = banks::rawBank({banks::model1Dump(75, 1), banks::model1Dump(76, 2)});
  struct Row {
    const char* file;
    Bytes bytes;
    bool older;
    std::string name;  // the name stored, "" for nothing stored
  };
  const Row rows[] = {
      {"Pair.syx", model2, false, name14("SECOND")},
      {"Pair.mid", banks::midiBank({single(1, "FIRST"), single(2, "SECOND")}), false, name14("SECOND")},
      {"Old Pad.syx", model1, true, "OLD PAD"},
      {"ABCDEFGHIJKLMNOPQRSTUVW.mid", banks::midiBank({banks::model1Dump(75, 3)}), true, "ABCDEFGHIJKLM"},
      {"Whole.syx", banks::rawBank(banks::namedDumps(2)), false, banks::patchName(1)},  // whole dumps
      {"Pair2.syx", model2, true, ""},                                 // the other model
      {"Old2.syx", model1, false, ""},
  };
  for (const Row& r : rows) {
    const std::string before = slotName();
    markSaved();
    singles(write(r.file, r.bytes), r.older);
    if (r.name.empty()) {
      EXPECT_EQ(slotName(), before) << r.file;
      EXPECT_FALSE(unsaved()) << r.file;
      continue;
    }
    EXPECT_EQ(slotName().substr(0, r.name.size()), r.name) << r.file;
    EXPECT_EQ(std::string(view().slotText(false, 20)), slotName()) << r.file;
    EXPECT_EQ(lib().targetSlot.load(), 20);
    EXPECT_TRUE(unsaved()) << r.file;
    EXPECT_EQ(lib().upperFile()->patches[20].messages.back().size(), 137u);
  }
  // The prompt starts at its own default, then where the last file was.
  const auto& prompts = h.gui().filePrompts();
  EXPECT_EQ(prompts.front().startFolder, "~/Desktop");
  EXPECT_EQ(prompts.back().startFolder, dir.path());
  EXPECT_EQ(prompts.back().types, (std::vector<std::string>{"mid", "syx"}));
  EXPECT_EQ(p().importFolder(), dir.path());
  // A cancelled prompt imports nothing.
  markSaved();
  p().ImportSingleSorrelPatches(false);
  EXPECT_FALSE(unsaved());
}

// A sound saved whole (137 bytes, F0 to F7) lands as it is, from a raw file
// or a Standard MIDI File, for either model's import; its check byte is
// made right, and the sound is not read as a short form or converted.
TEST_F(Import, AWholeSoundOfEitherModelLandsAsItIs) {
  const Bytes right = banks::model2Dump(4, "SAVED WHOLE", 7, 0x03, 2, 11);
  for (const bool older : {false, true}) {
    Bytes saved = right;
    saved[2] = older ? 0x0B : 0x16;
    saved[135] = static_cast<uint8_t>(right[135] ^ 0x11);  // stale
    for (const std::string file : {"Saved.syx", "Saved.mid"}) {
      SCOPED_TRACE(file + (older ? " model 1" : " model 2"));
      lib().upperFile()->patches[20] = LibrarianPatch::initPatch();
      markSaved();
      const Bytes bytes = file == "Saved.syx" ? saved : banks::midiBank({saved});
      singles(write(file, bytes), older);
      const LibrarianPatch& got = lib().upperFile()->patches[20];
      ASSERT_EQ(got.messages.size(), 1u);
      EXPECT_EQ(got.messages[0], right);
      EXPECT_EQ(got.name, name14("SAVED WHOLE"));
      EXPECT_EQ(got.category, "LEAD");
      EXPECT_TRUE(unsaved());
    }
  }
}

TEST_F(Import, BankFilesAreCopiedIntoPatchesUnderAFreeName) {
  const Bytes bankE = edtest::bank('E');
  auto copy = [&](const std::string& path, bool midi = false) {
    h.gui().answerFilePrompt(path);
    p().saveImportedFile(midi);
  };
  copy(write("Bank E.syx", bankE));
  EXPECT_EQ(testsupport::readFile(patches() + "Bank E.syx"), bankE);
  EXPECT_NE(h.logText().find("FILE IMPORTER: patch file copied to " + p().getPatchesFolderStr()), std::string::npos);
  copy(dir.file("Bank E.syx"));  // the same bytes again: nothing new
  EXPECT_FALSE(testsupport::fileExists(patches() + "Bank E (2).syx"));
  testsupport::TempDir other;
  testsupport::writeFile(other.file("Bank E.syx"), edtest::bank('F'));
  copy(other.file("Bank E.syx"));
  EXPECT_EQ(testsupport::readFile(patches() + "Bank E (2).syx"), edtest::bank('F'));
  EXPECT_EQ(testsupport::readFile(patches() + "Bank E.syx"), bankE);
  copy(patches() + "Bank A.syx");  // already there
  EXPECT_FALSE(testsupport::fileExists(patches() + "Bank A (2).syx"));
  copy(dir.file("Gone.syx"));  // unreadable: nothing is made
  EXPECT_FALSE(testsupport::fileExists(patches() + "Gone.syx"));
  copy(write("Bank G.mid", edtest::bank('C')), true);
  EXPECT_EQ(h.gui().filePrompts().back().types, (std::vector<std::string>{"mid"}));

  // Through the bank edit menu the folders are scanned again afterwards.
  write("Bank H.syx", edtest::bank('H'));
  h.gui().answerMenuByText({"Import...", "SysEx (*.syx / *.sr2)"});
  h.gui().answerFilePrompt(dir.file("Bank H.syx"));
  {
    KIT_MutexLock lock(p().GetMutex());
    p().namedLayer("BANKEDITMENU")->GetControl(0)->OnMouseDown(0, 0, nullptr);
  }
  EXPECT_EQ(h.gui().filePrompts().back().types, (std::vector<std::string>{"syx", "sr2"}));
  bool listed = false;
  for (const auto& f : lib().patchFiles) listed = listed || f->fileName == "Bank H.syx";
  EXPECT_TRUE(listed);
  EXPECT_TRUE(h.gui().unusedAnswers().empty());
}

TEST_F(Import, CategoryOfTheTargetSlot) {
  PatchFile* upper = lib().upperFile();
  upper->patches.resize(37);
  press(p(), kMIDIFilterHWSEPassThrough, 0);  // the editor's own feed passes anyway
  for (int refused : {21, -1, 300}) p().SetCategoryForLibrarianPatch(refused);
  EXPECT_EQ(upper->patches.size(), 37u);
  EXPECT_FALSE(unsaved());
  lib().targetSlot = 12;
  p().SetCategoryForLibrarianPatch(9);
  EXPECT_EQ(upper->patches.size(), 100u);
  EXPECT_EQ(upper->patches[12].category, "PAD ");
  EXPECT_EQ(upper->patches[12].messages[0][134], 9);
  EXPECT_EQ(upper->patches[12].name, name14("A12"));
  EXPECT_TRUE(unsaved());
  // A slot past the patches read, or a short sound, takes no category.
  markSaved();
  lib().targetSlot = 50;
  p().SetCategoryForLibrarianPatch(3);
  upper->patches[13].messages[0].resize(133);
  lib().targetSlot = 13;
  p().SetCategoryForLibrarianPatch(3);
  EXPECT_FALSE(unsaved());
  EXPECT_TRUE(upper->patches[50].messages.empty());
}

}  // namespace
