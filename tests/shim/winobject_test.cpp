// The window object and message dispatch: destroy protocol, creation,
// WM_INITDIALOG focus, properties, extra data, radio groups, keys,
// SendMessage's control answers and DefWindowProc.
#include <cstring>
#include <string>

#include "recttest.h"
#include "support_windows.h"

namespace {

using W = WindowTest;

TEST_F(W, DestroyProtocolOrderAndLateMessages) {
  HWND a = TopLevel(100, 100, 300, 200);
  HWND b = TopLevel(500, 100, 100, 100);
  auto* aw = static_cast<ShimTopLevelWindow*>(View(a)->window());
  aw->shimAddOwnedWindow(View(b)->window());
  HWND c1 = Child(a, 0, 0, 10, 10), c2 = Child(a, 20, 0, 10, 10);
  Shim_vTavrin_hwnd* ah = SHIM_Hwnd(a);
  ah->retain();
  std::vector<int> statesSeen;
  rec.hook = [&](const Msg& m, LRESULT*) {
    if (m.msg == WM_DESTROY && m.w == a) {
      statesSeen.push_back(ah->destroyState());
      // Late messages during the destroy never reach the procedure.
      EXPECT_EQ(SendMessage(a, WM_DESTROY, 0, 0), 0);
      EXPECT_EQ(SendMessage(a, WM_CAPTURECHANGED, 0, 0), 0);
    }
    if (m.msg == WM_DESTROY && m.w == c2) statesSeen.push_back(ah->destroyState());
    return false;
  };
  DestroyWindow(a);
  std::vector<HWND> order;
  for (const Msg& m : rec.of(WM_DESTROY)) {
    order.push_back(m.w);
    if (m.w != a) {
      EXPECT_EQ(std::make_pair(m.wp, m.lp), std::make_pair(WPARAM(0), LPARAM(0)));
    }
  }
  EXPECT_EQ(order, std::vector<HWND>({a, b, c1, c2}));
  EXPECT_EQ(statesSeen, std::vector<int>({1, 1}));
  EXPECT_EQ(ah->destroyState(), 2);
  rec.clear();
  EXPECT_EQ(SendMessage(a, WM_DESTROY, 0, 0), 0);
  EXPECT_EQ(SendMessage(a, WM_CAPTURECHANGED, 0, 0), 0);
  EXPECT_EQ(SendMessage(a, WM_USER, 0, 0), 0);
  EXPECT_TRUE(rec.log.empty());
  ah->release();
  EXPECT_FALSE(IsWindow(a));
}

TEST_F(W, CreationWithoutResource) {
  rec.answer(WM_CREATE, 0);
  HWND h = SHIM_CreateWindowObject(nullptr, RecorderProc, 0x1234);
  Shim_vTavrin_hwnd* w = SHIM_Hwnd(h);
  ASSERT_TRUE(w);
  EXPECT_EQ(w->frame().w, 300);
  EXPECT_EQ(w->frame().h, 200);
  EXPECT_TRUE(w->isHidden() && w->isFlipped() && w->isOpaque());
  ASSERT_EQ(rec.of(WM_CREATE).size(), 1u);
  EXPECT_EQ(rec.of(WM_CREATE)[0].wp, 0u);
  EXPECT_EQ(rec.of(WM_CREATE)[0].lp, 0x1234);
  rec.hook = [](const Msg&, LRESULT*) -> bool { throw 1; };  // stops at the procedure's call
  EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0);
  rec.hook = nullptr;
  DestroyWindow(h);
  w->release();
}

// The first view accepting first responder is a scroll view's document.
void MakeScrolled(HWND w, int) {
  auto* host = winsys::lookup<winsys::View>(w);
  auto* plain = new winsys::View;
  host->addSubview(plain);
  plain->release();
  auto* sv = new winsys::ScrollView;
  auto* tv = new winsys::TextView;
  sv->setDocumentView(tv);
  tv->release();
  host->addSubview(sv);
  sv->release();
}

