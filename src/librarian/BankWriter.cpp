// The bank writers: Save over the upper bank's own file, Save As, and the
// new banks that the folder scan writes for split and converted files.
#include <string>

#include "librarian/BankFileIO.h"
#include "librarian/BankFormats.h"
#include "librarian/PatchLibrarian.h"

namespace {

// The status line after a ".syx" bank was saved under a name of its own.
constexpr const char* kSavedAsText = "Saved as ";
// The status line when a bank's file could not be written: a save that
// fails must not look like one that worked.
constexpr const char* kNotSavedText = "Bank could not be saved!";

// A copy of a bank brought to exactly 100 slots; missing slots stay empty
// and are written as init sounds.
std::vector<LibrarianPatch> hundredSlots(const PatchFile& file) {
  std::vector<LibrarianPatch> patches = file.clone().patches;
  patches.resize(kBankSize);
  return patches;
}

// Replaces a ".syx" name by its ".sr2" sibling; other names stay.
std::string withoutSyx(const std::string& name) {
  return fileExtensionLower(name) == "syx" ? fileBaseName(name) + ".sr2" : name;
}

// The folder part of a path with the separator that ends it, so that a
// name can follow as it is ("" for a bare name).
std::string folderWithSeparator(const std::string& path) {
  return path.substr(0, path.size() - bankfileio::lastComponent(path).size());
}

}  // namespace

void PatchLibrarian::fillUncompletedBankFiles(PatchFile* file) {
  if (!file) return;
  while (file->patches.size() < static_cast<size_t>(kBankSize))
    file->patches.push_back(LibrarianPatch::fromDump(initSinglePatch));
}

void PatchLibrarian::makeExactBank(PatchFile* file) {
  if (!file) return;
  fillUncompletedBankFiles(file);
  file->patches.resize(kBankSize);
}

bool PatchLibrarian::saveEditedPatch(std::string path, std::string name) {
  PatchFile* source = upperFile();
  if (!source || path.empty()) return false;
  const bool saved = writeEditedPatch(source, path, name);
  if (!saved && hooks.statusText) hooks.statusText(kNotSavedText);
  return saved;
}

bool PatchLibrarian::writeEditedPatch(PatchFile* source, const std::string& path, const std::string& name) {
  const bool midi = fileExtensionLower(name) == "mid";
  const std::string folder = folderWithSeparator(path);
  const std::string own = bankfileio::lastComponent(path);
  if (own.empty()) return false;
  const std::vector<uint8_t> bytes = buildBankBytes(hundredSlots(*source), midi);

  if (fileExtensionLower(own) != "syx") {
    if (!bankfileio::writeReplacing(path, bytes)) return false;
    if (hooks.setUpperFileName) hooks.setUpperFileName(withoutSyx(name));
    return true;
  }
  // A ".syx" bank is written beside it. "<base>.sr2" may be another bank of
  // the same name, or an earlier save that this stale ".syx", read again,
  // would undo: only the file this very record was saved to is replaced,
  // any other keeps its bytes and the bank takes the next free name.
  const std::string stem = fileBaseName(own);
  bool found = false;
  const std::string written = bankfileio::writeUnderFreeName(
      folder, stem, ".sr2", bytes,
      [&](const std::string& candidate) { return !source->savedPath.empty() && candidate == source->savedPath; },
      &found);
  if (written.empty()) return false;
  // A name that already held these bytes was not written by this bank.
  if (!found) source->savedPath = folder + written;
  if (hooks.setUpperFileName) hooks.setUpperFileName(written);
  if (written != stem + ".sr2" && hooks.statusText) hooks.statusText(kSavedAsText + written);
  return true;
}

bool PatchLibrarian::saveUpperBank() {
  const PatchFile* source = upperFile();
  if (!source || source->folderPath.empty() || source->fileName.empty()) return false;
  return saveEditedPatch(source->fullPath(), source->fileName);
}

