// The application of the window system: window lists, timers, modal runs,
// event delivery, alerts and drags, and the test API that drives them.
#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/pngwrite.h"
#include "platform/winsys/appstate.h"
#include "platform/winsys/testapi.h"

namespace winsys {

namespace {

std::vector<Screen> defaultScreens() {
  Screen s;
  s.frame = Rect{0, 0, 1600, 1200};
  s.visibleFrame = s.frame;
  return {s};
}

template <class T>
void eraseValue(std::vector<T>& v, const T& x) {
  v.erase(std::remove(v.begin(), v.end(), x), v.end());
}

uint64_t nowMicros() { return platform::monotonicMicros(); }

// The frontmost visible window holding a screen point (left and lower edges
// inclusive); during a modal run only the modal window counts.
Window* windowAt(Point p) {
  AppState& a = AppState::get();
  if (!a.modal.empty()) {
    Window* m = a.modal.back()->window;
    return (isLive(m) && m->isVisible() && m->frame().contains(p)) ? m : nullptr;
  }
  for (Window* w : a.ordered)
    if (isLive(w) && w->isVisible() && !w->ignoresMouseEvents && w->frame().contains(p)) return w;
  return nullptr;
}

Point toBase(Window* w, Point screen) { return Point{screen.x - w->frame().x, screen.y - w->frame().y}; }

class CurrentEvent {
 public:
  explicit CurrentEvent(const Event& e) : m_saved(AppState::get().current), m_had(AppState::get().hasCurrent) {
    AppState::get().current = e;
    AppState::get().hasCurrent = true;
  }
  ~CurrentEvent() {
    AppState::get().current = m_saved;
    AppState::get().hasCurrent = m_had;
  }

