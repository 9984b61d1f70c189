// The sound dump: layout, the INIT template, writing and reading.
#include "hardware/SoundDump.h"

#include <algorithm>
#include <cmath>

namespace sounddump {

const Dump initSinglePatch = {
    0xF0, 0x3E, 0x16, 0x00, 0x10, 0x7F, 0x00, 0x00, 0x7F, 0x40, 0x40, 0x01, 0x28, 0x00, 0x7F, 0x40,
    0x40, 0x01, 0x00, 0x00, 0x00, 0x40, 0x40, 0x00, 0x00, 0x40, 0x00, 0x40, 0x00, 0x0A, 0x00, 0x00,
    0x2A, 0x2A, 0x2A, 0x00, 0x02, 0x00, 0x2A, 0x7F, 0x2A, 0x00, 0x02, 0x00, 0x01, 0x25, 0x09, 0x00,
    0x00, 0x7F, 0x00, 0x40, 0x00, 0x40, 0x40, 0x00, 0x00, 0x40, 0x00, 0x64, 0x40, 0x02, 0x46, 0x00,
    0x00, 0x40, 0x0A, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00,
    0x40, 0x00, 0x00, 0x40, 0x00, 0x0A, 0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x03, 0x03, 0x06, 0x40,
    0x40, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32,
    0x32, 0x0F, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x01, 0x49, 0x4E, 0x49, 0x54, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x2A, 0xF7,
};

namespace {

constexpr std::array<Field, kFieldCount> kFields = {{
    {7, kOscillator1Shape, Coding::Value, kSectionLockOsc1},
    {8, kOscillator1Pulsewidth, Coding::Value, kSectionLockOsc1},
    {9, kOscillator1Semitone, Coding::Semitone, kSectionLockOsc1},
    {10, kOscillator1Tune, Coding::Value, kSectionLockOsc1},
    {11, kOscillator1Keytrack, Coding::Value, kSectionLockOsc1},
    {12, kOscillator1Level, Coding::Value, kSectionLockMixer},
    {13, kOscillator2Shape, Coding::Value, kSectionLockOsc2},
    {14, kOscillator2Pulsewidth, Coding::Value, kSectionLockOsc2},
    {15, kOscillator2Semitone, Coding::Semitone, kSectionLockOsc2},
    {16, kOscillator2Tune, Coding::Value, kSectionLockOsc2},
    {17, kOscillator2Keytrack, Coding::Value, kSectionLockOsc2},
    {18, kOscillator2Level, Coding::Value, kSectionLockMixer},
    {19, kOscillator3Shape, Coding::Value, kSectionLockOsc3},
    {20, kOscillator3Routing, Coding::Value, kSectionLockOsc3},
    {21, kOscillator3Semitone, Coding::Semitone, kSectionLockOsc3},
    {22, kOscillator3Tune, Coding::Value, kSectionLockOsc3},
    {23, kOscillator2Sync, Coding::Value, kSectionLockOsc2},
    {24, kOscillator3Level, Coding::Value, kSectionLockMixer},
    {25, kLFO1Speed, Coding::Value, kSectionLockLFO1},
    {26, kLFO1ShapeClock, Coding::LfoShapeClock, kSectionLockLFO1},
    {27, kLFO2Speed, Coding::Value, kSectionLockLFO2},
    {28, kLFO2Delay, Coding::Value, kSectionLockLFO2},
    {29, kPortamento, Coding::Value, kSectionLockPorta},
    {30, kPortamentoMode, Coding::Value, kSectionLockPorta},
    {31, kEnvelope1Attack, Coding::Value, kSectionLockEg1},
    {32, kEnvelope1Decay, Coding::Value, kSectionLockEg1},
    {33, kEnvelope1Sustain, Coding::Value, kSectionLockEg1},
    {34, kEnvelope1Release, Coding::Value, kSectionLockEg1},
    {35, kEnvelope1Loop, Coding::Value, kSectionLockEg1},
    {36, kEnvelope1Trigger, Coding::Value, kSectionLockEg1},
    {37, kEnvelope2Attack, Coding::Value, kSectionLockEg2},
    {38, kEnvelope2Decay, Coding::Value, kSectionLockEg2},
    {39, kEnvelope2Sustain, Coding::Value, kSectionLockEg2},
    {40, kEnvelope2Release, Coding::Value, kSectionLockEg2},
    {41, kEnvelope2Loop, Coding::Value, kSectionLockEg2},
    {42, kEnvelope2Trigger, Coding::Value, kSectionLockEg2},
    {43, kArpOnOff, Coding::ArpOnOff, kSectionLockArp},
    {44, kArpRange, Coding::Value, kSectionLockArp},
    {45, kArpTempo, Coding::Value, kSectionLockArp},
    {46, kArpClock, Coding::ArpClock, kSectionLockArp},
    {47, kArpPattern, Coding::Value, kSectionLockArp},
    {48, kArpMode, Coding::Value, kSectionLockArp},
    {49, kFilterCutoff, Coding::Value, kSectionLockFilter},
    {50, kFilterResonance, Coding::Value, kSectionLockFilter},
    {51, kFilterCutoffEnv1Sens, Coding::Value, kSectionLockFilter},
    {52, kFilterType, Coding::Value, kSectionLockFilter},
    {53, kFilterCutoffKeytrack, Coding::Value, kSectionLockFilter},
    {54, kFilterCutoffVeloSens, Coding::Value, kSectionLockFilter},
    {55, kVolumeDrive, Coding::Value, kSectionLockFilter},
    {56, kVolumeDriveCurve, Coding::Value, kSectionLockFilter},
    {57, kPanning, Coding::Value, kSectionLockAmp},
    {58, kNoiseLevel, Coding::Value, kSectionLockMixer},
    {59, kVolume, Coding::Value, kSectionLockAmp},
    {60, kVolumeVeloSense, Coding::Value, kSectionLockAmp},
    {61, kModUnit1Source, Coding::Value, kSectionLockModMatrix},
    {62, kModUnit1Amount, Coding::Value, kSectionLockModMatrix},
    {63, kModUnit1Destination, Coding::Value, kSectionLockModMatrix},
    {64, kModUnit2Source, Coding::Value, kSectionLockModMatrix},
    {65, kModUnit2Amount, Coding::Value, kSectionLockModMatrix},
    {66, kModUnit2Destination, Coding::Value, kSectionLockModMatrix},
    {67, kModUnit3Source, Coding::Value, kSectionLockModMatrix},
    {68, kModUnit3Amount, Coding::Value, kSectionLockModMatrix},
    {69, kModUnit3Destination, Coding::Value, kSectionLockModMatrix},
    {70, kModUnit4Source, Coding::Value, kSectionLockModMatrix},
    {71, kModUnit4Amount, Coding::Value, kSectionLockModMatrix},
    {72, kModUnit4Destination, Coding::Value, kSectionLockModMatrix},
    {73, kModUnit5Source, Coding::Value, kSectionLockModMatrix},
    {74, kModUnit5Amount, Coding::Value, kSectionLockModMatrix},
    {75, kModUnit5Destination, Coding::Value, kSectionLockModMatrix},
    {76, kModUnit6Source, Coding::Value, kSectionLockModMatrix},
    {77, kModUnit6Amount, Coding::Value, kSectionLockModMatrix},
    {78, kModUnit6Destination, Coding::Value, kSectionLockModMatrix},
    {79, kModUnit7Source, Coding::Value, kSectionLockModMatrix},
    {80, kModUnit7Amount, Coding::Value, kSectionLockModMatrix},
    {81, kModUnit7Destination, Coding::Value, kSectionLockModMatrix},
    {82, kModUnit8Source, Coding::Value, kSectionLockModMatrix},
    {83, kModUnit8Amount, Coding::Value, kSectionLockModMatrix},
    {84, kModUnit8Destination, Coding::Value, kSectionLockModMatrix},
    {85, kUnisonDetune, Coding::Value, kSectionLockPorta},
    {86, kOscillator1EnvAFade, Coding::Value, kSectionLockOsc1},
    {87, kOscillator2EnvAFade, Coding::Value, kSectionLockOsc2},
    {88, -1, Coding::Constant, -1},
    {89, -1, Coding::Constant, -1},
    {90, -1, Coding::Constant, -1},
    {91, -1, Coding::Constant, -1},
    {92, kPitchBendScaleUp, Coding::Value, kSectionLockPorta},
    {93, kPitchBendScaleDown, Coding::Value, kSectionLockPorta},
    {94, kStepDuration, Coding::Value, kSectionLockArp},
    {95, kArpSwing, Coding::Value, kSectionLockArp},
    {96, kArpDelay, Coding::Value, kSectionLockArp},
    {97, kPatternStep01Event, Coding::StepCode, kSectionLockArp},
    {98, kPatternStep02Event, Coding::StepCode, kSectionLockArp},
    {99, kPatternStep03Event, Coding::StepCode, kSectionLockArp},
    {100, kPatternStep04Event, Coding::StepCode, kSectionLockArp},
    {101, kPatternStep05Event, Coding::StepCode, kSectionLockArp},
    {102, kPatternStep06Event, Coding::StepCode, kSectionLockArp},
    {103, kPatternStep07Event, Coding::StepCode, kSectionLockArp},
    {104, kPatternStep08Event, Coding::StepCode, kSectionLockArp},
    {105, kPatternStep09Event, Coding::StepCode, kSectionLockArp},
    {106, kPatternStep10Event, Coding::StepCode, kSectionLockArp},
    {107, kPatternStep11Event, Coding::StepCode, kSectionLockArp},
    {108, kPatternStep12Event, Coding::StepCode, kSectionLockArp},
    {109, kPatternStep13Event, Coding::StepCode, kSectionLockArp},
    {110, kPatternStep14Event, Coding::StepCode, kSectionLockArp},
    {111, kPatternStep15Event, Coding::StepCode, kSectionLockArp},
    {112, kPatternStep16Event, Coding::StepCode, kSectionLockArp},
    {113, kPatternLength, Coding::Value, kSectionLockArp},
    {114, kAccentControl, Coding::Value, kSectionLockArp},
}};

constexpr int kSemitoneOffset = 16;
constexpr int kLfoShapeCount = 5;  // LFO 1 byte 0..4 is the shape itself, 5 and up a clocked shape
constexpr int kStepTimeOffset = kPatternStep01Time - kPatternStep01Event;
constexpr int kStepGlideOffset = kPatternStep01Glide - kPatternStep01Event;
constexpr uint8_t kBlank = 0x20;

// The integer part of a value, toward zero; NaN counts as 0 and values far
// outside any byte are held to a bound that still clamps correctly.
int integerPart(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::trunc(std::clamp(v, -1.0e6, 1.0e6)));
}

uint8_t dataByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 0x7F)); }

