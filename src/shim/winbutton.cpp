// The makers of push buttons, labels, edit fields and group boxes, and the
// messages the multi-line text view answers itself.
#include <cstdint>
#include <cstring>

#include "platform/textengine.h"
#include "shim/winctlclass.h"

using winsys::Ref;

HWND SHIM_MakeButton(int def, const char* label, int id, int x, int y, int w, int h, int flags) {
  winsys::View* owner = SHIM_MakeOwner();
  if (!owner) return nullptr;
  const bool resource = reinterpret_cast<uintptr_t>(label) < 0x10000;
  auto* b = new Shim_vTavrin_button;
  SHIM_ApplyScaleFont(b);
  b->setTag(id);
  b->bezelStyle = g_shim_want_nice_style == 1 ? 6 : 1;
  winsys::Rect f = MakeCoords(x, y, w, h, true, false);
  if (g_shim_want_nice_style != 1 && f.h >= 18 && f.h < 24) f.h = 24;
  b->setFrame(f);
  b->title = resource ? std::string("ICONTEMP") : SHIM_StripMnemonics(label);
  SHIM_SetTargetAction(b, owner);
  SHIM_AddToOwner(owner, b, static_cast<unsigned>(flags));
  SHIM_RecordAutoShift(b);
  if (def && owner->window()) owner->window()->defaultButton = b;
  return SHIM_Handle(b);
}

HWND SHIM_MakeLabel(int align, const char* label, int id, int x, int y, int w, int h, int flags) {
  winsys::View* owner = SHIM_MakeOwner();
  if (!owner) return nullptr;
  auto* t = new Shim_vTavrin_textfield;
  t->editable = t->selectable = false;
  t->bordered = t->bezeled = t->drawsBackground = false;
  SHIM_ApplyScaleFont(t);
  if (static_cast<unsigned>(flags) & SS_NOTIFY) SHIM_SetTargetAction(t, owner);
  t->stringValue = SHIM_StripMnemonics(label);
  t->alignment = align < 0 ? winsys::Control::Left : align == 0 ? winsys::Control::Centered : winsys::Control::Right;
  t->wraps = h > 12;
  t->setTag(id);
  t->setFrame(MakeCoords(x, y, w, h, true, false));
  SHIM_AddToOwner(owner, t, static_cast<unsigned>(flags));
  if (SHIM_CurParms().sizetofits && label && std::strlen(label) >= 2) t->sizeToFit();
  SHIM_RecordAutoShift(t);
  return SHIM_Handle(t);
}

HWND SHIM_MakeEditField(int id, int x, int y, int w, int h, int flags) {
  winsys::View* owner = SHIM_MakeOwner();
  if (!owner) return nullptr;
  const auto fl = static_cast<unsigned>(flags);
  const bool readOnly = fl & ES_READONLY;
  if (!(fl & (WS_HSCROLL | WS_VSCROLL))) {
    winsys::TextField* t = nullptr;
    if (fl & ES_PASSWORD)
      t = new winsys::SecureTextField;
    else
      t = new Shim_vTavrin_textfield;
    t->editable = !readOnly;
    t->selectable = true;
    SHIM_ApplyScaleFont(t);
    if (fl & ES_CENTER)
      t->alignment = winsys::Control::Centered;
    else if (fl & ES_RIGHT)
      t->alignment = winsys::Control::Right;
    if (h > -20 && h < 20) t->wraps = false;
    t->setTag(id);
    SHIM_SetTargetAction(t, owner);
    SHIM_SetDelegate(t, owner);
    t->setFrame(MakeCoords(x, y, w, h, true, false));
    SHIM_AddToOwner(owner, t, fl);
    SHIM_RecordAutoShift(t);
    return SHIM_Handle(t);
  }
  auto* tv = new Shim_vTavrin_textview;
  tv->editable = !readOnly;
  tv->fontSize = SHIM_ScaleFontSize(tv->fontSize);
  tv->setTag(id);
  tv->horizontallyResizable = false;
  if (!(fl & WS_VSCROLL)) {
    tv->setFrame(MakeCoords(x, y, w, h, true, false));
    SHIM_AddToOwner(owner, tv, fl);
    SHIM_RecordAutoShift(tv);
    return SHIM_Handle(tv);
  }
  tv->verticallyResizable = true;
  auto* sv = new winsys::ScrollView;
  sv->setFrame(MakeCoords(x, y, w, h, true, false));
  sv->hasVerticalScroller = true;
  sv->hasHorizontalScroller = (fl & WS_HSCROLL) != 0;
  sv->autohidesScrollers = true;
  sv->drawsBackground = false;
  sv->setDocumentView(tv);
  tv->release();
  SHIM_AddToOwner(owner, sv, fl);
  SHIM_RecordAutoShift(sv);
  const winsys::Size cs = sv->contentSize();
  tv->setFrame(winsys::Rect{0, 0, cs.w, cs.h});
  return SHIM_Handle(sv);
}

HWND SHIM_MakeGroupBox(const char* title, int id, int x, int y, int w, int h, int style) {
  winsys::View* owner = SHIM_MakeOwner();
  if (!owner) return nullptr;
  auto* b = new Shim_vTavrin_box;
  b->title = SHIM_StripMnemonics(title);
  b->setTag(id);
  b->titleCentered = (style & 0x300) != 0;
  b->setFrame(MakeCoords(x, y - 1, w, h + 3, false, false));
  if (owner->subviews().empty())
    owner->addSubview(b);
  else
    owner->addSubview(b, winsys::View::Place::Below, owner->subviews().front());
  b->release();
  return SHIM_Handle(b);
}

LRESULT Shim_vTavrin_textview::onShimMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFONT: {
      auto font = reinterpret_cast<HGDIOBJ>(wp);
      if (SHIM_IsValidObject(font, SHIM_OBJ_FONT) && font->ct_FontRef)
        fontSize = platform::fontGetSize(font->ct_FontRef);
      return 0;
    }
    case EM_GETSEL:
      if (wp) *reinterpret_cast<int*>(wp) = static_cast<int>(selStart);
      if (lp) *reinterpret_cast<int*>(lp) = static_cast<int>(selStart + selLength);
      return 0;
    case EM_SETSEL:
      SHIM_ClampSelection(static_cast<intptr_t>(wp), lp, string.size(), &selStart, &selLength);
      return 0;
    case EM_SCROLL:
      if (wp == SB_TOP || wp == SB_BOTTOM) scrollToEnd(wp == SB_BOTTOM);
      return 0;
    default: return 0;
  }
}
