#pragma once
// The window classes of the emulation layer, for its own sources: the
// window object, the layer's button, the two top-level window classes, and
// the handle helpers every window function uses. Main thread only.
#include <string>
#include <vector>

#include "platform/winsys/winsys.h"
#include "shim/windialog.h"
#include "shim/winuser.h"

// ---- Handles ----

// The live object a handle names, or null (freed, foreign or null handle).
inline winsys::Object* SHIM_Obj(HWND h) {
  return winsys::isLive(h) ? static_cast<winsys::Object*>(static_cast<void*>(h)) : nullptr;
}
template <class T>
T* SHIM_As(HWND h) {
  return winsys::lookup<T>(h);
}
inline HWND SHIM_Handle(winsys::Object* o) { return reinterpret_cast<HWND>(o); }
inline HWND SHIM_Handle(winsys::View* v) { return SHIM_Handle(static_cast<winsys::Object*>(v)); }
inline HWND SHIM_Handle(winsys::Window* w) { return SHIM_Handle(static_cast<winsys::Object*>(w)); }

// A view that is its window's content view.
inline bool SHIM_IsContentView(const winsys::View* v) {
  winsys::Window* w = v ? v->window() : nullptr;
  return w && w->contentView() == v;
}

// Calls a window or dialog procedure; an exception counts as an answer of 0.
LRESULT SHIM_CallProc(WNDPROC proc, HWND w, UINT msg, WPARAM wp, LPARAM lp);

// Objects with a message entry: window objects and controls that answer
// their own messages.
class ShimMessageEntry {
 public:
  virtual ~ShimMessageEntry() = default;
  virtual LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) = 0;
};
inline ShimMessageEntry* SHIM_Entry(winsys::Object* o) { return dynamic_cast<ShimMessageEntry*>(o); }

// ---- The window object ----

struct WindowPropRec {
  const char* name;  // an atom below 0x10000, else an owned copy
  void* value;
  WindowPropRec* next;
};

class Shim_vTavrin_hwnd : public winsys::View, public ShimMessageEntry {
 public:
  Shim_vTavrin_hwnd() = default;
  ~Shim_vTavrin_hwnd() override;

  // Creation: see SHIM_CreateWindowObject and the dialog creators.
  void initChild(const SHIM_DialogResourceIndex* res, winsys::Object* parent, DLGPROC proc, LPARAM param);

  LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;

  WNDPROC getShimWindowProc() const { return m_wndproc; }
  void setShimWindowProc(WNDPROC p) { m_wndproc = p; }
  DLGPROC getShimDialogProc() const { return m_dlgproc; }
  void setShimDialogProc(DLGPROC p) { m_dlgproc = p; }
  LPARAM getShimUserData() const { return m_userdata; }
  void setShimUserData(LPARAM v) { m_userdata = v; }
  int tag() const override { return m_tag; }
  void setTag(int t) { m_tag = t; }
  LPARAM getShimExtraData(int offset) const;
  void setShimExtraData(int offset, LPARAM v);
  HMENU shimGetMenu() const;
  void shimSetMenu(HMENU m);
  const char* onShimGetText() const { return m_titlestr; }
  void onShimSetText(const char* text);
  int shimGetExtendedStyle() const { return m_supports_ddrop ? static_cast<int>(WS_EX_ACCEPTFILES) : 0; }
  void shimSetExtendedStyle(int s);
  unsigned shimCreateWindowFlags() const { return m_create_windowflags; }
  void setShimCreateWindowFlags(unsigned f) { m_create_windowflags = f; }
  bool isFlipped() const override { return m_flip; }
  bool isOpaque() const override { return m_isopaque; }
  void setOpaque(bool o) override { m_isopaque = o; }
  bool isEnabled() const { return m_enabled; }
  void setEnabled(bool e) { m_enabled = e; }
  bool shimHasBeenDestroyed() const { return m_hashaddestroy != 0; }
  bool shimCanPostMessage() const { return m_hashaddestroy == 0; }
  int destroyState() const { return m_hashaddestroy; }
  bool shimCapChangeNotify() const { return true; }

  int shimSetProp(const char* name, void* value);
  void* shimGetProp(const char* name, bool remove);
  int shimEnumProps(PROPENUMPROCEX proc, LPARAM lp);

  // Paint state (see winpaint.cpp).
  unsigned char m_isdirty = 3;
  bool m_paintctx_used = false;
  HDC m_paintctx_hdc = nullptr;
  float m_paintctx_rect[4] = {0, 0, 0, 0};
  void* m_glctx = nullptr;
  bool getShimPaintInfo(PAINTSTRUCT* ps);
  void drawShimViewRect(const winsys::Rect& r, HDC ctx);
  winsys::Object* m_lastTopLevelOwner = nullptr;  // checked with isLive before use

