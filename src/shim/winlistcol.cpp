// List view columns and header, hit tests, rectangles, scrolling and
// colours.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "shim/winctlclass.h"

namespace {

Shim_vTavrin_listview* listOf(HWND h) { return SHIM_As<Shim_vTavrin_listview>(h); }

winsys::TableColumn* columnOf(Shim_vTavrin_listview* lv, int col) {
  return lv && col >= 0 && static_cast<size_t>(col) < lv->m_cols.size() ? lv->m_cols[static_cast<size_t>(col)] : nullptr;
}

winsys::ScrollView* scrollViewOf(winsys::View* v) {
  auto* clip = dynamic_cast<winsys::ClipView*>(v->superview());
  return clip ? dynamic_cast<winsys::ScrollView*>(clip->superview()) : nullptr;
}

unsigned argbOf(int rgb) { return 0xFF000000u | (static_cast<unsigned>(rgb) & 0xFFFFFF); }

int alignmentOf(int fmt) {
  return fmt == 1 ? winsys::Control::Right : fmt == 2 ? winsys::Control::Centered : winsys::Control::Left;
}

void setWidth(winsys::TableColumn* c, int width) {
  if (width != 0) {
    c->hidden = false;
    c->width = width;
  } else {
    c->hidden = true;
  }
}

bool titlesShown(const Shim_vTavrin_listview* lv) { return !lv->m_lbMode && !(lv->style & LVS_NOCOLUMNHEADER); }

RECT toRect(const winsys::Rect& r) {
  return RECT{static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.x + r.w + winsys::TableView::kInterX),
              static_cast<int>(r.y + r.h + winsys::TableView::kInterY)};
}

}  // namespace

void ListView_EnsureVisible(HWND h, int row, BOOL) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv) return;
  row = std::min(std::max(row, 0), lv->count() - 1);
  if (row >= 0) lv->scrollRowToVisible(row);
}

void ListView_InsertColumn(HWND h, int pos, const LVCOLUMN* lvc) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !lvc) return;
  auto* c = new winsys::TableColumn;
  c->editable = false;
  setWidth(c, lvc->cx);
  if (lvc->fmt == 1 || lvc->fmt == 2) c->headerAlignment = alignmentOf(lvc->fmt);
  if (titlesShown(lv)) c->title = lvc->pszText ? lvc->pszText : "";
  c->cellWraps = false;
  if (pos != 0 || !lv->m_status_imagelist) {
    c->cellKind = winsys::TableColumn::TextCell;
    c->cellAlignment = alignmentOf(lvc->fmt);
  } else {
    c->cellKind = winsys::TableColumn::StatusCell;
  }
  lv->addColumn(c);
  lv->m_cols.push_back(c);
  c->release();
  lv->reloadData();
}

void ListView_SetColumn(HWND h, int col, const LVCOLUMN* lvc) {
  Shim_vTavrin_listview* lv = listOf(h);
  winsys::TableColumn* c = columnOf(lv, col);
  if (!c || !lvc) return;
  if ((lvc->mask & LVCF_FMT) && lvc->fmt >= 0 && lvc->fmt <= 2) c->headerAlignment = alignmentOf(lvc->fmt);
  if (lvc->mask & LVCF_WIDTH) setWidth(c, lvc->cx);
  if ((lvc->mask & LVCF_TEXT) && titlesShown(lv)) c->title = lvc->pszText ? lvc->pszText : "";
  lv->reloadData();
}

int ListView_DeleteColumn(HWND h, int col) {
  Shim_vTavrin_listview* lv = listOf(h);
  winsys::TableColumn* c = columnOf(lv, col);
  if (!c) return 0;
  lv->m_cols.erase(lv->m_cols.begin() + col);
  lv->removeColumn(c);
  lv->reloadData();
  return 1;
}

int ListView_GetColumnWidth(HWND h, int col) {
  winsys::TableColumn* c = columnOf(listOf(h), col);
  return !c || c->hidden ? 0 : static_cast<int>(std::floor(c->width + 0.5));
}

