// The audio hooks, which serve as the editor's clock: Reset, and the block
// callback that follows the host's transport and tempo, drains the timed
// MIDI queue, sends the armed all-sounds-off and puts the activity light
// out. The plug-in makes no sound: its outputs are silent.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "editor/LayerTools.h"
#include "editor/Tavrin.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "framework/ITextControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "shim/winbase.h"

namespace {

constexpr const char* kResetName = "Brannick Tavrin Plug-in";
constexpr int kTempoIndexOffset = 65;  // the tempo list starts at 65 BPM
constexpr uint32_t kLightMillis = 100;

using layertools::setText;

}  // namespace

void Tavrin::Reset() {
  KIT_MutexLock lock(GetMutex());
  if (GetSampleRate() != mSampleRate) mSampleRate = GetSampleRate();
  mMidiQueue.Resize(GetBlockSize());
  mAllSoundsOffArmed.store(true);
  // The stored block size and the output offset are one number: the first
  // reset after the host told its block size sets it, kAdjustDAWOffset and
  // a loaded state change it. The size the binding starts with is no
  // host's.
  if (mOutputOffset.load() == 0 && mHostBlockSizeKnown.load()) mOutputOffset.store(GetBlockSize());
  std::ostringstream rate;
  rate << mSampleRate;
  log("RESET: Host sample rate " + rate.str() + "Hz");
  char version[64] = {0};
  GetEffectVersionStr(version, sizeof version);
  log(std::string("RESET: plug-in ") + version);
  if (mFlags.transferInProgress.load()) return;
  setText(rememberedControl(kControlDisplayName), kResetName);
  const std::string versionText = std::string(version) + (mDebugLogOn ? " 10-Oct-2020" : "");
  setText(rememberedControl(kControlDisplayValue), versionText.c_str());
  setText(rememberedControl(kControlDisplayCategory), "NONE");
  setText(rememberedControl(kPatchName), "-- INIT --");
  setText(rememberedControl(kControlDisplayCC), "---");
}

void Tavrin::SetBlockSize(int n) {
  IPluginVST::SetBlockSize(n);
  if (n >= 0 && mEditorReady.load()) mHostBlockSizeKnown.store(true);
}

std::optional<int> Tavrin::hostTempoIndex(double bpm) {
  // Truncating a tempo that is not a number or outside the int range would
  // be undefined; such a tempo is not taken.
  if (!(bpm > static_cast<double>(INT_MIN) - 1.0 && bpm < static_cast<double>(INT_MAX) + 1.0)) return std::nullopt;
  const int64_t index = static_cast<int64_t>(bpm) - kTempoIndexOffset;
  if (index < INT_MIN) return std::nullopt;
  return static_cast<int>(index);
}

bool Tavrin::outputDelayText(char* out, size_t size, double sampleRate, int drainLength, int hostBlockSize) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (!(sampleRate > 0.0) || drainLength < 1) return false;
  const double ms = 1000.0 / (sampleRate / drainLength);
  if (!(ms < static_cast<double>(INT_MAX))) return false;
  std::snprintf(out, size, "%dms|%dbfr", static_cast<int>(ms), hostBlockSize);
  return true;
}

void Tavrin::lightOff() {
  if (IGraphicsBase* graphics = GetGraphicsBase()) graphics->SetParameterFromPlug(kMIDILed, 0.0, false);
  mFlags.lightOn.store(false);
}

void Tavrin::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
  (void)inputs;
  silenceOutputs(outputs, nFrames);
  // Held by the host binding already; taking it again does not wait.
  KIT_MutexLock lock(GetMutex());
  GetTime(&mTimeInfo);
  if (!mFlags.midiIOSet.load()) {
    mBlockJobs.store(0);
    return;
  }
  const bool running = mTimeInfo.mTransportIsRunning;
  const bool routed = mFlags.queueRouting.load();
  unsigned started = followTransport(running, routed);
  followHostTempo();
  const int drain = drainLength(routed, nFrames);
  drainQueueAndLight(drain, running, routed);
  if (startDeferredRequest()) started |= 1u << SenderJob::kEditBufferRequest;
  mBlockJobs.store(started);
}

