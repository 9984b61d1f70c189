#pragma once
// Dialogs from resource records. A program links its dialog resources into
// one list at load time; SHIM_DialogBox finds a record by its id, builds a
// modal dialog box, sends it WM_INITDIALOG and runs it until EndDialog;
// SHIM_CreateDialog builds a modeless dialog or a child window.
//
// There is no display: a modal dialog's user is a script. Each turn of the
// modal run takes one scripted command: it may first let timers run for a
// while, then sets its edit texts (SetDlgItemText) and clicks the button of
// its id, or sends WM_COMMAND (id, 0) when there is no such button. When the
// commands run out (or no script is installed) the dialog is asked to close
// (WM_CLOSE, then WM_COMMAND IDCANCEL when that is answered 0); a dialog
// still running then ends as EndDialog(dialog, IDCANCEL) would.
//
// Threads: main thread only (the window system's); the script list takes
// its own lock.
#include <string>
#include <utility>
#include <vector>

#include "shim/winuser.h"

// An integer resource id carried as a pointer value; records match by value.
#define MAKEINTRESOURCE(i) (reinterpret_cast<const char*>(static_cast<intptr_t>(i)))

enum : int {
  SHIM_DIALOG_CHILD = 0x01,
  SHIM_DIALOG_RESIZABLE = 0x02,
  SHIM_DIALOG_FLIPPED = 0x04,
  SHIM_DIALOG_OPAQUE = 0x10,
  SHIM_DIALOG_ACCEPTFILES = 0x20,
};

struct SHIM_DialogResourceIndex {
  const char* resid;
  const char* title;              // the window title, or null
  int windowTypeFlags;            // SHIM_DIALOG_* bits
  void (*createFunc)(HWND, int);  // creates the dialog's controls, or null
  int width, height;
  SHIM_DialogResourceIndex* _next;
};

// The list the program's static initialisers link their records into.
extern SHIM_DialogResourceIndex* SHIM_curmodule_dialogresource_head;

// Runs the dialog modally and returns the result given to EndDialog; -1 when
// the list is null, the id is not in it, or the record is a child dialog.
long SHIM_DialogBox(SHIM_DialogResourceIndex* head, const char* resid, HWND parent, DLGPROC proc, LPARAM param);
// Stores the result of a dialog box and, when it is the running modal
// window, ends it. True when a window took the result.
BOOL EndDialog(HWND dialog, INT_PTR result);
// A modeless dialog (its content window object, hidden) or a child window
// object; ids 0x400000-0x40000F make a plain top-level window whose low four
// bits choose the style. Null for an unknown id.
HWND SHIM_CreateDialog(SHIM_DialogResourceIndex* head, const char* resid, HWND parent, DLGPROC proc, LPARAM param);

HMENU SHIM_GetDefaultWindowMenu();
void SHIM_SetDefaultWindowMenu(HMENU menu);
HMENU SHIM_GetDefaultModalWindowMenu();
void SHIM_SetDefaultModalWindowMenu(HMENU menu);

// What stands in for the user of a modal dialog.
class SHIM_DialogScript {
 public:
  struct Command {
    int id = IDCANCEL;
    std::vector<std::pair<int, std::string>> editTexts;  // set before the command is given
    int waitMs = 0;                                       // timers run this long first
  };
  virtual ~SHIM_DialogScript() = default;
  // Told of every dialog shown, before its controls are made.
  virtual void DialogShown(const SHIM_DialogResourceIndex* resource) {}
  // The next command a user gives; false when there is none.
  virtual bool NextDialogCommand(Command* command) = 0;
  // A command the dialog could not take (an edit text without its field).
  virtual void ScriptError(const std::string& what) {}
};

// The last installed script answers dialogs; removing it brings the one
// installed before it back.
void SHIM_InstallDialogScript(SHIM_DialogScript* script);
void SHIM_RemoveDialogScript(SHIM_DialogScript* script);
