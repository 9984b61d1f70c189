#pragma once
// The window system the emulation layer runs on: counted objects (views,
// windows, menus), an application with its window order, key window,
// screens, timers and modal runs, events and drags as data, and backing
// surfaces that windows paint into. There is no display: tests and tools
// drive it through winsys/testapi.h.
//
// Threads: everything here belongs to the main thread (the first thread that
// uses the model, or the one named by setMainThread). The registry of live
// objects is the exception: isLive() and lookup() may be called from any
// thread and take the registry's own lock; an object found that way may be
// used only on the main thread.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace winsys {

struct Point {
  double x = 0, y = 0;
};
struct Size {
  double w = 0, h = 0;
};
struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
  bool empty() const { return !(w > 0) || !(h > 0); }
  bool contains(Point p) const { return p.x >= x && p.x < x + w && p.y >= y && p.y < y + h; }
};
Rect intersect(const Rect& a, const Rect& b);
Rect unite(const Rect& a, const Rect& b);  // an empty side gives the other

// ---- Counted objects --------------------------------------------------------

// Every object is registered while it lives, so that handles can be checked
// before they are followed; an object being torn down is no longer
// registered. A new object has one reference, its creator's.
class Object {
 public:
  Object();
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  void retain() { ++m_refs; }
  void release();
  int refs() const { return m_refs; }

 private:
  int m_refs = 1;
};

// True while p is the address of a live object.
bool isLive(const void* p);
// The live object at p as a T, or null (dead, foreign or of another kind).
template <class T>
T* lookup(const void* p) {
  return isLive(p) ? dynamic_cast<T*>(static_cast<Object*>(const_cast<void*>(p))) : nullptr;
}
// p itself while it is a live object of its own type, else null: for weak
// pointers whose object may be gone (and its address taken by another).
template <class T>
T* live(T* p) {
  return lookup<T>(p);
}
// The number of live objects (for tests).
size_t liveObjects();

// Holds a reference for the life of a scope.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : m_p(p) {
    if (m_p) m_p->retain();
  }
  ~Ref() { reset(); }
  Ref(const Ref& o) : Ref(o.m_p) {}
  Ref& operator=(const Ref& o) {
    Ref t(o);
    std::swap(m_p, t.m_p);
    return *this;
  }
  void reset() {
    if (m_p) m_p->release();
    m_p = nullptr;
  }
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
};

class View;
class Window;

// The minimal accessibility protocol: an element answers a hit test, its
// focused element and whether it is ignored. Asked only by tests.
class AccessibilityElement : public Object {
 public:
  virtual Object* accessibilityHitTest(Point) { return this; }
  virtual Object* accessibilityFocusedElement() { return nullptr; }
  virtual bool accessibilityIsIgnored() { return false; }
};

// ---- Events and drags -------------------------------------------------------

enum class EventType {
  LeftDown = 1, LeftUp = 2, RightDown = 3, RightUp = 4, Moved = 5, LeftDragged = 6, RightDragged = 7,
  KeyDown = 10, KeyUp = 11, FlagsChanged = 12, ScrollWheel = 22, OtherDown = 25, OtherUp = 26,
  OtherDragged = 27, Magnify = 30, Swipe = 31, Rotate = 18,
};
enum : unsigned { kShiftKey = 0x20000, kControlKey = 0x40000, kOptionKey = 0x80000, kCommandKey = 0x100000 };

struct Event {
  EventType type = EventType::Moved;
  Point location;  // in the window's base coordinates (y up); the screen when window is null
  Window* window = nullptr;
  unsigned modifiers = 0;
  int clickCount = 0;
  double pressure = 0;
  double deltaX = 0, deltaY = 0;
  double magnification = 0, rotation = 0;
  int keyCode = 0;
  std::string characters;
  uint64_t timestamp = 0;  // monotonic microseconds
  Point screenLocation() const;
};

// A drag in progress: what the pasteboard holds and who started it.
struct Drag {
  std::vector<std::string> fileNames;       // the file-names type
  std::vector<std::string> promisedTypes;   // the files-promise type
  View* source = nullptr;                   // checked with isLive before use
  Point screenLocation;
  Rect imageRect;
};

