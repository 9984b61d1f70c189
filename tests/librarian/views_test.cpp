// The librarian's views on a headless context: slot geometry and hits,
// clicks, keys, drag and drop, Copy and Paste into a real librarian, the
// command menus, the folder menus over scanned trees, and the header
// selectors. Menus are answered from the context's script.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <thread>
#include <tuple>

#include "support_banks.h"
#include "support_views.h"
#include "testsupport.h"

using namespace viewtest;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

// A bank file of n patches named "PATCH nn" (seed varies the bodies).
std::unique_ptr<PatchFile> bankFile(const std::string& folder, const std::string& name, int n, int seed = 0) {
  auto f = std::make_unique<PatchFile>();
  f->patches = banks::patchesOf(banks::namedDumps(n, seed));
  f->folderName = folder;
  f->fileName = name;
  return f;
}

struct ViewBench : Bench {
  LibrarianViewControl* view;
  IBitmap background;
  explicit ViewBench(double scale = 1.0) {
    lib.patchFiles.push_back(bankFile("A", "upper.sr2", 100, 1));
    lib.patchFiles.push_back(bankFile("A", "lower.sr2", 60, 2));
    lib.lowerFileIndex = 1;
    background.W = 1288;
    background.H = 452;
    const IColor panel(255, 40, 40, 40);
    g->AttachPanelBackground(&panel);
    view = new LibrarianViewControl(plug, &editor, 107, 240, kLibrarianArea, &background, IRECT(), &lib, scale);
    g->AttachControl(view);
    editor.view = view;
  }
  IRECT rect(bool lower, int slot) const { return view->slotRect(lower, slot); }
  void click(bool lower, int slot, bool right = false) {
    IMouseMod m(!right, right);
    view->OnMouseDown(rect(lower, slot).L + 1, rect(lower, slot).T + 1, &m);
  }
  const LibrarianPatch& upper(int slot) const { return lib.patchFiles[0]->patches[static_cast<size_t>(slot)]; }
  void expectClean() const {
    EXPECT_TRUE(g->scriptErrors().empty());
    EXPECT_TRUE(g->unusedAnswers().empty());
  }
};

}  // namespace

TEST(SlotLists, GeometryAndHitsAtEveryScaleAndShortFilesShowEmptyTexts) {
  // scale, column width, row height, gap, lower list left offset, upper top, lower top
  const std::tuple<double, int, int, int, int, int, int> cases[] = {
      {0.75, 90, 13, 28, 519, 3, 3}, {1.0, 120, 18, 38, 693, 1, 0}, {1.25, 151, 22, 47, 866, 1, 1}};
  for (const auto& [s, w, h, gap, lowerLeft, upperTop, lowerTop] : cases) {
    ViewBench b(s);
    for (const bool lower : {false, true}) {
      const int left = 107 + (lower ? lowerLeft : 0), top = 240 + (lower ? lowerTop : upperTop);
      const IRECT r = b.rect(lower, 26);  // column 1, row 1
      EXPECT_EQ(std::tuple(r.L, r.T, r.R, r.B), std::tuple(left + w + gap, top + h, left + 2 * w + gap, top + 2 * h));
      EXPECT_EQ(b.view->hitSlot(lower, r.L, r.T), 26);
      EXPECT_EQ(b.view->hitSlot(lower, r.R - 1, r.B - 1), 26);
      EXPECT_EQ(b.view->hitSlot(lower, r.L, r.B), 27);     // bottom edge belongs below
      EXPECT_EQ(b.view->hitSlot(lower, r.R, r.T), -1);     // right edge is the gap
      EXPECT_EQ(b.view->hitSlot(lower, b.rect(lower, 99).L, b.rect(lower, 99).B), -1);
    }
  }
  ViewBench b;
  EXPECT_EQ(std::string(b.view->slotText(true, 59)), banks::patchName(59));
  EXPECT_EQ(std::string(b.view->slotText(true, 60)), "");
  // A category file of under 100 patches shows "" past its end.
  b.lib.createNewCategoryPatchFiles();
  b.editor.source = LowerListSource::Categories;
  b.lib.lowerFileIndex = 0;
  const size_t n = b.lib.categoryFiles[0]->patches.size();
  ASSERT_LT(n, 100u);
  b.view->patchSelectionLowerChanged();
  EXPECT_NE(std::string(b.view->slotText(true, static_cast<int>(n) - 1)), "");
  EXPECT_EQ(std::string(b.view->slotText(true, static_cast<int>(n))), "");
}

