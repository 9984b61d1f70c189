#include "hardware/MidiPorts.h"

#include <algorithm>
#include <cstdio>

#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiInputSplit.h"

namespace {

bool cutLength(size_t n) { return (n >= 29 && n <= 32) || (n >= 52 && n <= 55); }

}  // namespace

MidiPorts::MidiPorts(std::unique_ptr<MidiBackend> backend) : m_backend(std::move(backend)) {}

MidiPorts::~MidiPorts() {
  shutdown();
  if (m_delivery.joinable()) {
    if (m_delivery.get_id() == std::this_thread::get_id()) {
      m_delivery.detach();  // destroyed by its own sink: the loop ends on the stop flag
    } else {
      m_delivery.join();
    }
  }
  m_in.reset();
  m_out.reset();
  m_backend.reset();
}

int MidiPorts::matchName(const std::vector<std::string>& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int>(i);
  }
  if (!cutLength(name.size())) return -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].size() > name.size() && names[i].compare(0, name.size(), name) == 0) return static_cast<int>(i);
  }
  return -1;
}

std::string MidiPorts::listedName(MidiClient& client, unsigned i) {
  std::string name = client.portName(i);
  if (name.empty()) name = "Port " + std::to_string(i);
  return name;
}

std::string MidiPorts::apiName() const { return m_backend ? m_backend->apiName() : std::string(); }

bool MidiPorts::ensureOutClient() {
  if (!m_out && !m_shutDown && m_backend) m_out = m_backend->makeOut(kOutClientName);
  return m_out != nullptr;
}

bool MidiPorts::ensureInClient() {
  if (!m_in && !m_shutDown && m_backend) {
    m_in = m_backend->makeIn(kInClientName, kInputQueueLimit);
    if (m_in) {
      for (auto& slot : m_ring) slot.reserve(256);
      m_delivery = std::thread([this] { deliveryLoop(); });
      m_deliveryStarted = true;
      m_in->setCallback([this](const uint8_t* bytes, size_t size) { onInput(bytes, size); });
      m_in->ignoreTypes(false, true, true);
    }
  }
  return m_in != nullptr;
}

void MidiPorts::buildList(Side& side, MidiClient* client) {
  side.openIndex = 0;
  side.names.assign(1, kOffName);
  if (client) {
    const unsigned count = client->portCount();
    for (unsigned i = 0; i < count; ++i) side.names.push_back(listedName(*client, i));
  }
  side.built = true;
}

void MidiPorts::ensureOutList() {
  if (m_outSide.built) return;
  ensureOutClient();
  buildList(m_outSide, m_out.get());
}

void MidiPorts::ensureInList() {
  if (m_inSide.built) return;
  ensureInClient();
  buildList(m_inSide, m_in.get());
}

const std::vector<std::string>& MidiPorts::outNames() {
  std::lock_guard<std::mutex> lock(m_state);
  ensureOutList();
  return m_outSide.names;
}

const std::vector<std::string>& MidiPorts::inNames() {
  std::lock_guard<std::mutex> lock(m_state);
  ensureInList();
  return m_inSide.names;
}

void MidiPorts::stopSends() {
  std::lock_guard<std::mutex> sendLock(m_send);
  m_outOpen = false;
}

void MidiPorts::closeOut() {
  stopSends();
  if (m_out && m_out->isPortOpen()) m_out->closePort();
  m_outSide.openIndex = 0;
}

int MidiPorts::openByName(Side& side, MidiClient* client, int& portIndex, const char* name, const char* localName) {
  const bool wanted = portIndex != 0;
  portIndex = 0;
  if (!wanted || m_shutDown || !client || !name || std::string(name) == kOffName) return 0;
  // The live enumeration decides which port the name stands for now.
  std::vector<std::string> live;
  const unsigned count = client->portCount();
  for (unsigned i = 0; i < count; ++i) live.push_back(listedName(*client, i));
  const int found = matchName(live, name);
  if (found < 0) return 0;
  if (!client->openPort(static_cast<unsigned>(found), localName)) return 0;
  // The menu position of the opened port. A port that was not there when
  // the list was built is appended to it, so the position names this port
  // and no other entry.
  const std::string& opened = live[static_cast<size_t>(found)];
  auto at = std::find(side.names.begin() + 1, side.names.end(), opened);
  if (at == side.names.end()) at = side.names.insert(side.names.end(), opened);
  const int index = static_cast<int>(at - side.names.begin());
  side.openIndex = index;
  portIndex = index;
  return index;
}

int MidiPorts::openOut(int& portIndex, const char* name) {
  std::lock_guard<std::mutex> lock(m_state);
  ensureOutList();
  closeOut();
  const int index = openByName(m_outSide, m_out.get(), portIndex, name, kOutPortName);
  if (index > 0) {
    std::lock_guard<std::mutex> sendLock(m_send);
    m_outOpen = true;
  }
  return index;
}

int MidiPorts::openIn(int& portIndex, const char* name) {
  std::lock_guard<std::mutex> lock(m_state);
  ensureInList();
  if (m_in && m_in->isPortOpen()) m_in->closePort();
  m_inSide.openIndex = 0;
  const int index = openByName(m_inSide, m_in.get(), portIndex, name, kInPortName);
  // The receiver installed with the client stays in place (only shutdown
  // cancels it): installing it again would wait for a message in delivery,
  // whose hook may be waiting for a lock this caller holds.
  if (index > 0) m_in->ignoreTypes(false, true, true);
  return index;
}

