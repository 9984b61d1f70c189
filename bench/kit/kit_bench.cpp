// Keyed-array insert and look-up against std::map, and heap buffer growth
// against std::vector, measured in the same run; BM_AgainstStandard times
// each pair in turn within the same iterations, its counters being the
// keyed array's or heap buffer's time / the standard container's.
#include <benchmark/benchmark.h>

#include <chrono>
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

void BM_AgainstStandard(benchmark::State& st) {
  using Clock = std::chrono::steady_clock;
  KIT_AssocArray<int, int> a(cmpInt);
  std::map<int, int> m;
  for (int i = 0; i < kKeys; ++i) a.Insert(keyAt(i), i), m[keyAt(i)] = i;
  Clock::duration t[6] = {};
  for (auto _ : st) {
    Clock::time_point at[7];
    at[0] = Clock::now();
    {
      KIT_AssocArray<int, int> b(cmpInt);
      for (int i = 0; i < kKeys; ++i) b.Insert(keyAt(i), i);
      benchmark::DoNotOptimize(b.GetSize());
    }
    at[1] = Clock::now();
    {
      std::map<int, int> n;
      for (int i = 0; i < kKeys; ++i) n[keyAt(i)] = i;
      benchmark::DoNotOptimize(n.size());
    }
    at[2] = Clock::now();
    long sum = 0;
    for (int i = 0; i < kKeys; ++i) sum += *a.Get(keyAt(i));
    at[3] = Clock::now();
    for (int i = 0; i < kKeys; ++i) sum += m.find(keyAt(i))->second;
    at[4] = Clock::now();
    benchmark::DoNotOptimize(sum);
    {
      KIT_HeapBuf hb(KIT_GRAN_DEFAULT);
      for (int n = 8; n <= (1 << 20); n += 8) hb.Resize(n);
      benchmark::DoNotOptimize(hb.Get());
    }
    at[5] = Clock::now();
    {
      std::vector<char> v;
      for (int n = 8; n <= (1 << 20); n += 8) v.resize(static_cast<size_t>(n));
      benchmark::DoNotOptimize(v.data());
    }
    at[6] = Clock::now();
    for (int k = 0; k < 6; ++k) t[k] += at[k + 1] - at[k];
  }
  auto ratio = [&](int k) { return t[k + 1].count() > 0 ? double(t[k].count()) / double(t[k + 1].count()) : 0.0; };
  st.counters["insert_ratio"] = ratio(0);
  st.counters["lookup_ratio"] = ratio(2);
  st.counters["growth_ratio"] = ratio(4);
}
BENCHMARK(BM_AgainstStandard);

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
