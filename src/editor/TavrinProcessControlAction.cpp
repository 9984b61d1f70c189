// The control-action send: one parameter change of a bound control becomes
// the control changes or system-exclusive messages the instrument expects,
// once per whole value, with the send permission asked for each message.
#include <charconv>

#include "editor/Tavrin.h"
#include "framework/IControl.h"
#include "framework/IParam.h"
#include "framework/ITextControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "uiconfig/ControlAction.h"
#include "uiconfig/ControlActionEncoder.h"

namespace {

constexpr const char* kNrpnLabel = "MSB/LSB";
constexpr const char* kSysexLabel = "SysEx";

}  // namespace

ITextControl* Tavrin::findTextDisplay(int paramIdx) {
  const auto slot = static_cast<size_t>(static_cast<unsigned>(paramIdx - kControlDisplayName));
  if (slot >= mTextDisplays.size() || !mEditorReady.load()) {
    return dynamic_cast<ITextControl*>(rememberedControl(paramIdx));
  }
  for (size_t i = 0; i < mTextDisplays.size(); ++i) {
    mTextDisplays[i] = dynamic_cast<ITextControl*>(rememberedControl(kControlDisplayName + static_cast<int>(i)));
  }
  mTextDisplaysFound = true;
  return mTextDisplays[slot];
}

void Tavrin::showText(int paramIdx, const char* text) {
  if (ITextControl* display = textDisplay(paramIdx)) display->SetTextFromPlug(text);
}

bool Tavrin::KnownLine::shows(const ITextControl* now) const {
  // Only while the revision is the one taken before the last set: that set
  // found the text already there, and nothing has changed it since.
  return now != nullptr && now == display && now->TextRevision() == revision;
}

void Tavrin::showKnownLine(KnownLine& known, int paramIdx, const char* text, bool same) {
  ITextControl* display = textDisplay(paramIdx);
  if (display == nullptr || (same && known.shows(display))) return;
  known.display = display;
  known.revision = display->TextRevision();
  display->SetTextFromPlug(text);
}

void Tavrin::showCCLabel(const ControlAction& action, int channelCount) {
  const CCLabel label = {channelCount == 0 ? CCLabel::kSysex : action.type == 3 ? CCLabel::kNrpn : CCLabel::kCC,
                         action.ccNumber};
  const bool same = mCCLabel.kind == label.kind && (label.kind != CCLabel::kCC || mCCLabel.cc == label.cc);
  if (same && mCCLine.shows(textDisplay(kControlDisplayCC))) return;
  mCCLabel = label;
  if (label.kind != CCLabel::kCC) {
    showKnownLine(mCCLine, kControlDisplayCC, label.kind == CCLabel::kSysex ? kSysexLabel : kNrpnLabel, same);
    return;
  }
  // "CC|" and the number: at most 3 + 11 characters.
  char text[16] = "CC|";
  *std::to_chars(text + 3, text + sizeof text - 1, label.cc).ptr = '\0';
  showKnownLine(mCCLine, kControlDisplayCC, text, same);
}

bool Tavrin::sendPermitted() const {
  if (mHardwareChange.load()) return false;
  if (mHub == nullptr || !mHub->applyingIncoming()) return true;
  return !mFlags.localControl.load() || mHub->fromDAW();
}

void Tavrin::processControlAction(ControlAction* action, int paramIdx, double value) {
  if (action == nullptr) return;
  EditorScope lock(GetMutex());
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  const int whole = IParam::WholeValue(value);
  if (action->lastValue == whole) return;
  if (!mFlags.midiIOSet.load()) {
    if (paramIdx != kDeviceOutSelection && paramIdx != kDeviceInSelection && paramIdx != kGlobalMidiChannel) {
      showStatus(kMidiIONotSetText);
    }
    return;
  }
  if (!mEditorReady.load()) return;
  action->lastValue = whole;

  // By index: a control that changes the list cannot invalidate the walk.
  const double normalized = param->GetNormalized();
  for (size_t i = 0; i < action->controls.size(); ++i) {
    if (IControl* control = action->controls[i]) control->SetValueFromPlug(normalized);
  }

  // The LFO's control change carries its position with the clocked shapes,
  // which the clocked-shape parameter holds.
  double encoded = value;
  if (paramIdx == kLFO1Shape && GetParam(kLFO1ShapeClock)) encoded = GetParam(kLFO1ShapeClock)->Value();
  const int channel = globalChannel();
  EncodedMessages out;
  if (!encodeControlAction(*action, paramIdx, encoded, param->GetMin(), channel, mFlags.deviceId.load(), out)) {
    return;
  }
  showCCLabel(*action, out.channelCount);
  for (int i = 0; i < out.channelCount; ++i) {
    if (sendPermitted()) routeLocked(&out.channel[i], channel);
  }
  for (size_t i = 0; i < out.sysexCount(); ++i) {
    if (sendPermitted() && mHub) mHub->sendSysexMessage(out.sysex(i));
  }
}
