#pragma once
// A plug-in with the editor's parameters and nothing else, recording the
// changes the window makes. Header-only, so the fuzz targets use it too.
#include <vector>

#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"

namespace uitest {

class Plug : public IPluginBase {
 public:
  Plug()
      : IPluginBase(kParameterCount, "0-2", 0, "Tavrin", "Tavrin Editor", "Quillfen", 0x10000, 1, 2, 0, true, true,
                    false) {
    initialize(0, kParameterCount, "0-2", 0, "Tavrin", "Tavrin Editor", "Quillfen", 0x10000, 1, 2, 0, true, true,
               false);
  }
  void OnParamChange(int idx) override { changes.push_back(idx); }
  std::vector<int> changes;
};

}  // namespace uitest
