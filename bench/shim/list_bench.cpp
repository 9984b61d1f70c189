// ListView_SortItems on 100,000 rows against std::stable_sort of the same
// values with the same comparison, in one run, with the ratio printed and
// as the counter "ratio" (its goal is in bench/goals); and sorted insertion
// of 10,000 texts, in microseconds per row.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/winsys/testapi.h"
#include "shim/winctlclass.h"

namespace {

const int kRows = 100000, kTexts = 10000;

int Compare(LPARAM a, LPARAM b, LPARAM) { return a < b ? -1 : a > b; }

double Micros(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

HWND NewList(winsys::Window** out, int style) {
  auto* win = new Shim_vTavrin_modelesswindow(winsys::Rect{0, 0, 400, 300}, 15);
  HWND top = SHIM_CreateWindowObject(SHIM_Handle(win), nullptr, 0);
  SHIM_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  *out = win;
  return SHIM_MakeControl("", 1, "SysListView32", style, 0, 0, 300, 200, 0);
}

double gSort = 0, gStable = 0, gInsert = 0;

void BM_SortItemsAgainstStableSort(benchmark::State& state) {
  std::mt19937 rng(7);
  std::vector<LPARAM> values(kRows);
  for (LPARAM& v : values) v = static_cast<LPARAM>(rng() % 50000);
  for (auto _ : state) {
    winsys::Window* w = nullptr;
    HWND list = NewList(&w, 0);
    for (int i = 0; i < kRows; ++i) {
      LVITEM it{};
      it.mask = LVIF_PARAM;
      it.iItem = i;
      it.lParam = values[static_cast<size_t>(i)];
      ListView_InsertItem(list, &it);
    }
    auto t0 = std::chrono::steady_clock::now();
    ListView_SortItems(list, Compare, 0);
    gSort = Micros(t0);
    std::vector<LPARAM> copy = values;
    PFNLVCOMPARE cmp = Compare;  // called through the pointer, as the list calls it
    benchmark::DoNotOptimize(cmp);
    t0 = std::chrono::steady_clock::now();
    std::stable_sort(copy.begin(), copy.end(), [cmp](LPARAM a, LPARAM b) { return cmp(a, b, 0) < 0; });
    gStable = Micros(t0);
    benchmark::DoNotOptimize(copy.data());
    winsys::test::reset();
  }
  if (gStable > 0) state.counters["ratio"] = gSort / gStable;
}

void BM_SortedInsertion(benchmark::State& state) {
  std::mt19937 rng(11);
  std::vector<std::string> texts(kTexts);
  for (std::string& t : texts) t = "item " + std::to_string(rng() % 1000000);
  for (auto _ : state) {
    winsys::Window* w = nullptr;
    HWND list = NewList(&w, LVS_SORTASCENDING);
    const auto t0 = std::chrono::steady_clock::now();
    for (const std::string& t : texts) {
      LVITEM it{};
      it.mask = LVIF_TEXT;
      it.pszText = const_cast<char*>(t.c_str());
      ListView_InsertItem(list, &it);
    }
    gInsert = Micros(t0) / kTexts;
    winsys::test::reset();
  }
}

BENCHMARK(BM_SortItemsAgainstStableSort)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortedInsertion)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (gStable > 0)
    printf("ListView_SortItems of %d rows %.0f us, std::stable_sort %.0f us, ratio %.2f\n", kRows, gSort,
           gStable, gSort / gStable);
  if (gInsert > 0) printf("sorted insertion of %d texts: %.2f us per row\n", kTexts, gInsert);
  benchmark::Shutdown();
  return 0;
}
