// The editor's state chunk through the framework's chunk functions: both
// forms byte for byte, a project recalled into a fresh plug-in with the
// simulator's ports (ports by name, settings flags, names, the sound sent
// after the global step), stored ports that are absent or never chosen,
// short bodies, values that are not finite, a load while the job thread is
// busy, and a failed load that puts the settings back.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "framework/ControlLayer.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
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
    ASSERT_TRUE(b.UnserializeChunkFromHost(&c, false));
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

// A load while the job thread is busy starts no sound job, so it marks no
// transfer either: input from the instrument keeps arriving.
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

  // A body that ends after the block: the names are used, bank and patch
  // stay, and the read fails.
  h.make();
  Tavrin& b = h.tavrin();
  b.GetParam(kBankSelection)->Set(2);
  b.GetParam(kPatchSelection)->Set(7);
  b.patchManager()->bankIndex = 2;
  b.patchManager()->patchIndex = 7;
  ByteChunk body;
  fill(body, Bytes(saved.chunk.begin() + 8, saved.chunk.begin() + static_cast<long>(at.doubles)));
  EXPECT_EQ(b.UnserializeState(&body, 0), -1);
  EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), saved.out);
  EXPECT_EQ(b.GetHardwarePorts()->openInIndex(), saved.in);
  EXPECT_EQ(b.GetParam(kBankSelection)->Value(), 2.0);
  EXPECT_EQ(b.GetParam(kPatchSelection)->Value(), 7.0);
  EXPECT_EQ(b.patchManager()->bankIndex, 2);
  EXPECT_EQ(b.patchManager()->patchIndex, 7);
  // A body that ends before any name leaves the ports alone.
  ByteChunk marker;
  fill(marker, {0, 0, 0, 1});
  EXPECT_EQ(b.UnserializeState(&marker, 0), -1);
  EXPECT_EQ(b.GetHardwarePorts()->openOutIndex(), saved.out);

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
  // the values and the settings stay, the ports opened by name are shown.
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
    KIT_MutexLock lock(d.GetMutex());
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
    looked = true;
  }
  h.holdJobSleeps({});
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
