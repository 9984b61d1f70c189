// The plug-in class: construction and the guarded send path.
#include "editor/Tavrin.h"

#include "editor/DebuggerOutput.h"
#include "hardware/SysexProtocol.h"
#include "platform/folders.h"
#include "shim/winbase.h"
#include "hardware/ParameterList.h"

namespace {

constexpr int32_t fourCharCode(const char (&c)[5]) {
  return static_cast<int32_t>((static_cast<uint32_t>(c[0]) << 24) | (static_cast<uint32_t>(c[1]) << 16) |
                              (static_cast<uint32_t>(c[2]) << 8) | static_cast<uint32_t>(c[3]));
}

constexpr const char* kEffectName = "Tavrin Editor";
constexpr const char* kProductName = "";
constexpr const char* kVendor = "Quillfen";
constexpr int32_t kVendorVersion = 0x10100;
constexpr int32_t kUniqueId = fourCharCode("bbnt");
constexpr int32_t kVendorId = fourCharCode("Qlf1");
constexpr const char* kChannelIO = "2-2";
constexpr int kLatency = 128;

}  // namespace

Tavrin::Tavrin(IPluginInstanceInfo info)
    : IPluginVST(info, kNumAutomatedParams, kChannelIO, 0, kEffectName, kProductName, kVendor, kVendorVersion, kUniqueId,
                 kVendorId, kLatency, true, true, true) {
  mDebugLogPath = platform::dataFolder() + kDebugLogFileName;
  mDebugLogOn = DebuggerOutput::openDebugFile(mDebugLogPath);
  // Every parameter exists, none of them shown to the host.
  initialize(info, 0, kParameterCount, kChannelIO, 0, kEffectName, kProductName, kVendor, kVendorVersion, kUniqueId,
             kVendorId, kLatency, true, true, true);
  addNonAutomateParamCount(kParameterCount);
}

Tavrin::~Tavrin() {
  // Nothing more is sent, and no input reaches this object's hooks while its
  // members go: the ports are shut before anything else is torn down.
  mFlags.midiIOSet.store(false);
  SetHardwarePorts(nullptr);
}

void Tavrin::setStatusText(const std::string& text) {
  KIT_MutexLock lock(mStatusLock);
  mStatusText = text;
}

std::string Tavrin::statusText() const {
  KIT_MutexLock lock(mStatusLock);
  return mStatusText;
}

void Tavrin::checksumCheckAndSend(unsigned char* message, int length) {
  if (!mFlags.midiIOSet.load()) {
    setStatusText(kMidiIONotSetText);
    return;
  }
  if (message == nullptr || length <= 0) return;
  const size_t size = static_cast<size_t>(length);

  sysex::applySendCheckSum(message, size);

  // Only messages passed with their leading F0 have the family bytes at 1
  // and 2, so only they light the light; a lit light is not restarted.
  IGraphicsBase* graphics = GetGraphicsBase();
  if (!mFlags.lightTracksInput.load() && graphics && size >= 3 && message[1] == sysex::kManufacturer &&
      message[2] == sysex::kModel && !mFlags.lightOn.load()) {
    graphics->SetParameterFromPlug(kMIDILed, 1.0, false);
    mFlags.lightOn.store(true);
    mFlags.lightTick.store(GetTickCount());
  }

  SendMidiSysex(message, length);

  if (mDebugLogOn) DebuggerOutput::logSysExOutMessageByte(mDebugLogPath, message, length);
}

void Tavrin::DebugLogText(const std::string& text) {
  if (mDebugLogOn) DebuggerOutput::printDebugInfo(mDebugLogPath, text);
}
