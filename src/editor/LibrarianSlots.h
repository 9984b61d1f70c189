#pragma once
// The hub's view of the librarian's upper list: the target slot, the
// selection shown by the slot-list view and the store of a collected sound.
//
// Threads: every call comes with the editor lock held (see EditorLink.h);
// the target slot is the librarian's atomic.
#include <functional>

#include "hardware/EditorLink.h"

class LibrarianViewControl;
class PatchLibrarian;
class PatchManager;

class LibrarianSlots : public ILibrarianSlots {
 public:
  // view gives the slot-list view, or null while there is none.
  LibrarianSlots(PatchLibrarian& librarian, PatchManager& manager, std::function<LibrarianViewControl*()> view);

  bool hasUpperBank() const override;
  int targetSlot() const override;
  // The target slot and the view's upper selection and current slot move
  // together; selecting a slot of the upper list, or a program, moves both.
  // A lower-list slot changes neither.
  void setTargetSlot(int slot) override;
  void selectSlot(bool lower, int slot) override;
  void selectProgram(int program) override;
  // Stores through the librarian at the target slot; the category comes
  // from the dump's category byte.
  bool storeCollected(const CollectedPatch& patch) override;
  // The patch manager's patch name and category name.
  void setCurrentPatchRecord(const std::string& name, const std::string& category) override;

 private:
  PatchLibrarian& mLibrarian;
  PatchManager& mManager;
  std::function<LibrarianViewControl*()> mView;
};
