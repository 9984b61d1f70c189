// Painting and input of the window object: the paint messages, the
// optimised render of a window-object tree, mouse, wheel and gesture
// messages, and dropped files.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "kit/utf8.h"
#include "shim/winbase.h"
#include "shim/winseam.h"
#include "shim/winwindow.h"

using winsys::Ref;

void (*SHIM_DDrop_onDragEnter)(HGLOBAL, int, int) = nullptr;
void (*SHIM_DDrop_onDragOver)(int, int) = nullptr;
void (*SHIM_DDrop_onDragLeave)() = nullptr;
const char* (*SHIM_DDrop_getDroppedFileTargetPath)(const char*) = nullptr;

// The OpenGL context made current by a paint or SHIM_SetGLContextToView.
void* g_shim_current_gl = nullptr;

namespace {

bool g_forwardingMove = false;  // a mouse move is being forwarded

HWND handleOf(Shim_vTavrin_hwnd* w) { return SHIM_Handle(w); }

int floorInt(double v) { return static_cast<int>(std::floor(v)); }

}  // namespace

// ---- Paint messages ----

void Shim_vTavrin_hwnd::drawShimViewRect(const winsys::Rect& r, HDC ctx) {
  if (shimHasBeenDestroyed()) return;
  Ref<winsys::View> hold(this);
  HWND me = handleOf(this);
  m_paintctx_hdc = ctx;
  if (m_glctx && SHIM_IsValidContext(ctx)) {
    ctx->GLgfxctx = m_glctx;
    g_shim_current_gl = m_glctx;
  }
  m_paintctx_rect[0] = static_cast<float>(r.x);
  m_paintctx_rect[1] = static_cast<float>(r.y);
  m_paintctx_rect[2] = static_cast<float>(r.w);
  m_paintctx_rect[3] = static_cast<float>(r.h);
  m_paintctx_used = false;
  RECT wr;
  GetWindowRect(me, &wr);
  if (wr.top > wr.bottom) std::swap(wr.top, wr.bottom);
  NCCALCSIZE_PARAMS p{};
  p.rgrc[0] = wr;
  onShimMessage(WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&p));
  const RECT client = p.rgrc[0];
  onShimMessage(WM_NCPAINT, 1, 0);
  m_paintctx_rect[0] += static_cast<float>(client.left - wr.left);
  m_paintctx_rect[1] += static_cast<float>(client.top - wr.top);
  if (m_paintctx_rect[2] >= 1 && m_paintctx_rect[3] >= 1) {
    const bool same = client.left == wr.left && client.top == wr.top && client.right == wr.right &&
                      client.bottom == wr.bottom;
    if (!same) {
      SHIM_PushClipRegion(ctx);
      RECT cr;
      GetClientRect(me, &cr);
      SHIM_SetClipRegion(ctx, &cr);
      onShimMessage(WM_PAINT, reinterpret_cast<WPARAM>(ctx), 0);
      SHIM_PopClipRegion(ctx);
    } else {
      onShimMessage(WM_PAINT, reinterpret_cast<WPARAM>(ctx), 0);
    }
  }
  if (m_glctx && g_shim_current_gl == m_glctx) g_shim_current_gl = nullptr;
  m_paintctx_hdc = nullptr;
}

void Shim_vTavrin_hwnd::drawRect(const winsys::Rect& dirty, platform::Surface* s) {
  HDC ctx = SHIM_CreateGfxContext(s);
  drawShimViewRect(dirty, ctx);
  SHIM_DeleteGfxContext(ctx);
  m_isdirty = 0;
}

bool Shim_vTavrin_hwnd::getShimPaintInfo(PAINTSTRUCT* ps) {
  if (!m_paintctx_hdc || !ps) return false;
  m_paintctx_used = true;
  ps->hdc = m_paintctx_hdc;
  ps->fErase = 0;
  ps->rcPaint.left = static_cast<int>(m_paintctx_rect[0]);
  ps->rcPaint.top = static_cast<int>(m_paintctx_rect[1]);
  ps->rcPaint.right = static_cast<int>(std::ceil(m_paintctx_rect[0] + m_paintctx_rect[2]));
  ps->rcPaint.bottom = static_cast<int>(std::ceil(m_paintctx_rect[1] + m_paintctx_rect[3]));
  return true;
}

