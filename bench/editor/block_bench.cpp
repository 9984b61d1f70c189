// The audio block's drain against plain routed sends. A: 64 control changes
// through the routing switch with queue routing off, each sent at once to the
// output port. B: the same 64 queued with queue routing on, then one block
// of 512 samples through the effect's process callback, which drains them to
// the same port (only the block is timed). Ports on a loopback hub with the
// simulated instrument. The counter "ratio" is median B / median A over 1000
// of each; the goal is at most 2.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "loopback_plugin.h"
#include "editor/Tavrin.h"
#include "hardware/ParameterList.h"
#include "host/EffectInterface.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "synthsim/SynthSimulator.h"
#include "paramtext.h"
#include "testsupport.h"

namespace {

using edbench::median;

constexpr int kMessages = 64;
constexpr int kFrames = 512;

void BM_BlockDrain(benchmark::State& state) {
  {
    edbench::LoopbackPlugin rig;
    Tavrin& plug = *rig.plug;
    if (!plug.isMidiIOSet()) {
      state.SkipWithError("no port");
      return;
    }
    AEffect* effect = plug.GetAEffect();
    effect->dispatcher(effect, effSetBlockSize, 0, kFrames, nullptr, 0.0f);
    std::vector<double> in0(kFrames), in1(kFrames), out0(kFrames), out1(kFrames);
    double* ins[2] = {in0.data(), in1.data()};
    double* outs[2] = {out0.data(), out1.data()};
    effect->processDoubleReplacing(effect, ins, outs, kFrames);  // the armed all-sounds-off

    std::vector<IMidiMsg> messages(kMessages);
    for (int i = 0; i < kMessages; ++i) {
      messages[static_cast<size_t>(i)].MakeControlChangeMsg(20 + i % 40, (i % 100) / 127.0, 0);
      messages[static_cast<size_t>(i)].mOffset = i * (kFrames / kMessages);
    }
    SharedFlags& flags = plug.sharedFlags();
    std::vector<double> a, b;
    for (auto _ : state) {
      flags.queueRouting.store(false);
      const auto t0 = std::chrono::steady_clock::now();
      for (IMidiMsg& m : messages) plug.MIDIOutRoutingSwitch(&m);
      const auto t1 = std::chrono::steady_clock::now();
      flags.queueRouting.store(true);
      for (IMidiMsg& m : messages) plug.MIDIOutRoutingSwitch(&m);
      const auto t2 = std::chrono::steady_clock::now();
      effect->processDoubleReplacing(effect, ins, outs, kFrames);
      const auto t3 = std::chrono::steady_clock::now();
      a.push_back(std::chrono::duration<double>(t1 - t0).count());
      b.push_back(std::chrono::duration<double>(t3 - t2).count());
      state.SetIterationTime(b.back());
      if (!plug.midiQueue().Empty()) {
        state.SkipWithError("the block left messages in the queue");
        break;
      }
    }
    state.counters["A_us"] = median(a) * 1e6;
    state.counters["B_us"] = median(b) * 1e6;
    state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
  }
}
BENCHMARK(BM_BlockDrain)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
