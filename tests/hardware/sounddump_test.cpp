#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "hardware/SoundDump.h"

namespace {

using sounddump::Dump;
using sounddump::Locks;
using sounddump::ParameterWrite;
using sounddump::Snapshot;

// The INIT sound as the synthesizer documents it, sixteen bytes to a row.
const uint8_t kInitBytes[137] = {
    0xF0, 0x3E, 0x16, 0x00, 0x10, 0x7F, 0x00, 0x00, 0x7F, 0x40, 0x40, 0x01, 0x28, 0x00, 0x7F, 0x40,  //
    0x40, 0x01, 0x00, 0x00, 0x00, 0x40, 0x40, 0x00, 0x00, 0x40, 0x00, 0x40, 0x00, 0x0A, 0x00, 0x00,  //
    0x2A, 0x2A, 0x2A, 0x00, 0x02, 0x00, 0x2A, 0x7F, 0x2A, 0x00, 0x02, 0x00, 0x01, 0x25, 0x09, 0x00,  //
    0x00, 0x7F, 0x00, 0x40, 0x00, 0x40, 0x40, 0x00, 0x00, 0x40, 0x00, 0x64, 0x40, 0x02, 0x46, 0x00,  //
    0x00, 0x40, 0x0A, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00,  //
    0x40, 0x00, 0x00, 0x40, 0x00, 0x0A, 0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x03, 0x03, 0x06, 0x40,  //
    0x40, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32,  //
    0x32, 0x0F, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x01, 0x49, 0x4E, 0x49, 0x54, 0x20, 0x20, 0x20, 0x20,  //
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x2A, 0xF7,
};

// Applies writes as plain values, the way the editor does minus the
// parameters' own range limits.
void applyWrites(std::array<double, kParameterCount>& values, const std::vector<ParameterWrite>& writes) {
  for (const ParameterWrite& w : writes) {
    ASSERT_TRUE(isPluginParameter(w.param)) << w.param;
    values[static_cast<size_t>(w.param)] = w.value;
  }
}

std::optional<sounddump::Parsed> parseDump(const Dump& d, const Locks& locks = {}) {
  return sounddump::parse(d.data(), d.size(), locks);
}

double valueAfter(const std::vector<ParameterWrite>& writes, int param) {
  double v = std::nan("");
  for (const ParameterWrite& w : writes)
    if (w.param == param) v = w.value;
  return v;
}

bool writes(const std::vector<ParameterWrite>& ws, int param) {
  return std::any_of(ws.begin(), ws.end(), [&](const ParameterWrite& w) { return w.param == param; });
}

Locks lockOnly(int lockParam, double value = 1.0) {
  Locks l;
  l.values[static_cast<size_t>(lockParam - kFirstSectionLock)] = value;
  return l;
}

TEST(SoundDumpInit, TemplateIsTranscribedByteForByte) {
  ASSERT_EQ(sounddump::initSinglePatch.size(), sizeof kInitBytes);
  for (size_t i = 0; i < sizeof kInitBytes; ++i) EXPECT_EQ(sounddump::initSinglePatch[i], kInitBytes[i]) << i;
  // Its stored check byte is stale: the sum says otherwise.
  EXPECT_NE(calculateCheckSum(std::vector<unsigned char>(kInitBytes, kInitBytes + 137)), 0x2A);
}

TEST(SoundDumpInit, ParsesToTheDocumentedSound) {
  const auto p = parseDump(sounddump::initSinglePatch);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->name, "INIT          ");
  EXPECT_EQ(p->name.size(), 14u);
  EXPECT_EQ(p->category, 0);
  EXPECT_EQ(p->categoryText, "NONE");
  EXPECT_TRUE(p->location.editBuffer);
  EXPECT_FALSE(writes(p->writes, kCurrentBank));
  EXPECT_FALSE(writes(p->writes, kCurrentPatch));

