// Where in the server's time the JACK clients put messages: an output client
// writes each one a period after it was sent, at the same place in the
// cycle, and an input client tells when each one arrived. The messages go
// from an output client to an input client of the same server, read back
// as frames. Trials that JACK disturbs (a lost message, a cycle that ran
// late) are repeated until one shows what is looked for (support_jack.h);
// what holds whatever the load is checked in every trial.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hardware/MidiBackendJack.h"
#include "platform/clock.h"
#include "support_jack.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---- the arithmetic, without a server

TEST(JackPlacement, AMessageGoesAsFarIntoItsCycleAsItWasSentIntoTheOneBefore) {
  struct Case {
    uint32_t stamp, previousStart, frames, offset;
  } const cases[] = {
      {1000, 1000, 256, 0},                     // sent as the previous cycle began
      {1100, 1000, 256, 100},                   // a hundred frames into it
      {1255, 1000, 256, 255},                   // its last frame
      {1256, 1000, 256, 255},                   // sent during this cycle, before it ran: its last frame
      {5000, 1000, 256, 255},                   // a stamp far ahead stays in the cycle
      {999, 1000, 256, 0},                      // it waited a cycle or more: first
      {0, 1000, 256, 0},                        //
      {0xFFFFFFF0u, 0xFFFFFF00u, 256, 0xF0},    // frame time near its wrap
      {0x10, 0xFFFFFF80u, 256, 0x90},           // the stamp past the wrap
      {0xFFFFFFF0u, 0x10, 256, 0},              // waited across the wrap
      {7, 5, 1, 0},                             // a cycle of one frame
  };
  for (const Case& c : cases) {
    EXPECT_EQ(jackEventOffset(c.stamp, c.previousStart, c.frames), c.offset)
        << c.stamp << " after a cycle from " << c.previousStart << " of " << c.frames;
  }
}

TEST(JackPlacement, JackTimesMoveOverToTheOtherClock) {
  struct Case {
    uint64_t jackAt, jackNow, otherNow, expected;
  } const cases[] = {
      {9'000, 10'000, 50'000, 49'000},  // a millisecond ago
      {10'000, 10'000, 50'000, 50'000}, // now
      {12'500, 10'000, 50'000, 52'500}, // a frame of the cycle that lies ahead
      {1'000, 10'000, 5'000, 0},        // before the other clock began
      {1'000, 10'000, 9'000, 0},        // as it began
  };
  for (const Case& c : cases)
    EXPECT_EQ(jackTimeOnClock(c.jackAt, c.jackNow, c.otherNow), c.expected) << c.jackAt << " " << c.jackNow;
}

// ---- on a server

struct Arrived {
  Bytes bytes;
  JackArrival at;
  uint32_t frame() const { return at.cycleStart + at.offset; }  // wraps as frame time does
};

// An input client with a port of its own that records each message with
// where it arrived.
struct FrameReceiver {
  std::string name = jacktest::uniqueName("Frames In");
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<Arrived> got;
  std::vector<uint64_t> times;  // what a timed receiver was told
  // Last, so that it goes first: its delivery thread writes the records.
  std::unique_ptr<JackMidiIn> in = makeJackMidiIn(name, 100);

  FrameReceiver() {
    if (!in) return;
    in->ignoreTypes(false, false, false);
    in->setFrameCallback([this](const uint8_t* b, size_t n, JackArrival at) { record(b, n, at); });
    if (!in->openVirtualPort("in")) in.reset();
  }
  // From now on as a timed receiver, with no frames.
  void timed() {
    in->setTimedCallback([this](const uint8_t* b, size_t n, uint64_t micros) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        times.push_back(micros);
      }
      record(b, n, JackArrival{});
    });
  }
  void record(const uint8_t* b, size_t n, JackArrival at) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      got.push_back({Bytes(b, b + n), at});
    }
    cv.notify_all();
  }
  std::string port() const { return name + ":in"; }

  void clear() {
    std::lock_guard<std::mutex> lock(mutex);
    got.clear();
  }
  // The messages of one trial (their second byte is its tag), once all n
  // have come; fewer when the limit passes first.
  std::vector<Arrived> trial(uint8_t tag, size_t n, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex);
    std::vector<Arrived> mine;
    cv.wait_for(lock, limit, [&] {
      mine.clear();
      for (const Arrived& a : got)
        if (a.bytes.size() > 1 && a.bytes[1] == tag) mine.push_back(a);
      return mine.size() >= n;
    });
    return mine;
  }
};

