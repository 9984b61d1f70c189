// Control placement: the creation parameters, dialog units to view frames
// with auto-right placement, the rules every maker shares (font by scale,
// mnemonic marks, the display hook) and the queries on a control.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "shim/winctlclass.h"

int g_shim_want_nice_style = 1;

namespace {

ShimCreationParms g_parms;

// A value plus 0.5 in double precision, truncated toward zero (values too
// large for a whole number, and NaN, stay as they are).
float truncHalf(double v) {
  const double t = v + 0.5;
  return std::fabs(t) < 9e18 ? static_cast<float>(static_cast<long long>(t)) : static_cast<float>(v);
}
float roundUnit(float v) { return truncHalf(static_cast<double>(v)); }

}  // namespace

ShimCreationParms& SHIM_CurParms() { return g_parms; }

void SHIM_ResetControlState() {
  g_parms = ShimCreationParms{};
  SHIM_ResetCustomControlCreators();
  SHIM_ResetListState();
  SHIM_ResetTreeState();
  g_shim_want_nice_style = 1;
}

void SHIM_MakeSetCurParms(float xscale, float yscale, float xoffs, float yoffs, HWND parent, bool doautoright,
                          bool dosizetofit) {
  ShimCreationParms& p = g_parms;
  p.sizetofits = dosizetofit;
  p.lastdoauto[0] = 0;
  p.lastdoauto[1] = -100;
  p.lastdoauto[2] = 0;
  p.doautoright = doautoright;
  p.transform[0] = xoffs;
  p.transform[1] = yoffs;
  p.transform[2] = xscale;
  p.transform[3] = yscale;
  winsys::Object* o = SHIM_Obj(parent);
  p.owner = dynamic_cast<winsys::View*>(o);
  if (auto* w = dynamic_cast<winsys::Window*>(o)) p.owner = w->contentView();
  p.parent_h = 100;
  if (p.owner) {
    p.parent_h = static_cast<float>(p.owner->bounds().h);
    if (p.transform[3] > 0 && p.owner->isFlipped()) p.transform[3] = -p.transform[3];
  }
}

winsys::View* SHIM_MakeOwner() { return winsys::live(g_parms.owner); }

winsys::Rect MakeCoords(int x, int y, int w, int h, bool wantauto, bool fixedHeight) {
  ShimCreationParms& p = g_parms;
  if (w < 0 && h < 0) return winsys::Rect{-static_cast<double>(x), -static_cast<double>(y), -static_cast<double>(w),
                                          -static_cast<double>(h)};
  const float xo = p.transform[0], yo = p.transform[1], xs = p.transform[2], ys = p.transform[3];
  const float f = fixedHeight ? 1.f : ys;
  float fx = roundUnit((static_cast<float>(x) + xo) * xs);
  const float fw = roundUnit(static_cast<float>(w) * xs);
  const float fh = truncHalf(std::fabs(static_cast<double>(f)) * h);
  float fy;
  if (ys < 0)
    fy = roundUnit(-ys * (static_cast<float>(y) + yo));
  else  // an owner whose y axis points up: dialog y still counts from the top
    fy = roundUnit(p.parent_h - ys * (static_cast<float>(y) + yo) - fh);
  if (p.doautoright && wantauto) {
    const float unmoved = fx;
    if (std::fabs(fx - p.lastdoauto[0]) < 32 && p.lastdoauto[1] >= fy && fy + fh > p.lastdoauto[1])
      fx += std::trunc(p.lastdoauto[2]);
    p.lastdoauto[0] = unmoved + fw;
    p.lastdoauto[1] = fy + fh * 0.5f;
    p.lastdoauto[2] = 0;
  }
  return winsys::Rect{fx, fy, fw, fh};
}

void SHIM_RecordAutoShift(const winsys::View* v) {
  if (!g_parms.doautoright || !v) return;
  g_parms.lastdoauto[2] = static_cast<float>(v->frame().x + v->frame().w) - g_parms.lastdoauto[0];
}

float SHIM_ScaleFontSize(float current) {
  const float xs = g_parms.transform[2];
  if (xs >= 1.81f) return current;
  return xs < 1.0f ? 8.f : 10.f;
}

void SHIM_ApplyScaleFont(winsys::Control* c) { c->fontSize = SHIM_ScaleFontSize(c->fontSize); }

std::string SHIM_StripMnemonics(const char* text) {
  if (reinterpret_cast<uintptr_t>(text) < 0x10000) return {};  // null or a resource number
  const size_t n = std::strlen(text);
  if (n >= 1024 || !std::memchr(text, '&', n)) return std::string(text, n);
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (text[i] == '&') {
      if (++i >= n) break;
    }
    out += text[i];
  }
  return out;
}

void SHIM_AddToOwner(winsys::View* owner, winsys::View* v, unsigned flags) {
  if (flags & SHIM_CREATE_HIDDEN) v->setHidden(true);
  owner->addSubview(v);
  v->release();
}

void SHIM_SetTargetAction(winsys::Control* c, winsys::View* owner) {
  c->action = [owner](winsys::View* sender) {
    if (auto* hw = winsys::lookup<Shim_vTavrin_hwnd>(owner)) hw->onShimCommand(sender);
  };
}

void SHIM_SetDelegate(winsys::Control* c, winsys::View* owner) {
  c->delegate = [owner](winsys::View* sender, winsys::Control::Notice n) {
    auto* hw = winsys::lookup<Shim_vTavrin_hwnd>(owner);
    if (!hw) return;
    winsys::Ref<winsys::View> hold(hw);
    switch (n) {
      case winsys::Control::Notice::TextDidChange: hw->controlTextDidChange(sender); break;
      case winsys::Control::Notice::TextDidEndEditing: hw->textDidEndEditing(sender); break;
      case winsys::Control::Notice::WillPopUp: hw->comboBoxWillPopUp(sender); break;
      case winsys::Control::Notice::SelectionDidChange: hw->comboBoxSelectionDidChange(sender); break;
    }
  };
}

void SHIM_MarkDirtyAbove(winsys::View* v) {
  for (winsys::View* up = v ? v->superview() : nullptr; up; up = up->superview()) {
    auto* h = dynamic_cast<Shim_vTavrin_hwnd*>(up);
    if (!h) continue;
    if (h->m_isdirty & 2) break;
    h->m_isdirty |= 2;
  }
}

void SHIM_GetDesiredControlSize(HWND control, RECT* r) {
  auto* c = SHIM_As<winsys::Control>(control);
  if (!c || !r) return;
  winsys::Ref<winsys::View> hold(c);
  const winsys::Rect was = c->frame();
  c->sizeToFit();
  const winsys::Rect fit = c->frame();
  c->setFrame(was);
  *r = RECT{0, 0, static_cast<int>(fit.w), static_cast<int>(fit.h)};
}

bool SHIM_IsButton(HWND h) { return SHIM_As<Shim_vTavrin_button>(h) != nullptr; }
bool SHIM_IsGroupBox(HWND h) { return SHIM_As<Shim_vTavrin_box>(h) != nullptr; }
bool SHIM_IsStaticText(HWND h) { return SHIM_As<winsys::TextField>(h) != nullptr; }
