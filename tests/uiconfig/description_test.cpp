// The user-interface description: value lists, the small parsers, the walk
// and the argument record of every control element.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>
#include <tuple>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IBitmapControls.h"
#include "framework/IControl.h"
#include "framework/IParam.h"
#include "support_uiconfig.h"

namespace {

using Strings = std::vector<std::string>;

TEST(Description, SmallParsers) {
  for (auto [text, delims, tokens] : std::vector<std::tuple<std::string, std::string, Strings>>{
           {",,1,, 2 ,", ",", {"1", " 2 "}}, {"", ",", {}}, {"a+b", "+", {"a", "b"}}, {"  F0  7f\n10 ", " ", {"F0", "7f\n10"}}}) {
    Strings out = {"kept"};
    UIConfigManager::Tokenize(text, out, delims);
    out.erase(out.begin());
    EXPECT_EQ(out, tokens) << text;
  }

  uitest::Window w;
  w.buildQuietly();
  UIConfigManager& ui = *w.ui;
  for (auto [text, count, expected] : std::vector<std::tuple<std::string, int, std::vector<int>>>{
           {"1,2,3,4", 4, {1, 2, 3, 4}},      {"1,2", 4, {1, 2, 0, 0}},    {" -5,x7,8y", 3, {-5, 0, 8}},
           {"1,2,3", 1, {1}},                 {"", 2, {0, 0}},             {"99999999999,3", 2, {0, 3}},
           {"1,,2", 3, {1, 2, 0}}}) {
    std::vector<int> slots((size_t)count, 77);
    ui.getCSValues(text, slots.data(), count);
    EXPECT_EQ(slots, expected) << text;
  }

  // Links: the offset counts only when it is 0 or more, unknown names give -1.
  for (auto [text, offset, expected] : std::vector<std::tuple<std::string, int, std::vector<int>>>{
           {"kFilterCutoff,kFilterType", -1, {40, 45, -1}}, {"kFilterCutoff,kFilterType,3", 2, {42, 47, 3}},
           {"kFilterCutoff", -1, {-1, -1, -1}},            {"kFilterCutoff,kFilterType,x", 0, {40, 45, -1}},
           {"kNope,kFilterType,1,2", 1, {-1, 46, -1}}}) {
    int link[3] = {9, 9, 9};
    ui.getBiDirectLinkValues(text, link, offset);
    EXPECT_EQ(std::vector<int>(link, link + 3), expected) << text;
  }
  EXPECT_EQ(w.lines, Strings{"CONFIG READER: parameter kNope NOT FOUND!"});
  w.lines.clear();

  // "paramId": one line per fault, -1 whatever the offset and "+k".
  for (auto [text, offset, expected, logged] : std::vector<std::tuple<std::string, int, int, bool>>{
           {"kFilterCutoff+2", -1, 42, false}, {"kFilterCutoff+2", 1, 43, false}, {"kFilterCutoff", 0, 40, false},
           {"", 3, -1, false},                {"kNope+2", 5, -1, true},          {"kFilterCutoff+x", 1, -1, true},
           {"kFilterCutoff+2x", -1, -1, true}, {"kFilterCutoff+-50", -1, -1, false},
           {"kFilterCutoff+2147483647", 3, -1, false}}) {
    w.lines.clear();
    EXPECT_EQ(ui.resolveParamId(text, offset), expected) << text;
    EXPECT_EQ(w.lines.size(), logged ? 1u : 0u) << text;
  }
}

TEST(Description, ValueLists) {
  uitest::Window w;
  w.buildQuietly();
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  doc.Parse(uitest::uiconfig(R"(<layer name="x"/><valueLists>
      <list name="a"><value>1</value></list><!-- c --><other/>
      <list name="a"><value> two &amp; </value><value/><junk>no</junk><value>3</value></list>
      <list name="empty"></list><list><value>nameless</value></list></valueLists>)")
                .c_str());
  w.ui->readReasources(&doc);
  EXPECT_EQ(w.ui->valueList("a"), (Strings{" two & ", "", "3"}));
  EXPECT_TRUE(w.ui->valueList("empty").empty());
  EXPECT_TRUE(w.ui->valueList("nothing").empty());
  EXPECT_EQ(w.ui->valueListCount(), 2u);
  EXPECT_EQ(w.lines, Strings{"CONFIG READER: list  SKIPPED: no name"});
}

using uitest::Built;

TEST(Description, WalkBuildsLayersCopiesAndPictures) {
  Built b(R"(<!-- lead --><layer name="top" id="4" overlay="True">
        <background imageId="BG_ID_PLAIN" position="1,2"/><!-- between --><background imageId="BG_ID_EDIT" position="3,4"/>
        <multilayer name="osc" create="3"><layer name="inner" overlay="true"/>
          <multilayer name="fx" create="2"><fxlayer name="deep" overlay="1"/></multilayer></multilayer>
        <unknown><layer name="never"/></unknown></layer>
      <patchBrowser imageId="BG_ID_BROWSER" bounds="10,20,30,40"/>
      <layer id="9"/><layer name="ov" overlay="true"/>)",
          1.25);
  ASSERT_EQ(b.extra, Strings{"CONFIG READER: layer without name kept out of the layer map"});
  ControlLayer* top = b.ui->layer("top");
  ASSERT_TRUE(top);
  EXPECT_EQ(top->GetId(), 4);
  EXPECT_FALSE(top->GetIgnoreHidden());
  ASSERT_EQ(top->NControls(), 2);  // in document order
  EXPECT_EQ(*top->GetControl(0)->GetRECT(), IRECT(1, 2, 11, 12));  // 8 px frames at 1.25: 10 px
  EXPECT_EQ(top->GetControl(1)->GetRECT()->L, 3);
  ASSERT_EQ(top->NSubLayers(), 3);
  for (int i = 0; i < 3; ++i) {
    ControlLayer* osc = top->GetSubLayer(i);
    EXPECT_EQ(osc->GetName(), "osc" + std::to_string(i));
    EXPECT_EQ(osc->GetId(), i);
    ASSERT_EQ(osc->NSubLayers(), 3);
    EXPECT_FALSE(osc->GetSubLayer(0)->GetIgnoreHidden());  // the parent's flag reaches it last
    EXPECT_EQ(osc->GetSubLayer(2)->GetName(), "fx1");
    EXPECT_FALSE(osc->GetSubLayer(2)->GetSubLayer(0)->GetIgnoreHidden());
  }
  EXPECT_EQ(b.ui->layer("osc2"), top->GetSubLayer(2));
  EXPECT_EQ(b.ui->layer("fx1"), top->GetSubLayer(2)->GetSubLayer(2));  // the last copy made keeps the name
  EXPECT_FALSE(b.ui->layer("never"));
  EXPECT_EQ(b.ui->layerCount(), 9u);  // top, osc0-2, inner, fx0-1, deep, ov
  ASSERT_EQ(b.g->NLayers(), 3);
  EXPECT_TRUE(b.ui->layer("ov")->GetIgnoreHidden());
  EXPECT_EQ(b.g->GetLayer(1)->GetName(), "");
  ASSERT_TRUE(b.ui->patchBrowser());
  EXPECT_EQ(b.ui->patchBrowser()->ParamIdx(), kLibrarianArea);
  EXPECT_EQ(b.ui->patchBrowser()->GetRECT()->L, 12);
  EXPECT_EQ(b.ui->patchBrowser()->GetRECT()->T, 25);
}

