#include "shim/windialog.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "kit/utf8.h"

SHIM_DialogResourceIndex* SHIM_curmodule_dialogresource_head = nullptr;

// A running modal dialog: its item texts (0 is the title) and its result.
struct HWND__ {
  DLGPROC proc = nullptr;
  std::map<int, std::string> texts;
  bool ended = false;
  INT_PTR result = 0;
};

namespace {

std::mutex gMutex;
std::vector<HWND> gDialogs;                // the dialogs now running
std::vector<SHIM_DialogScript*> gScripts;  // the last one answers

bool IsDialog(HWND w) {
  std::lock_guard<std::mutex> lock(gMutex);
  return w && std::find(gDialogs.begin(), gDialogs.end(), w) != gDialogs.end();
}

SHIM_DialogScript* CurrentScript() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gScripts.empty() ? nullptr : gScripts.back();
}

// Registers a dialog for its lifetime, so that handles of ended dialogs are
// refused rather than followed.
class RunningDialog {
 public:
  explicit RunningDialog(DLGPROC proc) {
    mDialog.proc = proc;
    std::lock_guard<std::mutex> lock(gMutex);
    gDialogs.push_back(&mDialog);
  }
  ~RunningDialog() {
    std::lock_guard<std::mutex> lock(gMutex);
    gDialogs.erase(std::remove(gDialogs.begin(), gDialogs.end(), &mDialog), gDialogs.end());
  }
  RunningDialog(const RunningDialog&) = delete;
  RunningDialog& operator=(const RunningDialog&) = delete;
  HWND get() { return &mDialog; }

 private:
  HWND__ mDialog;
};

void Send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (w->proc) w->proc(w, msg, wp, lp);
}

}  // namespace

long SHIM_DialogBox(SHIM_DialogResourceIndex* head, const char* resid, HWND, DLGPROC proc, LPARAM param) {
  const SHIM_DialogResourceIndex* res = head;
  while (res && res->resid != resid) res = res->_next;
  if (!res || (res->windowTypeFlags & SHIM_DIALOG_CHILD)) return -1;

  SHIM_DialogScript* script = CurrentScript();
  if (script) script->DialogShown(res);
  RunningDialog running(proc);
  HWND dlg = running.get();
  if (res->title) dlg->texts[0] = res->title;
  if (res->createFunc) res->createFunc(dlg, res->windowTypeFlags);
  Send(dlg, WM_INITDIALOG, 0, param);
  while (!dlg->ended) {
    SHIM_DialogScript::Command command;
    if (!script || !script->NextDialogCommand(&command)) {
      EndDialog(dlg, IDCANCEL);  // nobody answers: the dialog is closed
      break;
    }
    for (const auto& edit : command.editTexts) SetDlgItemText(dlg, edit.first, edit.second.c_str());
    Send(dlg, WM_COMMAND, static_cast<WPARAM>(command.id & 0xFFFF), 0);
  }
  Send(dlg, WM_DESTROY, 0, 0);
  return static_cast<long>(dlg->result);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  if (!IsDialog(dialog)) return FALSE;
  dialog->result = result;
  dialog->ended = true;
  return TRUE;
}

int GetDlgItemText(HWND dialog, int id, char* buf, int bufSize) {
  if (!buf || bufSize <= 0) return 0;
  buf[0] = '\0';
  if (!IsDialog(dialog)) return 0;
  const auto it = dialog->texts.find(id);
  if (it == dialog->texts.end()) return 0;
  KIT_CopyField(buf, static_cast<size_t>(bufSize), it->second.c_str());
  return static_cast<int>(strlen(buf));
}

BOOL SetDlgItemText(HWND dialog, int id, const char* text) {
  if (!IsDialog(dialog)) return FALSE;
  dialog->texts[id] = text ? text : "";
  return TRUE;
}

void SHIM_InstallDialogScript(SHIM_DialogScript* script) {
  if (!script) return;
  std::lock_guard<std::mutex> lock(gMutex);
  gScripts.push_back(script);
}

void SHIM_RemoveDialogScript(SHIM_DialogScript* script) {
  std::lock_guard<std::mutex> lock(gMutex);
  gScripts.erase(std::remove(gScripts.begin(), gScripts.end(), script), gScripts.end());
}
