#include "host/IPluginVST.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/IGraphics.h"
#include "host/IGraphicsHeadless.h"
#include "kit/utf8.h"

std::atomic<int> IPluginVST::sLiveInstances{0};

int VSTSpkrArrType(int nChannels) {
  if (nChannels >= 0 && nChannels <= 2) return nChannels - 1;
  return kSpeakerArrUserDefined;
}

// ---------------------------------------------------------------------------
// Graphics factory

namespace {

IGraphics* makeHeadless(IPluginVST* plug, int w, int h, int fps) { return new IGraphicsHeadless(plug, w, h, fps); }

std::atomic<GraphicsFactory> g_graphicsFactory{&makeHeadless};

}  // namespace

IGraphics* MakeGraphics(IPluginVST* plug, int w, int h, int fps) { return g_graphicsFactory.load()(plug, w, h, fps); }

void SetGraphicsFactory(GraphicsFactory factory) { g_graphicsFactory.store(factory ? factory : &makeHeadless); }

// ---------------------------------------------------------------------------
// Construction

IPluginVST::IPluginVST(IPluginInstanceInfo info, int nParams, const char* channelIOStr, int nPresets,
                       const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                       int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                       int /*plugScChans*/)
    : IPluginBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID, mfrID,
                  latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIVST2),
      mHostCallback(info.mVSTHostCallback),
      mDoesMidi(plugDoesMidi) {
  ++sLiveInstances;
}

IPluginVST::~IPluginVST() { --sLiveInstances; }

void IPluginVST::initialize(IPluginInstanceInfo info, int nParams, int nTotalParams, const char* channelIOStr,
                            int nPresets, const char* effectName, const char* productName, const char* mfrName,
                            int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                            bool plugDoesChunks, bool plugIsInst, int /*plugScChans*/) {
  IPluginBase::initialize(nParams, nTotalParams, channelIOStr, nPresets, effectName, productName, mfrName,
                          vendorVersion, uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst);
  mHostCallback = info.mVSTHostCallback;
  mDoesMidi = plugDoesMidi;
  mHasVSTExtensions = 0;

  mAEffect = AEffect{};
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = &VSTDispatcher;
  mAEffect.process = &VSTProcess;
  mAEffect.processReplacing = &VSTProcessReplacing;
  mAEffect.processDoubleReplacing = &VSTProcessDoubleReplacing;
  mAEffect.setParameter = &VSTSetParameter;
  mAEffect.getParameter = &VSTGetParameter;
  mAEffect.numPrograms = nPresets;
  mAEffect.numParams = NAutomatedParams();
  mAEffect.uniqueID = uniqueID;
  mAEffect.version = GetDecimalVersion(vendorVersion);
  mAEffect.ioRatio = 1.0f;
  mAEffect.initialDelay = latency;
  mAEffect.object = this;
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (plugDoesChunks) mAEffect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (plugIsInst) mAEffect.flags |= effFlagsIsSynth;

  mEditRect = ERect{};
  SetChannelCounts(NInChannels(), NOutChannels());
  SetInputChannelConnections(0, NInChannels(), true);
  SetOutputChannelConnections(0, NOutChannels(), true);
  SetBlockSize(1024);
}

void IPluginVST::SetChannelCounts(int nIn, int nOut) {
  mAEffect.numInputs = nIn;
  mAEffect.numOutputs = nOut;
  mInputSpkrArr = VstSpeakerArrangement{};
  mOutputSpkrArr = VstSpeakerArrangement{};
  mInputSpkrArr.numChannels = nIn;
  mInputSpkrArr.type = VSTSpkrArrType(nIn);
  mOutputSpkrArr.numChannels = nOut;
  mOutputSpkrArr.type = VSTSpkrArrType(nOut);
}

// ---------------------------------------------------------------------------
// Entry

