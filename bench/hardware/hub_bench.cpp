// Job 7 (a bank into the librarian) on the loopback, real time, t = 100 ms,
// the simulated synthesizer answering at once: the wall time until the
// target slot reaches 10, over ten pauses of t measured in the same run
// (BM_TenPauses, the baseline). The "ratio" counter is that quotient; goal:
// 1.02 or less.
#include <benchmark/benchmark.h>

#include <chrono>
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
  LoopbackHub lb;
  auto simBackend = lb.makeBackend();
  synthsim::SynthSimulator sim(*simBackend);
  double ratio = 0;
  for (auto _ : state) {
    hwtest::StandInEditor ed(std::make_unique<MidiPorts>(lb.makeBackend()));
    int index = 1;
    ed.setExternalMIDIOut(index, "MIDI In");
    index = 1;
    ed.setExternalMIDIIn(index, "MIDI Out");
    ed.flags().midiIOSet = true;
    ed.setParam(kLibSyncTimer, 7);
    const auto start = std::chrono::steady_clock::now();
    ed.hub().sendAllPatchRequestSysexFromLibrarian(0);
    while (ed.targetSlot() < 10 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    const double took = seconds(std::chrono::steady_clock::now() - start);
    state.SetIterationTime(took);
    ratio = g_tenPausesSeconds > 0 ? took / g_tenPausesSeconds : 0;
    ed.hub().setCancelRequested(true);
  }
  state.counters["ratio"] = ratio;
}
BENCHMARK(BM_BankRequestTenSlots)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
