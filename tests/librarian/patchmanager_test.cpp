// The editor-state block: exact bytes, round trips and hostile input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "librarian/PatchManager.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

Bytes bytesOf(const ByteChunk& c) { return c.Size() > 0 ? Bytes(c.GetBytes(), c.GetBytes() + c.Size()) : Bytes(); }

void put(ByteChunk& c, const Bytes& b) {
  if (!b.empty()) c.Put(b.data(), static_cast<int>(b.size()));
}

// Loads a block from a chunk holding the bytes, into a manager whose state
// held something before.
int load(PatchManager& pm, const Bytes& b, int pos = 0) {
  pm.state.Put(reinterpret_cast<const uint8_t*>("old"), 3);
  ByteChunk c;
  put(c, b);
  return pm.loadAllFromChunk(&c, pos);
}

void appendLE(Bytes& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}
void appendText(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

// The block header with a state length of n: two 1s and n, big-endian.
Bytes header(int32_t n) {
  Bytes b = {0, 0, 0, 1, 0, 0, 0, 1};
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(n) >> (8 * i)));
  return b;
}

Bytes block(const Bytes& stateBytes, const Names& names) {
  Bytes b = header(static_cast<int32_t>(stateBytes.size()));
  b.insert(b.end(), stateBytes.begin(), stateBytes.end());
  for (const auto& n : names) {
    appendLE(b, static_cast<int32_t>(n.size()));
    appendText(b, n);
  }
  return b;
}

std::string padded13(const std::string& s) {
  std::string r = s;
  r.resize(13, '\0');
  return r;
}

// The names as loaded: names 0-2 filled with zeros to 13 bytes.
Names loadedNames(const Names& texts) {
  Names out = texts;
  for (size_t i = 0; i < 3; ++i) out[i] = padded13(out[i]);
  return out;
}

Names namesOf(const PatchManager& pm) { return Names(pm.names.begin(), pm.names.end()); }

// A stand-in for the plug-in class: its short state form is the marker
// 00 00 00 01 followed by 240 doubles (1924 bytes).
class ShortFormSource : public IEditorStateSource {
 public:
  bool SerializeState2(ByteChunk* chunk, bool full) override {
    ++calls;
    lastFull = full;
    Bytes b = {0, 0, 0, 1};
    for (int i = 0; i < 240; ++i) {
      double v = i * 0.5;
      uint8_t raw[8];
      std::memcpy(raw, &v, 8);
      b.insert(b.end(), raw, raw + 8);
    }
    put(*chunk, b);
    return true;
  }
  int calls = 0;
  bool lastFull = true;
};

}  // namespace

TEST(PatchManager, NewInstanceSavedAtOnceWritesTheExactBlock) {
  ShortFormSource source;
  PatchManager pm(&source);
  EXPECT_EQ(namesOf(pm), Names(5, "- INIT -"));
  EXPECT_EQ(pm.state.Size(), 0);
  pm.init();
  EXPECT_EQ(source.calls, 1);
  EXPECT_FALSE(source.lastFull);
  ASSERT_EQ(pm.state.Size(), 1924);

  // The plug-in class sets the port names just before a full save.
  pm.names[3] = "Port In";
  pm.names[4] = "Set Name";
  ByteChunk chunk;
  put(chunk, {0xAA, 0xBB});
  pm.saveAllToChunk(&chunk);

  Bytes expected = {0xAA, 0xBB, 0, 0, 0, 1, 0, 0, 0, 1, 0x00, 0x00, 0x07, 0x84};
  const Bytes st = bytesOf(pm.state);
  expected.insert(expected.end(), st.begin(), st.end());
  for (int i = 0; i < 3; ++i) {
    expected.insert(expected.end(), {0x08, 0x00, 0x00, 0x00});
    appendText(expected, "- INIT -");
  }
  expected.insert(expected.end(), {0x07, 0x00, 0x00, 0x00});
  appendText(expected, "Port In");
  expected.insert(expected.end(), {0x08, 0x00, 0x00, 0x00});
  appendText(expected, "Set Name");
  EXPECT_EQ(bytesOf(chunk), expected);
  EXPECT_EQ(expected.size(), 2u + 32 + 1924 + 8 * 3 + 7 + 8);

  PatchManager ownerless;
  ownerless.state.Put(reinterpret_cast<const uint8_t*>("abc"), 3);
  ownerless.init();
  EXPECT_EQ(ownerless.state.Size(), 0) << "without an owner the state stays empty";
}

TEST(PatchManager, LengthsAndNameLimitsAreWrittenExactly) {
  PatchManager pm;
  Bytes st(300, 0x5A);
  pm.state.Put(st.data(), 300);
  pm.names[0] = "ABCDEFGHIJKLMNOPQ";                              // 17 bytes: cut to 13
  pm.names[1] = std::string("HELLO\0WORLD", 11);                  // zero byte after 5
  pm.names[2] = "";
  pm.names[3] = std::string(40, 'p');                             // cut to 32
  pm.names[4] = "\xC3\xA9" + std::string(30, 'x') + "\xC3\xA9";  // 34 bytes, cut before the split character
  const Bytes b = pm.blockBytes();
  ASSERT_GE(b.size(), 12u);
  EXPECT_EQ(Bytes(b.begin() + 8, b.begin() + 12), (Bytes{0x00, 0x00, 0x01, 0x2C}));
  EXPECT_EQ(b, block(st, {"ABCDEFGHIJKLM", "HELLO", "", std::string(32, 'p'), "\xC3\xA9" + std::string(30, 'x')}));
  ByteChunk viaChunk;
  pm.saveAllToChunk(&viaChunk);
  EXPECT_EQ(bytesOf(viaChunk), b);

  ByteChunk one;
  PatchManager::putStringToChunk(&one, "PORT", 2);
  EXPECT_EQ(bytesOf(one), (Bytes{2, 0, 0, 0, 'P', 'O'}));
}

