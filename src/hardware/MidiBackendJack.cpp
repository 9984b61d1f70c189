#include "hardware/MidiBackendJack.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <semaphore>
#include <thread>
#include <vector>

#include "hardware/MidiCallbackSlot.h"
#include "hardware/MidiEventJoin.h"
#include "platform/clock.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
// The thread checker's word for memory whose races are expected.
extern "C" void AnnotateBenignRaceSized(const char* file, int line, const volatile void* address, unsigned long size,
                                        const char* description);
#endif

namespace {

// Each ring holds this many bytes at least: 64 KiB, far more than the
// plug-in ever has on its way (a bank is 100 messages of 137 bytes).
constexpr size_t kRingBytes = size_t{1} << 16;
// The longest system-exclusive message an input client joins from pieces.
constexpr size_t kLongestJoined = size_t{1} << 16;
// Far longer than the server takes to tell every client of a graph change.
constexpr int kJackGraphSettleMs = 30;
// How much of the server's time (in seconds of its frames) a fresh
// connection is waited for before queued messages go out without it: the
// server puts a changed graph in force at the latest when a late client has
// passed its time-out, well within this.
constexpr unsigned kConnectionWaitSeconds = 2;

// What comes before a message's bytes in a ring: its length and where it
// stands in the server's frame time (the frame an outgoing message was sent
// at; the first frame of the cycle an incoming one arrived in, and its
// offset there).
struct Header {
  uint32_t length;
  jack_nframes_t frame;
  jack_nframes_t offset;
};

// Whole messages (a header, then the bytes) in one of libjack's ring
// buffers, between one writing and one reading thread. The ring's own
// ordering is invisible to the thread checker, which sees only the copies in
// and out: each side tells it. The writer copies in, publishes, then moves the
// ring's write position; the reader looks at what is there, takes over what
// was published, copies out, gives the space back, then moves the read
// position.
class MessageRing {
 public:
  MessageRing() = default;
  MessageRing(const MessageRing&) = delete;
  MessageRing& operator=(const MessageRing&) = delete;
  // Only once neither side can touch it any more.
  ~MessageRing() {
    if (m_ring) jack_ringbuffer_free(m_ring);
  }

  bool make(size_t bytes) {
    m_ring = jack_ringbuffer_create(bytes);
    return m_ring != nullptr;
  }
  // The longest message that ever fits.
  size_t longest() const { return m_ring->size - 1 - sizeof(Header); }

  // ---- the writer
  bool fits(size_t size) const { return jack_ringbuffer_write_space(m_ring) >= sizeof(Header) + size; }
  // Queues a message when there is room for it; its length is set here.
  bool push(const uint8_t* bytes, size_t size, Header header) {
    if (!fits(size)) return false;
    acquire(kSpace);
    header.length = static_cast<uint32_t>(size);
    jack_ringbuffer_data_t parts[2];
    jack_ringbuffer_get_write_vector(m_ring, parts);
    copy(parts, 0, reinterpret_cast<uint8_t*>(&header), sizeof header, true);
    copy(parts, sizeof header, const_cast<uint8_t*>(bytes), size, true);
    release(kMessages);
    jack_ringbuffer_write_advance(m_ring, sizeof header + size);
    return true;
  }

  // ---- the reader
  // Bytes there to read; what they hold may be read from here on.
  size_t visible() {
    const size_t bytes = jack_ringbuffer_read_space(m_ring);
    acquire(kMessages);
    return bytes;
  }
  // The header of the first message when the visible bytes hold all of it.
  // It always looks into the ring, even when nothing is there.
  bool next(size_t visibleBytes, Header& header) {
    const size_t want = std::min(visibleBytes, sizeof header);
    return jack_ringbuffer_peek(m_ring, reinterpret_cast<char*>(&header), want) == sizeof header &&
           visibleBytes - sizeof header >= header.length;
  }
  // Copies out the first message (of the header next() gave), or drops it
  // when out is null, and gives its space back. Returns the bytes it took
  // from the visible ones.
  size_t take(const Header& header, uint8_t* out) {
    if (out) {
      jack_ringbuffer_data_t parts[2];
      jack_ringbuffer_get_read_vector(m_ring, parts);
      copy(parts, sizeof header, out, header.length, false);
    }
    release(kSpace);
    jack_ringbuffer_read_advance(m_ring, sizeof header + header.length);
    return sizeof header + header.length;
  }
  // Bytes not yet read (either side may ask).
  size_t queued() const { return jack_ringbuffer_read_space(m_ring); }

