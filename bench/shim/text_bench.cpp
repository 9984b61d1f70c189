// A typical 20-character label drawn through the cached font against the
// native text path into the window's draw surface, measured in the same run.
// The "speedup" counter of BM_Label_CachedVsNative is native time / cached
// time; its goal is in bench/goals.
#include <benchmark/benchmark.h>

#include <chrono>

#include "raster/bitmap.h"
#include "raster/cachedfont.h"
#include "raster/rectops.h"

namespace {

constexpr const char* kLabel = "Filter 1 Cutoff: 127";  // 20 characters

struct Setup {
  RAST_SysBitmap surface{400, 40};
  RAST_CachedFont font;
  Setup() {
    font.SetFromHFont(CreateFont(-13, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Consolas"),
                      RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_FORCE_NATIVE);
    font.SetTextColor(RAST_RGBA(255, 255, 255, 255));
    RAST_Clear(&surface, 0);
  }
  int draw(unsigned int extra) {
    RECT r = {10, 5, 390, 35};
    return font.DrawText(&surface, kLabel, -1, &r, static_cast<int>(DT_NOCLIP | DT_VCENTER | extra));
  }
};

void BM_Label_Native(benchmark::State& st) {
  Setup s;
  for (auto _ : st) benchmark::DoNotOptimize(s.draw(0));
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_Label_Native);

void BM_Label_Cached(benchmark::State& st) {
  Setup s;
  s.draw(RAST_DT_NO_NATIVE);  // glyphs rendered once, outside the timing
  for (auto _ : st) benchmark::DoNotOptimize(s.draw(RAST_DT_NO_NATIVE));
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_Label_Cached);

// Both paths alternately in one loop; reports their ratio.
void BM_Label_CachedVsNative(benchmark::State& st) {
  using clock = std::chrono::steady_clock;
  Setup s;
  s.draw(RAST_DT_NO_NATIVE);
  double native = 0, cached = 0;
  for (auto _ : st) {
    const auto t0 = clock::now();
    for (int i = 0; i < 20; ++i) benchmark::DoNotOptimize(s.draw(0));
    const auto t1 = clock::now();
    for (int i = 0; i < 20; ++i) benchmark::DoNotOptimize(s.draw(RAST_DT_NO_NATIVE));
    const auto t2 = clock::now();
    native += std::chrono::duration<double>(t1 - t0).count();
    cached += std::chrono::duration<double>(t2 - t1).count();
  }
  st.counters["speedup"] = cached > 0 ? native / cached : 0;
  st.counters["native_us"] = native * 1e6 / (20.0 * static_cast<double>(st.iterations()));
  st.counters["cached_us"] = cached * 1e6 / (20.0 * static_cast<double>(st.iterations()));
}
BENCHMARK(BM_Label_CachedVsNative);

}  // namespace