const char* const kCategoryNames[kHighestCategory + 1] = {
    "INIT", "ARP",  "ATMO", "BASS", "DRUM", "FX",   "KEYS", "LEAD", "MONO", "PAD",  "PERC",
    "POLY", "SEQ",  "DUB",  "LUSH", "STRG", "PLUK", "WIND", "NOIS", "EXFX", "INIT",
};

}  // namespace

const std::array<Field, kFieldCount>& fields() { return kFields; }

const Field* fieldAt(size_t offset) {
  if (offset < kDataFirst || offset > kDataLast) return nullptr;
  return &kFields[offset - kDataFirst];
}

std::optional<ValueRange> codableRange(int param) {
  if (param >= kPatternStep01Event && param <= kPatternStep16Event) return ValueRange{0, 15};
  if (param >= kPatternStep01Time && param <= kPatternStep16Time) return ValueRange{0, 3};
  if (param >= kPatternStep01Glide && param <= kPatternStep16Glide) return ValueRange{0, 1};
  for (const Field& f : kFields) {
    if (f.param != param) continue;
    switch (f.coding) {
      case Coding::Semitone: return ValueRange{-kSemitoneOffset, 0x7F - kSemitoneOffset};
      case Coding::ArpClock: return ValueRange{0, 0x7F - 1};
      case Coding::Constant:
      case Coding::StepCode: return std::nullopt;
      default: return ValueRange{0, 0x7F};
    }
  }
  return std::nullopt;
}

