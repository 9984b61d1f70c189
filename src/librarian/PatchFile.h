#pragma once
// One bank file in memory, and the three node types of a folder tree.
#include <memory>
#include <string>
#include <vector>

#include "librarian/LibrarianPatch.h"
#include "librarian/PatchList.h"

class PatchFile {
 public:
  // When nonzero the reader does not pad the file up to 100 patches. Files
  // the librarian creates have it 0.
  int noPadding = 0;
  // 0 for every file the librarian creates; only the clone reads it.
  int secondFlag = 0;
  // The patches in slot order; a bank file in the lists holds exactly 100.
  // A category or search file refers to the bank files' patches (see
  // PatchList.h).
  PatchList patches;
  // The file's own name with its extension, as the menus show it.
  std::string fileName;
  // The name of the folder that holds the file.
  std::string folderName;
  // The folder names from "Patches" down to the holding folder.
  std::vector<std::string> folderNames;
  // The absolute path of the holding folder, without a trailing separator.
  std::string folderPath;
  // The scan's folder index (0); the category code of a category file; the
  // file's number minus 1 for a search-result file.
  int folderIndex = 0;
  // Where Save last wrote this bank since it was read, when that was not
  // its own file (a ".syx" bank is saved beside it): the one other file its
  // next Save may replace. Empty until then; a clone does not carry it.
  std::string savedPath;

  // A copy for writing: noPadding 0, secondFlag 1 only when this one's is
  // exactly 1, every patch, the file name; folder fields empty, index 0.
  PatchFile clone() const;

  // The path of the file itself: folderPath + "/" + fileName.
  std::string fullPath() const;
};

// Third-level node: a folder two levels below the Patches folder.
class SubFolderFiles2 {
 public:
  std::string name;
  std::vector<PatchFile*> files;  // refers to files, never owns them
};

// Second-level node: a folder directly below the Patches folder.
class SubFolderFiles {
 public:
  std::string name;
  std::vector<SubFolderFiles2> subFolders;
  std::vector<PatchFile*> files;  // refers to files, never owns them
};

// Top node of a tree.
class FolderFiles {
 public:
  FolderFiles() = default;
  FolderFiles(std::string name, const SubFolderFiles& first);
  std::string name;
  std::vector<SubFolderFiles> subFolders;
  std::vector<PatchFile*> files;  // refers to files, never owns them
};

// A folder tree: top nodes in creation order. Dropping a node releases the
// node, never a PatchFile.
using FolderTree = std::vector<std::unique_ptr<FolderFiles>>;
// A flat list of bank files: the list owns its files.
using PatchFileList = std::vector<std::unique_ptr<PatchFile>>;
