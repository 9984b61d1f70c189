// The control factories through the walk: hand-written descriptions built
// by readUIConfig in a headless window, read back through the parameters,
// their records, the controls and the three look-up containers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IBitmapControls.h"
#include "framework/IControl.h"
#include "framework/IParam.h"
#include "support_uiconfig.h"

namespace {

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

const std::string kSysex = R"(<sysexlist>
  <sysex><values><value>3E 16 58 41 00 00 00 00</value></values></sysex>
  <sysex><values><value>3E 16 58 41 43 00 05 00</value></values></sysex>
  <sysex><values><value>3E 16 58 41 00 02</value></values></sysex>
  <sysex><values><multivalue><value>01</value></multivalue></values></sysex>
  <sysex><values><value>3E 16 58 41 00 03 00 00</value></values></sysex></sysexlist>)";

struct Window : uitest::Built {
  explicit Window(const std::string& body, double scale = 1.0) : Built(body, scale, 200, 120, kSysex) {}
  IParam* param(int i) { return plug->GetParam(i); }
  ControlAction* action(int i) { return param(i)->GetControlAction(); }
  IControl* control(int i, size_t k = 0) {
    ControlAction* a = action(i);
    return a && k < a->controls.size() ? a->controls[k] : nullptr;
  }
  Ints keys(int i) {
    ControlAction* a = action(i);
    return {a->type, a->channel, a->mixerFlag, a->ccNumber, a->msbValue, a->lsbValue, a->lsbControl};
  }
  Ints message(int i, size_t m) { return action(i)->sysExMessage.messages.at(m); }
};

const char* const kKnob = R"( imageId="KNOB_ID127" position="10,20" valueBounds="64,0,127,3")";

TEST(Factories, ChannelRuleMixerFlagAndSharedRecords) {
  const std::string nrpn = R"( channel="7" ccNumber="6" msbValue="1" lsbValue=")";
  Window w(std::string(R"(<multilayer name="m" create="3">
      <layer name="multiModeMixer"><knobcontrol type="ccKnob" name="Cut" paramId="kFilterCutoff" channel="5" ccNumber="74")") +
           kKnob + R"(/>
        <buttoncontrol type="ccButton" name="Sw" paramId="kFilterResonance" channel="5" ccNumber="74" imageId="BUTTON_SML_LED_ID" valueBounds="0,0,127"/></layer>
      <layer name="plain"><knobcontrol type="ccKnob" name="Res" paramId="kPortamentoMode" channel="5" ccNumber="71")" +
           kKnob + R"(/></layer>
      <layer name="additionalSettingsPart4"><buttoncontrol type="msbLsbButton" name="N" paramId="kSustainSwitch")" + nrpn +
           R"(64" lsbControl="20" imageId="BUTTON_SML_LED_ID" valueBounds="0,2,9"/>
        <knobcontrol type="msbLsbKnob" name="K" paramId="kArpTempo")" + nrpn + R"(0" lsbControl="21")" + kKnob +
           R"(/></layer></multilayer>
    <knobcontrol type="ccKnob" name="Top" paramId="kOscillator1Tune" ccNumber="9")" + kKnob + R"(/>
    <slidercontrol type="ccSliderHor" name="Top2" paramId="kOscillator1Tune" ccNumber="9" length="30" imageId="KNOB_ID127" valueBounds="1,0,5,7"/>)");
  EXPECT_EQ(w.extra, Strings());
  // type, channel, mixer flag, cc, msb, lsb, lsb control; copy 2 of each
  EXPECT_EQ(w.keys(42), (Ints{1, 5, 1, 74, -1, -1, -1}));  // a knob in a mixer layer
  EXPECT_EQ(w.param(42)->GetName(), std::string("[3] Cut"));
  EXPECT_EQ(w.param(42)->GetParamGroupForHost(), std::string("Timbre 3"));
  EXPECT_EQ(w.param(42)->GetStep(), 3.0);
  EXPECT_EQ(w.keys(50), (Ints{1, 3, 0, 71, -1, -1, -1}));  // elsewhere: copy + 1
  EXPECT_EQ(w.keys(46), (Ints{2, 5, 0, 74, -1, -1, -1}));  // a switch keeps flag 0 in a mixer
  EXPECT_EQ(std::make_pair(w.action(46)->minValue, w.action(46)->maxValue), std::make_pair(0, 127));
  EXPECT_EQ(w.keys(53), (Ints{3, 7, 0, 6, 1, 64, 20}));  // NRPN switch: the element's channel
  EXPECT_EQ(w.action(53)->minValue, 2);
  EXPECT_EQ(w.keys(56), (Ints{3, 3, 0, 6, 1, 0, 21}));  // NRPN knob there: copy + 1
  EXPECT_EQ(w.param(56)->GetStep(), 1.0);
  // The copies share the keys; the last one made holds the entry.
  EXPECT_EQ(w.ui->ccMap().findControl(5, 74, 1), w.control(42));
  EXPECT_EQ(w.ui->ccMap().findControl(5, 74, 0), w.control(46));
  EXPECT_EQ(w.ui->nrpnControls().findControl(7, 1, 64, 20, 0), w.control(53));
  EXPECT_EQ(w.ui->nrpnControls().findControl(3, 1, 0, 21, 0), w.control(56));

  // Two controls of one parameter share its record, in creation order.
  ControlAction* top = w.action(kOscillator1Tune);
  ASSERT_EQ(top->controls.size(), 2u);
  EXPECT_EQ(w.ui->ccMap().findControl(0, 9, 0), top->controls[1]);
  EXPECT_EQ(*top->controls[0]->GetRECT(), IRECT(10, 20, 18, 28));  // from the 8 x 8 frame
  EXPECT_EQ(w.param(kOscillator1Tune)->GetStep(), 1.0);          // the fader's step
  EXPECT_EQ(w.param(kOscillator1Tune)->GetMax(), 5.0);
  EXPECT_EQ(w.ui->actionCount(), 16u);  // one per parameter
}

