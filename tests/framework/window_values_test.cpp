// Value types and popup menus of the window model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/IGraphicsStructs.h"
#include "framework/IPopupMenu.h"

TEST(WindowValues, RectUnionIntersectionAndContainment) {
  IRECT empty, a(10, 10, 20, 20), b(30, 5, 40, 15);
  EXPECT_EQ(empty.Union(&a), a);
  EXPECT_EQ(a.Union(&empty), a);
  EXPECT_EQ(a.Union(&b), IRECT(10, 5, 40, 20));
  // The test is evaluated as area.Intersects(control): a control whose left
  // or top edge lies on the area's right or bottom edge meets it; one whose
  // right or bottom edge lies on the area's left or top edge does not.
  IRECT area(10, 10, 20, 20), rightNeighbour(20, 12, 30, 18);
  for (auto [other, meets] : {std::pair{rightNeighbour, true}, {IRECT(12, 20, 18, 30), true},
                              {IRECT(0, 12, 10, 18), false}, {IRECT(12, 0, 18, 10), false}, {empty, false}})
    EXPECT_EQ(area.Intersects(&other), meets) << other.L << "," << other.T;
  EXPECT_FALSE(empty.Intersects(&area) || empty.Contains(0, 0) || a.Contains(20, 15));
  EXPECT_TRUE(a.Contains(10, 10));
  IRECT half(15, 15, 30, 30);
  EXPECT_EQ(a.Intersect(&rightNeighbour), IRECT());
  EXPECT_EQ(a.Intersect(&half), IRECT(15, 15, 20, 20));
}

TEST(WindowValues, ColoursPackBlendsMapAndFieldsAreCut) {
  EXPECT_EQ(IColor(0x11, 0x22, 0x33, 0x44).Pack(), 0x44332211u);
  // A missing or unknown blend is a plain blend at full weight, never a copy.
  IChannelBlend clobber(IChannelBlend::kBlendClobber), add(IChannelBlend::kBlendAdd, 0.5f),
      dodge(IChannelBlend::kBlendColorDodge), none(IChannelBlend::kBlendNone), odd(17);
  EXPECT_EQ(std::vector<int>({RasterBlendMode(&clobber), RasterBlendMode(&add), RasterBlendMode(&dodge),
                              RasterBlendMode(&none), RasterBlendMode(&odd), RasterBlendMode(nullptr)}),
            std::vector<int>({0, 0x10001, 0x10002, 0x10000, 0x10000, 0x10000}));
  EXPECT_EQ(RasterBlendWeight(nullptr), 1.0f);
  EXPECT_EQ(RasterBlendWeight(&add), 0.5f);
  IText longName(10, &COLOR_RED, "A font name far longer than the thirty-one bytes of the field");
  EXPECT_EQ(strlen(longName.mFont), 31u);
  IBitmap noFrames(nullptr, 10, 30, 0);
  EXPECT_EQ(noFrames.FrameHeight(), 30);  // a frame count below 1 counts as 1
}

TEST(PopupMenu, InsertionPrefixesChecksAndOwnership) {
  IPopupMenu m;
  for (const char* t : {"a", "b", "c"}) m.AddItem(t);
  m.AddItem("first", 0);
  m.AddItem("last", 10);
  m.AddItem("front", -5);
  std::vector<std::string> texts;
  for (int i = -1; i <= m.GetNItems(); ++i) texts.push_back(m.GetItemText(i));
  EXPECT_EQ(texts, std::vector<std::string>({"", "front", "first", "a", "b", "c", "last", ""}));
  EXPECT_EQ(m.GetItem(6), nullptr);

  m.SetPrefix(2);
  m.SetPrefix(4);  // ignored
  EXPECT_STREQ(m.GetShownText(2).Get(), "03: a");
  for (int i = 0; i < 4; ++i) m.AddItem("x");
  m.SetPrefix(1);
  EXPECT_STREQ(m.GetShownText(9).Get(), "10: x");
  m.SetPrefix(3);
  EXPECT_STREQ(m.GetShownText(0).Get(), "001: front");

  EXPECT_TRUE(m.CheckItem(1, true));
  EXPECT_FALSE(m.CheckItem(99, true));
  m.CheckItemAlone(3);
  EXPECT_TRUE(m.IsItemChecked(3));
  EXPECT_FALSE(m.IsItemChecked(1) || m.IsItemChecked(-3));
  m.CheckItemAlone(-1);
  for (int i = 0; i < m.GetNItems(); ++i) EXPECT_FALSE(m.IsItemChecked(i));

  IPopupMenuItem* sep = m.AddSeparator(1);
  EXPECT_TRUE(sep->GetIsSeparator());
  EXPECT_FALSE(sep->IsChoosable());
  EXPECT_STREQ(sep->GetText(), "");

  // A menu does not own its submenus.
  IPopupMenu sub;
  sub.AddItem("inner");
  {
    auto* parent = new IPopupMenu;
    EXPECT_FALSE(parent->AddItem("more", &sub)->IsChoosable());
    delete parent;
  }
  EXPECT_STREQ(sub.GetItemText(0), "inner");
  EXPECT_EQ(sub.GetChosenItemIdx(), -1);
}
