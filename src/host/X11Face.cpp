#include "host/X11Face.h"

#include <X11/keysym.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

#include "host/X11FaceImpl.h"

using x11face::Trap;

namespace x11face {

namespace {

std::recursive_mutex g_trapLock;
int g_trapDepth = 0;
Display* g_trapDisplay = nullptr;
XErrorHandler g_previous = nullptr;
int g_errors = 0;

int trapHandler(Display* d, XErrorEvent* e) {
  if (d == g_trapDisplay) {
    ++g_errors;
    return 0;
  }
  return g_previous ? g_previous(d, e) : 0;
}

}  // namespace

Trap::Trap(Display* d) : mLock(g_trapLock), mDisplay(d) {
  if (g_trapDepth++ == 0) {
    g_trapDisplay = d;
    g_previous = XSetErrorHandler(&trapHandler);
  }
  mStart = g_errors;
}

bool Trap::ok() {
  XSync(mDisplay, False);
  return g_errors == mStart;
}

Trap::~Trap() {
  XSync(mDisplay, False);
  if (--g_trapDepth == 0) {
    XSetErrorHandler(g_previous);
    g_previous = nullptr;
    g_trapDisplay = nullptr;
  }
}

TextFont::TextFont(const char* faceName, int size)
    : mFont(platform::fontCreate(platform::resolveFontName(faceName), static_cast<float>(size > 1 ? size : 1))) {}

TextFont::~TextFont() {
  if (mFont) platform::fontRelease(mFont);
}

int TextFont::width(const std::string& text) const {
  std::u32string chars;
  if (!mFont || !platform::decodeText(text.data(), text.size(), chars)) return 0;
  return platform::measureLine(mFont, chars.data(), chars.size());
}

int TextFont::ascent() const { return mFont ? static_cast<int>(platform::fontGetMetrics(mFont).ascent + 0.5f) : 0; }
int TextFont::descent() const { return mFont ? static_cast<int>(platform::fontGetMetrics(mFont).descent + 0.5f) : 0; }

std::string typedText(const char* s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) continue;  // control characters type nothing
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void dropLastChar(std::string& text) {
  size_t cut = text.size();
  while (cut > 0 && (static_cast<unsigned char>(text[cut - 1]) & 0xC0) == 0x80) --cut;
  if (cut > 0) text.resize(cut - 1);
}

Canvas::Canvas(int w, int h)
    : mW(w > 0 ? w : 1), mH(h > 0 ? h : 1), mPixels(static_cast<size_t>(mW) * static_cast<size_t>(mH), 0u) {
  mSurface = platform::surfaceCreate(mPixels.data(), mW, mH, mW * 4);
}

Canvas::~Canvas() { platform::surfaceRelease(mSurface); }

namespace {
platform::Color colorOf(uint32_t rgb) {
  platform::Color c;
  c.r = ((rgb >> 16) & 0xFF) / 255.0f;
  c.g = ((rgb >> 8) & 0xFF) / 255.0f;
  c.b = (rgb & 0xFF) / 255.0f;
  c.a = 1.0f;
  return c;
}
}  // namespace

void Canvas::fill(int x, int y, int w, int h, uint32_t rgb) {
  if (mSurface) platform::surfaceFillRect(mSurface, float(x), float(y), float(w), float(h), colorOf(rgb));
}

int Canvas::text(const TextFont& font, const std::string& text, int x, int baseline, uint32_t rgb) {
  std::u32string chars;
  if (!mSurface || !font.get() || !platform::decodeText(text.data(), text.size(), chars)) return 0;
  return platform::drawLine(mSurface, font.get(), chars.data(), chars.size(), float(x), float(baseline),
                            colorOf(rgb));
}

}  // namespace x11face

namespace {

// A lost connection marks the face dead instead of ending the process.
void lostConnection(Display*, void* data) { static_cast<X11Face::Impl*>(data)->dead.store(true); }

// A visual whose pixels are 0xRRGGBB in 32 bits.
bool pickVisual(Display* d, int screen, Visual** visual, int* depth) {
  Visual* v = DefaultVisual(d, screen);
  if (DefaultDepth(d, screen) == 24 && v->red_mask == 0xFF0000 && v->green_mask == 0xFF00 && v->blue_mask == 0xFF) {
    *visual = v;
    *depth = 24;
    return true;
  }
  XVisualInfo info;
  if (XMatchVisualInfo(d, screen, 24, TrueColor, &info) && info.red_mask == 0xFF0000 && info.green_mask == 0xFF00 &&
      info.blue_mask == 0xFF) {
    *visual = info.visual;
    *depth = 24;
    return true;
  }
  return false;
}

size_t countChars(const std::string& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += viewrules::utf8Length(static_cast<unsigned char>(s[i]))) ++n;
  return n;
}

