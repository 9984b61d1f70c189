// The editor's state chunk through the framework's chunk functions: both
// forms byte for byte, a project recalled into a fresh plug-in with the
// simulator's ports (ports by name, settings flags, names, the sound sent
// after the global step), stored ports that are absent or never chosen,
// short bodies, values that are not finite, a load while the job thread is
// busy, a failed load that puts the settings back, and refused loads of a
// project with other ports that leave the ports, the next saved chunk and
// the settings as they were and send nothing, nor move the window's page
// or a running clock, ports reopened with the editor lock let go, and a
// sound job and a save in the middle of a load's port switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "editor/TabSwitchFunctions.h"
#include "framework/ControlLayer.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "support_cases.h"
#include "support_host.h"
#include "support_midi.h"
#include "support_tavrin.h"
#include "uiconfig/ControlAction.h"

namespace {

using Bytes = std::vector<uint8_t>;
using edtest::Harness;

Bytes bytesOf(const ByteChunk& c) { return Bytes(c.GetBytes(), c.GetBytes() + c.Size()); }
void fill(ByteChunk& c, const Bytes& b) {
  c.Clear();
  if (!b.empty()) c.Put(b.data(), static_cast<int>(b.size()));
}
void putInt(Bytes& out, int32_t v) { out.insert(out.end(), reinterpret_cast<uint8_t*>(&v), reinterpret_cast<uint8_t*>(&v) + 4); }
void putDouble(Bytes& out, double v) {
  out.insert(out.end(), reinterpret_cast<uint8_t*>(&v), reinterpret_cast<uint8_t*>(&v) + 8);
}
void putName(Bytes& out, const std::string& name) {
  putInt(out, static_cast<int32_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
}
double normalized(Tavrin& p, int idx) { return p.GetParam(idx)->GetNormalized(); }

// Where the parts of a host chunk (header first) begin.
struct Layout {
  size_t block, doubles, params;
};
Layout layoutOf(const Bytes& c) {
  Layout l{};
  l.block = 12;
  uint32_t n = (uint32_t(c[l.block + 8]) << 24) | (uint32_t(c[l.block + 9]) << 16) | (uint32_t(c[l.block + 10]) << 8) |
               uint32_t(c[l.block + 11]);
  size_t at = l.block + 12 + n;
  for (int i = 0; i < 5; ++i) {
    int32_t len;
    std::memcpy(&len, &c[at], 4);
    at += 4 + static_cast<size_t>(len);
  }
  l.doubles = at;
  l.params = at + 32;
  return l;
}

TEST(TavrinState, BothFormsHoldTheirLayoutByteForByte) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  Tavrin& p = h.tavrin();
  p.GetParam(20)->Set(17);
  ByteChunk host;
  ASSERT_TRUE(p.SerializeChunkForHost(&host, false));

  Bytes want = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01};
  const Bytes block = {0, 0, 0, 1, 0, 0, 0, 1, 0x00, 0x00, 0x07, 0x84};  // N = 1924
  want.insert(want.end(), block.begin(), block.end());
  const Bytes snapshot = bytesOf(p.patchManager()->state);
  ASSERT_EQ(snapshot.size(), 1924u);
  EXPECT_EQ(Bytes(snapshot.begin(), snapshot.begin() + 4), (Bytes{0, 0, 0, 1}));
  want.insert(want.end(), snapshot.begin(), snapshot.end());
  const PatchManager& pm = *p.patchManager();
  for (int i = 0; i < 3; ++i) putName(want, pm.names[static_cast<size_t>(i)]);
  // The ports were never chosen: their menus' first entries.
  for (int idx : {kDeviceInSelection, kDeviceOutSelection}) {
    const std::string text = p.GetParam(idx)->GetDisplayText(0);
    putName(want, text.empty() ? "Set Name" : text);
  }
  for (int idx : {kDeviceInSelection, kDeviceOutSelection, kBankSelection, kPatchSelection}) {
    putDouble(want, normalized(p, idx));
  }
  for (int i = 0; i < 240; ++i) putDouble(want, p.GetParam(i)->Value());
  EXPECT_EQ(bytesOf(host), want);

  // The short form: the marker and the 240 values.
  ByteChunk shortForm;
  ASSERT_TRUE(p.SerializeState2(&shortForm, false));
  Bytes shortWant = {0, 0, 0, 1};
  shortWant.insert(shortWant.end(), want.begin() + static_cast<long>(layoutOf(want).params), want.end());
  EXPECT_EQ(bytesOf(shortForm), shortWant);
}

// A project saved with the simulator's ports and these settings.
struct Saved {
  Bytes chunk;
  int in = 0, out = 0;
};
Saved saveProject(Harness& h, const std::function<void(Tavrin&)>& edit = {}) {
  Saved s;
  EXPECT_TRUE(h.choosePortsAndWait());
  Tavrin& a = h.tavrin();
  s.in = static_cast<int>(a.GetParam(kDeviceInSelection)->Value());
  s.out = static_cast<int>(a.GetParam(kDeviceOutSelection)->Value());
  if (edit) edit(a);
  ByteChunk c;
  EXPECT_TRUE(a.SerializeChunkForHost(&c, false));
  s.chunk = bytesOf(c);
  return s;
}

