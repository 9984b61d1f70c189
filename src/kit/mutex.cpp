#include "kit/mutex.h"

#include <cassert>

KIT_Mutex::KIT_Mutex() { pthread_mutex_init(&m_mutex, nullptr); }

KIT_Mutex::~KIT_Mutex() { pthread_mutex_destroy(&m_mutex); }

bool KIT_Mutex::IsLockedByCaller() const {
  const pthread_t owner = m_owner.load(std::memory_order_acquire);
  return owner != pthread_t() && pthread_equal(owner, pthread_self());
}

void KIT_Mutex::Lock() {
  if (IsLockedByCaller()) {
    ++m_depth;
    return;
  }
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

void KIT_Mutex::Unlock() {
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
