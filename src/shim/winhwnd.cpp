// The window object: creation, the message entry and its destroy protocol,
// the default dialog window procedure, properties, extra data, and the
// platform callbacks that become messages.
#include <cstdlib>
#include <cstring>

#include "kit/utf8.h"
#include "platform/winsys/appstate.h"
#include "shim/winseam.h"
#include "shim/winwindow.h"

using winsys::Ref;

LRESULT SHIM_CallProc(WNDPROC proc, HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (!proc) return 0;
  try {
    return proc(w, msg, wp, lp);
  } catch (...) {
    return 0;
  }
}

LRESULT SHIM_DeliverMessage(winsys::Object* o, UINT msg, WPARAM wp, LPARAM lp) {
  ShimMessageEntry* e = SHIM_Entry(o);
  if (!e) return 0;
  Ref<winsys::Object> hold(o);
  return e->onShimMessage(msg, wp, lp);
}

bool SHIM_Is105Plus() { return winsys::app::systemVersion() >= 0x1050; }

namespace {

HWND self(Shim_vTavrin_hwnd* w) { return SHIM_Handle(w); }

bool isAtom(const char* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

bool sameName(const char* a, const char* b) {
  if (isAtom(a) || isAtom(b)) return a == b;
  return std::strcmp(a, b) == 0;
}

void freeRec(WindowPropRec* r) {
  if (!isAtom(r->name)) std::free(const_cast<char*>(r->name));
  delete r;
}

// The first subview in order that accepts first responder; a scroll view's
// document view is asked in its place.
winsys::View* firstAcceptingSubview(winsys::View* v) {
  for (winsys::View* s : v->subviews()) {
    winsys::View* c = s;
    if (auto* sv = dynamic_cast<winsys::ScrollView*>(s))
      if (sv->documentView()) c = sv->documentView();
    if (c->acceptsFirstResponder()) return c;
  }
  return nullptr;
}

}  // namespace

// ---- Creation ----

HWND SHIM_CreateWindowObject(HWND parent, WNDPROC proc, LPARAM param) {
  winsys::Object* p = nullptr;
  if (parent && !(p = SHIM_Obj(parent))) return nullptr;
  auto* w = new Shim_vTavrin_hwnd;
  w->initChild(nullptr, p, reinterpret_cast<DLGPROC>(proc), param);
  HWND h = SHIM_Handle(w);
  if (w->superview() || w->window()) w->release();  // the parent keeps it
  return winsys::isLive(h) ? h : nullptr;
}

void Shim_vTavrin_hwnd::initChild(const SHIM_DialogResourceIndex* res, winsys::Object* parent, DLGPROC proc,
                                  LPARAM param) {
  Ref<winsys::View> hold(this);
  Ref<winsys::Object> holdParent(parent);  // procedures run below
  setFrame(winsys::Rect{0, 0, res ? static_cast<double>(res->width) : 300.0,
                        res ? static_cast<double>(res->height) : 200.0});
  const int flags = res ? res->windowTypeFlags : (SHIM_DIALOG_FLIPPED | SHIM_DIALOG_OPAQUE);
  m_isdirty = 3;
  m_enabled = true;
  m_wndproc = ShimDialogDefaultWindowProc;
  m_isopaque = (flags & SHIM_DIALOG_OPAQUE) != 0;
  m_flip = (flags & SHIM_DIALOG_FLIPPED) != 0;
  m_supports_ddrop = res && (flags & SHIM_DIALOG_ACCEPTFILES);
  setHidden(true);

  auto* pw = dynamic_cast<winsys::Window*>(parent);
  if (pw && pw->isPanelKind()) {
    pw->setAccessoryView(this);
    setHidden(false);
  } else if (pw) {
    pw->setContentView(this);
  } else if (auto* pv = dynamic_cast<winsys::View*>(parent)) {
    pv->addSubview(this);
  }

  if (res) {
    if (res->createFunc) {
      try {
        res->createFunc(self(this), res->windowTypeFlags);
      } catch (...) {
      }
    }
    m_dlgproc = proc;
    if (flags & SHIM_DIALOG_ACCEPTFILES) registerForDraggedTypes(true);
  } else {
    if (proc) m_wndproc = reinterpret_cast<WNDPROC>(proc);
    onShimMessage(WM_CREATE, 0, param);
  }
  if (!m_dlgproc || m_hashaddestroy) return;

  winsys::View* found = firstAcceptingSubview(this);
  Ref<winsys::View> holdFound(found);
  const LRESULT r = SHIM_CallProc(reinterpret_cast<WNDPROC>(m_dlgproc), self(this), WM_INITDIALOG,
                                  reinterpret_cast<WPARAM>(found ? SHIM_Handle(found) : nullptr), param);
  winsys::Window* win = window();
  if (r != 0) {
    winsys::View* target = (r == 0xBEEF) ? this : found;
    if (target && win && win->firstResponder() != target) win->makeFirstResponder(target);
    auto* mw = winsys::lookup<Shim_vTavrin_modelesswindow>(parent);  // procedures ran since
    if (mw && !mw->isVisible() && win == mw) mw->m_wantInitialKeyWindowOnShow = true;
  } else if (pw && win == pw && found) {
    winsys::View* fr = win->firstResponder();
    if (!fr || fr == this) win->makeFirstResponder(found);
  }
  SHIM_DoDialogColorUpdates(self(this), m_dlgproc, false);
}

Shim_vTavrin_hwnd::~Shim_vTavrin_hwnd() {
  SHIM_KillAllTimers(self(this));
  onShimMessage(WM_DESTROY, 0, 0);
  if (m_fakeCapture == self(this)) ReleaseCapture();
  m_glctx = nullptr;
  while (m_props) {
    WindowPropRec* r = m_props;
    m_props = r->next;
    freeRec(r);
  }
  for (WindowPropRec* r : m_zombies) freeRec(r);
  if (auto* m = winsys::lookup<winsys::Menu>(m_menu)) m->release();
}

// ---- Message entry ----

LRESULT Shim_vTavrin_hwnd::onShimMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (m_hashaddestroy == 2) return 0;
  if (m_hashaddestroy == 1 && (msg == WM_DESTROY || msg == WM_CAPTURECHANGED)) return 0;
  if (m_hashaddestroy == 0 && msg == WM_DESTROY) {
    LRESULT r = 0;
    destroyProtocol(wp, lp, &r);
    return r;
  }
  return SHIM_CallProc(m_wndproc, self(this), msg, wp, lp);
}

