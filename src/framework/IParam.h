#pragma once
// One parameter of the plug-in: a typed value with a range, a step, a shape
// that maps it to and from the normalised range 0..1, a default, a name, a
// unit label, a group and an optional list of texts that name particular
// integer values.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kit/heapbuf.h"

class ControlAction;  // how the parameter's value goes out; owned elsewhere

class IParam {
 public:
  enum EParamType : int32_t {
    kTypeNone = 0,    // not yet initialised
    kTypeBool = 1,    // two-state
    kTypeInt = 2,     // integer
    kTypeEnum = 3,    // enumerated
    kTypeDouble = 4,  // continuous
    kTypeText = 5     // text
  };

  // Field widths, terminator included.
  static constexpr size_t kNameLen = 55;         // name, label and group
  static constexpr size_t kDisplayTextLen = 56;  // one display text

  struct DisplayText {
    int32_t mValue;
    char mText[kDisplayTextLen];
  };

  IParam();
  ~IParam() = default;
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  // The first Init fixes the type; every Init copies name, label and group
  // (cut to 54 bytes at a character boundary) and sets range, value and
  // default. The two trailing ints are kept and never read.
  void InitBool(const char* name, bool defaultVal, const char* label = "", const char* group = "", int a = -1,
                int b = -1);
  void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "", const char* group = "",
                int a = -1, int b = -1);
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
               const char* group = "", int a = -1, int b = -1);
  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", const char* group = "", int a = -1, int b = -1);
  // Makes the parameter a text parameter whatever it was; nothing else changes.
  void InitText();

  // Raw (not normalised) value.
  double Value() const { return mValue; }
  void Set(double v) { mValue = v; }
  // Sets the raw value limited to [min, max]; a value that is not a number
  // becomes min.
  void SetClamped(double v);
  bool Bool() const { return mValue >= 0.5; }
  // The value truncated toward zero, limited to the int range.
  int Int() const;

  EParamType Type() const { return mType; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetStep() const { return mStep; }
  double GetShape() const { return mShape; }
  double GetDefault() const { return mDefault; }
  int GetPrecision() const { return mDisplayPrecision; }
  int GetInitArg1() const { return mInitArg1; }
  int GetInitArg2() const { return mInitArg2; }
  void GetBounds(double* lo, double* hi) const;

  // A shape of exactly 0 is ignored.
  void SetShape(double shape);
  // value = min + (max - min) * n^shape, rounded to the step unless the
  // parameter is continuous, then limited to max (there is no lower limit:
  // a negative n gives a value below min). A continuous result within
  // 1e-9 * (max - min) of an integer becomes that integer.
  void SetNormalized(double n);
  double GetNormalized() const { return GetNormalized(mValue); }
  // Any raw value normalised by this parameter's range and shape (clamped to
  // the range first); 0 for a parameter whose range is empty.
  double GetNormalized(double v) const;
  // The value taken as decibels, as an amplitude.
  double DBToAmp() const;

  // Display texts, addressed by their integer value as an index. A negative
  // value stores nothing and returns the given text; a value at or beyond the
  // count appends empty records for the gap and the record itself, and max
  // becomes the value. Returns the stored text.
  const char* SetDisplayText(int value, const char* text);
  void ResetDisplayTexts();
  int GetNDisplayTexts() const { return mDisplayTexts.GetSize(); }
  // The text of the first record whose value equals value, or "".
  const char* GetDisplayText(int value) const;
  // The text of record index ("" out of range); writes its value when asked.
  const char* GetDisplayTextAtIdx(int index, int* value = nullptr) const;
  // Exact, case-sensitive search; writes the value when found.
  bool MapDisplayText(const char* text, int* value) const;

  const char* GetNameForHost() const { return mName; }
  // "" when the current whole value has a non-empty display text.
  const char* GetLabelForHost() const;
  const char* GetParamGroupForHost() const { return mParamGroup; }
  const char* GetName() const { return mName; }
  const char* GetLabel() const { return mLabel; }

  // Formats value for the host into out (outSize bytes, always terminated),
  // in the C locale: normalised values are mapped without step or clamp;
  // with withDisplayText a display text of the whole value wins; the
  // negate flag negates; precision 0 prints the whole value.
  void GetDisplayForHost(double value, bool normalized, char* out, size_t outSize,
                         bool withDisplayText = true) const;
  template <size_t N>
  void GetDisplayForHost(double value, bool normalized, char (&out)[N], bool withDisplayText = true) const {
    GetDisplayForHost(value, normalized, out, N, withDisplayText);
  }
  // The current value as the host sees it.
  template <size_t N>
  void GetDisplayForHost(char (&out)[N], bool withDisplayText = true) const {
    GetDisplayForHost(mValue, false, out, N, withDisplayText);
  }

  void SetNegateDisplay(bool negate) { mNegateDisplay = negate; }
  bool NegateDisplay() const { return mNegateDisplay; }

  ControlAction* GetControlAction() const { return mControlAction; }
  void SetControlAction(ControlAction* action) { mControlAction = action; }

  // Truncates toward zero and limits to the int range (0 for not-a-number).
  static int WholeValue(double v) {
    if (v != v) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int>(v);
  }
  // n^shape; the linear shape is n itself, which is exactly what the power
  // gives for an exponent of 1, without its cost.
  static double Shaped(double n, double shape) { return shape == 1.0 ? n : std::pow(n, shape); }

 private:
  void SetTexts(const char* name, const char* label, const char* group);
  void SetTypeOnce(EParamType t) {
    if (mType == kTypeNone) mType = t;
  }

  EParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int32_t mInitArg1 = 0;
  int32_t mInitArg2 = 0;
  int32_t mDisplayPrecision = 0;
  char mName[kNameLen] = {};
  char mLabel[kNameLen] = {};
  char mParamGroup[kNameLen] = {};
  bool mNegateDisplay = false;
  KIT_TypedBuf<DisplayText> mDisplayTexts;
  ControlAction* mControlAction = nullptr;
};