TEST(SlotLists, ClicksDoubleClicksAndKeysSelectWrapAndSend) {
  ViewBench b;
  b.click(true, 10);
  EXPECT_EQ(std::tuple(b.view->currentSlot(), b.lib.targetSlot.load(), b.plug->GetParam(kCurrentPatch)->Int()),
            std::tuple(10, -1, 10));
  // start slot, key, new slot: up, down, left and right wrap.
  const std::tuple<int, int, int> moves[] = {{0, 1, 99}, {99, 2, 0}, {10, 3, 85}, {80, 4, 5}, {30, 3, 5}};
  for (const auto& [from, key, to] : moves) {
    b.click(false, from);
    b.editor.calls.clear();
    EXPECT_TRUE(b.view->OnKeyDown(0, 0, key));
    EXPECT_EQ(std::tuple(b.view->currentSlot(), b.view->selectedUpperSlot(), b.lib.targetSlot.load()),
              std::tuple(to, to, to));
    EXPECT_EQ(b.editor.calls, Names{"send " + std::to_string(to) + " upper"});
  }
  EXPECT_FALSE(b.view->OnKeyDown(0, 0, 7));
  // A miss selects nothing and keeps the current slot; keys then do nothing.
  IMouseMod left(true);
  b.view->OnMouseDown(0, 0, &left);
  EXPECT_EQ(std::tuple(b.view->currentSlot(), b.lib.targetSlot.load()), std::tuple(5, -1));
  b.editor.closed = false;
  EXPECT_FALSE(b.view->OnKeyDown(0, 0, 1));
  EXPECT_TRUE(b.editor.closed);
  EXPECT_EQ(b.view->currentSlot(), 5);
  // Double-clicks send from either list; without an output port nothing.
  b.editor.calls.clear();
  b.view->OnMouseDblClick(b.rect(true, 42).L, b.rect(true, 42).T, &left);
  b.view->OnMouseDblClick(b.rect(false, 7).L, b.rect(false, 7).T, &left);
  b.plug->setValue(kDeviceOutSelection, 0);
  b.view->OnMouseDblClick(b.rect(false, 8).L, b.rect(false, 8).T, &left);
  EXPECT_EQ(b.editor.calls,
            (Names{"grey saveChangesLayer", "send 42 lower", "ungrey saveChangesLayer", "send 7 upper"}));
  EXPECT_EQ(b.view->currentSlot(), 7);
  b.expectClean();
}

TEST(SlotLists, DropAndPastePutTheSourceIntoTheIntendedUpperSlot) {
  ViewBench b;
  const LibrarianPatch source = b.lib.patchFiles[1]->patches[3];
  const LibrarianPatch before = b.upper(20);
  IMouseMod left(true);
  auto drag = [&](int from, bool lowerTarget, int to) {
    b.view->OnMouseDrag(b.rect(true, from).L + 2, b.rect(true, from).T + 2, 0, 0, &left);
    b.view->OnMouseUp(b.rect(lowerTarget, to).L + 2, b.rect(lowerTarget, to).T + 2, &left);
  };
  drag(3, false, 20);  // drag not enabled yet
  EXPECT_EQ(b.upper(20), before);
  b.view->setDragEnabled(true);
  drag(3, true, 20);  // a drop on the lower list
  drag(70, false, 20);  // a source past the file's end
  for (int far : {INT_MIN, INT_MAX}) b.view->OnMouseDrag(far, far, 0, 0, &left);  // the box stays in range
  b.editor.busy = true;
  drag(3, false, 20);  // during a job
  b.editor.busy = false;
  EXPECT_EQ(b.upper(20), before);
  EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
  // The drag box shows while dragging (drawn once, with a selection).
  b.g->OpenWindow(nullptr);
  b.view->OnMouseDrag(b.rect(true, 3).L + 2, b.rect(true, 3).T + 2, 0, 0, &left);
  EXPECT_TRUE(b.view->dragging());
  EXPECT_FALSE(b.g->tick().Empty());
  b.view->OnMouseUp(b.rect(false, 20).L + 2, b.rect(false, 20).T + 2, &left);
  EXPECT_EQ(b.upper(20).messages, source.messages);
  EXPECT_EQ(std::string(b.view->slotText(false, 20)), source.name);
  EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 1.0);

  // Copy takes the patch itself: Paste stores it after the lower file changed.
  const LibrarianPatch copied = b.lib.patchFiles[1]->patches[5];
  b.view->CopySlotData(b.rect(true, 5).L, b.rect(true, 5).T);
  b.lib.patchFiles[1]->patches[5] = b.lib.patchFiles[0]->patches[0];
  b.lib.lowerFileIndex = 7;  // no lower file any more
  b.view->PasteSlotData(b.rect(false, 99).L, b.rect(false, 99).T);
  EXPECT_EQ(b.upper(99).messages, copied.messages);
  // A paste that misses, and a copy of empty space, store nothing.
  const auto bank = b.lib.patchFiles[0]->patches;
  b.view->PasteSlotData(0, 0);
  EXPECT_EQ(b.lib.targetSlot.load(), -1);
  b.view->CopySlotData(0, 0);
  b.view->PasteSlotData(b.rect(false, 1).L, b.rect(false, 1).T);
  EXPECT_EQ(b.lib.patchFiles[0]->patches, bank);
}

