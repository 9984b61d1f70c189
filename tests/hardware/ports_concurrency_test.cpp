// Sends from several threads at once: each message leaves whole, never
// interleaved with another message or a clock byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "hardware/MidiPorts.h"
#include "support_midi.h"

namespace {

// Everything the stream output wrote, and whether two sends ever overlapped.
struct Stream {
  std::mutex mutex;
  std::vector<uint8_t> bytes;
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
};

// An output port that copies a message into the wire one byte at a time,
// giving other threads a chance between bytes, as a library that writes
// into a ring buffer piecewise does. It is not safe for concurrent use.
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
      std::this_thread::yield();
    }
    --m_s.inside;
    return true;
  }

 private:
  Stream& m_s;
  bool m_open = false;
};

class StreamBackend : public MidiBackend {
 public:
  explicit StreamBackend(Stream& s) : m_s(s) {}
  std::string apiName() const override { return "stream"; }
  std::unique_ptr<MidiOutClient> makeOut(const std::string&) override { return std::make_unique<StreamOut>(m_s); }
  std::unique_ptr<MidiInClient> makeIn(const std::string&, unsigned) override { return nullptr; }

 private:
  Stream& m_s;
};

// The wire read back into whole messages; why names the first byte that
// does not continue one.
struct Parsed {
  int dumps = 0, controls = 0, clocks = 0;
  std::string why;
};

Parsed parseWire(const std::vector<uint8_t>& w) {
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

TEST(PortsConcurrency, MessagesFromSeveralThreadsNeverInterleave) {
  Stream stream;
  MidiPorts ports(std::make_unique<StreamBackend>(stream));
  int index = 1;
  ASSERT_EQ(ports.openOut(index, "Wire"), 1);

  constexpr int kEach = 150;
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  // Each thread sends count copies of one message once all have started.
  auto sender = [&](hwtest::Bytes message, int count) {
    threads.emplace_back([&, message, count] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < count; ++i) EXPECT_TRUE(ports.send(message.data(), message.size()));
    });
  };
  sender(hwtest::taggedDump(0x11), kEach);
  sender(hwtest::taggedDump(0x22), kEach);
  sender({0xB0, 7, 0x40}, kEach);
  sender({0xF8}, kEach * 4);
  go = true;
  for (auto& t : threads) t.join();

  EXPECT_EQ(stream.overlaps, 0);
  const Parsed p = parseWire(stream.bytes);
  EXPECT_EQ(p.why, "");
  EXPECT_EQ(p.dumps, 2 * kEach);
  EXPECT_EQ(p.controls, kEach);
  EXPECT_EQ(p.clocks, 4 * kEach);
}

// Closing the port while others send: a send either goes out whole before
// the close or is refused after it.
TEST(PortsConcurrency, ClosingWhileSendingLeavesNoHalfMessage) {
  Stream stream;
  MidiPorts ports(std::make_unique<StreamBackend>(stream));
  int index = 1;
  ASSERT_EQ(ports.openOut(index, "Wire"), 1);
  std::atomic<int> accepted{0};
  std::thread sender([&] {
    const hwtest::Bytes dump = hwtest::taggedDump(0x33);
    for (int i = 0; i < 200; ++i) {
      if (ports.send(dump.data(), dump.size())) ++accepted;
    }
  });
  while (accepted < 5) std::this_thread::yield();
  index = 0;
  ports.openOut(index, "Wire");
  sender.join();
  const Parsed p = parseWire(stream.bytes);
  EXPECT_EQ(p.why, "");
  EXPECT_EQ(p.dumps, accepted.load());
}

}  // namespace