TEST(Description, PatchListViewComesFromTheEditor) {
  uitest::Window w;
  uitest::writeDescription(w.res(), "uiconfig.tea",
                           uitest::uiconfig(R"(<layer name="l"><patchBrowser imageId="X" bounds="10,20,30,40"/></layer>)"));
  std::vector<int> seen;
  UIConfigServices services;
  services.makePatchBrowser = [&](IPluginBase* plug, int x, int y, int idx, IBitmap* bm, IRECT r, double s) {
    seen = {x, y, idx, bm->W, r.R, r.B, (int)(s * 100)};
    return static_cast<IControl*>(new IBitmapControl(plug, x, y, idx, bm));
  };
  w.build(0, 1.25, services);
  EXPECT_EQ(seen, (std::vector<int>{12, 25, 305, 0, 49, 75, 125}));
  EXPECT_EQ(w.ui->layer("l")->GetControl(0), w.ui->patchBrowser());
}

TEST(Description, TailSetsThePartOfABoundParameter) {
  uitest::Window w;
  uitest::writeDescription(w.res(), "uiconfig.tea", uitest::uiconfig(R"(
      <layer name="a" paramId="kFilterCutoff"/><foo paramId="kFilterType" channel="3"/>
      <multilayer name="m" create="2"><bar paramId="kVolume"/></multilayer><baz paramId="kTimbreLED"/>)"));
  ControlAction cutoff, type, volume;
  w.plug->GetParam(40)->SetControlAction(&cutoff);
  w.plug->GetParam(45)->SetControlAction(&type);
  w.plug->GetParam(46)->SetControlAction(&volume);
  w.build();
  EXPECT_EQ(cutoff.part, -1);  // no channel outside any copy
  EXPECT_EQ(type.part, 2);
  EXPECT_EQ(volume.part, 0);  // copy 0; copy 1 names the next parameter
  for (int i : {40, 45, 46}) w.plug->GetParam(i)->SetControlAction(nullptr);
}

TEST(Description, FaultsSkipTheirElementWithOneLine) {
  const std::string deep = [] {
    std::string s;
    for (int i = 0; i < 40; ++i) s += "<layer name=\"d" + std::to_string(i) + "\">";
    for (int i = 0; i < 40; ++i) s += "</layer>";
    return s;
  }();
  struct Case {
    std::string body;
    Strings lines;
    size_t layers;
  };
  const Case cases[] = {
      {deep, {"CONFIG READER: layer d32 SKIPPED: deeper than 32 levels"}, 32},
      {R"(<multilayer name="m" create="65"><layer name="x"/></multilayer><layer name="after"/>)",
       {"CONFIG READER: multilayer m SKIPPED: create above 64"}, 1},
      {R"(<multilayer name="m" create="64"/><multilayer name="n" create="-3"/>)", {}, 64},
      {R"(<multilayer name="a" create="64"><multilayer name="b" create="64"><multilayer name="c" create="64">)"
       R"(<layer name="x"/></multilayer></multilayer></multilayer>)",
       {"CONFIG READER: layer x SKIPPED: more than 16384 elements in the description"}, 193},
      {R"(<radio name="r" buttons="65"/><knobcontrol type="Knob" paramId="kVolume"/><layer name="after"/>)",
       {"CONFIG READER: radio r SKIPPED: more than 64 buttons",
        "CONFIG READER: knobcontrol kVolume SKIPPED: unknown type \"Knob\""}, 1},
  };
  for (const Case& c : cases) {
    Built b(c.body);
    EXPECT_EQ(b.extra, c.lines) << c.body;
    EXPECT_EQ(b.ui->layerCount(), c.layers) << c.body;
  }

  // A missing description, one that does not parse, one without "uiconfig".
  for (auto [text, line] : std::vector<std::pair<std::string, std::string>>{
           {"", "CONFIG READER: resources/uiconfig.tea MISSING!"},
           {"<uiconfig><layer>", "CONFIG READER: resources/uiconfig.tea DOES NOT PARSE: "},
           {"<other><layer name=\"x\"/></other>", "CONFIG READER: resources/uiconfig.tea HAS NO uiconfig ELEMENT!"}}) {
    uitest::Window w;
    if (!text.empty()) uitest::writeDescription(w.res(), "uiconfig.tea", text);
    uitest::writeTestImages(w.res());
    w.build();
    const Strings extra = w.extraLines();
    ASSERT_EQ(extra.size(), 2u) << text;  // the missing sysex list and the description
    EXPECT_EQ(extra[1].rfind(line, 0), 0u) << extra[1];
    EXPECT_EQ(w.g->NLayers(), 0);
    EXPECT_EQ(w.ui->imageCount(), 57u);  // construction went on
  }
}

// One element of every row of the element tables, read into its record.
TEST(Description, ArgumentRecordOfEveryKind) {
  uitest::Window w;
  w.buildQuietly();
  tinyxml2::XMLDocument lists;
  lists.Parse(uitest::uiconfig(R"(<valueLists><list name="L"><value>A</value><value>B</value></list></valueLists>)")
                  .c_str());
  w.ui->readReasources(&lists);

  const std::string common =
      R"( name="N" paramId="kFilterCutoff+1" imageId="IMG" paramGroup="G" channel="3" position="1,2,3,4" bounds="5,6,7,8")"
      R"( valueBounds="9,10,11,12" length="13" changingByte="14" biDirectLink="kVolume,kPanning" valueDisplay="15:16")"
      R"( valueList="L" ccNumber="17" msbValue="18" lsbValue="19" lsbControl="20" sysexIndex="21" msgZeroVal="22")"
      R"( color="23" nameLen="24" visible="25" white="26" inputDev="27,0" displaySize="28,0" buttons="29")";
  using F = ControlFactory;
  // element, type, factory, and the record as text: idx ch x y p3 p4 | b | vb | len chb | link | da db | list |
  // cc msb lsb lsbc sx zero col | nameLen visible white inputDev displaySize buttons | horizontal
  const std::vector<std::tuple<const char*, const char*, F, std::string>> rows = {
      {"switch", "", F::kBool, "42 3 1 2 0 0|0 0 0 0|9 10 11 0|0 0|-1 -1 -1|-1 -1|0|0 0 0 0 0 0 0|0 0 0 0 0 0|0"},
      {"autooff", "", F::kSwitch, "42 3 1 2 0 0|0 0 0 0|0 0 0 0|0 0|-1 -1 -1|-1 -1|0|0 0 0 0 0 0 0|0 0 0 0 0 0|0"},
      {"radio", "", F::kRadio, "42 3 1 2 0 0|0 0 0 0|0 0 0 0|0 0|-1 -1 -1|-1 -1|0|0 0 0 0 0 0 0|0 0 0 0 0 29|0"},
      {"display", "", F::kDisplay, "42 3 0 0 0 0|5 6 7 8|0 0 0 0|0 0|-1 -1 -1|-1 -1|0|0 0 0 0 0 0 0|0 0 0 0 28 0|0"},
      {"dropMenu", "textSelection", F::kDropDownMenu,
       "42 3 0 0 0 0|5 6 7 8|9 10 11 0|0 0|-1 -1 -1|-1 -1|2|0 0 0 0 0 0 0|24 0 0 27 0 0|0"},
      {"dropMenu", "deviceSelection", F::kMIDIDeviceSelection, ""},
      {"dropMenu", "nameSelection", F::kNameDisplay, ""},
      {"dropMenu", "dropSelection", F::kDropDownMenu2, ""},
      {"multiFx", "Knob", F::kNoValKnob,
       "42 3 1 2 0 0|0 0 0 0|9 10 11 12|0 0|47 20 -1|-1 -1|0|0 0 0 0 0 0 0|0 0 0 0 0 0|0"},
      {"multiFx", "Menu", F::kNoValDropDown,
       "42 3 1 2 3 4|0 0 0 0|9 10 11 0|0 0|47 20 -1|15 16|2|0 0 0 0 0 0 0|0 25 26 0 0 0|0"},
      {"multiFx", "Switch", F::kNoValBool,
       "42 3 1 2 0 0|0 0 0 0|9 0 0 0|0 0|47 20 -1|-1 -1|0|0 0 0 0 0 0 0|0 0 0 0 0 0|0"},
      {"knobcontrol", "ccKnob", F::kCCKnob,
       "42 3 1 2 3 4|0 0 0 0|9 10 11 12|13 14|47 20 -1|15 16|2|17 18 19 20 21 22 23|0 0 0 0 0 0|0"},
      {"slidercontrol", "ccSliderVer", F::kCCSlider, ""},
      {"slidercontrol", "ccSliderHor", F::kCCSlider,
       "42 3 1 2 3 4|0 0 0 0|9 10 11 12|13 14|47 20 -1|15 16|2|17 18 19 20 21 22 23|0 0 0 0 0 0|1"},
      {"buttoncontrol", "ccButton", F::kCCBool, ""},
      {"menucontrol", "ccMenu", F::kMultiSelectionCC, ""},
      {"knobcontrol", "msbLsbKnob", F::kMsbLsbKnob, ""},
      {"buttoncontrol", "msbLsbButton", F::kMsbLsbBool, ""},
      {"menucontrol", "msbLsbMenu", F::kMsbLsbSelectionCC, ""},
      {"knobcontrol", "seKnob", F::kSysExKnob, ""},
      {"knobcontrol", "seKnob2", F::kSysExKnob2, ""},
      {"slidercontrol", "seSliderVer", F::kSysExSlider, ""},
      {"slidercontrol", "seSliderHor", F::kSysExSlider, ""},
      {"buttoncontrol", "seButton", F::kSysExBool, ""},
      {"menucontrol", "seMenu", F::kMultiSelectionSysEx, ""},
      {"menucontrol", "Knob", F::kNone, ""},
      {"dropMenu", "Knob", F::kNone, ""},
  };
  ControlLayer parent(0, "p");
  for (const auto& [element, type, factory, expected] : rows) {
    tinyxml2::XMLDocument doc;
    doc.Parse((std::string("<") + element + " type=\"" + type + "\"" + common + "/>").c_str());
    const ControlArguments a = w.ui->readControlArgs(*doc.FirstChildElement(), 1, &parent);
    EXPECT_EQ(a.factory, factory) << element << " " << type;
    EXPECT_EQ(a.element + a.type + a.name + a.img + a.grp, std::string(element) + type + "NIMGG");
    EXPECT_EQ(a.par, &parent);
    EXPECT_EQ(a.off, 1);
    if (expected.empty()) continue;
    std::string got;
    for (const std::vector<int>& group : std::vector<std::vector<int>>{
             {a.idx, a.ch, a.x, a.y, a.p3, a.p4}, {a.b[0], a.b[1], a.b[2], a.b[3]}, {a.vb[0], a.vb[1], a.vb[2], a.vb[3]},
             {a.len, a.chb}, {a.link.first, a.link.second, a.link.value}, {a.da, a.db}, {(int)a.list.size()},
             {a.cc, a.msb, a.lsb, a.lsbc, a.sx, a.zero, a.col},
             {a.nameLen, a.visible, a.white, a.inputDev, a.displaySize, a.buttons}, {a.horizontal}}) {
      for (int v : group) got += std::to_string(v) + " ";
      got.back() = '|';
    }
    got.pop_back();
    EXPECT_EQ(got, expected) << element << " " << type;
  }
  // "valueDisplay" needs exactly two parts.
  for (auto [text, da, db] : std::vector<std::tuple<std::string, int, int>>{
           {"3:7", 3, 7}, {"3", -1, -1}, {"3:7:9", -1, -1}, {"a:7", -1, -1}}) {
    tinyxml2::XMLDocument doc;
    doc.Parse(("<menucontrol type=\"ccMenu\" valueDisplay=\"" + text + "\"/>").c_str());
    const ControlArguments a = w.ui->readControlArgs(*doc.FirstChildElement(), -1, nullptr);
    EXPECT_EQ(std::make_pair(a.da, a.db), std::make_pair(da, db)) << text;
  }
}

}  // namespace
