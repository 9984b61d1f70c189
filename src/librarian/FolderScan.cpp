// The folder scan: reads every bank file of the Patches tree into the
// librarian, splits files of more than one bank, rewrites model 1 material as
// model 2 banks, moves the sources of both into "Converted Banks" (beside
// "Patches" in the data folder), builds the folder tree and the category
// lists, and scans once more when it converted anything.
//
// No user file may be lost and no file-system failure may leave the
// librarian unusable: every Poco call is guarded, every failure is logged and
// skipped, directory links are not followed, a source is moved only after
// all of its new banks were written, and never over another file. Each real
// file is read once per scan, whatever links reach it, and a bank already on
// disk with the bytes a split or conversion would write is not written again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <Poco/DirectoryIterator.h>
#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "librarian/BankFileIO.h"
#include "librarian/BankFormats.h"
#include "librarian/CategoryCodes.h"
#include "librarian/ParallelFor.h"
#include "librarian/PatchLibrarian.h"
#include "platform/folders.h"

namespace {

constexpr const char* kLogPrefix = "PATCH LIBRARIAN: ";
constexpr const char* kConvertedFolderName = "Converted Banks";
// Files below this many bytes are not read.
constexpr off_t kMinimumBankFileSize = 2201;
// Files above this many bytes are not read: no bank comes near this size, and
// a file is held in memory whole while it is read.
constexpr uint64_t kLargestBankFileSize = 256u * 1024u * 1024u;

bool isBankExtension(const std::string& ext) {
  return ext == "mid" || ext == "syx" || ext == "sr2" || ext == "srl";
}

// The text of an exception for a log line.
std::string describe(const std::exception& e) {
  if (const auto* p = dynamic_cast<const Poco::Exception*>(&e)) return p->displayText();
  return e.what();
}

// True when anything, a dangling link included, has this name.
bool nameTaken(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// A path without trailing separators (the root "/" stays as it is).
std::string withoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

enum class ReadResult { Read, Failed, TooLarge };

// Reads a whole regular file into out; its size is taken from the open file.
// Anything else (a pipe or device put in a file's place) is not read: opening
// does not wait for a writer, and the kind is checked on the open file.
// out may hold an earlier file's bytes: only the part beyond them is cleared
// on growing, the rest is read over.
// With a handle of the folder that holds it (folder >= 0), the file is
// opened by its name in the folder, sparing the walk of the whole path.
ReadResult readWholeFile(const std::string& path, std::vector<uint8_t>& out, int folder = -1) {
  const size_t slash = path.rfind('/');
  const int fd = folder >= 0 && slash != std::string::npos
                     ? ::openat(folder, path.c_str() + slash + 1, O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                     : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    out.clear();
    return ReadResult::Failed;
  }
  struct stat st;
  ReadResult result = ReadResult::Read;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    result = ReadResult::Failed;
    out.clear();
  } else if (static_cast<uint64_t>(st.st_size) > kLargestBankFileSize) {
    result = ReadResult::TooLarge;
    out.clear();
  } else {
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < out.size()) {
      const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) result = ReadResult::Failed;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    out.resize(got);
  }
  ::close(fd);
  return result;
}

// One bank file read and turned into patches, away from the librarian: the
// reader is a pure function of the bytes, so files can be read ahead, in
// parallel, while the scan itself (log, writes, moves, lists) stays in order.
struct ParsedBank {
  std::string path;
  int folder = -1;  // a handle of the folder that holds it, or -1
  ReadResult read = ReadResult::Failed;
  PatchFile file;          // patches and noPadding only
  bool converted = false;  // model 1 material was converted
  std::vector<uint8_t> listCodes;  // each patch's category list (CategoryCodes.h)
};

void readAndParse(ParsedBank& bank) noexcept {
  // A buffer of this call's own: a per-thread one would outlive the scan on
  // the host's thread, and a thread's object with a destructor keeps the
  // module loaded in the host until that thread ends.
  std::vector<uint8_t> bytes;
  try {
    bank.read = readWholeFile(bank.path, bytes, bank.folder);
    if (bank.read != ReadResult::TooLarge) bank.converted = BankReader::loadFromChunk(bytes, bank.file);
    // Noted while the patches are at hand.
    const PatchList& patches = bank.file.patches;
    bank.listCodes.resize(patches.size());
    for (size_t i = 0; i < patches.size(); ++i) bank.listCodes[i] = categoryListCode(patches[i]);
  } catch (...) {
    // Out of memory: the file counts as unreadable.
    bank.read = ReadResult::Failed;
    bank.file.patches.clear();
    bank.listCodes.clear();
    bank.converted = false;
  }
}

