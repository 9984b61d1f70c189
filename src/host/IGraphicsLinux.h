#pragma once
// The plug-in's graphics context on Linux. It keeps everything of the
// headless context (flat resource look-up, whole-file loading, the screen
// image, scripted prompts and their records, input at framework and view
// coordinates) and adds:
// - the bundle identifier: resources are looked for only in the bundle it
//   names (the resource folder); an empty identifier finds nothing;
// - the platform's paths, the desktop folder, the file prompt, opening a
//   link, the cursor calls;
// - one editor view at a time, opened by either OpenWindow: the host-view
//   form picks the host-view rules, the other form the default rules (see
//   ViewRules.h). The view shows itself in an X11 window that is a child of
//   the window the host hands over, or, with no display, a parent that is
//   not a window, or when asked, on no display at all (EditorView.h).
//
// Prompts with an answer queued in the script are answered from it on
// either face. With none queued, the X11 face shows real windows: a menu or
// a message box or file prompt runs its own event loop inside the input
// delivery that holds the plug-in's mutex, so it lets go of every level of
// the mutex while it waits, and takes them back before it returns; so does
// opening a link while it waits for the desktop's opener. Without
// a window the unanswered prompts take the script's defaults; an
// unanswered message box also prints its caption and text to standard
// error.
//
// Threads: the host's dispatcher opens and closes the view (holding the
// plug-in's mutex); the view's deliveries and ticks run on the view thread
// or the pumping thread under the mutex. The setters of the driving and
// the face take effect at the next opening. Records and answer queues are
// read and filled under the plug-in's mutex.
#include <atomic>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "host/EditorView.h"
#include "host/IGraphicsHeadless.h"

class X11Face;

class IGraphicsLinux : public IGraphicsHeadless {
 public:
  // The face of text entries: a name that resolves to the pinned mono face.
  static constexpr const char* kEntryFontName = "Panel Mono";

  enum class Face {
    Auto,      // an X11 child of the host's window when it can be made, else none
    Headless,  // no window at all
    TopLevel   // an X11 window of its own on the display
  };

  IGraphicsLinux(IPluginBase* plug, int w, int h, int fps = 0);
  ~IGraphicsLinux() override;

  void SetBundleID(const char* id);
  const std::string& GetBundleID() const { return mBundleID; }
  // The folder that holds the bundle of a module in moduleFolder (with a
  // "/"): the bundle's parent for "<bundle>/Contents/<folder>/", else the
  // module's own folder.
  static std::string PluginPathOf(const std::string& moduleFolder);
  // The system version the plug-in may ask for; none here.
  int GetUserOSVersion() const { return 0; }

  // ---- Platform operations ----
  bool WindowIsOpen() override { return mView != nullptr; }
  const char* GetGUIAPI() override;
  void* OpenWindow(void* parentView) override;
  void* OpenWindow(void* window, void* parentControl, short leftOffset = 0, short topOffset = 0) override;
  void CloseWindow() override;
  // Nothing for the current size; else the context, its screen image and
  // the edit rectangle take the new size, and an open view's window follows
  // at its next tick (on its driving thread). The caller holds the
  // plug-in's mutex.
  void Resize(int w, int h) override;
  // The view in the host-view mode, else null.
  void* GetWindow() override;
  void ForceEndUserEdit() override;
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) override;
  void CreateTextEntry(IControl* control, IText* text, IRECT* rect, const char* str, IParam* param) override;
  // The module's path; the folder that holds its bundle, with a "/".
  void HostPath(KIT_String* path) override;
  void PluginPath(KIT_String* path) override;
  // HOME, or the user's home from the password database, and "/Desktop".
  void DesktopPath(KIT_String* path) override;
  // In an X11 window: a panel where the user types the path. A path saved
  // whose extension is none of the space-separated extensions gets the first
  // one appended.
  void PromptForFile(KIT_String* fileName, EFileAction action = kFileOpen, KIT_String* dir = nullptr,
                     const char* extensions = nullptr) override;
  // Null or empty: false. With an X11 view the desktop's opener
  // (xdg-open) runs with the text as its one argument, and the result says
  // whether it ran and exited with 0 (within 10 s, and before the view
  // closed). While it waits for the opener the call lets go of every level
  // of the plug-in's mutex the caller holds, as a modal prompt does, and
  // takes them back before it returns. Without a view the call is recorded
  // and answered from the script (true unless false was queued).
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsg = nullptr) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  std::unique_ptr<uint8_t[]> OSLoadFile(int id, const char* name) override;
  RAST_IBitmap* OSLoadBitmap(int id, const char* name) override;

  // ---- The view ----
  void SetDriving(EditorView::Driving driving) { mDriving = driving; }
  EditorView::Driving GetDriving() const { return mDriving; }
  void SetFace(Face face) { mFaceChoice = face; }
  Face GetFace() const { return mFaceChoice; }
  // The open view, or null.
  EditorView* view() const { return mView.get(); }
  // Whether the open view shows itself in an X11 window.
  bool ShowsX11() const;
  // The X11 window of the view (0 without one).
  unsigned long X11Window() const;
  // The pumped view's pump (0 when closed or threaded).
  int pump(int n);
  // A tick of the open view (pumped views: on the caller, mutex taken).
  IRECT tick() override;
  ViewCounters counters() const;
  // Queues an input event for the view (dropped while closed).
  void post(const ViewEvent& e);
  // Runs one event with the plug-in's mutex held; the view calls it.
  void DeliverViewEvent(const ViewEvent& e);

  bool cursorHidden() const { return mCursorHidden; }
  // "hide" and "show", one for each call that changed the cursor.
  const std::vector<std::string>& cursorCalls() const { return mCursorCalls; }

 protected:
  std::string CommitText(const std::string& filtered) const override;

 private:
  void* Open(void* parent, viewrules::Mode mode);
  viewrules::Mode ModeOr(viewrules::Mode fallback) const;
  X11Face* FaceHere() const;  // the X11 face when usable on this thread
  struct ModalScope;
  // The open X11 text entry, if any.
  struct XEntry {
    bool open = false;
    IControl* control = nullptr;
    IParam* param = nullptr;
  };
  void EndXEntry(bool commit);
  void ReapOpeners();

  std::string mBundleID;
  EditorView::Driving mDriving = EditorView::Driving::Threaded;
  Face mFaceChoice = Face::Auto;
  std::unique_ptr<EditorView> mView;
  X11Face* mX11 = nullptr;  // owned by the view
  XEntry mXEntry;
  bool mCursorHidden = false;
  std::vector<std::string> mCursorCalls;
  int mLastX = -1, mLastY = -1;  // the last pointer position in framework terms
  bool mDropNextRelease = false;
  std::vector<pid_t> mOpeners;  // xdg-open runs not yet reaped
  // Counts closes of the view: a link's wait, which runs without the
  // plug-in's mutex, ends when it changes.
  std::atomic<unsigned> mCloses{0};
};
