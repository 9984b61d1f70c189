// The message hub: construction and tear-down, job starts, the request front
// ends and the collector.
#include "hardware/MIDIMessageManager.h"

#include <cmath>
#include <cstdio>
#include <exception>

#include "hardware/ParameterList.h"

std::optional<double> incomingNormalised(double v, double min, double max) {
  const double span = max - min;
  if (!std::isfinite(span) || span == 0.0 || !std::isfinite(v)) return std::nullopt;
  const double n = (v - min) / span;
  return n < 0.0 ? 0.0 : (n > 1.0 ? 1.0 : n);
}

MIDIMessageManager::MIDIMessageManager(IPluginBase& plugin, IEditorServices& editor, ILibrarianSlots& slots,
                                       SharedFlags& flags, const SysExControlContainer& sysexControls,
                                       const CCControlMap& ccControls, std::vector<std::string> tempoValues)
    : m_plugin(plugin),
      m_editor(editor),
      m_slots(slots),
      m_flags(flags),
      m_sysexControls(sysexControls),
      m_ccControls(ccControls),
      m_tempoValues(std::move(tempoValues)) {
  for (JobThread& t : m_threads) {
    t.sender = std::make_unique<MIDIMessageSender>(*this);
    t.stopping = &m_stopping;
  }
}

MIDIMessageManager::~MIDIMessageManager() {
  stop();
  for (JobThread& t : m_threads) {
    if (!t.started) continue;
    try {
      t.thread.join();
    } catch (...) {
    }
    t.started = false;
  }
  // The runners go before the threads, which the members' order destroys
  // last first; the collector goes last.
  for (JobThread& t : m_threads) t.sender.reset();
}

// ---- jobs

int MIDIMessageManager::threadForMode(int mode) {
  if (mode >= SenderJob::kSendSound && mode <= SenderJob::kDeviceEnquiry) return kJobThread;
  if (mode == SenderJob::kClockStart || mode == SenderJob::kClockStop) return kClockThread;
  if (mode == SenderJob::kContinuousClock) return kContinuousClockThread;
  return -1;
}

bool MIDIMessageManager::startJob(const SenderJob& job, std::function<void()> prepare) {
  return startJobOn(job, prepare, true);
}

bool MIDIMessageManager::startJobAfterRunning(const SenderJob& job, std::function<void()> prepare) {
  return startJobOn(job, prepare, true, true);
}

bool MIDIMessageManager::waitsForAnswer(int mode) {
  return (mode >= SenderJob::kEditBufferRequest && mode <= SenderJob::kBankRequest) || mode == SenderJob::kDeviceEnquiry;
}

bool MIDIMessageManager::startJobOn(const SenderJob& job, const std::function<void()>& prepare, bool wait,
                                    bool follow) {
  const int which = threadForMode(job.mode);
  if (which < 0) return false;
  if (waitsForAnswer(job.mode) && !m_flags.midiIOSet.load()) {
    m_editor.setStatusText(kMidiIONotSetText);
    return false;
  }
  JobThread& t = m_threads[which];
  std::unique_lock<std::mutex> lock(t.startLock, std::defer_lock);
  if (wait) {
    lock.lock();
  } else if (!lock.try_lock()) {
    return false;
  }
  if (m_stopping.load()) return false;
  try {
    if (t.active && follow) {
      t.next = t.next ? JobThread::Waiting::joined(std::move(*t.next), job, prepare) : JobThread::Waiting{job, prepare};
      return true;
    }
    // A run that has found no job waiting is ending: one that waits starts
    // after it.
    if (t.active || (!follow && t.thread.isRunning())) return false;
    if (t.started) {
      // The run has ended: join it, so its handle is not lost.
      t.thread.join();
      t.started = false;
    }
    t.sender->setJob(job);
    t.withdrawn = false;
    t.thread.start(t.gate);
    t.started = true;
    t.active = true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "job %d not started: %s\n", job.mode, e.what());
    return false;
  } catch (...) {
    std::fprintf(stderr, "job %d not started\n", job.mode);
    return false;
  }
  // Only a job that has started gets its flags raised; it waits at the gate
  // until they are.
  try {
    if (prepare) prepare();
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "job %d withdrawn: %s\n", job.mode, e.what());
  } catch (...) {
    std::fprintf(stderr, "job %d withdrawn\n", job.mode);
  }
  t.withdrawn = true;
  return false;
}