const double kPassThrough[SharedFlags::kPassThroughCount] = {1, 0, 0.5, 1, 1, 0, 1, 0.5, 1, 0, 1, 1, 0.999, 1};

void editSettings(Tavrin& a) {
  for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) a.GetParam(kMIDIFilterDAWCCPassThrough + i)->Set(kPassThrough[i]);
  a.GetParam(kMIDIFilterTrackIncomingMIDI)->Set(0.5);
  a.GetParam(kMIDIFilterToDAWBuffer)->Set(1);
  a.GetParam(kSendMIDIClockPointer)->Set(1);
  a.GetParam(kSendMIDIClockInfo)->Set(1);
  a.GetParam(kGlobalDeviceID)->Set(9);
  a.GetParam(kAdjustDAWOffset)->Set(10);
  a.GetParam(kGlobalLocalControl)->Set(0);
  a.GetParam(30)->Set(33);
  a.patchManager()->names[0] = "A Very Long Patch Name";
  a.patchManager()->names[1] = "Category Name Too";
}

TEST(TavrinState, AProjectComesBackWithItsPortsSettingsNamesAndSound) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  const Saved saved = saveProject(h, editSettings);
  h.make();
  Tavrin& b = h.tavrin();
  std::vector<std::string> categoryTexts;
  for (int i = 0; i < b.GetParam(kCategoryName)->GetNDisplayTexts(); ++i) {
    categoryTexts.push_back(b.GetParam(kCategoryName)->GetDisplayTextAtIdx(i));
  }
  b.hideLayer("BANKEDITMENU", false);
  b.sharedFlags().clockLaunched.store(true);
  const size_t sleepsBefore = h.sleeps().size();
  const size_t receivedBefore = h.receivedBytes().size();

  // The sound job waits in its first pause until the load is looked at:
  // the sound it sends names the patch manager's record after it.
  std::atomic<bool> looked{false};
  MIDIMessageManager* hub = b.hub();
  h.holdJobSleeps([&] { return looked.load() || hub->stopping(); });
  ByteChunk c;
  fill(c, saved.chunk);
  ASSERT_TRUE(b.UnserializeChunkFromHost(&c, false));
  std::unique_ptr<KIT_MutexLock> lock = std::make_unique<KIT_MutexLock>(b.GetMutex());
  // Ports by name, and MIDI I/O with them.
  EXPECT_EQ(b.GetParam(kDeviceInSelection)->Value(), saved.in);
  EXPECT_EQ(b.GetParam(kDeviceOutSelection)->Value(), saved.out);
  EXPECT_EQ(b.GetHardwarePorts()->openInIndex(), saved.in);
  EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), saved.out);
  EXPECT_TRUE(b.isMidiIOSet());
  // The flags follow their values: exactly 1.0 is on, and a value between
  // is set off with its flag (a redraw would have rounded it up).
  SharedFlags& f = b.sharedFlags();
  for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) {
    EXPECT_EQ(f.blocked[i].load(), kPassThrough[i] != 1.0) << i;
    EXPECT_EQ(b.GetParam(kMIDIFilterDAWCCPassThrough + i)->Value(), kPassThrough[i] == 1.0 ? 1.0 : 0.0) << i;
  }
  EXPECT_EQ(b.GetParam(kMIDIFilterTrackIncomingMIDI)->Value(), 0.0);
  EXPECT_FALSE(f.lightTracksInput.load());
  EXPECT_TRUE(f.queueRouting.load());
  EXPECT_TRUE(f.clockStartStopEnabled.load());
  EXPECT_TRUE(f.timingClockEnabled.load());
  EXPECT_FALSE(f.clockLaunched.load());  // the next block launches the timing clock
  EXPECT_FALSE(f.localControl.load());
  EXPECT_EQ(f.deviceId.load(), 9);
  EXPECT_EQ(b.outputOffset(), 2 * 10 + b.GetBlockSize());
  EXPECT_EQ(b.GetParam(30)->Value(), 33.0);
  // Names cut to 13 bytes; the category's texts stay.
  EXPECT_STREQ(b.GetParam(kPatchName)->GetDisplayText(0), "A Very Long P");
  EXPECT_EQ(std::string(b.patchManager()->names[1].c_str()), "Category Name");
  for (size_t i = 0; i < categoryTexts.size(); ++i) {
    EXPECT_EQ(categoryTexts[i], b.GetParam(kCategoryName)->GetDisplayTextAtIdx(static_cast<int>(i)));
  }
  EXPECT_FALSE(b.namedLayer("BANKEDITMENU")->IsVisible());  // main tab 2
  lock.reset();
  looked = true;
  // The sound follows the global step: 1000 and 400 ms of the job thread.
  ASSERT_TRUE(hwtest::spinUntil([&] { return !b.jobRunning(); }));
  const std::vector<Bytes> received = h.receivedBytes();
  ASSERT_GT(received.size(), receivedBefore);
  const Bytes& dump = received.back();
  KIT_MutexLock after(b.GetMutex());
  sounddump::Snapshot snapshot;
  for (int i = 0; i < kParameterCount; ++i) snapshot.values[static_cast<size_t>(i)] = b.GetParam(i)->Value();
  snapshot.name = b.GetParam(kPatchName)->GetDisplayText(0);
  const sounddump::Dump built = sounddump::build(snapshot);
  EXPECT_EQ(dump, Bytes(built.begin(), built.end()));
  std::vector<uint64_t> jobPauses;
  for (size_t i = sleepsBefore; i < h.sleeps().size(); ++i) {
    const edtest::Sleep s = h.sleeps()[i];
    EXPECT_FALSE(s.heldPluginMutex);
    if (!s.testThread) jobPauses.push_back(s.micros);
  }
  ASSERT_GE(jobPauses.size(), 2u);
  EXPECT_EQ(jobPauses[0], 1'000'000u);
  EXPECT_EQ(jobPauses[1], 400'000u);
  EXPECT_FALSE(f.transferInProgress.load());
}