// Reads and parses every file, on the threads the scan may use: paths[i]
// lies in the folder of handle folders[i] (or -1).
std::vector<ParsedBank> readAndParseAll(const std::vector<std::string>& paths, const std::vector<int>& folders) {
  std::vector<ParsedBank> banks(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) banks[i].path = paths[i], banks[i].folder = folders[i];
  librarian::parallelFor(banks.size(), std::min(librarian::scanThreads(), banks.size() / 16 + 1),
                         [&](size_t i) { readAndParse(banks[i]); });
  return banks;
}

// The bank read ahead for the file parseFolderFiles is about to take, if any.
thread_local ParsedBank* t_readAhead = nullptr;

// "<stem> (n)<ext>" for the first n that names nothing in folder.
std::string freeNameIn(const std::string& folder, const std::string& fileName) {
  if (!nameTaken(folder + fileName)) return fileName;
  const size_t dot = fileName.rfind('.');
  const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
  const std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot);
  for (int n = 2; n < 100000; ++n) {
    const std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
    if (!nameTaken(folder + candidate)) return candidate;
  }
  return {};
}

// A bank file found by the walk: its path, the identity of the file it names
// (links followed) and whether the path is a link.
struct FoundFile {
  std::string path;
  std::pair<dev_t, ino_t> id;
  bool link = false;
  bool operator<(const FoundFile& o) const { return path < o.path; }
};

// What one walk of a tree finds: every folder below its root, each after its
// own sub-folders, and in every folder (the root included) the regular files
// with a bank extension and at least the minimum size. Links to folders are
// not followed, so a link back into the tree cannot loop; links to files are.
struct TreeListing {
  std::vector<std::string> folders;
  std::map<std::string, std::vector<FoundFile>> bankFiles;
  // Device and inode of every folder walked: a folder met twice (a bind
  // mount of the tree inside itself) is walked once.
  std::set<std::pair<dev_t, ino_t>> walked;
};

using LogLine = std::function<void(const std::string&)>;

// A folder held open while its entries are looked at: each entry's status is
// then taken relative to it, sparing the walk of the whole path. Without the
// handle (the folder could not be opened) the full path is used.
class FolderHandle {
 public:
  explicit FolderHandle(const std::string& folder)
      : path_(folder), fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~FolderHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // lstat of the entry name, whose full path is path.
  int lstatEntry(const std::string& name, const std::string& path, struct stat& st) const {
    if (fd_ >= 0 && !name.empty() && name.find('/') == std::string::npos)
      return ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW);
    return ::lstat(path.c_str(), &st);
  }

  const std::string& path() const { return path_; }
  int fd() const { return fd_; }

 private:
  std::string path_;
  int fd_;
};

// Walks one folder; false when it was not walked (gone, or walked before).
bool walkTree(const std::string& folder, TreeListing& out, const LogLine& log) {
  struct stat self;
  if (::stat(folder.c_str(), &self) != 0) {
    log(std::string(kLogPrefix) + "could not list folder " + folder + ": " + std::strerror(errno));
    return false;
  }
  if (!out.walked.insert({self.st_dev, self.st_ino}).second) {
    log(std::string(kLogPrefix) + "skipped folder " + folder + " because it was listed before");
    return false;
  }
  std::vector<std::string> subFolders;
  std::vector<FoundFile>& files = out.bankFiles[folder];
  // Entries are looked at through the open folder, not by their full paths.
  const FolderHandle handle(folder);
  try {
    for (Poco::DirectoryIterator it(folder), end; it != end; ++it) {
      const std::string path = it.path().toString();
      const std::string name = it.name();
      const bool bankName = isBankExtension(fileExtensionLower(name));
      struct stat st;
      if (handle.lstatEntry(name, path, st) != 0) {
        if (bankName) log(std::string(kLogPrefix) + "skipped " + path + ": " + std::strerror(errno));
        continue;
      }
      const bool link = S_ISLNK(st.st_mode);
      if (link) {
        if (::stat(path.c_str(), &st) != 0) {
          if (bankName) log(std::string(kLogPrefix) + "skipped " + path + ": " + std::strerror(errno));
          continue;
        }
        if (S_ISDIR(st.st_mode)) {
          log(std::string(kLogPrefix) + "skipped folder link " + path);
          continue;
        }
      }
      if (S_ISDIR(st.st_mode))
        subFolders.push_back(path);
      else if (bankName && S_ISREG(st.st_mode) && st.st_size >= kMinimumBankFileSize)
        files.push_back({path, {st.st_dev, st.st_ino}, link});
    }
  } catch (const std::exception& e) {
    log(std::string(kLogPrefix) + "could not list folder " + folder + ": " + describe(e));
  }
  for (const std::string& sub : subFolders)
    if (walkTree(sub, out, log)) out.folders.push_back(sub);
  return true;
}

