// Tree views: the items the layer owns, the outline shown from them, the
// tree functions, mouse handling and the selection notices.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_set>

#include "kit/utf8.h"
#include "shim/winctlclass.h"
#include "shim/winseam.h"

using winsys::Ref;

struct HTREEITEM__ {
  HTREEITEM__();
  ~HTREEITEM__();
  HTREEITEM__(const HTREEITEM__&) = delete;
  HTREEITEM__& operator=(const HTREEITEM__&) = delete;
  // True when item is in this item's subtree (below it): its parent (this
  // item or a descendant) and its index there.
  bool FindItem(const HTREEITEM__* item, HTREEITEM__** parOut, int* idxOut);

  Shim_vTavrin_sdh* m_holder;
  bool m_hasChildren = false;
  std::string m_text;
  std::vector<HTREEITEM__*> m_children;
  LPARAM m_lparam = 0;
};

namespace {

// Every item alive in the process: a handle not in here was deleted (or
// never was one) and is refused.
std::unordered_set<const HTREEITEM__*>& liveItems() {
  static std::unordered_set<const HTREEITEM__*> items;
  return items;
}
bool g_selectNotifying = false, g_setItemNotifying = false;

bool isTopLevelValue(HTREEITEM h) {
  const auto v = reinterpret_cast<uintptr_t>(h);
  const uintptr_t signExtended = static_cast<uintptr_t>(static_cast<intptr_t>(-0x10000));
  return !h || (v >= signExtended && v <= signExtended + 3) || (v >= 0xFFFF0000u && v <= 0xFFFF0003u);
}

bool isSpecial(HTREEITEM h, int k) {
  const auto v = reinterpret_cast<uintptr_t>(h);
  return v == static_cast<uintptr_t>(static_cast<intptr_t>(-0x10000) + k) || v == 0xFFFF0000u + static_cast<unsigned>(k);
}

}  // namespace

HTREEITEM__::HTREEITEM__() : m_holder(new Shim_vTavrin_sdh(reinterpret_cast<intptr_t>(this))) {
  liveItems().insert(this);
}

HTREEITEM__::~HTREEITEM__() {
  liveItems().erase(this);
  for (HTREEITEM__* c : m_children) delete c;
  m_holder->release();
}

bool HTREEITEM__::FindItem(const HTREEITEM__* item, HTREEITEM__** parOut, int* idxOut) {
  if (!item) return false;
  for (size_t i = 0; i < m_children.size(); ++i) {
    if (m_children[i] == item) {
      *parOut = this;
      *idxOut = static_cast<int>(i);
      return true;
    }
  }
  for (HTREEITEM__* c : m_children)
    if (c->FindItem(item, parOut, idxOut)) return true;
  return false;
}

class Shim_vTavrin_treeview : public ShimDisplayHook<winsys::TableView>, public ShimColoredTable {
 public:
  ~Shim_vTavrin_treeview() override {
    for (HTREEITEM__* i : m_items) delete i;
  }
  bool m_fakerightmouse = false;
  long style = 0;
  std::vector<HTREEITEM__*> m_items;
  double m_indent = 16;

  // The item's parent (null: the top level) and index; false when the item
  // is not in this tree.
  bool findItem(const HTREEITEM__* item, HTREEITEM__** parOut, int* idxOut) {
    if (!item) return false;
    for (size_t i = 0; i < m_items.size(); ++i) {
      if (m_items[i] == item) {
        *parOut = nullptr;
        *idxOut = static_cast<int>(i);
        return true;
      }
    }
    for (HTREEITEM__* t : m_items)
      if (t->FindItem(item, parOut, idxOut)) return true;
    return false;
  }
  bool contains(const HTREEITEM__* item) {
    HTREEITEM__* p;
    int i;
    return findItem(item, &p, &i);
  }
  std::vector<HTREEITEM__*>& listOf(HTREEITEM__* parent) { return parent ? parent->m_children : m_items; }

