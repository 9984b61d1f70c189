#include "librarian/PatchLibrarian.h"

#include <cstring>

#include "framework/ByteChunk.h"
#include "librarian/BankFormats.h"

PatchFile* PatchLibrarian::fileAt(const PatchFileList& list, int index) {
  if (index < 0 || static_cast<size_t>(index) >= list.size()) return nullptr;
  return list[static_cast<size_t>(index)].get();
}

PatchFile* PatchLibrarian::upperFile() const { return noUpperFile ? nullptr : fileAt(patchFiles, upperFileIndex); }

const PatchFileList& PatchLibrarian::lowerList(LowerListSource source) const {
  switch (source) {
    case LowerListSource::Categories:
      return categoryFiles;
    case LowerListSource::SearchResults:
      return searchFiles;
    case LowerListSource::BankFiles:
      break;
  }
  return patchFiles;
}

PatchFile* PatchLibrarian::lowerFile(LowerListSource source) const {
  return fileAt(lowerList(source), lowerFileIndex);
}

void PatchLibrarian::dropFiles(PatchFileList& list) {
  for (auto& f : list) droppedFiles.push_back(std::move(f));
  list.clear();
}

PatchLibrarian::~PatchLibrarian() { waitForRelease(); }

void PatchLibrarian::waitForRelease() {
  if (releaser.joinable()) releaser.join();
}

void PatchLibrarian::releaseDroppedFiles() {
  // A rescan drops every bank and category file: hundreds of thousands of
  // blocks, which a thread of their own frees. A few files go at once.
  constexpr size_t kFreedAside = 64;
  waitForRelease();
  if (droppedFiles.size() < kFreedAside) {
    droppedFiles.clear();
    return;
  }
  PatchFileList files;
  files.swap(droppedFiles);
  try {
    releaser = std::thread([gone = std::move(files)]() mutable { gone.clear(); });
  } catch (const std::exception&) {
    // No thread to be had: the task that held the files is gone, and they
    // with it.
  }
}

void PatchLibrarian::clearDataStructures(int kind) {
  switch (kind) {
    case kBankTree:
      bankFolders.clear();
      break;
    case kCategoryTree:
      categoryFolders.clear();
      break;
    case kSearchTree:
      searchFolders.clear();
      break;
    default:
      break;
  }
}

void PatchLibrarian::createFolderFilesStructure(PatchFile* file, const std::string&) {
  if (!file) return;
  const std::vector<std::string>& names = file->folderNames;
  const size_t depth = names.size();
  if (depth < 1 || depth > 3) return;

  bool placed = false;
  for (auto& top : bankFolders) {
    if (depth == 1 && top->name == names[0]) {
      top->files.push_back(file);
      placed = true;
    }
    for (SubFolderFiles& sub : top->subFolders) {
      if (depth == 1 || sub.name != names[1]) continue;
      placed = true;
      if (depth == 2) {
        sub.files.push_back(file);
        continue;
      }
      bool inThird = false;
      for (SubFolderFiles2& third : sub.subFolders)
        if (third.name == names[2]) {
          third.files.push_back(file);
          inThird = true;
        }
      if (!inThird) sub.subFolders.push_back(SubFolderFiles2{names[2], {file}});
    }
  }
  if (placed) return;

  auto node = std::make_unique<FolderFiles>();
  if (depth == 1) {
    node->name = names[0];
    node->files.push_back(file);
  } else {
    SubFolderFiles sub;
    sub.name = names[1];
    if (depth == 2)
      sub.files.push_back(file);
    else
      sub.subFolders.push_back(SubFolderFiles2{names[2], {file}});
    node->subFolders.push_back(std::move(sub));
  }
  bankFolders.push_back(std::move(node));
}

bool PatchLibrarian::setSysexDatatoSelectedSlot(const LibrarianPatch* patch) {
  PatchFile* file = upperFile();
  const int slot = targetSlot.load();
  if (!patch || !file || slot < 0 || slot >= kBankSize) return false;
  if (static_cast<size_t>(slot) >= file->patches.size()) return false;
  file->patches[static_cast<size_t>(slot)] = *patch;
  ++storedPatches;
  return true;
}

void PatchLibrarian::loadFromChunk(std::span<const uint8_t> data, PatchFile* file) {
  if (file && BankReader::loadFromChunk(data, *file)) fileConverted = true;
}

void PatchLibrarian::loadFromChunk(const ByteChunk* data, int size, PatchFile* file, int) {
  if (!data || size <= 0 || !data->GetBytes()) return;
  const int n = size < data->Size() ? size : data->Size();
  loadFromChunk(std::span<const uint8_t>(data->GetBytes(), static_cast<size_t>(n)), file);
}

PatchSysexMessage PatchLibrarian::convertPatchToSorrel2Format(const PatchSysexMessage* source, int programCounter) {
  return source ? ::convertPatchToSorrel2Format(*source, programCounter) : ::convertPatchToSorrel2Format({}, 0);
}

void PatchLibrarian::log(const std::string& message) {
  if (!hooks.logLine) return;
  messageStream.str(std::string());
  messageStream.clear();
  messageStream << message;
  hooks.logLine(messageStream.str());
}

void removeCharsFromString(std::string& text, const char* characters) {
  if (!characters) return;
  for (const char* c = characters; *c; ++c) std::erase(text, *c);
}
