#include "shim/winmenu.h"

#include <cstdlib>
#include <cstring>

#include "kit/utf8.h"
#include "shim/winkeys.h"
#include "shim/winwindow.h"

SHIM_MenuResourceIndex* SHIM_curmodule_menuresource_head = nullptr;

namespace {

Shim_vTavrin_menu* menuOf(HMENU m) { return winsys::lookup<Shim_vTavrin_menu>(m); }
HMENU handleOf(winsys::Menu* m) { return reinterpret_cast<HMENU>(static_cast<winsys::Object*>(m)); }

std::string titleFrom(const char* text) {
  std::string out;
  for (const char* p = text ? text : ""; *p && *p != '\t'; ++p) {
    if (*p == '&') {
      if (!*++p) break;
    }
    out.push_back(*p);
  }
  return out.substr(0, KIT_Utf8CutLength(out.c_str(), 1023));
}

void setSubmenu(SHIM_MenuItem& item, winsys::Menu* sub) {
  if (item.submenu == sub) return;
  if (item.submenu) item.submenu->release();
  item.submenu = sub;  // the caller's reference passes to the item
}

// The item of this menu (by position) or, by id, of this menu or the first
// submenu (depth first) that has it; *owner receives its menu.
SHIM_MenuItem* findItem(Shim_vTavrin_menu* m, int item, bool byPosition, Shim_vTavrin_menu** owner = nullptr) {
  if (!m) return nullptr;
  if (byPosition) {
    if (item < 0 || item >= static_cast<int>(m->items.size())) return nullptr;
    if (owner) *owner = m;
    return &m->items[static_cast<size_t>(item)];
  }
  for (SHIM_MenuItem& i : m->items)
    if (i.tag == item) {
      if (owner) *owner = m;
      return &i;
    }
  for (SHIM_MenuItem& i : m->items)
    if (SHIM_MenuItem* found = findItem(winsys::live(dynamic_cast<Shim_vTavrin_menu*>(i.submenu)), item, false, owner))
      return found;
  return nullptr;
}

void setTitle(SHIM_MenuItem& item, const std::string& title) {
  item.title = title;
  if (item.submenu) item.submenu->title = title;
}

void route(Shim_vTavrin_menu* m, winsys::Object* target, int depth = 0) {
  if (!m || depth > 64) return;
  for (SHIM_MenuItem& i : m->items) {
    if (i.tag != 0 || !target) i.target = target;
    route(winsys::live(dynamic_cast<Shim_vTavrin_menu*>(i.submenu)), target, depth + 1);
  }
}

Shim_vTavrin_menu* copyOf(const Shim_vTavrin_menu* m, int depth = 0) {
  auto* c = new Shim_vTavrin_menu;
  c->title = m->title;
  c->autoenables = m->autoenables;
  c->items = m->items;
  for (SHIM_MenuItem& i : c->items) {
    auto* sub = winsys::live(dynamic_cast<Shim_vTavrin_menu*>(i.submenu));
    i.submenu = sub && depth < 64 ? copyOf(sub, depth + 1) : nullptr;
    if (i.image) i.image = SHIM_CloneGDIObject(i.image);
  }
  return c;
}

Shim_vTavrin_hwnd* menuHolder(HWND w) {
  if (auto* v = SHIM_As<Shim_vTavrin_hwnd>(w)) return v;
  if (auto* win = SHIM_As<winsys::Window>(w)) return dynamic_cast<Shim_vTavrin_hwnd*>(win->contentView());
  return nullptr;
}

uint32_t keyCharacter(int code, int modifiers, bool* letter) {
  *letter = code >= 'A' && code <= 'Z';
  const bool plain = !(modifiers & 0x01);
  if (*letter || (code >= '0' && code <= '9') || (plain && code > 0 && std::strchr("!\"',./?[\\]|", code))) {
    uint32_t c = static_cast<uint32_t>(code) & 0x7F;
    if (!(modifiers & 0x04) && c >= 'A' && c <= 'Z') c += 32;
    return c;
  }
  if (code >= 112 && code <= 123) return static_cast<uint32_t>(code + 0xF694);
  static const struct {
    int code;
    uint32_t ch;
  } table[] = {{8, 8},       {33, 0xF72C}, {34, 0xF72D}, {35, 0xF72B}, {36, 0xF729}, {37, 0xF702},
               {38, 0xF700}, {39, 0xF703}, {40, 0xF701}, {45, 0xF727}, {46, 0x7F},   {109, '-'}};
  for (const auto& t : table)
    if (t.code == code) return t.ch;
  return 0;
}

int itemCommand(Shim_vTavrin_menu* m, const std::string& path, HWND notify, std::string* error);

}  // namespace

