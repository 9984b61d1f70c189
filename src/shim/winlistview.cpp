// List views and list boxes: rows, selection, sorting, the list-box
// messages, mouse handling and the notices of user changes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "kit/utf8.h"
#include "shim/winctlclass.h"
#include "shim/winseam.h"

using winsys::Ref;

namespace {

// One for the whole layer: a set-all in progress, and a notice being sent.
int g_setAllDepth = 0;
bool g_notifying = false;

Shim_vTavrin_listview* listViewOf(HWND h) { return SHIM_As<Shim_vTavrin_listview>(h); }

int toIndex(WPARAM wp) {
  const auto v = static_cast<intptr_t>(wp);
  return v < INT32_MIN || v > INT32_MAX ? -1 : static_cast<int>(v);
}

// The place that keeps rows ordered by their first text: ascending or
// descending strcmp; a new text equal to a row's goes before it.
int sortedPosition(const Shim_vTavrin_listview* lv, const char* text, bool descending) {
  const int count = static_cast<int>(lv->m_items.size());
  if (count == 0) return 0;
  auto key = [lv](int r) {
    const auto& t = lv->m_items[static_cast<size_t>(r)]->m_texts;
    return t.empty() ? "" : t[0].c_str();
  };
  auto compare = [&](int r) { return descending ? std::strcmp(key(r), text) : std::strcmp(text, key(r)); };
  int n = count, lo = 0;
  for (;;) {
    const int mid = lo + n / 2;
    const int c = compare(mid);
    if (c == 0) return mid;
    if (c > 0) {
      lo = mid + 1;
      if (lo >= count) return lo;
      if (compare(lo) <= 0) return lo;
      n = n - 1;
    }
    n = n / 2;
    if (n == 0) return 0;
  }
}

void selectRow(Shim_vTavrin_listview* lv, int row) {
  lv->selectRows({row}, lv->extendsSelection());
}

// The selection with every selected row from `from` on moved by delta (rows
// equal to `drop` are left out).
void shiftSelection(Shim_vTavrin_listview* lv, int from, int delta, int drop) {
  std::vector<int> next;
  for (int r : lv->selectedRows()) {
    if (r == drop) continue;
    next.push_back(r >= from ? r + delta : r);
  }
  int last = lv->selectedRow();
  if (last == drop) last = next.empty() ? -1 : next.back();
  else if (last >= from) last += delta;
  lv->replaceSelection(next, last);
}

// Merge sort of rows by their values (kept beside the rows so that the
// comparisons read contiguous memory); equal keys keep their order. The
// first half holds n / 2 rows; both halves are sorted, then merged, taking
// the first half's head while it compares <= 0 with the second's. The
// halves are sorted into the other array and merged back, so nothing is
// copied before a merge; the comparisons are the same as when the first
// half is copied aside and merged in place.
using SortEntry = std::pair<LPARAM, SHIM_ListView_Row*>;
struct RowSorter {
  PFNLVCOMPARE compare;
  LPARAM param;

  // Merges [a, aEnd) and [b, bEnd) into out. The entry taken is chosen
  // without a branch: the comparison's outcome is as good as random.
  void merge(const SortEntry* a, const SortEntry* aEnd, const SortEntry* b, const SortEntry* bEnd,
             SortEntry* out) const {
    const PFNLVCOMPARE cmp = compare;
    const LPARAM p = param;
    while (a != aEnd && b != bEnd) {
      const bool first = cmp(a->first, b->first, p) <= 0;
      *out++ = *(first ? a : b);
      a += first;
      b += !first;
    }
    out = std::copy(a, aEnd, out);
    std::copy(b, bEnd, out);
  }

