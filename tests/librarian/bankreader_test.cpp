// Reading bank files: both forms, the header tests, short forms, model 1
// material, padding, truncated and corrupt data, and the byte search.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

#include "framework/ByteChunk.h"
#include "librarian/BankFormats.h"
#include "librarian/BankReader.h"
#include "librarian/PatchLibrarian.h"
#include "support_banks.h"

namespace {

using banks::Bytes;
using banks::readBank;

const std::string kInitName = "INIT          ";

std::string text(const PatchSysexMessage& m, size_t from, size_t n) {
  return std::string(m.begin() + static_cast<long>(from), m.begin() + static_cast<long>(from + n));
}

Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(BankReader, RawAndMidiBanksGiveHundredNamedPatchesWithRebuiltHeaders) {
  auto dumps = banks::namedDumps(100);
  dumps[3] = banks::model2Dump(3, banks::patchName(3), 3, /*device*/ 0x05, /*bank*/ 0x01, /*program*/ 0x22);
  const Bytes midi = banks::midiBank(dumps);
  ASSERT_EQ(midi.size(), static_cast<size_t>(kMidiBankBytes));
  for (const Bytes& data : {banks::rawBank(dumps), midi}) {
    SCOPED_TRACE(data.size());
    const PatchFile f = readBank(data);
    ASSERT_EQ(f.patches.size(), 100u);
    for (size_t i = 0; i < 100; ++i) {
      const LibrarianPatch& p = f.patches[i];
      ASSERT_EQ(p.messages.size(), 1u);
      EXPECT_EQ(p.messages[0], banks::asRead(dumps[i])) << i;
      EXPECT_EQ(p.name, banks::patchName(static_cast<int>(i)));
      EXPECT_EQ(p.category, categoryName(static_cast<int>(i % 21)));
    }
  }
}

TEST(BankReader, MidiMagicDecidesTheStartNotTheExtension) {
  // A dump that starts inside the first 14 bytes is not seen once the data
  // begin with the Standard MIDI File magic; without the magic it is.
  auto dumps = banks::namedDumps(3);
  Bytes data = joined({{'M', 'T', 'h', 'd', 0, 0, 0, 6}, dumps[0], dumps[1]});
  const PatchFile f = readBank(data);
  ASSERT_EQ(f.patches.size(), 100u);
  EXPECT_EQ(f.patches[0].name, banks::patchName(1));
  data[0] = 'X';
  EXPECT_EQ(readBank(data).patches[0].name, banks::patchName(0));
}

TEST(BankReader, ShortBanksArePaddedLongBanksKeptAndTinyDataIgnored) {
  const PatchFile thirty = readBank(banks::rawBank(banks::namedDumps(30)));
  ASSERT_EQ(thirty.patches.size(), 100u);
  EXPECT_EQ(thirty.patches[29].name, banks::patchName(29));
  for (size_t i = 30; i < 100; ++i) EXPECT_EQ(thirty.patches[i], LibrarianPatch::initPatch()) << i;
  EXPECT_EQ(readBank(banks::rawBank(banks::namedDumps(150))).patches.size(), 150u);
  // No record, no padding.
  for (const Bytes& none : {Bytes(14, 0x3E), Bytes(4000, 0x00), Bytes()})
    EXPECT_TRUE(readBank(none).patches.empty()) << none.size();
}

TEST(BankReader, HeaderBytesDecideWhetherADumpIsTaken) {
  const std::tuple<int, uint8_t, bool> cases[] = {  // byte, value, taken
      {2, 0x15, false}, {2, 0x0B, true},  // model: 16 or 0B only (a long 0B record is kept as model 2)
      {3, 0x7F, true},  {3, 0x80, false},  // device
      {4, 0x00, true},  {4, 0x10, true},  {4, 0x11, false},  // command
      {5, 0x7F, true},  {5, 0x80, false},  // bank
      {6, 0x7F, true},  {6, 0xFF, false},  // program
  };
  for (const auto& [index, value, taken] : cases) {
    SCOPED_TRACE("byte " + std::to_string(index) + " = " + std::to_string(value));
    auto dump = banks::model2Dump(1, "HEADER", 4);
    dump[static_cast<size_t>(index)] = value;
    PatchFile f;
    int pos = 0;
    bool converted = false;
    BankReader::readSysexMessage(dump, pos, f, 0, converted);
    ASSERT_EQ(f.patches.size(), taken ? 1u : 0u);
    if (taken) {
      EXPECT_EQ(f.patches[0].messages[0][4], 0x10);
    }
    EXPECT_FALSE(converted);
  }
}

// A model 2 short form: a model 1 dump with the model 2 model byte.
Bytes model2ShortForm(int length, int seed) {
  Bytes d = banks::model1Dump(length, seed);
  d[2] = 0x16;
  return d;
}

TEST(BankReader, ShortFormsGetNumberedNamesAndTheInitCategory) {
  // Model 2 short forms are not converted, so their mended record shows.
  auto form = [](int length) { return model2ShortForm(length, 3); };
  const PatchFile f = readBank(banks::rawBank({form(75), form(76), form(91), form(60), form(75)}));
  ASSERT_EQ(f.patches.size(), 100u);

  const PatchSysexMessage& a = f.patches[0].messages[0];
  ASSERT_EQ(a.size(), 92u);
  EXPECT_EQ(text(a, 0, 7), std::string("\xF0\x3E\x16\x00\x10\x00\x00", 7));
  EXPECT_EQ(a[75], 0x00);
  EXPECT_EQ(text(a, 76, 14), "Sound       00");
  EXPECT_EQ(a[90], 0x14);
  EXPECT_EQ(a[91], 0xF7);
  // Under 135 bytes: no name or category is read from beyond the record.
  EXPECT_TRUE(f.patches[0].name.empty());
  EXPECT_TRUE(f.patches[0].category.empty());

  const PatchSysexMessage& b = f.patches[1].messages[0];
  ASSERT_EQ(b.size(), 92u);
  EXPECT_EQ(b[74], 0x00);
  EXPECT_EQ(b[75], form(76)[75]);
  EXPECT_EQ(text(b, 76, 14), "Sound       01");

  // A model 2 record of 91 bytes already ends in its category: kept as it is.
  EXPECT_EQ(f.patches[2].messages[0], form(91));
  // The dropped 60-byte record still moved the counter on.
  EXPECT_EQ(text(f.patches[3].messages[0], 76, 14), "Sound       04");

  // Mended records are stable: written and read again, they stay the same.
  const PatchFile again = readBank(buildBankBytes(f.patches, false));
  ASSERT_EQ(again.patches.size(), 100u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(again.patches[i].messages[0], f.patches[i].messages[0]) << i;

  // The name digits are the counter itself: 00 to 99, then 00 again.
  std::vector<Bytes> forms;
  for (int i = 0; i < 101; ++i) forms.push_back(model2ShortForm(75, i));
  const PatchFile many = readBank(banks::rawBank(forms));
  ASSERT_EQ(many.patches.size(), 101u);
  for (size_t i : {0u, 99u, 100u}) EXPECT_EQ(text(many.patches[i].messages[0], 88, 2), i == 99 ? "99" : "00") << i;
}

TEST(BankReader, Model1DumpsAreConvertedAndFlagged) {
  const Bytes second = banks::model1Dump(91, 2);
  const Bytes data = joined({banks::model1Dump(75, 1), second});
  PatchFile f;
  EXPECT_TRUE(BankReader::loadFromChunk(data, f));
  ASSERT_EQ(f.patches.size(), 100u);
  const LibrarianPatch& p = f.patches[0];
  ASSERT_EQ(p.messages[0].size(), 137u);
  EXPECT_EQ(p.name, "SOUND       00");
  EXPECT_EQ(p.category, "INIT");
  EXPECT_EQ(p.messages[0][4], 0x00) << "a converted dump keeps command 00";
  EXPECT_EQ(p.messages[0][135], 0x2A);
  EXPECT_EQ(p.messages[0][9], 0x00) << "from the rebuilt program byte";
  // A 91-byte record carries its own name at 76..89 and category at 90.
  EXPECT_EQ(f.patches[1].messages[0][134], second[90]);

  PatchLibrarian lib;
  PatchFile g;
  lib.loadFromChunk(data, &g);
  EXPECT_TRUE(lib.fileConverted);

  // A model 1 record of more than 99 bytes is taken as the model 2 dump its
  // rebuilt header says it is.
  PatchFile h;
  EXPECT_FALSE(BankReader::loadFromChunk(banks::model1Dump(120, 5), h));
  ASSERT_EQ(h.patches.size(), 100u);
  EXPECT_EQ(h.patches[0].messages[0].size(), 121u);
  EXPECT_EQ(h.patches[0].messages[0][2], 0x16);

  // A record shorter than the conversion table (81 bytes with F7): source
  // positions 81..90 are missing and position 80 holds the closing F7, so
  // name bytes 124..133 and the category read 00.
  const Bytes src = banks::model1Dump(80, 9);
  PatchFile s;
  EXPECT_TRUE(BankReader::loadFromChunk(src, s));
  const PatchSysexMessage& m = s.patches[0].messages[0];
  ASSERT_EQ(m.size(), 137u);
  for (int i = 124; i <= 134; ++i) EXPECT_EQ(m[static_cast<size_t>(i)], 0x00) << i;
  EXPECT_EQ(m[120], src[76]);
  EXPECT_EQ(std::count(m.begin(), m.end(), 0xF7), 1) << "only the closing F7";
}

TEST(BankReader, RecordLengthsDecideWhetherNamesAreRead) {
  for (const auto& [length, named] : {std::pair{134, false}, {135, true}, {137, true}, {138, true}, {139, false},
                                      {140, false}}) {
    Bytes d = {0xF0, 0x3E, 0x16, 0x00, 0x10, 0x00, 0x00};
    d.resize(static_cast<size_t>(length) - 1, 0x61);
    d.push_back(0xF7);
    const PatchFile f = readBank(d);
    ASSERT_EQ(f.patches.size(), 100u) << length;
    EXPECT_EQ(f.patches[0].messages[0].size(), static_cast<size_t>(length));
    EXPECT_EQ(f.patches[0].name, named ? "AAAAAAAAAAAAAA" : "") << length;
  }
}

TEST(BankReader, TruncatedAndCorruptData) {
  const auto dumps = banks::namedDumps(3);
  const Bytes data = banks::rawBank(dumps);
  // The last record cut off before its F7, or inside its header, is dropped.
  const PatchFile f = readBank(Bytes(data.begin(), data.end() - 1));
  ASSERT_EQ(f.patches.size(), 100u);
  EXPECT_EQ(f.patches[1].name, banks::patchName(1));
  EXPECT_EQ(f.patches[2].name, kInitName);
  EXPECT_EQ(readBank(Bytes(data.begin(), data.begin() + 137 * 2 + 4)).patches[2].name, kInitName);
  // A record under 75 bytes is dropped and reading goes on after its F7.
  const Bytes shortFirst = joined({{0xF0, 0x3E, 0x16, 0x00, 0x10, 0x00, 0x00, 0x01, 0xF7}, dumps[2]});
  EXPECT_EQ(readBank(shortFirst).patches[0].name, banks::patchName(2));
  // Garbage between dumps costs nothing but itself.
  const PatchFile n = readBank(joined({{0x3E, 0x99, 0x3E, 0x16, 0x90, 0x12, 0x3E}, dumps[0], {0x00, 0x3E, 0x16}}));
  EXPECT_EQ(n.patches[0].name, banks::patchName(0));
  EXPECT_EQ(n.patches[1].name, kInitName);
}

TEST(BankReader, FindByteMovesPastTheFoundByteOrGivesMinusOne) {
  const Bytes d = {0x01, 0x02, 0x3E, 0x04};
  const std::tuple<int, int, bool, int> cases[] = {  // from, byte, found, position after
      {0, 0x3E, true, 3}, {3, 0x3E, false, -1}, {-1, 0x01, false, -1}, {-7, 0x01, false, -1}, {100, 0x01, false, -1}};
  for (const auto& [from, byte, found, after] : cases) {
    int pos = from;
    EXPECT_EQ(BankReader::findByte(d, pos, byte), found) << from;
    EXPECT_EQ(pos, after) << from;
  }
}

// The conversion table written out as rows of source positions and bytes.
const char* const kRemapRows =
    "F0 3E 16 00 00 00 00 s8 "
    "s9 s6 s7 01 s19 s12 s13 s10 "
    "s11 s15 s20 s18 00 s16 s17 s14 "
    "s21 s23 s24 s25 s26 s41 s42 s27 "
    "s28 s29 s30 00 s32 s33 s34 s35 "
    "s36 00 s38 s56 s57 s58 s59 00 "
    "s60 s61 s67 s63 00 s62 s64 00 "
    "00 s70 s22 s68 s69 s44 s45 s46 "
    "s47 s48 s49 s50 s51 s52 s53 s54 "
    "s55 s40 s39 00 s65 s66 0A 00 "
    "40 00 00 40 00 0A 0A 0A "
    "00 00 00 00 s43 s43 06 40 "
    "40 32 32 32 32 32 32 32 32 32 32 32 32 32 32 32 "
    "32 0F 0D 00 00 00 00 01 "
    "s76 s77 s78 s79 s80 s81 s82 s83 "
    "s84 s85 s86 s87 s88 s89 s90 2A F7";

Bytes expectedConversion(const Bytes& src) {
  Bytes out;
  std::istringstream in(kRemapRows);
  std::string tok;
  while (in >> tok) {
    if (tok[0] == 's')
      out.push_back(src.at(static_cast<size_t>(std::stoi(tok.substr(1)))));
    else
      out.push_back(static_cast<uint8_t>(std::stoi(tok, nullptr, 16)));
  }
  return out;
}

TEST(Model1Conversion, GivesTheExactModel2Bytes) {
  Bytes src(91);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i + 1);
  const Bytes expected = expectedConversion(src);
  ASSERT_EQ(expected.size(), 137u);
  EXPECT_EQ(convertPatchToSorrel2Format(src, 0), expected);
  EXPECT_EQ(convertPatchToSorrel2Format(src, 57), expected) << "the counter does not matter";
  EXPECT_EQ(PatchLibrarian::convertPatchToSorrel2Format(&src, 3), expected);

  // Bytes that do not reach the result.
  Bytes other = src;
  for (int i : {0, 1, 2, 3, 4, 5, 31, 37, 71, 72, 73, 74, 75}) other[static_cast<size_t>(i)] ^= 0x55;
  other.push_back(0x12);
  EXPECT_EQ(convertPatchToSorrel2Format(other, 0), expected);

  // Name, category and the doubled byte.
  const std::string name = "Sound ABCdefgh";
  std::copy(name.begin(), name.end(), src.begin() + 76);
  src[90] = 0x03;
  src[43] = 0x77;
  const Bytes r = convertPatchToSorrel2Format(src, 0);
  EXPECT_EQ(text(r, 120, 14), name);
  EXPECT_EQ(std::tuple(r[134], r[92], r[93]), std::tuple(0x03, 0x77, 0x77));
  const LibrarianPatch p = banks::patchOf(r);
  EXPECT_EQ(p.name, "SOUND ABCDEFGH");
  EXPECT_EQ(p.category, "BASS");
}

TEST(Model1Conversion, AnySourceGivesA137ByteDump) {
  for (size_t len : {0u, 1u, 7u, 44u, 90u, 91u, 300u}) {
    const Bytes r = convertPatchToSorrel2Format(Bytes(len, 0x33), 0);
    ASSERT_EQ(r.size(), 137u);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 7), (Bytes{0xF0, 0x3E, 0x16, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(r[135], 0x2A);
    EXPECT_EQ(r[136], 0xF7);
  }
  EXPECT_EQ(PatchLibrarian::convertPatchToSorrel2Format(nullptr, 0).size(), 137u);
}

TEST(ChunkForms, ReadingAndSavingThroughByteChunks) {
  const Bytes raw = banks::rawBank(banks::namedDumps(100, 8));
  ByteChunk chunk;
  ASSERT_NE(chunk.Put(raw.data(), static_cast<int>(raw.size())), 0);
  PatchLibrarian lib;
  PatchFile f, big, part, none;
  lib.loadFromChunk(&chunk, chunk.Size(), &f, 1);
  ASSERT_EQ(f.patches.size(), 100u);
  EXPECT_EQ(f.patches[42].name, banks::patchName(42));
  // A size beyond the chunk reads only the chunk; a short size reads less.
  lib.loadFromChunk(&chunk, chunk.Size() + 5000, &big);
  EXPECT_EQ(big.patches, f.patches);
  lib.loadFromChunk(&chunk, 137 * 3, &part);
  EXPECT_EQ(part.patches[2].name, banks::patchName(2));
  EXPECT_EQ(part.patches[3].name, kInitName);
  lib.loadFromChunk(nullptr, 100, &none);
  lib.loadFromChunk(&chunk, -1, &none);
  EXPECT_TRUE(none.patches.empty());
  EXPECT_FALSE(lib.fileConverted);

  ByteChunk out;
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(f.patches[static_cast<size_t>(i)].save(&out, false, i));
  ASSERT_EQ(out.Size(), 13700);
  EXPECT_EQ(Bytes(out.GetBytes(), out.GetBytes() + out.Size()), raw);
  EXPECT_FALSE(f.patches[0].save(static_cast<ByteChunk*>(nullptr), false, 0));
}

}  // namespace
