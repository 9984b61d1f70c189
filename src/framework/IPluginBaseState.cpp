// Parameter values, presets and the chunks handed to the host.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/IPluginBase.h"

void IPluginBase::InitChunkWithIPluginVer(ByteChunk* chunk) {
  chunk->Clear();
  chunk->PutInt(kIPlugMagic);
  chunk->PutInt(kIPlugVersion);
}

int IPluginBase::GetIPluginVerFromChunk(const ByteChunk* chunk, int* pos) {
  int32_t magic = 0;
  const int p = chunk->GetInt(&magic, *pos);
  if (p < 0 || magic != kIPlugMagic) return 0;
  int32_t version = 0;
  *pos = chunk->GetInt(&version, p);
  return *pos < 0 ? 0 : version;
}

// ---------------------------------------------------------------------------
// Parameter values

// The index runs in 64 bits: first + n may lie beyond the int range; the
// loops end at the first index outside the store.
bool IPluginBase::SerializeRange(ByteChunk* chunk, int first, int n) {
  KIT_MutexLock lock(mMutex);
  for (int64_t i = first; i < static_cast<int64_t>(first) + n; ++i) {
    const IParam* p = GetParam(static_cast<int>(i));
    if (!p || !chunk->PutDouble(p->Value())) return false;
  }
  return true;
}

int IPluginBase::UnserializeRange(const ByteChunk* chunk, int startPos, int first, int n) {
  KIT_MutexLock lock(mMutex);
  int pos = startPos;
  for (int64_t i = first; i < static_cast<int64_t>(first) + n && pos >= 0; ++i) {
    IParam* p = GetParam(static_cast<int>(i));
    if (!p) break;
    double v = 0.0;
    pos = chunk->GetDouble(&v, pos);
    if (pos < 0 || !std::isfinite(v)) {
      pos = -1;
      v = 0.0;
    }
    p->SetClamped(v);
  }
  return pos;
}

bool IPluginBase::SerializeParams(ByteChunk* chunk) { return SerializeRange(chunk, 0, NAutomatedParams()); }

bool IPluginBase::SerializeNonAutomatedParams(ByteChunk* chunk, int n) {
  if (n < 1) return true;
  return SerializeRange(chunk, NAutomatedParams(), n);
}

int IPluginBase::UnserializeParams(const ByteChunk* chunk, int startPos) {
  if (startPos < 0) return startPos;
  return UnserializeRange(chunk, startPos, 0, NAutomatedParams());
}

int IPluginBase::UnserializeNonAutomatedParams(const ByteChunk* chunk, int startPos, int n) {
  if (startPos < 0 || n < 1) return startPos;
  return UnserializeRange(chunk, startPos, NAutomatedParams(), n);
}

bool IPluginBase::CompareState(const uint8_t* data, int nDoubles, int startPos) const {
  const int n = NAutomatedParams();
  if (n == 0) return true;
  if (!data || startPos < 0 || static_cast<int64_t>(startPos) + n > nDoubles) return false;
  bool same = true;
  for (int i = 0; i < n; ++i) {
    double stored;
    std::memcpy(&stored, data + (static_cast<size_t>(startPos) + static_cast<size_t>(i)) * sizeof(double),
                sizeof stored);
    const float a = static_cast<float>(mParams[static_cast<size_t>(i)]->Value());
    const float b = static_cast<float>(stored);
    if (!(std::fabs(a - b) < 0.00001f)) same = false;
  }
  return same;
}

// ---------------------------------------------------------------------------
// Presets

IPreset* IPluginBase::GetPreset(int idx) const {
  return (idx >= 0 && idx < NPresets()) ? mPresets[static_cast<size_t>(idx)].get() : nullptr;
}

void IPluginBase::MakeDefaultPreset(const char* name, int nPresets) {
  for (int k = 0; k < nPresets; ++k) {
    IPreset* target = nullptr;
    for (auto& p : mPresets)
      if (!p->mInitialized) {
        target = p.get();
        break;
      }
    if (!target) return;
    target->mInitialized = true;
    target->SetName(name ? name : "Empty");
    target->mChunk.Clear();
    SerializeState(&target->mChunk);
  }
}

void IPluginBase::EnsureDefaultPreset() {
  int uninitialised = 0;
  for (auto& p : mPresets)
    if (!p->mInitialized) ++uninitialised;
  MakeDefaultPreset("Empty", uninitialised);
}

bool IPluginBase::RestorePreset(int idx) {
  IPreset* p = GetPreset(idx);
  if (!p) return false;
  if (p->mInitialized) {
    if (UnserializeState(&p->mChunk, 0) < 1) return false;
  } else {
    int users = 0;
    for (auto& q : mPresets)
      if (std::strstr(q->mName, "user preset")) ++users;
    char name[IPreset::kNameLen];
    std::snprintf(name, sizeof name, "%s %d", "user preset", users + 1);
    p->mChunk.Clear();
    if (!SerializeState(&p->mChunk)) return false;
    p->mInitialized = true;
    p->SetName(name);
  }
  mCurrentPresetIdx = idx;
  if (mLoadRunning) {
    mLoadPresetsChanged = true;
  } else {
    PresetsChangedByHost();
    RedrawParamControls();
  }
  return true;
}