uint8_t stepCode(double event, double time, double glide) {
  const int e = std::clamp(integerPart(event), 0, 15);
  const int t = std::clamp(integerPart(time), 0, 3);
  const int g = std::clamp(integerPart(glide), 0, 1);
  return static_cast<uint8_t>(g * 64 + t * 16 + e);
}

Step decodeStepCode(uint8_t code) {
  Step s;
  s.glide = code >> 6;
  s.time = (code - s.glide * 64) / 16;
  s.event = code - s.glide * 64 - s.time * 16;
  return s;
}

std::string categoryTextWritten(int code) {
  if (code < 0 || code > kHighestCategory) return "None";
  return kCategoryNames[code];
}

std::string categoryTextRead(int code) {
  if (code <= 0 || code > kHighestCategory) return "NONE";
  return kCategoryNames[code];
}

std::string recordText(const std::string& text) { return text.empty() ? std::string("Set Name") : text; }

Snapshot Snapshot::fromInitSound() {
  Snapshot s;
  const auto parsed = parse(initSinglePatch.data(), initSinglePatch.size(), Locks{});
  for (const ParameterWrite& w : parsed->writes) s.values[static_cast<size_t>(w.param)] = w.value;
  s.name = parsed->name;
  return s;
}

void refreshCheckByte(Dump& dump) {
  dump[kCheckByte] = static_cast<uint8_t>(sysex::calculateCheckSum(dump.data(), dump.size()));
}

