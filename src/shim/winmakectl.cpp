// Controls by class name, the custom control creators, and dialog
// generation from a list of control records.
#include <strings.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "shim/winctlclass.h"

namespace {

struct CustomControlCreatorRec {
  SHIM_CustomControlCreator creator;
  int count;
  CustomControlCreatorRec* next;
};
CustomControlCreatorRec* m_ccprocs = nullptr;

bool isClass(const char* name, const char* cls) { return strcasecmp(name, cls) == 0; }

// The frame without auto-right or fixed height.
winsys::Rect inlineFrame(int x, int y, int w, int h) { return MakeCoords(x, y, w, h, false, false); }

HWND fromCreators(winsys::View* owner, const char* text, int id, const char* cls, int style, int x, int y, int w,
                  int h) {
  const winsys::Rect f = inlineFrame(x, y, w, h);
  auto whole = [](double v) { return static_cast<int>(v + 0.5); };
  for (CustomControlCreatorRec* r = m_ccprocs; r; r = r->next) {
    HWND made = nullptr;
    try {
      made = r->creator(SHIM_Handle(owner), text, id, cls, style, whole(f.x), whole(f.y), whole(f.w), whole(f.h));
    } catch (...) {
      made = nullptr;
    }
    if (made) return made;
  }
  return nullptr;
}

HWND makeButtonByStyle(winsys::View* owner, const char* text, int id, int style, int x, int y, int w, int h) {
  const auto st = static_cast<uint32_t>(style);
  if (st & 0x20000000) return SHIM_MakeGroupBox(text, id, x, y, w, h, static_cast<int>(st & ~0x20000000u));
  if (st & 0x10000000) return SHIM_MakeButton(1, text, id, x, y, w, h, static_cast<int>(st & ~0x10000000u));
  if (st & 0x08000000) return SHIM_MakeButton(0, text, id, x, y, w, h, static_cast<int>(st & ~0x08000000u));
  auto* b = new Shim_vTavrin_button;
  b->setTag(id);
  const winsys::Rect f = MakeCoords(x, y, w, h, true, false);
  const uint32_t kind = st & 0xF;
  if (kind == BS_AUTOCHECKBOX || kind == BS_AUTO3STATE) {
    b->buttonType = winsys::Button::Switch;
    b->allowsMixedState = kind == BS_AUTO3STATE;
  } else if (kind == BS_AUTORADIOBUTTON) {
    b->buttonType = winsys::Button::Radio;
    b->shimSetRadioFlags((st & WS_GROUP) ? 3 : 1);
  } else if (kind == BS_OWNERDRAW) {
    SHIM_SetOwnerDrawnButtonCell(b);
  }
  SHIM_ApplyScaleFont(b);
  b->setFrame(f);
  b->title = SHIM_StripMnemonics(text);
  SHIM_SetTargetAction(b, owner);
  if (st & BS_LEFTTEXT) b->imagePosition = 3;
  SHIM_AddToOwner(owner, b, st);
  if (kind != BS_OWNERDRAW && SHIM_CurParms().sizetofits) b->sizeToFit();
  SHIM_RecordAutoShift(b);
  return SHIM_Handle(b);
}

HWND makeStatic(winsys::View* owner, const char* text, int id, int style, int x, int y, int w, int h) {
  auto* t = new Shim_vTavrin_textfield;
  t->editable = t->selectable = false;
  t->bordered = t->bezeled = t->drawsBackground = false;
  SHIM_ApplyScaleFont(t);
  t->stringValue = SHIM_StripMnemonics(text);
  const int low = style & 0x1F;
  if (low == SS_CENTER) t->alignment = winsys::Control::Centered;
  if (low == SS_RIGHT) t->alignment = winsys::Control::Right;
  if (low == SS_LEFTNOWORDWRAP) t->wraps = false;
  t->setTag(id);
  t->setFrame(MakeCoords(x, y, w, h, true, false));
  SHIM_AddToOwner(owner, t, static_cast<uint32_t>(style));
  if (low == SS_BLACKRECT) t->setHidden(true);
  return SHIM_Handle(t);
}

HWND makeSlider(winsys::View* owner, int id, int style, int x, int y, int w, int h, bool small) {
  auto* s = new winsys::Slider;
  s->setTag(id);
  s->minValue = 0;
  s->maxValue = 1000;
  s->setFrame(inlineFrame(x, y, w, h));
  if (small) s->controlSize = 2;
  SHIM_SetTargetAction(s, owner);
  SHIM_AddToOwner(owner, s, static_cast<uint32_t>(style));
  return SHIM_Handle(s);
}

HWND makeTabs(winsys::View* owner, int id, int style, int x, int y, int w, int h) {
  auto* t = new Shim_vTavrin_tabview;
  t->setTag(id);
  t->allowsTruncatedLabels = true;
  t->setNotificationWindow(SHIM_Handle(owner));
  t->setFrame(inlineFrame(x, y - 1, w, h + 6));
  SHIM_AddToOwner(owner, t, static_cast<uint32_t>(style));
  return SHIM_Handle(t);
}

HWND makeProgress(winsys::View* owner, int id, int style, int x, int y, int w, int h) {
  auto* p = new Shim_vTavrin_progind;
  p->style = 0;
  p->indeterminate = false;
  p->setTag(id);
  p->setFrame(inlineFrame(x, y, w, h));
  SHIM_AddToOwner(owner, p, static_cast<uint32_t>(style));
  return SHIM_Handle(p);
}

}  // namespace

