// The name and value lines of the last change.
#include "editor/ControlDisplay.h"

#include <cstdio>

#include "editor/Tavrin.h"
#include "framework/IParam.h"
#include "hardware/ParameterList.h"
#include "uiconfig/UIConfigManager.h"

namespace {

constexpr const char* kLocksReleasedText = "All Section Locks Released";
constexpr double kPanPercentPerStep = 1.55;
constexpr double kClockedLfoShapes = 5.0;

bool neverShown(int idx) {
  switch (idx) {
    case kPatchName: case 99: case 182: case kCategoryName: case 246: case 247: case 248: case 249: case 250:
    case 251: case 253: case 254: case 259: case 261: case 267: case 268: case kDeviceOutSelection:
    case kDeviceInSelection: case kPatchUp: case kPatchDown: case 280: case kControlDisplayName:
    case kControlDisplayValue: case kControlDisplayCC: case 286: case kPushArrangement: case 291: case 296:
    case kPatchSelectionListUpper: case 298: case kRequestTempData: case kMainTab: case kLibrarianArea:
      return true;
    default:
      return false;
  }
}

// The value list a parameter's text comes from, or null.
const char* listName(int idx) {
  if (idx >= 59 && idx <= 82 && (idx - 59) % 3 == 0) return "modulationSources";
  if (idx >= 61 && idx <= 82 && (idx - 61) % 3 == 0) return "modulationDestinations";
  if (idx >= 119 && idx <= 134) return "patternEventType";
  switch (idx) {
    case 6: return "osc1Shape";
    case 7: return "osc2Shape";
    case 8: return "osc3Shape";
    case kLFO1Shape: return "lfo1Shape";
    case 32: case 34: return "loopingModes";
    case 33: case 35: return "triggerModes";
    case 39: return "osc3Routing";
    case 45: return "filterType";
    case 48: return "glideMode";
    case 52: return "arpActiveMode";
    case 53: return "arpOctaveRange";
    case 54: return "arpTempoValues";
    case 55: return "arpClock";
    case 56: return "arpModeList";
    case 58: return "vcaDriveCurve";
    case 86: return "stepDuration";
    case kGlobalMidiChannel: return "omniToSixteen";
    case kGlobalClock: return "midiClockSource";
    default: return nullptr;
  }
}

// Entry i of the named list; empty for a missing list or entry.
std::string entry(const Tavrin& plug, const char* name, int i) {
  if (plug.uiConfig() == nullptr) return "";
  const std::vector<std::string> list = plug.uiConfig()->valueList(name);
  return i >= 0 && static_cast<size_t>(i) < list.size() ? list[static_cast<size_t>(i)] : "";
}

// v - centre, with "+" above it, "0" at it and empty outside 0..top.
std::string signedOffset(int v, int centre, int top) {
  if (v < 0 || v > top) return "";
  if (v == centre) return "0";
  return (v > centre ? "+" : "") + std::to_string(v - centre);
}

std::string onOff(int v, const char* on, const char* off) { return v == 1 ? on : v == 0 ? off : ""; }

std::string pan(int v) {
  if (v == 0) return "LEFT 100%";
  if (v == 64) return "< CENTER >";
  if (v == 127) return "RIGHT 100%";
  if (v >= 1 && v <= 63) return "LEFT " + std::to_string(static_cast<int>((v - 64) * -kPanPercentPerStep)) + "%";
  if (v >= 65 && v <= 126) return "RIGHT " + std::to_string(static_cast<int>((v - 64) * kPanPercentPerStep)) + "%";
  return "";
}

bool isOnOff(int idx) {
  return (idx >= kPartLock && idx <= 180) || (idx >= kOscillator1Keytrack && idx <= 38) || idx == kOverrideTempo ||
         (idx >= kPatternStep01Glide && idx <= 166) || idx == kGlobalMidiThru;
}

bool isCentred64(int idx) {
  return (idx >= kFilterCutoffKeytrack && idx <= 43) || idx == kVolumeVeloSense ||
         (idx >= 60 && idx <= 81 && (idx - 60) % 3 == 0);
}


}  // namespace

std::string ControlDisplay::getValueString(double value) {
  if (value == static_cast<double>(IParam::WholeValue(value))) return std::to_string(IParam::WholeValue(value));
  char text[64];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

bool ControlDisplay::valueText(const Tavrin& plug, int idx, int v, int iv, std::string& t) {
  if (idx >= kOscillator1Semitone && idx <= kOscillator3Semitone) {
    t = signedOffset(v, 48, 97);
  } else if (idx == kLFO1Speed) {
    const IParam* clock = plug.GetParam(kLFO1ShapeClock);
    t = clock && clock->Value() >= kClockedLfoShapes ? entry(plug, "lfoClockTiming", v / 4) : std::to_string(v);
  } else if (idx == kPitchBendScaleUp) {
    t = "+" + std::to_string(v);
  } else if (idx == kPitchBendScaleDown) {
    t = "-" + std::to_string(v);
  } else if (idx == kGlobalTranspose) {
    t = v < 0 ? "" : signedOffset(v, 24, INT32_MAX);
  } else if (idx >= kPatternStep01Time && idx <= 150) {
    static const char* const kTimes[] = {"25 %", "50 %", "75 %", "100 %"};
    t = v >= 0 && v <= 3 ? kTimes[v] : "";
  } else if (idx == kPanning) {
    t = pan(v);
  } else if (isCentred64(idx)) {
    t = signedOffset(v, 64, 127);
  } else if (idx == kArpSwing) {
    t = v == 0 ? "0 %" : v == 50 ? "50 %" : v == 100 ? "100%" : std::to_string(v) + "%";
  } else if (idx == kArpDelay) {
    t = v == 0 ? "-50%" : v == 50 ? "0 %" : v == 100 ? "50%" : (v >= 1 && v <= 99) ? std::to_string(v - 50) + "%" : "";
  } else if (const char* list = listName(idx)) {
    t = entry(plug, list, iv);
  } else if (isOnOff(idx)) {
    t = onOff(v, "ON", "OFF");
  } else if (idx == kGlobalLocalControl) {
    t = onOff(v, "ALLOWED", "DISABLED");
  } else {
    return false;
  }
  return true;
}

void ControlDisplay::controlDisplay(Tavrin* plug, int idx, double value, bool transportRunning) {
  const IParam* param = plug->GetParam(idx);
  if (param == nullptr || neverShown(idx) || !plug->editorReady()) return;
  const std::string name = param->GetNameForHost() ? param->GetNameForHost() : "";
  if (transportRunning && name.empty()) return;
  plug->setStatusText(name);
  if (idx == kReleaseAllLocks) {
    if (value == 1.0) plug->setStatusText(kLocksReleasedText);
    return;
  }
  const int v = IParam::WholeValue(value);
  std::string t;
  if (!valueText(*plug, idx, v, IParam::WholeValue(param->Value()), t)) {
    plug->showText(kControlDisplayValue, getValueString(v).c_str());
    return;
  }
  plug->showText(kControlDisplayValue, (t + " [" + std::to_string(v) + "]").c_str());
}
