// The patch randomizer: a table of random bytes laid out as one sound dump,
// mapped into each sound parameter's range, section by section unless its
// lock is on.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"

namespace {

// Entry 96 + n of the table is pattern step n (1..16).
constexpr int kFirstStepEntry = 97;
constexpr int kLastStepEntry = 112;
// Entries 61..84 are the modulation matrix, entry e setting parameter e - 2.
constexpr int kFirstModEntry = 61;
constexpr int kLastModEntry = 84;

struct Rule {
  int entry;
  int lock;
  int param;
};

// Every other entry that sets a parameter, in entry order.
constexpr Rule kRules[] = {
    {7, kSectionLockOsc1, kOscillator1Shape},          {8, kSectionLockOsc1, kOscillator1Pulsewidth},
    {9, kSectionLockOsc1, kOscillator1Semitone},       {10, kSectionLockOsc1, kOscillator1Tune},
    {11, kSectionLockOsc1, kOscillator1Keytrack},      {12, kSectionLockMixer, kOscillator1Level},
    {13, kSectionLockOsc2, kOscillator2Shape},         {14, kSectionLockOsc2, kOscillator2Pulsewidth},
    {15, kSectionLockOsc2, kOscillator2Semitone},      {16, kSectionLockOsc2, kOscillator2Tune},
    {17, kSectionLockOsc2, kOscillator2Keytrack},      {18, kSectionLockMixer, kOscillator2Level},
    {19, kSectionLockOsc3, kOscillator3Shape},         {20, kSectionLockOsc3, kOscillator3Routing},
    {21, kSectionLockOsc3, kOscillator3Semitone},      {22, kSectionLockOsc3, kOscillator3Tune},
    {23, kSectionLockOsc2, kOscillator2Sync},          {24, kSectionLockMixer, kOscillator3Level},
    {25, kSectionLockLFO1, kLFO1Speed},                {26, kSectionLockLFO1, kLFO1Shape},
    {27, kSectionLockLFO2, kLFO2Speed},                {28, kSectionLockLFO2, kLFO2Delay},
    {29, kSectionLockPorta, kPortamento},              {30, kSectionLockPorta, kPortamentoMode},
    {31, kSectionLockEg1, kEnvelope1Attack},           {32, kSectionLockEg1, kEnvelope1Decay},
    {33, kSectionLockEg1, kEnvelope1Sustain},          {34, kSectionLockEg1, kEnvelope1Release},
    {35, kSectionLockEg1, kEnvelope1Loop},             {36, kSectionLockEg1, kEnvelope1Trigger},
    {37, kSectionLockEg2, kEnvelope2Attack},           {38, kSectionLockEg2, kEnvelope2Decay},
    {39, kSectionLockEg2, kEnvelope2Sustain},          {40, kSectionLockEg2, kEnvelope2Release},
    {41, kSectionLockEg2, kEnvelope2Loop},             {42, kSectionLockEg2, kEnvelope2Trigger},
    {43, kSectionLockArp, kArpOnOff},                  {44, kSectionLockArp, kArpRange},
    {45, kSectionLockArp, kArpTempo},                  {47, kSectionLockArp, kArpPattern},
    {48, kSectionLockArp, kArpMode},                   {49, kSectionLockFilter, kFilterCutoff},
    {50, kSectionLockFilter, kFilterResonance},        {51, kSectionLockFilter, kFilterCutoffEnv1Sens},
    {52, kSectionLockFilter, kFilterType},             {53, kSectionLockFilter, kFilterCutoffKeytrack},
    {54, kSectionLockFilter, kFilterCutoffVeloSens},   {55, kSectionLockFilter, kVolumeDrive},
    {56, kSectionLockFilter, kVolumeDriveCurve},       {57, kSectionLockAmp, kPanning},
    {58, kSectionLockMixer, kNoiseLevel},              {59, kSectionLockAmp, kVolume},
    {60, kSectionLockAmp, kVolumeVeloSense},           {85, kSectionLockPorta, kUnisonDetune},
    {86, kSectionLockOsc1, kOscillator1EnvAFade},      {87, kSectionLockOsc2, kOscillator2EnvAFade},
    {92, kSectionLockPorta, kPitchBendScaleUp},        {93, kSectionLockPorta, kPitchBendScaleDown},
    {94, kSectionLockArp, kStepDuration},              {95, kSectionLockArp, kArpSwing},
    {96, kSectionLockArp, kArpDelay},                  {113, kSectionLockArp, kPatternLength},
    {114, kSectionLockArp, kAccentControl},
};

std::optional<Rule> ruleFor(int entry) {
  if (entry >= kFirstModEntry && entry <= kLastModEntry) return Rule{entry, kSectionLockModMatrix, entry - 2};
  if (entry >= kFirstStepEntry && entry <= kLastStepEntry)
    return Rule{entry, kSectionLockArp, kPatternStep01 + entry - kFirstStepEntry};
  for (const Rule& r : kRules)
    if (r.entry == entry) return r;
  return std::nullopt;
}

// A finite double truncated toward zero and held to the int range.
int64_t truncatedInt(double v) {
  const double t = std::trunc(v);
  if (t >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (t <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int64_t>(t);
}

}  // namespace

void MIDIMessageManager::randomGenerator() {
  m_random.seed(static_cast<std::mt19937::result_type>(platform::wallMicros() / 1'000'000u));
  for (int i = 0; i < kRandomEntries; ++i) m_randomTable[static_cast<size_t>(i)] = static_cast<int32_t>(m_random() % 256u);
}

std::optional<int> MIDIMessageManager::randomizer(int param, int entry) const {
  const IParam* p = m_plugin.GetParam(param);
  if (!p || entry < 0 || entry >= static_cast<int>(kRandomTableSize)) return std::nullopt;
  return randomizedValue(m_randomTable[static_cast<size_t>(entry)], p->GetMin(), p->GetMax());
}

std::optional<int> MIDIMessageManager::randomizedValue(int value, double min, double max) {
  if (!std::isfinite(max) || !std::isfinite(min)) return std::nullopt;
  const int64_t step = truncatedInt(max);
  // With a step of 0 or less the value would never come down into range.
  if (step <= 0) return std::nullopt;
  const int64_t range = truncatedInt(max - min);
  const int64_t take = step == 1 ? 2 : step;
  int64_t v = value;
  // Takes `take` from v while v is above range, in one step.
  if (v > range) v -= (v - range + take - 1) / take * take;
  return static_cast<int>(std::max<int64_t>(v, std::numeric_limits<int>::min()));
}

void MIDIMessageManager::randomizePatchSettings(int) {
  double locks[kSectionLockCount];
  for (int i = 0; i < kSectionLockCount; ++i) locks[i] = paramValue(kFirstSectionLock + i);
  for (int entry = 0; entry < kRandomEntries; ++entry) {
    const std::optional<Rule> rule = ruleFor(entry);
    if (!rule || locks[rule->lock - kFirstSectionLock] == 1.0) continue;
    const std::optional<int> v = randomizer(rule->param, entry);
    if (!v) continue;
    if (entry >= kFirstStepEntry && entry <= kLastStepEntry) {
      // Split as the dump's step byte: event, time, glide.
      const int step = entry - kFirstStepEntry;
      setParameterFromPlug(kPatternStep01Event + step, *v % 16);
      setParameterFromPlug(kPatternStep01Time + step, (*v % 64) / 16);
      setParameterFromPlug(kPatternStep01Glide + step, *v / 64);
      continue;
    }
    setParameterFromPlug(rule->param, *v);
    if (rule->param == kLFO1Shape) {
      // The dump carries the shape through kLFO1ShapeClock, whose values
      // from 5 up are the clocked shapes.
      const double shape = paramValue(kLFO1Shape);
      setParameterFromPlug(kLFO1ShapeClock, paramValue(kLFO1ShapeClock) >= 5.0 ? shape + 5.0 : shape);
    }
  }
}

void MIDIMessageManager::randomizeCommand(double value) {
  if (!(value >= 1.0 && value < 2.0) || !(paramValue(kMainTab) > 0.0)) return;
  randomGenerator();
  randomizePatchSettings(0);
  m_flags.editBufferRequestPending.store(true);
  // The device form: the global step runs first when it is due.
  startJob(SenderJob::sendSound(false, false, m_flags));
  // The pause lets go of the editor lock at every level, so that the dump
  // job and the other threads get on meanwhile.
  {
    KIT_MutexLetGo unlocked(m_plugin.GetMutex());
    platform::sleepMicrosUnless(500'000, [this] { return stopping(); });
  }
  m_editor.setStatusText(kRandomizedText);
  setParameterFromPlug(kRandomize, 0.0);
}
