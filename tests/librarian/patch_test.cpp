// The patch record, its name and category rules, the check byte, the small
// file-name and MIDI helpers; patch files, the folder tree, the librarian's
// lists and the store into the upper bank.
#include <gtest/gtest.h>

#include <tuple>

#include "librarian/BankFormats.h"
#include "librarian/LibrarianPatch.h"
#include "librarian/PatchLibrarian.h"
#include "support_banks.h"

namespace {

using banks::Bytes;
using banks::Names;

TEST(LibrarianPatch, CategoryTableCheckByteAndInitPatch) {
  // The names of codes 0..19 are checked through the category list names.
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(std::string(categoryName(code)).size(), 4u) << code;
    if (code >= 20) {
      EXPECT_STREQ(categoryName(code), "INIT") << code;
    }
  }
  // Sum after F0 up to before the check byte, modulo 128.
  EXPECT_EQ(dumpCheckByte(Bytes{0xF0, 0x01}), 0);
  EXPECT_EQ(dumpCheckByte(Bytes{0xF0, 100, 100, 100, 0x55, 0xF7}), 44);
  // The init patch keeps its stored (stale) byte; the true sum differs.
  EXPECT_EQ(dumpCheckByte(Bytes(initSinglePatch.begin(), initSinglePatch.end())), 0x29);
  EXPECT_EQ(initSinglePatch[135], 0x2A);
  const LibrarianPatch init = LibrarianPatch::initPatch();
  EXPECT_EQ(std::tie(init.name, init.category), std::tuple("INIT          ", "NONE"));
  EXPECT_EQ(init.messages.size(), 1u);
}

TEST(LibrarianPatch, NameIsAllFourteenBytesUpperCasedNothingTrimmed) {
  auto dump = banks::model2Dump(1, "bright pad 2", 9);
  dump[132] = 0x00;  // a zero byte inside the name stays
  dump[133] = 0xC3;  // so does a byte above 7F
  LibrarianPatch p = banks::patchOf(dump);
  p.takeNameAndCategory();  // taken again from scratch, never appended
  EXPECT_EQ(p.name, std::string("BRIGHT PAD 2") + '\0' + "\xC3");
  EXPECT_EQ(p.category, "PAD ");
  dump[134] = 200;
  LibrarianPatch q = LibrarianPatch::fromDump(dump);
  q.parseCategory();
  EXPECT_EQ(q.category, "INIT");
}

TEST(LibrarianPatch, RecordsTooShortForNameAndCategoryKeepThemEmpty) {
  for (size_t len : {0u, 2u, 75u, 120u, 134u}) {
    LibrarianPatch p = LibrarianPatch::fromDump(Bytes(len, 0x41));
    p.name = p.category = "old";
    p.takeNameAndCategory();
    EXPECT_TRUE(p.name.empty() && p.category.empty()) << len;
  }
  LibrarianPatch none;
  none.parseCategory();
  EXPECT_TRUE(none.category.empty());
  const LibrarianPatch p = banks::patchOf(Bytes(135, 0x61));  // 135 bytes hold both
  EXPECT_EQ(std::tie(p.name, p.category), std::tuple("AAAAAAAAAAAAAA", "INIT"));
}

Bytes saved(const LibrarianPatch& p, bool midi, int index) {
  Bytes out;
  p.save(out, midi, index);
  return out;
}

