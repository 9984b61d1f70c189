// List views, list boxes and tree views: rows, selection and its notices,
// sorting, the list-box messages, mouse handling through injected events,
// columns, hit tests, rectangles, scrolling, colours, and tree items.
#include <cstring>
#include <random>
#include <string>

#include "shim/winctlclass.h"
#include "support_windows.h"

namespace {

// What a notice carried, copied while it is delivered (its record lives on
// the sender's stack).
struct Notice {
  UINT msg;
  int code;
  NMLISTVIEW list;
  DRAWITEMSTRUCT draw;
};

class Lists : public WindowTest {
 protected:
  HWND top = nullptr;
  std::vector<Notice> notices;
  LRESULT rclickAnswer = 0;
  void SetUp() override {
    WindowTest::SetUp();
    top = TopLevel(100, 100, 500, 400);
    SHIM_MakeSetCurParms(1, 1, 0, 0, top, false, false);
    rec.hook = [this](const Msg& m, LRESULT* r) {
      Notice n{m.msg, 0, {}, {}};
      if (m.msg == WM_NOTIFY) {
        n.code = reinterpret_cast<const NMHDR*>(m.lp)->code;
        if (n.code == LVN_ITEMCHANGED || n.code == NM_DBLCLK || n.code == LVN_COLUMNCLICK || n.code == LVN_BEGINDRAG)
          n.list = *reinterpret_cast<const NMLISTVIEW*>(m.lp);
        if (n.code == LVN_GETDISPINFO) {
          auto* info = reinterpret_cast<NMLVDISPINFO*>(m.lp);
          EXPECT_EQ(std::make_tuple(info->item.mask, info->item.cchTextMax, info->item.iImage),
                    std::make_tuple(1u, 1023, -1));
          std::snprintf(info->item.pszText, 8, "row%d", info->item.iItem);
        }
      }
      if (m.msg == WM_DRAWITEM) n.draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(m.lp);
      notices.push_back(n);
      *r = rclickAnswer;
      return m.msg == WM_NOTIFY && n.code == NM_RCLICK;
    };
  }
  const Notice* Find(int code) {
    for (const Notice& n : notices)
      if (n.msg == WM_NOTIFY && n.code == code) return &n;
    return nullptr;
  }
  HWND List(int style, bool listBox = false) {
    return listBox ? SHIM_MakeListBox(50, 10, 10, 200, 100, style)
                   : SHIM_MakeControl("", 50, "SysListView32", style, 10, 10, 200, 100, 0);
  }
  Shim_vTavrin_listview* LV(HWND h) { return SHIM_As<Shim_vTavrin_listview>(h); }
  int Insert(HWND h, const char* text, int at = 1000, LPARAM value = 0, uint32_t mask = LVIF_TEXT | LVIF_PARAM) {
    LVITEM it{};
    it.mask = mask;
    it.iItem = at;
    it.pszText = const_cast<char*>(text);
    it.lParam = value;
    return ListView_InsertItem(h, &it);
  }
  std::vector<std::string> Texts(HWND h, int col = 0) {
    std::vector<std::string> out;
    char buf[32];
    for (int r = 0; r < ListView_GetItemCount(h); ++r) {
      ListView_GetItemText(h, r, col, buf, sizeof buf);
      out.push_back(buf);
    }
    return out;
  }
  // The screen point of (x, y) in a view's own coordinates.
  winsys::Point At(HWND h, double x, double y) { return View(h)->convertToScreen(winsys::Point{x, y}); }
  // The notice codes, and the other messages a list sends its target, in order.
  std::vector<int> Codes() {
    std::vector<int> out;
    for (const Notice& n : notices) {
      if (n.msg == WM_NOTIFY) out.push_back(n.code);
      if (n.msg == WM_COMMAND || n.msg == WM_MOUSEMOVE || n.msg == WM_LBUTTONUP || n.msg == WM_CONTEXTMENU)
        out.push_back(static_cast<int>(n.msg));
    }
    return out;
  }
  void Clear() {
    rec.clear();
    notices.clear();
  }
};

// ---- Creation by class name ----

TEST_F(Lists, ListsByClassAndStyle) {
  struct {
    int style;
    bool listBox, header;
    size_t columns;
  } const cases[] = {{1, false, true, 0}, {0x4001, false, false, 0}, {0, false, false, 1}, {0, true, false, 1}};
  for (const auto& c : cases) {
    HWND h = List(c.style, c.listBox);
    Shim_vTavrin_listview* lv = LV(h);
    ASSERT_TRUE(lv);
    EXPECT_EQ(lv->hasHeader, c.header) << c.style;
    ASSERT_EQ(lv->m_cols.size(), c.columns) << c.style;
    if (c.columns) {
      EXPECT_GE(ListView_GetColumnWidth(h, 0), 300);
    }
    auto* sv = dynamic_cast<winsys::ScrollView*>(lv->superview()->superview());
    ASSERT_TRUE(sv);
    EXPECT_EQ(sv->hasHorizontalScroller, !c.listBox);
    EXPECT_EQ(GetDlgItem(top, 50), h);
    sv->removeFromSuperview();
  }
}

// ---- Rows ----

TEST_F(Lists, SortedInsertionAndRejections) {
  HWND asc = List(LVS_SORTASCENDING);
  const std::pair<const char*, int> inserts[] = {{"b", 0}, {"a", 0}, {"c", 2}, {"b", 1}};
  for (auto [t, want] : inserts) EXPECT_EQ(Insert(asc, t, 0), want) << t;
  EXPECT_EQ(Texts(asc), std::vector<std::string>({"a", "b", "b", "c"}));
  HWND desc = List(LVS_SORTDESCENDING);
  for (const char* t : {"b", "a", "c"}) Insert(desc, t);
  EXPECT_EQ(Texts(desc), std::vector<std::string>({"c", "b", "a"}));
  LVITEM sub{};
  sub.iSubItem = 1;
  EXPECT_EQ(ListView_InsertItem(asc, &sub), 0);
  EXPECT_EQ(ListView_InsertItem(asc, nullptr), 0);
  EXPECT_EQ(ListView_InsertItem(top, &sub), 0);
  HWND owner = List(LVS_OWNERDATA);
  EXPECT_EQ(Insert(owner, "x"), -1);
  // Texts of later columns.
  ListView_SetItemText(asc, 0, 32, "no");
  ListView_SetItemText(asc, 0, 3, "d");
  EXPECT_EQ(LV(asc)->m_items[0]->m_texts, std::vector<std::string>({"a", "", "", "d"}));
  EXPECT_EQ(Texts(asc, 3)[0], "d");
  EXPECT_EQ(Texts(asc, 9)[0], "");
}

TEST_F(Lists, SetItemStateNoticesAndSelectionRules) {
  HWND h = List(0);
  for (const char* t : {"a", "b", "c", "d"}) Insert(h, t);
  Clear();
  const int reloads = LV(h)->reloadCount();
  EXPECT_EQ(ListView_SetItemState(h, -1, LVIS_SELECTED, LVIS_SELECTED), 1);
  EXPECT_EQ(ListView_GetSelectedCount(h), 4);
  EXPECT_EQ(LV(h)->reloadCount(), reloads + 1);
  EXPECT_TRUE(rec.of(WM_NOTIFY).empty());
  ListView_SetItemState(h, 2, 0, LVIS_SELECTED);
  ListView_SetItemState(h, 2, 0, LVIS_SELECTED);  // no change, no notice
  ASSERT_EQ(rec.of(WM_NOTIFY).size(), 1u);
  EXPECT_EQ(rec.of(WM_NOTIFY)[0].w, top);
  const NMLISTVIEW& n = notices.back().list;
  EXPECT_EQ(std::make_tuple(n.hdr.code, n.iItem, n.uNewState), std::make_tuple(LVN_ITEMCHANGED, 2, 0u));
  EXPECT_EQ(ListView_GetNextItem(h, -1, LVNI_SELECTED), 0);
  EXPECT_EQ(ListView_GetNextItem(h, 1, LVNI_SELECTED), 3);
  for (int flags : {0, 3}) {
    EXPECT_EQ(ListView_GetNextItem(h, -1, flags), -1);
    EXPECT_EQ(ListView_GetNextItem(nullptr, -1, flags), -1);
  }
  EXPECT_EQ(ListView_GetNextItem(nullptr, -1, LVNI_SELECTED), 0);
  // Style 0x4 replaces the selection.
  HWND single = List(LVS_SINGLESEL);
  for (const char* t : {"a", "b"}) Insert(single, t);
  ListView_SetItemState(single, 0, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(single, 1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(LV(single)->selectedRows(), std::vector<int>({1}));
  EXPECT_EQ(ListView_GetItemState(single, 1, LVIS_SELECTED | LVIS_FOCUSED), 3u);
  EXPECT_EQ(ListView_GetItemState(single, 7, LVIS_SELECTED), 0u);
}

int CompareValues(LPARAM a, LPARAM b, LPARAM) { return a < b ? -1 : a > b; }

TEST_F(Lists, SortingAndMiddleChangesKeepTheSelection) {
  HWND h = List(0);
  const std::pair<const char*, LPARAM> rows[] = {{"a", 3}, {"b", 1}, {"c", 3}, {"d", 2}, {"e", 1}};
  for (auto [t, v] : rows) Insert(h, t, 1000, v);
  ListView_SetItemState(h, 0, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(h, 3, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SortItems(h, nullptr, 0);
  EXPECT_EQ(Texts(h), std::vector<std::string>({"a", "b", "c", "d", "e"}));
  ListView_SortItems(h, CompareValues, 0);
  EXPECT_EQ(Texts(h), std::vector<std::string>({"b", "e", "d", "a", "c"}));  // stable
  EXPECT_EQ(LV(h)->selectedRows(), std::vector<int>({2, 3}));                // d and a
  Insert(h, "m", 1);
  EXPECT_EQ(LV(h)->selectedRows(), std::vector<int>({3, 4}));
  ListView_DeleteItem(h, 0);
  ListView_DeleteItem(h, 99);
  EXPECT_EQ(LV(h)->selectedRows(), std::vector<int>({2, 3}));
  EXPECT_EQ(Texts(h), std::vector<std::string>({"m", "e", "d", "a", "c"}));
}

// The merge sort as its rules give it, over (value, row) pairs, logging
// the values it compares: halves of n / 2 and the rest, each sorted before
// they are merged; a merge compares the heads and takes the first half's
// while the result is <= 0.
using Keyed = std::pair<LPARAM, int>;
std::vector<Keyed> ReferenceSort(std::vector<Keyed> v, std::vector<std::pair<LPARAM, LPARAM>>& calls) {
  if (v.size() < 2) return v;
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  const std::vector<Keyed> a = ReferenceSort({v.begin(), mid}, calls), b = ReferenceSort({mid, v.end()}, calls);
  std::vector<Keyed> out;
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    calls.emplace_back(a[i].first, b[j].first);
    out.push_back(CompareValues(a[i].first, b[j].first, 0) <= 0 ? a[i++] : b[j++]);
  }
  out.insert(out.end(), a.begin() + static_cast<std::ptrdiff_t>(i), a.end());
  out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(j), b.end());
  return out;
}

std::vector<std::pair<LPARAM, LPARAM>> gSortCalls;
int LoggedCompare(LPARAM a, LPARAM b, LPARAM param) {
  gSortCalls.emplace_back(a, b);
  return CompareValues(a, b, param);
}

TEST_F(Lists, SortingMakesTheMergeSortsComparisonsInItsOrder) {
  std::mt19937 rng(12);
  for (int n : {0, 1, 2, 3, 5, 8, 13, 100, 1000}) {
    HWND h = List(0);
    std::vector<Keyed> rows;
    for (int i = 0; i < n; ++i) {
      rows.emplace_back(static_cast<LPARAM>(rng() % 7), i);  // few values: many ties
      Insert(h, std::to_string(i).c_str(), 1000, rows.back().first);
    }
    std::vector<std::pair<LPARAM, LPARAM>> expected;
    std::vector<std::string> texts;
    for (const Keyed& r : ReferenceSort(rows, expected)) texts.push_back(std::to_string(r.second));
    gSortCalls.clear();
    ListView_SortItems(h, LoggedCompare, 0);
    EXPECT_EQ(gSortCalls, expected) << n;
    EXPECT_EQ(Texts(h), texts) << n;
  }
}

TEST_F(Lists, ListBoxMessages) {
  HWND h = List(LBS_SORT, true);
  for (const char* t : {"b", "a", "c"}) SendMessage(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  EXPECT_EQ(Texts(h), std::vector<std::string>({"a", "b", "c"}));
  EXPECT_EQ(SendMessage(h, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("z")), 3);
  EXPECT_EQ(SendMessage(h, LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>("y")), 1);
  EXPECT_EQ(SendMessage(h, LB_GETCOUNT, 0, 0), 5);
  const std::string big(5000, 'x');
  SendMessage(h, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(big.c_str()));
  std::vector<char> buf(6000, '#');
  SendMessage(h, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buf.data()));
  EXPECT_EQ(std::strlen(buf.data()), 4095u);
  SendMessage(h, LB_SETITEMDATA, 1, 77);
  EXPECT_EQ(SendMessage(h, LB_GETITEMDATA, 1, 0), 77);
  SendMessage(h, LB_SETCURSEL, 2, 0);
  EXPECT_EQ(SendMessage(h, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(SendMessage(h, LB_GETSEL, 2, 0), 1);
  SendMessage(h, LB_SETCURSEL, 6, 0);
  EXPECT_EQ(SendMessage(h, LB_GETSELCOUNT, 0, 0), 0);
  SendMessage(h, LB_DELETESTRING, 0, 0);
  SendMessage(h, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessage(h, LB_GETCOUNT, 0, 0), 0);
}

// ---- Mouse ----

TEST_F(Lists, DragsFastClicksStateIconsAndRightClicks) {
  HWND h = List(LVS_REPORT);
  LVCOLUMN c{};
  c.cx = 80;
  ListView_InsertColumn(h, 0, &c);
  ListView_InsertColumn(h, 1, &c);
  for (const char* t : {"a", "b", "c"}) Insert(h, t);
  Clear();
  winsys::test::press(At(h, 10, 20));
  for (int i = 0; i < 5; ++i) winsys::test::drag(At(h, 10, 30 + i));
  winsys::test::release(At(h, 10, 40));
  EXPECT_EQ(Codes(), std::vector<int>({LVN_BEGINDRAG, WM_MOUSEMOVE, WM_LBUTTONUP}));
  EXPECT_EQ(LV(h)->selectedRows(), std::vector<int>({1}));
  // A fast-click column: NM_CLICK at the press only, no selection change.
  SHIM_SetListViewFastClickMask(h, 2);
  Clear();
  winsys::test::click(At(h, 90, 5));
  EXPECT_EQ(Codes(), std::vector<int>({NM_CLICK}));
  EXPECT_EQ(LV(h)->selectedRows(), std::vector<int>({1}));
  // A plain click selects (a user change: -101) and reports NM_CLICK at the release.
  Clear();
  winsys::test::click(At(h, 10, 45));
  EXPECT_EQ(Codes(), std::vector<int>({LVN_ITEMCHANGED, NM_CLICK}));
  EXPECT_EQ(LV(h)->selectedRows(), std::vector<int>({2}));
  // A state-icon press selects nothing.
  int images = 0;
  ListView_SetImageList(h, &images, LVSIL_STATE);
  Clear();
  winsys::test::click(At(h, 5, 5));
  EXPECT_EQ(Codes(), std::vector<int>({NM_CLICK}));
  EXPECT_EQ(LV(h)->selectedRows(), std::vector<int>({2}));
  // Right clicks: NM_RCLICK, then WM_CONTEXTMENU when answered 0.
  Clear();
  winsys::test::rightClick(At(h, 10, 5));
  EXPECT_EQ(Codes(), std::vector<int>({NM_RCLICK, WM_CONTEXTMENU}));
  EXPECT_EQ(LV(h)->selectedRows(), std::vector<int>({0}));
  rclickAnswer = 1;
  Clear();
  winsys::test::rightClick(At(h, 10, 5));
  EXPECT_EQ(Codes(), std::vector<int>({NM_RCLICK}));
}

TEST_F(Lists, DoubleClicksHeaderClicksOwnerDataAndOwnerDrawnRows) {
  HWND lv = List(LVS_REPORT);
  LVCOLUMN c{};
  c.cx = 80;
  ListView_InsertColumn(lv, 0, &c);
  Insert(lv, "a", 0, 42);
  Clear();
  winsys::test::click(At(lv, 10, 5), 2);
  EXPECT_EQ(Codes(), std::vector<int>({LVN_ITEMCHANGED, NM_DBLCLK, NM_CLICK}));
  ASSERT_TRUE(Find(NM_DBLCLK));
  const NMLISTVIEW& n = Find(NM_DBLCLK)->list;
  EXPECT_EQ(std::make_tuple(n.iItem, n.iSubItem, n.lParam), std::make_tuple(0, 0, LPARAM(42)));
  Clear();
  LV(lv)->clickHeader(0);
  ASSERT_TRUE(Find(LVN_COLUMNCLICK));
  EXPECT_EQ(std::make_pair(Find(LVN_COLUMNCLICK)->list.iItem, Find(LVN_COLUMNCLICK)->list.iSubItem), std::make_pair(-1, 0));
  View(lv)->superview()->superview()->removeFromSuperview();

  HWND lb = List(LBS_OWNERDRAWFIXED, true);
  Insert(lb, "a", 0, 9);
  Clear();
  winsys::test::click(At(lb, 10, 5), 2);
  std::vector<WPARAM> cmds;
  for (const Msg& m : rec.of(WM_COMMAND)) cmds.push_back(m.wp >> 16);
  EXPECT_EQ(cmds, std::vector<WPARAM>({1, 2}));
  Clear();
  View(top)->window()->display();
  const DRAWITEMSTRUCT* d = nullptr;
  for (const Notice& x : notices)
    if (x.msg == WM_DRAWITEM) d = &x.draw;
  ASSERT_TRUE(d);
  EXPECT_EQ(std::make_tuple(d->CtlType, d->itemID, d->itemData), std::make_tuple(ODT_LISTBOX, 0u, uintptr_t(9)));
  EXPECT_EQ(std::make_tuple(d->rcItem.left, d->rcItem.top, d->rcItem.bottom), std::make_tuple(2, 1, 18));  // x 1.5 rounds up
  View(lb)->superview()->superview()->removeFromSuperview();

  HWND od = List(LVS_OWNERDATA);
  ListView_SetItemCount(od, 3);
  Clear();
  EXPECT_EQ(LV(od)->cellText(LV(od)->m_cols[0], 2), "row2");
  EXPECT_EQ(rec.of(WM_NOTIFY).size(), 1u);
}

// ---- Columns and geometry ----

TEST_F(Lists, ColumnsOrderWidthsAndHeaderMarks) {
  HWND h = List(LVS_REPORT);
  LVCOLUMN c{};
  for (int w : {50, 60, 70}) {
    c.cx = w;
    ListView_InsertColumn(h, 2, &c);
  }
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(h)), 3);
  int order[3] = {};
  EXPECT_EQ(ListView_GetColumnOrderArray(h, 2, order), 0);
  EXPECT_EQ(ListView_GetColumnOrderArray(h, 3, nullptr), 0);
  const int bad[3] = {0, 3, 1};
  EXPECT_EQ(ListView_SetColumnOrderArray(h, 3, bad), 0);
  const int want[3] = {2, 0, 1};
  EXPECT_EQ(ListView_SetColumnOrderArray(h, 3, want), 1);
  EXPECT_EQ(ListView_GetColumnOrderArray(h, 3, order), 1);
  EXPECT_EQ(std::vector<int>(order, order + 3), std::vector<int>(want, want + 3));
  ListView_SetColumnWidth(h, 1, 0);
  EXPECT_EQ(ListView_GetColumnWidth(h, 1), 0);
  ListView_SetColumnWidth(h, 1, 61);
  EXPECT_EQ(ListView_GetColumnWidth(h, 1), 61);
  HDITEM hi{};
  hi.mask = HDI_FORMAT;
  for (int fmt : {0x400, 0x200, 0}) {
    hi.fmt = fmt;
    Header_SetItem(h, 0, &hi);
    hi.fmt = -1;
    EXPECT_EQ(Header_GetItem(h, 0, &hi), 1);
    EXPECT_EQ(hi.fmt, fmt);
  }
  EXPECT_EQ(Header_GetItem(h, 3, &hi), 0);
  EXPECT_EQ(ListView_DeleteColumn(h, 0), 1);
  EXPECT_EQ(ListView_DeleteColumn(h, 5), 0);
}

TEST_F(Lists, HitTestsRectanglesScrollingAndColours) {
  HWND h = List(LVS_REPORT);
  LVCOLUMN c{};
  c.cx = 40;
  ListView_InsertColumn(h, 0, &c);
  c.cx = 60;
  ListView_InsertColumn(h, 1, &c);
  for (int i = 0; i < 20; ++i) Insert(h, "r", i);
  LVHITTESTINFO info{};
  info.pt = POINT{50, -3};
  EXPECT_EQ(ListView_SubItemHitTest(h, &info), -1);
  EXPECT_EQ(std::make_pair(info.flags, info.iSubItem), std::make_pair(0x10u, 1));
  info.pt = POINT{30, 25};
  EXPECT_EQ(ListView_HitTest(h, &info), 1);
  EXPECT_EQ(info.flags, 4u);
  int images = 0;
  ListView_SetImageList(h, &images, LVSIL_STATE);
  info.pt = POINT{10, 25};
  ListView_HitTest(h, &info);
  EXPECT_EQ(info.flags, 8u);
  RECT r{};
  EXPECT_EQ(ListView_GetSubItemRect(h, 2, 1, 0, &r), 1);  // x 43 + 1.5, y 38 + 1, 60 x 17, grown by (3, 2)
  EXPECT_EQ(std::make_tuple(r.left, r.top, r.right, r.bottom), std::make_tuple(44, 39, 107, 58));
  EXPECT_EQ(ListView_GetItemRect(h, 20, &r, 0), 1);  // one past the last row
  EXPECT_EQ(std::make_pair(r.top, r.bottom), std::make_pair(380, 401));
  EXPECT_EQ(ListView_GetItemRect(h, 21, &r, 0), 0);
  EXPECT_EQ(ListView_GetSubItemRect(h, 0, 2, 0, &r), 0);
  EXPECT_EQ(ListView_GetTopIndex(h), 0);
  EXPECT_EQ(ListView_GetCountPerPage(h), 100 / 17);
  const int lastShown = (100 - 1) / 19;
  ListView_Scroll(h, 0, 17);
  LVHITTESTINFO below{};
  POINT scroll{};
  EXPECT_EQ(ListView_GetScroll(h, &scroll), 1);
  below.pt = POINT{1, scroll.y + 99};
  EXPECT_EQ(ListView_HitTest(h, &below), lastShown + 1);
  ListView_EnsureVisible(h, 0, FALSE);
  EXPECT_EQ(ListView_GetTopIndex(h), 0);
  EXPECT_EQ(SHIM_GetListViewHeaderHeight(h), 17);
  // Selection fill: focused colour entry 0; with two colours and no focus, the platform's.
  ListView_SetItemState(h, 0, LVIS_SELECTED, LVIS_SELECTED);
  const int two[2] = {0x00FF00, 0xFFFFFF};
  ListView_SetSelColors(h, two, 2);
  auto probe = [&] {
    winsys::Window* w = View(top)->window();
    View(h)->superview()->superview()->setNeedsDisplay(true);  // the scroll view, a native view of the window object
    w->display();
    const winsys::Point p = View(h)->convertToWindow(winsys::Point{150, 5});
    const auto row = static_cast<size_t>(w->frame().h - p.y), col = static_cast<size_t>(p.x);
    EXPECT_LT(row * static_cast<size_t>(w->frame().w) + col, w->pixels().size());
    const uint32_t v = w->pixels().at(row * static_cast<size_t>(w->frame().w) + col);  // bytes X R G B
    return ((v >> 8) & 0xFF) << 16 | ((v >> 16) & 0xFF) << 8 | (v >> 24);
  };
  EXPECT_EQ(probe(), winsys::TableView::kHighlight & 0xFFFFFF);
  SetFocus(h);
  EXPECT_EQ(GetFocus(), h);
  EXPECT_EQ(probe(), 0x00FF00u);
  ListView_SetSelColors(h, two, -1);
  EXPECT_TRUE(LV(h)->m_selColors.empty());
  ListView_SetSelColors(top, two, 2);  // not a list: dropped
}

// ---- Tree views ----

class Trees : public Lists {
 protected:
  HWND tree = nullptr;
  void SetUp() override {
    Lists::SetUp();
    tree = SHIM_MakeControl("", 60, "SysTreeView32", 0, 10, 150, 200, 100, 0);
  }
  HTREEITEM Add(HTREEITEM parent, const char* text, HTREEITEM after = TVI_LAST, bool children = false) {
    TVINSERTSTRUCT ins{};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | (children ? uint32_t{TVIF_CHILDREN} : 0u);
    ins.item.pszText = const_cast<char*>(text);
    ins.item.cChildren = 1;
    ins.item.lParam = text[0];
    return TreeView_InsertItem(tree, &ins);
  }
  std::vector<HTREEITEM> Siblings(HTREEITEM first) {
    std::vector<HTREEITEM> out;
    for (HTREEITEM i = first; i; i = TreeView_GetNextSibling(tree, i)) out.push_back(i);
    return out;
  }
};

TEST_F(Trees, InsertionPlacesAndRefusals) {
  HTREEITEM a = Add(nullptr, "a", TVI_LAST, true);
  HTREEITEM b = Add(TVI_ROOT, "b");
  HTREEITEM c = Add(reinterpret_cast<HTREEITEM>(uintptr_t{0xFFFF0000u}), "c", reinterpret_cast<HTREEITEM>(uintptr_t{0xFFFF0003u}));
  EXPECT_EQ(Siblings(TreeView_GetRoot(tree)), std::vector<HTREEITEM>({a, b, c}));  // top-level siblings walk
  HTREEITEM a1 = Add(a, "a1");
  HTREEITEM a0 = Add(a, "a0", b);  // after an item outside the list: first
  HTREEITEM a2 = Add(a, "a2", a1);
  EXPECT_EQ(Siblings(TreeView_GetChild(tree, a)), std::vector<HTREEITEM>({a0, a1, a2}));
  EXPECT_EQ(TreeView_GetChild(tree, nullptr), a);
  EXPECT_EQ(TreeView_GetNextSibling(tree, nullptr), a);
  HWND other = SHIM_MakeControl("", 61, "SysTreeView32", 0, 10, 260, 100, 50, 0);
  TVINSERTSTRUCT ins{};
  ins.hParent = a;
  EXPECT_EQ(TreeView_InsertItem(other, &ins), nullptr);
  EXPECT_EQ(TreeView_InsertItem(top, &ins), nullptr);
  // Expansion.
  const std::tuple<HTREEITEM, int, int> expands[] = {{a, TVE_COLLAPSE, 0}, {a, TVE_EXPAND, 1}, {a, TVE_EXPAND, 0},
                                                     {a, TVE_TOGGLE, 1},   {a, TVE_TOGGLE, 1}, {nullptr, TVE_TOGGLE, 0}};
  for (auto [item, action, want] : expands) EXPECT_EQ(TreeView_Expand(tree, item, action), want) << action;
  // Deleting takes the subtree; the deleted handles read as nothing.
  TreeView_DeleteItem(tree, a);
  EXPECT_EQ(TreeView_GetRoot(tree), b);
  TVITEM v{};
  v.mask = TVIF_HANDLE;
  for (HTREEITEM gone : {a, a1}) {
    v.hItem = gone;
    EXPECT_EQ(TreeView_GetItem(tree, &v), 0);
  }
  v.hItem = b;
  EXPECT_EQ(TreeView_GetItem(tree, &v), 1);
}

TEST_F(Trees, SelectionNoticesAndItemRecords) {
  HTREEITEM a = Add(nullptr, "a", TVI_LAST, true);
  HTREEITEM a1 = Add(a, "a1");
  HTREEITEM b = Add(nullptr, "b");
  TreeView_SelectItem(tree, b);
  Clear();
  TreeView_SelectItem(tree, a1);  // inside a collapsed parent
  EXPECT_EQ(TreeView_GetSelection(tree), b);
  EXPECT_EQ(Codes(), std::vector<int>({TVN_SELCHANGED}));
  TVITEM v{};
  v.mask = TVIF_HANDLE | TVIF_TEXT;
  v.hItem = a;
  char buf[4];
  v.pszText = buf;
  v.cchTextMax = sizeof buf;
  TreeView_GetItem(tree, &v);
  EXPECT_EQ(std::make_tuple(v.cChildren, v.lParam, std::string(buf), v.state), std::make_tuple(1, LPARAM('a'), std::string("a"), 0u));
  TVITEM set{};
  set.mask = TVIF_HANDLE;
  set.hItem = b;
  set.stateMask = TVIS_SELECTED;
  Clear();
  TreeView_SetItem(tree, &set);  // state 0 deselects nothing
  EXPECT_EQ(TreeView_GetSelection(tree), b);
  EXPECT_TRUE(rec.of(WM_NOTIFY).empty());
  set.hItem = a;
  set.state = TVIS_SELECTED | TVIS_EXPANDED;
  set.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
  TreeView_SetItem(tree, &set);
  EXPECT_EQ(TreeView_GetSelection(tree), a);
  EXPECT_EQ(rec.of(WM_NOTIFY).size(), 1u);
  v.mask = TVIF_HANDLE;
  TreeView_GetItem(tree, &v);
  EXPECT_EQ(v.state, TVIS_SELECTED | TVIS_EXPANDED);
  TVHITTESTINFO hit{};
  hit.pt = POINT{5, 19 + 5};
  EXPECT_EQ(TreeView_HitTest(tree, &hit), a1);
  // A user's click: NM_CLICK, then the selection notice.
  Clear();
  winsys::test::click(At(tree, 5, 19 * 2 + 5));
  EXPECT_EQ(Codes(), std::vector<int>({NM_CLICK, TVN_SELCHANGED}));
  EXPECT_EQ(TreeView_GetSelection(tree), b);
}

}  // namespace
