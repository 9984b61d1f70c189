// Top-level windows: modeless windows and modal dialog boxes around a
// window object, their owned windows, the messages they send their content
// view, window levels and looks, and the application's mouse hook.
#include <algorithm>
#include <cmath>

#include "shim/winwindow.h"

using winsys::Ref;

bool SHIM_owned_windows_levelincrease = false;
winsys::Window* last_key_window = nullptr;

namespace {

HMENU g_defaultMenu = nullptr;
HMENU g_defaultMenuModal = nullptr;

winsys::Window* windowFor(HWND h) {
  winsys::Object* o = SHIM_Obj(h);
  if (auto* w = dynamic_cast<winsys::Window*>(o)) return w;
  if (auto* v = dynamic_cast<winsys::View*>(o)) return v->window();
  return nullptr;
}

// The top-level window a parent handle names for ownership: a top-level
// window itself, or the window of a view.
ShimTopLevelWindow* ownerOf(winsys::Object* parent) {
  if (auto* t = dynamic_cast<ShimTopLevelWindow*>(parent)) return t;
  if (auto* v = dynamic_cast<winsys::View*>(parent)) return dynamic_cast<ShimTopLevelWindow*>(v->window());
  return nullptr;
}

// The content origin for a new window: 50 in from the parent's left edge and
// 100 below its upper edge, or the same on the work area.
winsys::Rect placement(winsys::Object* parent, double w, double h) {
  RECT r{};
  if (parent && (dynamic_cast<winsys::View*>(parent) || dynamic_cast<winsys::Window*>(parent)))
    GetWindowRect(SHIM_Handle(parent), &r);
  else
    SHIM_GetViewPort(&r, nullptr, true);
  return winsys::Rect{r.left + 50.0, r.bottom - 100.0 - h, w, h};
}

void setUp(winsys::Window* w) {
  w->releasedWhenClosed = true;
  updateWindowCollection(w);
}

}  // namespace

HMENU SHIM_GetDefaultWindowMenu() { return winsys::lookup<winsys::Menu>(g_defaultMenu) ? g_defaultMenu : nullptr; }
void SHIM_SetDefaultWindowMenu(HMENU m) { g_defaultMenu = m; }
HMENU SHIM_GetDefaultModalWindowMenu() {
  return winsys::lookup<winsys::Menu>(g_defaultMenuModal) ? g_defaultMenuModal : nullptr;
}
void SHIM_SetDefaultModalWindowMenu(HMENU m) { g_defaultMenuModal = m; }

// ---- Creation ----

ShimTopLevelWindow::ShimTopLevelWindow(const winsys::Rect& r, unsigned style, Kind kind)
    : winsys::Window(r, style, kind) {
  setUp(this);
}

ShimTopLevelWindow::~ShimTopLevelWindow() { shimDoDestroyStuff(); }

Shim_vTavrin_modelesswindow* SHIM_InitModeless(const SHIM_DialogResourceIndex* res, winsys::Object* parent,
                                              DLGPROC proc, LPARAM param, HWND* out, unsigned style) {
  const double w = res ? res->width : 10, h = res ? res->height : 10;
  if (res) style |= 7 | ((res->windowTypeFlags & SHIM_DIALOG_RESIZABLE) ? 8 : 0);
  auto* win = new Shim_vTavrin_modelesswindow(placement(parent, w, h), style);
  Ref<winsys::Window> hold(win);
  if (res && res->title) SetDlgItemText(SHIM_Handle(win), 0, res->title);
  if (ShimTopLevelWindow* owner = ownerOf(parent)) owner->shimAddOwnedWindow(win);
  auto* content = new Shim_vTavrin_hwnd;
  content->initChild(res, win, proc, param);
  content->setShimCreateWindowFlags(style);
  if (out) *out = SHIM_Handle(content);
  content->release();
  win->display();
  return win;
}

