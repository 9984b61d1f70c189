// Window longs, dialog item texts and numbers, check buttons, enabling and
// visibility.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kit/utf8.h"
#include "shim/winwindow.h"

using winsys::Ref;

namespace {

LPARAM extraGet(winsys::Object* o, int index) {
  auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(o);
  return hw ? hw->getShimExtraData(index) : 0;
}

LPARAM extraSet(winsys::Object* o, int index, LPARAM v) {
  auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(o);
  if (!hw) return 0;
  const LPARAM old = hw->getShimExtraData(index);
  hw->setShimExtraData(index, v);
  return old;
}

LPARAM derivedStyle(winsys::Object* o) {
  uint32_t s = 0;
  if (auto* b = dynamic_cast<winsys::Button*>(o)) {
    s = 3;
    if (b->allowsMixedState) {
      s = 6;
    } else if (auto* sb = dynamic_cast<Shim_vTavrin_button*>(o)) {
      const int f = sb->shimGetRadioFlags();
      if (f) s = 9 | static_cast<uint32_t>((f & 2) << 16);
    }
  }
  auto* v = dynamic_cast<winsys::View*>(o);
  if (!v) return s;
  if (!SHIM_IsContentView(v)) return s | WS_CHILD;
  const unsigned mask = v->window()->styleMask();
  if (mask & winsys::kTitled) {
    s |= WS_CAPTION;
    if (mask & winsys::kResizable) s |= WS_THICKFRAME;
  }
  return s;
}

LPARAM setButtonStyle(winsys::Button* b, HWND h, LPARAM value) {
  const LPARAM old = GetWindowLong(h, GWL_STYLE);
  auto* sb = dynamic_cast<Shim_vTavrin_button*>(b);
  switch (value & 0xF) {
    case BS_AUTOCHECKBOX:
    case BS_AUTO3STATE:
      b->buttonType = winsys::Button::Switch;
      b->allowsMixedState = (value & 0xF) == BS_AUTO3STATE;
      if (sb) sb->shimSetRadioFlags(0);
      break;
    case BS_AUTORADIOBUTTON:
      b->buttonType = winsys::Button::Radio;
      b->allowsMixedState = false;
      if (sb) sb->shimSetRadioFlags(1 | ((value & WS_GROUP) ? 2 : 0));
      break;
    default: break;
  }
  return old;
}

// Rebuilds the top-level window around its content view with the caption
// bits of value.
void rebuildTopLevel(winsys::View* v, LPARAM value) {
  winsys::Window* old = v->window();
  const unsigned mask = old->styleMask();
  uint32_t cur = 0;
  if (mask & winsys::kTitled) cur = WS_CAPTION | ((mask & winsys::kResizable) ? uint32_t(WS_THICKFRAME) : 0u);
  const uint32_t want = static_cast<uint32_t>(value) & (WS_CAPTION | WS_THICKFRAME);
  if (cur == want) return;
  Ref<winsys::Window> holdOld(old);
  const bool visible = old->isVisible();
  winsys::Window* parentWin = old->parentWindow();
  char text[2048];
  const bool hasText = GetDlgItemText(SHIM_Handle(v), 0, text, sizeof(text)) && text[0];
  const winsys::Rect frame = old->frame();
  auto* oldTl = dynamic_cast<ShimTopLevelWindow*>(old);
  winsys::Window* owner = oldTl ? oldTl->shimGetOwner() : nullptr;
  const int level = old->level;

  Ref<winsys::View> hold(v);
  auto* blank = new Shim_vTavrin_hwnd;
  blank->initChild(nullptr, old, nullptr, 0);
  blank->release();
  const unsigned style = !(want & WS_CAPTION) ? 0u : (want & WS_THICKFRAME) ? 0xFu : 1u;
  Shim_vTavrin_modelesswindow* nw = SHIM_CreateModelessFrameForWindow(v, owner, style);
  if (!nw) {
    old->setContentView(v);
    return;
  }
  if (oldTl) {
    nw->shimGetOwnerWindowHead() = oldTl->shimGetOwnerWindowHead();
    oldTl->shimGetOwnerWindowHead().clear();
    for (winsys::Window* ow : nw->shimGetOwnerWindowHead())
      if (auto* t = winsys::lookup<ShimTopLevelWindow>(ow)) t->shimSetOwner(nw);
  }
  const std::vector<winsys::Window*> children = old->childWindows();
  for (winsys::Window* c : children) {
    if (!winsys::isLive(c)) continue;
    Ref<winsys::Window> hc(c);
    old->removeChildWindow(c);
    nw->addChildWindow(c);
  }
  if (parentWin) parentWin->addChildWindow(nw);
  if (hasText) SetDlgItemText(SHIM_Handle(v), 0, text);
  nw->setFrame(frame, visible);
  nw->level = level;
  if (visible) ShowWindow(SHIM_Handle(nw), SW_SHOW);
  DestroyWindow(SHIM_Handle(old));
}

}  // namespace

