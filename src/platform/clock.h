#pragma once
// The process-wide clock and sleep. Everything that waits or reads the time
// (Sleep, GetTickCount, time stamps, job pacing) comes through here, so that
// tests can replace the real clock with one they drive themselves.
#include <condition_variable>
#include <cstdint>
#include <mutex>

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

// A clock that stands still until it is advanced. A sleep advances it by the
// time asked for and returns at once, so code that paces itself with Sleep
// runs through without waiting; every sleep is counted.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint64_t wallStartMicros = 1'700'000'000'000'000ull);
  uint64_t wallMicros() override;
  uint64_t monotonicMicros() override;
  void sleepMicros(uint64_t us) override;

  void advance(uint64_t us);
  void setWall(uint64_t wallMicros);
  uint64_t totalSlept() const;
  uint64_t sleepCount() const;

 private:
  mutable std::mutex m_mutex;
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
