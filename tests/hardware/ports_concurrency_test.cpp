// Sends from several threads at once: each message leaves whole, never
// interleaved with another message or a clock byte. A send while the output
// port is being closed or opened is refused at once instead of waiting for
// the library's call (which may wait for a server that waits for the
// sender).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "hardware/MidiPorts.h"
#include "support_midi.h"

namespace {

// Everything the stream output wrote, and whether two sends ever overlapped.
struct Stream {
  std::mutex mutex;
  std::vector<uint8_t> bytes;
  std::atomic<int> inside{0}, overlaps{0};
};

// An output port that copies a message into the wire one byte at a time,
// giving other threads a chance after its first byte, as a library that
// writes into a ring buffer piecewise does. It is not safe for concurrent
// use. (Once a message: a yield hands a busy core to the other work for a
// whole time slice, and one after every byte made a run take minutes.)
class StreamOut : public MidiOutClient {
 public:
  explicit StreamOut(Stream& s) : m_s(s) {}
  unsigned portCount() override { return 1; }
  std::string portName(unsigned) override { return "Wire"; }
  bool openPort(unsigned, const std::string&) override { return m_open = true; }
  bool openVirtualPort(const std::string&) override { return m_open = true; }
  void closePort() override { m_open = false; }
  bool isPortOpen() const override { return m_open; }
  bool send(const uint8_t* bytes, size_t size) override {
    if (++m_s.inside > 1) ++m_s.overlaps;
    for (size_t i = 0; i < size; ++i) {
      {
        std::lock_guard<std::mutex> lock(m_s.mutex);
        m_s.bytes.push_back(bytes[i]);
      }
      if (i == 0) std::this_thread::yield();
    }
    --m_s.inside;
    return true;
  }

 private:
  Stream& m_s;
  bool m_open = false;
};

struct StreamBackend : MidiBackend {
  Stream& s;
  explicit StreamBackend(Stream& stream) : s(stream) {}
  std::string apiName() const override { return "stream"; }
  std::unique_ptr<MidiOutClient> makeOut(const std::string&) override { return std::make_unique<StreamOut>(s); }
  std::unique_ptr<MidiInClient> makeIn(const std::string&, unsigned) override { return nullptr; }
};

// The wire read back into whole messages; why names the first byte that
// does not continue one.
struct Parsed {
  int dumps = 0, controls = 0, clocks = 0;
  std::string why;
};

struct PortsConcurrency : ::testing::Test {
  Stream stream;
  MidiPorts ports{std::make_unique<StreamBackend>(stream)};
  void SetUp() override {
    int index = 1;
    ASSERT_EQ(ports.openOut(index, "Wire"), 1);
  }

  Parsed parseWire() const {
    const std::vector<uint8_t>& w = stream.bytes;
    Parsed p;
    for (size_t i = 0; i < w.size() && p.why.empty();) {
      const uint8_t status = w[i];
      if (status == 0xF8) {
        ++p.clocks, i += 1;
      } else if (status == 0xB0 && i + 3 <= w.size() && w[i + 1] < 0x80 && w[i + 2] < 0x80) {
        ++p.controls, i += 3;
      } else if (status == 0xF0 && i + 137 <= w.size() && w[i + 136] == 0xF7 &&
                 std::all_of(&w[i + 2], &w[i + 136], [&](uint8_t b) { return b == w[i + 1]; })) {
        ++p.dumps, i += 137;
      } else {
        p.why = "no whole message at byte " + std::to_string(i);
      }
    }
    return p;
  }
};

TEST_F(PortsConcurrency, MessagesFromSeveralThreadsNeverInterleave) {
  constexpr int kEach = 150;
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  // Each thread sends count copies of one message once all have started.
  for (const auto& job : {std::pair<hwtest::Bytes, int>{hwtest::taggedDump(0x11), kEach},
                           {hwtest::taggedDump(0x22), kEach}, {{0xB0, 7, 0x40}, kEach}, {{0xF8}, kEach * 4}}) {
    threads.emplace_back([&, message = job.first, count = job.second] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < count; ++i) EXPECT_TRUE(ports.send(message.data(), message.size()));
    });
  }
  go = true;
  for (auto& t : threads) t.join();

  EXPECT_EQ(stream.overlaps, 0);
  const Parsed p = parseWire();
  EXPECT_EQ(p.why, "");
  EXPECT_EQ(p.dumps, 2 * kEach);
  EXPECT_EQ(p.controls, kEach);
  EXPECT_EQ(p.clocks, 4 * kEach);
}