 private:
  enum Order { kMessages, kSpace };

  // Copies n bytes between outside and the ring's parts from offset on,
  // into the ring or out of it.
  static void copy(jack_ringbuffer_data_t (&parts)[2], size_t offset, uint8_t* outside, size_t n, bool intoRing) {
    for (auto& part : parts) {
      if (n == 0) return;
      if (offset >= part.len) {
        offset -= part.len;
        continue;
      }
      const size_t k = std::min(part.len - offset, n);
      if (intoRing) {
        std::memcpy(part.buf + offset, outside, k);
      } else {
        std::memcpy(outside, part.buf + offset, k);
      }
      outside += k;
      n -= k;
      offset = 0;
    }
  }

#if defined(__SANITIZE_THREAD__)
  void release(Order o) { __tsan_release(reinterpret_cast<char*>(m_ring) + o); }
  void acquire(Order o) { __tsan_acquire(reinterpret_cast<char*>(m_ring) + o); }
#else
  void release(Order) {}
  void acquire(Order) {}
#endif

  jack_ringbuffer_t* m_ring = nullptr;
};

// libjack's notification thread walks a client's list of ports without a
// lock when the server tells the client that the graph changed (a client or
// port came or went, a connection was made or broken); a port made or
// removed on that client meanwhile breaks the walk (seen as a crash in the
// latency handling when a port of another client had closed just before).
// So every change this process makes to the JACK graph (a client made or
// closed, a port opened or closed) waits until its previous change is
// kJackGraphSettleMs old. Changes run one at a time under the pacer's lock,
// on the threads that open and close ports (never a real-time thread).
class JackGraphPacer {
 public:
  template <class F>
  auto change(F&& f) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::this_thread::sleep_until(m_last + std::chrono::milliseconds(kJackGraphSettleMs));
    struct Stamp {
      std::chrono::steady_clock::time_point& last;
      ~Stamp() { last = std::chrono::steady_clock::now(); }
    } stamp{m_last};
    return f();
  }

 private:
  std::mutex m_mutex;
  std::chrono::steady_clock::time_point m_last{};
};

// Never destroyed: clients may close during the process's own exit. It
// lives in static storage, not on the heap, so a module that holds it and
// is unloaded leaves no allocation behind.
JackGraphPacer& jackGraph() {
  alignas(JackGraphPacer) static unsigned char storage[sizeof(JackGraphPacer)];
  static JackGraphPacer* pacer = new (storage) JackGraphPacer;
  return *pacer;
}

// The process cycle's progress, for the threads that wait on it. The cycle
// counts up by one as it begins and as it ends, so the count is odd while a
// cycle runs; the loss of the server counts up by two. Waits end when the
// count moves. The cycle's side takes no lock: it wakes waiters only when
// there are some.
class CycleGate {
 public:
  void enter() { m_count.fetch_add(1); }
  void leave() {
    m_count.fetch_add(1);
    if (m_waiters.load() > 0) m_count.notify_all();
  }
  uint32_t count() const { return m_count.load(); }

  // The server has gone or dropped the client: no cycle begins any more.
  void loseServer() {
    m_serverLost.store(true);
    m_count.fetch_add(2);
    m_count.notify_all();
  }
  // No progress is to be expected any more.
  bool stopped() const { return m_serverLost.load(); }

  // Blocks until the count is no longer seen.
  void waitPast(uint32_t seen) {
    m_waiters.fetch_add(1);
    while (m_count.load() == seen) m_count.wait(seen);
    m_waiters.fetch_sub(1);
  }
  // Called after a change that every cycle beginning later sees: blocks
  // until a cycle that was running at the call has ended.
  void waitOut() {
    for (;;) {
      const uint32_t seen = count();
      if (!(seen & 1u)) return;
      waitPast(seen);
    }
  }

 private:
  std::atomic<uint32_t> m_count{0};
  std::atomic<int> m_waiters{0};
  std::atomic<bool> m_serverLost{false};
};

