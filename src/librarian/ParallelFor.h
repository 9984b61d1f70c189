#pragma once
// The threads of the folder scan: its pure parts (reading and parsing bank
// files) run on the calling thread and helpers through parallelFor (see
// kit/parallel.h), and the caller then takes the results over in order.
#include <algorithm>
#include <atomic>
#include <cstddef>

#include "kit/parallel.h"

namespace librarian {

using kit::parallelFor;
using kit::usableCores;

// An upper bound on scanThreads() set by the caller, 0 for none: keeps the
// scan on fewer threads (a host that wants its cores, a benchmark measuring
// the scan on one thread).
inline std::atomic<size_t>& scanThreadLimit() {
  static std::atomic<size_t> limit{0};
  return limit;
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

}  // namespace librarian
