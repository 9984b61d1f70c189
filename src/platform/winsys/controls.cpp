// Controls of the window system: fitting to text, items of pop-up buttons and
// combo boxes, delegate notices, user actions, and the plain look every
// control paints (background, a one-pixel border, its text).
#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "platform/textengine.h"
#include "platform/winsys/testapi.h"
#include "platform/winsys/winsys.h"

namespace winsys {

namespace {

// The label face at a pixel size, made once per size (main thread).
platform::Font* labelFont(float size) {
  static auto* fonts = new std::map<float, platform::Font*>;  // kept for the process
  auto it = fonts->find(size);
  if (it != fonts->end()) return it->second;
  platform::Font* f = platform::fontCreateLabel(size);
  (*fonts)[size] = f;
  return f;
}

double textWidth(const std::string& text, float size) {
  platform::Font* f = labelFont(size);
  std::u32string chars;
  if (!f || !platform::decodeText(text.data(), text.size(), chars)) return 0;
  return platform::measureLine(f, chars.data(), chars.size());
}

platform::Color colorOf(unsigned argb) {
  platform::Color c;
  c.r = static_cast<float>((argb >> 16) & 0xFF) / 255.f;
  c.g = static_cast<float>((argb >> 8) & 0xFF) / 255.f;
  c.b = static_cast<float>(argb & 0xFF) / 255.f;
  c.a = static_cast<float>((argb >> 24) & 0xFF) / 255.f;
  return c;
}

// Background, border and one line of text within w x h at the origin.
void paintPlain(platform::Surface* s, double w, double h, unsigned bg, bool border, const std::string& text,
                float size, int align, unsigned textColor, double textLeft = 3) {
  if (!s) return;
  const auto fw = static_cast<float>(w), fh = static_cast<float>(h);
  if (bg >> 24) platform::surfaceFillRect(s, 0, 0, fw, fh, colorOf(bg));
  if (border) {
    const platform::Color edge = colorOf(0xFF808080);
    platform::surfaceFillRect(s, 0, 0, fw, 1, edge);
    platform::surfaceFillRect(s, 0, fh - 1, fw, 1, edge);
    platform::surfaceFillRect(s, 0, 0, 1, fh, edge);
    platform::surfaceFillRect(s, fw - 1, 0, 1, fh, edge);
  }
  platform::Font* f = labelFont(size);
  std::u32string chars;
  if (text.empty() || !f || !platform::decodeText(text.data(), text.size(), chars)) return;
  const double tw = platform::measureLine(f, chars.data(), chars.size());
  double x = textLeft;
  if (align == Control::Centered) x = (w - tw) / 2;
  if (align == Control::Right) x = w - tw - textLeft;
  const platform::FontMetrics m = platform::fontGetMetrics(f);
  const double base = (h - (m.ascent + m.descent)) / 2 + m.ascent;
  platform::drawLine(s, f, chars.data(), chars.size(), static_cast<float>(x), static_cast<float>(base),
                     colorOf(textColor));
}

template <class Items>
void adjustOnInsert(Items& items, int& sel, size_t at, const std::string& text) {
  at = std::min(at, items.size());
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), text);
  if (sel >= 0 && static_cast<size_t>(sel) >= at) ++sel;
}

template <class Items>
bool adjustOnRemove(Items& items, int& sel, size_t at) {
  if (at >= items.size()) return false;
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(at));
  if (sel >= 0 && static_cast<size_t>(sel) == at) sel = -1;
  else if (sel >= 0 && static_cast<size_t>(sel) > at) --sel;
  return true;
}

}  // namespace

void Control::notifyDelegate(Notice n) {
  if (!delegate) return;
  Ref<View> hold(this);
  auto call = delegate;
  call(this, n);
}

double Control::fittingWidth() const { return textWidth(displayText(), fontSize) + fittingPadding(); }

void Control::sizeToFit() {
  Rect r = frame();
  r.w = fittingWidth();
  setFrame(r);
}

void Control::drawRect(const Rect&, platform::Surface* s) {
  if (drawCell) {
    auto cell = drawCell;
    cell(this, s);
    return;
  }
  auto* field = dynamic_cast<TextField*>(this);
  const bool bg = !field || field->drawsBackground;
  const bool border = drawsBorder() && (!field || field->bordered || field->bezeled);
  paintPlain(s, bounds().w, bounds().h, bg ? backgroundColor() : 0, border, displayText(), fontSize, alignment,
             textColor);
}

