// The window's layout and its geometry checks: rectangles as the factories
// make them, texts measured as the window draws them, the sets of layers
// shown together, and each offence of a small description found once.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "framework/IControl.h"
#include "framework/IParam.h"
#include "support_uiconfig.h"
#include "uiconfig/AuthoringCheck.h"
#include "uiconfig/WindowLayout.h"

namespace {

using uiconfig::Violation;
using uitest::describe;
using uitest::projectMap;

uiconfig::InstrumentMap mapOf(const std::string& body) {
  return uiconfig::readInstrumentMap("<uiconfig>" + body + "</uiconfig>", "<sysexlist/>");
}

// Two captions over each other, a caption past the bottom of its panel and a
// switch without words: each is one offence, named with its element and the
// three scales.
TEST(WindowGeometry, CraftedDescriptionShowsEachOffenceOnce) {
  const uiconfig::InstrumentMap map = mapOf(
      "<background imageId=\"BG_ID_EDIT\" position=\"10,112\"/>"
      "<panel title=\"TEST\" bounds=\"20,120,300,200\"/>"
      "<switch name=\"Alpha\" label=\"Long Alpha Caption\" paramId=\"kShowLibrarian\" imageId=\"BUTTON_SMALL_ID\" "
      "position=\"30,150\" valueBounds=\"0,0,1\"/>"
      "<switch name=\"Beta\" labelAt=\"above\" paramId=\"kShowModMatrix\" imageId=\"BUTTON_SMALL_ID\" "
      "position=\"120,168\" valueBounds=\"0,0,1\"/>"
      "<knobcontrol type=\"ccKnob\" name=\"Gain\" paramId=\"kVolume\" imageId=\"KNOB_ID127\" position=\"250,270\" "
      "valueBounds=\"0,0,127,1\" ccNumber=\"55\"/>"
      "<switch name=\"Gamma\" label=\"\" paramId=\"kControlLibrary\" imageId=\"BUTTON_SMALL_ID\" "
      "position=\"30,250\" valueBounds=\"0,0,1\"/>");
  ASSERT_TRUE(map.ok) << map.error;
  const std::vector<Violation> v = uiconfig::checkGeometry(map);
  ASSERT_EQ(v.size(), 3u) << describe(v);
  const std::string scales = " at 0.75, 1.00, 1.25";
  EXPECT_EQ(v[0].rule, "outside-panel");
  EXPECT_EQ(v[0].element, "label \"Gain\" of knobcontrol ccKnob kVolume (line 1) / panel \"TEST\" (line 1)" + scales);
  EXPECT_EQ(v[1].rule, "overlap");
  EXPECT_NE(v[1].element.find("label \"Beta\" of switch kShowModMatrix"), std::string::npos) << v[1].element;
  EXPECT_NE(v[1].element.find("label \"Long Alpha Caption\" of switch kShowLibrarian"), std::string::npos);
  EXPECT_EQ(v[2], (Violation{"unlabelled", "switch kControlLibrary (line 1)" + scales}));
}

// An offence that only some scales show is named with those scales: menu
// texts are measured at each scale's font size, which does not grow in step
// with the window, so a text that spills over its caption at 1.0 keeps clear
// of it at 0.75 and 1.25.
TEST(WindowGeometry, OffencesNameTheScalesTheyHappenAt) {
  const uiconfig::InstrumentMap map = mapOf(
      "<background imageId=\"BG_ID_EDIT\" position=\"10,112\"/>"
      "<menucontrol type=\"ccMenu\" name=\"Mode\" paramId=\"kArpOnOff\" position=\"100,200,60\" labelAt=\"left\" "
      "valueBounds=\"0,0,3\" valueList=\"m\" ccNumber=\"39\"/>"
      "<valueLists><list name=\"m\"><value>OFF</value><value>ON</value><value>MMMMMMMMMM</value></list>"
      "</valueLists>");
  ASSERT_TRUE(map.ok);
  uiconfig::Box r;
  ASSERT_TRUE(uiconfig::elementRect(map.elements[1], 1.25, r));
  EXPECT_EQ(r, (uiconfig::Box{125, 250, 200, 266}));
  // 10 characters: wider than the menu at 1.0 only.
  ASSERT_EQ(uiconfig::menuExtent("MMMMMMMMMM", 13).w, 70);
  ASSERT_EQ(uiconfig::menuExtent("MMMMMMMMMM", 9).w, 40);
  ASSERT_EQ(uiconfig::menuExtent("MMMMMMMMMM", 16).w, 80);
  EXPECT_EQ(uiconfig::checkGeometry(map),
            (std::vector<Violation>{{"overlap", "label \"Mode\" of menucontrol ccMenu kArpOnOff (line 1) / text of "
                                                "menucontrol ccMenu kArpOnOff (line 1) at 1.00"}}));
}

// A group's sub-layers on one spot are shown one at a time, so they are not
// held against each other; a sub-layer shown with them is; an overlay hides
// what lies wholly under it and cuts what it only partly covers.
TEST(WindowGeometry, SubLayersAndOverlaysAreCheckedAsShown) {
  const std::string slot = "<background imageId=\"BG_ID_KEYTRACK\" position=\"30,300\"/>"
                           "<buttoncontrol type=\"ccButton\" name=\"Key\" paramId=\"kOscillator1Keytrack\" "
                           "imageId=\"BUTTON_SML_LED_ID\" position=\"40,320\" valueBounds=\"0,0,1\" ccNumber=\"5\"/>";
  const std::string knob = "<background imageId=\"BG_ID_UNISON\" position=\"30,300\"/>"
                           "<knobcontrol type=\"ccKnob\" name=\"Det\" paramId=\"kUnisonDetune\" imageId=\"KNOB_ID127\" "
                           "position=\"40,304\" valueBounds=\"0,0,127,1\" ccNumber=\"57\"/>";
  const std::string extra = "<switch name=\"Over\" paramId=\"kShowLibrarian\" imageId=\"BUTTON_SMALL_ID\" "
                            "position=\"44,330\" valueBounds=\"0,0,1\"/>";
  const uiconfig::InstrumentMap map = mapOf(
      "<layer name=\"root\" id=\"0\"><layer name=\"page\" id=\"2\">"
      "<background imageId=\"BG_ID_EDIT\" position=\"10,112\"/>"
      "<layer name=\"a\" id=\"3\">" + slot + "</layer><layer name=\"b\" id=\"4\">" + knob + "</layer>"
      "<layer name=\"c\" id=\"5\">" + extra + "</layer>"
      "<knobcontrol type=\"ccKnob\" name=\"Cut\" paramId=\"kFilterCutoff\" imageId=\"KNOB_ID127\" position=\"400,560\" "
      "valueBounds=\"0,0,127,1\" ccNumber=\"45\"/>"
      "<knobcontrol type=\"ccKnob\" name=\"Res\" paramId=\"kFilterResonance\" imageId=\"KNOB_ID127\" "
      "position=\"600,540\" valueBounds=\"0,0,127,1\" ccNumber=\"46\"/>"
      "</layer></layer>"
      "<layer name=\"dialog\" id=\"0\"><background imageId=\"BG_RENAME_ID\" position=\"380,600\"/></layer>");
  ASSERT_TRUE(map.ok);
  const std::vector<uiconfig::WindowView> views = uiconfig::windowViews(map);
  std::vector<std::string> names;
  for (const uiconfig::WindowView& v : views) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"page2", "page2-b", "dialog-page2", "dialog-page2-b"}));
  EXPECT_TRUE(views[0].shown[1] && !views[0].shown[3] && views[0].shown[4]);  // a and c, not b
  EXPECT_TRUE(!views[1].shown[2] && views[1].shown[3] && views[1].shown[4]);  // b and c, not a

  const std::vector<Violation> v = uiconfig::checkGeometry(map);
  std::set<std::string> seen;
  for (const Violation& x : v) {
    EXPECT_EQ(x.element.find("kOscillator1Keytrack (line 1) / knobcontrol"), std::string::npos) << x.element;
    if (x.element.find("kShowLibrarian") != std::string::npos && x.element.find("kOscillator1Keytrack") !=
                                                                      std::string::npos)
      seen.insert("c over a");
    if (x.element.find("kShowLibrarian") != std::string::npos && x.element.find("kUnisonDetune") != std::string::npos)
      seen.insert("c over b");
    if (x.element.find("label \"Res\"") != std::string::npos && x.element.find("BG_RENAME_ID") != std::string::npos)
      seen.insert("cut by the dialog");
    // The cutoff's caption lies wholly under the dialog, its knob partly:
    // neither is cut text.
    EXPECT_EQ(x.element.find("kFilterCutoff"), std::string::npos) << x.element;
  }
  EXPECT_EQ(seen, (std::set<std::string>{"c over a", "c over b", "cut by the dialog"})) << describe(v);
}