// ---- Views -----------------------------------------------------------------

class View : public Object {
 public:
  View();
  ~View() override;

  const Rect& frame() const { return m_frame; }
  const Rect& bounds() const { return m_bounds; }
  virtual void setFrame(const Rect& r);
  void setFrameOrigin(Point p);
  void setBoundsOrigin(Point p);
  virtual bool isFlipped() const { return m_flipped; }
  void setFlipped(bool f) { m_flipped = f; }
  virtual bool isOpaque() const { return m_opaque; }
  virtual void setOpaque(bool o) { m_opaque = o; }
  bool isHidden() const { return m_hidden; }
  void setHidden(bool h);
  bool isHiddenOrHasHiddenAncestor() const;
  virtual int tag() const { return -1; }

  View* superview() const { return m_super; }
  Window* window() const;
  const std::vector<View*>& subviews() const { return m_subviews; }
  enum class Place { Above, Below };
  // Appends v (taking it from its old superview), or puts it next to rel.
  void addSubview(View* v);
  void addSubview(View* v, Place where, View* rel);
  void removeFromSuperview();
  void removeFromSuperviewWithoutNeedingDisplay();
  bool isDescendantOf(const View* v) const;  // true for v itself
  int indexOf(const View* v) const;          // -1 when not a subview

  // Coordinates: a point in this view's own coordinates to the window's base
  // coordinates (y up, content view's lower left at 0, 0), and back; between
  // two views of one window; to and from the screen.
  Point convertToWindow(Point p) const;
  Point convertFromWindow(Point p) const;
  Point convertTo(Point p, const View* other) const;  // null: window base
  Point convertToScreen(Point p) const;
  Point convertFromScreen(Point p) const;
  Rect convertRectTo(const Rect& r, const View* other) const;
  // The deepest visible view under p (in the superview's coordinates).
  virtual View* hitTest(Point p);

  // Display requests: whole (no rectangles) or a list of rectangles.
  bool needsDisplay() const { return m_needsDisplay; }
  void setNeedsDisplay(bool on);
  void setNeedsDisplayInRect(const Rect& r);
  const std::vector<Rect>& dirtyRects() const { return m_dirty; }
  // Draws this view's pending rectangles and its subviews into the window's
  // backing surface. A subclass may take over the whole pass.
  virtual void displayIfNeeded(platform::Surface* s);
  // Draws r (own coordinates) and the subviews within it.
  void displayRectIgnoringOpacity(const Rect& r, platform::Surface* s);
  // The display calls made on this view, in order (native views' record).
  const std::vector<Rect>& displayLog() const { return m_displayLog; }
  void clearDisplayLog() { m_displayLog.clear(); }

  // Responder calls. The defaults pass the event on to the superview.
  virtual bool acceptsFirstResponder() { return false; }
  virtual bool acceptsFirstMouse(const Event&) { return false; }
  virtual void mouseDown(const Event& e) { passUp(&View::mouseDown, e); }
  virtual void mouseUp(const Event& e) { passUp(&View::mouseUp, e); }
  virtual void mouseDragged(const Event& e) { passUp(&View::mouseDragged, e); }
  virtual void mouseMoved(const Event& e) { passUp(&View::mouseMoved, e); }
  virtual void rightMouseDown(const Event& e) { passUp(&View::rightMouseDown, e); }
  virtual void rightMouseUp(const Event& e) { passUp(&View::rightMouseUp, e); }
  virtual void rightMouseDragged(const Event& e) { passUp(&View::rightMouseDragged, e); }
  virtual void otherMouseDown(const Event& e) { passUp(&View::otherMouseDown, e); }
  virtual void otherMouseUp(const Event& e) { passUp(&View::otherMouseUp, e); }
  virtual void otherMouseDragged(const Event& e) { passUp(&View::otherMouseDragged, e); }
  virtual void scrollWheel(const Event& e) { passUp(&View::scrollWheel, e); }
  virtual void magnifyWithEvent(const Event& e) { passUp(&View::magnifyWithEvent, e); }
  virtual void rotateWithEvent(const Event& e) { passUp(&View::rotateWithEvent, e); }
  virtual void swipeWithEvent(const Event& e) { passUp(&View::swipeWithEvent, e); }
  virtual void keyDown(const Event& e) { passUp(&View::keyDown, e); }
  virtual void keyUp(const Event& e) { passUp(&View::keyUp, e); }

