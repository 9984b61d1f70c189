#include "testhost/TestHost.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

// Leaks that are not ours to mend: the ring buffers RtMidi's JACK client
// leaves behind where no JACK server runs, and other makers' modules.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:jack_ringbuffer_create\nleak:/usr/lib/vst/\n";
}

namespace testhost {

// ---------------------------------------------------------------------------
// Module

std::unique_ptr<Module> Module::load(const std::string& path, const LoadOptions& options, std::string* error) {
  std::unique_ptr<Module> m(new Module);
  m->mPath = path;
  m->mDataFolder = options.dataFolder;
  if (options.userDataFolder) {
    unsetenv("TAVRIN_DATA_FOLDER");
  } else if (m->mDataFolder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/testhost-data-XXXXXX";
    if (!mkdtemp(templ.data())) {
      if (error) *error = "cannot make a data folder";
      return nullptr;
    }
    m->mDataFolder = templ;
    m->mOwnDataFolder = true;
  }
  if (!options.userDataFolder) setenv("TAVRIN_DATA_FOLDER", m->mDataFolder.c_str(), 1);
  if (!options.resourceFolder.empty()) setenv("TAVRIN_RESOURCE_FOLDER", options.resourceFolder.c_str(), 1);
  m->mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!m->mHandle) {
    if (error) *error = dlerror();
    return nullptr;  // the destructor removes the folder
  }
  if (auto proc = reinterpret_cast<TavrinModuleTableProc>(dlsym(m->mHandle, kModuleTableSymbol))) {
    const TavrinModuleTable* t = proc();
    if (t && t->version == kModuleTableVersion) m->mTable = t;
  }
  return m;
}

Module::~Module() {
  if (mHandle) dlclose(mHandle);
  if (mOwnDataFolder) {
    std::error_code ec;
    std::filesystem::remove_all(mDataFolder, ec);
  }
}

VSTEntryProc Module::entry(const char* name) const {
  return mHandle ? reinterpret_cast<VSTEntryProc>(dlsym(mHandle, name)) : nullptr;
}

VSTEntryProc Module::firstEntry(std::string* name) const {
  for (const char* n : {"VSTPluginMain", "main"}) {
    if (VSTEntryProc e = entry(n)) {
      if (name) *name = n;
      return e;
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Effect

namespace {
// The effect being made on this thread: its calls from inside the entry
// come before the record's user field can lead to it.
thread_local Effect* tCreating = nullptr;
}  // namespace

Effect::Effect(VSTEntryProc entry, bool ownModule, const Settings& settings)
    : mOwnModule(ownModule), mRecording(settings.record), mSettings(settings) {
  if (!entry) return;
  tCreating = this;
  AEffect* e = entry(&Effect::callback);
  tCreating = nullptr;
  if (e && e->magic == kEffectMagic) {
    e->user = this;
    mEffect = e;
  }
}

Effect::~Effect() { close(); }

intptr_t Effect::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  Effect* self = (effect && effect->user) ? static_cast<Effect*>(effect->user) : tCreating;
  return self ? self->answer(opcode, index, value, ptr, opt) : 0;
}

intptr_t Effect::answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  // The queries of every block are answered without the lock when no record
  // is kept, as a host answers them on its audio thread: want-MIDI reads no
  // setting, and the time info is the settings' own, which the plug-in reads
  // after the call without the lock anyway (settings change between blocks).
  if (!mRecording.load(std::memory_order_relaxed)) {
    if (opcode == audioMasterWantMidi) return 1;
    if (opcode == audioMasterGetTime) return timeAnswer();
  }
  std::lock_guard<std::mutex> lock(mMutex);
  if (mSettings.record) mCalls.push_back({opcode, index, value, opt, std::this_thread::get_id()});
  auto copyText = [&](const std::string& s) {
    if (ptr) {
      const size_t n = std::min<size_t>(s.size(), kVstMaxProductStrLen - 1);
      std::memcpy(ptr, s.data(), n);
      static_cast<char*>(ptr)[n] = '\0';
    }
    return ptr ? 1 : 0;
  };
  switch (opcode) {
    case audioMasterVersion:
      return mSettings.vstVersion;
    case audioMasterWantMidi:
      return 1;
    case audioMasterGetSampleRate:
      return static_cast<intptr_t>(mSettings.sampleRate);
    case audioMasterGetBlockSize:
      return mSettings.blockSize;
    case audioMasterGetTime:
      return timeAnswer();
    case audioMasterProcessEvents: {
      const auto* list = static_cast<const VstEvents*>(ptr);
      for (int32_t i = 0; list && i < list->numEvents; ++i) {
        const VstEvent* e = list->events[i];
        if (!e) continue;
        Event copy{e->type, e->byteSize, e->deltaFrames, {}};
        if (e->type == kVstSysExType) {
          const auto* s = reinterpret_cast<const VstMidiSysexEvent*>(e);
          if (s->sysexDump && s->dumpBytes > 0) copy.bytes.assign(s->sysexDump, s->sysexDump + s->dumpBytes);
        } else if (e->type == kVstMidiType) {
          const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
          copy.bytes.assign(m->midiData, m->midiData + 4);
        }
        mEvents.push_back(std::move(copy));
      }
      return 1;
    }
    case audioMasterGetCurrentProcessLevel:
      return mSettings.processLevel;
    case audioMasterGetVendorString:
      return copyText(mSettings.vendor);
    case audioMasterGetProductString:
      return copyText(mSettings.product);
    case audioMasterGetVendorVersion:
      return mSettings.version;
    default:
      return 0;
  }
}

Effect::Settings Effect::settings() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mSettings;
}

