#include "kit/mutex.h"

#include <cassert>
#include <cerrno>
#include <ctime>

KIT_Mutex::KIT_Mutex() { pthread_mutex_init(&m_mutex, nullptr); }

KIT_Mutex::~KIT_Mutex() { pthread_mutex_destroy(&m_mutex); }

void KIT_Mutex::LockSlow() {
  pthread_mutex_lock(&m_mutex);
  m_owner.store(pthread_self(), std::memory_order_release);
  m_depth = 0;
}

bool KIT_Mutex::TryLock() {
  if (IsLockedByCaller()) {
    ++m_depth;
    return true;
  }
  if (pthread_mutex_trylock(&m_mutex) != 0) return false;
  m_owner.store(pthread_self(), std::memory_order_release);
  m_depth = 0;
  return true;
}

void KIT_Mutex::UnlockSlow() {
  if (!IsLockedByCaller()) {
    assert(!"KIT_Mutex unlocked by a thread that does not own it");
    return;
  }
  if (m_depth-- == 0) {
    m_depth = 0;
    m_owner.store(pthread_t(), std::memory_order_release);
    pthread_mutex_unlock(&m_mutex);
  }
}

bool KIT_Mutex::TryLockFor(int ms) {
  if (IsLockedByCaller()) {
    ++m_depth;
    return true;
  }
  timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  const long long ns = static_cast<long long>(ms > 0 ? ms : 0) * 1000000LL + deadline.tv_nsec;
  deadline.tv_sec += static_cast<time_t>(ns / 1000000000LL);
  deadline.tv_nsec = static_cast<long>(ns % 1000000000LL);
  int rc;
  while ((rc = pthread_mutex_timedlock(&m_mutex, &deadline)) == EINTR) {
  }
  if (rc != 0) return false;
  m_owner.store(pthread_self(), std::memory_order_release);
  m_depth = 0;
  return true;
}

int KIT_Mutex::ReleaseAll() {
  if (!IsLockedByCaller()) return 0;
  const int levels = m_depth + 1;
  m_depth = 0;
  m_owner.store(pthread_t(), std::memory_order_release);
  pthread_mutex_unlock(&m_mutex);
  return levels;
}

void KIT_Mutex::ReacquireAll(int levels) {
  if (levels <= 0) return;
  Lock();
  m_depth += levels - 1;
}