void Shim_vTavrin_hwnd::destroyProtocol(WPARAM wp, LPARAM lp, LRESULT* result) {
  HWND me = self(this);
  m_hashaddestroy = 1;
  if (m_fakeCapture == me) ReleaseCapture();
  SHIM_MessageQueue_Clear(me);
  *result = SHIM_CallProc(m_wndproc, me, WM_DESTROY, wp, lp);
  if (SHIM_IsContentView(this))
    if (auto* tl = dynamic_cast<ShimTopLevelWindow*>(window())) {
      Ref<winsys::Window> holdWindow(tl);
      tl->shimDestroyAllOwnedWindows();
    }
  if (m_fakeCapture == me) ReleaseCapture();
  SHIM_MessageQueue_Clear(me);
  if (winsys::Menu* m = winsys::lookup<winsys::Menu>(m_menu)) {
    if (winsys::app::mainMenu() == m && !winsys::app::isTerminating()) winsys::app::setMainMenu(nullptr);
    m->destination = nullptr;
    SHIM_ReleaseMenu(reinterpret_cast<HMENU>(static_cast<winsys::Object*>(m)));
  }
  m_menu = nullptr;
  std::vector<Ref<winsys::View>> subs;
  for (winsys::View* v : subviews()) subs.emplace_back(v);
  for (auto& v : subs)
    if (SHIM_Entry(v.get())) SHIM_DeliverMessage(v.get(), WM_DESTROY, 0, 0);
  SHIM_KillAllTimers(me);
  m_hashaddestroy = 2;
}

// ---- Default dialog window procedure ----

