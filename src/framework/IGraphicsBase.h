#pragma once
// What the plug-in base needs of its graphics context. The graphics context
// derives from this class, so the base can own it, push parameter values to
// it and delete it through a virtual destructor without seeing its full
// declaration.
class IGraphics;

class IGraphicsBase {
 public:
  virtual ~IGraphicsBase() = default;
  // Moves the controls of a parameter to a value (normalised or raw).
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
  // Prepares drawing once every control is in place.
  virtual void PrepDraw() = 0;
  // The full graphics context this object is; null for stand-ins.
  virtual IGraphics* AsIGraphics() { return nullptr; }
};
