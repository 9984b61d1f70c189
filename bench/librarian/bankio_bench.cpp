// Reading and writing one bank in memory, measured against copying the same
// number of bytes (memcpy) in the same run: the ratio is what counts (raw
// banks with argument 0, Standard MIDI File banks with 1).
#include <benchmark/benchmark.h>

#include <chrono>

#include <cstring>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/BankReader.h"

namespace {

std::vector<uint8_t> dump(int seed) {
  std::vector<uint8_t> d = {0xF0, 0x3E, 0x16, 0x00, 0x10, 0x00, 0x00};
  for (int p = 7; p < 135; ++p) d.push_back(static_cast<uint8_t>((p * 11 + seed) & 0x7F));
  d.push_back(0x00);
  d.push_back(0xF7);
  d[135] = dumpCheckByte(d);
  return d;
}

std::vector<LibrarianPatch> bankPatches() {
  std::vector<LibrarianPatch> patches;
  for (int i = 0; i < kBankSize; ++i) patches.push_back(LibrarianPatch::fromDump(dump(i)));
  return patches;
}

const std::vector<uint8_t>& bankBytes(bool midi) {
  static const std::vector<uint8_t> raw = buildBankBytes(bankPatches(), false);
  static const std::vector<uint8_t> mid = buildBankBytes(bankPatches(), true);
  return midi ? mid : raw;
}

void BM_CopyBaseline(benchmark::State& state) {
  const std::vector<uint8_t>& src = bankBytes(state.range(0) != 0);
  std::vector<uint8_t> dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(src.size()));
}
BENCHMARK(BM_CopyBaseline)->Arg(0)->Arg(1);

void BM_ReadBank(benchmark::State& state) {
  const std::vector<uint8_t>& src = bankBytes(state.range(0) != 0);
  for (auto _ : state) {
    PatchFile f;
    BankReader::loadFromChunk(src, f);
    benchmark::DoNotOptimize(f.patches.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(src.size()));
}
BENCHMARK(BM_ReadBank)->Arg(0)->Arg(1);

void BM_WriteBank(benchmark::State& state) {
  const std::vector<LibrarianPatch> patches = bankPatches();
  const bool midi = state.range(0) != 0;
  for (auto _ : state) {
    std::vector<uint8_t> out = buildBankBytes(patches, midi);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bankBytes(midi).size()));
}
BENCHMARK(BM_WriteBank)->Arg(0)->Arg(1);

// The three in turn within the same iterations: the counters "read_ratio"
// and "write_ratio" are reading and writing time / copying time.
void BM_ReadAndWriteAgainstCopy(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const bool midi = state.range(0) != 0;
  const std::vector<uint8_t>& src = bankBytes(midi);
  const std::vector<LibrarianPatch> patches = bankPatches();
  std::vector<uint8_t> dst(src.size());
  Clock::duration copy{}, read{}, write{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::ClobberMemory();
    const auto t1 = Clock::now();
    {
      PatchFile f;
      BankReader::loadFromChunk(src, f);
      benchmark::DoNotOptimize(f.patches.size());
    }
    const auto t2 = Clock::now();
    {
      std::vector<uint8_t> out = buildBankBytes(patches, midi);
      benchmark::DoNotOptimize(out.data());
    }
    const auto t3 = Clock::now();
    copy += t1 - t0, read += t2 - t1, write += t3 - t2;
  }
  const double base = static_cast<double>(copy.count());
  state.counters["read_ratio"] = base > 0 ? static_cast<double>(read.count()) / base : 0.0;
  state.counters["write_ratio"] = base > 0 ? static_cast<double>(write.count()) / base : 0.0;
}
BENCHMARK(BM_ReadAndWriteAgainstCopy)->Arg(0)->Arg(1);

}  // namespace
