// SendMessage with the control answers for platform controls, DefWindowProc
// and the broadcast to top-level windows.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "shim/winwindow.h"

using winsys::Ref;

namespace {

LRESULT comboMessage(winsys::Control* c, UINT msg, WPARAM wp, LPARAM lp) {
  std::vector<std::string>* items = nullptr;
  int* sel = nullptr;
  if (auto* p = dynamic_cast<winsys::PopUpButton*>(c)) {
    items = &p->items;
    sel = &p->selectedIndex;
  } else if (auto* cb = dynamic_cast<winsys::ComboBox*>(c)) {
    items = &cb->items;
    sel = &cb->selectedIndex;
  }
  if (!items) return 0;
  const auto count = static_cast<intptr_t>(items->size());
  switch (msg) {
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return *sel;
    case CB_SETCURSEL:
      if (static_cast<intptr_t>(wp) < 0 || static_cast<intptr_t>(wp) >= count) return 0;
      *sel = static_cast<int>(wp);
      return 0;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      if (!lp) return -1;
      return -1;
    default: return 0;
  }
}

LRESULT sliderMessage(winsys::Slider* s, UINT msg, LPARAM lp) {
  switch (msg) {
    case TBM_GETPOS: return static_cast<LRESULT>(s->doubleValue + 0.5);
    case TBM_SETTIC: return 1;
    case TBM_SETPOS: s->setDoubleValue(static_cast<double>(lp)); return 1;
    case TBM_SETRANGE:
      s->minValue = static_cast<double>(lp & 0xFFFF);
      s->maxValue = static_cast<double>((lp >> 16) & 0xFFFF);
      s->setDoubleValue(s->doubleValue);
      return 1;
    default: return 0;
  }
}

// The field editor's text view of a field being edited, or null.
winsys::TextView* editorOf(winsys::TextField* f) {
  if (!f->isEditing()) return nullptr;
  auto* clip = dynamic_cast<winsys::ClipView*>(f->fieldEditor());
  return clip ? dynamic_cast<winsys::TextView*>(clip->documentView()) : nullptr;
}

LRESULT editMessage(winsys::TextField* f, UINT msg, WPARAM wp, LPARAM lp) {
  winsys::TextView* ed = editorOf(f);
  if (msg == EM_GETSEL) {
    const int start = ed ? static_cast<int>(ed->selStart) : 0;
    const int end = ed ? static_cast<int>(ed->selStart + ed->selLength) : 0;
    if (wp) *reinterpret_cast<int*>(wp) = start;
    if (lp) *reinterpret_cast<int*>(lp) = end;
    return 0;
  }
  if (msg == EM_SETSEL && ed)
    SHIM_ClampSelection(static_cast<intptr_t>(wp), lp, ed->string.size(), &ed->selStart, &ed->selLength);
  return 0;
}

// Step 9: a content view passes to its window, a window to its content view.
LRESULT passOn(winsys::Object* o, UINT msg, WPARAM wp, LPARAM lp) {
  if (auto* v = dynamic_cast<winsys::View*>(o)) {
    if (SHIM_IsContentView(v) && SHIM_Entry(v->window())) return SHIM_DeliverMessage(v->window(), msg, wp, lp);
    return 0;
  }
  if (auto* w = dynamic_cast<winsys::Window*>(o))
    if (w->contentView() && SHIM_Entry(w->contentView()))
      return SHIM_DeliverMessage(w->contentView(), msg, wp, lp);
  return 0;
}

}  // namespace

void SHIM_ClampSelection(intptr_t start, intptr_t end, size_t len, size_t* selStart, size_t* selLength) {
  const auto n = static_cast<intptr_t>(std::min<size_t>(len, INTPTR_MAX));
  if (end == -1) end = n;
  if (start == -1) start = end = 0;
  if (static_cast<uintptr_t>(start) > static_cast<uintptr_t>(n)) start = n;
  end = std::clamp<intptr_t>(end, 0, n);
  if (end < start) end = start;
  *selStart = static_cast<size_t>(start);
  *selLength = static_cast<size_t>(end - start);
}