  // Sorts the n entries of rows into rows, or into other when intoOther;
  // the n entries of the other array are scratch.
  void sort(SortEntry* rows, SortEntry* other, size_t n, bool intoOther) const {
    if (n < 2) {
      if (intoOther && n == 1) other[0] = rows[0];
      return;
    }
    SortEntry* to = intoOther ? other : rows;
    if (n == 2) {
      const SortEntry x = rows[0], y = rows[1];
      const bool keep = compare(x.first, y.first, param) <= 0;
      to[0] = keep ? x : y;
      to[1] = keep ? y : x;
      return;
    }
    const size_t h = n / 2;
    sort(rows, other, h, !intoOther);
    sort(rows + h, other + h, n - h, !intoOther);
    const SortEntry* from = intoOther ? rows : other;
    merge(from, from + h, from + h, from + n, to);
  }
};

NMLISTVIEW listRecord(Shim_vTavrin_listview* lv, int code, int row, int col) {
  NMLISTVIEW n{};
  n.hdr = NMHDR{SHIM_Handle(lv), static_cast<uintptr_t>(lv->tag()), code};
  n.iItem = row;
  n.iSubItem = col;
  return n;
}

}  // namespace

void SHIM_ResetListState() {
  g_setAllDepth = 0;
  g_notifying = false;
}

bool SHIM_HasFocus(winsys::View* v) { return v && GetFocus() == SHIM_Handle(v); }

unsigned SHIM_TableCellColor(const ShimColoredTable* t, winsys::View* table, bool selected, unsigned fallback) {
  if (selected && !t->m_selColors.empty()) {
    const bool focused = SHIM_HasFocus(table);
    if (focused && t->m_selColors.size() >= 2) return t->m_selColors[1];
    if (!focused && t->m_selColors.size() >= 4) return t->m_selColors[3];
  }
  return t->m_hasFg ? t->m_fgColor : fallback;
}

// ---- The class ----

Shim_vTavrin_listview::~Shim_vTavrin_listview() {
  for (SHIM_ListView_Row* r : m_items) delete r;
}

int Shim_vTavrin_listview::getColumnPos(int idx) const {
  if (idx < 0 || static_cast<size_t>(idx) >= m_cols.size()) return idx;
  return displayIndexOf(m_cols[static_cast<size_t>(idx)]);
}

int Shim_vTavrin_listview::getColumnIdx(int pos) const {
  if (pos < 0 || static_cast<size_t>(pos) >= columns().size()) return pos;
  auto it = std::find(m_cols.begin(), m_cols.end(), columns()[static_cast<size_t>(pos)]);
  return it == m_cols.end() ? -1 : static_cast<int>(it - m_cols.begin());
}

bool Shim_vTavrin_listview::extendsSelection() const {
  return m_lbMode ? (style & LBS_EXTENDEDSEL) != 0 : !(style & LVS_SINGLESEL);
}

std::string Shim_vTavrin_listview::cellText(winsys::TableColumn* column, int row) {
  auto it = std::find(m_cols.begin(), m_cols.end(), column);
  const int col = it == m_cols.end() ? -1 : static_cast<int>(it - m_cols.begin());
  if (!ownerData()) {
    if (row < 0 || static_cast<size_t>(row) >= m_items.size() || col < 0) return {};
    const auto& texts = m_items[static_cast<size_t>(row)]->m_texts;
    return static_cast<size_t>(col) < texts.size() ? texts[static_cast<size_t>(col)] : std::string();
  }
  char buf[1024] = {};
  NMLVDISPINFO d{};
  d.hdr = NMHDR{SHIM_Handle(this), static_cast<uintptr_t>(tag()), LVN_GETDISPINFO};
  d.item.mask = LVIF_TEXT;
  if (m_status_imagelist_type == LVSIL_SMALL) d.item.mask |= LVIF_IMAGE;
  if (m_status_imagelist_type == LVSIL_STATE) d.item.mask |= LVIF_STATE;
  d.item.iItem = row;
  d.item.iSubItem = col;
  d.item.pszText = buf;
  d.item.cchTextMax = 1023;
  d.item.iImage = -1;
  if (HWND t = target()) SendMessage(t, WM_NOTIFY, static_cast<WPARAM>(tag()), reinterpret_cast<LPARAM>(&d));
  buf[sizeof buf - 1] = 0;
  return buf;
}

