#include "hardware/MidiBackendRtMidi.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <mutex>
#include <new>
#include <vector>

#include "hardware/MidiCallbackSlot.h"

namespace {

// Far longer than the work of one JACK cycle, even on a loaded machine.
constexpr int kJackCycleSettleMs = 50;
// Far longer than the server takes to tell every client of a graph change.
constexpr int kJackGraphSettleMs = 30;

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

// Runs f as a change of the JACK graph when jack is set, else at once.
template <class F>
auto graphChange(bool jack, F&& f) {
  return jack ? jackGraph().change(std::forward<F>(f)) : f();
}

// Counts the errors RtMidi reports to a client and prints each one. With an
// error callback installed RtMidi no longer throws after construction, so
// the count is how an operation learns that it failed.
struct ErrorCounter {
  std::atomic<unsigned> count{0};

  static void onError(RtMidiError::Type type, const std::string& text, void* user) {
    RtMidiError(text, type).printMessage();
    if (type == RtMidiError::DEBUG_WARNING) return;
    static_cast<ErrorCounter*>(user)->count.fetch_add(1);
  }
};

// Runs f, turning anything it throws into a printed message and the
// fallback result.
template <class F, class R>
R guarded(F&& f, R fallback) {
  try {
    return f();
  } catch (const RtMidiError& e) {
    e.printMessage();
  } catch (const std::exception& e) {
    std::cerr << "MIDI: " << e.what() << std::endl;
  } catch (...) {
    std::cerr << "MIDI: unknown exception" << std::endl;
  }
  return fallback;
}

// The operations both directions share, over an RtMidiIn or RtMidiOut.
template <class Base, class Rt>
class RtClient : public Base {
 public:
  explicit RtClient(std::unique_ptr<Rt> midi) : m_midi(std::move(midi)) {
    guarded([&] { m_midi->setErrorCallback(&ErrorCounter::onError, &m_errors); return true; }, false);
    m_jack = guarded([&] { return m_midi->getCurrentApi() == RtMidi::UNIX_JACK; }, false);
  }

  unsigned portCount() override {
    return guarded([&] { return m_midi->getPortCount(); }, 0u);
  }

  std::string portName(unsigned i) override {
    return guarded([&] { return m_midi->getPortName(i); }, std::string());
  }

  // A port counts from the attempt on: a failed open may still have made it.
  bool openPort(unsigned i, const std::string& localName) override {
    m_hadPort = m_portMade = true;
    return graphChange(m_jack, [&] {
      return guarded([&] {
        m_midi->openPort(i, localName);
        return m_midi->isPortOpen();
      }, false);
    });
  }

  bool openVirtualPort(const std::string& name) override {
    m_hadPort = m_portMade = true;
    const unsigned before = m_errors.count.load();
    m_virtual = graphChange(m_jack, [&] {
      return guarded([&] {
        m_midi->openVirtualPort(name);
        return m_errors.count.load() == before;
      }, false);
    });
    return m_virtual;
  }

  void closePort() override {
    // Closing a JACK port that is not there changes nothing and is not paced.
    if (m_portMade || !m_jack) {
      graphChange(m_jack, [&] { return guarded([&] { m_midi->closePort(); return true; }, false); });
    }
    m_virtual = false;
    if (m_portMade) m_closedAt = std::chrono::steady_clock::now();
    m_portMade = false;
  }

  bool isPortOpen() const override {
    return m_virtual || guarded([&] { return m_midi->isPortOpen(); }, false);
  }

 protected:
  // Closing a JACK client stops its process thread at once, wherever it is
  // (JACK cancels it asynchronously): inside RtMidi's reading of a message,
  // in an allocation or in our receiver; and RtMidi's output frees the ring
  // buffers its cycle reads before it closes the client at all. RtMidi gives
  // no access to its JACK client, so neither can be deactivated first. Every
  // cycle that starts after the port is closed returns at once, so the port is
  // closed and the client goes only once a cycle that began before the
  // close has had time to end: on every path, whether the port was closed
  // here, by shutdown or by a port change long before. It waits on another
  // thread's real progress, so it is real time, not the replaceable clock.
  void closeClient() {
    if (m_jack && m_hadPort) {
      closePort();
      std::this_thread::sleep_until(m_closedAt + std::chrono::milliseconds(kJackCycleSettleMs));
    }
    graphChange(m_jack, [&] {
      m_midi.reset();
      return true;
    });
  }

  std::unique_ptr<Rt> m_midi;
  ErrorCounter m_errors;
  bool m_virtual = false;
  bool m_jack = false;  // the client is a JACK client

 private:
  bool m_hadPort = false;   // a port was ever made
  bool m_portMade = false;  // one may be there now
  std::chrono::steady_clock::time_point m_closedAt{};
};

class RtOut : public RtClient<MidiOutClient, RtMidiOut> {
 public:
  using RtClient::RtClient;

