#pragma once
// A named group of controls with a tree of sub-layers: tab pages, panels and
// overlays. A layer owns its controls and sub-layers.
#include <string>

#include "framework/IGraphicsStructs.h"
#include "kit/ptrlist.h"

class IControl;
class IGraphics;

class ControlLayer {
 public:
  ControlLayer(int id, std::string name);
  ~ControlLayer();
  ControlLayer(const ControlLayer&) = delete;
  ControlLayer& operator=(const ControlLayer&) = delete;

  int AttachControl(IControl* control);
  int AttachLayer(ControlLayer* layer);

  void Hide(bool hide);
  void GrayOut(bool gray);
  void GrayOutCustomZone(bool gray, int zone);
  void GrayOutUserArp(bool gray, int zone, int lastStep);
  // Selects sub-layer id; for 200 shows every sub-layer whose id is below
  // 10 or from 200 to 299 and hides nothing. Other ids only select.
  void showMultiLayers(int id);
  void setIgnoreHiddenWhenUpdatingScreen(bool on);
  void setControlsDirty();

  bool isDirty(IRECT* r);
  // Grows r by every dirty control of controls from index first on (hidden
  // ones only when they redraw while hidden) and by the dirty areas of
  // layers; true when anything was dirty.
  static bool CollectDirty(const KIT_PtrList<IControl>& controls, int first, const KIT_PtrList<ControlLayer>& layers,
                           IRECT* r);
  void Draw(IGraphics* graphics, IRECT* r);
  IControl* isHit(int x, int y);
  IControl* getControlFromParam(int paramIdx);
  void SetParameterFromPlug(int paramIdx, double normalizedValue, bool normalized = true);
  // Gives the value to every control of the list bound to the parameter,
  // and to every control that has it as an aux parameter.
  static void SetControlsFromPlug(const KIT_PtrList<IControl>& controls, int paramIdx, double normalizedValue);

  int GetId() const { return mId; }
  const std::string& GetName() const { return mName; }
  bool IsVisible() const { return mVisible; }
  int GetSelectedSubLayer() const { return mSelectedId; }
  void SetSelectedSubLayer(int id) { mSelectedId = id; }
  bool GetIgnoreHidden() const { return mIgnoreHidden; }

  int NControls() const { return mControls.GetSize(); }
  IControl* GetControl(int i) const { return mControls.Get(i); }
  int NSubLayers() const { return mLayers.GetSize(); }
  ControlLayer* GetSubLayer(int i) const { return mLayers.Get(i); }

  // Visits every control of this layer and of its sub-layers, depth first.
  template <class F>
  void ForEachControl(F&& f) {
    for (int i = 0; i < mControls.GetSize(); ++i) f(mControls.Get(i));
    for (int i = 0; i < mLayers.GetSize(); ++i) mLayers.Get(i)->ForEachControl(f);
  }

 private:
  int mId;
  bool mVisible = false;
  KIT_PtrList<IControl> mControls;
  KIT_PtrList<ControlLayer> mLayers;
  std::string mName;
  int mSelectedId = 0;
  bool mIgnoreHidden = false;
};
