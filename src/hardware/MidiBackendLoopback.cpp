#include "hardware/MidiBackendLoopback.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "hardware/MidiCallbackSlot.h"

namespace {
class LbIn;
}

struct LoopbackHub::State {
  struct Port {
    int id;
    std::string name;
    bool source;  // a virtual output port: input clients list it
    void* owner;  // the client that made it
  };
  struct Pending {
    LbIn* target;
    std::vector<uint8_t> bytes;
  };

  mutable std::mutex m;
  std::condition_variable cv;
  std::vector<Port> ports;
  int nextId = 1;
  std::deque<Pending> queue;
  std::set<LbIn*> ins;
  LbIn* deliveringTo = nullptr;
  std::thread::id deliveryThread;
  bool stop = false;
  bool failClients = false;
  bool failOpen = false;
  bool failSend = false;
  std::set<std::string> unreadable;
  std::vector<std::string> log;
  size_t sent = 0;

  // The ports a client of that direction lists: sources for inputs,
  // destinations for outputs. Called under m.
  std::vector<const Port*> listed(bool sources) const {
    std::vector<const Port*> out;
    for (const Port& p : ports) {
      if (p.source == sources) out.push_back(&p);
    }
    return out;
  }

  const Port* find(int id) const {
    for (const Port& p : ports) {
      if (p.id == id) return &p;
    }
    return nullptr;
  }

  int addPort(const std::string& name, bool source, void* owner) {
    ports.push_back(Port{nextId, name, source, owner});
    return nextId++;
  }

  void removePort(int id) {
    ports.erase(std::remove_if(ports.begin(), ports.end(), [&](const Port& p) { return p.id == id; }), ports.end());
  }

  void run();
};

namespace {

using State = LoopbackHub::State;

void report(const char* what) { std::fprintf(stderr, "\nloopback MIDI: %s\n\n", what); }

// What both directions share: enumeration, opening, closing.
template <class Base>
class LbClient : public Base {
 public:
  LbClient(std::shared_ptr<State> state, bool input) : m_state(std::move(state)), m_input(input) {}

  unsigned portCount() override {
    std::lock_guard<std::mutex> lock(m_state->m);
    return static_cast<unsigned>(m_state->listed(m_input).size());
  }

  std::string portName(unsigned i) override {
    std::lock_guard<std::mutex> lock(m_state->m);
    auto ports = m_state->listed(m_input);
    if (i >= ports.size() || m_state->unreadable.count(ports[i]->name)) return std::string();
    return ports[i]->name;
  }

  bool openPort(unsigned i, const std::string& localName) override {
    std::lock_guard<std::mutex> lock(m_state->m);
    auto ports = m_state->listed(m_input);
    if (m_state->failOpen || i >= ports.size()) {
      report("the port cannot be opened");
      return false;
    }
    m_connected = ports[i]->id;
    m_state->log.push_back(std::string(m_input ? "open in " : "open out ") + ports[i]->name + " as " + localName);
    return true;
  }

  bool openVirtualPort(const std::string& name) override {
    std::lock_guard<std::mutex> lock(m_state->m);
    if (m_state->failOpen) {
      report("the virtual port cannot be made");
      return false;
    }
    if (m_virtual >= 0) m_state->removePort(m_virtual);
    // A virtual input port receives, so output clients list it, and the
    // other way round.
    m_virtual = m_state->addPort(name, !m_input, this);
    m_state->log.push_back(std::string(m_input ? "virtual in " : "virtual out ") + name);
    return true;
  }

  void closePort() override {
    std::lock_guard<std::mutex> lock(m_state->m);
    closeLocked();
  }

  bool isPortOpen() const override {
    std::lock_guard<std::mutex> lock(m_state->m);
    return m_connected >= 0 || m_virtual >= 0;
  }

  // Guarded by the state's mutex.
  int m_connected = -1;
  int m_virtual = -1;

 protected:
  void closeLocked() {
    if (m_connected < 0 && m_virtual < 0) return;
    if (m_virtual >= 0) m_state->removePort(m_virtual);
    m_connected = -1;
    m_virtual = -1;
    m_state->log.push_back(m_input ? "close in" : "close out");
  }

  std::shared_ptr<State> m_state;
  bool m_input;
};

class LbIn : public LbClient<MidiInClient> {
 public:
  explicit LbIn(std::shared_ptr<State> state) : LbClient(std::move(state), true) {
    std::lock_guard<std::mutex> lock(m_state->m);
    m_state->ins.insert(this);
  }

  ~LbIn() override {
    std::unique_lock<std::mutex> lock(m_state->m);
    closeLocked();
    m_state->ins.erase(this);
    // Like closing a library client: wait for a delivery in flight.
    if (std::this_thread::get_id() != m_state->deliveryThread) {
      m_state->cv.wait(lock, [&] { return m_state->deliveringTo != this; });
    }
  }

