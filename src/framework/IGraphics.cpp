#include "framework/IGraphics.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>

#include "framework/GraphicsCaches.h"
#include "framework/IBitmapControls.h"
#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "kit/saturate.h"
#include "raster/bitmap.h"

IGraphics::IGraphics(IPluginBase* plug, int w, int h, int fps)
    : mPlug(plug), mWidth(w), mHeight(h), mFPS(fps < 1 ? 25 : fps) {
  GraphicsCaches::ContextOpened();
}

IGraphics::~IGraphics() {
  delete mKeyCatcher;
  mKeyCatcher = nullptr;
  mMouseCapture = mMouseOver = nullptr;
  mControls.Empty(true);
  mLayers.Empty(true);
  DeleteDrawBitmaps();
  GraphicsCaches::ContextClosed();
}

int IGraphics::LiveContexts() { return GraphicsCaches::LiveContexts(); }

void IGraphics::DeleteDrawBitmaps() {
  delete mDrawBitmap;
  mDrawBitmap = nullptr;
}

void IGraphics::PrepDraw() {
  DeleteDrawBitmaps();
  mDrawBitmap = new RAST_SysBitmap(mWidth, mHeight);
}

void IGraphics::Resize(int w, int h) {
  mWidth = w;
  mHeight = h;
  ReleaseMouseCapture();
  PrepDraw();
  if (mPlug) mPlug->ResizeGraphics(w, h);
}

// ---- Set-up ----

void IGraphics::AttachBackground(int id, const char* name, double scale) {
  IBitmap bg = LoadIBitmap(id, name, scale, 1, false);
  IControl* c = new IBitmapControl(mPlug, 0, 0, -1, &bg, IChannelBlend::kBlendClobber);
  if (!mControls.Insert(0, c)) delete c;
}

void IGraphics::AttachPanelBackground(const IColor* color) {
  IControl* c = new IPanelControl(mPlug, IRECT(0, 0, mWidth, mHeight), color);
  if (!mControls.Insert(0, c)) delete c;
}

int IGraphics::AttachControl(IControl* control) {
  if (!mControls.Add(control)) {
    delete control;
    return -1;
  }
  return mControls.GetSize() - 1;
}

int IGraphics::AttachLayer(ControlLayer* layer) {
  if (!mLayers.Add(layer)) {
    delete layer;
    return -1;
  }
  return mLayers.GetSize() - 1;
}

void IGraphics::AttachKeyCatcher(IControl* control) {
  if (control == mKeyCatcher) return;
  delete mKeyCatcher;
  mKeyCatcher = control;
}

// ---- Values ----

void IGraphics::HideControl(int paramIdx, bool hide) {
  ForEachBoundControl(paramIdx, [hide](IControl* c) { c->Hide(hide); });
}

void IGraphics::GrayOutControl(int paramIdx, bool gray) {
  ForEachBoundControl(paramIdx, [gray](IControl* c) { c->GrayOut(gray); });
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized) {
  if (!normalized) {
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    lo = param->GetNormalized(lo);
    hi = param->GetNormalized(hi);
  }
  ForEachBoundControl(paramIdx, [lo, hi](IControl* c) { c->Clamp(lo, hi); });
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
  IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
  if (!param) return;
  if (!normalized) {
    // The plain value is stored as it is (clamped, and rounded to the step
    // unless continuous), so whole values never come back a hair below.
    double v = value;
    if (param->Type() != IParam::kTypeDouble && param->GetStep() > 0.0)
      v = param->GetStep() * std::floor(v / param->GetStep() + 0.5);
    param->SetClamped(v);
    value = param->GetNormalized();
  }
  ControlLayer::SetControlsFromPlug(mControls, paramIdx, value);
  for (int i = 0; i < mLayers.GetSize(); ++i) mLayers.Get(i)->SetParameterFromPlug(paramIdx, value, true);
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue) {
  if (IControl* c = mControls.Get(controlIdx)) c->SetValueFromPlug(normalizedValue);
}

