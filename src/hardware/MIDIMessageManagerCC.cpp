// Incoming channel messages from the instrument and from the host: the
// pass-through filters, control changes to their controls, program changes
// to part requests, the activity light and forwarding to the instrument.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "framework/IControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "shim/winbase.h"

namespace {

constexpr int kHighestProgram = 100;

// The pass-through parameters of each kind of channel message.
struct PassThrough {
  IMidiMsg::EStatusMsg status;
  int fromDevice;
  int fromHost;
};
constexpr PassThrough kPassThrough[] = {
    {IMidiMsg::kNoteOff, kMIDIFilterHWNotePassThrough, kMIDIFilterDAWNotePassThrough},
    {IMidiMsg::kNoteOn, kMIDIFilterHWNotePassThrough, kMIDIFilterDAWNotePassThrough},
    {IMidiMsg::kPolyAftertouch, kMIDIFilterHWPAPassThrough, kMIDIFilterDAWPAPassThrough},
    {IMidiMsg::kControlChange, kMIDIFilterHWCCPassThrough, kMIDIFilterDAWCCPassThrough},
    {IMidiMsg::kProgramChange, kMIDIFilterHWPCPassThrough, kMIDIFilterDAWPCPassThrough},
    {IMidiMsg::kChannelAftertouch, kMIDIFilterHWCAPassThrough, kMIDIFilterDAWCAPassThrough},
    {IMidiMsg::kPitchWheel, kMIDIFilterHWPPPassThrough, kMIDIFilterDAWPPPassThrough},
};

// The instrument's codings of control changes.
constexpr int kCCArpClock = 105;       // sent as value + 1
constexpr int kCCLfo1Shape = 25;       // kLFO1ShapeClock's whole value; above 4 the clocked shapes
constexpr int kLfoClockedShapes = 5;
constexpr int kCCOsc2Semitone = 36;    // sent as value + 16
constexpr int kCCOsc3Semitone = 42;
constexpr int kCCOsc1Semitone = 70;
constexpr int kSemitoneOffset = 16;
constexpr int kOctaveStep = 12;
constexpr int kOctaveMarks = 9;        // 16, 28, .. 112 mark whole octaves
constexpr int kArpTimingOffset = 14;   // swing and delay: value / 1.27 + 14
constexpr double kArpTimingScale = 1.27;
constexpr int kMainTabCCs[] = {34, 38, 44};

}  // namespace

bool MIDIMessageManager::passes(const IMidiMsg& msg, bool fromHost) const {
  const IMidiMsg::EStatusMsg status = msg.StatusMsg();
  for (const PassThrough& p : kPassThrough) {
    if (p.status != status) continue;
    const int param = fromHost ? p.fromHost : p.fromDevice;
    return !m_flags.blocked[param - kMIDIFilterDAWCCPassThrough].load();
  }
  return false;
}

void MIDIMessageManager::lightForInput(const IMidiMsg& msg) {
  if (!m_flags.lightTracksInput.load() || m_plugin.GetGraphicsBase() == nullptr || m_flags.lightOn.load()) return;
  if (paramValue(kGlobalMidiChannel) != msg.Channel() + 1) return;
  setParameterFromPlug(kMIDILed, 1.0);
  m_flags.lightOn.store(true);
  m_flags.lightTick.store(GetTickCount());
}

void MIDIMessageManager::ProcessMidiMsgFromDevice(IMidiMsg* msg) {
  if (msg != nullptr) channelMessage(*msg, false, 0);
}

void MIDIMessageManager::ProcessMidiMsgFromDAW(IMidiMsg* msg, int channel) {
  if (msg != nullptr && m_flags.midiIOSet.load()) channelMessage(*msg, true, channel);
}

void MIDIMessageManager::channelMessage(IMidiMsg& msg, bool fromHost, int channel) {
  try {
    EditorLock lock(*this);
    if (!lock.held()) return;
    const IMidiMsg::EStatusMsg status = msg.StatusMsg();
    // A program change would disarm the collector and move the slot a
    // running librarian request stores into.
    if (status == IMidiMsg::kProgramChange && m_librarianRequestRunning.load()) return;
    m_fromDAW.store(fromHost);
    if (status == IMidiMsg::kNone) return;
    if (status == IMidiMsg::kProgramChange) {
      // The instrument's program change ends with its steps; the host's goes
      // on to the light and the instrument.
      if (!programChange(msg, fromHost, channel) || !fromHost) return;
    } else {
      if (!passes(msg, fromHost)) return;
      if (status == IMidiMsg::kControlChange)
        getLegacyCCparam(msg.mData1, fromHost ? msg.Channel() + 1 : 0, msg.mData2, false, !fromHost);
    }
    lightForInput(msg);
    // With local control off the instrument's own playing comes back to it;
    // what the host plays always goes on.
    if (fromHost || !m_flags.localControl.load()) m_editor.MIDIOutRoutingSwitch(&msg);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "incoming channel message: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "incoming channel message: unknown exception\n");
  }
}

