#include "librarian/LibrarianMenus.h"

#include <cmath>

#include "framework/IGraphics.h"
#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"
#include "librarian/LibrarianPatch.h"
#include "librarian/LibrarianViewControl.h"

namespace {

constexpr const char* kRefreshRefused = "Save bank or Discard changes!";
constexpr const char* kCategoryItems[kCategoryCount] = {"None", "Arp",  "Atmo", "Bass", "Drum", "FX",   "Keys",
                                                        "Lead", "Mono", "Pad",  "Perc", "Poly", "Seq",  "Dub",
                                                        "Lush", "Strg", "Pluk", "Wind", "Nois", "Exfx", "Init"};

// Empties a menu by making a new one.
void renew(std::unique_ptr<IPopupMenu>& menu) { menu = std::make_unique<IPopupMenu>(); }

void uncheckAll(std::initializer_list<IPopupMenu*> menus) {
  for (IPopupMenu* m : menus)
    if (m) m->CheckItemAlone(-1);
}

}  // namespace

IRECT scaledRect(const IRECT& r, double scale) {
  auto cut = [scale](int v) { return static_cast<int>(v * scale); };
  return IRECT(cut(r.L), cut(r.T), cut(r.R), cut(r.B));
}

LibrarianHotZone::LibrarianHotZone(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect, ILibrarianEditor* editor)
    : IControl(plug, rect), mLibrarian(librarian), mEditor(editor) {}

bool LibrarianHotZone::Draw(IGraphics* graphics) { return graphics->FillIRect(&COLOR_TRANSPARENT, &mRECT); }

IPopupMenu* LibrarianHotZone::popUp(IPopupMenu* menu) {
  IGraphics* g = GetGUI();
  return g && menu ? g->CreateIPopupMenu(menu, &mRECT) : nullptr;
}

void LibrarianHotZone::setParamDirect(int paramIdx, double value) {
  if (IParam* p = mPlug ? mPlug->GetParam(paramIdx) : nullptr) p->SetClamped(value);
}

double LibrarianHotZone::paramValue(int paramIdx) const {
  const IParam* p = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
  return p ? p->Value() : 0.0;
}

bool LibrarianHotZone::upperTargetValid() const {
  if (!mLibrarian || !mLibrarian->upperFile()) return false;
  const int slot = mLibrarian->targetSlot.load();
  return slot >= 0 && slot < LibrarianViewControl::kSlots;
}

// ---- BankEditPopupMenu --------------------------------------------------------

BankEditPopupMenu::BankEditPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect,
                                     ILibrarianEditor* editor)
    : LibrarianHotZone(plug, librarian, rect, editor) {
  AddMenuItemsIn(editor);
}

BankEditPopupMenu::~BankEditPopupMenu() = default;

void BankEditPopupMenu::AddMenuItemsIn(ILibrarianEditor*) {
  for (auto* m : {&mMain, &mRequest, &mStore, &mSaveAs, &mImport, &mOther}) renew(*m);
  for (const char* t : {"from Active Slot to Plug-in GUI", "from Active Slot to Librarian",
                        "from Selected Program Slot & Bank"})
    mRequest->AddItem(t);
  mRequest->AddSeparator();
  for (const char* t : {"Patches from 001-100", "Patches from 101-200", "Patches from 201-300", "Patches from 301-400",
                        "Patches from 401-500"})
    mRequest->AddItem(t);
  mStore->AddItem("To Currently Selected Slot & Bank");
  mStore->AddSeparator();
  for (const char* t : {"All Patches to P001-P100", "All Patches to P101-P200", "All Patches to P201-P300",
                        "All Patches to P301-P400", "All Patches to P401-P500"})
    mStore->AddItem(t);
  mSaveAs->AddItem("Standard MIDI (*.mid)");
  mSaveAs->AddItem("Tavrin Format (*.sr2)");
  mImport->AddItem("Standard MIDI (*.mid)");
  mImport->AddItem("SysEx (*.syx / *.sr2)");
  for (const char* t : {"Open Data Folder", "Open User Manual", "Open Support Ticket", "Check for Updates",
                        "DAW Setup Guides"})
    mOther->AddItem(t);

  mMain->AddItem("Request Patch Data", mRequest.get());
  mMain->AddSeparator();
  mMain->AddItem("Store Patch Data", mStore.get());
  mMain->AddSeparator();
  mMain->AddItem("Sync Current Data from HW");
  mMain->AddItem("Push Current Data to HW");
  mMain->AddSeparator();
  mMain->AddItem("Save (Overwrite current bank)");
  mMain->AddItem("Save As...", mSaveAs.get());
  mMain->AddSeparator();
  mMain->AddItem("Import...", mImport.get());
  mMain->AddItem("Refresh Folders");
  mMain->AddItem("Other Helpful things...", mOther.get());
  mMain->AddSeparator();
  mMain->AddItem("About this Plug-in...");
}

