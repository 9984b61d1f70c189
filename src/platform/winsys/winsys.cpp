// Objects, views and windows of the window system.
#include "platform/winsys/winsys.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_set>

#include "platform/winsys/appstate.h"

namespace winsys {

namespace {

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::unordered_set<const void*>& registry() {
  static std::unordered_set<const void*> r;
  return r;
}

int toPixel(double v) { return static_cast<int>(std::floor(v + 0.5)); }

}  // namespace

Rect intersect(const Rect& a, const Rect& b) {
  const double l = std::max(a.x, b.x), t = std::max(a.y, b.y);
  const double r = std::min(a.x + a.w, b.x + b.w), btm = std::min(a.y + a.h, b.y + b.h);
  if (r <= l || btm <= t) return Rect{};
  return Rect{l, t, r - l, btm - t};
}

Rect unite(const Rect& a, const Rect& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  const double l = std::min(a.x, b.x), t = std::min(a.y, b.y);
  return Rect{l, t, std::max(a.x + a.w, b.x + b.w) - l, std::max(a.y + a.h, b.y + b.h) - t};
}

// ---- Objects ----

Object::Object() {
  std::lock_guard<std::mutex> lock(registryMutex());
  registry().insert(this);
}

Object::~Object() {
  app::cancelTimers(this);
  std::lock_guard<std::mutex> lock(registryMutex());
  registry().erase(this);
}

void Object::release() {
  if (--m_refs != 0) return;
  // Holds taken while the object is torn down must not free it again, and
  // its handle is refused from here on: nobody can attach it anywhere (a
  // procedure answering its last WM_DESTROY might try).
  m_refs = 1 << 30;
  {
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().erase(this);
  }
  delete this;
}

bool isLive(const void* p) {
  if (!p) return false;
  std::lock_guard<std::mutex> lock(registryMutex());
  return registry().count(p) != 0;
}

size_t liveObjects() {
  std::lock_guard<std::mutex> lock(registryMutex());
  return registry().size();
}

Point Event::screenLocation() const {
  if (!live(window)) return location;
  return Point{location.x + window->frame().x, location.y + window->frame().y};
}

// ---- Views ----

View::View() = default;

View::~View() {
  for (View* v : m_subviews) {
    v->m_super = nullptr;
    v->release();
  }
}

void View::setFrame(const Rect& r) {
  Rect n = r;
  if (n.w < 0) n.w = 0;
  if (n.h < 0) n.h = 0;
  m_frame = n;
  m_bounds.w = n.w;
  m_bounds.h = n.h;
  frameDidChange();
}

void View::resizeAsContent(double w, double h) {
  m_frame = Rect{0, 0, w, h};
  m_bounds.w = w;
  m_bounds.h = h;
}

void View::setFrameOrigin(Point p) {
  Rect r = m_frame;
  r.x = p.x;
  r.y = p.y;
  setFrame(r);
}

void View::setBoundsOrigin(Point p) {
  m_bounds.x = p.x;
  m_bounds.y = p.y;
}

void View::setHidden(bool h) {
  if (h == m_hidden) return;
  m_hidden = h;
  Ref<View> hold(this);
  if (h)
    viewDidHide();
  else
    viewDidUnhide();
}

bool View::isHiddenOrHasHiddenAncestor() const {
  for (const View* v = this; v; v = v->m_super)
    if (v->m_hidden) return true;
  return false;
}

Window* View::window() const {
  const View* v = this;
  while (v->m_super) v = v->m_super;
  return v->m_window;
}

void View::addSubview(View* v) { addSubview(v, Place::Above, nullptr); }

void View::addSubview(View* v, Place where, View* rel) {
  if (!v || v == this || isDescendantOf(v) || !isLive(v) || !isLive(this)) return;
  Ref<View> hold(v);
  if (v->m_super) v->detach(true);
  if (v->m_window) v->m_window->setContentView(nullptr);
  auto it = m_subviews.end();
  const int ri = rel ? indexOf(rel) : -1;
  if (ri >= 0)
    it = m_subviews.begin() + ri + (where == Place::Above ? 1 : 0);
  else if (where == Place::Below && rel)
    it = m_subviews.begin();
  v->retain();
  m_subviews.insert(it, v);
  v->m_super = this;
  didAddSubview(v);
}

void View::detach(bool display) {
  View* s = m_super;
  if (!s) return;
  Ref<View> hold(this);
  s->willRemoveSubview(this);
  if (display) s->setNeedsDisplayInRect(m_frame);
  const int i = s->indexOf(this);
  if (i < 0) return;  // the notice moved it already
  s->m_subviews.erase(s->m_subviews.begin() + i);
  m_super = nullptr;
  release();
}

void View::removeFromSuperview() { detach(true); }
void View::removeFromSuperviewWithoutNeedingDisplay() { detach(false); }

bool View::isDescendantOf(const View* v) const {
  for (const View* p = this; p; p = p->m_super)
    if (p == v) return true;
  return false;
}

int View::indexOf(const View* v) const {
  for (size_t i = 0; i < m_subviews.size(); ++i)
    if (m_subviews[i] == v) return static_cast<int>(i);
  return -1;
}

namespace {

// A point in v's own coordinates to its superview's (or, for a view without
// a superview, the window base: unflipped, the frame at 0, 0).
Point up(const View* v, Point p, bool superFlipped) {
  const Rect& f = v->frame();
  const double u = p.y - v->bounds().y;
  Point r;
  r.x = f.x + (p.x - v->bounds().x);
  r.y = (v->isFlipped() == superFlipped) ? f.y + u : f.y + f.h - u;
  return r;
}

Point down(const View* v, Point p, bool superFlipped) {
  const Rect& f = v->frame();
  Point r;
  r.x = p.x - f.x + v->bounds().x;
  const double u = (v->isFlipped() == superFlipped) ? p.y - f.y : f.y + f.h - p.y;
  r.y = u + v->bounds().y;
  return r;
}

}  // namespace

Point View::convertToWindow(Point p) const {
  for (const View* v = this; v; v = v->m_super) p = up(v, p, v->m_super ? v->m_super->isFlipped() : false);
  return p;
}

Point View::convertFromWindow(Point p) const {
  std::vector<const View*> chain;
  for (const View* v = this; v; v = v->m_super) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const View* v = *it;
    p = down(v, p, v->m_super ? v->m_super->isFlipped() : false);
  }
  return p;
}

