// PNG loading: every colour type, depth, transparency and interlace gives
// the stated alpha, red, green, blue bytes; truncated and corrupt data give
// null; file, memory and named-resource entry points.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>

#include "platform/folders.h"
#include "pngwriter.h"
#include "raster/png.h"
#include "rastertest.h"
#include "testsupport.h"

using rastertest::logicalPixels;
using rastertest::TestBitmap;

namespace {

std::string kindName(const pngtest::Kind& k, bool interlaced) {
  return "type " + std::to_string(k.colorType) + " depth " + std::to_string(k.bitDepth) + (k.transparency ? " tRNS" : "") +
         (interlaced ? " interlaced" : "");
}

RAST_IBitmap* fromMemory(const std::vector<uint8_t>& file, RAST_IBitmap* into = nullptr) {
  return RAST_LoadPNGFromMemory(file.data(), static_cast<int>(file.size()), into);
}

std::vector<uint8_t> smallRgba() {
  return pngtest::encode(pngtest::make(PNG_COLOR_TYPE_RGB_ALPHA, 8, 5, 4, false, false));
}

}  // namespace

TEST(Png, EveryKindGivesTheStatedBytes) {
  for (const pngtest::Kind& k : pngtest::allKinds()) {
    for (bool interlaced : {false, true}) {
      const pngtest::Image im = pngtest::make(k.colorType, k.bitDepth, 13, 7, interlaced, k.transparency);
      const std::vector<uint8_t> file = pngtest::encode(im);
      ASSERT_FALSE(file.empty()) << kindName(k, interlaced);
      std::unique_ptr<RAST_IBitmap> bm(fromMemory(file));
      ASSERT_NE(bm, nullptr) << kindName(k, interlaced);
      // a new heap bitmap aligns rows to 4 pixels
      EXPECT_EQ(std::tuple(bm->getWidth(), bm->getHeight(), bm->getRowSpan()), std::tuple(13, 7, 16));
      EXPECT_EQ(logicalPixels(*bm), im.expected) << kindName(k, interlaced);
    }
  }
}

TEST(Png, FileAndCallerBitmaps) {
  testsupport::TempDir dir;
  const auto im = pngtest::make(PNG_COLOR_TYPE_PALETTE, 4, 13, 7, true, true);
  const auto file = pngtest::encode(im);
  ASSERT_TRUE(testsupport::writeFile(dir.file("a.png"), file));

  std::unique_ptr<RAST_IBitmap> fromFile(RAST_LoadPNG(dir.file("a.png").c_str(), nullptr));
  ASSERT_NE(fromFile, nullptr);
  EXPECT_EQ(logicalPixels(*fromFile), im.expected);

  // A caller's heap bitmap is resized; rows land at its span.
  RAST_MemBitmap mine(10, 10, 4);
  EXPECT_EQ(RAST_LoadPNG(dir.file("a.png").c_str(), &mine), &mine);
  EXPECT_EQ(mine.getWidth(), 13);
  EXPECT_EQ(mine.getRowSpan(), 16);
  EXPECT_EQ(logicalPixels(mine), im.expected);

  // A flipped bitmap receives row 0 in its last stored row.
  TestBitmap flipped(13, 7, 15, true);
  EXPECT_EQ(fromMemory(file, &flipped), &flipped);
  EXPECT_EQ(flipped.logical(), im.expected);
  EXPECT_TRUE(flipped.paddingIntact());

  // A system bitmap.
  RAST_SysBitmap sys(2, 2);
  EXPECT_EQ(fromMemory(file, &sys), &sys);
  EXPECT_EQ(logicalPixels(sys), im.expected);

  // A bitmap that cannot take the image's size.
  TestBitmap fixed(3, 3);
  EXPECT_EQ(fromMemory(file, &fixed), nullptr);

  EXPECT_EQ(RAST_LoadPNG(dir.file("missing.png").c_str(), nullptr), nullptr);
  EXPECT_EQ(RAST_LoadPNG(nullptr, nullptr), nullptr);
  EXPECT_EQ(RAST_LoadPNG(dir.path().c_str(), nullptr), nullptr);  // a folder
}

TEST(Png, TruncatedDataGivesNull) {
  const auto file = smallRgba();
  ASSERT_FALSE(file.empty());
  for (size_t n = 0; n < file.size(); ++n) {
    // exact-size copies, so that a read past the end is caught
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(n));
    RAST_IBitmap* bm = fromMemory(cut);
    EXPECT_EQ(bm, nullptr) << n;
    delete bm;
  }
  // a short file on disk as well
  testsupport::TempDir dir;
  ASSERT_TRUE(testsupport::writeFile(dir.file("cut.png"), std::vector<uint8_t>(file.begin(), file.end() - 20)));
  EXPECT_EQ(RAST_LoadPNG(dir.file("cut.png").c_str(), nullptr), nullptr);
  // a caller's bitmap may be resized, but the result is null
  RAST_MemBitmap mine;
  std::vector<uint8_t> cut(file.begin(), file.end() - 30);
  EXPECT_EQ(fromMemory(cut, &mine), nullptr);
}