TEST(LibrarianPatch, SavesRawAndMidiFormsWithRecomputedCheckByteOrAnInitSound) {
  auto dump = banks::model2Dump(3, "X", 2);
  dump[135] = 0x00;  // stale
  const LibrarianPatch p = LibrarianPatch::fromDump(dump);
  const Bytes raw = saved(p, false, 4);
  EXPECT_EQ(raw, banks::withCheckByte(dump));
  Bytes first = {0x00, 0xF0, 0x81, 0x08};  // the track's first event has delta 0
  first.insert(first.end(), raw.begin() + 1, raw.end());
  EXPECT_EQ(saved(p, true, 0), first);
  const Bytes later = saved(p, true, 1);
  EXPECT_EQ(Bytes(later.begin(), later.begin() + 5), (Bytes{0x83, 0x74, 0xF0, 0x81, 0x08}));

  // Messages that are not 137-byte framed dumps are written as they are.
  const LibrarianPatch odd = LibrarianPatch::fromDump(Bytes{0xF0, 1, 2, 3, 0xF7});
  EXPECT_EQ(saved(odd, false, 0), (Bytes{0xF0, 1, 2, 3, 0xF7}));
  EXPECT_EQ(saved(odd, true, 2), (Bytes{0x83, 0x74, 0xF0, 0x04, 1, 2, 3, 0xF7}));
  // A message shorter than 2 bytes adds no event.
  EXPECT_TRUE(saved(LibrarianPatch::fromDump(Bytes{0xF0}), true, 3).empty());
  // A patch without messages writes an init sound.
  const Bytes init(initSinglePatch.begin(), initSinglePatch.end());
  EXPECT_EQ(saved(LibrarianPatch(), false, 7), banks::withCheckByte(init));
  EXPECT_EQ(saved(LibrarianPatch(), true, 7).size(), 141u);
}

TEST(SmallHelpers, VariableLengthQuantitiesFileNamesAndCharacterRemoval) {
  const std::pair<uint32_t, Bytes> quantities[] = {
      {0, {0x00}},           {0x7F, {0x7F}},           {136, {0x81, 0x08}},
      {500, {0x83, 0x74}},   {0x3FFF, {0xFF, 0x7F}},   {0x4000, {0x81, 0x80, 0x00}},
      {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}}};
  for (const auto& [value, bytes] : quantities) {
    Bytes out;
    appendVariableLength(out, value);
    EXPECT_EQ(out, bytes) << value;
  }
  EXPECT_EQ(Names({fileExtensionLower("Bank.SYX"), fileExtensionLower("a.b.Mid"), fileExtensionLower("noext"),
                   fileBaseName("a.b.sr2"), fileBaseName("noext")}),
            (Names{"syx", "mid", "", "a.b", "noext"}));
  std::string s = "/Patches/Live\\Set/";
  removeCharsFromString(s, "/\\");
  removeCharsFromString(s, "");
  removeCharsFromString(s, nullptr);
  EXPECT_EQ(s, "PatchesLiveSet");
  removeCharsFromString(s, "Pe");
  EXPECT_EQ(s, "atchsLivSt") << "every occurrence of each character";
}

std::unique_ptr<PatchFile> bankFile(const std::string& name, Names folders) {
  auto f = std::make_unique<PatchFile>();
  f->fileName = name;
  f->folderNames = std::move(folders);
  f->folderName = f->folderNames.empty() ? "" : f->folderNames.back();
  PatchLibrarian::fillUncompletedBankFiles(f.get());
  return f;
}

Names namesOf(const std::vector<PatchFile*>& files) {
  Names out;
  for (const PatchFile* f : files) out.push_back(f->fileName);
  return out;
}

// Places files in order and keeps them owned by the librarian's list.
PatchFile* place(PatchLibrarian& lib, const std::string& name, Names folders) {
  lib.patchFiles.push_back(bankFile(name, std::move(folders)));
  lib.createFolderFilesStructure(lib.patchFiles.back().get());
  return lib.patchFiles.back().get();
}

