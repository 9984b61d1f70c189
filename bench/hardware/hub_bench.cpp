// Job 7 (a bank into the librarian) on the loopback, real time, t = 100 ms,
// the simulated synthesizer answering at once: the wall time until the
// target slot reaches 10, over ten pauses of t measured in the same run
// (BM_TenPauses, the baseline). The "ratio" counter is that quotient. Job 3
// (a bank to the instrument) over a bank holding ten stored sounds: its wall
// time over a 50 ms pause and the same ten pauses. Their goals are in
// bench/goals.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "standin_editor.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

namespace {

constexpr int kPauseMs = 100;  // kLibSyncTimer 7
double g_tenPausesSeconds = 0;

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The simulator on a loopback and the stand-in on its ports, MIDI I/O set,
// t = 100 ms.
struct Rig {
  LoopbackHub lb;
  std::unique_ptr<MidiBackend> simBackend = lb.makeBackend();
  synthsim::SynthSimulator sim{*simBackend};
  hwtest::StandInEditor ed{std::make_unique<MidiPorts>(lb.makeBackend())};
  Rig() {
    int index = 1;
    ed.setExternalMIDIOut(index, "MIDI In");
    index = 1;
    ed.setExternalMIDIIn(index, "MIDI Out");
    ed.flags().midiIOSet = true;
    ed.setParam(kLibSyncTimer, 7);
  }
};

// Runs start, then the wall time until done() holds (30 s at most).
double secondsUntil(const std::function<void()>& start, const std::function<bool()>& done) {
  const auto begin = std::chrono::steady_clock::now();
  start();
  while (!done() && std::chrono::steady_clock::now() - begin < std::chrono::seconds(30))
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  return seconds(std::chrono::steady_clock::now() - begin);
}

void BM_TenPauses(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) platform::sleepMicros(kPauseMs * 1000);
    g_tenPausesSeconds = seconds(std::chrono::steady_clock::now() - start);
    state.SetIterationTime(g_tenPausesSeconds);
  }
}
BENCHMARK(BM_TenPauses)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_BankRequestTenSlots(benchmark::State& state) {
  double ratio = 0;
  for (auto _ : state) {
    Rig rig;
    MIDIMessageManager& hub = rig.ed.hub();
    const double took = secondsUntil([&] { hub.sendAllPatchRequestSysexFromLibrarian(0); },
                                     [&] { return rig.ed.targetSlot() >= 10; });
    state.SetIterationTime(took);
    ratio = g_tenPausesSeconds > 0 ? took / g_tenPausesSeconds : 0;
    hub.setCancelRequested(true);
  }
  state.counters["ratio"] = ratio;
}
BENCHMARK(BM_BankRequestTenSlots)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_StoreBankTenSounds(benchmark::State& state) {
  double ratio = 0;
  for (auto _ : state) {
    Rig rig;
    MIDIMessageManager& hub = rig.ed.hub();
    SenderJob job;
    job.mode = SenderJob::kStoreBank;
    for (int s = 0; s < 100; s += 10) job.dumps[static_cast<size_t>(s)] = hwtest::storedAnswer(0, s);
    const double baseline = secondsUntil([] { platform::sleepMicros(50'000); }, [] { return true; }) + g_tenPausesSeconds;
    const double took = secondsUntil([&] { hub.startJob(job); },
                                     [&] { return !hub.threadRunning(MIDIMessageManager::kJobThread); });
    state.SetIterationTime(took);
    ratio = g_tenPausesSeconds > 0 ? took / baseline : 0;
  }
  state.counters["ratio"] = ratio;
}
BENCHMARK(BM_StoreBankTenSounds)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
