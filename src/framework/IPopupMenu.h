#pragma once
// A platform-free popup menu: items with texts, flags and optional submenus,
// a numbering mode, and the index of the item the user chose.
#include "kit/ptrlist.h"
#include "kit/string.h"

class IPopupMenu;

class IPopupMenuItem {
 public:
  enum Flags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

  IPopupMenuItem(const char* text, int flags = kNoFlags, IPopupMenu* submenu = nullptr);

  const char* GetText() const { return mText.Get(); }
  void SetText(const char* text) { mText.Set(text ? text : ""); }
  IPopupMenu* GetSubmenu() const { return mSubmenu; }
  int GetFlags() const { return mFlags; }
  void SetFlags(int flags) { mFlags = flags; }

  bool GetEnabled() const { return !(mFlags & kDisabled); }
  bool GetChecked() const { return (mFlags & kChecked) != 0; }
  bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
  bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
  // Whether a user can choose the item: not a separator, title, disabled
  // item or an item that opens a submenu.
  bool IsChoosable() const { return !mSubmenu && !(mFlags & (kDisabled | kTitle | kSeparator)); }

  void SetChecked(bool on) { mFlags = on ? (mFlags | kChecked) : (mFlags & ~kChecked); }
  void SetEnabled(bool on) { mFlags = on ? (mFlags & ~kDisabled) : (mFlags | kDisabled); }

 private:
  KIT_String mText;
  IPopupMenu* mSubmenu;  // not owned
  int mFlags;
};

class IPopupMenu {
 public:
  IPopupMenu() = default;
  ~IPopupMenu();  // deletes the items, last first; submenus stay
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // index -1 appends; any other index is clamped to 0..count.
  IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);
  IPopupMenuItem* AddItem(const char* text, int index = -1, int flags = IPopupMenuItem::kNoFlags);
  IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* submenu);
  IPopupMenuItem* AddItem(const char* text, IPopupMenu* submenu);
  IPopupMenuItem* AddSeparator(int index = -1);

  // Modes 0 (none), 1 "%1d: ", 2 "%02d: ", 3 "%03d: "; other values are ignored.
  void SetPrefix(int mode) {
    if (mode >= 0 && mode <= 3) mPrefix = mode;
  }
  int GetPrefix() const { return mPrefix; }

  int GetNItems() const { return mItems.GetSize(); }
  IPopupMenuItem* GetItem(int i) const { return mItems.Get(i); }
  // "" for an index outside the list.
  const char* GetItemText(int i) const;
  bool CheckItem(int i, bool checked);
  void CheckItemAlone(int i);
  bool IsItemChecked(int i) const;

  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int i) { mChosenItemIdx = i; }

  // The text a platform shows for item i: its number prefix, if the mode
  // asks for one, then its text.
  KIT_String GetShownText(int i) const;

 private:
  KIT_PtrList<IPopupMenuItem> mItems;
  int mPrefix = 0;
  int mChosenItemIdx = -1;
};
