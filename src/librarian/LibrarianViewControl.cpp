#include "librarian/LibrarianViewControl.h"

#include <algorithm>

#include "framework/IGraphics.h"
#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"
#include "kit/mutex.h"
#include "kit/saturate.h"

namespace {

constexpr const char* kSaveChangesLayer = "saveChangesLayer";
constexpr const char* kRenameLayer = "patchRename";
constexpr IColor kSlotTextColor(255, 255, 255, 255);

// The arrow keys' move of the current slot, wrapping inside 0..99.
int movedSlot(int c, int key) {
  switch (key) {
    case 1: return c == 0 ? 99 : c - 1;
    case 2: return c == 99 ? 0 : c + 1;
    case 3: return c >= 25 ? c - 25 : c + 75;
    case 4: return c + 25 < 100 ? c + 25 : c - 75;
    default: return c;
  }
}

}  // namespace

SlotListGeometry SlotListGeometry::forScale(double s) {
  SlotListGeometry g;
  g.columnWidth = s == 1.0 ? 120 : static_cast<int>(121 * s);
  g.rowHeight = static_cast<int>(18 * s);
  g.columnGap = static_cast<int>(38 * s);
  g.lowerLeft = static_cast<int>(693 * s);
  g.upperTop = static_cast<int>(s) + (s < 1.0 ? 3 : 0);
  g.lowerTop = s < 1.0 ? 3 : (s == 1.0 ? 0 : 1);
  g.fontSize = s < 1.0 ? static_cast<int>(15 * s) : static_cast<int>(14 * s);
  return g;
}

LibrarianViewControl::LibrarianViewControl(IPluginBase* plug, ILibrarianEditor* editor, int x, int y, int paramIdx,
                                           IBitmap* background, IRECT targetArea, PatchLibrarian* librarian,
                                           double scale)
    : CustomOverlayControl(plug, x, y, paramIdx, background, targetArea),
      mLibrarian(librarian),
      mEditor(editor),
      mGeometry(SlotListGeometry::forScale(scale)),
      mScale(scale) {
  const IText style(mGeometry.fontSize, &kSlotTextColor, kSlotFontFamily, IText::kStyleNormal, IText::kAlignNear);
  for (int i = 0; i < kSlots; ++i) {
    mUpperTexts[static_cast<size_t>(i)] = std::make_unique<ITextControl>(plug, slotRect(false, i), &style, "");
    mLowerTexts[static_cast<size_t>(i)] = std::make_unique<ITextControl>(plug, slotRect(true, i), &style, "");
  }
  patchSelectionUpperChanged();
  patchSelectionLowerChanged();
}

LibrarianViewControl::~LibrarianViewControl() = default;

IRECT LibrarianViewControl::slotRect(bool lower, int slot) const {
  const int left =
      mRECT.L + (lower ? mGeometry.lowerLeft : 0) + (slot / kRows) * (mGeometry.columnWidth + mGeometry.columnGap);
  const int top = mRECT.T + (lower ? mGeometry.lowerTop : mGeometry.upperTop) + (slot % kRows) * mGeometry.rowHeight;
  return IRECT(left, top, left + mGeometry.columnWidth, top + mGeometry.rowHeight);
}

int LibrarianViewControl::hitSlot(bool lower, int x, int y) const {
  for (int i = 0; i < kSlots; ++i)
    if (slotRect(lower, i).Contains(x, y)) return i;
  return -1;
}

const char* LibrarianViewControl::slotText(bool lower, int slot) const {
  if (slot < 0 || slot >= kSlots) return "";
  return (lower ? mLowerTexts : mUpperTexts)[static_cast<size_t>(slot)]->GetTextForPlug();
}

PatchFile* LibrarianViewControl::lowerFile() const {
  return mLibrarian ? mLibrarian->lowerFile(mEditor ? mEditor->lowerListSource() : LowerListSource::BankFiles)
                    : nullptr;
}

void LibrarianViewControl::refill(bool lower) {
  SetDirty(false);
  const PatchFile* file = !mLibrarian ? nullptr : (lower ? lowerFile() : mLibrarian->upperFile());
  if (!file) return;
  auto& texts = lower ? mLowerTexts : mUpperTexts;
  for (size_t i = 0; i < texts.size(); ++i)
    texts[i]->SetTextFromPlug(i < file->patches.size() ? file->patches[i].name.c_str() : "");
}

void LibrarianViewControl::patchSelectionUpperChanged() { refill(false); }
void LibrarianViewControl::patchSelectionLowerChanged() { refill(true); }

