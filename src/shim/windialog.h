#pragma once
// Modal dialogs from resource records. A program links its dialog resources
// into one list at load time; SHIM_DialogBox finds a record by its id, builds
// the dialog, sends it WM_INITDIALOG and runs it until EndDialog.
//
// There is no display: a dialog's user is a script installed by whatever
// stands in for the window system. After WM_INITDIALOG each scripted command
// sets its edit texts and then reaches the dialog procedure as WM_COMMAND;
// when the commands run out (or no script is installed) the dialog ends with
// IDCANCEL, as a user closing it would.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "shim/wintypes.h"

struct HWND__;
typedef HWND__* HWND;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t INT_PTR;
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

enum : UINT { WM_DESTROY = 0x0002, WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111 };
enum : int { IDOK = 1, IDCANCEL = 2 };

// An integer resource id carried as a pointer value; records match by value.
#define MAKEINTRESOURCE(i) (reinterpret_cast<const char*>(static_cast<intptr_t>(i)))

enum : int { SHIM_DIALOG_CHILD = 0x01 };

struct SHIM_DialogResourceIndex {
  const char* resid;
  const char* title;              // the window title, or null
  int windowTypeFlags;            // SHIM_DIALOG_CHILD: only built as a child window
  void (*createFunc)(HWND, int);  // creates the dialog's controls, or null
  int width, height;
  SHIM_DialogResourceIndex* _next;
};

// The list the program's static initialisers link their records into.
extern SHIM_DialogResourceIndex* SHIM_curmodule_dialogresource_head;

// Runs the dialog modally and returns the result given to EndDialog; -1 when
// the list is null, the id is not in it, or the record is a child dialog.
long SHIM_DialogBox(SHIM_DialogResourceIndex* head, const char* resid, HWND parent, DLGPROC proc, LPARAM param);
// Ends a running dialog with result; FALSE for a window that is no dialog.
BOOL EndDialog(HWND dialog, INT_PTR result);
// The text of a dialog item (id 0: the dialog's title), cut to fit buf at a
// character boundary; returns its length in bytes. An unknown item gives "".
int GetDlgItemText(HWND dialog, int id, char* buf, int bufSize);
BOOL SetDlgItemText(HWND dialog, int id, const char* text);

// What stands in for the user of a modal dialog.
class SHIM_DialogScript {
 public:
  struct Command {
    int id = IDCANCEL;
    std::vector<std::pair<int, std::string>> editTexts;  // set before the command is sent
  };
  virtual ~SHIM_DialogScript() = default;
  // Told of every dialog shown, before its controls are made.
  virtual void DialogShown(const SHIM_DialogResourceIndex* resource) {}
  // The next command a user gives; false when there is none.
  virtual bool NextDialogCommand(Command* command) = 0;
};

// The last installed script answers dialogs; removing it brings the one
// installed before it back.
void SHIM_InstallDialogScript(SHIM_DialogScript* script);
void SHIM_RemoveDialogScript(SHIM_DialogScript* script);