// The rectangles of the layout are those the factories give the project's
// controls at each scale, and the menu texts measure as the window measures
// them.
TEST(WindowGeometry, RectanglesAndTextsMatchTheBuiltWindow) {
  const uiconfig::InstrumentMap& map = projectMap();
  for (double scale : uiconfig::kWindowScales) {
    uitest::Window w(static_cast<int>(1500 * scale), static_cast<int>(757 * scale));
    uitest::linkProjectResources(w.res());
    w.build(0, scale);
    std::vector<int> seen(400, 0);
    int compared = 0;
    for (const uiconfig::MapElement& e : map.elements) {
      if (e.param < 0 || e.param >= 306 || e.tag == "multiFx") continue;
      const int k = seen[static_cast<size_t>(e.param)]++;
      ControlAction* a = w.plug->GetParam(e.param)->GetControlAction();
      if (!a || k >= static_cast<int>(a->controls.size())) continue;
      uiconfig::Box b;
      ASSERT_TRUE(uiconfig::elementRect(e, scale, b)) << e.label();
      const IRECT r = *a->controls[static_cast<size_t>(k)]->GetRECT();
      EXPECT_EQ(b, (uiconfig::Box{r.L, r.T, r.R, r.B})) << e.label() << " at " << scale;
      ++compared;
    }
    EXPECT_GT(compared, 200) << scale;
    for (int size : {9, 13, 16, 22})
      for (const char* text : {"AFTERTOUCH", "1/16T", "-- INIT --"}) {
        IText t(size, nullptr, UIConfigManager::kMenuFont);
        IRECT r(0, 0, 0, 0);
        ASSERT_TRUE(w.g->DrawIText(&t, text, &r, true));
        EXPECT_EQ(uiconfig::menuExtent(text, size).w, r.R - r.L) << text << " " << size;
      }
  }
}

