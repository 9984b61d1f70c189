#pragma once
// Menus: an HMENU is a menu object of the window system (looked up in its
// registry before use); an item has a title, a command id (its tag), enabled
// and checked states, an optional submenu (the item holds it), an optional
// image, a key equivalent and boxed data. Popup menus run as prompts of the
// window system (answered by its script, see winsys/testapi.h).
//
// Titles set from text drop each '&' (taking the next character literally),
// end at the first tab and keep at most 1023 bytes, cut at a character
// boundary.
//
// Threads: main thread only (no locks).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/winsys/winsys.h"
#include "shim/wingdi.h"
#include "shim/winuser.h"

struct MENUITEMINFO {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  HBITMAP hbmpChecked;
  HBITMAP hbmpUnchecked;
  uintptr_t dwItemData;
  char* dwTypeData;
  UINT cch;
};

enum : UINT {
  MIIM_ID = 0x01, MIIM_STATE = 0x02, MIIM_TYPE = 0x04, MIIM_SUBMENU = 0x08, MIIM_DATA = 0x10,
  MFT_STRING = 0, MFT_BITMAP = 4, MFT_SEPARATOR = 0x800,
  MFS_CHECKED = 0x08, MFS_GRAYED = 0x03,
  MF_BYCOMMAND = 0, MF_GRAYED = 0x01, MF_BITMAP = 0x04, MF_CHECKED = 0x08, MF_POPUP = 0x10,
  MF_BYPOSITION = 0x400, MF_SEPARATOR = 0x800,
  TPM_NONOTIFY = 0x80, TPM_RETURNCMD = 0x100,
};

struct SHIM_MenuItem {
  std::string title;
  int tag = 0;
  bool enabled = true, checked = false, separator = false;
  winsys::Menu* submenu = nullptr;  // retained
  HBITMAP image = nullptr;
  uint32_t keyEquivalent = 0;       // a character, 0 for none
  unsigned keyModifiers = 0;        // the window system's modifier bits
  bool hasData = false;
  uintptr_t data = 0;
  winsys::Object* target = nullptr; // checked with isLive before use
};

class Shim_vTavrin_menu : public winsys::Menu {
 public:
  ~Shim_vTavrin_menu() override;
  std::vector<SHIM_MenuItem> items;
  bool autoenables = false;
};

struct SHIM_MenuResourceIndex {
  uintptr_t resid;
  void (*createFunc)(HMENU);
  SHIM_MenuResourceIndex* next;
};
extern SHIM_MenuResourceIndex* SHIM_curmodule_menuresource_head;

// Records of SHIM_GenerateMenuFromList: a null text is a separator,
// "EN%%%^:" ends a submenu, "/.BO^O:<title>" opens one; any other text is a
// command with the id in the word's low 16 bits, disabled from 0x10000 up.
struct SHIM_MenuListRecord {
  const char* text;
  uint32_t word;
};

HMENU CreatePopupMenu();
HMENU CreatePopupMenuEx(const char* title);
void DestroyMenu(HMENU menu);
// A copy with copies of the submenus.
HMENU SHIM_DuplicateMenu(HMENU menu);
HMENU SHIM_LoadMenu(SHIM_MenuResourceIndex* head, uintptr_t resid);

void InsertMenuItem(HMENU menu, int pos, bool byPosition, const MENUITEMINFO* info);
BOOL SHIM_InsertMenu(HMENU menu, int pos, UINT flags, uintptr_t id, const char* text);
int AddMenuItem(HMENU menu, int pos, const char* text, int id);
void SHIM_Menu_AddMenuItem(HMENU menu, const char* text, int id, int flags);
int SHIM_GenerateMenuFromList(HMENU menu, const SHIM_MenuListRecord* records, int count);
BOOL GetMenuItemInfo(HMENU menu, int pos, bool byPosition, MENUITEMINFO* info);
BOOL SetMenuItemInfo(HMENU menu, int pos, bool byPosition, const MENUITEMINFO* info);
BOOL CheckMenuItem(HMENU menu, int item, UINT flags);
BOOL EnableMenuItem(HMENU menu, int item, UINT flags);
BOOL SetMenuItemText(HMENU menu, int item, UINT flags, const char* text);
BOOL DeleteMenu(HMENU menu, int item, UINT flags);
// The key equivalent of a virtual key (modifiers: 0x01 virtual key, 0x04
// shift, 0x08 control, 0x10 alt, 0x20 the second control key).
BOOL SetMenuItemModifier(HMENU menu, int item, UINT flags, int code, int modifiers);
HMENU GetSubMenu(HMENU menu, int pos);
int GetMenuItemCount(HMENU menu);
int GetMenuItemID(HMENU menu, int pos);
// The item an id or position names (for tests), or null.
SHIM_MenuItem* SHIM_MenuItemAt(HMENU menu, int item, UINT flags);

void SHIM_SetMenuDestination(HMENU menu, HWND window);
void SHIM_ReleaseMenu(HMENU menu);
int TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND window, const RECT* rect);
BOOL SetMenu(HWND window, HMENU menu);
HMENU GetMenu(HWND window);
HMENU SHIM_GetCurrentMenu();
void SHIM_SetCurrentMenu(HMENU menu);
void DrawMenuBar(HWND window);