void Button::drawRect(const Rect& dirty, platform::Surface* s) {
  if (buttonType == Push) {
    Control::drawRect(dirty, s);
    return;
  }
  // A check or radio mark: a filled square when on, half filled when mixed.
  if (!s) return;
  const double side = std::min(12.0, bounds().h);
  const float top = static_cast<float>((bounds().h - side) / 2), sd = static_cast<float>(side);
  paintPlain(s, bounds().w, bounds().h, 0, false, title, fontSize, Left, textColor, side + 4);
  platform::surfaceFillRect(s, 0, top, sd, sd, colorOf(0xFF808080));
  platform::surfaceFillRect(s, 1, top + 1, sd - 2, sd - 2, colorOf(0xFFFFFFFF));
  if (state != 0)
    platform::surfaceFillRect(s, 3, top + 3, sd - 6, state < 0 ? (sd - 6) / 2 : sd - 6, colorOf(0xFF202020));
}

void Box::drawRect(const Rect&, platform::Surface* s) {
  if (!s) return;
  const auto w = static_cast<float>(bounds().w), h = static_cast<float>(bounds().h);
  const platform::Color edge = colorOf(0xFFA0A0A0);
  platform::surfaceFillRect(s, 0, 6, w, 1, edge);
  platform::surfaceFillRect(s, 0, h - 1, w, 1, edge);
  platform::surfaceFillRect(s, 0, 6, 1, h - 6, edge);
  platform::surfaceFillRect(s, w - 1, 6, 1, h - 6, edge);
  if (title.empty()) return;
  const double tw = textWidth(title, 10) + 6;
  const double x = titleCentered ? (bounds().w - tw) / 2 : 8;
  platform::surfaceSaveState(s);
  platform::surfaceTranslate(s, static_cast<int>(x), 0);
  paintPlain(s, tw, 13, 0xFFE8E8E8, false, title, 10, Control::Centered, titleColor, 0);
  platform::surfaceRestoreState(s);
}

void TextView::scrollToEnd(bool end) {
  auto* clip = dynamic_cast<ClipView*>(superview());
  if (!clip) return;
  const double y = end ? std::max(0.0, frame().h - clip->bounds().h) : 0;
  clip->setBoundsOrigin(Point{clip->bounds().x, y});
}

void PopUpButton::insertItem(const std::string& title, size_t at) {
  m_objects.resize(items.size());
  at = std::min(at, items.size());
  m_objects.insert(m_objects.begin() + static_cast<std::ptrdiff_t>(at), Ref<Object>());
  adjustOnInsert(items, selectedIndex, at, title);
}

void PopUpButton::removeItemAt(size_t at) {
  m_objects.resize(items.size());
  if (adjustOnRemove(items, selectedIndex, at)) m_objects.erase(m_objects.begin() + static_cast<std::ptrdiff_t>(at));
}

void PopUpButton::removeAllItems() {
  items.clear();
  m_objects.clear();
  selectedIndex = -1;
}

Object* PopUpButton::representedObjectAt(size_t at) const {
  return at < m_objects.size() && at < items.size() ? m_objects[at].get() : nullptr;
}

void PopUpButton::setRepresentedObjectAt(size_t at, Object* o) {
  if (at >= items.size()) return;
  m_objects.resize(items.size());
  m_objects[at] = Ref<Object>(o);
}

const std::string& PopUpButton::displayText() const {
  static const std::string none;
  return selectedIndex >= 0 && static_cast<size_t>(selectedIndex) < items.size() ? items[selectedIndex] : none;
}

void ComboBox::insertItem(const std::string& text, size_t at) { adjustOnInsert(items, selectedIndex, at, text); }
void ComboBox::removeItemAt(size_t at) { adjustOnRemove(items, selectedIndex, at); }
void ComboBox::removeAllItems() {
  items.clear();
  selectedIndex = -1;
}

// ---- Tabs and progress ----

void TabView::insertTab(const std::string& label, size_t at) {
  at = std::min(at, labels.size());
  labels.insert(labels.begin() + static_cast<std::ptrdiff_t>(at), label);
  if (selectedIndex < 0) {
    selectTab(0);
  } else if (static_cast<size_t>(selectedIndex) >= at) {
    ++selectedIndex;
  }
  setNeedsDisplay(true);
}