// ---- Optimised render ----

namespace {

// The pending rectangles of v and its descendants, in top's coordinates.
void collectDirty(winsys::View* v, winsys::View* top, std::vector<winsys::Rect>* out) {
  if (v->isHidden()) return;
  if (v->needsDisplay()) {
    if (v->dirtyRects().empty())
      out->push_back(v->convertRectTo(v->bounds(), top));
    else
      for (const winsys::Rect& r : v->dirtyRects()) out->push_back(v->convertRectTo(r, top));
  }
  for (winsys::View* s : v->subviews()) collectDirty(s, top, out);
}

// A subview's top-left corner in its parent's top-left coordinates.
winsys::Point cornerIn(winsys::View* parent, winsys::View* sub) {
  const winsys::Rect& f = sub->frame();
  const winsys::Rect& b = parent->bounds();
  if (parent->isFlipped()) return winsys::Point{f.x - b.x, f.y - b.y};
  return winsys::Point{f.x - b.x, b.h - (f.y - b.y) - f.h};
}

void clearDisplay(winsys::View* v) {
  v->setNeedsDisplay(false);
  for (winsys::View* s : v->subviews()) clearDisplay(s);
}

void renderOptimizely(bool force, Shim_vTavrin_hwnd* w, HDC ctx, std::vector<Ref<winsys::View>>* natives,
                      const std::vector<winsys::Rect>& rects, winsys::View* top) {
  const bool forced = force || (w->m_isdirty & 1);
  platform::Surface* s = SHIM_GetCtxGC(ctx);
  if (forced && !rects.empty()) {
    winsys::Rect u;
    for (const winsys::Rect& r : rects) u = winsys::unite(u, r);
    if (w != top) u = top->convertRectTo(u, w);
    u = winsys::intersect(u, w->bounds());
    if (!u.empty()) w->drawShimViewRect(u, ctx);
  }
  LRESULT brush = -1;  // asked once per parent
  std::vector<Ref<winsys::View>> subs;
  for (winsys::View* v : w->subviews()) subs.emplace_back(v);
  for (auto& ref : subs) {
    winsys::View* v = ref.get();
    if (v->isHidden() || v->superview() != w) continue;
    auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(v);
    if (!forced && !(hw && hw->m_isdirty != 0) && !v->needsDisplay()) continue;
    if (hw) {
      const winsys::Point c = cornerIn(w, v);
      platform::surfaceSaveState(s);
      platform::surfaceClipToRect(s, static_cast<float>(c.x), static_cast<float>(c.y),
                                  static_cast<float>(v->frame().w), static_cast<float>(v->frame().h));
      platform::surfaceTranslate(s, static_cast<int>(std::floor(c.x + 0.5)), static_cast<int>(std::floor(c.y + 0.5)));
      renderOptimizely(forced, hw, ctx, natives, rects, top);
      platform::surfaceRestoreState(s);
      continue;
    }
    natives->emplace_back(v);
    if (auto* sv = dynamic_cast<winsys::ScrollView*>(v))
      if (sv->contentView()) natives->emplace_back(sv->contentView());
    if (!forced && !v->isOpaque()) {
      const winsys::Point c = cornerIn(w, v);
      for (const winsys::Rect& r : rects) {
        winsys::Rect local = top->convertRectTo(r, w);
        local = winsys::intersect(local, v->frame());
        if (local.empty()) continue;
        const winsys::Point lc = cornerIn(w, v);
        const RECT fill{static_cast<int>(std::floor(c.x + (local.x - v->frame().x))),
                        static_cast<int>(std::floor(lc.y + (w->isFlipped() ? local.y - v->frame().y
                                                                            : v->frame().y + v->frame().h -
                                                                                  local.y - local.h))),
                        0, 0};
        RECT f = fill;
        f.right = f.left + static_cast<int>(std::ceil(local.w));
        f.bottom = f.top + static_cast<int>(std::ceil(local.h));
        if (brush == -1)
          brush = w->onShimMessage(WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(ctx),
                                   reinterpret_cast<LPARAM>(SHIM_Handle(w)));
        if (brush == 0 || brush == 1)
          SHIM_FillDialogBackground(ctx, &f, 3);
        else
          SHIM_FillRect(ctx, &f, reinterpret_cast<HBRUSH>(brush));
      }
    }
  }
  w->m_isdirty = 0;
  w->setNeedsDisplay(false);
}

}  // namespace