void Effect::setSettings(const Settings& s) {
  std::lock_guard<std::mutex> lock(mMutex);
  mSettings = s;
  mRecording.store(s.record, std::memory_order_relaxed);
}

intptr_t Effect::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  if (!mEffect) return 0;
  AEffect* e = mEffect;
  if (opcode == effClose) mEffect = nullptr;
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

float Effect::getParameter(int32_t index) { return mEffect ? mEffect->getParameter(mEffect, index) : 0.0f; }

void Effect::setParameter(int32_t index, float value) {
  if (mEffect) mEffect->setParameter(mEffect, index, value);
}

std::string Effect::text(int32_t opcode, int32_t index, size_t bufferSize) {
  std::vector<char> buf(bufferSize + 1, '\0');
  dispatch(opcode, index, 0, buf.data());
  return std::string(buf.data());
}

void Effect::start() {
  const Settings s = settings();
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(s.sampleRate));
  dispatch(effSetBlockSize, 0, s.blockSize);
  dispatch(effMainsChanged, 0, 1);
}

void Effect::close() {
  if (!mEffect) return;
  dispatch(effMainsChanged, 0, 0);
  dispatch(effClose);
}

void Effect::resizeBuffers(int32_t nFrames) {
  const size_t frames = static_cast<size_t>(std::max(nFrames, 0));
  const size_t nIn = static_cast<size_t>(std::max(mEffect->numInputs, 0));
  const size_t nOut = static_cast<size_t>(std::max(mEffect->numOutputs, 0));
  mIn.assign(nIn, std::vector<float>(frames));
  mOut.assign(nOut, std::vector<float>(frames));
  mInD.assign(nIn, std::vector<double>(frames));
  mOutD.assign(nOut, std::vector<double>(frames));
  mInP.clear(), mOutP.clear(), mInPD.clear(), mOutPD.clear();
  for (size_t i = 0; i < nIn; ++i) mInP.push_back(mIn[i].data()), mInPD.push_back(mInD[i].data());
  for (size_t i = 0; i < nOut; ++i) mOutP.push_back(mOut[i].data()), mOutPD.push_back(mOutD[i].data());
}

void Effect::process(Kind kind, int32_t nFrames, float in, float outStart) {
  if (!mEffect) return;
  if (mOut.size() != static_cast<size_t>(std::max(mEffect->numOutputs, 0)) ||
      mIn.size() != static_cast<size_t>(std::max(mEffect->numInputs, 0)) ||
      (!mOut.empty() && mOut[0].size() != static_cast<size_t>(nFrames)) ||
      (!mIn.empty() && mIn[0].size() != static_cast<size_t>(nFrames)))
    resizeBuffers(nFrames);
  for (auto& c : mIn) std::fill(c.begin(), c.end(), in);
  for (auto& c : mOut) std::fill(c.begin(), c.end(), outStart);
  switch (kind) {
    case Kind::Replacing:
      mEffect->processReplacing(mEffect, mInP.data(), mOutP.data(), nFrames);
      break;
    case Kind::Accumulating:
      mEffect->process(mEffect, mInP.data(), mOutP.data(), nFrames);
      break;
    case Kind::Double:
      for (auto& c : mInD) std::fill(c.begin(), c.end(), in);
      for (auto& c : mOutD) std::fill(c.begin(), c.end(), outStart);
      mEffect->processDoubleReplacing(mEffect, mInPD.data(), mOutPD.data(), nFrames);
      for (size_t i = 0; i < mOut.size(); ++i)
        std::transform(mOutD[i].begin(), mOutD[i].end(), mOut[i].begin(), [](double v) { return float(v); });
      break;
  }
}