Shim_vTavrin_menu::~Shim_vTavrin_menu() {
  for (SHIM_MenuItem& i : items) {
    if (i.submenu) i.submenu->release();
    if (i.image) DeleteObject(i.image);
  }
}

HMENU CreatePopupMenu() { return handleOf(new Shim_vTavrin_menu); }

HMENU CreatePopupMenuEx(const char* title) {
  HMENU m = CreatePopupMenu();
  if (title) menuOf(m)->title = titleFrom(title);
  return m;
}

void DestroyMenu(HMENU menu) {
  if (!winsys::lookup<winsys::Menu>(menu)) return;
  SHIM_SetMenuDestination(menu, nullptr);
  SHIM_ReleaseMenu(menu);
}

HMENU SHIM_DuplicateMenu(HMENU menu) {
  Shim_vTavrin_menu* m = menuOf(menu);
  return m ? handleOf(copyOf(m)) : nullptr;
}

HMENU SHIM_LoadMenu(SHIM_MenuResourceIndex* head, uintptr_t resid) {
  for (SHIM_MenuResourceIndex* r = head; r; r = r->next) {
    if (r->resid != resid) continue;
    HMENU m = CreatePopupMenu();
    if (r->createFunc) r->createFunc(m);
    return m;
  }
  return nullptr;
}

void InsertMenuItem(HMENU menu, int pos, bool byPosition, const MENUITEMINFO* info) {
  Shim_vTavrin_menu* m = menuOf(menu);
  if (!m || !info) return;
  const int count = static_cast<int>(m->items.size());
  if (!byPosition) {
    int at = -1;
    for (int i = 0; i < count; ++i)
      if (m->items[static_cast<size_t>(i)].tag == pos) {
        at = i;
        break;
      }
    pos = at;
  }
  if (pos < 0 || pos > count) pos = count;
  SHIM_MenuItem item;
  if (info->fType == MFT_BITMAP) {
    HGDIOBJ img = reinterpret_cast<HGDIOBJ>(info->dwTypeData);
    if (GetNSImageFromHICON(img)) item.image = SHIM_CloneGDIObject(img);
  } else if (info->fType == MFT_STRING) {
    item.title = info->dwTypeData ? titleFrom(info->dwTypeData) : "(null)";
  } else {
    item.separator = true;
  }
  if ((info->fMask & MIIM_SUBMENU) && winsys::lookup<winsys::Menu>(info->hSubMenu)) {
    auto* sub = winsys::lookup<winsys::Menu>(info->hSubMenu);
    if (info->fType == MFT_STRING) sub->title = item.title;
    item.submenu = sub;
  }
  if (count == 0) m->autoenables = false;
  if (info->fMask & MIIM_STATE) {
    item.enabled = !(info->fState & MFS_GRAYED);
    item.checked = (info->fState & MFS_CHECKED) != 0;
  }
  if (info->fMask & MIIM_DATA) item.hasData = true, item.data = info->dwItemData;
  if (info->fMask & MIIM_ID) item.tag = static_cast<int>(info->wID);
  if (!m->items.empty() && winsys::isLive(m->items[0].target)) item.target = m->items[0].target;
  m->items.insert(m->items.begin() + pos, item);
}

BOOL SHIM_InsertMenu(HMENU menu, int pos, UINT flags, uintptr_t id, const char* text) {
  MENUITEMINFO info{sizeof(MENUITEMINFO), MIIM_ID | MIIM_STATE | MIIM_TYPE, MFT_STRING, flags & ~MF_BYPOSITION,
                    static_cast<UINT>(id), nullptr, nullptr, nullptr, 0, const_cast<char*>(text), 0};
  if (flags & MF_POPUP) {
    info.wID = 0;
    info.hSubMenu = reinterpret_cast<HMENU>(id);
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE | MIIM_SUBMENU;
    info.fState = flags & ~(MF_BYPOSITION | MF_POPUP);
  }
  if (flags & MF_SEPARATOR) {
    info.fMask = MIIM_TYPE;
    info.fType = MFT_SEPARATOR;
    info.fState = flags & ~0xC00u;
  }
  if (flags & MF_BITMAP) {
    info.fType = MFT_BITMAP;
    info.fState &= ~MF_BITMAP;
  }
  InsertMenuItem(menu, pos, (flags & MF_BYPOSITION) != 0, &info);
  return menuOf(menu) ? TRUE : FALSE;
}

