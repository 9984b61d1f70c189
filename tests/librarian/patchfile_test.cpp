// Patch files, the folder tree, the librarian's lists and the store into
// the upper bank.
#include <gtest/gtest.h>

#include "librarian/PatchLibrarian.h"
#include "support_banks.h"

namespace {

std::unique_ptr<PatchFile> bankFile(const std::string& name, std::vector<std::string> folders) {
  auto f = std::make_unique<PatchFile>();
  f->fileName = name;
  f->folderNames = std::move(folders);
  f->folderName = f->folderNames.empty() ? "" : f->folderNames.back();
  PatchLibrarian::fillUncompletedBankFiles(f.get());
  return f;
}

std::vector<std::string> namesOf(const std::vector<PatchFile*>& files) {
  std::vector<std::string> out;
  for (const PatchFile* f : files) out.push_back(f->fileName);
  return out;
}

// Places files in order and keeps them owned by the librarian's list.
PatchFile* place(PatchLibrarian& lib, const std::string& name, std::vector<std::string> folders) {
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
  PatchFile c = f.clone();
  EXPECT_EQ(c.noPadding, 0);
  EXPECT_EQ(c.secondFlag, 0);
  EXPECT_EQ(c.fileName, "Bank.syx");
  EXPECT_TRUE(c.folderName.empty());
  EXPECT_TRUE(c.folderNames.empty());
  EXPECT_TRUE(c.folderPath.empty());
  EXPECT_EQ(c.folderIndex, 0);
  EXPECT_EQ(c.patches, f.patches);
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
  EXPECT_EQ(namesOf(lib.bankFolders[0]->subFolders[0].files), (std::vector<std::string>{"a1.syx", "a2.syx"}));
  EXPECT_EQ(lib.bankFolders[1]->subFolders[0].name, "B");
  EXPECT_EQ(lib.bankFolders[2]->name, "Patches");
  EXPECT_TRUE(lib.bankFolders[2]->subFolders.empty());
  EXPECT_EQ(namesOf(lib.bankFolders[2]->files), (std::vector<std::string>{"r.syx", "r2.syx"}));
}

TEST(FolderTree, SecondLevelFoldersAndDeeperFiles) {
  PatchLibrarian lib;
  place(lib, "x.syx", {"Patches", "A", "X"});  // A holds no file of its own yet
  place(lib, "a.syx", {"Patches", "A"});
  place(lib, "y.syx", {"Patches", "A", "Y"});
  place(lib, "x2.syx", {"Patches", "A", "X"});
  place(lib, "deep.syx", {"Patches", "A", "X", "Deep"});
  place(lib, "odd.syx", {});
  ASSERT_EQ(lib.bankFolders.size(), 1u);
  const SubFolderFiles& a = lib.bankFolders[0]->subFolders.at(0);
  EXPECT_EQ(namesOf(a.files), std::vector<std::string>{"a.syx"});
  ASSERT_EQ(a.subFolders.size(), 2u);
  EXPECT_EQ(a.subFolders[0].name, "X");
  EXPECT_EQ(namesOf(a.subFolders[0].files), (std::vector<std::string>{"x.syx", "x2.syx"}));
  EXPECT_EQ(a.subFolders[1].name, "Y");
  EXPECT_EQ(lib.patchFiles.size(), 6u) << "files the tree does not hold stay listed";
}

TEST(FolderTree, NamesDifferingInCaseAreSeparateNodes) {
  PatchLibrarian lib;
  place(lib, "1.syx", {"Patches", "live"});
  place(lib, "2.syx", {"Patches", "Live"});
  ASSERT_EQ(lib.bankFolders.size(), 2u);
  EXPECT_EQ(lib.bankFolders[0]->subFolders[0].name, "live");
  EXPECT_EQ(lib.bankFolders[1]->subFolders[0].name, "Live");
  lib.createFolderFilesStructure(nullptr);
}

TEST(FolderTree, ClearingATreeKeepsItsFiles) {
  PatchLibrarian lib;
  PatchFile* f = place(lib, "a.syx", {"Patches", "A"});
  lib.categoryFolders.push_back(std::make_unique<FolderFiles>("NONE", SubFolderFiles{"NONE", {}, {f}}));
  lib.searchFolders.push_back(std::make_unique<FolderFiles>());
  for (int kind : {1, 7, -1}) lib.clearDataStructures(kind);
  EXPECT_EQ(lib.bankFolders.size(), 1u);
  EXPECT_EQ(lib.categoryFolders.size(), 1u);
  EXPECT_EQ(lib.searchFolders.size(), 1u);
  lib.clearDataStructures(0);
  lib.clearDataStructures(2);
  lib.clearDataStructures(3);
  lib.clearDataStructures(0);
  EXPECT_TRUE(lib.bankFolders.empty());
  EXPECT_TRUE(lib.categoryFolders.empty());
  EXPECT_TRUE(lib.searchFolders.empty());
  ASSERT_EQ(lib.patchFiles.size(), 1u);
  EXPECT_EQ(lib.patchFiles[0]->fileName, "a.syx");
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
    lib.upperFileIndex = bad;
    lib.lowerFileIndex = bad;
    EXPECT_EQ(lib.upperFile(), nullptr);
    EXPECT_EQ(lib.lowerFile(LowerListSource::BankFiles), nullptr);
    EXPECT_EQ(lib.lowerFile(LowerListSource::Categories), nullptr);
  }
  lib.lowerFileIndex = 0;
  EXPECT_EQ(lib.lowerFile(LowerListSource::Categories)->fileName, "NONE 1");
  EXPECT_EQ(lib.lowerFile(LowerListSource::SearchResults), nullptr) << "empty search results";
  EXPECT_EQ(PatchLibrarian::fileAt(lib.patchFiles, 0), bank);
}

