// The editor-state block: exact bytes, round trips and hostile input.
#include <gtest/gtest.h>

#include <cstdint>
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
  put(pm.state, {'o', 'l', 'd'});
  ByteChunk c;
  put(c, b);
  return pm.loadAllFromChunk(&c, pos);
}

// A name as the block holds it: little-endian length, then the bytes.
void appendName(Bytes& out, const std::string& s, int32_t length) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(length) >> (8 * i)));
  out.insert(out.end(), s.begin(), s.end());
}

// The block header with a state length of n: two 1s and n, big-endian.
Bytes header(int32_t n) {
  Bytes b = {0, 0, 0, 1, 0, 0, 0, 1};
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(n) >> (8 * i)));
  return b;
}

Bytes block(const Bytes& stateBytes, const Names& names) {
  Bytes b = header(static_cast<int32_t>(stateBytes.size()));
  b.insert(b.end(), stateBytes.begin(), stateBytes.end());
  for (const auto& n : names) appendName(b, n, static_cast<int32_t>(n.size()));
  return b;
}

// The names as loaded: names 0-2 filled with zeros to 13 bytes.
Names loadedNames(Names texts) {
  for (size_t i = 0; i < 3; ++i) texts[i].resize(13, '\0');
  return texts;
}

Names namesOf(const PatchManager& pm) { return Names(pm.names.begin(), pm.names.end()); }

// A stand-in for the plug-in class: its short state form is 1924 bytes.
class ShortFormSource : public IEditorStateSource {
 public:
  bool SerializeState2(ByteChunk* chunk, bool full) override {
    ++calls;
    lastFull = full;
    put(*chunk, form);
    return true;
  }
  Bytes form = Bytes(1924, 0x3F);
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
  EXPECT_EQ(std::tuple(source.calls, source.lastFull), std::tuple(1, false));
  ASSERT_EQ(bytesOf(pm.state), source.form);

  // The plug-in class sets the port names just before a full save.
  pm.names[3] = "Port In";
  pm.names[4] = "Set Name";
  ByteChunk chunk;
  put(chunk, {0xAA, 0xBB});
  pm.saveAllToChunk(&chunk);

  const Bytes got = bytesOf(chunk);
  ASSERT_EQ(got.size(), 2u + 32 + 1924 + 8 * 3 + 7 + 8);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 14), (Bytes{0xAA, 0xBB, 0, 0, 0, 1, 0, 0, 0, 1, 0x00, 0x00, 0x07, 0x84}));
  EXPECT_EQ(Bytes(got.begin() + 14, got.begin() + 14 + 1924), source.form);
  const char names[] = "\x08\0\0\0- INIT -\x08\0\0\0- INIT -\x08\0\0\0- INIT -\x07\0\0\0Port In\x08\0\0\0Set Name";
  EXPECT_EQ(std::string(got.begin() + 14 + 1924, got.end()), std::string(names, sizeof names - 1));

  PatchManager ownerless;
  put(ownerless.state, {'a', 'b', 'c'});
  ownerless.init();
  EXPECT_EQ(ownerless.state.Size(), 0) << "without an owner the state stays empty";
}

TEST(PatchManager, LengthsAndNameLimitsAreWrittenExactly) {
  PatchManager pm;
  const Bytes st(300, 0x5A);
  put(pm.state, st);
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
  put(a.state, st);
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

  // Short names are filled and cut at their limit or a zero byte. Length 0
  // still advances 4; any 8 leading bytes are accepted, never compared.
  Bytes c = block({0x11}, {"", std::string("AB\0CD", 5), "0123456789ABCDEF", "x", ""});
  c[0] = 0xFF;
  c[5] = 0x42;
  EXPECT_EQ(load(b, c), static_cast<int>(c.size()));
  EXPECT_EQ(bytesOf(b.state), Bytes{0x11});
  EXPECT_EQ(namesOf(b), loadedNames({"", "AB", "0123456789ABC", "x", ""}));
  ByteChunk out;
  PatchManager::putStringToChunk(&out, b.names[1], 13);
  EXPECT_EQ(bytesOf(out), (Bytes{2, 0, 0, 0, 'A', 'B'})) << "written back with its own length";
}

TEST(PatchManager, HostileBlocksFailAndEmptyWhatTheyCannotReach) {
  const Names emptied = loadedNames({"", "", "", "", ""});
  auto expectFailed = [&](const Bytes& bytes, int pos, const Bytes& state, const Names& names) {
    PatchManager pm;
    EXPECT_EQ(load(pm, bytes, pos), -1);
    EXPECT_EQ(bytesOf(pm.state), state);
    EXPECT_EQ(namesOf(pm), names);
  };
  // The header out of reach: a negative start, a start 11 bytes from the
  // end, a block of 11 bytes.
  const Bytes whole = block({1, 2}, {"A", "B", "C", "D", "E"});
  for (const auto& [bytes, pos] : {std::pair{whole, -1}, {whole, static_cast<int>(whole.size()) - 11},
                                   {Bytes(whole.begin(), whole.begin() + 11), 0}}) {
    SCOPED_TRACE(pos);
    expectFailed(bytes, pos, {}, emptied);
  }
  PatchManager none;
  EXPECT_EQ(none.loadAllFromChunk(nullptr, 0), -1);

  // A state length negative, past the end, or so large that the end position
  // would wrap an int: empty state and no names.
  for (int32_t n : {-1, -12, 6, 0x7FFFFFF0, INT32_MIN}) {
    SCOPED_TRACE(n);
    Bytes b = header(n);
    b.insert(b.end(), {1, 2, 3, 4, 5});
    expectFailed(b, 0, {}, emptied);
  }
  // A chunk ending right after the state keeps the state and fails.
  expectFailed(block({4, 5, 6}, {}), 0, {4, 5, 6}, emptied);

  // A name length negative or running past the end empties that name and
  // every later one.
  for (int32_t bad : {-4, -100, 1000, 0x7FFFFFFF, INT32_MIN}) {
    for (int which = 0; which < 5; ++which) {
      SCOPED_TRACE(std::to_string(bad) + " at name " + std::to_string(which));
      Bytes b = header(0);
      Names want(5);
      for (int i = 0; i < 5; ++i) {
        const std::string text = "N" + std::to_string(i);
        appendName(b, i == which ? "" : text, i == which ? bad : 2);
        if (i < which) want[static_cast<size_t>(i)] = text;
      }
      expectFailed(b, 0, {}, loadedNames(want));
    }
  }
}
