#include "host/ModuleTable.h"

#include <dirent.h>

#include <cstring>

#include "host/IPluginVST.h"
#include "platform/folders.h"

#ifndef TAVRIN_BUILD_ID
#define TAVRIN_BUILD_ID "unknown build"
#endif

int32_t CountProcessThreads() {
  DIR* d = opendir("/proc/self/task");
  if (!d) return 0;
  int32_t n = 0;
  while (const dirent* e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n;
}

namespace {

// Taken when the module is loaded, before any of its plug-ins exists.
const int32_t g_threadsAtLoad = CountProcessThreads();

int32_t liveInstances() { return IPluginVST::LiveInstances(); }

int32_t moduleThreads() {
  const int32_t n = CountProcessThreads() - g_threadsAtLoad;
  return n > 0 ? n : 0;
}

void setDataFolder(const char* path) { platform::setDataFolder(path ? path : ""); }
void setResourceFolder(const char* path) { platform::setResourceFolder(path ? path : ""); }

}  // namespace

TavrinModuleTable StandardModuleTable() {
  TavrinModuleTable t{};
  t.version = kModuleTableVersion;
  t.build = TAVRIN_BUILD_ID;
  t.liveInstances = &liveInstances;
  t.moduleThreads = &moduleThreads;
  t.setDataFolder = &setDataFolder;
  t.setResourceFolder = &setResourceFolder;
  t.openMidiOut = nullptr;
  return t;
}
