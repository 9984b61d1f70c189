#include "shim/winregistry.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace shim {

namespace {

constexpr int kKinds = 7;  // HandleKind values 1..6
constexpr int kShardBits = 3;
constexpr int kShards = 1 << kShardBits;

uint64_t mix(uintptr_t key) {
  uint64_t x = key;
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ull;
  x ^= x >> 33;
  return x;
}

// One open-addressing table with linear probing; removal shifts the
// following entries back, so there are no tombstones.
struct Shard {
  struct Entry {
    uintptr_t key;  // 0: empty
    HandleKind kind;
  };
  std::mutex lock;
  Entry* slots = nullptr;
  size_t mask = 0;  // capacity - 1; capacity 0 while nothing was stored
  size_t used = 0;
  size_t counts[kKinds] = {};

  constexpr Shard() = default;
  // Under the lock: a thread that is still at work at exit (one that closes
  // its own handle as it ends) finishes before the table goes, or finds the
  // registry gone once it holds the lock.
  ~Shard() {
    std::lock_guard<std::mutex> g(lock);
    std::free(slots);
    slots = nullptr;
    mask = used = 0;
  }

  static size_t home(uint64_t hash, size_t mask) { return static_cast<size_t>(hash >> kShardBits) & mask; }

  // The slot holding key, or the empty slot where it would go.
  size_t find(uintptr_t key) const {
    size_t i = home(mix(key), mask);
    while (slots[i].key && slots[i].key != key) i = (i + 1) & mask;
    return i;
  }

  bool grow() {
    const size_t cap = slots ? (mask + 1) * 2 : 64;
    auto* fresh = static_cast<Entry*>(std::calloc(cap, sizeof(Entry)));
    if (!fresh) return false;
    Entry* old = slots;
    const size_t oldCap = old ? mask + 1 : 0;
    slots = fresh;
    mask = cap - 1;
    for (size_t k = 0; k < oldCap; ++k)
      if (old[k].key) slots[find(old[k].key)] = old[k];
    std::free(old);
    return true;
  }

  bool insert(uintptr_t key, HandleKind kind) {
    if ((used + 1) * 2 > (slots ? mask + 1 : 0) && !grow()) return false;
    const size_t i = find(key);
    if (slots[i].key) {
      --counts[static_cast<int>(slots[i].kind)];
    } else {
      ++used;
    }
    slots[i] = Entry{key, kind};
    ++counts[static_cast<int>(kind)];
    return true;
  }

  bool live(uintptr_t key, HandleKind kind) const {
    if (!slots) return false;
    const Entry& e = slots[find(key)];
    return e.key == key && e.kind == kind;
  }

  bool erase(uintptr_t key, HandleKind kind) {
    if (!slots) return false;
    size_t i = find(key);
    if (slots[i].key != key || slots[i].kind != kind) return false;
    --counts[static_cast<int>(kind)];
    --used;
    for (size_t j = (i + 1) & mask; slots[j].key; j = (j + 1) & mask) {
      const size_t k = home(mix(slots[j].key), mask);
      // The entry at j may move back to i unless its home lies after i,
      // cyclically up to j.
      const bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
      if (stays) continue;
      slots[i] = slots[j];
      i = j;
    }
    slots[i].key = 0;
    return true;
  }
};

// Set when the registry is gone (constant-initialised, so readable by any
// destructor that runs after it), before its shards go: each call looks at
// it again once it holds its shard's lock.
std::atomic<bool> gGone{false};

struct Registry {
  Shard shards[kShards];
  constexpr Registry() = default;
  ~Registry() { gGone = true; }
  Shard& of(uintptr_t key) { return shards[mix(key) & (kShards - 1)]; }
};

// Constant-initialised: destroyed after everything made at run time.
constinit Registry gRegistry;

bool valid(HandleKind kind) { return static_cast<int>(kind) > 0 && static_cast<int>(kind) < kKinds; }

}  // namespace

bool registerHandleValue(uintptr_t key, HandleKind kind) {
  if (!key || !valid(kind)) return key == 0;
  if (gGone) return true;
  Shard& s = gRegistry.of(key);
  std::lock_guard<std::mutex> g(s.lock);
  if (gGone) return true;
  return s.insert(key, kind);
}

bool unregisterHandleValue(uintptr_t key, HandleKind kind) {
  if (!key || !valid(kind)) return false;
  if (gGone) return true;
  Shard& s = gRegistry.of(key);
  std::lock_guard<std::mutex> g(s.lock);
  if (gGone) return true;
  return s.erase(key, kind);
}

bool isLiveHandleValue(uintptr_t key, HandleKind kind) {
  if (key < 5 || !valid(kind)) return false;
  if (gGone) return true;
  Shard& s = gRegistry.of(key);
  std::lock_guard<std::mutex> g(s.lock);
  if (gGone) return true;
  return s.live(key, kind);
}

size_t liveHandleCount(HandleKind kind) {
  if (!valid(kind) || gGone) return 0;
  size_t n = 0;
  for (Shard& s : gRegistry.shards) {
    std::lock_guard<std::mutex> g(s.lock);
    if (gGone) return 0;
    n += s.counts[static_cast<int>(kind)];
  }
  return n;
}

}  // namespace shim
