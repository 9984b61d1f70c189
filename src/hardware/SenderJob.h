#pragma once
// One job of the job runner with its arguments, copied by value when the job
// starts, so that a start on one thread never changes what another thread's
// job reads. Starters copy whatever they take from the librarian into it
// (under the editor lock) before the start; the job never reads the
// librarian's banks.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "hardware/EditorLink.h"
#include "hardware/SysexProtocol.h"

struct SenderJob {
  enum Mode {
    kSendSound = 0,           // the editor's sound as a dump, to the instrument or a librarian slot
    kSendGlobal = 1,          // the global-settings step (run inside job 0)
    kSendLibrarianSound = 2,  // one stored sound to the instrument
    kStoreBank = 3,           // a whole bank to the instrument's locations
    kEditBufferRequest = 4,
    kPartRequest = 5,         // the edit buffer after a program change
    kSingleRequest = 6,       // one sound into the target slot
    kBankRequest = 7,         // the 100 sounds of a bank into the librarian
    kInitSlot = 8,            // the INIT sound into the target slot
    kDeviceEnquiry = 9,       // the global request that finds the device ID
    kNothing = 10,
    kClockStart = 11,
    kContinuousClock = 12,
    kClockStop = 13,
  };

  int mode = kNothing;

  // Job 0 as a start asks for it, the global-step choice taken now: the
  // librarian form never runs the step; the device form runs it when push
  // is set or the globals have not been sent, unless the start is a change
  // of name, category or pattern.
  static SenderJob sendSound(bool toLibrarian, bool nameOrPatternChange, const SharedFlags& flags) {
    SenderJob job;
    job.mode = kSendSound;
    job.toLibrarian = toLibrarian;
    job.globalStep = !toLibrarian && !nameOrPatternChange && (flags.push.load() || !flags.globalsSent.load());
    return job;
  }

  // Job 4: the instrument's edit buffer into the editor's parameters.
  static SenderJob editBufferRequest() {
    SenderJob job;
    job.mode = kEditBufferRequest;
    job.partFlag = true;
    return job;
  }

  // Job 5: the edit buffer again after a bank and program change selected
  // program on the instrument.
  static SenderJob partRequest(int program) {
    SenderJob job;
    job.mode = kPartRequest;
    job.partFlag = true;
    job.program = program;
    return job;
  }

  // Job 0: store into the librarian instead of sending; run the global step.
  bool toLibrarian = false;
  bool globalStep = false;
  // Jobs 4 and 5.
  bool partFlag = false;
  int program = 0;  // job 5: the program just selected
  // Job 6: the edit buffer instead of the target slot's location.
  bool editBuffer = false;
  // Job 7: the bank whose 100 locations are requested.
  int requestBank = 0;
  // Job 2: the dump to send and, when given, the location instead of the
  // edit buffer.
  std::vector<uint8_t> dump;
  std::optional<sysex::Location> location;
  // Job 3: the bank numbered in the locations, which list the dumps came
  // from, and the dump of each slot (none for an empty slot).
  int storeBank = 0;
  bool secondList = false;
  std::array<std::optional<std::vector<uint8_t>>, sysex::kSlotsPerBank> dumps;
};
