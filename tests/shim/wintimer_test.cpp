#include "shim/wintimer.h"

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support_windows.h"

namespace {

std::vector<std::pair<UINT_PTR, uint64_t>> g_fired;  // id and monotonic ms

void Callback(HWND, UINT msg, UINT_PTR id, DWORD) {
  if (msg == WM_TIMER) g_fired.emplace_back(id, platform::monotonicMicros() / 1000);
}
void Throwing(HWND, UINT, UINT_PTR, DWORD) { throw std::runtime_error("timer"); }

class Timers : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    winsys::app::setMainThread();
    g_fired.clear();
    w = TopLevel(100, 100, 200, 200);
  }
  std::vector<uint64_t> TimerTimes(WPARAM id) {
    std::vector<uint64_t> t;
    for (const Msg& m : rec.of(WM_TIMER, w))
      if (m.wp == id) t.push_back(m.lp);
    return t;
  }
  int Count(UINT msg, HWND h) { return static_cast<int>(rec.of(msg, h).size()); }
  HWND w = nullptr;
};

TEST_F(Timers, WindowTimersKeepTheirPhaseAndReplaceByIdAndWindow) {
  const uint64_t t0 = clock.monotonicMicros() / 1000;
  rec.hook = [&](const Msg& m, LRESULT*) {
    if (m.msg == WM_TIMER) const_cast<Msg&>(rec.log.back()).lp = static_cast<LPARAM>(clock.monotonicMicros() / 1000 - t0);
    return false;
  };
  EXPECT_EQ(SetTimer(w, 5, 10, nullptr), 5u);
  EXPECT_EQ(SetTimer(w, 5, 10, nullptr), 5u);
  EXPECT_EQ(SHIM_TimerCount(w), 1);
  winsys::test::pump(7);
  winsys::test::pump(28);
  EXPECT_EQ(TimerTimes(5), (std::vector<uint64_t>{10, 20, 30}));
  EXPECT_EQ(SetTimer(w, 0, 10, nullptr), 0u);
  EXPECT_EQ(SetTimer(nullptr, 1, 10, nullptr), 0u);
  EXPECT_EQ(KillTimer(w, 5), TRUE);
  EXPECT_EQ(KillTimer(w, 5), FALSE);
  EXPECT_EQ(SHIM_TimerCount(w), 0);
}

TEST_F(Timers, CallbackTimersWithAndWithoutAWindow) {
  const UINT_PTR a = SetTimer(nullptr, 0, 100, Callback), b = SetTimer(nullptr, 0, 100, Callback);
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  SetTimer(w, 9, 30, Callback);
  SetTimer(nullptr, 0, 10, Throwing);  // its exception goes no further
  winsys::test::pump(100);
  EXPECT_EQ(g_fired.size(), 5u);  // three of 9, then a and b
  EXPECT_EQ(g_fired[3].first, a);
  EXPECT_EQ(KillTimer(nullptr, a), TRUE);
  EXPECT_EQ(KillTimer(nullptr, static_cast<UINT_PTR>(-1)), FALSE);
  // only the window's timers fire while the loop is run for it
  g_fired.clear();
  SHIM_RunRunLoopEx(100, w);
  ASSERT_EQ(g_fired.size(), 3u);
  EXPECT_EQ(g_fired[0].first, 9u);
  KillTimer(w, static_cast<UINT_PTR>(-1));
  EXPECT_EQ(SHIM_TimerCount(w), 0);
}

TEST_F(Timers, WorkerCallsTakeEffectAtTheNextTick) {
  UINT_PTR early = 0;
  std::thread([&] { early = SetTimer(w, 3, 10, nullptr); }).join();  // before the queue exists
  EXPECT_EQ(early, 3u);
  SHIM_Internal_PostMessage_Init();
  UINT_PTR made = 1, nullWindow = 1;
  BOOL killed = FALSE;
  const UINT_PTR cb = SetTimer(nullptr, 0, 1000, Callback);
  std::thread([&] {
    made = SetTimer(w, 4, 10, nullptr);
    nullWindow = SetTimer(nullptr, 8, 10, Callback);
    killed = KillTimer(nullptr, cb);
  }).join();
  EXPECT_EQ(made, 4u);
  EXPECT_EQ(nullWindow, 0u);
  EXPECT_EQ(killed, TRUE);
  EXPECT_EQ(SHIM_TimerCount(w), 0);
  EXPECT_EQ(SHIM_TimerCount(nullptr), 1);
  winsys::test::pump(50);  // the tick
  EXPECT_EQ(SHIM_TimerCount(w), 2);
  EXPECT_EQ(SHIM_TimerCount(nullptr), 0);
}

