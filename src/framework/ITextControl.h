#pragma once
// Text controls: a text the editor sets, and a caption that shows its
// parameter's display text and opens the parameter's value prompt.
#include "framework/IControl.h"
#include "kit/string.h"

class ITextControl : public IControl {
 public:
  ITextControl(IPluginBase* plug, IRECT rect, const IText* style, const char* text = "");
  // A different text marks the control dirty and is stored; an equal text
  // changes nothing.
  void SetTextFromPlug(const char* text);
  const char* GetTextForPlug() const { return mStr.Get(); }
  bool Draw(IGraphics* graphics) override;

 protected:
  KIT_String mStr;
};

class ICaptionControl : public ITextControl {
 public:
  ICaptionControl(IPluginBase* plug, IRECT rect, int paramIdx, const IText* style, bool showParamLabel = true);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

 protected:
  bool mShowParamLabel;
};
