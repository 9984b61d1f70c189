// A file's list of patches: a vector of patches whose category and search
// lists refer to the bank files' patches, each side keeping the state it had
// when the reference was made.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/PatchLibrarian.h"
#include "support_banks.h"
#include "testsupport.h"

namespace {

LibrarianPatch named(const std::string& name, uint8_t category, int seed = 0) {
  return banks::patchOf(banks::model2Dump(seed, name, category));
}

std::vector<LibrarianPatch> some(int n) {
  std::vector<LibrarianPatch> v;
  for (int i = 0; i < n; ++i) v.push_back(named("P" + std::to_string(i), static_cast<uint8_t>(i % 20), i));
  return v;
}

}  // namespace

TEST(PatchLists, HoldValuesLikeAVector) {
  const std::vector<LibrarianPatch> patches = some(5);
  PatchList list(patches);
  EXPECT_EQ(list, patches);
  EXPECT_EQ(static_cast<std::vector<LibrarianPatch>>(list), patches);

  // A copy has patches of its own.
  PatchList copy = list;
  copy[1].name = "CHANGED";
  EXPECT_EQ(list[1].name, patches[1].name);
  EXPECT_NE(&std::as_const(copy)[0], &std::as_const(list)[0]);
  copy = list;
  EXPECT_EQ(copy, list);

  // Growing gives empty patches, and a range of the list itself can be taken.
  list.resize(7);
  EXPECT_EQ(list.size(), 7u);
  EXPECT_TRUE(list[6].messages.empty() && list[6].name.empty());
  list.assign(std::as_const(list).begin() + 1, std::as_const(list).begin() + 3);
  EXPECT_EQ(list, (std::vector<LibrarianPatch>{patches[1], patches[2]}));
  list.push_back(patches[4]);
  list.emplace_back().name = "NEW";
  EXPECT_EQ(list.back().name, "NEW");
  list.resize(2);
  EXPECT_EQ(list, (std::vector<LibrarianPatch>{patches[1], patches[2]}));

  // A bank is written alike from a list and from a vector.
  PatchList bank(some(100));
  EXPECT_EQ(buildBankBytes(bank, false), buildBankBytes(static_cast<std::vector<LibrarianPatch>>(bank), false));
  EXPECT_EQ(buildBankBytes(bank, true), buildBankBytes(static_cast<std::vector<LibrarianPatch>>(bank), true));
}

TEST(PatchLists, ASharedPatchIsCopiedByTheSideThatChangesIt) {
  PatchList bank(some(3));
  PatchList category;
  category.appendShared(bank, 1);
  category.appendShared(bank, 2);
  // Reading, from either side, is the one patch.
  EXPECT_EQ(&std::as_const(category)[0], &std::as_const(bank)[1]);
  for (const LibrarianPatch& p : std::as_const(category)) EXPECT_FALSE(p.name.empty());
  EXPECT_EQ(&std::as_const(category)[1], &std::as_const(bank)[2]);

  // A change through the bank leaves the list's patch as it was.
  const LibrarianPatch before = std::as_const(bank)[1];
  bank[1].messages[0][20] ^= 0x7F;
  bank[1].name = "RENAMED";
  EXPECT_EQ(std::as_const(category)[0], before);
  // And one through the list leaves the bank's.
  const LibrarianPatch bankTwo = std::as_const(bank)[2];
  for (LibrarianPatch& p : category) p.category = "LEAD";
  EXPECT_EQ(std::as_const(bank)[2], bankTwo);
  EXPECT_EQ(std::as_const(category)[1].category, "LEAD");
  // Once its own, a patch stays where it is.
  LibrarianPatch* own = &category[1];
  EXPECT_EQ(&category[1], own);
}

TEST(PatchLists, CategoryAndSearchFilesReferToTheBankPatchesAndKeepTheirState) {
  PatchLibrarian lib;
  auto file = std::make_unique<PatchFile>();
  file->fileName = "bank.sr2";
  file->patches = some(40);
  PatchFile* bank = file.get();
  lib.patchFiles.push_back(std::move(file));
  lib.createNewCategoryPatchFiles();
  lib.createNewSearchPatchFiles("P1");

  // Patch 3 is the first of category 3 ("BASS"); "P1", "P10".."P19" match.
  const PatchFile* bass = nullptr;
  for (const auto& f : lib.categoryFiles)
    if (f->fileName == "BASS 1") bass = f.get();
  ASSERT_NE(bass, nullptr);
  ASSERT_EQ(lib.searchFiles.size(), 1u);
  const PatchFile& found = *lib.searchFiles[0];
  EXPECT_EQ(&bass->patches[0], &std::as_const(bank->patches)[3]) << "a reference, not a copy";
  EXPECT_EQ(&found.patches[0], &std::as_const(bank->patches)[1]);

  // Edits of the bank file after the lists were built do not show in them.
  const LibrarianPatch three = std::as_const(bank->patches)[3], one = std::as_const(bank->patches)[1];
  bank->patches[3] = named("EDITED", 3, 99);
  bank->patches[1].messages[0][30] ^= 0x55;
  EXPECT_EQ(bass->patches[0], three);
  EXPECT_EQ(found.patches[0], one);
  // A list rebuilt from the edited bank shows the edit.
  lib.createNewSearchPatchFiles("EDITED");
  ASSERT_EQ(lib.searchFiles.size(), 1u);
  EXPECT_EQ(lib.searchFiles[0]->patches[0], std::as_const(bank->patches)[3]);
}

TEST(PatchLists, TheScanBuildsTheSameCategoryListsAsTheLibrarian) {
  testsupport::TempDir dir;
  const std::string patches = dir.path() + "Patches";
  std::filesystem::create_directories(patches + "/Sub");
  // Named dumps of every category, in a whole bank and in a short one that
  // the reader fills up with init patches.
  std::vector<banks::Bytes> dumps;
  for (int i = 0; i < 100; ++i)
    dumps.push_back(banks::model2Dump(i, "SND " + std::to_string(i), static_cast<uint8_t>(i % 22)));
  ASSERT_TRUE(testsupport::writeFile(patches + "/Sub/full.syx", banks::rawBank(dumps)));
  dumps.resize(40);
  ASSERT_TRUE(testsupport::writeFile(patches + "/short.syx", banks::rawBank(dumps)));

  PatchLibrarian scanned;
  scanned.loadPatchesFromFilesystem(patches);
  ASSERT_EQ(scanned.patchFiles.size(), 2u);
  PatchLibrarian rebuilt;
  for (const auto& f : scanned.patchFiles) {
    auto copy = std::make_unique<PatchFile>(f->clone());
    rebuilt.patchFiles.push_back(std::move(copy));
  }
  rebuilt.createNewCategoryPatchFiles();
  ASSERT_EQ(scanned.categoryFiles.size(), rebuilt.categoryFiles.size());
  for (size_t i = 0; i < scanned.categoryFiles.size(); ++i) {
    EXPECT_EQ(scanned.categoryFiles[i]->fileName, rebuilt.categoryFiles[i]->fileName);
    EXPECT_EQ(scanned.categoryFiles[i]->patches, rebuilt.categoryFiles[i]->patches) << i;
  }
}
