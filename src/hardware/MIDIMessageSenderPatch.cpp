// The sound jobs: the editor's sound as a dump to the instrument or into a
// librarian slot (0) with the global-settings step, the INIT sound into a
// slot (8), one stored sound to the instrument (2) and a whole bank to its
// locations (3).
#include "framework/IParam.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/MIDIMessageSender.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"

namespace {

constexpr int kGlobalStepMs = 1000;
constexpr int kAfterGlobalStepMs = 400;
constexpr int kAfterDeviceSendMs = 200;
constexpr int kAfterInitSlotMs = 100;
constexpr int kAfterAllNotesOffMs = 50;

}  // namespace

void MIDIMessageSender::allNotesOff() {
  const IMidiMsg msg(0, 0xB0, IMidiMsg::kAllNotesOff, 0);
  m_hub.plugin().SendMidiMsg(&msg);
}

bool MIDIMessageSender::handOverToSlot(const uint8_t* dump, size_t size) {
  m_hub.editor().SetLibrarianRequestActive(true);
  m_hub.editor().feedSysEx(dump, static_cast<int>(size));
  if (!m_hub.libraryRequest().active) return true;
  // Refused on the way (a transfer began meanwhile): nothing may stay armed
  // for an unrelated dump.
  m_hub.disarmLibraryRequest();
  m_hub.emptyLibraryRequest();
  return false;
}

bool MIDIMessageSender::sendGlobalToDevice(int) {
  if (!locked([&] {
        m_hub.editor().DisplayProcessingIndicator(true);
        m_hub.flags().globalsSent.store(true);
      }))
    return false;
  if (!pause(kGlobalStepMs, false)) return false;
  return locked([&] { m_hub.editor().DisplayProcessingIndicator(false); });
}

void MIDIMessageSender::sendArrangementToDevice(bool toLibrarian) {
  IEditorServices& editor = m_hub.editor();
  bool go = false;
  int device = 0;
  if (!locked([&] {
        // The librarian form needs a slot to store into.
        go = !toLibrarian || m_hub.librarianTargetValid(true);
        if (!go) return;
        device = m_hub.globalDevice();
        editor.DisplayProcessingIndicator(true);
      }) ||
      !go)
    return;
  if (!toLibrarian && m_job.globalStep) {
    if (!sendGlobalToDevice(device) || !pause(kAfterGlobalStepMs, false)) return;
  }

  // The sound as it stands now, built outside the lock.
  sounddump::Snapshot snapshot;
  if (!locked([&] {
        for (int i = 0; i < kParameterCount; ++i) snapshot.values[static_cast<size_t>(i)] = m_hub.paramValue(i);
        const IParam* name = m_hub.plugin().GetParam(kPatchName);
        const char* text = name ? name->GetDisplayText(0) : nullptr;
        snapshot.name = text ? text : "";
      }))
    return;
  sounddump::Dump dump = sounddump::build(snapshot);
  const std::string category = sounddump::categoryTextWritten(dump[sounddump::kCategoryByte]);

  if (toLibrarian) {
    locked([&] {
      editor.displayCategoryName(category);
      if (m_hub.librarianTargetValid(true)) handOverToSlot(dump.data(), dump.size());
      editor.DisplayProcessingIndicator(false);
    });
    return;
  }
  if (!locked([&] {
        editor.displayCategoryName(category);
        // Not into ports that a load is switching: it sends the sound itself
        // once they are open. A dump the open port refused is told.
        if (!m_hub.flags().loadSwitchingPorts.load() &&
            !editor.checksumCheckAndSend(dump.data(), static_cast<int>(dump.size()))) {
          editor.setStatusText(MIDIMessageManager::kMidiIONotSetText);
        }
        m_hub.slots().setCurrentPatchRecord(sounddump::recordText(snapshot.name), sounddump::recordText(category));
        editor.setLibrarianViewDirty();
      }) ||
      !pause(kAfterDeviceSendMs, false))
    return;
  locked([&] { editor.DisplayProcessingIndicator(false); });
}

void MIDIMessageSender::initClassicPatch() {
  IEditorServices& editor = m_hub.editor();
  bool stored = false;
  if (!locked([&] {
        if (!m_hub.librarianTargetValid(true)) return;
        editor.DisplayProcessingIndicator(true);
        const sounddump::Dump dump = sounddump::buildInitSlot(m_hub.globalDevice(), m_hub.slots().targetSlot());
        stored = handOverToSlot(dump.data(), dump.size());
        if (!stored) editor.DisplayProcessingIndicator(false);
      }) ||
      !stored || !pause(kAfterInitSlotMs, false))
    return;
  locked([&] {
    editor.SetLibrarianStatusUnsaved(true);
    editor.DisplayProcessingIndicator(false);
  });
}

void MIDIMessageSender::sendPatchToDeviceFromLibrarian() {
  IEditorServices& editor = m_hub.editor();
  SharedFlags& flags = m_hub.flags();
  std::optional<sounddump::Dump> dump = sounddump::storedDump(m_job.dump);
  if (!locked([&] {
        m_hub.setCancelRequested(false);
        if (!dump) return;
        editor.DisplayProcessingIndicator(true);
        allNotesOff();
      }))
    return;
  if (dump && !pause(kAfterAllNotesOffMs)) return;
  bool sent = false;
  locked([&] {
    if (dump && !m_hub.cancelRequested()) {
          sounddump::address(*dump, m_hub.globalDevice(), m_job.location.value_or(sysex::kEditBuffer));
          m_hub.plugin().SendMidiSysex2(dump->data(), static_cast<int>(dump->size()));
          sent = true;
          // The sound sent to the edit buffer shows in the controls.
          if (!m_job.location) {
            editor.SetLibrarianRequestActive(false);
            flags.transferInProgress.store(false);
            m_hub.setRequestPending(true);
            editor.feedSysEx(dump->data(), static_cast<int>(dump->size()));
            m_hub.setRequestPending(false);
          }
        }
        if (sent) editor.setStatusText(kSendCompletedText);
        editor.DisplayProcessingIndicator(false);
        flags.transferInProgress.store(false);
      });
}

void MIDIMessageSender::storeAllPatchesToDeviceFromLibrarian(int bank, bool secondList) {
  IEditorServices& editor = m_hub.editor();
  int t = 0;
  if (!locked([&] {
        m_hub.setCancelRequested(false);
        editor.DisplayProcessingIndicator(true);
        t = MIDIMessageManager::requestPacingMs(m_hub.paramValue(kLibSyncTimer));
        allNotesOff();
      }) ||
      !pause(kAfterAllNotesOffMs))
    return;
  for (int slot = 0; slot < sysex::kSlotsPerBank; ++slot) {
    if (m_hub.cancelRequested() || m_hub.stopping()) break;
    std::optional<sounddump::Dump> dump;
    if (const auto& stored = m_job.dumps[static_cast<size_t>(slot)]) dump = sounddump::storedDump(*stored);
    if (!locked([&] {
          m_hub.slots().selectSlot(secondList, slot);
          editor.DisplayProcessingIndicator(true);
          if (dump) {
            sounddump::address(*dump, m_hub.globalDevice(), sysex::encodeLocation(bank, slot));
            m_hub.plugin().SendMidiSysex2(dump->data(), static_cast<int>(dump->size()));
          } else {
            editor.DisplayProcessingIndicator(false);
          }
        }))
      return;
    if (!dump) continue;
    if (!pause(t) || !locked([&] { editor.DisplayProcessingIndicator(false); })) return;
  }
  locked([&] {
    editor.DisplayProcessingIndicator(false);
    m_hub.slots().selectSlot(false, 0);
  });
}