TEST(PatchManager, SaveThenLoadRoundTripsAndReturnsTheEndOfTheBlock) {
  PatchManager a;
  const Bytes st = {1, 2, 3, 0, 5};
  a.state.Put(st.data(), 5);
  a.names = {"PAD", "BASS", "- INIT -", "In Port", "Out Port"};
  ByteChunk chunk;
  put(chunk, {9, 9, 9});
  a.saveAllToChunk(&chunk);
  put(chunk, {7, 7});

  PatchManager b;
  EXPECT_EQ(b.loadAllFromChunk(&chunk, 3), chunk.Size() - 2);
  EXPECT_EQ(bytesOf(b.state), st);
  EXPECT_EQ(namesOf(b), loadedNames({"PAD", "BASS", "- INIT -", "In Port", "Out Port"}));
  // Written again, the zero fill is not carried: the same block comes out.
  EXPECT_EQ(b.blockBytes(), a.blockBytes());
}

TEST(PatchManager, ShortNamesAreFilledCutAtTheirLimitOrAZeroByte) {
  // Length 0 still advances 4; any 8 leading bytes are accepted, never compared.
  Bytes b = block({0x11}, {"", std::string("AB\0CD", 5), "0123456789ABCDEF", "x", ""});
  b[0] = 0xFF;
  b[5] = 0x42;
  PatchManager pm;
  EXPECT_EQ(load(pm, b), static_cast<int>(b.size()));
  EXPECT_EQ(bytesOf(pm.state), Bytes{0x11});
  EXPECT_EQ(namesOf(pm), loadedNames({"", "AB", "0123456789ABC", "x", ""}));
  ByteChunk out;
  PatchManager::putStringToChunk(&out, pm.names[1], 13);
  EXPECT_EQ(bytesOf(out), (Bytes{2, 0, 0, 0, 'A', 'B'})) << "written back with its own length";
}

TEST(PatchManager, HostileBlocksFailAndEmptyWhatTheyCannotReach) {
  const Names emptied = loadedNames({"", "", "", "", ""});
  // The header out of reach: a negative start, a start 11 bytes from the
  // end, a block of 11 bytes.
  const Bytes whole = block({1, 2}, {"A", "B", "C", "D", "E"});
  const std::pair<Bytes, int> unreachable[] = {
      {whole, -1}, {whole, static_cast<int>(whole.size()) - 11}, {Bytes(whole.begin(), whole.begin() + 11), 0}};
  for (const auto& [bytes, pos] : unreachable) {
    PatchManager pm;
    EXPECT_EQ(load(pm, bytes, pos), -1) << pos;
    EXPECT_EQ(pm.state.Size(), 0);
    EXPECT_EQ(namesOf(pm), emptied);
  }
  PatchManager none;
  EXPECT_EQ(none.loadAllFromChunk(nullptr, 0), -1);

  // A state length negative, past the end, or so large that the end position
  // would wrap an int: empty state and no names.
  for (int32_t n : {-1, -12, 6, 0x7FFFFFF0, INT32_MIN}) {
    Bytes b = header(n);
    b.insert(b.end(), {1, 2, 3, 4, 5});
    PatchManager pm;
    EXPECT_EQ(load(pm, b), -1) << n;
    EXPECT_EQ(pm.state.Size(), 0) << n;
    EXPECT_EQ(namesOf(pm), emptied) << n;
  }

  // A chunk ending right after the state keeps the state and fails.
  PatchManager cut;
  EXPECT_EQ(load(cut, block({4, 5, 6}, {})), -1);
  EXPECT_EQ(bytesOf(cut.state), (Bytes{4, 5, 6}));
  EXPECT_EQ(namesOf(cut), emptied);

  // A name length negative or running past the end empties that name and
  // every later one.
  for (int32_t bad : {-4, -100, 1000, 0x7FFFFFFF, INT32_MIN}) {
    for (int which = 0; which < 5; ++which) {
      SCOPED_TRACE(std::to_string(bad) + " at name " + std::to_string(which));
      Bytes b = header(0);
      Names want(5);
      for (int i = 0; i < 5; ++i) {
        if (i == which) {
          appendLE(b, bad);
          continue;
        }
        const std::string text = "N" + std::to_string(i);
        appendLE(b, 2);
        appendText(b, text);
        if (i < which) want[static_cast<size_t>(i)] = text;
      }
      PatchManager pm;
      EXPECT_EQ(load(pm, b), -1);
      EXPECT_EQ(namesOf(pm), loadedNames(want));
    }
  }
}
