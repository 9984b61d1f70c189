// The clock jobs: Start (11), Stop (13) and the timing-clock loop (12).
#include <cstdint>
#include <vector>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MIDIMessageSender.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"

bool MIDIMessageSender::sendClockByte(uint8_t byte) {
  const std::vector<uint8_t> bytes{byte};
  return m_hub.plugin().SendMidiSysex2(bytes);
}

void MIDIMessageSender::startMIDIClockOutput() {
  if (m_hub.flags().clockStartStopEnabled.load()) sendClockByte(sysex::kClockStart);
}

void MIDIMessageSender::stopMIDIClockOutput() {
  if (m_hub.flags().clockStartStopEnabled.load()) sendClockByte(sysex::kClockStop);
}

void MIDIMessageSender::sendContinuousMIDIClock(int) {
  SharedFlags& flags = m_hub.flags();
  if (!flags.timingClockEnabled.load()) return;
  std::optional<int64_t> interval;
  if (!locked([&] {
        const int tempo = MIDIMessageManager::clockTempo(m_hub.paramValue(kOverrideTempo), m_hub.plugin().GetTempo(),
                                                         m_hub.paramValue(kArpTempo), m_hub.tempoValues());
        interval = MIDIMessageManager::clockIntervalNanos(tempo);
      }) ||
      !interval)
    return;

  // The loop ends when the clock is reset, the timing clock disabled (a
  // block may have let the clock run again before this loop saw the reset),
  // the hub stops, MIDI I/O is unset or a send is refused.
  auto ended = [&] { return !m_hub.clockRunning() || !flags.timingClockEnabled.load() || m_hub.stopping(); };
  auto tick = [&] {
    if (flags.midiIOSet.load() && sendClockByte(sysex::kClockTick)) return true;
    m_hub.resetContinuousClock(true);
    return false;
  };
  if (!tick()) return;
  // Each period is timed from the previous send; lateness is not made up.
  uint64_t last = platform::monotonicNanos();
  while (!ended()) {
    const int64_t elapsed = static_cast<int64_t>(platform::monotonicNanos() - last);
    const int64_t remaining = *interval - elapsed;
    if (remaining > 0) {
      // Sleep while more than the margin remains, then poll.
      const int64_t sleepNs = remaining - m_hub.clockSpinMarginNanos();
      if (sleepNs > 0) platform::sleepMicrosUnless(static_cast<uint64_t>(sleepNs + 999) / 1000, ended);
      continue;
    }
    if (!tick()) return;
    last = platform::monotonicNanos();
  }
}
