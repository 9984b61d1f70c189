#include "platform/clock.h"

#include <errno.h>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
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
  uint64_t monotonicNanos() override {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
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

// How often a pause that can be cut short looks at its wake condition.
constexpr uint64_t kWakeSliceMicros = 5000;

}  // namespace

bool Clock::sleepMicrosUnless(uint64_t us, const std::function<bool()>& wake) {
  const uint64_t end = monotonicMicros() + us;
  for (;;) {
    if (wake && wake()) return true;
    const uint64_t now = monotonicMicros();
    if (now >= end) return false;
    sleepMicros(std::min(end - now, kWakeSliceMicros));
  }
}

void Clock::waitUntilMicros(uint64_t deadline) {
  for (uint64_t now = monotonicMicros(); now < deadline; now = monotonicMicros()) sleepMicros(deadline - now);
}

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
  std::function<void(uint64_t)> observer;
  {
    std::lock_guard<std::mutex> l(m_mutex);
    observer = m_observer;
    m_slept += us;
    ++m_sleeps;
  }
  if (observer) observer(us);
  advance(us);
}
bool ManualClock::sleepMicrosUnless(uint64_t us, const std::function<bool()>& wake) {
  if (wake && wake()) return true;
  sleepMicros(us);
  return wake && wake();
}
void ManualClock::waitUntilMicros(uint64_t deadline) {
  std::unique_lock<std::mutex> l(m_mutex);
  auto it = m_waiters.insert(deadline);
  m_cv.wait(l, [&] { return m_mono >= deadline; });
  m_waiters.erase(it);
  m_cv.notify_all();
}
void ManualClock::setSleepObserver(std::function<void(uint64_t)> observer) {
  std::lock_guard<std::mutex> l(m_mutex);
  m_observer = std::move(observer);
}
void ManualClock::addSettleHook(std::function<bool()> hook) {
  std::lock_guard<std::mutex> l(m_mutex);
  m_hooks.push_back(std::move(hook));
}
void ManualClock::clearSettleHooks() {
  std::lock_guard<std::mutex> l(m_mutex);
  m_hooks.clear();
}
void ManualClock::advance(uint64_t us) {
  // What is on its way arrives before the time moves, then what the new time
  // set going.
  settle();
  {
    std::unique_lock<std::mutex> l(m_mutex);
    m_wall += us;
    m_mono += us;
    m_cv.notify_all();
    // Every waiter whose deadline has passed leaves its wait first.
    m_cv.wait(l, [&] { return m_waiters.empty() || *m_waiters.begin() > m_mono; });
  }
  settle();
}
void ManualClock::settle() {
  std::vector<std::function<bool()>> hooks;
  {
    std::lock_guard<std::mutex> l(m_mutex);
    hooks = m_hooks;
  }
  for (bool busy = true; busy;) {
    busy = false;
    for (auto& h : hooks) busy = h() || busy;
  }
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