Point View::convertTo(Point p, const View* other) const {
  const Point w = convertToWindow(p);
  return other ? other->convertFromWindow(w) : w;
}

Point View::convertToScreen(Point p) const {
  Point w = convertToWindow(p);
  if (Window* win = window()) {
    w.x += win->frame().x;
    w.y += win->frame().y;
  }
  return w;
}

Point View::convertFromScreen(Point p) const {
  if (Window* win = window()) {
    p.x -= win->frame().x;
    p.y -= win->frame().y;
  }
  return convertFromWindow(p);
}

Rect View::convertRectTo(const Rect& r, const View* other) const {
  const Point a = convertTo(Point{r.x, r.y}, other);
  const Point b = convertTo(Point{r.x + r.w, r.y + r.h}, other);
  return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
}

View* View::hitTest(Point p) {
  if (m_hidden) return nullptr;
  if (m_super || !m_window) {
    if (!m_frame.contains(p)) return nullptr;
  } else if (!(p.x >= 0 && p.y >= 0 && p.x < m_frame.w && p.y < m_frame.h)) {
    return nullptr;
  }
  const Point local = down(this, p, m_super ? m_super->isFlipped() : false);
  for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it)
    if (View* hit = (*it)->hitTest(local)) return hit;
  return this;
}

void View::passUp(void (View::*call)(const Event&), const Event& e) {
  if (m_super) {
    Ref<View> hold(m_super);
    (m_super->*call)(e);
  }
}

Object* View::accessibilityHitTest(Point p) {
  View* hit = hitTest(m_super ? up(this, p, m_super->isFlipped()) : p);
  return hit ? hit : this;
}

std::vector<Object*> View::accessibilityChildren(Children which) {
  std::vector<Object*> out;
  for (View* v : m_subviews)
    if (which == Children::All || !v->m_hidden) out.push_back(v);
  return out;
}

