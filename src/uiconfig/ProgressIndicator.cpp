#include "uiconfig/ProgressIndicator.h"

#include "framework/ControlLayer.h"
#include "framework/IGraphics.h"

ProgressIndicator::ProgressIndicator(ControlLayer* layer, IPluginBase* plug, int x, int y, int width, int height,
                                     int paramIdx, IBitmap* bitmap, IRECT targetArea)
    : IBitmapOverlayControl(plug, x, y, paramIdx, bitmap, targetArea),
      mLayer(layer),
      mPicture(*bitmap),
      mDrawRECT(x, y, x + width, y + height),
      mX(x),
      mY(y),
      mWidth(width),
      mHeight(height) {
  if (!mLayer) return;
  mLayer->AttachControl(this);
  mLayer->setIgnoreHiddenWhenUpdatingScreen(true);
}

bool ProgressIndicator::Draw(IGraphics* graphics) {
  return graphics->DrawBitmap(&mPicture, &mDrawRECT, 0, &mBlend);
}