unsigned Shim_vTavrin_listview::cellTextColor(int row) {
  return SHIM_TableCellColor(this, this, isRowSelected(row), textColor);
}

void Shim_vTavrin_listview::drawOwnerCell(winsys::TableColumn*, int row, const winsys::Rect& f) {
  const LPARAM data = row >= 0 && static_cast<size_t>(row) < m_items.size() ? m_items[static_cast<size_t>(row)]->m_lparam : 0;
  SHIM_SendDrawItem(this, ODT_LISTBOX, static_cast<uint32_t>(row), f, static_cast<uintptr_t>(data));
}

void Shim_vTavrin_listview::highlightSelectionInClipRect(const winsys::Rect& clip, platform::Surface* s) {
  const size_t k = SHIM_HasFocus(this) ? 0 : 2;
  if (m_selColors.size() > k)
    fillSelectedRows(clip, s, m_selColors[k]);
  else
    TableView::highlightSelectionInClipRect(clip, s);
}

LRESULT Shim_vTavrin_listview::notifyTarget(int code, int row, int col, winsys::Point at, LPARAM value) {
  HWND t = target();
  if (!t) return 0;
  NMLISTVIEW n = listRecord(this, code, row, col);
  n.ptAction = POINT{static_cast<int>(std::floor(at.x)), static_cast<int>(std::floor(at.y))};
  n.lParam = value;
  return SendMessage(t, WM_NOTIFY, static_cast<WPARAM>(tag()), reinterpret_cast<LPARAM>(&n));
}

void Shim_vTavrin_listview::sendMouseToTarget(UINT msg) {
  HWND t = target();
  if (!t) return;
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(t, &p);
  SendMessage(t, msg, 0, SHIM_PackPoint(p.x, p.y));
}

void Shim_vTavrin_listview::mouseDown(const winsys::Event& e) {
  Ref<winsys::View> hold(this);
  if ((e.modifiers & winsys::kControlKey) && IsRightClickEmulateEnabled()) {
    m_fakerightmouse = true;
    m_start_item = m_start_subitem = -1;
    return;
  }
  m_leftmousemovecnt = 0;
  m_fakerightmouse = false;
  const winsys::Point p = convertFromWindow(e.location);
  m_start_item = rowAtPoint(p);
  m_start_subitem = getColumnIdx(columnAtPoint(p));
  m_start_item_clickmode = 0;
  if (m_start_item < 0) return;
  if (m_start_subitem >= 0 && (m_fastClickMask & (1 << (m_start_subitem & 31)))) {
    const LPARAM v = validRow(m_start_item) && !ownerData() ? m_items[static_cast<size_t>(m_start_item)]->m_lparam : 0;
    notifyTarget(NM_CLICK, m_start_item, m_start_subitem, p, v);
    m_start_item_clickmode = 4;
  } else if (m_status_imagelist && m_status_imagelist_type == LVSIL_STATE && p.x <= kRowHeight) {
    m_start_item_clickmode = 1;
  }
}

void Shim_vTavrin_listview::mouseDragged(const winsys::Event&) {
  Ref<winsys::View> hold(this);
  ++m_leftmousemovecnt;
  if (m_leftmousemovecnt == 4) {
    if (m_start_item >= 0 && (m_start_item_clickmode & 3) == 0 && !m_lbMode) {
      if (!(m_start_item_clickmode & 4) && !isRowSelected(m_start_item))
        selectRows({m_start_item}, (GetAsyncKeyState(0x11) & 0x8000) != 0);
      notifyTarget(LVN_BEGINDRAG, m_start_item, m_start_subitem, winsys::Point{}, 0);
      m_start_item_clickmode |= 2;
    }
  } else if (m_leftmousemovecnt >= 5 && !(m_start_item_clickmode & 1)) {
    sendMouseToTarget(WM_MOUSEMOVE);
  }
}

