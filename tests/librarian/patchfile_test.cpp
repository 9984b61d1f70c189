// Patch files, the folder tree, the librarian's lists and the store into
// the upper bank.
#include <gtest/gtest.h>

#include <tuple>

#include "librarian/PatchLibrarian.h"
#include "support_banks.h"

namespace {

using Names = std::vector<std::string>;

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
  PatchFile expected;
  expected.fileName = "Bank.syx";
  expected.patches = f.patches;
  const PatchFile c = f.clone();
  EXPECT_EQ(std::tie(c.noPadding, c.secondFlag, c.fileName, c.folderName, c.folderNames, c.folderPath, c.folderIndex,
                     c.patches),
            std::tie(expected.noPadding, expected.secondFlag, expected.fileName, expected.folderName,
                     expected.folderNames, expected.folderPath, expected.folderIndex, expected.patches));
  f.secondFlag = 1;
  EXPECT_EQ(f.clone().secondFlag, 1);
  EXPECT_EQ(f.fullPath(), "/x/Patches/A/Bank.syx");
}

TEST(FolderTree, FilesDirectlyInPatchesAndOneFolderBelow) {
  PatchLibrarian lib;
  place(lib, "a1.syx", {"Patches", "A"});
  place(lib, "a2.syx", {"Patches", "A"});
  place(lib, "b.syx", {"Patches", "B"});
  place(lib, "r.syx", {"Patches"});
  place(lib, "r2.syx", {"Patches"});
  ASSERT_EQ(lib.bankFolders.size(), 3u);
  EXPECT_EQ(lib.bankFolders[0]->name, "");
  ASSERT_EQ(lib.bankFolders[0]->subFolders.size(), 1u);
  EXPECT_EQ(lib.bankFolders[0]->subFolders[0].name, "A");
  EXPECT_EQ(namesOf(lib.bankFolders[0]->subFolders[0].files), (Names{"a1.syx", "a2.syx"}));
  EXPECT_EQ(lib.bankFolders[1]->subFolders[0].name, "B");
  EXPECT_EQ(lib.bankFolders[2]->name, "Patches");
  EXPECT_TRUE(lib.bankFolders[2]->subFolders.empty());
  EXPECT_EQ(namesOf(lib.bankFolders[2]->files), (Names{"r.syx", "r2.syx"}));
}

TEST(FolderTree, SecondLevelFoldersDeeperFilesAndCaseSensitiveNames) {
  PatchLibrarian lib;
  place(lib, "x.syx", {"Patches", "A", "X"});  // A holds no file of its own yet
  place(lib, "a.syx", {"Patches", "A"});
  place(lib, "y.syx", {"Patches", "A", "Y"});
  place(lib, "x2.syx", {"Patches", "A", "X"});
  place(lib, "deep.syx", {"Patches", "A", "X", "Deep"});
  place(lib, "odd.syx", {});
  place(lib, "1.syx", {"Patches", "live"});
  place(lib, "2.syx", {"Patches", "Live"});
  lib.createFolderFilesStructure(nullptr);
  ASSERT_EQ(lib.bankFolders.size(), 3u);
  const SubFolderFiles& a = lib.bankFolders[0]->subFolders.at(0);
  EXPECT_EQ(namesOf(a.files), Names{"a.syx"});
  ASSERT_EQ(a.subFolders.size(), 2u);
  EXPECT_EQ(a.subFolders[0].name, "X");
  EXPECT_EQ(namesOf(a.subFolders[0].files), (Names{"x.syx", "x2.syx"}));
  EXPECT_EQ(a.subFolders[1].name, "Y");
  EXPECT_EQ(lib.patchFiles.size(), 8u) << "files the tree does not hold stay listed";
  EXPECT_EQ(lib.bankFolders[1]->subFolders[0].name, "live");
  EXPECT_EQ(lib.bankFolders[2]->subFolders[0].name, "Live");
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
  LibrarianPatch incoming = LibrarianPatch::fromDump(banks::model2Dump(1, "NEW ONE", 3));
  incoming.takeNameAndCategory();
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