float Effect::peak() const {
  float p = 0.0f;
  for (const auto& c : mOut)
    for (float v : c) p = std::max(p, std::fabs(v));
  return p;
}

intptr_t Effect::sendMidi(const std::vector<Midi>& events) {
  std::vector<VstMidiEvent> records(events.size());
  std::vector<char> list(sizeof(VstEvents) + events.size() * sizeof(VstEvent*), 0);
  auto* l = reinterpret_cast<VstEvents*>(list.data());
  l->numEvents = static_cast<int32_t>(events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    VstMidiEvent& r = records[i];
    r = VstMidiEvent{};
    r.type = kVstMidiType;
    r.byteSize = sizeof(VstMidiEvent);
    r.deltaFrames = events[i].offset;
    r.midiData[0] = static_cast<char>(events[i].status);
    r.midiData[1] = static_cast<char>(events[i].data1);
    r.midiData[2] = static_cast<char>(events[i].data2);
    l->events[i] = reinterpret_cast<VstEvent*>(&r);
  }
  return dispatch(effProcessEvents, 0, 0, l);
}

std::vector<Call> Effect::calls() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mCalls;
}

std::vector<Event> Effect::events() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mEvents;
}

size_t Effect::countCalls(int32_t opcode) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return static_cast<size_t>(std::count_if(mCalls.begin(), mCalls.end(), [&](const Call& c) { return c.opcode == opcode; }));
}

void Effect::clearRecords() {
  std::lock_guard<std::mutex> lock(mMutex);
  mCalls.clear();
  mEvents.clear();
}

// ---------------------------------------------------------------------------
// Script

