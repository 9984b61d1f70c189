#pragma once
// Library loading: LoadLibrary over dlopen, with one counted instance per
// library shared through a process-wide map, and the optional entry points
// SHIM_dllMain and DllMain called on attach (reason 1; 0 refuses) and detach
// (reason 0, SHIM_dllMain first). A path that names a folder is a bundle:
// "<folder>/Contents/x86_64-linux/<folder name without extension>.so",
// identified by the folder's real path.
//
// Threads: any thread. Loading, freeing and the map hold one recursive lock,
// also while the entry points run (so they may load and free libraries on
// the same thread); GetProcAddress and GetModuleFileName take none.
#include <cstdint>

#include "shim/wintypes.h"

struct SHIM_HINSTANCE__;
typedef SHIM_HINSTANCE__* SHIM_HINSTANCE;
// The form of both entry points.
typedef int (*SHIM_EntryPoint)(SHIM_HINSTANCE instance, int reason, void* reserved);

SHIM_HINSTANCE LoadLibrary(const char* path);
// Like LoadLibrary; symbolsGlobal makes the library's symbols available to
// libraries loaded later.
SHIM_HINSTANCE LoadLibraryGlobals(const char* path, bool symbolsGlobal);
void* GetProcAddress(SHIM_HINSTANCE instance, const char* name);
// Drops one reference; the last one detaches and unloads. 0 for null or an
// instance that is not loaded (freed, or never one).
BOOL FreeLibrary(SHIM_HINSTANCE instance);
// The file of a library loaded directly (known once a symbol was resolved
// from it), else the folder of its bundle, or of the program's bundle for a
// null instance; at most size - 1 bytes and a NUL. The length copied; 0,
// writing nothing, for a null buffer or a size below 1, and 0 with an empty
// text for an instance that is not loaded.
int GetModuleFileName(SHIM_HINSTANCE instance, char* buf, int size);
// 16 random bytes as a version 4, variant 10 identifier; nothing when no
// random bytes can be had or guid is null.
void SHIM_GenerateGUID(void* guid);

// For tests: an instance's reference count (0 for null), and the order of
// the map's keys (whole pointer values).
int SHIM_LibraryRefCount(SHIM_HINSTANCE instance);
int SHIM_LibKeyCompare(uintptr_t a, uintptr_t b);
