// The main tab switch.
#include "editor/TabSwitchFunctions.h"

#include <cstdio>

#include "editor/LayerTools.h"
#include "editor/Tavrin.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "hardware/ParameterList.h"
#include "librarian/LibrarianViewControl.h"
#include "uiconfig/ProgressIndicator.h"

namespace {

constexpr const char* kLibrarianMenus[] = {"LeftPatchPopupMenu", "RightPatchPopupMenu", "RightCategoryPopupMenu",
                                           "RightSearchPopupMenu", "BANKEDITMENU"};
constexpr const char* kSoundPanels[] = {"osc1KeytrackBtn", "osc1AmpEnvFade", "osc1UnisonKnob", "osc2KeytrackBtn",
                                        "osc2AmpEnvFade", "oscillator2Parameters", "oscillator3Parameters",
                                        "lfo1ClockedLayer"};
constexpr int kOctaveSteps[] = {0, 12, 24, 36, 48, 60, 72, 84, 96};

int whole(Tavrin* plug, int idx) {
  IParam* param = plug->GetParam(idx);
  return param ? static_cast<int>(param->Value()) : 0;
}

std::string displayText0(Tavrin* plug, int idx) {
  IParam* param = plug->GetParam(idx);
  const char* text = param ? param->GetDisplayText(0) : nullptr;
  return text ? text : "";
}

void librarianTab(Tavrin* plug) {
  LibrarianViewControl* view = plug->librarianView();
  if (view) view->setDragEnabled(true);
  plug->hideLayer("BANKEDITMENU", false);
  plug->hideLayer("saveChangesLayer", false);
  plug->hideLayer(whole(plug, kBankEditUnsaved) == 0 ? "LeftPatchPopupMenu" : "discardChangesLayerRight", false);
  plug->hideLayer("categoryLimit", false);
  if (plug->categoryMode()) {
    plug->hideLayer("RightCategoryPopupMenu", false);
  } else if (plug->searchMode()) {
    plug->hideLayer("categoryLimit", true);
    plug->hideLayer("searchField", false);
    plug->hideLayer("RightSearchPopupMenu", false);
  } else {
    plug->hideLayer("RightPatchPopupMenu", false);
  }
  if (view) {
    const int upper = view->selectedUpperSlot();
    plug->DisplayLibrarianPatchCategory(upper >= 0 ? upper : view->selectedLowerSlot(), view->lowerListActive());
  }
  if (plug->progressIndicator()) plug->progressIndicator()->Hide(true);
  if (plug->progressLayer()) plug->progressLayer()->Hide(true);
}

void soundTab(Tavrin* plug) {
  for (const char* name : {"oscillator2Parameters", "oscillator3Parameters"}) {
    plug->hideLayer(name, false);
    plug->grayOutLayer(name, false);
  }
  if (IGraphics* graphics = plug->GetGUI()) {
    for (int osc = 0; osc < 3; ++osc) {
      graphics->SetParameterFromPlug(kOscillator1OctaveIndicator + osc, 0, false);
      const int semitone = whole(plug, kOscillator1Semitone + osc);
      for (int step : kOctaveSteps) {
        if (semitone == step) graphics->SetParameterFromPlug(kOscillator1OctaveIndicator + osc, 1, false);
      }
    }
  }
  plug->hideLayer("osc2KeytrackBtn", false);
  const int shape = whole(plug, kOscillator1Shape);
  if (shape <= 3) {
    plug->hideLayer("osc1KeytrackBtn", false);
  } else if (shape <= 7) {
    plug->hideLayer("osc1UnisonKnob", false);
  } else if (shape == 9) {
    plug->hideLayer("osc2KeytrackBtn", true);
    plug->hideLayer("osc1AmpEnvFade", false);
    plug->hideLayer("osc2AmpEnvFade", false);
  } else {
    plug->hideLayer("osc1AmpEnvFade", false);
  }
  plug->grayOutLayer("osc2KeytrackBtn", false);
  plug->grayOutLayer("osc2AmpEnvFade", false);
  if (shape >= 4 && shape <= 8) {
    for (const char* name : {"oscillator2Parameters", "osc2KeytrackBtn", "osc2AmpEnvFade", "oscillator3Parameters"}) {
      plug->grayOutLayer(name, true);
    }
  } else if (shape == 9) {
    plug->grayOutLayer("oscillator3Parameters", true);
  }
  if (whole(plug, kLFO1ShapeClock) >= 5) plug->hideLayer("lfo1ClockedLayer", false);
}

void arpeggiatorTab(Tavrin* plug) {
  plug->hideLayer("arpTempoClock", false);
  plug->hideLayer("arpTempoKnob", false);
  plug->setArpTempoLayers(whole(plug, kGlobalClock) > 0);
  const int length = whole(plug, kPatternLength);
  if (ControlLayer* arp = plug->namedLayer("arpeggiator")) {
    const int position = arp->GetSelectedSubLayer();
    if (position >= 0 && position < arp->NSubLayers()) {
      ControlLayer* page = arp->GetSubLayer(position);
      page->showMultiLayers(200);
      page->GrayOutUserArp(true, 200, 200 + length);
    }
  }
  plug->DrawPatternOverlayer(length);
}

}  // namespace

void TabSwitchFunctions::mainTabSwitch(Tavrin* plug, int, int tab, int) {
  if (!plug) return;
  ControlLayer* root = plug->namedLayer("root");
  if (root) layertools::showOnlySubLayer(root, tab);
  plug->hideLayer("miniMixer", tab == kPanelFreeTab);
  for (const char* name : kLibrarianMenus) plug->hideLayer(name, true);
  if (IControl* randomize = plug->rememberedControl(kRandomize)) randomize->GrayOut(false);
  plug->hideLayer("discardChangesLayerRight", true);
  plug->displayPatchName(displayText0(plug, kPatchName));
  for (const char* name : {"arpTempoKnob", "arpTempoClock", "categoryLimit"}) plug->hideLayer(name, true);
  // The category text shown is that of the parameter's current value.
  IParam* category = plug->GetParam(kCategoryName);
  const char* categoryText = category ? category->GetDisplayText(static_cast<int>(category->Value())) : nullptr;
  plug->displayCategoryName(categoryText ? categoryText : "");
  plug->hideLayer("aboutWindow", true);
  layertools::forEachPatternOverlay(layertools::kFirstPatternOverlay,
                                    [plug](const std::string& name) { plug->hideLayer(name, true); });
  for (const char* name : kSoundPanels) plug->hideLayer(name, true);
  for (int idx : {kControlLibrary, kShowLibrarian}) {
    if (IControl* control = plug->rememberedControl(idx)) control->GrayOut(false);
  }
  plug->hideLayer("searchField", true);
  plug->hideLayer("saveChangesLayer", true);
  plug->hideLayer("releaseAllLocksLayer", false);
  plug->grayOutLayer("releaseAllLocksLayer", !plug->sectionLockOn());

  const int t = root ? root->GetSelectedSubLayer() : tab;
  if (t <= 0) return;
  if (root && t < root->NSubLayers()) layertools::showOnlySubLayer(root->GetSubLayer(t), 0);
  if (t == kLibrarianTab) librarianTab(plug);
  else if (t == kSoundTab) soundTab(plug);
  else if (t == kModArpTab) arpeggiatorTab(plug);
}
