// The host binding driven in process through the test host's effect: the
// record, the dispatcher's opcodes, the notices, host time, events both
// ways, the process callbacks, failures that must not escape, and MIDI from
// the host reaching the simulated synthesizer over the loopback.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "synthsim/SynthSimulator.h"
#include "testhost/TestHost.h"
#include "testplug.h"

using testhost::Effect;
using testplug::TestPlug;

namespace {

struct Binding : ::testing::Test {
  Effect fx{&testplug::makeEffect};
  TestPlug* plug = static_cast<TestPlug*>(fx.effect()->object);

  void setHost(const std::string& product, bool giveTime = false, VstTimeInfo time = {}) {
    Effect::Settings s = fx.settings();
    s.product = product;
    s.giveTime = giveTime;
    s.time = time;
    fx.setSettings(s);
  }
  std::vector<int32_t> opcodes() const {
    std::vector<int32_t> ops;
    for (const auto& c : fx.calls()) ops.push_back(c.opcode);
    return ops;
  }
};

TEST_F(Binding, RecordAfterTheEntry) {
  const AEffect* e = fx.effect();
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->flags, effFlagsCanMono | effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsHasEditor);
  EXPECT_EQ(std::vector<int>({e->numPrograms, e->numParams, e->numInputs, e->numOutputs, e->initialDelay, e->version,
                              e->uniqueID}),
            std::vector<int>({2, 3, 4, 4, 0, 10203, 0x74737431}));
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->reserved1 | e->reserved2 | e->realQualities | e->offQualities, 0);
  EXPECT_EQ(e->user, &fx);  // the host's field, untouched by the plug-in
  for (char c : e->future) EXPECT_EQ(c, 0);
  ERect* rect = nullptr;
  EXPECT_EQ(fx.dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(std::vector<int>({rect->top, rect->left, rect->bottom, rect->right}), std::vector<int>({0, 0, 200, 300}));
  EXPECT_EQ(fx.dispatch(effEditGetRect), 0);
  EXPECT_EQ(fx.dispatch(effGetPlugCategory), 1);
  EXPECT_EQ(VSTSpkrArrType(-3), -2);
  EXPECT_EQ(std::vector<int>({VSTSpkrArrType(0), VSTSpkrArrType(1), VSTSpkrArrType(2), VSTSpkrArrType(4)}),
            std::vector<int>({-1, 0, 1, -2}));
}

TEST_F(Binding, ParameterTextAndPresetOpcodes) {
  // Index 3 is hidden: every parameter opcode answers as for a bad index.
  EXPECT_EQ(fx.text(effGetParamName, 0), "Gain");
  EXPECT_EQ(fx.text(effGetParamLabel, 0), "amp");
  EXPECT_EQ(fx.text(effGetParamDisplay, 1), "Soft");
  EXPECT_EQ(fx.text(effGetParamName, 3), "");
  EXPECT_EQ(fx.getParameter(3), 0.0f);
  fx.setParameter(0, 0.25f);
  EXPECT_FLOAT_EQ(fx.getParameter(0), 0.25f);
  struct Case {
    int idx;
    const char* text;
    intptr_t result;
    double value;
  } cases[] = {{1, "Fold", 1, 2.0}, {1, "Loud", 0, 2.0}, {2, "4", 1, -4.0}, {2, "40", 1, -10.0},
               {3, "1", 0, 0.0},    {0, nullptr, 1, 0.25}, {-1, "1", 0, 0.0}};
  for (const Case& c : cases) {
    EXPECT_EQ(fx.dispatch(effString2Parameter, c.idx, 0, const_cast<char*>(c.text)), c.result) << c.idx;
    if (c.idx >= 0) {
      EXPECT_DOUBLE_EQ(plug->GetParam(c.idx)->Value(), c.value) << c.idx;
    }
  }
  EXPECT_EQ(plug->changes, std::vector<int>({0, 1, 2, 2}));
  char buf[16] = "x";
  EXPECT_EQ(fx.dispatch(effVendorSpecific, 7, 1, buf, 0.5f), IPluginVST::kVendorSpecificAnswer);
  EXPECT_STREQ(buf, "Hard");
  EXPECT_EQ(fx.dispatch(effVendorSpecific, 7, 3, buf, 0.5f), IPluginVST::kVendorSpecificAnswer);
  EXPECT_STREQ(buf, "Hard");  // hidden: nothing written
  EXPECT_EQ(fx.dispatch(effVendorSpecific, 7, 1, nullptr), 0);
  EXPECT_EQ(fx.dispatch(effVendorSpecific, 6, 1, buf), 0);

  EXPECT_EQ(fx.text(effGetProgramNameIndexed, 0), "First");
  EXPECT_EQ(fx.text(effGetProgramNameIndexed, 1), "Empty");  // filled by the entry
  EXPECT_EQ(fx.dispatch(effGetProgramNameIndexed, 5, 0, buf), 0);
  fx.dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(fx.dispatch(effGetProgram), 1);
  fx.dispatch(effSetProgramName, 0, 0, const_cast<char*>("A name longer than twenty-four bytes"));
  EXPECT_EQ(fx.text(effGetProgramName, 0), "A name longer than twen");
  // Chunks are off: no chunk to get, a state to set.
  EXPECT_EQ(fx.dispatch(effGetChunk, 0, 0, nullptr), 0);
}

