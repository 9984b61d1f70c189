// The in-memory lists built from the bank files: twenty category lists and
// the search results. Both show the patches as they were at build time, in
// files of at most 100 patches, and are never written to disk. A list
// refers to a bank file's patch where its copy would be the same patch (see
// PatchList.h), and holds a copy of its own where it would not.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/CategoryCodes.h"
#include "librarian/PatchLibrarian.h"

namespace {

// The categories that have a list: codes 0 ("NONE") to 19 ("EXFX").
constexpr int kListedCategories = 20;

// Appends patch i of source to a list: a patch built from it, holding its
// first `messageCount` messages (as far as it has them), name and category
// taken from message 0. Where that is the patch itself it is referred to;
// namedFromDump tells whether the patch's name and category are its dump's.
void appendListPatch(PatchList& list, PatchList& source, size_t i, size_t messageCount, bool namedFromDump) {
  const LibrarianPatch& patch = std::as_const(source)[i];
  if (patch.messages.size() <= messageCount && namedFromDump) {
    list.appendShared(source, i);
    return;
  }
  LibrarianPatch copy;
  copy.messages.assign(patch.messages.begin(),
                       patch.messages.begin() + static_cast<std::ptrdiff_t>(std::min(messageCount, patch.messages.size())));
  copy.takeNameAndCategory();
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

// The list of a category byte: its code for 0-19, -1 for the bytes named
// "INIT".
int listedCode(uint8_t byte) { return byte < kListedCategories ? byte : -1; }

}  // namespace

uint8_t categoryListCode(const LibrarianPatch& patch) {
  const bool named = patch.namedFromDump();
  const int code = named ? listedCode(patch.messages[0][kDumpCategoryOffset]) : listedCategory(patch.category);
  if (code < 0) return kNoCategoryList;
  return static_cast<uint8_t>(code | (patch.messages.size() <= 1 && named ? kSharedInList : 0));
}

void PatchLibrarian::createNewCategoryPatchFiles() { buildCategoryLists(nullptr); }

void PatchLibrarian::buildCategoryLists(const std::map<const PatchFile*, std::vector<uint8_t>>* codes) {
  std::array<std::vector<std::unique_ptr<PatchFile>>, kListedCategories> files;
  auto newFile = [](size_t code, size_t k) {
    auto file = std::make_unique<PatchFile>();
    file->folderName = categoryName(static_cast<int>(code));
    file->fileName = file->folderName + " " + std::to_string(k + 1);
    file->folderIndex = static_cast<int>(code);
    return file;
  };

  // One pass in scan order, each patch appended to its list as it is met;
  // a list starts a new file after every 100 patches, and one of a whole
  // multiple of 100 patches (zero included) ends with an empty file.
  std::vector<uint8_t> own;
  for (const auto& file : patchFiles) {
    if (!file) continue;
    PatchList& patches = file->patches;
    // The codes noted when the file was read, or worked out now.
    const std::vector<uint8_t>* noted = nullptr;
    if (codes) {
      auto it = codes->find(file.get());
      if (it != codes->end() && it->second.size() == patches.size()) noted = &it->second;
    }
    if (!noted) {
      own.resize(patches.size());
      for (size_t i = 0; i < patches.size(); ++i) own[i] = categoryListCode(std::as_const(patches)[i]);
      noted = &own;
    }
    for (size_t i = 0; i < patches.size(); ++i) {
      const uint8_t code = (*noted)[i];
      if (code == kNoCategoryList) continue;
      std::vector<std::unique_ptr<PatchFile>>& list = files[code & kCategoryCodeMask];
      if (list.empty() || list.back()->patches.size() >= static_cast<size_t>(kBankSize)) {
        list.push_back(newFile(code & kCategoryCodeMask, list.size()));
        list.back()->patches.reserve(kBankSize);
      }
      if (code & kSharedInList)
        list.back()->patches.appendShared(patches, i);
      else
        appendListPatch(list.back()->patches, patches, i, 1, false);
    }
  }
  for (size_t code = 0; code < kListedCategories; ++code)
    if (files[code].empty() || files[code].back()->patches.size() >= static_cast<size_t>(kBankSize))
      files[code].push_back(newFile(code, files[code].size()));

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

  struct Match {
    PatchList* list;
    size_t index;
  };
  std::vector<Match> matches;
  for (const auto& file : patchFiles) {
    if (!file) continue;
    const PatchList& patches = file->patches;
    for (size_t i = 0; i < patches.size(); ++i)
      if (patches[i].name.find(text) != std::string::npos) matches.push_back({&file->patches, i});
  }
  if (matches.empty()) return;

  std::vector<std::unique_ptr<PatchFile>> files = makeListFiles(matches.size(), [](int k) {
    auto file = std::make_unique<PatchFile>();
    file->fileName = "Search Results " + std::to_string(k + 1);
    file->folderName = "Patches";
    file->folderIndex = k;
    return file;
  });
  for (size_t i = 0; i < matches.size(); ++i)
    appendListPatch(files[i / kBankSize]->patches, *matches[i].list, matches[i].index, 2,
                    std::as_const(*matches[i].list)[matches[i].index].namedFromDump());

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
