// The test plug-in as a module for the test host, with a test table that
// can open its hardware output port.
#include "host/ModuleTable.h"
#include "testplug.h"

namespace {

int32_t openMidiOut(AEffect* effect, const char* name) {
  try {
    auto* plug = effect ? static_cast<testplug::TestPlug*>(effect->object) : nullptr;
    if (!plug || !name) return 0;
    KIT_MutexLock lock(plug->GetMutex());
    return plug->openMidiOut(name) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // namespace

extern "C" AEffect* VSTPluginMain(audioMasterCallback host) { return testplug::makeEffect(host); }

extern "C" const TavrinModuleTable* tavrin_module_table() {
  static const TavrinModuleTable table = [] {
    TavrinModuleTable t = StandardModuleTable();
    t.openMidiOut = &openMidiOut;
    return t;
  }();
  return &table;
}
