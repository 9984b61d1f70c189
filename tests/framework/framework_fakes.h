#pragma once
// Stand-ins for the plug-in base's collaborators: a plug-in that records its
// hooks, a port that records the bytes it is given, and a graphics context
// that records the values pushed to it.
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "framework/IPluginBase.h"
#include "kit/heapbuf.h"

namespace fwtest {

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

// Routes every heap buffer through the given hooks while it lives.
struct ScopedAllocator {
  explicit ScopedAllocator(const KIT_HeapBuf::Allocator* a) { KIT_HeapBuf::SetAllocator(a); }
  ~ScopedAllocator() { KIT_HeapBuf::SetAllocator(nullptr); }
};
// Hooks under which every allocation fails.
inline const KIT_HeapBuf::Allocator kFailingAllocator = {[](void*, size_t) -> void* { return nullptr; },
                                                         [](size_t) -> void* { return nullptr; }, std::free};

// Shared record of what happened to a FakePorts and its plug-in, kept alive
// by the test so that it can be read after the plug-in is gone.
struct PortLog {
  Strings events;  // "shutdown", "sink", "sink-null", "destroyed", "graphics-deleted"
  std::vector<Bytes> sent;
};

// Everything a load from the host may change: parameter values, presets
// (flag, name, chunk bytes) and the current preset index.
struct PlugState {
  std::vector<double> values;
  std::vector<std::tuple<bool, std::string, Bytes>> presets;
  int current = 0;
  bool operator==(const PlugState&) const = default;
};
inline PlugState StateOf(const IPluginBase& plug) {
  PlugState s;
  for (int i = 0; i < plug.NParams(); ++i) s.values.push_back(plug.GetParam(i)->Value());
  for (int i = 0; i < plug.NPresets(); ++i) {
    const IPreset* p = plug.GetPreset(i);
    s.presets.emplace_back(p->mInitialized, p->mName, Bytes(p->mChunk.GetBytes(), p->mChunk.GetBytes() + p->mChunk.Size()));
  }
  s.current = plug.GetCurrentPresetIdx();
  return s;
}
inline bool ValuesInRange(const IPluginBase& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParam* p = plug.GetParam(i);
    if (!(p->Value() >= p->GetMin() && p->Value() <= p->GetMax())) return false;
  }
  return true;
}

class FakePorts : public IHardwarePorts {
 public:
  explicit FakePorts(std::shared_ptr<PortLog> log) : mLog(std::move(log)) {}
  ~FakePorts() override { mLog->events.push_back("destroyed"); }

  const Strings& outNames() override { return mOut; }
  const Strings& inNames() override { return mIn; }
  int openOut(int& portIndex, const char* name) override { return portIndex = mOpenOut = open(mOut, portIndex, name); }
  int openIn(int& portIndex, const char* name) override { return portIndex = mOpenIn = open(mIn, portIndex, name); }
  int findOut(const char* name) override { return find(mOut, name); }
  int findIn(const char* name) override { return find(mIn, name); }
  bool initializeVirtualOutput(const std::string& name) override {
    mVirtual = "From " + name;
    return true;
  }
  bool outOpen() const override { return mOpenOut > 0; }
  int openOutIndex() const override { return mOpenOut; }
  int openInIndex() const override { return mOpenIn; }
  bool send(const uint8_t* bytes, size_t size) override {
    if (!outOpen() || size == 0) return false;
    mLog->sent.emplace_back(bytes, bytes + size);
    return true;
  }
  void setInputSink(IHardwareInputSink* sink) override {
    mSink = sink;
    mLog->events.push_back(sink ? "sink" : "sink-null");
  }
  void shutdown() override {
    mLog->events.push_back("shutdown");
    mOpenIn = mOpenOut = 0;
  }
  // Delivers bytes as the input thread would.
  void deliver(const Bytes& b) {
    if (mSink) mSink->processMIDIInput(b.data(), b.size());
  }

