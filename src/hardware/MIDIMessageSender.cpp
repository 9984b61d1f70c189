// The job runner: dispatch, pauses, the editor lock and the wait for an
// answer with its device-ID search.
#include "hardware/MIDIMessageSender.h"

#include <cstdio>
#include <exception>

#include "hardware/MIDIMessageManager.h"
#include "platform/clock.h"

void MIDIMessageSender::run() {
  try {
    switch (m_job.mode) {
      case SenderJob::kSendSound: sendArrangementToDevice(m_job.toLibrarian); break;
      case SenderJob::kSendLibrarianSound: sendPatchToDeviceFromLibrarian(); break;
      case SenderJob::kStoreBank: storeAllPatchesToDeviceFromLibrarian(m_job.storeBank, m_job.secondList); break;
      case SenderJob::kInitSlot: initClassicPatch(); break;
      case SenderJob::kEditBufferRequest: sendActiveArrangementRequestSysex(); break;
      case SenderJob::kPartRequest: sendPartRequestSysex(); break;
      case SenderJob::kSingleRequest: sendSinglePatchRequestSysex(m_job.editBuffer); break;
      case SenderJob::kBankRequest: sendAllPatchRequestSysex(m_job.requestBank); break;
      case SenderJob::kDeviceEnquiry: sendDeviceIdEnquiry(); break;
      case SenderJob::kClockStart: startMIDIClockOutput(); break;
      case SenderJob::kContinuousClock: sendContinuousMIDIClock(120); break;
      case SenderJob::kClockStop: stopMIDIClockOutput(); break;
      default: break;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "job %d: %s\n", m_job.mode, e.what());
  } catch (...) {
    std::fprintf(stderr, "job %d: unknown exception\n", m_job.mode);
  }
  // A librarian request that ended early (the hub stopped) lets program
  // changes through again.
  if (m_job.mode == SenderJob::kSingleRequest || m_job.mode == SenderJob::kBankRequest)
    m_hub.setLibrarianRequestRunning(false);
}

bool MIDIMessageSender::pause(int ms, bool wakeOnCancel) {
  if (ms > 0) {
    platform::sleepMicrosUnless(static_cast<uint64_t>(ms) * 1000u, [this, wakeOnCancel] {
      return m_hub.stopping() || (wakeOnCancel && m_hub.cancelRequested());
    });
  }
  return !m_hub.stopping();
}

bool MIDIMessageSender::locked(const std::function<void()>& f) {
  MIDIMessageManager::EditorLock lock(m_hub);
  if (!lock.held()) return false;
  f();
  return true;
}

bool MIDIMessageSender::status(const std::string& text) {
  return locked([&] { m_hub.editor().setStatusText(text); });
}

bool MIDIMessageSender::sendRequest(const std::vector<uint8_t>& unframed) {
  return locked([&] {
    std::vector<uint8_t> bytes = unframed;
    m_hub.editor().checksumCheckAndSend(bytes.data(), static_cast<int>(bytes.size()));
  });
}

MIDIMessageSender::Wait MIDIMessageSender::waitForReply(const WaitPlan& plan) {
  SharedFlags& flags = m_hub.flags();
  for (int pass = 1;; ++pass) {
    if (!pause(plan.pause)) return Wait::Stopped;
    if (plan.enquiry) {
      if (!status(kProcessingText)) return Wait::Stopped;
    } else if (m_hub.cancelRequested()) {
      m_hub.setTimedOut(true);
      return Wait::Cancelled;
    }

    if (pass == kSearchPass) {
      for (int id = 0; id < sysex::kDeviceScanCount; ++id) {
        if (!sendRequest(plan.request(static_cast<uint8_t>(id)))) return Wait::Stopped;
        if (!plan.enquiry && !status(kSearchText + std::to_string(id + 1))) return Wait::Stopped;
        if (!pause(plan.searchPause)) return Wait::Stopped;
        if (m_hub.cancelRequested() || flags.replyReceived.load()) break;
      }
    }
    if (plan.enquiry && m_hub.cancelRequested()) return Wait::Cancelled;

    if (pass >= kTimeoutPass) {
      if (!status(plan.enquiry ? kNoResponseText : kTimedOutText)) return Wait::Stopped;
      m_hub.setTimedOut(true);
      return Wait::TimedOut;
    }
    if (flags.replyReceived.load()) return Wait::Reply;
  }
}
