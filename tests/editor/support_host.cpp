#include "support_host.h"

#include <map>
#include <mutex>

namespace edtest {

std::mutex HostScript::sScriptsLock;

namespace {

constexpr double kInputSample = 0.25;
constexpr double kGarbage = 7.5;

std::map<AEffect*, HostScript*> sScripts;

}  // namespace

// Each asking thread gets its own copy: the clock's job asks from its
// thread while the next block is being set up.
intptr_t HostScript::answer(AEffect* effect, int32_t opcode, int32_t, intptr_t, void*, float) {
  if (opcode != audioMasterGetTime) return 0;
  thread_local VstTimeInfo copy;
  std::lock_guard<std::mutex> lock(sScriptsLock);
  auto it = sScripts.find(effect);
  if (it == sScripts.end()) return 0;
  copy = it->second->mTime;
  return reinterpret_cast<intptr_t>(&copy);
}

audioMasterCallback HostScript::callback() { return &answer; }

HostScript::HostScript(IPluginVST& plug) : mEffect(plug.GetAEffect()) {
  std::lock_guard<std::mutex> lock(sScriptsLock);
  sScripts[mEffect] = this;
}

HostScript::~HostScript() {
  std::lock_guard<std::mutex> lock(sScriptsLock);
  sScripts.erase(mEffect);
}

void HostScript::reset() {
  AEffect* effect = mEffect;
  effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
}

void HostScript::run(const Block& block) {
  AEffect* effect = mEffect;
  if (block.sampleRate != mRate) {
    mRate = block.sampleRate;
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(block.sampleRate));
  }
  if (block.blockSize != mBlockSize) {
    mBlockSize = block.blockSize;
    effect->dispatcher(effect, effSetBlockSize, 0, block.blockSize, nullptr, 0.0f);
  }
  {
    std::lock_guard<std::mutex> lock(sScriptsLock);
    mTime.sampleRate = block.sampleRate;
    mTime.tempo = block.tempo;
    mTime.flags = kVstTempoValid | (block.playing ? kVstTransportPlaying : 0);
  }

  const size_t frames = block.frames > 0 ? static_cast<size_t>(block.frames) : 0;
  const int channels = 2;
  mIn.assign(channels, std::vector<double>(frames + 1, kInputSample));
  mOut.assign(channels, std::vector<double>(frames + 1, kGarbage));
  double* in[channels] = {mIn[0].data(), mIn[1].data()};
  double* out[channels] = {mOut[0].data(), mOut[1].data()};
  effect->processDoubleReplacing(effect, in, out, block.frames);
  if (block.playing) {
    std::lock_guard<std::mutex> lock(sScriptsLock);
    mTime.samplePos += static_cast<double>(frames);
  }

  mSilent = mInputsKept = true;
  for (int c = 0; c < channels; ++c) {
    for (size_t i = 0; i < frames; ++i) {
      mSilent = mSilent && mOut[static_cast<size_t>(c)][i] == 0.0;
      mInputsKept = mInputsKept && mIn[static_cast<size_t>(c)][i] == kInputSample;
    }
    // Nothing is written past the block.
    mSilent = mSilent && mOut[static_cast<size_t>(c)][frames] == kGarbage;
  }
}

}  // namespace edtest