// Lists block `bank` of a split file (bank -1: patches 0-99, 0: 100-199, ...)
// as a bank in memory, named "<base> Singles <bank + 2>.sr2" beside it.
void listUnwrittenBlock(const PatchFile& source, int bank, PatchFileList& list) {
  const size_t first = static_cast<size_t>(kBankSize) * static_cast<size_t>(bank + 1);
  if (first >= source.patches.size()) return;
  const size_t count = std::min<size_t>(source.patches.size() - first, kBankSize);
  auto record = std::make_unique<PatchFile>();
  record->patches.assign(source.patches.begin() + static_cast<std::ptrdiff_t>(first),
                         source.patches.begin() + static_cast<std::ptrdiff_t>(first + count));
  PatchLibrarian::fillUncompletedBankFiles(record.get());
  record->fileName = fileBaseName(source.fileName) + " Singles " + std::to_string(bank + 2) + ".sr2";
  record->folderName = source.folderName;
  record->folderNames = source.folderNames;
  record->folderPath = source.folderPath;
  record->folderIndex = source.folderIndex;
  list.push_back(std::move(record));
}

}  // namespace

std::string PatchLibrarian::sourceKey(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return path;
  return path + '\n' + std::to_string(st.st_size) + '\n' + std::to_string(st.st_mtim.tv_sec) + '.' +
         std::to_string(st.st_mtim.tv_nsec);
}

void PatchLibrarian::scanError(const std::string& what, const std::string& path, const std::exception& e) {
  log(std::string(kLogPrefix) + what + " " + path + ": " + describe(e));
}

void PatchLibrarian::buildFolderStructure(const std::string& folder, std::vector<std::string>* out) {
  if (!out) return;
  TreeListing listing;
  walkTree(folder, listing, [this](const std::string& line) { log(line); });
  out->insert(out->end(), listing.folders.begin(), listing.folders.end());
}

void PatchLibrarian::loadPatchesFromFilesystem(std::string patchesPath) {
  try {
    patchesPath = Poco::Path(patchesPath).toString();
  } catch (const std::exception& e) {
    scanError("could not read folder", patchesPath, e);
  }
  patchesPath = withoutTrailingSeparator(patchesPath);
  forgetCreatedFiles();
  // A source that could not be moved is tried again by every scan call (its
  // banks, found on disk with the same bytes, are not written again).
  unmovableSources.clear();
  scanListCodes.clear();
  // At most one rescan per call: a source that could not be moved is not
  // converted again (see parseFolderFiles), so the rescan ends the matter.
  for (int pass = 0;; ++pass) {
    if (!scanFolders(patchesPath)) {
      scanListCodes.clear();
      return;
    }
    if (rescanRequested && pass == 0) {
      log("FOLDER RESCAN INITIATED BY PATCH LIBRARIAN");
      rescanRequested = false;
      scanListCodes.clear();
      clearDataStructures(kBankTree);
      dropFiles(patchFiles);
      dropFiles(categoryFiles);
      // The category nodes refer to the category files just dropped; the
      // repeated scan builds both again.
      clearDataStructures(kCategoryTree);
      dropFiles(emptyCategoryFiles);
      continue;
    }
    rescanRequested = false;
    break;
  }
  // The category lists are built anew from the bank files now listed.
  clearDataStructures(kCategoryTree);
  dropFiles(categoryFiles);
  dropFiles(emptyCategoryFiles);
  buildCategoryLists(&scanListCodes);
  scanListCodes.clear();
}

