// The simulated synthesizer on the loopback, driven through the plug-in's
// own port layer: answers, device IDs, the store, clock records, sends and
// fault modes.
#include <gtest/gtest.h>

#include "hardware/MidiPorts.h"
#include "hardware/SoundDump.h"
#include "hardware/SysexProtocol.h"
#include "platform/clock.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

using hwtest::Bytes;
using hwtest::toBytes;
using synthsim::Fault;
using synthsim::SynthSimulator;

namespace {

struct SynthSimTest : ::testing::Test {
  platform::ManualClock clock;
  platform::ScopedClock clockScope{clock};
  LoopbackHub hub;
  std::unique_ptr<MidiBackend> simBackend = hub.makeBackend();
  SynthSimulator sim{*simBackend};
  hwtest::Recorder editor;
  MidiPorts ports{hub.makeBackend()};

  void SetUp() override {
    ASSERT_TRUE(sim.ready());
    ports.setInputSink(&editor);
    int index = 1;
    ASSERT_GT(ports.openOut(index, "MIDI In"), 0);
    index = 1;
    ASSERT_GT(ports.openIn(index, "MIDI Out"), 0);
  }

  // Sends framed bytes and returns what came back once everything settled.
  std::vector<Bytes> exchange(const Bytes& wire) {
    editor.clear();
    EXPECT_TRUE(ports.send(wire.data(), wire.size()));
    settle();
    return editor.messages();
  }
  void settle() {
    hub.drain();
    sim.waitIdle();
    hub.drain();
  }
  static Bytes wire(const std::vector<uint8_t>& unframed) { return sysex::frameSysex(unframed); }
};

TEST_F(SynthSimTest, AnswersTheDeviceIdEnquiryOnlyForItsOwnId) {
  auto got = exchange(wire(sysex::globalRequest(0)));
  ASSERT_EQ(got.size(), 1u);
  const Bytes& g = got[0];
  ASSERT_EQ(g.size(), sysex::kGlobalDumpLength);
  EXPECT_EQ(Bytes(g.begin(), g.begin() + 6), (Bytes{0xF0, 0x3E, 0x16, 0x00, 0x14, 54}));  // master tune centred
  EXPECT_EQ(g.back(), 0xF7);
  EXPECT_EQ(sysex::classify(g.data(), g.size()).kind, sysex::MessageKind::GlobalDump);

  EXPECT_TRUE(exchange(wire(sysex::globalRequest(3))).empty());
  EXPECT_EQ(sim.ignoredRequests(), 1u);
  sim.setDeviceId(3);
  EXPECT_TRUE(exchange(wire(sysex::globalRequest(0))).empty());
  got = exchange(wire(sysex::globalRequest(3)));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][3], 3);
  EXPECT_EQ(got[0][9], 3);  // the settings repeat the device ID
  EXPECT_EQ(sim.ignoredRequests(), 2u);
}

TEST_F(SynthSimTest, AnswersSoundAndEditBufferRequestsFromItsStore) {
  const sysex::Location where = sysex::encodeLocation(1, 30);
  auto got = exchange(wire(sysex::soundRequest(0, where)));
  ASSERT_EQ(got.size(), 1u);
  const Bytes& d = got[0];
  EXPECT_EQ(d, hwtest::storedAnswer(1, 30));
  ASSERT_EQ(d.size(), 137u);
  EXPECT_EQ(Bytes(d.begin(), d.begin() + 7), (Bytes{0xF0, 0x3E, 0x16, 0x00, 0x10, 0x01, 0x02}));
  EXPECT_EQ(d[135], sysex::calculateCheckSum(d));
  EXPECT_EQ(std::string(d.begin() + 120, d.begin() + 134), "SIM 1-30      ");
  // Every stored sound differs from its neighbours, so a mixed-up answer shows.
  EXPECT_NE(SynthSimulator::factorySound(1, 30), SynthSimulator::factorySound(1, 31));
  EXPECT_NE(SynthSimulator::factorySound(0, 30), SynthSimulator::factorySound(1, 30));

  got = exchange(wire(sysex::editBufferRequest(0)));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], toBytes(SynthSimulator::answerFor(sounddump::initSinglePatch, 0, sysex::kEditBuffer)));

  // Location 500 and up, another device's request, or one for the older
  // model stays unanswered.
  Bytes older = wire(sysex::soundRequest(0, where));
  older[2] = sysex::kModelPrevious;
  for (const Bytes& request : {wire(sysex::soundRequest(0, sysex::Location{0x03, 0x74})),
                               wire(sysex::soundRequest(1, where)), older})
    EXPECT_TRUE(exchange(request).empty());
}

