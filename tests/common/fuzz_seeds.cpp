// Seeds for the libFuzzer form of a fuzz target. Before libFuzzer reads its
// arguments, the target's seeds are written as files into the first corpus
// folder named on the command line, where libFuzzer also keeps the inputs it
// finds; without one, into "<program>_corpus" beside the program, which is
// then added to the arguments. The empty seed needs no file: libFuzzer
// always runs the empty input. A file's name comes from its content, so a
// later run finds its seeds there and adds no copies. A run over single
// input files (reproducing a finding) is left as it is.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_seeds.h"

namespace {

namespace fs = std::filesystem;

// 64-bit FNV-1a of the seed's bytes.
unsigned long long contentHash(const std::vector<uint8_t>& bytes) {
  unsigned long long h = 14695981039346656037ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

bool writeSeeds(const fs::path& folder, const std::vector<std::vector<uint8_t>>& seeds) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return false;
  for (const std::vector<uint8_t>& seed : seeds) {
    if (seed.empty()) continue;  // libFuzzer runs the empty input anyway
    char name[32];
    std::snprintf(name, sizeof name, "seed-%016llx", contentHash(seed));
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
    if (!out) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (!TavrinFuzzSeeds) return 0;
  const char* firstFolder = nullptr;
  for (int i = 1; i < *argc; ++i) {
    const char* a = (*argv)[i];
    if (a[0] == '-') continue;
    std::error_code ec;
    if (!fs::is_directory(a, ec)) return 0;  // single inputs: run just those
    if (!firstFolder) firstFolder = a;
  }
  fs::path folder;
  if (firstFolder) {
    folder = firstFolder;
  } else {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return 0;
    folder = self.string() + "_corpus";
  }
  std::vector<std::vector<uint8_t>> seeds;
  TavrinFuzzSeeds(seeds);
  if (!writeSeeds(folder, seeds)) {
    std::fprintf(stderr, "fuzz: could not write the seeds to %s\n", folder.c_str());
    return 0;
  }
  std::fprintf(stderr, "fuzz: %zu seeds in %s\n", seeds.size(), folder.c_str());
  if (firstFolder) return 0;
  // The argument list with the folder added lives as long as the process:
  // libFuzzer keeps it.
  static std::string added;
  static std::vector<char*> args;
  added = folder.string();
  args.assign(*argv, *argv + *argc);
  args.push_back(added.data());
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size() - 1);
  *argv = args.data();
  return 0;
}
