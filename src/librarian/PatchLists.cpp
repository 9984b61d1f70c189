// The in-memory lists built from the bank files: twenty category lists and
// the search results. Both are copies taken at build time, in files of at
// most 100 patches, and are never written to disk.
#include <algorithm>
#include <functional>
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

// Collects the copies of matching patches straight into files of at most
// 100 patches, in collection order. A new patch is built from its source:
// copies of its first `messageCount` messages (as far as it has them), name
// and category taken from the copy of message 0.
class FileCutter {
 public:
  using Make = std::function<std::unique_ptr<PatchFile>(int number)>;
  FileCutter(Make make, size_t messageCount) : m_make(std::move(make)), m_messageCount(messageCount) {}

  // The new patch built from a source patch.
  static LibrarianPatch copyOf(const LibrarianPatch& source, size_t messageCount) {
    LibrarianPatch p;
    const size_t n = std::min(messageCount, source.messages.size());
    p.messages.reserve(n);
    for (size_t i = 0; i < n; ++i) p.messages.push_back(source.messages[i]);
    p.takeNameAndCategory();
    return p;
  }

  void add(const LibrarianPatch& source) { add(copyOf(source, m_messageCount)); }

  // Takes a patch already built with copyOf.
  void add(LibrarianPatch&& copy) {
    if (m_count % kBankSize == 0) {
      m_files.push_back(m_make(static_cast<int>(m_files.size())));
      m_files.back()->patches.reserve(kBankSize);
    }
    m_files.back()->patches.push_back(std::move(copy));
    ++m_count;
  }

  size_t count() const { return m_count; }

  // The files: count / 100 + 1 of them, so a whole multiple of 100 (zero
  // included) ends with an empty file.
  std::vector<std::unique_ptr<PatchFile>> finish() {
    if (m_count % kBankSize == 0) m_files.push_back(m_make(static_cast<int>(m_files.size())));
    return std::move(m_files);
  }

 private:
  Make m_make;
  size_t m_messageCount;
  size_t m_count = 0;
  std::vector<std::unique_ptr<PatchFile>> m_files;
};

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
  // parallel straight into their slots (the banks are read in sequence).
  constexpr size_t kRun = 4096;
  const size_t runs = (patches.size() + kRun - 1) / kRun;
  std::vector<std::array<size_t, kListedCategories>> runStart(runs);
  std::array<size_t, kListedCategories> total{};
  for (size_t run = 0; run < runs; ++run) {
    runStart[run] = total;
    const size_t end = std::min(patches.size(), (run + 1) * kRun);
    for (size_t i = run * kRun; i < end; ++i) ++total[static_cast<size_t>(codes[i])];
  }

  // count / 100 + 1 files per category, so a whole multiple of 100 (zero
  // included) ends with an empty file.
  std::array<std::vector<std::unique_ptr<PatchFile>>, kListedCategories> files;
  for (int code = 0; code < kListedCategories; ++code) {
    const std::string category = categoryName(code);
    const size_t n = total[static_cast<size_t>(code)];
    for (size_t k = 0; k <= n / kBankSize; ++k) {
      auto file = std::make_unique<PatchFile>();
      file->fileName = category + " " + std::to_string(k + 1);
      file->folderName = category;
      file->folderIndex = code;
      file->patches.resize(std::min<size_t>(n - k * kBankSize, kBankSize));
      files[static_cast<size_t>(code)].push_back(std::move(file));
    }
  }

  librarian::parallelFor(runs, patches.size() >= 2000 ? 4 : 1, [&](size_t run) {
    std::array<size_t, kListedCategories> next = runStart[run];
    const size_t end = std::min(patches.size(), (run + 1) * kRun);
    for (size_t i = run * kRun; i < end; ++i) {
      const size_t code = static_cast<size_t>(codes[i]);
      const size_t at = next[code]++;
      files[code][at / kBankSize]->patches[at % kBankSize] = FileCutter::copyOf(*patches[i], 1);
    }
  });

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
  searchFolders.clear();
  dropFiles(searchFiles);

  FileCutter cutter(
      [](int k) {
        auto file = std::make_unique<PatchFile>();
        file->fileName = "Search Results " + std::to_string(k + 1);
        file->folderName = "Patches";
        file->folderIndex = k;
        return file;
      },
      2);
  for (const auto& file : patchFiles) {
    if (!file) continue;
    for (const LibrarianPatch& patch : file->patches)
      if (patch.name.find(text) != std::string::npos) cutter.add(patch);
  }
  if (cutter.count() == 0) return;

  for (std::unique_ptr<PatchFile>& file : cutter.finish()) {
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
