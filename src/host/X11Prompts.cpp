// The modal prompts of the X11 face: menus, message boxes, file prompts.
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include "framework/IPopupMenu.h"
#include "host/X11Face.h"
#include "host/X11FaceImpl.h"

using x11face::Canvas;
using x11face::TextFont;
using x11face::Panel;
using x11face::Trap;

namespace {

constexpr int kBorder = 1;
constexpr int kPad = 6;
constexpr int kCheckWidth = 16;
constexpr int kArrowWidth = 16;
constexpr int kMinMenuWidth = 80;
constexpr uint32_t kFrame = 0x808080, kBack = 0xF2F2F2, kHighlight = 0x3465A4, kText = 0x000000,
                   kTextGrey = 0x8C8C8C, kTextLit = 0xFFFFFF;
constexpr int kButtonW = 80, kButtonH = 26, kButtonGap = 8, kLineH = 18, kPanelTextSize = 13;

struct Level {
  IPopupMenu* menu = nullptr;
  Window win = 0;
  int x = 0, y = 0, w = 0, h = 0;
  int hover = -1;
};

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t nl = text.find('\n', start);
    lines.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return lines;
}

std::string typed(XKeyEvent& key, KeySym* sym) {
  char buf[16];
  const int n = XLookupString(&key, buf, sizeof buf, sym, nullptr);
  return x11face::typedText(buf, n);
}

}  // namespace

bool X11Face::Impl::waitForEvents(const Modal& modal, std::unique_lock<std::recursive_mutex>& held) {
  if (modal.stop && modal.stop()) return false;
  if (!usable()) return false;
  pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {wakeFd, POLLIN, 0}};
  held.unlock();
  poll(fds, wakeFd >= 0 ? 2 : 1, 50);
  held.lock();
  if (wakeFd >= 0 && (fds[1].revents & POLLIN)) {
    char buf[64];
    while (read(wakeFd, buf, sizeof buf) > 0) {
    }
  }
  return !(modal.stop && modal.stop()) && usable();
}

Window X11Face::Impl::makePopup(int x, int y, int pw, int ph, bool overrideRedirect, const std::string& title) {
  Trap trap(d);
  XSetWindowAttributes a{};
  a.colormap = cmap;
  a.border_pixel = 0;
  a.background_pixmap = None;
  a.override_redirect = overrideRedirect ? True : False;
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                 StructureNotifyMask;
  Window w = XCreateWindow(d, root, x, y, static_cast<unsigned>(pw), static_cast<unsigned>(ph), 0, depth, InputOutput,
                           visual, CWColormap | CWBorderPixel | CWBackPixmap | CWOverrideRedirect | CWEventMask, &a);
  if (!overrideRedirect) {
    XStoreName(d, w, title.c_str());
    XSetTransientForHint(d, w, topLevel ? win : parent);
    XSetWMProtocols(d, w, &wmDelete, 1);
  }
  XMapRaised(d, w);
  if (!trap.ok()) return 0;
  return w;
}

