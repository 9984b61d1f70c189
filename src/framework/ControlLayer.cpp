#include "framework/ControlLayer.h"

#include "framework/IControl.h"

ControlLayer::ControlLayer(int id, std::string name) : mId(id), mName(std::move(name)) {}

ControlLayer::~ControlLayer() {
  mControls.Empty(true);
  mLayers.Empty(true);
}

int ControlLayer::AttachControl(IControl* control) {
  if (!mControls.Add(control)) {
    delete control;  // the layer owns what it is given, even when it cannot keep it
    return -1;
  }
  return mControls.GetSize() - 1;
}

int ControlLayer::AttachLayer(ControlLayer* layer) {
  if (!mLayers.Add(layer)) {
    delete layer;
    return -1;
  }
  return mLayers.GetSize() - 1;
}

void ControlLayer::Hide(bool hide) {
  mVisible = !hide;
  setControlsDirty();
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->Hide(hide);
  for (int i = 0; i < mLayers.GetSize(); ++i) {
    ControlLayer* sub = mLayers.Get(i);
    if (hide)
      sub->Hide(true);
    else if (sub->mId == mSelectedId)
      sub->Hide(false);
  }
}

void ControlLayer::GrayOut(bool gray) {
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->GrayOut(gray);
  for (int i = 0; i < mLayers.GetSize(); ++i) {
    ControlLayer* sub = mLayers.Get(i);
    if (gray)
      sub->GrayOut(true);
    else if (sub->mId == mSelectedId)
      sub->GrayOut(false);
  }
}

void ControlLayer::GrayOutCustomZone(bool gray, int zone) {
  mSelectedId = zone;
  if (zone < 10 || zone > 252) return;
  for (int i = 0; i < mLayers.GetSize(); ++i)
    if (mLayers.Get(i)->mId == zone) mLayers.Get(i)->GrayOut(gray);
}

void ControlLayer::GrayOutUserArp(bool, int zone, int lastStep) {
  mSelectedId = zone;
  if (zone < 200 || zone > 252) return;
  for (int i = 0; i < mLayers.GetSize(); ++i) {
    ControlLayer* sub = mLayers.Get(i);
    sub->GrayOut(sub->mId > lastStep && sub->mId <= 252);
  }
}

void ControlLayer::setIgnoreHiddenWhenUpdatingScreen(bool on) {
  mIgnoreHidden = on;
  if (IControl* first = mControls.Get(0)) first->SetRedrawWhileHidden(on);
  for (int i = 0; i < mLayers.GetSize(); ++i) mLayers.Get(i)->setIgnoreHiddenWhenUpdatingScreen(on);
}

void ControlLayer::setControlsDirty() {
  ForEachControl([](IControl* c) { c->SetDirty(false); });
}

bool ControlLayer::CollectDirty(const KIT_PtrList<IControl>& controls, int first,
                                const KIT_PtrList<ControlLayer>& layers, IRECT* r) {
  bool dirty = false;
  for (int i = first; i < controls.GetSize(); ++i) {
    IControl* c = controls.Get(i);
    if (c->IsHidden() && !c->GetRedrawWhileHidden()) continue;
    if (c->IsDirty()) {
      *r = r->Union(c->GetRECT());
      dirty = true;
    }
  }
  for (int i = 0; i < layers.GetSize(); ++i)
    if (layers.Get(i)->isDirty(r)) dirty = true;
  return dirty;
}

bool ControlLayer::isDirty(IRECT* r) {
  if (!mVisible && !mIgnoreHidden) return false;
  return CollectDirty(mControls, 0, mLayers, r);
}

void ControlLayer::Draw(IGraphics* graphics, IRECT* r) {
  for (int i = 0; i < mControls.GetSize(); ++i) {
    IControl* c = mControls.Get(i);
    if (mVisible && !c->IsHidden() && r->Intersects(c->GetRECT())) c->Draw(graphics);
    c->SetClean();
  }
  for (int i = 0; i < mLayers.GetSize(); ++i) mLayers.Get(i)->Draw(graphics, r);
}

IControl* ControlLayer::isHit(int x, int y) {
  if (!mVisible) return nullptr;
  for (int i = mLayers.GetSize() - 1; i >= 0; --i)
    if (IControl* c = mLayers.Get(i)->isHit(x, y)) return c;
  for (int i = mControls.GetSize() - 1; i >= 0; --i) {
    IControl* c = mControls.Get(i);
    if (!c->IsHidden() && c->IsHit(x, y)) return c;
  }
  return nullptr;
}

IControl* ControlLayer::getControlFromParam(int paramIdx) {
  if (!mVisible) return nullptr;
  for (int i = mLayers.GetSize() - 1; i >= 0; --i)
    if (IControl* c = mLayers.Get(i)->getControlFromParam(paramIdx)) return c;
  for (int i = mControls.GetSize() - 1; i >= 0; --i)
    if (mControls.Get(i)->ParamIdx() == paramIdx) return mControls.Get(i);
  return nullptr;
}

void ControlLayer::SetControlsFromPlug(const KIT_PtrList<IControl>& controls, int paramIdx, double normalizedValue) {
  for (int i = 0; i < controls.GetSize(); ++i) {
    IControl* c = controls.Get(i);
    if (c->ParamIdx() == paramIdx) c->SetValueFromPlug(normalizedValue);
    const int aux = c->AuxParamIdx(paramIdx);
    if (aux >= 0) c->SetAuxParamValueFromPlug(aux, normalizedValue);
  }
}

void ControlLayer::SetParameterFromPlug(int paramIdx, double normalizedValue, bool) {
  SetControlsFromPlug(mControls, paramIdx, normalizedValue);
  for (int i = 0; i < mLayers.GetSize(); ++i) mLayers.Get(i)->SetParameterFromPlug(paramIdx, normalizedValue, true);
}

void ControlLayer::showMultiLayers(int id) {
  mSelectedId = id;
  if (id != 200) return;
  for (int i = 0; i < mLayers.GetSize(); ++i) {
    ControlLayer* sub = mLayers.Get(i);
    const int subId = sub->GetId();
    if (subId < 10 || (subId >= 200 && subId <= 299)) sub->Hide(false);
  }
}