  std::string mVirtual;

 private:
  static int find(const Strings& l, const char* name) {
    for (size_t i = 0; name && i < l.size(); ++i)
      if (l[i] == name) return static_cast<int>(i);
    return -1;
  }
  static int open(const Strings& l, int portIndex, const char* name) {
    const int i = portIndex == 0 ? 0 : find(l, name);
    return i > 0 ? i : 0;
  }

  std::shared_ptr<PortLog> mLog;
  Strings mOut{"OFF", "Synth Out"}, mIn{"OFF", "Synth In"};
  int mOpenOut = 0, mOpenIn = 0;
  IHardwareInputSink* mSink = nullptr;
};

struct Push {
  int idx;
  double value;
  bool normalized;
};

class FakeGraphics : public IGraphicsBase {
 public:
  explicit FakeGraphics(Strings* events = nullptr) : mEvents(events) {}
  ~FakeGraphics() override {
    if (mEvents) mEvents->push_back("graphics-deleted");
  }
  void SetParameterFromPlug(int paramIdx, double value, bool normalized) override {
    pushes.push_back({paramIdx, value, normalized});
  }
  void PrepDraw() override { ++prepDraws; }

  std::vector<Push> pushes;
  int prepDraws = 0;

 private:
  Strings* mEvents;
};

// A plug-in base with every hook recorded.
class TestPlug : public IPluginBase {
 public:
  explicit TestPlug(int nHostParams = 0, int nParams = 4, int nPresets = 0, const char* io = "2-2",
                    bool chunks = true, int32_t uniqueID = 0x5476726E)
      : IPluginBase(nParams, io, nPresets, "Effect", "Product", "Maker", 0x10100, uniqueID, 0x516C666E, 128, true,
                    chunks, false) {
    initialize(nHostParams, nParams, io, nPresets, "Effect", "Product", "Maker", 0x10100, uniqueID, 0x516C666E, 128,
               true, chunks, false);
  }

  void OnParamChange(int idx) override {
    changes.push_back(idx);
    changeValues.push_back(GetParam(idx) ? GetParam(idx)->Value() : -1.0);
    if (onChange) onChange(idx);
  }
  void OnParamChange2(int idx) override {
    changes2.push_back(idx);
    change2Values.push_back(GetParam(idx) ? GetParam(idx)->Value() : -1.0);
  }
  void Reset() override { ++resets; }
  void InformHostOfParamChange(int idx, double normalized) override { informs.push_back({idx, normalized, true}); }
  void BeginInformHostOfParamChange(int idx) override { begins.push_back(idx); }
  void EndInformHostOfParamChange(int idx) override { ends.push_back(idx); }
  void ResizeGraphics(int w, int h) override { resizes.push_back({w, h}); }
  void ProcessMidiMsg(IMidiMsg* msg, bool fromHardware) override {
    midi.push_back(*msg);
    midiFromHardware = fromHardware;
  }
  void ProcessSysEx(ISysEx* sysex, bool fromHardware) override {
    sysexes.emplace_back(sysex->mData, sysex->mData + sysex->mSize);
    sysexOffsets.push_back(sysex->mOffset);
    midiFromHardware = fromHardware;
  }
  void PresetsChangedByHost() override { ++presetsChanged; }
  double GetTempo() override { return tempo; }

  void ClearCounts() {
    changes = changes2 = begins = ends = {};
    changeValues = change2Values = {};
    informs.clear();
  }

  Ints changes, changes2, begins, ends;
  std::vector<double> changeValues, change2Values;  // raw values when the hooks ran
  std::vector<Push> informs;
  std::vector<std::pair<int, int>> resizes;
  std::vector<IMidiMsg> midi;
  std::vector<Bytes> sysexes;
  Ints sysexOffsets;
  bool midiFromHardware = false;
  int resets = 0, presetsChanged = 0;
  double tempo = 0.0;
  std::function<void(int)> onChange;
};

}  // namespace fwtest