void address(Dump& dump, uint8_t device, sysex::Location where) {
  dump[3] = dataByte(device);
  dump[5] = dataByte(where.high);
  dump[6] = dataByte(where.low);
  refreshCheckByte(dump);
}

Dump build(const Snapshot& snapshot) {
  Dump d = initSinglePatch;
  auto value = [&](int param) { return snapshot.values[static_cast<size_t>(param)]; };
  for (const Field& f : kFields) {
    const double v = f.param >= 0 ? value(f.param) : 0.0;
    switch (f.coding) {
      case Coding::Constant: break;
      case Coding::StepCode:
        d[f.offset] = stepCode(v, value(f.param + kStepTimeOffset), value(f.param + kStepGlideOffset));
        break;
      case Coding::Semitone: d[f.offset] = dataByte(integerPart(v) + kSemitoneOffset); break;
      case Coding::ArpClock: d[f.offset] = dataByte(integerPart(v) + 1); break;
      default: d[f.offset] = dataByte(integerPart(v)); break;
    }
  }
  d[4] = sysex::kCmdSoundDump;

  // The name: 13 characters upper-cased, blank-padded, last position blank.
  // A character outside ASCII (a UTF-8 sequence) takes one blank.
  const std::string& name = snapshot.name;
  size_t pos = 0;
  for (size_t i = 0; i < name.size() && pos < kNameWritten; ++i) {
    uint8_t c = static_cast<uint8_t>(name[i]);
    if (c >= 0x80) {
      while (i + 1 < name.size() && (static_cast<uint8_t>(name[i + 1]) & 0xC0) == 0x80) ++i;
      c = kBlank;
    } else if (c >= 'a' && c <= 'z') {
      c = static_cast<uint8_t>(c - 'a' + 'A');
    }
    d[kNameFirst + pos++] = c;
  }
  for (; pos < kNameLength; ++pos) d[kNameFirst + pos] = kBlank;

  d[kCategoryByte] = dataByte(integerPart(value(kCategoryName)));
  address(d, sysex::deviceIdFromParameter(value(kGlobalDeviceID)), sysex::kEditBuffer);
  return d;
}

