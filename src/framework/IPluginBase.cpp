#include "framework/IPluginBase.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <string>

#include "kit/utf8.h"

IPluginBase::IPluginBase(int /*nParams*/, const char* /*channelIOStr*/, int /*nPresets*/,
                         const char* /*effectName*/, const char* /*productName*/, const char* /*mfrName*/,
                         int32_t vendorVersion, int32_t uniqueID, int32_t mfrID, int latency,
                         bool /*plugDoesMidi*/, bool plugDoesChunks, bool plugIsInst, EAPI api)
    : mUniqueID(uniqueID),
      mMfrID(mfrID),
      mVersion(vendorVersion),
      mAPI(api),
      mStateChunks(plugDoesChunks),
      mIsInst(plugIsInst),
      mLatency(latency) {}

IPluginBase::~IPluginBase() {
  // First of all no more input: the port's callback thread could otherwise
  // deliver into a plug-in that is half gone.
  if (mPorts) {
    mPorts->shutdown();
    mPorts->setInputSink(nullptr);
  }
  delete mGraphics;
  mGraphics = nullptr;
  mParams.clear();
  while (!mPresets.empty()) mPresets.pop_back();
  mInChannels.clear();
  mOutChannels.clear();
  mChannelIO.clear();
  mPorts.reset();
}

void IPluginBase::initialize(int nHostParams, int nParams, const char* channelIOStr, int nPresets,
                             const char* effectName, const char* productName, const char* mfrName,
                             int32_t /*vendorVersion*/, int32_t /*uniqueID*/, int32_t /*mfrID*/, int /*latency*/,
                             bool /*plugDoesMidi*/, bool /*plugDoesChunks*/, bool /*plugIsInst*/) {
  for (int i = 0; i < nParams; ++i) mParams.push_back(std::make_unique<IParam>());
  addNonAutomateParamCount(nParams - nHostParams);
  for (int i = 0; i < nPresets; ++i) mPresets.push_back(std::make_unique<IPreset>());
  KIT_CopyField(mEffectName, effectName);
  KIT_CopyField(mProductName, productName);
  KIT_CopyField(mMfrName, mfrName);
  ParseChannelIO(channelIOStr);
}

void IPluginBase::addNonAutomateParamCount(int n) { mNonAutomatedParams = std::clamp(n, 0, NParams()); }

// ---------------------------------------------------------------------------
// Value paths

void IPluginBase::SetParameterFromPath(int idx, double normalizedValue, bool fromHardware) {
  KIT_MutexLock lock(mMutex);
  IParam* p = GetParam(idx);
  if (!p) return;
  const double before = p->Value();
  p->SetNormalized(normalizedValue);
  InformHostOfParamChange(idx, normalizedValue);
  if (p->Value() != before || p->Type() == IParam::kTypeText) {
    if (fromHardware)
      OnParamChange2(idx);
    else
      OnParamChange(idx);
  }
}

void IPluginBase::SetParameterFromGUI(int idx, double normalizedValue) {
  SetParameterFromPath(idx, normalizedValue, false);
}

void IPluginBase::SetParameterFromGUI2(int idx, double normalizedValue) {
  SetParameterFromPath(idx, normalizedValue, true);
}

void IPluginBase::OnParamReset() {
  for (int i = 0; i < NAutomatedParams(); ++i) OnParamChange(i);
  Reset();
}

void IPluginBase::DirtyParameters() {
  KIT_MutexLock lock(mMutex);
  for (int i = 0; i < NAutomatedParams(); ++i) InformHostOfParamChange(i, mParams[static_cast<size_t>(i)]->GetNormalized());
}

double IPluginBase::GetSamplesPerBeat() {
  const double tempo = GetTempo();
  return tempo > 0.0 ? mSampleRate * 60.0 / tempo : 0.0;
}

bool IPluginBase::SendMidiMsgs(const IMidiMsg* msgs, int count) {
  bool ok = true;
  for (int i = 0; msgs && i < count; ++i) ok &= SendMidiMsg(&msgs[i]);
  return ok;
}

void IPluginBase::AttachGraphics(IGraphicsBase* graphics) {
  if (!graphics) return;
  KIT_MutexLock lock(mMutex);
  for (int i = 0; i < NParams(); ++i) graphics->SetParameterFromPlug(i, mParams[static_cast<size_t>(i)]->GetNormalized(), true);
  graphics->PrepDraw();
  if (mGraphics != graphics) delete mGraphics;
  mGraphics = graphics;
}

void IPluginBase::RedrawParamControls() {
  if (!mGraphics) return;
  for (int i = 0; i < NParams(); ++i) mGraphics->SetParameterFromPlug(i, mParams[static_cast<size_t>(i)]->Value(), false);
}

// ---------------------------------------------------------------------------
// Hook defaults

void IPluginBase::Reset() { KIT_MutexLock lock(mMutex); }
void IPluginBase::OnParamChange(int) { KIT_MutexLock lock(mMutex); }
void IPluginBase::OnParamChange2(int) { KIT_MutexLock lock(mMutex); }
void IPluginBase::OnActivate(bool) { KIT_MutexLock lock(mMutex); }

bool IPluginBase::MidiNoteName(int, char* noteName) {
  if (noteName) noteName[0] = '\0';
  return false;
}

void IPluginBase::GetTimeSig(int* numerator, int* denominator) {
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
}

// ---------------------------------------------------------------------------
// Hardware ports

void IPluginBase::SetHardwarePorts(std::unique_ptr<IHardwarePorts> ports) {
  if (mPorts) {
    mPorts->shutdown();
    mPorts->setInputSink(nullptr);
  }
  mPorts = std::move(ports);
  if (mPorts) mPorts->setInputSink(this);
}