void View::setNeedsDisplay(bool on) {
  m_needsDisplay = on;
  m_dirty.clear();
}

void View::setNeedsDisplayInRect(const Rect& r) {
  const Rect c = intersect(r, m_bounds);
  if (c.empty()) return;
  if (m_needsDisplay && m_dirty.empty()) return;  // whole already
  m_needsDisplay = true;
  for (const Rect& d : m_dirty)
    if (intersect(d, c).w == c.w && intersect(d, c).h == c.h) return;
  m_dirty.push_back(c);
}

Point View::surfaceOrigin() const {
  // The top-left corner in window base coordinates, then y flipped to the
  // surface's top-left origin.
  const Point corner = convertToWindow(Point{m_bounds.x, isFlipped() ? m_bounds.y : m_bounds.y + m_bounds.h});
  Window* w = window();
  const double h = w ? w->frame().h : 0;
  return Point{corner.x, h - corner.y};
}

void View::drawTree(const Rect& r, platform::Surface* s) {
  if (m_hidden) return;
  const Rect clip = intersect(r, m_bounds);
  if (clip.empty()) return;
  m_displayLog.push_back(clip);
  if (s) {
    const Point o = surfaceOrigin();
    platform::surfaceSaveState(s);
    const int ox = toPixel(o.x), oy = toPixel(o.y);
    platform::surfaceTranslate(s, ox - s->state.originX, oy - s->state.originY);
    const double ty = isFlipped() ? clip.y - m_bounds.y : m_bounds.y + m_bounds.h - clip.y - clip.h;
    platform::surfaceClipToRect(s, static_cast<float>(clip.x - m_bounds.x), static_cast<float>(ty),
                                static_cast<float>(clip.w), static_cast<float>(clip.h));
    drawRect(clip, s);
    platform::surfaceRestoreState(s);
  } else {
    drawRect(clip, nullptr);
  }
  for (size_t i = 0; i < m_subviews.size(); ++i) {
    View* v = m_subviews[i];
    Ref<View> hold(v);
    const Rect inSub = convertRectTo(clip, v);
    v->drawTree(inSub, s);
    v->m_needsDisplay = false;
    v->m_dirty.clear();
  }
}

void View::displayRectIgnoringOpacity(const Rect& r, platform::Surface* s) { drawTree(r, s); }

void View::displayIfNeeded(platform::Surface* s) {
  Ref<View> hold(this);
  if (m_needsDisplay) {
    std::vector<Rect> rects = m_dirty;
    if (rects.empty()) rects.push_back(m_bounds);
    m_needsDisplay = false;
    m_dirty.clear();
    for (const Rect& r : rects) drawTree(r, s);
    return;
  }
  const std::vector<View*> subs = m_subviews;
  for (View* v : subs) {
    if (!isLive(v) || v->m_super != this || v->m_hidden) continue;
    v->displayIfNeeded(s);
  }
}

void ClipView::setDocumentView(View* v) {
  Ref<View> hold(this);
  while (!subviews().empty()) subviews().front()->removeFromSuperview();
  if (v) addSubview(v);
}

ScrollView::ScrollView() {
  m_clip = new ClipView;
  addSubview(m_clip);
  m_clip->release();
}

Size ScrollView::contentSize() const {
  Size s{frame().w, frame().h};
  if (hasVerticalScroller) s.w -= 16;
  if (hasHorizontalScroller) s.h -= 16;
  return Size{std::max(0.0, s.w), std::max(0.0, s.h)};
}

void ScrollView::setFrame(const Rect& r) {
  View::setFrame(r);
  const Size c = contentSize();
  m_clip->setFrame(Rect{0, 0, c.w, c.h});
}

// ---- Widgets ----

void Control::sendAction() {
  if (!action) return;
  Ref<View> hold(this);
  auto call = action;
  try {
    call(this);
  } catch (...) {
  }
}

void Button::performClick() {
  if (!isEnabled()) return;
  Ref<View> hold(this);
  if (buttonType == Switch)
    state = (state == 1) ? 0 : 1;
  else if (buttonType == Radio)
    state = 1;
  sendAction();
}