// Closing the port while others send: a send either goes out whole before
// the close or is refused after it.
TEST_F(PortsConcurrency, ClosingWhileSendingLeavesNoHalfMessage) {
  std::atomic<int> accepted{0};
  std::thread sender([&] {
    const hwtest::Bytes dump = hwtest::taggedDump(0x33);
    for (int i = 0; i < 200; ++i) {
      if (ports.send(dump.data(), dump.size())) ++accepted;
    }
  });
  while (accepted < 5) std::this_thread::yield();
  int index = 0;
  ports.openOut(index, "Wire");
  sender.join();
  const Parsed p = parseWire();
  EXPECT_EQ(p.why, "");
  EXPECT_EQ(p.dumps, accepted.load());
}

// An output port whose opening and closing run a hook first, on the thread
// that opens or closes, as a library's call that waits for its server.
class HookedOut : public MidiOutClient {
 public:
  explicit HookedOut(std::function<void()>& hook) : m_hook(hook) {}
  unsigned portCount() override { return 2; }
  std::string portName(unsigned i) override { return i ? "Two" : "One"; }
  bool openPort(unsigned, const std::string&) override {
    if (m_hook) m_hook();
    return m_open = true;
  }
  bool openVirtualPort(const std::string&) override {
    if (m_hook) m_hook();
    return m_open = true;
  }
  void closePort() override {
    if (m_hook) m_hook();
    m_open = false;
  }
  bool isPortOpen() const override { return m_open; }
  bool send(const uint8_t*, size_t) override { return m_open; }

 private:
  std::function<void()>& m_hook;
  bool m_open = false;
};

struct HookedBackend : MidiBackend {
  std::function<void()>& hook;
  explicit HookedBackend(std::function<void()>& h) : hook(h) {}
  std::string apiName() const override { return "hooked"; }
  std::unique_ptr<MidiOutClient> makeOut(const std::string&) override { return std::make_unique<HookedOut>(hook); }
  std::unique_ptr<MidiInClient> makeIn(const std::string&, unsigned) override { return nullptr; }
};

TEST(PortsSwitch, ASendWhileThePortOpensOrClosesIsRefusedWithoutWaiting) {
  std::function<void()> hook;
  MidiPorts ports(std::make_unique<HookedBackend>(hook));
  int index = 1;
  ASSERT_EQ(ports.openOut(index, "One"), 1);
  const hwtest::Bytes note = {0x90, 60, 100};
  ASSERT_TRUE(ports.send(note.data(), note.size()));

  // Within each call of the library, another thread sends. A send that
  // waited for the opener would still be waiting after the bound (which
  // only keeps old faults from hanging the test).
  int calls = 0, answered = 0, accepted = 0;
  std::vector<std::future<bool>> late;  // ended only once the opener let go
  hook = [&] {
    ++calls;
    auto sent = std::async(std::launch::async, [&] { return ports.send(note.data(), note.size()); });
    if (sent.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      late.push_back(std::move(sent));
      return;
    }
    ++answered;
    if (sent.get()) ++accepted;
  };
  index = 2;
  EXPECT_EQ(ports.openOut(index, "Two"), 2);  // closes One, opens Two
  EXPECT_TRUE(ports.initializeVirtualOutput("Editor"));
  hook = nullptr;
  for (auto& f : late) f.wait();
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(answered, calls);
  EXPECT_EQ(accepted, 0);
  // Sends go out again once the port is open.
  EXPECT_TRUE(ports.outOpen());
  EXPECT_TRUE(ports.send(note.data(), note.size()));
}

}  // namespace
