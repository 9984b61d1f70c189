// Focus, capture, repaint requests and paints, modal sessions, and the
// input messages of window objects driven by injected events.
#include <cstring>

#include "recttest.h"
#include "shim/winbase.h"
#include "support_windows.h"
#include "testsupport.h"

namespace {

using P = WindowTest;
using winsys::Point;

TEST_F(P, CaptureNotices) {
  HWND a = TopLevel(0, 0, 100, 100);
  HWND b = TopLevel(200, 0, 100, 100);
  auto* plain = new winsys::View;
  EXPECT_EQ(SetCapture(a), nullptr);
  EXPECT_EQ(SetCapture(b), a);
  ASSERT_EQ(rec.of(WM_CAPTURECHANGED).size(), 1u);
  EXPECT_EQ(rec.of(WM_CAPTURECHANGED)[0].w, a);
  EXPECT_EQ(rec.of(WM_CAPTURECHANGED)[0].lp, reinterpret_cast<LPARAM>(b));
  rec.clear();
  SetCapture(SHIM_Handle(plain));  // b is told; the plain view asks for nothing
  SetCapture(a);
  EXPECT_EQ(rec.messages(nullptr, {WM_CAPTURECHANGED}).size(), 1u);
  SetCapture(SHIM_Handle(plain));
  plain->release();
  EXPECT_EQ(GetCapture(), nullptr);  // a freed holder is none
  EXPECT_EQ(SetCapture(b), nullptr);
  rec.clear();
  ReleaseCapture();
  EXPECT_EQ(rec.of(WM_CAPTURECHANGED, b).size(), 1u);
}

TEST_F(P, FocusInvalidationAndPaintInfo) {
  HWND top = TopLevel(0, 0, 300, 200);
  auto* field = new winsys::TextField;
  View(top)->addSubview(field);
  field->release();
  field->beginEditing();
  EXPECT_EQ(GetFocus(), SHIM_Handle(field));

  HWND child = Child(top, 10, 10, 100, 100);
  HWND grand = Child(child, 0, 0, 50, 50);
  SHIM_Hwnd(top)->m_isdirty = SHIM_Hwnd(child)->m_isdirty = SHIM_Hwnd(grand)->m_isdirty = 0;
  View(grand)->setNeedsDisplay(false);
  const RECT flipped{5, 30, 25, 10};
  InvalidateRect(grand, &flipped, 0);
  ASSERT_EQ(View(grand)->dirtyRects().size(), 1u);
  const winsys::Rect d = View(grand)->dirtyRects()[0];
  EXPECT_EQ(std::make_tuple(d.x, d.y, d.w, d.h), std::make_tuple(5.0, 10.0, 20.0, 20.0));
  EXPECT_EQ(std::make_tuple(SHIM_Hwnd(grand)->m_isdirty, SHIM_Hwnd(child)->m_isdirty, SHIM_Hwnd(top)->m_isdirty),
            std::make_tuple(1, 2, 2));

  PAINTSTRUCT ps;
  std::memset(&ps, 0x5A, sizeof(ps));
  EXPECT_EQ(BeginPaint(child, &ps), nullptr);
  EXPECT_EQ(ps.hdc, nullptr);
  EXPECT_EQ(ps.rcPaint, (RECT{}));
  EXPECT_EQ(EndPaint(child, &ps), 1);

  RECT painted{};
  rec.hook = [&](const Msg& m, LRESULT*) {
    if (m.msg == WM_PAINT) {
      PAINTSTRUCT p;
      EXPECT_TRUE(BeginPaint(m.w, &p));
      painted = p.rcPaint;
    }
    return false;
  };
  HDC ctx = SHIM_CreateGfxContext(nullptr);
  rec.clear();
  SHIM_Hwnd(child)->drawShimViewRect(winsys::Rect{0.5, 1.5, 10.2, 5.1}, ctx);
  EXPECT_EQ(painted, (RECT{0, 1, 11, 7}));
  rec.clear();
  SHIM_Hwnd(child)->drawShimViewRect(winsys::Rect{0, 0, 0.5, 10}, ctx);
  EXPECT_EQ(rec.messages(child), std::vector<UINT>({WM_NCCALCSIZE, WM_NCPAINT}));
  SHIM_DeleteGfxContext(ctx);
}

TEST_F(P, OptimisedRenderPaintsOnlyWhatIsDirty) {
  HWND top = TopLevel(0, 0, 300, 200);
  HWND a = Child(top, 0, 0, 100, 100);
  HWND b = Child(top, 150, 0, 100, 100);
  auto* native = new winsys::Button;
  native->setFrame(winsys::Rect{110, 110, 40, 40});
  View(top)->addSubview(native);
  native->release();
  winsys::Window* w = View(top)->window();
  w->display();
  rec.clear();
  native->clearDisplayLog();
  const RECT r{10, 10, 20, 20};
  InvalidateRect(b, &r, 0);
  InvalidateRect(SHIM_Handle(native), nullptr, 0);
  w->displayIfNeeded();
  EXPECT_EQ(rec.messages(nullptr, {WM_PAINT}), std::vector<UINT>({WM_PAINT}));
  EXPECT_EQ(rec.of(WM_PAINT)[0].w, b);
  EXPECT_TRUE(rec.of(WM_PAINT, a).empty());
  // Two dirty rectangles (b's and the button's), each grown by one: only
  // the button's meets the button.
  ASSERT_EQ(native->displayLog().size(), 1u);
  const winsys::Rect d = native->displayLog()[0];
  EXPECT_EQ(std::make_tuple(d.x, d.y, d.w, d.h), std::make_tuple(0.0, 0.0, 40.0, 40.0));
  for (HWND h : {top, a, b}) EXPECT_EQ(SHIM_Hwnd(h)->m_isdirty, 0);
  rec.clear();
  w->displayIfNeeded();
  EXPECT_TRUE(rec.of(WM_PAINT).empty());
}

TEST_F(P, SessionsAndPresentation) {
  HWND top = TopLevel(0, 0, 100, 100);
  for (bool byClose : {false, true}) {
    SHIM_ModalSession s = SHIM_ModalWindowStart(top);
    int result = 0;
    EXPECT_TRUE(SHIM_ModalWindowRun(s, &result));
    if (byClose)
      SHIM_CloseWindow(top);
    else
      winsys::app::stopModal();
    EXPECT_FALSE(SHIM_ModalWindowRun(s, &result));
    EXPECT_EQ(result, -1000);
    SHIM_ModalWindowEnd(s);
  }
  EXPECT_EQ(SHIM_ModalWindowStart(nullptr), nullptr);

  winsys::app::setSystemVersion(0x1040);
  EXPECT_FALSE(SHIM_SetAppAutoHideMenuAndDock(1));
  EXPECT_FALSE(SHIM_SetAppAutoHideMenuAndDock(0));
  SHIM_ResetWindowState();
  winsys::app::setSystemVersion(0x1060);
  winsys::app::setPresentationOptions(9);
  for (auto [mode, want] : {std::pair{1, 5u}, std::pair{2, 6u}, std::pair{0, 9u}}) {
    EXPECT_TRUE(SHIM_SetAppAutoHideMenuAndDock(mode));
    EXPECT_EQ(winsys::app::presentationOptions(), want);
  }
}

// Screen point of a client point of a window object.
Point At(HWND h, int x, int y) {
  POINT p{x, y};
  ClientToScreen(h, &p);
  return Point{static_cast<double>(p.x), static_cast<double>(p.y)};
}

TEST_F(P, MouseMessages) {
  HWND top = TopLevel(100, 100, 300, 200);
  rec.answer(WM_NCHITTEST, 1);
  const std::vector<UINT> mouse = {0x200, 0x201, 0x202, 0x203, 0x204, 0x205, 0x207, 0x208, 0x20A, 0x20E, 0xA1};
  EnableWindow(top, 0);
  winsys::test::click(At(top, 10, 10));
  winsys::test::scroll(At(top, 10, 10), 0, 1);
  winsys::test::press(At(top, 10, 10), winsys::EventType::RightDown);
  winsys::test::press(At(top, 10, 10), winsys::EventType::OtherDown);
  EXPECT_EQ(rec.messages(top, mouse), std::vector<UINT>({0x204, 0x207}));
  EnableWindow(top, 1);

  rec.clear();
  rec.answer(WM_NCHITTEST, 2);
  winsys::test::press(At(top, 10, 10));
  ASSERT_EQ(rec.of(0xA1).size(), 1u);
  EXPECT_EQ(rec.of(0xA1)[0].wp, 2u);
  rec.clear();
  rec.answer(WM_NCHITTEST, 1);
  winsys::test::press(At(top, 10, 12));
  winsys::test::press(At(top, 10, 12), winsys::EventType::LeftDown, 2);
  EXPECT_EQ(rec.messages(top, mouse), std::vector<UINT>({0x201, 0x203}));
  EXPECT_EQ(rec.of(0x201)[0].lp, SHIM_PackPoint(10, 12));

  struct Wheel {
    double dx, dy;
    std::vector<UINT> msgs;
    int high;
  } wheels[] = {{0, 1.0, {0x20A}, 60}, {2.0, 0, {0x20E}, 120}, {0, 1000.0, {0x20A}, 32767}, {0, -1000.0, {0x20A}, -32768}};
  for (const Wheel& t : wheels) {
    rec.clear();
    winsys::test::scroll(At(top, 5, 5), t.dx, t.dy);
    EXPECT_EQ(rec.messages(top, mouse), t.msgs);
    EXPECT_EQ(GET_Y_LPARAM(static_cast<LPARAM>(rec.of(t.msgs[0])[0].wp)), t.high);
  }

  rec.clear();
  winsys::test::press(At(top, 20, 20), winsys::EventType::LeftDown, 1, winsys::kControlKey);
  winsys::test::release(At(top, 20, 20));
  EXPECT_EQ(rec.messages(top, mouse), std::vector<UINT>({0x204, 0x205}));

  HWND child = Child(top, 50, 50, 50, 50);
  SetCapture(top);
  rec.clear();
  winsys::test::click(At(child, 5, 5));
  EXPECT_EQ(rec.messages(top, mouse), std::vector<UINT>({0x201, 0x202}));
  EXPECT_TRUE(rec.messages(child, mouse).empty());
}

TEST_F(P, GesturesAndDroppedFiles) {
  HWND top = TopLevel(100, 100, 300, 200);
  std::vector<std::pair<uint32_t, uint64_t>> seen;
  rec.hook = [&](const Msg& m, LRESULT*) {
    if (m.msg == WM_GESTURE) {
      GESTUREINFO gi;
      EXPECT_TRUE(SHIM_GetGestureInfo(m.lp, &gi));
      seen.emplace_back(gi.dwFlags, gi.ullArguments);
      EXPECT_EQ(m.wp, gi.dwFlags == GF_END ? gi.ullArguments : 0u);
    }
    return false;
  };
  winsys::test::magnify(At(top, 5, 5), 0.5);
  winsys::test::rotate(At(top, 5, 5), 30);
  using G = std::pair<uint32_t, uint64_t>;
  EXPECT_EQ(seen, std::vector<G>({{GF_BEGIN, 1024}, {GF_END, 1536}, {GF_BEGIN, 0}, {GF_END, 49150}}));

  int size = 0;
  DROPFILES head{};
  std::string names;
  rec.hook = [&](const Msg& m, LRESULT*) {
    if (m.msg == WM_DROPFILES) {
      HGLOBAL g = reinterpret_cast<HGLOBAL>(m.wp);
      size = GlobalSize(g);
      const auto* p = static_cast<const char*>(GlobalLock(g));
      std::memcpy(&head, p, sizeof(head));
      names.assign(p + head.pFiles, static_cast<size_t>(size) - head.pFiles);
      GlobalUnlock(g);
    }
    return false;
  };
  SHIM_Hwnd(top)->shimSetExtendedStyle(WS_EX_ACCEPTFILES);
  SHIM_Hwnd(top)->registerForDraggedTypes(true);
  EXPECT_TRUE(winsys::test::dropFiles(At(top, 30, 40), {"/a/b", "/c"}));
  EXPECT_EQ(size, 25);
  EXPECT_EQ(std::make_tuple(head.pFiles, head.x, head.y, head.fNC), std::make_tuple(16u, 30, 40, 0));
  EXPECT_EQ(names, std::string("/a/b\0/c\0\0", 9));
}

testsupport::TempDir* gDropDir = nullptr;
const char* TargetFolder(const char*) { return gDropDir->path().c_str(); }
void WriteSong(const char* dest) { testsupport::writeFile(dest, std::string("la")); }

TEST_F(P, PromisedFileBetweenWindowObjects) {
  testsupport::TempDir dir;
  gDropDir = &dir;
  SHIM_DDrop_getDroppedFileTargetPath = TargetFolder;
  HWND src = TopLevel(0, 0, 100, 100);
  HWND dst = TopLevel(300, 0, 100, 100);
  SHIM_Hwnd(dst)->shimSetExtendedStyle(WS_EX_ACCEPTFILES);
  SHIM_Hwnd(dst)->registerForDraggedTypes(true);
  std::string named;
  rec.hook = [&](const Msg& m, LRESULT*) {
    if (m.msg == WM_DROPFILES && m.w == dst) {
      const auto* p = static_cast<const char*>(GlobalLock(reinterpret_cast<HGLOBAL>(m.wp)));
      named = p + reinterpret_cast<const DROPFILES*>(p)->pFiles;
    }
    return false;
  };
  const RECT r{0, 0, 10, 10};
  SHIM_InitiateDragDrop(src, &r, "/somewhere/song.txt", WriteSong);
  ASSERT_TRUE(winsys::app::pendingDrag());
  EXPECT_EQ(winsys::app::pendingDrag()->promisedTypes, std::vector<std::string>({"txt"}));
  EXPECT_TRUE(winsys::test::dropPending(At(dst, 10, 10)));
  EXPECT_EQ(named, dir.file("song.txt"));
  EXPECT_TRUE(testsupport::fileExists(dir.file("song.txt")));
  SHIM_DDrop_getDroppedFileTargetPath = nullptr;
}

}  // namespace