TEST(PatchFile, CloneKeepsPatchesAndNameAndClearsTheRest) {
  PatchFile f;
  f.noPadding = 1;
  f.secondFlag = 2;
  f.fileName = "Bank.syx";
  f.folderName = "A";
  f.folderNames = {"Patches", "A"};
  f.folderPath = "/x/Patches/A";
  f.folderIndex = 4;
  f.patches.push_back(LibrarianPatch::initPatch());
  const PatchFile c = f.clone();
  EXPECT_EQ(std::tie(c.fileName, c.patches), std::tie(f.fileName, f.patches));
  EXPECT_EQ(std::tuple(c.noPadding, c.secondFlag, c.folderIndex), std::tuple(0, 0, 0));
  EXPECT_TRUE(c.folderName.empty() && c.folderNames.empty() && c.folderPath.empty());
  f.secondFlag = 1;
  EXPECT_EQ(f.clone().secondFlag, 1);
  EXPECT_EQ(f.fullPath(), "/x/Patches/A/Bank.syx");
}

TEST(FolderTree, TwoLevelsBelowPatchesFilesInPatchesAndCaseSensitiveNames) {
  PatchLibrarian lib;
  place(lib, "x.syx", {"Patches", "A", "X"});  // A holds no file of its own yet
  place(lib, "a1.syx", {"Patches", "A"});
  place(lib, "y.syx", {"Patches", "A", "Y"});
  place(lib, "x2.syx", {"Patches", "A", "X"});
  place(lib, "deep.syx", {"Patches", "A", "X", "Deep"});
  place(lib, "a2.syx", {"Patches", "A"});
  place(lib, "odd.syx", {});
  place(lib, "r.syx", {"Patches"});
  place(lib, "1.syx", {"Patches", "live"});
  place(lib, "2.syx", {"Patches", "Live"});
  place(lib, "r2.syx", {"Patches"});
  lib.createFolderFilesStructure(nullptr);
  ASSERT_EQ(lib.bankFolders.size(), 4u);
  EXPECT_EQ(lib.bankFolders[0]->name, "");
  ASSERT_EQ(lib.bankFolders[0]->subFolders.size(), 1u);
  const SubFolderFiles& a = lib.bankFolders[0]->subFolders[0];
  EXPECT_EQ(a.name, "A");
  EXPECT_EQ(namesOf(a.files), (Names{"a1.syx", "a2.syx"}));
  ASSERT_EQ(a.subFolders.size(), 2u);
  EXPECT_EQ(a.subFolders[0].name, "X");
  EXPECT_EQ(namesOf(a.subFolders[0].files), (Names{"x.syx", "x2.syx"}));
  EXPECT_EQ(a.subFolders[1].name, "Y");
  EXPECT_EQ(lib.patchFiles.size(), 11u) << "files the tree does not hold stay listed";
  EXPECT_EQ(lib.bankFolders[1]->name, "Patches");
  EXPECT_TRUE(lib.bankFolders[1]->subFolders.empty());
  EXPECT_EQ(namesOf(lib.bankFolders[1]->files), (Names{"r.syx", "r2.syx"}));
  EXPECT_EQ(lib.bankFolders[2]->subFolders[0].name, "live");
  EXPECT_EQ(lib.bankFolders[3]->subFolders[0].name, "Live");
}

