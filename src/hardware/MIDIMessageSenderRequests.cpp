// The request jobs: the device-ID enquiry (9), the edit-buffer requests (4,
// 5), one sound into the target slot (6) and a whole bank (7).
#include <algorithm>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MIDIMessageSender.h"
#include "hardware/ParameterList.h"

namespace {

int pacing(MIDIMessageManager& hub) { return MIDIMessageManager::requestPacingMs(hub.paramValue(kLibSyncTimer)); }

}  // namespace

void MIDIMessageSender::sendDeviceIdEnquiry() {
  int t = 0;
  uint8_t device = 0;
  SharedFlags& flags = m_hub.flags();
  IEditorServices& editor = m_hub.editor();
  if (!locked([&] {
        // From here on a global dump is taken; the request-active call below
        // clears reply-arrived.
        flags.awaitingGlobalDump.store(true);
        m_hub.setCancelRequested(false);
        m_hub.setTimedOut(false);
        editor.DisplayProcessingIndicator(true);
        editor.SetLibrarianRequestActive(false);
        editor.setStatusText(kConnectingText);
        t = pacing(m_hub);
        device = m_hub.learntDevice();
      }))
    return;
  if (!requestAndWait({t, t, [](uint8_t d) { return sysex::globalRequest(d); }, true}, device) || !pause(t)) return;
  locked([&] {
    if (m_hub.cancelRequested()) {
      editor.setStatusText(kCancelledText);
    } else if (!m_hub.timedOut()) {
      editor.setStatusText(kReadyText);
    }
    // Ended without a global dump: a late one is ignored as an unrequested
    // one is.
    flags.awaitingGlobalDump.store(false);
    editor.DisplayProcessingIndicator(false);
  });
}

bool MIDIMessageSender::beginRequest(bool part, bool arm) {
  return locked([&] {
    IEditorServices& editor = m_hub.editor();
    m_hub.setCancelRequested(false);
    m_hub.setTimedOut(false);
    editor.DisplayProcessingIndicator(true);
    if (part) {
      editor.SetLibrarianRequestActive(false);
      m_hub.setInterfaceUpdate(true);
    } else {
      m_hub.setLibrarianRequestRunning(true);
      m_hub.setInterfaceUpdate(true);
      if (arm) {
        editor.SetLibrarianRequestActive(true);
      } else {
        m_hub.slots().setTargetSlot(0);
      }
    }
  });
}

void MIDIMessageSender::endRequest(int finalPause, bool bankExtras) {
  if (!pause(finalPause)) return;
  locked([&] {
    IEditorServices& editor = m_hub.editor();
    const bool cancelled = m_hub.cancelRequested();
    if (cancelled) {
      editor.setStatusText(kCancelledText);
    } else if (!m_hub.timedOut()) {
      editor.setStatusText(kCompletedText);
    }
    if (bankExtras) {
      if (cancelled) {
        // Nothing collected after the cancel may land in a slot.
        m_hub.emptyLibraryRequest();
        m_hub.disarmLibraryRequest();
        m_hub.setParameterFromPlug(kDiscardBankData, 1.0);
        m_hub.plugin().OnParamChange(kDiscardBankData);
      } else {
        // The fetched sounds live in the upper list only, until Save.
        editor.SetLibrarianStatusUnsaved(true);
      }
      m_hub.setLibrarianRequestRunning(false);
    }
    editor.DisplayProcessingIndicator(false);
  });
}

void MIDIMessageSender::sendActiveArrangementRequestSysex() { requestEditBuffer(true); }

void MIDIMessageSender::sendPartRequestSysex() { requestEditBuffer(false); }

void MIDIMessageSender::requestEditBuffer(bool learntDevice) {
  int t = 0;
  uint8_t device = 0;
  if (!beginRequest(true, false) || !locked([&] {
        t = pacing(m_hub);
        device = learntDevice ? m_hub.learntDevice() : m_hub.globalDevice();
      }))
    return;
  // Job 4 searches and ends with half pauses.
  const int shortPause = learntDevice ? t / 2 : t;
  if (!requestAndWait({t, shortPause, [](uint8_t d) { return sysex::editBufferRequest(d); }}, device)) return;
  endRequest(shortPause, false);
}

bool MIDIMessageSender::requestAndWait(const WaitPlan& plan, uint8_t device) {
  return sendRequest(plan.request(device)) && waitForReply(plan) != Wait::Stopped;
}

bool MIDIMessageSender::requestSound(const sysex::Location& where, uint8_t device, int t) {
  return requestAndWait({t, t, [where](uint8_t d) { return sysex::soundRequest(d, where); }}, device);
}

void MIDIMessageSender::sendSinglePatchRequestSysex(bool editBuffer) {
  int t = 0;
  uint8_t device = 0;
  sysex::Location where;
  if (!beginRequest(false, true) || !locked([&] {
        t = pacing(m_hub);
        device = m_hub.globalDevice();
        const double bank = m_hub.paramValue(kCurrentBank);
        where = editBuffer ? sysex::kEditBuffer
                           : sysex::encodeLocation(bank > 0.0 && bank < 128.0 ? static_cast<int>(bank) : 0,
                                                   m_hub.slots().targetSlot());
      }))
    return;
  if (!requestSound(where, device, t)) return;
  endRequest(t, true);
}

void MIDIMessageSender::sendAllPatchRequestSysex(int bank) {
  int t = 0;
  if (!beginRequest(false, false) || !locked([&] { t = pacing(m_hub); })) return;
  for (int slot = 0; slot < sysex::kSlotsPerBank; ++slot) {
    if (m_hub.cancelRequested() || m_hub.stopping()) break;
    const sysex::Location where = sysex::encodeLocation(bank, slot);
    uint8_t device = 0;
    if (!locked([&] {
          m_hub.editor().SetLibrarianRequestActive(true);
          device = m_hub.globalDevice();
        }))
      return;
    if (!requestSound(where, device, t)) return;
    // The selection steps on, but not past the bank's last slot.
    if (!locked([&] {
          ILibrarianSlots& slots = m_hub.slots();
          slots.setTargetSlot(std::min(slots.targetSlot() + 1, ILibrarianSlots::kSlots - 1));
        }))
      return;
  }
  if (!pause(t) || !locked([&] { m_hub.slots().setTargetSlot(0); })) return;
  endRequest(t, true);
}
