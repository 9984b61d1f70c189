#include <gtest/gtest.h>

#include <memory>
#include <tuple>
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

TEST(Channels, ParsesTheChannelStringAndChecksLegalIO) {
  struct Case {
    const char* io;
    int nIO, nIn, nOut;
  } cases[] = {{"2-2", 1, 2, 2}, {"1-1 2-2", 2, 2, 2}, {"0-4 x", 2, 0, 4}, {nullptr, 0, 0, 0}};  // "x" counts as 0-0
  for (const Case& c : cases) {
    TestPlug plug(0, 1, 0, c.io);
    EXPECT_EQ(std::make_tuple(plug.NChannelIO(), plug.NInChannels(), plug.NOutChannels()),
              std::make_tuple(c.nIO, c.nIn, c.nOut))
        << (c.io ? c.io : "null");
  }
  // {io, inputs, outputs, legal}; -1 matches any count.
  const std::tuple<const char*, int, int, bool> legal[] = {
      {"2-2", 1, -1, false}, {"2-2", 2, -1, true},   {"2-2", -1, -1, true},   {"2-2", 2, 2, true},
      {"2-2", 2, 1, false},  {"1-1 2-2", 1, 1, true}, {nullptr, -1, -1, false}};
  for (auto [io, nIn, nOut, ok] : legal)
    EXPECT_EQ(TestPlug(0, 1, 0, io).LegalIO(nIn, nOut), ok) << (io ? io : "null") << " " << nIn << "-" << nOut;
  TestPlug stereo(0, 1, 0, "2-2"), two(0, 1, 0, "1-1 2-2");
  EXPECT_FALSE(stereo.IsInChannelConnected(0) || stereo.IsOutChannelConnected(5));
  EXPECT_EQ(two.GetChannelIO(0)->mNOut, 1);
  EXPECT_EQ(two.GetChannelIO(1)->mNIn, 2);
  EXPECT_EQ(two.GetChannelIO(2), nullptr);
}

TEST(Channels, ConnectionsAndAttachedBuffersAreCutAtTheChannelCount) {
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

  // Disconnected channels read their scratch buffer; first + n beyond the
  // count is cut; float input is converted into the scratch buffer.
  TestPlug stereo(0, 1, 0, "2-2");
  stereo.SetBlockSize(8);
  stereo.SetInputChannelConnections(1, 1, true);
  double a[8] = {1}, b[8] = {2};
  double* host[2] = {a, b};
  stereo.AttachInputBuffers(0, 2, host, 8);
  EXPECT_EQ(stereo.GetInputData()[1], a);  // first host pointer to channel 1
  EXPECT_NE(stereo.GetInputData()[0], nullptr);
  stereo.SetInputChannelConnections(0, 2, true);
  stereo.AttachInputBuffers(1, 5, host, 8);  // cut: only channel 1
  EXPECT_EQ(stereo.GetInputData()[1], a);
  float fa[8] = {0.5f, -0.25f};
  float* fhost[1] = {fa};
  stereo.AttachInputBuffers(0, 1, fhost, 8);
  EXPECT_EQ(stereo.GetInputData()[0][0], 0.5);
  EXPECT_EQ(stereo.GetInputData()[0][1], -0.25);
}

TEST(Channels, BlockSizeResizesAndZeroesOnlyOnChange) {
  TestPlug plug(0, 1, 0, "1-1");
  plug.SetBlockSize(4);
  ASSERT_NE(plug.GetInputData()[0], nullptr);
  plug.GetInputData()[0][0] = 9.0;
  plug.SetBlockSize(4);
  EXPECT_EQ(plug.GetInputData()[0][0], 9.0);  // not zeroed again
  plug.SetBlockSize(-1);
  EXPECT_EQ(plug.GetBlockSize(), 4);
  plug.SetBlockSize(16);
  EXPECT_EQ(plug.GetInputData()[0][0], 0.0);
}

TEST(Channels, DefaultProcessCopiesZeroesConvertsAndAccumulates) {
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

  auto mono = connected("1-1", 4, 1, 1);
  float fin[4] = {0.5f, 1, 2, 3}, fout[4] = {10, 10, 10, 10};
  float* fins[1] = {fin};
  float* fouts[1] = {fout};
  for (int pass = 0; pass < 2; ++pass) {
    mono->AttachInputBuffers(0, 1, fins, 4);
    mono->AttachOutputBuffers(0, 1, fouts);
    pass ? mono->ProcessBuffersAccumulating(0.0f, 4) : mono->ProcessBuffers(0.0f, 4);
    EXPECT_EQ(std::vector<float>({fout[0], fout[3]}), std::vector<float>({0.5f * (pass + 1), 3.0f * (pass + 1)}));
  }
  mono->PassThroughBuffers(0.0f, 4);
  EXPECT_EQ(fout[3], 3.0f);

  // The host announced 4 samples and sends 64: scratch buffers grow.
  auto longer = connected("2-2", 4, 1, 1);
  std::vector<float> lin(64, 0.25f), lout(64, 0.0f);
  float* lins[1] = {lin.data()};
  float* louts[1] = {lout.data()};
  longer->AttachInputBuffers(0, 2, lins, 64);
  longer->AttachOutputBuffers(0, 2, louts);
  longer->ProcessBuffers(0.0f, 64);
  EXPECT_EQ(lout[63], 0.25f);
  longer->ProcessBuffers(0.0, -5);  // a negative count processes nothing
}

}  // namespace