void ListView_SetColumnWidth(HWND h, int col, int width) {
  LVCOLUMN c{};
  c.mask = LVCF_WIDTH;
  c.cx = width;
  ListView_SetColumn(h, col, &c);
}

int ListView_GetColumnOrderArray(HWND h, int n, int* order) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !order || n != static_cast<int>(lv->m_cols.size())) return 0;
  for (int i = 0; i < n; ++i) order[i] = lv->getColumnPos(i);
  return 1;
}

int ListView_SetColumnOrderArray(HWND h, int n, const int* order) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !order || n != static_cast<int>(lv->m_cols.size())) return 0;
  for (int i = 0; i < n; ++i)
    if (order[i] < 0 || order[i] >= n) return 0;
  for (int i = 0; i < n; ++i) lv->moveColumn(lv->getColumnPos(i), order[i]);
  return 1;
}

HWND ListView_GetHeader(HWND h) { return listOf(h) ? h : nullptr; }

int Header_GetItemCount(HWND h) {
  Shim_vTavrin_listview* lv = listOf(h);
  return lv ? static_cast<int>(lv->m_cols.size()) : 0;
}

int Header_GetItem(HWND h, int col, HDITEM* hi) {
  winsys::TableColumn* c = columnOf(listOf(h), col);
  if (!c || !hi) return 0;
  if (hi->mask & HDI_FORMAT) {
    hi->fmt = 0;
    if (c->indicator == winsys::TableColumn::Ascending) hi->fmt |= HDF_SORTUP;
    if (c->indicator == winsys::TableColumn::Descending) hi->fmt |= HDF_SORTDOWN;
  }
  return 1;
}

int Header_SetItem(HWND h, int col, const HDITEM* hi) {
  winsys::TableColumn* c = columnOf(listOf(h), col);
  if (!c || !hi) return 0;
  if (hi->mask & HDI_FORMAT) {
    c->indicator = (hi->fmt & HDF_SORTUP)     ? winsys::TableColumn::Ascending
                   : (hi->fmt & HDF_SORTDOWN) ? winsys::TableColumn::Descending
                                              : winsys::TableColumn::NoIndicator;
    listOf(h)->setNeedsDisplay(true);
  }
  return 1;
}

int ListView_HitTest(HWND h, LVHITTESTINFO* info) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !info) return -1;
  info->flags = 0;
  info->iItem = -1;
  const winsys::Rect vis = scrollViewOf(lv) ? lv->visibleRect() : winsys::Rect{};
  const auto dx = static_cast<long long>(info->pt.x - vis.x), dy = static_cast<long long>(info->pt.y - vis.y);
  if (dx < 0) info->flags |= 0x80;
  if (dx >= static_cast<long long>(vis.w)) info->flags |= 0x40;
  if (dy < 0) info->flags |= 0x10;
  if (dy >= static_cast<long long>(vis.h)) info->flags |= 0x20;
  if (info->flags) return -1;
  const winsys::Point p{static_cast<double>(info->pt.x), static_cast<double>(info->pt.y)};
  info->iItem = lv->rowAtPoint(p);
  if (info->iItem >= 0)
    info->flags = lv->m_status_imagelist && p.x <= winsys::TableView::kRowHeight ? 8 : 4;
  else
    info->flags = 1;
  return info->iItem;
}

int ListView_SubItemHitTest(HWND h, LVHITTESTINFO* info) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !info) return -1;
  const int row = ListView_HitTest(h, info);
  const winsys::Point p{static_cast<double>(info->pt.x), row < 0 && info->pt.y < 0 ? 0.0 : info->pt.y};
  info->iSubItem = lv->getColumnIdx(lv->columnAtPoint(p));
  return row;
}

int ListView_GetSubItemRect(HWND h, int row, int col, int, RECT* r) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !r || row < 0 || row > lv->count()) return 0;
  if (col >= static_cast<int>(lv->m_cols.size())) return 0;
  const int pos = col >= 0 ? lv->getColumnPos(col) : -1;
  *r = toRect(pos < 0 ? lv->rectOfRow(row) : lv->frameOfCell(pos, row));
  return 1;
}

