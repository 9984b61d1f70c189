// The folder refresh against the rescan it is built on, over the same
// "Patches" tree of 1,000 banks (ten folders of 100 raw banks). A: the
// librarian's discard and rescan alone (PatchLibrarian::initBankFilesOnDiscard
// on a librarian of its own). B: the plug-in's kRefreshFolders: the same
// rescan, the relabelled lists, the rebuilt folder, bank and program menus,
// the refilled slot lists and the release of the files dropped (handed to
// a thread of their own: "release_ms" is how long freeing them takes
// there). The counter "ratio" is median B / median A over five runs of
// each, taken in turns; its goal is in bench/goals.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "editor/Tavrin.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "librarian/PatchLibrarian.h"
#include "platform/folders.h"
#include "testsupport.h"

namespace {

using edbench::median;

constexpr int kFolders = 10;
constexpr int kBanksPerFolder = 100;

void writeTree(const std::string& patches) {
  for (int f = 0; f < kFolders; ++f) {
    const std::string folder = patches + "/Folder " + std::to_string(f);
    std::filesystem::create_directories(folder);
    for (int b = 0; b < kBanksPerFolder; ++b) {
      std::vector<uint8_t> bank;
      bank.reserve(100 * sounddump::kLength);
      for (int s = 0; s < 100; ++s) {
        sounddump::Dump d = sounddump::initSinglePatch;
        d[7] = static_cast<uint8_t>((f * 31 + b * 7 + s) & 0x7F);
        const std::string name = "F" + std::to_string(f) + " B" + std::to_string(b) + " S" + std::to_string(s);
        for (size_t i = 0; i < name.size() && i < sounddump::kNameLength; ++i) d[sounddump::kNameFirst + i] = name[i];
        sounddump::refreshCheckByte(d);
        bank.insert(bank.end(), d.begin(), d.end());
      }
      char file[64];
      std::snprintf(file, sizeof file, "/Bank %03d.syx", b);
      testsupport::writeFile(folder + file, bank);
    }
  }
}

void BM_RefreshFolders(benchmark::State& state) {
  testsupport::ScopedFolders folders;
  platform::setResourceFolder(TAVRIN_STAGED_ROOT);
  const std::string patches = platform::dataFolder() + "Patches";
  writeTree(patches);
  LoopbackHub hub;
  edbench::LoopbackPortsScope portsScope(hub);
  Tavrin plug{IPluginInstanceInfo{}};
  PatchLibrarian alone;
  alone.loadPatchesFromFilesystem(patches);
  std::vector<double> a, b, release;
  size_t files = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    alone.initBankFilesOnDiscard(patches);
    const auto t1 = std::chrono::steady_clock::now();
    // Untimed: the rescan alone is the base, and no freeing of either side
    // runs into the other's time.
    alone.releaseDroppedFiles();
    alone.waitForRelease();
    const auto t1b = std::chrono::steady_clock::now();
    plug.GetParam(kRefreshFolders)->Set(1.0);
    plug.OnParamChange(kRefreshFolders);
    const auto t2 = std::chrono::steady_clock::now();
    plug.librarian()->waitForRelease();
    files += alone.patchFiles.size() + plug.librarian()->patchFiles.size();
    a.push_back(std::chrono::duration<double>(t1 - t0).count());
    b.push_back(std::chrono::duration<double>(t2 - t1b).count());
    release.push_back(std::chrono::duration<double>(t1b - t1).count());
    state.SetIterationTime(b.back());
  }
  benchmark::DoNotOptimize(files);
  state.counters["banks"] = static_cast<double>(plug.librarian()->patchFiles.size());
  state.counters["A_ms"] = median(a) * 1000;
  state.counters["B_ms"] = median(b) * 1000;
  state.counters["release_ms"] = median(release) * 1000;
  state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
}
BENCHMARK(BM_RefreshFolders)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
