#pragma once
// One plug-in over the project's description for the fuzz targets: its
// output port is always open and keeps nothing, and the clock does not
// wait, so the jobs the input starts end at once. MIDI I/O is set from the
// start, as choosing that port sets it: a target's first input finds the
// plug-in as a user leaves it.
#include <memory>

#include "editor/Tavrin.h"
#include "open_ports.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "testsupport.h"

namespace edtest {

struct FuzzPlugin {
  FuzzPlugin() {
    platform::setResourceFolder(TAVRIN_STAGED_ROOT);
    SetHardwarePortsFactory(&silentPorts);
    plug = std::make_unique<Tavrin>(IPluginInstanceInfo{});
    SetHardwarePortsFactory(nullptr);
    plug->setMidiIOSet(true);
  }
  static std::unique_ptr<IHardwarePorts> silentPorts() { return std::make_unique<OpenPorts>(); }

  testsupport::ScopedFolders folders;
  platform::ManualClock clock;
  platform::ScopedClock scopedClock{clock};
  std::unique_ptr<Tavrin> plug;
};

}  // namespace edtest