TEST_F(Timers, PostedMessagesAreFlushedAtTheTickAndClearedWithTheirWindow) {
  EXPECT_EQ(PostMessage(w, WM_USER, 1, 2), FALSE);  // no queue yet
  SHIM_Internal_PostMessage_Init();
  HWND other = TopLevel(300, 100, 50, 50);
  EXPECT_EQ(PostMessage(w, WM_USER, 1, 2), TRUE);
  EXPECT_EQ(PostMessage(nullptr, WM_USER, 1, 2), FALSE);
  EXPECT_EQ(PostMessage(other, WM_USER + 1, 0, 0), TRUE);
  SHIM_MessageQueue_Clear(other);
  EXPECT_EQ(Count(WM_USER, w), 0);
  winsys::test::pump(50);
  EXPECT_EQ(Count(WM_USER, w), 1);
  EXPECT_EQ(Count(WM_USER + 1, other), 0);
  // a handler that destroys a window drops that window's messages of the same flush
  rec.hook = [&](const Msg& m, LRESULT*) {
    if (m.msg == WM_USER + 2) DestroyWindow(other);
    return false;
  };
  PostMessage(w, WM_USER + 2, 0, 0);
  PostMessage(other, WM_USER + 1, 0, 0);
  winsys::test::pump(50);
  EXPECT_EQ(Count(WM_USER + 1, other), 0);
  // the queue holds 1024 records until a flush recycles them
  int queued = 0;
  while (PostMessage(w, WM_USER + 3, 0, 0)) ++queued;
  EXPECT_EQ(queued, 1024);
  SHIM_MessageQueue_Flush();
  EXPECT_EQ(PostMessage(w, WM_USER + 3, 0, 0), TRUE);
  EXPECT_EQ(Count(WM_USER + 3, w), 1024);
}

TEST_F(Timers, FourThreadsPost) {
  SHIM_Internal_PostMessage_Init();
  std::vector<std::thread> posters;
  std::atomic<int> ok{0};
  for (int t = 0; t < 4; ++t)
    posters.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) ok += PostMessage(w, WM_USER, static_cast<WPARAM>(t), i);
    });
  for (int i = 0; i < 20; ++i) winsys::test::pump(50);  // the main thread flushes meanwhile
  for (std::thread& p : posters) p.join();
  winsys::test::pump(50);
  EXPECT_EQ(ok.load(), 800);
  EXPECT_EQ(Count(WM_USER, w), 800);
}

TEST(StringConversions, AndRecordedState) {
  CFStringRef s = SHIM_CStringToCFString("caf\xC3\xA9");
  ASSERT_NE(s, nullptr);
  char buf[8] = "xxxxxxx";
  SHIM_CFStringToCString(s, buf, 5);  // the two-byte character does not fit
  EXPECT_STREQ(buf, "caf");
  SHIM_CFStringToCString(s, buf, 1);
  EXPECT_STREQ(buf, "");
  SHIM_CFStringToCString(s, buf, sizeof buf);
  EXPECT_STREQ(buf, "caf\xC3\xA9");
  SHIM_CFRelease(s);
  EXPECT_EQ(SHIM_CStringToCFString("\xFF" "abc"), nullptr);
  EXPECT_EQ(SHIM_CStringToCFString("\xC0\x80"), nullptr);  // overlong
  CFStringRef e = SHIM_CStringToCFString(nullptr);
  EXPECT_EQ(SHIM_CFStringText(e), "");
  SHIM_CFRelease(e);

  void* pool = SHIM_InitAutoRelease();
  EXPECT_EQ(SHIM_AutoReleaseDepth(), 1);
  SHIM_QuitAutoRelease(pool);
  SHIM_QuitAutoRelease(nullptr);
  EXPECT_EQ(SHIM_AutoReleaseDepth(), 0);
  SHIM_DisableAppNap(2);
  EXPECT_TRUE(SHIM_AppNapActivityHeld());
  SHIM_DisableAppNap(-1);
  EXPECT_TRUE(SHIM_AppNapActivityHeld());
  SHIM_DisableAppNap(-1);
  EXPECT_FALSE(SHIM_AppNapActivityHeld());
  EXPECT_TRUE(IsRightClickEmulateEnabled());
  SHIM_EnableRightClickEmulate(false);
  EXPECT_FALSE(IsRightClickEmulateEnabled());
  SHIM_EnableRightClickEmulate(true);
}

}  // namespace
