#include "editor/LayerTools.h"

#include <cstdio>

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/ITextControl.h"

namespace layertools {

void setText(IControl* control, const char* text) {
  if (auto* display = dynamic_cast<ITextControl*>(control)) display->SetTextFromPlug(text);
}

void showOnlySubLayer(ControlLayer* layer, int id) {
  if (!layer) return;
  layer->SetSelectedSubLayer(id);
  for (int i = 0; i < layer->NSubLayers(); ++i) {
    ControlLayer* sub = layer->GetSubLayer(i);
    sub->Hide(sub->GetId() != id);
  }
}

IControl* firstControl(const ControlLayer* layer) {
  return layer && layer->NControls() > 0 ? layer->GetControl(0) : nullptr;
}

void forEachPatternOverlay(int first, const std::function<void(const std::string&)>& each) {
  for (int step = first; step <= kLastPatternOverlay; ++step) {
    char name[32];
    std::snprintf(name, sizeof name, "pattStepOverlayer%02d", step);
    each(name);
  }
}

}  // namespace layertools
