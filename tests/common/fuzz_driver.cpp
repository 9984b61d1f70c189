// Runs a fuzz target (LLVMFuzzerTestOneInput) without libFuzzer: seeded
// random inputs, mutations of the target's own seeds, and any files or
// folders named on the command line. Deterministic for a given -seed; with
// -max_total_time it stops early once that many seconds have passed (a
// cap, so that a loaded machine makes a run shorter, never a failure).
//
// A target may keep state from one input to the next, and libFuzzer runs
// the seeds in an order of its own (the empty input, then the smallest
// first; shuffled among equal sizes). So each seed first runs right after
// the empty input on a fresh target, in a process of its own; then all run
// here in libFuzzer's order, the empty input first and the seeds by size.
//
//   target [-runs=N] [-max_total_time=S] [-seed=S] [-max_len=L] [file-or-folder ...]
//
// The libFuzzer build of the same targets, and the one command that builds
// and runs each of them for a given time, are described at tavrin_fuzz in
// cmake/TavrinHelpers.cmake.
#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fuzz_seeds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void runOne(const std::vector<uint8_t>& in) {
  // Copy into an exact-size heap block so that reads past the end are caught.
  // The allocator hands out at least one byte, so the empty input is passed
  // as the end of a one-byte block: any read of it is past the end too.
  const size_t alloc = in.empty() ? 1 : in.size();
  uint8_t* block = static_cast<uint8_t*>(std::malloc(alloc));
  if (!block) return;
  uint8_t* p = block + (alloc - in.size());
  if (!in.empty()) std::memcpy(p, in.data(), in.size());
  LLVMFuzzerTestOneInput(p, in.size());
  std::free(block);
}

std::vector<uint8_t> mutate(std::vector<uint8_t> v, std::mt19937_64& rng, size_t maxLen) {
  const int edits = 1 + static_cast<int>(rng() % 8);
  for (int e = 0; e < edits; ++e) {
    switch (rng() % 7) {
      case 0:  // flip a bit
        if (!v.empty()) v[rng() % v.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:  // set a byte to an interesting value
        if (!v.empty()) {
          static const uint8_t vals[] = {0x00, 0x01, 0x7F, 0x80, 0xF0, 0xF7, 0xFF, 0x3E, 0x10};
          v[rng() % v.size()] = vals[rng() % sizeof vals];
        }
        break;
      case 2:  // truncate
        if (!v.empty()) v.resize(rng() % v.size());
        break;
      case 3:  // insert random bytes
        if (v.size() < maxLen) {
          size_t pos = v.empty() ? 0 : rng() % (v.size() + 1);
          size_t n = 1 + rng() % 16;
          for (size_t i = 0; i < n && v.size() < maxLen; ++i) v.insert(v.begin() + static_cast<long>(pos), static_cast<uint8_t>(rng()));
        }
        break;
      case 4:  // erase a range
        if (v.size() > 1) {
          size_t pos = rng() % v.size();
          size_t n = 1 + rng() % std::min<size_t>(64, v.size() - pos);
          v.erase(v.begin() + static_cast<long>(pos), v.begin() + static_cast<long>(pos + n));
        }
        break;
      case 5:  // duplicate a range
        if (!v.empty() && v.size() < maxLen) {
          size_t pos = rng() % v.size();
          size_t n = 1 + rng() % std::min<size_t>(256, v.size() - pos);
          std::vector<uint8_t> chunk(v.begin() + static_cast<long>(pos), v.begin() + static_cast<long>(pos + n));
          v.insert(v.begin() + static_cast<long>(rng() % (v.size() + 1)), chunk.begin(), chunk.end());
          if (v.size() > maxLen) v.resize(maxLen);
        }
        break;
      default:  // overwrite a 32-bit word with an extreme value
        if (v.size() >= 4) {
          static const uint32_t words[] = {0u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x10000u, 1u};
          uint32_t w = words[rng() % (sizeof words / sizeof words[0])];
          std::memcpy(&v[rng() % (v.size() - 3)], &w, 4);
        }
        break;
    }
  }
  return v;
}

void addPath(const std::string& path, std::vector<std::vector<uint8_t>>& seeds) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    // In name order, so that a run does not depend on the file system's order.
    std::vector<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(path, ec))
      if (e.is_regular_file(ec)) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) addPath(f, seeds);
    return;
  }
  std::ifstream in(path, std::ios::binary);
  if (in) seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The command line's seeds, then the target's own.