  bool isExpanded(const HTREEITEM__* item) const { return m_expanded.count(item) != 0; }
  void setExpanded(HTREEITEM__* item, bool on) {
    if (on && item->m_hasChildren)
      m_expanded.insert(item);
    else
      m_expanded.erase(item);
    reload();
  }
  int rowOf(const HTREEITEM__* item) const {
    auto it = std::find(m_rows.begin(), m_rows.end(), item);
    return it == m_rows.end() ? -1 : static_cast<int>(it - m_rows.begin());
  }
  HTREEITEM__* itemAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? m_rows[static_cast<size_t>(row)] : nullptr;
  }
  HTREEITEM__* selectedItem() const { return itemAt(selectedRow()); }
  // Rebuilds the shown rows, keeping the selected item selected while shown.
  void reload() {
    HTREEITEM__* sel = selectedItem();
    reloadData();
    const int row = rowOf(sel);
    replaceSelection(row >= 0 ? std::vector<int>{row} : std::vector<int>{}, row);
  }
  void selectOnly(HTREEITEM__* item) {
    const int row = rowOf(item);
    if (row >= 0) replaceSelection({row}, row);
  }
  void forget(HTREEITEM__* item) {
    m_expanded.erase(item);
    for (HTREEITEM__* c : item->m_children) forget(c);
  }

  int numberOfRows() override {
    m_rows.clear();
    for (HTREEITEM__* i : m_items) addShown(i);
    return static_cast<int>(m_rows.size());
  }
  std::string cellText(winsys::TableColumn*, int row) override {
    HTREEITEM__* i = itemAt(row);
    return i ? i->m_text : std::string();
  }
  unsigned cellTextColor(int row) override { return SHIM_TableCellColor(this, this, row == selectedRow(), textColor); }
  void highlightSelectionInClipRect(const winsys::Rect& clip, platform::Surface* s) override {
    const size_t k = SHIM_HasFocus(this) ? 0 : 2;
    if (m_selColors.size() > k)
      fillSelectedRows(clip, s, m_selColors[k]);
    else
      TableView::highlightSelectionInClipRect(clip, s);
  }

  void sendClick(int code) {
    HWND t = target();
    if (!t) return;
    SHIM_NMCLICK n{};
    n.hdr = NMHDR{SHIM_Handle(this), static_cast<uintptr_t>(tag()), code};
    if (SendMessage(t, WM_NOTIFY, static_cast<WPARAM>(tag()), reinterpret_cast<LPARAM>(&n)) == 0 && code == NM_RCLICK &&
        winsys::isLive(this)) {
      POINT c{};
      GetCursorPos(&c);
      SendMessage(t, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(SHIM_Handle(this)), SHIM_PackPoint(c.x, c.y));
    }
  }
  void mouseDown(const winsys::Event& e) override {
    Ref<winsys::View> hold(this);
    if ((e.modifiers & winsys::kControlKey) && IsRightClickEmulateEnabled()) {
      m_fakerightmouse = true;
      return;
    }
    sendClick(NM_CLICK);
    m_fakerightmouse = false;
    if (winsys::isLive(this)) platformClick(e);
  }
  void mouseDragged(const winsys::Event&) override {}
  void mouseUp(const winsys::Event& e) override {
    if (m_fakerightmouse || (e.modifiers & winsys::kControlKey)) rightMouseUp(e);
  }
  void rightMouseDown(const winsys::Event&) override {}
  void rightMouseUp(const winsys::Event&) override {
    Ref<winsys::View> hold(this);
    sendClick(NM_RCLICK);
    m_fakerightmouse = false;
  }

 private:
  void addShown(HTREEITEM__* i) {
    m_rows.push_back(i);
    if (isExpanded(i))
      for (HTREEITEM__* c : i->m_children) addShown(c);
  }
  std::vector<HTREEITEM__*> m_rows;
  std::unordered_set<const HTREEITEM__*> m_expanded;
};

namespace {

Shim_vTavrin_treeview* treeOf(HWND h) { return SHIM_As<Shim_vTavrin_treeview>(h); }

void notifySelChanged(Shim_vTavrin_treeview* t, bool& flag) {
  if (flag) return;
  flag = true;
  NMTREEVIEW n{};
  n.hdr = NMHDR{SHIM_Handle(t), static_cast<uintptr_t>(t->tag()), TVN_SELCHANGED};
  HWND self = SHIM_Handle(t);
  SendMessage(GetParent(self), WM_NOTIFY, static_cast<WPARAM>(t->tag()), reinterpret_cast<LPARAM>(&n));
  flag = false;
}

}  // namespace

void SHIM_ResetTreeState() {
  g_selectNotifying = false;
  g_setItemNotifying = false;
}

