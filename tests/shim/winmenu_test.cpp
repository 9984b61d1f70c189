#include "shim/winmenu.h"

#include "support_windows.h"

namespace {

using Menus = WindowTest;

TEST_F(Menus, ItemsTitlesAndAddressing) {
  HMENU m = CreatePopupMenu(), sub = CreatePopupMenuEx("Sub");
  SHIM_InsertMenu(m, -1, MF_BYPOSITION, 10, "&Open\tCtrl+O");
  SHIM_InsertMenu(m, 99, 0, 11, "Save && &Quit");  // by an id no item has: appended
  SHIM_InsertMenu(m, -1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  SHIM_InsertMenu(m, -1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<uintptr_t>(sub), "More");
  SHIM_Menu_AddMenuItem(sub, "Deep", 20, 0);
  ASSERT_EQ(GetMenuItemCount(m), 4);
  EXPECT_EQ(SHIM_MenuItemAt(m, 0, MF_BYPOSITION)->title, "Open");
  EXPECT_EQ(SHIM_MenuItemAt(m, 1, MF_BYPOSITION)->title, "Save & Quit");
  EXPECT_EQ(GetMenuItemID(m, 3), -1);
  EXPECT_EQ(GetMenuItemID(m, 9), 0);
  EXPECT_EQ(GetSubMenu(m, 3), sub);
  EXPECT_EQ(EnableMenuItem(m, 20, 0x02), TRUE);  // found in the submenu; 0x02 alone does not disable
  EXPECT_TRUE(SHIM_MenuItemAt(m, 20, 0)->enabled);
  EnableMenuItem(m, 20, MF_GRAYED);
  CheckMenuItem(m, 10, MF_CHECKED);
  char text[4];
  MENUITEMINFO info{sizeof info, MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_DATA, 0, 0, 0, nullptr, nullptr,
                    nullptr, 7, text, sizeof text};
  EXPECT_EQ(GetMenuItemInfo(m, 0, true, &info), TRUE);
  EXPECT_STREQ(text, "Ope");
  EXPECT_EQ(info.fState, UINT{MFS_CHECKED});
  EXPECT_EQ(info.wID, 10u);
  EXPECT_EQ(info.dwItemData, 0u);
  EXPECT_EQ(GetMenuItemInfo(m, 20, false, &info), TRUE);
  EXPECT_EQ(info.fState, UINT{MFS_GRAYED});
  HMENU copy = SHIM_DuplicateMenu(m);
  EXPECT_NE(GetSubMenu(copy, 3), sub);  // submenus are copied too
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(copy, 3)), 1);
  EXPECT_EQ(DeleteMenu(m, 3, MF_BYPOSITION), TRUE);
  EXPECT_EQ(DeleteMenu(m, 5, MF_BYPOSITION), FALSE);
  EXPECT_EQ(GetMenuItemCount(m), 3);
  DestroyMenu(m);
  EXPECT_EQ(GetMenuItemCount(m), 0);  // a destroyed menu is refused
  EXPECT_EQ(CheckMenuItem(m, 10, 0), FALSE);
  EXPECT_EQ(SHIM_InsertMenu(m, 0, 0, 1, "x"), FALSE);
  DestroyMenu(copy);
}

TEST_F(Menus, KeyEquivalents) {
  HMENU m = CreatePopupMenu();
  SHIM_Menu_AddMenuItem(m, "k", 1, 0);
  struct Case {
    int code, mods;
    uint32_t key;
    unsigned mask;
  } cases[] = {
      {46, 0x01, 0x7F, 0},  {46, 0x00, '.', 0},   {'S', 0x04 | 0x08, 'S', winsys::kCommandKey},
      {'S', 0x08, 's', winsys::kCommandKey},      {'1', 0x04, '1', winsys::kShiftKey},
      {112, 0x10, 0xF704, winsys::kOptionKey},   {123, 0x20, 0xF70F, winsys::kControlKey},
      {200, 0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetMenuItemModifier(m, 1, 0, c.code, c.mods), TRUE);
    EXPECT_EQ(SHIM_MenuItemAt(m, 1, 0)->keyEquivalent, c.key) << c.code;
    EXPECT_EQ(SHIM_MenuItemAt(m, 1, 0)->keyModifiers, c.mask) << c.code;
  }
  DestroyMenu(m);
}