TEST_F(W, InitDialogFocus) {
  HWND top = TopLevel(0, 0, 400, 300);
  SHIM_DialogResourceIndex res{MAKEINTRESOURCE(7), nullptr, SHIM_DIALOG_CHILD | SHIM_DIALOG_FLIPPED, MakeScrolled,
                               200, 100, nullptr};
  for (LRESULT answer : {LRESULT(1), LRESULT(0xBEEF)}) {
    rec.clear();
    rec.answer(WM_INITDIALOG, answer);
    HWND d = SHIM_CreateDialog(&res, MAKEINTRESOURCE(7), top, RecorderDlgProc, 9);
    ASSERT_TRUE(d);
    auto init = rec.of(WM_INITDIALOG);
    ASSERT_EQ(init.size(), 1u);
    auto* sv = dynamic_cast<winsys::ScrollView*>(View(d)->subviews()[1]);
    EXPECT_EQ(init[0].wp, reinterpret_cast<WPARAM>(SHIM_Handle(sv->documentView())));
    EXPECT_EQ(init[0].lp, 9);
    EXPECT_EQ(View(top)->window()->firstResponder(), answer == 0xBEEF ? View(d) : sv->documentView());
    DestroyWindow(d);
  }
}

BOOL CountProps(HWND w, const char*, void*, LPARAM lp) {
  auto* n = reinterpret_cast<int*>(lp);
  ++*n;
  if (*n == 1) RemoveProp(w, "first");  // removed under the walk: freed after it
  return TRUE;
}

TEST_F(W, PropertiesAndExtraData) {
  HWND h = TopLevel(0, 0, 100, 100);
  const char* atom5 = reinterpret_cast<const char*>(5);
  char five[] = "5";
  EXPECT_TRUE(SetProp(h, atom5, reinterpret_cast<void*>(1)));
  EXPECT_TRUE(SetProp(h, "5", reinterpret_cast<void*>(2)));
  EXPECT_TRUE(SetProp(h, five, reinterpret_cast<void*>(3)));  // an equal text at another address replaces
  EXPECT_EQ(GetProp(h, atom5), reinterpret_cast<void*>(1));
  EXPECT_EQ(GetProp(h, "5"), reinterpret_cast<void*>(3));
  EXPECT_TRUE(SetProp(h, "first", reinterpret_cast<void*>(4)));
  int n = 0;
  EXPECT_EQ(EnumPropsEx(h, CountProps, reinterpret_cast<LPARAM>(&n)), 1);
  EXPECT_EQ(n, 3);  // newest first: the removed one was already passed
  EXPECT_EQ(RemoveProp(h, five), reinterpret_cast<void*>(3));
  EXPECT_EQ(GetProp(h, "5"), nullptr);
  EXPECT_EQ(EnumPropsEx(nullptr, CountProps, 0), -1);

  EXPECT_EQ(SetWindowLong(h, 4, 11), 0);
  EXPECT_EQ(GetWindowLong(h, 7), 11);  // offsets 4-7 share a slot
  for (int bad : {128, -100}) {
    EXPECT_EQ(SetWindowLong(h, bad, 5), 0);
    EXPECT_EQ(GetWindowLong(h, bad), 0);
  }
}

TEST_F(W, RadioGroupsStopAtGroupStarts) {
  HWND p = TopLevel(0, 0, 300, 100);
  auto* parent = SHIM_Hwnd(p);
  const int flags[] = {3, 1, 1, 3, 1};
  std::vector<Shim_vTavrin_button*> b;
  for (int i = 0; i < 5; ++i) {
    auto* r = new Shim_vTavrin_button;
    r->buttonType = winsys::Button::Radio;
    r->shimSetRadioFlags(flags[i]);
    r->state = 1;
    r->setTag(100 + i);
    r->action = [parent](winsys::View* s) { parent->onShimCommand(s); };
    parent->addSubview(r);
    r->release();
    b.push_back(r);
  }
  b[2]->performClick();
  std::vector<int> states;
  for (auto* r : b) states.push_back(r->state);
  EXPECT_EQ(states, std::vector<int>({0, 0, 1, 1, 1}));
  ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u);
  EXPECT_EQ(rec.of(WM_COMMAND)[0].wp, 102u);
}

