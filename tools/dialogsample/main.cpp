// Builds two dialogs from control lists and writes each window's backing
// surface to a PNG file: bank-name.png (a label, a name field and two
// buttons) and all-controls.png (one control of every kind, with items).
#include <cstdio>
#include <string>

#include "platform/winsys/testapi.h"
#include "shim/winctlclass.h"

namespace {

INT_PTR Proc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

const SHIM_DialogControlRecord kBank[] = {
    {{"__SHIM_LABEL", -1, "Bank name:", 0, 10, 10, 200, 8, 0}},
    {{"__SHIM_EDIT", 0, "", 10013, 10, 20, 200, 12, 0x10000}},
    {{"__SHIM_BUTTON", 0, "&Cancel", IDCANCEL, 160, 60, 50, 14, 0}},
    {{"__SHIM_BUTTON", 1, "&OK    ", 10006, 100, 60, 50, 14, 0}},
};

void MakeBank(HWND w, int) {
  SHIM_MakeSetCurParms(1.8f, 1.8f, 0, 0, w, false, false);
  SHIM_GenerateDialogFromList(kBank, 4);
  SetDlgItemText(w, 10013, "Savings");
}

const SHIM_DialogControlRecord kAll[] = {
    {{"__SHIM_GROUP", 0, "Buttons", 100, 5, 5, 150, 95, 0}},
    {{"__SHIM_BUTTON", 0, "Push", 101, 15, 18, 60, 14, 0}},
    {{"__SHIM_CHECKBOX", 0, "Check", 102, 15, 36, 60, 10, 0}},
    {{"Radio one", 103, "Button", 9 | 0x20000, 15, 52, 60, 10, 0}},
    {{"Radio two", 104, "Button", 9, 15, 66, 60, 10, 0}},
    {{"Three-state", 105, "Button", 6, 80, 36, 65, 10, 0}},
    {{"__SHIM_LABEL", -1, "Label:", 106, 165, 8, 40, 8, 0}},
    {{"__SHIM_EDIT", 0, "", 107, 210, 6, 90, 12, 0}},
    {{"__SHIM_EDIT", 0, "", 108, 165, 24, 135, 30, 0x200000}},
    {{"__SHIM_COMBO", 0, "", 109, 165, 60, 135, 12, 0}},
    {{"__SHIM_COMBO", 0, "", 110, 165, 80, 135, 12, 3}},
    {{"", 111, "msctls_trackbar32", 0, 5, 108, 150, 12, 0}},
    {{"", 112, "msctls_progress32", 0, 165, 108, 135, 10, 0}},
    {{"", 113, "SysListView32", 1, 5, 128, 150, 70, 0}},
    {{"__SHIM_LISTBOX", 0, "", 114, 165, 128, 135, 70, 0}},
    {{"", 115, "SysTreeView32", 0, 5, 205, 150, 60, 0}},
    {{"", 116, "SysTabControl32", 0, 165, 205, 135, 60, 0}},
};

void MakeAll(HWND w, int) {
  SHIM_MakeSetCurParms(1.5f, 1.5f, 0, 0, w, false, false);
  SHIM_GenerateDialogFromList(kAll, static_cast<int>(sizeof kAll / sizeof kAll[0]));
  CheckDlgButton(w, 102, BST_CHECKED);
  CheckDlgButton(w, 103, BST_CHECKED);
  CheckDlgButton(w, 105, BST_INDETERMINATE);
  SetDlgItemText(w, 107, "Edit field");
  for (int id : {109, 110})
    for (const char* s : {"First", "Second", "Third"}) SHIM_CB_AddString(w, id, s);
  SHIM_CB_SetCurSel(w, 110, 1);
  SHIM_TB_SetPos(w, 111, 300);
  SendMessage(GetDlgItem(w, 112), PBM_SETPOS, 60, 0);
  HWND list = GetDlgItem(w, 113);
  for (const char* title : {"Name", "Size"}) {
    LVCOLUMN c{};
    c.cx = 100;
    c.pszText = const_cast<char*>(title);
    ListView_InsertColumn(list, 1, &c);
  }
  HWND box = GetDlgItem(w, 114);
  for (int i = 0; i < 4; ++i) {
    const std::string name = "Row " + std::to_string(i + 1);
    LVITEM it{};
    it.mask = LVIF_TEXT;
    it.iItem = i;
    it.pszText = const_cast<char*>(name.c_str());
    ListView_InsertItem(list, &it);
    ListView_SetItemText(list, i, 1, std::to_string((i + 1) * 1024).c_str());
    SendMessage(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  ListView_SetItemState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
  SendMessage(box, LB_SETCURSEL, 2, 0);
  HWND tree = GetDlgItem(w, 115);
  TVINSERTSTRUCT ins{};
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
  ins.item.cChildren = 1;
  ins.item.pszText = const_cast<char*>("Banks");
  HTREEITEM root = TreeView_InsertItem(tree, &ins);
  ins.hParent = root;
  ins.item.mask = TVIF_TEXT;
  for (const char* s : {"Factory", "User"}) {
    ins.item.pszText = const_cast<char*>(s);
    TreeView_InsertItem(tree, &ins);
  }
  TreeView_Expand(tree, root, TVE_EXPAND);
  HWND tabs = GetDlgItem(w, 116);
  for (const char* s : {"One", "Two", "Three"}) {
    TCITEM t{};
    t.mask = TCIF_TEXT;
    t.pszText = const_cast<char*>(s);
    TabCtrl_InsertItem(tabs, 9, &t);
  }
}

bool Save(SHIM_DialogResourceIndex* res, const std::string& path) {
  HWND d = SHIM_CreateDialog(res, res->resid, nullptr, Proc, 0);
  if (!d) return false;
  ShowWindow(d, SW_SHOW);
  auto* v = winsys::lookup<winsys::View>(d);
  winsys::Window* w = v ? v->window() : nullptr;
  if (!w) return false;
  w->display();
  const bool ok = winsys::test::dumpPNG(w, path);
  DestroyWindow(d);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dialogsample <output folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  SHIM_DialogResourceIndex bank{"BANK", "Enter Bank Name", 12 | SHIM_DIALOG_OPAQUE, MakeBank, 396, 144, nullptr};
  SHIM_DialogResourceIndex all{"ALL", "Every Control", 12 | SHIM_DIALOG_OPAQUE, MakeAll, 470, 410, nullptr};
  const bool ok = Save(&bank, dir + "/bank-name.png") && Save(&all, dir + "/all-controls.png");
  winsys::test::reset();
  if (!ok) std::fprintf(stderr, "dialogsample: could not write the images\n");
  return ok ? 0 : 1;
}
