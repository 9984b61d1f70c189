// Controls by class name, custom creators and dialog generation (with the
// bank-name dialog run modally), tabs, progress bars, owner-drawn buttons
// and the focus rectangle.
#include <cstring>
#include <array>
#include <deque>
#include <string>

#include "shim/winctlclass.h"
#include "support_windows.h"

namespace {

class Makers : public WindowTest {
 protected:
  HWND top = nullptr;
  std::vector<int> notifyCodes;
  void SetUp() override {
    WindowTest::SetUp();
    top = TopLevel(100, 100, 500, 400);
    SHIM_MakeSetCurParms(1, 1, 0, 0, top, false, false);
    rec.hook = [this](const Msg& m, LRESULT*) {
      if (m.msg == WM_NOTIFY) notifyCodes.push_back(reinterpret_cast<const NMHDR*>(m.lp)->code);
      if (m.msg == WM_DRAWITEM) drawType = reinterpret_cast<const DRAWITEMSTRUCT*>(m.lp)->CtlType;
      return false;
    };
  }
  uint32_t drawType = 0;
  HWND Make(const char* cls, int style, int id = 5) { return SHIM_MakeControl("&Text", id, cls, style, 10, 10, 80, 20, 0); }
};

HWND gCreated = nullptr;
int gCreatorCalls = 0;
HWND NullCreator(HWND, const char*, int, const char*, int, int, int, int, int) {
  ++gCreatorCalls;
  return nullptr;
}
HWND ButtonCreator(HWND parent, const char* text, int id, const char* cls, int, int x, int y, int w, int h) {
  ++gCreatorCalls;
  if (std::strcmp(cls, "Mine") != 0) return nullptr;
  HWND made = SHIM_CreateWindowObject(parent, RecorderProc, 0);
  SetWindowPos(made, nullptr, x, y, w, h, SWP_NOZORDER);
  return gCreated = made;
}

TEST_F(Makers, ClassNamesAndButtonKinds) {
  EXPECT_TRUE(SHIM_As<Shim_vTavrin_button>(Make("button", 0)));
  EXPECT_TRUE(SHIM_As<Shim_vTavrin_textfield>(Make("EDIT", 0)));
  EXPECT_TRUE(SHIM_As<Shim_vTavrin_textfield>(Make("Static", 0)));
  const size_t before = View(top)->subviews().size();
  EXPECT_EQ(Make("NoSuchClass", 0), nullptr);
  EXPECT_EQ(Make(nullptr, 0), nullptr);
  EXPECT_EQ(View(top)->subviews().size(), before);
  EXPECT_TRUE(SHIM_IsGroupBox(Make("Button", 0x30000000)));
  EXPECT_EQ(View(top)->window()->defaultButton, View(Make("Button", 0x10000000)));
  struct {
    int style, type, radio;
    bool mixed;
  } const kinds[] = {{2, winsys::Button::Push, 0, false},      {9, winsys::Button::Radio, 1, false},
                     {9 | 0x20000, winsys::Button::Radio, 3, false}, {3, winsys::Button::Switch, 0, false},
                     {6, winsys::Button::Switch, 0, true}};
  for (const auto& k : kinds) {
    auto* b = SHIM_As<Shim_vTavrin_button>(Make("Button", k.style));
    ASSERT_TRUE(b) << k.style;
    EXPECT_EQ(std::make_tuple(b->buttonType, b->shimGetRadioFlags(), b->allowsMixedState, b->title),
              std::make_tuple(k.type, k.radio, k.mixed, std::string("Text")))
        << k.style;
  }
  Make("Button", 11);
  View(top)->window()->display();
  EXPECT_EQ(drawType, ODT_BUTTON);
  auto* hidden = SHIM_As<winsys::Control>(Make("static", 4));
  EXPECT_TRUE(hidden->isHidden());
  EXPECT_FALSE(SHIM_As<winsys::Control>(Make("static", 0xC))->wraps);
  EXPECT_EQ(SHIM_As<winsys::Control>(Make("static", 1))->alignment, winsys::Control::Centered);
  auto* fader = SHIM_As<winsys::Slider>(Make("shim_HFADER", 0));
  auto* track = SHIM_As<winsys::Slider>(Make("msctls_trackbar32", 0));
  ASSERT_TRUE(fader && track);
  EXPECT_EQ(std::make_tuple(fader->maxValue, fader->controlSize, track->controlSize), std::make_tuple(1000.0, 0, 2));
}

TEST_F(Makers, CustomCreatorsAreAskedFirst) {
  gCreatorCalls = 0;
  SHIM_RegisterCustomControlCreator(NullCreator);
  SHIM_RegisterCustomControlCreator(ButtonCreator);
  SHIM_RegisterCustomControlCreator(NullCreator);
  SHIM_RegisterCustomControlCreator(nullptr);
  EXPECT_TRUE(SHIM_As<Shim_vTavrin_button>(Make("Button", 0)));  // asked, null: the built-in class
  EXPECT_EQ(gCreatorCalls, 2);
  HWND mine = SHIM_MakeControl("t", 7, "Mine", 0, 10, 10, 80, 20, WS_EX_ACCEPTFILES);
  EXPECT_EQ(mine, gCreated);
  EXPECT_EQ(GetWindowLong(mine, GWL_EXSTYLE), static_cast<LPARAM>(WS_EX_ACCEPTFILES));
  SHIM_UnregisterCustomControlCreator(NullCreator);  // registered twice: stays
  gCreatorCalls = 0;
  Make("Mine", 0);
  EXPECT_EQ(gCreatorCalls, 2);
  SHIM_UnregisterCustomControlCreator(NullCreator);
  SHIM_UnregisterCustomControlCreator(ButtonCreator);
  gCreatorCalls = 0;
  EXPECT_EQ(Make("Mine", 0), nullptr);
  EXPECT_EQ(gCreatorCalls, 0);
}

TEST_F(Makers, DialogListsDispatchMarkersAndClassForms) {
  const SHIM_DialogControlRecord list[] = {
      {{"__SHIM_CHECKBOX", 0, "Check", 11, 0, 0, 50, 10, 0}},
      {{"__shim_checkbox", 12, "Button", 0, 0, 20, 50, 10, 0}},  // the wrong case takes the class form
      {{"x", 13, "", 0, 0, 40, 50, 10, 0}},                      // empty class: skipped
      {{"__SHIM_LISTBOX", 0, "", 14, 0, 60, 50, 50, 0}},
      {{"__SHIM_COMBO", 0, "", 15, 0, 120, 50, 10, 3}},
      {{"__SHIM_GROUP", 0, "G", 16, 0, 140, 50, 10, 0}},
      {{"Tabs", 17, "SysTabControl32", 0, 100, 0, 100, 50, 0}},
      {{"", 18, "msctls_progress32", 0, 100, 60, 100, 10, 0}},
  };
  SHIM_GenerateDialogFromList(nullptr, 3);
  SHIM_GenerateDialogFromList(list, 0);
  EXPECT_EQ(GetDlgItem(top, 11), nullptr);
  SHIM_GenerateDialogFromList(list, 8);
  EXPECT_EQ(SHIM_As<winsys::Button>(GetDlgItem(top, 11))->buttonType, winsys::Button::Switch);
  EXPECT_EQ(SHIM_As<winsys::Button>(GetDlgItem(top, 12))->title, "__shim_checkbox");
  EXPECT_EQ(GetDlgItem(top, 13), nullptr);
  EXPECT_TRUE(SHIM_As<Shim_vTavrin_listview>(GetDlgItem(top, 14)));
  EXPECT_TRUE(SHIM_As<Shim_vTavrin_pub>(GetDlgItem(top, 15)));
  EXPECT_TRUE(SHIM_IsGroupBox(GetDlgItem(top, 16)));
  EXPECT_TRUE(SHIM_As<Shim_vTavrin_tabview>(GetDlgItem(top, 17)));
  EXPECT_TRUE(SHIM_As<Shim_vTavrin_progind>(GetDlgItem(top, 18)));
}

TEST_F(Makers, TabsProgressAndFocusRectangle) {
  HWND tabs = Make("SysTabControl32", 0, 17);
  winsys::Rect f = View(tabs)->frame();
  EXPECT_EQ(std::make_tuple(f.y, f.h), std::make_tuple(9.0, 26.0));
  TCITEM it{};
  it.mask = TCIF_TEXT;
  it.pszText = const_cast<char*>("one");
  EXPECT_EQ(TabCtrl_InsertItem(tabs, 0, &it), 0);
  EXPECT_TRUE(notifyCodes.empty());  // the first tab sends nothing
  it.pszText = const_cast<char*>("two");
  EXPECT_EQ(TabCtrl_InsertItem(tabs, 99, &it), 1);
  EXPECT_EQ(TabCtrl_InsertItem(tabs, -5, &it), 0);
  it.pszText = nullptr;
  EXPECT_EQ(TabCtrl_InsertItem(tabs, 0, &it), -1);
  EXPECT_EQ(TabCtrl_InsertItem(tabs, 0, nullptr), -1);
  EXPECT_EQ(TabCtrl_InsertItem(top, 0, &it), -1);
  EXPECT_EQ(TabCtrl_GetCurSel(tabs), 1);  // the first tab moved along
  EXPECT_EQ(TabCtrl_SetCurSel(tabs, 3), 1);
  EXPECT_TRUE(notifyCodes.empty());
  EXPECT_EQ(TabCtrl_SetCurSel(tabs, 0), 1);
  EXPECT_EQ(notifyCodes, std::vector<int>({TCN_SELCHANGE}));
  EXPECT_EQ(TabCtrl_SetCurSel(top, 0), -1);
  EXPECT_EQ(TabCtrl_DeleteItem(tabs, 3), 0);
  EXPECT_EQ(TabCtrl_DeleteItem(tabs, 2), 1);
  EXPECT_EQ(TabCtrl_GetItemCount(tabs), 2);
  // A click on the second tab is reported as a call is.
  auto* tv = SHIM_As<winsys::TabView>(tabs);
  const winsys::Rect second = tv->tabRect(1);
  winsys::test::click(tv->convertToScreen(winsys::Point{second.x + 2, 5}));
  EXPECT_EQ(TabCtrl_GetCurSel(tabs), 1);
  EXPECT_EQ(notifyCodes.size(), 2u);
  RECT r{0, 0, 100, 100};
  TabCtrl_AdjustRect(tabs, 0, &r);
  EXPECT_EQ(std::make_tuple(r.left, r.top, r.right, r.bottom), std::make_tuple(7, 26, 93, 97));
  r = RECT{0, 0, 100, 100};
  TabCtrl_AdjustRect(tabs, 1, &r);
  EXPECT_EQ(std::make_tuple(r.left, r.top, r.right, r.bottom), std::make_tuple(-7, -26, 107, 103));
  EXPECT_EQ(TabCtrl_AdjustRect(tabs, 1, nullptr), 0);

  auto* p = SHIM_As<winsys::ProgressIndicator>(Make("msctls_progress32", 0));
  SendMessage(SHIM_Handle(p), PBM_SETRANGE, 0, 100 << 16);
  SendMessage(SHIM_Handle(p), PBM_SETPOS, 40, 0);
  SendMessage(SHIM_Handle(p), PBM_DELTAPOS, 5, 0);
  EXPECT_EQ(std::make_tuple(p->minValue, p->maxValue, p->doubleValue), std::make_tuple(0.0, 100.0, 45.0));

  HWND slot = nullptr;
  RECT fr{10, 40, 50, 20};  // bottom above top: swapped
  SHIM_DrawFocusRect(top, &fr, &slot);
  auto* fw = SHIM_As<winsys::Window>(slot);
  ASSERT_TRUE(fw);
  EXPECT_EQ(fw->parentWindow(), View(top)->window());
  EXPECT_EQ(std::make_pair(fw->frame().w, fw->frame().h), std::make_pair(40.0, 20.0));
  fr.right = 90;
  SHIM_DrawFocusRect(top, &fr, &slot);
  EXPECT_EQ(SHIM_As<winsys::Window>(slot), fw);
  EXPECT_EQ(fw->frame().w, 80);
  SHIM_DrawFocusRect(reinterpret_cast<HWND>(0x1234), &fr, &slot);  // foreign: nothing
  EXPECT_EQ(SHIM_As<winsys::Window>(slot), fw);
  SHIM_DrawFocusRect(top, nullptr, &slot);
  EXPECT_EQ(slot, nullptr);
  SHIM_DrawFocusRect(top, &fr, nullptr);
}

// ---- The bank-name dialog ----

const int kName = 10013, kMakeOK = 10006;
std::string gName;

INT_PTR BankProc(HWND w, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_COMMAND && LOWORD(wp) == kMakeOK) {
    char buf[64];
    GetDlgItemText(w, kName, buf, sizeof buf);
    gName = buf;
    EndDialog(w, kMakeOK);
  }
  return msg == WM_INITDIALOG;
}

