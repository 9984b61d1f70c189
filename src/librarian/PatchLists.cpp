// The in-memory lists built from the bank files: twenty category lists and
// the search results. Both are copies taken at build time, in files of at
// most 100 patches, and are never written to disk.
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/PatchLibrarian.h"

namespace {

// The categories that have a list: codes 0 ("NONE") to 19 ("EXFX").
constexpr int kListedCategories = 20;

// A new patch built from a source patch: copies of its first `messageCount`
// messages (as far as it has them), name and category taken from the copy of
// message 0.
LibrarianPatch listCopy(const LibrarianPatch& source, size_t messageCount) {
  LibrarianPatch p;
  const size_t n = std::min(messageCount, source.messages.size());
  p.messages.assign(source.messages.begin(), source.messages.begin() + static_cast<std::ptrdiff_t>(n));
  p.takeNameAndCategory();
  return p;
}

// Cuts a collection into files of at most 100 patches: n / 100 + 1 files, so
// a whole multiple of 100 (zero included) ends with an empty file. `make`
// creates file k (named with k + 1), `place` takes it over.
template <typename Make, typename Place>
void cutIntoFiles(const std::vector<const LibrarianPatch*>& collected, size_t messageCount, Make make,
                  Place place) {
  const size_t n = collected.size();
  for (size_t k = 0; k <= n / kBankSize; ++k) {
    std::unique_ptr<PatchFile> file = make(static_cast<int>(k));
    const size_t first = k * kBankSize;
    const size_t count = n > first ? std::min<size_t>(n - first, kBankSize) : 0;
    file->patches.reserve(count);
    for (size_t i = first; i < first + count; ++i) file->patches.push_back(listCopy(*collected[i], messageCount));
    place(std::move(file));
  }
}

// The category code (0-19) of a category text, or -1 for "INIT", an empty
// text and anything else without a list.
int listedCategory(const std::string& category) {
  if (category.size() != 4) return -1;
  for (int code = 0; code < kListedCategories; ++code)
    if (category.compare(categoryName(code)) == 0) return code;
  return -1;
}

}  // namespace

void PatchLibrarian::createNewCategoryPatchFiles() {
  // One pass sorts every patch into its category, keeping scan order.
  std::array<std::vector<const LibrarianPatch*>, kListedCategories> collected;
  for (const auto& file : patchFiles) {
    if (!file) continue;
    for (const LibrarianPatch& patch : file->patches) {
      const int code = listedCategory(patch.category);
      if (code >= 0) collected[code].push_back(&patch);
    }
  }

  for (int code = 0; code < kListedCategories; ++code) {
    const std::string category = categoryName(code);
    auto make = [&](int k) {
      auto file = std::make_unique<PatchFile>();
      file->fileName = category + " " + std::to_string(k + 1);
      file->folderName = category;
      file->folderIndex = code;
      return file;
    };
    auto place = [&](std::unique_ptr<PatchFile> file) {
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
    };
    cutIntoFiles(collected[code], 1, make, place);
  }
}

void PatchLibrarian::createNewSearchPatchFiles(std::string text) {
  // The previous results go, and with them the nodes that referred to them.
  // (The caller clears the nodes before every search as well.)
  searchFolders.clear();
  searchFiles.clear();

  std::vector<const LibrarianPatch*> collected;
  for (const auto& file : patchFiles) {
    if (!file) continue;
    for (const LibrarianPatch& patch : file->patches)
      if (patch.name.find(text) != std::string::npos) collected.push_back(&patch);
  }
  if (collected.empty()) return;

  auto make = [](int k) {
    auto file = std::make_unique<PatchFile>();
    file->fileName = "Search Results " + std::to_string(k + 1);
    file->folderName = "Patches";
    file->folderIndex = k;
    return file;
  };
  auto place = [&](std::unique_ptr<PatchFile> file) {
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
  };
  cutIntoFiles(collected, 2, make, place);
}
