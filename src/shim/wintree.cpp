// The window tree and geometry: walks, reparenting, showing, destroying,
// rectangles, point conversion, hit testing, placement and screens.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "shim/winseam.h"
#include "shim/winwindow.h"

using winsys::Ref;

namespace {

int toInt(double v) { return static_cast<int>(v + 0.5); }

winsys::View* treeViewOf(HWND h) { return SHIM_As<winsys::View>(h); }
winsys::Window* windowOf(HWND h) { return SHIM_As<winsys::Window>(h); }

// A platform window stands for its content view; views stay.
winsys::View* asView(HWND h) {
  if (winsys::Window* w = windowOf(h)) return w->contentView();
  return treeViewOf(h);
}

// The scroll container rule: a view inside a clip view of a scroll view is
// represented by the scroll view.
winsys::View* representing(winsys::View* v) {
  if (!v) return nullptr;
  winsys::View* clip = v->superview();
  if (clip && dynamic_cast<winsys::ClipView*>(clip) && dynamic_cast<winsys::ScrollView*>(clip->superview()))
    return clip->superview();
  return v;
}

RECT rectOf(const winsys::Rect& r) {
  return RECT{toInt(r.x), toInt(r.y), toInt(r.x + r.w), toInt(r.y + r.h)};
}

// The window's owner as a handle: a platform window gives its content view.
HWND ownerHandle(winsys::Window* w) {
  auto* tl = dynamic_cast<ShimTopLevelWindow*>(w);
  winsys::Window* o = tl ? tl->shimGetOwner() : nullptr;
  if (!o) return nullptr;
  return o->contentView() ? SHIM_Handle(o->contentView()) : nullptr;
}

bool walkChildren(winsys::View* v, WNDENUMPROC proc, LPARAM param) {
  std::vector<Ref<winsys::View>> subs;
  for (winsys::View* s : v->subviews()) subs.emplace_back(s);
  for (auto& s : subs) {
    BOOL go = FALSE;
    try {
      go = proc(SHIM_Handle(s.get()), param);
    } catch (...) {
    }
    if (!go) return false;
    if (!walkChildren(s.get(), proc, param)) return false;
  }
  return true;
}

bool isWindowImpl(const winsys::View* v, const winsys::View* root) {
  for (const winsys::View* s : root->subviews())
    if (s == v) return true;
  for (const winsys::View* s : root->subviews())
    if (isWindowImpl(v, s)) return true;
  return false;
}

// Saves the text of a view for a move between windows.
std::string savedText(HWND h) {
  char buf[2048];
  if (!GetDlgItemText(h, 0, buf, sizeof(buf))) return "";
  return buf;
}

}  // namespace

HWND SHIM_NavigateUpScrollClipViews(HWND w) {
  winsys::View* v = treeViewOf(w);
  return v ? SHIM_Handle(representing(v)) : nullptr;
}

HWND GetParent(HWND h) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return nullptr;
  winsys::Window* win = dynamic_cast<winsys::Window*>(o);
  if (auto* v = dynamic_cast<winsys::View*>(o)) {
    winsys::View* r = representing(v);
    if (!SHIM_IsContentView(r)) return r->superview() ? SHIM_Handle(r->superview()) : nullptr;
    win = r->window();
  }
  if (!win) return nullptr;
  if (winsys::Window* p = win->parentWindow())
    if (p->contentView()) return SHIM_Handle(p->contentView());
  return ownerHandle(win);
}

HWND GetDlgItem(HWND h, int id) {
  winsys::View* v = asView(h);
  if (!v) return nullptr;
  if (id == 0) return SHIM_Handle(v);
  for (winsys::View* s : v->subviews()) {
    if (s->tag() == id) return SHIM_Handle(s);
    if (auto* sv = dynamic_cast<winsys::ScrollView*>(s))
      if (sv->documentView() && sv->documentView()->tag() == id) return SHIM_Handle(sv->documentView());
    if (auto* cv = dynamic_cast<winsys::ClipView*>(s))
      if (cv->documentView() && cv->documentView()->tag() == id) return SHIM_Handle(cv->documentView());
  }
  return nullptr;
}

