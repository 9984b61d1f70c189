#include "librarian/HeaderMenus.h"

#include <cstdio>
#include <string>

#include "framework/IGraphics.h"
#include "hardware/ParameterList.h"
#include "librarian/LibrarianViewControl.h"

// ---- BankNumberPopupMenu ------------------------------------------------------

BankNumberPopupMenu::BankNumberPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect,
                                         ILibrarianEditor* editor)
    : LibrarianHotZone(plug, librarian, rect, editor) {
  refreshPatchNames(librarian, editor, 0);
}

bool BankNumberPopupMenu::refreshPatchNames(PatchLibrarian*, ILibrarianEditor*, int bank) {
  mMenu = std::make_unique<IPopupMenu>();
  for (const char* t : {"Bank P001-100", "Bank P101-200", "Bank P201-300", "Bank P301-400", "Bank P401-500"})
    mMenu->AddItem(t);
  mMenu->CheckItemAlone(bank >= 0 && bank < kBanks ? bank : -1);
  return true;
}

int BankNumberPopupMenu::doPopupMenu(ILibrarianEditor*, int& bank) {
  IPopupMenu* chosen = popUp(mMenu.get());
  if (!chosen) return 0;
  mMenu->CheckItemAlone(-1);
  bank = chosen->GetChosenItemIdx();
  if (IGraphics* g = GetGUI()) g->SetParameterFromPlug(kCurrentBank, bank, false);
  if (mEditor) {
    mEditor->BankChangeMessage();
    mEditor->startPartRequest();
  }
  setParamDirect(kCurrentBank, bank);
  mMenu->CheckItemAlone(bank);
  return bank;
}

void BankNumberPopupMenu::OnMouseDown(int, int, IMouseMod*) {
  mIndex = static_cast<int>(paramValue(kCurrentBank));
  doPopupMenu(mEditor, mIndex);
  // A dismissal still re-applies kCurrentBank.
  if (IGraphics* g = GetGUI()) g->SetParameterFromPlug(kCurrentBank, mIndex, false);
  SetDirty(false);
}

// ---- ProgramNumberPopupMenu ---------------------------------------------------

ProgramNumberPopupMenu::ProgramNumberPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect,
                                               ILibrarianEditor* editor)
    : LibrarianHotZone(plug, librarian, rect, editor) {
  refreshPatchNames(librarian, editor, 0);
}

ProgramNumberPopupMenu::~ProgramNumberPopupMenu() = default;

bool ProgramNumberPopupMenu::refreshPatchNames(PatchLibrarian*, ILibrarianEditor*, int program) {
  mRoot = std::make_unique<IPopupMenu>();
  const bool library = mEditor && mEditor->libraryControlMode();
  const PatchFile* bank =
      library && mLibrarian
          ? PatchLibrarian::fileAt(mLibrarian->patchFiles, static_cast<int>(paramValue(kPatchSelectionListUpper)))
          : nullptr;
  for (int k = 0; k < 10; ++k) {
    auto& sub = mSubmenus[static_cast<size_t>(k)];
    sub = std::make_unique<IPopupMenu>();
    for (int i = 10 * k; i < 10 * k + 10; ++i) {
      if (!library) {
        char text[24];  // room for any int, though i + 1 stays within 1..100
        std::snprintf(text, sizeof text, "Program %02d", i + 1);
        sub->AddItem(text);
      } else {
        // Names past the bank's end, or without a bank, are empty.
        sub->AddItem(bank && static_cast<size_t>(i) < bank->patches.size()
                         ? bank->patches[static_cast<size_t>(i)].name.c_str()
                         : "");
      }
    }
    const std::string range = k == 0 ? "01-10" : std::to_string(10 * k + 1) + "-" + std::to_string(10 * k + 10);
    mRoot->AddItem(range.c_str(), sub.get());
  }
  if (program >= 0 && program <= 99) mSubmenus[static_cast<size_t>(program / 10)]->CheckItemAlone(program % 10);
  return true;
}

int ProgramNumberPopupMenu::doPopupMenu(ILibrarianEditor*, int& program) {
  IPopupMenu* chosen = popUp(mRoot.get());
  if (!chosen) return 0;
  mRoot->CheckItemAlone(-1);
  int k = -1;
  for (int i = 0; i < 10; ++i) {
    mSubmenus[static_cast<size_t>(i)]->CheckItemAlone(-1);
    if (mSubmenus[static_cast<size_t>(i)].get() == chosen) k = i;
  }
  if (k < 0) return 0;
  program = 10 * k + chosen->GetChosenItemIdx();
  if (mEditor && mEditor->libraryControlMode()) {
    if (LibrarianViewControl* view = mEditor->librarianView()) view->selectUpperSlot(program);
    if (mLibrarian) mLibrarian->targetSlot = program;
    mEditor->sendPatchToDeviceFromLibrarian(program, false);
  } else if (mEditor) {
    setParamDirect(kCurrentPatch, program);
    mEditor->BankChangeMessage();
    mEditor->startPartRequest();
  }
  setParamDirect(kCurrentPatch, program);
  chosen->CheckItemAlone(chosen->GetChosenItemIdx());
  return program;
}

void ProgramNumberPopupMenu::OnMouseDown(int, int, IMouseMod*) {
  mIndex = static_cast<int>(paramValue(kCurrentPatch));
  doPopupMenu(mEditor, mIndex);
  SetDirty(false);
}
