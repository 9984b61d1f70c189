// The message dialogs and the bank-name dialog resource.
#include "editor/TavrinDialogs.h"

#include "platform/winsys/winsys.h"
#include "shim/winuser.h"

namespace {

constexpr double kLayoutScale = 1.8;

struct DialogItem {
  enum Kind { kLabel, kEdit, kButton } kind;
  const char* text;
  int id;  // 0: none
  int x, y, w, h;
};
// In layout units, in creation order.
constexpr DialogItem kPatchSaveItems[] = {
    {DialogItem::kLabel, "Bank Name", 0, 10, 10, 200, 8},
    {DialogItem::kEdit, "", IDC_PATCH_NAME, 10, 20, 200, 12},
    {DialogItem::kButton, "&Cancel", IDCANCEL, 160, 60, 50, 14},
    {DialogItem::kButton, "&OK    ", IDC_PATCH_SAVE_OK, 100, 60, 50, 14},
};

SHIM_DialogResourceIndex sPatchSave{MAKEINTRESOURCE(IDD_PATCH_SAVE), "Enter Bank Name", 12,
                                    &SHIM__dlg_cf__IDD_PATCH_SAVE, 396, 144, nullptr};

// Links the plug-in's dialog resources into the list at load time.
const bool sRegistered = [] {
  sPatchSave._next = SHIM_curmodule_dialogresource_head;
  SHIM_curmodule_dialogresource_head = &sPatchSave;
  return true;
}();

}  // namespace

void SHIM__dlg_cf__IDD_PATCH_SAVE(HWND dialog, int) {
  auto* parent = winsys::lookup<winsys::View>(dialog);
  if (!parent) return;
  for (const DialogItem& item : kPatchSaveItems) {
    winsys::Control* control = nullptr;
    if (item.kind == DialogItem::kButton) {
      auto* button = new winsys::Button;
      button->title = item.text;
      const int id = item.id;
      button->action = [dialog, id](winsys::View*) { SendMessage(dialog, WM_COMMAND, id, 0); };
      control = button;
    } else {
      auto* field = new winsys::TextField;
      field->editable = field->bordered = item.kind == DialogItem::kEdit;
      field->stringValue = item.text;
      control = field;
    }
    control->setTag(item.id);
    control->setFrame(winsys::Rect{item.x * kLayoutScale, item.y * kLayoutScale, item.w * kLayoutScale,
                                   item.h * kLayoutScale});
    parent->addSubview(control);
    control->release();
  }
}

const SHIM_DialogResourceIndex& patchSaveDialogResource() { return sPatchSave; }

void centerDialog(HWND parent, HWND dialog) {
  RECT p{}, d{};
  if (!GetWindowRect(parent, &p) || !GetWindowRect(dialog, &d)) return;
  const int left = p.left + (p.right - p.left) / 2 - (d.right - d.left) / 2;
  const int top = p.top + (p.bottom - p.top) / 2 - (d.bottom - d.top) / 2;
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

INT_PTR MessageBoxProg(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    CenterWindow(dialog);
    return 1;
  }
  if (message == WM_COMMAND) {
    if ((wParam & 0xFFFF) == IDOK) EndDialog(dialog, 1);
    return 1;
  }
  return 0;
}

long showMessageBox(HWND parent, Tavrin*, int id, void*) {
  return SHIM_DialogBox(SHIM_curmodule_dialogresource_head, MAKEINTRESOURCE(id), parent, &MessageBoxProg, 0);
}
