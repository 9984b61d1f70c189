#pragma once
// The process-wide clock and sleep. Everything that waits or reads the time
// (Sleep, GetTickCount, time stamps, job pacing) comes through here, so that
// tests can replace the real clock with one they drive themselves.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds since 1 January 1970 UTC (the time of day; may jump).
  virtual uint64_t wallMicros() = 0;
  // Microseconds from an arbitrary fixed start; never goes back.
  virtual uint64_t monotonicMicros() = 0;
  // Suspends the calling thread for at least us microseconds.
  virtual void sleepMicros(uint64_t us) = 0;
  // Nanoseconds from an arbitrary fixed start; never goes back.
  virtual uint64_t monotonicNanos() { return monotonicMicros() * 1000u; }
  // A pause that ends early once wake() holds (wake is polled, so it must
  // be cheap and must not block). True when it ended early, or wake() held
  // at its start; false when the whole time passed.
  virtual bool sleepMicrosUnless(uint64_t us, const std::function<bool()>& wake);
  // Blocks until monotonicMicros() reaches deadline.
  virtual void waitUntilMicros(uint64_t deadline);
};

// The operating system's clock.
Clock& systemClock();

// The clock in force; the system clock unless a test installed another.
Clock& clock();
// Installs c (null restores the system clock). The caller keeps c alive
// until it is replaced.
void setClock(Clock* c);

inline uint64_t wallMicros() { return clock().wallMicros(); }
inline uint64_t monotonicMicros() { return clock().monotonicMicros(); }
inline void sleepMicros(uint64_t us) { clock().sleepMicros(us); }
inline uint64_t monotonicNanos() { return clock().monotonicNanos(); }
inline bool sleepMicrosUnless(uint64_t us, const std::function<bool()>& wake) {
  return clock().sleepMicrosUnless(us, wake);
}
inline void waitUntilMicros(uint64_t deadline) { clock().waitUntilMicros(deadline); }

// A clock that stands still until it is advanced. A sleep advances it by the
// time asked for and returns at once, so code that paces itself with Sleep
// runs through without waiting; every sleep is counted.
//
// Before and after each advance (a sleep is one) the clock runs the settle
// hooks, round after round, until none of them reports work; after it, it
// first lets every thread blocked in waitUntilMicros whose deadline has
// passed leave its wait. A test registers the waits of its message paths
// there (a loopback hub's drain, a port layer's and a simulator's idle
// waits), so that what was on its way arrives at the time it was sent, and
// what the advance set going has landed before the sleeping thread goes on. The sleep observer
// sees every sleep first, on the sleeping thread.
//
// A sleep that wake() cuts short still takes its whole time when wake()
// did not hold at its start: the clock stands still meanwhile, so nothing
// else can have happened.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint64_t wallStartMicros = 1'700'000'000'000'000ull);
  uint64_t wallMicros() override;
  uint64_t monotonicMicros() override;
  void sleepMicros(uint64_t us) override;
  bool sleepMicrosUnless(uint64_t us, const std::function<bool()>& wake) override;
  // Blocks until another thread's sleep or advance passes the deadline.
  void waitUntilMicros(uint64_t deadline) override;

  // Called with the length of every sleep, before the time moves.
  void setSleepObserver(std::function<void(uint64_t us)> observer);
  // A hook returns true when it found work (and waited for it).
  void addSettleHook(std::function<bool()> hook);
  void clearSettleHooks();

  void advance(uint64_t us);
  void setWall(uint64_t wallMicros);
  uint64_t totalSlept() const;
  uint64_t sleepCount() const;

 private:
  void settle();

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::multiset<uint64_t> m_waiters;  // deadlines of threads in waitUntilMicros
  std::function<void(uint64_t)> m_observer;
  std::vector<std::function<bool()>> m_hooks;
  uint64_t m_wall;
  uint64_t m_mono = 0;
  uint64_t m_slept = 0;
  uint64_t m_sleeps = 0;
};

// Installs a clock for the life of a scope.
class ScopedClock {
 public:
  explicit ScopedClock(Clock& c) { setClock(&c); }
  ~ScopedClock() { setClock(nullptr); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace platform