TEST_F(Binding, EditorOpensByExtensionBitAlsoAfterALateQuery) {
  char window[1];
  EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, window), 1);
  EXPECT_EQ(fx.dispatch(effEditClose), 1);
  EXPECT_EQ(fx.dispatch(effCanDo, 0, 0, const_cast<char*>("hasHostViewAsConfig")), IPluginVST::kCanDoExtension);
  EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, window), 1);
  EXPECT_EQ(plug->graphics()->opened, std::vector<std::string>({"window", "view"}));
  EXPECT_EQ(fx.dispatch(effCanDo, 0, 0, const_cast<char*>("hasHostExtensions")), IPluginVST::kCanDoExtension);
  EXPECT_EQ(plug->GetExtensionBits(), 3);
  for (const char* q : {"receiveVstMidiEvent", "receiveVstTimeInfo", "sendVstEvents"})
    EXPECT_EQ(fx.dispatch(effCanDo, 0, 0, const_cast<char*>(q)), 1) << q;
  EXPECT_EQ(fx.dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvents")), 0);
  EXPECT_EQ(fx.dispatch(effCanDo), 0);
}

TEST_F(Binding, HostIdentityStereoLimitAndPins) {
  for (const char* product : {"Studio AUDITION 3", "Some Host"}) {
    Effect other{&testplug::makeEffect};
    Effect::Settings s = other.settings();
    s.product = product;
    s.version = 30102;
    other.setSettings(s);
    other.dispatch(effOpen);
    const bool limited = std::strstr(product, "AUDITION") != nullptr;
    EXPECT_EQ(other.effect()->numInputs, limited ? 2 : 4) << product;
    EXPECT_EQ(other.effect()->numOutputs, limited ? 2 : 4) << product;
    auto* p = static_cast<TestPlug*>(other.effect()->object);
    EXPECT_EQ(p->GetHost(), limited ? kHostAudition : kHostUnknown);
    EXPECT_EQ(p->GetHostVersion(false), 0x030102);
    VstSpeakerArrangement *in = nullptr, *out = nullptr;
    EXPECT_EQ(other.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
    EXPECT_EQ(std::vector<int>({in->numChannels, in->type, out->numChannels}),
              limited ? std::vector<int>({2, 1, 2}) : std::vector<int>({4, -2, 4}));
  }
  VstPinProperties pin{};
  EXPECT_EQ(fx.dispatch(effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Input 1");
  EXPECT_EQ(pin.flags, 3);
  EXPECT_EQ(fx.dispatch(effGetOutputProperties, 3, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output 4");
  EXPECT_EQ(pin.flags, 1);
  EXPECT_EQ(fx.dispatch(effGetOutputProperties, 4, 0, &pin), 0);
  VstSpeakerArrangement mono{};
  mono.numChannels = 1;
  EXPECT_EQ(fx.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&mono), nullptr), 1);
  EXPECT_EQ(std::vector<bool>({plug->IsInChannelConnected(0), plug->IsInChannelConnected(1), plug->IsOutChannelConnected(1)}),
            std::vector<bool>({true, false, true}));
  EXPECT_EQ(fx.dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(fx.dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(fx.dispatch(effGetVendorVersion), 0x10203);
  EXPECT_EQ(fx.text(effGetEffectName), "Binding Test");
  EXPECT_EQ(fx.text(effGetProductString), "Binding Test Product");
  EXPECT_EQ(fx.dispatch(effGetEffectName), 0);
}

// A host's speaker counts are taken within the channels there are: counts
// far below zero connect nothing, counts beyond the channels connect all.
TEST_F(Binding, SpeakerCountsOutOfRangeAreClamped) {
  ASSERT_EQ(plug->NInChannels(), 4);
  ASSERT_EQ(plug->NOutChannels(), 4);
  struct Row {
    int32_t count;
    int connected;
  };
  const Row rows[] = {{INT_MIN, 0},     {INT_MIN + 1, 0}, {INT_MIN + 2, 0}, {-1, 0},       {0, 0}, {3, 3},
                      {4, 4},           {5, 4},           {INT_MAX - 1, 4}, {INT_MAX, 4}, {1, 1}};
  for (const Row& r : rows) {
    VstSpeakerArrangement in{}, out{};
    in.numChannels = r.count;
    out.numChannels = r.count;
    EXPECT_EQ(fx.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(plug->IsInChannelConnected(i), i < r.connected) << r.count << " input " << i;
      EXPECT_EQ(plug->IsOutChannelConnected(i), i < r.connected) << r.count << " output " << i;
    }
  }
}

// The framework informs the host on the user's path; the host hears of the
// parameters it was given and of no other.
TEST_F(Binding, NoticesOnlyForHostVisibleParameters) {
  for (int idx = 0; idx < TestPlug::kNumParams; ++idx) {
    plug->BeginInformHostOfParamChange(idx);
    plug->SetParameterFromGUI(idx, 1.0);
    plug->EndInformHostOfParamChange(idx);
  }
  std::vector<std::pair<int32_t, int32_t>> seen;
  for (const auto& c : fx.calls()) seen.push_back({c.opcode, c.index});
  std::vector<std::pair<int32_t, int32_t>> want;
  for (int idx = 0; idx < TestPlug::kHostParams; ++idx)
    for (int32_t op : {audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}) want.push_back({op, idx});
  EXPECT_EQ(seen, want);
  plug->InformHostOfProgramChange();
  EXPECT_EQ(opcodes().back(), audioMasterUpdateDisplay);
}

TEST_F(Binding, HostTime) {
  EXPECT_EQ(plug->GetSamplePos(), 0);  // no record
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (auto [pos, want] : {std::pair{99.5, 100}, {-1.0, 0}, {nan, 0}, {3e9, INT_MAX}, {0.2, 0}}) {
    VstTimeInfo t{};
    t.samplePos = pos;
    setHost("h", true, t);
    EXPECT_EQ(plug->GetSamplePos(), want) << pos;
  }
  VstTimeInfo t{};
  t.tempo = 140.0;
  t.timeSigNumerator = 3;
  t.timeSigDenominator = 8;
  setHost("h", true, t);
  int num = 9, den = 9;
  plug->GetTimeSig(&num, &den);
  EXPECT_EQ(plug->GetTempo(), 0.0);  // not marked valid
  EXPECT_EQ(num + den, 0);
  t.flags = kVstTempoValid | kVstTimeSigValid | kVstTransportPlaying | kVstPpqPosValid;
  t.ppqPos = 2.5;
  setHost("h", true, t);
  plug->GetTimeSig(&num, &den);
  EXPECT_EQ(std::vector<int>({num, den}), std::vector<int>({3, 8}));
  EXPECT_EQ(plug->GetTempo(), 140.0);
  ITimeInfo info;
  t.tempo = 0.0;
  setHost("h", true, t);
  plug->GetTime(&info);
  EXPECT_EQ(info.mTempo, 120.0);  // a tempo of 0 keeps the caller's
  EXPECT_EQ(info.mPPQPos, 2.5);
  EXPECT_TRUE(info.mTransportIsRunning);
  EXPECT_FALSE(info.mTransportLoopEnabled);
  for (int level = 0; level <= 4; ++level) {
    Effect::Settings s = fx.settings();
    s.processLevel = level;
    fx.setSettings(s);
    EXPECT_EQ(plug->IsRenderingOffline(), level == 4) << level;
  }
}

TEST_F(Binding, EventsBothWays) {
  EXPECT_EQ(fx.sendMidi({{0x90, 0x3C, 0x64, 5}, {0xC1, 0x07, 0, 17}}), 1);
  ASSERT_EQ(plug->midi.size(), 2u);
  EXPECT_EQ(std::vector<int>({plug->midi[0].mOffset, plug->midi[0].mStatus, plug->midi[1].mOffset,
                              plug->midi[1].mStatus, plug->midi[1].mData1}),
            std::vector<int>({5, 0x90, 17, 0xC1, 7}));
  // A system-exclusive event goes back to the host and never to the hook.
  char dump[] = {char(0xF0), 0x3E, char(0xF7)};
  VstMidiSysexEvent sx{kVstSysExType, sizeof(VstMidiSysexEvent), 3, 0, 3, 0, dump, 0};
  VstEvents list{2, 0, {nullptr, reinterpret_cast<VstEvent*>(&sx)}};
  EXPECT_EQ(fx.dispatch(effProcessEvents, 0, 0, &list), 1);
  EXPECT_EQ(fx.dispatch(effProcessEvents), 0);
  EXPECT_EQ(plug->midi.size(), 2u);
  // The host senders, with the record sizes of this target.
  const IMidiMsg note(9, 0x80, 0x3C, 0);
  const uint8_t bytes[] = {0xF0, 0x01, 0xF7};
  const ISysEx sysex(4, bytes, 3);
  EXPECT_TRUE(plug->SendMidiVST(&note) && plug->SendSysEx(&sysex));
  const auto events = fx.events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(std::vector<int>({events[0].type, events[0].byteSize, events[0].deltaFrames}),
            std::vector<int>({kVstSysExType, 48, 3}));
  EXPECT_EQ(std::vector<int>({events[1].type, events[1].byteSize, events[1].deltaFrames, events[1].bytes[0]}),
            std::vector<int>({kVstMidiType, 32, 9, 0x80}));
  EXPECT_EQ(std::vector<int>({events[2].byteSize, events[2].deltaFrames, int(events[2].bytes.size())}),
            std::vector<int>({48, 4, 3}));
}

TEST_F(Binding, EachProcessCallbackAsksForMidiOncePerBlock) {
  fx.start();
  fx.clearRecords();
  struct Case {
    Effect::Kind kind;
    float outStart, want;
  } cases[] = {{Effect::Kind::Replacing, 9.0f, 0.5f},
               {Effect::Kind::Accumulating, 1.0f, 1.5f},
               {Effect::Kind::Double, 9.0f, 0.5f}};
  for (const Case& c : cases) {
    fx.clearRecords();
    fx.process(c.kind, 64, 1.0f, c.outStart);
    fx.process(c.kind, 64, 1.0f, c.outStart);
    EXPECT_EQ(opcodes(), std::vector<int32_t>({audioMasterWantMidi, audioMasterWantMidi}));
    EXPECT_FLOAT_EQ(fx.outputs()[1][63], c.want);
  }
}

// A null host callback: every host query answers 0.
TEST(BindingWithoutHost, EveryQueryAnswersZero) {
  TestPlug plug{IPluginInstanceInfo{}};
  int num = 1, den = 1;
  plug.GetTimeSig(&num, &den);
  ITimeInfo info;
  plug.GetTime(&info);
  EXPECT_EQ(std::vector<double>({double(plug.GetSamplePos()), plug.GetTempo(), double(num + den), info.mSamplePos,
                                 double(plug.IsRenderingOffline()), double(plug.GetHost())}),
            std::vector<double>({0, 0, 0, -1, 0, kHostUnknown}));
  const IMidiMsg m(0, 0x90, 1, 1);
  EXPECT_FALSE(plug.SendMidiVST(&m));
  plug.HostSpecificInit();
  EXPECT_EQ(plug.GetAEffect()->numInputs, 4);
}

// Failures in the plug-in's hooks answer 0 and leave the mutex free.
TEST_F(Binding, ThrowsAreCaughtAndReleaseTheMutex) {
  auto& sw = testplug::throwSwitches();
  auto mutexFree = [&] {
    bool free = false;
    std::thread([&] {
      free = plug->GetMutex().TryLock();
      if (free) plug->GetMutex().Unlock();
    }).join();
    return free;
  };
  sw.construction = true;
  EXPECT_EQ(testplug::makeEffect(nullptr), nullptr);
  sw.construction = false;
  sw.paramChange = true;
  fx.setParameter(0, 0.9f);
  EXPECT_EQ(fx.dispatch(effString2Parameter, 0, 0, const_cast<char*>("0.1")), 0);
  EXPECT_TRUE(mutexFree());
  sw.paramChange = false;
  sw.process = true;
  fx.process(Effect::Kind::Double, 32);
  EXPECT_TRUE(mutexFree());
  sw.process = false;
  sw.openWindow = true;
  char window[1];
  EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, window), 0);
  EXPECT_TRUE(mutexFree());
  sw.openWindow = false;
  EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, window), 1);
}

// As a host drives it: the dispatcher on one thread, blocks on another,
// then close.
TEST_F(Binding, DispatcherAndBlocksOnTwoThreads) {
  fx.start();
  std::thread audio([&] {
    for (int i = 0; i < 200; ++i) fx.process(Effect::Kind::Replacing, 32, 1.0f);
  });
  for (int i = 0; i < 200; ++i) {
    fx.setParameter(0, float(i % 10) / 10.0f);
    fx.sendMidi({{0x90, uint8_t(i % 128), 1, 0}});
    fx.text(effGetParamDisplay, 0);
  }
  audio.join();
  EXPECT_EQ(fx.countCalls(audioMasterWantMidi), 200u);
  fx.close();
  EXPECT_FALSE(fx.ok());
}

// MIDI from the host reaches the simulated synthesizer in order, each
// message with its own length.
TEST(BindingToInstrument, HostMidiReachesTheSynthesizerOverTheLoopback) {
  LoopbackHub hub;
  auto simBackend = hub.makeBackend();
  synthsim::SynthSimulator sim(*simBackend);
  ASSERT_TRUE(sim.ready());
  Effect fx{&testplug::makeEffect};
  auto* plug = static_cast<TestPlug*>(fx.effect()->object);
  plug->SetHardwarePorts(std::make_unique<MidiPorts>(hub.makeBackend()));
  int index = 1;
  ASSERT_GT(plug->setExternalMIDIOut(index, "MIDI In"), 0);
  fx.start();
  EXPECT_EQ(fx.sendMidi({{0x90, 0x3C, 0x64, 0}, {0xC0, 0x05, 0x00, 3}, {0xD0, 0x40, 0x00, 7}}), 1);
  hub.drain();
  sim.waitIdle();
  std::vector<std::vector<uint8_t>> got;
  for (const auto& r : sim.received()) got.push_back(r.bytes);
  EXPECT_EQ(got, (std::vector<std::vector<uint8_t>>{{0x90, 0x3C, 0x64}, {0xC0, 0x05}, {0xD0, 0x40}}));
}

}  // namespace