TEST_F(SynthSimTest, StoresIncomingDumpsWithAValidCheckByte) {
  sounddump::Dump d = SynthSimulator::factorySound(4, 99);
  d[49] = 5;
  sounddump::address(d, 0, sysex::encodeLocation(0, 7));
  EXPECT_TRUE(exchange(toBytes(d)).empty());
  EXPECT_EQ(sim.sound(0, 7), d);
  EXPECT_EQ(sim.storedDumps(), 1u);
  // And gives it back when asked.
  auto got = exchange(wire(sysex::soundRequest(0, sysex::encodeLocation(0, 7))));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], toBytes(d));

  sounddump::address(d, 0, sysex::kEditBuffer);
  exchange(toBytes(d));
  EXPECT_EQ(sim.editBuffer(), d);

  sounddump::Dump bad = d;
  bad[135] ^= 1;
  exchange(toBytes(bad));
  EXPECT_EQ(sim.rejectedDumps(), 1u);
  sounddump::Dump other = d;
  sounddump::address(other, 9, sysex::encodeLocation(0, 8));
  exchange(toBytes(other));
  EXPECT_EQ(sim.sound(0, 8), SynthSimulator::factorySound(0, 8));
  EXPECT_EQ(sim.storedDumps(), 2u);
}

TEST_F(SynthSimTest, RecordsClockBytesWithTheirArrivalTimes) {
  const uint64_t t0 = clock.monotonicMicros();
  for (uint8_t b : {0xFA, 0xF8, 0xF8, 0xFC}) {
    ASSERT_TRUE(ports.send(&b, 1));
    settle();
    clock.advance(20'833);  // one tick at 120 beats per minute
  }
  const auto events = sim.clockEvents();
  ASSERT_EQ(events.size(), 4u);
  const uint8_t expected[] = {0xFA, 0xF8, 0xF8, 0xFC};
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].byte, expected[i]);
    EXPECT_EQ(events[i].micros, t0 + i * 20'833);
  }
  // Active sensing is not recorded at all.
  const uint8_t sense = 0xFE;
  ports.send(&sense, 1);
  settle();
  EXPECT_EQ(sim.received().size(), 4u);
}

TEST_F(SynthSimTest, SendsChannelAndSingleParameterMessagesOnRequest) {
  ASSERT_TRUE(sim.sendControlChange(1, 74, 100));
  ASSERT_TRUE(sim.sendProgramChange(16, 5));
  ASSERT_TRUE(sim.sendSingleParameter(0x01, 0x22, 0x40));
  settle();
  const std::vector<Bytes> expected{{0xB0, 74, 100},
                                    {0xCF, 5},
                                    {0xF0, 0x3E, 0x16, 0x58, 0x41, 0x01, 0x22, 0x40, 0x00, 0xF7}};
  EXPECT_EQ(editor.messages(), expected);
  EXPECT_EQ(sim.sent(), expected);
}

TEST_F(SynthSimTest, FaultModes) {
  const Bytes request = wire(sysex::soundRequest(0, sysex::encodeLocation(0, 1)));
  const Bytes right = hwtest::storedAnswer(0, 1);
  auto only = [&](Fault f) {
    sim.setFault(f);
    auto got = exchange(request);
    EXPECT_EQ(got.size(), 1u) << synthsim::faultName(f);
    return got.empty() ? Bytes{} : got[0];
  };
  sim.setFault(Fault::Silent);
  EXPECT_TRUE(exchange(request).empty());

  sim.setDelayMicros(450'000);
  const uint64_t slept = clock.totalSlept();
  EXPECT_EQ(only(Fault::Delay), right);
  EXPECT_EQ(clock.totalSlept() - slept, 450'000u);
  EXPECT_EQ(only(Fault::Echo), request);

  sim.setTruncatedLength(60);
  Bytes got = only(Fault::Truncated);
  ASSERT_EQ(got.size(), 60u);
  EXPECT_EQ(Bytes(got.begin(), got.end() - 1), Bytes(right.begin(), right.begin() + 59));
  EXPECT_EQ(got.back(), 0xF7);

  sim.setOversizedLength(300);
  got = only(Fault::Oversized);
  ASSERT_EQ(got.size(), 300u);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 136), Bytes(right.begin(), right.end() - 1));
  EXPECT_EQ(got.back(), 0xF7);
  for (size_t i = 1; i + 1 < got.size(); ++i) EXPECT_LT(got[i], 0x80) << i;

  got = only(Fault::Garbage);
  ASSERT_EQ(got.size(), 137u);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 5), Bytes(right.begin(), right.begin() + 5));
  EXPECT_NE(got, right);
  EXPECT_NE(got[135], sysex::calculateCheckSum(got));
  EXPECT_EQ(got.back(), 0xF7);

  EXPECT_EQ(only(Fault::None), right);
}

TEST(SynthSimFaults, NamesRoundTrip) {
  for (Fault f : {Fault::None, Fault::Silent, Fault::Delay, Fault::Echo, Fault::Truncated, Fault::Oversized,
                  Fault::Garbage}) {
    Fault back = Fault::None;
    ASSERT_TRUE(synthsim::parseFault(synthsim::faultName(f), back));
    EXPECT_EQ(back, f);
  }
  Fault back = Fault::Echo;
  EXPECT_FALSE(synthsim::parseFault("loud", back));
  EXPECT_EQ(back, Fault::Echo);
}

TEST(SynthSimPorts, ReportsNotReadyWhenItsPortsCannotBeMade) {
  LoopbackHub hub;
  hub.setFailOpen(true);
  auto backend = hub.makeBackend();
  SynthSimulator sim(*backend);
  EXPECT_FALSE(sim.ready());
  EXPECT_FALSE(sim.sendControlChange(1, 1, 1));
}

}  // namespace
