#pragma once
// The librarian page's two slot lists, side by side: the upper list (drawn on
// the left) shows the upper bank, the lower list the file chosen in the
// lower-list menus. Clicks select, double-clicks and arrow keys send, a drag
// from the lower list or Copy and Paste put a lower patch into an upper slot
// (through the editor's collector), and a right click opens a slot menu.
//
// Threads: the GUI thread calls everything, holding the plug-in mutex (mouse,
// key and draw handlers, menu commands). The job thread may write the two
// selections, the current slot and the librarian's targetSlot, which are
// atomics; it touches nothing else here.
#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <optional>

#include "framework/IBitmapControls.h"
#include "framework/ITextControl.h"
#include "librarian/ILibrarianEditor.h"
#include "librarian/PatchLibrarian.h"

// The family name the slot texts ask for; it says "mono", so the text engine
// takes the pinned monospace face for it.
inline constexpr const char* kSlotFontFamily = "Panel Mono";

// An overlay bitmap control the librarian view is built on; nothing of its own.
class CustomOverlayControl : public IBitmapOverlayControl {
 public:
  using IBitmapOverlayControl::IBitmapOverlayControl;
};

// Sizes of the two lists at one UI scale (pixels, cut toward zero).
struct SlotListGeometry {
  int columnWidth, rowHeight, columnGap, lowerLeft, upperTop, lowerTop, fontSize;
  static SlotListGeometry forScale(double scale);
};

class LibrarianViewControl : public CustomOverlayControl {
 public:
  static constexpr int kSlots = 100;
  static constexpr int kRows = 25;
  static constexpr IColor kSelectionFill = IColor(255, 225, 225, 225);

  LibrarianViewControl(IPluginBase* plug, ILibrarianEditor* editor, int x, int y, int paramIdx, IBitmap* background,
                       IRECT targetArea, PatchLibrarian* librarian, double scale);
  ~LibrarianViewControl() override;

  // Refill the names of one list from its current file; a list without a
  // file keeps its texts.
  void patchSelectionUpperChanged();
  void patchSelectionLowerChanged();
  // Opens the rename of the selected upper slot (position not used).
  void renameSlot(int x, int y);
  // Copy: a value copy of the lower patch at (x, y). Paste: that copy into
  // the upper slot at (x, y).
  void CopySlotData(int x, int y);
  void PasteSlotData(int x, int y);

  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  // Arrow keys 1 up, 2 down, 3 left, 4 right: move, select and send.
  bool OnKeyDown(int x, int y, int key) override;
  bool Draw(IGraphics* graphics) override;

  // The rectangle of slot 0..99 of the upper (lower false) or lower list.
  IRECT slotRect(bool lower, int slot) const;
  // The slot of a list at (x, y), or -1 (right and bottom edges excluded).
  int hitSlot(bool lower, int x, int y) const;
  const char* slotText(bool lower, int slot) const;
  const SlotListGeometry& geometry() const { return mGeometry; }

  void setDragEnabled(bool on) { mDragEnabled = on; }
  bool dragging() const { return mDragging; }
  const IRECT& dragBox() const { return mDragBox; }
  int selectedUpperSlot() const { return mSelectedUpper.load(); }
  int selectedLowerSlot() const { return mSelectedLower.load(); }
  bool lowerListActive() const { return mLowerListActive; }
  int currentSlot() const { return mCurrentSlot.load(); }
  // Makes slot (limited to 0..99) the current slot and the upper selection.
  void selectUpperSlot(int slot);
  // Makes slot (limited to 0..99) the current slot and the lower selection.
  void selectLowerSlot(int slot);
  // Makes slot (limited to 0..99) the current slot; the selections stay.
  void setCurrentSlot(int slot) { mCurrentSlot = std::clamp(slot, 0, kSlots - 1); }
  // The same from the job thread (requests of a whole bank step the
  // selection): atomics only; the next redraw shows it.
  void setSelectionFromJob(int slot);
  int copySourceSlot() const { return mCopySourceSlot; }

 private:
  // Clears both selections and looks for a slot at (x, y) in the lists
  // asked for; a hit selects it in its list. Returns the list hit (0 upper,
  // 1 lower, -1 none) and the slot.
  int hitTest(int x, int y, bool upper, bool lower, int* slot);
  // The press and double-click greying of "saveChangesLayer" and the active
  // list after a hit.
  void noteHit(int list, bool grey);
  void setCurrentPatchParam(int slot);
  void refill(bool lower);
  PatchFile* lowerFile() const;
  // A copy of the patch at slot of file when it holds a message.
  static std::optional<LibrarianPatch> patchAt(const PatchFile* file, int slot);
  // Stores patch into the upper slot at targetSlot through the collector.
  void copyIntoUpperList(const LibrarianPatch& patch);

  PatchLibrarian* mLibrarian;
  ILibrarianEditor* mEditor;
  std::array<std::unique_ptr<ITextControl>, kSlots> mUpperTexts, mLowerTexts;
  bool mDragEnabled = false;
  IRECT mDragBox;
  bool mDragging = false;
  SlotListGeometry mGeometry;
  int mCopySourceSlot = -1;
  double mScale;
  std::atomic<int> mSelectedUpper{0};
  std::atomic<int> mSelectedLower{-1};
  bool mLowerListActive = false;
  std::atomic<int> mCurrentSlot{0};
  int mCopyMade = -1;
  std::optional<LibrarianPatch> mCopied;
};
