// A seeded random walk over live, freed, foreign and null window handles:
// tree changes, destroys inside procedures, moves, shows, sends, properties
// and capture. Run under the sanitizer build, it shows that no handle is
// followed after its object is gone.
#include <cstdlib>
#include <random>

#include "support_windows.h"

namespace {

class RandomWalk : public WindowTest {
 protected:
  // TAVRIN_WALK_SEED picks another walk when looking for trouble.
  std::mt19937 rng{getenv("TAVRIN_WALK_SEED") ? static_cast<unsigned>(atoi(getenv("TAVRIN_WALK_SEED"))) : 20261207u};
  std::vector<HWND> handles;  // everything ever made, live or not
  int foreign[4] = {};
  int depth = 0;

  int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
  HWND Any() {
    switch (Pick(8)) {
      case 0: return nullptr;
      case 1: return reinterpret_cast<HWND>(&foreign[Pick(4)]);
      case 2: return reinterpret_cast<HWND>(static_cast<uintptr_t>(rng()) | 1);
      default: return handles.empty() ? nullptr : handles[static_cast<size_t>(Pick(static_cast<int>(handles.size())))];
    }
  }
  HWND NewTop() {
    auto* w = new Shim_vTavrin_modelesswindow(winsys::Rect{double(Pick(800)), double(Pick(600)), 200, 150}, 15);
    HWND h = SHIM_CreateWindowObject(SHIM_Handle(w), RecorderProc, 0);
    ShowWindow(h, SW_SHOW);
    handles.push_back(h);
    handles.push_back(SHIM_Handle(w));
    return h;
  }
  void Step();
};

void RandomWalk::Step() {
  HWND a = Any(), b = Any();
  RECT r{Pick(50), Pick(50), Pick(100), Pick(100)};
  char buf[16];
  switch (Pick(22)) {
    case 0:
      if (winsys::liveObjects() < 400) NewTop();
      break;
    case 1:
    case 2:
      if (winsys::liveObjects() < 400)
        if (HWND c = SHIM_CreateWindowObject(IsWindow(a) ? a : nullptr, RecorderProc, 0)) {
          if (!GetParent(c) && !View(c)->window()) {
            DestroyWindow(c);
            View(c)->release();
          } else {
            handles.push_back(c);
          }
        }
      break;
    case 3: DestroyWindow(a); break;
    case 4: SetParent(a, b); break;
    case 5: SetWindowPos(a, b, Pick(300) - 50, Pick(300) - 50, Pick(300) - 50, Pick(300) - 150, Pick(8)); break;
    case 6: ShowWindow(a, Pick(4)); break;
    case 7: SendMessage(a, WM_USER + static_cast<UINT>(Pick(3)), 0, 0); break;
    case 8: SendMessage(a, static_cast<UINT>(Pick(2) ? WM_NCHITTEST : WM_MOUSEWHEEL), 0, SHIM_PackPoint(Pick(500), Pick(500))); break;
    case 9: SetProp(a, Pick(2) ? "p" : reinterpret_cast<const char*>(7), reinterpret_cast<void*>(1)); break;
    case 10: RemoveProp(a, Pick(2) ? "p" : reinterpret_cast<const char*>(7)); break;
    case 11: SetCapture(a); break;
    case 12: ReleaseCapture(); break;
    case 13: InvalidateRect(a, Pick(2) ? &r : nullptr, 0); break;
    case 14: winsys::test::turn(); break;
    case 15: GetWindowRect(a, &r); GetClientRect(b, &r); break;
    case 16: GetWindow(a, Pick(7)); GetParent(b); IsChild(a, b); break;
    case 17: {
      int index = Pick(2) ? GWL_USERDATA : Pick(140) - 10;
      if (index == GWL_WNDPROC || index == DWL_DLGPROC) index = GWL_STYLE;  // a procedure must be real
      SetWindowLong(a, index, 5);
      break;
    }
    case 18: SetDlgItemText(a, Pick(3), "text"); GetDlgItemText(b, 0, buf, Pick(17)); break;
    case 19: SetFocus(a); break;
    case 20: winsys::test::click(winsys::Point{double(Pick(1000)), double(Pick(800))}); break;
    default: EnumChildWindows(a, [](HWND w, LPARAM) { return IsWindow(w); }, 0); break;
  }
}

TEST_F(RandomWalk, HandlesAreCheckedEverywhere) {
  // Procedures change the tree while they handle messages.
  rec.hook = [this](const Msg& m, LRESULT*) {
    rec.log.clear();
    if (depth > 3 || Pick(40) != 0) return false;
    ++depth;
    if (Pick(2))
      DestroyWindow(Any());
    else
      SetParent(Any(), Any());
    if (m.msg == WM_DESTROY) SendMessage(m.w, WM_USER, 0, 0);
    --depth;
    return false;
  };
  NewTop();
  for (int i = 0; i < 100000; ++i) Step();
  winsys::test::reset();
  SHIM_ResetWindowState();
  EXPECT_EQ(winsys::liveObjects(), 0u);
}

}  // namespace
