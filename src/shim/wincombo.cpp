// Combo boxes and drop-down lists (their maker and item functions, and the
// combo messages SendMessage answers for them) and trackbars.
#include <cstdint>
#include <cstring>
#include <string>

#include "kit/utf8.h"
#include "shim/winctlclass.h"

using winsys::Ref;

namespace {

constexpr int kAppend = -1000;

winsys::View* controlOf(HWND w, int id) { return SHIM_As<winsys::View>(GetDlgItem(w, id)); }

// The items of a pop-up button or combo box, or null for other views.
const std::vector<std::string>* itemsOf(winsys::View* v) {
  if (auto* p = dynamic_cast<winsys::PopUpButton*>(v)) return &p->items;
  if (auto* c = dynamic_cast<winsys::ComboBox*>(v)) return &c->items;
  return nullptr;
}

int countOf(winsys::View* v) {
  const auto* items = itemsOf(v);
  return items ? static_cast<int>(items->size()) : 0;
}

bool inRange(int index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

// The place that keeps items in byte order; among equal items the new one
// goes before the equal item the search meets first.
size_t sortedPlace(const std::vector<std::string>& items, const std::string& text) {
  const size_t c = items.size();
  if (c == 0) return 0;
  size_t lo = 0, span = c;
  for (;;) {
    const size_t mid = lo + span / 2;
    const int cmp = text.compare(items[mid]);
    if (cmp == 0) return mid;
    if (cmp > 0) {
      if (mid + 1 == c) return c;
      if (text.compare(items[mid + 1]) <= 0) return mid + 1;
      lo = mid + 1;
      span = span - 1;
    }
    span = span / 2;
    if (span == 0) return 0;
  }
}

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool matches(const char* item, const char* text, bool exact) {
  size_t i = 0;
  for (; text[i]; ++i)
    if (foldAscii(item[i]) != foldAscii(text[i])) return false;
  return !exact || item[i] == 0;
}

}  // namespace

HWND SHIM_MakeCombo(int id, int x, int y, int w, int, int flags) {
  winsys::View* owner = SHIM_MakeOwner();
  if (!owner) return nullptr;
  const auto fl = static_cast<unsigned>(flags);
  if ((fl & 3) != CBS_DROPDOWNLIST) {
    auto* c = new Shim_vTavrin_cbox;
    c->focusRingType = 1;
    c->fontSize = 10;
    c->editable = true;
    c->setShimStyle(flags);
    c->setTag(id);
    c->setFrame(MakeCoords(x, y - 1, w, 22, true, true));
    SHIM_SetTargetAction(c, owner);
    SHIM_SetDelegate(c, owner);
    SHIM_AddToOwner(owner, c, fl);
    SHIM_RecordAutoShift(c);
    return SHIM_Handle(c);
  }
  auto* p = new Shim_vTavrin_pub;
  p->setTag(id);
  p->fontSize = 10;
  p->setFrame(MakeCoords(x, y, w, 18, true, true));
  p->setShimStyle(flags);
  p->autoenablesItems = false;
  SHIM_SetTargetAction(p, owner);
  if (g_shim_want_nice_style == 1) {
    p->bezelStyle = 6;
    p->arrowPosition = 2;
  }
  SHIM_AddToOwner(owner, p, fl);
  SHIM_RecordAutoShift(p);
  return SHIM_Handle(p);
}

int SHIM_CB_AddString(HWND w, int id, const char* text) { return SHIM_CB_InsertString(w, id, kAppend, text); }

int SHIM_CB_InsertString(HWND w, int id, int pos, const char* text) {
  winsys::View* v = controlOf(w, id);
  if (!v) return 0;
  Ref<winsys::View> hold(v);
  const std::string s = text ? text : "";
  const int n = countOf(v);
  const bool append = pos == kAppend;
  size_t place = static_cast<size_t>(append ? n : pos < 0 ? 0 : pos > n ? n : pos);
  if (auto* c = dynamic_cast<winsys::ComboBox*>(v)) {
    auto* sc = dynamic_cast<Shim_vTavrin_cbox*>(c);
    if (append && sc && (sc->getShimStyle() & CBS_SORT)) place = sortedPlace(c->items, s);
    c->insertItem(s, place);
    if (sc) sc->m_ids.insert(sc->m_ids.begin() + static_cast<std::ptrdiff_t>(std::min(place, sc->m_ids.size())), 0);
    c->numberOfVisibleItems = n + 1;
  } else if (auto* p = dynamic_cast<winsys::PopUpButton*>(v)) {
    auto* sp = dynamic_cast<Shim_vTavrin_pub*>(p);
    if (append && sp && (sp->getShimStyle() & CBS_SORT)) place = sortedPlace(p->items, s);
    p->insertItem(s, place);
  }
  return static_cast<int>(place);
}

void SHIM_CB_DeleteString(HWND w, int id, int index) {
  winsys::View* v = controlOf(w, id);
  if (auto* c = dynamic_cast<winsys::ComboBox*>(v)) {
    if (!inRange(index, c->items.size())) return;
    c->removeItemAt(static_cast<size_t>(index));
    if (auto* sc = dynamic_cast<Shim_vTavrin_cbox*>(c); sc && inRange(index, sc->m_ids.size()))
      sc->m_ids.erase(sc->m_ids.begin() + index);
  } else if (auto* p = dynamic_cast<winsys::PopUpButton*>(v)) {
    if (inRange(index, p->items.size())) p->removeItemAt(static_cast<size_t>(index));
  }
}

int SHIM_CB_GetNumItems(HWND w, int id) { return countOf(controlOf(w, id)); }

int SHIM_CB_GetCurSel(HWND w, int id) {
  winsys::View* v = controlOf(w, id);
  if (auto* p = dynamic_cast<winsys::PopUpButton*>(v)) return p->selectedIndex;
  if (auto* c = dynamic_cast<winsys::ComboBox*>(v)) return c->selectedIndex;
  return -1;
}

void SHIM_CB_SetCurSel(HWND w, int id, int index) {
  winsys::View* v = controlOf(w, id);
  if (auto* p = dynamic_cast<winsys::PopUpButton*>(v)) {
    if (inRange(index, p->items.size())) p->selectedIndex = index;
  } else if (auto* c = dynamic_cast<winsys::ComboBox*>(v)) {
    if (!inRange(index, c->items.size())) return;
    c->selectedIndex = index;
    c->stringValue = c->items[static_cast<size_t>(index)];
  }
}

bool SHIM_CB_GetItemText(HWND w, int id, int index, char* buf, int bufsz) {
  if (!buf || bufsz < 1) return false;
  buf[0] = 0;
  const auto* items = itemsOf(controlOf(w, id));
  if (!items || !inRange(index, items->size())) return false;
  KIT_CopyField(buf, static_cast<size_t>(bufsz), (*items)[static_cast<size_t>(index)].c_str());
  return true;
}

void SHIM_CB_Empty(HWND w, int id) {
  winsys::View* v = controlOf(w, id);
  if (auto* p = dynamic_cast<winsys::PopUpButton*>(v)) p->removeAllItems();
  if (auto* c = dynamic_cast<winsys::ComboBox*>(v)) {
    c->removeAllItems();
    if (auto* sc = dynamic_cast<Shim_vTavrin_cbox*>(c)) sc->m_ids.clear();
  }
}

LPARAM SHIM_CB_GetItemData(HWND w, int id, int index) {
  winsys::View* v = controlOf(w, id);
  if (auto* p = dynamic_cast<winsys::PopUpButton*>(v)) {
    if (!inRange(index, p->items.size())) return 0;
    auto* h = dynamic_cast<Shim_vTavrin_sdh*>(p->representedObjectAt(static_cast<size_t>(index)));
    return h ? h->getValue() : 0;
  }
  if (auto* c = dynamic_cast<Shim_vTavrin_cbox*>(v))
    if (inRange(index, c->items.size()) && inRange(index, c->m_ids.size())) return c->m_ids[static_cast<size_t>(index)];
  return 0;
}

void SHIM_CB_SetItemData(HWND w, int id, int index, LPARAM value) {
  winsys::View* v = controlOf(w, id);
  if (auto* p = dynamic_cast<winsys::PopUpButton*>(v)) {
    if (!inRange(index, p->items.size())) return;
    auto* h = new Shim_vTavrin_sdh(value);
    p->setRepresentedObjectAt(static_cast<size_t>(index), h);
    h->release();
  } else if (auto* c = dynamic_cast<Shim_vTavrin_cbox*>(v)) {
    if (inRange(index, c->items.size()) && inRange(index, c->m_ids.size())) c->m_ids[static_cast<size_t>(index)] = value;
  }
}

int SHIM_CB_FindString(HWND w, int id, int start, const char* text, bool exact) {
  winsys::View* v = controlOf(w, id);
  if (!v) return 0;
  if (!text) return -1;
  const auto* items = itemsOf(v);
  if (!items) return -1;
  char buf[4096];
  for (size_t i = start < 0 ? 0 : static_cast<size_t>(start) + 1; i < items->size(); ++i) {
    KIT_CopyField(buf, (*items)[i].c_str());
    if (matches(buf, text, exact)) return static_cast<int>(i);
  }
  return -1;
}

// ---- Trackbars ----

int SHIM_TB_GetPos(HWND w, int id) {
  winsys::View* v = controlOf(w, id);
  if (auto* s = dynamic_cast<winsys::Slider*>(v)) return static_cast<int>(s->doubleValue + 0.5);
  if (SHIM_Entry(v)) return static_cast<int>(SHIM_DeliverMessage(v, TBM_GETPOS, 0, 0));
  return 0;
}

void SHIM_TB_SetPos(HWND w, int id, int pos) {
  winsys::View* v = controlOf(w, id);
  if (auto* s = dynamic_cast<winsys::Slider*>(v))
    s->setDoubleValue(pos);
  else if (SHIM_Entry(v))
    SHIM_DeliverMessage(v, TBM_SETPOS, 1, pos);
}

void SHIM_TB_SetRange(HWND w, int id, int low, int high) {
  winsys::View* v = controlOf(w, id);
  if (auto* s = dynamic_cast<winsys::Slider*>(v)) {
    s->minValue = low;
    s->maxValue = high;
    s->setDoubleValue(s->doubleValue);
  } else if (SHIM_Entry(v)) {
    SHIM_DeliverMessage(v, TBM_SETRANGE, 1, static_cast<LPARAM>((low & 0xFFFF) | (static_cast<uint32_t>(high) << 16)));
  }
}

void SHIM_TB_SetTic(HWND w, int id, int pos) {
  winsys::View* v = controlOf(w, id);
  if (!dynamic_cast<winsys::Slider*>(v) && SHIM_Entry(v)) SHIM_DeliverMessage(v, TBM_SETTIC, 0, pos);
}

// ---- SendMessage's combo answers ----

LRESULT SHIM_ComboMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  const auto text = reinterpret_cast<const char*>(lp);
  const auto signedWp = static_cast<intptr_t>(wp);
  const int index = signedWp < INT32_MIN || signedWp > INT32_MAX ? -1 : static_cast<int>(signedWp);
  switch (msg) {
    case CB_ADDSTRING: return SHIM_CB_InsertString(h, 0, kAppend, text);
    case CB_DELETESTRING: SHIM_CB_DeleteString(h, 0, index); return 1;
    case CB_GETCOUNT: return SHIM_CB_GetNumItems(h, 0);
    case CB_GETCURSEL: return SHIM_CB_GetCurSel(h, 0);
    case CB_GETLBTEXT: return SHIM_CB_GetItemText(h, 0, index, reinterpret_cast<char*>(lp), 1024);
    case CB_INSERTSTRING: return SHIM_CB_InsertString(h, 0, index, text);
    case CB_RESETCONTENT: SHIM_CB_Empty(h, 0); return 0;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT: return text ? SHIM_CB_FindString(h, 0, index, text, msg == CB_FINDSTRINGEXACT) : -1;
    case CB_SETCURSEL:
      if (signedWp >= 0 && signedWp < SHIM_CB_GetNumItems(h, 0)) SHIM_CB_SetCurSel(h, 0, index);
      return 0;
    case CB_GETITEMDATA: return SHIM_CB_GetItemData(h, 0, index);
    case CB_SETITEMDATA: SHIM_CB_SetItemData(h, 0, index, lp); return 0;
    default: return 0;
  }
}
