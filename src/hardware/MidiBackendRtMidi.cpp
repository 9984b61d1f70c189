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

#include "hardware/MidiBackendJack.h"
#include "hardware/MidiCallbackSlot.h"

namespace {

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
  } catch (const RtMidiError&) {
    // RtMidi has printed it.
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
  }

  unsigned portCount() override {
    return guarded([&] { return m_midi->getPortCount(); }, 0u);
  }

  std::string portName(unsigned i) override {
    return guarded([&] { return m_midi->getPortName(i); }, std::string());
  }

  bool openPort(unsigned i, const std::string& localName) override {
    return guarded([&] {
      m_midi->openPort(i, localName);
      return m_midi->isPortOpen();
    }, false);
  }

  bool openVirtualPort(const std::string& name) override {
    const unsigned before = m_errors.count.load();
    m_virtual = guarded([&] {
      m_midi->openVirtualPort(name);
      return m_errors.count.load() == before;
    }, false);
    return m_virtual;
  }

  void closePort() override {
    guarded([&] { m_midi->closePort(); return true; }, false);
    m_virtual = false;
  }

  bool isPortOpen() const override {
    return m_virtual || guarded([&] { return m_midi->isPortOpen(); }, false);
  }

 protected:
  void closeClient() {
    guarded([&] { m_midi.reset(); return true; }, false);
  }

  std::unique_ptr<Rt> m_midi;
  ErrorCounter m_errors;
  bool m_virtual = false;
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

// The library interfaces in order, each tried at most once: the first that
// makes a client is used for every later client as long as it keeps making
// them, and one that failed is not tried again.
class RtBackend : public MidiBackend {
 public:
  explicit RtBackend(RtMidi::Api first) {
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    // JACK is always there: its clients are our own.
    if (std::find(compiled.begin(), compiled.end(), RtMidi::UNIX_JACK) == compiled.end())
      compiled.push_back(RtMidi::UNIX_JACK);
    auto at = std::find(compiled.begin(), compiled.end(), first);
    if (at != compiled.end()) std::rotate(compiled.begin(), at, compiled.end());
    for (RtMidi::Api api : compiled) {
      if (api != RtMidi::RTMIDI_DUMMY) m_candidates.push_back({api, false});
    }
  }

  std::string apiName() const override {
    return m_used == RtMidi::UNSPECIFIED ? std::string("default") : RtMidi::getApiName(m_used);
  }

  std::unique_ptr<MidiOutClient> makeOut(const std::string& clientName) override {
    return make<MidiOutClient>([&](RtMidi::Api api) -> std::unique_ptr<MidiOutClient> {
      if (api == RtMidi::UNIX_JACK) return makeJackMidiOut(clientName);
      auto midi = guarded([&] { return std::make_unique<RtMidiOut>(api, clientName); }, std::unique_ptr<RtMidiOut>());
      if (!midi) return nullptr;
      return std::make_unique<RtOut>(std::move(midi));
    });
  }

  std::unique_ptr<MidiInClient> makeIn(const std::string& clientName, unsigned queueLimit) override {
    return make<MidiInClient>([&](RtMidi::Api api) -> std::unique_ptr<MidiInClient> {
      if (api == RtMidi::UNIX_JACK) return makeJackMidiIn(clientName, queueLimit);
      auto midi = guarded([&] { return std::make_unique<RtMidiIn>(api, clientName, queueLimit); },
                          std::unique_ptr<RtMidiIn>());
      if (!midi) return nullptr;
      return std::make_unique<RtIn>(std::move(midi));
    });
  }

 private:
  struct Candidate {
    RtMidi::Api api;
    bool failed;
  };

  template <class Client, class Make>
  std::unique_ptr<Client> make(Make&& makeWith) {
    for (Candidate& c : m_candidates) {
      if (c.failed) continue;
      if (auto client = makeWith(c.api)) {
        m_used = c.api;
        return client;
      }
      c.failed = true;
    }
    return nullptr;
  }

  std::vector<Candidate> m_candidates;
  RtMidi::Api m_used = RtMidi::UNSPECIFIED;
};

// No MIDI library at all: no client is ever made, so every list holds "OFF"
// alone.
class NoMidiBackend : public MidiBackend {
 public:
  std::string apiName() const override { return kNoMidiApi; }
  std::unique_ptr<MidiOutClient> makeOut(const std::string&) override { return nullptr; }
  std::unique_ptr<MidiInClient> makeIn(const std::string&, unsigned) override { return nullptr; }
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
  name = lower(name);
  if (name == kNoMidiApi) return std::make_unique<NoMidiBackend>();
  RtMidi::Api api = RtMidi::UNSPECIFIED;
  if (!name.empty()) {
    api = name == "jack" ? RtMidi::UNIX_JACK : RtMidi::getCompiledApiByName(name);
    if (api == RtMidi::UNSPECIFIED) {
      std::cerr << "MIDI: no interface called \"" << name << "\" is compiled in; using the default" << std::endl;
    }
  }
  return std::make_unique<RtBackend>(api);
}
