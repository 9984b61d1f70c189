#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "framework_fakes.h"

namespace {

using fwtest::Bytes;
using fwtest::FakeGraphics;
using fwtest::FakePorts;
using fwtest::Ints;
using fwtest::PortLog;
using fwtest::Strings;
using fwtest::TestPlug;

// Whether another thread could take the plug-in's mutex right now.
bool otherThreadCanLock(IPluginBase& plug) {
  std::atomic<bool> got{false};
  std::thread([&] {
    if ((got = plug.GetMutex().TryLock())) plug.GetMutex().Unlock();
  }).join();
  return got;
}

TEST(PluginBase, ConstructionInitialisationAndNames) {
  TestPlug plug(0, 306);
  EXPECT_EQ(Ints({plug.NParams(), plug.NNonAutomatedParams(), plug.NAutomatedParams()}), Ints({306, 306, 0}));
  EXPECT_EQ(plug.GetParam(305)->Type(), IParam::kTypeNone);
  EXPECT_EQ(plug.GetParam(306), nullptr);
  EXPECT_EQ(plug.GetParam(-1), nullptr);
  plug.OnParamReset();  // every parameter hidden: only Reset runs
  EXPECT_TRUE(plug.changes.empty());
  EXPECT_EQ(plug.resets, 1);

  TestPlug some(5, 20);
  some.addNonAutomateParamCount(10);
  EXPECT_EQ(some.NNonAutomatedParams(), 10);  // set, not added
  some.OnParamReset();
  EXPECT_EQ(some.changes, Ints({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  some.addNonAutomateParamCount(99);
  EXPECT_EQ(some.NNonAutomatedParams(), 20);
  some.addNonAutomateParamCount(-3);
  EXPECT_EQ(some.NNonAutomatedParams(), 0);

  // The three names are cut to 127 bytes.
  const std::string longName(200, 'N');
  struct LongNames : IPluginBase {
    explicit LongNames(const char* n) : IPluginBase(0, "", 0, n, n, n, 0, 0, 0, 0, false, false, false) {
      initialize(0, 0, nullptr, 0, n, n, n, 0, 0, 0, 0, false, false, false);
    }
  } named(longName.c_str());
  for (const char* name : {named.GetEffectName(), named.GetProductName(), named.GetMfrName()})
    EXPECT_EQ(std::strlen(name), 127u);
}

TEST(ValuePaths, UserPathInformsAndCallsChangeOnlyForNewValues) {
  TestPlug plug(0, 3);
  plug.GetParam(0)->InitInt("i", 5, 0, 10);
  plug.GetParam(1)->InitText();
  plug.GetParam(2)->InitDouble("d", 0, 0, 1, 0.01);

  plug.SetParameterFromGUI(0, 0.5);  // already 5
  ASSERT_EQ(plug.informs.size(), 1u);
  EXPECT_EQ(plug.informs[0].idx, 0);
  EXPECT_EQ(plug.informs[0].value, 0.5);
  EXPECT_TRUE(plug.changes.empty());
  plug.SetParameterFromGUI(0, 0.7);
  EXPECT_EQ(plug.GetParam(0)->Value(), 7.0);
  plug.SetParameterFromGUI(1, 0.0);  // text parameters always change
  plug.SetParameterFromGUI(1, 0.0);
  EXPECT_EQ(plug.changes, Ints({0, 1, 1}));
  EXPECT_TRUE(plug.changes2.empty());

  // The hardware path ends in the second hook, only for a new value.
  plug.SetParameterFromGUI2(2, 0.25);
  plug.SetParameterFromGUI2(2, 0.25);
  EXPECT_EQ(plug.changes2, Ints({2}));
  EXPECT_EQ(plug.changes.size(), 3u);

  // Indices outside the store do nothing.
  const size_t informs = plug.informs.size();
  plug.SetParameterFromGUI(3, 0.5);
  plug.SetParameterFromGUI(-1, 0.5);
  plug.SetParameterFromGUI2(99, 0.5);
  EXPECT_EQ(plug.informs.size(), informs);
  EXPECT_EQ(plug.changes2.size(), 1u);
}

TEST(ValuePaths, MutexIsHeldReentrantAndReleasedWhenAHookThrows) {
  TestPlug plug(0, 2);
  plug.GetParam(0)->InitInt("a", 0, 0, 10);
  plug.GetParam(1)->InitInt("b", 0, 0, 10);
  bool otherThreadGotLock = true;
  int depthInside = -1;
  plug.onChange = [&](int idx) {
    EXPECT_TRUE(plug.GetMutex().IsLockedByCaller());
    otherThreadGotLock = otherThreadCanLock(plug);
    // A change inside a change, on the same thread, does not block.
    if (idx == 0) plug.SetParameterFromGUI(1, 1.0);
    if (idx == 1) depthInside = plug.GetMutex().GetDepth();
  };
  plug.SetParameterFromGUI(0, 1.0);
  EXPECT_FALSE(otherThreadGotLock);
  EXPECT_EQ(plug.changes, Ints({0, 1}));
  EXPECT_EQ(depthInside, 1);
  EXPECT_FALSE(plug.GetMutex().IsLockedByCaller());

  // The base's own hooks take and release the mutex.
  IPluginBase& base = plug;
  base.IPluginBase::OnParamChange(0);
  base.IPluginBase::Reset();
  base.IPluginBase::OnActivate(true);
  EXPECT_FALSE(plug.GetMutex().IsLockedByCaller());

  plug.onChange = [](int) { throw std::runtime_error("boom"); };
  EXPECT_THROW(plug.SetParameterFromGUI(0, 0.0), std::runtime_error);
  EXPECT_TRUE(otherThreadCanLock(plug));
}

TEST(PluginBase, GraphicsAttachPushesValuesAndIsOwned) {
  Strings events;
  {
    TestPlug plug(0, 3);
    for (int i = 0; i < 3; ++i) plug.GetParam(i)->InitInt("p", i, 0, 4);
    plug.AttachGraphics(nullptr);
    EXPECT_EQ(plug.GetGraphicsBase(), nullptr);
    auto* g = new FakeGraphics(&events);
    plug.AttachGraphics(g);
    EXPECT_EQ(plug.GetGraphicsBase(), g);
    EXPECT_EQ(plug.GetGUI(), nullptr);  // a stand-in is no full context
    ASSERT_EQ(g->pushes.size(), 3u);
    EXPECT_EQ(g->pushes[2].idx, 2);
    EXPECT_DOUBLE_EQ(g->pushes[2].value, 0.5);
    EXPECT_TRUE(g->pushes[2].normalized);
    EXPECT_EQ(g->prepDraws, 1);

    g->pushes.clear();
    plug.RedrawParamControls();
    ASSERT_EQ(g->pushes.size(), 3u);
    EXPECT_EQ(g->pushes[1].value, 1.0);
    EXPECT_FALSE(g->pushes[1].normalized);

    // A second context replaces and deletes the first.
    plug.AttachGraphics(new FakeGraphics(&events));
    EXPECT_EQ(events, Strings({"graphics-deleted"}));
  }
  EXPECT_EQ(events.size(), 2u);
}

TEST(PluginBase, DirtyParametersAndSamplesPerBeat) {
  TestPlug plug(2, 3);
  for (int i = 0; i < 3; ++i) plug.GetParam(i)->InitInt("p", 2, 0, 4);
  plug.DirtyParameters();
  ASSERT_EQ(plug.informs.size(), 2u);
  EXPECT_DOUBLE_EQ(plug.informs[1].value, 0.5);
  for (auto [tempo, spb] : {std::pair{120.0, 22050.0}, {0.0, 0.0}, {-10.0, 0.0}}) {
    plug.tempo = tempo;
    EXPECT_DOUBLE_EQ(plug.GetSamplesPerBeat(), spb) << tempo;
  }
}

// ---- ports and senders

struct PortsFixture : ::testing::Test {
  std::shared_ptr<PortLog> log = std::make_shared<PortLog>();
  TestPlug plug{0, 2};
  FakePorts* ports = nullptr;

  void install() {
    auto p = std::make_unique<FakePorts>(log);
    ports = p.get();
    plug.SetHardwarePorts(std::move(p));
    int idx = 1;
    plug.setExternalMIDIOut(idx, "Synth Out");
  }
};

TEST_F(PortsFixture, WithoutPortsListsAreOffAndSendsFailWithPortsOperationsDelegate) {
  EXPECT_EQ(plug.getExternalMIDIOutNames(), Strings({"OFF"}));
  EXPECT_EQ(plug.getExternalMIDIInNames(), Strings({"OFF"}));
  int out = 3, in = 2;
  EXPECT_EQ(plug.setExternalMIDIOut(out, "Synth Out"), 0);
  EXPECT_EQ(plug.setExternalMIDIIn(in, "Synth In"), 0);
  EXPECT_EQ(Ints({out, in, plug.getExternalMIDIOutDevice("OFF"), plug.getExternalMIDIInDevice("Synth In")}),
            Ints({0, 0, 0, -1}));
  EXPECT_FALSE(plug.initializeVirtualOutput("Tavrin"));
  const IMidiMsg m(0, 0x90, 60, 100);
  const uint8_t b[] = {0xF0, 1, 0xF7};
  EXPECT_FALSE(plug.SendMidiMsg(&m) || plug.SendMidiSysex(b, 3) || plug.SendMidiSysex2(b, 3));

  install();
  EXPECT_EQ(log->events, Strings({"sink"}));
  EXPECT_EQ(plug.getExternalMIDIOutNames().size(), 2u);
  EXPECT_EQ(plug.getExternalMIDIOutDevice("Synth Out"), 1);
  EXPECT_EQ(plug.getExternalMIDIInDevice("nope"), -1);
  in = 1;
  EXPECT_EQ(plug.setExternalMIDIIn(in, "Synth In"), 1);
  EXPECT_EQ(ports->openInIndex(), 1);
  EXPECT_TRUE(plug.initializeVirtualOutput("Tavrin"));
  EXPECT_EQ(ports->mVirtual, "From Tavrin");
  EXPECT_EQ(plug.GetHardwarePorts(), ports);
}

TEST_F(PortsFixture, SendersFrameAndSizeMessages) {
  install();
  const IMidiMsg noteOn(0, 0x90, 0x3C, 0x64), pressure(0, 0xD0, 0x40, 0x11), program(0, 0xC0, 0x05, 0xFF),
      cc(0, 0xB3, 7, 100), bend(0, 0xE0, 0, 0x40);
  for (const IMidiMsg* m : {&noteOn, &pressure, &program, &cc, &bend}) EXPECT_TRUE(plug.SendMidiMsg(m));
  EXPECT_FALSE(plug.SendMidiMsg(nullptr));
  const uint8_t body[] = {0x3E, 0x16, 0x00, 0x10};
  const uint8_t whole[] = {0xF0, 0x3E, 0x16, 0x00, 0x10, 0xF7};
  const uint8_t clock[] = {0xF8};
  EXPECT_TRUE(plug.SendMidiSysex(body, 4) && plug.SendMidiSysex(whole, 6) && plug.SendMidiSysex2(body, 4) &&
              plug.SendMidiSysex2(std::vector<uint8_t>{0xF8}) && plug.SendPatchSysex(whole, 6));
  EXPECT_FALSE(plug.SendMidiSysex(body, 0) || plug.SendMidiSysex2(clock, 0) ||
               plug.SendMidiSysex2(std::vector<uint8_t>{}) || plug.SendMidiSysex(nullptr, 4) ||
               plug.SendMidiSysex(body, -1));
  // Channel messages take their status's size; the first sender frames a
  // body in F0 ... F7, the second sends the bytes as given.
  const Bytes framed{0xF0, 0x3E, 0x16, 0x00, 0x10, 0xF7};
  EXPECT_EQ(log->sent, (std::vector<Bytes>{{0x90, 0x3C, 0x64}, {0xD0, 0x40}, {0xC0, 0x05}, {0xB3, 7, 100},
                                           {0xE0, 0, 0x40}, framed, framed, {0x3E, 0x16, 0x00, 0x10}, {0xF8}, framed}));

  // SendMidiMsgs: all must succeed.
  const IMidiMsg two[] = {noteOn, cc};
  EXPECT_TRUE(plug.SendMidiMsgs(two, 2));
  EXPECT_TRUE(plug.SendMidiMsgs(nullptr, 0));
  int closed = 0;
  plug.setExternalMIDIOut(closed, "OFF");  // port closed: sends fail
  EXPECT_FALSE(plug.SendMidiMsg(&noteOn) || plug.SendMidiMsgs(two, 2) || plug.SendMidiSysex(body, 4));
}

// System common and real-time statuses go with their own length; data
// bytes and the statuses that start no short message are refused.
TEST_F(PortsFixture, ShortMessagesTakeTheirStatussLengthAndNonMessagesAreRefused) {
  install();
  for (uint8_t status : {0x00, 0x40, 0x7F, 0xF0, 0xF4, 0xF5, 0xF7}) {
    const IMidiMsg m(0, status, 1, 2);
    EXPECT_FALSE(plug.SendMidiMsg(&m)) << int(status);
  }
  EXPECT_TRUE(log->sent.empty());
  for (uint8_t status : {0xF1, 0xF2, 0xF3, 0xF6, 0xF8, 0xFA, 0xFC, 0xFE, 0xFF}) {
    const IMidiMsg m(0, status, 1, 2);
    EXPECT_TRUE(plug.SendMidiMsg(&m)) << int(status);
  }
  EXPECT_EQ(log->sent, (std::vector<Bytes>{{0xF1, 1}, {0xF2, 1, 2}, {0xF3, 1}, {0xF6}, {0xF8}, {0xFA}, {0xFC},
                                           {0xFE}, {0xFF}}));
}

TEST_F(PortsFixture, InputIsSplitBySize) {
  install();
  for (const Bytes& b : {Bytes{0x90, 0x3C, 0x64}, Bytes{0xC2, 0x07}, Bytes{0xF8}, Bytes{}}) ports->deliver(b);
  ASSERT_EQ(plug.midi.size(), 3u);
  EXPECT_TRUE(plug.midiFromHardware);
  // Missing data bytes are 0.
  const Bytes expected[] = {{0x90, 0x3C, 0x64}, {0xC2, 0x07, 0}, {0xF8, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    const IMidiMsg& m = plug.midi[i];
    EXPECT_EQ(Bytes({m.mStatus, m.mData1, m.mData2}), expected[i]);
    EXPECT_EQ(m.mOffset, 0);
  }

  // Four bytes or more are system-exclusive, whatever the first byte.
  Bytes dump(137, 0x11);
  dump.front() = 0xF0;
  dump.back() = 0xF7;
  ports->deliver(dump);
  ports->deliver({0x90, 1, 2, 3});
  EXPECT_EQ(plug.sysexes, (std::vector<Bytes>{dump, {0x90, 1, 2, 3}}));
  EXPECT_EQ(plug.sysexOffsets[0], 0);
  EXPECT_EQ(plug.midi.size(), 3u);
  plug.processMIDIInput(nullptr, 5);
  EXPECT_EQ(plug.sysexes.size(), 2u);

  // No exception from a hook escapes the input callback.
  struct Throwing : TestPlug {
    void ProcessMidiMsg(IMidiMsg*, bool) override { throw std::runtime_error("x"); }
    void ProcessSysEx(ISysEx*, bool) override { throw 42; }
  } throwing;
  const uint8_t a[] = {0x90, 1, 2}, b[] = {0xF0, 1, 2, 3, 0xF7};
  EXPECT_NO_THROW(throwing.processMIDIInput(a, 3));
  EXPECT_NO_THROW(throwing.processMIDIInput(b, 5));
}

TEST(PortsLifetime, DestructorShutsThePortsDownFirst) {
  auto log = std::make_shared<PortLog>();
  {
    auto plug = std::make_unique<TestPlug>(0, 2);
    plug->SetHardwarePorts(std::make_unique<FakePorts>(log));
    plug->AttachGraphics(new FakeGraphics(&log->events));
  }
  EXPECT_EQ(log->events, Strings({"sink", "shutdown", "sink-null", "graphics-deleted", "destroyed"}));

  // Replacing the ports shuts the old ones down.
  auto log2 = std::make_shared<PortLog>();
  TestPlug plug(0, 1);
  plug.SetHardwarePorts(std::make_unique<FakePorts>(log2));
  plug.SetHardwarePorts(nullptr);
  EXPECT_EQ(log2->events, Strings({"sink", "shutdown", "sink-null", "destroyed"}));
  EXPECT_EQ(plug.getExternalMIDIOutNames(), Strings({"OFF"}));
}

}  // namespace
