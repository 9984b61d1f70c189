// The in-memory lists built from the bank files: twenty category lists and
// the search results. Both are copies taken at build time, in files of at
// most 100 patches, and are never written to disk.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/ParallelFor.h"
#include "librarian/PatchLibrarian.h"

namespace {

// The categories that have a list: codes 0 ("NONE") to 19 ("EXFX").
constexpr int kListedCategories = 20;

// Makes slot a patch of a list, built from its source: copies of its first
// `messageCount` messages (as far as it has them), name and category taken
// from the copy of message 0.
void makeListCopy(LibrarianPatch& slot, const LibrarianPatch& source, size_t messageCount) {
  const size_t n = std::min(messageCount, source.messages.size());
  slot.messages.assign(source.messages.begin(), source.messages.begin() + static_cast<std::ptrdiff_t>(n));
  slot.takeNameAndCategory();
}

// Appends such a copy to a list file. The copy is made whole before it is
// moved into place: the list's fresh memory is only written, never read.
void appendListCopy(std::vector<LibrarianPatch>& list, const LibrarianPatch& source, size_t messageCount) {
  LibrarianPatch copy;
  makeListCopy(copy, source, messageCount);
  list.push_back(std::move(copy));
}

// The files of a list of n patches: n / 100 + 1 of them, so a whole multiple
// of 100 (zero included) ends with an empty file. File k is made by make(k)
// and holds room for its share: patch i of the list goes to slot i % 100 of
// file i / 100.
template <typename Make>
std::vector<std::unique_ptr<PatchFile>> makeListFiles(size_t n, Make make) {
  std::vector<std::unique_ptr<PatchFile>> files;
  for (size_t k = 0; k <= n / kBankSize; ++k) {
    std::unique_ptr<PatchFile> file = make(static_cast<int>(k));
    file->patches.reserve(std::min<size_t>(n - k * kBankSize, kBankSize));
    files.push_back(std::move(file));
  }
  return files;
}

// The category code (0-19) of a category text, or -1 for "INIT", an empty
// text and anything else without a list. The four characters are compared
// as one word: this runs for every patch of every bank.
int listedCategory(const std::string& category) {
  static const std::array<uint32_t, kListedCategories> words = [] {
    std::array<uint32_t, kListedCategories> w{};
    for (int code = 0; code < kListedCategories; ++code) std::memcpy(&w[static_cast<size_t>(code)], categoryName(code), 4);
    return w;
  }();
  if (category.size() != 4) return -1;
  uint32_t word;
  std::memcpy(&word, category.data(), 4);
  for (int code = 0; code < kListedCategories; ++code)
    if (words[static_cast<size_t>(code)] == word) return code;
  return -1;
}

}  // namespace

