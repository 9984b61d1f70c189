#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

#include "hardware/SysexProtocol.h"

namespace {

using Bytes = std::vector<uint8_t>;
using sysex::Location;
using sysex::MessageKind;

MessageKind kindOf(const Bytes& b) { return sysex::classify(b.data(), b.size()).kind; }

TEST(SysexCatalogue, RequestsOnTheWire) {
  EXPECT_EQ(sysex::globalRequest(5), (Bytes{0x3E, 0x16, 0x05, 0x04}));
  EXPECT_EQ(sysex::frameSysex(sysex::globalRequest(5)), (Bytes{0xF0, 0x3E, 0x16, 0x05, 0x04, 0xF7}));
  EXPECT_EQ(sysex::soundRequest(0, sysex::encodeLocation(1, 30)), (Bytes{0x3E, 0x16, 0x00, 0x00, 0x01, 0x02}));
  EXPECT_EQ(sysex::frameSysex(sysex::soundRequest(9, sysex::encodeLocation(2, 60))),
            (Bytes{0xF0, 0x3E, 0x16, 0x09, 0x00, 0x02, 0x04, 0xF7}));
  EXPECT_EQ(sysex::frameSysex(sysex::editBufferRequest(0x7E)), (Bytes{0xF0, 0x3E, 0x16, 0x7E, 0x00, 0x7F, 0x00, 0xF7}));
  // A device beyond 7 bits never puts a status byte into a request.
  EXPECT_EQ(sysex::globalRequest(0x80)[2], 0x7F);
  // Framing adds start and end only to unframed bytes.
  EXPECT_EQ(sysex::frameSysex(Bytes{}), (Bytes{0xF0, 0xF7}));
  EXPECT_EQ(sysex::frameSysex(nullptr, 4), (Bytes{0xF0, 0xF7}));
  const Bytes framed = {0xF0, 0x3E, 0x16, 0x00, 0x04, 0xF7};
  EXPECT_EQ(sysex::frameSysex(framed), framed);
}

TEST(SysexCatalogue, DumpsAndSingleParameterFrames) {
  uint8_t settings[sysex::kGlobalSettingsCount];
  for (size_t i = 0; i < sizeof settings; ++i) settings[i] = static_cast<uint8_t>(i * 4);  // 124 last
  settings[3] = 0xFF;                                                                   // held to 7F
  const Bytes g = sysex::globalDump(2, settings, 0x11);
  ASSERT_EQ(g.size(), sysex::kGlobalDumpLength);
  EXPECT_EQ((Bytes{g.begin(), g.begin() + 5}), (Bytes{0xF0, 0x3E, 0x16, 0x02, 0x14}));
  EXPECT_EQ(g[5], 0x00);
  EXPECT_EQ(g[8], 0x7F);
  EXPECT_EQ(g[36], 124);
  EXPECT_EQ(g[37], 0x11);
  EXPECT_EQ(g[38], 0xF7);

  EXPECT_EQ(sysex::singleParameterChange(0x01, 0x22, 0x40, 0x00),
            (Bytes{0xF0, 0x3E, 0x16, 0x58, 0x41, 0x01, 0x22, 0x40, 0x00, 0xF7}));
  EXPECT_EQ(sysex::singleParameterChange(0x01, 0x22, 0x90)[7], 0x7F);
}

TEST(SysexCatalogue, ClassifiesEveryMessageAndRejectsNearMisses) {
  const Bytes global = sysex::frameSysex(sysex::globalRequest(3));
  const Bytes sound = sysex::frameSysex(sysex::soundRequest(3, sysex::encodeLocation(4, 99)));
  const Bytes edit = sysex::frameSysex(sysex::editBufferRequest(3));
  EXPECT_EQ(kindOf(global), MessageKind::GlobalRequest);
  EXPECT_EQ(kindOf(edit), MessageKind::EditBufferRequest);
  const auto info = sysex::classify(sound.data(), sound.size());
  EXPECT_EQ(info.kind, MessageKind::SoundRequest);
  EXPECT_EQ(info.device, 3);
  EXPECT_EQ(info.location, (Location{0x03, 0x73}));

  Bytes dump(137, 0);
  dump[0] = 0xF0, dump[1] = 0x3E, dump[2] = 0x16, dump[3] = 1, dump[4] = 0x10, dump[136] = 0xF7;
  EXPECT_EQ(kindOf(dump), MessageKind::SoundDump);
  dump[2] = 0x0B;  // the previous model is accepted on input
  EXPECT_EQ(kindOf(dump), MessageKind::SoundDump);
  dump[3] = 0x80;
  EXPECT_EQ(kindOf(dump), MessageKind::Unknown);
  dump[3] = 1;
  dump[136] = 0x00;
  EXPECT_EQ(kindOf(dump), MessageKind::Unknown);

  uint8_t settings[sysex::kGlobalSettingsCount] = {};
  EXPECT_EQ(kindOf(sysex::globalDump(0, settings, 0)), MessageKind::GlobalDump);
  EXPECT_EQ(kindOf(sysex::singleParameterChange(1, 2, 3)), MessageKind::SingleParameter);

  Bytes wrongMaker = global;
  wrongMaker[1] = 0x3F;
  Bytes wrongCommand = global;
  wrongCommand[4] = 0x00;
  Bytes longer = sound;
  longer.insert(longer.end() - 1, 0x00);
  for (const Bytes& b : {wrongMaker, wrongCommand, longer, Bytes{0xF0, 0xF7}, Bytes{}, sysex::globalRequest(3)})
    EXPECT_EQ(kindOf(b), MessageKind::Unknown);
  EXPECT_EQ(sysex::classify(nullptr, 8).kind, MessageKind::Unknown);
}

TEST(SysexLocation, EncodesBankAndSlotInTwoSevenBitBytesAndDecodesEveryStoredSound) {
  constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
  // Out-of-range input never yields a byte with its top bit set.
  const std::tuple<int, int, Location> cases[] = {
      {0, 5, {0x00, 0x05}},     {1, 30, {0x01, 0x02}},   {2, 60, {0x02, 0x04}},    {1, 27, {0x00, 0x7F}},
      {1, 28, {0x01, 0x00}},    {4, 99, {0x03, 0x73}},   {0, 99, {0x00, 0x63}},    {-1, 5, {0x00, 0x05}},
      {-3, 99, {0x00, 0x63}},   {0, -1, {0x00, 0x00}},   {0, 100, {0x00, 0x63}},   {162, 99, {0x7F, 0x2B}},
      {163, 99, {0x7F, 0x7F}},  {kMax, 99, {0x7F, 0x7F}}, {kMin, kMin, {0x00, 0x00}}};
  for (const auto& [bank, slot, expected] : cases) EXPECT_EQ(sysex::encodeLocation(bank, slot), expected) << bank << "/" << slot;

  for (int bank = 0; bank < sysex::kStoredBanks; ++bank) {
    for (int slot = 0; slot < sysex::kSlotsPerBank; ++slot) {
      const Location l = sysex::encodeLocation(bank, slot);
      const auto d = sysex::decodeLocation(l.high, l.low);
      ASSERT_TRUE(d.stored && !d.editBuffer && d.bank == bank && d.program == slot) << bank << "/" << slot;
    }
  }
  const auto edit = sysex::decodeLocation(0x7F, 0x00);
  EXPECT_TRUE(edit.editBuffer);
  EXPECT_FALSE(edit.stored);
  const auto beyond = sysex::decodeLocation(0x03, 0x74);  // 500
  EXPECT_FALSE(beyond.stored || beyond.editBuffer);
  EXPECT_EQ(beyond.number, 500);
}

TEST(SysexDevice, ParameterValueBecomesASevenBitDeviceByte) {
  const std::pair<double, int> cases[] = {{-1.0, 0},    {0.0, 0},     {0.9, 0},          {5.7, 5},
                                          {126.0, 126}, {127.0, 127}, {300.0, 127},      {std::nan(""), 0},
                                          {std::numeric_limits<double>::infinity(), 127}};
  for (auto [value, device] : cases) EXPECT_EQ(sysex::deviceIdFromParameter(value), device) << value;
  EXPECT_TRUE(sysex::isValidDeviceByte(0x7F));
  EXPECT_FALSE(sysex::isValidDeviceByte(0x80));
}

TEST(SysexChecksum, SumsFromTheManufacturerToBeforeTheCheckByte) {
  EXPECT_EQ(calculateCheckSum(Bytes{}), 0);
  EXPECT_EQ(calculateCheckSum(Bytes{0xF0, 0x05, 0xF7}), 0);
  EXPECT_EQ(calculateCheckSum(Bytes{0xF0, 0x05, 0x00, 0xF7}), 5);
  EXPECT_EQ(sysex::calculateCheckSum(nullptr, 10), 0);

  // Bytes 1..L-3 summing to 300 give 300 mod 128; the start, the check byte
  // and the end do not count.
  Bytes m(10, 0);
  m[0] = 0xF0, m[1] = 100, m[2] = 100, m[7] = 100, m[8] = 0x55, m[9] = 0xF7;
  EXPECT_EQ(calculateCheckSum(m), 44);
  // Unsigned bytes: 0xFF counts as 255.
  m[3] = 0xFF;
  EXPECT_EQ(calculateCheckSum(m), (300 + 255) % 128);
}

TEST(SysexChecksum, SendPathWritesItOnlyIntoLongFramedMessages) {
  auto framed = [](size_t n) {
    Bytes m(n, 0x01);
    m.front() = 0xF0, m.back() = 0xF7, m[n - 2] = 0x00;
    return m;
  };
  Bytes seventy = framed(70);
  EXPECT_FALSE(sysex::applySendCheckSum(seventy.data(), seventy.size()));
  EXPECT_EQ(seventy, framed(70));

  Bytes seventyOne = framed(71);
  EXPECT_TRUE(sysex::applySendCheckSum(seventyOne.data(), seventyOne.size()));
  EXPECT_EQ(seventyOne[69], 68 % 128);  // bytes 1..68 are 1 each
  EXPECT_EQ(seventyOne[70], 0xF7);

  Bytes unframed(137, 0x01);
  unframed[0] = 0x3E;
  EXPECT_FALSE(sysex::applySendCheckSum(unframed.data(), unframed.size()));
  EXPECT_EQ(unframed[135], 0x01);
}

}  // namespace
