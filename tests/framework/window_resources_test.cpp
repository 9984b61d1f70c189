// Resources from the resource folder, and the process-wide bitmap and font
// caches with their lifetime.
#include "framework/DeferredBitmap.h"
#include "framework/GraphicsCaches.h"
#include "framework/IBitmapControls.h"
#include "framework/ITextControl.h"
#include "raster/bitmap.h"
#include "raster/blit.h"
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "support_window.h"

class Resources : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Make(100, 100);
  }
};

TEST_F(Resources, FilesLoadWholeFromTheResourceFolder) {
  ASSERT_TRUE(testsupport::writeFile(folders->resources() + "ui.dat", std::string("abc")));
  std::unique_ptr<uint8_t[]> buf = g->LoadFile(0, "Contents/Resources/ui.dat");
  ASSERT_TRUE(buf);
  EXPECT_EQ(g->GetLastFileSize(), 3);
  EXPECT_EQ(memcmp(buf.get(), "abc\0\0\0\0\0\0\0\0", 11), 0);  // followed by zero bytes

  // Larger than the old fixed buffer: comes back whole.
  std::vector<uint8_t> big(5'000'000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = (uint8_t)(i * 7 + (i >> 13));
  ASSERT_TRUE(testsupport::writeFile(folders->resources() + "big.bin", big));
  buf = g->LoadFile(0, "big.bin");
  ASSERT_TRUE(buf);
  EXPECT_EQ(g->GetLastFileSize(), 5'000'000);
  EXPECT_EQ(memcmp(buf.get(), big.data(), big.size()), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(buf[5'000'000 + i], 0);

  testing::internal::CaptureStdout();
  EXPECT_FALSE(g->LoadFile(0, "missing.dat"));
  EXPECT_FALSE(g->LoadFile(0, nullptr));
  EXPECT_EQ(g->GetLastFileSize(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // missing: quietly null
  ASSERT_EQ(mkdir((folders->resources() + "folder.dat").c_str(), 0755), 0);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(g->LoadFile(0, "folder.dat"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "failed to open file");
}

TEST_F(Resources, ImagesLoadByPNGNameAndFailuresCacheNothing) {
  PutImage("main-frame-bg.png", 8, 6, 1);
  RAST_IBitmap* b = g->OSLoadBitmap(0, "resources/img/main-frame-bg.PNG");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->getWidth(), 8);
  EXPECT_EQ(b->getBits()[0], windowtest::FrameColor(0));
  delete b;
  EXPECT_EQ(g->OSLoadBitmap(0, "main-frame-bg.jpg"), nullptr);
  EXPECT_EQ(g->OSLoadBitmap(0, "png"), nullptr);
  EXPECT_EQ(g->OSLoadBitmap(0, nullptr), nullptr);

  IBitmap missing = g->LoadIBitmap(40, "later.png", 1.0, 3);
  EXPECT_EQ(missing.mData, nullptr);
  EXPECT_EQ(missing.W, 0);
  EXPECT_EQ(missing.N, 3);
  EXPECT_EQ(g->getImageById(40, 2).mData, nullptr);
  PutImage("later.png", 4, 12, 3);
  IBitmap later = g->LoadIBitmap(40, "later.png", 1.0, 3);  // tried again
  ASSERT_NE(later.mData, nullptr);
  EXPECT_EQ(later.H, 12);
  EXPECT_EQ(g->getImageById(40, 2).mData, later.mData);

  // An empty bitmap draws nothing.
  AttachAndOpen();
  IRECT r(0, 0, 10, 10);
  g->Draw(&r);
  EXPECT_TRUE(g->DrawBitmap(&missing, &r, 2));
}

TEST_F(Resources, BitmapCacheKeepsTheFirstScaleUntilTheLastContextCloses) {
  PutImage("knob.png", 10, 20, 2);
  IBitmap first = g->LoadIBitmap(7, "knob.png", 1.0, 2);
  IBitmap second = g->LoadIBitmap(7, "knob.png", 2.0, 2);
  EXPECT_EQ(second.mData, first.mData);
  EXPECT_EQ(second.W, 10);
  {
    TestPlug otherPlug;
    IGraphicsHeadless other(&otherPlug, 10, 10);  // a second window shares the cache
    EXPECT_EQ(other.LoadIBitmap(7, "knob.png", 3.0, 2).mData, first.mData);
    EXPECT_EQ(IGraphics::LiveContexts(), 2);
  }
  EXPECT_EQ(g->getImageById(7).mData, first.mData);  // one context still lives
  g->RetainBitmap(&first);
  EXPECT_EQ(GraphicsCaches::Bitmaps().Count(), 2);
  delete g;  // the last context: the cache empties
  g = nullptr;
  EXPECT_EQ(GraphicsCaches::Bitmaps().Count(), 0);
  EXPECT_EQ(GraphicsCaches::Fonts().Count(), 0);
  g = new IGraphicsHeadless(plug.get(), 100, 100);
  IBitmap scaled = g->LoadIBitmap(7, "knob.png", 2.0, 2);
  EXPECT_EQ(scaled.W, 20);
  EXPECT_EQ(scaled.H, 40);
  EXPECT_EQ(scaled.FrameHeight(), 20);
  g->ReleaseBitmap(&scaled);
  EXPECT_EQ(g->getImageById(7).mData, nullptr);
  IBitmap stranger;
  g->ReleaseBitmap(&stranger);  // not in the cache: left alone
}

// The logical pixels of a bitmap, row by row.
static std::vector<uint32_t> PixelsOf(RAST_IBitmap* b) {
  std::vector<uint32_t> px;
  for (int y = 0; y < b->getHeight(); ++y)
    for (int x = 0; x < b->getWidth(); ++x) px.push_back(b->getBits()[(size_t)y * (size_t)b->getRowSpan() + (size_t)x]);
  return px;
}

TEST_F(Resources, ImagesKeepTheirSizeUntilTheWindowIsFirstDrawnThenDecodeAlike) {
  PutImage("knob.png", 10, 20, 2);
  PutImage("panel.png", 9, 7, 1, 3);
  const struct {
    int id;
    const char* name;
    double scale;
    int w, h;
  } images[] = {{7, "knob.png", 1.25, 12, 25}, {8, "panel.png", 0.75, 6, 5}, {9, "knob.png", 1.0, 10, 20}};
  std::vector<IBitmap> loaded;
  for (const auto& im : images) {
    loaded.push_back(g->LoadIBitmap(im.id, im.name, im.scale, 2));
    ASSERT_NE(loaded.back().mData, nullptr) << im.id;
    EXPECT_EQ(std::make_pair(loaded.back().W, loaded.back().H), std::make_pair(im.w, im.h));
    auto* deferred = dynamic_cast<DeferredBitmap*>(loaded.back().mData);
    ASSERT_NE(deferred, nullptr);
    EXPECT_FALSE(deferred->Decoded()) << "decoded before any drawing";
  }
  g->RetainBitmap(&loaded[0]);  // a second entry of the same bitmap
  AttachAndOpen();  // the first pass decodes them all, drawn or not
  for (size_t i = 0; i < loaded.size(); ++i) {
    EXPECT_TRUE(dynamic_cast<DeferredBitmap*>(loaded[i].mData)->Decoded()) << i;
    // The pixels of the file decoded and scaled bilinearly at once.
    std::unique_ptr<RAST_IBitmap> file(g->OSLoadBitmap(0, images[i].name));
    RAST_MemBitmap expected(images[i].w, images[i].h, 4);
    RAST_ScaledBlit(&expected, file.get(), 0, 0, images[i].w, images[i].h, 0.0f, 0.0f, (float)file->getWidth(),
                    (float)file->getHeight(), 1.0f, RAST_BLIT_FILTER_BILINEAR);
    EXPECT_EQ(PixelsOf(loaded[i].mData), PixelsOf(&expected)) << images[i].name << " at " << images[i].scale;
  }
}

TEST_F(Resources, ADamagedImageKeepsItsSizeAndDrawsNothing) {
  PutImage("damaged.png", 8, 8, 1);
  std::vector<uint8_t> bytes = testsupport::readFile(folders->resources() + "damaged.png");
  size_t idat = 0;
  for (size_t i = 8; i + 12 < bytes.size() && !idat; ++i)
    if (std::memcmp(&bytes[i], "IDAT", 4) == 0) idat = i;
  ASSERT_NE(idat, 0u);
  for (size_t i = idat + 4; i < idat + 12; ++i) bytes[i] = 0xA5;  // data that does not inflate
  ASSERT_TRUE(testsupport::writeFile(folders->resources() + "damaged.png", bytes));
  ASSERT_TRUE(testsupport::writeFile(folders->resources() + "text.png", std::string("not an image at all")));

  EXPECT_EQ(g->LoadIBitmap(30, "text.png").mData, nullptr);  // no header: nothing cached
  EXPECT_EQ(g->getImageById(30).mData, nullptr);
  IBitmap damaged = g->LoadIBitmap(31, "damaged.png");
  ASSERT_NE(damaged.mData, nullptr);
  EXPECT_EQ(std::make_pair(damaged.W, damaged.H), std::make_pair(8, 8));
  Add<IBitmapControl>(10, 10, -1, &damaged);
  AttachAndOpen();
  EXPECT_EQ(damaged.mData->getBits(), nullptr);
  const std::vector<uint32_t>& screen = g->screenImage();
  EXPECT_EQ(std::count(screen.begin(), screen.end(), screen[0]), (std::ptrdiff_t)screen.size()) << "drew something";
}

TEST(DeferredBitmaps, ThreadsAskingAtOnceShareOneDecoding) {
  testsupport::TempDir dir;
  std::vector<uint32_t> px(64 * 48);
  for (size_t i = 0; i < px.size(); ++i) px[i] = windowtest::FrameColor((int)(i % 5));
  ASSERT_TRUE(windowtest::WritePNG(dir.file("p.png"), px.data(), 64, 48, 64, true));
  std::unique_ptr<DeferredBitmap> b = DeferredBitmap::FromPNG(testsupport::readFile(dir.file("p.png")), 1.0);
  ASSERT_TRUE(b);
  std::vector<RAST_pixel*> seen(4, nullptr);
  {
    std::vector<std::thread> threads;
    for (size_t t = 0; t < seen.size(); ++t) threads.emplace_back([&, t] { seen[t] = b->getBits(); });
    for (std::thread& t : threads) t.join();
  }
  ASSERT_NE(seen[0], nullptr);
  for (RAST_pixel* p : seen) EXPECT_EQ(p, seen[0]);
  EXPECT_EQ(PixelsOf(b.get()), px);
  EXPECT_FALSE(DeferredBitmap::FromPNG({}, 1.0));
  EXPECT_FALSE(DeferredBitmap::FromPNG(testsupport::readFile(dir.file("p.png")), 0.01));  // nothing left of it
}

TEST_F(Resources, StylesThatDifferOnlyInColourShareOneFont) {
  IText red(14, &COLOR_RED, "Consolas"), blue(14, &COLOR_BLUE, "Consolas"), bold(14, &COLOR_RED, "Consolas",
                                                                                  IText::kStyleBold);
  RAST_IFont* a = g->CacheFont(&red);
  if (!a) GTEST_SKIP() << "no font could be made";
  EXPECT_EQ(g->CacheFont(&blue), a);
  EXPECT_EQ(blue.mCached, a);
  EXPECT_NE(g->CacheFont(&bold), a);
  EXPECT_EQ(GraphicsCaches::Fonts().Count(), 2);

  // Measuring: the rectangle follows the alignment.
  AttachAndOpen();
  IRECT near(10, 10, 90, 30), centre(10, 10, 90, 30);
  red.mAlign = IText::kAlignNear;
  EXPECT_TRUE(g->MeasureIText(&red, "Cutoff", &near));
  EXPECT_EQ(near.L, 10);
  EXPECT_GT(near.W(), 0);
  EXPECT_GT(near.H(), 0);
  EXPECT_EQ(near.T, 10);
  EXPECT_TRUE(g->MeasureIText(&blue, "Cutoff", &centre));
  EXPECT_EQ(centre.W(), near.W());
  EXPECT_EQ(centre.L, 50 - near.W() / 2);
  EXPECT_TRUE(g->DrawIText(&red, "", &near));
  EXPECT_TRUE(g->DrawIText(&red, nullptr, &near));
}
