// The messages a control action sends for a value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hardware/ParameterList.h"
#include "uiconfig/ControlActionEncoder.h"

namespace {

using Bytes = std::vector<int>;

// The channel messages as bytes, three per message.
Bytes channelBytes(const EncodedMessages& m) {
  Bytes b;
  for (int i = 0; i < m.channelCount; ++i) b.insert(b.end(), {m.channel[i].mStatus, m.channel[i].mData1, m.channel[i].mData2});
  return b;
}

ControlAction ccAction(int type, int cc) {
  ControlAction a;
  a.type = type;
  a.ccNumber = cc;
  return a;
}

TEST(Encoder, ControlChanges) {
  EncodedMessages out;
  ControlAction nrpn = ccAction(3, 6);
  nrpn.msbValue = 1;
  nrpn.lsbControl = 20;
  nrpn.lsbValue = 64;
  ASSERT_TRUE(encodeControlAction(nrpn, 60, 10.9, 0, 0, 0, out));
  EXPECT_EQ(channelBytes(out), (Bytes{0xB0, 0x63, 0x01, 0xB0, 0x62, 0x14, 0xB0, 0x06, 0x4A}));

  // Type 1: the value and its parameter's offset, limited to 0..127.
  struct Case {
    int param;
    double value;
    int channel, data;
  };
  for (const Case& c : {Case{kOscillator1Semitone, 10, 0, 26}, Case{kOscillator3Semitone, 96, 0, 112},
                        Case{kArpSwing, 100, 0, 114}, Case{kArpDelay, 0, 0, 14}, Case{kArpClock, 3, 0, 4},
                        Case{kArpClock, 126.5, 0, 127}, Case{kArpClock, 127, 0, 127}, Case{kFilterCutoff, 63.7, 15, 63},
                        Case{kFilterCutoff, 200, 3, 127}, Case{kFilterCutoff, -4, 3, 0}}) {
    ASSERT_TRUE(encodeControlAction(ccAction(1, 74), c.param, c.value, 0, c.channel, 0, out));
    EXPECT_EQ(channelBytes(out), (Bytes{0xB0 | c.channel, 74, c.data})) << c.param << " " << c.value;
  }
  for (int v = 0; v <= 127; ++v) {
    encodeControlAction(ccAction(1, 5), kFilterCutoff, v, 0, 0, 0, out);
    ASSERT_EQ(out.channel[0].mData2, v);
  }

  // Type 2: the minimum for 0.0, the maximum for anything else.
  ControlAction onOff = ccAction(2, 64);
  onOff.minValue = 0;
  onOff.maxValue = 127;
  for (auto [value, data] : {std::pair{0.0, 0}, std::pair{0.4, 127}, std::pair{1.0, 127}}) {
    encodeControlAction(onOff, kSustainSwitch, value, 0, 1, 0, out);
    EXPECT_EQ(channelBytes(out), (Bytes{0xB1, 64, data}));
  }
  for (int type : {0, 4, 7}) EXPECT_FALSE(encodeControlAction(ccAction(type, 1), 0, 1, 0, 0, 0, out));
  EXPECT_TRUE(out.empty());
}

TEST(Encoder, SystemExclusive) {
  ControlAction a;
  a.type = 6;
  for (int v = 0; v < 3; ++v) a.sysExMessage.messages.push_back({0x3E, 0x16, 0x58, 0x41, 0x00, 0x05, v, 0x00});
  EncodedMessages out;

  // The device ID into element 2 for 0..127 (0 included); -1 and 200 leave it.
  for (auto [device, element2] : {std::pair{0, 0}, std::pair{5, 5}, std::pair{127, 127}, std::pair{-1, 0x58},
                                  std::pair{200, 0x58}}) {
    ASSERT_TRUE(encodeControlAction(a, 216, 1, 0, 0, device, out));
    ASSERT_EQ(out.sysexCount(), 1u);
    EXPECT_EQ(out.sysex(0), (Bytes{0x3E, 0x16, element2, 0x41, 0x00, 0x05, 1, 0x00})) << device;
  }
  EXPECT_EQ(out.sysexSize(0) + 2, 10u);  // framed
  EXPECT_EQ(out.channelCount, 0);

  // The message is numbered from the parameter's minimum; outside the list, nothing.
  for (auto [value, min, sent] : {std::tuple{-1.0, -1.0, 0}, std::tuple{1.0, -1.0, 2}, std::tuple{2.0, 1.0, 1},
                                  std::tuple{2.0, -1.0, -1}, std::tuple{-2.0, -1.0, -1}, std::tuple{0.5, 1.0, -1}}) {
    const bool any = encodeControlAction(a, 216, value, min, 0, 0, out);
    EXPECT_EQ(any, sent >= 0) << value << " " << min;
    if (any) {
      EXPECT_EQ(out.sysex(0)[6], sent);
    }
  }
  ControlAction linkMade;  // a record the link step made: type 6, no messages
  linkMade.type = 6;
  EXPECT_FALSE(encodeControlAction(linkMade, 216, 0, 0, 0, 0, out));

  // 41 43|53 00|01 10 at elements 3-6 of a value message sends 7F 7F in 6 and 7.
  for (auto [b4, b5, type, rewritten] : {std::tuple{0x43, 0, 6, true}, std::tuple{0x53, 1, 6, true},
                                          std::tuple{0x44, 0, 6, false}, std::tuple{0x43, 2, 6, false},
                                          std::tuple{0x43, 0, 5, false}}) {
    ControlAction r;
    r.type = type;
    r.sysExMessage.messages = {{0x3E, 0x16, 0x58, 0x41, b4, b5, 0x10, 0x00}};
    encodeControlAction(r, 216, 0, 0, 0, 0, out);
    EXPECT_EQ(out.sysex(0)[6] == 0x7F && out.sysex(0)[7] == 0x7F, rewritten) << b4 << " " << b5 << " " << type;
  }

  // A group goes out message by message, each with the device ID.
  ControlAction g;
  g.type = 6;
  g.sysExMessage.multiMessage = true;
  g.sysExMessage.messageLists = {{{1, 2, 3}}, {{4, 5, 6, 7}, {8, 9, 10}, {11, 12}}};
  ASSERT_TRUE(encodeControlAction(g, 216, 1, 0, 0, 9, out));
  ASSERT_EQ(out.sysexCount(), 3u);
  EXPECT_EQ(out.sysex(0), (Bytes{4, 5, 9, 7}));
  EXPECT_EQ(out.sysex(1), (Bytes{8, 9, 9}));
  EXPECT_EQ(out.sysex(2), (Bytes{11, 12}));
  EXPECT_FALSE(encodeControlAction(g, 216, 2, 0, 0, 9, out));
}

}  // namespace