HWND GetWindow(HWND h, int rel) {
  winsys::View* v = asView(h);
  if (!v) return nullptr;
  if (rel == GW_CHILD) return v->subviews().empty() ? nullptr : SHIM_Handle(v->subviews().front());
  if (rel < GW_HWNDFIRST || rel > GW_OWNER) return nullptr;
  winsys::View* r = representing(v);
  if (SHIM_IsContentView(r)) {
    if (rel == GW_OWNER) return ownerHandle(r->window());
    return (rel == GW_HWNDFIRST || rel == GW_HWNDLAST) ? h : nullptr;
  }
  if (rel == GW_OWNER) return r->superview() ? SHIM_Handle(r->superview()) : nullptr;
  winsys::View* sup = r->superview();
  if (!sup || sup->subviews().empty()) return nullptr;
  const auto& sibs = sup->subviews();
  if (rel == GW_HWNDFIRST) return SHIM_Handle(sibs.front());
  if (rel == GW_HWNDLAST) return SHIM_Handle(sibs.back());
  const int i = sup->indexOf(r);
  if (i < 0) return nullptr;
  const int j = rel == GW_HWNDNEXT ? i + 1 : i - 1;
  if (j < 0 || j >= static_cast<int>(sibs.size())) return nullptr;
  return SHIM_Handle(sibs[static_cast<size_t>(j)]);
}

HWND SetParent(HWND h, HWND parent) {
  winsys::View* v = treeViewOf(h);
  if (!v) return nullptr;
  Ref<winsys::View> hold(v);
  winsys::Object* po = SHIM_Obj(parent);
  if (SHIM_IsContentView(v)) {
    if (!po) return nullptr;
    winsys::View* np = dynamic_cast<winsys::Window*>(po) ? static_cast<winsys::Window*>(po)->contentView()
                                                         : dynamic_cast<winsys::View*>(po);
    if (!np || np->isDescendantOf(v)) return nullptr;
    const std::string text = savedText(h);
    winsys::Window* old = v->window();
    Ref<winsys::Window> holdOld(old);
    auto* tl = dynamic_cast<ShimTopLevelWindow*>(old);
    if (auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(v)) hw->m_lastTopLevelOwner = tl ? tl->shimGetOwner() : nullptr;
    auto* blank = new Shim_vTavrin_hwnd;
    blank->initChild(nullptr, old, nullptr, 0);
    blank->release();
    np->addSubview(v);
    DestroyWindow(SHIM_Handle(old));
    if (!text.empty()) SetDlgItemText(h, 0, text.c_str());
    return SHIM_Handle(np);
  }
  winsys::View* r = representing(v);
  Ref<winsys::View> holdR(r);
  if (!po) {
    const std::string text = savedText(h);
    r->removeFromSuperview();
    auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(v);
    unsigned flags = hw ? hw->shimCreateWindowFlags() : 0;
    if (!flags) flags = 0xF;
    winsys::Window* owner = nullptr;
    if (hw && hw->m_lastTopLevelOwner && winsys::isLive(hw->m_lastTopLevelOwner))
      for (winsys::Window* w : winsys::app::windows())
        if (w == hw->m_lastTopLevelOwner || w->contentView() == hw->m_lastTopLevelOwner) {
          owner = w;
          break;
        }
    if (winsys::Window* w = SHIM_CreateModelessFrameForWindow(r, owner, flags)) w->display();
    if (!text.empty()) SetDlgItemText(h, 0, text.c_str());
    return nullptr;
  }
  winsys::View* prev = r->superview();
  Ref<winsys::View> holdPrev(prev);
  winsys::View* np = dynamic_cast<winsys::Window*>(po) ? static_cast<winsys::Window*>(po)->contentView()
                                                       : dynamic_cast<winsys::View*>(po);
  if (np && np->isDescendantOf(r)) return nullptr;
  if (prev) r->removeFromSuperview();
  if (np) np->addSubview(r);
  return prev ? SHIM_Handle(prev) : nullptr;
}

BOOL IsChild(HWND parent, HWND child) {
  if (!parent || !child || parent == child) return FALSE;
  winsys::View* c = treeViewOf(child);
  if (!c) return FALSE;
  if (winsys::Window* w = windowOf(parent)) return c->window() == w;
  if (winsys::View* p = treeViewOf(parent)) return c->isDescendantOf(p);
  return FALSE;
}