  // Platform callbacks that become messages.
  bool acceptsFirstResponder() override;
  bool acceptsFirstMouse(const winsys::Event& e) override;
  void keyDown(const winsys::Event& e) override;
  void keyUp(const winsys::Event& e) override;
  void setFrame(const winsys::Rect& r) override;
  void onShimTimer(int id);
  void onShimCommand(winsys::View* sender);

  // Input (winpaint.cpp).
  void mouseDown(const winsys::Event& e) override;
  void mouseUp(const winsys::Event& e) override;
  void mouseDragged(const winsys::Event& e) override;
  void mouseMoved(const winsys::Event& e) override;
  void rightMouseDown(const winsys::Event& e) override;
  void rightMouseUp(const winsys::Event& e) override;
  void rightMouseDragged(const winsys::Event& e) override { mouseDragged(e); }
  void otherMouseDown(const winsys::Event& e) override;
  void otherMouseUp(const winsys::Event& e) override;
  void otherMouseDragged(const winsys::Event& e) override { mouseDragged(e); }
  void scrollWheel(const winsys::Event& e) override;
  void magnifyWithEvent(const winsys::Event& e) override;
  void rotateWithEvent(const winsys::Event& e) override;
  void swipeWithEvent(const winsys::Event& e) override;
  int draggingEntered(const winsys::Drag& d) override;
  int draggingUpdated(const winsys::Drag& d) override;
  void draggingExited(const winsys::Drag& d) override;
  bool performDragOperation(const winsys::Drag& d) override;
  // The dropped-files block (peek form: returned; drop form: sent as
  // WM_DROPFILES and freed, answering non-null) or null.
  HGLOBAL shimExtendedDragOp(const winsys::Drag& d, bool returnBlock);
  std::vector<std::string> namesOfPromisedFilesDroppedAtDestination(const std::string& folder) override;
  void displayIfNeeded(platform::Surface* s) override;

  int m_isfakerightmouse = 0;

  // Accessibility through the window procedure's object (WM_GETOBJECT).
  winsys::Object* accessibilityHitTest(winsys::Point p) override;
  winsys::Object* accessibilityFocusedElement() override;
  std::vector<winsys::Object*> accessibilityChildren(Children which) override;
  bool accessibilityIsIgnored() override;

  // Delegate calls of controls that become WM_COMMAND and WM_INITMENUPOPUP.
  void comboBoxWillPopUp(winsys::View* combo);
  void comboBoxSelectionDidChange(winsys::View* combo);
  void textDidEndEditing(winsys::View* field);
  void controlTextDidChange(winsys::View* field);
  void menuNeedsUpdate(HMENU menu);
  // A double click on a control that has no notice of its own: WM_NOTIFY
  // with a header of code -3.
  void shimOnControlDoubleClick(winsys::View* control);

 protected:
  void viewDidHide() override;
  void viewDidUnhide() override;
  void didAddSubview(winsys::View* v) override;
  void willRemoveSubview(winsys::View* v) override;
  void drawRect(const winsys::Rect& dirty, platform::Surface* s) override;

 private:
  void destroyProtocol(WPARAM wp, LPARAM lp, LRESULT* result);
  bool keyHandled(UINT msg, const winsys::Event& e);
  winsys::AccessibilityElement* accessObject();
  void commandFrom(winsys::View* control, unsigned code);

  // Per children attribute: the answer, the default list it was built
  // from, and the object.
  struct AccessCache {
    std::vector<winsys::Ref<winsys::Object>> answer, defaults;
    winsys::Ref<winsys::Object> object;
  };
  AccessCache m_access_cacheptrs[2];
  void notify(UINT msg, WPARAM wp, LPARAM lp);

  bool m_enabled = true;
  DLGPROC m_dlgproc = nullptr;
  WNDPROC m_wndproc = ShimDialogDefaultWindowProc;
  LPARAM m_userdata = 0;
  LPARAM m_extradata[32] = {};
  int m_tag = 0;
  unsigned char m_hashaddestroy = 0;
  winsys::Menu* m_menu = nullptr;  // retained
  bool m_flip = true;
  bool m_supports_ddrop = false;
  WindowPropRec* m_props = nullptr;
  int m_propWalks = 0;                  // enumerations in progress
  std::vector<WindowPropRec*> m_zombies;  // removed during a walk, freed after it
  bool m_isopaque = true;
  char m_titlestr[1024] = {};
  unsigned m_create_windowflags = 0;
};

// The window object a handle names, or null.
inline Shim_vTavrin_hwnd* SHIM_Hwnd(HWND h) { return SHIM_As<Shim_vTavrin_hwnd>(h); }
// Sets a platform window's collection behaviour (system 10.6 and later).
void updateWindowCollection(winsys::Window* w);
// A window object's destroy test and message entry by handle.
LRESULT SHIM_DeliverMessage(winsys::Object* o, UINT msg, WPARAM wp, LPARAM lp);

// ---- The layer's button (its makers are the controls') ----