LPARAM GetWindowLong(HWND h, int index) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return 0;
  auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(o);
  auto* sb = dynamic_cast<Shim_vTavrin_button*>(o);
  switch (index) {
    case GWL_USERDATA:
      if (hw) return hw->getShimUserData();
      if (sb) return sb->getShimUserData();
      if (dynamic_cast<winsys::TextView*>(o)) return static_cast<LPARAM>(0xDEADF00B);
      return extraGet(o, index);
    case GWL_EXSTYLE: return hw ? hw->shimGetExtendedStyle() : extraGet(o, index);
    case GWL_STYLE: return derivedStyle(o);
    case GWL_ID:
      if (auto* v = dynamic_cast<winsys::View*>(o)) return v->tag();
      return extraGet(o, index);
    case DWL_DLGPROC: return hw ? reinterpret_cast<LPARAM>(hw->getShimDialogProc()) : extraGet(o, index);
    case GWL_WNDPROC: return hw ? reinterpret_cast<LPARAM>(hw->getShimWindowProc()) : extraGet(o, index);
    default: return extraGet(o, index);
  }
}

LPARAM SetWindowLong(HWND h, int index, LPARAM value) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return 0;
  Ref<winsys::Object> hold(o);
  auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(o);
  auto* sb = dynamic_cast<Shim_vTavrin_button*>(o);
  LPARAM old = 0;
  switch (index) {
    case GWL_USERDATA:
      if (hw) {
        old = hw->getShimUserData();
        hw->setShimUserData(value);
        return old;
      }
      if (sb) {
        old = sb->getShimUserData();
        sb->setShimUserData(value);
        return old;
      }
      return extraSet(o, index, value);
    case GWL_EXSTYLE:
      if (!hw) return extraSet(o, index, value);
      old = hw->shimGetExtendedStyle();
      hw->shimSetExtendedStyle(static_cast<int>(value));
      return old;
    case GWL_STYLE:
      if (auto* b = dynamic_cast<winsys::Button*>(o)) return setButtonStyle(b, h, value);
      if (auto* v = dynamic_cast<winsys::View*>(o); v && SHIM_IsContentView(v) &&
                                                    dynamic_cast<ShimTopLevelWindow*>(v->window()))
        rebuildTopLevel(v, value);
      return 0;
    case GWL_ID:
      if (hw) {
        old = hw->tag();
        hw->setTag(static_cast<int>(value));
        return old;
      }
      if (auto* c = dynamic_cast<winsys::Control*>(o)) {
        old = c->tag();
        c->setTag(static_cast<int>(value));
        return old;
      }
      return extraSet(o, index, value);
    case DWL_DLGPROC:
      if (!hw) return extraSet(o, index, value);
      old = reinterpret_cast<LPARAM>(hw->getShimDialogProc());
      hw->setShimDialogProc(reinterpret_cast<DLGPROC>(value));
      return old;
    case GWL_WNDPROC:
      if (!hw) return extraSet(o, index, value);
      old = reinterpret_cast<LPARAM>(hw->getShimWindowProc());
      hw->setShimWindowProc(reinterpret_cast<WNDPROC>(value));
      return old;
    default: return extraSet(o, index, value);
  }
}

BOOL GetDlgItemText(HWND h, int id, char* buf, int len) {
  if (!buf || len < 1) return FALSE;
  buf[0] = '\0';
  if (id != 0) h = GetDlgItem(h, id);
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return FALSE;
  if (auto* v = dynamic_cast<winsys::View*>(o); v && SHIM_IsContentView(v)) o = v->window();
  const char* text = nullptr;
  if (auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(o))
    text = hw->onShimGetText();
  else if (auto* b = dynamic_cast<winsys::Button*>(o))
    text = b->title.c_str();
  else if (auto* w = dynamic_cast<winsys::Window*>(o))
    text = w->title.c_str();
  else if (auto* c = dynamic_cast<winsys::Control*>(o))
    text = c->stringValue.c_str();
  else if (auto* t = dynamic_cast<winsys::TextView*>(o))
    text = t->string.c_str();
  else if (auto* box = dynamic_cast<winsys::Box*>(o))
    text = box->title.c_str();
  if (!text) return FALSE;
  KIT_CopyField(buf, static_cast<size_t>(len), text);
  return TRUE;
}

