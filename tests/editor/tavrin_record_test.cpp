// The plug-in's record as the host sees it, made with no host callback.
#include <gtest/gtest.h>

#include "editor/Tavrin.h"
#include "framework/IGraphics.h"
#include "testsupport.h"

namespace {

TEST(TavrinRecord, IdentityFlagsAndEditorRectangle) {
  testsupport::ScopedFolders folders;
  Tavrin plug{IPluginInstanceInfo{}};
  AEffect* e = plug.GetAEffect();
  EXPECT_EQ(e->object, &plug);
  EXPECT_EQ(std::vector<int>({e->flags, e->numParams, e->numInputs, e->numOutputs, e->initialDelay, e->version}),
            std::vector<int>({0x1130, 0, 2, 2, 128, 10100}));
  EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, nullptr, 0.0f), 0);
  // Without a host every query answers 0, and opening identifies no host.
  EXPECT_EQ(e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(plug.GetHost(), kHostUnknown);
  EXPECT_EQ(plug.GetTempo() + plug.GetSamplePos(), 0.0);

  plug.AttachGraphics(MakeGraphics(&plug, 1500, 757, 25));
  EXPECT_EQ(e->flags, 0x1131);
  ERect* rect = nullptr;
  EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f), 1);
  EXPECT_EQ(std::vector<int>({rect->top, rect->left, rect->bottom, rect->right}), std::vector<int>({0, 0, 757, 1500}));
  // A resize reads the rectangle back from the context.
  plug.GetGUI()->Resize(800, 400);
  EXPECT_EQ(std::vector<int>({rect->bottom, rect->right}), std::vector<int>({400, 800}));
}

}  // namespace
