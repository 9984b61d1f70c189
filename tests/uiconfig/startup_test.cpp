// The whole start-up over the staged test root: the system-exclusive list,
// the images, the parameter table and the walk, then the window painted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IParam.h"
#include "support_uiconfig.h"

namespace {

TEST(StartUp, BuildsAndPaintsTheTestWindow) {
  for (auto [theme, scale] : {std::pair{0, 1.0}, std::pair{1, 1.25}}) {
    uitest::Window w;
    uitest::copyTestDescriptions(w.res());
    uitest::writeTestImages(w.res());
    w.build(theme, scale);

    const std::string r = "CONFIG READER: ";
    EXPECT_EQ(w.lines, (std::vector<std::string>{r + "Started to read SysEx Data...", r + "Completed reading SysEx data!",
                                                  r + "Started to read image resources...", r + "Completed!",
                                                  r + "Started to initialize parameters...", r + "Completed!"}));
    EXPECT_EQ(w.ui->imageCount(), 57u);
    EXPECT_EQ(w.ui->paramCount(), 302u);
    ASSERT_EQ(w.ui->sysexContainers().size(), 3u);
    EXPECT_EQ(w.ui->sysexContainers()[1].values.size(), 2u);
    EXPECT_EQ(w.ui->valueList("shapes"), (std::vector<std::string>{"SAW", "SQUARE"}));

    // root > page, osc0-osc2; the patch-list view last in root.
    ASSERT_EQ(w.g->NLayers(), 1);
    ControlLayer* root = w.g->GetLayer(0);
    ASSERT_EQ(root, w.ui->layer("root"));
    ASSERT_EQ(root->NSubLayers(), 4);
    EXPECT_EQ(root->GetSubLayer(0), w.ui->layer("page"));
    EXPECT_EQ(root->GetSubLayer(3), w.ui->layer("osc2"));
    EXPECT_EQ(root->GetControl(root->NControls() - 1), w.ui->patchBrowser());
    EXPECT_EQ(w.ui->patchBrowser()->GetRECT()->L, (int)(60 * scale));

    // The top-level background shows at once; a layer's once it is shown.
    root->Hide(false);
    w.ui->layer("osc1")->Hide(false);
    w.ui->layer("page")->Hide(false);
    w.g->OpenWindow(nullptr);
    EXPECT_EQ(w.g->screenPixel(2, 2), uitest::imageColour(1, 0, theme));
    EXPECT_EQ(w.g->screenPixel((int)(20 * scale) + 1, (int)(20 * scale) + 1), uitest::imageColour(3, 0, theme));
    EXPECT_EQ(w.g->screenPixel((int)(40 * scale) + 2, (int)(20 * scale) + 2), uitest::imageColour(2, 0, theme));
    EXPECT_EQ(w.g->screenPixel(150, 100), 0u);  // nothing there
  }
}

TEST(StartUp, ManagerTakesItsRecordsAlong) {
  uitest::Window w;
  w.buildQuietly();
  ControlAction* a = w.ui->adoptControlAction(40, std::make_unique<ControlAction>());
  EXPECT_EQ(w.plug->GetParam(40)->GetControlAction(), a);
  EXPECT_FALSE(w.ui->adoptControlAction(306, std::make_unique<ControlAction>()));
  ControlAction own;
  w.plug->GetParam(41)->SetControlAction(&own);
  w.ui.reset();
  EXPECT_FALSE(w.plug->GetParam(40)->GetControlAction());
  EXPECT_EQ(w.plug->GetParam(41)->GetControlAction(), &own);  // not the manager's
  w.plug->GetParam(41)->SetControlAction(nullptr);
}

}  // namespace
