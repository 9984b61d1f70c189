#pragma once
// What the tests of the dispatch's cases share: a parameter set to a plain
// value and dispatched as a control would, the texts of the displays and
// the state of named layers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "editor/Tavrin.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/ITextControl.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "platform/folders.h"
#include "support_banks.h"
#include "support_midi.h"
#include "support_tavrin.h"
#include "uiconfig/ControlAction.h"

namespace edtest {

// The parameter takes the value and its dispatch runs, even when the value
// is the one it held.
inline void press(Tavrin& p, int idx, double value) {
  {
    KIT_MutexLock lock(p.GetMutex());
    p.GetParam(idx)->Set(value);
  }
  p.OnParamChange(idx);
}

// The text of the first control bound to a parameter ("" without one).
inline std::string shownText(Tavrin& p, int idx) {
  KIT_MutexLock lock(p.GetMutex());
  const ControlAction* action = p.GetParam(idx)->GetControlAction();
  auto* text = action && !action->controls.empty() ? dynamic_cast<ITextControl*>(action->controls.front()) : nullptr;
  return text ? text->GetTextForPlug() : "";
}

inline bool layerShown(Tavrin& p, const std::string& name) {
  ControlLayer* layer = p.namedLayer(name);
  return layer && layer->IsVisible();
}

// Every control of the layer is greyed out.
inline bool layerGrayed(Tavrin& p, const std::string& name) {
  ControlLayer* layer = p.namedLayer(name);
  bool grayed = layer != nullptr, any = false;
  if (layer) {
    layer->ForEachControl([&](IControl* c) {
      any = true;
      grayed = grayed && c->IsGrayed();
    });
  }
  return grayed && any;
}

// A bank of 100 dumps named "<letter>nn", categories nn % 21.
inline std::vector<uint8_t> bank(char letter) {
  std::vector<std::vector<uint8_t>> dumps;
  for (int i = 0; i < 100; ++i) {
    std::string name = std::string(1, letter) + (i < 10 ? "0" : "") + std::to_string(i);
    dumps.push_back(banks::model2Dump(i + letter, name, static_cast<uint8_t>(i % 21)));
  }
  return letter == 'C' ? banks::midiBank(dumps) : banks::rawBank(dumps);
}

inline void writeBank(const std::string& name, char letter) {
  std::filesystem::create_directories(platform::dataFolder() + "Patches");
  testsupport::writeFile(platform::dataFolder() + "Patches/" + name, bank(letter));
}

inline std::string name14(const std::string& s) { return s + std::string(14 - s.size(), ' '); }

// The plug-in over three banks in "Patches": A, B (raw) and C (a Standard
// MIDI File). Tests whose cases start jobs take a plain Tavrin, which the
// jobs may still call while it is destroyed.
struct LibrarianCases : ::testing::Test {
  explicit LibrarianCases(bool log = false, bool observed = true)
      : h(edtest::projectRoot(), nullptr, log, {}, observed) {
    writeBank("Bank A.syx", 'A');
    writeBank("Bank B.syx", 'B');
    writeBank("Bank C.mid", 'C');
    h.make();
  }
  Tavrin& p() { return h.tavrin(); }
  PatchLibrarian& lib() { return *p().librarian(); }
  LibrarianViewControl& view() { return *p().librarianView(); }
  std::string upperText(int slot) { return view().slotText(false, slot); }
  std::string lowerText(int slot) { return view().slotText(true, slot); }
  std::string label(int idx, int value) { return p().GetParam(idx)->GetDisplayText(value); }
  void waitForJob() { ASSERT_TRUE(hwtest::spinUntil([&] { return !p().jobRunning(); })); }

  Harness h;
};

}  // namespace edtest
