#pragma once
// What the tests of the dispatch's cases share: a parameter set to a plain
// value and dispatched as a control would, the texts of the displays and
// the state of named layers.
#include <string>

#include "editor/Tavrin.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/ITextControl.h"
#include "uiconfig/ControlAction.h"

namespace edtest {

// The parameter takes the value and its dispatch runs, even when the value
// is the one it held.
inline void press(Tavrin& p, int idx, double value) {
  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(idx)->Set(value);
  }
  p.OnParamChange(idx);
}

// The text of the first control bound to a parameter ("" without one).
inline std::string shownText(Tavrin& p, int idx) {
  KIT_MutexLock lock(p.GetMutex());
  const ControlAction* action = p.GetParam(idx)->GetControlAction();
  auto* text = action && !action->controls.empty() ? dynamic_cast<ITextControl*>(action->controls.front()) : nullptr;
  return text ? text->GetTextForPlug() : "";
}

inline bool layerShown(Tavrin& p, const std::string& name) {
  ControlLayer* layer = p.namedLayer(name);
  return layer && layer->IsVisible();
}

// Every control of the layer is greyed out.
inline bool layerGrayed(Tavrin& p, const std::string& name) {
  ControlLayer* layer = p.namedLayer(name);
  bool grayed = layer != nullptr, any = false;
  if (layer) {
    layer->ForEachControl([&](IControl* c) {
      any = true;
      grayed = grayed && c->IsGrayed();
    });
  }
  return grayed && any;
}

}  // namespace edtest
