// Channel configuration and the block buffers of the plug-in base.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/IPluginBase.h"

namespace {

// Channels first .. first + n - 1 that exist.
void clip(int first, int n, int count, int* begin, int* end) {
  const int64_t b = std::max(first, 0);
  const int64_t e = std::min<int64_t>(static_cast<int64_t>(first) + std::max(n, 0), count);
  *begin = static_cast<int>(b);
  *end = static_cast<int>(std::max(b, e));
}

}  // namespace

void IPluginBase::ParseChannelIO(const char* channelIOStr) {
  mChannelIO.clear();
  mInChannels.clear();
  mOutChannels.clear();
  int nIn = 0, nOut = 0;
  for (const char* p = channelIOStr; p;) {
    int in = 0, out = 0;
    std::sscanf(p, "%d-%d", &in, &out);
    mChannelIO.push_back({in, out});
    nIn = std::max(nIn, in);
    nOut = std::max(nOut, out);
    p = std::strchr(p, ' ');
    if (p) ++p;
  }
  mInData.assign(static_cast<size_t>(nIn), nullptr);
  mOutData.assign(static_cast<size_t>(nOut), nullptr);
  for (int i = 0; i < nIn; ++i) {
    auto c = std::make_unique<InChannel>();
    c->mSrc = &mInData[static_cast<size_t>(i)];
    mInChannels.push_back(std::move(c));
  }
  for (int i = 0; i < nOut; ++i) {
    auto c = std::make_unique<OutChannel>();
    c->mDest = &mOutData[static_cast<size_t>(i)];
    mOutChannels.push_back(std::move(c));
  }
  // Every channel starts disconnected, reading and writing its scratch.
  SetInputChannelConnections(0, nIn, false);
  SetOutputChannelConnections(0, nOut, false);
}

const IPluginBase::ChannelCountPair* IPluginBase::GetChannelIO(int i) const {
  return (i >= 0 && i < NChannelIO()) ? &mChannelIO[static_cast<size_t>(i)] : nullptr;
}

bool IPluginBase::LegalIO(int nIn, int nOut) const {
  for (const ChannelCountPair& p : mChannelIO)
    if ((nIn < 0 || nIn == p.mNIn) && (nOut < 0 || nOut == p.mNOut)) return true;
  return false;
}

void IPluginBase::LimitToStereoIO() {
  if (NInChannels() > 2) SetInputChannelConnections(2, NInChannels() - 2, false);
  if (NOutChannels() > 2) SetOutputChannelConnections(2, NOutChannels() - 2, true);
}

void IPluginBase::SetInputChannelConnections(int first, int n, bool connected) {
  int b, e;
  clip(first, n, NInChannels(), &b, &e);
  for (int i = b; i < e; ++i) {
    InChannel* c = mInChannels[static_cast<size_t>(i)].get();
    c->mConnected = connected;
    if (!connected) *c->mSrc = c->mScratchBuf.data();
  }
}

void IPluginBase::SetOutputChannelConnections(int first, int n, bool connected) {
  int b, e;
  clip(first, n, NOutChannels(), &b, &e);
  for (int i = b; i < e; ++i) {
    OutChannel* c = mOutChannels[static_cast<size_t>(i)].get();
    c->mConnected = connected;
    if (!connected) *c->mDest = c->mScratchBuf.data();
  }
}

bool IPluginBase::IsInChannelConnected(int i) const {
  return i >= 0 && i < NInChannels() && mInChannels[static_cast<size_t>(i)]->mConnected;
}

bool IPluginBase::IsOutChannelConnected(int i) const {
  return i >= 0 && i < NOutChannels() && mOutChannels[static_cast<size_t>(i)]->mConnected;
}

namespace {

// Resizes a channel's scratch buffer (zeroed when asked) and keeps its data
// pointer on it when it read from or wrote to it before, or is disconnected.
template <class Channel>
void resizeScratch(Channel& c, double** dataPtr, size_t n, bool zero) {
  const bool pointed = *dataPtr == c.mScratchBuf.data();
  if (zero)
    c.mScratchBuf.assign(n, 0.0);
  else
    c.mScratchBuf.resize(n, 0.0);
  if (pointed || !c.mConnected) *dataPtr = c.mScratchBuf.data();
}

}  // namespace

void IPluginBase::EnsureScratch(int nFrames) {
  if (nFrames <= 0) return;
  const size_t need = static_cast<size_t>(nFrames);
  for (auto& c : mInChannels)
    if (c->mScratchBuf.size() < need) resizeScratch(*c, c->mSrc, need, false);
  for (auto& c : mOutChannels)
    if (c->mScratchBuf.size() < need) resizeScratch(*c, c->mDest, need, false);
}

void IPluginBase::SetBlockSize(int n) {
  if (n < 0 || n == mBlockSize) return;
  for (auto& c : mInChannels) resizeScratch(*c, c->mSrc, static_cast<size_t>(n), true);
  for (auto& c : mOutChannels) resizeScratch(*c, c->mDest, static_cast<size_t>(n), true);
  mBlockSize = n;
}

void IPluginBase::AttachInputBuffers(int first, int n, double** buffers, int /*nFrames*/) {
  int b, e;
  clip(first, n, NInChannels(), &b, &e);
  for (int i = b; i < e; ++i) {
    InChannel* c = mInChannels[static_cast<size_t>(i)].get();
    if (c->mConnected) *c->mSrc = buffers ? *buffers++ : nullptr;
  }
}

