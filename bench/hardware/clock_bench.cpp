// The timing clock on real ports: the hub's job 12 at 120 bpm from the host
// (20.83 ms between clocks), sending for 10 s to the simulated synthesizer
// over the port layer's JACK clients on a private JACK server with the dummy
// driver (256 frames at 48 kHz, a period of 5.33 ms), with the hub's
// default spin margin. Printed and kept as counters, in JACK periods of the
// same server:
//  - sendP99: the 99th percentile of |interval between two sends - nominal|
//    as the clock thread saw them;
//  - arrivalMax: the largest |interval between two arrivals - nominal| at
//    the simulator;
// and cpu: the clock thread's CPU time over the wall time. Their goals are
// in bench/goals.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "jackserver/JackServer.h"
#include "platform/clock.h"
#include "standin_editor.h"
#include "synthsim/SynthSimulator.h"

namespace {

constexpr double kNominalNs = 60e9 / (120 * 24);
constexpr auto kRun = std::chrono::seconds(10);

double threadCpuSeconds(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void BM_TimingClockOnJack(benchmark::State& state) {
  JackServer::Options options;
  options.period = 256;
  JackServer server(options);
  if (!server.running()) {
    state.SkipWithError("the private JACK server did not start");
    return;
  }
  server.exportToEnvironment();
  const double periodNs = server.periodMicros() * 1000.0;
  auto simBackend = makeRtMidiBackend("jack");
  synthsim::SynthSimulator sim(*simBackend);
  for (auto _ : state) {
    hwtest::StandInEditor ed(std::make_unique<MidiPorts>(makeRtMidiBackend("jack")));
    int index = 1;
    if (!sim.ready() || ed.setExternalMIDIOut(index, "Sorrel Synth In:MIDI In") <= 0) {
      state.SkipWithError("the simulator's ports could not be opened");
      return;
    }
    ed.flags().midiIOSet = true;
    ed.flags().timingClockEnabled = true;
    ed.setParam(kOverrideTempo, 1.0);
    ed.hostTempo = 120.0;

    std::vector<uint64_t> sends(2000);
    std::atomic<size_t> sent{0};
    std::atomic<bool> haveThread{false};
    clockid_t cpuClock{};
    ed.sendHook = [&](const uint8_t* data, int) {
      if (data[0] != 0xF8) return;
      if (!haveThread.load()) {
        pthread_getcpuclockid(pthread_self(), &cpuClock);
        haveThread.store(true);
      }
      const size_t i = sent.load();
      if (i < sends.size()) sends[i] = platform::monotonicNanos();
      sent.store(i + 1);
    };
    sim.clearRecords();
    const auto start = std::chrono::steady_clock::now();
    ed.hub().onBlockStart(false, false);
    while (!haveThread.load()) std::this_thread::yield();
    const double cpu0 = threadCpuSeconds(cpuClock);
    std::this_thread::sleep_for(kRun);
    const double cpu = threadCpuSeconds(cpuClock) - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ed.hub().resetContinuousClock(true);
    while (ed.hub().threadRunning(MIDIMessageManager::kContinuousClockThread)) std::this_thread::yield();
    ed.tearDownHub();
    state.SetIterationTime(wall);

    std::vector<double> sendDev;
    const size_t n = std::min(sent.load(), sends.size());
    for (size_t i = 1; i < n; ++i) sendDev.push_back(std::fabs(static_cast<double>(sends[i] - sends[i - 1]) - kNominalNs));
    std::sort(sendDev.begin(), sendDev.end());
    const double p99 = sendDev.empty() ? NAN : sendDev[static_cast<size_t>(0.99 * (sendDev.size() - 1))];
    double arrivalMax = 0;
    uint64_t last = 0;
    size_t arrived = 0;
    for (const auto& e : sim.clockEvents()) {
      if (e.byte != 0xF8) continue;
      if (arrived++ > 0) arrivalMax = std::max(arrivalMax, std::fabs((e.micros - last) * 1000.0 - kNominalNs));
      last = e.micros;
    }
    state.counters["sendP99"] = p99 / periodNs;
    state.counters["arrivalMax"] = arrivalMax / periodNs;
    state.counters["cpu"] = cpu / wall;
    std::printf("timing clock at 120 bpm, %zu sent, %zu arrived in %.2f s; JACK period %.0f us\n", n, arrived, wall,
                periodNs / 1000);
    std::printf("send p99 |interval - nominal| = %.4f periods\n", p99 / periodNs);
    std::printf("arrival max |interval - nominal| = %.4f periods\n", arrivalMax / periodNs);
    std::printf("clock thread CPU / wall = %.4f\n", cpu / wall);
  }
}
BENCHMARK(BM_TimingClockOnJack)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
