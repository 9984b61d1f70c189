// The name and value lines of the last change.
#include "editor/ControlDisplay.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "editor/Tavrin.h"
#include "framework/IParam.h"
#include "hardware/ParameterList.h"
#include "uiconfig/UIConfigManager.h"

namespace {

constexpr const char* kLocksReleasedText = "All Section Locks Released";
constexpr double kPanPercentPerStep = 1.55;
constexpr double kClockedLfoShapes = 5.0;

// Parameters whose changes leave the name and value lines alone: names,
// commands, list selections, triggers, tabs and the displays themselves.
bool neverShown(int idx) {
  switch (idx) {
    case kPatchName: case kRefreshFolders: case kPatchRename: case kCategoryName: case kControlDisplayLibCategory:
    case kControlDisplayCategory: case kCategorySelection: case kOscillator1WaveTrigger:
    case kOscillator2WaveTrigger: case kOscillator3WaveTrigger: case kOscillator2KeytrackTrigger:
    case kOscillator2SyncTrigger: case kShowModMatrix: case kEditPage2Switch: case kPatchSearchString:
    case kPatchSearch: case kDeviceOutSelection: case kDeviceInSelection: case kPatchUp: case kPatchDown:
    case kControlLibrary: case kControlDisplayName: case kControlDisplayValue: case kControlDisplayCC:
    case kShowLibrarian: case kPushArrangement: case kDiscardBankData: case kCancelDataRequest:
    case kPatchSelectionListUpper: case kPatchSelectionListLower: case kRequestTempData: case kMainTab:
    case kLibrarianArea:
      return true;
    default:
      return false;
  }
}

// The value lists named by the description, as keys that need no copy; the
// enumeration below gives their places.
const std::string kListNames[] = {
    "modulationSources", "modulationDestinations", "patternEventType", "osc1Shape",     "osc2Shape",
    "osc3Shape",         "lfo1Shape",              "loopingModes",     "triggerModes",  "osc3Routing",
    "filterType",        "glideMode",              "arpActiveMode",    "arpOctaveRange", "arpTempoValues",
    "arpClock",          "arpModeList",            "vcaDriveCurve",    "stepDuration",  "omniToSixteen",
    "midiClockSource",   "lfoClockTiming"};
enum List : int {
  kNoList = -1,
  kModulationSourcesList, kModulationDestinationsList, kPatternEventTypeList, kOsc1ShapeList, kOsc2ShapeList,
  kOsc3ShapeList, kLfo1ShapeList, kLoopingModesList, kTriggerModesList, kOsc3RoutingList, kFilterTypeList,
  kGlideModeList, kArpActiveModeList, kArpOctaveRangeList, kArpTempoValuesList, kArpClockList, kArpModeListList,
  kVcaDriveCurveList, kStepDurationList, kOmniToSixteenList, kMidiClockSourceList, kLfoClockTimingList
};
static_assert(std::size(kListNames) == kLfoClockTimingList + 1, "one name for each list");

// The modulation matrix: eight units of source, amount and destination.
constexpr int kModUnitStride = kModUnit2Source - kModUnit1Source;
constexpr bool inModUnit(int idx, int firstOfKind) {
  return idx >= firstOfKind && idx <= kModUnit8Destination && (idx - firstOfKind) % kModUnitStride == 0;
}
constexpr bool isModSource(int idx) { return inModUnit(idx, kModUnit1Source); }
constexpr bool isModAmount(int idx) { return inModUnit(idx, kModUnit1Amount); }
constexpr bool isModDestination(int idx) { return inModUnit(idx, kModUnit1Destination); }
constexpr bool isPatternEvent(int idx) { return idx >= kPatternStep01Event && idx <= kPatternStep16Event; }
constexpr bool isPatternTime(int idx) { return idx >= kPatternStep01Time && idx <= kPatternStep16Time; }
constexpr bool isPatternGlide(int idx) { return idx >= kPatternStep01Glide && idx <= kPatternStep16Glide; }

// The list a parameter's text comes from, or kNoList.
constexpr int listOf(int idx) {
  if (isModSource(idx)) return kModulationSourcesList;
  if (isModDestination(idx)) return kModulationDestinationsList;
  if (isPatternEvent(idx)) return kPatternEventTypeList;
  switch (idx) {
    case kOscillator1Shape: return kOsc1ShapeList;
    case kOscillator2Shape: return kOsc2ShapeList;
    case kOscillator3Shape: return kOsc3ShapeList;
    case kLFO1Shape: return kLfo1ShapeList;
    case kEnvelope1Loop: case kEnvelope2Loop: return kLoopingModesList;
    case kEnvelope1Trigger: case kEnvelope2Trigger: return kTriggerModesList;
    case kOscillator3Routing: return kOsc3RoutingList;
    case kFilterType: return kFilterTypeList;
    case kPortamentoMode: return kGlideModeList;
    case kArpOnOff: return kArpActiveModeList;
    case kArpRange: return kArpOctaveRangeList;
    case kArpTempo: return kArpTempoValuesList;
    case kArpClock: return kArpClockList;
    case kArpMode: return kArpModeListList;
    case kVolumeDriveCurve: return kVcaDriveCurveList;
    case kStepDuration: return kStepDurationList;
    case kGlobalMidiChannel: return kOmniToSixteenList;
    case kGlobalClock: return kMidiClockSourceList;
    default: return kNoList;
  }
}

constexpr bool isOnOff(int idx) {
  return (idx >= kPartLock && idx <= kLastSectionLock) || (idx >= kOscillator1Keytrack && idx <= kOscillator2Sync) ||
         idx == kOverrideTempo || isPatternGlide(idx) || idx == kGlobalMidiThru;
}

constexpr bool isCentred64(int idx) {
  return (idx >= kFilterCutoffKeytrack && idx <= kFilterCutoffVeloSens) || idx == kVolumeVeloSense ||
         isModAmount(idx);
}

// How a parameter's value is shown, the first rule that matches.
enum class Rule : uint8_t {
  kPlain, kSemitone, kLfoSpeed, kBendUp, kBendDown, kTranspose, kStepTime, kPan, kCentred64, kSwing, kDelay,
  kList, kOnOff, kLocalControl
};

constexpr Rule ruleOf(int idx) {
  if (idx >= kOscillator1Semitone && idx <= kOscillator3Semitone) return Rule::kSemitone;
  if (idx == kLFO1Speed) return Rule::kLfoSpeed;
  if (idx == kPitchBendScaleUp) return Rule::kBendUp;
  if (idx == kPitchBendScaleDown) return Rule::kBendDown;
  if (idx == kGlobalTranspose) return Rule::kTranspose;
  if (isPatternTime(idx)) return Rule::kStepTime;
  if (idx == kPanning) return Rule::kPan;
  if (isCentred64(idx)) return Rule::kCentred64;
  if (idx == kArpSwing) return Rule::kSwing;
  if (idx == kArpDelay) return Rule::kDelay;
  if (listOf(idx) != kNoList) return Rule::kList;
  if (isOnOff(idx)) return Rule::kOnOff;
  if (idx == kGlobalLocalControl) return Rule::kLocalControl;
  return Rule::kPlain;
}

// The rule of every parameter, worked out once by the compiler.
constexpr auto kRules = [] {
  std::array<Rule, kParameterCount> rules{};
  for (int idx = 0; idx < kParameterCount; ++idx) rules[static_cast<size_t>(idx)] = ruleOf(idx);
  return rules;
}();

// A line of the display built on the stack; only a text longer than the
// buffer moves to the heap.
class Line {
 public:
  Line& operator<<(std::string_view text) {
    if (!mOnHeap && mLength + text.size() < sizeof mBuf) {
      std::memcpy(mBuf + mLength, text.data(), text.size());
      mLength += text.size();
      return *this;
    }
    if (!mOnHeap) mHeap.assign(mBuf, mLength), mOnHeap = true;
    mHeap.append(text);
    return *this;
  }
  Line& operator<<(int value) {
    if (!mOnHeap && mLength + kIntDigits < sizeof mBuf) {
      mLength = static_cast<size_t>(std::to_chars(mBuf + mLength, mBuf + sizeof mBuf - 1, value).ptr - mBuf);
      return *this;
    }
    char digits[kIntDigits];
    return *this << std::string_view(digits, static_cast<size_t>(std::to_chars(digits, digits + sizeof digits,
                                                                                value).ptr - digits));
  }
  const char* c_str() {
    if (mOnHeap) return mHeap.c_str();
    mBuf[mLength] = '\0';
    return mBuf;
  }
  std::string str() const { return mOnHeap ? mHeap : std::string(mBuf, mLength); }