void Tavrin::silenceOutputs(double** outputs, int nFrames) {
  // The host's own buffers would carry their stale samples out as sound.
  if (outputs == nullptr || nFrames <= 0) return;
  for (int c = 0; c < NOutChannels(); ++c) {
    if (outputs[c] != nullptr) std::fill(outputs[c], outputs[c] + nFrames, 0.0);
  }
}

unsigned Tavrin::followTransport(bool running, bool routed) {
  // The transport's edges start and stop the clock, and the timing clock's
  // loop starts once; the hub keeps the flags of both.
  mTransportPlaying.store(running);
  return mHub ? mHub->onBlockStart(running, routed) : 0;
}

void Tavrin::followHostTempo() {
  // The host's tempo goes into kArpTempo once per change of the index.
  const IParam* overrideTempo = GetParam(kOverrideTempo);
  if (!overrideTempo || overrideTempo->Value() != 1.0) return;
  const std::optional<int> index = hostTempoIndex(GetTempo());
  if (!index) return;
  if (*index != mArpTempoIndex.load()) {
    mArpTempoIndex.store(*index);
    mHostTempoSynced = false;
    log("PROCESSOR: Host tempo is out of sync!");
  }
  if (mHostTempoSynced) return;
  mHostTempoSynced = true;
  if (mDebugLogOn) log("PROCESSOR: Host tempo synced to " + std::to_string(*index + kTempoIndexOffset) + "BPM");
  if (IGraphicsBase* graphics = GetGraphicsBase()) {
    graphics->SetParameterFromPlug(kArpTempo, *index, false);
  } else if (IParam* tempo = GetParam(kArpTempo)) {
    tempo->SetClamped(*index);
  }
}

int Tavrin::drainLength(bool routed, int nFrames) {
  // While queue routing is on the queue drains over the output offset,
  // else over the block.
  const int drain = routed ? mOutputOffset.load() : nFrames;
  if (!routed || !GetGUI()) return drain;
  // The text is set only when it changes: a block takes no text work else.
  char text[sizeof mDelayText];
  if (outputDelayText(text, sizeof text, mSampleRate, drain, GetBlockSize()) && std::strcmp(text, mDelayText) != 0) {
    std::memcpy(mDelayText, text, sizeof mDelayText);
    setText(rememberedControl(kControlDisplayMIDIOutDelay), mDelayText);
  }
  return drain;
}

void Tavrin::drainQueueAndLight(int drain, bool running, bool routed) {
  // The light is tested at every position; the clock is read again only
  // when the light was lit after the last reading.
  const bool lightTimer = GetGraphicsBase() != nullptr;
  uint32_t now = GetTickCount();
  uint32_t nowFor = mFlags.lightTick.load();
  for (int s = 0; s < drain; ++s) {
    sendDueMessages(s, routed);
    if (!running && mAllSoundsOffArmed.load()) {
      mAllSoundsOffArmed.store(false);
      AllSoundsOff();
      if (mFlags.lightOn.load()) lightOff();
    }
    if (lightTimer && mFlags.lightOn.load()) {
      const uint32_t litAt = mFlags.lightTick.load();
      if (litAt != nowFor) {
        now = GetTickCount();
        nowFor = litAt;
      }
      if (static_cast<uint32_t>(now - litAt) > kLightMillis) lightOff();
    }
  }
  if (drain > 0) mMidiQueue.Flush(drain);
}

void Tavrin::sendDueMessages(int position, bool routed) {
  while (const IMidiMsg* next = mMidiQueue.Peek()) {
    if (next->mOffset > position) break;
    IMidiMsg msg = *next;
    mMidiQueue.Remove();
    if (routed) sendMidiMsgLocked(&msg);
  }
}

bool Tavrin::startDeferredRequest() {
  // The edit-buffer request a randomize left, once the job thread is idle.
  return mHub && mHub->onBlockEnd();
}