// A direction's work in one process cycle, on the port it has open; the
// cycle begins at frame cycleStart. carried is false while the port's
// connection is not yet in the graph this cycle runs on.
using CycleWork = void (*)(void* self, jack_port_t* port, jack_nframes_t frames, jack_nframes_t cycleStart,
                           bool carried);

// One JACK client with at most one MIDI port of its own, for either
// direction.
//
// Deactivating a client takes it out of the server's graph and then stops
// its process thread by cancelling it wherever it is. So the port is first
// taken away from the cycle and a cycle that may still use it is waited out:
// from then on a cycle touches neither the port nor the direction's rings,
// and runs only a few instructions that need no unwinding (no destructor, no
// handler); the thread is stopped there or in libjack's wait for the next
// cycle. What the cycles read is freed only after the client is closed.
class JackSide {
 public:
  explicit JackSide(bool output) : m_output(output) {}

  // Opens and activates the client; false (printed) when it cannot be made.
  bool start(const std::string& name, CycleWork work, void* self) {
    m_work = work;
    m_self = self;
    jack_status_t status{};
    const bool started = jackGraph().change([&] {
      m_client = jack_client_open(name.c_str(), JackNoStartServer, &status);
      if (!m_client) return false;
      jack_on_info_shutdown(m_client, &JackSide::onShutdown, this);
      m_connectionWaitFrames = jack_get_sample_rate(m_client) * kConnectionWaitSeconds;
      return jack_set_process_callback(m_client, &JackSide::process, this) == 0 && jack_activate(m_client) == 0;
    });
    if (!started) {
      std::fprintf(stderr, "MIDI (jack): no client \"%s\" (status 0x%x); is a JACK server running?\n", name.c_str(),
                   static_cast<unsigned>(status));
    }
    return started;
  }

  // Takes the port away from the cycle, then deactivates and closes the
  // client (which takes its port with it). When it returns, the client's
  // process thread is gone.
  void stop() {
    if (!m_client) return;
    withdrawPort();
    jackGraph().change([&] {
      jack_deactivate(m_client);
      jack_client_close(m_client);
      return true;
    });
    m_client = nullptr;
    m_port = nullptr;
    m_open = false;
    m_cyclePort.store(nullptr);
  }

