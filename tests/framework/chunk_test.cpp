#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "framework/ByteChunk.h"
#include "framework_fakes.h"
#include "kit/string.h"

namespace {

using fwtest::Bytes;
using fwtest::TestPlug;
using Values = std::vector<double>;
using Names = std::vector<std::string>;

Bytes bytesOf(const ByteChunk& c) { return Bytes(c.GetBytes(), c.GetBytes() + c.Size()); }
// A chunk holding the given bytes.
struct ChunkOf : ByteChunk {
  ChunkOf(const Bytes& b) { Put(b.data(), static_cast<int>(b.size())); }
};

TEST(ByteChunk, EncodingsAreNativeLittleEndian) {
  ByteChunk c;
  EXPECT_EQ(std::vector<int>({c.PutInt(0x70666674), c.PutBool(true), c.PutDouble(1.0), c.PutStr("ab"), c.PutStr(""),
                              c.PutStr(nullptr)}),
            std::vector<int>({4, 5, 13, 19, 23, 27}));
  EXPECT_EQ(bytesOf(c), (Bytes{0x74, 0x66, 0x66, 0x70, 0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 2, 0, 0, 0, 'a', 'b',
                               0, 0, 0, 0, 0, 0, 0, 0}));

  ByteChunk other;
  other.PutInt(-1);
  EXPECT_EQ(c.PutChunk(&other), 31);  // appended with no length
  EXPECT_EQ(Bytes(c.GetBytes() + 27, c.GetBytes() + 31), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(c.PutChunk(&c), 62);  // appending itself doubles it
  EXPECT_EQ(std::memcmp(c.GetBytes(), c.GetBytes() + 31, 31), 0);

  int32_t i = 0;
  bool b = false;
  double d = 0;
  std::string s = "old";
  EXPECT_EQ(c.GetStr(&s, c.GetDouble(&d, c.GetBool(&b, c.GetInt(&i, 0)))), 19);
  EXPECT_EQ(std::make_tuple(i, b, d, s), std::make_tuple(0x70666674, true, 1.0, std::string("ab")));
  // Length 0: unchanged, position + 4; the same for both string kinds.
  EXPECT_EQ(c.GetStr(&s, 19), 23);
  EXPECT_EQ(s, "ab");
  KIT_String ks("keep");
  EXPECT_EQ(c.GetStr(&ks, 13), 19);
  EXPECT_EQ(c.GetStr(&ks, 19), 23);
  EXPECT_STREQ(ks.Get(), "ab");

  // Any non-zero byte reads as true.
  b = false;
  EXPECT_EQ(ChunkOf({0x7F}).GetBool(&b, 0), 1);
  EXPECT_TRUE(b);
}

TEST(ByteChunk, ReadsFailWithMinusOneOnShortOrHostileInput) {
  const ChunkOf c({1, 2, 3});
  int32_t i = 7;
  double d = 7;
  bool b = true;
  std::string s = "same";
  // Before the start, past the end, and where pos + width would overflow.
  for (int pos : {-1, 3, INT32_MAX - 1})
    EXPECT_EQ(std::vector<int>({c.GetInt(&i, pos), c.GetDouble(&d, pos), c.GetBool(&b, pos), c.GetStr(&s, pos)}),
              std::vector<int>(4, -1))
        << pos;
  EXPECT_EQ(c.GetInt(&i, 0), -1);  // three bytes hold no int or double
  EXPECT_EQ(c.GetDouble(&d, 0), -1);
  // A negative length, a length beyond the end, and a string cut short.
  for (const Bytes& bad : {Bytes{0xFB, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, Bytes{0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 'x'},
                           Bytes{10, 0, 0, 0, 'a', 'b'}})
    EXPECT_EQ(ChunkOf(bad).GetStr(&s, 0), -1);
  EXPECT_EQ(std::make_tuple(i, d, b, s), std::make_tuple(7, 7.0, true, std::string("same")));

  // An embedded zero cuts the string; the position still skips all L bytes.
  EXPECT_EQ(ChunkOf({4, 0, 0, 0, 'a', 0, 'b', 'c'}).GetStr(&s, 0), 8);
  EXPECT_EQ(s, "a");
}

TEST(ByteChunk, ResizeZeroFillsCompareAndFailedGrowthReportsZero) {
  ByteChunk a, b;
  a.PutInt(5);
  EXPECT_EQ(a.Resize(10), 10);
  EXPECT_EQ(bytesOf(a), (Bytes{5, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(a.Resize(-1), 10);
  b.PutInt(5);
  EXPECT_FALSE(a.IsEqual(&b));
  b.Resize(10);
  EXPECT_TRUE(a.IsEqual(&b));
  EXPECT_FALSE(a.IsEqual(nullptr));
  a.Clear();
  EXPECT_EQ(a.Size(), 0);

  std::vector<uint8_t> big(100000, 1);
  {
    fwtest::ScopedAllocator failing(&fwtest::kFailingAllocator);
    EXPECT_EQ(b.Put(big.data(), static_cast<int>(big.size())), 0);
  }
  EXPECT_EQ(b.Size(), 10);
}

TEST(ChunkHeader, WriteAndRead) {
  ByteChunk c;
  c.PutInt(99);
  IPluginBase::InitChunkWithIPluginVer(&c);
  EXPECT_EQ(bytesOf(c), (Bytes{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));
  int pos = 0;
  EXPECT_EQ(IPluginBase::GetIPluginVerFromChunk(&c, &pos), 0x10000);
  EXPECT_EQ(pos, 8);

  // No magic: version 0, position unchanged. Magic without a version: -1.
  // A position outside the header leaves it unchanged.
  ChunkOf none({0x78, 0x56, 0x34, 0x12, 0, 0, 1, 0});
  ByteChunk magicOnly;
  magicOnly.PutInt(kIPlugMagic);
  const std::tuple<ByteChunk*, int, int> cases[] = {{&none, 0, 0}, {&magicOnly, 0, -1}, {&c, -3, -3}, {&c, 6, 6}};
  for (auto [chunk, start, after] : cases) {
    pos = start;
    EXPECT_EQ(IPluginBase::GetIPluginVerFromChunk(chunk, &pos), 0) << start;
    EXPECT_EQ(pos, after) << start;
  }
}

// A plug-in with three automated integer parameters 0..10 and one hidden.
struct StatePlug : TestPlug {
  StatePlug(int presets = 0, int nParams = 4, int nHost = 3) : TestPlug(nHost, nParams, presets) {
    for (int i = 0; i < nParams; ++i) GetParam(i)->InitInt("p", i % 7, 0, 10);
  }
  void setValues(std::initializer_list<double> values) {
    int i = 0;
    for (double v : values) GetParam(i++)->Set(v);
  }
  Values values() const {
    return {GetParam(0)->Value(), GetParam(1)->Value(), GetParam(2)->Value(), GetParam(3)->Value()};
  }
  Names presetNames() const {
    Names names;
    for (int i = 0; i < NPresets(); ++i) names.push_back(GetPresetName(i));
    return names;
  }
};

TEST(ParamState, SerializeAndUnserializeAutomatedAndHiddenValues) {
  StatePlug plug;
  plug.setValues({1, 2, 3, 9});
  ByteChunk c;
  EXPECT_TRUE(plug.SerializeParams(&c));
  EXPECT_EQ(c.Size(), 24);
  EXPECT_TRUE(plug.SerializeNonAutomatedParams(&c, 1));
  EXPECT_EQ(c.Size(), 32);
  EXPECT_TRUE(plug.SerializeNonAutomatedParams(&c, 0));
  EXPECT_EQ(c.Size(), 32);

  plug.setValues({0, 0, 0, 0});
  EXPECT_EQ(plug.UnserializeParams(&c, 0), 24);
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&c, 24, 1), 32);
  EXPECT_EQ(plug.values(), (Values{1, 2, 3, 9}));
  EXPECT_TRUE(plug.changes.empty());  // no change calls
  EXPECT_EQ(plug.UnserializeParams(&c, -1), -1);
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&c, 4, 0), 4);

  // More hidden parameters asked for than exist: the ones there are, and a
  // write that could not put them all reports failure.
  plug.GetParam(3)->Set(0);
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&c, 24, INT32_MAX), 32);
  EXPECT_EQ(plug.values()[3], 9.0);
  ByteChunk more;
  EXPECT_FALSE(plug.SerializeNonAutomatedParams(&more, INT32_MAX));
  EXPECT_EQ(more.Size(), 8);

  // A short chunk sets the clamped 0.0 for the missing value and fails.
  plug.GetParam(2)->InitInt("p", 0, 3, 10);
  plug.setValues({5, 5, 5});
  ByteChunk shortChunk;
  shortChunk.PutDouble(1.0);
  shortChunk.PutDouble(99.0);  // above max
  EXPECT_EQ(plug.UnserializeParams(&shortChunk, 0), -1);
  EXPECT_EQ(plug.values(), (Values{1, 10, 3, 9}));

  // The editor's store: 306 parameters, none automated, 240 hidden ones saved.
  StatePlug editor(0, 306, 0);
  ByteChunk hidden;
  EXPECT_TRUE(editor.SerializeParams(&hidden));
  EXPECT_EQ(hidden.Size(), 0);
  EXPECT_TRUE(editor.SerializeNonAutomatedParams(&hidden, 240));
  EXPECT_EQ(hidden.Size(), 1920);
  double d;
  hidden.GetDouble(&d, 239 * 8);
  EXPECT_EQ(d, 239 % 7);
}

TEST(ParamState, CompareStateNeedsEnoughDoubles) {
  StatePlug plug;
  plug.setValues({1, 2, 3});
  const double data[] = {7.0, 1.0, 2.0, 3.000001};
  const auto* bytes = reinterpret_cast<const uint8_t*>(data);
  EXPECT_TRUE(plug.CompareState(bytes, 4, 1));
  // Wrong offset, one double short, a negative offset, no data.
  EXPECT_FALSE(plug.CompareState(bytes, 4, 0) || plug.CompareState(bytes, 3, 1) || plug.CompareState(bytes, 4, -1) ||
               plug.CompareState(nullptr, 4, 1));
  // Unaligned data works too.
  std::vector<uint8_t> shifted(1 + sizeof data);
  std::memcpy(shifted.data() + 1, data, sizeof data);
  EXPECT_TRUE(plug.CompareState(shifted.data() + 1, 4, 1));
}

TEST(Presets, CreatedEmptyAndMadeDefault) {
  StatePlug plug(3);
  EXPECT_EQ(plug.presetNames(), (Names{"empty", "empty", "empty"}));
  EXPECT_STREQ(plug.GetPresetName(5), "");
  EXPECT_FALSE(plug.GetPreset(0)->mInitialized);
  plug.setValues({4, 5, 6});
  plug.MakeDefaultPreset("first", 1);
  EXPECT_TRUE(plug.GetPreset(0)->mInitialized);
  EXPECT_EQ(plug.GetPreset(0)->mChunk.Size(), 24);
  plug.EnsureDefaultPreset();
  EXPECT_EQ(plug.presetNames(), (Names{"first", "Empty", "Empty"}));
  EXPECT_TRUE(plug.GetPreset(2)->mInitialized);
}

TEST(Presets, RestoreByIndexAndName) {
  StatePlug plug(4);
  plug.setValues({1, 1, 1});
  plug.MakeDefaultPreset("one", 1);
  plug.setValues({2, 2, 2});
  EXPECT_TRUE(plug.RestorePreset("one"));
  EXPECT_EQ(std::make_tuple(plug.values()[0], plug.GetCurrentPresetIdx(), plug.presetsChanged),
            std::make_tuple(1.0, 0, 1));
  for (const char* name : {"none", "", static_cast<const char*>(nullptr)}) EXPECT_FALSE(plug.RestorePreset(name));
  for (int idx : {-1, 4}) EXPECT_FALSE(plug.RestorePreset(idx));

  // Uninitialised presets take the current state as numbered user presets.
  plug.GetPreset(1)->SetName("my user preset");
  plug.GetPreset(1)->mInitialized = true;
  for (int i = 0; i < 3; ++i) plug.GetPreset(1)->mChunk.PutDouble(3);
  plug.GetPreset(2)->SetName("user preset 9");
  EXPECT_TRUE(plug.RestorePreset(3));
  EXPECT_STREQ(plug.GetPresetName(3), "user preset 3");
  EXPECT_TRUE(plug.GetPreset(3)->mInitialized);
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);

