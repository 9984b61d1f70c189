#include "support_viewplug.h"

#include "framework/IBitmapControls.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"

namespace viewplug {

namespace {

// A filled square: red when on, blue when off; a press toggles it.
class Swatch : public IControl {
 public:
  Swatch(IPluginBase* plug, IRECT r, int param) : IControl(plug, r, param) {}
  bool Draw(IGraphics* g) override {
    const IColor c = mValue > 0.5 ? COLOR_RED : COLOR_BLUE;
    return g->FillIRect(&c, &mRECT);
  }
  void OnMouseDown(int, int, IMouseMod* mod) override {
    if (mod && mod->R) return;
    SetValueFromUserInput(mValue > 0.5 ? 0.0 : 1.0);
  }
};

// A grey square whose level is its value; drags and wheel steps move it.
class Knob : public IControl {
 public:
  Knob(IPluginBase* plug, IRECT r, int param) : IControl(plug, r, param) {}
  bool Draw(IGraphics* g) override {
    const int v = static_cast<int>(mValue * 255.0);
    const IColor c(255, v, v, v);
    return g->FillIRect(&c, &mRECT);
  }
  void OnMouseDrag(int, int, int, int dY, IMouseMod*) override { SetValueFromUserInput(Clamped(mValue - dY / 100.0)); }
  void OnMouseWheel(int, int, IMouseMod*, int d) override { SetValueFromUserInput(Clamped(mValue + d * 0.1)); }

 private:
  static double Clamped(double v) { return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v; }
};

// A press prompts for the parameter's value (a menu or a text entry).
class Prompt : public IControl {
 public:
  Prompt(IPluginBase* plug, IRECT r, int param) : IControl(plug, r, param) {
    mDisablePrompt = false;
  }
  bool Draw(IGraphics* g) override {
    const IColor c(255, 40, 120, 40);
    return g->FillIRect(&c, &mRECT);
  }
  void OnMouseDown(int, int, IMouseMod*) override { PromptUserInput(); }
};

// A press opens a text entry without a parameter.
class NameField : public IControl {
 public:
  NameField(ViewPlug* plug, IRECT r) : IControl(plug, r), mOwner(plug) { mTextEntryLength = 0; }
  bool Draw(IGraphics* g) override {
    const IColor c(255, 200, 200, 40);
    return g->FillIRect(&c, &mRECT);
  }
  void OnMouseDown(int, int, IMouseMod*) override {
    if (IGraphics* g = GetGUI()) g->CreateTextEntry(this, &mText, &mRECT, "", nullptr);
  }
  void TextFromTextEntry(const char* text) override { mOwner->names.push_back(text ? text : ""); }

 private:
  ViewPlug* mOwner;
};

// Records presses, wheel steps and keys.
class Pad : public IControl {
 public:
  Pad(ViewPlug* plug, IRECT r) : IControl(plug, r), mOwner(plug) {}
  bool Draw(IGraphics* g) override {
    const IColor c(255, 30, 30, 60);
    return g->FillIRect(&c, &mRECT);
  }
  void OnMouseDown(int x, int y, IMouseMod* mod) override { mOwner->presses.push_back(Press{x, y, *mod, false}); }
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override { mOwner->presses.push_back(Press{x, y, *mod, true}); }
  void OnMouseWheel(int, int, IMouseMod*, int d) override { mOwner->wheels.push_back(d); }
  bool OnKeyDown(int x, int y, int key) override {
    mOwner->keys.push_back(Key{x, y, key});
    return true;
  }

 private:
  ViewPlug* mOwner;
};

// A press opens the owner's link.
class Link : public IControl {
 public:
  Link(ViewPlug* plug, IRECT r) : IControl(plug, r), mOwner(plug) {}
  bool Draw(IGraphics* g) override {
    const IColor c(255, 40, 40, 200);
    return g->FillIRect(&c, &mRECT);
  }
  void OnMouseDown(int, int, IMouseMod*) override {
    if (IGraphics* g = GetGUI()) mOwner->linkAnswers.push_back(g->OpenURL(mOwner->linkURL.c_str()));
  }
  // Presses in quick succession open it each time.
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override { OnMouseDown(x, y, mod); }

 private:
  ViewPlug* mOwner;
};

IGraphics* makeContext(IPluginVST* plug, int w, int h, int fps) { return new IGraphicsLinux(plug, w, h, fps); }

}  // namespace

ViewPlug::ViewPlug(IPluginInstanceInfo info)
    : IPluginVST(info, 0, "2-2", 0, "View Test", "", "Quillfen", 0x10000, 0x76696577, 0x76696578, 0, false, false,
                 false) {
  initialize(info, 0, kNumParams, "2-2", 0, "View Test", "", "Quillfen", 0x10000, 0x76696577, 0x76696578, 0, false,
             false, false);
  GetParam(kSwitch)->InitBool("Switch", false);
  GetParam(kKnob)->InitDouble("Knob", 0.5, 0.0, 1.0, 0.001);
  GetParam(kMode)->InitEnum("Mode", 0, 3);
  GetParam(kMode)->SetDisplayText(0, "Soft");
  GetParam(kMode)->SetDisplayText(1, "Hard");
  GetParam(kMode)->SetDisplayText(2, "Fold");
  GetParam(kCount)->InitInt("Count", 0, -100, 100);
  GetParam(kLevel)->InitDouble("Level", 0.0, -10.0, 10.0, 0.01);
  GetParam(kName)->InitInt("Name", 0, 0, 1);
  GetParam(kName)->InitText();
  SetGraphicsFactory(&makeContext);
  IGraphics* g = MakeGraphics(this, kWidth, kHeight, 0);
  SetGraphicsFactory(nullptr);
  const IColor back(255, 60, 60, 60);
  g->AttachPanelBackground(&back);
  g->AttachControl(new Swatch(this, swatchRect(), kSwitch));
  g->AttachControl(new Knob(this, knobRect(), kKnob));
  for (int p : {kMode, kCount, kLevel, kName}) g->AttachControl(new Prompt(this, promptRect(p), p));
  nameControl = new NameField(this, promptRect(kName + 1));
  g->AttachControl(nameControl);
  g->AttachControl(new Pad(this, padRect()));
  g->AttachControl(new Link(this, linkRect()));
  AttachGraphics(g);
}

void ViewPlug::OnParamChange(int idx) { changes.push_back(idx); }

namespace {
IPluginVST* make(IPluginInstanceInfo info) { return new ViewPlug(info); }
}  // namespace

AEffect* makeEffect(audioMasterCallback host) { return IPluginVST::MakeEffect(host, &make); }

}  // namespace viewplug
