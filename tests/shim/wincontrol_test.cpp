// Dialog controls: placement, buttons, labels, edit fields, group boxes,
// combo boxes and trackbars, driven through the public calls and the
// window system's user actions.
#include <cstring>
#include <string>

#include "recttest.h"
#include "shim/winctlclass.h"
#include "support_windows.h"

namespace {

using winsys::Rect;

class Controls : public WindowTest {
 protected:
  HWND top = nullptr;
  void SetUp() override {
    WindowTest::SetUp();
    top = TopLevel(100, 100, 400, 300);
    Parms(1, 1);
  }
  void Parms(float xs, float ys, bool autoright = false, bool fit = false) {
    SHIM_MakeSetCurParms(xs, ys, 0, 0, top, autoright, fit);
  }
  template <class T = winsys::View>
  T* As(HWND h) {
    return SHIM_As<T>(h);
  }
  Rect Frame(HWND h) { return As(h)->frame(); }
};

void ExpectFrame(const Rect& r, double x, double y, double w, double h) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.w, w);
  EXPECT_EQ(r.h, h);
}

// ---- Placement ----

TEST_F(Controls, PlacementRawScaledAndFixedHeight) {
  for (float s : {0.5f, 1.8f, 3.f}) {
    SHIM_MakeSetCurParms(s, s, 7, 9, top, true, false);
    ExpectFrame(MakeCoords(-10, -5, -80, -20, true, false), 10, 5, 80, 20);
  }
  Parms(2, 1);  // the window object is flipped: y scale -1 in effect
  ExpectFrame(MakeCoords(-10, 5, -80, 20, false, false), -19, 5, -159, 20);  // -20 + 0.5 truncates to -19
  Parms(1.8f, -1.8f);
  ExpectFrame(MakeCoords(10, 20, 50, 14, false, false), 18, 36, 90, 25);
  ExpectFrame(MakeCoords(10, 20, 50, 22, false, true), 18, 36, 90, 22);
  // An owner whose y axis points up: y still counts from the top.
  auto* up = new winsys::View;
  up->setFrame(Rect{0, 0, 200, 100});
  View(top)->addSubview(up);
  up->release();
  SHIM_MakeSetCurParms(1, 1, 0, 0, SHIM_Handle(up), false, false);
  ExpectFrame(MakeCoords(10, 20, 50, 14, false, false), 10, 66, 50, 14);
}

TEST_F(Controls, AutoRightShiftsTheNextControlOnItsRowOnly) {
  Parms(1, 1, true);
  Rect a = MakeCoords(10, 10, 50, 10, true, false);
  EXPECT_EQ(a.x, 10);  // the first control is never moved
  auto* v = new winsys::View;
  v->setFrame(Rect{a.x, a.y, a.w + 12, a.h});  // it grew by 12
  View(top)->addSubview(v);
  v->release();
  SHIM_RecordAutoShift(v);
  EXPECT_EQ(MakeCoords(70, 12, 30, 10, true, false).x, 82);
  SHIM_RecordAutoShift(v);  // a shift pending again, but the next control is a row down
  EXPECT_EQ(MakeCoords(10, 40, 30, 10, true, false).x, 10);
  EXPECT_EQ(MakeCoords(40, 40, 30, 10, true, false).x, 40);
}