HTREEITEM TreeView_InsertItem(HWND h, const TVINSERTSTRUCT* ins) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t || !ins) return nullptr;
  HTREEITEM__* parent = nullptr;
  if (!isTopLevelValue(ins->hParent)) {
    if (!liveItems().count(ins->hParent) || !t->contains(ins->hParent)) return nullptr;
    parent = ins->hParent;
  }
  std::vector<HTREEITEM__*>& list = t->listOf(parent);
  const HTREEITEM after = ins->hInsertAfter;
  size_t pos = 0;
  if (!after || isSpecial(after, 2) || isSpecial(after, 3)) {
    pos = list.size();
  } else if (!isSpecial(after, 1)) {
    auto it = std::find(list.begin(), list.end(), after);
    pos = it == list.end() ? 0 : static_cast<size_t>(it - list.begin()) + 1;
  }
  auto* item = new HTREEITEM__;
  const TVITEM& v = ins->item;
  if (v.mask & TVIF_CHILDREN) item->m_hasChildren = v.cChildren != 0;
  if (v.mask & TVIF_PARAM) item->m_lparam = v.lParam;
  if ((v.mask & TVIF_TEXT) && v.pszText) item->m_text = v.pszText;
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(pos, list.size())), item);
  t->reload();
  return item;
}

void TreeView_DeleteItem(HWND h, HTREEITEM item) {
  Shim_vTavrin_treeview* t = treeOf(h);
  HTREEITEM__* parent = nullptr;
  int index = 0;
  if (!t || !liveItems().count(item) || !t->findItem(item, &parent, &index)) return;
  std::vector<HTREEITEM__*>& list = t->listOf(parent);
  list.erase(list.begin() + index);
  t->forget(item);
  delete item;
  t->reload();
}

int TreeView_Expand(HWND h, HTREEITEM item, int action) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t || !item || !liveItems().count(item) || !t->contains(item)) return 0;
  const bool expanded = t->isExpanded(item);
  if ((action == TVE_EXPAND && !expanded) || (action == TVE_COLLAPSE && expanded) || action == TVE_TOGGLE) {
    t->setExpanded(item, !expanded);
    return 1;
  }
  return 0;
}

HTREEITEM TreeView_GetSelection(HWND h) {
  Shim_vTavrin_treeview* t = treeOf(h);
  return t ? t->selectedItem() : nullptr;
}

void TreeView_SelectItem(HWND h, HTREEITEM item) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t) return;
  Ref<winsys::View> hold(t);
  if (liveItems().count(item)) t->selectOnly(item);
  notifySelChanged(t, g_selectNotifying);
}

int TreeView_GetItem(HWND h, TVITEM* v) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t || !v || !(v->mask & TVIF_HANDLE) || !v->hItem || !liveItems().count(v->hItem)) return 0;
  const HTREEITEM__* i = v->hItem;
  v->cChildren = i->m_hasChildren ? 1 : 0;
  v->lParam = i->m_lparam;
  if ((v->mask & TVIF_TEXT) && v->pszText && v->cchTextMax > 0)
    KIT_CopyField(v->pszText, static_cast<size_t>(v->cchTextMax), i->m_text.c_str());
  v->state = 0;
  const int row = t->rowOf(i);
  if (row >= 0 && t->isRowSelected(row)) v->state |= TVIS_SELECTED;
  if (t->isExpanded(i)) v->state |= TVIS_EXPANDED;
  return 1;
}

int TreeView_SetItem(HWND h, const TVITEM* v) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t || !v || !(v->mask & TVIF_HANDLE) || !v->hItem || !liveItems().count(v->hItem) || !t->contains(v->hItem))
    return 0;
  Ref<winsys::View> hold(t);
  HTREEITEM__* i = v->hItem;
  if (v->mask & TVIF_CHILDREN) i->m_hasChildren = v->cChildren != 0;
  if (v->mask & TVIF_PARAM) i->m_lparam = v->lParam;
  if ((v->mask & TVIF_TEXT) && v->pszText) {
    i->m_text = v->pszText;
    InvalidateRect(h, nullptr, 0);
  }
  if ((v->stateMask & TVIS_SELECTED) && (v->state & TVIS_SELECTED) && t->rowOf(i) >= 0) {
    t->selectOnly(i);
    notifySelChanged(t, g_setItemNotifying);
  }
  if (!winsys::isLive(t) || !liveItems().count(i)) return 1;
  if (v->stateMask & TVIS_EXPANDED) {
    const bool want = (v->state & TVIS_EXPANDED) != 0;
    if (want != t->isExpanded(i)) t->setExpanded(i, want);
  }
  return 1;
}