TEST(Png, CorruptDataGivesNull) {
  const auto file = smallRgba();
  // signature checks of the memory loader
  EXPECT_EQ(RAST_LoadPNGFromMemory(file.data(), 7, nullptr), nullptr);
  std::vector<uint8_t> noSig(file);
  noSig[1] = 'Q';
  EXPECT_EQ(fromMemory(noSig), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromMemory(file.data(), 8, nullptr), nullptr);  // signature alone
  EXPECT_EQ(RAST_LoadPNGFromMemory(nullptr, 100, nullptr), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromMemory(file.data(), -5, nullptr), nullptr);

  // a damaged byte in the header or the image data fails its checksum
  for (size_t at : {size_t(16), size_t(20), file.size() - 20, file.size() - 14}) {
    std::vector<uint8_t> bad(file);
    bad[at] ^= 0x40;
    EXPECT_EQ(fromMemory(bad), nullptr) << at;
  }
  // invalid header values with a correct checksum
  const size_t ihdr = 12;  // type of the first chunk
  for (auto edit : {std::pair<size_t, uint8_t>{ihdr + 12, 3}, {ihdr + 13, 1}, {ihdr + 7, 0}, {ihdr + 8, 0x80}}) {
    std::vector<uint8_t> bad(file);
    bad[edit.first] = edit.second;  // depth 3, colour type 1, width 0, height 2^31
    pngtest::fixChunkCrc(bad, ihdr);
    EXPECT_EQ(fromMemory(bad), nullptr) << edit.first;
  }
  // a valid header too large for a heap bitmap: the loader's own empty
  // bitmap is released (the leak checker watches) and the result is null
  {
    std::vector<uint8_t> big(file);
    big[ihdr + 6] = 0x9c;   // width 39941
    big[ihdr + 10] = 0x9c;  // height 39940
    pngtest::fixChunkCrc(big, ihdr);
    EXPECT_EQ(fromMemory(big), nullptr);
  }
  // garbage image data with a correct checksum
  std::vector<uint8_t> bad(file);
  size_t idat = 0;
  for (size_t i = 8; i + 8 < bad.size(); ++i)
    if (std::memcmp(&bad[i], "IDAT", 4) == 0) {
      idat = i;
      break;
    }
  ASSERT_NE(idat, 0u);
  for (size_t i = idat + 4; i < idat + 12; ++i) bad[i] = 0xA5;
  pngtest::fixChunkCrc(bad, idat);
  EXPECT_EQ(fromMemory(bad), nullptr);

  // every single flipped byte: null or a whole image, never a crash
  for (size_t i = 0; i < file.size(); ++i) {
    std::vector<uint8_t> f(file);
    f[i] ^= 0xff;
    delete fromMemory(f);
  }
}

TEST(Png, HeaderSizesWithoutDecoding) {
  for (const pngtest::Kind& k : pngtest::allKinds()) {
    const auto file = pngtest::encode(pngtest::make(k.colorType, k.bitDepth, 11, 3, true, k.transparency));
    int w = 0, h = 0;
    ASSERT_TRUE(RAST_PNGSize(file.data(), file.size(), &w, &h)) << kindName(k, true);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(11, 3));
  }
  const auto file = smallRgba();
  int w = -1, h = -1;
  // the signature and the whole header chunk are needed
  for (size_t n : {size_t(0), size_t(8), size_t(24), size_t(32)}) EXPECT_FALSE(RAST_PNGSize(file.data(), n, &w, &h)) << n;
  EXPECT_TRUE(RAST_PNGSize(file.data(), 33, &w, &h));
  EXPECT_FALSE(RAST_PNGSize(nullptr, 100, &w, &h));
  const size_t ihdr = 12;
  for (auto edit : {std::pair<size_t, uint8_t>{1, 'Q'}, {ihdr, 'i'}, {ihdr - 1, 14}, {ihdr + 7, 0}, {ihdr + 8, 0x80},
                    {ihdr + 5, 0x10}}) {
    std::vector<uint8_t> bad(file);
    bad[edit.first] = edit.second;  // signature, chunk type, length, width 0, height 2^31, width 1,048,581
    EXPECT_FALSE(RAST_PNGSize(bad.data(), bad.size(), &w, &h)) << edit.first;
  }
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(5, 4));  // left as the last good call set them
}