  // Drag destination calls; the answer is the operation (0: none).
  virtual int draggingEntered(const Drag&) { return 0; }
  virtual int draggingUpdated(const Drag&) { return 0; }
  virtual void draggingExited(const Drag&) {}
  virtual bool performDragOperation(const Drag&) { return false; }
  // Drag source: creates the promised files in folder and names them.
  virtual std::vector<std::string> namesOfPromisedFilesDroppedAtDestination(const std::string& folder) {
    return {};
  }
  void registerForDraggedTypes(bool on) { m_dropTarget = on; }

  // Accessibility: the defaults are the view itself, its subviews, and not
  // ignored.
  enum class Children { All, Visible };
  virtual Object* accessibilityHitTest(Point p);
  virtual Object* accessibilityFocusedElement() { return this; }
  virtual std::vector<Object*> accessibilityChildren(Children which);
  virtual bool accessibilityIsIgnored() { return false; }
  bool isDropTarget() const { return m_dropTarget; }

 protected:
  // Tree and visibility notices.
  virtual void viewDidHide() {}
  virtual void viewDidUnhide() {}
  virtual void didAddSubview(View*) {}
  virtual void willRemoveSubview(View*) {}
  virtual void frameDidChange() {}
  // Paints dirty (own coordinates) into s, whose origin is this view's
  // top-left corner.
  virtual void drawRect(const Rect& dirty, platform::Surface* s) {}

 private:
  friend class Window;
  void passUp(void (View::*call)(const Event&), const Event& e);
  // The content view's resize by its window (no setFrame call).
  void resizeAsContent(double w, double h);
  void detach(bool display);
  void drawTree(const Rect& r, platform::Surface* s);
  // The surface origin of this view's top-left corner in the window.
  Point surfaceOrigin() const;

  Rect m_frame, m_bounds;
  bool m_flipped = false, m_opaque = false, m_hidden = false;
  bool m_needsDisplay = false, m_dropTarget = false;
  View* m_super = nullptr;
  Window* m_window = nullptr;  // set on the content view only
  std::vector<View*> m_subviews;
  std::vector<Rect> m_dirty;
  std::vector<Rect> m_displayLog;
};

// A view that shows part of its document view.
class ClipView : public View {
 public:
  View* documentView() const { return subviews().empty() ? nullptr : subviews().front(); }
  void setDocumentView(View* v);
};

class ScrollView : public View {
 public:
  ScrollView();
  ClipView* contentView() const { return m_clip; }
  View* documentView() const { return m_clip ? m_clip->documentView() : nullptr; }
  void setDocumentView(View* v) { m_clip->setDocumentView(v); }
  bool hasHorizontalScroller = false, hasVerticalScroller = false;
  Size contentSize() const;
  void setFrame(const Rect& r) override;

 private:
  ClipView* m_clip;
};

// ---- Widgets (data and a recorded look) --------------------------------------

// A control: a tag, an enabled flag and a target for its action.
class Control : public View {
 public:
  int tag() const override { return m_tag; }
  void setTag(int t) { m_tag = t; }
  bool isEnabled() const { return m_enabled; }
  virtual void setEnabled(bool e) { m_enabled = e; }
  std::string stringValue;
  double doubleValue = 0;
  // Called by performClick and by user actions.
  std::function<void(View* sender)> action;
  void sendAction();
  unsigned textColor = 0xFF000000;  // 0xAARRGGBB

 private:
  int m_tag = 0;
  bool m_enabled = true;
};

