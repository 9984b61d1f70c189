#pragma once
// Bitmap controls: each picks a frame of a multi-frame bitmap from its value
// and turns mouse input into a new value that it pushes to the plug-in.
#include <vector>

#include "framework/IControl.h"

// The frame (1-based) that a value selects in a bitmap of nFrames frames.
int FrameForValue(double value, int nFrames);

class IPanelControl : public IControl {
 public:
  IPanelControl(IPluginBase* plug, IRECT rect, const IColor* color);
  bool Draw(IGraphics* graphics) override;

 protected:
  IColor mColor;
};

class IBitmapControl : public IControl {
 public:
  IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                 int blendMethod = IChannelBlend::kBlendNone);
  bool Draw(IGraphics* graphics) override;
  IBitmap* GetBitmap() { return &mBitmap; }

 protected:
  IBitmap mBitmap;
};

// Steps through its frames on each press and wraps.
class ISwitchControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
};

// A momentary button: back to 0 on release.
class IContactControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
};

// Shows its frame only from value 0.5 up; while hidden it takes the mouse
// over its target area instead of its rectangle.
class IBitmapOverlayControl : public ISwitchControl {
 public:
  IBitmapOverlayControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT targetArea,
                        int blendMethod = IChannelBlend::kBlendNone);
  bool Draw(IGraphics* graphics) override;

 protected:
  IRECT mTargetArea;
};

class IRadioButtonsControl : public IControl {
 public:
  IRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                       EDirection direction = kVertical, bool reverse = false);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  const std::vector<IRECT>& GetButtonRECTs() const { return mRECTs; }

 protected:
  std::vector<IRECT> mRECTs;
  IBitmap mBitmap;
};

class IFaderControl : public IControl {
 public:
  IFaderControl(IPluginBase* plug, int x, int y, int length, int paramIdx, IBitmap* bitmap,
                EDirection direction = kVertical, bool onlyHandle = false);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  bool IsHit(int x, int y) override;

  // The handle's rectangle at a value; a negative value means the current one.
  IRECT GetHandleRECT(double value = -1.0) const;
  void SnapToMouse(int x, int y);

 protected:
  int mLen, mHandleHeadroom;
  IBitmap mBitmap;
  EDirection mDirection;
  bool mOnlyHandle;
};

class IKnobControl : public IControl {
 public:
  IKnobControl(IPluginBase* plug, IRECT rect, int paramIdx, EDirection direction = kVertical, double gearing = 4.0);
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override { return true; }

 protected:
  EDirection mDirection;
  double mGearing;
};

class IKnobMultiControl : public IKnobControl {
 public:
  IKnobMultiControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap);
  bool Draw(IGraphics* graphics) override;

 protected:
  IBitmap mBitmap;
};

// A switch with no picture: a press sets the value to 1.0 from below 0.5
// and to 0.0 otherwise.
class IInvisibleSwitchControl : public IControl {
 public:
  IInvisibleSwitchControl(IPluginBase* plug, IRECT rect, int paramIdx);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override { return true; }
};

// A switch whose press opens the parameter's value prompt.
class ISwitchPopUpControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
};


// Knobs drawn from their angle, min + (max - min) x value, in radians
// clockwise from straight up; they turn by dragging as any knob. By default
// they sweep from 135 degrees left of straight up to 135 degrees right.
inline constexpr double kKnobHalfSweep = 2.35619449019234492885;

// A line in the colour along the angle from the centre, between the inner
// and the outer radius (both kept inside the rectangle), anti-aliased.
class IKnobLineControl : public IKnobControl {
 public:
  IKnobLineControl(IPluginBase* plug, IRECT rect, int paramIdx, const IColor* color, double innerRadius,
                   double outerRadius, double minAngle = -kKnobHalfSweep, double maxAngle = kKnobHalfSweep,
                   EDirection direction = kVertical, double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

 protected:
  IColor mColor;
  float mMinAngle, mMaxAngle, mInnerRadius, mOuterRadius;
};

// Its whole bitmap (the rectangle's size) turned about the rectangle's
// centre (the pivot yOffsetZeroDeg pixels below the bitmap's centre).
class IKnobRotaterControl : public IKnobControl {
 public:
  IKnobRotaterControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                      double minAngle = -kKnobHalfSweep, double maxAngle = kKnobHalfSweep, int yOffsetZeroDeg = 0,
                      EDirection direction = kVertical, double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

 protected:
  IBitmap mBitmap;
  double mMinAngle, mMaxAngle;
  int mYOffset;
};

// Base (the rectangle's size), the mask turned to the angle, and top over
// both.
class IKnobRotatingMaskControl : public IKnobControl {
 public:
  IKnobRotatingMaskControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* base, IBitmap* mask, IBitmap* top,
                           double minAngle = -kKnobHalfSweep, double maxAngle = kKnobHalfSweep,
                           EDirection direction = kVertical, double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

 protected:
  IBitmap mBase, mMask, mTop;
  double mMinAngle, mMaxAngle;
};
