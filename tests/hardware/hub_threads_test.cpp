// The hub's threads under load: starts, cancels and restarts on all three
// threads while the instrument talks, and tear-down in any job state, also
// by a thread that holds the plug-in mutex. No thread outlives the hub.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "standin_editor.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"
#include "testsupport.h"

namespace {

struct HubThreads : ::testing::Test, hwtest::LoopbackRig {
  // By id: a thread of the fixture before may still be listed now, and
  // leave meanwhile (testsupport.h).
  const std::set<int> baseline = testsupport::threadIds();

  void SetUp() override {
    ASSERT_TRUE(makeEditor());
    ed->setParam(kLibSyncTimer, 7);
    ed->bindSingleParameter(kFilterCutoff, 0x10, 0x00);
  }
  void TearDown() override {
    ed.reset();
    // A joined thread leaves the process's list a moment after its join
    // returns, a long moment on a busy core: the wait is bounded.
    EXPECT_TRUE(hwtest::spinUntil([&] { return testsupport::threadsNotIn(baseline) == 0; }, std::chrono::seconds(10)))
        << testsupport::threadsNotIn(baseline) << " threads left of the hub";
  }
};

TEST_F(HubThreads, StartCancelAndRestartWhileMessagesArrive) {
  MIDIMessageManager& hub = ed->hub();
  const int modes[] = {SenderJob::kEditBufferRequest, SenderJob::kPartRequest, SenderJob::kSingleRequest,
                       SenderJob::kBankRequest, SenderJob::kDeviceEnquiry, SenderJob::kSendSound,
                       SenderJob::kSendLibrarianSound, SenderJob::kStoreBank, SenderJob::kInitSlot};
  const auto dump = hwtest::storedAnswer(0, 3);
  ed->bindControlChange(kFilterResonance, 71);
  int started = 0;
  for (int i = 0; i < 1000; ++i) {
    SenderJob job;
    job.mode = modes[i % 9];
    job.toLibrarian = i % 2;
    job.globalStep = i % 3 == 0;
    job.dump = dump;
    job.dumps[static_cast<size_t>(i % 100)] = dump;
    started += hub.startJob(job);
    sim.sendControlChange(1, 71, i & 0x7F);
    sim.sendProgramChange(1, i % 128);
    IMidiMsg fromHost(0, static_cast<uint8_t>(0xB0 | (i % 16)), 71, static_cast<uint8_t>(i & 0x7F));
    ed->ProcessMidiMsg(&fromHost, false);
    fromHost.mStatus = 0xC0;
    ed->ProcessMidiMsg(&fromHost, false);
    for (int clockMode : {SenderJob::kClockStart, SenderJob::kContinuousClock, SenderJob::kClockStop}) {
      job.mode = clockMode;
      hub.startJob(job);
    }
    sim.sendSingleParameter(0x10, 0x00, static_cast<uint8_t>(i & 0x7F));
    if (i % 3 == 0) sim.sendRaw(dump);
    ISysEx s(0, dump.data(), static_cast<int>(dump.size()));
    ed->ProcessSysEx(&s, true);
    if (i % 2) hub.setCancelRequested(true);
  }
  EXPECT_GT(started, 0);
  hub.setCancelRequested(true);
}

// An audio thread's blocks with transport edges, clock enables switched and
// randomizes on the GUI side, while the instrument talks; then tear-down
// with the timing clock running.
TEST_F(HubThreads, BlocksClockEnablesAndRandomizesWhileMessagesArrive) {
  MIDIMessageManager& hub = ed->hub();
  SharedFlags& flags = ed->flags();
  ed->setParam(kMainTab, 1.0);
  ed->setParam(kOverrideTempo, 1.0);
  ed->hostTempo = 120.0;
  std::atomic<bool> done{false};
  std::thread audio([&] {
    for (int block = 0; !done; ++block) {
      hub.onBlockStart(block % 8 < 4, block % 13 == 0);
      hub.onBlockEnd();
    }
  });
  const auto dump = hwtest::storedAnswer(0, 3);
  for (int i = 0; i < 1000; ++i) {
    flags.clockStartStopEnabled = i % 3 != 0;
    const bool timing = i % 10 < 2;
    flags.timingClockEnabled = timing;
    flags.clockLaunched = false;
    hub.resetContinuousClock(!timing);
    if (i % 20 == 0) {
      KIT_MutexLock lock(ed->GetMutex());
      hub.randomizeCommand(1.0);
    }
    sim.sendSingleParameter(0x10, 0x00, static_cast<uint8_t>(i & 0x7F));
    if (i % 7 == 0) sim.sendRaw(dump);
  }
  flags.timingClockEnabled = true;
  flags.clockLaunched = false;
  hub.resetContinuousClock(false);
  EXPECT_TRUE(hwtest::spinUntil([&] { return hub.threadRunning(MIDIMessageManager::kContinuousClockThread); }));
  done = true;
  audio.join();
  ed->tearDownHub();
}

// Tear-down with the job thread held at a given sleep of each request job,
// once freely and once by a thread that holds the plug-in mutex.
TEST_F(HubThreads, TearDownInAnyJobState) {
  sim.setFault(synthsim::Fault::Silent);
  for (int mode : {SenderJob::kEditBufferRequest, SenderJob::kSingleRequest, SenderJob::kBankRequest,
                   SenderJob::kDeviceEnquiry, SenderJob::kSendSound, SenderJob::kSendLibrarianSound,
                   SenderJob::kStoreBank}) {
    const bool transfer = mode <= SenderJob::kStoreBank;
    // A pass, the search, the last pause of job 4; a transfer's first pauses.
    const std::vector<int> ats = mode == SenderJob::kSendLibrarianSound ? std::vector<int>{1}
                                 : transfer                              ? std::vector<int>{1, 2}
                                                                         : std::vector<int>{1, 20, 149};
    for (int at : ats) {
      for (bool holdMutex : {false, true}) {
        SCOPED_TRACE(::testing::Message() << mode << " " << at << " " << holdMutex);
        SetUp();
        std::atomic<int> sleeps{0};
        std::atomic<bool> reached{false};
        MIDIMessageManager* hub = &ed->hub();
        clock.setSleepObserver([&](uint64_t) {
          if (++sleeps != at) return;
          reached = true;
          while (!hub->stopping()) std::this_thread::yield();
        });
        SenderJob job;
        job.mode = mode;
        job.globalStep = true;
        job.dump = hwtest::storedAnswer(0, 3);
        job.dumps.fill(job.dump);
        ASSERT_TRUE(hub->startJob(job));
        ASSERT_TRUE(hwtest::spinUntil([&] { return reached.load(); }));
        if (holdMutex) ed->GetMutex().Lock();
        ed->tearDownHub();
        if (holdMutex) ed->GetMutex().Unlock();
        clock.setSleepObserver(nullptr);
      }
    }
  }
}

}  // namespace
