#pragma once
// The message hub: the one object through which the plug-in talks to the
// synthesizer. It owns three job threads, each with its own job runner (the
// job thread runs jobs 0 to 9, the clock thread jobs 11 and 13, the
// continuous-clock thread job 12), the collector of a requested librarian
// sound and the flags that the incoming dispatch and the jobs share. It
// reaches the editor and the librarian only through EditorLink.h.
//
// Construction starts nothing and opens nothing.
//
// Threads and locks:
// - The editor lock is the plug-in's recursive mutex. The collector, the
//   parameters, controls and texts are touched only under it. Hub threads
//   and the incoming dispatch take it by TryLockFor(5) attempts until they
//   get it or the hub stops.
// - startJob may be called from any thread (GUI, audio, MIDI input, a job
//   thread). Each job thread has its own start lock, always taken after the
//   editor lock, never before: a caller whose prepare touches editor state
//   holds the editor lock across startJob. startJob never waits for a
//   running job. A started thread first waits for its start lock, so the
//   starter's prepare step, made once the thread has started, is done
//   before the job reads anything.
// - The flags are atomics, read and written from any thread without a lock.
// - stop() may be called from any thread, holding any lock; the destructor
//   stops, joins every thread and takes no lock, so it may run while the
//   destroying thread holds the editor lock.
// - onBlockStart and onBlockEnd run on the audio thread and wait for no
//   lock: they try the start lock and the editor lock once, and a lock
//   that is taken counts as a busy thread.
// - The randomizer runs on the thread that changes kRandomize, holding the
//   editor lock; randomizeCommand lets go of it at every level for its pause.
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <Poco/Thread.h>

#include "framework/IPluginBase.h"
#include "hardware/ControlContainers.h"
#include "hardware/EditorLink.h"
#include "hardware/MIDIMessageSender.h"
#include "hardware/SenderJob.h"

class IControl;

// A value from the instrument as a control's normalised value: (v - min) /
// (max - min), limited to 0..1. None (nothing moves) when the span is 0 or
// not finite.
std::optional<double> incomingNormalised(double v, double min, double max);

class MIDIMessageManager {
 public:
  static constexpr const char* kMidiIONotSetText = "Set MIDI I/O First!";
  enum Thread { kJobThread = 0, kClockThread = 1, kContinuousClockThread = 2, kThreadCount = 3 };

  // The collector of a requested librarian sound.
  struct LibraryPatchRequest {
    static constexpr size_t kMaxMessages = 64;
    int complete = 1;
    bool active = false;
    CollectedPatch patch;
  };

  MIDIMessageManager(IPluginBase& plugin, IEditorServices& editor, ILibrarianSlots& slots, SharedFlags& flags,
                     const SysExControlContainer& sysexControls, const CCControlMap& ccControls,
                     std::vector<std::string> tempoValues);
  // Stops, joins every thread that ran, then frees the runners and the
  // collector. Takes no lock.
  ~MIDIMessageManager();
  MIDIMessageManager(const MIDIMessageManager&) = delete;
  MIDIMessageManager& operator=(const MIDIMessageManager&) = delete;

  // ---- jobs
  // The thread of a job: -1 for a mode no thread runs.
  static int threadForMode(int mode);
  // The jobs that wait for the instrument's answer (the requests and the
  // device enquiry).
  static bool waitsForAnswer(int mode);
  // Starts the job on its thread. A running thread drops it (false), as does
  // a stopped hub or a start the thread library refuses; prepare then does
  // not run. A job that waits for an answer is dropped too while no output
  // port is open (the flag midiIOSet): it could only run into its time-out,
  // holding the thread; the status then shows "Set MIDI I/O First!". Otherwise an ended run is joined, the job is copied, the thread
  // starts and prepare runs before the job begins. A prepare that throws
  // withdraws the job (false), which then does nothing.
  bool startJob(const SenderJob& job, std::function<void()> prepare = {});
  // As startJob, but a running thread keeps the job instead of dropping it
  // and runs it once its running job has ended (one job waits: a later one
  // replaces it; the stop drops it). Two sound dumps to the instrument wait
  // as one, which reads the sound when it runs: it takes the global step
  // when either asked for it, and both prepares run, the earlier first. The
  // prepare of a job that waited runs on the job thread, without the editor
  // lock, just before the job: it may touch atomics only. True when the job
  // started or waits.
  bool startJobAfterRunning(const SenderJob& job, std::function<void()> prepare = {});
  // The two edit-buffer requests with the one preparation each needs (editor
  // lock held): job 4 turns the librarian request off and raises
  // request-pending; job 5 raises request-pending. True when the job
  // started. Without wait (the audio thread) a start lock held elsewhere
  // drops job 4 as a busy thread does.
  bool startEditBufferRequest(bool wait = true);
  bool startPartRequest(int program);
  bool threadRunning(Thread t) const;
  // The job a thread was last given (a copy).
  SenderJob lastJob(Thread t);
  // Sets the stop flag and cancelRequested, clears clockRunning; every pause
  // ends at once, every job at its next pause, lock attempt or send.
  void stop();
  bool stopping() const { return m_stopping.load(); }

