// Preset builders and dumps, and program and bank files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework_fakes.h"
#include "testsupport.h"

namespace {

using fwtest::Bytes;
using fwtest::PlugState;
using fwtest::StateOf;
using fwtest::TestPlug;

// Three automated integer parameters 0..10 and one hidden, three presets;
// with chunks the state also carries the hidden value.
struct PresetPlug : TestPlug {
  explicit PresetPlug(bool chunks, int32_t id = 0x5476726E) : TestPlug(3, 4, 3, "2-2", chunks, id) {
    for (int i = 0; i < 4; ++i) GetParam(i)->InitInt("p", i, 0, 10);
  }
  bool SerializeState(ByteChunk* c) override {
    return SerializeParams(c) && (!DoesStateChunks() || SerializeNonAutomatedParams(c, 1));
  }
  int UnserializeState(const ByteChunk* c, int pos) override {
    pos = UnserializeParams(c, pos);
    return DoesStateChunks() ? UnserializeNonAutomatedParams(c, pos, 1) : pos;
  }
  void set(std::vector<double> v) {
    for (size_t i = 0; i < v.size(); ++i) GetParam((int)i)->Set(v[i]);
  }
  std::vector<double> values() const { return fwtest::StateOf(*this).values; }
  // Presets A, B, C of different values; current preset 1 with its own.
  void fill() {
    set({1, 2, 3, 4});
    MakeDefaultPreset("A");
    set({5, 6, 7, 8});
    MakeDefaultPreset("B");
    set({9, 10, 0, 1});
    MakeDefaultPreset("C");
    RestorePreset(1);
    set({2, 4, 6, 8});
  }
  void scramble() {
    set({0, 0, 0});
    for (int i = 0; i < NPresets(); ++i) {
      GetPreset(i)->SetName("x");
      GetPreset(i)->mChunk.Clear();
      GetPreset(i)->mInitialized = false;
    }
  }
};

Bytes ProgramOf(PresetPlug& p) {
  Bytes b;
  EXPECT_TRUE(p.MakeProgramFXP(&b));
  return b;
}
Bytes BankOf(PresetPlug& p) {
  Bytes b;
  EXPECT_TRUE(p.MakeBankFXB(&b));
  return b;
}

TEST(PresetFiles, LayoutOfValueAndChunkFiles) {
  PresetPlug values(false), chunks(true);
  values.fill();
  chunks.fill();
  const Bytes fxp = ProgramOf(values), fxb = BankOf(values), chunkFxp = ProgramOf(chunks), chunkFxb = BankOf(chunks);
  EXPECT_EQ(Bytes(fxp.begin(), fxp.begin() + 31),
            (Bytes{'C', 'c', 'n', 'K', 0, 0, 0, 60, 'F', 'x', 'C', 'k', 0, 0, 0, 1, 'T', 'v', 'r', 'n', 0, 1, 1, 0,
                   0, 0, 0, 3, 'B', 0, 0}));
  EXPECT_EQ(fxp.size(), 56u + 12);
  EXPECT_EQ(Bytes(fxp.begin() + 56, fxp.begin() + 60), (Bytes{0x3E, 0x4C, 0xCC, 0xCD}));  // 2/10 as a float
  EXPECT_EQ(fxb.size(), 156u + 3 * 68);
  EXPECT_EQ(Bytes(fxb.begin() + 8, fxb.begin() + 12), (Bytes{'F', 'x', 'B', 'k'}));
  EXPECT_EQ(Bytes(fxb.begin() + 156, fxb.begin() + 164), (Bytes{'C', 'c', 'n', 'K', 0, 0, 0, 60}));
  EXPECT_EQ(Bytes(chunkFxp.begin() + 8, chunkFxp.begin() + 12), (Bytes{'F', 'P', 'C', 'h'}));
  EXPECT_EQ(Bytes(chunkFxp.begin() + 56, chunkFxp.begin() + 60), (Bytes{0, 0, 0, 32}));  // four doubles
  EXPECT_EQ(Bytes(chunkFxb.begin() + 8, chunkFxb.begin() + 12), (Bytes{'F', 'B', 'C', 'h'}));
  EXPECT_EQ(chunkFxb.size(), 160u + 3 * (5 + 1 + 32));
}

TEST(PresetFiles, RoundTripThroughFilesAndAcrossInstances) {
  testsupport::TempDir dir;
  for (bool chunks : {false, true}) {
    PresetPlug plug(chunks);
    plug.fill();
    const std::string fxp = dir.file("p.fxp"), fxb = dir.file("b.fxb");
    ASSERT_TRUE(plug.SaveProgramAsFXP(fxp.c_str()) && plug.SaveBankAsFXB(fxb.c_str()));
    const PlugState saved = StateOf(plug);
    plug.scramble();
    EXPECT_TRUE(plug.LoadBankFromFXB(fxb.c_str()));
    EXPECT_TRUE(StateOf(plug) == saved) << chunks;
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);

    // Another instance: a program replaces its current preset.
    PresetPlug other(chunks);
    other.fill();
    other.RestorePreset(2);
    other.set({0, 0, 0, 0});
    EXPECT_TRUE(other.LoadProgramFromFXP(fxp.c_str()));
    EXPECT_EQ(other.values(), (std::vector<double>{2, 4, 6, chunks ? 8.0 : 0.0}));
    EXPECT_STREQ(other.GetPresetName(2), "B");  // the current preset takes the program
    EXPECT_TRUE(other.GetPreset(2)->mChunk.IsEqual(&plug.GetPreset(1)->mChunk));
    EXPECT_FALSE(plug.LoadProgramFromFXP(dir.file("missing.fxp").c_str()));
    EXPECT_FALSE(plug.SaveBankAsFXB(dir.file("no/such/folder.fxb").c_str()));

    // A save through a link writes the file it names; the link stays.
    const std::string link = dir.file(chunks ? "chunks.fxb" : "values.fxb");
    std::filesystem::create_symlink(fxb, link);
    plug.set({7, 7, 7, 7});
    ASSERT_TRUE(plug.SaveBankAsFXB(link.c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(testsupport::readFile(fxb), BankOf(plug));
  }
}

// Changes one big-endian word of a file.
Bytes WithWord(Bytes b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + (size_t)k] = (uint8_t)(v >> (24 - 8 * k));
  return b;
}

TEST(PresetFiles, BadFilesLoadAsFalseAndChangeNothing) {
  for (bool chunks : {false, true}) {
    PresetPlug plug(chunks), stranger(chunks, 0x41424344);
    plug.fill();
    stranger.fill();
    const Bytes fxp = ProgramOf(plug), fxb = BankOf(plug);
    const Bytes theirs = ProgramOf(stranger);
    // A whole file whose state is one double short, or with a NaN value.
    const Bytes shortState = WithWord(WithWord(Bytes(fxp.begin(), fxp.end() - 8), 4, (uint32_t)fxp.size() - 16), 56,
                                      (uint32_t)fxp.size() - 68);
    const std::vector<std::pair<Bytes, bool>> bad = {
        {WithWord(fxp, 0, 0x43636E4C), false},              // magic
        {WithWord(fxp, 8, chunks ? 0x4678436B : 0x46504368), false},  // the other program kind
        {fxb, false},                                       // a bank given as a program
        {fxp, true},                                        // a program given as a bank
        {theirs, false},                                    // another plug-in's ID
        {WithWord(fxp, 24, 4), false},                      // count
        {WithWord(fxb, 24, 2), true},                       // preset count
        {WithWord(fxp, 4, (uint32_t)fxp.size()), false},    // byte size
        {WithWord(fxb, chunks ? 156 : 160, 0), true},       // chunk or inner record size
        {chunks ? shortState : WithWord(fxp, 60, 0x7FC00000), false},
    };
    const PlugState before = StateOf(plug);
    for (const auto& [bytes, bank] : bad) {
      EXPECT_FALSE(bank ? plug.LoadBankFXB(bytes) : plug.LoadProgramFXP(bytes)) << chunks;
      EXPECT_TRUE(StateOf(plug) == before) << chunks;
    }
    for (const Bytes* file : {&fxp, &fxb})
      for (size_t cut = 0; cut < file->size(); ++cut) {
        const Bytes part(file->begin(), file->begin() + (long)cut);
        ASSERT_FALSE(file == &fxb ? plug.LoadBankFXB(part) : plug.LoadProgramFXP(part)) << cut;
        ASSERT_TRUE(StateOf(plug) == before) << cut;
      }
  }
}

TEST(PresetBuilders, BuildersAndDumps) {
  PresetPlug plug(true);
  plug.GetParam(3)->Set(7);
  plug.set({3, 3, 3});
  EXPECT_TRUE(plug.MakePreset("plain", 1.0, 12.0, 2.5));  // 12 clamps to 10
  EXPECT_TRUE(plug.MakePresetFromNamedParams("named", 3, 2, 9.0, 99, 5.0, 0, 4.0));
  EXPECT_EQ(plug.values(), (std::vector<double>{3, 3, 3, 7}));  // the current values stay
  const std::vector<std::vector<double>> want = {{1, 10, 2.5, 7}, {4, 1, 9, 7}};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(plug.RestorePreset(i));
    EXPECT_EQ(plug.values(), want[(size_t)i]) << i;
  }