TEST(TavrinState, PortsThatAreAbsentOrWereNeverChosenOpenNothingAndSendNothing) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  // Never chosen: the first entries (or "Set Name") are stored.
  ByteChunk none;
  ASSERT_TRUE(h.tavrin().SerializeChunkForHost(&none, false));
  // An output port that has gone since.
  const Saved gone = saveProject(h, [](Tavrin& a) {
    a.GetParam(kDeviceOutSelection)->SetDisplayText(static_cast<int>(a.GetParam(kDeviceOutSelection)->Value()),
                                                    "Vanished Port");
  });
  for (const Bytes& chunk : {bytesOf(none), gone.chunk}) {
    h.make();
    Tavrin& b = h.tavrin();
    const size_t receivedBefore = h.receivedBytes().size();
    ByteChunk c;
    fill(c, chunk);
    b.setStatusText("before");
    ASSERT_TRUE(b.UnserializeChunkFromHost(&c, false));
    // Only a project that names an instrument says that its sound cannot go.
    EXPECT_EQ(b.statusText(), chunk == gone.chunk ? Tavrin::kMidiIONotSetText : "before");
    EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), 0);
    EXPECT_EQ(b.GetParam(kDeviceOutSelection)->Value(), 0.0);
    EXPECT_FALSE(b.isMidiIOSet());
    EXPECT_FALSE(b.sharedFlags().transferInProgress.load());
    EXPECT_FALSE(b.jobRunning());
    EXPECT_EQ(b.hub()->lastJob(MIDIMessageManager::kJobThread).mode, SenderJob::kNothing);
    EXPECT_EQ(h.receivedBytes().size(), receivedBefore);
  }
  // The input port of the second project was there.
  EXPECT_EQ(h.tavrin().GetHardwarePorts()->openInIndex(), gone.in);
}

// A load while the job thread is busy leaves its sound job waiting for the
// running one, and marks no transfer before it starts: input from the
// instrument keeps arriving.
TEST(TavrinState, ALoadWhileTheJobThreadIsBusyLeavesInputFlowing) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  const Saved saved = saveProject(h);
  h.make();
  Tavrin& b = h.tavrin();
  ASSERT_TRUE(h.choosePortsAndWait());
  MIDIMessageManager* hub = b.hub();
  std::atomic<bool> release{false};
  h.holdJobSleeps([&] { return release.load() || hub->stopping(); });
  ASSERT_TRUE(b.startJob(SenderJob::sendSound(false, false, b.sharedFlags())));
  ASSERT_TRUE(b.jobRunning());
  const SenderJob before = hub->lastJob(MIDIMessageManager::kJobThread);

  ByteChunk c;
  fill(c, saved.chunk);
  ASSERT_TRUE(b.UnserializeChunkFromHost(&c, false));
  EXPECT_TRUE(b.isMidiIOSet());
  EXPECT_FALSE(b.sharedFlags().transferInProgress.load());
  EXPECT_EQ(hub->lastJob(MIDIMessageManager::kJobThread).mode, before.mode);
  int idx = -1;
  for (int i = 3; i < 80 && idx < 0; ++i) {
    const ControlAction* a = b.GetParam(i)->GetControlAction();
    if (a && a->type == 1 && a->ccNumber >= 0 && b.GetParam(i)->GetMin() == 0.0 && i != kLFO1Shape) idx = i;
  }
  ASSERT_GE(idx, 0);
  ASSERT_TRUE(h.sim.sendControlChange(1, b.GetParam(idx)->GetControlAction()->ccNumber, 45));
  EXPECT_TRUE(hwtest::spinUntil([&] { return h.value(idx) == 45.0; }));
  release = true;
  ASSERT_TRUE(hwtest::spinUntil([&] { return !b.jobRunning(); }));
  EXPECT_FALSE(b.sharedFlags().transferInProgress.load());
  h.holdJobSleeps({});
}

