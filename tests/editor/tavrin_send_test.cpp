#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/DebuggerOutput.h"
#include "editor/Tavrin.h"
#include "hardware/SoundDump.h"
#include "hardware/SysexProtocol.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "shim/winbase.h"
#include "open_ports.h"
#include "testsupport.h"
#include "hardware/ParameterList.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Recorded {
  std::vector<Bytes> sent;
  struct Push {
    int idx;
    double value;
    bool normalized;
  };
  std::vector<Push> pushes;
};

class RecordingGraphics : public IGraphicsBase {
 public:
  explicit RecordingGraphics(std::shared_ptr<Recorded> rec) : mRec(std::move(rec)) {}
  void SetParameterFromPlug(int idx, double value, bool normalized) override {
    mRec->pushes.push_back({idx, value, normalized});
  }
  void PrepDraw() override {}

 private:
  std::shared_ptr<Recorded> mRec;
};

class TavrinSend : public ::testing::Test {
 protected:
  void SetUp() override { makePlug(false); }

  void makePlug(bool withDebugLog) {
    plug.reset();
    rec = std::make_shared<Recorded>();
    if (withDebugLog) {
      ASSERT_TRUE(testsupport::writeFile(logPath(), std::string("old\n")));
    }
    plug = std::make_unique<Tavrin>(IPluginInstanceInfo{});
    plug->SetHardwarePorts(std::make_unique<edtest::OpenPorts>(
        [r = rec](const uint8_t* bytes, size_t size) { r->sent.emplace_back(bytes, bytes + size); }));
    plug->AttachGraphics(new RecordingGraphics(rec));
    rec->pushes.clear();  // attaching shows every parameter once
  }
  std::string logPath() const { return platform::dataFolder() + kDebugLogFileName; }
  std::string logText() const {
    const auto b = testsupport::readFile(logPath());
    return std::string(b.begin(), b.end());
  }
  static Bytes dump() {
    const auto d = sounddump::build(sounddump::Snapshot::fromInitSound());
    Bytes b(d.begin(), d.end());
    b[135] = 0x00;  // stale, to see it rewritten
    return b;
  }
  void send(Bytes& b) { plug->checksumCheckAndSend(b.data(), static_cast<int>(b.size())); }

  testsupport::ScopedFolders folders;
  platform::ManualClock clock{1'700'000'123'456'000ull};
  platform::ScopedClock scopedClock{clock};
  std::shared_ptr<Recorded> rec;
  std::unique_ptr<Tavrin> plug;
};

TEST_F(TavrinSend, NothingLeavesWhileMidiIOIsNotSet) {
  // A new plug-in starts with every parameter hidden, MIDI I/O not set and
  // the debug log off, writing no log file.
  EXPECT_EQ(plug->NParams(), kParameterCount);
  EXPECT_EQ(plug->NAutomatedParams(), 0);
  EXPECT_FALSE(plug->isMidiIOSet());
  EXPECT_FALSE(plug->isDebugLogOn());
  EXPECT_FALSE(testsupport::fileExists(logPath()));

  makePlug(true);
  ASSERT_TRUE(plug->isDebugLogOn());
  const std::string startLog = logText();
  plug->setLightTracksInput(false);
  Bytes d = dump();
  const Bytes before = d;
  send(d);
  Bytes request = sysex::globalRequest(0);
  send(request);
  EXPECT_TRUE(rec->sent.empty());
  EXPECT_TRUE(rec->pushes.empty());
  EXPECT_EQ(d, before);  // not even the checksum is written
  EXPECT_EQ(plug->statusText(), "Set MIDI I/O First!");
  EXPECT_FALSE(plug->isMidiLedOn());
  EXPECT_EQ(logText(), startLog);

  // Once set, the same message goes out; unset again, it is refused again.
  plug->setMidiIOSet(true);
  send(request);
  EXPECT_EQ(rec->sent.size(), 1u);
  plug->setMidiIOSet(false);
  send(request);
  EXPECT_EQ(rec->sent.size(), 1u);
}

TEST_F(TavrinSend, UnframedRequestIsFramedWithoutChecksumOrLightAndEmptyMessagesSendNothing) {
  plug->setMidiIOSet(true);
  plug->setLightTracksInput(false);
  plug->checksumCheckAndSend(nullptr, 8);
  Bytes none;
  plug->checksumCheckAndSend(none.data(), 0);
  EXPECT_TRUE(rec->sent.empty());

  Bytes request = sysex::soundRequest(3, sysex::encodeLocation(1, 30));
  send(request);
  ASSERT_EQ(rec->sent.size(), 1u);
  EXPECT_EQ(rec->sent[0], (Bytes{0xF0, 0x3E, 0x16, 0x03, 0x00, 0x01, 0x02, 0xF7}));
  EXPECT_TRUE(rec->pushes.empty());
  EXPECT_FALSE(plug->isMidiLedOn());
  EXPECT_EQ(plug->statusText(), "");
}

TEST_F(TavrinSend, FramedDumpGetsItsChecksumAndLightsTheLightOnce) {
  plug->setMidiIOSet(true);
  plug->setLightTracksInput(false);
  Bytes d = dump();
  send(d);
  ASSERT_EQ(rec->sent.size(), 1u);
  const Bytes& out = rec->sent[0];
  ASSERT_EQ(out.size(), 137u);
  EXPECT_EQ(out[135], calculateCheckSum(out));
  EXPECT_EQ(out[136], 0xF7);
  ASSERT_EQ(rec->pushes.size(), 1u);
  EXPECT_EQ(rec->pushes[0].idx, kMIDILed);
  EXPECT_EQ(rec->pushes[0].value, 1.0);
  EXPECT_FALSE(rec->pushes[0].normalized);
  EXPECT_TRUE(plug->isMidiLedOn());
  EXPECT_EQ(plug->midiLedTick(), GetTickCount());

  // A second dump while the light is on leaves it and its time alone.
  const uint32_t litAt = plug->midiLedTick();
  clock.advance(50'000);
  Bytes again = dump();
  send(again);
  EXPECT_EQ(rec->sent.size(), 2u);
  EXPECT_EQ(rec->pushes.size(), 1u);
  EXPECT_EQ(plug->midiLedTick(), litAt);

  // A light that follows the input is not lit by sends.
  makePlug(false);
  plug->setMidiIOSet(true);
  again = dump();
  send(again);
  EXPECT_EQ(rec->sent.size(), 1u);
  EXPECT_TRUE(rec->pushes.empty());
  EXPECT_FALSE(plug->isMidiLedOn());
}

TEST_F(TavrinSend, SentBytesAreLoggedOnlyWhileTheDebugLogIsOn) {
  plug->setMidiIOSet(true);
  Bytes request = sysex::globalRequest(2);
  send(request);
  EXPECT_FALSE(testsupport::fileExists(logPath()));

  makePlug(true);
  plug->setMidiIOSet(true);
  send(request);
  const std::string log = logText();
  EXPECT_NE(log.find("\t SYSEX OUT: 3E 16 02 04\n"), std::string::npos) << log;
  EXPECT_NE(log.rfind("old\n", 0), 0u);
}

}  // namespace
