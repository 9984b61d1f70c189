#include "framework/IBitmapControls.h"

#include <algorithm>

#include "framework/IGraphics.h"

int FrameForValue(double value, int nFrames) {
  if (nFrames < 2) return 1;
  // Kept within the frames before the conversion, which is undefined for a
  // double outside the int range (and for NaN, which selects frame 1).
  const double offset = (nFrames - 1) * value + 0.5;
  if (!(offset >= 0.0)) return 1;
  if (offset >= nFrames - 1) return nFrames;
  return 1 + (int)offset;
}

static IRECT RectAt(int x, int y, const IBitmap* bitmap) {
  return IRECT(x, y, x + bitmap->FrameWidth(), y + bitmap->FrameHeight());
}

IPanelControl::IPanelControl(IPluginBase* plug, IRECT rect, const IColor* color)
    : IControl(plug, rect, -1, IChannelBlend::kBlendNone), mColor(*color) {}

bool IPanelControl::Draw(IGraphics* graphics) {
  graphics->FillIRect(&mColor, &mRECT, &mBlend);
  return true;
}

IBitmapControl::IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, int blendMethod)
    : IControl(plug, RectAt(x, y, bitmap), paramIdx, blendMethod), mBitmap(*bitmap) {}

bool IBitmapControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(mValue, mBitmap.N), &mBlend);
}

void ISwitchControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (mGrayed) return;
  mValue += mBitmap.N < 2 ? 1.0 : 1.0 / (mBitmap.N - 1);
  if (mValue > 1.001) mValue = 0.0;
  SetDirty(true);
}

void ISwitchControl::OnMouseDblClick(int x, int y, IMouseMod* mod) { OnMouseDown(x, y, mod); }

void IContactControl::OnMouseUp(int x, int y, IMouseMod* mod) {
  mValue = 0.0;
  SetDirty(true);
}

IBitmapOverlayControl::IBitmapOverlayControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                             IRECT targetArea, int blendMethod)
    : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod), mTargetArea(targetArea) {}

bool IBitmapOverlayControl::Draw(IGraphics* graphics) {
  if (mValue < 0.5) {
    mTargetRECT = mTargetArea;
    return true;
  }
  mTargetRECT = mRECT;
  return IBitmapControl::Draw(graphics);
}

IRadioButtonsControl::IRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx, int nButtons,
                                           IBitmap* bitmap, EDirection direction, bool reverse)
    : IControl(plug, rect, paramIdx), mBitmap(*bitmap) {
  if (nButtons <= 0) return;
  const int w = mBitmap.W, h = mBitmap.FrameHeight();
  mRECTs.resize((size_t)nButtons);
  for (int i = 0; i < nButtons; ++i) {
    // A reversed group puts button i where button n - 1 - i would stand.
    const int slot = reverse ? nButtons - 1 - i : i;
    int x = rect.L, y = rect.T;
    if (nButtons > 1) {
      if (direction == kHorizontal) {
        const double dX = (double)(rect.W() - w * nButtons) / (nButtons - 1);
        x = rect.L + slot * (w + (int)dX);
      } else {
        const double dY = (double)(rect.H() - h * nButtons) / (nButtons - 1);
        y = rect.T + slot * (h + (int)dY);
      }
    }
    mRECTs[(size_t)i] = IRECT(x, y, x + w, y + h);
  }
}

void IRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (mGrayed) return;
  if (mod && mod->R) {
    PromptUserInput();
    return;
  }
  const int n = (int)mRECTs.size();
  for (int i = 0; i < n; ++i) {
    if (mRECTs[(size_t)i].Contains(x, y)) {
      mValue = n > 1 ? (double)i / (double)(n - 1) : 0.0;
      break;
    }
  }
  SetDirty(true);
}

bool IRadioButtonsControl::Draw(IGraphics* graphics) {
  const int n = (int)mRECTs.size();
  const int selected = FrameForValue(mValue, n) - 1;
  for (int i = 0; i < n; ++i) graphics->DrawBitmap(&mBitmap, &mRECTs[(size_t)i], i == selected ? 2 : 1, &mBlend);
  return true;
}

IFaderControl::IFaderControl(IPluginBase* plug, int x, int y, int length, int paramIdx, IBitmap* bitmap,
                             EDirection direction, bool onlyHandle)
    : IControl(plug, IRECT(), paramIdx), mLen(length), mBitmap(*bitmap), mDirection(direction),
      mOnlyHandle(onlyHandle) {
  if (direction == kHorizontal) {
    mHandleHeadroom = mBitmap.FrameWidth();
    mRECT = IRECT(x, y, x + length, y + mBitmap.FrameHeight());
  } else {
    mHandleHeadroom = mBitmap.FrameHeight();
    mRECT = IRECT(x, y, x + mBitmap.FrameWidth(), y + length);
  }
  mTargetRECT = mRECT;
}

IRECT IFaderControl::GetHandleRECT(double value) const {
  if (value < 0.0) value = mValue;
  IRECT r(mRECT.L, mRECT.T, mRECT.L + mBitmap.FrameWidth(), mRECT.T + mBitmap.FrameHeight());
  const int travel = mLen - mHandleHeadroom;
  if (mDirection == kHorizontal) {
    const int dx = (int)(value * travel);
    r.L += dx;
    r.R += dx;
  } else {
    const int dy = (int)(travel * (1.0 - value));
    r.T += dy;
    r.B += dy;
  }
  return r;
}

