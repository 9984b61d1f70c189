#include "librarian/PatchFile.h"

PatchFile PatchFile::clone() const {
  PatchFile c;
  c.noPadding = 0;
  c.secondFlag = secondFlag == 1 ? 1 : 0;
  c.patches = patches;
  c.fileName = fileName;
  return c;
}

std::string PatchFile::fullPath() const { return folderPath + "/" + fileName; }

FolderFiles::FolderFiles(std::string n, const SubFolderFiles& first) : name(std::move(n)) {
  subFolders.push_back(first);
}
