#pragma once
// A recursive mutex: the owner thread and a depth count over a plain,
// non-recursive system mutex.
#include <pthread.h>

#include <atomic>

class KIT_Mutex {
 public:
  KIT_Mutex();
  ~KIT_Mutex();
  KIT_Mutex(const KIT_Mutex&) = delete;
  KIT_Mutex& operator=(const KIT_Mutex&) = delete;

  // The owner's own levels are counted here, without a call.
  void Lock() {
    if (IsLockedByCaller()) {
      ++m_depth;
      return;
    }
    LockSlow();
  }
  // Releases one level. An unlock by a thread that does not own the mutex is
  // ignored (it would release another thread's lock).
  void Unlock() {
    if (IsLockedByCaller() && m_depth > 0) {
      --m_depth;
      return;
    }
    UnlockSlow();
  }
  bool TryLock();
  // Like TryLock, but waits up to ms milliseconds (real time) for the
  // mutex. True when the caller holds it.
  bool TryLockFor(int ms);
  bool IsLockedByCaller() const {
    const pthread_t owner = m_owner.load(std::memory_order_acquire);
    return owner != pthread_t() && pthread_equal(owner, pthread_self());
  }
  int GetDepth() const { return m_depth; }

  // For a pause that must not hold the mutex: releases every level the
  // caller holds and returns how many that were (0 when it held none).
  int ReleaseAll();
  // Takes the mutex again with that many levels (nothing for 0 or less).
  void ReacquireAll(int levels);

  // BasicLockable, so std::lock_guard and std::unique_lock work.
  void lock() { Lock(); }
  void unlock() { Unlock(); }
  bool try_lock() { return TryLock(); }

 private:
  void LockSlow();
  void UnlockSlow();

  pthread_mutex_t m_mutex;
  std::atomic<pthread_t> m_owner{};
  int m_depth = 0;
};

class KIT_MutexLock {
 public:
  explicit KIT_MutexLock(KIT_Mutex& m) : m_m(m) { m_m.Lock(); }
  ~KIT_MutexLock() { m_m.Unlock(); }
  KIT_MutexLock(const KIT_MutexLock&) = delete;
  KIT_MutexLock& operator=(const KIT_MutexLock&) = delete;

 private:
  KIT_Mutex& m_m;
};

// The other way round, for a wait that must not hold the mutex: lets go of
// every level the calling thread holds for the scope, and takes them all
// back at its end (an exception included).
class KIT_MutexLetGo {
 public:
  explicit KIT_MutexLetGo(KIT_Mutex& m) : m_m(m), m_levels(m.ReleaseAll()) {}
  ~KIT_MutexLetGo() { m_m.ReacquireAll(m_levels); }
  KIT_MutexLetGo(const KIT_MutexLetGo&) = delete;
  KIT_MutexLetGo& operator=(const KIT_MutexLetGo&) = delete;

 private:
  KIT_Mutex& m_m;
  const int m_levels;
};