int LibrarianViewControl::hitTest(int x, int y, bool upper, bool lower, int* slot) {
  if (upper) mSelectedUpper = -1;
  if (lower) mSelectedLower = -1;
  int s = upper ? hitSlot(false, x, y) : -1;
  if (s >= 0) {
    mSelectedUpper = s;
    *slot = s;
    return 0;
  }
  s = lower ? hitSlot(true, x, y) : -1;
  if (s >= 0) mSelectedLower = s;
  *slot = s;
  return s >= 0 ? 1 : -1;
}

void LibrarianViewControl::noteHit(int list, bool grey) {
  if (list < 0) return;
  mLowerListActive = list == 1;
  if (grey && mEditor) mEditor->grayOutLayer(kSaveChangesLayer, list == 1);
}

void LibrarianViewControl::setCurrentPatchParam(int slot) {
  if (IParam* p = mPlug ? mPlug->GetParam(kCurrentPatch) : nullptr) p->SetClamped(slot);
}

void LibrarianViewControl::setSelectionFromJob(int slot) {
  slot = std::clamp(slot, 0, kSlots - 1);
  mCurrentSlot = slot;
  mSelectedUpper = slot;
}

void LibrarianViewControl::selectUpperSlot(int slot) {
  setSelectionFromJob(slot);
  SetDirty(false);
}

void LibrarianViewControl::selectLowerSlot(int slot) {
  slot = std::clamp(slot, 0, kSlots - 1);
  mCurrentSlot = slot;
  mSelectedLower = slot;
  SetDirty(false);
}

void LibrarianViewControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  const bool right = mod && mod->R;
  if (!right && mEditor) {
    mEditor->setRenameClosed(true);
    mEditor->hideLayer(kRenameLayer, true);
  }
  SetDirty(false);
  int slot = -1;
  const int list = hitTest(x, y, true, true, &slot);
  noteHit(list, true);
  if (mLibrarian) mLibrarian->targetSlot = mSelectedUpper.load();
  if (!right && list >= 0) {
    mCurrentSlot = slot;
    setCurrentPatchParam(slot);
  }
  if (mEditor) {
    if (right && list == 0)
      mEditor->showFileEditMenu(x, y);
    else if (right)
      mEditor->showFileCopyMenu(x, y);
    const int upper = mSelectedUpper.load();
    mEditor->DisplayLibrarianPatchCategory(upper >= 0 ? upper : mSelectedLower.load(), mLowerListActive);
  }
}

void LibrarianViewControl::OnMouseDblClick(int x, int y, IMouseMod*) {
  if (mEditor) mEditor->setRenameClosed(true);
  SetDirty(false);
  const IParam* out = mPlug ? mPlug->GetParam(kDeviceOutSelection) : nullptr;
  if (!out || out->Value() == 0.0) return;
  int slot = -1;
  const int list = hitTest(x, y, true, true, &slot);
  noteHit(list, true);
  if (list < 0) return;
  if (list == 0 && mLibrarian) mLibrarian->targetSlot = slot;
  mCurrentSlot = slot;
  setCurrentPatchParam(slot);
  if (mEditor) mEditor->sendPatchToDeviceFromLibrarian(slot, mLowerListActive);
}

bool LibrarianViewControl::OnKeyDown(int, int, int key) {
  if (mEditor) mEditor->setRenameClosed(true);
  if (key < 1 || key > 4) return false;
  if (mSelectedUpper.load() < 0 && mSelectedLower.load() < 0) return false;
  const int slot = movedSlot(std::clamp(mCurrentSlot.load(), 0, kSlots - 1), key);
  mCurrentSlot = slot;
  if (mLowerListActive) {
    mSelectedLower = slot;
  } else {
    mSelectedUpper = slot;
    if (mLibrarian) mLibrarian->targetSlot = slot;
  }
  setCurrentPatchParam(slot);
  SetDirty(false);
  if (mEditor) mEditor->sendPatchToDeviceFromLibrarian(slot, mLowerListActive);
  return true;
}

void LibrarianViewControl::OnMouseDrag(int x, int y, int, int, IMouseMod*) {
  SetDirty(false);
  if (!mDragEnabled) return;
  const int w = mGeometry.columnWidth, h = mGeometry.rowHeight;
  const int l = kit::saturatingSub(x, w / 2), t = kit::saturatingSub(y, h / 2);
  mDragBox = IRECT(l, t, kit::saturatingAdd(l, w), kit::saturatingAdd(t, h));
  if (mDragging) return;
  int slot = -1;
  if (hitTest(x, y, true, true, &slot) != 1) return;
  mDragging = true;
  mCopySourceSlot = slot;
}

