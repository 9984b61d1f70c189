// The timed MIDI queue against a preallocated std::vector doing the same
// work: a block's worth of messages added in offset order (with some added
// out of order), then drained up to the block length and flushed. The
// "ratio" counter of BM_QueueVsVector is queue time / vector time measured
// in the same iterations.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "framework/IPluginStructs.h"

namespace {

constexpr int kBlock = 512;
constexpr int kPerBlock = 64;

int offsetFor(int i) { return (i * 37) % (kBlock + kBlock / 4); }  // some beyond the block

uint64_t runQueue(IMidiQueue& q) {
  uint64_t sum = 0;
  for (int i = 0; i < kPerBlock; ++i) {
    IMidiMsg m(offsetFor(i), 0xB0, static_cast<uint8_t>(i & 127), 64);
    q.Add(m);
  }
  while (!q.Empty() && q.Peek()->mOffset < kBlock) {
    sum += q.Peek()->mData1;
    q.Remove();
  }
  q.Flush(kBlock);
  return sum;
}

// The same ordering rule over a vector reserved once.
struct VectorQueue {
  std::vector<IMidiMsg> v;
  size_t front = 0;
  VectorQueue() { v.reserve(4096); }
  void add(const IMidiMsg& m) {
    auto it = std::upper_bound(v.begin() + static_cast<long>(front), v.end(), m,
                               [](const IMidiMsg& a, const IMidiMsg& b) { return a.mOffset < b.mOffset; });
    v.insert(it, m);
  }
};

uint64_t runVector(VectorQueue& q) {
  uint64_t sum = 0;
  for (int i = 0; i < kPerBlock; ++i) q.add(IMidiMsg(offsetFor(i), 0xB0, static_cast<uint8_t>(i & 127), 64));
  while (q.front < q.v.size() && q.v[q.front].mOffset < kBlock) sum += q.v[q.front++].mData1;
  q.v.erase(q.v.begin(), q.v.begin() + static_cast<long>(q.front));
  q.front = 0;
  for (IMidiMsg& m : q.v) m.mOffset -= kBlock;
  return sum;
}

void BM_IMidiQueue_AddDrain(benchmark::State& state) {
  IMidiQueue q;
  q.Resize(kBlock);
  for (auto _ : state) benchmark::DoNotOptimize(runQueue(q));
  state.SetItemsProcessed(state.iterations() * kPerBlock);
}
BENCHMARK(BM_IMidiQueue_AddDrain);

void BM_VectorBaseline_AddDrain(benchmark::State& state) {
  VectorQueue q;
  for (auto _ : state) benchmark::DoNotOptimize(runVector(q));
  state.SetItemsProcessed(state.iterations() * kPerBlock);
}
BENCHMARK(BM_VectorBaseline_AddDrain);

void BM_QueueVsVector(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  IMidiQueue q;
  q.Resize(kBlock);
  VectorQueue v;
  Clock::duration tq{}, tv{};
  for (auto _ : state) {
    auto t0 = Clock::now();
    for (int r = 0; r < 16; ++r) benchmark::DoNotOptimize(runQueue(q));
    auto t1 = Clock::now();
    for (int r = 0; r < 16; ++r) benchmark::DoNotOptimize(runVector(v));
    auto t2 = Clock::now();
    tq += t1 - t0;
    tv += t2 - t1;
  }
  state.counters["ratio"] = tv.count() > 0 ? static_cast<double>(tq.count()) / static_cast<double>(tv.count()) : 0.0;
}
BENCHMARK(BM_QueueVsVector);

}  // namespace
