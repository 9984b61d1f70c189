#pragma once
// Work spread over the cores the process may use: parallelFor runs work(i)
// for every i below n on the calling thread and up to maxThreads - 1 helper
// threads, and returns when all are done. The helpers are started and
// joined inside the call, so nothing outlives it. An exception thrown by
// work on any thread is rethrown here after every thread has finished; no
// exception leaves a helper thread.
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kit {

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

}  // namespace kit