  // ---- the request front ends of the librarian menus (editor lock taken
  // inside). Each answers whether its job started. A busy thread, a stopped
  // hub, or for jobs 6 and 7 a librarian without an upper bank (job 6 also a
  // target slot outside 0..99), changes and sends nothing.
  // Job 4 with its part flag set; the bank edit menu calls it with true,
  // and there is no other form.
  bool sendActiveArrangementRequestSysex(bool = true);
  bool sendSinglePatchRequestSysexFromLibrarian(bool editBuffer);
  bool sendAllPatchRequestSysexFromLibrarian(int bank);

  // ---- the collector (editor lock held)
  void emptyLibraryRequest();
  void armLibraryRequest() { m_request.active = true; }
  void disarmLibraryRequest() { m_request.active = false; }
  // The editor's librarian-request state: active empties and arms the
  // collector and clears request-pending; inactive disarms it and sets
  // request-pending. Both reply flags are cleared either way.
  void setLibrarianRequestActive(bool active);
  const LibraryPatchRequest& libraryRequest() const { return m_request; }
  // Adds one message; true when a sound dump has just completed the
  // collection.
  bool addMessageData(const uint8_t* bytes, size_t size);

  // ---- incoming system-exclusive messages (MIDI input thread, or a job
  // handing over an editor-made dump; the editor lock is taken inside).
  // internal: an editor-made dump, which teaches no device ID.
  void ProcessSysEx(const ISysEx* msg, bool fromDevice, bool internal);
  // Editor lock held: the control bound to a system-exclusive address (the
  // four keys, then 0), moved to the raw value v as a single-parameter
  // message moves it, with the applying-incoming flag set for the call when
  // markApplying, but without the main tab's refresh. Clears
  // request-pending when a control is found. The control, or null (then
  // nothing changes).
  IControl* getNormalControl(int key1, int key2, int key3, int key4, int value, bool markApplying);

  // ---- incoming channel messages (the editor's ProcessMidiMsg, after its
  // own drops; MIDI input thread and the host's MIDI thread; the editor lock
  // is taken inside). From the instrument: its pass-through filters, the
  // bound control of a control change, a program change's request, the
  // activity light, and forwarding while local control is off. From the
  // host (only once MIDI I/O is set): the same with the host's filters; a
  // program change is also sent on, and what passes is always forwarded.
  // channel is handed on to SendProgramChangeCommand only. While a
  // librarian request runs (jobs 6 and 7, from their first request to their
  // end) program changes of both sources are dropped whole, so that the
  // sounds on their way still land in their slots.
  void ProcessMidiMsgFromDevice(IMidiMsg* msg);
  void ProcessMidiMsgFromDAW(IMidiMsg* msg, int channel);
  // Editor lock held: moves the control bound to a control change to the
  // value v (the instrument's codings undone when fromDevice).
  void getLegacyCCparam(int ccNumber, int channel, int value, bool refreshMainTab, bool fromDevice);
  // GetTickCount at the last program change that passed its filter; compare
  // by unsigned difference only.
  uint32_t lastProgramChangeTick() const { return m_lastProgramChangeTick.load(); }

  // ---- a control action's system-exclusive message (GUI thread, usually
  // holding the editor lock; taken inside). Each int goes out as its low 8
  // bits, framed with F0 and F7 unless it starts with F0. Nothing is sent
  // without an output port ("Set MIDI I/O First!"), for an empty message,
  // or when, once cut to 8 bits, a byte other than a leading F0 or a final
  // F7 is not a data byte. A message that went out is handed to the
  // editor's debug log as it was given (IEditorServices::logSysExOut).
  void sendSysexMessage(const std::vector<int>& message);

  // ---- the packed tap pattern: 11 bytes at in into the 33 values of a
  // 16-step tap pattern at out. Null pointers do nothing. Any thread.
  static void decodeTapPatternCode(unsigned char* in, char* out);

  // ---- request pacing: kLibSyncTimer's whole value 0..3 gives 200, 300,
  // 400, 500 ms, anything else 100 ms.
  static int requestPacingMs(double libSyncTimer);

