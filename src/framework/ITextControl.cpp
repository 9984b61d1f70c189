#include "framework/ITextControl.h"

#include <cstring>

#include "framework/IGraphics.h"
#include "framework/IParam.h"

ITextControl::ITextControl(IPluginBase* plug, IRECT rect, const IText* style, const char* text)
    : IControl(plug, rect) {
  if (style) mText = *style;
  if (text && *text) mStr.Set(text);
}

void ITextControl::SetTextFromPlug(const char* text) {
  if (!text) text = "";
  if (strcmp(mStr.Get(), text) == 0) return;
  SetDirty(false);
  mStr.Set(text);
}

bool ITextControl::Draw(IGraphics* graphics) {
  if (!mStr.GetLength()) return true;
  return graphics->DrawIText(&mText, mStr.Get(), &mRECT);
}

ICaptionControl::ICaptionControl(IPluginBase* plug, IRECT rect, int paramIdx, const IText* style,
                                 bool showParamLabel)
    : ITextControl(plug, rect, style), mShowParamLabel(showParamLabel) {
  mParamIdx = paramIdx;
}

void ICaptionControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (mGrayed) return;
  if (mod && (mod->L || mod->R)) PromptUserInput();
}

void ICaptionControl::OnMouseDblClick(int x, int y, IMouseMod* mod) {
  if (!mGrayed) PromptUserInput();
}

bool ICaptionControl::Draw(IGraphics* graphics) {
  if (IParam* param = GetParam()) {
    char display[128];
    display[0] = '\0';
    param->GetDisplayForHost(param->Value(), false, display, true);
    mStr.Set(display);
    if (mShowParamLabel) {
      mStr.Append(" ");
      mStr.Append(param->GetLabelForHost());
    }
  }
  return ITextControl::Draw(graphics);
}
