// Sounds from outside: whole bank files copied into the Patches folder,
// single sounds of model 1 and model 2 read from a file into the upper
// bank's target slot, and a new category for the target slot's patch. The
// sounds reach the slot through the librarian collector, as the
// instrument's would.
#include <filesystem>
#include <system_error>

#include "editor/SingleSoundReader.h"
#include "editor/Tavrin.h"
#include "framework/ByteChunk.h"
#include "framework/IGraphics.h"
#include "hardware/SoundDump.h"
#include "kit/string.h"
#include "librarian/BankFileIO.h"
#include "librarian/PatchLibrarian.h"
#include "platform/files.h"

namespace {

// Import files larger than this are not read.
constexpr size_t kLargestImport = 64u << 20;
constexpr int kCategoryPauseMs = 50;
constexpr int kImportSlots = ILibrarianSlots::kSlots;
constexpr size_t kCategoryMessageKept = sounddump::kCategoryByte;  // bytes 0..133 of the stored dump

}  // namespace

std::string Tavrin::importFolder() const { return mImportFolder; }

namespace {

// Asks for a file to open; empty when none was chosen. The folder text is
// the plug-in's, updated by the prompt once a file was chosen.
std::string promptForFile(IGraphics* graphics, std::string& folder, const char* extensions) {
  if (!graphics) return "";
  KIT_String fileName;
  KIT_String dir(folder.c_str());
  graphics->PromptForFile(&fileName, kFileOpen, &dir, extensions);
  const std::string path = fileName.Get();
  if (!path.empty()) folder = dir.Get();
  return path;
}

}  // namespace

void Tavrin::saveImportedFile(bool midi) {
  KIT_MutexLock lock(GetMutex());
  const std::string path = promptForFile(GetGUI(), mImportFolder, midi ? "mid" : "syx sr2");
  if (path.empty()) return;
  // A file that cannot be read is not copied, and no target is made.
  std::vector<uint8_t> bytes;
  if (!platform::readWholeFile(path, &bytes, kLargestImport)) return;
  const std::string patches = getPatchesFolderStr();
  log("FILE IMPORTER: patch file copied to " + patches);
  // Into the Patches folder under the file's own name; never over another
  // file, and a file already there is not copied onto itself.
  const std::string base = bankfileio::lastComponent(path);
  std::error_code error;
  if (std::filesystem::equivalent(path, patches + "/" + base, error)) return;
  const size_t dot = base.rfind('.');
  const std::string stem = dot == std::string::npos ? base : base.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : base.substr(dot);
  bankfileio::writeUnderFreeName(patches + "/", stem, extension, bytes, [](const std::string&) { return false; });
}

void Tavrin::ImportSingleSorrelPatches(bool older) {
  KIT_MutexLock lock(GetMutex());
  const std::string path = promptForFile(GetGUI(), mImportFolder, "mid syx");
  if (path.empty()) return;
  std::vector<uint8_t> bytes;
  if (!platform::readWholeFile(path, &bytes, kLargestImport)) return;
  ByteChunk data;
  if (!bytes.empty() && data.Put(bytes.data(), static_cast<int>(bytes.size())) == 0) return;
  int pos = 0;
  while (ReadSysExDataFromPackage(&data, pos, path, older) > 0) {
  }
}

int Tavrin::ReadSysExDataFromPackage(ByteChunk* data, int& pos, const std::string& path, bool older) {
  if (data == nullptr || data->GetBytes() == nullptr || data->Size() <= 0) {
    pos = -1;
    return -1;
  }
  KIT_MutexLock lock(GetMutex());
  std::vector<uint8_t> message;
  const std::span<const uint8_t> bytes(data->GetBytes(), static_cast<size_t>(data->Size()));
  const int next = singlesound::readNext(bytes, pos, singlesound::nameFor(path), older, message);
  // Every sound goes to the target slot, which stays where it is; the bank
  // counts as changed only once a sound was stored.
  if (!message.empty() && feedToLibrarian(message)) SetLibrarianStatusUnsaved(true);
  return next;
}

void Tavrin::SetCategoryForLibrarianPatch(int category) {
  KIT_MutexLock lock(GetMutex());
  if (category < 0 || category >= kCategoryCount || !mLibrarian) return;
  PatchFile* file = mLibrarian->upperFile();
  if (!file) return;
  file->patches.resize(kImportSlots);
  const int slot = mLibrarian->targetSlot.load();
  if (slot < 0 || slot >= kImportSlots) return;
  const LibrarianPatch& patch = file->patches[static_cast<size_t>(slot)];
  if (patch.messages.empty() || patch.messages[0].size() < kCategoryMessageKept) return;
  std::vector<uint8_t> message(patch.messages[0].begin(), patch.messages[0].begin() + kCategoryMessageKept);
  message.push_back(static_cast<uint8_t>(category));
  message.push_back(0x00);
  message.push_back(sysex::kEnd);
  DisplayProcessingIndicator(true);
  const bool stored = feedToLibrarian(message);
  pauseUnlocked(kCategoryPauseMs);
  if (stored) SetLibrarianStatusUnsaved(true);
  DisplayProcessingIndicator(false);
}
