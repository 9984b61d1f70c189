#pragma once
// A picture that covers the window while a long job runs. It places itself
// at the end of a layer when it is built, makes that layer skip its hidden
// controls when dirty areas are collected, draws the same picture whatever
// its value and ignores the mouse.
//
// Built on the thread that constructs the plug-in; drawing runs on the
// editor's user-interface thread under the plug-in's mutex.
#include "framework/IBitmapControls.h"

class ControlLayer;

class ProgressIndicator : public IBitmapOverlayControl {
 public:
  // The picture is drawn into (x, y, x + width, y + height).
  ProgressIndicator(ControlLayer* layer, IPluginBase* plug, int x, int y, int width, int height, int paramIdx,
                    IBitmap* bitmap, IRECT targetArea);

  void OnMouseDown(int x, int y, IMouseMod* mod) override {}
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override {}
  bool Draw(IGraphics* graphics) override;

  ControlLayer* GetLayer() const { return mLayer; }
  const IRECT& GetDrawingRECT() const { return mDrawRECT; }

 private:
  ControlLayer* mLayer;
  IBitmap mPicture;
  IRECT mDrawRECT;
  int mX, mY, mWidth, mHeight;
};
