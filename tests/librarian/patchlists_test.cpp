// Category lists and search results built from the bank files in memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/PatchLibrarian.h"
#include "support_banks.h"

namespace {

LibrarianPatch patchFromDump(const banks::Bytes& dump) {
  LibrarianPatch p = LibrarianPatch::fromDump(dump);
  p.takeNameAndCategory();
  return p;
}

LibrarianPatch namedPatch(const std::string& name, uint8_t category, int seed = 0) {
  return patchFromDump(banks::model2Dump(seed, name, category));
}

// Adds a bank file holding the given patches (not padded).
PatchFile* addBank(PatchLibrarian& lib, std::vector<LibrarianPatch> patches, const std::string& name = "bank.sr2") {
  auto f = std::make_unique<PatchFile>();
  f->fileName = name;
  f->folderName = "Patches";
  f->folderNames = {"Patches"};
  f->patches = std::move(patches);
  lib.patchFiles.push_back(std::move(f));
  return lib.patchFiles.back().get();
}

std::vector<LibrarianPatch> repeated(int n, const std::string& name, uint8_t category) {
  std::vector<LibrarianPatch> v;
  for (int i = 0; i < n; ++i) v.push_back(namedPatch(name, category, i));
  return v;
}

const SubFolderFiles& categoryNode(const PatchLibrarian& lib, int code) {
  return lib.categoryFolders.at(static_cast<size_t>(code))->subFolders.at(0);
}

}  // namespace

TEST(CategoryLists, WithoutBankFilesEveryCategoryHasOneEmptyFile) {
  PatchLibrarian lib;
  lib.createNewCategoryPatchFiles();
  EXPECT_TRUE(lib.categoryFiles.empty());
  ASSERT_EQ(lib.categoryFolders.size(), 20u);
  const char* expectedFiles[] = {"NONE 1", "ARP  1", "ATMO 1", "BASS 1", "DRUM 1", "FX   1", "KEYS 1",
                                 "LEAD 1", "MONO 1", "PAD  1", "PERC 1", "POLY 1", "SEQ  1", "DUB  1",
                                 "LUSH 1", "STRG 1", "PLUK 1", "WIND 1", "NOIS 1", "EXFX 1"};
  for (int code = 0; code < 20; ++code) {
    const FolderFiles& node = *lib.categoryFolders[static_cast<size_t>(code)];
    EXPECT_EQ(node.name, expectedFiles[code]);
    EXPECT_TRUE(node.files.empty());
    ASSERT_EQ(node.subFolders.size(), 1u);
    EXPECT_EQ(node.subFolders[0].name, categoryName(code));
    EXPECT_TRUE(node.subFolders[0].subFolders.empty());
    ASSERT_EQ(node.subFolders[0].files.size(), 1u);
    const PatchFile* f = node.subFolders[0].files[0];
    EXPECT_EQ(f->fileName, expectedFiles[code]);
    EXPECT_EQ(f->folderName, categoryName(code));
    EXPECT_EQ(f->folderIndex, code);
    EXPECT_TRUE(f->patches.empty());
    EXPECT_TRUE(f->folderNames.empty());
    EXPECT_TRUE(f->folderPath.empty());
  }
}

TEST(CategoryLists, FilesHoldAtMostOneHundredAndWholeHundredsEndEmpty) {
  PatchLibrarian lib;
  addBank(lib, repeated(100, "BASSY", 3));
  addBank(lib, repeated(150, "LEADER", 7));
  addBank(lib, repeated(100, "LEADER", 7));
  lib.createNewCategoryPatchFiles();

  const SubFolderFiles& bass = categoryNode(lib, 3);
  ASSERT_EQ(bass.files.size(), 2u);
  EXPECT_EQ(bass.files[0]->fileName, "BASS 1");
  EXPECT_EQ(bass.files[0]->patches.size(), 100u);
  EXPECT_EQ(bass.files[1]->fileName, "BASS 2");
  EXPECT_TRUE(bass.files[1]->patches.empty());

  const SubFolderFiles& lead = categoryNode(lib, 7);
  ASSERT_EQ(lead.files.size(), 3u);
  EXPECT_EQ(lead.files[2]->fileName, "LEAD 3");
  EXPECT_EQ(lead.files[2]->patches.size(), 50u);
  EXPECT_EQ(lib.categoryFolders[7]->name, "LEAD 1");

  // Only files with patches are listed, in category and number order.
  std::vector<std::string> listed;
  for (const auto& f : lib.categoryFiles) listed.push_back(f->fileName);
  EXPECT_EQ(listed, (std::vector<std::string>{"BASS 1", "LEAD 1", "LEAD 2", "LEAD 3"}));
  for (const auto& f : lib.categoryFiles) {
    if (f->folderName == "LEAD") {
      EXPECT_EQ(f->folderIndex, 7);
    }
  }
}