TEST_F(Controls, FontByScaleMnemonicsAndQueries) {
  const std::pair<float, float> fonts[] = {{0.9f, 8}, {1.0f, 10}, {1.8f, 10}, {1.85f, 13}, {2.5f, 13}};
  for (auto [scale, px] : fonts) {
    Parms(scale, 1);
    EXPECT_EQ(As<winsys::Control>(SHIM_MakeButton(0, "x", 1, 0, 0, 10, 10, 0))->fontSize, px) << scale;
  }
  const std::pair<const char*, const char*> marks[] = {
      {"Sa&ve", "Save"}, {"&&Print", "&Print"}, {"Done&", "Done"}, {nullptr, ""}};
  for (auto [in, out] : marks) EXPECT_EQ(SHIM_StripMnemonics(in), out);
  EXPECT_EQ(SHIM_StripMnemonics(std::string(1024, '&').c_str()).size(), 1024u);
  Parms(1, 1);
  HWND edit = SHIM_MakeEditField(2, 0, 0, 50, 10, 0), label = SHIM_MakeLabel(0, "L", 3, 0, 0, 5, 5, 0);
  HWND button = SHIM_MakeButton(0, "B", 4, 0, 0, 5, 5, 0), box = SHIM_MakeGroupBox("G", 5, 0, 0, 5, 5, 0);
  EXPECT_TRUE(SHIM_IsStaticText(edit) && SHIM_IsStaticText(label) && !SHIM_IsStaticText(button));
  EXPECT_TRUE(SHIM_IsButton(button) && !SHIM_IsButton(label) && !SHIM_IsButton(nullptr));
  EXPECT_TRUE(SHIM_IsGroupBox(box) && !SHIM_IsGroupBox(button));
  RECT r{9, 9, 9, 9};
  SHIM_GetDesiredControlSize(label, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_GT(r.right, 4);
  EXPECT_EQ(r.bottom, 5);
  EXPECT_EQ(Frame(label).w, 5);  // the frame is put back
  RECT same = r;
  SHIM_GetDesiredControlSize(box, &r);
  SHIM_GetDesiredControlSize(nullptr, &r);
  EXPECT_EQ(std::memcmp(&r, &same, sizeof r), 0);
}

TEST_F(Controls, DisplayHookMarksWindowObjectsUpToTheFirstThatKnows) {
  HWND inner = Child(top, 0, 0, 100, 100);
  SHIM_MakeSetCurParms(1, 1, 0, 0, inner, false, false);
  winsys::View* b = As(SHIM_MakeButton(0, "b", 1, 0, 0, 10, 10, 0));
  SHIM_Hwnd(inner)->m_isdirty = 0;
  SHIM_Hwnd(top)->m_isdirty = 0;
  b->setNeedsDisplay(false);
  EXPECT_EQ(SHIM_Hwnd(inner)->m_isdirty, 0);
  b->setNeedsDisplayInRect(Rect{0, 0, 1, 1});
  EXPECT_EQ(SHIM_Hwnd(inner)->m_isdirty, 2);
  EXPECT_EQ(SHIM_Hwnd(top)->m_isdirty, 2);
  SHIM_Hwnd(top)->m_isdirty = 0;
  b->setNeedsDisplay(true);  // the walk ends at inner, which knew
  EXPECT_EQ(SHIM_Hwnd(top)->m_isdirty, 0);
}

TEST_F(Controls, MakersNeedALiveOwner) {
  SHIM_MakeSetCurParms(1, 1, 0, 0, nullptr, false, false);
  EXPECT_EQ(SHIM_MakeButton(0, "b", 1, 0, 0, 10, 10, 0), nullptr);
  HWND gone = Child(top, 0, 0, 10, 10);
  SHIM_MakeSetCurParms(1, 1, 0, 0, gone, false, false);
  DestroyWindow(gone);
  EXPECT_EQ(SHIM_MakeLabel(0, "b", 1, 0, 0, 10, 10, 0), nullptr);
  EXPECT_EQ(SHIM_MakeCombo(1, 0, 0, 10, 10, 0), nullptr);
}

// ---- Buttons, labels, edit fields, group boxes ----

TEST_F(Controls, ButtonsTitleHeightAndDefault) {
  EXPECT_EQ(As<winsys::Button>(SHIM_MakeButton(0, reinterpret_cast<const char*>(5), 1, 0, 0, 9, 9, 0))->title,
            "ICONTEMP");
  const std::tuple<int, int, double> heights[] = {{0, 20, 24}, {0, 17, 17}, {0, 24, 24}, {1, 20, 20}};
  for (auto [nice, h, want] : heights) {
    g_shim_want_nice_style = nice;
    HWND b = SHIM_MakeButton(0, "&OK", 1, 0, 0, 40, h, 0);
    EXPECT_EQ(Frame(b).h, want) << nice << " " << h;
    EXPECT_EQ(As<winsys::Button>(b)->bezelStyle, nice == 1 ? 6 : 1);
  }
  HWND def = SHIM_MakeButton(1, "Go", 7, 0, 0, 40, 20, SHIM_CREATE_HIDDEN);
  EXPECT_EQ(View(top)->window()->defaultButton, As(def));
  EXPECT_TRUE(As(def)->isHidden());
  rec.clear();
  As<winsys::Button>(def)->performClick();
  EXPECT_EQ(rec.of(WM_COMMAND).at(0).wp, 7u);
}

TEST_F(Controls, LabelsAlignWrapAndFit) {
  const std::pair<int, int> aligns[] = {{-1, winsys::Control::Left}, {0, winsys::Control::Centered},
                                        {1, winsys::Control::Right}};
  for (auto [a, want] : aligns) EXPECT_EQ(As<winsys::Control>(SHIM_MakeLabel(a, "x", 1, 0, 0, 9, 9, 0))->alignment, want);
  EXPECT_FALSE(As<winsys::Control>(SHIM_MakeLabel(0, "x", 1, 0, 0, 9, 12, 0))->wraps);
  EXPECT_TRUE(As<winsys::Control>(SHIM_MakeLabel(0, "x", 1, 0, 0, 9, 13, 0))->wraps);
  Parms(1, 1, false, true);
  EXPECT_EQ(Frame(SHIM_MakeLabel(0, "W", 1, 0, 0, 300, 9, 0)).w, 300);
  EXPECT_LT(Frame(SHIM_MakeLabel(0, "Wi", 1, 0, 0, 300, 9, 0)).w, 100);
  HWND notify = SHIM_MakeLabel(0, "n", 9, 0, 0, 9, 9, SS_NOTIFY);
  rec.clear();
  As<winsys::Control>(notify)->sendAction();
  EXPECT_EQ(rec.of(WM_COMMAND).size(), 1u);
}

TEST_F(Controls, EditFieldsByScrollBits) {
  for (int h : {19, -19, 20}) EXPECT_EQ(As<winsys::Control>(SHIM_MakeEditField(1, 0, 0, 50, h, 0))->wraps, h == 20);
  auto* pw = As<winsys::TextField>(SHIM_MakeEditField(2, 0, 0, 50, 10, ES_PASSWORD | ES_READONLY));
  ASSERT_TRUE(dynamic_cast<winsys::SecureTextField*>(pw));
  EXPECT_TRUE(pw->selectable && !pw->editable);
  EXPECT_EQ(As<winsys::Control>(SHIM_MakeEditField(3, 0, 0, 50, 10, ES_CENTER | ES_RIGHT))->alignment,
            winsys::Control::Centered);
  EXPECT_EQ(As<winsys::Control>(SHIM_MakeEditField(3, 0, 0, 50, 10, ES_RIGHT))->alignment, winsys::Control::Right);
  HWND plain = SHIM_MakeEditField(4, 0, 0, 50, 40, WS_HSCROLL);
  EXPECT_TRUE(As<Shim_vTavrin_textview>(plain));
  HWND sv = SHIM_MakeEditField(5, 10, 20, 100, 60, WS_VSCROLL);
  auto* scroll = As<winsys::ScrollView>(sv);
  ASSERT_TRUE(scroll);
  EXPECT_TRUE(scroll->hasVerticalScroller && !scroll->hasHorizontalScroller);
  auto* tv = As<Shim_vTavrin_textview>(GetDlgItem(top, 5));
  ASSERT_TRUE(tv);
  EXPECT_EQ(scroll->documentView(), tv);
  ExpectFrame(tv->frame(), 0, 0, 84, 60);
  EXPECT_TRUE(tv->verticallyResizable && tv->editable);
}

TEST_F(Controls, TextViewMessages) {
  auto* tv = As<Shim_vTavrin_textview>(SHIM_MakeEditField(5, 0, 0, 100, 30, WS_HSCROLL));
  tv->string = "hello";
  HWND h = SHIM_Handle(tv);
  struct {
    intptr_t start, end;
    int wantStart, wantEnd;
  } const cases[] = {{-1, 3, 0, 0}, {2, -1, 2, 5}, {3, -9, 3, 3}, {-7, 2, 5, 5}, {1, 99, 1, 5}};
  for (const auto& c : cases) {
    SendMessage(h, EM_SETSEL, static_cast<WPARAM>(c.start), c.end);
    int s = -1, e = -1;
    EXPECT_EQ(SendMessage(h, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e)), 0);
    EXPECT_EQ(std::make_pair(s, e), std::make_pair(c.wantStart, c.wantEnd)) << c.start << "," << c.end;
  }
  EXPECT_EQ(SendMessage(h, EM_GETSEL, 0, 0), 0);
  HFONT f = CreateFont(17, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Sans");
  SendMessage(h, WM_SETFONT, reinterpret_cast<WPARAM>(f), 0);
  EXPECT_EQ(tv->fontSize, 17);
  HBRUSH brush = CreateSolidBrush(0);
  SendMessage(h, WM_SETFONT, reinterpret_cast<WPARAM>(brush), 0);
  SendMessage(h, WM_SETFONT, 0, 0);
  EXPECT_EQ(tv->fontSize, 17);
  DeleteObject(brush);
  DeleteObject(f);
}

TEST_F(Controls, GroupBoxesLieBelowAndCentreTheirTitle) {
  SHIM_MakeButton(0, "b", 1, 0, 0, 10, 10, 0);
  HWND box = SHIM_MakeGroupBox("&Group", 9, 10, 20, 100, 50, 0);
  ExpectFrame(Frame(box), 10, 19, 100, 53);
  EXPECT_EQ(View(top)->subviews().front(), As(box));
  EXPECT_EQ(As<winsys::Box>(box)->title, "Group");
  EXPECT_EQ(GetDlgItem(top, 9), box);
  for (int style : {0, 0x100, 0x200, 0x300})
    EXPECT_EQ(As<winsys::Box>(SHIM_MakeGroupBox("g", 1, 0, 0, 9, 9, style))->titleCentered, style != 0);
}

// ---- Combo boxes and trackbars ----

std::vector<std::string> Items(HWND w) {
  std::vector<std::string> out;
  char buf[64];
  for (int i = 0; i < SHIM_CB_GetNumItems(w, 0); ++i) out.push_back(SHIM_CB_GetItemText(w, 0, i, buf, 64) ? buf : "?");
  return out;
}

TEST_F(Controls, ComboInsertionSortedAndPlaced) {
  for (int flags : {0x100, 0x103}) {
    HWND c = SHIM_MakeCombo(flags, 0, 0, 80, 100, flags);
    for (const char* s : {"b", "a", "c", "B", "b"}) SHIM_CB_AddString(top, flags, s);
    EXPECT_EQ(Items(c), std::vector<std::string>({"B", "a", "b", "b", "c"})) << flags;
  }
  for (int flags : {0, 3}) {
    HWND c = SHIM_MakeCombo(4, 0, 0, 80, 100, flags | CBS_SORT);
    for (const char* s : {"b", "a", "c"}) EXPECT_EQ(SHIM_CB_InsertString(c, 0, 0, s), 0);
    EXPECT_EQ(Items(c), std::vector<std::string>({"c", "a", "b"}));
    SHIM_CB_SetItemData(c, 0, 1, 11);
    SHIM_CB_SetItemData(c, 0, 2, 22);
    EXPECT_EQ(SHIM_CB_InsertString(c, 0, 99, "z"), 3);
    EXPECT_EQ(SHIM_CB_InsertString(c, 0, -5, nullptr), 0);
    EXPECT_EQ(SHIM_CB_InsertString(c, 0, 2, "m"), 2);
    EXPECT_EQ(Items(c), std::vector<std::string>({"", "c", "m", "a", "b", "z"}));
    EXPECT_EQ(SHIM_CB_GetItemData(c, 0, 3), 11);
    EXPECT_EQ(SHIM_CB_GetItemData(c, 0, 4), 22);
    EXPECT_EQ(SHIM_CB_GetItemData(c, 0, 2), 0);
    SHIM_CB_DeleteString(c, 0, 2);
    SHIM_CB_DeleteString(c, 0, 99);
    EXPECT_EQ(SHIM_CB_GetItemData(c, 0, 2), 11);
    EXPECT_EQ(SHIM_CB_GetItemData(c, 0, -1), 0);
    SHIM_CB_Empty(c, 0);
    EXPECT_EQ(SHIM_CB_GetNumItems(c, 0), 0);
  }
  EXPECT_EQ(SHIM_CB_InsertString(top, 77, 0, "x"), 0);
  EXPECT_EQ(SHIM_CB_GetNumItems(top, 77), 0);
}

TEST_F(Controls, ComboSearchSelectionAndText) {
  HWND c = SHIM_MakeCombo(3, 0, 0, 80, 100, 0);
  for (const char* s : {"Apple", "AP", "ap", "apricot", "Ap"}) SHIM_CB_AddString(c, 0, s);
  struct {
    int start;
    const char* text;
    bool exact;
    int want;
  } const finds[] = {{-1, "ap", false, 0}, {-1, "ap", true, 1}, {1, "ap", true, 2}, {2, "ap", false, 3},
                     {3, "ap", true, 4},   {4, "ap", true, -1}, {-1, "q", false, -1}, {-1, nullptr, false, -1},
                     {-1, "", true, -1},   {-1, "", false, 0}};
  for (const auto& f : finds) EXPECT_EQ(SHIM_CB_FindString(c, 0, f.start, f.text, f.exact), f.want) << f.start;
  EXPECT_EQ(SHIM_CB_FindString(top, 77, -1, "ap", false), 0);
  SHIM_CB_SetCurSel(c, 0, 2);
  SHIM_CB_SetCurSel(c, 0, -1);
  SHIM_CB_SetCurSel(c, 0, 5);
  EXPECT_EQ(SHIM_CB_GetCurSel(c, 0), 2);
  EXPECT_EQ(SHIM_CB_GetCurSel(top, 77), -1);
  char buf[8] = "junk";
  EXPECT_FALSE(SHIM_CB_GetItemText(top, 77, 0, buf, 8));
  EXPECT_STREQ(buf, "");
  std::strcpy(buf, "junk");
  EXPECT_FALSE(SHIM_CB_GetItemText(c, 0, 0, buf, 0));
  EXPECT_FALSE(SHIM_CB_GetItemText(c, 0, 0, nullptr, 8));
  EXPECT_STREQ(buf, "junk");
  EXPECT_TRUE(SHIM_CB_GetItemText(c, 0, 3, buf, 4));
  EXPECT_STREQ(buf, "apr");
  // The messages.
  EXPECT_EQ(SendMessage(c, CB_SETCURSEL, static_cast<WPARAM>(-1), 0), 0);
  EXPECT_EQ(SendMessage(c, CB_SETCURSEL, 5, 0), 0);
  EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), 2);
  SendMessage(c, CB_SETCURSEL, 4, 0);
  EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(SendMessage(c, CB_FINDSTRING, static_cast<WPARAM>(-1), 0), -1);
  EXPECT_EQ(SendMessage(c, CB_FINDSTRINGEXACT, 1, reinterpret_cast<LPARAM>("ap")), 2);
  EXPECT_EQ(SendMessage(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("z")), 5);
  EXPECT_EQ(SendMessage(c, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("y")), 0);
  SendMessage(c, CB_SETITEMDATA, 0, 42);
  EXPECT_EQ(SendMessage(c, CB_GETITEMDATA, 0, 0), 42);
  char big[1024];
  EXPECT_EQ(SendMessage(c, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(big)), 1);
  EXPECT_STREQ(big, "y");
  EXPECT_EQ(SendMessage(c, CB_GETLBTEXT, 0, 0), 0);
  EXPECT_EQ(SendMessage(c, CB_DELETESTRING, 0, 0), 1);
  EXPECT_EQ(SendMessage(c, CB_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(SendMessage(c, 0x160, 0, 0), 0);
  SendMessage(c, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessage(c, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(Controls, ComboGeometryAndUserNotices) {
  HWND combo = SHIM_MakeCombo(3, 10, 20, 80, 100, 0);
  HWND list = SHIM_MakeCombo(4, 10, 50, 80, 100, CBS_DROPDOWNLIST);
  ExpectFrame(Frame(combo), 10, 19, 80, 22);
  ExpectFrame(Frame(list), 10, 50, 80, 18);
  EXPECT_EQ(As<winsys::Control>(list)->bezelStyle, 6);
  for (HWND c : {combo, list}) {
    SHIM_CB_AddString(c, 0, "one");
    SHIM_CB_AddString(c, 0, "two");
  }
  rec.clear();
  winsys::test::chooseItem(As<winsys::Control>(combo), 1);
  winsys::test::openList(As<winsys::ComboBox>(combo));
  winsys::test::typeText(As<winsys::ComboBox>(combo), "tw");
  winsys::test::chooseItem(As<winsys::Control>(list), 1);
  winsys::test::chooseItem(As<winsys::Control>(list), 7);  // no such item: nothing
  std::vector<WPARAM> codes;
  for (const Msg& m : rec.of(WM_COMMAND)) codes.push_back(m.wp);
  EXPECT_EQ(codes, std::vector<WPARAM>({0x10003, 0x70003, 0x50003, 0x10004}));
  EXPECT_EQ(SHIM_CB_GetCurSel(list, 0), 1);
}

TEST_F(Controls, TrackbarsOnSlidersAndMessageEntries) {
  auto* s = new winsys::Slider;
  s->setTag(6);
  View(top)->addSubview(s);
  s->release();
  SHIM_TB_SetRange(top, 6, 0, 1000);
  const std::pair<double, int> pos[] = {{499.5, 500}, {499.4, 499}};
  for (auto [v, want] : pos) {
    s->setDoubleValue(v);
    EXPECT_EQ(SHIM_TB_GetPos(top, 6), want);
  }
  SHIM_TB_SetPos(top, 6, 2000);
  EXPECT_EQ(SHIM_TB_GetPos(top, 6), 1000);
  SHIM_TB_SetTic(top, 6, 5);
  HWND entry = Child(top, 0, 0, 10, 10, 8);
  rec.answer(TBM_GETPOS, 33);
  rec.clear();
  EXPECT_EQ(SHIM_TB_GetPos(top, 8), 33);
  SHIM_TB_SetPos(top, 8, 4);
  SHIM_TB_SetRange(top, 8, 2, 100);
  SHIM_TB_SetTic(top, 8, 9);
  ASSERT_EQ(rec.log.size(), 4u);
  EXPECT_EQ(rec.log[1].lp, 4);
  EXPECT_EQ(rec.log[2].lp, (100 << 16) | 2);
  EXPECT_EQ(std::make_pair(rec.log[3].wp, rec.log[3].lp), std::make_pair(WPARAM(0), LPARAM(9)));
  EXPECT_EQ(rec.log[0].w, entry);
  EXPECT_EQ(SHIM_TB_GetPos(top, 77), 0);
}

}  // namespace