TEST(SlotLists, RightClicksOpenTheSlotMenusAndRenameNeedsAPatch) {
  ViewBench b;
  b.g->answerMenuByIndex({2});  // "Rename"
  b.click(false, 4, true);
  EXPECT_EQ(b.editor.calls, (Names{"ungrey saveChangesLayer", "slot menu", "show patchRename", "category 4 upper"}));
  EXPECT_FALSE(b.editor.closed);
  EXPECT_STREQ(b.plug->GetParam(kPatchRename)->GetDisplayText(0), banks::patchName(4).c_str());
  b.g->answerMenuByIndex({0});  // "Copy" on the lower list
  b.click(true, 9, true);
  EXPECT_EQ(b.view->copySourceSlot(), 9);
  EXPECT_EQ(b.g->menus().back().lines, Names{"[ ] Copy"});
  // Rename without an upper bank only clears the flag.
  b.lib.noUpperFile = 1;
  b.editor.calls.clear();
  b.editor.closed = true;
  b.view->renameSlot(0, 0);
  EXPECT_TRUE(b.editor.calls.empty());
  EXPECT_FALSE(b.editor.closed);
  b.expectClean();
}

TEST(CommandMenus, ItemsInOrderAndEachChoiceMakesItsCall) {
  ViewBench b;
  BankEditPopupMenu menu(b.plug, &b.lib, scaledRect(BankEditPopupMenu::placement().rect, 1.25), &b.editor);
  EXPECT_EQ(std::tuple(menu.GetRECT()->L, menu.GetRECT()->B), std::tuple(700, 296));
  b.lib.targetSlot = 12;
  b.plug->setValue(kCurrentBank, 2);
  b.plug->setValue(kCurrentPatch, 34);
  // answer path, the calls it makes
  const std::pair<std::vector<int>, Names> cases[] = {
      {{0, 0}, {"job 4 editor"}},         {{0, 1}, {"job 6 edit buffer"}},   {{0, 2}, {"job 6 program"}},
      {{0, 7}, {"job 7 3"}},              {{2, 0}, {"store 12 at 234"}},     {{2, 6}, {"store all 4 0"}},
      {{4}, {"job 4 editor"}},            {{5}, {"job 0 device transfer"}}, {{10, 1}, {"import syx", "param 99"}},
      {{11}, {"param 99"}},               {{12, 1}, {"open manual"}},        {{12, 4}, {"help 2"}},
      {{14}, {"show aboutWindow"}}};
  for (const auto& [path, calls] : cases) {
    b.editor.calls.clear();
    b.g->answerMenuByIndex(path);
    menu.OnMouseDown(0, 0, nullptr);
    EXPECT_EQ(b.editor.calls, calls) << path[0];
  }
  EXPECT_EQ(b.g->menus()[0].lines,
            (Names{"[ ] Request Patch Data >", "  [ ] from Active Slot to Plug-in GUI",
                   "  [ ] from Active Slot to Librarian", "  [ ] from Selected Program Slot & Bank", "  ----",
                   "  [ ] Patches from 001-100",
                   "  [ ] Patches from 101-200", "  [ ] Patches from 201-300", "  [ ] Patches from 301-400",
                   "  [ ] Patches from 401-500", "----", "[ ] Store Patch Data >",
                   "  [ ] To Currently Selected Slot & Bank",
                   "  ----", "  [ ] All Patches to P001-P100", "  [ ] All Patches to P101-P200",
                   "  [ ] All Patches to P201-P300", "  [ ] All Patches to P301-P400", "  [ ] All Patches to P401-P500",
                   "----", "[ ] Sync Current Data from HW", "[ ] Push Current Data to HW", "----",
                   "[ ] Save (Overwrite current bank)", "[ ] Save As... >", "  [ ] Standard MIDI (*.mid)",
                   "  [ ] Tavrin Format (*.sr2)", "----", "[ ] Import... >", "  [ ] Standard MIDI (*.mid)",
                   "  [ ] SysEx (*.syx / *.sr2)", "[ ] Refresh Folders", "[ ] Other Helpful things... >",
                   "  [ ] Open Data Folder", "  [ ] Open User Manual", "  [ ] Open Support Ticket",
                   "  [ ] Check for Updates", "  [ ] DAW Setup Guides", "----", "[ ] About this Plug-in..."}));
  for (const auto& rec : b.g->menus())
    for (const std::string& l : rec.lines) EXPECT_EQ(l.find("[x]"), std::string::npos) << l;

  // Unsaved edits: no refresh, the status says why; an import still copies.
  // No target slot or no bank: no single-slot job; a busy thread drops jobs.
  b.plug->setValue(kBankEditUnsaved, 1);
  b.lib.targetSlot = -1;
  b.editor.calls.clear();
  for (const std::vector<int>& path : {std::vector<int>{11}, {10, 0}, {0, 1}, {2, 0}}) {
    b.g->answerMenuByIndex(path);
    menu.OnMouseDown(0, 0, nullptr);
  }
  b.lib.noUpperFile = 1;
  b.editor.busy = true;
  for (const std::vector<int>& path : {std::vector<int>{0, 4}, {5}}) {
    b.g->answerMenuByIndex(path);
    menu.OnMouseDown(0, 0, nullptr);
  }
  EXPECT_EQ(b.editor.calls, (Names{"status Save bank or Discard changes!", "import mid",
                                   "status Save bank or Discard changes!", "job 0 device transfer dropped"}));
  b.expectClean();
}