MIDIMessageManager::JobThread::Waiting MIDIMessageManager::JobThread::Waiting::joined(
    Waiting earlier, const SenderJob& job, const std::function<void()>& prepare) {
  const auto toInstrument = [](const SenderJob& j) { return j.mode == SenderJob::kSendSound && !j.toLibrarian; };
  if (!toInstrument(earlier.job) || !toInstrument(job)) return Waiting{job, prepare};
  // The dump reads the sound when it runs, so one carries both starts'
  // values; neither start's global step nor preparation is lost.
  Waiting both{job, prepare};
  both.job.globalStep = earlier.job.globalStep || job.globalStep;
  if (earlier.prepare && prepare) {
    both.prepare = [first = std::move(earlier.prepare), second = prepare] {
      first();
      second();
    };
  } else if (earlier.prepare) {
    both.prepare = std::move(earlier.prepare);
  }
  return both;
}

void MIDIMessageManager::StartGate::run() {
  bool withdrawn = true;
  try {
    std::lock_guard<std::mutex> lock(m_owner.startLock);
    withdrawn = m_owner.withdrawn;
  } catch (...) {
    std::fprintf(stderr, "job thread: start lock failed\n");
  }
  // The runner catches whatever its job throws.
  if (!withdrawn) m_owner.sender->run();
  for (;;) {
    std::function<void()> prepare;
    try {
      std::lock_guard<std::mutex> lock(m_owner.startLock);
      if (!m_owner.next || m_owner.stopping->load()) {
        m_owner.next.reset();
        m_owner.active = false;
        return;
      }
      m_owner.sender->setJob(m_owner.next->job);
      prepare = std::move(m_owner.next->prepare);
      m_owner.next.reset();
    } catch (...) {
      std::fprintf(stderr, "job thread: start lock failed\n");
      return;
    }
    try {
      if (prepare) prepare();
    } catch (...) {
      std::fprintf(stderr, "job withdrawn\n");
      continue;
    }
    m_owner.sender->run();
  }
}

bool MIDIMessageManager::startEditBufferRequest(bool wait) {
  return startJobOn(
      SenderJob::editBufferRequest(),
      [this] {
        m_editor.SetLibrarianRequestActive(false);
        m_requestPending.store(true);
      },
      wait);
}

bool MIDIMessageManager::startPartRequest(int program) {
  return startJob(SenderJob::partRequest(program), [this] { m_requestPending.store(true); });
}

bool MIDIMessageManager::threadRunning(Thread t) const {
  if (t < 0 || t >= kThreadCount) return false;
  return m_threads[t].thread.isRunning();
}

SenderJob MIDIMessageManager::lastJob(Thread t) {
  if (t < 0 || t >= kThreadCount) return {};
  std::lock_guard<std::mutex> lock(m_threads[t].startLock);
  return m_threads[t].sender->job();
}

void MIDIMessageManager::stop() {
  m_stopping.store(true);
  m_cancelRequested.store(true);
  m_clockRunning.store(false);
}

// ---- editor lock

MIDIMessageManager::EditorLock::EditorLock(MIDIMessageManager& hub) : m_mutex(hub.m_plugin.GetMutex()) {
  while (!hub.stopping()) {
    if (!m_mutex.TryLockFor(5)) continue;
    if (hub.stopping()) {
      m_mutex.Unlock();
      break;
    }
    m_held = true;
    break;
  }
}

MIDIMessageManager::EditorLock::~EditorLock() {
  if (m_held) m_mutex.Unlock();
}

double MIDIMessageManager::paramValue(int idx) const {
  const IParam* p = m_plugin.GetParam(idx);
  return p ? p->Value() : 0.0;
}