 private:
  Event m_saved;
  bool m_had;
};

void setPressed(View* v) {
  AppState& a = AppState::get();
  if (v) v->retain();
  View* old = a.pressed;
  a.pressed = v;
  if (old) old->release();
}

void deliverPress(Event e) {
  AppState& a = AppState::get();
  Window* w = windowAt(e.location);
  if (!w) return;
  Ref<Window> hw(w);
  e.window = w;
  e.location = toBase(w, e.location);
  CurrentEvent cur(e);
  View* content = w->contentView();
  if (!content) return;
  Ref<View> hit(content->hitTest(e.location));
  if (!hit) return;
  if (e.type == EventType::LeftDown) {
    if (!w->isKeyWindow()) {
      w->makeKeyWindow();
      if (!isLive(hit.get()) || !hit->acceptsFirstMouse(e)) return;
    }
    if (hit->window() == w && hit->acceptsFirstResponder()) w->makeFirstResponder(hit.get());
  }
  setPressed(hit.get());
  a.pressType = e.type;
  if (e.type == EventType::LeftDown)
    hit->mouseDown(e);
  else if (e.type == EventType::RightDown)
    hit->rightMouseDown(e);
  else
    hit->otherMouseDown(e);
}

void deliverFollow(Event e) {
  AppState& a = AppState::get();
  Ref<View> v(isLive(a.pressed) ? a.pressed : nullptr);
  const bool up = e.type == EventType::LeftUp || e.type == EventType::RightUp || e.type == EventType::OtherUp;
  if (up) setPressed(nullptr);
  if (!v) return;
  Window* w = v->window();
  if (!w) return;
  Ref<Window> hw(w);
  e.window = w;
  e.location = toBase(w, e.location);
  CurrentEvent cur(e);
  switch (e.type) {
    case EventType::LeftUp: v->mouseUp(e); break;
    case EventType::RightUp: v->rightMouseUp(e); break;
    case EventType::OtherUp: v->otherMouseUp(e); break;
    case EventType::LeftDragged: v->mouseDragged(e); break;
    case EventType::RightDragged: v->rightMouseDragged(e); break;
    default: v->otherMouseDragged(e); break;
  }
}

void deliverToKeyResponder(Event e) {
  AppState& a = AppState::get();
  Window* w = isLive(a.key) ? a.key : nullptr;
  if (!w) return;
  Ref<Window> hw(w);
  if (e.type == EventType::Moved) e.location = toBase(w, e.location);
  e.window = w;
  CurrentEvent cur(e);
  Ref<View> v(w->firstResponder() ? w->firstResponder() : w->contentView());
  if (!v) return;
  if (e.type == EventType::KeyDown)
    v->keyDown(e);
  else if (e.type == EventType::KeyUp)
    v->keyUp(e);
  else
    v->mouseMoved(e);
}

void deliverUnderPointer(Event e) {
  Window* w = windowAt(e.location);
  if (!w || !w->contentView()) return;
  Ref<Window> hw(w);
  e.window = w;
  e.location = toBase(w, e.location);
  CurrentEvent cur(e);
  Ref<View> v(w->contentView()->hitTest(e.location));
  if (!v) return;
  switch (e.type) {
    case EventType::ScrollWheel: v->scrollWheel(e); break;
    case EventType::Magnify: v->magnifyWithEvent(e); break;
    case EventType::Rotate: v->rotateWithEvent(e); break;
    default: v->swipeWithEvent(e); break;
  }
}

void deliverQueued() {
  AppState& a = AppState::get();
  // Only the events queued before this turn.
  size_t n = a.queued.size();
  while (n-- > 0 && !a.queued.empty()) {
    Event e = a.queued.front();
    a.queued.pop_front();
    app::sendEvent(e);
  }
}

void modalTurn(AppState::Run* run) {
  deliverQueued();
  app::fireDueTimers();
  if (!run->stopped && run->turn && isLive(run->window)) {
    auto turn = run->turn;
    try {
      turn(run->window);
    } catch (...) {
    }
  }
  app::displayWindows();
}

// Runs a drag over the view under a screen point; true when it was taken.
bool performDrop(Point screen, const Drag& d) {
  Window* w = windowAt(screen);
  if (!w || !w->contentView()) return false;
  Ref<Window> hw(w);
  Ref<View> v(w->contentView()->hitTest(toBase(w, screen)));
  while (v && !v->isDropTarget()) v = Ref<View>(v->superview());
  if (!v) return false;
  Drag drag = d;
  drag.screenLocation = screen;
  if (v->draggingEntered(drag) == 0) return false;
  v->draggingUpdated(drag);
  return v->performDragOperation(drag);
}

}  // namespace

// ---- Application state ----

AppState& AppState::get() {
  static AppState* s = [] {
    auto* st = new AppState;
    st->screens = defaultScreens();
    return st;
  }();
  return *s;
}

void AppState::addWindow(Window* w) { windows.push_back(w); }

void AppState::removeWindow(Window* w) {
  eraseValue(windows, w);
  eraseValue(ordered, w);
  if (key == w) key = nullptr;
}

void AppState::toFront(Window* w) {
  eraseValue(ordered, w);
  // In front of the windows of its level and below those of higher levels.
  auto it = ordered.begin();
  while (it != ordered.end() && isLive(*it) && (*it)->level > w->level) ++it;
  ordered.insert(it, w);
}

void AppState::removeOrdered(Window* w) { eraseValue(ordered, w); }

void AppState::closed(Window* w) {
  eraseValue(windows, w);
  eraseValue(ordered, w);
  if (key == w) key = nullptr;
  for (Run* r : modal)
    if (r->window == w && r->session && !r->stopped) {
      r->stopped = true;
      r->code = app::kRunStopped;
    }
}

namespace app {

std::vector<Window*> windows() { return AppState::get().windows; }
std::vector<Window*> orderedWindows() { return AppState::get().ordered; }
Window* keyWindow() {
  Window* k = AppState::get().key;
  return isLive(k) ? k : nullptr;
}
Window* mainWindow() { return keyWindow(); }
Menu* mainMenu() {
  Menu* m = AppState::get().mainMenu;
  return isLive(m) ? m : nullptr;
}
void setMainMenu(Menu* m) {
  AppState& a = AppState::get();
  if (m) m->retain();
  Menu* old = a.mainMenu;
  a.mainMenu = m;
  if (old) old->release();
}
bool isActive() { return AppState::get().active; }
void setActive(bool v) { AppState::get().active = v; }
bool isHidden() { return AppState::get().hidden; }
void hide() { AppState::get().hidden = true; }
bool isTerminating() { return AppState::get().terminating; }
void setTerminating(bool t) { AppState::get().terminating = t; }
unsigned systemVersion() { return AppState::get().version; }
void setSystemVersion(unsigned v) { AppState::get().version = v; }
unsigned presentationOptions() { return AppState::get().presentation; }
void setPresentationOptions(unsigned o) { AppState::get().presentation = o; }
std::vector<Screen> screens() { return AppState::get().screens; }
const Event* currentEvent() { return AppState::get().hasCurrent ? &AppState::get().current : nullptr; }
Point pointerLocation() { return AppState::get().pointer; }
unsigned modifierFlags() { return AppState::get().modifiers; }

bool isMainThread() {
  AppState& a = AppState::get();
  if (!a.mainKnown) setMainThread();
  return a.mainThread == std::this_thread::get_id();
}

void setMainThread() {
  AppState::get().mainKnown = true;
  AppState::get().mainThread = std::this_thread::get_id();
}

int scheduleTimer(Object* owner, int periodMs, bool repeats, std::function<void()> fire) {
  AppState& a = AppState::get();
  const uint64_t period = static_cast<uint64_t>(std::max(periodMs, 0)) * 1000;
  const int id = a.nextTimer++;
  a.timers.push_back(AppState::Timer{id, owner, nowMicros() + period, period, repeats, std::move(fire)});
  return id;
}

void cancelTimer(int id) {
  auto& t = AppState::get().timers;
  t.erase(std::remove_if(t.begin(), t.end(), [id](const AppState::Timer& x) { return x.id == id; }), t.end());
}

void cancelTimers(Object* owner) {
  auto& t = AppState::get().timers;
  t.erase(std::remove_if(t.begin(), t.end(), [owner](const AppState::Timer& x) { return x.owner == owner; }),
          t.end());
}

void fireDueTimers() {
  AppState& a = AppState::get();
  const uint64_t now = nowMicros();
  std::vector<AppState::Timer> due;
  for (const auto& t : a.timers)
    if (t.due <= now) due.push_back(t);
  std::stable_sort(due.begin(), due.end(), [](const auto& x, const auto& y) { return x.due < y.due; });
  for (const auto& t : due) {
    auto it = std::find_if(a.timers.begin(), a.timers.end(), [&](const auto& x) { return x.id == t.id; });
    if (it == a.timers.end() || !isLive(t.owner)) continue;
    if (it->repeats && it->period > 0) {
      while (it->due <= now) it->due += it->period;  // missed firings are skipped
    } else {
      a.timers.erase(it);
    }
    Ref<Object> hold(t.owner);
    auto fire = t.fire;
    try {
      fire();
    } catch (...) {
      // A timer's callback is the end of the line for its exceptions.
    }
  }
}

int runModal(Window* w, std::function<void(Window*)> turn) {
  if (!isLive(w)) return kRunAborted;
  AppState& a = AppState::get();
  Ref<Window> hold(w);
  AppState::Run run{w, std::move(turn)};
  const bool hooked = static_cast<bool>(run.turn);
  a.modal.push_back(&run);
  w->makeKeyAndOrderFront();
  while (!run.stopped) {
    modalTurn(&run);
    if (run.stopped) break;
    if (w->isClosed()) {
      run.stopped = true;
      run.code = kRunAborted;
      break;
    }
    if (!hooked) {
      // Nobody answers: only timers can end the run; without one it never ends.
      uint64_t next = UINT64_MAX;
      for (const auto& t : a.timers) next = std::min(next, t.due);
      if (next == UINT64_MAX) {
        run.stopped = true;
        run.code = kRunAborted;
      } else if (next > nowMicros()) {
        platform::sleepMicros(next - nowMicros());
      }
    }
  }
  eraseValue(a.modal, &run);
  return run.code;
}

static AppState::Run* innermost() {
  AppState& a = AppState::get();
  return a.modal.empty() ? nullptr : a.modal.back();
}

void stopModalWithCode(int code) {
  if (AppState::Run* r = innermost()) {
    r->stopped = true;
    r->code = code;
  }
}
void stopModal() { stopModalWithCode(kRunStopped); }
void abortModal() { stopModalWithCode(kRunAborted); }

Window* modalWindow() {
  AppState::Run* r = innermost();
  return r && isLive(r->window) ? r->window : nullptr;
}

void runTimersFor(int ms, const std::function<bool()>& until) {
  AppState& a = AppState::get();
  const uint64_t end = nowMicros() + static_cast<uint64_t>(std::max(ms, 0)) * 1000;
  for (;;) {
    fireDueTimers();
    if (until && until()) return;
    const uint64_t now = nowMicros();
    if (now >= end) return;
    uint64_t next = end;
    for (const auto& t : a.timers) next = std::min(next, t.due);
    platform::sleepMicros(next > now ? next - now : 1);
  }
}


struct Session {
  AppState::Run run;
  Ref<Window> hold;
};

Session* beginModalSession(Window* w) {
  if (!isLive(w)) return nullptr;
  auto* s = new Session{AppState::Run{w, nullptr}, Ref<Window>(w)};
  s->run.session = true;
  AppState::get().modal.push_back(&s->run);
  w->makeKeyAndOrderFront();
  return s;
}

int runModalSession(Session* s) {
  if (!s) return kRunAborted;
  if (!s->run.stopped) {
    if (s->hold->isClosed()) {
      s->run.stopped = true;
      s->run.code = kRunStopped;
    } else {
      modalTurn(&s->run);
    }
  }
  return s->run.stopped ? s->run.code : kRunContinues;
}

void endModalSession(Session* s) {
  if (!s) return;
  eraseValue(AppState::get().modal, &s->run);
  delete s;
}

void sendEvent(const Event& in) {
  AppState& a = AppState::get();
  Event e = in;
  if (e.timestamp == 0) e.timestamp = nowMicros();
  a.modifiers = e.modifiers;
  if (e.type != EventType::KeyDown && e.type != EventType::KeyUp && e.type != EventType::FlagsChanged) {
    a.pointer = e.screenLocation();
    if (e.window) e.location = a.pointer;  // delivery works from the screen point
    e.window = nullptr;
  }
  switch (e.type) {
    case EventType::LeftDown:
    case EventType::RightDown:
    case EventType::OtherDown: deliverPress(e); break;
    case EventType::LeftUp:
    case EventType::RightUp:
    case EventType::OtherUp:
    case EventType::LeftDragged:
    case EventType::RightDragged:
    case EventType::OtherDragged: deliverFollow(e); break;
    case EventType::Moved:
    case EventType::KeyDown:
    case EventType::KeyUp: deliverToKeyResponder(e); break;
    case EventType::ScrollWheel:
    case EventType::Magnify:
    case EventType::Rotate:
    case EventType::Swipe: deliverUnderPointer(e); break;
    default: break;
  }
}

void performWithEvent(const Event& e, const std::function<void()>& fn) {
  CurrentEvent cur(e);
  if (!fn) return;
  try {
    fn();
  } catch (...) {
  }
}

void displayWindows() {
  const std::vector<Window*> list = AppState::get().ordered;
  for (Window* w : list) {
    if (!isLive(w) || !w->isVisible()) continue;
    Ref<Window> hold(w);
    w->displayIfNeeded();
  }
}

std::string runAlert(const std::string& title, const std::string& message, const std::vector<std::string>& buttons) {
  AppState& a = AppState::get();
  AlertRecord rec{title, message, buttons, ""};
  if (!a.alertAnswers.empty()) {
    const std::string ans = a.alertAnswers.front();
    a.alertAnswers.pop_front();
    if (std::find(buttons.begin(), buttons.end(), ans) != buttons.end()) rec.answer = ans;
  }
  a.alertRecords.push_back(rec);
  return rec.answer;
}

void beginDrag(const Drag& d) {
  AppState::get().drag = d;
  AppState::get().hasDrag = true;
}

const Drag* pendingDrag() { return AppState::get().hasDrag ? &AppState::get().drag : nullptr; }

}  // namespace app

// ---- Test API ----

namespace test {

void reset() {
  AppState& a = AppState::get();
  while (!a.modal.empty()) {
    a.modal.back()->stopped = true;
    a.modal.pop_back();
  }
  // Closing runs procedures, which may open windows of their own: close
  // until none is left.
  for (int round = 0; round < 1000 && !a.windows.empty(); ++round) {
    const std::vector<Window*> list = a.windows;
    for (Window* w : list)
      if (isLive(w)) w->close();
  }
  a.timers.clear();
  app::setMainMenu(nullptr);
  setPressed(nullptr);
  a.windows.clear();
  a.ordered.clear();
  a.key = nullptr;
  a.active = true;
  a.hidden = false;
  a.terminating = false;
  a.version = 0x1060;
  a.presentation = 0;
  a.screens = defaultScreens();
  a.hasCurrent = false;
  a.pointer = Point{};
  a.modifiers = 0;
  a.queued.clear();
  a.hasDrag = false;
  a.drag = Drag{};
  a.alertAnswers.clear();
  a.alertRecords.clear();
  a.mainKnown = false;
}

void setScreens(const std::vector<Screen>& s) { AppState::get().screens = s; }

namespace {
Event make(EventType t, Point screen, int clicks = 0, unsigned mods = 0) {
  Event e;
  e.type = t;
  e.location = screen;
  e.clickCount = clicks;
  e.modifiers = mods;
  return e;
}
}  // namespace

void press(Point p, EventType type, int clickCount, unsigned modifiers) {
  app::sendEvent(make(type, p, clickCount, modifiers));
}

void release(Point p, unsigned modifiers) {
  AppState& a = AppState::get();
  const EventType t = a.pressType == EventType::RightDown ? EventType::RightUp
                      : a.pressType == EventType::OtherDown ? EventType::OtherUp
                                                            : EventType::LeftUp;
  app::sendEvent(make(t, p, 1, modifiers));
}

void drag(Point p, unsigned modifiers) {
  AppState& a = AppState::get();
  const EventType t = a.pressType == EventType::RightDown ? EventType::RightDragged
                      : a.pressType == EventType::OtherDown ? EventType::OtherDragged
                                                            : EventType::LeftDragged;
  app::sendEvent(make(t, p, 1, modifiers));
}

void click(Point p, int clickCount, unsigned modifiers) {
  press(p, EventType::LeftDown, clickCount, modifiers);
  release(p, modifiers);
}

void rightClick(Point p, unsigned modifiers) {
  press(p, EventType::RightDown, 1, modifiers);
  release(p, modifiers);
}

void moveMouse(Point p, unsigned modifiers) { app::sendEvent(make(EventType::Moved, p, 0, modifiers)); }

void scroll(Point p, double dx, double dy) {
  Event e = make(EventType::ScrollWheel, p);
  e.deltaX = dx;
  e.deltaY = dy;
  app::sendEvent(e);
}

void magnify(Point p, double amount) {
  Event e = make(EventType::Magnify, p);
  e.magnification = amount;
  app::sendEvent(e);
}

void rotate(Point p, double degrees) {
  Event e = make(EventType::Rotate, p);
  e.rotation = degrees;
  app::sendEvent(e);
}

void swipe(Point p, double dx, double dy) {
  Event e = make(EventType::Swipe, p);
  e.deltaX = dx;
  e.deltaY = dy;
  app::sendEvent(e);
}

void key(int keyCode, bool down, unsigned modifiers) {
  Event e = make(down ? EventType::KeyDown : EventType::KeyUp, Point{}, 0, modifiers);
  e.keyCode = keyCode;
  app::sendEvent(e);
}

void queue(const Event& e) { AppState::get().queued.push_back(e); }

bool dropFiles(Point screen, const std::vector<std::string>& paths) {
  Drag d;
  d.fileNames = paths;
  return performDrop(screen, d);
}

bool dropPending(Point screen) {
  AppState& a = AppState::get();
  if (!a.hasDrag) return false;
  Drag d = a.drag;
  a.hasDrag = false;
  return performDrop(screen, d);
}

void turn() {
  deliverQueued();
  app::fireDueTimers();
  app::displayWindows();
}

void pump(int ms) {
  app::runTimersFor(ms);
  app::displayWindows();
}

void answerAlert(const std::string& button) { AppState::get().alertAnswers.push_back(button); }
const std::vector<app::AlertRecord>& alerts() { return AppState::get().alertRecords; }

int levelOf(Window* w) { return isLive(w) ? w->level : 0; }
Rect frameOf(Window* w) { return isLive(w) ? w->frame() : Rect{}; }
View* responderOf(Window* w) { return isLive(w) ? w->firstResponder() : nullptr; }

bool dumpPNG(Window* w, const std::string& path) {
  if (!live(w) || !w->surface()) return false;
  const platform::Surface* s = w->surface();
  return platform::writePNG(path, s->pixels, s->width, s->height, s->span, false);
}

}  // namespace test

}  // namespace winsys
