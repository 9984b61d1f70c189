// The window's layout and its geometry checks: rectangles as the factories
// make them, texts measured as the window draws them, the sets of layers
// shown together, and each offence of a small description found once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "framework/IControl.h"
#include "framework/IParam.h"
#include "raster/bitmap.h"
#include "raster/png.h"
#include "raster/rectops.h"
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

// A caption's measured box holds every pixel the image tool draws of it.
TEST(WindowLayoutText, CaptionsDrawInsideTheirMeasuredBox) {
  for (int px : {uiconfig::kEntryPx, uiconfig::kCaptionPx, uiconfig::kTitlePx})
    for (const char* text : {"Pulse Width", "SUPERSAW", "Wg|Qy", "MOD MATRIX"}) {
      const uiconfig::TextExtent x = uiconfig::captionExtent(text, px);
      ASSERT_GT(x.w, 0) << text;
      RAST_SysBitmap bm(x.w + 40, x.h + 40);
      RAST_Clear(&bm, 0);
      uiconfig::drawCaptionText(&bm, text, px, RAST_RGBA(255, 255, 255, 255), 20, 20);
      int inside = 0, outside = 0;
      for (int y = 0; y < bm.getHeight(); ++y)
        for (int xx = 0; xx < bm.getWidth(); ++xx) {
          if (RAST_GETR(bm.getBits()[y * bm.getRowSpan() + xx]) < 40) continue;
          (xx >= 20 && xx < 20 + x.w && y >= 20 && y < 20 + x.h ? inside : outside)++;
        }
      EXPECT_GT(inside, 0) << text << " " << px;
      EXPECT_EQ(outside, 0) << text << " " << px;
    }
}

// A picture placed twice carries its first place's texts at both places: a
// control at the second place whose caption differs finds its words missing
// there, and the first place's caption shows over it.
TEST(WindowLayoutArt, APicturePlacedTwiceCarriesItsFirstPlacesTexts) {
  auto slot = [](int x, const char* param, const char* label) {
    return "<background imageId=\"BG_ID_KEYTRACK\" position=\"" + std::to_string(x) + ",300\"/>" +
           "<switch name=\"K\" label=\"" + label + "\" paramId=\"" + param + "\" imageId=\"BUTTON_SMALL_ID\" " +
           "position=\"" + std::to_string(x + 10) + ",320\" valueBounds=\"0,0,1\"/>";
  };
  const uiconfig::InstrumentMap same = mapOf(slot(30, "kShowLibrarian", "Key") + slot(300, "kShowModMatrix", "Key"));
  const uiconfig::WindowArt a = uiconfig::layoutArt(same);
  EXPECT_TRUE(a.labelled[1] && a.labelled[3]);
  ASSERT_EQ(a.placements.size(), 3u);  // the window's own, then both slots
  ASSERT_EQ(a.placements[2].art.size(), 1u);
  EXPECT_EQ(a.placements[2].art[0].box.l - a.placements[1].art[0].box.l, 270);

  const uiconfig::InstrumentMap differ = mapOf(slot(30, "kShowLibrarian", "Key") + slot(300, "kShowModMatrix", "Sync"));
  const uiconfig::WindowArt b = uiconfig::layoutArt(differ);
  EXPECT_TRUE(b.labelled[1]);
  EXPECT_FALSE(b.labelled[3]);
  EXPECT_EQ(b.placements[2].art[0].text, "Key");
  EXPECT_EQ(uiconfig::checkGeometry(differ),
            (std::vector<Violation>{{"unlabelled", "switch kShowModMatrix (line 1) at 0.75, 1.00, 1.25"}}));
}

