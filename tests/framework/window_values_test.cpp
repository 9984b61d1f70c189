// Value types and popup menus of the window model.
#include <gtest/gtest.h>

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
  EXPECT_FALSE(empty.Intersects(&area));
  EXPECT_TRUE(a.Contains(10, 10));
  EXPECT_FALSE(a.Contains(20, 15));
  EXPECT_FALSE(empty.Contains(0, 0));
  EXPECT_EQ(a.Intersect(&rightNeighbour), IRECT());
  IRECT half(15, 15, 30, 30);
  EXPECT_EQ(a.Intersect(&half), IRECT(15, 15, 20, 20));
}

TEST(WindowValues, ColoursPackBlendsMapAndFieldsAreCut) {
  EXPECT_EQ(IColor(0x11, 0x22, 0x33, 0x44).Pack(), 0x44332211u);
  IChannelBlend clobber(IChannelBlend::kBlendClobber), add(IChannelBlend::kBlendAdd, 0.5f),
      dodge(IChannelBlend::kBlendColorDodge), none(IChannelBlend::kBlendNone), odd(17);
  EXPECT_EQ(RasterBlendMode(&clobber), 0);
  EXPECT_EQ(RasterBlendMode(&add), 0x10001);
  EXPECT_EQ(RasterBlendMode(&dodge), 0x10002);
  EXPECT_EQ(RasterBlendMode(&none), 0x10000);
  EXPECT_EQ(RasterBlendMode(&odd), 0x10000);
  EXPECT_EQ(RasterBlendMode(nullptr), 0x10000);
  EXPECT_EQ(RasterBlendWeight(nullptr), 1.0f);
  EXPECT_EQ(RasterBlendWeight(&add), 0.5f);
  IText longName(10, &COLOR_RED, "A font name far longer than the thirty-one bytes of the field");
  EXPECT_EQ(strlen(longName.mFont), 31u);
  IBitmap noFrames(nullptr, 10, 30, 0);
  EXPECT_EQ(noFrames.FrameHeight(), 30);  // a frame count below 1 counts as 1
}

TEST(PopupMenu, InsertionPrefixesChecksAndOwnership) {
  IPopupMenu m;
  m.AddItem("a");
  m.AddItem("b");
  m.AddItem("c");
  m.AddItem("first", 0);
  m.AddItem("last", 10);
  m.AddItem("front", -5);
  ASSERT_EQ(m.GetNItems(), 6);
  EXPECT_STREQ(m.GetItemText(0), "front");
  EXPECT_STREQ(m.GetItemText(1), "first");
  EXPECT_STREQ(m.GetItemText(5), "last");
  EXPECT_STREQ(m.GetItemText(6), "");
  EXPECT_STREQ(m.GetItemText(-1), "");
  EXPECT_EQ(m.GetItem(6), nullptr);

  m.SetPrefix(2);
  m.SetPrefix(4);
  EXPECT_EQ(m.GetPrefix(), 2);
  EXPECT_STREQ(m.GetShownText(2).Get(), "03: a");
  for (int i = 0; i < 4; ++i) m.AddItem("x");
  EXPECT_STREQ(m.GetShownText(9).Get(), "10: x");
  m.SetPrefix(1);
  EXPECT_STREQ(m.GetShownText(9).Get(), "10: x");
  m.SetPrefix(3);
  EXPECT_STREQ(m.GetShownText(0).Get(), "001: front");

  EXPECT_TRUE(m.CheckItem(1, true));
  EXPECT_FALSE(m.CheckItem(99, true));
  m.CheckItemAlone(3);
  EXPECT_TRUE(m.IsItemChecked(3));
  EXPECT_FALSE(m.IsItemChecked(1));
  m.CheckItemAlone(-1);
  for (int i = 0; i < m.GetNItems(); ++i) EXPECT_FALSE(m.IsItemChecked(i));
  EXPECT_FALSE(m.IsItemChecked(-3));

  IPopupMenuItem* sep = m.AddSeparator(1);
  EXPECT_TRUE(sep->GetIsSeparator());
  EXPECT_FALSE(sep->IsChoosable());
  EXPECT_STREQ(sep->GetText(), "");

  // A menu does not own its submenus.
  IPopupMenu sub;
  sub.AddItem("inner");
  {
    auto* parent = new IPopupMenu;
    IPopupMenuItem* item = parent->AddItem("more", &sub);
    EXPECT_FALSE(item->IsChoosable());
    delete parent;
  }
  EXPECT_STREQ(sub.GetItemText(0), "inner");
  EXPECT_EQ(sub.GetChosenItemIdx(), -1);
}