int MidiPorts::find(Side& side, const char* name) {
  if (!name) return -1;
  return matchName(side.names, name);
}

int MidiPorts::findOut(const char* name) {
  std::lock_guard<std::mutex> lock(m_state);
  ensureOutList();
  return find(m_outSide, name);
}

int MidiPorts::findIn(const char* name) {
  std::lock_guard<std::mutex> lock(m_state);
  ensureInList();
  return find(m_inSide, name);
}

bool MidiPorts::initializeVirtualOutput(const std::string& name) {
  std::lock_guard<std::mutex> lock(m_state);
  if (m_shutDown || !ensureOutClient()) return false;
  closeOut();
  const bool opened = m_out->openVirtualPort("From " + name);
  if (opened) {
    std::lock_guard<std::mutex> sendLock(m_send);
    m_outOpen = true;
  }
  return opened;
}

bool MidiPorts::outOpen() const { return m_outOpen; }
int MidiPorts::openOutIndex() const { return m_outSide.openIndex; }
int MidiPorts::openInIndex() const { return m_inSide.openIndex; }

bool MidiPorts::send(const uint8_t* bytes, size_t size) {
  if (!bytes || size == 0) return false;
  std::lock_guard<std::mutex> lock(m_send);
  if (!m_outOpen || !m_out) return false;
  return m_out->send(bytes, size);
}

void MidiPorts::setInputSink(IHardwareInputSink* sink) {
  std::lock_guard<std::recursive_mutex> lock(m_sinkMutex);
  m_sink = sink;
}

void MidiPorts::onInput(const uint8_t* bytes, size_t size) {
  if (!bytes || size == 0) return;
  const uint64_t tail = m_ringTail.load(std::memory_order_relaxed);
  if (tail - m_ringHead.load(std::memory_order_acquire) >= kInputQueueDepth) return;  // full: dropped
  m_ring[tail % kInputQueueDepth].assign(bytes, bytes + size);
  m_ringTail.store(tail + 1, std::memory_order_release);
  m_ringReady.release();
}

void MidiPorts::deliveryLoop() {
  for (;;) {
    m_ringReady.acquire();
    if (m_deliveryStop.load()) break;
    const uint64_t head = m_ringHead.load(std::memory_order_relaxed);
    if (head == m_ringTail.load(std::memory_order_acquire)) continue;
    {
      std::lock_guard<std::mutex> idle(m_idleMutex);
      m_delivering = true;
    }
    const std::vector<uint8_t>& message = m_ring[head % kInputQueueDepth];
    try {
      std::lock_guard<std::recursive_mutex> lock(m_sinkMutex);
      if (m_sink) {
        // The sink may remove itself while it takes one of the pieces.
        splitMidiInput(message.data(), message.size(), [this](const uint8_t* piece, size_t n) {
          if (m_sink) m_sink->processMIDIInput(piece, n);
        });
      }
    } catch (...) {
      std::fprintf(stderr, "MIDI input: the receiver failed\n");
    }
    m_ringHead.store(head + 1, std::memory_order_release);
    {
      std::lock_guard<std::mutex> idle(m_idleMutex);
      m_delivering = false;
    }
    m_idleCv.notify_all();
  }
  std::lock_guard<std::mutex> idle(m_idleMutex);
  m_delivering = false;
  m_idleCv.notify_all();
}

bool MidiPorts::waitIdle() {
  std::unique_lock<std::mutex> lock(m_idleMutex);
  bool waited = false;
  m_idleCv.wait(lock, [&] {
    const bool idle = m_deliveryStop.load() || !m_deliveryStarted.load() ||
                      (!m_delivering && m_ringHead.load() == m_ringTail.load());
    waited = waited || !idle;
    return idle;
  });
  return waited;
}

void MidiPorts::stopDelivery() {
  if (!m_deliveryStarted.load() || m_deliveryStop.load()) return;
  {
    std::lock_guard<std::mutex> idle(m_idleMutex);
    m_deliveryStop.store(true);
  }
  m_idleCv.notify_all();
  m_ringReady.release();
  // A sink that shuts the ports down from inside a delivery leaves the join
  // to the destructor.
  if (m_delivery.get_id() != std::this_thread::get_id()) m_delivery.join();
}

void MidiPorts::shutdown() {
  {
    // From here on no client is made and nothing opens, so m_in stays as it is.
    std::lock_guard<std::mutex> lock(m_state);
    m_shutDown = true;
  }
  // Input first: once the callback is cancelled nothing more reaches the
  // plug-in, which may be half torn down by now. The cancel waits for a
  // message in delivery, whose hook may still read the lists: no lock of
  // ours is held meanwhile.
  if (m_in) m_in->cancelCallback();
  // Then the delivery thread: a sink in delivery may wait for a lock of the
  // plug-in, which its tear-down lets go of (the hub's stop) first.
  stopDelivery();
  std::lock_guard<std::mutex> lock(m_state);
  if (m_in) m_in->closePort();
  m_inSide.openIndex = 0;
  {
    std::lock_guard<std::recursive_mutex> sinkLock(m_sinkMutex);
    m_sink = nullptr;
  }
  closeOut();
}

std::unique_ptr<IHardwarePorts> makeRtMidiHardwarePorts(const std::string& apiName) {
  return std::make_unique<MidiPorts>(makeRtMidiBackend(apiName));
}