class Button : public Control {
 public:
  enum Type { Push = 0, Switch = 3, Radio = 4 };
  std::string title;
  int buttonType = Push;
  int state = 0;  // -1 mixed, 0 off, 1 on
  bool allowsMixedState = false;
  void* image = nullptr;
  bool hasImage() const { return image != nullptr; }
  void performClick();  // toggles a switch or radio, then the action
  void mouseUp(const Event& e) override;
  bool acceptsFirstMouse(const Event&) override { return true; }
};

class TextField : public Control {
 public:
  TextField();
  bool editable = true, bordered = true, drawsBackground = true;
  bool acceptsFirstResponder() override { return editable; }
  bool isEditing() const;
  // The editor inside the field while it is being edited (a clip view
  // holding the text view), and its selection.
  View* fieldEditor() const { return live(m_editor); }
  void beginEditing();
  void endEditing();
  size_t selStart = 0, selLength = 0;

 private:
  View* m_editor = nullptr;
};

class SecureTextField : public TextField {};

class TextView : public View {
 public:
  std::string string;
  size_t selStart = 0, selLength = 0;
  bool acceptsFirstResponder() override { return true; }
};

class Box : public View {
 public:
  std::string title;
  unsigned titleColor = 0xFF000000;
};

class Slider : public Control {
 public:
  double minValue = 0, maxValue = 1;
  void setDoubleValue(double v);  // clamped to the range
};

class PopUpButton : public Control {
 public:
  std::vector<std::string> items;
  int selectedIndex = -1;
};

class ComboBox : public TextField {
 public:
  std::vector<std::string> items;
  int selectedIndex = -1;
};

// ---- Menus -----------------------------------------------------------------

class Menu : public Object {
 public:
  std::string title;
  Object* destination = nullptr;  // checked with isLive before use
};

// ---- Windows ---------------------------------------------------------------

enum : unsigned { kTitled = 1, kClosable = 2, kMiniaturizable = 4, kResizable = 8 };

class Window : public Object {
 public:
  enum class Kind { Plain, Panel, SavePanel, OpenPanel, ColorPanel, FontPanel };
  // A window of content rectangle r (screen, y up); registered with the
  // application in creation order, not shown.
  Window(const Rect& r, unsigned styleMask, Kind kind = Kind::Plain);
  ~Window() override;

  Kind kind() const { return m_kind; }
  bool isPanelKind() const { return m_kind >= Kind::SavePanel; }
  const Rect& frame() const { return m_frame; }
  // Sets the content rectangle; the backing surface follows its size.
  virtual void setFrame(const Rect& r, bool display);
  void setFrameOrigin(Point p);
  unsigned styleMask() const { return m_style; }
  void setStyleMask(unsigned s) { m_style = s; }
  int level = 0;
  std::string title;
  Size minSizeLimit{0, 0}, maxSizeLimit{10000, 10000};
  virtual Size minSize() { return minSizeLimit; }
  virtual Size maxSize() { return maxSizeLimit; }
  double alpha = 1;
  bool hasShadow = true, isOpaqueWindow = true, documentEdited = false;
  bool ignoresMouseEvents = false, hidesOnDeactivate = true;
  // Closing gives up the creator's reference.
  bool releasedWhenClosed = false;
  unsigned collectionBehavior = 0;
  std::string representedFilename;
  View* defaultButton = nullptr;  // checked with isLive before use
  View* accessoryView() const { return m_accessory; }
  void setAccessoryView(View* v);

  bool isVisible() const { return m_visible; }
  bool isMiniaturized() const { return m_mini; }
  bool isKeyWindow() const;
  void orderFront();
  void orderOut();
  void makeKeyAndOrderFront();
  void makeKeyWindow();
  void miniaturize() { m_mini = true; }
  void center();
  // Asks the delegate (windowShouldClose) and closes on yes.
  void performClose();
  // Orders out and leaves the application's lists; the window lives on
  // while it is referenced.
  virtual void close();
  bool isClosed() const { return m_closed; }

  View* contentView() const { return m_content; }
  void setContentView(View* v);
  View* firstResponder() const;
  bool makeFirstResponder(View* v);