void Button::mouseUp(const Event& e) {
  Window* w = window();
  if (!w || hitTest(convertFromWindow(e.location)) == nullptr) return;
  const Point p = convertFromWindow(e.location);
  if (p.x >= bounds().x && p.y >= bounds().y && p.x < bounds().x + bounds().w && p.y < bounds().y + bounds().h)
    performClick();
}

TextField::TextField() = default;

bool TextField::isEditing() const {
  Window* w = window();
  View* fr = w ? w->firstResponder() : nullptr;
  return m_editor && fr && fr->isDescendantOf(m_editor);
}

void TextField::beginEditing() {
  Window* w = window();
  if (!w || !editable) return;
  if (!live(m_editor)) {
    // The field editor: a text view inside a clip view inside the field.
    auto* clip = new ClipView;
    clip->setFrame(Rect{0, 0, frame().w, frame().h});
    auto* tv = new TextView;
    tv->setFrame(Rect{0, 0, frame().w, frame().h});
    clip->setDocumentView(tv);
    tv->release();
    addSubview(clip);
    clip->release();
    m_editor = clip;
  }
  auto* tv = static_cast<TextView*>(static_cast<ClipView*>(m_editor)->documentView());
  tv->string = stringValue;
  tv->selStart = 0;
  tv->selLength = stringValue.size();
  w->makeFirstResponder(tv);
}

void TextField::endEditing() {
  if (!live(m_editor)) return;
  auto* tv = static_cast<TextView*>(static_cast<ClipView*>(m_editor)->documentView());
  if (tv) stringValue = tv->string;
  Window* w = window();
  if (w && isEditing()) w->makeFirstResponder(nullptr);
  m_editor->removeFromSuperview();
  m_editor = nullptr;
}

void Slider::setDoubleValue(double v) {
  if (!(v == v)) v = minValue;
  doubleValue = std::clamp(v, std::min(minValue, maxValue), std::max(minValue, maxValue));
}

// ---- Windows ----

Window::Window(const Rect& r, unsigned styleMask, Kind kind) : m_kind(kind), m_frame(r), m_style(styleMask) {
  if (m_frame.w < 0) m_frame.w = 0;
  if (m_frame.h < 0) m_frame.h = 0;
  auto* v = new View;
  v->setFrame(Rect{0, 0, m_frame.w, m_frame.h});
  setContentView(v);
  v->release();
  AppState::get().addWindow(this);
}

Window::~Window() {
  AppState::get().removeWindow(this);
  for (Window* c : m_children) c->m_parent = nullptr;
  if (m_parent && isLive(m_parent)) {
    auto& ch = m_parent->m_children;
    ch.erase(std::remove(ch.begin(), ch.end(), this), ch.end());
  }
  setContentView(nullptr);
  if (m_accessory) m_accessory->release();
  platform::surfaceRelease(m_surface);
}

platform::Surface* Window::surface() {
  resizeBacking();
  return m_surface;
}

const std::vector<uint32_t>& Window::pixels() {
  resizeBacking();
  return m_pixels;
}

void Window::resizeBacking() {
  const int w = std::max(1, toPixel(std::min(m_frame.w, 10000.0)));
  const int h = std::max(1, toPixel(std::min(m_frame.h, 10000.0)));
  if (m_surface && m_surface->width == w && m_surface->height == h) return;
  platform::surfaceRelease(m_surface);
  m_pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  m_surface = platform::surfaceCreate(m_pixels.data(), w, h, w * 4);
}

void Window::setFrame(const Rect& r, bool display) {
  Rect n = r;
  if (!(n.w >= 0)) n.w = 0;
  if (!(n.h >= 0)) n.h = 0;
  const bool moved = n.x != m_frame.x || n.y != m_frame.y;
  m_frame = n;
  if (m_content && (m_content->m_frame.w != n.w || m_content->m_frame.h != n.h)) {
    m_content->resizeAsContent(n.w, n.h);
    m_content->setNeedsDisplay(true);
  }
  if (moved) {
    Ref<Window> hold(this);
    windowDidMove();
  }
  if (display) this->display();
}