Shim_vTavrin_modelesswindow* SHIM_CreateModelessFrameForWindow(winsys::View* child, winsys::Object* owner,
                                                              unsigned style) {
  const double w = child ? child->bounds().w : 0, h = child ? child->bounds().h : 0;
  auto* win = new Shim_vTavrin_modelesswindow(placement(owner, w, h), style);
  if (ShimTopLevelWindow* o = ownerOf(owner)) o->shimAddOwnedWindow(win);
  if (child) win->setContentView(child);
  return win;
}

Shim_vTavrin_dialogbox* SHIM_InitDialogBox(const SHIM_DialogResourceIndex* res, winsys::Object* parent,
                                          DLGPROC proc, LPARAM param) {
  if (!res) return nullptr;
  const unsigned style = 3 | ((res->windowTypeFlags & SHIM_DIALOG_RESIZABLE) ? 8 : 0);
  auto* box = new Shim_vTavrin_dialogbox(winsys::Rect{0, 0, static_cast<double>(res->width),
                                                      static_cast<double>(res->height)},
                                         style);
  Ref<winsys::Window> hold(box);
  if (ShimTopLevelWindow* owner = ownerOf(parent)) owner->shimAddOwnedWindow(box);
  if (res->title) SetDlgItemText(SHIM_Handle(box), 0, res->title);
  auto* content = new Shim_vTavrin_hwnd;
  content->initChild(res, box, proc, param);
  content->setShimCreateWindowFlags(style);
  content->setHidden(false);
  content->release();
  box->hidesOnDeactivate = false;
  box->display();
  return box;
}

// ---- Messages to the content view ----

LRESULT ShimTopLevelWindow::toContent(UINT msg, WPARAM wp, LPARAM lp) {
  winsys::View* c = contentView();
  if (!c || !SHIM_Entry(c)) return 0;
  return SHIM_DeliverMessage(c, msg, wp, lp);
}

void ShimTopLevelWindow::setFrame(const winsys::Rect& r, bool display) {
  Ref<winsys::Window> hold(this);
  winsys::Window::setFrame(r, display);
  const double w = std::trunc(frame().w), h = std::trunc(frame().h);
  if (w == m_lastFrameSize.w && h == m_lastFrameSize.h) return;
  toContent(WM_SIZE, 0, 0);
  if (contentView() && contentView()->isOpaque()) InvalidateRect(SHIM_Handle(contentView()), nullptr, 0);
  m_lastFrameSize = winsys::Size{w, h};
}

void ShimTopLevelWindow::windowDidMove() {
  toContent(WM_MOVE, 0, SHIM_PackPoint(static_cast<int>(frame().x), static_cast<int>(frame().y)));
}

void ShimTopLevelWindow::resignKeyWindow() {
  if (winsys::app::isTerminating()) return;
  toContent(WM_ACTIVATE, 0, 0);
  last_key_window = this;
}

HMENU ShimTopLevelWindow::defaultMenu() const { return SHIM_GetDefaultWindowMenu(); }

HMENU Shim_vTavrin_dialogbox::defaultMenu() const {
  HMENU m = SHIM_GetDefaultModalWindowMenu();
  return m ? m : SHIM_GetDefaultWindowMenu();
}

void ShimTopLevelWindow::becomeKeyWindow() {
  if (winsys::app::isTerminating()) return;
  Ref<winsys::Window> hold(this);
  HWND prev = nullptr;
  winsys::Window* last = winsys::live(last_key_window);
  if (last && IsWindow(SHIM_Handle(last)) && last->contentView()) {
    auto* pc = dynamic_cast<Shim_vTavrin_hwnd*>(last->contentView());
    if (!pc || !pc->shimHasBeenDestroyed()) prev = SHIM_Handle(last->contentView());
  }
  auto* content = dynamic_cast<Shim_vTavrin_hwnd*>(contentView());
  if (content && content->shimHasBeenDestroyed()) return;
  HMENU menu = content ? content->shimGetMenu() : nullptr;
  if (!menu) menu = defaultMenu();
  if (auto* m = winsys::lookup<winsys::Menu>(menu); m && winsys::app::mainMenu() != m) winsys::app::setMainMenu(m);
  toContent(WM_ACTIVATE, 1, reinterpret_cast<LPARAM>(prev));
  toContent(WM_MOUSEACTIVATE, 0, 0);
}

