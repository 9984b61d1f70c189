// Layers and input dispatch: which control an injected event reaches, at
// framework coordinates and through the view-level calls.
#include <climits>

#include "framework/IBitmapControls.h"
#include "framework/ITextControl.h"
#include "support_window.h"

namespace {

// Records what reaches it.
class Probe : public IControl {
 public:
  Probe(IPluginBase* plug, IRECT r, int paramIdx, std::vector<std::string>* log, const char* name)
      : IControl(plug, r, paramIdx), mLog(log), mName(name) {}
  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int x, int y, IMouseMod* m) override { Log("down", x, y, m); }
  void OnMouseUp(int x, int y, IMouseMod* m) override { Log("up", x, y, m); }
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* m) override { Log("drag", dX, dY, m); }
  void OnMouseDblClick(int x, int y, IMouseMod* m) override { Log("dbl", x, y, m); }
  void OnMouseWheel(int x, int y, IMouseMod* m, int d) override { Log("wheel" + std::to_string(d), x, y, m); }
  bool OnKeyDown(int x, int y, int key) override {
    Log("key" + std::to_string(key), x, y, nullptr);
    return true;
  }
  void OnMouseOver(int x, int y, IMouseMod* m) override { Log("over", x, y, m); }
  void OnMouseOut() override { mLog->push_back(mName + ":out"); }

 private:
  void Log(const std::string& what, int x, int y, IMouseMod* m) {
    std::string s = mName + ":" + what + "@" + std::to_string(x) + "," + std::to_string(y);
    if (m) s += std::string(" ") + (m->L ? "L" : "") + (m->R ? "R" : "") + (m->S ? "S" : "") + (m->C ? "C" : "") +
                (m->A ? "A" : "");
    mLog->push_back(s);
  }
  std::vector<std::string>* mLog;
  std::string mName;
};

}  // namespace

class Dispatch : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Make(200, 120, 8, false);  // no background: empty space hits nothing
    under = Add<Probe>(IRECT(0, 0, 100, 100), 0, &log, "under");
    top = Add<Probe>(IRECT(50, 50, 100, 100), 1, &log, "top");
    layer = new ControlLayer(1, "PAGE");
    inLayer = new Probe(plug.get(), IRECT(80, 80, 120, 120), 2, &log, "layer");
    layer->AttachControl(inLayer);
    g->AttachLayer(layer);
  }
  std::vector<std::string> log;
  Probe *under = nullptr, *top = nullptr, *inLayer = nullptr;
  ControlLayer* layer = nullptr;
};

TEST_F(Dispatch, LayersComeFirstGrayedListControlsFallThrough) {
  AttachAndOpen();
  g->press(90, 90);  // hidden layer: the list's top control
  layer->Hide(false);
  g->press(90, 90);  // visible layer: over the list
  top->GrayOut(true);
  g->press(60, 60);  // grayed list control: falls through to the one under it
  inLayer->GrayOut(true);
  g->press(90, 90);  // grayed inside a visible layer: still reaches it
  g->press(150, 10);  // nothing there
  std::vector<std::string> downs;
  for (const std::string& s : log)
    if (s.find(":down") != std::string::npos) downs.push_back(s);
  EXPECT_EQ(downs, std::vector<std::string>(
                       {"top:down@90,90 L", "layer:down@90,90 L", "under:down@60,60 L", "layer:down@90,90 L"}));
  EXPECT_EQ(plug->begins, std::vector<int>({1, 2, 0, 2}));
  EXPECT_EQ(g->GetParamIdxForPTAutomation(90, 90), 2);
  EXPECT_EQ(g->GetLastClickedParamForPTAutomation(), 2);
  EXPECT_EQ(g->GetLastClickedParamForPTAutomation(), -1);
}

TEST_F(Dispatch, CaptureCarriesDragsWheelsKeysAndTheRelease) {
  AttachAndOpen();
  g->press(10, 10);
  g->drag(10, 10);  // no movement: not passed on
  g->drag(15, 8);
  g->wheel(190, 110, 3);
  EXPECT_TRUE(g->key(190, 110, 15));
  g->release(190, 110);  // outside every control: still the pressed one
  g->release(190, 110);  // no capture, nothing there: nothing happens
  EXPECT_EQ(log, std::vector<std::string>({"under:down@10,10 L", "under:drag@5,-2 L", "under:wheel3@190,110 ",
                                           "under:key15@190,110", "under:up@190,110 L"}));
  EXPECT_EQ(plug->begins, std::vector<int>({0}));
  EXPECT_EQ(plug->ends, std::vector<int>({0}));
  EXPECT_EQ(g->GetCapturedControl(), nullptr);
  EXPECT_EQ(g->GetMouseX(), -1);

  // Without a control under the pointer, keys go to the key catcher.
  log.clear();
  EXPECT_FALSE(g->key(150, 10, 20));
  g->AttachKeyCatcher(new Probe(plug.get(), IRECT(), -1, &log, "catcher"));
  EXPECT_TRUE(g->key(150, 10, 20));
  EXPECT_EQ(log, std::vector<std::string>({"catcher:key20@150,10"}));

  // Double clicks: as a double click, or as a press that captures.
  log.clear();
  EXPECT_FALSE(g->doubleClick(10, 10));
  under->SetMouseDblAsSingleClick(true);
  EXPECT_TRUE(g->doubleClick(10, 10));
  EXPECT_EQ(g->GetCapturedControl(), under);
  EXPECT_EQ(log, std::vector<std::string>({"under:dbl@10,10 L", "under:down@10,10 L"}));
  EXPECT_EQ(plug->begins.size(), 1u);  // no host notice for a double click
}