TEST(TavrinState, ShortBodiesAndValuesThatAreNotNumbers) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  const Saved saved = saveProject(h, editSettings);
  const Layout at = layoutOf(saved.chunk);
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();

  // A body that ends after the block: the read fails, the names open
  // nothing, and bank and patch stay.
  h.make();
  Tavrin& b = h.tavrin();
  b.GetParam(kBankSelection)->Set(2);
  b.GetParam(kPatchSelection)->Set(7);
  b.patchManager()->bankIndex = 2;
  b.patchManager()->patchIndex = 7;
  ByteChunk body;
  fill(body, Bytes(saved.chunk.begin() + 8, saved.chunk.begin() + static_cast<long>(at.doubles)));
  EXPECT_EQ(b.UnserializeState(&body, 0), -1);
  EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), 0);
  EXPECT_EQ(b.GetHardwarePorts()->openInIndex(), 0);
  EXPECT_FALSE(b.isMidiIOSet());
  EXPECT_EQ(b.GetParam(kBankSelection)->Value(), 2.0);
  EXPECT_EQ(b.GetParam(kPatchSelection)->Value(), 7.0);
  EXPECT_EQ(b.patchManager()->bankIndex, 2);
  EXPECT_EQ(b.patchManager()->patchIndex, 7);
  // A body that ends before any name leaves the ports alone.
  ByteChunk marker;
  fill(marker, {0, 0, 0, 1});
  EXPECT_EQ(b.UnserializeState(&marker, 0), -1);
  EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), 0);

  // Not-a-number and infinities in the four doubles: the port doubles are
  // not read, the bank takes its minimum and the patch its maximum (the
  // values that follow then set both parameters again; the patch manager
  // keeps these).
  Bytes odd = saved.chunk;
  for (int i = 0; i < 4; ++i) std::memcpy(&odd[at.doubles + 8 * static_cast<size_t>(i)], i % 2 ? &inf : &nan, 8);
  h.make();
  Tavrin& c = h.tavrin();
  ByteChunk oddChunk;
  fill(oddChunk, odd);
  ASSERT_TRUE(c.UnserializeChunkFromHost(&oddChunk, false));
  EXPECT_EQ(c.patchManager()->bankIndex, static_cast<int>(c.GetParam(kBankSelection)->GetMin()));
  EXPECT_EQ(c.patchManager()->patchIndex, static_cast<int>(c.GetParam(kPatchSelection)->GetMax()));
  EXPECT_EQ(c.GetParam(kDeviceOutSelection)->Value(), saved.out);

  // A value of parameters 0-239 that is not a number fails the whole load:
  // the values, the settings and the ports stay.
  for (double bad : {nan, inf}) {
    Bytes broken = saved.chunk;
    std::memcpy(&broken[at.params + 8 * 190], &bad, 8);
    h.make();
    Tavrin& d = h.tavrin();
    d.GetParam(30)->Set(5);
    d.sharedFlags().deviceId.store(3);
    const int offset = d.outputOffset();
    const std::string name = d.GetParam(kPatchName)->GetDisplayText(0);
    ByteChunk brokenChunk;
    fill(brokenChunk, broken);
    // The sound the reader started (the values as they are back) waits
    // meanwhile: it sets the names of what it sent.
    std::atomic<bool> looked{false};
    MIDIMessageManager* hub = d.hub();
    h.holdJobSleeps([&] { return looked.load() || hub->stopping(); });
    EXPECT_FALSE(d.UnserializeChunkFromHost(&brokenChunk, false));
    auto lock = std::make_unique<KIT_MutexLock>(d.GetMutex());
    EXPECT_EQ(d.GetParam(30)->Value(), 5.0);
    EXPECT_EQ(d.GetParam(kMIDIFilterToDAWBuffer)->Value(), 0.0);
    for (int i = 0; i < SharedFlags::kPassThroughCount; ++i) {
      const double v = d.GetParam(kMIDIFilterDAWCCPassThrough + i)->Value();
      EXPECT_EQ(d.sharedFlags().blocked[i].load(), v != 1.0) << i;
    }
    EXPECT_FALSE(d.sharedFlags().queueRouting.load());
    EXPECT_FALSE(d.sharedFlags().timingClockEnabled.load());
    EXPECT_EQ(d.sharedFlags().deviceId.load(), 3);
    EXPECT_EQ(d.outputOffset(), offset);
    EXPECT_EQ(d.GetParam(kPatchName)->GetDisplayText(0), name);
    EXPECT_EQ(std::string(d.patchManager()->names[0].c_str()), name.empty() ? "Set Name" : name);
    EXPECT_EQ(d.GetParam(kDeviceOutSelection)->Value(), d.GetHardwarePorts()->openOutIndex());
    EXPECT_EQ(d.GetParam(kDeviceInSelection)->Value(), d.GetHardwarePorts()->openInIndex());
    EXPECT_EQ(d.isMidiIOSet(), d.GetHardwarePorts()->openOutIndex() > 0);
    lock.reset();
    looked = true;
    // The job's pauses read this round's looked and hub: it ends before they go.
    EXPECT_TRUE(hwtest::spinUntil([&] { return !d.jobRunning(); }));
  }
  h.holdJobSleeps({});
}

