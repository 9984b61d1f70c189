// A display pass of a 1500 x 757 window holding 300 child window objects
// after one child's InvalidateRect, against one after the content view's.
// Each child paints its client area. Each is the median of 50 passes; the
// ratio is printed and kept as the counter "ratio" of the second (its goal
// is in bench/goals).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "shim/winseam.h"
#include "shim/winwindow.h"

namespace {

const int kW = 1500, kH = 757;

LRESULT PaintingProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_PAINT) return DefWindowProc(w, msg, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  static HBRUSH brush = CreateSolidBrush(0x336699);
  RECT r;
  GetClientRect(w, &r);
  SHIM_FillRect(dc, &r, brush);
  EndPaint(w, &ps);
  return 0;
}

struct Scene {
  HWND content = nullptr;
  std::vector<HWND> children;
  winsys::Window* window = nullptr;
  Scene() {
    window = new Shim_vTavrin_modelesswindow(winsys::Rect{0, 0, kW, kH}, 15);
    content = SHIM_CreateWindowObject(SHIM_Handle(window), PaintingProc, 0);
    ShowWindow(content, SW_SHOW);
    for (int i = 0; i < 300; ++i) {
      HWND c = SHIM_CreateWindowObject(content, PaintingProc, 0);
      SetWindowPos(c, nullptr, (i % 20) * 75, (i / 20) * 50, 70, 45, SWP_NOZORDER);
      ShowWindow(c, SW_SHOW);
      children.push_back(c);
    }
    window->display();
  }
};

Scene& TheScene() {
  static Scene* s = new Scene;
  return *s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::vector<double> gChild, gContent;

double TimedPass(winsys::Window* w) {
  const auto t0 = std::chrono::steady_clock::now();
  w->displayIfNeeded();
  const auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::micro>(t1 - t0).count();
}

void BM_OneChildInvalidated(benchmark::State& state) {
  Scene& s = TheScene();
  size_t n = 0;
  for (auto _ : state) {
    InvalidateRect(s.children[n++ % s.children.size()], nullptr, 0);
    gChild.push_back(TimedPass(s.window));
  }
}

void BM_ContentViewInvalidated(benchmark::State& state) {
  Scene& s = TheScene();
  for (auto _ : state) {
    InvalidateRect(s.content, nullptr, 0);
    gContent.push_back(TimedPass(s.window));
  }
  if (!gChild.empty()) state.counters["ratio"] = Median(gChild) / Median(gContent);
}

BENCHMARK(BM_OneChildInvalidated)->Iterations(50);
BENCHMARK(BM_ContentViewInvalidated)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (!gChild.empty() && !gContent.empty()) {
    const double c = Median(gChild), f = Median(gContent);
    printf("median pass after one child's InvalidateRect %.1f us, after the content view's %.1f us, ratio %.4f\n",
           c, f, c / f);
  }
  benchmark::Shutdown();
  return 0;
}