namespace {

struct ScriptState {
  LoadOptions options;
  std::unique_ptr<Module> module;
  std::unique_ptr<Effect> effect;
};

bool chunkKind(const std::string& word, int32_t* index) {
  if (word == "bank") return *index = 0, true;
  if (word == "program") return *index = 1, true;
  return false;
}

// One step: its printed result, or an error text starting with "error".
std::string step(ScriptState& st, const std::string& line) {
  std::istringstream in(line);
  std::string cmd, a, b;
  in >> cmd;
  if (cmd == "load") {
    std::getline(in >> std::ws, a);
    st.effect.reset();
    st.module.reset();
    std::string error;
    st.module = Module::load(a, st.options, &error);
    if (!st.module) return "error: " + error;
    return st.module->table() ? "1" : "0";
  }
  if (cmd == "unload") {
    st.effect.reset();
    st.module.reset();
    return "0";
  }
  if (!st.module) return "error: no module loaded";
  const TavrinModuleTable* table = st.module->table();
  if (cmd == "entry") {
    in >> a;
    VSTEntryProc e = a.empty() ? st.module->firstEntry(&a) : st.module->entry(a.c_str());
    if (!e) return "error: no entry " + a;
    st.effect.reset();
    st.effect = std::make_unique<Effect>(e, table != nullptr);
    return st.effect->ok() ? "1" : "0";
  }
  if (cmd == "instances") return table ? std::to_string(table->liveInstances()) : "error: no test table";
  if (cmd == "threads") return table ? std::to_string(table->moduleThreads()) : "error: no test table";
  static const char* const kEffectSteps[] = {"info", "open", "close", "rate", "block", "mains", "cando", "name",
                                             "getchunk", "setchunk", "midi", "process", "editopen", "editclose",
                                             "status"};
  if (std::find(std::begin(kEffectSteps), std::end(kEffectSteps), cmd) == std::end(kEffectSteps))
    return "error: unknown step " + cmd;
  // "load" only loads the module: "entry" makes the effect that the other steps drive.
  if (!st.effect) return "error: no effect (make one with entry)";
  if (!st.effect->ok()) return "error: no effect (the entry made none)";
  Effect& fx = *st.effect;
  AEffect* e = fx.effect();
  if (cmd == "info") {
    char id[5] = {};
    for (int i = 0; i < 4; ++i) id[i] = static_cast<char>((e->uniqueID >> (24 - 8 * i)) & 0xFF);
    std::ostringstream o;
    o << "\"" << fx.text(effGetEffectName) << "\" by \"" << fx.text(effGetVendorString) << "\", id '" << id
      << "', version " << e->version << ", flags 0x" << std::hex << e->flags << std::dec << ", " << e->numInputs
      << " in, " << e->numOutputs << " out, " << e->numPrograms << " programs, " << e->numParams << " parameters";
    return o.str();
  }
  if (cmd == "open") return std::to_string(fx.dispatch(effOpen));
  if (cmd == "close") {
    st.effect.reset();
    return "0";
  }
  if (cmd == "rate") {
    Effect::Settings s = fx.settings();
    in >> s.sampleRate;
    fx.setSettings(s);
    return std::to_string(fx.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(s.sampleRate)));
  }
  if (cmd == "block") {
    Effect::Settings s = fx.settings();
    in >> s.blockSize;
    fx.setSettings(s);
    return std::to_string(fx.dispatch(effSetBlockSize, 0, s.blockSize));
  }
  if (cmd == "mains") {
    in >> a;
    return std::to_string(fx.dispatch(effMainsChanged, 0, a == "on" ? 1 : 0));
  }
  if (cmd == "cando") {
    std::getline(in >> std::ws, a);
    return std::to_string(fx.dispatch(effCanDo, 0, 0, a.data()));
  }
  if (cmd == "name") return fx.text(effGetEffectName);
  if (cmd == "getchunk" || cmd == "setchunk") {
    int32_t index = 0;
    in >> a;
    std::getline(in >> std::ws, b);
    if (!chunkKind(a, &index) || b.empty()) return "error: " + cmd + " bank|program <file>";
    if (cmd == "getchunk") {
      void* data = nullptr;
      const intptr_t n = fx.dispatch(effGetChunk, index, 0, &data);
      if (n > 0 && data) std::ofstream(b, std::ios::binary).write(static_cast<const char*>(data), n);
      return std::to_string(n);
    }
    std::ifstream f(b, std::ios::binary);
    if (!f) return "error: cannot read " + b;
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return std::to_string(fx.dispatch(effSetChunk, index, static_cast<intptr_t>(bytes.size()), bytes.data()));
  }
  if (cmd == "midi") {
    unsigned s = 0, d1 = 0, d2 = 0;
    int offset = 0;
    in >> std::hex >> s >> d1 >> d2 >> std::dec >> offset;
    return std::to_string(fx.sendMidi({{uint8_t(s), uint8_t(d1), uint8_t(d2), offset}}));
  }
  if (cmd == "process") {
    int frames = 0, count = 1;
    in >> a >> frames >> count;
    const Effect::Kind kind = a == "double" ? Effect::Kind::Double
                              : a == "accumulating" ? Effect::Kind::Accumulating
                                                    : Effect::Kind::Replacing;
    const size_t before = fx.countCalls(audioMasterWantMidi);
    for (int i = 0; i < count; ++i) fx.process(kind, frames);
    return std::to_string(fx.countCalls(audioMasterWantMidi) - before);
  }
  if (cmd == "editopen") {
    static char window[1];
    return std::to_string(fx.dispatch(effEditOpen, 0, 0, window));
  }
  if (cmd == "editclose") return std::to_string(fx.dispatch(effEditClose));
  if (cmd == "status") {
    if (!table) return "error: no test table";
    int which = 0;
    in >> which;
    char text[256] = {};
    table->statusLine(e, which == 1 ? 1 : 0, text, sizeof text);
    return "\"" + std::string(text) + "\"";
  }
  return "error: unknown step " + cmd;
}

}  // namespace

int runScript(std::istream& in, std::ostream& out, const LoadOptions& options) {
  ScriptState st;
  st.options = options;
  std::string line, last;
  int status = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("expect ", 0) == 0) {
      const std::string want = line.substr(7);
      const bool ok = want == last;
      out << line << ": " << (ok ? "ok" : "FAILED, got " + last) << "\n";
      if (!ok) status = 1;
      continue;
    }
    last = step(st, line);
    out << line << " -> " << last << "\n";
    if (last.rfind("error", 0) == 0) status = 1;
  }
  out.flush();
  return status;
}

}  // namespace testhost
