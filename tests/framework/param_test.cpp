#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "framework/IParam.h"

namespace {

using Doubles = std::vector<double>;

std::string display(const IParam& p, double v, bool normalized = false, bool withTexts = true) {
  char out[64];
  p.GetDisplayForHost(v, normalized, out, withTexts);
  return out;
}

TEST(IParam, InitOperationsSetRangesAndFirstTypeWins) {
  IParam i, e, e5, d, b;
  i.InitInt("x", 5, 3, 3, "", "", -1, -1);
  e.InitEnum("e", 0, 1);
  e5.InitEnum("e", 2, 5);
  d.InitDouble("d", 0.25, 0.0, 0.5, 1.0);
  b.InitBool("b", true);
  EXPECT_EQ(i.Type(), IParam::kTypeInt);
  // Int max raised to min + 1; enum max the larger of count - 1 and 1;
  // double max raised to min + step; every Init sets value = default.
  EXPECT_EQ(Doubles({i.GetMax(), i.Value(), i.GetDefault(), e.GetMax(), e5.GetMax(), e5.Value(), d.GetMax()}),
            Doubles({4, 5, 5, 1, 4, 2, 1}));
  EXPECT_EQ(b.Type(), IParam::kTypeBool);
  EXPECT_EQ(Doubles({b.Value(), b.GetMax()}), Doubles({1, 1}));
  EXPECT_STREQ(b.GetDisplayText(0), "off");
  EXPECT_STREQ(b.GetDisplayText(1), "on");
  EXPECT_STREQ(b.GetLabelForHost(), "");

  // A second Init keeps the type and overwrites range, value and names.
  i.InitDouble("y", 0.5, -1.0, 1.0, 0.1, "dB", "grp");
  EXPECT_EQ(i.Type(), IParam::kTypeInt);
  EXPECT_EQ(Doubles({i.GetMin(), i.Value()}), Doubles({-1.0, 0.5}));
  EXPECT_STREQ(i.GetNameForHost(), "y");
  EXPECT_STREQ(i.GetParamGroupForHost(), "grp");

  // InitText changes the type whatever it was and nothing else.
  i.InitText();
  EXPECT_EQ(i.Type(), IParam::kTypeText);
  EXPECT_EQ(i.Value(), 0.5);

  const std::pair<double, int> precisions[] = {{1.0, 0},     {0.5, 1},     {0.25, 2},      {0.001, 3},
                                               {0.1, 1},     {0.00001, 5}, {0.0000001, 6}, {2.0, 0}};
  for (const auto& [step, precision] : precisions) {
    d.InitDouble("p", 0, 0, 10, step);
    EXPECT_EQ(d.GetPrecision(), precision) << step;
  }
}

TEST(IParam, NamesAndDisplayTextsAreCutToTheirFields) {
  const std::string longName(80, 'n');
  IParam p;
  p.InitInt(longName.c_str(), 0, 0, 10, longName.c_str(), longName.c_str());
  for (const char* field : {p.GetNameForHost(), p.GetLabel(), p.GetParamGroupForHost()})
    EXPECT_EQ(std::strlen(field), 54u);
  // 53 ASCII bytes and a two-byte character: the character does not fit.
  const std::string utf = std::string(53, 'a') + "\xC3\xA9";
  p.InitInt(utf.c_str(), 0, 0, 10);
  EXPECT_EQ(std::string(p.GetNameForHost()), std::string(53, 'a'));
  EXPECT_EQ(std::strlen(p.SetDisplayText(0, std::string(70, 't').c_str())), 55u);
}

TEST(IParam, SetNormalizedRoundsClampsAboveOnlyAndSnapsContinuousIntegers) {
  IParam p;
  p.InitInt("i", 0, 0, 10);
  // Rounded to the step, clamped above but not below (-0.1 gives -1).
  for (const auto& [n, v] : {std::pair{1.2, 10.0}, {-0.1, -1.0}, {0.44, 4.0}, {0.46, 5.0}}) {
    p.SetNormalized(n);
    EXPECT_EQ(p.Value(), v) << n;
  }
  IParam d;
  d.InitDouble("d", 0, 0, 10, 0.5);
  d.SetNormalized(0.33);
  EXPECT_DOUBLE_EQ(d.Value(), 3.3);  // not rounded to the step

  // Integer values survive a round trip through the normalised form (in 0..99
  // the plain arithmetic gives 26.999999999999996 for 27).
  for (auto [lo, hi] : {std::pair{-64, 63}, {0, 99}}) {
    IParam c;
    c.InitDouble("c", 0, lo, hi, 1.0);
    for (int v = lo; v <= hi; ++v) {
      c.SetNormalized(c.GetNormalized(v));
      EXPECT_EQ(c.Value(), static_cast<double>(v));
      EXPECT_EQ(c.Int(), v);
    }
  }
  IParam wide;
  wide.InitDouble("w", 0, 0, 16383, 1.0);
  for (int v : {1, 3, 7, 100, 8191, 12345, 16383}) {
    wide.SetNormalized(static_cast<double>(v) / 16383.0);
    EXPECT_EQ(wide.Value(), static_cast<double>(v)) << v;
  }
  // A value clearly between integers is left alone.
  wide.SetNormalized(100.5 / 16383.0);
  EXPECT_NEAR(wide.Value(), 100.5, 1e-9);

  // Shape.
  IParam s;
  s.InitDouble("s", 0, 0, 100, 0.01);
  s.SetShape(0.0);
  EXPECT_EQ(s.GetShape(), 1.0);
  s.SetShape(2.0);
  s.SetNormalized(0.5);
  EXPECT_DOUBLE_EQ(s.Value(), 25.0);
  EXPECT_DOUBLE_EQ(s.GetNormalized(), 0.5);
  // A negative n under a fractional shape is not a number: the value is min.
  s.SetShape(1.5);
  for (double n : {-0.5, std::nan("")}) {
    s.SetNormalized(n);
    EXPECT_EQ(s.Value(), 0.0) << n;
  }
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The linear shape skips the power: the values must be exactly those the
// power gives, bit for bit, over ranges and inputs of every size.
TEST(IParam, TheLinearShapeGivesExactlyThePowersValues) {
  std::mt19937_64 random(27);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const std::pair<double, double> ranges[] = {{0, 127}, {-64, 63}, {0, 16383}, {0, 1}, {-24.5, 24.5}, {3, 7}};
  for (const auto& [lo, hi] : ranges) {
    IParam p;
    p.InitDouble("p", lo, lo, hi, 0.001);
    for (int i = 0; i < 2000; ++i) {
      double n = unit(random);
      if (i % 5 == 0) n = std::ldexp(n, -1060);  // subnormal
      if (i % 7 == 0) n = -n;
      if (i % 11 == 0) n *= 1e6;
      p.SetNormalized(n);
      // SetNormalized of a continuous parameter, with the power.
      double v = lo + (hi - lo) * std::pow(n, 1.0);
      const double whole = std::round(v);
      if (std::fabs(v - whole) <= 1e-9 * std::fabs(hi - lo)) v = whole;
      EXPECT_TRUE(sameBits(p.Value(), std::min(v, hi))) << n;
      const double x = lo + (hi - lo) * unit(random);
      EXPECT_TRUE(sameBits(p.GetNormalized(x), std::pow((x - lo) / (hi - lo), 1.0))) << x;
    }
  }
  for (double n : {0.0, -0.0, 1.0, 0.1, 1e-300, 5e-324, -7.25, 1e300}) {
    EXPECT_TRUE(sameBits(IParam::Shaped(n, 1.0), std::pow(n, 1.0))) << n;
  }
}

TEST(IParam, WholeValueTruncatesTowardZeroWithinTheIntRange) {
  const std::pair<double, int> rows[] = {{63.7, 63},
                                         {-63.7, -63},
                                         {-0.5, 0},
                                         {2147483646.9, 2147483646},
                                         {2147483647.0, INT32_MAX},
                                         {1e300, INT32_MAX},
                                         {-2147483648.0, INT32_MIN},
                                         {-1e300, INT32_MIN},
                                         {std::numeric_limits<double>::infinity(), INT32_MAX},
                                         {-std::numeric_limits<double>::infinity(), INT32_MIN},
                                         {std::nan(""), 0}};
  for (const auto& [v, whole] : rows) EXPECT_EQ(IParam::WholeValue(v), whole) << v;
}

TEST(IParam, GetNormalizedClampsAndAnEmptyRangeHasNoFault) {
  IParam p;
  p.InitInt("i", 0, 0, 10);
  EXPECT_EQ(Doubles({p.GetNormalized(20.0), p.GetNormalized(-5.0), p.GetNormalized(5.0)}), Doubles({1.0, 0.0, 0.5}));
  p.SetClamped(99.0);
  EXPECT_EQ(p.Value(), 10.0);
  p.SetClamped(std::nan(""));
  EXPECT_EQ(p.Value(), 0.0);
  EXPECT_EQ(IParam::WholeValue(std::nan("")), 0);

  // max == min: no normalised form, no division by zero.
  IParam z;
  z.InitDouble("z", 3.0, 3.0, 3.0, 0.0);
  EXPECT_EQ(z.GetMax(), 3.0);
  EXPECT_EQ(z.GetNormalized(), 0.0);
  z.SetNormalized(0.7);
  EXPECT_EQ(z.Value(), 3.0);

  IParam g;
  g.InitDouble("g", -6.0, -60, 12, 0.1);
  EXPECT_NEAR(g.DBToAmp(), 0.501187, 1e-6);
}

TEST(IParam, DisplayTextsAreIndexedByValue) {
  IParam p;
  for (const char* t : {"a", "b", "c"}) p.SetDisplayText(p.GetNDisplayTexts(), t);
  EXPECT_EQ(p.GetMax(), 2.0);
  EXPECT_STREQ(p.SetDisplayText(1, "B"), "B");
  EXPECT_EQ(p.GetMax(), 2.0);
  EXPECT_EQ(p.GetNDisplayTexts(), 3);
  EXPECT_STREQ(p.GetDisplayText(1), "B");
  EXPECT_STREQ(p.GetDisplayText(7), "");

  int v = -1;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(2, &v), "c");
  EXPECT_EQ(v, 2);
  v = 42;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &v), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &v), "");
  EXPECT_EQ(v, 42);

  EXPECT_TRUE(p.MapDisplayText("c", &v));
  EXPECT_EQ(v, 2);
  v = 99;
  EXPECT_FALSE(p.MapDisplayText("C", &v) || p.MapDisplayText(nullptr, &v));  // case-sensitive
  EXPECT_EQ(v, 99);

  // A value beyond the count fills the gap with empty texts.
  p.SetDisplayText(5, "f");
  EXPECT_EQ(p.GetNDisplayTexts(), 6);
  EXPECT_EQ(p.GetMax(), 5.0);
  EXPECT_STREQ(p.GetDisplayText(4), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &v), "");
  EXPECT_EQ(v, 3);
  EXPECT_STREQ(p.GetDisplayText(5), "f");
  // A negative value, and values whose records cannot exist, store nothing
  // and give the text back.
  const char* t = "neg";
  for (int bad : {-1, INT32_MAX, 100000000}) EXPECT_EQ(p.SetDisplayText(bad, t), t) << bad;
  EXPECT_EQ(p.GetNDisplayTexts(), 6);
  EXPECT_EQ(p.GetMax(), 5.0);

  p.ResetDisplayTexts();
  EXPECT_EQ(p.GetNDisplayTexts(), 0);
  EXPECT_EQ(p.GetMax(), 5.0);

  // The unit is hidden from the host when a text names the value.
  IParam l;
  l.InitInt("i", 0, 0, 3, "ms");
  EXPECT_STREQ(l.GetLabelForHost(), "ms");
  l.SetDisplayText(0, "zero");
  EXPECT_STREQ(l.GetLabelForHost(), "");
  l.Set(1.9);  // whole value 1 has no text
  EXPECT_STREQ(l.GetLabelForHost(), "ms");
}

