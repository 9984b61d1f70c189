#pragma once
// The test table of a plug-in module: one exported C function returns a
// versioned table of C function pointers that a test host uses beside the
// effect interface. Only C types cross; C++ objects would cross only between
// a module and a host of the same build, which `build` names.
//
// Threads: every entry may be called from any thread of the host. The
// folder setters take the platform's folder lock; the counts read atomics
// and the process's thread list.
#include <cstdint>

#include "host/EffectInterface.h"

extern "C" {

struct TavrinModuleTable {
  int32_t version;    // kModuleTableVersion
  const char* build;  // the build folder the module came from
  // Plug-ins of the module alive now.
  int32_t (*liveInstances)(void);
  // Threads of the process started since the module was loaded and still
  // running (the module's own, while the host starts none).
  int32_t (*moduleThreads)(void);
  // The module's folder overrides; null or "" removes one.
  void (*setDataFolder)(const char* path);
  void (*setResourceFolder)(const char* path);
  // Opens the plug-in's hardware output port by name (the MIDI interface of
  // TAVRIN_MIDI_API); 1 when open. Null in modules without it.
  int32_t (*openMidiOut)(AEffect* effect, const char* portName);
};

typedef const TavrinModuleTable* (*TavrinModuleTableProc)(void);
}

inline constexpr int32_t kModuleTableVersion = 1;
inline constexpr const char* kModuleTableSymbol = "tavrin_module_table";

// The table entries every module shares (openMidiOut null); a module copies
// it and adds its own.
TavrinModuleTable StandardModuleTable();
// Threads of the process now (the entries of /proc/self/task).
int32_t CountProcessThreads();