TEST(Png, UncheckedDecodingSkipsOnlyTheChecksums) {
  const pngtest::Image im = pngtest::make(PNG_COLOR_TYPE_RGB_ALPHA, 8, 40, 30, false, false);
  const auto file = pngtest::encode(im);
  size_t idat = 0;
  for (size_t i = 8; i + 8 < file.size() && !idat; ++i)
    if (std::memcmp(&file[i], "IDAT", 4) == 0) idat = i;
  ASSERT_NE(idat, 0u);
  const size_t idatLength = (size_t(file[idat - 4]) << 24) | (size_t(file[idat - 3]) << 16) |
                            (size_t(file[idat - 2]) << 8) | size_t(file[idat - 1]);
  // A wrong chunk CRC, and a wrong Adler-32 at the end of the zlib stream
  // (with the chunk's CRC made right again).
  std::vector<uint8_t> badCrc(file), badAdler(file);
  badCrc[idat + 4 + idatLength] ^= 0x5a;
  badAdler[idat + 4 + idatLength - 1] ^= 0x5a;
  pngtest::fixChunkCrc(badAdler, idat);
  for (const std::vector<uint8_t>* f : std::initializer_list<const std::vector<uint8_t>*>{&file, &badCrc, &badAdler}) {
    std::unique_ptr<RAST_IBitmap> checked(fromMemory(*f));
    EXPECT_EQ(checked != nullptr, f == &file);
    std::unique_ptr<RAST_IBitmap> unchecked(
        RAST_LoadPNGFromMemory(f->data(), static_cast<int>(f->size()), nullptr, false));
    ASSERT_TRUE(unchecked);
    EXPECT_EQ(logicalPixels(*unchecked), im.expected);
  }
  // Data that does not inflate still fails.
  std::vector<uint8_t> garbage(file);
  for (size_t i = idat + 4; i < idat + 12; ++i) garbage[i] = 0xA5;
  EXPECT_EQ(RAST_LoadPNGFromMemory(garbage.data(), static_cast<int>(garbage.size()), nullptr, false), nullptr);
}

TEST(Png, NamedResources) {
  testsupport::ScopedFolders folders;
  const auto im = pngtest::make(PNG_COLOR_TYPE_GRAY_ALPHA, 8, 3, 2, false, false);
  const auto file = pngtest::encode(im);
  ASSERT_TRUE(testsupport::writeFile(folders.resources() + "knob.png", file));
  std::unique_ptr<RAST_IBitmap> bm(RAST_LoadPNGFromNamedResource("knob.png", nullptr));
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(logicalPixels(*bm), im.expected);
  EXPECT_EQ(RAST_LoadPNGFromNamedResource("absent.png", nullptr), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromNamedResource(nullptr, nullptr), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromResource(nullptr, "knob", nullptr), nullptr);

  // Names of up to 400 characters are looked up; longer ones are refused.
  const std::string d1(200, 'd');
  for (size_t extra : {size_t(0), size_t(1)}) {
    const std::string d2(193 + extra, 'e');
    const std::string name = d1 + "/" + d2 + "/x.png";
    ASSERT_EQ(name.size(), 400 + extra);
    std::filesystem::create_directories(folders.resources() + d1 + "/" + d2);
    ASSERT_TRUE(testsupport::writeFile(folders.resources() + name, file));
    std::unique_ptr<RAST_IBitmap> r(RAST_LoadPNGFromNamedResource(name.c_str(), nullptr));
    EXPECT_EQ(r != nullptr, extra == 0) << name.size();
  }
}

TEST(Png, LoaderRecord) {
  testsupport::TempDir dir;
  const auto file = smallRgba();
  for (const char* name : {"a.PNG", "b.png", "c.Png", "d.png.bak", "png"}) ASSERT_TRUE(testsupport::writeFile(dir.file(name), file));
  auto load = [&](const char* name, bool check) {
    std::unique_ptr<RAST_IBitmap> bm(RAST_PNGLoader::loadfunc(dir.file(name).c_str(), check, nullptr));
    return bm != nullptr;
  };
  EXPECT_TRUE(load("a.PNG", true));
  EXPECT_TRUE(load("b.png", true));
  EXPECT_TRUE(load("c.Png", true));
  EXPECT_FALSE(load("d.png.bak", true));
  EXPECT_TRUE(load("d.png.bak", false));
  EXPECT_FALSE(RAST_PNGLoader::loadfunc("png", true, nullptr));
  EXPECT_EQ(RAST_PNGLoader::loadfunc(nullptr, false, nullptr), nullptr);

  const char* ext = RAST_PNGLoader::get_extlist();
  static const char kWant[] = "PNG files (*.PNG)\0*.PNG\0";
  EXPECT_EQ(std::memcmp(ext, kWant, sizeof kWant), 0);  // pairs ended by an empty string
  EXPECT_EQ(RAST_ImageLoader_list, &RAST_pngldr.rec);
  EXPECT_EQ(RAST_ImageLoader_list->loadfunc, &RAST_PNGLoader::loadfunc);
  EXPECT_EQ(RAST_ImageLoader_list->get_extlist, &RAST_PNGLoader::get_extlist);
}
