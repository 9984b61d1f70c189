// Top-level windows, dialogs from resources, the file drag source, GL
// bookkeeping and hosted views.
#include "recttest.h"
#include "support_windows.h"
#include "testsupport.h"

namespace {

using TL = WindowTest;

TEST_F(TL, CloseMoveSizeAndLimits) {
  HWND top = TopLevel(100, 100, 300, 200);
  winsys::Window* w = View(top)->window();
  rec.answer(WM_CLOSE, 0);
  w->performClose();
  ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u);
  EXPECT_EQ(std::make_pair(rec.of(WM_COMMAND)[0].wp, rec.of(WM_COMMAND)[0].lp), std::make_pair(WPARAM(2), LPARAM(0)));
  EXPECT_FALSE(w->isClosed());

  w->setFrame(w->frame(), false);  // the first size seen after creation
  rec.clear();
  w->setFrame(winsys::Rect{-20, 300, 300.4, 200}, false);
  ASSERT_EQ(rec.of(WM_MOVE).size(), 1u);
  const LPARAM lp = rec.of(WM_MOVE)[0].lp;
  EXPECT_EQ(std::make_tuple(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), lp < 0), std::make_tuple(-20, 300, false));
  EXPECT_TRUE(rec.of(WM_SIZE, top).empty());  // the same integer size
  w->setFrame(winsys::Rect{-20, 300, 301, 200}, false);
  EXPECT_EQ(rec.of(WM_SIZE, top).size(), 1u);

  rec.hook = [](const Msg& m, LRESULT*) {
    if (m.msg == WM_GETMINMAXINFO) reinterpret_cast<MINMAXINFO*>(m.lp)->ptMaxTrackSize = POINT{1000000, 500};
    return false;
  };
  w->maxSizeLimit = winsys::Size{4000, 3000};
  const winsys::Size mx = w->maxSize();
  EXPECT_EQ(std::make_pair(mx.w, mx.h), std::make_pair(4000.0, 500.0));

  HWND other = TopLevel(0, 0, 50, 50);
  auto* tl = static_cast<ShimTopLevelWindow*>(w);
  tl->shimAddOwnedWindow(View(other)->window());
  tl->shimAddOwnedWindow(View(other)->window());
  EXPECT_EQ(tl->shimGetOwnerWindowHead().size(), 1u);
}

TEST_F(TL, MouseHook) {
  HWND top = TopLevel(100, 100, 300, 200);
  HWND child = Child(top, 10, 10, 50, 50);
  rec.answer(WM_NCHITTEST, -1, child);
  rec.answer(WM_NCHITTEST, 1, top);
  winsys::Event e;
  e.type = winsys::EventType::LeftDown;
  e.window = View(top)->window();
  e.location = winsys::Point{20, 170};  // inside the child (window base, y up)
  e.clickCount = 1;
  EXPECT_EQ(SHIM_HandleMouseEvent(&e), 1);
  EXPECT_EQ(rec.of(WM_NCLBUTTONDOWN, child).size(), 1u);
  e.type = winsys::EventType::ScrollWheel;
  EXPECT_EQ(SHIM_HandleMouseEvent(&e), 0);
  e.type = winsys::EventType::LeftUp;
  SetCapture(top);
  EXPECT_EQ(SHIM_HandleMouseEvent(&e), 0);
}

// A dialog procedure for the resource tests.
int gEndInInit = 0;
INT_PTR TestDialogProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG && gEndInInit) EndDialog(w, gEndInInit);
  if (msg == WM_INITDIALOG && lp == 7) {
    winsys::app::scheduleTimer(winsys::lookup<winsys::View>(w), 40, false, [w] { EndDialog(w, 7); });
  }
  return RecorderDlgProc(w, msg, wp, lp);
}

class OneCommand : public SHIM_DialogScript {
 public:
  bool NextDialogCommand(Command* c) override {
    if (used) return false;
    used = true;
    c->id = 1234;
    c->waitMs = 100;
    return true;
  }
  bool used = false;
};

