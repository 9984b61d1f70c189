#include "librarian/LibrarianMenus.h"

#include <cmath>
#include <iterator>

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

// The bank edit menu's items in the order they are added. A separator takes
// an index of its own, so the chosen index is looked up here rather than
// counted.
enum class MainItem {
  RequestMenu, StoreMenu, SyncFromHardware, PushToHardware, SaveOverwrite, SaveAsMenu, ImportMenu,
  RefreshFolders, OtherMenu, About, Separator
};
constexpr MainItem kMainLayout[] = {
    MainItem::RequestMenu,    MainItem::Separator,      MainItem::StoreMenu,  MainItem::Separator,
    MainItem::SyncFromHardware, MainItem::PushToHardware, MainItem::Separator,  MainItem::SaveOverwrite,
    MainItem::SaveAsMenu,     MainItem::Separator,      MainItem::ImportMenu, MainItem::RefreshFolders,
    MainItem::OtherMenu,      MainItem::Separator,      MainItem::About};

MainItem mainItemAt(int index) {
  const bool inMenu = index >= 0 && static_cast<size_t>(index) < std::size(kMainLayout);
  return inMenu ? kMainLayout[static_cast<size_t>(index)] : MainItem::Separator;
}

// The request menu: three single sounds, a separator, then the five banks.
constexpr int kRequestToEditor = 0;
constexpr int kRequestActiveSlot = 1;
constexpr int kRequestSelectedProgram = 2;
constexpr int kFirstBankRequest = kRequestSelectedProgram + 2;
// The store menu: the selected slot, a separator, then the five banks.
constexpr int kStoreToSelected = 0;
constexpr int kFirstBankStore = kStoreToSelected + 2;
constexpr int kLastBank = 4;  // the instrument's banks 0..4 of 100 programs
// The save and import menus: MIDI file first, then the system-exclusive file.
constexpr int kMidiFileItem = 0;
constexpr int kSysexFileItem = 1;
// The menu of other things: the two folders, then the three help topics.
constexpr int kOpenDataFolder = 0;
constexpr int kOpenManual = 1;
constexpr int kFirstHelpTopic = 2;
constexpr int kHelpTopicCount = 3;

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

  for (MainItem item : kMainLayout) {
    IPopupMenu& m = *mMain;
    switch (item) {
      case MainItem::RequestMenu: m.AddItem("Request Patch Data", mRequest.get()); break;
      case MainItem::StoreMenu: m.AddItem("Store Patch Data", mStore.get()); break;
      case MainItem::SyncFromHardware: m.AddItem("Sync Current Data from HW"); break;
      case MainItem::PushToHardware: m.AddItem("Push Current Data to HW"); break;
      case MainItem::SaveOverwrite: m.AddItem("Save (Overwrite current bank)"); break;
      case MainItem::SaveAsMenu: m.AddItem("Save As...", mSaveAs.get()); break;
      case MainItem::ImportMenu: m.AddItem("Import...", mImport.get()); break;
      case MainItem::RefreshFolders: m.AddItem("Refresh Folders"); break;
      case MainItem::OtherMenu: m.AddItem("Other Helpful things...", mOther.get()); break;
      case MainItem::About: m.AddItem("About this Plug-in..."); break;
      case MainItem::Separator: m.AddSeparator(); break;
    }
  }
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
    switch (mainItemAt(item)) {
      case MainItem::SyncFromHardware: e.sendActiveArrangementRequestSysex(true); break;
      case MainItem::PushToHardware:
        if (e.midiIOSet()) e.startSendArrangement(false, true);
        break;
      case MainItem::SaveOverwrite:
        if (mLibrarian) mLibrarian->saveUpperBank();
        break;
      case MainItem::RefreshFolders: refreshFolders(); break;
      case MainItem::About: e.hideLayer("aboutWindow", false); break;
      default: break;
    }
  } else if (menu == mRequest.get()) {
    if (item == kRequestToEditor) e.sendActiveArrangementRequestSysex(true);
    if ((item == kRequestActiveSlot || item == kRequestSelectedProgram) && upperTargetValid())
      e.sendSinglePatchRequestSysexFromLibrarian(item == kRequestActiveSlot);
    if (item >= kFirstBankRequest && item <= kFirstBankRequest + kLastBank && mLibrarian && mLibrarian->upperFile())
      e.sendAllPatchRequestSysexFromLibrarian(item - kFirstBankRequest);
  } else if (menu == mStore.get()) {
    if (item == kStoreToSelected) {
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
    if (item >= kFirstBankStore && item <= kFirstBankStore + kLastBank)
      e.storeAllPatchesToDeviceFromLibrarian(item - kFirstBankStore, 0);
  } else if (menu == mSaveAs.get()) {
    if (mLibrarian && (item == kMidiFileItem || item == kSysexFileItem))
      mLibrarian->saveUpperBankAs(item == kMidiFileItem);
  } else if (menu == mImport.get()) {
    if (item == kMidiFileItem || item == kSysexFileItem) {
      e.saveImportedFile(item == kMidiFileItem);
      refreshFolders();
    }
  } else if (menu == mOther.get()) {
    if (item == kOpenDataFolder || item == kOpenManual) e.OpenDataDirectory(item == kOpenManual);
    if (item >= kFirstHelpTopic && item < kFirstHelpTopic + kHelpTopicCount) e.OpenHelpTopics(item - kFirstHelpTopic);
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
