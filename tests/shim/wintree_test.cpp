// The window tree and geometry, window longs and dialog items.
#include <climits>

#include "recttest.h"
#include "support_windows.h"

namespace {

using T = WindowTest;

template <class V>
V* AddTo(HWND parent, int tag = 0) {
  auto* v = new V;
  if constexpr (std::is_base_of_v<winsys::Control, V>) v->setTag(tag);
  winsys::lookup<winsys::View>(parent)->addSubview(v);
  v->release();
  return v;
}

TEST_F(T, DlgItemsAndSiblings) {
  HWND top = TopLevel(0, 0, 300, 200);
  EXPECT_EQ(GetDlgItem(top, 0), top);
  auto* sv = AddTo<winsys::ScrollView>(top);
  auto* doc = new winsys::TextField;
  doc->setTag(5);
  sv->setDocumentView(doc);
  doc->release();
  HWND mid = Child(top, 0, 0, 10, 10);
  AddTo<winsys::Button>(mid, 6);
  EXPECT_EQ(GetDlgItem(top, 5), SHIM_Handle(doc));
  EXPECT_EQ(GetDlgItem(top, 6), nullptr);  // a grandchild
  HWND first = SHIM_Handle(View(top)->subviews().front());
  EXPECT_EQ(GetWindow(mid, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetWindow(first, GW_HWNDPREV), nullptr);
  EXPECT_EQ(GetWindow(top, GW_HWNDFIRST), top);
  EXPECT_EQ(GetWindow(SHIM_Handle(doc), GW_HWNDNEXT), mid);  // through its scroll view
}

TEST_F(T, SetParentCases) {
  HWND a = TopLevel(0, 0, 300, 200);
  HWND b = TopLevel(400, 0, 300, 200);
  HWND c = Child(a, 0, 0, 50, 50);
  SetDlgItemText(c, 0, "kept");
  // A child moved to another parent: the previous parent comes back.
  EXPECT_EQ(SetParent(c, b), a);
  EXPECT_EQ(View(c)->superview(), View(b));
  // A child with no parent becomes a top-level window, owned by none.
  EXPECT_EQ(SetParent(c, nullptr), nullptr);
  winsys::Window* cw = View(c)->window();
  ASSERT_TRUE(dynamic_cast<Shim_vTavrin_modelesswindow*>(cw));
  EXPECT_EQ(cw->contentView(), View(c));
  char text[16];
  EXPECT_TRUE(GetDlgItemText(c, 0, text, sizeof(text)));
  EXPECT_STREQ(text, "kept");
  // A content view given a parent view leaves its window behind.
  EXPECT_EQ(SetParent(c, a), a);
  EXPECT_EQ(View(c)->superview(), View(a));
  EXPECT_FALSE(winsys::isLive(cw));  // closed and freed
}

TEST_F(T, SetWindowPosSizesAndOrders) {
  HWND top = TopLevel(0, 0, 300, 200);
  HWND c[3];
  for (int i = 0; i < 3; ++i) c[i] = Child(top, i * 10, 0, 10, 10);
  auto order = [&] {
    std::vector<HWND> o;
    for (winsys::View* v : View(top)->subviews()) o.push_back(SHIM_Handle(v));
    return o;
  };
  SetWindowPos(c[0], nullptr, 5, 6, 40, -50, SWP_NOZORDER);
  EXPECT_EQ(View(c[0])->frame().h, 50);
  EXPECT_EQ(View(c[0])->frame().y, 6);
  const winsys::Rect before = View(c[1])->frame();
  SetWindowPos(c[1], HWND_TOP, 99, 99, 99, 99, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(), std::vector<HWND>({c[0], c[2], c[1]}));
  EXPECT_EQ(View(c[1])->frame().x, before.x);
  SetWindowPos(c[1], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(), std::vector<HWND>({c[1], c[0], c[2]}));
  SetWindowPos(c[1], c[2], 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(), std::vector<HWND>({c[0], c[2], c[1]}));

  winsys::Window* w = View(top)->window();
  w->minSizeLimit = winsys::Size{200, 150};
  SetWindowPos(top, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(std::make_pair(w->frame().w, w->frame().h), std::make_pair(200.0, 150.0));
}

TEST_F(T, RectanglesAndScreens) {
  HWND top = TopLevel(100, 100, 300, 200);
  HWND child = Child(top, 10, 20, 100, 50);
  RECT r;
  EXPECT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r, (RECT{110, 280, 210, 230}));
  EXPECT_TRUE(GetWindowRect(top, &r));
  EXPECT_EQ(r, (RECT{100, 100, 400, 300}));
  EXPECT_FALSE(GetWindowRect(reinterpret_cast<HWND>(&r), &r));  // foreign: cleared
  EXPECT_EQ(r, (RECT{}));
  rec.hook = [](const Msg& m, LRESULT* res) {
    if (m.msg != WM_NCCALCSIZE) return false;
    auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(m.lp);
    p->rgrc[0].right -= 10;
    p->rgrc[0].bottom -= 4;
    *res = 0;
    return true;
  };
  GetClientRect(child, &r);
  EXPECT_EQ(r, (RECT{0, 0, 90, 46}));

  winsys::test::setScreens({});
  SHIM_GetViewPort(&r, nullptr, false);
  EXPECT_EQ(r, (RECT{0, 0, 1600, 1200}));
  winsys::Screen a, b;
  a.frame = a.visibleFrame = winsys::Rect{0, 0, 1600, 1200};
  b.frame = b.visibleFrame = winsys::Rect{1600, 0, 1024, 768};
  winsys::test::setScreens({a, b});
  const RECT onSecond{1700, 100, 1800, 200};
  SHIM_GetViewPort(&r, &onSecond, true);
  EXPECT_EQ(r, (RECT{1600, 0, 2624, 768}));
}

BOOL StopAtGrandchild(HWND w, LPARAM lp) {
  auto* seen = reinterpret_cast<std::vector<HWND>*>(lp);
  seen->push_back(w);
  return seen->size() < 2;
}

TEST_F(T, IsWindowAndEnumeration) {
  HWND top = TopLevel(0, 0, 300, 200);
  HWND c = Child(top, 0, 0, 50, 50);
  HWND g = Child(c, 0, 0, 5, 5);
  Child(top, 60, 0, 50, 50);
  EXPECT_TRUE(IsWindow(top) && IsWindow(g) && IsWindow(SHIM_Handle(View(top)->window())));
  auto* plain = new winsys::Window(winsys::Rect{0, 0, 50, 50}, 1);
  auto* inPlain = new winsys::View;
  plain->contentView()->addSubview(inPlain);
  inPlain->release();
  int local = 0;
  EXPECT_FALSE(IsWindow(SHIM_Handle(inPlain)));
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(&local)));
  DestroyWindow(c);
  EXPECT_FALSE(IsWindow(c));  // freed with its parent's reference
  plain->release();
  // Depth first: the first child, then its child, where the walk stops.
  HWND first = SHIM_Handle(View(top)->subviews().front());
  g = Child(first, 0, 0, 5, 5);
  Child(first, 6, 0, 5, 5);
  std::vector<HWND> seen;
  EXPECT_FALSE(EnumChildWindows(top, StopAtGrandchild, reinterpret_cast<LPARAM>(&seen)));
  EXPECT_EQ(seen, std::vector<HWND>({first, g}));
}

