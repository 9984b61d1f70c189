// Round trip of a sound request over real MIDI ports (the port layer's JACK
// interface on a private JACK server, the simulated synthesizer answering)
// measured against the JACK period of the same server in the same run.
//
// BM_JackPeriod waits for the next process cycle of a plain JACK client:
// the baseline, one period (128 frames at 48 kHz, 2.67 ms). BM_DumpRequest*
// send an 8-byte sound request and wait for the 137-byte answer; their
// "periods" counter is the round trip in periods of the baseline measured
// just before, as the median (its goal is in bench/goals), with mean and
// maximum beside. The request crosses the plug-in's output client and the
// simulator's input client in one cycle; the answer leaves through the
// simulator's output client, a separate JACK client, in the next cycle at
// the latest.
#include <benchmark/benchmark.h>
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>
#include <thread>

#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiPorts.h"
#include "hardware/SysexProtocol.h"
#include "jackserver/JackServer.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

namespace {

struct Rig {
  // A private /dev/shm where the machine allows it, before the server starts.
  std::string isolation = isolateJackSharedMemory();
  JackServer server;
  std::unique_ptr<MidiBackend> simBackend;
  std::unique_ptr<synthsim::SynthSimulator> sim;
  hwtest::Recorder editor;
  std::unique_ptr<MidiPorts> ports;
  jack_client_t* ticker = nullptr;
  std::atomic<uint64_t> cycles{0};
  double measuredPeriodMicros = 0;
  std::string error;

  Rig() {
    if (!server.running()) {
      error = "the private JACK server did not start: " + server.error();
      return;
    }
    server.exportToEnvironment();
    ticker = jack_client_open("tavrin-ticker", JackNoStartServer, nullptr);
    if (!ticker) {
      error = "no JACK client";
      return;
    }
    jack_set_process_callback(
        ticker,
        [](jack_nframes_t, void* arg) -> int {
          auto* c = static_cast<std::atomic<uint64_t>*>(arg);
          c->fetch_add(1);
          c->notify_all();
          return 0;
        },
        &cycles);
    jack_activate(ticker);
    simBackend = makeRtMidiBackend("jack");
    sim = std::make_unique<synthsim::SynthSimulator>(*simBackend);
    ports = std::make_unique<MidiPorts>(makeRtMidiBackend("jack"));
    ports->setInputSink(&editor);
    int index = 1;
    const int out = ports->openOut(index, "Sorrel Synth In:MIDI In");
    index = 1;
    const int in = ports->openIn(index, "Sorrel Synth Out:MIDI Out");
    if (!sim->ready() || out <= 0 || in <= 0) error = "the simulator's ports could not be opened";
  }

  ~Rig() {
    // TAVRIN_BENCH_JACK_LOG=1 prints the server's output (its xruns) at the end.
    if (std::getenv("TAVRIN_BENCH_JACK_LOG")) std::fprintf(stderr, "%s\n", server.log().c_str());
    ports.reset();
    sim.reset();
    simBackend.reset();
    if (ticker) jack_client_close(ticker);
  }

  void waitCycle() {
    const uint64_t now = cycles.load();
    while (cycles.load() == now) cycles.wait(now);
  }
};

Rig& rig() {
  static Rig r;
  return r;
}

void BM_JackPeriod(benchmark::State& state) {
  Rig& r = rig();
  if (!r.error.empty()) {
    state.SkipWithError(r.error.c_str());
    return;
  }
  r.waitCycle();
  const auto start = std::chrono::steady_clock::now();
  int64_t n = 0;
  for (auto _ : state) {
    r.waitCycle();
    ++n;
  }
  r.measuredPeriodMicros =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / double(n);
  state.counters["nominal_us"] = r.server.periodMicros();
  state.counters["measured_us"] = r.measuredPeriodMicros;
}
BENCHMARK(BM_JackPeriod)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(0.5);

// One request and its answer per iteration; the time reported is the round
// trip. With anyPhase each request leaves at a pseudo-random point of the
// period, as a request job's does; otherwise it follows the previous answer
// at once, which always lands just after the plug-in's output has been
// served in that cycle. An answer that JACK lost (a client that missed its
// cycle on a loaded machine) counts as lost and stays out of the figures.
void dumpRequest(benchmark::State& state, bool anyPhase) {
  Rig& r = rig();
  if (!r.error.empty()) {
    state.SkipWithError(r.error.c_str());
    return;
  }
  const double period = r.measuredPeriodMicros > 0 ? r.measuredPeriodMicros : r.server.periodMicros();
  uint32_t noise = 12345;
  int64_t lost = 0;
  std::vector<double> times;
  int slot = 0;
  for (auto _ : state) {
    slot = (slot + 1) % 100;
    const sysex::Location where = sysex::encodeLocation(1, slot);
    const hwtest::Bytes request = sysex::frameSysex(sysex::soundRequest(0, where));
    const auto expected =
        synthsim::SynthSimulator::answerFor(synthsim::SynthSimulator::factorySound(1, slot), 0, where);
    if (anyPhase) {
      r.waitCycle();
      noise = noise * 1664525u + 1013904223u;
      const auto offset = std::chrono::microseconds(static_cast<int64_t>(period * (noise >> 8) / double(1u << 24)));
      std::this_thread::sleep_for(offset);
    }
    const size_t from = r.editor.count();
    const auto t0 = std::chrono::steady_clock::now();
    r.ports->send(request.data(), request.size());
    const bool answered =
        r.editor.waitForMessage(from, hwtest::Bytes(expected.begin(), expected.end()), std::chrono::milliseconds(100));
    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(us / 1e6);
    if (answered) {
      times.push_back(us);
    } else {
      ++lost;
    }
  }
  if (times.empty()) {
    state.SkipWithError("no answer came back");
    return;
  }
  std::sort(times.begin(), times.end());
  double total = 0;
  for (double t : times) total += t;
  const double median = times[times.size() / 2];
  state.counters["roundtrip_us"] = median;
  state.counters["periods"] = median / period;
  state.counters["periods_mean"] = total / double(times.size()) / period;
  state.counters["periods_max"] = times.back() / period;
  state.counters["lost"] = static_cast<double>(lost);
}

void BM_DumpRequestBackToBack(benchmark::State& state) { dumpRequest(state, false); }
BENCHMARK(BM_DumpRequestBackToBack)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(0.5);

void BM_DumpRequestAnyPhase(benchmark::State& state) { dumpRequest(state, true); }
BENCHMARK(BM_DumpRequestAnyPhase)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(0.5);

}  // namespace
