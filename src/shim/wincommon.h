#pragma once
// File panels, the message box, the clipboard, dropped-file queries and
// ShellExecute. Panels, alerts and the workspace are the window system's
// (answered by its script, see winsys/testapi.h); pasteboards live in the
// process: the general one holds text ("text/plain;charset=utf-8"), the one
// named "SHIM_APP" every other format.
//
// Threads: main thread only; the clipboard lists are not locked.
#include <string>

#include "shim/winuser.h"
#include "shim/windialog.h"

// The accessory dialog of the next panel (one panel only).
void BrowseFile_SetTemplate(const char* dialogId, DLGPROC dialogProc, SHIM_DialogResourceIndex* resourceList);
// An open panel; a heap list the caller frees, or null on cancel: "path\0\0"
// for one file, "\0path\0path\0\0" for several. filterList pairs a
// description with patterns ("*.wav;*.aif"); the extensions are allowed.
char* BrowseForFiles(const char* title, const char* initialDir, const char* initialFile, bool allowMultiple,
                     const char* filterList);
// True when a path was chosen and copied (at most size - 1 bytes and a NUL);
// a null buffer or a size below 1 gives false and writes nothing.
bool BrowseForSaveFile(const char* title, const char* initialDir, const char* initialFile, const char* filterList,
                       char* buffer, int size);
// Like BrowseForSaveFile for a folder; at most size - 2 bytes, and sizes
// below 2 give false.
bool BrowseForDirectory(const char* title, const char* initialDir, char* buffer, int size);
// The allowed extensions of a filter list, joined by ";" (for tests).
std::string SHIM_FilterExtensions(const char* filterList);

enum : int { MB_OK = 0, MB_OKCANCEL = 1, MB_YESNOCANCEL = 3, MB_YESNO = 4, MB_RETRYCANCEL = 5 };
enum : int { IDRETRY = 4, IDYES = 6, IDNO = 7 };
// An alert answered by button title; 0 without an answer or for another type.
int MessageBox(HWND window, const char* text, const char* caption, int type);

UINT RegisterClipboardFormat(const char* name);
BOOL OpenClipboard(HWND window);
UINT EnumClipboardFormats(UINT format);
// A handle the layer keeps until CloseClipboard; null when there is no data.
HGLOBAL GetClipboardData(UINT format);
BOOL EmptyClipboard();
// The layer takes a live handle; any other is ignored.
void SetClipboardData(UINT format, HGLOBAL data);
BOOL CloseClipboard();
// Forgets formats, pasteboards and pending data (for tests).
void SHIM_ResetClipboard();

// Dropped-file blocks: every read stays inside the block's GlobalSize.
BOOL DragQueryPoint(HGLOBAL drop, POINT* point);
UINT DragQueryFile(HGLOBAL drop, UINT index, char* buffer, UINT size);
void DragFinish(HGLOBAL drop);

BOOL ShellExecute(HWND window, const char* operation, const char* file, const char* parameters, const char* folder,
                  int show);
