#include "librarian/FolderMenus.h"

#include <algorithm>
#include <unordered_map>

#include "framework/IGraphics.h"
#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"
#include "librarian/LibrarianViewControl.h"

using Side = ILibrarianEditor::Side;

// class, tree, names, list parameter, re-check after sync, rectangle and layer
const FolderMenuRow kLeftPatchMenuRow = {"LeftPatchPopupMenu", FolderMenuRow::kBankTree, Side::Upper,
                                         kPatchSelectionListUpper, true,
                                         {IRECT(110, 213, 530, 237), "LeftPatchPopupMenu", 70}};
const FolderMenuRow kRightPatchMenuRow = {"RightPatchPopupMenu", FolderMenuRow::kBankTree, Side::Lower,
                                          kPatchSelectionListLower, true,
                                          {IRECT(800, 213, 1220, 237), "RightPatchPopupMenu", 71}};
const FolderMenuRow kRightCategoryMenuRow = {"RightCategoryPopupMenu", FolderMenuRow::kCategoryTree, Side::Lower,
                                             kPatchSelectionListLower, false,
                                             {IRECT(800, 213, 1220, 237), "RightCategoryPopupMenu", 75}};
const FolderMenuRow kRightSearchMenuRow = {"RightSearchPopupMenu", FolderMenuRow::kSearchTree, Side::Lower,
                                           kPatchSelectionListLower, false,
                                           {IRECT(800, 213, 1220, 237), "RightSearchPopupMenu", 78}};
const FolderMenuRow kProgBankNameMenuRow = {"ProgBankNamePopupMenu", FolderMenuRow::kBankTree, Side::Upper,
                                            kPatchSelectionListUpper, true,
                                            {IRECT(456, 58, 482, 84), "PROGBANKNAMEMENUPROGRAMS", 80}};

namespace {
constexpr const char* kRootFolderName = "Patches";
}

// The state of one rebuild: where each file sits in the flat list, the
// running count of file items, and whether an item was checked yet.
struct FolderPopupMenu::Build {
  std::unordered_map<const PatchFile*, int> positions;
  std::string fileName, folderName;
  int index = 0;
  int running = 0;
  bool checked = false;

  void addFile(IPopupMenu* menu, std::vector<int>& filePositions, const PatchFile* file, const std::string& folder) {
    menu->AddItem(file->fileName.c_str());
    const auto it = positions.find(file);
    filePositions.push_back(it == positions.end() ? -1 : it->second);
    if (!checked && ((folder == folderName && file->fileName == fileName) || running == index)) {
      menu->CheckItemAlone(menu->GetNItems() - 1);
      checked = true;
    }
    ++running;
  }
};

FolderPopupMenu::FolderPopupMenu(const FolderMenuRow& row, IPluginBase* plug, PatchLibrarian* librarian, IRECT rect,
                                 ILibrarianEditor* editor)
    : LibrarianHotZone(plug, librarian, rect, editor), mRow(row) {
  refreshFolderStructure(librarian, editor, 0, editor ? editor->rememberedFileName(row.side) : std::string(),
                         editor ? editor->rememberedFolderName(row.side) : std::string());
}

FolderPopupMenu::~FolderPopupMenu() = default;

const PatchFileList& FolderPopupMenu::flatList() const {
  static const PatchFileList kNone;
  if (!mLibrarian) return kNone;
  switch (mRow.tree) {
    case FolderMenuRow::kCategoryTree: return mLibrarian->lowerList(LowerListSource::Categories);
    case FolderMenuRow::kSearchTree: return mLibrarian->lowerList(LowerListSource::SearchResults);
    case FolderMenuRow::kBankTree: break;
  }
  return mLibrarian->lowerList(LowerListSource::BankFiles);
}

int FolderPopupMenu::librarianIndex() const {
  if (!mLibrarian) return 0;
  return mRow.side == Side::Upper ? mLibrarian->upperFileIndex : mLibrarian->lowerFileIndex;
}

