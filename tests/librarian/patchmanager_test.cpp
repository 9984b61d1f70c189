// The editor-state block: exact bytes, round trips and hostile input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "librarian/PatchManager.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const ByteChunk& c) {
  return c.Size() > 0 ? Bytes(c.GetBytes(), c.GetBytes() + c.Size()) : Bytes();
}

// Fills a chunk with the bytes (chunks are not copyable).
void fill(ByteChunk& c, const Bytes& b) {
  c.Clear();
  if (!b.empty()) c.Put(b.data(), static_cast<int>(b.size()));
}

// Loads a block from a chunk holding the bytes.
int load(PatchManager& pm, const Bytes& b, int pos = 0) {
  ByteChunk c;
  fill(c, b);
  return pm.loadAllFromChunk(&c, pos);
}

void appendLE(Bytes& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}
void appendBE(Bytes& out, int32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}
void appendText(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

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
    chunk->Put(b.data(), static_cast<int>(b.size()));
    return true;
  }
  int calls = 0;
  bool lastFull = true;
};

Bytes block(const Bytes& stateBytes, const std::vector<std::string>& names) {
  Bytes b;
  appendBE(b, 1);
  appendBE(b, 1);
  appendBE(b, static_cast<int32_t>(stateBytes.size()));
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

}  // namespace

TEST(PatchManager, NewInstanceSavedAtOnceWritesTheExactBlock) {
  ShortFormSource source;
  PatchManager pm(&source);
  for (int i = 0; i < Patch::kNumNames; ++i) EXPECT_EQ(pm.names[i], "- INIT -");
  EXPECT_EQ(pm.state.Size(), 0);

  pm.init();
  EXPECT_EQ(source.calls, 1);
  EXPECT_FALSE(source.lastFull);
  ASSERT_EQ(pm.state.Size(), 1924);

  // The plug-in class sets the port names just before a full save.
  pm.names[3] = "Port In";
  pm.names[4] = "Set Name";
  ByteChunk chunk;
  const Bytes prefix = {0xAA, 0xBB};
  chunk.Put(prefix.data(), 2);
  pm.saveAllToChunk(&chunk);

  Bytes expected = prefix;
  expected.insert(expected.end(), {0, 0, 0, 1, 0, 0, 0, 1, 0x00, 0x00, 0x07, 0x84});
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
  EXPECT_EQ(bytesOf(chunk).size(), 2u + 32 + 1924 + 8 * 3 + 7 + 8);
}

TEST(PatchManager, WithoutOwnerInitLeavesTheStateEmpty) {
  PatchManager pm;
  pm.state.Put(reinterpret_cast<const uint8_t*>("abc"), 3);
  pm.init();
  EXPECT_EQ(pm.state.Size(), 0);
}

TEST(PatchManager, LengthsAndNameLimitsAreWrittenExactly) {
  PatchManager pm;
  Bytes st(300, 0x5A);
  pm.state.Put(st.data(), 300);
  pm.names[0] = "ABCDEFGHIJKLMNOPQ";                 // 17 bytes: cut to 13
  pm.names[1] = std::string("HELLO\0WORLD", 11);     // zero byte after 5
  pm.names[2] = "";
  pm.names[3] = std::string(40, 'p');                // cut to 32
  pm.names[4] = "\xC3\xA9" + std::string(30, 'x') + "\xC3\xA9";  // 34 bytes, cut before the split character
  const Bytes b = pm.blockBytes();

  ASSERT_GE(b.size(), 12u + 300);
  EXPECT_EQ(Bytes(b.begin() + 8, b.begin() + 12), (Bytes{0x00, 0x00, 0x01, 0x2C}));
  Bytes expected = block(st, {"ABCDEFGHIJKLM", "HELLO", "", std::string(32, 'p'), "\xC3\xA9" + std::string(30, 'x')});
  EXPECT_EQ(b, expected);

  ByteChunk viaChunk;
  pm.saveAllToChunk(&viaChunk);
  EXPECT_EQ(bytesOf(viaChunk), b);

  ByteChunk one;
  PatchManager::putStringToChunk(&one, "PORT", 2);
  EXPECT_EQ(bytesOf(one), (Bytes{2, 0, 0, 0, 'P', 'O'}));
}

TEST(PatchManager, SaveThenLoadRoundTripsAndReturnsTheEndOfTheBlock) {
  PatchManager a;
  Bytes st = {1, 2, 3, 0, 5};
  a.state.Put(st.data(), 5);
  a.names = {"PAD", "BASS", "- INIT -", "In Port", "Out Port"};
  ByteChunk chunk;
  const Bytes lead = {9, 9, 9};
  chunk.Put(lead.data(), 3);
  a.saveAllToChunk(&chunk);
  const Bytes tail = {7, 7};
  chunk.Put(tail.data(), 2);

  PatchManager b;
  const int end = b.loadAllFromChunk(&chunk, 3);
  EXPECT_EQ(end, chunk.Size() - 2);
  EXPECT_EQ(bytesOf(b.state), st);
  EXPECT_EQ(b.names[0], padded13("PAD"));
  EXPECT_EQ(b.names[1], padded13("BASS"));
  EXPECT_EQ(b.names[2], padded13("- INIT -"));
  EXPECT_EQ(b.names[3], "In Port");
  EXPECT_EQ(b.names[4], "Out Port");

  // Written again, the zero fill is not carried: the same block comes out.
  EXPECT_EQ(b.blockBytes(), a.blockBytes());
}