BOOL SetDlgItemText(HWND h, int id, const char* text) {
  if (!text) text = "";
  if (id != 0) h = GetDlgItem(h, id);
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return FALSE;
  Ref<winsys::Object> hold(o);
  if (auto* v = dynamic_cast<winsys::View*>(o); v && SHIM_IsContentView(v))
    SetDlgItemText(SHIM_Handle(v->window()), 0, text);
  if (auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(o)) {
    hw->onShimSetText(text);
    return TRUE;
  }
  if (auto* w = dynamic_cast<winsys::Window*>(o)) {
    w->title = text;
  } else if (auto* b = dynamic_cast<winsys::Button*>(o)) {
    b->title = text;
  } else if (auto* c = dynamic_cast<winsys::Control*>(o)) {
    c->stringValue = text;
    auto* f = dynamic_cast<winsys::TextField*>(c);
    if (f && f->editable)
      SendMessage(GetParent(h), WM_COMMAND, static_cast<WPARAM>(static_cast<uint16_t>(c->tag())) | 0x3000000,
                  reinterpret_cast<LPARAM>(h));
  } else if (auto* t = dynamic_cast<winsys::TextView*>(o)) {
    t->string = text;
  } else if (auto* box = dynamic_cast<winsys::Box*>(o)) {
    box->title = text;
  } else {
    return FALSE;
  }
  return TRUE;
}

int GetDlgItemInt(HWND h, int id, BOOL* ok, BOOL isSigned) {
  if (ok) *ok = FALSE;
  char buf[128];
  if (!GetDlgItemText(h, id, buf, sizeof(buf))) return 0;
  const char* p = buf;
  while (*p == ' ' || *p == '\t') ++p;
  if (!isSigned && *p == '-') return 0;
  errno = 0;
  char* end = nullptr;
  const long long n = std::strtoll(p, &end, 10);
  if (end == p || errno == ERANGE) return 0;
  if (isSigned ? (n < INT_MIN || n > INT_MAX) : (n < 0 || n > 4294967295LL)) return 0;
  if (n == 0 && *p != '0') return 0;
  if (ok) *ok = TRUE;
  return static_cast<int>(static_cast<uint32_t>(n));
}

BOOL SetDlgItemInt(HWND h, int id, int value, BOOL isSigned) {
  char buf[16];
  if (isSigned)
    std::snprintf(buf, sizeof(buf), "%d", value);
  else
    std::snprintf(buf, sizeof(buf), "%u", static_cast<unsigned>(value));
  return SetDlgItemText(h, id, buf);
}

void CheckDlgButton(HWND h, int id, int state) {
  if (auto* b = SHIM_As<winsys::Button>(GetDlgItem(h, id))) b->state = (state & 2) ? -1 : (state & 1);
}

int IsDlgButtonChecked(HWND h, int id) {
  auto* b = SHIM_As<winsys::Button>(GetDlgItem(h, id));
  if (!b) return 0;
  return b->state == -1 ? BST_INDETERMINATE : (b->state ? BST_CHECKED : BST_UNCHECKED);
}

void EnableWindow(HWND h, int enable) {
  winsys::Object* o = SHIM_Obj(h);
  if (auto* w = dynamic_cast<winsys::Window*>(o)) o = w->contentView();
  if (auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(o)) {
    hw->setEnabled(enable != 0);
  } else if (auto* c = dynamic_cast<winsys::Control*>(o)) {
    c->setEnabled(enable != 0);
    auto* f = dynamic_cast<winsys::TextField*>(c);
    if (f && !f->editable && !f->bordered && !f->drawsBackground)
      f->textColor = (f->textColor & 0xFFFFFFu) | (enable ? 0xFF000000u : 0x80000000u);
  }
}

BOOL IsWindowVisible(HWND h) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return FALSE;
  if (auto* v = dynamic_cast<winsys::View*>(o)) {
    winsys::Window* w = v->window();
    if (w && !w->isVisible()) return FALSE;
    return !v->isHiddenOrHasHiddenAncestor();
  }
  if (auto* w = dynamic_cast<winsys::Window*>(o)) return w->isVisible();
  return TRUE;
}