void SHIM_RegisterCustomControlCreator(SHIM_CustomControlCreator creator) {
  if (!creator) return;
  CustomControlCreatorRec** at = &m_ccprocs;
  for (; *at; at = &(*at)->next) {
    if ((*at)->creator == creator) {
      ++(*at)->count;
      return;
    }
  }
  *at = new CustomControlCreatorRec{creator, 1, nullptr};
}

void SHIM_UnregisterCustomControlCreator(SHIM_CustomControlCreator creator) {
  if (!creator) return;
  for (CustomControlCreatorRec** at = &m_ccprocs; *at; at = &(*at)->next) {
    CustomControlCreatorRec* r = *at;
    if (r->creator != creator) continue;
    if (r->count-- <= 1) {
      *at = r->next;
      delete r;
    }
    return;
  }
}

void SHIM_ResetCustomControlCreators() {
  while (m_ccprocs) {
    CustomControlCreatorRec* r = m_ccprocs;
    m_ccprocs = r->next;
    delete r;
  }
}

HWND SHIM_MakeControl(const char* text, int id, const char* cls, int style, int x, int y, int w, int h,
                      int exstyle) {
  winsys::View* owner = SHIM_MakeOwner();
  if (!owner) return nullptr;
  winsys::Ref<winsys::View> hold(owner);
  if (m_ccprocs) {
    if (HWND made = fromCreators(owner, text, id, cls, style, x, y, w, h)) {
      if (exstyle) SetWindowLong(made, GWL_EXSTYLE, exstyle);
      return made;
    }
  }
  if (reinterpret_cast<uintptr_t>(cls) < 0x10000) return nullptr;
  if (isClass(cls, "SysTabControl32")) return makeTabs(owner, id, style, x, y, w, h);
  if (isClass(cls, "SysListView32") || isClass(cls, "SysListView32_LB"))
    return SHIM_MakeListView(owner, isClass(cls, "SysListView32_LB"), id, style, inlineFrame(x, y, w, h));
  if (isClass(cls, "SysTreeView32")) return SHIM_MakeTreeView(owner, id, style, inlineFrame(x, y, w, h));
  if (isClass(cls, "msctls_progress32")) return makeProgress(owner, id, style, x, y, w, h);
  if (isClass(cls, "Edit")) return SHIM_MakeEditField(id, x, y, w, h, style);
  if (isClass(cls, "static")) return makeStatic(owner, text, id, style, x, y, w, h);
  if (isClass(cls, "Button")) return makeButtonByStyle(owner, text, id, style, x, y, w, h);
  if (isClass(cls, SHIM_FADER_CLASS)) return makeSlider(owner, id, style, x, y, w, h, false);
  if (isClass(cls, "msctls_trackbar32")) return makeSlider(owner, id, style, x, y, w, h, true);
  return nullptr;
}

HWND SHIM_MakeCheckBox(const char* text, int id, int x, int y, int w, int h, int style) {
  return SHIM_MakeControl(text, id, "Button", style | BS_AUTOCHECKBOX, x, y, w, h, 0);
}

HWND SHIM_MakeListBox(int id, int x, int y, int w, int h, int style) {
  return SHIM_MakeControl("", id, "SysListView32_LB", style, x, y, w, h, 0);
}

void SHIM_GenerateDialogFromList(const SHIM_DialogControlRecord* list, int count) {
  if (!list || count <= 0) return;
  for (int i = 0; i < count; ++i) {
    const SHIM_DialogField* f = list[i].f;
    // A first field below 0x10000 is a resource number, never a marker.
    const char* first = reinterpret_cast<uintptr_t>(f[0].text()) >= 0x10000 ? f[0].text() : nullptr;
    auto is = [first](const char* marker) { return first && std::strcmp(first, marker) == 0; };
    const int x = f[4].value(), y = f[5].value(), w = f[6].value(), h = f[7].value();
    if (is("__SHIM_BUTTON")) {
      SHIM_MakeButton(f[1].value(), f[2].text(), f[3].value(), x, y, w, h, f[8].value());
    } else if (is("__SHIM_EDIT")) {
      SHIM_MakeEditField(f[3].value(), x, y, w, h, f[8].value());
    } else if (is("__SHIM_COMBO")) {
      SHIM_MakeCombo(f[3].value(), x, y, w, h, f[8].value());
    } else if (is("__SHIM_LISTBOX")) {
      SHIM_MakeControl("", f[3].value(), "SysListView32_LB", f[8].value(), x, y, w, h, 0);
    } else if (is("__SHIM_GROUP")) {
      SHIM_MakeGroupBox(f[2].text(), f[3].value(), x, y, w, h, f[8].value());
    } else if (is("__SHIM_CHECKBOX")) {
      SHIM_MakeControl(f[2].text(), f[3].value(), "Button", f[8].value() | BS_AUTOCHECKBOX, x, y, w, h, 0);
    } else if (is("__SHIM_LABEL")) {
      SHIM_MakeLabel(f[1].value(), f[2].text(), f[3].value(), x, y, w, h, f[8].value());
    } else {
      const char* cls = f[2].text();
      if (reinterpret_cast<uintptr_t>(cls) < 0x10000 || !*cls) continue;
      SHIM_MakeControl(f[0].text(), f[1].value(), cls, f[3].value(), x, y, w, h, f[8].value());
    }
  }
}