TEST(Factories, MenusTakeTheirTextsOrNothing) {
  Window w(R"(<valueLists><list name="three"><value>A</value><value>B</value><value>C</value></list>
      <list name="two"><value>X</value><value>Y</value></list></valueLists>
    <menucontrol type="ccMenu" name="M1" paramId="kFilterType" position="10,20,40" valueBounds="1,0,3" valueList="three" ccNumber="30"/>
    <menucontrol type="msbLsbMenu" name="M2" paramId="kVolume" position="10,40,40" valueBounds="0,0,3" valueList="two" valueDisplay="10:12" ccNumber="6" msbValue="1" lsbControl="3"/>
    <menucontrol type="ccMenu" name="M3" paramId="kPanning" position="10,60,40" valueBounds="0,0,3" valueList="two" ccNumber="31"/>)",
           1.25);
  // The plug-in's own momentary switch, scaled once.
  IControl* c = w.ui->createAutoOffSwitchControl("Cancel", 295, 580, 140, "BUTTON_SML_LED_ID", -1, nullptr, "");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->GetRECT()->L, 725);
  EXPECT_EQ(w.action(295)->controls.back(), c);
  EXPECT_EQ(w.g->GetControl(w.g->NControls() - 1), c);
  EXPECT_EQ(w.extra, Strings{"CONFIG READER: menucontrol M3 SKIPPED: no texts for its 3 entries"});
  EXPECT_EQ(w.param(45)->GetDisplayText(2), std::string("C"));
  EXPECT_EQ(w.param(45)->Value(), 1.0);
  EXPECT_EQ(w.param(46)->GetDisplayText(0), std::string("10"));
  EXPECT_EQ(w.param(46)->GetDisplayText(2), std::string("12"));
  EXPECT_EQ(*w.control(45)->GetRECT(), IRECT(12, 25, 62, 41));
  EXPECT_EQ(w.control(45)->GetText()->mSize, 16);
  EXPECT_EQ(w.control(45)->GetText()->mColor, IColor(255, 250, 250, 250));
  EXPECT_EQ(w.control(46)->GetText()->mColor, IColor(254, 255, 173, 0));
  EXPECT_EQ(std::string(w.control(46)->GetText()->mFont), UIConfigManager::kMenuFont);
  EXPECT_FALSE(w.control(45)->GetPromptingDisabled());
  EXPECT_EQ(w.param(19)->GetMax(), 2.0);  // M3: initialised, nothing else
  EXPECT_FALSE(w.action(19));
  EXPECT_FALSE(w.ui->ccMap().findControl(0, 31, 0));
}