struct JackTiming : jacktest::OnPrivateServer {
  void SetUp() override {
    OnPrivateServer::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(rx.in && out);
    bool opened = false;
    for (unsigned i = 0; i < out->portCount() && !opened; ++i)
      if (out->portName(i) == rx.port()) opened = out->openPort(i, "out");
    ASSERT_TRUE(opened);
  }

  // Sends the messages with the stamps given, as one trial, and waits for
  // them. Checks what holds in every trial: they arrive in the order sent
  // (whatever JACK loses). Returns what arrived, all of it or less; nothing
  // when the frames the receiver was given go back, which only a cycle that
  // ran so late that the server had begun the next one shows (its frame
  // time is then the next cycle's): such a trial says nothing of where the
  // messages went.
  std::vector<Arrived> runTrial(std::vector<Bytes> messages, const std::vector<uint32_t>& stamps,
                                std::chrono::milliseconds limit) {
    const uint8_t tag = nextTag++ & 0x7F;
    rx.clear();
    for (size_t i = 0; i < messages.size(); ++i) {
      messages[i][1] = tag;
      EXPECT_TRUE(out->sendStamped(messages[i].data(), messages[i].size(), stamps[i])) << i;
    }
    const auto got = rx.trial(tag, messages.size(), limit);
    size_t next = 0;
    bool frameWentBack = false;
    for (size_t k = 0; k < got.size(); ++k) {
      while (next < messages.size() && got[k].bytes != messages[next]) ++next;
      EXPECT_LT(next, messages.size()) << "message " << k << " of the trial came out of order";
      if (k > 0 && static_cast<int32_t>(got[k].frame() - got[k - 1].frame()) < 0) frameWentBack = true;
    }
    if (frameWentBack) return {};
    return got;
  }

  // Each of the offsets, as the output client puts a message with the given
  // stamp into the cycle it arrived in, the messages ahead of it in the same
  // cycle having been put at the offsets before it.
  std::vector<uint32_t> placedOffsets(const std::vector<Arrived>& got, const std::vector<uint32_t>& stamps) const {
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < got.size(); ++i) {
      uint32_t at = jackEventOffset(stamps[i], got[i].at.cycleStart - period, period);
      if (i > 0 && got[i - 1].at.cycleStart == got[i].at.cycleStart) at = std::max(at, offsets.back());
      offsets.push_back(at);
    }
    return offsets;
  }
  // Whether the trial arrived whole within one cycle, its first and last
  // stamps within the cycle before (so that none was kept from its place by
  // the cycle's bounds).
  bool wholeInOneCycle(const std::vector<Arrived>& got, const std::vector<uint32_t>& stamps) const {
    if (got.size() != stamps.size() || got.front().at.cycleStart != got.back().at.cycleStart) return false;
    const uint32_t previousStart = got.front().at.cycleStart - period;
    return static_cast<int32_t>(stamps.front() - previousStart) >= 0 &&
           static_cast<int32_t>(stamps.back() - previousStart) < static_cast<int32_t>(period);
  }

  const uint32_t period = server ? server->period() : 0;
  FrameReceiver rx;
  std::unique_ptr<JackMidiOut> out = makeJackMidiOut(jacktest::uniqueName("Frames Out"));
  unsigned nextTag = 1;
};

Bytes controlChange(uint8_t n) { return {0xB0, 0, n}; }

// A trial shows where messages go only when no cycle near it ran late; on a
// loaded machine most do not, so a search for a usable trial takes more
// trials than an exchange does before it fails (well within the test's
// limit).
constexpr auto kTrialBudget = std::chrono::seconds(100);

std::vector<uint32_t> offsetsOf(const std::vector<Arrived>& got) {
  std::vector<uint32_t> offsets;
  for (const Arrived& a : got) offsets.push_back(a.at.offset);
  return offsets;
}

