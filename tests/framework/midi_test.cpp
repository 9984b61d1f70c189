#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <tuple>
#include <vector>

#include "framework/IPluginStructs.h"
#include "framework_fakes.h"

namespace {

using Ints = fwtest::Ints;

std::tuple<int, int, int, int> bytes(const IMidiMsg& m) { return {m.mStatus, m.mData1, m.mData2, m.mOffset}; }

TEST(IMidiMsg, BuildersByteForByteAndClampingOutOfContractInput) {
  const std::pair<std::function<void(IMidiMsg&)>, std::tuple<int, int, int, int>> cases[] = {
      {[](IMidiMsg& m) { m.MakeNoteOnMsg(60, 100, 17, 3); }, {0x93, 60, 100, 17}},
      {[](IMidiMsg& m) { m.MakeNoteOffMsg(60, 5, 15); }, {0x8F, 60, 0, 5}},
      {[](IMidiMsg& m) { m.MakeControlChangeMsg(7, 1.0, 0); }, {0xB0, 0x07, 0x7F, 0}},
      {[](IMidiMsg& m) { m.MakeControlChangeMsg(7, 0.5, 2); }, {0xB2, 0x07, 0x3F, 0}},
      {[](IMidiMsg& m) { m.MakeControlChangeMsg(IMidiMsg::kAllNotesOff, 0.0, 0); }, {0xB0, 123, 0, 0}},
      {[](IMidiMsg& m) { m.MakeProgramChangeMsg(5 / 127.0, 1); }, {0xC1, 5, 0xFF, 0}},
      {[](IMidiMsg& m) { m.MakeProgramChangeMsg(1.0, 0); }, {0xC0, 127, 0xFF, 0}},
      {[](IMidiMsg& m) { m.MakePitchWheelMsg(0.0, 0); }, {0xE0, 0x00, 0x40, 0}},
      {[](IMidiMsg& m) { m.MakePitchWheelMsg(1.0, 0); }, {0xE0, 0x7F, 0x7F, 0}},
      {[](IMidiMsg& m) { m.MakePitchWheelMsg(-1.0, 0); }, {0xE0, 0x00, 0x00, 0}},
      {[](IMidiMsg& m) { m.MakePitchWheelMsg(0.5, 9); }, {0xE9, 0x00, 0x60, 0}},
      {[](IMidiMsg& m) { m.MakeNoteOnMsg(1, 2, 4, 3); m.Clear(); }, {0, 0, 0, 0}},
      // Data is clamped to 0..127 and the channel masked to 0..15: channels
      // 0x41 and 0x20 would otherwise turn the status into F1 and B0.
      {[](IMidiMsg& m) { m.MakeControlChangeMsg(200, 1.5, 0x41); }, {0xB1, 127, 127, 0}},
      {[](IMidiMsg& m) { m.MakeControlChangeMsg(-3, -0.5, 0); }, {0xB0, 0, 0, 0}},
      {[](IMidiMsg& m) { m.MakeControlChangeMsg(1, std::nan(""), 0); }, {0xB0, 1, 0, 0}},
      {[](IMidiMsg& m) { m.MakeNoteOnMsg(300, -1, 0, 0x20); }, {0x90, 127, 0, 0}},
      {[](IMidiMsg& m) { m.MakeProgramChangeMsg(2.0, 0); }, {0xC0, 127, 0xFF, 0}},
      {[](IMidiMsg& m) { m.MakePitchWheelMsg(1e9, 0); }, {0xE0, 0x7F, 0x7F, 0}},
      {[](IMidiMsg& m) { m.MakePitchWheelMsg(-1e9, 0); }, {0xE0, 0, 0, 0}}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    IMidiMsg m;
    cases[i].first(m);
    EXPECT_EQ(bytes(m), cases[i].second) << "case " << i;
  }
}

TEST(IMidiMsg, Readers) {
  IMidiMsg on(0, 0x92, 64, 90);
  EXPECT_EQ(Ints({on.Channel(), on.StatusMsg(), on.NoteNumber(), on.Velocity(), on.Program(), on.MidiChannelIdx()}),
            Ints({2, IMidiMsg::kNoteOn, 64, 90, -1, 0x92}));
  IMidiMsg at(0, 0xA0, 61, 5), pc(0, 0xC4, 12, 0);
  EXPECT_EQ(Ints({at.NoteNumber(), at.Velocity(), pc.Program(), pc.NoteNumber()}), Ints({61, -1, 12, -1}));
  IMidiMsg cc(0, 0xB0, 74, 127);
  EXPECT_EQ(cc.ControlChangeIdx(), 74);
  EXPECT_DOUBLE_EQ(cc.ControlChange(74), 1.0);
  EXPECT_EQ(cc.ControlChange(75), -1.0);

  EXPECT_EQ(IMidiMsg(0, 0xE0, 0x00, 0x40).PitchWheel(), 0.0);
  EXPECT_DOUBLE_EQ(IMidiMsg(0, 0xE0, 0x7F, 0x7F).PitchWheel(), 8191.0 / 8192.0);
  EXPECT_EQ(IMidiMsg(0, 0xB0, 0x7F, 0x7F).PitchWheel(), 0.0);
  EXPECT_EQ(Ints({IMidiMsg(0, 0xF8, 0, 0).StatusMsg(), IMidiMsg(0, 0x45, 0, 0).StatusMsg(),
                  IMidiMsg(0, 0xEF, 0, 0).StatusMsg()}),
            Ints({IMidiMsg::kNone, IMidiMsg::kNone, IMidiMsg::kPitchWheel}));

  EXPECT_STREQ(IMidiMsg::StatusMsgStr(9), "noteon ");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(0), "none");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(13), "channelaftertouch");
  for (int k : {1, 7, 15, 255, -1}) EXPECT_STREQ(IMidiMsg::StatusMsgStr(k), "unknown") << k;
}