void Shim_vTavrin_listview::mouseUp(const winsys::Event& e) {
  Ref<winsys::View> hold(this);
  if (m_fakerightmouse || (e.modifiers & winsys::kControlKey)) {
    rightMouseUp(e);
    return;
  }
  const int mode = m_start_item_clickmode;
  if (!(mode & 1)) {
    if (!(mode & 4) && m_leftmousemovecnt <= 3) {
      if (m_lbMode && !allowsMultipleSelection) deselectAll();
      platformClick(e);
      if (!winsys::isLive(this)) return;
    } else if (m_leftmousemovecnt > 3) {
      sendMouseToTarget(WM_LBUTTONUP);
    }
  }
  if (!m_lbMode && !(mode & 6)) {
    const winsys::Point p = convertFromWindow(e.location);
    const int row = rowAtPoint(p);
    const LPARAM v = row >= 0 && !ownerData() && validRow(row) ? m_items[static_cast<size_t>(row)]->m_lparam : 0;
    notifyTarget(NM_CLICK, row, getColumnIdx(columnAtPoint(p)), p, v);
  }
}

void Shim_vTavrin_listview::rightMouseUp(const winsys::Event& e) {
  Ref<winsys::View> hold(this);
  bool handled = false;
  if (!m_lbMode) {
    const winsys::Point p = convertFromWindow(e.location);
    const int row = rowAtPoint(p);
    if (row >= 0 && !isRowSelected(row)) selectRows({row}, false);
    handled = notifyTarget(NM_RCLICK, row, getColumnIdx(columnAtPoint(p)), p, 0) != 0;
  }
  if (!handled)
    if (HWND t = target()) {
      POINT c{};
      GetCursorPos(&c);
      SendMessage(t, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(SHIM_Handle(this)), SHIM_PackPoint(c.x, c.y));
    }
  m_fakerightmouse = false;
}

LRESULT Shim_vTavrin_listview::onShimMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND self = SHIM_Handle(this);
  const int index = toIndex(wp);
  switch (msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      int at = count();
      if (msg == LB_INSERTSTRING && wp < static_cast<WPARAM>(at)) at = static_cast<int>(wp);
      if (msg == LB_ADDSTRING && m_lbMode && (style & LBS_SORT))
        at = sortedPosition(this, lp ? reinterpret_cast<const char*>(lp) : "", false);
      LVITEM it{};
      it.mask = LVIF_TEXT;
      it.iItem = at;
      it.pszText = reinterpret_cast<char*>(lp);
      return ListView_InsertItem(self, &it);
    }
    case LB_DELETESTRING: ListView_DeleteItem(self, index); return 0;
    case LB_GETTEXT:
      if (lp) {
        LVITEM it{};
        it.mask = LVIF_TEXT;
        it.iItem = index;
        it.pszText = reinterpret_cast<char*>(lp);
        it.cchTextMax = 4096;
        ListView_GetItem(self, &it);
      }
      return 0;
    case LB_RESETCONTENT: ListView_DeleteAllItems(self); return 0;
    case LB_SETSEL: ListView_SetItemState(self, static_cast<int>(lp), wp ? uint32_t{LVIS_SELECTED} : 0u, LVIS_SELECTED); return 0;
    case LB_SETCURSEL:
      if (wp < static_cast<WPARAM>(count()))
        replaceSelection({static_cast<int>(wp)}, static_cast<int>(wp));
      else
        deselectAll();
      return 0;
    case LB_GETSEL: return validRow(index) && isRowSelected(index) ? 1 : 0;
    case LB_GETCURSEL: return selectedRow();
    case LB_GETCOUNT: return count();
    case LB_GETSELCOUNT: return static_cast<LRESULT>(selectedRows().size());
    case LB_GETITEMDATA:
      return index >= 0 && static_cast<size_t>(index) < m_items.size() ? m_items[static_cast<size_t>(index)]->m_lparam : 0;
    case LB_SETITEMDATA:
      if (index >= 0 && static_cast<size_t>(index) < m_items.size()) m_items[static_cast<size_t>(index)]->m_lparam = lp;
      return 0;
    default: return 0;
  }
}