TEST(Lists, DroppedFilesLiveUntilReleased) {
  PatchLibrarian lib;
  PatchFile* f = place(lib, "a.syx", {"Patches"});
  lib.dropFiles(lib.patchFiles);
  EXPECT_TRUE(lib.patchFiles.empty());
  EXPECT_EQ(lib.droppedFileCount(), 1u);
  // Still readable through the tree until the views have been refreshed.
  EXPECT_EQ(lib.bankFolders[0]->files[0]->fileName, "a.syx");
  EXPECT_EQ(f->patches.size(), 100u);
  lib.clearDataStructures(0);
  lib.releaseDroppedFiles();
  EXPECT_EQ(lib.droppedFileCount(), 0u);
}

TEST(StoreIntoUpperBank, OnlyIntoSlotsZeroTo99OfAnExistingBank) {
  PatchLibrarian lib;
  LibrarianPatch incoming = LibrarianPatch::fromDump(banks::model2Dump(1, "NEW ONE", 3));
  incoming.takeNameAndCategory();
  EXPECT_FALSE(lib.setSysexDatatoSelectedSlot(&incoming)) << "no upper bank";
  PatchFile* bank = place(lib, "b.syx", {"Patches"});
  for (int slot : {-1, 100, 5000}) {
    lib.targetSlot = slot;
    EXPECT_FALSE(lib.setSysexDatatoSelectedSlot(&incoming)) << slot;
  }
  for (const LibrarianPatch& p : bank->patches) EXPECT_NE(p.name, incoming.name);
  lib.targetSlot = 99;
  EXPECT_TRUE(lib.setSysexDatatoSelectedSlot(&incoming));
  EXPECT_EQ(bank->patches[99], incoming);
  lib.targetSlot = 0;
  EXPECT_FALSE(lib.setSysexDatatoSelectedSlot(nullptr));
  lib.noUpperFile = 1;
  EXPECT_FALSE(lib.setSysexDatatoSelectedSlot(&incoming));
}

TEST(Log, LinesGoToTheHookOnlyWhileItIsSet) {
  PatchLibrarian lib;
  lib.log("PATCH LIBRARIAN: dropped");
  std::vector<std::string> lines;
  lib.hooks.logLine = [&](const std::string& l) { lines.push_back(l); };
  lib.log("PATCH LIBRARIAN: one");
  lib.log("two");
  EXPECT_EQ(lines, (std::vector<std::string>{"PATCH LIBRARIAN: one", "two"}));
}

}  // namespace