  // ---- flags
  bool requestPending() const { return m_requestPending.load(); }
  void setRequestPending(bool v) { m_requestPending.store(v); }
  bool replyArrived() const { return m_replyArrived.load(); }
  void setReplyArrived(bool v) { m_replyArrived.store(v); }
  bool interfaceUpdate() const { return m_interfaceUpdate.load(); }
  void setInterfaceUpdate(bool v) { m_interfaceUpdate.store(v); }
  bool fromDAW() const { return m_fromDAW.load(); }
  void setFromDAW(bool v) { m_fromDAW.store(v); }
  bool applyingIncoming() const { return m_applyingIncoming.load(); }
  void setApplyingIncoming(bool v) { m_applyingIncoming.store(v); }
  bool cancelRequested() const { return m_cancelRequested.load(); }
  void setCancelRequested(bool v) { m_cancelRequested.store(v); }
  bool timedOut() const { return m_timedOut.load(); }
  void setTimedOut(bool v) { m_timedOut.store(v); }
  // Set by jobs 6 and 7 before their first request, cleared at their end.
  bool librarianRequestRunning() const { return m_librarianRequestRunning.load(); }
  void setLibrarianRequestRunning(bool v) { m_librarianRequestRunning.store(v); }
  bool clockRunning() const { return m_clockRunning.load(); }
  // false lets the timing-clock loop run, true ends a running loop at its
  // next turn.
  void resetContinuousClock(bool stopClock) { m_clockRunning.store(!stopClock); }

  // ---- MIDI clock
  // The time before a timing clock that the loop polls instead of sleeping,
  // ns (any thread; the loop reads it at each turn).
  static constexpr int64_t kDefaultClockSpinMarginNanos = 2'000'000;
  void setClockSpinMarginNanos(int64_t ns) { m_clockSpinMarginNanos.store(ns < 0 ? 0 : ns); }
  int64_t clockSpinMarginNanos() const { return m_clockSpinMarginNanos.load(); }
  // The clock's tempo in whole beats per minute: the host's with the
  // override at exactly 1.0, else the number that starts the tempo list's
  // entry at the arpeggiator tempo's position; 0 for none.
  static int clockTempo(double overrideTempo, double hostTempo, double arpTempo,
                        const std::vector<std::string>& tempoValues);
  // Nanoseconds between two timing clocks (24 per beat); none for a tempo
  // outside 2..999.
  static std::optional<int64_t> clockIntervalNanos(int tempo);

  // ---- per-block duties (audio thread; nothing while MIDI I/O is unset)
  // Transport edges start the clock start and stop jobs while queue routing
  // is off, and a cleared clock-launched flag launches the timing clock.
  // Returns the jobs that started, as bits 1 << mode.
  unsigned onBlockStart(bool transportRunning, bool queueRouting);
  // Starts the edit-buffer request a randomize left pending, once the job
  // thread is idle; true when it started (the mark is then cleared).
  bool onBlockEnd();

  // ---- the randomizer (editor lock held)
  static constexpr size_t kRandomTableSize = 150;
  static constexpr int kRandomEntries = 136;  // entries 0..135 are filled
  static constexpr const char* kRandomizedText = "Patch Randomized";
  // Reseeds from the wall clock's whole seconds and fills entries 0..135
  // with bytes 0..255.
  void randomGenerator();
  // The value entry gives parameter param within the parameter's range;
  // none for an entry outside the table, an unknown parameter, or a maximum
  // that is not finite or truncates to 0 or less.
  std::optional<int> randomizer(int param, int entry) const;
  // The same for a table value and a range: value less whole steps (of the
  // truncated maximum, or 2 when that is 1) until it is at most the
  // truncated span; no minimum is added.
  static std::optional<int> randomizedValue(int value, double min, double max);
  // Sets every unlocked sound parameter from the table; nothing is sent.
  void randomizePatchSettings(int = 0);
  // kRandomize's change: with the value at 1 and a main tab above 0, a new
  // sound, its dump to the instrument (job 0), the edit-buffer request
  // left for the next block, the text, and the button set back to 0.
  void randomizeCommand(double value);

  // ---- neighbours, for the jobs
  IPluginBase& plugin() { return m_plugin; }
  IEditorServices& editor() { return m_editor; }
  ILibrarianSlots& slots() { return m_slots; }
  SharedFlags& flags() { return m_flags; }
  const SysExControlContainer& sysexControls() const { return m_sysexControls; }
  const CCControlMap& ccControls() const { return m_ccControls; }
  const std::vector<std::string>& tempoValues() const { return m_tempoValues; }

  // Editor lock held: a parameter's plain value (0 for an unknown index),
  // and a plain value set through the graphics context (the parameter
  // limits and rounds it, its controls follow) or, without one, on the
  // parameter alone.
  double paramValue(int idx) const;
  void setParameterFromPlug(int idx, double value);
  // The device byte of the learnt device ID and of kGlobalDeviceID.
  uint8_t learntDevice() const;
  uint8_t globalDevice() const;