  std::vector<std::string> ports() {
    std::vector<std::string> names;
    if (!m_client) return names;
    const char** list =
        jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, m_output ? JackPortIsInput : JackPortIsOutput);
    if (!list) return names;
    for (const char** p = list; *p; ++p) names.emplace_back(*p);
    jack_free(list);
    return names;
  }

  bool openPort(unsigned i, const std::string& localName) {
    const auto names = ports();
    if (!m_client || i >= names.size()) {
      std::fprintf(stderr, "MIDI (jack): there is no port number %u\n", i);
      return false;
    }
    const std::string& other = names[i];
    jack_port_t* port = registerPort(localName);
    if (!port) return false;
    const bool connected = jackGraph().change([&] {
      const char* own = jack_port_name(port);
      const int rc = m_output ? jack_connect(m_client, own, other.c_str()) : jack_connect(m_client, other.c_str(), own);
      return rc == 0 || rc == EEXIST;
    });
    if (!connected) {
      std::fprintf(stderr, "MIDI (jack): cannot connect with \"%s\"\n", other.c_str());
      unregisterPort(port);
      return false;
    }
    attach(port, true);
    return true;
  }

  bool openVirtualPort(const std::string& name) {
    if (!m_client) return false;
    jack_port_t* port = registerPort(name);
    if (port) attach(port, false);
    return port != nullptr;
  }

  // Takes the port away from the process cycle, waits until a cycle that
  // may still use it has ended, then unregisters it.
  void closePort() {
    if (!m_port) return;
    withdrawPort();
    unregisterPort(m_port);
    m_port = nullptr;
    m_open = false;
  }

  bool isPortOpen() const { return m_open.load(); }
  CycleGate& gate() { return m_gate; }

  // The server's frame time now, and the time of JACK's clock at a frame
  // (both estimated from the latest cycle).
  jack_nframes_t frameTime() const { return m_client ? jack_frame_time(m_client) : 0; }
  jack_time_t timeAt(jack_nframes_t frame) const { return m_client ? jack_frames_to_time(m_client, frame) : 0; }
  // The bytes of a MIDI port's buffer.
  size_t midiBufferBytes() const {
    return m_client ? jack_port_type_get_buffer_size(m_client, JACK_DEFAULT_MIDI_TYPE) : 0;
  }

 private:
  // The server gives a new port the lowest free place in its port table,
  // which is most often the place a port of this client has just left. The
  // connections of the graph come into force only at a cycle's start, and a
  // server whose last cycle has not ended keeps the old graph for later
  // cycles too: a new port in that place would then reach, or hear, what
  // the port before it was connected to. So a port that lands in a place
  // one of the last few closed ports of this client held is set aside under
  // another name while the next try takes another place; the ones set aside
  // are removed at the end. Each step is a graph change of its own.
  jack_port_t* registerPort(const std::string& name) {
    const unsigned long flags = m_output ? JackPortIsOutput : JackPortIsInput;
    std::vector<jack_port_t*> aside;
    jack_port_t* port = nullptr;
    auto make = [&] { return jack_port_register(m_client, name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0); };
    auto leftLately = [&](jack_port_t* p) { return std::find(m_left.begin(), m_left.end(), p) != m_left.end(); };
    for (;;) {
      port = jackGraph().change(make);
      if (!port || aside.size() >= m_left.size() || !leftLately(port)) break;
      const std::string other = name + "-closing-" + std::to_string(aside.size() + 1);
      if (jackGraph().change([&] { return jack_port_rename(m_client, port, other.c_str()); }) != 0) break;
      aside.push_back(port);
    }
    for (jack_port_t* p : aside) unregisterPort(p);
    if (!port) std::fprintf(stderr, "MIDI (jack): cannot make the port \"%s\"\n", name.c_str());
    return port;
  }

  void unregisterPort(jack_port_t* port) {
    jackGraph().change([&] { return jack_port_unregister(m_client, port); });
    m_left[m_leftNext] = port;
    m_leftNext = (m_leftNext + 1) % m_left.size();
  }

  // Takes the port away from the cycles and waits until a cycle that may
  // still use it has ended. An output port's buffer then still holds what
  // the last cycle wrote, and nobody clears it any more, while a peer still
  // reads it every cycle until the server's graph drops the connection
  // (later still while a late client holds the graph of before): it would
  // take the last messages again and again. So a cycle empties it first.
  // While the server runs no cycle (or has gone) nothing reads it either.
  void withdrawPort() {
    jack_port_t* port = m_cyclePort.load();
    if (m_output && port) m_emptying.store(port);
    m_cyclePort.store(nullptr);
    m_gate.waitOut();
    while (m_emptying.load() && !m_gate.stopped()) {
      const uint32_t seen = m_gate.count();
      if (m_emptying.load()) m_gate.waitPast(seen);
    }
    m_emptying.store(nullptr);
  }

  // Hands the port to the cycles; one that was just connected with
  // another is not carried until a cycle finds the connection in force.
  void attach(jack_port_t* port, bool connecting) {
    m_port = port;
    m_open = true;
    m_connectionWaited.store(0);
    m_connecting.store(connecting);
    m_cyclePort.store(port);
  }

  // The process cycle. With no port it touches nothing but the count, and
  // the buffer of an output port just taken away, which it empties.
  static int process(jack_nframes_t frames, void* arg) {
    auto* side = static_cast<JackSide*>(arg);
    side->m_gate.enter();
    if (jack_port_t* port = side->m_cyclePort.load()) {
      graphOrder(true);
      const bool carried = side->carried(port, frames);
      side->m_work(side->m_self, port, frames, jack_last_frame_time(side->m_client), carried);
      graphOrder(false);
    } else if (jack_port_t* emptying = side->m_emptying.load()) {
      if (void* buffer = jack_port_get_buffer(emptying, frames)) jack_midi_clear_buffer(buffer);
      side->m_emptying.store(nullptr);
    }
    side->m_gate.leave();
    return 0;
  }

  // Whether the graph of this cycle carries the port's connection. A
  // connection made by jack_connect comes into force only at the start of
  // a later cycle of the server (later still while a late client holds the
  // graph of before), and the clients read the graph in force: so until a
  // cycle of ours sees the connection, what the port writes would reach no
  // one. From a process thread libjack reads the graph in force without
  // waiting for a change still pending. The wait ends, whatever the graph
  // shows, after kConnectionWaitSeconds of the server's frames (a peer that
  // went meanwhile, or a connection someone broke at once).
  bool carried(jack_port_t* port, jack_nframes_t frames) {
    if (!m_connecting.load(std::memory_order_relaxed)) return true;
    const jack_nframes_t waited = m_connectionWaited.load(std::memory_order_relaxed) + frames;
    if (jack_port_connected(port) > 0 || waited >= m_connectionWaitFrames) {
      m_connecting.store(false, std::memory_order_relaxed);
      return true;
    }
    m_connectionWaited.store(waited, std::memory_order_relaxed);
    return false;
  }

  // A client reads the port buffers that the clients before it in the graph
  // wrote in the same cycle; the server orders the cycles through shared
  // memory that the thread checker does not see. It is told that every
  // cycle of this process's clients follows the ones signalled before it.
  static void graphOrder(bool begin) {
#if defined(__SANITIZE_THREAD__)
    static char order;
    if (begin) {
      __tsan_acquire(&order);
    } else {
      __tsan_release(&order);
    }
#else
    (void)begin;
#endif
  }

  // On a thread of libjack, once the server has gone or dropped the client.
  static void onShutdown(jack_status_t, const char*, void* arg) { static_cast<JackSide*>(arg)->m_gate.loseServer(); }

  const bool m_output;
  CycleWork m_work = nullptr;
  void* m_self = nullptr;
  jack_client_t* m_client = nullptr;
  jack_port_t* m_port = nullptr;  // the opening and closing threads' view
  // The places of the ports this client closed last (those threads' too).
  std::array<jack_port_t*, 4> m_left{};
  size_t m_leftNext = 0;
  std::atomic<jack_port_t*> m_cyclePort{nullptr};
  // An output port just taken from the cycles, until a cycle has emptied
  // its buffer.
  std::atomic<jack_port_t*> m_emptying{nullptr};
  std::atomic<bool> m_open{false};
  // The wait for a fresh connection: set by the opener before the port is
  // handed to the cycles, then the cycles' own.
  std::atomic<bool> m_connecting{false};
  std::atomic<jack_nframes_t> m_connectionWaited{0};
  jack_nframes_t m_connectionWaitFrames = 0;
  CycleGate m_gate;
};