uint32_t rgbOf(const IColor& c) { return (uint32_t(c.R & 0xFF) << 16) | (uint32_t(c.G & 0xFF) << 8) | uint32_t(c.B & 0xFF); }

}  // namespace

std::unique_ptr<X11Face> X11Face::open(const Options& o, std::string* why) {
  auto fail = [&](const char* reason) {
    if (why) *why = reason;
    return std::unique_ptr<X11Face>();
  };
  if (o.width <= 0 || o.height <= 0 || !o.screen) return fail("no window size");
  Display* d = XOpenDisplay(nullptr);
  if (!d) return fail("no display");
  std::unique_ptr<X11Face> face(new X11Face);
  face->mImpl = std::make_unique<Impl>();
  Impl& m = *face->mImpl;
  m.d = d;
  XSetIOErrorExitHandler(d, &lostConnection, &m);
  m.screen = DefaultScreen(d);
  m.root = RootWindow(d, m.screen);
  m.topLevel = o.topLevel;
  m.w = o.width;
  m.h = o.height;
  m.screenImage = o.screen;
  m.wakeFd = o.wakeFd;
  if (!pickVisual(d, m.screen, &m.visual, &m.depth)) return fail("no 24-bit true-colour visual");
  {
    Trap trap(d);
    if (!o.topLevel) {
      XWindowAttributes attributes;
      if (o.parent == 0 || !XGetWindowAttributes(d, o.parent, &attributes) || !trap.ok())
        return fail("the parent is not a window");
    }
    m.parent = o.topLevel ? m.root : o.parent;
    if (m.visual == DefaultVisual(d, m.screen)) {
      m.cmap = DefaultColormap(d, m.screen);
    } else {
      m.cmap = XCreateColormap(d, m.root, m.visual, AllocNone);
      m.ownColormap = true;
    }
    XSetWindowAttributes a{};
    a.colormap = m.cmap;
    a.border_pixel = 0;
    a.background_pixmap = None;
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                   StructureNotifyMask;
    m.win = XCreateWindow(d, m.parent, 0, 0, static_cast<unsigned>(m.w), static_cast<unsigned>(m.h), 0, m.depth,
                          InputOutput, m.visual, CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &a);
    if (!trap.ok() || !m.win) {
      m.win = 0;
      return fail("the window could not be made");
    }
    m.wmProtocols = XInternAtom(d, "WM_PROTOCOLS", False);
    m.wmDelete = XInternAtom(d, "WM_DELETE_WINDOW", False);
    if (o.topLevel) {
      XStoreName(d, m.win, o.title.c_str());
      XSetWMProtocols(d, m.win, &m.wmDelete, 1);
      XSizeHints* hints = XAllocSizeHints();
      if (hints) {
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = m.w;
        hints->min_height = hints->max_height = m.h;
        XSetWMNormalHints(d, m.win, hints);
        XFree(hints);
      }
    }
    m.gc = XCreateGC(d, m.win, 0, nullptr);
    if (!trap.ok()) return fail("the window could not be made");
  }
  if (const char* reason = m.makeImage()) return fail(reason);
  {
    Trap trap(d);
    XMapWindow(d, m.win);
    if (!trap.ok()) return fail("the window could not be shown");
  }
  return face;
}

// The picture of the window at its size: in memory shared with the server
// when it offers that.
const char* X11Face::Impl::makeImage() {
  const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
  if (XShmQueryExtension(d)) {
    image = XShmCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &shm, static_cast<unsigned>(w),
                            static_cast<unsigned>(h));
    if (image && image->bits_per_pixel == 32 && static_cast<size_t>(image->bytes_per_line) == size_t(w) * 4) {
      shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
      if (shm.shmid >= 0) {
        shm.shmaddr = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
        if (shm.shmaddr != reinterpret_cast<char*>(-1)) {
          image->data = shm.shmaddr;
          shm.readOnly = False;
          Trap trap(d);
          XShmAttach(d, &shm);
          useShm = trap.ok();
        } else {
          shm.shmaddr = nullptr;
        }
        shmctl(shm.shmid, IPC_RMID, nullptr);  // gone once both sides let go
      }
    }
    if (!useShm) {
      if (shm.shmaddr) shmdt(shm.shmaddr);
      shm = XShmSegmentInfo{};
      if (image) {
        image->data = nullptr;
        XDestroyImage(image);
        image = nullptr;
      }
    }
  }
  if (!image) {
    char* data = static_cast<char*>(std::calloc(bytes, 1));
    if (!data) return "no memory for the picture";
    image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, data, static_cast<unsigned>(w),
                         static_cast<unsigned>(h), 32, w * 4);
    if (!image) {
      std::free(data);
      return "no picture";
    }
  }
  if (image->bits_per_pixel != 32) return "the server's pixels are not 32 bits";
  swapBytes = image->byte_order == LSBFirst;
  return nullptr;
}