TEST(CategoryLists, InitIsUnlistedAndCopiesComeFromTheDump) {
  PatchLibrarian lib;
  std::vector<LibrarianPatch> patches;
  patches.push_back(namedPatch("first none", 0, 1));
  patches.push_back(namedPatch("AN INIT", 20, 2));
  patches.push_back(namedPatch("HIGH CODE", 99, 3));
  LibrarianPatch renamed = namedPatch("dump name", 9, 4);
  renamed.name = "FIELD NAME";  // not what the dump says
  renamed.messages.push_back({0xF0, 0x01, 0xF7});
  patches.push_back(renamed);
  patches.push_back(LibrarianPatch::initPatch());
  addBank(lib, patches);
  lib.createNewCategoryPatchFiles();

  const SubFolderFiles& none = categoryNode(lib, 0);
  ASSERT_EQ(none.files.size(), 1u);
  ASSERT_EQ(none.files[0]->patches.size(), 2u);
  EXPECT_EQ(none.files[0]->patches[0].name, "FIRST NONE    ");
  EXPECT_EQ(none.files[0]->patches[1].name, "INIT          ");

  const SubFolderFiles& pad = categoryNode(lib, 9);
  EXPECT_EQ(lib.categoryFolders[9]->name, "PAD  1");
  EXPECT_EQ(pad.name, "PAD ");
  ASSERT_EQ(pad.files[0]->patches.size(), 1u);
  const LibrarianPatch& copy = pad.files[0]->patches[0];
  EXPECT_EQ(copy.name, "DUMP NAME     ");
  EXPECT_EQ(copy.category, "PAD ");
  ASSERT_EQ(copy.messages.size(), 1u);
  EXPECT_EQ(copy.messages[0], renamed.messages[0]);

  // "INIT" patches (codes 20 and above) are in no list.
  size_t total = 0;
  for (const auto& f : lib.categoryFiles) total += f->patches.size();
  EXPECT_EQ(total, 3u);
}

TEST(CategoryLists, ShortDumpWithACategoryTextIsCopiedWithoutNameOrCategory) {
  PatchLibrarian lib;
  LibrarianPatch shortOne;
  shortOne.messages.push_back(PatchSysexMessage(100, 0x20));
  shortOne.category = "BASS";  // as if set elsewhere
  shortOne.name = "SHORT";
  addBank(lib, {shortOne});
  lib.createNewCategoryPatchFiles();
  const SubFolderFiles& bass = categoryNode(lib, 3);
  ASSERT_EQ(bass.files[0]->patches.size(), 1u);
  EXPECT_EQ(bass.files[0]->patches[0].name, "");
  EXPECT_EQ(bass.files[0]->patches[0].category, "");
}

TEST(SearchLists, FindsContiguousCaseSensitiveRunsInScanOrder) {
  PatchLibrarian lib;
  addBank(lib, {namedPatch("SYNTH BASS", 3), namedPatch("PIANO", 6)}, "a.sr2");
  addBank(lib, {namedPatch("MY SYNC", 7), namedPatch("S Y N", 7)}, "b.sr2");
  lib.createNewSearchPatchFiles("SYN");
  ASSERT_EQ(lib.searchFiles.size(), 1u);
  const PatchFile& r = *lib.searchFiles[0];
  EXPECT_EQ(r.fileName, "Search Results 1");
  EXPECT_EQ(r.folderName, "Patches");
  EXPECT_EQ(r.folderIndex, 0);
  ASSERT_EQ(r.patches.size(), 2u);
  EXPECT_EQ(r.patches[0].name, "SYNTH BASS    ");
  EXPECT_EQ(r.patches[1].name, "MY SYNC       ");
  ASSERT_EQ(lib.searchFolders.size(), 1u);
  EXPECT_EQ(lib.searchFolders[0]->name, "Patches");
  EXPECT_TRUE(lib.searchFolders[0]->subFolders.empty());
  ASSERT_EQ(lib.searchFolders[0]->files.size(), 1u);
  EXPECT_EQ(lib.searchFolders[0]->files[0], lib.searchFiles[0].get());

  // Lower case finds nothing in names taken upper-cased from dumps, and the
  // earlier results and their nodes go.
  lib.createNewSearchPatchFiles("syn");
  EXPECT_TRUE(lib.searchFiles.empty());
  EXPECT_TRUE(lib.searchFolders.empty());
}

TEST(SearchLists, BlanksCountAndInitPatchesAreFound) {
  PatchLibrarian lib;
  addBank(lib, {namedPatch("AB CD", 1), LibrarianPatch::initPatch(), namedPatch("ABCDEFGHIJKLMN", 2)});
  lib.createNewSearchPatchFiles("  ");
  ASSERT_EQ(lib.searchFiles.size(), 1u);
  ASSERT_EQ(lib.searchFiles[0]->patches.size(), 2u);  // "AB CD" is padded with blanks
  EXPECT_EQ(lib.searchFiles[0]->patches[1].name, "INIT          ");
  lib.createNewSearchPatchFiles("INIT");
  ASSERT_EQ(lib.searchFiles.size(), 1u);
  EXPECT_EQ(lib.searchFiles[0]->patches.size(), 1u);
  lib.createNewSearchPatchFiles("");
  EXPECT_EQ(lib.searchFiles[0]->patches.size(), 3u);
}