TEST(SysEx, HexDumpFitsTheBuffer) {
  const uint8_t b[] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
  char out[32];
  EXPECT_STREQ(SysExStr(out, 10, b, 6), "F0 7E 7F");
  EXPECT_STREQ(SysExStr(out, 18, b, 6), "F0 7E 7F 06 01 F7");
  EXPECT_STREQ(SysExStr(out, 32, b, 2), "F0 7E");
  EXPECT_STREQ(SysExStr(out, 32, nullptr, 6), "");
  EXPECT_STREQ(SysExStr(out, 32, b, 0), "");
  out[0] = 'x';
  out[1] = 'y';
  EXPECT_STREQ(SysExStr(out, 2, b, 6), "");
  EXPECT_EQ(out[1], 'y');  // nothing written past the terminator
  out[0] = 'x';
  SysExStr(out, 0, b, 6);
  EXPECT_EQ(out[0], 'x');  // nothing written at all
}

IMidiMsg cc(int offset, int tag = 1) { return IMidiMsg(offset, 0xB0, static_cast<uint8_t>(tag), 1); }

// Drains the queue; returns the offsets and, when asked, the first data bytes.
Ints drainOffsets(IMidiQueue& q, Ints* data1 = nullptr) {
  Ints r;
  for (; !q.Empty(); q.Remove()) {
    r.push_back(q.Peek()->mOffset);
    if (data1) data1->push_back(q.Peek()->mData1);
  }
  return r;
}

TEST(IMidiQueue, OrdersByOffsetAndKeepsEqualOffsetsInAddingOrder) {
  IMidiQueue q;
  int tag = 0;
  for (int off : {5, 3, 5, 0}) q.Add(cc(off, tag++));
  Ints tags;
  EXPECT_EQ(drainOffsets(q, &tags), Ints({0, 3, 5, 5}));
  EXPECT_EQ(tags, Ints({3, 1, 0, 2}));

  // Inserting before a consumed front never lands before front.
  q.Add(cc(10, 1));
  q.Add(cc(20, 2));
  q.Remove();
  q.Add(cc(1, 3));
  tags.clear();
  EXPECT_EQ(drainOffsets(q, &tags), Ints({1, 20}));
  EXPECT_EQ(tags, Ints({3, 2}));
  EXPECT_FALSE(q.Add(nullptr));
}