void IGraphics::SetAllControlsDirty() {
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->SetDirty(false);
}

void IGraphics::SetParameterFromGUI(int paramIdx, double normalizedValue) {
  ForEachBoundControl(paramIdx, [normalizedValue](IControl* c) { c->SetValueFromUserInput(normalizedValue); });
}

void IGraphics::SetStrictDrawing(bool strict) {
  mStrict = strict;
  SetAllControlsDirty();
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, IRECT* rect) {
  if (!control || !param || !rect) return;
  const int type = param->Type();
  const int n = param->GetNDisplayTexts();
  char current[128];
  if ((type == IParam::kTypeBool || type == IParam::kTypeEnum) && n > 0) {
    param->GetDisplayForHost(param->Value(), false, current, true);
    IPopupMenu menu;
    for (int i = 0; i < n; ++i) {
      const char* text = param->GetDisplayText(i);
      menu.AddItem(text, -1, strcmp(text, current) == 0 ? IPopupMenuItem::kChecked : IPopupMenuItem::kNoFlags);
    }
    if (IPopupMenu* chosen = CreateIPopupMenu(&menu, rect)) {
      const int idx = chosen->GetChosenItemIdx();
      if (chosen == &menu && idx >= 0) control->SetValueFromUserInput(param->GetNormalized((double)idx));
    }
    return;
  }
  param->GetDisplayForHost(param->Value(), false, current, type == IParam::kTypeText);
  CreateTextEntry(control, control->GetText(), rect, current, param);
}