bool PatchLibrarian::scanFolders(const std::string& patchesPath) {
  bool found = false;
  try {
    Poco::File root(patchesPath);
    found = root.exists() && root.isDirectory();
  } catch (const std::exception& e) {
    scanError("could not read folder", patchesPath, e);
  }
  if (!found) {
    log("PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...");
    return false;
  }

  // One walk lists every folder and the bank files in each.
  TreeListing listing;
  walkTree(patchesPath, listing, [this](const std::string& line) { log(line); });
  folderPaths = std::move(listing.folders);
  std::sort(folderPaths.begin(), folderPaths.end());
  folderPaths.push_back(patchesPath);

  // The accepted files of every folder, in scan order: folders in byte order
  // of their paths (the Patches folder last), files in byte order within.
  struct Candidate {
    std::string path;
    std::string ext;
    int depth;
  };
  std::vector<Candidate> candidates;
  // Each real file is read once: under its own path when the tree holds it,
  // else under the first link to it in scan order; other links are skipped.
  std::set<std::pair<dev_t, ino_t>> direct, taken;
  for (const auto& [folder, entries] : listing.bankFiles)
    for (const FoundFile& f : entries)
      if (!f.link) direct.insert(f.id);
  for (const std::string& folder : folderPaths) {
    std::vector<FoundFile>& entries = listing.bankFiles[folder];
    std::sort(entries.begin(), entries.end());
    // Depth below the Patches folder: the separators after its path.
    const int depth = folder.size() > patchesPath.size()
                          ? static_cast<int>(std::count(folder.begin() + static_cast<std::ptrdiff_t>(patchesPath.size()),
                                                        folder.end(), '/'))
                          : 0;
    for (FoundFile& f : entries) {
      if ((f.link && direct.count(f.id)) || !taken.insert(f.id).second) {
        log(std::string(kLogPrefix) + "skipped " + f.path + " because its file is read under another name");
        continue;
      }
      std::string ext = fileExtensionLower(bankfileio::lastComponent(f.path));
      candidates.push_back({std::move(f.path), std::move(ext), depth});
    }
  }

  // Read every file ahead that the scan will read, each opened by its name
  // in its folder; the folders of a large tree beyond the first few dozen
  // are not held open (their files are opened by their paths), so that the
  // scan never runs short of descriptors.
  constexpr size_t kMostFolderHandles = 64;
  std::vector<std::string> toRead;
  std::vector<int> toReadFolders;
  std::vector<std::unique_ptr<FolderHandle>> handles;
  for (const Candidate& c : candidates) {
    if (c.ext == "srl" || (!unmovableSources.empty() && unmovableSources.count(sourceKey(c.path)))) continue;
    const size_t slash = c.path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : c.path.substr(0, slash);
    const bool held = !folder.empty() && !handles.empty() && handles.back()->path() == folder;
    if (!held && !folder.empty() && handles.size() < kMostFolderHandles)
      handles.push_back(std::make_unique<FolderHandle>(folder));
    const bool in = !folder.empty() && !handles.empty() && handles.back()->path() == folder;
    toRead.push_back(c.path);
    toReadFolders.push_back(in ? handles.back()->fd() : -1);
  }
  std::vector<ParsedBank> readAhead = readAndParseAll(toRead, toReadFolders);
  handles.clear();

  size_t next = 0;
  for (const Candidate& c : candidates) {
    ParsedBank* ahead = next < readAhead.size() && readAhead[next].path == c.path ? &readAhead[next++] : nullptr;
    try {
      t_readAhead = ahead;
      PatchFile* file = parseFolderFiles(Poco::File(c.path), Poco::Path(c.path), c.depth, 0, 1, c.ext);
      t_readAhead = nullptr;
      if (file) createFolderFilesStructure(file, file->folderPath);
    } catch (const std::exception& e) {
      t_readAhead = nullptr;
      scanError("skipped", c.path, e);
    }
    if (ahead) ahead->file.patches.clear();  // taken over or no longer needed
  }
  return true;
}