  std::array<double, kParameterCount> v{};
  applyWrites(v, p->writes);
  EXPECT_EQ(v[kCategoryName], 0.0);
  EXPECT_EQ(v[kArpClock], 8.0);
  for (int s = 0; s < 16; ++s) {
    EXPECT_EQ(v[kPatternStep01Event + s], 2.0);
    EXPECT_EQ(v[kPatternStep01Time + s], 3.0);
    EXPECT_EQ(v[kPatternStep01Glide + s], 0.0);
  }
  EXPECT_EQ(v[kOscillator1Semitone], 0x40 - 16);
  EXPECT_EQ(v[kOscillator1Pulsewidth], 127.0);
  EXPECT_EQ(v[kOscillator1Level], 40.0);
  EXPECT_EQ(v[kLFO1ShapeClock], 0.0);
  EXPECT_EQ(v[kLFO1Shape], 0.0);
  EXPECT_EQ(v[kArpTempo], 37.0);
  EXPECT_EQ(v[kVolume], 100.0);
  EXPECT_EQ(v[kModUnit1Amount], 70.0);
  EXPECT_EQ(v[kModUnit2Destination], 10.0);
  EXPECT_EQ(v[kPatternLength], 15.0);
  EXPECT_EQ(v[kAccentControl], 13.0);
  EXPECT_EQ(v[kArpOnOffIndicator], 0.0);
}

TEST(SoundDumpInit, WritingTheInitSoundGivesTheTemplateWithAFreshCheckByte) {
  const Dump d = sounddump::build(Snapshot::fromInitSound());
  Dump expected = sounddump::initSinglePatch;
  expected[135] = static_cast<uint8_t>(calculateCheckSum(std::vector<unsigned char>(d.begin(), d.end())));
  EXPECT_EQ(d, expected);
  EXPECT_EQ(d[46], 0x09);  // the arpeggiator clock survives the round trip
}

TEST(SoundDumpLayout, FieldsCoverTheSoundDataOnceEach) {
  const auto& f = sounddump::fields();
  std::set<int> params;
  for (size_t i = 0; i < f.size(); ++i) {
    EXPECT_EQ(f[i].offset, 7 + i);
    EXPECT_EQ(sounddump::fieldAt(f[i].offset), &f[i]);
    if (f[i].coding == sounddump::Coding::Constant) {
      EXPECT_TRUE(f[i].offset >= 88 && f[i].offset <= 91);
      continue;
    }
    EXPECT_TRUE(params.insert(f[i].param).second) << "parameter twice: " << f[i].param;
    EXPECT_GE(f[i].lock, kFirstSectionLock);
    EXPECT_LE(f[i].lock, kLastSectionLock);
  }
  EXPECT_EQ(sounddump::fieldAt(6), nullptr);
  EXPECT_EQ(sounddump::fieldAt(115), nullptr);
  // Every sound parameter but these is carried by its own byte.
  for (int p = 0; p <= kLastSoundParameter; ++p) {
    const bool absent = p == kMainVolume || p == kBreathControl || p == kModWheel || p == kLFO1Shape ||
                        p == kSustainSwitch;
    EXPECT_EQ(params.count(p), absent ? 0u : 1u) << p;
  }
  EXPECT_EQ(sounddump::fieldAt(26)->param, kLFO1ShapeClock);
  EXPECT_EQ(sounddump::fieldAt(47)->param, kArpPattern);
  EXPECT_EQ(sounddump::fieldAt(97)->param, kPatternStep01Event);
  EXPECT_EQ(sounddump::fieldAt(112)->param, kPatternStep16Event);
}