HWND FindWindowEx(HWND parent, HWND after, const char* cls, const char* name) {
  const bool isStatic = cls && strcasecmp(cls, "Static") == 0;
  if (!parent) {
    if (!name) return nullptr;
    const std::vector<winsys::Window*> list = winsys::app::windows();
    size_t start = 0;
    if (after) {
      start = list.size();
      for (size_t i = 0; i < list.size(); ++i)
        if (SHIM_Handle(list[i]) == after || (list[i]->contentView() && SHIM_Handle(list[i]->contentView()) == after))
          start = i + 1;
    }
    for (size_t i = start; i < list.size(); ++i)
      if (list[i]->title == name && list[i]->contentView()) return SHIM_Handle(list[i]->contentView());
    return nullptr;
  }
  HWND cand = nullptr;
  if (after) {
    cand = GetWindow(after, GW_HWNDNEXT);
  } else {
    winsys::View* p = asView(parent);
    if (!p || p->subviews().empty()) return nullptr;
    cand = SHIM_Handle(p->subviews().front());
  }
  for (; cand; cand = GetWindow(cand, GW_HWNDNEXT)) {
    const bool isField = SHIM_As<winsys::TextField>(cand) != nullptr;
    if (!name) {
      if (!isStatic || isField) return cand;
      continue;
    }
    char buf[512];
    if (GetDlgItemText(cand, 0, buf, sizeof(buf)) && std::strcmp(buf, name) == 0 && (!isStatic || isField))
      return cand;
  }
  return nullptr;
}

BOOL EnumChildWindows(HWND h, WNDENUMPROC proc, LPARAM param) {
  winsys::View* v = treeViewOf(h);
  if (!v || !proc) return TRUE;
  Ref<winsys::View> hold(v);
  return walkChildren(v, proc, param) ? TRUE : FALSE;
}

BOOL IsWindow(HWND h) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return FALSE;
  const std::vector<winsys::Window*> list = winsys::app::windows();
  for (winsys::Window* w : list)
    if (w == o || w->contentView() == o) return TRUE;
  auto* v = dynamic_cast<winsys::View*>(o);
  if (!v) return FALSE;
  for (winsys::Window* w : list)
    if (dynamic_cast<ShimTopLevelWindow*>(w) && w->contentView() && isWindowImpl(v, w->contentView())) return TRUE;
  return FALSE;
}

void DestroyWindow(HWND h) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return;
  Ref<winsys::Object> hold(o);
  winsys::Window* win = dynamic_cast<winsys::Window*>(o);
  if (auto* v = dynamic_cast<winsys::View*>(o)) {
    SHIM_KillAllTimers(h);
    if (SHIM_Entry(v)) SHIM_DeliverMessage(v, WM_DESTROY, 0, 0);
    if (!SHIM_IsContentView(v)) {
      winsys::Window* w = v->window();
      if (w && w->isKeyWindow()) {
        winsys::View* fr = w->firstResponder();
        if (fr && fr->isDescendantOf(v))
          if (HWND p = GetParent(h)) SetFocus(p);
      }
      v->removeFromSuperview();
      return;
    }
    win = v->window();
  }
  if (!win) return;
  Ref<winsys::Window> holdWin(win);
  SHIM_KillAllTimers(SHIM_Handle(win));
  if (win->contentView() && SHIM_Entry(win->contentView()))
    SHIM_DeliverMessage(win->contentView(), WM_DESTROY, 0, 0);
  if (SHIM_Entry(win)) SHIM_DeliverMessage(win, WM_DESTROY, 0, 0);
  if (auto* tl = dynamic_cast<ShimTopLevelWindow*>(win)) tl->shimDoDestroyStuff();
  if (winsys::Window* p = win->parentWindow()) p->removeChildWindow(win);
  win->close();
}

void SHIM_CloseWindow(HWND h) {
  winsys::Window* w = windowOf(h);
  if (!w)
    if (winsys::View* v = treeViewOf(h)) w = v->window();
  if (w) {
    Ref<winsys::Window> hold(w);
    w->close();
  }
}

