// The plug-in base wired to the port layer, with the simulated synthesizer
// on the loopback: what the senders put on the wire, how input reaches the
// hooks, and tear-down while the instrument keeps talking.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "framework/IPluginBase.h"
#include "hardware/MidiPorts.h"
#include "hardware/SysexProtocol.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

using hwtest::Bytes;
using synthsim::SynthSimulator;

namespace {

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
    std::lock_guard<std::mutex> lock(mutex);
    shorts.push_back({msg->mStatus, msg->mData1, msg->mData2});
    EXPECT_TRUE(fromHardware);
  }
  void ProcessSysEx(ISysEx* sysex, bool fromHardware) override {
    if (gone) ++late;
    std::lock_guard<std::mutex> lock(mutex);
    sysexes.emplace_back(sysex->mData, sysex->mData + sysex->mSize);
    EXPECT_TRUE(fromHardware);
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
    index = 1;
    ASSERT_GT(plug->setExternalMIDIIn(index, "MIDI Out"), 0);
  }
  void settle() {
    hub.drain();
    sim.waitIdle();
    hub.drain();
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
  settle();
  EXPECT_TRUE(sim.received().empty());
  EXPECT_EQ(plug->getExternalMIDIOutDevice("MIDI In"), 1);
  EXPECT_EQ(plug->getExternalMIDIOutDevice("Elsewhere"), -1);
}

TEST_F(PluginPorts, SendersPutWholeMessagesOnTheWire) {
  choosePorts();
  const IMidiMsg noteOn(0, 0x90, 0x3C, 0x64), pressure(0, 0xD0, 0x40, 0x11), program(0, 0xC0, 0x05, 0x33);
  EXPECT_TRUE(plug->SendMidiMsg(&noteOn));
  EXPECT_TRUE(plug->SendMidiMsg(&pressure));
  EXPECT_TRUE(plug->SendMidiMsg(&program));
  const uint8_t request[] = {0x3E, 0x16, 0x00, 0x00, 0x01, 0x02};
  EXPECT_TRUE(plug->SendMidiSysex(request, 6));
  EXPECT_TRUE(plug->SendMidiSysex2(std::vector<uint8_t>{0xFA}));
  settle();
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
  ASSERT_EQ(plug->sysexes.size(), 1u);
  EXPECT_EQ(plug->sysexes[0], hwtest::storedAnswer(1, 30));
}

TEST_F(PluginPorts, InputUpToThreeBytesIsAChannelMessageFourOrMoreSystemExclusive) {
  choosePorts();
  ASSERT_TRUE(sim.sendRaw({0xFA}));
  ASSERT_TRUE(sim.sendProgramChange(1, 9));
  ASSERT_TRUE(sim.sendControlChange(2, 74, 101));
  ASSERT_TRUE(sim.sendRaw({0xF0, 0x01, 0x02, 0xF7}));
  ASSERT_TRUE(sim.sendRaw({0x90, 0x3C, 0x64, 0x3D}));  // size decides, not content
  ASSERT_TRUE(sim.sendSingleParameter(0x01, 0x22, 0x40));
  settle();
  std::lock_guard<std::mutex> lock(plug->mutex);
  EXPECT_EQ(plug->shorts, (std::vector<Short>{{0xFA, 0, 0}, {0xC0, 9, 0}, {0xB1, 74, 101}}));
  EXPECT_EQ(plug->sysexes, (std::vector<Bytes>{{0xF0, 0x01, 0x02, 0xF7},
                                               {0x90, 0x3C, 0x64, 0x3D},
                                               {0xF0, 0x3E, 0x16, 0x58, 0x41, 0x01, 0x22, 0x40, 0x00, 0xF7}}));
}

TEST_F(PluginPorts, TearDownWhileTheInstrumentTalks) {
  choosePorts();
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
  plug.reset();
  stop = true;
  talker.join();
  hub.drain();
  EXPECT_EQ(Plug::late, 0);
  EXPECT_TRUE(hwtest::loggedInOrder(hub, "close in", "close out"));
}

}  // namespace