TEST(PatchManager, ShortNameIsFilledUpAndWrittenBackWithItsOwnLength) {
  PatchManager pm;
  const Bytes b = block({}, {"ABC", "", "0123456789ABCDEF", "x", "y"});
  EXPECT_EQ(load(pm, b, 0), static_cast<int>(b.size()));
  EXPECT_EQ(pm.names[0], padded13("ABC"));
  EXPECT_EQ(pm.names[1], padded13(""));
  EXPECT_EQ(pm.names[2], "0123456789ABC");
  ByteChunk out;
  PatchManager::putStringToChunk(&out, pm.names[0], 13);
  EXPECT_EQ(bytesOf(out), (Bytes{3, 0, 0, 0, 'A', 'B', 'C'}));
}

TEST(PatchManager, NameLengthZeroAdvancesFourAndNameStopsAtZeroByte) {
  PatchManager pm;
  Bytes b = block({}, {"", std::string("AB\0CD", 5), "", "", ""});
  EXPECT_EQ(load(pm, b, 0), static_cast<int>(b.size()));
  EXPECT_EQ(pm.names[0], padded13(""));
  EXPECT_EQ(pm.names[1], padded13("AB"));
  EXPECT_EQ(pm.names[3], "");
}

TEST(PatchManager, HeaderOutOfReachEmptiesEverything) {
  for (int variant = 0; variant < 3; ++variant) {
    PatchManager pm;
    pm.state.Put(reinterpret_cast<const uint8_t*>("old"), 3);
    Bytes b = block({1, 2}, {"A", "B", "C", "D", "E"});
    const int pos = variant == 0 ? -1 : (variant == 1 ? static_cast<int>(b.size()) - 11 : 0);
    EXPECT_EQ(load(pm, variant == 2 ? Bytes(b.begin(), b.begin() + 11) : b, pos), -1) << variant;
    EXPECT_EQ(pm.state.Size(), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(pm.names[i], std::string(13, '\0'));
    EXPECT_EQ(pm.names[3], "");
    EXPECT_EQ(pm.names[4], "");
  }
  PatchManager pm;
  EXPECT_EQ(pm.loadAllFromChunk(nullptr, 0), -1);
}

TEST(PatchManager, BadStateLengthGivesEmptyStateAndNoNames) {
  // Negative, past the end, and so large that pos + 12 + N would wrap an int.
  for (int32_t n : {-1, -12, 6, 0x7FFFFFF0, INT32_MIN}) {
    PatchManager pm;
    pm.state.Put(reinterpret_cast<const uint8_t*>("old"), 3);
    Bytes b;
    appendBE(b, 1);
    appendBE(b, 1);
    appendBE(b, n);
    b.insert(b.end(), {1, 2, 3, 4, 5});
    EXPECT_EQ(load(pm, b, 0), -1) << n;
    EXPECT_EQ(pm.state.Size(), 0) << n;
    EXPECT_EQ(pm.names[0], std::string(13, '\0'));
    EXPECT_EQ(pm.names[4], "");
  }
}

TEST(PatchManager, ChunkEndingAfterTheStateKeepsTheStateAndFails) {
  PatchManager pm;
  Bytes b = block({4, 5, 6}, {});
  EXPECT_EQ(load(pm, b, 0), -1);
  EXPECT_EQ(bytesOf(pm.state), (Bytes{4, 5, 6}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pm.names[i], std::string(13, '\0'));
  EXPECT_EQ(pm.names[3], "");
}

TEST(PatchManager, BadNameLengthEmptiesThatNameAndEveryLaterOne) {
  for (int32_t bad : {-4, -100, 1000, 0x7FFFFFFF, INT32_MIN}) {
    for (int which = 0; which < 5; ++which) {
      Bytes b;
      appendBE(b, 1);
      appendBE(b, 1);
      appendBE(b, 0);
      for (int i = 0; i < 5; ++i) {
        if (i == which) {
          appendLE(b, bad);
        } else {
          appendLE(b, 2);
          appendText(b, "N" + std::to_string(i));
        }
      }
      PatchManager pm;
      EXPECT_EQ(load(pm, b, 0), -1) << bad << " " << which;
      for (int i = 0; i < 5; ++i) {
        std::string want = i < which ? "N" + std::to_string(i) : "";
        if (i < 3) want = padded13(want);
        EXPECT_EQ(pm.names[i], want) << bad << " " << which << " " << i;
      }
    }
  }
}

TEST(PatchManager, LoadingAtAnOffsetPastTheBlockStartReadsWhatIsThere) {
  // Any 8 leading bytes are accepted: they are never compared.
  Bytes b = block({0x11}, {"A", "B", "C", "D", "E"});
  b[0] = 0xFF;
  b[5] = 0x42;
  PatchManager pm;
  EXPECT_EQ(load(pm, b, 0), static_cast<int>(b.size()));
  EXPECT_EQ(bytesOf(pm.state), (Bytes{0x11}));
  EXPECT_EQ(pm.names[4], "E");
}