TEST(Factories, UnboundControls) {
  Window w(R"(<layer name="l">
    <multiFx type="Menu" name="P" paramId="kCurrentPatch" position="0,0,20,10" valueBounds="0,0,12" valueDisplay="1:12" visible="1"/>
    <multiFx type="Menu" name="Q" paramId="kArpRange" position="0,0,20,10" valueBounds="0,0,12" valueDisplay="1:12" visible="0"/>
    <multiFx type="Menu" name="R" paramId="kCurrentBank" position="0,0,20,10" valueBounds="0,0,2" valueDisplay="1:3" visible="1" white="1"/>
    <multiFx type="Menu" name="S" paramId="kVolume" position="0,0,20,10" valueBounds="0,0,2" valueDisplay="1:3" visible="1" white="1"/>
    <dropMenu type="deviceSelection" paramId="kDeviceInSelection" bounds="1,2,3,4" inputDev="1"/>
    <dropMenu type="textSelection" name="T" paramId="kPanning" bounds="1,2,3,4"/>
    <dropMenu type="dropSelection" name="D" paramId="kFilterType" bounds="1,2,3,4" valueBounds="0,0,4" valueList="none"/>
    <dropMenu type="nameSelection" name="N" paramId="kPatchRename" bounds="1,2,3,4" nameLen="13"/>
    <display paramId="kFilterCutoff" bounds="1,2,3,4" displaySize="2"/>
    <radio name="Ra" paramId="kArpOnOff" imageId="BTN_CHECKBOX_ID" buttons="3" position="5,5"/>
    <radio name="Rb" paramId="kArpTempo" imageId="BTN_RADIO_ARP_ID" buttons="3" position="5,5"/></layer>
    <knobcontrol type="ccKnob" name="K" paramId="kSustainSwitch" ccNumber="64")" +
           std::string(kKnob) + R"(/><switch name="S" paramId="kSustainSwitch" imageId="BUTTON_SML_LED_ID" valueBounds="1"/>)");
  EXPECT_EQ(w.extra, Strings{"CONFIG READER: dropMenu D SKIPPED: no texts for its 4 entries"});
  ControlLayer* l = w.ui->layer("l");
  ASSERT_EQ(l->NControls(), 9);  // the port selector went to the top
  EXPECT_EQ(w.param(238)->GetDisplayText(0), std::string("01"));
  EXPECT_EQ(w.param(238)->GetDisplayText(11), std::string("12"));
  EXPECT_EQ(w.param(53)->GetDisplayText(8), std::string(" 9"));
  EXPECT_EQ(l->GetControl(0)->GetText()->mColor, IColor(255, 10, 10, 10));
  EXPECT_EQ(l->GetControl(1)->GetText()->mColor.A, 0);
  EXPECT_FALSE(l->GetControl(1)->GetPromptingDisabled());
  EXPECT_TRUE(l->GetControl(2)->GetPromptingDisabled());  // 289 never prompts
  EXPECT_EQ(l->GetControl(3)->GetText()->mColor, IColor(255, 225, 225, 225));
  EXPECT_FALSE(w.action(238));  // "no value" factories make no record

  EXPECT_EQ(w.g->GetControl(w.g->NControls() - 3), w.control(274));
  EXPECT_EQ(w.param(274)->GetDisplayText(0), std::string("OFF"));
  EXPECT_EQ(w.param(19)->GetDisplayText(0), std::string("----"));
  EXPECT_TRUE(w.control(19)->GetPromptingDisabled());
  EXPECT_EQ(w.param(45)->GetMax(), 3.0);  // initialised, no control or record
  EXPECT_FALSE(w.action(45));
  EXPECT_EQ(w.param(182)->GetDisplayText(0), std::string("New Name"));
  EXPECT_EQ(w.param(182)->Type(), IParam::kTypeText);
  EXPECT_EQ(w.control(182)->GetTextEntryLength(), 13);
  EXPECT_EQ(w.control(182)->GetText()->mColor, IColor(255, 225, 225, 225));
  EXPECT_EQ(w.control(40)->GetText()->mColor, IColor(255, 0, 174, 255));
  EXPECT_EQ(w.control(40)->ParamIdx(), -1);
  // 8 x 16, frames stacked: W x H/2, buttons in a row; 16 x 8, side by
  // side: W/2 x H, buttons in a column.
  for (int i : {52, 54}) EXPECT_EQ(*w.control(i)->GetRECT(), IRECT(5, 5, 13, 13));
  auto buttons = [&](int i) { return static_cast<IRadioButtonsControl*>(w.control(i))->GetButtonRECTs(); };
  EXPECT_GT(buttons(52)[1].L, buttons(52)[0].L);
  EXPECT_GT(buttons(54)[1].T, buttons(54)[0].T);
  // A switch after a CC knob of the same parameter turns its record to type 0.
  ASSERT_EQ(w.action(51)->controls.size(), 2u);
  EXPECT_EQ(w.action(51)->type, 0);
  EXPECT_EQ(w.param(51)->Value(), 1.0);
}