LRESULT ShimDialogDefaultWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  auto dlg = reinterpret_cast<WNDPROC>(GetWindowLong(w, DWL_DLGPROC));
  if (!dlg) return DefWindowProc(w, msg, wp, lp);
  if (msg == WM_PAINT) {
    Shim_vTavrin_hwnd* hw = SHIM_Hwnd(w);
    if (hw && SHIM_CallProc(dlg, w, WM_ERASEBKGND, 0, 0) == 0) {
      bool opaque = hw->isOpaque();
      if (!opaque && SHIM_Is105Plus() && hw->window() && hw->window()->contentView())
        opaque = hw->window()->contentView()->isOpaque();
      if (SHIM_IsContentView(hw) || opaque) {
        PAINTSTRUCT ps{};
        HDC ctx = BeginPaint(w, &ps);
        RECT r = ps.rcPaint;
        if (!SHIM_Is105Plus() && !(hw->m_isdirty & 1)) {
          bool keep = false;
          for (winsys::View* s : hw->subviews()) {
            const winsys::Rect f = s->frame();
            const winsys::Rect pr{static_cast<double>(r.left), static_cast<double>(r.top),
                                  static_cast<double>(r.right - r.left), static_cast<double>(r.bottom - r.top)};
            if (!s->isOpaque() && !winsys::intersect(f, pr).empty()) keep = true;
          }
          if (!keep) r = RECT{};
        }
        if (ctx && r.right > r.left && r.bottom > r.top) {
          const LRESULT b = SHIM_CallProc(dlg, w, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(ctx),
                                          reinterpret_cast<LPARAM>(w));
          if (b == 0 || b == 1) {
            if (opaque) SHIM_FillDialogBackground(ctx, &r, 3);
          } else {
            SHIM_FillRect(ctx, &r, reinterpret_cast<HBRUSH>(b));
          }
        }
        EndPaint(w, &ps);
      }
    }
  }
  const LRESULT r = SHIM_CallProc(dlg, w, msg, wp, lp);
  if (r != 0) return r;
  return DefWindowProc(w, msg, wp, lp);
}

// ---- Accessors ----

LPARAM Shim_vTavrin_hwnd::getShimExtraData(int offset) const {
  if (offset < 0 || offset > 127) return 0;
  return m_extradata[offset / 4];
}

void Shim_vTavrin_hwnd::setShimExtraData(int offset, LPARAM v) {
  if (offset < 0 || offset > 127) return;
  m_extradata[offset / 4] = v;
}

HMENU Shim_vTavrin_hwnd::shimGetMenu() const {
  winsys::Menu* m = winsys::live(m_menu);
  return m ? reinterpret_cast<HMENU>(static_cast<winsys::Object*>(m)) : nullptr;
}

void Shim_vTavrin_hwnd::shimSetMenu(HMENU m) {
  auto* menu = winsys::lookup<winsys::Menu>(m);
  if (menu == m_menu) return;
  if (HMENU old = shimGetMenu()) SHIM_SetMenuDestination(old, nullptr);
  m_menu = menu;
  if (menu) SHIM_SetMenuDestination(m, self(this));
}

void Shim_vTavrin_hwnd::onShimSetText(const char* text) { KIT_CopyField(m_titlestr, text); }

void Shim_vTavrin_hwnd::shimSetExtendedStyle(int s) { m_supports_ddrop = (s & WS_EX_ACCEPTFILES) != 0; }

// ---- Properties ----

int Shim_vTavrin_hwnd::shimSetProp(const char* name, void* value) {
  for (WindowPropRec* r = m_props; r; r = r->next)
    if (sameName(r->name, name)) {
      r->value = value;
      return 1;
    }
  const char* copy = name;
  if (!isAtom(name)) {
    copy = strdup(name);
    if (!copy) return 0;
  }
  m_props = new WindowPropRec{copy, value, m_props};
  return 1;
}

void* Shim_vTavrin_hwnd::shimGetProp(const char* name, bool remove) {
  for (WindowPropRec** p = &m_props; *p; p = &(*p)->next) {
    WindowPropRec* r = *p;
    if (!sameName(r->name, name)) continue;
    void* v = r->value;
    if (remove) {
      *p = r->next;
      if (m_propWalks > 0)
        m_zombies.push_back(r);  // a walk may stand on it
      else
        freeRec(r);
    }
    return v;
  }
  return nullptr;
}

int Shim_vTavrin_hwnd::shimEnumProps(PROPENUMPROCEX proc, LPARAM lp) {
  if (!m_props) return -1;
  if (!proc) return 1;
  Ref<winsys::View> hold(this);
  ++m_propWalks;
  int result = 1;
  // The next record is read after the call: one removed meanwhile is kept
  // (unlinked) until the walk ends, so its next pointer stays readable.
  for (WindowPropRec* r = m_props; r; r = r->next) {
    BOOL go = FALSE;
    try {
      go = proc(self(this), r->name, r->value, lp);
    } catch (...) {
    }
    if (!go) {
      result = 0;
      break;
    }
  }
  if (--m_propWalks == 0) {
    for (WindowPropRec* r : m_zombies) freeRec(r);
    m_zombies.clear();
  }
  return result;
}

