// A user edit against the plain send of its message. A: SendMidiMsg of the
// control change to the output port. B: SetParameterFromGUI of a CC-bound
// parameter between two values, through the dispatch, the value display, the
// bound controls, the send permission and the routing switch to the same
// port. Ports on a loopback hub with the simulated instrument; the clock
// does not wait, so the enquiry that choosing the port starts ends at once.
// The counter "ratio" is median B / median A over 1000 of each; its goal is
// in bench/goals. "edit_allocs" counts the allocations an edit makes on the
// benchmark's thread outside the port's send (which both sides share), per
// edit; the goal is none.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "loopback_plugin.h"
#include "loopback_plugin.h"
#include "editor/Tavrin.h"
#include "framework/IParam.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "synthsim/SynthSimulator.h"
#include "paramtext.h"
#include "testsupport.h"
#include "uiconfig/ControlAction.h"

namespace {

// Allocations of the thread that counts them, while it counts.
thread_local bool tCounting = false;
thread_local long tAllocations = 0;

}  // namespace

// The counting allocation functions; the compiler pairs the replaced
// functions' malloc and free wrongly when it inlines them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (tCounting) ++tAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using edbench::median;

// The plug-in with its port's send left out of the allocation count; both
// sides of the comparison pass through it.
class CountedTavrin final : public Tavrin {
 public:
  using Tavrin::Tavrin;
  bool SendMidiMsg(const IMidiMsg* msg) override {
    const bool counting = tCounting;
    tCounting = false;
    const bool sent = Tavrin::SendMidiMsg(msg);
    tCounting = counting;
    return sent;
  }
};

void BM_UserEdit(benchmark::State& state) {
  {
    edbench::LoopbackPlugin rig([] { return std::make_unique<CountedTavrin>(IPluginInstanceInfo{}); });
    Tavrin& plug = *rig.plug;
    int idx = -1;
    for (int i = 3; i < 80 && idx < 0; ++i) {
      const ControlAction* a = plug.GetParam(i)->GetControlAction();
      if (a && a->type == 1 && i != kLFO1Shape) idx = i;
    }
    if (idx < 0 || !plug.isMidiIOSet()) {
      state.SkipWithError("no CC-bound parameter or no port");
      return;
    }
    IMidiMsg msg;
    msg.MakeControlChangeMsg(plug.GetParam(idx)->GetControlAction()->ccNumber, 10 / 127.0, 0);
    const double low = plug.GetParam(idx)->GetNormalized(10), high = plug.GetParam(idx)->GetNormalized(11);
    std::vector<double> a, b;
    a.reserve(state.max_iterations);
    b.reserve(state.max_iterations);
    int turn = 0;
    for (auto _ : state) {
      const auto t0 = std::chrono::steady_clock::now();
      plug.SendMidiMsg(&msg);
      const auto t1 = std::chrono::steady_clock::now();
      tCounting = true;
      plug.SetParameterFromGUI(idx, (turn++ & 1) ? low : high);
      tCounting = false;
      const auto t2 = std::chrono::steady_clock::now();
      a.push_back(std::chrono::duration<double>(t1 - t0).count());
      b.push_back(std::chrono::duration<double>(t2 - t1).count());
      state.SetIterationTime(b.back());
    }
    state.counters["A_us"] = median(a) * 1e6;
    state.counters["B_us"] = median(b) * 1e6;
    state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
    state.counters["edit_allocs"] = turn > 0 ? static_cast<double>(tAllocations) / turn : 0;
  }
}
BENCHMARK(BM_UserEdit)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
