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

// The slot stores go to and the upper list's selection in the view always
// move together; a slot outside 0..99 leaves the view's selection as it is.
void LibrarianSlots::setTargetSlot(int slot) {
  mLibrarian.targetSlot.store(slot);
  LibrarianViewControl* view = mView ? mView() : nullptr;
  if (view && slot >= 0 && slot < kSlots) view->setSelectionFromJob(slot);
}

void LibrarianSlots::selectSlot(bool lower, int slot) {
  if (!lower) setTargetSlot(slot);
}

void LibrarianSlots::selectProgram(int program) { setTargetSlot(program); }

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
