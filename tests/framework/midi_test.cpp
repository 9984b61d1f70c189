#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "framework/IPluginStructs.h"

namespace {

struct B {
  uint8_t s, d1, d2;
};

void expectBytes(const IMidiMsg& m, B b, int offset = 0) {
  EXPECT_EQ(m.mStatus, b.s);
  EXPECT_EQ(m.mData1, b.d1);
  EXPECT_EQ(m.mData2, b.d2);
  EXPECT_EQ(m.mOffset, offset);
}

TEST(IMidiMsg, BuildersByteForByte) {
  IMidiMsg m;
  m.MakeNoteOnMsg(60, 100, 17, 3);
  expectBytes(m, {0x93, 60, 100}, 17);
  m.MakeNoteOffMsg(60, 5, 15);
  expectBytes(m, {0x8F, 60, 0}, 5);
  m.MakeControlChangeMsg(7, 1.0, 0);
  expectBytes(m, {0xB0, 0x07, 0x7F});
  m.MakeControlChangeMsg(7, 0.5, 2);
  expectBytes(m, {0xB2, 0x07, 0x3F});
  m.MakeControlChangeMsg(IMidiMsg::kAllNotesOff, 0.0, 0);
  expectBytes(m, {0xB0, 123, 0});
  m.MakeProgramChangeMsg(5 / 127.0, 1);
  expectBytes(m, {0xC1, 5, 0xFF});
  m.MakeProgramChangeMsg(1.0, 0);
  expectBytes(m, {0xC0, 127, 0xFF});
  m.MakePitchWheelMsg(0.0, 0);
  expectBytes(m, {0xE0, 0x00, 0x40});
  m.MakePitchWheelMsg(1.0, 0);
  expectBytes(m, {0xE0, 0x7F, 0x7F});
  m.MakePitchWheelMsg(-1.0, 0);
  expectBytes(m, {0xE0, 0x00, 0x00});
  m.MakePitchWheelMsg(0.5, 9);
  expectBytes(m, {0xE9, 0x00, 0x60});
  m.Clear();
  expectBytes(m, {0, 0, 0});
}

TEST(IMidiMsg, BuildersClampOutOfContractInput) {
  IMidiMsg m;
  m.MakeControlChangeMsg(200, 1.5, 17);  // channel 17 masks to 1
  expectBytes(m, {0xB1, 127, 127});
  m.MakeControlChangeMsg(-3, -0.5, 0);
  expectBytes(m, {0xB0, 0, 0});
  m.MakeControlChangeMsg(1, std::nan(""), 0);
  EXPECT_EQ(m.mData2, 0);
  m.MakeNoteOnMsg(300, -1, 0, 0x10);
  expectBytes(m, {0x90, 127, 0});
  m.MakeProgramChangeMsg(2.0, 0);
  EXPECT_EQ(m.mData1, 127);
  m.MakePitchWheelMsg(1e9, 0);
  expectBytes(m, {0xE0, 0x7F, 0x7F});
  m.MakePitchWheelMsg(-1e9, 0);
  expectBytes(m, {0xE0, 0, 0});
}

TEST(IMidiMsg, Readers) {
  IMidiMsg on(0, 0x92, 64, 90);
  EXPECT_EQ(on.Channel(), 2);
  EXPECT_EQ(on.StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(on.NoteNumber(), 64);
  EXPECT_EQ(on.Velocity(), 90);
  EXPECT_EQ(on.Program(), -1);
  EXPECT_EQ(on.MidiChannelIdx(), 0x92);

  IMidiMsg at(0, 0xA0, 61, 5);
  EXPECT_EQ(at.NoteNumber(), 61);
  EXPECT_EQ(at.Velocity(), -1);

  IMidiMsg pc(0, 0xC4, 12, 0);
  EXPECT_EQ(pc.Program(), 12);
  EXPECT_EQ(pc.NoteNumber(), -1);

  IMidiMsg cc(0, 0xB0, 74, 127);
  EXPECT_EQ(cc.ControlChangeIdx(), 74);
  EXPECT_DOUBLE_EQ(cc.ControlChange(74), 1.0);
  EXPECT_EQ(cc.ControlChange(75), -1.0);

  EXPECT_EQ(IMidiMsg(0, 0xE0, 0x00, 0x40).PitchWheel(), 0.0);
  EXPECT_DOUBLE_EQ(IMidiMsg(0, 0xE0, 0x7F, 0x7F).PitchWheel(), 8191.0 / 8192.0);
  EXPECT_EQ(IMidiMsg(0, 0xB0, 0x7F, 0x7F).PitchWheel(), 0.0);

  EXPECT_EQ(IMidiMsg(0, 0xF8, 0, 0).StatusMsg(), IMidiMsg::kNone);
  EXPECT_EQ(IMidiMsg(0, 0x45, 0, 0).StatusMsg(), IMidiMsg::kNone);
  EXPECT_EQ(IMidiMsg(0, 0xEF, 0, 0).StatusMsg(), IMidiMsg::kPitchWheel);

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

std::vector<int> drainOffsets(IMidiQueue& q, std::vector<int>* data1 = nullptr) {
  std::vector<int> r;
  while (!q.Empty()) {
    r.push_back(q.Peek()->mOffset);
    if (data1) data1->push_back(q.Peek()->mData1);
    q.Remove();
  }
  return r;
}

TEST(IMidiQueue, OrdersByOffsetAndKeepsEqualOffsetsInAddingOrder) {
  IMidiQueue q;
  int tag = 0;
  for (int off : {5, 3, 5, 0}) q.Add(IMidiMsg(off, 0x90, static_cast<uint8_t>(tag++), 1));
  std::vector<int> tags;
  EXPECT_EQ(drainOffsets(q, &tags), (std::vector<int>{0, 3, 5, 5}));
  EXPECT_EQ(tags, (std::vector<int>{3, 1, 0, 2}));

  // Inserting before a consumed front never lands before front.
  IMidiQueue q2;
  q2.Add(IMidiMsg(10, 0x90, 1, 1));
  q2.Add(IMidiMsg(20, 0x90, 2, 1));
  q2.Remove();
  q2.Add(IMidiMsg(1, 0x90, 3, 1));
  tags.clear();
  EXPECT_EQ(drainOffsets(q2, &tags), (std::vector<int>{1, 20}));
  EXPECT_EQ(tags, (std::vector<int>{3, 2}));
  EXPECT_FALSE(q2.Add(nullptr));
}

TEST(IMidiQueue, GrowsByBlocksAndCompactsBeforeGrowing) {
  IMidiQueue q;
  EXPECT_EQ(q.GetCapacity(), 1024);
  EXPECT_EQ(q.GetGrowBlock(), 1024);
  for (int i = 0; i < 1024; ++i) q.Add(IMidiMsg(i, 0xB0, 1, 1));
  EXPECT_EQ(q.GetCapacity(), 1024);
  q.Add(IMidiMsg(2000, 0xB0, 1, 1));
  EXPECT_EQ(q.GetCapacity(), 2048);
  EXPECT_EQ(q.ToDo(), 1025);

  IMidiQueue full(512);
  full.Resize(512);
  for (int i = 0; i < 512; ++i) full.Add(IMidiMsg(i, 0xB0, 1, 1));
  for (int i = 0; i < 10; ++i) full.Remove();
  full.Add(IMidiMsg(600, 0xB0, 9, 1));
  EXPECT_EQ(full.GetCapacity(), 512);  // compacted, not grown
  EXPECT_EQ(full.GetFront(), 0);
  EXPECT_EQ(full.ToDo(), 503);
  EXPECT_EQ(full.At(0)->mOffset, 10);
  EXPECT_EQ(full.At(502)->mOffset, 600);
}

TEST(IMidiQueue, ResizeRoundsToWholePagesAndNeverBelowHeldMessages) {
  IMidiQueue q;
  q.Resize(64);
  EXPECT_EQ(q.GetCapacity(), 512);
  EXPECT_EQ(q.GetGrowBlock(), 512);
  q.Resize(1024);
  EXPECT_EQ(q.GetCapacity(), 1024);
  q.Resize(1000);
  EXPECT_EQ(q.GetCapacity(), 1024);
  EXPECT_EQ(q.GetGrowBlock(), 1024);
  // Sizes below 1 count as 1: the queue still takes messages.
  q.Resize(0);
  EXPECT_EQ(q.GetCapacity(), 512);
  EXPECT_EQ(q.GetGrowBlock(), 512);
  q.Resize(-5);
  EXPECT_EQ(q.GetGrowBlock(), 512);
  for (int i = 0; i < 600; ++i) EXPECT_TRUE(q.Add(IMidiMsg(i, 0xB0, 1, 1)));
  EXPECT_EQ(q.GetCapacity(), 1024);

  // More held than the new size: capacity follows the held count.
  q.Remove();
  q.Resize(64);
  EXPECT_EQ(q.GetFront(), 0);
  EXPECT_EQ(q.ToDo(), 599);
  EXPECT_EQ(q.GetCapacity(), 1024);
  EXPECT_EQ(q.GetGrowBlock(), 512);
  EXPECT_EQ(q.At(0)->mOffset, 1);

  EXPECT_EQ(IMidiQueue::RoundToStep(INT32_MAX) % 512, 0);
}

TEST(IMidiQueue, FlushKeepsDistanceIntoTheNextBlock) {
  IMidiQueue q;
  q.Add(IMidiMsg(100, 0xB0, 1, 1));
  q.Add(IMidiMsg(512, 0xB0, 2, 1));
  q.Add(IMidiMsg(600, 0xB0, 3, 1));
  while (!q.Empty() && q.Peek()->mOffset < 512) q.Remove();
  q.Flush(512);
  EXPECT_EQ(q.GetFront(), 0);
  EXPECT_EQ(drainOffsets(q), (std::vector<int>{0, 88}));

  IMidiQueue extreme;
  extreme.Add(IMidiMsg(INT32_MIN + 1, 0xB0, 1, 1));
  extreme.Flush(512);
  EXPECT_EQ(extreme.Peek()->mOffset, INT32_MIN);
}

// ---- allocation counting through the heap buffer hooks

std::atomic<int> g_allocs{0};
void* countingRealloc(void* p, size_t n) {
  ++g_allocs;
  return std::realloc(p, n);
}
void* countingMalloc(size_t n) {
  ++g_allocs;
  return std::malloc(n);
}
const KIT_HeapBuf::Allocator kCounting = {countingRealloc, countingMalloc, std::free};

struct CountingAllocator {
  CountingAllocator() {
    g_allocs = 0;
    KIT_HeapBuf::SetAllocator(&kCounting);
  }
  ~CountingAllocator() { KIT_HeapBuf::SetAllocator(nullptr); }
};

TEST(IMidiQueue, DoesNotAllocateOnceResized) {
  CountingAllocator counting;
  IMidiQueue q;
  q.Resize(512);
  const int afterResize = g_allocs;
  EXPECT_GE(afterResize, 1);
  // Many blocks of adds (in and out of order) and drains within capacity.
  for (int block = 0; block < 200; ++block) {
    for (int i = 0; i < 256; ++i) q.Add(IMidiMsg((i * 37) % 700, 0xB0, 1, 1));
    while (!q.Empty() && q.Peek()->mOffset < 512) q.Remove();
    q.Flush(512);
  }
  EXPECT_EQ(g_allocs, afterResize);
  EXPECT_EQ(q.GetCapacity(), 512);
  // Growing well past the allocation does go through the hook, so the count
  // above is meaningful.
  while (q.GetCapacity() < 8192) q.Add(IMidiMsg(0, 0xB0, 1, 1));
  EXPECT_GT(g_allocs, afterResize);
}

void* failingRealloc(void*, size_t) { return nullptr; }
void* failingMalloc(size_t) { return nullptr; }
const KIT_HeapBuf::Allocator kFailing = {failingRealloc, failingMalloc, std::free};

TEST(IMidiQueue, DropsTheMessageWhenItCannotGrow) {
  IMidiQueue q(512);
  for (int i = 0; i < 512; ++i) q.Add(IMidiMsg(i, 0xB0, 1, 1));
  KIT_HeapBuf::SetAllocator(&kFailing);
  EXPECT_FALSE(q.Add(IMidiMsg(5, 0xB0, 2, 1)));
  q.Resize(4096);  // fails too: capacity unchanged
  KIT_HeapBuf::SetAllocator(nullptr);
  EXPECT_EQ(q.GetCapacity(), 512);
  EXPECT_EQ(q.ToDo(), 512);
  EXPECT_EQ(q.At(5)->mData1, 1);
}

}  // namespace