HTREEITEM TreeView_HitTest(HWND h, TVHITTESTINFO* info) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t || !info) return nullptr;
  const winsys::Point p{static_cast<double>(info->pt.x), static_cast<double>(info->pt.y)};
  for (int r = 0; r < t->rowCount(); ++r)
    if (t->rectOfRow(r).contains(p)) return t->itemAt(r);
  return nullptr;
}

HTREEITEM TreeView_GetRoot(HWND h) {
  Shim_vTavrin_treeview* t = treeOf(h);
  return t && !t->m_items.empty() ? t->m_items.front() : nullptr;
}

HTREEITEM TreeView_GetChild(HWND h, HTREEITEM item) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t) return nullptr;
  if (!item) return TreeView_GetRoot(h);
  if (!liveItems().count(item)) return nullptr;
  return item->m_children.empty() ? nullptr : item->m_children.front();
}

HTREEITEM TreeView_GetNextSibling(HWND h, HTREEITEM item) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t) return nullptr;
  if (!item) return TreeView_GetRoot(h);
  HTREEITEM__* parent = nullptr;
  int index = 0;
  if (!liveItems().count(item) || !t->findItem(item, &parent, &index)) return nullptr;
  const std::vector<HTREEITEM__*>& list = t->listOf(parent);
  return static_cast<size_t>(index) + 1 < list.size() ? list[static_cast<size_t>(index) + 1] : nullptr;
}

int TreeView_SetIndent(HWND h, int indent) {
  Shim_vTavrin_treeview* t = treeOf(h);
  if (!t) return 0;
  t->m_indent = indent;
  return 1;
}

void TreeView_SetBkColor(HWND h, int color) {
  if (Shim_vTavrin_treeview* t = treeOf(h)) t->backgroundColor = 0xFF000000u | (static_cast<unsigned>(color) & 0xFFFFFF);
}

void TreeView_SetTextColor(HWND h, int color) {
  if (Shim_vTavrin_treeview* t = treeOf(h)) {
    t->m_hasFg = true;
    t->m_fgColor = 0xFF000000u | (static_cast<unsigned>(color) & 0xFFFFFF);
  }
}

HWND SHIM_MakeTreeView(winsys::View* owner, int id, int style, const winsys::Rect& frame) {
  auto* t = new Shim_vTavrin_treeview;
  t->focusRingType = 1;
  t->style = style;
  t->hasHeader = false;
  t->allowsColumnReordering = false;
  t->allowsMultipleSelection = false;
  t->allowsEmptySelection = true;
  t->setTag(id);
  t->m_target = owner;
  t->selectionDidChange = [owner](winsys::TableView* tv) {
    auto* hw = winsys::lookup<Shim_vTavrin_hwnd>(owner);
    if (!hw || !hw->getShimWindowProc() || hw->destroyState() != 0) return;
    NMTREEVIEW n{};
    n.hdr = NMHDR{SHIM_Handle(tv), static_cast<uintptr_t>(tv->tag()), TVN_SELCHANGED};
    SendMessage(SHIM_Handle(hw), WM_NOTIFY, static_cast<WPARAM>(tv->tag()), reinterpret_cast<LPARAM>(&n));
  };
  t->doubleAction = [owner](winsys::TableView* tv, int, int) {
    if (auto* hw = winsys::lookup<Shim_vTavrin_hwnd>(owner)) hw->shimOnControlDoubleClick(tv);
  };
  auto* sv = new winsys::ScrollView;
  sv->setFrame(frame);
  sv->hasVerticalScroller = true;
  sv->autohidesScrollers = true;
  sv->drawsBackground = false;
  sv->setDocumentView(t);
  t->release();
  auto* c = new winsys::TableColumn;
  c->cellWraps = false;
  c->editable = false;
  c->width = std::ceil(std::max(300.0, frame.w));
  t->addColumn(c);
  c->release();
  SHIM_AddToOwner(owner, sv, static_cast<uint32_t>(style));
  t->reload();
  return SHIM_Handle(t);
}
