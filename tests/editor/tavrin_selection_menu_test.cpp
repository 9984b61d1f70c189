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
  SelectionMenus() : LibrarianCases(true) {}
};

TEST_F(SelectionMenus, BrowseKindsRelabelTheirLists) {
  const int names[] = {kPatchSelectionListUpper, kPatchSelectionListLower, kCurrentOpenPatchBankL, kCurrentOpenPatchBankR};
  // The four name lists' texts at one value.
  auto labels = [&](int value) {
    std::vector<std::string> out;
    for (int idx : names) out.push_back(label(idx, value));
    return out;
  };
  using L = std::vector<std::string>;
  // A long name through a rescan, logged as shown.
  const std::string longName = std::string(49, 'L') + ".syx", shown = std::string(47, 'L') + "~1.syx";
  edtest::writeBank(longName, 'D');
  press(p(), kRefreshFolders, 1);
  EXPECT_EQ(labels(3), L(4, shown));
  EXPECT_NE(h.logText().find("PATCH LIBRARIAN: Filename " + longName + " RENAMED TO " + shown +
                             " Because the filename was too long to fit in plug-in display!"),
            std::string::npos);
  // Category results: only the lower list's names change.
  p().setLowerListMode(true, false);
  p().patchTypeChanged(0, 1, false);
  const std::string category = lib().categoryFiles[0]->fileName;
  EXPECT_EQ(labels(0), (L{"Bank A.syx", category, "Bank A.syx", category}));
  EXPECT_EQ(lowerText(0), lib().categoryFiles[0]->patches[0].name);
  // Search results, none and then some.
  p().setLowerListMode(false, true);
  p().patchTypeChanged(0, 4, false);
  EXPECT_EQ(labels(0), (L{"Bank A.syx", "", "Bank A.syx", ""}));
  lib().createNewSearchPatchFiles("A1");
  p().patchTypeChanged(0, 4, false);
  EXPECT_EQ(labels(0)[1], "Search Results 1");
  EXPECT_EQ(lowerText(9), name14("A19"));
  // Another kind resets the indices and refills the lists only.
  lib().upperFileIndex = 2;
  p().patchTypeChanged(0, 7, false);
  EXPECT_EQ(lib().upperFileIndex, 0);
  EXPECT_EQ(labels(0)[1], "Search Results 1");
  // Relabelled from the bank files without a switch; then switched back.
  p().ResetPatchSelectionMenus();
  EXPECT_EQ(labels(1), L(4, "Bank B.syx"));
  p().setLowerListMode(false, false);
  p().patchTypeChanged(0, 0, false);
  EXPECT_EQ(labels(2), L(4, "Bank C.mid"));
  EXPECT_EQ(label(kCurrentOpenPerfBankL, 0), "");
  EXPECT_EQ(lib().lowerFileIndex, 0);
}

TEST_F(SelectionMenus, HeaderSelectorsFollowTheMode) {
  auto* programs = dynamic_cast<ProgramNumberPopupMenu*>(p().namedLayer("PROGRAMNUMBERMENU")->GetControl(0));
  ASSERT_NE(programs, nullptr);
  p().GetParam(kCurrentPatch)->Set(37);
  for (const int library : {0, 1}) {
    press(p(), kControlLibrary, library);
    EXPECT_EQ(edtest::layerShown(p(), "BANKNUMBERMENUPROGRAMS"), !library);
    EXPECT_EQ(edtest::layerShown(p(), "PROGBANKNAMEMENUPROGRAMS"), library == 1);
    EXPECT_EQ(std::string(programs->submenu(3)->GetItemText(7)), library ? name14("A37") : "Program 38");
    EXPECT_TRUE(programs->submenu(3)->IsItemChecked(7));
  }
  EXPECT_EQ(lib().targetSlot.load(), 37);  // the program is the upper slot
  EXPECT_EQ(view().selectedUpperSlot(), 37);
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
  ASSERT_EQ(upper->patches.size(), 100u);
  EXPECT_EQ(upper->patches[70], LibrarianPatch());  // filled with empty records
  for (int slot : {70, -1, 100}) EXPECT_EQ(shown(slot, false), "category unset!") << slot;
  EXPECT_EQ(shown(3, true), "BASS");
  EXPECT_EQ(edtest::shownText(p(), kControlDisplayCategory), current);  // never written
  lib().noUpperFile = 1;  // no upper bank: nothing shown
  EXPECT_EQ(shown(5, false), "BASS");
}

TEST_F(SelectionMenus, RightClickMenusReplaceTheLastOfTheirKind) {
  p().GetGUI()->OpenWindow(nullptr);
  IGraphicsHeadless& gui = h.gui();
  lib().targetSlot = 12;
  gui.answerMenuByText({"Set Category", "Pad"});
  p().showFileEditMenu(30, 40);
  IControl* first = p().lastSlotMenu(false);
  EXPECT_EQ(lib().upperFile()->patches[12].category, "PAD ");
  gui.answerMenuDismiss();
  p().showFileEditMenu(31, 41);
  EXPECT_NE(p().lastSlotMenu(false), first);
  EXPECT_EQ(gui.menus().back().rect, IRECT(31, 41, 31, 41));
  gui.answerMenuDismiss();
  p().showFileCopyMenu(5, 6);
  EXPECT_NE(p().lastSlotMenu(true), nullptr);
  EXPECT_TRUE(gui.scriptErrors().empty());
  EXPECT_TRUE(gui.unusedAnswers().empty());
}

}  // namespace