  ~RtOut() override { closeClient(); }

  bool send(const uint8_t* bytes, size_t size) override {
    const unsigned before = m_errors.count.load();
    return guarded([&] {
      m_midi->sendMessage(bytes, size);
      return m_errors.count.load() == before;
    }, false);
  }

};

class RtIn : public RtClient<MidiInClient, RtMidiIn> {
 public:
  explicit RtIn(std::unique_ptr<RtMidiIn> midi) : RtClient(std::move(midi)) {
    // RtMidi takes one callback for the life of the client; the slot behind
    // it is what gets replaced and cancelled.
    guarded([&] { m_midi->setCallback(&RtIn::trampoline, this); return true; }, false);
    guarded([&] { m_midi->ignoreTypes(true, true, true); return true; }, false);
  }

  ~RtIn() override {
    m_slot.cancel();
    // Closing the client stops the library's input thread before the slot
    // goes; until then the trampoline finds the slot empty. RtMidi's own
    // cancelCallback is not called: it clears the function pointer while its
    // input thread may be about to call it.
    closeClient();
  }

  void setCallback(MidiInputCallback callback) override { m_slot.set(std::move(callback)); }
  void cancelCallback() override { m_slot.cancel(); }

  void ignoreTypes(bool sysex, bool time, bool sense) override {
    m_slot.setIgnore(sysex, time, sense);
    guarded([&] { m_midi->ignoreTypes(sysex, time, sense); return true; }, false);
  }

 private:
  static void trampoline(double, std::vector<unsigned char>* message, void* user) {
    if (!message || !user) return;
    static_cast<RtIn*>(user)->m_slot.deliver(message->data(), message->size());
  }

  MidiCallbackSlot m_slot;
};

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

class RtBackend : public MidiBackend {
 public:
  explicit RtBackend(RtMidi::Api first) {
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    m_candidates.push_back(first);
    auto at = std::find(compiled.begin(), compiled.end(), first);
    if (at != compiled.end()) std::rotate(compiled.begin(), at, compiled.end());
    for (RtMidi::Api api : compiled) {
      if (api != first && api != RtMidi::RTMIDI_DUMMY) m_candidates.push_back(api);
    }
  }

  std::string apiName() const override {
    return m_used == RtMidi::UNSPECIFIED ? std::string("default") : RtMidi::getApiName(m_used);
  }

  std::unique_ptr<MidiOutClient> makeOut(const std::string& clientName) override {
    auto midi = construct<RtMidiOut>([&](RtMidi::Api api) { return std::make_unique<RtMidiOut>(api, clientName); });
    if (!midi) return nullptr;
    return std::make_unique<RtOut>(std::move(midi));
  }

  std::unique_ptr<MidiInClient> makeIn(const std::string& clientName, unsigned queueLimit) override {
    auto midi = construct<RtMidiIn>(
        [&](RtMidi::Api api) { return std::make_unique<RtMidiIn>(api, clientName, queueLimit); });
    if (!midi) return nullptr;
    return std::make_unique<RtIn>(std::move(midi));
  }

 private:
  template <class Rt, class Make>
  std::unique_ptr<Rt> construct(Make&& make) {
    for (RtMidi::Api api : m_candidates) {
      // The default interface may turn out to be JACK.
      const bool jack = api == RtMidi::UNIX_JACK || api == RtMidi::UNSPECIFIED;
      auto midi = graphChange(jack, [&] { return guarded([&] { return make(api); }, std::unique_ptr<Rt>()); });
      if (midi) {
        m_used = guarded([&] { return midi->getCurrentApi(); }, api);
        return midi;
      }
    }
    return nullptr;
  }

  std::vector<RtMidi::Api> m_candidates;
  RtMidi::Api m_used = RtMidi::UNSPECIFIED;
};

}  // namespace

std::vector<std::string> rtMidiCompiledApis() {
  std::vector<RtMidi::Api> compiled;
  RtMidi::getCompiledApi(compiled);
  std::vector<std::string> names;
  for (RtMidi::Api api : compiled) names.push_back(RtMidi::getApiName(api));
  return names;
}

std::unique_ptr<MidiBackend> makeRtMidiBackend(const std::string& apiName) {
  std::string name = apiName;
  if (name.empty()) {
    const char* env = std::getenv(kMidiApiEnv);
    if (env) name = env;
  }
  RtMidi::Api api = RtMidi::UNSPECIFIED;
  if (!name.empty()) {
    api = RtMidi::getCompiledApiByName(lower(name));
    if (api == RtMidi::UNSPECIFIED) {
      std::cerr << "MIDI: no interface called \"" << name << "\" is compiled in; using the default" << std::endl;
    }
  }
  return std::make_unique<RtBackend>(api);
}