TEST(CommandMenus, SlotMenuItemsNeedATargetAndCategoriesPassTheirIndex) {
  ViewBench b;
  FileEditPopupMenu menu(b.plug, &b.lib, IRECT(5, 5, 5, 5), &b.editor);
  b.lib.targetSlot = 3;
  const std::pair<std::vector<int>, Names> cases[] = {{{3, 20}, {"set category 20"}}, {{5}, {"job 8"}},
                                                      {{6, 0}, {"job 0 librarian"}},  {{6, 3}, {"job 6 program"}},
                                                      {{8, 0}, {"single model 1"}}};
  for (const auto& [path, calls] : cases) {
    b.editor.calls.clear();
    b.g->answerMenuByIndex(path);
    menu.doPopupMenu(&b.editor, 5, 5);
    EXPECT_EQ(b.editor.calls, calls) << path[0];
  }
  EXPECT_EQ(b.g->menus()[0].lines.size(), 9u + 21 + 4 + 2);
  b.editor.calls.clear();
  b.lib.targetSlot = 100;
  for (const std::vector<int>& path : {std::vector<int>{5}, {6, 2}}) {
    b.g->answerMenuByIndex(path);
    menu.doPopupMenu(&b.editor, 5, 5);
  }
  EXPECT_TRUE(b.editor.calls.empty());
  b.expectClean();
}