LRESULT SendMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return 0;
  Ref<winsys::Object> hold(o);
  if (SHIM_Entry(o)) return SHIM_DeliverMessage(o, msg, wp, lp);
  if (msg == BM_SETCHECK || msg == BM_GETCHECK) {
    auto* b = dynamic_cast<winsys::Button*>(o);
    if (!b) return passOn(o, msg, wp, lp);
    if (msg == BM_SETCHECK) {
      b->state = (wp & 2) ? -1 : static_cast<int>(wp & 1);
      return 0;
    }
    return b->state == -1 ? 2 : (b->state != 0 ? 1 : 0);
  }
  if (msg == BM_GETIMAGE || msg == BM_SETIMAGE) {
    if (auto* b = dynamic_cast<Shim_vTavrin_button*>(o)) {
      if (wp > 1) return 0;
      const LRESULT old = reinterpret_cast<LRESULT>(b->getShimGDIImage());
      if (msg == BM_SETIMAGE) {
        auto img = reinterpret_cast<HGDIOBJ>(lp);
        if (!SHIM_IsValidObject(img, SHIM_OBJ_BITMAP)) img = nullptr;
        b->image = img;
        b->setShimGDIImage(img);
      }
      return old;
    }
  }
  if (msg >= 0x143 && msg <= 0x161)
    if (auto* c = dynamic_cast<winsys::Control*>(o))
      if (dynamic_cast<winsys::PopUpButton*>(c) || dynamic_cast<winsys::ComboBox*>(c))
        return comboMessage(c, msg, wp, lp);
  if (msg >= TBM_GETPOS && msg <= TBM_SETRANGE)
    if (auto* s = dynamic_cast<winsys::Slider*>(o)) return sliderMessage(s, msg, lp);
  if (msg == EM_GETSEL || msg == EM_SETSEL || msg == EM_SETPASSWORDCHAR)
    if (auto* f = dynamic_cast<winsys::TextField*>(o)) return editMessage(f, msg, wp, lp);
  return passOn(o, msg, wp, lp);
}

LRESULT DefWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return 0;
  Ref<winsys::Object> hold(o);
  auto* view = dynamic_cast<winsys::View*>(o);
  switch (msg) {
    case WM_NCHITTEST: {
      RECT r;
      GetWindowRect(h, &r);
      const int x = GET_X_LPARAM(lp);
      int y = GET_Y_LPARAM(lp);
      if (r.top > r.bottom) {
        y = r.top - y + r.bottom;
        std::swap(r.top, r.bottom);
      }
      NCCALCSIZE_PARAMS p{};
      p.rgrc[0] = r;
      SendMessage(h, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&p));
      const RECT& c = p.rgrc[0];
      return (x >= c.left && x < c.right && y >= std::min(c.top, c.bottom) && y < std::max(c.top, c.bottom))
                 ? HTCLIENT
                 : HTNOWHERE;
    }
    case WM_RBUTTONUP: {
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(h, &pt);
      HWND found = WindowFromPoint(pt);
      HWND target = h;
      if (winsys::View* fv = SHIM_As<winsys::View>(found)) {
        auto* win = dynamic_cast<winsys::Window*>(o);
        if (found == h || (win && fv->window() == win) || (view && fv->isDescendantOf(view))) target = found;
      }
      SendMessage(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target), SHIM_PackPoint(pt.x, pt.y));
      return 1;
    }
    case WM_NCRBUTTONUP:
      SendMessage(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), lp);
      return 1;
    case WM_CONTEXTMENU:
    case WM_GESTURE:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
      for (winsys::View* v = view; v;) {
        if (SHIM_IsContentView(v)) return 0;
        winsys::View* up = v->superview();
        if (!up) return 0;
        if (SHIM_Entry(up)) return SendMessage(SHIM_Handle(up), msg, wp, lp);
        v = up;
      }
      return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP: return 69;
    case WM_DISPLAYCHANGE: {
      if (!view || view->subviews().empty()) return 0;
      std::vector<Ref<winsys::View>> subs;
      for (winsys::View* s : view->subviews()) subs.emplace_back(s);
      for (auto& s : subs)
        if (SHIM_Entry(s.get())) SHIM_DeliverMessage(s.get(), msg, wp, lp);
      DLGPROC proc = nullptr;
      if (auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(view))
        proc = hw->getShimDialogProc();
      else
        proc = reinterpret_cast<DLGPROC>(GetWindowLong(h, DWL_DLGPROC));
      if (proc) SHIM_DoDialogColorUpdates(h, proc, true);
      return 0;
    }
    default: return 0;
  }
}

void SHIM_BroadcastMessage(UINT msg, WPARAM wp, LPARAM lp) {
  for (size_t i = 0; i < winsys::app::orderedWindows().size(); ++i) {
    winsys::Window* w = winsys::app::orderedWindows()[i];
    if (!winsys::isLive(w)) continue;
    Ref<winsys::Window> hold(w);
    winsys::View* c = w->contentView();
    if (!c || !SHIM_Entry(c)) continue;
    SHIM_DeliverMessage(c, msg, wp, lp);
    if (msg == WM_DISPLAYCHANGE) InvalidateRect(SHIM_Handle(c), nullptr, 0);
  }
}

BOOL SHIM_GetGestureInfo(LPARAM lp, GESTUREINFO* out) {
  if (!lp || !out) return FALSE;
  std::memcpy(out, reinterpret_cast<const void*>(lp), sizeof(GESTUREINFO));
  return TRUE;
}