void TabView::removeTab(size_t at) {
  if (at >= labels.size()) return;
  labels.erase(labels.begin() + static_cast<std::ptrdiff_t>(at));
  if (selectedIndex > static_cast<int>(at) || selectedIndex >= static_cast<int>(labels.size())) --selectedIndex;
  setNeedsDisplay(true);
}

void TabView::selectTab(int at) {
  if (at < 0 || static_cast<size_t>(at) >= labels.size() || at == selectedIndex) return;
  selectedIndex = at;
  setNeedsDisplay(true);
  if (didSelect) {
    Ref<View> hold(this);
    auto call = didSelect;
    call(this);
  }
}

Rect TabView::tabRect(size_t i) const {
  double x = 8;
  for (size_t k = 0; k < i && k < labels.size(); ++k) x += textWidth(labels[k], 10) + 20;
  return Rect{x, 0, i < labels.size() ? textWidth(labels[i], 10) + 20 : 0, kTabHeight};
}

int TabView::tabAt(Point p) const {
  for (size_t i = 0; i < labels.size(); ++i)
    if (tabRect(i).contains(p)) return static_cast<int>(i);
  return -1;
}

void TabView::mouseDown(const Event& e) {
  const Point p = convertFromWindow(e.location);
  const int at = tabAt(Point{p.x - bounds().x, p.y - bounds().y});
  if (at >= 0) selectTab(at);
}

void TabView::drawRect(const Rect&, platform::Surface* s) {
  if (!s) return;
  paintPlain(s, bounds().w, bounds().h, 0, true, "", 10, Control::Left, 0);
  for (size_t i = 0; i < labels.size(); ++i) {
    const Rect r = tabRect(i);
    platform::surfaceSaveState(s);
    platform::surfaceTranslate(s, static_cast<int>(r.x), 0);
    paintPlain(s, r.w, r.h, static_cast<int>(i) == selectedIndex ? 0xFFB0C8F0 : 0xFFE0E0E0, true, labels[i], 10,
               Control::Centered, 0xFF000000);
    platform::surfaceRestoreState(s);
  }
}

void ProgressIndicator::drawRect(const Rect&, platform::Surface* s) {
  if (!s) return;
  paintPlain(s, bounds().w, bounds().h, 0xFFFFFFFF, true, "", 10, Control::Left, 0);
  const double span = maxValue - minValue;
  const double part = span > 0 ? std::clamp((doubleValue - minValue) / span, 0.0, 1.0) : 0;
  platform::surfaceFillRect(s, 1, 1, static_cast<float>((bounds().w - 2) * part), static_cast<float>(bounds().h - 2),
                            colorOf(0xFF3070D0));
}

// ---- Tables ----

TableView::TableView() { setFlipped(true); }

TableView::~TableView() {
  for (TableColumn* c : m_columns) c->release();
}

void TableView::addColumn(TableColumn* c) {
  if (!c || displayIndexOf(c) >= 0) return;
  c->retain();
  m_columns.push_back(c);
  setNeedsDisplay(true);
}

void TableView::removeColumn(TableColumn* c) {
  const int at = displayIndexOf(c);
  if (at < 0) return;
  m_columns.erase(m_columns.begin() + at);
  c->release();
  setNeedsDisplay(true);
}

void TableView::moveColumn(int from, int to) {
  const int n = static_cast<int>(m_columns.size());
  if (from < 0 || from >= n || to < 0 || to >= n || from == to) return;
  TableColumn* c = m_columns[static_cast<size_t>(from)];
  m_columns.erase(m_columns.begin() + from);
  m_columns.insert(m_columns.begin() + to, c);
  setNeedsDisplay(true);
}

int TableView::displayIndexOf(const TableColumn* c) const {
  for (size_t i = 0; i < m_columns.size(); ++i)
    if (m_columns[i] == c) return static_cast<int>(i);
  return -1;
}

void TableView::reloadData() {
  ++m_reloads;
  m_rows = std::max(0, numberOfRows());
  std::vector<int> keep;
  for (int r : m_selected)
    if (r < m_rows) keep.push_back(r);
  if (keep.size() != m_selected.size()) setSelection(keep, false);
  if (m_lastSelected >= m_rows) m_lastSelected = keep.empty() ? -1 : keep.back();
  double w = 0;
  for (TableColumn* c : m_columns)
    if (!c->hidden) w += c->width + kInterX;
  Rect f = frame();
  f.h = m_rows * (kRowHeight + kInterY);
  if (auto* clip = dynamic_cast<ClipView*>(superview())) {
    f.h = std::max(f.h, clip->bounds().h);
    w = std::max(w, clip->bounds().w);
  }
  f.w = w;
  setFrame(f);
  setNeedsDisplay(true);
}