 private:
  static constexpr size_t kIntDigits = 12;  // "-2147483648"
  char mBuf[128];
  size_t mLength = 0;
  bool mOnHeap = false;
  std::string mHeap;
};

// Entry i of the named list; empty for a missing list or entry.
void entry(const Tavrin& plug, int which, int i, Line& t) {
  const std::string& name = kListNames[which];
  const std::vector<std::string>* list = plug.uiConfig() ? plug.uiConfig()->findValueList(name) : nullptr;
  if (list && i >= 0 && static_cast<size_t>(i) < list->size()) t << (*list)[static_cast<size_t>(i)];
}

// v - centre, with "+" above it, "0" at it and empty outside 0..top.
void signedOffset(int v, int centre, int top, Line& t) {
  if (v < 0 || v > top) return;
  if (v == centre) {
    t << "0";
    return;
  }
  if (v > centre) t << "+";
  t << v - centre;
}

void onOff(int v, const char* on, const char* off, Line& t) {
  if (v == 1) t << on;
  if (v == 0) t << off;
}

void pan(int v, Line& t) {
  if (v == 0) {
    t << "LEFT 100%";
  } else if (v == 64) {
    t << "< CENTER >";
  } else if (v == 127) {
    t << "RIGHT 100%";
  } else if (v >= 1 && v <= 63) {
    t << "LEFT " << static_cast<int>((v - 64) * -kPanPercentPerStep) << "%";
  } else if (v >= 65 && v <= 126) {
    t << "RIGHT " << static_cast<int>((v - 64) * kPanPercentPerStep) << "%";
  }
}

// The text of 0, 50 or 100 (the start, middle and end of a time setting),
// or null for any other value.
const char* markText(int v, const char* const (&marks)[3]) {
  return v == 0 ? marks[0] : v == 50 ? marks[1] : v == 100 ? marks[2] : nullptr;
}

// The LFO speed: a clock timing while the shape is a clocked one.
void lfoSpeed(const Tavrin& plug, int v, Line& t) {
  const IParam* clock = plug.GetParam(kLFO1ShapeClock);
  if (clock && clock->Value() >= kClockedLfoShapes) {
    entry(plug, kLfoClockTimingList, v / 4, t);
  } else {
    t << v;
  }
}

void swing(int v, Line& t) {
  static const char* const kMarks[] = {"0 %", "50 %", "100%"};
  if (const char* mark = markText(v, kMarks)) {
    t << mark;
  } else {
    t << v << "%";
  }
}

void delay(int v, Line& t) {
  static const char* const kMarks[] = {"-50%", "0 %", "50%"};
  if (const char* mark = markText(v, kMarks)) {
    t << mark;
  } else if (v >= 1 && v <= 99) {
    t << v - 50 << "%";
  }
}

// The value text t of a parameter for the whole value v and the current
// whole value iv (list entries); false for a plain number.
Rule ruleFor(int idx) { return idx >= 0 && idx < kParameterCount ? kRules[static_cast<size_t>(idx)] : ruleOf(idx); }

bool valueRule(const Tavrin& plug, Rule rule, int idx, int v, int iv, Line& t) {
  switch (rule) {
    case Rule::kPlain:
      return false;
    case Rule::kSemitone:
      signedOffset(v, 48, 97, t);
      break;
    case Rule::kLfoSpeed:
      lfoSpeed(plug, v, t);
      break;
    case Rule::kBendUp:
      t << "+" << v;
      break;
    case Rule::kBendDown:
      t << "-" << v;
      break;
    case Rule::kTranspose:
      if (v >= 0) signedOffset(v, 24, INT32_MAX, t);
      break;
    case Rule::kStepTime: {
      static const char* const kTimes[] = {"25 %", "50 %", "75 %", "100 %"};
      if (v >= 0 && v <= 3) t << kTimes[v];
      break;
    }
    case Rule::kPan:
      pan(v, t);
      break;
    case Rule::kCentred64:
      signedOffset(v, 64, 127, t);
      break;
    case Rule::kSwing:
      swing(v, t);
      break;
    case Rule::kDelay:
      delay(v, t);
      break;
    case Rule::kList:
      entry(plug, listOf(idx), iv, t);
      break;
    case Rule::kOnOff:
      onOff(v, "ON", "OFF", t);
      break;
    case Rule::kLocalControl:
      onOff(v, "ALLOWED", "DISABLED", t);
      break;
  }
  return true;
}

}  // namespace