void Shim_vTavrin_hwnd::displayIfNeeded(platform::Surface* s) {
  winsys::Window* win = window();
  if (!SHIM_Is105Plus() || !isOpaque() || !win || win->contentView() != this || isHidden()) {
    winsys::View::displayIfNeeded(s);
    return;
  }
  std::vector<winsys::Rect> rects;
  collectDirty(this, this, &rects);
  if (m_isdirty == 0 && rects.empty()) return;
  Ref<winsys::View> hold(this);
  HDC ctx = SHIM_CreateGfxContext(s);
  std::vector<Ref<winsys::View>> natives;
  renderOptimizely(false, this, ctx, &natives, rects, this);
  for (auto& n : natives) {
    if (!winsys::isLive(n.get()) || n->window() != win) continue;
    if (rects.empty()) {
      n->displayRectIgnoringOpacity(n->bounds(), s);
    } else {
      for (const winsys::Rect& r : rects) {
        const winsys::Rect grown{r.x - 1, r.y - 1, r.w + 2, r.h + 2};
        const winsys::Rect local = winsys::intersect(convertRectTo(grown, n.get()), n->bounds());
        if (!local.empty()) n->displayRectIgnoringOpacity(local, s);
      }
    }
    clearDisplay(n.get());
  }
  SHIM_DeleteGfxContext(ctx);
  clearDisplay(this);
}

// ---- Mouse messages ----

namespace {

LRESULT sendMouse(winsys::View* view, UINT msg, const winsys::Event& e);

LRESULT sendMouseTo(Shim_vTavrin_hwnd* hw, UINT msg, const winsys::Event& e) {
  HWND cap = GetCapture();
  const bool captured = cap != nullptr;
  if (hw->shimHasBeenDestroyed() || !hw->getShimWindowProc()) return -1;
  const winsys::Point local = hw->convertFromWindow(e.location);
  const int x = floorInt(local.x), y = floorInt(local.y);
  LRESULT hit = HTCLIENT;
  if (msg != WM_MOUSEWHEEL && msg != WM_MOUSEHWHEEL && !captured) {
    hit = hw->onShimMessage(WM_NCHITTEST, 0, static_cast<LPARAM>(static_cast<int32_t>(GetMessagePos())));
    if (hit != HTCLIENT && msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK)
      return hw->onShimMessage(msg - WM_MOUSEMOVE + WM_NCMOUSEMOVE, static_cast<WPARAM>(hit),
                               static_cast<LPARAM>(static_cast<int32_t>(GetMessagePos())));
  }
  if (msg == WM_MOUSEWHEEL || msg == WM_MOUSEHWHEEL) {
    const double d = (msg == WM_MOUSEWHEEL ? e.deltaY : e.deltaX) * 60.0;
    const int delta = static_cast<int>(std::clamp(std::trunc(d), -32768.0, 32767.0));
    POINT c{};
    GetCursorPos(&c);
    return hw->onShimMessage(msg, static_cast<WPARAM>(SHIM_PackPoint(0, delta)), SHIM_PackPoint(c.x, c.y));
  }
  const LRESULT r = hw->onShimMessage(msg, 0, SHIM_PackPoint(x, y));
  if ((msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP) && !captured) {
    const LRESULT set = hw->onShimMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(SHIM_Handle(hw)),
                                          static_cast<LPARAM>(hit | (static_cast<LPARAM>(msg) << 16)));
    if (set == 0 || hw->shimHasBeenDestroyed()) SHIM_SetArrowCursor();
  }
  return r;
}

LRESULT sendMouse(winsys::View* view, UINT msg, const winsys::Event& e) {
  if (!view) return 0;
  Ref<winsys::View> hold(view);
  auto* cap = SHIM_Hwnd(GetCapture());
  if (cap && cap != view && cap->window() == view->window()) return sendMouse(cap, msg, e);
  auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(view);
  if (!hw) return -1;
  return sendMouseTo(hw, msg, e);
}

}  // namespace

LRESULT SHIM_SendMouseMessage(HWND view, UINT msg, const winsys::Event& e) {
  return sendMouse(SHIM_As<winsys::View>(view), msg, e);
}

