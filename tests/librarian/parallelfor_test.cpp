// The small worker pool of the scan: every index once, failures carried back.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "librarian/ParallelFor.h"

TEST(ParallelFor, EveryIndexRunsOnceWhateverTheThreadCount) {
  for (size_t threads : {0u, 1u, 3u, 16u}) {
    for (size_t n : {0u, 1u, 5u, 1000u}) {
      std::vector<std::atomic<int>> seen(n);
      librarian::parallelFor(n, threads, [&](size_t i) { ++seen[i]; });
      for (size_t i = 0; i < n; ++i) EXPECT_EQ(seen[i].load(), 1) << threads << " " << n << " " << i;
    }
  }
  EXPECT_GE(librarian::scanThreads(), 1u);
  EXPECT_LE(librarian::scanThreads(), 6u);
  librarian::scanThreadLimit() = 1;
  EXPECT_EQ(librarian::scanThreads(), 1u);
  librarian::scanThreadLimit() = 0;
}

TEST(ParallelFor, AFailureStopsTheWorkAndIsRethrownToTheCaller) {
  // On one thread the stop is exact: nothing after the failing index runs.
  // With helpers the others may finish what they already took, so only the
  // rethrow is certain there.
  for (size_t threads : {1u, 4u}) {
    std::atomic<int> ran{0};
    EXPECT_THROW(librarian::parallelFor(10000, threads,
                                        [&](size_t i) {
                                          ++ran;
                                          if (i == 3) throw std::runtime_error("no memory");
                                        }),
                 std::runtime_error);
    if (threads == 1) {
      EXPECT_EQ(ran.load(), 4);
    }
  }
}