// ---- Platform callbacks ----

void Shim_vTavrin_hwnd::notify(UINT msg, WPARAM wp, LPARAM lp) {
  if (m_wndproc && m_hashaddestroy == 0) onShimMessage(msg, wp, lp);
}

void Shim_vTavrin_hwnd::viewDidHide() {
  if (m_hashaddestroy == 0) SendMessage(self(this), WM_SHOWWINDOW, 0, 0);
}

void Shim_vTavrin_hwnd::viewDidUnhide() {
  if (m_hashaddestroy == 0) SendMessage(self(this), WM_SHOWWINDOW, 1, 0);
}

void Shim_vTavrin_hwnd::setFrame(const winsys::Rect& r) {
  winsys::View::setFrame(r);
  notify(WM_SIZE, 0, 0);
  if (superview()) InvalidateRect(SHIM_Handle(superview()), nullptr, 0);
}

bool Shim_vTavrin_hwnd::acceptsFirstResponder() {
  if (!m_enabled) return false;
  winsys::Window* w = window();
  if (!w || w->firstResponder() != this) onShimMessage(WM_MOUSEACTIVATE, 0, 0);
  return true;
}

bool Shim_vTavrin_hwnd::acceptsFirstMouse(const winsys::Event&) {
  if (!m_enabled) return false;
  onShimMessage(WM_MOUSEACTIVATE, 0, 0);
  if (superview()) SHIM_DeliverMessage(superview(), WM_MOUSEACTIVATE, 0, 0);
  return true;
}

bool Shim_vTavrin_hwnd::keyHandled(UINT msg, const winsys::Event& e) {
  if (!m_wndproc || m_hashaddestroy != 0) return false;
  int key = 0, flags = 0;
  SHIM_MacKeyToWindowsKey(e, &key, &flags);
  return onShimMessage(msg, static_cast<WPARAM>(key), flags) != 69;  // 69: not handled, the key goes on
}

void Shim_vTavrin_hwnd::keyDown(const winsys::Event& e) {
  if (!keyHandled(WM_KEYDOWN, e)) winsys::View::keyDown(e);
}

void Shim_vTavrin_hwnd::keyUp(const winsys::Event& e) {
  if (!keyHandled(WM_KEYUP, e)) winsys::View::keyUp(e);
}

HWND g_shim_only_timerhwnd = nullptr;

void Shim_vTavrin_hwnd::onShimTimer(int id) {
  if (g_shim_only_timerhwnd && g_shim_only_timerhwnd != self(this)) return;
  notify(WM_TIMER, static_cast<WPARAM>(id), 0);
}

namespace {

// Clears the radio siblings of a clicked button up to the group starts.
void radioWalk(Shim_vTavrin_button* b) {
  winsys::View* parent = b->superview();
  if (!parent) return;
  std::vector<Ref<winsys::View>> sibs;
  for (winsys::View* v : parent->subviews()) sibs.emplace_back(v);
  int at = -1;
  for (size_t i = 0; i < sibs.size(); ++i)
    if (sibs[i].get() == b) at = static_cast<int>(i);
  if (at < 0) return;
  auto clear = [](Shim_vTavrin_button* s) {
    if ((s->shimGetRadioFlags() & 1) && s->state != 0) s->state = 0;
  };
  if (!(b->shimGetRadioFlags() & 2)) {
    for (int i = at - 1; i >= 0; --i) {
      auto* s = dynamic_cast<Shim_vTavrin_button*>(sibs[static_cast<size_t>(i)].get());
      if (!s) break;
      clear(s);
      if (s->shimGetRadioFlags() & 2) break;
    }
  }
  for (size_t i = static_cast<size_t>(at) + 1; i < sibs.size(); ++i) {
    auto* s = dynamic_cast<Shim_vTavrin_button*>(sibs[i].get());
    if (!s || (s->shimGetRadioFlags() & 2)) break;
    clear(s);
  }
}

}  // namespace

