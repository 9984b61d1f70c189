// The rebuild of the upper-list folder menu over a synthetic tree of 4,000
// bank files against one of 2,000 files in the same proportions, in the same
// run. The counter "ratio" is the 4,000-file time / the 2,000-file time (a
// linear rebuild gives about 2, a quadratic one 4); its goal is in
// bench/goals.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "support_views.h"

namespace {

// n files, ten to a folder; two thirds of the folders directly below
// "Patches", one third one level further down, in groups of five.
std::unique_ptr<viewtest::Bench> treeOf(int n) {
  auto b = std::make_unique<viewtest::Bench>(16, 16);
  for (int i = 0; i < n; ++i) {
    const int folder = i / 10;
    char name[32];
    auto f = std::make_unique<PatchFile>();
    f->folderNames.push_back("Patches");
    std::snprintf(name, sizeof name, "Top %04d", folder % 3 == 2 ? folder / 5 : folder);
    f->folderNames.push_back(name);
    if (folder % 3 == 2) {
      std::snprintf(name, sizeof name, "Sub %04d", folder);
      f->folderNames.push_back(name);
    }
    f->folderName = f->folderNames.back();
    std::snprintf(name, sizeof name, "Bank %05d.sr2", i);
    f->fileName = name;
    b->lib.patchFiles.push_back(std::move(f));
    b->lib.createFolderFilesStructure(b->lib.patchFiles.back().get());
  }
  return b;
}

double rebuildSeconds(viewtest::Bench& b, LeftPatchPopupMenu& menu) {
  // Names of a file near the end: the check step and the sync see every file.
  const PatchFile& target = *b.lib.patchFiles[b.lib.patchFiles.size() - 3];
  const auto t0 = std::chrono::steady_clock::now();
  menu.refreshFolderStructure(&b.lib, &b.editor, 0, target.fileName, target.folderName);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_LeftMenuRebuild(benchmark::State& state) {
  auto small = treeOf(2000), large = treeOf(4000);
  LeftPatchPopupMenu smallMenu(small->plug, &small->lib, IRECT(0, 0, 10, 10), &small->editor);
  LeftPatchPopupMenu largeMenu(large->plug, &large->lib, IRECT(0, 0, 10, 10), &large->editor);
  double s = 0, l = 0;
  for (auto _ : state) {
    s += rebuildSeconds(*small, smallMenu);
    l += rebuildSeconds(*large, largeMenu);
  }
  state.counters["small_ms"] = benchmark::Counter(s * 1000 / static_cast<double>(state.iterations()));
  state.counters["large_ms"] = benchmark::Counter(l * 1000 / static_cast<double>(state.iterations()));
  state.counters["ratio"] = benchmark::Counter(s > 0 ? l / s : 0);
}
BENCHMARK(BM_LeftMenuRebuild)->Unit(benchmark::kMillisecond);

}  // namespace
