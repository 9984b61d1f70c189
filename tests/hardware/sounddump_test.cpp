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
using Values = std::array<double, kParameterCount>;
struct PV {
  int param;
  double value;
};

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

std::optional<sounddump::Parsed> parseDump(const Dump& d, const Locks& locks = {}) {
  return sounddump::parse(d.data(), d.size(), locks);
}

// Applies writes as plain values over start, the way the editor does minus
// the parameters' own range limits.
Values applied(const std::vector<ParameterWrite>& writes, Values v = {}) {
  for (const ParameterWrite& w : writes) {
    EXPECT_TRUE(isPluginParameter(w.param)) << w.param;
    if (isPluginParameter(w.param)) v[static_cast<size_t>(w.param)] = w.value;
  }
  return v;
}

void expectValues(const Values& v, std::initializer_list<PV> expected) {
  for (const PV& e : expected) EXPECT_EQ(v[static_cast<size_t>(e.param)], e.value) << "parameter " << e.param;
}

void expectBytes(const Dump& d, std::initializer_list<std::pair<size_t, int>> expected) {
  for (const auto& [at, byte] : expected) EXPECT_EQ(d[at], byte) << "byte " << at;
}

uint8_t checkSumOf(const Dump& d) { return calculateCheckSum(std::vector<unsigned char>(d.begin(), d.end())); }

bool writes(const std::vector<ParameterWrite>& ws, int param) {
  return std::any_of(ws.begin(), ws.end(), [&](const ParameterWrite& w) { return w.param == param; });
}

Locks lockOnly(int lockParam, double value = 1.0) {
  Locks l;
  l.values[static_cast<size_t>(lockParam - kFirstSectionLock)] = value;
  return l;
}

Dump withLocation(uint8_t hi, uint8_t lo) {
  Dump d = sounddump::initSinglePatch;
  d[5] = hi, d[6] = lo;
  return d;
}

std::string nameBytes(const Dump& d) { return std::string(d.begin() + 120, d.begin() + 134); }

TEST(SoundDumpInit, TemplateParsesToTheDocumentedSoundAndWritesBackWithAFreshCheckByte) {
  ASSERT_EQ(sounddump::initSinglePatch.size(), sizeof kInitBytes);
  for (size_t i = 0; i < sizeof kInitBytes; ++i) EXPECT_EQ(sounddump::initSinglePatch[i], kInitBytes[i]) << i;
  EXPECT_NE(checkSumOf(sounddump::initSinglePatch), 0x2A);  // its stored check byte is stale

  const auto p = parseDump(sounddump::initSinglePatch);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->name, "INIT          ");
  EXPECT_EQ(p->category, 0);
  EXPECT_EQ(p->categoryText, "NONE");
  EXPECT_TRUE(p->location.editBuffer);
  EXPECT_FALSE(writes(p->writes, kCurrentBank));
  EXPECT_FALSE(writes(p->writes, kCurrentPatch));
  const Values v = applied(p->writes);
  expectValues(v, {{kCategoryName, 0},       {kArpClock, 8},      {kOscillator1Semitone, 0x40 - 16},
                   {kOscillator1Pulsewidth, 127}, {kOscillator1Level, 40}, {kLFO1ShapeClock, 0},
                   {kLFO1Shape, 0},          {kArpTempo, 37},     {kVolume, 100},
                   {kModUnit1Amount, 70},    {kModUnit2Destination, 10}, {kPatternLength, 15},
                   {kAccentControl, 13},     {kArpOnOffIndicator, 0}});
  for (int s = 0; s < 16; ++s)
    expectValues(v, {{kPatternStep01Event + s, 2}, {kPatternStep01Time + s, 3}, {kPatternStep01Glide + s, 0}});

  const Dump d = sounddump::build(Snapshot::fromInitSound());
  Dump expected = sounddump::initSinglePatch;
  expected[135] = checkSumOf(d);
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
  const std::set<int> absent{kMainVolume, kBreathControl, kModWheel, kLFO1Shape, kSustainSwitch};
  for (int p = 0; p <= kLastSoundParameter; ++p) EXPECT_EQ(params.count(p), absent.count(p) ? 0u : 1u) << p;
  for (auto [at, param] : {std::pair<size_t, int>{26, kLFO1ShapeClock}, {47, kArpPattern},
                           {97, kPatternStep01Event}, {112, kPatternStep16Event}})
    EXPECT_EQ(sounddump::fieldAt(at)->param, param) << at;
}

// Every parameter the dump carries, at the ends and the middle of the
// values it can carry, comes back as it went, and nothing else moves.
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
      const auto p = parseDump(sounddump::build(s));
      ASSERT_TRUE(p);
      const Values back = applied(p->writes, Snapshot::fromInitSound().values);
      for (int other : params)
        ASSERT_EQ(back[static_cast<size_t>(other)], s.values[static_cast<size_t>(other)])
            << "parameter " << param << " at " << value << ", read " << other;
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
    ASSERT_EQ(d[135], checkSumOf(d));
  }
}

