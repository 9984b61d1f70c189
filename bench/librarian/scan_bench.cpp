// The folder scan of a Patches folder of 1,000 standard bank files, measured
// against reading the same files' bytes raw in the same run (warm cache).
// The counter "ratio" is scan time / raw read time; its goal is in
// bench/goals.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/LibrarianPatch.h"
#include "librarian/ParallelFor.h"
#include "librarian/PatchLibrarian.h"
#include "testsupport.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kFolders = 10;

// A standard raw bank: 100 model 2 dumps with distinct bodies, names and
// categories, check bytes set.
std::vector<uint8_t> standardBank(int seed) {
  std::vector<uint8_t> out;
  out.reserve(kRawBankBytes);
  for (int slot = 0; slot < kBankSize; ++slot) {
    std::vector<uint8_t> d = {0xF0, 0x3E, 0x16, 0x00, 0x10, 0x00, static_cast<uint8_t>(slot)};
    for (int p = 7; p < kDumpNameOffset; ++p) d.push_back(static_cast<uint8_t>((p * 13 + seed * 7 + slot) & 0x7F));
    char name[16];
    std::snprintf(name, sizeof name, "BANK%03d SND%02d", seed % 1000, slot);
    for (int i = 0; i < kDumpNameLength; ++i) d.push_back(static_cast<uint8_t>(name[i] ? name[i] : ' '));
    d.push_back(static_cast<uint8_t>((seed + slot) % kCategoryCount));
    d.push_back(0);
    d.push_back(0xF7);
    d[kDumpCheckOffset] = dumpCheckByte(d);
    out.insert(out.end(), d.begin(), d.end());
  }
  return out;
}

struct Tree {
  testsupport::TempDir dir;
  std::string patches = dir.path() + "Patches";
  std::vector<std::string> files;

  Tree() {
    for (int i = 0; i < kFiles; ++i) {
      const std::string folder = patches + "/Folder " + std::to_string(i % kFolders);
      std::filesystem::create_directories(folder);
      char name[32];
      std::snprintf(name, sizeof name, "/Bank %04d.syx", i);
      files.push_back(folder + name);
      testsupport::writeFile(files.back(), standardBank(i));
    }
  }
};

Tree& tree() {
  static Tree t;
  return t;
}

// Reads every file whole: open, size, read, close.
size_t readAllRaw(const std::vector<std::string>& files) {
  size_t total = 0;
  std::vector<uint8_t> buf;
  for (const std::string& path : files) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) continue;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    buf.resize(static_cast<size_t>(size));
    total += std::fread(buf.data(), 1, buf.size(), f);
    std::fclose(f);
    benchmark::DoNotOptimize(buf.data());
  }
  return total;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_RawRead(benchmark::State& state) {
  Tree& t = tree();
  for (auto _ : state) benchmark::DoNotOptimize(readAllRaw(t.files));
}
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);

// threadLimit 0: the threads the scan chooses; 1: the scan on one thread,
// as on a two-core machine.
void BM_FolderScan(benchmark::State& state, size_t threadLimit) {
  Tree& t = tree();
  librarian::scanThreadLimit() = threadLimit;
  readAllRaw(t.files);  // warm the cache
  double raw = 0, scan = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(readAllRaw(t.files));
    auto t1 = std::chrono::steady_clock::now();
    {
      PatchLibrarian lib;
      auto t2 = std::chrono::steady_clock::now();
      lib.loadPatchesFromFilesystem(t.patches);
      auto t3 = std::chrono::steady_clock::now();
      if (lib.patchFiles.size() != static_cast<size_t>(kFiles)) state.SkipWithError("scan did not list every file");
      raw += seconds(t1 - t0);
      scan += seconds(t3 - t2);
      state.SetIterationTime(seconds(t3 - t2));
    }
  }
  state.counters["raw_ms"] = benchmark::Counter(raw * 1000 / static_cast<double>(state.iterations()));
  state.counters["ratio"] = benchmark::Counter(raw > 0 ? scan / raw : 0);
  librarian::scanThreadLimit() = 0;
}
BENCHMARK_CAPTURE(BM_FolderScan, all_threads, 0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FolderScan, one_thread, 1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
