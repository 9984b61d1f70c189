// The librarian's selection menus and view glue: the names the bank lists
// offer their files under, the browse-kind switch of the lower list, the
// rebuilds of the folder, bank and program menus, the slot menus of a right
// click, the category of a slot and the text displays.
#include <algorithm>
#include <cstdint>

#include "editor/ControlDisplay.h"
#include "editor/LayerTools.h"
#include "editor/Tavrin.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/ITextControl.h"
#include "hardware/ParameterList.h"
#include "kit/utf8.h"
#include "librarian/FolderMenus.h"
#include "librarian/HeaderMenus.h"
#include "librarian/LibrarianMenus.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "uiconfig/ControlAction.h"

namespace {

constexpr const char* kCategoryUnset = "category unset!";
constexpr size_t kShortestCategory = 4;
constexpr int kLibrarySlots = LibrarianViewControl::kSlots;

// A selection list about to be labelled from another list: no text of the
// old one stays, and its range is the new list's (at least 0..1).
void resetSelectionList(IParam* param, size_t count) {
  if (!param) return;
  const double value = param->Value();
  const std::string name = param->GetName();
  param->ResetDisplayTexts();
  param->InitEnum(name.c_str(), 0, static_cast<int>(std::min<size_t>(count, INT32_MAX)), "", "", -1, -1);
  param->SetClamped(value);
}

}  // namespace

// ---- shown names

std::string Tavrin::ShownNames::next(const std::string& fileName) {
  if (fileName.size() < kShortenedFrom) return fileName;
  const std::string kept = fileName.substr(0, KIT_Utf8CutLength(fileName.c_str(), kKeptBytes));
  mCounter = kept == mPrefix ? mCounter + 1 : 1;
  mPrefix = kept;
  const size_t dot = fileName.rfind('.');
  std::string extension = dot == std::string::npos ? fileName : fileName.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  std::string shown = kept + "~" + std::to_string(mCounter) + "." + extension;
  // A display text holds 55 bytes; a cut never splits a character.
  shown.resize(KIT_Utf8CutLength(shown.c_str(), kDisplayLimit));
  return shown;
}

void Tavrin::labelFiles(const PatchFileList& files, std::initializer_list<int> params) {
  ShownNames names;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!files[i]) continue;
    const std::string& fileName = files[i]->fileName;
    const std::string shown = names.next(fileName);
    std::string stored = shown;
    for (int idx : params) {
      if (IParam* param = GetParam(idx)) stored = param->SetDisplayText(static_cast<int>(i), shown.c_str());
    }
    if (shown != fileName) {
      log("PATCH LIBRARIAN: Filename " + fileName + " RENAMED TO " + stored +
          " Because the filename was too long to fit in plug-in display!");
    }
  }
}

// ---- browse kinds and menu rebuilds

const char* Tavrin::lowerMenuLayerName(LowerListSource source) {
  switch (source) {
    case LowerListSource::Categories: return "RightCategoryPopupMenu";
    case LowerListSource::SearchResults: return "RightSearchPopupMenu";
    case LowerListSource::BankFiles: break;
  }
  return "RightPatchPopupMenu";
}

void Tavrin::patchTypeChanged(int, int kind, bool rescan) {
  KIT_MutexLock lock(GetMutex());
  if (!mLibrarian) return;
  if (rescan) mLibrarian->initBankFilesOnDiscard(getPatchesFolderStr());
  mLibrarian->upperFileIndex = 0;
  mLibrarian->lowerFileIndex = 0;
  if (mLibrarianView) {
    mLibrarianView->patchSelectionUpperChanged();
    mLibrarianView->patchSelectionLowerChanged();
  }
  const bool bankFiles = kind == browseKind(LowerListSource::BankFiles);
  const PatchFileList* list = bankFiles                                        ? &mLibrarian->patchFiles
                              : kind == browseKind(LowerListSource::Categories)    ? &mLibrarian->categoryFiles
                              : kind == browseKind(LowerListSource::SearchResults) ? &mLibrarian->searchFiles
                                                                                    : nullptr;
  if (list) {
    auto clear = [this](int idx) {
      if (IParam* param = GetParam(idx)) {
        param->ResetDisplayTexts();
        param->SetClamped(0.0);
      }
    };
    if (bankFiles) clear(kCurrentOpenPatchBankL);
    for (int idx : {kCurrentOpenPatchBankR, kCurrentOpenPerfBankL, kCurrentOpenPerfBankR}) clear(idx);
    if (bankFiles) {
      resetSelectionList(GetParam(kPatchSelectionListUpper), list->size());
      resetSelectionList(GetParam(kPatchSelectionListLower), list->size());
      labelFiles(*list, {kPatchSelectionListUpper, kPatchSelectionListLower, kCurrentOpenPatchBankL,
                         kCurrentOpenPatchBankR});
    } else {
      resetSelectionList(GetParam(kPatchSelectionListLower), list->size());
      labelFiles(*list, {kPatchSelectionListLower, kCurrentOpenPatchBankR});
    }
    // The lists' controls take their values in the new ranges.
    if (IGraphics* graphics = GetGUI()) {
      for (int idx : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
        if (IParam* param = GetParam(idx)) graphics->SetParameterFromPlug(idx, param->Value(), false);
      }
    }
    refreshPopUpMenus();
  }
  // Views and menus hold no file any more: what a rescan dropped goes now.
  mLibrarian->releaseDroppedFiles();
}

