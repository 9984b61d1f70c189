#include "shim/winkeys.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "shim/wintimer.h"
#include "support_windows.h"
#include "testsupport.h"

namespace {

using K = WindowTest;

winsys::Event KeyEvent(int code, const char* chars, unsigned mods = 0) {
  winsys::Event e;
  e.type = winsys::EventType::KeyDown;
  e.keyCode = code;
  e.characters = chars;
  e.modifiers = mods;
  return e;
}

TEST_F(K, KeyEventsBecomeVirtualKeysAndFlags) {
  struct Case {
    int code;
    const char* chars;
    unsigned mods;
    bool emulate;
    int key, flags;
  } cases[] = {
      {122, "", 0, true, 112, FVIRTKEY},
      {76, "\r", 0, true, 0x800D, FVIRTKEY},
      {0, "a", 0, true, 'A', FVIRTKEY},
      {0, ";", winsys::kShiftKey, true, ';', 0},
      {0, "\x19", winsys::kShiftKey, true, 9, FVIRTKEY | FSHIFT},
      {0, "\xC3\xA9", 0, true, 0xE9, FVIRTKEY},  // a letter
      {0, "\xC2\xA7", 0, true, 0xA7, 0},         // not one
      {200, "", winsys::kCommandKey | winsys::kOptionKey, true, 1224, FVIRTKEY | FCONTROL | FALT},
      {0, "1", winsys::kControlKey, true, '1', FVIRTKEY},
      {0, "1", winsys::kControlKey, false, '1', FVIRTKEY | FLWIN},
  };
  for (const Case& c : cases) {
    SHIM_EnableRightClickEmulate(c.emulate);
    const winsys::Event e = KeyEvent(c.code, c.chars, c.mods);
    int flags = -1;
    EXPECT_EQ(SHIM_MacKeyToWindowsKey(&e, &flags), c.key) << c.code << c.chars;
    EXPECT_EQ(flags, c.flags) << c.code << c.chars;
  }
  SHIM_EnableRightClickEmulate(true);
  EXPECT_EQ(SHIM_MacKeyToWindowsKey(nullptr, nullptr), 0);
  int nf = 7;
  EXPECT_EQ(SHIM_KeyToASCII('2', 5, &nf), '@');
  EXPECT_EQ(nf, 0);
  nf = 7;
  EXPECT_EQ(SHIM_KeyToASCII('2', 1, &nf), 0);
  EXPECT_EQ(nf, 7);
}

TEST_F(K, AsyncKeyStateIsTheWindowSystems) {
  TopLevel(0, 0, 200, 200);
  winsys::test::key(56, true, winsys::kShiftKey | winsys::kControlKey);
  EXPECT_EQ(GetAsyncKeyState(16), static_cast<short>(0x8000));
  EXPECT_EQ(GetAsyncKeyState(17), 0);
  EXPECT_EQ(GetAsyncKeyState(91), 0);  // emulation on
  SHIM_EnableRightClickEmulate(false);
  EXPECT_EQ(GetAsyncKeyState(91), static_cast<short>(0x8000));
  SHIM_EnableRightClickEmulate(true);
  winsys::test::press(winsys::Point{50, 50});
  EXPECT_EQ(GetAsyncKeyState(1), static_cast<short>(0x8000));
  winsys::test::release(winsys::Point{50, 50});
  EXPECT_EQ(GetAsyncKeyState(1), 0);
  EXPECT_EQ(GetAsyncKeyState(65), 0);
}

TEST_F(K, CursorsAreSharedAndFilesKeepTheirHotSpot) {
  EXPECT_EQ(SHIM_LoadCursor(-1002), SHIM_LoadCursor(-1002));
  HCURSOR a = SHIM_LoadCursor(-1006), b = SHIM_LoadCursor(-1007);
  ASSERT_TRUE(a && b && a->image && b->image);
  EXPECT_EQ(a->hotX, 8);
  EXPECT_EQ(std::memcmp(a->image->pixel(0, 2), b->image->pixel(15, 2), 4), 0);  // mirrored
  EXPECT_EQ(SHIM_LoadCursor(-1008), nullptr);
  EXPECT_NE(SHIM_LoadCursor(-999), nullptr);

  testsupport::ScopedFolders folders;
  testsupport::TempDir temp;
  setenv("TEMP", temp.path().c_str(), 1);
  const std::vector<uint32_t> px(4, 0xFF808080);
  ASSERT_TRUE(testsupport::writeFile(folders.resources() + "hand.cur", testsupport::iconFile(2, 2, 2, 32, 1, 0, px)));
  ASSERT_TRUE(testsupport::writeFile(temp.path() + "icon.cur", testsupport::iconFile(1, 2, 2, 32, 1, 1, px)));
  SHIM_CursorResource res{77, "hand", 0, 0, nullptr, nullptr};
  SHIM_curmodule_cursorresource_head = &res;
  HCURSOR r = SHIM_LoadCursor(77);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(SHIM_LoadCursor(77), r);
  EXPECT_EQ(r->hotX, 1);
  EXPECT_EQ(res.hotX, 1);
  SHIM_curmodule_cursorresource_head = nullptr;
  HCURSOR f = SHIM_LoadCursorFromFile((temp.path() + "icon.cur").c_str());  // type 1: a plain image
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->hotX, 0);
  EXPECT_EQ(SHIM_LoadCursorFromFile((temp.path() + "none.cur").c_str()), nullptr);
  SHIM_SetCursor(f);
  EXPECT_EQ(SHIM_GetLastSetCursor(), f);
  SHIM_DestroyCursor(f);
  EXPECT_EQ(SHIM_GetLastSetCursor(), nullptr);
  SHIM_SetCursor(reinterpret_cast<HCURSOR>(&res));  // not a cursor
  EXPECT_EQ(SHIM_GetCursor(), SHIM_LoadCursor(-999));
  unsetenv("TEMP");
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(temp.path())) files += e.path().filename() != "icon.cur";
  EXPECT_EQ(files, 0);
}

TEST_F(K, HiddenCursorHoldsAVirtualPosition) {
  HWND w = TopLevel(100, 100, 200, 200);
  winsys::app::warpPointer(winsys::Point{100.5, 200.2});
  EXPECT_EQ(SHIM_ShowCursor(false), -1);
  EXPECT_EQ(SHIM_ShowCursor(false), -2);
  EXPECT_EQ(SHIM_ShowCursor(true), -1);
  EXPECT_TRUE(SHIM_IsRelativeMouseMode());
  POINT p{};
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 201);
  EXPECT_EQ(SHIM_SetCursorPos(10, 20), TRUE);
  winsys::Event move;
  move.deltaX = 3.7;
  move.deltaY = 4.2;
  POINT screen{13, 16}, client = shimProcessMouseEvent(WM_MOUSEMOVE, w, move);
  ScreenToClient(w, &screen);
  EXPECT_EQ(client.x, screen.x);
  EXPECT_EQ(client.y, screen.y);
  EXPECT_EQ(winsys::app::pointerLocation().x, 100.5);  // the pointer stays put meanwhile
  EXPECT_EQ(SHIM_ShowCursor(true), 0);
  EXPECT_FALSE(SHIM_IsRelativeMouseMode());
  EXPECT_EQ(winsys::app::pointerLocation().x, 13);
  EXPECT_EQ(winsys::app::pointerLocation().y, 16);
  EXPECT_EQ(GetMessagePos(), static_cast<DWORD>((16 << 16) | 13));
}

}  // namespace
