#pragma once
// The job runner: one per job thread of the hub, holding the job that thread
// runs. MIDIMessageManager::startJob copies a SenderJob into it before the
// thread starts; run() performs that job once on the thread, after the
// starter's prepare step, and returns.
//
// Threads and locks: run() and the jobs run on the runner's thread only.
// A job touches the plug-in and the editor's services only while holding the
// editor lock (taken by timed attempts that give up once the hub stops), and
// pauses only without it. Pauses end early on a cancel (request pauses) and
// on the hub's stop; a stopped job ends at its next pause, lock attempt or
// send, touching nothing. Nothing a job throws leaves run().
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <Poco/Runnable.h>

#include "hardware/SenderJob.h"

class MIDIMessageManager;

class MIDIMessageSender : public Poco::Runnable {
 public:
  static constexpr int kSearchPass = 15;
  static constexpr int kTimeoutPass = 21;

  static constexpr const char* kConnectingText = "Connecting to Hardware";
  static constexpr const char* kProcessingText = "Processing, please wait...";
  static constexpr const char* kSearchText = "Please wait, checking DeviceID ";
  static constexpr const char* kTimedOutText = "CONNECTION TIMED OUT!";
  static constexpr const char* kNoResponseText = "No response from Hardware";
  static constexpr const char* kReadyText = "Plug-in is ready to go!";
  static constexpr const char* kCompletedText = "Data request completed!";
  static constexpr const char* kCancelledText = "Data request CANCELLED!";
  static constexpr const char* kSendCompletedText = "Data send completed!";

  explicit MIDIMessageSender(MIDIMessageManager& hub) : m_hub(hub) {}

  // Written by startJob while the thread is not running.
  void setJob(const SenderJob& job) { m_job = job; }
  const SenderJob& job() const { return m_job; }

  void run() override;

  // The step code of arpeggiator step 0..15 (glide * 64 + time * 16 +
  // event) from the current values of the step's three parameters; 0 for
  // another step. Editor lock held.
  uint8_t GeneratePatternCode(int step) const;
  // Packs a 16-step tap pattern, 33 small values at in, into 11 bytes below
  // 0x80 at out. Null pointers do nothing. Any thread.
  static void GenTapPatternCode(char* out, char* in);

 private:
  // How a wait for an answer ended.
  enum class Wait { Reply, TimedOut, Cancelled, Stopped };

  struct WaitPlan {
    int pause = 0;        // t, ms
    int searchPause = 0;  // per device ID of the search, ms
    // The request with a given device byte, unframed.
    std::function<std::vector<uint8_t>(uint8_t device)> request;
    bool enquiry = false;  // job 9: its own texts, cancel tested after the search
  };

  // Request jobs.
  void sendDeviceIdEnquiry();
  void sendActiveArrangementRequestSysex();
  void sendPartRequestSysex();
  // Job 6: the edit buffer's sound, or the selected program's, into the
  // upper list's slot at targetSlot.
  void sendSinglePatchRequestSysex(bool editBuffer);
  // Job 7: a bank of the instrument, slot by slot. The answer to slot s
  // lands where targetSlot points (the collector stores every sound dump
  // there); the job sets targetSlot to 0 before the first request and steps
  // it with s after each wait, so the two stay equal. A slot that gets no
  // answer times out and the job moves on to the next slot; only a cancel
  // or the hub's stop ends the loop early.
  void sendAllPatchRequestSysex(int bank);
  // Jobs 4 (the learnt device byte) and 5 (kGlobalDeviceID's).
  void requestEditBuffer(bool learntDevice);

  // Sound jobs: the editor's sound as a dump (0) with the global-settings
  // step, the INIT sound into the target slot (8), one stored sound to the
  // instrument (2) and a bank to its locations (3). A cancel ends jobs 2 and
  // 3 before their next send.
  void sendArrangementToDevice(bool toLibrarian);
  // False when the hub stopped.
  bool sendGlobalToDevice(int deviceId);
  void initClassicPatch();
  void sendPatchToDeviceFromLibrarian();
  void storeAllPatchesToDeviceFromLibrarian(int bank, bool secondList);
  // Editor lock held: hands an editor-made dump to the collector, which
  // stores it at the target slot; true when it was taken.
  bool handOverToSlot(const uint8_t* dump, size_t size);
  // Editor lock held: All Notes Off on channel 1, as the transfers begin.
  void allNotesOff();
  // Clock jobs: Start (11) and Stop (13) while start/stop is enabled, and the
  // timing-clock loop (12). Clock bytes go out alone through the plug-in's
  // unframed sender, without the editor lock.
  void startMIDIClockOutput();
  void stopMIDIClockOutput();
  void sendContinuousMIDIClock(int);
  // False when the send was refused (no open port).
  bool sendClockByte(uint8_t byte);

  // The start shared by jobs 4 to 7; false when the hub stopped.
  bool beginRequest(bool part, bool arm);
  // Sends a request through the editor's guarded send path; false when the
  // hub stopped.
  bool sendRequest(const std::vector<uint8_t>& unframed);
  Wait waitForReply(const WaitPlan& plan);
  // The plan's request with the device byte, then the wait for its answer;
  // false when the hub stopped. requestSound: the same for one sound of a
  // location (jobs 6 and 7), pacing t.
  bool requestAndWait(const WaitPlan& plan, uint8_t device);
  bool requestSound(const sysex::Location& where, uint8_t device, int t);
  // The end shared by jobs 4 to 7. A fetch into the librarian (jobs 6 and
  // 7, bankExtras) has filled the upper list in memory only: it is marked
  // unsaved here, and no file changes until the user saves the bank, which
  // writes it into the Patches folder. A cancelled fetch discards the
  // list's edits instead.
  void endRequest(int finalPause, bool bankExtras);

  // A pause that a cancel (when wakeOnCancel) or the stop cuts short; false
  // when the hub stopped.
  bool pause(int ms, bool wakeOnCancel = true);
  // Runs f with the editor lock held; false (f not run) when the hub
  // stopped first.
  bool locked(const std::function<void()>& f);
  // Shows a status text under the editor lock; false when the hub stopped.
  bool status(const std::string& text);

  MIDIMessageManager& m_hub;
  SenderJob m_job;
};