TEST_F(Dispatch, DragsToTheFarEndsOfTheRangeMoveByTheNearestInt) {
  AttachAndOpen();
  g->press(10, 10);
  g->drag(INT_MIN, INT_MAX);
  g->drag(INT_MAX, INT_MIN);
  g->release(0, 0);
  EXPECT_EQ(log, std::vector<std::string>({"under:down@10,10 L", "under:drag@" + std::to_string(INT_MIN) + "," +
                                               std::to_string(INT_MAX - 10) + " L",
                                           "under:drag@" + std::to_string(INT_MAX) + "," + std::to_string(INT_MIN) +
                                               " L",
                                           "under:up@0,0 L"}));
}

TEST_F(Dispatch, MouseOverOnlyWhenSwitchedOn) {
  AttachAndOpen();
  EXPECT_FALSE(g->move(10, 10));
  EXPECT_TRUE(log.empty());
  g->SetHandleMouseOver(true);
  EXPECT_TRUE(g->move(10, 10));
  EXPECT_TRUE(g->move(60, 60));
  top->GrayOut(true);
  top->SetMOWhenGrayed(true);
  EXPECT_TRUE(g->move(61, 61));
  g->pointerOut();
  EXPECT_EQ(g->GetMouseOverControl(), nullptr);
  EXPECT_EQ(log, std::vector<std::string>({"under:over@10,10 ", "top:over@60,60 ", "under:out", "top:over@61,61 ",
                                           "under:out", "top:out"}));
}

TEST_F(Dispatch, ViewLevelCallsMapPointsButtonsWheelAndKeys) {
  AttachAndOpen();
  g->viewMouseDown(100.7, 50.2);
  g->viewMouseUp(100.7, 50.2);
  g->viewMouseDown(12, 13, 1, false, IGraphicsHeadless::kViewCommand | IGraphicsHeadless::kViewShift);
  g->viewMouseDrag(14, 13);
  g->viewMouseUp(14, 13, false, 0);
  g->viewMouseDown(12, 13, 1, true);
  g->viewMouseDown(12, 13, 2);
  g->viewWheel(12, 13, 0.6);
  g->viewWheel(12, 13, -2.9, IGraphicsHeadless::kViewControl | IGraphicsHeadless::kViewOption);
  EXPECT_EQ(log, std::vector<std::string>({"under:down@98,47 L", "under:up@98,47 L", "under:down@10,10 LRS",
                                           "under:drag@2,0 L", "under:up@12,10 L", "under:down@10,10 LR",
                                           "under:dbl@10,10 L", "under:wheel0@10,10 L", "under:wheel-2@10,10 LCA"}));
  log.clear();
  g->viewMouseMove(12, 23);
  for (const char* k : {"a", "A", "5", " "}) EXPECT_TRUE(g->viewKey(k)) << k;
  EXPECT_TRUE(g->viewKey(nullptr, IGraphicsHeadless::kVKUp));
  EXPECT_FALSE(g->viewKey("#") || g->viewKey("ab"));  // unmapped: not handled
  EXPECT_EQ(log, std::vector<std::string>({"under:key15@10,20", "under:key15@10,20", "under:key10@10,20",
                                           "under:key0@10,20", "under:key1@10,20"}));
  EXPECT_EQ(IGraphicsHeadless::KeyCode("z", -1), 40);
  EXPECT_EQ(IGraphicsHeadless::KeyCode(nullptr, IGraphicsHeadless::kVKRight), 4);
}

TEST_F(Dispatch, APressThatRanAModalMenuLosesItsRelease) {
  InitEnum(4, {"A", "B"});
  AddPromptingCaption(IRECT(120, 0, 200, 20), 4);
  AttachAndOpen();
  g->answerMenuDismiss();
  g->viewMouseDown(132, 13);
  EXPECT_EQ(g->GetCapturedControl(), nullptr);  // released before the menu showed
  g->viewMouseUp(132, 13);
  EXPECT_TRUE(plug->ends.empty());
  g->viewMouseDown(132, 13);  // no answer: dismissed as well
  EXPECT_EQ(g->menus().size(), 2u);
  g->viewMouseUp(132, 13);
  g->viewMouseDown(12, 13);
  g->viewMouseUp(12, 13);
  EXPECT_EQ(plug->ends, std::vector<int>({0}));
}