// Every parameter the dump carries, at the ends and the middle of the
// values it can carry, comes back as it went.
TEST(SoundDumpRoundTrip, EveryParameterAtMinimumMiddleAndMaximum) {
  std::vector<int> params;
  for (const auto& f : sounddump::fields()) {
    if (f.coding == sounddump::Coding::StepCode) {
      params.push_back(f.param);
      params.push_back(f.param + (kPatternStep01Time - kPatternStep01Event));
      params.push_back(f.param + (kPatternStep01Glide - kPatternStep01Event));
    } else if (f.param >= 0) {
      params.push_back(f.param);
    }
  }
  ASSERT_EQ(params.size(), 92u - 4u + 48u);
  for (int param : params) {
    const auto range = sounddump::codableRange(param);
    ASSERT_TRUE(range) << param;
    for (int value : {range->min, (range->min + range->max) / 2, range->max}) {
      Snapshot s = Snapshot::fromInitSound();
      s.values[static_cast<size_t>(param)] = value;
      const Dump d = sounddump::build(s);
      const auto p = parseDump(d);
      ASSERT_TRUE(p);
      std::array<double, kParameterCount> back = Snapshot::fromInitSound().values;
      applyWrites(back, p->writes);
      EXPECT_EQ(back[static_cast<size_t>(param)], value) << "parameter " << param;
      // Nothing else moved.
      for (int other : params) {
        if (other == param) continue;
        ASSERT_EQ(back[static_cast<size_t>(other)], s.values[static_cast<size_t>(other)]) << other;
      }
    }
  }
  EXPECT_FALSE(sounddump::codableRange(kLFO1Shape));
  EXPECT_FALSE(sounddump::codableRange(kMainVolume));
}

TEST(SoundDumpWrite, EveryDataByteStaysSevenBitWhateverTheValues) {
  const double wild[] = {-1.0e300, -129.0, -1.0, 127.5, 128.0, 255.0, 256.0, 1.0e300,
                         std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                         std::nan("")};
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    Snapshot s;
    for (double& v : s.values) v = round < 11 ? wild[round] : wild[rng() % 11] + static_cast<double>(rng() % 300);
    s.name = std::string("na\xC3\xA9me\xFF\x80x", 10) + std::string(round % 20, static_cast<char>(0xE2));
    const Dump d = sounddump::build(s);
    ASSERT_EQ(d.front(), 0xF0);
    ASSERT_EQ(d.back(), 0xF7);
    for (size_t i = 1; i + 1 < d.size(); ++i) ASSERT_LT(d[i], 0x80) << "byte " << i << " round " << round;
    ASSERT_EQ(d[135], calculateCheckSum(std::vector<unsigned char>(d.begin(), d.end())));
  }
}

TEST(SoundDumpWrite, ValuesAreTruncatedThenClampedAndStepsBuiltFromClampedFields) {
  Snapshot s = Snapshot::fromInitSound();
  s.values[kFilterCutoffKeytrack] = 99.9;
  s.values[kOscillator1Semitone] = -3.7;  // toward zero: -3 + 16
  s.values[kArpDelay] = 4.99;
  s.values[kFilterCutoff] = 200;
  s.values[kFilterResonance] = -5;
  s.values[kOscillator2Semitone] = 150;
  s.values[kArpClock] = 127;
  s.values[kPatternStep03Event] = 20;
  s.values[kPatternStep03Time] = 9;
  s.values[kPatternStep03Glide] = 4;
  s.values[kPatternStep04Event] = -1;
  s.values[kGlobalDeviceID] = 200;
  s.values[kCategoryName] = 300;
  const Dump d = sounddump::build(s);
  EXPECT_EQ(d[53], 99);
  EXPECT_EQ(d[9], 13);
  EXPECT_EQ(d[96], 4);
  EXPECT_EQ(d[49], 0x7F);
  EXPECT_EQ(d[50], 0x00);
  EXPECT_EQ(d[15], 0x7F);
  EXPECT_EQ(d[46], 0x7F);
  EXPECT_EQ(d[99], 0x7F);  // glide 1, time 3, event 15
  EXPECT_EQ(d[100], 0x30);  // glide 0, time 3, event 0
  EXPECT_EQ(d[3], 0x7F);
  EXPECT_EQ(d[134], 0x7F);
}