TEST_F(Menus, ListsStopAtTheirCount) {
  const SHIM_MenuListRecord list[] = {
      {"/.BO^O:Sub", 0}, {"One", 1}, {"Two", 0x10002}, {"EN%%%^:", 0}, {nullptr, 0}, {"Three", 3}, {"never", 9}};
  HMENU m = CreatePopupMenu();
  EXPECT_EQ(SHIM_GenerateMenuFromList(m, list, 4), 5);  // the count ran out: one more than walked
  ASSERT_EQ(GetMenuItemCount(m), 1);
  HMENU sub = GetSubMenu(m, 0);
  ASSERT_EQ(GetMenuItemCount(sub), 2);
  EXPECT_FALSE(SHIM_MenuItemAt(sub, 2, 0)->enabled);
  DestroyMenu(m);
  m = CreatePopupMenu();
  EXPECT_EQ(SHIM_GenerateMenuFromList(m, list, 6), 7);
  EXPECT_EQ(GetMenuItemCount(m), 3);  // submenu, separator, Three
  DestroyMenu(m);
}

TEST_F(Menus, ScriptedPopupsNotifyThenCommand) {
  HWND w = TopLevel(0, 0, 200, 200);
  HMENU m = CreatePopupMenu(), sub = CreatePopupMenuEx("Sub");
  SHIM_Menu_AddMenuItem(m, "A", 1, 0);
  SHIM_Menu_AddMenuItem(m, nullptr, 0, 0);
  SHIM_InsertMenu(m, -1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<uintptr_t>(sub), "Sub");
  SHIM_Menu_AddMenuItem(sub, "Deep", 42, 0);
  SHIM_Menu_AddMenuItem(sub, "Off", 43, 1);
  winsys::test::answerPrompt({"Sub/Deep"});
  EXPECT_EQ(TrackPopupMenu(m, 0, 10, 20, 0, w, nullptr), 1);
  const std::vector<UINT> want = {WM_INITMENUPOPUP, WM_INITMENUPOPUP, WM_COMMAND};
  EXPECT_EQ(rec.messages(w, want), want);
  ASSERT_EQ(rec.of(WM_INITMENUPOPUP, w).size(), 2u);
  EXPECT_EQ(rec.of(WM_INITMENUPOPUP, w)[0].wp, reinterpret_cast<WPARAM>(m));
  EXPECT_EQ(rec.of(WM_INITMENUPOPUP, w)[1].wp, reinterpret_cast<WPARAM>(sub));
  EXPECT_EQ(rec.of(WM_COMMAND, w)[0].wp, 42u);
  EXPECT_EQ(rec.of(WM_COMMAND, w)[0].lp, 0);
  const auto& first = winsys::test::prompts()[0];
  EXPECT_EQ(first.lines, (std::vector<std::string>{"A", "-", "Sub"}));
  EXPECT_EQ(first.at.y, 20);
  rec.clear();
  winsys::test::answerPrompt({"0"});
  EXPECT_EQ(TrackPopupMenu(m, TPM_RETURNCMD, 0, 0, 0, w, nullptr), 1);  // the command itself
  EXPECT_EQ(rec.of(WM_COMMAND, w).size(), 0u);
  for (const char* bad : {"1", "2", "2/1", "Nothing"}) {
    winsys::test::answerPrompt({bad});
    EXPECT_EQ(TrackPopupMenu(m, TPM_RETURNCMD, 0, 0, 0, w, nullptr), 0) << bad;
    EXPECT_FALSE(winsys::test::prompts().back().scriptError.empty()) << bad;
  }
  EXPECT_EQ(TrackPopupMenu(m, 0, 0, 0, 0, w, nullptr), 0);  // no answer: dismissed
  EXPECT_EQ(SetMenu(w, m), TRUE);
  EXPECT_EQ(GetMenu(w), m);
  EXPECT_EQ(SetMenu(nullptr, m), FALSE);
}

}  // namespace
