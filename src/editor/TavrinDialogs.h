#pragma once
// The plug-in's message dialogs and its dialog resources (the bank-name
// dialog). The resources are linked into the process's dialog list before
// any plug-in exists.
//
// Threads: the window system's thread (the editor's user-interface thread).
#include "shim/windialog.h"

class Tavrin;

enum : int { IDD_PATCH_SAVE = 10014, IDC_PATCH_NAME = 10013, IDC_PATCH_SAVE_OK = 10006 };

// Moves dialog so that its centre lies on parent's centre, size and z-order
// kept.
void centerDialog(HWND parent, HWND dialog);
// The procedure of the message dialogs: centres on initialisation, ends
// with 1 on OK.
INT_PTR MessageBoxProg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Runs dialog resource id modally with MessageBoxProg; its result.
long showMessageBox(HWND parent, Tavrin* plug, int id, void* unused);
// Creates the bank-name dialog's controls.
void SHIM__dlg_cf__IDD_PATCH_SAVE(HWND dialog, int);
// The bank-name dialog's record.
const SHIM_DialogResourceIndex& patchSaveDialogResource();
