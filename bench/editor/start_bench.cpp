// The plug-in's construction and destruction against reading the same
// resource files in the same run. A: reading both enciphered descriptions
// and decoding the 57 plain images with RAST_LoadPNG. B: constructing and
// destroying the plug-in at scale 1.0 over the staged resources, an empty
// data folder and ports on a loopback hub. The counter "ratio" is median B /
// median A over ten iterations; the goal is at most 1.5.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench_support.h"
#include "editor/Tavrin.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "platform/folders.h"
#include "raster/png.h"
#include "testsupport.h"
#include "uiconfig/ImageTable.h"

namespace {

using edbench::median;

void BM_PluginStart(benchmark::State& state) {
  const std::string root = TAVRIN_STAGED_ROOT;
  testsupport::ScopedFolders folders;
  platform::setResourceFolder(root);
  LoopbackHub hub;
  edbench::LoopbackPortsScope portsScope(hub);
  std::vector<double> a, b;
  size_t bytes = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    for (const char* name : {"uiconfig.tea", "sysex.tea"}) bytes += testsupport::readFile(root + name).size();
    for (const uiconfig::ImageRow& im : uiconfig::kImageTable) delete RAST_LoadPNG((root + im.file).c_str());
    const auto t1 = std::chrono::steady_clock::now();
    { Tavrin plug{IPluginInstanceInfo{}}; }
    const auto t2 = std::chrono::steady_clock::now();
    a.push_back(std::chrono::duration<double>(t1 - t0).count());
    b.push_back(std::chrono::duration<double>(t2 - t1).count());
    state.SetIterationTime(b.back());
  }
  benchmark::DoNotOptimize(bytes);
  state.counters["A_ms"] = median(a) * 1000;
  state.counters["B_ms"] = median(b) * 1000;
  state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
}
BENCHMARK(BM_PluginStart)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
