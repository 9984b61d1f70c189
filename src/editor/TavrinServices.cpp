// What the plug-in offers the hub and the librarian: the progress display,
// the librarian-request and unsaved states, the display setters, the view
// refreshes, the help pages and the librarian's sends and job starts.
#include <algorithm>

#include "editor/LayerTools.h"
#include "editor/Tavrin.h"
#include "editor/TabSwitchFunctions.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "framework/ITextControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "librarian/HeaderMenus.h"
#include "librarian/LibrarianMenus.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "uiconfig/ProgressIndicator.h"

#ifndef TAVRIN_SUPPORT_HOST
#define TAVRIN_SUPPORT_HOST "https://support.example.com"
#endif
#ifndef TAVRIN_HELP_HOST
#define TAVRIN_HELP_HOST "https://help.example.com"
#endif

namespace {

using layertools::setText;

template <class Menu>
Menu* menuIn(ControlLayer* layer) {
  return dynamic_cast<Menu*>(layertools::firstControl(layer));
}

}  // namespace

// ---- progress display

void Tavrin::DisplayProcessingIndicator(bool show) {
  KIT_MutexLock lock(GetMutex());
  mFlags.transferInProgress.store(false);
  const bool libraryTab = GetParam(kMainTab) && GetParam(kMainTab)->Value() == static_cast<double>(kLibrarianTab);
  IControl* search = rememberedControl(kPatchSearch);
  auto hideButtons = [this] {
    for (IControl* button : {mCancelA, mCancelB}) {
      if (button) button->Hide(true);
    }
  };
  if (show) {
    if (mProgress) mProgress->Hide(false);
    if (mProgressLayer) mProgressLayer->Hide(false);
    hideButtons();
    if (libraryTab) {
      if (mCancelA) mCancelA->Hide(false);
      hideLayer("searchField", true);
      hideLayer("categoryLimit", true);
      if (search) search->GrayOut(true);
    } else if (mCancelB) {
      mCancelB->Hide(false);
    }
    return;
  }
  if (mProgress) mProgress->Hide(true);
  if (mProgressLayer) mProgressLayer->Hide(true);
  hideButtons();
  if (mHub) mHub->setRequestPending(false);
  if (libraryTab) {
    const bool searching = GetParam(kPatchSearch) && GetParam(kPatchSearch)->Value() == 1.0;
    hideLayer(searching ? "searchField" : "categoryLimit", false);
    if (search) search->GrayOut(false);
  }
  if (mSectionLock.load()) grayOutLayer("releaseAllLocksLayer", false);
}

void Tavrin::SetLibrarianRequestActive(bool active) {
  KIT_MutexLock lock(GetMutex());
  if (mHub) mHub->setLibrarianRequestActive(active);
}

void Tavrin::SetLibrarianStatusUnsaved(bool unsaved) {
  if (!unsaved) return;
  KIT_MutexLock lock(GetMutex());
  if (mHub) {
    mHub->setRequestPending(false);
    mHub->disarmLibraryRequest();
  }
  if (IGraphics* graphics = GetGUI()) {
    graphics->SetParameterFromPlug(kBankEditUnsaved, 1, false);
    graphics->SetParameterFromPlug(kDiscardBankData, 0, false);
  }
  hideLayer("discardChangesLayerRight", false);
  hideLayer("LeftPatchPopupMenu", true);
  hideLayer("saveChangesLayer", true);
}

void Tavrin::setLibrarianViewDirty() {
  KIT_MutexLock lock(GetMutex());
  if (mLibrarianView) mLibrarianView->SetDirty(false);
}

// ---- librarian glue

void Tavrin::updatePatchLibrarianView(int which) {
  KIT_MutexLock lock(GetMutex());
  if (!mLibrarianView || which < 0 || which > 2) return;
  mLibrarianView->SetDirty(false);
  if (which != 1) mLibrarianView->patchSelectionUpperChanged();
  if (which != 0) mLibrarianView->patchSelectionLowerChanged();
}