  // The source dump reads back as the same call; the blob dump as its state.
  plug.set({0.125, 6, 10});
  EXPECT_EQ(plug.DumpPresetSrcCode("q\"x"), "MakePreset(\"q\\\"x\", 0.125, 6.0, 10.0);");
  const std::string blob = plug.DumpPresetBlob("b");
  const size_t open = blob.find(", \"") + 3, close = blob.find('"', open);
  ASSERT_EQ(blob.substr(0, open), "MakePresetFromBlob(\"b\", \"");
  EXPECT_EQ(blob.substr(close), "\", 32);");
  const std::string text = blob.substr(open, close - open);
  EXPECT_FALSE(plug.MakePresetFromBlob("bad", "!!not base64!!", 32));
  EXPECT_FALSE(plug.MakePresetFromBlob("short", text.c_str(), 31));
  EXPECT_TRUE(plug.MakePresetFromBlob("blob", text.c_str(), 32));
  plug.set({1, 1, 1, 1});
  ASSERT_TRUE(plug.RestorePreset("blob"));
  EXPECT_EQ(plug.values(), (std::vector<double>{0.125, 6, 10, 7}));
  EXPECT_FALSE(plug.MakePreset("full", 1.0, 1.0, 1.0));  // no uninitialised preset left

  PresetPlug copy(true);
  EXPECT_TRUE(copy.MakePresetFromChunk("c", &plug.GetPreset(2)->mChunk));
  ASSERT_TRUE(copy.RestorePreset(0));
  EXPECT_EQ(copy.values(), plug.values());
}

}  // namespace
