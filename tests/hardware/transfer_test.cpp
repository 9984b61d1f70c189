// The sound jobs over the loopback with the simulated synthesizer, the
// editor stand-in and the manual clock: the editor's sound to the
// instrument and into a slot, the INIT slot, one stored sound and a whole
// bank to the instrument, and the control actions' system-exclusive sends.
#include <gtest/gtest.h>

#include <algorithm>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "platform/clock.h"
#include "standin_editor.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

using hwtest::Bytes;
using synthsim::SynthSimulator;

namespace {

struct TransferTest : ::testing::Test, hwtest::LoopbackRig {
  std::vector<uint64_t> pauses;  // ms
  std::function<void(size_t)> onPause;

  void SetUp() override {
    ASSERT_TRUE(makeEditor());
    clock.setSleepObserver([this](uint64_t us) {
      EXPECT_FALSE(ed->GetMutex().IsLockedByCaller()) << "a pause under the plug-in mutex";
      pauses.push_back(us / 1000);
      if (onPause) onPause(pauses.size());
    });
  }
  void TearDown() override {
    ed.reset();
    EXPECT_EQ(sim.highBitMessages(), 0u);
  }
  MIDIMessageManager& hub() { return ed->hub(); }
  void run(const SenderJob& job) {
    pauses.clear();
    sim.clearRecords();
    ed->clearRecords();
    ASSERT_TRUE(hub().startJob(job));
    ASSERT_TRUE(hwtest::spinUntil([&] { return !hub().threadRunning(MIDIMessageManager::kJobThread); },
                                  std::chrono::seconds(60)));
    lb.drain();
    sim.waitIdle();
  }
  std::vector<Bytes> received() {
    std::vector<Bytes> out;
    for (const auto& r : sim.received()) out.push_back(r.bytes);
    return out;
  }
  // The stand-in's sound as the dump writer reads it.
  sounddump::Snapshot snapshot() {
    sounddump::Snapshot s;
    for (int i = 0; i < kParameterCount; ++i) s.values[static_cast<size_t>(i)] = ed->param(i);
    const char* name = ed->GetParam(kPatchName)->GetDisplayText(0);
    s.name = name ? name : "";
    return s;
  }
  static std::vector<sounddump::ParameterWrite> writesOf(const sounddump::Dump& d) {
    return sounddump::parse(d.data(), d.size(), {})->writes;
  }
  // Sets the sound parameters, the name and the category from a dump.
  void setSound(const sounddump::Dump& d) {
    for (const auto& w : writesOf(d)) ed->setParam(w.param, w.value);
    const std::string name(d.begin() + sounddump::kNameFirst, d.begin() + sounddump::kNameFirst + 13);
    ed->GetParam(kPatchName)->SetDisplayText(0, name.c_str());
  }
  static SenderJob job(int mode) {
    SenderJob j;
    j.mode = mode;
    return j;
  }
};

const Bytes kAllNotesOff{0xB0, 0x7B, 0x00};

// Job 0 to the instrument: the global step when it is due, the dump in the
// edit buffer, record and category; job 4 then brings the sound back.
TEST_F(TransferTest, SoundToTheInstrumentAndBack) {
  setSound(SynthSimulator::factorySound(1, 23));
  ed->GetParam(kPatchName)->SetDisplayText(0, "round trip");
  ed->setParam(kCategoryName, 7);
  const auto expected = sounddump::build(snapshot());
  auto& flags = ed->flags();
  ASSERT_TRUE(SenderJob::sendSound(false, false, flags).globalStep);
  run(SenderJob::sendSound(false, false, flags));
  EXPECT_EQ(pauses, (std::vector<uint64_t>{1000, 400, 200}));
  EXPECT_EQ(ed->indicator(), (std::vector<bool>{true, true, false, false}));
  EXPECT_TRUE(flags.globalsSent);
  EXPECT_EQ(sim.editBuffer(), expected);
  EXPECT_EQ(expected[sounddump::kCheckByte], sysex::calculateCheckSum(expected.data(), expected.size()));
  EXPECT_EQ(ed->record(), std::make_pair(std::string("round trip"), sounddump::categoryTextWritten(7)));
  EXPECT_EQ(ed->categoryTexts(), std::vector<std::string>{sounddump::categoryTextWritten(7)});

  // No global step once the globals are sent, nor for a name change.
  flags.push = true;
  EXPECT_FALSE(SenderJob::sendSound(false, true, flags).globalStep);
  EXPECT_FALSE(SenderJob::sendSound(true, false, flags).globalStep);
  flags.push = false;
  run(SenderJob::sendSound(false, false, flags));
  EXPECT_EQ(pauses, std::vector<uint64_t>{200});

  setSound(SynthSimulator::factorySound(0, 0));
  ed->GetParam(kPatchName)->SetDisplayText(0, "other");
  ed->setParam(kCategoryName, 1);
  run(job(SenderJob::kEditBufferRequest));
  for (const auto& w : writesOf(expected))
    EXPECT_EQ(ed->param(w.param), w.value) << w.param;
  EXPECT_STREQ(ed->GetParam(kPatchName)->GetDisplayText(0), "ROUND TRIP    ");
}

// Job 0's librarian form and job 8 store into the target slot through the
// hand-over, whatever the pass-through says, and only into a valid slot.
TEST_F(TransferTest, SoundAndInitIntoTheTargetSlot) {
  ed->setParam(kMIDIFilterHWSEPassThrough, 0);
  ed->setParam(kGlobalDeviceID, 3);
  setSound(SynthSimulator::factorySound(2, 9));
  const auto expected = sounddump::build(snapshot());
  ed->setTargetSlot(37);
  run(SenderJob::sendSound(true, false, ed->flags()));
  EXPECT_TRUE(pauses.empty());
  EXPECT_TRUE(received().empty());
  ASSERT_TRUE(ed->slot(37).has_value());
  EXPECT_EQ(ed->slot(37)->messages, std::vector<Bytes>{hwtest::toBytes(expected)});

  run(job(SenderJob::kInitSlot));
  EXPECT_EQ(pauses, std::vector<uint64_t>{100});
  EXPECT_TRUE(received().empty());
  const Bytes init = ed->slot(37)->messages.at(0);
  EXPECT_EQ(init, hwtest::toBytes(sounddump::buildInitSlot(3, 37)));
  EXPECT_EQ(Bytes(init.begin() + 3, init.begin() + 7), (Bytes{3, 0x10, 0x00, 0x25}));
  EXPECT_EQ(ed->slot(37)->name, "INIT          ");
  EXPECT_EQ(init[sounddump::kCategoryByte], 0);
  EXPECT_EQ(ed->count("unsaved"), 1);

  for (int target : {-1, 100, 5}) {
    SCOPED_TRACE(target);
    ed->setTargetSlot(target);
    ed->setUpperBank(target == 5 ? false : true);
    for (int mode : {SenderJob::kSendSound, SenderJob::kInitSlot}) {
      SenderJob j = SenderJob::sendSound(true, false, ed->flags());
      j.mode = mode;
      run(j);
      EXPECT_FALSE(hub().libraryRequest().active);
    }
    EXPECT_EQ(ed->count("unsaved"), 0);
    EXPECT_TRUE(ed->indicator().empty());
  }
}

// Job 2: All Notes Off, the framed dump for the edit buffer, fed back once;
// with a location it goes there and nothing is fed back; a patch without a
// dump sends nothing and shows nothing.
TEST_F(TransferTest, StoredSoundToTheInstrument) {
  sim.setDeviceId(10);
  ed->setParam(kGlobalDeviceID, 10);
  const Bytes stored = hwtest::storedAnswer(3, 4, 0x55);
  Bytes shortOne(stored.begin(), stored.begin() + 100);
  Bytes longer = stored;
  longer.insert(longer.end() - 1, {1, 2, 3});
  Bytes highBit = stored;
  highBit[50] = 0x80;
  SenderJob j = job(SenderJob::kSendLibrarianSound);
  j.dump = hwtest::toBytes(*sounddump::pickStoredDump({shortOne, highBit, longer, stored}));
  EXPECT_EQ(j.dump, stored);
  ed->flags().transferInProgress = true;
  run(j);
  sounddump::Dump sent = SynthSimulator::answerFor(SynthSimulator::factorySound(3, 4), 10, sysex::kEditBuffer);
  EXPECT_EQ(received(), (std::vector<Bytes>{kAllNotesOff, hwtest::toBytes(sent)}));
  EXPECT_EQ(pauses, std::vector<uint64_t>{50});
  EXPECT_EQ(sim.editBuffer(), sent);
  for (const auto& w : writesOf(sent))
    EXPECT_EQ(ed->param(w.param), w.value) << w.param;
  EXPECT_EQ(ed->count("ui"), 1);
  EXPECT_EQ(ed->texts(), std::vector<std::string>{MIDIMessageSender::kSendCompletedText});
  EXPECT_EQ(ed->indicator().back(), false);
  EXPECT_FALSE(ed->flags().transferInProgress);
  EXPECT_FALSE(hub().requestPending());

  j.location = sysex::encodeLocation(2, 37);
  ed->setParam(kFilterCutoff, 1);
  run(j);
  EXPECT_EQ(received().at(1)[5], 0x01);
  EXPECT_EQ(received().at(1)[6], 0x6D);
  EXPECT_EQ(sim.sound(2, 37)[sounddump::kNameFirst], 'S');
  EXPECT_EQ(ed->param(kFilterCutoff), 1);
  EXPECT_EQ(ed->count("ui"), 0);

  for (const Bytes& bad : {Bytes{}, shortOne, highBit}) {
    EXPECT_FALSE(sounddump::pickStoredDump({bad}));
    j.dump = bad;
    ed->flags().transferInProgress = true;
    run(j);
    EXPECT_TRUE(received().empty());
    EXPECT_TRUE(ed->texts().empty());
    EXPECT_EQ(ed->indicator(), std::vector<bool>{false});
    EXPECT_FALSE(ed->flags().transferInProgress);
    EXPECT_EQ(ed->count("ui"), 0);
  }
}

// The step code of the current parameters, as the dump writer puts it into
// bytes 97..112; no code for a step outside 0..15.
TEST_F(TransferTest, PatternCodeOfTheCurrentSteps) {
  const struct {
    int step, event, time, glide;
    uint8_t code;
  } cases[] = {{0, 0, 0, 1, 0x40}, {5, 15, 3, 1, 0x7F}, {15, 2, 3, 0, 0x32}, {9, 7, 1, 0, 0x17}};
  for (const auto& c : cases) {
    ed->setParam(kPatternStep01Event + c.step, c.event);
    ed->setParam(kPatternStep01Time + c.step, c.time);
    ed->setParam(kPatternStep01Glide + c.step, c.glide);
  }
  MIDIMessageSender sender(hub());
  const auto dump = sounddump::build(snapshot());
  KIT_MutexLock lock(ed->GetMutex());
  for (const auto& c : cases) EXPECT_EQ(sender.GeneratePatternCode(c.step), c.code) << c.step;
  for (int step = 0; step < 16; ++step) EXPECT_EQ(sender.GeneratePatternCode(step), dump[97 + step]) << step;
  EXPECT_EQ(sender.GeneratePatternCode(-1), 0);
  EXPECT_EQ(sender.GeneratePatternCode(16), 0);
}

// A stored message whose command byte is not the sound dump's goes out as a
// sound dump, its check byte computed after the change, from job 2 and job 3.
TEST_F(TransferTest, StoredSoundsGoOutWithTheSoundDumpCommand) {
  for (uint8_t command : {uint8_t{0x14}, uint8_t{0x00}}) {
    SCOPED_TRACE(static_cast<int>(command));
    Bytes stored = hwtest::storedAnswer(1, 2, 0x21);
    stored[4] = command;
    SenderJob two = job(SenderJob::kSendLibrarianSound);
    two.dump = stored;
    SenderJob three = job(SenderJob::kStoreBank);
    three.dumps[0] = stored;
    for (const SenderJob& j : {two, three}) {
      run(j);
      const auto got = received();
      ASSERT_EQ(got.size(), 2u);
      const Bytes& dump = got[1];
      ASSERT_EQ(dump.size(), sounddump::kLength);
      EXPECT_EQ(dump[4], sysex::kCmdSoundDump);
      EXPECT_EQ(dump[sounddump::kCheckByte], sysex::calculateCheckSum(dump.data(), dump.size()));
    }
  }
}

// Job 3 stores a bank at its locations, t apart; job 7 brings the same
// sounds back. Empty slots cost no pause; a cancel stops before the next
// slot.
TEST_F(TransferTest, BankToTheInstrumentAndBack) {
  ed->setParam(kLibSyncTimer, 7);
  SenderJob j = job(SenderJob::kStoreBank);
  j.storeBank = 2;
  j.secondList = true;
  std::vector<Bytes> originals;
  for (int s = 0; s < 100; ++s) {
    originals.push_back(hwtest::storedAnswer(s % 5, s, 9));
    j.dumps[static_cast<size_t>(s)] = originals.back();
  }
  run(j);
  const auto got = received();
  ASSERT_EQ(got.size(), 101u);
  EXPECT_EQ(got[0], kAllNotesOff);
  EXPECT_EQ(pauses.front(), 50u);
  EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 100u), 100);
  EXPECT_EQ(Bytes(got[1].begin() + 5, got[1].begin() + 7), (Bytes{0x01, 0x48}));
  EXPECT_EQ(Bytes(got[100].begin() + 5, got[100].begin() + 7), (Bytes{0x02, 0x2B}));
  EXPECT_TRUE(ed->texts().empty());
  for (int s = 0; s < 100; ++s) {
    sounddump::Dump want;
    std::copy_n(originals[static_cast<size_t>(s)].begin(), want.size(), want.begin());
    EXPECT_EQ(sim.sound(2, s), SynthSimulator::answerFor(want, 0, sysex::encodeLocation(2, s))) << s;
  }
  const auto sel = ed->selections();
  ASSERT_EQ(sel.size(), 101u);
  EXPECT_EQ(sel[99], std::make_pair(true, 99));
  EXPECT_EQ(sel[100], std::make_pair(false, 0));

  hub().sendAllPatchRequestSysexFromLibrarian(2);
  ASSERT_TRUE(hwtest::spinUntil([&] { return !hub().threadRunning(MIDIMessageManager::kJobThread); },
                                std::chrono::seconds(60)));
  for (int s = 0; s < 100; ++s) {
    const Bytes& o = originals[static_cast<size_t>(s)];
    const auto slot = ed->slot(s);
    ASSERT_TRUE(slot.has_value()) << s;
    EXPECT_EQ(Bytes(slot->messages[0].begin() + 7, slot->messages[0].begin() + 135), Bytes(o.begin() + 7, o.begin() + 135));
    EXPECT_EQ(slot->category, o[sounddump::kCategoryByte]);
    EXPECT_EQ(slot->name, std::string(o.begin() + 120, o.begin() + 134));
  }

  SenderJob sparse = job(SenderJob::kStoreBank);
  sparse.dumps[3] = originals[3];
  sparse.dumps[50] = originals[50];
  run(sparse);
  EXPECT_EQ(pauses, (std::vector<uint64_t>{50, 100, 100}));

  onPause = [&](size_t n) {
    if (n == 5) hub().setCancelRequested(true);
  };
  run(j);
  EXPECT_EQ(received().size(), 1u + 4u);
  EXPECT_TRUE(ed->texts().empty());
  EXPECT_EQ(ed->indicator().back(), false);
}

