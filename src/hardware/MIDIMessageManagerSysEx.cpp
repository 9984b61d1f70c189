// Incoming system-exclusive messages: the librarian collector, the sound and
// global dumps, single-parameter changes and learning the device ID.
#include <cstdio>
#include <exception>

#include "framework/IControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"

namespace {

// Below this a message cannot carry the family's header and device byte.
constexpr size_t kShortest = 4;
constexpr size_t kEchoedRequestLength = 6;
constexpr size_t kSoundDumpBranch = 71;   // this long or longer: a sound dump while a request is pending
constexpr size_t kGlobalDumpBranch = 38;  // this long or longer: a global dump while one is awaited
constexpr size_t kShortBranch = 24;       // this long or shorter: single-parameter and short messages

// Single-parameter addresses whose control is moved as the instrument's own
// change (nothing goes back), and whether the panel layout follows.
struct Address {
  uint8_t a1, a2;
  bool refreshMainTab;
};
constexpr Address kMarkedAddresses[] = {
    {0x7B, 0x01, true}, {0x70, 0x00, true}, {0x6B, 0x00, true}, {0x00, 0x02, true}, {0x29, 0x00, true},
    {0x10, 0x00, false},
};

}  // namespace

void MIDIMessageManager::ProcessSysEx(const ISysEx* msg, bool fromDevice, bool internal) {
  if (msg == nullptr || msg->mData == nullptr || msg->mSize <= 0 || !fromDevice) return;
  try {
    EditorLock lock(*this);
    if (!lock.held()) return;
    dispatch(msg->mData, static_cast<size_t>(msg->mSize), internal);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "incoming system exclusive: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "incoming system exclusive: unknown exception\n");
  }
}

void MIDIMessageManager::dispatch(const uint8_t* bytes, size_t size, bool internal) {
  if (size < kShortest || size == kEchoedRequestLength) return;
  if (bytes[1] != sysex::kManufacturer || (bytes[2] != sysex::kModel && bytes[2] != sysex::kModelPrevious)) return;
  if (!sysex::isValidDeviceByte(bytes[3])) return;

  if (m_request.active) {
    if (!addMessageData(bytes, size)) return;
    // A sound from the port that completes a requested collection names the
    // device that answered.
    if (!internal) learnDeviceId(bytes[3]);
    if (m_slots.storeCollected(m_request.patch)) {
      m_editor.updatePatchLibrarianView(0);
      m_editor.setLibrarianViewDirty();
    }
    m_replyArrived.store(true);
    return;
  }

  if (size >= kSoundDumpBranch && m_requestPending.load()) {
    if (!internal) learnDeviceId(bytes[3]);
    sysexPartPatchParse(bytes, size);
    m_interfaceUpdate.store(true);
  } else if (size >= kGlobalDumpBranch) {
    if (m_flags.awaitingGlobalDump.load()) {
      if (!internal) learnDeviceId(bytes[3]);
      sysexSettingsParse(bytes, size);
      m_interfaceUpdate.store(true);
    }
  } else if (size <= kShortBranch && !m_requestPending.load()) {
    m_interfaceUpdate.store(false);
    if (sysex::classify(bytes, size).kind == sysex::MessageKind::SingleParameter) {
      applySingleParameter(bytes);
    } else if (!internal) {
      learnDeviceId(bytes[3]);
    }
  }

  if (m_interfaceUpdate.exchange(false)) m_editor.updateUserInterfaceAndMenus();
}

void MIDIMessageManager::learnDeviceId(uint8_t device) {
  if (device == m_flags.deviceId.load()) return;
  // The value alone: no control is redrawn and no change is announced.
  if (IParam* p = m_plugin.GetParam(kGlobalDeviceID)) p->SetClamped(device);
  m_flags.deviceId.store(device);
}

void MIDIMessageManager::sysexPartPatchParse(const uint8_t* bytes, size_t size) {
  sounddump::Locks locks;
  for (int i = 0; i < kSectionLockCount; ++i) locks.values[static_cast<size_t>(i)] = paramValue(kFirstSectionLock + i);
  const auto parsed = sounddump::parse(bytes, size, locks);
  if (!parsed) return;
  m_replyArrived.store(false);

  if (IParam* name = m_plugin.GetParam(kPatchName)) name->SetDisplayText(0, parsed->name.c_str());
  m_slots.setCurrentPatchRecord(sounddump::recordText(parsed->name), sounddump::recordText(parsed->categoryText));
  m_editor.setLibrarianViewDirty();
  for (const sounddump::ParameterWrite& w : parsed->writes) setParameterFromPlug(w.param, w.value);
  m_editor.displayCategoryName(parsed->categoryText);

  m_interfaceUpdate.store(true);
  m_replyArrived.store(true);
}

void MIDIMessageManager::sysexSettingsParse(const uint8_t* bytes, size_t size) {
  const auto values = sysex::readGlobalDump(bytes, size);
  if (!values) return;
  for (const sysex::GlobalSetting& s : values->settings) setParameterFromPlug(s.param, s.value);
  m_editor.setArpTempoLayers(values->externalClock);
  m_replyArrived.store(true);
  m_flags.awaitingGlobalDump.store(false);
  m_interfaceUpdate.store(true);
  m_requestPending.store(false);
}

void MIDIMessageManager::applySingleParameter(const uint8_t* bytes) {
  IControl* control = m_sysexControls.findControl(bytes[3], bytes[4], bytes[5], bytes[6], 0);
  if (control == nullptr) return;
  bool marked = false;
  bool refresh = false;
  for (const Address& a : kMarkedAddresses) {
    if (a.a1 == bytes[5] && a.a2 == bytes[6]) {
      marked = true;
      refresh = a.refreshMainTab;
    }
  }
  processSysExToUI(control, bytes[7], refresh, marked);
}

IControl* MIDIMessageManager::getNormalControl(int key1, int key2, int key3, int key4, int value, bool markApplying) {
  IControl* control = m_sysexControls.findControl(key1, key2, key3, key4, 0);
  processSysExToUI(control, value, false, markApplying);
  return control;
}

void MIDIMessageManager::processSysExToUI(IControl* control, int value, bool refreshMainTab, bool markApplying) {
  if (control == nullptr) return;
  m_requestPending.store(false);
  m_applyingIncoming.store(false);
  const IParam* p = m_plugin.GetParam(control->ParamIdx());
  if (p == nullptr) return;
  const auto normalised = incomingNormalised(value, p->GetMin(), p->GetMax());
  if (!normalised) return;
  m_applyingIncoming.store(markApplying);
  control->SetValueFromHardware(*normalised);
  m_applyingIncoming.store(false);
  if (refreshMainTab) m_plugin.OnParamChange2(kMainTab);
}
