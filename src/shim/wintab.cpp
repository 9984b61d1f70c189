// Tab controls, progress bars, the owner-drawn button cell and the focus
// rectangle window.
#include <algorithm>
#include <cstdint>

#include "shim/winctlclass.h"
#include "shim/winseam.h"

using winsys::Ref;

namespace {

Shim_vTavrin_tabview* tabsOf(HWND h) { return SHIM_As<Shim_vTavrin_tabview>(h); }

// The focus rectangle window's content: a plain grey.
class Shim_vTavrin_drawfocusrectwnd : public winsys::View {
 public:
  bool isOpaque() const override { return true; }

 protected:
  void drawRect(const winsys::Rect& dirty, platform::Surface* s) override {
    if (!s) return;
    platform::Color grey;
    grey.r = grey.g = grey.b = 0.5f;
    platform::surfaceFillRect(s, 0, 0, static_cast<float>(bounds().w), static_cast<float>(bounds().h), grey);
  }
};

int roundHalf(double v) { return static_cast<int>(v + 0.5); }

void closeFocusWindow(winsys::Window* w) {
  Ref<winsys::Window> hold(w);
  if (winsys::Window* p = w->parentWindow()) p->removeChildWindow(w);
  w->close();
}

}  // namespace

Shim_vTavrin_tabview::Shim_vTavrin_tabview() {
  didSelect = [](winsys::TabView* self) {
    auto* t = static_cast<Shim_vTavrin_tabview*>(self);
    HWND dest = t->getNotificationWindow();
    if (!dest) return;
    NMHDR h{SHIM_Handle(t), static_cast<uintptr_t>(t->tag()), TCN_SELCHANGE};
    SendMessage(dest, WM_NOTIFY, static_cast<WPARAM>(t->tag()), reinterpret_cast<LPARAM>(&h));
  };
}

int TabCtrl_GetItemCount(HWND h) {
  Shim_vTavrin_tabview* t = tabsOf(h);
  return t ? static_cast<int>(t->labels.size()) : 0;
}

int TabCtrl_InsertItem(HWND h, int index, const TCITEM* item) {
  Shim_vTavrin_tabview* t = tabsOf(h);
  if (!t || !item || !(item->mask & TCIF_TEXT) || !item->pszText) return -1;
  Ref<winsys::View> hold(t);
  const int n = static_cast<int>(t->labels.size());
  index = std::clamp(index, 0, n);
  HWND dest = t->getNotificationWindow();
  t->setNotificationWindow(nullptr);
  t->insertTab(item->pszText, static_cast<size_t>(index));
  t->setNotificationWindow(dest);
  return index;
}

int TabCtrl_DeleteItem(HWND h, int index) {
  Shim_vTavrin_tabview* t = tabsOf(h);
  if (!t || index < 0 || static_cast<size_t>(index) >= t->labels.size()) return 0;
  t->removeTab(static_cast<size_t>(index));
  return 1;
}

int TabCtrl_SetCurSel(HWND h, int index) {
  Shim_vTavrin_tabview* t = tabsOf(h);
  if (!t) return -1;
  Ref<winsys::View> hold(t);
  const int prev = std::max(t->selectedIndex, 0);
  t->selectTab(index);
  return prev;
}

int TabCtrl_GetCurSel(HWND h) {
  Shim_vTavrin_tabview* t = tabsOf(h);
  return t ? std::max(t->selectedIndex, 0) : 0;
}

int TabCtrl_AdjustRect(HWND h, int larger, RECT* r) {
  if (!tabsOf(h) || !r) return 0;
  const int s = larger ? -1 : 1;
  r->left += 7 * s;
  r->right -= 7 * s;
  r->top += 26 * s;
  r->bottom -= 3 * s;
  return 1;
}

LRESULT Shim_vTavrin_progind::onShimMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case PBM_SETRANGE:
      minValue = static_cast<double>(lp & 0xFFFF);
      maxValue = static_cast<double>((lp >> 16) & 0xFFFF);
      break;
    case PBM_SETPOS:
      doubleValue = static_cast<double>(static_cast<uint32_t>(wp));
      animating = false;
      break;
    case PBM_DELTAPOS: doubleValue += static_cast<double>(static_cast<uint32_t>(wp)); break;
    default: return 0;
  }
  setNeedsDisplay(true);
  return 0;
}

void SHIM_SendDrawItem(winsys::View* control, uint32_t type, uint32_t itemID, const winsys::Rect& f,
                       uintptr_t itemData) {
  HWND h = SHIM_Handle(control);
  HDC dc = GetDC(h);
  if (!dc) return;
  DRAWITEMSTRUCT d{};
  d.CtlType = type;
  d.CtlID = static_cast<uint32_t>(control->tag());
  d.itemID = itemID;
  d.hwndItem = h;
  d.hDC = dc;
  d.rcItem.left = roundHalf(f.x);
  d.rcItem.top = roundHalf(f.y);
  d.rcItem.right = d.rcItem.left + roundHalf(f.w);
  d.rcItem.bottom = d.rcItem.top + roundHalf(f.h);
  d.itemData = itemData;
  SendMessage(GetParent(h), WM_DRAWITEM, static_cast<WPARAM>(control->tag()), reinterpret_cast<LPARAM>(&d));
  ReleaseDC(h, dc);
}

void SHIM_SetOwnerDrawnButtonCell(winsys::Control* c) {
  c->drawCell = [](winsys::Control* self, platform::Surface*) {
    SHIM_SendDrawItem(self, ODT_BUTTON, 0, self->frame(), 0);
  };
}

void SHIM_DrawFocusRect(HWND w, const RECT* r, HWND* slot) {
  if (!slot) return;
  winsys::Window* held = SHIM_As<winsys::Window>(*slot);
  if (!r) {
    if (held) closeFocusWindow(held);
    *slot = nullptr;
    return;
  }
  POINT a{r->left, r->top}, b{r->right, r->bottom};
  winsys::Window* parent = nullptr;
  if (w) {
    winsys::Object* o = SHIM_Obj(w);
    if (auto* win = dynamic_cast<winsys::Window*>(o))
      parent = win;
    else if (auto* v = dynamic_cast<winsys::View*>(o))
      parent = v->window();
    else
      return;
    ClientToScreen(w, &a);
    ClientToScreen(w, &b);
  }
  if (b.y < a.y) std::swap(a.y, b.y);
  const winsys::Rect frame{static_cast<double>(a.x), static_cast<double>(a.y), static_cast<double>(b.x - a.x),
                           static_cast<double>(b.y - a.y)};
  if (!held || held->parentWindow() != parent) {
    if (held) closeFocusWindow(held);
    held = new winsys::Window(frame, 0);
    held->releasedWhenClosed = true;
    held->isOpaqueWindow = true;
    held->alpha = 0.5;
    held->ignoresMouseEvents = true;
    auto* content = new Shim_vTavrin_drawfocusrectwnd;
    held->setContentView(content);
    content->release();
    if (parent) {
      parent->addChildWindow(held);
    } else {
      held->level = 101;
      held->orderFront();
    }
    *slot = SHIM_Handle(held);
  }
  held->setFrame(frame, true);
  held->display();
}