void ShowWindow(HWND h, int cmd) {
  if (winsys::Window* w = windowOf(h)) {
    Ref<winsys::Window> hold(w);
    switch (cmd) {
      case SW_HIDE: w->orderOut(); break;
      case SW_SHOWNA:
        if (auto* m = dynamic_cast<Shim_vTavrin_modelesswindow*>(w); m && m->m_wantInitialKeyWindowOnShow) {
          m->m_wantInitialKeyWindowOnShow = false;
          w->makeKeyAndOrderFront();
        } else {
          w->orderFront();
        }
        break;
      case SW_SHOW: w->makeKeyAndOrderFront(); break;
      case SW_SHOWMINIMIZED: w->miniaturize(); break;
      default: break;
    }
    return;
  }
  winsys::View* v0 = treeViewOf(h);
  if (!v0) return;
  winsys::View* v = representing(v0);
  Ref<winsys::View> hold(v);
  if (cmd == SW_SHOWNA || cmd == SW_SHOW) {
    v->setHidden(false);
  } else if (cmd == SW_HIDE) {
    winsys::Window* w = v->window();
    if (w && w->isKeyWindow() && w->firstResponder() && w->firstResponder()->isDescendantOf(v))
      if (HWND p = GetParent(SHIM_Handle(v))) SetFocus(p);
    if (!v->isHidden()) {
      if (!SHIM_IsContentView(v) && v->superview()) {
        RECT r;
        GetWindowRect(SHIM_Handle(v), &r);
        POINT a{r.left, r.top}, b{r.right, r.bottom};
        HWND sup = SHIM_Handle(v->superview());
        ScreenToClient(sup, &a);
        ScreenToClient(sup, &b);
        const RECT local{a.x, a.y, b.x, b.y};
        InvalidateRect(sup, &local, 0);
      }
      v->setHidden(true);
    }
  }
  if (SHIM_IsContentView(v)) ShowWindow(SHIM_Handle(v->window()), cmd);
}

void CenterWindow(HWND h) {
  winsys::Window* w = windowOf(h);
  if (!w)
    if (winsys::View* v = treeViewOf(h)) w = v->window();
  if (w) w->center();
}

BOOL GetWindowRect(HWND h, RECT* r) {
  if (r) *r = RECT{};
  winsys::Object* o = SHIM_Obj(h);
  if (!o || !r) return FALSE;
  winsys::Window* w = dynamic_cast<winsys::Window*>(o);
  auto* v = dynamic_cast<winsys::View*>(o);
  if (v && SHIM_IsContentView(v)) w = v->window();
  if (w) {
    *r = rectOf(w->frame());
    return TRUE;
  }
  if (!v) return FALSE;
  winsys::View* rv = representing(v);
  const RECT b = rectOf(rv->bounds());
  POINT a{b.left, b.top}, c{b.right, b.bottom};
  ClientToScreen(SHIM_Handle(rv), &a);
  ClientToScreen(SHIM_Handle(rv), &c);
  *r = RECT{a.x, a.y, c.x, c.y};
  return TRUE;
}

void GetWindowContentViewRect(HWND h, RECT* r) {
  if (!r) return;
  winsys::Window* w = windowOf(h);
  if (!w)
    if (winsys::View* v = treeViewOf(h); v && SHIM_IsContentView(v)) w = v->window();
  if (!w || !w->contentView()) {
    GetWindowRect(h, r);
    return;
  }
  HWND c = SHIM_Handle(w->contentView());
  const RECT b = rectOf(w->contentView()->bounds());
  POINT a{b.left, b.top}, e{b.right, b.bottom};
  ClientToScreen(c, &a);
  ClientToScreen(c, &e);
  *r = RECT{a.x, a.y, e.x, e.y};
}

void GetClientRect(HWND h, RECT* r) {
  if (!r) return;
  *r = RECT{};
  winsys::View* v = asView(h);
  if (!v) return;
  const RECT b = rectOf(representing(v)->bounds());
  NCCALCSIZE_PARAMS p{};
  p.rgrc[0] = b;
  SendMessage(h, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&p));
  *r = RECT{b.left, b.top, b.left + p.rgrc[0].right - p.rgrc[0].left, b.top + p.rgrc[0].bottom - p.rgrc[0].top};
}

namespace {

void convertPoint(HWND h, POINT* p, bool toScreen) {
  winsys::View* v = asView(h);
  if (!v || !p) return;
  const winsys::Point in{static_cast<double>(p->x), static_cast<double>(p->y)};
  const winsys::Point s = toScreen ? v->convertToScreen(in) : v->convertFromScreen(in);
  p->x = toInt(s.x);
  p->y = toInt(s.y);
}

}  // namespace

void ClientToScreen(HWND h, POINT* p) { convertPoint(h, p, true); }
void ScreenToClient(HWND h, POINT* p) { convertPoint(h, p, false); }

HWND WindowFromPoint(POINT pt) {
  std::vector<winsys::Window*> list = winsys::app::orderedWindows();
  winsys::Window* key = winsys::app::keyWindow();
  if (key && std::find(list.begin(), list.end(), key) == list.end()) list.insert(list.begin(), key);
  const winsys::Point p{static_cast<double>(pt.x), static_cast<double>(pt.y)};
  for (winsys::Window* w : list) {
    if (!winsys::isLive(w) || !w->isVisible() || !w->frame().contains(p) || !w->contentView()) continue;
    winsys::View* hit = w->contentView()->hitTest(winsys::Point{p.x - w->frame().x, p.y - w->frame().y});
    return SHIM_Handle(hit ? hit : w->contentView());
  }
  return nullptr;
}

void SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, int flags) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return;
  Ref<winsys::Object> hold(o);
  winsys::Window* w = dynamic_cast<winsys::Window*>(o);
  winsys::View* v = dynamic_cast<winsys::View*>(o);
  if (v && SHIM_IsContentView(v)) {
    w = v->window();
    v = nullptr;
  }
  if (v) v = representing(v);
  if (!w && !v) return;
  // Procedures answer size limits and size notices below: both stay alive.
  Ref<winsys::Window> holdWindow(w);
  Ref<winsys::View> holdView(v);
  if (v && !(flags & SWP_NOZORDER) && v->superview()) {
    winsys::View* sup = v->superview();
    const auto sibs = sup->subviews();
    const auto afterVal = reinterpret_cast<intptr_t>(after);
    winsys::View* rel = nullptr;
    auto place = winsys::View::Place::Above;
    bool move = false;
    if (after != SHIM_Handle(v) && sibs.size() >= 2 && afterVal != -1 && afterVal != -2) {
      if (afterVal == 1) {
        move = sibs.front() != v;
        rel = sibs.front();
        place = winsys::View::Place::Below;
      } else if (afterVal == 0) {
        move = sibs.back() != v;
        rel = sibs.back();
      } else if (winsys::View* s = treeViewOf(after)) {
        const int si = sup->indexOf(s), vi = sup->indexOf(v);
        move = si >= 0 && si + 1 != vi;
        rel = s;
      }
    }
    winsys::View* cap = SHIM_As<winsys::View>(m_fakeCapture);
    if (move && cap && cap->isDescendantOf(v)) move = false;
    if (move) {
      winsys::Window* win = v->window();
      winsys::View* fr = win ? win->firstResponder() : nullptr;
      if (fr && !fr->isDescendantOf(v)) fr = nullptr;
      Ref<winsys::View> holdV(v);
      v->removeFromSuperviewWithoutNeedingDisplay();
      sup->addSubview(v, place, rel);
      if (fr && win) win->makeFirstResponder(fr);
    }
  }
  if ((flags & SWP_NOMOVE) && (flags & SWP_NOSIZE)) return;
  winsys::Rect f = w ? w->frame() : v->frame();
  if (!(flags & SWP_NOMOVE)) {
    f.x = x;
    f.y = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    f.w = std::max(cx, 0);
    f.h = std::abs(static_cast<double>(cy));
  }
  if (w) {
    const winsys::Size mn = w->minSize(), mx = w->maxSize();
    if (f.w < mn.w) f.w = mn.w;
    else if (f.w > mx.w) f.w = mx.w;
    if (f.h < mn.h) f.h = mn.h;
    else if (f.h > mx.h) f.h = mx.h;
    w->setFrame(f, false);
    w->display();
    return;
  }
  v->setFrame(f);
  if (auto* sv = dynamic_cast<winsys::ScrollView*>(v))
    if (auto* tv = dynamic_cast<winsys::TextView*>(sv->documentView())) {
      winsys::Rect tf = tv->frame();
      const winsys::Size c = sv->contentSize();
      if (!sv->hasHorizontalScroller) tf.w = c.w;
      if (!sv->hasVerticalScroller) tf.h = c.h;
      if (!(sv->hasHorizontalScroller && sv->hasVerticalScroller)) tv->setFrame(tf);
    }
}

void SHIM_GetViewPort(RECT* out, const RECT* source, bool workArea) {
  if (!out) return;
  winsys::Point c{0, 0};
  if (source) c = winsys::Point{static_cast<double>((source->left + source->right) / 2),
                                static_cast<double>((source->top + source->bottom) / 2)};
  const std::vector<winsys::Screen> screens = winsys::app::screens();
  if (screens.empty()) {
    *out = RECT{0, 0, 1600, 1200};
    return;
  }
  for (size_t i = 0; i < screens.size(); ++i) {
    const winsys::Rect& f = workArea ? screens[i].visibleFrame : screens[i].frame;
    if (i == 0 || f.contains(c)) *out = RECT{toInt(f.x), toInt(f.y), toInt(f.x + f.w), toInt(f.y + f.h)};
  }
}
