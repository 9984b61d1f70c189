#include "framework/IControl.h"

#include <cstring>

#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "framework/ITextControl.h"

IControl::IControl(IPluginBase* plug, IRECT rect, int paramIdx, int blendMethod)
    : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blendMethod) {}

IControl::~IControl() = default;

IGraphics* IControl::GetGUI() const { return mPlug ? mPlug->GetGUI() : nullptr; }

IParam* IControl::GetParam() const { return (mPlug && mParamIdx >= 0) ? mPlug->GetParam(mParamIdx) : nullptr; }

void IControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (!mGrayed && mod && mod->R) PromptUserInput();
}

void IControl::OnMouseDblClick(int x, int y, IMouseMod* mod) {
  if (mGrayed || mDefaultValue < 0.0) return;
  mValue = mDefaultValue;
  SetDirty(true);
}

void IControl::OnMouseWheel(int x, int y, IMouseMod* mod, int d) {
  const bool fine = mod && (mod->S || mod->C);
  mValue += d * (fine ? 0.001 : 0.01);
  SetDirty(true);
}

bool IControl::TakeValue(double value) {
  if (mDefaultValue < 0.0) {
    mValue = mDefaultValue = value;
    return false;
  }
  if (mValue == value) return false;
  mValue = value;
  return true;
}

void IControl::SetValueFromPlug(double value) {
  if (!TakeValue(value)) return;
  SetDirty(false);
  mChangedSinceDrawn = true;
}

void IControl::SetValueFromHardware(double value) {
  if (!TakeValue(value)) return;
  SetDirty2(true);
  mChangedSinceDrawn = true;
}

void IControl::SetValueFromUserInput(double value) {
  if (mValue == value) return;
  mValue = value;
  SetDirty(true);
  mChangedSinceDrawn = true;
}

void IControl::Hide(bool hide) {
  mHide = hide;
  mChangedSinceDrawn = true;
  SetDirty(false);
}

void IControl::GrayOut(bool gray) {
  mGrayed = gray;
  mBlend.mWeight = gray ? 0.5f : 1.0f;
  SetDirty(false);
}

void IControl::SetDirty(bool push) { MarkDirty(push, false); }
void IControl::SetDirty2(bool push) { MarkDirty(push, true); }

void IControl::MarkDirty(bool push, bool hardwarePath) {
  mValue = mValue < mClampLo ? mClampLo : (mValue < mClampHi ? mValue : mClampHi);
  mDirty = true;
  if (!push || !mPlug || mParamIdx < 0) return;
  if (hardwarePath)
    mPlug->SetParameterFromGUI2(mParamIdx, mValue);
  else
    mPlug->SetParameterFromGUI(mParamIdx, mValue);
  UpdateLinkedTexts();
}

void IControl::UpdateLinkedTexts() {
  IParam* param = GetParam();
  if (!param) return;  // no parameter behind the index: the texts stay
  if (mValueDisplayControl) {
    char display[128];
    display[0] = '\0';
    param->GetDisplayForHost(param->Value(), false, display, true);
    mValueDisplayControl->SetTextFromPlug(display);
  }
  if (mNameDisplayControl) mNameDisplayControl->SetTextFromPlug(param->GetNameForHost());
}

void IControl::SetAuxParamValueFromPlug(int auxIdx, double value) {
  AuxParam* aux = GetAuxParam(auxIdx);
  if (!aux || aux->mValue == value) return;
  aux->mValue = value;
  SetDirty(false);
  mChangedSinceDrawn = true;
}

void IControl::PromptUserInput() {
  IParam* param = GetParam();
  if (!param || mDisablePrompt) return;
  IRECT r = mRECT;
  if (param->GetNDisplayTexts() <= 0) {
    const int cx = (int)((mRECT.L + mRECT.R) * 0.5), cy = (int)((mRECT.T + mRECT.B) * 0.5);
    r = IRECT(cx - 15, cy - 8, cx + 15, cy + 8);
  }
  PromptUserInput(&r);
}

void IControl::PromptUserInput(IRECT* r) {
  IParam* param = GetParam();
  if (!param || mDisablePrompt || !r) return;
  if (IGraphics* g = GetGUI()) g->PromptUserInput(this, param, r);
  mChangedSinceDrawn = true;
}

void IControl::AddAuxParam(int paramIdx) { mAuxParams.push_back(AuxParam{0.0, paramIdx}); }

IControl::AuxParam* IControl::GetAuxParam(int i) {
  return (i >= 0 && i < (int)mAuxParams.size()) ? &mAuxParams[(size_t)i] : nullptr;
}

int IControl::AuxParamIdx(int paramIdx) const {
  for (size_t i = 0; i < mAuxParams.size(); ++i)
    if (mAuxParams[i].mParamIdx == paramIdx) return (int)i;
  return -1;
}

void IControl::SetAllAuxParamsFromGUI() {
  if (!mPlug) return;
  for (const AuxParam& a : mAuxParams) mPlug->SetParameterFromGUI(a.mParamIdx, a.mValue);
}