// A root layer with one control of its own and sub-layers of the given ids,
// each holding one panel.
struct LayerTree {
  TestPlug plug;
  ControlLayer root{0, "ROOT"};
  IControl* own = new IPanelControl(&plug, IRECT(0, 0, 10, 10), &COLOR_RED);
  std::vector<ControlLayer*> subs;
  explicit LayerTree(int firstId, int lastId) {
    root.AttachControl(own);
    for (int id = firstId; id <= lastId; ++id) {
      subs.push_back(new ControlLayer(id, "SUB"));
      subs.back()->AttachControl(new IPanelControl(&plug, IRECT(id, 0, id + 1, 1), &COLOR_RED));
      root.AttachLayer(subs.back());
    }
  }
  // The ids of the sub-layers that are visible, or whose panel is grayed.
  std::vector<int> ids(bool grayed) const {
    std::vector<int> r;
    for (ControlLayer* sub : subs)
      if (grayed ? sub->GetControl(0)->IsGrayed() : sub->IsVisible()) r.push_back(sub->GetId());
    return r;
  }
};

TEST(Layers, ShowAndRestoreOnlyTheSelectedSubLayer) {
  LayerTree t(10, 12);
  t.root.SetSelectedSubLayer(99);  // matches none: only the layer's own controls show
  t.root.Hide(false);
  EXPECT_TRUE(t.root.IsVisible());
  EXPECT_FALSE(t.own->IsHidden());
  EXPECT_TRUE(t.ids(false).empty());
  t.root.SetSelectedSubLayer(11);
  t.root.Hide(false);
  EXPECT_EQ(t.ids(false), std::vector<int>({11}));
  t.subs[1]->Hide(true);  // hidden on its own...
  t.root.SetSelectedSubLayer(12);
  t.root.Hide(false);  // ...stays hidden when another is selected
  EXPECT_EQ(t.ids(false), std::vector<int>({12}));
  t.root.Hide(true);
  EXPECT_TRUE(t.ids(false).empty());
  EXPECT_TRUE(t.own->IsHidden());

  t.root.GrayOut(true);
  EXPECT_EQ(t.ids(true), std::vector<int>({10, 11, 12}));
  t.root.GrayOut(false);  // restores only the selected one (12)
  EXPECT_EQ(t.ids(true), std::vector<int>({10, 11}));
  t.root.GrayOutCustomZone(true, 9);
  EXPECT_EQ(t.root.GetSelectedSubLayer(), 9);
  EXPECT_EQ(t.ids(true), std::vector<int>({10, 11}));
  t.root.GrayOutCustomZone(true, 253);
  t.root.GrayOutCustomZone(true, 12);
  EXPECT_EQ(t.ids(true), std::vector<int>({10, 11, 12}));
  EXPECT_EQ(t.root.getControlFromParam(-1), nullptr);  // hidden
  t.root.Hide(false);
  EXPECT_EQ(t.root.getControlFromParam(-1), t.subs[2]->GetControl(0));  // sub-layers first, last first
}

TEST(Layers, UserArpZonesAndIgnoreHidden) {
  LayerTree t(200, 210);
  t.root.GrayOutUserArp(true, 199, 0);
  EXPECT_EQ(t.root.GetSelectedSubLayer(), 199);
  t.root.GrayOutUserArp(true, 253, 0);
  EXPECT_TRUE(t.ids(true).empty());
  t.root.GrayOutUserArp(false, 200, 204);
  EXPECT_EQ(t.ids(true), std::vector<int>({205, 206, 207, 208, 209, 210}));
  t.root.GrayOutUserArp(false, 200, 208);
  EXPECT_EQ(t.ids(true), std::vector<int>({209, 210}));

  // Hidden with the ignore-hidden flag: the first control's area counts.
  ControlLayer overlay(5, "PROGRESS");
  auto* first = new IPanelControl(&t.plug, IRECT(0, 0, 10, 10), &COLOR_RED);
  auto* second = new IPanelControl(&t.plug, IRECT(50, 50, 60, 60), &COLOR_RED);
  overlay.AttachControl(first);
  overlay.AttachControl(second);
  overlay.Hide(true);
  IRECT r;
  EXPECT_FALSE(overlay.isDirty(&r));
  overlay.setIgnoreHiddenWhenUpdatingScreen(true);
  EXPECT_TRUE(first->GetRedrawWhileHidden());
  EXPECT_FALSE(second->GetRedrawWhileHidden());
  EXPECT_TRUE(overlay.isDirty(&r));
  EXPECT_EQ(r, IRECT(0, 0, 10, 10));
  EXPECT_EQ(overlay.isHit(5, 5), nullptr);
  ControlLayer bare(6, "EMPTY");
  bare.setIgnoreHiddenWhenUpdatingScreen(true);  // no controls: nothing to flag
  EXPECT_TRUE(bare.GetIgnoreHidden());

  // Overlapping controls: the later one is hit.
  overlay.Hide(false);
  auto* later = new IPanelControl(&t.plug, IRECT(0, 0, 10, 10), &COLOR_RED);
  overlay.AttachControl(later);
  EXPECT_EQ(overlay.isHit(5, 5), later);
}