void X11Face::Impl::freeImage() {
  if (useShm && usable()) {
    Trap trap(d);
    XShmDetach(d, &shm);
  }
  if (image) {
    if (useShm) image->data = nullptr;
    XDestroyImage(image);
    image = nullptr;
  }
  if (useShm && shm.shmaddr) shmdt(shm.shmaddr);
  shm = XShmSegmentInfo{};
  useShm = false;
}

void X11Face::resize(int width, int height) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.lock);
  if (width <= 0 || height <= 0 || (width == m.w && height == m.h) || !m.usable()) return;
  m.freeImage();
  m.w = width;
  m.h = height;
  if (m.makeImage()) {
    // Without a picture nothing more can be shown.
    m.freeImage();
    m.gone.store(true);
    return;
  }
  if (!m.win || m.destroyed) return;
  Trap trap(m.d);
  if (m.topLevel) {
    if (XSizeHints* hints = XAllocSizeHints()) {
      hints->flags = PMinSize | PMaxSize;
      hints->min_width = hints->max_width = m.w;
      hints->min_height = hints->max_height = m.h;
      XSetWMNormalHints(m.d, m.win, hints);
      XFree(hints);
    }
  }
  XResizeWindow(m.d, m.win, static_cast<unsigned>(m.w), static_cast<unsigned>(m.h));
  if (!trap.ok()) m.gone.store(true);
}

X11Face::~X11Face() {
  if (!mImpl) return;
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.lock);
  if (!m.d) return;
  if (!m.dead.load()) {
    Trap trap(m.d);
    if (m.entry.win) XDestroyWindow(m.d, m.entry.win);
    if (m.win && !m.destroyed) XDestroyWindow(m.d, m.win);
    if (m.invisibleCursor) XFreeCursor(m.d, m.invisibleCursor);
    if (m.gc) XFreeGC(m.d, m.gc);
    if (m.ownColormap) XFreeColormap(m.d, m.cmap);
  }
  m.freeImage();
  XCloseDisplay(m.d);
  m.d = nullptr;
}

unsigned long X11Face::window() const { return mImpl->win; }
void X11Face::setWakeFd(int fd) {
  std::lock_guard<std::recursive_mutex> lock(mImpl->lock);
  mImpl->wakeFd = fd;
}
bool X11Face::usesSharedMemory() const { return mImpl->useShm; }
int X11Face::eventFd() const { return mImpl->usable() ? ConnectionNumber(mImpl->d) : -1; }
bool X11Face::gone() const { return mImpl->gone.load() || mImpl->dead.load(); }

void X11Face::Impl::put(const IRECT& a) {
  if (!usable() || destroyed || !win || a.W() <= 0 || a.H() <= 0) return;
  Trap trap(d);
  if (useShm)
    XShmPutImage(d, win, gc, image, a.L, a.T, a.L, a.T, static_cast<unsigned>(a.W()), static_cast<unsigned>(a.H()),
                 False);
  else
    XPutImage(d, win, gc, image, a.L, a.T, a.L, a.T, static_cast<unsigned>(a.W()), static_cast<unsigned>(a.H()));
  if (!trap.ok()) gone.store(true);
}