void Shim_vTavrin_hwnd::mouseDown(const winsys::Event& e) {
  SHIM_FinishDragDrop();
  if (!m_enabled) return;
  m_isfakerightmouse = 0;
  if ((e.modifiers & winsys::kControlKey) && IsRightClickEmulateEnabled()) {
    rightMouseDown(e);
    if (e.clickCount <= 1) m_isfakerightmouse = 1;
    return;
  }
  sendMouse(this, e.clickCount >= 2 ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, e);
}

void Shim_vTavrin_hwnd::mouseUp(const winsys::Event& e) {
  if (!m_enabled) return;
  if (m_isfakerightmouse) {
    rightMouseUp(e);
    return;
  }
  sendMouse(this, WM_LBUTTONUP, e);
}

void Shim_vTavrin_hwnd::mouseDragged(const winsys::Event& e) {
  if (!m_enabled) return;
  sendMouse(this, WM_MOUSEMOVE, e);
  SHIM_RestoreProgramCursor();
}

void Shim_vTavrin_hwnd::rightMouseDown(const winsys::Event& e) {
  m_isfakerightmouse = 0;
  winsys::Window* w = window();
  if (w && !w->isKeyWindow()) SetFocus(SHIM_Handle(w));
  sendMouse(this, e.clickCount >= 2 ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN, e);
}

void Shim_vTavrin_hwnd::rightMouseUp(const winsys::Event& e) {
  if (!m_enabled) return;
  m_isfakerightmouse = 0;
  sendMouse(this, WM_RBUTTONUP, e);
}

void Shim_vTavrin_hwnd::otherMouseDown(const winsys::Event& e) {
  winsys::Window* w = window();
  if (w && !w->isKeyWindow()) SetFocus(SHIM_Handle(w));
  sendMouse(this, e.clickCount >= 2 ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN, e);
}

void Shim_vTavrin_hwnd::otherMouseUp(const winsys::Event& e) {
  if (m_enabled) sendMouse(this, WM_MBUTTONUP, e);
}

void Shim_vTavrin_hwnd::scrollWheel(const winsys::Event& e) {
  if (!m_enabled) return;
  Ref<winsys::View> hold(this);
  if (e.deltaY != 0) sendMouse(this, WM_MOUSEWHEEL, e);
  if (e.deltaX != 0) sendMouse(this, WM_MOUSEHWHEEL, e);
}

void Shim_vTavrin_hwnd::mouseMoved(const winsys::Event& e) {
  if (!g_forwardingMove && winsys::live(e.window)) {
    const winsys::Point screen = e.screenLocation();
    winsys::Window* under = nullptr;
    if (!GetCapture()) {
      std::vector<winsys::Window*> list = winsys::app::orderedWindows();
      winsys::Window* key = winsys::app::keyWindow();
      if (key && std::find(list.begin(), list.end(), key) == list.end()) list.insert(list.begin(), key);
      for (winsys::Window* w : list) {
        const winsys::Rect& f = w->frame();
        if (winsys::isLive(w) && w->isVisible() && screen.x >= f.x && screen.x < f.x + f.w && screen.y >= f.y &&
            screen.y < f.y + f.h) {
          under = w;
          break;
        }
      }
    }
    if (under != e.window && !GetCapture() && !winsys::app::modalWindow()) {
      winsys::View* hit = nullptr;
      if (under && dynamic_cast<Shim_vTavrin_hwnd*>(under->contentView()))
        hit = under->contentView()->hitTest(winsys::Point{screen.x - under->frame().x, screen.y - under->frame().y});
      if (!hit) {
        SHIM_SetArrowCursor();
        return;
      }
      winsys::Event copy = e;
      copy.window = under;
      copy.location = winsys::Point{screen.x - under->frame().x, screen.y - under->frame().y};
      Ref<winsys::View> hold(hit);
      g_forwardingMove = true;
      hit->mouseMoved(copy);
      g_forwardingMove = false;
      return;
    }
    if (winsys::View* content = e.window->contentView()) {
      winsys::View* hit = content->hitTest(e.location);
      if (hit && hit != this) {
        Ref<winsys::View> hold(hit);
        g_forwardingMove = true;
        hit->mouseMoved(e);
        g_forwardingMove = false;
        return;
      }
    }
  }
  HWND cap = GetCapture();
  if (m_enabled && (!cap || cap == handleOf(this))) sendMouse(this, WM_MOUSEMOVE, e);
}