bool PatchLibrarian::savePatchAs(const char* name, std::string folder, bool midi) {
  // The source first: without an upper bank nothing is asked or opened.
  if (!upperFile() || !hooks.promptForSaveFile) return false;
  const std::string chosen = hooks.promptForSaveFile(name ? name : "", folder, midi ? "mid" : "sr2");
  if (chosen.empty()) return false;
  // Other threads may have changed the lists while the prompt was open.
  const PatchFile* source = upperFile();
  if (!source) return false;

  const std::string folderPart = bankfileio::folderPart(chosen);
  std::string folderName = bankfileio::lastComponent(folderPart);
  removeCharsFromString(folderName, "/\\");
  const std::string fileName = bankfileio::lastComponent(chosen);

  std::vector<LibrarianPatch> patches = hundredSlots(*source);
  if (midi) {
    // A stored-file form: every dump 137 bytes, byte 4 = 01, byte 5 = slot.
    for (size_t slot = 0; slot < patches.size(); ++slot) {
      std::vector<PatchSysexMessage>& messages = patches[slot].messages;
      if (messages.empty()) messages.emplace_back(initSinglePatch.begin(), initSinglePatch.end());
      PatchSysexMessage& dump = messages[0];
      dump.resize(kSoundDumpSize, 0x00);
      dump[kSoundDumpSize - 1] = 0xF7;
      dump[4] = 0x01;
      dump[5] = static_cast<uint8_t>(slot);
    }
  }
  if (!bankfileio::writeReplacing(chosen, buildBankBytes(patches, midi))) {
    if (hooks.statusText) hooks.statusText(kNotSavedText);
    return false;
  }
  if (hooks.setUpperFolderName) hooks.setUpperFolderName(folderPart.empty() ? "Patches" : folderName);
  if (hooks.setUpperFileName) hooks.setUpperFileName(fileName);
  return true;
}

bool PatchLibrarian::saveUpperBankAs(bool midi) {
  const PatchFile* source = upperFile();
  if (!source) return false;
  const std::string proposed = fileBaseName(source->fileName) + (midi ? ".mid" : ".sr2");
  return savePatchAs(proposed.c_str(), source->folderPath, midi);
}

bool PatchLibrarian::createNewPatchFile(PatchFile* source, const std::string& folderName, const std::string& fileName,
                                        const std::string& fullPath, int folderIndex, int bank) {
  if (!source || bank < -1) return false;
  const long long total = static_cast<long long>(source->patches.size());
  const long long first = 100LL * (bank + 1);
  const long long remaining = total - first;
  splitBankCount = static_cast<int>(total / kBankSize + ((remaining >= 1 && remaining <= 99) ? 1 : 0));
  if (remaining <= 0) return true;
  const long long count = remaining <= kBankSize ? remaining : kBankSize;

  // A split file's banks keep their numbers, also when they were converted.
  const bool split = total > kBankSize;
  const std::string base = fileBaseName(fileName);
  const std::string stem = (split || !fileConverted) ? base + " Singles " + std::to_string(bank + 2) : base;

  auto record = std::make_unique<PatchFile>();
  const PatchList& patches = source->patches;
  record->patches.assign(patches.begin() + first, patches.begin() + first + count);
  record->folderName = folderName;
  record->folderIndex = folderIndex;
  record->folderNames = source->folderNames;
  record->folderPath = source->folderPath;
  fillUncompletedBankFiles(record.get());

  const std::string folder = folderWithSeparator(fullPath);
  const std::vector<uint8_t> bytes = buildBankBytes(record->patches, false);
  bool found = false;
  const std::string written = bankfileio::writeUnderFreeName(
      folder, stem, ".sr2", bytes,
      [&](const std::string& path) {
        const auto made = createdFiles.find(path);
        return path != fullPath && made != createdFiles.end() && made->second == fullPath;
      },
      &found);
  if (written.empty()) return false;
  createdFiles[folder + written] = fullPath;
  // A bank found on disk with these very bytes (written by an earlier start
  // whose move of the source failed) is listed once: from disk, when the
  // scan has read it already.
  if (found)
    for (const auto& listed : patchFiles)
      if (listed->fileName == written && listed->fullPath() == folder + written) return true;
  record->fileName = written;
  patchFiles.push_back(std::move(record));
  return true;
}
