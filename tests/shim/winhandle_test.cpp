#include "shim/winhandle.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace {

TEST(Handles, EventsAndSocketEventsSignalAndReset) {
  platform::ManualClock mc;
  platform::ScopedClock scope(mc);
  for (auto make : {&CreateEvent, &CreateEventAsSocket}) {
    HANDLE autoEv = make(nullptr, 0, 1, nullptr), manual = make(nullptr, 1, 1, nullptr),
           off = make(nullptr, 0, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(off, 0), SHIM_WAIT_TIMEOUT);
    const uint64_t t0 = mc.monotonicMicros();
    EXPECT_EQ(WaitForSingleObject(off, 100), SHIM_WAIT_TIMEOUT);  // runs on the injected clock
    EXPECT_EQ(mc.monotonicMicros() - t0, 100000u);
    EXPECT_EQ(WaitForSingleObject(autoEv, 0), 0u);
    EXPECT_EQ(WaitForSingleObject(autoEv, 0), SHIM_WAIT_TIMEOUT);  // it reset itself
    EXPECT_EQ(WaitForSingleObject(manual, 0), 0u);
    EXPECT_EQ(WaitForSingleObject(manual, 0), 0u);
    EXPECT_EQ(ResetEvent(manual), 1);
    EXPECT_EQ(WaitForSingleObject(manual, 0), SHIM_WAIT_TIMEOUT);
    EXPECT_EQ(SetEvent(off), 1);
    EXPECT_EQ(SetEvent(off), 1);  // already set: one wait takes it
    EXPECT_EQ(WaitForSingleObject(off, 5), 0u);
    EXPECT_EQ(WaitForSingleObject(off, 0), SHIM_WAIT_TIMEOUT);
    for (HANDLE h : {autoEv, manual, off}) EXPECT_EQ(CloseHandle(h), 1);
  }
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), SHIM_WAIT_FAILED);
  EXPECT_EQ(CloseHandle(nullptr), 0);
  EXPECT_EQ(SetEvent(nullptr), 0);
}

TEST(Handles, AnySocketObjectGivesTheFirstReadyIndex) {
  HANDLE a = CreateEventAsSocket(nullptr, 0, 0, nullptr), b = CreateEventAsSocket(nullptr, 0, 0, nullptr);
  HANDLE plain = CreateEvent(nullptr, 0, 1, nullptr);
  HANDLE list[] = {plain, a, b};
  EXPECT_EQ(WaitForAnySocketObject(3, list, 0), SHIM_WAIT_TIMEOUT);
  SetEvent(b);
  SetEvent(a);
  EXPECT_EQ(WaitForAnySocketObject(3, list, SHIM_INFINITE), 1u);
  EXPECT_EQ(WaitForAnySocketObject(3, list, SHIM_INFINITE), 2u);
  EXPECT_EQ(WaitForAnySocketObject(0, list, 0), SHIM_WAIT_TIMEOUT);
  EXPECT_EQ(WaitForAnySocketObject(1, list, SHIM_INFINITE), SHIM_WAIT_TIMEOUT);  // no descriptor
  HANDLE ext = SHIM_WrapSocket(-1);
  EXPECT_EQ(CloseHandle(ext), 0);  // never freed by CloseHandle
  SHIM_FreeSocketHandle(ext);
  for (HANDLE h : {a, b, plain}) CloseHandle(h);
}

unsigned Add(void* p) { return static_cast<unsigned>(++*static_cast<std::atomic<int>*>(p)); }

TEST(Handles, InfiniteWaitsEndFromAnotherThread) {
  for (auto make : {&CreateEvent, &CreateEventAsSocket}) {
    HANDLE ev = make(nullptr, 1, 0, nullptr);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
      waiters.emplace_back([&] {
        if (WaitForSingleObject(ev, SHIM_INFINITE) == 0) ++woken;
      });
    std::thread setter([&] { SetEvent(ev); });
    setter.join();
    for (std::thread& w : waiters) w.join();
    EXPECT_EQ(woken.load(), 4);
    CloseHandle(ev);
  }
}

TEST(Handles, ThreadsJoinOnceWhicheverSideClosesLast) {
  std::atomic<int> n{0};
  for (int i = 0; i < 1000; ++i) {
    unsigned tid = 0;
    HANDLE t = CreateThread(nullptr, 0, &Add, &n, 0, &tid);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(tid, 0u);
    if (i % 2) {
      EXPECT_EQ(WaitForSingleObject(t, SHIM_INFINITE), 0u);
      EXPECT_EQ(WaitForSingleObject(t, 0), 0u);  // joined already
    }
    EXPECT_EQ(CloseHandle(t), 1);  // even cycles: possibly before the thread ends
  }
  for (int spins = 0; n.load() < 1000 && spins < 100000000; ++spins) std::this_thread::yield();
  EXPECT_EQ(n.load(), 1000);
}

