// Joining the messages of a port's event stream: whole messages pass, a
// system-exclusive message in pieces is joined, real-time bytes inside it go
// on first, another status cuts it short, and one too long is dropped whole.
#include <gtest/gtest.h>

#include <vector>

#include "hardware/MidiEventJoin.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> joined(const std::vector<Bytes>& events, size_t capacity = 64) {
  MidiEventJoiner joiner(capacity);
  std::vector<Bytes> out;
  for (const Bytes& e : events)
    joiner.take(e.data(), e.size(), [&](const uint8_t* b, size_t n) { out.emplace_back(b, b + n); });
  return out;
}

TEST(MidiEventJoiner, JoinsPiecesAndPassesTheRest) {
  struct Case {
    const char* what;
    std::vector<Bytes> events, messages;
    size_t capacity = 64;
  } cases[] = {
      {"whole messages", {{0x90, 0x3C, 0x40}, {0xF0, 0x01, 0xF7}, {0xC0, 0x05}}, {{0x90, 0x3C, 0x40}, {0xF0, 0x01, 0xF7}, {0xC0, 0x05}}},
      {"pieces", {{0xF0, 0x3E, 0x16}, {0x01, 0x02}, {0x7F, 0xF7}}, {{0xF0, 0x3E, 0x16, 0x01, 0x02, 0x7F, 0xF7}}},
      {"a lone F7 ends it", {{0xF0, 0x01}, {0xF7}}, {{0xF0, 0x01, 0xF7}}},
      {"real time inside goes first", {{0xF0, 0x01}, {0xF8}, {0xFE}, {0x02, 0xF7}}, {{0xF8}, {0xFE}, {0xF0, 0x01, 0x02, 0xF7}}},
      {"another status cuts it short", {{0xF0, 0x01, 0x02}, {0xB0, 0x07, 0x64}, {0x03, 0xF7}},
       {{0xF0, 0x01, 0x02}, {0xB0, 0x07, 0x64}, {0x03, 0xF7}}},
      {"a new F0 cuts it short", {{0xF0, 0x01}, {0xF0, 0x02}, {0xF7}}, {{0xF0, 0x01}, {0xF0, 0x02, 0xF7}}},
      {"too long: dropped whole", {{0xF0, 1, 2, 3, 4, 5}, {6, 7, 8, 0xF7}, {0x80, 0x3C, 0}}, {{0x80, 0x3C, 0}}, 8},
      {"too long and cut: dropped", {{0xF0, 1, 2, 3, 4, 5, 6, 7, 8}, {0x80, 0x3C, 0}}, {{0x80, 0x3C, 0}}, 8},
      {"exactly the capacity", {{0xF0, 1, 2, 3}, {4, 5, 6, 0xF7}}, {{0xF0, 1, 2, 3, 4, 5, 6, 0xF7}}, 8},
      {"empty events change nothing", {{}, {0xF0, 0x01}, {}, {0xF7}}, {{0xF0, 0x01, 0xF7}}},
      {"data without a message passes", {{0x01, 0x02}}, {{0x01, 0x02}}},
  };
  for (const Case& c : cases) EXPECT_EQ(joined(c.events, c.capacity), c.messages) << c.what;
}

TEST(MidiEventJoiner, ResetForgetsAMessageBegun) {
  MidiEventJoiner joiner(64);
  std::vector<Bytes> out;
  auto emit = [&](const uint8_t* b, size_t n) { out.emplace_back(b, b + n); };
  const Bytes begun{0xF0, 0x01}, rest{0x02, 0xF7}, next{0xF0, 0x03, 0xF7};
  joiner.take(begun.data(), begun.size(), emit);
  joiner.reset();
  joiner.take(rest.data(), rest.size(), emit);
  joiner.take(next.data(), next.size(), emit);
  EXPECT_EQ(out, (std::vector<Bytes>{rest, next}));
}

}  // namespace