IPopupMenu* X11Face::runMenu(IPopupMenu* menu, viewrules::Point corner,
                             const std::function<void(IRECT, int)>& shown, const Modal& modal) {
  Impl& m = *mImpl;
  // Held while the menu uses the connection, let go while it waits, and
  // before the plug-in's mutex is taken back (the order is that mutex, then
  // this lock).
  std::unique_lock<std::recursive_mutex> lock(m.lock);
  if (!m.usable() || m.destroyed || !menu || menu->GetNItems() == 0) return nullptr;
  TextFont font("", kMenuTextSize);
  std::vector<Level> levels;

  auto draw = [&](const Level& L) {
    Canvas c(L.w, L.h);
    c.fill(0, 0, L.w, L.h, kFrame);
    c.fill(kBorder, kBorder, L.w - 2 * kBorder, L.h - 2 * kBorder, kBack);
    const int baseOffset = (kMenuRowHeight + font.ascent() - font.descent()) / 2;
    for (int i = 0; i < L.menu->GetNItems(); ++i) {
      const IPopupMenuItem* item = L.menu->GetItem(i);
      const int y0 = kBorder + i * kMenuRowHeight;
      if (item->GetIsSeparator() && !item->GetSubmenu()) {
        c.fill(4, y0 + kMenuRowHeight / 2, L.w - 8, 1, kFrame);
        continue;
      }
      const bool lit = i == L.hover && (item->IsChoosable() || item->GetSubmenu());
      if (lit) c.fill(kBorder, y0, L.w - 2 * kBorder, kMenuRowHeight, kHighlight);
      const uint32_t color = (!item->GetEnabled() || item->GetIsTitle()) ? kTextGrey : lit ? kTextLit : kText;
      if (item->GetChecked()) c.fill(kPad, y0 + kMenuRowHeight / 2 - 3, 6, 6, color);
      c.text(font, L.menu->GetShownText(i).Get(), kPad + kCheckWidth, y0 + baseOffset, color);
      if (item->GetSubmenu()) c.text(font, ">", L.w - kArrowWidth, y0 + baseOffset, color);
    }
    m.putPixels(L.win, c.pixels(), c.width(), c.width(), c.height(), 0, 0);
  };
  auto open = [&](IPopupMenu* mm, int x, int y) {
    Level L;
    L.menu = mm;
    int widest = 0;
    for (int i = 0; i < mm->GetNItems(); ++i) widest = std::max(widest, font.width(mm->GetShownText(i).Get()));
    L.w = std::max(kMinMenuWidth, widest + 2 * kPad + kCheckWidth + kArrowWidth + 2 * kBorder);
    L.h = std::max(1, mm->GetNItems()) * kMenuRowHeight + 2 * kBorder;
    L.x = x;
    L.y = y;
    L.win = m.makePopup(x, y, L.w, L.h, true, "");
    levels.push_back(L);
    if (L.win) draw(levels.back());
  };
  auto closeFrom = [&](size_t first) {
    Trap trap(m.d);
    while (levels.size() > first) {
      if (levels.back().win) XDestroyWindow(m.d, levels.back().win);
      levels.pop_back();
    }
  };
  // The level and row under a screen point; level -1 when outside.
  auto hit = [&](int xr, int yr, int* row) {
    for (int li = static_cast<int>(levels.size()) - 1; li >= 0; --li) {
      const Level& L = levels[li];
      if (xr < L.x || xr >= L.x + L.w || yr < L.y || yr >= L.y + L.h) continue;
      *row = (yr - L.y - kBorder) / kMenuRowHeight;
      if (*row < 0 || *row >= L.menu->GetNItems()) *row = -1;
      return li;
    }
    return -1;
  };
  auto openSubmenu = [&](int li, int row) {
    IPopupMenuItem* item = levels[li].menu->GetItem(row);
    if (!item || !item->GetSubmenu() || item->GetSubmenu()->GetNItems() == 0) return;
    if (static_cast<int>(levels.size()) > li + 1 && levels[li + 1].menu == item->GetSubmenu()) return;
    closeFrom(li + 1);
    const Level& L = levels[li];
    open(item->GetSubmenu(), L.x + L.w - 2, L.y + kBorder + row * kMenuRowHeight);
  };

  const viewrules::Point at = m.toRoot(corner.x, corner.y);
  open(menu, at.x, at.y);
  if (!levels.back().win) {
    levels.clear();
    return nullptr;
  }
  {
    Trap trap(m.d);
    XGrabPointer(m.d, levels[0].win, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, None, None, CurrentTime);
    XGrabKeyboard(m.d, levels[0].win, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  }
  if (shown) shown(IRECT(at.x, at.y, at.x + levels[0].w, at.y + levels[0].h), kMenuRowHeight);
  if (modal.release) modal.release();

  IPopupMenu* chosen = nullptr;
  bool done = false;
  while (!done) {
    while (!done && m.usable() && XPending(m.d) > 0) {
      XEvent ev;
      XNextEvent(m.d, &ev);
      switch (ev.type) {
        case Expose:
          if (ev.xexpose.window == m.win) {
            m.put(IRECT(ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width,
                        ev.xexpose.y + ev.xexpose.height));
          } else {
            for (const Level& L : levels)
              if (L.win == ev.xexpose.window && ev.xexpose.count == 0) draw(L);
          }
          break;
        case DestroyNotify:
          if (ev.xdestroywindow.window == m.win) {
            m.destroyed = true;
            m.gone.store(true);
            done = true;
          }
          break;
        case MotionNotify: {
          int row = -1;
          const int li = hit(ev.xmotion.x_root, ev.xmotion.y_root, &row);
          if (li < 0) break;
          if (levels[li].hover != row) {
            levels[li].hover = row;
            draw(levels[li]);
          }
          if (row >= 0) {
            IPopupMenuItem* item = levels[li].menu->GetItem(row);
            if (item && item->GetSubmenu())
              openSubmenu(li, row);
            else
              closeFrom(li + 1);
          }
          break;
        }
        case ButtonPress: {
          if (ev.xbutton.button != Button1 && ev.xbutton.button != Button3) break;
          int row = -1;
          const int li = hit(ev.xbutton.x_root, ev.xbutton.y_root, &row);
          if (li < 0) {
            done = true;  // a click outside dismisses the menu
            break;
          }
          IPopupMenuItem* item = row >= 0 ? levels[li].menu->GetItem(row) : nullptr;
          if (item && item->IsChoosable()) {
            chosen = levels[li].menu;
            chosen->SetChosenItemIdx(row);
            done = true;
          } else if (item && item->GetSubmenu()) {
            openSubmenu(li, row);
          }
          break;
        }
        case KeyPress: {
          KeySym sym = 0;
          typed(ev.xkey, &sym);
          if (sym == XK_Escape) done = true;
          if (sym == XK_Return || sym == XK_KP_Enter) {
            Level& L = levels.back();
            IPopupMenuItem* item = L.hover >= 0 ? L.menu->GetItem(L.hover) : nullptr;
            if (item && item->IsChoosable()) {
              chosen = L.menu;
              chosen->SetChosenItemIdx(L.hover);
              done = true;
            }
          }
          break;
        }
        default:
          break;  // the view's own input waits until the menu is gone
      }
    }
    if (!done && !m.waitForEvents(modal, lock)) break;
  }
  if (m.usable()) {
    Trap trap(m.d);
    XUngrabPointer(m.d, CurrentTime);
    XUngrabKeyboard(m.d, CurrentTime);
  }
  if (m.usable()) closeFrom(0);
  lock.unlock();
  if (modal.reacquire) modal.reacquire();
  return chosen;
}

void X11Face::Impl::drawPanel(const Panel& p, int pressed) {
  Canvas c(p.w, p.h);
  TextFont font("", kPanelTextSize);
  c.fill(0, 0, p.w, p.h, kFrame);
  c.fill(kBorder, kBorder, p.w - 2 * kBorder, p.h - 2 * kBorder, kBack);
  const int baseOffset = (kLineH + font.ascent() - font.descent()) / 2;
  int y = 12;
  for (const std::string& line : p.lines) {
    c.text(font, line, 12, y + baseOffset, kText);
    y += kLineH;
  }
  if (p.hasEdit) {
    c.fill(12, y + 4, p.w - 24, 24, kFrame);
    c.fill(13, y + 5, p.w - 26, 22, 0xFFFFFF);
    const int tw = c.text(font, p.edit, 16, y + 4 + (24 + font.ascent() - font.descent()) / 2, kText);
    c.fill(17 + tw, y + 8, 1, 16, kText);
  }
  for (const Panel::Button& b : p.buttons) {
    c.fill(b.x, b.y, b.w, b.h, kFrame);
    c.fill(b.x + 1, b.y + 1, b.w - 2, b.h - 2, b.role == pressed ? kHighlight : 0xFFFFFF);
    const int tw = font.width(b.label);
    c.text(font, b.label, b.x + (b.w - tw) / 2, b.y + (b.h + font.ascent() - font.descent()) / 2,
           b.role == pressed ? kTextLit : kText);
  }
  putPixels(p.win, c.pixels(), c.width(), c.width(), c.height(), 0, 0);
}

int X11Face::Impl::runPanel(Panel& p, const Modal& modal, bool* ok, std::unique_lock<std::recursive_mutex>& held) {
  // Centred over the view.
  const viewrules::Point at = toRoot((w - p.w) / 2, (h - p.h) / 2);
  p.x = std::max(0, at.x);
  p.y = std::max(0, at.y);
  const int bottom = p.h - 12 - kButtonH;
  int x = p.w - 12;
  for (auto it = p.buttons.rbegin(); it != p.buttons.rend(); ++it) {
    x -= kButtonW;
    *it = Panel::Button{x, bottom, kButtonW, kButtonH, it->label, it->role};
    x -= kButtonGap;
  }
  p.win = makePopup(p.x, p.y, p.w, p.h, false, p.lines.empty() ? std::string() : p.lines.front());
  if (!p.win) return 0;
  {
    Trap trap(d);
    XGrabKeyboard(d, p.win, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  }
  drawPanel(p, -1);
  if (modal.release) modal.release();
  int role = -1;
  while (role < 0) {
    while (role < 0 && usable() && XPending(d) > 0) {
      XEvent ev;
      XNextEvent(d, &ev);
      switch (ev.type) {
        case Expose:
          if (ev.xexpose.window == win)
            put(IRECT(ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height));
          else if (ev.xexpose.window == p.win && ev.xexpose.count == 0)
            drawPanel(p, -1);
          break;
        case ButtonPress:
          if (ev.xbutton.window != p.win) break;
          for (const Panel::Button& b : p.buttons)
            if (ev.xbutton.x >= b.x && ev.xbutton.x < b.x + b.w && ev.xbutton.y >= b.y && ev.xbutton.y < b.y + b.h)
              role = b.role;
          break;
        case ClientMessage:
          if (ev.xclient.window == p.win && Atom(ev.xclient.data.l[0]) == wmDelete) role = 0;
          break;
        case DestroyNotify:
          if (ev.xdestroywindow.window == win) {
            destroyed = true;
            gone.store(true);
            role = 0;
          }
          break;
        case KeyPress: {
          KeySym sym = 0;
          const std::string ch = typed(ev.xkey, &sym);
          if (sym == XK_Escape) {
            role = 0;
          } else if (sym == XK_Return || sym == XK_KP_Enter) {
            role = 1;
          } else if (p.hasEdit && (sym == XK_BackSpace || sym == XK_Delete)) {
            x11face::dropLastChar(p.edit);
            drawPanel(p, -1);
          } else if (p.hasEdit && !ch.empty()) {
            p.edit += ch;
            drawPanel(p, -1);
          }
          break;
        }
        default:
          break;
      }
    }
    if (role < 0 && !waitForEvents(modal, held)) role = 0;
  }
  if (usable()) {
    Trap trap(d);
    XUngrabKeyboard(d, CurrentTime);
    XDestroyWindow(d, p.win);
  }
  held.unlock();
  if (modal.reacquire) modal.reacquire();
  if (ok) *ok = role == 1;
  return role;
}

int X11Face::runMessageBox(const std::string& text, const std::string& caption, int type, const Modal& modal) {
  Impl& m = *mImpl;
  std::unique_lock<std::recursive_mutex> lock(m.lock);
  if (!m.usable() || m.destroyed) return 0;
  Panel p;
  p.lines.push_back(caption);
  for (const std::string& line : splitLines(text)) p.lines.push_back(line);
  // The buttons of each type, left to right, the default one last.
  switch (type) {
    case 4: p.buttons = {{0, 0, 0, 0, "No", 7}, {0, 0, 0, 0, "Yes", 1}}; break;
    case 3: p.buttons = {{0, 0, 0, 0, "Cancel", 2}, {0, 0, 0, 0, "No", 7}, {0, 0, 0, 0, "Yes", 1}}; break;
    case 1: p.buttons = {{0, 0, 0, 0, "Cancel", 7}, {0, 0, 0, 0, "OK", 1}}; break;
    default: p.buttons = {{0, 0, 0, 0, "OK", 1}}; break;
  }
  TextFont font("", kPanelTextSize);
  int widest = 0;
  for (const std::string& line : p.lines) widest = std::max(widest, font.width(line));
  p.w = std::max(360, widest + 24);
  p.h = 12 + static_cast<int>(p.lines.size()) * kLineH + 12 + kButtonH + 12;
  return m.runPanel(p, modal, nullptr, lock);
}

bool X11Face::runFilePrompt(bool save, std::string* path, const Modal& modal) {
  Impl& m = *mImpl;
  std::unique_lock<std::recursive_mutex> lock(m.lock);
  if (!m.usable() || m.destroyed || !path) return false;
  Panel p;
  p.lines.push_back(save ? "Save as:" : "Open:");
  p.hasEdit = true;
  p.edit = *path;
  p.buttons = {{0, 0, 0, 0, "Cancel", 2}, {0, 0, 0, 0, save ? "Save" : "Open", 1}};
  p.w = 480;
  p.h = 12 + kLineH + 4 + 24 + 12 + kButtonH + 12;
  bool ok = false;
  m.runPanel(p, modal, &ok, lock);
  if (ok) *path = p.edit;
  return ok;
}