  // Editor lock held: whether a sound for the librarian can go to the upper
  // bank (and, for one slot, to a target slot 0..99).
  bool librarianTargetValid(bool oneSlot) const;

  // Takes the editor lock by timed attempts until it holds it or the hub
  // stops (then it holds nothing).
  class EditorLock {
   public:
    explicit EditorLock(MIDIMessageManager& hub);
    ~EditorLock();
    EditorLock(const EditorLock&) = delete;
    EditorLock& operator=(const EditorLock&) = delete;
    bool held() const { return m_held; }

   private:
    KIT_Mutex& m_mutex;
    bool m_held = false;
  };

 private:
  // Dispatch steps, editor lock held.
  void dispatch(const uint8_t* bytes, size_t size, bool internal);
  void learnDeviceId(uint8_t device);
  void sysexPartPatchParse(const uint8_t* bytes, size_t size);
  void sysexSettingsParse(const uint8_t* bytes, size_t size);
  void applySingleParameter(const uint8_t* bytes);
  // Applies one raw value to a control from the instrument.
  void processSysExToUI(IControl* control, int value, bool refreshMainTab, bool markApplying);
  // Incoming channel messages: one message from either source (takes the
  // editor lock); then, lock held, the program-change steps
  // (true when the message passed its filter and goes on), the
  // pass-through test and the activity light.
  void channelMessage(IMidiMsg& msg, bool fromHost, int channel);
  bool programChange(const IMidiMsg& msg, bool fromHost, int channel);
  bool passes(const IMidiMsg& msg, bool fromHost) const;
  void lightForInput(const IMidiMsg& msg);
  // Jobs 6 and 7: takes the editor lock, checks the librarian's target and
  // arms the collector in the start; true when the job started.
  bool startLibrarianRequest(const SenderJob& job, bool oneSlot);
  // startJob's body; without wait, a start lock held elsewhere drops the job.
  // With follow, a running thread keeps the job for after its run.
  bool startJobOn(const SenderJob& job, const std::function<void()>& prepare, bool wait, bool follow = false);

  IPluginBase& m_plugin;
  IEditorServices& m_editor;
  ILibrarianSlots& m_slots;
  SharedFlags& m_flags;
  const SysExControlContainer& m_sysexControls;
  const CCControlMap& m_ccControls;
  std::vector<std::string> m_tempoValues;

  LibraryPatchRequest m_request;

  std::atomic<bool> m_requestPending{false};
  std::atomic<bool> m_interfaceUpdate{false};
  std::atomic<bool> m_fromDAW{false};
  std::atomic<bool> m_applyingIncoming{false};
  std::atomic<bool> m_replyArrived{false};
  std::atomic<bool> m_cancelRequested{false};
  std::atomic<bool> m_timedOut{false};
  std::atomic<bool> m_librarianRequestRunning{false};
  std::atomic<bool> m_clockRunning{false};
  std::atomic<bool> m_stopping{false};
  std::atomic<uint32_t> m_lastProgramChangeTick{0};
  std::atomic<int64_t> m_clockSpinMarginNanos{kDefaultClockSpinMarginNanos};

  // Audio thread only.
  bool m_wasPlaying = false;
  bool m_clockStartSent = false;

  std::array<int32_t, kRandomTableSize> m_randomTable{};
  std::mt19937 m_random;

  struct JobThread;
  // What a job thread runs: it waits for the start lock, which its starter
  // holds until the prepare step is done, then runs the job unless the
  // start was withdrawn; then, while a job waits for it (and the hub has
  // not stopped), that job.
  class StartGate : public Poco::Runnable {
   public:
    explicit StartGate(JobThread& owner) : m_owner(owner) {}
    void run() override;

   private:
    JobThread& m_owner;
  };
  struct JobThread {
    Poco::Thread thread;
    std::unique_ptr<MIDIMessageSender> sender;
    std::mutex startLock;
    bool started = false;    // started and not yet joined
    bool withdrawn = false;  // under startLock: the run does nothing
    // Under startLock: from the start until the run has found no job
    // waiting; a start meanwhile leaves its job in next.
    bool active = false;
    struct Waiting {
      SenderJob job;
      std::function<void()> prepare;
      // The job that waits once a later start has come to it.
      static Waiting joined(Waiting earlier, const SenderJob& job, const std::function<void()>& prepare);
    };
    std::optional<Waiting> next;
    const std::atomic<bool>* stopping = nullptr;
    StartGate gate{*this};
  };
  JobThread m_threads[kThreadCount];
};