namespace {
const std::vector<std::string>& offOnly() {
  static const std::vector<std::string> kOff{"OFF"};
  return kOff;
}
}  // namespace

const std::vector<std::string>& IPluginBase::getExternalMIDIOutNames() {
  return mPorts ? mPorts->outNames() : offOnly();
}

const std::vector<std::string>& IPluginBase::getExternalMIDIInNames() {
  return mPorts ? mPorts->inNames() : offOnly();
}

int IPluginBase::setExternalMIDIOut(int& portIndex, const char* name) {
  if (!mPorts) return portIndex = 0;
  // The name may live in state that another thread changes meanwhile.
  const std::string copy = name ? name : "";
  KIT_MutexLetGo unlocked(mMutex);
  return mPorts->openOut(portIndex, name ? copy.c_str() : nullptr);
}

int IPluginBase::setExternalMIDIIn(int& portIndex, const char* name) {
  if (!mPorts) return portIndex = 0;
  const std::string copy = name ? name : "";
  KIT_MutexLetGo unlocked(mMutex);
  return mPorts->openIn(portIndex, name ? copy.c_str() : nullptr);
}

int IPluginBase::getExternalMIDIOutDevice(const char* name) {
  if (mPorts) return mPorts->findOut(name);
  return (name && std::strcmp(name, "OFF") == 0) ? 0 : -1;
}

int IPluginBase::getExternalMIDIInDevice(const char* name) {
  if (mPorts) return mPorts->findIn(name);
  return (name && std::strcmp(name, "OFF") == 0) ? 0 : -1;
}

bool IPluginBase::initializeVirtualOutput(const std::string& name) {
  if (!mPorts) return false;
  KIT_MutexLetGo unlocked(mMutex);
  return mPorts->initializeVirtualOutput(name);
}

void IPluginBase::processMIDIInput(const uint8_t* bytes, size_t size) {
  if (!bytes || size == 0) return;
  // Runs on the MIDI library's thread: nothing may escape from here.
  try {
    if (size <= 3) {
      IMidiMsg msg(0, bytes[0], size > 1 ? bytes[1] : 0, size > 2 ? bytes[2] : 0);
      ProcessMidiMsg(&msg, true);
    } else if (size <= static_cast<size_t>(INT32_MAX)) {
      // The hooks may keep the record only for the call; the copy goes after.
      std::vector<uint8_t> copy(bytes, bytes + size);
      ISysEx sysex(0, copy.data(), static_cast<int>(size));
      ProcessSysEx(&sysex, true);
    }
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------
// Senders

bool IPluginBase::SendToPort(const uint8_t* data, size_t size) {
  if (!mPorts || !data || size == 0) return false;
  try {
    return mPorts->send(data, size);
  } catch (...) {
    return false;
  }
}

size_t IPluginBase::ShortMessageLength(uint8_t status) {
  if (status < 0x80) return 0;  // a data byte
  if (status < 0xF0) {
    const uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
  }
  switch (status) {
    case 0xF1:  // time code quarter frame
    case 0xF3:  // song select
      return 2;
    case 0xF2:  // song position
      return 3;
    case 0xF6:  // tune request
      return 1;
    case 0xF0:  // system exclusive: not a short message
    case 0xF4:  // undefined
    case 0xF5:
    case 0xF7:  // end of exclusive
      return 0;
    default:  // real-time bytes F8-FF
      return 1;
  }
}

bool IPluginBase::SendMidiMsg(const IMidiMsg* msg) {
  if (!msg) return false;
  const size_t n = ShortMessageLength(msg->mStatus);
  if (n == 0) return false;
  const uint8_t bytes[3] = {msg->mStatus, msg->mData1, msg->mData2};
  return SendToPort(bytes, n);
}

bool IPluginBase::SendSysexBytes(const uint8_t* data, int size, bool frame) {
  if (!data || size <= 0) return false;
  if (!frame || data[0] == 0xF0) return SendToPort(data, static_cast<size_t>(size));
  try {
    std::vector<uint8_t> framed;
    framed.reserve(static_cast<size_t>(size) + 2);
    framed.push_back(0xF0);
    framed.insert(framed.end(), data, data + size);
    framed.push_back(0xF7);
    return SendToPort(framed.data(), framed.size());
  } catch (...) {
    return false;
  }
}

bool IPluginBase::SendMidiSysex(const uint8_t* data, int size) { return SendSysexBytes(data, size, true); }
bool IPluginBase::SendMidiSysex2(const uint8_t* data, int size) { return SendSysexBytes(data, size, false); }
bool IPluginBase::SendPatchSysex(const uint8_t* data, int size) { return SendSysexBytes(data, size, false); }

// ---------------------------------------------------------------------------
// Host identity

void IPluginBase::SetHost(const char* productString, int32_t packedVersion) {
  mHost = LookUpHost(productString);
  mHostVersion = packedVersion;
}

int32_t IPluginBase::GetHostVersion(bool decimal) {
  GetHost();
  return decimal ? GetDecimalVersion(mHostVersion) : mHostVersion;
}

void IPluginBase::GetHostVersionStr(char* out, size_t outSize) {
  GetHost();
  GetVersionStr(mHostVersion, out, outSize);
}

int32_t IPluginBase::GetEffectVersion(bool decimal) const { return decimal ? GetDecimalVersion(mVersion) : mVersion; }

void IPluginBase::GetEffectVersionStr(char* out, size_t outSize) const { GetVersionStr(mVersion, out, outSize); }