TEST(SoundDumpWrite, ValuesAreTruncatedThenClampedAndStepsBuiltFromClampedFields) {
  Snapshot s = Snapshot::fromInitSound();
  for (const PV& pv : std::initializer_list<PV>{
           {kFilterCutoffKeytrack, 99.9}, {kOscillator1Semitone, -3.7} /* toward zero: -3 + 16 */,
           {kArpDelay, 4.99},             {kFilterCutoff, 200},          {kFilterResonance, -5},
           {kOscillator2Semitone, 150},   {kArpClock, 127},              {kPatternStep03Event, 20},
           {kPatternStep03Time, 9},       {kPatternStep03Glide, 4},      {kPatternStep04Event, -1},
           {kGlobalDeviceID, 200},        {kCategoryName, 300}})
    s.values[static_cast<size_t>(pv.param)] = pv.value;
  // Step 3: glide 1, time 3, event 15; step 4: glide 0, time 3, event 0.
  expectBytes(sounddump::build(s), {{53, 99}, {9, 13}, {96, 4}, {49, 0x7F}, {50, 0x00}, {15, 0x7F}, {46, 0x7F},
                                    {99, 0x7F}, {100, 0x30}, {3, 0x7F}, {134, 0x7F}});
  EXPECT_EQ(sounddump::stepCode(0, 0, 1), 0x40);
  s = Snapshot::fromInitSound();
  s.values[kOscillator3Semitone] = 0;
  EXPECT_EQ(sounddump::build(s)[21], 0x10);
}

TEST(SoundDumpCategory, FrameDeviceCategoryAndTheirTexts) {
  Snapshot s = Snapshot::fromInitSound();
  s.values[kGlobalDeviceID] = 9.6;
  s.values[kCategoryName] = 7;
  const Dump d = sounddump::build(s);
  expectBytes(d, {{3, 9}, {4, 0x10}, {5, 0x7F}, {6, 0x00}, {134, 7}, {115, 0}, {116, 0}, {117, 0}, {118, 0},
                  {119, 1}, {88, 0}, {89, 0}, {90, 0}, {91, 0}});

  for (auto [code, text] : {std::pair<int, const char*>{0, "INIT"}, {1, "ARP"}, {19, "EXFX"}, {20, "INIT"}, {21, "None"}})
    EXPECT_EQ(sounddump::categoryTextWritten(code), text) << code;
  for (auto [code, text] : {std::pair<int, const char*>{0, "NONE"}, {15, "STRG"}, {20, "INIT"}, {21, "NONE"}, {-1, "NONE"}})
    EXPECT_EQ(sounddump::categoryTextRead(code), text) << code;
  EXPECT_EQ(sounddump::recordText(""), "Set Name");
  EXPECT_EQ(sounddump::recordText("PAD 1"), "PAD 1");

  // A read category above 20 shows as "NONE"; the parameter limits it.
  Dump r = sounddump::initSinglePatch;
  r[134] = 21;
  const auto p = parseDump(r);
  EXPECT_EQ(p->categoryText, "NONE");
  EXPECT_EQ(p->category, 21);
  expectValues(applied(p->writes), {{kCategoryName, 21}});
  r[134] = 20;
  EXPECT_EQ(parseDump(r)->categoryText, "INIT");
}

TEST(SoundDumpName, WrittenAsThirteenUpperCaseCharactersAndABlankReadWholeWithCaseKept) {
  // Characters outside ASCII take one blank each (a stray continuation byte
  // is one character); only a-z change case.
  const std::pair<const char*, const char*> cases[] = {{"abcdefghijklmn", "ABCDEFGHIJKLM "},
                                                       {"Pad 1-x!", "PAD 1-X!      "},
                                                       {"", "              "},
                                                       {"caf\xC3\xA9x\xE2\x82\xAC\xC3\xBFy", "CAF X  Y      "},
                                                       {"\x80z", " Z            "}};
  for (const auto& [name, written] : cases) {
    Snapshot s = Snapshot::fromInitSound();
    s.name = name;
    EXPECT_EQ(nameBytes(sounddump::build(s)), written) << name;
  }

  Dump d = sounddump::initSinglePatch;
  const char field[14] = {'a', 0, 'B', 0, 0, 'c', ' ', ' ', 0, 0, 0, 0, 0, 0};
  std::copy(field, field + 14, d.begin() + 120);
  EXPECT_EQ(parseDump(d)->name, "aBc  ");
  std::fill(d.begin() + 120, d.begin() + 134, 0);
  EXPECT_EQ(parseDump(d)->name, "");
}

TEST(SoundDumpRead, StepCodesSemitonesAndDerivedParameters) {
  Dump d = sounddump::initSinglePatch;
  d[97] = 0x7F;   // step 1
  d[112] = 0x40;  // step 16
  d[9] = 0x10, d[26] = 7, d[43] = 3, d[46] = 0;
  expectValues(applied(parseDump(d)->writes),
               {{kPatternStep01Glide, 1}, {kPatternStep01Time, 3}, {kPatternStep01Event, 15},
                {kPatternStep16Glide, 1}, {kPatternStep16Time, 0}, {kPatternStep16Event, 0},
                {kOscillator1Semitone, 0}, {kLFO1ShapeClock, 7}, {kLFO1Shape, 2},
                {kArpOnOff, 3}, {kArpOnOffIndicator, 1}, {kArpClock, 0}});
  d[26] = 4;
  expectValues(applied(parseDump(d)->writes), {{kLFO1Shape, 4}});
}