void BankEditPopupMenu::OnMouseDown(int, int, IMouseMod*) {
  doPopupMenu(mEditor);
  SetDirty(false);
}

void BankEditPopupMenu::doPopupMenu(ILibrarianEditor*) {
  if (IPopupMenu* chosen = popUp(mMain.get())) apply(chosen, chosen->GetChosenItemIdx());
  uncheckAll({mMain.get(), mRequest.get(), mStore.get(), mSaveAs.get(), mImport.get(), mOther.get()});
}

void BankEditPopupMenu::refreshFolders() {
  // A rescan would drop the upper bank's unsaved edits.
  if (paramValue(kBankEditUnsaved) == 1.0) {
    mEditor->setStatusText(kRefreshRefused);
    return;
  }
  mEditor->OnParamChange(kRefreshFolders);
}

void BankEditPopupMenu::apply(IPopupMenu* menu, int item) {
  if (!mEditor) return;
  ILibrarianEditor& e = *mEditor;
  if (menu == mMain.get()) {
    switch (item) {
      case 4: e.sendActiveArrangementRequestSysex(true); break;
      case 5:
        if (e.midiIOSet()) e.startSendArrangement(false, true);
        break;
      case 7:
        if (mLibrarian) mLibrarian->saveUpperBank();
        break;
      case 11: refreshFolders(); break;
      case 14: e.hideLayer("aboutWindow", false); break;
      default: break;
    }
  } else if (menu == mRequest.get()) {
    if (item == 0) e.sendActiveArrangementRequestSysex(true);
    if ((item == 1 || item == 2) && upperTargetValid()) e.sendSinglePatchRequestSysexFromLibrarian(item == 1);
    if (item >= 4 && item <= 8 && mLibrarian && mLibrarian->upperFile())
      e.sendAllPatchRequestSysexFromLibrarian(item - 4);
  } else if (menu == mStore.get()) {
    if (item == 0) {
      // The upper patch at targetSlot into program kCurrentPatch of bank
      // kCurrentBank (0..4), when it holds a message.
      const int bank = static_cast<int>(paramValue(kCurrentBank));
      const int program = static_cast<int>(paramValue(kCurrentPatch));
      const int slot = mLibrarian ? mLibrarian->targetSlot.load() : -1;
      const PatchFile* file = mLibrarian ? mLibrarian->upperFile() : nullptr;
      const bool holds = file && slot >= 0 && slot < LibrarianViewControl::kSlots &&
                         static_cast<size_t>(slot) < file->patches.size() &&
                         !file->patches[static_cast<size_t>(slot)].messages.empty();
      if (e.midiIOSet() && holds && bank >= 0 && bank <= 4 && program >= 0 && program <= 99)
        e.sendPatchToDeviceLocation(slot, bank * 100 + program);
    }
    if (item >= 2 && item <= 6) e.storeAllPatchesToDeviceFromLibrarian(item - 2, 0);
  } else if (menu == mSaveAs.get()) {
    if (mLibrarian && (item == 0 || item == 1)) mLibrarian->saveUpperBankAs(item == 0);
  } else if (menu == mImport.get()) {
    if (item == 0 || item == 1) {
      e.saveImportedFile(item == 0);
      refreshFolders();
    }
  } else if (menu == mOther.get()) {
    if (item == 0 || item == 1) e.OpenDataDirectory(item == 1);
    if (item >= 2 && item <= 4) e.OpenHelpTopics(item - 2);
  }
}