int AddMenuItem(HMENU menu, int pos, const char* text, int id) {
  Shim_vTavrin_menu* m = menuOf(menu);
  if (!m) return -1;
  SHIM_MenuItem item;
  item.title = text ? text : "";
  item.tag = id;
  const int count = static_cast<int>(m->items.size());
  m->items.insert(m->items.begin() + (pos < 0 || pos > count ? count : pos), item);
  return 0;
}

void SHIM_Menu_AddMenuItem(HMENU menu, const char* text, int id, int flags) {
  MENUITEMINFO info{sizeof(MENUITEMINFO), MIIM_ID | MIIM_STATE | MIIM_TYPE, MFT_STRING, flags ? MFS_GRAYED : 0u,
                    static_cast<UINT>(id), nullptr, nullptr, nullptr, 0, const_cast<char*>(text), 0};
  if (!text) info.fMask = MIIM_TYPE, info.fType = MFT_SEPARATOR;
  InsertMenuItem(menu, -1, true, &info);
}

int SHIM_GenerateMenuFromList(HMENU menu, const SHIM_MenuListRecord* records, int count) {
  if (!records) return 0;
  int i = 0;
  for (; i < count; ++i) {
    const SHIM_MenuListRecord& r = records[i];
    MENUITEMINFO info{sizeof(MENUITEMINFO), MIIM_TYPE, MFT_SEPARATOR, 0, static_cast<UINT>(-1), nullptr,
                      nullptr, nullptr, 0, nullptr, 0};
    if (r.text && std::strcmp(r.text, "EN%%%^:") == 0) return i + 1;
    if (r.text && std::strncmp(r.text, "/.BO^O:", 7) == 0) {
      HMENU sub = CreatePopupMenuEx(r.text + 7);
      i += SHIM_GenerateMenuFromList(sub, records + i + 1, count - (i + 1));
      info.fMask = MIIM_STATE | MIIM_TYPE | MIIM_SUBMENU;
      info.fType = MFT_STRING;
      info.hSubMenu = sub;
      info.dwTypeData = const_cast<char*>(r.text + 7);
      if (!menuOf(menu)) DestroyMenu(sub);
    } else if (r.text) {
      info.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
      info.fType = MFT_STRING;
      info.fState = r.word >= 0x10000 ? UINT{MFS_GRAYED} : 0u;
      info.wID = r.word & 0xFFFF;
      info.dwTypeData = const_cast<char*>(r.text);
    }
    InsertMenuItem(menu, -1, true, &info);
  }
  return i + 1;
}

BOOL GetMenuItemInfo(HMENU menu, int pos, bool byPosition, MENUITEMINFO* info) {
  SHIM_MenuItem* item = findItem(menuOf(menu), pos, byPosition);
  if (!item || !info) return FALSE;
  if (info->fMask & MIIM_TYPE) {
    info->fType = item->separator ? MFT_SEPARATOR : MFT_STRING;
    if (!item->separator && info->dwTypeData && info->cch) KIT_CopyField(info->dwTypeData, info->cch, item->title.c_str());
  }
  if (info->fMask & MIIM_DATA) info->dwItemData = item->hasData ? item->data : 0;
  if (info->fMask & MIIM_STATE) info->fState = (item->checked ? UINT{MFS_CHECKED} : 0u) | (item->enabled ? 0u : UINT{MFS_GRAYED});
  if (info->fMask & MIIM_ID) info->wID = static_cast<UINT>(item->tag);
  if ((info->fMask & MIIM_SUBMENU) && item->submenu) info->hSubMenu = handleOf(item->submenu);
  return TRUE;
}