bool MIDIMessageManager::programChange(const IMidiMsg& msg, bool fromHost, int channel) {
  const int program = std::min<int>(msg.mData1, kHighestProgram);
  // The program is taken before the filter: the value alone, no control.
  if (IParam* p = m_plugin.GetParam(kCurrentPatch)) p->SetClamped(program);
  if (!passes(msg, fromHost) || paramValue(kPartLock) == 1.0) return false;
  m_lastProgramChangeTick.store(GetTickCount());
  // Sends it on and paces; the editor lock is let go for the pause.
  if (fromHost) m_editor.SendProgramChangeCommand(program, channel);
  // Without an output port the request could only run into its time-out,
  // holding the job thread and dropping incoming messages meanwhile: the
  // slot is still selected, nothing is asked.
  if (m_flags.midiIOSet.load()) {
    m_requestPending.store(true);
    m_request.active = false;
    startPartRequest(program);
  }
  // The slots run 0..99: program 100 selects the last one.
  m_slots.selectProgram(std::min(program, ILibrarianSlots::kSlots - 1));
  return true;
}

void MIDIMessageManager::getLegacyCCparam(int ccNumber, int channel, int value, bool refreshMainTab,
                                          bool fromDevice) {
  IControl* control = m_ccControls.findControl(0, ccNumber, 0);
  if (control == nullptr) control = m_ccControls.findControl(channel, ccNumber, 1);
  if (control == nullptr) control = m_ccControls.findControl(channel, ccNumber, 2);
  if (control == nullptr) return;
  m_applyingIncoming.store(false);
  const int param = control->ParamIdx();
  const IParam* p = m_plugin.GetParam(param);
  if (p == nullptr) return;

  double v = value;
  bool mainTab = refreshMainTab;
  int octaveIndicator = -1;
  if (fromDevice) {
    m_applyingIncoming.store(true);
    if (param == kGlobalLocalControl) {
      m_flags.localControl.store(value != 0);
    } else if (param == kArpSwing || param == kArpDelay) {
      v = std::clamp(std::round((value - kArpTimingOffset) * kArpTimingScale), 0.0, 127.0);
    } else if (ccNumber == kCCArpClock) {
      v = value - 1;
    } else if (std::find(std::begin(kMainTabCCs), std::end(kMainTabCCs), ccNumber) != std::end(kMainTabCCs)) {
      mainTab = true;
    } else if (ccNumber == kCCOsc2Semitone || ccNumber == kCCOsc3Semitone || ccNumber == kCCOsc1Semitone) {
      v = value - kSemitoneOffset;
      mainTab = true;
      if (ccNumber == kCCOsc2Semitone) octaveIndicator = kOscillator2OctaveIndicator;
      if (ccNumber == kCCOsc3Semitone) octaveIndicator = kOscillator3OctaveIndicator;
    } else if (ccNumber == kCCLfo1Shape) {
      setParameterFromPlug(kLFO1ShapeClock, value);
      if (value >= kLfoClockedShapes) v = value - kLfoClockedShapes;
      mainTab = true;
    }
  }

  // Values the coding leaves outside the range are held to it.
  if (const auto normalised = incomingNormalised(v, p->GetMin(), p->GetMax()))
    control->SetValueFromHardware(*normalised);
  if (octaveIndicator >= 0) {
    const int above = value - kSemitoneOffset;
    const bool octave = above >= 0 && above % kOctaveStep == 0 && above / kOctaveStep < kOctaveMarks;
    if (octave) {
      setParameterFromPlug(octaveIndicator, 1.0);
    } else if (paramValue(octaveIndicator) == 1.0) {
      setParameterFromPlug(octaveIndicator, 0.0);
    }
  }
  if (mainTab) m_plugin.OnParamChange(kMainTab);
  m_applyingIncoming.store(false);
}