  void setCallback(MidiInputCallback callback) override { m_slot.set(std::move(callback)); }
  void cancelCallback() override { m_slot.cancel(); }
  void ignoreTypes(bool sysex, bool time, bool sense) override { m_slot.setIgnore(sysex, time, sense); }

  MidiCallbackSlot m_slot;
};

class LbOut : public LbClient<MidiOutClient> {
 public:
  explicit LbOut(std::shared_ptr<State> state) : LbClient(std::move(state), false) {}

  ~LbOut() override {
    std::lock_guard<std::mutex> lock(m_state->m);
    closeLocked();
  }

  bool send(const uint8_t* bytes, size_t size) override {
    std::lock_guard<std::mutex> lock(m_state->m);
    if (m_state->failSend) {
      report("the message cannot be sent");
      return false;
    }
    std::vector<uint8_t> message(bytes, bytes + size);
    if (m_connected >= 0) {
      const State::Port* p = m_state->find(m_connected);
      if (p) m_state->queue.push_back({static_cast<LbIn*>(p->owner), message});
    }
    if (m_virtual >= 0) {
      for (LbIn* in : m_state->ins) {
        if (in->m_connected == m_virtual) m_state->queue.push_back({in, message});
      }
    }
    ++m_state->sent;
    m_state->cv.notify_all();
    return true;
  }
};

class LbBackend : public MidiBackend {
 public:
  explicit LbBackend(std::shared_ptr<State> state) : m_state(std::move(state)) {}

  std::string apiName() const override { return "loopback"; }

  std::unique_ptr<MidiOutClient> makeOut(const std::string& clientName) override {
    if (refused("client out " + clientName)) return nullptr;
    return std::make_unique<LbOut>(m_state);
  }

  std::unique_ptr<MidiInClient> makeIn(const std::string& clientName, unsigned) override {
    if (refused("client in " + clientName)) return nullptr;
    return std::make_unique<LbIn>(m_state);
  }

 private:
  // Logs the attempt; true when the hub refuses clients.
  bool refused(const std::string& what) {
    std::lock_guard<std::mutex> lock(m_state->m);
    if (m_state->failClients) {
      report("the client cannot be made");
      return true;
    }
    m_state->log.push_back(what);
    return false;
  }

  std::shared_ptr<State> m_state;
};

}  // namespace

void LoopbackHub::State::run() {
  std::unique_lock<std::mutex> lock(m);
  deliveryThread = std::this_thread::get_id();
  for (;;) {
    cv.wait(lock, [&] { return stop || !queue.empty(); });
    if (stop) break;
    Pending p = std::move(queue.front());
    queue.pop_front();
    // Only a live client with an open port receives.
    if (ins.count(p.target) && (p.target->m_connected >= 0 || p.target->m_virtual >= 0)) {
      deliveringTo = p.target;
      lock.unlock();
      p.target->m_slot.deliver(p.bytes.data(), p.bytes.size());
      lock.lock();
      deliveringTo = nullptr;
    }
    cv.notify_all();
  }
  deliveryThread = std::thread::id();
}

LoopbackHub::LoopbackHub() : m_state(std::make_shared<State>()) {
  m_thread = std::thread([s = m_state] { s->run(); });
}

LoopbackHub::~LoopbackHub() {
  {
    std::lock_guard<std::mutex> lock(m_state->m);
    m_state->stop = true;
    m_state->cv.notify_all();
  }
  if (m_thread.joinable()) m_thread.join();
}

std::unique_ptr<MidiBackend> LoopbackHub::makeBackend() { return std::make_unique<LbBackend>(m_state); }

bool LoopbackHub::drain() {
  std::unique_lock<std::mutex> lock(m_state->m);
  bool waited = false;
  m_state->cv.wait(lock, [&] {
    const bool idle = m_state->stop || (m_state->queue.empty() && !m_state->deliveringTo);
    waited = waited || !idle;
    return idle;
  });
  return waited;
}

void LoopbackHub::setFailClients(bool fail) {
  std::lock_guard<std::mutex> lock(m_state->m);
  m_state->failClients = fail;
}

void LoopbackHub::setFailOpen(bool fail) {
  std::lock_guard<std::mutex> lock(m_state->m);
  m_state->failOpen = fail;
}

void LoopbackHub::setFailSend(bool fail) {
  std::lock_guard<std::mutex> lock(m_state->m);
  m_state->failSend = fail;
}

void LoopbackHub::setUnreadable(const std::string& portName, bool unreadable) {
  std::lock_guard<std::mutex> lock(m_state->m);
  if (unreadable) {
    m_state->unreadable.insert(portName);
  } else {
    m_state->unreadable.erase(portName);
  }
}

std::vector<std::string> LoopbackHub::log() const {
  std::lock_guard<std::mutex> lock(m_state->m);
  return m_state->log;
}

size_t LoopbackHub::sentCount() const {
  std::lock_guard<std::mutex> lock(m_state->m);
  return m_state->sent;
}
