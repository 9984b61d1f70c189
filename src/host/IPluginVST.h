#pragma once
// The plug-in's face towards a VST 2.4 host: the effect record the host
// talks to, the dispatcher, the parameter and process callbacks, the host
// queries and notices, MIDI to the host and the entry that makes a plug-in.
//
// Threads: the host may call the dispatcher, the parameter callbacks and the
// process callbacks from any of its threads (its GUI and audio threads).
// Each takes the plug-in's recursive mutex (IPluginBase::GetMutex) for its
// whole run, so a hook that calls back into the binding re-enters; effClose
// gives the mutex up before it deletes the plug-in. The host queries, the
// notices and the host senders take no lock of their own: they are called
// from code that holds the mutex or from the plug-in's own threads, and only
// call the host. No exception leaves a callback: a failure answers 0.
// Plug-ins are made under a process-wide recursive mutex of the entry.
#include <atomic>
#include <cstdint>

#include "framework/ByteChunk.h"
#include "framework/IPluginBase.h"
#include "host/EffectInterface.h"

class IGraphics;
class IPluginVST;

// What the host hands a new plug-in.
struct IPluginInstanceInfo {
  audioMasterCallback mVSTHostCallback = nullptr;
};

// The speaker-arrangement type of a channel count: empty, mono and stereo
// for 0, 1 and 2 channels, user-defined for any other count.
int VSTSpkrArrType(int nChannels);

// Makes the graphics context of a plug-in, w x h pixels, redrawn fps times a
// second. Every context of the process is made here; the factory in force
// decides its kind (a headless context unless one was set).
using GraphicsFactory = IGraphics* (*)(IPluginVST* plug, int w, int h, int fps);
IGraphics* MakeGraphics(IPluginVST* plug, int w, int h, int fps);
// Installs the factory (null restores the headless one). Set it before any
// plug-in is made; it is read without a lock.
void SetGraphicsFactory(GraphicsFactory factory);

class IPluginVST : public IPluginBase {
 public:
  // Extension bits: the host asked canDo "hasHostExtensions" (1) or
  // "hasHostViewAsConfig" (2, the editor opens in the host's view).
  enum : int { kHostExtensions = 1, kHostViewAsConfig = 2 };
  static constexpr intptr_t kCanDoExtension = 0xBEEF0000;
  static constexpr intptr_t kVendorSpecificAnswer = 0xBEEF;
  static constexpr intptr_t kEffectIdentity = 0x4E764566;  // 'NvEf'

  IPluginVST(IPluginInstanceInfo info, int nParams, const char* channelIOStr, int nPresets, const char* effectName,
             const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID, int latency,
             bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst, int plugScChans = 0);
  ~IPluginVST() override;

  // The second construction step: the framework's stores (nParams of
  // nTotalParams parameters visible to the host), then the effect record,
  // the speaker arrangements, every channel connected, a block size of 1024.
  void initialize(IPluginInstanceInfo info, int nParams, int nTotalParams, const char* channelIOStr, int nPresets,
                  const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                  int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                  int plugScChans = 0);

  AEffect* GetAEffect() { return &mAEffect; }
  audioMasterCallback GetHostCallback() const { return mHostCallback; }
  const ERect& GetEditRect() const { return mEditRect; }
  int GetExtensionBits() const { return mHasVSTExtensions; }
  const VstSpeakerArrangement& GetInputSpeakerArrangement() const { return mInputSpkrArr; }
  const VstSpeakerArrangement& GetOutputSpeakerArrangement() const { return mOutputSpkrArr; }

  // The entry's work: under the process-wide creation mutex makes one
  // plug-in with make, fills its default preset and reports at least one
  // program. Null when make throws or returns null.
  static AEffect* MakeEffect(audioMasterCallback host, IPluginVST* (*make)(IPluginInstanceInfo));
  // Plug-ins of this kind alive in the process.
  static int LiveInstances() { return sLiveInstances.load(); }

  // The chunk header of the binding: magic and framework version.
  static void InitializeVSTChunk(ByteChunk* chunk) { InitChunkWithIPluginVer(chunk); }

  // ---- Host callbacks (static; the plug-in is the record's object)
  static intptr_t VSTDispatcher(AEffect* effect, int32_t opCode, int32_t index, intptr_t value, void* ptr, float opt);
  static float VSTGetParameter(AEffect* effect, int32_t index);
  static void VSTSetParameter(AEffect* effect, int32_t index, float value);
  static void VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t nFrames);
  static void VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t nFrames);
  static void VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, int32_t nFrames);

  // ---- Framework hooks filled here
  // Asks the host once for its product string and version.
  EHost GetHost() override;
  // Once: identifies the host, limits four hosts to stereo, refreshes the
  // channel counts of the record and the arrangements, OnHostIdentified.
  void HostSpecificInit() override;
  // Null is ignored; otherwise the base takes the context, the record gains
  // its editor flag and the edit rectangle the context's size.
  void AttachGraphics(IGraphicsBase* graphics) override;
  // The edit rectangle follows the context's current size; OnWindowResize.
  void ResizeGraphics(int w, int h) override;

  // Notices to the host; nothing for an index the host was not given.
  void BeginInformHostOfParamChange(int idx) override;
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void EndInformHostOfParamChange(int idx) override;
  void InformHostOfProgramChange() override;

  // Host time.
  int GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* numerator, int* denominator) override;
  void GetTime(ITimeInfo* timeInfo) override;
  bool IsRenderingOffline() override;
  void SetLatency(int samples) override;

  // MIDI to the host: one event each; true when the host answers 1.
  bool SendMidiVST(const IMidiMsg* msg) override;
  bool SendSysEx(const ISysEx* sysex) override;
  bool SendVSTEvent(VstEvent* event);

 protected:
  // Calls the host with this plug-in's record; 0 without a host callback.
  intptr_t HostCall(int32_t opCode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

 private:
  intptr_t Dispatch(int32_t opCode, int32_t index, intptr_t value, void* ptr, float opt);
  intptr_t GetChunk(bool isBank, void* ptr);
  intptr_t SetChunk(bool isBank, intptr_t size, const void* ptr);
  intptr_t CanDo(const char* query);
  intptr_t String2Parameter(int idx, const char* text);
  void ProcessEvents(const VstEvents* events);
  intptr_t PinProperties(bool input, int idx, VstPinProperties* pin);
  void SpeakerArrangement(bool input, const VstSpeakerArrangement* arr);
  bool HostVisible(int idx) const { return idx >= 0 && idx < mAEffect.numParams; }
  // The host's time record asked with filter, or null.
  const VstTimeInfo* HostTime(int32_t filter);
  void SetChannelCounts(int nIn, int nOut);
  template <class Body>
  static void ProcessBlock(AEffect* effect, Body&& body);

  audioMasterCallback mHostCallback = nullptr;
  bool mHostSpecificInitDone = false;
  bool mDoesMidi = false;
  int mHasVSTExtensions = 0;
  ERect mEditRect{};
  VstSpeakerArrangement mInputSpkrArr{};
  VstSpeakerArrangement mOutputSpkrArr{};
  AEffect mAEffect{};
  ByteChunk mState;      // the last program chunk to or from the host
  ByteChunk mBankState;  // the last bank chunk

  static std::atomic<int> sLiveInstances;
};