bool FolderPopupMenu::refreshFolderStructure(PatchLibrarian*, ILibrarianEditor*, int index, std::string fileName,
                                             std::string folderName) {
  mEntries.clear();
  mMenus.clear();
  mMenus.push_back(std::make_unique<IPopupMenu>());
  mRoot = mMenus.back().get();
  std::vector<int> rootPositions;
  auto newMenu = [this] {
    mMenus.push_back(std::make_unique<IPopupMenu>());
    return mMenus.back().get();
  };

  Build b;
  const PatchFileList& flat = flatList();
  b.positions.reserve(flat.size());
  for (size_t i = 0; i < flat.size(); ++i) b.positions.emplace(flat[i].get(), static_cast<int>(i));
  b.fileName = std::move(fileName);
  b.folderName = std::move(folderName);
  b.index = index;

  static const FolderTree kNoTree;
  const FolderTree& tree = !mLibrarian                                  ? kNoTree
                           : mRow.tree == FolderMenuRow::kBankTree     ? mLibrarian->bankFolders
                           : mRow.tree == FolderMenuRow::kCategoryTree ? mLibrarian->categoryFolders
                                                                       : mLibrarian->searchFolders;
  for (const auto& top : tree) {
    if (mRow.tree == FolderMenuRow::kSearchTree) {
      for (const PatchFile* f : top->files) b.addFile(mRoot, rootPositions, f, kRootFolderName);
    } else if (mRow.tree == FolderMenuRow::kCategoryTree) {
      for (const SubFolderFiles& sub : top->subFolders) {
        if (sub.files.empty()) continue;
        IPopupMenu* menu = newMenu();
        Entry e{sub.name, menu, {}};
        for (const PatchFile* f : sub.files) b.addFile(menu, e.filePositions, f, f->folderName);
        mRoot->AddItem(sub.name.c_str(), menu);
        rootPositions.push_back(-1);
        mEntries.push_back(std::move(e));
      }
    } else if (top->subFolders.empty()) {
      for (const PatchFile* f : top->files) b.addFile(mRoot, rootPositions, f, kRootFolderName);
    } else {
      for (const SubFolderFiles& sub : top->subFolders) {
        IPopupMenu* second = newMenu();
        std::vector<int> secondPositions;
        for (const SubFolderFiles2& third : sub.subFolders) {
          IPopupMenu* menu = newMenu();
          Entry e{third.name, menu, {}};
          for (const PatchFile* f : third.files) b.addFile(menu, e.filePositions, f, f->folderName);
          second->AddItem(third.name.c_str(), menu);
          secondPositions.push_back(-1);
          mEntries.push_back(std::move(e));
        }
        for (const PatchFile* f : sub.files) b.addFile(second, secondPositions, f, f->folderName);
        mRoot->AddItem(sub.name.c_str(), second);
        rootPositions.push_back(-1);
        mEntries.push_back(Entry{sub.name, second, std::move(secondPositions)});
      }
    }
  }
  const std::string rootName = mRow.tree == FolderMenuRow::kCategoryTree ? std::string() : kRootFolderName;
  mEntries.push_back(Entry{rootName, mRoot, std::move(rootPositions)});
  sync(b.fileName, b.folderName);
  return true;
}

void FolderPopupMenu::sync(const std::string& fileName, const std::string& folderName) {
  const PatchFileList& flat = flatList();
  const int current = librarianIndex();
  int chosen = -1;
  for (size_t i = 0; i < flat.size(); ++i) {
    if (flat[i]->folderName != folderName || flat[i]->fileName != fileName) continue;
    // Of several files of these names the current one stays, else the first.
    if (chosen < 0 || static_cast<int>(i) == current) chosen = static_cast<int>(i);
  }
  if (chosen < 0) return;
  applyIndex(chosen);
  if (IGraphics* g = GetGUI()) g->SetParameterFromPlug(mRow.listParam, chosen, false);
  if (mRow.recheckAfterSync) checkMenuItemAlone(mLibrarian, mEditor, chosen);
}

