// Opening the plug-in against decoding its images in the same run.
// A: decoding the 57 plain images with RAST_LoadPNG on one thread. B:
// constructing the plug-in at scale 1.0 over the staged resources, an empty
// data folder and ports on a loopback hub, until it is ready. The counter
// "ratio" is median B / median A over ten iterations; its goal is in
// bench/goals. Beside it, as milliseconds: the window's first drawing pass
// (which decodes the images, on every usable core) and the destruction.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "editor/Tavrin.h"
#include "framework/IGraphics.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "platform/folders.h"
#include "raster/png.h"
#include "testsupport.h"
#include "uiconfig/ImageTable.h"

namespace {

using edbench::median;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

void BM_PluginStart(benchmark::State& state) {
  const std::string root = TAVRIN_STAGED_ROOT;
  testsupport::ScopedFolders folders;
  platform::setResourceFolder(root);
  LoopbackHub hub;
  edbench::LoopbackPortsScope portsScope(hub);
  std::vector<double> a, b, draw, close;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (const uiconfig::ImageRow& im : uiconfig::kImageTable) delete RAST_LoadPNG((root + im.file).c_str());
    const auto t1 = Clock::now();
    auto plug = std::make_unique<Tavrin>(IPluginInstanceInfo{});
    const auto t2 = Clock::now();
    IGraphics* g = plug->GetGUI();
    IRECT all(0, 0, g ? g->Width() : 0, g ? g->Height() : 0);
    if (g) g->Draw(&all);
    const auto t3 = Clock::now();
    plug.reset();
    const auto t4 = Clock::now();
    a.push_back(seconds(t0, t1));
    b.push_back(seconds(t1, t2));
    draw.push_back(seconds(t2, t3));
    close.push_back(seconds(t3, t4));
    state.SetIterationTime(b.back());
  }
  state.counters["A_ms"] = median(a) * 1000;
  state.counters["B_ms"] = median(b) * 1000;
  state.counters["first_draw_ms"] = median(draw) * 1000;
  state.counters["close_ms"] = median(close) * 1000;
  state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
}
BENCHMARK(BM_PluginStart)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
