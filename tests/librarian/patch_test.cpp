// The patch record, its name and category rules, the category table, the
// init patch and the check byte.
#include <gtest/gtest.h>

#include "librarian/BankFormats.h"
#include "librarian/LibrarianPatch.h"
#include "support_banks.h"

namespace {

TEST(CategoryTable, NamesAreFourCharactersAndHighCodesAreInit) {
  EXPECT_STREQ(categoryName(0), "NONE");
  EXPECT_STREQ(categoryName(1), "ARP ");
  EXPECT_STREQ(categoryName(5), "FX  ");
  EXPECT_STREQ(categoryName(13), "DUB ");
  EXPECT_STREQ(categoryName(19), "EXFX");
  EXPECT_STREQ(categoryName(20), "INIT");
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(std::string(categoryName(code)).size(), 4u) << code;
    if (code >= 20) {
      EXPECT_STREQ(categoryName(code), "INIT") << code;
    }
  }
}

TEST(InitPatch, HeaderNameCategoryAndStoredCheckByte) {
  ASSERT_EQ(initSinglePatch.size(), 137u);
  const std::vector<uint8_t> head(initSinglePatch.begin(), initSinglePatch.begin() + 16);
  EXPECT_EQ(head, (std::vector<uint8_t>{0xF0, 0x3E, 0x16, 0x00, 0x10, 0x7F, 0x00, 0x00, 0x7F, 0x40, 0x40, 0x01, 0x28,
                                        0x00, 0x7F, 0x40}));
  // A few rows checked against the table: 44-47, 59-62, 92-97, 112-119.
  EXPECT_EQ(initSinglePatch[44], 0x01);
  EXPECT_EQ(initSinglePatch[45], 0x25);
  EXPECT_EQ(initSinglePatch[46], 0x09);
  EXPECT_EQ(initSinglePatch[59], 0x64);
  EXPECT_EQ(initSinglePatch[62], 0x46);
  EXPECT_EQ(initSinglePatch[92], 0x03);
  EXPECT_EQ(initSinglePatch[94], 0x06);
  EXPECT_EQ(initSinglePatch[97], 0x32);
  EXPECT_EQ(initSinglePatch[113], 0x0F);
  EXPECT_EQ(initSinglePatch[114], 0x0D);
  EXPECT_EQ(initSinglePatch[119], 0x01);
  EXPECT_EQ(initSinglePatch[134], 0x00);
  EXPECT_EQ(initSinglePatch[135], 0x2A);  // kept as stored, not the sum
  EXPECT_EQ(initSinglePatch[136], 0xF7);
  unsigned sum = 0;
  for (uint8_t b : initSinglePatch) sum += b;
  EXPECT_EQ(sum, 4666u) << "a transcription slip changes the byte sum";

  const LibrarianPatch init = LibrarianPatch::initPatch();
  EXPECT_EQ(init.name, "INIT          ");
  EXPECT_EQ(init.category, "NONE");
  ASSERT_EQ(init.messages.size(), 1u);
}

TEST(CheckByte, SumOfBytesAfterF0UpToBeforeTheCheckByteModulo128) {
  EXPECT_EQ(dumpCheckByte(std::vector<uint8_t>{0xF0, 0x01}), 0);
  // 300 over offsets 1..L-3 gives 300 mod 128 = 44.
  std::vector<uint8_t> m = {0xF0, 100, 100, 100, 0x55, 0xF7};
  EXPECT_EQ(dumpCheckByte(m), 44);
  std::vector<uint8_t> init(initSinglePatch.begin(), initSinglePatch.end());
  const uint8_t expected = 0x29;
  EXPECT_EQ(dumpCheckByte(init), expected);
  EXPECT_NE(expected, 0x2A);
}

TEST(LibrarianPatch, NameIsAllFourteenBytesUpperCasedNothingTrimmed) {
  EXPECT_TRUE(LibrarianPatch().name.empty());
  EXPECT_TRUE(LibrarianPatch().category.empty());
  EXPECT_TRUE(LibrarianPatch().messages.empty());

  auto dump = banks::model2Dump(1, "bright pad 2", 9);
  dump[132] = 0x00;  // a zero byte inside the name stays
  dump[133] = 0xC3;  // so does a byte above 7F
  LibrarianPatch p = LibrarianPatch::fromDump(dump);
  p.takeNameAndCategory();
  EXPECT_EQ(p.name, std::string("BRIGHT PAD 2") + '\0' + "\xC3");
  EXPECT_EQ(p.name.size(), 14u);
  EXPECT_EQ(p.category, "PAD ");

  // Taken again from scratch, never appended.
  p.takeNameAndCategory();
  EXPECT_EQ(p.name.size(), 14u);
  dump[134] = 200;
  LibrarianPatch q = LibrarianPatch::fromDump(dump);
  q.parseCategory();
  EXPECT_EQ(q.category, "INIT");
}

