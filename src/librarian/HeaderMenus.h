#pragma once
// The header's bank and program selectors. In hardware mode a choice selects
// the location on the instrument (bank select and program change, then the
// part request); in library control mode the program selector lists the
// upper bank's patch names and a choice selects and sends that slot. The
// library-mode bank selector is ProgBankNamePopupMenu (FolderMenus.h).
//
// Threads: GUI thread only, holding the plug-in mutex.
#include <array>
#include <memory>

#include "framework/IPopupMenu.h"
#include "librarian/LibrarianMenus.h"

class BankNumberPopupMenu : public LibrarianHotZone {
 public:
  // Its layer is attached shown.
  static MenuPlacement placement() { return {IRECT(456, 58, 482, 84), "BANKNUMBERMENUPROGRAMS", 77}; }
  static constexpr int kBanks = 5;

  BankNumberPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect, ILibrarianEditor* editor);
  // Rebuilds the five items and checks item bank (none outside 0..4).
  bool refreshPatchNames(PatchLibrarian* librarian, ILibrarianEditor* editor, int bank);
  // Pops up; a choice sets kCurrentBank, sends the bank change and starts
  // the part request. Returns the bank, or 0 when nothing was chosen.
  int doPopupMenu(ILibrarianEditor* editor, int& bank);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  IPopupMenu* menu() { return mMenu.get(); }

 private:
  int mIndex = 0;
  std::unique_ptr<IPopupMenu> mMenu;
};

class ProgramNumberPopupMenu : public LibrarianHotZone {
 public:
  // Its layer is attached shown and never hidden.
  static MenuPlacement placement() { return {IRECT(482, 58, 532, 84), "PROGRAMNUMBERMENU", 76}; }

  ProgramNumberPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect, ILibrarianEditor* editor);
  ~ProgramNumberPopupMenu() override;
  // Rebuilds the root and its ten submenus ("Program 01".."Program 100", or
  // in library control mode the upper bank's names, "" past its end or
  // without a bank) and checks program (none outside 0..99).
  bool refreshPatchNames(PatchLibrarian* librarian, ILibrarianEditor* editor, int program);
  // Pops up and applies a choice; returns the program, or 0.
  int doPopupMenu(ILibrarianEditor* editor, int& program);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  IPopupMenu* rootMenu() { return mRoot.get(); }
  IPopupMenu* submenu(int k) { return mSubmenus[static_cast<size_t>(k)].get(); }

 private:
  int mIndex = 0;
  std::unique_ptr<IPopupMenu> mRoot;
  std::array<std::unique_ptr<IPopupMenu>, 10> mSubmenus;
};