// The port calls both directions share.
template <class Base>
class JackClient : public Base {
 public:
  unsigned portCount() override { return static_cast<unsigned>(m_side.ports().size()); }
  std::string portName(unsigned i) override {
    const auto names = m_side.ports();
    return i < names.size() ? names[i] : std::string();
  }
  bool openPort(unsigned i, const std::string& localName) override {
    this->closePort();
    return m_side.openPort(i, localName);
  }
  bool openVirtualPort(const std::string& name) override {
    this->closePort();
    return m_side.openVirtualPort(name);
  }
  bool isPortOpen() const override { return m_side.isPortOpen(); }

 protected:
  explicit JackClient(bool output) : m_side(output) {}

  JackSide m_side;
  MessageRing m_ring;  // freed last, once the process thread is gone
};

class JackOut : public JackClient<JackMidiOut> {
 public:
  JackOut() : JackClient(true) {}
  // Closing the client takes its port with it.
  ~JackOut() override {
    flush();
    m_side.stop();
  }

  bool start(const std::string& name) { return m_ring.make(kRingBytes) && m_side.start(name, &JackOut::drain, this); }

  void closePort() override {
    flush();
    m_side.closePort();
  }

  bool send(const uint8_t* bytes, size_t size) override { return sendStamped(bytes, size, frameTime()); }
  uint32_t frameTime() override { return m_side.frameTime(); }

  bool sendStamped(const uint8_t* bytes, size_t size, uint32_t stamp) override {
    if (!bytes || size == 0) return false;
    if (size > m_ring.longest()) {
      std::fprintf(stderr, "MIDI (jack): a message of %zu bytes is too long to send\n", size);
      return false;
    }
    // The cycles make room.
    CycleGate& gate = m_side.gate();
    for (;;) {
      if (!m_side.isPortOpen() || gate.stopped()) return false;
      const uint32_t seen = gate.count();
      if (m_ring.push(bytes, size, Header{0, stamp, 0})) return true;
      gate.waitPast(seen);
    }
  }

