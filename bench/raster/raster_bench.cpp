// The renderer's hot paths against baselines measured in the same run: the
// opaque copy blit of a full window against memcpy of the same bytes, the
// opaque fill and the opaque trapezoid fill against memset, and the alpha
// blit, the 0.75 / 1.25 bilinear scaled blits, an anti-aliased disc of
// radius 300, an anti-aliased float line across the window and a bilinear
// rotated blit at 30 degrees in nanoseconds per pixel. The three opaque
// operations are also timed in turn with their baseline within the same
// iterations (BM_*Vs*): the counter "speed" is baseline time / operation
// time (1.0 means as fast as the baseline); its goals are in bench/goals.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "raster/blit.h"
#include "raster/circles.h"
#include "raster/deltablit.h"
#include "raster/fills.h"
#include "raster/lines.h"
#include "raster/rectops.h"

namespace {

constexpr int kW = 1500, kH = 757;
constexpr size_t kBytes = size_t(kW) * kH * 4;

struct Window {
  RAST_MemBitmap src{kW, kH, 4};
  RAST_MemBitmap dest{kW, kH, 4};
  Window() {
    std::mt19937 rng(1);
    RAST_pixel* p = src.getBits();
    for (int i = 0; i < src.getRowSpan() * kH; ++i) {
      // a control bitmap: mostly transparent or opaque, with soft edges
      const uint32_t r = rng();
      const uint32_t a = (r & 3) == 0 ? 0 : (r & 3) == 1 ? (r >> 24) : 255;
      p[i] = (r & 0xffffff00u) | a;
    }
    RAST_Clear(&dest, 0x80604020u);
  }
};
Window& win() {
  static Window w;
  return w;
}

void perPixel(benchmark::State& st, double pixels) {
  st.counters["ns_per_px"] =
      benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Memcpy(benchmark::State& st) {
  std::vector<uint8_t> a(kBytes, 1), b(kBytes, 2);
  for (auto _ : st) {
    std::memcpy(b.data(), a.data(), kBytes);
    benchmark::ClobberMemory();
  }
  perPixel(st, double(kW) * kH);
}
BENCHMARK(BM_Memcpy);

void BM_BlitCopy(benchmark::State& st) {
  Window& w = win();
  for (auto _ : st) {
    RAST_Blit(&w.dest, &w.src, 0, 0, nullptr, 1.0f, 0);
    benchmark::ClobberMemory();
  }
  perPixel(st, double(kW) * kH);
}
BENCHMARK(BM_BlitCopy);

void BM_Memset(benchmark::State& st) {
  std::vector<uint8_t> a(kBytes, 1);
  for (auto _ : st) {
    std::memset(a.data(), 0x5a, kBytes);
    benchmark::ClobberMemory();
  }
  perPixel(st, double(kW) * kH);
}
BENCHMARK(BM_Memset);

void BM_FillOpaque(benchmark::State& st) {
  Window& w = win();
  for (auto _ : st) {
    RAST_FillRect(&w.dest, 0, 0, kW, kH, 0xff102030u, 1.0f, 0);
    benchmark::ClobberMemory();
  }
  perPixel(st, double(kW) * kH);
}
BENCHMARK(BM_FillOpaque);

void BM_BlitAlpha(benchmark::State& st) {
  Window& w = win();
  for (auto _ : st) {
    RAST_Blit(&w.dest, &w.src, 0, 0, nullptr, 1.0f, RAST_BLIT_USE_SOURCE_ALPHA);
    benchmark::ClobberMemory();
  }
  perPixel(st, double(kW) * kH);
}
BENCHMARK(BM_BlitAlpha);

void scaled(benchmark::State& st, double scale) {
  Window& w = win();
  const int dw = static_cast<int>(kW * scale), dh = static_cast<int>(kH * scale);
  RAST_MemBitmap out(dw, dh, 4);
  for (auto _ : st) {
    RAST_ScaledBlit(&out, &w.src, 0, 0, dw, dh, 0, 0, kW, kH, 1.0f, RAST_BLIT_FILTER_BILINEAR);
    benchmark::ClobberMemory();
  }
  perPixel(st, double(dw) * dh);
}
void BM_ScaledBilinear075(benchmark::State& st) { scaled(st, 0.75); }
void BM_ScaledBilinear125(benchmark::State& st) { scaled(st, 1.25); }
BENCHMARK(BM_ScaledBilinear075);
BENCHMARK(BM_ScaledBilinear125);

void BM_TrapezoidOpaque(benchmark::State& st) {
  Window& w = win();
  for (auto _ : st) {
    RAST_FillTrapezoid(&w.dest, 0, kW - 1, 0, 0, kW - 1, kH - 1, 0xff102030u, 1.0f, 0);
    benchmark::ClobberMemory();
  }
  perPixel(st, double(kW) * kH);
}
BENCHMARK(BM_TrapezoidOpaque);

constexpr double kDiscPixels = 3.141592653589793 * 300 * 300;
void BM_FillCircleAA(benchmark::State& st) {
  Window& w = win();
  for (auto _ : st) {
    RAST_FillCircle(&w.dest, kW / 2.0f, kH / 2.0f, 300.0f, 0xff405060u, 0.8f, 0, true);
    benchmark::ClobberMemory();
  }
  perPixel(st, kDiscPixels);
}
BENCHMARK(BM_FillCircleAA);

// Two pixels per column.
constexpr double kLinePixels = 2.0 * (kW - 2);
void BM_FLineAA(benchmark::State& st) {
  Window& w = win();
  for (auto _ : st) {
    RAST_FLine(&w.dest, 0.3f, 0.6f, kW - 1.2f, kH - 1.7f, 0xff405060u, 0.8f, 0, true);
    benchmark::ClobberMemory();
  }
  perPixel(st, kLinePixels);
}
BENCHMARK(BM_FLineAA);

void BM_RotatedBilinear30(benchmark::State& st) {
  Window& w = win();
  for (auto _ : st) {
    RAST_RotatedBlit(&w.dest, &w.src, 0, 0, kW, kH, 0, 0, kW, kH, 0.5235988f, true, 1.0f, RAST_BLIT_FILTER_BILINEAR,
                     0, 0);
    benchmark::ClobberMemory();
  }
  perPixel(st, double(kW) * kH);
}
BENCHMARK(BM_RotatedBilinear30);

template <class Base, class Op>
void speedAgainst(benchmark::State& st, Base&& base, Op&& op) {
  using Clock = std::chrono::steady_clock;
  Clock::duration tb{}, to{};
  for (auto _ : st) {
    const auto t0 = Clock::now();
    base();
    benchmark::ClobberMemory();
    const auto t1 = Clock::now();
    op();
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    tb += t1 - t0;
    to += t2 - t1;
  }
  st.counters["speed"] = to.count() > 0 ? double(tb.count()) / double(to.count()) : 0.0;
}

void BM_BlitCopyVsMemcpy(benchmark::State& st) {
  Window& w = win();
  std::vector<uint8_t> a(kBytes, 1), b(kBytes, 2);
  speedAgainst(st, [&] { std::memcpy(b.data(), a.data(), kBytes); },
               [&] { RAST_Blit(&w.dest, &w.src, 0, 0, nullptr, 1.0f, 0); });
}
BENCHMARK(BM_BlitCopyVsMemcpy);

void BM_FillVsMemset(benchmark::State& st) {
  Window& w = win();
  std::vector<uint8_t> a(kBytes, 1);
  speedAgainst(st, [&] { std::memset(a.data(), 0x5a, kBytes); },
               [&] { RAST_FillRect(&w.dest, 0, 0, kW, kH, 0xff102030u, 1.0f, 0); });
}
BENCHMARK(BM_FillVsMemset);

void BM_TrapezoidVsMemset(benchmark::State& st) {
  Window& w = win();
  std::vector<uint8_t> a(kBytes, 1);
  speedAgainst(st, [&] { std::memset(a.data(), 0x5a, kBytes); },
               [&] { RAST_FillTrapezoid(&w.dest, 0, kW - 1, 0, 0, kW - 1, kH - 1, 0xff102030u, 1.0f, 0); });
}
BENCHMARK(BM_TrapezoidVsMemset);

// Keeps each run's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
  auto px = [&](const char* op, double pixels) {
    if (rep.times.count(op)) std::printf("%-22s: %.3f ns per pixel\n", op, rep.times[op] / pixels);
  };
  px("BM_BlitCopy", double(kW) * kH);
  px("BM_BlitAlpha", double(kW) * kH);
  px("BM_ScaledBilinear075", double(int(kW * 0.75)) * int(kH * 0.75));
  px("BM_ScaledBilinear125", double(int(kW * 1.25)) * int(kH * 1.25));
  px("BM_FillCircleAA", kDiscPixels);
  px("BM_FLineAA", kLinePixels);
  px("BM_RotatedBilinear30", double(kW) * kH);
  benchmark::Shutdown();
  return 0;
}
