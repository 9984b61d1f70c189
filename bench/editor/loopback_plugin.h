#pragma once
// A plug-in over the staged description with its ports chosen on a loopback
// hub that also carries the simulated instrument. The clock does not wait,
// so the enquiry that choosing the ports starts ends at once.
#include <functional>
#include <memory>
#include <thread>

#include "bench_support.h"
#include "editor/Tavrin.h"
#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "synthsim/SynthSimulator.h"
#include "paramtext.h"
#include "testsupport.h"

namespace edbench {

class LoopbackPlugin {
 public:
  // make: the plug-in to build, a plain Tavrin unless given.
  explicit LoopbackPlugin(const std::function<std::unique_ptr<Tavrin>()>& make = {}) {
    platform::setResourceFolder(TAVRIN_STAGED_ROOT);
    plug = make ? make() : std::make_unique<Tavrin>(IPluginInstanceInfo{});
    choose(kDeviceInSelection, testsupport::listedValue(*plug, kDeviceInSelection, sim.options().outPort));
    choose(kDeviceOutSelection, testsupport::listedValue(*plug, kDeviceOutSelection, sim.options().inPort));
    while (plug->jobRunning()) std::this_thread::yield();
  }
  ~LoopbackPlugin() { plug.reset(); }
  // The user's path with a plain value.
  void choose(int idx, int value) { plug->SetParameterFromGUI(idx, plug->GetParam(idx)->GetNormalized(value)); }

  testsupport::ScopedFolders folders;
  platform::ManualClock clock;
  platform::ScopedClock scopedClock{clock};
  LoopbackHub hub;
  LoopbackPortsScope portsScope{hub};
  std::unique_ptr<MidiBackend> simBackend = hub.makeBackend();
  synthsim::SynthSimulator sim{*simBackend};
  std::unique_ptr<Tavrin> plug;
};

}  // namespace edbench