int ListView_GetItemRect(HWND h, int row, RECT* r, int code) { return ListView_GetSubItemRect(h, row, -1, code, r); }

int ListView_GetTopIndex(HWND h) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !scrollViewOf(lv)) return -1;
  return lv->rowAtPoint(winsys::Point{0, lv->visibleRect().y});
}

int ListView_GetCountPerPage(HWND h) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !scrollViewOf(lv)) return 0;
  return static_cast<int>(lv->visibleRect().h / static_cast<int>(winsys::TableView::kRowHeight));
}

int ListView_Scroll(HWND h, int dx, int dy) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv || !scrollViewOf(lv)) return 0;
  const winsys::Rect r = lv->visibleRect();
  winsys::Point p{r.x, r.y};
  if (dx > 0) p.x = r.x + r.w - 1;
  if (dy > 0) p.y = r.y + r.h - 1;
  const int lastRow = lv->count() - 1, lastCol = static_cast<int>(lv->m_cols.size()) - 1;
  int row0 = lv->rowAtPoint(p);
  row0 = row0 < 0 ? 0 : std::min(row0, lastRow);
  int col0 = lv->getColumnIdx(lv->columnAtPoint(p));
  col0 = col0 < 0 ? 0 : std::min(col0, lastCol);
  const winsys::Rect cell = lv->frameOfCell(std::max(0, lv->getColumnPos(col0)), row0);
  const int dcol = cell.w > 0 ? static_cast<int>(dx / cell.w) : 0;
  const int drow = cell.h > 0 ? static_cast<int>(dy / cell.h) : 0;
  const int row = std::max(0, std::min(row0 + drow, lastRow)), col = std::max(0, std::min(col0 + dcol, lastCol));
  lv->scrollRowToVisible(row);
  if (lastCol >= 0) lv->scrollColumnToVisible(lv->getColumnPos(col));
  return 1;
}

int ListView_GetScroll(HWND h, POINT* p) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!p) return 0;
  *p = POINT{0, 0};
  if (!lv || !scrollViewOf(lv)) return 0;
  const winsys::Rect r = lv->visibleRect();
  *p = POINT{static_cast<int>(r.x), static_cast<int>(r.y)};
  return 1;
}

int SHIM_GetListViewHeaderHeight(HWND h) {
  Shim_vTavrin_listview* lv = listOf(h);
  return lv && lv->hasHeader ? static_cast<int>(std::floor(winsys::TableView::kHeaderHeight + 0.5)) : 0;
}

void ListView_SetExtendedListViewStyleEx(HWND h, int mask, int style) {
  Shim_vTavrin_listview* lv = listOf(h);
  if (!lv) return;
  if (mask & LVS_EX_GRIDLINES) lv->gridMask = (style & LVS_EX_GRIDLINES) ? 3 : 0;
  if (mask & LVS_EX_HEADERDRAGDROP) lv->allowsColumnReordering = (style & LVS_EX_HEADERDRAGDROP) != 0;
}

void ListView_SetBkColor(HWND h, int color) {
  if (Shim_vTavrin_listview* lv = listOf(h)) lv->backgroundColor = argbOf(color);
}

void ListView_SetTextColor(HWND h, int color) {
  if (Shim_vTavrin_listview* lv = listOf(h)) {
    lv->m_hasFg = true;
    lv->m_fgColor = argbOf(color);
  }
}

void ListView_SetGridColor(HWND h, int color) {
  if (Shim_vTavrin_listview* lv = listOf(h)) lv->gridColor = argbOf(color);
}

void ListView_SetTextBkColor(HWND, int) {}

void ListView_SetSelColors(HWND h, const int* colors, int count) {
  auto* t = dynamic_cast<ShimColoredTable*>(SHIM_Obj(h));
  if (!t) return;
  std::vector<unsigned> list;
  for (int i = 0; i < count; ++i) list.push_back(colors ? argbOf(colors[i]) : 0xFF000000u);
  t->m_selColors = std::move(list);
  if (auto* v = SHIM_As<winsys::View>(h)) v->setNeedsDisplay(true);
}