TEST(SearchLists, ResultFilesOfOneHundredAndAnEmptyLastFile) {
  for (int n : {100, 150}) {
    PatchLibrarian lib;
    addBank(lib, repeated(n, "HIT", 4));
    addBank(lib, repeated(10, "MISS", 4));
    lib.createNewSearchPatchFiles("HIT");
    ASSERT_EQ(lib.searchFiles.size(), 2u) << n;
    EXPECT_EQ(lib.searchFiles[0]->fileName, "Search Results 1");
    EXPECT_EQ(lib.searchFiles[1]->fileName, "Search Results 2");
    EXPECT_EQ(lib.searchFiles[0]->patches.size(), 100u);
    EXPECT_EQ(lib.searchFiles[1]->patches.size(), static_cast<size_t>(n - 100));
    EXPECT_EQ(lib.searchFiles[1]->folderIndex, 1);
    ASSERT_EQ(lib.searchFolders.size(), 1u);
    EXPECT_EQ(lib.searchFolders[0]->files.size(), 2u);
  }
}

TEST(SearchLists, CopiesTakeTwoMessagesAndTheNameFromTheDump) {
  PatchLibrarian lib;
  LibrarianPatch p = namedPatch("three msgs", 2);
  p.name = "FIELD THREE";
  p.messages.push_back({0xF0, 0x11, 0xF7});
  p.messages.push_back({0xF0, 0x22, 0xF7});
  LibrarianPatch shortOne;
  shortOne.name = "SHORT THREE";
  shortOne.messages.push_back(PatchSysexMessage(60, 0x41));
  addBank(lib, {p, shortOne});
  lib.createNewSearchPatchFiles("THREE");
  ASSERT_EQ(lib.searchFiles.size(), 1u);
  ASSERT_EQ(lib.searchFiles[0]->patches.size(), 2u);
  const LibrarianPatch& r = lib.searchFiles[0]->patches[0];
  ASSERT_EQ(r.messages.size(), 2u);
  EXPECT_EQ(r.messages[1], p.messages[1]);
  EXPECT_EQ(r.name, "THREE MSGS    ");
  EXPECT_EQ(r.category, "ATMO");
  // A message too short to hold name and category gives neither.
  EXPECT_EQ(lib.searchFiles[0]->patches[1].name, "");
  EXPECT_EQ(lib.searchFiles[0]->patches[1].category, "");
}

TEST(SearchLists, ResultsAreCopiesThatDoNotFollowLaterEdits) {
  PatchLibrarian lib;
  PatchFile* bank = addBank(lib, {namedPatch("KEEP ME", 1)});
  lib.createNewSearchPatchFiles("KEEP");
  bank->patches[0] = namedPatch("CHANGED", 1);
  ASSERT_EQ(lib.searchFiles.size(), 1u);
  EXPECT_EQ(lib.searchFiles[0]->patches[0].name, "KEEP ME       ");
}

TEST(CategoryLists, LargeCollectionsKeepScanOrderInEveryCategory) {
  // Enough patches for the copies to be made in parallel runs.
  PatchLibrarian lib;
  for (int b = 0; b < 60; ++b) {
    std::vector<LibrarianPatch> patches;
    for (int p = 0; p < 100; ++p) {
      char name[16];
      std::snprintf(name, sizeof name, "B%02d P%02d", b, p);
      patches.push_back(namedPatch(name, static_cast<uint8_t>((b * 7 + p * 3) % 22), b * 100 + p));
    }
    addBank(lib, std::move(patches), "bank" + std::to_string(b) + ".sr2");
  }
  lib.createNewCategoryPatchFiles();

  for (int code = 0; code < 20; ++code) {
    std::vector<std::string> expected;
    for (const auto& f : lib.patchFiles)
      for (const LibrarianPatch& p : f->patches)
        if (p.category == categoryName(code)) expected.push_back(p.name);
    std::vector<std::string> got;
    const SubFolderFiles& node = categoryNode(lib, code);
    ASSERT_EQ(node.files.size(), expected.size() / 100 + 1) << code;
    for (size_t k = 0; k < node.files.size(); ++k) {
      const PatchFile* f = node.files[k];
      EXPECT_EQ(f->patches.size(), std::min<size_t>(100, expected.size() - k * 100)) << code;
      EXPECT_EQ(f->fileName, std::string(categoryName(code)) + " " + std::to_string(k + 1));
      for (const LibrarianPatch& p : f->patches) got.push_back(p.name);
    }
    EXPECT_EQ(got, expected) << code;
  }
}