namespace {

// A scanned Patches tree of every folder shape, a duplicate pair (A/S/same.syx,
// B/S/same.syx) and an empty third-level folder added to A.
struct TreeBench : ViewBench {
  testsupport::ScopedFolders folders;
  TreeBench() {
    lib.patchFiles.clear();
    const std::string p = folders.data() + "Patches/";
    for (const char* f : {"A/a.syx", "A/S/same.syx", "A/X/x.syx", "B/S/same.syx", "B/b.syx", "r.syx"}) {
      fs::create_directories(fs::path(p + f).parent_path());
      testsupport::writeFile(p + f, banks::rawBank(banks::namedDumps(100, f[0])));
    }
    lib.loadPatchesFromFilesystem(p);
    lib.bankFolders[0]->subFolders[0].subFolders.push_back(SubFolderFiles2{"Z", {}});
    lib.createNewSearchPatchFiles("PATCH 0");
    lib.upperFileIndex = lib.lowerFileIndex = 0;
  }
  Names rootLines(const std::vector<std::string>& lines) {
    Names v;
    for (const std::string& l : lines)
      if (l.rfind("  ", 0) != 0) v.push_back(l);
    return v;
  }
};

}  // namespace

TEST(FolderMenus, TreesShowTheirShapeAndAChoiceOpensTheFileItWasBuiltFrom) {
  TreeBench b;
  ASSERT_EQ(b.lib.patchFiles.size(), 6u);
  EXPECT_EQ(b.lib.patchFiles[4]->fullPath(), b.folders.data() + "Patches/B/S/same.syx");
  LeftPatchPopupMenu left(b.plug, &b.lib, scaledRect(kLeftPatchMenuRow.placement.rect, 1.0), &b.editor);
  RightCategoryPopupMenu category(b.plug, &b.lib, kRightCategoryMenuRow.placement.rect, &b.editor);
  RightSearchPopupMenu search(b.plug, &b.lib, scaledRect(kRightSearchMenuRow.placement.rect, 1.0), &b.editor);
  for (FolderPopupMenu* m : std::initializer_list<FolderPopupMenu*>{&left, &category, &search}) {
    b.g->answerMenuDismiss();
    m->OnMouseDown(0, 0, nullptr);
  }
  // Empty names and index 0: the first file item is checked.
  EXPECT_EQ(b.g->menus()[0].lines,
            (Names{"[ ] A >", "  [ ] S >", "    [x] same.syx", "  [ ] X >", "    [ ] x.syx", "  [ ] Z >", "  [ ] a.syx",
                   "[ ] B >", "  [ ] S >", "    [ ] same.syx", "  [ ] b.syx", "[ ] r.syx"}));
  EXPECT_EQ(b.rootLines(b.g->menus()[1].lines).size(), 20u);
  EXPECT_EQ(b.rootLines(b.g->menus()[2].lines), (Names{"[x] Search Results 1"}));

  // The second of two same-named files in same-named folders opens itself,
  // and a rebuild by its names keeps it.
  b.editor.linked = &left;  // any control stands in for the list's linked one
  b.g->answerMenuByIndex({1, 0, 0});
  left.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(std::tuple(b.lib.upperFileIndex, b.plug->GetParam(kPatchSelectionListUpper)->Int()), std::tuple(4, 4));
  EXPECT_EQ(b.editor.rememberedFileName(ILibrarianEditor::Side::Upper), "same.syx");
  EXPECT_EQ(std::string(b.view->slotText(false, 0)), b.lib.patchFiles[4]->patches[0].name);
  left.refreshFolderStructure(&b.lib, &b.editor, 0, "same.syx", "S");
  EXPECT_EQ(b.lib.upperFileIndex, 4);
  ASSERT_EQ(left.entries()[4].folderName, "S");
  EXPECT_TRUE(left.entries()[4].menu->IsItemChecked(0));
  EXPECT_FALSE(left.entries()[0].menu->IsItemChecked(0));
  // Names that match nothing check the running index; past the end, nothing.
  left.refreshFolderStructure(&b.lib, &b.editor, 5, "none", "none");
  EXPECT_TRUE(left.rootMenu()->IsItemChecked(2));
  left.checkMenuItemAlone(&b.lib, &b.editor, 6);
  for (const auto& e : left.entries())
    for (int i = 0; i < e.menu->GetNItems(); ++i) EXPECT_FALSE(e.menu->IsItemChecked(i));
  // A dismissal re-applies the index to the parameter.
  b.plug->setValue(kPatchSelectionListUpper, 1);
  b.g->answerMenuDismiss();
  left.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(b.plug->GetParam(kPatchSelectionListUpper)->Int(), 4);
  b.expectClean();
}