TEST(SoundDumpWrite, FrameDeviceAndCategory) {
  Snapshot s = Snapshot::fromInitSound();
  s.values[kGlobalDeviceID] = 9.6;
  s.values[kCategoryName] = 7;
  const Dump d = sounddump::build(s);
  EXPECT_EQ(d[3], 9);
  EXPECT_EQ(d[4], 0x10);
  EXPECT_EQ(d[5], 0x7F);
  EXPECT_EQ(d[6], 0x00);
  EXPECT_EQ(d[134], 7);
  for (size_t i = 115; i <= 119; ++i) EXPECT_EQ(d[i], i == 119 ? 0x01 : 0x00);
  for (size_t i = 88; i <= 91; ++i) EXPECT_EQ(d[i], 0x00);

  EXPECT_EQ(sounddump::categoryTextWritten(0), "INIT");
  EXPECT_EQ(sounddump::categoryTextWritten(1), "ARP");
  EXPECT_EQ(sounddump::categoryTextWritten(19), "EXFX");
  EXPECT_EQ(sounddump::categoryTextWritten(20), "INIT");
  EXPECT_EQ(sounddump::categoryTextWritten(21), "None");
  EXPECT_EQ(sounddump::categoryTextRead(0), "NONE");
  EXPECT_EQ(sounddump::categoryTextRead(15), "STRG");
  EXPECT_EQ(sounddump::categoryTextRead(20), "INIT");
  EXPECT_EQ(sounddump::categoryTextRead(21), "NONE");
  EXPECT_EQ(sounddump::categoryTextRead(-1), "NONE");
  EXPECT_EQ(sounddump::recordText(""), "Set Name");
  EXPECT_EQ(sounddump::recordText("PAD 1"), "PAD 1");
}

std::string nameBytes(const Dump& d) { return std::string(d.begin() + 120, d.begin() + 134); }

TEST(SoundDumpName, WrittenAsThirteenUpperCaseCharactersAndABlank) {
  Snapshot s = Snapshot::fromInitSound();
  s.name = "abcdefghijklmn";  // 14
  EXPECT_EQ(nameBytes(sounddump::build(s)), "ABCDEFGHIJKLM ");
  s.name = "Pad 1-x!";
  EXPECT_EQ(nameBytes(sounddump::build(s)), "PAD 1-X!      ");
  s.name = "";
  EXPECT_EQ(nameBytes(sounddump::build(s)), std::string(14, ' '));
  // Characters outside ASCII take one blank each; only a-z change case.
  s.name = "caf\xC3\xA9x\xE2\x82\xAC\xC3\xBFy";
  EXPECT_EQ(nameBytes(sounddump::build(s)), "CAF X  Y      ");
  s.name = "\x80z";  // a stray continuation byte is one character
  EXPECT_EQ(nameBytes(sounddump::build(s)), " Z            ");
}

TEST(SoundDumpName, ReadTakesEveryNonZeroByteAndKeepsCase) {
  Dump d = sounddump::initSinglePatch;
  const char field[14] = {'a', 0, 'B', 0, 0, 'c', ' ', ' ', 0, 0, 0, 0, 0, 0};
  std::copy(field, field + 14, d.begin() + 120);
  EXPECT_EQ(parseDump(d)->name, "aBc  ");
  std::fill(d.begin() + 120, d.begin() + 134, 0);
  EXPECT_EQ(parseDump(d)->name, "");
}

TEST(SoundDumpRead, StepCodesSemitonesAndDerivedParameters) {
  Dump d = sounddump::initSinglePatch;
  d[97] = 0x7F;  // step 1
  d[112] = 0x40;  // step 16
  d[9] = 0x10;
  d[26] = 7;
  d[43] = 3;
  d[46] = 0;
  const auto p = parseDump(d);
  std::array<double, kParameterCount> v{};
  applyWrites(v, p->writes);
  EXPECT_EQ(v[kPatternStep01Glide], 1);
  EXPECT_EQ(v[kPatternStep01Time], 3);
  EXPECT_EQ(v[kPatternStep01Event], 15);
  EXPECT_EQ(v[kPatternStep16Glide], 1);
  EXPECT_EQ(v[kPatternStep16Time], 0);
  EXPECT_EQ(v[kPatternStep16Event], 0);
  EXPECT_EQ(v[kOscillator1Semitone], 0);
  EXPECT_EQ(v[kLFO1ShapeClock], 7);
  EXPECT_EQ(v[kLFO1Shape], 2);
  EXPECT_EQ(v[kArpOnOff], 3);
  EXPECT_EQ(v[kArpOnOffIndicator], 1);
  EXPECT_EQ(v[kArpClock], 0);

  EXPECT_EQ(sounddump::stepCode(0, 0, 1), 0x40);

  Snapshot w = Snapshot::fromInitSound();
  w.values[kOscillator3Semitone] = 0;
  EXPECT_EQ(sounddump::build(w)[21], 0x10);
  d[26] = 4;
  applyWrites(v, parseDump(d)->writes);
  EXPECT_EQ(v[kLFO1Shape], 4);
}