bool ShimTopLevelWindow::windowShouldClose() {
  Ref<winsys::Window> hold(this);
  if (toContent(WM_CLOSE, 0, 0) == 0) toContent(WM_COMMAND, IDCANCEL, 0);
  return false;
}

bool ShimTopLevelWindow::canBecomeKeyWindow() { return m_enabled && !winsys::app::isTerminating(); }

bool ShimTopLevelWindow::accessibilityIsIgnored() const {
  return !(styleMask() & winsys::kTitled) && (!contentView() || contentView()->subviews().empty());
}

winsys::Size ShimTopLevelWindow::minSize() {
  MINMAXINFO mmi{};
  mmi.ptMinTrackSize = POINT{static_cast<int>(minSizeLimit.w), static_cast<int>(minSizeLimit.h)};
  toContent(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  return winsys::Size{static_cast<double>(mmi.ptMinTrackSize.x), static_cast<double>(mmi.ptMinTrackSize.y)};
}

winsys::Size ShimTopLevelWindow::maxSize() {
  const double lim = 1000000;
  MINMAXINFO mmi{};
  mmi.ptMaxTrackSize = POINT{static_cast<int>(std::clamp(maxSizeLimit.w, 1.0, lim)),
                             static_cast<int>(std::clamp(maxSizeLimit.h, 1.0, lim))};
  toContent(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  return winsys::Size{mmi.ptMaxTrackSize.x < lim ? mmi.ptMaxTrackSize.x : maxSizeLimit.w,
                      mmi.ptMaxTrackSize.y < lim ? mmi.ptMaxTrackSize.y : maxSizeLimit.h};
}

// ---- Owned windows ----

winsys::Window* ShimTopLevelWindow::shimGetOwner() const {
  return winsys::live(m_owner);
}

void ShimTopLevelWindow::shimAddOwnedWindow(winsys::Window* w) {
  if (!w || std::find(m_ownedwnds.begin(), m_ownedwnds.end(), w) != m_ownedwnds.end()) return;
  m_ownedwnds.insert(m_ownedwnds.begin(), w);
  auto* t = dynamic_cast<ShimTopLevelWindow*>(w);
  if (t) t->shimSetOwner(this);
  if (SHIM_owned_windows_levelincrease && winsys::app::isActive()) w->level = level + 1 + (t ? t->wantRaiseAmount() : 0);
}

void ShimTopLevelWindow::shimRemoveOwnedWindow(winsys::Window* w) {
  m_ownedwnds.erase(std::remove(m_ownedwnds.begin(), m_ownedwnds.end(), w), m_ownedwnds.end());
}

void ShimTopLevelWindow::shimResetOwnedWindowLevels() {
  if (!SHIM_owned_windows_levelincrease) return;
  const std::vector<winsys::Window*> list = m_ownedwnds;
  for (winsys::Window* w : list) {
    if (!winsys::live(w)) continue;
    auto* t = dynamic_cast<ShimTopLevelWindow*>(w);
    w->level = winsys::app::isActive() ? level + 1 + (t ? t->wantRaiseAmount() : 0) : level;
    if (t) t->shimResetOwnedWindowLevels();
  }
}

void ShimTopLevelWindow::shimDestroyAllOwnedWindows() {
  std::vector<winsys::Window*> list;
  list.swap(m_ownedwnds);
  for (winsys::Window* w : list)
    if (winsys::live(w)) DestroyWindow(SHIM_Handle(w));
}

void ShimTopLevelWindow::shimDoDestroyStuff() {
  if (last_key_window == this) last_key_window = nullptr;
  shimDestroyAllOwnedWindows();
  if (last_key_window == this) last_key_window = nullptr;
  if (auto* o = dynamic_cast<ShimTopLevelWindow*>(shimGetOwner())) {
    o->shimRemoveOwnedWindow(this);
    if (isKeyWindow()) o->makeKeyWindow();
  }
  m_owner = nullptr;
}

// ---- Levels and looks ----

int SHIM_GetWindowWantRaiseAmt(HWND h) {
  auto* m = dynamic_cast<Shim_vTavrin_modelesswindow*>(windowFor(h));
  return m ? m->m_wantraiseamt : 0;
}

void SHIM_SetWindowWantRaiseAmt(HWND h, int amount) {
  auto* m = dynamic_cast<Shim_vTavrin_modelesswindow*>(windowFor(h));
  if (!m) return;
  const int old = m->m_wantraiseamt;
  m->m_wantraiseamt = amount;
  if (amount != old && winsys::app::isActive()) m->level += amount - old;
}

int SHIM_SetWindowLevel(HWND h, int level) {
  winsys::Window* w = windowFor(h);
  if (!w) return 0;
  const int old = w->level;
  w->level = level;
  return old;
}

void SetOpaque(HWND h, bool opaque) {
  if (Shim_vTavrin_hwnd* hw = SHIM_Hwnd(h)) hw->setOpaque(opaque);
}

void SetTransparent(HWND h) {
  if (winsys::Window* w = windowFor(h)) w->isOpaqueWindow = false;
}

void SHIM_SetWindowShadow(HWND h, bool on) {
  if (winsys::Window* w = windowFor(h)) w->hasShadow = on;
}

int SHIM_GetDefaultButtonID(HWND h, int onlyIfEnabled) {
  winsys::Window* w = windowFor(h);
  auto* b = w ? winsys::lookup<winsys::Control>(w->defaultButton) : nullptr;
  if (!b || b->window() != w) return 0;
  if (onlyIfEnabled == 1 && !b->isEnabled()) return 0;
  return b->tag();
}

void SHIM_SetWindowRepre(HWND h, const char* fileName, bool edited) {
  winsys::Window* w = windowFor(h);
  if (!w) return;
  if (w->contentView() && GetProp(SHIM_Handle(w->contentView()), "SHIM_DisableWindowRepre")) return;
  w->documentEdited = edited;
  w->representedFilename = fileName ? fileName : "";
}

// ---- Mouse hook ----

int SHIM_HandleMouseEvent(const void* platformEvent) {
  const auto* e = static_cast<const winsys::Event*>(platformEvent);
  if (!e || GetCapture()) return 0;
  const int type = static_cast<int>(e->type);
  if (type < 1 || type > 7) return 0;
  winsys::Window* w = winsys::lookup<winsys::Window>(e->window);
  winsys::View* content = w ? w->contentView() : nullptr;
  if (!content) return 0;
  Ref<winsys::Window> hold(w);
  winsys::View* hit = content->hitTest(e->location);
  if (!hit) return 0;
  const winsys::Point s = e->screenLocation();
  const LPARAM packed = SHIM_PackPoint(static_cast<int>(std::floor(s.x)), static_cast<int>(std::floor(s.y)));
  // The chain from the hit view up to the content view, held: procedures
  // answer the hit tests.
  std::vector<Ref<winsys::View>> chain;
  for (winsys::View* v = hit; v; v = v->superview()) {
    chain.emplace_back(v);
    if (v == content) break;
  }
  winsys::View* target = nullptr;
  for (auto& v : chain) {
    if (!SHIM_Entry(v.get())) continue;
    const LRESULT a = SHIM_DeliverMessage(v.get(), WM_NCHITTEST, 0, packed);
    if (a != 0 && a != 1) target = v.get();
  }
  if (!target) return 0;
  switch (e->type) {
    case winsys::EventType::LeftDown: target->mouseDown(*e); break;
    case winsys::EventType::LeftUp: target->mouseUp(*e); break;
    case winsys::EventType::RightDown: target->rightMouseDown(*e); break;
    case winsys::EventType::RightUp: target->rightMouseUp(*e); break;
    case winsys::EventType::Moved: target->mouseMoved(*e); break;
    case winsys::EventType::LeftDragged: target->mouseDragged(*e); break;
    default: target->rightMouseDragged(*e); break;
  }
  return 1;
}
