// The simulated synthesizer on the loopback, driven through the plug-in's
// own port layer (answers, device IDs, the store, clock records, sends and
// fault modes), and the plug-in base wired to that port layer: what its
// senders put on the wire, how input reaches its hooks, and tear-down while
// the instrument keeps talking.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "framework/IPluginBase.h"
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

// Lets every message sent so far, and every answer to it, arrive.
void settle(LoopbackHub& hub, SynthSimulator& sim, IHardwarePorts* ports) {
  hub.drain();
  sim.waitIdle();
  hub.drain();
  if (auto* p = dynamic_cast<MidiPorts*>(ports)) p->waitIdle();
}

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
    ASSERT_GT(ports.openIn(index, "MIDI Out"), 0);
  }

  // Sends bytes and returns what came back once everything settled.
  std::vector<Bytes> exchange(const Bytes& wire) {
    editor.clear();
    EXPECT_TRUE(ports.send(wire.data(), wire.size()));
    settle(hub, sim, &ports);
    return editor.messages();
  }
  // The one answer to wire, or nothing.
  Bytes answer(const Bytes& wire) {
    const auto got = exchange(wire);
    EXPECT_EQ(got.size(), 1u);
    return got.empty() ? Bytes{} : got[0];
  }
  static Bytes wire(const std::vector<uint8_t>& unframed) { return sysex::frameSysex(unframed); }
};

TEST_F(SynthSimTest, AnswersTheDeviceIdEnquiryOnlyForItsOwnId) {
  const Bytes g = answer(wire(sysex::globalRequest(0)));
  ASSERT_EQ(g.size(), sysex::kGlobalDumpLength);
  EXPECT_EQ(Bytes(g.begin(), g.begin() + 6), (Bytes{0xF0, 0x3E, 0x16, 0x00, 0x14, 54}));  // master tune centred
  EXPECT_EQ(g.back(), 0xF7);
  EXPECT_EQ(sysex::classify(g.data(), g.size()).kind, sysex::MessageKind::GlobalDump);

  EXPECT_TRUE(exchange(wire(sysex::globalRequest(3))).empty());
  EXPECT_EQ(sim.ignoredRequests(), 1u);
  sim.setDeviceId(3);
  EXPECT_TRUE(exchange(wire(sysex::globalRequest(0))).empty());
  const Bytes g3 = answer(wire(sysex::globalRequest(3)));
  ASSERT_EQ(g3.size(), sysex::kGlobalDumpLength);
  EXPECT_EQ(g3[3], 3);
  EXPECT_EQ(g3[9], 3);  // the settings repeat the device ID
  EXPECT_EQ(sim.ignoredRequests(), 2u);
}

TEST_F(SynthSimTest, AnswersSoundAndEditBufferRequestsFromItsStore) {
  const sysex::Location where = sysex::encodeLocation(1, 30);
  const Bytes d = answer(wire(sysex::soundRequest(0, where)));
  EXPECT_EQ(d, hwtest::storedAnswer(1, 30));
  ASSERT_EQ(d.size(), 137u);
  EXPECT_EQ(Bytes(d.begin(), d.begin() + 7), (Bytes{0xF0, 0x3E, 0x16, 0x00, 0x10, 0x01, 0x02}));
  EXPECT_EQ(d[135], sysex::calculateCheckSum(d));
  EXPECT_EQ(std::string(d.begin() + 120, d.begin() + 134), "SIM 1-30      ");
  // Every stored sound differs from its neighbours, so a mixed-up answer shows.
  EXPECT_NE(SynthSimulator::factorySound(1, 30), SynthSimulator::factorySound(1, 31));
  EXPECT_NE(SynthSimulator::factorySound(0, 30), SynthSimulator::factorySound(1, 30));

  EXPECT_EQ(answer(wire(sysex::editBufferRequest(0))),
            toBytes(SynthSimulator::answerFor(sounddump::initSinglePatch, 0, sysex::kEditBuffer)));

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
  EXPECT_EQ(answer(wire(sysex::soundRequest(0, sysex::encodeLocation(0, 7)))), toBytes(d));

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
    settle(hub, sim, &ports);
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
  settle(hub, sim, &ports);
  EXPECT_EQ(sim.received().size(), 4u);
}