void IFaderControl::SnapToMouse(int x, int y) {
  const int travel = mLen - mHandleHeadroom;
  if (travel <= 0) return;  // no room to move the handle
  // Worked out in double: a point at the far ends of the int range does not wrap.
  if (mDirection == kHorizontal)
    mValue = ((double)x - mHandleHeadroom / 2 - mRECT.L) / (double)travel;
  else
    mValue = 1.0 - ((double)y - mHandleHeadroom / 2 - mRECT.T) / (double)travel;
  SetDirty(true);
}

void IFaderControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (mGrayed) return;
  if (mod && mod->R) {
    PromptUserInput();
    return;
  }
  SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) {
  if (!mGrayed) SnapToMouse(x, y);
}

bool IFaderControl::Draw(IGraphics* graphics) {
  IRECT r = GetHandleRECT();
  return graphics->DrawBitmap(&mBitmap, &r, 1, &mBlend);
}

bool IFaderControl::IsHit(int x, int y) {
  if (!mOnlyHandle) return mTargetRECT.Contains(x, y);
  return GetHandleRECT().Contains(x, y);
}

IKnobControl::IKnobControl(IPluginBase* plug, IRECT rect, int paramIdx, EDirection direction, double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing) {}

void IKnobControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) {
  if (mGrayed) return;
  double gearing = mGearing;
  if (mod && (mod->S || mod->C)) gearing *= 10.0;
  if (mDirection == kVertical) {
    if (mRECT.B == mRECT.T) return;
    mValue += (double)dY / (double)(mRECT.T - mRECT.B) / gearing;
  } else {
    if (mRECT.R == mRECT.L) return;
    mValue += (double)dX / (double)(mRECT.R - mRECT.L) / gearing;
  }
  SetDirty(true);
}

IKnobMultiControl::IKnobMultiControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap)
    : IKnobControl(plug, RectAt(x, y, bitmap), paramIdx, kVertical, 4.0), mBitmap(*bitmap) {}

bool IKnobMultiControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(mValue, mBitmap.N), &mBlend);
}

IInvisibleSwitchControl::IInvisibleSwitchControl(IPluginBase* plug, IRECT rect, int paramIdx)
    : IControl(plug, rect, paramIdx, IChannelBlend::kBlendNone) {}

void IInvisibleSwitchControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  mValue = mValue < 0.5 ? 1.0 : 0.0;
  SetDirty(true);
}

void ISwitchPopUpControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  PromptUserInput();
  SetDirty(true);
}


// The knob's angle at its value.
static double KnobAngle(double minAngle, double maxAngle, double value) {
  return minAngle + (maxAngle - minAngle) * value;
}

IKnobLineControl::IKnobLineControl(IPluginBase* plug, IRECT rect, int paramIdx, const IColor* color,
                                   double innerRadius, double outerRadius, double minAngle, double maxAngle,
                                   EDirection direction, double gearing)
    : IKnobControl(plug, rect, paramIdx, direction, gearing), mColor(color ? *color : IColor()),
      mMinAngle((float)minAngle), mMaxAngle((float)maxAngle) {
  // The line and the pixel its anti-aliasing shades beside it stay inside
  // the rectangle, so no trace of it is left outside when it moves.
  const double room = std::max(0.0, (std::min(rect.W(), rect.H()) - 1) / 2.0 - 1.0);
  mOuterRadius = (float)std::clamp(outerRadius, 0.0, room);
  mInnerRadius = (float)std::clamp(innerRadius, 0.0, (double)mOuterRadius);
}

bool IKnobLineControl::Draw(IGraphics* graphics) {
  // The middle pixel (between the two middle ones for an even size).
  const float cx = (float)(mRECT.L + mRECT.R - 1) * 0.5f, cy = (float)(mRECT.T + mRECT.B - 1) * 0.5f;
  return graphics->DrawRadialLine(&mColor, cx, cy, (float)KnobAngle(mMinAngle, mMaxAngle, mValue), mInnerRadius,
                                  mOuterRadius, &mBlend, true);
}

IKnobRotaterControl::IKnobRotaterControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                         double minAngle, double maxAngle, int yOffsetZeroDeg, EDirection direction,
                                         double gearing)
    : IKnobControl(plug, IRECT(x, y, x + bitmap->W, y + bitmap->H), paramIdx, direction, gearing), mBitmap(*bitmap),
      mMinAngle(minAngle), mMaxAngle(maxAngle), mYOffset(yOffsetZeroDeg) {}

bool IKnobRotaterControl::Draw(IGraphics* graphics) {
  return graphics->DrawRotatedBitmap(&mBitmap, mRECT.L + mRECT.W() / 2, mRECT.T + mRECT.H() / 2,
                                     KnobAngle(mMinAngle, mMaxAngle, mValue), mYOffset, &mBlend);
}

IKnobRotatingMaskControl::IKnobRotatingMaskControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* base,
                                                   IBitmap* mask, IBitmap* top, double minAngle, double maxAngle,
                                                   EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, x + base->W, y + base->H), paramIdx, direction, gearing), mBase(*base),
      mMask(*mask), mTop(*top), mMinAngle(minAngle), mMaxAngle(maxAngle) {}

bool IKnobRotatingMaskControl::Draw(IGraphics* graphics) {
  return graphics->DrawRotatedMask(&mBase, &mMask, &mTop, mRECT.L, mRECT.T, KnobAngle(mMinAngle, mMaxAngle, mValue),
                                   &mBlend);
}
