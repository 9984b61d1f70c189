#include "uiconfig/ICustomRadioButtonsControl.h"

#include "framework/IGraphics.h"

ICustomRadioButtonsControl::ICustomRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx, int nButtons,
                                                       IBitmap* bitmap, EDirection direction)
    : IRadioButtonsControl(plug, rect, paramIdx, nButtons, bitmap, direction, false) {
  mRECTs.clear();
  if (nButtons < 1) return;
  const int w = mBitmap.W, h = mBitmap.H;
  if (mBitmap.mFramesAreHorizontal) {
    mButtonWidth = w / 2;
    mButtonHeight = h / nButtons;
  } else {
    mButtonWidth = w / nButtons;
    mButtonHeight = h / 2;
  }
  for (int i = 0; i < nButtons; ++i) {
    if (direction == kHorizontal) {
      const int l = rect.L + i * mButtonWidth;
      mRECTs.emplace_back(l, rect.T, l + mButtonWidth, rect.T + (int)((double)h / mBitmap.Frames()));
    } else {
      const int t = rect.T + i * mButtonHeight;
      mRECTs.emplace_back(rect.L, t, rect.L + mButtonWidth, t + mButtonHeight);
    }
  }
}

void ICustomRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  IMouseMod m = mod ? *mod : IMouseMod();
  if (m.R) {
    if (!mRightClickSelects) {
      SetDirty(true);
      return;
    }
    m.L = true;
    m.R = false;
  }
  OnMouseDownCustom(x, y, &m);
  SetDirty(true);
}

void ICustomRadioButtonsControl::OnMouseDownCustom(int x, int y, IMouseMod* mod) {
  if (mod && mod->R) return;
  const int n = (int)mRECTs.size();
  if (n == 0) {
    SetDirty(true);
    return;
  }
  const int last = mLastSelectable >= 0 && mLastSelectable < n ? mLastSelectable : n - 1;
  for (int i = 0; i <= last; ++i) {
    const IRECT& r = mRECTs[(size_t)i];
    if (x >= r.L && x < r.R && y >= r.T && y < r.B) {
      // A group of one button has only the value 0.
      mValue = n > 1 ? (double)i / (n - 1) : 0.0;
      break;
    }
  }
  SetDirty(true);
}

bool ICustomRadioButtonsControl::Draw(IGraphics* graphics) {
  const int n = (int)mRECTs.size();
  if (n == 0) return true;
  int selected = (int)((n - 1) * mValue + 0.5);
  selected = selected < 0 ? 0 : (selected > n - 1 ? n - 1 : selected);
  mBlend.mWeight = 1.0f;  // full strength even while grayed out
  for (int i = 0; i < n; ++i) {
    const int state = i == selected && mShowSelectedFrame ? 2 : 1;
    const int srcX = mBitmap.mFramesAreHorizontal ? 0 : i * mButtonWidth;
    const int srcY = mBitmap.mFramesAreHorizontal ? i * mButtonHeight : 0;
    graphics->DrawBitmap(&mBitmap, &mRECTs[(size_t)i], state, srcX, srcY, &mBlend);
  }
  return true;
}