// ---- Rows ----

int ListView_GetItemCount(HWND h) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  return lv ? lv->count() : 0;
}

int ListView_InsertItem(HWND h, const LVITEM* item) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv || !item || item->iSubItem != 0) return 0;
  if (lv->ownerData()) return -1;
  Ref<winsys::View> hold(lv);
  const int n = lv->count();
  int index = item->iItem >= 0 ? std::min(item->iItem, n) : 0;
  const char* text = (item->mask & LVIF_TEXT) && item->pszText ? item->pszText : "";
  if ((item->mask & LVIF_TEXT) && !lv->m_lbMode && (lv->style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)))
    index = sortedPosition(lv, text, !(lv->style & LVS_SORTASCENDING));
  auto* row = new SHIM_ListView_Row;
  row->m_texts.emplace_back(text);
  if (item->mask & LVIF_PARAM) row->m_lparam = item->lParam;
  index = std::clamp(index, 0, n);
  lv->m_items.insert(lv->m_items.begin() + index, row);
  ++lv->m_generation;
  if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_STATEIMAGEMASK))
    row->m_stateimage = static_cast<int>((item->state >> 16) & 0xFF);
  lv->reloadData();
  if (index < lv->count() - 1 && !lv->selectedRows().empty()) shiftSelection(lv, index, 1, -1);
  if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_SELECTED) && (item->state & LVIS_SELECTED))
    selectRow(lv, index);
  return index;
}

void ListView_DeleteItem(HWND h, int row) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv || !lv->validRow(row)) return;
  Ref<winsys::View> hold(lv);
  if (!lv->selectedRows().empty()) shiftSelection(lv, row + 1, -1, row);
  if (lv->ownerData()) {
    --lv->ownermode_cnt;
  } else {
    delete lv->m_items[static_cast<size_t>(row)];
    lv->m_items.erase(lv->m_items.begin() + row);
    ++lv->m_generation;
  }
  lv->reloadData();
}

void ListView_DeleteAllItems(HWND h) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv) return;
  lv->ownermode_cnt = 0;
  for (SHIM_ListView_Row* r : lv->m_items) delete r;
  lv->m_items.clear();
  ++lv->m_generation;
  lv->reloadData();
}

void ListView_SetItemText(HWND h, int row, int col, const char* text) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv || col < 0 || col > 31 || lv->ownerData() || row < 0 || static_cast<size_t>(row) >= lv->m_items.size())
    return;
  auto& texts = lv->m_items[static_cast<size_t>(row)]->m_texts;
  if (texts.size() <= static_cast<size_t>(col)) texts.resize(static_cast<size_t>(col) + 1);
  texts[static_cast<size_t>(col)] = text ? text : "";
  lv->reloadData();
}

void ListView_GetItemText(HWND h, int row, int col, char* buf, int bufsz) {
  LVITEM it{};
  it.mask = LVIF_TEXT;
  it.iItem = row;
  it.iSubItem = col;
  it.pszText = buf;
  it.cchTextMax = bufsz;
  ListView_GetItem(h, &it);
}

