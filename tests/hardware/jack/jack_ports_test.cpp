// The plug-in's hardware ports over real MIDI ports: RtMidi's JACK interface
// on a private JACK server, with the simulated synthesizer on the other end.
//
// JACK carries MIDI once per period (128 frames at 48 kHz here), so every
// wait for an answer is bounded and generous, and messages go out one at a
// time as the protocol sends them: a request, then its answer.
#include <gtest/gtest.h>

#include <algorithm>

#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiPorts.h"
#include "hardware/SoundDump.h"
#include "hardware/SysexProtocol.h"
#include "jackserver/JackServer.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

using hwtest::Bytes;
using synthsim::SynthSimulator;

namespace {

constexpr auto kAnswerLimit = std::chrono::milliseconds(2000);

Bytes toBytes(const sounddump::Dump& d) { return Bytes(d.begin(), d.end()); }

class JackPorts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<JackServer>();
    if (server->running()) server->exportToEnvironment();
  }
  static void TearDownTestSuite() { server.reset(); }

  void SetUp() override {
    ASSERT_TRUE(server->running()) << "the private JACK server did not start: " << server->error();
    simBackend = makeRtMidiBackend("jack");
    sim = std::make_unique<SynthSimulator>(*simBackend);
    ASSERT_TRUE(sim->ready()) << "the simulator's JACK ports could not be made";
    ports = std::make_unique<MidiPorts>(makeRtMidiBackend("jack"));
    ports->setInputSink(&editor);
    ports->outNames();
    ports->inNames();
    ASSERT_EQ(ports->apiName(), "jack");
  }

  void TearDown() override {
    ports.reset();
    sim.reset();
    simBackend.reset();
  }

  void openBoth() {
    int index = 1;
    ASSERT_GT(ports->openOut(index, kSimIn), 0);
    index = 1;
    ASSERT_GT(ports->openIn(index, kSimOut), 0);
  }

  bool send(const Bytes& b) { return ports->send(b.data(), b.size()); }

  // Sends a request and waits for one answer; retries a lost message twice.
  Bytes request(const Bytes& wire, int& retries) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      const size_t before = editor.count();
      if (attempt > 0) ++retries;
      EXPECT_TRUE(send(wire));
      if (editor.waitFor(before + 1, kAnswerLimit)) return editor.messages()[before];
    }
    return Bytes();
  }

  static constexpr const char* kSimIn = "Sorrel Synth In:MIDI In";
  static constexpr const char* kSimOut = "Sorrel Synth Out:MIDI Out";
  static inline std::unique_ptr<JackServer> server;
  hwtest::Recorder editor;
  std::unique_ptr<MidiBackend> simBackend;
  std::unique_ptr<SynthSimulator> sim;
  std::unique_ptr<MidiPorts> ports;
};

TEST_F(JackPorts, OpensTheSynthesizerPortsByName) {
  const auto& outs = ports->outNames();
  const auto& ins = ports->inNames();
  ASSERT_FALSE(outs.empty());
  EXPECT_EQ(outs[0], "OFF");
  EXPECT_EQ(ins[0], "OFF");
  const int outPos = ports->findOut(kSimIn);
  const int inPos = ports->findIn(kSimOut);
  ASSERT_GT(outPos, 0) << "the simulator's input is not offered";
  ASSERT_GT(inPos, 0) << "the simulator's output is not offered";

  int index = 1;
  EXPECT_EQ(ports->openOut(index, kSimIn), outPos);
  EXPECT_EQ(index, outPos);
  EXPECT_TRUE(ports->outOpen());
  index = 1;
  EXPECT_EQ(ports->openIn(index, kSimOut), inPos);
  EXPECT_EQ(ports->openInIndex(), inPos);

  // The plug-in's own ports appear under the library's client and port names.
  MidiPorts observer(makeRtMidiBackend("jack"));
  const auto& seen = observer.inNames();
  EXPECT_NE(std::find(seen.begin(), seen.end(), "RtMidi Output Client:RtMidi Output"), seen.end());

  // Choosing "OFF" closes the port again.
  index = 1;
  EXPECT_EQ(ports->openOut(index, "OFF"), 0);
  EXPECT_FALSE(ports->outOpen());
  const uint8_t clock = 0xF8;
  EXPECT_FALSE(ports->send(&clock, 1));
}

