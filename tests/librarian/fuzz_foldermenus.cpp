// Turns bytes into bank-file trees (duplicate names, empty and too-deep
// folders, up to 300 files), builds the five folder menus over them and
// chooses every file item by script: each choice must open the very file
// the item was built from, and keep list index, parameter and names in step.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support_views.h"

namespace {

using viewtest::Bench;

struct Reader {
  const uint8_t* data;
  size_t size, pos = 0;
  bool more() const { return pos < size; }
  uint8_t next() { return pos < size ? data[pos++] : 0; }
};

// Short names from a small alphabet, so that names repeat.
std::string nameOf(uint8_t b) {
  static const char* const kNames[] = {"A", "B", "a", "S", "Patches", "", "x.syx", "A B"};
  return kNames[b % 8];
}

// Every index path from menu to an item that can be chosen.
void paths(IPopupMenu* menu, std::vector<int>& prefix, std::vector<std::vector<int>>& out, int depth) {
  if (depth > 4) return;
  for (int i = 0; i < menu->GetNItems(); ++i) {
    IPopupMenuItem* item = menu->GetItem(i);
    prefix.push_back(i);
    if (item->GetSubmenu())
      paths(item->GetSubmenu(), prefix, out, depth + 1);
    else if (item->IsChoosable())
      out.push_back(prefix);
    prefix.pop_back();
  }
}

// The item a path names, and the menu holding it.
IPopupMenu* holder(IPopupMenu* root, const std::vector<int>& path) {
  IPopupMenu* m = root;
  for (size_t s = 0; s + 1 < path.size(); ++s) m = m->GetItem(path[s])->GetSubmenu();
  return m;
}

void chooseEverything(Bench& b, FolderPopupMenu& menu) {
  std::vector<std::vector<int>> all;
  std::vector<int> prefix;
  paths(menu.rootMenu(), prefix, all, 0);
  const PatchFileList& flat = menu.row().tree == FolderMenuRow::kCategoryTree ? b.lib.categoryFiles
                              : menu.row().tree == FolderMenuRow::kSearchTree ? b.lib.searchFiles
                                                                              : b.lib.patchFiles;
  for (const auto& path : all) {
    IPopupMenu* m = holder(menu.rootMenu(), path);
    int built = -1;
    for (const auto& e : menu.entries())
      if (e.menu == m) built = e.filePositions[static_cast<size_t>(path.back())];
    const std::string text = m->GetItemText(path.back());
    b.g->answerMenuByIndex(path);
    menu.OnMouseDown(0, 0, nullptr);
    const bool upper = menu.row().side == ILibrarianEditor::Side::Upper;
    const int index = upper ? b.lib.upperFileIndex : b.lib.lowerFileIndex;
    if (built >= 0 && index != built) std::abort();
    const PatchFile* f = PatchLibrarian::fileAt(flat, index);
    if (built >= 0 && (!f || f->fileName != text)) std::abort();
    if (b.editor.rememberedFileName(menu.row().side) != text) std::abort();
    const IParam* p = b.plug->GetParam(menu.row().listParam);
    if (built >= 0 && p->Int() != std::min(index, static_cast<int>(p->GetMax()))) std::abort();
    // The choice is the only checked item.
    int checked = 0;
    for (const auto& e : menu.entries())
      for (int i = 0; i < e.menu->GetNItems(); ++i) checked += e.menu->IsItemChecked(i) ? 1 : 0;
    if (checked != 1 || !m->IsItemChecked(path.back())) std::abort();
  }
  // A rebuild by the last choice's names, and a check past the list's end.
  menu.refreshFolderStructure(&b.lib, &b.editor, 0, b.editor.rememberedFileName(menu.row().side),
                              b.editor.rememberedFolderName(menu.row().side));
  menu.checkMenuItemAlone(&b.lib, &b.editor, static_cast<int>(flat.size()));
}

// One plug-in, editor stand-in and librarian serve every run; each run gets
// a fresh (small: nothing is drawn) graphics context and empty lists.
Bench& bench() {
  static Bench* b = new Bench(16, 16);
  b->plug->AttachGraphics(b->g = new IGraphicsHeadless(b->plug, 16, 16));
  PatchLibrarian& lib = b->lib;
  for (PatchFileList* l : {&lib.patchFiles, &lib.categoryFiles, &lib.searchFiles, &lib.emptyCategoryFiles})
    lib.dropFiles(*l);
  for (int kind = 0; kind <= 3; ++kind) lib.clearDataStructures(kind);
  lib.releaseDroppedFiles();
  lib.upperFileIndex = lib.lowerFileIndex = 0;
  for (auto& side : b->editor.names) side[0] = side[1] = "";
  return *b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bench& b = bench();
  Reader r{data, size};
  while (r.more() && b.lib.patchFiles.size() < 300) {
    const uint8_t shape = r.next();
    auto f = std::make_unique<PatchFile>();
    // Depth 1 to 4 below "Patches": depth 4 is too deep for the tree.
    f->folderNames.push_back("Patches");
    for (int d = 0; d < shape % 4; ++d) f->folderNames.push_back(nameOf(r.next()));
    f->folderName = f->folderNames.back();
    f->fileName = nameOf(r.next()) + ".syx";
    for (int i = 0; i < (shape >> 5) % 4; ++i) {
      LibrarianPatch p;
      p.name = "PATCH " + nameOf(r.next());
      p.category = categoryName(r.next() % 22);
      f->patches.push_back(std::move(p));
    }
    b.lib.patchFiles.push_back(std::move(f));
    b.lib.createFolderFilesStructure(b.lib.patchFiles.back().get());
    // Now and then an empty folder: a second- or third-level node without files.
    if ((shape & 0x10) && !b.lib.bankFolders.empty()) {
      auto& top = *b.lib.bankFolders.back();
      if (top.subFolders.empty())
        top.subFolders.push_back(SubFolderFiles{nameOf(shape), {}, {}});
      else
        top.subFolders.back().subFolders.push_back(SubFolderFiles2{nameOf(shape), {}});
    }
  }
  b.lib.createNewCategoryPatchFiles();
  b.lib.createNewSearchPatchFiles("PATCH");
  b.lib.upperFileIndex = static_cast<int>(size % 7);

  LeftPatchPopupMenu left(b.plug, &b.lib, IRECT(0, 0, 10, 10), &b.editor);
  RightPatchPopupMenu right(b.plug, &b.lib, IRECT(0, 0, 10, 10), &b.editor);
  RightCategoryPopupMenu category(b.plug, &b.lib, IRECT(0, 0, 10, 10), &b.editor);
  RightSearchPopupMenu search(b.plug, &b.lib, IRECT(0, 0, 10, 10), &b.editor);
  ProgBankNamePopupMenu names(b.plug, &b.lib, IRECT(0, 0, 10, 10), &b.editor);
  for (FolderPopupMenu* m : std::initializer_list<FolderPopupMenu*>{&left, &right, &category, &search, &names})
    chooseEverything(b, *m);
  if (!b.g->scriptErrors().empty() || !b.g->unusedAnswers().empty()) std::abort();
  return 0;
}