PatchFile* PatchLibrarian::parseFolderFiles(Poco::File entry, Poco::Path path, int depth, int folderIndex, int,
                                            std::string ext) {
  fileSplit = false;
  fileConverted = false;
  if (ext == "srl") return nullptr;

  const std::string fullPath = entry.path();
  auto file = std::make_unique<PatchFile>();
  file->fileName = path.getFileName();
  file->folderPath = withoutTrailingSeparator(path.parent().toString());
  const int dirs = path.depth();
  for (int i = std::max(0, dirs - depth - 1); i < dirs; ++i) file->folderNames.push_back(path.directory(i));
  file->folderName = file->folderNames.empty() ? std::string() : file->folderNames.back();
  file->folderIndex = folderIndex;

  log(std::string(kLogPrefix) + "loaded file " + fullPath);

  // A source converted before whose move failed: its new bank is on disk
  // already and is listed in its stead; reading it again would convert and
  // write it once more on every scan.
  if (!unmovableSources.empty() && unmovableSources.count(sourceKey(fullPath))) {
    log(std::string(kLogPrefix) + "skipped file " + fullPath +
        " because it was converted before and could not be moved to " + kConvertedFolderName);
    return nullptr;
  }

  ParsedBank own;
  ParsedBank* bank = t_readAhead;
  t_readAhead = nullptr;
  if (!bank || bank->path != fullPath) {
    own.path = fullPath;
    readAndParse(own);
    bank = &own;
  }
  if (bank->read == ReadResult::TooLarge) {
    log(std::string(kLogPrefix) + "skipped file " + fullPath + " because it is too large");
    return nullptr;
  }
  if (bank->read == ReadResult::Failed) log(std::string(kLogPrefix) + "could not read file " + fullPath);
  file->patches = std::move(bank->file.patches);
  file->noPadding = bank->file.noPadding;
  if (bank->converted) fileConverted = true;
  if (file->patches.empty()) {
    fileConverted = false;
    return nullptr;
  }

  PatchFile* listed = nullptr;
  bool allWritten = true;
  if (file->patches.size() > static_cast<size_t>(kBankSize)) {
    splitBankCount = static_cast<int>(file->patches.size() / kBankSize);
    fileSplit = true;
    splitSeen = true;
    for (int bank = -1; bank < splitBankCount; ++bank) {
      const size_t before = patchFiles.size();
      if (!createNewPatchFile(file.get(), file->folderName, file->fileName, fullPath, folderIndex, bank)) {
        // The bank is listed all the same, from memory, under the name it
        // was meant to have: its patches stay reachable (and can be saved),
        // while the source keeps them on disk.
        allWritten = false;
        listUnwrittenBlock(*file, bank, patchFiles);
      }
      // The new banks take their place in the folder tree at once.
      for (size_t i = before; i < patchFiles.size(); ++i) createFolderFilesStructure(patchFiles[i].get());
    }
  } else {
    makeExactBank(file.get());
    listed = file.get();
    scanListCodes[listed] = std::move(bank->listCodes);
    patchFiles.push_back(std::move(file));
  }

  const bool converted = fileConverted;
  if (converted && !fileSplit) {
    // The converted bank is written as a raw model 2 bank beside its source
    // (the writer names it after the source while fileConverted is set).
    allWritten = createNewPatchFile(listed, listed->folderName, listed->fileName, fullPath, folderIndex, -1);
  }
  fileConverted = false;
  if (!converted && !fileSplit) return listed;

  if (!allWritten) {
    // The source stays where it is; what was read is listed (a split file
    // by its banks, above).
    log(std::string(kLogPrefix) + "could not write the new banks of " + fullPath + "; the file stays in place");
    return fileSplit ? nullptr : listed;
  }
  if (converted) rescanRequested = true;
  if (!moveToConvertedBanks(fullPath, path.getFileName())) unmovableSources.insert(sourceKey(fullPath));
  return nullptr;
}

bool PatchLibrarian::moveToConvertedBanks(const std::string& sourcePath, const std::string& fileName) {
  const std::string folder = platform::withTrailingSlash(platform::dataFolder()) + kConvertedFolderName + "/";
  try {
    Poco::File target(folder);
    target.createDirectories();
    if (!target.isDirectory()) throw Poco::FileExistsException("not a folder", folder);
    const std::string name = freeNameIn(folder, fileName);
    if (name.empty()) {
      log(std::string(kLogPrefix) + "could not move file " + fileName + ": no free name in " + kConvertedFolderName);
      return false;
    }
    Poco::File(sourcePath).moveTo(folder + name, Poco::File::OPT_FAIL_ON_OVERWRITE);
  } catch (const std::exception& e) {
    scanError("could not move file", sourcePath, e);
    return false;
  }
  log(std::string(kLogPrefix) + "moved file " + fileName + " because it is not Sorrel 1 standard formatted!");
  return true;
}

void PatchLibrarian::initBankFilesOnDiscard(std::string patchesPath) {
  dropFiles(patchFiles);
  dropFiles(searchFiles);
  dropFiles(categoryFiles);
  dropFiles(emptyCategoryFiles);
  for (int kind = 0; kind <= 3; ++kind) clearDataStructures(kind);
  loadPatchesFromFilesystem(std::move(patchesPath));
}
