#pragma once
// Runs work(i) for every i below n on the calling thread and up to
// maxThreads - 1 helper threads, and returns when all are done. Used for the
// pure parts of the folder scan (reading and parsing bank files, copying
// patches into category lists), whose results the caller then takes over in
// order. An exception thrown by work on any thread is rethrown here after
// every thread has finished; no exception leaves a helper thread.
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace librarian {

// An upper bound on scanThreads() set by the caller, 0 for none: keeps the
// scan on fewer threads (a host that wants its cores, a benchmark measuring
// the scan on one thread).
inline std::atomic<size_t>& scanThreadLimit() {
  static std::atomic<size_t> limit{0};
  return limit;
}

// The cores this process may run on: the affinity mask when it can be read
// (a host or container pinned to fewer cores), else the machine's count.
inline size_t usableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return static_cast<size_t>(n);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

// Threads the scan may use at most: all usable cores but two, which stay with
// the host's audio and interface threads while a project loads; at most six,
// and at most scanThreadLimit() when that is set.
inline size_t scanThreads() {
  const size_t cores = usableCores();
  const size_t threads = cores > 3 ? std::min<size_t>(cores - 2, 6) : 1;
  const size_t limit = scanThreadLimit().load();
  return limit > 0 ? std::min(threads, limit) : threads;
}

template <typename Work>
void parallelFor(size_t n, size_t maxThreads, Work&& work) {
  std::atomic<size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto run = [&]() noexcept {
    for (size_t i = next++; i < n; i = next++) {
      try {
        work(i);
      } catch (...) {
        std::lock_guard<std::mutex> guard(failureLock);
        if (!failure) failure = std::current_exception();
        next = n;  // stop handing out work
      }
    }
  };
  const size_t cores = usableCores();
  const size_t threads = std::min({cores, std::max<size_t>(maxThreads, 1), std::max<size_t>(n, 1)});
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(run);
    } catch (...) {
      break;  // no thread to spare: fewer helpers
    }
  }
  run();
  for (std::thread& t : helpers) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace librarian
