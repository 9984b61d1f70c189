// Focus, capture, repaint requests, properties, system metrics, scrolling,
// modal sessions and the application's presentation.
#include <algorithm>
#include <cstdlib>

#include "platform/clock.h"
#include "shim/winwindow.h"

using winsys::Ref;

HWND m_fakeCapture = nullptr;
bool m_capChangeNotify = false;

namespace {

// The text field a field editor edits: the text view's superview's
// superview (the editor sits in a clip view inside the field).
winsys::TextField* editedField(winsys::View* v) {
  if (!dynamic_cast<winsys::TextView*>(v) || !v->superview()) return nullptr;
  return dynamic_cast<winsys::TextField*>(v->superview()->superview());
}

}  // namespace

HWND GetFocus() {
  winsys::Window* k = winsys::app::keyWindow();
  winsys::View* fr = k ? k->firstResponder() : nullptr;
  if (!fr) return nullptr;
  if (winsys::TextField* f = editedField(fr)) return SHIM_Handle(f);
  return SHIM_Handle(fr);
}

void SetFocus(HWND h) {
  winsys::Object* o = SHIM_Obj(h);
  auto* v = dynamic_cast<winsys::View*>(o);
  winsys::Window* w = v ? v->window() : dynamic_cast<winsys::Window*>(o);
  if (!w) return;
  // Held: the new responder's answer may run procedures.
  Ref<winsys::Object> hold(o);
  Ref<winsys::Window> holdWindow(w);
  w->makeFirstResponder(v ? v : w->contentView());
  if (w->isVisible()) w->makeKeyAndOrderFront();
}

void SetForegroundWindow(HWND h) { SetFocus(h); }

HWND GetForegroundWindow() {
  winsys::Window* k = winsys::app::keyWindow();
  if (!k) return nullptr;
  if (winsys::View* fr = k->firstResponder()) return SHIM_Handle(fr);
  return SHIM_Handle(k);
}

BOOL IsEquivalentTextView(HWND a, HWND b) {
  if (!a || !b) return FALSE;
  if (a == b) return TRUE;
  auto match = [](HWND field, HWND text) {
    auto* f = SHIM_As<winsys::TextField>(field);
    auto* t = SHIM_As<winsys::TextView>(text);
    return f && t && editedField(t) == f;
  };
  return match(a, b) || match(b, a);
}

HWND GetCapture() { return winsys::isLive(m_fakeCapture) ? m_fakeCapture : nullptr; }

HWND SetCapture(HWND h) {
  HWND prev = GetCapture();
  const bool notified = m_capChangeNotify;
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(h);
  m_fakeCapture = SHIM_Obj(h) ? h : nullptr;
  m_capChangeNotify = hw && hw->shimCapChangeNotify();
  if (prev && prev != m_fakeCapture && notified)
    SendMessage(prev, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(m_fakeCapture));
  return prev;
}

void ReleaseCapture() {
  HWND prev = GetCapture();
  m_fakeCapture = nullptr;
  if (prev && m_capChangeNotify) SendMessage(prev, WM_CAPTURECHANGED, 0, 0);
}

void InvalidateRect(HWND h, const RECT* r, int) {
  winsys::Object* o = SHIM_Obj(h);
  if (auto* w = dynamic_cast<winsys::Window*>(o)) o = w->contentView();
  auto* v = dynamic_cast<winsys::View*>(o);
  if (!v) return;
  auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(v);
  if (!hw || !(hw->m_isdirty & 1)) {
    if (hw) hw->m_isdirty |= 1;
    for (winsys::View* s = v->superview(); s; s = s->superview()) {
      auto* sh = dynamic_cast<Shim_vTavrin_hwnd*>(s);
      if (!sh) continue;
      if (sh->m_isdirty & 2) break;
      sh->m_isdirty |= 2;
    }
  }
  if (!r) {
    v->setNeedsDisplay(true);
    return;
  }
  const double top = std::min(r->top, r->bottom);
  v->setNeedsDisplayInRect(winsys::Rect{static_cast<double>(r->left), top, static_cast<double>(r->right) - r->left,
                                        std::abs(static_cast<double>(r->bottom) - r->top)});
}

void UpdateWindow(HWND h) {
  winsys::View* v = SHIM_As<winsys::View>(h);
  if (!v || !v->needsDisplay() || !v->window()) return;
  Ref<winsys::Window> hold(v->window());
  v->window()->displayIfNeeded();
}

