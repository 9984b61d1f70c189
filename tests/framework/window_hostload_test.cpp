// Loads from the host are all or nothing: a chunk that fails leaves the
// parameter values, the presets, the current preset and the drawn window
// exactly as they were.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "framework/IBitmapControls.h"
#include "support_window.h"

namespace {

using fwtest::Bytes;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
template <class T>
Bytes Raw(T v) {
  Bytes b(sizeof v);
  std::memcpy(b.data(), &v, sizeof v);
  return b;
}
Bytes DoubleBytes(std::initializer_list<double> vs) {
  Bytes b;
  for (double v : vs) b = Concat({b, Raw(v)});
  return b;
}
Bytes Name(const char* s) { return Concat({Raw<int32_t>((int32_t)strlen(s)), Bytes(s, s + strlen(s))}); }

class HostLoad : public WindowTest {
 protected:
  // Four automated parameters (integers 0..10) shown by switches, one hidden;
  // presets "first" and "second" hold other values, the third is untouched.
  void SetUp() override {
    WindowTest::SetUp();
    plug = std::make_unique<TestPlug>(4, 5, 3);
    for (int i = 0; i < 5; ++i) plug->GetParam(i)->InitInt("p", i, 0, 10);
    g = new IGraphicsHeadless(plug.get(), 40, 11);
    g->AttachPanelBackground(&kPanelColor);
    PutImage("switch.png", 10, 121, 11);
    IBitmap frames = Load(1, "switch.png", 11);
    for (int i = 0; i < 4; ++i) Add<ISwitchControl>(10 * i, 0, i, &frames);
    AttachAndOpen();
    plug->MakeDefaultPreset("first", 1);
    for (int i = 0; i < 4; ++i) plug->GetParam(i)->Set(9 - i);
    plug->MakeDefaultPreset("second", 1);
    for (int i = 0; i < 4; ++i) plug->GetParam(i)->Set(2 * i);
    plug->RedrawParamControls();
  }
  Bytes Saved(bool bank) {
    ByteChunk c;
    EXPECT_TRUE(plug->SerializeChunkForHost(&c, bank));
    return Bytes(c.GetBytes(), c.GetBytes() + c.Size());
  }
  // Loads bytes; a failure must change nothing, a success keeps every value
  // in range.
  bool LoadAndCheck(const Bytes& bytes, bool bank) {
    while (!g->tick().Empty()) {
    }
    const fwtest::PlugState before = fwtest::StateOf(*plug);
    const std::vector<uint32_t> screen = g->screenImage();
    const int notices = plug->presetsChanged;
    ByteChunk c;
    c.Put(bytes.data(), (int)bytes.size());
    const bool ok = plug->UnserializeChunkFromHost(&c, bank);
    const IRECT drawn = g->tick();
    if (ok) {
      EXPECT_TRUE(fwtest::ValuesInRange(*plug));
    } else {
      EXPECT_TRUE(fwtest::StateOf(*plug) == before);
      EXPECT_TRUE(drawn.Empty());
      EXPECT_EQ(g->screenImage(), screen);
      EXPECT_EQ(plug->presetsChanged, notices);
    }
    return ok;
  }
};

TEST_F(HostLoad, FailedLoadsChangeNothing) {
  const Bytes header = Raw<int32_t>(kIPlugMagic), version = Raw<int32_t>(kIPlugVersion);
  const Bytes program = Saved(false), bank = Saved(true);
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const Bytes first = Concat({Name("A"), {1}, DoubleBytes({1, 2, 3, 4})});
  const struct {
    const char* what;
    Bytes bytes;
    bool bank, ok;
  } cases[] = {
      {"empty", {}, true, false},
      {"header only", Concat({header, version}), false, false},
      {"truncated doubles", Bytes(program.begin(), program.end() - 3), false, false},
      {"wrong magic", Concat({Raw<int32_t>(0x12345678), version, DoubleBytes({1})}), true, false},
      {"name length -1", Concat({header, version, Raw<int32_t>(-1), {1}}), true, false},
      {"name length INT_MAX", Concat({header, version, Raw<int32_t>(INT32_MAX), {'x', 1}}), true, false},
      {"truncated preset state", Concat({header, version, Name("A"), {1}, DoubleBytes({1, 2})}), true, false},
      {"record cut after the name", Concat({header, version, Name("A")}), true, false},
      {"NaN value", Concat({header, version, DoubleBytes({1, nan, 3, 4})}), false, false},
      {"infinite value", Concat({header, version, DoubleBytes({1, 2, 3, -inf})}), false, false},
      {"second preset cut", Concat({header, version, first, Name("B"), {1}, DoubleBytes({5})}), true, false},
      {"whole bank", bank, true, true},
  };
  const fwtest::PlugState saved = fwtest::StateOf(*plug);
  for (const auto& c : cases) EXPECT_EQ(LoadAndCheck(c.bytes, c.bank), c.ok) << c.what;
  // The whole bank restored what was saved, redrawn.
  EXPECT_TRUE(fwtest::StateOf(*plug) == saved);
  EXPECT_EQ(plug->presetsChanged, 1);

  // Seeded random mutations of both chunks, and random bytes.
  std::mt19937 rng(15);
  int failures = 0;
  for (int run = 0; run < 3000; ++run) {
    Bytes b = run % 2 ? bank : program;
    if (run % 7 == 0) b.assign(rng() % 120, 0);
    for (auto& x : b)
      if (run % 7 == 0 || rng() % 16 == 0) x = (uint8_t)rng();
    if (rng() % 2) b.resize(rng() % (b.size() + 1));
    failures += !LoadAndCheck(b, rng() % 2);
    if (HasFailure()) break;
  }
  EXPECT_GT(failures, 500);
}

}  // namespace
