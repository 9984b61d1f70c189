// The project's window built at start-up against reading its files in the
// same run. A: reading both enciphered descriptions and decoding the 57
// plain images with RAST_LoadPNG. B: readUIConfig at scale 1.0 in a fresh
// headless window over the staged resources (the descriptions deciphered
// and walked, the images decoded into the cache, every control built).
// Each iteration measures both; the counter "ratio" is median B / median
// A; its goal, the plug-in's construction goal, is in bench/goals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "raster/png.h"
#include "testsupport.h"
#include "uiconfig/ImageTable.h"
#include "uiconfig/UIConfigManager.h"
#include "uiconfig_fakes.h"

namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

void BM_ProjectWindow(benchmark::State& state) {
  const std::string root = TAVRIN_STAGED_ROOT;
  platform::setResourceFolder(root);
  std::vector<double> a, b;
  size_t bytes = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    for (const char* name : {"uiconfig.tea", "sysex.tea"}) bytes += testsupport::readFile(root + name).size();
    for (const uiconfig::ImageRow& im : uiconfig::kImageTable) delete RAST_LoadPNG((root + im.file).c_str());
    const auto t1 = std::chrono::steady_clock::now();
    {
      uitest::Plug plug;
      auto* g = new IGraphicsHeadless(&plug, 1500, 757);
      plug.AttachGraphics(g);
      UIConfigManager ui;
      const auto t2 = std::chrono::steady_clock::now();
      ui.readUIConfig(g, &plug, UIConfigServices(), 0, 1.0);
      const auto t3 = std::chrono::steady_clock::now();
      if (ui.imageCount() != 57 || !ui.layer("firstRunNotification")) state.SkipWithError("the window was not built");
      a.push_back(std::chrono::duration<double>(t1 - t0).count());
      b.push_back(std::chrono::duration<double>(t3 - t2).count());
      state.SetIterationTime(b.back());
    }
  }
  platform::setResourceFolder("");
  benchmark::DoNotOptimize(bytes);
  state.counters["A_ms"] = median(a) * 1000;
  state.counters["B_ms"] = median(b) * 1000;
  state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
}
BENCHMARK(BM_ProjectWindow)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
