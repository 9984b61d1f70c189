#pragma once
// A group of radio buttons drawn from one strip bitmap that pictures all the
// buttons in two frames (frame 1 all normal, frame 2 all selected); each
// button shows its own slice of the strip. With the frames top to bottom the
// buttons lie in a row across the bitmap; with the frames side by side, in a
// column down it.
//
// Built on the thread that constructs the plug-in; mouse and drawing run on
// the editor's user-interface thread under the plug-in's mutex, like every
// control.
#include "framework/IBitmapControls.h"

class ICustomRadioButtonsControl : public IRadioButtonsControl {
 public:
  ICustomRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                             EDirection direction);

  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override {}
  void OnMouseOver(int x, int y, IMouseMod* mod) override {}
  void OnMouseOut() override { SetDirty(false); }
  bool Draw(IGraphics* graphics) override;
  // The hit test and the new value of a click.
  void OnMouseDownCustom(int x, int y, IMouseMod* mod);

  int ButtonWidth() const { return mButtonWidth; }
  int ButtonHeight() const { return mButtonHeight; }

 protected:
  bool mRightClickSelects = false;  // a right click acts as a left click
  bool mShowSelectedFrame = true;   // the selected button draws frame 2
  int mButtonWidth = 0, mButtonHeight = 0;
  int mLastSelectable = -1;  // -1: every button can be chosen
};