// What acts and what is labelled: a selector under its protector only shows
// (its entries beside its dots), a display only shows, a menu and a knob act
// and are named by their name without their group; an event strip carries
// its list's words in its cells when the list has one entry per cell.
TEST(WindowLayoutArt, WhatActsAndWhatCarriesWords) {
  const uiconfig::InstrumentMap map = mapOf(
      "<knobcontrol type=\"ccKnob\" name=\"Osc 1 Shape\" paramGroup=\"Osc 1\" paramId=\"kOscillator1Shape\" "
      "imageId=\"LED_QUAD_ID\" position=\"100,200\" valueBounds=\"0,0,3,1\" valueList=\"q\" ccNumber=\"34\"/>"
      "<background imageId=\"LED_QUAD_PROT_ID\" position=\"100,200\"/>"
      "<display paramId=\"kControlDisplayName\" bounds=\"300,200,100,16\" displaySize=\"2\"/>"
      "<knobcontrol type=\"ccKnob\" name=\"Osc 1 Tune\" paramGroup=\"Osc 1\" paramId=\"kOscillator1Tune\" "
      "imageId=\"KNOB_ID127\" position=\"500,200\" valueBounds=\"64,0,127,1\" ccNumber=\"4\"/>"
      "<radio name=\"Step 1 Event\" paramId=\"kPatternStep01Event\" imageId=\"BTN_RADIO_ARP_ID\" position=\"700,200\" "
      "buttons=\"4\" valueList=\"q\"/>"
      "<valueLists><list name=\"q\"><value>A</value><value>B</value><value>C</value><value>D</value></list>"
      "</valueLists>");
  ASSERT_TRUE(map.ok);
  EXPECT_FALSE(uiconfig::actsOnClick(map, 0));  // the selector, shielded
  EXPECT_FALSE(uiconfig::actsOnClick(map, 1));  // its protector
  EXPECT_FALSE(uiconfig::actsOnClick(map, 2));  // the display
  EXPECT_TRUE(uiconfig::actsOnClick(map, 3));
  EXPECT_TRUE(uiconfig::actsOnClick(map, 4));
  const uiconfig::WindowArt art = uiconfig::layoutArt(map);
  std::vector<std::string> texts;
  for (const uiconfig::Caption& c : art.placements[0].art) texts.push_back(c.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"A", "B", "C", "D", "Tune"}));
  EXPECT_EQ(art.placements[0].art[1].box.t - art.placements[0].art[0].box.t, 12);  // one entry per dot
  EXPECT_EQ(uiconfig::imageWords(map, "BTN_RADIO_ARP_ID"), (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_TRUE(art.labelled[4]);
  // A strip whose list does not match its cells carries no words.
  const uiconfig::InstrumentMap odd = mapOf(
      "<radio name=\"E\" paramId=\"kPatternStep01Event\" imageId=\"BTN_RADIO_ARP_ID\" position=\"700,200\" "
      "buttons=\"5\" valueList=\"q\" label=\"\"/>"
      "<valueLists><list name=\"q\"><value>A</value></list></valueLists>");
  EXPECT_TRUE(uiconfig::imageWords(odd, "BTN_RADIO_ARP_ID").empty());
  EXPECT_FALSE(uiconfig::layoutArt(odd).labelled[0]);
}

// The texts a menu draws: its list when it has one entry per value, else the
// numbers of its display range ("01" for the program, " 1" for the others).
TEST(WindowLayoutText, MenuTextsFollowTheFactories) {
  const uiconfig::InstrumentMap map = mapOf(
      "<multiFx type=\"Menu\" name=\"P\" paramId=\"kCurrentPatch\" position=\"1,1,50,26\" valueBounds=\"0,0,3\" "
      "valueDisplay=\"1:3\" visible=\"1\"/>"
      "<multiFx type=\"Menu\" name=\"Q\" paramId=\"kLibSyncTimer\" position=\"1,1,50,26\" valueBounds=\"0,0,3\" "
      "valueDisplay=\"9:11\" visible=\"1\"/>"
      "<menucontrol type=\"ccMenu\" name=\"R\" paramId=\"kArpRange\" position=\"1,1,50\" valueBounds=\"0,0,2\" "
      "valueList=\"two\" ccNumber=\"40\"/>"
      "<menucontrol type=\"ccMenu\" name=\"S\" paramId=\"kArpMode\" position=\"1,1,50\" valueBounds=\"0,0,2\" "
      "valueList=\"three\" ccNumber=\"41\"/>"
      "<valueLists><list name=\"two\"><value>X</value><value>YY</value></list>"
      "<list name=\"three\"><value>X</value><value>Y</value><value>Z</value></list></valueLists>");
  ASSERT_TRUE(map.ok);
  EXPECT_EQ(uiconfig::menuTexts(map, map.elements[0]), (std::vector<std::string>{"01", "02", "03"}));
  EXPECT_EQ(uiconfig::menuTexts(map, map.elements[1]), (std::vector<std::string>{" 9", "10", "11"}));
  EXPECT_EQ(uiconfig::menuTexts(map, map.elements[2]), (std::vector<std::string>{"X", "YY"}));
  EXPECT_TRUE(uiconfig::menuTexts(map, map.elements[3]).empty());  // no list to match and no range
}

// The views of a window: the strip below the pages is hidden on the blank
// page, a never-shown layer never shows, an overlay opens only over the pages
// it belongs to, and too many groups on one page are tried one at a time.
TEST(WindowLayoutViews, PagesStripsOverlaysAndManyGroups) {
  std::string groups;
  for (int g = 0; g < 5; ++g)
    for (int k = 0; k < 3; ++k)
      groups += "<layer name=\"g" + std::to_string(g) + std::to_string(k) + "\" id=\"" + std::to_string(1 + k) +
                "\"><background imageId=\"BG_ID_KEYTRACK\" position=\"" + std::to_string(20 + 110 * g) +
                ",300\"/></layer>";
  const uiconfig::InstrumentMap map = mapOf(
      "<layer name=\"root\" id=\"0\"><layer name=\"blankPage\" id=\"0\"/><layer name=\"patchLibrarian\" id=\"1\"/>"
      "<layer name=\"soundPage\" id=\"2\">" + groups + "</layer></layer>"
      "<layer name=\"miniMixer\" id=\"0\"/><layer name=\"parameterRanges\" id=\"0\"/>"
      "<layer name=\"patchRename\" id=\"0\"><background imageId=\"BG_RENAME_ID\" position=\"560,400\"/>"
      "<dropMenu type=\"nameSelection\" name=\"N\" paramId=\"kPatchRename\" bounds=\"580,420,200,20\" nameLen=\"13\"/>"
      "</layer>");
  ASSERT_TRUE(map.ok);
  auto layer = [&](const char* name) {
    for (size_t l = 0; l < map.layers.size(); ++l)
      if (map.layers[l].name == name) return l;
    return map.layers.size();
  };
  const size_t strip = layer("miniMixer"), ranges = layer("parameterRanges");
  ASSERT_LT(ranges, map.layers.size());
  const std::vector<uiconfig::WindowView> views = uiconfig::windowViews(map);
  int sound = 0, rename = 0, pictures = 0;
  for (const uiconfig::WindowView& v : views) {
    EXPECT_EQ(v.shown[strip], v.page != 0) << v.name;
    EXPECT_FALSE(v.shown[ranges]) << v.name;
    sound += v.page == 2 && v.overlay < 0;
    pictures += v.picture;
    if (v.overlay >= 0) {
      ++rename;
      EXPECT_EQ(v.page, 1) << v.name;
      EXPECT_EQ(v.pictureName, "patchRename");
    }
  }
  EXPECT_EQ(sound, 1 + 5 * 2);  // 3^5 choices are too many: each group changed alone
  EXPECT_EQ(rename, 1);
  EXPECT_EQ(pictures, 1 + 1 + 11 + 1);
}

// The image tool draws a panel's title in orange at its place in the page's
// picture, a caption in white beside its control, and a button's words in
// its frame.
TEST(WindowLayoutArt, ImageToolDrawsTheLayout) {
  testsupport::TempDir dir;
  const std::string description = dir.path() + "ui.xml";
  testsupport::writeFile(description,
                         "<uiconfig><background imageId=\"BG_ID_EDIT\" position=\"10,112\"/>"
                         "<panel title=\"OSC 9\" bounds=\"100,200,300,200\"/>"
                         "<switch name=\"Sync\" paramId=\"kShowLibrarian\" imageId=\"BUTTON_SMALL_ID\" "
                         "position=\"120,240\" valueBounds=\"0,0,1\"/>"
                         "<switch name=\"About\" paramId=\"kDisplayAboutWindow\" imageId=\"BTN_SEE_ABOUT_ID\" "
                         "position=\"120,300\" valueBounds=\"0,0,1\"/></uiconfig>");
  ASSERT_EQ(std::system((std::string(TAVRIN_IMAGEGEN) + " " + description + " " + dir.path()).c_str()), 0);
  // Pixels in a rectangle of the picture that are near white or near the
  // titles' orange.
  auto count = [](RAST_IBitmap* bm, int l, int t, int r, int b, bool orange) {
    int n = 0;
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) {
        const RAST_pixel p = bm->getBits()[y * bm->getRowSpan() + x];
        const int red = RAST_GETR(p), green = RAST_GETG(p), blue = RAST_GETB(p);
        n += orange ? red > 200 && green > 110 && green < 200 && blue < 80 : red > 200 && green > 200 && blue > 200;
      }
    return n;
  };
  const uiconfig::TextExtent title = uiconfig::captionExtent("OSC 9", uiconfig::kTitlePx);
  const uiconfig::TextExtent label = uiconfig::captionExtent("Sync", uiconfig::kCaptionPx);
  RAST_IBitmap* page = RAST_LoadPNG((dir.path() + "layer-main.png").c_str());
  ASSERT_NE(page, nullptr);
  // In the page's own pixels: the panel at 90, 88; the caption right of the
  // 32 x 16 switch at 110, 128.
  EXPECT_GT(count(page, 98, 91, 98 + title.w, 91 + title.h, true), 10);
  EXPECT_GT(count(page, 146, 129, 146 + label.w, 129 + label.h, false), 10);
  EXPECT_EQ(count(page, 0, 0, 400, 88, true) + count(page, 0, 0, 400, 88, false), 0);  // nothing above the panel
  delete page;
  RAST_IBitmap* about = RAST_LoadPNG((dir.path() + "about-trigger.png").c_str());
  ASSERT_NE(about, nullptr);
  EXPECT_GT(count(about, 0, 0, 120, 32, false), 10);
  delete about;
}

}  // namespace
