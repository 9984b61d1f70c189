#pragma once
// The view test plug-in: an effect whose window (640 x 757, the platform's
// graphics context) holds a few plainly drawn controls that record what
// reaches them, for the editor view's tests in process.
//
//   swatch  (10, 20)-(30, 40)    kSwitch: a press toggles it
//   knob    (100, 100)-(160, 160) kKnob: drags (1/100 a pixel) and wheel steps
//   prompts (200, y)-(260, y + 20) kMode (a menu), kCount, kLevel, kName (text),
//           then a name field without a parameter and without a length limit
//   pad     (300, 300)-(600, 600) no parameter: records presses, wheel steps
//           and keys (the keys at the pointer's last place).
//   link    (200, 240)-(260, 260) no parameter: a press opens linkURL and
//           records the answer.
//
// Threads: the binding's mutex guards the records; read them under it.
#include <string>
#include <vector>

#include "framework/IControl.h"
#include "host/IGraphicsLinux.h"
#include "host/IPluginVST.h"

namespace viewplug {

enum { kSwitch, kKnob, kMode, kCount, kLevel, kName, kNumParams };

struct Press {
  int x, y;
  IMouseMod mod;
  bool dbl;
};
struct Key {
  int x, y, code;
};

class ViewPlug : public IPluginVST {
 public:
  static constexpr int kWidth = 640, kHeight = 757;
  static IRECT swatchRect() { return IRECT(10, 20, 30, 40); }
  static IRECT knobRect() { return IRECT(100, 100, 160, 160); }
  static IRECT promptRect(int param) { return IRECT(200, 20 + 40 * (param - kMode), 260, 40 + 40 * (param - kMode)); }
  static IRECT padRect() { return IRECT(300, 300, 600, 600); }
  static IRECT linkRect() { return IRECT(200, 240, 260, 260); }

  explicit ViewPlug(IPluginInstanceInfo info);
  void OnParamChange(int idx) override;

  IGraphicsLinux* graphics() const { return static_cast<IGraphicsLinux*>(GetGUI()); }
  std::vector<int> changes;  // OnParamChange indices
  std::vector<Press> presses;
  std::vector<int> wheels;
  std::vector<Key> keys;
  std::vector<std::string> names;  // texts the name control was given without a parameter
  IControl* nameControl = nullptr;  // a prompt without a parameter
  std::string linkURL = "https://example.org/help";
  std::vector<bool> linkAnswers;  // what the link's OpenURL answered
};

// The entry: one ViewPlug.
AEffect* makeEffect(audioMasterCallback host);
inline ViewPlug* plugOf(AEffect* e) { return static_cast<ViewPlug*>(static_cast<IPluginVST*>(e->object)); }

}  // namespace viewplug
