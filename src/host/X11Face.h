#pragma once
// The X11 face of the editor view: a window painted from the context's
// screen image, the window system's input turned into view events, a text
// entry line, and the modal prompts (menus, message boxes, file prompts).
//
// The window is a child of the window the host hands over, or a top-level
// window of its own when asked. The face has its own display connection.
// Everything here runs on the thread that drives the view (one at a time;
// a recursive lock of the face makes sure of it), and the connection is
// used nowhere else. Painted areas go to the window with XPutImage, or its
// shared-memory form when the server offers it.
//
// X errors on the connection never end the host: requests are made with a
// handler of our own installed only while they run (errors of other
// connections go on to the handler that was in force), each batch ending
// with a round trip. A lost connection marks the face gone. A window that
// goes away with its parent ends the view quietly; only the destructor
// destroys the window.
//
// Input: buttons 1 and 3, the wheel's buttons 4 and 5, motion and keys
// (by key symbol); Shift, Control, Mod1 and Mod4 stand for shift, control,
// option and command. Clicks of one button within 400 ms and 4 pixels
// count up. A key the view does not take goes on to the parent window.
//
// Menus are override-redirect list windows, one per open level, with the
// pointer and keyboard grabbed: a click on an item chooses it, Escape or a
// click outside dismisses them. Message boxes and file prompts are small
// transient windows with their role buttons (and a path line). A text
// entry is a child line window drawn with the platform's text engine;
// Return commits, Escape cancels.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/IGraphicsStructs.h"
#include "host/EditorView.h"
#include "host/ViewRules.h"

class IPopupMenu;

class X11Face : public ViewFace {
 public:
  // Menu rows: the height of one item and the size of its text.
  static constexpr int kMenuRowHeight = 20;
  static constexpr int kMenuTextSize = 13;
  // Clicks of one button this close in time (ms) and place count up.
  static constexpr unsigned long kMultiClickMs = 400;
  static constexpr int kMultiClickSlop = 4;

  struct Options {
    unsigned long parent = 0;  // the host's window (ignored for a top-level one)
    bool topLevel = false;
    int width = 0, height = 0;
    const std::vector<uint32_t>* screen = nullptr;  // the screen image, width x height
    std::string title;                              // of a top-level window
    int wakeFd = -1;                                // readable when a modal prompt should look at stop
  };

  // The face, or null with the reason in why (no display, a parent that is
  // not a window, no usable visual).
  static std::unique_ptr<X11Face> open(const Options& options, std::string* why);
  ~X11Face() override;
  X11Face(const X11Face&) = delete;
  X11Face& operator=(const X11Face&) = delete;

  bool isX11() const override { return true; }
  void present(const IRECT& area) override;
  void collect(std::deque<ViewEvent>& out, bool sync) override;
  int eventFd() const override;
  bool gone() const override;

  // The window takes a new size (and a top-level one the size hints that
  // keep it there); the screen image must be of that size before the next
  // present. A picture that cannot be made marks the face gone.
  void resize(int width, int height) override;
  unsigned long window() const;
  // The descriptor that makes modal prompts look at their stop test.
  void setWakeFd(int fd);
  bool usesSharedMemory() const;
  // A key event the view did not take, handed to the parent window.
  void passKeyOn(const ViewEvent& e);
  void setCursorHidden(bool hidden);

  // What a modal prompt does around its wait.
  struct Modal {
    std::function<bool()> stop;       // true: end the prompt as dismissed
    std::function<void()> release;    // before waiting
    std::function<void()> reacquire;  // after
  };
  // Shows the menu with its top-left corner at the view point and waits
  // for a choice: the menu or submenu holding the chosen item (its chosen
  // index set), or null. shown gets the first level's window in screen
  // pixels and the row height, before the wait.
  IPopupMenu* runMenu(IPopupMenu* menu, viewrules::Point corner,
                      const std::function<void(IRECT window, int rowHeight)>& shown, const Modal& modal);
  // The button role chosen (1 default, 7 alternate, 2 other), 0 for none.
  int runMessageBox(const std::string& text, const std::string& caption, int type, const Modal& modal);
  // A path line that starts as *path; true with the edited path on OK.
  bool runFilePrompt(bool save, std::string* path, const Modal& modal);

  // The text entry: a line window at r (top-origin view pixels) holding
  // initial, taking the characters of paramType (any without a parameter,
  // paramType < 0) up to maxChars (no limit when <= 0). hostViewRules: the
  // host view's typing check, else the default view's.
  void openEntry(viewrules::ViewRect r, const std::string& initial, int paramType, int maxChars, bool hostViewRules,
                 const IText& style, const char* fontName, int fontSize);
  bool entryOpen() const;
  std::string entryText() const;
  void closeEntry();

  struct Impl;

 private:
  X11Face() = default;
  std::unique_ptr<Impl> mImpl;
};
