#pragma once
// What the editor benchmarks share: the plug-in's ports on a loopback hub,
// and the median of a run's timings.
#include <algorithm>
#include <memory>
#include <vector>

#include "editor/Tavrin.h"
#include "framework/IHardwarePorts.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"

namespace edbench {

// Installs ports on hub as the factory of every plug-in made meanwhile.
class LoopbackPortsScope {
 public:
  explicit LoopbackPortsScope(LoopbackHub& hub) {
    sHub = &hub;
    SetHardwarePortsFactory(&make);
  }
  ~LoopbackPortsScope() {
    SetHardwarePortsFactory(nullptr);
    sHub = nullptr;
  }

 private:
  static std::unique_ptr<IHardwarePorts> make() { return std::make_unique<MidiPorts>(sHub->makeBackend()); }
  static inline LoopbackHub* sHub = nullptr;
};

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace edbench