Rect TableView::rectOfRow(int row) const {
  return Rect{0, row * (kRowHeight + kInterY), bounds().w, kRowHeight + kInterY};
}

Rect TableView::frameOfCell(int displayColumn, int row) const {
  double x = 0;
  for (int i = 0; i < displayColumn && i < static_cast<int>(m_columns.size()); ++i)
    if (!m_columns[static_cast<size_t>(i)]->hidden) x += m_columns[static_cast<size_t>(i)]->width + kInterX;
  const bool valid = displayColumn >= 0 && displayColumn < static_cast<int>(m_columns.size());
  const double w = valid && !m_columns[static_cast<size_t>(displayColumn)]->hidden
                       ? m_columns[static_cast<size_t>(displayColumn)]->width
                       : 0;
  return Rect{x + kInterX / 2, row * (kRowHeight + kInterY) + kInterY / 2, w, kRowHeight};
}

int TableView::rowAtPoint(Point p) const {
  if (p.y < 0 || p.x < 0 || p.x >= bounds().w) return -1;
  const auto r = static_cast<int>(p.y / (kRowHeight + kInterY));
  return r < m_rows ? r : -1;
}

int TableView::columnAtPoint(Point p) const {
  double x = 0;
  for (size_t i = 0; i < m_columns.size(); ++i) {
    if (m_columns[i]->hidden) continue;
    const double w = m_columns[i]->width + kInterX;
    if (p.x >= x && p.x < x + w) return static_cast<int>(i);
    x += w;
  }
  return -1;
}

Rect TableView::visibleRect() const {
  if (auto* clip = dynamic_cast<ClipView*>(superview())) return intersect(clip->bounds(), Rect{0, 0, frame().w, frame().h});
  return bounds();
}

void TableView::scrollRowToVisible(int row) {
  auto* clip = dynamic_cast<ClipView*>(superview());
  if (!clip || row < 0) return;
  const Rect r = rectOfRow(row), v = clip->bounds();
  double y = v.y;
  if (r.y < v.y) y = r.y;
  else if (r.y + r.h > v.y + v.h) y = r.y + r.h - v.h;
  clip->setBoundsOrigin(Point{v.x, std::max(0.0, y)});
}

void TableView::scrollColumnToVisible(int displayColumn) {
  auto* clip = dynamic_cast<ClipView*>(superview());
  if (!clip || displayColumn < 0) return;
  const Rect c = frameOfCell(displayColumn, 0), v = clip->bounds();
  double x = v.x;
  if (c.x < v.x) x = c.x;
  else if (c.x + c.w > v.x + v.w) x = c.x + c.w - v.w;
  clip->setBoundsOrigin(Point{std::max(0.0, x), v.y});
}

bool TableView::isRowSelected(int row) const { return std::binary_search(m_selected.begin(), m_selected.end(), row); }

void TableView::setSelection(std::vector<int> rows, bool userChange) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  if (rows == m_selected) return;
  m_selected = std::move(rows);
  setNeedsDisplay(true);
  if (userChange && selectionDidChange) {
    Ref<View> hold(this);
    auto call = selectionDidChange;
    call(this);
  }
}

void TableView::selectRows(const std::vector<int>& rows, bool extend) {
  std::vector<int> next = extend ? m_selected : std::vector<int>{};
  for (int r : rows)
    if (r >= 0 && r < m_rows) next.push_back(r);
  if (!rows.empty() && rows.back() >= 0 && rows.back() < m_rows) m_lastSelected = rows.back();
  setSelection(next, false);
}

void TableView::deselectRow(int row) {
  std::vector<int> next;
  for (int r : m_selected)
    if (r != row) next.push_back(r);
  if (m_lastSelected == row) m_lastSelected = next.empty() ? -1 : next.back();
  setSelection(next, false);
}

void TableView::replaceSelection(const std::vector<int>& rows, int last) {
  std::vector<int> next;
  for (int r : rows)
    if (r >= 0 && r < m_rows) next.push_back(r);
  m_lastSelected = last >= 0 && last < m_rows ? last : -1;
  setSelection(next, false);
}