// Two instruments on the loopback: project A with the first one's ports,
// project B with the second one's. With A loaded, every refused load of B
// (B cut anywhere after its port names, a value that is not a number, a
// name length one too large) opens, closes and sends nothing: the ports,
// the next saved chunk and the settings are those of before.
class RefusedLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    // The second instrument is there before the plug-in lists its ports.
    h.make();
    a = saveProject(h, editSettings);
    ASSERT_TRUE(choose("Second Out", "Second In"));
    Tavrin& p = h.tavrin();
    bIn = static_cast<int>(p.GetParam(kDeviceInSelection)->Value());
    bOut = static_cast<int>(p.GetParam(kDeviceOutSelection)->Value());
    ASSERT_NE(bOut, a.out);
    ByteChunk c;
    ASSERT_TRUE(p.SerializeChunkForHost(&c, false));
    b = bytesOf(c);
    // A is the project in force.
    fill(c, a.chunk);
    ASSERT_TRUE(p.UnserializeChunkFromHost(&c, false));
    ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
    ASSERT_EQ(p.GetHardwarePorts()->openOutIndex(), a.out);
    ASSERT_EQ(p.GetHardwarePorts()->openInIndex(), a.in);
    h.settle();
    second.waitIdle();
  }

  // Chooses the ports in the menus and waits for the enquiry to end.
  bool choose(const std::string& listenTo, const std::string& sendTo) {
    h.holdJobSleeps([this] {
      h.settle();
      second.waitIdle();
      return true;
    });
    const bool chosen = h.chooseInMenu(kDeviceInSelection, listenTo) && h.chooseInMenu(kDeviceOutSelection, sendTo);
    const bool ended = chosen && hwtest::spinUntil([&] { return !h.tavrin().jobRunning(); });
    h.holdJobSleeps({});
    return ended;
  }

  // What a refused load must leave as it was.
  struct Seen {
    Bytes saved;
    int in, out;
    bool midiIOSet;
    std::vector<double> values;
    bool operator==(const Seen&) const = default;
  };
  Seen seen() {
    Tavrin& p = h.tavrin();
    Seen s;
    ByteChunk c;
    EXPECT_TRUE(p.SerializeChunkForHost(&c, false));
    s.saved = bytesOf(c);
    s.in = p.GetHardwarePorts()->openInIndex();
    s.out = p.GetHardwarePorts()->openOutIndex();
    s.midiIOSet = p.isMidiIOSet();
    for (int i = 0; i < p.NParams(); ++i) s.values.push_back(p.GetParam(i)->Value());
    return s;
  }

  // Loads a chunk that must be refused; false (reported) when it was not,
  // or when anything outside moved.
  bool refused(const Bytes& chunk, const std::string& what, bool isBank = false) {
    Tavrin& p = h.tavrin();
    const Seen before = seen();
    const SharedFlags& f = p.sharedFlags();
    const bool queueRouting = f.queueRouting.load(), timing = f.timingClockEnabled.load();
    const int deviceId = f.deviceId.load();
    ByteChunk c;
    fill(c, chunk);
    const bool loaded = p.UnserializeChunkFromHost(&c, isBank);
    const bool jobStarted = p.jobRunning() || f.transferInProgress.load();
    const Seen after = seen();
    EXPECT_FALSE(loaded) << what;
    EXPECT_FALSE(jobStarted) << what;
    EXPECT_EQ(after.in, before.in) << what;
    EXPECT_EQ(after.out, before.out) << what;
    EXPECT_EQ(after.midiIOSet, before.midiIOSet) << what;
    EXPECT_TRUE(after.values == before.values) << what;
    EXPECT_TRUE(after.saved == before.saved) << what << ": the next saved chunk changed";
    EXPECT_EQ(f.queueRouting.load(), queueRouting) << what;
    EXPECT_EQ(f.timingClockEnabled.load(), timing) << what;
    EXPECT_EQ(f.deviceId.load(), deviceId) << what;
    return !loaded && !jobStarted && after == before && f.queueRouting.load() == queueRouting &&
           f.timingClockEnabled.load() == timing && f.deviceId.load() == deviceId;
  }

  Harness h{edtest::projectRoot(), nullptr, false, {}, false};
  std::unique_ptr<MidiBackend> secondBackend = h.hub.makeBackend();
  synthsim::SynthSimulator second{*secondBackend, {"Second Synth", "Second In", "Second Out", 0}};
  Saved a;
  Bytes b;
  int bIn = 0, bOut = 0;
};

TEST_F(RefusedLoad, EveryCutAfterThePortNamesLeavesPortsChunkAndSettings) {
  const Layout at = layoutOf(b);
  const size_t receivedBefore = second.received().size();
  // From the first byte after the MIDI Out name to the last one.
  for (size_t n = at.doubles; n < b.size(); ++n) {
    if (!refused(Bytes(b.begin(), b.begin() + static_cast<long>(n)), "cut at " + std::to_string(n))) break;
  }
  // The instrument of B heard nothing, the one of A still does.
  h.settle();
  second.waitIdle();
  EXPECT_EQ(second.received().size(), receivedBefore);
  EXPECT_EQ(h.tavrin().GetHardwarePorts()->openOutIndex(), a.out);

  // B whole: its ports open and its instrument receives the sound.
  Tavrin& p = h.tavrin();
  h.holdJobSleeps([this] {
    second.waitIdle();
    return true;
  });
  ByteChunk c;
  fill(c, b);
  ASSERT_TRUE(p.UnserializeChunkFromHost(&c, false));
  EXPECT_EQ(p.GetHardwarePorts()->openOutIndex(), bOut);
  EXPECT_EQ(p.GetHardwarePorts()->openInIndex(), bIn);
  EXPECT_TRUE(p.isMidiIOSet());
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
  h.holdJobSleeps({});
  EXPECT_TRUE(hwtest::spinUntil([&] {
    second.waitIdle();
    const auto got = second.received();
    return got.size() > receivedBefore && got.back().bytes.size() == 137;
  }));
}