TEST_F(SynthSimTest, FaultModes) {
  const Bytes request = wire(sysex::soundRequest(0, sysex::encodeLocation(0, 1)));
  const Bytes right = hwtest::storedAnswer(0, 1);
  auto only = [&](Fault f) {
    SCOPED_TRACE(synthsim::faultName(f));
    sim.setFault(f);
    return answer(request);
  };
  sim.setFault(Fault::Silent);
  EXPECT_TRUE(exchange(request).empty());

  // A delayed answer waits for the clock to pass its time, moved by
  // somebody else.
  sim.setDelayMicros(450'000);
  sim.setFault(Fault::Delay);
  EXPECT_TRUE(exchange(request).empty());
  clock.advance(449'999);
  settle(hub, sim, &ports);
  EXPECT_TRUE(editor.messages().empty());
  clock.advance(1);
  settle(hub, sim, &ports);
  EXPECT_EQ(editor.messages(), std::vector<Bytes>{right});
  EXPECT_EQ(only(Fault::Echo), request);

  // Unanswered locations; bytes with the top bit set inside a message are
  // counted.
  sim.setFault(Fault::None);
  sim.setUnanswered(sysex::encodeLocation(0, 1), true);
  EXPECT_TRUE(exchange(request).empty());
  sim.setUnanswered(sysex::encodeLocation(0, 1), false);
  EXPECT_EQ(sim.highBitMessages(), 0u);
  exchange(Bytes{0xF0, 0x3E, 0x80, 0xF7});
  EXPECT_EQ(sim.highBitMessages(), 1u);

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

// The program's fault command takes the names back; an unknown one changes
// nothing. A simulator whose ports cannot be made says so and sends nothing.
TEST(SynthSimSetup, FaultNamesRoundTripAndUnmadePortsReportNotReady) {
  Fault back = Fault::Echo;
  EXPECT_FALSE(synthsim::parseFault("loud", back));
  EXPECT_EQ(back, Fault::Echo);
  for (int f = 0; f < 7; ++f) {
    ASSERT_TRUE(synthsim::parseFault(synthsim::faultName(static_cast<Fault>(f)), back));
    EXPECT_EQ(back, static_cast<Fault>(f));
  }
  LoopbackHub hub;
  hub.setFailOpen(true);
  auto backend = hub.makeBackend();
  SynthSimulator sim(*backend);
  EXPECT_FALSE(sim.ready());
  EXPECT_FALSE(sim.sendControlChange(1, 1, 1));
}

struct Short {
  uint8_t status, data1, data2;
  bool operator==(const Short&) const = default;
};

class Plug : public IPluginBase {
 public:
  Plug() : IPluginBase(2, "2-2", 1, "Ports", "Ports", "Tests", 0x10000, 1, 2, 0, true, true, false) {
    initialize(2, 2, "2-2", 1, "Ports", "Ports", "Tests", 0x10000, 1, 2, 0, true, true, false);
  }
  // Like the editor's own class: input stops before any member goes.
  ~Plug() override {
    if (GetHardwarePorts()) GetHardwarePorts()->shutdown();
    gone = true;
  }
  void ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) override {
    if (gone) ++late;
    EXPECT_TRUE(fromHardware);
    std::lock_guard<std::mutex> lock(mutex);
    shorts.push_back({msg->mStatus, msg->mData1, msg->mData2});
  }
  void ProcessSysEx(ISysEx* sysex, bool fromHardware) override {
    if (gone) ++late;
    EXPECT_TRUE(fromHardware);
    std::lock_guard<std::mutex> lock(mutex);
    sysexes.emplace_back(sysex->mData, sysex->mData + sysex->mSize);
  }

  std::mutex mutex;
  std::vector<Short> shorts;
  std::vector<Bytes> sysexes;
  std::atomic<bool> gone{false};
  static inline std::atomic<int> late{0};
};

struct PluginPorts : ::testing::Test {
  LoopbackHub hub;
  std::unique_ptr<MidiBackend> simBackend = hub.makeBackend();
  SynthSimulator sim{*simBackend};
  std::unique_ptr<Plug> plug = std::make_unique<Plug>();

  void SetUp() override {
    Plug::late = 0;
    plug->SetHardwarePorts(std::make_unique<MidiPorts>(hub.makeBackend()));
  }
  void choosePorts() {
    int index = 1;
    ASSERT_GT(plug->setExternalMIDIOut(index, "MIDI In"), 0);
    ASSERT_GT(plug->setExternalMIDIIn(index, "MIDI Out"), 0);
  }
};

TEST_F(PluginPorts, SendersRefuseUntilAPortIsChosen) {
  EXPECT_EQ(plug->getExternalMIDIOutNames(), (std::vector<std::string>{"OFF", "MIDI In"}));
  EXPECT_EQ(plug->getExternalMIDIInNames(), (std::vector<std::string>{"OFF", "MIDI Out"}));
  const IMidiMsg cc(0, 0xB0, 7, 100);
  const uint8_t request[] = {0x3E, 0x16, 0x00, 0x04};
  EXPECT_FALSE(plug->SendMidiMsg(&cc));
  EXPECT_FALSE(plug->SendMidiSysex(request, 4));
  EXPECT_FALSE(plug->SendMidiSysex2(std::vector<uint8_t>{0xF8}));
  settle(hub, sim, plug->GetHardwarePorts());
  EXPECT_TRUE(sim.received().empty());
  EXPECT_EQ(plug->getExternalMIDIOutDevice("MIDI In"), 1);
  EXPECT_EQ(plug->getExternalMIDIOutDevice("Elsewhere"), -1);
}

TEST_F(PluginPorts, SendersPutWholeMessagesOnTheWire) {
  choosePorts();
  const IMidiMsg noteOn(0, 0x90, 0x3C, 0x64), pressure(0, 0xD0, 0x40, 0x11), program(0, 0xC0, 0x05, 0x33);
  for (const IMidiMsg* m : {&noteOn, &pressure, &program}) EXPECT_TRUE(plug->SendMidiMsg(m));
  const uint8_t request[] = {0x3E, 0x16, 0x00, 0x00, 0x01, 0x02};
  EXPECT_TRUE(plug->SendMidiSysex(request, 6));
  EXPECT_TRUE(plug->SendMidiSysex2(std::vector<uint8_t>{0xFA}));
  settle(hub, sim, plug->GetHardwarePorts());
  std::vector<Bytes> wire;
  for (const auto& r : sim.received()) wire.push_back(r.bytes);
  const std::vector<Bytes> expected{{0x90, 0x3C, 0x64},
                                    {0xD0, 0x40},
                                    {0xC0, 0x05},
                                    {0xF0, 0x3E, 0x16, 0x00, 0x00, 0x01, 0x02, 0xF7},
                                    {0xFA}};
  EXPECT_EQ(wire, expected);
  // The request was answered into the plug-in's system-exclusive hook.
  std::lock_guard<std::mutex> lock(plug->mutex);
  EXPECT_EQ(plug->sysexes, std::vector<Bytes>{hwtest::storedAnswer(1, 30)});
}

// The simulator's channel and single-parameter messages, sent on request,
// reach the plug-in's hooks split by size alone.
TEST_F(PluginPorts, InputUpToThreeBytesIsAChannelMessageFourOrMoreSystemExclusive) {
  choosePorts();
  const Bytes param{0xF0, 0x3E, 0x16, 0x58, 0x41, 0x01, 0x22, 0x40, 0x00, 0xF7};
  ASSERT_TRUE(sim.sendRaw({0xFA}));
  ASSERT_TRUE(sim.sendProgramChange(16, 9));
  ASSERT_TRUE(sim.sendControlChange(2, 74, 101));
  ASSERT_TRUE(sim.sendRaw({0xF0, 0x01, 0x02, 0xF7}));
  ASSERT_TRUE(sim.sendRaw({0x90, 0x3C, 0x64, 0x3D}));  // size decides, not content
  ASSERT_TRUE(sim.sendSingleParameter(0x01, 0x22, 0x40));
  settle(hub, sim, plug->GetHardwarePorts());
  EXPECT_EQ(sim.sent(), (std::vector<Bytes>{{0xFA}, {0xCF, 9}, {0xB1, 74, 101}, {0xF0, 0x01, 0x02, 0xF7},
                                            {0x90, 0x3C, 0x64, 0x3D}, param}));
  std::lock_guard<std::mutex> lock(plug->mutex);
  EXPECT_EQ(plug->shorts, (std::vector<Short>{{0xFA, 0, 0}, {0xCF, 9, 0}, {0xB1, 74, 101}}));
  EXPECT_EQ(plug->sysexes, (std::vector<Bytes>{{0xF0, 0x01, 0x02, 0xF7}, {0x90, 0x3C, 0x64, 0x3D}, param}));
}

// Shutting the ports down stops input before the plug-in goes, however
// busily the instrument talks: nothing arrives late, the input is closed
// before the output, and a closed layer neither sends nor reopens.
TEST_F(PluginPorts, TearDownWhileTheInstrumentTalks) {
  choosePorts();
  IHardwarePorts* ports = plug->GetHardwarePorts();
  std::atomic<bool> stop{false};
  std::thread talker([&] {
    while (!stop) {
      sim.sendControlChange(1, 1, 1);
      sim.sendSingleParameter(1, 2, 3);
    }
  });
  EXPECT_TRUE(hwtest::spinUntil([&] {
    std::lock_guard<std::mutex> lock(plug->mutex);
    return plug->shorts.size() > 20 && plug->sysexes.size() > 20;
  }));
  ports->shutdown();
  plug->gone = true;
  // What the instrument says from now on reaches no hook.
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(sim.sendSingleParameter(1, 2, 3));
  hub.drain();
  EXPECT_EQ(Plug::late, 0);
  EXPECT_FALSE(ports->outOpen());
  const uint8_t clock = 0xF8;
  EXPECT_FALSE(ports->send(&clock, 1));
  int index = 1;
  EXPECT_EQ(ports->openOut(index, "MIDI In"), 0);
  EXPECT_EQ(ports->openIn(index, "MIDI Out"), 0);
  EXPECT_FALSE(ports->initializeVirtualOutput("x"));
  plug.reset();  // a second shutdown by the destructor is harmless
  stop = true;
  talker.join();
  hub.drain();
  EXPECT_EQ(Plug::late, 0);
  EXPECT_TRUE(hwtest::loggedInOrder(hub, "close in", "close out")) << "the input goes first, then the output";
}

}  // namespace