BOOL SetMenuItemInfo(HMENU menu, int pos, bool byPosition, const MENUITEMINFO* info) {
  SHIM_MenuItem* item = findItem(menuOf(menu), pos, byPosition);
  if (!item || !info) return FALSE;
  if (info->fMask & MIIM_SUBMENU)
    if (auto* sub = winsys::lookup<winsys::Menu>(info->hSubMenu)) setSubmenu(*item, sub);
  if ((info->fMask & MIIM_TYPE) && info->fType == MFT_STRING && info->dwTypeData)
    setTitle(*item, titleFrom(info->dwTypeData));
  if (info->fMask & MIIM_STATE) {
    item->checked = (info->fState & MFS_CHECKED) != 0;
    item->enabled = !(info->fState & MFS_GRAYED);
  }
  if (info->fMask & MIIM_ID) item->tag = static_cast<int>(info->wID);
  if (info->fMask & MIIM_DATA) item->hasData = true, item->data = info->dwItemData;
  return TRUE;
}

SHIM_MenuItem* SHIM_MenuItemAt(HMENU menu, int item, UINT flags) {
  return findItem(menuOf(menu), item, (flags & MF_BYPOSITION) != 0);
}

BOOL CheckMenuItem(HMENU menu, int item, UINT flags) {
  SHIM_MenuItem* i = SHIM_MenuItemAt(menu, item, flags);
  if (!i) return FALSE;
  i->checked = (flags & MF_CHECKED) != 0;
  return TRUE;
}

BOOL EnableMenuItem(HMENU menu, int item, UINT flags) {
  SHIM_MenuItem* i = SHIM_MenuItemAt(menu, item, flags);
  if (!i) return FALSE;
  i->enabled = !(flags & MF_GRAYED);
  return TRUE;
}

BOOL SetMenuItemText(HMENU menu, int item, UINT flags, const char* text) {
  SHIM_MenuItem* i = SHIM_MenuItemAt(menu, item, flags);
  if (!i) return FALSE;
  setTitle(*i, titleFrom(text));
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, int item, UINT flags) {
  Shim_vTavrin_menu* owner = nullptr;
  SHIM_MenuItem* i = findItem(menuOf(menu), item, (flags & MF_BYPOSITION) != 0, &owner);
  if (!i) return FALSE;
  if (i->submenu) {
    SHIM_SetMenuDestination(handleOf(i->submenu), nullptr);
    i->submenu->release();
  }
  if (i->image) DeleteObject(i->image);
  owner->items.erase(owner->items.begin() + (i - owner->items.data()));
  return TRUE;
}

BOOL SetMenuItemModifier(HMENU menu, int item, UINT flags, int code, int modifiers) {
  SHIM_MenuItem* i = SHIM_MenuItemAt(menu, item, flags);
  if (!i) return FALSE;
  bool letter = false;
  i->keyEquivalent = keyCharacter(code, modifiers, &letter);
  unsigned mask = 0;
  if (modifiers & 0x10) mask |= winsys::kOptionKey;
  if (modifiers & 0x08) mask |= winsys::kCommandKey;
  if (modifiers & 0x20) mask |= winsys::kControlKey;
  if ((modifiers & 0x04) && !letter) mask |= winsys::kShiftKey;
  i->keyModifiers = mask;
  return TRUE;
}

HMENU GetSubMenu(HMENU menu, int pos) {
  SHIM_MenuItem* i = findItem(menuOf(menu), pos, true);
  return i && winsys::isLive(i->submenu) ? handleOf(i->submenu) : nullptr;
}

int GetMenuItemCount(HMENU menu) {
  Shim_vTavrin_menu* m = menuOf(menu);
  return m ? static_cast<int>(m->items.size()) : 0;
}

int GetMenuItemID(HMENU menu, int pos) {
  SHIM_MenuItem* i = findItem(menuOf(menu), pos, true);
  if (!i) return 0;
  return i->submenu ? -1 : i->tag;
}

// ---- Routing, popups and the application menu ----

void SHIM_SetMenuDestination(HMENU menu, HWND window) {
  auto* m = winsys::lookup<winsys::Menu>(menu);
  if (!m) return;
  winsys::Object* target = nullptr;
  if (window) {
    target = SHIM_As<Shim_vTavrin_hwnd>(window);
    if (!target) return;  // cannot take commands
  }
  m->destination = target;
  route(dynamic_cast<Shim_vTavrin_menu*>(m), target);
}

void SHIM_ReleaseMenu(HMENU menu) {
  if (auto* m = winsys::lookup<winsys::Menu>(menu)) m->release();
}

