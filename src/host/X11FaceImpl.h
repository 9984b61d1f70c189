#pragma once
// Internals of the X11 face shared by its two sources (the window and its
// input; the modal prompts). Not for use outside them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/X11Face.h"
#include "platform/surface.h"
#include "platform/textengine.h"

namespace x11face {

// Runs a batch of requests with our error handler installed (process-wide
// while it runs; errors of other connections go to the handler that was in
// force) and ends it with a round trip. Batches nest on one thread.
class Trap {
 public:
  explicit Trap(Display* d);
  ~Trap();
  Trap(const Trap&) = delete;
  Trap& operator=(const Trap&) = delete;
  // A round trip; true when no error came since the trap began.
  bool ok();

 private:
  std::unique_lock<std::recursive_mutex> mLock;
  Display* mDisplay;
  int mStart;
};

// A font of the platform's text engine, released with the object.
class TextFont {
 public:
  TextFont(const char* faceName, int size);
  ~TextFont();
  TextFont(const TextFont&) = delete;
  TextFont& operator=(const TextFont&) = delete;
  platform::Font* get() const { return mFont; }
  int width(const std::string& text) const;
  int ascent() const;
  int descent() const;

 private:
  platform::Font* mFont = nullptr;
};

// Pixels drawn by the platform's surface (X R G B bytes, the screen
// image's layout) for a small window of our own.
class Canvas {
 public:
  Canvas(int w, int h);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  int width() const { return mW; }
  int height() const { return mH; }
  const uint32_t* pixels() const { return mPixels.data(); }
  // Colours as 0xRRGGBB.
  void fill(int x, int y, int w, int h, uint32_t rgb);
  // One line with its pen at x and its baseline at y; returns its width.
  int text(const TextFont& font, const std::string& text, int x, int baseline, uint32_t rgb);

 private:
  int mW, mH;
  std::vector<uint32_t> mPixels;
  platform::Surface* mSurface = nullptr;
};

// Typed Latin-1 bytes as UTF-8, control characters left out.
std::string typedText(const char* latin1, int n);
// Drops the last UTF-8 character of a text.
void dropLastChar(std::string& text);

// A window of a modal prompt: its canvas, its buttons and an edit line.
struct Panel {
  Window win = 0;
  int x = 0, y = 0, w = 0, h = 0;
  struct Button {
    int x, y, w, h;
    std::string label;
    int role;
  };
  std::vector<Button> buttons;
  std::vector<std::string> lines;  // text above the buttons
  bool hasEdit = false;
  std::string edit;
};

}  // namespace x11face

struct X11Face::Impl {
  std::recursive_mutex lock;  // one thread at a time on the connection
  Display* d = nullptr;
  int screen = 0;
  Window root = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap cmap = 0;
  bool ownColormap = false;
  Window parent = 0;
  Window win = 0;
  bool topLevel = false;
  int w = 0, h = 0;
  const std::vector<uint32_t>* screenImage = nullptr;
  GC gc = nullptr;
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  bool useShm = false;
  bool swapBytes = true;  // the server reads pixels least significant byte first
  std::atomic<bool> gone{false};
  std::atomic<bool> dead{false};  // the connection was lost
  bool destroyed = false;         // the window went with its parent
  Atom wmProtocols = 0, wmDelete = 0;
  Cursor invisibleCursor = 0;
  int wakeFd = -1;

  // Click counting.
  unsigned int lastButton = 0;
  unsigned long lastTime = 0;
  int lastX = 0, lastY = 0, clicks = 0;

  struct Entry {
    Window win = 0;
    viewrules::ViewRect r;
    std::string text;
    bool selected = false;  // the whole text, as it opens: typing replaces it
    int paramType = -1;
    int maxChars = 0;
    bool hostView = false;
    IText style;
    std::string font;
    int size = 12;
    Window previousFocus = 0;
    int previousRevert = RevertToParent;
  } entry;

  bool usable() const { return d && !dead.load(); }
  // Screen pixels (X R G B bytes) to the server's order.
  uint32_t toServer(uint32_t p) const { return swapBytes ? __builtin_bswap32(p) : p; }
  // The picture for a window of w x h: null, or why there is none.
  const char* makeImage();
  void freeImage();
  // Shows area of the converted image.
  void put(const IRECT& area);
  // Puts w x h pixels of src (X R G B bytes, srcW per row) at (x, y) of
  // window to.
  void putPixels(Window to, const uint32_t* src, int srcW, int w, int h, int x, int y);
  void handle(XEvent& ev, std::deque<ViewEvent>& out);
  void entryKey(XKeyEvent& key, std::deque<ViewEvent>& out);
  void drawEntry();
  ViewEvent keyEvent(XKeyEvent& key) const;
  static uint32_t viewFlags(unsigned int state);
  // The translated point of (x, y) of the view window on the root window.
  viewrules::Point toRoot(int x, int y);

  // Modal prompts.
  Window makePopup(int x, int y, int w, int h, bool overrideRedirect, const std::string& title);
  void drawPanel(const x11face::Panel& p, int pressed);
  int runPanel(x11face::Panel& p, const Modal& modal, bool* ok, std::unique_lock<std::recursive_mutex>& held);
  // Waits for the connection or the wake descriptor with the face's lock
  // let go; false when the prompt is to end.
  bool waitForEvents(const Modal& modal, std::unique_lock<std::recursive_mutex>& held);
};