Dump buildInitSlot(uint8_t device, int slot) {
  Dump d = initSinglePatch;
  d[4] = sysex::kCmdSoundDump;
  address(d, device, sysex::Location{0x00, static_cast<uint8_t>(slot & 0x7F)});
  return d;
}

std::optional<Dump> storedDump(const std::vector<uint8_t>& message) {
  if (message.size() < kLength || message[0] != sysex::kStart) return std::nullopt;
  for (size_t i = 1; i <= kCategoryByte; ++i)
    if (message[i] >= 0x80) return std::nullopt;
  Dump d;
  std::copy(message.begin(), message.begin() + kLength, d.begin());
  // Whatever command a stored message carries, it goes out as a sound dump.
  d[4] = sysex::kCmdSoundDump;
  d[kLength - 1] = sysex::kEnd;
  refreshCheckByte(d);
  return d;
}

std::optional<Dump> pickStoredDump(const std::vector<std::vector<uint8_t>>& messages) {
  for (const auto& m : messages)
    if (auto d = storedDump(m)) return d;
  return std::nullopt;
}

bool Locks::locked(int lockParam) const {
  const int i = lockParam - kFirstSectionLock;
  return i >= 0 && i < kSectionLockCount && values[static_cast<size_t>(i)] == 1.0;
}

std::optional<Parsed> parse(const uint8_t* bytes, size_t size, const Locks& locks) {
  if (bytes == nullptr || size < kMinParsedLength) return std::nullopt;
  if (bytes[1] != sysex::kManufacturer || bytes[2] != sysex::kModel || bytes[3] > sysex::kHighestParsedDevice)
    return std::nullopt;

  Parsed p;
  for (size_t i = kNameFirst; i < kNameFirst + kNameLength; ++i)
    if (bytes[i] != 0) p.name.push_back(static_cast<char>(bytes[i]));
  p.category = bytes[kCategoryByte];
  p.categoryText = categoryTextRead(p.category);

  auto& w = p.writes;
  w.reserve(kFieldCount + 40);
  w.push_back({kCategoryName, static_cast<double>(p.category)});

  p.location = sysex::decodeLocation(bytes[5], bytes[6]);
  if (p.location.stored && !locks.locked(kSectionLockOsc1)) {
    w.push_back({kCurrentBank, static_cast<double>(p.location.bank)});
    w.push_back({kCurrentPatch, static_cast<double>(p.location.program)});
  }

  for (const Field& f : kFields) {
    if (f.coding == Coding::Constant || locks.locked(f.lock)) continue;
    const int b = bytes[f.offset];
    switch (f.coding) {
      case Coding::Semitone: w.push_back({f.param, static_cast<double>(b - kSemitoneOffset)}); break;
      case Coding::LfoShapeClock:
        w.push_back({f.param, static_cast<double>(b)});
        w.push_back({kLFO1Shape, static_cast<double>(b < kLfoShapeCount ? b : b - kLfoShapeCount)});
        break;
      case Coding::ArpOnOff:
        w.push_back({f.param, static_cast<double>(b)});
        w.push_back({kArpOnOffIndicator, b == 0 ? 0.0 : 1.0});
        break;
      case Coding::ArpClock: w.push_back({f.param, static_cast<double>(b == 0 ? 0 : b - 1)}); break;
      case Coding::StepCode: {
        const Step s = decodeStepCode(static_cast<uint8_t>(b));
        w.push_back({f.param, static_cast<double>(s.event)});
        w.push_back({f.param + kStepTimeOffset, static_cast<double>(s.time)});
        w.push_back({f.param + kStepGlideOffset, static_cast<double>(s.glide)});
        break;
      }
      default: w.push_back({f.param, static_cast<double>(b)}); break;
    }
  }
  return p;
}

}  // namespace sounddump