void FolderPopupMenu::checkMenuItemAlone(PatchLibrarian*, ILibrarianEditor*, int index) {
  const bool inList = index >= 0 && static_cast<size_t>(index) < flatList().size();
  bool found = false;
  for (Entry& e : mEntries) {
    e.menu->CheckItemAlone(-1);
    if (found || !inList) continue;
    const auto it = std::find(e.filePositions.begin(), e.filePositions.end(), index);
    if (it == e.filePositions.end()) continue;
    e.menu->CheckItemAlone(static_cast<int>(it - e.filePositions.begin()));
    found = true;
  }
}

bool FolderPopupMenu::choose(int& index) {
  IPopupMenu* chosen = popUp(mRoot);
  if (!chosen) return false;
  std::string file, folder;
  bool done = false;
  const PatchFileList& flat = flatList();
  for (Entry& e : mEntries) {
    e.menu->CheckItemAlone(-1);
    if (done || e.menu != chosen) continue;
    done = true;
    const int item = chosen->GetChosenItemIdx();
    chosen->CheckItemAlone(item);
    file = chosen->GetItemText(item);
    folder = e.folderName;
    // The file the item was built from, when the list still holds it there;
    // else the first file of these names.
    const int built = item >= 0 && static_cast<size_t>(item) < e.filePositions.size()
                          ? e.filePositions[static_cast<size_t>(item)]
                          : -1;
    if (const PatchFile* f = PatchLibrarian::fileAt(flat, built); f && f->fileName == file) {
      index = built;
      continue;
    }
    for (size_t i = 0; i < flat.size(); ++i)
      if (flat[i]->folderName == folder && flat[i]->fileName == file) {
        index = static_cast<int>(i);
        break;
      }
  }
  if (!done) return false;
  if (mEditor) mEditor->setRememberedNames(mRow.side, folder, file);
  return true;
}

int FolderPopupMenu::doPopupMenu(ILibrarianEditor*, int& index) { return choose(index) ? index : 0; }

void FolderPopupMenu::applyIndex(int index) {
  setParamDirect(mRow.listParam, index);
  IParam* p = mPlug ? mPlug->GetParam(mRow.listParam) : nullptr;
  if (IControl* linked = mEditor ? mEditor->listLinkedControl(mRow.listParam) : nullptr; linked && p)
    linked->SetValueFromPlug(p->GetNormalized());
  if (mLibrarian) (mRow.side == Side::Upper ? mLibrarian->upperFileIndex : mLibrarian->lowerFileIndex) = index;
}

void FolderPopupMenu::OnMouseDown(int, int, IMouseMod*) {
  mIndex = librarianIndex();
  choose(mIndex);
  // A dismissal re-applies the unchanged index.
  applyIndex(mIndex);
  if (LibrarianViewControl* view = mEditor ? mEditor->librarianView() : nullptr) {
    if (mRow.side == Side::Upper)
      view->patchSelectionUpperChanged();
    else
      view->patchSelectionLowerChanged();
  }
  SetDirty(false);
}

void ProgBankNamePopupMenu::OnMouseDown(int, int, IMouseMod*) {
  mIndex = mLibrarian ? mLibrarian->upperFileIndex : 0;
  const bool chosen = choose(mIndex);
  applyIndex(mIndex);
  if (IGraphics* g = GetGUI()) g->SetParameterFromPlug(kCurrentBank, mIndex, false);
  LibrarianViewControl* view = mEditor ? mEditor->librarianView() : nullptr;
  if (view && paramValue(kShowLibrarian) == 1.0) view->patchSelectionUpperChanged();
  // Only a choice moves on to the program menu and sends.
  if (chosen && mEditor) {
    mEditor->updateBankAndProgramMenuNames(true);
    const int slot = view ? view->currentSlot() : (mLibrarian ? mLibrarian->targetSlot.load() : 0);
    if (mLibrarian) mLibrarian->targetSlot = slot;
    mEditor->sendPatchToDeviceFromLibrarian(slot, false);
  }
  SetDirty(false);
}