void X11Face::present(const IRECT& area) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.lock);
  const IRECT window(0, 0, m.w, m.h);
  const IRECT a = window.Intersect(&area);
  // A screen image of another size waits for the window to take it.
  if (a.Empty() || !m.image || m.screenImage->size() != size_t(m.w) * size_t(m.h)) return;
  const size_t first = static_cast<size_t>(a.T) * static_cast<size_t>(m.w) + static_cast<size_t>(a.L);
  const uint32_t* src = m.screenImage->data() + first;
  uint32_t* dst = reinterpret_cast<uint32_t*>(m.image->data) + first;
  const size_t n = static_cast<size_t>(a.W());
  for (int y = a.T; y < a.B; ++y, src += m.w, dst += m.w) {
    if (m.swapBytes) {
      for (size_t x = 0; x < n; ++x) dst[x] = __builtin_bswap32(src[x]);
    } else {
      std::memcpy(dst, src, n * 4);
    }
  }
  m.put(a);
}

void X11Face::Impl::putPixels(Window to, const uint32_t* src, int srcW, int pw, int ph, int x, int y) {
  if (!usable() || !to || pw <= 0 || ph <= 0) return;
  char* data = static_cast<char*>(std::malloc(size_t(pw) * size_t(ph) * 4));
  if (!data) return;
  auto* dst = reinterpret_cast<uint32_t*>(data);
  for (int r = 0; r < ph; ++r)
    for (int c = 0; c < pw; ++c) dst[size_t(r) * size_t(pw) + size_t(c)] = toServer(src[size_t(r) * size_t(srcW) + size_t(c)]);
  XImage* img = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, data, static_cast<unsigned>(pw),
                             static_cast<unsigned>(ph), 32, pw * 4);
  if (!img) {
    std::free(data);
    return;
  }
  Trap trap(d);
  XPutImage(d, to, gc, img, 0, 0, x, y, static_cast<unsigned>(pw), static_cast<unsigned>(ph));
  XDestroyImage(img);  // frees data
}

uint32_t X11Face::Impl::viewFlags(unsigned int state) {
  uint32_t f = 0;
  if (state & ShiftMask) f |= viewrules::kShift;
  if (state & ControlMask) f |= viewrules::kControl;
  if (state & Mod1Mask) f |= viewrules::kOption;
  if (state & Mod4Mask) f |= viewrules::kCommand;
  return f;
}

ViewEvent X11Face::Impl::keyEvent(XKeyEvent& key) const {
  char buf[16];
  KeySym sym = 0;
  const int n = XLookupString(&key, buf, sizeof buf, &sym, nullptr);
  ViewEvent e;
  e.kind = ViewEvent::kKey;
  e.x = key.x;
  e.y = key.y;
  e.flags = viewFlags(key.state);
  switch (sym) {
    case XK_Left: e.virtualKey = viewrules::kVKLeft; break;
    case XK_Right: e.virtualKey = viewrules::kVKRight; break;
    case XK_Up: e.virtualKey = viewrules::kVKUp; break;
    case XK_Down: e.virtualKey = viewrules::kVKDown; break;
    case XK_space: e.virtualKey = viewrules::kVKSpace; e.chars = " "; break;
    default: e.chars = x11face::typedText(buf, n); break;
  }
  e.sysKeycode = key.keycode;
  e.sysState = key.state;
  e.sysTime = key.time;
  return e;
}