// ---- Gestures ----

namespace {

void sendGesture(Shim_vTavrin_hwnd* w, uint32_t id, uint32_t flags, uint64_t arg, WPARAM wp, winsys::Point at) {
  GESTUREINFO gi{};
  gi.cbSize = sizeof(GESTUREINFO);
  gi.dwFlags = flags;
  gi.dwID = id;
  gi.hwndTarget = SHIM_Handle(w);
  gi.ptsLocationX = static_cast<int16_t>(static_cast<int>(at.x));
  gi.ptsLocationY = static_cast<int16_t>(static_cast<int>(at.y));
  gi.ullArguments = arg;
  SendMessage(SHIM_Handle(w), WM_GESTURE, wp, reinterpret_cast<LPARAM>(&gi));
}

}  // namespace

void Shim_vTavrin_hwnd::magnifyWithEvent(const winsys::Event& e) {
  Ref<winsys::View> hold(this);
  const winsys::Point at = e.screenLocation();
  sendGesture(this, GID_ZOOM, GF_BEGIN, 1024, 0, at);
  long v = static_cast<long>(1024.0 * e.magnification + 0.5);
  if (v == 0) v = e.magnification < 0 ? -1 : 1;
  const long arg = std::clamp(v + 1024, 512L, 2048L);
  sendGesture(this, GID_ZOOM, GF_END, static_cast<uint64_t>(arg), static_cast<WPARAM>(arg), at);
}

void Shim_vTavrin_hwnd::rotateWithEvent(const winsys::Event& e) {
  Ref<winsys::View> hold(this);
  const winsys::Point at = e.screenLocation();
  sendGesture(this, GID_ROTATE, GF_BEGIN, 0, 0, at);
  long v = static_cast<long>(32767.0 * e.rotation / 60.0);
  if (v == 0) v = e.rotation < 0 ? -1 : 1;
  const long arg = v < -32767 ? 0 : std::clamp(v + 32767, 0L, 65535L);
  sendGesture(this, GID_ROTATE, GF_END, static_cast<uint64_t>(arg), static_cast<WPARAM>(arg), at);
}

void Shim_vTavrin_hwnd::swipeWithEvent(const winsys::Event& e) {
  Ref<winsys::View> hold(this);
  winsys::Point at = e.screenLocation();
  sendGesture(this, GID_PAN, GF_BEGIN, 0, 0, at);
  if (e.deltaX < 0)
    at.x -= bounds().w;
  else if (e.deltaX > 0)
    at.x += bounds().w;
  else if (e.deltaY < 0)
    at.y += bounds().h;
  else if (e.deltaY > 0)
    at.y -= bounds().h;
  sendGesture(this, GID_PAN, GF_END, 0, 0, at);
}

// ---- Dropped files ----

namespace {

// Calls a host hook; an exception from it ends here.
template <class F>
void guarded(F&& f) {
  try {
    f();
  } catch (...) {
  }
}

std::string cut(const std::string& s, size_t maxBytes) { return s.substr(0, KIT_Utf8CutLength(s.c_str(), maxBytes)); }

HGLOBAL makeDropBlock(const std::vector<std::string>& paths, int x, int y) {
  size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& p : paths) size += p.size() + 1;
  if (size > 0x7FFFFFFF) return nullptr;
  HGLOBAL g = GlobalAlloc(0, static_cast<int>(size));
  auto* base = static_cast<uint8_t*>(GlobalLock(g));
  if (!base) {
    GlobalFree(g);
    return nullptr;
  }
  DROPFILES head{static_cast<uint32_t>(sizeof(DROPFILES)), x, y, 0};
  std::memcpy(base, &head, sizeof(head));
  size_t at = sizeof(DROPFILES);
  for (const std::string& p : paths) {
    std::memcpy(base + at, p.c_str(), p.size() + 1);
    at += p.size() + 1;
  }
  base[at] = 0;
  GlobalUnlock(g);
  return g;
}

}  // namespace