void Tavrin::updateUserInterfaceAndMenus() {
  KIT_MutexLock lock(GetMutex());
  auto isOn = [this](int idx) { return GetParam(idx) && GetParam(idx)->Value() == 1.0; };
  const int tab = isOn(kShowModMatrix) ? kModArpTab : isOn(kShowLibrarian) ? kLibrarianTab : kSoundTab;
  const int program = GetParam(kCurrentPatch) ? static_cast<int>(GetParam(kCurrentPatch)->Value()) : 0;
  if (auto* menu = menuIn<BankEditPopupMenu>(namedLayer("BANKEDITMENU"))) menu->AddMenuItemsIn(this);
  if (auto* menu = menuIn<ProgramNumberPopupMenu>(namedLayer("PROGRAMNUMBERMENU"))) {
    menu->refreshPatchNames(mLibrarian.get(), this, program);
  }
  if (IParam* mainTab = GetParam(kMainTab)) mainTab->Set(std::clamp<double>(tab, mainTab->GetMin(), mainTab->GetMax()));
  if (mProgress) mProgress->Hide(false);
  if (mProgressLayer) mProgressLayer->Hide(false);
  TabSwitchFunctions::mainTabSwitch(this, kMainTab, tab, 0);
  if (mProgress) mProgress->Hide(true);
  if (mProgressLayer) mProgressLayer->Hide(true);
}

void Tavrin::displayPatchName(const std::string& text) {
  KIT_MutexLock lock(GetMutex());
  setText(rememberedControl(kPatchName), text);
}

void Tavrin::displayCategoryName(const std::string& text) {
  KIT_MutexLock lock(GetMutex());
  setText(rememberedControl(kControlDisplayCategory), text);
}

void Tavrin::DrawPatternOverlayer(int length) {
  if (length < 0 || length > 14) return;
  layertools::forEachPatternOverlay(length + layertools::kFirstPatternOverlay,
                                    [this](const std::string& name) { hideLayer(name, false); });
}

void Tavrin::setArpTempoLayers(bool externalClock) {
  grayOutLayer("arpTempoClock", !externalClock);
  grayOutLayer("arpTempoKnob", externalClock);
}

LowerListSource Tavrin::lowerListSource() const {
  if (mCategoryMode.load()) return LowerListSource::Categories;
  if (mSearchMode.load()) return LowerListSource::SearchResults;
  return LowerListSource::BankFiles;
}

bool Tavrin::jobRunning() const { return !mHub || mHub->threadRunning(MIDIMessageManager::kJobThread); }

IControl* Tavrin::listLinkedControl(int paramIdx) { return rememberedControl(paramIdx); }

std::string Tavrin::rememberedFolderName(Side side) const {
  return side == Side::Upper ? upperFolderName : lowerFolderName;
}

std::string Tavrin::rememberedFileName(Side side) const { return side == Side::Upper ? upperFileName : lowerFileName; }

void Tavrin::setRememberedNames(Side side, const std::string& folderName, const std::string& fileName) {
  (side == Side::Upper ? upperFolderName : lowerFolderName) = folderName;
  (side == Side::Upper ? upperFileName : lowerFileName) = fileName;
}

// ---- help and folder

void Tavrin::OpenDataDirectory(bool manual) {
  if (IGraphics* graphics = GetGUI()) {
    const std::string path = manual ? getDataFolder() + "Brannick-Tavrin-User-Manual-v101.pdf" : getDataFolder();
    graphics->OpenURL(path.c_str(), nullptr, nullptr, nullptr);
  }
}

void Tavrin::OpenHelpTopics(int topic) {
  static const char* const kPages[] = {TAVRIN_SUPPORT_HOST "/my-tickets/", TAVRIN_SUPPORT_HOST "/downloads/",
                                       TAVRIN_HELP_HOST "/kb/articles/"};
  IGraphics* graphics = GetGUI();
  if (!graphics || topic < 0 || topic > 2) return;
  graphics->OpenURL(kPages[topic], nullptr, nullptr, nullptr);
}

// ---- job starts of the librarian's menus

bool Tavrin::startSendArrangement(bool toLibrarian, bool markTransfer) {
  KIT_MutexLock lock(GetMutex());
  if (mHub == nullptr) return false;
  // A push asks for the sound (and the globals) as a loaded state does; the
  // transfer flag, which drops all input, is raised only for a job that
  // really starts.
  if (markTransfer) mFlags.push.store(true);
  const SenderJob job = SenderJob::sendSound(toLibrarian, false, mFlags);
  if (!markTransfer) return startJob(job);
  return startJob(job, [this] { mFlags.transferInProgress.store(true); });
}

bool Tavrin::sendActiveArrangementRequestSysex(bool toEditor) {
  return mHub != nullptr && mHub->sendActiveArrangementRequestSysex(toEditor);
}

bool Tavrin::sendSinglePatchRequestSysexFromLibrarian(bool editBuffer) {
  // The hub empties and arms the collector only for a job that starts.
  return mHub != nullptr && mHub->sendSinglePatchRequestSysexFromLibrarian(editBuffer);
}

bool Tavrin::initClassicPatch() {
  KIT_MutexLock lock(GetMutex());
  if (mHub == nullptr) return false;
  SenderJob job;
  job.mode = SenderJob::kInitSlot;
  return startJob(job);
}
