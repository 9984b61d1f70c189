#pragma once
// A plug-in with the editor's parameters and nothing else, recording the
// changes the window makes. Header-only, so the fuzz targets use it too.
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"
#include "host/IGraphicsHeadless.h"

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

// A headless window whose resource files come from memory, by last path
// component.
class MemoryGraphics : public IGraphicsHeadless {
 public:
  using IGraphicsHeadless::IGraphicsHeadless;
  std::unique_ptr<uint8_t[]> OSLoadFile(int, const char* name) override {
    const char* slash = std::strrchr(name, '/');
    auto it = files.find(slash ? slash + 1 : name);
    if (it == files.end()) return nullptr;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[it->second.size() + 8]());
    if (!it->second.empty()) std::memcpy(buffer.get(), it->second.data(), it->second.size());
    mLastFileSize = (int)it->second.size();
    return buffer;
  }
  std::map<std::string, std::vector<uint8_t>> files;
};

}  // namespace uitest
