// The librarian adapter of the hub.
#include "editor/LibrarianSlots.h"

#include "librarian/LibrarianPatch.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "librarian/PatchManager.h"

LibrarianSlots::LibrarianSlots(PatchLibrarian& librarian, PatchManager& manager,
                               std::function<LibrarianViewControl*()> view)
    : mLibrarian(librarian), mManager(manager), mView(std::move(view)) {}

bool LibrarianSlots::hasUpperBank() const { return mLibrarian.upperFile() != nullptr; }

int LibrarianSlots::targetSlot() const { return mLibrarian.targetSlot.load(); }

void LibrarianSlots::setTargetSlot(int slot) { mLibrarian.targetSlot.store(slot); }

void LibrarianSlots::selectSlot(bool lower, int slot) {
  LibrarianViewControl* view = mView ? mView() : nullptr;
  if (view && !lower) view->setSelectionFromJob(slot);
}

void LibrarianSlots::selectProgram(int program) {
  LibrarianViewControl* view = mView ? mView() : nullptr;
  if (view) view->setSelectionFromJob(program);
}

bool LibrarianSlots::storeCollected(const CollectedPatch& patch) {
  LibrarianPatch stored;
  stored.name = patch.name;
  stored.messages = patch.messages;
  stored.parseCategory();
  return mLibrarian.setSysexDatatoSelectedSlot(&stored);
}

void LibrarianSlots::setCurrentPatchRecord(const std::string& name, const std::string& category) {
  mManager.names[0] = name;
  mManager.names[1] = category;
}