void Tavrin::ResetPatchSelectionMenus() {
  KIT_MutexLock lock(GetMutex());
  if (!mLibrarian) return;
  labelFiles(mLibrarian->patchFiles,
             {kPatchSelectionListUpper, kPatchSelectionListLower, kCurrentOpenPatchBankL, kCurrentOpenPatchBankR});
  updatePatchLibrarianView(2);
}

void Tavrin::refreshPopUpMenus() {
  KIT_MutexLock lock(GetMutex());
  PatchLibrarian* librarian = mLibrarian.get();
  if (auto* menu = dynamic_cast<FolderPopupMenu*>(layerControl("LeftPatchPopupMenu"))) {
    menu->refreshFolderStructure(librarian, this, 0, upperFileName, upperFolderName);
  }
  if (auto* menu = dynamic_cast<FolderPopupMenu*>(layerControl(lowerMenuLayerName(lowerListSource())))) {
    menu->refreshFolderStructure(librarian, this, 0, lowerFileName, lowerFolderName);
  }
  if (auto* menu = dynamic_cast<ProgBankNamePopupMenu*>(layerControl("PROGBANKNAMEMENUPROGRAMS"))) {
    menu->refreshPatchNames(librarian, this, 0, "", "");
  }
  updatePatchLibrarianView(2);
}

void Tavrin::updateBankAndProgramMenuNames(bool spareBankMenu) {
  KIT_MutexLock lock(GetMutex());
  hideLayer("BANKNUMBERMENUPROGRAMS", true);
  hideLayer("PROGBANKNAMEMENUPROGRAMS", true);
  const int program = wholeValue(kCurrentPatch);
  const int bank = wholeValue(kCurrentBank);
  auto* programs = dynamic_cast<ProgramNumberPopupMenu*>(layerControl("PROGRAMNUMBERMENU"));
  auto* banks = dynamic_cast<BankNumberPopupMenu*>(layerControl("BANKNUMBERMENUPROGRAMS"));
  if (mControlLibrary.load()) {
    // The header follows the librarian: the program is a slot of the upper
    // bank, which becomes the selection and the target of stores.
    hideLayer("PROGBANKNAMEMENUPROGRAMS", false);
    const int slot = std::clamp(program, 0, kLibrarySlots - 1);
    if (mLibrarianView) mLibrarianView->selectUpperSlot(slot);
    if (mLibrarian) mLibrarian->targetSlot.store(slot);
    if (programs) programs->refreshPatchNames(mLibrarian.get(), this, program);
    if (banks && !spareBankMenu) banks->refreshPatchNames(mLibrarian.get(), this, bank);
    return;
  }
  if (programs) programs->refreshPatchNames(mLibrarian.get(), this, program);
  if (banks) banks->refreshPatchNames(mLibrarian.get(), this, bank);
  hideLayer("BANKNUMBERMENUPROGRAMS", false);
}

// ---- slot menus of a right click

template <class Menu>
void Tavrin::runSlotMenu(std::unique_ptr<Menu>& last, int& depth, int x, int y) {
  KIT_MutexLock lock(GetMutex());
  auto menu = std::make_unique<Menu>(this, mLibrarian.get(), IRECT(x, y, x, y), this);
  Menu* running = menu.get();
  // The menu replaced goes now, unless one of its kind is still popped up
  // further down this call; then it waits until none is.
  if (last && depth > 0) mRetiredMenus.push_back(std::move(last));
  last = std::move(menu);
  ++depth;
  running->doPopupMenu(this, x, y);
  --depth;
  if (mEditMenuDepth == 0 && mCopyMenuDepth == 0) mRetiredMenus.clear();
}

void Tavrin::showFileEditMenu(int x, int y) { runSlotMenu(mEditMenu, mEditMenuDepth, x, y); }

void Tavrin::showFileCopyMenu(int x, int y) { runSlotMenu(mCopyMenu, mCopyMenuDepth, x, y); }

IControl* Tavrin::lastSlotMenu(bool copy) const {
  return copy ? static_cast<IControl*>(mCopyMenu.get()) : static_cast<IControl*>(mEditMenu.get());
}

// ---- category of a slot and the displays

std::string Tavrin::librarianPatchCategory(int slot, bool lower) {
  KIT_MutexLock lock(GetMutex());
  const PatchFile* file = paddedFile(lower);
  if (!file) return "";
  const bool inFile = slot >= 0 && static_cast<size_t>(slot) < file->patches.size();
  const std::string category = inFile ? file->patches[static_cast<size_t>(slot)].category : "";
  return category.size() < kShortestCategory ? kCategoryUnset : category;
}

void Tavrin::DisplayLibrarianPatchCategory(int slot, bool lower) {
  KIT_MutexLock lock(GetMutex());
  if (!paddedFile(lower)) return;
  const std::string text = librarianPatchCategory(slot, lower);
  // The librarian page's category display, when the window has one.
  const IParam* param = GetParam(kControlDisplayLibCategory);
  const ControlAction* action = param ? param->GetControlAction() : nullptr;
  if (action && !action->controls.empty()) layertools::setText(action->controls.front(), text);
}

void Tavrin::displayText(const std::string& name, const std::string& value, const std::string& midi) {
  KIT_MutexLock lock(GetMutex());
  setStatusText(name);
  showText(kControlDisplayValue, value.c_str());
  showText(kControlDisplayCC, midi.c_str());
}

std::string Tavrin::getValueString(double value) { return ControlDisplay::getValueString(value); }

std::string Tavrin::getPanelString(int number, const std::string& text) {
  return "Timbre " + std::to_string(number) + " " + text;
}