TEST(HeaderSelectors, HardwareAndLibraryModeChoicesAndTheBankNameMenu) {
  TreeBench b;
  ProgramNumberPopupMenu program(b.plug, &b.lib, ProgramNumberPopupMenu::placement().rect, &b.editor);
  BankNumberPopupMenu bank(b.plug, &b.lib, scaledRect(BankNumberPopupMenu::placement().rect, 1.0), &b.editor);
  ProgBankNamePopupMenu names(b.plug, &b.lib, scaledRect(kProgBankNameMenuRow.placement.rect, 1.0), &b.editor);
  program.refreshPatchNames(&b.lib, &b.editor, 37);
  EXPECT_STREQ(program.submenu(3)->GetItemText(7), "Program 38");
  EXPECT_TRUE(program.submenu(3)->IsItemChecked(7));
  EXPECT_STREQ(program.submenu(9)->GetItemText(9), "Program 100");
  EXPECT_STREQ(program.rootMenu()->GetItemText(9), "91-100");
  for (const auto& [b0, checked] : {std::pair{7, -1}, {4, 4}}) {
    bank.refreshPatchNames(&b.lib, &b.editor, b0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(bank.menu()->IsItemChecked(i), i == checked);
  }
  // Hardware mode: "Program 05", then a bank with the job thread busy.
  b.g->answerMenuByIndex({0, 4});
  program.OnMouseDown(0, 0, nullptr);
  b.editor.busy = true;
  b.g->answerMenuByIndex({3});
  bank.OnMouseDown(0, 0, nullptr);
  b.g->answerMenuDismiss();
  bank.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(b.editor.calls, (Names{"bank change", "job 5", "bank change", "job 5 dropped"}));
  EXPECT_EQ(std::tuple(b.plug->GetParam(kCurrentPatch)->Int(), b.plug->GetParam(kCurrentBank)->Int()),
            std::tuple(4, 3));
  b.editor.busy = false;

  // Library mode: the upper bank's names; a choice selects and sends.
  b.editor.library = true;
  b.editor.calls.clear();
  b.plug->setValue(kPatchSelectionListUpper, 1);
  program.refreshPatchNames(&b.lib, &b.editor, 0);
  EXPECT_EQ(std::string(program.submenu(2)->GetItemText(2)), b.lib.patchFiles[1]->patches[22].name);
  b.g->answerMenuByIndex({2, 2});
  program.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(std::tuple(b.view->selectedUpperSlot(), b.lib.targetSlot.load(), b.plug->GetParam(kCurrentPatch)->Int()),
            std::tuple(22, 22, 22));
  // Without a bank at the list position the texts are empty.
  b.plug->setValue(kPatchSelectionListUpper, 40);
  program.refreshPatchNames(&b.lib, &b.editor, 0);
  EXPECT_STREQ(program.submenu(0)->GetItemText(0), "");
  // The bank-name menu: a dismissal sends nothing; a choice of file 5 sends
  // the current slot of it, kCurrentBank clamped to its range.
  b.g->answerMenuDismiss();
  names.OnMouseDown(0, 0, nullptr);
  b.g->answerMenuByIndex({2});
  names.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(b.editor.calls, (Names{"send 22 upper", "menus spare bank", "send 22 upper"}));
  EXPECT_EQ(std::tuple(b.lib.upperFileIndex, b.plug->GetParam(kCurrentBank)->Int()), std::tuple(5, 4));
  b.expectClean();
}

TEST(SlotLists, AJobThreadWritingTheTargetWhileTheUserClicks) {
  ViewBench b;
  std::atomic<bool> stop{false};
  std::thread job([&] {
    for (int i = 0; !stop; ++i) {
      b.lib.targetSlot = i % 100;
      b.view->setSelectionFromJob(i % 100);
    }
  });
  IMouseMod left(true);
  for (int i = 0; i < 2000; ++i) {
    KIT_MutexLock lock(b.plug->GetMutex());
    b.click(i % 2 == 1, i % 100);
    b.view->OnKeyDown(0, 0, 1 + i % 4);
    b.view->OnMouseDown(0, 0, &left);
  }
  stop = true;
  job.join();
  EXPECT_GE(b.view->currentSlot(), 0);
  EXPECT_LT(b.view->currentSlot(), 100);
}
