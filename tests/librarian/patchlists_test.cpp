// Category lists and search results built from the bank files in memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/ParallelFor.h"
#include "librarian/PatchLibrarian.h"
#include "support_banks.h"

namespace {

using banks::Names;

LibrarianPatch namedPatch(const std::string& name, uint8_t category, int seed = 0) {
  return banks::patchOf(banks::model2Dump(seed, name, category));
}

std::vector<LibrarianPatch> repeated(int n, const std::string& name, uint8_t category) {
  std::vector<LibrarianPatch> v;
  for (int i = 0; i < n; ++i) v.push_back(namedPatch(name, category, i));
  return v;
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

const SubFolderFiles& categoryNode(const PatchLibrarian& lib, int code) {
  return lib.categoryFolders.at(static_cast<size_t>(code))->subFolders.at(0);
}

Names fileNames(const PatchFileList& list) {
  Names out;
  for (const auto& f : list) out.push_back(f->fileName);
  return out;
}

Names patchNames(const PatchFile& f) {
  Names out;
  for (const auto& p : f.patches) out.push_back(p.name);
  return out;
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
    SCOPED_TRACE(code);
    const FolderFiles& node = *lib.categoryFolders[static_cast<size_t>(code)];
    EXPECT_EQ(node.name, expectedFiles[code]);
    ASSERT_EQ(node.subFolders.size(), 1u);
    const SubFolderFiles& sub = node.subFolders[0];
    EXPECT_EQ(sub.name, std::string(expectedFiles[code]).substr(0, 4));
    EXPECT_TRUE(node.files.empty() && sub.subFolders.empty());
    ASSERT_EQ(sub.files.size(), 1u);
    const PatchFile* f = sub.files[0];
    EXPECT_EQ(std::tie(f->fileName, f->folderName, f->folderIndex), std::tuple(expectedFiles[code], sub.name, code));
    EXPECT_TRUE(f->patches.empty() && f->folderNames.empty() && f->folderPath.empty());
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
  EXPECT_EQ(bass.files[0]->patches.size(), 100u);
  EXPECT_EQ(bass.files[1]->fileName, "BASS 2");
  EXPECT_TRUE(bass.files[1]->patches.empty());
  const SubFolderFiles& lead = categoryNode(lib, 7);
  ASSERT_EQ(lead.files.size(), 3u);
  EXPECT_EQ(lead.files[2]->fileName, "LEAD 3");
  EXPECT_EQ(lead.files[2]->patches.size(), 50u);
  EXPECT_EQ(lib.categoryFolders[7]->name, "LEAD 1");

  // Only files with patches are listed, in category and number order.
  EXPECT_EQ(fileNames(lib.categoryFiles), (Names{"BASS 1", "LEAD 1", "LEAD 2", "LEAD 3"}));
  for (const auto& f : lib.categoryFiles) EXPECT_EQ(f->folderIndex, f->folderName == "LEAD" ? 7 : 3);
}

TEST(CategoryLists, InitIsUnlistedAndCopiesComeFromTheDump) {
  PatchLibrarian lib;
  LibrarianPatch renamed = namedPatch("dump name", 9, 4);
  renamed.name = "FIELD NAME";  // not what the dump says
  renamed.messages.push_back({0xF0, 0x01, 0xF7});
  // A short dump whose category text was set elsewhere is copied without
  // name or category.
  LibrarianPatch shortOne;
  shortOne.messages.push_back(PatchSysexMessage(100, 0x20));
  shortOne.category = "BASS";
  shortOne.name = "SHORT";
  addBank(lib, {namedPatch("first none", 0, 1), namedPatch("AN INIT", 20, 2), namedPatch("HIGH CODE", 99, 3), renamed,
                LibrarianPatch::initPatch(), shortOne});
  lib.createNewCategoryPatchFiles();

  ASSERT_EQ(categoryNode(lib, 0).files.size(), 1u);
  EXPECT_EQ(patchNames(*categoryNode(lib, 0).files[0]), (Names{"FIRST NONE    ", "INIT          "}));
  const SubFolderFiles& pad = categoryNode(lib, 9);
  ASSERT_EQ(pad.files[0]->patches.size(), 1u);
  const LibrarianPatch& copy = pad.files[0]->patches[0];
  EXPECT_EQ(std::tie(copy.name, copy.category), std::tuple("DUMP NAME     ", "PAD "));
  EXPECT_EQ(copy.messages, std::vector<PatchSysexMessage>{renamed.messages[0]}) << "message 0 only";
  const SubFolderFiles& bass = categoryNode(lib, 3);
  ASSERT_EQ(bass.files[0]->patches.size(), 1u);
  EXPECT_EQ(std::tie(bass.files[0]->patches[0].name, bass.files[0]->patches[0].category), std::tuple("", ""));

  // "INIT" patches (codes 20 and above) are in no list.
  size_t total = 0;
  for (const auto& f : lib.categoryFiles) total += f->patches.size();
  EXPECT_EQ(total, 4u);
}

TEST(SearchLists, FindsContiguousCaseSensitiveRunsInScanOrderBlanksIncluded) {
  PatchLibrarian lib;
  PatchFile* first = addBank(lib, {namedPatch("SYNTH BASS", 3), namedPatch("PIANO", 6)}, "a.sr2");
  addBank(lib, {namedPatch("MY SYNC", 7), namedPatch("S Y N", 7), LibrarianPatch::initPatch()}, "b.sr2");
  lib.createNewSearchPatchFiles("SYN");
  ASSERT_EQ(lib.searchFiles.size(), 1u);
  const PatchFile& r = *lib.searchFiles[0];
  EXPECT_EQ(std::tie(r.fileName, r.folderName, r.folderIndex), std::tuple("Search Results 1", "Patches", 0));
  EXPECT_EQ(patchNames(r), (Names{"SYNTH BASS    ", "MY SYNC       "}));
  ASSERT_EQ(lib.searchFolders.size(), 1u);
  EXPECT_EQ(lib.searchFolders[0]->name, "Patches");
  EXPECT_TRUE(lib.searchFolders[0]->subFolders.empty());
  EXPECT_EQ(lib.searchFolders[0]->files, std::vector<PatchFile*>{lib.searchFiles[0].get()});
  // Results are copies: they do not follow later edits.
  first->patches[0] = namedPatch("CHANGED", 1);
  EXPECT_EQ(r.patches[0].name, "SYNTH BASS    ");

  // Blanks count (names are padded), init patches are found, and an empty
  // text matches everything.
  const std::pair<const char*, size_t> searches[] = {{"  ", 5}, {"INIT", 1}, {"", 5}};
  for (const auto& [text, hits] : searches) {
    lib.createNewSearchPatchFiles(text);
    ASSERT_EQ(lib.searchFiles.size(), 1u) << text;
    EXPECT_EQ(lib.searchFiles[0]->patches.size(), hits) << text;
  }
  // Lower case finds nothing in names taken upper-cased from dumps, and the
  // earlier results and their nodes go.
  lib.createNewSearchPatchFiles("syn");
  EXPECT_TRUE(lib.searchFiles.empty());
  EXPECT_TRUE(lib.searchFolders.empty());
}

TEST(SearchLists, ResultFilesOfOneHundredAndAnEmptyLastFile) {
  for (int n : {100, 150}) {
    SCOPED_TRACE(n);
    PatchLibrarian lib;
    addBank(lib, repeated(n, "HIT", 4));
    addBank(lib, repeated(10, "MISS", 4));
    lib.createNewSearchPatchFiles("HIT");
    EXPECT_EQ(fileNames(lib.searchFiles), (Names{"Search Results 1", "Search Results 2"}));
    ASSERT_EQ(lib.searchFiles.size(), 2u);
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
  EXPECT_EQ(r.messages, std::vector<PatchSysexMessage>(p.messages.begin(), p.messages.begin() + 2));
  EXPECT_EQ(std::tie(r.name, r.category), std::tuple("THREE MSGS    ", "ATMO"));
  // A message too short to hold name and category gives neither.
  const LibrarianPatch& s = lib.searchFiles[0]->patches[1];
  EXPECT_EQ(std::tie(s.name, s.category), std::tuple("", ""));
}

TEST(CategoryLists, LargeCollectionsKeepScanOrderInEveryCategory) {
  // Enough patches for the copies to be made in parallel runs, and the same
  // lists built on one thread.
  for (size_t threadLimit : {0u, 1u}) {
    SCOPED_TRACE(threadLimit);
    librarian::scanThreadLimit() = threadLimit;
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
    librarian::scanThreadLimit() = 0;

    for (int code = 0; code < 20; ++code) {
      SCOPED_TRACE(code);
      Names expected, got;
      for (const auto& f : lib.patchFiles)
        for (const LibrarianPatch& p : f->patches)
          if (p.category == categoryName(code)) expected.push_back(p.name);
      const SubFolderFiles& node = categoryNode(lib, code);
      ASSERT_EQ(node.files.size(), expected.size() / 100 + 1);
      for (size_t k = 0; k < node.files.size(); ++k) {
        EXPECT_EQ(node.files[k]->patches.size(), std::min<size_t>(100, expected.size() - k * 100));
        EXPECT_EQ(node.files[k]->fileName, std::string(categoryName(code)) + " " + std::to_string(k + 1));
        for (const std::string& n : patchNames(*node.files[k])) got.push_back(n);
      }
      EXPECT_EQ(got, expected);
    }
  }
}