 private:
  // The cycle: moves every whole message queued into the port's buffer, in
  // order, each at its stamp's distance from the previous cycle's start but
  // never before the one ahead of it; what the buffer cannot take this cycle
  // waits for the next. While the graph does not carry the port's fresh
  // connection, everything waits.
  static void drain(void* self, jack_port_t* port, jack_nframes_t frames, jack_nframes_t cycleStart,
                    bool carried) {
    MessageRing& ring = static_cast<JackOut*>(self)->m_ring;
    void* buffer = jack_port_get_buffer(port, frames);
    if (!buffer) return;
    static_cast<JackOut*>(self)->lateCyclesMayRace(buffer);
    jack_midi_clear_buffer(buffer);
    if (!carried) return;
    size_t visible = ring.visible();
    bool placed = false;
    jack_nframes_t earliest = 0;
    Header header{};
    while (ring.next(visible, header)) {
      const bool fits = header.length <= jack_midi_max_event_size(buffer);
      if (!fits && placed) break;
      const jack_nframes_t at = std::max(earliest, jackEventOffset(header.frame, cycleStart - frames, frames));
      // One that does not fit an empty buffer never will: it is dropped.
      uint8_t* out = fits ? jack_midi_event_reserve(buffer, at, header.length) : nullptr;
      visible -= ring.take(header, out);
      if (out) earliest = at;
      placed = placed || fits;
    }
  }

  // The server starts each cycle when it is due, whether or not every
  // client has ended the cycle before: while a client is late (one that
  // overran, or one the machine did not run in time), a peer in this process
  // may still be reading this port's buffer in the cycle before while this
  // cycle empties and fills it. That reader takes whatever it finds, as the
  // server means it to; no cycle can wait for another. The thread checker,
  // told that the cycles follow each other (graphOrder), would report the
  // copy into the buffer against that read: it is told that races on the
  // bytes of this port's buffer, and on nothing else, are the server's.
  // Once for each buffer (a new port's place), on the cycle's thread; the
  // checker keeps the list under a lock of its own.
  void lateCyclesMayRace(void* buffer) {
#if defined(__SANITIZE_THREAD__)
    if (buffer == m_racyBuffer) return;
    m_racyBuffer = buffer;
    AnnotateBenignRaceSized(__FILE__, __LINE__, buffer, m_side.midiBufferBytes(),
                            "a JACK port buffer, which a late cycle's reader and the next cycle's writer share");
#else
    (void)buffer;
#endif
  }

  // While the port is open, waits until the cycles have taken every message
  // queued.
  void flush() {
    CycleGate& gate = m_side.gate();
    while (m_side.isPortOpen() && !gate.stopped()) {
      const uint32_t seen = gate.count();
      if (m_ring.queued() == 0) break;
      gate.waitPast(seen);
    }
  }

  const void* m_racyBuffer = nullptr;  // the cycles'
};

class JackIn : public JackClient<JackMidiIn> {
 public:
  explicit JackIn(unsigned queueLimit)
      : JackClient(false), m_ringBytes(std::max<size_t>(kRingBytes, size_t{queueLimit} * 512)) {}

  ~JackIn() override {
    m_slot.cancel();
    m_side.stop();
    m_stop.store(true);
    m_ready.release();
    if (m_delivery.joinable()) m_delivery.join();
  }

  bool start(const std::string& name) {
    if (!m_ring.make(m_ringBytes)) return false;
    m_delivery = std::thread([this] { deliveryLoop(); });
    return m_side.start(name, &JackIn::collect, this);
  }

  void closePort() override {
    m_side.closePort();
    // No cycle reads the port now: a message begun on it is dropped.
    m_joiner.reset();
  }

