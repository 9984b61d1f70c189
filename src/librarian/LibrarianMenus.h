#pragma once
// The librarian's command menus: the main command menu of the librarian page
// (BankEditPopupMenu), the right-click menu of an upper slot
// (FileEditPopupMenu) and of a lower slot or empty space (FileCopyPopupMenu).
// Each is an invisible hot zone: a press pops its menu up and applies the
// chosen item; afterwards no item stays checked.
//
// Threads: GUI thread only, holding the plug-in mutex (press handlers and the
// editor's rebuilds). Jobs the items start run on the job thread; a busy (or
// missing) job thread drops them.
#include <memory>
#include <vector>

#include "framework/IControl.h"
#include "framework/IPopupMenu.h"
#include "librarian/ILibrarianEditor.h"

// A rectangle given at UI scale 1, each coordinate times scale, cut toward 0.
IRECT scaledRect(const IRECT& r, double scale);

// Where the editor puts a menu control: its rectangle at UI scale 1 and the
// layer of its own.
struct MenuPlacement {
  IRECT rect;
  const char* layerName;
  int layerId;
};

// The base of the librarian's menu controls: an invisible hot zone that
// pops a menu up over its rectangle.
class LibrarianHotZone : public IControl {
 public:
  LibrarianHotZone(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect, ILibrarianEditor* editor);
  // Fills the rectangle with COLOR_TRANSPARENT: nothing shows.
  bool Draw(IGraphics* graphics) override;

 protected:
  // The menu that holds the chosen item, or null (dismissed, empty menu, or
  // no graphics context).
  IPopupMenu* popUp(IPopupMenu* menu);
  // Sets a parameter's raw value, limited to its range, without a change call.
  void setParamDirect(int paramIdx, double value);
  double paramValue(int paramIdx) const;
  // The target slot holds a place in the upper bank (0..99, with a bank).
  bool upperTargetValid() const;

  PatchLibrarian* mLibrarian;
  ILibrarianEditor* mEditor;
};

class BankEditPopupMenu : public LibrarianHotZone {
 public:
  static MenuPlacement placement() { return {IRECT(560, 213, 640, 237), "BANKEDITMENU", 74}; }

  BankEditPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect, ILibrarianEditor* editor);
  ~BankEditPopupMenu() override;
  // Empties every menu and adds the items again.
  void AddMenuItemsIn(ILibrarianEditor* editor);
  void doPopupMenu(ILibrarianEditor* editor);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  IPopupMenu* mainMenu() const { return mMain.get(); }

 private:
  void apply(IPopupMenu* menu, int item);
  // "Refresh Folders" and the refresh after an import: not over unsaved edits.
  void refreshFolders();

  std::unique_ptr<IPopupMenu> mMain, mRequest, mStore, mSaveAs, mImport, mOther;
};

class FileEditPopupMenu : public LibrarianHotZone {
 public:
  FileEditPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect, ILibrarianEditor* editor);
  ~FileEditPopupMenu() override;
  void AddMenuItemsIn();
  void doPopupMenu(ILibrarianEditor* editor, int x, int y);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  IPopupMenu* mainMenu() const { return mMain.get(); }

 private:
  std::unique_ptr<IPopupMenu> mMain, mGetData, mImport, mCategory;
};

class FileCopyPopupMenu : public LibrarianHotZone {
 public:
  FileCopyPopupMenu(IPluginBase* plug, PatchLibrarian* librarian, IRECT rect, ILibrarianEditor* editor);
  void doPopupMenu(ILibrarianEditor* editor, int x, int y);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;

 private:
  IPopupMenu mMenu;
};