// ---- FileEditPopupMenu --------------------------------------------------------

FileEditPopupMenu::FileEditPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect,
                                     ILibrarianEditor* editor)
    : LibrarianHotZone(plug, librarian, rect, editor) {
  AddMenuItemsIn();
}

FileEditPopupMenu::~FileEditPopupMenu() = default;

void FileEditPopupMenu::AddMenuItemsIn() {
  for (auto* m : {&mMain, &mGetData, &mImport, &mCategory}) renew(*m);
  for (const char* t : kCategoryItems) mCategory->AddItem(t);
  mGetData->AddItem("Plug-in (active patch)");
  mGetData->AddSeparator();
  mGetData->AddItem("Hardware Edit Buffer");
  mGetData->AddItem("Hardware by Prog No.");
  mImport->AddItem("Sorrel 1 Single Patch");
  mImport->AddItem("Sorrel 2 Single Patch");
  mMain->AddItem("Paste");
  mMain->AddSeparator();
  mMain->AddItem("Rename");
  mMain->AddItem("Set Category", mCategory.get());
  mMain->AddSeparator();
  mMain->AddItem("Initialize Slot");
  mMain->AddItem("Get DATA from..", mGetData.get());
  mMain->AddSeparator();
  mMain->AddItem("Import..", mImport.get());
}

void FileEditPopupMenu::OnMouseDown(int x, int y, IMouseMod*) {
  doPopupMenu(mEditor, x, y);
  SetDirty(false);
}

void FileEditPopupMenu::doPopupMenu(ILibrarianEditor*, int x, int y) {
  IPopupMenu* chosen = popUp(mMain.get());
  if (chosen && mEditor) {
    ILibrarianEditor& e = *mEditor;
    LibrarianViewControl* view = e.librarianView();
    const int item = chosen->GetChosenItemIdx();
    if (chosen == mMain.get()) {
      if (item == 0 && view) view->PasteSlotData(x, y);
      if (item == 2 && view) view->renameSlot(x, y);
      if (item == 5 && upperTargetValid()) e.initClassicPatch();
    } else if (chosen == mCategory.get()) {
      if (item >= 0 && item < kCategoryCount) e.SetCategoryForLibrarianPatch(item);
    } else if (chosen == mGetData.get()) {
      if (item == 0 && upperTargetValid()) e.startSendArrangement(true, false);
      if ((item == 2 || item == 3) && upperTargetValid()) e.sendSinglePatchRequestSysexFromLibrarian(item == 2);
    } else if (chosen == mImport.get()) {
      if (item == 0 || item == 1) e.ImportSingleSorrelPatches(item == 0);
    }
  }
  uncheckAll({mMain.get(), mGetData.get(), mImport.get(), mCategory.get()});
}

// ---- FileCopyPopupMenu --------------------------------------------------------

FileCopyPopupMenu::FileCopyPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect,
                                     ILibrarianEditor* editor)
    : LibrarianHotZone(plug, librarian, rect, editor) {
  mMenu.AddItem("Copy");
}

void FileCopyPopupMenu::OnMouseDown(int x, int y, IMouseMod*) {
  doPopupMenu(mEditor, x, y);
  SetDirty(false);
}

void FileCopyPopupMenu::doPopupMenu(ILibrarianEditor*, int x, int y) {
  IPopupMenu* chosen = popUp(&mMenu);
  LibrarianViewControl* view = mEditor ? mEditor->librarianView() : nullptr;
  if (chosen == &mMenu && chosen->GetChosenItemIdx() == 0 && view) view->CopySlotData(x, y);
  mMenu.CheckItemAlone(-1);
}
