// Opening and closing the staged plug-in module in the test host with real
// MIDI clients (RtMidi's JACK interface on a private JACK server with the
// dummy driver), measured in the same run against:
//  - A: decoding the 57 plain images with RAST_LoadPNG on one thread, for
//    the opening (B: the entry's call until the plug-in is ready); the
//    counter "ratio" is median B / median A;
//  - J: making and closing an output and an input client of the same MIDI
//    interface alone, as the plug-in's ports do, for the closing (C:
//    mains off and close); the counter "close_ratio" is median C / median J.
// Their goals are in bench/goals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "hardware/MidiBackendRtMidi.h"
#include "jackserver/JackServer.h"
#include "raster/png.h"
#include "testhost/TestHost.h"
#include "uiconfig/ImageTable.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

void BM_ModuleOpenAndCloseOverJack(benchmark::State& state) {
  JackServer server;
  if (!server.running()) {
    state.SkipWithError(("no JACK server: " + server.error()).c_str());
    return;
  }
  server.exportToEnvironment();
  setenv(kMidiApiEnv, "jack", 1);
  const std::string root = TAVRIN_STAGED_ROOT;
  testhost::LoadOptions options;
  options.resourceFolder = root;
  auto module = testhost::Module::load(TAVRIN_MODULE, options);
  if (!module) {
    state.SkipWithError("the plug-in module did not load");
    return;
  }
  std::vector<double> a, b, c, j;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (const uiconfig::ImageRow& im : uiconfig::kImageTable) delete RAST_LoadPNG((root + im.file).c_str());
    const auto t1 = Clock::now();
    auto fx = std::make_unique<testhost::Effect>(module->firstEntry());
    const auto t2 = Clock::now();
    if (!fx->ok()) {
      state.SkipWithError("no effect");
      break;
    }
    fx->close();
    fx.reset();
    const auto t3 = Clock::now();
    {
      std::unique_ptr<MidiBackend> backend = makeRtMidiBackend("jack");
      auto out = backend->makeOut("RtMidi Output Client");
      auto in = backend->makeIn("RtMidi Input Client", 100);
      const auto t4 = Clock::now();
      in.reset();
      out.reset();
      j.push_back(seconds(t4, Clock::now()));
    }
    a.push_back(seconds(t0, t1));
    b.push_back(seconds(t1, t2));
    c.push_back(seconds(t2, t3));
    state.SetIterationTime(b.back());
  }
  unsetenv(kMidiApiEnv);
  state.counters["A_ms"] = median(a) * 1000;
  state.counters["B_ms"] = median(b) * 1000;
  state.counters["C_ms"] = median(c) * 1000;
  state.counters["J_ms"] = median(j) * 1000;
  state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
  state.counters["close_ratio"] = median(j) > 0 ? median(c) / median(j) : 0;
}
BENCHMARK(BM_ModuleOpenAndCloseOverJack)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