TEST_F(T, LongsStylesAndRebuild) {
  HWND top = TopLevel(100, 100, 300, 200, winsys::kTitled | winsys::kResizable);
  auto* check = AddTo<winsys::Button>(top);
  check->buttonType = winsys::Button::Switch;
  auto* mixed = AddTo<winsys::Button>(top);
  mixed->allowsMixedState = true;
  auto* radio = AddTo<Shim_vTavrin_button>(top);
  radio->shimSetRadioFlags(3);
  const std::pair<HWND, LPARAM> styles[] = {{SHIM_Handle(check), 0x40000003},
                                            {SHIM_Handle(mixed), 0x40000006},
                                            {SHIM_Handle(radio), 0x40020009},
                                            {top, 0x00C40000}};
  for (auto [h, want] : styles) EXPECT_EQ(GetWindowLong(h, GWL_STYLE), want);
  EXPECT_EQ(GetWindowLong(SHIM_Handle(AddTo<winsys::TextView>(top)), GWL_USERDATA), static_cast<LPARAM>(0xDEADF00B));

  // Taking the thick frame away rebuilds the window around the same view.
  HWND owner = TopLevel(0, 0, 50, 50);
  HWND owned = TopLevel(500, 500, 50, 50);
  auto* oldWin = static_cast<ShimTopLevelWindow*>(View(top)->window());
  static_cast<ShimTopLevelWindow*>(View(owner)->window())->shimAddOwnedWindow(oldWin);
  oldWin->shimAddOwnedWindow(View(owned)->window());
  auto* childWin = new winsys::Window(winsys::Rect{0, 0, 10, 10}, 0);
  oldWin->addChildWindow(childWin);
  oldWin->level = 3;
  SetDlgItemText(top, 0, "Title");
  EXPECT_EQ(SetWindowLong(top, GWL_STYLE, WS_CAPTION), 0);
  auto* nw = static_cast<ShimTopLevelWindow*>(View(top)->window());
  ASSERT_NE(nw, oldWin);
  EXPECT_EQ(nw->styleMask(), 1u);
  EXPECT_EQ(std::make_tuple(nw->frame().x, nw->frame().y, nw->frame().w, nw->frame().h, nw->level, nw->title),
            std::make_tuple(100.0, 100.0, 300.0, 200.0, 3, std::string("Title")));
  EXPECT_EQ(nw->shimGetOwner(), View(owner)->window());
  EXPECT_EQ(nw->shimGetOwnerWindowHead(), std::vector<winsys::Window*>({View(owned)->window()}));
  EXPECT_EQ(nw->childWindows(), std::vector<winsys::Window*>({childWin}));
  EXPECT_TRUE(nw->isVisible());
  childWin->release();
}