void Shim_vTavrin_hwnd::onShimCommand(winsys::View* sender) {
  if (!m_wndproc || m_hashaddestroy != 0 || !winsys::isLive(sender)) return;
  Ref<winsys::View> hold(sender);
  const WPARAM id = static_cast<WPARAM>(static_cast<uint16_t>(sender->tag()));
  const LPARAM ctl = reinterpret_cast<LPARAM>(SHIM_Handle(sender));
  if (dynamic_cast<winsys::Slider*>(sender)) {
    onShimMessage(WM_HSCROLL, 0, ctl);
  } else if (dynamic_cast<winsys::TableView*>(sender) || dynamic_cast<winsys::ComboBox*>(sender)) {
    // Tables and combo boxes report through their delegate calls.
  } else if (dynamic_cast<winsys::PopUpButton*>(sender)) {
    onShimMessage(WM_COMMAND, id | (1u << 16), ctl);
  } else if (auto* b = dynamic_cast<Shim_vTavrin_button*>(sender)) {
    if (b->shimGetRadioFlags() != 0) radioWalk(b);
    onShimMessage(WM_COMMAND, id, ctl);
  } else if (dynamic_cast<winsys::Control*>(sender)) {
    const winsys::Event* e = winsys::app::currentEvent();
    const bool dbl = e && (e->type == winsys::EventType::LeftDown || e->type == winsys::EventType::LeftUp) &&
                     e->clickCount >= 2;
    onShimMessage(WM_COMMAND, id | (dbl ? (1u << 16) : 0u), ctl);
  } else {
    onShimMessage(WM_COMMAND, id, ctl);
  }
}

void Shim_vTavrin_hwnd::didAddSubview(winsys::View*) {
  m_isdirty |= 2;
  for (winsys::View* v = superview(); v; v = v->superview()) {
    auto* h = dynamic_cast<Shim_vTavrin_hwnd*>(v);
    if (!h) continue;
    if (h->m_isdirty & 2) break;
    h->m_isdirty |= 2;
  }
}

void Shim_vTavrin_hwnd::willRemoveSubview(winsys::View*) {
  m_isdirty |= 3;
  setNeedsDisplay(true);
  for (winsys::View* v = superview(); v; v = v->superview()) {
    if (auto* h = dynamic_cast<Shim_vTavrin_hwnd*>(v)) {
      if ((h->m_isdirty & 3) == 3) break;
      h->m_isdirty |= 3;
    }
    v->setNeedsDisplay(true);
  }
}

// ---- Dialog colour updates ----

void SHIM_DoDialogColorUpdates(HWND w, DLGPROC proc, bool useDefaultColor) {
  winsys::View* v = SHIM_As<winsys::View>(w);
  if (!v || !proc) return;
  Ref<winsys::View> hold(v);
  // Each answer is asked once per call: 0 not asked, 1 no colour, 2 colour.
  int asked[2] = {0, 0};
  unsigned colour[2] = {0, 0};
  auto ask = [&](int kind, UINT msg, winsys::View* ctl) {
    if (asked[kind] == 0) {
      HDC ctx = SHIM_CreateGfxContext(nullptr);
      SHIM_CallProc(reinterpret_cast<WNDPROC>(proc), w, msg, reinterpret_cast<WPARAM>(ctx),
                    reinterpret_cast<LPARAM>(SHIM_Handle(ctl)));
      asked[kind] = 1;
      // The procedure may have released the context: it is looked up again.
      if (SHIM_IsValidContext(ctx) && ctx->curtextcolobj) {
        asked[kind] = 2;
        colour[kind] = 0xFF000000u | (static_cast<unsigned>(ctx->curtextcol) & 0xFFFFFFu);
      }
      SHIM_DeleteGfxContext(ctx);
    }
    if (asked[kind] == 2) return colour[kind];
    return useDefaultColor ? 0xFF000000u : 0u;
  };
  std::vector<Ref<winsys::View>> subs;
  for (winsys::View* s : v->subviews()) subs.emplace_back(s);
  for (auto& s : subs) {
    if (auto* b = dynamic_cast<winsys::Button*>(s.get())) {
      if (!b->hasImage()) continue;
      if (unsigned c = ask(0, WM_CTLCOLORBTN, b)) b->textColor = c;
    } else if (auto* f = dynamic_cast<winsys::TextField*>(s.get())) {
      if (f->editable) continue;
      if (unsigned c = ask(1, WM_CTLCOLORSTATIC, f)) f->textColor = c;
    } else if (auto* box = dynamic_cast<winsys::Box*>(s.get())) {
      if (unsigned c = ask(1, WM_CTLCOLORSTATIC, box)) box->titleColor = c;
    }
  }
}

// ---- Delegate calls ----

