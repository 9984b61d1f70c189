#include "raster/png.h"

#include <png.h>

#include <cctype>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/folders.h"

RAST_ImageLoader_rec* RAST_ImageLoader_list = nullptr;
RAST_PNGLoader RAST_pngldr;

namespace {

constexpr size_t kMaxResourceName = 400;

struct MemSource {
  const unsigned char* next;
  size_t left;
};

// Errors end the decode through the jump armed in decode(); nothing is
// printed, and warnings are dropped.
void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// Reads from memory; a read past the end is an error, like a short file.
void memRead(png_structp png, png_bytep out, png_size_t length) {
  MemSource* src = static_cast<MemSource*>(png_get_io_ptr(png));
  if (!src || length > src->left) png_error(png, "unexpected end of data");
  std::memcpy(out, src->next, length);
  src->next += length;
  src->left -= length;
}

// Makes every colour type arrive as 8-bit alpha, red, green, blue.
void requestArgb(png_structp png, png_infop info, int bitDepth, int colorType) {
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(png);
    colorType |= PNG_COLOR_MASK_ALPHA;
  }
  if (bitDepth == 16) png_set_strip_16(png);
  if (bitDepth < 8) png_set_packing(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (colorType & PNG_COLOR_MASK_ALPHA)
    png_set_swap_alpha(png);
  else
    png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
}

// Decodes from a file or a memory source into bmp, or into a new heap
// bitmap when bmp is null. Holds no object with a destructor, so that the
// error jump skips nothing.
RAST_IBitmap* decode(FILE* fp, MemSource* mem, RAST_IBitmap* bmp, bool verifyChecksums) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  RAST_IBitmap* volatile created = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    delete created;
    std::free(rows);
    return nullptr;
  }

  if (fp)
    png_init_io(png, fp);
  else
    png_set_read_fn(png, mem, memRead);
  if (!verifyChecksums) {
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
  }
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, &compression, &filter);
  requestArgb(png, info, bitDepth, colorType);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (width > 0x7fffffffu || height > 0x7fffffffu || png_get_rowbytes(png, info) != size_t(width) * 4)
    png_error(png, "unexpected row layout");
  const int w = static_cast<int>(width), h = static_cast<int>(height);

  RAST_IBitmap* target = bmp;
  if (target) {
    target->resize(w, h);
  } else {
    created = new (std::nothrow) RAST_MemBitmap(w, h, 4);
    target = created;
    if (!target) png_error(png, "out of memory");
  }
  RAST_pixel* bits = target->getBits();
  const int span = target->getRowSpan();
  if (target->getWidth() != w || target->getHeight() != h || !bits || span < w)
    png_error(png, "bitmap cannot take the image");

  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * static_cast<size_t>(h)));
  if (!rows) png_error(png, "out of memory");
  const bool flipped = target->isFlipped();
  for (int i = 0; i < h; ++i) {
    const ptrdiff_t row = flipped ? h - 1 - i : i;
    rows[i] = reinterpret_cast<png_bytep>(bits + row * span);
  }
  png_read_image(png, rows);
  // Read on to the end chunk, so that a file cut anywhere is refused.
  png_read_end(png, nullptr);

  png_destroy_read_struct(&png, &info, nullptr);
  std::free(rows);
  return target;
}

bool endsInPngExtension(const char* name) {
  const char* p = name + std::strlen(name);
  while (p > name && p[-1] != '.' && p[-1] != '/' && p[-1] != '\\') --p;
  if (p > name) --p;  // include the separator found
  static const char kExt[] = ".png";
  if (std::strlen(p) != sizeof kExt - 1) return false;
  for (size_t i = 0; i < sizeof kExt - 1; ++i)
    if (std::tolower(static_cast<unsigned char>(p[i])) != kExt[i]) return false;
  return true;
}

}  // namespace

RAST_IBitmap* RAST_LoadPNG(const char* filename, RAST_IBitmap* bmp) {
  if (!filename) return nullptr;
  FILE* fp = std::fopen(filename, "rb");
  if (!fp) return nullptr;
  RAST_IBitmap* result = decode(fp, nullptr, bmp, true);
  std::fclose(fp);
  return result;
}

RAST_IBitmap* RAST_LoadPNGFromMemory(const void* data, int length, RAST_IBitmap* bmp, bool verifyChecksums) {
  if (!data || length < 8) return nullptr;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  if (png_sig_cmp(bytes, 0, 8) != 0) return nullptr;
  MemSource src{bytes, static_cast<size_t>(length)};
  return decode(nullptr, &src, bmp, verifyChecksums);
}

bool RAST_PNGSize(const void* data, size_t length, int* width, int* height) {
  // Signature, then the header chunk: its length (13), "IHDR", width, height.
  static const unsigned char kHeader[] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  if (!bytes || length < 8 + 8 + 13 + 4 || png_sig_cmp(bytes, 0, 8) != 0 ||
      std::memcmp(bytes + 8, kHeader, sizeof kHeader) != 0)
    return false;
  auto word = [&](size_t at) {
    return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) | (uint32_t(bytes[at + 2]) << 8) |
           uint32_t(bytes[at + 3]);
  };
  const uint32_t w = word(16), h = word(20);
  constexpr uint32_t kLimit = 1000000;  // libpng's default user limit
  if (w < 1 || h < 1 || w > kLimit || h > kLimit) return false;
  if (width) *width = static_cast<int>(w);
  if (height) *height = static_cast<int>(h);
  return true;
}

RAST_IBitmap* RAST_LoadPNGFromNamedResource(const char* name, RAST_IBitmap* bmp) {
  if (!name || std::strlen(name) > kMaxResourceName) return nullptr;
  const std::string folder = platform::resourceFolder();
  if (folder.empty()) return nullptr;
  return RAST_LoadPNG((folder + name).c_str(), bmp);
}

RAST_IBitmap* RAST_LoadPNGFromResource(void*, const char*, RAST_IBitmap*) { return nullptr; }

RAST_PNGLoader::RAST_PNGLoader() {
  rec.loadfunc = &RAST_PNGLoader::loadfunc;
  rec.get_extlist = &RAST_PNGLoader::get_extlist;
  rec._next = RAST_ImageLoader_list;
  RAST_ImageLoader_list = &rec;
}

RAST_IBitmap* RAST_PNGLoader::loadfunc(const char* filename, bool checkFileName, RAST_IBitmap* bmpbase) {
  if (!filename) return nullptr;
  if (checkFileName && !endsInPngExtension(filename)) return nullptr;
  return RAST_LoadPNG(filename, bmpbase);
}

const char* RAST_PNGLoader::get_extlist() { return "PNG files (*.PNG)\0*.PNG\0"; }