std::vector<std::vector<uint8_t>> allSeeds(const std::vector<std::vector<uint8_t>>& given) {
  std::vector<std::vector<uint8_t>> seeds = given;
  if (TavrinFuzzSeeds) TavrinFuzzSeeds(seeds);
  return seeds;
}

// Runs the empty input and then seed i in a child process, before this
// process has made the target's state (the target's seeds are made in the
// child too): 1 when it ran clean, 0 when there is no seed i, -1 when the
// child failed.
int runFreshChild(const std::vector<std::vector<uint8_t>>& given, size_t i) {
  constexpr int kNoSuchSeed = 3;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fuzz: fork");
    return -1;
  }
  if (child == 0) {
    const std::vector<std::vector<uint8_t>> seeds = allSeeds(given);
    // Its statics go as at any end (making the seeds may have made the
    // target's, and their temporary folders).
    if (i >= seeds.size()) std::exit(kNoSuchSeed);
    runOne({});
    runOne(seeds[i]);
    std::exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      std::perror("fuzz: waitpid");
      return -1;
    }
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoSuchSeed) return 0;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 1;
  std::fprintf(stderr, "fuzz: seed %zu, run first on a fresh target, failed\n", i);
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 10000;
  long maxSeconds = 0;  // no cap
  unsigned long long seed = 20261206;
  size_t maxLen = 8192;
  std::vector<std::vector<uint8_t>> seeds;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("-runs=", 0) == 0)
      runs = std::atol(a.c_str() + 6);
    else if (a.rfind("-max_total_time=", 0) == 0)
      maxSeconds = std::atol(a.c_str() + 16);
    else if (a.rfind("-seed=", 0) == 0)
      seed = std::strtoull(a.c_str() + 6, nullptr, 10);
    else if (a.rfind("-max_len=", 0) == 0)
      maxLen = static_cast<size_t>(std::atol(a.c_str() + 9));
    else if (!a.empty() && a[0] != '-')
      addPath(a, seeds);
  }
  const auto start = std::chrono::steady_clock::now();
  const auto timeUp = [&] {
    return maxSeconds > 0 && std::chrono::steady_clock::now() - start >= std::chrono::seconds(maxSeconds);
  };
  if (TavrinFuzzSeeds || !seeds.empty()) {
    for (size_t i = 0;; ++i) {
      const int ran = runFreshChild(seeds, i);
      if (ran < 0) return 1;
      if (ran == 0) break;
    }
  }
  seeds = allSeeds(seeds);
  std::vector<std::vector<uint8_t>> bySize = seeds;
  std::stable_sort(bySize.begin(), bySize.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); });
  runOne({});
  for (auto& s : bySize) runOne(s);

  std::mt19937_64 rng(seed);
  long r = 0;
  for (; r < runs && !timeUp(); ++r) {
    std::vector<uint8_t> in;
    if (!seeds.empty() && (r % 4) != 0) {
      in = mutate(seeds[rng() % seeds.size()], rng, maxLen);
    } else {
      size_t len = rng() % (r % 16 == 0 ? maxLen + 1 : 300);
      in.resize(len);
      for (auto& b : in) b = static_cast<uint8_t>(rng());
    }
    runOne(in);
  }
  if (r < runs)
    std::printf("fuzz: stopped at the %ld s limit after %ld of %ld random inputs; they and %zu seeds ran clean\n",
                maxSeconds, r, runs, seeds.size());
  else
    std::printf("fuzz: %ld random inputs and %zu seeds ran clean\n", runs, seeds.size());
  return 0;
}
