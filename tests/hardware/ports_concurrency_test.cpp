// Sends from several threads at once: each message leaves whole, never
// interleaved with another message or a clock byte.
#include <gtest/gtest.h>

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

// Reads the wire back into messages; false at the first byte that does not
// continue a whole message.
bool parseWire(const std::vector<uint8_t>& w, int& dumps, int& controls, int& clocks, std::string& why) {
  size_t i = 0;
  while (i < w.size()) {
    const uint8_t status = w[i];
    if (status == 0xF8) {
      ++clocks;
      i += 1;
    } else if (status == 0xB0) {
      if (i + 3 > w.size() || w[i + 1] >= 0x80 || w[i + 2] >= 0x80) {
        why = "control change cut at " + std::to_string(i);
        return false;
      }
      ++controls;
      i += 3;
    } else if (status == 0xF0) {
      if (i + 137 > w.size() || w[i + 136] != 0xF7) {
        why = "dump without its end at " + std::to_string(i);
        return false;
      }
      for (size_t k = i + 2; k < i + 136; ++k) {
        if (w[k] != w[i + 1]) {
          why = "dump interleaved at " + std::to_string(k);
          return false;
        }
      }
      ++dumps;
      i += 137;
    } else {
      why = "stray byte at " + std::to_string(i);
      return false;
    }
  }
  return true;
}

TEST(PortsConcurrency, MessagesFromSeveralThreadsNeverInterleave) {
  Stream stream;
  MidiPorts ports(std::make_unique<StreamBackend>(stream));
  int index = 1;
  ASSERT_EQ(ports.openOut(index, "Wire"), 1);

  constexpr int kEach = 150;
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (uint8_t tag : {uint8_t(0x11), uint8_t(0x22)}) {
    threads.emplace_back([&, tag] {
      while (!go) std::this_thread::yield();
      const hwtest::Bytes dump = hwtest::taggedDump(tag);
      for (int i = 0; i < kEach; ++i) EXPECT_TRUE(ports.send(dump.data(), dump.size()));
    });
  }
  threads.emplace_back([&] {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < kEach; ++i) {
      const uint8_t cc[3] = {0xB0, 7, static_cast<uint8_t>(i & 0x7F)};
      EXPECT_TRUE(ports.send(cc, 3));
    }
  });
  threads.emplace_back([&] {
    while (!go) std::this_thread::yield();
    const uint8_t clock = 0xF8;
    for (int i = 0; i < kEach * 4; ++i) EXPECT_TRUE(ports.send(&clock, 1));
  });
  go = true;
  for (auto& t : threads) t.join();

  EXPECT_EQ(stream.overlaps, 0);
  int dumps = 0, controls = 0, clocks = 0;
  std::string why;
  EXPECT_TRUE(parseWire(stream.bytes, dumps, controls, clocks, why)) << why;
  EXPECT_EQ(dumps, 2 * kEach);
  EXPECT_EQ(controls, kEach);
  EXPECT_EQ(clocks, 4 * kEach);
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
  int dumps = 0, controls = 0, clocks = 0;
  std::string why;
  EXPECT_TRUE(parseWire(stream.bytes, dumps, controls, clocks, why)) << why;
  EXPECT_EQ(dumps, accepted.load());
}

}  // namespace
