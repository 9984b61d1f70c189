#include "shim/winlibrary.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "kit/assocarray.h"
#include "kit/mutex.h"
#include "shim/winregistry.h"

namespace {

// A bundle folder; one object per real path while any instance holds it.
struct Bundle {
  std::string path;        // real path, without a trailing "/"
  std::string executable;  // empty when the bundle has none
  int refs = 1;
};

}  // namespace

struct SHIM_HINSTANCE__ {
  void* handle = nullptr;
  Bundle* bundle = nullptr;
  int refs = 1;
  SHIM_EntryPoint shimMain = nullptr;
  SHIM_EntryPoint dllMain = nullptr;
  void* lastSymbol = nullptr;
};

namespace {

int keyCompare(const uintptr_t* a, const uintptr_t* b) { return *a < *b ? -1 : *a > *b ? 1 : 0; }

struct Libraries {
  KIT_Mutex mutex;
  KIT_AssocArray<uintptr_t, SHIM_HINSTANCE> loaded{&keyCompare};
  std::map<std::string, Bundle*> bundles;
};

Libraries& libs() {
  static Libraries* l = new Libraries;  // lives until the process ends
  return *l;
}

uintptr_t keyOf(SHIM_HINSTANCE i) { return reinterpret_cast<uintptr_t>(i->bundle ? static_cast<void*>(i->bundle) : i->handle); }

bool isDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The bundle of a folder (a new reference), or null when path is none.
Bundle* openBundle(const char* path) {
  char real[PATH_MAX];
  if (!realpath(path, real) || !isDirectory(real)) return nullptr;
  Libraries& l = libs();
  auto it = l.bundles.find(real);
  if (it != l.bundles.end()) {
    ++it->second->refs;
    return it->second;
  }
  Bundle* b = new Bundle;
  b->path = real;
  std::string name = b->path.substr(b->path.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  const std::string exe = b->path + "/Contents/x86_64-linux/" + name + ".so";
  struct stat st;
  if (stat(exe.c_str(), &st) == 0 && S_ISREG(st.st_mode)) b->executable = exe;
  l.bundles[b->path] = b;
  return b;
}

void releaseBundle(Bundle* b) {
  if (!b || --b->refs > 0) return;
  libs().bundles.erase(b->path);
  delete b;
}

// An instance still loaded; an unknown or freed one is not read.
bool live(SHIM_HINSTANCE i) { return shim::isLiveHandle(i, shim::HandleKind::Library); }

void* lookup(SHIM_HINSTANCE i, const char* name) {
  if (!live(i) || !i->handle || !name) return nullptr;
  return dlsym(i->handle, name);
}

// Entry points are foreign code: nothing thrown there goes further.
int callEntry(SHIM_EntryPoint fn, SHIM_HINSTANCE i, int reason, bool byteResult) {
  try {
    const int r = fn(i, reason, nullptr);
    return byteResult ? static_cast<unsigned char>(r) : r;
  } catch (...) {
    return 0;
  }
}

// The folder of the program, or the bundle around it.
std::string mainBundlePath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  std::string dir(buf, static_cast<size_t>(n));
  dir.resize(dir.rfind('/'));
  const size_t up = dir.rfind('/');
  if (up != std::string::npos && up >= 9 && dir.compare(up - 9, 9, "/Contents") == 0) return dir.substr(0, up - 9);
  return dir;
}

int copyOut(char* buf, int size, const std::string& text) {
  const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
  return static_cast<int>(n);
}

}  // namespace

SHIM_HINSTANCE LoadLibrary(const char* path) { return LoadLibraryGlobals(path, false); }

