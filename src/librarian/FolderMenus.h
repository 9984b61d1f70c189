#pragma once
// The folder menus: pop-up menus whose submenus mirror a folder tree, through
// which the user picks the file a slot list shows. One class, configured by a
// row of the table below; the five named classes only pick their row.
//
//   menu             tree             levels list           names  parameter                 index
//   LeftPatch        bankFolders      3      patchFiles     upper  kPatchSelectionListUpper  upperFileIndex
//   RightPatch       bankFolders      3      patchFiles     lower  kPatchSelectionListLower  lowerFileIndex
//   RightCategory    categoryFolders  2      categoryFiles  lower  kPatchSelectionListLower  lowerFileIndex
//   RightSearch      searchFolders    1      searchFiles    lower  kPatchSelectionListLower  lowerFileIndex
//   ProgBankName     bankFolders      3      patchFiles     upper  kPatchSelectionListUpper  upperFileIndex
//
// Each file item remembers the position in the flat list of the file it was
// built from; a choice is checked against that position, so that of two
// files of the same names the chosen one opens. No menu keeps a PatchFile
// pointer: a rebuild after every rescan or search refreshes them.
//
// Threads: GUI thread only, holding the plug-in mutex (presses and the
// editor's rebuilds).
#include <memory>
#include <string>
#include <vector>

#include "framework/IPopupMenu.h"
#include "librarian/LibrarianMenus.h"

struct FolderMenuRow {
  enum Tree { kBankTree, kCategoryTree, kSearchTree };
  const char* className;
  Tree tree;
  ILibrarianEditor::Side side;
  int listParam;
  bool recheckAfterSync;
  MenuPlacement placement;
};

class FolderPopupMenu : public LibrarianHotZone {
 public:
  FolderPopupMenu(const FolderMenuRow& row, IPluginBase* plug, PatchLibrarian* librarian, IRECT rect,
                  ILibrarianEditor* editor);
  ~FolderPopupMenu() override;

  // Rebuilds the menus, checks the item of (fileName, folderName), else the
  // file item at running position index, and brings the list parameter,
  // its linked control and the librarian index to the matching file.
  bool refreshFolderStructure(PatchLibrarian* librarian, ILibrarianEditor* editor, int index, std::string fileName,
                              std::string folderName);
  // Unchecks every item and checks the item built from flat-list position
  // index (none for a position outside the list).
  void checkMenuItemAlone(PatchLibrarian* librarian, ILibrarianEditor* editor, int index);
  // Pops the root menu up; a choice is checked, its flat-list position
  // written to index and its names remembered. Returns index, or 0 when
  // nothing was chosen.
  int doPopupMenu(ILibrarianEditor* editor, int& index);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;

  const FolderMenuRow& row() const { return mRow; }
  IPopupMenu* rootMenu() const { return mRoot; }
  int index() const { return mIndex; }
  // Every menu of the last rebuild with the folder name it belongs to, in
  // building order, the root last.
  struct Entry {
    std::string folderName;
    IPopupMenu* menu;
    std::vector<int> filePositions;  // per item: flat-list position, -1 for a submenu item
  };
  const std::vector<Entry>& entries() const { return mEntries; }

 protected:
  // Pops up and applies a choice; false when nothing was chosen.
  bool choose(int& index);
  // Steps 3 to 6 of a press: parameter, linked control, librarian index,
  // refill of the list.
  void applyIndex(int index);
  const PatchFileList& flatList() const;
  int librarianIndex() const;

  FolderMenuRow mRow;
  int mIndex = 0;

 private:
  struct Build;
  void sync(const std::string& fileName, const std::string& folderName);

  IPopupMenu* mRoot = nullptr;
  std::vector<std::unique_ptr<IPopupMenu>> mMenus;
  std::vector<Entry> mEntries;
};

extern const FolderMenuRow kLeftPatchMenuRow, kRightPatchMenuRow, kRightCategoryMenuRow, kRightSearchMenuRow,
    kProgBankNameMenuRow;

// A folder menu of one fixed row.
template <const FolderMenuRow& Row>
class FolderMenuOf : public FolderPopupMenu {
 public:
  FolderMenuOf(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect, ILibrarianEditor* editor)
      : FolderPopupMenu(Row, plug, librarian, rect, editor) {}
};

class LeftPatchPopupMenu : public FolderMenuOf<kLeftPatchMenuRow> {
  using FolderMenuOf::FolderMenuOf;
};
class RightPatchPopupMenu : public FolderMenuOf<kRightPatchMenuRow> {
  using FolderMenuOf::FolderMenuOf;
};
class RightCategoryPopupMenu : public FolderMenuOf<kRightCategoryMenuRow> {
  using FolderMenuOf::FolderMenuOf;
};
class RightSearchPopupMenu : public FolderMenuOf<kRightSearchMenuRow> {
  using FolderMenuOf::FolderMenuOf;
};

// The bank-file tree at the header's bank selector, in library control mode.
class ProgBankNamePopupMenu : public FolderMenuOf<kProgBankNameMenuRow> {
 public:
  using FolderMenuOf::FolderMenuOf;
  bool refreshPatchNames(PatchLibrarian* librarian, ILibrarianEditor* editor, int index, std::string fileName,
                         std::string folderName) {
    return refreshFolderStructure(librarian, editor, index, std::move(fileName), std::move(folderName));
  }
  // Chooses the upper bank file and sends the current slot's patch of it;
  // a dismissal re-applies the index and sends nothing.
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
};
