#pragma once
// A VST 2.4 test host: loads a plug-in module by path, makes effects through
// its entries, answers their host calls and records them, runs blocks and
// hands them events. Built on the effect interface and libdl only.
//
// Loading: the module keeps its own folder settings, so the host points
// TAVRIN_DATA_FOLDER at a fresh temporary folder (removed at unload) unless
// given one, or removes it to leave the module its own default (the user's
// data folder), and sets TAVRIN_RESOURCE_FOLDER when asked, before dlopen
// with RTLD_NOW | RTLD_LOCAL.
//
// Host calls answer: 1 (version) 2400 unless told otherwise; 6 (wants MIDI)
// 1, without taking the lock when no record is kept; 16 the rate; 17 the
// block size; 7 the time record when one is given (never for other makers'
// modules); 8 copies the events and answers 1; 23 the process level; 32 the
// vendor string; 33 the product string; 34 the decimal version; others 0.
//
// Threads: one Effect may be driven from several threads at once, as a host
// does (dispatcher on one, blocks on another); its records and settings are
// guarded by its own lock, which no call into the plug-in holds. Load and
// unload on one thread, with no effect of the module alive.
#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/EffectInterface.h"
#include "host/ModuleTable.h"

namespace testhost {

struct LoadOptions {
  std::string dataFolder;      // empty: a fresh temporary folder
  std::string resourceFolder;  // empty: left as it is
  bool userDataFolder = false;  // the module's default data folder, as a user's host leaves it
};

class Module {
 public:
  // Null, with the reason in error, when the module cannot be loaded.
  static std::unique_ptr<Module> load(const std::string& path, const LoadOptions& options = {},
                                      std::string* error = nullptr);
  ~Module();  // dlclose, then the temporary data folder goes
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  const std::string& path() const { return mPath; }
  const std::string& dataFolder() const { return mDataFolder; }
  // An exported entry by name, or null.
  VSTEntryProc entry(const char* name) const;
  // VSTPluginMain, else main; name receives which (when given).
  VSTEntryProc firstEntry(std::string* name = nullptr) const;
  // The module's test table when it has one of this version; null for other
  // makers' modules.
  const TavrinModuleTable* table() const { return mTable; }

 private:
  Module() = default;
  void* mHandle = nullptr;
  std::string mPath;
  std::string mDataFolder;
  bool mOwnDataFolder = false;
  const TavrinModuleTable* mTable = nullptr;
};

// One host call as the plug-in made it.
struct Call {
  int32_t opcode;
  int32_t index;
  intptr_t value;
  float opt;
  std::thread::id thread;
};

// One event the plug-in handed the host (opcode 8).
struct Event {
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  std::vector<uint8_t> bytes;  // MIDI data (4 bytes) or the dump
};

// Host settings of an effect; change them before or between calls.
struct HostSettings {
  double sampleRate = 48000.0;
  int32_t blockSize = 256;
  int32_t processLevel = 0;
  std::string vendor = "Test Host";
  std::string product = "Test Host";
  int32_t version = 10000;  // decimal
  int32_t vstVersion = 2400;  // the answer to opcode 1
  bool giveTime = false;    // opcode 7 answers with `time`
  bool record = true;       // keep a record of every host call
  VstTimeInfo time{};
};

class Effect {
 public:
  using Settings = HostSettings;

  // Makes an effect through entry. ownModule: a module of this system (only
  // those are given the time record).
  explicit Effect(VSTEntryProc entry, bool ownModule = true, const Settings& settings = Settings());
  // Closes the effect when still open.
  ~Effect();
  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;

  AEffect* effect() const { return mEffect; }
  bool ok() const { return mEffect != nullptr; }

  Settings settings() const;
  void setSettings(const Settings& s);

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
  float getParameter(int32_t index);
  void setParameter(int32_t index, float value);
  // Text answers (effect name 45, vendor 47, product 48, parameter texts ...)
  // read into a zeroed buffer of bufferSize bytes.
  std::string text(int32_t opcode, int32_t index = 0, size_t bufferSize = 256);
  bool canDo(const char* query) { return dispatch(effCanDo, 0, 0, const_cast<char*>(query)) != 0; }

  // Open, rate, block size, mains on: a host's start.
  void start();
  // Mains off and close.
  void close();

  // One block through a process callback. Inputs hold `in`, outputs start
  // as `outStart` (which accumulating processing adds to).
  enum class Kind { Replacing, Accumulating, Double };
  void process(Kind kind, int32_t nFrames, float in = 0.0f, float outStart = 0.0f);
  // Output samples of the last block (doubles are narrowed).
  const std::vector<std::vector<float>>& outputs() const { return mOut; }
  float peak() const;

  // effProcessEvents with a list of MIDI events (3 bytes each, offsets).
  struct Midi {
    uint8_t status, data1, data2;
    int32_t offset = 0;
  };
  intptr_t sendMidi(const std::vector<Midi>& events);

  std::vector<Call> calls() const;
  std::vector<Event> events() const;
  size_t countCalls(int32_t opcode) const;
  void clearRecords();

 private:
  static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  intptr_t answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  // The time info the settings give, or 0. Settings change between blocks
  // (setSettings), never while one runs.
  intptr_t timeAnswer() const {
    return (mOwnModule && mSettings.giveTime) ? reinterpret_cast<intptr_t>(&mSettings.time) : 0;
  }
  void resizeBuffers(int32_t nFrames);

  AEffect* mEffect = nullptr;
  bool mOwnModule;
  std::atomic<bool> mRecording;  // settings' record, read without the lock
  mutable std::mutex mMutex;  // settings and records
  Settings mSettings;
  std::vector<Call> mCalls;
  std::vector<Event> mEvents;
  std::vector<std::vector<float>> mIn, mOut;
  std::vector<std::vector<double>> mInD, mOutD;
  std::vector<float*> mInP, mOutP;
  std::vector<double*> mInPD, mOutPD;
};

// Runs a script of steps, one a line, printing a line for each to out:
//   load <path> | entry [VSTPluginMain|main] | open | rate <hz> | block <n>
//   mains on|off | cando <text> | name | info
//   getchunk bank|program <file> | setchunk bank|program <file>
//   midi <status> <data1> <data2> [offset] (hex bytes; sent at once)
//   process replacing|accumulating|double <frames> [count]
//   editopen | editclose | close | unload | instances | threads
//   status [0|1]     (the status display, or the second line)
//   expect <value>   (the previous step's result)
// "load" loads the module only: "entry" makes the effect that the steps after
// it drive. Returns 0, or 1 when a step failed or an expectation did not hold.
int runScript(std::istream& in, std::ostream& out, const LoadOptions& options = {});

}  // namespace testhost