bool IPluginBase::RestorePreset(const char* name) {
  if (!name || !name[0]) return false;
  for (int i = 0; i < NPresets(); ++i)
    if (std::strcmp(mPresets[static_cast<size_t>(i)]->mName, name) == 0) return RestorePreset(i);
  return false;
}

const char* IPluginBase::GetPresetName(int idx) const {
  const IPreset* p = GetPreset(idx);
  return p ? p->mName : "";
}

void IPluginBase::ModifyCurrentPreset(const char* name) {
  IPreset* p = GetPreset(mCurrentPresetIdx);
  if (!p) return;
  p->mChunk.Clear();
  SerializeState(&p->mChunk);
  if (name && name[0]) p->SetName(name);
}

bool IPluginBase::SerializePresets(ByteChunk* chunk) {
  KIT_MutexLock lock(mMutex);
  for (auto& p : mPresets) {
    if (!chunk->PutStr(p->mName) || !chunk->PutBool(p->mInitialized)) return false;
    if (p->mInitialized && p->mChunk.Size() > 0 && !chunk->PutChunk(&p->mChunk)) return false;
  }
  return true;
}

int IPluginBase::UnserializePresets(const ByteChunk* chunk, int startPos) {
  KIT_MutexLock lock(mMutex);
  int pos = startPos;
  std::string name;  // a record without a valid name keeps the one before
  for (size_t i = 0; i < mPresets.size() && pos >= 0; ++i) {
    IPreset* p = mPresets[i].get();
    pos = chunk->GetStr(&name, pos);
    if (pos < 0) break;
    p->SetName(name.c_str());
    bool initialized = false;
    pos = chunk->GetBool(&initialized, pos);
    if (pos < 0) break;
    if (!initialized) {
      p->mInitialized = false;
      continue;
    }
    // Only a state that was read whole makes the preset initialised: an
    // initialised preset without its state could not be written back.
    pos = UnserializeState(chunk, pos);
    if (pos > 0) {
      p->mChunk.Clear();
      if (SerializeState(&p->mChunk)) p->mInitialized = true;
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}

void IPluginBase::PruneUninitializedPresets() {
  for (size_t i = mPresets.size(); i-- > 0;)
    if (!mPresets[i]->mInitialized) mPresets.erase(mPresets.begin() + static_cast<long>(i));
  if (mCurrentPresetIdx >= NPresets()) mCurrentPresetIdx = NPresets() > 0 ? NPresets() - 1 : 0;
}

// ---------------------------------------------------------------------------
// Chunks for the host

bool IPluginBase::SerializeChunkForHost(ByteChunk* chunk, bool isBank) {
  KIT_MutexLock lock(mMutex);
  InitChunkWithIPluginVer(chunk);
  if (chunk->Size() == 0) return false;
  if (isBank) {
    ModifyCurrentPreset();
    if (!SerializePresets(chunk)) return false;
  }
  return SerializeState(chunk);
}

bool IPluginBase::TakeSnapshot(StateSnapshot* s) const {
  s->values.reserve(mParams.size());
  for (const auto& p : mParams) s->values.push_back(p->Value());
  for (const auto& p : mPresets) {
    auto copy = std::make_unique<StateSnapshot::Preset>();
    copy->initialized = p->mInitialized;
    std::memcpy(copy->name, p->mName, sizeof copy->name);
    if (p->mChunk.Size() > 0 && copy->chunk.PutChunk(&p->mChunk) != p->mChunk.Size()) return false;
    s->presets.push_back(std::move(copy));
  }
  s->currentPreset = mCurrentPresetIdx;
  return true;
}

// Exact: values are set raw and the preset chunks swapped back whole.
void IPluginBase::RestoreSnapshot(StateSnapshot* s) {
  for (size_t i = 0; i < mParams.size() && i < s->values.size(); ++i) mParams[i]->Set(s->values[i]);
  for (size_t i = 0; i < mPresets.size() && i < s->presets.size(); ++i) {
    IPreset* p = mPresets[i].get();
    p->mInitialized = s->presets[i]->initialized;
    std::memcpy(p->mName, s->presets[i]->name, sizeof p->mName);
    p->mChunk.Swap(s->presets[i]->chunk);
  }
  mCurrentPresetIdx = s->currentPreset;
}

bool IPluginBase::LoadAllOrNothing(const std::function<bool()>& apply) {
  KIT_MutexLock lock(mMutex);
  StateSnapshot before;
  if (!TakeSnapshot(&before)) return false;
  mLoadRunning = true;
  mLoadPresetsChanged = false;
  OnStateLoadStarted();
  const bool ok = apply();
  mLoadRunning = false;
  if (!ok) {
    RestoreSnapshot(&before);
    OnStateLoadEnded(false);
    return false;
  }
  OnStateLoadEnded(true);
  if (mLoadPresetsChanged) PresetsChangedByHost();
  RedrawParamControls();
  return true;
}

bool IPluginBase::UnserializeChunkFromHost(const ByteChunk* chunk, bool isBank) {
  return LoadAllOrNothing([&] {
    int pos = 0;
    const int version = GetIPluginVerFromChunk(chunk, &pos);
    if (pos < 0) return false;
    if (isBank && version >= kIPlugVersion) {
      pos = UnserializePresets(chunk, pos);
      return UnserializeState(chunk, pos) >= 0;
    }
    if (UnserializeState(chunk, pos) < 0) return false;
    ModifyCurrentPreset();
    return true;
  });
}
