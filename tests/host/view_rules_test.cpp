// The two rule sets of the editor view as pure functions: redraw areas,
// mouse points and flags, wheel steps, keys, text-entry checks and cuts.
#include <gtest/gtest.h>

#include <climits>

#include "framework/IParam.h"
#include "host/ViewRules.h"

using namespace viewrules;

namespace {

constexpr int kH = 757;

TEST(ViewRules, RedrawAreas) {
  const IRECT dirty(10, 20, 30, 40);
  EXPECT_EQ(defaultInvalidRect(dirty), (ViewRect{10, 20, 20, 20}));
  EXPECT_EQ(hostViewInvalidRect(dirty, kH), (ViewRect{10, 716, 21, 21}));
  EXPECT_EQ(hostViewDrawArea(0, 0, 1500, 757, kH), IRECT(0, 0, 1500, 757));
  EXPECT_EQ(hostViewDrawArea(10.9, 716.2, 21.7, 21.5, kH), IRECT(10, 20, 31, 41));
  struct Row {
    Mode mode;
    IRECT dirty, want;
  };
  for (const Row& r : std::initializer_list<Row>{
           {Mode::Default, dirty, IRECT(10, 20, 30, 40)},
           {Mode::HostView, dirty, IRECT(10, 20, 31, 41)},
           // The inclusive reading is clipped to the window.
           {Mode::HostView, IRECT(1480, 740, 1500, 757), IRECT(1480, 740, 1500, 757)},
           {Mode::Default, IRECT(-5, -5, 3, 4), IRECT(0, 0, 3, 4)},
           {Mode::HostView, IRECT(1600, 10, 1700, 20), IRECT()},
       })
    EXPECT_EQ(repaintArea(r.mode, r.dirty, 1500, kH), r.want) << int(r.mode) << " " << r.dirty.L;
}

TEST(ViewRules, MousePointsFlagsAndWheel) {
  EXPECT_EQ(defaultMousePoint(100, 50), (Point{98, 47}));
  EXPECT_EQ(hostViewMousePoint(100.7, 700.2, kH), (Point{98, 54}));
  for (Mode m : {Mode::Default, Mode::HostView}) EXPECT_EQ(mousePoint(m, 100, 50, kH), (Point{98, 47}));

  auto flags = [](IMouseMod m) { return std::vector<bool>{m.L, m.R, m.S, m.C, m.A}; };
  // left, right, shift, control, option
  EXPECT_EQ(flags(mouseMod(Mode::Default, false, kCommand)), (std::vector<bool>{1, 1, 0, 0, 0}));
  EXPECT_EQ(flags(mouseMod(Mode::Default, true, kShift)), (std::vector<bool>{1, 1, 1, 0, 0}));
  EXPECT_EQ(flags(mouseMod(Mode::Default, false, kControl | kOption)), (std::vector<bool>{1, 0, 0, 1, 1}));
  EXPECT_EQ(flags(mouseMod(Mode::HostView, true, kCommand)), (std::vector<bool>{0, 1, 0, 0, 0}));
  EXPECT_EQ(flags(mouseMod(Mode::HostView, false, kCommand)), (std::vector<bool>{1, 1, 0, 0, 0}));
  EXPECT_EQ(flags(mouseMod(Mode::HostView, false, 0)), (std::vector<bool>{1, 0, 0, 0, 0}));

  EXPECT_EQ(wheelStep(0.6), 0);
  EXPECT_EQ(wheelStep(-2.9), -2);
  EXPECT_EQ(wheelStep(3.0), 3);
}

TEST(ViewRules, KeyTable) {
  struct Row {
    const char* chars;
    int vk, code;
  };
  for (const Row& r : std::initializer_list<Row>{{"a", -1, 15},
                                                 {"A", -1, 15},
                                                 {"z", -1, 40},
                                                 {"5", -1, 10},
                                                 {"0", -1, 5},
                                                 {" ", kVKSpace, 0},
                                                 {"", kVKUp, 1},
                                                 {"", kVKDown, 2},
                                                 {"", kVKLeft, 3},
                                                 {"", kVKRight, 4},
                                                 {"#", -1, -1},
                                                 {"ab", -1, -1},
                                                 {"", -1, -1}})
    EXPECT_EQ(keyCode(r.chars, r.vk), r.code) << r.chars << " " << r.vk;
}

TEST(ViewRules, TextEntryChecksAndCuts) {
  // Typing one character at a time, by parameter type.
  EXPECT_FALSE(entryAccepts(IParam::kTypeInt, "x", 1));
  EXPECT_TRUE(entryAccepts(IParam::kTypeInt, "-", 1));
  EXPECT_TRUE(entryAccepts(IParam::kTypeDouble, ".", 1));
  EXPECT_FALSE(entryAccepts(IParam::kTypeDouble, ",", 1));
  EXPECT_TRUE(entryAccepts(IParam::kTypeText, "\"", 1));
  EXPECT_FALSE(entryAccepts(IParam::kTypeText, "\xC3\xA9", 2));
  EXPECT_TRUE(entryAccepts(-1, "\xC3\xA9", 2));  // no parameter: nothing filtered
  EXPECT_EQ(filterEntryText("x-1,2.5", IParam::kTypeDouble, 0), "-12.5");
  EXPECT_EQ(filterEntryText("abcdef", -1, 4), "abcd");

  // The host view's check of the whole partial text.
  EXPECT_TRUE(hostViewAccepts("1.5", IParam::kTypeDouble, 16, 0));
  EXPECT_FALSE(hostViewAccepts("1,5", IParam::kTypeDouble, 16, 0));
  EXPECT_TRUE(hostViewAccepts(std::string(16, '1'), IParam::kTypeInt, 16, 0));
  EXPECT_FALSE(hostViewAccepts(std::string(17, '1'), IParam::kTypeInt, 16, 0));
  EXPECT_TRUE(hostViewAccepts(std::string(17, '1'), IParam::kTypeInt, 0, 0));
  EXPECT_FALSE(hostViewAccepts("128", IParam::kTypeInt, 0, 127));

  // The default view's 63-byte commit, cut at a character boundary.
  const std::string wide = std::string(62, 'a') + "\xC3\xA9" + "b";
  EXPECT_EQ(cutAtCharacter(wide, kDefaultCommitBytes), std::string(62, 'a'));
  EXPECT_EQ(cutAtCharacter(std::string(70, 'x'), kDefaultCommitBytes).size(), 63u);
  EXPECT_EQ(cutAtCharacter("short", kDefaultCommitBytes), "short");
}

TEST(ViewRules, MenuCornersAndEntryLines) {
  const IRECT area(100, 200, 180, 220);
  for (Mode m : {Mode::Default, Mode::HostView}) EXPECT_EQ(menuCorner(m, area, kH), (Point{100, 225}));
  EXPECT_EQ(entryRect(Mode::Default, area, kH), (ViewRect{100, 200, 80, 20}));
  EXPECT_EQ(entryRect(Mode::HostView, area, kH), (ViewRect{100, 200, 81, 21}));
}

// Points and areas at the far ends of the int range stay at those ends:
// nothing wraps round to the other side of the window.
TEST(ViewRules, FarPointsAndAreasSaturate) {
  for (Mode m : {Mode::Default, Mode::HostView}) {
    EXPECT_EQ(mousePoint(m, INT_MIN, INT_MIN, kH), (Point{INT_MIN, INT_MIN})) << int(m);
    EXPECT_EQ(mousePoint(m, INT_MAX, INT_MAX, kH), (Point{INT_MAX - 2, INT_MAX - 3})) << int(m);
    EXPECT_EQ(mousePoint(m, INT_MIN + 1, 50, kH), (Point{INT_MIN, 47})) << int(m);
  }
  EXPECT_EQ(defaultMousePoint(INT_MIN, -1e300), (Point{INT_MIN, INT_MIN}));
  EXPECT_EQ(hostViewMousePoint(INT_MIN, INT_MIN, kH), (Point{INT_MIN, INT_MAX}));
  EXPECT_EQ(hostViewMousePoint(0, INT_MAX, kH), (Point{-2, kH - 3 - INT_MAX}));

  const IRECT all(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(defaultInvalidRect(all), (ViewRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}));
  EXPECT_EQ(hostViewInvalidRect(all, kH), (ViewRect{INT_MIN, kH - 1 - INT_MAX, INT_MAX, INT_MAX}));
  EXPECT_EQ(hostViewDrawArea(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kH), IRECT(INT_MIN, kH + 1, -1, INT_MAX));
  for (Mode m : {Mode::Default, Mode::HostView}) {
    EXPECT_EQ(repaintArea(m, all, 1500, kH), IRECT(0, 0, 1500, kH)) << int(m);
    EXPECT_EQ(repaintArea(m, IRECT(INT_MIN, INT_MIN, INT_MIN + 5, INT_MIN + 5), 1500, kH), IRECT()) << int(m);
    EXPECT_EQ(menuCorner(m, IRECT(0, 0, 10, INT_MAX), kH).y, INT_MAX) << int(m);
    EXPECT_EQ(menuCorner(m, IRECT(0, INT_MIN, 10, INT_MIN), kH).y, INT_MIN + 5) << int(m);
  }
  EXPECT_EQ(entryRect(Mode::HostView, IRECT(0, INT_MIN, 10, INT_MAX), kH), (ViewRect{0, INT_MIN, 11, INT_MAX}));
}

}  // namespace
