#include <gtest/gtest.h>

#include "hardware/ControlContainers.h"

namespace {

// Controls are only held, never used: any distinct addresses will do.
int g_slots[4];
IControl* control(int i) { return reinterpret_cast<IControl*>(&g_slots[i]); }

TEST(SysExControlContainer, LaterBindingReplacesAndLookupIsExact) {
  SysExControlContainer c;
  EXPECT_EQ(c.findControl(0, 0, 0, 0, 0), nullptr);
  EXPECT_TRUE(c.empty()) << "a lookup made an entry";
  const unsigned char key[4] = {0x58, 0x41, 0x01, 0x22};
  c.addToControlMap(key, 0, control(0));
  EXPECT_EQ(c.findControl(0x58, 0x41, 0x01, 0x22, 0), control(0));
  c.addToControlMap(key, 0, control(1));
  c.addToControlMap(key, 1, control(2));
  EXPECT_EQ(c.findControl(0x58, 0x41, 0x01, 0x22, 0), control(1));
  EXPECT_EQ(c.findControl(0x58, 0x41, 0x01, 0x22, 1), control(2));
  // A miss at any level finds nothing.
  EXPECT_EQ(c.findControl(0x58, 0x41, 0x01, 0x22, 2), nullptr);
  EXPECT_EQ(c.findControl(0x58, 0x41, 0x01, 0x23, 0), nullptr);
  EXPECT_EQ(c.findControl(0x59, 0x41, 0x01, 0x22, 0), nullptr);

  // Keys are ints: a byte read as a signed char would be negative and never
  // matches.
  const unsigned char high[4] = {0xC8, 0xFF, 0x80, 0x00};
  c.addToControlMap(high, 0xFF, control(3));
  EXPECT_EQ(c.findControl(200, 255, 128, 0, 255), control(3));
  EXPECT_EQ(c.findControl(-56, -1, -128, 0, -1), nullptr);
  EXPECT_EQ(c.findControl(200, 255, 128, 0, -1), nullptr);
}

struct FakeAction {
  int channel, msbValue, lsbValue, lsbControl, mixerFlag;
};

TEST(NRPNControlContainer, BindsUnderTheActionsFiveKeysInOrder) {
  NRPNControlContainer c;
  const FakeAction a{1, 2, 3, 4, 0};
  c.addToControlMap(&a, control(0));
  EXPECT_EQ(c.findControl(1, 2, 3, 4, 0), control(0));
  EXPECT_EQ(c.findControl(1, 2, 4, 3, 0), nullptr);  // offset and LSB number are distinct levels
  const FakeAction same{1, 2, 3, 4, 0};
  c.addToControlMap(&same, control(1));
  c.addToControlMap(1, 2, 3, 4, 1, control(2));
  EXPECT_EQ(c.findControl(1, 2, 3, 4, 0), control(1));
  EXPECT_EQ(c.findControl(1, 2, 3, 4, 1), control(2));
}

TEST(CCControlMap, ChannelNumberAndMixerFlag) {
  CCControlMap m;
  EXPECT_EQ(m.findControl(0, 74, 0), nullptr);
  m.addToControlMap(0, 74, 0, control(0));
  m.addToControlMap(0, 74, 1, control(1));
  m.addToControlMap(0, 74, 0, control(2));
  EXPECT_EQ(m.findControl(0, 74, 0), control(2));
  EXPECT_EQ(m.findControl(0, 74, 1), control(1));
  EXPECT_EQ(m.findControl(1, 74, 0), nullptr);
}

}  // namespace
