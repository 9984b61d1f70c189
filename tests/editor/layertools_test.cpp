// The editor's shared layer steps: one sub-layer shown among its siblings,
// a layer's first control, and the names of the pattern's step overlays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/LayerTools.h"
#include "framework/ControlLayer.h"

namespace {

TEST(LayerTools, ShowsOneSubLayerAndHidesTheRest) {
  ControlLayer group(0, "group");
  for (int id : {0, 1, 2}) group.AttachLayer(new ControlLayer(id, "page" + std::to_string(id)));
  layertools::showOnlySubLayer(&group, 1);
  EXPECT_EQ(group.GetSelectedSubLayer(), 1);
  for (int i = 0; i < group.NSubLayers(); ++i) EXPECT_EQ(group.GetSubLayer(i)->IsVisible(), i == 1) << i;
  // An id no sub-layer has hides them all.
  layertools::showOnlySubLayer(&group, -1);
  for (int i = 0; i < group.NSubLayers(); ++i) EXPECT_FALSE(group.GetSubLayer(i)->IsVisible()) << i;
  layertools::showOnlySubLayer(nullptr, 1);
  EXPECT_EQ(layertools::firstControl(&group), nullptr);
  EXPECT_EQ(layertools::firstControl(nullptr), nullptr);
}

TEST(LayerTools, PatternOverlaysRunFromTheGivenStepToTheLast) {
  std::vector<std::string> names;
  const auto add = [&](const std::string& n) { names.push_back(n); };
  layertools::forEachPatternOverlay(layertools::kFirstPatternOverlay, add);
  ASSERT_EQ(names.size(), 15u);
  EXPECT_EQ(names.front(), "pattStepOverlayer02");
  EXPECT_EQ(names.back(), "pattStepOverlayer16");
  names.clear();
  layertools::forEachPatternOverlay(15, add);
  EXPECT_EQ(names, (std::vector<std::string>{"pattStepOverlayer15", "pattStepOverlayer16"}));
  names.clear();
  layertools::forEachPatternOverlay(17, add);
  EXPECT_TRUE(names.empty());
}

}  // namespace