// Reads a decimal number in the C locale by strtod rules, after leading
// blanks. False when the text does not start with a finite number.
static bool ReadNumber(const char* text, double* out) {
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", (locale_t)0);
  if (!text) return false;
  char* end = nullptr;
  const double v = cLocale ? strtod_l(text, &end, cLocale) : strtod(text, &end);
  if (end == text || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text) {
  if (!control || !param) return;
  if (!text) text = "";
  double v = 0.0;
  switch (param->Type()) {
    case IParam::kTypeBool:
    case IParam::kTypeEnum: {
      int idx = 0;
      if (param->GetNDisplayTexts() > 0) {
        if (!param->MapDisplayText(text, &idx)) idx = 0;
        v = idx;
      } else if (!ReadNumber(text, &v)) {
        v = 0.0;  // no display text can match: the first value
      }
      break;
    }
    case IParam::kTypeText: {
      param->SetDisplayText(0, text);
      const double t = control->GetValue() == 0.0 ? 1.0 : 0.0;
      param->SetClamped(t);
      control->SetValueFromUserInput(t);
      v = 0.0;
      break;
    }
    default:
      if (!ReadNumber(text, &v)) return;  // nothing to take
      if (param->NegateDisplay()) v = -v;
      break;
  }
  control->SetValueFromUserInput(param->GetNormalized(v));
}

// ---- Redraw ----

bool IGraphics::IsDirty(IRECT* r) {
  // Control 0 is the background: it is never asked, and Draw paints it
  // under whatever else is dirty.
  return ControlLayer::CollectDirty(mControls, 1, mLayers, r);
}

bool IGraphics::Draw(IRECT* r) {
  if (mControls.GetSize() == 0 && mLayers.GetSize() == 0) return true;
  // Images loaded since the last pass are decoded together, on every core.
  GraphicsCaches::Bitmaps().DecodeDeferred();
  mDrawRECT = *r;
  if (IControl* bg = mControls.Get(0)) bg->Draw(this);
  for (int i = 1; i < mControls.GetSize(); ++i) {
    IControl* c = mControls.Get(i);
    if (!c->IsHidden() && mDrawRECT.Intersects(c->GetRECT())) c->Draw(this);
    c->SetClean();
  }
  for (int i = 0; i < mLayers.GetSize(); ++i) mLayers.Get(i)->Draw(this, &mDrawRECT);
  return DrawScreen(&mDrawRECT);
}

// ---- Input ----

IControl* IGraphics::HitTest(int x, int y, bool mouseOver) {
  for (int i = mLayers.GetSize() - 1; i >= 0; --i)
    if (IControl* c = mLayers.Get(i)->isHit(x, y)) return c;
  for (int i = mControls.GetSize() - 1; i >= 0; --i) {
    IControl* c = mControls.Get(i);
    if (c->IsHidden()) continue;
    if (c->IsGrayed() && !(mouseOver && c->GetMOWhenGrayed())) continue;
    if (c->IsHit(x, y)) return c;
  }
  return nullptr;
}

void IGraphics::ReleaseMouseCapture() {
  mMouseCapture = nullptr;
  mMouseX = mMouseY = -1;
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod) {
  ReleaseMouseCapture();
  IControl* c = HitTest(x, y);
  if (!c) return;
  mMouseCapture = c;
  mMouseX = x;
  mMouseY = y;
  c->OnMouseDown(x, y, mod);
  const int idx = c->ParamIdx();
  if (idx >= 0 && mPlug) mPlug->BeginInformHostOfParamChange(idx);
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod) {
  IControl* c = mMouseCapture ? mMouseCapture : HitTest(x, y);
  ReleaseMouseCapture();
  if (!c) return;
  c->OnMouseUp(x, y, mod);
  const int idx = c->ParamIdx();
  if (idx >= 0 && mPlug) mPlug->EndInformHostOfParamChange(idx);
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod) {
  if (!mMouseCapture) return;
  // A drag to or from the far ends of the int range moves by the nearest int.
  const int dX = kit::saturatingSub(x, mMouseX), dY = kit::saturatingSub(y, mMouseY);
  if (dX == 0 && dY == 0) return;
  mMouseX = x;
  mMouseY = y;
  mMouseCapture->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod) {
  ReleaseMouseCapture();
  IControl* c = HitTest(x, y);
  if (!c) return false;
  if (c->MouseDblAsSingleClick()) {
    mMouseCapture = c;
    mMouseX = x;
    mMouseY = y;
    c->OnMouseDown(x, y, mod);
    return true;
  }
  c->OnMouseDblClick(x, y, mod);
  return false;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int d) {
  IControl* c = mMouseCapture ? mMouseCapture : HitTest(x, y);
  if (c) c->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* mod) {
  if (!mHandleMouseOver) return false;
  IControl* c = mMouseCapture ? mMouseCapture : HitTest(x, y, true);
  if (!c) return mHandleMouseOver;
  mMouseX = x;
  mMouseY = y;
  c->OnMouseOver(x, y, mod);
  if (mMouseOver && mMouseOver != c) mMouseOver->OnMouseOut();
  mMouseOver = c;
  return mHandleMouseOver;
}

void IGraphics::OnMouseOut() {
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->OnMouseOut();
  mMouseOver = nullptr;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
  if (mMouseCapture) return mMouseCapture->OnKeyDown(x, y, key);
  if (IControl* c = HitTest(x, y)) return c->OnKeyDown(x, y, key);
  if (mKeyCatcher) return mKeyCatcher->OnKeyDown(x, y, key);
  return false;
}

int IGraphics::GetParamIdxForPTAutomation(int x, int y) {
  IControl* c = mMouseCapture ? mMouseCapture : HitTest(x, y);
  mLastClickedParam = c ? c->ParamIdx() : -1;
  return mLastClickedParam;
}

int IGraphics::GetLastClickedParamForPTAutomation() {
  const int idx = mLastClickedParam;
  mLastClickedParam = -1;
  return idx;
}

void IGraphics::OnGUIIdle() {
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->OnGUIIdle();
}

// ---- Resources ----

std::unique_ptr<uint8_t[]> IGraphics::LoadFile(int id, const char* name) {
  mLastFileSize = 0;
  return OSLoadFile(id, name);
}