void Shim_vTavrin_hwnd::commandFrom(winsys::View* control, unsigned code) {
  if (!winsys::live(control)) return;
  Ref<winsys::View> hold(control);
  notify(WM_COMMAND, static_cast<WPARAM>(static_cast<uint16_t>(control->tag())) | (code << 16),
         reinterpret_cast<LPARAM>(SHIM_Handle(control)));
}

void Shim_vTavrin_hwnd::comboBoxWillPopUp(winsys::View* combo) { commandFrom(combo, 7); }
void Shim_vTavrin_hwnd::comboBoxSelectionDidChange(winsys::View* combo) { commandFrom(combo, 1); }

void Shim_vTavrin_hwnd::textDidEndEditing(winsys::View* field) {
  if (!dynamic_cast<winsys::ComboBox*>(winsys::live(field))) commandFrom(field, 0x300);
}

void Shim_vTavrin_hwnd::controlTextDidChange(winsys::View* field) {
  commandFrom(field, dynamic_cast<winsys::ComboBox*>(winsys::live(field)) ? 5 : 0x300);
}

void Shim_vTavrin_hwnd::menuNeedsUpdate(HMENU menu) { notify(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0); }

void Shim_vTavrin_hwnd::shimOnControlDoubleClick(winsys::View* control) {
  if (!winsys::live(control)) return;
  Ref<winsys::View> hold(control);
  NMHDR h{SHIM_Handle(control), static_cast<uintptr_t>(control->tag()), -3};
  notify(WM_NOTIFY, static_cast<WPARAM>(control->tag()), reinterpret_cast<LPARAM>(&h));
}

void updateWindowCollection(winsys::Window* w) {
  if (winsys::live(w) && winsys::app::systemVersion() >= 0x1060) w->collectionBehavior = 36;
}

// ---- Accessibility ----

winsys::AccessibilityElement* Shim_vTavrin_hwnd::accessObject() {
  void* slot = nullptr;
  onShimMessage(WM_GETOBJECT, 0x1001, reinterpret_cast<LPARAM>(&slot));
  return winsys::lookup<winsys::AccessibilityElement>(slot);
}

winsys::Object* Shim_vTavrin_hwnd::accessibilityHitTest(winsys::Point p) {
  if (winsys::AccessibilityElement* obj = accessObject()) {
    Ref<winsys::Object> hold(obj);
    winsys::Object* r = obj->accessibilityHitTest(p);
    if (r != obj) return r;
    if (!obj->accessibilityIsIgnored()) return obj;
  }
  return winsys::View::accessibilityHitTest(p);
}

winsys::Object* Shim_vTavrin_hwnd::accessibilityFocusedElement() {
  if (winsys::AccessibilityElement* obj = accessObject()) {
    winsys::Object* f = obj->accessibilityFocusedElement();
    if (f && f != obj) return f;
  }
  return winsys::View::accessibilityFocusedElement();
}

std::vector<winsys::Object*> Shim_vTavrin_hwnd::accessibilityChildren(Children which) {
  AccessCache& cache = m_access_cacheptrs[which == Children::All ? 0 : 1];
  const std::vector<winsys::Object*> defaults = winsys::View::accessibilityChildren(which);
  winsys::AccessibilityElement* obj = accessObject();
  if (!obj) {
    cache = AccessCache{};
    return defaults;
  }
  auto sameDefaults = [&] {
    if (cache.defaults.size() != defaults.size()) return false;
    for (size_t i = 0; i < defaults.size(); ++i)
      if (cache.defaults[i].get() != defaults[i]) return false;
    return true;
  };
  if (cache.object.get() != obj || !sameDefaults()) {
    AccessCache fresh;
    fresh.object = Ref<winsys::Object>(obj);
    for (winsys::Object* d : defaults) fresh.defaults.emplace_back(d);
    std::vector<winsys::Object*> all = defaults;
    all.push_back(obj);
    for (winsys::Object* o : all) {
      auto* e = dynamic_cast<winsys::AccessibilityElement*>(o);
      auto* v = dynamic_cast<winsys::View*>(o);
      const bool ignored = e ? e->accessibilityIsIgnored() : v && v->accessibilityIsIgnored();
      if (!ignored) fresh.answer.emplace_back(o);
    }
    cache = std::move(fresh);
  }
  std::vector<winsys::Object*> out;
  for (auto& r : cache.answer) out.push_back(r.get());
  return out;
}

bool Shim_vTavrin_hwnd::accessibilityIsIgnored() {
  if (subviews().empty() && accessObject()) return true;
  return winsys::View::accessibilityIsIgnored();
}
