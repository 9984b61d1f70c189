#include "framework/IParam.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "kit/utf8.h"

namespace {

bool isWhole(double x) { return std::fabs(x - std::round(x)) <= 1e-9 * std::max(1.0, std::fabs(x)); }

// Digits after the decimal point that show a step exactly: 0 for a whole
// step, else the number of times it must be multiplied by 10 to become
// whole, and 6 when five times are not enough.
int precisionForStep(double step) {
  double s = std::fabs(step);
  if (!std::isfinite(s) || isWhole(s)) return 0;
  for (int i = 1; i <= 5; ++i) {
    s *= 10.0;
    if (isWhole(s)) return i;
  }
  return 6;
}

}  // namespace

IParam::IParam() : mDisplayTexts(KIT_GRAN_DEFAULT) {}

int IParam::Int() const { return WholeValue(mValue); }

void IParam::SetTexts(const char* name, const char* label, const char* group) {
  KIT_CopyField(mName, name);
  KIT_CopyField(mLabel, label);
  KIT_CopyField(mParamGroup, group);
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group, int a, int b) {
  SetTypeOnce(kTypeBool);
  SetTexts(name, label, group);
  mValue = mDefault = defaultVal ? 1.0 : 0.0;
  mMin = 0.0;
  mMax = 1.0;
  mStep = 1.0;
  mDisplayPrecision = 0;
  mInitArg1 = a;
  mInitArg2 = b;
  SetDisplayText(0, "off");
  SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label, const char* group, int a,
                      int b) {
  SetTypeOnce(kTypeEnum);
  SetTexts(name, label, group);
  mValue = mDefault = defaultVal;
  mMin = 0.0;
  mMax = std::max(static_cast<double>(nEnums) - 1.0, 1.0);
  mStep = 1.0;
  mDisplayPrecision = 0;
  mInitArg1 = a;
  mInitArg2 = b;
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label, const char* group,
                     int a, int b) {
  SetTypeOnce(kTypeInt);
  SetTexts(name, label, group);
  mValue = mDefault = defaultVal;
  mMin = minVal;
  mMax = std::max(static_cast<double>(maxVal), static_cast<double>(minVal) + 1.0);
  mStep = 1.0;
  mDisplayPrecision = 0;
  mInitArg1 = a;
  mInitArg2 = b;
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, const char* group, int a, int b) {
  SetTypeOnce(kTypeDouble);
  SetTexts(name, label, group);
  mValue = mDefault = defaultVal;
  mMin = minVal;
  mMax = std::max(maxVal, minVal + step);
  mStep = step;
  mDisplayPrecision = precisionForStep(step);
  mInitArg1 = a;
  mInitArg2 = b;
}

void IParam::InitText() { mType = kTypeText; }

void IParam::SetClamped(double v) {
  if (std::isnan(v)) v = mMin;
  mValue = std::clamp(v, std::min(mMin, mMax), std::max(mMin, mMax));
}

void IParam::GetBounds(double* lo, double* hi) const {
  if (lo) *lo = mMin;
  if (hi) *hi = mMax;
}

void IParam::SetShape(double shape) {
  if (shape != 0.0) mShape = shape;
}

void IParam::SetNormalized(double n) {
  const double range = mMax - mMin;
  if (range == 0.0) {
    mValue = mMin;
    return;
  }
  // Not-a-number counts as 0; infinities as the ends of the range.
  if (std::isnan(n)) n = 0.0;
  if (std::isinf(n)) n = n > 0 ? 1.0 : 0.0;
  double v = mMin + range * Shaped(n, mShape);
  if (std::isnan(v)) v = mMin;  // a negative n under a fractional shape
  if (mType != kTypeDouble) {
    if (mStep != 0.0) v = mStep * std::floor(v / mStep + 0.5);
  } else {
    const double whole = std::round(v);
    if (std::fabs(v - whole) <= 1e-9 * std::fabs(range)) v = whole;
  }
  mValue = std::min(v, mMax);
}

double IParam::GetNormalized(double v) const {
  const double range = mMax - mMin;
  if (range == 0.0) return 0.0;
  if (std::isnan(v)) v = mMin;
  v = std::clamp(v, std::min(mMin, mMax), std::max(mMin, mMax));
  return Shaped((v - mMin) / range, 1.0 / mShape);
}

double IParam::DBToAmp() const { return std::exp(mValue * 0.1151292546497); }

const char* IParam::SetDisplayText(int value, const char* text) {
  if (!text) text = "";
  // INT_MAX has no index one past it: no list can hold its record.
  if (value < 0 || value == INT_MAX) return text;
  const int n = mDisplayTexts.GetSize();
  if (value >= n) {
    mDisplayTexts.Resize(value + 1);
    if (mDisplayTexts.GetSize() != value + 1) return text;  // could not grow
    for (int i = n; i < value; ++i) {
      mDisplayTexts[i].mValue = i;
      mDisplayTexts[i].mText[0] = '\0';
    }
    mMax = static_cast<double>(value);
  }
  DisplayText& rec = mDisplayTexts[value];
  rec.mValue = value;
  KIT_CopyField(rec.mText, text);
  return rec.mText;
}

void IParam::ResetDisplayTexts() { mDisplayTexts.Resize(0, true); }

const char* IParam::GetDisplayText(int value) const {
  const int n = mDisplayTexts.GetSize();
  for (int i = 0; i < n; ++i)
    if (mDisplayTexts[i].mValue == value) return mDisplayTexts[i].mText;
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int index, int* value) const {
  if (index < 0 || index >= mDisplayTexts.GetSize()) return "";
  if (value) *value = mDisplayTexts[index].mValue;
  return mDisplayTexts[index].mText;
}

bool IParam::MapDisplayText(const char* text, int* value) const {
  if (!text) return false;
  const int n = mDisplayTexts.GetSize();
  for (int i = 0; i < n; ++i) {
    if (std::strcmp(mDisplayTexts[i].mText, text) == 0) {
      if (value) *value = mDisplayTexts[i].mValue;
      return true;
    }
  }
  return false;
}

const char* IParam::GetLabelForHost() const {
  const char* t = GetDisplayText(Int());
  return t[0] ? "" : mLabel;
}

void IParam::GetDisplayForHost(double value, bool normalized, char* out, size_t outSize,
                               bool withDisplayText) const {
  if (!out || outSize == 0) return;
  if (normalized) value = mMin + (mMax - mMin) * Shaped(value, mShape);
  if (withDisplayText && GetNDisplayTexts() > 0) {
    const char* t = GetDisplayText(WholeValue(value));
    if (t[0]) {
      KIT_CopyField(out, outSize, t);
      return;
    }
  }
  if (mNegateDisplay) value = -value;
  // std::to_chars formats in the C locale whatever the process locale is.
  char buf[512];
  std::to_chars_result r;
  if (mDisplayPrecision == 0)
    r = std::to_chars(buf, buf + sizeof buf - 1, WholeValue(value));
  else
    r = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::fixed, mDisplayPrecision);
  *(r.ec == std::errc() ? r.ptr : buf) = '\0';
  KIT_CopyField(out, outSize, buf);
}
