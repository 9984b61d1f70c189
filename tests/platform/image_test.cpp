#include "platform/image.h"

#include <gtest/gtest.h>

#include "platform/pngwrite.h"
#include "testsupport.h"

namespace {

uint32_t At(const platform::Image* img, int x, int y) {
  const uint8_t* p = img->pixel(x, y);
  return (uint32_t{p[3]} << 24) | (p[0] << 16) | (p[1] << 8) | p[2];
}

TEST(Images, IconEntriesAtEachDepthWithTheirMask) {
  // top row: opaque red, transparent; bottom row: white, half-transparent blue
  const std::vector<uint32_t> px = {0xFFFF0000, 0x00000000, 0xFFFFFFFF, 0x800000FF};
  struct Case {
    int bpp;
    std::vector<uint32_t> want;
  } cases[] = {
      {32, {0xFFFF0000, 0x00000000, 0xFFFFFFFF, 0x800000FF}},
      {24, {0xFFFF0000, 0x00000000, 0xFFFFFFFF, 0xFF0000FF}},
      {1, {0xFFFFFFFF, 0x00000000, 0xFFFFFFFF, 0xFF000000}},
  };
  for (const Case& c : cases) {
    const auto file = testsupport::iconFile(2, 2, 2, c.bpp, 1, 0, px);
    int hx = -1, hy = -1;
    platform::Image* img = platform::imageDecodeIcon(file, &hx, &hy);
    ASSERT_NE(img, nullptr) << c.bpp;
    EXPECT_EQ(hx, 1);
    EXPECT_EQ(hy, 0);
    EXPECT_EQ((std::vector<uint32_t>{At(img, 0, 0), At(img, 1, 0), At(img, 0, 1), At(img, 1, 1)}), c.want) << c.bpp;
    platform::imageRelease(img);
    auto cut = file;
    cut.resize(cut.size() - 9);  // into the colour rows
    EXPECT_EQ(platform::imageDecodeIcon(cut), nullptr);
  }
  auto icon = testsupport::iconFile(1, 2, 2, 32, 5, 5, px);
  int hx = -1;
  platform::Image* img = platform::imageDecode(icon);
  ASSERT_NE(img, nullptr);
  platform::imageRelease(img);
  img = platform::imageDecodeIcon(icon, &hx);
  EXPECT_EQ(hx, 0);  // icons have no hot spot
  platform::imageRelease(img);
}

TEST(Images, PngFilesAndRefusals) {
  testsupport::TempDir dir;
  // A R G B bytes per pixel
  const std::vector<uint8_t> px = {0x11, 0x22, 0x33, 0x44, 0xFF, 0, 0xFF, 0, 0x80, 0xFF, 0xFF, 0xFF,
                                   0xFF, 0,    0,    0,    0xFF, 0, 0,    0xFF, 0, 0, 0, 0};
  ASSERT_TRUE(platform::writePNG(dir.file("a.png"), px.data(), 3, 2, 12, true));
  platform::Image* img = platform::imageLoadFile(dir.file("a.png"));
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->width, 3);
  EXPECT_EQ(img->height, 2);
  EXPECT_EQ(At(img, 1, 0), 0xFF00FF00u);
  EXPECT_EQ(At(img, 1, 1), 0xFF0000FFu);
  platform::imageRelease(img);
  EXPECT_EQ(platform::imageLoadFile(dir.file("missing.png")), nullptr);
  EXPECT_EQ(platform::imageCreate(0, 5), nullptr);
  EXPECT_EQ(platform::imageCreate(1 << 16, 1 << 16), nullptr);
}

}  // namespace