TEST(FolderTree, ClearingATreeKeepsItsFilesAndDroppedFilesLiveUntilReleased) {
  PatchLibrarian lib;
  PatchFile* f = place(lib, "a.syx", {"Patches", "A"});
  lib.categoryFolders.push_back(std::make_unique<FolderFiles>("NONE", SubFolderFiles{"NONE", {}, {f}}));
  lib.searchFolders.push_back(std::make_unique<FolderFiles>());
  for (int kind : {1, 7, -1}) lib.clearDataStructures(kind);
  EXPECT_EQ(lib.bankFolders.size() + lib.categoryFolders.size() + lib.searchFolders.size(), 3u);
  for (int kind : {0, 2, 3, 0}) lib.clearDataStructures(kind);
  EXPECT_TRUE(lib.bankFolders.empty() && lib.categoryFolders.empty() && lib.searchFolders.empty());
  ASSERT_EQ(lib.patchFiles.size(), 1u);
  EXPECT_EQ(lib.patchFiles[0]->fileName, "a.syx");

  PatchLibrarian other;
  PatchFile* g = place(other, "g.syx", {"Patches"});
  other.dropFiles(other.patchFiles);
  EXPECT_TRUE(other.patchFiles.empty());
  EXPECT_EQ(other.droppedFileCount(), 1u);
  // Still readable through the tree until the views have been refreshed.
  EXPECT_EQ(other.bankFolders[0]->files[0]->fileName, "g.syx");
  EXPECT_EQ(g->patches.size(), 100u);
  other.clearDataStructures(0);
  other.releaseDroppedFiles();
  EXPECT_EQ(other.droppedFileCount(), 0u);

  // A rescan's many files are freed aside: the list is empty at once, and a
  // librarian that ends meanwhile waits for them (the sanitizers see any
  // file freed twice or never).
  for (int round = 0; round < 2; ++round) {
    PatchLibrarian many;
    for (int i = 0; i < 300; ++i) place(many, "f" + std::to_string(i) + ".syx", {"Patches"});
    many.clearDataStructures(0);
    many.dropFiles(many.patchFiles);
    many.releaseDroppedFiles();
    EXPECT_EQ(many.droppedFileCount(), 0u);
    if (round == 0) many.waitForRelease();
  }
}

TEST(Lists, EveryIndexIsCheckedBeforeUse) {
  PatchLibrarian lib;
  EXPECT_EQ(lib.upperFile(), nullptr);
  EXPECT_EQ(lib.lowerFile(LowerListSource::BankFiles), nullptr);
  PatchFile* bank = place(lib, "b.syx", {"Patches"});
  lib.categoryFiles.push_back(bankFile("NONE 1", {}));
  EXPECT_EQ(lib.upperFile(), bank);
  lib.noUpperFile = 1;
  EXPECT_EQ(lib.upperFile(), nullptr);
  lib.noUpperFile = 0;
  for (int bad : {-1, 1, 1000}) {
    lib.upperFileIndex = lib.lowerFileIndex = bad;
    EXPECT_EQ(lib.upperFile(), nullptr);
    EXPECT_EQ(lib.lowerFile(LowerListSource::BankFiles), nullptr);
    EXPECT_EQ(lib.lowerFile(LowerListSource::Categories), nullptr);
  }
  lib.lowerFileIndex = 0;
  EXPECT_EQ(lib.lowerFile(LowerListSource::Categories)->fileName, "NONE 1");
  EXPECT_EQ(lib.lowerFile(LowerListSource::SearchResults), nullptr) << "empty search results";
  EXPECT_EQ(PatchLibrarian::fileAt(lib.patchFiles, 0), bank);
}

TEST(StoreIntoUpperBank, OnlyIntoSlotsZeroTo99OfAnExistingBank) {
  PatchLibrarian lib;
  const LibrarianPatch incoming = banks::patchOf(banks::model2Dump(1, "NEW ONE", 3));
  EXPECT_FALSE(lib.setSysexDatatoSelectedSlot(&incoming)) << "no upper bank";
  PatchFile* bank = place(lib, "b.syx", {"Patches"});
  const auto before = bank->patches;
  for (int slot : {-1, 100, 5000}) {
    lib.targetSlot = slot;
    EXPECT_FALSE(lib.setSysexDatatoSelectedSlot(&incoming)) << slot;
  }
  EXPECT_EQ(bank->patches, before);
  lib.targetSlot = 99;
  EXPECT_TRUE(lib.setSysexDatatoSelectedSlot(&incoming));
  EXPECT_EQ(bank->patches[99], incoming);
  lib.targetSlot = 0;
  EXPECT_FALSE(lib.setSysexDatatoSelectedSlot(nullptr));
  lib.noUpperFile = 1;
  EXPECT_FALSE(lib.setSysexDatatoSelectedSlot(&incoming));
}

}  // namespace
