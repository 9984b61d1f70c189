// Tear-down under a slowed JACK thread. A JACK output client reads its ring
// buffer in every process cycle while it has a port, and libjack stops a
// client's thread wherever it is when the client is deactivated. This
// program takes libjack's ring buffer calls (its own definitions come before
// libjack's): while a test asks for it, each cycle stalls at the start of its
// read, and a free of a buffer that a cycle is reading is reported. Every
// way an output client goes must show none.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiPorts.h"
#include "jackserver/JackServer.h"
#include "support_jack.h"
#include "support_midi.h"
#include "synthsim/SynthSimulator.h"

namespace {

std::atomic<int> g_delayMicros{0};
std::atomic<int> g_slowReads{0};
std::atomic<int> g_freesUnderRead{0};
std::mutex g_buffersMutex;
std::set<const void*> g_reading;  // buffers a cycle is reading now
std::set<const void*> g_freed;

template <class F>
F real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" jack_ringbuffer_t* jack_ringbuffer_create(size_t size) {
  static const auto next = real<jack_ringbuffer_t* (*)(size_t)>("jack_ringbuffer_create");
  jack_ringbuffer_t* rb = next(size);
  std::lock_guard<std::mutex> lock(g_buffersMutex);
  g_freed.erase(rb);
  return rb;
}

// Said on the freeing thread, at once: closing the client next may stop the
// cycle's thread, or the program, before the cycle gets any further.
extern "C" void jack_ringbuffer_free(jack_ringbuffer_t* rb) {
  static const auto next = real<void (*)(jack_ringbuffer_t*)>("jack_ringbuffer_free");
  {
    std::lock_guard<std::mutex> lock(g_buffersMutex);
    if (g_reading.count(rb) && g_freesUnderRead++ == 0)
      std::fprintf(stderr, "a ring buffer was freed while a process cycle was reading it\n");
    g_freed.insert(rb);
  }
  next(rb);
}

// Called only by the output client's process cycle, first in its read.
extern "C" size_t jack_ringbuffer_peek(jack_ringbuffer_t* rb, char* dest, size_t count) {
  static const auto next = real<size_t (*)(jack_ringbuffer_t*, char*, size_t)>("jack_ringbuffer_peek");
  if (const int delay = g_delayMicros.load()) {
    ++g_slowReads;
    {
      std::lock_guard<std::mutex> lock(g_buffersMutex);
      g_reading.insert(rb);
    }
    // A busy wait, not a sleep, as a cycle preempted inside its read, at
    // normal priority as on a busy machine.
    runCallingThreadAtNormalPriority();
    const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(delay);
    while (std::chrono::steady_clock::now() < end) {
    }
    std::lock_guard<std::mutex> lock(g_buffersMutex);
    g_reading.erase(rb);
    if (g_freed.count(rb)) return 0;  // already counted at the free
  }
  return next(rb, dest, count);
}

namespace {

constexpr int kSlowCycleMicros = 30'000;

struct SlowCycle : jacktest::OnPrivateServer {
  void TearDown() override { g_delayMicros = 0; }

  // Slows every cycle, waits until one is inside its read, then runs the
  // tear-down; a cycle still running past the free would read after it.
  void tearDownWhileSlow(const std::function<void()>& tearDown) {
    g_freesUnderRead = 0;
    const int before = g_slowReads;
    g_delayMicros = kSlowCycleMicros;
    ASSERT_TRUE(hwtest::spinUntil([&] { return g_slowReads > before + 1; }, std::chrono::seconds(20)))
        << "no output cycle ran";
    tearDown();
    // Long enough for any cycle that was running to finish its read: the
    // JACK thread's real progress, so real time.
    std::this_thread::sleep_for(std::chrono::microseconds(3 * kSlowCycleMicros));
    g_delayMicros = 0;
    EXPECT_EQ(g_freesUnderRead, 0) << "a ring buffer was freed under a running read";
  }
};

// The plug-in's ports: shut down first (as every plug-in tear-down does),
// destroyed with the port still open, and after a change to "OFF".
TEST_F(SlowCycle, PortLayerTearDowns) {
  const std::pair<const char*, std::function<void(MidiPorts&)>> paths[] = {
      {"after shutdown", [](MidiPorts& p) { p.shutdown(); }},
      {"with the port open", [](MidiPorts&) {}},
      {"after a change to OFF", [](MidiPorts& p) {
         int index = 1;
         p.openOut(index, "OFF");
       }}};
  for (const auto& path : paths) {
    SCOPED_TRACE(path.first);
    auto ports = std::make_unique<MidiPorts>(makeRtMidiBackend("jack"));
    ASSERT_TRUE(ports->initializeVirtualOutput(jacktest::uniqueName("Slow")));
    tearDownWhileSlow([&] {
      path.second(*ports);
      ports.reset();
    });
  }
}

// The simulator's ports, and a bare client of the backend whose port was
// closed just before it goes.
TEST_F(SlowCycle, SimulatorAndBareClientTearDowns) {
  auto backend = makeRtMidiBackend("jack");
  synthsim::SynthSimulator::Options options;
  options.name = jacktest::uniqueName("Slow Synth");
  auto sim = std::make_unique<synthsim::SynthSimulator>(*backend, options);
  ASSERT_TRUE(sim->ready());
  tearDownWhileSlow([&] { sim.reset(); });

  auto out = backend->makeOut(jacktest::uniqueName("Slow Bare"));
  ASSERT_TRUE(out && out->openVirtualPort("out"));
  tearDownWhileSlow([&] {
    out->closePort();
    out.reset();
  });
}

}  // namespace