TEST(IParam, DisplayForHostFormatsInTheCLocale) {
  IParam p;
  p.InitDouble("d", 0, -10, 10, 0.01);
  EXPECT_EQ(display(p, 1.234), "1.23");
  EXPECT_EQ(display(p, -2.5), "-2.50");
  EXPECT_EQ(display(p, 0.5, true), "0.00");  // normalised: middle of -10..10
  p.SetNegateDisplay(true);
  EXPECT_EQ(display(p, 1.5), "-1.50");

  IParam i;
  i.InitInt("i", 0, -100, 100);
  // Whole values truncate; huge values are limited to the int range.
  for (auto [v, text] : {std::pair{7.9, "7"}, {-7.9, "-7"}, {1e300, "2147483647"}, {-1e300, "-2147483648"}})
    EXPECT_EQ(display(i, v), text) << v;
  i.SetDisplayText(0, "zero");
  i.SetDisplayText(1, "one");
  EXPECT_EQ(display(i, 1.0), "one");
  EXPECT_EQ(display(i, 1.0, false, false), "1");  // texts disabled

  // A process locale with a decimal comma does not change the text.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    EXPECT_EQ(display(p, 1.5), "-1.50");
  }
  std::setlocale(LC_NUMERIC, saved.c_str());

  // A small buffer gets a terminated, cut text.
  char small[4];
  p.GetDisplayForHost(-1234.5, false, small, sizeof small, true);
  EXPECT_STREQ(small, "123");
}

}  // namespace
