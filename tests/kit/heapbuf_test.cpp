#include "kit/heapbuf.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "support_alloc.h"

namespace {

using kittest::FailingAllocator;

TEST(HeapBuf, AllocationSizes) {
  // Granularity 4096 or more: extra = max(n/2, gran) rounded down to 4096 and
  // held in [4096, 4 MiB]; total + 96 a multiple of 4096.
  for (int64_t n : {1, 100, 4000, 5000, 10000, 100000, 1 << 20, 50 << 20}) {
    const int64_t a = KIT_HeapBuf::AllocationFor(n, 4096, 0);
    EXPECT_GE(a, n) << n;
    EXPECT_EQ((a + 96) % 4096, 0) << n;
    EXPECT_LE(a - n, 4194304 + 4096) << n;
  }
  // Smaller granularities never fall below the request. Size plus half the
  // size leaving the int range is refused, although the capped extra of a
  // large granularity would still fit.
  const int64_t cases[][4] = {{5000, 4096, 0, 8096},
                              {50 << 20, 4096, 0, (50 << 20) + 4194304 - 96},  // extra capped at 4 MiB
                              {10, 128, 0, 138},       {1000, 128, 0, 1500},  {0, 128, 0, 128},
                              {10, 128, 4096, 4096} /* minimum allocation */, {INT_MAX - 10, 128, 0, -1},
                              {-1, 128, 0, -1},        {1'500'000'000, 4096, 0, -1}};
  for (auto [n, gran, min, expected] : cases)
    EXPECT_EQ(KIT_HeapBuf::AllocationFor(n, int(gran), int(min)), expected) << n << " by " << gran << ", min " << min;
  EXPECT_GT(KIT_HeapBuf::AllocationFor(1'400'000'000, 4096, 0), 1'400'000'000);
}

TEST(HeapBuf, GrowKeepsContentsAndShrinkOnlyWhenAllowed) {
  KIT_HeapBuf hb(4096);
  EXPECT_EQ(hb.Resize(0), nullptr);
  auto* p = static_cast<char*>(hb.Resize(100));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100; ++i) p[i] = static_cast<char>(i);
  p = static_cast<char*>(hb.Resize(200000));
  ASSERT_EQ(hb.GetSize(), 200000);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], static_cast<char>(i));
  const int bigAlloc = hb.GetAlloc();
  hb.Resize(50, false);
  EXPECT_EQ(hb.GetSize(), 50);
  EXPECT_EQ(hb.GetAlloc(), bigAlloc);  // no shrink without the flag
  hb.Resize(40, true);
  EXPECT_EQ(hb.GetSize(), 40);
  EXPECT_LT(hb.GetAlloc(), bigAlloc);
  p = static_cast<char*>(hb.Get());
  for (int i = 0; i < 40; ++i) ASSERT_EQ(p[i], static_cast<char>(i));
  // Growing within the allocation only moves the used size.
  const int alloc = hb.GetAlloc();
  hb.Resize(alloc, true);
  EXPECT_EQ(hb.GetAlloc(), alloc);
  EXPECT_EQ(hb.Resize(0), nullptr);
  EXPECT_EQ(hb.GetSize(), 0);
  // Below half the allocation but not four granules under it: kept.
  KIT_HeapBuf small(128);
  small.Resize(10);
  small.Resize(5, true);
  EXPECT_EQ(small.GetAlloc(), 138);
}

TEST(HeapBuf, FailedAndInvalidGrowthKeepUsedSizeAndInPlaceFailureIsRetried) {
  KIT_HeapBuf hb(4096);
  {
    FailingAllocator fail(0);
    EXPECT_EQ(hb.Resize(10), nullptr);  // old used size 0: null
    EXPECT_EQ(hb.GetSize(), 0);
  }
  auto* p = static_cast<char*>(hb.Resize(10));
  p[0] = 'x';
  {
    FailingAllocator fail(0);
    EXPECT_EQ(hb.Resize(1 << 20), p);  // the old address, contents kept
    EXPECT_EQ(hb.GetSize(), 10);
    EXPECT_EQ(static_cast<char*>(hb.Get())[0], 'x');
  }
  for (int bad : {-5, INT_MAX /* size + extra overflows int */}) {
    EXPECT_EQ(hb.Resize(bad), p) << bad;
    EXPECT_EQ(hb.GetSize(), 10) << bad;
  }
  // A failed growth in place is retried as allocate, copy and free.
  std::memcpy(p, "abcd", 5);
  {
    FailingAllocator reallocFails(-1, true);
    p = static_cast<char*>(hb.Resize(500000));
    EXPECT_GT(FailingAllocator::reallocCalls(), 0);
  }
  ASSERT_EQ(hb.GetSize(), 500000);
  EXPECT_STREQ(p, "abcd");
}

TEST(TypedBuf, CountsElementsAndRefusesOverflow) {
  struct Rec {
    int a;
    double b;
  };
  KIT_TypedBuf<Rec> tb;
  tb.Resize(3)[2] = Rec{7, 1.5};
  tb.Resize(1000);
  EXPECT_EQ(tb[2].a, 7);
  EXPECT_EQ(tb.GetSize(), 1000);
  for (int bad : {-1, INT_MAX / 2 /* bytes overflow int */}) {
    tb.Resize(bad);
    EXPECT_EQ(tb.GetSize(), 1000) << bad;
  }
  tb.Resize(0);
  EXPECT_EQ(tb.Resize(INT_MAX / 2), nullptr);  // refused from empty: null, storage or not
}

}  // namespace
