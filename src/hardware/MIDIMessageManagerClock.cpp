// The hub's side of the MIDI clock and of the audio callback: the tempo
// rule, and the duties at the start and the end of each audio block.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "hardware/MIDIMessageManager.h"

namespace {

// The integer at the start of a text as atoi reads it (white space, a sign,
// digits), held to +-1,000,000 so that no text overflows.
int leadingInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = std::min(value * 10 + (text[i] - '0'), 1'000'000L);
  return static_cast<int>(negative ? -value : value);
}

// A double truncated toward zero, when it fits the tempo rule's numbers.
std::optional<int> truncated(double v) {
  if (!(v > -1'000'000.0 && v < 1'000'000.0)) return std::nullopt;
  return static_cast<int>(v);
}

}  // namespace

int MIDIMessageManager::clockTempo(double overrideTempo, double hostTempo, double arpTempo,
                                   const std::vector<std::string>& tempoValues) {
  if (overrideTempo == 1.0) return truncated(hostTempo).value_or(0);
  const std::optional<int> index = truncated(arpTempo);
  if (!index || *index < 0 || static_cast<size_t>(*index) >= tempoValues.size()) return 0;
  return leadingInteger(tempoValues[static_cast<size_t>(*index)]);
}

std::optional<int64_t> MIDIMessageManager::clockIntervalNanos(int tempo) {
  if (tempo < 2 || tempo > 999) return std::nullopt;
  return int64_t{60'000'000'000} / (int64_t{tempo} * 24);
}

unsigned MIDIMessageManager::onBlockStart(bool transportRunning, bool queueRouting) {
  if (!m_flags.midiIOSet.load()) return 0;
  unsigned started = 0;
  auto start = [&](int mode) {
    SenderJob job;
    job.mode = mode;
    if (startJobOn(job, {}, false)) started |= 1u << mode;
  };
  if (transportRunning && !m_wasPlaying) {
    m_wasPlaying = true;
    if (!queueRouting && !m_clockStartSent) {
      start(SenderJob::kClockStart);
      m_clockStartSent = true;
    }
  } else if (!transportRunning && m_wasPlaying) {
    m_wasPlaying = false;
    if (!queueRouting && m_clockStartSent) {
      start(SenderJob::kClockStop);
      m_clockStartSent = false;
    }
  }
  // The flag is set before the launch, so that a clear made meanwhile on
  // another thread launches again at the next block.
  if (!m_flags.clockLaunched.exchange(true)) {
    resetContinuousClock(false);
    start(SenderJob::kContinuousClock);
  }
  return started;
}

bool MIDIMessageManager::onBlockEnd() {
  if (!m_flags.midiIOSet.load() || !m_flags.editBufferRequestPending.load()) return false;
  // The audio callback normally holds the editor lock already; otherwise one
  // attempt, and the next block tries again.
  KIT_Mutex& mutex = m_plugin.GetMutex();
  if (!mutex.TryLock()) return false;
  const bool started = startEditBufferRequest(false);
  if (started) m_flags.editBufferRequestPending.store(false);
  mutex.Unlock();
  return started;
}
