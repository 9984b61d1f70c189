// The librarian's sends to the instrument: one patch into the edit buffer or
// a stored location (job 2), or a whole bank into a bank's locations (job 3).
// The starters copy the dumps under the editor lock; the job sends them.
// And the requests the header's and the librarian's menus start: the part
// request after a bank change (job 5) and a whole bank into the upper list
// (job 7).
#include "editor/Tavrin.h"
#include "framework/IGraphics.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"

PatchFile* Tavrin::paddedFile(bool lower) {
  if (!mLibrarian) return nullptr;
  PatchFile* file = lower ? mLibrarian->lowerFile(lowerListSource()) : mLibrarian->upperFile();
  if (file && file->patches.size() < ILibrarianSlots::kSlots) file->patches.resize(ILibrarianSlots::kSlots);
  return file;
}

bool Tavrin::sendLibrarianPatch(int slot, bool lower, std::optional<int> location) {
  KIT_MutexLock lock(GetMutex());
  PatchFile* file = paddedFile(lower);
  if (file == nullptr || slot < 0 || static_cast<size_t>(slot) >= file->patches.size()) return false;
  const LibrarianPatch& patch = file->patches[static_cast<size_t>(slot)];
  if (patch.messages.empty()) return false;
  if (mLibrarianView) mLibrarianView->setCurrentSlot(slot);
  if (IGraphics* graphics = GetGUI()) {
    graphics->SetParameterFromPlug(kCurrentPatch, slot, false);
  } else if (IParam* current = GetParam(kCurrentPatch)) {
    current->SetClamped(slot);
  }
  if (!mFlags.midiIOSet.load()) return false;
  SenderJob job;
  job.mode = SenderJob::kSendLibrarianSound;
  if (location) job.location = sysex::encodeLocation(*location / sysex::kSlotsPerBank, *location % sysex::kSlotsPerBank);
  if (const auto dump = sounddump::pickStoredDump(patch.messages)) job.dump.assign(dump->begin(), dump->end());
  return startJob(job);
}

bool Tavrin::sendPatchToDeviceFromLibrarian(int slot, bool lower) { return sendLibrarianPatch(slot, lower, {}); }

bool Tavrin::sendPatchToDeviceLocation(int slot, int location) {
  if (location < 0) return false;
  return sendLibrarianPatch(slot, false, location);
}

bool Tavrin::SendSingleProgramFromLibrarian(bool) {
  KIT_MutexLock lock(GetMutex());
  if (!mLibrarian) return false;
  const bool lower = mLibrarianView == nullptr || mLibrarianView->selectedUpperSlot() < 0;
  return sendPatchToDeviceFromLibrarian(mLibrarian->targetSlot.load(), lower);
}

bool Tavrin::SendAllProgramsFromLibrarian(int bank) {
  KIT_MutexLock lock(GetMutex());
  if (!mLibrarian) return false;
  mLibrarian->targetSlot.store(0);
  const bool lower = mLibrarianView == nullptr || mLibrarianView->selectedUpperSlot() < 0;
  return storeAllPatchesToDeviceFromLibrarian(bank, lower ? 1 : 0);
}

bool Tavrin::storeAllPatchesToDeviceFromLibrarian(int bank, int list) {
  KIT_MutexLock lock(GetMutex());
  if (!mFlags.midiIOSet.load()) return false;
  const PatchFile* file = paddedFile(list != 0);
  if (file == nullptr) return false;
  SenderJob job;
  job.mode = SenderJob::kStoreBank;
  job.storeBank = bank;
  job.secondList = list != 0;
  for (size_t s = 0; s < job.dumps.size() && s < file->patches.size(); ++s) {
    if (const auto dump = sounddump::pickStoredDump(file->patches[s].messages)) {
      job.dumps[s] = std::vector<uint8_t>(dump->begin(), dump->end());
    }
  }
  return startJob(job);
}

bool Tavrin::startPartRequest() {
  KIT_MutexLock lock(GetMutex());
  // Without an output port the bank change before it has shown "Set MIDI I/O
  // First!"; a request could only time out, holding the job thread.
  if (mHub == nullptr || !mFlags.midiIOSet.load()) return false;
  return mHub->startPartRequest(mCurrentProgram.load());
}

bool Tavrin::sendAllPatchRequestSysexFromLibrarian(int bank) {
  // The hub drops the request when its thread is busy or no upper bank is
  // there to fill.
  return mHub != nullptr && mHub->sendAllPatchRequestSysexFromLibrarian(bank);
}
