#pragma once
// What the librarian's views and menus ask of the editor: its flags and
// remembered names, its layers and status texts, the controls linked to the
// two list parameters, the sends and job starts, the librarian collector,
// the file and help commands, and its parameter dispatch. The plug-in class
// implements it; the views reach the editor through nothing else (parameters
// they read and write directly go through IPluginBase).
//
// Threads: every call comes from the GUI thread while it holds the plug-in
// mutex (the views run in mouse, key and menu handlers). Job starts only
// start a job: none waits for it. The implementation throws nothing.
#include <cstdint>
#include <string>

#include "librarian/PatchLibrarian.h"

class IControl;
class LibrarianViewControl;

class ILibrarianEditor {
 public:
  enum class Side { Upper, Lower };

  virtual ~ILibrarianEditor() = default;

  // ---- Flags and settings
  // A pending rename is applied only while this is false.
  virtual bool renameClosed() const = 0;
  virtual void setRenameClosed(bool closed) = 0;
  // Which list the lower slot list and the right-hand menus show (the
  // category and search mode flags).
  virtual LowerListSource lowerListSource() const = 0;
  // A MIDI output port is chosen: sends are possible.
  virtual bool midiIOSet() const = 0;
  // The header selectors work on the librarian (kControlLibrary is 1).
  virtual bool libraryControlMode() const = 0;
  virtual double uiScale() const = 0;
  // A job runs on the request thread (or there is no job thread).
  virtual bool jobRunning() const = 0;

  // ---- Layers, texts and linked controls
  virtual void hideLayer(const std::string& name, bool hide) = 0;
  virtual void grayOutLayer(const std::string& name, bool gray) = 0;
  virtual void setStatusText(const std::string& text) = 0;
  // Shows the category of a slot of the upper list, or of the lower list's
  // current file when lower is true (slot -1: none).
  virtual void DisplayLibrarianPatchCategory(int slot, bool lower) = 0;
  // The first control linked to kPatchSelectionListUpper or
  // kPatchSelectionListLower, or null.
  virtual IControl* listLinkedControl(int paramIdx) = 0;
  // The slot-list view, or null while there is none.
  virtual LibrarianViewControl* librarianView() = 0;

  // ---- Remembered names of the file each list shows
  virtual std::string rememberedFolderName(Side side) const = 0;
  virtual std::string rememberedFileName(Side side) const = 0;
  virtual void setRememberedNames(Side side, const std::string& folderName, const std::string& fileName) = 0;

  // ---- Sends (each answers whether it started a send or job)
  // Job 2: the patch at slot of the upper bank (lower false) or of the lower
  // list's current file, to the instrument's edit buffer.
  virtual bool sendPatchToDeviceFromLibrarian(int slot, bool lower) = 0;
  // Job 2 with a location (bank x 100 + program): the upper-bank patch at
  // slot, stored into the instrument there.
  virtual bool sendPatchToDeviceLocation(int slot, int location) = 0;
  // Job 3: the 100 patches of the upper bank (list 0) or of the lower list's
  // file, stored into programs bank x 100 + 0..99.
  virtual bool storeAllPatchesToDeviceFromLibrarian(int bank, int list) = 0;
  // Bank select and program change for kCurrentBank and kCurrentPatch;
  // remembers the program for a following part request.
  virtual bool BankChangeMessage() = 0;

  // ---- Job starts; each answers whether its job started (false when the
  // job thread is busy or missing, or the hub refused the request)
  // Job 0: the current sound, to the instrument, or with toLibrarian into the
  // upper slot at targetSlot. With markTransfer the transfer-in-progress flag
  // and the two send flags are set, and only when the job starts.
  virtual bool startSendArrangement(bool toLibrarian, bool markTransfer) = 0;
  // Job 4: the edit buffer into the editor (true) or the librarian.
  virtual bool sendActiveArrangementRequestSysex(bool toEditor) = 0;
  // Job 5: the part request for the program BankChangeMessage remembered;
  // never without a MIDI output port.
  virtual bool startPartRequest() = 0;
  // Job 6: the edit buffer (true) or the selected program into targetSlot.
  virtual bool sendSinglePatchRequestSysexFromLibrarian(bool editBuffer) = 0;
  // Job 7: the 100 programs of bank 0..4 into the upper bank.
  virtual bool sendAllPatchRequestSysexFromLibrarian(int bank) = 0;
  // Job 8: an init sound into targetSlot; marks the bank unsaved.
  virtual bool initClassicPatch() = 0;

  // ---- The librarian collector
  // true empties the collector and arms it; false disarms it.
  virtual void SetLibrarianRequestActive(bool active) = 0;
  // Hands one system-exclusive message to the editor's input as if the
  // instrument sent it, past every pass-through filter; a completed patch is
  // stored at targetSlot before this returns.
  virtual void feedSysEx(const uint8_t* data, int size) = 0;
  virtual void SetLibrarianStatusUnsaved(bool unsaved) = 0;
  // Writes category code 0..20 into the upper patch at targetSlot.
  virtual void SetCategoryForLibrarianPatch(int category) = 0;

  // ---- Files, help and menus
  // Asks for a file and copies it into the Patches folder.
  virtual void saveImportedFile(bool midi) = 0;
  virtual void ImportSingleSorrelPatches(bool model1) = 0;
  virtual void OpenDataDirectory(bool manual) = 0;
  virtual void OpenHelpTopics(int topic) = 0;
  // Build a new slot or copy menu at (x, y) and pop it up at once.
  virtual void showFileEditMenu(int x, int y) = 0;
  virtual void showFileCopyMenu(int x, int y) = 0;
  // The header selectors' mode switch; true spares the bank menu.
  virtual void updateBankAndProgramMenuNames(bool spareBankMenu) = 0;
  // The editor's parameter dispatch (kRefreshFolders and the rest).
  virtual void OnParamChange(int paramIdx) = 0;
};