TEST_F(TL, DialogsFromResources) {
  SHIM_DialogResourceIndex child{MAKEINTRESOURCE(20), "Child", SHIM_DIALOG_CHILD, nullptr, 10, 10, nullptr};
  SHIM_DialogResourceIndex box{MAKEINTRESOURCE(10), "Box", 0, nullptr, 200, 100, &child};
  gEndInInit = 42;
  EXPECT_EQ(SHIM_DialogBox(&box, MAKEINTRESOURCE(10), nullptr, TestDialogProc, 0), 42);
  EXPECT_EQ(rec.messages(nullptr, {WM_INITDIALOG, WM_DESTROY}), std::vector<UINT>({WM_INITDIALOG, WM_DESTROY}));
  gEndInInit = 0;
  const size_t before = winsys::liveObjects();
  for (auto [head, id] : {std::pair{static_cast<SHIM_DialogResourceIndex*>(nullptr), 10}, std::pair{&box, 99},
                          std::pair{&box, 20}})
    EXPECT_EQ(SHIM_DialogBox(head, MAKEINTRESOURCE(id), nullptr, TestDialogProc, 0), -1);
  EXPECT_EQ(winsys::liveObjects(), before);
  EXPECT_TRUE(winsys::app::windows().empty());

  OneCommand script;
  SHIM_InstallDialogScript(&script);
  rec.clear();
  EXPECT_EQ(SHIM_DialogBox(&box, MAKEINTRESOURCE(10), nullptr, TestDialogProc, 7), 7);
  EXPECT_TRUE(rec.of(WM_COMMAND).empty());  // the timer ended it during the wait
  SHIM_RemoveDialogScript(&script);

  HWND parent = TopLevel(0, 0, 300, 200);
  HWND plain = SHIM_CreateDialog(nullptr, MAKEINTRESOURCE(0x400001), parent, TestDialogProc, 0);
  ASSERT_TRUE(plain);
  winsys::Window* pw = View(plain)->window();
  ASSERT_TRUE(dynamic_cast<Shim_vTavrin_modelesswindow*>(pw));
  EXPECT_EQ(pw->styleMask(), 15u);
  EXPECT_FALSE(pw->isVisible());
  HWND unclosable = SHIM_CreateDialog(nullptr, MAKEINTRESOURCE(0x400004), parent, TestDialogProc, 0);
  EXPECT_EQ(View(unclosable)->window()->styleMask(), unsigned(winsys::kTitled | winsys::kMiniaturizable));
  HWND inside = SHIM_CreateDialog(&box, MAKEINTRESOURCE(20), SHIM_Handle(View(parent)->window()), TestDialogProc, 0);
  EXPECT_EQ(View(inside)->superview(), View(parent));
  EXPECT_EQ(SHIM_CreateDialog(&box, MAKEINTRESOURCE(99), parent, TestDialogProc, 0), nullptr);
}

// ---- Drag source ----

void WriteFile(const char* dest) { testsupport::writeFile(dest, std::string("new")); }

TEST_F(TL, PromisedFileNames) {
  testsupport::TempDir dir;
  HWND src = TopLevel(0, 0, 100, 100);
  Shim_vTavrin_hwnd* s = SHIM_Hwnd(src);
  struct Case {
    const char* existing;
    const char* answer;  // null: no answer
    std::vector<std::string> names;
  } cases[] = {
      {"song.txt", "Keep Both Files", {"song 001.txt"}},
      {"take_07.wav", "Keep Both Files", {"take_008.wav"}},
      {"x-999.txt", "Keep Both Files", {}},
      {"keep.txt", "Replace", {"keep.txt"}},
      {"stop.txt", "Stop", {}},
      {"quiet.txt", nullptr, {}},
  };
  for (const Case& c : cases) {
    testsupport::writeFile(dir.file(c.existing), std::string("old"));
    if (c.answer) winsys::test::answerAlert(c.answer);
    SHIM_InitiateDragDrop(src, nullptr, (std::string("/from/") + c.existing).c_str(), WriteFile);
    EXPECT_EQ(s->namesOfPromisedFilesDroppedAtDestination(dir.path()), c.names) << c.existing;
    const auto bytes = testsupport::readFile(dir.file(c.existing));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.names == std::vector<std::string>{c.existing} ? "new" : "old");
  }
  ASSERT_EQ(winsys::test::alerts().size(), 6u);
  EXPECT_EQ(winsys::test::alerts()[5].answer, "");
  EXPECT_EQ(winsys::test::alerts()[0].title, "Copy");

  SHIM_InitiateDragDrop(src, nullptr, "/from/noextension", WriteFile);
  EXPECT_EQ(winsys::app::pendingDrag()->promisedTypes, std::vector<std::string>({"/from/noextension"}));
}

TEST_F(TL, GLAndHostedViews) {
  HWND h = TopLevel(0, 0, 100, 100);
  SHIM_SetViewGL(h, true);
  void* first = SHIM_Hwnd(h)->m_glctx;
  SHIM_SetViewGL(h, true);
  EXPECT_EQ(SHIM_Hwnd(h)->m_glctx, first);
  EXPECT_EQ(SHIM_GetViewGL(h), 1);
  EXPECT_EQ(SHIM_SetGLContextToView(h), 1);
  SHIM_SetViewGL(h, false);
  EXPECT_EQ(SHIM_GetCurrentGLContext(), nullptr);
  EXPECT_EQ(SHIM_GetViewGL(h), 0);
  EXPECT_EQ(SHIM_SetGLContextToView(h), 0);

  void* carbon = &carbon;
  EXPECT_EQ(SHIM_CreateCarbonWindowView(h, &carbon, nullptr, false), nullptr);
  EXPECT_EQ(carbon, nullptr);
  SHIM_AudioUnitViewInfo info{"/x", "View"};
  EXPECT_EQ(SHIM_GetAudioUnitCocoaView(h, nullptr, &info, nullptr), nullptr);
}

}  // namespace
