#include "framework/IPopupMenu.h"

IPopupMenuItem::IPopupMenuItem(const char* text, int flags, IPopupMenu* submenu)
    : mSubmenu(submenu), mFlags(flags) {
  mText.Set(text ? text : "");
}

IPopupMenu::~IPopupMenu() { mItems.Empty(true); }

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index) {
  const int n = mItems.GetSize();
  if (index == -1 || index > n)
    index = n;
  else if (index < 0)
    index = 0;
  if (!mItems.Insert(index, item)) {
    delete item;  // the list could not grow: the menu keeps its items
    return nullptr;
  }
  return item;
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int flags) {
  return AddItem(new IPopupMenuItem(text, flags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* submenu) {
  return AddItem(new IPopupMenuItem(text, IPopupMenuItem::kNoFlags, submenu), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu) { return AddItem(text, -1, submenu); }

IPopupMenuItem* IPopupMenu::AddSeparator(int index) {
  return AddItem(new IPopupMenuItem("", IPopupMenuItem::kSeparator), index);
}

const char* IPopupMenu::GetItemText(int i) const {
  const IPopupMenuItem* item = mItems.Get(i);
  return item ? item->GetText() : "";
}

bool IPopupMenu::CheckItem(int i, bool checked) {
  IPopupMenuItem* item = mItems.Get(i);
  if (!item) return false;
  item->SetChecked(checked);
  return true;
}

void IPopupMenu::CheckItemAlone(int i) {
  for (int k = 0; k < mItems.GetSize(); ++k) mItems.Get(k)->SetChecked(k == i);
}

bool IPopupMenu::IsItemChecked(int i) const {
  const IPopupMenuItem* item = mItems.Get(i);
  return item && item->GetChecked();
}

KIT_String IPopupMenu::GetShownText(int i) const {
  KIT_String s;
  static const char* const kFormats[4] = {"", "%1d: ", "%02d: ", "%03d: "};
  if (mPrefix > 0) s.SetFormatted(32, kFormats[mPrefix], i + 1);
  s.Append(GetItemText(i));
  return s;
}
