// The image table over test images in a headless window, at each scale and
// in both themes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "raster/bitmap.h"
#include "support_uiconfig.h"
#include "uiconfig/ImageTable.h"

namespace {

using uiconfig::kImageTable;

// The pixel at the centre of frame k of a bitmap record.
uint32_t framePixel(const IBitmap& b, int k) {
  const int fw = b.FrameWidth(), fh = b.FrameHeight();
  const int x = (b.mFramesAreHorizontal ? k * fw : 0) + fw / 2, y = (b.mFramesAreHorizontal ? 0 : k * fh) + fh / 2;
  return b.mData->getBits()[y * b.mData->getRowSpan() + x];
}

TEST(ImageTable, EveryRecordAtEveryScaleAndTheme) {
  for (int theme = 0; theme < 2; ++theme)
    for (double scale : {0.75, 1.0, 1.25}) {
      // Each window goes before the next: the cache then starts empty.
      uitest::Window w;
      uitest::writeTestImages(w.res());
      w.build(theme, scale);
      EXPECT_EQ(w.ui->imageCount(), 57u);
      for (int row = 0; row < uiconfig::kImageCount; ++row) {
        const uiconfig::ImageRow& im = kImageTable[row];
        const IBitmap b = w.ui->getImageByName(w.g, im.idString);
        ASSERT_TRUE(b.mData) << im.idString;
        const int n = im.frames;
        EXPECT_EQ(b.W, (int)((im.sideBySide ? 8 * n : 8) * scale)) << im.idString;
        EXPECT_EQ(b.H, (int)((im.sideBySide ? 8 : 8 * n) * scale)) << im.idString;
        EXPECT_EQ(b.N, n);
        EXPECT_EQ(b.mFramesAreHorizontal, im.sideBySide);
        EXPECT_EQ(framePixel(b, n - 1), uitest::imageColour(row, n - 1, theme)) << im.idString;
      }
      EXPECT_EQ(w.ui->getImageByName(w.g, "KNOB_ID127").N, 128);
      EXPECT_TRUE(w.ui->getImageByName(w.g, "BTN_RADIO_ARP_ID").mFramesAreHorizontal);

      // The progress layer's later load at 1.0 is answered from the cache.
      const IBitmap progress = w.ui->getImageByName(w.g, "PROGRESS_INDICATOR_ID");
      const IBitmap again = w.g->LoadIBitmap(118, "resources/img/none-such.png", 1.0);
      EXPECT_EQ(again.mData, progress.mData);
      EXPECT_EQ(again.W, progress.W);

      w.lines.clear();
      const IBitmap missing = w.ui->getImageByName(w.g, "knob_id127");
      EXPECT_TRUE(!missing.mData && missing.W == 0 && missing.H == 0 && missing.N == 1 &&
                  !missing.mFramesAreHorizontal);
      EXPECT_EQ(w.lines, std::vector<std::string>{"CONFIG READER: Image knob_id127 MISSING!"});
    }
}

TEST(ImageTable, FirstLiveContextHoldsThemeAndScaleAndReleaseEmptiesTheCache) {
  uitest::Window first;
  uitest::writeTestImages(first.res());
  first.build(0, 1.0);
  {
    uitest::Window second;  // its own folder holds no images at all
    second.build(1, 1.25);
    const IBitmap b = second.ui->getImageByName(second.g, "KNOB_ID21");
    ASSERT_TRUE(b.mData);
    EXPECT_EQ(b.W, 8);
    EXPECT_EQ(framePixel(b, 0), uitest::imageColour(5, 0, 0));
  }
  // A second registration of an id string replaces its record.
  first.ui->preloadImage(first.g, 123, "KNOB_ID21", "resources/img/knob-tavrin-normal.png", 128, false);
  EXPECT_EQ(first.ui->getImageByName(first.g, "KNOB_ID21").N, 128);
  EXPECT_EQ(first.ui->imageCount(), 57u);

  first.lines.clear();
  first.ui->ClearImageCache();
  EXPECT_EQ(first.lines.size(), 2u);
  EXPECT_EQ(first.ui->imageCount(), 57u);
  EXPECT_FALSE(first.g->getImageById(102).mData);
}

}  // namespace
