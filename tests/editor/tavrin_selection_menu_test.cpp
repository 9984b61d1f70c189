// The bank lists' shown names, the browse kinds of the lower list, the
// header selectors' two modes, the category display of a slot and the slot
// menus of a right click.
#include <gtest/gtest.h>

#include "framework/IPopupMenu.h"
#include "hardware/ParameterList.h"
#include "librarian/HeaderMenus.h"
#include "support_cases.h"

namespace {

using edtest::LibrarianCases;
using edtest::name14;
using edtest::press;

TEST(TavrinShownNames, LongNamesAreShortenedWithCountersAndFitTheDisplay) {
  const std::string a47(47, 'a'), b47(47, 'b');
  Tavrin::ShownNames n;
  EXPECT_EQ(n.next(std::string(48, 'a') + ".SYX"), std::string(48, 'a') + ".SYX");  // 52 bytes
  EXPECT_EQ(n.next(a47 + "12.SYX"), a47 + "~1.syx");                                  // 53 bytes
  EXPECT_EQ(n.next("short.mid"), "short.mid");
  EXPECT_EQ(n.next(a47 + "345.mid"), a47 + "~2.mid");
  EXPECT_EQ(n.next(b47 + "345.mid"), b47 + "~1.mid");
  EXPECT_EQ(n.next(a47 + "345.sr2"), a47 + "~1.sr2");
  // Without a "." the whole name is the extension; the display takes 55.
  const std::string noDot = n.next(std::string(60, 'C'));
  EXPECT_EQ(noDot, std::string(47, 'C') + "~1." + std::string(5, 'c'));
  // A character is never cut in two.
  const std::string wide = std::string(46, 'w') + "\xC3\xA9" + "xxxxxx.syx";
  EXPECT_EQ(n.next(wide), std::string(46, 'w') + "~1.syx");
  Tavrin::ShownNames many;
  std::string last;
  for (int i = 0; i < 1000; ++i) last = many.next(a47 + "______" + std::to_string(i) + ".syx");
  EXPECT_EQ(last, a47 + "~1000.sy");
}

struct SelectionMenus : LibrarianCases {
  SelectionMenus() : LibrarianCases(true, true) {}
};

TEST_F(SelectionMenus, BrowseKindsRelabelTheirLists) {
  // Long names through a rescan, with the log line of each.
  const std::string longName = std::string(49, 'L') + ".syx";
  edtest::writeBank(longName, 'D');
  press(p(), kRefreshFolders, 1);
  ASSERT_EQ(lib().patchFiles.size(), 4u);
  const std::string shown = std::string(47, 'L') + "~1.syx";
  for (int idx : {kPatchSelectionListUpper, kPatchSelectionListLower, kCurrentOpenPatchBankL, kCurrentOpenPatchBankR})
    EXPECT_EQ(label(idx, 3), shown) << idx;
  EXPECT_NE(h.logText().find("PATCH LIBRARIAN: Filename " + longName + " RENAMED TO " + shown +
                             " Because the filename was too long to fit in plug-in display!"),
            std::string::npos);
  EXPECT_EQ(label(kCurrentOpenPerfBankL, 0), "");

  // Kind 1 labels only the lower list; the upper list keeps its names.
  p().setLowerListMode(true, false);
  p().patchTypeChanged(0, 1, false);
  EXPECT_EQ(label(kPatchSelectionListLower, 0), lib().categoryFiles[0]->fileName);
  EXPECT_EQ(label(kCurrentOpenPatchBankR, 0), lib().categoryFiles[0]->fileName);
  EXPECT_EQ(label(kPatchSelectionListUpper, 0), "Bank A.syx");
  EXPECT_EQ(label(kCurrentOpenPatchBankL, 0), "Bank A.syx");
  EXPECT_EQ(lowerText(0), lib().categoryFiles[0]->patches[0].name);

  // Kind 4 over an empty result list, then over results.
  p().setLowerListMode(false, true);
  p().patchTypeChanged(0, 4, false);
  EXPECT_EQ(label(kPatchSelectionListLower, 0), "");
  EXPECT_EQ(label(kCurrentOpenPatchBankR, 0), "");
  lib().createNewSearchPatchFiles("A1");
  p().patchTypeChanged(0, 4, false);
  EXPECT_EQ(label(kPatchSelectionListLower, 0), "Search Results 1");
  EXPECT_EQ(lowerText(9), name14("A19"));

  // Another kind only resets the indices and refills the lists.
  lib().upperFileIndex = 2;
  p().patchTypeChanged(0, 7, false);
  EXPECT_EQ(lib().upperFileIndex, 0);
  EXPECT_EQ(label(kPatchSelectionListLower, 0), "Search Results 1");

  // A relabelling from all bank files, without a switch.
  p().ResetPatchSelectionMenus();
  for (int idx : {kPatchSelectionListUpper, kPatchSelectionListLower, kCurrentOpenPatchBankL, kCurrentOpenPatchBankR})
    EXPECT_EQ(label(idx, 1), "Bank B.syx") << idx;

  p().setLowerListMode(false, false);
  p().patchTypeChanged(0, 0, false);
  EXPECT_EQ(label(kPatchSelectionListLower, 1), "Bank B.syx");
  EXPECT_EQ(lib().upperFileIndex, 0);
  EXPECT_EQ(lib().lowerFileIndex, 0);
}

TEST_F(SelectionMenus, HeaderSelectorsFollowTheMode) {
  auto* programs = dynamic_cast<ProgramNumberPopupMenu*>(p().namedLayer("PROGRAMNUMBERMENU")->GetControl(0));
  ASSERT_NE(programs, nullptr);
  p().GetParam(kCurrentPatch)->Set(37);
  p().GetParam(kCurrentBank)->Set(2);
  p().updateBankAndProgramMenuNames(true);
  EXPECT_TRUE(edtest::layerShown(p(), "BANKNUMBERMENUPROGRAMS"));
  EXPECT_FALSE(edtest::layerShown(p(), "PROGBANKNAMEMENUPROGRAMS"));
  EXPECT_STREQ(programs->submenu(3)->GetItemText(7), "Program 38");
  EXPECT_TRUE(programs->submenu(3)->IsItemChecked(7));

  press(p(), kControlLibrary, 1);
  EXPECT_TRUE(p().libraryControlMode());
  EXPECT_FALSE(edtest::layerShown(p(), "BANKNUMBERMENUPROGRAMS"));
  EXPECT_TRUE(edtest::layerShown(p(), "PROGBANKNAMEMENUPROGRAMS"));
  EXPECT_EQ(lib().targetSlot.load(), 37);
  EXPECT_EQ(view().selectedUpperSlot(), 37);
  EXPECT_EQ(std::string(programs->submenu(3)->GetItemText(7)), name14("A37"));
  press(p(), kControlLibrary, 0);
  EXPECT_TRUE(edtest::layerShown(p(), "BANKNUMBERMENUPROGRAMS"));
}

TEST_F(SelectionMenus, CategoryOfASlotShowsInTheLibrarianDisplay) {
  PatchFile* upper = lib().upperFile();
  upper->patches.resize(40);
  auto shown = [&](int slot, bool lower) {
    p().DisplayLibrarianPatchCategory(slot, lower);
    return edtest::shownText(p(), kControlDisplayLibCategory);
  };
  const std::string current = edtest::shownText(p(), kControlDisplayCategory);
  EXPECT_EQ(shown(9, false), "PAD ");
  EXPECT_EQ(upper->patches.size(), 100u);
  EXPECT_TRUE(upper->patches[70].messages.empty());
  EXPECT_EQ(upper->patches[70].name, "");
  for (int slot : {70, -1, 100}) EXPECT_EQ(shown(slot, false), "category unset!") << slot;
  EXPECT_EQ(shown(3, true), "BASS");
  // The current sound's category display is never written.
  EXPECT_EQ(edtest::shownText(p(), kControlDisplayCategory), current);
  // Without an upper bank nothing is shown.
  lib().noUpperFile = 1;
  EXPECT_EQ(shown(5, false), "BASS");
  EXPECT_EQ(p().librarianPatchCategory(5, false), "");
}

TEST_F(SelectionMenus, RightClickMenusReplaceTheLastOfTheirKind) {
  p().GetGUI()->OpenWindow(nullptr);
  IGraphicsHeadless& gui = h.gui();
  lib().targetSlot = 12;
  gui.answerMenuByText({"Set Category", "Pad"});
  p().showFileEditMenu(30, 40);
  IControl* first = p().lastSlotMenu(false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(lib().upperFile()->patches[12].category, "PAD ");
  EXPECT_EQ(h.value(kBankEditUnsaved), 1);
  gui.answerMenuDismiss();
  p().showFileEditMenu(31, 41);
  EXPECT_NE(p().lastSlotMenu(false), first);
  ASSERT_EQ(gui.menus().size(), 2u);
  EXPECT_EQ(gui.menus()[1].rect, IRECT(31, 41, 31, 41));
  gui.answerMenuDismiss();
  p().showFileCopyMenu(5, 6);
  EXPECT_NE(p().lastSlotMenu(true), nullptr);
  EXPECT_TRUE(gui.scriptErrors().empty());
  EXPECT_TRUE(gui.unusedAnswers().empty());
}

TEST(TavrinDisplaySetters, TextsValueStringsAndPanelNames) {
  edtest::Harness h(edtest::projectRoot());
  Tavrin& p = h.tavrin();
  p.displayText("Name", "Value", "CC|7");
  EXPECT_EQ(p.statusText(), "Name");
  EXPECT_EQ(edtest::shownText(p, kControlDisplayValue), "Value");
  EXPECT_EQ(edtest::shownText(p, kControlDisplayCC), "CC|7");
  EXPECT_EQ(Tavrin::getValueString(99.6), "100");
  EXPECT_EQ(Tavrin::getPanelString(2, "Filter"), "Timbre 2 Filter");
}

}  // namespace
