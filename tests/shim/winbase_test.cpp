#include "shim/winbase.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <climits>
#include <cstring>
#include <tuple>
#include <utility>

#include "platform/clock.h"
#include "recttest.h"
#include "testsupport.h"

namespace {

TEST(Time, SleepGoesThroughTheClockIn64Bits) {
  platform::ManualClock mc(0);
  platform::ScopedClock scope(mc);
  // 0 and negative counts are the 100 µs sleep
  const std::pair<int, uint64_t> cases[] = {{0, 100}, {5, 5000}, {-3, 100}, {INT_MAX, uint64_t{INT_MAX} * 1000}};
  uint64_t total = 0;
  for (auto [ms, us] : cases) {
    Sleep(ms);
    EXPECT_EQ(mc.totalSlept(), total += us) << ms;
  }
}

TEST(Time, TickCountIsWallClockMillisecondsAndWraps) {
  platform::ManualClock mc(12'345'678);
  platform::ScopedClock scope(mc);
  EXPECT_EQ(GetTickCount(), 12345u);
  mc.setWall(4'294'967'290'000ull);  // 2^32 - 6 ms
  const DWORD before = GetTickCount();
  mc.advance(10'000);
  const DWORD after = GetTickCount();
  EXPECT_LT(after, before);
  EXPECT_EQ(static_cast<DWORD>(after - before), 10u);
}

TEST(Time, FileTimeFromDescriptor) {
  testsupport::TempDir dir;
  const std::string path = dir.file("f");
  ASSERT_TRUE(testsupport::writeFile(path, std::string("x")));
  utimbuf times{0, 0};
  ASSERT_EQ(utime(path.c_str(), &times), 0);
  const int fd = open(path.c_str(), O_RDONLY);
  FILETIME w{}, a{};
  EXPECT_EQ(GetFileTime(fd, nullptr, &a, &w), 1);
  EXPECT_EQ((uint64_t{w.dwHighDateTime} << 32) | w.dwLowDateTime, 116444736000000000ull);  // the Unix epoch
  close(fd);
  EXPECT_EQ(GetFileTime(-1, &a, &a, &w), 0);
  EXPECT_EQ(GetFileTime(fd, &a, &a, &w), 0);  // closed descriptor
}

TEST(Rects, IntersectUnionPointAndNulls) {
  RECT a{0, 0, 10, 10}, b{10, 0, 20, 10}, d{1, 1, 1, 1}, e{5, 5, 5, 9} /* empty */, c{5, -5, 15, 5}, u;
  EXPECT_EQ(WinIntersectRect(&d, &a, &b), 0);  // touching at an edge
  EXPECT_EQ(d, (RECT{10, 0, 10, 10}));
  EXPECT_EQ(WinIntersectRect(&d, &a, &e), 0);
  EXPECT_EQ(d, (RECT{0, 0, 0, 0}));
  EXPECT_EQ(WinIntersectRect(&a, &a, &c), 1);  // dst may alias a source
  EXPECT_EQ(a, (RECT{5, 0, 10, 5}));
  EXPECT_EQ(WinUnionRect(&u, &b, &e), 1);
  EXPECT_EQ(u, (RECT{5, 0, 20, 10}));
  // null pointers: 0, and nothing written
  RECT keep{1, 2, 3, 4};
  EXPECT_EQ(WinIntersectRect(nullptr, &a, &b), 0);
  EXPECT_EQ(WinIntersectRect(&keep, nullptr, &b), 0);
  EXPECT_EQ(WinUnionRect(&keep, &a, nullptr), 0);
  EXPECT_EQ(keep, (RECT{1, 2, 3, 4}));
  EXPECT_EQ(WinSetRect(nullptr, 1, 2, 3, 4), 0);
  EXPECT_EQ(WinOffsetRect(&keep, 10, 20), 1);
  EXPECT_EQ(keep, (RECT{11, 22, 13, 24}));
  RECT far{INT_MAX - 1, 0, INT_MAX, 1};
  EXPECT_EQ(WinOffsetRect(&far, 2, 0), 1);  // wraps, no overflow
  EXPECT_EQ(far.left, INT_MIN);
  RECT flipped{0, 10, 10, 0};
  EXPECT_EQ(SHIM_PtInRect(&flipped, POINT{5, 0}), 1);
  EXPECT_EQ(SHIM_PtInRect(&flipped, POINT{10, 5}), 0);
  EXPECT_EQ(SHIM_PtInRect(nullptr, POINT{0, 0}), 0);
}

TEST(Arithmetic, MulDiv) {
  // division by 0 gives 0; a result outside int gives -1
  const int cases[][4] = {{7, 3, 2, 10},  {-7, 3, 2, -10}, {1, 1, 0, 0}, {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
                          {INT_MAX, 4, 1, -1}, {INT_MIN, 2, 1, -1}};
  for (const auto& c : cases) EXPECT_EQ(MulDiv(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}

#if defined(__x86_64__) || defined(__i386__)
TEST(Arithmetic, ControlWordRoundingField) {
  const unsigned before = _controlfp(0, 0);
  const unsigned set = _controlfp(0x300, 0x300);
  EXPECT_EQ((set << 2) & 0xC00u, 0xC00u);
  const unsigned back = _controlfp(before << 2 >> 2, 0x300);
  EXPECT_EQ(back & 0x300u, (before << 2 >> 2) & 0x300u);
}
#endif

TEST(GlobalMemory, SizeLockAndOverflow) {
  HGLOBAL h = GlobalAlloc(0, 16);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 16);
  EXPECT_EQ(GlobalLock(h), h);
  std::memset(GlobalLock(h), 0xAB, 16);
  GlobalUnlock(h);
  GlobalUnlock(h);
  GlobalFree(h);
  HGLOBAL z = GlobalAlloc(0, -5);
  EXPECT_EQ(GlobalSize(z), 0);
  GlobalFree(z);
  EXPECT_EQ(GlobalAlloc(0, INT_MAX), nullptr);
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
  EXPECT_EQ(GlobalSize(nullptr), 0);
  GlobalFree(nullptr);
}

TEST(Strings, Lstrcpyn) {
  // n counts the terminator; n 0 and a null source write nothing
  const std::tuple<const char*, int, const char*> cases[] = {
      {"abcdef", 4, "abc"}, {"abcdef", 1, ""}, {"abcdef", 0, "keep"}, {"ab", 8, "ab"}, {nullptr, 8, "keep"}};
  for (auto [src, n, want] : cases) {
    char dst[8] = "keep";
    EXPECT_EQ(lstrcpyn(dst, src, n), dst);
    EXPECT_STREQ(dst, want) << n;
  }
}

}  // namespace