void X11Face::Impl::handle(XEvent& ev, std::deque<ViewEvent>& out) {
  switch (ev.type) {
    case Expose:
      if (ev.xexpose.window == win)
        put(IRECT(ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height));
      else if (entry.win && ev.xexpose.window == entry.win && ev.xexpose.count == 0)
        drawEntry();
      break;
    case DestroyNotify:
      if (ev.xdestroywindow.window == win) {
        destroyed = true;
        gone.store(true);
      } else if (ev.xdestroywindow.window == entry.win) {
        entry.win = 0;
      }
      break;
    case ClientMessage:
      if (topLevel && ev.xclient.message_type == wmProtocols && Atom(ev.xclient.data.l[0]) == wmDelete) {
        Trap trap(d);
        XUnmapWindow(d, win);
        gone.store(true);
      }
      break;
    case ButtonPress: {
      if (ev.xbutton.window != win) break;  // a click on the entry line is the line's own
      const XButtonEvent& b = ev.xbutton;
      ViewEvent e;
      e.x = b.x;
      e.y = b.y;
      e.flags = viewFlags(b.state);
      if (b.button == Button4 || b.button == Button5) {
        e.kind = ViewEvent::kWheel;
        e.delta = b.button == Button4 ? 1.0 : -1.0;
        out.push_back(e);
        break;
      }
      if (b.button != Button1 && b.button != Button3) break;
      const bool again = b.button == lastButton && b.time - lastTime <= kMultiClickMs &&
                         std::abs(b.x - lastX) <= kMultiClickSlop && std::abs(b.y - lastY) <= kMultiClickSlop;
      clicks = again ? clicks + 1 : 1;
      lastButton = b.button;
      lastTime = b.time;
      lastX = b.x;
      lastY = b.y;
      e.kind = ViewEvent::kDown;
      e.secondary = b.button == Button3;
      e.clicks = clicks;
      if (entry.win) {
        ViewEvent commit;
        commit.kind = ViewEvent::kEntryClick;  // a click elsewhere ends the typing with a commit
        out.push_back(commit);
      }
      out.push_back(e);
      break;
    }
    case ButtonRelease:
      if (ev.xbutton.window == win && (ev.xbutton.button == Button1 || ev.xbutton.button == Button3)) {
        ViewEvent e;
        e.kind = ViewEvent::kUp;
        e.x = ev.xbutton.x;
        e.y = ev.xbutton.y;
        e.secondary = ev.xbutton.button == Button3;
        e.flags = viewFlags(ev.xbutton.state);
        out.push_back(e);
      }
      break;
    case MotionNotify:
      if (ev.xmotion.window == win) {
        ViewEvent e;
        e.x = ev.xmotion.x;
        e.y = ev.xmotion.y;
        e.flags = viewFlags(ev.xmotion.state);
        const bool primary = (ev.xmotion.state & Button1Mask) != 0, secondary = (ev.xmotion.state & Button3Mask) != 0;
        e.kind = primary || secondary ? ViewEvent::kDrag : ViewEvent::kMove;
        e.secondary = secondary && !primary;
        out.push_back(e);
      }
      break;
    case KeyPress:
      if (IsModifierKey(XLookupKeysym(&ev.xkey, 0))) break;  // a modifier alone is no key
      if (entry.win)
        entryKey(ev.xkey, out);  // the line takes the typing, wherever the pointer is
      else if (ev.xkey.window == win)
        out.push_back(keyEvent(ev.xkey));
      break;
    default:
      break;
  }
}

void X11Face::collect(std::deque<ViewEvent>& out, bool sync) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.lock);
  if (!m.usable()) return;
  if (sync) {
    Trap trap(m.d);
  }
  while (m.usable() && XPending(m.d) > 0) {
    XEvent ev;
    XNextEvent(m.d, &ev);
    m.handle(ev, out);
  }
}

void X11Face::passKeyOn(const ViewEvent& e) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.lock);
  if (!m.usable() || m.topLevel || !e.sysKeycode) return;
  XEvent ev{};
  XKeyEvent& k = ev.xkey;
  k.type = KeyPress;
  k.display = m.d;
  k.window = m.parent;
  k.root = m.root;
  k.subwindow = None;
  k.time = e.sysTime;
  k.state = e.sysState;
  k.keycode = e.sysKeycode;
  k.same_screen = True;
  Trap trap(m.d);
  XSendEvent(m.d, m.parent, False, KeyPressMask, &ev);
}

void X11Face::setCursorHidden(bool hidden) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.lock);
  if (!m.usable() || m.destroyed) return;
  Trap trap(m.d);
  if (hidden) {
    if (!m.invisibleCursor) {
      static const char bits[1] = {0};
      Pixmap blank = XCreateBitmapFromData(m.d, m.win, bits, 1, 1);
      XColor black{};
      m.invisibleCursor = XCreatePixmapCursor(m.d, blank, blank, &black, &black, 0, 0);
      XFreePixmap(m.d, blank);
    }
    XDefineCursor(m.d, m.win, m.invisibleCursor);
  } else {
    XUndefineCursor(m.d, m.win);
  }
}

// ---- the text entry line ----

void X11Face::openEntry(viewrules::ViewRect r, const std::string& initial, int paramType, int maxChars,
                        bool hostViewRules, const IText& style, const char* fontName, int fontSize) {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.lock);
  if (!m.usable() || m.destroyed || m.entry.win) return;
  Impl::Entry& e = m.entry;
  e.r = r;
  if (e.r.w < 1) e.r.w = 1;
  if (e.r.h < 1) e.r.h = 1;
  e.text = initial;
  e.selected = !initial.empty();
  e.paramType = paramType;
  e.maxChars = maxChars;
  e.hostView = hostViewRules;
  e.style = style;
  e.font = fontName ? fontName : "";
  e.size = fontSize;
  Trap trap(m.d);
  XSetWindowAttributes a{};
  a.colormap = m.cmap;
  a.border_pixel = 0;
  a.background_pixmap = None;
  a.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask;
  e.win = XCreateWindow(m.d, m.win, e.r.x, e.r.y, static_cast<unsigned>(e.r.w), static_cast<unsigned>(e.r.h), 0,
                        m.depth, InputOutput, m.visual, CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &a);
  XMapRaised(m.d, e.win);
  XGetInputFocus(m.d, &e.previousFocus, &e.previousRevert);
  XSync(m.d, False);
  XSetInputFocus(m.d, e.win, RevertToParent, CurrentTime);
  if (!trap.ok() && !e.win) return;
  m.drawEntry();
}

