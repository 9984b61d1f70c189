#include "platform/clock.h"

#include <errno.h>
#include <sys/time.h>
#include <time.h>

#include <atomic>

namespace platform {
namespace {

class SystemClock : public Clock {
 public:
  uint64_t wallMicros() override {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<uint64_t>(tv.tv_sec) * 1000000ull + static_cast<uint64_t>(tv.tv_usec);
  }
  uint64_t monotonicMicros() override {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000ull + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
  }
  void sleepMicros(uint64_t us) override {
    timespec req;
    req.tv_sec = static_cast<time_t>(us / 1000000ull);
    req.tv_nsec = static_cast<long>((us % 1000000ull) * 1000u);
    timespec rem;
    // A signal interrupts the sleep; resume until the whole time has passed.
    while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
  }
};

SystemClock g_system;
std::atomic<Clock*> g_clock{&g_system};

}  // namespace

Clock& systemClock() { return g_system; }
Clock& clock() { return *g_clock.load(std::memory_order_acquire); }
void setClock(Clock* c) { g_clock.store(c ? c : &g_system, std::memory_order_release); }

ManualClock::ManualClock(uint64_t wallStart) : m_wall(wallStart) {}

uint64_t ManualClock::wallMicros() {
  std::lock_guard<std::mutex> l(m_mutex);
  return m_wall;
}
uint64_t ManualClock::monotonicMicros() {
  std::lock_guard<std::mutex> l(m_mutex);
  return m_mono;
}
void ManualClock::sleepMicros(uint64_t us) {
  std::lock_guard<std::mutex> l(m_mutex);
  m_wall += us;
  m_mono += us;
  m_slept += us;
  ++m_sleeps;
}
void ManualClock::advance(uint64_t us) {
  std::lock_guard<std::mutex> l(m_mutex);
  m_wall += us;
  m_mono += us;
}
void ManualClock::setWall(uint64_t w) {
  std::lock_guard<std::mutex> l(m_mutex);
  m_wall = w;
}
uint64_t ManualClock::totalSlept() const {
  std::lock_guard<std::mutex> l(m_mutex);
  return m_slept;
}
uint64_t ManualClock::sleepCount() const {
  std::lock_guard<std::mutex> l(m_mutex);
  return m_sleeps;
}

}  // namespace platform
