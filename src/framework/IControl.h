#pragma once
// The base of every control in the window: rectangle, bound parameter,
// normalised value with default and clamp range, flags, and the three value
// paths (from the plug-in, from the user, from the synthesizer).
#include <vector>

#include "framework/IGraphicsStructs.h"

class IPluginBase;
class IGraphics;
class IParam;
class ITextControl;

class IControl {
 public:
  struct AuxParam {
    double mValue;
    int mParamIdx;
  };

  IControl(IPluginBase* plug, IRECT rect, int paramIdx = -1, int blendMethod = IChannelBlend::kBlendNone);
  virtual ~IControl();
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  virtual void OnMouseDown(int x, int y, IMouseMod* mod);
  virtual void OnMouseUp(int x, int y, IMouseMod* mod) {}
  virtual void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) {}
  virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
  virtual void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
  virtual bool OnKeyDown(int x, int y, int key) { return false; }
  virtual void OnMouseOver(int x, int y, IMouseMod* mod) {}
  virtual void OnMouseOut() {}

  virtual bool Draw(IGraphics* graphics) = 0;

  virtual void SetValueFromPlug(double value);
  virtual void SetValueFromHardware(double value);
  virtual void TextFromTextEntry(const char* text) {}

  virtual void Hide(bool hide);
  virtual void GrayOut(bool gray);
  virtual bool IsHit(int x, int y) { return mTargetRECT.Contains(x, y); }

  virtual void SetDirty(bool pushParamToPlug = true);
  virtual void SetDirty2(bool pushParamToPlug = true);
  virtual void SetClean() {
    mDirty = mChangedSinceDrawn;
    mChangedSinceDrawn = false;
  }
  virtual bool IsDirty() { return mDirty; }
  virtual void OnGUIIdle() {}
  virtual void SetAuxParamValueFromPlug(int auxIdx, double value);

  // The edit path: a changed value is stored and pushed to the plug-in.
  void SetValueFromUserInput(double value);
  void PromptUserInput();
  void PromptUserInput(IRECT* r);

  void AddAuxParam(int paramIdx);
  AuxParam* GetAuxParam(int i);
  int AuxParamIdx(int paramIdx) const;
  int NAuxParams() const { return (int)mAuxParams.size(); }
  void SetAllAuxParamsFromGUI();

  IPluginBase* GetPlug() const { return mPlug; }
  // The graphics context of the plug-in, or null.
  IGraphics* GetGUI() const;
  // The bound parameter, or null.
  IParam* GetParam() const;

  int ParamIdx() const { return mParamIdx; }
  void SetParamIdx(int i) { mParamIdx = i; }
  double GetValue() const { return mValue; }
  void SetValue(double v) { mValue = v; }
  double GetDefaultValue() const { return mDefaultValue; }
  void SetDefaultValue(double v) { mDefaultValue = v; }
  void Clamp(double lo, double hi) {
    mClampLo = lo;
    mClampHi = hi;
  }
  double GetClampLo() const { return mClampLo; }
  double GetClampHi() const { return mClampHi; }

  IRECT* GetRECT() { return &mRECT; }
  IRECT* GetTargetRECT() { return &mTargetRECT; }
  void SetTargetArea(IRECT r) { mTargetRECT = r; }
  IText* GetText() { return &mText; }
  void SetText(const IText* t) { mText = *t; }
  const IChannelBlend* GetBlend() const { return &mBlend; }

  bool IsHidden() const { return mHide; }
  bool IsGrayed() const { return mGrayed; }
  bool GetRedrawWhileHidden() const { return mRedrawWhileHidden; }
  void SetRedrawWhileHidden(bool on) { mRedrawWhileHidden = on; }
  bool GetChangedSinceDrawn() const { return mChangedSinceDrawn; }
  void SetChangedSinceDrawn(bool on) { mChangedSinceDrawn = on; }
  bool GetPromptingDisabled() const { return mDisablePrompt; }
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }
  bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
  void SetMOWhenGrayed(bool on) { mMOWhenGrayed = on; }
  bool MouseDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetMouseDblAsSingleClick(bool on) { mDblAsSingleClick = on; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int n) { mTextEntryLength = n; }

  ITextControl* GetValueDisplayControl() const { return mValueDisplayControl; }
  void SetValueDisplayControl(ITextControl* c) { mValueDisplayControl = c; }
  ITextControl* GetNameDisplayControl() const { return mNameDisplayControl; }
  void SetNameDisplayControl(ITextControl* c) { mNameDisplayControl = c; }

 protected:
  // Clamps, marks dirty and, when asked, pushes the value through one of the
  // plug-in's two value paths, then brings the linked texts up to date.
  void MarkDirty(bool push, bool hardwarePath);
  void UpdateLinkedTexts();
  // The shared step of the plug-in and hardware paths; false when the value
  // was only taken as the first value or did not change.
  bool TakeValue(double value);

  bool mHide = false;
  int mTextEntryLength = 16;
  bool mRedrawWhileHidden = false;
  IText mText;
  IPluginBase* mPlug;
  IRECT mRECT;
  IRECT mTargetRECT;
  int mParamIdx;
  std::vector<AuxParam> mAuxParams;
  double mValue = 0.0;
  double mDefaultValue = -1.0;
  double mClampLo = 0.0, mClampHi = 1.0;
  bool mDirty = true;
  bool mGrayed = false;
  bool mChangedSinceDrawn = false;
  bool mDisablePrompt = true;
  bool mDblAsSingleClick = false;
  bool mMOWhenGrayed = false;
  IChannelBlend mBlend;
  ITextControl* mValueDisplayControl = nullptr;
  ITextControl* mNameDisplayControl = nullptr;
};