TEST(Factories, SystemExclusiveMessagesAndKeys) {
  Window w(R"(<valueLists><list name="four"><value>A</value><value>B</value><value>C</value><value>D</value></list>
      <list name="three"><value>A</value><value>B</value><value>C</value></list></valueLists>
    <buttoncontrol type="seButton" name="B" paramId="kArpOnOff" imageId="BUTTON_SML_LED_ID" valueBounds="1" sysexIndex="0" changingByte="7"/>
    <multilayer name="m" create="2"><buttoncontrol type="seButton" name="C" paramId="kFilterCutoff" imageId="BUTTON_SML_LED_ID" sysexIndex="1" changingByte="7"/></multilayer>
    <knobcontrol type="seKnob" name="K" paramId="kVolume" imageId="KNOB_ID127" valueBounds="64,0,127" sysexIndex="4" changingByte="7"/>
    <knobcontrol type="seKnob2" name="K2" paramId="kPanning" imageId="KNOB_ID127" valueBounds="0,-1,5" sysexIndex="1" changingByte="7"/>
    <slidercontrol type="seSliderVer" name="S" paramId="kArpTempo" imageId="KNOB_ID127" length="20" valueBounds="0,0,127" msgZeroVal="1" sysexIndex="0" changingByte="8"/>
    <menucontrol type="seMenu" name="M" paramId="kArpRange" position="0,0,20" valueBounds="0,0,4" valueList="four" sysexIndex="0" changingByte="7"/>
    <menucontrol type="seMenu" name="M2" paramId="kFilterType" position="0,0,20" valueBounds="0,0,4" valueList="three" valueDisplay="1:9" sysexIndex="4" changingByte="7"/>
    <menucontrol type="seMenu" name="M3" paramId="kVolumeVeloSense" position="0,0,20" valueBounds="0,0,4" valueList="three" sysexIndex="0" changingByte="7"/>)");
  EXPECT_EQ(w.extra, Strings{"CONFIG READER: menucontrol M3 SKIPPED: no texts for its 4 entries"});
  // seButton: two messages carrying 0 and 1; the key is bytes 2-5 and 0.
  EXPECT_EQ(w.action(52)->type, 5);
  EXPECT_EQ(w.message(52, 1), (Ints{0x3E, 0x16, 0x58, 0x41, 0, 0, 1, 0}));
  EXPECT_EQ(w.action(52)->sysExMessage.messages.size(), 2u);
  EXPECT_TRUE(w.param(52)->Bool());
  // Copy 1 raises bytes 4 and 5 and keys by them; its label says [2].
  EXPECT_EQ(w.message(41, 0), (Ints{0x3E, 0x16, 0x58, 0x41, 0x53, 1, 0, 0}));
  EXPECT_EQ(w.param(41)->GetName(), std::string("[2] C"));
  EXPECT_EQ(w.ui->sysExControls().findControl(0x58, 0x41, 0x53, 1, 0), w.control(41));
  EXPECT_EQ(w.ui->sysExControls().findControl(0x58, 0x41, 0x43, 0, 0), w.control(19));  // K2 came after copy 0
  // seKnob 64,0,127: one message per value; seKnob2 0,-1,5 starts at the template's own value.
  EXPECT_EQ(w.action(46)->sysExMessage.messages.size(), 128u);
  EXPECT_EQ(w.message(46, 127)[6], 127);
  EXPECT_EQ(w.param(46)->Value(), 64.0);
  EXPECT_EQ(w.action(19)->sysExMessage.messages.size(), 7u);
  EXPECT_EQ(w.message(19, 0)[6], 5);
  EXPECT_EQ(w.message(19, 1)[6], 5);
  EXPECT_EQ(w.message(19, 2)[6], 6);
  // The fader's values shift by msgZeroVal and wrap once at 128; changing byte 8 keys by bytes 3-6.
  EXPECT_EQ(w.message(54, 0)[7], 1);
  EXPECT_EQ(w.message(54, 127)[7], 0);
  EXPECT_EQ(w.ui->sysExControls().findControl(0x41, 0, 0, 0, 0), w.control(54));
  // The menu: n entries, n + 1 messages; texts from the list or the display range.
  EXPECT_EQ(w.param(53)->GetDisplayText(3), std::string("D"));
  EXPECT_EQ(w.action(53)->sysExMessage.messages.size(), 5u);
  EXPECT_EQ(w.param(45)->GetDisplayText(3), std::string("4"));
  EXPECT_EQ(w.param(47)->GetMax(), 3.0);
  EXPECT_FALSE(w.action(47));
  // Entry 0 at changing byte 7 is keyed by the button, the menu and the fader's
  // other key; the menu came last.
  EXPECT_EQ(w.ui->sysExControls().findControl(0x58, 0x41, 0, 0, 0), w.control(53));
}

