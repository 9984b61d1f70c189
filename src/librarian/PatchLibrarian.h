#pragma once
// The one librarian object of the plug-in: every list of bank files, the
// three folder trees, the view state of the two slot lists, the scan flags,
// and the bank writers.
// Threads: the GUI thread (or the constructing thread) calls everything,
// holding the plug-in mutex once the plug-in is running; list refills and
// stores run under it. The job thread only writes targetSlot (atomic).
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "librarian/BankReader.h"
#include "librarian/PatchFile.h"

namespace Poco {
class File;
class Path;
}  // namespace Poco

// What the librarian asks of the plug-in class. Every hook may be left empty.
struct LibrarianHooks {
  // Writes one line to the debug log; empty while the log is off.
  std::function<void(const std::string& line)> logLine;
  // The editor's remembered name of the upper-list file and of its folder.
  std::function<void(const std::string& name)> setUpperFileName;
  std::function<void(const std::string& name)> setUpperFolderName;
  // The save-file prompt: proposed file name, start folder and extension
  // filter; returns the chosen full path, or empty when the user cancelled.
  // While it is open the plug-in mutex may be given up (a window's modal
  // prompt does), so the caller holds no pointer into the lists across it.
  std::function<std::string(const std::string& fileName, const std::string& folder, const std::string& extension)>
      promptForSaveFile;
  // Shows a text on the window's status line.
  std::function<void(const std::string& text)> statusText;
};

// Which list the lower slot list shows.
enum class LowerListSource { BankFiles, Categories, SearchResults };

class PatchLibrarian {
 public:
  // Kinds of clearDataStructures.
  enum TreeKind { kBankTree = 0, kCategoryTree = 2, kSearchTree = 3 };

  int upperFileIndex = 0;
  int lowerFileIndex = 0;
  int splitBankCount = 0;
  int noUpperFile = 0;
  bool splitSeen = false;
  bool fileSplit = false;
  bool rescanRequested = false;
  std::ostringstream messageStream;
  LibrarianHooks hooks;
  // The upper slot that the next collected patch goes to; stores happen only
  // for 0..99 (-1: no target). The job thread writes it too (requests of a
  // whole bank step it), so it is atomic; every reader takes it once.
  std::atomic<int> targetSlot{0};
  bool fileConverted = false;
  std::vector<std::string> folderPaths;
  PatchFileList patchFiles;
  PatchFileList searchFiles;
  PatchFileList categoryFiles;
  FolderTree bankFolders;
  FolderTree searchFolders;
  FolderTree categoryFolders;

  PatchLibrarian() = default;
  explicit PatchLibrarian(LibrarianHooks h) : hooks(std::move(h)) {}
  // Waits for the files of the last release still being freed.
  ~PatchLibrarian();
  PatchLibrarian(const PatchLibrarian&) = delete;
  PatchLibrarian& operator=(const PatchLibrarian&) = delete;

  // --- Lists -------------------------------------------------------------
  // The entry at index, or null when the index lies outside the list.
  static PatchFile* fileAt(const PatchFileList& list, int index);
  // The bank of the upper slot list: null while noUpperFile is set or the
  // index lies outside patchFiles.
  PatchFile* upperFile() const;
  // The file the lower slot list shows, from the list that source names;
  // null when the index lies outside it.
  PatchFile* lowerFile(LowerListSource source) const;
  const PatchFileList& lowerList(LowerListSource source) const;

  // Takes every file out of list and keeps it until releaseDroppedFiles, so
  // that views and menus still holding pointers can be refreshed first.
  void dropFiles(PatchFileList& list);
  // Releases the files dropped so far. Call after the views and menus have
  // been rebuilt and no tree refers to them any more. The many files of a
  // rescan are freed on a thread of their own, so that the caller does not
  // wait for them; the next such release, and the librarian's end, join it.
  void releaseDroppedFiles();
  // Waits until the files of the last release are freed.
  void waitForRelease();
  size_t droppedFileCount() const { return droppedFiles.size(); }

  // Deletes every node of one tree: kind 0 bankFolders, 2 categoryFolders,
  // 3 searchFolders; other kinds do nothing. The files stay.
  void clearDataStructures(int kind);

  // Places a bank file just read into bankFolders by its folderNames (one to
  // three names deep); deeper files are not placed. The tree refers to the
  // file. The second argument is not used.
  void createFolderFilesStructure(PatchFile* file, const std::string& folderPath = {});

  // Stores a completed patch into the upper bank at targetSlot. False (and
  // nothing stored) without an upper bank or outside slots 0..99.
  bool setSysexDatatoSelectedSlot(const LibrarianPatch* patch);
  // How many patches setSysexDatatoSelectedSlot has stored so far: a feeder
  // compares it before and after to learn whether its sound was stored.
  uint64_t storedPatchCount() const { return storedPatches; }

  // --- Reading -------------------------------------------------------------
  // Reads all records of one file into file (see BankReader) and sets
  // fileConverted when model 1 material was converted.
  void loadFromChunk(std::span<const uint8_t> data, PatchFile* file);
  // The same over the first size bytes of a chunk (never past its end). The
  // last argument is not used: the content decides the form.
  void loadFromChunk(const ByteChunk* data, int size, PatchFile* file, int = 0);
  static PatchSysexMessage convertPatchToSorrel2Format(const PatchSysexMessage* source, int programCounter);

