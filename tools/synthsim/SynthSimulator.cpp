#include "synthsim/SynthSimulator.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"

namespace synthsim {

namespace {

bool isClockByte(uint8_t b) { return b == sysex::kClockStart || b == sysex::kClockTick || b == sysex::kClockStop; }

int storeIndex(int bank, int slot) { return bank * SynthSimulator::kSlots + slot; }

bool validLocation(int bank, int slot) {
  return bank >= 0 && bank < SynthSimulator::kBanks && slot >= 0 && slot < SynthSimulator::kSlots;
}

// The global settings a freshly started instrument reports: master tune and
// transpose at their centres, MIDI channel 1, local control on, volume 100,
// panning centred; byte 9 (the device ID) is filled in when answering.
std::array<uint8_t, sysex::kGlobalSettingsCount> factorySettings() {
  std::array<uint8_t, sysex::kGlobalSettingsCount> s{};
  s[0] = 54;   // byte 5: master tune 0
  s[1] = 40;   // byte 6: transpose 0
  s[3] = 1;    // byte 8: MIDI channel
  s[7] = 1;    // byte 12: local control
  s[30] = 100; // byte 35: volume
  s[31] = 64;  // byte 36: panning
  return s;
}

constexpr size_t kDeviceSetting = 9 - 5;  // the settings byte that repeats the device ID

}  // namespace

const char* faultName(Fault f) {
  switch (f) {
    case Fault::None: return "none";
    case Fault::Silent: return "silent";
    case Fault::Delay: return "delay";
    case Fault::Echo: return "echo";
    case Fault::Truncated: return "truncated";
    case Fault::Oversized: return "oversized";
    case Fault::Garbage: return "garbage";
  }
  return "none";
}

bool parseFault(const std::string& name, Fault& out) {
  for (Fault f : {Fault::None, Fault::Silent, Fault::Delay, Fault::Echo, Fault::Truncated, Fault::Oversized,
                  Fault::Garbage}) {
    if (name == faultName(f)) {
      out = f;
      return true;
    }
  }
  return false;
}

Dump SynthSimulator::factorySound(int bank, int slot) {
  Dump d = sounddump::initSinglePatch;
  const int n = storeIndex(bank, slot);
  char name[sounddump::kNameLength + 1];
  std::snprintf(name, sizeof name, "SIM %d-%02d", bank, slot);
  std::fill(d.begin() + sounddump::kNameFirst, d.begin() + sounddump::kNameFirst + sounddump::kNameLength, ' ');
  std::memcpy(d.data() + sounddump::kNameFirst, name, std::strlen(name));
  d[12] = static_cast<uint8_t>(slot);            // oscillator 1 level
  d[49] = static_cast<uint8_t>(n % 128);         // filter cutoff
  d[50] = static_cast<uint8_t>((n * 37) % 128);  // resonance
  d[sounddump::kCategoryByte] = static_cast<uint8_t>(n % (sounddump::kHighestCategory + 1));
  sounddump::address(d, 0, sysex::encodeLocation(bank, slot));
  return d;
}

Dump SynthSimulator::answerFor(const Dump& stored, uint8_t device, sysex::Location where) {
  Dump d = stored;
  sounddump::address(d, device, where);
  return d;
}

SynthSimulator::SynthSimulator(MidiBackend& backend, Options options) : m_options(std::move(options)) {
  m_store.reserve(kBanks * kSlots);
  for (int b = 0; b < kBanks; ++b) {
    for (int s = 0; s < kSlots; ++s) m_store.push_back(factorySound(b, s));
  }
  m_editBuffer = answerFor(sounddump::initSinglePatch, 0, sysex::kEditBuffer);
  m_settings = factorySettings();
  m_worker = std::thread([this] { workerLoop(); });

  m_out = backend.makeOut(m_options.name + " Out");
  m_outOpen = m_out && m_out->openVirtualPort(m_options.outPort);
  m_in = backend.makeIn(m_options.name + " In", 100);
  bool inOk = false;
  if (m_in) {
    // Clock bytes are wanted; active sensing is not.
    m_in->ignoreTypes(false, false, true);
    m_in->setTimedCallback([this](const uint8_t* b, size_t n, uint64_t arrival) { onInput(b, n, arrival); });
    inOk = m_in->openVirtualPort(m_options.inPort);
  }
  m_ready = m_outOpen && inOk;
}

SynthSimulator::~SynthSimulator() {
  if (m_in) {
    m_in->cancelCallback();
    m_in.reset();
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_cv.notify_all();
  if (m_worker.joinable()) m_worker.join();
  std::lock_guard<std::mutex> lock(m_sendMutex);
  m_out.reset();
}

// ---- settings

void SynthSimulator::setDeviceId(uint8_t id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_options.deviceId = static_cast<uint8_t>(id & 0x7F);
}

uint8_t SynthSimulator::deviceId() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_options.deviceId;
}

void SynthSimulator::setFault(Fault fault) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_fault = fault;
}

Fault SynthSimulator::fault() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_fault;
}

void SynthSimulator::setDelayMicros(uint64_t us) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_delayMicros = us;
}