SHIM_HINSTANCE LoadLibraryGlobals(const char* path, bool symbolsGlobal) {
  if (!path || !*path) return nullptr;
  Libraries& l = libs();
  KIT_MutexLock lock(l.mutex);
  const int mode = RTLD_NOW | (symbolsGlobal ? RTLD_GLOBAL : RTLD_LOCAL);
  Bundle* bundle = isDirectory(path) ? openBundle(path) : nullptr;
  void* handle = nullptr;
  if (bundle) {
    if (!bundle->executable.empty() && !(handle = dlopen(bundle->executable.c_str(), mode))) {
      releaseBundle(bundle);
      return nullptr;
    }
  } else if (!(handle = dlopen(path, mode))) {
    return nullptr;
  }
  const uintptr_t key = reinterpret_cast<uintptr_t>(bundle ? static_cast<void*>(bundle) : handle);
  if (SHIM_HINSTANCE* found = l.loaded.Get(key)) {
    ++(*found)->refs;
    return *found;
  }
  SHIM_HINSTANCE i = new SHIM_HINSTANCE__;
  i->handle = handle;
  i->bundle = bundle;
  if (!shim::registerHandle(i, shim::HandleKind::Library) || !l.loaded.Insert(key, i)) {
    shim::unregisterHandle(i, shim::HandleKind::Library);
    delete i;
    if (handle) dlclose(handle);
    releaseBundle(bundle);
    return nullptr;
  }
  SHIM_EntryPoint shimMain = reinterpret_cast<SHIM_EntryPoint>(GetProcAddress(i, "SHIM_dllMain"));
  if (!shimMain) return i;
  if (callEntry(shimMain, i, 1, false) == 0) {
    FreeLibrary(i);
    return nullptr;
  }
  SHIM_EntryPoint dllMain = reinterpret_cast<SHIM_EntryPoint>(GetProcAddress(i, "DllMain"));
  if (dllMain && callEntry(dllMain, i, 1, true) == 0) {
    callEntry(shimMain, i, 0, false);
    FreeLibrary(i);
    return nullptr;
  }
  i->shimMain = shimMain;
  i->dllMain = dllMain;
  return i;
}

void* GetProcAddress(SHIM_HINSTANCE instance, const char* name) {
  void* p = lookup(instance, name);
  if (p) instance->lastSymbol = p;
  return p;
}

BOOL FreeLibrary(SHIM_HINSTANCE instance) {
  if (!instance) return 0;
  Libraries& l = libs();
  KIT_MutexLock lock(l.mutex);
  if (!live(instance)) return 0;
  const bool last = --instance->refs <= 0;
  if (last) {
    l.loaded.Delete(keyOf(instance));
    if (instance->shimMain) {
      callEntry(instance->shimMain, instance, 0, false);
      if (instance->dllMain) callEntry(instance->dllMain, instance, 0, true);
    }
  }
  if (instance->handle) dlclose(instance->handle);
  releaseBundle(instance->bundle);
  if (last) {
    shim::unregisterHandle(instance, shim::HandleKind::Library);
    delete instance;
  }
  return 1;
}

int GetModuleFileName(SHIM_HINSTANCE instance, char* buf, int size) {
  if (!buf || size < 1) return 0;
  buf[0] = '\0';
  if (instance && !live(instance)) return 0;
  if (instance && instance->handle && !instance->bundle) {
    Dl_info info{};
    if (!instance->lastSymbol || !dladdr(instance->lastSymbol, &info) || !info.dli_fname) return 0;
    return copyOut(buf, size, info.dli_fname);
  }
  return copyOut(buf, size, instance && instance->bundle ? instance->bundle->path : mainBundlePath());
}

void SHIM_GenerateGUID(void* guid) {
  unsigned char b[16];
  if (!guid || getrandom(b, sizeof b, 0) != static_cast<ssize_t>(sizeof b)) return;
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
  std::memcpy(guid, b, sizeof b);
}

int SHIM_LibraryRefCount(SHIM_HINSTANCE instance) {
  KIT_MutexLock lock(libs().mutex);
  return live(instance) ? instance->refs : 0;
}

int SHIM_LibKeyCompare(uintptr_t a, uintptr_t b) { return keyCompare(&a, &b); }
