#pragma once
// PNG images into bitmaps. Every colour type, bit depth and interlace
// arrives as 8-bit alpha, red, green, blue per pixel (not premultiplied;
// opaque images get alpha 255). Each loader fills the caller's bitmap
// (resized to the image) or, given null, returns a new RAST_MemBitmap that
// the caller owns; null on any failure: a missing file, no PNG signature,
// corrupt or truncated data, or a bitmap that cannot take the image.
#include <cstddef>

#include "raster/bitmap.h"

RAST_IBitmap* RAST_LoadPNG(const char* filename, RAST_IBitmap* bmp = nullptr);
// Without verifyChecksums the chunk CRCs and the zlib stream's Adler-32 are
// not worked out: for images that come with the program, which decode
// faster so; damage then shows in the pixels instead of failing the load.
RAST_IBitmap* RAST_LoadPNGFromMemory(const void* data, int length, RAST_IBitmap* bmp = nullptr,
                                     bool verifyChecksums = true);
// The width and height a PNG's header states, without decoding: true when
// the data starts with the signature and a whole header chunk whose sizes
// lie from 1 to the decoder's limit of 1,000,000 pixels.
bool RAST_PNGSize(const void* data, size_t length, int* width, int* height);
// A file named relative to the resource folder; names longer than 400
// characters are refused.
RAST_IBitmap* RAST_LoadPNGFromNamedResource(const char* name, RAST_IBitmap* bmp = nullptr);
// There are no module resources on this platform: always null.
RAST_IBitmap* RAST_LoadPNGFromResource(void* hInst, const char* resid, RAST_IBitmap* bmp = nullptr);

// Registration record of an image loader in the process-wide list.
struct RAST_ImageLoader_rec {
  // file name, whether to check the name's extension first, target or null
  RAST_IBitmap* (*loadfunc)(const char* filename, bool checkFileName, RAST_IBitmap* bmpbase);
  // "description\0pattern\0...\0"
  const char* (*get_extlist)();
  RAST_ImageLoader_rec* _next;
};
extern RAST_ImageLoader_rec* RAST_ImageLoader_list;

class RAST_PNGLoader {
 public:
  RAST_PNGLoader();  // links the record in at the head of the list
  static RAST_IBitmap* loadfunc(const char* filename, bool checkFileName, RAST_IBitmap* bmpbase);
  static const char* get_extlist();
  RAST_ImageLoader_rec rec;
};
extern RAST_PNGLoader RAST_pngldr;