void X11Face::Impl::drawEntry() {
  if (!entry.win) return;
  x11face::Canvas c(entry.r.w, entry.r.h);
  x11face::TextFont font(entry.font.c_str(), entry.size);
  c.fill(0, 0, c.width(), c.height(), rgbOf(entry.style.mTextEntryBGColor));
  const uint32_t fg = rgbOf(entry.style.mTextEntryFGColor);
  const int tw = font.width(entry.text);
  int x = 2;
  if (entry.style.mAlign == IText::kAlignCenter) x = (c.width() - tw) / 2;
  if (entry.style.mAlign == IText::kAlignFar) x = c.width() - tw - 3;
  const int baseline = (c.height() + font.ascent() - font.descent()) / 2;
  if (entry.selected && tw > 0) c.fill(x, 1, tw, c.height() - 2, 0xB4D5FE);
  c.text(font, entry.text, x, baseline, fg);
  c.fill(x + tw + 1, 2, 1, c.height() - 4, fg);  // the caret
  putPixels(entry.win, c.pixels(), c.width(), c.width(), c.height(), 0, 0);
}

void X11Face::Impl::entryKey(XKeyEvent& key, std::deque<ViewEvent>& out) {
  char buf[16];
  KeySym sym = 0;
  const int n = XLookupString(&key, buf, sizeof buf, &sym, nullptr);
  if (sym == XK_Return || sym == XK_KP_Enter) {
    ViewEvent e;
    e.kind = ViewEvent::kEntryCommit;
    out.push_back(e);
    return;
  }
  if (sym == XK_Escape) {
    ViewEvent e;
    e.kind = ViewEvent::kEntryCancel;
    out.push_back(e);
    return;
  }
  if (sym == XK_BackSpace || sym == XK_Delete) {
    if (entry.selected) {
      entry.text.clear();
    } else {
      x11face::dropLastChar(entry.text);
    }
    entry.selected = false;
    drawEntry();
    return;
  }
  const std::string ch = x11face::typedText(buf, n);
  if (ch.empty()) return;
  // Typing replaces the selected text.
  const std::string base = entry.selected ? std::string() : entry.text;
  const std::string candidate = base + ch;
  bool take;
  if (entry.hostView)
    take = viewrules::hostViewAccepts(candidate, entry.paramType, entry.maxChars, 0);
  else
    take = viewrules::entryAccepts(entry.paramType, ch.data(), ch.size()) &&
           (entry.maxChars <= 0 || countChars(base) < size_t(entry.maxChars));
  if (!take) return;
  entry.text = candidate;
  entry.selected = false;
  drawEntry();
}

bool X11Face::entryOpen() const {
  std::lock_guard<std::recursive_mutex> lock(mImpl->lock);
  return mImpl->entry.win != 0;
}

std::string X11Face::entryText() const {
  std::lock_guard<std::recursive_mutex> lock(mImpl->lock);
  return mImpl->entry.text;
}

void X11Face::closeEntry() {
  Impl& m = *mImpl;
  std::lock_guard<std::recursive_mutex> lock(m.lock);
  if (!m.entry.win) return;
  if (m.usable()) {
    Trap trap(m.d);
    XDestroyWindow(m.d, m.entry.win);
    if (m.entry.previousFocus && m.entry.previousFocus != m.entry.win)
      XSetInputFocus(m.d, m.entry.previousFocus, m.entry.previousRevert, CurrentTime);
  }
  m.entry.win = 0;
}

viewrules::Point X11Face::Impl::toRoot(int x, int y) {
  int rx = x, ry = y;
  Window child = 0;
  Trap trap(d);
  if (!XTranslateCoordinates(d, win, root, x, y, &rx, &ry, &child)) return viewrules::Point{x, y};
  return viewrules::Point{rx, ry};
}