TEST(LibrarianPatch, RecordsTooShortForNameAndCategoryKeepThemEmpty) {
  for (size_t len : {0u, 2u, 75u, 120u, 134u}) {
    std::vector<uint8_t> m(len, 0x41);
    LibrarianPatch p = LibrarianPatch::fromDump(m);
    p.name = "old";
    p.category = "old";
    p.takeNameAndCategory();
    EXPECT_TRUE(p.name.empty()) << len;
    EXPECT_TRUE(p.category.empty()) << len;
  }
  LibrarianPatch none;
  none.parseCategory();
  EXPECT_TRUE(none.category.empty());
  // 135 bytes hold both.
  LibrarianPatch p = LibrarianPatch::fromDump(std::vector<uint8_t>(135, 0x61));
  p.takeNameAndCategory();
  EXPECT_EQ(p.name, "AAAAAAAAAAAAAA");
  EXPECT_EQ(p.category, "INIT");
}

TEST(LibrarianPatch, CopiesAreIndependent) {
  LibrarianPatch a = LibrarianPatch::initPatch();
  LibrarianPatch b = a;
  b.messages[0][10] = 0x11;
  EXPECT_EQ(a.messages[0][10], initSinglePatch[10]);
  LibrarianPatch c;
  c = a;
  c.messages[0][11] = 0x12;
  EXPECT_EQ(a.messages[0][11], initSinglePatch[11]);
}

TEST(LibrarianPatchSave, RawAndMidiFormsWithRecomputedCheckByte) {
  auto dump = banks::model2Dump(3, "X", 2);
  dump[135] = 0x00;  // stale
  const LibrarianPatch p = LibrarianPatch::fromDump(dump);
  std::vector<uint8_t> raw;
  p.save(raw, false, 4);
  EXPECT_EQ(raw, banks::withCheckByte(dump));

  std::vector<uint8_t> first, later;
  p.save(first, true, 0);
  p.save(later, true, 1);
  const std::vector<uint8_t> firstHead(first.begin(), first.begin() + 4);
  EXPECT_EQ(firstHead, (std::vector<uint8_t>{0x00, 0xF0, 0x81, 0x08}));
  const std::vector<uint8_t> laterHead(later.begin(), later.begin() + 5);
  EXPECT_EQ(laterHead, (std::vector<uint8_t>{0x83, 0x74, 0xF0, 0x81, 0x08}));
  ASSERT_EQ(first.size(), 4u + 136u);
  EXPECT_EQ(std::vector<uint8_t>(first.begin() + 4, first.end()),
            std::vector<uint8_t>(raw.begin() + 1, raw.end()));

  // Messages that are not 137-byte framed dumps are written as they are.
  LibrarianPatch odd = LibrarianPatch::fromDump(std::vector<uint8_t>{0xF0, 1, 2, 3, 0xF7});
  std::vector<uint8_t> oddRaw;
  odd.save(oddRaw, false, 0);
  EXPECT_EQ(oddRaw, (std::vector<uint8_t>{0xF0, 1, 2, 3, 0xF7}));
  std::vector<uint8_t> oddMidi;
  odd.save(oddMidi, true, 2);
  EXPECT_EQ(oddMidi, (std::vector<uint8_t>{0x83, 0x74, 0xF0, 0x04, 1, 2, 3, 0xF7}));
  // A message shorter than 2 bytes adds no event.
  std::vector<uint8_t> tiny;
  LibrarianPatch::fromDump(std::vector<uint8_t>{0xF0}).save(tiny, true, 3);
  EXPECT_TRUE(tiny.empty());
}

TEST(LibrarianPatchSave, PatchWithoutMessagesWritesAnInitSound) {
  std::vector<uint8_t> raw;
  LibrarianPatch().save(raw, false, 7);
  ASSERT_EQ(raw.size(), 137u);
  std::vector<uint8_t> init(initSinglePatch.begin(), initSinglePatch.end());
  init[135] = dumpCheckByte(init);
  EXPECT_EQ(raw, init);
  std::vector<uint8_t> midi;
  LibrarianPatch().save(midi, true, 7);
  EXPECT_EQ(midi.size(), 141u);
}

TEST(VariableLength, EncodesMidiQuantities) {
  auto vlq = [](uint32_t v) {
    std::vector<uint8_t> out;
    appendVariableLength(out, v);
    return out;
  };
  EXPECT_EQ(vlq(0), (std::vector<uint8_t>{0x00}));
  EXPECT_EQ(vlq(0x7F), (std::vector<uint8_t>{0x7F}));
  EXPECT_EQ(vlq(136), (std::vector<uint8_t>{0x81, 0x08}));
  EXPECT_EQ(vlq(500), (std::vector<uint8_t>{0x83, 0x74}));
  EXPECT_EQ(vlq(0x3FFF), (std::vector<uint8_t>{0xFF, 0x7F}));
  EXPECT_EQ(vlq(0x4000), (std::vector<uint8_t>{0x81, 0x80, 0x00}));
  EXPECT_EQ(vlq(0x0FFFFFFF), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(FileNames, ExtensionAndBase) {
  EXPECT_EQ(fileExtensionLower("Bank.SYX"), "syx");
  EXPECT_EQ(fileExtensionLower("a.b.Mid"), "mid");
  EXPECT_EQ(fileExtensionLower("noext"), "");
  EXPECT_EQ(fileBaseName("a.b.sr2"), "a.b");
  EXPECT_EQ(fileBaseName("noext"), "noext");
}

}  // namespace