TEST(SoundDumpRead, WritesComeInStepOrder) {
  Dump d = sounddump::initSinglePatch;
  d[5] = 0x00, d[6] = 0x05;
  const auto parsed = parseDump(d);
  const auto& w = parsed->writes;
  ASSERT_GE(w.size(), 5u);
  EXPECT_EQ(w[0], (ParameterWrite{kCategoryName, 0}));
  EXPECT_EQ(w[1], (ParameterWrite{kCurrentBank, 0}));
  EXPECT_EQ(w[2], (ParameterWrite{kCurrentPatch, 5}));
  EXPECT_EQ(w[3], (ParameterWrite{kOscillator1Shape, 0}));
  EXPECT_EQ(w[4], (ParameterWrite{kOscillator1Pulsewidth, 127}));
  // The first step: event, time, glide; then the pattern length.
  auto it = std::find_if(w.begin(), w.end(), [](const ParameterWrite& x) { return x.param == kPatternStep01Event; });
  ASSERT_NE(it, w.end());
  EXPECT_EQ((it + 1)->param, kPatternStep01Time);
  EXPECT_EQ((it + 2)->param, kPatternStep01Glide);
  EXPECT_EQ((it + 3)->param, kPatternStep02Event);
  EXPECT_EQ(w[w.size() - 2].param, kPatternLength);
  EXPECT_EQ(w.back().param, kAccentControl);
}

TEST(SoundDumpRead, LocationSetsBankAndProgramOfStoredSoundsOnly) {
  Dump d = sounddump::initSinglePatch;
  auto at = [&](uint8_t hi, uint8_t lo) {
    d[5] = hi, d[6] = lo;
    return parseDump(d)->writes;
  };
  auto w = at(0x00, 0x05);
  EXPECT_EQ(valueAfter(w, kCurrentBank), 0);
  EXPECT_EQ(valueAfter(w, kCurrentPatch), 5);
  w = at(0x01, 0x02);  // 130: bank 1, program 30
  EXPECT_EQ(valueAfter(w, kCurrentBank), 1);
  EXPECT_EQ(valueAfter(w, kCurrentPatch), 30);
  w = at(0x03, 0x73);  // 499
  EXPECT_EQ(valueAfter(w, kCurrentBank), 4);
  EXPECT_EQ(valueAfter(w, kCurrentPatch), 99);
  for (auto [hi, lo] : {std::pair<uint8_t, uint8_t>{0x7F, 0x00}, {0x03, 0x74}, {0x05, 0x00}, {0x7F, 0x05}}) {
    w = at(hi, lo);
    EXPECT_FALSE(writes(w, kCurrentBank));
    EXPECT_FALSE(writes(w, kCurrentPatch));
  }
}