TEST(Handles, FileStreams) {
  HANDLE f = SHIM_WrapFileStream(tmpfile());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(CreateFile("x", 0, 0, nullptr, 0, 0, nullptr), nullptr);
  DWORD n = 0, high = 7;
  EXPECT_EQ(WriteFile(f, "hello", 5, &n, nullptr), 1);
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(GetFileSize(f, &high), 5u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(GetFilePointer(f, nullptr), 5u);
  high = 1;
  EXPECT_EQ(SetFilePointer(f, 1, &high), 0xFFFFFFFFu);
  EXPECT_EQ(SetFilePointer(f, 1, nullptr), 1u);
  char buf[8] = {};
  EXPECT_EQ(ReadFile(f, buf, 8, &n, nullptr), 1);
  EXPECT_EQ(std::string(buf, n), "ello");
  EXPECT_EQ(ReadFile(f, buf, 8, &n, nullptr), 0);
  EXPECT_EQ(ReadFile(f, nullptr, 8, &n, nullptr), 0);
  EXPECT_EQ(GetFileSize(nullptr, &high), 0xFFFFFFFFu);
  EXPECT_EQ(high, 0xFFFFFFFFu);
  EXPECT_EQ(CloseHandle(f), 1);
}

TEST(Handles, ChildProcesses) {
  platform::ManualClock mc;
  platform::ScopedClock scope(mc);
  const char* args[] = {"7"};
  HANDLE quick = SHIM_CreateProcess("/bin/true", 0, nullptr);
  HANDLE slow = SHIM_CreateProcess("/bin/sleep", 1, args);
  ASSERT_TRUE(quick && slow);
  EXPECT_EQ(SHIM_CreateProcess("/nonexistent/program", 0, nullptr), nullptr);
  EXPECT_EQ(WaitForSingleObject(quick, SHIM_INFINITE), 0u);
  EXPECT_EQ(SHIM_ProcessStatus(quick), 0);
  EXPECT_EQ(WaitForSingleObject(quick, 0), 0u);
  EXPECT_EQ(WaitForSingleObject(slow, 0), SHIM_WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(slow, 50), SHIM_WAIT_TIMEOUT);
  // released while running: the child is reaped once it ends
  const int pid = SHIM_ProcessId(slow);
  EXPECT_EQ(CloseHandle(slow), 1);
  kill(pid, SIGKILL);
  int spins = 0;
  while (kill(pid, 0) == 0 && spins++ < 100000000) std::this_thread::yield();
  EXPECT_EQ(errno, ESRCH);
  CloseHandle(quick);
}

// Releasing the task leaves the handle open but without its child: waits
// fail, and a child that still runs is reaped once it ends.
TEST(Handles, ReleasedTaskLeavesAnOpenHandleWithoutItsChild) {
  platform::ManualClock mc;
  platform::ScopedClock scope(mc);
  const char* seconds[] = {"7"};
  for (bool running : {false, true}) {
    SCOPED_TRACE(running);
    HANDLE h = running ? SHIM_CreateProcess("/bin/sleep", 1, seconds) : SHIM_CreateProcess("/bin/true", 0, nullptr);
    ASSERT_NE(h, nullptr);
    if (!running) EXPECT_EQ(SHIM_WaitForNSTask(h, SHIM_INFINITE), 0u);
    const int pid = SHIM_ProcessId(h);
    ASSERT_GT(pid, 0);
    SHIM_ReleaseNSTask(h);
    SHIM_ReleaseNSTask(h);
    EXPECT_EQ(SHIM_WaitForNSTask(h, 0), SHIM_WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(h, 10), SHIM_WAIT_FAILED);
    EXPECT_EQ(SHIM_ProcessStatus(h), -1);
    EXPECT_EQ(SHIM_ProcessId(h), 0);
    EXPECT_EQ(CloseHandle(h), 1);
    if (!running) continue;
    kill(pid, SIGKILL);
    for (int spins = 0; kill(pid, 0) == 0 && spins < 100000000; ++spins) std::this_thread::yield();
    EXPECT_EQ(errno, ESRCH);
  }
  // Another kind of handle is left alone.
  HANDLE event = CreateEvent(nullptr, 1, 1, nullptr);
  SHIM_ReleaseNSTask(event);
  SHIM_ReleaseNSTask(nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), 0u);
  CloseHandle(event);
}

}  // namespace