TEST(IMidiQueue, GrowsByBlocksAndCompactsBeforeGrowing) {
  IMidiQueue q;
  EXPECT_EQ(Ints({q.GetCapacity(), q.GetGrowBlock()}), Ints({1024, 1024}));
  for (int i = 0; i < 1024; ++i) q.Add(cc(i));
  EXPECT_EQ(q.GetCapacity(), 1024);
  q.Add(cc(2000));
  EXPECT_EQ(Ints({q.GetCapacity(), q.ToDo()}), Ints({2048, 1025}));

  IMidiQueue full(512);
  for (int i = 0; i < 512; ++i) full.Add(cc(i));
  for (int i = 0; i < 10; ++i) full.Remove();
  full.Add(cc(600, 9));
  // Compacted, not grown.
  EXPECT_EQ(Ints({full.GetCapacity(), full.GetFront(), full.ToDo(), full.At(0)->mOffset, full.At(502)->mOffset}),
            Ints({512, 0, 503, 10, 600}));
}

TEST(IMidiQueue, ResizeRoundsToWholePagesAndNeverBelowHeldMessages) {
  IMidiQueue q;
  // {size asked for, capacity, growth block}; sizes below 1 count as 1.
  const int steps[][3] = {{64, 512, 512}, {1024, 1024, 1024}, {1000, 1024, 1024}, {0, 512, 512}, {-5, 512, 512}};
  for (const auto& s : steps) {
    q.Resize(s[0]);
    EXPECT_EQ(Ints({q.GetCapacity(), q.GetGrowBlock()}), Ints({s[1], s[2]})) << s[0];
  }
  // After the smallest sizes the queue still takes messages.
  for (int i = 0; i < 600; ++i) EXPECT_TRUE(q.Add(cc(i)));
  EXPECT_EQ(q.GetCapacity(), 1024);

  // More held than the new size: capacity follows the held count.
  q.Remove();
  q.Resize(64);
  EXPECT_EQ(Ints({q.GetFront(), q.ToDo(), q.GetCapacity(), q.GetGrowBlock(), q.At(0)->mOffset}),
            Ints({0, 599, 1024, 512, 1}));
  EXPECT_EQ(IMidiQueue::RoundToStep(INT32_MAX) % 512, 0);
}

TEST(IMidiQueue, FlushKeepsDistanceIntoTheNextBlock) {
  IMidiQueue q;
  for (int off : {100, 512, 600}) q.Add(cc(off));
  while (!q.Empty() && q.Peek()->mOffset < 512) q.Remove();
  q.Flush(512);
  EXPECT_EQ(q.GetFront(), 0);
  EXPECT_EQ(drainOffsets(q), Ints({0, 88}));

  q.Add(cc(INT32_MIN + 1));
  q.Flush(512);
  EXPECT_EQ(q.Peek()->mOffset, INT32_MIN);
}

std::atomic<int> g_allocs{0};
const KIT_HeapBuf::Allocator kCounting = {[](void* p, size_t n) { return ++g_allocs, std::realloc(p, n); },
                                          [](size_t n) { return ++g_allocs, std::malloc(n); }, std::free};

TEST(IMidiQueue, DoesNotAllocateOnceResizedAndDropsWhenItCannotGrow) {
  g_allocs = 0;
  {
    fwtest::ScopedAllocator counting(&kCounting);
    IMidiQueue q;
    q.Resize(512);
    const int afterResize = g_allocs;
    EXPECT_GE(afterResize, 1);
    // Many blocks of adds (in and out of order) and drains within capacity.
    for (int block = 0; block < 200; ++block) {
      for (int i = 0; i < 256; ++i) q.Add(cc((i * 37) % 700));
      while (!q.Empty() && q.Peek()->mOffset < 512) q.Remove();
      q.Flush(512);
    }
    EXPECT_EQ(g_allocs, afterResize);
    EXPECT_EQ(q.GetCapacity(), 512);
    // Growing well past the allocation does go through the hook, so the
    // count above is meaningful.
    while (q.GetCapacity() < 8192) q.Add(cc(0));
    EXPECT_GT(g_allocs, afterResize);
  }

  IMidiQueue q(512);
  for (int i = 0; i < 512; ++i) q.Add(cc(i));
  {
    fwtest::ScopedAllocator failing(&fwtest::kFailingAllocator);
    EXPECT_FALSE(q.Add(cc(5, 2)));
    q.Resize(4096);  // fails too: capacity unchanged
  }
  EXPECT_EQ(Ints({q.GetCapacity(), q.ToDo(), q.At(5)->mData1}), Ints({512, 512, 1}));
}

}  // namespace