// The control actions' system-exclusive messages: framed on the way out,
// refused without an output port, empty, or with a status byte inside.
TEST_F(TransferTest, ControlActionMessages) {
  const std::pair<std::vector<int>, Bytes> cases[] = {
      {{62, 22, 0, 4}, {0xF0, 0x3E, 0x16, 0x00, 0x04, 0xF7}}, {{0xF0, 0x3E, 0x7F, 0xF7}, {0xF0, 0x3E, 0x7F, 0xF7}},
      {{62, 22, 256, 4}, {0xF0, 0x3E, 0x16, 0x00, 0x04, 0xF7}}, {{0x1F0, 62, 0x2F7}, {0xF0, 0x3E, 0xF7}},
      {{62, -256, 0x17F}, {0xF0, 0x3E, 0x00, 0x7F, 0xF7}},
      {{}, {}}, {{62, 0x80, 4}, {}}, {{256, 511}, {}}, {{62, -1}, {}}, {{62, 0xF7, 4}, {}}};
  ed->setParam(kDeviceOutSelection, 1);
  for (const auto& [ints, wire] : cases) {
    sim.clearRecords();
    hub().sendSysexMessage(ints);
    lb.drain();
    sim.waitIdle();
    EXPECT_EQ(received(), wire.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{wire});
  }
  ed->setParam(kDeviceOutSelection, 0);
  sim.clearRecords();
  hub().sendSysexMessage({62, 22, 0, 4});
  EXPECT_TRUE(received().empty());
  EXPECT_EQ(ed->texts(), std::vector<std::string>{hwtest::StandInEditor::kMidiIONotSetText});
}

// What goes out is handed to the editor's debug log as it was given; what
// is refused (empty, a status byte inside, no output port) is not.
TEST_F(TransferTest, SentControlActionMessagesGoToTheLog) {
  ed->setParam(kDeviceOutSelection, 1);
  ed->clearRecords();
  sim.clearRecords();
  const std::vector<std::vector<int>> given = {{62, 22, 0, 4}, {}, {62, 0x80, 4}, {0xF0, 62, 0x17F, 0xF7}};
  for (const auto& ints : given) hub().sendSysexMessage(ints);
  ed->setParam(kDeviceOutSelection, 0);
  hub().sendSysexMessage({62, 22, 1, 4});
  lb.drain();
  sim.waitIdle();
  EXPECT_EQ(received().size(), 2u);
  EXPECT_EQ(ed->sysexLog(), (std::vector<std::vector<int>>{{62, 22, 0, 4}, {0xF0, 62, 0x17F, 0xF7}}));
}

}  // namespace