void SynthSimulator::setTruncatedLength(size_t n) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_truncatedLength = std::max<size_t>(n, 2);
}

void SynthSimulator::setOversizedLength(size_t n) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_oversizedLength = n;
}

void SynthSimulator::setUnanswered(sysex::Location where, bool unanswered) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const int n = where.high * 128 + where.low;
  m_unanswered.erase(std::remove(m_unanswered.begin(), m_unanswered.end(), n), m_unanswered.end());
  if (unanswered) m_unanswered.push_back(n);
}

// ---- the store

Dump SynthSimulator::sound(int bank, int slot) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return validLocation(bank, slot) ? m_store[static_cast<size_t>(storeIndex(bank, slot))] : Dump{};
}

void SynthSimulator::setSound(int bank, int slot, const Dump& dump) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (validLocation(bank, slot)) m_store[static_cast<size_t>(storeIndex(bank, slot))] = dump;
}

Dump SynthSimulator::editBuffer() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_editBuffer;
}

void SynthSimulator::setEditBuffer(const Dump& dump) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_editBuffer = dump;
}

std::array<uint8_t, sysex::kGlobalSettingsCount> SynthSimulator::globalSettings() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_settings;
}

void SynthSimulator::setGlobalSettings(const std::array<uint8_t, sysex::kGlobalSettingsCount>& settings) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_settings = settings;
}

Bytes SynthSimulator::globalDump() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  uint8_t settings[sysex::kGlobalSettingsCount];
  std::copy(m_settings.begin(), m_settings.end(), settings);
  settings[kDeviceSetting] = m_options.deviceId;
  return sysex::globalDump(m_options.deviceId, settings, 0);
}

// ---- sending

bool SynthSimulator::sendLocked(const Bytes& bytes) {
  if (bytes.empty()) return false;
  bool ok;
  {
    std::lock_guard<std::mutex> lock(m_sendMutex);
    ok = m_out && m_outOpen && m_out->send(bytes.data(), bytes.size());
  }
  if (ok) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sent.push_back(bytes);
  }
  return ok;
}

bool SynthSimulator::sendControlChange(int channel, int controller, int value) {
  return sendLocked({static_cast<uint8_t>(0xB0 | ((channel - 1) & 0x0F)), static_cast<uint8_t>(controller & 0x7F),
                     static_cast<uint8_t>(value & 0x7F)});
}

bool SynthSimulator::sendProgramChange(int channel, int program) {
  return sendLocked({static_cast<uint8_t>(0xC0 | ((channel - 1) & 0x0F)), static_cast<uint8_t>(program & 0x7F)});
}

bool SynthSimulator::sendSingleParameter(uint8_t address1, uint8_t address2, uint8_t value, uint8_t extra) {
  return sendLocked(sysex::singleParameterChange(address1, address2, value, extra));
}

bool SynthSimulator::sendRaw(const Bytes& bytes) { return sendLocked(bytes); }

// ---- records

std::vector<Received> SynthSimulator::received() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_received;
}

std::vector<ClockEvent> SynthSimulator::clockEvents() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_clock;
}

std::vector<Bytes> SynthSimulator::sent() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_sent;
}

size_t SynthSimulator::storedDumps() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_stored;
}

size_t SynthSimulator::rejectedDumps() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_rejected;
}

size_t SynthSimulator::ignoredRequests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_ignored;
}

size_t SynthSimulator::highBitMessages() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_highBit;
}

size_t SynthSimulator::handled() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_handled;
}

void SynthSimulator::clearRecords() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_received.clear();
  m_clock.clear();
  m_sent.clear();
  m_stored = m_rejected = m_ignored = m_highBit = 0;
}

bool SynthSimulator::waitIdle() {
  std::unique_lock<std::mutex> lock(m_mutex);
  bool waited = false;
  // A delayed answer whose time has come is about to go out: wait for it;
  // one whose time lies ahead waits for somebody else's clock.
  m_cv.wait(lock, [&] {
    const bool idle = m_handled == m_queued || m_stop || (m_parked && m_parkedUntil > platform::monotonicMicros());
    waited = waited || !idle;
    return idle;
  });
  return waited;
}

bool SynthSimulator::waitHandled(size_t n, int limitMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cv.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return m_handled >= n; });
}

// ---- input

void SynthSimulator::onInput(const uint8_t* bytes, size_t size, uint64_t arrival) {
  if (!bytes || size == 0) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.push_back({Bytes(bytes, bytes + size), arrival});
    ++m_queued;
    if (size > 2 && bytes[0] == sysex::kStart &&
        std::any_of(bytes + 1, bytes + size - 1, [](uint8_t b) { return b >= 0x80; }))
      ++m_highBit;
    if (size == 1 && isClockByte(bytes[0])) {
      // Clock bytes are only recorded, with their arrival time.
      m_clock.push_back({bytes[0], arrival});
      ++m_handled;
    } else {
      m_queue.push_back({Bytes(bytes, bytes + size), arrival});
    }
  }
  m_cv.notify_all();
}

