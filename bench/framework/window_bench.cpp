// A tick that redraws one dirty 100 x 100 control, against a redraw of the
// whole 1500 x 757 window, both on a window full of bitmap controls. Each is
// the median of its repetitions; the ratio is printed and kept as the
// counter "ratio" of the second (its goal is in bench/goals).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "framework/IBitmapControls.h"
#include "framework/IPluginBase.h"
#include "host/IGraphicsHeadless.h"
#include "raster/bitmap.h"

namespace {

const int kW = 1500, kH = 757, kCell = 100;

class BenchPlug : public IPluginBase {
 public:
  explicit BenchPlug(int n) : IPluginBase(n, "2-2", 0, "B", "B", "B", 0x10000, 1, 1, 0, false, true, false) {
    initialize(0, n, "2-2", 0, "B", "B", "B", 0x10000, 1, 1, 0, false, true, false);
    for (int i = 0; i < n; ++i) GetParam(i)->InitInt("p", 0, 0, 10);
  }
};

// Images come from memory rather than files: the benchmark needs no folder.
class BenchGraphics : public IGraphicsHeadless {
 public:
  using IGraphicsHeadless::IGraphicsHeadless;
  RAST_IBitmap* OSLoadBitmap(int id, const char* name) override {
    const int h = id == 1 ? kH : kCell * 4, w = id == 1 ? kW : kCell;
    auto* b = new RAST_MemBitmap(w, h, 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        b->getBits()[y * b->getRowSpan() + x] = 0xFF000000u | (uint32_t)((x * 3 + y * 5 + id * 40) & 0xFF) << 8 |
                                                (uint32_t)(y & 0xFF) << 16 | 0xFFu;
    return b;
  }
};

struct Window {
  std::unique_ptr<BenchPlug> plug;
  BenchGraphics* g;
  int nControls = 0;
  Window() {
    const int cols = kW / kCell, rows = kH / kCell;
    plug = std::make_unique<BenchPlug>(cols * rows);
    g = new BenchGraphics(plug.get(), kW, kH);
    g->AttachBackground(1, "bg.png");
    IBitmap knob = g->LoadIBitmap(2, "knob.png", 1.0, 4);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c)
        g->AttachControl(new IKnobMultiControl(plug.get(), c * kCell, r * kCell, nControls++, &knob));
    plug->AttachGraphics(g);
    g->OpenWindow(nullptr);
    g->tick();
    g->tick();
  }
};

Window& TheWindow() {
  static Window* w = new Window;
  return *w;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::vector<double> gDirty, gFull;

void BM_OneDirtyControlTick(benchmark::State& state) {
  Window& w = TheWindow();
  int n = 0;
  for (auto _ : state) {
    w.g->SetParameterFromPlug(17, (double)(n++ % 11), false);
    auto t0 = std::chrono::steady_clock::now();
    IRECT r = w.g->tick();
    auto t1 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(r);
    gDirty.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    w.g->tick();  // the second frame of the change, outside the timing
  }
}

void BM_FullWindowRedraw(benchmark::State& state) {
  Window& w = TheWindow();
  IRECT all(0, 0, kW, kH);
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    w.g->Draw(&all);
    auto t1 = std::chrono::steady_clock::now();
    gFull.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  if (!gDirty.empty()) state.counters["ratio"] = Median(gDirty) / Median(gFull);
}

BENCHMARK(BM_OneDirtyControlTick)->Iterations(400);
BENCHMARK(BM_FullWindowRedraw)->Iterations(150);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (!gDirty.empty() && !gFull.empty()) {
    const double d = Median(gDirty), f = Median(gFull);
    printf("median one-control tick %.1f us, full-window redraw %.1f us, ratio %.4f\n", d, f, d / f);
  }
  benchmark::Shutdown();
  return 0;
}