void SHIM_FlushWindow(HWND) {
  // The backing surface is the screen: there is nothing to flush.
}

HDC BeginPaint(HWND h, PAINTSTRUCT* ps) {
  if (!ps) return nullptr;
  ps->hdc = nullptr;
  ps->fErase = 0;
  ps->rcPaint = RECT{};
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(h);
  if (!hw || !hw->getShimPaintInfo(ps)) return nullptr;
  return ps->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

int EnumPropsEx(HWND h, PROPENUMPROCEX proc, LPARAM param) {
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(h);
  return hw ? hw->shimEnumProps(proc, param) : -1;
}

void* GetProp(HWND h, const char* name) {
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(h);
  return hw && name ? hw->shimGetProp(name, false) : nullptr;
}

BOOL SetProp(HWND h, const char* name, void* value) {
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(h);
  return hw && name && hw->shimSetProp(name, value) != 0;
}

void* RemoveProp(HWND h, const char* name) {
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(h);
  return hw && name ? hw->shimGetProp(name, true) : nullptr;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL: return 16;
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      const std::vector<winsys::Screen> s = winsys::app::screens();
      if (s.empty()) return 1024;
      return static_cast<int>(index == SM_CXSCREEN ? s[0].frame.w : s[0].frame.h);
    }
    default: return 0;
  }
}

BOOL ScrollWindow(HWND h, int dx, int dy, const RECT*, const RECT*) {
  winsys::Object* o = SHIM_Obj(h);
  if (auto* w = dynamic_cast<winsys::Window*>(o)) o = w->contentView();
  auto* v = dynamic_cast<winsys::View*>(o);
  if (!v || (dx == 0 && dy == 0)) return FALSE;
  Ref<winsys::View> hold(v);
  std::vector<Ref<winsys::View>> subs;
  for (winsys::View* s : v->subviews()) subs.emplace_back(s);
  for (auto& s : subs) s->setFrameOrigin(winsys::Point{s->frame().x + dx, s->frame().y + dy});
  v->setNeedsDisplay(true);
  return TRUE;
}

// ---- Modal sessions ----

struct SHIM_ModalSession__ {
  winsys::app::Session* session;
};

SHIM_ModalSession SHIM_ModalWindowStart(HWND h) {
  winsys::Object* o = SHIM_Obj(h);
  winsys::Window* w = dynamic_cast<winsys::Window*>(o);
  if (auto* v = dynamic_cast<winsys::View*>(o)) w = v->window();
  if (!w) return nullptr;
  winsys::app::Session* s = winsys::app::beginModalSession(w);
  return s ? new SHIM_ModalSession__{s} : nullptr;
}

BOOL SHIM_ModalWindowRun(SHIM_ModalSession s, int* result) {
  if (!s) return FALSE;
  const int r = winsys::app::runModalSession(s->session);
  if (r == winsys::app::kRunContinues) return TRUE;
  if (result) *result = r;
  return FALSE;
}

void SHIM_ModalWindowEnd(SHIM_ModalSession s) {
  if (!s) return;
  if (winsys::app::runModalSession(s->session) == winsys::app::kRunContinues) {
    winsys::app::stopModal();
    // A bounded wait: a session that goes on after 100 steps is ended anyway.
    for (int i = 0; i < 100 && winsys::app::runModalSession(s->session) == winsys::app::kRunContinues; ++i)
      platform::sleepMicros(10000);
  }
  winsys::app::endModalSession(s->session);
  delete s;
}

void SHIM_HideApp() { winsys::app::hide(); }

namespace {
int g_autoHideInit = 0;  // 0 not tested, -1 unsupported, 1 supported
unsigned g_defaultPresentation = 0;
}  // namespace

BOOL SHIM_SetAppAutoHideMenuAndDock(int mode) {
  if (g_autoHideInit == 0) {
    if (winsys::app::systemVersion() > 0x105F) {
      g_autoHideInit = 1;
      g_defaultPresentation = winsys::app::presentationOptions();
    } else {
      g_autoHideInit = -1;
    }
  }
  if (g_autoHideInit < 0) return FALSE;
  winsys::app::setPresentationOptions(mode == 1 ? 5u : mode > 1 ? 6u : g_defaultPresentation);
  return TRUE;
}

void SHIM_ResetAutoHideState() {
  g_autoHideInit = 0;
  g_defaultPresentation = 0;
}