void PatchLibrarian::createNewCategoryPatchFiles() {
  std::array<std::vector<std::unique_ptr<PatchFile>>, kListedCategories> files;
  auto newFile = [](size_t code, size_t k) {
    auto file = std::make_unique<PatchFile>();
    file->folderName = categoryName(static_cast<int>(code));
    file->fileName = file->folderName + " " + std::to_string(k + 1);
    file->folderIndex = static_cast<int>(code);
    return file;
  };

  const size_t threads = librarian::scanThreads();
  if (threads > 1) {
    // Every patch with a list, in scan order, with its category.
    std::vector<const LibrarianPatch*> patches;
    std::vector<int8_t> codes;
    for (const auto& file : patchFiles) {
      if (!file) continue;
      for (const LibrarianPatch& patch : file->patches) {
        const int code = listedCategory(patch.category);
        if (code < 0) continue;
        patches.push_back(&patch);
        codes.push_back(static_cast<int8_t>(code));
      }
    }
    // Where each copy goes is known before any copy is made: the patches are
    // cut into runs, and a run's first copy of a category follows the copies
    // of that category in all earlier runs. The runs are then copied in
    // parallel straight into their slots.
    constexpr size_t kRun = 4096;
    const size_t runs = (patches.size() + kRun - 1) / kRun;
    std::vector<std::array<size_t, kListedCategories>> runStart(runs);
    std::array<size_t, kListedCategories> total{};
    for (size_t run = 0; run < runs; ++run) {
      runStart[run] = total;
      const size_t end = std::min(patches.size(), (run + 1) * kRun);
      for (size_t i = run * kRun; i < end; ++i) ++total[static_cast<size_t>(codes[i])];
    }
    for (size_t code = 0; code < kListedCategories; ++code) {
      files[code] = makeListFiles(total[code], [&](int k) { return newFile(code, static_cast<size_t>(k)); });
      for (size_t k = 0; k < files[code].size(); ++k)
        files[code][k]->patches.resize(std::min<size_t>(total[code] - k * kBankSize, kBankSize));
    }
    librarian::parallelFor(runs, patches.size() >= 2000 ? threads : 1, [&](size_t run) {
      std::array<size_t, kListedCategories> next = runStart[run];
      const size_t end = std::min(patches.size(), (run + 1) * kRun);
      for (size_t i = run * kRun; i < end; ++i) {
        const size_t code = static_cast<size_t>(codes[i]);
        const size_t at = next[code]++;
        makeListCopy(files[code][at / kBankSize]->patches[at % kBankSize], *patches[i], 1);
      }
    });
  } else {
    // One pass in scan order, each copy appended to its list as it is made;
    // a list starts a new file after every 100 patches, and one of a whole
    // multiple of 100 patches (zero included) ends with an empty file.
    for (const auto& file : patchFiles) {
      if (!file) continue;
      for (const LibrarianPatch& patch : file->patches) {
        const int code = listedCategory(patch.category);
        if (code < 0) continue;
        std::vector<std::unique_ptr<PatchFile>>& list = files[static_cast<size_t>(code)];
        if (list.empty() || list.back()->patches.size() >= static_cast<size_t>(kBankSize)) {
          list.push_back(newFile(static_cast<size_t>(code), list.size()));
          list.back()->patches.reserve(kBankSize);
        }
        appendListCopy(list.back()->patches, patch, 1);
      }
    }
    for (size_t code = 0; code < kListedCategories; ++code)
      if (files[code].empty() || files[code].back()->patches.size() >= static_cast<size_t>(kBankSize))
        files[code].push_back(newFile(code, files[code].size()));
  }

  for (auto& categoryFilesOfOne : files) {
    for (std::unique_ptr<PatchFile>& file : categoryFilesOfOne) {
      PatchFile* raw = file.get();
      // Files with patches are listed; an empty file is reached through its
      // folder node only, and is kept alive by the librarian's store.
      if (!raw->patches.empty())
        categoryFiles.push_back(std::move(file));
      else
        emptyCategoryFiles.push_back(std::move(file));
      bool placed = false;
      for (auto& node : categoryFolders) {
        if (!node) continue;
        for (SubFolderFiles& sub : node->subFolders) {
          if (sub.name == raw->folderName) {
            sub.files.push_back(raw);
            placed = true;
          }
        }
      }
      if (!placed) {
        SubFolderFiles first;
        first.name = raw->folderName;
        first.files.push_back(raw);
        categoryFolders.push_back(std::make_unique<FolderFiles>(raw->fileName, first));
      }
    }
  }
}

void PatchLibrarian::createNewSearchPatchFiles(std::string text) {
  // The previous results go, and with them the nodes that referred to them.
  // (The caller clears the nodes before every search as well.)
  clearDataStructures(kSearchTree);
  dropFiles(searchFiles);

  std::vector<const LibrarianPatch*> matches;
  for (const auto& file : patchFiles) {
    if (!file) continue;
    for (const LibrarianPatch& patch : file->patches)
      if (patch.name.find(text) != std::string::npos) matches.push_back(&patch);
  }
  if (matches.empty()) return;

  std::vector<std::unique_ptr<PatchFile>> files = makeListFiles(matches.size(), [](int k) {
    auto file = std::make_unique<PatchFile>();
    file->fileName = "Search Results " + std::to_string(k + 1);
    file->folderName = "Patches";
    file->folderIndex = k;
    return file;
  });
  for (size_t i = 0; i < matches.size(); ++i) appendListCopy(files[i / kBankSize]->patches, *matches[i], 2);

  for (std::unique_ptr<PatchFile>& file : files) {
    PatchFile* raw = file.get();
    searchFiles.push_back(std::move(file));
    if (!searchFolders.empty() && searchFolders.front() && searchFolders.front()->name == raw->folderName) {
      searchFolders.front()->files.push_back(raw);
    } else {
      auto node = std::make_unique<FolderFiles>();
      node->name = raw->folderName;
      node->files.push_back(raw);
      searchFolders.push_back(std::move(node));
    }
  }
}
