// The message hub over the loopback with the simulated synthesizer on its
// own ports, the editor stand-in and the manual clock: the request jobs,
// their waits, texts and flags, the device-ID search, cancels, and the
// incoming dispatch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "platform/clock.h"
#include "standin_editor.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

using hwtest::Bytes;
using synthsim::Fault;
using synthsim::SynthSimulator;
using Sender = MIDIMessageSender;

namespace {

struct HubTest : ::testing::Test, hwtest::LoopbackRig {
  std::function<void(int)> onSleep;  // called with the number of the sleep
  int sleeps = 0;

  void SetUp() override {
    ASSERT_TRUE(makeEditor());
    clock.setSleepObserver([this](uint64_t) {
      EXPECT_FALSE(ed->GetMutex().IsLockedByCaller()) << "a pause under the plug-in mutex";
      ++sleeps;
      if (onSleep) onSleep(sleeps);
    });
  }
  void TearDown() override {
    ed.reset();
    EXPECT_EQ(sim.highBitMessages(), 0u);
  }

  MIDIMessageManager& hub() { return ed->hub(); }
  // Runs a job to its end; the time it took on the clock, in ms.
  uint64_t run(SenderJob job, std::function<void()> prepare = {}) {
    const uint64_t start = clock.monotonicMicros();
    EXPECT_TRUE(hub().startJob(job, std::move(prepare)));
    waitJob();
    return (clock.monotonicMicros() - start) / 1000;
  }
  void waitJob() {
    EXPECT_TRUE(hwtest::spinUntil([&] { return !hub().threadRunning(MIDIMessageManager::kJobThread); },
                                  std::chrono::seconds(60)));
    lb.drain();
    sim.waitIdle();
  }
  static SenderJob job(int mode, int bank = 0) {
    SenderJob j;
    j.mode = mode;
    j.requestBank = bank;
    return j;
  }
  // The system-exclusive requests the simulator received, framed.
  std::vector<Bytes> requests() {
    std::vector<Bytes> out;
    for (const auto& r : sim.received())
      if (!r.bytes.empty() && r.bytes[0] == 0xF0) out.push_back(r.bytes);
    return out;
  }
};

Bytes wire(const std::vector<uint8_t>& unframed) { return sysex::frameSysex(unframed); }

TEST(HubPacing, LibSyncTimerTable) {
  const std::pair<double, int> cases[] = {{0, 200}, {1, 300}, {2, 400},  {3, 500},  {3.9, 500},
                                          {7, 100}, {-1, 100}, {-0.5, 200}, {1e12, 100}, {NAN, 100}};
  for (auto [v, ms] : cases) EXPECT_EQ(MIDIMessageManager::requestPacingMs(v), ms) << v;
}

// Job 9 to device 0: its texts, and the global dump applied by the table.
TEST_F(HubTest, DeviceEnquiryAppliesTheGlobalDump) {
  auto settings = sim.globalSettings();
  settings[6] = 1;                           // byte 11: external clock
  settings[1] = 52;                          // byte 6: transpose +12
  sim.setGlobalSettings(settings);
  ed->setParam(kGlobalPolyId, 9);
  ed->setParam(kGlobalPolyOf, 11);
  run(job(SenderJob::kDeviceEnquiry));
  EXPECT_EQ(requests(), std::vector<Bytes>{wire(sysex::globalRequest(0))});
  EXPECT_EQ(ed->texts(), (std::vector<std::string>{Sender::kConnectingText, Sender::kProcessingText,
                                                   Sender::kReadyText}));
  EXPECT_EQ(ed->param(kGlobalTranspose), 12);
  EXPECT_EQ(ed->param(kGlobalMasterTune), 0);
  EXPECT_EQ(ed->param(kGlobalVolume), 100);
  EXPECT_EQ(ed->param(kGlobalPolyId), 9);
  EXPECT_EQ(ed->param(kGlobalPolyOf), 11);
  EXPECT_EQ(ed->arpLayersExternal(), true);
  EXPECT_FALSE(ed->flags().awaitingGlobalDump);
  EXPECT_EQ(ed->indicator(), (std::vector<bool>{true, false}));
}

// A silent instrument: 21 passes, the search of pass 15 with 127 requests,
// the time-out text, and the whole time.
TEST_F(HubTest, SilentInstrumentSearchesThenTimesOut) {
  sim.setFault(Fault::Silent);
  const struct {
    int mode;
    uint64_t ms;
    const char* timeout;
  } cases[] = {{SenderJob::kSingleRequest, 29'800, Sender::kTimedOutText},
               {SenderJob::kEditBufferRequest, 17'000, Sender::kTimedOutText},
               {SenderJob::kDeviceEnquiry, 29'800, Sender::kNoResponseText}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    sim.clearRecords();
    ed->clearRecords();
    EXPECT_EQ(run(job(c.mode)), c.ms);
    const auto req = requests();
    ASSERT_EQ(req.size(), 128u);
    for (int id = 0; id < 127; ++id) EXPECT_EQ(req[static_cast<size_t>(id) + 1][3], id);
    const auto texts = ed->texts();
    EXPECT_EQ(texts.back(), c.timeout);
    if (c.mode != SenderJob::kDeviceEnquiry) {
      EXPECT_EQ(texts[0], std::string(Sender::kSearchText) + "1");
      EXPECT_EQ(texts[126], std::string(Sender::kSearchText) + "127");
      EXPECT_EQ(texts.size(), 128u);
    }
    EXPECT_TRUE(hub().timedOut());
    EXPECT_FALSE(ed->flags().awaitingGlobalDump);
  }
}

// A reply delayed into pass 3 ends the wait after that pass; no search.
TEST_F(HubTest, ReplyDelayedIntoPassThree) {
  sim.setFault(Fault::Delay);
  sim.setDelayMicros(500'000);  // t = 200 ms: lands during the third pause
  EXPECT_EQ(run(job(SenderJob::kEditBufferRequest)), 3 * 200 + 100);
  EXPECT_EQ(requests().size(), 1u);
  EXPECT_EQ(ed->texts(), std::vector<std::string>{Sender::kCompletedText});
}

// The search stops after the device byte that answers, and the device ID is
// learnt; a device the sound parse refuses is learnt all the same.
TEST_F(HubTest, DeviceSearchLearnsTheAnsweringId) {
  ed->setParam(kLibSyncTimer, 7);
  sim.setDeviceId(5);
  for (int mode : {SenderJob::kSingleRequest, SenderJob::kDeviceEnquiry}) {
    SCOPED_TRACE(mode);
    sim.clearRecords();
    ed->flags().deviceId = 0;
    ed->setParam(kGlobalDeviceID, 0);
    run(job(mode));
    const auto req = requests();
    ASSERT_EQ(req.size(), 7u);  // the request, then devices 0..5
    EXPECT_EQ(req.back()[3], 5);
    EXPECT_EQ(ed->flags().deviceId, 5);
  }
  EXPECT_TRUE(ed->slot(0).has_value());

  sim.setDeviceId(20);
  ed->setParam(kOscillator1Level, 99);
  EXPECT_EQ(run(job(SenderJob::kEditBufferRequest)), 21 * 100 + 127 * 50 + 50);
  EXPECT_EQ(ed->flags().deviceId, 20);
  EXPECT_EQ(ed->param(kOscillator1Level), 99);
  EXPECT_EQ(ed->texts().back(), Sender::kTimedOutText);
  ed->setTargetSlot(3);
  run(job(SenderJob::kSingleRequest));
  ASSERT_TRUE(ed->slot(3).has_value());
  EXPECT_EQ(ed->slot(3)->messages.size(), 1u);
}

// Job 4 applies the instrument's edit buffer as the dump reader gives it.
TEST_F(HubTest, EditBufferRequestAppliesTheSound) {
  sounddump::Dump d = SynthSimulator::factorySound(2, 7);
  sounddump::address(d, 0, sysex::kEditBuffer);
  sim.setEditBuffer(d);
  run(job(SenderJob::kEditBufferRequest));
  const auto parsed = sounddump::parse(d.data(), d.size(), {});
  for (const auto& w : parsed->writes) EXPECT_EQ(ed->param(w.param), w.value) << w.param;
  EXPECT_STREQ(ed->GetParam(kPatchName)->GetDisplayText(0), parsed->name.c_str());
  EXPECT_EQ(ed->categoryTexts(), std::vector<std::string>{parsed->categoryText});
  EXPECT_EQ(ed->record(), std::make_pair(parsed->name, parsed->categoryText));
  EXPECT_EQ(ed->count("ui"), 1);
  EXPECT_EQ(ed->texts(), std::vector<std::string>{Sender::kCompletedText});
}

// Job 7 of bank 1 fills the upper bank, going on past a location that stays
// unanswered; job 5 asks for the edit buffer with the device parameter.
TEST_F(HubTest, BankRequestFillsTheUpperBank) {
  ed->setParam(kLibSyncTimer, 7);
  sim.setUnanswered(sysex::encodeLocation(1, 42), true);
  hub().sendAllPatchRequestSysexFromLibrarian(1);
  waitJob();
  const auto req = requests();
  ASSERT_EQ(req.size(), 100u + 127u);
  for (int s = 0; s < 100; ++s) {
    SCOPED_TRACE(s);
    const auto where = sysex::encodeLocation(1, s);
    const size_t at = static_cast<size_t>(s) + (s > 42 ? 127 : 0);
    EXPECT_EQ(req[at], wire(sysex::soundRequest(0, where)));
    const auto got = ed->slot(s);
    ASSERT_EQ(got.has_value(), s != 42);
    if (s != 42) {
      EXPECT_EQ(got->messages[0], hwtest::storedAnswer(1, s));
    }
  }
  EXPECT_EQ(ed->slot(5)->name, "SIM 1-05      ");
  EXPECT_EQ(ed->targetSlot(), 0);
  EXPECT_EQ(ed->count("unsaved"), 1);
  EXPECT_EQ(ed->texts().back(), Sender::kTimedOutText);

  sim.clearRecords();
  ed->setParam(kGlobalDeviceID, 9);
  run(job(SenderJob::kPartRequest));
  EXPECT_EQ(requests().front(), wire({0x3E, 0x16, 9, 0x00, 0x7F, 0x00}));
}

// A cancel in any pass or during the search: no further request, the job
// ends at the pause it interrupted, with the cancel text, the bank's discard
// mark and a disarmed collector; the enquiry keeps the device ID.
TEST_F(HubTest, CancelEndsTheJobAtThePauseItInterrupts) {
  sim.setFault(Fault::Silent);
  for (int mode : {SenderJob::kEditBufferRequest, SenderJob::kSingleRequest, SenderJob::kBankRequest,
                   SenderJob::kDeviceEnquiry}) {
    for (int at : {1, 7, 14, 30}) {  // passes 1, 7 and 14, and in the search of pass 15
      SCOPED_TRACE(::testing::Message() << "job " << mode << " sleep " << at);
      sim.clearRecords();
      ed->clearRecords();
      ed->setParam(kDiscardBankData, 0);
      ed->flags().deviceId = 3;
      sleeps = 0;
      size_t sentAtCancel = 0;
      onSleep = [&](int n) {
        if (n != at) return;
        hub().setCancelRequested(true);
        lb.drain();
        sim.waitIdle();
        sentAtCancel = requests().size();
      };
      run(job(mode), [&] { hub().armLibraryRequest(); });
      onSleep = nullptr;
      EXPECT_EQ(sleeps, at);
      EXPECT_EQ(requests().size(), sentAtCancel);
      EXPECT_EQ(ed->texts().back(), Sender::kCancelledText);
      EXPECT_FALSE(hub().libraryRequest().active);
      const bool bank = mode == SenderJob::kSingleRequest || mode == SenderJob::kBankRequest;
      EXPECT_EQ(ed->param(kDiscardBankData), bank ? 1.0 : 0.0);
      EXPECT_EQ(ed->flags().deviceId, 3);
      EXPECT_FALSE(ed->flags().awaitingGlobalDump);
      EXPECT_EQ(ed->indicator().back(), false);
    }
  }
}

// A front end on a busy thread, or without a slot to store into, changes
// and sends nothing.
TEST_F(HubTest, FrontEndsOnABusyThreadOrWithoutASlotDoNothing) {
  sim.setFault(Fault::Silent);
  onSleep = [&](int n) {
    if (n != 1) return;
    hub().sendSinglePatchRequestSysexFromLibrarian(false);
    hub().sendAllPatchRequestSysexFromLibrarian(2);
    hub().sendActiveArrangementRequestSysex(true);
    EXPECT_FALSE(hub().libraryRequest().active);
    hub().setCancelRequested(true);
  };
  run(job(SenderJob::kPartRequest));
  onSleep = nullptr;
  EXPECT_EQ(requests().size(), 1u);
  sim.clearRecords();
  for (int target : {-1, 100}) {
    ed->setTargetSlot(target);
    hub().sendSinglePatchRequestSysexFromLibrarian(false);
  }
  ed->setTargetSlot(0);
  ed->setUpperBank(false);
  hub().sendSinglePatchRequestSysexFromLibrarian(false);
  hub().sendAllPatchRequestSysexFromLibrarian(0);
  waitJob();
  EXPECT_TRUE(requests().empty());
  EXPECT_FALSE(hub().libraryRequest().active);
}

// The front ends answer whether their job started: false on a busy thread,
// without a slot to store into and on a stopped hub, and then no flag of
// theirs is raised.
TEST_F(HubTest, FrontEndsAnswerWhetherTheirJobStarted) {
  sim.setFault(Fault::Silent);
  onSleep = [&](int n) {
    if (n != 1) return;
    EXPECT_FALSE(hub().sendSinglePatchRequestSysexFromLibrarian(false));
    EXPECT_FALSE(hub().sendAllPatchRequestSysexFromLibrarian(2));
    EXPECT_FALSE(hub().sendActiveArrangementRequestSysex(true));
    EXPECT_FALSE(hub().startPartRequest(3));
    EXPECT_FALSE(hub().libraryRequest().active);
    hub().setCancelRequested(true);
  };
  run(job(SenderJob::kPartRequest));
  onSleep = nullptr;
  hub().setRequestPending(false);
  for (int target : {-1, 100}) {
    ed->setTargetSlot(target);
    EXPECT_FALSE(hub().sendSinglePatchRequestSysexFromLibrarian(true));
  }
  ed->setTargetSlot(0);
  ed->setUpperBank(false);
  EXPECT_FALSE(hub().sendAllPatchRequestSysexFromLibrarian(0));
  EXPECT_FALSE(hub().libraryRequest().active);
  EXPECT_FALSE(hub().requestPending());
  // Started ones answer true; each ends at its first pause.
  ed->setUpperBank(true);
  onSleep = [&](int) { hub().setCancelRequested(true); };
  EXPECT_TRUE(hub().sendAllPatchRequestSysexFromLibrarian(0));
  waitJob();
  EXPECT_TRUE(hub().sendActiveArrangementRequestSysex(true));
  waitJob();
  onSleep = nullptr;
  hub().stop();
  EXPECT_FALSE(hub().sendActiveArrangementRequestSysex(true));
  EXPECT_FALSE(hub().startPartRequest(1));
  EXPECT_FALSE(hub().requestPending());
}

// The prepare step runs once the job's thread has started and before the
// job: a refused start runs none, and one that throws withdraws the job.
TEST_F(HubTest, PrepareRunsOnceTheThreadHasStartedAndBeforeTheJob) {
  sounddump::Dump d = SynthSimulator::factorySound(1, 2);
  sounddump::address(d, 0, sysex::kEditBuffer);
  sim.setEditBuffer(d);
  bool threadStarted = false;
  // The job clears the time-out mark at its start; a prepare after it
  // would leave the mark set.
  run(SenderJob::editBufferRequest(), [&] {
    threadStarted = hub().threadRunning(MIDIMessageManager::kJobThread);
    hub().setTimedOut(true);
  });
  EXPECT_TRUE(threadStarted);
  EXPECT_FALSE(hub().timedOut());
  EXPECT_EQ(ed->texts().back(), Sender::kCompletedText);

  // Refused while the thread runs: the prepare is not run.
  sim.setFault(Fault::Silent);
  bool prepared = false;
  onSleep = [&](int n) {
    if (n != 1) return;
    EXPECT_FALSE(hub().startJob(SenderJob::partRequest(2), [&] { prepared = true; }));
    hub().setCancelRequested(true);
  };
  run(SenderJob::editBufferRequest());
  onSleep = nullptr;
  EXPECT_FALSE(prepared);

  // A prepare that throws: false, and the job sends nothing.
  sim.clearRecords();
  const size_t texts = ed->texts().size();
  EXPECT_FALSE(hub().startJob(SenderJob::editBufferRequest(), [] { throw std::runtime_error("no"); }));
  waitJob();
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(ed->texts().size(), texts);
}

// A job started to follow the running one is kept instead of dropped: it
// runs on the same thread once that job has ended (a later one replaces
// it), its prepare just before it; a stopped hub drops it.
TEST_F(HubTest, AJobStartedAfterTheRunningOneRunsWhenItEnds) {
  sim.setFault(Fault::Silent);
  std::vector<int> prepared;
  onSleep = [&](int n) {
    if (n == 1) {
      EXPECT_TRUE(hub().startJobAfterRunning(job(SenderJob::kDeviceEnquiry), [&] { prepared.push_back(1); }));
      EXPECT_TRUE(hub().startJobAfterRunning(SenderJob::editBufferRequest(), [&] { prepared.push_back(2); }));
      EXPECT_TRUE(prepared.empty());
    }
    hub().setCancelRequested(true);
  };
  run(job(SenderJob::kPartRequest));
  EXPECT_EQ(prepared, std::vector<int>{2});
  EXPECT_EQ(hub().lastJob(MIDIMessageManager::kJobThread).mode, SenderJob::kEditBufferRequest);
  EXPECT_EQ(requests().size(), 2u);

  bool stopped = false;
  onSleep = [&](int) {
    if (stopped) return;
    stopped = true;
    EXPECT_TRUE(hub().startJobAfterRunning(SenderJob::editBufferRequest(), [&] { prepared.push_back(3); }));
    hub().stop();
  };
  EXPECT_TRUE(hub().startJob(job(SenderJob::kPartRequest)));
  waitJob();
  EXPECT_EQ(prepared, std::vector<int>{2});
}

// Sound dumps to the instrument that wait for the running job go as one,
// with the global step and every preparation either start asked for.
TEST_F(HubTest, SoundDumpsThatWaitGoAsOne) {
  sim.setFault(Fault::Silent);
  std::vector<int> prepared;
  onSleep = [&](int n) {
    if (n == 1) {
      SenderJob full = job(SenderJob::kSendSound), soundOnly = full;
      full.globalStep = true;
      EXPECT_TRUE(hub().startJobAfterRunning(full, [&] { prepared.push_back(1); }));
      EXPECT_TRUE(hub().startJobAfterRunning(soundOnly));
      EXPECT_TRUE(hub().startJobAfterRunning(soundOnly, [&] { prepared.push_back(2); }));
    }
    hub().setCancelRequested(true);
  };
  sim.clearRecords();
  run(job(SenderJob::kPartRequest));
  EXPECT_EQ(prepared, (std::vector<int>{1, 2}));
  EXPECT_TRUE(hub().lastJob(MIDIMessageManager::kJobThread).globalStep);
  const auto got = sim.received();
  EXPECT_EQ(std::count_if(got.begin(), got.end(),
                          [](const auto& r) { return r.bytes.size() == sounddump::kLength && r.bytes[4] == 0x10; }),
            1);
}

// Echoed, truncated, oversized and garbage answers to job 4 change only
// what the dump reader takes from them; a single-parameter message from the
// instrument moves its control and nothing goes back.
TEST_F(HubTest, FaultyAnswersAndSingleParameterMessages) {
  ed->setParam(kLibSyncTimer, 7);
  for (Fault f : {Fault::Echo, Fault::Truncated, Fault::Oversized, Fault::Garbage}) {
    SCOPED_TRACE(synthsim::faultName(f));
    sim.setFault(f);
    sim.clearRecords();
    for (int p = 0; p <= kLastSoundParameter; ++p) ed->setParam(p, 3);
    run(job(SenderJob::kEditBufferRequest));
    const Bytes answer = sim.sent().front();
    const auto parsed = sounddump::parse(answer.data(), answer.size(), {});
    ASSERT_EQ(parsed.has_value(), f == Fault::Oversized || f == Fault::Garbage);
    if (!parsed) {
      EXPECT_EQ(ed->param(kFilterCutoff), 3);
    }
    for (const auto& w : parsed ? parsed->writes : std::vector<sounddump::ParameterWrite>{}) {
      const IParam* p = ed->GetParam(w.param);
      EXPECT_EQ(ed->param(w.param), std::clamp(w.value, p->GetMin(), p->GetMax())) << w.param;
    }
  }
  sim.setFault(Fault::None);
  sim.clearRecords();
  IControl* c = ed->bindSingleParameter(kFilterCutoff, 0x10, 0x00);
  sim.sendSingleParameter(0x10, 0x00, 64);
  lb.drain();
  ports->waitIdle();
  EXPECT_EQ(ed->param(kFilterCutoff), 64);
  EXPECT_DOUBLE_EQ(c->GetValue(), 64.0 / 127);
  EXPECT_TRUE(requests().empty());
}

}  // namespace