int ListView_GetItem(HWND h, LVITEM* item) {
  if (!item) return 0;
  const bool wantText = (item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax >= 1;
  if (wantText) item->pszText[0] = 0;
  item->state = 0;
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv) return 0;
  const int row = item->iItem;
  if (!lv->ownerData()) {
    if (row < 0 || static_cast<size_t>(row) >= lv->m_items.size()) return 0;
    const SHIM_ListView_Row* r = lv->m_items[static_cast<size_t>(row)];
    if (item->mask & LVIF_PARAM) item->lParam = r->m_lparam;
    if (wantText) {
      const int c = item->iSubItem;
      const char* t = c >= 0 && static_cast<size_t>(c) < r->m_texts.size() ? r->m_texts[static_cast<size_t>(c)].c_str() : "";
      KIT_CopyField(item->pszText, static_cast<size_t>(item->cchTextMax), t);
    }
    if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_STATEIMAGEMASK))
      item->state |= static_cast<uint32_t>(r->m_stateimage) << 16;
  } else if (!lv->validRow(row)) {
    return 0;
  }
  if (item->mask & LVIF_STATE) {
    if ((item->stateMask & LVIS_SELECTED) && lv->isRowSelected(row)) item->state |= LVIS_SELECTED;
    if ((item->stateMask & LVIS_FOCUSED) && lv->selectedRow() == row) item->state |= LVIS_FOCUSED;
  }
  return 1;
}

int ListView_SetItem(HWND h, const LVITEM* item) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv || !item) return 0;
  Ref<winsys::View> hold(lv);
  const int row = item->iItem;
  if (!lv->ownerData()) {
    if (row < 0 || static_cast<size_t>(row) >= lv->m_items.size()) return 0;
    SHIM_ListView_Row* r = lv->m_items[static_cast<size_t>(row)];
    if (item->mask & LVIF_PARAM) r->m_lparam = item->lParam;
    if ((item->mask & LVIF_TEXT) && item->pszText) ListView_SetItemText(h, row, item->iSubItem, item->pszText);
    if ((item->mask & LVIF_IMAGE) && item->iImage >= 0) {
      r->m_stateimage = item->iImage + 1;
      lv->reloadData();
    }
  }
  if ((item->mask & LVIF_STATE) && item->stateMask) ListView_SetItemState(h, row, item->state, item->stateMask);
  return 1;
}

int ListView_SetItemState(HWND h, int row, uint32_t state, uint32_t mask) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv) return 0;
  Ref<winsys::View> hold(lv);
  if (row == -1) {
    ++g_setAllDepth;
    for (int i = 0; i < lv->count() && winsys::isLive(lv); ++i) ListView_SetItemState(h, i, state, mask);
    --g_setAllDepth;
    if (!lv->ownerData()) lv->reloadData();
    return 1;
  }
  if (!lv->validRow(row)) return 0;
  bool reload = false, changed = false;
  if (!lv->ownerData() && (mask & LVIS_STATEIMAGEMASK)) {
    const int img = static_cast<int>((state >> 16) & 0xFF);
    SHIM_ListView_Row* r = lv->m_items[static_cast<size_t>(row)];
    if (img != r->m_stateimage) {
      r->m_stateimage = img;
      reload = true;
    }
  }
  if (mask & LVIS_SELECTED) {
    const bool on = lv->isRowSelected(row);
    if ((state & LVIS_SELECTED) && !on) {
      selectRow(lv, row);
      changed = true;
    } else if (!(state & LVIS_SELECTED) && on) {
      lv->deselectRow(row);
      changed = true;
    }
  }
  if (g_setAllDepth > 0) return 1;
  if (changed && !g_notifying) {
    g_notifying = true;
    NMLISTVIEW n = listRecord(lv, LVN_ITEMCHANGED, row, 0);
    n.uNewState = state;
    SendMessage(GetParent(h), WM_NOTIFY, static_cast<WPARAM>(lv->tag()), reinterpret_cast<LPARAM>(&n));
    g_notifying = false;
  }
  if (reload && winsys::isLive(lv)) lv->reloadData();
  return 1;
}

