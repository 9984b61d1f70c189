// The plug-in module: its entry makes one Tavrin for the host, and its test
// table serves the test host.
#include "editor/Tavrin.h"
#include "host/IPluginVST.h"
#include "host/ModuleTable.h"

namespace {

IPluginVST* makeTavrin(IPluginInstanceInfo info) { return new Tavrin(info); }

}  // namespace

extern "C" AEffect* VSTPluginMain(audioMasterCallback host) { return IPluginVST::MakeEffect(host, &makeTavrin); }

extern "C" const TavrinModuleTable* tavrin_module_table() {
  static const TavrinModuleTable table = StandardModuleTable();
  return &table;
}