void SynthSimulator::workerLoop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_cv.wait(lock, [&] { return m_stop || !m_queue.empty(); });
    if (m_stop) break;
    Received message = std::move(m_queue.front());
    m_queue.pop_front();
    lock.unlock();
    handleArrived(message.bytes.data(), message.bytes.size(), message.micros);
    lock.lock();
    ++m_handled;
    m_cv.notify_all();
  }
}

void SynthSimulator::handle(const uint8_t* bytes, size_t size) {
  handleArrived(bytes, size, platform::monotonicMicros());
}

void SynthSimulator::handleArrived(const uint8_t* bytes, size_t size, uint64_t arrival) {
  const sysex::MessageInfo info = sysex::classify(bytes, size);
  // The editor's reading also takes the older model's byte; the instrument
  // answers and stores only what is addressed to its own model.
  if (info.kind != sysex::MessageKind::Unknown && bytes[2] != sysex::kModel) return;
  const Bytes request(bytes, bytes + size);
  Bytes reply;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint8_t mine = m_options.deviceId;
    switch (info.kind) {
      case sysex::MessageKind::GlobalRequest:
      case sysex::MessageKind::SoundRequest:
      case sysex::MessageKind::EditBufferRequest: {
        if (info.device != mine) {
          ++m_ignored;
          return;
        }
        if (info.kind == sysex::MessageKind::GlobalRequest) break;  // answered below, outside the lock
        const int number = info.location.high * 128 + info.location.low;
        if (std::find(m_unanswered.begin(), m_unanswered.end(), number) != m_unanswered.end()) return;
        const sysex::DecodedLocation where = sysex::decodeLocation(info.location.high, info.location.low);
        Dump answerDump;
        if (where.editBuffer) {
          answerDump = answerFor(m_editBuffer, mine, sysex::kEditBuffer);
        } else if (where.stored) {
          answerDump = answerFor(m_store[static_cast<size_t>(storeIndex(where.bank, where.program))], mine,
                                 info.location);
        } else {
          return;  // no such sound: the instrument stays quiet
        }
        reply.assign(answerDump.begin(), answerDump.end());
        break;
      }
      case sysex::MessageKind::SoundDump: {
        if (info.device != mine) {
          ++m_ignored;
          return;
        }
        if (bytes[sounddump::kCheckByte] != sysex::calculateCheckSum(bytes, size)) {
          ++m_rejected;
          return;
        }
        Dump d;
        std::copy(bytes, bytes + sounddump::kLength, d.begin());
        const sysex::DecodedLocation where = sysex::decodeLocation(info.location.high, info.location.low);
        if (where.editBuffer) {
          m_editBuffer = d;
        } else if (where.stored) {
          m_store[static_cast<size_t>(storeIndex(where.bank, where.program))] = d;
        } else {
          ++m_rejected;
          return;
        }
        ++m_stored;
        return;
      }
      default:
        return;
    }
  }
  if (info.kind == sysex::MessageKind::GlobalRequest) reply = globalDump();
  answer(request, std::move(reply), arrival);
}

Bytes SynthSimulator::applyFault(Fault f, const Bytes& request, Bytes reply, size_t truncated, size_t oversized) {
  switch (f) {
    case Fault::Echo:
      return request;
    case Fault::Truncated: {
      const size_t n = std::min(truncated, reply.size());
      reply.resize(n);
      reply.back() = sysex::kEnd;
      return reply;
    }
    case Fault::Oversized: {
      const size_t n = std::max(oversized, reply.size() + 1);
      reply.pop_back();
      while (reply.size() < n - 1) reply.push_back(static_cast<uint8_t>(reply.size() & 0x7F));
      reply.push_back(sysex::kEnd);
      return reply;
    }
    case Fault::Garbage: {
      std::lock_guard<std::mutex> lock(m_mutex);
      for (size_t i = 5; i + 1 < reply.size(); ++i) {
        m_noise ^= m_noise << 13;
        m_noise ^= m_noise >> 17;
        m_noise ^= m_noise << 5;
        reply[i] = static_cast<uint8_t>(m_noise & 0x7F);
      }
      // Never a valid check byte by chance.
      const size_t check = reply.size() - 2;
      if (check > 4 && reply[check] == sysex::calculateCheckSum(reply)) {
        reply[check] = static_cast<uint8_t>((reply[check] + 1) & 0x7F);
      }
      return reply;
    }
    default:
      return reply;
  }
}

void SynthSimulator::answer(const Bytes& request, Bytes reply, uint64_t arrival) {
  Fault f;
  uint64_t delay;
  size_t truncated, oversized;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    f = m_fault;
    delay = m_delayMicros;
    truncated = m_truncatedLength;
    oversized = m_oversizedLength;
  }
  if (f == Fault::Silent) return;
  if (f == Fault::Delay) {
    // The answer leaves once the clock has passed arrival + delay, whoever
    // moves it.
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_parked = true;
      m_parkedUntil = arrival + delay;
    }
    m_cv.notify_all();
    platform::waitUntilMicros(arrival + delay);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_parked = false;
  }
  sendLocked(applyFault(f, request, std::move(reply), truncated, oversized));
}

}  // namespace synthsim