TEST_F(RefusedLoad, ANumberThatIsNotOneOrANameOneByteTooLongIsRefusedWhole) {
  const Layout at = layoutOf(b);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const size_t receivedBefore = second.received().size();
  for (size_t i : {size_t{0}, size_t{190}, size_t{239}}) {
    Bytes odd = b;
    std::memcpy(&odd[at.params + 8 * i], &nan, 8);
    EXPECT_TRUE(refused(odd, "not a number at " + std::to_string(i)));
  }
  // The length of each of the five names one too large: the rest of the
  // body slides by one byte and the body runs short.
  size_t name = at.block + 12;
  uint32_t n = (uint32_t(b[at.block + 8]) << 24) | (uint32_t(b[at.block + 9]) << 16) |
               (uint32_t(b[at.block + 10]) << 8) | uint32_t(b[at.block + 11]);
  name += n;
  for (int k = 0; k < 5; ++k) {
    int32_t len;
    std::memcpy(&len, &b[name], 4);
    Bytes odd = b;
    const int32_t longer = len + 1;
    std::memcpy(&odd[name], &longer, 4);
    EXPECT_TRUE(refused(odd, "name " + std::to_string(k) + " one byte too long"));
    name += 4 + static_cast<size_t>(len);
  }
  h.settle();
  second.waitIdle();
  EXPECT_EQ(second.received().size(), receivedBefore);
}

// A bank chunk whose presets were read whole but whose own state then ran
// short is refused as a whole: the ports its presets name stay closed.
TEST_F(RefusedLoad, ABankWhoseLastPartIsCutOpensNothing) {
  Tavrin& p = h.tavrin();
  ByteChunk c;
  fill(c, b);
  ASSERT_TRUE(p.UnserializeChunkFromHost(&c, false));  // B in force, to save B's bank
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
  ByteChunk bank;
  ASSERT_TRUE(p.SerializeChunkForHost(&bank, true));
  fill(c, a.chunk);
  ASSERT_TRUE(p.UnserializeChunkFromHost(&c, false));
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
  ASSERT_EQ(p.GetHardwarePorts()->openOutIndex(), a.out);
  const Bytes whole = bytesOf(bank);
  EXPECT_TRUE(refused(Bytes(whole.begin(), whole.end() - 8), "a bank cut in its last value", true));
  // The same bank whole opens the ports its last state names.
  fill(c, whole);
  ASSERT_TRUE(p.UnserializeChunkFromHost(&c, true));
  EXPECT_EQ(p.GetHardwarePorts()->openOutIndex(), bOut);
  EXPECT_EQ(p.GetHardwarePorts()->openInIndex(), bIn);
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
}

// A refused project leaves the window as it was: the page shown, and the
// sound panels laid out from the values in force. Taken whole, it shows the
// sound page laid out from its own values.
TEST(TavrinState, ARefusedLoadLeavesThePageAndItsPanels) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  Tavrin& p = h.tavrin();
  edtest::press(p, kMainTab, kSoundTab);
  edtest::press(p, kOscillator1Shape, 0);
  ByteChunk c;
  ASSERT_TRUE(p.SerializeChunkForHost(&c, false));
  const Bytes saved = bytesOf(c);
  // Oscillator 1's unison knob in place of its keytrack button.
  edtest::press(p, kOscillator1Shape, 5);
  ASSERT_TRUE(edtest::layerShown(p, "osc1UnisonKnob"));
  fill(c, Bytes(saved.begin(), saved.end() - 8));
  EXPECT_FALSE(p.UnserializeChunkFromHost(&c, false));
  EXPECT_TRUE(edtest::layerShown(p, "osc1UnisonKnob"));
  EXPECT_FALSE(edtest::layerShown(p, "osc1KeytrackBtn"));
  edtest::press(p, kMainTab, kLibrarianTab);
  EXPECT_FALSE(p.UnserializeChunkFromHost(&c, false));
  EXPECT_EQ(p.namedLayer("root")->GetSelectedSubLayer(), kLibrarianTab);

  fill(c, saved);
  ASSERT_TRUE(p.UnserializeChunkFromHost(&c, false));
  EXPECT_EQ(p.namedLayer("root")->GetSelectedSubLayer(), kSoundTab);
  EXPECT_TRUE(edtest::layerShown(p, "osc1KeytrackBtn"));
  EXPECT_FALSE(edtest::layerShown(p, "osc1UnisonKnob"));
}

