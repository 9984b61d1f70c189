#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework_fakes.h"

namespace {

using fwtest::TestPlug;

// A plug-in with the given channel string and block size, the first nIn
// inputs and nOut outputs connected.
std::unique_ptr<TestPlug> connected(const char* io, int blockSize, int nIn, int nOut) {
  auto plug = std::make_unique<TestPlug>(0, 1, 0, io);
  plug->SetBlockSize(blockSize);
  plug->SetInputChannelConnections(0, nIn, true);
  plug->SetOutputChannelConnections(0, nOut, true);
  return plug;
}

TEST(Channels, ParsesTheChannelString) {
  struct Case {
    const char* io;
    int nIO, nIn, nOut;
  } cases[] = {{"2-2", 1, 2, 2}, {"1-1 2-2", 2, 2, 2}, {"0-4 x", 2, 0, 4}, {nullptr, 0, 0, 0}};  // "x" counts as 0-0
  for (const Case& c : cases) {
    TestPlug plug(0, 1, 0, c.io);
    SCOPED_TRACE(c.io ? c.io : "null");
    EXPECT_EQ(plug.NChannelIO(), c.nIO);
    EXPECT_EQ(plug.NInChannels(), c.nIn);
    EXPECT_EQ(plug.NOutChannels(), c.nOut);
  }
  TestPlug stereo(0, 1, 0, "2-2");
  EXPECT_FALSE(stereo.LegalIO(1, -1));
  EXPECT_TRUE(stereo.LegalIO(2, -1));
  EXPECT_TRUE(stereo.LegalIO(-1, -1));
  EXPECT_TRUE(stereo.LegalIO(2, 2));
  EXPECT_FALSE(stereo.LegalIO(2, 1));
  EXPECT_FALSE(stereo.IsInChannelConnected(0));
  EXPECT_FALSE(stereo.IsOutChannelConnected(5));

  TestPlug two(0, 1, 0, "1-1 2-2");
  EXPECT_EQ(two.GetChannelIO(0)->mNOut, 1);
  EXPECT_EQ(two.GetChannelIO(1)->mNIn, 2);
  EXPECT_EQ(two.GetChannelIO(2), nullptr);
  EXPECT_TRUE(two.LegalIO(1, 1));
  EXPECT_FALSE(TestPlug(0, 1, 0, nullptr).LegalIO(-1, -1));
}

TEST(Channels, ConnectionsAreCutAtTheChannelCount) {
  TestPlug plug(0, 1, 0, "4-4");
  plug.SetInputChannelConnections(0, 10, true);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(plug.IsInChannelConnected(i));
  plug.SetInputChannelConnections(-2, 3, false);
  EXPECT_FALSE(plug.IsInChannelConnected(0));
  plug.LimitToStereoIO();
  const bool in[] = {false, true, false, false}, out[] = {false, false, true, true};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(plug.IsInChannelConnected(i), in[i]) << i;
    EXPECT_EQ(plug.IsOutChannelConnected(i), out[i]) << i;
  }
}

TEST(Channels, AttachSkipsDisconnectedChannelsAndStopsAtTheCount) {
  TestPlug plug(0, 1, 0, "2-2");
  plug.SetBlockSize(8);
  plug.SetInputChannelConnections(1, 1, true);
  double a[8] = {1}, b[8] = {2};
  double* host[2] = {a, b};
  plug.AttachInputBuffers(0, 2, host, 8);
  EXPECT_EQ(plug.GetInputData()[1], a);       // first host pointer to channel 1
  EXPECT_NE(plug.GetInputData()[0], nullptr);  // channel 0 reads its scratch
  plug.SetInputChannelConnections(0, 2, true);
  plug.AttachInputBuffers(1, 5, host, 8);  // cut: only channel 1
  EXPECT_EQ(plug.GetInputData()[1], a);

  // Float input is converted into the scratch buffer.
  float fa[8] = {0.5f, -0.25f};
  float* fhost[1] = {fa};
  plug.AttachInputBuffers(0, 1, fhost, 8);
  EXPECT_EQ(plug.GetInputData()[0][0], 0.5);
  EXPECT_EQ(plug.GetInputData()[0][1], -0.25);
}

TEST(Channels, BlockSizeResizesAndZeroesOnlyOnChange) {
  TestPlug plug(0, 1, 0, "1-1");
  plug.SetBlockSize(4);
  EXPECT_EQ(plug.GetBlockSize(), 4);
  ASSERT_NE(plug.GetInputData()[0], nullptr);
  plug.GetInputData()[0][0] = 9.0;
  plug.SetBlockSize(4);
  EXPECT_EQ(plug.GetInputData()[0][0], 9.0);  // not zeroed again
  plug.SetBlockSize(-1);
  EXPECT_EQ(plug.GetBlockSize(), 4);
  plug.SetBlockSize(16);
  EXPECT_EQ(plug.GetInputData()[0][0], 0.0);
}

TEST(Channels, DefaultProcessCopiesAndZeroes) {
  auto plug = connected("2-4", 4, 2, 4);
  double in0[4] = {1, 2, 3, 4}, in1[4] = {5, 6, 7, 8};
  double out[4][4];
  for (auto& o : out)
    for (double& s : o) s = 99;
  double* ins[2] = {in0, in1};
  double* outs[4] = {out[0], out[1], out[2], out[3]};
  plug->AttachInputBuffers(0, 2, ins, 4);
  plug->AttachOutputBuffers(0, 4, outs);
  plug->ProcessBuffers(0.0, 4);
  EXPECT_EQ(out[0][3], 4.0);
  EXPECT_EQ(out[1][0], 5.0);
  for (int c = 2; c < 4; ++c)
    for (double s : out[c]) EXPECT_EQ(s, 0.0);
}

TEST(Channels, FloatBlocksConvertAndAccumulate) {
  auto plug = connected("1-1", 4, 1, 1);
  float in[4] = {0.5f, 1, 2, 3};
  float out[4] = {10, 10, 10, 10};
  float* ins[1] = {in};
  float* outs[1] = {out};
  plug->AttachInputBuffers(0, 1, ins, 4);
  plug->AttachOutputBuffers(0, 1, outs);
  plug->ProcessBuffers(0.0f, 4);
  EXPECT_EQ(out[0], 0.5f);
  EXPECT_EQ(out[3], 3.0f);
  plug->AttachInputBuffers(0, 1, ins, 4);
  plug->AttachOutputBuffers(0, 1, outs);
  plug->ProcessBuffersAccumulating(0.0f, 4);
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_EQ(out[3], 6.0f);
  plug->PassThroughBuffers(0.0f, 4);
  EXPECT_EQ(out[3], 3.0f);
}

TEST(Channels, LongerBlockThanAnnouncedDoesNotOverrun) {
  // The host announced 4 samples and sends 64: scratch buffers grow.
  auto plug = connected("2-2", 4, 1, 1);
  std::vector<float> in(64, 0.25f), out(64, 0.0f);
  float* ins[1] = {in.data()};
  float* outs[1] = {out.data()};
  plug->AttachInputBuffers(0, 2, ins, 64);
  plug->AttachOutputBuffers(0, 2, outs);
  plug->ProcessBuffers(0.0f, 64);
  EXPECT_EQ(out[63], 0.25f);
  plug->ProcessBuffers(0.0, -5);  // a negative count processes nothing
}

}  // namespace