TEST_F(JackPorts, SoundRequestGetsTheRightDump) {
  openBoth();
  int retries = 0;
  const sysex::Location where = sysex::encodeLocation(3, 45);
  const Bytes answer = request(sysex::frameSysex(sysex::soundRequest(0, where)), retries);
  ASSERT_EQ(answer.size(), 137u);
  EXPECT_EQ(answer, toBytes(SynthSimulator::answerFor(SynthSimulator::factorySound(3, 45), 0, where)));
  EXPECT_EQ(answer[135], sysex::calculateCheckSum(answer));
  RecordProperty("retries", retries);
}

TEST_F(JackPorts, EnquiryToAnotherDeviceIdStaysUnanswered) {
  openBoth();
  ASSERT_TRUE(send(sysex::frameSysex(sysex::globalRequest(5))));
  // A second enquiry, to the right ID, marks the end: its answer would come
  // after any answer to the first, since both travel in order.
  int retries = 0;
  const Bytes answer = request(sysex::frameSysex(sysex::globalRequest(0)), retries);
  ASSERT_EQ(answer.size(), sysex::kGlobalDumpLength);
  EXPECT_EQ(answer, sim->globalDump());
  EXPECT_EQ(editor.messages().front(), answer);
  EXPECT_GE(sim->ignoredRequests(), 1u);
  EXPECT_EQ(sim->ignoredRequests() + retries + 1, sim->received().size());
}

TEST_F(JackPorts, HundredDumpsEachWayArriveByteExact) {
  openBoth();
  // From the instrument: the bank request, one location at a time, each
  // request waiting for its answer.
  int retries = 0;
  for (int slot = 0; slot < 100; ++slot) {
    const sysex::Location where = sysex::encodeLocation(2, slot);
    const Bytes answer = request(sysex::frameSysex(sysex::soundRequest(0, where)), retries);
    ASSERT_EQ(answer, toBytes(SynthSimulator::answerFor(SynthSimulator::factorySound(2, slot), 0, where)))
        << "slot " << slot;
  }
  // To the instrument: a bank store, each dump sent once the previous one
  // has been taken in.
  std::vector<sounddump::Dump> sent;
  for (int slot = 0; slot < 100; ++slot) {
    sounddump::Dump d = SynthSimulator::factorySound(4, 99 - slot);
    sounddump::address(d, 0, sysex::encodeLocation(1, slot));
    sent.push_back(d);
    const size_t before = sim->handled();
    ASSERT_TRUE(send(toBytes(d)));
    ASSERT_TRUE(sim->waitHandled(before + 1, static_cast<int>(kAnswerLimit.count()))) << "dump " << slot << " lost";
  }
  for (int slot = 0; slot < 100; ++slot) EXPECT_EQ(sim->sound(1, slot), sent[static_cast<size_t>(slot)]) << slot;
  EXPECT_EQ(sim->storedDumps(), 100u);
  EXPECT_EQ(sim->rejectedDumps(), 0u);
  RecordProperty("retries", retries);
}

TEST_F(JackPorts, InstrumentMessagesReachThePluginWithTimingClockDropped) {
  openBoth();
  ASSERT_TRUE(sim->sendControlChange(1, 74, 99));
  ASSERT_TRUE(sim->sendRaw({0xF8}));
  ASSERT_TRUE(sim->sendProgramChange(2, 7));
  ASSERT_TRUE(sim->sendSingleParameter(0x01, 0x22, 0x40));
  ASSERT_TRUE(editor.waitFor(3, kAnswerLimit));
  const std::vector<Bytes> expected{{0xB0, 74, 99},
                                    {0xC1, 7},
                                    {0xF0, 0x3E, 0x16, 0x58, 0x41, 0x01, 0x22, 0x40, 0x00, 0xF7}};
  EXPECT_EQ(editor.messages(), expected);
}

TEST_F(JackPorts, ClockBytesArriveInOrderWithRisingTimes) {
  openBoth();
  const uint8_t bytes[] = {0xFA, 0xF8, 0xF8, 0xF8, 0xFC};
  for (uint8_t b : bytes) {
    const size_t before = sim->handled();
    ASSERT_TRUE(ports->send(&b, 1));
    ASSERT_TRUE(sim->waitHandled(before + 1, static_cast<int>(kAnswerLimit.count())));
  }
  const auto events = sim->clockEvents();
  ASSERT_EQ(events.size(), 5u);
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].byte, bytes[i]);
    if (i > 0) {
      EXPECT_GE(events[i].micros, events[i - 1].micros);
    }
  }
}

}  // namespace