TEST_F(T, DlgItemNumbersAndTexts) {
  HWND top = TopLevel(0, 0, 300, 200);
  auto* field = AddTo<winsys::TextField>(top, 7);
  struct Case {
    const char* text;
    BOOL isSigned;
    int value;
    BOOL ok;
  } cases[] = {{"  \t12", TRUE, 12, TRUE},      {"abc", TRUE, 0, FALSE},
               {"0", TRUE, 0, TRUE},            {"-3", FALSE, 0, FALSE},
               {"-3", TRUE, -3, TRUE},          {"2147483648", TRUE, 0, FALSE},
               {"4294967295", FALSE, -1, TRUE}, {"4294967296", FALSE, 0, FALSE},
               {"99999999999999999999", TRUE, 0, FALSE}};
  for (const Case& c : cases) {
    field->stringValue = c.text;
    BOOL ok = 2;
    EXPECT_EQ(GetDlgItemInt(top, 7, &ok, c.isSigned), c.value) << c.text;
    EXPECT_EQ(ok, c.ok) << c.text;
  }
  EXPECT_TRUE(SetDlgItemInt(top, 7, -1, FALSE));
  EXPECT_EQ(field->stringValue, "4294967295");
  BOOL ok = FALSE;
  EXPECT_EQ(GetDlgItemInt(top, 7, &ok, FALSE), -1);
  EXPECT_TRUE(ok);

  // Buffers: null or empty gives false and writes nothing; cuts keep whole
  // characters.
  char buf[4] = "xyz";
  EXPECT_FALSE(GetDlgItemText(top, 7, buf, 0));
  EXPECT_FALSE(GetDlgItemText(top, 7, nullptr, 10));
  EXPECT_STREQ(buf, "xyz");
  field->stringValue = "a\xC3\xA9";
  EXPECT_TRUE(GetDlgItemText(top, 7, buf, 3));
  EXPECT_STREQ(buf, "a");

  rec.clear();
  auto* label = AddTo<winsys::TextField>(top, 8);
  label->editable = false;
  EXPECT_TRUE(SetDlgItemText(top, 7, "x"));
  EXPECT_TRUE(SetDlgItemText(top, 8, "y"));
  ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u);
  EXPECT_EQ(rec.of(WM_COMMAND)[0].wp, 7u | 0x3000000u);
}

TEST_F(T, SmallServices) {
  for (auto [index, want] : {std::pair<int, int>{SM_CXVSCROLL, 16}, {SM_CXSCREEN, 1600}, {4, 0}})
    EXPECT_EQ(GetSystemMetrics(index), want);
  winsys::test::setScreens({});
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);

  HWND top = TopLevel(100, 100, 300, 200);
  HWND child = Child(top, 10, 10, 50, 50);
  EXPECT_FALSE(ScrollWindow(top, 0, 0, nullptr, nullptr));
  EXPECT_TRUE(ScrollWindow(top, 5, -3, nullptr, nullptr));
  EXPECT_EQ(std::make_pair(View(child)->frame().x, View(child)->frame().y), std::make_pair(15.0, 7.0));
  EXPECT_EQ(WindowFromPoint(POINT{5, 5}), nullptr);
  EXPECT_EQ(WindowFromPoint(POINT{150, 150}), top);

  SetFocus(child);
  EXPECT_EQ(GetForegroundWindow(), child);
  ShowWindow(child, SW_HIDE);
  EXPECT_EQ(GetFocus(), top);  // the focus went to the parent first
  EXPECT_FALSE(IsWindowVisible(child));

  auto* box = AddTo<winsys::Button>(top, 3);
  box->buttonType = winsys::Button::Switch;
  CheckDlgButton(top, 3, 2);
  EXPECT_EQ(IsDlgButtonChecked(top, 3), BST_INDETERMINATE);
  auto* label = AddTo<winsys::TextField>(top, 4);
  label->editable = label->bordered = label->drawsBackground = false;
  EnableWindow(SHIM_Handle(label), 0);
  EXPECT_EQ(label->textColor >> 24, 0x80u);
  EnableWindow(SHIM_Handle(label), 1);
  EXPECT_EQ(label->textColor >> 24, 0xFFu);

  auto* field = AddTo<winsys::TextField>(top, 5);
  field->beginEditing();
  HWND editor = SHIM_Handle(static_cast<winsys::ClipView*>(field->fieldEditor())->documentView());
  EXPECT_TRUE(IsEquivalentTextView(SHIM_Handle(field), editor));
  EXPECT_TRUE(IsEquivalentTextView(editor, SHIM_Handle(field)));
  EXPECT_FALSE(IsEquivalentTextView(top, editor));
}

}  // namespace