  // A preset whose stored state is short fails and stays where it was.
  plug.GetPreset(2)->mInitialized = true;
  plug.GetPreset(2)->mChunk.PutDouble(1);
  EXPECT_FALSE(plug.RestorePreset(2));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);

  // An empty name changes nothing; names are cut to 255 bytes.
  plug.ModifyCurrentPreset("renamed");
  plug.ModifyCurrentPreset("");
  EXPECT_STREQ(plug.GetPresetName(3), "renamed");
  plug.ModifyCurrentPreset(std::string(300, 'x').c_str());
  EXPECT_EQ(std::strlen(plug.GetPresetName(3)), 255u);

  plug.GetPreset(0)->mInitialized = false;
  plug.PruneUninitializedPresets();
  EXPECT_EQ(plug.NPresets(), 3);
}

TEST(Presets, BankRoundTripAndRecords) {
  StatePlug plug(2);
  plug.setValues({1, 2, 3});
  plug.MakeDefaultPreset("A", 1);
  ByteChunk bank;
  EXPECT_TRUE(plug.SerializePresets(&bank));
  // "A", initialised, three doubles; "empty", not initialised.
  EXPECT_EQ(bank.Size(), 4 + 1 + 1 + 24 + 4 + 5 + 1);
  EXPECT_EQ(bank.GetBytes()[5], 1);

  StatePlug other(2);
  EXPECT_EQ(other.UnserializePresets(&bank, 0), bank.Size());
  EXPECT_EQ(other.presetNames(), (Names{"A", "empty"}));
  EXPECT_TRUE(other.GetPreset(0)->mInitialized);
  EXPECT_EQ(other.values(), (Values{1, 2, 3, 3}));  // restored the current preset

  // A truncated bank returns -1.
  ByteChunk cut;
  cut.Put(bank.GetBytes(), 12);
  EXPECT_EQ(StatePlug(2).UnserializePresets(&cut, 0), -1);
}