// Messages sent 0, 7, 19 and 60 frames apart during one cycle arrive in the
// next cycle as far apart, each a period after its stamp.
TEST_F(JackTiming, MessagesSentWithinACycleArriveAsFarApart) {
  const std::vector<uint32_t> distances{0, 7, 19, 60};
  std::vector<Arrived> got;
  std::vector<uint32_t> stamps;
  const bool seen = jacktest::repeat([&](auto limit) {
    const uint32_t now = out->frameTime();
    stamps.clear();
    std::vector<Bytes> messages;
    for (uint32_t d : distances) {
      stamps.push_back(now + d);
      messages.push_back(controlChange(static_cast<uint8_t>(d)));
    }
    got = runTrial(messages, stamps, limit);
    // A cycle that ran late can take messages stamped inside itself (the
    // frame clock read ahead of it); only a trial whose first message went a
    // period after its stamp shows the placing rule at work.
    return wholeInOneCycle(got, stamps) && got[0].frame() - stamps[0] == period;
  }, nullptr, kTrialBudget);
  ASSERT_TRUE(seen) << "no trial arrived whole within one cycle";
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].frame() - got[0].frame(), distances[i]) << i;
    EXPECT_EQ(got[i].frame() - stamps[i], period) << i;
  }
}

// Two messages that one cycle's port buffer cannot hold both: the second
// waits for a later cycle and goes at its first frame, and what was sent
// after it follows, each where the placing rule puts it.
TEST_F(JackTiming, AMessageTheFullPortHeldBackGoesFirstInALaterCycle) {
  // A MIDI port's buffer holds some 32 KiB: one of these fits, two do not.
  Bytes big(20'000, 0x11);
  big.front() = 0xF0;
  big.back() = 0xF7;
  std::vector<Arrived> got;
  std::vector<uint32_t> stamps;
  const bool seen = jacktest::repeat([&](auto limit) {
    const uint32_t now = out->frameTime();
    stamps = {now, now + 1, now + 2};
    got = runTrial({big, big, controlChange(1)}, stamps, limit);
    if (got.size() != 3) return false;
    // Only a trial where the first was written a period after its stamp
    // shows the second held back: it was due in the same cycle.
    return got[0].frame() - stamps[0] == period && got[1].at.cycleStart != got[0].at.cycleStart;
  }, nullptr, kTrialBudget);
  ASSERT_TRUE(seen) << "no trial had the port full";
  // How many cycles later the second and the third went depends on how soon
  // the sender wrote them; where they went in their cycles does not.
  EXPECT_EQ(got[1].at.offset, 0u);
  EXPECT_LT(got[2].at.cycleStart - got[1].at.cycleStart, 0x80000000u) << "the third went before the second";
  EXPECT_EQ(offsetsOf(got), placedOffsets(got, stamps));
}

// Stamps out of order, and one from long ago, still give a cycle whose
// events never go back: each goes no earlier than the one ahead of it.
TEST_F(JackTiming, EventsOfACycleNeverGoBack) {
  std::vector<Arrived> got;
  std::vector<uint32_t> stamps;
  const bool seen = jacktest::repeat([&](auto limit) {
    const uint32_t now = out->frameTime();
    stamps = {now + 40, now + 10, now + 25, now - 5 * period, now + 50};
    got = runTrial({controlChange(0), controlChange(1), controlChange(2), controlChange(3), controlChange(4)},
                   stamps, limit);
    // As in the first test: only a trial whose first message went a period
    // after its stamp shows the rule.
    return wholeInOneCycle(got, stamps) && got[0].frame() - stamps[0] == period;
  }, nullptr, kTrialBudget);
  ASSERT_TRUE(seen) << "no trial arrived whole within one cycle";
  const uint32_t first = got[0].at.offset;
  EXPECT_EQ(offsetsOf(got), (std::vector<uint32_t>{first, first, first, first, first + 10}));
  EXPECT_EQ(offsetsOf(got), placedOffsets(got, stamps));
}

// A timed receiver is given the arrival on the clock in force: a test's
// clock stands for the system's, and the message is stamped as it comes.
TEST_F(JackTiming, ATimedReceiverOnATestClockIsStampedAtDelivery) {
  platform::ManualClock clock;
  clock.advance(123'456);
  platform::ScopedClock scope(clock);
  rx.timed();
  EXPECT_TRUE(jacktest::repeat([&](auto limit) {
    return runTrial({controlChange(0)}, {out->frameTime()}, limit).size() == 1;
  }));
  std::lock_guard<std::mutex> lock(rx.mutex);
  EXPECT_FALSE(rx.times.empty());
  for (uint64_t t : rx.times) EXPECT_EQ(t, 123'456u);
}

}  // namespace