AEffect* IPluginVST::MakeEffect(audioMasterCallback host, IPluginVST* (*make)(IPluginInstanceInfo)) {
  // Made on first use, gone with the module.
  static KIT_Mutex creation;
  try {
    KIT_MutexLock lock(creation);
    IPluginInstanceInfo info;
    info.mVSTHostCallback = host;
    IPluginVST* plug = make ? make(info) : nullptr;
    if (!plug) return nullptr;
    try {
      plug->EnsureDefaultPreset();
    } catch (...) {
      delete plug;
      return nullptr;
    }
    if (plug->mAEffect.numPrograms < 1) plug->mAEffect.numPrograms = 1;
    return &plug->mAEffect;
  } catch (...) {
    return nullptr;
  }
}

// ---------------------------------------------------------------------------
// Callbacks

namespace {

IPluginVST* plugOf(AEffect* effect) { return effect ? static_cast<IPluginVST*>(effect->object) : nullptr; }

// Copies text into a host buffer of n bytes, cut at a character boundary;
// 1 when there was a buffer.
intptr_t copyOut(void* ptr, size_t n, const char* text) {
  if (!ptr) return 0;
  KIT_CopyField(static_cast<char*>(ptr), n, text ? text : "");
  return 1;
}

}  // namespace

intptr_t IPluginVST::VSTDispatcher(AEffect* effect, int32_t opCode, int32_t index, intptr_t value, void* ptr,
                                   float opt) {
  IPluginVST* plug = plugOf(effect);
  if (!plug) return 0;
  if (opCode == effClose) {
    // The mutex lives in the object: it is given up before the object goes.
    { KIT_MutexLock lock(plug->GetMutex()); }
    delete plug;
    return 0;
  }
  KIT_MutexLock lock(plug->GetMutex());
  try {
    return plug->Dispatch(opCode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

float IPluginVST::VSTGetParameter(AEffect* effect, int32_t index) {
  IPluginVST* plug = plugOf(effect);
  if (!plug) return 0.0f;
  KIT_MutexLock lock(plug->GetMutex());
  if (!plug->HostVisible(index)) return 0.0f;
  return static_cast<float>(plug->GetParam(index)->GetNormalized());
}

void IPluginVST::VSTSetParameter(AEffect* effect, int32_t index, float value) {
  IPluginVST* plug = plugOf(effect);
  if (!plug) return;
  KIT_MutexLock lock(plug->GetMutex());
  if (!plug->HostVisible(index)) return;
  try {
    if (IGraphicsBase* g = plug->GetGraphicsBase()) g->SetParameterFromPlug(index, value, true);
    plug->GetParam(index)->SetNormalized(value);
    plug->OnParamChange(index);
  } catch (...) {
  }
}

template <class Body>
void IPluginVST::ProcessBlock(AEffect* effect, Body&& body) {
  IPluginVST* plug = plugOf(effect);
  if (!plug) return;
  KIT_MutexLock lock(plug->GetMutex());
  try {
    if (plug->mDoesMidi) plug->HostCall(audioMasterWantMidi);
    body(plug);
  } catch (...) {
  }
}

void IPluginVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t nFrames) {
  ProcessBlock(effect, [&](IPluginVST* p) {
    p->AttachInputBuffers(0, p->NInChannels(), inputs, nFrames);
    p->AttachOutputBuffers(0, p->NOutChannels(), outputs);
    p->ProcessBuffersAccumulating(0.0f, nFrames);
  });
}

void IPluginVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t nFrames) {
  ProcessBlock(effect, [&](IPluginVST* p) {
    p->AttachInputBuffers(0, p->NInChannels(), inputs, nFrames);
    p->AttachOutputBuffers(0, p->NOutChannels(), outputs);
    p->ProcessBuffers(0.0f, nFrames);
  });
}

void IPluginVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, int32_t nFrames) {
  ProcessBlock(effect, [&](IPluginVST* p) {
    p->AttachInputBuffers(0, p->NInChannels(), inputs, nFrames);
    p->AttachOutputBuffers(0, p->NOutChannels(), outputs);
    p->ProcessBuffers(0.0, nFrames);
  });
}