void LibrarianViewControl::OnMouseUp(int x, int y, IMouseMod*) {
  SetDirty(false);
  if (!mDragging) return;
  mDragging = false;
  int slot = -1;
  const int list = hitTest(x, y, true, true, &slot);
  noteHit(list, false);
  if (!mLibrarian) return;
  mLibrarian->targetSlot = list == 0 ? slot : -1;
  if (list != 0) return;
  // The source is read at the drop, from the file the lower list shows now.
  if (const auto patch = patchAt(lowerFile(), mCopySourceSlot)) copyIntoUpperList(*patch);
}

void LibrarianViewControl::CopySlotData(int x, int y) {
  int slot = -1;
  if (hitTest(x, y, false, true, &slot) == 1) mLowerListActive = true;
  mCopySourceSlot = slot;
  mCopyMade = mLibrarian ? mLibrarian->lowerFileIndex : -1;
  // A value copy: Paste stores it whatever the lower list shows by then.
  mCopied = patchAt(lowerFile(), slot);
}

void LibrarianViewControl::PasteSlotData(int x, int y) {
  SetDirty(false);
  int slot = -1;
  if (hitTest(x, y, true, false, &slot) == 0) mLowerListActive = false;
  if (!mLibrarian) return;
  mLibrarian->targetSlot = slot;
  if (slot < 0 || mCopyMade < 0 || mCopySourceSlot < 0 || !mCopied) return;
  copyIntoUpperList(*mCopied);
}

std::optional<LibrarianPatch> LibrarianViewControl::patchAt(const PatchFile* file, int slot) {
  if (!file || slot < 0 || static_cast<size_t>(slot) >= file->patches.size()) return std::nullopt;
  const LibrarianPatch& patch = file->patches[static_cast<size_t>(slot)];
  if (patch.messages.empty()) return std::nullopt;
  return patch;
}

void LibrarianViewControl::copyIntoUpperList(const LibrarianPatch& patch) {
  if (!mEditor || !mLibrarian || !mPlug || !mLibrarian->upperFile()) return;
  const int target = mLibrarian->targetSlot.load();
  if (target < 0 || target >= kSlots) return;
  // The collector is shared with the input thread: nothing while a job runs,
  // and arm, feed and store under the plug-in mutex.
  KIT_MutexLock lock(mPlug->GetMutex());
  if (mEditor->jobRunning()) return;
  mEditor->SetLibrarianRequestActive(true);
  for (const PatchSysexMessage& m : patch.messages) mEditor->feedSysEx(m.data(), static_cast<int>(m.size()));
  mEditor->SetLibrarianStatusUnsaved(true);
  patchSelectionUpperChanged();
}

void LibrarianViewControl::renameSlot(int, int) {
  if (!mEditor || !mLibrarian) return;
  mEditor->setRenameClosed(false);
  // Without an upper bank the flag is all that changes.
  PatchFile* file = mLibrarian->upperFile();
  if (!file) return;
  const int slot = mSelectedUpper.load();
  if (slot < 0 || slot >= kSlots) return;
  mLowerListActive = false;
  if (file->patches.size() < static_cast<size_t>(kSlots)) file->patches.resize(kSlots);
  const LibrarianPatch& patch = file->patches[static_cast<size_t>(slot)];
  if (patch.messages.empty()) return;
  if (IParam* p = mPlug ? mPlug->GetParam(kPatchRename) : nullptr) p->SetDisplayText(0, patch.name.c_str());
  mEditor->hideLayer(kRenameLayer, false);
}

bool LibrarianViewControl::Draw(IGraphics* graphics) {
  IBitmapControl::Draw(graphics);
  for (const bool lower : {false, true}) {
    const int selected = lower ? mSelectedLower.load() : mSelectedUpper.load();
    IRECT r = slotRect(lower, selected);
    if (selected >= 0 && selected < kSlots) graphics->FillIRect(&kSelectionFill, &r);
    auto& texts = lower ? mLowerTexts : mUpperTexts;
    for (int i = 0; i < kSlots; ++i) {
      ITextControl* t = texts[static_cast<size_t>(i)].get();
      IColor& c = t->GetText()->mColor;
      if (i == selected) c.R = c.G = c.B = 0;
      t->Draw(graphics);
      c.R = c.G = c.B = 255;
    }
  }
  if (mDragging) graphics->FillIRect(&kSelectionFill, &mDragBox);
  return true;
}
