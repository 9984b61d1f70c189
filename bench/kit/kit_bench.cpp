// Keyed-array insert and look-up against std::map, and heap buffer growth
// against std::vector, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <vector>

#include "kit/assocarray.h"
#include "kit/heapbuf.h"

namespace {

constexpr int kKeys = 10000;

int cmpInt(const int* a, const int* b) { return (*a > *b) - (*a < *b); }
int keyAt(int i) { return static_cast<int>((static_cast<unsigned>(i) * 2654435761u) >> 1); }

void BM_AssocArray_Insert(benchmark::State& st) {
  for (auto _ : st) {
    KIT_AssocArray<int, int> a(cmpInt);
    for (int i = 0; i < kKeys; ++i) a.Insert(keyAt(i), i);
    benchmark::DoNotOptimize(a.GetSize());
  }
  st.SetItemsProcessed(st.iterations() * kKeys);
}
BENCHMARK(BM_AssocArray_Insert);

void BM_StdMap_Insert(benchmark::State& st) {
  for (auto _ : st) {
    std::map<int, int> m;
    for (int i = 0; i < kKeys; ++i) m[keyAt(i)] = i;
    benchmark::DoNotOptimize(m.size());
  }
  st.SetItemsProcessed(st.iterations() * kKeys);
}
BENCHMARK(BM_StdMap_Insert);

void BM_AssocArray_Lookup(benchmark::State& st) {
  KIT_AssocArray<int, int> a(cmpInt);
  for (int i = 0; i < kKeys; ++i) a.Insert(keyAt(i), i);
  for (auto _ : st) {
    long sum = 0;
    for (int i = 0; i < kKeys; ++i) sum += *a.Get(keyAt(i));
    benchmark::DoNotOptimize(sum);
  }
  st.SetItemsProcessed(st.iterations() * kKeys);
}
BENCHMARK(BM_AssocArray_Lookup);

void BM_StdMap_Lookup(benchmark::State& st) {
  std::map<int, int> m;
  for (int i = 0; i < kKeys; ++i) m[keyAt(i)] = i;
  for (auto _ : st) {
    long sum = 0;
    for (int i = 0; i < kKeys; ++i) sum += m.find(keyAt(i))->second;
    benchmark::DoNotOptimize(sum);
  }
  st.SetItemsProcessed(st.iterations() * kKeys);
}
BENCHMARK(BM_StdMap_Lookup);

// Growing byte by byte to 1 MiB, as a list appending pointers does.
void BM_HeapBuf_Growth(benchmark::State& st) {
  for (auto _ : st) {
    KIT_HeapBuf hb(KIT_GRAN_DEFAULT);
    for (int n = 8; n <= (1 << 20); n += 8) hb.Resize(n);
    benchmark::DoNotOptimize(hb.Get());
  }
}
BENCHMARK(BM_HeapBuf_Growth);

void BM_StdVector_Growth(benchmark::State& st) {
  for (auto _ : st) {
    std::vector<char> v;
    for (int n = 8; n <= (1 << 20); n += 8) v.resize(static_cast<size_t>(n));
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(BM_StdVector_Growth);

// Baseline: one memset of the final size.
void BM_Baseline_Memset1MiB(benchmark::State& st) {
  std::vector<char> v(1 << 20);
  for (auto _ : st) {
    std::memset(v.data(), 1, v.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Baseline_Memset1MiB);

}  // namespace
