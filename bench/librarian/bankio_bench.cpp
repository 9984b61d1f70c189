// Reading and writing one bank in memory, measured against copying the same
// number of bytes (memcpy) in the same run: the ratio is what counts.
#include <benchmark/benchmark.h>

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
    benchmark::DoNotOptimize(f.patches.data());
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

}  // namespace
