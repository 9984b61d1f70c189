// 128-frame blocks through each process callback of the loaded plug-in
// module (in the test host) against the framework's ProcessBuffers on the
// same frames of an in-process instance (in the callback's sample type).
// Only the callback is timed: the host's buffers are made once. The "ratio"
// counter is module time / in-process time measured in the same iterations;
// the goals are in bench/goals.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "editor/Tavrin.h"
#include "testhost/TestHost.h"

namespace {

// Not about the hardware ports: the plug-in's port layer touches no MIDI
// library (set before main, while this is the only thread).
const bool g_noMidi = setenv("TAVRIN_MIDI_API", "none", 1) == 0;

constexpr int kFrames = 128;
constexpr int kBlocks = 16;

void BM_ModuleCallbackVsProcessBuffers(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const auto kind = static_cast<testhost::Effect::Kind>(state.range(0));
  auto module = testhost::Module::load(TAVRIN_MODULE);
  if (!module) {
    state.SkipWithError("the plug-in module did not load");
    return;
  }
  testhost::HostSettings quiet;
  quiet.record = false;
  testhost::Effect fx(module->firstEntry(), true, quiet);
  fx.start();
  AEffect* e = fx.effect();

  Tavrin local{IPluginInstanceInfo{}};
  local.SetBlockSize(kFrames);
  std::vector<std::vector<float>> in(2, std::vector<float>(kFrames, 0.5f)), out(2, std::vector<float>(kFrames));
  std::vector<std::vector<double>> inD(2, std::vector<double>(kFrames, 0.5)), outD(2, std::vector<double>(kFrames));
  float* inP[2] = {in[0].data(), in[1].data()};
  float* outP[2] = {out[0].data(), out[1].data()};
  double* inPD[2] = {inD[0].data(), inD[1].data()};
  double* outPD[2] = {outD[0].data(), outD[1].data()};
  auto moduleBlock = [&] {
    switch (kind) {
      case testhost::Effect::Kind::Replacing:
        return e->processReplacing(e, inP, outP, kFrames);
      case testhost::Effect::Kind::Accumulating:
        return e->process(e, inP, outP, kFrames);
      case testhost::Effect::Kind::Double:
        return e->processDoubleReplacing(e, inPD, outPD, kFrames);
    }
  };

  Clock::duration tm{}, tl{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int b = 0; b < kBlocks; ++b) {
      moduleBlock();
      benchmark::DoNotOptimize(out[1][kFrames - 1]);
    }
    const auto t1 = Clock::now();
    for (int b = 0; b < kBlocks; ++b) {
      KIT_MutexLock lock(local.GetMutex());
      if (kind == testhost::Effect::Kind::Double) {
        local.AttachInputBuffers(0, 2, inPD, kFrames);
        local.AttachOutputBuffers(0, 2, outPD);
        local.ProcessBuffers(0.0, kFrames);
      } else {
        local.AttachInputBuffers(0, 2, inP, kFrames);
        local.AttachOutputBuffers(0, 2, outP);
        local.ProcessBuffers(0.0f, kFrames);
      }
      benchmark::DoNotOptimize(out[1][kFrames - 1]);
    }
    const auto t2 = Clock::now();
    tm += t1 - t0;
    tl += t2 - t1;
  }
  state.counters["ratio"] = tl.count() > 0 ? static_cast<double>(tm.count()) / static_cast<double>(tl.count()) : 0.0;
}
// 0 replacing, 1 accumulating, 2 double.
BENCHMARK(BM_ModuleCallbackVsProcessBuffers)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