// A project refused while the timing clock runs, one whose own clock
// setting is off, leaves the clock's flags as they were (the loop reads
// them at every turn): the clock ticks on without another block, and the
// next block has nothing to launch.
TEST(TavrinState, ARefusedLoadLeavesARunningClockTicking) {
  std::atomic<int> passes{0};
  Harness h(edtest::projectRoot(), nullptr, false, {}, false, edtest::HostScript::callback());
  edtest::HostScript host(h.tavrin());
  ASSERT_TRUE(h.choosePortsAndWait());
  Tavrin& p = h.tavrin();
  ByteChunk c;
  ASSERT_TRUE(p.SerializeChunkForHost(&c, false));
  const Bytes clockOff = bytesOf(c);
  MIDIMessageManager* hub = p.hub();
  hub->setClockSpinMarginNanos(0);
  h.set(kSendMIDIClockInfo, 1);
  // Each of the clock's pauses waits to be let through.
  h.holdJobSleeps([&] {
    int n = passes.load();
    while (n > 0 && !passes.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0 || hub->stopping();
  });
  auto ticked = [&](size_t want) {
    return hwtest::spinUntil([&] {
      h.settle();
      const auto events = h.sim.clockEvents();
      return static_cast<size_t>(std::count_if(events.begin(), events.end(), [](const synthsim::ClockEvent& e) {
               return e.byte == 0xF8;
             })) == want;
    });
  };
  host.run({});
  ASSERT_TRUE(ticked(1));

  fill(c, Bytes(clockOff.begin(), clockOff.end() - 8));
  EXPECT_FALSE(p.UnserializeChunkFromHost(&c, false));
  const SharedFlags& f = p.sharedFlags();
  EXPECT_TRUE(f.timingClockEnabled.load());
  EXPECT_TRUE(f.clockLaunched.load());
  EXPECT_TRUE(hub->clockRunning());
  passes = 1;
  EXPECT_TRUE(ticked(2));
  host.run({});
  EXPECT_EQ(p.blockJobs() & (1u << SenderJob::kContinuousClock), 0u);

  // The clock ends at its next turn.
  h.set(kSendMIDIClockInfo, 0);
  passes = 1;
  EXPECT_TRUE(hwtest::spinUntil([&] { return !hub->threadRunning(MIDIMessageManager::kContinuousClockThread); }));
  h.holdJobSleeps({});
}

// Clients over the loopback's that run a hook, on the calling thread, before
// each call that opens or closes a port (where a library waits for its
// server).
template <class Base>
class Hooked : public Base {
 public:
  Hooked(std::unique_ptr<Base> inner, std::function<void()>& hook) : m_inner(std::move(inner)), m_hook(hook) {}
  unsigned portCount() override { return m_inner->portCount(); }
  std::string portName(unsigned i) override { return m_inner->portName(i); }
  bool openPort(unsigned i, const std::string& local) override {
    if (m_hook) m_hook();
    return m_inner->openPort(i, local);
  }
  bool openVirtualPort(const std::string& name) override {
    if (m_hook) m_hook();
    return m_inner->openVirtualPort(name);
  }
  void closePort() override {
    if (m_hook) m_hook();
    m_inner->closePort();
  }
  bool isPortOpen() const override { return m_inner->isPortOpen(); }

 protected:
  std::unique_ptr<Base> m_inner;
  std::function<void()>& m_hook;
};
class HookedOut : public Hooked<MidiOutClient> {
 public:
  using Hooked::Hooked;
  bool send(const uint8_t* bytes, size_t size) override { return m_inner->send(bytes, size); }
};
class HookedIn : public Hooked<MidiInClient> {
 public:
  using Hooked::Hooked;
  void setCallback(MidiInputCallback callback) override { m_inner->setCallback(std::move(callback)); }
  void cancelCallback() override { m_inner->cancelCallback(); }
  void ignoreTypes(bool sysex, bool time, bool sense) override { m_inner->ignoreTypes(sysex, time, sense); }
};
class HookedBackend : public MidiBackend {
 public:
  HookedBackend(std::unique_ptr<MidiBackend> inner, std::function<void()>& hook)
      : m_inner(std::move(inner)), m_hook(hook) {}
  std::string apiName() const override { return "hooked"; }
  std::unique_ptr<MidiOutClient> makeOut(const std::string& name) override {
    return std::make_unique<HookedOut>(m_inner->makeOut(name), m_hook);
  }
  std::unique_ptr<MidiInClient> makeIn(const std::string& name, unsigned limit) override {
    return std::make_unique<HookedIn>(m_inner->makeIn(name, limit), m_hook);
  }

 private:
  std::unique_ptr<MidiBackend> m_inner;
  std::function<void()>& m_hook;
};

// The library's calls that open and close ports wait for its server, which
// may wait for a host's audio callback that wants the editor lock: every
// level of it is let go meanwhile, on a load and on a choice in the menus.
TEST(TavrinState, PortsOpenAndCloseWithTheEditorLockLetGo) {
  // The ports call the hook until the plug-in goes: made before the
  // harness, it goes after it.
  int calls = 0, underLock = 0;
  std::function<void()> hook;
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  const Saved saved = saveProject(h);
  h.make();
  Tavrin& b = h.tavrin();
  hook = [&] {
    ++calls;
    if (b.GetMutex().IsLockedByCaller()) ++underLock;
  };
  // The same loopback ports, in the same order as the menus list them.
  b.SetHardwarePorts(std::make_unique<MidiPorts>(std::make_unique<HookedBackend>(h.hub.makeBackend(), hook)));
  ByteChunk c;
  fill(c, saved.chunk);
  {
    KIT_MutexLock dispatcher(b.GetMutex());  // as the host's dispatch holds it
    ASSERT_TRUE(b.UnserializeChunkFromHost(&c, false));
    EXPECT_TRUE(b.GetMutex().IsLockedByCaller());
  }
  EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), saved.out);
  EXPECT_EQ(b.GetHardwarePorts()->openInIndex(), saved.in);
  ASSERT_TRUE(hwtest::spinUntil([&] { return !b.jobRunning(); }));
  EXPECT_GE(calls, 2);
  EXPECT_EQ(underLock, 0);

  calls = underLock = 0;
  {
    KIT_MutexLock dispatcher(b.GetMutex());
    h.set(kDeviceOutSelection, 0);
  }
  EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), 0);
  EXPECT_GE(calls, 1);
  EXPECT_EQ(underLock, 0);
  hook = nullptr;
}

