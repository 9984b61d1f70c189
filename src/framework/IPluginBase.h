#pragma once
// The platform-free base of the plug-in. It owns the parameters, the presets
// and state serialisation, the channel configuration and block buffers, the
// plug-in's and the host's identity, the graphics context and the hardware
// MIDI ports, and the recursive mutex that serialises the host's calls, the
// user's edits and the audio callback. The host binding and the plug-in class
// fill its virtual hooks.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "framework/ByteChunk.h"
#include "framework/Hosts.h"
#include "framework/IGraphicsBase.h"
#include "framework/IHardwarePorts.h"
#include "framework/IParam.h"
#include "framework/IPluginStructs.h"
#include "kit/mutex.h"
#include "kit/string.h"

// Magic and version of the header that opens every chunk the host receives.
inline constexpr int32_t kIPlugMagic = 0x70666674;
inline constexpr int32_t kIPlugVersion = 0x10000;

class IPluginBase : public IHardwareInputSink {
 public:
  static constexpr size_t kMaxNameLen = 128;  // effect, product and maker names

  struct ChannelCountPair {
    int32_t mNIn;
    int32_t mNOut;
  };
  struct InChannel {
    bool mConnected = false;
    double** mSrc = nullptr;  // this channel's entry of the input data pointers
    std::vector<double> mScratchBuf;
    KIT_String mLabel;
  };
  struct OutChannel {
    bool mConnected = false;
    double** mDest = nullptr;  // this channel's entry of the output data pointers
    float* mFDest = nullptr;   // float destination of the current block
    std::vector<double> mScratchBuf;
    KIT_String mLabel;
  };