  Window* parentWindow() const;
  const std::vector<Window*>& childWindows() const { return m_children; }
  void addChildWindow(Window* w);
  void removeChildWindow(Window* w);

  // The backing surface (top-left origin, content size), made when it is
  // first asked for.
  platform::Surface* surface();
  const std::vector<uint32_t>& pixels();
  // Draws what is pending.
  void displayIfNeeded();
  void display();  // everything

  // Delegate calls.
  virtual bool windowShouldClose() { return true; }
  virtual void windowDidMove() {}
  virtual void becomeKeyWindow() {}
  virtual void resignKeyWindow() {}
  virtual bool canBecomeKeyWindow() { return true; }
  virtual bool acceptsMouseMovedEvents() { return true; }

 private:
  friend class View;
  friend struct AppState;
  void resizeBacking();

  Kind m_kind;
  Rect m_frame;
  unsigned m_style;
  bool m_visible = false, m_mini = false, m_closed = false;
  View* m_content = nullptr;
  View* m_accessory = nullptr;
  View* m_firstResponder = nullptr;
  Window* m_parent = nullptr;
  std::vector<Window*> m_children;
  std::vector<uint32_t> m_pixels;
  platform::Surface* m_surface = nullptr;
};

// ---- Application -----------------------------------------------------------

struct Screen {
  Rect frame, visibleFrame;
};

namespace app {

// The application's windows in creation order, and the visible ones front
// to back (held weakly: closed or freed windows leave both lists).
std::vector<Window*> windows();
std::vector<Window*> orderedWindows();
Window* keyWindow();
Window* mainWindow();
Menu* mainMenu();
void setMainMenu(Menu* m);
bool isActive();
void setActive(bool a);
bool isHidden();
void hide();
bool isTerminating();
void setTerminating(bool t);
unsigned systemVersion();  // 0x1060 unless set
void setSystemVersion(unsigned v);
unsigned presentationOptions();
void setPresentationOptions(unsigned o);
std::vector<Screen> screens();  // the first is the main screen
const Event* currentEvent();
Point pointerLocation();  // on the screen
unsigned modifierFlags();

// The main thread: the first thread that asks, unless named before.
bool isMainThread();
void setMainThread();

// Timers on the process clock. A timer belongs to an owner object and is
// dropped when the owner dies or its timers are cancelled. Returns an id.
int scheduleTimer(Object* owner, int periodMs, bool repeats, std::function<void()> fire);
void cancelTimer(int id);
void cancelTimers(Object* owner);
// Fires the timers that are due, in due order.
void fireDueTimers();
// Lets ms pass on the process clock, firing timers as they come due; stops
// early when until() answers true after a firing.
void runTimersFor(int ms, const std::function<bool()>& until = nullptr);

// Modal runs. runModal returns the code given to stop (-1000 by stopModal,
// -1001 by abortModal, or stopModalWithCode). Each turn delivers the queued
// events, fires due timers, runs the turn once (the run's user: a dialog
// script, a prompt's answers; null for none) and displays windows.
enum : int { kRunStopped = -1000, kRunAborted = -1001, kRunContinues = -1002 };
int runModal(Window* w, std::function<void(Window*)> turn = nullptr);
void stopModal();
void stopModalWithCode(int code);
void abortModal();
Window* modalWindow();

struct Session;
Session* beginModalSession(Window* w);
int runModalSession(Session* s);  // kRunContinues while open
void endModalSession(Session* s);

// Delivers one event as the platform would (see testapi.h for injection).
void sendEvent(const Event& e);
// Runs fn with e as the current event.
void performWithEvent(const Event& e, const std::function<void()>& fn);
// Displays every window that has something pending.
void displayWindows();

// Alerts: answered by button title from the script; unanswered gives "".
struct AlertRecord {
  std::string title, message;
  std::vector<std::string> buttons;
  std::string answer;
};
std::string runAlert(const std::string& title, const std::string& message, const std::vector<std::string>& buttons);

// The drag started last by a view (see testapi.h for dropping it).
void beginDrag(const Drag& d);
const Drag* pendingDrag();

}  // namespace app

}  // namespace winsys