  // The receivers that want less than the frames.
  void setCallback(MidiInputCallback callback) override {
    if (!callback) {
      m_slot.cancel();
    } else {
      m_slot.set([callback = std::move(callback)](const uint8_t* bytes, size_t size, JackArrival) {
        callback(bytes, size);
      });
    }
  }
  void setTimedCallback(MidiTimedInputCallback callback) override {
    if (!callback) {
      m_slot.cancel();
    } else {
      m_slot.set([this, callback = std::move(callback)](const uint8_t* bytes, size_t size, JackArrival at) {
        callback(bytes, size, arrivalMicros(at));
      });
    }
  }
  void setFrameCallback(FrameCallback callback) override { m_slot.set(std::move(callback)); }
  void cancelCallback() override { m_slot.cancel(); }
  void ignoreTypes(bool sysex, bool time, bool sense) override { m_slot.setIgnore(sysex, time, sense); }

 private:
  // The cycle: queues every message that arrived whole or was joined from
  // pieces, with the frame of the event that completed it, dropping what
  // does not fit.
  static void collect(void* self, jack_port_t* port, jack_nframes_t frames, jack_nframes_t cycleStart, bool) {
    static_cast<JackIn*>(self)->collectFrom(port, frames, cycleStart);
  }

  void collectFrom(jack_port_t* port, jack_nframes_t frames, jack_nframes_t cycleStart) {
    void* buffer = jack_port_get_buffer(port, frames);
    if (!buffer) return;
    bool queued = false;
    Header header{0, cycleStart, 0};
    auto queue = [&](const uint8_t* bytes, size_t size) { queued = m_ring.push(bytes, size, header) || queued; };
    const uint32_t count = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < count; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0) continue;
      header.offset = event.time;
      m_joiner.take(event.buffer, event.size, queue);
    }
    if (queued) m_ready.release();
  }

  // When a message arrived, on platform::monotonicMicros's clock: its
  // frame's time on JACK's clock, moved over by the difference of the two
  // clocks read now, and never before the message ahead of it (the two
  // readings are apart by a little). A test's clock is not the system's:
  // the message is stamped now. On the delivery thread.
  uint64_t arrivalMicros(JackArrival at) {
    if (&platform::clock() != &platform::systemClock()) return platform::monotonicMicros();
    const jack_time_t then = m_side.timeAt(at.cycleStart + at.offset);
    const jack_time_t before = jack_get_time();
    const uint64_t now = platform::monotonicMicros();
    const jack_time_t after = jack_get_time();
    m_lastArrival = std::max(m_lastArrival, jackTimeOnClock(then, before + (after - before) / 2, now));
    return m_lastArrival;
  }

  void deliveryLoop() {
    std::vector<uint8_t> message;
    for (;;) {
      m_ready.acquire();
      if (m_stop.load()) return;
      size_t visible = m_ring.visible();
      Header header{};
      while (m_ring.next(visible, header)) {
        message.resize(header.length);
        visible -= m_ring.take(header, message.data());
        m_slot.deliver(message.data(), message.size(), JackArrival{header.frame, header.offset});
      }
    }
  }

  const size_t m_ringBytes;
  // The process cycle's, or the closer's while no cycle can read the port.
  MidiEventJoiner m_joiner{kLongestJoined};
  std::counting_semaphore<> m_ready{0};
  std::atomic<bool> m_stop{false};
  std::thread m_delivery;
  BasicMidiCallbackSlot<JackArrival> m_slot;
  uint64_t m_lastArrival = 0;  // the delivery thread's
};

}  // namespace

uint32_t jackEventOffset(uint32_t stamp, uint32_t previousStart, uint32_t frames) {
  if (frames == 0) return 0;
  const int64_t distance = static_cast<int32_t>(stamp - previousStart);
  return static_cast<uint32_t>(std::clamp<int64_t>(distance, 0, int64_t{frames} - 1));
}

uint64_t jackTimeOnClock(uint64_t jackAt, uint64_t jackNow, uint64_t otherNow) {
  if (jackAt >= jackNow) return otherNow + (jackAt - jackNow);
  const uint64_t ago = jackNow - jackAt;
  return ago < otherNow ? otherNow - ago : 0;
}

std::unique_ptr<JackMidiOut> makeJackMidiOut(const std::string& clientName) {
  auto client = std::make_unique<JackOut>();
  if (!client->start(clientName)) return nullptr;
  return client;
}

std::unique_ptr<JackMidiIn> makeJackMidiIn(const std::string& clientName, unsigned queueLimit) {
  auto client = std::make_unique<JackIn>(queueLimit);
  if (!client->start(clientName)) return nullptr;
  return client;
}