void IPluginBase::AttachInputBuffers(int first, int n, float** buffers, int nFrames) {
  EnsureScratch(nFrames);
  int b, e;
  clip(first, n, NInChannels(), &b, &e);
  for (int i = b; i < e; ++i) {
    InChannel* c = mInChannels[static_cast<size_t>(i)].get();
    if (!c->mConnected) continue;
    double* scratch = c->mScratchBuf.data();
    const float* src = buffers ? *buffers++ : nullptr;
    if (src)
      for (int s = 0; s < nFrames; ++s) scratch[s] = src[s];
    *c->mSrc = scratch;
  }
}

void IPluginBase::AttachOutputBuffers(int first, int n, double** buffers) {
  int b, e;
  clip(first, n, NOutChannels(), &b, &e);
  for (int i = b; i < e; ++i) {
    OutChannel* c = mOutChannels[static_cast<size_t>(i)].get();
    if (c->mConnected) *c->mDest = buffers ? *buffers++ : nullptr;
  }
}

void IPluginBase::AttachOutputBuffers(int first, int n, float** buffers) {
  int b, e;
  clip(first, n, NOutChannels(), &b, &e);
  for (int i = b; i < e; ++i) {
    OutChannel* c = mOutChannels[static_cast<size_t>(i)].get();
    if (!c->mConnected) continue;
    *c->mDest = c->mScratchBuf.data();
    c->mFDest = buffers ? *buffers++ : nullptr;
  }
}

void IPluginBase::ProcessBuffers(double, int nFrames) {
  if (nFrames < 0) nFrames = 0;
  EnsureScratch(nFrames);
  ProcessDoubleReplacing(mInData.data(), mOutData.data(), nFrames);
}

void IPluginBase::WriteFloatOutputs(int nFrames, bool accumulate) {
  for (auto& c : mOutChannels) {
    if (!c->mConnected || !c->mFDest || !*c->mDest) continue;
    const double* src = *c->mDest;
    for (int s = 0; s < nFrames; ++s) {
      if (accumulate)
        c->mFDest[s] += static_cast<float>(src[s]);
      else
        c->mFDest[s] = static_cast<float>(src[s]);
    }
  }
}

void IPluginBase::ProcessBuffers(float, int nFrames) {
  ProcessBuffers(0.0, nFrames);
  WriteFloatOutputs(nFrames, false);
}

void IPluginBase::ProcessBuffersAccumulating(float, int nFrames) {
  ProcessBuffers(0.0, nFrames);
  WriteFloatOutputs(nFrames, true);
}

namespace {

template <class T>
void copyThrough(T** inputs, T** outputs, int nIn, int nOut, int nFrames) {
  if (!outputs || nFrames <= 0) return;
  for (int i = 0; i < nOut; ++i) {
    T* out = outputs[i];
    if (!out) continue;
    const T* in = (inputs && i < nIn) ? inputs[i] : nullptr;
    if (in) {
      if (in != out) std::memmove(out, in, static_cast<size_t>(nFrames) * sizeof(T));
    } else {
      std::fill(out, out + nFrames, T(0));
    }
  }
}

}  // namespace

void IPluginBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
  copyThrough(inputs, outputs, NInChannels(), NOutChannels(), nFrames);
}

void IPluginBase::ProcessSingleReplacing(float** inputs, float** outputs, int nFrames) {
  copyThrough(inputs, outputs, NInChannels(), NOutChannels(), nFrames);
}

void IPluginBase::PassThroughBuffers(double, int nFrames) {
  if (nFrames < 0) nFrames = 0;
  EnsureScratch(nFrames);
  IPluginBase::ProcessDoubleReplacing(mInData.data(), mOutData.data(), nFrames);
}

void IPluginBase::PassThroughBuffers(float, int nFrames) {
  PassThroughBuffers(0.0, nFrames);
  WriteFloatOutputs(nFrames, false);
}

void IPluginBase::ZeroScratchBuffers() {
  for (auto& c : mInChannels) std::fill(c->mScratchBuf.begin(), c->mScratchBuf.end(), 0.0);
  for (auto& c : mOutChannels) std::fill(c->mScratchBuf.begin(), c->mScratchBuf.end(), 0.0);
}

void IPluginBase::SetInputLabel(int idx, const char* label) {
  if (idx >= 0 && idx < NInChannels()) mInChannels[static_cast<size_t>(idx)]->mLabel.Set(label);
}

void IPluginBase::SetOutputLabel(int idx, const char* label) {
  if (idx >= 0 && idx < NOutChannels()) mOutChannels[static_cast<size_t>(idx)]->mLabel.Set(label);
}

void IPluginBase::SetInputBusLabel(int idx, const char* label) {
  if (idx == 0 || idx == 1) SetInputLabel(idx, label);
}

void IPluginBase::SetOutputBusLabel(int idx, const char* label) {
  if (idx == 0 || idx == 1) SetOutputLabel(idx, label);
}

const char* IPluginBase::GetInputLabel(int idx) const {
  return (idx >= 0 && idx < NInChannels()) ? mInChannels[static_cast<size_t>(idx)]->mLabel.Get() : "";
}

const char* IPluginBase::GetOutputLabel(int idx) const {
  return (idx >= 0 && idx < NOutChannels()) ? mOutChannels[static_cast<size_t>(idx)]->mLabel.Get() : "";
}