const SHIM_DialogControlRecord kBankList[] = {
    {{"__SHIM_LABEL", -1, "Bank name:", 0, 10, 10, 200, 8, 0}},
    {{"__SHIM_EDIT", 0, "", kName, 10, 20, 200, 12, 0x10000}},
    {{"__SHIM_BUTTON", 0, "&Cancel", IDCANCEL, 160, 60, 50, 14, 0}},
    {{"__SHIM_BUTTON", 1, "&OK    ", kMakeOK, 100, 60, 50, 14, 0}},
};

void MakeBankDialog(HWND w, int) {
  SHIM_MakeSetCurParms(1.8f, 1.8f, 0, 0, w, false, false);
  SHIM_GenerateDialogFromList(kBankList, 4);
}

class MakeScript : public SHIM_DialogScript {
 public:
  bool NextDialogCommand(Command* c) override {
    if (commands.empty()) return false;
    *c = commands.front();
    commands.pop_front();
    return true;
  }
  std::deque<Command> commands;
};

TEST_F(Makers, BankNameDialogFramesAndRun) {
  SHIM_DialogResourceIndex res{"BANK", "Enter Bank Name", 12, MakeBankDialog, 396, 144, nullptr};
  HWND d = SHIM_CreateDialog(&res, "BANK", nullptr, BankProc, 0);
  ASSERT_TRUE(d);
  const std::pair<int, std::array<double, 4>> frames[] = {
      {0, {18, 18, 360, 14}}, {kName, {18, 36, 360, 22}}, {IDCANCEL, {288, 108, 90, 25}}, {kMakeOK, {180, 108, 90, 25}}};
  for (const auto& [id, want] : frames) {
    winsys::View* v = nullptr;
    for (winsys::View* s : View(d)->subviews())
      if (s->tag() == id) v = s;
    ASSERT_TRUE(v) << id;
    const std::array<double, 4> got{v->frame().x, v->frame().y, v->frame().w, v->frame().h};
    EXPECT_EQ(got, want) << id;
  }
  EXPECT_FALSE(SHIM_As<winsys::Control>(GetDlgItem(d, kName))->wraps);
  EXPECT_EQ(SHIM_As<winsys::Button>(GetDlgItem(d, kMakeOK))->title, "OK    ");
  EXPECT_EQ(SHIM_As<winsys::Button>(GetDlgItem(d, IDCANCEL))->title, "Cancel");
  DestroyWindow(d);

  MakeScript script;
  SHIM_DialogScript::Command c;
  c.id = kMakeOK;
  c.editTexts = {{kName, "Savings"}};
  script.commands.push_back(c);
  SHIM_InstallDialogScript(&script);
  gName.clear();
  EXPECT_EQ(SHIM_DialogBox(&res, "BANK", nullptr, BankProc, 0), kMakeOK);
  SHIM_RemoveDialogScript(&script);
  EXPECT_EQ(gName, "Savings");
}

}  // namespace