class Shim_vTavrin_button : public winsys::Button {
 public:
  int shimGetRadioFlags() const { return m_radioflags; }
  void shimSetRadioFlags(int f) { m_radioflags = f; }
  LPARAM getShimUserData() const { return m_userdata; }
  void setShimUserData(LPARAM v) { m_userdata = v; }
  HGDIOBJ getShimGDIImage() const { return m_shimGDIimage; }
  void setShimGDIImage(HGDIOBJ o) { m_shimGDIimage = o; }

 private:
  HGDIOBJ m_shimGDIimage = nullptr;
  LPARAM m_userdata = 0;
  int m_radioflags = 0;
};

// ---- Top-level windows ----

class ShimTopLevelWindow : public winsys::Window {
 public:
  ShimTopLevelWindow(const winsys::Rect& r, unsigned style, Kind kind);
  ~ShimTopLevelWindow() override;

  void shimAddOwnedWindow(winsys::Window* w);
  void shimRemoveOwnedWindow(winsys::Window* w);
  void shimDestroyAllOwnedWindows();
  void shimResetOwnedWindowLevels();
  void shimSetOwner(winsys::Window* o) { m_owner = o; }
  winsys::Window* shimGetOwner() const;
  std::vector<winsys::Window*>& shimGetOwnerWindowHead() { return m_ownedwnds; }
  void shimDoDestroyStuff();
  virtual int wantRaiseAmount() const { return 0; }

  void setFrame(const winsys::Rect& r, bool display) override;
  void windowDidMove() override;
  void becomeKeyWindow() override;
  void resignKeyWindow() override;
  bool windowShouldClose() override;
  bool canBecomeKeyWindow() override;
  bool acceptsFirstResponder() const { return m_enabled; }
  bool acceptsFirstMouse() const { return m_enabled; }
  bool accessibilityIsIgnored() const;
  winsys::Size minSize() override;
  winsys::Size maxSize() override;
  bool m_enabled = true;

 protected:
  virtual HMENU defaultMenu() const;

 private:
  LRESULT toContent(UINT msg, WPARAM wp, LPARAM lp);
  winsys::Size m_lastFrameSize{0, 0};
  winsys::Window* m_owner = nullptr;        // checked with isLive before use
  std::vector<winsys::Window*> m_ownedwnds;  // newest first; checked before use
};

class Shim_vTavrin_modelesswindow : public ShimTopLevelWindow {
 public:
  Shim_vTavrin_modelesswindow(const winsys::Rect& r, unsigned style) : ShimTopLevelWindow(r, style, Kind::Plain) {}
  int m_wantraiseamt = 0;
  bool m_wantInitialKeyWindowOnShow = false;
  int wantRaiseAmount() const override { return m_wantraiseamt; }
};

class Shim_vTavrin_dialogbox : public ShimTopLevelWindow {
 public:
  Shim_vTavrin_dialogbox(const winsys::Rect& r, unsigned style) : ShimTopLevelWindow(r, style, Kind::Panel) {}
  void shimSetModalRetVal(int v) {
    m_rv = v;
    m_hasrv = true;
  }
  int shimGetModalRetVal() const { return m_rv; }
  bool shimHasModalRetVal() const { return m_hasrv; }

 protected:
  HMENU defaultMenu() const override;

 private:
  int m_rv = 0;
  bool m_hasrv = false;
};

// A modeless window from a resource or none: its content window object is
// created (WM_INITDIALOG sent) and stored in *out. Hidden until shown.
Shim_vTavrin_modelesswindow* SHIM_InitModeless(const SHIM_DialogResourceIndex* res, winsys::Object* parent,
                                              DLGPROC proc, LPARAM param, HWND* out, unsigned style);
// A top-level window around an existing view, owned by owner.
Shim_vTavrin_modelesswindow* SHIM_CreateModelessFrameForWindow(winsys::View* child, winsys::Object* owner,
                                                              unsigned style);
Shim_vTavrin_dialogbox* SHIM_InitDialogBox(const SHIM_DialogResourceIndex* res, winsys::Object* parent,
                                          DLGPROC proc, LPARAM param);

// Shared state of the window functions.
extern HWND m_fakeCapture;
extern bool m_capChangeNotify;
extern winsys::Window* last_key_window;
// The system-version test of painting (10.5 and later).
bool SHIM_Is105Plus();

// The range of an EM_SETSEL on a text of len bytes: a start of -1 selects
// nothing at the start, an end of -1 means the end; then the start is limited
// to len, the end to 0..len, and an end below the start gives an empty range
// at the start.
void SHIM_ClampSelection(intptr_t start, intptr_t end, size_t len, size_t* selStart, size_t* selLength);

// The one routine that delivers a mouse message (capture, hit test, cursor).
LRESULT SHIM_SendMouseMessage(HWND view, UINT msg, const winsys::Event& e);
// The GL context made current by a paint or SHIM_SetGLContextToView.
void* SHIM_GetCurrentGLContext();
// Only this window handles timer callbacks while it is set.
extern HWND g_shim_only_timerhwnd;