void TableView::deselectAll() {
  m_lastSelected = -1;
  setSelection({}, false);
}

void TableView::platformClick(const Event& e) {
  Ref<View> hold(this);
  const Point p = convertFromWindow(e.location);
  const int row = rowAtPoint(p);
  clickedRow = row;
  clickedColumn = columnAtPoint(p);
  if (row >= 0) {
    std::vector<int> next{row};
    if (allowsMultipleSelection && (e.modifiers & kCommandKey)) {
      next = m_selected;
      if (isRowSelected(row)) next.erase(std::find(next.begin(), next.end(), row));
      else next.push_back(row);
    }
    m_lastSelected = row;
    setSelection(next, true);
  } else if (allowsEmptySelection && !(e.modifiers & kCommandKey)) {
    m_lastSelected = -1;
    setSelection({}, true);
  }
  if (e.clickCount >= 2 && doubleAction) {
    auto call = doubleAction;
    call(this, row, clickedColumn);
  }
}

void TableView::clickHeader(int displayColumn) {
  if (!hasHeader || !headerClicked) return;
  Ref<View> hold(this);
  auto call = headerClicked;
  call(this, displayColumn);
}

void TableView::fillSelectedRows(const Rect& clip, platform::Surface* s, unsigned argb) {
  if (!s) return;
  for (int r : m_selected) {
    const Rect c = intersect(rectOfRow(r), clip);
    if (c.empty()) continue;
    platform::surfaceFillRect(s, static_cast<float>(c.x - bounds().x), static_cast<float>(c.y - bounds().y),
                              static_cast<float>(c.w), static_cast<float>(c.h), colorOf(argb));
  }
}

void TableView::highlightSelectionInClipRect(const Rect& clip, platform::Surface* s) {
  fillSelectedRows(clip, s, kHighlight);
}

void TableView::drawRect(const Rect& dirty, platform::Surface* s) {
  if (s)
    platform::surfaceFillRect(s, static_cast<float>(dirty.x - bounds().x), static_cast<float>(dirty.y - bounds().y),
                              static_cast<float>(dirty.w), static_cast<float>(dirty.h), colorOf(backgroundColor));
  highlightSelectionInClipRect(dirty, s);
  const int first = std::max(0, static_cast<int>(dirty.y / (kRowHeight + kInterY)));
  for (int r = first; r < m_rows; ++r) {
    if (rectOfRow(r).y >= dirty.y + dirty.h) break;
    const unsigned color = cellTextColor(r);
    for (size_t c = 0; c < m_columns.size(); ++c) {
      TableColumn* col = m_columns[c];
      if (col->hidden) continue;
      const Rect f = frameOfCell(static_cast<int>(c), r);
      if (col->cellKind == TableColumn::OwnerDrawnCell) {
        drawOwnerCell(col, r, f);
        continue;
      }
      const std::string text = cellText(col, r);
      if (!s) continue;
      platform::surfaceSaveState(s);
      platform::surfaceTranslate(s, static_cast<int>(f.x - bounds().x), static_cast<int>(f.y - bounds().y));
      platform::surfaceClipToRect(s, 0, 0, static_cast<float>(f.w), static_cast<float>(f.h));
      paintPlain(s, f.w, f.h, 0, false, text, 11, col->cellAlignment, color, 2);
      platform::surfaceRestoreState(s);
    }
  }
}

namespace test {

void chooseItem(Control* c, int index) {
  if (!live(c)) return;
  Ref<View> hold(c);
  if (auto* p = dynamic_cast<PopUpButton*>(c)) {
    if (index < 0 || static_cast<size_t>(index) >= p->items.size()) return;
    p->selectedIndex = index;
    p->sendAction();
  } else if (auto* cb = dynamic_cast<ComboBox*>(c)) {
    if (index < 0 || static_cast<size_t>(index) >= cb->items.size()) return;
    cb->selectedIndex = index;
    cb->stringValue = cb->items[static_cast<size_t>(index)];
    cb->notifyDelegate(Control::Notice::SelectionDidChange);
  }
}

void openList(ComboBox* c) {
  if (live(c)) c->notifyDelegate(Control::Notice::WillPopUp);
}

void typeText(TextField* f, const std::string& text) {
  if (!live(f)) return;
  f->stringValue = text;
  f->notifyDelegate(Control::Notice::TextDidChange);
}

}  // namespace test

}  // namespace winsys