// ---------------------------------------------------------------------------
// Dispatcher

intptr_t IPluginVST::Dispatch(int32_t opCode, int32_t index, intptr_t value, void* ptr, float opt) {
  switch (opCode) {
    case effOpen:
      HostSpecificInit();
      OnParamReset();
      return 0;
    case effSetProgram:
      if (!DoesStateChunks()) ModifyCurrentPreset();
      RestorePreset(value >= INT_MIN && value <= INT_MAX ? static_cast<int>(value) : -1);
      return 0;
    case effGetProgram:
      return GetCurrentPresetIdx();
    case effSetProgramName:
      if (ptr) {
        ModifyCurrentPreset(static_cast<const char*>(ptr));
        PresetsChangedByHost();
      }
      return 0;
    case effGetProgramName:
      copyOut(ptr, kVstMaxProgNameLen, GetPresetName(GetCurrentPresetIdx()));
      return 0;
    case effGetParamLabel:
      if (HostVisible(index)) copyOut(ptr, kVstMaxParamStrLen, GetParam(index)->GetLabelForHost());
      return 0;
    case effGetParamDisplay:
      if (HostVisible(index) && ptr) {
        const IParam* p = GetParam(index);
        p->GetDisplayForHost(p->Value(), false, static_cast<char*>(ptr), kVstMaxParamStrLen, true);
      }
      return 0;
    case effGetParamName:
      if (HostVisible(index)) copyOut(ptr, kVstMaxParamStrLen, GetParam(index)->GetNameForHost());
      return 0;
    case effSetSampleRate:
      SetSampleRate(opt);
      Reset();
      return 0;
    case effSetBlockSize:
      if (value >= 0 && value <= INT_MAX) SetBlockSize(static_cast<int>(value));
      Reset();
      return 0;
    case effMainsChanged:
      if (value) {
        OnActivate(true);
      } else {
        OnActivate(false);
        Reset();
      }
      return 0;
    case effEditGetRect:
      if (!ptr || !GetGraphicsBase()) return 0;
      *static_cast<ERect**>(ptr) = &mEditRect;
      return 1;
    case effEditOpen: {
      IGraphics* g = GetGUI();
      if (!g) return 0;
      void* opened = (mHasVSTExtensions & kHostViewAsConfig) ? g->OpenWindow(ptr) : g->OpenWindow(ptr, nullptr, 0, 0);
      if (!opened) return 0;
      OnGUIOpen();
      return 1;
    }
    case effEditClose: {
      IGraphics* g = GetGUI();
      if (!g) return 0;
      OnGUIClose();
      g->CloseWindow();
      return 1;
    }
    case effEditIdle:
    case effIdle:
      return 0;
    case effIdentify:
      return kEffectIdentity;
    case effGetChunk:
      return GetChunk(index == 0, ptr);
    case effSetChunk:
      return SetChunk(index == 0, value, ptr);
    case effProcessEvents:
      if (!ptr) return 0;
      ProcessEvents(static_cast<const VstEvents*>(ptr));
      return 1;
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return String2Parameter(index, static_cast<const char*>(ptr));
    case effGetProgramNameIndexed: {
      if (!ptr) return 0;
      const char* name = GetPresetName(index);
      copyOut(ptr, kVstMaxProgNameLen, name);
      return name[0] ? 1 : 0;
    }
    case effGetInputProperties:
      return PinProperties(true, index, static_cast<VstPinProperties*>(ptr));
    case effGetOutputProperties:
      return PinProperties(false, index, static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return IsInst() ? 2 : 1;
    case effSetSpeakerArrangement:
      SpeakerArrangement(true, reinterpret_cast<const VstSpeakerArrangement*>(value));
      SpeakerArrangement(false, static_cast<const VstSpeakerArrangement*>(ptr));
      return 1;
    case effGetEffectName:
      return copyOut(ptr, kVstMaxEffectNameLen, GetEffectName());
    case effGetVendorString:
      return copyOut(ptr, kVstMaxVendorStrLen, GetMfrName());
    case effGetProductString:
      return copyOut(ptr, kVstMaxProductStrLen, GetProductName());
    case effGetVendorVersion:
      return GetEffectVersion(false);
    case effVendorSpecific:
      if (index != 7 || !ptr) return 0;
      if (value >= INT_MIN && value <= INT_MAX && HostVisible(static_cast<int>(value)))
        GetParam(static_cast<int>(value))->GetDisplayForHost(opt, true, static_cast<char*>(ptr), kVstMaxParamStrLen, true);
      return kVendorSpecificAnswer;
    case effCanDo:
      return CanDo(static_cast<const char*>(ptr));
    case effGetVstVersion:
      return 2400;
    case effGetMidiKeyName: {
      if (!ptr) return 0;
      auto* key = static_cast<MidiKeyName*>(ptr);
      key->keyName[0] = '\0';
      char name[kVstMaxNameLen * 4] = {};
      const bool named = MidiNoteName(key->thisKeyNumber, name);
      copyOut(key->keyName, kVstMaxNameLen, name);
      return named ? 1 : 0;
    }
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpkrArr;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpkrArr;
      return 1;
    default:
      return 0;
  }
}

intptr_t IPluginVST::GetChunk(bool isBank, void* ptr) {
  if (!ptr) return 0;
  ByteChunk* chunk = isBank ? &mBankState : &mState;
  if (!SerializeChunkForHost(chunk, isBank) || chunk->Size() <= 0) return 0;
  *static_cast<void**>(ptr) = chunk->GetBytes();
  return chunk->Size();
}

intptr_t IPluginVST::SetChunk(bool isBank, intptr_t size, const void* ptr) {
  // A size the chunk cannot hold leaves chunk and state as they are.
  if (!ptr || size < 0 || size > INT_MAX) return 0;
  ByteChunk* chunk = isBank ? &mBankState : &mState;
  const int n = static_cast<int>(size);
  if (chunk->Resize(n) != n) return 0;
  // The host may hand back the very bytes it was given.
  if (n > 0) std::memmove(chunk->GetBytes(), ptr, static_cast<size_t>(n));
  return UnserializeChunkFromHost(chunk, isBank) ? 1 : 0;
}

intptr_t IPluginVST::CanDo(const char* query) {
  if (!query) return 0;
  if (!std::strcmp(query, "receiveVstTimeInfo")) return 1;
  if (mDoesMidi) {
    for (const char* q : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
      if (!std::strcmp(query, q)) return 1;
  }
  if (!std::strcmp(query, "hasHostExtensions")) {
    mHasVSTExtensions |= kHostExtensions;
    return kCanDoExtension;
  }
  if (!std::strcmp(query, "hasHostViewAsConfig")) {
    mHasVSTExtensions |= kHostViewAsConfig;
    return kCanDoExtension;
  }
  return 0;
}

intptr_t IPluginVST::String2Parameter(int idx, const char* text) {
  if (!HostVisible(idx)) return 0;
  if (!text) return 1;
  IParam* p = GetParam(idx);
  double v;
  if (p->GetNDisplayTexts() > 0) {
    int mapped = 0;
    if (!p->MapDisplayText(text, &mapped)) return 0;
    v = mapped;
  } else {
    v = std::atof(text);
    if (p->NegateDisplay()) v = -v;
  }
  if (IGraphicsBase* g = GetGraphicsBase()) g->SetParameterFromPlug(idx, v, false);
  p->SetClamped(v);
  OnParamChange(idx);
  return 1;
}

void IPluginVST::ProcessEvents(const VstEvents* events) {
  for (int32_t i = 0; i < events->numEvents; ++i) {
    VstEvent* e = events->events[i];
    if (!e) continue;
    if (e->type == kVstMidiType) {
      const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
      IMidiMsg msg(m->deltaFrames, static_cast<uint8_t>(m->midiData[0]), static_cast<uint8_t>(m->midiData[1]),
                   static_cast<uint8_t>(m->midiData[2]));
      ProcessMidiMsg(&msg, false);
    } else {
      SendVSTEvent(e);
    }
  }
}

intptr_t IPluginVST::PinProperties(bool input, int idx, VstPinProperties* pin) {
  const int n = input ? NInChannels() : NOutChannels();
  if (idx < 0 || !pin || idx >= n) return 0;
  std::snprintf(pin->label, sizeof pin->label, input ? "Input %d" : "Output %d", idx + 1);
  pin->flags = kVstPinIsActive;
  if (idx % 2 == 0 && idx + 1 < n) pin->flags |= kVstPinIsStereo;
  return 1;
}

void IPluginVST::SpeakerArrangement(bool input, const VstSpeakerArrangement* arr) {
  if (!arr) return;
  // The host's count is taken within the channels there are, so that no
  // count, however far out of range, can turn the remainder negative.
  const int n = std::clamp(arr->numChannels, 0, input ? NInChannels() : NOutChannels());
  if (input) {
    SetInputChannelConnections(0, n, true);
    SetInputChannelConnections(n, NInChannels() - n, false);
  } else {
    SetOutputChannelConnections(0, n, true);
    SetOutputChannelConnections(n, NOutChannels() - n, false);
  }
}

// ---------------------------------------------------------------------------
// Host identity and editor

intptr_t IPluginVST::HostCall(int32_t opCode, int32_t index, intptr_t value, void* ptr, float opt) {
  return mHostCallback ? mHostCallback(&mAEffect, opCode, index, value, ptr, opt) : 0;
}

EHost IPluginVST::GetHost() {
  if (mHost == kHostUninit) {
    char product[256] = {};
    HostCall(audioMasterGetProductString, 0, 0, product);
    product[sizeof product - 1] = '\0';
    int32_t version = 0;
    if (product[0]) {
      const intptr_t v = HostCall(audioMasterGetVendorVersion);
      version = (v >= 0 && v <= INT32_MAX) ? PackDecimalVersion(static_cast<int32_t>(v)) : 0;
    }
    SetHost(product, version);
  }
  return mHost;
}

void IPluginVST::HostSpecificInit() {
  if (mHostSpecificInitDone) return;
  mHostSpecificInitDone = true;
  const EHost host = GetHost();
  int nIn = NInChannels(), nOut = NOutChannels();
  if (host == kHostForte || host == kHostAudition || host == kHostOrion || host == kHostSAWStudio) {
    LimitToStereoIO();
    nIn = std::min(nIn, 2);
    nOut = std::min(nOut, 2);
  }
  SetChannelCounts(nIn, nOut);
  OnHostIdentified();
}

void IPluginVST::AttachGraphics(IGraphicsBase* graphics) {
  if (!graphics) return;
  IPluginBase::AttachGraphics(graphics);
  mAEffect.flags |= effFlagsHasEditor;
  if (IGraphics* g = GetGUI()) {
    mEditRect = ERect{0, 0, static_cast<int16_t>(g->Height()), static_cast<int16_t>(g->Width())};
  }
}

void IPluginVST::ResizeGraphics(int, int) {
  IGraphics* g = GetGUI();
  if (!g) return;
  mEditRect = ERect{0, 0, static_cast<int16_t>(g->Height()), static_cast<int16_t>(g->Width())};
  OnWindowResize();
}

// ---------------------------------------------------------------------------
// Notices

void IPluginVST::BeginInformHostOfParamChange(int idx) {
  if (HostVisible(idx)) HostCall(audioMasterBeginEdit, idx);
}

void IPluginVST::InformHostOfParamChange(int idx, double normalizedValue) {
  if (HostVisible(idx)) HostCall(audioMasterAutomate, idx, 0, nullptr, static_cast<float>(normalizedValue));
}

void IPluginVST::EndInformHostOfParamChange(int idx) {
  if (HostVisible(idx)) HostCall(audioMasterEndEdit, idx);
}

void IPluginVST::InformHostOfProgramChange() { HostCall(audioMasterUpdateDisplay); }

// ---------------------------------------------------------------------------
// Host time

const VstTimeInfo* IPluginVST::HostTime(int32_t filter) {
  return reinterpret_cast<const VstTimeInfo*>(HostCall(audioMasterGetTime, 0, filter));
}

int IPluginVST::GetSamplePos() {
  const VstTimeInfo* t = HostTime(0);
  if (!t || std::isnan(t->samplePos) || t->samplePos < 0.0) return 0;
  const double rounded = t->samplePos + 0.5;
  return rounded >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(rounded);
}

double IPluginVST::GetTempo() {
  const VstTimeInfo* t = HostTime(kVstTempoValid);
  return (t && (t->flags & kVstTempoValid) && t->tempo >= 0.0) ? t->tempo : 0.0;
}

void IPluginVST::GetTimeSig(int* numerator, int* denominator) {
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
  const VstTimeInfo* t = HostTime(kVstTimeSigValid);
  if (t && (t->flags & kVstTimeSigValid) && t->timeSigNumerator >= 0 && t->timeSigDenominator >= 0) {
    if (numerator) *numerator = t->timeSigNumerator;
    if (denominator) *denominator = t->timeSigDenominator;
  }
}

void IPluginVST::GetTime(ITimeInfo* info) {
  constexpr int32_t kAsked = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  const VstTimeInfo* t = HostTime(kAsked);
  if (!info || !t || !(t->flags & kAsked)) return;
  info->mSamplePos = t->samplePos;
  if ((t->flags & kVstPpqPosValid) && t->ppqPos >= 0.0) info->mPPQPos = t->ppqPos;
  if ((t->flags & kVstTempoValid) && t->tempo > 0.0) info->mTempo = t->tempo;
  if ((t->flags & kVstBarsValid) && t->barStartPos >= 0.0) info->mLastBar = t->barStartPos;
  if ((t->flags & kVstCyclePosValid) && t->cycleStartPos >= 0.0 && t->cycleEndPos >= 0.0) {
    info->mCycleStart = t->cycleStartPos;
    info->mCycleEnd = t->cycleEndPos;
  }
  if ((t->flags & kVstTimeSigValid) && t->timeSigNumerator > 0 && t->timeSigDenominator > 0) {
    info->mNumerator = t->timeSigNumerator;
    info->mDenominator = t->timeSigDenominator;
  }
  info->mTransportIsRunning = (t->flags & kVstTransportPlaying) != 0;
  info->mTransportLoopEnabled = (t->flags & kVstTransportCycleActive) != 0;
}

bool IPluginVST::IsRenderingOffline() { return HostCall(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline; }

void IPluginVST::SetLatency(int samples) {
  mAEffect.initialDelay = samples;
  IPluginBase::SetLatency(samples);
}

// ---------------------------------------------------------------------------
// MIDI to the host

bool IPluginVST::SendVSTEvent(VstEvent* event) {
  if (!event) return false;
  VstEventsOne list;
  list.events[0] = event;
  return HostCall(audioMasterProcessEvents, 0, 0, &list) == 1;
}

bool IPluginVST::SendMidiVST(const IMidiMsg* msg) {
  if (!msg) return false;
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof(VstMidiEvent);
  e.deltaFrames = msg->mOffset;
  e.midiData[0] = static_cast<char>(msg->mStatus);
  e.midiData[1] = static_cast<char>(msg->mData1);
  e.midiData[2] = static_cast<char>(msg->mData2);
  return SendVSTEvent(reinterpret_cast<VstEvent*>(&e));
}

bool IPluginVST::SendSysEx(const ISysEx* sysex) {
  if (!sysex) return false;
  VstMidiSysexEvent e{};
  e.type = kVstSysExType;
  e.byteSize = sizeof(VstMidiSysexEvent);
  e.deltaFrames = sysex->mOffset;
  e.dumpBytes = sysex->mSize;
  e.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(sysex->mData));
  return SendVSTEvent(reinterpret_cast<VstEvent*>(&e));
}