void MIDIMessageManager::setParameterFromPlug(int idx, double value) {
  if (IGraphicsBase* g = m_plugin.GetGraphicsBase()) {
    g->SetParameterFromPlug(idx, value, false);
    return;
  }
  IParam* p = m_plugin.GetParam(idx);
  if (!p) return;
  if (p->Type() != IParam::kTypeDouble && p->GetStep() > 0.0 && std::isfinite(value))
    value = p->GetStep() * std::floor(value / p->GetStep() + 0.5);
  p->SetClamped(value);
}

uint8_t MIDIMessageManager::learntDevice() const {
  const int id = m_flags.deviceId.load();
  return static_cast<uint8_t>(id < 0 ? 0 : (id > 0x7F ? 0x7F : id));
}

uint8_t MIDIMessageManager::globalDevice() const {
  return sysex::deviceIdFromParameter(paramValue(kGlobalDeviceID));
}

int MIDIMessageManager::requestPacingMs(double libSyncTimer) {
  // The whole value taken as unsigned: negative values fall to the default.
  if (!(libSyncTimer > -1.0 && libSyncTimer < 4.0)) return 100;
  static constexpr int kPacing[] = {200, 300, 400, 500};
  return kPacing[static_cast<int>(libSyncTimer)];
}

// ---- front ends

bool MIDIMessageManager::librarianTargetValid(bool oneSlot) const {
  if (!m_slots.hasUpperBank()) return false;
  if (!oneSlot) return true;
  const int slot = m_slots.targetSlot();
  return slot >= 0 && slot < ILibrarianSlots::kSlots;
}

bool MIDIMessageManager::sendActiveArrangementRequestSysex(bool) {
  EditorLock lock(*this);
  return lock.held() && startEditBufferRequest();
}

bool MIDIMessageManager::sendSinglePatchRequestSysexFromLibrarian(bool editBuffer) {
  SenderJob job;
  job.mode = SenderJob::kSingleRequest;
  job.editBuffer = editBuffer;
  return startLibrarianRequest(job, true);
}

bool MIDIMessageManager::sendAllPatchRequestSysexFromLibrarian(int bank) {
  SenderJob job;
  job.mode = SenderJob::kBankRequest;
  job.requestBank = bank;
  return startLibrarianRequest(job, false);
}

bool MIDIMessageManager::startLibrarianRequest(const SenderJob& job, bool oneSlot) {
  EditorLock lock(*this);
  if (!lock.held() || !librarianTargetValid(oneSlot)) return false;
  // The collector is armed only for a job that starts.
  return startJob(job, [this] {
    emptyLibraryRequest();
    armLibraryRequest();
    m_replyArrived.store(false);
  });
}

// ---- collector

void MIDIMessageManager::emptyLibraryRequest() { m_request.patch = CollectedPatch{}; }

void MIDIMessageManager::setLibrarianRequestActive(bool active) {
  setRequestPending(!active);
  if (active) emptyLibraryRequest();
  m_request.active = active;
  m_flags.replyReceived.store(false);
  setReplyArrived(false);
}

bool MIDIMessageManager::addMessageData(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr) return false;
  const bool dump = size == sysex::kSoundDumpLength;
  auto& messages = m_request.patch.messages;
  // A long run of stray messages cannot grow the collection without end; the
  // dump that completes it is always taken.
  if (messages.size() >= LibraryPatchRequest::kMaxMessages && !dump) return false;
  messages.emplace_back(bytes, bytes + size);
  if (!dump) return false;
  m_request.complete = 1;
  // Name and category are those of the completing dump; control bytes and
  // bytes outside ASCII become blanks, so the name stays valid text.
  std::string name;
  for (size_t i = 120; i < 134; ++i) {
    uint8_t c = bytes[i];
    if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
    if (c < 0x20 || c >= 0x80) c = ' ';
    name.push_back(static_cast<char>(c));
  }
  m_request.patch.name = name;
  m_request.patch.category = bytes[134];
  m_request.active = false;
  return true;
}