uint32_t ListView_GetItemState(HWND h, int row, uint32_t mask) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv || !lv->validRow(row)) return 0;
  uint32_t out = 0;
  if ((mask & LVIS_STATEIMAGEMASK) && !lv->ownerData())
    out |= static_cast<uint32_t>(lv->m_items[static_cast<size_t>(row)]->m_stateimage) << 16;
  if ((mask & LVIS_SELECTED) && lv->isRowSelected(row)) out |= LVIS_SELECTED;
  if ((mask & LVIS_FOCUSED) && lv->selectedRow() == row) out |= LVIS_FOCUSED;
  return out;
}

int ListView_GetNextItem(HWND h, int start, int flags) {
  if (flags != LVNI_SELECTED && flags != LVNI_FOCUSED) return -1;
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv) return 0;
  if (flags == LVNI_FOCUSED) return lv->selectedRow();
  for (int r : lv->selectedRows())
    if (r > start || (start < 0 && r >= 0)) return r;
  return -1;
}

int ListView_GetSelectedCount(HWND h) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  return lv ? static_cast<int>(lv->selectedRows().size()) : 0;
}

int ListView_GetSelectionMark(HWND h) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  return lv ? lv->selectedRow() : 0;
}

void ListView_RedrawItems(HWND h, int, int) {
  if (Shim_vTavrin_listview* lv = listViewOf(h)) lv->reloadData();
}

void ListView_SetItemCount(HWND h, int count) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (lv && lv->ownerData()) lv->ownermode_cnt = std::max(0, count);
}

void ListView_SortItems(HWND h, PFNLVCOMPARE compare, LPARAM sortParam) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv || !compare || lv->m_lbMode || lv->ownerData()) return;
  Ref<winsys::View> hold(lv);
  auto& rows = lv->m_items;
  for (size_t i = 0; i < rows.size(); ++i) rows[i]->m_sortsel = lv->isRowSelected(static_cast<int>(i));
  const unsigned generation = lv->m_generation;
  std::vector<SortEntry> entries(rows.size()), scratch(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) entries[i] = {rows[i]->m_lparam, rows[i]};
  RowSorter{compare, sortParam}.sort(entries.data(), scratch.data(), entries.size(), false);
  if (!winsys::isLive(lv)) return;
  // A comparison that called back into the list and changed its rows leaves
  // the order as it is: the sorted entries may name rows that are gone.
  if (lv->m_generation == generation)
    for (size_t i = 0; i < entries.size(); ++i) rows[i] = entries[i].second;
  if (!rows.empty()) {
    std::vector<int> sel;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i]->m_sortsel) sel.push_back(static_cast<int>(i));
    lv->replaceSelection(sel, sel.empty() ? -1 : sel.back());
  }
  lv->reloadData();
}

void SHIM_SetListViewFastClickMask(HWND h, int mask) {
  if (Shim_vTavrin_listview* lv = listViewOf(h)) lv->m_fastClickMask = mask;
}

void ListView_SetImageList(HWND h, void* list, int kind) {
  Shim_vTavrin_listview* lv = listViewOf(h);
  if (!lv) return;
  lv->m_status_imagelist = list;
  lv->m_status_imagelist_type = kind;
  if (!lv->m_cols.empty() && lv->m_cols[0]->cellKind != winsys::TableColumn::StatusCell) {
    lv->m_cols[0]->cellKind = winsys::TableColumn::StatusCell;
    lv->m_cols[0]->cellWraps = false;
  }
}

// ---- The window object's notices of user changes ----

