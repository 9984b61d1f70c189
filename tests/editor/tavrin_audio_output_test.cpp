// What the audio callback leaves in the host's buffers: silence on both
// replacing paths, nothing added on the accumulating one, the inputs as
// they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support_tavrin.h"

namespace {

template <class T>
struct Buffers {
  Buffers(int channels, int frames, T first) {
    for (int c = 0; c < channels; ++c) {
      std::vector<T> b(static_cast<size_t>(frames));
      for (int s = 0; s < frames; ++s) b[static_cast<size_t>(s)] = first + static_cast<T>(0.37 * (c * frames + s));
      data.push_back(std::move(b));
    }
    for (auto& b : data) pointers.push_back(b.data());
  }
  std::vector<std::vector<T>> data;
  std::vector<T*> pointers;
};

TEST(TavrinAudioOutput, ReplacingGivesSilenceAndAccumulatingAddsNothing) {
  edtest::Harness h(edtest::projectRoot());
  AEffect* effect = h.tavrin().GetAEffect();
  const int nIn = h.tavrin().NInChannels(), nOut = h.tavrin().NOutChannels();
  ASSERT_GT(nIn, 0);
  ASSERT_GT(nOut, 0);
  constexpr int kFrames = 64;

  Buffers<float> in(nIn, kFrames, 0.25f), out(nOut, kFrames, -3.0f);
  const auto input = in.data, garbage = out.data;
  effect->processReplacing(effect, in.pointers.data(), out.pointers.data(), kFrames);
  for (const auto& b : out.data) EXPECT_EQ(b, std::vector<float>(kFrames, 0.0f));
  EXPECT_EQ(in.data, input);

  for (size_t c = 0; c < garbage.size(); ++c) std::copy(garbage[c].begin(), garbage[c].end(), out.data[c].begin());
  effect->process(effect, in.pointers.data(), out.pointers.data(), kFrames);
  EXPECT_EQ(out.data, garbage);
  EXPECT_EQ(in.data, input);

  Buffers<double> din(nIn, kFrames, 0.5), dout(nOut, kFrames, 1e6);
  const auto dinput = din.data;
  effect->processDoubleReplacing(effect, din.pointers.data(), dout.pointers.data(), kFrames);
  for (const auto& b : dout.data) EXPECT_EQ(b, std::vector<double>(kFrames, 0.0));
  EXPECT_EQ(din.data, dinput);
}

}  // namespace
