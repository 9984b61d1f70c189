// Seeds for the libFuzzer form of a fuzz target. Before libFuzzer reads its
// arguments, the target's seeds are written as files into the folder
// "<program>_seeds" beside the program, and that folder is added to the
// corpus folders of the run. When no folder was named, "<program>_corpus"
// is added in front of it, so that the inputs libFuzzer finds land there and
// not among the seeds. A run over single input files (reproducing a
// finding) is left as it is.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_seeds.h"

namespace {

namespace fs = std::filesystem;

bool writeSeeds(const fs::path& folder, const std::vector<std::vector<uint8_t>>& seeds) {
  std::error_code ec;
  fs::remove_all(folder, ec);  // no seed of an older build stays behind
  fs::create_directories(folder, ec);
  if (ec) return false;
  for (size_t i = 0; i < seeds.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "seed-%04zu", i);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
    if (!out) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (!TavrinFuzzSeeds) return 0;
  bool anyFolder = false;
  for (int i = 1; i < *argc; ++i) {
    const char* a = (*argv)[i];
    if (a[0] == '-') continue;
    std::error_code ec;
    if (!fs::is_directory(a, ec)) return 0;  // single inputs: run just those
    anyFolder = true;
  }
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return 0;
  const fs::path seedFolder = self.string() + "_seeds";
  std::vector<std::vector<uint8_t>> seeds;
  TavrinFuzzSeeds(seeds);
  if (!writeSeeds(seedFolder, seeds)) {
    std::fprintf(stderr, "fuzz: could not write the seeds to %s\n", seedFolder.c_str());
    return 0;
  }
  // The new argument list lives as long as the process: libFuzzer keeps it.
  static std::vector<std::string> added;
  static std::vector<char*> args;
  if (!anyFolder) {
    const fs::path corpus = self.string() + "_corpus";
    fs::create_directories(corpus, ec);
    added.push_back(corpus.string());
  }
  added.push_back(seedFolder.string());
  args.assign(*argv, *argv + *argc);
  for (std::string& a : added) args.push_back(a.data());
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size() - 1);
  *argv = args.data();
  std::fprintf(stderr, "fuzz: %zu seeds in %s\n", seeds.size(), seedFolder.c_str());
  return 0;
}