void SHIM_SetTableDelegates(Shim_vTavrin_listview* lv, winsys::View* owner) {
  auto send = [owner](UINT msg, WPARAM wp, LPARAM lp) {
    auto* hw = winsys::lookup<Shim_vTavrin_hwnd>(owner);
    if (!hw || !hw->getShimWindowProc() || hw->destroyState() != 0) return;
    SendMessage(SHIM_Handle(hw), msg, wp, lp);
  };
  lv->selectionDidChange = [send](winsys::TableView* t) {
    auto* l = static_cast<Shim_vTavrin_listview*>(t);
    const auto id = static_cast<WPARAM>(static_cast<uint16_t>(l->tag()));
    if (l->m_lbMode) {
      send(WM_COMMAND, id | (1u << 16), reinterpret_cast<LPARAM>(SHIM_Handle(l)));
      return;
    }
    NMLISTVIEW n = listRecord(l, LVN_ITEMCHANGED, l->selectedRow(), 0);
    send(WM_NOTIFY, static_cast<WPARAM>(l->tag()), reinterpret_cast<LPARAM>(&n));
  };
  lv->doubleAction = [send](winsys::TableView* t, int row, int displayColumn) {
    auto* l = static_cast<Shim_vTavrin_listview*>(t);
    const auto id = static_cast<WPARAM>(static_cast<uint16_t>(l->tag()));
    if (l->m_lbMode) {
      send(WM_COMMAND, id | (2u << 16), reinterpret_cast<LPARAM>(SHIM_Handle(l)));
      return;
    }
    NMLISTVIEW n = listRecord(l, NM_DBLCLK, row, l->getColumnIdx(displayColumn));
    if (row >= 0 && !l->ownerData() && static_cast<size_t>(row) < l->m_items.size())
      n.lParam = l->m_items[static_cast<size_t>(row)]->m_lparam;
    send(WM_NOTIFY, static_cast<WPARAM>(l->tag()), reinterpret_cast<LPARAM>(&n));
  };
  lv->headerClicked = [send](winsys::TableView* t, int displayColumn) {
    auto* l = static_cast<Shim_vTavrin_listview*>(t);
    if (l->m_cols.empty() || l->m_lbMode || (l->style & LVS_NOSORTHEADER)) return;
    NMLISTVIEW n = listRecord(l, LVN_COLUMNCLICK, -1, l->getColumnIdx(displayColumn));
    send(WM_NOTIFY, static_cast<WPARAM>(l->tag()), reinterpret_cast<LPARAM>(&n));
  };
}

// ---- Making ----

HWND SHIM_MakeListView(winsys::View* owner, bool listBox, int id, int style, const winsys::Rect& frame) {
  const auto st = static_cast<uint32_t>(style);
  auto* lv = new Shim_vTavrin_listview;
  lv->usesColumnAutoresizing = false;
  lv->focusRingType = 1;
  lv->setShimStyle(style);
  lv->setShimNotificationMode(listBox ? 1 : 0);
  if (!listBox) {
    lv->hasHeader = (st & LVS_REPORT) && !(st & LVS_NOCOLUMNHEADER);
    lv->allowsMultipleSelection = !(st & LVS_SINGLESEL);
  } else {
    lv->hasHeader = false;
    lv->allowsMultipleSelection = (st & LBS_EXTENDEDSEL) != 0;
  }
  lv->allowsColumnReordering = false;
  lv->allowsEmptySelection = true;
  lv->setTag(id);
  lv->m_target = owner;
  SHIM_SetTableDelegates(lv, owner);
  auto* sv = new winsys::ScrollView;
  sv->setFrame(frame);
  sv->hasVerticalScroller = true;
  sv->hasHorizontalScroller = !listBox;
  sv->autohidesScrollers = true;
  sv->drawsBackground = false;
  sv->setDocumentView(lv);
  lv->release();
  SHIM_AddToOwner(owner, sv, st);
  lv->reloadData();
  HWND h = SHIM_Handle(lv);
  if (listBox || !(st & LVS_REPORT)) {
    LVCOLUMN c{};
    c.cx = static_cast<int>(std::ceil(std::max(300.0, frame.w)));
    ListView_InsertColumn(h, 0, &c);
    if (listBox && (st & LBS_OWNERDRAWFIXED) && !lv->m_cols.empty())
      lv->m_cols[0]->cellKind = winsys::TableColumn::OwnerDrawnCell;
  }
  return h;
}
