// The patch record, its name and category rules, the category table, the
// init patch, the check byte and the small file-name and MIDI helpers.
#include <gtest/gtest.h>

#include "librarian/BankFormats.h"
#include "librarian/LibrarianPatch.h"
#include "librarian/PatchLibrarian.h"
#include "support_banks.h"

namespace {

using banks::Bytes;

TEST(CategoryTable, NamesAreFourCharactersAndCodesFrom20AreInit) {
  // The names of codes 0..19 are checked through the category list names.
  for (int code = 0; code < 256; ++code) {
    SCOPED_TRACE(code);
    EXPECT_EQ(std::string(categoryName(code)).size(), 4u);
    if (code >= 20) {
      EXPECT_STREQ(categoryName(code), "INIT");
    }
  }
}

TEST(CheckByte, SumAfterF0UpToBeforeTheCheckByteModulo128) {
  EXPECT_EQ(dumpCheckByte(Bytes{0xF0, 0x01}), 0);
  EXPECT_EQ(dumpCheckByte(Bytes{0xF0, 100, 100, 100, 0x55, 0xF7}), 44);  // 300 mod 128
  // The init patch keeps its stored (stale) byte; the true sum differs.
  EXPECT_EQ(dumpCheckByte(Bytes(initSinglePatch.begin(), initSinglePatch.end())), 0x29);
  EXPECT_EQ(initSinglePatch[135], 0x2A);
  const LibrarianPatch init = LibrarianPatch::initPatch();
  EXPECT_EQ(init.name, "INIT          ");
  EXPECT_EQ(init.category, "NONE");
  ASSERT_EQ(init.messages.size(), 1u);
}

TEST(LibrarianPatch, NameIsAllFourteenBytesUpperCasedNothingTrimmed) {
  auto dump = banks::model2Dump(1, "bright pad 2", 9);
  dump[132] = 0x00;  // a zero byte inside the name stays
  dump[133] = 0xC3;  // so does a byte above 7F
  LibrarianPatch p = LibrarianPatch::fromDump(dump);
  p.takeNameAndCategory();
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
  LibrarianPatch p = LibrarianPatch::fromDump(Bytes(135, 0x61));  // 135 bytes hold both
  p.takeNameAndCategory();
  EXPECT_EQ(p.name, "AAAAAAAAAAAAAA");
  EXPECT_EQ(p.category, "INIT");
}

Bytes saved(const LibrarianPatch& p, bool midi, int index) {
  Bytes out;
  p.save(out, midi, index);
  return out;
}

TEST(LibrarianPatchSave, RawAndMidiFormsWithRecomputedCheckByte) {
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
}

TEST(LibrarianPatchSave, PatchWithoutMessagesWritesAnInitSound) {
  Bytes init(initSinglePatch.begin(), initSinglePatch.end());
  init[135] = dumpCheckByte(init);
  EXPECT_EQ(saved(LibrarianPatch(), false, 7), init);
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
  EXPECT_EQ(fileExtensionLower("Bank.SYX"), "syx");
  EXPECT_EQ(fileExtensionLower("a.b.Mid"), "mid");
  EXPECT_EQ(fileExtensionLower("noext"), "");
  EXPECT_EQ(fileBaseName("a.b.sr2"), "a.b");
  EXPECT_EQ(fileBaseName("noext"), "noext");
  std::string s = "/Patches/Live\\Set/";
  removeCharsFromString(s, "/\\");
  EXPECT_EQ(s, "PatchesLiveSet");
  removeCharsFromString(s, "");
  removeCharsFromString(s, nullptr);
  EXPECT_EQ(s, "PatchesLiveSet");
  removeCharsFromString(s, "Pe");
  EXPECT_EQ(s, "atchsLivSt") << "every occurrence of each character";
}

}  // namespace
