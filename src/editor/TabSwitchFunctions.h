#pragma once
// Puts the window into the state of one main tab: the page, the overlays and
// menus hidden, the common displays restored, the page's panels shown and
// greyed from the current parameter values.
//
// Threads: called with the editor lock held (the dispatch, the constructor,
// the state reader, the hub's refresh after a sound dump).
class Tavrin;

// The pages of the main tab, as values of kMainTab: the sound page is the
// one shown at start and after a state is loaded.
enum MainTab : int { kPanelFreeTab = 0, kLibrarianTab = 1, kSoundTab = 2, kModArpTab = 3 };

class TabSwitchFunctions {
 public:
  // paramIdx and aux are not used.
  static void mainTabSwitch(Tavrin* plug, int paramIdx, int tab, int aux);
};