void Window::setFrameOrigin(Point p) { setFrame(Rect{p.x, p.y, m_frame.w, m_frame.h}, false); }

void Window::setAccessoryView(View* v) {
  Ref<Window> hold(this);
  if (v) v->retain();
  if (m_accessory) m_accessory->release();
  m_accessory = v;
}

bool Window::isKeyWindow() const { return AppState::get().key == this; }

void Window::orderFront() {
  if (m_closed) return;
  m_visible = true;
  m_mini = false;
  AppState::get().toFront(this);
}

void Window::orderOut() {
  m_visible = false;
  AppState& a = AppState::get();
  a.removeOrdered(this);
  if (a.key == this) {
    Ref<Window> hold(this);
    a.key = nullptr;
    resignKeyWindow();
  }
}

void Window::makeKeyWindow() {
  AppState& a = AppState::get();
  if (a.key == this || m_closed || !canBecomeKeyWindow()) return;
  Ref<Window> hold(this);
  if (a.key && isLive(a.key)) {
    Ref<Window> old(a.key);
    a.key = nullptr;
    old->resignKeyWindow();
  }
  a.key = this;
  becomeKeyWindow();
}

void Window::makeKeyAndOrderFront() {
  orderFront();
  makeKeyWindow();
}

void Window::center() {
  const std::vector<Screen> s = app::screens();
  if (s.empty()) return;
  const Rect& v = s[0].visibleFrame;
  setFrameOrigin(Point{v.x + (v.w - m_frame.w) / 2, v.y + (v.h - m_frame.h) / 2});
}

void Window::performClose() {
  Ref<Window> hold(this);
  if (windowShouldClose()) close();
}

void Window::close() {
  if (m_closed) return;
  Ref<Window> hold(this);
  orderOut();
  m_closed = true;
  AppState::get().closed(this);
  if (releasedWhenClosed) release();
}

void Window::setContentView(View* v) {
  if (v == m_content || (v && (!isLive(v) || !isLive(this)))) return;
  Ref<Window> hold(this);  // the old content's teardown may run procedures
  if (v) {
    v->retain();
    if (v->m_super) v->detach(true);
    if (v->m_window && v->m_window != this) v->m_window->setContentView(nullptr);
  }
  View* old = m_content;
  m_content = v;
  if (old) {
    old->m_window = nullptr;
    old->release();
  }
  if (v) {
    v->m_window = this;
    v->resizeAsContent(m_frame.w, m_frame.h);
    v->setNeedsDisplay(true);
  }
}

View* Window::firstResponder() const {
  View* fr = live(m_firstResponder);
  return fr && fr->window() == this ? fr : nullptr;
}

bool Window::makeFirstResponder(View* v) {
  // The view's answer may run procedures: both stay alive meanwhile.
  Ref<Window> hold(this);
  Ref<View> holdView(v);
  // The window is asked again after the answer, which may have moved the view.
  if (v && (v->window() != this || !v->acceptsFirstResponder() || v->window() != this)) return false;
  m_firstResponder = v;
  return true;
}

Window* Window::parentWindow() const { return m_parent && isLive(m_parent) ? m_parent : nullptr; }

void Window::addChildWindow(Window* w) {
  if (!w || w == this || !isLive(w) || !isLive(this)) return;
  if (w->m_parent && isLive(w->m_parent)) w->m_parent->removeChildWindow(w);
  w->m_parent = this;
  m_children.push_back(w);
}

void Window::removeChildWindow(Window* w) {
  auto it = std::find(m_children.begin(), m_children.end(), w);
  if (it == m_children.end()) return;
  m_children.erase(it);
  w->m_parent = nullptr;
}

void Window::displayIfNeeded() {
  if (!m_content) return;
  Ref<Window> holdWindow(this);  // its surface is drawn into
  Ref<View> hold(m_content);
  m_content->displayIfNeeded(surface());
}

void Window::display() {
  if (!m_content) return;
  m_content->setNeedsDisplay(true);
  displayIfNeeded();
}

}  // namespace winsys
