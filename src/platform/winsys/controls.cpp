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
  static std::map<float, platform::Font*> fonts;
  auto it = fonts.find(size);
  if (it != fonts.end()) return it->second;
  platform::Font* f = platform::fontCreateLabel(size);
  fonts[size] = f;
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
