// Handles of every kind are looked up before they are followed: a garbage,
// closed, freed or deleted handle gives the function's failure value and
// changes nothing (run under the address checker, any read of one fails).
#include "shim/winregistry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "shim/winbase.h"
#include "shim/wincommon.h"
#include "shim/wingdi.h"
#include "shim/winhandle.h"
#include "shim/winlibrary.h"

namespace {

using shim::HandleKind;

template <class T = void>
T* garbage(uintptr_t v) {
  return reinterpret_cast<T*>(v);
}

struct Counts {
  size_t live[7] = {};
  int pooledContexts = 0, pooledObjects = 0;
  static Counts now() {
    Counts c;
    for (int k = 1; k < 7; ++k) c.live[k] = shim::liveHandleCount(static_cast<HandleKind>(k));
    SHIM_GetPoolSizes(&c.pooledContexts, &c.pooledObjects);
    return c;
  }
  bool operator==(const Counts& o) const {
    return std::equal(live, live + 7, o.live) && pooledContexts == o.pooledContexts &&
           pooledObjects == o.pooledObjects;
  }
};

TEST(HandleLookup, MisusedHandlesOfEveryKindAreRefusedAndChangeNothing) {
  HDC dc = SHIM_CreateMemContext(nullptr, 4, 4);
  ASSERT_NE(dc, nullptr);
  // Handles that were real once: a closed event, a freed block, and GDI
  // records deleted once the free lists were full, so that they went back
  // to the heap (the first ones lie in the free lists).
  HANDLE event = CreateEvent(nullptr, 1, 1, nullptr);
  ASSERT_EQ(CloseHandle(event), 1);
  HGLOBAL block = GlobalAlloc(0, 32);
  ASSERT_NE(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalFree(block), nullptr);
  std::vector<HGDIOBJ> pens;
  std::vector<HDC> dcs;
  for (int i = 0; i < 260; ++i) pens.push_back(CreatePen(0, 1, 0x123456));
  for (int i = 0; i < 130; ++i) dcs.push_back(SHIM_CreateMemContext(nullptr, 2, 2));
  for (HGDIOBJ p : pens) DeleteObject(p);
  for (HDC d : dcs) SHIM_DeleteGfxContext(d);

  const Counts before = Counts::now();
  const HGDIOBJ pseudo = garbage<HGDIOBJ__>(3);
  struct Case {
    const char* what;
    std::function<void()> misuse;
  };
  const Case cases[] = {
      {"garbage GDI object",
       [&] {
         HGDIOBJ o = garbage<HGDIOBJ__>(0x40);
         EXPECT_FALSE(SHIM_IsValidObject(o, 0));
         EXPECT_EQ(SelectObject(dc, o), nullptr);
         EXPECT_EQ(SHIM_CloneGDIObject(o), nullptr);
         DeleteObject(o);
         BITMAP bm{7, 7};
         EXPECT_EQ(GetObject(o, sizeof bm, &bm), 0);
         EXPECT_EQ(GetNSImageFromHICON(o), nullptr);
         EXPECT_EQ(ImageList_ReplaceIcon(garbage<KIT_PtrList<HGDIOBJ__>>(0x40), 0, o), -1);
         EXPECT_EQ(ImageList_Remove(garbage<KIT_PtrList<HGDIOBJ__>>(0x40), -1), FALSE);
         ImageList_Destroy(garbage<KIT_PtrList<HGDIOBJ__>>(0x40));
       }},
      {"garbage device context",
       [&] {
         HDC c = garbage<HDC__>(0x40);
         EXPECT_FALSE(SHIM_IsValidContext(c));
         EXPECT_EQ(GetTextColor(c), -1);
         EXPECT_EQ(SetTextColor(c, 0xFF), -1);
         EXPECT_EQ(SelectObject(c, pseudo), nullptr);
         EXPECT_EQ(SHIM_GetCtxFrameBuffer(c), nullptr);
         RECT r{0, 0, 10, 10};
         EXPECT_EQ(SHIM_DrawText(c, "x", -1, &r, 0), 0);
         EXPECT_EQ(Rectangle(c, 0, 0, 2, 2), FALSE);
         EXPECT_EQ(BitBlt(dc, 0, 0, 2, 2, c, 0, 0, SRCCOPY), FALSE);
         SHIM_DeleteGfxContext(c);
       }},
      {"garbage handle object",
       [&] {
         HANDLE h = garbage(0x40);
         EXPECT_EQ(WaitForSingleObject(h, 0), SHIM_WAIT_FAILED);
         EXPECT_EQ(SetEvent(h), 0);
         EXPECT_EQ(ResetEvent(h), 0);
         EXPECT_EQ(SetThreadPriority(h, 0), 0);
         EXPECT_EQ(WaitForAnySocketObject(1, &h, 0), SHIM_WAIT_TIMEOUT);
         DWORD high = 0;
         EXPECT_EQ(GetFileSize(h, &high), 0xFFFFFFFFu);
         EXPECT_EQ(SHIM_ProcessId(h), 0);
         EXPECT_EQ(CloseHandle(h), 0);
         SHIM_FreeSocketHandle(h);
         EXPECT_EQ(FreeLibrary(garbage<SHIM_HINSTANCE__>(0x40)), 0);
         EXPECT_EQ(GetProcAddress(garbage<SHIM_HINSTANCE__>(0x40), "main"), nullptr);
       }},
      {"second close of an event",
       [&] {
         EXPECT_EQ(WaitForSingleObject(event, 0), SHIM_WAIT_FAILED);
         EXPECT_EQ(SetEvent(event), 0);
         EXPECT_EQ(CloseHandle(event), 0);
       }},
      {"GDI records deleted beyond the free lists' caps",
       [&] {
         for (HGDIOBJ p : pens) {
           EXPECT_FALSE(SHIM_IsValidObject(p, SHIM_OBJ_PEN));
           EXPECT_EQ(SelectObject(dc, p), nullptr);
           EXPECT_EQ(SHIM_CloneGDIObject(p), nullptr);
           DeleteObject(p);
         }
         for (HDC d : dcs) {
           EXPECT_EQ(GetTextColor(d), -1);
           SHIM_DeleteGfxContext(d);
         }
       }},
      {"second free of a global block",
       [&] {
         EXPECT_EQ(GlobalFree(block), nullptr);
         EXPECT_EQ(GlobalLock(block), nullptr);
         EXPECT_EQ(GlobalUnlock(block), FALSE);
         EXPECT_EQ(GlobalSize(block), 0);
         SetClipboardData(1, block);  // not taken: the next close frees nothing
         EmptyClipboard();
       }},
      {"garbage dropped-files block",
       [&] {
         char buf[8] = "unset";
         EXPECT_EQ(DragQueryFile(garbage(0x1000), 0xFFFFFFFFu, buf, 8), 0u);
         EXPECT_EQ(DragQueryFile(garbage(0x1000), 0, buf, 8), 0u);
         EXPECT_STREQ(buf, "unset");
         POINT pt{5, 6};
         EXPECT_EQ(DragQueryPoint(garbage(0x1000), &pt), FALSE);
         EXPECT_EQ(pt.x, 5);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.misuse();
    EXPECT_TRUE(Counts::now() == before);
  }
  EXPECT_EQ(GetTextColor(dc), 0);  // the live context is untouched
  SHIM_DeleteGfxContext(dc);
}

// The registry's table: entries come and go in any order, each found only
// under its own kind, across growth and the back-shifting removal.
TEST(HandleLookup, RegistryKeepsExactlyTheLiveHandles) {
  std::mt19937 rng(7);
  std::vector<uintptr_t> keys;
  for (int i = 0; i < 5000; ++i) keys.push_back((uintptr_t{0x5000} + rng() % 0x100000) * 16);
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  const size_t base = shim::liveHandleCount(HandleKind::Library);
  for (uintptr_t k : keys) ASSERT_TRUE(shim::registerHandleValue(k, HandleKind::Library));
  EXPECT_EQ(shim::liveHandleCount(HandleKind::Library), base + keys.size());
  std::shuffle(keys.begin(), keys.end(), rng);
  const size_t half = keys.size() / 2;
  for (size_t i = 0; i < half; ++i) {
    EXPECT_FALSE(shim::unregisterHandleValue(keys[i], HandleKind::ImageList));
    EXPECT_TRUE(shim::unregisterHandleValue(keys[i], HandleKind::Library));
    EXPECT_FALSE(shim::unregisterHandleValue(keys[i], HandleKind::Library));
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(shim::isLiveHandleValue(keys[i], HandleKind::Library), i >= half) << i;
    EXPECT_FALSE(shim::isLiveHandleValue(keys[i], HandleKind::GdiObject));
  }
  EXPECT_EQ(shim::liveHandleCount(HandleKind::Library), base + keys.size() - half);
  for (size_t i = half; i < keys.size(); ++i) EXPECT_TRUE(shim::unregisterHandleValue(keys[i], HandleKind::Library));
  EXPECT_EQ(shim::liveHandleCount(HandleKind::Library), base);
  // Null and the small pseudo-handles are never live.
  EXPECT_TRUE(shim::registerHandleValue(0, HandleKind::Context));
  for (uintptr_t small = 0; small < 5; ++small) EXPECT_FALSE(shim::isLiveHandleValue(small, HandleKind::Context));
}

// A thread still at work while the program exits (as one that closes its
// own handle as it ends) finds the registry gone, never its freed tables.
// The watch below is made at start-up before the registry's tables, so it
// goes after them at exit: in the exiting child it lets four such threads
// go on until each has made 1000 more turns (at most 2 s; a child whose
// watch came first ends with 3), then ends the child at once. A read of a
// freed table stops its thread in the address checker's report, which ends
// the child with its own status.
constexpr int kWorkers = 4;
std::atomic<bool> gWatchExit{false};
std::atomic<uint64_t> gWorkerTurns[kWorkers];
struct ExitWatch {
  ~ExitWatch() {
    if (!gWatchExit) return;
    // The registry finds every handle live once it is gone.
    if (!shim::isLiveHandleValue(0x7ffff0, HandleKind::Library)) _exit(3);
    uint64_t from[kWorkers];
    for (int w = 0; w < kWorkers; ++w) from[w] = gWorkerTurns[w].load();
    const auto allOn = [&] {
      for (int w = 0; w < kWorkers; ++w)
        if (gWorkerTurns[w].load() < from[w] + 1000) return false;
      return true;
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!allOn() && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    _exit(0);
  }
} gExitWatch;

TEST(HandleLookup, AThreadAtWorkWhileTheProgramExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        gWatchExit = true;
        for (int w = 0; w < kWorkers; ++w) {
          std::thread([w] {
            for (uintptr_t i = 0;; ++i) {
              const uintptr_t key = (uintptr_t{0x7000} + static_cast<uintptr_t>(w) * 64 + i % 64) * 16;
              shim::registerHandleValue(key, HandleKind::HandleObject);
              shim::isLiveHandleValue(key, HandleKind::HandleObject);
              shim::unregisterHandleValue(key, HandleKind::HandleObject);
              ++gWorkerTurns[w];
            }
          }).detach();
        }
        for (int w = 0; w < kWorkers; ++w)
          while (gWorkerTurns[w].load() == 0) std::this_thread::yield();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