  // --- Writing ---------------------------------------------------------------
  // Writes the upper bank to path; name (the bank's file name) chooses the
  // form: "mid" a Standard MIDI File, anything else raw dumps. The file is
  // replaced only once the new bytes are safely written. A ".syx" bank goes
  // beside it as "<base>.sr2", never over the ".syx", and replaces no file
  // but the one it was last saved to since it was read (savedPath): when
  // "<base>.sr2" is another file, it goes under the first free name
  // "<base> (n).sr2", which the status line then names. True after writing
  // (or when the name found already holds exactly these bytes); then the
  // editor remembers the written file name. A file that cannot be written
  // (its folder gone or read-only, say) is reported on the status line.
  bool saveEditedPatch(std::string path, std::string name);
  // Save: the upper bank to its own file (folderPath + "/" + fileName).
  bool saveUpperBank();
  // Save As: asks for a file (proposed name and start folder) and writes the
  // upper bank there. In the Standard MIDI File form each dump is brought to
  // 137 bytes with byte 4 = 01 and byte 5 = its slot. False without an upper
  // bank (nothing is asked), when the user cancels, or when writing fails
  // (which the status line then says); the editor remembers folder and file
  // name only after a write.
  bool savePatchAs(const char* name, std::string folder, bool midi);
  // Save As proposing the upper bank's base name with ".mid" or ".sr2" and
  // starting in its folder.
  bool saveUpperBankAs(bool midi);

  // Writes one block of up to 100 patches of source (bank -1: patches 0..99,
  // 0: 100..199, ...) as a new raw bank beside the source file and appends it
  // to patchFiles. A split file's blocks are named "<base> Singles <b + 2>.sr2";
  // a converted file that is not split is named "<base>.sr2". The source is
  // never written over, and an existing file is never replaced unless this
  // librarian wrote it from the same source since forgetCreatedFiles: a free
  // name "<name> (n)" is taken instead, so two sources of one base name
  // ("Bank.syx", "Bank.mid") keep each other's banks. A name that already
  // holds exactly the bank's bytes is taken as written and nothing is
  // written; the bank is then listed only when no listed file has that path,
  // so that a source whose move failed on an earlier start neither writes
  // its banks again nor lists them twice. Updates splitBankCount.
  // False when the block could not be written (nothing is listed then); true
  // when written or when the block is empty.
  bool createNewPatchFile(PatchFile* source, const std::string& folderName, const std::string& fileName,
                          const std::string& fullPath, int folderIndex, int bank);
  // Files written by createNewPatchFile since the last call: a scan calls it
  // when it starts.
  void forgetCreatedFiles() { createdFiles.clear(); }

  // Fills file up to 100 patches with init sounds (empty name and category).
  static void fillUncompletedBankFiles(PatchFile* file);
  // Fills up and then cuts to exactly 100 patches.
  static void makeExactBank(PatchFile* file);

  // --- Lists built from the bank files ------------------------------------
  // The twenty category lists (categoryFiles, categoryFolders).
  void createNewCategoryPatchFiles();
  // The search results for a text (searchFiles, searchFolders).
  void createNewSearchPatchFiles(std::string text);
  // Empty category files, reached through their folder node only.
  PatchFileList emptyCategoryFiles;

  // Writes one log line (when the log is on), composed in messageStream.
  void log(const std::string& message);

  // --- Folder scan (FolderScan.cpp) -------------------------------------------
  // Reads every bank file of the Patches tree (see FolderScan.cpp).
  void loadPatchesFromFilesystem(std::string patchesPath);
  // Drops every list and tree, then scans again.
  void initBankFilesOnDiscard(std::string patchesPath);
  // Appends every folder below folder, at any depth; links are not followed.
  void buildFolderStructure(const std::string& folder, std::vector<std::string>* out);
  // Reads one file; returns the file to place in the tree, or null.
  PatchFile* parseFolderFiles(Poco::File file, Poco::Path path, int depth, int folderIndex, int, std::string ext);

 private:
  // saveEditedPatch's writing, for an upper bank that exists.
  bool writeEditedPatch(PatchFile* source, const std::string& path, const std::string& name);
  bool scanFolders(const std::string& patchesPath);
  bool moveToConvertedBanks(const std::string& sourcePath, const std::string& fileName);
  void scanError(const std::string& what, const std::string& path, const std::exception& e);
  static std::string sourceKey(const std::string& path);
  // Sources whose new banks were written but that could not be moved, in
  // the current scan call: its rescan does not read them again.
  std::set<std::string> unmovableSources;
  // The category list of every patch of the bank files the current scan
  // listed as they were read (see PatchLists.cpp), so that building the
  // lists need not look at the patches again; used and emptied when the
  // scan builds the category lists.
  std::map<const PatchFile*, std::vector<uint8_t>> scanListCodes;
  void buildCategoryLists(const std::map<const PatchFile*, std::vector<uint8_t>>* codes);

  PatchFileList droppedFiles;
  uint64_t storedPatches = 0;
  std::thread releaser;  // frees a released rescan's files
  // Path of every file createNewPatchFile wrote, to the source it came from.
  std::map<std::string, std::string> createdFiles;
};

// Removes from text every occurrence of every character of characters.
void removeCharsFromString(std::string& text, const char* characters);