// Each refusal: no control, record or entry, and one SKIPPED line.
TEST(Factories, RefusalsCreateNothing) {
  const std::string img = R"( imageId="KNOB_ID127" position="1,1")";
  for (const auto& [body, line] : std::vector<std::pair<std::string, std::string>>{
           {R"(<knobcontrol type="ccKnob" name="A" ccNumber="3")" + img + "/>", "knobcontrol A SKIPPED: parameter -1 outside the plug-in"},
           {R"(<knobcontrol type="msbLsbKnob" paramId="kTimbreLED")" + img + "/>", "knobcontrol 306 SKIPPED: parameter 306 outside the plug-in"},
           {R"(<switch name="A" paramId="kFilterCutoff+300")" + img + "/>", "switch A SKIPPED: parameter 340 outside the plug-in"},
           {R"(<knobcontrol type="seKnob" name="A" paramId="kVolume" sysexIndex="5" changingByte="7")" + img + "/>", "knobcontrol A SKIPPED: no system-exclusive entry 5"},
           {R"(<knobcontrol type="seKnob" name="A" paramId="kVolume" sysexIndex="3" changingByte="7")" + img + "/>", "knobcontrol A SKIPPED: system-exclusive entry 3 has no template"},
           {R"(<buttoncontrol type="seButton" name="A" paramId="kVolume" sysexIndex="2" changingByte="6")" + img + "/>", "buttoncontrol A SKIPPED: no message of 7 bytes or more from entry 2"},
           {R"(<knobcontrol type="seKnob" name="A" paramId="kVolume" sysexIndex="0" changingByte="7" valueBounds="0,5,1")" + img + "/>", "knobcontrol A SKIPPED: no message of 7 bytes or more from entry 0"},
           {R"(<radio name="A" paramId="kVolume" buttons="0")" + img + "/>", "radio A SKIPPED: 0 buttons"},
           {R"(<menucontrol type="ccMenu" name="A" paramId="kVolume" valueBounds="0,0,1025" valueDisplay="0:1"/>)", "menucontrol A SKIPPED: 1025 entries, more than 1024"},
           {R"(<menucontrol type="seMenu" name="A" paramId="kVolume" valueBounds="0,0,1025" valueDisplay="0:1" sysexIndex="0" changingByte="7"/>)", "menucontrol A SKIPPED: 1026 messages, more than 1024"},
       }) {
    Window w(body);
    EXPECT_EQ(w.extra, Strings{"CONFIG READER: " + line}) << body;
    EXPECT_EQ(w.ui->actionCount(), 0u) << body;
    EXPECT_EQ(w.g->NControls(), 0) << body;
    EXPECT_TRUE(w.ui->ccMap().empty() && w.ui->nrpnControls().empty() && w.ui->sysExControls().empty()) << body;
  }

  // A link to 400 stores nothing; a missing image builds an empty control.
  Window w(R"(<knobcontrol type="seKnob" name="B" paramId="kArpRange" imageId="KNOB_ID127" biDirectLink="kFilterCutoff,kPanning" sysexIndex="0" changingByte="7" valueBounds="0,0,3"/>)");
  EXPECT_EQ(w.extra, Strings());
  w.lines.clear();
  w.ui->createCCKnobControl(3, 0, "A", 46, 3, 4, "NOPE", 0, 0, 127, 1, LinkInfo{400, 19, -1}, -1, nullptr, "");
  EXPECT_EQ(w.lines, (Strings{"CONFIG READER: Image NOPE MISSING!", "CONFIG READER: link of parameter 46 to 400 IGNORED!"}));
  EXPECT_EQ(w.action(46)->link.first, -1);
  EXPECT_EQ(*w.control(46)->GetRECT(), IRECT(3, 4, 3, 4));
  EXPECT_EQ(w.ui->actionCount(), 3u);  // 46, 53 and the linked 40
  ControlAction* linked = w.action(40);
  EXPECT_EQ(linked->type, 6);
  EXPECT_TRUE(linked->sysExMessage.messages.empty() && linked->controls.empty());
  EXPECT_EQ(std::vector<int>({linked->link.first, linked->link.second, linked->link.value}), (Ints{53, 19, -1}));
  EXPECT_EQ(w.action(53)->link.first, 40);

  // The manager goes before the plug-in: no parameter keeps a record.
  w.ui.reset();
  for (int i = 0; i < w.plug->NParams(); ++i) EXPECT_FALSE(w.plug->GetParam(i)->GetControlAction()) << i;
}

}  // namespace