namespace {

std::vector<std::string> linesOf(const Shim_vTavrin_menu* m) {
  std::vector<std::string> lines;
  for (const SHIM_MenuItem& i : m->items) lines.push_back(i.separator ? "-" : i.title);
  return lines;
}

// Follows a scripted path ("1/0", "File/Open"); 0 with *error set when it
// names nothing that can be chosen.
int itemCommand(Shim_vTavrin_menu* m, const std::string& path, HWND notify, std::string* error) {
  winsys::Ref<Shim_vTavrin_menu> hold(m);
  size_t start = 0;
  for (int depth = 0; m && depth < 64; ++depth) {
    const size_t slash = path.find('/', start);
    const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    SHIM_MenuItem* item = nullptr;
    const bool index = !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
    if (index && part.size() < 9 && std::stoul(part) < m->items.size()) item = &m->items[std::stoul(part)];
    for (SHIM_MenuItem& i : m->items)
      if (!index && !item && !i.separator && i.title == part) item = &i;
    if (!item || item->separator || !item->enabled) {
      *error = "no item to choose at \"" + part + "\"";
      return 0;
    }
    if (slash == std::string::npos) {
      if (item->submenu) {
        *error = "\"" + part + "\" opens a submenu";
        return 0;
      }
      return item->tag;
    }
    auto* sub = winsys::live(dynamic_cast<Shim_vTavrin_menu*>(item->submenu));
    if (!sub) break;
    if (notify) SendMessage(notify, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(handleOf(sub)), 0);
    route(sub, m->destination);
    m = winsys::live(sub);
    hold = winsys::Ref<Shim_vTavrin_menu>(m);
    start = slash + 1;
  }
  *error = "no submenu on the way to \"" + path + "\"";
  return 0;
}

}  // namespace

int TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND window, const RECT*) {
  Shim_vTavrin_menu* m = menuOf(menu);
  if (!m) return 0;
  winsys::Ref<Shim_vTavrin_menu> hold(m);
  winsys::View* view = SHIM_As<winsys::View>(window);
  if (!view)
    if (auto* w = window ? SHIM_As<winsys::Window>(window) : winsys::app::mainWindow()) view = w->contentView();
  if (!view) return 0;
  const HWND notify = (flags & TPM_NONOTIFY) ? nullptr : (SHIM_As<Shim_vTavrin_hwnd>(window) ? window : nullptr);
  SHIM_SetMenuDestination(menu, notify);
  if (notify) {
    SendMessage(notify, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    SHIM_SetMenuDestination(menu, notify);
  }
  winsys::app::PromptRecord rec;
  rec.kind = "menu";
  rec.title = m->title;
  rec.lines = linesOf(m);
  rec.at = winsys::Point{static_cast<double>(x), static_cast<double>(y)};
  const size_t at = winsys::app::runPrompt(rec);
  const std::vector<std::string> answer = winsys::app::promptRecord(at).answer;
  int command = 0;
  if (!answer.empty() && winsys::isLive(m)) {
    std::string error;
    command = itemCommand(m, answer[0], notify, &error);
    winsys::app::promptRecord(at).scriptError = error;
  }
  if (winsys::isLive(m)) SHIM_SetMenuDestination(menu, nullptr);
  if (command <= 0) return 0;
  if (flags & TPM_RETURNCMD) return command;
  if (notify && IsWindow(notify)) SendMessage(notify, WM_COMMAND, static_cast<WPARAM>(command), 0);
  return 1;
}

BOOL SetMenu(HWND window, HMENU menu) {
  Shim_vTavrin_hwnd* holder = menuHolder(window);
  if (!holder || winsys::app::isTerminating()) return FALSE;
  holder->shimSetMenu(menu);
  winsys::Window* win = holder->window();
  auto* m = winsys::lookup<winsys::Menu>(menu);
  if (win && win == winsys::app::keyWindow() && win->contentView() == holder && winsys::app::mainMenu() != m) {
    winsys::app::setMainMenu(m);
    if (m) SendMessage(SHIM_Handle(holder), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  }
  return TRUE;
}

HMENU GetMenu(HWND window) {
  Shim_vTavrin_hwnd* holder = menuHolder(window);
  return holder ? holder->shimGetMenu() : nullptr;
}

HMENU SHIM_GetCurrentMenu() {
  winsys::Menu* m = winsys::app::mainMenu();
  return m ? handleOf(m) : nullptr;
}

void SHIM_SetCurrentMenu(HMENU menu) {
  if (auto* m = winsys::lookup<winsys::Menu>(menu); m && !winsys::app::isTerminating()) winsys::app::setMainMenu(m);
}

void DrawMenuBar(HWND) {}