TEST(HostChunks, ProgramAndBankFraming) {
  StatePlug plug(1);
  plug.setValues({7, 8, 9});
  fwtest::FakeGraphics* g = new fwtest::FakeGraphics;
  plug.AttachGraphics(g);

  ByteChunk program, bank, bare;
  EXPECT_TRUE(plug.SerializeChunkForHost(&program, false));
  EXPECT_EQ(program.Size(), 8 + 24);
  EXPECT_TRUE(plug.SerializeChunkForHost(&bank, true));
  // The preset's chunk is refreshed, but an uninitialised preset carries no state.
  EXPECT_EQ(bank.Size(), 8 + (4 + 5 + 1) + 24);
  EXPECT_STREQ(plug.GetPresetName(0), "empty");
  EXPECT_EQ(plug.GetPreset(0)->mChunk.Size(), 24);

  // Each chunk restores the values in a fresh plug-in; without the header the
  // state is read from position 0.
  plug.SerializeParams(&bare);
  for (const auto& [chunk, isBank] : {std::pair{&program, false}, {&bank, true}, {&bare, true}}) {
    StatePlug back(1);
    EXPECT_TRUE(back.UnserializeChunkFromHost(chunk, isBank));
    EXPECT_EQ(back.values(), (Values{7, 8, 9, 3})) << chunk->Size();
  }

  // A short chunk fails and redraws nothing.
  ByteChunk shortChunk;
  shortChunk.Put(program.GetBytes(), 20);
  g->pushes.clear();
  EXPECT_FALSE(plug.UnserializeChunkFromHost(&shortChunk, false));
  EXPECT_TRUE(g->pushes.empty());
  ByteChunk fine;
  fine.Put(program.GetBytes(), program.Size());
  EXPECT_TRUE(plug.UnserializeChunkFromHost(&fine, false));
  EXPECT_EQ(g->pushes.size(), 4u);  // every parameter redrawn with its raw value
  EXPECT_FALSE(g->pushes[0].normalized);
}

TEST(HostChunks, ALoadTellsItsStartAndItsEndAfterTheValuesAreBack) {
  struct FramedPlug : StatePlug {
    void OnStateLoadStarted() override { frames.push_back("started " + std::to_string(GetParam(0)->Value())); }
    void OnStateLoadEnded(bool ok) override {
      frames.push_back((ok ? "ok " : "failed ") + std::to_string(GetParam(0)->Value()));
    }
    Names frames;
  };
  FramedPlug plug;
  plug.setValues({7, 8, 9});
  ByteChunk program;
  plug.SerializeChunkForHost(&program, false);
  plug.setValues({1, 1, 1});
  ByteChunk shortChunk;
  shortChunk.Put(program.GetBytes(), 20);
  EXPECT_FALSE(plug.UnserializeChunkFromHost(&shortChunk, false));
  EXPECT_TRUE(plug.UnserializeChunkFromHost(&program, false));
  EXPECT_EQ(plug.frames, (Names{"started 1.000000", "failed 1.000000", "started 1.000000", "ok 7.000000"}));
}

}  // namespace