std::string ControlDisplay::getValueString(double value) {
  if (value == static_cast<double>(IParam::WholeValue(value))) return std::to_string(IParam::WholeValue(value));
  char text[64];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

bool ControlDisplay::valueText(const Tavrin& plug, int idx, int v, int iv, std::string& text) {
  Line t;
  if (!valueRule(plug, ruleFor(idx), idx, v, iv, t)) return false;
  text = t.str();
  return true;
}

void ControlDisplay::controlDisplay(Tavrin* plug, int idx, double value, bool transportRunning) {
  const IParam* param = plug->GetParam(idx);
  if (param == nullptr || neverShown(idx) || !plug->editorReady()) return;
  const char* name = param->GetNameForHost() ? param->GetNameForHost() : "";
  if (transportRunning && *name == '\0') return;
  plug->showStatus(name);
  if (idx == kReleaseAllLocks) {
    if (value == 1.0) plug->showStatus(kLocksReleasedText);
    return;
  }
  const int v = IParam::WholeValue(value);
  const Rule rule = ruleFor(idx);
  if (rule == Rule::kPlain) {
    // getValueString of the whole value: its decimal form.
    char number[16];
    *std::to_chars(number, number + sizeof number - 1, v).ptr = '\0';
    plug->showText(kControlDisplayValue, number);
    return;
  }
  Line t;
  valueRule(*plug, rule, idx, v, IParam::WholeValue(param->Value()), t);
  t << " [" << v << "]";
  plug->showText(kControlDisplayValue, t.c_str());
}