TEST_F(W, KeysClimbWhileAnswered69) {
  HWND p = TopLevel(0, 0, 300, 100);
  HWND c = Child(p, 0, 0, 50, 50);
  View(p)->window()->makeFirstResponder(View(c));
  for (LRESULT answer : {LRESULT(69), LRESULT(0)}) {
    rec.clear();
    rec.answer(WM_KEYDOWN, answer, c);
    rec.answer(WM_KEYDOWN, 0, p);
    winsys::test::key(36);
    EXPECT_EQ(rec.of(WM_KEYDOWN, p).size(), answer == 69 ? 1u : 0u);
    EXPECT_EQ(rec.of(WM_KEYDOWN, c).at(0).wp, 36u);
  }
}

TEST_F(W, SendMessageControlAnswers) {
  EXPECT_EQ(SendMessage(nullptr, WM_USER, 1, 2), 0);
  HWND top = TopLevel(0, 0, 400, 300);
  auto add = [&](winsys::View* v) {
    View(top)->addSubview(v);
    v->release();
    return SHIM_Handle(v);
  };
  HWND check = add(new winsys::Button);
  EXPECT_EQ(SendMessage(check, BM_SETCHECK, 2, 0), 0);
  EXPECT_EQ(SendMessage(check, BM_GETCHECK, 0, 0), 2);
  auto* sb = new Shim_vTavrin_button;
  HWND img = add(sb);
  HBITMAP bmp = reinterpret_cast<HBITMAP>(GDP_OBJECT_NEW());
  bmp->type = SHIM_OBJ_BITMAP;
  EXPECT_EQ(SendMessage(img, BM_SETIMAGE, 2, reinterpret_cast<LPARAM>(bmp)), 0);
  EXPECT_EQ(sb->getShimGDIImage(), nullptr);
  EXPECT_EQ(SendMessage(img, BM_SETIMAGE, 0, reinterpret_cast<LPARAM>(bmp)), 0);
  EXPECT_EQ(SendMessage(img, BM_GETIMAGE, 0, 0), reinterpret_cast<LRESULT>(bmp));
  DeleteObject(bmp);

  auto* slider = new winsys::Slider;
  HWND s = add(slider);
  EXPECT_EQ(SendMessage(s, TBM_SETRANGE, 0, 100 << 16), 1);
  EXPECT_EQ(std::make_pair(slider->minValue, slider->maxValue), std::make_pair(0.0, 100.0));
  slider->maxValue = 1000;
  slider->setDoubleValue(499.5);
  EXPECT_EQ(SendMessage(s, TBM_GETPOS, 0, 0), 500);

  // EM_SETSEL on a field being edited ("hello"): -1 rules, then clamping.
  auto* field = new winsys::TextField;
  field->stringValue = "hello";
  HWND f = add(field);
  EXPECT_EQ(SendMessage(f, EM_SETSEL, 1, 2), 0);  // not edited: nothing
  field->beginEditing();
  struct Sel {
    intptr_t start, end;
    int wantStart, wantEnd;
  } sels[] = {{-1, 3, 0, 0}, {0, -1, 0, 5}, {2, -5, 2, 2}, {9, 1, 5, 5}, {1, 3, 1, 3}};
  for (const Sel& t : sels) {
    SendMessage(f, EM_SETSEL, static_cast<WPARAM>(t.start), t.end);
    int a = -7, e = -7;
    SendMessage(f, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ(std::make_pair(a, e), std::make_pair(t.wantStart, t.wantEnd)) << t.start << "," << t.end;
  }

  // A platform window passes a message to its content view.
  rec.clear();
  rec.answer(WM_USER + 9, 77);
  EXPECT_EQ(SendMessage(SHIM_Handle(View(top)->window()), WM_USER + 9, 0, 0), 77);
}

TEST_F(W, DefWindowProcHitTestContextMenuAndWheel) {
  HWND top = TopLevel(100, 100, 300, 200);
  HWND child = Child(top, 10, 20, 100, 50);
  HWND other = TopLevel(600, 100, 100, 100);
  // Flipped child: screen y runs 230 (lower edge) to 280 (upper edge); the
  // mirrored test takes the upper edge in and leaves the lower one out.
  for (auto [y, want] : {std::pair{279, 1}, std::pair{280, 1}, std::pair{230, 0}, std::pair{281, 0}})
    EXPECT_EQ(DefWindowProc(child, WM_NCHITTEST, 0, SHIM_PackPoint(150, y)), want) << y;

  rec.clear();
  EXPECT_EQ(DefWindowProc(top, WM_RBUTTONUP, 0, SHIM_PackPoint(15, 25)), 1);
  ASSERT_EQ(rec.of(WM_CONTEXTMENU, top).size(), 1u);
  EXPECT_EQ(rec.of(WM_CONTEXTMENU, top)[0].wp, reinterpret_cast<WPARAM>(child));
  rec.clear();
  EXPECT_EQ(DefWindowProc(top, WM_RBUTTONUP, 0, SHIM_PackPoint(550, 150)), 1);  // over the other window
  EXPECT_EQ(rec.of(WM_CONTEXTMENU, top).at(0).wp, reinterpret_cast<WPARAM>(top));
  (void)other;

  rec.clear();
  rec.answer(WM_MOUSEWHEEL, 5, top);
  EXPECT_EQ(DefWindowProc(child, WM_MOUSEWHEEL, 60 << 16, 0), 5);
  EXPECT_EQ(DefWindowProc(top, WM_MOUSEWHEEL, 60 << 16, 0), 0);
}

TEST_F(W, ControlNotifications) {
  HWND top = TopLevel(0, 0, 300, 200);
  Shim_vTavrin_hwnd* w = SHIM_Hwnd(top);
  auto add = [&](winsys::Control* c, int tag) {
    c->setTag(tag);
    w->addSubview(c);
    c->release();
    return c;
  };
  auto* combo = add(new winsys::ComboBox, 1);
  auto* field = add(new winsys::TextField, 2);
  auto* popup = add(new winsys::PopUpButton, 3);
  auto* slider = add(new winsys::Slider, 4);
  w->comboBoxWillPopUp(combo);
  w->comboBoxSelectionDidChange(combo);
  w->textDidEndEditing(combo);  // not for a combo box
  w->textDidEndEditing(field);
  w->controlTextDidChange(combo);
  w->controlTextDidChange(field);
  w->onShimCommand(popup);
  w->onShimCommand(field);
  winsys::Event dbl;
  dbl.type = winsys::EventType::LeftUp;
  dbl.clickCount = 2;
  winsys::app::performWithEvent(dbl, [&] { w->onShimCommand(field); });
  std::vector<WPARAM> codes;
  for (const Msg& m : rec.of(WM_COMMAND)) codes.push_back(m.wp);
  EXPECT_EQ(codes, std::vector<WPARAM>({0x70001, 0x10001, 0x3000002, 0x50001, 0x3000002, 0x10003, 0x2, 0x10002}));
  w->onShimCommand(slider);
  EXPECT_EQ(rec.of(WM_HSCROLL).at(0).lp, reinterpret_cast<LPARAM>(SHIM_Handle(slider)));
  EXPECT_EQ(w->window()->collectionBehavior, 36u);
}

// An element that is hit itself and ignores nothing.
class Element : public winsys::AccessibilityElement {};

TEST_F(W, AccessibilityThroughTheProcedure) {
  HWND top = TopLevel(0, 0, 300, 200);
  HWND child = Child(top, 0, 0, 50, 50);
  Shim_vTavrin_hwnd* w = SHIM_Hwnd(top);
  EXPECT_EQ(w->accessibilityChildren(winsys::View::Children::All), std::vector<winsys::Object*>({View(child)}));
  auto* e = new Element;
  rec.hook = [e](const Msg& m, LRESULT* r) {
    if (m.msg != WM_GETOBJECT) return false;
    *reinterpret_cast<void**>(m.lp) = e;
    *r = 1;
    return true;
  };
  EXPECT_EQ(w->accessibilityHitTest(winsys::Point{100, 100}), e);
  EXPECT_EQ(w->accessibilityFocusedElement(), w);  // the element names no other
  // The child has an element and no subviews: it is ignored, so only the
  // element is left.
  const auto kids = w->accessibilityChildren(winsys::View::Children::Visible);
  EXPECT_EQ(kids, std::vector<winsys::Object*>({e}));
  EXPECT_FALSE(w->accessibilityIsIgnored());
  EXPECT_TRUE(SHIM_Hwnd(child)->accessibilityIsIgnored());
  e->release();  // the cache keeps it
  EXPECT_EQ(w->accessibilityChildren(winsys::View::Children::Visible), kids);
  rec.hook = nullptr;
  EXPECT_EQ(w->accessibilityChildren(winsys::View::Children::Visible).size(), 1u);
}

}  // namespace