TEST(SoundDumpRead, WritesComeInStepOrder) {
  const auto parsed = parseDump(withLocation(0x00, 0x05));
  const auto& w = parsed->writes;
  ASSERT_GE(w.size(), 5u);
  const ParameterWrite first[] = {{kCategoryName, 0}, {kCurrentBank, 0}, {kCurrentPatch, 5},
                                  {kOscillator1Shape, 0}, {kOscillator1Pulsewidth, 127}};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(w[i], first[i]) << i;
  // The first step: event, time, glide; then the pattern length.
  auto it = std::find_if(w.begin(), w.end(), [](const ParameterWrite& x) { return x.param == kPatternStep01Event; });
  ASSERT_LT(it + 3, w.end());
  EXPECT_EQ((it + 1)->param, kPatternStep01Time);
  EXPECT_EQ((it + 2)->param, kPatternStep01Glide);
  EXPECT_EQ((it + 3)->param, kPatternStep02Event);
  EXPECT_EQ(w[w.size() - 2].param, kPatternLength);
  EXPECT_EQ(w.back().param, kAccentControl);
}

TEST(SoundDumpRead, LocationSetsBankAndProgramOfStoredSoundsOnly) {
  // 130 is bank 1, program 30; 499 the last stored sound.
  for (auto [hi, lo, bank, program] : {std::tuple<uint8_t, uint8_t, double, double>{0x00, 0x05, 0, 5},
                                       {0x01, 0x02, 1, 30}, {0x03, 0x73, 4, 99}}) {
    const Values v = applied(parseDump(withLocation(hi, lo))->writes);
    expectValues(v, {{kCurrentBank, bank}, {kCurrentPatch, program}});
  }
  for (auto [hi, lo] : {std::pair<uint8_t, uint8_t>{0x7F, 0x00}, {0x03, 0x74}, {0x05, 0x00}, {0x7F, 0x05}}) {
    const auto w = parseDump(withLocation(hi, lo))->writes;
    EXPECT_FALSE(writes(w, kCurrentBank) || writes(w, kCurrentPatch)) << int(hi) << " " << int(lo);
  }
}

TEST(SoundDumpRead, LockedSectionsAreLeftAlone) {
  const Dump d = withLocation(0x00, 0x05);
  const auto filter = parseDump(d, lockOnly(kSectionLockFilter))->writes;
  for (size_t b = 49; b <= 56; ++b) EXPECT_FALSE(writes(filter, sounddump::fieldAt(b)->param)) << b;
  for (int param : {kOscillator1Shape, kVolume, kPatternStep16Glide, kCurrentBank}) EXPECT_TRUE(writes(filter, param));
  EXPECT_TRUE(writes(parseDump(d, lockOnly(kSectionLockFilter, 0.5))->writes, kFilterCutoff));

  // The oscillator lock also keeps the location.
  const auto p = parseDump(d, lockOnly(kSectionLockOsc1));
  for (int param : {kCurrentBank, kCurrentPatch, kOscillator1Shape, kOscillator1Pulsewidth, kOscillator1Semitone,
                    kOscillator1Tune, kOscillator1Keytrack, kOscillator1EnvAFade})
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

TEST(SoundDumpRead, RefusesWhatIsNotAnEditorDump) {
  Dump d = sounddump::initSinglePatch;
  EXPECT_FALSE(sounddump::parse(d.data(), 134, Locks{}));
  EXPECT_TRUE(sounddump::parse(d.data(), 135, Locks{}));
  EXPECT_FALSE(sounddump::parse(nullptr, 137, Locks{}));
  // Device 0..15 of this maker and model; command and check byte not looked at.
  for (auto [at, byte, accepted] : {std::tuple<size_t, uint8_t, bool>{3, 0x0F, true}, {3, 0x10, false},
                                    {1, 0x3F, false}, {2, 0x0B, false}, {4, 0x00, true}, {135, 0x7F, true}}) {
    Dump m = sounddump::initSinglePatch;
    m[at] = byte;
    EXPECT_EQ(parseDump(m).has_value(), accepted) << "byte " << at << " = " << int(byte);
  }
}

TEST(SoundDumpAddress, InitSlotAndStoredDumps) {
  const Dump d = sounddump::buildInitSlot(3, 37);
  expectBytes(d, {{3, 3}, {4, 0x10}, {5, 0x00}, {6, 0x25}, {134, 0}, {135, checkSumOf(d)}});
  EXPECT_EQ(nameBytes(d), "INIT          ");
  EXPECT_EQ(sounddump::buildInitSlot(0, 300)[6], 300 & 0x7F);

  Dump s = sounddump::initSinglePatch;
  sounddump::address(s, 0x12, sysex::encodeLocation(3, 45));
  expectBytes(s, {{3, 0x12}, {5, 345 / 128}, {6, 345 % 128}, {135, checkSumOf(s)}});
}

}  // namespace
