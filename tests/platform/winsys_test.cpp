// The window-system model: the surface origin, coordinates, timers on the
// manual clock, modal runs and the backing-surface dump.
#include <gtest/gtest.h>

#include <png.h>

#include "platform/clock.h"
#include "platform/surface.h"
#include "platform/winsys/testapi.h"
#include "testsupport.h"

namespace {

TEST(Surface, OriginMovesEveryOperation) {
  std::vector<uint32_t> px(8 * 8, 0);
  platform::Surface* s = platform::surfaceCreate(px.data(), 8, 8, 32);
  platform::Color red;
  red.r = 1;
  platform::surfaceTranslate(s, 3, 2);
  platform::surfaceSaveState(s);
  platform::surfaceClipToRect(s, 0, 0, 2, 8);  // buffer columns 3 and 4
  platform::surfaceFillRect(s, -1, 0, 4, 1, red);
  const uint8_t cov[2] = {255, 255};
  platform::surfaceCompositeCoverage(s, 0, 1, cov, 2, 1, 2, red);
  platform::surfaceRestoreState(s);
  EXPECT_EQ(s->state.originX, 3);  // the origin is part of the saved state
  std::vector<int> lit;
  for (int i = 0; i < 64; ++i)
    if (px[static_cast<size_t>(i)]) lit.push_back(i);
  EXPECT_EQ(lit, std::vector<int>({2 * 8 + 3, 2 * 8 + 4, 3 * 8 + 3, 3 * 8 + 4}));
  platform::surfaceRelease(s);
}

class Model : public ::testing::Test {
 protected:
  void SetUp() override { winsys::test::reset(); }
  void TearDown() override { winsys::test::reset(); }
  platform::ManualClock clock;
  platform::ScopedClock scoped{clock};
};

TEST_F(Model, ConversionsHitsAndTimers) {
  auto* w = new winsys::Window(winsys::Rect{100, 100, 300, 200}, winsys::kTitled);
  w->contentView()->setFlipped(true);
  auto* v = new winsys::View;
  v->setFlipped(true);
  v->setFrame(winsys::Rect{10, 20, 100, 50});
  w->contentView()->addSubview(v);
  v->release();
  const winsys::Point s = v->convertToScreen(winsys::Point{0, 0});
  EXPECT_EQ(std::make_pair(s.x, s.y), std::make_pair(110.0, 280.0));
  const winsys::Point back = v->convertFromScreen(s);
  EXPECT_EQ(std::make_pair(back.x, back.y), std::make_pair(0.0, 0.0));
  EXPECT_EQ(w->contentView()->hitTest(winsys::Point{15, 175}), v);  // base coordinates, y up

  std::vector<uint64_t> fired;
  winsys::app::scheduleTimer(w, 10, true, [&] { fired.push_back(platform::monotonicMicros()); });
  winsys::test::pump(25);
  clock.advance(17000);  // 42 ms: the 30 and 40 ms firings are late
  winsys::test::pump(3);
  EXPECT_EQ(fired, std::vector<uint64_t>({10000, 20000, 42000}));
  winsys::test::pump(10);  // phase kept: the next is at 50 ms
  EXPECT_EQ(fired.back(), 50000u);
  w->release();
  winsys::test::pump(100);
  EXPECT_EQ(fired.size(), 4u);  // the owner went, and its timer with it
}

TEST_F(Model, ModalRunsAndSessions) {
  auto* w = new winsys::Window(winsys::Rect{0, 0, 50, 50}, winsys::kTitled);
  winsys::app::scheduleTimer(w, 5, false, [] { winsys::app::stopModalWithCode(7); });
  EXPECT_EQ(winsys::app::runModal(w), 7);
  EXPECT_EQ(winsys::app::runModal(w), winsys::app::kRunAborted);  // nothing can end it
  winsys::app::Session* s = winsys::app::beginModalSession(w);
  EXPECT_EQ(winsys::app::runModalSession(s), winsys::app::kRunContinues);
  winsys::app::abortModal();
  EXPECT_EQ(winsys::app::runModalSession(s), winsys::app::kRunAborted);
  winsys::app::endModalSession(s);
  w->release();
}

TEST_F(Model, BackingSurfaceDump) {
  testsupport::TempDir dir;
  auto* w = new winsys::Window(winsys::Rect{0, 0, 4, 3}, 0);
  platform::Color c;
  c.g = 1;
  platform::surfaceFillRect(w->surface(), 0, 0, 4, 3, c);
  ASSERT_TRUE(winsys::test::dumpPNG(w, dir.file("w.png")));
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&img, dir.file("w.png").c_str()));
  EXPECT_EQ(std::make_pair(img.width, img.height), std::make_pair(4u, 3u));
  png_image_free(&img);
  EXPECT_FALSE(winsys::test::dumpPNG(nullptr, dir.file("x.png")));
  w->release();
}

}  // namespace