HGLOBAL Shim_vTavrin_hwnd::shimExtendedDragOp(const winsys::Drag& d, bool returnBlock) {
  std::vector<std::string> paths;
  if (!d.fileNames.empty()) {
    for (const std::string& p : d.fileNames) paths.push_back(cut(p, 4095));
  } else if (!d.promisedTypes.empty()) {
    if (returnBlock) {
      for (const std::string& t : d.promisedTypes) paths.push_back(cut("tmp." + t, 4095));
    } else {
      if (!SHIM_DDrop_getDroppedFileTargetPath) return nullptr;
      const char* answer = nullptr;
      guarded([&] { answer = SHIM_DDrop_getDroppedFileTargetPath(d.promisedTypes.front().c_str()); });
      std::string folder = answer ? cut(answer, 255) : "";
      if (folder.empty()) folder = "/tmp/";
      auto* src = winsys::lookup<winsys::View>(d.source);
      if (!src) return nullptr;
      Ref<winsys::View> hold(src);
      for (const std::string& n : src->namesOfPromisedFilesDroppedAtDestination(folder))
        paths.push_back(cut(folder.back() == '/' ? folder + n : folder + "/" + n, 4095));
    }
  } else {
    return nullptr;
  }
  const winsys::Point p = convertFromScreen(d.screenLocation);
  HGLOBAL block = makeDropBlock(paths, static_cast<int>(p.x + 0.5), static_cast<int>(p.y + 0.5));
  if (returnBlock || !block) return block;
  onShimMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
  GlobalFree(block);
  return reinterpret_cast<HGLOBAL>(1);
}

int Shim_vTavrin_hwnd::draggingEntered(const winsys::Drag& d) {
  if (!m_supports_ddrop) return 0;
  if (SHIM_DDrop_onDragEnter) {
    HGLOBAL block = shimExtendedDragOp(d, true);
    guarded([&] {
      SHIM_DDrop_onDragEnter(block, static_cast<int>(d.screenLocation.x + 0.5),
                             static_cast<int>(d.screenLocation.y + 0.5));
    });
    GlobalFree(block);
  }
  return 4;
}

int Shim_vTavrin_hwnd::draggingUpdated(const winsys::Drag& d) {
  if (!m_supports_ddrop) return 0;
  if (SHIM_DDrop_onDragOver)
    guarded([&] {
      SHIM_DDrop_onDragOver(static_cast<int>(d.screenLocation.x + 0.5), static_cast<int>(d.screenLocation.y + 0.5));
    });
  return 4;
}

void Shim_vTavrin_hwnd::draggingExited(const winsys::Drag&) {
  if (m_supports_ddrop && SHIM_DDrop_onDragLeave) guarded(SHIM_DDrop_onDragLeave);
}

bool Shim_vTavrin_hwnd::performDragOperation(const winsys::Drag& d) {
  if (!m_supports_ddrop) return false;
  Ref<winsys::View> hold(this);
  if (SHIM_DDrop_onDragLeave) guarded(SHIM_DDrop_onDragLeave);
  winsys::Window* win = window();
  HWND content = win && win->contentView() ? SHIM_Handle(win->contentView()) : nullptr;
  auto* src = winsys::lookup<winsys::View>(d.source);
  const bool sameWindow = src && win && src->window() == win;
  if (sameWindow) SetProp(content, "SHIM_DisableWindowRepre", reinterpret_cast<void*>(1));
  bool ok = false;
  winsys::View* hit = nullptr;
  if (win && win->contentView())
    hit = win->contentView()->hitTest(winsys::Point{d.screenLocation.x - win->frame().x,
                                                    d.screenLocation.y - win->frame().y});
  if (hit && hit != this && hit->isDescendantOf(this)) {
    std::vector<Ref<winsys::View>> chain;  // held: the drop reaches procedures
    for (winsys::View* v = hit; v && v != this; v = v->superview()) chain.emplace_back(v);
    for (auto& v : chain) {
      auto* hw = dynamic_cast<Shim_vTavrin_hwnd*>(v.get());
      if (hw && hw->shimExtendedDragOp(d, false)) {
        ok = true;
        break;
      }
    }
  }
  if (!ok) ok = shimExtendedDragOp(d, false) != nullptr;
  if (sameWindow) RemoveProp(content, "SHIM_DisableWindowRepre");
  return ok;
}