// The MIDI In and MIDI Out port names a host chunk stores.
std::pair<std::string, std::string> portNamesOf(const Bytes& c) {
  const size_t block = 12;
  size_t at = block + 12 + ((size_t(c[block + 8]) << 24) | (size_t(c[block + 9]) << 16) | (size_t(c[block + 10]) << 8) |
                            size_t(c[block + 11]));
  std::vector<std::string> names;
  for (int i = 0; i < 5; ++i) {
    int32_t len;
    std::memcpy(&len, &c[at], 4);
    names.emplace_back(c.begin() + static_cast<long>(at + 4), c.begin() + static_cast<long>(at + 4 + size_t(len)));
    at += 4 + static_cast<size_t>(len);
  }
  return {names[3], names[4]};
}

// A load that switches from A's ports to B's is held where the library
// switches the output port (sends refused, the editor lock let go). There a
// sound job sends and is still running when the load ends, and the host
// saves. The load's sound reaches B once that job has ended, A gets none,
// and the save names B's ports.
class SwitchingLoad : public RefusedLoad {};

TEST_F(SwitchingLoad, ASoundJobAndASaveInTheMiddleOfTheSwitchLoseNeitherTheSoundNorThePorts) {
  Tavrin& p = h.tavrin();
  std::atomic<bool> armed{false}, held{false}, go{false}, releaseJob{false}, loaded{false};
  std::function<void()> hook = [&] {
    if (!armed.load() || p.GetHardwarePorts()->outOpen()) return;
    armed = false;
    held = true;
    hwtest::spinUntil([&] { return go.load(); }, std::chrono::seconds(60));
  };
  p.SetHardwarePorts(std::make_unique<MidiPorts>(std::make_unique<HookedBackend>(h.hub.makeBackend(), hook)));
  ByteChunk c;
  fill(c, a.chunk);
  ASSERT_TRUE(p.UnserializeChunkFromHost(&c, false));
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
  ASSERT_EQ(p.GetHardwarePorts()->openOutIndex(), a.out);
  auto dumps = [](const std::vector<synthsim::Received>& got, size_t from) {
    return std::count_if(got.begin() + static_cast<long>(from), got.end(), [](auto& r) { return r.bytes.size() == 137; });
  };
  h.settle();
  second.waitIdle();
  const size_t toA = h.sim.received().size(), toB = second.received().size();

  // The job's pauses are held; the load's own go on.
  std::atomic<std::thread::id> loader{};
  MIDIMessageManager* hub = p.hub();
  h.holdJobSleeps([&] { return releaseJob.load() || std::this_thread::get_id() == loader.load() || hub->stopping(); });
  fill(c, b);
  armed = true;
  std::thread load([&] { loaded = p.UnserializeChunkFromHost(&c, false); });
  loader = load.get_id();
  // However the test ends: the load and the job run out, and the plug-in
  // gets ports that do not call the hook.
  struct Finish {
    std::function<void()> run;
    ~Finish() { run(); }
  } finish{[&] {
    go = true;
    load.join();
    releaseJob = true;
    h.holdJobSleeps({});
    hwtest::spinUntil([&] { return !p.jobRunning(); });
    p.SetHardwarePorts(std::make_unique<MidiPorts>(h.hub.makeBackend()));
  }};
  ASSERT_TRUE(hwtest::spinUntil([&] { return held.load(); }));
  const size_t sleeps = h.sleeps().size();
  ASSERT_TRUE(p.startJob(SenderJob::sendSound(false, true, p.sharedFlags())));
  ASSERT_TRUE(hwtest::spinUntil([&] { return h.sleeps().size() > sleeps; }));  // past its send
  ByteChunk during;
  ASSERT_TRUE(p.SerializeChunkForHost(&during, false));
  go = true;
  ASSERT_TRUE(hwtest::spinUntil([&] { return loaded.load(); }));
  EXPECT_EQ(p.GetHardwarePorts()->openOutIndex(), bOut);

  releaseJob = true;
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }));
  h.settle();
  second.waitIdle();
  EXPECT_EQ(dumps(second.received(), toB), 1);
  EXPECT_EQ(dumps(h.sim.received(), toA), 0);
  EXPECT_EQ(portNamesOf(bytesOf(during)), portNamesOf(b));
}

TEST(TavrinState, TheShortFormReadsTheValuesAlone) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  Tavrin& a = h.tavrin();
  editSettings(a);
  ByteChunk shortForm;
  a.SerializeState2(&shortForm, false);
  h.make();
  Tavrin& b = h.tavrin();
  EXPECT_EQ(b.UnserializeState2(&shortForm, 0, false), 1924);
  EXPECT_EQ(b.GetParam(30)->Value(), 33.0);
  EXPECT_EQ(b.GetParam(kMIDIFilterToDAWBuffer)->Value(), 1.0);
  EXPECT_FALSE(b.sharedFlags().queueRouting.load());  // settings flags come with the full form
  EXPECT_EQ(b.sharedFlags().deviceId.load(), 9);
  EXPECT_EQ(b.outputOffset(), 2 * 10 + b.GetBlockSize());
  EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), 0);
  EXPECT_FALSE(b.isMidiIOSet());
}

}  // namespace