  // Keeps only version, ids, latency, the chunk and instrument flags and the
  // API; the rest comes again to initialize().
  IPluginBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
              const char* productName, const char* mfrName, int32_t vendorVersion, int32_t uniqueID,
              int32_t mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
              EAPI api = kAPIVST2);
  // Shuts the hardware ports down first (no input callback runs after that),
  // then deletes the graphics context, the parameters, the presets (last
  // first), the channels and the ports object. A derived class whose input
  // hooks use its own members stops input in its own destructor
  // (SetHardwarePorts(nullptr)): by the time this one runs they are gone.
  ~IPluginBase() override;
  IPluginBase(const IPluginBase&) = delete;
  IPluginBase& operator=(const IPluginBase&) = delete;

  // Builds the stores: nParams - nHostParams parameters are hidden from the
  // host (the last ones), nPresets presets named "empty", the names (cut to
  // 127 bytes) and the channels from the channel I/O string.
  void initialize(int nHostParams, int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                  const char* productName, const char* mfrName, int32_t vendorVersion, int32_t uniqueID,
                  int32_t mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);
  // Sets the number of parameters hidden from the host (limited to the store).
  void addNonAutomateParamCount(int n);

  // ----- parameters
  int NParams() const { return static_cast<int>(mParams.size()); }
  // Null for an index outside the store.
  IParam* GetParam(int idx) const {
    return idx >= 0 && static_cast<size_t>(idx) < mParams.size() ? mParams[static_cast<size_t>(idx)].get() : nullptr;
  }
  int NNonAutomatedParams() const { return mNonAutomatedParams; }
  int NAutomatedParams() const { return NParams() - mNonAutomatedParams; }

  KIT_Mutex& GetMutex() { return mMutex; }

  // ----- identity
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMfrName() const { return mMfrName; }
  int32_t GetUniqueID() const { return mUniqueID; }
  int32_t GetMfrID() const { return mMfrID; }
  int GetLatency() const { return mLatency; }
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInst() const { return mIsInst; }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }

  // ----- value paths from a control
  // The user path: under the mutex sets the parameter from a normalised
  // value, informs the host and calls OnParamChange for a changed value or a
  // text parameter. An index outside the store does nothing.
  virtual void SetParameterFromGUI(int idx, double normalizedValue);
  // The hardware path: the same, ending in OnParamChange2.
  virtual void SetParameterFromGUI2(int idx, double normalizedValue);
  // OnParamChange for every automated parameter, then Reset().
  void OnParamReset();
  // Informs the host of every automated parameter's value.
  void DirtyParameters();
  double GetSamplesPerBeat();
  // Sends every message with SendMidiMsg; true when all sends succeeded.
  bool SendMidiMsgs(const IMidiMsg* msgs, int count);
  void SetSampleRate(double rate) { mSampleRate = rate; }

  // ----- graphics context
  // Pushes every parameter's normalised value to the context, prepares it
  // for drawing and takes ownership; null is ignored.
  virtual void AttachGraphics(IGraphicsBase* graphics);
  IGraphics* GetGUI() const { return mGraphics ? mGraphics->AsIGraphics() : nullptr; }
  IGraphicsBase* GetGraphicsBase() const { return mGraphics; }
  // Moves every parameter's controls to its raw value.
  virtual void RedrawParamControls();

  // ----- hooks with defaults (host binding and plug-in class override)
  virtual void Reset();
  virtual void OnParamChange(int idx);
  virtual void OnParamChange2(int idx);
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
  virtual void ProcessSingleReplacing(float** inputs, float** outputs, int nFrames);
  virtual void OnGUIOpen() {}
  virtual void OnGUIClose() {}
  virtual void OnIdle() {}
  virtual void OnActivate(bool active);
  virtual void ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) {}
  virtual void ProcessSysEx(ISysEx* sysex, bool fromHardware) {}
  // Empties the name; false.
  virtual bool MidiNoteName(int noteNumber, char* noteName);
  virtual bool SerializeState(ByteChunk* chunk) { return SerializeParams(chunk); }
  virtual int UnserializeState(const ByteChunk* chunk, int startPos) { return UnserializeParams(chunk, startPos); }
  // Compares every automated parameter with the doubles of data from element
  // startPos on (nDoubles elements in all), in single precision; false when
  // data is too short.
  virtual bool CompareState(const uint8_t* data, int nDoubles, int startPos) const;
  virtual void OnWindowResize() {}
  virtual bool HostRequestingAboutBox() { return false; }
  virtual void OnHostIdentified() {}
  virtual void PopupHostContextMenuForParam(int idx, int x, int y) {}
  virtual void BeginInformHostOfParamChange(int idx) {}
  virtual void InformHostOfParamChange(int idx, double normalizedValue) {}
  virtual void EndInformHostOfParamChange(int idx) {}
  virtual void InformHostOfProgramChange() {}
  virtual bool IsRenderingOffline() { return false; }
  virtual int GetSamplePos() { return 0; }
  virtual double GetTempo() { return 0.0; }
  virtual void GetTimeSig(int* numerator, int* denominator);
  // Leaves the record as the caller filled it when there is no host.
  virtual void GetTime(ITimeInfo* timeInfo) {}
  virtual EHost GetHost() { return mHost; }
  virtual EAPI GetAPI() { return mAPI; }
  virtual void ResizeGraphics(int w, int h) {}
  virtual void SetLatency(int samples) { mLatency = samples; }
  virtual bool SendMidiVST(const IMidiMsg* msg) { return false; }
  virtual bool SendSysEx(const ISysEx* sysex) { return false; }
  virtual void HostSpecificInit() {}
  virtual void DirtyPTCompareState() {}
  virtual void PresetsChangedByHost() {}
  // The frame of a load that is all or nothing (a host chunk, a program or
  // bank file), under the mutex: Started before anything is read, Ended
  // after it; with ok false every value and preset has been put back, and
  // a plug-in class puts back what its own hooks changed meanwhile.
  virtual void OnStateLoadStarted() {}
  virtual void OnStateLoadEnded(bool ok) {}
  // Resizes and zeroes the scratch buffers when n differs from the current
  // block size; negative sizes are ignored.
  virtual void SetBlockSize(int n);

  // ----- MIDI to the hardware output port
  // Status, data 1 and, except for program change (Cn) and channel pressure
  // (Dn), data 2; system common and real-time messages with their own
  // length. False, sending nothing, when the message is null, its status is
  // not one of a short message or no port is open.
  virtual bool SendMidiMsg(const IMidiMsg* msg);
  // Bytes of the short message that starts with status: 3, 2 or 1; 0 for a
  // data byte, F0, F4, F5 and F7.
  static size_t ShortMessageLength(uint8_t status);
  // F0, the bytes and F7 when the first byte is not F0; else the bytes as
  // they are. False for no bytes or without an open port.
  virtual bool SendMidiSysex(const uint8_t* data, int size);
  // The bytes as they are.
  virtual bool SendMidiSysex2(const uint8_t* data, int size);
  bool SendMidiSysex2(const std::vector<uint8_t>& bytes) {
    return SendMidiSysex2(bytes.data(), static_cast<int>(bytes.size()));
  }
  virtual bool SendPatchSysex(const uint8_t* data, int size);

  // ----- hardware MIDI ports
  // Installs the ports object (shutting a previous one down) and makes the
  // plug-in its input sink.
  void SetHardwarePorts(std::unique_ptr<IHardwarePorts> ports);
  IHardwarePorts* GetHardwarePorts() const { return mPorts.get(); }
  // "OFF" and the port names; exactly ["OFF"] without a ports object.
  const std::vector<std::string>& getExternalMIDIOutNames();
  const std::vector<std::string>& getExternalMIDIInNames();
  // Closes the open port and opens the one called name; portIndex and the
  // result become its list position, 0 when nothing is open. The MIDI
  // library waits for its server here, and the server may meanwhile wait
  // for a client whose callback wants this mutex (a host's audio callback
  // that runs in a client of the same server): every level of the mutex the
  // caller holds is let go for the call and taken again after it, so other
  // threads may run in between.
  int setExternalMIDIOut(int& portIndex, const char* name);
  int setExternalMIDIIn(int& portIndex, const char* name);
  // List position of name, -1 when absent.
  int getExternalMIDIOutDevice(const char* name);
  int getExternalMIDIInDevice(const char* name);
  // Opens a virtual output port, the mutex let go as for the two above.
  bool initializeVirtualOutput(const std::string& name);
  // Bytes from the input port: 1-3 bytes are a channel message (missing data
  // bytes 0), 4 or more a system-exclusive message over a copy.
  void processMIDIInput(const uint8_t* bytes, size_t size) override;

  // ----- channels and block processing
  int NInChannels() const { return static_cast<int>(mInChannels.size()); }
  int NOutChannels() const { return static_cast<int>(mOutChannels.size()); }
  int NChannelIO() const { return static_cast<int>(mChannelIO.size()); }
  const ChannelCountPair* GetChannelIO(int i) const;
  // True when a legal pair matches; a negative count matches any.
  bool LegalIO(int nIn, int nOut) const;
  void LimitToStereoIO();
  void SetInputChannelConnections(int first, int n, bool connected);
  void SetOutputChannelConnections(int first, int n, bool connected);
  bool IsInChannelConnected(int i) const;
  bool IsOutChannelConnected(int i) const;
  // Connected channels among first .. first + n - 1 (cut at the channel
  // count) take the host's buffers in turn.
  void AttachInputBuffers(int first, int n, double** buffers, int nFrames);
  void AttachInputBuffers(int first, int n, float** buffers, int nFrames);
  void AttachOutputBuffers(int first, int n, double** buffers);
  void AttachOutputBuffers(int first, int n, float** buffers);
  // The first argument only selects the sample type.
  void ProcessBuffers(double sampleType, int nFrames);
  void ProcessBuffers(float sampleType, int nFrames);
  void ProcessBuffersAccumulating(float sampleType, int nFrames);
  void PassThroughBuffers(double sampleType, int nFrames);
  void PassThroughBuffers(float sampleType, int nFrames);
  void ZeroScratchBuffers();
  double** GetInputData() { return mInData.data(); }
  double** GetOutputData() { return mOutData.data(); }
  void SetInputLabel(int idx, const char* label);
  void SetOutputLabel(int idx, const char* label);
  // Buses 0 and 1 only.
  void SetInputBusLabel(int idx, const char* label);
  void SetOutputBusLabel(int idx, const char* label);
  const char* GetInputLabel(int idx) const;
  const char* GetOutputLabel(int idx) const;

  // ----- state and presets
  static void InitChunkWithIPluginVer(ByteChunk* chunk);
  // The framework version of the header at *pos (pos moves after it), or 0
  // with pos unchanged when there is no header there.
  static int GetIPluginVerFromChunk(const ByteChunk* chunk, int* pos);
  bool SerializeParams(ByteChunk* chunk);
  bool SerializeNonAutomatedParams(ByteChunk* chunk, int n);
  // Low-level readers, partial by design: each value read is clamped and set
  // at once; a value past the end or not a finite number is a failed read,
  // which sets that parameter to its clamped 0.0, stops, and returns -1.
  int UnserializeParams(const ByteChunk* chunk, int startPos);
  int UnserializeNonAutomatedParams(const ByteChunk* chunk, int startPos, int n);

  int NPresets() const { return static_cast<int>(mPresets.size()); }
  IPreset* GetPreset(int idx) const;
  void MakeDefaultPreset(const char* name = nullptr, int nPresets = 1);
  // Every still-uninitialised preset takes the current state as "Empty".
  void EnsureDefaultPreset();
  bool RestorePreset(int idx);
  bool RestorePreset(const char* name);
  const char* GetPresetName(int idx) const;
  void ModifyCurrentPreset(const char* name = nullptr);
  bool SerializePresets(ByteChunk* chunk);
  int UnserializePresets(const ByteChunk* chunk, int startPos);
  void PruneUninitializedPresets();

  // The chunk handed to the host: the header, then (for a bank) the current
  // preset refreshed and every preset, then the state. False when it could
  // not be written.
  bool SerializeChunkForHost(ByteChunk* chunk, bool isBank);
  // Reads a chunk from the host (the header at position 0, when present).
  // All or nothing: a chunk that is short, wrongly headed or holds a value
  // that is not a finite number returns false and leaves every parameter
  // value, every preset and the current preset index exactly as they were,
  // with nothing redrawn and no preset notice. On success the values and
  // presets are those read, the host is told of changed presets and every
  // control is redrawn. Called by the host binding on the host's thread,
  // never from the process callback (it copies the whole state first); takes
  // the plug-in mutex.
  bool UnserializeChunkFromHost(const ByteChunk* chunk, bool isBank);

  // ----- preset builders and dumps
  // Each builder fills the first uninitialised preset, which becomes
  // initialised under the given name; false (nothing changed) when there is
  // none or the input is unusable. The current values stay as they were.
  // Any thread but the audio thread; builders and dumps take the plug-in
  // mutex.
  // Raw values, one per automated parameter, in index order; each is clamped
  // to its parameter's range. Source text: MakePreset("name", 0.5, 2.0).
  bool MakePreset(const char* name, ...);
  bool MakePreset(const char* name, const std::vector<double>& values);
  // Pairs of parameter index and raw value, in any order; pairs whose index
  // is not an automated parameter are ignored and the parameters not named
  // take their defaults. Source text: MakePresetFromNamedParams("name", 2,
  // kGain, 0.5, kMix, 1.0) with int indices and double values.
  bool MakePresetFromNamedParams(const char* name, int nPairs, ...);
  bool MakePresetFromNamedParams(const char* name, const std::vector<std::pair<int, double>>& pairs);
  // A copy of a state as SerializeState writes it.
  bool MakePresetFromChunk(const char* name, const ByteChunk* chunk);
  // A state given as base64 text that decodes to exactly sizeOfChunk bytes.
  bool MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk);
  // The current state as source text of a MakePreset call (values of the
  // automated parameters) or of a MakePresetFromBlob call (the whole state
  // as base64), written to the debug log and returned.
  std::string DumpPresetSrcCode(const char* name);
  std::string DumpPresetBlob(const char* name);
  // A line for the plug-in's debug log; the base keeps no log.
  virtual void DebugLogText(const std::string& text) {}

  // ----- program and bank files
  // The conventional preset files of the plug-in format, big-endian: a
  // program holds the current preset's name and either the automated
  // parameters' normalised values ("FxCk") or the state ("FPCh"); a bank
  // holds every preset as a value program ("FxBk") or the presets' bank
  // chunk ("FBCh"). A plug-in that does state chunks uses the chunk kinds.
  // Without a path the graphics context's file prompt asks for one (false
  // without a window or when cancelled). Saves replace the file through a
  // temporary one and return false on any failure. Loads read the whole
  // file and are all or nothing: a wrong magic, kind, unique ID, count,
  // length or value returns false with every value and preset as before; a
  // program replaces the current preset's state and name, a bank every
  // preset, then the current preset is restored. Every control is redrawn
  // after a load. GUI thread; takes the plug-in mutex.
  bool SaveProgramAsFXP(const char* path = nullptr);
  bool SaveBankAsFXB(const char* path = nullptr);
  bool LoadProgramFromFXP(const char* path = nullptr);
  bool LoadBankFromFXB(const char* path = nullptr);
  // The file bytes themselves.
  bool MakeProgramFXP(std::vector<uint8_t>* out);
  bool MakeBankFXB(std::vector<uint8_t>* out);
  bool LoadProgramFXP(std::span<const uint8_t> file);
  bool LoadBankFXB(std::span<const uint8_t> file);

  // ----- host identity and versions
  void SetHost(const char* productString, int32_t packedVersion);
  int32_t GetHostVersion(bool decimal);
  void GetHostVersionStr(char* out, size_t outSize);
  int32_t GetEffectVersion(bool decimal) const;
  void GetEffectVersionStr(char* out, size_t outSize) const;
  const char* GetAPIString() { return GetAPIName(GetAPI()); }
  const char* GetArchString() const { return "x86"; }

 protected:
  EHost mHost = kHostUninit;
  int32_t mHostVersion = 0;

 private:
  void SetParameterFromPath(int idx, double normalizedValue, bool fromHardware);
  void ParseChannelIO(const char* channelIOStr);
  int UnserializeRange(const ByteChunk* chunk, int startPos, int first, int n);
  bool SerializeRange(ByteChunk* chunk, int first, int n);
  // Grows every scratch buffer to hold nFrames (a host that sends longer
  // blocks than it announced) and re-points channels that used them.
  void EnsureScratch(int nFrames);
  // Converts every connected output into its float destination.
  void WriteFloatOutputs(int nFrames, bool accumulate);
  bool SendToPort(const uint8_t* data, size_t size);
  bool SendSysexBytes(const uint8_t* data, int size, bool frame);

  // What a load may change, copied before it reads.
  struct StateSnapshot {
    struct Preset {
      bool initialized;
      char name[IPreset::kNameLen];
      ByteChunk chunk;
    };
    std::vector<double> values;
    std::vector<std::unique_ptr<Preset>> presets;
    int currentPreset = 0;
  };
  bool TakeSnapshot(StateSnapshot* s) const;
  void RestoreSnapshot(StateSnapshot* s);
  // Runs apply under the mutex as one load: on false everything is put back
  // as it was, with no notice and no redraw; on true a deferred preset
  // notice is given and every control redrawn.
  bool LoadAllOrNothing(const std::function<bool()>& apply);
  // Fills the first uninitialised preset with the state that setValues
  // leaves in the parameters, then puts the values back.
  bool MakePresetWith(const char* name, const std::function<void()>& setValues);
  bool FillNextPreset(const char* name, const ByteChunk* state);
  // Asks the window for a file path; false without one.
  bool PromptForPresetFile(std::string* path, bool save, const char* extension);
  bool SavePresetFile(const char* path, bool bank);
  bool LoadPresetFile(const char* path, bool bank);

  int mNonAutomatedParams = 0;
  // While a load runs, a restored preset defers its notice and redraw to the
  // load's end (a failed load must not show what it half read).
  bool mLoadRunning = false;
  bool mLoadPresetsChanged = false;
  std::unique_ptr<IHardwarePorts> mPorts;
  std::vector<ChannelCountPair> mChannelIO;
  KIT_Mutex mMutex;
  char mEffectName[kMaxNameLen] = {};
  char mProductName[kMaxNameLen] = {};
  char mMfrName[kMaxNameLen] = {};
  int32_t mUniqueID;
  int32_t mMfrID;
  int32_t mVersion;
  EAPI mAPI;
  bool mStateChunks;
  bool mIsInst;
  int mCurrentPresetIdx = 0;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency;
  IGraphicsBase* mGraphics = nullptr;
  std::vector<std::unique_ptr<IParam>> mParams;
  std::vector<std::unique_ptr<IPreset>> mPresets;
  std::vector<double*> mInData;
  std::vector<double*> mOutData;
  std::vector<std::unique_ptr<InChannel>> mInChannels;
  std::vector<std::unique_ptr<OutChannel>> mOutChannels;
};