// The project's window: no offence at any scale; every page state and
// overlay the editor shows is one view, oscillators 2 and 3 in every state
// of the sound page, each panel the oscillator 1 shape switches in one.
TEST(WindowGeometry, ProjectWindowIsLegibleInEveryView) {
  const uiconfig::InstrumentMap& map = projectMap();
  EXPECT_EQ(uiconfig::checkGeometry(map), std::vector<Violation>()) << describe(uiconfig::checkGeometry(map));
  auto layer = [&](const char* name) {
    for (size_t l = 0; l < map.layers.size(); ++l)
      if (map.layers[l].name == name) return l;
    return map.layers.size();
  };
  std::multiset<std::string> pictures;
  std::set<std::string> slots;
  for (const uiconfig::WindowView& v : uiconfig::windowViews(map)) {
    if (v.picture) pictures.insert(v.pictureName);
    EXPECT_FALSE(v.shown[layer("parameterRanges")]);
    if (v.page != 2 || v.overlay >= 0) continue;
    EXPECT_TRUE(v.shown[layer("oscillator2Parameters")] && v.shown[layer("oscillator3Parameters")]);
    EXPECT_TRUE(v.shown[layer("lfo1ClockedLayer")]);
    for (const char* s : {"osc1KeytrackBtn", "osc1UnisonKnob", "osc1AmpEnvFade"})
      if (v.shown[layer(s)]) slots.insert(s);
  }
  EXPECT_EQ(slots.size(), 3u);
  for (const char* p : {"page0", "page1", "page1-searchField", "page2", "page2-osc1UnisonKnob", "page3",
                        "aboutWindow", "midiFilterSettings", "patchRename", "firstRunNotification"})
    EXPECT_EQ(pictures.count(p), 1u) << p;
  EXPECT_EQ(pictures.count("pattStepOverlayer02"), 0u);  // a shade over a step column: nothing to picture

  // Every control that acts is labelled, and the buttons with words say them.
  const uiconfig::WindowArt art = uiconfig::layoutArt(map);
  for (size_t i = 0; i < map.elements.size(); ++i)
    if (art.visible[i] && uiconfig::actsOnClick(map, i)) EXPECT_TRUE(art.labelled[i]) << map.elements[i].label();
  EXPECT_EQ(uiconfig::imageWords(map, "BTN_SEE_ABOUT_ID"), std::vector<std::string>{"ABOUT"});
  EXPECT_EQ(uiconfig::imageWords(map, "BTN_RADIO_ARP_ID").size(), 16u);
}

}  // namespace