TEST(SoundDumpRead, LockedSectionsAreLeftAlone) {
  Dump d = sounddump::initSinglePatch;
  d[5] = 0x00, d[6] = 0x05;
  const auto filter = parseDump(d, lockOnly(kSectionLockFilter))->writes;
  for (size_t b = 49; b <= 56; ++b) EXPECT_FALSE(writes(filter, sounddump::fieldAt(b)->param)) << b;
  EXPECT_TRUE(writes(filter, kOscillator1Shape));
  EXPECT_TRUE(writes(filter, kVolume));
  EXPECT_TRUE(writes(filter, kPatternStep16Glide));
  EXPECT_TRUE(writes(filter, kCurrentBank));

  const auto half = parseDump(d, lockOnly(kSectionLockFilter, 0.5))->writes;
  EXPECT_TRUE(writes(half, kFilterCutoff));

  const auto p = parseDump(d, lockOnly(kSectionLockOsc1));
  EXPECT_FALSE(writes(p->writes, kCurrentBank));
  EXPECT_FALSE(writes(p->writes, kCurrentPatch));
  for (int param : {kOscillator1Shape, kOscillator1Pulsewidth, kOscillator1Semitone, kOscillator1Tune,
                    kOscillator1Keytrack, kOscillator1EnvAFade})
    EXPECT_FALSE(writes(p->writes, param)) << param;
  EXPECT_TRUE(writes(p->writes, kOscillator1Level));  // the mixer's
  EXPECT_TRUE(writes(p->writes, kCategoryName));
  EXPECT_EQ(p->name, "INIT          ");

  Locks all;
  all.values.fill(1.0);
  const auto none = parseDump(d, all);
  ASSERT_EQ(none->writes.size(), 1u);
  EXPECT_EQ(none->writes[0].param, kCategoryName);
}

TEST(SoundDumpRead, CategoryAboveTwentyIsShownAsNone) {
  Dump d = sounddump::initSinglePatch;
  d[134] = 21;
  const auto p = parseDump(d);
  EXPECT_EQ(p->categoryText, "NONE");
  EXPECT_EQ(p->category, 21);
  EXPECT_EQ(valueAfter(p->writes, kCategoryName), 21);  // the parameter limits it
  d[134] = 20;
  EXPECT_EQ(parseDump(d)->categoryText, "INIT");
}

TEST(SoundDumpRead, RefusesWhatIsNotAnEditorDump) {
  Dump d = sounddump::initSinglePatch;
  EXPECT_FALSE(sounddump::parse(d.data(), 134, Locks{}));
  EXPECT_TRUE(sounddump::parse(d.data(), 135, Locks{}));
  EXPECT_FALSE(sounddump::parse(nullptr, 137, Locks{}));
  d[3] = 0x0F;
  EXPECT_TRUE(parseDump(d));
  d[3] = 0x10;
  EXPECT_FALSE(parseDump(d));
  d[3] = 0x00;
  d[1] = 0x3F;
  EXPECT_FALSE(parseDump(d));
  d[1] = 0x3E;
  d[2] = 0x0B;
  EXPECT_FALSE(parseDump(d));
  // The command and the check byte are not looked at.
  d[2] = 0x16;
  d[4] = 0x00;
  d[135] = 0x7F;
  EXPECT_TRUE(parseDump(d));
}

TEST(SoundDumpAddress, InitSlotAndStoredDumps) {
  const Dump d = sounddump::buildInitSlot(3, 37);
  EXPECT_EQ(d[3], 3);
  EXPECT_EQ(d[4], 0x10);
  EXPECT_EQ(d[5], 0x00);
  EXPECT_EQ(d[6], 0x25);
  EXPECT_EQ(nameBytes(d), "INIT          ");
  EXPECT_EQ(d[134], 0);
  EXPECT_EQ(d[135], calculateCheckSum(std::vector<unsigned char>(d.begin(), d.end())));
  EXPECT_EQ(sounddump::buildInitSlot(0, 300)[6], 300 & 0x7F);

  Dump s = sounddump::initSinglePatch;
  sounddump::address(s, 0x12, sysex::encodeLocation(3, 45));
  EXPECT_EQ(s[3], 0x12);
  EXPECT_EQ(s[5], 345 / 128);
  EXPECT_EQ(s[6], 345 % 128);
  EXPECT_EQ(s[135], calculateCheckSum(std::vector<unsigned char>(s.begin(), s.end())));
}

}  // namespace
